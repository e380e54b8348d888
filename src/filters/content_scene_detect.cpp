#include "filters/content_scene_detect.h"

#include <algorithm>
#include <cstdlib>

namespace velinor {

void TSceneDetectContenu::StartStreaming() {
    prevSamples_.fill(0);
    History.fill(0);
    hasPrevious_ = false;
    pictures_ = 0;
}

int TSceneDetectContenu::Transform(std::span<const uint8_t> picture) {
    const size_t length = picture.size();
    const size_t available = std::min(length / kStride, kMaxSamples);
    int count = 0;
    for (size_t k = 0; k < kMaxSamples && k * kStride < length; ++k) {
        const uint8_t v = picture[k * kStride];
        if (std::abs(int(v) - int(prevSamples_[k])) > kChangedAbove) ++count;
        prevSamples_[k] = v;
    }
    ++pictures_;
    if (!hasPrevious_) {
        hasPrevious_ = true;
        return 0;
    }
    if (count > kCutFraction * double(available) && count > 2 * History[0] && count > 2 * History[1] &&
        count > 2 * History[2] && OnCut)
        OnCut(Stamper ? Stamper->FrameNumber() : pictures_ - 1);
    History[2] = History[1];
    History[1] = History[0];
    History[0] = count;
    return count;
}

void TSceneDetectContenu::Stop() {
    if (OnCut) {
        const int32_t end =
            Stamper && pictures_ > 0 ? static_cast<int32_t>(Stamper->MediaStop.load()) : pictures_;
        OnCut(end);
    }
    if (OnStop) OnStop();
}

}  // namespace velinor
