// SPDX-License-Identifier: MIT
#include "user/icons.h"

#include "common/ascii_case.h"
#include "platform/api/kernel.h"
#include "platform/program_resources.h"
#include "user/user_state.h"

using wydruki::platform::Icon;
using wydruki::platform::UserLock;
using wydruki::platform::UserState;

namespace {

UserState& State() { return UserState::Instance(); }

// The system's application icon: a framed window picture, made once.
HICON DefaultApplicationIcon() {
  UserState& s = State();
  if (s.default_icon != nullptr) return s.default_icon;
  auto icon = std::make_unique<Icon>();
  icon->shared = true;
  icon->bits.assign(40, 0);
  icon->bits[0] = 40;   // header size
  icon->bits[4] = 32;   // width
  icon->bits[8] = 64;   // height: colour and mask
  icon->bits[12] = 1;   // planes
  icon->bits[14] = 24;  // bits per pixel
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      const bool frame = x == 0 || y == 0 || x == 31 || y == 31 || y < 6;
      const std::uint8_t v = frame ? 0x80 : 0xFF;
      icon->bits.insert(icon->bits.end(),
                        {v, frame ? std::uint8_t{0} : v, frame ? std::uint8_t{0} : v});
    }
  icon->bits.insert(icon->bits.end(), 32 * 4, 0);
  s.default_icon = s.NewIcon(std::move(icon));
  return s.default_icon;
}

std::uint32_t Read32(const BYTE* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

}  // namespace

namespace wydruki::platform {

bool RegisterIconResource(const std::string& name, const std::uint8_t* icon_file,
                          std::size_t size) {
  // An icon file: a 6-byte directory (reserved 0, type 1, count), then 16-byte entries that
  // give each image's size and offset; the first image is taken.
  if (icon_file == nullptr || size < 6 + 16 || icon_file[0] != 0 || icon_file[1] != 0 ||
      icon_file[2] != 1 || icon_file[3] != 0 || (icon_file[4] == 0 && icon_file[5] == 0))
    return false;
  const std::uint32_t image_size = Read32(icon_file + 6 + 8);
  const std::uint32_t offset = Read32(icon_file + 6 + 12);
  if (offset > size || image_size > size - offset || image_size < 40 ||
      Read32(icon_file + offset) != 40)
    return false;
  UserLock lock(State().Lock());
  auto icon = std::make_unique<Icon>();
  icon->bits.assign(icon_file + offset, icon_file + offset + image_size);
  icon->shared = true;
  State().icon_resources[wydruki::platform::AsciiLowered(name)] = State().NewIcon(std::move(icon));
  return true;
}

bool IconImageId(HICON icon, std::uint32_t* id) {
  UserLock lock(State().Lock());
  const auto it = State().icons.find(icon);
  if (it == State().icons.end()) return false;
  *id = it->second->image_id;
  return true;
}

}  // namespace wydruki::platform

HICON WINAPI LoadIconA(HINSTANCE hInstance, LPCSTR lpIconName) {
  UserLock lock(State().Lock());
  if (hInstance == nullptr) {
    if (lpIconName == IDI_APPLICATION) return DefaultApplicationIcon();
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (lpIconName != nullptr && !IS_INTRESOURCE(lpIconName)) {
    const auto it = State().icon_resources.find(wydruki::platform::AsciiLowered(lpIconName));
    if (it != State().icon_resources.end()) return it->second;
  }
  SetLastError(1814);  // ERROR_RESOURCE_NAME_NOT_FOUND
  return nullptr;
}

HANDLE WINAPI LoadImageA(HINSTANCE hInst, LPCSTR name, UINT type, int, int, UINT) {
  // Icons are the only images the program keeps; each resource holds one size, which is
  // given whatever size is asked for.
  if (type != IMAGE_ICON) {
    SetLastError(1813);  // ERROR_RESOURCE_TYPE_NOT_FOUND
    return nullptr;
  }
  return LoadIconA(hInst, name);
}

HICON WINAPI CreateIconFromResourceEx(PBYTE presbits, DWORD dwResSize, BOOL, DWORD, int, int,
                                      UINT) {
  // The image of one icon: a BITMAPINFOHEADER of a sane size, then its pixels and mask.
  if (presbits == nullptr || dwResSize < 40 || Read32(presbits) != 40) {
    SetLastError(ERROR_INVALID_DATA);
    return nullptr;
  }
  const auto width = static_cast<std::int32_t>(Read32(presbits + 4));
  const auto height = static_cast<std::int32_t>(Read32(presbits + 8));
  if (width <= 0 || width > 256 || height <= 0 || height > 512) {
    SetLastError(ERROR_INVALID_DATA);
    return nullptr;
  }
  UserLock lock(State().Lock());
  auto icon = std::make_unique<Icon>();
  icon->bits.assign(presbits, presbits + dwResSize);
  return State().NewIcon(std::move(icon));
}

BOOL WINAPI DestroyIcon(HICON hIcon) {
  UserLock lock(State().Lock());
  const auto it = State().icons.find(hIcon);
  if (it == State().icons.end()) {
    SetLastError(ERROR_INVALID_ICON_HANDLE);
    return FALSE;
  }
  if (!it->second->shared) State().icons.erase(it);
  return TRUE;
}
