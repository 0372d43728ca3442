// SPDX-License-Identifier: MIT
#include "pp2/TextLines.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace wydruki::pp2 {
namespace {

constexpr unsigned char kCarriageReturn = 0x0D;
constexpr unsigned char kLineFeed = 0x0A;
constexpr unsigned char kEndOfFile = 0x1A;  // Ctrl-Z

}  // namespace

TextLineReader::TextLineReader(const std::string& path) : path_(path) {
  file_ = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                      FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file_ == INVALID_HANDLE_VALUE) open_error_ = GetLastError();
  // A device or a pipe is an endless or blocking stream of bytes: no file to read here, and
  // treated like one that does not exist.
  if (file_ != INVALID_HANDLE_VALUE && GetFileType(file_) != FILE_TYPE_DISK) {
    Close();
    open_error_ = ERROR_FILE_NOT_FOUND;
  }
}

TextLineReader::~TextLineReader() { Close(); }

void TextLineReader::Close() {
  if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
  file_ = INVALID_HANDLE_VALUE;
}

std::uint64_t TextLineReader::Size() const {
  if (file_ == INVALID_HANDLE_VALUE) return 0;
  DWORD high = 0;
  const DWORD low = GetFileSize(file_, &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return 0;
  return (static_cast<std::uint64_t>(high) << 32) | low;
}

bool TextLineReader::Fill() {
  if (position_ < length_) {
    Looked(position_);
    return true;
  }
  if (exhausted_ || file_ == INVALID_HANDLE_VALUE) return false;
  if (!buffer_) buffer_ = std::make_unique<unsigned char[]>(kReadSize);
  DWORD read = 0;
  if (!ReadFile(file_, buffer_.get(), kReadSize, &read, nullptr))
    throw EInOutError("Read error on file " + path_);
  start_ += length_;
  position_ = 0;
  length_ = read;
  read_ += read;
  if (read == 0) {
    exhausted_ = true;
    return false;
  }
  Looked(0);
  return true;
}

void TextLineReader::Looked(std::size_t position) {
  const std::uint64_t block_end = (start_ + position) / kBufferSize * kBufferSize + kBufferSize;
  fetched_ = std::max(fetched_, std::min(read_, block_end));
}

bool TextLineReader::AtEnd() { return !Fill() || buffer_[position_] == kEndOfFile; }

std::string TextLineReader::ReadLine() { return *ReadLineUpTo(std::string::npos); }

std::optional<std::string> TextLineReader::ReadLineUpTo(std::size_t limit) {
  std::string line;
  if (ReadLinePiece(line, limit)) return line;
  // Full at the limit: the line fits only when its end comes next.
  std::string beyond;
  if (ReadLinePiece(beyond, 1) && beyond.empty()) return line;
  return std::nullopt;
}

bool TextLineReader::ReadLinePiece(std::string& piece, std::size_t limit) {
  for (std::size_t taken = 0; taken < limit;) {
    if (!Fill()) return true;
    // The line's bytes up to its end, the end of the file or the limit, whichever comes first,
    // taken from the buffer at once.
    const unsigned char* start = buffer_.get() + position_;
    const std::size_t span = std::min(length_ - position_, limit - taken);
    const auto* stop = static_cast<const unsigned char*>(std::memchr(start, kCarriageReturn, span));
    const std::size_t before_return =
        stop != nullptr ? static_cast<std::size_t>(stop - start) : span;
    if (const void* end = std::memchr(start, kEndOfFile, before_return))
      stop = static_cast<const unsigned char*>(end);
    const std::size_t count = stop != nullptr ? static_cast<std::size_t>(stop - start) : span;
    piece.append(reinterpret_cast<const char*>(start), count);
    position_ += count;
    taken += count;
    if (stop == nullptr) {
      Looked(position_ - 1);
      continue;
    }
    Looked(position_);
    if (*stop == kEndOfFile) return true;  // never consumed, as in ReadLine
    ++position_;
    if (Fill() && buffer_[position_] == kLineFeed) ++position_;
    return true;
  }
  // The piece is full; the line ends here only when nothing of it is left.
  return !Fill() || buffer_[position_] == kEndOfFile;
}

std::optional<std::int32_t> ParseInteger(std::string_view text) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int base = 10;
  if (i < text.size() && text[i] == '$') {
    base = 16;
    ++i;
  }
  if (i == text.size()) return std::nullopt;
  // The magnitude may reach 2^31, the size of the most negative value.
  constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
  std::int64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    int digit = -1;
    if (c >= '0' && c <= '9') digit = c - '0';
    if (base == 16 && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    if (base == 16 && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    if (digit < 0) return std::nullopt;
    magnitude = magnitude * base + digit;
    if (magnitude > kLimit) return std::nullopt;
  }
  const std::int64_t value = negative ? -magnitude : magnitude;
  if (value > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
  return static_cast<std::int32_t>(value);
}

}  // namespace wydruki::pp2
