#pragma once
// Real DV frames for tests: pictures from FFmpeg's dvvideo encoder, packs from our own writers.
// Pictures are encoded once per system, aspect and picture index, then copied, so building
// thousands of frames is cheap. Not thread-safe beyond the one lock it takes.
#include <string>
#include <vector>

#include "graph/dv_frame_maker.h"

namespace velinor::test {

using DvFrame = std::vector<uint8_t>;

// A clip as scenes (each with its own starting date and time), a running timecode and audio.
using DvStreamRecipe = DvClip;

struct DvFrameOptions {
    bool is525 = false;
    bool wide = false;
    DvFramePacks packs;
    int pictureIndex = 0;
};

DvFrame BuildDvFrame(const DvFrameOptions& options);
std::vector<DvFrame> BuildDvStream(const DvStreamRecipe& clip);
// One frame per entry of `packs`, for streams whose every frame is chosen by the test.
std::vector<DvFrame> BuildDvStream(bool is525, bool wide, const std::vector<DvFramePacks>& packs);

// Writes the frames one after another, as a raw .dv file.
void WriteRawDv(const std::string& path, const std::vector<DvFrame>& frames);

}  // namespace velinor::test
