#pragma once
// Text helpers shared by the preference stores and the typed actions: UTF-8/UTF-16 conversion,
// case folding for the names the stores and switches compare, and the number texts.
// Pure functions; any thread.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velinor::text {

// UTF-8 → UTF-16 code units; an invalid byte sequence becomes U+FFFD.
std::u16string Utf8ToUtf16(std::string_view utf8);
// UTF-16 → UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view utf16);
// Decodes UTF-16 bytes in the given byte order; a trailing odd byte is dropped.
std::u16string DecodeUtf16Bytes(std::string_view bytes, bool bigEndian);
// Replaces each invalid byte sequence of a UTF-8 text with U+FFFD.
std::string SanitizeUtf8(std::string_view bytes);

// Lower case for ASCII and the Latin-1 letters (À…Þ), enough for the names and switches used.
std::string Lower(std::string_view s);
bool SameTextNoCase(std::string_view a, std::string_view b);
// Removes the characters up to and including the space (control characters and blanks) at both ends.
std::string_view Trim(std::string_view s);

// A decimal 32-bit integer with an optional sign, blanks allowed around it; nullopt otherwise.
std::optional<int32_t> ParseInt32(std::string_view s);
// A number with "." or "," as the decimal separator, an optional exponent, blanks allowed
// around it; nullopt otherwise.
std::optional<double> ParseDouble(std::string_view s);
// The general floating-point text: up to 15 significant digits, fixed notation for a value
// with at most 15 digits before the point and not below 0.00001, otherwise mantissa "E"
// exponent (e.g. 0.1, 1E20, 1.5E-6); "NAN", "INF", "-INF" for the special values.
std::string FormatGeneral(double value);
// The shortest text that reads back to exactly the same double.
std::string FormatExact(double value);

}  // namespace velinor::text
