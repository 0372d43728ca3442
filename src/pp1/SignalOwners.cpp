// SPDX-License-Identifier: MIT
#include "pp1/SignalOwners.h"

#include <utility>

#include "platform/winapi.h"
#ifndef _WIN32
#include "platform/agent_environment.h"
#endif

namespace wydruki::pp1 {

bool OtherUsersAccepted() {
  char value[32] = {};
  GetProfileStringA("security", "other-users", "", value, sizeof value);
  std::string word(value);
  for (char& c : word)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return word == "accept";
}

bool SignalOwners::Accepts(const std::string& path) {
#ifdef _WIN32
  (void)path;
  return true;
#else
  const auto owner = platform::OtherOwnerOf(path);
  if (!owner || OtherUsersAccepted()) {
    refused_.erase(path);
    return true;
  }
  auto& said = refused_[path];
  if (said != *owner) {
    said = *owner;
    if (say_)
      say_(path + " belongs to user " + *owner +
           ", not to this agent's user: it is not acted on (the profile's [security] "
           "other-users=accept would let other users' signals print your files)");
  }
  return false;
#endif
}

}  // namespace wydruki::pp1
