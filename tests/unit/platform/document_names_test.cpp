// SPDX-License-Identifier: MIT
// Names of printed documents: the printed file's own name, from the companion's code page 852
// into UTF-8, and PDF files created with the permissions of ordinary files.
#include <sys/stat.h>

#include <filesystem>

#include "gdi_test_support.h"
#include "winspool/document_names.h"
#include "winspool/pdf_file_output.h"

namespace wydruki::test {
namespace {

using platform::DocumentFileName;
using platform::DosLatin2ToUtf8;

TEST(DocumentNames, TheLastComponentOfAnyPathIsTheName) {
  EXPECT_EQ(DocumentFileName("/home/biuro/long/directory/name/for/jobs/FAKTURA.TXT"),
            "FAKTURA.TXT");
  EXPECT_EQ(DocumentFileName("C:\\D95\\WYDRUK.TXT"), "WYDRUK.TXT");
  EXPECT_EQ(DocumentFileName("C:WYDRUK.TXT"), "WYDRUK.TXT");
  EXPECT_EQ(DocumentFileName("WYDRUK.TXT"), "WYDRUK.TXT");
  EXPECT_EQ(DocumentFileName("C:\\D95\\"), "");
}

TEST(DocumentNames, CodePage852LettersBecomeUtf8) {
  // Worked from the code page's chart: 0xA5 a-ogonek U+0105, 0x86 c-acute U+0107, 0x9D L-stroke
  // U+0141, 0xBD Z-dot U+017B, 0xC4 the box-drawing line U+2500, 0xFF no-break space U+00A0.
  EXPECT_EQ(DosLatin2ToUtf8("\xA5\x86\x9D\xBD"), "\xC4\x85\xC4\x87\xC5\x81\xC5\xBB");
  EXPECT_EQ(DosLatin2ToUtf8("\xC4"), "\xE2\x94\x80");
  EXPECT_EQ(DosLatin2ToUtf8("\xFF"), "\xC2\xA0");
  EXPECT_EQ(DocumentFileName("C:\\D95\\Z\xA9\x9D.TXT"), "Z\xC4\x99\xC5\x81.TXT");
}

TEST(DocumentNames, AUtf8NameOfALinuxUserIsKept) {
  EXPECT_EQ(DocumentFileName("/home/anna/Faktura-\xC5\xBC\xC3\xB3\xC5\x82w.txt"),
            "Faktura-\xC5\xBC\xC3\xB3\xC5\x82w.txt");
  // Not well-formed UTF-8 (a lead byte without its continuation): code page 852.
  EXPECT_EQ(DocumentFileName("\xC5Z"), "\xE2\x94\xBCZ");
}

class PdfFileMode : public GdiTest {};

TEST_F(PdfFileMode, APdfGetsTheModeTheUmaskGivesOrdinaryFiles) {
  const mode_t previous = ::umask(027);
  auto output = platform::OpenPdfFileOutput(dir_.path().string(), "C:\\D95\\FAKTURA.TXT");
  ::umask(previous);
  ASSERT_NE(output, nullptr);
  const unsigned char bytes[] = "%PDF-1.4\n";
  ASSERT_TRUE(output->Write(bytes, sizeof bytes - 1));
  ASSERT_TRUE(output->Finish());
  struct stat info {};
  ASSERT_EQ(::stat(dir_.Path("FAKTURA.TXT.pdf").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u);
}

}  // namespace
}  // namespace wydruki::test
