#include "media/dif_audio.h"

#include <algorithm>
#include <array>
#include <bit>

#include "media/dvcodes.h"

namespace velinor {
namespace {

// Frame layout. A frame is N DIF sequences of 150 blocks of 80 bytes; in each sequence, audio
// block a (0-8) is block 6 + 16a. An audio block holds its ID (bytes 0-2), one AAUX pack (bytes
// 3-7) and 72 bytes of samples (8-79): 36 big-endian 16-bit words, or 24 groups of three bytes
// holding two 12-bit words. The first N/2 sequences carry channel 1 (16-bit: the left channel;
// 12-bit: the first stereo pair), the last N/2 channel 2 (the right channel, or the second pair).
constexpr int kAudioBlocks = 9;
constexpr size_t kPackOffset = 3;
constexpr size_t kDataOffset = 8;
constexpr int kWords16 = 36;  // per audio block
constexpr int kWords12 = 24;  // per audio block and channel

constexpr uint8_t kPackSource = 0x50;
constexpr uint8_t kPackSourceControl = 0x51;
constexpr uint8_t kPackNoInfo = 0xFF;

constexpr uint16_t kError16 = 0x8000;
constexpr uint16_t kError12 = 0x800;
// Decoded samples never take this value (16-bit words equal to it are the error code, and the
// 12-bit expansion stops at -32641), so it marks dropouts until they are concealed.
constexpr int16_t kDropoutMark = INT16_MIN;

constexpr size_t audioBlockOffset(int sequence, int block) {
    return size_t(sequence) * kDifSequenceBytes + size_t(6 + 16 * block) * kDifBlockBytes;
}

// Sample shuffling: within one channel, sample n goes to DIF sequence (n/3 + 2(n%3)) mod H of
// the channel's half, audio block 3(n%3) + (n mod 9H)/3H, word n / 9H of the block, where H is
// the number of sequences per half (5 or 6). Sample n and sample n + 9H share the sequence and
// block, so the table keeps, for each (sequence, block), the first sample r < 9H it holds.
struct Shuffle {
    int half = 0;  // H: sequences per channel half
    int row = 0;   // 9H: samples per word position across the half
    std::array<std::array<uint8_t, kAudioBlocks>, 6> first{};
};

constexpr Shuffle makeShuffle(int half) {
    Shuffle s;
    s.half = half;
    s.row = kAudioBlocks * half;
    for (int r = 0; r < s.row; ++r) {
        const int sequence = (r / 3 + 2 * (r % 3)) % half;
        const int block = 3 * (r % 3) + r / (3 * half);
        s.first[size_t(sequence)][size_t(block)] = uint8_t(r);
    }
    return s;
}

constexpr Shuffle kShuffle525 = makeShuffle(5);
constexpr Shuffle kShuffle625 = makeShuffle(6);

// AAUX source pack (0x50).
//   PC1: bit 7 LF (0 locked), bit 6 reserved, bits 0-5 AF_SIZE (samples in the frame - minimum)
//   PC2: bit 7 SM, bits 5-6 CHN (channels per audio block - 1), bit 4 PA, bits 0-3 AUDIO MODE
//        (0xF: no audio in this half)
//   PC3: bit 7 reserved, bit 6 ML, bit 5 50/60 (1: 625/50), bits 0-4 STYPE
//   PC4: bit 7 EF (0: emphasis on), bit 6 TC, bits 3-5 SMP (frequency), bits 0-2 QU (word length)
// AAUX source control pack (0x51).
//   PC1: CGMS, ISR, CMP, SS; PC2: bit 7 REC ST, bit 6 REC END, bits 3-5 REC MODE (1 original,
//   7 invalid recording), bits 0-2 INSERT CH; PC3: bit 7 DRF, bits 0-6 SPEED; PC4: genre.
constexpr uint8_t kAudioModeNone = 0x0F;
constexpr uint8_t kRecModeInvalid = 7;

constexpr int32_t kFrequencies[] = {48'000, 44'100, 32'000};  // by SMP

struct SampleLimits {
    int32_t frequency;
    DifSampleRange range525;
    DifSampleRange range625;
};
constexpr SampleLimits kLimits[] = {
    {48'000, {1580, 1620}, {1896, 1944}},
    {44'100, {1452, 1489}, {1742, 1786}},
    {32'000, {1053, 1080}, {1264, 1296}},
};

struct Layout {
    int sequences = 0;
    bool is525 = false;
    const Shuffle* shuffle = nullptr;
};

std::optional<Layout> layoutOf(size_t frameBytes) {
    if (frameBytes == kDvFrameBytes525) return Layout{10, true, &kShuffle525};
    if (frameBytes == kDvFrameBytes625) return Layout{12, false, &kShuffle625};
    return std::nullopt;
}

int capacity(const Layout& layout, int bits) {
    return layout.shuffle->row * (bits == 16 ? kWords16 : kWords12);
}

// The first pack with this ID among the audio blocks of the sequences of one half.
const uint8_t* findHalfPack(std::span<const uint8_t> frame, const Layout& layout, int half, uint8_t id) {
    const int h = layout.shuffle->half;
    for (int s = half * h; s < (half + 1) * h; ++s) {
        for (int a = 0; a < kAudioBlocks; ++a) {
            const uint8_t* pack = frame.data() + audioBlockOffset(s, a) + kPackOffset;
            if (pack[0] == id) return pack;
        }
    }
    return nullptr;
}

int smpIndex(int32_t frequency) {
    for (int i = 0; i < 3; ++i)
        if (kFrequencies[i] == frequency) return i;
    return -1;
}

struct Parsed {
    DifAudioFrame frame;
    bool mono16 = false;
};

std::optional<Parsed> parseFormat(std::span<const uint8_t> frame, const Layout& layout) {
    // A dropout may take the packs of the first half; the second half's then gives the format.
    const uint8_t* second = findHalfPack(frame, layout, 1, kPackSource);
    const uint8_t* source = findHalfPack(frame, layout, 0, kPackSource);
    if (!source) source = second;
    if (!source) return std::nullopt;
    const int afSize = source[1] & 0x3F;
    const int smp = (source[4] >> 3) & 0x07;
    const int qu = source[4] & 0x07;
    if (smp > 2 || qu > 1) return std::nullopt;

    Parsed p;
    DifAudioFrame& f = p.frame;
    f.Format.Frequency = kFrequencies[smp];
    f.Format.Bits = qu == 0 ? 16 : 12;
    f.Locked = (source[1] & 0x80) == 0;
    f.Emphasis = (source[4] & 0x80) == 0;
    const DifSampleRange range = DifAudioSampleRange(layout.is525, f.Format.Frequency);
    f.Samples = range.Min + afSize;
    if (f.Samples > range.Max || f.Samples > capacity(layout, f.Format.Bits)) return std::nullopt;

    if (const uint8_t* control = findHalfPack(frame, layout, 0, kPackSourceControl))
        f.InvalidRecording = ((control[2] >> 3) & 0x07) == kRecModeInvalid;

    // The second half says whether it carries anything: its source pack's AUDIO MODE, and for
    // a second 12-bit pair its own source control pack. At 16 bits a second half without a
    // source pack is still the right channel; a second 12-bit pair needs its own pack.
    const bool secondEmpty = second && (second[2] & 0x0F) == kAudioModeNone;
    if (f.Format.Bits == 16) {
        // Two channels per block (CHN) cannot hold 16-bit SD audio: writers that set it mean mono.
        p.mono16 = secondEmpty || (source[2] & 0x60) != 0;
        f.Format.Channels = p.mono16 ? 1 : 2;
    } else {
        bool pair2 = second && !secondEmpty && (second[4] & 0x3F) == (source[4] & 0x3F);
        if (pair2) {
            const uint8_t* control2 = findHalfPack(frame, layout, 1, kPackSourceControl);
            pair2 = !(control2 && ((control2[2] >> 3) & 0x07) == kRecModeInvalid);
        }
        f.Format.Channels = pair2 ? 4 : 2;
    }
    return p;
}

// 12-bit non-linear words: codes 0-511 stand for themselves; above, segment k = 1..6 covers
// codes 256(k+1)..256(k+2)-1 in steps of 2^k, from 256 * 2^k. Negative codes mirror the positive
// ones through one's complement (c -> -c-1).
constexpr int32_t expandPositive(int32_t code) {
    if (code < 512) return code;
    const int k = (code >> 8) - 1;
    return (code - 256 * k) << k;
}

constexpr int32_t compressPositive(int32_t value) {
    if (value < 512) return value;
    const int k = std::bit_width(uint32_t(value >> 8)) - 1;
    const int32_t code = ((value + (1 << (k - 1))) >> k) + 256 * k;
    return std::min(code, 2047);
}

void concealRuns(std::span<int16_t> pcm, int channels, int samples) {
    for (int c = 0; c < channels; ++c) {
        auto at = [&](int n) -> int16_t& { return pcm[size_t(n) * size_t(channels) + size_t(c)]; };
        int n = 0;
        while (n < samples) {
            if (at(n) != kDropoutMark) {
                ++n;
                continue;
            }
            int end = n;
            while (end < samples && at(end) == kDropoutMark) ++end;
            const bool hasBefore = n > 0;
            const bool hasAfter = end < samples;
            const int32_t before = hasBefore ? at(n - 1) : 0;
            const int32_t after = hasAfter ? at(end) : 0;
            for (int i = n; i < end; ++i) {
                int32_t v = 0;
                if (hasBefore && hasAfter)
                    v = before + (after - before) * (i - n + 1) / (end - n + 1);
                else if (hasBefore)
                    v = before;
                else if (hasAfter)
                    v = after;
                at(i) = int16_t(v);
            }
            n = end;
        }
    }
}

void writePack(uint8_t* pack, uint8_t id, uint8_t pc1, uint8_t pc2, uint8_t pc3, uint8_t pc4) {
    pack[0] = id;
    pack[1] = pc1;
    pack[2] = pc2;
    pack[3] = pc3;
    pack[4] = pc4;
}

}  // namespace

int16_t ExpandDifSample12(int16_t code) {
    const int32_t c = std::clamp<int32_t>(code, -2048, 2047);
    return int16_t(c >= 0 ? expandPositive(c) : ~expandPositive(~c));
}

int16_t CompressDifSample12(int16_t sample) {
    const int32_t s = sample;
    return int16_t(s >= 0 ? compressPositive(s) : std::max(~compressPositive(~s), -2047));
}

DifSampleRange DifAudioSampleRange(bool is525, int32_t frequency) {
    for (const auto& l : kLimits)
        if (l.frequency == frequency) return is525 ? l.range525 : l.range625;
    return {};
}

std::optional<DifAudioFrame> ReadDifAudioFormat(std::span<const uint8_t> frame) {
    const auto layout = layoutOf(frame.size());
    if (!layout) return std::nullopt;
    const auto parsed = parseFormat(frame, *layout);
    if (!parsed) return std::nullopt;
    return parsed->frame;
}

std::optional<DifAudioFrame> DecodeDifAudio(std::span<const uint8_t> frame, std::vector<int16_t>& pcm,
                                            DropoutConcealment concealment) {
    pcm.clear();
    const auto layout = layoutOf(frame.size());
    if (!layout) return std::nullopt;
    const auto parsed = parseFormat(frame, *layout);
    if (!parsed) return std::nullopt;
    DifAudioFrame result = parsed->frame;
    const int channels = result.Format.Channels;
    const int samples = result.Samples;
    pcm.resize(size_t(samples) * size_t(channels));
    int16_t* out = pcm.data();
    const Shuffle& sh = *layout->shuffle;
    int errors = 0;

    const int halves = result.Format.Bits == 12 ? channels / 2 : (parsed->mono16 ? 1 : 2);
    for (int half = 0; half < halves; ++half) {
        for (int hs = 0; hs < sh.half; ++hs) {
            const int s = half * sh.half + hs;
            for (int a = 0; a < kAudioBlocks; ++a) {
                const uint8_t* data = frame.data() + audioBlockOffset(s, a) + kDataOffset;
                const int r = sh.first[size_t(hs)][size_t(a)];
                if (result.Format.Bits == 16) {
                    for (int k = 0, n = r; k < kWords16 && n < samples; ++k, n += sh.row) {
                        const uint16_t word = uint16_t(data[2 * k] << 8 | data[2 * k + 1]);
                        int16_t v = int16_t(word);
                        if (word == kError16) {
                            v = kDropoutMark;
                            ++errors;
                        }
                        out[size_t(n) * size_t(channels) + size_t(half)] = v;
                    }
                } else {
                    for (int k = 0, n = r; k < kWords12 && n < samples; ++k, n += sh.row) {
                        const uint8_t* g = data + 3 * k;
                        const uint16_t left = uint16_t(g[0] << 4 | g[2] >> 4);
                        const uint16_t right = uint16_t(g[1] << 4 | (g[2] & 0x0F));
                        int16_t* dst = out + size_t(n) * size_t(channels) + size_t(2 * half);
                        for (int i = 0; i < 2; ++i) {
                            const uint16_t word = i == 0 ? left : right;
                            if (word == kError12) {
                                dst[i] = kDropoutMark;
                                ++errors;
                            } else {
                                // Sign-extend the 12-bit word.
                                dst[i] = ExpandDifSample12(int16_t(int32_t(word ^ 0x800) - 0x800));
                            }
                        }
                    }
                }
            }
        }
    }

    if (errors > 0) {
        if (concealment == DropoutConcealment::Interpolate) {
            concealRuns(pcm, channels, samples);
        } else {
            std::replace(pcm.begin(), pcm.end(), kDropoutMark, int16_t(0));
        }
    }
    result.ErrorSamples = errors;
    return result;
}

bool EncodeDifAudio(std::span<uint8_t> frame, const DifAudioFormat& format, std::span<const int16_t> pcm,
                    int32_t samples) {
    const auto layout = layoutOf(frame.size());
    if (!layout) return false;
    const int smp = smpIndex(format.Frequency);
    if (smp < 0) return false;
    const bool is16 = format.Bits == 16;
    if (is16 ? (format.Channels != 1 && format.Channels != 2)
             : (format.Bits != 12 || (format.Channels != 2 && format.Channels != 4)))
        return false;
    const DifSampleRange range = DifAudioSampleRange(layout->is525, format.Frequency);
    if (samples < range.Min || samples > range.Max || samples > capacity(*layout, format.Bits)) return false;
    const int channels = format.Channels;
    if (pcm.size() < size_t(samples) * size_t(channels)) return false;

    const Shuffle& sh = *layout->shuffle;
    const uint8_t pc1 = uint8_t(0x80 | 0x40 | (samples - range.Min));   // unlocked, as camcorders mark it
    const uint8_t pc3 = uint8_t(0xC0 | (layout->is525 ? 0x00 : 0x20));  // ML 1, STYPE 0 (SD)
    const uint8_t pc4 = uint8_t(0xC0 | smp << 3 | (is16 ? 0 : 1));      // emphasis off
    const uint8_t speed = layout->is525 ? 0x78 : 0x20;                  // normal forward play
    // Pack order in the audio blocks of a sequence: blocks 3-8 of even sequences and 0-5 of odd
    // ones hold 0x50 to 0x55; the three others hold no information.
    constexpr uint8_t kPackOrder[] = {0x50, 0x51, 0x52, 0x53, 0x54, 0x55};

    for (int half = 0; half < 2; ++half) {
        bool carries;      // this half holds audio (not a mono copy or an absent pair)
        int firstChannel;  // source channel of the half's first word
        if (is16) {
            carries = half == 0 || channels == 2;
            firstChannel = channels == 2 ? half : 0;
        } else {
            carries = 2 * half < channels;
            firstChannel = 2 * half;
        }
        uint8_t pc2;
        if (is16)
            pc2 = half == 0 ? 0x00 : (carries ? 0x01 : kAudioModeNone);
        else
            pc2 = uint8_t(0x30 | (carries ? 0x00 : kAudioModeNone));  // two channels per block, pair
        const uint8_t controlPc2 = carries ? 0xCF : uint8_t(0xC0 | kRecModeInvalid << 3 | 0x07);

        for (int hs = 0; hs < sh.half; ++hs) {
            const int s = half * sh.half + hs;
            const int firstPackBlock = (s & 1) == 0 ? 3 : 0;
            for (int a = 0; a < kAudioBlocks; ++a) {
                uint8_t* block = frame.data() + audioBlockOffset(s, a);
                uint8_t* pack = block + kPackOffset;
                const int slot = a - firstPackBlock;
                const uint8_t wanted = slot >= 0 && slot < 6 ? kPackOrder[slot] : kPackNoInfo;
                if (wanted == kPackSource) {
                    writePack(pack, kPackSource, pc1, pc2, pc3, pc4);
                } else if (wanted == kPackSourceControl) {
                    writePack(pack, kPackSourceControl, 0x3F, controlPc2, uint8_t(0x80 | speed), 0xFF);
                } else if (wanted == kPackNoInfo || pack[0] != wanted) {
                    // A recording date or time pack already in its place is the source's own: keep it.
                    std::fill_n(pack, 5, kPackNoInfo);
                }

                uint8_t* data = block + kDataOffset;
                const int r = sh.first[size_t(hs)][size_t(a)];
                if (is16) {
                    for (int k = 0, n = r; k < kWords16; ++k, n += sh.row) {
                        int16_t v =
                            n < samples ? pcm[size_t(n) * size_t(channels) + size_t(firstChannel)] : 0;
                        if (uint16_t(v) == kError16) v = int16_t(v + 1);
                        data[2 * k] = uint8_t(uint16_t(v) >> 8);
                        data[2 * k + 1] = uint8_t(v);
                    }
                } else {
                    for (int k = 0, n = r; k < kWords12; ++k, n += sh.row) {
                        uint16_t left = 0, right = 0;
                        if (carries && n < samples) {
                            const int16_t* src =
                                pcm.data() + size_t(n) * size_t(channels) + size_t(firstChannel);
                            left = uint16_t(CompressDifSample12(src[0])) & 0xFFF;
                            right = uint16_t(CompressDifSample12(src[1])) & 0xFFF;
                        }
                        uint8_t* g = data + 3 * k;
                        g[0] = uint8_t(left >> 4);
                        g[1] = uint8_t(right >> 4);
                        g[2] = uint8_t((left & 0x0F) << 4 | (right & 0x0F));
                    }
                }
            }
        }
    }
    return true;
}

DifAudioSequencer::DifAudioSequencer(bool is525, int32_t frequency) : is525_(is525), frequency_(frequency) {}

int32_t DifAudioSequencer::SamplesForFrame(bool is525, int32_t frequency, int64_t frameIndex) {
    const int64_t i = frameIndex < 0 ? 0 : frameIndex;
    if (!is525) {
        // 25 frames a second: a whole number of samples per frame.
        return smpIndex(frequency) < 0 ? 0 : frequency / 25;
    }
    switch (frequency) {
        case 48'000:  // 8008 samples every 5 frames
            return i % 5 == 0 ? 1600 : 1602;
        case 32'000: {  // 16 016 samples every 15 frames
            const int64_t p = i % 15;
            return p == 0 || p == 8 ? 1066 : 1068;
        }
        case 44'100: {  // 147 147 samples every 100 frames, spread evenly
            const int64_t p = i % 100;
            return int32_t((p + 1) * 147'147 / 100 - p * 147'147 / 100);
        }
        default:
            return 0;
    }
}

}  // namespace velinor
