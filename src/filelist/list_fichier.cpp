#include "filelist/list_fichier.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>

#include "media/datetime_format.h"
#include "platform/utf16.h"

namespace velinor {

const TSortIndex kSortAlpha{"alpha", "par ordre alphabétique", "Tri alphabétique"};
const TSortIndex kSortTaille{"taille", "selon la taille du fichier", "tri selon taille"};
const TSortIndex kSortModify{"modify", "selon la date du fichier", "tri selon date du fichier"};
const TSortIndex kSortDatecode{"datecode", "selon le datecode", "tri selon le datecode"};
const TSortIndex kSortTimecode{"timecode", "selon le timecode", "Tri selon le timecode"};
const TSortIndex kSortDuree{"duree", "selon la durée", "tri selon la durée"};

const TSortIndex& SortIndexById(std::string_view id) {
    for (const TSortIndex* index :
         {&kSortAlpha, &kSortModify, &kSortTaille, &kSortDatecode, &kSortTimecode, &kSortDuree})
        if (index->Id == id) return *index;
    return kSortAlpha;
}

namespace {

char32_t LowerChar(char32_t c) {
    if (c >= U'A' && c <= U'Z') return c + 32;
    if (c < 0xC0) return c;
    if (c <= 0xDE) return c == 0xD7 ? c : c + 32;  // Latin-1 capitals, not the multiplication sign
    if (c >= 0x100 && c <= 0x137) return c | 1;    // Latin Extended-A pairs: capital even
    if (c >= 0x139 && c <= 0x148) return (c & 1) ? c + 1 : c;
    if (c >= 0x14A && c <= 0x177) return c | 1;
    if (c == 0x178) return 0xFF;
    if (c >= 0x179 && c <= 0x17E) return (c & 1) ? c + 1 : c;
    if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return c + 32;  // Greek
    if (c >= 0x400 && c <= 0x40F) return c + 80;                // Cyrillic
    if (c >= 0x410 && c <= 0x42F) return c + 32;
    return c;
}

}  // namespace

std::string LowerCase(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const auto b = uint8_t(text[i]);
        int extra = b < 0x80             ? 0
                    : (b & 0xE0) == 0xC0 ? 1
                    : (b & 0xF0) == 0xE0 ? 2
                    : (b & 0xF8) == 0xF0 ? 3
                                         : -1;
        char32_t c = extra == 0 ? b : extra == 1 ? (b & 0x1F) : extra == 2 ? (b & 0x0F) : (b & 0x07);
        bool ok = extra >= 0 && i + size_t(extra) < text.size() + (extra == 0 ? 1 : 0);
        for (int k = 1; ok && k <= extra; ++k) {
            const auto t = uint8_t(text[i + size_t(k)]);
            if ((t & 0xC0) != 0x80) ok = false;
            c = c << 6 | (t & 0x3F);
        }
        if (!ok) {  // not UTF-8: keep the byte
            out += text[i++];
            continue;
        }
        AppendUtf8(out, LowerChar(c));
        i += size_t(extra) + 1;
    }
    return out;
}

PathParts SplitPath(std::string_view path) {
    PathParts parts;
    const size_t slash = path.rfind('/');
    const size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
    parts.Name = std::string(path.substr(nameStart));
    parts.Folder = std::string(path.substr(0, nameStart));
    const size_t dot = parts.Name.rfind('.');
    if (dot != std::string::npos) parts.Ext = LowerCase(std::string_view(parts.Name).substr(dot));
    return parts;
}

TAbstractListFichier::TAbstractListFichier(const std::string& path) : FileName(path) {
    PathParts parts = SplitPath(path);
    Name = std::move(parts.Name);
    Folder = std::move(parts.Folder);
    Ext = std::move(parts.Ext);
    BaseName = Name.substr(0, Name.size() - Ext.size());
    AlphaKey = LowerCase(Name + FileName);
}

std::string TAbstractListFichier::SortKey(const TSortIndex& index) const {
    return index.Id == "alpha" ? AlphaKey : std::string();
}

Datecode LocalDatecode(int64_t seconds, int64_t nanoseconds) {
    const time_t t = time_t(seconds);
    struct tm local {};
    if (!localtime_r(&t, &local)) return 0;
    const auto day = MakeDatecode(DatecodeFields{local.tm_year + 1900, uint8_t(local.tm_mon + 1),
                                                 uint8_t(local.tm_mday), uint8_t(local.tm_hour),
                                                 uint8_t(local.tm_min), uint8_t(std::min(local.tm_sec, 59))});
    if (!day) return 0;
    return *day + double(nanoseconds / 1'000'000) / (kSecondsPerDay * 1000.0);
}

TSRFichier::TSRFichier(const std::string& path) : TAbstractListFichier(path) {
    struct stat link {};
    struct stat st {};
    if (::lstat(path.c_str(), &link) == 0) {
        const bool isLink = S_ISLNK(link.st_mode);
        if (!isLink || ::stat(path.c_str(), &st) != 0) st = link;
        Found = true;
        const auto size = uint64_t(st.st_size);
        SizeHigh = uint32_t(size >> 32);
        SizeLow = uint32_t(size);
        Modified = LocalDatecode(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
        Accessed = LocalDatecode(st.st_atim.tv_sec, st.st_atim.tv_nsec);
        // Creation time is not kept by every file system; the status change time stands in.
        Created = LocalDatecode(st.st_ctim.tv_sec, st.st_ctim.tv_nsec);
        if (S_ISDIR(st.st_mode)) Attributes |= kAttrDirectory;
        if (S_ISREG(st.st_mode)) Attributes |= kAttrArchive;
        if (isLink) Attributes |= kAttrReparse;
        if (!Name.empty() && Name[0] == '.') Attributes |= kAttrHidden;
        if (::access(path.c_str(), W_OK) != 0) Attributes |= kAttrReadOnly;
        ReadOnly = (Attributes & kAttrReadOnly) != 0;
    }
    char hex[40];
    std::snprintf(hex, sizeof hex, "%.16X%.16X", SizeHigh, SizeLow);
    const std::string lowerPath = LowerCase(FileName);
    SizeKey = hex + lowerPath;
    ModifiedKey = FormatDateTime("yyyymmddhhnnss", Modified) + lowerPath;
}

std::string TSRFichier::SortKey(const TSortIndex& index) const {
    if (index.Id == "modify") return ModifiedKey;
    if (index.Id == "taille") return SizeKey;
    return TAbstractListFichier::SortKey(index);
}

}  // namespace velinor
