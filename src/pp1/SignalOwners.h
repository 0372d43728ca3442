// SPDX-License-Identifier: MIT
// Whose signals the agent acts on. On Linux anyone who may write the job directory can drop a
// "win95.drk" there, and the agent would print any file its own user may read (a private
// document, /proc/self/environ) for them, or end on their "koniec.drk". So a signal whose
// owner is not the agent's user is not acted on unless the profile says so:
//
//   [security]
//   other-users=accept
//
// A refused signal stays where it is and is said once (while it stays). On Windows every
// signal is accepted, as before: the job directory's access list is the system's business.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <utility>

namespace wydruki::pp1 {

class SignalOwners {
 public:
  explicit SignalOwners(std::function<void(const std::string&)> say) : say_(std::move(say)) {}

  // Whether the signal at `path` may be acted on.
  bool Accepts(const std::string& path);

 private:
  std::function<void(const std::string&)> say_;
  std::map<std::string, std::string> refused_;  // signal path -> its owner, said once
};

// Whether the profile accepts other users' signals ([security] other-users=accept).
bool OtherUsersAccepted();

}  // namespace wydruki::pp1
