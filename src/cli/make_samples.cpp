// velinor-samples: writes short sample DV clips into a folder, for a first run without tapes.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>

#include "graph/dv_frame_maker.h"
#include "media/raw_dv.h"

namespace {

using namespace velinor;

struct Sample {
    const char* name;
    DvClip clip;
};

// A PAL 4:3 recording with a break in the recording clock after three seconds (two scenes), and
// an NTSC 16:9 one recorded in 2026.
std::vector<Sample> samples() {
    DvClip pal;
    pal.scenes = {{75, DatecodeFields{2007, 3, 4, 10, 11, 12}, 0},
                  {75, DatecodeFields{2007, 3, 4, 15, 42, 5}, 3}};
    pal.timecode = Timecode{0, 0, 0, 0};
    pal.audio = AudioInfo{48'000, 2, 16};

    DvClip ntsc;
    ntsc.is525 = true;
    ntsc.wide = true;
    ntsc.scenes = {{120, DatecodeFields{2026, 5, 17, 14, 3, 9}, 5}};
    ntsc.timecode = Timecode{0, 10, 0, 0};
    ntsc.audio = AudioInfo{32'000, 4, 12};
    return {{"pal-4x3-deux-scenes.dv", pal}, {"ntsc-16x9.dv", ntsc}};
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "Utilisation : velinor-samples DOSSIER\n");
        return 2;
    }
    try {
        const std::filesystem::path folder = argv[1];
        std::error_code error;
        std::filesystem::create_directories(folder, error);
        if (error) {
            std::fprintf(stderr, "Impossible de créer le dossier %s : %s\n", argv[1],
                         error.message().c_str());
            return 1;
        }
        for (const auto& sample : samples()) {
            const std::string path = (folder / sample.name).string();
            RawDvWriter writer(path);
            MakeClip(sample.clip, [&](const std::vector<uint8_t>& frame) {
                writer.write(frame);
                return true;
            });
            writer.commit();
            std::printf("%s\n", path.c_str());
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
