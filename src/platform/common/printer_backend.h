// SPDX-License-Identifier: MIT
// What the drawing side (gdi) and the profile (kernel) need of the printers (winspool):
// which printer a device name stands for, its page, and where a finished document goes.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

#include "platform/api/gdi.h"

namespace wydruki::platform {

// A printer's page in device units, keyed as GetDeviceCaps reports it.
struct DeviceCaps {
  int log_pixels_x = 600;
  int log_pixels_y = 600;
  int physical_width = 4961;    // A4, 210 mm at 600 dpi
  int physical_height = 7016;   // A4, 297 mm at 600 dpi
  int physical_offset_x = 100;  // 1/6 inch margins
  int physical_offset_y = 100;
  int horz_res = 4761;
  int vert_res = 6816;
};

enum class PrinterKind {
  kCups,       // a CUPS destination: documents are submitted as PDF jobs
  kPdfFile,    // built-in: each document becomes a PDF file in the port directory
  kTraceFile,  // built-in: each document is appended as a plain-text record to the port file
};

struct PrinterTarget {
  PrinterKind kind = PrinterKind::kPdfFile;
  std::string name;  // the device name as the program knows it
  std::string port;  // built-in printers: their directory or file; CUPS: the destination name
  DeviceCaps caps;   // in the orientation of the device mode it was resolved with
};

// The printer a device name (as CreateDCA and CreateICA receive it) stands for, with its page
// in the device mode's orientation (portrait without one). nullopt, with the last error set,
// when there is no such printer.
std::optional<PrinterTarget> ResolvePrinter(const char* device, const DEVMODEA* mode);

// The line GetProfileStringA("windows", "device") answers when the profile has none:
// "<name>,cups,<name>" for the CUPS default destination; "" while a configured scheduler does
// not answer; "pdf-file,builtin,<the user's documents directory>" when CUPS answers without a
// default destination or no print system is configured at all.
std::string DefaultDeviceLine();

// The bytes of one PDF document on their way to a printer. Nothing reaches the printer until
// Finish: a document that is aborted, or whose program dies half-way, prints nothing.
class DocumentOutput {
 public:
  virtual ~DocumentOutput() = default;
  // Appends document bytes; false (last error set) when they cannot be kept.
  virtual bool Write(const unsigned char* data, std::size_t size) = 0;
  // The document is complete: hand it to the printer. False, with the last error set, when
  // the printer refused it; the document is then discarded.
  virtual bool Finish() = 0;
  // Discards the document and cancels any spooler job made for it.
  virtual void Abort() = 0;
  // Called from another thread while Write or Finish does not return (a hung mount): the
  // document has been given up, and a Finish still under way should not hand it over where it
  // can still be stopped.
  virtual void GiveUp() {}
};

// Opens the output of one document named `document_name` on a PDF-producing printer
// (CUPS or "pdf-file"); nullptr with the last error set when that is impossible.
std::unique_ptr<DocumentOutput> OpenDocumentOutput(const PrinterTarget& target,
                                                   const std::string& document_name);

}  // namespace wydruki::platform
