// The user's private directory for lock files.
#pragma once

#include <optional>
#include <string>

namespace wydruki::platform {

// $XDG_RUNTIME_DIR/wydrukid95, else /tmp/wydrukid95-<uid>; created (mode 0700) when missing.
// nullopt when it cannot be made, or when the path is not a directory of this user's alone
// (someone else's directory or a symbolic link in /tmp is never trusted).
std::optional<std::string> RuntimeDirectory();

}  // namespace wydruki::platform
