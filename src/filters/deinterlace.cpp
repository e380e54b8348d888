#include "filters/deinterlace.h"

#include <cstring>

namespace velinor {

namespace {

// A pixel brighter or darker than both vertical neighbours, weighted like luminance (R 3, G 6,
// B 1), counts as combed above this value.
constexpr int kCombThreshold = 3001;
// The same on studio-range luma (219 steps for 255): a grey step of d counts 10 d^2 above, and
// (219/255 d)^2 here.
constexpr int kLumaCombThreshold = 221;

// Luma samples of a combed row where the mask is set take the average of the rows around them.
void MendRow(uint8_t* __restrict row, const uint8_t* __restrict above, const uint8_t* __restrict below,
             const uint8_t* __restrict mask, size_t width) {
    for (size_t x = 0; x < width; ++x) {
        const uint8_t mended = static_cast<uint8_t>((above[x] + below[x]) / 2);
        row[x] = mask[x] ? mended : row[x];
    }
}

// 1 where an odd row stands out from both neighbours on the luma.
void FindCombing(const uint8_t* __restrict above, const uint8_t* __restrict row,
                 const uint8_t* __restrict below, uint8_t* __restrict mask, size_t width, int threshold) {
    for (size_t x = 0; x < width; ++x)
        mask[x] = (above[x] - row[x]) * (below[x] - row[x]) >= threshold ? 1 : 0;
}

// Isolated detections are noise, not combing: a detection stands only beside another.
void KeepNeighbouredDetections(const uint8_t* __restrict found, uint8_t* __restrict mask, size_t width) {
    if (width < 2) {
        if (width) mask[0] = 0;
        return;
    }
    mask[0] = found[0] & found[1];
    for (size_t x = 1; x + 1 < width; ++x) mask[x] = found[x] & (found[x - 1] | found[x + 1]);
    mask[width - 1] = found[width - 1] & found[width - 2];
}

// Chroma samples of a combed row where any of the `step` luma samples they cover is mended.
void MendChromaRow(uint8_t* __restrict row, const uint8_t* __restrict above, const uint8_t* __restrict below,
                   const uint8_t* __restrict mask, size_t width, size_t step) {
    for (size_t x = 0; x < width; ++x) {
        bool combed = false;
        for (size_t k = 0; k < step && !combed; ++k) combed = mask[x * step + k] != 0;
        if (combed) row[x] = static_cast<uint8_t>((above[x] + below[x]) / 2);
    }
}
// The same where each chroma sample covers four luma samples (4:1:1).
void MendChromaRow4(uint8_t* __restrict row, const uint8_t* __restrict above, const uint8_t* __restrict below,
                    const uint8_t* __restrict mask, size_t width) {
    for (size_t x = 0; x < width; ++x) {
        uint32_t four;
        std::memcpy(&four, mask + 4 * x, 4);
        const uint8_t mended = static_cast<uint8_t>((above[x] + below[x]) / 2);
        row[x] = four ? mended : row[x];
    }
}

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

void Deinterlacer::DeinterlacePlanes(uint8_t* planes, const DvYuvLayout& layout) {
    const int height = layout.height;
    if (layout.width <= 0 || height <= 2) return;
    const size_t w = static_cast<size_t>(layout.width);
    // One odd row at a time: its mask needs only its own row and the even rows around it, which
    // stay as they are, so the work is in place and the masks are one row each.
    m1_.resize(w);
    m2_.resize(w);
    uint8_t* found = m1_.data();
    uint8_t* mask = m2_.data();
    const bool chromaByRow = layout.chromaHeight == height && layout.chromaWidth > 0;
    const size_t cw = static_cast<size_t>(layout.chromaWidth);
    const size_t step = chromaByRow ? w / cw : 0;
    uint8_t* cb = planes + layout.lumaBytes();
    uint8_t* cr = cb + layout.chromaBytes();
    for (int y = 1; y < height - 1; y += 2) {
        uint8_t* c = planes + w * static_cast<size_t>(y);
        const uint8_t* a = c - w;
        const uint8_t* b = c + w;
        FindCombing(a, c, b, found, w, kLumaCombThreshold);
        KeepNeighbouredDetections(found, mask, w);
        MendRow(c, a, b, mask, w);
        if (!chromaByRow) continue;
        for (uint8_t* plane : {cb, cr}) {
            uint8_t* row = plane + cw * static_cast<size_t>(y);
            if (step == 4)
                MendChromaRow4(row, row - cw, row + cw, mask, cw);
            else
                MendChromaRow(row, row - cw, row + cw, mask, cw, step);
        }
    }
}

}  // namespace velinor
