// SPDX-License-Identifier: MIT
// Shared set-up for the gdi tests: a temporary profile naming the built-in printers' ports.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "platform/winapi.h"
#include "test_support/temp_dir.h"

namespace wydruki::test {

class GdiTest : public ::testing::Test {
 protected:
  GdiTest()
      : ini_(dir_.Write("win.ini", "[pdf-file]\nport=" + dir_.path().string() +
                                       "\n[trace-file]\nport=" + dir_.Path("trace.txt") + "\n")),
        env_("WYDRUKI_INI", ini_) {}

  HDC Printer(const char* name = "pdf-file", const DEVMODEA* mode = nullptr) {
    return CreateDCA(nullptr, name, nullptr, mode);
  }

  static DOCINFOA Doc(const char* name) {
    DOCINFOA info{};
    info.cbSize = sizeof info;
    info.lpszDocName = name;
    return info;
  }

  // Runs a command and returns what it printed.
  static std::string Run(const std::string& command) {
    std::string out;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
    if (!pipe) return out;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe.get())) > 0) out.append(buffer, n);
    return out;
  }

  TempDir dir_;
  std::string ini_;
  ScopedEnv env_;
};

inline LOGFONTA MakeFont(const char* face, LONG height, LONG width = 0, BYTE charset = 238,
                         LONG weight = FW_NORMAL) {
  LOGFONTA font{};
  font.lfHeight = height;
  font.lfWidth = width;
  font.lfWeight = weight;
  font.lfCharSet = charset;
  std::snprintf(font.lfFaceName, LF_FACESIZE, "%s", face);
  return font;
}

}  // namespace wydruki::test
