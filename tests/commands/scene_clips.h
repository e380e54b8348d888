#pragma once
// DV clips for the scene command tests: runs of real encoder frames with chosen packs, written
// as type 1 or type 2 AVI files, and the scene starts the datecode rules give them.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "media/datecode.h"

namespace velinor::test {

// A run of frames with the same kind of packs: a recording clock starting at `start` (none: no
// datecode), the audio sampling rate and the picture. The clock advances one second per 25 frames.
struct Segment {
    int frames;
    std::optional<DatecodeFields> start;
    int32_t audioRate = 48'000;
    int picture = 0;
};

DatecodeFields SecondsAfter(const DatecodeFields& fields, int64_t seconds);
// PAL frames, 4:3.
std::vector<std::vector<uint8_t>> FramesOf(const std::vector<Segment>& segments);
// Type 2 files get 48 kHz audio whose bytes all hold the frame's number (mod 256).
void WriteAvi(const std::string& path, const std::vector<std::vector<uint8_t>>& frames, bool type1);
// Where a new scene starts, by the datecode scene rules, computed from the packs each frame got.
std::vector<uint32_t> ExpectedStarts(const std::vector<Segment>& segments);

}  // namespace velinor::test
