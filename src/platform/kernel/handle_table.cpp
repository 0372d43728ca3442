// SPDX-License-Identifier: MIT
#include "kernel/handle_table.h"

#include <mutex>
#include <unordered_map>

#include "platform/api/kernel.h"

namespace wydruki::platform {
namespace {

struct Table {
  std::mutex lock;
  std::unordered_map<ULONG_PTR, std::shared_ptr<KernelObject>> objects;
  // Handle values are multiples of four, as on Windows, and never reused soon, so a handle
  // kept after CloseHandle fails instead of reaching a newer object.
  ULONG_PTR next = 0x1000;
};

Table& TheTable() {
  static Table table;
  return table;
}

}  // namespace

HANDLE AddHandle(std::shared_ptr<KernelObject> object) {
  if (!object) return nullptr;
  Table& table = TheTable();
  std::lock_guard guard(table.lock);
  ULONG_PTR value = table.next;
  while (value == 0 || table.objects.count(value) != 0 ||
         value == static_cast<ULONG_PTR>(reinterpret_cast<LONG_PTR>(INVALID_HANDLE_VALUE))) {
    value += 4;
  }
  table.next = value + 4;
  table.objects.emplace(value, std::move(object));
  return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelObject> FindHandle(HANDLE handle) {
  Table& table = TheTable();
  std::lock_guard guard(table.lock);
  const auto it = table.objects.find(reinterpret_cast<ULONG_PTR>(handle));
  return it == table.objects.end() ? nullptr : it->second;
}

std::shared_ptr<KernelObject> RemoveHandle(HANDLE handle,
                                           const std::function<bool(const KernelObject&)>& accept) {
  Table& table = TheTable();
  std::shared_ptr<KernelObject> object;
  {
    std::lock_guard guard(table.lock);
    const auto it = table.objects.find(reinterpret_cast<ULONG_PTR>(handle));
    if (it == table.objects.end()) return nullptr;
    if (accept && !accept(*it->second)) return nullptr;
    object = std::move(it->second);
    table.objects.erase(it);
  }
  return object;
}

}  // namespace wydruki::platform

BOOL WINAPI CloseHandle(HANDLE hObject) {
  using wydruki::platform::KernelObject;
  const auto object = wydruki::platform::RemoveHandle(
      hObject, [](const KernelObject& candidate) { return candidate.ClosedByCloseHandle(); });
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}
