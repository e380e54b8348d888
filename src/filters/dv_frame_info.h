#pragma once
// The per-frame record of the datecode scene detector: what one DV frame carried. A plain value,
// copied whole; read by the overlay, the preview, and the scene and subtitle writers.
#include <cstdint>

#include "media/datecode.h"
#include "media/dvcodes.h"

namespace velinor {

// Fields whose pack is missing in a frame keep the preceding frame's value (Timecode, Wide, Is525
// and the audio fields); Datecode is 0 when the frame has none.
struct TDVFrameInfo {
    int32_t Frame = 0;  // index of the DV frame since streaming started
    bool DatecodeValid = false;
    bool TimecodeValid = false;  // a title timecode pack was found
    bool AuxValid = false;       // both an AAUX source and a VAUX source control pack were found
    velinor::Datecode Datecode = 0;
    velinor::Timecode Timecode;
    bool Wide = false;           // 16:9
    bool Is525 = false;          // 525/60
    int32_t AudioFrequency = 0;  // Hz
    int32_t AudioBits = 0;       // 16, 12 or 0
    int32_t AudioChannels = 0;
    bool operator==(const TDVFrameInfo&) const = default;
};

}  // namespace velinor
