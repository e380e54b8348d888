#pragma once
// The RIFF walk of an AVI file: whether it is a well-formed AVI, its streams' headers and
// formats, and the video stream's FourCC. Also the byte sources the RIFF readers read through.
// A TAviParam is built, queried and dropped by one thread; it never writes the file.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velinor {

// Random-access bytes of one file or buffer. Reads never go past size(); a short count means
// the end was reached or the medium failed.
class RiffSource {
public:
    virtual ~RiffSource() = default;
    virtual uint64_t size() const = 0;
    virtual size_t readAt(uint64_t offset, void* buffer, size_t count) const = 0;
};

// A regular file opened for reading only; other openers may read and write it meanwhile.
class FileRiffSource final : public RiffSource {
public:
    explicit FileRiffSource(const std::string& path);  // throws MediaError when it cannot be opened
    ~FileRiffSource() override;
    FileRiffSource(const FileRiffSource&) = delete;
    FileRiffSource& operator=(const FileRiffSource&) = delete;

    uint64_t size() const override { return size_; }
    size_t readAt(uint64_t offset, void* buffer, size_t count) const override;

private:
    int fd_ = -1;
    uint64_t size_ = 0;
};

// Bytes held by the caller, which outlive the source.
class MemoryRiffSource final : public RiffSource {
public:
    explicit MemoryRiffSource(std::span<const uint8_t> bytes) : bytes_(bytes) {}
    uint64_t size() const override { return bytes_.size(); }
    size_t readAt(uint64_t offset, void* buffer, size_t count) const override;

private:
    std::span<const uint8_t> bytes_;
};

// A four-character code as four bytes in file order.
using FourCC = std::array<char, 4>;

constexpr FourCC MakeFourCC(std::string_view text) {
    FourCC code{};
    for (size_t i = 0; i < 4 && i < text.size(); ++i) code[i] = text[i];
    return code;
}
inline std::string FourCCText(const FourCC& code) {
    return std::string(code.data(), 4);
}

// Little-endian fields of headers held in memory; the caller guarantees the bytes are there.
inline uint16_t Le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
inline uint32_t Le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline uint64_t Le64(const uint8_t* p) {
    return uint64_t(Le32(p)) | uint64_t(Le32(p + 4)) << 32;
}
inline FourCC FourCCAt(const uint8_t* p) {
    return {static_cast<char>(p[0]), static_cast<char>(p[1]), static_cast<char>(p[2]),
            static_cast<char>(p[3])};
}

// One stream of the file: the leading bytes of its `strh`, `strf` and `indx` chunks. Bytes the
// chunk did not hold stay zero; the *Size members say how many were read.
struct TAvistream {
    static constexpr size_t kHeaderBytes = 56;  // AVISTREAMHEADER
    static constexpr size_t kFormatBytes = 84;  // BITMAPINFOHEADER + DVINFO, WAVEFORMATEX or DVINFO
    static constexpr size_t kIndexBytes = 88;   // AVISUPERINDEX header and first entries

    std::array<uint8_t, kHeaderBytes> Header{};
    size_t HeaderSize = 0;
    std::array<uint8_t, kFormatBytes> Format{};
    size_t FormatSize = 0;
    std::array<uint8_t, kIndexBytes> IndexHeader{};
    int64_t IndexEntriesPos = 0;  // body start of `indx` + 24; 0 when the stream has none

    FourCC fccType() const { return FourCCAt(Header.data()); }         // offset 0
    FourCC fccHandler() const { return FourCCAt(Header.data() + 4); }  // offset 4
};

class TAviParam {
public:
    // Walks the file at `path`; never throws. A file that cannot be opened leaves Valid false.
    explicit TAviParam(const std::string& path) noexcept;
    explicit TAviParam(const RiffSource& source) noexcept;

    // Streams beyond this count are ignored: stream numbers in chunk ids have two digits.
    static constexpr size_t kMaxStreams = 100;

    // True once one RIFF form whose type begins with "AVI" has been walked completely.
    bool Valid = false;
    std::vector<TAvistream> Streams;
    int VideoStream = -1;                   // first "vids" or "iavs" stream
    int AudioStream = -1;                   // first "auds" stream
    std::array<uint8_t, 56> MainHeader{};   // `avih` body
    std::array<uint8_t, 248> OdmlHeader{};  // `dmlh` body

    // The video stream's fccHandler, or when that is 0 its biCompression (strf offset 16);
    // "####" without a video stream.
    FourCC VideoFourCC() const;

private:
    void walk(const RiffSource& source) noexcept;
};

}  // namespace velinor
