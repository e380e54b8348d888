#include "media/raw_dv.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "media/dvcodes.h"
#include "media/media_error.h"
#include "platform/error_text.h"

namespace velinor {

namespace {

// Frames read per system call.
constexpr size_t kBufferFrames = 16;

std::string systemMessage(const char* what) {
    return std::string(what) + " : " + ErrorText(errno);
}

std::string fileMessage(const char* what, const AtomicFile& file) {
    return std::string(what) + " : " + ErrorText(file.errorNumber());
}

}  // namespace

size_t RawDvFrameBytes(std::span<const uint8_t> b) {
    if (b.size() < 4) return 0;
    // DIF block ID: byte 0 bits 5-7 section type (0: header), byte 1 bits 4-7 the DIF sequence
    // (0), byte 2 the block number (0). Byte 3, the header pack's first byte: bit 7 is the
    // 50-field flag, bit 6 always 0, bits 0-5 reserved ones.
    if ((b[0] & 0xE0) != 0 || (b[1] & 0xF0) != 0 || b[2] != 0) return 0;
    if ((b[3] & 0x7F) != 0x3F) return 0;
    return (b[3] & 0x80) ? kDvFrameBytes625 : kDvFrameBytes525;
}

RawDvReader::RawDvReader(const std::string& path) : path_(path) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);  // a FIFO must not block
    if (fd_ < 0) throw MediaError(path, systemMessage("Impossible d'ouvrir le fichier"));
    struct stat st {};
    if (::fstat(fd_, &st) != 0) {
        const MediaError error(path, systemMessage("Impossible de lire le fichier"));
        ::close(fd_);
        throw error;
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd_);
        throw MediaError(path, "Ce n'est pas un fichier.");
    }
    if (st.st_size == 0) {
        ::close(fd_);
        throw MediaError(path, "Le fichier est vide.", 0);
    }
    uint8_t first[4] = {};
    const ssize_t got = ::pread(fd_, first, sizeof first, 0);
    frameBytes_ = got == static_cast<ssize_t>(sizeof first) ? RawDvFrameBytes(first) : 0;
    if (frameBytes_ == 0) {
        ::close(fd_);
        throw MediaError(path, "Le fichier ne commence pas par une image DV.", 0);
    }
    frameCount_ = st.st_size / static_cast<int64_t>(frameBytes_);
    if (frameCount_ == 0) {
        ::close(fd_);
        throw MediaError(path, "Le fichier ne contient aucune image DV complète.", st.st_size);
    }
    ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
    buffer_.resize(kBufferFrames * frameBytes_);
}

RawDvReader::~RawDvReader() {
    if (fd_ >= 0) ::close(fd_);
}

// Moves what is left to the front and reads as much as fits; false at the end of the file.
bool RawDvReader::fill() {
    if (begin_ > 0) {
        std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
    }
    bool any = false;
    while (end_ < buffer_.size()) {
        const ssize_t got = ::read(fd_, buffer_.data() + end_, buffer_.size() - end_);
        if (got < 0) {
            if (errno == EINTR) continue;
            throw MediaError(path_, systemMessage("Erreur de lecture"), fileOffset_);
        }
        if (got == 0) break;
        end_ += static_cast<size_t>(got);
        fileOffset_ += got;
        any = true;
    }
    return any;
}

bool RawDvReader::next(std::vector<uint8_t>& frame) {
    if (end_ - begin_ < frameBytes_ && !fill()) return false;
    if (end_ - begin_ < frameBytes_) return false;  // a partial frame at the end is dropped
    frame.resize(frameBytes_);
    std::memcpy(frame.data(), buffer_.data() + begin_, frameBytes_);
    begin_ += frameBytes_;
    return true;
}

RawDvWriter::RawDvWriter(std::string path) : path_(std::move(path)) {
    if (!file_.Open(path_)) throw MediaError(path_, fileMessage("Impossible de créer le fichier", file_));
}

RawDvWriter::~RawDvWriter() = default;

void RawDvWriter::write(std::span<const uint8_t> frame) {
    if (!file_.isOpen()) throw MediaError(path_, "Le fichier est déjà fermé.");
    if (!file_.Write(frame)) throw MediaError(path_, fileMessage("Erreur d'écriture", file_), written_);
    written_ += static_cast<int64_t>(frame.size());
}

void RawDvWriter::commit() {
    if (!file_.isOpen()) throw MediaError(path_, "Le fichier est déjà fermé.");
    if (!file_.Commit()) throw MediaError(path_, fileMessage("Erreur d'écriture", file_), written_);
}

}  // namespace velinor
