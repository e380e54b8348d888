#pragma once
// Scene details taken from the preview: the scene record's loader positions the preview on a
// frame and reads the datecode filter's values and the overlay's snapshot there. Callable from
// any thread; the preview runs the calls on the thread that owns it.
#include "filters/dv_frame_info.h"
#include "scenes/scene.h"

namespace velinor {

class Tviewdm;

// The datecode and timecode a scene record takes from a decoded frame's values.
SceneFrameValues SceneFrameValuesOf(const TDVFrameInfo& frame);

class TviewdmSceneSource : public SceneDetailsSource {
public:
    explicit TviewdmSceneSource(Tviewdm& preview) : preview_(preview) {}

    // Empty when the preview has no file with a frame rate, when `frame` lies outside its range
    // or when no picture came within the preview's bounded wait.
    std::optional<SceneFrameValues> seekFrame(uint32_t frame) override;
    ScenePicture snapshot() override;

private:
    Tviewdm& preview_;
};

}  // namespace velinor
