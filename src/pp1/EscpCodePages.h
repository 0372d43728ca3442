// SPDX-License-Identifier: MIT
// The character tables of dot-matrix printers, for the companion's code page 852 text.
//
// A printer set to code page 852 takes the companion's bytes as they are. Many older ones are
// set to Mazovia, the Polish DOS standard before 852, or hold only a Windows or ISO table, or
// none with Polish letters at all: for those each byte is moved to the place of the same
// character in the printer's table, and a character the table lacks prints as its plain ASCII
// stand-in (a letter without its marks, box drawing as "+", "-", "|"), so the columns stay.
#pragma once

#include <optional>
#include <string_view>

namespace wydruki::pp1 {

enum class EscpCodePage {
  k852,      // "852": DOS Latin-2, the companion's own; bytes unchanged
  kMazovia,  // "mazovia" or "667": code page 437 with the Polish letters of Mazovia
  k1250,     // "1250": Windows Central European
  kLatin2,   // "latin2" or "8859-2": ISO 8859-2
  kAscii,    // "ascii": letters without their marks, for printers with no such table
};

// The code page a profile names (letter case ignored); nullopt for a name not listed above.
std::optional<EscpCodePage> CodePageNamed(std::string_view name);

// The printer's byte for a byte of code page 852 text.
unsigned char PrinterByte(EscpCodePage page, unsigned char byte);

}  // namespace wydruki::pp1
