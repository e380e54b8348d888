#include "scenes/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace velinor {

AtomicFile::~AtomicFile() {
    Discard();
}

bool AtomicFile::fail(const std::string& what, int err) {
    if (error_.empty()) error_ = what + " " + target_ + " : " + std::strerror(err);
    Discard();
    return false;
}

bool AtomicFile::Open(const std::string& target) {
    Discard();
    error_.clear();
    target_ = target;
    const auto slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    std::string pattern = folder + "." + name + ".XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    const int fd = ::mkstemp(buffer.data());
    if (fd < 0) return fail("Impossible de créer le fichier", errno);
    fd_ = fd;
    temp_ = buffer.data();
    // mkstemp creates the file private: a replaced file keeps its permissions, a new one gets
    // those the user's umask gives.
    struct stat existing {};
    if (::stat(target.c_str(), &existing) == 0) {
        ::fchmod(fd_, existing.st_mode & 07777);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(fd_, 0666 & ~mask);
    }
    return true;
}

bool AtomicFile::Write(std::span<const uint8_t> bytes) {
    if (fd_ < 0) return false;
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return fail("Erreur d'écriture du fichier", errno);
        }
        done += size_t(n);
    }
    return true;
}

bool AtomicFile::Write(const std::string& text) {
    return Write(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

bool AtomicFile::WriteAt(uint64_t offset, std::span<const uint8_t> bytes) {
    if (fd_ < 0) return false;
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pwrite(fd_, bytes.data() + done, bytes.size() - done, off_t(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return fail("Erreur d'écriture du fichier", errno);
        }
        done += size_t(n);
    }
    return true;
}

bool AtomicFile::CloseForNamedWrite() {
    if (fd_ < 0) return false;
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
    if (::rename(temp_.c_str(), target_.c_str()) != 0) {
        const int err = errno;
        ::unlink(temp_.c_str());
        temp_.clear();
        return fail("Impossible de remplacer le fichier", err);
    }
    temp_.clear();
    return true;
}

void AtomicFile::Discard() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temp_.empty()) {
        ::unlink(temp_.c_str());
        temp_.clear();
    }
}

std::string ReplaceExtension(const std::string& path, const std::string& extension) {
    const auto slash = path.rfind('/');
    const auto dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return path + extension;
    return path.substr(0, dot) + extension;
}

}  // namespace velinor
