// SPDX-License-Identifier: MIT
// Processor time of the notification-area icon on the session bus. A host of the bench's
// own (a separate process: its work is not counted) registers the item, and on every NewIcon
// fetches IconPixmap as a panel does. The bench then shows the six icons in turn, as the
// print driver animates them, and reports the processor time per frame (the conversion,
// the signal and serving the host's fetch); then it leaves the icon idle for 10 s and reports
// the time used. Run under a private bus:
//   dbus-run-session -- build/bench/tray_bench [frames]
#include <gio/gio.h>
#include <glib-unix.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "resources/TrayIcons.h"
#include "user/icon_pixmap.h"
#include "shell/tray_presence.h"

using namespace wydruki::platform;

namespace {

double CpuMilliseconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
}

// The host: a watcher that, for every NewIcon, fetches the pixmaps and writes a byte to `out`.
struct Host {
  GDBusConnection* bus = nullptr;
  std::string item;
  int out = -1;
};

void Fetched(GObject* source, GAsyncResult* result, gpointer data) {
  GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, nullptr);
  if (reply != nullptr) g_variant_unref(reply);
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = write(static_cast<Host*>(data)->out, &byte, 1);
}

void NewIcon(GDBusConnection* bus, const char*, const char*, const char*, const char*, GVariant*,
             gpointer data) {
  auto* host = static_cast<Host*>(data);
  g_dbus_connection_call(bus, host->item.c_str(), "/StatusNotifierItem",
                         "org.freedesktop.DBus.Properties", "Get",
                         g_variant_new("(ss)", "org.kde.StatusNotifierItem", "IconPixmap"),
                         nullptr, G_DBUS_CALL_FLAGS_NONE, -1, nullptr, &Fetched, host);
}

void Register(GDBusConnection* bus, const char* sender, const char*, const char*, const char*,
              GVariant* parameters, GDBusMethodInvocation* invocation, gpointer data) {
  auto* host = static_cast<Host*>(data);
  const char* service = nullptr;
  g_variant_get(parameters, "(&s)", &service);
  host->item = service;
  g_dbus_connection_signal_subscribe(bus, sender, "org.kde.StatusNotifierItem", "NewIcon",
                                     "/StatusNotifierItem", nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
                                     &NewIcon, host, nullptr);
  g_dbus_method_invocation_return_value(invocation, nullptr);
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = write(host->out, &byte, 1);
}

[[noreturn]] void RunHost(int out) {
  Host host;
  host.out = out;
  host.bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
  GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(
      "<node><interface name='org.kde.StatusNotifierWatcher'>"
      "<method name='RegisterStatusNotifierItem'><arg name='s' type='s' direction='in'/>"
      "</method></interface></node>",
      nullptr);
  static const GDBusInterfaceVTable vtable = {&Register, nullptr, nullptr, {}};
  g_dbus_connection_register_object(host.bus, "/StatusNotifierWatcher", node->interfaces[0],
                                    &vtable, &host, nullptr, nullptr);
  g_bus_own_name_on_connection(host.bus, "org.kde.StatusNotifierWatcher",
                               G_BUS_NAME_OWNER_FLAGS_NONE, nullptr, nullptr, nullptr, nullptr);
  g_main_loop_run(g_main_loop_new(nullptr, FALSE));
  std::_Exit(0);
}

// Waits, turning the main context, until the host has written a byte.
void AwaitHost(int in) {
  bool seen = false;
  const guint source = g_unix_fd_add(
      in, G_IO_IN,
      [](gint fd, GIOCondition, gpointer data) -> gboolean {
        char byte;
        [[maybe_unused]] const ssize_t n = read(fd, &byte, 1);
        *static_cast<bool*>(data) = true;
        return G_SOURCE_CONTINUE;
      },
      &seen);
  while (!seen) g_main_context_iteration(nullptr, TRUE);
  g_source_remove(source);
}

}  // namespace

int main(int argc, char** argv) {
  const int frames = argc > 1 ? std::atoi(argv[1]) : 600;
  int pipe_fds[2];
  if (pipe(pipe_fds) != 0) return 1;
  const pid_t host = fork();
  if (host == 0) RunHost(pipe_fds[1]);

  std::vector<IconPicture> icons;
  for (int frame = 1; frame <= 6; ++frame) {
    const auto file = wydruki::resources::TrayIconFile(frame);
    icons.push_back(*DecodeIconImage(std::vector<std::uint8_t>(file.begin() + 22, file.end())));
  }
  TrayPresence tray("wydrukid95", "Wydruki z D'95", TrayPresence::Callbacks{});
  tray.Show(icons[0], "Wydruk dla D'95");
  AwaitHost(pipe_fds[0]);  // registered

  const double start = CpuMilliseconds();
  for (int i = 0; i < frames; ++i) {
    tray.Show(icons[1 + i % 5], "Wydruk dla D'95 Drukowanie :" + std::to_string(i % 100) + "%");
    AwaitHost(pipe_fds[0]);  // the host has the new picture
  }
  const double per_frame = (CpuMilliseconds() - start) / frames;
  std::printf("animation: %d frames, %.3f ms processor time per frame (goal <= 1 ms)\n", frames,
              per_frame);

  tray.Show(icons[0], "Wydruk dla D'95");
  AwaitHost(pipe_fds[0]);
  const double idle_start = CpuMilliseconds();
  GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
  g_timeout_add_seconds(
      10,
      [](gpointer data) -> gboolean {
        g_main_loop_quit(static_cast<GMainLoop*>(data));
        return G_SOURCE_REMOVE;
      },
      loop);
  g_main_loop_run(loop);
  std::printf("idle with the icon shown: %.1f ms processor time in 10 s (goal <= 20 ms)\n",
              CpuMilliseconds() - idle_start);
  kill(host, SIGTERM);
  waitpid(host, nullptr, 0);
  return 0;
}
