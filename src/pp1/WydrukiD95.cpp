// SPDX-License-Identifier: MIT
#include "pp1/WydrukiD95.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "Forms/Application.h"
#include "Base/SystemError.h"
#include "Printers/DefaultPrinter.h"
#include "Printers/Printer.h"
#include "pp1/AgentCommandLine.h"
#include "pp1/CharMap.h"
#include "pp1/JobDirectoryLock.h"
#include "pp1/JobJournal.h"
#include "pp1/JobSignal.h"
#include "pp1/SignalOwners.h"
#include "pp1/RawPrinting.h"
#include "pp2/FontSettings.h"
#include "pp2/TextLines.h"
#include "pp2/WyborFonty.h"
#include "resources/ProgramResources.h"
#include "resources/TrayIcons.h"
#ifndef _WIN32
#include "platform/agent_environment.h"
#endif

namespace wydruki::pp1 {

TWydrukiD95* WydrukiD95 = nullptr;

namespace {

using forms::Bounds;
using forms::TObject;

std::vector<std::string>& ProgramArguments() {
  static std::vector<std::string> arguments;
  return arguments;
}

forms::FormLayout MainLayout() {
  forms::FormLayout layout;
  layout.class_name = "TWydrukiD95";
  layout.caption = "Wydruki dla D95";
  layout.left = 110;
  layout.top = 105;
  layout.width = 427 + 6;
  layout.height = 273 + 25;
  // A dialog frame without any title-bar buttons: the window cannot be closed from its frame.
  layout.style = WS_POPUP | WS_CAPTION | DS_MODALFRAME | WS_CLIPSIBLINGS;
  layout.ex_style = WS_EX_DLGMODALFRAME;
  return layout;
}

// How much of a line is read and drawn at a time.
constexpr std::size_t kLinePieceBytes = 64 * 1024;

// What a line holds for the driver, gathered piece by piece: a form feed ends the page, ESC G
// and ESC g change the figure shown for the lines per page.
struct LineMarks {
  bool form_feed = false;
  bool job_spacing = false;
  bool normal_spacing = false;
  char previous = '\0';
  void Scan(const std::string& piece) {
    for (const char c : piece) {
      if (c == '\x0C') form_feed = true;
      if (previous == '\x1B' && c == 'G') job_spacing = true;
      if (previous == '\x1B' && c == 'g') normal_spacing = true;
      previous = c;
    }
  }
};
constexpr const char* kProgressHint = "Wydruk dla D'95 Drukowanie :";
// The tip while another agent serves the job directory: "waits for the job directory".
constexpr const char* kWaitingHint = "Wydruk dla D'95 - czeka na katalog zada\xF1";

// What the agent tells its user outside a job: on stderr, and in the record of what a user saw.
void SayToUser(const std::string& text) {
#ifndef _WIN32
  const std::string line = "wydrukid95: " + text + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
  platform::RecordNotice(text);
#else
  (void)text;
#endif
}

void DeleteSignalFile(const std::string& path) { DeleteFileA(path.c_str()); }

// Why the printer cannot take the job, in the user's terms: which printer, whether the print
// system answers or knows it, and the system's own reason.
std::string PrinterTrouble(DWORD failed_call_error, const std::exception& error) {
  const std::string default_name = printers::DefaultDeviceName();
  if (default_name.empty()) {
    const std::string reason = NoDefaultPrinterReason();
    if (reason == "no default printer") return error.what();
    // The print system that would name the default does not answer: the job waits for it.
    return "N" + reason.substr(1) + ". The job is kept and tried again.";
  }
  std::string name = default_name;
  DWORD reason = failed_call_error;
  HANDLE handle = nullptr;
  if (OpenPrinterA(name.data(), &handle, nullptr)) {
    ClosePrinter(handle);
  } else {
    reason = GetLastError();
  }
  std::string situation;
  std::string detail = SystemErrorText(reason);
  switch (reason) {
    case RPC_S_SERVER_UNAVAILABLE:
      situation = "the print system cannot be reached";
#ifndef _WIN32
      if (const auto why = platform::PrintSystemUnreachableReason()) detail = *why;
#endif
      break;
    case ERROR_INVALID_PRINTER_NAME:
      situation = "the print system does not know this printer";
      break;
    case ERROR_INVALID_PRINTER_STATE:
      situation = "the printer does not accept jobs now";
      break;
    default:
      return error.what();  // the printer call's own reason says it
  }
  return "Printer \"" + name + "\": " + situation + " (" + detail +
         "). The job is kept and tried again.";
}

}  // namespace

// What makes a job signal the one seen before: its bytes and when it was last written.
struct TWydrukiD95::SignalIdentity {
  std::string bytes;
  FILETIME written{};
  bool operator==(const SignalIdentity& other) const {
    return bytes == other.bytes && written.dwLowDateTime == other.written.dwLowDateTime &&
           written.dwHighDateTime == other.written.dwHighDateTime;
  }
  static SignalIdentity From(const SignalRead& read) { return {read.bytes, read.written}; }
  // A key of the identity, for remembering which signal was said to wait.
  std::string Key() const {
    return bytes + '\n' + std::to_string(written.dwHighDateTime) + ':' +
           std::to_string(written.dwLowDateTime);
  }
  static std::optional<SignalIdentity> Of(const std::string& path) {
    WIN32_FIND_DATAA found{};
    const HANDLE search = FindFirstFileA(path.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return std::nullopt;
    FindClose(search);
    SignalIdentity identity;
    identity.written = found.ftLastWriteTime;
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return identity;
    char buffer[4096];
    DWORD read = 0;
    while (identity.bytes.size() < kSignalReadBytes &&
           ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0)
      identity.bytes.append(buffer, read);
    CloseHandle(file);
    if (identity.bytes.size() > kSignalReadBytes) identity.bytes.resize(kSignalReadBytes);
    return identity;
  }
};

int JobPercentage(std::uint64_t fetched, std::uint64_t size) {
  const std::uint64_t blocks = size / pp2::TextLineReader::kBufferSize;
  if (blocks == 0) return 100;
  const std::uint64_t position = fetched / pp2::TextLineReader::kBufferSize;
  const long double percent =
      static_cast<long double>(position) / static_cast<long double>(blocks) * 100.0L;
  return static_cast<int>(std::min(100.0L, std::trunc(percent)));
}

bool Exists(const std::string& name) {
  WIN32_FIND_DATAA found{};
  const HANDLE search = FindFirstFileA(name.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  // A device or a pipe is no file to print nor a signal: it does not exist for the agent.
  if ((found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0)
    return false;
  FILETIME local{};
  WORD date = 0, time = 0;
  return FileTimeToLocalFileTime(&found.ftLastWriteTime, &local) &&
         FileTimeToDosDateTime(&local, &date, &time);
}

void SetProgramArguments(std::vector<std::string> arguments) {
  ProgramArguments() = std::move(arguments);
}

TWydrukiD95::TWydrukiD95(forms::TComponent* owner)
    : forms::TCustomForm(owner, MainLayout()),
      retired_signal_(nullptr),
      signal_owners_(std::make_unique<SignalOwners>(SayToUser)) {
  GroupBox1 = new forms::TGroupBox(this, Bounds{33, 16, 361, 113}, "Drukarka :");
  const char* captions[] = {"Nazwa :", "Stan :", "Typ :", "Gdzie :", "Komentarz :"};
  forms::TLabel** caption_labels[] = {&Label1, &Label2, &Label3, &Label4, &Label5};
  forms::TLabel** value_labels[] = {&DrNazwa, &DrStan, &DrTyp, &DrGdzie, &DrKomentarz};
  for (int row = 0; row < 5; ++row) {
    const int y = 16 + 24 + 16 * row;
    *caption_labels[row] = new forms::TLabel(this, Bounds{33 + 8, y, 63 - 8, 13}, captions[row],
                                             forms::TAlignment::taRightJustify);
    *value_labels[row] = new forms::TLabel(this, Bounds{33 + 72, y, 257, 13}, "");
  }
  Label7 = new forms::TLabel(this, Bounds{16, 144, 45, 13}, "Katalog :");
  Label6 = new forms::TLabel(this, Bounds{64, 144, 200, 13}, "");
  Label8 = new forms::TLabel(this, Bounds{16, 168, 100, 13}, "Liczba lini na stron\xEA :");
  Label8->SetVisible(false);
  Label9 = new forms::TLabel(this, Bounds{120, 168, 20, 13}, "76");
  Label9->SetVisible(false);
  CheckBox1 = new forms::TCheckBox(this, Bounds{280, 144, 129, 17}, "Fonty Standardowe");
  BitBtn2 = new forms::TBitBtn(this, Bounds{280, 176, 137, 25}, "Czcionka");
  BitBtn2->ModalResult = forms::mrAll;
  BitBtn2->SetGlyph(resources::kGlyphFont);
  Panel1 = new forms::TPanel(this, Bounds{280, 208, 137, 57});
  Label10 = new forms::TLabel(this, Bounds{300, 228, 100, 13}, "Wersja 2.0c");
  BitBtn1 = new forms::TBitBtn(this, Bounds{180, 232, 75, 25}, "&OK");
  BitBtn1->SetKind(forms::TBitBtnKind::bkYes);
  BitBtn1->Layout = forms::TButtonLayout::blGlyphRight;
  CheckBox1->OnClick = [this](TObject* s) { CheckBox1Click(s); };
  BitBtn1->OnClick = [this](TObject* s) { BitBtn1Click(s); };
  BitBtn2->OnClick = [this](TObject* s) { BitBtn2Click(s); };

  Timer1 = new extctrls::TTimer(this);
  Timer1->SetOnTimer([this](TObject* s) { Timer1Timer(s); });

  WinTaskbar1 = new wtaskbar::TWinTaskbar(this);
  WinTaskbar1->SetHint(kIdleHint);
  WinTaskbar1->Icon().LoadFromBytes(resources::TrayIconFile(1));
  WinTaskbar1->OnDblClick = [this](TObject* s) { WinTaskbar1DblClick(s); };
  WinTaskbar1->SetShowIcon(true);

  Icon6 = new icon6::TIcon6(this);
  for (int frame = 1; frame <= 6; ++frame)
    Icon6->IconNumber(frame).LoadFromBytes(resources::TrayIconFile(frame));

  Menu = new forms::TPopupMenu(this);
  AnulujWydruk1 = &Menu->Add("&Anuluj wydruk", [this](TObject* s) { AnulujWydruk1Click(s); });
  AnulujWydruk1->SetEnabled(false);
  K1 = &Menu->Add("K&onfiguracja", [this](TObject* s) { K1Click(s); });
  N1 = &Menu->Add("-");
  Koniec1 = &Menu->Add("&Koniec", [this](TObject* s) { Koniec1Click(s); });
  WinTaskbar1->PopUpMenu = Menu;

  OnCreate = [this](TObject* s) { FormCreate(s); };
  OnShow = [this](TObject* s) { FormShow(s); };
  OnActivate = [this](TObject* s) { FormActivate(s); };

  pages_ = std::make_unique<PagePrinter>(
      printers::ActivePrinter(),
      [] {
        if (forms::TApplication* application = forms::Application()) application->DrainMessages();
      },
      CancelRequested);
}

TWydrukiD95::~TWydrukiD95() {
  if (WydrukiD95 == this) WydrukiD95 = nullptr;
}

void TWydrukiD95::FormCreate(TObject*) {
  // The first copy owns the mutex until it ends; the system releases it then.
  const HANDLE mutex = CreateMutexA(nullptr, TRUE, "ZMWPDRK");
  const DWORD mutex_error = GetLastError();
  // Without the mutex nothing tells whether another copy runs: starting a second one could
  // print every job twice, and ending quietly as if one ran could leave none.
  if (mutex == nullptr)
    throw Exception("The single-instance mutex \"ZMWPDRK\" cannot be created: " +
                    SystemErrorText(mutex_error));
  JobDirectory = pp2::ProgramDirectory();
  if (ProgramArguments().size() == 1) JobDirectory = ProgramArguments().front();
  Label6->SetCaption(JobDirectory);
  if (mutex_error == ERROR_ALREADY_EXISTS) {
    SecondCopy = true;
    // Another copy is running: only start the companion, and end.
    WinExec(kCompanion, SW_SHOWDEFAULT);
    forms::Application()->RequestQuit();
  }
  CheckBox1->SetChecked(pp2::UseStandardFonts);
}

void TWydrukiD95::FormShow(TObject*) {
  ShowForm();
  DaneDrukarki();
}

void TWydrukiD95::FormActivate(TObject*) {
  pp2::LoadFontSettings(pp2::WyborFonty);
  CheckBox1->SetChecked(pp2::UseStandardFonts);
  BitBtn2->SetEnabled(!pp2::UseStandardFonts);
}

void TWydrukiD95::DaneDrukarki() {
  const printers::DefaultPrinterInfo printer = printers::ResolveDefaultPrinter();
  if (printer.name.empty()) return;
  DrNazwa->SetCaption(printer.name);
  DrTyp->SetCaption(printer.driver);
  DrGdzie->SetCaption(printer.port);
  DrKomentarz->SetCaption(printer.comment);
}

void TWydrukiD95::CheckBox1Click(TObject*) {
  if (pp2::WyborFonty == nullptr) return;
  pp2::UseStandardFonts = CheckBox1->Checked();
  BitBtn2->SetEnabled(!pp2::UseStandardFonts);
  pp2::SaveFontSettings(*pp2::WyborFonty);
}

void TWydrukiD95::BitBtn1Click(TObject*) { SetVisible(false); }

void TWydrukiD95::BitBtn2Click(TObject*) {
  if (printers::ActivePrinter().IsPrinting()) return;  // a click queued before the job began
  if (pp2::WyborFonty != nullptr) pp2::WyborFonty->RunModal();
}

void TWydrukiD95::K1Click(TObject*) { SetVisible(true); }

void TWydrukiD95::WinTaskbar1DblClick(TObject*) {
  // The same command as "K&onfiguracja", and unavailable like it while a job prints.
  if (K1->Enabled()) SetVisible(true);
}

void TWydrukiD95::Koniec1Click(TObject*) { CloseForm(); }

void TWydrukiD95::AnulujWydruk1Click(TObject*) {
  if (printers::ActivePrinter().IsPrinting() || raw_printing_) CancelRequested = true;
}

void TWydrukiD95::SetJobCommands(bool printing) {
  AnulujWydruk1->SetEnabled(printing);
  // The font settings cannot change under a job: the font dialog, the configuration and the
  // switch wait for its end. (The job would not see a change anyway; it prints with the
  // settings it started with.)
  K1->SetEnabled(!printing);
  CheckBox1->SetEnabled(!printing);
  BitBtn2->SetEnabled(!printing && !pp2::UseStandardFonts);
}

void TWydrukiD95::EndJobDisplay() {
  WinTaskbar1->SetHint(kIdleHint);
  SetJobCommands(false);
}

void TWydrukiD95::BeginProgress() {
  progress_step_ = 2;
  last_percentage_ = 0;
}

void TWydrukiD95::ShowProgress(int percentage) {
  if (percentage != last_percentage_) {
    progress_step_ = ((progress_step_ + 1) % 5) + 2;
    WinTaskbar1->SetIcon(&Icon6->IconNumber(progress_step_));
  }
  last_percentage_ = percentage;
  WinTaskbar1->SetHint(kProgressHint + std::to_string(percentage) + "%");
}

JobOutcome TWydrukiD95::WydrukPliku(const std::string& name) {
  printers::TPrinter& printer = printers::ActivePrinter();
  if (printer.IsPrinting()) return JobOutcome::NotStarted;
  if (!Exists(name)) return JobOutcome::NotStarted;
  pp2::TextLineReader file(name);
  if (!file.IsOpen()) {
    // A file another program still holds open for writing, or one that went away, is tried
    // again at the next tick without a word. Any other refusal (no permission to read) is
    // kept and tried again too, but the user is told, once, as for a printer error.
    const DWORD error = file.OpenError();
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION)
      not_started_why_ = name + " is still held open by the program writing it";
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
        error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
      return JobOutcome::NotStarted;
    throw pp2::EInOutError("Cannot open file " + name + ". " + SystemErrorText(error));
  }
  // A printer that takes only raw documents is sent the print-out in its own language.
  if (const std::string raw = ActivePrinterName(); TakesRawDocuments(raw))
    return WydrukSurowy(file, name, raw);

  printer.DocumentTitle = name;
  printer.SetPageOrientation(printers::TPrinterOrientation::poPortrait);
  CancelRequested = false;
  printer.StartDocument();
  bool cancelled = false;
  try {
    // The job keeps the font path it started with, even if the switch changes meanwhile.
    const bool standard_fonts = CheckBox1->Checked();
    if (standard_fonts) {
      const HFONT preview =
          pp2::WyborFonty != nullptr ? pp2::WyborFonty->PreviewFont().FontHandle() : nullptr;
      pages_->WydrukStartOld(preview, JobLinesPerPage);
    } else {
      pages_->WydrukStart(JobLinesPerPage);
    }
    SetJobCommands(true);
    WinTaskbar1->SetIcon(&Icon6->Icon2());
    const std::uint64_t size = file.Size();
    BeginProgress();
    ShownLinesPerPage = NormalLinesPerPage;
    // Each line is drawn as it is read, in pieces of bounded size: a page ends only at a form
    // feed or the end of the file, and a listing without form feeds must not be held whole.
    bool page_begun = false;
    while (!file.AtEnd() && !CancelRequested) {
      if (!page_begun) {
        pages_->BeginPage(standard_fonts);
        ++job_pages_;
      }
      page_begun = true;
      LineMarks marks;
      for (bool ended = false; !ended && !CancelRequested;) {
        std::string piece;
        ended = file.ReadLinePiece(piece, kLinePieceBytes);
        piece = ConvertLine(piece);
        marks.Scan(piece);
        ShowProgress(JobPercentage(file.BytesFetched(), size));
        pages_->RenderText(piece);
      }
      if (CancelRequested) break;
      pages_->EndLine();
      if (marks.job_spacing) ShownLinesPerPage = JobLinesPerPage;
      if (marks.normal_spacing) ShownLinesPerPage = NormalLinesPerPage;
      Label9->SetCaption(std::to_string(ShownLinesPerPage));
      if (marks.form_feed && !file.AtEnd() && !CancelRequested) {
        printer.NextPage();
        page_begun = false;
      }
    }
    if (CancelRequested) printer.CancelDocument();
    file.Close();
    EndJobDisplay();
    cancelled = CancelRequested;
    // The printer began the document's first page with the document: an empty print-out
    // still prints that page, blank.
    if (!cancelled && job_pages_ == 0) job_pages_ = 1;
    if (!cancelled) printer.FinishDocument();
  } catch (...) {
    // A failed job leaves no document open: it is aborted, and nothing of it is printed.
    file.Close();
    if (printer.IsPrinting()) {
      try {
        printer.CancelDocument();
      } catch (const std::exception&) {
      }
    }
    EndJobDisplay();
    WinTaskbar1->SetIcon(&Icon6->Icon1());
    throw;
  }
  WinTaskbar1->SetIcon(&Icon6->Icon1());
  return cancelled ? JobOutcome::Cancelled : JobOutcome::Printed;
}

void TWydrukiD95::RetireJobSignal(const std::string& path, const SignalIdentity& job) {
  // The companion may have written the next job into the signal while this one printed: that
  // signal is not this job's to delete, and the next tick prints it.
  const auto now = SignalIdentity::Of(path);
  if (!now || !(*now == job)) return;
  DeleteSignalFile(path);
  if (Exists(path))
    retired_signal_ = std::make_unique<SignalIdentity>(*now);
  else
    retired_signal_.reset();
}

std::string TWydrukiD95::ActivePrinterName() {
  try {
    printers::TPrinter& printer = printers::ActivePrinter();
    auto& list = printer.PrinterList();
    const int index = printer.SelectedIndex();
    if (index >= 0 && static_cast<std::size_t>(index) < list.size() && list[index].device)
      return list[index].device->DeviceName;
  } catch (const std::exception&) {
    // No printer to name: the failure itself says why.
  }
  return "?";
}

bool TWydrukiD95::ServeJobDirectory() {
  if (!directory_lock_)
    directory_lock_ = std::make_unique<JobDirectoryLock>(JobDirectory, SayToUser);
  switch (directory_lock_->Serve()) {
    case JobDirectoryLock::State::Held:
      return true;
    case JobDirectoryLock::State::Taken:
      // Taking the directory over from another agent is this agent's first look at it.
      if (!FirstTick) SetAsideStaleStopSignal();
      WinTaskbar1->SetHint(kIdleHint);
      return true;
    case JobDirectoryLock::State::Waiting:
      break;
  }
  WinTaskbar1->SetHint(kWaitingHint);
  return false;
}

void TWydrukiD95::SetAsideStaleStopSignal() {
  if (!Exists(JobDirectory + kStopSignal)) return;
  DeleteSignalFile(JobDirectory + kStopSignal);
  // Left by an earlier run and not this user's to remove (a shared directory with the sticky
  // bit): it is stale, and must not end this run nor every later one.
  if (Exists(JobDirectory + kStopSignal)) {
    if (auto identity = SignalIdentity::Of(JobDirectory + kStopSignal))
      stale_stop_signal_ = std::make_unique<SignalIdentity>(std::move(*identity));
  }
}

void TWydrukiD95::Timer1Timer(TObject*) {
  // The job directory is looked into only while this agent holds its lock.
  const bool serving = ServeJobDirectory();
  if (FirstTick) {
    if (serving) SetAsideStaleStopSignal();
    SetVisible(false);
    FirstTick = false;
    WinExec(kCompanion, SW_SHOWDEFAULT);
  }
  if (!serving) return;
  const std::string signal_path = JobDirectory + kJobSignal;
  if (Exists(signal_path) && signal_owners_->Accepts(signal_path)) {
    Timer1->SetEnabled(false);
    // The job and the signal's identity come from one read: only that signal is this job's.
    const SignalRead read = ReadSignal(signal_path);
    const SignalIdentity identity = SignalIdentity::From(read);
    if (!read.taken) {
      // Gone between the look and the read, or still being written: the next tick looks again.
      if (read.held)
        wait_.Waiting("", std::string(kJobSignal) + " is still held open by the program writing it",
                      GetTickCount());
    } else if (retired_signal_ && identity == *retired_signal_) {
      // Printed already; only its signal could not be removed. Try again, print nothing.
      RetireJobSignal(signal_path, identity);
    } else if (retry_.Waiting(GetTickCount())) {
      // A kept job waits for its next attempt; the stop signal is still seen every tick.
    } else {
      const JobSignal& signal = read.job;
      if (signal.lines_per_page) JobLinesPerPage = *signal.lines_per_page;
      const std::string why = WhySignalWaits(read);
      if (!why.empty()) wait_.Waiting(identity.Key(), why, GetTickCount());
      if (why.empty()) {
        printers::TPrinter& printer = printers::ActivePrinter();
        // After a printer error the printers are looked up again: the print system may have
        // come back, or its default and queues changed meanwhile.
        if (printers_stale_ && !printer.IsPrinting()) printer.Refresh();
        printers_stale_ = false;
        retry_.Clear();
        try {
          job_pages_ = 0;
          not_started_why_.clear();
          const JobOutcome outcome = WydrukPliku(signal.file_name);
          if (outcome == JobOutcome::NotStarted && !not_started_why_.empty())
            wait_.Waiting(identity.Key(), not_started_why_, GetTickCount());
          if (outcome != JobOutcome::NotStarted) {
            wait_.Over();
            RetireJobSignal(signal_path, identity);
            WriteJobJournal(JobJournalLine(
                signal.file_name, ActivePrinterName(), job_pages_,
                outcome == JobOutcome::Printed ? JobResult::Printed : JobResult::Cancelled));
          }
          last_reported_failure_.clear();
        } catch (const std::exception& error) {
          // The job stays and is tried again a few seconds later, so that a print system
          // that does not answer is not asked on every tick; the same failure is reported
          // only once.
          const bool printer_error = dynamic_cast<const printers::EPrinter*>(&error) != nullptr;
          printers_stale_ = printer_error;
          retry_.Failed(GetTickCount());
          const auto* raw = dynamic_cast<const ERawPrinter*>(&error);
          const std::string message =
              printer_error
                  ? PrinterTrouble(raw != nullptr ? raw->SystemError() : printer.LastSystemError(),
                                   error)
                  : error.what();
          const std::string failure = signal.file_name + '\n' + message;
          if (failure != last_reported_failure_) {
            last_reported_failure_ = failure;
            WriteJobJournal(JobJournalLine(signal.file_name, ActivePrinterName(), job_pages_,
                                           JobResult::Failed, error.what()));
            if (forms::TApplication* application = forms::Application())
              application->ReportError(Exception(message));
          }
        }
      }
    }
    Timer1->SetEnabled(true);
  } else {
    // No job is kept: the next one is tried at once.
    retry_.Clear();
    wait_.Over();
  }
  if (Exists(JobDirectory + kStopSignal) && !IsStaleStopSignal() &&
      signal_owners_->Accepts(JobDirectory + kStopSignal)) {
    DeleteSignalFile(JobDirectory + kStopSignal);
    CloseForm();
  }
}

bool TWydrukiD95::IsStaleStopSignal() const {
  if (!stale_stop_signal_) return false;
  const auto identity = SignalIdentity::Of(JobDirectory + kStopSignal);
  return identity && *identity == *stale_stop_signal_;
}

}  // namespace wydruki::pp1
