// SPDX-License-Identifier: MIT
// Where the running program's file is.
#pragma once

#include <string>

namespace wydruki::platform {

// The absolute Linux path of the running program (empty if the system will not say).
std::string ProgramPath();

// The directory that holds it, without a trailing slash (empty if unknown).
std::string ProgramDirectory();

}  // namespace wydruki::platform
