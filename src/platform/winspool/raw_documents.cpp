// SPDX-License-Identifier: MIT
// StartDocPrinterA, WritePrinter, EndDocPrinter and AbortPrinter: a document in the printer's
// own language ("RAW"), streamed to a CUPS queue as one job.
//
// The spooler's promise is kept with the scheduler's own job operations. StartDocPrinterA
// creates the job and opens its one document as raw data (a queue that refuses jobs or is
// stopped is refused here, so the caller keeps the print-out); WritePrinter sends the bytes on
// as they come, so a document of any size passes in bounded memory; EndDocPrinter closes the
// document, and only the scheduler's acceptance of it makes the call succeed. The scheduler
// keeps an unfinished request apart and prints nothing of it: a document that is aborted, or
// whose connection breaks, or whose program dies half-way, never reaches the printer.
// AbortPrinter drops the connection of an unfinished document (the request cannot be ended
// otherwise) and cancels the job over a new one; where the scheduler cannot be reached then,
// the job stays without a document and is never printed.
#include <cups/cups.h>

#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "common/ascii_case.h"
#include "common/debug_channel.h"
#include "platform/api/kernel.h"
#include "platform/api/winspool.h"
#include "winspool/builtin_printers.h"
#include "winspool/cups_destinations.h"
#include "winspool/document_names.h"
#include "winspool/printer_handles.h"
#include "winspool/submitted_jobs.h"

namespace wydruki::platform {
namespace {

struct RawDocument {
  std::string printer;
  std::unique_ptr<CupsDestination> destination;  // holds the connection the document uses
  int job = 0;
  bool sending = false;  // the document's request is open and every write so far arrived
};

// The open documents, one at most per printer handle. A document is taken out of the table
// while a call works on it, so a call on another thread never sees it half-changed.
class RawDocuments {
 public:
  bool Has(HANDLE handle) {
    std::lock_guard lock(mutex_);
    return documents_.count(handle) != 0;
  }
  void Put(HANDLE handle, std::unique_ptr<RawDocument> document) {
    std::lock_guard lock(mutex_);
    documents_[handle] = std::move(document);
  }
  std::unique_ptr<RawDocument> Take(HANDLE handle) {
    std::lock_guard lock(mutex_);
    const auto found = documents_.find(handle);
    if (found == documents_.end()) return nullptr;
    auto document = std::move(found->second);
    documents_.erase(found);
    return document;
  }

 private:
  std::mutex mutex_;
  std::unordered_map<HANDLE, std::unique_ptr<RawDocument>> documents_;
};

RawDocuments& Documents() {
  static RawDocuments* documents = new RawDocuments;  // lives as long as the process
  return *documents;
}

// Cancels the job of a document whose request is over (finished, refused or cut off).
void CancelJob(RawDocument& document) {
  if (document.job <= 0) return;
  if (document.sending) document.destination.reset();  // ends the unfinished request
  if (!document.destination) document.destination = CupsDestination::Find(document.printer);
  document.sending = false;
  if (!document.destination) {
    DebugLine(DebugArea::kPrinters, "raw job " + std::to_string(document.job) + " on " +
                                        document.printer +
                                        " could not be cancelled: it holds no document");
    return;
  }
  cupsCancelDestJob(document.destination->http(), document.destination->dest(), document.job);
}

DWORD Fail(DWORD error) {
  SetLastError(error);
  return 0;
}

// The document open on a printer handle, taken out of the table; nullptr, with the last error
// set as the spooler sets it, for a handle that is no printer's or has no document begun.
std::unique_ptr<RawDocument> TakeDocument(HANDLE handle) {
  if (!OpenedPrinterName(handle)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  auto document = Documents().Take(handle);
  if (!document) SetLastError(ERROR_SPL_NO_STARTDOC);
  return document;
}

}  // namespace

void DiscardRawDocument(HANDLE handle) {
  if (auto document = Documents().Take(handle)) CancelJob(*document);
}

}  // namespace wydruki::platform

DWORD WINAPI StartDocPrinterA(HANDLE hPrinter, DWORD Level, LPBYTE pDocInfo) {
  using namespace wydruki::platform;
  const auto name = OpenedPrinterName(hPrinter);
  if (!name) return Fail(ERROR_INVALID_HANDLE);
  if (Level != 1) return Fail(ERROR_INVALID_LEVEL);
  if (pDocInfo == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  const auto& info = *reinterpret_cast<const DOC_INFO_1A*>(pDocInfo);
  if (info.pDatatype != nullptr && !EqualsIgnoreCase(info.pDatatype, "RAW"))
    return Fail(ERROR_INVALID_DATATYPE);
  if (Documents().Has(hPrinter)) return Fail(ERROR_INVALID_PRINTER_STATE);
  // The built-in printers make documents of drawn pages only.
  if (ResolveBuiltinPrinter(*name, nullptr)) return Fail(ERROR_INVALID_DATATYPE);

  DWORD error = ERROR_INVALID_PRINTER_NAME;
  auto document = std::make_unique<RawDocument>();
  document->printer = *name;
  document->destination = CupsDestination::Find(*name, &error);
  if (!document->destination) return Fail(error);
  if (!document->destination->TakesJobs()) return Fail(ERROR_INVALID_PRINTER_STATE);
  http_t* http = document->destination->http();
  cups_dest_t* dest = document->destination->dest();
  cups_dinfo_t* dinfo = document->destination->info();
  if (dinfo == nullptr) return Fail(ErrorFromIpp(cupsLastError()));

  // The queue shows the printed file's name, in UTF-8 as IPP names are.
  const std::string file = DocumentFileName(info.pDocName != nullptr ? info.pDocName : "");
  const char* title = file.empty() ? "Untitled" : file.c_str();
  int job = 0;
  if (cupsCreateDestJob(http, dest, dinfo, &job, title, 0, nullptr) > IPP_STATUS_OK_CONFLICTING ||
      job <= 0)
    return Fail(ErrorFromIpp(cupsLastError()));
  document->job = job;
  if (cupsStartDestDocument(http, dest, dinfo, job, title, CUPS_FORMAT_RAW, 0, nullptr, 1) !=
      HTTP_STATUS_CONTINUE) {
    const DWORD refused = ErrorFromIpp(cupsLastError());
    CancelJob(*document);
    return Fail(refused);
  }
  document->sending = true;
  DebugLine(DebugArea::kPrinters,
            "raw job " + std::to_string(job) + " on " + *name + " begun: " + title);
  Documents().Put(hPrinter, std::move(document));
  return static_cast<DWORD>(job);
}

BOOL WINAPI WritePrinter(HANDLE hPrinter, LPVOID pBuf, DWORD cbBuf, LPDWORD pcWritten) {
  using namespace wydruki::platform;
  if (pcWritten != nullptr) *pcWritten = 0;
  auto document = TakeDocument(hPrinter);
  if (!document) return FALSE;
  if (cbBuf > 0 && pBuf == nullptr) {
    Documents().Put(hPrinter, std::move(document));
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  bool written = document->sending;
  if (written && cbBuf > 0)
    written = cupsWriteRequestData(document->destination->http(), static_cast<const char*>(pBuf),
                                   cbBuf) == HTTP_STATUS_CONTINUE;
  if (!written) {
    // The connection broke: nothing more of this document can arrive, and what did is kept
    // apart by the scheduler. The document stays open until it is ended or aborted.
    document->sending = false;
    document->destination.reset();
  }
  Documents().Put(hPrinter, std::move(document));
  if (!written) {
    SetLastError(RPC_S_SERVER_UNAVAILABLE);
    return FALSE;
  }
  if (pcWritten != nullptr) *pcWritten = cbBuf;
  return TRUE;
}

BOOL WINAPI EndDocPrinter(HANDLE hPrinter) {
  using namespace wydruki::platform;
  auto document = TakeDocument(hPrinter);
  if (!document) return FALSE;
  if (!document->sending) {
    CancelJob(*document);
    SetLastError(RPC_S_SERVER_UNAVAILABLE);
    return FALSE;
  }
  CupsDestination& destination = *document->destination;
  const ipp_status_t finished =
      cupsFinishDestDocument(destination.http(), destination.dest(), destination.info());
  document->sending = false;
  // An error answer may be the network's, not the scheduler's, and the library reports success
  // for a connection that closed unanswered: the scheduler is asked what it holds. Only a job
  // it says it does not have whole is taken back; one it has is not sent again.
  const bool answered_ok = finished <= IPP_STATUS_OK_CONFLICTING;
  const JobFate fate = AskJobFate(document->job);
  if (fate == JobFate::kLost || (!answered_ok && fate == JobFate::kUnknown)) {
    const DWORD error = answered_ok ? ERROR_WRITE_FAULT : ErrorFromIpp(finished);
    CancelJob(*document);
    SetLastError(error);
    return FALSE;
  }
  DebugLine(DebugArea::kPrinters,
            "raw job " + std::to_string(document->job) + " on " + document->printer + " accepted");
  return TRUE;
}

BOOL WINAPI AbortPrinter(HANDLE hPrinter) {
  using namespace wydruki::platform;
  auto document = TakeDocument(hPrinter);
  if (!document) return FALSE;
  DebugLine(DebugArea::kPrinters,
            "raw job " + std::to_string(document->job) + " on " + document->printer + " cancelled");
  CancelJob(*document);
  return TRUE;
}
