#include "scenes/scn_file.h"

#include <array>
#include <fstream>
#include <limits>

#include "platform/utf16.h"

namespace velinor {

namespace {

// The .scn file is an object stream with the classes "SourceTape", "Clip" and "Scene":
// FF FF opens a class (u16 schema, u16 name length, name), 80 nn refers to the nn-th class or
// object defined so far. Integers are little-endian. A wide string is FF FE FF, a one-byte
// count k of UTF-16 units, then 2k bytes of UTF-16LE.
//
// Header: 63 26 | u16 1 | u32 4 | FF FF u16 3 u16 10 "SourceTape" | wide path |
//         00 00 00 00 00 00 0C 00 | u16 scene count (36 + 2L, written with the first record)
// First record (from the count): count | FF FF u16 1 u16 4 "Clip" | 50 text-flag image-flag 00 |
//         FF FF u16 1 u16 5 "Scene" | 00 | u32 0 | u32 Fin | 00 00 00 00 01 80 | wide path |
//         u32 0 | u32 0 | u32 Fin | [u32 ImageOffset] | [wide Titre CR LF SousTitre]
// Further record: 03 80 F0 text-flag image-flag 00 05 80 | FF FE FF 00 | u32 Debut | u32 length |
//         00 00 00 00 07 00 | u32 Debut | u32 length | u32 Debut | [u32 ImageOffset] | [wide text]
constexpr uint8_t kTextFlag = 0x80;
constexpr uint8_t kImageFlag = 0x40;

class Bytes {
public:
    void u8(uint8_t v) { out.push_back(v); }
    void u16(uint16_t v) { u8(uint8_t(v)), u8(uint8_t(v >> 8)); }
    void u32(uint32_t v) { u16(uint16_t(v)), u16(uint16_t(v >> 16)); }
    void raw(std::initializer_list<uint8_t> bytes) { out.insert(out.end(), bytes); }
    void ascii(std::string_view text) { out.insert(out.end(), text.begin(), text.end()); }
    void wide(const std::u16string& text) {
        raw({0xFF, 0xFE, 0xFF});
        u8(uint8_t(text.size()));
        for (const char16_t c : text) u16(uint16_t(c));
    }
    std::vector<uint8_t> out;
};

std::u16string sceneText(const TSceneClass& scene) {
    return Utf8ToUtf16(scene.Titre + "\r\n" + scene.SousTitre);
}
bool hasText(const TSceneClass& scene) {
    return !scene.Titre.empty() || !scene.SousTitre.empty();
}

// Reads the file's bytes front to back; every read is checked against what remains.
class Reader {
public:
    explicit Reader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    bool skip(size_t n) {
        if (bytes_.size() - pos_ < n) return false;
        pos_ += n;
        return true;
    }
    bool take(size_t n, std::span<const uint8_t>& out) {
        if (bytes_.size() - pos_ < n) return false;
        out = bytes_.subspan(pos_, n);
        pos_ += n;
        return true;
    }
    bool u8(uint8_t& v) {
        std::span<const uint8_t> b;
        if (!take(1, b)) return false;
        v = b[0];
        return true;
    }
    bool u16(uint16_t& v) {
        std::span<const uint8_t> b;
        if (!take(2, b)) return false;
        v = uint16_t(b[0] | b[1] << 8);
        return true;
    }
    bool u32(uint32_t& v) {
        std::span<const uint8_t> b;
        if (!take(4, b)) return false;
        v = uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
        return true;
    }
    // A string in any of the stream's forms: a length byte n (0 empty; 1-254 single-byte
    // characters; 255: a u16 m follows, m < 1024 single-byte characters, m = FFFE: a byte k
    // and k UTF-16 units (k of 0 or 255 is empty); any other m is empty).
    bool string(std::string& out) {
        out.clear();
        uint8_t n = 0;
        if (!u8(n)) return false;
        std::span<const uint8_t> b;
        if (n == 0) return true;
        if (n < 255) {
            if (!take(n, b)) return false;
            out = Latin1ToUtf8(std::string_view(reinterpret_cast<const char*>(b.data()), b.size()));
            return true;
        }
        uint16_t m = 0;
        if (!u16(m)) return false;
        if (m == 0) return true;
        if (m < 1024) {
            if (!take(m, b)) return false;
            out = Latin1ToUtf8(std::string_view(reinterpret_cast<const char*>(b.data()), b.size()));
            return true;
        }
        if (m != 0xFFFE) return true;
        uint8_t k = 0;
        if (!u8(k)) return false;
        if (k == 0 || k == 255) return true;
        if (!take(size_t(k) * 2, b)) return false;
        std::u16string text;
        for (size_t i = 0; i < k; ++i) text += char16_t(b[2 * i] | b[2 * i + 1] << 8);
        out = Utf16ToUtf8(text);
        return true;
    }

private:
    std::span<const uint8_t> bytes_;
    size_t pos_ = 0;
};

// The first two lines of a text whose lines end at CR, LF or CR LF.
void splitTitles(const std::string& text, std::string& titre, std::string& sousTitre) {
    titre.clear();
    sousTitre.clear();
    std::vector<std::string> lines;
    size_t i = 0;
    while (i < text.size() && lines.size() < 2) {
        size_t end = text.find_first_of("\r\n", i);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(i, end - i));
        if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ++end;
        i = end + 1;
    }
    if (!lines.empty()) titre = lines[0];
    if (lines.size() > 1) sousTitre = lines[1];
}

// The optional image offset and text of a record.
bool readTail(Reader& in, uint8_t flags, TSceneClass& scene) {
    scene.ImageOffset = 0;
    if ((flags & kImageFlag) && !in.u32(scene.ImageOffset)) return false;
    if (flags & kTextFlag) {
        std::string text;
        if (!in.string(text)) return false;
        splitTitles(text, scene.Titre, scene.SousTitre);
    }
    return true;
}

void append(SceneList& list, std::unique_ptr<TSceneClass> scene) {
    std::string caption = scene->SceneCaption();
    list.push_back({std::move(caption), std::move(scene)});
}

}  // namespace

bool ValidateScnScene(const TSceneClass& scene, uint32_t index, uint32_t previousDebut, std::string& error) {
    if (index >= kScnMaxScenes) {
        error = "Trop de scènes pour un fichier scn (65 535 au plus)";
        return false;
    }
    if (scene.Fin < scene.Debut) {
        error = "Scène " + std::to_string(index + 1) + " : la fin précède le début";
        return false;
    }
    if (index > 0 && scene.Debut < previousDebut) {
        error = "Scène " + std::to_string(index + 1) + " : les scènes ne sont pas dans l'ordre";
        return false;
    }
    if (hasText(scene) && sceneText(scene).size() > kScnMaxStringUnits) {
        error = "Scène " + std::to_string(index + 1) +
                " : titre et sous-titre trop longs pour un fichier scn (254 caractères au plus)";
        return false;
    }
    return true;
}

TwriteScene::TwriteScene(const std::string& videoPath)
    : scnPath_(ReplaceExtension(videoPath, ".scn")), path16_(Utf8ToUtf16(videoPath)) {
    if (path16_.size() > kScnMaxStringUnits) {
        fail("Chemin trop long pour un fichier scn (254 caractères au plus) : " + videoPath);
        return;
    }
    if (!file_.Open(scnPath_)) {
        fail(file_.error());
        return;
    }
    Bytes header;
    header.raw({0x63, 0x26});
    header.u16(1);
    header.u32(4);
    header.raw({0xFF, 0xFF});
    header.u16(3);
    header.u16(10);
    header.ascii("SourceTape");
    header.wide(path16_);
    header.raw({0, 0, 0, 0, 0, 0, 0x0C, 0});
    countOffset_ = header.out.size();
    if (!file_.Write(header.out)) fail(file_.error());
}

bool TwriteScene::fail(std::string message) {
    if (error_.empty()) error_ = std::move(message);
    file_.Discard();
    return false;
}

bool TwriteScene::AddScene(const TSceneClass& scene) {
    if (!ok()) return false;
    std::string problem;
    if (!ValidateScnScene(scene, count_, lastDebut_, problem)) return fail(problem);
    const uint8_t textFlag = hasText(scene) ? kTextFlag : 0;
    const uint8_t imageFlag = scene.ImageOffset != 0 ? kImageFlag : 0;
    const uint32_t length = scene.Fin - scene.Debut;
    Bytes record;
    if (count_ == 0) {
        record.u16(0);  // the count, written below
        record.raw({0xFF, 0xFF});
        record.u16(1);
        record.u16(4);
        record.ascii("Clip");
        record.raw({0x50, textFlag, imageFlag, 0x00, 0xFF, 0xFF});
        record.u16(1);
        record.u16(5);
        record.ascii("Scene");
        record.u8(0);
        record.u32(0);
        record.u32(scene.Fin);
        record.raw({0, 0, 0, 0, 0x01, 0x80});
        record.wide(path16_);
        record.u32(0);
        record.u32(0);
        record.u32(scene.Fin);
    } else {
        record.raw({0x03, 0x80, 0xF0, textFlag, imageFlag, 0x00, 0x05, 0x80, 0xFF, 0xFE, 0xFF, 0x00});
        record.u32(scene.Debut);
        record.u32(length);
        record.raw({0, 0, 0, 0, 0x07, 0x00});
        record.u32(scene.Debut);
        record.u32(length);
        record.u32(scene.Debut);
    }
    if (imageFlag) record.u32(scene.ImageOffset);
    if (textFlag) record.wide(sceneText(scene));
    if (!file_.Write(record.out)) return fail(file_.error());
    const uint16_t count = uint16_t(count_ + 1);
    const std::array<uint8_t, 2> countBytes{uint8_t(count), uint8_t(count >> 8)};
    if (!file_.WriteAt(countOffset_, countBytes)) return fail(file_.error());
    ++count_;
    lastDebut_ = scene.Debut;
    return true;
}

bool TwriteScene::Finish() {
    if (!ok()) return false;
    if (!file_.Commit()) return fail(file_.error());
    return true;
}

bool ReadScnBytes(std::span<const uint8_t> bytes, SceneList& list, const CurrentVideo* video,
                  const SceneTextSettings& settings) {
    list.clear();
    Reader in(bytes);
    std::string ignored;
    uint32_t ignoredU32 = 0;
    std::span<const uint8_t> block;
    if (!in.skip(24) || !in.string(ignored)) return false;
    if (!in.take(26, block)) return false;
    const uint16_t count = uint16_t(block[8] | block[9] << 8);
    uint8_t flags = uint8_t((block[21] & kTextFlag) | (block[22] & kImageFlag));
    if (!in.skip(9) || !in.string(ignored) || !in.u32(ignoredU32)) return false;
    uint32_t fin = 0;
    if (!in.u32(fin)) return false;
    auto first = std::make_unique<TSceneClass>(0, fin, video, settings);
    first->Numero = 1;
    if (!in.skip(6) || !in.string(ignored)) return false;
    for (int i = 0; i < 3; ++i)
        if (!in.u32(ignoredU32)) return false;
    if (!readTail(in, flags, *first)) return false;
    append(list, std::move(first));
    // A count of 0 disagrees with the record that is there.
    if (count == 0) return false;
    uint32_t previousDebut = 0;
    for (uint32_t k = 2; k <= count; ++k) {
        if (!in.take(8, block)) return false;
        flags = uint8_t((block[3] & kTextFlag) | (block[4] & kImageFlag));
        uint32_t debut = 0, length = 0;
        if (!in.string(ignored) || !in.u32(debut) || !in.u32(length)) return false;
        if (uint64_t(debut) + length > std::numeric_limits<uint32_t>::max()) return false;
        if (debut < previousDebut) return false;
        previousDebut = debut;
        auto scene = std::make_unique<TSceneClass>(debut, debut + length, video, settings);
        scene->Numero = int32_t(k);
        if (!in.skip(6)) return false;
        for (int i = 0; i < 3; ++i)
            if (!in.u32(ignoredU32)) return false;
        if (!readTail(in, flags, *scene)) return false;
        append(list, std::move(scene));
    }
    return true;
}

bool ReadScnFile(const std::string& scnPath, SceneList& list, const CurrentVideo* video,
                 const SceneTextSettings& settings) {
    list.clear();
    // The largest file the writer makes: 65 535 records of at most 46 + 2 x 254 bytes each.
    constexpr std::streamoff kLargest = 64LL << 20;
    std::ifstream file(scnPath, std::ios::binary);
    if (!file) return false;
    file.seekg(0, std::ios::end);
    const std::streamoff size = file.tellg();
    if (size < 0) return false;
    file.seekg(0);
    std::vector<uint8_t> bytes(size_t(std::min(size, kLargest)));
    if (!file.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size()))) return false;
    return ReadScnBytes(bytes, list, video, settings);
}

}  // namespace velinor
