#pragma once
// Reading and writing the auxiliary packs of one DV frame held in memory: timecode,
// recording date and time, audio source, display format and system.
// Stateless and reentrant; called on streaming threads once per frame. No allocation.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "media/datecode.h"

namespace velinor {

// Title timecode: hours, minutes, seconds, frames.
struct Timecode {
    uint8_t Hours = 0;
    uint8_t Minutes = 0;
    uint8_t Seconds = 0;
    uint8_t Frames = 0;
    bool operator==(const Timecode&) const = default;
};

// A DV frame is N DIF sequences of 150 blocks of 80 bytes.
constexpr size_t kDifBlockBytes = 80;
constexpr size_t kDifSequenceBytes = 150 * kDifBlockBytes;   // 12 000
constexpr size_t kDvFrameBytes525 = 10 * kDifSequenceBytes;  // 120 000, 525 lines / 60 fields
constexpr size_t kDvFrameBytes625 = 12 * kDifSequenceBytes;  // 144 000, 625 lines / 50 fields
constexpr size_t kSequenceHeaderBytes = 6 * kDifBlockBytes;  // header, 2 subcode, 3 VAUX blocks
constexpr int64_t kFrameDuration525 = 333'667;               // 100 ns
constexpr int64_t kFrameDuration625 = 400'000;               // 100 ns

// The number of DIF sequences of a frame of this length: 10, 12, or 0 for "not a DV frame".
constexpr int DifSequenceCount(size_t frameLength) {
    return frameLength == kDvFrameBytes525 ? 10 : frameLength == kDvFrameBytes625 ? 12 : 0;
}

using DvPack = std::array<uint8_t, 5>;
using DifBlock = std::array<uint8_t, kDifBlockBytes>;

struct AudioInfo {
    int32_t Frequency = 0;  // Hz: 48 000, 44 100, 32 000, or 0
    int32_t Channels = 0;
    int32_t Bits = 0;  // 16, 12, or 0
    bool operator==(const AudioInfo&) const = default;
};

// Pack IDs.
constexpr uint8_t kPackTitleTimecode = 0x13;
constexpr uint8_t kPackAauxSource = 0x50;
constexpr uint8_t kPackVauxSourceControl = 0x61;
constexpr uint8_t kPackRecordingDate = 0x62;
constexpr uint8_t kPackRecordingTime = 0x63;
constexpr uint8_t kPackEmpty = 0xFF;

// Every routine visits DIF sequences 0 to n-1 of `frame`; callers pass the frame's own count.
std::optional<DvPack> FindPack(std::span<const uint8_t> frame, uint8_t id, int n);
std::optional<DifBlock> FindAudioBlock(std::span<const uint8_t> frame, uint8_t id, int n);
std::optional<Timecode> ReadTimecode(std::span<const uint8_t> frame, int n);
std::optional<DatecodeFields> ReadDatecode(std::span<const uint8_t> frame, int n);
std::optional<AudioInfo> ReadAudioInfo(std::span<const uint8_t> frame, int n);
std::optional<bool> ReadWideFlag(std::span<const uint8_t> frame, int n);  // true = 16:9
std::optional<bool> ReadSystem(std::span<const uint8_t> frame);           // true = 525/60
void WriteDatecode(std::span<uint8_t> frame, int n, const DatecodeFields& fields);
void WriteDisplayMode(std::span<uint8_t> frame, int n, bool wide);

// Single packs, for writers that lay packs out themselves.
// Title timecode (0x13), BCD, flags clear except drop-frame counting (PC1 bit 6).
DvPack MakeTimecodePack(const Timecode& tc, bool dropFrame = false);
// AAUX source (0x50) for `audio` (48 000/44 100/32 000 Hz, 16 or 12 bits, 1, 2 or 4 channels) with
// `samples` audio samples in this frame. Values outside these sets give the "no information" codes.
DvPack MakeAudioSourcePack(const AudioInfo& audio, bool is525, int samples);
// The usual number of audio samples per frame: 1920 at 48 kHz for 625/50, 1602 for 525/60, etc.
int AudioSamplesPerFrame(int32_t frequency, bool is525);

}  // namespace velinor
