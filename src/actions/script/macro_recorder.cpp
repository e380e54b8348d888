#include "actions/script/macro_recorder.h"

#include <cmath>
#include <cstdio>

namespace velinor {

namespace {
std::vector<std::string>* gLines = nullptr;
bool gBusy = false;

std::string head(std::string_view scriptName) { return "    " + std::string(scriptName); }
const char* boolText(bool b) { return b ? "True" : "False"; }
}  // namespace

void MacroRecorder::setLines(std::vector<std::string>* lines) { gLines = lines; }
std::vector<std::string>* MacroRecorder::lines() { return gLines; }
bool MacroRecorder::busy() { return gBusy; }
void MacroRecorder::setBusy(bool busy) { gBusy = busy; }

MacroRecorder::Scope::Scope(std::string_view line, bool addLine) {
    if (!gLines || gBusy) return;
    if (addLine && !line.empty()) gLines->emplace_back(line);
    gBusy = true;
    owner_ = true;
}

MacroRecorder::Scope::~Scope() {
    if (owner_) gBusy = false;
}

std::string macroTextLiteral(std::string_view text) {
    std::string out;
    bool open = false;
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 32 || u == 127) {
            if (open) out += '\'';
            open = false;
            out += '#' + std::to_string(u);
            continue;
        }
        if (!open) out += '\'';
        open = true;
        out += c;
        if (c == '\'') out += '\'';
    }
    if (open) out += '\'';
    return out.empty() ? "''" : out;
}

std::string macroLineNope(std::string_view scriptName) {
    return scriptName.empty() ? std::string() : head(scriptName) + ";";
}

std::string macroLineString(std::string_view scriptName, std::string_view value) {
    return head(scriptName) + "(" + macroTextLiteral(value) + ");";
}

std::string macroLineInteger(std::string_view scriptName, int32_t value) {
    return head(scriptName) + "(" + std::to_string(value) + ");";
}

std::string macroLineDouble(std::string_view scriptName, double value) {
    // Always '.' as decimal separator: a ',' would split the value into two arguments.
    char buf[64];
    if (std::isfinite(value)) std::snprintf(buf, sizeof buf, "%.15G", value);
    else std::snprintf(buf, sizeof buf, "%s", std::isnan(value) ? "NAN" : value > 0 ? "INF" : "-INF");
    return head(scriptName) + "(" + buf + ");";
}

std::string macroLineBoolean(std::string_view scriptName, bool value) {
    return head(scriptName) + "(" + boolText(value) + ");";
}

std::string macroLineCheck(std::string_view scriptName, bool checked) {
    return "    set" + std::string(scriptName) + "(" + boolText(checked) + ");";
}

std::string macroLineStrings(std::string_view scriptName, const std::vector<std::string>& items) {
    std::string out = head(scriptName) + "([";
    for (size_t i = 0; i < items.size(); ++i) {
        if (i) out += ", ";
        out += macroTextLiteral(items[i]);
    }
    return out + "]);";
}

std::string macroLineFont(std::string_view scriptName, std::string_view name, int32_t size, int32_t color, bool bold,
                          bool italic, bool underline, bool strikeOut) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%06X", static_cast<uint32_t>(color));
    return head(scriptName) + "(" + macroTextLiteral(name) + ", " + std::to_string(size) + ", $" + hex + ", " +
           boolText(bold) + ", " + boolText(italic) + ", " + boolText(underline) + ", " + boolText(strikeOut) + ");";
}

std::string macroLineRect(std::string_view scriptName, int32_t left, int32_t top, int32_t right, int32_t bottom) {
    // The order of the script procedure: left, right, top, bottom.
    return head(scriptName) + "(" + std::to_string(left) + "," + std::to_string(right) + "," + std::to_string(top) +
           "," + std::to_string(bottom) + ");";
}

}  // namespace velinor
