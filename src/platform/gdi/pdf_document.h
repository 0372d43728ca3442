// SPDX-License-Identifier: MIT
// A printer document written as a PDF stream, page by page: each page is written
// to the printer's output when it ends and is not kept in memory.
#pragma once

#include <chrono>
#include <memory>

#include "common/printer_backend.h"
#include "gdi/print_document.h"

namespace wydruki::platform {

// How long the program waits for the writer to take a page or to end the document before the
// document fails with ERROR_TIMEOUT: a disk or a print server answers well within it, a hung
// network mount never does.
inline constexpr std::chrono::milliseconds kOutputPatience{std::chrono::minutes(2)};

// nullptr, with the last error set, when the PDF stream cannot be made.
std::unique_ptr<PrintDocument> OpenPdfDocument(
    std::unique_ptr<DocumentOutput> output, const DeviceCaps& caps,
    std::chrono::milliseconds patience = kOutputPatience);

}  // namespace wydruki::platform
