// SPDX-License-Identifier: MIT
#include "Graphics/Descriptions.h"

namespace wydruki::graphics {

std::uint16_t FontDescription::Hash() const {
  const std::uint8_t style = Style.Bits();
  return DescriptionHash()
      .AddValue(origin)
      .AddValue(Height)
      .AddValue(Pitch)
      .AddValue(style)
      .AddValue(Charset)
      .Add(Name.data(), Name.size())
      .Value();
}

std::uint16_t PenDescription::Hash() const {
  return DescriptionHash().AddValue(origin).AddValue(Color).AddValue(Width).AddValue(Style).Value();
}

std::uint16_t BrushDescription::Hash() const {
  return DescriptionHash().AddValue(origin).AddValue(Color).AddValue(Style).Value();
}

int PenModeToRop2(TPenMode mode) {
  static constexpr int kRop2[] = {1, 16, 11, 6, 13, 4, 14, 5, 12, 3, 15, 2, 9, 8, 7, 10};
  return kRop2[static_cast<int>(mode)];
}

}  // namespace wydruki::graphics
