// SPDX-License-Identifier: MIT
// Bus helpers for the tray tests: a thread with a main context of its own, a log to wait
// on, a watcher of the tests' own, and a client that asks an item what a host would.
#pragma once

#include <gio/gio.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace wydruki::platform {

inline constexpr auto kDeadline = std::chrono::seconds(20);

// A thread that runs a main context of its own; Run() executes work there and waits for it.
class LoopThread {
 public:
  LoopThread() : context_(g_main_context_new()), loop_(g_main_loop_new(context_, FALSE)) {
    thread_ = std::thread([this] {
      g_main_context_push_thread_default(context_);
      g_main_loop_run(loop_);
      g_main_context_pop_thread_default(context_);
    });
  }
  ~LoopThread() {
    Run([this] { g_main_loop_quit(loop_); });
    thread_.join();
    g_main_loop_unref(loop_);
    g_main_context_unref(context_);
  }
  void Run(std::function<void()> work) {
    std::promise<void> done;
    auto job = std::make_pair(std::move(work), &done);
    g_main_context_invoke(
        context_,
        [](gpointer data) -> gboolean {
          auto* j = static_cast<decltype(job)*>(data);
          j->first();
          j->second->set_value();
          return G_SOURCE_REMOVE;
        },
        &job);
    done.get_future().wait();
  }

 private:
  GMainContext* context_;
  GMainLoop* loop_;
  std::thread thread_;
};

// What happened, in order, with a wait for a condition on it.
template <typename T>
class Log {
 public:
  void Add(T value) {
    std::lock_guard guard(lock_);
    items_.push_back(std::move(value));
    changed_.notify_all();
  }
  bool WaitFor(std::size_t count) {
    std::unique_lock guard(lock_);
    return changed_.wait_for(guard, kDeadline, [&] { return items_.size() >= count; });
  }
  std::vector<T> Items() {
    std::lock_guard guard(lock_);
    return items_;
  }
  std::size_t Size() {
    std::lock_guard guard(lock_);
    return items_.size();
  }

 private:
  std::mutex lock_;
  std::condition_variable changed_;
  std::vector<T> items_;
};

inline GDBusConnection* NewConnection() {
  GError* error = nullptr;
  gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, &error);
  EXPECT_NE(address, nullptr);
  GDBusConnection* connection = g_dbus_connection_new_for_address_sync(
      address,
      static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                        G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
      nullptr, nullptr, &error);
  g_free(address);
  EXPECT_NE(connection, nullptr);
  return connection;
}

// What a watcher saw when an item registered: the service it gave and, looked up at that
// moment, whether the name had an owner and the item's properties could be read.
struct Registration {
  std::string service;
  bool name_owned = false;
  std::string category;
  bool item_is_menu = true;
};

// A watcher of the test's own, on its own thread and connection. Given `host`, it answers
// IsStatusNotifierHostRegistered with it and SetHost() announces a host coming or going;
// without, it has no such property, as some watchers do not.
class Watcher {
 public:
  explicit Watcher(Log<Registration>& log, std::optional<bool> host = std::nullopt)
      : log_(log), host_(host) {
    loop_.Run([this] {
      connection_ = NewConnection();
      static const char* plain = R"xml(<node>
        <interface name="org.kde.StatusNotifierWatcher">
          <method name="RegisterStatusNotifierItem"><arg name="service" type="s" direction="in"/></method>
        </interface></node>)xml";
      static const char* with_host = R"xml(<node>
        <interface name="org.kde.StatusNotifierWatcher">
          <method name="RegisterStatusNotifierItem"><arg name="service" type="s" direction="in"/></method>
          <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
          <signal name="StatusNotifierHostRegistered"/>
          <signal name="StatusNotifierHostUnregistered"/>
        </interface></node>)xml";
      node_ = g_dbus_node_info_new_for_xml(host_ ? with_host : plain, nullptr);
      static const GDBusInterfaceVTable vtable = {&Watcher::Call, &Watcher::Get, nullptr, {}};
      object_ =
          g_dbus_connection_register_object(connection_, "/StatusNotifierWatcher",
                                            node_->interfaces[0], &vtable, this, nullptr, nullptr);
      GError* error = nullptr;
      GVariant* reply = g_dbus_connection_call_sync(
          connection_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
          "RequestName", g_variant_new("(su)", "org.kde.StatusNotifierWatcher", 4u),
          G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, -1, nullptr, &error);
      EXPECT_NE(reply, nullptr);
      if (reply != nullptr) g_variant_unref(reply);
    });
  }
  void SetHost(bool host) {
    loop_.Run([this, host] {
      host_ = host;
      g_dbus_connection_emit_signal(
          connection_, nullptr, "/StatusNotifierWatcher", "org.kde.StatusNotifierWatcher",
          host ? "StatusNotifierHostRegistered" : "StatusNotifierHostUnregistered", nullptr,
          nullptr);
    });
  }
  ~Watcher() {
    loop_.Run([this] {
      g_dbus_connection_unregister_object(connection_, object_);
      g_dbus_connection_close_sync(connection_, nullptr, nullptr);
      g_object_unref(connection_);
      g_dbus_node_info_unref(node_);
    });
  }

 private:
  static GVariant* Get(GDBusConnection*, const char*, const char*, const char*, const char*,
                       GError**, gpointer data) {
    return g_variant_new_boolean(static_cast<Watcher*>(data)->host_.value_or(false));
  }
  static void Call(GDBusConnection* connection, const char* sender, const char*, const char*,
                   const char*, GVariant* parameters, GDBusMethodInvocation* invocation,
                   gpointer data) {
    auto* self = static_cast<Watcher*>(data);
    const char* service = nullptr;
    g_variant_get(parameters, "(&s)", &service);
    Registration seen;
    seen.service = service;
    GVariant* owner = g_dbus_connection_call_sync(
        connection, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
        "GetNameOwner", g_variant_new("(s)", service), G_VARIANT_TYPE("(s)"),
        G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
    if (owner != nullptr) {
      const char* unique = nullptr;
      g_variant_get(owner, "(&s)", &unique);
      seen.name_owned = g_strcmp0(unique, sender) == 0;
      g_variant_unref(owner);
    }
    GVariant* all = g_dbus_connection_call_sync(
        connection, service, "/StatusNotifierItem", "org.freedesktop.DBus.Properties", "GetAll",
        g_variant_new("(s)", "org.kde.StatusNotifierItem"), G_VARIANT_TYPE("(a{sv})"),
        G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
    if (all != nullptr) {
      GVariant* props = g_variant_get_child_value(all, 0);
      const char* category = nullptr;
      gboolean is_menu = TRUE;
      if (g_variant_lookup(props, "Category", "&s", &category)) seen.category = category;
      if (g_variant_lookup(props, "ItemIsMenu", "b", &is_menu)) seen.item_is_menu = is_menu;
      g_variant_unref(props);
      g_variant_unref(all);
    }
    g_dbus_method_invocation_return_value(invocation, nullptr);
    self->log_.Add(seen);
  }

  Log<Registration>& log_;
  std::optional<bool> host_;
  LoopThread loop_;
  GDBusConnection* connection_ = nullptr;
  GDBusNodeInfo* node_ = nullptr;
  guint object_ = 0;
};

// Entry `index` of a dbusmenu layout's children as "id:label" or "id:separator", with
// " (off)" when it is disabled.
inline std::string DescribeMenuEntry(GVariant* children, gsize index) {
  GVariant* boxed = g_variant_get_child_value(children, index);
  GVariant* child = g_variant_get_variant(boxed);
  gint32 id = 0;
  GVariant* props = nullptr;
  g_variant_get(child, "(i@a{sv}av)", &id, &props, nullptr);
  const char* label = "";
  const char* type = "";
  gboolean enabled = TRUE;
  g_variant_lookup(props, "label", "&s", &label);
  g_variant_lookup(props, "type", "&s", &type);
  g_variant_lookup(props, "enabled", "b", &enabled);
  std::string entry = std::to_string(id) + ":" + label + type + (enabled ? "" : " (off)");
  g_variant_unref(props);
  g_variant_unref(child);
  g_variant_unref(boxed);
  return entry;
}

// Blocking calls to one item, as a host makes them; from any thread but the item's.
class Client {
 public:
  explicit Client(std::string service) : service_(std::move(service)), bus_(NewConnection()) {}
  ~Client() { g_object_unref(bus_); }

  // The menu's entries as "id:label" or "id:separator", " (off)" when disabled, '|' between.
  std::string MenuLabels() {
    GVariant* layout = Call("/MenuBar", "com.canonical.dbusmenu", "GetLayout",
                            g_variant_new("(ii@as)", 0, -1, g_variant_new_strv(nullptr, 0)));
    if (layout == nullptr) return "(no layout)";
    GVariant* root = g_variant_get_child_value(layout, 1);
    GVariant* children = g_variant_get_child_value(root, 2);
    std::string out;
    for (gsize i = 0; i < g_variant_n_children(children); ++i) {
      if (!out.empty()) out += '|';
      out += DescribeMenuEntry(children, i);
    }
    g_variant_unref(children);
    g_variant_unref(root);
    g_variant_unref(layout);
    return out;
  }
  bool Click(int id) {
    return Done(Call("/MenuBar", "com.canonical.dbusmenu", "Event",
                     g_variant_new("(isvu)", id, "clicked", g_variant_new_int32(0), 0u)));
  }
  bool Activate() {
    return Done(Call("/StatusNotifierItem", "org.kde.StatusNotifierItem", "Activate",
                     g_variant_new("(ii)", 1, 1)));
  }
  bool ContextMenu(int x, int y) {
    return Done(Call("/StatusNotifierItem", "org.kde.StatusNotifierItem", "ContextMenu",
                     g_variant_new("(ii)", x, y)));
  }
  std::string TipTitle() {
    GVariant* reply = Call("/StatusNotifierItem", "org.freedesktop.DBus.Properties", "Get",
                           g_variant_new("(ss)", "org.kde.StatusNotifierItem", "ToolTip"));
    if (reply == nullptr) return "(no tip)";
    GVariant* tip = nullptr;
    g_variant_get(reply, "(v)", &tip);
    const char* title = nullptr;
    g_variant_get(tip, "(&s@a(iiay)&s&s)", nullptr, nullptr, &title, nullptr);
    std::string out = title;
    g_variant_unref(tip);
    g_variant_unref(reply);
    return out;
  }

 private:
  GVariant* Call(const char* path, const char* interface, const char* method, GVariant* args) {
    GError* error = nullptr;
    GVariant* reply =
        g_dbus_connection_call_sync(bus_, service_.c_str(), path, interface, method, args, nullptr,
                                    G_DBUS_CALL_FLAGS_NONE, 20000, nullptr, &error);
    if (reply == nullptr) {
      ADD_FAILURE() << method << ": " << error->message;
      g_error_free(error);
    }
    return reply;
  }
  static bool Done(GVariant* reply) {
    if (reply == nullptr) return false;
    g_variant_unref(reply);
    return true;
  }

  std::string service_;
  GDBusConnection* bus_;
};

}  // namespace wydruki::platform
