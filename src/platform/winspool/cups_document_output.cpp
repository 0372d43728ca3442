// SPDX-License-Identifier: MIT
#include "winspool/cups_document_output.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "platform/api/kernel.h"
#include "winspool/cups_destinations.h"
#include "winspool/document_names.h"
#include "winspool/submitted_jobs.h"

namespace wydruki::platform {
namespace {

class CupsDocumentOutput final : public DocumentOutput {
 public:
  CupsDocumentOutput(int fd, std::string destination, std::string document_name)
      : fd_(fd), destination_(std::move(destination)), document_name_(std::move(document_name)) {}
  ~CupsDocumentOutput() override { Abort(); }

  bool Write(const unsigned char* data, std::size_t size) override {
    if (fd_ < 0) {
      SetLastError(ERROR_INVALID_HANDLE);
      return false;
    }
    while (size > 0) {
      const ssize_t written = ::write(fd_, data, size);
      if (written < 0) {
        if (errno == EINTR) continue;
        SetLastError(errno == ENOSPC ? ERROR_DISK_FULL : ERROR_WRITE_FAULT);
        return false;
      }
      data += written;
      size -= static_cast<std::size_t>(written);
    }
    return true;
  }

  bool Finish() override {
    if (fd_ < 0) {
      SetLastError(ERROR_INVALID_HANDLE);
      return false;
    }
    const bool submitted = Submit();
    ::close(fd_);
    fd_ = -1;
    return submitted;
  }

  void Abort() override {
    if (fd_ >= 0) {
      ::close(fd_);
      fd_ = -1;
    }
  }

 private:
  bool Submit() {
    if (::lseek(fd_, 0, SEEK_SET) != 0) {
      SetLastError(ERROR_READ_FAULT);
      return false;
    }
    DWORD lookup_error = ERROR_NOT_FOUND;
    const auto destination = CupsDestination::Find(destination_, &lookup_error);
    if (!destination) {
      // A queue gone since the document began: the document has nowhere to go.
      SetLastError(lookup_error == ERROR_INVALID_PRINTER_NAME ? ERROR_NOT_FOUND : lookup_error);
      return false;
    }
    http_t* http = destination->http();
    cups_dest_t* dest = destination->dest();
    cups_dinfo_t* info = destination->info();
    if (info == nullptr) {
      SetLastError(ERROR_NOT_FOUND);
      return false;
    }
    // An earlier submission of this document whose answer was lost is settled first.
    if (const auto earlier = UnsettledJob(destination_, document_name_)) {
      switch (AskJobFate(*earlier)) {
        case JobFate::kTaken:
          ForgetUnsettledJob(destination_, document_name_);
          return true;
        case JobFate::kLost:
          ForgetUnsettledJob(destination_, document_name_);
          break;
        case JobFate::kUnknown:
          SetLastError(RPC_S_SERVER_UNAVAILABLE);
          return false;
      }
    }
    // The queue shows the printed file's name, in UTF-8 as IPP names are.
    const std::string name = DocumentFileName(document_name_);
    const char* title = name.empty() ? "Untitled" : name.c_str();
    int job = 0;
    const ipp_status_t created = cupsCreateDestJob(http, dest, info, &job, title, 0, nullptr);
    if (created > IPP_STATUS_OK_CONFLICTING || job <= 0) {
      SetLastError(ErrorFromIpp(cupsLastError()));
      return false;
    }
    bool sent = cupsStartDestDocument(http, dest, info, job, title, CUPS_FORMAT_PDF, 0, nullptr,
                                      1) == HTTP_STATUS_CONTINUE;
    char buffer[65536];
    while (sent) {
      const ssize_t got = ::read(fd_, buffer, sizeof buffer);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) sent = false;
      if (got <= 0) break;
      sent =
          cupsWriteRequestData(http, buffer, static_cast<std::size_t>(got)) == HTTP_STATUS_CONTINUE;
    }
    const ipp_status_t finished = cupsFinishDestDocument(http, dest, info);
    // The library reports success for a connection that closed before any answer came: the
    // scheduler is asked, and only a job it says it does not have is taken back.
    if (sent && finished <= IPP_STATUS_OK_CONFLICTING && AskJobFate(job) != JobFate::kLost)
      return true;
    const DWORD error = sent && finished <= IPP_STATUS_OK_CONFLICTING
                            ? ERROR_WRITE_FAULT
                            : ErrorFromIpp(cupsLastError());
    // No answer that the job was taken is not an answer that it was not: the scheduler is
    // asked what it holds before the document is given up or submitted again.
    switch (AskJobFate(job)) {
      case JobFate::kTaken:
        return true;
      case JobFate::kLost:
        // The job exists without its whole document: off the queue, rather than left held.
        // A cancel that is not confirmed leaves its fate open.
        if (cupsCancelDestJob(http, dest, job) > IPP_STATUS_OK_CONFLICTING &&
            AskJobFate(job) != JobFate::kLost)
          RememberUnsettledJob(destination_, document_name_, job);
        break;
      case JobFate::kUnknown:
        RememberUnsettledJob(destination_, document_name_, job);
        break;
    }
    SetLastError(error);
    return false;
  }

  int fd_;
  std::string destination_;
  std::string document_name_;
};

// An anonymous temporary file: it has no name from the start, so nothing is left behind
// whatever becomes of the program.
int AnonymousTemporaryFile() {
  const char* dir = std::getenv("TMPDIR");
  std::string base = (dir != nullptr && *dir != '\0') ? dir : "/tmp";
#ifdef O_TMPFILE
  const int fd = ::open(base.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd >= 0) return fd;
#endif
  std::string path = base + "/.wydrukid95-job-XXXXXX";
  const int named = ::mkstemp(path.data());
  if (named >= 0) ::unlink(path.c_str());
  return named;
}

}  // namespace

std::unique_ptr<DocumentOutput> OpenCupsDocumentOutput(const std::string& destination,
                                                       const std::string& document_name) {
  // A queue that refuses jobs, or is stopped, would take the document only to lose it or to
  // sit on it unseen: the document is refused at its start, so the job stays with the program
  // and is tried again, and the user is told.
  DWORD error = ERROR_NOT_FOUND;
  const auto queue = CupsDestination::Find(destination, &error);
  if (!queue) {
    SetLastError(error);
    return nullptr;
  }
  if (!queue->TakesJobs()) {
    SetLastError(ERROR_INVALID_PRINTER_STATE);
    return nullptr;
  }
  const int fd = AnonymousTemporaryFile();
  if (fd < 0) {
    SetLastError(errno == ENOSPC ? ERROR_DISK_FULL : ERROR_ACCESS_DENIED);
    return nullptr;
  }
  return std::make_unique<CupsDocumentOutput>(fd, destination, document_name);
}

}  // namespace wydruki::platform
