// SPDX-License-Identifier: MIT
// The job signal reader over arbitrary bytes: a valid line 2 always gives its value plus one.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz_support.h"
#include "pp1/JobSignal.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = wydruki::fuzz::WriteInput("win95.drk", data, size);
  const auto signal = wydruki::pp1::ReadJobFile(path);
  if (signal.file_name.size() > size) std::abort();
  const std::string text(reinterpret_cast<const char*>(data), size);
  if (const auto value = wydruki::pp1::ParseJobInteger(text)) {
    if (text.empty()) std::abort();
  }
  return 0;
}
