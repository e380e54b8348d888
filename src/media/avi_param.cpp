#include "media/avi_param.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

#include "media/media_error.h"

namespace velinor {

FileRiffSource::FileRiffSource(const std::string& path) {
    // Non-blocking, so that opening a FIFO does not wait for a writer.
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0) {
        const bool missing = errno == ENOENT || errno == ENOTDIR;
        throw MediaError(path, missing ? "fichier introuvable" : "impossible d'ouvrir le fichier en lecture");
    }
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd_);
        fd_ = -1;
        throw MediaError(path, "ce n'est pas un fichier");
    }
    size_ = st.st_size > 0 ? static_cast<uint64_t>(st.st_size) : 0;
}

FileRiffSource::~FileRiffSource() {
    if (fd_ >= 0) ::close(fd_);
}

size_t FileRiffSource::readAt(uint64_t offset, void* buffer, size_t count) const {
    if (offset >= size_) return 0;
    count = static_cast<size_t>(std::min<uint64_t>(count, size_ - offset));
    size_t done = 0;
    while (done < count) {
        const ssize_t n =
            ::pread(fd_, static_cast<char*>(buffer) + done, count - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    return done;
}

size_t MemoryRiffSource::readAt(uint64_t offset, void* buffer, size_t count) const {
    if (offset >= bytes_.size()) return 0;
    count = static_cast<size_t>(std::min<uint64_t>(count, bytes_.size() - offset));
    std::memcpy(buffer, bytes_.data() + offset, count);
    return count;
}

namespace {

constexpr FourCC kRiff = MakeFourCC("RIFF");
constexpr FourCC kList = MakeFourCC("LIST");

struct ChunkHeader {
    FourCC code{};
    uint32_t size = 0;
};

bool ReadHeader(const RiffSource& source, uint64_t pos, ChunkHeader& header) {
    uint8_t bytes[8];
    if (source.readAt(pos, bytes, 8) != 8) return false;
    header.code = FourCCAt(bytes);
    header.size = Le32(bytes + 4);
    return true;
}

bool ReadCode(const RiffSource& source, uint64_t pos, FourCC& code) {
    uint8_t bytes[4];
    if (source.readAt(pos, bytes, 4) != 4) return false;
    code = FourCCAt(bytes);
    return true;
}

// Where the chunk after one whose body ends at `bodyEnd` starts: one pad byte after an odd body,
// unless the enclosing list ends first.
uint64_t NextChunk(uint64_t bodyEnd, uint32_t size, uint64_t listEnd) {
    return std::min(bodyEnd + (size & 1u), listEnd);
}

// Reads min(size, N) leading bytes of a chunk body into `out`; false on a short read.
template <size_t N>
bool ReadLeading(const RiffSource& source, uint64_t body, uint32_t size, std::array<uint8_t, N>& out,
                 size_t& got) {
    const size_t want = std::min<size_t>(N, size);
    got = source.readAt(body, out.data(), want);
    return got == want;
}

// The walk of one file. Every child is checked against what remains of its list before use, so
// the nesting (RIFF > hdrl > strl/odml > chunk) and every read stay inside the file.
class Walker {
public:
    Walker(const RiffSource& source, TAviParam& out) : source_(source), out_(out) {}

    void run() {
        const uint64_t fileSize = source_.size();
        uint64_t pos = 0;
        while (pos <= fileSize && fileSize - pos >= 8) {
            ChunkHeader header;
            if (!ReadHeader(source_, pos, header)) return;
            if (uint64_t(header.size) + 8 > fileSize - pos) return;
            if (header.code != kRiff || header.size < 4) return;
            FourCC type;
            if (!ReadCode(source_, pos + 8, type)) return;
            if (std::toupper(static_cast<unsigned char>(type[0])) != 'A' ||
                std::toupper(static_cast<unsigned char>(type[1])) != 'V' ||
                std::toupper(static_cast<unsigned char>(type[2])) != 'I')
                return;
            const uint64_t end = pos + 8 + header.size;
            if (!walkForm(pos + 12, end)) return;
            out_.Valid = true;
            pos = end + (header.size & 1u);
        }
    }

private:
    bool walkForm(uint64_t pos, uint64_t end) {
        while (end - pos >= 8) {
            ChunkHeader header;
            if (!ReadHeader(source_, pos, header)) return true;
            if (header.size > end - pos - 8) return false;
            const uint64_t body = pos + 8;
            const uint64_t bodyEnd = body + header.size;
            if (header.code == kList) {
                FourCC type;
                if (header.size < 4 || !ReadCode(source_, body, type)) return false;
                if (type == MakeFourCC("hdrl") && !walkHeaderList(body + 4, bodyEnd)) return false;
            }
            pos = NextChunk(bodyEnd, header.size, end);
        }
        return true;
    }

    bool walkHeaderList(uint64_t pos, uint64_t end) {
        while (end - pos >= 8) {
            ChunkHeader header;
            if (!ReadHeader(source_, pos, header)) return false;
            if (header.size > end - pos - 8) return false;
            const uint64_t body = pos + 8;
            const uint64_t bodyEnd = body + header.size;
            size_t got = 0;
            if (header.code == MakeFourCC("avih")) {
                if (!ReadLeading(source_, body, header.size, out_.MainHeader, got)) return false;
            } else if (header.code == kList && header.size >= 4) {
                FourCC type;
                if (!ReadCode(source_, body, type)) return false;
                if (type == MakeFourCC("strl"))
                    walkStreamList(body + 4, bodyEnd);
                else if (type == MakeFourCC("odml") && !walkOdml(body + 4, bodyEnd))
                    return false;
            }
            pos = NextChunk(bodyEnd, header.size, end);
        }
        return true;
    }

    bool walkStreamList(uint64_t pos, uint64_t end) {
        if (out_.Streams.size() >= TAviParam::kMaxStreams) return true;
        TAvistream& stream = out_.Streams.emplace_back();
        const int index = static_cast<int>(out_.Streams.size()) - 1;
        while (end - pos >= 8) {
            ChunkHeader header;
            if (!ReadHeader(source_, pos, header)) return false;
            if (header.size > end - pos - 8) return false;
            const uint64_t body = pos + 8;
            const uint64_t bodyEnd = body + header.size;
            if (header.code == MakeFourCC("strh")) {
                if (!ReadLeading(source_, body, header.size, stream.Header, stream.HeaderSize)) return false;
                const FourCC type = stream.fccType();
                if (stream.HeaderSize >= 4) {
                    if (type == MakeFourCC("auds") && out_.AudioStream < 0) out_.AudioStream = index;
                    if ((type == MakeFourCC("vids") || type == MakeFourCC("iavs")) && out_.VideoStream < 0)
                        out_.VideoStream = index;
                }
            } else if (header.code == MakeFourCC("strf")) {
                if (!ReadLeading(source_, body, header.size, stream.Format, stream.FormatSize)) return false;
            } else if (header.code == MakeFourCC("indx")) {
                stream.IndexEntriesPos = static_cast<int64_t>(body + 24);
                size_t got = 0;
                if (!ReadLeading(source_, body, header.size, stream.IndexHeader, got)) return false;
                // A super index shorter than its header ends this stream list.
                if (header.size < TAvistream::kIndexBytes) return false;
            }
            pos = NextChunk(bodyEnd, header.size, end);
        }
        return true;
    }

    bool walkOdml(uint64_t pos, uint64_t end) {
        while (end - pos >= 8) {
            ChunkHeader header;
            if (!ReadHeader(source_, pos, header)) return false;
            if (header.size > end - pos - 8) return false;
            const uint64_t body = pos + 8;
            size_t got = 0;
            if (header.code == MakeFourCC("dmlh") &&
                !ReadLeading(source_, body, header.size, out_.OdmlHeader, got))
                return false;
            pos = NextChunk(body + header.size, header.size, end);
        }
        return true;
    }

    const RiffSource& source_;
    TAviParam& out_;
};

}  // namespace

TAviParam::TAviParam(const std::string& path) noexcept {
    try {
        FileRiffSource source(path);
        walk(source);
    } catch (...) {
        // An unreadable file is simply not a valid AVI.
    }
}

TAviParam::TAviParam(const RiffSource& source) noexcept {
    walk(source);
}

void TAviParam::walk(const RiffSource& source) noexcept {
    try {
        Walker(source, *this).run();
    } catch (...) {
        // Out of memory while growing the stream list: keep what was set.
    }
}

FourCC TAviParam::VideoFourCC() const {
    if (VideoStream < 0) return MakeFourCC("####");
    const TAvistream& stream = Streams[static_cast<size_t>(VideoStream)];
    const FourCC handler = stream.fccHandler();
    if (handler != FourCC{}) return handler;
    return FourCCAt(stream.Format.data() + 16);  // biCompression; zero when strf was shorter
}

}  // namespace velinor
