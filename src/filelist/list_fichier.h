#pragma once
// The records of the file list: the path-derived base, the directory-entry record with size,
// dates and their sort keys, and the six sort orders. Records are built on the UI thread (or
// under the record-construction lock by a command) and only read afterwards.
#include <cstdint>
#include <string>
#include <string_view>

#include "media/datecode.h"

namespace velinor {

struct TSortIndex {
    std::string Id;
    std::string Description;  // used in list exports
    std::string Label;        // shown under the list
};

extern const TSortIndex kSortAlpha;
extern const TSortIndex kSortTaille;
extern const TSortIndex kSortModify;
extern const TSortIndex kSortDatecode;
extern const TSortIndex kSortTimecode;
extern const TSortIndex kSortDuree;

// "alpha", "modify", "taille", "datecode", "timecode", "duree"; anything else gives "alpha".
const TSortIndex& SortIndexById(std::string_view id);

// Lower case of UTF-8 text, character by character (ASCII, Latin-1, Latin Extended-A, Greek and
// Cyrillic capitals). Bytes that are not UTF-8 are kept as they are.
std::string LowerCase(std::string_view text);

// The parts of a path: the text after the last "/" is the name.
struct PathParts {
    std::string Name;
    std::string Folder;  // up to and including the last "/"; empty without one
    std::string Ext;     // lower-case, with its dot; empty when the name has none
};
PathParts SplitPath(std::string_view path);

class TAbstractListFichier {
public:
    explicit TAbstractListFichier(const std::string& path);
    virtual ~TAbstractListFichier() = default;
    TAbstractListFichier(const TAbstractListFichier&) = delete;
    TAbstractListFichier& operator=(const TAbstractListFichier&) = delete;

    // The record's key in this order; every key ends with the lower-cased path. Empty for an
    // order the record does not know.
    virtual std::string SortKey(const TSortIndex& index) const;

    std::string FileName;
    std::string Name;
    std::string Folder;
    std::string Ext;
    std::string BaseName;
    std::string AlphaKey;  // lower-case(Name + FileName)
};

// Attribute bits, as the list and its exports show them.
constexpr uint32_t kAttrReadOnly = 0x1;
constexpr uint32_t kAttrHidden = 0x2;  // the name begins with "."
constexpr uint32_t kAttrDirectory = 0x10;
constexpr uint32_t kAttrArchive = 0x20;   // a regular file
constexpr uint32_t kAttrReparse = 0x400;  // a symbolic link

class TSRFichier : public TAbstractListFichier {
public:
    // Reads the file's directory entry (following a symbolic link). A path that names nothing
    // keeps its name fields and zero sizes and dates.
    explicit TSRFichier(const std::string& path);

    std::string SortKey(const TSortIndex& index) const override;

    bool Found = false;  // the entry was there when the record was built
    uint32_t SizeHigh = 0;
    uint32_t SizeLow = 0;
    Datecode Created = 0;  // local time, to the millisecond
    Datecode Modified = 0;
    Datecode Accessed = 0;
    uint32_t Attributes = 0;
    bool ReadOnly = false;
    std::string SizeKey;      // "%.16X%.16X" of SizeHigh, SizeLow + lower-case(FileName)
    std::string ModifiedKey;  // "yyyymmddhhnnss" of Modified + lower-case(FileName)

    uint64_t Size() const { return uint64_t(SizeHigh) << 32 | SizeLow; }
};

// Seconds and nanoseconds since 1970 (UTC) as a local-time datecode, to the millisecond.
Datecode LocalDatecode(int64_t seconds, int64_t nanoseconds);

}  // namespace velinor
