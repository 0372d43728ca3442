// SPDX-License-Identifier: MIT
// Printer documents on a device context: StartDocA to EndDoc or AbortDoc, page by page, with
// the program's abort procedure consulted between pages and while spooling.
#include <atomic>
#include <string>

#include "common/debug_channel.h"
#include "gdi/gdi_tables.h"
#include "gdi/pdf_document.h"
#include "gdi/trace_document.h"
#include "platform/winapi.h"

using wydruki::platform::DebugArea;
using wydruki::platform::DebugLine;
using wydruki::platform::DeviceContext;
using wydruki::platform::GdiTables;

namespace {

using Lock = std::unique_lock<std::recursive_mutex>;

// The open document of `hdc`; nullptr, last error set, when there is none.
DeviceContext* WithDocument(HDC hdc) {
  DeviceContext* dc = GdiTables::Instance().FindDCOrFail(hdc);
  if (dc == nullptr) return nullptr;
  // A window's context carries the window's canvas in the same slot; it is no document.
  if (!dc->document || dc->kind != DeviceContext::Kind::kPrinter) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return dc;
}

void Discard(DeviceContext& dc) {
  dc.document->Abort();
  dc.document.reset();
  dc.page_open = false;
}

// Asks the abort procedure whether to go on. The lock is released around the call: the
// procedure may dispatch messages that call back into GDI, even delete this context. Returns
// the context again when printing goes on, nullptr (document discarded, last error set) when
// it stops.
DeviceContext* ConsultAbortProc(Lock& lock, HDC hdc, DeviceContext* dc) {
  const ABORTPROC procedure = dc->abort_proc;
  if (procedure == nullptr) return dc;
  const int job = dc->job_id;
  lock.unlock();
  const BOOL go_on = procedure(hdc, 0);
  lock.lock();
  dc = GdiTables::Instance().FindDC(hdc);
  if (dc == nullptr || !dc->document || dc->job_id != job) {
    SetLastError(ERROR_PRINT_CANCELLED);  // the document went away during the call
    return nullptr;
  }
  if (!go_on) {
    Discard(*dc);
    SetLastError(ERROR_PRINT_CANCELLED);
    return nullptr;
  }
  return dc;
}

}  // namespace

int WINAPI SetAbortProc(HDC hdc, ABORTPROC lpProc) {
  Lock lock(GdiTables::Instance().Lock());
  DeviceContext* dc = GdiTables::Instance().FindDCOrFail(hdc);
  if (dc == nullptr) return SP_ERROR;
  dc->abort_proc = lpProc;
  return 1;
}

int WINAPI StartDocA(HDC hdc, const DOCINFOA* lpdi) {
  static std::atomic<int> last_job_id{0};
  Lock lock(GdiTables::Instance().Lock());
  DeviceContext* dc = GdiTables::Instance().FindDC(hdc);
  if (dc == nullptr || dc->kind != DeviceContext::Kind::kPrinter) {
    SetLastError(ERROR_INVALID_HANDLE);  // only printer device contexts print
    return SP_ERROR;
  }
  if (lpdi == nullptr || dc->document) {
    SetLastError(ERROR_INVALID_PARAMETER);  // one document at a time
    return SP_ERROR;
  }
  const std::string name = lpdi->lpszDocName != nullptr ? lpdi->lpszDocName : "";
  std::unique_ptr<wydruki::platform::PrintDocument> document;
  if (dc->target.kind == wydruki::platform::PrinterKind::kTraceFile)
    document = wydruki::platform::OpenTraceDocument(dc->target.port, name);
  else
    document = wydruki::platform::OpenPdfDocument(
        wydruki::platform::OpenDocumentOutput(dc->target, name), dc->target.caps);
  if (!document) {
    // The printer side has set the last error.
    DebugLine(DebugArea::kPrinters, "\"" + name + "\" could not start on \"" + dc->target.name +
                                        "\" (" + dc->target.port + "): error " +
                                        std::to_string(GetLastError()));
    return SP_ERROR;
  }
  dc->document = std::move(document);
  dc->page_open = false;
  dc->page_number = 0;
  dc->job_id = ++last_job_id;
  DebugLine(DebugArea::kPrinters, "document " + std::to_string(dc->job_id) + " \"" + name +
                                      "\" started on \"" + dc->target.name + "\" (" +
                                      dc->target.port + ")");
  return dc->job_id;
}

int WINAPI StartPage(HDC hdc) {
  Lock lock(GdiTables::Instance().Lock());
  DeviceContext* dc = WithDocument(hdc);
  if (dc == nullptr) return SP_ERROR;
  if (dc->page_open) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return SP_ERROR;
  }
  if (!dc->document->StartPage(dc->page_number + 1)) {
    Discard(*dc);
    return SP_ERROR;
  }
  ++dc->page_number;
  dc->page_open = true;
  return 1;
}

int WINAPI EndPage(HDC hdc) {
  Lock lock(GdiTables::Instance().Lock());
  DeviceContext* dc = WithDocument(hdc);
  if (dc == nullptr) return SP_ERROR;
  if (!dc->page_open) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return SP_ERROR;
  }
  dc->page_open = false;
  if (!dc->document->EndPage()) {
    Discard(*dc);
    return SP_ERROR;
  }
  return ConsultAbortProc(lock, hdc, dc) != nullptr ? 1 : SP_ERROR;
}

int WINAPI EndDoc(HDC hdc) {
  Lock lock(GdiTables::Instance().Lock());
  DeviceContext* dc = WithDocument(hdc);
  if (dc == nullptr) return SP_ERROR;
  if (dc->page_open) {
    dc->page_open = false;
    if (!dc->document->EndPage()) {
      Discard(*dc);
      return SP_ERROR;
    }
  }
  // Spooling: the program may still stop the document before it is handed over.
  dc = ConsultAbortProc(lock, hdc, dc);
  if (dc == nullptr) return SP_ERROR;
  auto document = std::move(dc->document);
  const int job = dc->job_id;
  const bool handed_over = document->Finish();
  DebugLine(DebugArea::kPrinters,
            "document " + std::to_string(job) + " of " + std::to_string(dc->page_number) +
                (handed_over ? " pages handed over"
                             : " pages failed: error " + std::to_string(GetLastError())));
  return handed_over ? job : SP_ERROR;
}

int WINAPI AbortDoc(HDC hdc) {
  Lock lock(GdiTables::Instance().Lock());
  DeviceContext* dc = WithDocument(hdc);
  if (dc == nullptr) return SP_ERROR;
  DebugLine(DebugArea::kPrinters, "document " + std::to_string(dc->job_id) + " discarded");
  Discard(*dc);
  return 1;
}
