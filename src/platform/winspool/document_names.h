// SPDX-License-Identifier: MIT
// What a printed document is called where the user looks for it: the PDF file in the output
// directory and the job in the CUPS queue both carry the name of the file that was printed
// ("FAKTURA.TXT"), not the whole path the document was given.
//
// The companion names its files in DOS code page 852; file names and IPP job names here are
// UTF-8. A name that is already valid UTF-8 with characters beyond ASCII is a Linux user's
// own file name and is kept as it is; any other byte above 0x7F is a code page 852 letter.
#pragma once

#include <string>
#include <string_view>

namespace wydruki::platform {

// The last component of a document name (after the last "\", "/" or drive colon), in UTF-8.
std::string DocumentFileName(std::string_view document_name);

// Code page 852 text as UTF-8.
std::string DosLatin2ToUtf8(std::string_view text);

}  // namespace wydruki::platform
