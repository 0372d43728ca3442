// SPDX-License-Identifier: MIT
#include "common/profile.h"

#include <gtest/gtest.h>

#include "test_support/temp_dir.h"

namespace wydruki::platform {
namespace {

TEST(Profile, SectionsAndKeysMatchWithoutRegardToCaseAndFirstOccurrenceWins) {
  test::TempDir dir;
  const auto ini = dir.Write("win.ini",
                             "; comment\n[Windows]\r\n device = Laser,winspool,LPT1: \r\n"
                             "[drives]\nC=/srv/d95\n[WINDOWS]\nDEVICE=other\n");
  test::ScopedEnv env("WYDRUKI_INI", ini);
  EXPECT_EQ(ProfileValue("windows", "Device").value(), "Laser,winspool,LPT1:");
  EXPECT_EQ(ProfileValue("DRIVES", "c").value(), "/srv/d95");
  EXPECT_FALSE(ProfileValue("drives", "D").has_value());
  EXPECT_FALSE(ProfileValue("nosuch", "c").has_value());
  ASSERT_EQ(ProfileSection("windows").size(), 2u);
}

TEST(Profile, ChangesToTheFileAreSeenAndAMissingFileHasNoValues) {
  test::TempDir dir;
  const auto ini = dir.Write("win.ini", "[a]\nk=1\n");
  test::ScopedEnv env("WYDRUKI_INI", ini);
  EXPECT_EQ(ProfileValue("a", "k").value(), "1");
  dir.Write("win.ini", "[a]\nk=22\n");
  EXPECT_EQ(ProfileValue("a", "k").value(), "22");
  dir.Remove("win.ini");
  EXPECT_FALSE(ProfileValue("a", "k").has_value());
}

TEST(Profile, PathFollowsTheEnvironment) {
  test::ScopedEnv ini("WYDRUKI_INI", nullptr);
  test::ScopedEnv xdg("XDG_CONFIG_HOME", "/x/cfg");
  EXPECT_EQ(ProfilePath(), "/x/cfg/wydrukid95/win.ini");
  test::ScopedEnv home("HOME", "/home/u");
  test::ScopedEnv no_xdg("XDG_CONFIG_HOME", nullptr);
  EXPECT_EQ(ProfilePath(), "/home/u/.config/wydrukid95/win.ini");
}

}  // namespace
}  // namespace wydruki::platform
