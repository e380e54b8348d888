// Decoding and encoding the audio of one DV frame, and decoding a whole raw DV file's audio side
// by side with `ffmpeg -i F -map 0:a -f s16le` when the ffmpeg program is present.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

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

void BM_FileDecode_Ours(benchmark::State& state) {
    if (dvFile().empty()) {
        state.SkipWithError("ffmpeg is not installed");
        return;
    }
    for (auto _ : state) {
        // Read and decode, as a reader of the file would, from a warm cache.
        std::ifstream in(dvFile(), std::ios::binary);
        std::vector<uint8_t> frame(144'000);
        std::vector<int16_t> pcm;
        size_t total = 0;
        while (in.read(reinterpret_cast<char*>(frame.data()), std::streamsize(frame.size()))) {
            if (DecodeDifAudio(frame, pcm)) total += pcm.size();
        }
        benchmark::DoNotOptimize(total);
    }
    state.counters["per_frame"] = benchmark::Counter(
        double(state.iterations()) * kFileFrames, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_FileDecode_Ffmpeg(benchmark::State& state) {
    if (dvFile().empty()) {
        state.SkipWithError("ffmpeg is not installed");
        return;
    }
    const std::string cmd = "ffmpeg -v error -i '" + dvFile() + "' -map 0:a -f s16le -y /dev/null";
    for (auto _ : state) {
        const int status = std::system(cmd.c_str());
        benchmark::DoNotOptimize(status);
    }
    state.counters["per_frame"] = benchmark::Counter(
        double(state.iterations()) * kFileFrames, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

BENCHMARK(BM_FileDecode_Ours)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FileDecode_Ffmpeg)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

}  // namespace
}  // namespace velinor

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (!velinor::dvFile().empty()) std::filesystem::remove(velinor::dvFile());
    return 0;
}
