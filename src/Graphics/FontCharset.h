// SPDX-License-Identifier: MIT
// Character sets of fonts, one byte, with the names stored window layouts use.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace wydruki::graphics {

using TFontCharset = std::uint8_t;

// The value a stored window layout names ("EASTEUROPE_CHARSET", ...); nullopt when unknown.
std::optional<TFontCharset> CharsetFromName(std::string_view name);

}  // namespace wydruki::graphics
