#pragma once
// In-place repair of an AVI file's video codec code and frame rate: finding the byte positions
// of those header fields, reading the handler, and overwriting those few bytes.
// Stateless; calls on different files may run on any thread, one patch per file at a time.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "media/avi_param.h"

namespace velinor {

// File positions of the video stream's header fields; -1 when not found. When a file has several
// video streams ("vids" or "iavs"), all three belong to the last one scanned.
struct PatchPositions {
    int64_t HandlerPos = -1;      // strh body + 4: fccHandler
    int64_t ScalePos = -1;        // strh body + 20: dwScale, then dwRate
    int64_t CompressionPos = -1;  // strf body + 16: biCompression, "vids" streams only
    bool operator==(const PatchPositions&) const = default;
};

PatchPositions ScanPatchPositions(const RiffSource& source);
// A file that does not exist or cannot be read gives no positions.
PatchPositions ScanPatchPositions(const std::string& path);

// The first four bytes of `text`, padded with zero bytes.
FourCC FourCCFromText(std::string_view text);

// The video stream's fccHandler as stored; empty without a video stream header or when the
// file cannot be read.
std::optional<FourCC> ReadVideoHandler(const std::string& path);

// The outcome of a patch. Error is a French message naming the file when Ok is false.
struct PatchResult {
    bool Ok = false;
    std::string Error;
    explicit operator bool() const { return Ok; }
};

// Writes `code` over the video stream's fccHandler and, for "vids" streams, biCompression.
// Fails when neither field exists, and on any error; a failed second write restores the first.
PatchResult WriteVideoFourCC(const std::string& path, FourCC code);

// Writes dwScale := round(1 000 000 / fps) and dwRate := 1 000 000 into the video stream header.
// Refuses a rate that is not finite, not positive, or gives a scale outside 1..2^32-1.
PatchResult WriteFrameRate(const std::string& path, double fps);

}  // namespace velinor
