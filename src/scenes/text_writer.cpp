#include "scenes/text_writer.h"

#include <cmath>

#include "media/fpsunit.h"

namespace velinor {

TwriteFile::TwriteFile(const std::string& path) : path_(path) {
    if (!file_.Open(path)) fail(file_.error());
}

bool TwriteFile::fail(std::string message) {
    if (error_.empty()) error_ = std::move(message);
    file_.Discard();
    return false;
}

bool TwriteFile::WriteLine(const std::string& text) {
    if (!ok()) return false;
    if (!file_.Write(text + "\r\n")) return fail(file_.error());
    return true;
}

bool TwriteFile::Finish() {
    if (!ok()) return false;
    if (!file_.Commit()) return fail(file_.error());
    return true;
}

TWriteSrt::TWriteSrt(const std::string& videoPath, double fps)
    : TwriteFile(ReplaceExtension(videoPath, ".srt")), fps_(fps) {
    if (!std::isfinite(fps) || fps <= 0)
        fail("Fréquence d'images inconnue : pas de sous-titres pour " + videoPath);
}

bool TWriteSrt::ChangeText(int32_t frame, const std::string& line1, const std::string& line2) {
    if (!ok()) return false;
    if (Pending) {
        ++EntryCount;
        const bool written = WriteLine(std::to_string(EntryCount)) &&
                             WriteLine(SrtTimeText(EntryStart, fps_) + " --> " + SrtTimeText(frame, fps_)) &&
                             WriteLine(Line1) && WriteLine(Line2) && WriteLine("");
        if (!written) return false;
    }
    if (!line1.empty() || !line2.empty()) {
        EntryStart = frame;
        Line1 = line1.empty() ? " " : line1;
        Line2 = line2.empty() ? " " : line2;
        Pending = true;
    } else {
        Pending = false;
    }
    return true;
}

}  // namespace velinor
