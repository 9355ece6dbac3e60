// Text that came from a file, made fit for messages and JSON: node and
// material names may be in any encoding, and JSON takes UTF-8 only.
#ifndef TESSALINE_HOSTAPP_ASSETS_UTF8_H
#define TESSALINE_HOSTAPP_ASSETS_UTF8_H

#include <string>
#include <string_view>

namespace tess::assets {

// The text with every byte that is not part of a valid UTF-8 sequence
// (stray continuation bytes, truncated or overlong sequences, surrogates,
// code points above U+10FFFF) replaced by U+FFFD. Valid text comes back as
// it was.
std::string ValidUtf8(std::string_view text);

// A name from a file: as it is when it is valid UTF-8, else read as Latin-1
// (ISO-8859-1), the encoding older exporters and COLLADA files declaring it
// write names in, where every byte is a character. On one line, as OneLine.
std::string NameText(std::string_view text);

// Valid UTF-8 on one line: line breaks and tabs become spaces, trailing
// blanks go. Readers' messages may span lines; ours are one line.
std::string OneLine(std::string_view text);

}  // namespace tess::assets

#endif
