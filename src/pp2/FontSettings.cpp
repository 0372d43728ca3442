// SPDX-License-Identifier: MIT
#include "pp2/FontSettings.h"

#include <cstring>

#include "pp2/TextLines.h"

namespace wydruki::pp2 {

LOGFONTA PrintLogFont{};
std::int32_t HeightPercent = 0;
std::int32_t ChosenWeight = 0;
bool UseStandardFonts = false;

namespace {

constexpr long double kPercent = 0.01L;
constexpr std::int32_t kPrintLogFontSize = 28;
constexpr BYTE kProofQuality = 2;

// The number at the start of a settings line: blanks skipped, the token up to the next blank
// (at most 32 characters). A line of blanks holds no number; the next line is not searched,
// so one empty field cannot shift the values of the lines after it.
std::optional<std::int32_t> NumberOfLine(const std::string& line) {
  std::size_t first = 0;
  while (first < line.size() && static_cast<unsigned char>(line[first]) <= 32) ++first;
  std::size_t last = first;
  while (last < line.size() && static_cast<unsigned char>(line[last]) > 32 && last - first < 32)
    ++last;
  if (first == last) return std::nullopt;
  return ParseInteger(std::string_view(line).substr(first, last - first));
}

bool FileExists(const std::string& path) {
  WIN32_FIND_DATAA found{};
  const HANDLE search = FindFirstFileA(path.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  return (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool WriteAll(HANDLE file, const std::string& text) {
  DWORD written = 0;
  return WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
         written == text.size();
}

}  // namespace

std::string DirectoryOfProgram(const std::string& program_path) {
  for (std::size_t i = program_path.size(); i >= 3; --i) {
    if (program_path[i - 1] == '\\') return program_path.substr(0, i);
  }
  return program_path.substr(0, 2);
}

std::string ProgramDirectory() {
  char path[MAX_PATH + 1] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  return DirectoryOfProgram(std::string(path, length));
}

bool DirectoryTakesNewFiles(const std::string& directory) {
  const std::string probe =
      directory + "font.def." + std::to_string(GetCurrentProcessId()) + ".probe";
  const HANDLE file = CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  DeleteFileA(probe.c_str());
  return true;
}

std::string UserSettingsDirectory() {
  char folder[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathA(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr,
                              SHGFP_TYPE_CURRENT, folder)))
    return {};
  std::string directory = folder;
  if (directory.empty()) return {};
  if (directory.back() != '\\') directory += '\\';
  return directory + "wydrukid95\\";
}

FontSettingsFiles FontSettingsLocation() {
  const std::string beside_program = ProgramDirectory() + "font.def";
  if (DirectoryTakesNewFiles(ProgramDirectory())) return {beside_program, beside_program};
  const std::string user_directory = UserSettingsDirectory();
  if (user_directory.empty()) return {beside_program, beside_program};
  const std::string own = user_directory + "font.def";
  return {FileExists(own) ? own : beside_program, own};
}

void LoadFontSettings(FontDialogValues* dialog) {
  LoadFontSettingsFrom(FontSettingsLocation().read, dialog);
}

void LoadFontSettingsFrom(const std::string& path, FontDialogValues* dialog) {
  UseStandardFonts = false;
  if (!FileExists(path)) {
    if (dialog != nullptr) {
      dialog->SetFaceName(kDefaultFace);
      dialog->SetHeightText(kDefaultHeightText);
      dialog->SetWeightIndex(kDefaultWeightIndex);
    }
    return;
  }
  try {
    TextLineReader reader(path);
    if (!reader.IsOpen()) return;  // in use or unreadable: the values stay as they were
    const std::string face = reader.ReadLine();
    if (dialog != nullptr && !face.empty()) dialog->SetFaceName(face);
    const auto height = NumberOfLine(reader.ReadLine());
    if (dialog != nullptr && height) dialog->SetHeightText(std::to_string(*height));
    const auto weight = NumberOfLine(reader.ReadLine());
    if (dialog != nullptr && weight) dialog->SetWeightIndex(*weight);
    // A file without its fourth line has no switch to set: it stays clear.
    if (!reader.AtEnd()) UseStandardFonts = reader.ReadLine() != "FALSE";
  } catch (const EInOutError&) {
    // A file that cannot be read is like one that is missing its lines.
  }
}

bool SaveFontSettings(const FontDialogValues& dialog) {
  const std::string path = FontSettingsLocation().write;
  const auto separator = path.rfind('\\');
  // The user's own folder is made on the first save; an existing one is fine.
  if (separator != std::string::npos) CreateDirectoryA(path.substr(0, separator).c_str(), nullptr);
  return SaveFontSettingsTo(path, dialog);
}

bool SaveFontSettingsTo(const std::string& path, const FontDialogValues& dialog) {
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const std::string text = dialog.FaceName() + "\r\n" + dialog.HeightText() + "\r\n" +
                           std::to_string(dialog.WeightIndex()) + "\r\n" +
                           (UseStandardFonts ? "TRUE" : "FALSE") + "\r\n";
  const bool written = WriteAll(file, text);
  return CloseHandle(file) && written;
}

std::int32_t WeightForIndex(std::int32_t index) {
  static constexpr std::int32_t kWeights[] = {400, 500, 600, 700, 800};
  return index >= 0 && index <= 4 ? kWeights[index] : 0;
}

void BuildPrintLogFont(const std::string& face, const std::string& height_text,
                       std::int32_t weight_index) {
  std::memset(&PrintLogFont, 0, sizeof PrintLogFont);
  std::size_t i = 0;
  while (i < height_text.size() && height_text[i] == ' ') ++i;
  std::int64_t percent = 0;
  for (; i < height_text.size() && height_text[i] >= '0' && height_text[i] <= '9'; ++i) {
    percent = percent * 10 + (height_text[i] - '0');
    if (percent > 0x7FFFFFFF) percent = 0x7FFFFFFF;
  }
  HeightPercent = static_cast<std::int32_t>(percent);
  const long double height = static_cast<long double>(HeightPercent) * kPercent *
                             static_cast<long double>(kPrintLogFontSize);
  PrintLogFont.lfHeight = static_cast<LONG>(height);  // toward zero
  PrintLogFont.lfWidth = kPrintLogFontSize;
  PrintLogFont.lfWeight = WeightForIndex(weight_index);
  ChosenWeight = PrintLogFont.lfWeight;
  PrintLogFont.lfCharSet = EASTEUROPE_CHARSET;
  PrintLogFont.lfQuality = kProofQuality;
  std::strncpy(PrintLogFont.lfFaceName, face.c_str(), sizeof PrintLogFont.lfFaceName - 1);
}

}  // namespace wydruki::pp2
