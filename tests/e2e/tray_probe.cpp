// A stand-in for the program behind the notification-area icon, for the desktop tests: it
// shows the agent's six icons through the platform's tray code on a real desktop and reports
// what the desktop does on stdout, one line each:
//   PLACE sni|xembed|nowhere|undecided <docked X window, 0 when none>
//   UNREACHABLE
//   MOUSE <Windows mouse message>      COMMAND <menu command>      MENU_WANTED
// Lines on stdin change it: "frame N" shows icon N (1-6) with the tip "Drukowanie :N%",
// "idle" shows icon 1 with the idle tip, "cancel on|off" enables the first menu entry.
#include <gtk/gtk.h>

#include <cstdio>
#include <string>
#include <vector>

#include "resources/TrayIcons.h"
#include "shell/icon_pixmap.h"
#include "shell/tray_presence.h"
#include "shell/tray_text.h"

using namespace wydruki::platform;

namespace {

TrayPresence* tray = nullptr;
bool cancel_enabled = false;

IconPicture Frame(int frame) {
  const auto file = wydruki::resources::TrayIconFile(frame);
  // The icon file's directory (6 bytes) and its one entry (16 bytes) precede the image.
  return *DecodeIconImage(std::vector<std::uint8_t>(file.begin() + 22, file.end()));
}

void Menu() {
  tray->SetMenu({{1, MenuLabel("&Anuluj wydruk"), cancel_enabled, false},
                 {2, MenuLabel("K&onfiguracja"), true, false},
                 {3, "", true, true},
                 {4, MenuLabel("&Koniec"), true, false}});
}

void Say(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

const char* Name(TrayPresence::Place place) {
  switch (place) {
    case TrayPresence::Place::kStatusNotifier:
      return "sni";
    case TrayPresence::Place::kXembed:
      return "xembed";
    case TrayPresence::Place::kNowhere:
      return "nowhere";
    default:
      return "undecided";
  }
}

gboolean Input(GIOChannel* channel, GIOCondition, gpointer) {
  gchar* line = nullptr;
  if (g_io_channel_read_line(channel, &line, nullptr, nullptr, nullptr) != G_IO_STATUS_NORMAL) {
    gtk_main_quit();
    return G_SOURCE_REMOVE;
  }
  const std::string text = g_strstrip(line);
  g_free(line);
  if (text.rfind("frame ", 0) == 0) {
    const int frame = std::stoi(text.substr(6));
    tray->Show(Frame(frame), "Wydruk dla D'95 Drukowanie :" + std::to_string(frame * 10) + "%");
  } else if (text == "idle") {
    tray->Show(Frame(1), "Wydruk dla D'95");
  } else if (text == "cancel on" || text == "cancel off") {
    cancel_enabled = text == "cancel on";
    Menu();
  } else if (text == "where") {
    Say(std::string("PLACE ") + Name(tray->Where()) + " " + std::to_string(tray->XembedWindow()));
  } else if (text == "quit") {
    gtk_main_quit();
  }
  return G_SOURCE_CONTINUE;
}

}  // namespace

int main(int argc, char** argv) {
  gtk_init(&argc, &argv);
  TrayPresence presence(
      "wydrukid95", "Wydruki z D'95",
      TrayPresence::Callbacks{[](UINT m) { Say("MOUSE " + std::to_string(m)); },
                              [](UINT_PTR c) { Say("COMMAND " + std::to_string(c)); },
                              [] { Say("MENU_WANTED"); }, [] { Say("UNREACHABLE"); },
                              [](TrayPresence::Place p) {
                                Say(std::string("PLACE ") + Name(p) + " " +
                                    std::to_string(tray->XembedWindow()));
                              }});
  tray = &presence;
  Menu();
  presence.Show(Frame(1), "Wydruk dla D'95");
  GIOChannel* in = g_io_channel_unix_new(0);
  g_io_add_watch(in, static_cast<GIOCondition>(G_IO_IN | G_IO_HUP), &Input, nullptr);
  gtk_main();
  g_io_channel_unref(in);
  tray = nullptr;
  return 0;
}
