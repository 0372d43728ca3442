// SPDX-License-Identifier: MIT
// Critical sections: recursive locks within the process. The Windows record keeps a pointer to
// our lock in LockSemaphore and mirrors the owner and depth in OwningThread and RecursionCount.
#include <atomic>
#include <mutex>

#include "platform/api/kernel.h"

namespace {

struct SectionLock {
  std::recursive_mutex mutex;
  std::atomic<DWORD> owner{0};
  LONG depth = 0;  // changed only by the owner
};

SectionLock* LockOf(LPCRITICAL_SECTION section) {
  return section == nullptr ? nullptr : static_cast<SectionLock*>(section->LockSemaphore);
}

}  // namespace

void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
  if (lpCriticalSection == nullptr) return;
  *lpCriticalSection = CRITICAL_SECTION{};
  lpCriticalSection->LockCount = -1;  // Windows' value for "free"
  lpCriticalSection->LockSemaphore = new SectionLock;
}

void WINAPI EnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
  SectionLock* lock = LockOf(lpCriticalSection);
  if (lock == nullptr) return;  // never initialised (or deleted): nothing to hold
  lock->mutex.lock();
  lock->owner.store(GetCurrentThreadId(), std::memory_order_relaxed);
  ++lock->depth;
  lpCriticalSection->RecursionCount = lock->depth;
  lpCriticalSection->OwningThread =
      reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(GetCurrentThreadId()));
  lpCriticalSection->LockCount = 0;
}

void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
  SectionLock* lock = LockOf(lpCriticalSection);
  if (lock == nullptr) return;
  // Leaving a section this thread does not hold would corrupt the lock: ignore it.
  if (lock->owner.load(std::memory_order_relaxed) != GetCurrentThreadId() || lock->depth == 0)
    return;
  --lock->depth;
  lpCriticalSection->RecursionCount = lock->depth;
  if (lock->depth == 0) {
    lock->owner.store(0, std::memory_order_relaxed);
    lpCriticalSection->OwningThread = nullptr;
    lpCriticalSection->LockCount = -1;
  }
  lock->mutex.unlock();
}

void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
  SectionLock* lock = LockOf(lpCriticalSection);
  if (lock == nullptr) return;
  delete lock;
  *lpCriticalSection = CRITICAL_SECTION{};
}
