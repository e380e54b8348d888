#include "media/fpsunit.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <optional>
#include <string_view>

namespace velinor {

namespace {

// Rounds to the nearest integer, ties to the even one, whatever the floating-point mode.
double roundHalfEven(double x) {
    const double down = std::floor(x);
    const double diff = x - down;
    if (diff > 0.5) return down + 1;
    if (diff < 0.5) return down;
    return std::fmod(down, 2.0) == 0 ? down : down + 1;
}

// Beyond this a count no longer fits a 64-bit integer exactly enough to print.
constexpr double kLargestCount = 9.0e15;

// Whole seconds and remaining frames of a frame position; empty when `fps` is not a positive
// finite rate, or so small that the seconds cannot be counted.
struct SecondsAndFrames {
    int64_t secs;
    int64_t frames;
};
std::optional<SecondsAndFrames> splitPosition(int32_t frame, double fps) {
    if (!std::isfinite(fps) || fps <= 0) return std::nullopt;
    const double secs = std::trunc(frame / fps);
    if (std::fabs(secs) > kLargestCount) return std::nullopt;
    const double frames = roundHalfEven(frame - fps * secs);
    return SecondsAndFrames{static_cast<int64_t>(secs), static_cast<int64_t>(frames)};
}

template <typename... Args>
std::string textf(const char* format, Args... args) {
    char buf[96];
    const int n = std::snprintf(buf, sizeof buf, format, args...);
    return std::string(buf, static_cast<size_t>(std::clamp(n, 0, static_cast<int>(sizeof buf) - 1)));
}

using ll = long long;

// The text of a duration split into hours, minutes, seconds and a sub-second part; the
// sub-second part alone uses `alone` as its unit.
std::string durationText(int64_t duration, int64_t part, const char* const formats[3], const char* alone) {
    const int64_t t = duration / kUnitsPerSecond;
    const ll s = t % 60;
    const ll m = (t / 60) % 60;
    const ll h = (t / 60) / 60;
    if (h > 0) return textf(formats[0], h, m, s, static_cast<ll>(part));
    if (m > 0) return textf(formats[1], m, s, static_cast<ll>(part));
    if (s <= 0) return textf("%lld%s", static_cast<ll>(part), alone);
    return textf(formats[2], s, static_cast<ll>(part));
}

struct WaveFormat {
    uint16_t tag;
    std::string_view name;
};
// Sorted by tag. 98 and 117 are two Voxware codecs with one name.
constexpr WaveFormat kWaveFormats[] = {
    {1, "PCM"},
    {2, "ADPCM"},
    {3, "IEEE_FLOAT"},
    {5, "IBM_CVSD"},
    {6, "ALAW"},
    {7, "MULAW"},
    {16, "OKI_ADPCM"},
    {17, "DVI_ADPCM"},
    {18, "MEDIASPACE_ADPCM"},
    {19, "SIERRA_ADPCM"},
    {20, "G723_ADPCM"},
    {21, "DIGISTD"},
    {22, "DIGIFIX"},
    {23, "DIALOGIC_OKI_ADPCM"},
    {24, "MEDIAVISION_ADPCM"},
    {32, "YAMAHA_ADPCM"},
    {33, "SONARC"},
    {34, "DSPGROUP_TRUESPEECH"},
    {35, "ECHOSC1"},
    {36, "AUDIOFILE_AF36"},
    {37, "APTX"},
    {38, "AUDIOFILE_AF10"},
    {48, "DOLBY_AC2"},
    {49, "GSM610"},
    {50, "MSNAUDIO"},
    {51, "ANTEX_ADPCME"},
    {52, "CONTROL_RES_VQLPC"},
    {53, "DIGIREAL"},
    {54, "DIGIADPCM"},
    {55, "CONTROL_RES_CR10"},
    {56, "NMS_VBXADPCM"},
    {57, "CS_IMAADPCM"},
    {58, "ECHOSC3"},
    {59, "ROCKWELL_ADPCM"},
    {60, "ROCKWELL_DIGITALK"},
    {61, "XEBEC"},
    {64, "G721_ADPCM"},
    {65, "G728_CELP"},
    {80, "MPEG"},
    {85, "MP3"},
    {96, "CIRRUS"},
    {97, "ESPCM"},
    {98, "VOXWARE"},
    {99, "CANOPUS_ATRAC"},
    {100, "G726_ADPCM"},
    {101, "G722_ADPCM"},
    {102, "DSAT"},
    {103, "DSAT_DISPLAY"},
    {117, "VOXWARE"},
    {128, "SOFTSOUND"},
    {256, "RHETOREX_ADPCM"},
    {512, "CREATIVE_ADPCM"},
    {514, "CREATIVE_FASTSPEECH8"},
    {515, "CREATIVE_FASTSPEECH10"},
    {544, "QUARTERDECK"},
    {768, "FM_TOWNS_SND"},
    {1024, "BTV_DIGITAL"},
    {4096, "OLIGSM"},
    {4097, "OLIADPCM"},
    {4098, "OLICELP"},
    {4099, "OLISBC"},
    {4100, "OLIOPR"},
    {4352, "LH_CODEC"},
    {5120, "NORRIS"},
};
static_assert(std::size(kWaveFormats) == 64);
static_assert(std::adjacent_find(std::begin(kWaveFormats), std::end(kWaveFormats),
                                 [](const WaveFormat& a, const WaveFormat& b) { return a.tag >= b.tag; }) ==
              std::end(kWaveFormats));

}  // namespace

std::string FramesDurationText(int64_t frameDuration, int64_t duration) {
    if (frameDuration <= 0) return MsDurationText(duration);
    static const char* const kFormats[3] = {"%lldh %.2lldmn %.2llds %.2lldfr", "%lldmn %.2llds %.2lldfr",
                                            "%llds %.2lldfr"};
    return durationText(duration, (duration % kUnitsPerSecond) / frameDuration, kFormats, "fr");
}

std::string MsDurationText(int64_t duration) {
    static const char* const kFormats[3] = {"%lldh %.2lldmn %.2llds %.3lldms", "%lldmn %.2llds %.3lldms",
                                            "%llds %.3lldms"};
    return durationText(duration, (duration % kUnitsPerSecond) / 10'000, kFormats, "millièmes");
}

std::string FramePositionDotted(int32_t frame, double fps) {
    const auto p = splitPosition(frame, fps);
    if (!p) return "0:00:00:00";
    return textf("%.2lld.%.2lld.%.2lld.%.2lld", static_cast<ll>(p->secs / 3600),
                 static_cast<ll>((p->secs / 60) % 60), static_cast<ll>(p->secs % 60),
                 static_cast<ll>(p->frames));
}

std::string FramePositionText(int32_t frame, double fps) {
    const auto p = splitPosition(frame, fps);
    if (!p) return "??";
    const ll h = p->secs / 3600;
    const ll m = (p->secs / 60) % 60;
    const ll s = p->secs % 60;
    const ll ff = p->frames;
    if (h > 0) return textf("%lld:%.2lld:%.2lld:%.2lld", h, m, s, ff);
    if (m <= 0) return textf("%.2lld:%.2lld", s, ff);
    return textf("%.2lld:%.2lld:%.2lld", m, s, ff);
}

std::string SrtTimeText(int32_t frame, double fps) {
    if (!std::isfinite(fps) || fps <= 0) return "00:00:00,000";
    const double exact = frame * 1000.0 / fps;
    if (!(std::fabs(exact) <= kLargestCount)) return "00:00:00,000";
    const auto total = static_cast<int64_t>(roundHalfEven(exact));
    const ll ms = total % 1000;
    const int64_t t = total / 1000;
    return textf("%.2lld:%.2lld:%.2lld,%.3lld", static_cast<ll>((t / 60) / 60),
                 static_cast<ll>((t / 60) % 60), static_cast<ll>(t % 60), ms);
}

std::string WaveFormatName(uint16_t formatTag) {
    const auto* it = std::lower_bound(std::begin(kWaveFormats), std::end(kWaveFormats), formatTag,
                                      [](const WaveFormat& w, uint16_t tag) { return w.tag < tag; });
    if (it == std::end(kWaveFormats) || it->tag != formatTag) return "Inconnu";
    return std::string(it->name);
}

}  // namespace velinor
