// SPDX-License-Identifier: MIT
// The fixed English texts of the errors the framework and the print surface raise, kept with
// the program's other resources as a string table is on Windows. The user sees them exactly
// as they stand, in the message box that reports an error.
#pragma once

namespace wydruki::resources {

// The printer object.
inline constexpr const char* kPrintingInProgress = "Printing in progress";
inline constexpr const char* kNotPrinting = "Printer is not currently printing";
inline constexpr const char* kPrinterNotValid = "Printer selected is not valid";
inline constexpr const char* kNoDefaultPrinter = "There is no default printer currently selected";
inline constexpr const char* kNotSupported = "Operation not supported on selected printer";
inline constexpr const char* kPrinterIndexOutOfRange = "Printer index out of range";

// The canvas and the pictures.
inline constexpr const char* kCanvasNoDrawing = "Canvas does not allow drawing";
inline constexpr const char* kInvalidIcon = "Icon image is not valid";

// The application, its forms, timers and components.
inline constexpr const char* kNoTimers = "Not enough timers available";
inline constexpr const char* kVisibleModal = "Cannot make a visible window modal";
inline constexpr const char* kVisibleInShowHide = "Cannot change Visible in OnShow or OnHide";
inline constexpr const char* kWindowClassFailed = "Error creating window class";
inline constexpr const char* kWindowFailed = "Error creating window";
inline constexpr const char* kInvalidCast = "Invalid class typecast";

}  // namespace wydruki::resources
