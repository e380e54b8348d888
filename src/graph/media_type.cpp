#include "graph/media_type.h"

#include <cstring>

namespace velinor::graph {
namespace {

template <typename T>
void put(std::vector<uint8_t>& out, size_t offset, T value) {
    for (size_t i = 0; i < sizeof(T); ++i) out[offset + i] = uint8_t(uint64_t(value) >> (8 * i));
}

template <typename T>
T get(std::span<const uint8_t> in, size_t offset) {
    uint64_t value = 0;
    for (size_t i = 0; i < sizeof(T); ++i) value |= uint64_t(in[offset + i]) << (8 * i);
    return T(value);
}

}  // namespace

std::string FourCCText(uint32_t code) {
    std::string text(4, ' ');
    for (int i = 0; i < 4; ++i) text[size_t(i)] = char((code >> (8 * i)) & 0xFF);
    return text;
}

bool MediaType::matches(const MediaType& pattern) const {
    if (pattern.major != MajorType::Any && pattern.major != major) return false;
    if (pattern.subtype != kSubtypeAny && pattern.subtype != subtype) return false;
    return pattern.format.empty() || pattern.format == format;
}

std::string_view MajorTypeName(MajorType major) {
    switch (major) {
        case MajorType::Video:
            return "vids";
        case MajorType::Audio:
            return "auds";
        case MajorType::Interleaved:
            return "iavs";
        case MajorType::Stream:
            return "stream";
        case MajorType::Any:
            break;
    }
    return "any";
}

std::vector<uint8_t> VideoInfo::encode() const {
    std::vector<uint8_t> out(kBytes, 0);
    put<int64_t>(out, 40, avgTimePerFrame);
    put<uint32_t>(out, 48, 40);  // biSize
    put<int32_t>(out, 52, width);
    put<int32_t>(out, 56, height);
    put<uint16_t>(out, 60, 1);
    put<uint16_t>(out, 62, bitCount);
    put<uint32_t>(out, 64, compression);
    put<uint32_t>(out, 68, imageSize);
    return out;
}

std::optional<VideoInfo> VideoInfo::decode(std::span<const uint8_t> block) {
    if (block.size() < kBytes) return std::nullopt;
    VideoInfo info;
    info.avgTimePerFrame = get<int64_t>(block, 40);
    info.width = get<int32_t>(block, 52);
    info.height = get<int32_t>(block, 56);
    info.bitCount = get<uint16_t>(block, 62);
    info.compression = get<uint32_t>(block, 64);
    info.imageSize = get<uint32_t>(block, 68);
    return info;
}

std::vector<uint8_t> WaveFormat::encode() const {
    std::vector<uint8_t> out(kBytes, 0);
    put<uint16_t>(out, 0, formatTag);
    put<uint16_t>(out, 2, channels);
    put<uint32_t>(out, 4, samplesPerSec);
    put<uint32_t>(out, 8, samplesPerSec * blockAlign());
    put<uint16_t>(out, 12, blockAlign());
    put<uint16_t>(out, 14, bitsPerSample);
    return out;
}

std::optional<WaveFormat> WaveFormat::decode(std::span<const uint8_t> block) {
    // A PCMWAVEFORMAT without cbSize is 16 bytes and still complete.
    if (block.size() < 16) return std::nullopt;
    WaveFormat wave;
    wave.formatTag = get<uint16_t>(block, 0);
    wave.channels = get<uint16_t>(block, 2);
    wave.samplesPerSec = get<uint32_t>(block, 4);
    wave.bitsPerSample = get<uint16_t>(block, 14);
    return wave;
}

MediaType VideoType(uint32_t subtype, const VideoInfo& info) {
    return MediaType{MajorType::Video, subtype, info.encode()};
}

MediaType AudioType(const WaveFormat& wave) {
    return MediaType{MajorType::Audio, wave.formatTag, wave.encode()};
}

int64_t FrameDurationOf(const MediaType& type) {
    if (type.major != MajorType::Video) return 0;
    const auto info = VideoInfo::decode(type.format);
    return info ? info->avgTimePerFrame : 0;
}

}  // namespace velinor::graph
