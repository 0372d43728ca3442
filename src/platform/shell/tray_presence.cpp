// SPDX-License-Identifier: MIT
#include "shell/tray_presence.h"

#include <gdk/gdk.h>

#include "shell/sni_item.h"
#include "shell/xembed_icon.h"

#ifdef GDK_WINDOWING_X11
#include <gdk/gdkx.h>
#endif

namespace wydruki::platform {
namespace {

bool X11Display() {
#ifdef GDK_WINDOWING_X11
  GdkDisplay* display = gdk_display_get_default();
  return display != nullptr && GDK_IS_X11_DISPLAY(display);
#else
  return false;
#endif
}

}  // namespace

TrayPresence::TrayPresence(std::string id, std::string title, Callbacks callbacks)
    : id_(std::move(id)), title_(std::move(title)), callbacks_(std::move(callbacks)) {
  GError* error = nullptr;
  bus_ = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
  if (bus_ == nullptr) g_error_free(error);
}

TrayPresence::~TrayPresence() {
  xembed_.reset();
  item_.reset();
  if (bus_ != nullptr) g_object_unref(bus_);
}

void TrayPresence::Show(const IconPicture& picture, const std::string& tip) {
  // A job rewrites the tip far more often than the picture changes; hosts re-read the whole
  // picture on every NewIcon, so an unchanged one is not announced again.
  const bool same_picture = shown_ && picture.width == picture_.width &&
                            picture.height == picture_.height && picture.argb == picture_.argb;
  picture_ = picture;
  tip_ = tip;
  if (!shown_) {
    shown_ = true;
    if (bus_ != nullptr) {
      item_ = std::make_unique<StatusNotifierItem>(
          bus_, id_, title_,
          StatusNotifierItem::Callbacks{callbacks_.mouse, callbacks_.command,
                                        callbacks_.menu_wanted,
                                        [this](bool hosted) { Hosted(hosted); }});
      item_->SetDoubleClickTime(DesktopDoubleClickTime());
      if (menu_known_) item_->SetMenu(menu_);
    } else {
      UseXembed();
    }
  }
  if (item_) {
    if (!same_picture) item_->SetIcon(picture_);
    item_->SetTip(tip_);
  }
  if (xembed_) {
    if (!same_picture) xembed_->SetIcon(picture_);
    xembed_->SetTip(tip_);
  }
}

void TrayPresence::SetMenu(std::vector<TrayMenuEntry> entries) {
  menu_ = entries;
  menu_known_ = true;
  if (item_) item_->SetMenu(std::move(entries));
}

std::string TrayPresence::TakeActivationToken() {
  return item_ ? item_->TakeActivationToken() : std::string();
}

std::uint32_t TrayPresence::LastClickTime() const { return xembed_ ? xembed_->LastClickTime() : 0; }

std::optional<std::pair<int, int>> TrayPresence::TakeMenuPosition() {
  return item_ ? item_->TakeMenuPosition() : std::nullopt;
}

void TrayPresence::Hosted(bool hosted) {
  if (hosted) {
    // The tray icon goes first, so that no desktop shows the icon twice.
    xembed_.reset();
    MoveTo(Place::kStatusNotifier);
    return;
  }
  UseXembed();
}

void TrayPresence::UseXembed() {
  if (!X11Display()) {
    MoveTo(Place::kNowhere);
    return;
  }
  const bool tray = XembedIcon::TrayPresent();
  if (!xembed_) {
    xembed_ = std::make_unique<XembedIcon>(title_, callbacks_.mouse, [this](bool docked) {
      // A tray that starts later takes the icon by itself; the place follows.
      if (xembed_) MoveTo(docked ? Place::kXembed : Place::kNowhere);
    });
    xembed_->SetIcon(picture_);
    xembed_->SetTip(tip_);
    xembed_->SetVisible(true);
  }
  MoveTo(tray ? Place::kXembed : Place::kNowhere);
}

void TrayPresence::MoveTo(Place place) {
  const Place before = place_;
  place_ = place;
  if (place == Place::kNowhere && before == Place::kUndecided && !unreachable_told_) {
    unreachable_told_ = true;
    if (callbacks_.unreachable) callbacks_.unreachable();
  }
  if (place != before && callbacks_.moved) callbacks_.moved(place);
}

}  // namespace wydruki::platform
