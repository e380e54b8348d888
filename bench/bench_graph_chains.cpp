// Three graph chains on the same DV clip, each side by side with the outside tool doing the same
// job from a warm cache, best of three runs each, with the ratio (their time / ours):
//   decoding every frame to RGB24          vs  ffmpeg -i F -f null -
//   decoding and re-encoding to DV (AVI)   vs  ffmpeg -i F -c:v dvvideo -f avi OUT
//   type 1 to type 2                       vs  dvgrab -I F.dv -f dv2 (the same frames as raw DV)
//   burning in the datecode: decoding, two outlined lines of text, re-encoding to a DV AVI
//                                          vs  ffmpeg -i F -vf drawtext=...,drawtext=... -c:v dvvideo -c:a
//                                          copy OUT
// Usage: bench_graph_chains [FRAMES]. The clip (PAL, with audio; a copy carries recording dates)
// is made in the temporary folder.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "filters/dv_scene_detect_filter.h"
#include "filters/graph_filters.h"
#include "graph/avi_mux_writer.h"
#include "graph/avi_source.h"
#include "graph/basic_filters.h"
#include "graph/dv_splitter.h"
#include "graph/dv_video_decoder.h"
#include "graph/dv_video_encoder.h"
#include "graph/graph.h"
#include "media/avi_writer.h"
#include "media/dvcodes.h"
#include "support/avi_fixtures.h"

#include "bench_support.h"

namespace {

namespace fs = std::filesystem;
using namespace velinor;
using bench::Measure;
using bench::RunGraph;
using bench::Shell;
using bench::Timing;
using namespace velinor::graph;

struct Files {
    std::string dir, type1, type2, raw, dated;
};

// The recording date and time of frame `index` of the dated clip: one second per 25 frames.
DatecodeFields DateOfFrame(int index) {
    const int seconds = 12 + index / 25;
    return DatecodeFields{
        2007, 3, 4, 10, static_cast<uint8_t>((11 + seconds / 60) % 60), static_cast<uint8_t>(seconds % 60)};
}

Files MakeFiles(int frames) {
    Files f;
    f.dir = (fs::temp_directory_path() / ("velinor-bench-chains-" + std::to_string(frames))).string();
    f.type1 = f.dir + "/type1.avi";
    f.type2 = f.dir + "/type2.avi";
    f.raw = f.dir + "/clip.dv";
    f.dated = f.dir + "/dated.avi";
    if (fs::exists(f.raw) && fs::exists(f.dated)) return f;
    fs::create_directories(f.dir);
    const auto dv = test::EncodeDvFrames(frames, true);
    if (dv.empty()) return {};
    AviWriterSettings s1;
    s1.Type = AviWriterSettings::Kind::DvType1;
    s1.DvInfoBlock = DvInfoFromFrame(dv.front());
    AviWriter w1(f.type1, s1);
    AviWriterSettings s2;
    AviWriter w2(f.type2, s2);
    AviWriter w3(f.dated, s2);
    FILE* raw = std::fopen(f.raw.c_str(), "wb");
    const std::vector<uint8_t> pcm(7680, 0);  // 1920 stereo samples per PAL frame
    for (size_t i = 0; i < dv.size(); ++i) {
        const auto& frame = dv[i];
        w1.WriteVideo(frame);
        w2.WriteVideo(frame);
        w2.WriteAudio(pcm);
        std::fwrite(frame.data(), 1, frame.size(), raw);
        auto dated = frame;
        WriteDatecode(dated, DifSequenceCount(dated.size()), DateOfFrame(int(i)));
        w3.WriteVideo(dated);
        w3.WriteAudio(pcm);
    }
    std::fclose(raw);
    w1.Finish();
    w2.Finish();
    w3.Finish();
    return f;
}

void DecodeChain(const std::string& in) {
    Graph g;
    auto source = std::make_shared<AviSource>();
    source->load(in);
    auto decoder = std::make_shared<DvVideoDecoder>();
    auto sink = std::make_shared<NullRenderer>(
        MediaType(MajorType::Video, kSubtypeRgb24));  // BGR, as the filters get it
    g.addFilter(source);
    g.addFilter(decoder);
    g.addFilter(sink);
    g.connect(*source->output(0), decoder->inputPin());
    g.connect(decoder->outputPin(), *sink->input());
    RunGraph(g);
}

void ReencodeChain(const std::string& in, const std::string& out) {
    fs::remove(out);
    Graph g;
    auto source = std::make_shared<AviSource>();
    source->load(in);
    auto decoder = std::make_shared<DvVideoDecoder>();
    auto encoder = std::make_shared<DvVideoEncoder>();
    auto writer = std::make_shared<AviMuxWriter>();
    writer->setFileName(out);
    g.addFilter(source);
    g.addFilter(decoder);
    g.addFilter(encoder);
    g.addFilter(writer);
    g.connect(*source->output(0), decoder->inputPin());
    g.connect(decoder->outputPin(), encoder->inputPin());
    g.connect(encoder->outputPin(), *writer->inputs().back());
    g.connect(*source->output(1), *writer->inputs().back());
    RunGraph(g);
}

// Source, datecode reader, decoder, overlay (the date on one line, the time on the next, white
// with a 2-pixel black outline), encoder, writer, the audio copied: the overlay on 24-bit
// pictures with every segment re-encoded. The burn-in command's own graph draws on the codec's
// planes and codes only the segments under the text; bench_conversions measures it.
void BurnInChain(const std::string& in, const std::string& out) {
    fs::remove(out);
    static OverlayTextSettingsStore settings;
    settings.setDateFormats("dddddd", "hh:nn:ss");
    settings.setTemplates("%D1", "%D2");
    Tdv_sceneDetect detector(nullptr, &settings);
    Graph g;
    auto source = std::make_shared<AviSource>();
    source->load(in);
    auto datecode = std::make_shared<DvSceneDetectFilter>(detector);
    auto decoder = std::make_shared<DvVideoDecoder>();
    auto overlay = std::make_shared<SuperposerFilter>(detector, &settings);
    overlay->Overlay.SetBorderSize(2);
    auto encoder = std::make_shared<DvVideoEncoder>();
    auto writer = std::make_shared<AviMuxWriter>();
    writer->setFileName(out);
    for (const std::shared_ptr<Filter>& filter :
         std::initializer_list<std::shared_ptr<Filter>>{source, datecode, decoder, overlay, encoder, writer})
        g.addFilter(filter);
    const bool connected = g.connect(*source->output(0), datecode->inputPin()) &&
                           g.connect(datecode->outputPin(), decoder->inputPin()) &&
                           g.connect(decoder->outputPin(), overlay->inputPin()) &&
                           g.connect(overlay->outputPin(), encoder->inputPin()) &&
                           g.connect(encoder->outputPin(), *writer->inputs().back()) &&
                           g.connect(*source->output(1), *writer->inputs().back());
    if (!connected) {
        std::fprintf(stderr, "burn-in chain: a connection failed\n");
        std::exit(1);
    }
    RunGraph(g);
    if (overlay->Overlay.Line1().empty()) {
        std::fprintf(stderr, "burn-in chain: no datecode text was drawn\n");
        std::exit(1);
    }
}

std::string ShellOutput(const std::string& command) {
    std::string text;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[512];
        while (fgets(buffer, sizeof buffer, pipe)) text += buffer;
        pclose(pipe);
    }
    return text;
}

void RemuxChain(const std::string& in, const std::string& out) {
    fs::remove(out);
    Graph g;
    auto source = std::make_shared<AviSource>();
    source->load(in);
    auto splitter = std::make_shared<DvSplitter>();
    auto writer = std::make_shared<AviMuxWriter>();
    writer->setFileName(out);
    g.addFilter(source);
    g.addFilter(splitter);
    g.addFilter(writer);
    g.connect(*source->output(0), *splitter->input());
    g.connect(*splitter->output(0), *writer->inputs().back());
    g.connect(*splitter->output(1), *writer->inputs().back());
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
        "  ratio: %.2fx (target >= %.1fx)\n",
        what, best.wall, frames / best.wall, best.cpu, theirName, bestTheirs.wall, frames / bestTheirs.wall,
        bestTheirs.cpu, bestTheirs.wall / best.wall, target);
}

}  // namespace

int main(int argc, char** argv) {
    const int frames = argc > 1 ? std::max(25, std::atoi(argv[1])) : 500;
    const Files f = MakeFiles(frames);
    if (f.raw.empty()) {
        std::fprintf(stderr, "ffmpeg is needed to make the clip\n");
        return 1;
    }
    std::printf("clip: %d PAL frames with audio, %u cores\n", frames, std::thread::hardware_concurrency());
    Compare(
        "decode every frame to RGB24", [&] { DecodeChain(f.type2); },
        [&] { Shell("ffmpeg -v error -nostdin -i '" + f.type2 + "' -f null - >/dev/null 2>&1"); },
        "ffmpeg -f null", 1.0, frames);
    Compare(
        "decode and encode to a DV AVI", [&] { ReencodeChain(f.type2, f.dir + "/ours-reencoded.avi"); },
        [&] {
            Shell("ffmpeg -v error -nostdin -y -i '" + f.type2 + "' -c:v dvvideo -f avi '" + f.dir +
                  "/ffmpeg-reencoded.avi' >/dev/null 2>&1");
        },
        "ffmpeg -c:v dvvideo", 1.2, frames);
    if (std::system("command -v dvgrab >/dev/null 2>&1") == 0) {
        Compare(
            "type 1 to type 2", [&] { RemuxChain(f.type1, f.dir + "/ours-type2.avi"); },
            [&] {
                for (const auto& e : fs::directory_iterator(f.dir))
                    if (e.path().filename().string().rfind("dvgrab", 0) == 0) fs::remove(e.path());
                Shell("cd '" + f.dir + "' && dvgrab -noavc -I clip.dv -f dv2 -s 0 dvgrab- >/dev/null 2>&1");
            },
            "dvgrab -f dv2", 1.0, frames);
    } else {
        std::printf("type 1 to type 2: dvgrab is not installed, no comparison\n");
    }
    const std::string font = ShellOutput("fc-match -f '%{file}' Arial");
    // The same two lines in the same place: 28-pixel cells, bottom right, white, outline 2.
    const std::string drawtext = "drawtext=fontfile=" + font +
                                 ":text='dimanche 4 mars 2007':fontsize=25:fontcolor=white:borderw=2:"
                                 "x=648-text_w:y=462,drawtext=fontfile=" +
                                 font +
                                 ":text='10\\:11\\:12':fontsize=25:fontcolor=white:borderw=2:x=572:y=490";
    Compare(
        "burn the datecode in (two lines, outline 2) and encode to a DV AVI",
        [&] { BurnInChain(f.dated, f.dir + "/ours-burnt.avi"); },
        [&] {
            Shell("ffmpeg -v error -nostdin -y -i '" + f.dated + "' -vf \"" + drawtext +
                  "\" -c:v dvvideo -c:a copy '" + f.dir + "/ffmpeg-burnt.avi' >/dev/null 2>&1");
        },
        "ffmpeg drawtext -c:v dvvideo", 1.2, frames);
    return 0;
}
