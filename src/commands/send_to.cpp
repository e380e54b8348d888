#include "commands/send_to.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/atomic_file.h"

namespace velinor {

namespace fs = std::filesystem;

namespace {

std::string Stem(const std::string& program) {
    const std::string stem = fs::path(program).stem().string();
    return stem.empty() ? std::string("velinor") : stem;
}

// The program as one argument of the Exec key: quoted, with the characters the quoting reserves
// escaped, then "%" doubled (a field code otherwise) and the backslashes of the quoting escaped
// once more, as a string value of the entry requires.
std::string ExecArgument(const std::string& program) {
    std::string quoted = "\"";
    for (const char c : program) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
        quoted += c;
    }
    quoted += '"';
    std::string value;
    for (const char c : quoted) {
        if (c == '%') value += '%';
        if (c == '\\') value += '\\';
        value += c;
    }
    return value;
}

// A string value of one line: line breaks and backslashes escaped.
std::string LineValue(const std::string& text) {
    std::string value;
    for (const char c : text) {
        if (c == '\\')
            value += "\\\\";
        else if (c == '\n')
            value += "\\n";
        else if (c == '\r')
            value += "\\r";
        else
            value += c;
    }
    return value;
}

}  // namespace

std::string SendToEntryPath(const std::string& program) {
    fs::path data;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg && fs::path(xdg).is_absolute())
        data = xdg;
    else if (const char* home = std::getenv("HOME"); home && *home)
        data = fs::path(home) / ".local" / "share";
    else
        return {};
    return (data / "applications" / (Stem(program) + "-sendto.desktop")).string();
}

std::string SendToEntryText(const std::string& program) {
    const std::string stem = Stem(program);
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Version=1.0\n"
           "Name=Velinor\n"
           "Comment=" +
           LineValue("Raccourci vers " + stem) +
           "\n"
           "Exec=" +
           ExecArgument(program) +
           " %F\n"
           "Path=/\n"
           "Terminal=false\n"
           "MimeType=video/x-msvideo;video/avi;video/msvideo;\n"
           "Categories=AudioVideo;Video;\n";
}

bool SetSendToEntry(bool on, const std::string& program, const std::string& entryPath) {
    if (entryPath.empty()) return false;
    std::error_code error;
    if (!on) {
        fs::remove(entryPath, error);
        return !error;
    }
    fs::create_directories(fs::path(entryPath).parent_path(), error);
    if (error) return false;
    return WriteFileAtomically(entryPath, SendToEntryText(program)).empty();
}

}  // namespace velinor
