// Decodes the audio of a DV frame whose audio blocks come from the input, then encodes the PCM
// back and decodes it again. The first byte picks the system (bit 0: 525/60) and the dropout
// concealment (bit 1: interpolate); the rest fills the audio blocks of the frame in order, each
// with its pack and its data (77 bytes after the block's ID), the other bytes staying zero.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "media/dif_audio.h"

namespace {

constexpr size_t kBlockBytes = 80;
constexpr size_t kSequenceBytes = 150 * kBlockBytes;
constexpr size_t kIdBytes = 3;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const bool is525 = (data[0] & 1) != 0;
    const auto concealment =
        (data[0] & 2) != 0 ? velinor::DropoutConcealment::Interpolate : velinor::DropoutConcealment::Silence;
    const int sequences = is525 ? 10 : 12;
    std::vector<uint8_t> frame(size_t(sequences) * kSequenceBytes, 0);
    size_t from = 1;
    for (int s = 0; s < sequences && from < size; ++s)
        for (int a = 0; a < 9 && from < size; ++a) {
            const size_t block = size_t(s) * kSequenceBytes + size_t(6 + 16 * a) * kBlockBytes;
            const size_t n = std::min(kBlockBytes - kIdBytes, size - from);
            std::copy(data + from, data + from + n, frame.begin() + std::ptrdiff_t(block + kIdBytes));
            from += n;
        }

    // Frames of other sizes are not DV and give nothing.
    std::vector<int16_t> pcm;
    if (velinor::DecodeDifAudio(std::span<const uint8_t>(frame).first(frame.size() - 1), pcm))
        __builtin_trap();

    const auto format = velinor::ReadDifAudioFormat(frame);
    const auto decoded = velinor::DecodeDifAudio(frame, pcm, concealment);
    if (format.has_value() != decoded.has_value()) __builtin_trap();
    if (!decoded) {
        if (!pcm.empty()) __builtin_trap();
        return 0;
    }
    if (format->Format != decoded->Format || format->Samples != decoded->Samples) __builtin_trap();
    if (pcm.size() != size_t(decoded->Samples) * size_t(decoded->Format.Channels)) __builtin_trap();

    // What was decoded is a format DV carries: it encodes, and reads back the same.
    std::vector<uint8_t> again(frame.size(), 0);
    if (!velinor::EncodeDifAudio(again, decoded->Format, pcm, decoded->Samples)) __builtin_trap();
    std::vector<int16_t> back;
    const auto reread = velinor::DecodeDifAudio(again, back);
    if (!reread || reread->Format != decoded->Format || reread->Samples != decoded->Samples) __builtin_trap();
    if (reread->ErrorSamples != 0) __builtin_trap();  // the error code is never written
    if (decoded->Format.Bits == 16)
        for (size_t i = 0; i < pcm.size(); ++i)
            if (pcm[i] != INT16_MIN && back[i] != pcm[i]) __builtin_trap();
    return 0;
}
