#include "scenes/scene.h"

#include <cmath>
#include <cstdio>

#include "media/datetime_format.h"

namespace velinor {

namespace {

double roundHalfEven(double x) {
    const double down = std::floor(x);
    const double diff = x - down;
    if (diff > 0.5) return down + 1;
    if (diff < 0.5) return down;
    return std::fmod(down, 2.0) == 0 ? down : down + 1;
}

bool usableRate(double fps) {
    return std::isfinite(fps) && fps > 0;
}

template <typename... Args>
std::string format(const char* pattern, Args... args) {
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, pattern, args...);
    return buffer;
}

constexpr int kThumbBoxWidth = 320;
constexpr int kThumbBoxHeight = 240;

}  // namespace

std::string DureeText(int64_t frames, const CurrentVideo* video, int formatDuree) {
    if (video == nullptr) return {};
    if (formatDuree < 0 || formatDuree > 2) return {};
    if (!usableRate(video->fps)) return "??";
    const double fps = video->fps;
    const auto s = static_cast<long long>(std::trunc(double(frames) / fps));
    const auto f = static_cast<long long>(roundHalfEven(double(frames) - double(s) * fps));
    const long long h = s / 3600, m = (s / 60) % 60, sec = s % 60;
    switch (formatDuree) {
        case 0:
            if (h > 0) return format("%lld:%.2lld:%.2lld.%.2lld", h, m, sec, f);
            if (m > 0) return format("%.2lld:%.2lld.%.2lld", m, sec, f);
            return format("%.2lld.%.2lld", sec, f);
        case 1:
            if (h > 0) return format("%lld:%.2lld:%.2lld:%.2lld", h, m, sec, f);
            if (m > 0) return format("%.2lld:%.2lld:%.2lld", m, sec, f);
            return format("%.2lld:%.2lld", sec, f);
        default:
            if (h > 0) return format("%lldh %.2lldmn %.2llds %.2lldfr", h, m, sec, f);
            if (m > 0) return format("%lldmn %.2llds %.2lldfr", m, sec, f);
            if (sec > 0) return format("%llds %.2lldfr", sec, f);
            return format("%lldfr", f);
    }
}

void ThumbnailSize(int pictureWidth, int pictureHeight, int& width, int& height) {
    width = kThumbBoxWidth;
    height = kThumbBoxHeight;
    if (pictureWidth <= 0 || pictureHeight <= 0) return;
    // Compared as products so that no rate is rounded.
    if (int64_t(pictureWidth) * kThumbBoxHeight > int64_t(pictureHeight) * kThumbBoxWidth)
        height = int(int64_t(kThumbBoxWidth) * pictureHeight / pictureWidth);
    else
        width = int(int64_t(kThumbBoxHeight) * pictureWidth / pictureHeight);
    if (width < 1) width = 1;
    if (height < 1) height = 1;
}

std::string SceneStampText(int64_t frame, double fps) {
    if (!usableRate(fps)) return "??";
    if (frame < 0) frame = 0;
    const auto s = static_cast<long long>(std::trunc(double(frame) / fps));
    const auto f = static_cast<long long>(std::trunc(double(frame) - double(s) * fps));
    return format("%lld:%.2lld:%.2lld:%.2lld", s / 3600, (s / 60) % 60, s % 60, f);
}

TSceneClass::TSceneClass(uint32_t debut, uint32_t fin, const CurrentVideo* video,
                         const SceneTextSettings& settings)
    : Debut(debut), Fin(fin) {
    if (video != nullptr) {
        int w = 0, h = 0;
        ThumbnailSize(video->width, video->height, w, h);
        Image = ScenePicture(w, h);
    }
    Duree = DureeText(int64_t(fin) - int64_t(debut), video, settings.formatDuree);
}

bool TSceneClass::LoadDetails(SceneDetailsSource& source, double fps, const SceneTextSettings& settings) {
    const auto values = source.seekFrame(Debut);
    if (!values) return false;
    if (values->datecodeValid) {
        DatecodeValue = values->datecode;
        try {
            DatecodeText = FormatDateTime(settings.datecodeDisplayPattern, values->datecode);
        } catch (const std::exception&) {
            DatecodeText = "N/A";
        }
    } else {
        DatecodeText = "N/A";
    }
    TimecodeText = values->timecodeValid ? format("%.2d.%.2d.%.2d.%.2d", values->tcHours, values->tcMinutes,
                                                  values->tcSeconds, values->tcFrames)
                                         : "N/A";
    TimeStamp = SceneStampText(Debut, fps);
    // The last frame of an empty scene is its first one.
    TimeStampFin = SceneStampText(Fin > Debut ? int64_t(Fin) - 1 : int64_t(Debut), fps);
    if (ImageOffset != 0 && !source.seekFrame(Debut + ImageOffset)) return false;
    const ScenePicture shot = source.snapshot();
    if (Image.empty() && !shot.empty()) {
        int w = 0, h = 0;
        ThumbnailSize(shot.width, shot.height, w, h);
        Image = ScenePicture(w, h);
    }
    StretchPicture(shot, Image);
    Loaded = true;
    return true;
}

std::string TSceneClass::SceneCaption() const {
    return "Scène " + std::to_string(Numero) + ": " + Titre;
}

void StretchPicture(const ScenePicture& source, ScenePicture& target) {
    if (source.empty() || target.empty()) return;
    if (source.pixels.size() < size_t(ScenePicture::stride(source.width)) * size_t(source.height)) return;
    for (int y = 0; y < target.height; ++y) {
        const int sy = int(int64_t(y) * source.height / target.height);
        const uint8_t* in = source.rowFromTop(sy);
        uint8_t* out = target.rowFromTop(y);
        for (int x = 0; x < target.width; ++x) {
            const int sx = int(int64_t(x) * source.width / target.width);
            out[3 * x] = in[3 * sx];
            out[3 * x + 1] = in[3 * sx + 1];
            out[3 * x + 2] = in[3 * sx + 2];
        }
    }
}

}  // namespace velinor
