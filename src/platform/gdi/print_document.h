// SPDX-License-Identifier: MIT
// Where the drawing of an open printer document goes: a PDF stream for CUPS and "pdf-file",
// a plain-text record for "trace-file". Page and document state are kept by the device
// context; a document only produces output.
#pragma once

#include <memory>

#include "platform/api/gdi.h"

namespace wydruki::platform {

class RealizedFont;

// One TextOutA, with everything needed to draw or record it.
struct TextCall {
  int x = 0;  // as passed to TextOutA
  int y = 0;
  const LOGFONTA* logfont = nullptr;  // the selected font as created
  const RealizedFont* font = nullptr;
  const std::shared_ptr<const RealizedFont>* font_owner = nullptr;  // keeps `font` alive
  double left = 0;      // where the first glyph's origin goes, device units
  double baseline = 0;  // after the text alignment has been applied
  int width = 0;        // sum of the advances
  const unsigned char* bytes = nullptr;
  int count = 0;
  COLORREF color = 0;
  bool opaque = false;  // fill the text cell with `background` first
  COLORREF background = 0xFFFFFF;
};

class PrintDocument {
 public:
  virtual ~PrintDocument() = default;
  // False, with the last error set, when the output fails.
  virtual bool StartPage(int number) = 0;
  virtual bool EndPage() = 0;
  virtual void Text(const TextCall& call) = 0;
  virtual void Fill(const RECT& rect, COLORREF color) = 0;
  virtual void Line(POINT from, POINT to, const LOGPEN& pen) = 0;
  // The document is complete: hand it over. False, last error set, when it could not be.
  virtual bool Finish() = 0;
  // Discard the document.
  virtual void Abort() = 0;
};

}  // namespace wydruki::platform
