#include "media/riff_report.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "media/media_error.h"
#include "platform/atomic_file.h"
#include "platform/error_text.h"

namespace velinor {
namespace {

constexpr int kBannerWidth = 50;
const std::string kRule(kBannerWidth, '-');

// Characters of a UTF-8 text (continuation bytes are not counted).
int CharCount(std::string_view text) {
    int n = 0;
    for (unsigned char c : text) n += (c & 0xC0) != 0x80;
    return n;
}

bool IsUtf8(std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i++]);
        size_t extra = 0;
        if (c >= 0xC2 && c <= 0xDF)
            extra = 1;
        else if (c >= 0xE0 && c <= 0xEF)
            extra = 2;
        else if (c >= 0xF0 && c <= 0xF4)
            extra = 3;
        else if (c >= 0x80)
            return false;
        if (text.size() - i < extra) return false;
        for (; extra > 0; --extra)
            if ((static_cast<unsigned char>(text[i++]) & 0xC0) != 0x80) return false;
    }
    return true;
}

void AppendLatin1(std::string& out, unsigned char c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Bytes of a file shown as text: kept when they are UTF-8, otherwise read as Latin-1.
std::string TextFromBytes(std::string_view bytes) {
    if (IsUtf8(bytes)) return std::string(bytes);
    std::string out;
    for (unsigned char c : bytes) AppendLatin1(out, c);
    return out;
}

// Four characters, one per byte; control bytes become spaces.
std::string FourCCShown(const uint8_t* p) {
    std::string out;
    for (int i = 0; i < 4; ++i) AppendLatin1(out, p[i] < 32 ? ' ' : p[i]);
    return out;
}

std::string Hex(uint64_t value, int digits) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%0*llX", digits, static_cast<unsigned long long>(value));
    return buffer;
}

enum class Field { Dec32, DecS32, Dec16, DecS16, Dec8, Hex32, Hex16, Hex64, Code };

struct FieldLayout {
    const char* name;
    size_t offset;
    Field kind;
};

constexpr size_t Width(Field kind) {
    switch (kind) {
        case Field::Dec16:
        case Field::DecS16:
        case Field::Hex16:
            return 2;
        case Field::Dec8:
            return 1;
        case Field::Hex64:
            return 8;
        default:
            return 4;
    }
}

// AVISTREAMHEADER.
constexpr FieldLayout kStreamHeader[] = {
    {"FourccType", 0, Field::Code},
    {"FourccHandler", 4, Field::Code},
    {"Flags", 8, Field::Hex32},
    {"Priority", 12, Field::Dec16},
    {"Language", 14, Field::Hex16},
    {"InitialFrames", 16, Field::Dec32},
    {"Scale", 20, Field::Dec32},
    {"Rate", 24, Field::Dec32},
    {"Start", 28, Field::Dec32},
    {"Length", 32, Field::Dec32},
    {"SuggestedBufferSize", 36, Field::Dec32},
    {"Quality", 40, Field::Hex32},
    {"SampleSize", 44, Field::Dec32},
    {"rcFrame.Left", 48, Field::DecS16},
    {"rcFrame.Top", 50, Field::DecS16},
    {"rcFrame.Right", 52, Field::DecS16},
    {"rcFrame.Bottom", 54, Field::DecS16},
};
// AVIMAINHEADER.
constexpr FieldLayout kMainHeader[] = {
    {"MicroSecPerFrame", 0, Field::Dec32},
    {"MaxBytesPerSec", 4, Field::Dec32},
    {"PaddingGranularity", 8, Field::Dec32},
    {"Flags", 12, Field::Hex32},
    {"TotalFrames", 16, Field::Dec32},
    {"InitialFrames", 20, Field::Dec32},
    {"Streams", 24, Field::Dec32},
    {"SuggestedBufferSize", 28, Field::Dec32},
    {"Width", 32, Field::Dec32},
    {"Height", 36, Field::Dec32},
    {"Reserved0", 40, Field::Hex32},
    {"Reserved1", 44, Field::Hex32},
    {"Reserved2", 48, Field::Hex32},
    {"Reserved3", 52, Field::Hex32},
};
// BITMAPINFOHEADER.
constexpr FieldLayout kBitmapHeader[] = {
    {"biSize", 0, Field::Dec32},
    {"biWidth", 4, Field::DecS32},
    {"biHeight", 8, Field::DecS32},
    {"biPlanes", 12, Field::Dec16},
    {"biBitCount", 14, Field::Dec16},
    {"biCompression", 16, Field::Code},
    {"biSizeImage", 20, Field::Dec32},
    {"biXPelsPerMeter", 24, Field::DecS32},
    {"biYPelsPerMeter", 28, Field::DecS32},
    {"biClrUsed", 32, Field::Dec32},
    {"biClrImportant", 36, Field::Dec32},
};
// DVINFO: AAUX source and control, second AAUX pair, VAUX source and control, two reserved.
constexpr FieldLayout kDvInfo[] = {
    {"DVAAuxSrc", 0, Field::Hex32},    {"DVAAuxCtl", 4, Field::Hex32},    {"DVAAuxSrc1", 8, Field::Hex32},
    {"DVAAuxCtl1", 12, Field::Hex32},  {"DVVAuxSrc", 16, Field::Hex32},   {"DVVAuxCtl", 20, Field::Hex32},
    {"DVReserved0", 24, Field::Hex32}, {"DVReserved1", 28, Field::Hex32},
};
// WAVEFORMATEX.
constexpr FieldLayout kWaveFormat[] = {
    {"FormatTag", 0, Field::Dec16},     {"Channels", 2, Field::Dec16},
    {"SamplesPerSec", 4, Field::Dec32}, {"AvgBytesPerSec", 8, Field::Dec32},
    {"BlockAlign", 12, Field::Dec16},   {"BitsPerSample", 14, Field::Dec16},
    {"cbSize", 16, Field::Dec16},
};
// AVIMETAINDEX header shared by `indx` super indexes and `ix##` standard indexes.
constexpr FieldLayout kIndexHeader[] = {
    {"wLongsPerEntry", 0, Field::Hex16}, {"bIndexSubType", 2, Field::Dec8},
    {"bIndexType", 3, Field::Dec8},      {"nEntriesInUse", 4, Field::Hex32},
    {"dwChunkId", 8, Field::Code},       {"qwBaseOffset", 12, Field::Hex64},
    {"dwReserved_3", 20, Field::Hex32},
};

std::string FieldValue(const FieldLayout& field, const uint8_t* p) {
    switch (field.kind) {
        case Field::Dec32:
            return std::to_string(Le32(p));
        case Field::DecS32:
            return std::to_string(static_cast<int32_t>(Le32(p)));
        case Field::Dec16:
            return std::to_string(Le16(p));
        case Field::DecS16:
            return std::to_string(static_cast<int16_t>(Le16(p)));
        case Field::Dec8:
            return std::to_string(p[0]);
        case Field::Hex32:
            return Hex(Le32(p), 8);
        case Field::Hex16:
            return Hex(Le16(p), 4);
        case Field::Hex64:
            return Hex(Le64(p), 16);
        case Field::Code:
            return FourCCShown(p);
    }
    return {};
}

std::string DateText(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    char date[64];
    std::snprintf(date, sizeof date, "%d/%02d/%04d", local.tm_mday, local.tm_mon + 1, local.tm_year + 1900);
    char time[64];
    std::snprintf(time, sizeof time, "%d:%02d:%02d", local.tm_hour, local.tm_min, local.tm_sec);
    return std::string("analysée le ") + date + " à " + time;
}

}  // namespace

std::string Banner(std::string_view prefix, char fill, std::string_view title) {
    const int k = std::max(0, (kBannerWidth - CharCount(prefix) - CharCount(title)) / 2);
    std::string line = "<B><COLOR Blue>";
    line += prefix;
    line.append(static_cast<size_t>(k), fill);
    line += title;
    line.append(static_cast<size_t>(k), fill);
    line += "</COLOR></B>";
    return line;
}

// One walk over one file. Every chunk is cut to its list and every list to the file, so all
// reads stay inside the chunk they belong to.
class RiffReport::Walker {
public:
    Walker(RiffReport& report, const RiffSource& source, std::vector<std::string>& lines)
        : report_(report), source_(source), lines_(lines), fileSize_(source.size()) {}

    void run() {
        uint64_t pos = 0;
        while (pos < fileSize_ && !report_.cancelled_) {
            const uint64_t n = walk(pos, fileSize_, 0, true);
            if (report_.unexpectedEnd_ || n == 8 || n == 0) break;
            pos += n;
        }
    }

private:
    enum class Kind { Other, Video, Audio, Interleaved };

    void add(std::string line) {
        for (char& c : line)
            if (static_cast<unsigned char>(c) < 32) c = ' ';
        lines_.push_back(std::move(line));
    }

    static std::string Indent(int level) { return std::string(static_cast<size_t>(level) * 4, ' '); }

    bool read(uint64_t pos, void* buffer, size_t count) {
        if (source_.readAt(pos, buffer, count) == count) return true;
        report_.unexpectedEnd_ = true;
        return false;
    }

    template <size_t N>
    void fields(const std::string& indent, const FieldLayout (&table)[N], const uint8_t* bytes, size_t got) {
        for (const FieldLayout& field : table)
            if (field.offset + Width(field.kind) <= got)
                add(indent + field.name + " = " + FieldValue(field, bytes + field.offset));
    }

    // Reads up to `want` leading bytes of a body of `size` bytes; returns how many were read.
    size_t leading(uint64_t body, uint64_t size, uint8_t* out, size_t want) {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(want, size));
        return read(body, out, n) ? n : 0;
    }

    // Bytes the chunk at `pos` takes in its list (header, body, pad), or 0 when the walk ends.
    uint64_t walk(uint64_t pos, uint64_t end, int level, bool top) {
        if (report_.ProcessMessages) report_.ProcessMessages();
        if (report_.cancelled_) return 0;
        if (++chunks_ > kMaxChunks) {
            if (chunks_ == kMaxChunks + 1)
                add(std::string(markup::kRed) + ">>> Trop de chunks, liste interrompue" +
                    std::string(markup::kEndColor));
            return 0;
        }
        uint8_t header[8];
        if (!read(pos, header, 8)) return 0;
        const FourCC code = FourCCAt(header);
        const uint32_t declared = Le32(header + 4);
        const std::string indent = Indent(level);
        if (top && code != MakeFourCC("RIFF")) {
            add(std::string(markup::kRed) + ">>>" + " Il y a " + Hex(fileSize_ - pos, 8) +
                " octets de déchets à la fin du fichier" + std::string(markup::kEndColor));
            return 8;
        }
        if (code != MakeFourCC("01wb") && code != MakeFourCC("00dc") && code != MakeFourCC("00db"))
            add(indent + FourCCShown(header) + "  " + Hex(declared, 8));

        const uint64_t room = end - pos - 8;
        uint64_t size = uint64_t(declared) + (declared & 1u);
        if (declared > room) {
            add(std::string(markup::kRed) + indent + ">>> Mauvaise longueur du chunk:");
            add(indent + ">>> " + Hex(declared, 8) + " au lieu de " + Hex(room, 8) +
                std::string(markup::kEndColor));
            size = room;
        }
        size = std::min(size, room);  // a pad byte the list does not hold
        const uint64_t result = size + 8;
        if (size == 0) return result;
        const uint64_t body = pos + 8;

        if (code == MakeFourCC("RIFF") || code == MakeFourCC("LIST")) {
            if (size < 4) return result;
            uint8_t type[4];
            if (!read(body, type, 4)) return 0;
            add(indent + FourCCShown(type));
            if (FourCCAt(type) == MakeFourCC("movi")) return result;
            if (FourCCAt(type) == MakeFourCC("strl")) kind_ = Kind::Other;
            if (level + 1 > kMaxDepth) {
                add(std::string(markup::kRed) + indent + ">>> Imbrication trop profonde" +
                    std::string(markup::kEndColor));
                return result;
            }
            const uint64_t listEnd = body + size;
            uint64_t child = body + 4;
            while (listEnd - child > 7 && !report_.cancelled_) {
                const uint64_t n = walk(child, listEnd, level + 1, false);
                if (n == 0)
                    return report_.unexpectedEnd_ || report_.cancelled_ || chunks_ > kMaxChunks ? 0 : result;
                child += n;
            }
            return result;
        }
        if (!handle(code, body, size, indent)) return 0;
        return result;
    }

    // `indx` super indexes and the per-stream standard indexes `ix##`, also matched as `?ix?`.
    static bool IsIndex(const FourCC& code) {
        return code == MakeFourCC("indx") || (code[0] == 'i' && code[1] == 'x') ||
               (code[1] == 'i' && code[2] == 'x');
    }

    bool handle(const FourCC& code, uint64_t body, uint64_t size, const std::string& indent) {
        uint8_t bytes[56] = {};
        if (code == MakeFourCC("strh")) {
            const size_t got = leading(body, size, bytes, 56);
            if (report_.unexpectedEnd_) return false;
            const FourCC type = got >= 4 ? FourCCAt(bytes) : FourCC{};
            struct StreamKind {
                FourCC type;
                const char* title;
                Kind kind;
            };
            static constexpr StreamKind kKinds[] = {{MakeFourCC("vids"), "(Vidéo)", Kind::Video},
                                                    {MakeFourCC("auds"), "(Audio)", Kind::Audio},
                                                    {MakeFourCC("iavs"), "(Entrelacé)", Kind::Interleaved}};
            const char* title = "(Inconnu)";
            kind_ = Kind::Other;
            for (const StreamKind& k : kKinds) {
                if (type != k.type) continue;
                title = k.title;
                kind_ = k.kind;
            }
            add("");
            add(Banner(indent, '-', title));
            add(Banner(indent, '-', "Début du AVI Stream Header"));
            fields(indent, kStreamHeader, bytes, got);
            add(Banner(indent, '-', "Fin du AVI Stream Header"));
            add("");
        } else if (code == MakeFourCC("avih")) {
            const size_t got = leading(body, size, bytes, 56);
            if (report_.unexpectedEnd_) return false;
            add("");
            add(Banner(indent, '-', " Début du AVI Main Header "));
            fields(indent, kMainHeader, bytes, got);
            add(Banner(indent, '-', " Fin du AVI Main Header "));
            add("");
        } else if (code == MakeFourCC("strf") && kind_ == Kind::Video) {
            const size_t got = leading(body, size, bytes, 40);
            if (report_.unexpectedEnd_) return false;
            add("");
            add(Banner(indent, '-', "Début du Stream Format Header"));
            fields(indent, kBitmapHeader, bytes, got);
            std::string compression;
            for (size_t i = 16; i < 20 && i < got; ++i)
                compression += static_cast<char>(std::tolower(static_cast<unsigned char>(bytes[i])));
            if (size > 40 && size - 40 > 31 &&
                (compression == "dvsd" || compression == "dsvd" || compression == "csvd")) {
                if (!dvInfo(body + 40, size - 40, indent)) return false;
            }
            add(Banner(indent, '-', "Fin du AVI Stream Format"));
            add("");
        } else if (code == MakeFourCC("strf") && kind_ == Kind::Audio) {
            const size_t got = leading(body, size, bytes, 18);
            if (report_.unexpectedEnd_) return false;
            add("");
            add(Banner(indent, '-', "Début du Stream Format Header"));
            fields(indent, kWaveFormat, bytes, got);
            add(Banner(indent, '-', "Fin du AVI Stream Format"));
            add("");
        } else if (code == MakeFourCC("strf") && kind_ == Kind::Interleaved) {
            add("");
            if (!dvInfo(body, size, indent)) return false;
            add("");
        } else if (IsIndex(code)) {
            const size_t got = leading(body, size, bytes, 32);
            if (report_.unexpectedEnd_) return false;
            add("");
            add(Banner(indent, '-', "Début d'un Index"));
            fields(indent, kIndexHeader, bytes, got);
            add(Banner(indent, '-', "Fin de l'Index"));
            add("");
        } else if (code == MakeFourCC("idx1")) {
            // Entries of 16 bytes each; not listed.
            add("");
            add(Banner(indent, '-', "Début d'un OldIndex"));
            add(Banner(indent, '-', "Fin de l'OldIndex"));
        } else if (code[0] == 'I') {
            // INFO text: the chunk less its last 4 bytes.
            const size_t length =
                static_cast<size_t>(std::min<uint64_t>(size > 4 ? size - 4 : 0, kMaxTextBytes));
            std::string text(length, '\0');
            if (length > 0 && !read(body, text.data(), length)) return false;
            add(indent + std::string(markup::kItalic) + std::string(markup::kGreen) + TextFromBytes(text) +
                std::string(markup::kEndColor) + std::string(markup::kEndItalic));
        }
        return true;
    }

    bool dvInfo(uint64_t body, uint64_t size, const std::string& indent) {
        uint8_t bytes[32] = {};
        const size_t got = leading(body, size, bytes, 32);
        if (report_.unexpectedEnd_) return false;
        add(Banner(indent, '-', "Début de DVInfo"));
        fields(indent, kDvInfo, bytes, got);
        add(Banner(indent, '-', "Fin de DVINfo"));
        return true;
    }

    RiffReport& report_;
    const RiffSource& source_;
    std::vector<std::string>& lines_;
    const uint64_t fileSize_;
    Kind kind_ = Kind::Other;
    size_t chunks_ = 0;
};

bool RiffReport::AnalyseFile(const std::string& path) {
    if (running_) return false;
    lines_.clear();
    lastPath_ = path;
    const FileRiffSource source(path);
    return Analyse(source, path);
}

bool RiffReport::Analyse(const RiffSource& source, const std::string& path) {
    if (running_) return false;
    running_ = true;
    struct Guard {
        bool& flag;
        ~Guard() { flag = false; }
    } guard{running_};

    lines_.clear();
    lastPath_ = path;
    cancelled_ = false;
    unexpectedEnd_ = false;
    std::vector<std::string> lines;
    const std::string name = std::filesystem::path(path).filename().string();
    const std::time_t now = Clock ? Clock() : std::time(nullptr);

    lines.push_back(std::string(markup::kBlue) + std::string(markup::kBold) + kRule);
    lines.push_back("");
    lines.push_back(Banner("", '*', "  En-tête du fichier " + name + "  "));
    lines.push_back("");
    lines.push_back(Banner("", ' ', DateText(now)));
    lines.push_back(Banner("", ' ', "avec " + AppTitle));
    lines.push_back("");
    lines.push_back(Banner("", ' ', "Visitez mon site web:"));
    lines.push_back(Banner("", ' ', WebAddress));
    lines.push_back("");
    lines.push_back(Banner("", '-', "Début du RIFF Avi"));
    lines.push_back(std::string(markup::kEndBold) + std::string(markup::kEndColor));
    for (std::string& line : lines)
        for (char& c : line)
            if (static_cast<unsigned char>(c) < 32) c = ' ';

    Walker(*this, source, lines).run();

    lines.push_back("");
    if (cancelled_) {
        lines.push_back(Banner("", '-', "Annulé par l'utilisateur"));
        lines.push_back("");
    }
    if (unexpectedEnd_)
        lines.push_back(std::string(markup::kRed) + std::string(markup::kBold) +
                        Banner("", ' ', "Fin du fichier inattendue") + std::string(markup::kEndBold) +
                        std::string(markup::kEndColor));
    lines.push_back(Banner("", '-', " Fin de l'en-tête "));
    std::string shownPath = Banner("", ' ', path);
    for (char& c : shownPath)
        if (static_cast<unsigned char>(c) < 32) c = ' ';
    lines.push_back(shownPath);
    lines.push_back("");
    lines.push_back(kRule);
    lines_ = std::move(lines);
    return true;
}

// ---- Markup rendering -------------------------------------------------------------------------

namespace {

enum class Tag { None, Blue, Red, Green, EndColor, Bold, EndBold, Italic, EndItalic };

constexpr std::pair<std::string_view, Tag> kTags[] = {
    {markup::kBlue, Tag::Blue},     {markup::kRed, Tag::Red},
    {markup::kGreen, Tag::Green},   {markup::kEndColor, Tag::EndColor},
    {markup::kBold, Tag::Bold},     {markup::kEndBold, Tag::EndBold},
    {markup::kItalic, Tag::Italic}, {markup::kEndItalic, Tag::EndItalic},
};

// Calls text(piece) and tag(t) in the order they appear in `line`.
template <typename OnText, typename OnTag>
void Parse(std::string_view line, OnText text, OnTag tag) {
    size_t start = 0;
    size_t i = 0;
    while (i < line.size()) {
        Tag found = Tag::None;
        size_t length = 0;
        if (line[i] == '<')
            for (const auto& [name, t] : kTags)
                if (line.substr(i, name.size()) == name) {
                    found = t;
                    length = name.size();
                    break;
                }
        if (found == Tag::None) {
            ++i;
            continue;
        }
        if (i > start) text(line.substr(start, i - start));
        tag(found);
        i += length;
        start = i;
    }
    if (start < line.size()) text(line.substr(start));
}

// Code points of a UTF-8 text; an invalid byte stands for itself.
template <typename OnCodePoint>
void ForEachCodePoint(std::string_view text, OnCodePoint emit) {
    size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        const size_t extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        uint32_t cp = extra == 3 ? c & 0x07u : extra == 2 ? c & 0x0Fu : extra == 1 ? c & 0x1Fu : c;
        bool ok = i + extra < text.size() || extra == 0;
        for (size_t k = 1; ok && k <= extra; ++k) {
            const auto cc = static_cast<unsigned char>(text[i + k]);
            ok = (cc & 0xC0) == 0x80;
            cp = cp << 6 | (cc & 0x3Fu);
        }
        if (!ok) {
            emit(uint32_t(c));
            ++i;
            continue;
        }
        emit(cp);
        i += extra + 1;
    }
}

void RtfUnit(std::string& out, uint32_t unit) {
    out += "\\u" + std::to_string(static_cast<int16_t>(static_cast<uint16_t>(unit))) + "?";
}

}  // namespace

std::string PlainText(std::string_view line) {
    std::string out;
    Parse(
        line, [&](std::string_view piece) { out += piece; }, [](Tag) {});
    return out;
}

std::string ReportPlainText(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& line : lines) out += PlainText(line) + "\r\n";
    return out;
}

std::string ReportRichText(const std::vector<std::string>& lines) {
    // Colour table: 1 black (default), 2 blue, 3 red, 4 green.
    std::string out =
        "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fmodern\\fcharset0 Courier New;}}\r\n"
        "{\\colortbl "
        ";\\red0\\green0\\blue0;\\red0\\green0\\blue255;\\red255\\green0\\blue0;\\red0\\green128\\blue0;}\r\n"
        "\\f0\\fs18\\cf1 ";
    std::vector<int> colours;
    int bold = 0;
    int italic = 0;
    auto colour = [&] { return colours.empty() ? 1 : colours.back(); };
    for (const std::string& line : lines) {
        Parse(
            line,
            [&](std::string_view piece) {
                ForEachCodePoint(piece, [&](uint32_t cp) {
                    if (cp == '\\' || cp == '{' || cp == '}') {
                        out += '\\';
                        out += static_cast<char>(cp);
                    } else if (cp < 0x80) {
                        out += static_cast<char>(cp);
                    } else if (cp < 0x10000) {
                        RtfUnit(out, cp);
                    } else {
                        cp -= 0x10000;
                        RtfUnit(out, 0xD800 + (cp >> 10));
                        RtfUnit(out, 0xDC00 + (cp & 0x3FF));
                    }
                });
            },
            [&](Tag tag) {
                const int before = colour();
                const int wasBold = bold;
                const int wasItalic = italic;
                switch (tag) {
                    case Tag::Blue:
                        colours.push_back(2);
                        break;
                    case Tag::Red:
                        colours.push_back(3);
                        break;
                    case Tag::Green:
                        colours.push_back(4);
                        break;
                    case Tag::EndColor:
                        if (!colours.empty()) colours.pop_back();
                        break;
                    case Tag::Bold:
                        ++bold;
                        break;
                    case Tag::EndBold:
                        bold = std::max(0, bold - 1);
                        break;
                    case Tag::Italic:
                        ++italic;
                        break;
                    case Tag::EndItalic:
                        italic = std::max(0, italic - 1);
                        break;
                    case Tag::None:
                        break;
                }
                if (colour() != before) out += "\\cf" + std::to_string(colour()) + " ";
                if ((bold > 0) != (wasBold > 0)) out += bold > 0 ? "\\b " : "\\b0 ";
                if ((italic > 0) != (wasItalic > 0)) out += italic > 0 ? "\\i " : "\\i0 ";
            });
        out += "\\par\r\n";
    }
    out += "}\r\n";
    return out;
}

std::string SaveReport(const std::vector<std::string>& lines, const std::string& chosenPath, bool richText) {
    std::filesystem::path target(chosenPath);
    target.replace_extension(richText ? ".rtf" : ".txt");
    const std::string final = target.string();
    const std::string content = richText ? ReportRichText(lines) : ReportPlainText(lines);

    AtomicFile file;
    if (!file.Open(final) || !file.Write(content) || !file.Commit())
        throw MediaError(final, std::string("écriture impossible : ") + ErrorText(file.errorNumber()));
    return final;
}

}  // namespace velinor
