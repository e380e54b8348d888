#pragma once
// A DV AVI clip as a camcorder's capture gives it, for the widget tests and the benchmarks.
#include <string>

#include "media/dvcodes.h"

namespace velinor::test {

// Writes a type 1 DV AVI clip of `frames` frames from the project's encoder, recorded from
// `date` on (the clock advancing with the frames), title timecode 00.01.02.03 and 48 kHz 16-bit
// stereo sound; PAL 4:3 unless told.
void WriteDvClip(const std::string& path, const DatecodeFields& date, int frames = 6, bool is525 = false,
                 bool wide = false);

}  // namespace velinor::test
