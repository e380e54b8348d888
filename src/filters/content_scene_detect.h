#pragma once
// Finds scene cuts from the picture itself: a sparse sample of bytes is compared with the same
// bytes of the previous picture, and a cut is a picture where many changed, both in absolute terms
// and against the recent pictures. Transform runs on the streaming thread; StartStreaming and Stop
// on the controlling thread, never during a Transform.
#include <array>
#include <cstdint>
#include <functional>
#include <span>

#include "filters/media_stamper.h"

namespace velinor {

class TSceneDetectContenu {
public:
    static constexpr const char* kName = "Morvane SceneContenuDetecter";
    static constexpr size_t kStride = 397;  // bytes between samples
    static constexpr size_t kMaxSamples = 10'000;
    static constexpr int kChangedAbove = 16;     // a byte changed when it moved by more than this
    static constexpr double kCutFraction = 0.3;  // of the samples a picture holds

    using CutHook = std::function<void(int32_t frame)>;
    using StopHook = std::function<void()>;

    // Every run starts without a previous picture, so a file's first picture is never compared
    // with what an earlier run saw last.
    void StartStreaming();
    // One picture (any byte layout). Returns the number of changed samples.
    int Transform(std::span<const uint8_t> picture);
    // Closes the last scene at the stream's frame count (the stamper's stop time of the last
    // picture), then calls OnStop.
    void Stop();

    TDV_MediaStamper* Stamper = nullptr;  // not owned
    CutHook OnCut;
    StopHook OnStop;
    // Change counts of the three previous pictures, latest first.
    std::array<int, 3> History{};

private:
    std::array<uint8_t, kMaxSamples> prevSamples_{};
    bool hasPrevious_ = false;
    int32_t pictures_ = 0;
};

}  // namespace velinor
