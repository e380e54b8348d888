#include "commands/window_texts.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>

#include "filelist/list_fichier.h"
#include "media/fpsunit.h"

namespace velinor {

StatusColour StatusColourOf(StatusKind kind) {
    switch (kind) {
        case StatusKind::Command:
            return {192, 220, 192};  // money green
        case StatusKind::Opening:
            return {166, 202, 240};  // sky blue
        case StatusKind::Ready:
            break;
    }
    return {-1, -1, -1};
}

std::string SelectionCountText(int selected, int count, const TSortIndex& order) {
    return std::to_string(selected) + " fichier" + (selected >= 2 ? "s" : "") + " sur " +
           std::to_string(count) + " - " + order.Label;
}

std::string TotalDurationMessage(const std::vector<ListedDuration>& videos) {
    double rate = 0;
    int64_t total = 0, selected = 0;
    for (const ListedDuration& v : videos) {
        if (rate == 0)
            rate = v.fps;
        else if (rate > 0 && v.fps != rate)
            rate = -1;
        total += v.duration;
        if (v.selected) selected += v.duration;
    }
    std::string s, t;
    if (rate > 0) {
        const auto frame = int64_t(std::llround(double(kUnitsPerSecond) / rate));
        s = FramesDurationText(frame, selected);
        t = FramesDurationText(frame, total);
    } else {
        s = MsDurationText(selected);
        t = MsDurationText(total);
    }
    return "Durée des vidéos sélectionnées  = " + s + "\r\nDurée totale des vidéos listées = " + t;
}

std::string CommandErrorText(const std::string& text, TErrorType kind) {
    const char* line = kind == etError      ? "Le fichier courant a été interrompu."
                       : kind == etAllError ? "La commande va être interrompue."
                                            : "";
    return text + "\n" + line;
}

std::string PartialFileMessage(const std::string& path, int64_t written, int64_t total) {
    written = std::max<int64_t>(0, std::min(written, total));
    const int64_t percent = total > 0 ? written * 100 / total : 0;
    return "Conversion interrompue : " + FileNameOf(path) + " est un fichier partiel, il contient " +
           MsDurationText(written) + " des " + MsDurationText(total) + " de la source (" +
           std::to_string(percent) + " %).";
}

}  // namespace velinor
