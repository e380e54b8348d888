#include "actions/preferences.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace velinor {

std::string TPreferencesMan::ParentPath(const std::string& path) {
    const auto slash = path.rfind('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string TPreferencesMan::ChildPath(const std::string& path, const std::string& name) {
    if (name.empty()) return path;
    return path.empty() ? name : path + "\\" + name;
}

std::string WriteFileAtomically(const std::filesystem::path& target, std::string_view bytes) {
    const auto fail = [&](const char* what, int err) {
        return "Impossible d'écrire le fichier " + target.string() + " (" + what +
               ") : " + std::strerror(err);
    };
    std::string pattern = (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) return fail("création", errno);
    struct stat st {};
    const mode_t mode = ::stat(target.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644;
    ::fchmod(fd, mode);
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            const int err = errno;
            ::close(fd);
            ::unlink(pattern.c_str());
            return fail("écriture", err);
        }
        done += static_cast<size_t>(n);
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0) {
        const int err = errno;
        ::unlink(pattern.c_str());
        return fail("écriture", err);
    }
    if (::rename(pattern.c_str(), target.c_str()) != 0) {
        const int err = errno;
        ::unlink(pattern.c_str());
        return fail("renommage", err);
    }
    return {};
}

}  // namespace velinor
