// SPDX-License-Identifier: MIT
// The main window while a job prints: messages are handled in the middle of a page, so the
// commands that change the font settings must not be available then.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "Forms/Application.h"
#include "Forms/MessageWindow.h"
#include "Printers/Printer.h"
#include "pp1/WydrukiD95.h"
#include "pp2/FontSettings.h"
#include "pp2/WyborFonty.h"
#include "test_support/cups_scheduler.h"
#include "test_support/temp_dir.h"

namespace wydruki::pp1 {
namespace {

using test::ScopedEnv;
using test::TempDir;

constexpr UINT kLookDuringJob = WM_USER + 17;

struct CommandsSeen {
  bool looked = false;
  bool cancel = false;
  bool configuration = false;
  bool font_button = false;
  bool switch_box = false;
  bool shown_by_double_click = false;
};

class MainWindowTest : public ::testing::Test {
 protected:
  MainWindowTest()
      : ini_("WYDRUKI_INI",
             dir_.Write("win.ini",
                        "[windows]\ndevice=trace-file,builtin,x\n[trace-file]\nport=" +
                            dir_.Path("trace.txt") +
                            "\n[display]\ndriver=null\nrecord=" + dir_.Path("screen.txt") + "\n")),
        runtime_("XDG_RUNTIME_DIR", dir_.path().c_str()) {
    application_ = std::make_unique<forms::TApplication>();
    application_->AddForm(WydrukiD95);
    application_->AddForm(pp2::WyborFonty);
  }
  ~MainWindowTest() override {
    if (looker_ != nullptr) forms::FreeMessageWindow(looker_);
    application_.reset();
    printers::FreeActivePrinter();
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    }
  }

  // Posts a message that the job's own message handling delivers in the middle of its page;
  // its handler notes which commands the user could reach then.
  void LookDuringTheNextJob(bool cancel = false) {
    looker_ = forms::MakeMessageWindow([this, cancel](forms::MessageRecord& message) {
      if (message.Msg != kLookDuringJob) return;
      TWydrukiD95& window = *WydrukiD95;
      if (cancel) {
        seen_.looked = true;
        window.AnulujWydruk1Click(nullptr);  // "&Anuluj wydruk" chosen from the tray menu
        return;
      }
      seen_.looked = true;
      seen_.cancel = window.AnulujWydruk1->Enabled();
      seen_.configuration = window.K1->Enabled();
      seen_.font_button = window.BitBtn2->Enabled();
      seen_.switch_box = window.CheckBox1->Enabled();
      window.SetVisible(false);
      window.WinTaskbar1DblClick(nullptr);
      seen_.shown_by_double_click = window.Visible();
    });
    PostMessageA(looker_, kLookDuringJob, 0, 0);
  }

  std::string Trace() const { return dir_.Read("trace.txt"); }

  TempDir dir_;
  ScopedEnv ini_;
  ScopedEnv runtime_;
  std::unique_ptr<forms::TApplication> application_;
  HWND looker_ = nullptr;
  CommandsSeen seen_;
};

TEST_F(MainWindowTest, TheFontAndConfigurationCommandsWaitForTheEndOfAJob) {
  const std::string job = dir_.Write("WYDRUK.TXT", "AB\r\nCD\r\n");
  TWydrukiD95& window = *WydrukiD95;
  pp2::UseStandardFonts = false;
  window.CheckBox1->SetChecked(false);
  window.BitBtn2->SetEnabled(true);
  LookDuringTheNextJob();
  ASSERT_EQ(window.WydrukPliku(job), JobOutcome::Printed);
  ASSERT_TRUE(seen_.looked) << "the job handled no messages";
  EXPECT_TRUE(seen_.cancel) << "the job can be cancelled";
  EXPECT_FALSE(seen_.configuration) << "\"K&onfiguracja\" while a job prints";
  EXPECT_FALSE(seen_.font_button) << "\"Czcionka\" while a job prints";
  EXPECT_FALSE(seen_.switch_box) << "\"Fonty Standardowe\" while a job prints";
  EXPECT_FALSE(seen_.shown_by_double_click) << "the configuration opened by a double click";
  // And all is back once the job has ended.
  EXPECT_FALSE(window.AnulujWydruk1->Enabled());
  EXPECT_TRUE(window.K1->Enabled());
  EXPECT_TRUE(window.BitBtn2->Enabled());
  EXPECT_TRUE(window.CheckBox1->Enabled());
}

// Pages are drawn line by line as the file is read; a cancel chosen at the first line's end
// aborts the whole document there, and nothing after it is drawn.
TEST_F(MainWindowTest, ACancelDuringTheFirstPageAbortsTheDocument) {
  const std::string job = dir_.Write("WYDRUK.TXT", "A\r\nB\x0C\r\nC\r\n");
  TWydrukiD95& window = *WydrukiD95;
  LookDuringTheNextJob(true);
  ASSERT_EQ(window.WydrukPliku(job), JobOutcome::Cancelled);
  ASSERT_TRUE(seen_.looked);
  const std::string trace = Trace();
  EXPECT_NE(trace.find(" 41\n"), std::string::npos) << trace;  // A was drawn
  EXPECT_EQ(trace.find(" 42\n"), std::string::npos) << trace;  // B was not
  EXPECT_EQ(trace.find(" 43\n"), std::string::npos) << trace;
  EXPECT_EQ(trace.find("ENDDOC"), std::string::npos) << "a cancelled document is not finished";
  EXPECT_FALSE(printers::ActivePrinter().IsPrinting());
  EXPECT_FALSE(window.AnulujWydruk1->Enabled());
  EXPECT_EQ(window.WinTaskbar1->Hint(), kIdleHint);
  // The next job prints whole.
  ASSERT_EQ(window.WydrukPliku(job), JobOutcome::Printed);
  EXPECT_NE(Trace().find("ENDDOC"), std::string::npos);
}

// A raw job cancelled from the menu: its job on the scheduler is cancelled, not left waiting,
// and nothing of it reaches the printer.
TEST_F(MainWindowTest, ACancelledRawJobIsCancelledOnTheScheduler) {
  if (!test::CupsScheduler::Available()) GTEST_SKIP() << "no /usr/sbin/cupsd on this machine";
  test::CupsScheduler scheduler;
  scheduler.AddRawQueue("LX350");
  dir_.Write("win.ini", "[windows]\ndevice=LX350,cups,LX350\n[display]\ndriver=null\n");
  printers::ActivePrinter().Refresh();
  const std::string job = dir_.Write("WYDRUK.TXT", "A\r\nB\r\n");
  LookDuringTheNextJob(true);
  ASSERT_EQ(WydrukiD95->WydrukPliku(job), JobOutcome::Cancelled);
  EXPECT_TRUE(scheduler.WaitUntilIdle()) << "the job was left on the queue";
  EXPECT_EQ(scheduler.CompletedJobs(), 1);
  EXPECT_FALSE(std::filesystem::exists(scheduler.OutputPath("LX350")));
}

}  // namespace
}  // namespace wydruki::pp1
