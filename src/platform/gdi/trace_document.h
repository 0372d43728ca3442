// SPDX-License-Identifier: MIT
// The "trace-file" printer's documents: a plain-text record appended to the port file.
//
// The record, one line per event, fields separated by one space, lines ended by "\n":
//   DOC <document name>        StartDocA
//   PAGE <n>                   StartPage; pages count from 1
//   TEXT <x> <y> <face>|<height>|<width>|<weight>|<italic>|<charset> <bytes>
//                              TextOutA: x and y in device units as passed; the selected
//                              font's lfFaceName, lfHeight, lfWidth, lfWeight, lfItalic and
//                              lfCharSet in decimal; the text's bytes in hexadecimal, two
//                              upper-case digits a byte, no separators
//   ENDDOC                     EndDoc, the document was handed over
//   ABORTDOC                   AbortDoc, or the abort procedure stopped the document
// Control characters in a document or face name are written as '?', so every event stays
// on one line. Lines are written as events happen (buffered within a page), so memory stays
// flat however long the document.
#pragma once

#include <memory>
#include <string>

#include "gdi/print_document.h"

namespace wydruki::platform {

// Opens the port file for appending and writes the DOC line; nullptr with the last error set
// when the file cannot be opened.
std::unique_ptr<PrintDocument> OpenTraceDocument(const std::string& port,
                                                 const std::string& document_name);

}  // namespace wydruki::platform
