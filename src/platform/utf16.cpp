#include "platform/utf16.h"

#include <cstdint>

namespace velinor {

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

namespace {

constexpr char32_t kReplacement = 0xFFFD;

}  // namespace

std::u16string Utf8ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const auto b = uint8_t(text[i]);
        char32_t c = kReplacement;
        size_t length = 1;
        if (b < 0x80) {
            c = b;
        } else {
            int extra = 0;
            char32_t value = 0, minimum = 0;
            if ((b & 0xE0) == 0xC0)
                extra = 1, value = b & 0x1F, minimum = 0x80;
            else if ((b & 0xF0) == 0xE0)
                extra = 2, value = b & 0x0F, minimum = 0x800;
            else if ((b & 0xF8) == 0xF0)
                extra = 3, value = b & 0x07, minimum = 0x10000;
            bool good = extra > 0;
            for (int k = 1; good && k <= extra; ++k) {
                if (i + size_t(k) >= text.size()) {
                    good = false;
                    break;
                }
                const auto cb = uint8_t(text[i + size_t(k)]);
                if ((cb & 0xC0) != 0x80) {
                    good = false;
                    break;
                }
                value = (value << 6) | (cb & 0x3F);
            }
            if (good && value >= minimum && value <= 0x10FFFF && !(value >= 0xD800 && value <= 0xDFFF)) {
                c = value;
                length = size_t(extra) + 1;
            }
        }
        i += length;
        if (c >= 0x10000) {
            c -= 0x10000;
            out += char16_t(0xD800 + (c >> 10));
            out += char16_t(0xDC00 + (c & 0x3FF));
        } else {
            out += char16_t(c);
        }
    }
    return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = kReplacement;
        }
        AppendUtf8(out, c);
    }
    return out;
}

std::string Latin1ToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char ch : text) AppendUtf8(out, uint8_t(ch));
    return out;
}

}  // namespace velinor
