#include <gtest/gtest.h>

#include <random>

#include "filters/dv_superposer.h"

namespace velinor {
namespace {

// The one-pass outline gives the very pixels of drawing the mask at every offset, at every size,
// on masks with opaque, partial and empty coverage, also where the outline leaves the picture.
TEST(TextOutline, GivesThePixelsOfDrawingEveryOffset) {
    struct Case {
        int size;
        int x, y;  // where the text is drawn
        uint32_t color;
    };
    const Case kCases[] = {
        {1, 30, 20, 0x000000}, {2, 30, 20, 0x000000}, {3, 10, 5, 0x000000}, {5, 40, 30, 0x000000},
        {2, -6, -3, 0x000000}, {2, 70, 50, 0x000000}, {4, 2, 48, 0x204080}, {2, 30, 20, 0xFFFFFF},
    };
    std::mt19937 random(7);
    for (const auto& c : kCases) {
        SCOPED_TRACE("size " + std::to_string(c.size) + " at " + std::to_string(c.x) + "," +
                     std::to_string(c.y));
        TextMask mask;
        mask.originX = 1;
        mask.originY = 2;
        mask.width = 23;
        mask.height = 11;
        mask.coverage.resize(size_t(mask.width * mask.height));
        for (auto& a : mask.coverage) {
            const int kind = int(random() % 4);  // a quarter each: empty, opaque, two partials
            a = uint8_t(kind == 0 ? 0 : kind == 1 ? 255 : 1 + random() % 254);
        }
        BgrPicture reference;
        reference.resize(80, 60);
        for (auto& p : reference.pixels) p = uint8_t(random());
        BgrPicture ours = reference;
        const BgrImageView referenceView{reference.pixels.data(), reference.width, reference.height,
                                         reference.stride, false};
        for (int dy = -c.size; dy <= c.size; ++dy)
            for (int dx = -c.size; dx <= c.size; ++dx)
                Font::drawMask(referenceView, c.x + dx, c.y + dy, mask, c.color);
        DrawTextOutline(BgrImageView{ours.pixels.data(), ours.width, ours.height, ours.stride, false}, c.x,
                        c.y, mask, c.size, c.color);
        EXPECT_TRUE(ours.pixels == reference.pixels);
    }
}

}  // namespace
}  // namespace velinor
