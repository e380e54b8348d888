#include "platform/user_folders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/process.h"

namespace velinor {

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return "/";
}

std::string UserFolder(const std::string& name) {
    std::string out;
    if (RunProgram("xdg-user-dir", {name}, &out) == 0) {
        while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
        if (!out.empty() && out.front() == '/') return out;
    }
    return HomeFolder();
}

std::string DefaultSaveFolder() {
    return UserFolder("DOCUMENTS");
}

}  // namespace velinor
