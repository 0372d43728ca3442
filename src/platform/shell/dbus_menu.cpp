// SPDX-License-Identifier: MIT
#include "shell/dbus_menu.h"

namespace wydruki::platform {
namespace {

constexpr const char* kInterface = "com.canonical.dbusmenu";

constexpr const char* kIntrospection = R"xml(<node>
  <interface name="com.canonical.dbusmenu">
    <property name="Version" type="u" access="read"/>
    <property name="TextDirection" type="s" access="read"/>
    <property name="Status" type="s" access="read"/>
    <property name="IconThemePath" type="as" access="read"/>
    <method name="GetLayout">
      <arg type="i" name="parentId" direction="in"/>
      <arg type="i" name="recursionDepth" direction="in"/>
      <arg type="as" name="propertyNames" direction="in"/>
      <arg type="u" name="revision" direction="out"/>
      <arg type="(ia{sv}av)" name="layout" direction="out"/>
    </method>
    <method name="GetGroupProperties">
      <arg type="ai" name="ids" direction="in"/>
      <arg type="as" name="propertyNames" direction="in"/>
      <arg type="a(ia{sv})" name="properties" direction="out"/>
    </method>
    <method name="GetProperty">
      <arg type="i" name="id" direction="in"/>
      <arg type="s" name="name" direction="in"/>
      <arg type="v" name="value" direction="out"/>
    </method>
    <method name="Event">
      <arg type="i" name="id" direction="in"/>
      <arg type="s" name="eventId" direction="in"/>
      <arg type="v" name="data" direction="in"/>
      <arg type="u" name="timestamp" direction="in"/>
    </method>
    <method name="EventGroup">
      <arg type="a(isvu)" name="events" direction="in"/>
      <arg type="ai" name="idErrors" direction="out"/>
    </method>
    <method name="AboutToShow">
      <arg type="i" name="id" direction="in"/>
      <arg type="b" name="needUpdate" direction="out"/>
    </method>
    <method name="AboutToShowGroup">
      <arg type="ai" name="ids" direction="in"/>
      <arg type="ai" name="updatesNeeded" direction="out"/>
      <arg type="ai" name="idErrors" direction="out"/>
    </method>
    <signal name="ItemsPropertiesUpdated">
      <arg type="a(ia{sv})" name="updatedProps"/>
      <arg type="a(ias)" name="removedProps"/>
    </signal>
    <signal name="LayoutUpdated">
      <arg type="u" name="revision"/>
      <arg type="i" name="parent"/>
    </signal>
    <signal name="ItemActivationRequested">
      <arg type="i" name="id"/>
      <arg type="u" name="timestamp"/>
    </signal>
  </interface>
</node>)xml";

GDBusInterfaceInfo* InterfaceInfo() {
  static GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kIntrospection, nullptr);
  return node->interfaces[0];
}

// True when `name` is among the requested property names; an empty request asks for all.
bool Wanted(GVariant* names, const char* name) {
  if (names == nullptr || g_variant_n_children(names) == 0) return true;
  GVariantIter iter;
  const char* each = nullptr;
  g_variant_iter_init(&iter, names);
  while (g_variant_iter_next(&iter, "&s", &each))
    if (g_strcmp0(each, name) == 0) return true;
  return false;
}

}  // namespace

DbusMenu::DbusMenu(GDBusConnection* connection, const char* path, Callbacks callbacks)
    : connection_(G_DBUS_CONNECTION(g_object_ref(connection))),
      path_(path),
      callbacks_(std::move(callbacks)) {
  static const GDBusInterfaceVTable vtable = {
      &DbusMenu::MethodCall, &DbusMenu::GetProperty, nullptr, {}};
  registration_ = g_dbus_connection_register_object(connection_, path_.c_str(), InterfaceInfo(),
                                                    &vtable, this, nullptr, nullptr);
}

DbusMenu::~DbusMenu() {
  if (registration_ != 0) g_dbus_connection_unregister_object(connection_, registration_);
  g_object_unref(connection_);
}

void DbusMenu::SetEntries(std::vector<TrayMenuEntry> entries) {
  if (known_ && entries == entries_) return;
  // Only the enabled states changed: hosts that follow item properties update in place.
  bool only_states = known_ && entries.size() == entries_.size();
  for (std::size_t i = 0; only_states && i < entries.size(); ++i)
    only_states = entries[i].label == entries_[i].label &&
                  entries[i].separator == entries_[i].separator &&
                  entries[i].command == entries_[i].command;
  GVariantBuilder updated;
  g_variant_builder_init(&updated, G_VARIANT_TYPE("a(ia{sv})"));
  if (only_states) {
    for (std::size_t i = 0; i < entries.size(); ++i) {
      if (entries[i].enabled == entries_[i].enabled) continue;
      GVariantBuilder props;
      g_variant_builder_init(&props, G_VARIANT_TYPE("a{sv}"));
      g_variant_builder_add(&props, "{sv}", "enabled", g_variant_new_boolean(entries[i].enabled));
      g_variant_builder_add(&updated, "(ia{sv})", static_cast<gint32>(i + 1), &props);
    }
  }
  entries_ = std::move(entries);
  known_ = true;
  ++revision_;
  if (only_states)
    Emit("ItemsPropertiesUpdated", g_variant_new("(a(ia{sv})a(ias))", &updated, nullptr));
  else
    g_variant_builder_clear(&updated);
  // Every change also gets a new layout revision: some hosts only re-read on LayoutUpdated.
  Emit("LayoutUpdated", g_variant_new("(ui)", static_cast<guint32>(revision_), 0));
}

void DbusMenu::Emit(const char* signal, GVariant* parameters) {
  g_dbus_connection_emit_signal(connection_, nullptr, path_.c_str(), kInterface, signal, parameters,
                                nullptr);
}

GVariant* DbusMenu::ItemProperties(int id, GVariant* names) const {
  GVariantBuilder props;
  g_variant_builder_init(&props, G_VARIANT_TYPE("a{sv}"));
  if (id == 0) {
    if (Wanted(names, "children-display"))
      g_variant_builder_add(&props, "{sv}", "children-display", g_variant_new_string("submenu"));
    return g_variant_builder_end(&props);
  }
  const TrayMenuEntry& entry = entries_[static_cast<std::size_t>(id - 1)];
  if (entry.separator) {
    if (Wanted(names, "type"))
      g_variant_builder_add(&props, "{sv}", "type", g_variant_new_string("separator"));
  } else {
    if (Wanted(names, "label"))
      g_variant_builder_add(&props, "{sv}", "label", g_variant_new_string(entry.label.c_str()));
    if (Wanted(names, "enabled"))
      g_variant_builder_add(&props, "{sv}", "enabled", g_variant_new_boolean(entry.enabled));
  }
  if (Wanted(names, "visible"))
    g_variant_builder_add(&props, "{sv}", "visible", g_variant_new_boolean(TRUE));
  return g_variant_builder_end(&props);
}

GVariant* DbusMenu::Layout(int id, int depth, GVariant* names) const {
  GVariantBuilder children;
  g_variant_builder_init(&children, G_VARIANT_TYPE("av"));
  if (id == 0 && depth != 0) {
    for (int child = 1; child <= static_cast<int>(entries_.size()); ++child)
      g_variant_builder_add(&children, "v", Layout(child, depth - 1, names));
  }
  return g_variant_new("(i@a{sv}av)", id, ItemProperties(id, names), &children);
}

void DbusMenu::Clicked(int id) {
  if (id <= 0 || id > static_cast<int>(entries_.size())) return;
  const TrayMenuEntry& entry = entries_[static_cast<std::size_t>(id - 1)];
  // A host may still show an entry as it was a moment ago; a disabled one does nothing, as
  // the program's own popup would not have given its command.
  if (entry.separator || !entry.enabled) return;
  if (callbacks_.command) callbacks_.command(entry.command);
}

void DbusMenu::MethodCall(GDBusConnection*, const char*, const char*, const char*,
                          const char* method, GVariant* parameters,
                          GDBusMethodInvocation* invocation, gpointer data) {
  auto* self = static_cast<DbusMenu*>(data);
  const auto invalid = [invocation](const char* what) {
    g_dbus_method_invocation_return_error_literal(invocation, G_DBUS_ERROR,
                                                  G_DBUS_ERROR_INVALID_ARGS, what);
  };
  if (g_strcmp0(method, "GetLayout") == 0) {
    gint32 parent = 0, depth = 0;
    GVariant* names = nullptr;
    g_variant_get(parameters, "(ii@as)", &parent, &depth, &names);
    if (!self->known_ && self->callbacks_.wanted) self->callbacks_.wanted();
    if (!self->ValidId(parent)) {
      g_variant_unref(names);
      invalid("no such menu item");
      return;
    }
    GVariant* layout = self->Layout(parent, depth, names);
    g_variant_unref(names);
    g_dbus_method_invocation_return_value(
        invocation, g_variant_new("(u@(ia{sv}av))", static_cast<guint32>(self->revision_), layout));
    return;
  }
  if (g_strcmp0(method, "GetGroupProperties") == 0) {
    GVariant* ids = nullptr;
    GVariant* names = nullptr;
    g_variant_get(parameters, "(@ai@as)", &ids, &names);
    GVariantBuilder out;
    g_variant_builder_init(&out, G_VARIANT_TYPE("a(ia{sv})"));
    const gsize count = g_variant_n_children(ids);
    for (int id = 0; id <= static_cast<int>(self->entries_.size()); ++id) {
      bool asked = count == 0;
      for (gsize i = 0; !asked && i < count; ++i) {
        gint32 each = 0;
        g_variant_get_child(ids, i, "i", &each);
        asked = each == id;
      }
      if (asked) g_variant_builder_add(&out, "(i@a{sv})", id, self->ItemProperties(id, names));
    }
    g_variant_unref(ids);
    g_variant_unref(names);
    g_dbus_method_invocation_return_value(invocation, g_variant_new("(a(ia{sv}))", &out));
    return;
  }
  if (g_strcmp0(method, "GetProperty") == 0) {
    gint32 id = 0;
    const char* name = nullptr;
    g_variant_get(parameters, "(i&s)", &id, &name);
    if (!self->ValidId(id)) return invalid("no such menu item");
    GVariant* props = self->ItemProperties(id, nullptr);
    GVariant* value = g_variant_lookup_value(props, name, nullptr);
    g_variant_unref(g_variant_ref_sink(props));
    if (value == nullptr) return invalid("no such property");
    g_dbus_method_invocation_return_value(invocation, g_variant_new("(v)", value));
    g_variant_unref(value);
    return;
  }
  if (g_strcmp0(method, "Event") == 0) {
    gint32 id = 0;
    const char* event = nullptr;
    g_variant_get(parameters, "(i&svu)", &id, &event, nullptr, nullptr);
    const bool valid = self->ValidId(id);
    const bool clicked = g_strcmp0(event, "clicked") == 0;
    // Answer first: the command may run a nested loop (a message box) for a long time.
    if (!valid) return invalid("no such menu item");
    g_dbus_method_invocation_return_value(invocation, nullptr);
    if (clicked) self->Clicked(id);
    return;
  }
  if (g_strcmp0(method, "EventGroup") == 0) {
    GVariantIter* events = nullptr;
    g_variant_get(parameters, "(a(isvu))", &events);
    GVariantBuilder errors;
    g_variant_builder_init(&errors, G_VARIANT_TYPE("ai"));
    std::vector<int> clicked;
    gint32 id = 0;
    const char* event = nullptr;
    while (g_variant_iter_next(events, "(i&svu)", &id, &event, nullptr, nullptr)) {
      if (!self->ValidId(id))
        g_variant_builder_add(&errors, "i", id);
      else if (g_strcmp0(event, "clicked") == 0)
        clicked.push_back(id);
    }
    g_variant_iter_free(events);
    g_dbus_method_invocation_return_value(invocation, g_variant_new("(ai)", &errors));
    for (const int each : clicked) self->Clicked(each);
    return;
  }
  if (g_strcmp0(method, "AboutToShow") == 0) {
    gint32 id = 0;
    g_variant_get(parameters, "(i)", &id);
    if (!self->ValidId(id)) return invalid("no such menu item");
    const bool need = !self->known_;
    if (need && self->callbacks_.wanted) self->callbacks_.wanted();
    g_dbus_method_invocation_return_value(invocation, g_variant_new("(b)", need));
    return;
  }
  if (g_strcmp0(method, "AboutToShowGroup") == 0) {
    GVariantIter* ids = nullptr;
    g_variant_get(parameters, "(ai)", &ids);
    GVariantBuilder updates, errors;
    g_variant_builder_init(&updates, G_VARIANT_TYPE("ai"));
    g_variant_builder_init(&errors, G_VARIANT_TYPE("ai"));
    gint32 id = 0;
    while (g_variant_iter_next(ids, "i", &id)) {
      if (!self->ValidId(id))
        g_variant_builder_add(&errors, "i", id);
      else if (!self->known_)
        g_variant_builder_add(&updates, "i", id);
    }
    g_variant_iter_free(ids);
    if (!self->known_ && self->callbacks_.wanted) self->callbacks_.wanted();
    g_dbus_method_invocation_return_value(invocation, g_variant_new("(aiai)", &updates, &errors));
    return;
  }
  g_dbus_method_invocation_return_error(invocation, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_METHOD,
                                        "unknown method %s", method);
}

GVariant* DbusMenu::GetProperty(GDBusConnection*, const char*, const char*, const char*,
                                const char* property, GError** error, gpointer) {
  if (g_strcmp0(property, "Version") == 0) return g_variant_new_uint32(3);
  if (g_strcmp0(property, "TextDirection") == 0) return g_variant_new_string("ltr");
  if (g_strcmp0(property, "Status") == 0) return g_variant_new_string("normal");
  if (g_strcmp0(property, "IconThemePath") == 0) return g_variant_new_strv(nullptr, 0);
  g_set_error(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_PROPERTY, "unknown property %s", property);
  return nullptr;
}

}  // namespace wydruki::platform
