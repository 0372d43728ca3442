// SPDX-License-Identifier: MIT
// The notification-area icon as a StatusNotifierItem on the session bus.
//
// Order matters to hosts: the item's objects (/StatusNotifierItem and its menu at /MenuBar)
// are exported first, then the name org.kde.StatusNotifierItem-<pid>-<n> is owned, and only
// when the name is ours is the item registered with org.kde.StatusNotifierWatcher; a host
// that reacts to the registration at once then finds everything in place. The watcher's
// name is watched for as long as the item lives: when a watcher appears, or a new one takes
// over after a restart, the item registers again; when none is left, the owner hears that
// the item is not hosted and can show the icon another way.
//
// A watcher accepting the item does not mean anything shows it: the watcher may run without
// a host (a panel that exited, a session daemon that keeps the name). The item counts as
// hosted only while the watcher's IsStatusNotifierHostRegistered is true, and follows the
// watcher's StatusNotifierHostRegistered and ...Unregistered signals. A watcher that does not
// answer the property at all is taken at its word: it accepted the item, so it has a host.
//
// A host's calls become the mouse messages the program's tray component expects: Activate
// is a left click, ContextMenu a right click, SecondaryActivate a middle click. Two Activate
// calls are a double click when they reach the bus within the desktop's double-click time:
// each call's arrival is noted by a filter on the connection's own thread, because the item
// hears of a call only when the program next turns its main context, perhaps after a page.
// A host's ContextMenu position is kept for the popup the program then opens.
//
// Hosts re-read the whole tip and picture on every NewToolTip and NewIcon. A job changes the
// tip with every page, far faster than anyone can read it, so NewToolTip is announced at most
// twice a second; the last change is always announced, and the property always reads the
// current text.
#pragma once

#include <gio/gio.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "shell/dbus_menu.h"
#include "user/icon_pixmap.h"
#include "shell/tray_text.h"

namespace wydruki::platform {

class StatusNotifierItem {
 public:
  struct Callbacks {
    std::function<void(UINT mouse_message)> mouse;
    std::function<void(UINT_PTR command)> command;  // a menu entry was chosen
    std::function<void()> menu_wanted;              // a host asked for a menu not yet known
    std::function<void(bool hosted)> hosted;        // registered with a watcher, or not
  };

  // `id` is the item's stable identifier, `title` its name for the user (UTF-8).
  StatusNotifierItem(GDBusConnection* connection, std::string id, std::string title,
                     Callbacks callbacks);
  ~StatusNotifierItem();
  StatusNotifierItem(const StatusNotifierItem&) = delete;
  StatusNotifierItem& operator=(const StatusNotifierItem&) = delete;

  void SetIcon(const IconPicture& picture);
  void SetTip(const std::string& utf8);
  void SetMenu(std::vector<TrayMenuEntry> entries);
  void SetDoubleClickTime(unsigned ms) { clicks_.SetDoubleClickTime(ms); }

  const std::string& BusName() const { return bus_name_; }
  // The last activation token a host gave, for raising a window; empty when none.
  std::string TakeActivationToken();
  // Where the host asked for the context menu (screen coordinates), once; nothing when the
  // last call was not ContextMenu.
  std::optional<std::pair<int, int>> TakeMenuPosition();

 private:
  static void MethodCall(GDBusConnection*, const char*, const char*, const char*, const char*,
                         GVariant*, GDBusMethodInvocation*, gpointer);
  static GVariant* GetProperty(GDBusConnection*, const char*, const char*, const char*, const char*,
                               GError**, gpointer);
  static void NameAcquired(GDBusConnection*, const char*, gpointer);
  static void NameLost(GDBusConnection*, const char*, gpointer);
  static void WatcherAppeared(GDBusConnection*, const char*, const char*, gpointer);
  static void WatcherVanished(GDBusConnection*, const char*, gpointer);
  static void Registration(GObject*, GAsyncResult*, gpointer);
  static void HostSignal(GDBusConnection*, const char*, const char*, const char*, const char*,
                         GVariant*, gpointer);
  static void HostAnswer(GObject*, GAsyncResult*, gpointer);
  static GDBusMessage* Arrived(GDBusConnection*, GDBusMessage*, gboolean, gpointer);
  static gboolean TipDue(gpointer);

  void Register();
  void AskForHost();
  void SetHosted(bool hosted);
  void AnnounceTip();
  std::int64_t ArrivalMs(GDBusMethodInvocation* invocation);
  void Emit(const char* signal, GVariant* parameters);
  GVariant* Pixmaps() const;
  GVariant* ToolTip() const;
  void Send(std::initializer_list<UINT> messages);

  GDBusConnection* connection_;
  std::string id_;
  std::string title_;
  Callbacks callbacks_;
  DbusMenu menu_;
  std::string bus_name_;
  guint registration_ = 0;
  guint owner_ = 0;
  guint watch_ = 0;
  guint host_signals_ = 0;
  guint filter_ = 0;
  guint tip_timer_ = 0;
  std::int64_t tip_announced_ms_ = -1;
  bool name_owned_ = false;
  bool watcher_present_ = false;
  bool accepted_ = false;  // the watcher took the registration
  bool hosted_ = false;    // ...and has a host that shows items
  bool reported_ = false;  // the owner has heard at least once
  GCancellable* cancellable_;
  // 16, 22 and 32 pixels, in ARGB32 network order.
  std::vector<std::pair<int, std::vector<std::uint8_t>>> pixmaps_;
  std::string tip_;
  MouseSequence clicks_;
  std::string activation_token_;
  std::optional<std::pair<int, int>> menu_position_;
  // Arrival times of Activate calls by message serial, written on GDBus's thread.
  std::shared_ptr<struct ArrivalLog> arrivals_;
};

}  // namespace wydruki::platform
