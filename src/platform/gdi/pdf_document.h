// A printer document drawn with cairo into a PDF stream, page by page: each page is written
// to the printer's output when it ends and is not kept in memory.
#pragma once

#include <memory>

#include "common/printer_backend.h"
#include "gdi/print_document.h"

namespace wydruki::platform {

// nullptr, with the last error set, when the PDF stream cannot be made.
std::unique_ptr<PrintDocument> OpenPdfDocument(std::unique_ptr<DocumentOutput> output,
                                               const DeviceCaps& caps);

}  // namespace wydruki::platform
