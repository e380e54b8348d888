#include "filters/dv_superposer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <tuple>

namespace velinor {
namespace {

constexpr uint8_t kGrey = 90;

BgrPicture Grey(int width, int height) {
    BgrPicture picture;
    picture.resize(width, height);
    std::fill(picture.pixels.begin(), picture.pixels.end(), kGrey);
    return picture;
}

struct Box {
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;  // inclusive, rows from the top
    bool empty() const { return right < 0; }
};

bool IsGrey(const BgrPicture& p, int x, int y) {
    const uint8_t* px = p.rowFromTop(y) + 3 * size_t(x);
    return px[0] == kGrey && px[1] == kGrey && px[2] == kGrey;
}

Box ChangedBox(const BgrPicture& p, int top = 0, int bottom = -1) {
    if (bottom < 0) bottom = p.height - 1;
    Box box;
    for (int y = std::max(0, top); y <= std::min(bottom, p.height - 1); ++y)
        for (int x = 0; x < p.width; ++x) {
            if (IsGrey(p, x, y)) continue;
            box.left = std::min(box.left, x), box.right = std::max(box.right, x);
            box.top = std::min(box.top, y), box.bottom = std::max(box.bottom, y);
        }
    return box;
}

FontChoice DrawRequest(const OverlayFont& font, int size) {
    FontChoice recipe;
    recipe.Family = font.Name;
    recipe.Height = FontHeightForSize(size);
    recipe.Color = font.Color;
    recipe.Bold = font.Bold;
    return recipe;
}

class OverlayTest : public ::testing::Test {
protected:
    OverlayTest() : detector(nullptr, &settings), overlay(detector, &settings) {}

    void SetTemplates(const std::string& line1, const std::string& line2) {
        settings.setTemplates(line1, line2);
    }

    BgrPicture Run(const BgrPicture& input) {
        BgrPicture output;
        output.resize(input.width, input.height);
        EXPECT_TRUE(overlay.Transform(input.pixels, output.pixels));
        return output;
    }

    OverlayTextSettingsStore settings;
    Tdv_sceneDetect detector;
    Tdv_Superposer overlay;
};

TEST(OverlayGeometry, LinePositionsPerLayout) {
    struct PositionCase {
        int layout, horizontal;
        int x1, y1, x2, y2;
    };
    // 720 x 576, anchor at 900 per mille (648, 518), lines 28 high, 200 and 100 pixels wide.
    const PositionCase kCases[] = {
        {0, 900, 598, 462, 598, 490}, {1, 900, 548, 462, 598, 490}, {2, 900, 498, 462, 598, 490},
        {3, 900, 260, 462, 310, 490}, {3, 0, 260, 462, 310, 490},   {1, 0, -100, 462, -50, 490},
    };
    for (const auto& c : kCases) {
        const auto g = OverlayLinePositions(c.layout, 720, 576, c.horizontal, 900, 28, 200, 100);
        EXPECT_EQ(g.X1, c.x1) << c.layout;
        EXPECT_EQ(g.Y1, c.y1) << c.layout;
        EXPECT_EQ(g.X2, c.x2) << c.layout;
        EXPECT_EQ(g.Y2, c.y2) << c.layout;
    }
    // Centred on the picture rounds down, also for a line wider than the picture.
    EXPECT_EQ(OverlayLinePositions(3, 720, 576, 500, 900, 28, 201, 723).X1, 259);
    EXPECT_EQ(OverlayLinePositions(3, 720, 576, 500, 900, 28, 201, 723).X2, -2);
}

TEST_F(OverlayTest, RenderedLinesSitWhereEachLayoutPutsThem) {
    SetTemplates("Été 2007 à Noël", "12:34");
    const BgrPicture input = Grey(720, 576);
    ASSERT_TRUE(overlay.StartStreaming(720, 576, 400'000));
    const OverlayFont font = overlay.Font();
    ASSERT_EQ(font.Size, -21);
    const velinor::Font reference(DrawRequest(font, -21));
    const int w1 = reference.textWidth("Été 2007 à Noël"), w2 = reference.textWidth("12:34");
    for (int layout = 0; layout < 4; ++layout) {
        overlay.SetLayout(layout);
        const BgrPicture output = Run(input);
        // A block that would leave the picture is moved back inside as a whole.
        TextMask m1, m2;
        reference.renderMask("Été 2007 à Noël", m1);
        reference.renderMask("12:34", m2);
        const auto g = KeepOverlayInside(OverlayLinePositions(layout, 720, 576, 900, 900, 28, w1, w2), 720,
                                         576, InkOf(m1, 28), InkOf(m2, 28), overlay.BorderSize());
        EXPECT_EQ(overlay.Geometry().X1, g.X1);
        EXPECT_EQ(overlay.Geometry().LineHeight, 28);
        BgrPicture expected = input;
        const BgrImageView view{expected.pixels.data(), 720, 576, expected.stride, false};
        reference.draw(view, g.X1, g.Y1, "Été 2007 à Noël");
        reference.draw(view, g.X2, g.Y2, "12:34");
        EXPECT_EQ(output.pixels, expected.pixels) << "layout " << layout;
        // Each line's pixels lie in its own 28-pixel band above the anchor row 518.
        const Box line1 = ChangedBox(output, 0, 489), line2 = ChangedBox(output, 490, 575);
        EXPECT_GE(line1.top, 462);
        EXPECT_GE(line2.top, 490);
        EXPECT_LT(line2.bottom, 518);
        EXPECT_GE(line1.left, g.X1);
        EXPECT_LE(line1.right, g.X1 + w1);
        EXPECT_GE(line2.left, g.X2);
        EXPECT_LE(line2.right, g.X2 + w2);
    }
}

TEST_F(OverlayTest, AutomaticSizeFollowsThePictureWidth) {
    SetTemplates("Mardi 4 mars", "10:11:12");
    OverlayFont font;
    font.Size = -1;
    EXPECT_TRUE(overlay.SetFont(font));
    ASSERT_TRUE(overlay.StartStreaming(360, 288, 400'000));
    EXPECT_EQ(overlay.Font().Size, -10);
    const BgrPicture output = Run(Grey(360, 288));
    EXPECT_EQ(overlay.Geometry().LineHeight, 13);
    // Anchor row 259: the two lines fill rows 233 to 258.
    const Box all = ChangedBox(output);
    EXPECT_GE(all.top, 233);
    EXPECT_LE(all.bottom, 258);
    EXPECT_LT(ChangedBox(output, 0, 245).bottom, 246);
    font.Size = 12;
    EXPECT_FALSE(overlay.SetFont(font));
}

TEST_F(OverlayTest, BorderSurroundsTheTextByItsThickness) {
    SetTemplates("Aïe", "0:12:34:05");
    ASSERT_TRUE(overlay.StartStreaming(320, 240, 400'000));
    overlay.SetLayout(1);
    overlay.SetHorizontal(500);  // both lines and their outlines inside the picture
    // On a light background any black coverage darkens a pixel.
    BgrPicture input = Grey(320, 240);
    std::fill(input.pixels.begin(), input.pixels.end(), 200);
    Run(input);
    const OverlayGeometry g = overlay.Geometry();
    // Where the text itself covers the picture: coverage > 0 at each line's place.
    const velinor::Font font(DrawRequest(overlay.Font(), -21));
    std::vector<int> text(320 * 240, 0);
    for (const auto& [line, x0, y0] :
         {std::tuple{std::string("Aïe"), g.X1, g.Y1}, std::tuple{std::string("0:12:34:05"), g.X2, g.Y2}}) {
        TextMask mask;
        font.renderMask(line, mask);
        for (int r = 0; r < mask.height; ++r)
            for (int c = 0; c < mask.width; ++c) {
                const int x = x0 + mask.originX + c, y = y0 + mask.originY + r;
                if (x >= 0 && y >= 0 && x < 320 && y < 240)
                    text[size_t(y * 320 + x)] =
                        std::max(text[size_t(y * 320 + x)], int(mask.coverage[size_t(r * mask.width + c)]));
            }
    }
    for (const int k : {1, 2}) {
        overlay.SetBorderSize(k);
        const BgrPicture bordered = Run(input);
        for (int y = 0; y < 240; ++y)
            for (int x = 0; x < 320; ++x) {
                bool nearText = false;
                for (int dy = -k; dy <= k && !nearText; ++dy)
                    for (int dx = -k; dx <= k && !nearText; ++dx) {
                        const int sx = x + dx, sy = y + dy;
                        nearText =
                            sx >= 0 && sy >= 0 && sx < 320 && sy < 240 && text[size_t(sy * 320 + sx)] > 0;
                    }
                const uint8_t* out = bordered.rowFromTop(y) + 3 * size_t(x);
                const int covered = text[size_t(y * 320 + x)];
                if (covered == 255) {
                    ASSERT_EQ(out[0] + out[1] + out[2], 3 * 255)
                        << x << "," << y;  // the font colour comes last
                } else if (covered == 0 && nearText) {
                    ASSERT_LT(out[0], 200) << "k " << k << " outline missing at " << x << "," << y;
                } else if (!nearText) {
                    ASSERT_EQ(out[0], 200) << "k " << k << " outline too wide at " << x << "," << y;
                }
            }
    }
    overlay.SetBorderSize(7);  // refused
    EXPECT_EQ(overlay.BorderSize(), 2);
}

TEST_F(OverlayTest, HiddenTextLeavesPicturesButTheCountdownRuns) {
    SetTemplates("texte", "texte");
    ASSERT_TRUE(overlay.StartStreaming(160, 120, 400'000));
    overlay.SetDisplayMode(1);
    const BgrPicture input = Grey(160, 120);
    // Mode 1 with 125 frames: text on the first 123 pictures, then none.
    for (int i = 0; i < 126; ++i) {
        const bool drawn = !ChangedBox(Run(input)).empty();
        ASSERT_EQ(drawn, i < 123) << i;
    }
    overlay.SetDisplayMode(1);
    overlay.SetShowText(false);
    EXPECT_EQ(overlay.Countdown(), 124);
    EXPECT_EQ(Run(input).pixels, input.pixels);
    EXPECT_EQ(overlay.Countdown(), 123);
}

TEST_F(OverlayTest, EmptyDateAndTimeLeaveTheSeparator) {
    SetTemplates("%D1 %D2", "%T");
    ASSERT_TRUE(overlay.StartStreaming(160, 120, 400'000));
    Run(Grey(160, 120));
    EXPECT_EQ(overlay.Line1(), " ");
    EXPECT_EQ(overlay.Line2(), "");
}

TEST_F(OverlayTest, HorizontalMoveLeavesThePictureCentredLayout) {
    overlay.SetLayout(3);
    overlay.SetVertical(1500);
    EXPECT_EQ(overlay.Vertical(), 1000);
    overlay.SetHorizontal(-4);
    EXPECT_EQ(overlay.Layout(), 1);
    EXPECT_EQ(overlay.Horizontal(), 0);
}

TEST_F(OverlayTest, SnapshotAndShownFlagFollowEveryPicture) {
    SetTemplates("A", "B");
    ASSERT_TRUE(overlay.StartStreaming(160, 120, 400'000));
    BgrPicture target;
    target.resize(80, 60);
    EXPECT_FALSE(overlay.CopySnapshot(target));

    // A picture too short for the size: refused, yet counted and shown.
    std::vector<uint8_t> shortInput(100, 0), output(BgrPicture::StrideFor(160) * 120);
    overlay.ClearFrameShown();
    EXPECT_FALSE(overlay.Transform(shortInput, output));
    EXPECT_TRUE(overlay.FrameShown());
    EXPECT_EQ(overlay.SampleCount(), 1);

    BgrPicture input = Grey(160, 120);
    input.rowFromTop(0)[0] = 7;  // a marker in the top-left pixel
    overlay.ClearFrameShown();
    const BgrPicture shown = Run(input);
    EXPECT_TRUE(overlay.FrameShown());
    ASSERT_TRUE(overlay.CopySnapshot(target));
    EXPECT_EQ(target.rowFromTop(0)[0], 7);
    // The snapshot is the shown picture without its combing, stretched by dropping pixels.
    Deinterlacer deinterlacer;
    BgrPicture expected;
    deinterlacer.DeinterlaceBitmap(shown, expected);
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 80; ++x)
            ASSERT_EQ(0, std::memcmp(target.rowFromTop(y) + 3 * x, expected.rowFromTop(2 * y) + 6 * x, 3));
    // Without a new clear the snapshot stays the picture that was shown.
    Run(Grey(160, 120));
    ASSERT_TRUE(overlay.CopySnapshot(target));
    EXPECT_EQ(target.rowFromTop(0)[0], 7);
}

TEST_F(OverlayTest, DeinterlacedOutputAndCopy) {
    SetTemplates("", "");
    ASSERT_TRUE(overlay.StartStreaming(64, 16, 400'000));
    BgrPicture combed;
    combed.resize(64, 16);
    for (int y = 0; y < 16; ++y) std::memset(combed.rowFromTop(y), y % 2 ? 255 : 0, 64 * 3);
    overlay.SetDeinterlace(true);
    const BgrPicture output = Run(combed);
    for (int y = 0; y < 16; ++y)
        EXPECT_EQ(output.rowFromTop(y)[30], y % 2 && y < 15 ? 0 : combed.rowFromTop(y)[30]) << y;
    overlay.SetDeinterlace(false);
    EXPECT_EQ(Run(combed).pixels, combed.pixels);
    BgrPicture copy;
    copy.resize(64, 16);
    ASSERT_TRUE(overlay.CopyDeinterlaced(copy));
    EXPECT_EQ(copy.pixels, output.pixels);
}

TEST_F(OverlayTest, NewFontsAndTemplatesReachARunningOverlay) {
    SetTemplates("Été", "");
    ASSERT_TRUE(overlay.StartStreaming(320, 240, 400'000));
    const BgrPicture input = Grey(320, 240);
    const Box small = ChangedBox(Run(input));
    OverlayFont font;
    font.Size = 30;  // points: a 40-pixel em
    font.Color = 0x00FF00;
    font.Bold = false;
    EXPECT_FALSE(overlay.SetFont(font));
    const BgrPicture output = Run(input);
    const Box large = ChangedBox(output);
    EXPECT_GT(large.right - large.left, small.right - small.left);
    EXPECT_EQ(overlay.Geometry().LineHeight, 40);
    // Pure green where the text covers the picture fully.
    bool green = false;
    for (int y = large.top; y <= large.bottom; ++y)
        for (int x = large.left; x <= large.right; ++x) {
            const uint8_t* p = output.rowFromTop(y) + 3 * x;
            green |= p[0] == 0 && p[1] == 255 && p[2] == 0;
        }
    EXPECT_TRUE(green);
    SetTemplates("Hiver", "");
    Run(input);
    EXPECT_EQ(overlay.Line1(), "Hiver");
    // A family that does not exist still draws, with fontconfig's nearest match.
    font.Name = "Police qui n'existe pas";
    overlay.SetFont(font);
    EXPECT_FALSE(ChangedBox(Run(input)).empty());
}

// Studio-range BT.601 of a BGR pixel, unrounded.
std::array<double, 3> YuvOf(const uint8_t* bgr) {
    const double b = bgr[0], g = bgr[1], r = bgr[2];
    return {16 + (65.481 * r + 128.553 * g + 24.966 * b) / 255,
            128 + (-37.797 * r - 74.203 * g + 112 * b) / 255,
            128 + (112 * r - 93.786 * g - 18.214 * b) / 255};
}

// The planes blend the same text as the 24-bit pictures: each luma sample within 2 of the drawn
// picture's luma, each chroma sample within 2 of the mean chroma of the pixels it covers; every
// sample outside the changed boxes is the input's, for both chroma samplings.
TEST_F(OverlayTest, PlanesGetTheSameTextAsPictures) {
    SetTemplates("12/08/2005 Été", "14:05:06");
    for (const bool is525 : {false, true}) {
        SCOPED_TRACE(is525 ? "4:1:1" : "4:2:0");
        const DvYuvLayout layout = DvYuvLayout::For(is525);
        OverlayFont font;
        font.Color = 0x40D0FF;  // orange-ish: every chroma sample moves
        overlay.SetFont(font);
        overlay.SetBorderSize(2);
        overlay.SetLayout(1);
        overlay.SetHorizontal(500);
        overlay.SetVertical(600);
        BgrPicture input = Grey(layout.width, layout.height);
        for (size_t i = 0; i < input.pixels.size(); i += 3) input.pixels[i] = 150;  // not a grey
        ASSERT_TRUE(overlay.StartStreaming(layout.width, layout.height, 400'000));
        const BgrPicture drawn = Run(input);

        const auto background = YuvOf(input.pixels.data());
        std::vector<uint8_t> planes(layout.bytes());
        std::fill_n(planes.begin(), layout.lumaBytes(), uint8_t(std::lround(background[0])));
        std::fill_n(planes.begin() + long(layout.lumaBytes()), layout.chromaBytes(),
                    uint8_t(std::lround(background[1])));
        std::fill_n(planes.begin() + long(layout.lumaBytes() + layout.chromaBytes()), layout.chromaBytes(),
                    uint8_t(std::lround(background[2])));
        ASSERT_TRUE(overlay.StartStreaming(layout.width, layout.height, 400'000, layout));
        EXPECT_EQ(overlay.PictureBytes(), layout.bytes());
        std::vector<uint8_t> out(layout.bytes());
        ASSERT_TRUE(overlay.Transform(planes, out));
        const auto boxes = overlay.ChangedBoxes();
        ASSERT_TRUE(boxes.has_value());
        const auto inBox = [&](int x, int y) {
            return std::any_of(boxes->begin(), boxes->end(), [&](const OverlayBox& b) {
                return x >= b.Left && x < b.Left + b.Width && y >= b.Top && y < b.Top + b.Height;
            });
        };
        const int sx = layout.width / layout.chromaWidth, sy = layout.height / layout.chromaHeight;
        int changed = 0;
        for (int y = 0; y < layout.height; ++y)
            for (int x = 0; x < layout.width; ++x) {
                const size_t i = size_t(y) * size_t(layout.width) + size_t(x);
                ASSERT_NEAR(out[i], YuvOf(drawn.rowFromTop(y) + 3 * size_t(x))[0], 2.0) << x << "," << y;
                if (!inBox(x, y)) {
                    ASSERT_EQ(out[i], planes[i]) << x << "," << y;
                }
                changed += out[i] != planes[i];
            }
        EXPECT_GT(changed, 500);
        for (int plane = 1; plane <= 2; ++plane)
            for (int cy = 0; cy < layout.chromaHeight; ++cy)
                for (int cx = 0; cx < layout.chromaWidth; ++cx) {
                    double mean = 0;
                    for (int dy = 0; dy < sy; ++dy)
                        for (int dx = 0; dx < sx; ++dx)
                            mean += YuvOf(drawn.rowFromTop(cy * sy + dy) +
                                          3 * size_t(cx * sx + dx))[size_t(plane)];
                    const size_t i = layout.lumaBytes() + size_t(plane - 1) * layout.chromaBytes() +
                                     size_t(cy) * size_t(layout.chromaWidth) + size_t(cx);
                    ASSERT_NEAR(out[i], mean / (sx * sy), 2.0) << plane << ": " << cx << "," << cy;
                    if (!inBox(cx * sx, cy * sy)) {
                        ASSERT_EQ(out[i], planes[i]);
                    }
                }
        // In place, as the graph does with pictures nobody else reads.
        ASSERT_TRUE(overlay.Transform(planes, planes));
        EXPECT_EQ(planes, out);
    }
}

// With combing removed the planes may change anywhere: no boxes are promised, and only the
// combed rows change.
TEST_F(OverlayTest, CombingLeavesThePlanesOfStillRows) {
    SetTemplates("", "");
    const DvYuvLayout layout = DvYuvLayout::For(false);
    ASSERT_TRUE(overlay.StartStreaming(layout.width, layout.height, 400'000, layout));
    std::vector<uint8_t> planes(layout.bytes(), 128);
    for (int y = 0; y < layout.height; ++y)
        std::memset(planes.data() + size_t(y) * size_t(layout.width), y % 2 ? 235 : 16,
                    size_t(layout.width) / 2);
    std::vector<uint8_t> out(planes.size());
    overlay.SetDeinterlace(true);
    overlay.ClearFrameShown();
    ASSERT_TRUE(overlay.Transform(planes, out));
    EXPECT_FALSE(overlay.ChangedBoxes().has_value());
    EXPECT_TRUE(overlay.FrameShown());
    for (int y = 0; y < layout.height; ++y) {
        const uint8_t combed = out[size_t(y) * size_t(layout.width) + 100];
        const uint8_t still = out[size_t(y) * size_t(layout.width) + 600];
        EXPECT_EQ(still, 128) << y;
        if (y % 2 && y < layout.height - 1)
            EXPECT_NEAR(combed, 16, 2) << y;  // the mean of its dark neighbours
        else
            EXPECT_EQ(combed, planes[size_t(y) * size_t(layout.width) + 100]) << y;
    }
    BgrPicture snapshot;
    snapshot.resize(72, 57);
    EXPECT_TRUE(overlay.CopySnapshot(snapshot));
    overlay.SetDeinterlace(false);
    ASSERT_TRUE(overlay.Transform(planes, out));
    EXPECT_EQ(out, planes);
}

}  // namespace
}  // namespace velinor

namespace velinor {
namespace {

// A block that fits stays where the anchor puts it; one that would leave the picture moves left
// or up (right or down at the other edges) just enough, outline included.
TEST(OverlayGeometry, TheBlockStaysInsideThePicture) {
    struct Case {
        const char* name;
        OverlayGeometry g;
        int border;
        int x1, y1, x2, y2;
    };
    const OverlayInk ink{0, 100, 0, 20};
    const Case cases[] = {
        {"fits", {20, 10, 10, 100, 10, 30, 100}, 2, 10, 10, 10, 30},
        {"past the right edge", {20, 250, 10, 100, 250, 30, 100}, 2, 198, 10, 198, 30},
        {"past the bottom edge", {20, 10, 170, 100, 10, 190, 100}, 3, 10, 157, 10, 177},
        {"past the left edge", {20, -5, 10, 100, -5, 30, 100}, 1, 1, 10, 1, 30},
    };
    for (const Case& c : cases) {
        const OverlayGeometry out = KeepOverlayInside(c.g, 300, 200, ink, ink, c.border);
        EXPECT_EQ(out.X1, c.x1) << c.name;
        EXPECT_EQ(out.Y1, c.y1) << c.name;
        EXPECT_EQ(out.X2, c.x2) << c.name;
        EXPECT_EQ(out.Y2, c.y2) << c.name;
    }
}

// With the window's defaults (anchor 920 per mille, layout 0, 2-pixel outline, Arial 16) the
// date line is longer than the time line it is aligned to: both lines stay whole inside a PAL
// picture, with their black outline.
TEST(OverlayDefaults, BothLinesAreDrawnWholeInsideThePictureWithTheirOutline) {
    OverlayTextSettingsStore settings;
    settings.setTemplates("samedi 12 août 2005", "14:05:06");
    Tdv_sceneDetect detector(nullptr, &settings);
    Tdv_Superposer overlay(detector, &settings);
    OverlayFont font;
    font.Name = "Arial";
    font.Size = 16;
    font.Color = 0xFFFFFF;
    font.Bold = false;
    overlay.SetFont(font);
    overlay.SetHorizontal(920);
    overlay.SetVertical(920);
    overlay.SetBorderSize(2);
    ASSERT_TRUE(overlay.StartStreaming(720, 576, 400'000));
    const BgrPicture input = Grey(720, 576);
    BgrPicture output;
    output.resize(720, 576);
    ASSERT_TRUE(overlay.Transform(input.pixels, output.pixels));
    const OverlayGeometry g = overlay.Geometry();
    const velinor::Font reference(DrawRequest(font, 16));
    TextMask m1;
    reference.renderMask("samedi 12 août 2005", m1);
    const Box changed = ChangedBox(output);
    ASSERT_FALSE(changed.empty());
    // Whole: the drawn block is wider than the date line's mask (whose edge columns may be
    // blank), its outline reaching past it on both sides.
    EXPECT_GE(changed.right - changed.left + 1, m1.width + 2);
    EXPECT_GE(changed.left, 0);
    EXPECT_LE(g.X1 + InkOf(m1, g.LineHeight).Right + 2, 720);
    EXPECT_LE(changed.bottom, 575);
    // The outline: black pixels around the white text.
    bool black = false;
    for (int y = changed.top; y <= changed.bottom && !black; ++y)
        for (int x = changed.left; x <= changed.right && !black; ++x) {
            const uint8_t* px = output.rowFromTop(y) + 3 * size_t(x);
            black = px[0] == 0 && px[1] == 0 && px[2] == 0;
        }
    EXPECT_TRUE(black);
}

}  // namespace
}  // namespace velinor
