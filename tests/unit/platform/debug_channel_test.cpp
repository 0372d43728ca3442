// SPDX-License-Identifier: MIT
#include "common/debug_channel.h"

#include <gtest/gtest.h>

namespace wydruki::platform {
namespace {

constexpr unsigned kFiles = static_cast<unsigned>(DebugArea::kFiles);
constexpr unsigned kPrinters = static_cast<unsigned>(DebugArea::kPrinters);
constexpr unsigned kDisplay = static_cast<unsigned>(DebugArea::kDisplay);

TEST(DebugChannel, ASwitchNamesAreasInAnyCaseAndIgnoresWhatItDoesNotKnow) {
  EXPECT_EQ(ParseDebugAreas(nullptr), 0u);
  EXPECT_EQ(ParseDebugAreas(""), 0u);
  EXPECT_EQ(ParseDebugAreas("files"), kFiles);
  EXPECT_EQ(ParseDebugAreas("Printers, DISPLAY"), kPrinters | kDisplay);
  EXPECT_EQ(ParseDebugAreas(",files,,nonsense,"), kFiles);
  EXPECT_EQ(ParseDebugAreas("all"), kFiles | kPrinters | kDisplay);
  EXPECT_EQ(ParseDebugAreas("file"), 0u) << "a prefix is not a name";
}

}  // namespace
}  // namespace wydruki::platform
