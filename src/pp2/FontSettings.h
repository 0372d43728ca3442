// SPDX-License-Identifier: MIT
// The font settings: the print font the user chose (face, height in percent, weight) and the
// "Fonty Standardowe" switch, kept in "font.def" beside the program or, for an installed program,
// in the user's settings folder.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "platform/winapi.h"

namespace wydruki::pp2 {

// The description of the chosen print font, handed unchanged to CreateFontIndirectA.
extern LOGFONTA PrintLogFont;
extern std::int32_t HeightPercent;
extern std::int32_t ChosenWeight;
extern bool UseStandardFonts;

// The three values of the font dialog that the settings file holds: the face of its preview
// font, the text of its height field and the selection of its weight list.
class FontDialogValues {
 public:
  virtual ~FontDialogValues() = default;
  virtual std::string FaceName() const = 0;
  virtual void SetFaceName(const std::string& face) = 0;
  virtual std::string HeightText() const = 0;
  virtual void SetHeightText(const std::string& text) = 0;
  virtual std::int32_t WeightIndex() const = 0;
  virtual void SetWeightIndex(std::int32_t index) = 0;
};

// The three values held as plain data.
struct FontChoice : FontDialogValues {
  FontChoice() = default;
  FontChoice(std::string face_name, std::string height, std::int32_t weight)
      : face(std::move(face_name)), height_text(std::move(height)), weight_index(weight) {}
  std::string FaceName() const override { return face; }
  void SetFaceName(const std::string& value) override { face = value; }
  std::string HeightText() const override { return height_text; }
  void SetHeightText(const std::string& value) override { height_text = value; }
  std::int32_t WeightIndex() const override { return weight_index; }
  void SetWeightIndex(std::int32_t value) override { weight_index = value; }

  std::string face;
  std::string height_text;
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

// Where "font.def" is read and written. A program whose directory takes new files keeps it
// there (a build tree, a copy in an office's shared folder, Windows). An installed program's
// directory belongs to the system: the user's copy lives in the user's application-data folder
// ($XDG_CONFIG_HOME/wydrukid95/), and until the user saves one, a copy an administrator put
// beside the program is read.
struct FontSettingsFiles {
  std::string read;
  std::string write;
};
FontSettingsFiles FontSettingsLocation();
// True when a file can be created in `directory` (which ends in a backslash), tried by
// creating and deleting one: the only answer that holds for every file system and user.
bool DirectoryTakesNewFiles(const std::string& directory);

// Reads "font.def" into the dialog's values (when the dialog exists) and UseStandardFonts.
// Without the file the dialog gets the defaults; values whose line holds no number stay.
void LoadFontSettings(FontDialogValues* dialog);
void LoadFontSettingsFrom(const std::string& path, FontDialogValues* dialog);

// Writes the four lines (making the user's settings folder when that is where they go).
// Returns false (nothing reported to the user) when it cannot.
bool SaveFontSettings(const FontDialogValues& dialog);
bool SaveFontSettingsTo(const std::string& path, const FontDialogValues& dialog);

// Fills PrintLogFont, HeightPercent and ChosenWeight from the dialog's values.
void BuildPrintLogFont(const std::string& face, const std::string& height_text,
                       std::int32_t weight_index);

// The weight of a weight list index: 400, 500, 600, 700, 800 for 0..4, else 0.
std::int32_t WeightForIndex(std::int32_t index);

}  // namespace wydruki::pp2
