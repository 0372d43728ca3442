// SPDX-License-Identifier: MIT
#include "user/gtk/gtk_display.h"

#include "user/gtk/gtk_text.h"

namespace wydruki::platform::gtk {
namespace {

struct BoxButton {
  const char* label;  // GTK's own wording, translated by GTK for the person's language
  int answer;
};

std::vector<BoxButton> ButtonsOf(UINT type) {
  switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL:
      return {{"_OK", IDOK}, {"_Cancel", IDCANCEL}};
    case MB_ABORTRETRYIGNORE:
      return {{"_Abort", IDABORT}, {"_Retry", IDRETRY}, {"_Ignore", IDIGNORE}};
    case MB_YESNOCANCEL:
      return {{"_Yes", IDYES}, {"_No", IDNO}, {"_Cancel", IDCANCEL}};
    case MB_YESNO:
      return {{"_Yes", IDYES}, {"_No", IDNO}};
    case MB_RETRYCANCEL:
      return {{"_Retry", IDRETRY}, {"_Cancel", IDCANCEL}};
    default:
      return {{"_OK", IDOK}};
  }
}

GtkMessageType MessageTypeOf(UINT type) {
  switch (type & MB_ICONMASK) {
    case MB_ICONHAND:
      return GTK_MESSAGE_ERROR;
    case MB_ICONQUESTION:
      return GTK_MESSAGE_QUESTION;
    case MB_ICONEXCLAMATION:
      return GTK_MESSAGE_WARNING;
    case MB_ICONASTERISK:
      return GTK_MESSAGE_INFO;
    default:
      return GTK_MESSAGE_OTHER;
  }
}

struct BoxData {
  std::shared_ptr<Answering> state;
  int on_close = 0;  // the answer when the box is closed from its title bar or with Esc; 0: none
};

void OnBoxResponse(GtkDialog*, gint response, gpointer data) {
  auto* box = static_cast<BoxData*>(data);
  if (response > 0)
    box->state->Give(response);
  else if (box->on_close != 0)
    box->state->Give(box->on_close);
}

void FreeBoxData(gpointer data, GClosure*) { delete static_cast<BoxData*>(data); }

}  // namespace

std::unique_ptr<PendingAnswer> GtkDisplay::ShowMessageBox(HWND owner, const std::string& text,
                                                          const std::string& caption, UINT type,
                                                          int default_answer) {
  if (!OnGtkThread()) return nullptr;
  // A box over a shown window of ours belongs to it, so it never sits behind it.
  GtkWindow* parent = ShownTopLevel(owner);
  GtkWidget* dialog =
      gtk_message_dialog_new(parent, GTK_DIALOG_DESTROY_WITH_PARENT, MessageTypeOf(type),
                             GTK_BUTTONS_NONE, "%s", ToUtf8(text).c_str());
  gtk_window_set_title(GTK_WINDOW(dialog), ToUtf8(caption).c_str());
  gtk_window_set_position(GTK_WINDOW(dialog),
                          parent != nullptr ? GTK_WIN_POS_CENTER_ON_PARENT : GTK_WIN_POS_CENTER);
  gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);
  auto* data = new BoxData{std::make_shared<Answering>(), 0};
  for (const BoxButton& button : ButtonsOf(type)) {
    gtk_dialog_add_button(GTK_DIALOG(dialog), g_dgettext("gtk30", button.label), button.answer);
    // Windows closes a box from its title bar only when it has a way out: Cancel, or its one OK.
    if (button.answer == IDCANCEL || (type & MB_TYPEMASK) == MB_OK) data->on_close = button.answer;
  }
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), default_answer);
  if (GtkWidget* preferred = gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), default_answer))
    gtk_widget_grab_focus(preferred);
  g_signal_connect_data(dialog, "response", G_CALLBACK(&OnBoxResponse), data, &FreeBoxData,
                        GConnectFlags{});
  auto pending = std::make_unique<GtkPending>(dialog, data->state);
  gtk_widget_show(dialog);
  return pending;
}

}  // namespace wydruki::platform::gtk
