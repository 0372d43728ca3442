// SPDX-License-Identifier: MIT
// The pictures of the notification-area icon: the idle printer and five frames of a page
// passing through it while a job prints. Each is a standard icon file of one 16×16 image at
// 24 bits per pixel with its transparency mask (894 bytes).
#pragma once

#include <cstdint>
#include <vector>

namespace wydruki::resources {

// Frame 1 is the idle picture; frames 2 to 6 are the animation, all different.
std::vector<std::uint8_t> TrayIconFile(int frame);

}  // namespace wydruki::resources
