// SPDX-License-Identifier: MIT
// A PDF file written front to back, object by object, without keeping what has been written:
// the cross-reference table at the end is built from the offsets recorded on the way. Objects
// can be numbered before they are written (a page names its parent before the page tree,
// which is only complete at the end, is written). Streams are compressed with zlib.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace wydruki::platform {

// Appends a number with at most four decimals and no trailing zeros ("12", "0.12", "-3.5"):
// what a PDF reader reads back to the position it stood for.
void AppendPdfNumber(std::string& out, double value);

class PdfFile {
 public:
  // Where the file's bytes go; false when they could not be written (the file is then dead).
  using Sink = std::function<bool(const unsigned char*, std::size_t)>;

  explicit PdfFile(Sink sink);
  ~PdfFile();
  PdfFile(const PdfFile&) = delete;
  PdfFile& operator=(const PdfFile&) = delete;

  // A number for an object written later.
  int Reserve();
  // An object: `body` is what stands between "obj" and "endobj".
  void WriteObject(int number, std::string_view body);
  // A stream object: `dictionary` holds the entries beside /Length and /Filter.
  void WriteStream(int number, std::string_view dictionary, std::string_view data);
  // The cross-reference table and trailer, with `root` as the catalog; then everything
  // still buffered goes to the sink. False when any write failed.
  bool Finish(int root);
  bool Failed() const { return failed_; }

 private:
  void Put(std::string_view bytes);
  void Drain();
  bool Compress(std::string_view data);

  Sink sink_;
  std::string buffer_;              // written, not yet handed to the sink
  std::size_t offset_ = 0;          // of the buffer's first byte in the file
  std::vector<std::size_t> where_;  // by object number; 0 while not written
  std::string compressed_;          // a stream's data after compression, reused
  // One compressor for every stream: making one costs a quarter of a megabyte, each time.
  struct Deflater;
  std::unique_ptr<Deflater> deflater_;
  bool failed_ = false;
};

}  // namespace wydruki::platform
