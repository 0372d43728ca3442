// SPDX-License-Identifier: MIT
#include "gdi/pdf_file.h"

#include <zlib.h>

#include <cmath>
#include <cstdio>

namespace wydruki::platform {
namespace {

// Output reaches the sink in blocks of this size or more.
constexpr std::size_t kBlock = 16 * 1024;

// zlib's usual level: its quickest makes a 200-page file an eighth larger, which a print
// server's disk and network pay for longer than the processor time it saves here.
constexpr int kCompression = Z_DEFAULT_COMPRESSION;

}  // namespace

struct PdfFile::Deflater {
  z_stream stream{};
  bool ready = false;
  Deflater() { ready = deflateInit(&stream, kCompression) == Z_OK; }
  ~Deflater() {
    if (ready) deflateEnd(&stream);
  }
};

void AppendPdfNumber(std::string& out, double value) {
  // Beyond what any page holds, the value is cut down rather than written in exponent form,
  // which PDF has not.
  constexpr double kLargest = 1e9;
  if (!(value > -kLargest)) value = -kLargest;
  if (!(value < kLargest)) value = kLargest;
  long long scaled = std::llround(value * 10000);
  if (scaled < 0) {
    out += '-';
    scaled = -scaled;
  }
  char digits[24];
  int length = 0;
  long long whole = scaled / 10000;
  do {
    digits[length++] = static_cast<char>('0' + whole % 10);
    whole /= 10;
  } while (whole != 0);
  while (length > 0) out += digits[--length];
  int fraction = static_cast<int>(scaled % 10000);
  if (fraction == 0) return;
  out += '.';
  for (int place = 1000; place > 0 && fraction != 0; place /= 10) {
    out += static_cast<char>('0' + fraction / place);
    fraction %= place;
  }
}

PdfFile::PdfFile(Sink sink) : sink_(std::move(sink)), deflater_(std::make_unique<Deflater>()) {
  where_.push_back(0);  // object 0 heads the free list
  // A binary comment tells transfer programs that the file is not text.
  Put("%PDF-1.5\n%\xE2\xE3\xCF\xD3\n");
}

PdfFile::~PdfFile() = default;

// Compresses `data` into compressed_; false when it cannot be (it is then stored as it is).
bool PdfFile::Compress(std::string_view data) {
  z_stream& z = deflater_->stream;
  if (!deflater_->ready || deflateReset(&z) != Z_OK) return false;
  compressed_.resize(deflateBound(&z, static_cast<uLong>(data.size())));
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(compressed_.data());
  z.avail_out = static_cast<uInt>(compressed_.size());
  if (deflate(&z, Z_FINISH) != Z_STREAM_END) return false;
  compressed_.resize(z.total_out);
  return true;
}

int PdfFile::Reserve() {
  where_.push_back(0);
  return static_cast<int>(where_.size() - 1);
}

void PdfFile::WriteObject(int number, std::string_view body) {
  where_[static_cast<std::size_t>(number)] = offset_ + buffer_.size();
  Put(std::to_string(number));
  Put(" 0 obj\n");
  Put(body);
  Put("\nendobj\n");
}

void PdfFile::WriteStream(int number, std::string_view dictionary, std::string_view data) {
  const bool compressed = Compress(data);
  std::string_view stored = data;
  std::string head = "<< ";
  head += dictionary;
  if (compressed) {
    stored = compressed_;
    head += " /Filter /FlateDecode";
  }
  head += " /Length ";
  head += std::to_string(stored.size());
  head += " >>\nstream\n";
  where_[static_cast<std::size_t>(number)] = offset_ + buffer_.size();
  Put(std::to_string(number));
  Put(" 0 obj\n");
  Put(head);
  Put(stored);
  Put("\nendstream\nendobj\n");
}

bool PdfFile::Finish(int root) {
  const std::size_t xref = offset_ + buffer_.size();
  std::string table = "xref\n0 " + std::to_string(where_.size()) + "\n";
  table += "0000000000 65535 f \n";
  char entry[24];
  for (std::size_t i = 1; i < where_.size(); ++i) {
    std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", where_[i]);
    table += entry;
  }
  table += "trailer\n<< /Size " + std::to_string(where_.size()) + " /Root " + std::to_string(root) +
           " 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
  Put(table);
  if (!buffer_.empty() && !failed_) Drain();
  return !failed_;
}

void PdfFile::Put(std::string_view bytes) {
  buffer_ += bytes;
  if (buffer_.size() >= kBlock) Drain();
}

void PdfFile::Drain() {
  if (!failed_ && !sink_(reinterpret_cast<const unsigned char*>(buffer_.data()), buffer_.size()))
    failed_ = true;
  offset_ += buffer_.size();
  buffer_.clear();
}

}  // namespace wydruki::platform
