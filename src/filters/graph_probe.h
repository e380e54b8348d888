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
#include "media/datecode.h"
#include "media/dvcodes.h"

namespace velinor {

// The same fields as the demuxer-based probe's result.
struct GraphProbeResult {
    bool VideoFound = false;
    // VIDEOINFOHEADER: rcSource, rcTarget (0-31), dwBitRate (32), dwBitErrorRate (36),
    // AvgTimePerFrame (40, int64, 100 ns), BITMAPINFOHEADER (48: biSize, biWidth 52, biHeight 56,
    // biPlanes 60, biBitCount 62, biCompression 64, biSizeImage 68, ...).
    std::array<uint8_t, 88> VideoInfo{};
    int64_t VideoDuration = 0;  // 100 ns
    bool AudioFound = false;
    // WAVEFORMATEX: wFormatTag (0), nChannels (2), nSamplesPerSec (4), nAvgBytesPerSec (8),
    // nBlockAlign (12), wBitsPerSample (14), cbSize (16).
    std::array<uint8_t, 18> AudioFormat{};
    int64_t AudioDuration = 0;  // 100 ns
    bool DVInfoFound = false;
    // DVINFO: AAUX source (0), AAUX control (4), second AAUX source (8) and control (12),
    // VAUX source (16), VAUX control (20), two reserved words.
    std::array<uint8_t, 32> DVInfo{};
    int32_t StreamCount = 0;
    bool DVFound = false;
    // Valid only when DVFound: otherwise they keep the previous probe's values.
    bool DatecodeValid = false;
    Datecode DatecodeValue = 0;
    bool TimecodeValid = false;
    Timecode TimecodeValue;
    bool Wide = false;
};

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
