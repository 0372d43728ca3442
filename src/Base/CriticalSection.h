// SPDX-License-Identifier: MIT
// A recursive lock over the system's critical section, held for a scope with Guard.
#pragma once

#include "platform/winapi.h"

namespace wydruki {

class CriticalSection {
 public:
  CriticalSection() { InitializeCriticalSection(&section_); }
  ~CriticalSection() { DeleteCriticalSection(&section_); }
  CriticalSection(const CriticalSection&) = delete;
  CriticalSection& operator=(const CriticalSection&) = delete;

  void Enter() { EnterCriticalSection(&section_); }
  void Leave() { LeaveCriticalSection(&section_); }

  class Guard {
   public:
    // A guard over no lock does nothing, for objects that have no owner.
    explicit Guard(CriticalSection* lock) : lock_(lock) {
      if (lock_ != nullptr) lock_->Enter();
    }
    ~Guard() {
      if (lock_ != nullptr) lock_->Leave();
    }
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;

   private:
    CriticalSection* lock_;
  };

 private:
  CRITICAL_SECTION section_;
};

}  // namespace wydruki
