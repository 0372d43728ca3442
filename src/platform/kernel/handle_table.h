// SPDX-License-Identifier: MIT
// The process's table of kernel handles (files, searches, mutexes).
//
// A handle is an opaque number that is only ever looked up here, never dereferenced, so a
// stale, forged or foreign handle fails cleanly with ERROR_INVALID_HANDLE. Objects are shared:
// a call that is using one keeps it alive even if another thread closes the handle meanwhile.
#pragma once

#include <functional>
#include <memory>

#include "platform/api/types.h"

namespace wydruki::platform {

class KernelObject {
 public:
  virtual ~KernelObject() = default;
  // Whether CloseHandle may close it (a search is closed only by FindClose).
  virtual bool ClosedByCloseHandle() const { return true; }
};

// Enters `object` into the table; nullptr (ERROR_NOT_ENOUGH_MEMORY) when it cannot.
HANDLE AddHandle(std::shared_ptr<KernelObject> object);

// The object behind `handle` when it is of type T; nullptr otherwise (the last error is not
// touched: the caller says what failed).
std::shared_ptr<KernelObject> FindHandle(HANDLE handle);

template <typename T>
std::shared_ptr<T> FindHandleOf(HANDLE handle) {
  return std::dynamic_pointer_cast<T>(FindHandle(handle));
}

// Takes `handle` out of the table and returns its object; nullptr, leaving the table as it was,
// when the handle is unknown or `accept` refuses its object. The object ends when the last
// user lets go of it.
std::shared_ptr<KernelObject> RemoveHandle(
    HANDLE handle, const std::function<bool(const KernelObject&)>& accept = nullptr);

}  // namespace wydruki::platform
