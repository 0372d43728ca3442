// SPDX-License-Identifier: MIT
// Fuzz targets read the agent's inputs from files, as the agent does: the input bytes are put
// into a file of a per-process temporary directory first.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace wydruki::fuzz {

inline const std::string& WorkDirectory() {
  static const std::string directory = [] {
    std::string pattern = "/tmp/wydruki-fuzz-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    return pattern;
  }();
  return directory;
}

inline std::string WriteInput(const char* name, const std::uint8_t* data, std::size_t size) {
  const std::string path = WorkDirectory() + "/" + name;
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, file) != size) std::abort();
  std::fclose(file);
  return path;
}

}  // namespace wydruki::fuzz
