// SPDX-License-Identifier: MIT
// When a kept job is tried again. Not before a pause after the attempt that failed, so that a
// print system that does not answer is not asked at every tick; but at the first tick after
// the pause, however long the gap between two ticks was (a machine resumed from suspend, an
// error box left open for a weekend), and across the wrap of the 32-bit tick count.
#pragma once

#include "platform/winapi.h"

namespace wydruki::pp1 {

class RetryPace {
 public:
  static constexpr DWORD kPauseMs = 5000;

  // An attempt failed at `now` (GetTickCount).
  void Failed(DWORD now) {
    pending_ = true;
    failed_at_ = now;
  }
  // The job went, or an attempt was made: the next one is not held back.
  void Clear() { pending_ = false; }
  // Whether the kept job must still wait at `now`. The time since the failure is counted in
  // unsigned arithmetic, which is right across the wrap of the tick count.
  bool Waiting(DWORD now) const { return pending_ && now - failed_at_ < kPauseMs; }

 private:
  bool pending_ = false;
  DWORD failed_at_ = 0;
};

}  // namespace wydruki::pp1
