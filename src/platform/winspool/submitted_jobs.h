// SPDX-License-Identifier: MIT
// What became of a job whose submission got no answer. The scheduler may have taken the whole
// document and then lost the connection before saying so (it restarted, the network broke):
// submitting again would print the document twice, giving up would lose it. So the scheduler
// is asked about the job by its number before anything is submitted again, and a job whose
// fate cannot be learnt yet is remembered, and asked about at the next attempt to print the
// same document on the same printer, before that attempt submits anything.
//
// What this cannot cover: a scheduler that took the job and then lost it itself (a spool on a
// disk that failed), and a job whose number never reached us (the answer to creating it lost).
#pragma once

#include <optional>
#include <string>

namespace wydruki::platform {

enum class JobFate {
  kTaken,    // the scheduler holds the whole document, or has printed it
  kLost,     // no such job, or one without its document: cancelled, aborted, still incomplete
  kUnknown,  // the scheduler does not answer
};

// Asks the scheduler in force about job number `job`.
JobFate AskJobFate(int job);

// The job of an earlier submission of `document` to `destination` whose fate is not known.
std::optional<int> UnsettledJob(const std::string& destination, const std::string& document);
void RememberUnsettledJob(const std::string& destination, const std::string& document, int job);
void ForgetUnsettledJob(const std::string& destination, const std::string& document);

}  // namespace wydruki::platform
