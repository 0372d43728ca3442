// Icons: images kept with their bytes so the display can show them and each image has a
// stable number.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/api/types.h"

namespace wydruki::platform {

// Makes a named icon resource available to LoadIconA (Windows finds them in the program file).
void RegisterIconResource(const std::string& name, const std::vector<std::uint8_t>& image);

// The stable number of an icon's image; false when the icon does not exist.
bool IconImageId(HICON icon, std::uint32_t* id);

}  // namespace wydruki::platform
