#include "filters/deinterlace.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "filters/dv_deinter.h"

namespace velinor {
namespace {

// Rows from the top, each filled with one grey level.
BgrPicture Rows(int width, const std::vector<uint8_t>& levels) {
    BgrPicture picture;
    picture.resize(width, static_cast<int>(levels.size()));
    for (int y = 0; y < picture.height; ++y)
        std::memset(picture.rowFromTop(y), levels[size_t(y)], size_t(width) * 3);
    return picture;
}

std::vector<uint8_t> Column(const BgrPicture& picture, int x) {
    std::vector<uint8_t> levels;
    for (int y = 0; y < picture.height; ++y) levels.push_back(picture.rowFromTop(y)[3 * x]);
    return levels;
}

TEST(DeinterlaceBitmap, CombedOddRowsTakeTheirNeighboursAverage) {
    struct CombCase {
        const char* name;
        std::vector<uint8_t> rows;
        std::vector<uint8_t> expected;
    };
    // A grey step d on all three channels weighs 10 x d x d against the threshold 3 001.
    const CombCase kCases[] = {
        // Odd rows white between black rows: all but the last row become black.
        {"full combing", {0, 255, 0, 255, 0, 255}, {0, 0, 0, 0, 0, 255}},
        {"inverse combing", {255, 0, 255, 0, 255, 0}, {255, 255, 255, 255, 255, 0}},
        {"average of unequal neighbours", {10, 200, 40, 0, 0}, {10, 25, 40, 0, 0}},
        {"steady gradient", {0, 20, 40, 60, 80}, {0, 20, 40, 60, 80}},
        {"below the threshold", {0, 17, 0, 17, 0}, {0, 17, 0, 17, 0}},  // 10 x 17 x 17 = 2 890
        {"at the threshold", {0, 18, 0, 18, 0}, {0, 0, 0, 0, 0}},       // 10 x 18 x 18 = 3 240
        {"even rows never change", {255, 0, 255, 0}, {255, 255, 255, 0}},
        {"one row", {255}, {255}},
    };
    Deinterlacer deinterlacer;
    for (const auto& c : kCases) {
        const BgrPicture source = Rows(7, c.rows);  // 21 bytes per row, 24 with the padding
        BgrPicture output;
        deinterlacer.DeinterlaceBitmap(source, output);
        for (int x = 0; x < 7; ++x) EXPECT_EQ(Column(output, x), c.expected) << c.name << " column " << x;
    }
}

TEST(DeinterlaceBitmap, WeightsChannelsLikeLuminance) {
    // One channel stepping by d on the odd row: blue needs 3 001 / 1, red 3 001 / 3, green 3 001 / 6.
    struct ChannelCase {
        int channel;
        int step;
        bool combed;
    };
    const ChannelCase kCases[] = {{0, 54, false}, {0, 55, true},  {2, 31, false},
                                  {2, 32, true},  {1, 22, false}, {1, 23, true}};
    Deinterlacer deinterlacer;
    for (const auto& c : kCases) {
        BgrPicture source = Rows(4, {100, 100, 100});
        for (int x = 0; x < 4; ++x) source.rowFromTop(1)[3 * x + c.channel] = uint8_t(100 + c.step);
        BgrPicture output;
        deinterlacer.DeinterlaceBitmap(source, output);
        EXPECT_EQ(output.rowFromTop(1)[c.channel], c.combed ? 100 : 100 + c.step)
            << c.channel << " " << c.step;
    }
}

TEST(DeinterlaceBitmap, IsolatedCombedPixelsStay) {
    struct PixelCase {
        std::vector<int> combed;
        std::vector<int> changed;
    };
    const PixelCase kCases[] = {{{3}, {}},        {{0}, {}},        {{7}, {}},       {{3, 4}, {3, 4}},
                                {{0, 1}, {0, 1}}, {{6, 7}, {6, 7}}, {{1, 3, 5}, {}}, {{1, 2, 5}, {1, 2}}};
    Deinterlacer deinterlacer;
    for (const auto& c : kCases) {
        BgrPicture source = Rows(8, {0, 0, 0});
        for (const int x : c.combed) std::memset(source.rowFromTop(1) + 3 * x, 255, 3);
        BgrPicture output;
        deinterlacer.DeinterlaceBitmap(source, output);
        for (int x = 0; x < 8; ++x) {
            const bool changed = std::find(c.changed.begin(), c.changed.end(), x) != c.changed.end();
            const bool combed = std::find(c.combed.begin(), c.combed.end(), x) != c.combed.end();
            EXPECT_EQ(output.rowFromTop(1)[3 * x], changed ? 0 : combed ? 255 : 0) << "x " << x;
        }
    }
}

TEST(Deinterlacer, PalPictureInPlace) {
    std::vector<uint8_t> levels(576);
    for (size_t y = 0; y < levels.size(); ++y) levels[y] = y % 2 ? 0 : 255;
    BgrPicture picture = Rows(720, levels);
    Tdv_deinter filter;
    EXPECT_FALSE(filter.StartStreaming(720, 0));
    ASSERT_TRUE(filter.StartStreaming(720, 576));
    ASSERT_TRUE(filter.Transform(picture.pixels));
    std::vector<uint8_t> expected(576, 255);
    expected[575] = 0;
    for (const int x : {0, 359, 719}) EXPECT_EQ(Column(picture, x), expected) << x;
    std::vector<uint8_t> tooShort(picture.pixels.size() - 1);
    EXPECT_FALSE(filter.Transform(tooShort));
}

TEST(Deinterlacer, PaddedRowsKeepTheirPadding) {
    BgrPicture source = Rows(5, {0, 255, 0, 255, 0});  // 15 bytes per row, 16 with the padding
    for (int y = 0; y < 5; ++y) source.rowFromTop(y)[15] = 0xAB;
    Tdv_deinter filter;
    ASSERT_TRUE(filter.StartStreaming(5, 5));
    ASSERT_TRUE(filter.Transform(source.pixels));
    for (int y = 0; y < 5; ++y) {
        EXPECT_EQ(source.rowFromTop(y)[15], 0xAB);
        EXPECT_EQ(source.rowFromTop(y)[14], 0);
    }
}

// The codec's planes of one system, the luma rows taking `levels` in turn down the picture, every
// chroma sample 128.
std::vector<uint8_t> Planes(const DvYuvLayout& layout, const std::vector<uint8_t>& levels) {
    std::vector<uint8_t> planes(layout.bytes(), 128);
    for (int y = 0; y < layout.height; ++y)
        std::memset(planes.data() + size_t(y) * size_t(layout.width), levels[size_t(y) % levels.size()],
                    size_t(layout.width));
    return planes;
}

TEST(DeinterlacePlanes, CombedLumaRowsTakeTheirNeighboursAverage) {
    struct CombCase {
        const char* name;
        std::vector<uint8_t> rows;  // repeated down the picture
        uint8_t odd;                // what the odd rows become
    };
    // The luma step that counts is the grey step of the pictures scaled to studio range: 15, not 14.
    const CombCase kCases[] = {
        {"full combing", {16, 235}, 16},
        {"inverse combing", {235, 16}, 235},
        {"below the threshold", {100, 114}, 114},  // 14 x 14 = 196
        {"at the threshold", {100, 115}, 100},     // 15 x 15 = 225
        {"rows between a darker and a brighter one", {100, 120, 140, 120}, 0},
    };
    for (const bool is525 : {false, true}) {
        const DvYuvLayout layout = DvYuvLayout::For(is525);
        for (const auto& c : kCases) {
            SCOPED_TRACE(std::string(c.name) + (is525 ? " 525" : " 625"));
            auto planes = Planes(layout, c.rows);
            const auto source = planes;
            Tdv_deinter filter;
            filter.StartStreamingPlanes(layout);
            ASSERT_TRUE(filter.Transform(planes));
            for (int y = 0; y < layout.height; ++y)
                for (const int x : {0, 1, 360, 719}) {
                    const size_t at = size_t(y) * 720 + size_t(x);
                    const bool mended = y % 2 == 1 && y + 1 < layout.height && c.odd != 0;
                    ASSERT_EQ(planes[at], mended ? c.odd : source[at]) << "row " << y << " column " << x;
                }
            std::vector<uint8_t> tooShort(layout.bytes() - 1);
            EXPECT_FALSE(filter.Transform(tooShort));
        }
    }
}

TEST(DeinterlacePlanes, ChromaFollowsTheLumaOnlyWhereEachRowIsOneField) {
    for (const bool is525 : {false, true}) {
        SCOPED_TRACE(is525 ? "4:1:1" : "4:2:0");
        const DvYuvLayout layout = DvYuvLayout::For(is525);
        auto planes = Planes(layout, {16, 235});
        // Chroma rows alternate as well: 60 and 200.
        uint8_t* chroma = planes.data() + layout.lumaBytes();
        for (int plane = 0; plane < 2; ++plane)
            for (int y = 0; y < layout.chromaHeight; ++y)
                std::memset(chroma + (size_t(plane) * size_t(layout.chromaHeight) + size_t(y)) *
                                         size_t(layout.chromaWidth),
                            y % 2 ? 200 : 60, size_t(layout.chromaWidth));
        const auto source = planes;
        Tdv_deinter filter;
        filter.StartStreamingPlanes(layout);
        ASSERT_TRUE(filter.Transform(planes));
        for (int plane = 0; plane < 2; ++plane)
            for (int y = 0; y < layout.chromaHeight; ++y) {
                const size_t at =
                    layout.lumaBytes() +
                    (size_t(plane) * size_t(layout.chromaHeight) + size_t(y)) * size_t(layout.chromaWidth);
                const bool mended = is525 && y % 2 == 1 && y + 1 < layout.chromaHeight;
                ASSERT_EQ(planes[at], mended ? 60 : source[at]) << "plane " << plane << " row " << y;
            }
    }
}

// Noise with combed patches, against the rule written out pixel by pixel: an odd row's luma sample
// is combed when it stands out from both rows around it by the threshold and a neighbour in its row
// is combed too; combed samples take the average of the rows around them, and at 4:1:1 so does a
// chroma sample when any of the four luma samples it covers is mended.
TEST(DeinterlacePlanes, NoiseIsMendedAsThePixelRuleSays) {
    std::mt19937 random(7);
    for (const bool is525 : {false, true}) {
        SCOPED_TRACE(is525 ? "4:1:1" : "4:2:0");
        const DvYuvLayout layout = DvYuvLayout::For(is525);
        std::vector<uint8_t> planes(layout.bytes());
        for (uint8_t& v : planes) v = uint8_t(random() % 256);
        const auto source = planes;
        const size_t w = size_t(layout.width);
        const auto luma = [&](int y, size_t x) { return int(source[size_t(y) * w + x]); };
        const auto combed = [&](int y, long x) {
            if (x < 0 || x >= long(w)) return false;
            const size_t i = size_t(x);
            return (luma(y - 1, i) - luma(y, i)) * (luma(y + 1, i) - luma(y, i)) >= 221;
        };
        std::vector<uint8_t> expected = source;
        for (int y = 1; y + 1 < layout.height; y += 2) {
            std::vector<bool> mask(w);
            for (size_t x = 0; x < w; ++x)
                mask[x] = combed(y, long(x)) && (combed(y, long(x) - 1) || combed(y, long(x) + 1));
            for (size_t x = 0; x < w; ++x)
                if (mask[x]) expected[size_t(y) * w + x] = uint8_t((luma(y - 1, x) + luma(y + 1, x)) / 2);
            if (!is525) continue;
            const size_t cw = size_t(layout.chromaWidth);
            for (size_t plane = 0; plane < 2; ++plane) {
                const size_t row = layout.lumaBytes() + plane * layout.chromaBytes() + size_t(y) * cw;
                for (size_t x = 0; x < cw; ++x)
                    if (mask[4 * x] || mask[4 * x + 1] || mask[4 * x + 2] || mask[4 * x + 3])
                        expected[row + x] = uint8_t((source[row - cw + x] + source[row + cw + x]) / 2);
            }
        }
        Tdv_deinter filter;
        filter.StartStreamingPlanes(layout);
        ASSERT_TRUE(filter.Transform(planes));
        size_t differ = 0;
        for (size_t i = 0; i < planes.size(); ++i) differ += planes[i] != expected[i];
        EXPECT_EQ(differ, 0u);
        EXPECT_NE(planes, source);
    }
}

}  // namespace
}  // namespace velinor
