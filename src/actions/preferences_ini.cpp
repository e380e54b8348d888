#include <fstream>
#include <iterator>
#include <system_error>

#include "actions/preferences.h"
#include "actions/value_text.h"

namespace velinor {

namespace {

bool IsHeader(const std::string& line) {
    return line.size() >= 2 && line.front() == '[' && line.back() == ']';
}

}  // namespace

TIniPreferencesMan::TIniPreferencesMan(std::filesystem::path file, bool create) : file_(std::move(file)) {
    std::error_code ec;
    if (std::filesystem::exists(file_, ec)) {
        std::ifstream in(file_, std::ios::binary);
        if (!in) {
            lastError_ = "Impossible de lire le fichier " + file_.string();
            lines_.assign(1, "[]");
            return;
        }
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        Parse(bytes);
    } else {
        lines_.assign(1, "[]");
        dirty_ = create;
    }
}

void TIniPreferencesMan::Parse(std::string_view bytes) {
    std::string content;
    damaged_ = 0;
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        damaged_ += bytes.size() % 2;
        content = text::Utf16ToUtf8(text::DecodeUtf16Bytes(bytes.substr(2), false));
    } else if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFE &&
               static_cast<unsigned char>(bytes[1]) == 0xFF) {
        damaged_ += bytes.size() % 2;
        content = text::Utf16ToUtf8(text::DecodeUtf16Bytes(bytes.substr(2), true));
    } else if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        content = text::SanitizeUtf8(bytes.substr(3));
    } else {
        content = text::SanitizeUtf8(bytes);
    }
    lines_.clear();
    size_t pos = 0;
    while (pos < content.size()) {
        const auto eol = content.find_first_of("\r\n", pos);
        if (eol == std::string::npos) {
            lines_.push_back(content.substr(pos));
            break;
        }
        lines_.push_back(content.substr(pos, eol - pos));
        pos = eol + 1;
        if (content[eol] == '\r' && pos < content.size() && content[pos] == '\n') ++pos;
    }
}

std::string TIniPreferencesMan::Serialize() const {
    std::string out = "\xFF\xFE";
    for (const auto& line : lines_) {
        for (char16_t u : text::Utf8ToUtf16(line + "\r\n")) {
            out += static_cast<char>(u & 0xFF);
            out += static_cast<char>(u >> 8);
        }
    }
    return out;
}

bool TIniPreferencesMan::Flush() {
    std::error_code ec;
    if (!dirty_ && std::filesystem::exists(file_, ec)) return true;
    lastError_ = WriteFileAtomically(file_, Serialize());
    if (!lastError_.empty()) return false;
    dirty_ = false;
    return true;
}

long TIniPreferencesMan::FindHeader(const std::string& path) const {
    const std::string header = "[" + path + "]";
    for (size_t i = 0; i < lines_.size(); ++i)
        if (text::SameTextNoCase(lines_[i], header)) return static_cast<long>(i);
    return -1;
}

std::pair<long, long> TIniPreferencesMan::CurrentSection() const {
    const long header = FindHeader(currentKey_);
    if (header < 0) return {-1, -1};
    long end = header + 1;
    while (end < static_cast<long>(lines_.size()) && !IsHeader(lines_[static_cast<size_t>(end)])) ++end;
    return {header + 1, end};
}

long TIniPreferencesMan::FindValueLine(const std::string& name) const {
    const auto [first, end] = CurrentSection();
    for (long i = first; first >= 0 && i < end; ++i) {
        const std::string& line = lines_[static_cast<size_t>(i)];
        const auto eq = line.find('=');
        if (eq != std::string::npos && text::SameTextNoCase(std::string_view(line).substr(0, eq), name))
            return i;
    }
    return -1;
}

long TIniPreferencesMan::EnsureHeader() {
    long header = FindHeader(currentKey_);
    if (header >= 0) return header;
    if (!lines_.empty()) lines_.emplace_back();
    lines_.push_back("[" + currentKey_ + "]");
    dirty_ = true;
    return static_cast<long>(lines_.size()) - 1;
}

bool TIniPreferencesMan::GetValueNames(std::vector<std::string>& names) {
    const auto [first, end] = CurrentSection();
    if (first < 0) return false;
    for (long i = first; i < end; ++i) {
        const std::string& line = lines_[static_cast<size_t>(i)];
        const auto eq = line.find('=');
        if (eq != std::string::npos) names.push_back(line.substr(0, eq));
    }
    return true;
}

bool TIniPreferencesMan::GetKeyNames(std::vector<std::string>& names) {
    const std::string prefix = currentKey_.empty() ? "[" : "[" + currentKey_ + "\\";
    for (const auto& line : lines_) {
        if (!IsHeader(line) || line == "[]" || line.size() <= prefix.size() + 1) continue;
        if (text::SameTextNoCase(std::string_view(line).substr(0, prefix.size()), prefix))
            names.push_back(line.substr(prefix.size(), line.size() - prefix.size() - 1));
    }
    return true;
}

// The key becomes current even when its section is missing, so that the caller's closing walk
// stays balanced; a missing section is only appended when asked to create it, so reading never
// changes the file and a list never stored reads as missing.
bool TIniPreferencesMan::OpenKey(const std::string& name, bool create) {
    currentKey_ = ChildPath(currentKey_, name);
    if (create) EnsureHeader();
    return true;
}

bool TIniPreferencesMan::CloseKey() {
    currentKey_ = ParentPath(currentKey_);
    return true;
}

// A name holding "=" or beginning with "[", or a line break anywhere, would not read back as
// the same value (or would break the file's sections), so such writes are refused.
bool TIniPreferencesMan::WriteString(const std::string& name, const std::string& value) {
    if (name.find_first_of("=\r\n") != std::string::npos || (!name.empty() && name.front() == '[') ||
        value.find_first_of("\r\n") != std::string::npos)
        return false;
    const std::string line = name + "=" + value;
    const long existing = FindValueLine(name);
    dirty_ = true;
    if (existing >= 0) {
        lines_[static_cast<size_t>(existing)] = line;
        return true;
    }
    EnsureHeader();
    const auto [first, end] = CurrentSection();
    (void)first;
    lines_.insert(lines_.begin() + end, line);
    return true;
}

bool TIniPreferencesMan::ReadString(const std::string& name, std::string& value) {
    const long i = FindValueLine(name);
    if (i < 0) return false;
    const std::string& line = lines_[static_cast<size_t>(i)];
    value = line.substr(line.find('=') + 1);
    return true;
}

bool TIniPreferencesMan::DeleteValue(const std::string& name) {
    const long i = FindValueLine(name);
    if (i < 0) return false;
    lines_.erase(lines_.begin() + i);
    dirty_ = true;
    return true;
}

bool TIniPreferencesMan::WriteBool(const std::string& name, bool value) {
    return WriteString(name, value ? "True" : "False");
}

bool TIniPreferencesMan::ReadBool(const std::string& name, bool& value) {
    std::string s;
    if (!ReadString(name, s) || (s != "True" && s != "False")) return false;
    value = s == "True";
    return true;
}

bool TIniPreferencesMan::WriteInteger(const std::string& name, int32_t value) {
    return WriteString(name, std::to_string(value));
}

// A value that is not a number is unreadable, so the caller's default is used rather than 0.
bool TIniPreferencesMan::ReadInteger(const std::string& name, int32_t& value) {
    std::string s;
    if (!ReadString(name, s)) return false;
    const auto parsed = text::ParseInt32(s);
    if (!parsed) return false;
    value = *parsed;
    return true;
}

bool TIniPreferencesMan::WriteFloat(const std::string& name, double value) {
    return WriteString(name, text::FormatGeneral(value));
}

bool TIniPreferencesMan::ReadFloat(const std::string& name, double& value) {
    std::string s;
    if (!ReadString(name, s)) return false;
    const auto parsed = text::ParseDouble(s);
    if (!parsed) return false;
    value = *parsed;
    return true;
}

}  // namespace velinor
