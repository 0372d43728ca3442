// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "ExtCtrls/Timer.h"
#include "resources/ProgramResources.h"
#include "Forms/Application.h"
#include "Forms/Buttons.h"
#include "Forms/Controls.h"
#include "Forms/Form.h"
#include "Base/Exceptions.h"
#include "test_support/temp_dir.h"

namespace wydruki::forms {
namespace {

using test::ScopedEnv;
using test::TempDir;

// Every test runs with its own application object on the null display, whose record of what
// a user would have seen the test reads.
class FormsTest : public ::testing::Test {
 protected:
  FormsTest()
      : ini_("WYDRUKI_INI", dir_.Write("win.ini", "[display]\ndriver=null\nrecord=" +
                                                      dir_.Path("screen.txt") + "\n")) {
    application_ = std::make_unique<TApplication>();
    application_->SetAppTitle("Wydruki z D'95");
  }
  ~FormsTest() override {
    application_.reset();
    // Anything left in the queue belongs to this test only.
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    }
  }
  std::vector<std::string> Screen() const {
    std::vector<std::string> lines;
    std::ifstream in(dir_.Path("screen.txt"));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  bool ScreenHas(const std::string& line) const {
    for (const auto& l : Screen())
      if (l == line) return true;
    return false;
  }

  TempDir dir_;
  ScopedEnv ini_;
  std::unique_ptr<TApplication> application_;
};

FormLayout Layout(const std::string& caption) {
  FormLayout layout;
  layout.class_name = "TTestForm";
  layout.caption = caption;
  layout.width = 300;
  layout.height = 200;
  return layout;
}

class TestForm : public TForm {
 public:
  TestForm(TComponent* owner, std::string caption, std::vector<std::string>* log = nullptr)
      : TForm(owner, Layout(caption)), caption_(std::move(caption)), log_(log) {}
  ~TestForm() override {
    if (log_ != nullptr) log_->push_back("destroy " + caption_);
  }

 private:
  std::string caption_;
  std::vector<std::string>* log_;
};

TEST(ErrorText, AFullStopFollowsOnlyCharactersThatSortAfterIt) {
  EXPECT_EQ(ErrorText("Brak papieru"), "Brak papieru.");
  EXPECT_EQ(ErrorText("Error 42"), "Error 42.");
  EXPECT_EQ(ErrorText("Really?"), "Really?.");
  EXPECT_EQ(ErrorText("Done."), "Done.");
  EXPECT_EQ(ErrorText("Stop!"), "Stop!");
  EXPECT_EQ(ErrorText("(code 5)"), "(code 5)");
  EXPECT_EQ(ErrorText(""), "");
}

TEST(BitBtnKinds, EachKindSetsItsModalResultDefaultAndCancel) {
  TempDir dir;
  ScopedEnv ini("WYDRUKI_INI", dir.Write("win.ini", ""));
  TApplication application;
  TestForm* form = nullptr;
  application.AddForm(form, "kinds");
  TBitBtn button(form);
  button.ModalResult = 42;
  button.SetKind(TBitBtnKind::bkCustom);
  EXPECT_EQ(button.ModalResult, 42);
  const struct {
    TBitBtnKind kind;
    TModalResult result;
    bool is_default, is_cancel;
  } table[] = {{TBitBtnKind::bkOK, mrOk, true, false},
               {TBitBtnKind::bkCancel, mrCancel, false, true},
               {TBitBtnKind::bkHelp, mrNone, false, false},
               {TBitBtnKind::bkYes, mrYes, true, false},
               {TBitBtnKind::bkNo, mrNo, false, true},
               {TBitBtnKind::bkClose, mrNone, false, false},
               {TBitBtnKind::bkAbort, mrAbort, false, false},
               {TBitBtnKind::bkRetry, mrRetry, false, false},
               {TBitBtnKind::bkIgnore, mrIgnore, false, false},
               {TBitBtnKind::bkAll, mrAll, false, false}};
  for (const auto& row : table) {
    button.SetKind(row.kind);
    EXPECT_EQ(button.ModalResult, row.result);
    EXPECT_EQ(button.Default, row.is_default);
    EXPECT_EQ(button.Cancel, row.is_cancel);
  }
  // A click hands the button's result to the form, then runs OnClick.
  button.SetKind(TBitBtnKind::bkYes);
  TModalResult seen = -1;
  button.OnClick = [&](TObject*) { seen = form->ModalResult; };
  button.Click();
  EXPECT_EQ(seen, mrYes);
}

TEST(ProgramResources, TheApplicationWearsTheProgramIconAndButtonsTheirGlyphs) {
  TempDir dir;
  ScopedEnv ini("WYDRUKI_INI", dir.Write("win.ini", ""));
  wydruki::resources::InstallProgramResources();
  HINSTANCE self = GetModuleHandleA(nullptr);
  HICON main_icon = LoadIconA(self, wydruki::resources::kMainIcon);
  ASSERT_NE(main_icon, nullptr);
  EXPECT_NE(main_icon, LoadIconA(nullptr, IDI_APPLICATION));
  TApplication application;
  EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(application.Handle(), WM_GETICON, ICON_BIG, 0)),
            main_icon);
  TestForm* form = nullptr;
  application.AddForm(form, "glyphs");
  TBitBtn yes(form, {0, 0, 75, 25}, "&OK");
  EXPECT_EQ(yes.Glyph(), nullptr);
  yes.SetKind(TBitBtnKind::bkYes);
  const HICON tick = LoadIconA(self, wydruki::resources::kGlyphOk);
  ASSERT_NE(tick, nullptr);
  EXPECT_EQ(yes.Glyph(), tick);
  EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(yes.Handle(), BM_GETIMAGE, IMAGE_ICON, 0)), tick);
  yes.SetKind(TBitBtnKind::bkCancel);
  EXPECT_EQ(yes.Glyph(), LoadIconA(self, wydruki::resources::kGlyphCancel));
  EXPECT_NE(yes.Glyph(), tick);
  yes.SetGlyph("NO_SUCH_GLYPH");
  EXPECT_EQ(yes.Glyph(), nullptr);
  EXPECT_EQ(SendMessageA(yes.Handle(), BM_GETIMAGE, IMAGE_ICON, 0), 0);
  // Every picture the program names is there.
  for (const char* name : {wydruki::resources::kGlyphHelp, wydruki::resources::kGlyphFont})
    EXPECT_NE(LoadIconA(self, name), nullptr) << name;
}

TEST_F(FormsTest, AddFormStoresTheReferenceBeforeTheConstructorRunsAndResetsItOnFailure) {
  struct Probe : TForm {
    Probe(TComponent* owner, Probe** reference, bool* saw_itself, bool fail)
        : TForm(owner, Layout("probe")) {
      *saw_itself = *reference == this;
      if (fail) throw Exception("cannot build");
    }
  };
  Probe* reference = nullptr;
  bool saw_itself = false;
  application_->AddForm(reference, &reference, &saw_itself, false);
  EXPECT_TRUE(saw_itself);
  EXPECT_EQ(application_->PrimaryForm(), reference);

  Probe* failing = nullptr;
  EXPECT_THROW(application_->AddForm(failing, &failing, &saw_itself, true), Exception);
  EXPECT_EQ(failing, nullptr);
  EXPECT_EQ(application_->Components().size(), 1u);
}

TEST_F(FormsTest, FormsArePaintedInTheDialogColourWithLabelsWholeInTheirFont) {
  TestForm* form = nullptr;
  application_->AddForm(form, "painted");
  // The class paints the client area; without a brush it stays black.
  WNDCLASSA registered{};
  ASSERT_TRUE(GetClassInfoA(GetModuleHandleA(nullptr), "TTestForm", &registered));
  EXPECT_EQ(registered.hbrBackground,
            reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1)));

  // A label asks its form for its colours; the form answers with the button face.
  auto* label = new TLabel(form, Bounds{10, 10, 100, 5}, "E2E_PS");
  HDC dc = GetDC(nullptr);
  ASSERT_NE(dc, nullptr);
  for (const UINT message : {UINT{WM_CTLCOLORSTATIC}, UINT{WM_CTLCOLORBTN}}) {
    SetBkColor(dc, RGB(0, 0, 0));
    const auto brush =
        reinterpret_cast<HBRUSH>(SendMessageA(form->Handle(), message, reinterpret_cast<WPARAM>(dc),
                                              reinterpret_cast<LPARAM>(label->Handle())));
    ASSERT_NE(brush, nullptr) << message;
    LOGBRUSH described{};
    ASSERT_EQ(GetObjectA(brush, sizeof described, &described), static_cast<int>(sizeof described));
    EXPECT_EQ(described.lbStyle, static_cast<UINT>(BS_SOLID));
    EXPECT_EQ(described.lbColor, GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(GetBkColor(dc), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(GetTextColor(dc), GetSysColor(COLOR_WINDOWTEXT));
  }

  // The label made too low for its font grows to a whole line, descenders included, of the
  // dialog font measured here on its own.
  LOGFONTA dialog_font{};
  dialog_font.lfHeight = -11;
  std::strcpy(dialog_font.lfFaceName, "MS Sans Serif");
  HFONT font = CreateFontIndirectA(&dialog_font);
  HGDIOBJ previous = SelectObject(dc, font);
  TEXTMETRICA metrics{};
  ASSERT_TRUE(GetTextMetricsA(dc, &metrics));
  SIZE caption{};
  ASSERT_TRUE(GetTextExtentPoint32A(dc, "Komentarz :", 11, &caption));
  SelectObject(dc, previous);
  DeleteObject(font);
  ReleaseDC(nullptr, dc);
  ASSERT_GT(metrics.tmDescent, 0);
  EXPECT_GE(label->BoundsRect().height, metrics.tmAscent + metrics.tmDescent);
  RECT frame{};
  ASSERT_TRUE(GetWindowRect(label->Handle(), &frame));
  EXPECT_EQ(frame.bottom - frame.top, label->BoundsRect().height);
  // A label laid out large enough keeps its size.
  auto* tall = new TLabel(form, Bounds{10, 30, 100, 40}, "two\nlines");
  EXPECT_EQ(tall->BoundsRect().height, 40);
  EXPECT_EQ(tall->BoundsRect().width, 100);

  // Too narrow, a label would wrap its last word onto a line nobody sees ("Komentarz" without
  // its colon): it grows to its caption; right-aligned, it keeps its right edge.
  ASSERT_GT(caption.cx, 20);
  auto* left = new TLabel(form, Bounds{10, 80, 20, 13}, "Komentarz :");
  EXPECT_EQ(left->BoundsRect().left, 10);
  EXPECT_EQ(left->BoundsRect().width, caption.cx);
  auto* right =
      new TLabel(form, Bounds{60, 100, 20, 13}, "Komentarz :", TAlignment::taRightJustify);
  EXPECT_EQ(right->BoundsRect().left + right->BoundsRect().width, 80);
  EXPECT_EQ(right->BoundsRect().width, caption.cx);
  ASSERT_TRUE(GetWindowRect(right->Handle(), &frame));
  EXPECT_EQ(frame.right - frame.left, caption.cx);
}

TEST_F(FormsTest, APaintBoxDrawsItsContentAgainWhenItsWindowIsPainted) {
  // The box's window paints itself white over what was drawn before: without OnPaint after it,
  // the font dialog's samples vanish as soon as the dialog appears.
  TestForm* form = nullptr;
  application_->AddForm(form, "samples");
  auto* box = new TPaintBox(form, Bounds{10, 10, 100, 50});
  int painted = 0;
  box->OnPaint = [&](TObject* sender) {
    EXPECT_EQ(sender, box);
    ++painted;
  };
  SendMessageA(box->Handle(), WM_PAINT, 0, 0);
  EXPECT_EQ(painted, 1);
  SendMessageA(box->Handle(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("x"));
  EXPECT_EQ(painted, 1) << "other messages only reach the control";
  delete box;
  EXPECT_EQ(painted, 1);
}

TEST_F(FormsTest, RunLoopShowsThePrimaryFormEvenWhenQuitWasRequestedDuringCreation) {
  TestForm* main_form = nullptr;
  application_->AddForm(main_form, "Wydruki dla D95");
  main_form->OnCreate = nullptr;
  application_->RequestQuit();
  application_->RunLoop();
  EXPECT_TRUE(application_->QuitSeen());
  EXPECT_TRUE(main_form->Visible());
  EXPECT_TRUE(ScreenHas("SHOW Wydruki dla D95"));
}

TEST_F(FormsTest, AQuitTakenWhileDrainingOnlyMarksTheApplication) {
  application_->RequestQuit();
  PostMessageA(application_->Handle(), WM_NULL, 0, 0);
  application_->DrainMessages();
  EXPECT_TRUE(application_->QuitSeen());
}

TEST_F(FormsTest, HidingTheOnlyVisibleFormHidesTheApplicationWindow) {
  TestForm* form = nullptr;
  application_->AddForm(form, "only");
  form->SetVisible(true);
  EXPECT_TRUE(IsWindowVisible(application_->Handle()));
  form->SetVisible(false);
  EXPECT_FALSE(IsWindowVisible(application_->Handle()));
  EXPECT_FALSE(IsWindowVisible(form->Handle()));
  form->ShowForm();
  EXPECT_TRUE(IsWindowVisible(application_->Handle()));
}

TEST_F(FormsTest, ChangingVisibleInOnShowIsReportedAndShowingGoesOn) {
  TestForm* form = nullptr;
  application_->AddForm(form, "shown");
  form->OnShow = [&](TObject*) {
    form->ShowForm();  // the same value: only raises the window
    form->SetVisible(false);
  };
  form->SetVisible(true);
  EXPECT_TRUE(form->Visible());
  EXPECT_TRUE(IsWindowVisible(form->Handle()));
  EXPECT_TRUE(ScreenHas("MESSAGEBOX 16 Wydruki z D'95|Cannot change Visible in OnShow or OnHide."));
}

TEST_F(FormsTest, RunModalRefusesAVisibleFormAndEndsWithTheResultOfAButtonOrTheCloseBox) {
  TestForm* main_form = nullptr;
  application_->AddForm(main_form, "main");
  TestForm* dialog = nullptr;
  application_->AddForm(dialog, "dialog");
  main_form->SetVisible(true);
  try {
    main_form->RunModal();
    FAIL();
  } catch (const EInvalidOperation& e) {
    EXPECT_STREQ(e.what(), "Cannot make a visible window modal");
  }

  auto* ok = new TBitBtn(dialog);
  ok->ModalResult = mrOk;
  bool clicked = false;
  ok->OnClick = [&](TObject*) { clicked = true; };
  // The click arrives as the user's action would: through the queue, inside the modal loop.
  HWND clicker = MakeMessageWindow([&](MessageRecord& m) {
    if (m.Msg == WM_USER) ok->Click();
  });
  PostMessageA(clicker, WM_USER, 0, 0);
  EXPECT_EQ(dialog->RunModal(), mrOk);
  EXPECT_TRUE(clicked);
  EXPECT_FALSE(dialog->Visible());
  EXPECT_TRUE(IsWindowEnabled(main_form->Handle())) << "windows disabled for the dialog come back";

  PostMessageA(dialog->Handle(), WM_CLOSE, 0, 0);
  EXPECT_EQ(dialog->RunModal(), mrCancel);

  application_->RequestQuit();
  EXPECT_EQ(dialog->RunModal(), mrCancel);
  EXPECT_TRUE(application_->QuitSeen());
  FreeMessageWindow(clicker);
}

TEST_F(FormsTest, TheEndOfTheProgramDestroysFormsNewestFirst) {
  std::vector<std::string> log;
  TestForm* first = nullptr;
  TestForm* second = nullptr;
  application_->AddForm(first, "first", &log);
  application_->AddForm(second, "second", &log);
  application_->Finish();
  EXPECT_EQ(log, (std::vector<std::string>{"destroy second", "destroy first"}));
  EXPECT_EQ(application_->PrimaryForm(), nullptr);
}

TEST_F(FormsTest, ClosingThePrimaryFormQuitsAndAnotherFormHides) {
  TestForm* main_form = nullptr;
  TestForm* other = nullptr;
  application_->AddForm(main_form, "main");
  application_->AddForm(other, "other");
  other->SetVisible(true);
  other->CloseForm();
  EXPECT_FALSE(other->Visible());
  bool veto = true;
  main_form->OnCloseQuery = [&](TObject*, bool& may) { may = !veto; };
  main_form->CloseForm();
  application_->DrainMessages();
  EXPECT_FALSE(application_->QuitSeen());
  veto = false;
  main_form->CloseForm();
  application_->DrainMessages();
  EXPECT_TRUE(application_->QuitSeen());
}

class TimerTest : public FormsTest {
 protected:
  // Runs the loop until `done` or the time is up.
  template <typename Done>
  void RunFor(std::chrono::milliseconds limit, Done done) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done() && std::chrono::steady_clock::now() < end) {
      if (!application_->TakeMessage()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
};

TEST_F(TimerTest, ATimerTicksOnlyWhenArmedAndErrorsInItsHandlerAreReported) {
  TestForm* form = nullptr;
  application_->AddForm(form, "timers");
  auto* timer = new extctrls::TTimer(form);
  EXPECT_TRUE(timer->Enabled());
  EXPECT_EQ(timer->Interval(), 1000u);
  EXPECT_FALSE(KillTimer(timer->WindowHandle(), 1)) << "no handler, no platform timer";
  int ticks = 0;
  timer->SetInterval(20);
  timer->SetOnTimer([&](TObject* sender) {
    EXPECT_EQ(sender, timer);
    ++ticks;
    throw Exception("Brak papieru");
  });
  RunFor(std::chrono::seconds(5), [&] { return ticks > 0; });
  EXPECT_GE(ticks, 1);
  EXPECT_TRUE(ScreenHas("MESSAGEBOX 16 Wydruki z D'95|Brak papieru."));

  timer->SetInterval(0);
  EXPECT_FALSE(KillTimer(timer->WindowHandle(), 1)) << "an interval of 0 disarms";
  timer->SetInterval(20);
  timer->SetEnabled(false);
  EXPECT_FALSE(KillTimer(timer->WindowHandle(), 1));
}

TEST_F(TimerTest, SwitchingOffAndOnRestartsTheCountButSettingTheSameValueDoesNot) {
  TestForm* form = nullptr;
  application_->AddForm(form, "timers");
  auto* timer = new extctrls::TTimer(form);
  using Clock = std::chrono::steady_clock;
  std::vector<Clock::time_point> ticks;
  timer->SetInterval(1000);
  timer->SetOnTimer([&](TObject*) { ticks.push_back(Clock::now()); });
  // Off and on again half-way: the next tick comes a full period after re-enabling, never earlier.
  RunFor(std::chrono::milliseconds(500), [] { return false; });
  timer->SetEnabled(false);
  timer->SetEnabled(true);
  const auto restarted = Clock::now();
  RunFor(std::chrono::seconds(3), [&] { return !ticks.empty(); });
  ASSERT_FALSE(ticks.empty());
  EXPECT_GE(ticks.front() - restarted, std::chrono::milliseconds(990));

  // Setting Enabled to true while it is true keeps the running count: a reference timer of the
  // same period, armed just before that call, ticks after the kept count and before a
  // restarted one would.
  std::vector<std::string> order;
  timer->SetOnTimer([&](TObject*) { order.push_back("kept"); });
  timer->SetEnabled(false);
  timer->SetEnabled(true);
  RunFor(std::chrono::milliseconds(600), [] { return false; });
  auto* reference = new extctrls::TTimer(form);
  reference->SetInterval(1000);
  reference->SetOnTimer([&](TObject*) { order.push_back("reference"); });
  timer->SetEnabled(true);
  RunFor(std::chrono::seconds(5), [&] { return order.size() >= 2; });
  ASSERT_GE(order.size(), 2u);
  EXPECT_EQ(order[0], "kept");
  EXPECT_EQ(order[1], "reference");
}

}  // namespace
}  // namespace wydruki::forms
