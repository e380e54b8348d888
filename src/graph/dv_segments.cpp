#include "graph/dv_segments.h"

#include <cstring>
#include <memory>
#include <mutex>
#include <random>

#include "graph/dv_codec.h"
#include "media/dvcodes.h"

namespace velinor {

namespace {

// Inside a sequence, after the 6 header, subcode and VAUX blocks, each audio block is followed by
// 15 video blocks.
constexpr int kVideoBlocksPerRun = 15;

std::vector<uint8_t> NoisePlanes(const DvYuvLayout& layout, uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<uint8_t> planes(layout.bytes());
    for (uint8_t& v : planes) v = static_cast<uint8_t>(16 + random() % 220);
    return planes;
}

std::unique_ptr<DvSegmentMap> Learn(bool is525) {
    try {
        const DvYuvLayout layout = DvYuvLayout::For(is525);
        DvEncoder encoder(is525, false);
        DvDecoder decoder;
        std::vector<uint8_t> a, b;
        if (!encoder.encodeYuv(NoisePlanes(layout, 1), a) || !encoder.encodeYuv(NoisePlanes(layout, 2), b) ||
            a.size() != b.size())
            return nullptr;
        auto map = std::make_unique<DvSegmentMap>();
        map->is525 = is525;
        map->blocksAcross = layout.width / 8;
        map->blocksDown = layout.height / 8;
        map->segments = DifSequenceCount(a.size()) * kDvSegmentsPerSequence;
        if (map->segments == 0) return nullptr;
        const size_t blocks = static_cast<size_t>(map->blocksAcross) * static_cast<size_t>(map->blocksDown);
        map->segmentOfBlock.assign(blocks, 0);

        std::vector<uint8_t> reference, mixed;
        bool system = false;
        if (!decoder.decodeYuv(a, reference, system) || system != is525) return nullptr;
        // Blocks whose luma differs from the reference once the chosen segments come from `b`.
        const auto changedBlocks = [&](const auto& fromB) -> std::vector<bool> {
            std::vector<uint8_t> frame = a;
            for (int s = 0; s < map->segments; ++s)
                if (fromB(s)) CopyDvSegment(b, frame, s);
            std::vector<bool> changed(blocks, false);
            if (!decoder.decodeYuv(frame, mixed, system)) return {};
            for (int y = 0; y < layout.height; ++y)
                for (int x = 0; x < layout.width; ++x) {
                    const size_t i =
                        static_cast<size_t>(y) * static_cast<size_t>(layout.width) + static_cast<size_t>(x);
                    if (mixed[i] != reference[i])
                        changed[static_cast<size_t>(y / 8) * static_cast<size_t>(map->blocksAcross) +
                                static_cast<size_t>(x / 8)] = true;
                }
            return changed;
        };
        // Every block must follow its segment.
        const std::vector<bool> all = changedBlocks([](int) { return true; });
        if (all.size() != blocks) return nullptr;
        for (const bool c : all)
            if (!c) return nullptr;
        // One decode per bit of the segment number.
        for (int bit = 0; (1 << bit) < map->segments; ++bit) {
            const std::vector<bool> changed = changedBlocks([bit](int s) { return (s >> bit) & 1; });
            if (changed.size() != blocks) return nullptr;
            for (size_t i = 0; i < blocks; ++i)
                if (changed[i])
                    map->segmentOfBlock[i] = static_cast<uint16_t>(map->segmentOfBlock[i] | (1u << bit));
        }
        // A segment codes 5 macroblocks of 4 luma blocks each.
        std::vector<int> count(static_cast<size_t>(map->segments), 0);
        for (const uint16_t s : map->segmentOfBlock) {
            if (s >= map->segments) return nullptr;
            ++count[s];
        }
        for (const int c : count)
            if (c != kDvBlocksPerSegment * 4) return nullptr;
        return map;
    } catch (const CodecError&) {
        return nullptr;
    }
}

}  // namespace

size_t DvSegmentBlockOffset(int segment, int block) {
    const int sequence = segment / kDvSegmentsPerSequence;
    const int video = (segment % kDvSegmentsPerSequence) * kDvBlocksPerSegment + block;
    const int difBlock =
        6 + (video / kVideoBlocksPerRun) * (kVideoBlocksPerRun + 1) + 1 + video % kVideoBlocksPerRun;
    return static_cast<size_t>(sequence) * kDifSequenceBytes + static_cast<size_t>(difBlock) * kDifBlockBytes;
}

void CopyDvSegment(std::span<const uint8_t> from, std::span<uint8_t> to, int segment) {
    for (int block = 0; block < kDvBlocksPerSegment; ++block) {
        const size_t at = DvSegmentBlockOffset(segment, block);
        if (at + kDifBlockBytes > from.size() || at + kDifBlockBytes > to.size()) return;
        std::memcpy(to.data() + at, from.data() + at, kDifBlockBytes);
    }
}

void TouchedSegments::Put(int64_t frame, std::vector<uint8_t> touched) {
    auto segments = std::make_shared<const std::vector<uint8_t>>(std::move(touched));
    std::lock_guard lock(mutex_);
    frames_[frame] = std::move(segments);
}

TouchedSegments::Segments TouchedSegments::Find(int64_t frame) const {
    std::lock_guard lock(mutex_);
    const auto it = frames_.find(frame);
    return it == frames_.end() ? nullptr : it->second;
}

TouchedSegments::Segments TouchedSegments::Take(int64_t frame) {
    std::lock_guard lock(mutex_);
    Segments found;
    if (const auto it = frames_.find(frame); it != frames_.end()) found = it->second;
    frames_.erase(frames_.begin(), frames_.upper_bound(frame));
    return found;
}

void TouchedSegments::Clear() {
    std::lock_guard lock(mutex_);
    frames_.clear();
}

const DvSegmentMap* DvSegmentMapFor(bool is525) {
    static std::once_flag once[2];
    static std::unique_ptr<DvSegmentMap> maps[2];
    const int i = is525 ? 1 : 0;
    std::call_once(once[i], [&] { maps[i] = Learn(is525); });
    return maps[i].get();
}

}  // namespace velinor
