#pragma once
// Synthetic DV clips as a camcorder records them: real DV pictures from the encoder, with the
// recording date and time, the title timecode and the audio source packs laid out as on tape.
// Used by the sample clips and the tests. One thread at a time.
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "graph/dv_codec.h"
#include "media/dvcodes.h"

namespace velinor {

// What one frame carries besides its picture.
struct DvFramePacks {
    std::optional<DatecodeFields> datecode;  // none: the date and time packs stay empty
    std::optional<Timecode> timecode;        // none: no title timecode pack
    std::optional<AudioInfo> audio;          // none: no AAUX source pack, audio blocks empty
    bool operator==(const DvFramePacks&) const = default;
};

// A picture of colour bars; each index shifts the bars, so two indexes never look alike.
BgrPicture MakeBarsPicture(int width, int height, int index);

class DvFrameMaker {
public:
    DvFrameMaker(bool is525, bool wide);  // throws CodecError

    bool is525() const { return encoder_.is525(); }
    bool wide() const { return encoder_.wide(); }
    size_t frameBytes() const { return encoder_.frameBytes(); }

    // Fills `frame` with picture `pictureIndex` (encoded once, then copied) and the packs.
    // Subcode slots 0 and 3 of each block hold the timecode, the others the date and time; VAUX
    // packs 2, 3, 11 and 12 of each VAUX block hold the date and time.
    void make(const DvFramePacks& packs, int pictureIndex, std::vector<uint8_t>& frame);

private:
    const std::vector<uint8_t>& picture(int index);

    DvEncoder encoder_;
    std::map<int, std::vector<uint8_t>> pictures_;
};

// A clip: a run of scenes, each a number of frames whose recording clock starts at a given date
// and time and then advances with the frames (one second per 25 frames, or per 30 at 525/60).
struct DvScene {
    int frames = 25;
    std::optional<DatecodeFields> start;  // none: the scene has no date and time
    int pictureIndex = 0;
};

struct DvClip {
    bool is525 = false;
    bool wide = false;
    std::vector<DvScene> scenes = {DvScene{}};
    std::optional<Timecode> timecode;  // of the first frame; it counts on through every scene
    std::optional<AudioInfo> audio;
};

// Frames a clip holds, and the packs of frame `index` of the clip.
int ClipFrameCount(const DvClip& clip);
DvFramePacks ClipFramePacks(const DvClip& clip, int index);

// Makes every frame of the clip in order and hands it to `sink`; stops early when `sink` returns
// false. Returns false in that case.
bool MakeClip(const DvClip& clip, const std::function<bool(const std::vector<uint8_t>&)>& sink);

// The fields `seconds` after `fields`; `fields` must make a valid datecode.
DatecodeFields AddSeconds(const DatecodeFields& fields, int64_t seconds);

}  // namespace velinor
