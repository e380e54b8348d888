#include "scenes/office_parts.h"

#include <zip.h>
#include <zlib.h>

#include <array>

#include "platform/utf16.h"

namespace velinor {

std::string XmlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char ch : text) {
        const auto c = uint8_t(ch);
        switch (ch) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&apos;";
                break;
            default:
                if (c < 0x20 && ch != '\t' && ch != '\n' && ch != '\r') break;
                out += ch;
        }
    }
    return out;
}

namespace {

void put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(uint8_t(v >> shift));
}

// A PNG chunk: u32 length (big-endian), type, data, CRC-32 of type and data.
void chunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
    put32(out, uint32_t(data.size()));
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    put32(out, uint32_t(crc32(0, out.data() + start, uInt(out.size() - start))));
}

char32_t lowerCodePoint(char32_t c) {
    if (c >= 'A' && c <= 'Z') return c + 32;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
    if (c >= 0x100 && c <= 0x17F && c != 0x130 && c != 0x138 && c != 0x149 && c != 0x178) {
        // Latin Extended-A pairs: even upper / odd lower, except 0x139-0x148 and 0x179-0x17E.
        const bool oddPairs = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        if (oddPairs ? (c % 2 == 1) : (c % 2 == 0)) return c + 1;
        return c;
    }
    if (c == 0x178) return 0xFF;
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 32;
    if (c >= 0x410 && c <= 0x42F) return c + 32;
    if (c >= 0x400 && c <= 0x40F) return c + 80;
    return c;
}

}  // namespace

std::vector<uint8_t> EncodePng(const ScenePicture& picture) {
    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    put32(header, uint32_t(picture.width));
    put32(header, uint32_t(picture.height));
    header.insert(header.end(), {8, 2, 0, 0, 0});  // depth 8, truecolour, deflate, no filter, no interlace
    chunk(png, "IHDR", header);
    // Each row: filter type 0, then RGB triples, top row first.
    std::vector<uint8_t> raw;
    raw.reserve(size_t(picture.height) * (size_t(picture.width) * 3 + 1));
    for (int y = 0; y < picture.height; ++y) {
        raw.push_back(0);
        const uint8_t* row = picture.rowFromTop(y);
        for (int x = 0; x < picture.width; ++x)
            raw.insert(raw.end(), {row[3 * x + 2], row[3 * x + 1], row[3 * x]});
    }
    uLongf size = compressBound(uLong(raw.size()));
    std::vector<uint8_t> packed(size);
    if (compress2(packed.data(), &size, raw.data(), uLong(raw.size()), 6) != Z_OK) return {};
    packed.resize(size);
    chunk(png, "IDAT", packed);
    chunk(png, "IEND", {});
    return png;
}

std::string LowerCaseText(std::string_view text) {
    const std::u16string wide = Utf8ToUtf16(text);
    std::u16string out;
    for (size_t i = 0; i < wide.size(); ++i) {
        const char16_t c = wide[i];
        out += (c >= 0xD800 && c <= 0xDFFF) ? c : char16_t(lowerCodePoint(c));
    }
    return Utf16ToUtf8(out);
}

std::string FileNameOf(const std::string& path, bool withExtension) {
    const auto slash = path.rfind('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (!withExtension) {
        const auto dot = name.rfind('.');
        if (dot != std::string::npos && dot > 0) name.resize(dot);
    }
    return name;
}

ZipPackage::~ZipPackage() {
    if (archive_ != nullptr) zip_discard(archive_);
}

bool ZipPackage::fail(std::string message) {
    if (error_.empty()) error_ = std::move(message);
    if (archive_ != nullptr) zip_discard(archive_);
    archive_ = nullptr;
    file_.Discard();
    return false;
}

bool ZipPackage::Open(const std::string& target) {
    if (!file_.Open(target) || !file_.CloseForNamedWrite()) return fail(file_.error());
    int code = 0;
    archive_ = zip_open(file_.temporaryPath().c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    if (archive_ == nullptr) {
        zip_error_t err;
        zip_error_init_with_code(&err, code);
        std::string message = "Impossible de créer le fichier " + target + " : " + zip_error_strerror(&err);
        zip_error_fini(&err);
        return fail(message);
    }
    return true;
}

bool ZipPackage::Add(const std::string& name, std::string bytes, bool stored) {
    if (archive_ == nullptr) return false;
    contents_.push_back(std::move(bytes));
    const std::string& data = contents_.back();
    zip_source_t* source = zip_source_buffer(archive_, data.data(), data.size(), 0);
    if (source == nullptr) return fail(std::string("Erreur zip : ") + zip_strerror(archive_));
    const zip_int64_t index =
        zip_file_add(archive_, name.c_str(), source, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE);
    if (index < 0) {
        zip_source_free(source);
        return fail(std::string("Erreur zip : ") + zip_strerror(archive_));
    }
    zip_set_file_compression(archive_, zip_uint64_t(index), stored ? ZIP_CM_STORE : ZIP_CM_DEFLATE, 0);
    return true;
}

bool ZipPackage::Add(const std::string& name, const std::vector<uint8_t>& bytes) {
    return Add(name, std::string(bytes.begin(), bytes.end()));
}

bool ZipPackage::Commit() {
    if (archive_ == nullptr) return false;
    if (zip_close(archive_) != 0)
        return fail("Erreur d'écriture du fichier " + file_.target() + " : " + zip_strerror(archive_));
    archive_ = nullptr;
    contents_.clear();
    if (!file_.Commit()) return fail(file_.error());
    return true;
}

}  // namespace velinor
