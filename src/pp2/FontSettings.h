// The font settings: the print font the user chose (face, height in percent, weight) and the
// "Fonty Standardowe" switch, kept in "font.def" in the program's directory.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/winapi.h"

namespace wydruki::pp2 {

// The description of the chosen print font, handed unchanged to CreateFontIndirectA.
extern LOGFONTA PrintLogFont;
extern std::int32_t HeightPercent;
extern std::int32_t ChosenWeight;
extern bool UseStandardFonts;

// The three values of the font dialog that the settings file holds.
struct FontChoice {
  std::string face;         // PreviewFaceName
  std::string height_text;  // the height field's text, as it stands
  std::int32_t weight_index = -1;
};

inline constexpr const char* kDefaultFace = "Courier New";
inline constexpr const char* kDefaultHeightText = "120";
inline constexpr std::int32_t kDefaultWeightIndex = 3;

// The program file's directory, ending in a backslash.
std::string ProgramDirectory();
// Cuts a program path after its last backslash, searched from the end back to the third
// character; without one there, its first two characters.
std::string DirectoryOfProgram(const std::string& program_path);
std::string FontSettingsPath();

// Reads "font.def" into the dialog's values (when the dialog exists) and UseStandardFonts.
// Without the file the dialog gets the defaults; values whose line holds no number stay.
void LoadFontSettings(FontChoice* dialog);
void LoadFontSettingsFrom(const std::string& path, FontChoice* dialog);

// Writes the four lines. Returns false (nothing reported to the user) when it cannot.
bool SaveFontSettings(const FontChoice& dialog);
bool SaveFontSettingsTo(const std::string& path, const FontChoice& dialog);

// Fills PrintLogFont, HeightPercent and ChosenWeight from the dialog's values.
void BuildPrintLogFont(const std::string& face, const std::string& height_text,
                       std::int32_t weight_index);

// The weight of a weight list index: 400, 500, 600, 700, 800 for 0..4, else 0.
std::int32_t WeightForIndex(std::int32_t index);

}  // namespace wydruki::pp2
