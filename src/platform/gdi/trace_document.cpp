// SPDX-License-Identifier: MIT
#include "gdi/trace_document.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "kernel/system_error.h"
#include "platform/api/kernel.h"

namespace wydruki::platform {
namespace {

class TraceDocument final : public PrintDocument {
 public:
  explicit TraceDocument(int fd) : fd_(fd) {}
  ~TraceDocument() override {
    if (fd_ >= 0) ::close(fd_);
  }

  void Event(const char* word) {
    buffer_ += word;
    buffer_ += '\n';
  }

  void Name(const char* word, const std::string& name) {
    buffer_ += word;
    buffer_ += ' ';
    AppendPrintable(name.data(), name.size());
    buffer_ += '\n';
  }

  bool StartPage(int number) override {
    buffer_ += "PAGE ";
    buffer_ += std::to_string(number);
    buffer_ += '\n';
    return Drain(kBufferLimit);
  }

  bool EndPage() override { return Drain(0); }

  void Text(const TextCall& call) override {
    static const char kHex[] = "0123456789ABCDEF";
    const LOGFONTA& font = *call.logfont;
    buffer_ += "TEXT ";
    buffer_ += std::to_string(call.x);
    buffer_ += ' ';
    buffer_ += std::to_string(call.y);
    buffer_ += ' ';
    AppendPrintable(font.lfFaceName, strnlen(font.lfFaceName, LF_FACESIZE));
    buffer_ += '|';
    buffer_ += std::to_string(font.lfHeight);
    buffer_ += '|';
    buffer_ += std::to_string(font.lfWidth);
    buffer_ += '|';
    buffer_ += std::to_string(font.lfWeight);
    buffer_ += '|';
    buffer_ += std::to_string(font.lfItalic);
    buffer_ += '|';
    buffer_ += std::to_string(font.lfCharSet);
    buffer_ += ' ';
    for (int i = 0; i < call.count; ++i) {
      buffer_ += kHex[call.bytes[i] >> 4];
      buffer_ += kHex[call.bytes[i] & 0x0F];
    }
    buffer_ += '\n';
    Drain(kBufferLimit);
  }

  void Fill(const RECT&, COLORREF) override {}
  void Line(POINT, POINT, const LOGPEN&) override {}

  bool Finish() override {
    Event("ENDDOC");
    const bool written = Drain(0);
    const bool closed = ::close(fd_) == 0;
    fd_ = -1;
    if (written && !closed) SetLastError(WindowsErrorFromErrno(errno, true));
    return written && closed;
  }

  void Abort() override {
    if (fd_ < 0) return;
    Event("ABORTDOC");
    Drain(0);
    ::close(fd_);
    fd_ = -1;
  }

  // Writes the buffered lines once there are more than `limit` bytes of them.
  bool Drain(std::size_t limit) {
    if (buffer_.size() <= limit) return !failed_;
    std::size_t done = 0;
    while (!failed_ && done < buffer_.size()) {
      const ssize_t n = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        SetLastError(WindowsErrorFromErrno(n < 0 ? errno : ENOSPC, true));
        failed_ = true;
        break;
      }
      done += static_cast<std::size_t>(n);
    }
    buffer_.clear();
    return !failed_;
  }

 private:
  static constexpr std::size_t kBufferLimit = 64 * 1024;

  void AppendPrintable(const char* text, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
      const auto byte = static_cast<unsigned char>(text[i]);
      buffer_ += (byte < 0x20 || byte == 0x7F) ? '?' : text[i];
    }
  }

  int fd_;
  std::string buffer_;
  bool failed_ = false;
};

}  // namespace

std::unique_ptr<PrintDocument> OpenTraceDocument(const std::string& port,
                                                 const std::string& document_name) {
  // The record holds every printed byte: it is the user's alone, like the print-outs.
  const int fd = ::open(port.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) {
    SetLastError(WindowsErrorFromErrno(errno, true));
    return nullptr;
  }
  auto document = std::make_unique<TraceDocument>(fd);
  document->Name("DOC", document_name);
  if (!document->Drain(0)) return nullptr;
  return document;
}

}  // namespace wydruki::platform
