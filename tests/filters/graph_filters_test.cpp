#include "filters/graph_filters.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <mutex>

#include "graph/graph.h"
#include "support/dv_builder.h"

namespace velinor {
namespace {

using namespace std::chrono_literals;
using graph::Flow;
using graph::MediaType;
using graph::Sample;
using graph::SamplePtr;

// Delivers the samples it was given, in order, with one media type.
class ListSource : public graph::SourceFilter {
public:
    ListSource(MediaType type, std::vector<SamplePtr> samples)
        : SourceFilter("List source"), type_(std::move(type)), samples_(std::move(samples)) {
        addOutput("Out");
    }
    int64_t duration() const override { return int64_t(samples_.size()) * 400'000; }
    std::vector<MediaType> outputTypes(const graph::OutputPin&) override { return {type_}; }

protected:
    void seek(int64_t, std::optional<int64_t>) override { next_ = 0; }
    Flow produce() override {
        if (next_ >= samples_.size()) return Flow::EndOfStream;
        return deliver(*output(0), std::make_shared<Sample>(*samples_[next_++]));
    }

private:
    MediaType type_;
    std::vector<SamplePtr> samples_;
    size_t next_ = 0;
};

class Capture : public graph::RendererFilter {
public:
    Capture() : RendererFilter("Capture") { addInput("In"); }
    bool checkInputType(const graph::InputPin&, const MediaType& type) override { return !type.isPartial(); }
    Flow render(graph::InputPin&, const SamplePtr& sample) override {
        std::lock_guard lock(mutex_);
        samples_.push_back(sample);
        return Flow::Ok;
    }
    bool waitsForSampleTime() const override { return false; }
    std::vector<SamplePtr> samples() const {
        std::lock_guard lock(mutex_);
        return samples_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<SamplePtr> samples_;
};

// Hands DV frames to a datecode detector on the streaming thread, as its own filter will.
class DetectorStage : public graph::InPlaceTransformFilter {
public:
    explicit DetectorStage(Tdv_sceneDetect& detector)
        : InPlaceTransformFilter("Detector"), detector_(detector) {}
    bool startStreaming(std::string&) override {
        detector_.StartStreaming(std::nullopt);
        return true;
    }

protected:
    bool acceptsInput(const MediaType& type) override { return IsDvType(type); }
    bool modifiesData() const override { return false; }
    Flow transform(Sample& sample) override {
        detector_.Transform(sample.data);
        return Flow::Ok;
    }

private:
    Tdv_sceneDetect& detector_;
};

MediaType PictureType(int width, int height) {
    graph::VideoInfo info;
    info.avgTimePerFrame = 400'000;
    info.width = width;
    info.height = height;
    info.bitCount = 24;
    info.imageSize = uint32_t(info.stride() * height);
    return graph::VideoType(graph::kSubtypeRgb24, info);
}

// Picture i: rows alternately `even` and `odd` levels; media times only when asked.
SamplePtr Picture(int width, int height, uint8_t even, uint8_t odd, std::optional<int64_t> frame) {
    auto sample = std::make_shared<Sample>();
    const size_t stride = BgrPicture::StrideFor(width);
    sample->data.assign(stride * size_t(height), 0);
    for (int y = 0; y < height; ++y)
        std::memset(sample->data.data() + stride * size_t(height - 1 - y), y % 2 ? odd : even,
                    size_t(width) * 3);
    if (frame) {
        sample->hasMediaTime = true;
        sample->mediaStart = *frame;
        sample->mediaStop = *frame + 1;
    }
    return sample;
}

bool RunToEnd(graph::Graph& graph) {
    if (!graph.run()) return false;
    const auto event = graph.waitForEvent(10s);
    graph.stop();
    return event && event->type == graph::GraphEvent::Type::Complete;
}

TEST(GraphFilters, FiltersAcceptTheirMediaTypesOnly) {
    OverlayTextSettingsStore settings;
    Tdv_sceneDetect detector(nullptr, &settings);
    const MediaType dv(graph::MajorType::Video, graph::kSubtypeDvsd);
    const MediaType interleaved(graph::MajorType::Interleaved, graph::FourCC("dvsd"));
    const MediaType picture = PictureType(90, 10);
    MediaType noFormat = picture;
    noFormat.format.clear();
    graph::WaveFormat pcm{.formatTag = 1, .channels = 2, .samplesPerSec = 48000, .bitsPerSample = 16};
    const MediaType audio = graph::AudioType(pcm);

    DvHeaderFilter header(detector);
    SuperposerFilter overlay(detector);
    DeinterlaceFilter deinterlace;
    ContentSceneDetectFilter content;
    MediaStamperFilter stamper;
    WaveDestFilter wave;
    struct TypeCase {
        graph::Filter* filter;
        const MediaType* type;
        bool accepted;
    };
    const TypeCase kCases[] = {
        {&header, &dv, true},           {&header, &interleaved, true}, {&header, &picture, false},
        {&overlay, &picture, true},     {&overlay, &noFormat, false},  {&overlay, &dv, false},
        {&deinterlace, &picture, true}, {&deinterlace, &audio, false}, {&content, &picture, true},
        {&content, &dv, false},         {&stamper, &dv, true},         {&stamper, &audio, true},
        {&wave, &audio, true},          {&wave, &picture, false},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(c.filter->checkInputType(*c.filter->input(0), *c.type), c.accepted)
            << c.filter->name() << " " << graph::MajorTypeName(c.type->major);
}

TEST(GraphFilters, PicturePathStampsDetectsDeinterlacesAndDraws) {
    OverlayTextSettingsStore settings;
    settings.setTemplates("Noël", "");
    Tdv_sceneDetect detector(nullptr, &settings);
    const int width = 90, height = 80;  // 270 bytes of pixels per row, 272 with the padding
    std::vector<SamplePtr> pictures;
    for (int i = 0; i < 3; ++i) pictures.push_back(Picture(width, height, 0, 0, i));
    for (int i = 3; i < 6; ++i) pictures.push_back(Picture(width, height, 0, 255, i));  // a cut at 3, combed
    pictures.push_back(Picture(width, height, 0, 255, std::nullopt));                   // no media times

    graph::Graph graph;
    auto source = std::make_shared<ListSource>(PictureType(width, height), pictures);
    auto stamper = std::make_shared<MediaStamperFilter>();
    auto content = std::make_shared<ContentSceneDetectFilter>();
    auto deinterlace = std::make_shared<DeinterlaceFilter>();
    auto overlay = std::make_shared<SuperposerFilter>(detector, &settings);
    auto capture = std::make_shared<Capture>();
    for (const auto& filter :
         std::vector<std::shared_ptr<graph::Filter>>{source, stamper, content, deinterlace, overlay, capture})
        ASSERT_TRUE(graph.addFilter(filter));
    ASSERT_TRUE(graph.connect(*source->output(0), stamper->inputPin()));
    ASSERT_TRUE(graph.connect(stamper->outputPin(), content->inputPin()));
    ASSERT_TRUE(graph.connect(content->outputPin(), deinterlace->inputPin()));
    ASSERT_TRUE(graph.connect(deinterlace->outputPin(), overlay->inputPin()));
    ASSERT_TRUE(graph.connect(overlay->outputPin(), *capture->input(0)));
    EXPECT_EQ(graph::VideoInfo::decode(overlay->outputPin().connectionType().format)->imageSize, 272u * 80u);

    std::vector<int32_t> cuts;
    content->Detector.Stamper = &stamper->Stamper;
    content->Detector.OnCut = [&cuts](int32_t frame) { cuts.push_back(frame); };
    overlay->Overlay.SetVertical(1000);
    ASSERT_TRUE(RunToEnd(graph)) << graph.lastError();

    EXPECT_EQ(cuts, (std::vector<int32_t>{3, 6}));  // the cut, then the end at the frame count
    const auto out = capture->samples();
    ASSERT_EQ(out.size(), 7u);
    EXPECT_EQ(out[6]->mediaStart, 6);  // numbered by the overlay from its picture count
    EXPECT_EQ(out[6]->mediaStop, 7);
    for (const auto& sample : out) ASSERT_EQ(sample->length(), 272u * 80u);
    // Combed rows were removed before the text went on: row 1 from the top is black again...
    const uint8_t* row1 = out[4]->data.data() + 272 * size_t(height - 2);
    EXPECT_EQ(row1[0], 0);
    // ...and line 1 sits in its 28-pixel band two lines above the bottom edge.
    bool text = false, outside = false;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width * 3; ++x) {
            const bool lit = out[0]->data[272 * size_t(height - 1 - y) + size_t(x)] != 0;
            (y >= height - 56 && y < height - 28 ? text : outside) |= lit;
        }
    EXPECT_TRUE(text);
    EXPECT_FALSE(outside);
    EXPECT_EQ(overlay->Overlay.Line1(), "Noël");
}

TEST(GraphFilters, DvHeaderShiftsFramesAfterTheDetectorSawThem) {
    OverlayTextSettingsStore settings;
    Tdv_sceneDetect detector(nullptr, &settings);
    DvClip clip;
    clip.scenes = {DvScene{5, DatecodeFields{2006, 12, 31, 23, 59, 59}, 0}};
    std::vector<SamplePtr> frames;
    for (auto& frame : test::BuildDvStream(clip)) {
        auto sample = std::make_shared<Sample>();
        sample->data = std::move(frame);
        frames.push_back(sample);
    }
    graph::Graph graph;
    auto source =
        std::make_shared<ListSource>(MediaType(graph::MajorType::Video, graph::kSubtypeDvsd), frames);
    auto stage = std::make_shared<DetectorStage>(detector);
    auto header = std::make_shared<DvHeaderFilter>(detector);
    auto capture = std::make_shared<Capture>();
    for (const auto& filter : std::vector<std::shared_ptr<graph::Filter>>{source, stage, header, capture})
        ASSERT_TRUE(graph.addFilter(filter));
    ASSERT_TRUE(graph.connect(*source->output(0), stage->inputPin()));
    ASSERT_TRUE(graph.connect(stage->outputPin(), header->inputPin()));
    ASSERT_TRUE(graph.connect(header->outputPin(), *capture->input(0)));
    header->Header.SetShift(2 * kOneSecond);
    ASSERT_TRUE(RunToEnd(graph)) << graph.lastError();
    const auto out = capture->samples();
    ASSERT_EQ(out.size(), 5u);
    for (const auto& sample : out)
        EXPECT_EQ(ReadDatecode(sample->data, 12), (DatecodeFields{2007, 1, 1, 0, 0, 1}));
}

}  // namespace
}  // namespace velinor
