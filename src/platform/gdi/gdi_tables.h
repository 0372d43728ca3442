// SPDX-License-Identifier: MIT
// The objects behind GDI handles: fonts, pens, brushes and device contexts, kept in tables so
// that any handle value a program passes is checked before use and an invalid one fails
// instead of crashing.
#pragma once

#include <memory>
#include <mutex>
#include <unordered_map>

#include "common/printer_backend.h"
#include "gdi/font_realizer.h"
#include "gdi/print_document.h"
#include "platform/api/gdi.h"

namespace wydruki::platform {

enum class ObjectKind { kFont, kPen, kBrush };

struct GdiObject {
  ObjectKind kind = ObjectKind::kFont;
  bool stock = false;  // stock objects are never deleted
  int selections = 0;  // device contexts that have it selected
  LOGFONTA font{};
  LOGPEN pen{};
  LOGBRUSH brush{};
};

struct DeviceContext {
  enum class Kind {
    kPrinter,      // CreateDCA: measures and prints documents
    kInformation,  // CreateICA: measures only
    kDisplay,      // GetDC: the screen at 96 pixels per inch
    kMemory,       // CreateCompatibleDC: measures like the device it was made for
  };
  Kind kind = Kind::kDisplay;
  PrinterTarget target;  // printers and information contexts
  HWND window = nullptr;
  bool from_get_dc = false;  // handed out by GetDC: returned with ReleaseDC
  HGDIOBJ font = nullptr;
  HGDIOBJ pen = nullptr;
  HGDIOBJ brush = nullptr;
  std::shared_ptr<const RealizedFont> realized;  // the selected font at this resolution
  COLORREF text_color = 0x000000;
  COLORREF bk_color = 0xFFFFFF;
  int bk_mode = OPAQUE;
  int rop2 = R2_COPYPEN;
  UINT text_align = TA_TOP | TA_LEFT | TA_NOUPDATECP;
  POINT position{0, 0};
  ABORTPROC abort_proc = nullptr;
  // The open document (StartDocA to EndDoc or AbortDoc) and its page state.
  std::unique_ptr<PrintDocument> document;
  bool page_open = false;
  int page_number = 0;
  int job_id = 0;
};

// The screen's page: 1024 x 768 pixels at 96 pixels per inch.
DeviceCaps ScreenCaps();

class GdiTables {
 public:
  static GdiTables& Instance();

  // Held by every API call that touches the tables; released around program callbacks
  // (abort procedures, font enumeration), which may call back into GDI.
  std::recursive_mutex& Lock() { return lock_; }

  HGDIOBJ AddObject(const GdiObject& object);
  GdiObject* FindObject(HGDIOBJ handle);
  // Removes a non-stock object; false when there is none.
  bool RemoveObject(HGDIOBJ handle);
  // A stock object by its GetStockObject index; nullptr for an unknown index.
  HGDIOBJ Stock(int index) const;

  HDC AddDC(std::unique_ptr<DeviceContext> dc);
  DeviceContext* FindDC(HDC handle);
  // FindDC for an API call: nullptr, with ERROR_INVALID_HANDLE as the last error, when the
  // handle names no device context.
  DeviceContext* FindDCOrFail(HDC handle);
  std::unique_ptr<DeviceContext> RemoveDC(HDC handle);

 private:
  GdiTables();
  std::uintptr_t NextHandle();

  std::recursive_mutex lock_;
  std::uintptr_t next_ = 0x1000;
  std::unordered_map<std::uintptr_t, GdiObject> objects_;
  std::unordered_map<std::uintptr_t, std::unique_ptr<DeviceContext>> dcs_;
  HDC last_dc_handle_ = nullptr;  // the one most recently found, for runs of calls on one DC
  DeviceContext* last_dc_ = nullptr;
  HGDIOBJ stock_[18] = {};
};

// Selects `object` into `dc`, keeping selection counts; returns the previous object of its
// kind. The caller has checked both.
HGDIOBJ SelectInto(DeviceContext& dc, HGDIOBJ handle, GdiObject& object);

// The selected font realized at the context's resolution (nullptr when no face exists).
const RealizedFont* SelectedFont(DeviceContext& dc);

}  // namespace wydruki::platform
