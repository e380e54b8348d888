#include "filters/wave_dest.h"

#include <cstring>
#include <limits>

namespace velinor {

namespace {

void Put32(uint8_t* at, uint32_t value) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

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
    const size_t f = formatBlock.size();
    std::vector<uint8_t> out(f + kHeaderExtra);
    uint8_t* p = out.data();
    std::memcpy(p, "RIFF", 4);
    Put32(p + 4, DataWritten + static_cast<uint32_t>(f) + kHeaderExtra - 8);
    std::memcpy(p + 8, "WAVEfmt ", 8);
    Put32(p + 16, static_cast<uint32_t>(f));
    if (f > 0) std::memcpy(p + 20, formatBlock.data(), f);
    std::memcpy(p + 20 + f, "data", 4);
    Put32(p + 24 + f, DataWritten);
    return out;
}

}  // namespace velinor
