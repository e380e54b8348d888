#include "graph/dv_segments.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "media/dvcodes.h"

namespace velinor {
namespace {

// The segments' DIF blocks are the video blocks of the frame, each once: never a header,
// subcode, VAUX or audio block.
TEST(DvSegments, BlocksAreTheVideoBlocksOnce) {
    for (const int sequences : {10, 12}) {
        std::set<size_t> seen;
        for (int s = 0; s < sequences * kDvSegmentsPerSequence; ++s)
            for (int b = 0; b < kDvBlocksPerSegment; ++b) {
                const size_t at = DvSegmentBlockOffset(s, b);
                ASSERT_EQ(at % kDifBlockBytes, 0u);
                const size_t inSequence = at % kDifSequenceBytes / kDifBlockBytes;
                ASSERT_GE(inSequence, 7u) << s << "/" << b;
                ASSERT_NE((inSequence - 6) % 16, 0u) << s << "/" << b;  // audio
                ASSERT_LT(at, size_t(sequences) * kDifSequenceBytes);
                ASSERT_TRUE(seen.insert(at).second) << s << "/" << b;
            }
        EXPECT_EQ(seen.size(), size_t(sequences) * 135);
    }
    // Video blocks 0-4 follow the first audio block; the second audio block sits after 15 of them.
    EXPECT_EQ(DvSegmentBlockOffset(0, 0), 7 * kDifBlockBytes);
    EXPECT_EQ(DvSegmentBlockOffset(3, 0), 23 * kDifBlockBytes);
    EXPECT_EQ(DvSegmentBlockOffset(27, 0), kDifSequenceBytes + 7 * kDifBlockBytes);
}

// The learnt map has the macroblocks of consumer DV: each segment holds 5 macroblocks of 4 luma
// blocks, 2 x 2 at 625/50, 4 across at 525/60 except the 2 x 2 ones of the right edge.
TEST(DvSegments, MapHoldsFiveMacroblocksPerSegment) {
    for (const bool is525 : {false, true}) {
        SCOPED_TRACE(is525 ? "525/60" : "625/50");
        const DvSegmentMap* map = DvSegmentMapFor(is525);
        ASSERT_NE(map, nullptr);
        EXPECT_EQ(map, DvSegmentMapFor(is525));  // learnt once
        EXPECT_EQ(map->blocksAcross, 90);
        EXPECT_EQ(map->blocksDown, is525 ? 60 : 72);
        EXPECT_EQ(map->segments, (is525 ? 10 : 12) * kDvSegmentsPerSequence);
        std::map<int, int> macroblocks;  // segment -> macroblocks whose top-left block it holds
        for (int by = 0; by < map->blocksDown; ++by)
            for (int bx = 0; bx < map->blocksAcross; ++bx) {
                const bool rightEdge = is525 && bx >= 88;
                const int w = is525 && !rightEdge ? 4 : 2, h = is525 && !rightEdge ? 1 : 2;
                if (bx % w != 0 || by % h != 0) continue;
                const int s = map->segmentAt(bx * 8, by * 8);
                for (int dy = 0; dy < h; ++dy)
                    for (int dx = 0; dx < w; ++dx)
                        ASSERT_EQ(map->segmentAt((bx + dx) * 8, (by + dy) * 8), s) << bx << "," << by;
                ++macroblocks[s];
            }
        ASSERT_EQ(int(macroblocks.size()), map->segments);
        for (const auto& [segment, count] : macroblocks) ASSERT_EQ(count, kDvBlocksPerSegment) << segment;
    }
}

}  // namespace
}  // namespace velinor
