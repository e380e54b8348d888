#include "media/dif_audio.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace velinor {
namespace {

namespace fs = std::filesystem;

constexpr size_t kFrame525 = 120'000;
constexpr size_t kFrame625 = 144'000;

size_t frameBytes(bool is525) {
    return is525 ? kFrame525 : kFrame625;
}

// Audio block a (0-8) of DIF sequence s: block 6 + 16a of the sequence.
size_t audioBlock(int s, int a) {
    return size_t(s) * 12'000 + size_t(6 + 16 * a) * 80;
}

// Calls `fn` with every AAUX pack of the frame whose ID is `id`.
void forEachPack(std::vector<uint8_t>& frame, uint8_t id, const std::function<void(uint8_t*)>& fn) {
    const int sequences = int(frame.size() / 12'000);
    for (int s = 0; s < sequences; ++s)
        for (int a = 0; a < 9; ++a)
            if (frame[audioBlock(s, a) + 3] == id) fn(&frame[audioBlock(s, a) + 3]);
}

// Interleaved PCM that the given word length carries exactly: any 16-bit value but the error
// code, or the expansion of any 12-bit code but the error code.
std::vector<int16_t> randomPcm(int samples, int channels, int bits, uint32_t seed) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> any16(-32767, 32767);
    std::uniform_int_distribution<int> any12(-2047, 2047);
    std::vector<int16_t> pcm(size_t(samples) * size_t(channels));
    for (auto& v : pcm) v = bits == 16 ? int16_t(any16(rng)) : ExpandDifSample12(int16_t(any12(rng)));
    return pcm;
}

struct FormatCase {
    bool is525;
    DifAudioFormat format;
};
const FormatCase kFormats[] = {
    {false, {48'000, 16, 2}}, {false, {44'100, 16, 2}}, {false, {32'000, 16, 2}}, {false, {48'000, 16, 1}},
    {false, {32'000, 12, 2}}, {false, {32'000, 12, 4}}, {true, {48'000, 16, 2}},  {true, {44'100, 16, 2}},
    {true, {32'000, 16, 2}},  {true, {48'000, 16, 1}},  {true, {32'000, 12, 2}},  {true, {32'000, 12, 4}},
};

std::string describe(const FormatCase& c) {
    return std::string(c.is525 ? "525 " : "625 ") + std::to_string(c.format.Frequency) + " Hz " +
           std::to_string(c.format.Bits) + " bits " + std::to_string(c.format.Channels) + " ch";
}

TEST(DifAudio, EncodeThenDecodeIsSampleIdentical) {
    for (const auto& c : kFormats) {
        const DifSampleRange range = DifAudioSampleRange(c.is525, c.format.Frequency);
        // The stream's own counts, and both ends of what the source pack can state.
        std::vector<int> counts = {range.Min, range.Max};
        DifAudioSequencer seq(c.is525, c.format.Frequency);
        for (int i = 0; i < 6; ++i) counts.push_back(seq.next());
        uint32_t seed = 1;
        for (const int samples : counts) {
            std::vector<uint8_t> frame(frameBytes(c.is525), 0);
            const auto pcm = randomPcm(samples, c.format.Channels, c.format.Bits, seed++);
            ASSERT_TRUE(EncodeDifAudio(frame, c.format, pcm, samples)) << describe(c) << ' ' << samples;
            std::vector<int16_t> out;
            const auto decoded = DecodeDifAudio(frame, out);
            ASSERT_TRUE(decoded) << describe(c) << ' ' << samples;
            EXPECT_EQ(decoded->Format, c.format) << describe(c);
            EXPECT_EQ(decoded->Samples, samples) << describe(c);
            EXPECT_EQ(decoded->ErrorSamples, 0) << describe(c);
            EXPECT_FALSE(decoded->Locked || decoded->Emphasis || decoded->InvalidRecording) << describe(c);
            EXPECT_TRUE(out == pcm) << describe(c) << ' ' << samples;
            const auto probed = ReadDifAudioFormat(frame);
            ASSERT_TRUE(probed) << describe(c);
            EXPECT_EQ(probed->Format, c.format);
            EXPECT_EQ(probed->Samples, samples);
        }
    }
}

TEST(DifAudio, SamplesLandWhereTheShuffleOfTheStandardPutsThem) {
    // Sample n of a channel: sequence (n/3 + 2(n%3)) mod H of its half, audio block
    // 3(n%3) + (n mod 9H)/3H, word n / 9H; H = 5 (525/60) or 6 (625/50).
    struct Case {
        bool is525;
        DifAudioFormat format;
        int channel;
        int sample;
        int sequence, block, word;
        std::vector<uint8_t> bytes;  // at the word: 16-bit big-endian, or the 12-bit group of three
    };
    const DifAudioFormat kPal16{48'000, 16, 2}, kNtsc16{48'000, 16, 2}, kPal12{32'000, 12, 4};
    const Case kCases[] = {
        {false, kPal16, 0, 0, 0, 0, 0, {0x12, 0x34}},
        {false, kPal16, 0, 1, 2, 3, 0, {0x12, 0x34}},
        {false, kPal16, 0, 2, 4, 6, 0, {0x12, 0x34}},
        {false, kPal16, 0, 18, 0, 1, 0, {0x12, 0x34}},
        {false, kPal16, 0, 54, 0, 0, 1, {0x12, 0x34}},
        {false, kPal16, 1, 0, 6, 0, 0, {0x12, 0x34}},
        {false, kPal16, 1, 1919, 7, 7, 35, {0x12, 0x34}},
        {true, kNtsc16, 0, 3, 1, 0, 0, {0x12, 0x34}},
        {true, kNtsc16, 1, 10, 5, 3, 0, {0x12, 0x34}},
        {true, kNtsc16, 0, 1601, 2, 7, 35, {0x12, 0x34}},
        {false, kPal12, 0, 1, 2, 3, 0, {0x12, 0x00, 0x30}},
        {false, kPal12, 1, 1, 2, 3, 0, {0x00, 0x12, 0x03}},
        {false, kPal12, 2, 0, 6, 0, 0, {0x12, 0x00, 0x30}},
        {false, kPal12, 3, 55, 8, 3, 1, {0x00, 0x12, 0x03}},
    };
    for (const auto& c : kCases) {
        const int samples = c.is525 ? 1602 : (c.format.Bits == 16 ? 1920 : 1280);
        std::vector<int16_t> pcm(size_t(samples) * size_t(c.format.Channels), 0);
        pcm[size_t(c.sample) * size_t(c.format.Channels) + size_t(c.channel)] =
            c.format.Bits == 16 ? 0x1234 : 0x123;
        std::vector<uint8_t> frame(frameBytes(c.is525), 0);
        ASSERT_TRUE(EncodeDifAudio(frame, c.format, pcm, samples));
        const size_t at = audioBlock(c.sequence, c.block) + 8 + c.bytes.size() * size_t(c.word);
        EXPECT_TRUE(std::equal(c.bytes.begin(), c.bytes.end(), &frame[at]))
            << "channel " << c.channel << " sample " << c.sample;
        int nonZero = 0;
        for (int s = 0; s < int(frame.size() / 12'000); ++s)
            for (int a = 0; a < 9; ++a)
                for (size_t i = 8; i < 80; ++i) nonZero += frame[audioBlock(s, a) + i] != 0;
        EXPECT_EQ(nonZero, 2) << "channel " << c.channel << " sample " << c.sample;
    }
}

TEST(DifAudio, SixteenBitErrorCodeIsNeverWrittenAsAudio) {
    // -32768 is 0x8000, the dropout code: written as -32767 so that it is not decoded as a dropout.
    std::vector<uint8_t> frame(kFrame625, 0);
    std::vector<int16_t> pcm(1920 * 2, INT16_MIN);
    ASSERT_TRUE(EncodeDifAudio(frame, {48'000, 16, 2}, pcm, 1920));
    std::vector<int16_t> out;
    const auto decoded = DecodeDifAudio(frame, out);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->ErrorSamples, 0);
    EXPECT_EQ(out, std::vector<int16_t>(1920 * 2, -32767));
}

TEST(DifAudio, DropoutsAreCountedAndConcealed) {
    struct Case {
        int bits;
        std::vector<uint8_t> errorWords;  // repeated over the 72 sample bytes of a damaged block
    };
    const Case kCases[] = {{16, {0x80, 0x00}}, {12, {0x80, 0x80, 0x00}}};
    for (const auto& c : kCases) {
        const DifAudioFormat format{32'000, c.bits, 2};
        const int samples = 1280;
        // A slow ramp on each channel, never zero: concealment by interpolation restores it,
        // since the words of one block are 54 samples apart.
        std::vector<int16_t> pcm(samples * 2);
        for (int n = 0; n < samples; ++n) {
            if (c.bits == 16) {
                pcm[2 * n] = int16_t(3 * n + 1000);
                pcm[2 * n + 1] = int16_t(-n - 1);
            } else {
                pcm[2 * n] = ExpandDifSample12(int16_t(n / 4 + 1));
                pcm[2 * n + 1] = ExpandDifSample12(int16_t(-n / 4 - 1));
            }
        }
        std::vector<uint8_t> frame(kFrame625, 0);
        ASSERT_TRUE(EncodeDifAudio(frame, format, pcm, samples));
        // Damage block 4 of sequence 1 (left, or the first pair) and block 7 of sequence 8 (right
        // at 16 bits; the absent second pair at 12 bits, which nobody reads).
        const std::pair<int, int> kDamaged[] = {{1, 4}, {8, 7}};
        for (const auto& [s, a] : kDamaged)
            for (size_t i = 0; i < 72; ++i)
                frame[audioBlock(s, a) + 8 + i] = c.errorWords[i % c.errorWords.size()];

        std::vector<int16_t> silenced;
        const auto s = DecodeDifAudio(frame, silenced, DropoutConcealment::Silence);
        ASSERT_TRUE(s) << c.bits;
        int zeroed = 0;
        for (size_t i = 0; i < pcm.size(); ++i) {
            if (silenced[i] != pcm[i]) {
                EXPECT_EQ(silenced[i], 0) << c.bits << " at " << i;
                ++zeroed;
            }
        }
        EXPECT_EQ(s->ErrorSamples, zeroed) << c.bits;
        EXPECT_GE(zeroed, c.bits == 16 ? 40 : 20)
            << c.bits;  // each damaged block that is read holds 20+ samples

        std::vector<int16_t> interpolated;
        const auto i = DecodeDifAudio(frame, interpolated, DropoutConcealment::Interpolate);
        ASSERT_TRUE(i);
        EXPECT_EQ(i->ErrorSamples, zeroed);
        if (c.bits == 16) {
            EXPECT_EQ(interpolated, pcm);
        } else {
            for (size_t k = 0; k < pcm.size(); ++k) EXPECT_NEAR(interpolated[k], pcm[k], 16) << k;
        }
    }
}

TEST(DifAudio, WholeFrameDropoutIsSilence) {
    for (const auto concealment : {DropoutConcealment::Silence, DropoutConcealment::Interpolate}) {
        std::vector<uint8_t> frame(kFrame525, 0);
        const auto pcm = randomPcm(1602, 2, 16, 7);
        ASSERT_TRUE(EncodeDifAudio(frame, {48'000, 16, 2}, pcm, 1602));
        for (int s = 0; s < 10; ++s)
            for (int a = 0; a < 9; ++a)
                for (size_t i = 0; i < 72; i += 2) {
                    frame[audioBlock(s, a) + 8 + i] = 0x80;
                    frame[audioBlock(s, a) + 9 + i] = 0x00;
                }
        std::vector<int16_t> out;
        const auto decoded = DecodeDifAudio(frame, out, concealment);
        ASSERT_TRUE(decoded);
        EXPECT_EQ(decoded->ErrorSamples, 1602 * 2);
        EXPECT_EQ(out, std::vector<int16_t>(1602 * 2, 0));
    }
}

TEST(DifAudio, FramesWithoutUsableAudioGiveNothing) {
    std::vector<uint8_t> good(kFrame625, 0);
    ASSERT_TRUE(EncodeDifAudio(good, {48'000, 16, 2}, randomPcm(1920, 2, 16, 3), 1920));
    struct Case {
        const char* what;
        std::function<void(std::vector<uint8_t>&)> damage;
    };
    const Case kCases[] = {
        {"not a frame length", [](auto& f) { f.pop_back(); }},
        {"empty buffer", [](auto& f) { f.clear(); }},
        {"no source pack", [](auto& f) { forEachPack(f, 0x50, [](uint8_t* p) { p[0] = 0xFF; }); }},
        {"quantisation 2",
         [](auto& f) { forEachPack(f, 0x50, [](uint8_t* p) { p[4] = (p[4] & 0xF8) | 2; }); }},
        {"frequency code 3",
         [](auto& f) { forEachPack(f, 0x50, [](uint8_t* p) { p[4] = (p[4] & 0xC7) | 3 << 3; }); }},
        {"more samples than the frame holds",
         [](auto& f) { forEachPack(f, 0x50, [](uint8_t* p) { p[1] |= 0x3F; }); }},
        {"12 bits at 48 kHz",
         [](auto& f) { forEachPack(f, 0x50, [](uint8_t* p) { p[4] = (p[4] & 0xC0) | 1; }); }},
    };
    for (const auto& c : kCases) {
        auto frame = good;
        c.damage(frame);
        std::vector<int16_t> out(5, 1);
        EXPECT_FALSE(DecodeDifAudio(frame, out)) << c.what;
        EXPECT_TRUE(out.empty()) << c.what;
        EXPECT_FALSE(ReadDifAudioFormat(frame)) << c.what;
    }
}

TEST(DifAudio, PacksDecideChannelsAndFlags) {
    struct Case {
        const char* what;
        DifAudioFormat encoded;
        std::function<void(std::vector<uint8_t>&)> edit;  // applied to the packs after encoding
        int channels;
        bool locked, emphasis, invalid;
    };
    auto halfPacks = [](std::vector<uint8_t>& f, int half, uint8_t id,
                        const std::function<void(uint8_t*)>& fn) {
        for (int s = half * 6; s < half * 6 + 6; ++s)
            for (int a = 0; a < 9; ++a)
                if (f[audioBlock(s, a) + 3] == id) fn(&f[audioBlock(s, a) + 3]);
    };
    const Case kCases[] = {
        {"stereo as written", {48'000, 16, 2}, [](auto&) {}, 2, false, false, false},
        {"first half without packs (a dropout)",
         {48'000, 16, 2},
         [&](auto& f) { halfPacks(f, 0, 0x50, [](uint8_t* p) { p[0] = 0xFF; }); },
         2,
         false,
         false,
         false},
        {"first pair without packs",
         {32'000, 12, 4},
         [&](auto& f) { halfPacks(f, 0, 0x50, [](uint8_t* p) { p[0] = 0xFF; }); },
         4,
         false,
         false,
         false},
        {"second half without packs",
         {48'000, 16, 2},
         [&](auto& f) { halfPacks(f, 1, 0x50, [](uint8_t* p) { p[0] = 0xFF; }); },
         2,
         false,
         false,
         false},
        {"second half says no audio",
         {48'000, 16, 2},
         [&](auto& f) { halfPacks(f, 1, 0x50, [](uint8_t* p) { p[2] |= 0x0F; }); },
         1,
         false,
         false,
         false},
        {"two channels per block at 16 bits",
         {48'000, 16, 2},
         [&](auto& f) { halfPacks(f, 0, 0x50, [](uint8_t* p) { p[2] |= 0x20; }); },
         1,
         false,
         false,
         false},
        {"locked, emphasis on",
         {48'000, 16, 2},
         [](auto& f) {
             forEachPack(f, 0x50, [](uint8_t* p) {
                 p[1] &= 0x7F;
                 p[4] &= 0x7F;
             });
         },
         2,
         true,
         true,
         false},
        {"invalid recording",
         {48'000, 16, 2},
         [&](auto& f) { halfPacks(f, 0, 0x51, [](uint8_t* p) { p[2] |= 0x38; }); },
         2,
         false,
         false,
         true},
        {"second pair invalid",
         {32'000, 12, 4},
         [&](auto& f) { halfPacks(f, 1, 0x51, [](uint8_t* p) { p[2] |= 0x38; }); },
         2,
         false,
         false,
         false},
        {"second pair at another frequency",
         {32'000, 12, 4},
         [&](auto& f) { halfPacks(f, 1, 0x50, [](uint8_t* p) { p[4] &= 0xC7; }); },
         2,
         false,
         false,
         false},
        {"second pair without packs",
         {32'000, 12, 4},
         [&](auto& f) { halfPacks(f, 1, 0x50, [](uint8_t* p) { p[0] = 0xFF; }); },
         2,
         false,
         false,
         false},
    };
    for (const auto& c : kCases) {
        const int samples = c.encoded.Frequency / 25;
        const auto pcm = randomPcm(samples, c.encoded.Channels, c.encoded.Bits, 11);
        std::vector<uint8_t> frame(kFrame625, 0);
        ASSERT_TRUE(EncodeDifAudio(frame, c.encoded, pcm, samples)) << c.what;
        c.edit(frame);
        std::vector<int16_t> out;
        const auto decoded = DecodeDifAudio(frame, out);
        ASSERT_TRUE(decoded) << c.what;
        EXPECT_EQ(decoded->Format.Channels, c.channels) << c.what;
        EXPECT_EQ(decoded->Locked, c.locked) << c.what;
        EXPECT_EQ(decoded->Emphasis, c.emphasis) << c.what;
        EXPECT_EQ(decoded->InvalidRecording, c.invalid) << c.what;
        // The channels kept are the first ones of the source, sample for sample.
        ASSERT_EQ(out.size(), size_t(samples) * size_t(c.channels)) << c.what;
        bool same = true;
        for (int n = 0; n < samples; ++n)
            for (int ch = 0; ch < c.channels; ++ch)
                same = same && out[size_t(n * c.channels + ch)] == pcm[size_t(n * c.encoded.Channels + ch)];
        EXPECT_TRUE(same) << c.what;
    }
}

TEST(DifAudio, EncoderRefusesWhatDvCannotCarry) {
    struct Case {
        const char* what;
        size_t frameLength;
        DifAudioFormat format;
        int samples;
        size_t pcmSamples;  // per channel
    };
    const Case kCases[] = {
        {"not a frame length", 143'999, {48'000, 16, 2}, 1920, 1920},
        {"12 bits at 48 kHz", kFrame625, {48'000, 12, 2}, 1920, 1920},
        {"four 16-bit channels", kFrame625, {48'000, 16, 4}, 1920, 1920},
        {"12-bit mono", kFrame625, {32'000, 12, 1}, 1280, 1280},
        {"unknown frequency", kFrame625, {22'050, 16, 2}, 882, 882},
        {"unknown word length", kFrame625, {48'000, 24, 2}, 1920, 1920},
        {"too few samples", kFrame625, {48'000, 16, 2}, 1895, 1895},
        {"too many samples", kFrame525, {48'000, 16, 2}, 1621, 1621},
        {"too many 12-bit samples", kFrame525, {32'000, 12, 2}, 1081, 1081},
        {"PCM shorter than the count", kFrame625, {48'000, 16, 2}, 1920, 1919},
    };
    for (const auto& c : kCases) {
        std::vector<uint8_t> frame(c.frameLength, 0x5A);
        const std::vector<int16_t> pcm(c.pcmSamples * size_t(std::max(c.format.Channels, 1)), 100);
        EXPECT_FALSE(EncodeDifAudio(frame, c.format, pcm, c.samples)) << c.what;
        EXPECT_TRUE(std::all_of(frame.begin(), frame.end(), [](uint8_t b) { return b == 0x5A; })) << c.what;
    }
}

TEST(DifAudio, EncoderKeepsRecordingDatePacksAndClearsStalePacks) {
    std::vector<uint8_t> frame(kFrame625, 0);
    const uint8_t kDate[] = {0x52, 0xFF, 0xC1, 0x01, 0x07};  // 1 January 2007
    const uint8_t kTime[] = {0x53, 0xFF, 0x80, 0x80, 0xC0};
    for (int s = 0; s < 12; ++s) {
        const int first = s % 2 == 0 ? 3 : 0;  // where a camcorder puts 0x50
        std::copy(std::begin(kDate), std::end(kDate), &frame[audioBlock(s, first + 2) + 3]);
        std::copy(std::begin(kTime), std::end(kTime), &frame[audioBlock(s, first + 3) + 3]);
        // A source pack of another format, in a place where our writer puts none.
        const uint8_t kStale[] = {0x50, 0xCF, 0x30, 0xE0, 0xD1};
        std::copy(std::begin(kStale), std::end(kStale), &frame[audioBlock(s, first == 3 ? 0 : 8) + 3]);
    }
    ASSERT_TRUE(EncodeDifAudio(frame, {48'000, 16, 2}, randomPcm(1920, 2, 16, 9), 1920));
    for (int s = 0; s < 12; ++s) {
        const int first = s % 2 == 0 ? 3 : 0;
        EXPECT_TRUE(std::equal(std::begin(kDate), std::end(kDate), &frame[audioBlock(s, first + 2) + 3]))
            << s;
        EXPECT_TRUE(std::equal(std::begin(kTime), std::end(kTime), &frame[audioBlock(s, first + 3) + 3]))
            << s;
        EXPECT_EQ(frame[audioBlock(s, first) + 3], 0x50) << s;
        EXPECT_EQ(frame[audioBlock(s, first + 1) + 3], 0x51) << s;
        int sourcePacks = 0;
        for (int a = 0; a < 9; ++a) sourcePacks += frame[audioBlock(s, a) + 3] == 0x50;
        EXPECT_EQ(sourcePacks, 1) << s;
    }
    const auto format = ReadDifAudioFormat(frame);
    ASSERT_TRUE(format);
    EXPECT_EQ(format->Format, (DifAudioFormat{48'000, 16, 2}));
}

TEST(DifAudio, TwelveBitCompanding) {
    // Every code but the error code survives expansion then compression, and the expansion rises.
    int16_t previous = INT16_MIN;
    for (int code = -2047; code <= 2047; ++code) {
        const int16_t v = ExpandDifSample12(int16_t(code));
        EXPECT_GT(v, previous) << code;
        EXPECT_EQ(CompressDifSample12(v), code) << code;
        previous = v;
    }
    struct Case {
        int16_t code;
        int16_t value;
    };
    const Case kKnown[] = {{0, 0},   {511, 511},   {512, 512},   {767, 1022},  {768, 1024},    {2047, 32704},
                           {-1, -1}, {-512, -512}, {-513, -513}, {-514, -515}, {-2047, -32641}};
    for (const auto& c : kKnown) EXPECT_EQ(ExpandDifSample12(c.code), c.value) << c.code;
    // Compression picks the nearest code, never the error code -2048.
    struct Near {
        int16_t value;
        int16_t code;
    };
    const Near kNear[] = {{32767, 2047},   {-32768, -2047}, {1023, 768},  {1020, 766},
                          {-32700, -2047}, {16383, 1792},   {16353, 1791}};
    for (const auto& c : kNear) EXPECT_EQ(CompressDifSample12(c.value), c.code) << c.value;
    for (int v = -32768; v <= 32767; v += 7) {
        const int16_t code = CompressDifSample12(int16_t(v));
        const int back = ExpandDifSample12(code);
        const int up = code < 2047 ? ExpandDifSample12(int16_t(code + 1)) : back;
        const int down = code > -2047 ? ExpandDifSample12(int16_t(code - 1)) : back;
        EXPECT_LE(std::abs(back - v), std::abs(up - v)) << v;
        EXPECT_LE(std::abs(back - v), std::abs(down - v)) << v;
    }
}

TEST(DifAudioSequencer, CountsKeepToTheVideoClock) {
    struct Case {
        bool is525;
        int32_t frequency;
        std::vector<int32_t> firstCounts;
        int cycle;           // frames after which the audio is back in phase with the video
        int64_t cycleTotal;  // samples in one cycle
    };
    const Case kCases[] = {
        {true, 48'000, {1600, 1602, 1602, 1602, 1602, 1600}, 5, 8'008},
        {true, 32'000, {1066, 1068, 1068}, 15, 16'016},
        {true, 44'100, {1471, 1471, 1472}, 100, 147'147},
        {false, 48'000, {1920, 1920}, 1, 1'920},
        {false, 44'100, {1764}, 1, 1'764},
        {false, 32'000, {1280}, 1, 1'280},
    };
    for (const auto& c : kCases) {
        DifAudioSequencer seq(c.is525, c.frequency);
        const DifSampleRange range = DifAudioSampleRange(c.is525, c.frequency);
        const double perFrame = c.is525 ? c.frequency * 1001.0 / 30'000.0 : c.frequency / 25.0;
        int64_t total = 0;
        for (int frame = 0; frame < 3000; ++frame) {
            const int32_t n = seq.next();
            if (size_t(frame) < c.firstCounts.size()) {
                EXPECT_EQ(n, c.firstCounts[size_t(frame)]) << c.frequency;
            }
            EXPECT_GE(n, range.Min) << c.frequency;
            EXPECT_LE(n, range.Max) << c.frequency;
            total += n;
            // Never more than two samples away from the video's running time.
            EXPECT_LT(std::abs(double(total) - perFrame * (frame + 1)), 2.0)
                << c.frequency << " frame " << frame;
            if ((frame + 1) % c.cycle == 0) {
                EXPECT_EQ(total, c.cycleTotal * ((frame + 1) / c.cycle)) << c.frequency;
            }
        }
        EXPECT_EQ(seq.frameIndex(), 3000);
        seq.reset();
        EXPECT_EQ(seq.next(), c.firstCounts[0]);
    }
    EXPECT_EQ(DifAudioSequencer::SamplesForFrame(true, 22'050, 0), 0);
    EXPECT_EQ(DifAudioSequencer::SamplesForFrame(false, 22'050, 0), 0);
}

// ---- Agreement with FFmpeg's DV muxer and demuxer, when the ffmpeg program is present. ----

bool haveFfmpeg() {
    static const bool present = std::system("ffmpeg -version >/dev/null 2>&1") == 0;
    return present;
}

std::vector<uint8_t> runAndCapture(const std::string& command) {
    std::vector<uint8_t> out;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return out;
    uint8_t buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) out.insert(out.end(), buf, buf + n);
    const int status = pclose(pipe);
    EXPECT_EQ(status, 0) << command;
    return out;
}

std::vector<uint8_t> readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<int16_t> asSamples(const std::vector<uint8_t>& s16le) {
    std::vector<int16_t> out(s16le.size() / 2);
    for (size_t i = 0; i < out.size(); ++i) out[i] = int16_t(s16le[2 * i] | s16le[2 * i + 1] << 8);
    return out;
}

class DifAudioFfmpeg : public ::testing::Test {
protected:
    void SetUp() override {
        if (!haveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
        dir_ = fs::temp_directory_path() / ("velinor-difaudio-" + std::to_string(getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ec;
        if (!dir_.empty()) fs::remove_all(dir_, ec);
    }
    // Raw DV from FFmpeg's encoder: two seconds of test picture, with a sine when `rate` is not 0.
    fs::path makeDv(const std::string& name, bool is525, int rate) {
        const fs::path path = dir_ / name;
        std::string cmd = "ffmpeg -v error -y -f lavfi -i testsrc=size=" +
                          std::string(is525 ? "720x480:rate=30000/1001" : "720x576:rate=25");
        if (rate) cmd += " -f lavfi -i sine=frequency=1000:sample_rate=" + std::to_string(rate);
        cmd += " -t 2";
        if (is525) cmd += " -pix_fmt yuv411p";
        cmd += " -c:v dvvideo";
        cmd += rate ? " -ar " + std::to_string(rate) + " -ac 2" : std::string(" -an");
        cmd += " -f dv '" + path.string() + "'";
        EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
        return path;
    }
    std::vector<int16_t> ffmpegDecode(const fs::path& path, int stream = 0) {
        return asSamples(runAndCapture("ffmpeg -v error -i '" + path.string() +
                                       "' -map 0:a:" + std::to_string(stream) + " -f s16le -"));
    }
    fs::path dir_;
};

TEST_F(DifAudioFfmpeg, OurDecodingOfFfmpegDvEqualsFfmpegs) {
    struct Case {
        const char* name;
        bool is525;
        int rate;
    };
    const Case kCases[] = {{"pal48.dv", false, 48'000},
                           {"pal44.dv", false, 44'100},
                           {"pal32.dv", false, 32'000},
                           {"ntsc48.dv", true, 48'000}};
    for (const auto& c : kCases) {
        const fs::path path = makeDv(c.name, c.is525, c.rate);
        const auto bytes = readFile(path);
        const size_t frameLength = frameBytes(c.is525);
        ASSERT_EQ(bytes.size() % frameLength, 0u) << c.name;
        ASSERT_GT(bytes.size(), 0u) << c.name;
        std::vector<int16_t> ours, pcm;
        for (size_t at = 0; at < bytes.size(); at += frameLength) {
            const auto decoded = DecodeDifAudio(std::span(bytes).subspan(at, frameLength), pcm);
            ASSERT_TRUE(decoded) << c.name << " frame " << at / frameLength;
            EXPECT_EQ(decoded->Format, (DifAudioFormat{c.rate, 16, 2})) << c.name;
            EXPECT_EQ(decoded->Samples,
                      DifAudioSequencer::SamplesForFrame(c.is525, c.rate, int64_t(at / frameLength)))
                << c.name << " frame " << at / frameLength;
            ours.insert(ours.end(), pcm.begin(), pcm.end());
        }
        const auto theirs = ffmpegDecode(path);
        EXPECT_EQ(ours.size(), theirs.size()) << c.name;
        EXPECT_TRUE(ours == theirs) << c.name;
        // The sine is there: not silence.
        EXPECT_GT(*std::max_element(ours.begin(), ours.end()), 1000) << c.name;
    }
}

TEST_F(DifAudioFfmpeg, FfmpegDecodesWhatWeEncode) {
    struct Case {
        const char* name;
        bool is525;
        DifAudioFormat format;
    };
    const Case kCases[] = {
        {"y-pal48.dv", false, {48'000, 16, 2}},       {"y-pal32.dv", false, {32'000, 16, 2}},
        {"y-ntsc48.dv", true, {48'000, 16, 2}},       {"y-pal48-mono.dv", false, {48'000, 16, 1}},
        {"y-pal32-12.dv", false, {32'000, 12, 2}},    {"y-ntsc32-12.dv", true, {32'000, 12, 2}},
        {"y-pal32-12-4ch.dv", false, {32'000, 12, 4}}};
    for (const auto& c : kCases) {
        const fs::path video = makeDv(std::string("v-") + c.name, c.is525, 0);
        auto bytes = readFile(video);
        const size_t frameLength = frameBytes(c.is525);
        ASSERT_GT(bytes.size(), 0u);
        ASSERT_EQ(bytes.size() % frameLength, 0u);

        // Channel k: a sine of 440 + 330k Hz. At 12 bits, the values the words hold. FFmpeg gives
        // one stereo stream per pair, and a mono channel on both sides.
        const int channels = c.format.Channels;
        const int streams = channels == 4 ? 2 : 1;
        DifAudioSequencer seq(c.is525, c.format.Frequency);
        std::vector<std::vector<int16_t>> expected(static_cast<size_t>(streams));
        int64_t t = 0;
        for (size_t at = 0; at < bytes.size(); at += frameLength) {
            const int samples = seq.next();
            std::vector<int16_t> pcm(size_t(samples) * size_t(channels));
            for (int n = 0; n < samples; ++n, ++t) {
                const double time = double(t) / c.format.Frequency;
                for (int k = 0; k < channels; ++k) {
                    int16_t v =
                        int16_t(std::lround(20000.0 / (k + 1) * std::sin(2 * M_PI * (440 + 330 * k) * time)));
                    if (c.format.Bits == 12) v = ExpandDifSample12(CompressDifSample12(v));
                    pcm[size_t(n * channels + k)] = v;
                }
                for (int st = 0; st < streams; ++st) {
                    const size_t left = size_t(n * channels + (channels == 1 ? 0 : 2 * st));
                    const size_t right = channels == 1 ? left : left + 1;
                    expected[size_t(st)].push_back(pcm[left]);
                    expected[size_t(st)].push_back(pcm[right]);
                }
            }
            const auto frame = std::span(bytes).subspan(at, frameLength);
            ASSERT_TRUE(EncodeDifAudio(frame, c.format, pcm, samples)) << c.name;
            std::vector<int16_t> back;
            const auto decoded = DecodeDifAudio(frame, back);
            ASSERT_TRUE(decoded) << c.name;
            EXPECT_EQ(decoded->Format, c.format) << c.name;
            EXPECT_TRUE(back == pcm) << c.name << " frame " << at / frameLength;
        }
        const fs::path out = dir_ / c.name;
        std::ofstream(out, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        for (int st = 0; st < streams; ++st) {
            const auto theirs = ffmpegDecode(out, st);
            EXPECT_EQ(theirs.size(), expected[size_t(st)].size()) << c.name << " stream " << st;
            EXPECT_TRUE(theirs == expected[size_t(st)]) << c.name << " stream " << st;
        }
    }
}

}  // namespace
}  // namespace velinor
