// SPDX-License-Identifier: MIT
// The main window: the configuration window with the default printer's data, the job
// directory and the "Fonty Standardowe" switch; the owner of the job timer, the notification-
// area icon with its menu, and the print job driver.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ExtCtrls/Timer.h"
#include "Forms/Buttons.h"
#include "Forms/Controls.h"
#include "Forms/Form.h"
#include "Forms/Menus.h"
#include "Icon6/Icon6.h"
#include "WTaskBar/WinTaskbar.h"
#include "pp1/JobSignal.h"
#include "pp1/JobWait.h"
#include "pp1/PagePrinter.h"
#include "pp1/RetryPace.h"

namespace wydruki::pp2 {
class TextLineReader;
}

namespace wydruki::pp1 {

class JobDirectoryLock;
class SignalOwners;

inline constexpr std::int32_t NormalLinesPerPage = kNormalLinesPerPage;
inline constexpr const char* kJobSignal = "win95.drk";
inline constexpr const char* kStopSignal = "koniec.drk";
inline constexpr const char* kCompanion = "d95.pif";
inline constexpr const char* kIdleHint = "Wydruk dla D'95";

// How a job ended.
enum class JobOutcome {
  Printed,     // the document was finished and handed to the printer
  Cancelled,   // the user cancelled it; the document was aborted
  NotStarted,  // the file is missing, cannot be opened yet, or a document is still open
};

// A directory search finds an entry of that name that is not a directory and whose last write
// time can be a DOS date and time.
bool Exists(const std::string& name);

// How far through a file of `size` bytes the reading is, in whole percent of its 128-byte
// blocks, after `fetched` bytes. A file of less than one block is read whole at once: 100.
int JobPercentage(std::uint64_t fetched, std::uint64_t size);

// The program's arguments (without the program itself), as main received them.
void SetProgramArguments(std::vector<std::string> arguments);

class TWydrukiD95 : public forms::TForm {
 public:
  explicit TWydrukiD95(forms::TComponent* owner);
  ~TWydrukiD95() override;

  // Event handlers.
  void FormCreate(forms::TObject* sender);
  void FormShow(forms::TObject* sender);
  void FormActivate(forms::TObject* sender);
  void DaneDrukarki();
  void CheckBox1Click(forms::TObject* sender);
  void BitBtn1Click(forms::TObject* sender);
  void BitBtn2Click(forms::TObject* sender);
  void K1Click(forms::TObject* sender);
  void WinTaskbar1DblClick(forms::TObject* sender);
  void Koniec1Click(forms::TObject* sender);
  void AnulujWydruk1Click(forms::TObject* sender);
  void Timer1Timer(forms::TObject* sender);

  // Prints one text file as one document.
  JobOutcome WydrukPliku(const std::string& name);

  std::string JobDirectory;
  // Another copy was running at creation: this one only starts the companion and ends.
  bool SecondCopy = false;
  bool FirstTick = true;
  std::int32_t JobLinesPerPage = 77;
  bool CancelRequested = false;
  std::int32_t ShownLinesPerPage = NormalLinesPerPage;

  forms::TGroupBox* GroupBox1;
  forms::TLabel* Label1;
  forms::TLabel* Label2;
  forms::TLabel* Label3;
  forms::TLabel* Label4;
  forms::TLabel* Label5;
  forms::TLabel* DrNazwa;
  forms::TLabel* DrStan;
  forms::TLabel* DrTyp;
  forms::TLabel* DrGdzie;
  forms::TLabel* DrKomentarz;
  forms::TLabel* Label7;
  forms::TLabel* Label6;
  forms::TLabel* Label8;
  forms::TLabel* Label9;
  forms::TCheckBox* CheckBox1;
  forms::TBitBtn* BitBtn2;
  forms::TPanel* Panel1;
  forms::TLabel* Label10;
  forms::TBitBtn* BitBtn1;
  extctrls::TTimer* Timer1;
  wtaskbar::TWinTaskbar* WinTaskbar1;
  icon6::TIcon6* Icon6;
  forms::TPopupMenu* Menu;
  forms::TMenuItem* AnulujWydruk1;
  forms::TMenuItem* K1;
  forms::TMenuItem* N1;
  forms::TMenuItem* Koniec1;

 private:
  struct SignalIdentity;
  // Enables the commands of a job in progress ("&Anuluj wydruk") or those of an idle agent.
  void SetJobCommands(bool printing);
  void EndJobDisplay();
  // The tray during a job: the percentage in the hint, and the next frame of the animation
  // each time it changes.
  void BeginProgress();
  void ShowProgress(int percentage);
  // Prints the opened file as a raw document on `printer`, a printer that takes only those
  // (RawPrinting.cpp).
  JobOutcome WydrukSurowy(pp2::TextLineReader& file, const std::string& name,
                          const std::string& printer);
  // Deletes the job signal when it is still the one the job was read from (`job`); remembers
  // it when it cannot be deleted, so it is not printed again. A signal written anew meanwhile
  // is left for the next tick.
  void RetireJobSignal(const std::string& path, const SignalIdentity& job);
  // The stop signal found at the first tick that could not be removed, when it is still there.
  bool IsStaleStopSignal() const;
  // Removes a stop signal found when the agent begins to serve the job directory, or remembers
  // it as stale when it cannot be removed.
  void SetAsideStaleStopSignal();
  // Whether this agent serves the job directory now (holds its lock); says once when another
  // agent does.
  bool ServeJobDirectory();

  std::unique_ptr<PagePrinter> pages_;
  std::unique_ptr<SignalIdentity> retired_signal_;
  std::unique_ptr<SignalIdentity> stale_stop_signal_;
  std::unique_ptr<JobDirectoryLock> directory_lock_;
  std::unique_ptr<SignalOwners> signal_owners_;
  // A failed job is kept and waits a while before it is tried again; after a printer error
  // the printers are looked up afresh at that attempt.
  RetryPace retry_;
  bool printers_stale_ = false;
  std::string last_reported_failure_;
  JobWait wait_;
  std::string not_started_why_;  // why WydrukPliku did not begin a document, when it can say
  int job_pages_ = 0;  // pages of the current job drawn so far, for the job journal
  int progress_step_ = 2;
  int last_percentage_ = 0;
  bool raw_printing_ = false;  // a raw document is being sent
  std::string ActivePrinterName();
};

// The main window (none before it is made).
extern TWydrukiD95* WydrukiD95;

}  // namespace wydruki::pp1
