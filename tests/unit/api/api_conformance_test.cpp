// SPDX-License-Identifier: MIT
// The platform header against the Windows API as Microsoft documents it. The same file is
// compiled against the system's <windows.h> in the Windows builds and against our own
// declarations on Linux, so a type, a field, a constant or a signature that drifts from the
// real API breaks one of the builds.
#include <gtest/gtest.h>

#include <cstddef>
#include <type_traits>

#include "platform/winapi.h"

#define SIGNATURE(function, type) \
  static_assert(std::is_same_v<decltype(&::function), type>, #function " as documented")

// kernel32
SIGNATURE(CreateFileA,
          HANDLE(WINAPI*)(LPCSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE));
SIGNATURE(ReadFile, BOOL(WINAPI*)(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED));
SIGNATURE(WriteFile, BOOL(WINAPI*)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED));
SIGNATURE(SetFilePointer, DWORD(WINAPI*)(HANDLE, LONG, PLONG, DWORD));
SIGNATURE(GetFileSize, DWORD(WINAPI*)(HANDLE, LPDWORD));
SIGNATURE(CloseHandle, BOOL(WINAPI*)(HANDLE));
SIGNATURE(DeleteFileA, BOOL(WINAPI*)(LPCSTR));
SIGNATURE(FindFirstFileA, HANDLE(WINAPI*)(LPCSTR, LPWIN32_FIND_DATAA));
SIGNATURE(FindClose, BOOL(WINAPI*)(HANDLE));
SIGNATURE(FileTimeToLocalFileTime, BOOL(WINAPI*)(const FILETIME*, LPFILETIME));
SIGNATURE(FileTimeToDosDateTime, BOOL(WINAPI*)(const FILETIME*, LPWORD, LPWORD));
SIGNATURE(CreateMutexA, HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, BOOL, LPCSTR));
SIGNATURE(LockFileEx, BOOL(WINAPI*)(HANDLE, DWORD, DWORD, DWORD, DWORD, LPOVERLAPPED));
SIGNATURE(UnlockFileEx, BOOL(WINAPI*)(HANDLE, DWORD, DWORD, DWORD, LPOVERLAPPED));
SIGNATURE(SetEndOfFile, BOOL(WINAPI*)(HANDLE));
SIGNATURE(GetComputerNameA, BOOL(WINAPI*)(LPSTR, LPDWORD));
SIGNATURE(InitializeSecurityDescriptor, BOOL(WINAPI*)(PSECURITY_DESCRIPTOR, DWORD));
SIGNATURE(SetSecurityDescriptorDacl, BOOL(WINAPI*)(PSECURITY_DESCRIPTOR, BOOL, PACL, BOOL));
SIGNATURE(WinExec, UINT(WINAPI*)(LPCSTR, UINT));
SIGNATURE(GetProfileStringA, DWORD(WINAPI*)(LPCSTR, LPCSTR, LPCSTR, LPSTR, DWORD));
SIGNATURE(GlobalAlloc, HGLOBAL(WINAPI*)(UINT, SIZE_T));
SIGNATURE(GlobalLock, LPVOID(WINAPI*)(HGLOBAL));
SIGNATURE(GlobalUnlock, BOOL(WINAPI*)(HGLOBAL));
SIGNATURE(GlobalFree, HGLOBAL(WINAPI*)(HGLOBAL));
SIGNATURE(MulDiv, int(WINAPI*)(int, int, int));
// The system's declaration carries an attribute that a template argument would drop: the
// documented type is checked by initialising a pointer of that type instead.
[[maybe_unused]] DWORD(WINAPI* const kFormatMessageA)(DWORD, LPCVOID, DWORD, DWORD, LPSTR, DWORD,
                                                     va_list*) = &::FormatMessageA;
static_assert(FORMAT_MESSAGE_FROM_SYSTEM == 0x00001000 &&
              FORMAT_MESSAGE_IGNORE_INSERTS == 0x00000200);
SIGNATURE(GetModuleFileNameA, DWORD(WINAPI*)(HMODULE, LPSTR, DWORD));
SIGNATURE(GetModuleHandleA, HMODULE(WINAPI*)(LPCSTR));
SIGNATURE(GetStartupInfoA, void(WINAPI*)(LPSTARTUPINFOA));
SIGNATURE(InitializeCriticalSection, void(WINAPI*)(LPCRITICAL_SECTION));
SIGNATURE(EnterCriticalSection, void(WINAPI*)(LPCRITICAL_SECTION));
SIGNATURE(LeaveCriticalSection, void(WINAPI*)(LPCRITICAL_SECTION));
SIGNATURE(DeleteCriticalSection, void(WINAPI*)(LPCRITICAL_SECTION));
SIGNATURE(GetLastError, DWORD(WINAPI*)());
SIGNATURE(SetLastError, void(WINAPI*)(DWORD));
SIGNATURE(GetCurrentThreadId, DWORD(WINAPI*)());

// user32
SIGNATURE(RegisterClassA, ATOM(WINAPI*)(const WNDCLASSA*));
SIGNATURE(GetClassInfoA, BOOL(WINAPI*)(HINSTANCE, LPCSTR, LPWNDCLASSA));
SIGNATURE(UnregisterClassA, BOOL(WINAPI*)(LPCSTR, HINSTANCE));
SIGNATURE(CreateWindowExA, HWND(WINAPI*)(DWORD, LPCSTR, LPCSTR, DWORD, int, int, int, int, HWND,
                                         HMENU, HINSTANCE, LPVOID));
SIGNATURE(DestroyWindow, BOOL(WINAPI*)(HWND));
SIGNATURE(DefWindowProcA, LRESULT(WINAPI*)(HWND, UINT, WPARAM, LPARAM));
SIGNATURE(PostMessageA, BOOL(WINAPI*)(HWND, UINT, WPARAM, LPARAM));
SIGNATURE(SendMessageA, LRESULT(WINAPI*)(HWND, UINT, WPARAM, LPARAM));
SIGNATURE(PeekMessageA, BOOL(WINAPI*)(LPMSG, HWND, UINT, UINT, UINT));
SIGNATURE(TranslateMessage, BOOL(WINAPI*)(const MSG*));
SIGNATURE(DispatchMessageA, LRESULT(WINAPI*)(const MSG*));
SIGNATURE(WaitMessage, BOOL(WINAPI*)());
SIGNATURE(PostQuitMessage, void(WINAPI*)(int));
SIGNATURE(SetTimer, UINT_PTR(WINAPI*)(HWND, UINT_PTR, UINT, TIMERPROC));
SIGNATURE(KillTimer, BOOL(WINAPI*)(HWND, UINT_PTR));
SIGNATURE(ShowWindow, BOOL(WINAPI*)(HWND, int));
SIGNATURE(SetWindowPos, BOOL(WINAPI*)(HWND, HWND, int, int, int, int, UINT));
SIGNATURE(IsWindowVisible, BOOL(WINAPI*)(HWND));
SIGNATURE(EnableWindow, BOOL(WINAPI*)(HWND, BOOL));
SIGNATURE(EnumThreadWindows, BOOL(WINAPI*)(DWORD, WNDENUMPROC, LPARAM));
SIGNATURE(GetActiveWindow, HWND(WINAPI*)());
SIGNATURE(SetActiveWindow, HWND(WINAPI*)(HWND));
SIGNATURE(SetForegroundWindow, BOOL(WINAPI*)(HWND));
SIGNATURE(GetCursorPos, BOOL(WINAPI*)(LPPOINT));
SIGNATURE(MessageBoxA, int(WINAPI*)(HWND, LPCSTR, LPCSTR, UINT));
SIGNATURE(GetSystemMetrics, int(WINAPI*)(int));
SIGNATURE(GetSysColor, DWORD(WINAPI*)(int));
SIGNATURE(SetWindowTextA, BOOL(WINAPI*)(HWND, LPCSTR));
SIGNATURE(GetWindowTextA, int(WINAPI*)(HWND, LPSTR, int));
SIGNATURE(GetSystemMenu, HMENU(WINAPI*)(HWND, BOOL));
SIGNATURE(DeleteMenu, BOOL(WINAPI*)(HMENU, UINT, UINT));
SIGNATURE(CreatePopupMenu, HMENU(WINAPI*)());
SIGNATURE(AppendMenuA, BOOL(WINAPI*)(HMENU, UINT, UINT_PTR, LPCSTR));
SIGNATURE(EnableMenuItem, BOOL(WINAPI*)(HMENU, UINT, UINT));
SIGNATURE(TrackPopupMenu, BOOL(WINAPI*)(HMENU, UINT, int, int, int, HWND, const RECT*));
SIGNATURE(LoadIconA, HICON(WINAPI*)(HINSTANCE, LPCSTR));
SIGNATURE(LoadImageA, HANDLE(WINAPI*)(HINSTANCE, LPCSTR, UINT, int, int, UINT));
SIGNATURE(DestroyIcon, BOOL(WINAPI*)(HICON));
SIGNATURE(GetDC, HDC(WINAPI*)(HWND));
SIGNATURE(ReleaseDC, int(WINAPI*)(HWND, HDC));
SIGNATURE(FillRect, int(WINAPI*)(HDC, const RECT*, HBRUSH));

// gdi32
SIGNATURE(CreateDCA, HDC(WINAPI*)(LPCSTR, LPCSTR, LPCSTR, const DEVMODEA*));
SIGNATURE(CreateICA, HDC(WINAPI*)(LPCSTR, LPCSTR, LPCSTR, const DEVMODEA*));
SIGNATURE(DeleteDC, BOOL(WINAPI*)(HDC));
SIGNATURE(GetDeviceCaps, int(WINAPI*)(HDC, int));
SIGNATURE(CreateFontIndirectA, HFONT(WINAPI*)(const LOGFONTA*));
SIGNATURE(GetObjectA, int(WINAPI*)(HANDLE, int, LPVOID));
SIGNATURE(GetTextMetricsA, BOOL(WINAPI*)(HDC, LPTEXTMETRICA));
SIGNATURE(GetTextFaceA, int(WINAPI*)(HDC, int, LPSTR));
SIGNATURE(GetTextExtentPointA, BOOL(WINAPI*)(HDC, LPCSTR, int, LPSIZE));
SIGNATURE(TextOutA, BOOL(WINAPI*)(HDC, int, int, LPCSTR, int));
SIGNATURE(CreatePenIndirect, HPEN(WINAPI*)(const LOGPEN*));
SIGNATURE(CreateBrushIndirect, HBRUSH(WINAPI*)(const LOGBRUSH*));
SIGNATURE(GetStockObject, HGDIOBJ(WINAPI*)(int));
SIGNATURE(DeleteObject, BOOL(WINAPI*)(HGDIOBJ));
SIGNATURE(SelectObject, HGDIOBJ(WINAPI*)(HDC, HGDIOBJ));
SIGNATURE(UnrealizeObject, BOOL(WINAPI*)(HGDIOBJ));
SIGNATURE(SetTextColor, COLORREF(WINAPI*)(HDC, COLORREF));
SIGNATURE(SetBkColor, COLORREF(WINAPI*)(HDC, COLORREF));
SIGNATURE(SetBkMode, int(WINAPI*)(HDC, int));
SIGNATURE(SetROP2, int(WINAPI*)(HDC, int));
SIGNATURE(MoveToEx, BOOL(WINAPI*)(HDC, int, int, LPPOINT));
SIGNATURE(GetCurrentPositionEx, BOOL(WINAPI*)(HDC, LPPOINT));
SIGNATURE(SetAbortProc, int(WINAPI*)(HDC, ABORTPROC));
SIGNATURE(StartDocA, int(WINAPI*)(HDC, const DOCINFOA*));
SIGNATURE(StartPage, int(WINAPI*)(HDC));
SIGNATURE(EndPage, int(WINAPI*)(HDC));
SIGNATURE(EndDoc, int(WINAPI*)(HDC));
SIGNATURE(AbortDoc, int(WINAPI*)(HDC));

// winspool and shell32
SIGNATURE(EnumPrintersA, BOOL(WINAPI*)(DWORD, LPSTR, DWORD, LPBYTE, DWORD, LPDWORD, LPDWORD));
SIGNATURE(OpenPrinterA, BOOL(WINAPI*)(LPSTR, LPHANDLE, LPPRINTER_DEFAULTSA));
SIGNATURE(ClosePrinter, BOOL(WINAPI*)(HANDLE));
SIGNATURE(DocumentPropertiesA, LONG(WINAPI*)(HWND, HANDLE, LPSTR, PDEVMODEA, PDEVMODEA, DWORD));
SIGNATURE(Shell_NotifyIconA, BOOL(WINAPI*)(DWORD, PNOTIFYICONDATAA));

// Constants the program relies on.
static_assert(GHND == 0x42 && GMEM_MOVEABLE == 0x2 && GMEM_ZEROINIT == 0x40);
static_assert(HORZRES == 8 && VERTRES == 10 && LOGPIXELSY == 90 && LOGPIXELSX == 88);
static_assert(PHYSICALWIDTH == 110 && PHYSICALHEIGHT == 111 && PHYSICALOFFSETX == 112);
static_assert(BLACK_PEN == 7 && NULL_BRUSH == 5 && SYSTEM_FONT == 13);
static_assert(EASTEUROPE_CHARSET == 238 && DEFAULT_CHARSET == 1 && FW_BOLD == 700);
static_assert(DM_OUT_BUFFER == 2 && DMORIENT_PORTRAIT == 1 && DMORIENT_LANDSCAPE == 2);
static_assert(PRINTER_ENUM_LOCAL == 2 && PRINTER_ENUM_CONNECTIONS == 4);
static_assert(PRINTER_ATTRIBUTE_DEFAULT == 4 && VER_PLATFORM_WIN32_NT == 2);
static_assert(WM_USER == 1024 && WM_TIMER == 0x113 && WM_QUIT == 0x12 && WM_CLOSE == 0x10);
static_assert(WM_LBUTTONDOWN == 513 && WM_MBUTTONDBLCLK == 521 && SW_SHOWDEFAULT == 10);
static_assert(NIM_ADD == 0 && NIM_MODIFY == 1 && NIM_DELETE == 2);
static_assert((NIF_MESSAGE | NIF_ICON | NIF_TIP) == 7);
static_assert(ERROR_ALREADY_EXISTS == 183 && ERROR_SHARING_VIOLATION == 32);
static_assert(LOCKFILE_FAIL_IMMEDIATELY == 1 && LOCKFILE_EXCLUSIVE_LOCK == 2);
static_assert(ERROR_LOCK_VIOLATION == 33 && SECURITY_DESCRIPTOR_REVISION == 1);
static_assert(SE_DACL_PRESENT == 4 && MAX_COMPUTERNAME_LENGTH == 15);
static_assert(OPAQUE == 2 && TRANSPARENT == 1 && R2_COPYPEN == 13 && MB_ICONSTOP == 0x10);
static_assert(BM_GETIMAGE == 0xF6 && BM_SETIMAGE == 0xF7 && IMAGE_ICON == 1 && LR_SHARED == 0x8000);

#if defined(_WIN32) && !defined(_WIN64)
// The 32-bit program's records, checked when it is compiled (it cannot run on every machine
// that builds it).
static_assert(sizeof(LOGFONTA) == 60);
static_assert(NOTIFYICONDATAA_V1_SIZE == 88);
static_assert(sizeof(DOCINFOA) == 20);
static_assert(sizeof(PRINTER_INFO_4A) == 12 && sizeof(PRINTER_INFO_5A) == 20);
#endif

namespace {

TEST(ApiRecords, FieldsSitWhereTheWindowsRecordsHaveThem) {
  EXPECT_EQ(sizeof(LOGFONTA), 60u);
  EXPECT_EQ(offsetof(LOGFONTA, lfFaceName), 28u);
  EXPECT_EQ(sizeof(DEVMODEA), 156u);
  EXPECT_EQ(offsetof(DEVMODEA, dmFields), 40u);
  EXPECT_EQ(offsetof(DEVMODEA, dmOrientation), 44u);
  EXPECT_EQ(sizeof(TEXTMETRICA), 56u);
  EXPECT_EQ(offsetof(TEXTMETRICA, tmPitchAndFamily), 51u);
  EXPECT_EQ(sizeof(FILETIME), 8u);
  EXPECT_EQ(sizeof(POINT), 8u);
  EXPECT_EQ(offsetof(NOTIFYICONDATAA, szTip), 4 + 5 * sizeof(void*) - (sizeof(void*) == 4 ? 0 : 4));
  EXPECT_EQ(NOTIFYICONDATAA_V1_SIZE, offsetof(NOTIFYICONDATAA, szTip) + 64);
  if (sizeof(void*) == 4) {  // the 32-bit program
    EXPECT_EQ(NOTIFYICONDATAA_V1_SIZE, 88u);
    EXPECT_EQ(sizeof(DOCINFOA), 20u);
    EXPECT_EQ(sizeof(PRINTER_INFO_4A), 12u);
    EXPECT_EQ(sizeof(PRINTER_INFO_5A), 20u);
  } else {
    EXPECT_EQ(sizeof(DOCINFOA), 40u);
    EXPECT_EQ(sizeof(PRINTER_INFO_4A), 24u);
    EXPECT_EQ(sizeof(PRINTER_INFO_5A), 32u);
  }
}

TEST(ApiValues, ArithmeticTheProgramAsksOfTheSystem) {
  EXPECT_EQ(MulDiv(10, 600, 72), 83);
  EXPECT_EQ(MulDiv(-10, 600, 72), -83);
  EXPECT_EQ(MulDiv(1, 1, 2), 1) << "halves round away from zero";
  EXPECT_EQ(MulDiv(-1, 1, 2), -1);
  EXPECT_EQ(MulDiv(5, 7, 0), -1);
  EXPECT_EQ(RGB(1, 2, 3), 0x030201u);
}

}  // namespace
