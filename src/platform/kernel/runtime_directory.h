// SPDX-License-Identifier: MIT
// The user's private directory for lock files.
#pragma once

#include <optional>
#include <string>

namespace wydruki::platform {

// $XDG_RUNTIME_DIR/wydrukid95, else /tmp/wydrukid95-<uid>, or when another user holds that
// name in /tmp (a directory or a symbolic link there is never trusted unless it is this
// user's alone) $XDG_CACHE_HOME/wydrukid95 (~/.cache/wydrukid95); created (mode 0700) when
// missing. nullopt when none can be made, or when $XDG_RUNTIME_DIR/wydrukid95 is not a
// directory of this user's alone.
std::optional<std::string> RuntimeDirectory();

}  // namespace wydruki::platform
