// SPDX-License-Identifier: MIT
#include "Printers/Printer.h"

#include <cstring>

#include "Base/MessagePump.h"
#include "Graphics/GraphicsStartUp.h"
#include "Base/SystemError.h"
#include "Printers/DefaultPrinter.h"
#include "resources/MessageTexts.h"

namespace wydruki::printers {
namespace {

using resources::kNotPrinting;
using resources::kPrintingInProgress;

std::string OnPort(const std::string& device, const std::string& port) {
  return device + " on " + port;
}

// A name the printer list left empty is passed as none. On NT the list gives neither driver nor
// port; the system then finds the printer's own, whereas an empty port is taken as a port named
// "" that the spooler cannot write to, and every document made on it is lost.
const char* NameOrNone(const std::string& name) { return name.empty() ? nullptr : name.c_str(); }

bool RunningOnNt() {
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  const BOOL known = GetVersionExA(&version);
#pragma GCC diagnostic pop
  return known && version.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

std::unique_ptr<TPrinter>& PrinterSlot() {
  // The drawing tools' caches are set up first, so they outlive the printer's canvas.
  graphics::FontCache();
  graphics::PenCache();
  graphics::BrushCache();
  graphics::LiveCanvases::Count();
  static std::unique_ptr<TPrinter> printer;
  return printer;
}

}  // namespace

bool TPrinterDevice::SameDevice(const std::string&, const std::string& device,
                                const std::string& port) const {
  return DeviceName == device && PortName == port;
}

char* NextCommaField(char*& cursor) {
  if (cursor == nullptr) return nullptr;
  while (*cursor == ' ') ++cursor;
  char* field = cursor;
  while (*cursor != '\0' && *cursor != ',') ++cursor;
  if (*cursor == ',') {
    *cursor = '\0';
    ++cursor;
  }
  return field;
}

BOOL CALLBACK PrintAbortCallback(HDC, int) {
  // While the spooler works, the program goes on handling its messages.
  base::PumpMessages();
  return ActivePrinter().IsCancelled() ? FALSE : TRUE;
}

TPrinter& ActivePrinter() {
  auto& slot = PrinterSlot();
  if (!slot) slot = std::make_unique<TPrinter>();
  return *slot;
}

void FreeActivePrinter() { PrinterSlot().reset(); }

void AbortOpenDocument() {
  auto& slot = PrinterSlot();
  if (slot && slot->IsPrinting()) slot->CancelDocument();
}

// ---- TPrinter

TPrinter::TPrinter() = default;

TPrinter::~TPrinter() {
  // Nothing may escape a destructor; the object is going away whatever the printer says.
  try {
    if (printing_) FinishDocument();
    SetHandleState(HandleState::NoHandle);
  } catch (const Exception&) {
  }
  list_.reset();
  canvas_.reset();
  if (device_context_ != nullptr) DeleteDC(device_context_);
  ReleaseDeviceMode();
  if (spooler_handle_ != nullptr) ClosePrinter(spooler_handle_);
}

void TPrinter::ReleaseDeviceMode() {
  if (device_mode_block_ != nullptr) {
    GlobalUnlock(device_mode_block_);
    GlobalFree(device_mode_block_);
  }
  device_mode_block_ = nullptr;
  device_mode_view_ = nullptr;
}

std::vector<PrinterListEntry>& TPrinter::PrinterList() {
  if (!list_) BuildPrinterList();
  return *list_;
}

void TPrinter::BuildPrinterList() {
  // Built aside and stored whole: an error half-way leaves no list, and the next call tries again.
  auto list = std::make_unique<std::vector<PrinterListEntry>>();
  const bool nt = RunningOnNt();
  const DWORD flags = nt ? (PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS) : PRINTER_ENUM_LOCAL;
  const DWORD level = nt ? 4 : 5;
  DWORD needed = 0;
  DWORD returned = 0;
  EnumPrintersA(flags, nullptr, level, nullptr, 0, &needed, &returned);
  if (needed > 0) {
    std::vector<BYTE> buffer(needed);
    if (EnumPrintersA(flags, nullptr, level, buffer.data(), needed, &needed, &returned)) {
      for (DWORD i = 0; i < returned; ++i) {
        if (level == 4) {
          const auto* info = reinterpret_cast<const PRINTER_INFO_4A*>(buffer.data()) + i;
          const std::string name = info->pPrinterName != nullptr ? info->pPrinterName : "";
          list->push_back({name, std::make_unique<TPrinterDevice>("", name, "")});
        } else {
          const auto* info = reinterpret_cast<const PRINTER_INFO_5A*>(buffer.data()) + i;
          const std::string name = info->pPrinterName != nullptr ? info->pPrinterName : "";
          if (info->pPortName == nullptr) continue;
          std::string ports = info->pPortName;
          char* cursor = ports.data();
          for (;;) {
            const char* port = NextCommaField(cursor);
            if (port == nullptr || *port == '\0') break;
            list->push_back({OnPort(name, port), std::make_unique<TPrinterDevice>("", name, port)});
          }
        }
      }
    }
  }
  list_ = std::move(list);
}

void TPrinter::SelectDefaultPrinter() {
  const std::string device = DefaultDeviceName();
  auto& list = PrinterList();
  for (const auto& entry : list) {
    // Printer names ignore letter case, as the spooler's own do.
    if (SamePrinterName(entry.device->DeviceName, device)) {
      // Copies: selecting may append to the list.
      const TPrinterDevice chosen = *entry.device;
      SelectDevice(chosen.DeviceName, chosen.DriverName, chosen.PortName, nullptr);
      return;
    }
  }
  throw EPrinter(resources::kNoDefaultPrinter);
}

int TPrinter::SelectedIndex() {
  if (selected_index_ == -1) SelectDefaultPrinter();
  return selected_index_;
}

void TPrinter::SetSelectedIndex(int index) {
  if (printing_) throw EPrinter(kPrintingInProgress);
  if (index == -1) {
    SelectDefaultPrinter();
    selected_index_ = -1;
    return;
  }
  SelectedIndex();
  auto& list = PrinterList();
  if (index < 0 || index >= static_cast<int>(list.size()))
    throw EPrinter(resources::kPrinterIndexOutOfRange);
  // The printer chosen by index gets its own device mode, not the one of the printer before it.
  const TPrinterDevice chosen = *list[static_cast<std::size_t>(index)].device;
  SelectDevice(chosen.DeviceName, chosen.DriverName, chosen.PortName, nullptr);
  selected_index_ = index;
  SetHandleState(HandleState::NoHandle);
}

void TPrinter::SelectDevice(const std::string& device, const std::string& driver,
                            const std::string& port, HGLOBAL device_mode) {
  if (printing_) throw EPrinter(kPrintingInProgress);
  if (device_mode != device_mode_block_) {
    ReleaseDeviceMode();
    device_mode_block_ = device_mode;
    if (device_mode_block_ != nullptr)
      device_mode_view_ = static_cast<DEVMODEA*>(GlobalLock(device_mode_block_));
  }
  if (spooler_handle_ != nullptr) {
    ClosePrinter(spooler_handle_);
    spooler_handle_ = nullptr;
  }
  SetHandleState(HandleState::NoHandle);

  auto& list = PrinterList();
  int index = -1;
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (list[i].device->SameDevice(driver, device, port)) {
      index = static_cast<int>(i);
      break;
    }
  }
  if (index == -1) {
    list.push_back({OnPort(device, port), std::make_unique<TPrinterDevice>(driver, device, port)});
    index = static_cast<int>(list.size()) - 1;
  }
  selected_index_ = index;

  std::string name = device;
  HANDLE opened = nullptr;
  if (!OpenPrinterA(name.data(), &opened, nullptr)) return;
  spooler_handle_ = opened;
  if (device_mode_block_ != nullptr) return;
  const LONG size = DocumentPropertiesA(nullptr, spooler_handle_, name.data(), nullptr, nullptr, 0);
  if (size <= 0) return;  // the driver has no device mode to give
  device_mode_block_ = GlobalAlloc(GHND, static_cast<SIZE_T>(size));
  if (device_mode_block_ == nullptr) return;
  device_mode_view_ = static_cast<DEVMODEA*>(GlobalLock(device_mode_block_));
  if (device_mode_view_ == nullptr ||
      DocumentPropertiesA(nullptr, spooler_handle_, name.data(), device_mode_view_, nullptr,
                          DM_OUT_BUFFER) < 0)
    ReleaseDeviceMode();
}

void TPrinter::SetHandleState(HandleState target) {
  if (target == state_) return;
  if (target == HandleState::NoHandle) {
    if (printing_) throw EPrinter(kPrintingInProgress);
    if (canvas_) canvas_->SetDeviceHandle(nullptr);
    if (device_context_ != nullptr) DeleteDC(device_context_);
    device_context_ = nullptr;
    state_ = target;
    return;
  }
  if (target == HandleState::InformationHandle && state_ == HandleState::DrawingHandle) return;
  if (target == HandleState::DrawingHandle) {
    if (canvas_) canvas_->SetDeviceHandle(nullptr);
    if (device_context_ != nullptr) DeleteDC(device_context_);
    device_context_ = nullptr;
  }
  const auto& entry = *PrinterList()[static_cast<std::size_t>(SelectedIndex())].device;
  const HDC made = target == HandleState::InformationHandle
                       ? CreateICA(NameOrNone(entry.DriverName), entry.DeviceName.c_str(),
                                   NameOrNone(entry.PortName), device_mode_view_)
                       : CreateDCA(NameOrNone(entry.DriverName), entry.DeviceName.c_str(),
                                   NameOrNone(entry.PortName), device_mode_view_);
  if (made == nullptr) {
    last_system_error_ = GetLastError();
    // No context is held now; the next operation that needs one tries again.
    if (state_ != HandleState::NoHandle && device_context_ == nullptr)
      state_ = HandleState::NoHandle;
    throw EPrinter(resources::kPrinterNotValid);
  }
  device_context_ = made;
  // A context's resolution never changes; the canvas asks for it before every character.
  device_resolution_ = GetDeviceCaps(device_context_, LOGPIXELSY);
  if (canvas_) canvas_->SetDeviceHandle(device_context_);
  state_ = target;
}

TPrinterCanvas& TPrinter::PrintCanvas() {
  if (!canvas_) canvas_ = std::make_unique<TPrinterCanvas>(*this);
  return *canvas_;
}

void TPrinter::StartDocument() {
  if (printing_) throw EPrinter(kPrintingInProgress);
  SetHandleState(HandleState::DrawingHandle);
  PrintCanvas().ReleaseSelections();
  PrintCanvas().MatchFontToDevice();
  printing_ = true;
  cancelled_ = false;
  current_page_ = 1;
  DOCINFOA info;
  std::memset(&info, 0, sizeof info);
  info.cbSize = sizeof info;
  // The whole title: the system names the job and its output after the printed file, which a
  // cut after 31 characters would lose in a long directory path.
  info.lpszDocName = DocumentTitle.c_str();
  SetAbortProc(device_context_, PrintAbortCallback);
  if (StartDocA(device_context_, &info) <= 0) FailDocument();
  if (StartPage(device_context_) <= 0) FailDocument();
}

void TPrinter::FailDocument() {
  // The reason is read before anything else can overwrite the last error.
  last_system_error_ = GetLastError();
  const std::string reason = SystemErrorText(last_system_error_);
  // Whatever the system still holds of the document is discarded: a failed document never
  // reaches the printer, and the object is ready for the next one.
  AbortDoc(device_context_);
  printing_ = false;
  cancelled_ = false;
  current_page_ = 0;
  throw EPrinter(reason);
}

void TPrinter::Refresh() {
  if (printing_) throw EPrinter(kPrintingInProgress);
  SetHandleState(HandleState::NoHandle);
  list_.reset();
  selected_index_ = -1;
  ReleaseDeviceMode();
  if (spooler_handle_ != nullptr) ClosePrinter(spooler_handle_);
  spooler_handle_ = nullptr;
  last_system_error_ = ERROR_SUCCESS;
}

void TPrinter::NextPage() {
  if (!printing_) throw EPrinter(kNotPrinting);
  if (EndPage(device_context_) <= 0) FailDocument();
  if (StartPage(device_context_) <= 0) FailDocument();
  ++current_page_;
  PrintCanvas().ReleaseSelections();
}

void TPrinter::FinishDocument() {
  if (!printing_) throw EPrinter(kNotPrinting);
  if (cancelled_) {
    // The document was aborted already; there is no page left to end.
    printing_ = false;
    cancelled_ = false;
    current_page_ = 0;
    return;
  }
  if (EndPage(device_context_) <= 0) FailDocument();
  if (EndDoc(device_context_) <= 0) FailDocument();
  printing_ = false;
  current_page_ = 0;
}

void TPrinter::CancelDocument() {
  if (!printing_) throw EPrinter(kNotPrinting);
  AbortDoc(PrintCanvas().DeviceHandle());
  cancelled_ = true;
  FinishDocument();
}

void TPrinter::SetPageOrientation(TPrinterOrientation orientation) {
  if (printing_) throw EPrinter(kPrintingInProgress);
  SelectedIndex();
  if (device_mode_block_ == nullptr || device_mode_view_ == nullptr)
    throw EPrinter(resources::kNotSupported);
  SetHandleState(HandleState::NoHandle);
  device_mode_view_->dmOrientation = static_cast<short>(
      orientation == TPrinterOrientation::poPortrait ? DMORIENT_PORTRAIT : DMORIENT_LANDSCAPE);
}

int TPrinter::PrintableWidth() {
  SetHandleState(HandleState::InformationHandle);
  return GetDeviceCaps(device_context_, HORZRES);
}

int TPrinter::PrintableHeight() {
  SetHandleState(HandleState::InformationHandle);
  return GetDeviceCaps(device_context_, VERTRES);
}

// ---- TPrinterCanvas

void TPrinterCanvas::MatchFontToDevice() {
  const int resolution = OwnerPrinter.DeviceResolution();
  if (resolution <= 0 || resolution == Font().Resolution()) return;
  const int points = Font().Size();
  Font().SetResolution(resolution);
  Font().SetSize(points);
}

void TPrinterCanvas::AcquireHandle() {
  OwnerPrinter.SetHandleState(TPrinter::HandleState::InformationHandle);
  MatchFontToDevice();
  SetDeviceHandle(OwnerPrinter.DeviceContext());
}

void TPrinterCanvas::BeforeDrawing() {
  if (!OwnerPrinter.IsPrinting()) throw EPrinter(kNotPrinting);
  TCanvas::BeforeDrawing();
  MatchFontToDevice();
}

}  // namespace wydruki::printers
