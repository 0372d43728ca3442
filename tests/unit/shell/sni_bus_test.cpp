// SPDX-License-Identifier: MIT
// The StatusNotifierItem and its menu on a session bus, against a watcher of the test's own.
// Run under a private bus (dbus-run-session). The item lives on a thread with a main
// context of its own, as it does on the display driver's thread; the test asks it questions
// over the bus with blocking calls from the test thread, and waits for what it reports.
#include <gio/gio.h>
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/api/user.h"
#include "user/icon_pixmap.h"
#include "shell/sni_item.h"
#include "shell/tray_presence.h"
#include "shell_bus_support.h"

namespace wydruki::platform {
namespace {

// The idle icon of the six, as the resources hold it: a printer picture.
IconPicture Picture(std::uint32_t argb) {
  IconPicture p;
  p.width = p.height = 16;
  p.argb.assign(256, argb);
  p.argb[0] = 0;  // top-left transparent
  return p;
}

class SniBusTest : public ::testing::Test {
 protected:
  void SetUp() override {
    client_ = NewConnection();
    signals_ = g_dbus_connection_signal_subscribe(
        client_, nullptr, nullptr, nullptr, nullptr, nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
        [](GDBusConnection*, const char*, const char*, const char*, const char* name,
           GVariant* parameters, gpointer data) {
          std::string line = name;
          if (g_strcmp0(name, "LayoutUpdated") == 0) {
            guint32 revision = 0;
            g_variant_get(parameters, "(ui)", &revision, nullptr);
            line += " " + std::to_string(revision);
          }
          static_cast<Log<std::string>*>(data)->Add(line);
        },
        &signal_log_, nullptr);
    // Signals reach this connection on the context that subscribed; that is this thread's
    // default one, which a small thread keeps turning.
    pump_ = std::thread([this] {
      while (!stop_) g_main_context_iteration(nullptr, TRUE);
    });
  }
  void TearDown() override {
    item_loop_.Run([this] { item_.reset(); });
    stop_ = true;
    g_main_context_wakeup(nullptr);
    pump_.join();
    g_dbus_connection_signal_unsubscribe(client_, signals_);
    g_object_unref(client_);
  }

  void MakeItem() {
    item_loop_.Run([this] {
      GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
      item_ = std::make_unique<StatusNotifierItem>(
          bus, "wydrukid95", "Wydruki z D'95",
          StatusNotifierItem::Callbacks{
              [this](UINT m) { mouse_.Add(m); }, [this](UINT_PTR c) { commands_.Add(c); },
              [this] { wanted_.Add(true); }, [this](bool h) { hosted_.Add(h); }});
      g_object_unref(bus);
      item_->SetIcon(Picture(0xFF123456));
      item_->SetTip("Wydruk dla D'95 <&>");
      service_ = item_->BusName();
    });
  }

  GVariant* Call(const char* path, const char* interface, const char* method, GVariant* args,
                 const char* reply_type = nullptr) {
    GError* error = nullptr;
    GVariant* reply =
        g_dbus_connection_call_sync(client_, service_.c_str(), path, interface, method, args,
                                    reply_type ? G_VARIANT_TYPE(reply_type) : nullptr,
                                    G_DBUS_CALL_FLAGS_NONE, 20000, nullptr, &error);
    if (reply == nullptr) {
      ADD_FAILURE() << method << ": " << error->message;
      g_error_free(error);
    }
    return reply;
  }
  GVariant* Property(const char* name) {
    GVariant* reply = Call("/StatusNotifierItem", "org.freedesktop.DBus.Properties", "Get",
                           g_variant_new("(ss)", "org.kde.StatusNotifierItem", name), "(v)");
    GVariant* value = nullptr;
    g_variant_get(reply, "(v)", &value);
    g_variant_unref(reply);
    return value;
  }
  void ItemCall(const char* method) {
    g_variant_unref(Call("/StatusNotifierItem", "org.kde.StatusNotifierItem", method,
                         g_variant_new("(ii)", 10, 10)));
  }
  GVariant* MenuCall(const char* method, GVariant* args, const char* reply_type) {
    return Call("/MenuBar", "com.canonical.dbusmenu", method, args, reply_type);
  }
  std::string TipNow() {
    GVariant* tip = Property("ToolTip");
    const char* title = nullptr;
    g_variant_get(tip, "(&s@a(iiay)&s&s)", nullptr, nullptr, &title, nullptr);
    std::string out = title;
    g_variant_unref(tip);
    return out;
  }
  bool SignalSeen(const std::string& line, std::size_t from = 0) {
    const auto deadline = std::chrono::steady_clock::now() + kDeadline;
    while (std::chrono::steady_clock::now() < deadline) {
      const auto items = signal_log_.Items();
      for (std::size_t i = from; i < items.size(); ++i)
        if (items[i] == line) return true;
      signal_log_.WaitFor(items.size() + 1);
    }
    return false;
  }

  LoopThread item_loop_;
  std::unique_ptr<StatusNotifierItem> item_;
  std::string service_;
  GDBusConnection* client_ = nullptr;
  guint signals_ = 0;
  std::thread pump_;
  std::atomic<bool> stop_{false};
  Log<std::string> signal_log_;
  Log<UINT> mouse_;
  Log<UINT_PTR> commands_;
  Log<bool> wanted_;
  Log<bool> hosted_;
  Log<Registration> registrations_;
};

TEST_F(SniBusTest, RegistersOnlyOnceItsNameAndObjectsAreInPlace) {
  Watcher watcher(registrations_);
  MakeItem();
  ASSERT_TRUE(registrations_.WaitFor(1));
  const Registration seen = registrations_.Items()[0];
  EXPECT_EQ(seen.service, service_);
  EXPECT_EQ(seen.service.rfind("org.kde.StatusNotifierItem-" + std::to_string(getpid()) + "-", 0),
            0u);
  EXPECT_TRUE(seen.name_owned);
  EXPECT_EQ(seen.category, "ApplicationStatus");
  EXPECT_FALSE(seen.item_is_menu);
  ASSERT_TRUE(hosted_.WaitFor(1));
  EXPECT_TRUE(hosted_.Items().back());
}

TEST_F(SniBusTest, PropertiesCarryTheIconTipAndMenu) {
  Watcher watcher(registrations_);
  MakeItem();
  ASSERT_TRUE(registrations_.WaitFor(1));

  GVariant* pixmaps = Property("IconPixmap");
  ASSERT_EQ(g_variant_n_children(pixmaps), 3u);
  const int sizes[] = {16, 22, 32};
  for (gsize i = 0; i < 3; ++i) {
    gint32 w = 0, h = 0;
    GVariant* data = nullptr;
    g_variant_get_child(pixmaps, i, "(ii@ay)", &w, &h, &data);
    EXPECT_EQ(w, sizes[i]);
    EXPECT_EQ(h, sizes[i]);
    gsize n = 0;
    const auto* bytes = static_cast<const std::uint8_t*>(g_variant_get_fixed_array(data, &n, 1));
    ASSERT_EQ(n, static_cast<gsize>(w * h * 4));
    // Top-left transparent; the bottom-right pixel opaque 0x12 0x34 0x56 in A R G B order.
    EXPECT_EQ(bytes[0], 0);
    EXPECT_EQ((std::vector<std::uint8_t>(bytes + n - 4, bytes + n)),
              (std::vector<std::uint8_t>{0xFF, 0x12, 0x34, 0x56}));
    g_variant_unref(data);
  }
  g_variant_unref(pixmaps);

  GVariant* tip = Property("ToolTip");
  const char* title = nullptr;
  g_variant_get(tip, "(&s@a(iiay)&s&s)", nullptr, nullptr, &title, nullptr);
  EXPECT_STREQ(title, "Wydruk dla D'95 &lt;&amp;&gt;");
  g_variant_unref(tip);

  GVariant* menu = Property("Menu");
  EXPECT_STREQ(g_variant_get_string(menu, nullptr), "/MenuBar");
  g_variant_unref(menu);
  GVariant* status = Property("Status");
  EXPECT_STREQ(g_variant_get_string(status, nullptr), "Active");
  g_variant_unref(status);

  // Each change is announced.
  const std::size_t before = signal_log_.Size();
  item_loop_.Run([this] {
    item_->SetTip("Wydruk dla D'95 Drukowanie :5%");
    item_->SetIcon(Picture(0xFF00FF00));
  });
  EXPECT_TRUE(SignalSeen("NewToolTip", before));
  EXPECT_TRUE(SignalSeen("NewIcon", before));
  pixmaps = Property("IconPixmap");
  GVariant* data = nullptr;
  g_variant_get_child(pixmaps, 0, "(ii@ay)", nullptr, nullptr, &data);
  gsize n = 0;
  const auto* bytes = static_cast<const std::uint8_t*>(g_variant_get_fixed_array(data, &n, 1));
  EXPECT_EQ((std::vector<std::uint8_t>(bytes + 4, bytes + 8)),
            (std::vector<std::uint8_t>{0xFF, 0x00, 0xFF, 0x00}));
  g_variant_unref(data);
  g_variant_unref(pixmaps);
}

TEST_F(SniBusTest, HostCallsBecomeTheMouseMessagesOfWindows) {
  Watcher watcher(registrations_);
  MakeItem();
  ASSERT_TRUE(registrations_.WaitFor(1));
  ItemCall("Activate");
  ItemCall("Activate");
  ItemCall("ContextMenu");
  ItemCall("SecondaryActivate");
  ItemCall("Activate");
  ASSERT_TRUE(mouse_.WaitFor(10));
  EXPECT_EQ(mouse_.Items(),
            (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP,
                               WM_RBUTTONDOWN, WM_RBUTTONUP, WM_MBUTTONDOWN, WM_MBUTTONUP,
                               WM_LBUTTONDOWN, WM_LBUTTONUP}));
}

// Two clicks a second apart that wait behind a page being printed are two clicks, not a
// double click: they are timed as they reach the bus.
TEST_F(SniBusTest, ActivateCallsQueuedBehindBusyWorkAreTimedAsTheyArrived) {
  Watcher watcher(registrations_);
  MakeItem();
  ASSERT_TRUE(registrations_.WaitFor(1));
  constexpr unsigned kDoubleClickMs = 50;
  item_loop_.Run([this] { item_->SetDoubleClickTime(kDoubleClickMs); });
  std::promise<void> busy;
  std::promise<void> done;
  auto page = std::async(std::launch::async, [&] {
    item_loop_.Run([&] {
      busy.set_value();
      done.get_future().wait();
    });
  });
  busy.get_future().wait();
  const auto activate = [this] {
    g_dbus_connection_call(client_, service_.c_str(), "/StatusNotifierItem",
                           "org.kde.StatusNotifierItem", "Activate", g_variant_new("(ii)", 1, 1),
                           nullptr, G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr, nullptr);
  };
  activate();
  // The clicks' spacing is the input here: three double-click times apart.
  std::this_thread::sleep_for(std::chrono::milliseconds(3 * kDoubleClickMs));
  activate();
  g_dbus_connection_flush_sync(client_, nullptr, nullptr);
  done.set_value();
  page.get();
  ASSERT_TRUE(mouse_.WaitFor(4));
  EXPECT_EQ(mouse_.Items(),
            (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDOWN, WM_LBUTTONUP}));
}

// A job rewrites the tip with every page: hosts hear of it at most twice a second, and
// always of the last text.
TEST_F(SniBusTest, ABurstOfTipsIsAnnouncedAtAHumanRateEndingWithTheLast) {
  Watcher watcher(registrations_);
  MakeItem();
  ASSERT_TRUE(SignalSeen("NewToolTip"));
  const auto tips = [this] {
    std::size_t count = 0;
    for (const auto& line : signal_log_.Items()) count += line == "NewToolTip" ? 1 : 0;
    return count;
  };
  const std::size_t before = tips();
  item_loop_.Run([this] {
    for (int percent = 1; percent <= 20; ++percent)
      item_->SetTip("Wydruk dla D'95 Drukowanie :" + std::to_string(percent) + "%");
  });
  // At most one at once and one for the last text; then one more change, announced too.
  const auto deadline = std::chrono::steady_clock::now() + kDeadline;
  while (tips() < before + 1 && std::chrono::steady_clock::now() < deadline)
    signal_log_.WaitFor(signal_log_.Size() + 1);
  ASSERT_GE(tips(), before + 1) << "the burst was not announced";
  item_loop_.Run([this] { item_->SetTip("Wydruk dla D'95"); });
  while (!(tips() >= before + 2 && TipNow() == "Wydruk dla D'95") &&
         std::chrono::steady_clock::now() < deadline)
    signal_log_.WaitFor(signal_log_.Size() + 1);
  // Signals of one sender arrive in order: every announcement of the burst is in the log.
  EXPECT_LE(tips(), before + 3) << "each change of the burst was announced";
  EXPECT_EQ(TipNow(), "Wydruk dla D'95");
}

TEST_F(SniBusTest, MenuFollowsTheProgramsPopupAndGivesItsCommands) {
  Watcher watcher(registrations_);
  MakeItem();
  ASSERT_TRUE(registrations_.WaitFor(1));

  // Asked before the program's menu is known: the owner hears it is wanted.
  GVariant* about = MenuCall("AboutToShow", g_variant_new("(i)", 0), "(b)");
  gboolean need = FALSE;
  g_variant_get(about, "(b)", &need);
  EXPECT_TRUE(need);
  g_variant_unref(about);
  EXPECT_TRUE(wanted_.WaitFor(1));

  std::vector<TrayMenuEntry> entries = {{1, "_Anuluj wydruk", false, false},
                                        {2, "K_onfiguracja", true, false},
                                        {3, "", true, true},
                                        {4, "_Koniec", true, false}};
  const std::size_t before = signal_log_.Size();
  item_loop_.Run([&] { item_->SetMenu(entries); });
  EXPECT_TRUE(SignalSeen("LayoutUpdated 2", before));

  GVariant* layout =
      MenuCall("GetLayout", g_variant_new("(ii@as)", 0, -1, g_variant_new_strv(nullptr, 0)),
               "(u(ia{sv}av))");
  guint32 revision = 0;
  GVariant* root = nullptr;
  g_variant_get(layout, "(u@(ia{sv}av))", &revision, &root);
  EXPECT_EQ(revision, 2u);
  GVariant* children = g_variant_get_child_value(root, 2);
  ASSERT_EQ(g_variant_n_children(children), 4u);
  std::vector<std::string> seen;
  for (gsize i = 0; i < 4; ++i) seen.push_back(DescribeMenuEntry(children, i));
  EXPECT_EQ(seen, (std::vector<std::string>{"1:_Anuluj wydruk (off)", "2:K_onfiguracja",
                                            "3:separator", "4:_Koniec"}));
  g_variant_unref(children);
  g_variant_unref(root);
  g_variant_unref(layout);

  // A click on the disabled entry gives nothing; one on "Koniec" its command.
  g_variant_unref(MenuCall(
      "Event", g_variant_new("(isvu)", 1, "clicked", g_variant_new_int32(0), 0u), nullptr));
  g_variant_unref(MenuCall(
      "Event", g_variant_new("(isvu)", 4, "clicked", g_variant_new_int32(0), 0u), nullptr));
  ASSERT_TRUE(commands_.WaitFor(1));
  EXPECT_EQ(commands_.Items(), (std::vector<UINT_PTR>{4}));

  // Enabling "Anuluj wydruk" while a job prints is announced as a property change and a
  // new revision, and its click then gives the command.
  entries[0].enabled = true;
  const std::size_t mark = signal_log_.Size();
  item_loop_.Run([&] { item_->SetMenu(entries); });
  EXPECT_TRUE(SignalSeen("ItemsPropertiesUpdated", mark));
  EXPECT_TRUE(SignalSeen("LayoutUpdated 3", mark));
  GVariant* enabled = MenuCall("GetProperty", g_variant_new("(is)", 1, "enabled"), "(v)");
  GVariant* value = nullptr;
  g_variant_get(enabled, "(v)", &value);
  EXPECT_TRUE(g_variant_get_boolean(value));
  g_variant_unref(value);
  g_variant_unref(enabled);
  GVariant* errors = MenuCall(
      "EventGroup",
      g_variant_new_parsed("([(1, 'clicked', <0>, uint32 0), (9, 'clicked', <0>, uint32 0)],)"),
      "(ai)");
  GVariant* ids = g_variant_get_child_value(errors, 0);
  ASSERT_EQ(g_variant_n_children(ids), 1u);
  gint32 bad = 0;
  g_variant_get_child(ids, 0, "i", &bad);
  EXPECT_EQ(bad, 9);
  g_variant_unref(ids);
  g_variant_unref(errors);
  ASSERT_TRUE(commands_.WaitFor(2));
  EXPECT_EQ(commands_.Items().back(), 1u);
}

TEST_F(SniBusTest, AWatcherThatRestartsGetsTheItemAgain) {
  auto watcher = std::make_unique<Watcher>(registrations_);
  MakeItem();
  ASSERT_TRUE(registrations_.WaitFor(1));
  ASSERT_TRUE(hosted_.WaitFor(1));
  watcher.reset();
  ASSERT_TRUE(hosted_.WaitFor(2));
  EXPECT_FALSE(hosted_.Items()[1]);
  watcher = std::make_unique<Watcher>(registrations_);
  ASSERT_TRUE(registrations_.WaitFor(2));
  EXPECT_EQ(registrations_.Items()[1].service, service_);
  EXPECT_TRUE(registrations_.Items()[1].name_owned);
  ASSERT_TRUE(hosted_.WaitFor(3));
  EXPECT_TRUE(hosted_.Items()[2]);
}

TEST_F(SniBusTest, ATipChangeAloneDoesNotMakeHostsFetchThePictureAgain) {
  Watcher watcher(registrations_);
  std::unique_ptr<TrayPresence> tray;
  item_loop_.Run([&] {
    tray =
        std::make_unique<TrayPresence>("wydrukid95", "Wydruki z D'95", TrayPresence::Callbacks{});
    tray->Show(Picture(0xFF123456), "Wydruk dla D'95 Drukowanie :1%");
  });
  ASSERT_TRUE(registrations_.WaitFor(1));
  std::size_t mark = signal_log_.Size();
  item_loop_.Run([&] { tray->Show(Picture(0xFF123456), "Wydruk dla D'95 Drukowanie :2%"); });
  ASSERT_TRUE(SignalSeen("NewToolTip", mark));
  // Signals of one connection arrive in order, and a picture is announced before the tip.
  auto seen = signal_log_.Items();
  for (std::size_t i = mark; i < seen.size() && seen[i] != "NewToolTip"; ++i)
    EXPECT_NE(seen[i], "NewIcon") << "an unchanged picture was announced";
  mark = signal_log_.Size();
  item_loop_.Run([&] { tray->Show(Picture(0xFF654321), "Wydruk dla D'95 Drukowanie :3%"); });
  EXPECT_TRUE(SignalSeen("NewIcon", mark));
  item_loop_.Run([&] { tray.reset(); });
}

TEST(TrayPresenceTest, WithNoWatcherAndNoDisplayTheIconIsUnreachableOnceThenMovesToAWatcher) {
  LoopThread loop;
  Log<bool> unreachable;
  Log<int> places;
  std::unique_ptr<TrayPresence> tray;
  loop.Run([&] {
    tray = std::make_unique<TrayPresence>(
        "wydrukid95", "Wydruki z D'95",
        TrayPresence::Callbacks{nullptr, nullptr, nullptr, [&] { unreachable.Add(true); },
                                [&](TrayPresence::Place p) { places.Add(static_cast<int>(p)); }});
    tray->Show(Picture(0xFF808080), "Wydruk dla D'95");
  });
  ASSERT_TRUE(unreachable.WaitFor(1));
  ASSERT_TRUE(places.WaitFor(1));
  EXPECT_EQ(places.Items()[0], static_cast<int>(TrayPresence::Place::kNowhere));
  Log<Registration> registrations;
  {
    Watcher watcher(registrations);
    ASSERT_TRUE(registrations.WaitFor(1));
    ASSERT_TRUE(places.WaitFor(2));
    EXPECT_EQ(places.Items()[1], static_cast<int>(TrayPresence::Place::kStatusNotifier));
  }
  ASSERT_TRUE(places.WaitFor(3));
  EXPECT_EQ(places.Items()[2], static_cast<int>(TrayPresence::Place::kNowhere));
  // Told once only, however often the icon loses its place.
  EXPECT_EQ(unreachable.Size(), 1u);
  loop.Run([&] { tray.reset(); });
}

// A watcher that takes the item while no host shows items (a panel that exited, a daemon
// keeping the name) does not make the icon count as seen; its host's coming and going do.
TEST(TrayPresenceTest, AWatcherWithoutAHostLeavesTheIconUnseenUntilAHostComes) {
  LoopThread loop;
  Log<int> places;
  Log<Registration> registrations;
  Watcher watcher(registrations, false);
  std::unique_ptr<TrayPresence> tray;
  loop.Run([&] {
    tray = std::make_unique<TrayPresence>(
        "wydrukid95", "Wydruki z D'95",
        TrayPresence::Callbacks{nullptr, nullptr, nullptr, nullptr,
                                [&](TrayPresence::Place p) { places.Add(static_cast<int>(p)); }});
    tray->Show(Picture(0xFF808080), "Wydruk dla D'95");
  });
  ASSERT_TRUE(registrations.WaitFor(1));
  ASSERT_TRUE(places.WaitFor(1));
  EXPECT_EQ(places.Items()[0], static_cast<int>(TrayPresence::Place::kNowhere));
  watcher.SetHost(true);
  ASSERT_TRUE(places.WaitFor(2));
  EXPECT_EQ(places.Items()[1], static_cast<int>(TrayPresence::Place::kStatusNotifier));
  watcher.SetHost(false);
  ASSERT_TRUE(places.WaitFor(3));
  EXPECT_EQ(places.Items()[2], static_cast<int>(TrayPresence::Place::kNowhere));
  loop.Run([&] { tray.reset(); });
}

}  // namespace
}  // namespace wydruki::platform
