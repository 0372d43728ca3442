// SPDX-License-Identifier: MIT
#include "user/gtk/gtk_display.h"

namespace wydruki::platform::gtk {
namespace {

// Theme paddings and minimum sizes are made small enough for layouts drawn for the classic
// dialog font; the client area takes the dialog colour the program's brushes use. The font is
// given in pixels, as the program's window font is (11 pixels high): the controls sit at fixed
// pixel positions, so text that grew with the desktop's text size (Xft.dpi) would be cut.
// GDK_SCALE still scales pixels and positions alike.
constexpr const char* kStyleSheet = R"(
window.wydruki, window.wydruki fixed { background-color: #f0f0f0; }
.wydruki * { font-family: "Liberation Sans", "DejaVu Sans", sans-serif; font-size: 11px; }
.wydruki button { min-height: 0; min-width: 0; padding: 0 4px; }
.wydruki entry { min-height: 0; padding: 0 3px; }
.wydruki combobox button { padding: 0 2px; }
.wydruki combobox entry { padding: 0 3px; }
.wydruki checkbutton { padding: 0; }
.wydruki checkbutton check { min-height: 12px; min-width: 12px; margin: 0 4px 0 0; }
.wydruki frame > border { border-color: #a0a0a0; }
)";

}  // namespace

void InstallStyleSheet() {
  GtkCssProvider* css = gtk_css_provider_new();
  gtk_css_provider_load_from_data(css, kStyleSheet, -1, nullptr);
  gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(css),
                                            GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  g_object_unref(css);
}

}  // namespace wydruki::platform::gtk
