// Feeds arbitrary bytes to the DV pack readers and writers as a frame. The first byte picks the
// system and the sequence count (any count, even beyond the frame); the rest is tiled over the
// frame so that every pack position holds input bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "media/dvcodes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace velinor;
    if (size < 2) return 0;
    const bool is525 = data[0] & 0x80;
    const int n = data[0] & 0x0F;
    std::vector<uint8_t> frame(is525 ? kDvFrameBytes525 : kDvFrameBytes625);
    for (size_t i = 0; i < frame.size(); ++i) frame[i] = data[1 + i % (size - 1)];
    // Some inputs are read through a shorter view, as a damaged sample would be.
    const size_t visible = (data[0] & 0x40) ? frame.size() / (1 + data[1] % 7) : frame.size();
    std::span<uint8_t> view(frame.data(), visible);

    (void)FindPack(view, data[1], n);
    (void)FindAudioBlock(view, data[1], n);
    (void)ReadTimecode(view, n);
    (void)ReadAudioInfo(view, n);
    (void)ReadSystem(view);
    if (const auto fields = ReadDatecode(view, n)) (void)MakeDatecode(*fields);

    const bool wide = data[size - 1] & 1;
    WriteDisplayMode(view, n, wide);
    if (const auto readWide = ReadWideFlag(view, n); readWide && *readWide != wide) std::abort();

    const DatecodeFields fields{2000 + data[size - 1] % 95,
                                static_cast<uint8_t>(1 + data[1] % 12),
                                static_cast<uint8_t>(1 + data[size - 1] % 28),
                                static_cast<uint8_t>(data[1] % 24),
                                static_cast<uint8_t>(data[size - 1] % 60),
                                static_cast<uint8_t>(data[1] % 60)};
    WriteDatecode(view, n, fields);
    // Once written, the date and time found by search are the ones written.
    if (FindPack(view, kPackRecordingTime, n) && FindPack(view, kPackRecordingDate, n) &&
        ReadDatecode(view, n) != fields)
        std::abort();
    return 0;
}
