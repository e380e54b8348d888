#pragma once
// French texts of durations, frame positions, subtitle times and audio format tags, as the file
// list, the info panel, the scene list and the subtitle files show them. Reentrant; any thread.
#include <cstdint>
#include <string>

namespace velinor {

// Durations are in 100 ns units (10 000 000 = one second).
constexpr int64_t kUnitsPerSecond = 10'000'000;

// The frame durations a video stream can have: from 1000 frames a second to one frame a minute.
// A header outside these (dwScale 0xFFFFFFFF over dwRate 1 is a frame every 136 years) is damaged,
// and a rate conversion must not repeat its frames to fill the time it claims.
constexpr int64_t kShortestFrameDuration = kUnitsPerSecond / 1000;
constexpr int64_t kLongestFrameDuration = 60 * kUnitsPerSecond;
constexpr bool IsPossibleFrameDuration(int64_t duration) {
    return duration >= kShortestFrameDuration && duration <= kLongestFrameDuration;
}

// "1h 02mn 03s 04fr", "2mn 03s 04fr", "3s 04fr" or "4fr". A frame duration that is not positive
// means the frame rate is unknown: the text is then MsDurationText's.
std::string FramesDurationText(int64_t frameDuration, int64_t duration);

// "1h 02mn 03s 004ms", "2mn 03s 004ms", "3s 004ms" or "4millièmes".
std::string MsDurationText(int64_t duration);

// "hh.mm.ss.ff" of frame `frame` at `fps` frames per second; "0:00:00:00" when the rate is not a
// positive finite number.
std::string FramePositionDotted(int32_t frame, double fps);

// "h:mm:ss:ff", "mm:ss:ff" or "ss:ff" (leading zero fields dropped); "??" when the rate is not a
// positive finite number.
std::string FramePositionText(int32_t frame, double fps);

// "hh:mm:ss,mmm" of the start of frame `frame`; "00:00:00,000" when the rate is not a positive
// finite number (the subtitle writer refuses such files before it gets here).
std::string SrtTimeText(int32_t frame, double fps);

// The WAVE_FORMAT_ name of an audio format tag without its prefix, or "Inconnu".
std::string WaveFormatName(uint16_t formatTag);

}  // namespace velinor
