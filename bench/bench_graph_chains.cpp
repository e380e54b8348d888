// Graph chains on the same DV clip, each side by side with the same work done by FFmpeg's
// libraries in this process (in-process vs in-process), from a warm cache, with the median and
// minimum wall and CPU times and the ratios (their time / ours):
//   decoding every frame to BGR24          vs  libavcodec's dvvideo decoder and swscale to BGR24
//   decoding and re-encoding to a DV AVI   vs  libavcodec decoder and dvvideo encoder, libavformat's
//                                              avi muxer, the audio copied
//   burning in the datecode: decoding, two outlined lines of text, re-encoding to a DV AVI with
//   the audio copied                       vs  the same with libavfilter's drawtext twice (borderw 2)
// FFmpeg's codecs and filters get the threads its command-line program gives them by default
// (thread_count 0: as many as the cores). And, whole process vs whole process:
//   type 1 to type 2: velinor-cli run ConvertirDV2  vs  dvgrab -I F.dv -f dv2 (the same frames as raw DV)
// Usage: bench_graph_chains [FRAMES] [RUNS] [--only WORD] (the rows whose title holds WORD). The clip (PAL,
// with audio; a copy carries recording dates) is made in the temporary folder.
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
#include "graph/dv_video_decoder.h"
#include "graph/dv_video_encoder.h"
#include "graph/graph.h"
#include "media/avi_writer.h"
#include "media/dvcodes.h"
#include "support/avi_fixtures.h"

#include "bench_support.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

namespace {

namespace fs = std::filesystem;
using namespace velinor;
using namespace velinor::bench;
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

[[noreturn]] void Fail(const char* what, int error = 0) {
    char text[AV_ERROR_MAX_STRING_SIZE] = "";
    if (error < 0) av_strerror(error, text, sizeof text);
    std::fprintf(stderr, "libav chain: %s %s\n", what, text);
    std::exit(1);
}

int Check(int result, const char* what) {
    if (result < 0 && result != AVERROR(EAGAIN) && result != AVERROR_EOF) Fail(what, result);
    return result;
}

// What the FFmpeg side of a chain does after decoding: convert to BGR24 (and drop), or filter
// (when `filter` is not empty) and encode to DV into an AVI with the audio copied.
struct LibavChainJob {
    std::string in;
    std::string out;     // empty: decode and convert to BGR24 only
    std::string filter;  // libavfilter graph description between the decoder and the encoder
};

// The chain with FFmpeg's libraries, as its command-line program would put them together.
void LibavChain(const LibavChainJob& job) {
    AVFormatContext* input = nullptr;
    Check(avformat_open_input(&input, job.in.c_str(), nullptr, nullptr), "open");
    Check(avformat_find_stream_info(input, nullptr), "stream info");
    const int video = av_find_best_stream(input, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    const int audio = av_find_best_stream(input, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (video < 0) Fail("no video stream");
    AVStream* inVideo = input->streams[video];
    const AVCodec* decoderCodec = avcodec_find_decoder(inVideo->codecpar->codec_id);
    AVCodecContext* decoder = avcodec_alloc_context3(decoderCodec);
    Check(avcodec_parameters_to_context(decoder, inVideo->codecpar), "decoder parameters");
    decoder->thread_count = 0;
    decoder->pkt_timebase = inVideo->time_base;
    Check(avcodec_open2(decoder, decoderCodec, nullptr), "open the decoder");

    SwsContext* scaler = nullptr;
    std::vector<uint8_t> bgr;
    AVFilterGraph* graph = nullptr;
    AVFilterContext *source = nullptr, *sink = nullptr;
    AVCodecContext* encoder = nullptr;
    AVFormatContext* output = nullptr;
    AVStream *outVideo = nullptr, *outAudio = nullptr;
    int64_t framesIn = 0;

    const auto openEncoder = [&](const AVFrame* frame) {
        const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_DVVIDEO);
        encoder = avcodec_alloc_context3(codec);
        encoder->width = frame->width;
        encoder->height = frame->height;
        encoder->pix_fmt = AVPixelFormat(frame->format);
        encoder->sample_aspect_ratio = frame->sample_aspect_ratio;
        encoder->framerate = av_guess_frame_rate(input, inVideo, nullptr);
        encoder->time_base = av_inv_q(encoder->framerate);
        encoder->thread_count = 0;
        Check(avcodec_open2(encoder, codec, nullptr), "open the encoder");
        Check(avformat_alloc_output_context2(&output, nullptr, "avi", job.out.c_str()), "output");
        outVideo = avformat_new_stream(output, nullptr);
        Check(avcodec_parameters_from_context(outVideo->codecpar, encoder), "video parameters");
        outVideo->time_base = encoder->time_base;
        if (audio >= 0) {
            outAudio = avformat_new_stream(output, nullptr);
            Check(avcodec_parameters_copy(outAudio->codecpar, input->streams[audio]->codecpar),
                  "audio parameters");
            outAudio->codecpar->codec_tag = 0;
            outAudio->time_base = input->streams[audio]->time_base;
        }
        Check(avio_open(&output->pb, job.out.c_str(), AVIO_FLAG_WRITE), "create the output");
        Check(avformat_write_header(output, nullptr), "write the header");
    };
    const auto openFilter = [&](const AVFrame* frame) {
        graph = avfilter_graph_alloc();
        graph->nb_threads = 0;
        char args[256];
        std::snprintf(args, sizeof args, "video_size=%dx%d:pix_fmt=%d:time_base=%d/%d:pixel_aspect=%d/%d",
                      frame->width, frame->height, frame->format, inVideo->time_base.num,
                      inVideo->time_base.den, std::max(1, frame->sample_aspect_ratio.num),
                      std::max(1, frame->sample_aspect_ratio.den));
        Check(
            avfilter_graph_create_filter(&source, avfilter_get_by_name("buffer"), "in", args, nullptr, graph),
            "buffer source");
        Check(avfilter_graph_create_filter(&sink, avfilter_get_by_name("buffersink"), "out", nullptr, nullptr,
                                           graph),
              "buffer sink");
        const AVPixelFormat formats[] = {AVPixelFormat(frame->format), AV_PIX_FMT_NONE};
        Check(av_opt_set_int_list(sink, "pix_fmts", formats, AV_PIX_FMT_NONE, AV_OPT_SEARCH_CHILDREN),
              "sink format");
        AVFilterInOut* outputs = avfilter_inout_alloc();
        AVFilterInOut* inputs = avfilter_inout_alloc();
        outputs->name = av_strdup("in");
        outputs->filter_ctx = source;
        inputs->name = av_strdup("out");
        inputs->filter_ctx = sink;
        Check(avfilter_graph_parse_ptr(graph, job.filter.c_str(), &inputs, &outputs, nullptr),
              "filter graph");
        Check(avfilter_graph_config(graph, nullptr), "filter configuration");
        avfilter_inout_free(&inputs);
        avfilter_inout_free(&outputs);
    };
    AVPacket* encoded = av_packet_alloc();
    const auto drainEncoder = [&] {
        while (Check(avcodec_receive_packet(encoder, encoded), "encode") >= 0) {
            encoded->stream_index = outVideo->index;
            av_packet_rescale_ts(encoded, encoder->time_base, outVideo->time_base);
            Check(av_interleaved_write_frame(output, encoded), "write video");
        }
    };
    AVFrame* filtered = av_frame_alloc();
    const auto encode = [&](AVFrame* frame) {
        if (!encoder) openEncoder(frame);
        frame->pts = framesIn++;
        frame->pict_type = AV_PICTURE_TYPE_NONE;
        Check(avcodec_send_frame(encoder, frame), "send to the encoder");
        drainEncoder();
    };
    const auto drainFilter = [&] {
        while (Check(av_buffersink_get_frame(sink, filtered), "filter") >= 0) {
            encode(filtered);
            av_frame_unref(filtered);
        }
    };
    AVFrame* decoded = av_frame_alloc();
    const auto take = [&](AVFrame* frame) {
        if (job.out.empty()) {
            if (!scaler)
                scaler =
                    sws_getContext(frame->width, frame->height, AVPixelFormat(frame->format), frame->width,
                                   frame->height, AV_PIX_FMT_BGR24, SWS_BICUBIC, nullptr, nullptr, nullptr);
            bgr.resize(size_t(frame->width) * size_t(frame->height) * 3);
            uint8_t* planes[4] = {bgr.data(), nullptr, nullptr, nullptr};
            int strides[4] = {frame->width * 3, 0, 0, 0};
            sws_scale(scaler, frame->data, frame->linesize, 0, frame->height, planes, strides);
            ++framesIn;
        } else if (!job.filter.empty()) {
            if (!graph) openFilter(frame);
            Check(av_buffersrc_add_frame_flags(source, frame, AV_BUFFERSRC_FLAG_KEEP_REF),
                  "send to the filter");
            drainFilter();
        } else {
            encode(frame);
        }
    };
    const auto drainDecoder = [&] {
        while (Check(avcodec_receive_frame(decoder, decoded), "decode") >= 0) {
            take(decoded);
            av_frame_unref(decoded);
        }
    };
    AVPacket* packet = av_packet_alloc();
    while (av_read_frame(input, packet) >= 0) {
        if (packet->stream_index == video) {
            Check(avcodec_send_packet(decoder, packet), "send to the decoder");
            drainDecoder();
        } else if (packet->stream_index == audio && !job.out.empty() && output) {
            packet->stream_index = outAudio->index;
            av_packet_rescale_ts(packet, input->streams[audio]->time_base, outAudio->time_base);
            packet->pos = -1;
            Check(av_interleaved_write_frame(output, packet), "write audio");
        }
        av_packet_unref(packet);
    }
    Check(avcodec_send_packet(decoder, nullptr), "flush the decoder");
    drainDecoder();
    if (graph) {
        Check(av_buffersrc_add_frame_flags(source, nullptr, 0), "flush the filter");
        drainFilter();
    }
    if (encoder) {
        Check(avcodec_send_frame(encoder, nullptr), "flush the encoder");
        drainEncoder();
        Check(av_write_trailer(output), "write the trailer");
        avio_closep(&output->pb);
        avformat_free_context(output);
        avcodec_free_context(&encoder);
    }
    avfilter_graph_free(&graph);
    sws_freeContext(scaler);
    av_packet_free(&packet);
    av_packet_free(&encoded);
    av_frame_free(&decoded);
    av_frame_free(&filtered);
    avcodec_free_context(&decoder);
    avformat_close_input(&input);
    if (framesIn == 0) Fail("no frame went through");
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string only;  // --only WORD: the rows whose title holds WORD
    if (const auto at = std::find(args.begin(), args.end(), "--only");
        at != args.end() && at + 1 != args.end()) {
        only = *(at + 1);
        args.erase(at, at + 2);
    }
    const auto wanted = [&only](const char* what) {
        return std::string(what).find(only) != std::string::npos;
    };
    const int frames = !args.empty() ? std::max(25, std::atoi(args[0].c_str())) : 500;
    const int runs = args.size() > 1 ? std::max(3, std::atoi(args[1].c_str())) : 3;
    const Files f = MakeFiles(frames);
    if (f.raw.empty()) {
        std::fprintf(stderr, "ffmpeg is needed to make the clip\n");
        return 1;
    }
    std::printf("clip: %d PAL frames with audio, %u cores\n", frames, std::thread::hardware_concurrency());
    ContestOptions options;
    options.runs = runs;
    options.units = frames;

    options.target = 1.0;
    if (wanted("decode every frame to BGR24"))
        Contest("decode every frame to BGR24", Scope::InProcess,
                {{"velinor graph", [&] { return Measure([&] { DecodeChain(f.type2); }); }},
                 {"libavcodec + swscale", [&] { return Measure([&] {
                                                    LibavChain({f.type2, "", ""});
                                                }); }}},
                options);

    options.target = 1.2;
    const std::string oursReencoded = f.dir + "/ours-reencoded.avi",
                      libavReencoded = f.dir + "/libav-reencoded.avi";
    if (wanted("decode and encode to a DV AVI, the audio copied"))
        Contest("decode and encode to a DV AVI, the audio copied", Scope::InProcess,
                {{"velinor graph", [&] { return Measure([&] { ReencodeChain(f.type2, oursReencoded); }); }},
                 {"libavcodec + libavformat avi",
                  [&] {
                      fs::remove(libavReencoded);
                      return Measure([&] { LibavChain({f.type2, libavReencoded, ""}); });
                  }}},
                options);

    const std::string font = bench::ShellOutput("fc-match -f '%{file}' Arial");
    // The same two lines in the same place: 28-pixel cells, bottom right, white, outline 2.
    const std::string drawtext = "drawtext=fontfile=" + font +
                                 ":text='dimanche 4 mars 2007':fontsize=25:fontcolor=white:borderw=2:"
                                 "x=648-text_w:y=462,drawtext=fontfile=" +
                                 font +
                                 ":text='10\\:11\\:12':fontsize=25:fontcolor=white:borderw=2:x=572:y=490";
    const std::string oursBurnt = f.dir + "/ours-burnt.avi", libavBurnt = f.dir + "/libav-burnt.avi";
    if (wanted("burn the datecode in (two lines, outline 2) and encode to a DV AVI, the audio copied"))
        Contest("burn the datecode in (two lines, outline 2) and encode to a DV AVI, the audio copied",
                Scope::InProcess,
                {{"velinor graph", [&] { return Measure([&] { BurnInChain(f.dated, oursBurnt); }); }},
                 {"libavcodec + libavfilter drawtext x2",
                  [&] {
                      fs::remove(libavBurnt);
                      return Measure([&] { LibavChain({f.dated, libavBurnt, drawtext}); });
                  }}},
                options);

    if (wanted("type 1 to type 2") && std::system("command -v dvgrab >/dev/null 2>&1") == 0) {
        const std::string cli = VelinorCli();
        const std::string oursType2 = fs::path(f.type1).replace_extension().string() + "_type2.avi";
        const std::string grabDir = f.dir + "/dvgrab";
        options.target = 1.0;
        options.before = [&] {
            fs::remove(oursType2);
            fs::remove_all(grabDir);
            fs::create_directories(grabDir);
        };
        Contest("type 1 to type 2", Scope::WholeProcess,
                {{"velinor-cli run ConvertirDV2",
                  [&] {
                      return MustRun({cli, "run", "ConvertirDV2", "--yes-all", f.type1}).time;
                  }},
                 {"dvgrab -f dv2",
                  [&] {
                      return MustRun({"dvgrab", "-noavc", "-I", f.raw, "-f", "dv2", "-s", "0", "dvgrab-"},
                                     ChildOptions::InFolder(grabDir))
                          .time;
                  }}},
                options);
        options.before();
        fs::remove_all(grabDir);
    } else {
        std::printf("type 1 to type 2: dvgrab is not installed, no comparison\n");
    }
    return 0;
}
