// SPDX-License-Identifier: MIT
// Where a Windows program's named resources live on Linux. On Windows the resource compiler
// puts icons into the program file and LoadIconA/LoadImageA find them there; here the
// program hands them over at start-up, before it loads any.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace wydruki::platform {

// Makes the first image of an icon file (.ico) the icon resource `name` (case-insensitive)
// of the program. False, and nothing registered, when the bytes are not an icon file.
bool RegisterIconResource(const std::string& name, const std::uint8_t* icon_file, std::size_t size);

}  // namespace wydruki::platform
