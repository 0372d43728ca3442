// SPDX-License-Identifier: MIT
// The test scheduler itself: the other CUPS tests rely on it delivering documents unchanged.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "test_support/cups_scheduler.h"

namespace wydruki::test {
namespace {

TEST(CupsSchedulerTest, QueueWritesJobUnchangedAndCleansUp) {
  if (!CupsScheduler::Available()) GTEST_SKIP() << "no /usr/sbin/cupsd on this machine";
  std::string root;
  {
    CupsScheduler scheduler;
    root = scheduler.root();
    EXPECT_EQ(std::getenv("CUPS_SERVER"), scheduler.server());
    scheduler.AddQueue("plain");
    const std::string document = "%PDF-1.4\n% not really a document\n%%EOF\n";
    const std::string source = scheduler.root() + "/source.pdf";
    std::ofstream(source) << document;
    ASSERT_EQ(RunProgram({"/usr/bin/lp", "-h", scheduler.server(), "-d", "plain", source}), 0);
    ASSERT_TRUE(scheduler.WaitUntilIdle()) << scheduler.Log();
    std::ifstream in(scheduler.OutputPath("plain"), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), document) << scheduler.Log();
  }
  EXPECT_FALSE(std::filesystem::exists(root));
}

}  // namespace
}  // namespace wydruki::test
