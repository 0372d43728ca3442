// SPDX-License-Identifier: MIT
// A TrueType font program cut down to the glyphs a document shows, for embedding in a PDF.
// The subset numbers its glyphs anew, densely, in the order the document first used them, so
// that a page's text can name them by the new numbers as it is written, before the set is
// complete. Composite glyphs bring their components along, numbered after the rest, with the
// references inside them renumbered. Only the tables a PDF reader needs to draw are kept.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace wydruki::platform {

// Reads one table of the font by its tag ('glyf'); false when the font has none.
using FontTableReader = std::function<bool(std::uint32_t tag, std::string& table)>;

// `glyphs[i]` is the original glyph of new glyph i (glyphs[0] should be 0, the missing
// glyph); components are appended to it. Empty when the font has no TrueType outlines or its
// tables do not hold together: the caller embeds it some other way.
std::string SubsetTrueType(const FontTableReader& read, std::vector<std::uint32_t>& glyphs);

}  // namespace wydruki::platform
