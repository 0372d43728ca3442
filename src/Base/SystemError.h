// SPDX-License-Identifier: MIT
// The system's own words for an error code, as a message shown to the user carries them.
#pragma once

#include <string>

#include "platform/winapi.h"

namespace wydruki {

// The text the system gives for `code`, without its line end; "System error, code N" when the
// system has none.
std::string SystemErrorText(DWORD code);

}  // namespace wydruki
