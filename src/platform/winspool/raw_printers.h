// SPDX-License-Identifier: MIT
// Which printers take a print-out in their own language (a raw job) instead of drawn pages.
//
// A character printer set up without a driver prints whatever bytes it is sent: a PDF would come
// out as pages of its source text. Such a printer is a CUPS queue without a driver (made with
// "lpadmin -m raw", which the scheduler reports as the model "Local Raw Printer"), a queue that
// takes nothing but raw data, or the queue that the profile's device line names with the driver
// "escp" ("device=LX350,escp,LX350": a queue with a driver of its own that should still be sent
// the printer's language). The printer list reports such a printer as Windows reports one that
// takes only raw documents: the attribute PRINTER_ATTRIBUTE_RAW_ONLY and the data type "RAW".
#pragma once

#include <string_view>

#include "winspool/cups_destinations.h"

namespace wydruki::platform {

// `device_line` is the profile's [windows] device= value as written ("name,driver,port"), empty
// when there is none.
bool PrintsRaw(const CupsPrinterInfo& queue, std::string_view device_line);

}  // namespace wydruki::platform
