#include <gtest/gtest.h>

#include <cmath>
#include <mutex>

#include "graph/audio_converter.h"
#include "graph/av_video_decoder.h"
#include "graph/avi_source.h"
#include "graph/dv_avi_files.h"
#include "graph/graph.h"
#include "graph/system_filters.h"
#include "support/avi_fixtures.h"
#include "support/temp_dir.h"

namespace velinor::graph {
namespace {

using test::RunCommand;
using test::ShellQuote;

// Keeps every sample's bytes, for comparing with what FFmpeg makes of the same file.
class DataSink : public RendererFilter {
public:
    explicit DataSink(MediaType accepted) : RendererFilter("Data sink"), accepted_(std::move(accepted)) {
        addInput("In");
    }
    bool checkInputType(const InputPin&, const MediaType& type) override { return type.matches(accepted_); }
    bool waitsForSampleTime() const override { return false; }
    Flow render(InputPin&, const SamplePtr& sample) override {
        std::lock_guard lock(mutex_);
        samples_.push_back(sample->data);
        return Flow::Ok;
    }
    std::vector<std::vector<uint8_t>> samples() const {
        std::lock_guard lock(mutex_);
        return samples_;
    }

private:
    MediaType accepted_;
    mutable std::mutex mutex_;
    std::vector<std::vector<uint8_t>> samples_;
};

bool MakeWithFfmpeg(const std::string& arguments, const std::string& path) {
    int status = 0;
    RunCommand("ffmpeg -v error -nostdin -y " + arguments + " " + ShellQuote(path) + " 2>&1", &status);
    return status == 0;
}

// Other codecs reach an RGB24 sink through the render helper, and decode as FFmpeg decodes them.
TEST(OtherCodecsSlow, RenderHelperDecodesByFourCC) {
    if (!test::HaveProgram("ffmpeg")) GTEST_SKIP() << "ffmpeg missing";
    struct Case {
        const char* codec;
        double tolerance;  // mean difference per byte against FFmpeg's own BGR24 (scalers differ)
    };
    const Case cases[] = {{"mjpeg", 4.0}, {"mpeg4", 4.0}, {"ffv1", 4.0}};
    FilterRegistry registry;
    RegisterSystemFilters(registry);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.codec);
        test::TempDir dir;
        const std::string in = dir.file("in.avi");
        ASSERT_TRUE(MakeWithFfmpeg(
            std::string("-f lavfi -i testsrc=size=176x144:rate=25 -t 0.4 -c:v ") + c.codec, in));
        const std::string expected = RunCommand("ffmpeg -v error -nostdin -i " + ShellQuote(in) +
                                                " -vf vflip -f rawvideo -pix_fmt bgr24 - 2>/dev/null");
        ASSERT_EQ(expected.size(), size_t(10 * 176 * 144 * 3));

        Graph g;
        auto source = std::make_shared<AviSource>();
        source->load(in);
        auto sink = std::make_shared<DataSink>(MediaType(MajorType::Video, kSubtypeRgb24));
        g.addFilter(source);
        g.addFilter(sink);
        ASSERT_TRUE(g.render(*source->output(0), *sink, registry));
        const auto event = test::RunToEnd(g);
        ASSERT_TRUE(event && event->type == GraphEvent::Type::Complete)
            << (event ? event->message : "time-out");
        const auto pictures = sink->samples();
        ASSERT_EQ(pictures.size(), 10u);
        const size_t rowBytes = 176 * 3;  // 528, already a multiple of 4
        for (size_t i = 0; i < pictures.size(); ++i) {
            ASSERT_EQ(pictures[i].size(), rowBytes * 144);
            double difference = 0;
            for (size_t b = 0; b < pictures[i].size(); ++b)
                difference +=
                    std::abs(int(pictures[i][b]) - int(uint8_t(expected[i * pictures[i].size() + b])));
            EXPECT_LT(difference / double(pictures[i].size()), c.tolerance) << "picture " << i;
        }
    }
}

TEST(OtherCodecsSlow, AudioConverterMatchesFfmpegResampling) {
    if (!test::HaveProgram("ffmpeg")) GTEST_SKIP() << "ffmpeg missing";
    struct Case {
        const char* name;
        const char* encode;  // FFmpeg's audio options for the source
        uint32_t rate;
        uint16_t channels;
    };
    const Case cases[] = {
        {"float 44.1 kHz mono to 48 kHz stereo", "-ac 1 -ar 44100 -c:a pcm_f32le", 48'000, 2},
        {"8-bit 32 kHz stereo, kept rate", "-ac 2 -ar 32000 -c:a pcm_u8", 0, 0},
        {"16-bit 48 kHz stereo to 32 kHz", "-ac 2 -ar 48000 -c:a pcm_s16le", 32'000, 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        const std::string in = dir.file("in.avi");
        ASSERT_TRUE(MakeWithFfmpeg(
            std::string("-f lavfi -i sine=frequency=523:sample_rate=48000 -t 1 ") + c.encode, in));
        std::string args = " -f s16le -acodec pcm_s16le";
        if (c.rate) args += " -ar " + std::to_string(c.rate) + " -ac " + std::to_string(c.channels);
        const std::string expected =
            RunCommand("ffmpeg -v error -nostdin -i " + ShellQuote(in) + args + " - 2>/dev/null");
        ASSERT_FALSE(expected.empty());

        Graph g;
        auto source = std::make_shared<AviSource>();
        source->load(in);
        auto converter = std::make_shared<AudioConverter>();
        ASSERT_TRUE(converter->setOutputFormat(c.rate, c.channels));
        auto sink = std::make_shared<DataSink>(MediaType(MajorType::Audio, kSubtypePcm));
        g.addFilter(source);
        g.addFilter(converter);
        g.addFilter(sink);
        ASSERT_TRUE(g.connect(*source->output(0), converter->inputPin()));
        ASSERT_TRUE(g.connect(converter->outputPin(), *sink->input()));
        const auto event = test::RunToEnd(g);
        ASSERT_TRUE(event && event->type == GraphEvent::Type::Complete);
        std::string got;
        for (const auto& s : sink->samples()) got.append(s.begin(), s.end());
        EXPECT_NEAR(double(got.size()), double(expected.size()), 64.0);
        const size_t n = std::min(got.size(), expected.size()) / 2;
        int worst = 0;
        for (size_t i = 0; i < n; ++i) {
            const auto a = int16_t(uint8_t(got[2 * i]) | uint8_t(got[2 * i + 1]) << 8);
            const auto b = int16_t(uint8_t(expected[2 * i]) | uint8_t(expected[2 * i + 1]) << 8);
            worst = std::max(worst, std::abs(a - b));
        }
        EXPECT_LE(worst, 2);
    }
}

TEST(OtherCodecs, RefusedFormatsAndSettings) {
    AudioConverter converter;
    struct Setting {
        uint32_t rate;
        uint16_t channels;
        bool accepted;
    };
    const Setting settings[] = {{0, 0, true}, {48'000, 2, true}, {500, 2, false}, {48'000, 9, false}};
    for (const auto& s : settings)
        EXPECT_EQ(converter.setOutputFormat(s.rate, s.channels), s.accepted)
            << s.rate << " Hz " << s.channels;

    const WaveFormat bits24{kSubtypePcm, 2, 48'000, 24};
    const WaveFormat float64{0x0003, 2, 48'000, 64};
    const WaveFormat nine{kSubtypePcm, 9, 48'000, 16};
    for (const auto& wave : {bits24, float64, nine})
        EXPECT_FALSE(converter.checkInputType(converter.inputPin(), AudioType(wave))) << wave.bitsPerSample;

    EXPECT_TRUE(AvVideoDecoder::CanDecode(FourCC("MJPG")));
    EXPECT_TRUE(AvVideoDecoder::CanDecode(FourCC("xvid")));
    EXPECT_FALSE(AvVideoDecoder::CanDecode(FourCC("zzzz")));
    AvVideoDecoder decoder;
    VideoInfo info;
    info.width = 320;
    info.height = 240;
    info.compression = FourCC("zzzz");
    EXPECT_FALSE(decoder.checkInputType(decoder.inputPin(), VideoType(FourCC("zzzz"), info)));
    info.compression = FourCC("MJPG");
    info.width = 100'000;
    EXPECT_FALSE(decoder.checkInputType(decoder.inputPin(), VideoType(FourCC("MJPG"), info)));
}

}  // namespace
}  // namespace velinor::graph
