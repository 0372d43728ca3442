// SPDX-License-Identifier: MIT
// Reading the text files the agent takes from outside (job signals, print-outs, "font.def")
// line by line, as the companion writes them: a line ends at CR or CR LF, a bare LF stays in
// the line, Ctrl-Z is the physical end of the file, and lines have no length limit.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "Base/Exceptions.h"
#include "platform/winapi.h"

namespace wydruki::pp2 {

// Reading a file that was opened failed half-way.
class EInOutError : public Exception {
 public:
  using Exception::Exception;
};

class TextLineReader {
 public:
  // Opens `path` for reading, sharing it with other readers. Not open() when that fails, for
  // example while another program still holds the file open for writing, and not open() for
  // anything but a file on disk: a device or a pipe is an endless or blocking stream of bytes.
  explicit TextLineReader(const std::string& path);
  ~TextLineReader();
  TextLineReader(const TextLineReader&) = delete;
  TextLineReader& operator=(const TextLineReader&) = delete;

  bool IsOpen() const { return file_ != INVALID_HANDLE_VALUE; }
  // Why the open failed (the system's error code); ERROR_SUCCESS when it did not.
  DWORD OpenError() const { return open_error_; }
  // No byte left, or the next byte is Ctrl-Z.
  bool AtEnd();
  // The next line without its end; an empty line past the end. Throws EInOutError when the
  // file cannot be read.
  std::string ReadLine();
  // The next line in pieces: appends at most `limit` bytes of it to `piece` and answers whether
  // the line ended there (its end consumed, or the end of the file reached). A line of any
  // length is thus read in bounded memory. Throws EInOutError as ReadLine does.
  bool ReadLinePiece(std::string& piece, std::size_t limit);
  // The next line when it is at most `limit` bytes long; nullopt when it is longer, having
  // read no more than `limit` + 1 of its bytes (the reader is then inside that line).
  std::optional<std::string> ReadLineUpTo(std::size_t limit);
  // Bytes fetched from the file so far, counted in whole blocks of kBufferSize bytes: up to
  // the end of the block that holds the furthest byte looked at (so ahead of the lines read).
  std::uint64_t BytesFetched() const { return fetched_; }
  // The file's length in bytes.
  std::uint64_t Size() const;
  void Close();

  // The block in which progress through the file is counted.
  static constexpr std::size_t kBufferSize = 128;
  // How much is read from the file at a time.
  static constexpr std::size_t kReadSize = 16 * 1024;

 private:
  // Makes the byte at position_ available, reading when the buffer is used up; false at the
  // end of the data.
  bool Fill();
  // The byte at `position` in the buffer has been looked at.
  void Looked(std::size_t position);

  HANDLE file_ = INVALID_HANDLE_VALUE;
  std::string path_;
  std::unique_ptr<unsigned char[]> buffer_;  // kReadSize bytes, from the first read
  std::size_t position_ = 0;
  std::size_t length_ = 0;
  std::uint64_t start_ = 0;  // the file offset of buffer_[0]
  std::uint64_t read_ = 0;   // bytes read from the file
  std::uint64_t fetched_ = 0;
  bool exhausted_ = false;
  DWORD open_error_ = ERROR_SUCCESS;
};

// A signed whole number as the program's text files write it: an optional sign, then decimal
// digits or "$" and hexadecimal digits, nothing else. nullopt for any other text and for a
// value outside 32 bits.
std::optional<std::int32_t> ParseInteger(std::string_view text);

}  // namespace wydruki::pp2
