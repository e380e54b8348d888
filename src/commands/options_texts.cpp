#include "commands/options_texts.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "actions/value_text.h"
#include "media/datetime_format.h"

namespace velinor {

namespace {

// Every occurrence of the two-character code `code` ("%F"), whatever the case of its letter.
void ReplaceCode(std::string& text, char letter, const std::string& by) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() &&
            std::toupper(static_cast<unsigned char>(text[i + 1])) == letter) {
            out += by;
            ++i;
        } else {
            out += text[i];
        }
    }
    text = std::move(out);
}

}  // namespace

std::string ExampleName(const std::string& templ, const std::string& datePattern, int digits, Datecode now) {
    char number[40];
    std::snprintf(number, sizeof number, "%0*d", std::clamp(digits, 0, 20), 1);
    // One replacement after the other, as the renaming does them; a sample value holds no code.
    std::string text = templ;
    ReplaceCode(text, 'F', "Vidéo");
    ReplaceCode(text, 'N', number);
    ReplaceCode(text, 'D', FormatDateTime(datePattern, now));
    ReplaceCode(text, 'T', "0.54.32.10");
    ReplaceCode(text, 'C', "dvsd");
    ReplaceCode(text, 'I', "640x480");
    ReplaceCode(text, 'A', "48000Hz 16bits stéréo");
    ReplaceCode(text, 'U', "30s 12fr");
    for (char& c : text) {
        if (c == '<' || c == '>' || c == '"' || c == '/' || c == '\\' || c == '|') c = '_';
        if (c == ':') c = '.';
    }
    return text;
}

std::string AfficherDatecodeExample(const std::string& pattern, Datecode now) {
    return FormatDateTime(pattern, now);
}

std::string AjouterDatecodeExample(bool datecodeAvant, const std::string& pattern, int digits, Datecode now) {
    return ExampleName(datecodeAvant ? "%D_%F" : "%F_%D", pattern, digits, now);
}

std::string AjouterTimecodeExample(bool timecodeAvant, int digits, Datecode now) {
    return ExampleName(timecodeAvant ? "%F_%T" : "%T_%F", std::string(), digits, now);
}

std::string RenommerExample(const std::string& templ, const std::string& pattern, int digits, Datecode now) {
    return ExampleName(templ, pattern, digits, now);
}

int32_t ExcelFormatOfItem(int index) {
    return index >= 0 && size_t(index) < kExcelFormats.size() ? kExcelFormats[size_t(index)] : 0;
}

std::optional<int> ExcelItemOfFormat(int32_t format) {
    const auto* at = std::find(kExcelFormats.begin(), kExcelFormats.end(), format);
    if (at == kExcelFormats.end()) return std::nullopt;
    return int(at - kExcelFormats.begin());
}

int32_t IntervalleOfText(const std::string& text) {
    return text::ParseInt32(text::Trim(text)).value_or(kDefaultIntervalle);
}

}  // namespace velinor
