// SPDX-License-Identifier: MIT
#include "pp1/RawPrinting.h"

#include <vector>

#include "Base/SystemError.h"
#include "Forms/Application.h"
#include "pp1/WydrukiD95.h"
#include "pp2/TextLines.h"

namespace wydruki::pp1 {
namespace {

// How much of a line is read, translated and sent at a time.
constexpr std::size_t kRawPieceBytes = 64 * 1024;

std::string ProfileString(const char* key, const char* fallback) {
  char value[256] = {};
  GetProfileStringA("escp", key, fallback, value, sizeof value - 1);
  return value;
}

}  // namespace

ERawPrinter::ERawPrinter(DWORD error) : printers::EPrinter(SystemErrorText(error)), error_(error) {}

bool TakesRawDocuments(const std::string& printer) {
  const DWORD flags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
  DWORD needed = 0;
  DWORD returned = 0;
  EnumPrintersA(flags, nullptr, 4, nullptr, 0, &needed, &returned);
  if (needed == 0) return false;
  std::vector<BYTE> buffer(needed);
  if (!EnumPrintersA(flags, nullptr, 4, buffer.data(), needed, &needed, &returned)) return false;
  const auto* printers = reinterpret_cast<const PRINTER_INFO_4A*>(buffer.data());
  for (DWORD i = 0; i < returned; ++i)
    if (printers[i].pPrinterName != nullptr && printer == printers[i].pPrinterName)
      return (printers[i].Attributes & PRINTER_ATTRIBUTE_RAW_ONLY) != 0;
  return false;
}

EscpSettings ProfileEscpSettings() {
  EscpSettings settings;
  const std::string page = ProfileString("codepage", "852");
  const auto code_page = CodePageNamed(page);
  if (!code_page)
    throw Exception("The profile's [escp] codepage=" + page +
                    " is not known: use 852, mazovia, 1250, latin2 or ascii.");
  settings.code_page = *code_page;
  const std::string length = ProfileString("page_length", "72");
  const auto lines = pp2::ParseInteger(length);
  if (!lines || *lines < 1 || *lines > 127)
    throw Exception("The profile's [escp] page_length=" + length +
                    " is not a number of lines from 1 to 127 (72 for 12-inch paper).");
  settings.page_length = *lines;
  std::string select = ProfileString("select_table", "yes");
  for (char& c : select) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
  settings.select_table = !(select == "no" || select == "0" || select == "false");
  return settings;
}

RawSpoolJob::RawSpoolJob(const std::string& printer, const std::string& document) {
  std::string name = printer;
  if (!OpenPrinterA(name.data(), &printer_, nullptr)) {
    printer_ = nullptr;
    throw ERawPrinter(GetLastError());
  }
  std::string title = document;
  std::string datatype = "RAW";
  DOC_INFO_1A info{title.data(), nullptr, datatype.data()};
  if (StartDocPrinterA(printer_, 1, reinterpret_cast<LPBYTE>(&info)) == 0) {
    const DWORD error = GetLastError();
    ClosePrinter(printer_);
    printer_ = nullptr;
    throw ERawPrinter(error);
  }
  open_ = true;
}

RawSpoolJob::~RawSpoolJob() {
  Abort();
  if (printer_ != nullptr) ClosePrinter(printer_);
}

void RawSpoolJob::Write(const std::string& bytes) {
  if (bytes.empty()) return;
  DWORD written = 0;
  if (!WritePrinter(printer_, const_cast<char*>(bytes.data()), static_cast<DWORD>(bytes.size()),
                    &written) ||
      written != bytes.size())
    throw ERawPrinter(GetLastError());
}

void RawSpoolJob::Finish() {
  open_ = false;
  if (!EndDocPrinter(printer_)) throw ERawPrinter(GetLastError());
}

void RawSpoolJob::Abort() {
  if (!open_) return;
  open_ = false;
  AbortPrinter(printer_);
}

JobOutcome TWydrukiD95::WydrukSurowy(pp2::TextLineReader& file, const std::string& name,
                                     const std::string& printer) {
  // Settings that are not understood stop the job before anything reaches the printer.
  EscpTranslator translator(ProfileEscpSettings(), JobLinesPerPage);
  RawSpoolJob job(printer, name);
  CancelRequested = false;
  raw_printing_ = true;
  try {
    SetJobCommands(true);
    WinTaskbar1->SetIcon(&Icon6->Icon2());
    BeginProgress();
    ShownLinesPerPage = NormalLinesPerPage;
    const std::uint64_t size = file.Size();
    // The translation is sent on in pieces of bounded size as the file is read; the progress
    // shown is what has been sent, and the user's messages (a cancel among them) are handled
    // after every line.
    std::string out = translator.Opening();
    const auto send = [&] {
      job.Write(out);
      out.clear();
      ShowProgress(JobPercentage(file.BytesFetched(), size));
    };
    while (!file.AtEnd() && !CancelRequested) {
      std::string piece;
      const bool ended = file.ReadLinePiece(piece, kRawPieceBytes);
      translator.Translate(piece, out);
      if (ended) translator.EndLine(out);
      job_pages_ = translator.Pages();
      if (out.size() >= kRawPieceBytes) send();
      if (forms::TApplication* application = forms::Application()) application->DrainMessages();
    }
    if (!CancelRequested) send();
    file.Close();
    if (CancelRequested)
      job.Abort();
    else
      job.Finish();
  } catch (...) {
    raw_printing_ = false;
    file.Close();
    job.Abort();
    EndJobDisplay();
    WinTaskbar1->SetIcon(&Icon6->Icon1());
    throw;
  }
  raw_printing_ = false;
  EndJobDisplay();
  WinTaskbar1->SetIcon(&Icon6->Icon1());
  return CancelRequested ? JobOutcome::Cancelled : JobOutcome::Printed;
}

}  // namespace wydruki::pp1
