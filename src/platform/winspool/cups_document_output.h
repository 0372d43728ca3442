// SPDX-License-Identifier: MIT
#pragma once

#include <memory>
#include <string>

#include "common/printer_backend.h"

namespace wydruki::platform {

// The output of one document to the CUPS destination `destination`: the bytes wait in an
// anonymous temporary file, and Finish submits them as one PDF job named after the document.
std::unique_ptr<DocumentOutput> OpenCupsDocumentOutput(const std::string& destination,
                                                       const std::string& document_name);

}  // namespace wydruki::platform
