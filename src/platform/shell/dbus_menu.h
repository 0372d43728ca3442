// SPDX-License-Identifier: MIT
// The tray icon's menu exported as com.canonical.dbusmenu, the menu every StatusNotifierItem
// host shows (several show only this one and never ask the program to open its own popup).
//
// Item 0 is the root; the entries follow as items 1, 2, ... in their order. A host fetches
// the layout once and then follows LayoutUpdated and ItemsPropertiesUpdated, so every change
// of an entry (an entry enabled while a job prints) is announced with a new revision. A host
// that asks before the menu is known gets an empty root and, from AboutToShow, "update
// needed"; the owner is told it is wanted and LayoutUpdated follows once it is set. A click
// ("clicked" event) on an enabled entry becomes the entry's command.
#pragma once

#include <gio/gio.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/api/types.h"

namespace wydruki::platform {

struct TrayMenuEntry {
  UINT_PTR command = 0;
  std::string label;  // UTF-8, '_' marks the mnemonic
  bool enabled = true;
  bool separator = false;

  bool operator==(const TrayMenuEntry&) const = default;
};

class DbusMenu {
 public:
  struct Callbacks {
    std::function<void(UINT_PTR command)> command;
    std::function<void()> wanted;  // a host asked while no menu was known
  };

  // Exports the menu at `path` on `connection`; objects are served on the thread-default
  // main context of the caller.
  DbusMenu(GDBusConnection* connection, const char* path, Callbacks callbacks);
  ~DbusMenu();
  DbusMenu(const DbusMenu&) = delete;
  DbusMenu& operator=(const DbusMenu&) = delete;

  void SetEntries(std::vector<TrayMenuEntry> entries);

 private:
  static void MethodCall(GDBusConnection*, const char*, const char*, const char*, const char*,
                         GVariant*, GDBusMethodInvocation*, gpointer);
  static GVariant* GetProperty(GDBusConnection*, const char*, const char*, const char*, const char*,
                               GError**, gpointer);
  GVariant* ItemProperties(int id, GVariant* names) const;
  GVariant* Layout(int id, int depth, GVariant* names) const;
  bool ValidId(int id) const { return id >= 0 && id <= static_cast<int>(entries_.size()); }
  void Clicked(int id);
  void Emit(const char* signal, GVariant* parameters);

  GDBusConnection* connection_;
  std::string path_;
  Callbacks callbacks_;
  guint registration_ = 0;
  std::vector<TrayMenuEntry> entries_;
  bool known_ = false;
  unsigned revision_ = 1;
};

}  // namespace wydruki::platform
