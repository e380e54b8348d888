#include "filters/deinterlace.h"

#include <cstring>

namespace velinor {

namespace {

// A pixel brighter or darker than both vertical neighbours, weighted like luminance (R 3, G 6,
// B 1), counts as combed above this value.
constexpr int kCombThreshold = 3001;

}  // namespace

void Deinterlacer::DeinterlaceBitmap(const BgrPicture& source, BgrPicture& output) {
    if (output.width != source.width || output.height != source.height || output.stride != source.stride)
        output.resize(source.width, source.height);
    if (output.stride == source.stride) {
        DeinterlaceRows(source.pixels.data(), output.pixels.data(), source.width, source.height,
                        source.stride);
        return;
    }
    BgrPicture copy = source;
    DeinterlaceRows(copy.pixels.data(), output.pixels.data(), source.width, source.height, source.stride);
}

void Deinterlacer::DeinterlaceRows(const uint8_t* source, uint8_t* output, int width, int height,
                                   size_t stride) {
    if (width <= 0 || height <= 0) return;
    std::memcpy(output, source, stride * static_cast<size_t>(height));
    const size_t w = static_cast<size_t>(width);
    // Only odd rows of the masks are written and read.
    m1_.resize(w * static_cast<size_t>(height));
    m2_.resize(m1_.size());
    const auto rowFromTop = [&](const uint8_t* base, int y) {
        return base + stride * static_cast<size_t>(height - 1 - y);
    };
    for (int y = 1; y < height - 1; y += 2) {
        const uint8_t* a = rowFromTop(source, y - 1);
        const uint8_t* c = rowFromTop(source, y);
        const uint8_t* b = rowFromTop(source, y + 1);
        uint8_t* m = m1_.data() + w * static_cast<size_t>(y);
        for (size_t x = 0; x < w; ++x) {
            const size_t i = 3 * x;
            const int blue = (a[i] - c[i]) * (b[i] - c[i]);
            const int green = (a[i + 1] - c[i + 1]) * (b[i + 1] - c[i + 1]);
            const int red = (a[i + 2] - c[i + 2]) * (b[i + 2] - c[i + 2]);
            m[x] = 3 * red + 6 * green + blue >= kCombThreshold ? 1 : 0;
        }
    }
    // Isolated detections are noise, not combing.
    for (int y = 1; y < height - 1; y += 2) {
        const uint8_t* m = m1_.data() + w * static_cast<size_t>(y);
        uint8_t* out = m2_.data() + w * static_cast<size_t>(y);
        for (size_t x = 0; x < w; ++x)
            out[x] = m[x] && ((x > 0 && m[x - 1]) || (x + 1 < w && m[x + 1])) ? 1 : 0;
    }
    for (int y = 1; y < height - 1; y += 2) {
        const uint8_t* a = rowFromTop(source, y - 1);
        const uint8_t* b = rowFromTop(source, y + 1);
        uint8_t* o = output + stride * static_cast<size_t>(height - 1 - y);
        const uint8_t* m = m2_.data() + w * static_cast<size_t>(y);
        for (size_t x = 0; x < w; ++x) {
            if (!m[x]) continue;
            const size_t i = 3 * x;
            o[i] = static_cast<uint8_t>((a[i] + b[i]) / 2);
            o[i + 1] = static_cast<uint8_t>((a[i + 1] + b[i + 1]) / 2);
            o[i + 2] = static_cast<uint8_t>((a[i + 2] + b[i + 2]) / 2);
        }
    }
}

}  // namespace velinor
