// SPDX-License-Identifier: MIT
// The application object: owns the forms and the message loop, and reports errors that escape
// event handlers. There is exactly one, made before any form.
#pragma once

#include <functional>

#include <exception>
#include <new>
#include <string>

#include "Forms/Component.h"
#include "Forms/Form.h"
#include "Forms/MessageWindow.h"
#include "platform/winapi.h"

namespace wydruki::forms {

class TApplication : public TComponent {
 public:
  // Creates the hidden application window; fails with "Error creating window class" when its
  // class cannot be registered.
  TApplication();
  ~TApplication() override;

  HWND Handle() const { return handle_; }
  const std::string& AppTitle() const { return title_; }
  void SetAppTitle(const std::string& title);

  // Creates a form of class F owned by the application. `reference` holds the new object before
  // its constructor runs, so handlers called during construction can reach it; it is reset when
  // the constructor fails. The first form becomes PrimaryForm.
  template <typename F, typename... Args>
  void AddForm(F*& reference, Args&&... args) {
    void* memory = ::operator new(sizeof(F));
    reference = static_cast<F*>(memory);
    F* form = nullptr;
    try {
      form = new (memory) F(this, std::forward<Args>(args)...);
    } catch (...) {
      reference = nullptr;
      ::operator delete(memory);
      throw;
    }
    if (primary_form_ == nullptr) primary_form_ = form;
    try {
      form->AfterConstruction();
    } catch (...) {
      if (primary_form_ == form) primary_form_ = nullptr;
      reference = nullptr;
      delete form;
      throw;
    }
  }

  TCustomForm* PrimaryForm() const { return primary_form_; }
  bool ShowPrimaryOnRun = true;
  bool QuitSeen() const { return quit_seen_; }
  bool Running() const { return running_; }

  // Runs the message loop until the quit message is taken.
  void RunLoop();
  void HandleNextMessage();
  // Removes and dispatches at most one message; false when the queue was empty.
  bool TakeMessage();
  void IdleWait();
  // Dispatches everything pending; never waits.
  void DrainMessages();
  void RequestQuit();
  // Shows an error that escaped a handler; the program goes on.
  void ReportError(const std::exception& error);
  // Runs `action`, showing any error that escapes it: the dispatch point of every handler.
  template <typename Action>
  void Guard(Action&& action) {
    try {
      action();
    } catch (const std::bad_alloc&) {
      throw;
    } catch (const std::exception& error) {
      ReportError(error);
    }
  }

  // The end of the program: forms destroyed newest first. RunLoop's caller and the end-session
  // path run it; it runs once.
  void Finish();
  // Called when the user's session ends under the program, before the program goes: whatever
  // cannot be finished in the moment left is to be abandoned, not cut short and kept.
  std::function<void()> OnSessionEnd;
  void Minimize();
  void Restore();

 private:
  void WindowMessage(MessageRecord& message);
  void UpdateVisibility();
  friend class TCustomForm;

  HWND handle_ = nullptr;
  std::string title_;
  TCustomForm* primary_form_ = nullptr;
  bool quit_seen_ = false;
  bool running_ = false;
  bool finished_ = false;
};

// The program's application object (none before it is made).
TApplication* Application();

// The text shown for an error: a full stop is appended after a last character that sorts after
// the full stop.
std::string ErrorText(const std::string& message);

}  // namespace wydruki::forms
