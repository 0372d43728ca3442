// SPDX-License-Identifier: MIT
// The text-line reader over arbitrary bytes: it ends, never reads past Ctrl-Z, and hands back
// exactly the bytes of the file minus the line ends.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz_support.h"
#include "pp1/CharMap.h"
#include "pp2/TextLines.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = wydruki::fuzz::WriteInput("lines.txt", data, size);
  wydruki::pp2::TextLineReader reader(path);
  if (!reader.IsOpen()) std::abort();
  std::size_t kept = 0;
  std::size_t lines = 0;
  while (!reader.AtEnd()) {
    const std::string line = reader.ReadLine();
    if (wydruki::pp1::ConvertLine(line).size() != line.size()) std::abort();
    kept += line.size();
    if (++lines > size + 1) std::abort();  // every line but an empty file's consumes a byte
  }
  if (kept > size) std::abort();
  return 0;
}
