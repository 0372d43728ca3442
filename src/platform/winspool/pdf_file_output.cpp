// SPDX-License-Identifier: MIT
// "pdf-file": each document becomes one PDF file in the printer's port directory. The file is
// written under a hidden temporary name and renamed when complete, so a half-written
// document never appears. The temporary name carries the writing process's id: what a killed
// agent leaves behind is recognised as abandoned and removed by the next one.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <random>
#include <set>
#include <string>

#include "common/printer_backend.h"
#include "kernel/system_error.h"
#include "platform/api/kernel.h"
#include "winspool/document_names.h"
#include "winspool/pdf_file_output.h"

namespace wydruki::platform {
namespace {

constexpr char kTemporaryPrefix[] = ".wydrukid95-";

// The process that wrote a temporary file, from its name ".wydrukid95-<pid>-XXXXXX"; 0 when
// the name carries none.
pid_t WriterOf(const char* name) {
  const char* digits = name + sizeof kTemporaryPrefix - 1;
  pid_t pid = 0;
  for (; *digits >= '0' && *digits <= '9'; ++digits) {
    if (pid > 100000000) return 0;
    pid = pid * 10 + (*digits - '0');
  }
  return *digits == '-' ? pid : 0;
}

bool IsAlive(pid_t pid) { return ::kill(pid, 0) == 0 || errno == EPERM; }

class PdfFileOutput final : public DocumentOutput {
 public:
  PdfFileOutput(int fd, std::string temp_path, std::string directory, std::string stem)
      : fd_(fd),
        temp_path_(std::move(temp_path)),
        directory_(std::move(directory)),
        stem_(std::move(stem)) {}
  ~PdfFileOutput() override { Abort(); }

  bool Write(const unsigned char* data, std::size_t size) override {
    while (fd_ >= 0 && size > 0) {
      const ssize_t written = ::write(fd_, data, size);
      if (written < 0) {
        if (errno == EINTR) continue;
        SetLastError(WindowsErrorFromErrno(errno, true));
        return false;
      }
      data += written;
      size -= static_cast<std::size_t>(written);
    }
    return fd_ >= 0;
  }

  bool Finish() override {
    if (fd_ < 0) return false;
    const bool flushed = ::fsync(fd_) == 0 || errno == EINVAL;
    const bool closed = ::close(fd_) == 0;
    fd_ = -1;
    if (!flushed || !closed) {
      SetLastError(WindowsErrorFromErrno(errno, true));
      ::unlink(temp_path_.c_str());
      return false;
    }
    // Given up while the flush hung: the print-out must not appear after its job was reported
    // failed (it is tried again and would be there twice).
    if (given_up_) {
      ::unlink(temp_path_.c_str());
      SetLastError(ERROR_TIMEOUT);
      return false;
    }
    // Never overwrite an earlier print-out: the first free "<stem>.pdf", "<stem>-2.pdf", ...
    // up to "<stem>-9999.pdf"; past those, a name made of the time and the temporary file's
    // own unique part, so a directory holding all of them still takes the next print-out.
    for (int n = 1; n < 10000 + kLaterTries; ++n) {
      if (Claim(NameFor(n))) return true;
      if (errno != EEXIST) break;
    }
    SetLastError(WindowsErrorFromErrno(errno, true));
    ::unlink(temp_path_.c_str());
    return false;
  }

  void GiveUp() override { given_up_ = true; }

  static constexpr int kLaterTries = 100;

  std::string NameFor(int n) const {
    if (n == 1) return directory_ + "/" + stem_ + ".pdf";
    if (n < 10000) return directory_ + "/" + stem_ + "-" + std::to_string(n) + ".pdf";
    char when[32] = {};
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (::localtime_r(&now, &local) != nullptr)
      std::strftime(when, sizeof when, "%Y%m%d-%H%M%S", &local);
    const std::string unique = temp_path_.substr(temp_path_.rfind('-') + 1);
    return directory_ + "/" + stem_ + "-" + when + "-" + unique +
           (n == 10000 ? "" : "-" + std::to_string(n - 10000)) + ".pdf";
  }

  bool Claim(const std::string& name) {
    if (::link(temp_path_.c_str(), name.c_str()) != 0) return false;
    ::unlink(temp_path_.c_str());
    final_path_ = name;
    return true;
  }

  void Abort() override {
    if (fd_ < 0) return;
    ::close(fd_);
    fd_ = -1;
    ::unlink(temp_path_.c_str());
  }

 private:
  int fd_;
  std::string temp_path_;
  std::string directory_;
  std::string stem_;
  std::string final_path_;
  std::atomic<bool> given_up_{false};
};

}  // namespace

void RemoveAbandonedPdfFiles(const std::string& directory) {
  static std::mutex lock;
  static std::set<std::string> swept;
  {
    std::lock_guard<std::mutex> guard(lock);
    if (!swept.insert(directory).second) return;
  }
  DIR* listing = ::opendir(directory.c_str());
  if (listing == nullptr) return;
  const int saved_errno = errno;
  while (const dirent* entry = ::readdir(listing)) {
    if (std::strncmp(entry->d_name, kTemporaryPrefix, sizeof kTemporaryPrefix - 1) != 0) continue;
    const pid_t writer = WriterOf(entry->d_name);
    // A name without a writer is older than this rule and has no writer left either.
    if (writer == ::getpid() || (writer != 0 && IsAlive(writer))) continue;
    ::unlinkat(::dirfd(listing), entry->d_name, 0);
  }
  ::closedir(listing);
  errno = saved_errno;
}

std::string PdfFileStem(const std::string& document_name) {
  // A print job is named after its file; characters that are awkward in file names replaced.
  std::string stem;
  for (const char c : DocumentFileName(document_name)) {
    const auto byte = static_cast<unsigned char>(c);
    stem += (byte < 32 || c == '*' || c == '?' || c == '"' || c == '<' || c == '>' || c == '|')
                ? '_'
                : c;
  }
  if (stem.empty() || stem == "." || stem == "..") stem = "document";
  return stem;
}

std::unique_ptr<DocumentOutput> OpenPdfFileOutput(const std::string& directory,
                                                  const std::string& document_name) {
  RemoveAbandonedPdfFiles(directory);
  // A print-out is an ordinary file of the user's: created with the permissions the process's
  // umask gives new files (the system applies it), not the private ones of a temporary file.
  // Reading the umask would mean setting it, which races with every thread creating a file.
  static constexpr char kLetters[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::random_device random;
  std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string temp = directory + "/" + kTemporaryPrefix + std::to_string(::getpid()) + "-";
    for (int i = 0; i < 6; ++i) temp += kLetters[pick(random)];
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0)
      return std::make_unique<PdfFileOutput>(fd, temp, directory, PdfFileStem(document_name));
    if (errno != EEXIST) break;
  }
  SetLastError(WindowsErrorFromErrno(errno, true));
  return nullptr;
}

}  // namespace wydruki::platform
