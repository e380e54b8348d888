// velinor-cli frames FILE [--json]: the values of every DV frame of a file, one line per frame,
// with the frames where the datecode scene detector starts a scene.
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "cli/verbs.h"
#include "filters/dv_scene_detect.h"
#include "media/datecode.h"
#include "media/dv_frame_source.h"
#include "media/media_error.h"
#include "platform/error_text.h"

namespace velinor::cli {

namespace {

// Collects lines and writes them in large blocks; the one string is reused for the whole file.
class LineWriter {
public:
    explicit LineWriter(FILE* out) : out_(out) { buffer_.reserve(kBlock + 512); }

    std::string& buffer() { return buffer_; }
    void lineDone() {
        if (buffer_.size() >= kBlock) flush();
    }
    bool flush() {
        if (!buffer_.empty() && std::fwrite(buffer_.data(), 1, buffer_.size(), out_) != buffer_.size())
            failed_ = true;
        buffer_.clear();
        return !failed_ && std::fflush(out_) == 0;
    }

private:
    static constexpr size_t kBlock = 1 << 16;
    FILE* out_;
    std::string buffer_;
    bool failed_ = false;
};

void AppendNumber(std::string& out, long value, int minDigits = 1) {
    char digits[24];
    const char* end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    const bool negative = value < 0;
    if (negative) out += '-';
    const char* first = digits + (negative ? 1 : 0);
    for (auto count = end - first; count < minDigits; ++count) out += '0';
    out.append(first, end);
}

// "YYYY-MM-DD hh:mm:ss"
void AppendDatecode(std::string& out, Datecode value) {
    const DatecodeParts p = DecodeDatecode(value);
    AppendNumber(out, p.Year, 4);
    out += '-';
    AppendNumber(out, p.Month, 2);
    out += '-';
    AppendNumber(out, p.Day, 2);
    out += ' ';
    AppendNumber(out, p.Hour, 2);
    out += ':';
    AppendNumber(out, p.Minute, 2);
    out += ':';
    AppendNumber(out, p.Second, 2);
}

// "hh:mm:ss:ff"; the pack's fields are shown as decoded, even out of range.
void AppendTimecode(std::string& out, const Timecode& t) {
    AppendNumber(out, t.Hours, 2);
    out += ':';
    AppendNumber(out, t.Minutes, 2);
    out += ':';
    AppendNumber(out, t.Seconds, 2);
    out += ':';
    AppendNumber(out, t.Frames, 2);
}

void AppendBool(std::string& out, bool value) {
    out += value ? "true" : "false";
}

void AppendJson(std::string& out, const TDVFrameInfo& f, bool sceneStart) {
    out += "{\"Frame\":";
    AppendNumber(out, f.Frame);
    out += ",\"DatecodeValid\":";
    AppendBool(out, f.DatecodeValid);
    out += ",\"Datecode\":";
    if (f.DatecodeValid) {
        out += '"';
        AppendDatecode(out, f.Datecode);
        out += '"';
    } else {
        out += "null";
    }
    out += ",\"TimecodeValid\":";
    AppendBool(out, f.TimecodeValid);
    out += ",\"Timecode\":";
    if (f.TimecodeValid) {
        out += '"';
        AppendTimecode(out, f.Timecode);
        out += '"';
    } else {
        out += "null";
    }
    out += ",\"Wide\":";
    AppendBool(out, f.Wide);
    out += ",\"Is525\":";
    AppendBool(out, f.Is525);
    out += ",\"AudioFrequency\":";
    AppendNumber(out, f.AudioFrequency);
    out += ",\"AudioBits\":";
    AppendNumber(out, f.AudioBits);
    out += ",\"AudioChannels\":";
    AppendNumber(out, f.AudioChannels);
    out += ",\"SceneStart\":";
    AppendBool(out, sceneStart);
    out += "}\n";
}

constexpr const char* kTextHeader =
    "Image\tDatecode\tTimecode\tFormat\tSystème\tFréquence\tBits\tCanaux\tNouvelle scène\n";

void AppendText(std::string& out, const TDVFrameInfo& f, bool sceneStart) {
    AppendNumber(out, f.Frame);
    out += '\t';
    if (f.DatecodeValid)
        AppendDatecode(out, f.Datecode);
    else
        out += '-';
    out += '\t';
    if (f.TimecodeValid)
        AppendTimecode(out, f.Timecode);
    else
        out += '-';
    out += f.Wide ? "\t16:9" : "\t4:3";
    out += f.Is525 ? "\t525/60\t" : "\t625/50\t";
    AppendNumber(out, f.AudioFrequency);
    out += '\t';
    AppendNumber(out, f.AudioBits);
    out += '\t';
    AppendNumber(out, f.AudioChannels);
    out += sceneStart ? "\toui\n" : "\tnon\n";
}

}  // namespace

int RunFrames(const Args& args) {
    std::string path;
    bool json = false;
    for (const auto& arg : args) {
        if (arg == "--json") {
            json = true;
        } else if (arg.starts_with("--") || !path.empty()) {
            std::fprintf(stderr,
                         "Argument inattendu : %s\nUtilisation : velinor-cli frames FICHIER [--json]\n",
                         arg.c_str());
            return 2;
        } else {
            path = arg;
        }
    }
    if (path.empty()) {
        std::fprintf(stderr, "Utilisation : velinor-cli frames FICHIER [--json]\n");
        return 2;
    }

    LineWriter out(stdout);
    try {
        const std::unique_ptr<DvFrameSource> source = OpenDvFrameSource(path);
        // Texts are not printed: a store without templates keeps the detector from building any.
        OverlayTextSettingsStore noTexts;
        Tdv_sceneDetect detector(nullptr, &noTexts);
        bool sceneStarts = false;
        detector.OnSceneBreak = [&](const TDVFrameInfo&, const TDVFrameInfo&) { sceneStarts = true; };
        detector.StartStreaming(std::nullopt);
        if (!json) out.buffer() += kTextHeader;
        std::vector<uint8_t> frame;
        while (source->next(frame)) {
            sceneStarts = false;
            if (!detector.Transform(frame)) continue;
            const TDVFrameInfo& info = detector.LastFrame;
            const bool start = sceneStarts || info.Frame == 0;
            if (json)
                AppendJson(out.buffer(), info, start);
            else
                AppendText(out.buffer(), info, start);
            out.lineDone();
        }
        detector.OnSceneBreak = nullptr;  // the last scene needs no line
        detector.Stop();
    } catch (const MediaError& e) {
        out.flush();
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    if (!out.flush()) {
        std::fprintf(stderr, "Impossible d'écrire la sortie : %s\n", ErrorText(errno).c_str());
        return 1;
    }
    return 0;
}

}  // namespace velinor::cli
