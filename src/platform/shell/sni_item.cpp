#include "shell/sni_item.h"

#include <unistd.h>

#include <atomic>

#include "platform/api/user.h"

namespace wydruki::platform {
namespace {

constexpr const char* kItemInterface = "org.kde.StatusNotifierItem";
constexpr const char* kItemPath = "/StatusNotifierItem";
constexpr const char* kMenuPath = "/MenuBar";
constexpr const char* kWatcherName = "org.kde.StatusNotifierWatcher";
constexpr const char* kWatcherPath = "/StatusNotifierWatcher";
constexpr int kSizes[] = {16, 22, 32};

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

}  // namespace

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
      cancellable_(g_cancellable_new()) {
  static const GDBusInterfaceVTable vtable = {
      &StatusNotifierItem::MethodCall, &StatusNotifierItem::GetProperty, nullptr, {}};
  registration_ = g_dbus_connection_register_object(connection_, kItemPath, InterfaceInfo(),
                                                    &vtable, this, nullptr, nullptr);
  owner_ = g_bus_own_name_on_connection(connection_, bus_name_.c_str(),
                                        G_BUS_NAME_OWNER_FLAGS_DO_NOT_QUEUE, &NameAcquired,
                                        &NameLost, this, nullptr);
  watch_ = g_bus_watch_name_on_connection(connection_, kWatcherName, G_BUS_NAME_WATCHER_FLAGS_NONE,
                                          &WatcherAppeared, &WatcherVanished, this, nullptr);
}

StatusNotifierItem::~StatusNotifierItem() {
  g_cancellable_cancel(cancellable_);
  g_object_unref(cancellable_);
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
  Emit("NewToolTip", nullptr);
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
    g_dbus_method_invocation_return_value(invocation, nullptr);
    const std::int64_t now_ms = g_get_monotonic_time() / 1000;
    const UINT press = self->clicks_.Press(TrayButton::kLeft, now_ms);
    self->Send({press, MouseSequence::Release(TrayButton::kLeft)});
    return;
  }
  if (g_strcmp0(method, "ContextMenu") == 0) {
    g_dbus_method_invocation_return_value(invocation, nullptr);
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
  self->registered_ = false;
  if (self->name_owned_) self->Register();
}

void StatusNotifierItem::WatcherVanished(GDBusConnection*, const char*, gpointer data) {
  auto* self = static_cast<StatusNotifierItem*>(data);
  self->watcher_present_ = false;
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
  if (self->watcher_present_) self->SetHosted(true);
}

void StatusNotifierItem::SetHosted(bool hosted) {
  const bool changed = hosted != registered_ || !reported_;
  registered_ = hosted;
  reported_ = true;
  // A host that comes back after a restart asks for everything anew; a hosted report is
  // given each time so that the owner can drop its fallback again.
  if ((changed || hosted) && callbacks_.hosted) callbacks_.hosted(hosted);
}

}  // namespace wydruki::platform
