#pragma once
// The WAV writer: turns a PCM stream into the byte stream of a WAV file. Each sample is stamped
// with the byte range it will occupy in the file; the header, whose sizes are known only at the
// end, is built when streaming stops. StartStreaming and Header on the controlling thread,
// Transform and Rollback on the streaming thread.
//
// File layout (integers unsigned 32-bit little-endian, F = size of the input's wave format block):
//   0 "RIFF" | 4 data + header - 8 | 8 "WAVE" | 12 "fmt " | 16 F | 20 the format block as it is |
//   20+F "data" | 24+F data size | 28+F the audio bytes in arrival order
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace velinor {

class Tdv_WaveDest {
public:
    static constexpr const char* kName = "WavDest filter";
    static constexpr uint32_t kHeaderExtra = 28;  // header bytes besides the format block

    struct ByteRange {
        int64_t start = 0;
        int64_t stop = 0;
    };

    void StartStreaming(size_t formatBlockBytes);
    // The file range of the next `length` bytes of audio; empty when the file would pass 4 GiB,
    // which the 32-bit sizes cannot describe (nothing is counted then).
    std::optional<ByteRange> Transform(size_t length);
    // Forgets the latest sample, which did not reach the file.
    void Rollback(uint32_t dataWrittenBefore) { DataWritten = dataWrittenBefore; }
    std::vector<uint8_t> Header(std::span<const uint8_t> formatBlock) const;

    uint32_t HeaderSize = kHeaderExtra;
    uint32_t DataWritten = 0;
};

}  // namespace velinor
