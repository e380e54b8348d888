// velinor-samples: writes short sample DV clips as AVI files into a folder, for a first run without tapes.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <memory>
#include <span>
#include <string>

#include "graph/dv_frame_maker.h"
#include "media/avi_writer.h"
#include "media/dif_audio.h"

namespace {

using namespace velinor;

struct Sample {
    const char* name;
    DvClip clip;
    AviWriterSettings::Kind kind;
};

// PAL and NTSC, 4:3 and 16:9, type 1 and type 2, each with its recording date and time; the first
// has a break in the recording clock after three seconds (two scenes).
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

    DvClip palWide;
    palWide.wide = true;
    palWide.scenes = {{100, DatecodeFields{2012, 8, 15, 18, 30, 0}, 2}};
    palWide.timecode = Timecode{1, 2, 3, 4};
    palWide.audio = AudioInfo{48'000, 2, 16};

    DvClip ntscNarrow;
    ntscNarrow.is525 = true;
    ntscNarrow.scenes = {{90, DatecodeFields{1999, 12, 31, 23, 59, 58}, 4}};
    ntscNarrow.timecode = Timecode{0, 0, 30, 0};
    ntscNarrow.audio = AudioInfo{48'000, 2, 16};

    using Kind = AviWriterSettings::Kind;
    return {{"pal-4x3-deux-scenes.avi", pal, Kind::DvType1},
            {"ntsc-16x9.avi", ntsc, Kind::DvType1},
            {"pal-16x9-type2.avi", palWide, Kind::DvType2},
            {"ntsc-4x3-type2.avi", ntscNarrow, Kind::DvType2}};
}

// Writes a clip as an AVI file: type 1 carries the DV frames whole, type 2 adds the frames' audio
// decoded to PCM as a second stream.
void WriteSample(const Sample& sample, const std::string& path) {
    std::unique_ptr<AviWriter> writer;
    std::vector<int16_t> pcm;
    MakeClip(sample.clip, [&](const std::vector<uint8_t>& frame) {
        if (!writer) {
            AviWriterSettings settings;
            settings.Type = sample.kind;
            settings.Rate = sample.clip.is525 ? 30000 : 25;
            settings.Scale = sample.clip.is525 ? 1001 : 1;
            settings.Width = 720;
            settings.Height = sample.clip.is525 ? 480 : 576;
            settings.DvInfoBlock = DvInfoFromFrame(frame);
            const auto audio = ReadDifAudioFormat(frame);
            settings.Channels = sample.kind == AviWriterSettings::Kind::DvType2 && audio
                                    ? uint16_t(audio->Format.Channels)
                                    : 0;
            settings.SampleRate = audio ? uint32_t(audio->Format.Frequency) : 48'000;
            settings.ReplaceExisting = true;
            writer = std::make_unique<AviWriter>(path, settings);
        }
        writer->WriteVideo(frame);
        if (sample.kind == AviWriterSettings::Kind::DvType2 && DecodeDifAudio(frame, pcm))
            writer->WriteAudio(std::span(reinterpret_cast<const uint8_t*>(pcm.data()), pcm.size() * 2));
        return true;
    });
    if (writer) writer->Finish();
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
            WriteSample(sample, path);
            std::printf("%s\n", path.c_str());
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
