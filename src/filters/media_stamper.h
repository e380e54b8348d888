#pragma once
// Records the media times of the latest sample, so that filters further down the same streaming
// thread know which frame is passing. Transform runs on the streaming thread; readers on the same
// thread, or any thread through the atomic values.
#include <atomic>
#include <cstdint>
#include <optional>

namespace velinor {

class TDV_MediaStamper {
public:
    static constexpr const char* kName = "Morvane DV_Mediastamper";

    // A sample without media times leaves the previous values.
    void Transform(std::optional<int64_t> mediaStart, std::optional<int64_t> mediaStop) {
        if (mediaStart) MediaStart.store(*mediaStart, std::memory_order_relaxed);
        if (mediaStop) MediaStop.store(*mediaStop, std::memory_order_relaxed);
    }
    // The frame number of the latest picture, as readers take it.
    int32_t FrameNumber() const { return static_cast<int32_t>(MediaStart.load(std::memory_order_relaxed)); }

    std::atomic<int64_t> MediaStart{0};
    std::atomic<int64_t> MediaStop{0};
};

}  // namespace velinor
