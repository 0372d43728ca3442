// SPDX-License-Identifier: MIT
#include "pp1/JobWait.h"

#include <cstdio>

#include "pp1/WydrukiD95.h"

#ifndef _WIN32
#include "platform/agent_environment.h"
#endif

namespace wydruki::pp1 {

void SayWaiting(const std::string& text) {
  const std::string line = "wydrukid95: waiting: " + text + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
#ifndef _WIN32
  platform::RecordNotice("waiting: " + text);
#endif
}

std::string WhySignalWaits(const SignalRead& read) {
  const JobSignal& job = read.job;
  const std::string signal = kJobSignal;
  if (job.first_line_too_long)
    return signal + " has a first line of more than 4096 bytes: it names no file";
  if (job.file_name.empty()) return signal + " names no file: its first line is empty";
  // A name is what line 1 holds, LF and all: only one that names nothing is explained.
  if (Exists(job.file_name)) return "";
  // A file name never starts so; an editor that saved the signal as UTF-8 put it there.
  if (read.bytes.rfind("\xEF\xBB\xBF", 0) == 0)
    return signal + " starts with a UTF-8 byte order mark; the companion writes none";
  // A bare LF does not end a line: the name runs on into what was meant as line 2.
  if (job.file_name.find('\n') != std::string::npos)
    return signal + " ends its lines with LF only; the companion writes CR LF";
  std::string why = signal + " names " + job.file_name + ", which does not exist";
#ifndef _WIN32
  why += " (" + platform::WhereLookedFor(job.file_name) + ")";
#endif
  return why;
}

void JobWait::Waiting(const std::string& identity, const std::string& why, DWORD now) {
  const std::string key = identity + '\n' + why;
  if (key != identity_) {
    identity_ = key;
    since_ = now;
    said_ = false;
  }
  if (said_ || now - since_ < kQuietMs) return;
  said_ = true;
  SayWaiting(why);
}

}  // namespace wydruki::pp1
