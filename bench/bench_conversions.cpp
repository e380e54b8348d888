// Two conversions on the same dated PAL DV clip, each side by side with the outside tool doing the
// same job from a warm cache, best of three runs each, with the ratio (their time / ours):
//   Incruster (burn the datecode in, re-encode)  vs  ffmpeg -vf drawtext -c:v dvvideo -c:a copy
//   ConvertirDV1 (type 2 to type 1)               vs  dvgrab -f dv1 (the same frames as raw DV)
// The burn-in runs twice: on the clip of flat test pictures, and on a clip with the fine detail
// and grain of camera pictures, which cost the encoder more.
// Usage: bench_conversions [FRAMES]. The clips are made in the temporary folder.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "commands/cdm.h"
#include "filters/overlay_texts.h"
#include "graph/graph.h"
#include "media/avi_writer.h"
#include "media/dif_audio.h"
#include "media/dvcodes.h"
#include "support/dv_builder.h"

#include "bench_support.h"

namespace {

namespace fs = std::filesystem;
using namespace velinor;
using bench::Measure;
using bench::Shell;
using bench::Timing;

struct Files {
    std::string dir, type2, raw;
};

// Scenes of 100 frames, each its own picture and recording start, with 48 kHz stereo sound.
Files MakeFiles(int frames) {
    Files f;
    f.dir = (fs::temp_directory_path() / ("velinor-bench-conversions-" + std::to_string(frames))).string();
    f.type2 = f.dir + "/type2.avi";
    f.raw = f.dir + "/clip.dv";
    if (fs::exists(f.raw) && fs::exists(f.type2)) return f;
    fs::create_directories(f.dir);
    DvClip clip;
    clip.scenes.clear();
    for (int done = 0, i = 0; done < frames; done += 100, ++i)
        clip.scenes.push_back(DvScene{std::min(100, frames - done),
                                      AddSeconds(DatecodeFields{2005, 8, 12, 14, 5, 6}, int64_t(i) * 3600),
                                      i});
    clip.timecode = Timecode{0, 0, 0, 0};
    clip.audio = AudioInfo{48'000, 2, 16};
    auto dv = test::BuildDvStream(clip);
    AviWriterSettings settings;
    AviWriter writer(f.type2, settings);
    FILE* raw = std::fopen(f.raw.c_str(), "wb");
    for (size_t i = 0; i < dv.size(); ++i) {
        const int32_t samples = DifAudioSequencer::SamplesForFrame(false, 48'000, int64_t(i));
        std::vector<int16_t> pcm(size_t(samples) * 2);
        for (size_t s = 0; s < pcm.size(); ++s) pcm[s] = int16_t((s * 37 + i * 11) % 2000 - 1000);
        EncodeDifAudio(dv[i], DifAudioFormat{48'000, 16, 2}, pcm, samples);
        writer.WriteVideo(dv[i]);
        writer.WriteAudio(std::span(reinterpret_cast<const uint8_t*>(pcm.data()), pcm.size() * 2));
        std::fwrite(dv[i].data(), 1, dv[i].size(), raw);
    }
    std::fclose(raw);
    writer.Finish();
    return f;
}

// The same length of FFmpeg's moving test picture with grain added, dated like a recording that
// starts a new scene every 100 frames, as a type 2 file with silent sound.
std::string MakeGrainyFile(const Files& f, int frames) {
    const std::string avi = f.dir + "/grainy.avi";
    if (fs::exists(avi)) return avi;
    const std::string raw = f.dir + "/grainy.dv";
    const std::string seconds = std::to_string(frames * 0.04 + 0.001);
    const std::string command =
        "ffmpeg -v error -nostdin -y -f lavfi -i testsrc2=size=720x576:rate=25,noise=alls=12:allf=t "
        "-f lavfi -i anullsrc=r=48000:cl=stereo -t " +
        seconds + " -c:v dvvideo -pix_fmt yuv420p -c:a pcm_s16le -f dv '" + raw + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) return {};
    std::FILE* in = std::fopen(raw.c_str(), "rb");
    if (!in) return {};
    AviWriterSettings settings;
    const std::string part = avi + ".part";
    {
        AviWriter writer(part, settings);
        std::vector<uint8_t> frame(144'000);
        const std::vector<uint8_t> silence(48'000 / 25 * 4, 0);
        for (int i = 0; i < frames && std::fread(frame.data(), 1, frame.size(), in) == frame.size(); ++i) {
            WriteDatecode(
                frame, 12,
                AddSeconds(DatecodeFields{2005, 8, 12, 14, 5, 6}, int64_t(i / 100) * 3600 + i % 100 / 25));
            writer.WriteVideo(frame);
            writer.WriteAudio(silence);
        }
        writer.Finish();
    }
    std::fclose(in);
    fs::rename(part, avi);
    return avi;
}

void RunGraph(graph::Graph* g) {
    if (!g) {
        std::fprintf(stderr, "the graph could not be built\n");
        std::exit(1);
    }
    bench::RunGraph(*g);
}

// What the Incruster command does after its build, with the default overlay placement.
void BurnIn(TCdm& cdm, const std::string& in, const std::string& out) {
    graph::Graph* g = cdm.BuildOverlayGraph(in, out, 0, 2);
    cdm.Overlay().SetHorizontal(920);
    cdm.Overlay().SetVertical(920);
    cdm.Overlay().SetLayout(0);
    cdm.Overlay().SetFont(OverlayFont{.Name = "Arial", .Size = 16, .Color = 0xFFFFFF, .Bold = false});
    cdm.Overlay().SetShowText(true);
    RunGraph(g);
}

void Compare(const char* what, const std::function<void()>& ours, const std::function<void()>& theirs,
             const char* theirName, double target, int frames) {
    ours();  // warms the cache and the codecs
    theirs();
    Timing best, bestTheirs;
    for (int run = 0; run < 3; ++run) {  // alternated, best of three each
        const Timing a = Measure(ours), b = Measure(theirs);
        if (a.wall < best.wall) best = a;
        if (b.wall < bestTheirs.wall) bestTheirs = b;
    }
    // On a shared machine the CPU time tells the work done when the wall time is crowded out.
    std::printf(
        "%s\n  velinor: %.3f s (%.0f frames/s), CPU %.3f s\n  %s: %.3f s (%.0f frames/s), CPU %.3f s\n"
        "  ratio: %.2fx wall, %.2fx CPU (target >= %.1fx)\n",
        what, best.wall, frames / best.wall, best.cpu, theirName, bestTheirs.wall, frames / bestTheirs.wall,
        bestTheirs.cpu, bestTheirs.wall / best.wall, bestTheirs.cpu / best.cpu, target);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    const int frames = argc > 1 ? std::max(25, std::atoi(argv[1])) : 500;
    if (std::system("command -v ffmpeg >/dev/null 2>&1") != 0) {
        std::fprintf(stderr, "ffmpeg is needed for the comparison\n");
        return 1;
    }
    const Files f = MakeFiles(frames);
    std::printf("clip: %d PAL frames with audio and datecodes, %u cores\n", frames,
                std::thread::hardware_concurrency());
    SharedOverlayTextSettings().setTemplates("%D1", "%D2");
    TCdm cdm{SharedOverlayTextSettings()};
    const std::string font = "/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf";
    const auto burnIn = [&](const char* what, const std::string& source) {
        Compare(
            what, [&] { BurnIn(cdm, source, f.dir + "/ours_in.avi"); },
            [&] {
                Shell("ffmpeg -v error -nostdin -y -i '" + source + "' -vf \"drawtext=fontfile=" + font +
                      ":text='12/08/"
                      "2005':fontsize=21:fontcolor=white:x=w*0.92-tw:y=h*0.92-2*th,drawtext=fontfile=" +
                      font +
                      ":text='14\\:05\\:06':fontsize=21:fontcolor=white:x=w*0.92-tw:y=h*0.92-th\" "
                      "-c:v dvvideo -c:a copy '" +
                      f.dir + "/ffmpeg_in.avi' >/dev/null 2>&1");
            },
            "ffmpeg drawtext -c:v dvvideo", 1.2, frames);
    };
    burnIn("Incruster: burn the datecode in (test pictures)", f.type2);
    const std::string grainy = MakeGrainyFile(f, frames);
    if (!grainy.empty()) burnIn("Incruster: burn the datecode in (grainy camera-like pictures)", grainy);
    if (std::system("command -v dvgrab >/dev/null 2>&1") == 0) {
        Compare(
            "ConvertirDV1: type 2 to type 1",
            [&] { RunGraph(cdm.BuildType1Graph(f.type2, f.dir + "/ours_type1.avi")); },
            [&] {
                for (const auto& e : fs::directory_iterator(f.dir))
                    if (e.path().filename().string().rfind("dvgrab", 0) == 0) fs::remove(e.path());
                Shell("cd '" + f.dir + "' && dvgrab -noavc -I clip.dv -f dv1 -s 0 dvgrab- >/dev/null 2>&1");
            },
            "dvgrab -f dv1", 1.0, frames);
    } else {
        std::printf("ConvertirDV1: dvgrab is not installed, no comparison\n");
    }
    cdm.ResetGraph();
    return 0;
}
