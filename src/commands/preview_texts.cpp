#include "commands/preview_texts.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>

#include "filelist/avi_fichier.h"
#include "filelist/list_fichier.h"

namespace velinor {

namespace {

constexpr const char* kNoticeHead = "<br><br><br><b><i><SIZE 14>Vidéo non disponible</size></i></b><br><br>";

std::string FileLine(const std::string& path) {
    return "Le fichier<br><br><b><color blue>" + path + "</color></b><br>";
}

std::string NoDecoder(const std::string& codec, const char* audio) {
    return std::string(
               "Aucun filtre directshow présent sur votre système ne sait rendre le<br><B><COLOR "
               "BLUE>codec ") +
           codec + "</COLOR></B><br><br><i>" + audio + "</i>";
}

// Replaces every case-insensitive occurrence of `from` (ASCII) by `to`.
void ReplaceTag(std::string& text, const std::string& from, const std::string& to) {
    const std::string lowered = LowerCase(text);
    std::string out;
    size_t at = 0;
    for (size_t hit = lowered.find(from); hit != std::string::npos; hit = lowered.find(from, at)) {
        out.append(text, at, hit - at);
        out += to;
        at = hit + from.size();
    }
    out.append(text, at, std::string::npos);
    text = std::move(out);
}

}  // namespace

std::string PreviewNoticeText(int type, const std::string& fileName, const std::string& name,
                              const std::string& codec) {
    const std::string p = LowerCase(fileName);
    std::string body;
    switch (type) {
        case 1:
            body = FileLine(p) + "est introuvable";
            break;
        case 2:
            body = FileLine(p) + "<br>semble avoir un codec DV non standard.<br>" +
                   "Pour voir la vidéo, essayez de corriger le codec \"" + codec + "\" en \"dvsd\".";
            break;
        case 3:
            body = FileLine(p) + "<br>ne comprend que de l'audio";
            break;
        case 4:
            body = FileLine(p) + "<br>ne semble pas être un fichier AVI correct";
            break;
        case 5:
            body = FileLine(p) + "<br>ne semble pas être un fichier DV correct";
            break;
        case 6:
            body = NoDecoder(codec, "On peut cependant écouter l'Audio");
            break;
        case 7:
            body = NoDecoder(codec, "Audio inconnu");
            break;
        case 8:
            body = NoDecoder(codec, "Pas d'Audio");
            break;
        case 9:
            body =
                "Interruption temporaire de la vidéo<br>pour exécuter une commande<br><br><b><color blue>" +
                LowerCase(name) + "</color></b>";
            break;
        default:
            return {};
    }
    return kNoticeHead + body;
}

std::string PreviewNoticeHtml(const std::string& markup) {
    std::string html = markup;
    // Sizes and colours become spans; the other tags are HTML already.
    for (int size = 1; size <= 72; ++size)
        ReplaceTag(html, "<size " + std::to_string(size) + ">",
                   "<span style=\"font-size:" + std::to_string(size) + "pt\">");
    ReplaceTag(html, "</size>", "</span>");
    for (const char* colour : {"blue", "red", "navy", "black", "green", "maroon"})
        ReplaceTag(html, std::string("<color ") + colour + ">",
                   std::string("<span style=\"color:") + colour + "\">");
    ReplaceTag(html, "</color>", "</span>");
    return "<div align=\"center\">" + html + "</div>";
}

PreviewTickRecord TickRecordOf(const TaviFichier& record) {
    return {record.DVType, record.ImageText, record.AspectText, record.Fps};
}

std::string PreviewAudioText(const TDVFrameInfo& f) {
    std::string text = std::to_string(f.AudioFrequency) + "Hz " + std::to_string(f.AudioBits) + "Bits";
    switch (f.AudioChannels) {
        case 0:
            return "N/A";
        case 1:
            return text + " mono";
        case 2:
            return text + " stéréo";
        case 3:
            return text + " 3  canaux";
        case 4:
            return text + " stéréo(2x)";
        default:
            return text;
    }
}

std::string PreviewBytesText(const TDVFrameInfo& f) {
    const int64_t n = int64_t(f.AudioFrequency) * f.AudioChannels * f.AudioBits;
    return n >= 8 ? "PCM " + std::to_string(n / 8) + " octets/s" : std::string();
}

PreviewDisplayTexts PreviewTickTexts(const PreviewTickRecord& record,
                                     const std::optional<TDVFrameInfo>& frame,
                                     std::optional<int64_t> position, int64_t first, int64_t last) {
    PreviewDisplayTexts t;
    if (frame) {
        const TDVFrameInfo& f = *frame;
        if (record.DVType == 1) {
            t.Audio = PreviewAudioText(f);
            t.Bytes = f.AudioChannels == 0 ? std::string() : PreviewBytesText(f);
        }
        if (!record.AspectText.empty()) t.Picture = record.ImageText + (f.Wide ? " 16x9)" : " 4x3)");
        t.Datecode = "N/A";
        if (f.DatecodeValid) {
            const std::string text = FormatAfficherDatecode()->format(f.Datecode);
            t.Datecode = text.empty() ? "N/A" : text;
        }
        t.Timecode = "N/A";
        if (f.TimecodeValid) {
            char text[32];
            std::snprintf(text, sizeof text, "%.2d.%.2d.%.2d.%.2d", int(f.Timecode.Hours),
                          int(f.Timecode.Minutes), int(f.Timecode.Seconds), int(f.Timecode.Frames));
            t.Timecode = text;
        }
    }
    if (position && last > first) t.Slider = int((*position - first) * 1000 / (last - first));
    return t;
}

PreviewRect FitPicture(int w, int h, int left, int top, int right, int bottom) {
    const int64_t W = right - left, H = bottom - top;
    int64_t width = W, height = H;
    if (w <= 0 || h <= 0) return {left, top, int(W), int(H)};
    if (int64_t(h) * W == H * w) {
        // takes the box
    } else if (int64_t(h) * W < H * w) {
        height = int64_t(h) * W / w;
    } else {
        width = int64_t(w) * H / h;
    }
    return {int(left + (W - width) / 2), int(top + (H - height) / 2), int(width), int(height)};
}

int TimeStampFontSize(int frameWidth) {
    return frameWidth <= 500 ? 10 : frameWidth / 48;
}

PreviewLayout LayOutPreview(int fw, int fh, int pw, int ph, int noticeWidth, int noticeHeight,
                            int timeStampWidth, int fontPixelHeight, int sliderHeight) {
    PreviewLayout l;
    l.TimeStampFontSize = TimeStampFontSize(fw);
    const int stampHeight = 4 + (fontPixelHeight > 0 ? fontPixelHeight : l.TimeStampFontSize * 4 / 3);
    const int left = 25, top = 25, right = fw - 25;
    const int bottom = stampHeight + 4 > 25 ? fh - stampHeight - 4 : fh - 25;
    if (pw == 0 || ph == 0) {
        pw = noticeWidth;
        ph = noticeHeight;
    }
    l.Video = FitPicture(pw, ph, left, top, right, bottom);
    l.Notice = {left + (right - left - noticeWidth) / 2, top + (bottom - top - noticeHeight) / 2, noticeWidth,
                noticeHeight};
    l.TimeStamp = {(fw - timeStampWidth) / 2, l.Video.Bottom() + 4, timeStampWidth, stampHeight};
    l.Slider = {l.Video.Left - 8, l.Video.Top - 30, l.Video.Width + 16, sliderHeight};
    l.IncrustHorz = {l.Video.Left - 8, l.Video.Bottom() - 4, l.Video.Width + 16, sliderHeight};
    l.IncrustVert = {l.Video.Right() - 4, l.Video.Top - 8, sliderHeight, l.Video.Height + 16};
    l.CornerLeft = l.Video.Right() - 4;
    l.CornerTop = l.Video.Bottom() - 4;
    return l;
}

std::string PreviewPositionText(int64_t p, double fps) {
    char text[64];
    if (fps == 0) {
        const int64_t seconds = p / 10'000'000;
        const int64_t millis = (p % 10'000'000) / 10'000;
        std::snprintf(text, sizeof text, "%" PRId64 ":%.2" PRId64 ":%.2" PRId64 ":%.3" PRId64, seconds / 3600,
                      seconds / 60 % 60, seconds % 60, millis);
    } else {
        const int64_t seconds = int64_t(std::trunc(double(p) / fps));
        const int64_t frames = int64_t(std::trunc(double(p) - double(seconds) * fps));
        std::snprintf(text, sizeof text, "%" PRId64 ":%.2" PRId64 ":%.2" PRId64 ":%.2" PRId64, seconds / 3600,
                      seconds / 60 % 60, seconds % 60, frames);
    }
    return text;
}

int64_t PreviewStep(double fps, int unit) {
    if (fps != 0) {
        switch (unit) {
            case 0:
                return 1;
            case 1:
                return std::llround(fps);
            default:
                return std::llround(fps * 60);
        }
    }
    switch (unit) {
        case 0:
            return 400'000;
        case 1:
            return 10'000'000;
        default:
            return 600'000'000;
    }
}

}  // namespace velinor
