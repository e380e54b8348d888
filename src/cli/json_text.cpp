#include "cli/json_text.h"

#include <cstdint>
#include <cstdio>

namespace velinor::cli {

void AppendJsonString(std::string& out, const std::string& text) {
    out += '"';
    size_t i = 0;
    while (i < text.size()) {
        const auto b = uint8_t(text[i]);
        if (b == '"' || b == '\\') {
            out += '\\';
            out += char(b);
            ++i;
        } else if (b < 0x20) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", b);
            out += esc;
            ++i;
        } else if (b < 0x80) {
            out += char(b);
            ++i;
        } else {
            const int extra = (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : -1;
            bool ok = extra > 0 && i + size_t(extra) < text.size();
            for (int k = 1; ok && k <= extra; ++k) ok = (uint8_t(text[i + size_t(k)]) & 0xC0) == 0x80;
            if (ok) {
                out.append(text, i, size_t(extra) + 1);
                i += size_t(extra) + 1;
            } else {
                char esc[8];
                std::snprintf(esc, sizeof esc, "\\u%04x", b);
                out += esc;
                ++i;
            }
        }
    }
    out += '"';
}

}  // namespace velinor::cli
