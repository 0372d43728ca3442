// SPDX-License-Identifier: MIT
// The printer object: the only road from the program to a printer. It chooses the system's
// default printer on first need, holds its device mode and device context, and keeps the state
// of the one document that can be open at a time.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Graphics/Canvas.h"
#include "Base/Exceptions.h"
#include "platform/winapi.h"

namespace wydruki::printers {

class EPrinter : public Exception {
 public:
  using Exception::Exception;
};

enum class TPrinterOrientation { poPortrait = 0, poLandscape = 1 };

class TPrinterDevice {
 public:
  TPrinterDevice(std::string driver, std::string device, std::string port)
      : DriverName(std::move(driver)), DeviceName(std::move(device)), PortName(std::move(port)) {}
  // The driver takes no part: a device is its name on its port, letter case counting.
  bool SameDevice(const std::string& driver, const std::string& device,
                  const std::string& port) const;

  std::string DriverName;
  std::string DeviceName;
  std::string PortName;
};

struct PrinterListEntry {
  std::string display_name;
  std::unique_ptr<TPrinterDevice> device;
};

class TPrinter;

// The canvas bound to the printer's context: measuring works before a document is open (on an
// information context), drawing only inside a document. Its font keeps its size in points while
// its height follows the printer's resolution.
class TPrinterCanvas : public graphics::TCanvas {
 public:
  explicit TPrinterCanvas(TPrinter& owner) : OwnerPrinter(owner) {}
  // Brings the font to the printer's vertical resolution, keeping its point size.
  void MatchFontToDevice();

  TPrinter& OwnerPrinter;

 protected:
  void BeforeDrawing() override;
  void AcquireHandle() override;
};

class TPrinter {
 public:
  enum class HandleState { NoHandle, InformationHandle, DrawingHandle };

  TPrinter();
  // A document still open is finished, not cancelled: it is spooled, not lost.
  ~TPrinter();
  TPrinter(const TPrinter&) = delete;
  TPrinter& operator=(const TPrinter&) = delete;

  // Each raises EPrinter with the system's reason when the system refuses the document or a
  // page; the document is then gone, and the object is ready for the next one.
  void StartDocument();
  void NextPage();
  void FinishDocument();
  void CancelDocument();
  void SetPageOrientation(TPrinterOrientation orientation);
  // Forgets the printer list, the chosen printer, its device mode and contexts: the next use
  // looks the printers up again, as after the print system came back or changed.
  void Refresh();
  // The system's error code of the last printer call that failed (ERROR_SUCCESS after Refresh).
  DWORD LastSystemError() const { return last_system_error_; }
  int PrintableWidth();
  int PrintableHeight();
  TPrinterCanvas& PrintCanvas();

  std::string DocumentTitle;
  bool IsPrinting() const { return printing_; }
  bool IsCancelled() const { return cancelled_; }
  int CurrentPage() const { return current_page_; }

  std::vector<PrinterListEntry>& PrinterList();
  // Selects the default printer first when none is selected.
  int SelectedIndex();
  // -1 selects the default printer afresh on the next read; another index selects that entry
  // with its own device mode.
  void SetSelectedIndex(int index);
  void SelectDevice(const std::string& device, const std::string& driver, const std::string& port,
                    HGLOBAL device_mode);
  // The only place where contexts are made and deleted.
  void SetHandleState(HandleState target);

  HandleState State() const { return state_; }
  HDC DeviceContext() const { return device_context_; }
  // The context's vertical resolution, read from it once when it is made.
  int DeviceResolution() const { return device_resolution_; }
  DEVMODEA* DeviceModeView() const { return device_mode_view_; }
  HGLOBAL DeviceModeBlock() const { return device_mode_block_; }
  HANDLE SpoolerHandle() const { return spooler_handle_; }

 private:
  void BuildPrinterList();
  void SelectDefaultPrinter();
  void ReleaseDeviceMode();
  // A document call failed: the document is discarded and EPrinter carries the system's reason.
  [[noreturn]] void FailDocument();

  std::unique_ptr<TPrinterCanvas> canvas_;
  int current_page_ = 0;
  std::unique_ptr<std::vector<PrinterListEntry>> list_;
  int selected_index_ = -1;
  bool printing_ = false;
  bool cancelled_ = false;
  HandleState state_ = HandleState::NoHandle;
  HDC device_context_ = nullptr;
  int device_resolution_ = 0;
  DEVMODEA* device_mode_view_ = nullptr;
  HGLOBAL device_mode_block_ = nullptr;
  HANDLE spooler_handle_ = nullptr;
  DWORD last_system_error_ = ERROR_SUCCESS;
};

// The program's one printer object, made on first call.
TPrinter& ActivePrinter();
// Destroys the printer object now (finishing an open document); the next call makes a new one.
void FreeActivePrinter();
// Aborts the document the printer object has open, if any: the session is ending and a
// document finished now would be spooled cut short.
void AbortOpenDocument();

// The next field of a comma-separated list: skips blanks, ends the field at a comma (which is
// overwritten by a terminator, the cursor moving past it) or at the end of the text (the cursor
// staying there). A cursor that is none yields none.
char* NextCommaField(char*& cursor);

// Called by the system while it spools: lets the program handle its waiting window messages,
// then answers whether printing should go on (not when the document is being cancelled).
BOOL CALLBACK PrintAbortCallback(HDC context, int error);

}  // namespace wydruki::printers
