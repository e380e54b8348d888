#include "graph/basic_filters.h"

#include <gtest/gtest.h>

#include "graph/graph.h"
#include "graph/sinks.h"
#include "graph/test_filters.h"

namespace velinor::graph {
namespace {

using namespace std::chrono_literals;
using testing::NumberedSource;

constexpr auto kWait = 10s;

// A source of one fixed picture, repeated `count` times.
class PictureSource : public SourceFilter {
public:
    PictureSource(MediaType type, std::vector<uint8_t> picture, int count = 1)
        : SourceFilter("Picture source"),
          type_(std::move(type)),
          picture_(std::move(picture)),
          count_(count) {
        addOutput("Out");
    }
    int64_t duration() const override { return count_ * 400'000; }
    int64_t frameDuration() const override { return 400'000; }
    std::vector<MediaType> outputTypes(const OutputPin&) override { return {type_}; }

protected:
    void seek(int64_t start, std::optional<int64_t>) override { next_ = frameAt(start); }
    Flow produce() override {
        if (next_ >= count_) return Flow::EndOfStream;
        auto sample = std::make_shared<Sample>();
        sample->data = picture_;
        sample->hasTime = true;
        sample->start = next_ * 400'000;
        sample->stop = sample->start + 400'000;
        sample->hasMediaTime = true;
        sample->mediaStart = next_;
        sample->mediaStop = ++next_;
        return deliver(*output(), sample);
    }

private:
    MediaType type_;
    std::vector<uint8_t> picture_;
    int count_;
    int64_t next_ = 0;
};

MediaType RgbType(uint32_t subtype, int width, int height) {
    VideoInfo info;
    info.avgTimePerFrame = 400'000;
    info.width = width;
    info.height = height;
    info.bitCount = subtype == kSubtypeRgb24 ? 24 : 32;
    return VideoType(subtype, info);
}

// Runs `picture` through the colour converter into a headless surface and returns what it showed.
std::optional<VideoFrame> Convert(const MediaType& type, const std::vector<uint8_t>& picture) {
    Graph graph;
    auto source = std::make_shared<PictureSource>(type, picture);
    auto converter = std::make_shared<ColourConverter>();
    auto surface = std::make_shared<HeadlessVideoSurface>();
    auto renderer = std::make_shared<VideoRenderer>(surface);
    graph.addFilter(source);
    graph.addFilter(converter);
    graph.addFilter(renderer);
    if (!graph.connect(*source->output(), *converter->input())) return std::nullopt;
    if (!graph.connect(*converter->output(), *renderer->input())) return std::nullopt;
    graph.setClock(nullptr);
    if (!graph.run()) return std::nullopt;
    auto event = graph.waitForEvent(kWait);
    if (!event || event->type != GraphEvent::Type::Complete) return std::nullopt;
    return surface->lastFrame();
}

TEST(ColourConverterTest, GivesBottomUpBgrRowsPaddedToFourBytes) {
    // A 3 × 2 picture: top row pixels T0 T1 T2, bottom row B0 B1 B2, each pixel's three bytes
    // holding its own tag. Output rows are 12 bytes (9 padded to 12), bottom row first.
    const std::vector<uint8_t> top = {0x10, 0x11, 0x12, 0x20, 0x21, 0x22, 0x30, 0x31, 0x32};
    const std::vector<uint8_t> bottom = {0x40, 0x41, 0x42, 0x50, 0x51, 0x52, 0x60, 0x61, 0x62};
    auto rgb24 = [](const std::vector<uint8_t>& first, const std::vector<uint8_t>& second) {
        std::vector<uint8_t> out(first);
        out.resize(12, 0);
        out.insert(out.end(), second.begin(), second.end());
        out.resize(24, 0);
        return out;
    };
    auto rgb32 = [](const std::vector<uint8_t>& first, const std::vector<uint8_t>& second) {
        std::vector<uint8_t> out;
        for (const auto* row : {&first, &second})
            for (size_t p = 0; p < 3; ++p) {
                out.insert(out.end(), row->begin() + std::ptrdiff_t(3 * p),
                           row->begin() + std::ptrdiff_t(3 * p + 3));
                out.push_back(0xFF);
            }
        return out;
    };
    const std::vector<uint8_t> expected = rgb24(bottom, top);
    struct Case {
        const char* name;
        MediaType type;
        std::vector<uint8_t> picture;
    };
    const Case cases[] = {
        {"24-bit bottom-up", RgbType(kSubtypeRgb24, 3, 2), rgb24(bottom, top)},
        {"24-bit top-down", RgbType(kSubtypeRgb24, 3, -2), rgb24(top, bottom)},
        {"32-bit bottom-up", RgbType(kSubtypeRgb32, 3, 2), rgb32(bottom, top)},
        {"32-bit top-down", RgbType(kSubtypeRgb32, 3, -2), rgb32(top, bottom)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto frame = Convert(c.type, c.picture);
        ASSERT_TRUE(frame);
        EXPECT_EQ(frame->width, 3);
        EXPECT_EQ(frame->height, 2);
        EXPECT_EQ(frame->stride, 12);
        EXPECT_EQ(frame->pixels, expected);
        EXPECT_EQ(frame->frameNumber, 0);
    }
}

TEST(ColourConverterTest, RefusesWhatItCannotConvertAndReportsShortPictures) {
    ColourConverter converter;
    const MediaType refused[] = {
        MediaType{MajorType::Video, kSubtypeDvsd, RgbType(kSubtypeRgb24, 3, 2).format},
        RgbType(kSubtypeRgb24, 0, 2),
        RgbType(kSubtypeRgb24, 3, 0),
        RgbType(kSubtypeRgb24, 100'000, 2),
        MediaType{MajorType::Video, kSubtypeRgb24},  // no format block
        MediaType{MajorType::Audio, kSubtypeRgb24, RgbType(kSubtypeRgb24, 3, 2).format},
    };
    for (const auto& type : refused) EXPECT_FALSE(converter.checkInputType(*converter.input(), type));

    // One byte short: a picture passed through unchanged, and one converted.
    const std::pair<MediaType, size_t> shortPictures[] = {{RgbType(kSubtypeRgb24, 3, 2), 23},
                                                          {RgbType(kSubtypeRgb32, 3, -2), 23}};
    for (const auto& [type, bytes] : shortPictures) {
        Graph graph;
        auto source = std::make_shared<PictureSource>(type, std::vector<uint8_t>(bytes));
        auto conv = std::make_shared<ColourConverter>();
        auto renderer = std::make_shared<NullRenderer>();
        graph.addFilter(source);
        graph.addFilter(conv);
        graph.addFilter(renderer);
        ASSERT_TRUE(graph.connect(*source->output(), *conv->input()));
        ASSERT_TRUE(graph.connect(*conv->output(), *renderer->input()));
        graph.setClock(nullptr);
        ASSERT_TRUE(graph.run());
        auto event = graph.waitForEvent(kWait);
        ASSERT_TRUE(event);
        EXPECT_EQ(event->type, GraphEvent::Type::Error);
        EXPECT_EQ(event->message, "Image incomplète");
    }
}

TEST(VideoRendererTest, PauseHandsTheFirstPictureToTheSurface) {
    Graph graph;
    auto source =
        std::make_shared<PictureSource>(RgbType(kSubtypeRgb24, 4, 2), std::vector<uint8_t>(24, 7), 5);
    auto surface = std::make_shared<HeadlessVideoSurface>();
    auto renderer = std::make_shared<VideoRenderer>(surface);
    graph.addFilter(source);
    graph.addFilter(renderer);
    ASSERT_TRUE(graph.connect(*source->output(), *renderer->input()));
    ASSERT_TRUE(graph.pause());
    auto event = graph.waitForEvent(kWait);
    ASSERT_TRUE(event);
    EXPECT_EQ(event->type, GraphEvent::Type::Paused);
    EXPECT_EQ(surface->framesShown(), 1);
    ASSERT_TRUE(graph.setPositions(3, std::nullopt, TimeFormat::Frame));
    ASSERT_TRUE(surface->waitForFrames(2, kWait));
    EXPECT_EQ(surface->lastFrame()->frameNumber, 3);
}

TEST(FrameMailboxTest, ASlowReaderGetsOnlyTheNewestPicture) {
    FrameMailbox mailbox;
    EXPECT_FALSE(mailbox.take());
    for (int i = 0; i < 3; ++i) {
        VideoFrame frame;
        frame.frameNumber = i;
        frame.pixels.assign(6, uint8_t(i));
        mailbox.put(std::move(frame));
    }
    const auto frame = mailbox.take();
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->frameNumber, 2);
    EXPECT_EQ(frame->pixels, std::vector<uint8_t>(6, 2));
    EXPECT_FALSE(mailbox.take());
    EXPECT_EQ(mailbox.spareBuffer().size(), 6u) << "a replaced picture's buffer is kept for reuse";
}

TEST(AudioRendererTest, OpensTheDeviceWritesEverySampleAndClosesAtStop) {
    const WaveFormat wave{kSubtypePcm, 2, 48000, 16};
    struct Case {
        const char* name;
        bool withClock;
    };
    for (const Case c : {Case{"no clock", false}, Case{"clock", true}}) {
        SCOPED_TRACE(c.name);
        Graph graph;
        // Audio goes to the device as it comes, not at its time: a device buffers ahead.
        NumberedSource::Options options{.count = 6, .step = 36'000'000'000, .bytes = 1920};
        options.types = {AudioType(wave)};
        auto source = std::make_shared<NumberedSource>(options);
        auto device = std::make_shared<HeadlessAudioDevice>();
        auto renderer = std::make_shared<AudioRenderer>(device);
        graph.addFilter(source);
        graph.addFilter(renderer);
        ASSERT_TRUE(graph.connect(*source->output(), *renderer->input()));
        if (c.withClock)
            graph.setClock(std::make_shared<ManualClock>());
        else
            graph.setClock(nullptr);
        ASSERT_TRUE(graph.run());
        auto event = graph.waitForEvent(kWait);
        ASSERT_TRUE(event);
        EXPECT_EQ(event->type, GraphEvent::Type::Complete);
        EXPECT_TRUE(device->isOpen());
        ASSERT_TRUE(device->format());
        EXPECT_EQ(device->format()->samplesPerSec, 48000u);
        EXPECT_EQ(device->bytesWritten(), 6u * 1920u);
        graph.stop();
        EXPECT_FALSE(device->isOpen());
    }
    AudioRenderer renderer(std::make_shared<HeadlessAudioDevice>());
    EXPECT_FALSE(
        renderer.checkInputType(*renderer.input(), AudioType(WaveFormat{kSubtypePcm, 2, 48000, 12})));
    EXPECT_FALSE(renderer.checkInputType(*renderer.input(), AudioType(WaveFormat{0x0055, 2, 48000, 16})));
}

TEST(NullRendererTest, AcceptsWhatFitsItsPatternAndDropsEverything) {
    NullRenderer any;
    NullRenderer audio{MediaType{MajorType::Audio}};
    const MediaType video = RgbType(kSubtypeRgb24, 2, 2);
    EXPECT_TRUE(any.checkInputType(*any.input(), video));
    EXPECT_FALSE(audio.checkInputType(*audio.input(), video));
    EXPECT_TRUE(audio.checkInputType(*audio.input(), AudioType(WaveFormat{kSubtypePcm, 1, 32000, 16})));
}

}  // namespace
}  // namespace velinor::graph
