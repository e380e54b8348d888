#include "media/avi_patch.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/error_text.h"

namespace velinor {
namespace {

constexpr FourCC kRiff = MakeFourCC("RIFF");
constexpr FourCC kList = MakeFourCC("LIST");
constexpr int kMaxDepth = 32;

// The scan of the headers that the patches touch. Every chunk is cut to its list and the
// list to the file, so positions found always lie inside the chunk that holds the field.
class Scanner {
public:
    explicit Scanner(const RiffSource& source) : source_(source), fileSize_(source.size()) {}

    PatchPositions run() {
        uint64_t pos = 0;
        while (pos < fileSize_) {
            const uint64_t n = walk(pos, fileSize_, true, 0);
            if (short_ || n == 8 || n == 0) break;
            pos += n;
        }
        return found_;
    }

private:
    enum class Kind { Other, Video, Interleaved, Audio };

    // Bytes taken by the chunk at `pos` (header, body, pad), or 0 when it does not fit in its
    // list or a read came short.
    uint64_t walk(uint64_t pos, uint64_t end, bool top, int depth) {
        uint8_t header[8];
        if (source_.readAt(pos, header, 8) != 8) {
            short_ = true;
            return 0;
        }
        const FourCC code = FourCCAt(header);
        const uint32_t declared = Le32(header + 4);
        if (top && code != kRiff) return 8;
        const uint64_t room = end - pos - 8;
        if (!top && declared > room) return 0;
        const uint64_t size = std::min<uint64_t>(uint64_t(declared) + (declared & 1u), room);
        const uint64_t body = pos + 8;
        if (size == 0) return 8;

        if (code == kRiff || code == kList) {
            FourCC type;
            if (size < 4) return size + 8;
            if (source_.readAt(body, type.data(), 4) != 4) {
                short_ = true;
                return 0;
            }
            if (type == MakeFourCC("movi") || depth >= kMaxDepth) return size + 8;
            if (type == MakeFourCC("strl")) kind_ = Kind::Other;
            const uint64_t listEnd = body + size;
            uint64_t child = body + 4;
            while (listEnd - child > 7) {
                const uint64_t n = walk(child, listEnd, false, depth + 1);
                if (short_) return 0;
                if (n == 0) break;
                child += n;
            }
        } else if (code == MakeFourCC("strh")) {
            uint8_t strh[56] = {};
            const size_t want = static_cast<size_t>(std::min<uint64_t>(56, size));
            if (source_.readAt(body, strh, want) != want) {
                short_ = true;
                return 0;
            }
            const FourCC type = FourCCAt(strh);
            if (want < 4) {
                kind_ = Kind::Other;
            } else if (type == MakeFourCC("vids") || type == MakeFourCC("iavs")) {
                // Positions of one stream only: a later video stream replaces all three.
                found_.HandlerPos = declared >= 8 ? static_cast<int64_t>(body + 4) : -1;
                found_.ScalePos = declared >= 28 ? static_cast<int64_t>(body + 20) : -1;
                found_.CompressionPos = -1;
                kind_ = type == MakeFourCC("vids") ? Kind::Video : Kind::Interleaved;
            } else {
                kind_ = type == MakeFourCC("auds") ? Kind::Audio : Kind::Other;
            }
        } else if (code == MakeFourCC("strf")) {
            // BITMAPINFOHEADER: biCompression at offset 16.
            if (kind_ == Kind::Video && declared >= 20 && size >= 20)
                found_.CompressionPos = static_cast<int64_t>(body + 16);
        }
        return size + 8;
    }

    const RiffSource& source_;
    const uint64_t fileSize_;
    PatchPositions found_;
    Kind kind_ = Kind::Other;
    bool short_ = false;
};

// The RIFF readers' view of a file already opened for patching, so that the scan and the writes
// see the same file.
class DescriptorSource final : public RiffSource {
public:
    DescriptorSource(int fd, uint64_t size) : fd_(fd), size_(size) {}
    uint64_t size() const override { return size_; }
    size_t readAt(uint64_t offset, void* buffer, size_t count) const override {
        if (offset >= size_) return 0;
        count = static_cast<size_t>(std::min<uint64_t>(count, size_ - offset));
        size_t done = 0;
        while (done < count) {
            const ssize_t n = ::pread(fd_, static_cast<char*>(buffer) + done, count - done,
                                      static_cast<off_t>(offset + done));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            done += static_cast<size_t>(n);
        }
        return done;
    }

private:
    int fd_;
    uint64_t size_;
};

PatchResult Failure(const std::string& path, const std::string& message) {
    return {false, path + " : " + message};
}

bool WriteAll(int fd, int64_t pos, const uint8_t* bytes, size_t count) {
    size_t done = 0;
    while (done < count) {
        const ssize_t n =
            ::pwrite(fd, bytes + done, count - done, static_cast<off_t>(pos) + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

struct Patch {
    int64_t pos;
    std::vector<uint8_t> bytes;
};

// Opens `path` for reading and writing, scans it, lets `plan` choose the bytes to write, and
// writes them. Every position is checked against the file's size just before writing; when a
// write fails, those already written are put back.
template <typename Plan>
PatchResult PatchFile(const std::string& path, Plan plan) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        const int err = errno;
        if (err == ENOENT || err == ENOTDIR) return Failure(path, "fichier introuvable");
        if (err == EACCES || err == EPERM || err == EROFS) return Failure(path, "fichier en lecture seule");
        return Failure(path, std::string("ouverture impossible : ") + ErrorText(err));
    }
    struct Closer {
        int fd;
        ~Closer() {
            if (fd >= 0) ::close(fd);
        }
    } closer{fd};

    struct stat st {};
    if (::fstat(fd, &st) != 0) return Failure(path, "fichier illisible");
    if (!S_ISREG(st.st_mode)) return Failure(path, "ce n'est pas un fichier");
    // No write permission for anyone is the read-only attribute, even for a privileged user.
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return Failure(path, "fichier en lecture seule");

    const DescriptorSource source(fd, static_cast<uint64_t>(st.st_size));
    const PatchPositions positions = Scanner(source).run();
    std::vector<Patch> patches;
    if (PatchResult refused = plan(positions, patches); !refused.Error.empty())
        return Failure(path, refused.Error);
    if (patches.empty()) return Failure(path, "aucun en-tête de flux vidéo à corriger");

    if (::fstat(fd, &st) != 0) return Failure(path, "fichier illisible");
    std::vector<Patch> originals;
    for (const Patch& patch : patches) {
        if (patch.pos < 0 || patch.pos + static_cast<int64_t>(patch.bytes.size()) > st.st_size)
            return Failure(path, "fichier trop court pour l'en-tête à corriger");
        Patch original{patch.pos, std::vector<uint8_t>(patch.bytes.size())};
        if (source.readAt(static_cast<uint64_t>(patch.pos), original.bytes.data(), original.bytes.size()) !=
            original.bytes.size())
            return Failure(path, "fichier illisible");
        originals.push_back(std::move(original));
    }
    for (size_t i = 0; i < patches.size(); ++i) {
        if (WriteAll(fd, patches[i].pos, patches[i].bytes.data(), patches[i].bytes.size())) continue;
        const std::string reason = ErrorText(errno);
        for (size_t j = 0; j < i; ++j)
            WriteAll(fd, originals[j].pos, originals[j].bytes.data(), originals[j].bytes.size());
        return Failure(path, "écriture impossible : " + reason);
    }
    if (::fdatasync(fd) != 0 && errno != EINVAL)
        return Failure(path, std::string("écriture impossible : ") + ErrorText(errno));
    closer.fd = -1;
    if (::close(fd) != 0) return Failure(path, std::string("écriture impossible : ") + ErrorText(errno));
    return {true, {}};
}

std::vector<uint8_t> Le32Bytes(uint32_t value) {
    return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value >> 16),
            static_cast<uint8_t>(value >> 24)};
}

}  // namespace

PatchPositions ScanPatchPositions(const RiffSource& source) {
    return Scanner(source).run();
}

PatchPositions ScanPatchPositions(const std::string& path) {
    try {
        return ScanPatchPositions(FileRiffSource(path));
    } catch (...) {
        return {};
    }
}

FourCC FourCCFromText(std::string_view text) {
    return MakeFourCC(text);
}

std::optional<FourCC> ReadVideoHandler(const std::string& path) {
    try {
        const FileRiffSource source(path);
        const PatchPositions positions = ScanPatchPositions(source);
        uint8_t bytes[4];
        if (positions.HandlerPos < 0 ||
            source.readAt(static_cast<uint64_t>(positions.HandlerPos), bytes, 4) != 4)
            return std::nullopt;
        return FourCCAt(bytes);
    } catch (...) {
        return std::nullopt;
    }
}

PatchResult WriteVideoFourCC(const std::string& path, FourCC code) {
    const std::vector<uint8_t> bytes(code.begin(), code.end());
    return PatchFile(path, [&](const PatchPositions& at, std::vector<Patch>& patches) {
        if (at.HandlerPos >= 0) patches.push_back({at.HandlerPos, bytes});
        if (at.CompressionPos >= 0) patches.push_back({at.CompressionPos, bytes});
        return PatchResult{};
    });
}

PatchResult WriteFrameRate(const std::string& path, double fps) {
    constexpr double kRate = 1'000'000;
    // Rounds half to even, like the rounding the values were defined with.
    const double scale = std::isfinite(fps) && fps > 0 ? std::nearbyint(kRate / fps) : 0;
    if (!(scale >= 1 && scale <= 4294967295.0)) return Failure(path, "fréquence d'images invalide");
    std::vector<uint8_t> bytes = Le32Bytes(static_cast<uint32_t>(scale));
    const std::vector<uint8_t> rate = Le32Bytes(static_cast<uint32_t>(kRate));
    bytes.insert(bytes.end(), rate.begin(), rate.end());
    return PatchFile(path, [&](const PatchPositions& at, std::vector<Patch>& patches) {
        if (at.ScalePos >= 0) patches.push_back({at.ScalePos, bytes});
        return PatchResult{};
    });
}

}  // namespace velinor
