#pragma once
// The video segments of a DV frame: each DIF sequence holds 27 of them, 5 DIF blocks each, and
// each segment codes 5 macroblocks spread over the picture, on its own. A frame whose picture
// changes only in some macroblocks can therefore keep every other segment byte for byte.
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

namespace velinor {

constexpr int kDvSegmentsPerSequence = 27;
constexpr int kDvBlocksPerSegment = 5;

// Which segment codes each 8 x 8 block of the picture's luma, as the DV codec lays them out.
struct DvSegmentMap {
    bool is525 = false;
    int blocksAcross = 0;  // 8 x 8 luma blocks
    int blocksDown = 0;
    int segments = 0;                      // 270 at 525/60, 324 at 625/50
    std::vector<uint16_t> segmentOfBlock;  // blocksAcross x blocksDown, rows from the top

    int segmentAt(int x, int y) const {
        return segmentOfBlock[static_cast<size_t>(y / 8) * static_cast<size_t>(blocksAcross) +
                              static_cast<size_t>(x / 8)];
    }
};

// The map of one system, learnt once per process from the codec itself: two different pictures
// are encoded, and frames that take some segments from one and the rest from the other are
// decoded to see which blocks each segment holds. Null when the codec cannot be set up or its
// frames do not split into segments that way. Thread-safe.
const DvSegmentMap* DvSegmentMapFor(bool is525);

// The video segments each burnt-in picture changed (one byte per segment, in frame order,
// non-zero when changed), handed from the overlay to the encoder, which codes only those, and to
// the filter after it, which puts the source frame's own segments back everywhere else. Keyed by
// frame number. Any thread.
class TouchedSegments {
public:
    using Segments = std::shared_ptr<const std::vector<uint8_t>>;
    void Put(int64_t frame, std::vector<uint8_t> touched);
    // The segments of `frame`; null when the overlay left the frame whole.
    Segments Find(int64_t frame) const;
    // The same, forgetting it and every earlier frame.
    Segments Take(int64_t frame);
    void Clear();

private:
    mutable std::mutex mutex_;
    std::map<int64_t, Segments> frames_;
};

// The byte offset in a frame of DIF block `block` (0-4) of video segment `segment`.
size_t DvSegmentBlockOffset(int segment, int block);
// Copies the DIF blocks of `segment` from one frame of the system to another.
void CopyDvSegment(std::span<const uint8_t> from, std::span<uint8_t> to, int segment);

}  // namespace velinor
