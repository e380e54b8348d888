// Cost per PAL picture of the datecode overlay: the copy in, two lines (date and running
// timecode) each drawn with a 2-pixel outline, the copy out; beside it the overlay without an
// outline and the picture copies alone. Then, in-process vs in-process, 1 000 BGR24 PAL pictures
// a run, median and minimum wall and CPU times of alternated runs and the ratios (their time /
// ours):
//   the overlay with a 2-pixel outline   vs  libavfilter's drawtext twice (borderw 2)
//   the overlay without an outline       vs  drawtext twice (borderw 0)
//   the detector and the picture copies  vs  libavfilter's null filter
// Each libavfilter chain runs from a buffer source to a buffer sink in this process, each picture
// copied into a frame and out of it as our overlay copies it in and out; drawtext draws the same
// texts as the overlay at the same places, with the same font file (fontconfig's Arial bold) at
// the same size. Our side also runs the scene detector on each DV frame, which makes the texts.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

extern "C" {
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/dict.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
#include <libavutil/opt.h>
}

#include "bench_support.h"
#include "filters/dv_superposer.h"
#include "support/dv_builder.h"

namespace {

using namespace velinor;

constexpr int kFrames = 25;

struct Setup {
    OverlayTextSettingsStore settings;
    Tdv_sceneDetect detector{nullptr, &settings};
    Tdv_Superposer overlay{detector, &settings};
    std::vector<std::vector<uint8_t>> frames;
    BgrPicture input, output;

    explicit Setup(int border) {
        settings.setDateFormats("dddddd", "hh:nn:ss");
        settings.setTemplates("%D1", "%D2 - %T");
        DvClip clip;
        clip.scenes = {DvScene{kFrames, DatecodeFields{2007, 3, 4, 10, 11, 12}, 0}};
        clip.timecode = Timecode{0, 12, 34, 0};
        for (auto& frame : test::BuildDvStream(clip)) frames.push_back(std::move(frame));
        overlay.SetBorderSize(border);
        detector.StartStreaming(kFrameDuration625);
        overlay.StartStreaming(720, 576, kFrameDuration625);
        input = MakeBarsPicture(720, 576, 0);
        output.resize(720, 576);
    }
};

void BM_OverlayPerPalFrame(benchmark::State& state) {
    Setup setup(static_cast<int>(state.range(0)));
    size_t i = 0;
    for (auto _ : state) {
        setup.detector.Transform(setup.frames[i++ % kFrames]);
        benchmark::DoNotOptimize(setup.overlay.Transform(setup.input.pixels, setup.output.pixels));
    }
    state.SetLabel(setup.overlay.Line1() + " / " + setup.overlay.Line2());
}
BENCHMARK(BM_OverlayPerPalFrame)->Arg(2)->Arg(0)->Unit(benchmark::kMicrosecond);

// The detector's part of the loop above and the two picture copies, for comparison.
void BM_DetectorAndCopiesOnly(benchmark::State& state) {
    Setup setup(0);
    std::vector<uint8_t> work(setup.input.pixels.size());
    size_t i = 0;
    for (auto _ : state) {
        setup.detector.Transform(setup.frames[i++ % kFrames]);
        std::copy(setup.input.pixels.begin(), setup.input.pixels.end(), work.begin());
        std::copy(work.begin(), work.end(), setup.output.pixels.begin());
        benchmark::DoNotOptimize(setup.output.pixels.data());
    }
}
BENCHMARK(BM_DetectorAndCopiesOnly)->Unit(benchmark::kMicrosecond);

// The file fontconfig gives for the overlay's font, Arial bold.
std::string FontFile() {
    std::string file;
    if (FILE* pipe = popen("fc-match -f '%{file}' 'Arial:bold'", "r")) {
        char buffer[512];
        while (fgets(buffer, sizeof buffer, pipe)) file += buffer;
        pclose(pipe);
    }
    return file;
}

[[noreturn]] void Fail(const char* what, int error) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof text);
    std::fprintf(stderr, "libavfilter: %s: %s\n", what, text);
    std::exit(1);
}

void Check(int result, const char* what) {
    if (result < 0) Fail(what, result);
}

// One filter of a chain and its options, set as they are (no filter-graph escaping).
struct LibavFilter {
    std::string name;
    std::vector<std::pair<std::string, std::string>> options;
};

// A libavfilter chain from a buffer source to a buffer sink on BGR24 pictures, fed one picture at
// a time as a host filter would: the picture copied into a frame, through the chain, copied out.
class LibavChain {
public:
    LibavChain(int width, int height, const std::vector<LibavFilter>& filters)
        : width_(width), height_(height) {
        graph_ = avfilter_graph_alloc();
        graph_->nb_threads = 0;  // as many as the cores, as the ffmpeg program gives its filters
        char args[160];
        std::snprintf(args, sizeof args, "video_size=%dx%d:pix_fmt=%d:time_base=1/25:pixel_aspect=16/15",
                      width, height, int(AV_PIX_FMT_BGR24));
        Check(avfilter_graph_create_filter(&source_, avfilter_get_by_name("buffer"), "in", args, nullptr,
                                           graph_),
              "buffer source");
        Check(avfilter_graph_create_filter(&sink_, avfilter_get_by_name("buffersink"), "out", nullptr,
                                           nullptr, graph_),
              "buffer sink");
        const AVPixelFormat formats[] = {AV_PIX_FMT_BGR24, AV_PIX_FMT_NONE};
        Check(av_opt_set_int_list(sink_, "pix_fmts", formats, AV_PIX_FMT_NONE, AV_OPT_SEARCH_CHILDREN),
              "sink format");
        AVFilterContext* last = source_;
        for (const LibavFilter& f : filters) {
            AVFilterContext* filter =
                avfilter_graph_alloc_filter(graph_, avfilter_get_by_name(f.name.c_str()), nullptr);
            if (!filter) Fail(f.name.c_str(), AVERROR_FILTER_NOT_FOUND);
            AVDictionary* options = nullptr;
            for (const auto& [key, value] : f.options) av_dict_set(&options, key.c_str(), value.c_str(), 0);
            const int status = avfilter_init_dict(filter, &options);
            av_dict_free(&options);
            Check(status, f.name.c_str());
            Check(avfilter_link(last, 0, filter, 0), "link");
            last = filter;
        }
        Check(avfilter_link(last, 0, sink_, 0), "link");
        Check(avfilter_graph_config(graph_, nullptr), "filter configuration");
        frame_ = av_frame_alloc();
        frame_->width = width;
        frame_->height = height;
        frame_->format = AV_PIX_FMT_BGR24;
        Check(av_frame_get_buffer(frame_, 0), "frame");
    }
    ~LibavChain() {
        av_frame_free(&frame_);
        avfilter_graph_free(&graph_);
    }
    LibavChain(const LibavChain&) = delete;
    LibavChain& operator=(const LibavChain&) = delete;

    void Picture(const BgrPicture& input, BgrPicture& output) {
        Check(av_frame_make_writable(frame_), "writable frame");
        const size_t row = size_t(width_) * 3;
        for (int y = 0; y < height_; ++y)
            std::memcpy(frame_->data[0] + ptrdiff_t(y) * frame_->linesize[0], input.rowFromTop(y), row);
        frame_->pts = pts_++;
        Check(av_buffersrc_add_frame(source_, frame_), "send to the chain");  // takes the frame's reference
        Check(av_buffersink_get_frame(sink_, frame_), "take from the chain");
        for (int y = 0; y < height_; ++y)
            std::memcpy(output.rowFromTop(y), frame_->data[0] + ptrdiff_t(y) * frame_->linesize[0], row);
    }

private:
    int width_, height_;
    AVFilterGraph* graph_ = nullptr;
    AVFilterContext *source_ = nullptr, *sink_ = nullptr;
    AVFrame* frame_ = nullptr;
    int64_t pts_ = 0;
};

constexpr int kPictures = 1000;

// Our side of a contest: the overlay on kPictures pictures, or (overlay null) the detector and the
// two picture copies alone, as BM_DetectorAndCopiesOnly.
bench::Timing Ours(Setup& setup, size_t& next, bool overlay) {
    std::vector<uint8_t> work(setup.input.pixels.size());
    return bench::Measure([&] {
        for (int n = 0; n < kPictures; ++n) {
            setup.detector.Transform(setup.frames[next++ % kFrames]);
            if (overlay) {
                benchmark::DoNotOptimize(setup.overlay.Transform(setup.input.pixels, setup.output.pixels));
            } else {
                std::copy(setup.input.pixels.begin(), setup.input.pixels.end(), work.begin());
                std::copy(work.begin(), work.end(), setup.output.pixels.begin());
                benchmark::DoNotOptimize(setup.output.pixels.data());
            }
        }
    });
}

int Contests() {
    const std::string font = FontFile();
    if (font.empty()) {
        std::fprintf(stderr, "fontconfig has no file for Arial bold\n");
        return 1;
    }
    Setup outlined(2), plain(0), copies(0);
    size_t outlinedNext = 0, plainNext = 0, copiesNext = 0;
    Ours(outlined, outlinedNext, true);
    const std::string line1 = outlined.overlay.Line1(), line2 = outlined.overlay.Line2();
    const OverlayGeometry at = outlined.overlay.Geometry();
    // The overlay's second line is the time and the running timecode of the 25 frames it cycles
    // through, 0:12:34:00 to 0:12:34:24: drawtext writes the same texts from its frame count.
    const size_t frameField = line2.rfind(':');
    if (line1.empty() || frameField == std::string::npos) {
        std::fprintf(stderr, "the overlay drew no text\n");
        return 1;
    }
    const std::string text2 = line2.substr(0, frameField + 1) + "%{eif:mod(n,25):d:2}";
    const auto drawtext = [&](const std::string& text, int x, int y, int border) {
        // A 28-pixel cell of Arial is a 25-pixel em.
        return LibavFilter{"drawtext",
                           {{"fontfile", font},
                            {"text", text},
                            {"fontsize", "25"},
                            {"fontcolor", "white"},
                            {"borderw", std::to_string(border)},
                            {"x", std::to_string(x)},
                            {"y", std::to_string(y)}}};
    };
    std::printf("texts: \"%s\" at (%d, %d), \"%s\" at (%d, %d); font %s\n", line1.c_str(), at.X1, at.Y1,
                line2.c_str(), at.X2, at.Y2, font.c_str());

    const BgrPicture input = MakeBarsPicture(720, 576, 0);
    BgrPicture output;
    output.resize(720, 576);
    const auto peer = [&](LibavChain& chain) {
        return bench::Measure([&] {
            for (int n = 0; n < kPictures; ++n) chain.Picture(input, output);
        });
    };
    LibavChain outlinedPeer(720, 576, {drawtext(line1, at.X1, at.Y1, 2), drawtext(text2, at.X2, at.Y2, 2)});
    LibavChain plainPeer(720, 576, {drawtext(line1, at.X1, at.Y1, 0), drawtext(text2, at.X2, at.Y2, 0)});
    LibavChain nullPeer(720, 576, {LibavFilter{"null", {}}});

    bench::ContestOptions options;
    options.units = kPictures;
    options.unit = "pictures";
    bench::Contest("two lines with a 2-pixel outline on 1 000 PAL BGR pictures", bench::Scope::InProcess,
                   {{"velinor overlay, outline 2", [&] { return Ours(outlined, outlinedNext, true); }},
                    {"libavfilter drawtext x2, borderw 2", [&] { return peer(outlinedPeer); }}},
                   options);
    bench::Contest("two lines without an outline on 1 000 PAL BGR pictures", bench::Scope::InProcess,
                   {{"velinor overlay, no outline", [&] { return Ours(plain, plainNext, true); }},
                    {"libavfilter drawtext x2, borderw 0", [&] { return peer(plainPeer); }}},
                   options);
    bench::Contest("no text: the picture copies in and out of 1 000 PAL BGR pictures",
                   bench::Scope::InProcess,
                   {{"velinor detector + copies", [&] { return Ours(copies, copiesNext, false); }},
                    {"libavfilter null", [&] { return peer(nullPeer); }}},
                   options);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    av_log_set_level(AV_LOG_ERROR);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return Contests();
}
