#include "commands/file_ops.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/error_text.h"

namespace velinor {

bool PathExists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

std::string RenameNoReplace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return {};
    int error = errno;
    if (error == EINVAL || error == ENOSYS) {
        // File systems without the no-replace flag: a hard link fails on an existing target.
        if (::link(from.c_str(), to.c_str()) == 0) {
            if (::unlink(from.c_str()) == 0) return {};
            error = errno;
            ::unlink(to.c_str());
        } else {
            error = errno;
        }
    }
    if (error == EEXIST) return "un fichier de ce nom existe déjà";
    return ErrorText(error);
}

std::string RenameWithSidecars(const std::string& from, const std::string& to) {
    if (from == to) return {};
    if (std::string error = RenameNoReplace(from, to); !error.empty()) return error;
    std::string failures;
    for (const char* ext : {".scn", ".srt"}) {
        const std::string source = ReplaceExtension(from, ext);
        if (!PathExists(source)) continue;
        if (std::string error = RenameNoReplace(source, ReplaceExtension(to, ext)); !error.empty())
            failures += (failures.empty() ? "" : "; ") + source + " : " + error;
    }
    return failures;
}

std::string UniqueName(const std::string& path) {
    if (!PathExists(path)) return path;
    const size_t slash = path.rfind('/');
    size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) dot = path.size();
    const std::string base = path.substr(0, dot), ext = path.substr(dot);
    for (int n = 1;; ++n) {
        char digits[16];
        std::snprintf(digits, sizeof digits, "_%03d", n);
        std::string candidate = base + digits + ext;
        if (!PathExists(candidate)) return candidate;
    }
}

}  // namespace velinor
