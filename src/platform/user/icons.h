// SPDX-License-Identifier: MIT
// Icons: images kept with their bytes so the display can show them and each image has a
// stable number.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/api/types.h"

namespace wydruki::platform {

// The stable number of an icon's image; false when the icon does not exist.
bool IconImageId(HICON icon, std::uint32_t* id);

}  // namespace wydruki::platform
