#include "scenes/title_codes.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <vector>

#include "media/datetime_format.h"
#include "platform/utf16.h"

namespace velinor {

namespace {

constexpr std::string_view kNoDatecode = "N/A";

// The code letters, in the order in which ExpandTitleCodes lists them after %N.
constexpr std::string_view kCodeLetters = "NFPEDTCIAU";
bool isCodeLetter(char c) {
    return c != '\0' && kCodeLetters.find(c) != std::string_view::npos;
}
char upper(char c) {
    return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
}

bool hasDatecode(const TSceneClass& scene) {
    return !scene.DatecodeText.empty() && scene.DatecodeText != kNoDatecode;
}

// The datecode in the display pattern; the pattern is compiled again only when it changed.
std::string formatDisplay(const std::string& pattern, Datecode value, const std::string& fallback) {
    thread_local std::unique_ptr<DatePattern> compiled;
    try {
        if (!compiled || compiled->pattern() != pattern) compiled = std::make_unique<DatePattern>(pattern);
        return compiled->format(value);
    } catch (const std::exception&) {
        return fallback;
    }
}

// The lower case of one UTF-16 unit for the letters of the Western languages (ASCII, Latin-1
// and Latin Extended-A); other units are their own lower case. Keeps the length, so positions
// in a folded text are positions in the text.
char16_t fold(char16_t c) {
    if (c >= u'A' && c <= u'Z') return char16_t(c + 32);
    if (c < 0x80) return c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return char16_t(c + 32);
    if (c == 0x178) return 0xFF;
    if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177)) return char16_t(c | 1);
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E)) return (c & 1) ? char16_t(c + 1) : c;
    return c;
}
std::u16string folded(std::u16string_view text) {
    std::u16string out(text);
    for (char16_t& c : out) c = fold(c);
    return out;
}

// A letter or a digit: what a word is made of. Everything else (spaces, punctuation, symbols,
// control characters) separates words.
bool isWordUnit(char16_t c) {
    if (c < 0x80) return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
    if (c < 0xC0) return false;  // Latin-1 spaces, punctuation and symbols
    if (c == 0xD7 || c == 0xF7) return false;
    if (c >= 0x2000 && c <= 0x206F) return false;  // general punctuation and spaces
    if (c >= 0x3000 && c <= 0x303F) return false;  // CJK punctuation
    return true;
}

// A title during TitleToCodes: text that may still hold values, and codes already placed,
// which no later value may match into.
struct Piece {
    std::u16string text;
    bool code = false;
};
using Pieces = std::vector<Piece>;

Pieces splitCodes(std::u16string_view text) {
    Pieces out;
    std::u16string literal;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'%' && i + 1 < text.size() && text[i + 1] < 0x80 &&
            isCodeLetter(upper(char(text[i + 1])))) {
            if (!literal.empty()) out.push_back({std::move(literal), false}), literal.clear();
            out.push_back({std::u16string(text.substr(i, 2)), true});
            ++i;
        } else {
            literal += text[i];
        }
    }
    if (!literal.empty()) out.push_back({std::move(literal), false});
    return out;
}

// Replaces every whole occurrence of `value` (ignoring case) in the literal pieces by
// `replacement`. An occurrence is whole when it does not continue a word on either side: a
// value that begins (or ends) with a letter or digit must not follow (or be followed by)
// another one. The edges of a piece are the text's ends or a code, and both separate words.
void replaceWhole(Pieces& pieces, std::u16string_view value, const Pieces& replacement) {
    if (value.empty()) return;
    const std::u16string needle = folded(value);
    const bool wordStart = isWordUnit(value.front());
    const bool wordEnd = isWordUnit(value.back());
    Pieces out;
    for (Piece& piece : pieces) {
        if (piece.code) {
            out.push_back(std::move(piece));
            continue;
        }
        const std::u16string hay = folded(piece.text);
        size_t from = 0, at = 0;
        while ((at = hay.find(needle, at)) != std::u16string::npos) {
            const size_t end = at + needle.size();
            const bool startOk = !wordStart || at == 0 || !isWordUnit(piece.text[at - 1]);
            const bool endOk = !wordEnd || end == hay.size() || !isWordUnit(piece.text[end]);
            if (!startOk || !endOk) {
                ++at;
                continue;
            }
            if (at > from) out.push_back({piece.text.substr(from, at - from), false});
            out.insert(out.end(), replacement.begin(), replacement.end());
            from = at = end;
        }
        if (from < piece.text.size()) out.push_back({piece.text.substr(from), false});
    }
    pieces = std::move(out);
}

std::u16string joined(const Pieces& pieces) {
    std::u16string out;
    for (const Piece& p : pieces) out += p.text;
    return out;
}

}  // namespace

std::string TitleFileName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.find_last_of('.');
    if (dot != std::string::npos) name.erase(dot);
    return name;
}

std::string TitleFolder(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string TitleExtension(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    return path.substr(dot);
}

std::string ExpandTitleCodes(std::string_view text, TSceneClass& scene, const TitleFile* file,
                             const SceneTextSettings& settings) {
    if (file == nullptr) return std::string(text);
    if (hasDatecode(scene))
        scene.DatecodeText =
            formatDisplay(settings.datecodeDisplayPattern, scene.DatecodeValue, scene.DatecodeText);
    const std::string& path = file->video.path;
    std::string out;
    out.reserve(text.size() + 32);
    for (size_t i = 0; i < text.size(); ++i) {
        const char letter = i + 1 < text.size() ? upper(text[i + 1]) : '\0';
        if (text[i] != '%' || !isCodeLetter(letter)) {
            out += text[i];
            continue;
        }
        ++i;
        switch (letter) {
            case 'N':
                out += std::to_string(scene.Numero);
                break;
            case 'F':
                out += TitleFileName(path);
                break;
            case 'P':
                out += TitleFolder(path);
                break;
            case 'E':
                out += TitleExtension(path);
                break;
            case 'D':
                out += scene.DatecodeText;
                break;
            case 'T':
                out += scene.TimecodeText;
                break;
            case 'C':
                out += file->Codec;
                break;
            case 'I':
                out += file->ImageText + file->AspectText;
                break;
            case 'A':
                out += file->AudioText;
                break;
            default:
                out +=
                    DureeText(int64_t(scene.Fin) - int64_t(scene.Debut), &file->video, settings.formatDuree);
        }
    }
    return out;
}

namespace {

// A value of the scene or the file and the code it stands for.
struct CodeValue {
    std::u16string text;
    char16_t code;
};

// The values TitleToCodes looks for, the longer first, so that a value is never taken out of
// a longer one that holds it (a duration "14.05" inside the timecode "00.00.14.05"); equal
// lengths keep the order of the codes. The number is not among them: it is taken last.
std::vector<CodeValue> codeValues(const TSceneClass& scene, const TitleFile& file) {
    // The two datecode forms of the other display settings.
    static const DatePattern kShortDate("ddddd tt");
    static const DatePattern kLongDate("dddddd tt");
    std::vector<CodeValue> values;
    auto add = [&values](const std::string& value, char16_t code) {
        if (!value.empty()) values.push_back({Utf8ToUtf16(value), code});
    };
    const int64_t length = int64_t(scene.Fin) - int64_t(scene.Debut);
    for (int style = 0; style < 3; ++style) add(DureeText(length, &file.video, style), u'U');
    add(scene.DatecodeText, u'D');
    if (hasDatecode(scene)) {
        for (const DatePattern* pattern : {&kShortDate, &kLongDate}) {
            try {
                add(pattern->format(scene.DatecodeValue), u'D');
            } catch (const std::exception&) {
            }
        }
    }
    const std::string& path = file.video.path;
    add(TitleFileName(path), u'F');
    add(TitleFolder(path), u'P');
    add(TitleExtension(path), u'E');
    add(scene.TimecodeText, u'T');
    add(file.Codec, u'C');
    add(file.ImageText + file.AspectText, u'I');
    add(file.AudioText, u'A');
    std::stable_sort(values.begin(), values.end(),
                     [](const CodeValue& a, const CodeValue& b) { return a.text.size() > b.text.size(); });
    return values;
}

std::string toCodes(std::string_view text, const std::vector<CodeValue>& values, int32_t numero) {
    Pieces pieces = splitCodes(Utf8ToUtf16(text));
    for (const CodeValue& v : values) replaceWhole(pieces, v.text, {{std::u16string{u'%', v.code}, true}});
    const std::u16string number = Utf8ToUtf16(std::to_string(numero));
    replaceWhole(pieces, number, {{u"%N", true}});
    replaceWhole(pieces, u"Scène" + number, {{u"Scène", false}, {u"%N", true}});
    return Utf16ToUtf8(joined(pieces));
}

}  // namespace

std::string TitleToCodes(std::string_view text, const TSceneClass* scene, const TitleFile* file) {
    if (scene == nullptr || file == nullptr) return std::string(text);
    return toCodes(text, codeValues(*scene, *file), scene->Numero);
}

void SceneTitlesToCodes(TSceneClass& scene, const TitleFile* file) {
    if (file == nullptr) return;
    const std::vector<CodeValue> values = codeValues(scene, *file);
    scene.Titre = toCodes(scene.Titre, values, scene.Numero);
    scene.SousTitre = toCodes(scene.SousTitre, values, scene.Numero);
}

}  // namespace velinor
