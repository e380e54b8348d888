#include "filters/wave_dest.h"

#include <cstring>
#include <limits>

namespace velinor {

namespace {

void Put32(std::vector<uint8_t>& out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void PutTag(std::vector<uint8_t>& out, const char (&tag)[5]) { out.insert(out.end(), tag, tag + 4); }

}  // namespace

void Tdv_WaveDest::StartStreaming(size_t formatBlockBytes) {
    HeaderSize = static_cast<uint32_t>(formatBlockBytes + kHeaderExtra);
    DataWritten = 0;
}

std::optional<Tdv_WaveDest::ByteRange> Tdv_WaveDest::Transform(size_t length) {
    const uint64_t start = uint64_t{HeaderSize} + DataWritten;
    const uint64_t stop = start + length;
    if (stop > std::numeric_limits<uint32_t>::max()) return std::nullopt;
    DataWritten += static_cast<uint32_t>(length);
    return ByteRange{static_cast<int64_t>(start), static_cast<int64_t>(stop)};
}

std::vector<uint8_t> Tdv_WaveDest::Header(std::span<const uint8_t> formatBlock) const {
    std::vector<uint8_t> out;
    out.reserve(formatBlock.size() + kHeaderExtra);
    const auto f = static_cast<uint32_t>(formatBlock.size());
    PutTag(out, "RIFF");
    Put32(out, DataWritten + f + kHeaderExtra - 8);
    PutTag(out, "WAVE");
    PutTag(out, "fmt ");
    Put32(out, f);
    out.insert(out.end(), formatBlock.begin(), formatBlock.end());
    PutTag(out, "data");
    Put32(out, DataWritten);
    return out;
}

}  // namespace velinor
