#include "platform/trash.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "platform/error_text.h"

namespace velinor {

namespace {

std::string Absolute(const std::string& path) {
    std::error_code ec;
    auto p = std::filesystem::absolute(path, ec).lexically_normal();
    std::string s = ec ? path : p.string();
    while (s.size() > 1 && s.back() == '/') s.pop_back();
    return s;
}

std::string ParentOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string HomeTrash() {
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data && *data == '/') return std::string(data) + "/Trash";
    const char* home = std::getenv("HOME");
    if (!home || !*home) return {};
    return std::string(home) + "/.local/share/Trash";
}

// Creates every missing folder of `path`; the last one with `mode`.
bool MakeDirs(const std::string& path, mode_t mode) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
    const std::string parent = ParentOf(path);
    if (parent != path && !MakeDirs(parent, 0700)) return false;
    return ::mkdir(path.c_str(), mode) == 0 || errno == EEXIST;
}

// The nearest existing folder at or above `path`.
std::string ExistingAncestor(std::string path) {
    struct stat st {};
    while (::stat(path.c_str(), &st) != 0 && path != "/") path = ParentOf(path);
    return path;
}

// The top folder of the volume holding `path`: climb while the device stays the same.
std::string TopDir(const std::string& path, dev_t dev) {
    std::string dir = ParentOf(path);
    for (;;) {
        if (dir == "/") return dir;
        const std::string up = ParentOf(dir);
        struct stat st {};
        if (::stat(up.c_str(), &st) != 0 || st.st_dev != dev) return dir;
        dir = up;
    }
}

std::string LocalDeletionDate() {
    const time_t now = std::time(nullptr);
    struct tm local {};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return text;
}

TrashResult Failure(const std::string& path, const std::string& why) {
    TrashResult r;
    r.Error = "Impossible d'envoyer " + path + " à la corbeille : " + why;
    return r;
}

}  // namespace

std::string TrashPathEncode(const std::string& path) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : path) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
            c == '_' || c == '.' || c == '~' || c == '/') {
            out += char(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::string TrashDirFor(const std::string& path) {
    struct stat file {};
    if (::lstat(path.c_str(), &file) != 0) return {};
    const std::string home = HomeTrash();
    if (!home.empty()) {
        struct stat trash {};
        if (::stat(ExistingAncestor(home).c_str(), &trash) == 0 && trash.st_dev == file.st_dev) return home;
    }
    const std::string top = TopDir(Absolute(path), file.st_dev);
    const std::string uid = std::to_string(::getuid());
    // An administrator-made $topdir/.Trash must be a real folder with the sticky bit.
    struct stat shared {};
    const std::string sharedDir = (top == "/" ? "" : top) + "/.Trash";
    if (::lstat(sharedDir.c_str(), &shared) == 0 && S_ISDIR(shared.st_mode) && (shared.st_mode & S_ISVTX)) {
        const std::string mine = sharedDir + "/" + uid;
        if (MakeDirs(mine, 0700)) return mine;
    }
    const std::string own = (top == "/" ? "" : top) + "/.Trash-" + uid;
    struct stat st {};
    if (::lstat(own.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode) && st.st_uid == ::getuid()) return own;
        return {};
    }
    return ::mkdir(own.c_str(), 0700) == 0 ? own : std::string();
}

TrashResult MoveToTrash(const std::string& path) {
    const std::string absolute = Absolute(path);
    const std::string trash = TrashDirFor(absolute);
    if (trash.empty()) return Failure(path, "aucune corbeille utilisable sur ce volume");
    std::string infoPath = absolute;
    if (trash != HomeTrash()) {
        struct stat file {};
        ::lstat(absolute.c_str(), &file);
        const std::string top = TopDir(absolute, file.st_dev);
        infoPath = top == "/" ? absolute.substr(1) : absolute.substr(top.size() + 1);
    }
    return MoveToTrashDir(absolute, trash, infoPath);
}

TrashResult MoveToTrashDir(const std::string& path, const std::string& trashDir,
                           const std::string& infoPath) {
    struct stat file {};
    if (::lstat(path.c_str(), &file) != 0) return Failure(path, ErrorText(errno));
    const std::string files = trashDir + "/files", info = trashDir + "/info";
    if (!MakeDirs(trashDir, 0700) || !MakeDirs(files, 0700) || !MakeDirs(info, 0700))
        return Failure(path, "la corbeille " + trashDir + " ne peut pas être créée");
    std::string name = path.substr(path.rfind('/') + 1);
    if (name.empty()) return Failure(path, "nom vide");
    const size_t dot = name.rfind('.');
    const std::string stem = dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
    const std::string ext = dot == std::string::npos || dot == 0 ? "" : name.substr(dot);
    const std::string content =
        "[Trash Info]\nPath=" + TrashPathEncode(infoPath) + "\nDeletionDate=" + LocalDeletionDate() + "\n";
    // The info file is created exclusively first: it reserves the name in the trash.
    for (int n = 1; n < 10000; ++n) {
        const std::string candidate = n == 1 ? name : stem + "." + std::to_string(n) + ext;
        const std::string infoFile = info + "/" + candidate + ".trashinfo";
        const int fd = ::open(infoFile.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return Failure(path, ErrorText(errno));
        }
        const bool written = ::write(fd, content.data(), content.size()) == ssize_t(content.size());
        const bool closed = ::close(fd) == 0;
        const std::string target = files + "/" + candidate;
        if (!written || !closed) {
            ::unlink(infoFile.c_str());
            return Failure(path, "le fichier d'information ne peut pas être écrit");
        }
        int moved = ::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE);
        if (moved != 0 && errno == EINVAL) {
            // File systems without the no-replace flag: the info file already reserves the name.
            struct stat st {};
            moved = ::lstat(target.c_str(), &st) == 0 ? (errno = EEXIST, -1)
                                                      : ::rename(path.c_str(), target.c_str());
        }
        if (moved != 0) {
            const int error = errno;
            ::unlink(infoFile.c_str());
            if (error == EEXIST) continue;
            return Failure(path, ErrorText(error));
        }
        TrashResult r;
        r.Ok = true;
        r.TrashedAs = target;
        r.InfoPath = infoFile;
        return r;
    }
    return Failure(path, "trop de fichiers de ce nom dans la corbeille");
}

}  // namespace velinor
