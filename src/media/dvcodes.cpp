#include "media/dvcodes.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace velinor {

namespace {

// Inside a DIF sequence (offsets from the sequence start):
//   block 0       header; byte 3 of sequence 0 is the system byte, byte 12 the display hint bits
//   blocks 1, 2   subcode: 6 packs each, pack j at byte 6 + 8 j of the block
//   blocks 3-5    VAUX: 15 packs each, pack k at byte 3 + 5 k of the block
//   block 16a + 6 (a = 0..8) audio: the AAUX pack at bytes 3-7
constexpr size_t kSubcodeBlock1 = 1 * kDifBlockBytes;
constexpr size_t kVauxBlock3 = 3 * kDifBlockBytes;
constexpr int kSubcodePacksPerBlock = 6;
constexpr int kSubcodePacks = 2 * kSubcodePacksPerBlock;
constexpr int kVauxPacks = 3 * 15;
constexpr int kAudioBlocks = 9;
constexpr size_t kHeaderDisplayByte = 12;

// Fixed date and time pack positions of VAUX block 5 of sequence 0 (packs 11 and 12).
constexpr size_t kFixedDatePack = 5 * kDifBlockBytes + 3 + 5 * 11;  // 458
constexpr size_t kFixedTimePack = 5 * kDifBlockBytes + 3 + 5 * 12;  // 463

constexpr uint8_t kSystemByte625 = 0xBF;
constexpr uint8_t kSystemByte525 = 0x3F;

constexpr size_t subcodePackOffset(int j) {
    return kSubcodeBlock1 + static_cast<size_t>(j / kSubcodePacksPerBlock) * kDifBlockBytes + 6 +
           8 * static_cast<size_t>(j % kSubcodePacksPerBlock);
}

constexpr size_t vauxPackOffset(int k) {
    return kVauxBlock3 + static_cast<size_t>(k / 15) * kDifBlockBytes + 3 + 5 * static_cast<size_t>(k % 15);
}

constexpr size_t audioBlockOffset(int a) {
    return (16 * static_cast<size_t>(a) + 6) * kDifBlockBytes;
}

// Every pack position of a sequence in search order: the 12 subcode packs, then the 45 VAUX packs.
constexpr int kSequencePacks = kSubcodePacks + kVauxPacks;
constexpr auto kPackOffsets = [] {
    std::array<uint16_t, kSequencePacks> offsets{};
    for (int j = 0; j < kSubcodePacks; ++j) offsets[j] = static_cast<uint16_t>(subcodePackOffset(j));
    for (int k = 0; k < kVauxPacks; ++k)
        offsets[kSubcodePacks + k] = static_cast<uint16_t>(vauxPackOffset(k));
    return offsets;
}();

// Never visit beyond the buffer, whatever count the caller passes.
int clampSequences(size_t frameBytes, int n) {
    return std::clamp(n, 0, static_cast<int>(frameBytes / kDifSequenceBytes));
}

int bcd(uint8_t byte, uint8_t tensMask) {
    return ((byte & tensMask) >> 4) * 10 + (byte & 0x0F);
}

DvPack packAt(const uint8_t* p) {
    return {p[0], p[1], p[2], p[3], p[4]};
}

// Two-digit recording years: consumer DV began in 1995, so 95-99 are the 1990s and 00-94 this
// century. A damaged tens nibble (above 9) gives 100 or more and stays in the 1900 + value range.
int32_t fullYear(int twoDigits) {
    return twoDigits < 95 ? 2000 + twoDigits : 1900 + twoDigits;
}

// Recording date pack (0x62): PC2 day (tens bits 4-5), PC3 month (tens bit 4), PC4 year (tens
// bits 4-7). PC1 (time zone) is left alone. A tens digit that does not fit keeps the old one.
void writeDate(uint8_t* pack, const DatecodeFields& f) {
    const unsigned day = f.Day, month = f.Month;
    const unsigned year = static_cast<unsigned>(((f.Year % 100) + 100) % 100);
    pack[2] = static_cast<uint8_t>((pack[2] & 0xF0) | day % 10);
    if (day / 10 <= 3) pack[2] = static_cast<uint8_t>((pack[2] & ~0x30) | (day / 10) << 4);
    pack[3] = static_cast<uint8_t>((pack[3] & 0xF0) | month % 10);
    if (month / 10 <= 1) pack[3] = static_cast<uint8_t>((pack[3] & ~0x10) | (month / 10) << 4);
    pack[4] = static_cast<uint8_t>((year / 10) << 4 | year % 10);
}

// Recording time pack (0x63): PC2 seconds and PC3 minutes (tens bits 4-6, bit 7 kept), PC4 hours
// (tens bits 4-5, bits 6-7 kept). PC1 (frames) is left alone.
void writeTime(uint8_t* pack, const DatecodeFields& f) {
    auto put = [](uint8_t& byte, unsigned value, uint8_t tensMask, unsigned maxTens) {
        byte = static_cast<uint8_t>((byte & 0xF0) | value % 10);
        if (value / 10 <= maxTens) byte = static_cast<uint8_t>((byte & ~tensMask) | (value / 10) << 4);
    };
    put(pack[2], f.Second, 0x70, 7);
    put(pack[3], f.Minute, 0x70, 7);
    put(pack[4], f.Hour, 0x30, 3);
}

}  // namespace

std::optional<DvPack> FindPack(std::span<const uint8_t> frame, uint8_t id, int n) {
    n = clampSequences(frame.size(), n);
    for (int s = 0; s < n; ++s) {
        const uint8_t* seq = frame.data() + static_cast<size_t>(s) * kDifSequenceBytes;
        for (const uint16_t offset : kPackOffsets)
            if (seq[offset] == id) return packAt(seq + offset);
    }
    return std::nullopt;
}

std::optional<DifBlock> FindAudioBlock(std::span<const uint8_t> frame, uint8_t id, int n) {
    n = clampSequences(frame.size(), n);
    for (int s = 0; s < n; ++s) {
        const uint8_t* seq = frame.data() + static_cast<size_t>(s) * kDifSequenceBytes;
        for (int a = 0; a < kAudioBlocks; ++a) {
            const uint8_t* block = seq + audioBlockOffset(a);
            if (block[3] != id) continue;
            DifBlock out;
            std::memcpy(out.data(), block, out.size());
            return out;
        }
    }
    return std::nullopt;
}

std::optional<Timecode> ReadTimecode(std::span<const uint8_t> frame, int n) {
    const auto pack = FindPack(frame, kPackTitleTimecode, n);
    if (!pack) return std::nullopt;
    // Title timecode pack (0x13): PC1 frames (tens bits 4-5), PC2 seconds and PC3 minutes (tens
    // bits 4-6), PC4 hours (tens bits 4-5). The other bits are flags.
    const auto& p = *pack;
    return Timecode{static_cast<uint8_t>(bcd(p[4], 0x30)), static_cast<uint8_t>(bcd(p[3], 0x70)),
                    static_cast<uint8_t>(bcd(p[2], 0x70)), static_cast<uint8_t>(bcd(p[1], 0x30))};
}

std::optional<DatecodeFields> ReadDatecode(std::span<const uint8_t> frame, int n) {
    std::optional<DvPack> time = FindPack(frame, kPackRecordingTime, n);
    std::optional<DvPack> date = time ? FindPack(frame, kPackRecordingDate, n) : std::nullopt;
    if (!time || !date) {
        // Some recorders leave the IDs blank (0x00) in the usual VAUX slots; take both packs from
        // there, and nothing else.
        if (frame.size() < kFixedTimePack + 5) return std::nullopt;
        const uint8_t dateId = frame[kFixedDatePack], timeId = frame[kFixedTimePack];
        if ((dateId != kPackRecordingDate && dateId != 0x00) ||
            (timeId != kPackRecordingTime && timeId != 0x00))
            return std::nullopt;
        date = packAt(frame.data() + kFixedDatePack);
        time = packAt(frame.data() + kFixedTimePack);
    }
    const auto& d = *date;
    const auto& t = *time;
    DatecodeFields f;
    f.Second = static_cast<uint8_t>(bcd(t[2], 0x70));
    f.Minute = static_cast<uint8_t>(bcd(t[3], 0x70));
    f.Hour = static_cast<uint8_t>(bcd(t[4], 0x30));
    f.Day = static_cast<uint8_t>(bcd(d[2], 0x30));
    f.Month = static_cast<uint8_t>(bcd(d[3], 0x10));
    f.Year = fullYear(bcd(d[4], 0xF0));
    return f;
}

std::optional<AudioInfo> ReadAudioInfo(std::span<const uint8_t> frame, int n) {
    const auto block = FindAudioBlock(frame, kPackAauxSource, n);
    if (!block) return std::nullopt;
    // AAUX source pack (0x50) at bytes 3-7 of the block: PC2 (byte 5) bits 0-3 audio mode, bit 4
    // channel pairing, bit 5 stereo/mono; PC4 (byte 7) bits 3-5 sampling frequency, bits 0-2
    // quantisation.
    const uint8_t pc2 = (*block)[5];
    const uint8_t pc4 = (*block)[7];
    static constexpr int32_t kFrequencies[8] = {48'000, 44'100, 32'000, 0, 0, 0, 0, 0};
    static constexpr int32_t kBits[8] = {16, 12, 0, 0, 0, 0, 0, 0};
    AudioInfo info;
    info.Frequency = kFrequencies[(pc4 >> 3) & 7];
    info.Bits = kBits[pc4 & 7];
    if ((pc2 & 0x0F) == 0) info.Channels = ((pc2 & 0x20) ? 1 : 2) * ((pc2 & 0x10) ? 2 : 1);
    return info;
}

std::optional<bool> ReadWideFlag(std::span<const uint8_t> frame, int n) {
    const auto pack = FindPack(frame, kPackVauxSourceControl, n);
    if (!pack) return std::nullopt;
    // VAUX source control (0x61): PC2 bits 0-2 display select; 2 and 7 are the 16:9 modes.
    const int display = (*pack)[2] & 7;
    return display == 2 || display == 7;
}

std::optional<bool> ReadSystem(std::span<const uint8_t> frame) {
    if (frame.size() < 4) return std::nullopt;
    if (frame[3] == kSystemByte625) return false;
    if (frame[3] == kSystemByte525) return true;
    return std::nullopt;
}

void WriteDatecode(std::span<uint8_t> frame, int n, const DatecodeFields& fields) {
    n = clampSequences(frame.size(), n);
    for (int s = 0; s < n; ++s) {
        uint8_t* seq = frame.data() + static_cast<size_t>(s) * kDifSequenceBytes;
        // Empty subcode slots are filled date, time, date, ... so that each time follows its date.
        bool nextGetsDate = true;
        for (int j = 0; j < kSubcodePacks; ++j) {
            uint8_t* pack = seq + kPackOffsets[j];
            switch (pack[0]) {
                case kPackRecordingDate:
                    writeDate(pack, fields);
                    nextGetsDate = false;
                    break;
                case kPackRecordingTime:
                    writeTime(pack, fields);
                    nextGetsDate = true;
                    break;
                case kPackEmpty:
                    if (nextGetsDate) {
                        pack[0] = kPackRecordingDate;
                        writeDate(pack, fields);
                    } else {
                        pack[0] = kPackRecordingTime;
                        writeTime(pack, fields);
                    }
                    nextGetsDate = !nextGetsDate;
                    break;
                default:
                    break;
            }
        }
        for (int k = kSubcodePacks; k < kSequencePacks; ++k) {
            uint8_t* pack = seq + kPackOffsets[k];
            if (pack[0] == kPackRecordingDate)
                writeDate(pack, fields);
            else if (pack[0] == kPackRecordingTime)
                writeTime(pack, fields);
        }
    }
}

void WriteDisplayMode(std::span<uint8_t> frame, int n, bool wide) {
    n = clampSequences(frame.size(), n);
    for (int s = 0; s < n; ++s) {
        uint8_t* seq = frame.data() + static_cast<size_t>(s) * kDifSequenceBytes;
        const bool hinted = (seq[kHeaderDisplayByte] & 7) != 0;
        const uint8_t display = !wide ? 0 : hinted ? 2 : 7;
        auto rewrite = [display](uint8_t* pack) {
            if (pack[0] == kPackVauxSourceControl) pack[2] = static_cast<uint8_t>((pack[2] & ~7) | display);
        };
        for (const uint16_t offset : kPackOffsets) rewrite(seq + offset);
    }
}

DvPack MakeTimecodePack(const Timecode& tc, bool dropFrame) {
    auto toBcd = [](unsigned value) { return static_cast<uint8_t>((value / 10 % 10) << 4 | value % 10); };
    return {kPackTitleTimecode, static_cast<uint8_t>((toBcd(tc.Frames) & 0x3F) | (dropFrame ? 0x40 : 0)),
            static_cast<uint8_t>(toBcd(tc.Seconds) & 0x7F), static_cast<uint8_t>(toBcd(tc.Minutes) & 0x7F),
            static_cast<uint8_t>(toBcd(tc.Hours) & 0x3F)};
}

int AudioSamplesPerFrame(int32_t frequency, bool is525) {
    if (frequency <= 0) return 0;
    // 525/60 runs at 30000/1001 frames a second.
    return is525 ? static_cast<int>((int64_t{frequency} * 1001 + 15'000) / 30'000) : frequency / 25;
}

DvPack MakeAudioSourcePack(const AudioInfo& audio, bool is525, int samples) {
    // PC1: bit 7 unlocked audio, bit 6 reserved, bits 0-5 samples above the minimum of the rate.
    // PC2: bit 5 one channel per block, bit 4 channel pairing, bits 0-3 audio mode (0xF: none).
    // PC3: bits 6-7 reserved, bit 5 50-field system, bits 0-4 signal type (0: consumer DV).
    // PC4: bit 7 no emphasis, bits 3-5 sampling frequency, bits 0-2 quantisation.
    struct Rate {
        int32_t frequency;
        uint8_t code;
        int minimum525, minimum625;
    };
    static constexpr Rate kRates[] = {
        {48'000, 0, 1580, 1896}, {44'100, 1, 1452, 1742}, {32'000, 2, 1053, 1264}};
    uint8_t rateCode = 7;
    int extra = 0;
    for (const auto& r : kRates)
        if (r.frequency == audio.Frequency) {
            rateCode = r.code;
            extra = std::clamp(samples - (is525 ? r.minimum525 : r.minimum625), 0, 63);
        }
    const uint8_t quantisation = audio.Bits == 16 ? 0 : audio.Bits == 12 ? 1 : 7;
    const uint8_t mode = audio.Channels == 2   ? 0x00
                         : audio.Channels == 1 ? 0x20
                         : audio.Channels == 4 ? 0x10
                                               : 0x0F;
    return {kPackAauxSource, static_cast<uint8_t>(0xC0 | extra), mode,
            static_cast<uint8_t>(is525 ? 0xC0 : 0xE0),
            static_cast<uint8_t>(0x80 | rateCode << 3 | quantisation)};
}

}  // namespace velinor
