#include <algorithm>
#include <fstream>
#include <iterator>
#include <system_error>

#include "actions/preferences.h"
#include "actions/value_text.h"

namespace velinor {

namespace {

// Bytes written as %XX: controls, "%", DEL, and the given extra characters.
std::string Escape(std::string_view s, std::string_view extra) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (char c : s) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F || c == '%' || extra.find(c) != std::string_view::npos) {
            out += '%';
            out += kHex[b >> 4];
            out += kHex[b & 0xF];
        } else {
            out += c;
        }
    }
    return out;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool Unescape(std::string_view s, std::string& out) {
    out.clear();
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '%') {
            out += s[i];
            continue;
        }
        if (i + 2 >= s.size()) return false;
        const int hi = HexDigit(s[i + 1]), lo = HexDigit(s[i + 2]);
        if (hi < 0 || lo < 0) return false;
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
    }
    return true;
}

bool ValidValue(char type, const std::string& text) {
    switch (type) {
        case 's':
            return true;
        case 'i':
            return text::ParseInt32(text).has_value() && text::Trim(text) == text;
        case 'b':
            return text == "0" || text == "1";
        case 'd':
            return text::ParseDouble(text).has_value() && text.find(',') == std::string::npos;
        default:
            return false;
    }
}

}  // namespace

TRegPreferencesMan::TRegPreferencesMan(std::filesystem::path file, bool create) : file_(std::move(file)) {
    keys_.push_back(Key{});
    std::error_code ec;
    if (std::filesystem::exists(file_, ec)) {
        std::ifstream in(file_, std::ios::binary);
        if (!in) {
            lastError_ = "Impossible de lire le fichier " + file_.string();
            return;
        }
        const std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        Parse(content);
    } else if (create) {
        dirty_ = true;
    }
}

void TRegPreferencesMan::Parse(std::string_view content) {
    keys_.assign(1, Key{});
    damaged_ = 0;
    Key* section = &keys_.front();
    size_t pos = 0;
    while (pos < content.size()) {
        auto eol = content.find('\n', pos);
        if (eol == std::string_view::npos) eol = content.size();
        std::string_view line = content.substr(pos, eol - pos);
        pos = eol + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty() || line.front() == '#') continue;
        if (line.front() == '[') {
            std::string path;
            if (line.size() < 2 || line.back() != ']' || !Unescape(line.substr(1, line.size() - 2), path)) {
                ++damaged_;
                section = nullptr;  // its values cannot be placed
                continue;
            }
            section = FindKey(path);
            if (!section) {
                // Intermediate keys exist too, so that every key is found among its parent's children.
                std::string partial;
                size_t from = 0;
                while (true) {
                    const auto slash = path.find('\\', from);
                    partial = path.substr(0, slash);
                    if (!FindKey(partial)) keys_.push_back(Key{partial, {}});
                    if (slash == std::string::npos) break;
                    from = slash + 1;
                }
                section = FindKey(path);
            }
            continue;
        }
        const auto eq = line.find('=');
        Value value{};
        if (!section || line.size() < 3 || line[1] != ':' || eq == std::string_view::npos ||
            !Unescape(line.substr(2, eq - 2), value.name) || !Unescape(line.substr(eq + 1), value.text) ||
            !ValidValue(line[0], value.text)) {
            ++damaged_;
            continue;
        }
        value.type = line[0];
        auto it = std::find_if(section->values.begin(), section->values.end(),
                               [&](const Value& v) { return text::SameTextNoCase(v.name, value.name); });
        if (it != section->values.end())
            *it = std::move(value);
        else
            section->values.push_back(std::move(value));
    }
}

std::string TRegPreferencesMan::Serialize() const {
    std::string out = "# Velinor: réglages de l'utilisateur\n";
    for (const auto& key : keys_) {
        out += '[';
        out += Escape(key.path, "]");
        out += "]\n";
        for (const auto& v : key.values) {
            out += v.type;
            out += ':';
            out += Escape(v.name, "=");
            out += '=';
            out += Escape(v.text, "");
            out += '\n';
        }
    }
    return out;
}

bool TRegPreferencesMan::Flush() {
    std::error_code ec;
    if (!dirty_ && std::filesystem::exists(file_, ec)) return true;
    std::filesystem::create_directories(file_.parent_path(), ec);
    if (ec) {
        lastError_ = "Impossible de créer le dossier " + file_.parent_path().string() + " : " + ec.message();
        return false;
    }
    lastError_ = WriteFileAtomically(file_, Serialize());
    if (!lastError_.empty()) return false;
    dirty_ = false;
    return true;
}

TRegPreferencesMan::Key* TRegPreferencesMan::FindKey(const std::string& path) {
    for (auto& key : keys_)
        if (text::SameTextNoCase(key.path, path)) return &key;
    return nullptr;
}

TRegPreferencesMan::Key& TRegPreferencesMan::CurrentKeyData() {
    Key* key = FindKey(currentKey_);
    if (!key) {
        keys_.push_back(Key{currentKey_, {}});
        key = &keys_.back();
    }
    return *key;
}

TRegPreferencesMan::Value* TRegPreferencesMan::FindValue(const std::string& name) {
    Key* key = FindKey(currentKey_);
    if (!key) return nullptr;
    for (auto& v : key->values)
        if (text::SameTextNoCase(v.name, name)) return &v;
    return nullptr;
}

bool TRegPreferencesMan::Put(const std::string& name, char type, std::string value) {
    dirty_ = true;
    if (Value* v = FindValue(name)) {
        v->type = type;
        v->text = std::move(value);
        return true;
    }
    CurrentKeyData().values.push_back(Value{type, name, std::move(value)});
    return true;
}

bool TRegPreferencesMan::GetValueNames(std::vector<std::string>& names) {
    Key* key = FindKey(currentKey_);
    if (!key) return false;
    for (const auto& v : key->values) names.push_back(v.name);
    return true;
}

bool TRegPreferencesMan::GetKeyNames(std::vector<std::string>& names) {
    const std::string prefix = currentKey_.empty() ? std::string() : currentKey_ + "\\";
    for (const auto& key : keys_) {
        if (key.path.empty() || key.path.size() <= prefix.size()) continue;
        if (!text::SameTextNoCase(key.path.substr(0, prefix.size()), prefix)) continue;
        const std::string rest = key.path.substr(prefix.size());
        if (rest.find('\\') == std::string::npos) names.push_back(rest);
    }
    return true;
}

bool TRegPreferencesMan::OpenKey(const std::string& name, bool create) {
    const std::string path = ChildPath(currentKey_, name);
    if (!FindKey(path)) {
        if (!create) return false;
        std::string partial;
        size_t from = 0;
        while (true) {
            const auto slash = path.find('\\', from);
            partial = path.substr(0, slash);
            if (!partial.empty() && !FindKey(partial)) keys_.push_back(Key{partial, {}});
            if (slash == std::string::npos) break;
            from = slash + 1;
        }
        dirty_ = true;
    }
    currentKey_ = path;
    return true;
}

bool TRegPreferencesMan::CloseKey() {
    const std::string parent = ParentPath(currentKey_);
    if (!FindKey(parent)) return false;
    currentKey_ = parent;
    return true;
}

bool TRegPreferencesMan::WriteString(const std::string& name, const std::string& value) {
    return Put(name, 's', value);
}

bool TRegPreferencesMan::ReadString(const std::string& name, std::string& value) {
    const Value* v = FindValue(name);
    if (!v || v->type != 's') return false;
    value = v->text;
    return true;
}

bool TRegPreferencesMan::DeleteValue(const std::string& name) {
    Key* key = FindKey(currentKey_);
    if (!key) return false;
    const auto it = std::find_if(key->values.begin(), key->values.end(),
                                 [&](const Value& v) { return text::SameTextNoCase(v.name, name); });
    if (it == key->values.end()) return false;
    key->values.erase(it);
    dirty_ = true;
    return true;
}

bool TRegPreferencesMan::WriteBool(const std::string& name, bool value) {
    return Put(name, 'b', value ? "1" : "0");
}

// Booleans and integers share one kind, as registry double words do; a boolean reads only 0 or 1,
// any other number gives the caller's default.
bool TRegPreferencesMan::ReadBool(const std::string& name, bool& value) {
    const Value* v = FindValue(name);
    if (!v || (v->type != 'b' && v->type != 'i')) return false;
    if (v->text != "0" && v->text != "1") return false;
    value = v->text == "1";
    return true;
}

bool TRegPreferencesMan::WriteInteger(const std::string& name, int32_t value) {
    return Put(name, 'i', std::to_string(value));
}

bool TRegPreferencesMan::ReadInteger(const std::string& name, int32_t& value) {
    const Value* v = FindValue(name);
    if (!v || (v->type != 'b' && v->type != 'i')) return false;
    const auto parsed = text::ParseInt32(v->text);
    if (!parsed) return false;
    value = *parsed;
    return true;
}

bool TRegPreferencesMan::WriteFloat(const std::string& name, double value) {
    return Put(name, 'd', text::FormatExact(value));
}

bool TRegPreferencesMan::ReadFloat(const std::string& name, double& value) {
    const Value* v = FindValue(name);
    if (!v || v->type != 'd') return false;
    const auto parsed = text::ParseDouble(v->text);
    if (!parsed) return false;
    value = *parsed;
    return true;
}

}  // namespace velinor
