// Decoding and encoding the audio of one DV frame, and decoding a whole raw DV file's audio (made
// by the ffmpeg program, which must be present). Then, in-process vs in-process from a warm cache,
// the file decoded 10 times a run: our decoder over every frame of that file against libavformat's
// raw DV demuxer, which decodes the audio into the 16-bit PCM packets it hands out, opening the
// file as the ffmpeg program does (stream probing included) and reading every audio packet with
// the video stream discarded (what `ffmpeg -i F -map 0:a -f s16le` asks of it), both in this
// process; median and minimum wall and CPU times of alternated runs and the ratios (their time /
// ours).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern "C" {
#include <libavformat/avformat.h>
}

#include "bench_support.h"
#include "libav_support.h"
#include "media/dif_audio.h"

namespace velinor {
namespace {

std::vector<int16_t> sinePcm(int samples, int channels, int frequency) {
    std::vector<int16_t> pcm(size_t(samples) * size_t(channels));
    for (int n = 0; n < samples; ++n)
        for (int c = 0; c < channels; ++c)
            pcm[size_t(n * channels + c)] =
                int16_t(std::lround(12000 * std::sin(2 * M_PI * (440 + 110 * c) * n / frequency)));
    return pcm;
}

std::vector<uint8_t> encodedFrame(bool is525, const DifAudioFormat& format, int samples) {
    std::vector<uint8_t> frame(is525 ? 120'000 : 144'000, 0);
    EncodeDifAudio(frame, format, sinePcm(samples, format.Channels, format.Frequency), samples);
    return frame;
}

void BM_Decode(benchmark::State& state, bool is525, DifAudioFormat format, int samples) {
    const auto frame = encodedFrame(is525, format, samples);
    std::vector<int16_t> pcm;
    for (auto _ : state) {
        auto decoded = DecodeDifAudio(frame, pcm);
        benchmark::DoNotOptimize(decoded);
        benchmark::DoNotOptimize(pcm.data());
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_Encode(benchmark::State& state, bool is525, DifAudioFormat format, int samples) {
    std::vector<uint8_t> frame(is525 ? 120'000 : 144'000, 0);
    const auto pcm = sinePcm(samples, format.Channels, format.Frequency);
    for (auto _ : state) {
        const bool ok = EncodeDifAudio(frame, format, pcm, samples);
        benchmark::DoNotOptimize(ok);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK_CAPTURE(BM_Decode, pal_48k_16bit_stereo, false, DifAudioFormat{48'000, 16, 2}, 1920);
BENCHMARK_CAPTURE(BM_Decode, ntsc_48k_16bit_stereo, true, DifAudioFormat{48'000, 16, 2}, 1602);
BENCHMARK_CAPTURE(BM_Decode, pal_32k_12bit_4ch, false, DifAudioFormat{32'000, 12, 4}, 1280);
BENCHMARK_CAPTURE(BM_Encode, pal_48k_16bit_stereo, false, DifAudioFormat{48'000, 16, 2}, 1920);
BENCHMARK_CAPTURE(BM_Encode, ntsc_48k_16bit_stereo, true, DifAudioFormat{48'000, 16, 2}, 1602);
BENCHMARK_CAPTURE(BM_Encode, pal_32k_12bit_4ch, false, DifAudioFormat{32'000, 12, 4}, 1280);

// A ten-second PAL 48 kHz raw DV file from FFmpeg's encoder, made once per run.
constexpr int kFileFrames = 250;
const std::string& dvFile() {
    static const std::string path = [] {
        const std::string p = (std::filesystem::temp_directory_path() /
                               ("velinor-bench-difaudio-" + std::to_string(getpid()) + ".dv"))
                                  .string();
        const std::string cmd =
            "ffmpeg -v error -y -f lavfi -i testsrc=size=720x576:rate=25 -f lavfi -i "
            "sine=frequency=1000:sample_rate=48000 -t 10 -c:v dvvideo -ar 48000 -ac 2 -f dv '" +
            p + "'";
        return std::system(cmd.c_str()) == 0 ? p : std::string();
    }();
    return path;
}

// Reads and decodes the file's audio, as a reader of the file would; the samples of all
// channels.
size_t DecodeFileOurs(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> frame(144'000);
    std::vector<int16_t> pcm;
    size_t total = 0;
    while (in.read(reinterpret_cast<char*>(frame.data()), std::streamsize(frame.size()))) {
        if (DecodeDifAudio(frame, pcm)) total += pcm.size();
    }
    return total;
}

// The same with libavformat's raw DV demuxer, which hands out the audio as 16-bit PCM packets,
// the video stream discarded as `ffmpeg -map 0:a` discards it; the samples of all channels.
size_t DecodeFileLibav(const std::string& path) {
    size_t total = 0;
    bench::ForEachRawDvPacket(path, AVMEDIA_TYPE_AUDIO, [&total](const AVPacket& packet) {
        benchmark::DoNotOptimize(packet.data);
        total += size_t(packet.size) / sizeof(int16_t);
    });
    return total;
}

void BM_FileDecode_Ours(benchmark::State& state) {
    if (dvFile().empty()) {
        state.SkipWithError("ffmpeg is not installed");
        return;
    }
    for (auto _ : state) {
        // Read and decode, as a reader of the file would, from a warm cache.
        benchmark::DoNotOptimize(DecodeFileOurs(dvFile()));
    }
    state.counters["per_frame"] = benchmark::Counter(
        double(state.iterations()) * kFileFrames, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

BENCHMARK(BM_FileDecode_Ours)->Unit(benchmark::kMillisecond)->UseRealTime();

// Our decoding of the whole file against libavformat's, both in this process.
int FileContest() {
    const std::string& path = dvFile();
    const size_t ours = DecodeFileOurs(path), theirs = DecodeFileLibav(path);
    std::printf("file: %d PAL frames, 48 kHz stereo; samples (all channels): velinor %zu, libavformat %zu\n",
                kFileFrames, ours, theirs);
    if (ours == 0 || ours != theirs) {
        std::fprintf(stderr, "the two decoders do not give the same number of samples\n");
        return 1;
    }
    constexpr int kPasses = 10;  // the file decoded 10 times a run, so that a run lasts long enough to time
    bench::ContestOptions options;
    options.runs = 5;
    options.units = double(kFileFrames) * kPasses;
    bench::Contest("decoding the audio of every frame of a 10-second PAL raw DV file (10 passes a run)",
                   bench::Scope::InProcess,
                   {{"velinor DecodeDifAudio",
                     [&] {
                         return bench::Measure([&] {
                             for (int i = 0; i < kPasses; ++i) DecodeFileOurs(path);
                         });
                     }},
                    {"libavformat dv, video discarded",
                     [&] {
                         return bench::Measure([&] {
                             for (int i = 0; i < kPasses; ++i) DecodeFileLibav(path);
                         });
                     }}},
                   options);
    return 0;
}

}  // namespace
}  // namespace velinor

int main(int argc, char** argv) {
    av_log_set_level(AV_LOG_ERROR);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (velinor::dvFile().empty()) {
        std::fprintf(stderr, "ffmpeg is needed to make the file\n");
        return 1;
    }
    const int status = velinor::FileContest();
    std::filesystem::remove(velinor::dvFile());
    return status;
}
