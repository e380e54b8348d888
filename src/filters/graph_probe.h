#pragma once
// The file probe built on a media graph: a small graph per file (AVI source and splitter, the
// datecode scene detector, a DV splitter for interleaved streams, a sink) tells what the file's
// streams are, their formats and durations, and the datecode, timecode and aspect of its first
// DV frames. One probe at a time per instance; callers hold the record-construction lock around
// ProbeFile and the reading of Result.
#include <array>
#include <cstdint>
#include <string>

#include "filters/dv_scene_detect.h"
#include "filters/probe.h"
#include "media/datecode.h"
#include "media/dvcodes.h"

namespace velinor {

// The same result as the demuxer-based probe gives.
using GraphProbeResult = ProbeResult;

class GraphProbe {
public:
    // A DV stream's frames run through the detector until one carries a datecode, at most this
    // many; the values kept are those of the last frame processed.
    static constexpr int kProbeFrames = 5;

    GraphProbe();

    // Fills Result. False when the file cannot be loaded as an AVI file, or when an interleaved
    // stream cannot be connected to the DV splitter. With `videoAsDvsd` the video stream's codec
    // is taken as "dvsd" whatever the file declares; the file itself is only ever read.
    bool ProbeFile(const std::string& path, bool videoAsDvsd = false);

    GraphProbeResult Result;

private:
    Tdv_sceneDetect detector_;
};

}  // namespace velinor
