// SPDX-License-Identifier: MIT
#include "user/gtk/gtk_display.h"

#include <glib-unix.h>

namespace wydruki::platform::gtk {

void GtkDisplay::Wait(int deadline_ms, int signal_fd) {
  if (!OnGtkThread()) return;
  if (signal_fd >= 0 && signal_source_ == nullptr) {
    signal_source_ = g_unix_fd_source_new(signal_fd, G_IO_IN);
    g_source_set_callback(signal_source_, reinterpret_cast<GSourceFunc>(&SignalReady), nullptr,
                          nullptr);
    g_source_attach(signal_source_, nullptr);
  }
  guint deadline = 0;
  if (deadline_ms >= 0)
    deadline = g_timeout_add(static_cast<guint>(deadline_ms), &DeadlinePassed, &deadline);
  g_main_context_iteration(nullptr, TRUE);
  if (deadline != 0) g_source_remove(deadline);
}

void GtkDisplay::Wake() { g_main_context_wakeup(nullptr); }

void GtkDisplay::Pump() {
  if (OnGtkThread()) g_main_context_iteration(nullptr, FALSE);
}

gboolean GtkDisplay::SignalReady(gpointer) { return G_SOURCE_CONTINUE; }

gboolean GtkDisplay::DeadlinePassed(gpointer id) {
  *static_cast<guint*>(id) = 0;
  return G_SOURCE_REMOVE;
}

}  // namespace wydruki::platform::gtk
