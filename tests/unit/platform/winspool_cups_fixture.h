// SPDX-License-Identifier: MIT
// A test scheduler shared by the tests of one suite, with two queues: "alpha" (A4, 300 dpi, the
// scheduler's default) and "Beta" (US Letter, 600 dpi, landscape by default). The profile is
// an empty file of the test's own, so the user's settings take no part.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>

#include "test_support/cups_scheduler.h"
#include "test_support/temp_dir.h"

namespace wydruki::test {

class CupsPrintersTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!CupsScheduler::Available()) return;
    try {
      scheduler_ = new CupsScheduler;
      CupsQueueOptions alpha;
      alpha.info = "First queue";
      alpha.location = "Room 7";
      scheduler_->AddQueue("alpha", alpha);
      CupsQueueOptions beta;
      beta.page_size = "Letter";
      beta.resolution = "600dpi";
      beta.orientation = 4;
      scheduler_->AddQueue("Beta", beta);
      scheduler_->SetDefault("alpha");
    } catch (const std::exception& error) {
      start_error_ = new std::string(error.what());
    }
  }
  static void TearDownTestSuite() {
    delete scheduler_;
    scheduler_ = nullptr;
    delete start_error_;
    start_error_ = nullptr;
  }
  void SetUp() override {
    if (!CupsScheduler::Available()) GTEST_SKIP() << "no /usr/sbin/cupsd on this machine";
    ASSERT_EQ(start_error_, nullptr) << *start_error_;
    profile_ = std::make_unique<ScopedEnv>("WYDRUKI_INI", files_.Write("win.ini", ""));
    lpdest_ = std::make_unique<ScopedEnv>("LPDEST", nullptr);
    printer_ = std::make_unique<ScopedEnv>("PRINTER", nullptr);
    documents_ = std::make_unique<ScopedEnv>("XDG_DOCUMENTS_DIR", files_.path().string());
  }
  CupsScheduler& scheduler() { return *scheduler_; }
  TempDir& files() { return files_; }

  static inline CupsScheduler* scheduler_ = nullptr;
  static inline std::string* start_error_ = nullptr;

 private:
  TempDir files_;
  std::unique_ptr<ScopedEnv> profile_, lpdest_, printer_, documents_;
};

}  // namespace wydruki::test
