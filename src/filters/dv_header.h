#pragma once
// The DV header rewriter: puts the source frame's saved header, subcode and VAUX areas back into
// re-encoded DV frames, shifts the recording date and time, sets the display format and inserts a
// running datecode. Properties are set by the controlling thread before a run; Transform runs on
// the streaming thread, after the detector it reads has seen the source frame.
#include <cstdint>
#include <span>

#include "filters/dv_scene_detect.h"
#include "media/datecode.h"

namespace velinor {

class Tdv_DVheader {
public:
    static constexpr const char* kName = "Morvane cf_DVHeader";

    // `detector` sits upstream on the same frame path and outlives this filter.
    explicit Tdv_DVheader(Tdv_sceneDetect& detector) : Detector(detector) {}

    // Interleaved DV, or video with subtype "dvsd".
    static bool CheckInputType(const MediaTypeDescription& type) {
        return Tdv_sceneDetect::CheckInputType(type);
    }

    void SetShift(double days) { Shift = days; }
    void SetInsertValue(Datecode value) { InsertValue = value; }

    // Rewrites one frame in place. Returns false for samples that are not DV frames (untouched).
    bool Transform(std::span<uint8_t> frame);

    Tdv_sceneDetect& Detector;
    bool RestoreHeaders = true;
    double Shift = 0;  // days added to every datecode; 0 = none
    bool SetAspect = false;
    bool Wide = false;  // with SetAspect: 16:9
    bool InsertDatecode = false;
    Datecode InsertValue = 0;  // written into the next frame while inserting
};

}  // namespace velinor
