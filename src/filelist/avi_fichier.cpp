#include "filelist/avi_fichier.h"

#include <sys/stat.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "filters/probe.h"
#include "media/avi_param.h"
#include "media/fpsunit.h"

namespace velinor {
namespace {

std::mutex gFormatMutex;
std::shared_ptr<const DatePattern> gFormat = std::make_shared<const DatePattern>(" ddddd tt");

int64_t Get64(const uint8_t* p) {
    return int64_t(Le64(p));
}
int32_t GetI32(const uint8_t* p) {
    return int32_t(Le32(p));
}

// Rounds to the nearest integer, ties to even.
double RoundEven(double v) {
    return std::nearbyint(v);
}

int32_t ClampInt32(double v) {
    if (!std::isfinite(v)) return 0;
    return int32_t(std::clamp(v, double(INT32_MIN), double(INT32_MAX)));
}

bool Exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

// The path with its extension (after the last "." of the name) replaced, or `ext` appended.
std::string WithExtension(const std::string& path, const char* ext) {
    const size_t slash = path.rfind('/');
    const size_t dot = path.rfind('.');
    const bool hasExt = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (hasExt ? path.substr(0, dot) : path) + ext;
}

std::string ChannelsTextOf(int channels) {
    switch (channels) {
        case 0:
            return "aucun canal";
        case 1:
            return " mono";
        case 2:
            return " stéréo";
        default:
            return " stéréo (" + std::to_string(channels) + ")";
    }
}

}  // namespace

std::mutex& RecordConstructionLock() {
    static std::mutex lock;
    return lock;
}

void SetFormatAfficherDatecode(const std::string& pattern) {
    auto compiled = std::make_shared<const DatePattern>(pattern);
    std::lock_guard lock(gFormatMutex);
    gFormat = std::move(compiled);
}

std::shared_ptr<const DatePattern> FormatAfficherDatecode() {
    std::lock_guard lock(gFormatMutex);
    return gFormat;
}

TaviFichier::TaviFichier(const std::string& path) : TSRFichier(path) {
    Build();
}

std::string TaviFichier::SortKey(const TSortIndex& index) const {
    if (index.Id == "datecode") return DatecodeSortKey;
    if (index.Id == "timecode") return TimecodeSortKey;
    if (index.Id == "duree") return DureeSortKey;
    return TSRFichier::SortKey(index);
}

void TaviFichier::Build() {
    std::lock_guard lock(RecordConstructionLock());
    const auto format = FormatAfficherDatecode();
    const std::string& path = FileName;

    HasScn = Exists(WithExtension(path, ".scn"));
    HasSrt = Exists(WithExtension(path, ".srt"));

    // Container check.
    std::string handler;
    {
        const TAviParam walk(path);
        if (walk.Valid) {
            Codec = FourCCText(walk.VideoFourCC());
        } else {
            TimecodeText.clear();
            DatecodeText.clear();
            DatecodeKey = "ÿ";
            Codec.clear();
        }
        if (walk.VideoStream >= 0) handler = FourCCText(walk.Streams[size_t(walk.VideoStream)].fccHandler());
    }

    // Probe; a file the probe refuses is tried once more with its video taken as "dvsd", in
    // memory only: the file is never written in order to be read.
    TdmList& probe = SharedProbe();
    if (!probe.ProbeFile(path) && handler != "dvsd" && !probe.ProbeFile(path, true)) {
        TimecodeText.clear();
        DatecodeText.clear();
        DatecodeKey = "ÿ";
    }
    const ProbeResult& r = probe.Result;

    bool heightMultipleOf60 = false;
    if (r.VideoFound) {
        const uint8_t* v = r.VideoInfo.data();
        const uint8_t* compression = v + 64;
        if (std::all_of(compression, compression + 4, [](uint8_t b) { return b >= 0x20; }))
            Codec.assign(reinterpret_cast<const char*>(compression), 4);
        Width = GetI32(v + 52);
        Height = GetI32(v + 56);
        ImageText = std::to_string(Width) + " x " + std::to_string(Height);
        heightMultipleOf60 = Height % 60 == 0;
        const int64_t frameDuration = Get64(v + 40);
        // A frame duration of 0 (or less) means no usable rate: no rate, no frame count.
        if (frameDuration > 0) {
            Fps = RoundEven(1e9 / double(frameDuration)) / 100;
            FrameCount = ClampInt32(RoundEven(double(r.VideoDuration) / double(frameDuration)));
        }
        Duration = r.VideoDuration;
        DurationText = FramesDurationText(frameDuration, r.VideoDuration);
        VideoBitRate = GetI32(v + 32);
        AspectText.clear();
    } else {
        Codec.clear();
        ImageText = kNotAvailableText;
        Fps = 0;
        Width = Height = 0;
    }

    if (r.AudioFound) {
        const uint8_t* w = r.AudioFormat.data();
        const uint16_t tag = Le16(w);
        const int channels = Le16(w + 2);
        AudioFrequency = int32_t(Le32(w + 4));
        const uint32_t bytesPerSecond = Le32(w + 8);
        AudioBits = Le16(w + 14);
        AudioText = std::to_string(uint32_t(AudioFrequency)) + "Hz ";
        if (AudioBits > 0) AudioText += std::to_string(AudioBits) + " bits ";
        ChannelsText = ChannelsTextOf(channels);
        AudioText += ChannelsText;
        AudioFormatText = WaveFormatName(tag) + " " + std::to_string(bytesPerSecond) + " octets/s";
        AudioDurationText = Fps != 0 ? FramesDurationText(int64_t(RoundEven(1e7 / Fps)), r.AudioDuration)
                                     : MsDurationText(r.AudioDuration);
    } else {
        AudioText = kNotAvailableText;
        AudioFormatText.clear();
        AudioDurationText.clear();
    }

    if (!HasAudio() && !HasImage()) DatecodeKey = "ÿ";

    IsDV = r.DVFound;
    if (IsDV) {
        if (r.DVInfoFound) {
            DVType = r.StreamCount >= 2 ? 2 : 1;
            Iavs = DVType == 2;
            DVVAuxSrc = Le32(r.DVInfo.data() + 16);
            if (DVVAuxSrc & 0x200000) {  // 50/60 flag of the VAUX source pack (PC3 bit 5)
                ImageText += " (Pal";
                VideoSystem = 0;
                Fps = 25.0;
            } else {
                ImageText += " (NTSC";
                VideoSystem = 1;
                Fps = 30000.0 / 1001.0;
            }
        } else {
            DVType = 2;
            ImageText += heightMultipleOf60 ? " (NTSC" : " (Pal";
            VideoSystem = heightMultipleOf60 ? 1 : 0;
        }
        Wide = r.Wide;
        AspectText = Wide ? " 16x9)" : " 4x3)";
        // biWidth is whatever the file says: computed in 64 bits, the result always fits.
        Height = int32_t(Wide ? int64_t(Width) * 9 / 16 : int64_t(Width) * 3 / 4);
        if (r.DatecodeValid) {
            DatecodeValue = r.DatecodeValue;
            try {
                DatecodeText = format->format(r.DatecodeValue);
            } catch (...) {
                DatecodeText = "N/A";
            }
        } else {
            DatecodeText = "N/A";
        }
        if (AudioFrequency == 32000 && AudioBits == 16) AudioText = "32000Hz 12(16) bits " + ChannelsText;
        if (r.TimecodeValid) {
            char text[32];
            const Timecode& tc = r.TimecodeValue;
            std::snprintf(text, sizeof text, "%.2d.%.2d.%.2d.%.2d", int(int8_t(tc.Hours)), int(tc.Minutes),
                          int(tc.Seconds), int(tc.Frames));
            TimecodeText = text;
        } else {
            TimecodeText = "N/A";
        }
        DatecodeKey = r.DatecodeValid ? FormatDateTime("yyyymmddhhnnss", r.DatecodeValue) : "N/A";
    }

    const std::string& k = AlphaKey;
    DatecodeSortKey = DatecodeKey + k;
    TimecodeSortKey = TimecodeText + k;
    char duration[32];
    std::snprintf(duration, sizeof duration, "%.12lld", static_cast<long long>(r.VideoDuration));
    DureeSortKey = duration + k;
}

}  // namespace velinor
