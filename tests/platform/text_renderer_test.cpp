#include "platform/text_renderer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>
#include <vector>

namespace velinor {
namespace {

// A bottom-up picture with padded rows and a known background, and the box of what changed.
struct Canvas {
    int width, height;
    size_t stride;
    std::vector<uint8_t> pixels;
    Canvas(int w, int h, uint8_t fill = 40) : width(w), height(h), stride((size_t(w) * 3 + 3) & ~size_t{3}) {
        pixels.assign(stride * size_t(h), fill);
    }
    BgrImageView view() { return {pixels.data(), width, height, stride, false}; }
    const uint8_t* at(int x, int yFromTop) const {
        return pixels.data() + stride * size_t(height - 1 - yFromTop) + 3 * size_t(x);
    }
};

struct Box {
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;  // inclusive
    bool empty() const { return right < 0; }
};

Box ChangedBox(const Canvas& canvas, uint8_t background) {
    Box box;
    for (int y = 0; y < canvas.height; ++y)
        for (int x = 0; x < canvas.width; ++x) {
            const uint8_t* p = canvas.at(x, y);
            if (p[0] == background && p[1] == background && p[2] == background) continue;
            box.left = std::min(box.left, x), box.right = std::max(box.right, x);
            box.top = std::min(box.top, y), box.bottom = std::max(box.bottom, y);
        }
    return box;
}

FontChoice Recipe(int height, bool bold = false, bool italic = false) {
    FontChoice recipe;
    recipe.Height = height;
    recipe.Bold = bold;
    recipe.Italic = italic;
    return recipe;
}

TEST(TextRenderer, ArialResolvesToLiberationSansInEachStyle) {
    struct StyleCase {
        bool bold, italic;
        const char* file;
    };
    const StyleCase kStyles[] = {{false, false, "LiberationSans-Regular"},
                                 {true, false, "LiberationSans-Bold"},
                                 {false, true, "LiberationSans-Italic"},
                                 {true, true, "LiberationSans-BoldItalic"}};
    for (const auto& c : kStyles) {
        const Font font(Recipe(28, c.bold, c.italic));
        EXPECT_EQ(font.familyName(), "Liberation Sans");
        EXPECT_NE(font.fileName().find(c.file), std::string::npos) << font.fileName();
    }
}

TEST(TextRenderer, SizesInPointsBecomePixelHeights) {
    struct SizeCase {
        int points, height;
    };
    const SizeCase kSizes[] = {{-21, 28}, {16, -21}, {-10, 13}, {8, -11}, {0, 0}, {72, -96}};
    for (const auto& c : kSizes) EXPECT_EQ(FontHeightForSize(c.points), c.height) << c.points;
}

TEST(TextRenderer, PositiveHeightIsTheWholeCellNegativeTheEm) {
    for (const int cell : {13, 28, 40}) EXPECT_EQ(Font(Recipe(cell)).lineHeight(), cell);
    // The cell of a 21-pixel em is taller than 21: accents and descenders sit outside the em.
    const Font em(Recipe(-21));
    EXPECT_GT(em.lineHeight(), 21);
    EXPECT_LT(em.lineHeight(), 28);
}

TEST(TextRenderer, WidthsAddUpAndDecodeUtf8) {
    const Font font(Recipe(28));
    EXPECT_EQ(font.textWidth(""), 0);
    EXPECT_GT(font.textWidth("é"), 0);
    EXPECT_EQ(font.textWidth("Noël à"), font.textWidth("Noë") + font.textWidth("l à"));
    EXPECT_GT(font.textWidth("WWW"), font.textWidth("iii"));

    struct Utf8Case {
        std::string text;
        std::u32string codepoints;
    };
    const Utf8Case kTexts[] = {
        {"Été", U"Été"},
        {"a\xFF"
         "b",
         U"a\uFFFDb"},                              // a byte that never starts a character
        {"\xC3", U"\uFFFD"},                        // cut in the middle of a character
        {"\xC0\xAF", U"\uFFFD\uFFFD"},              // overlong encoding
        {"\xED\xA0\x80!", U"\uFFFD\uFFFD\uFFFD!"},  // a surrogate
        {"\xF0\x9F\x98\x80", U"\U0001F600"},
    };
    for (const auto& c : kTexts) EXPECT_EQ(DecodeUtf8(c.text), c.codepoints) << c.text;
}

TEST(TextRenderer, DrawsInsideTheCellOnBottomUpPaddedRows) {
    const Font font(Recipe(28));
    Canvas canvas(101, 60);  // 303 bytes of pixels, 304 with the padding
    const int x = 7, y = 11;
    Font::drawMask(
        canvas.view(), x, y,
        [&] {
            TextMask mask;
            font.renderMask("Hé", mask);
            return mask;
        }(),
        0xFF0000);
    const Box box = ChangedBox(canvas, 40);
    ASSERT_FALSE(box.empty());
    EXPECT_GE(box.left, x);
    EXPECT_LE(box.right, x + font.textWidth("Hé"));
    EXPECT_GE(box.top, y);
    EXPECT_LT(box.bottom, y + font.ascent());  // no descender in "Hé"
    // The accent rises above the capital's top.
    Canvas capital(101, 60);
    font.draw(capital.view(), x, y, "H");
    EXPECT_LT(box.top, ChangedBox(capital, 40).top);
    // Fully covered pixels take the colour exactly: red in B, G, R order.
    bool sawRed = false;
    for (int yy = box.top; yy <= box.bottom; ++yy)
        for (int xx = box.left; xx <= box.right; ++xx) {
            const uint8_t* p = canvas.at(xx, yy);
            sawRed |= p[0] == 0 && p[1] == 0 && p[2] == 255;
        }
    EXPECT_TRUE(sawRed);
    for (int row = 0; row < canvas.height; ++row)
        EXPECT_EQ(canvas.pixels[size_t(row) * canvas.stride + 303], 40);
}

TEST(TextRenderer, ClipsAtEveryEdge) {
    const Font font(Recipe(28));
    const struct { int x, y; } kPlaces[] = {{-15, 5}, {90, 5}, {5, -20}, {5, 50}, {-500, -500}, {500, 500}};
    for (const auto& place : kPlaces) {
        Canvas canvas(101, 60);
        font.draw(canvas.view(), place.x, place.y, "Wég");
        const Box box = ChangedBox(canvas, 40);
        if (box.empty()) continue;
        EXPECT_GE(box.left, 0);
        EXPECT_LT(box.right, 101);
    }
}

TEST(TextRenderer, UnderlineAndStrikeOutAddLines) {
    FontChoice plain = Recipe(28);
    FontChoice underline = plain, strike = plain;
    underline.Underline = true;
    strike.StrikeOut = true;
    Canvas a(200, 60), b(200, 60), c(200, 60);
    Font(plain).draw(a.view(), 10, 10, "aaaa");
    const Font underlined(underline);
    underlined.draw(b.view(), 10, 10, "aaaa");
    Font(strike).draw(c.view(), 10, 10, "aaaa");
    // The underline lies below the baseline, where "a" draws nothing.
    EXPECT_GT(ChangedBox(b, 40).bottom, ChangedBox(a, 40).bottom);
    EXPECT_GE(ChangedBox(b, 40).bottom, 10 + underlined.ascent());
    EXPECT_NE(a.pixels, c.pixels);
    EXPECT_EQ(ChangedBox(c, 40).bottom, ChangedBox(a, 40).bottom);
}

TEST(TextRenderer, ThreadsSharingAFontDrawTheSamePixels) {
    Canvas reference(300, 40);
    Font(Recipe(24, true)).draw(reference.view(), 3, 4, "Décalage à 12:34:56");
    const Font font(Recipe(24, true));  // glyphs are rendered by whichever thread asks first
    std::vector<Canvas> canvases(4, Canvas(300, 40));
    std::vector<std::thread> threads;
    for (auto& canvas : canvases)
        threads.emplace_back([&font, &canvas] {
            for (int i = 0; i < 50; ++i) {
                std::fill(canvas.pixels.begin(), canvas.pixels.end(), 40);
                font.draw(canvas.view(), 3, 4, "Décalage à 12:34:56");
            }
        });
    for (auto& thread : threads) thread.join();
    for (const auto& canvas : canvases) EXPECT_EQ(canvas.pixels, reference.pixels);
}

}  // namespace
}  // namespace velinor
