#include "media/dvcodes.h"

#include <gtest/gtest.h>

#include <vector>

namespace velinor {
namespace {

// Hand-made frames: every byte zero except the packs a case puts in. Offsets are those of a DIF
// sequence: subcode pack j at block 1 + j/6, byte 6 + 8 (j%6); VAUX pack k at block 3 + k/15,
// byte 3 + 5 (k%15); audio block a at block 16 a + 6.
struct Frame {
    explicit Frame(size_t bytes = kDvFrameBytes625) : data(bytes, 0) {}
    int n() const { return DifSequenceCount(data.size()); }

    uint8_t* subcode(int s, int j) { return seq(s) + (1 + j / 6) * kDifBlockBytes + 6 + 8 * (j % 6); }
    uint8_t* vaux(int s, int k) { return seq(s) + (3 + k / 15) * kDifBlockBytes + 3 + 5 * (k % 15); }
    uint8_t* audio(int s, int a) { return seq(s) + (16 * a + 6) * kDifBlockBytes; }
    uint8_t* seq(int s) { return data.data() + s * kDifSequenceBytes; }

    static void put(uint8_t* at, DvPack pack) { std::copy(pack.begin(), pack.end(), at); }
    DvPack packAt(const uint8_t* at) const { return {at[0], at[1], at[2], at[3], at[4]}; }

    void emptySubcode() {
        for (int s = 0; s < n(); ++s)
            for (int j = 0; j < 12; ++j) put(subcode(s, j), {0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
    }

    std::vector<uint8_t> data;
};

TEST(DvCodes, TimecodeMasksIgnoreFlagBits) {
    struct Case {
        DvPack pack;
        Timecode expected;
    };
    const Case kCases[] = {
        {{0x13, 0x04, 0x03, 0x02, 0x01}, {1, 2, 3, 4}},
        {{0x13, 0xC4, 0x83, 0x82, 0xC1}, {1, 2, 3, 4}},  // drop-frame, colour-frame and binary-group flags
        {{0x13, 0x24, 0x59, 0x59, 0x23}, {23, 59, 59, 24}},
        {{0x13, 0xFF, 0xFF, 0xFF, 0xFF}, {45, 85, 85, 45}},  // found does not mean sensible
    };
    for (const auto& c : kCases) {
        Frame f;
        Frame::put(f.vaux(0, 7), c.pack);
        const auto tc = ReadTimecode(f.data, f.n());
        ASSERT_TRUE(tc);
        EXPECT_EQ(*tc, c.expected) << int(c.pack[1]);
    }
    Frame none;
    EXPECT_FALSE(ReadTimecode(none.data, none.n()));
}

TEST(DvCodes, FindPackVisitsSequencesThenSubcodeThenVaux) {
    struct Case {
        const char* name;
        int firstSeq, firstSlot;  // slot < 12: subcode pack, else VAUX pack slot - 12
        int secondSeq, secondSlot;
    };
    // The first pack in visiting order carries PC1 = 1, the second PC1 = 2.
    const Case kCases[] = {
        {"subcode before VAUX", 0, 11, 0, 12},
        {"block 1 before block 2", 0, 0, 0, 6},
        {"earlier sequence first", 0, 12 + 44, 1, 0},
        {"last sequence is visited", 11, 12 + 44, 11, 12 + 44},
    };
    for (const auto& c : kCases) {
        Frame f;
        auto at = [&](int s, int slot) { return slot < 12 ? f.subcode(s, slot) : f.vaux(s, slot - 12); };
        Frame::put(at(c.secondSeq, c.secondSlot), {0x61, 2, 0, 0, 0});
        Frame::put(at(c.firstSeq, c.firstSlot), {0x61, 1, 0, 0, 0});
        const auto pack = FindPack(f.data, 0x61, f.n());
        ASSERT_TRUE(pack) << c.name;
        EXPECT_EQ((*pack)[1], 1) << c.name;
    }
    // A count below the frame's own stops the search there.
    Frame f;
    Frame::put(f.vaux(5, 0), {0x61, 1, 0, 0, 0});
    EXPECT_FALSE(FindPack(f.data, 0x61, 5));
    EXPECT_TRUE(FindPack(f.data, 0x61, 6));
    // A count beyond the buffer never reads past it.
    Frame small(kDvFrameBytes525);
    EXPECT_FALSE(FindPack(small.data, 0x61, 12));
    EXPECT_FALSE(ReadDatecode(std::span<const uint8_t>(small.data).first(100), 12));
}

TEST(DvCodes, DatecodeMasksAndYears) {
    struct Case {
        uint8_t yearByte;
        int32_t year;
    };
    // Consumer DV began in 1995: 95-99 are the 1990s, 00-94 this century; a damaged tens nibble
    // (0xA5 = 105) stays in the 1900 + value range.
    const Case kCases[] = {{0x00, 2000}, {0x07, 2007}, {0x24, 2024}, {0x25, 2025}, {0x26, 2026},
                           {0x94, 2094}, {0x95, 1995}, {0x99, 1999}, {0xA5, 2005}, {0xFF, 2065}};
    for (const auto& c : kCases) {
        Frame f;
        // Time zone and frame bits in PC1, flag bits above the masks in PC2-PC4.
        Frame::put(f.vaux(0, 1), {0x62, 0xE4, 0xC9, 0xE7, c.yearByte});
        Frame::put(f.vaux(0, 2), {0x63, 0xFF, 0x98, 0xB7, 0xD6});
        const auto d = ReadDatecode(f.data, f.n());
        ASSERT_TRUE(d);
        EXPECT_EQ(d->Year, c.year) << std::hex << int(c.yearByte);
        EXPECT_EQ(d->Month, 7);
        EXPECT_EQ(d->Day, 9);
        EXPECT_EQ(d->Hour, 16);
        EXPECT_EQ(d->Minute, 37);
        EXPECT_EQ(d->Second, 18);
    }
}

TEST(DvCodes, DatecodeFixedPositionFallback) {
    struct Case {
        const char* name;
        bool timePackElsewhere;
        uint8_t byte458, byte463;
        bool found;
    };
    const Case kCases[] = {
        {"blank IDs, no packs", false, 0x00, 0x00, true},
        {"blank date ID, time found", true, 0x00, 0x00, true},
        {"date ID missing, time found", true, 0x11, 0x00, false},
        {"time ID wrong", false, 0x00, 0x64, false},
        {"nothing at all", false, 0x55, 0x55, false},
    };
    for (const auto& c : kCases) {
        Frame f;
        // VAUX block 5, packs 11 and 12 of sequence 0: frame bytes 458-462 and 463-467.
        ASSERT_EQ(f.vaux(0, 41) - f.data.data(), 458);
        Frame::put(f.vaux(0, 41), {c.byte458, 0x00, 0x17, 0x05, 0x03});
        Frame::put(f.vaux(0, 42), {c.byte463, 0x00, 0x45, 0x30, 0x21});
        // A time pack elsewhere (in a later sequence) is ignored: both come from the fixed slots.
        if (c.timePackElsewhere) Frame::put(f.subcode(3, 1), {0x63, 0, 0x01, 0x01, 0x01});
        const auto d = ReadDatecode(f.data, f.n());
        ASSERT_EQ(d.has_value(), c.found) << c.name;
        if (d) {
            EXPECT_EQ(*d, (DatecodeFields{2003, 5, 17, 21, 30, 45})) << c.name;
        }
    }
}

TEST(DvCodes, ImpossibleDatesAreFoundButNotMade) {
    const DvPack kDates[] = {{0x62, 0, 0x01, 0x13, 0x07}, {0x62, 0, 0x00, 0x01, 0x07}};
    for (const auto& date : kDates) {
        Frame f;
        Frame::put(f.subcode(0, 0), date);
        Frame::put(f.subcode(0, 1), {0x63, 0, 0, 0, 0});
        const auto d = ReadDatecode(f.data, f.n());
        ASSERT_TRUE(d);
        EXPECT_FALSE(MakeDatecode(*d)) << int(d->Month) << '/' << int(d->Day);
    }
}

TEST(DvCodes, WriteDatecodeFillsEmptySubcodeAndRoundTrips) {
    const DatecodeFields kDates[] = {
        {2007, 3, 4, 10, 11, 12}, {1999, 12, 31, 23, 59, 59}, {2026, 5, 17, 14, 3, 9}, {2094, 1, 1, 0, 0, 0}};
    for (const auto& date : kDates) {
        Frame f;
        f.emptySubcode();
        Frame::put(f.vaux(2, 20), {0x62, 0xAB, 0xC0, 0xE0, 0x00});  // VAUX packs are rewritten in place
        Frame::put(f.vaux(2, 21), {0x63, 0xCD, 0x80, 0x80, 0xC0});
        Frame::put(f.vaux(2, 22), {0xFF, 0xFF, 0xFF, 0xFF, 0xFF});  // ...but never created
        WriteDatecode(f.data, f.n(), date);
        for (int s = 0; s < f.n(); ++s)
            for (int j = 0; j < 12; ++j) {
                const uint8_t* pack = f.subcode(s, j);
                ASSERT_EQ(pack[0], j % 2 == 0 ? 0x62 : 0x63) << s << ' ' << j;
                ASSERT_EQ(pack[1], 0xFF) << "time zone or frames byte kept";
            }
        EXPECT_EQ(f.vaux(2, 20)[1], 0xAB);
        EXPECT_EQ(f.vaux(2, 20)[2] & 0xC0, 0xC0) << "bits above the day field kept";
        EXPECT_EQ(f.vaux(2, 21)[4] & 0xC0, 0xC0) << "bits above the hour field kept";
        EXPECT_EQ(f.packAt(f.vaux(2, 22)), (DvPack{0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
        EXPECT_EQ(f.subcode(0, 0)[4], ((date.Year / 10) % 10) << 4 | date.Year % 10);
        const auto back = ReadDatecode(f.data, f.n());
        ASSERT_TRUE(back);
        EXPECT_EQ(*back, date) << date.Year;

        // The rewritten VAUX packs alone read back as the same date.
        Frame vauxOnly;
        std::copy(f.vaux(2, 20), f.vaux(2, 20) + 10, vauxOnly.vaux(0, 0));
        EXPECT_EQ(ReadDatecode(vauxOnly.data, vauxOnly.n()), date);
    }
}

TEST(DvCodes, WriteDatecodePairsEmptySlotsAfterExistingPacks) {
    Frame f;
    f.emptySubcode();
    // Slot 0 a time pack, slot 1 a timecode: the first empty slot after a time gets a date.
    Frame::put(f.subcode(0, 0), {0x63, 0, 0, 0, 0});
    Frame::put(f.subcode(0, 1), {0x13, 0, 0, 0, 0});
    Frame::put(f.subcode(0, 3), {0x62, 0, 0, 0, 0});
    WriteDatecode(f.data, f.n(), {2010, 6, 15, 8, 30, 0});
    const uint8_t kIds[12] = {0x63, 0x13, 0x62, 0x62, 0x63, 0x62, 0x63, 0x62, 0x63, 0x62, 0x63, 0x62};
    for (int j = 0; j < 12; ++j) EXPECT_EQ(f.subcode(0, j)[0], kIds[j]) << j;
    // Each sequence starts over with a date.
    EXPECT_EQ(f.subcode(1, 0)[0], 0x62);
}

TEST(DvCodes, WriteDatecodeKeepsTensThatDoNotFit) {
    struct Case {
        DatecodeFields fields;
        DvPack date, time;  // after writing over {id, 0, 0x11, 0x11, 0x11}
    };
    const Case kCases[] = {
        {{2007, 3, 4, 10, 11, 12}, {0x62, 0, 0x04, 0x03, 0x07}, {0x63, 0, 0x12, 0x11, 0x10}},
        // Day 45 and month 25 keep their tens, hour 47 and second 85 likewise; units always change.
        {{2007, 25, 45, 47, 11, 85}, {0x62, 0, 0x15, 0x15, 0x07}, {0x63, 0, 0x15, 0x11, 0x17}},
    };
    for (const auto& c : kCases) {
        Frame f;
        Frame::put(f.vaux(0, 0), {0x62, 0, 0x11, 0x11, 0x11});
        Frame::put(f.vaux(0, 1), {0x63, 0, 0x11, 0x11, 0x11});
        WriteDatecode(f.data, f.n(), c.fields);
        EXPECT_EQ(f.packAt(f.vaux(0, 0)), c.date) << int(c.fields.Day);
        EXPECT_EQ(f.packAt(f.vaux(0, 1)), c.time) << int(c.fields.Day);
    }
}

TEST(DvCodes, WriteDisplayModeAndWideFlag) {
    struct Case {
        uint8_t headerByte12;
        bool wide;
        uint8_t display;
    };
    const Case kCases[] = {
        {0xFF, true, 2}, {0xF8, true, 7}, {0x01, true, 2}, {0xFF, false, 0}, {0xF8, false, 0}};
    for (const auto& c : kCases) {
        Frame f(kDvFrameBytes525);
        for (int s = 0; s < f.n(); ++s) {
            f.seq(s)[12] = c.headerByte12;
            Frame::put(f.subcode(s, 4), {0x61, 0x03, 0xFD, 0xFC, 0xFF});
            Frame::put(f.vaux(s, 1), {0x61, 0x03, 0xC8, 0xFC, 0xFF});
        }
        WriteDisplayMode(f.data, f.n(), c.wide);
        for (int s = 0; s < f.n(); ++s) {
            EXPECT_EQ(f.subcode(s, 4)[2], 0xF8 | c.display);
            EXPECT_EQ(f.vaux(s, 1)[2], 0xC8 | c.display);
            EXPECT_EQ(f.vaux(s, 1)[3], 0xFC);
        }
        EXPECT_EQ(ReadWideFlag(f.data, f.n()), c.wide);
    }
    const struct {
        uint8_t pc2;
        bool wide;
    } kFlags[] = {{0x00, false}, {0x01, false}, {0x02, true}, {0x07, true}, {0xFA, true}, {0xFC, false}};
    for (const auto& c : kFlags) {
        Frame f;
        Frame::put(f.vaux(0, 1), {0x61, 0, c.pc2, 0, 0});
        EXPECT_EQ(ReadWideFlag(f.data, f.n()), c.wide) << int(c.pc2);
    }
    Frame none;
    EXPECT_FALSE(ReadWideFlag(none.data, none.n()));
}

TEST(DvCodes, AudioSourceTable) {
    struct Case {
        uint8_t pc2, pc4;
        AudioInfo info;  // frequency, channels, bits
    };
    const Case kCases[] = {
        {0x00, 0x00, {48'000, 2, 16}}, {0x00, 0x48, {44'100, 2, 16}}, {0x00, 0x51, {32'000, 2, 12}},
        {0x20, 0x00, {48'000, 1, 16}}, {0x10, 0x00, {48'000, 4, 16}}, {0x30, 0x00, {48'000, 2, 16}},
        {0x01, 0x00, {48'000, 0, 16}}, {0x0F, 0x00, {48'000, 0, 16}}, {0x00, 0x1A, {0, 2, 0}},
        {0xC0, 0xC7, {48'000, 2, 0}},  // bits 6-7 of PC2 and PC4 are other fields
    };
    for (const auto& c : kCases) {
        Frame f;
        // The pack lives in a later audio block of a later sequence; other IDs come first.
        f.audio(0, 0)[3] = 0x51;
        uint8_t* block = f.audio(1, 4);
        Frame::put(block + 3, {0x50, 0xD0, c.pc2, 0xC0, c.pc4});
        block[79] = 0x5A;
        const auto info = ReadAudioInfo(f.data, f.n());
        ASSERT_TRUE(info);
        EXPECT_EQ(*info, c.info) << std::hex << int(c.pc2) << ' ' << int(c.pc4);
        const auto copied = FindAudioBlock(f.data, 0x50, f.n());
        ASSERT_TRUE(copied);
        EXPECT_EQ((*copied)[79], 0x5A) << "the whole block is copied";
    }
    Frame none;
    EXPECT_FALSE(ReadAudioInfo(none.data, none.n()));
}

TEST(DvCodes, SystemByte) {
    const struct {
        uint8_t byte3;
        std::optional<bool> is525;
    } kCases[] = {
        {0xBF, false}, {0x3F, true}, {0x1F, std::nullopt}, {0x00, std::nullopt}, {0xFF, std::nullopt}};
    for (const auto& c : kCases) {
        Frame f;
        f.data[3] = c.byte3;
        EXPECT_EQ(ReadSystem(f.data), c.is525) << std::hex << int(c.byte3);
    }
    EXPECT_FALSE(ReadSystem(std::span<const uint8_t>()));
}

}  // namespace
}  // namespace velinor
