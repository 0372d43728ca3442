// SPDX-License-Identifier: MIT
#pragma once

#include <memory>
#include <string>

#include "common/printer_backend.h"

namespace wydruki::platform {

// The output of one document into `directory`: "<stem>.pdf", or "<stem>-N.pdf" when taken.
std::unique_ptr<DocumentOutput> OpenPdfFileOutput(const std::string& directory,
                                                  const std::string& document_name);

// Removes the temporary files that agents which ended without finishing their documents left
// in `directory`; files of running agents stay. Done once per directory in a process.
void RemoveAbandonedPdfFiles(const std::string& directory);

// The file name stem for a document: the last component of its name, made safe.
std::string PdfFileStem(const std::string& document_name);

}  // namespace wydruki::platform
