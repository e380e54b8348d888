#include "commands/viewdm_scene_source.h"

#include "commands/viewdm.h"

namespace velinor {

SceneFrameValues SceneFrameValuesOf(const TDVFrameInfo& frame) {
    SceneFrameValues values;
    values.datecodeValid = frame.DatecodeValid;
    values.datecode = frame.Datecode;
    values.timecodeValid = frame.TimecodeValid;
    values.tcHours = frame.Timecode.Hours;
    values.tcMinutes = frame.Timecode.Minutes;
    values.tcSeconds = frame.Timecode.Seconds;
    values.tcFrames = frame.Timecode.Frames;
    return values;
}

std::optional<SceneFrameValues> TviewdmSceneSource::seekFrame(uint32_t frame) {
    std::optional<SceneFrameValues> values;
    // One call on the owner thread, so that nothing moves the preview between the seek and the read.
    preview_.RunOnOwner([&] {
        if (!preview_.Opened || !preview_.FrameFormat()) return;
        if (int64_t(frame) < preview_.RangeFirst || int64_t(frame) > preview_.RangeLast) return;
        preview_.SeekTo(frame);
        if (!preview_.PictureShown() || preview_.CurrentPosition() != int64_t(frame)) return;
        values = SceneFrameValuesOf(preview_.CurrentFrameValues());
    });
    return values;
}

ScenePicture TviewdmSceneSource::snapshot() {
    ScenePicture picture;
    int width = 0, height = 0;
    std::vector<uint8_t> pixels;
    if (!preview_.SnapshotPicture(width, height, pixels)) return picture;
    // The snapshot's rows are padded as a scene picture's are.
    if (pixels.size() < size_t(ScenePicture::stride(width)) * size_t(height)) return picture;
    picture.width = width;
    picture.height = height;
    picture.pixels = std::move(pixels);
    return picture;
}

}  // namespace velinor
