// SPDX-License-Identifier: MIT
// Which CUPS queues are sent raw documents: a queue without a driver, one that takes nothing
// but raw data, and the queue the profile's device line names with the driver "escp".
#include <gtest/gtest.h>

#include "winspool/raw_printers.h"

namespace wydruki::platform {
namespace {

CupsPrinterInfo Queue(const char* name, const char* model, std::vector<std::string> formats) {
  CupsPrinterInfo queue;
  queue.name = name;
  queue.make_and_model = model;
  queue.formats = std::move(formats);
  return queue;
}

TEST(RawPrinters, AQueueWithoutADriverOrNamedWithEscpIsRawAndNoOtherIs) {
  const auto office =
      Queue("biuro", "HP LaserJet", {"application/pdf", "application/vnd.cups-raw"});
  EXPECT_TRUE(PrintsRaw(Queue("LX350", "Local Raw Printer", {}), ""));
  EXPECT_TRUE(
      PrintsRaw(Queue("LX", "", {"application/vnd.cups-raw", "application/octet-stream"}), ""));
  EXPECT_FALSE(PrintsRaw(office, ""));
  EXPECT_TRUE(PrintsRaw(office, " Biuro , ESCP ,biuro"));
  EXPECT_FALSE(PrintsRaw(office, "LX350,escp,LX350")) << "the line names another queue";
}

}  // namespace
}  // namespace wydruki::platform
