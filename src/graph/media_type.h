#pragma once
// Media types as filters negotiate them: a major type, a subtype and a format block kept as the
// bytes the filters read (VIDEOINFOHEADER, WAVEFORMATEX, DVINFO). Plain values, any thread.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velinor::graph {

enum class MajorType { Any, Video, Audio, Interleaved, Stream };

// Four characters in file order, packed little-endian as they sit in an AVI header.
constexpr uint32_t FourCC(const char (&code)[5]) {
    return uint32_t(uint8_t(code[0])) | uint32_t(uint8_t(code[1])) << 8 | uint32_t(uint8_t(code[2])) << 16 |
           uint32_t(uint8_t(code[3])) << 24;
}
std::string FourCCText(uint32_t code);

// Subtypes. Video subtypes are FourCCs; audio subtypes are wave format tags, as in the
// Windows media type identifiers. 0 means "any subtype" in a partial type.
constexpr uint32_t kSubtypeAny = 0;
constexpr uint32_t kSubtypeDvsd = FourCC("dvsd");
constexpr uint32_t kSubtypeRgb24 = FourCC("RGB3");  // BGR byte order, rows bottom-up, rows padded to 4 bytes
constexpr uint32_t kSubtypeRgb32 = FourCC("RGB4");  // BGRX byte order
// Planar Y, Cb, Cr, rows top-down, no padding: chroma halved both ways (I420) or quartered
// across (Y41B), the samplings of DV at 625/50 and 525/60.
constexpr uint32_t kSubtypeI420 = FourCC("I420");
constexpr uint32_t kSubtypeY41B = FourCC("Y41B");
constexpr uint32_t kSubtypePcm = 0x0001;  // WAVE_FORMAT_PCM

struct MediaType {
    MediaType() = default;
    explicit MediaType(MajorType majorType, uint32_t subtypeId = kSubtypeAny,
                       std::vector<uint8_t> formatBlock = {})
        : major(majorType), subtype(subtypeId), format(std::move(formatBlock)) {}

    MajorType major = MajorType::Any;
    uint32_t subtype = kSubtypeAny;
    std::vector<uint8_t> format;  // empty = no format block (or "any" in a partial type)

    bool operator==(const MediaType&) const = default;
    bool isPartial() const { return major == MajorType::Any || subtype == kSubtypeAny; }
    // True when this complete type fits `pattern`: an Any major type, a 0 subtype or an empty
    // format block in the pattern leaves that part open.
    bool matches(const MediaType& pattern) const;
};

std::string_view MajorTypeName(MajorType major);  // "vids", "auds", "iavs", "stream", "any"

// VIDEOINFOHEADER, 88 bytes: rcSource 0, rcTarget 16, dwBitRate 32, dwBitErrorRate 36,
// AvgTimePerFrame 40 (int64, 100 ns), then BITMAPINFOHEADER at 48: biSize 48, biWidth 52,
// biHeight 56 (positive = bottom-up rows), biPlanes 60, biBitCount 62, biCompression 64,
// biSizeImage 68, then pels per metre and colour counts up to 88.
struct VideoInfo {
    static constexpr size_t kBytes = 88;
    int64_t avgTimePerFrame = 0;  // 100 ns
    int32_t width = 0;
    int32_t height = 0;  // negative = top-down rows
    uint16_t bitCount = 0;
    uint32_t compression = 0;  // 0 = BI_RGB
    uint32_t imageSize = 0;

    std::vector<uint8_t> encode() const;
    static std::optional<VideoInfo> decode(std::span<const uint8_t> block);
    // Bytes per row of an uncompressed picture, padded to 4 bytes.
    int32_t stride() const { return ((width * bitCount + 31) / 32) * 4; }
};

// WAVEFORMATEX, 18 bytes: wFormatTag 0, nChannels 2, nSamplesPerSec 4, nAvgBytesPerSec 8,
// nBlockAlign 12, wBitsPerSample 14, cbSize 16.
struct WaveFormat {
    static constexpr size_t kBytes = 18;
    uint16_t formatTag = kSubtypePcm;
    uint16_t channels = 0;
    uint32_t samplesPerSec = 0;
    uint16_t bitsPerSample = 0;

    uint16_t blockAlign() const { return uint16_t(channels * ((bitsPerSample + 7) / 8)); }
    std::vector<uint8_t> encode() const;
    static std::optional<WaveFormat> decode(std::span<const uint8_t> block);
};

MediaType VideoType(uint32_t subtype, const VideoInfo& info);
MediaType AudioType(const WaveFormat& wave);

// The frame duration a type declares (VIDEOINFOHEADER's AvgTimePerFrame), or 0.
int64_t FrameDurationOf(const MediaType& type);

}  // namespace velinor::graph
