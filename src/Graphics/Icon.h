// SPDX-License-Identifier: MIT
// Icon objects: one icon image, shared by reference between icon objects. Copying an icon into
// another makes both show the same image; loading or setting a new image gives that object an
// image of its own.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/winapi.h"

namespace wydruki::graphics {

class TIcon {
 public:
  TIcon();

  // Shares `source`'s image; none gives this object a new empty image.
  void Assign(const TIcon* source);
  // The bytes of an icon file holding one image. More than one image: "Icon image is not valid".
  void LoadFromBytes(std::vector<std::uint8_t> bytes);
  // A new image made of a platform icon, which the image then owns.
  void SetHandle(HICON handle);
  // The platform icon, made at the system's standard icon size on first demand and kept with
  // the shared image. Bytes whose header type is neither 0 nor 1: "Icon image is not valid";
  // type 0 gives the system's default application icon.
  HICON Handle();
  bool Empty() const;
  // Whether two icon objects share one image.
  bool SharesImageWith(const TIcon& other) const { return image_ == other.image_; }

 private:
  struct Image {
    std::vector<std::uint8_t> bytes;
    HICON handle = nullptr;
    bool owns_handle = false;
    ~Image();
  };
  std::shared_ptr<Image> image_;
};

}  // namespace wydruki::graphics
