// SPDX-License-Identifier: MIT
// The six-icon set: holds the images of the notification-area icon's animation so that a
// window's stored layout can carry them.
#pragma once

#include "Forms/Component.h"
#include "Graphics/Icon.h"

namespace wydruki::icon6 {

class TIcon6 : public forms::TComponent {
 public:
  explicit TIcon6(forms::TComponent* owner) : TComponent(owner) {}

  graphics::TIcon& Icon1() { return icons_[0]; }
  graphics::TIcon& Icon2() { return icons_[1]; }
  graphics::TIcon& Icon3() { return icons_[2]; }
  graphics::TIcon& Icon4() { return icons_[3]; }
  graphics::TIcon& Icon5() { return icons_[4]; }
  graphics::TIcon& Icon6() { return icons_[5]; }
  // Icon number 1..6.
  graphics::TIcon& IconNumber(int number) { return icons_[number - 1]; }
  // Shares `icon`'s image (none empties it); nothing else happens.
  void SetIcon1(const graphics::TIcon* icon) { icons_[0].Assign(icon); }
  void SetIcon2(const graphics::TIcon* icon) { icons_[1].Assign(icon); }
  void SetIcon3(const graphics::TIcon* icon) { icons_[2].Assign(icon); }
  void SetIcon4(const graphics::TIcon* icon) { icons_[3].Assign(icon); }
  void SetIcon5(const graphics::TIcon* icon) { icons_[4].Assign(icon); }
  void SetIcon6(const graphics::TIcon* icon) { icons_[5].Assign(icon); }

 private:
  graphics::TIcon icons_[6];
};

}  // namespace wydruki::icon6
