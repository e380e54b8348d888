#include "platform/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <vector>

#include "platform/error_text.h"

namespace velinor {
namespace {

// The umask without changing it: Linux shows it in /proc/self/status ("Umask:\t0022"). Where
// that line is missing, umask(2) is the only way, and setting it back at once is safe only
// because this runs during static initialisation, before any thread exists.
mode_t ReadUmask() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) != 0) continue;
        try {
            return mode_t(std::stoul(line.substr(6), nullptr, 8) & 0777);
        } catch (...) {
            break;
        }
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

const mode_t kStartUmask = ReadUmask();

constexpr size_t kRandomChars = 6;  // mkstemp's XXXXXX

std::string_view FileNameOf(std::string_view path) {
    const auto slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

}  // namespace

mode_t NewFileMode() {
    return 0666 & ~kStartUmask;
}

std::string TemporaryPattern(const std::string& target) {
    const auto slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    return folder + "." + std::string(FileNameOf(target)) + std::string(kTemporaryMarker) + "XXXXXX";
}

std::optional<std::string> TemporaryTargetName(std::string_view fileName) {
    // "." + name + marker + six characters, with a name of at least one character.
    if (fileName.size() < 1 + 1 + kTemporaryMarker.size() + kRandomChars || fileName[0] != '.')
        return std::nullopt;
    const size_t markerAt = fileName.size() - kRandomChars - kTemporaryMarker.size();
    if (fileName.substr(markerAt, kTemporaryMarker.size()) != kTemporaryMarker) return std::nullopt;
    for (const char c : fileName.substr(fileName.size() - kRandomChars))
        if (!std::isalnum(static_cast<unsigned char>(c))) return std::nullopt;
    return std::string(fileName.substr(1, markerAt - 1));
}

bool IsTemporaryName(std::string_view fileName) {
    return TemporaryTargetName(fileName).has_value();
}

AtomicFile::~AtomicFile() {
    Discard();
}

bool AtomicFile::fail(const std::string& what, int err) {
    if (error_.empty()) {
        error_ = what + " " + target_ + " : " + ErrorText(err);
        errno_ = err;
    }
    Discard();
    return false;
}

bool AtomicFile::Open(const std::string& target, Existing existing) {
    Discard();
    error_.clear();
    errno_ = 0;
    target_ = target;
    existing_ = existing;
    const std::string pattern = TemporaryPattern(target);
    for (int attempt = 0;; ++attempt) {
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        const int fd = ::mkostemp(buffer.data(), O_CLOEXEC);
        if (fd < 0) return fail("Impossible de créer le fichier", errno);
        // Another process's sweep may have taken the file for a leftover before the lock: the
        // lock then waits for its removal, and the file has no link left.
        int locked = 0;
        while ((locked = ::flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
        }
        struct stat created {};
        if (locked == 0 && ::fstat(fd, &created) == 0 && created.st_nlink == 0 && attempt < 8) {
            ::close(fd);
            continue;
        }
        // A file system without locks: the file is written unlocked, and no sweep can take it.
        fd_ = fd;
        temp_ = buffer.data();
        break;
    }
    // mkstemp creates the file private (0600).
    struct stat old {};
    const bool replacing = existing == Existing::Replace && ::stat(target.c_str(), &old) == 0;
    if (::fchmod(fd_, replacing ? (old.st_mode & 07777) : NewFileMode()) != 0)
        return fail("Impossible de créer le fichier", errno);
    return true;
}

bool AtomicFile::Write(std::span<const uint8_t> bytes) {
    if (fd_ < 0) return false;
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return fail("Erreur d'écriture du fichier", n < 0 ? errno : ENOSPC);
        done += size_t(n);
    }
    return true;
}

bool AtomicFile::Write(const std::string& text) {
    return Write(std::string_view(text));
}

bool AtomicFile::Write(std::string_view text) {
    return Write(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

bool AtomicFile::WriteAt(uint64_t offset, std::span<const uint8_t> bytes) {
    if (fd_ < 0) return false;
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pwrite(fd_, bytes.data() + done, bytes.size() - done, off_t(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return fail("Erreur d'écriture du fichier", n < 0 ? errno : ENOSPC);
        done += size_t(n);
    }
    return true;
}

bool AtomicFile::CloseForNamedWrite() {
    if (fd_ < 0) return false;
    // The lock belongs to the open file, which a duplicate keeps open.
    if (lockFd_ < 0) lockFd_ = ::fcntl(fd_, F_DUPFD_CLOEXEC, 0);
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) return fail("Erreur d'écriture du fichier", errno);
    return true;
}

bool AtomicFile::Commit() {
    if (temp_.empty() || failed()) return false;
    if (fd_ >= 0) {
        if (::fsync(fd_) != 0 && errno != EINVAL) return fail("Erreur d'écriture du fichier", errno);
        if (!CloseForNamedWrite()) return false;
    }
    int rc = 0;
    if (existing_ == Existing::Keep) {
        rc = ::renameat2(AT_FDCWD, temp_.c_str(), AT_FDCWD, target_.c_str(), RENAME_NOREPLACE);
        if (rc != 0 && errno == EINVAL) {
            // The file system cannot refuse to replace: check, then rename.
            struct stat st {};
            if (::lstat(target_.c_str(), &st) == 0) {
                errno = EEXIST;
            } else {
                rc = ::rename(temp_.c_str(), target_.c_str());
            }
        }
    } else {
        rc = ::rename(temp_.c_str(), target_.c_str());
    }
    if (rc != 0) return fail("Impossible de remplacer le fichier", errno);
    temp_.clear();
    closeLock();
    return true;
}

void AtomicFile::closeLock() {
    if (lockFd_ >= 0) ::close(lockFd_);
    lockFd_ = -1;
}

void AtomicFile::Discard() {
    // Removed while still locked, so no sweep sees it unlocked under its name.
    if (!temp_.empty()) {
        ::unlink(temp_.c_str());
        temp_.clear();
    }
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    closeLock();
}

int RemoveLeftovers(const std::string& folder) {
    const int dirFd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd < 0) return 0;
    DIR* dir = ::fdopendir(dirFd);
    if (!dir) {
        ::close(dirFd);
        return 0;
    }
    int removed = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (!IsTemporaryName(name)) continue;
        const int fd = ::openat(dirFd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat opened {
        }, named{};
        // Held by a live writer when the lock cannot be taken; the name must still be this file.
        if (::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            ::fstatat(dirFd, name, &named, AT_SYMLINK_NOFOLLOW) == 0 && named.st_dev == opened.st_dev &&
            named.st_ino == opened.st_ino && ::unlinkat(dirFd, name, 0) == 0)
            ++removed;
        ::close(fd);
    }
    ::closedir(dir);
    return removed;
}

std::string WriteFileAtomically(const std::string& target, std::string_view bytes) {
    AtomicFile file;
    if (!file.Open(target) || !file.Write(bytes) || !file.Commit()) return file.error();
    return {};
}

std::string ReplaceExtension(const std::string& path, const std::string& extension) {
    const auto slash = path.rfind('/');
    const auto dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return path + extension;
    return path.substr(0, dot) + extension;
}

}  // namespace velinor
