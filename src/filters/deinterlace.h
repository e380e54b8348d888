#pragma once
// The comb remover shared by the overlay and the deinterlacer: odd rows that stand out from both
// vertical neighbours are replaced by their average. One Deinterlacer per filter; not shared
// between threads.
#include <cstdint>
#include <vector>

#include "graph/dv_codec.h"

namespace velinor {

// `source` and `output` are 24-bit pictures of the same size (stride may differ). Rows are counted
// from the top of the picture, as the display shows them; odd rows below row 0 and above the last
// row are the only ones written. The masks are kept between calls so a steady stream allocates
// nothing.
class Deinterlacer {
public:
    void DeinterlaceBitmap(const BgrPicture& source, BgrPicture& output);
    // The same on raw buffers: `width` x `height` pixels, rows bottom-up, `stride` bytes each.
    // `output` may not overlap `source`.
    void DeinterlaceRows(const uint8_t* source, uint8_t* output, int width, int height, size_t stride);
    // The same in place on the DV codec's planes, rows top-down. Combing is found on the luma;
    // chroma rows are mended with it where each holds one field (4:1:1), and left as they are
    // where each holds both (4:2:0).
    void DeinterlacePlanes(uint8_t* planes, const DvYuvLayout& layout);

private:
    std::vector<uint8_t> m1_, m2_;
};

}  // namespace velinor
