// SPDX-License-Identifier: MIT
// Single-byte Windows code pages: which Unicode character each byte of a font's character
// set stands for.
#pragma once

namespace wydruki::platform {

struct CodePage {
  int number;
  const char16_t* upper;  // the characters of bytes 0x80-0xFF

  char32_t ToUnicode(unsigned char byte) const {
    return byte < 0x80 ? char32_t(byte) : char32_t(upper[byte - 0x80]);
  }
};

// The code page of a LOGFONTA character set: 238 is Windows-1250, 204 Windows-1251, and every
// other set (ANSI_CHARSET, DEFAULT_CHARSET, ...) Windows-1252.
const CodePage& CodePageForCharset(unsigned char charset);

}  // namespace wydruki::platform
