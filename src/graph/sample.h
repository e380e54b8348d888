#pragma once
// One buffer of media moving downstream, with its times and flags. A sample belongs to the
// streaming thread that delivers it; filters that keep one past delivery hold the shared pointer.
#include <cstdint>
#include <memory>
#include <vector>

namespace velinor::graph {

struct Sample {
    std::vector<uint8_t> data;  // size() is the actual length

    bool hasTime = false;
    int64_t start = 0;  // 100 ns, stream position
    int64_t stop = 0;
    bool hasMediaTime = false;
    int64_t mediaStart = 0;  // frame numbers for video and DV streams
    int64_t mediaStop = 0;

    bool syncPoint = true;
    bool discontinuity = false;  // first sample after a start or a seek
    // False when the same buffer goes to more than one consumer (tee): an in-place filter that
    // changes the data then works on its own copy.
    bool writable = true;

    size_t length() const { return data.size(); }
};

using SamplePtr = std::shared_ptr<Sample>;

// Copies everything but the data and the write permission.
inline void CopySampleProperties(const Sample& from, Sample& to) {
    to.hasTime = from.hasTime;
    to.start = from.start;
    to.stop = from.stop;
    to.hasMediaTime = from.hasMediaTime;
    to.mediaStart = from.mediaStart;
    to.mediaStop = from.mediaStop;
    to.syncPoint = from.syncPoint;
    to.discontinuity = from.discontinuity;
}

}  // namespace velinor::graph
