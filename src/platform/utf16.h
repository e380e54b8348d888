#pragma once
// UTF-8 and UTF-16 conversions for the file formats that store UTF-16, and for case folding. Reentrant; any
// thread.
#include <string>
#include <string_view>

namespace velinor {

// Appends the UTF-8 bytes of one code point.
void AppendUtf8(std::string& out, char32_t c);
// Invalid UTF-8 sequences become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);
// Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);
// Bytes of a single-byte Western code page (ISO 8859-1) as UTF-8.
std::string Latin1ToUtf8(std::string_view text);

}  // namespace velinor
