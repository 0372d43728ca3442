// SPDX-License-Identifier: MIT
// WinExec: starting a program by name as Windows does, without waiting for it.
//
// A bare name is looked for in the program's directory, the current directory and then PATH;
// a name with a directory is taken as it is. A native program (ELF, or a script with "#!") is
// executed directly. A file of a type Linux cannot run (".pif", ".exe", ".bat") is started
// through the launcher named for its extension in the profile section [extensions]
// ("pif=dosemu -E"), with the file's Linux path after the launcher's own words.
//
// The child is started with a double fork, so it is never our child to reap (no zombie, no
// wait), and a close-on-exec pipe reports whether exec itself failed: EOF means the program is
// running; an errno value means it is not, and that is what WinExec answers.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "common/profile.h"
#include "kernel/command_line.h"
#include "kernel/dos_path.h"
#include "kernel/program_path.h"
#include "platform/api/kernel.h"

extern char** environ;

namespace wydruki::platform {

extern const char kShowWindowVariable[];

namespace {

constexpr UINT kStarted = 33;  // any value above 31 means success

struct Found {
  std::string path;
  DWORD error = ERROR_SUCCESS;  // when path is empty
};

bool IsRegularFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

bool HasDirectory(std::string_view name) {
  return name.find_first_of("\\/") != std::string_view::npos ||
         (name.size() >= 2 && name[1] == ':');
}

std::string_view ExtensionOf(std::string_view name) {
  std::size_t start = name.size();
  while (start > 0 && !IsPathSeparator(name[start - 1])) --start;
  const std::string_view last = name.substr(start);
  const auto dot = last.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return {};
  return last.substr(dot + 1);
}

std::optional<std::string> FindIn(const std::string& directory, const std::string& name) {
  if (directory.empty()) return std::nullopt;
  std::string candidate = directory;
  if (candidate.back() != '/') candidate.push_back('/');
  candidate += name;
  const auto native = ToNativePath(candidate, false);
  if (native && IsRegularFile(*native)) return native;
  return std::nullopt;
}

// The file a program name stands for. A name without an extension is tried with ".exe" first,
// as Windows does, then as it is, since Linux programs have none.
Found Locate(const std::string& name) {
  std::vector<std::string> spellings;
  if (ExtensionOf(name).empty()) spellings.push_back(name + ".exe");
  spellings.push_back(name);

  if (HasDirectory(name)) {
    for (const auto& spelling : spellings) {
      if (auto native = ToNativePath(spelling, false); native && IsRegularFile(*native))
        return Found{*native};
    }
    // Tell a missing directory from a missing file.
    const auto directory = ToNativePath(name, true);
    if (!directory) return Found{{}, ERROR_PATH_NOT_FOUND};
    struct stat info {};
    if (::stat(directory->c_str(), &info) == 0) return Found{{}, ERROR_ACCESS_DENIED};
    return Found{{}, ERROR_FILE_NOT_FOUND};
  }

  std::vector<std::string> directories;
  directories.push_back(ProgramDirectory());
  directories.push_back(".");
  if (const char* path = std::getenv("PATH")) {
    std::string_view rest(path);
    while (true) {
      const auto colon = rest.find(':');
      const std::string_view entry = rest.substr(0, colon);
      directories.emplace_back(entry.empty() ? "." : entry);
      if (colon == std::string_view::npos) break;
      rest.remove_prefix(colon + 1);
    }
  }
  for (const auto& directory : directories) {
    for (const auto& spelling : spellings) {
      if (auto found = FindIn(directory, spelling)) return Found{*found};
    }
  }
  return Found{{}, ERROR_FILE_NOT_FOUND};
}

bool IsNativeProgram(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return false;
  unsigned char head[4] = {};
  const ssize_t got = ::read(fd, head, sizeof(head));
  ::close(fd);
  if (got >= 2 && head[0] == '#' && head[1] == '!') return true;
  return got == 4 && head[0] == 0x7f && head[1] == 'E' && head[2] == 'L' && head[3] == 'F';
}

// A launcher's program: a name with a slash as it is, else the first match on PATH.
std::optional<std::string> ResolveLauncher(const std::string& program) {
  if (program.empty()) return std::nullopt;
  if (program.find('/') != std::string::npos) return program;
  const char* path = std::getenv("PATH");
  std::string_view rest(path != nullptr ? path : "/usr/bin:/bin");
  while (true) {
    const auto colon = rest.find(':');
    std::string candidate(rest.substr(0, colon));
    if (candidate.empty()) candidate = ".";
    candidate += "/" + program;
    if (IsRegularFile(candidate) && ::access(candidate.c_str(), X_OK) == 0) return candidate;
    if (colon == std::string_view::npos) break;
    rest.remove_prefix(colon + 1);
  }
  return std::nullopt;
}

UINT ErrorFromExec(int error_number) {
  switch (error_number) {
    case ENOENT:
      return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
      return ERROR_PATH_NOT_FOUND;
    case ENOEXEC:
    case EINVAL:
      return ERROR_BAD_FORMAT;
    case EACCES:
    case EPERM:
      return ERROR_ACCESS_DENIED;
    default:
      return 0;  // out of resources
  }
}

// Runs `argv` detached with `show` in the environment. kStarted or a WinExec error value.
UINT Launch(const std::vector<std::string>& argv, UINT show) {
  // Everything the children need is prepared before fork: after it, only calls that are safe
  // in a child of a threaded process are made.
  std::vector<char*> arguments;
  for (const auto& word : argv) arguments.push_back(const_cast<char*>(word.c_str()));
  arguments.push_back(nullptr);

  const std::string show_setting = std::string(kShowWindowVariable) + "=" + std::to_string(show);
  const std::size_t prefix_length = std::strlen(kShowWindowVariable) + 1;
  std::vector<char*> environment;
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    if (std::strncmp(*entry, show_setting.c_str(), prefix_length) != 0)
      environment.push_back(*entry);
  }
  environment.push_back(const_cast<char*>(show_setting.c_str()));
  environment.push_back(nullptr);

  const int null_input = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  int report[2];
  if (::pipe2(report, O_CLOEXEC) != 0) {
    if (null_input >= 0) ::close(null_input);
    return 0;
  }
  const pid_t middle = ::fork();
  if (middle < 0) {
    ::close(report[0]);
    ::close(report[1]);
    if (null_input >= 0) ::close(null_input);
    return 0;
  }
  if (middle == 0) {
    ::close(report[0]);
    ::setsid();  // the program lives on in a session of its own, apart from our terminal
    const pid_t program = ::fork();
    if (program != 0) ::_exit(program < 0 ? 1 : 0);
    sigset_t none;
    ::sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    if (null_input >= 0) ::dup2(null_input, STDIN_FILENO);
    ::execve(arguments[0], arguments.data(), environment.data());
    const int error_number = errno;
    ssize_t ignored = ::write(report[1], &error_number, sizeof(error_number));
    (void)ignored;
    ::_exit(127);
  }
  ::close(report[1]);
  if (null_input >= 0) ::close(null_input);
  int status = 0;
  while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) {
  }
  int error_number = 0;
  ssize_t got;
  do {
    got = ::read(report[0], &error_number, sizeof(error_number));
  } while (got < 0 && errno == EINTR);
  ::close(report[0]);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return 0;  // the second fork failed
  if (got == static_cast<ssize_t>(sizeof(error_number))) return ErrorFromExec(error_number);
  return kStarted;
}

}  // namespace
}  // namespace wydruki::platform

using namespace wydruki::platform;

UINT WINAPI WinExec(LPCSTR lpCmdLine, UINT uCmdShow) {
  if (lpCmdLine == nullptr) return ERROR_FILE_NOT_FOUND;
  const auto [program, rest] = SplitProgramName(lpCmdLine);
  if (program.empty()) return ERROR_FILE_NOT_FOUND;
  Found found = Locate(program);
  if (found.path.empty()) return found.error;
  if (found.path.front() != '/') {
    // The program and any launcher get the file's full path.
    char directory[4096];
    if (::getcwd(directory, sizeof(directory)) == nullptr) return ERROR_PATH_NOT_FOUND;
    std::string absolute(directory);
    std::string_view relative(found.path);
    while (relative.substr(0, 2) == "./") relative.remove_prefix(2);
    if (absolute.back() != '/') absolute.push_back('/');
    found.path = absolute + std::string(relative);
  }

  std::vector<std::string> argv;
  const std::vector<std::string> arguments = SplitArguments(rest);
  if (IsNativeProgram(found.path)) {
    argv.push_back(found.path);
  } else {
    const std::string_view extension = ExtensionOf(found.path);
    std::optional<std::string> launcher;
    if (!extension.empty()) launcher = ProfileValue("extensions", extension);
    if (!launcher) return ERROR_BAD_FORMAT;
    argv = SplitOnBlanks(*launcher);
    if (argv.empty()) return ERROR_BAD_FORMAT;
    const auto launcher_program = ResolveLauncher(argv.front());
    if (!launcher_program) return ERROR_FILE_NOT_FOUND;
    argv.front() = *launcher_program;
    argv.push_back(found.path);
  }
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  return Launch(argv, uCmdShow);
}
