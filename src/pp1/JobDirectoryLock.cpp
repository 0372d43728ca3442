// SPDX-License-Identifier: MIT
#include "pp1/JobDirectoryLock.h"

#include <utility>

#include "Base/SystemError.h"

namespace wydruki::pp1 {
namespace {

// The locked byte lies far beyond the holder's line, so that on Windows, where a lock keeps
// others from reading the region, the line stays readable.
constexpr DWORD kLockOffset = 0x40000000;

OVERLAPPED LockRegion() {
  OVERLAPPED region{};
  region.Offset = kLockOffset;
  return region;
}

// Who holds the lock, from the holder's line "<computer> <process id>".
std::string DescribeHolder(const std::string& line) {
  const std::size_t blank = line.rfind(' ');
  if (line.empty() || blank == std::string::npos || blank == 0)
    return "its computer and process are not known";
  return "on " + line.substr(0, blank) + ", process " + line.substr(blank + 1);
}

}  // namespace

JobDirectoryLock::JobDirectoryLock(std::string job_directory,
                                   std::function<void(const std::string&)> say)
    : directory_(std::move(job_directory)),
      path_(directory_ + kJobDirectoryLockFile),
      say_(std::move(say)) {}

JobDirectoryLock::~JobDirectoryLock() {
  if (file_ == INVALID_HANDLE_VALUE) return;
  if (held_) {
    OVERLAPPED region = LockRegion();
    UnlockFileEx(file_, 0, 1, 0, &region);
  }
  CloseHandle(file_);
}

JobDirectoryLock::State JobDirectoryLock::Serve() {
  if (held_) return State::Held;
  if (!Open()) return State::Waiting;
  OVERLAPPED region = LockRegion();
  if (LockFileEx(file_, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &region)) {
    held_ = true;
    WriteHolder();
    // After a wait that was said, its end is said too.
    if (!said_.empty()) SayOnce("the job directory " + directory_ + " is served by this agent now");
    return State::Taken;
  }
  const DWORD error = GetLastError();
  if (error == ERROR_NOT_SUPPORTED) {
    held_ = true;
    SayOnce("the job directory " + directory_ +
            " cannot be locked (its file system keeps no locks): this agent serves it, but "
            "another agent could serve it too");
    return State::Taken;
  }
  if (error == ERROR_LOCK_VIOLATION)
    SayOnce("the job directory " + directory_ + " is served by another agent (" + Holder() +
            "); this one waits and takes over when that one ends");
  else
    SayOnce("the job directory " + directory_ + " cannot be locked (" + SystemErrorText(error) +
            "); jobs wait until it can");
  return State::Waiting;
}

bool JobDirectoryLock::Open() {
  if (file_ != INVALID_HANDLE_VALUE) return true;
  // Agents of other users must be able to lock it too: every user may read and write it.
  SECURITY_DESCRIPTOR everyone{};
  InitializeSecurityDescriptor(&everyone, SECURITY_DESCRIPTOR_REVISION);
  SetSecurityDescriptorDacl(&everyone, TRUE, nullptr, FALSE);
  SECURITY_ATTRIBUTES attributes{sizeof(SECURITY_ATTRIBUTES), &everyone, FALSE};
  file_ = CreateFileA(path_.c_str(), GENERIC_READ | GENERIC_WRITE,
                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &attributes,
                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file_ != INVALID_HANDLE_VALUE) return true;
  const DWORD error = GetLastError();
  // A job directory that does not exist yet was reported at start-up; it is polled until it
  // does, and then locked.
  if (error != ERROR_PATH_NOT_FOUND && error != ERROR_FILE_NOT_FOUND)
    SayOnce("the job directory " + directory_ + " cannot be locked (" + path_ + ": " +
            SystemErrorText(error) + "); jobs wait until it can");
  return false;
}

void JobDirectoryLock::WriteHolder() {
  char computer[256] = {};
  DWORD size = sizeof computer;
  if (!GetComputerNameA(computer, &size)) computer[0] = '\0';
  const std::string line = std::string(computer[0] != '\0' ? computer : "?") + " " +
                           std::to_string(GetCurrentProcessId()) + "\r\n";
  DWORD written = 0;
  SetFilePointer(file_, 0, nullptr, FILE_BEGIN);
  WriteFile(file_, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  SetEndOfFile(file_);
}

std::string JobDirectoryLock::Holder() {
  char buffer[512];
  DWORD read = 0;
  SetFilePointer(file_, 0, nullptr, FILE_BEGIN);
  if (!ReadFile(file_, buffer, sizeof buffer, &read, nullptr)) read = 0;
  std::string line;
  for (DWORD i = 0; i < read && buffer[i] != '\r' && buffer[i] != '\n'; ++i) {
    const auto byte = static_cast<unsigned char>(buffer[i]);
    line += byte < 0x20 || byte == 0x7F ? '?' : buffer[i];
  }
  return DescribeHolder(line);
}

void JobDirectoryLock::SayOnce(const std::string& text) {
  if (text == said_) return;
  said_ = text;
  if (say_) say_(text);
}

}  // namespace wydruki::pp1
