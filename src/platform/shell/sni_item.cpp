// SPDX-License-Identifier: MIT
#include "shell/sni_item.h"

#include <unistd.h>

#include <atomic>
#include <map>
#include <mutex>

#include "platform/api/user.h"

namespace wydruki::platform {
namespace {

constexpr const char* kItemInterface = "org.kde.StatusNotifierItem";
constexpr const char* kItemPath = "/StatusNotifierItem";
constexpr const char* kMenuPath = "/MenuBar";
constexpr const char* kWatcherName = "org.kde.StatusNotifierWatcher";
constexpr const char* kWatcherPath = "/StatusNotifierWatcher";
constexpr int kSizes[] = {16, 22, 32};
// The shortest time between two NewToolTip signals.
constexpr std::int64_t kTipIntervalMs = 500;

constexpr const char* kIntrospection = R"xml(<node>
  <interface name="org.kde.StatusNotifierItem">
    <property name="Category" type="s" access="read"/>
    <property name="Id" type="s" access="read"/>
    <property name="Title" type="s" access="read"/>
    <property name="Status" type="s" access="read"/>
    <property name="WindowId" type="i" access="read"/>
    <property name="IconName" type="s" access="read"/>
    <property name="IconPixmap" type="a(iiay)" access="read"/>
    <property name="OverlayIconName" type="s" access="read"/>
    <property name="OverlayIconPixmap" type="a(iiay)" access="read"/>
    <property name="AttentionIconName" type="s" access="read"/>
    <property name="AttentionIconPixmap" type="a(iiay)" access="read"/>
    <property name="AttentionMovieName" type="s" access="read"/>
    <property name="IconThemePath" type="s" access="read"/>
    <property name="ToolTip" type="(sa(iiay)ss)" access="read"/>
    <property name="ItemIsMenu" type="b" access="read"/>
    <property name="Menu" type="o" access="read"/>
    <method name="ContextMenu"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
    <method name="Activate"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
    <method name="SecondaryActivate"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
    <method name="Scroll"><arg name="delta" type="i" direction="in"/><arg name="orientation" type="s" direction="in"/></method>
    <method name="ProvideXdgActivationToken"><arg name="token" type="s" direction="in"/></method>
    <signal name="NewTitle"/>
    <signal name="NewIcon"/>
    <signal name="NewAttentionIcon"/>
    <signal name="NewOverlayIcon"/>
    <signal name="NewToolTip"/>
    <signal name="NewStatus"><arg name="status" type="s"/></signal>
  </interface>
</node>)xml";

GDBusInterfaceInfo* InterfaceInfo() {
  static GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kIntrospection, nullptr);
  return node->interfaces[0];
}

std::string NextBusName() {
  static std::atomic<int> next{1};
  return "org.kde.StatusNotifierItem-" + std::to_string(getpid()) + "-" +
         std::to_string(next.fetch_add(1));
}

GVariant* EmptyPixmaps() { return g_variant_new_array(G_VARIANT_TYPE("(iiay)"), nullptr, 0); }

std::int64_t NowMs() { return g_get_monotonic_time() / 1000; }

}  // namespace

struct ArrivalLog {
  std::mutex lock;
  std::map<std::pair<std::string, guint32>, std::int64_t> times;  // (sender, serial) -> ms
};

StatusNotifierItem::StatusNotifierItem(GDBusConnection* connection, std::string id,
                                       std::string title, Callbacks callbacks)
    : connection_(G_DBUS_CONNECTION(g_object_ref(connection))),
      id_(std::move(id)),
      title_(std::move(title)),
      callbacks_(std::move(callbacks)),
      menu_(connection, kMenuPath,
            DbusMenu::Callbacks{[this](UINT_PTR command) {
                                  if (callbacks_.command) callbacks_.command(command);
                                },
                                [this] {
                                  if (callbacks_.menu_wanted) callbacks_.menu_wanted();
                                }}),
      bus_name_(NextBusName()),
      cancellable_(g_cancellable_new()),
      arrivals_(std::make_shared<ArrivalLog>()) {
  // The filter may still run on GDBus's thread after it is removed: it holds the log itself.
  filter_ = g_dbus_connection_add_filter(
      connection_, &StatusNotifierItem::Arrived, new std::shared_ptr<ArrivalLog>(arrivals_),
      [](gpointer data) { delete static_cast<std::shared_ptr<ArrivalLog>*>(data); });
  static const GDBusInterfaceVTable vtable = {
      &StatusNotifierItem::MethodCall, &StatusNotifierItem::GetProperty, nullptr, {}};
  registration_ = g_dbus_connection_register_object(connection_, kItemPath, InterfaceInfo(),
                                                    &vtable, this, nullptr, nullptr);
  owner_ = g_bus_own_name_on_connection(connection_, bus_name_.c_str(),
                                        G_BUS_NAME_OWNER_FLAGS_DO_NOT_QUEUE, &NameAcquired,
                                        &NameLost, this, nullptr);
  watch_ = g_bus_watch_name_on_connection(connection_, kWatcherName, G_BUS_NAME_WATCHER_FLAGS_NONE,
                                          &WatcherAppeared, &WatcherVanished, this, nullptr);
  host_signals_ = g_dbus_connection_signal_subscribe(
      connection_, kWatcherName, kWatcherName, nullptr, kWatcherPath, nullptr,
      G_DBUS_SIGNAL_FLAGS_NONE, &StatusNotifierItem::HostSignal, this, nullptr);
}

StatusNotifierItem::~StatusNotifierItem() {
  g_cancellable_cancel(cancellable_);
  g_object_unref(cancellable_);
  if (tip_timer_ != 0) g_source_remove(tip_timer_);
  g_dbus_connection_signal_unsubscribe(connection_, host_signals_);
  g_dbus_connection_remove_filter(connection_, filter_);
  g_bus_unwatch_name(watch_);
  g_bus_unown_name(owner_);
  if (registration_ != 0) g_dbus_connection_unregister_object(connection_, registration_);
  g_object_unref(connection_);
}

void StatusNotifierItem::SetIcon(const IconPicture& picture) {
  pixmaps_.clear();
  for (const int size : kSizes)
    pixmaps_.emplace_back(size, NetworkOrderArgb(ScaleIconPicture(picture, size)));
  Emit("NewIcon", nullptr);
}

void StatusNotifierItem::SetTip(const std::string& utf8) {
  if (utf8 == tip_) return;
  tip_ = utf8;
  if (tip_timer_ != 0) return;  // the change waiting to be announced now carries this text
  const std::int64_t since = NowMs() - tip_announced_ms_;
  if (tip_announced_ms_ < 0 || since >= kTipIntervalMs) {
    AnnounceTip();
    return;
  }
  tip_timer_ = g_timeout_add(static_cast<guint>(kTipIntervalMs - since), &TipDue, this);
}

gboolean StatusNotifierItem::TipDue(gpointer data) {
  auto* self = static_cast<StatusNotifierItem*>(data);
  self->tip_timer_ = 0;
  self->AnnounceTip();
  return G_SOURCE_REMOVE;
}

void StatusNotifierItem::AnnounceTip() {
  tip_announced_ms_ = NowMs();
  Emit("NewToolTip", nullptr);
}

std::optional<std::pair<int, int>> StatusNotifierItem::TakeMenuPosition() {
  std::optional<std::pair<int, int>> position;
  position.swap(menu_position_);
  return position;
}

GDBusMessage* StatusNotifierItem::Arrived(GDBusConnection*, GDBusMessage* message,
                                          gboolean incoming, gpointer data) {
  if (!incoming || g_dbus_message_get_message_type(message) != G_DBUS_MESSAGE_TYPE_METHOD_CALL ||
      g_strcmp0(g_dbus_message_get_member(message), "Activate") != 0 ||
      g_strcmp0(g_dbus_message_get_path(message), kItemPath) != 0)
    return message;
  auto& log = **static_cast<std::shared_ptr<ArrivalLog>*>(data);
  const char* sender = g_dbus_message_get_sender(message);
  std::lock_guard guard(log.lock);
  // Entries are taken as the calls are handled; a few that never are must not pile up.
  if (log.times.size() > 64) log.times.clear();
  log.times[{sender != nullptr ? sender : "", g_dbus_message_get_serial(message)}] = NowMs();
  return message;
}

std::int64_t StatusNotifierItem::ArrivalMs(GDBusMethodInvocation* invocation) {
  GDBusMessage* message = g_dbus_method_invocation_get_message(invocation);
  const char* sender = g_dbus_message_get_sender(message);
  std::lock_guard guard(arrivals_->lock);
  const auto it =
      arrivals_->times.find({sender != nullptr ? sender : "", g_dbus_message_get_serial(message)});
  if (it == arrivals_->times.end()) return NowMs();
  const std::int64_t ms = it->second;
  arrivals_->times.erase(it);
  return ms;
}

void StatusNotifierItem::SetMenu(std::vector<TrayMenuEntry> entries) {
  menu_.SetEntries(std::move(entries));
}

std::string StatusNotifierItem::TakeActivationToken() {
  std::string token;
  token.swap(activation_token_);
  return token;
}

void StatusNotifierItem::Emit(const char* signal, GVariant* parameters) {
  g_dbus_connection_emit_signal(connection_, nullptr, kItemPath, kItemInterface, signal, parameters,
                                nullptr);
}

GVariant* StatusNotifierItem::Pixmaps() const {
  GVariantBuilder out;
  g_variant_builder_init(&out, G_VARIANT_TYPE("a(iiay)"));
  for (const auto& [size, bytes] : pixmaps_) {
    GVariant* data = g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, bytes.data(), bytes.size(), 1);
    g_variant_builder_add(&out, "(ii@ay)", size, size, data);
  }
  return g_variant_builder_end(&out);
}

GVariant* StatusNotifierItem::ToolTip() const {
  const std::string title = EscapeMarkup(tip_);
  return g_variant_new("(s@a(iiay)ss)", "", EmptyPixmaps(), title.c_str(), "");
}

void StatusNotifierItem::Send(std::initializer_list<UINT> messages) {
  if (!callbacks_.mouse) return;
  for (const UINT message : messages) callbacks_.mouse(message);
}

void StatusNotifierItem::MethodCall(GDBusConnection*, const char*, const char*, const char*,
                                    const char* method, GVariant* parameters,
                                    GDBusMethodInvocation* invocation, gpointer data) {
  auto* self = static_cast<StatusNotifierItem*>(data);
  // Every call is answered before the program hears of it: its handlers may run nested
  // loops (a popup, a message box) that would otherwise keep the host waiting.
  if (g_strcmp0(method, "Activate") == 0) {
    const std::int64_t arrived_ms = self->ArrivalMs(invocation);
    g_dbus_method_invocation_return_value(invocation, nullptr);
    const UINT press = self->clicks_.Press(TrayButton::kLeft, arrived_ms);
    self->Send({press, MouseSequence::Release(TrayButton::kLeft)});
    return;
  }
  if (g_strcmp0(method, "ContextMenu") == 0) {
    gint32 x = 0;
    gint32 y = 0;
    g_variant_get(parameters, "(ii)", &x, &y);
    g_dbus_method_invocation_return_value(invocation, nullptr);
    self->menu_position_ = std::make_pair(x, y);
    self->clicks_.Forget();
    self->Send({WM_RBUTTONDOWN, WM_RBUTTONUP});
    return;
  }
  if (g_strcmp0(method, "SecondaryActivate") == 0) {
    g_dbus_method_invocation_return_value(invocation, nullptr);
    self->clicks_.Forget();
    self->Send({WM_MBUTTONDOWN, WM_MBUTTONUP});
    return;
  }
  if (g_strcmp0(method, "Scroll") == 0) {
    g_dbus_method_invocation_return_value(invocation, nullptr);
    return;
  }
  if (g_strcmp0(method, "ProvideXdgActivationToken") == 0) {
    const char* token = nullptr;
    g_variant_get(parameters, "(&s)", &token);
    self->activation_token_ = token;
    g_dbus_method_invocation_return_value(invocation, nullptr);
    return;
  }
  g_dbus_method_invocation_return_error(invocation, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_METHOD,
                                        "unknown method %s", method);
}

GVariant* StatusNotifierItem::GetProperty(GDBusConnection*, const char*, const char*, const char*,
                                          const char* property, GError** error, gpointer data) {
  auto* self = static_cast<StatusNotifierItem*>(data);
  const std::string name = property;
  if (name == "Category") return g_variant_new_string("ApplicationStatus");
  if (name == "Id") return g_variant_new_string(self->id_.c_str());
  if (name == "Title") return g_variant_new_string(self->title_.c_str());
  if (name == "Status") return g_variant_new_string("Active");
  if (name == "WindowId") return g_variant_new_int32(0);
  if (name == "IconPixmap") return self->Pixmaps();
  if (name == "OverlayIconPixmap" || name == "AttentionIconPixmap") return EmptyPixmaps();
  if (name == "IconName" || name == "OverlayIconName" || name == "AttentionIconName" ||
      name == "AttentionMovieName" || name == "IconThemePath")
    return g_variant_new_string("");
  if (name == "ToolTip") return self->ToolTip();
  // Hosts that miss this one take the item for a menu and never call Activate.
  if (name == "ItemIsMenu") return g_variant_new_boolean(FALSE);
  if (name == "Menu") return g_variant_new_object_path(kMenuPath);
  g_set_error(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_PROPERTY, "unknown property %s", property);
  return nullptr;
}

void StatusNotifierItem::NameAcquired(GDBusConnection*, const char*, gpointer data) {
  auto* self = static_cast<StatusNotifierItem*>(data);
  self->name_owned_ = true;
  if (self->watcher_present_) self->Register();
}

void StatusNotifierItem::NameLost(GDBusConnection*, const char*, gpointer data) {
  auto* self = static_cast<StatusNotifierItem*>(data);
  self->name_owned_ = false;
  self->SetHosted(false);
}

void StatusNotifierItem::WatcherAppeared(GDBusConnection*, const char*, const char*,
                                         gpointer data) {
  auto* self = static_cast<StatusNotifierItem*>(data);
  self->watcher_present_ = true;
  self->accepted_ = false;
  if (self->name_owned_) self->Register();
}

void StatusNotifierItem::WatcherVanished(GDBusConnection*, const char*, gpointer data) {
  auto* self = static_cast<StatusNotifierItem*>(data);
  self->watcher_present_ = false;
  self->accepted_ = false;
  self->SetHosted(false);
}

void StatusNotifierItem::Register() {
  g_dbus_connection_call(connection_, kWatcherName, kWatcherPath, kWatcherName,
                         "RegisterStatusNotifierItem", g_variant_new("(s)", bus_name_.c_str()),
                         nullptr, G_DBUS_CALL_FLAGS_NONE, -1, cancellable_, &Registration, this);
}

void StatusNotifierItem::Registration(GObject* source, GAsyncResult* result, gpointer data) {
  GError* error = nullptr;
  GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
  if (reply == nullptr) {
    const bool cancelled = g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED);
    g_error_free(error);
    // The item may be gone; a cancelled call must not touch it.
    if (cancelled) return;
    static_cast<StatusNotifierItem*>(data)->SetHosted(false);
    return;
  }
  g_variant_unref(reply);
  auto* self = static_cast<StatusNotifierItem*>(data);
  if (!self->watcher_present_) return;
  self->accepted_ = true;
  self->AskForHost();
}

void StatusNotifierItem::AskForHost() {
  g_dbus_connection_call(
      connection_, kWatcherName, kWatcherPath, "org.freedesktop.DBus.Properties", "Get",
      g_variant_new("(ss)", kWatcherName, "IsStatusNotifierHostRegistered"), G_VARIANT_TYPE("(v)"),
      G_DBUS_CALL_FLAGS_NONE, -1, cancellable_, &HostAnswer, this);
}

void StatusNotifierItem::HostAnswer(GObject* source, GAsyncResult* result, gpointer data) {
  GError* error = nullptr;
  GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
  if (reply == nullptr && g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED)) {
    g_error_free(error);
    return;  // the item may be gone
  }
  auto* self = static_cast<StatusNotifierItem*>(data);
  // A watcher without the property accepted the item: it shows items.
  bool host = true;
  if (reply != nullptr) {
    GVariant* value = nullptr;
    g_variant_get(reply, "(v)", &value);
    if (g_variant_is_of_type(value, G_VARIANT_TYPE_BOOLEAN)) host = g_variant_get_boolean(value);
    g_variant_unref(value);
    g_variant_unref(reply);
  } else {
    g_error_free(error);
  }
  if (self->accepted_ && self->watcher_present_) self->SetHosted(host);
}

void StatusNotifierItem::HostSignal(GDBusConnection*, const char*, const char*, const char*,
                                    const char* signal, GVariant*, gpointer data) {
  auto* self = static_cast<StatusNotifierItem*>(data);
  if (!self->accepted_) return;
  if (g_strcmp0(signal, "StatusNotifierHostRegistered") == 0) {
    self->SetHosted(true);
    return;
  }
  // One host leaving may leave others: the watcher knows.
  if (g_strcmp0(signal, "StatusNotifierHostUnregistered") == 0) self->AskForHost();
}

void StatusNotifierItem::SetHosted(bool hosted) {
  const bool changed = hosted != hosted_ || !reported_;
  hosted_ = hosted;
  reported_ = true;
  // A host that comes back after a restart asks for everything anew; a hosted report is
  // given each time so that the owner can drop its fallback again.
  if ((changed || hosted) && callbacks_.hosted) callbacks_.hosted(hosted);
}

}  // namespace wydruki::platform
