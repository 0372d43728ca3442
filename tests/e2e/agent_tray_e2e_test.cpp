// SPDX-License-Identifier: MIT
// The built agent's notification-area icon with the gtk display on a real StatusNotifierItem
// host: xfce4-panel's notification area, under the Xvfb, openbox and private session bus that
// agent_tray_e2e.sh starts. The test asks the item over D-Bus what the panel sees, and uses
// the agent's screen record and print trace to see what the agent did.
#include <gio/gio.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "e2e/agent_harness.h"
#include "resources/TrayIcons.h"
#include "unit/shell/shell_bus_support.h"

namespace wydruki::platform {
namespace {

using test::AgentHarness;

// A program the test starts and ends.
class Child {
 public:
  explicit Child(std::vector<std::string> argv) {
    pid_ = fork();
    if (pid_ == 0) {
      std::vector<char*> args;
      for (auto& a : argv) args.push_back(a.data());
      args.push_back(nullptr);
      execvp(args[0], args.data());
      _exit(127);
    }
  }
  ~Child() {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }

 private:
  pid_t pid_;
};

// Runs a shell command and gives its output.
std::string Output(const std::string& command) {
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[512];
    while (fgets(buffer, sizeof buffer, pipe) != nullptr) out += buffer;
    pclose(pipe);
  }
  return out;
}

// The panel, with the configuration agent_tray_e2e.sh wrote.
class Panel {
 public:
  explicit Panel(bool start = true) {
    if (start) Start();
  }
  ~Panel() { Stop(); }
  void Start() {
    pid_ = fork();
    if (pid_ == 0) {
      execlp("xfce4-panel", "xfce4-panel", nullptr);
      _exit(127);
    }
    EXPECT_TRUE(AgentHarness::WaitUntil([] { return WatcherRunning(); }))
        << "xfce4-panel's notification area did not come up";
  }
  void Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
  static bool WatcherRunning() {
    GDBusConnection* bus = NewConnection();
    GVariant* reply = g_dbus_connection_call_sync(
        bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
        "NameHasOwner", g_variant_new("(s)", "org.kde.StatusNotifierWatcher"),
        G_VARIANT_TYPE("(b)"), G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
    gboolean owned = FALSE;
    if (reply != nullptr) {
      g_variant_get(reply, "(b)", &owned);
      g_variant_unref(reply);
    }
    g_object_unref(bus);
    return owned;
  }

 private:
  pid_t pid_ = -1;
};

// The items the panel's watcher lists.
std::string RegisteredItems() {
  GDBusConnection* bus = NewConnection();
  GVariant* reply = g_dbus_connection_call_sync(
      bus, "org.kde.StatusNotifierWatcher", "/StatusNotifierWatcher",
      "org.freedesktop.DBus.Properties", "Get",
      g_variant_new("(ss)", "org.kde.StatusNotifierWatcher", "RegisteredStatusNotifierItems"),
      G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
  std::string out;
  if (reply != nullptr) {
    gchar* text = g_variant_print(reply, FALSE);
    out = text;
    g_free(text);
    g_variant_unref(reply);
  }
  g_object_unref(bus);
  return out;
}

// The 16×16 frame an item shows, as A R G B bytes.
std::vector<std::uint8_t> Frame16(const std::string& service) {
  GDBusConnection* bus = NewConnection();
  GVariant* reply = g_dbus_connection_call_sync(
      bus, service.c_str(), "/StatusNotifierItem", "org.freedesktop.DBus.Properties", "Get",
      g_variant_new("(ss)", "org.kde.StatusNotifierItem", "IconPixmap"), G_VARIANT_TYPE("(v)"),
      G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
  std::vector<std::uint8_t> out;
  if (reply != nullptr) {
    GVariant* pixmaps = nullptr;
    g_variant_get(reply, "(v)", &pixmaps);
    for (gsize i = 0; i < g_variant_n_children(pixmaps); ++i) {
      gint32 w = 0;
      GVariant* data = nullptr;
      g_variant_get_child(pixmaps, i, "(ii@ay)", &w, nullptr, &data);
      gsize n = 0;
      const auto* bytes = static_cast<const std::uint8_t*>(g_variant_get_fixed_array(data, &n, 1));
      if (w == 16) out.assign(bytes, bytes + n);
      g_variant_unref(data);
    }
    g_variant_unref(pixmaps);
    g_variant_unref(reply);
  }
  g_object_unref(bus);
  return out;
}

// The picture of one of the six icon files, read here straight from the file's bytes: one
// 16×16 image at 24 bits per pixel, rows bottom-up, then the mask (1 = transparent).
std::vector<std::uint8_t> ExpectedFrame(int frame) {
  const auto file = resources::TrayIconFile(frame);
  const std::size_t pixels = 22 + 40;
  const std::size_t mask = pixels + 16 * 16 * 3;
  std::vector<std::uint8_t> out;
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      const std::size_t row = 15 - y;
      const bool clear = (file[mask + row * 4 + x / 8] >> (7 - x % 8)) & 1;
      const std::size_t p = pixels + (row * 16 + x) * 3;
      if (clear)
        out.insert(out.end(), {0, 0, 0, 0});
      else
        out.insert(out.end(), {0xFF, file[p + 2], file[p + 1], file[p]});
    }
  return out;
}

class AgentTrayTest : public ::testing::Test {
 protected:
  explicit AgentTrayTest(bool panel = true) : panel_(panel) {}
  void StartAgentOnly() {
    // The harness names the null display; this test wants the desktop one.
    std::string ini = agent_.Dir().Read("win.ini");
    ini.replace(ini.find("driver=null"), 11, "driver=gtk");
    agent_.Dir().Write("win.ini", ini);
    // The agent's stderr goes to a file of the test's.
    const int saved = dup(2);
    FILE* err = fopen(agent_.Path("stderr.txt").c_str(), "w");
    dup2(fileno(err), 2);
    pid_ = agent_.Start();
    dup2(saved, 2);
    close(saved);
    fclose(err);
  }
  void StartAgent() {
    StartAgentOnly();
    service_ = "org.kde.StatusNotifierItem-" + std::to_string(pid_) + "-1";
    ASSERT_TRUE(AgentHarness::WaitUntil([&] {
      return RegisteredItems().find(service_) != std::string::npos;
    })) << "the agent's item never registered; listed: "
        << RegisteredItems();
    client_ = std::make_unique<Client>(service_);
    ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent_.FirstTickDone(); }));
  }
  int Shows() { return agent_.Count(agent_.Screen(), "SHOW Wydruki dla D95"); }
  // The progress in the tip, or -1 when the tip shows none.
  int Progress() {
    const std::string tip = client_->TipTitle();
    const std::string prefix = "Wydruk dla D'95 Drukowanie :";
    if (tip.rfind(prefix, 0) != 0) return -1;
    return std::atoi(tip.c_str() + prefix.size());
  }
  void LongJob() {
    std::string text;
    // Pages of 50 lines: the percentage moves as the pages print, not all while reading.
    for (int i = 1; i <= 40000; ++i)
      text += "Linia " + std::to_string(i) + " wydruku" + (i % 50 == 0 ? "\f\r\n" : "\r\n");
    agent_.Job("DLUGI.TXT", text);
  }

  Panel panel_;
  AgentHarness agent_;
  pid_t pid_ = -1;
  std::string service_;
  std::unique_ptr<Client> client_;
};

TEST_F(AgentTrayTest, IdleTipAndADoubleClickOpensTheConfigurationWindow) {
  StartAgent();
  EXPECT_EQ(client_->TipTitle(), "Wydruk dla D'95");
  EXPECT_EQ(client_->MenuLabels(), "1:_Anuluj wydruk (off)|2:K_onfiguracja|3:separator|4:_Koniec");
  const int before = Shows();
  ASSERT_TRUE(client_->Activate());
  ASSERT_TRUE(client_->Activate());
  EXPECT_TRUE(AgentHarness::WaitUntil([&] { return Shows() > before; }))
      << "a double click on the icon did not show the configuration window";
  if (const char* shots = std::getenv("WYDRUKI_ARTIFACTS")) {
    const std::string command =
        std::string("import -window root ") + shots + "/agent_xfce_panel.png";
    EXPECT_EQ(std::system(command.c_str()), 0);
  }
  // A host that asks the item for its menu (ContextMenu) gets the popup where it said.
  ASSERT_TRUE(client_->ContextMenu(300, 200));
  EXPECT_TRUE(AgentHarness::WaitUntil([] {
    return Output("xwininfo -root -tree | grep wydrukid95 | grep -c '+300+200 '") != "0\n";
  })) << "no popup at the host's 300,200:\n"
      << Output("xwininfo -root -tree | grep wydrukid95");
  // Escape closes it (pressed again while it stays: the menu may not hold the keyboard yet).
  EXPECT_TRUE(AgentHarness::WaitUntil([] {
    return std::system("xdotool key Escape") == 0 &&
           Output("xwininfo -root -tree | grep wydrukid95 | grep -c '+300+200 '") == "0\n";
  })) << "Escape did not close the popup";
  // The panel (the notification area alone on the top edge) shows the icon first from the
  // left; a right click opens the host's own drawing of the exported menu, whose "Koniec"
  // (mnemonic K) ends the agent.
  EXPECT_EQ(std::system("xdotool mousemove 14 16 click 3"), 0);
  EXPECT_TRUE(AgentHarness::WaitUntil([] {
    // The desktop under the panel is black; the open menu is a light box below the icon.
    const std::string mean =
        Output("import -window root -crop 120x60+4+40 -format '%[fx:mean]' info:");
    return !mean.empty() && std::atof(mean.c_str()) > 0.5;
  })) << "the panel did not open the menu";
  if (const char* shots = std::getenv("WYDRUKI_ARTIFACTS")) {
    const std::string command =
        std::string("import -window root ") + shots + "/agent_xfce_menu.png";
    EXPECT_EQ(std::system(command.c_str()), 0);
  }
  EXPECT_EQ(std::system("xdotool key k"), 0);
  EXPECT_EQ(agent_.WaitForExit(pid_, std::chrono::seconds(20)), std::optional<int>(0));
}

TEST_F(AgentTrayTest, ALongJobAnimatesShowsProgressAndCancelsFromTheMenu) {
  StartAgent();
  LongJob();
  int first = -1;
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return (first = Progress()) >= 0; }))
      << "the tip never showed progress";
  int later = first;
  EXPECT_TRUE(AgentHarness::WaitUntil([&] { return (later = Progress()) > first; }))
      << "progress stayed at " << first;
  // While the job prints the icon runs through the five frames, each exactly one of the
  // program's icons.
  std::set<int> frames_seen;
  AgentHarness::WaitUntil([&] {
    const auto shown = Frame16(service_);
    for (int frame = 2; frame <= 6; ++frame)
      if (shown == ExpectedFrame(frame)) frames_seen.insert(frame);
    return frames_seen.size() >= 3;
  });
  EXPECT_GE(frames_seen.size(), 3u) << "animation frames seen: " << frames_seen.size();
  // While a job prints, the settings cannot be changed: only cancel and end are offered.
  EXPECT_EQ(client_->MenuLabels(), "1:_Anuluj wydruk|2:K_onfiguracja (off)|3:separator|4:_Koniec");
  ASSERT_TRUE(client_->Click(1));
  EXPECT_TRUE(AgentHarness::WaitUntil([&] {
    return agent_.Count(agent_.Trace(), "ABORTDOC") == 1;
  })) << "cancelling from the menu did not abort the document";
  EXPECT_TRUE(AgentHarness::WaitUntil([&] { return client_->TipTitle() == "Wydruk dla D'95"; }));
  EXPECT_EQ(Frame16(service_), ExpectedFrame(1));
  EXPECT_TRUE(AgentHarness::WaitUntil([&] {
    return client_->MenuLabels() == "1:_Anuluj wydruk (off)|2:K_onfiguracja|3:separator|4:_Koniec";
  }));
  agent_.Stop();
  EXPECT_EQ(agent_.WaitForExit(pid_, std::chrono::seconds(20)), std::optional<int>(0));
}

// While the panel is gone nothing shows the icon: the configuration window stands in for it
// until the restarted panel shows the item again.
TEST_F(AgentTrayTest, APanelRestartShowsTheWindowMeanwhileAndRegistersTheItemAgain) {
  StartAgent();
  const int shows = Shows();
  const int hides = agent_.Count(agent_.Screen(), "HIDE Wydruki dla D95");
  panel_.Stop();
  ASSERT_TRUE(AgentHarness::WaitUntil([] { return !Panel::WatcherRunning(); }));
  EXPECT_TRUE(AgentHarness::WaitUntil([&] { return Shows() > shows; }))
      << "with the panel gone the configuration window stayed hidden";
  panel_.Start();
  EXPECT_TRUE(AgentHarness::WaitUntil([&] {
    return RegisteredItems().find(service_) != std::string::npos;
  })) << "listed after the restart: "
      << RegisteredItems();
  EXPECT_TRUE(AgentHarness::WaitUntil([&] {
    return agent_.Count(agent_.Screen(), "HIDE Wydruki dla D95") > hides;
  })) << "the window stayed on screen after the panel came back";
  agent_.Stop();
  EXPECT_EQ(agent_.WaitForExit(pid_, std::chrono::seconds(20)), std::optional<int>(0));
}

class AgentXembedTrayTest : public AgentTrayTest {
 protected:
  AgentXembedTrayTest() : AgentTrayTest(false) {}
};

TEST_F(AgentXembedTrayTest, WithNoNotificationAreaTheWindowComesBackAndStderrSaysWhyOnce) {
  StartAgentOnly();
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent_.FirstTickDone(); }));
  // The start-up hides the window; with no icon to bring it back it is shown again.
  EXPECT_TRUE(AgentHarness::WaitUntil([&] { return Shows() >= 2; }))
      << "the configuration window stayed hidden with no notification area";
  const std::string err = agent_.Dir().Read("stderr.txt");
  const std::string line = "has no notification area";
  ASSERT_NE(err.find(line), std::string::npos) << err;
  EXPECT_EQ(err.find(line, err.find(line) + 1), std::string::npos) << "said more than once";
  agent_.Stop();
  EXPECT_EQ(agent_.WaitForExit(pid_, std::chrono::seconds(20)), std::optional<int>(0));
}

TEST_F(AgentXembedTrayTest, ATrayStartedLaterGetsTheIconItsPopupAndDoubleClick) {
  StartAgentOnly();
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return agent_.FirstTickDone(); }));
  // With no tray at start the window comes back in the icon's place.
  ASSERT_TRUE(AgentHarness::WaitUntil([&] { return Shows() >= 2; }));
  const int hides = agent_.Count(agent_.Screen(), "HIDE Wydruki dla D95");
  Child tint2({"tint2"});
  // tint2's window gets a child when the icon docks.
  std::string tree;
  ASSERT_TRUE(AgentHarness::WaitUntil([&] {
    const std::string panel = Output("xdotool search --class tint2 | head -1");
    if (panel.empty()) return false;
    tree = Output("xwininfo -children -id " + panel);
    return tree.find("child:") != std::string::npos;
  })) << "no icon docked in tint2: "
      << tree;
  // The docked icon's window carries the icon's title.
  std::string icon;
  ASSERT_TRUE(AgentHarness::WaitUntil([&] {
    icon = Output("xdotool search --name \"^Wydruki z D'95$\" | head -1");
    return !icon.empty();
  }));
  icon.pop_back();
  char hex[32];
  std::snprintf(hex, sizeof hex, "0x%lx", std::stoul(icon));
  const std::string panel = Output("xdotool search --class tint2 | head -1");
  EXPECT_NE(Output("xwininfo -tree -id " + panel).find(hex), std::string::npos)
      << "the icon's window " << hex << " is not inside tint2's window";
  const std::string at = "xdotool mousemove --window " + icon + " 8 8 ";
  const int menus = agent_.Count(agent_.Screen(), "MENU ");
  EXPECT_EQ(std::system((at + "click 3").c_str()), 0);
  EXPECT_TRUE(AgentHarness::WaitUntil([&] {
    return agent_.Count(agent_.Screen(), "MENU &Anuluj wydruk|K&onfiguracja|-|&Koniec") > menus;
  })) << "a right click on the docked icon did not open the popup";
  if (const char* shots = std::getenv("WYDRUKI_ARTIFACTS")) {
    const std::string command =
        std::string("import -window root ") + shots + "/agent_tint2_menu.png";
    EXPECT_EQ(std::system(command.c_str()), 0);
  }
  EXPECT_EQ(std::system("xdotool key Escape"), 0);
  // Now that the tray shows the icon, the window no one touched has gone away by itself, so
  // that the double click has something to show.
  ASSERT_TRUE(AgentHarness::WaitUntil([&] {
    return agent_.Count(agent_.Screen(), "HIDE Wydruki dla D95") > hides;
  })) << "the window stayed on screen once the tray showed the icon";
  const int before = Shows();
  EXPECT_EQ(std::system((at + "click --repeat 2 --delay 80 1").c_str()), 0);
  EXPECT_TRUE(AgentHarness::WaitUntil([&] { return Shows() > before; }))
      << "a double click on the docked icon did not show the configuration window";
  agent_.Stop();
  EXPECT_EQ(agent_.WaitForExit(pid_, std::chrono::seconds(20)), std::optional<int>(0));
}

}  // namespace
}  // namespace wydruki::platform
