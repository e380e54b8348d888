#pragma once
// The preference stores: one interface, TPreferencesMan, over a current key (a backslash-separated
// path below the store's root, empty for the root) holding typed values, and its three back-ends.
// UI thread only.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/atomic_file.h"

namespace velinor {

enum class TSavePreferences : uint8_t { spRegistre = 0, spPortable = 1, spNone = 2 };

struct TRect {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Right = 0;
    int32_t Bottom = 0;
    friend bool operator==(const TRect&, const TRect&) = default;
};

// A font as the overlay and the list draw it; the numbers keep the meaning of a Windows font
// (Charset 1 = default, Pitch 0 = default, Color = 0x00BBGGRR).
struct TFont {
    std::string Name = "Arial";
    int32_t Size = 8;
    int32_t Color = 0;
    int32_t Charset = 1;
    int32_t Pitch = 0;
    int32_t PixelsPerInch = 96;
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    bool StrikeOut = false;
    friend bool operator==(const TFont&, const TFont&) = default;
};

class TPreferencesMan {
public:
    virtual ~TPreferencesMan() = default;

    virtual bool GetValueNames(std::vector<std::string>& names) = 0;
    virtual bool GetKeyNames(std::vector<std::string>& names) = 0;
    virtual bool OpenKey(const std::string& name, bool create) = 0;
    virtual bool CloseKey() = 0;
    virtual bool WriteString(const std::string& name, const std::string& value) = 0;
    virtual bool ReadString(const std::string& name, std::string& value) = 0;
    virtual bool DeleteValue(const std::string& name) = 0;
    virtual bool WriteBool(const std::string& name, bool value) = 0;
    virtual bool ReadBool(const std::string& name, bool& value) = 0;
    virtual bool WriteInteger(const std::string& name, int32_t value) = 0;
    virtual bool ReadInteger(const std::string& name, int32_t& value) = 0;
    virtual bool WriteFloat(const std::string& name, double value) = 0;
    virtual bool ReadFloat(const std::string& name, double& value) = 0;

    // Writes what changed to the store's file (temporary file beside it, then rename).
    // Nothing reaches the disk before this is called, so a damaged file is never rewritten
    // by merely reading it. Returns false, with LastError() set, when the file could not be written.
    virtual bool Flush() { return true; }
    const std::string& LastError() const { return lastError_; }
    // Lines or values of the stored file that could not be read and were left out.
    int DamagedEntries() const { return damaged_; }

    const std::string& CurrentKey() const { return currentKey_; }

protected:
    static std::string ParentPath(const std::string& path);
    static std::string ChildPath(const std::string& path, const std::string& name);

    std::string currentKey_;
    std::string lastError_;
    int damaged_ = 0;
};

// Stores nothing: opening, closing and writing succeed, everything else fails.
class TNonePreferencesMan final : public TPreferencesMan {
public:
    bool GetValueNames(std::vector<std::string>&) override { return false; }
    bool GetKeyNames(std::vector<std::string>&) override { return false; }
    bool OpenKey(const std::string&, bool) override { return true; }
    bool CloseKey() override { return true; }
    bool WriteString(const std::string&, const std::string&) override { return true; }
    bool ReadString(const std::string&, std::string&) override { return false; }
    bool DeleteValue(const std::string&) override { return false; }
    bool WriteBool(const std::string&, bool) override { return true; }
    bool ReadBool(const std::string&, bool&) override { return false; }
    bool WriteInteger(const std::string&, int32_t) override { return true; }
    bool ReadInteger(const std::string&, int32_t&) override { return false; }
    bool WriteFloat(const std::string&, double) override { return true; }
    bool ReadFloat(const std::string&, double&) override { return false; }
};

// The per-user store of the normal mode: a text file of keys and typed values that stands in
// for the user's registry key. Keys and value names compare without regard to case, as the
// registry does. The whole file is read at construction and written by Flush.
//
// File layout (UTF-8, LF):
//   # comment lines and blank lines are ignored
//   [UIForm\Available]        a key, by its path below the root; "[]" is the root
//   i:FormatDuree=0           TYPE ":" NAME "=" VALUE, TYPE s text, i 32-bit integer,
//   b:Mute=1                  b boolean (0 or 1), d double (shortest text that reads back
//   d:Ratio=0.1               exactly); in names, values and paths the bytes below 0x20,
//   s:Name=a%0Ab              "%", 0x7F and (in names) "=" and (in paths) "]" are written %XX.
// A line that does not read is skipped and counted, so a damaged file loses only that line.
class TRegPreferencesMan final : public TPreferencesMan {
public:
    // file: the settings file (read when it exists). create: an empty store when missing.
    TRegPreferencesMan(std::filesystem::path file, bool create);

    bool GetValueNames(std::vector<std::string>& names) override;
    bool GetKeyNames(std::vector<std::string>& names) override;
    bool OpenKey(const std::string& name, bool create) override;
    bool CloseKey() override;
    bool WriteString(const std::string& name, const std::string& value) override;
    bool ReadString(const std::string& name, std::string& value) override;
    bool DeleteValue(const std::string& name) override;
    bool WriteBool(const std::string& name, bool value) override;
    bool ReadBool(const std::string& name, bool& value) override;
    bool WriteInteger(const std::string& name, int32_t value) override;
    bool ReadInteger(const std::string& name, int32_t& value) override;
    bool WriteFloat(const std::string& name, double value) override;
    bool ReadFloat(const std::string& name, double& value) override;
    bool Flush() override;

    // Serialises a store to the file layout above, and reads it back (for tests and fuzzing).
    std::string Serialize() const;
    void Parse(std::string_view content);

private:
    struct Value {
        char type;  // 's', 'i', 'b', 'd'
        std::string name;
        std::string text;
    };
    struct Key {
        std::string path;
        std::vector<Value> values;  // in writing order
    };

    Key* FindKey(const std::string& path);
    Key& CurrentKeyData();
    Value* FindValue(const std::string& name);
    bool Put(const std::string& name, char type, std::string text);

    std::filesystem::path file_;
    std::vector<Key> keys_;  // the root first
    bool dirty_ = false;
};

// The portable store: a settings file of "[key\path]" sections and "name=value" lines,
// UTF-16LE with a byte-order mark and CR LF line ends, held in memory as lines (UTF-8 here)
// and written by Flush.
class TIniPreferencesMan final : public TPreferencesMan {
public:
    TIniPreferencesMan(std::filesystem::path file, bool create);

    bool GetValueNames(std::vector<std::string>& names) override;
    bool GetKeyNames(std::vector<std::string>& names) override;
    bool OpenKey(const std::string& name, bool create) override;
    bool CloseKey() override;
    bool WriteString(const std::string& name, const std::string& value) override;
    bool ReadString(const std::string& name, std::string& value) override;
    bool DeleteValue(const std::string& name) override;
    bool WriteBool(const std::string& name, bool value) override;
    bool ReadBool(const std::string& name, bool& value) override;
    bool WriteInteger(const std::string& name, int32_t value) override;
    bool ReadInteger(const std::string& name, int32_t& value) override;
    bool WriteFloat(const std::string& name, double value) override;
    bool ReadFloat(const std::string& name, double& value) override;
    bool Flush() override;

    // The file's bytes: UTF-16LE BOM, lines ended by CR LF.
    std::string Serialize() const;
    // Reads a file's bytes: a UTF-16LE, UTF-16BE or UTF-8 byte-order mark is honoured, otherwise
    // UTF-8 (the system encoding); lines end at CR LF, CR or LF.
    void Parse(std::string_view bytes);
    const std::vector<std::string>& Lines() const { return lines_; }

private:
    // Index of the header line of a path, or -1.
    long FindHeader(const std::string& path) const;
    // [first, end) of the value lines of the current key; first == -1 when it has no header.
    std::pair<long, long> CurrentSection() const;
    long FindValueLine(const std::string& name) const;
    long EnsureHeader();

    std::filesystem::path file_;
    std::vector<std::string> lines_;
    bool dirty_ = false;
};

}  // namespace velinor
