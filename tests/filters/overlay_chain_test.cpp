// The datecode burnt into 24-bit pictures through the whole graph (several frames decoded and
// encoded at once) gives, frame for frame, the bytes of the same work done one frame at a time.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <mutex>

#include "filters/dv_scene_detect_filter.h"
#include "filters/graph_filters.h"
#include "graph/avi_source.h"
#include "graph/dv_codec.h"
#include "graph/dv_video_decoder.h"
#include "graph/dv_video_encoder.h"
#include "graph/graph.h"
#include "media/avi_writer.h"
#include "media/dvcodes.h"
#include "support/avi_fixtures.h"
#include "support/temp_dir.h"

namespace velinor {
namespace {

using namespace std::chrono_literals;

class Capture : public graph::RendererFilter {
public:
    Capture() : RendererFilter("Capture") { addInput("In"); }
    bool checkInputType(const graph::InputPin&, const graph::MediaType& type) override {
        return !type.isPartial();
    }
    graph::Flow render(graph::InputPin&, const graph::SamplePtr& sample) override {
        std::lock_guard lock(mutex_);
        frames_.push_back(sample->data);
        return graph::Flow::Ok;
    }
    bool waitsForSampleTime() const override { return false; }
    std::vector<std::vector<uint8_t>> frames() const {
        std::lock_guard lock(mutex_);
        return frames_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::vector<uint8_t>> frames_;
};

void SetUpOverlay(Tdv_Superposer& overlay) {
    overlay.SetBorderSize(2);
    overlay.SetHorizontal(920);
    overlay.SetVertical(920);
}

TEST(OverlayChainSlow, GraphGivesTheBytesOfOneFrameAtATime) {
    // Moving camera-like pictures, all within one second of recording, so every frame carries
    // the same two lines whichever frame the detector saw last.
    auto frames = test::EncodeDvFrames(16, true);
    if (frames.empty()) GTEST_SKIP() << "ffmpeg missing";
    for (auto& frame : frames) WriteDatecode(frame, 12, DatecodeFields{2007, 3, 4, 10, 11, 12});
    test::TempDir dir;
    const std::string path = dir.file("clip.avi");
    {
        AviWriterSettings settings;
        settings.Type = AviWriterSettings::Kind::DvType2;
        AviWriter writer(path, settings);
        const std::vector<uint8_t> silence(7680, 0);
        for (const auto& frame : frames) {
            writer.WriteVideo(frame);
            writer.WriteAudio(silence);
        }
        writer.Finish();
    }
    OverlayTextSettingsStore settings;
    settings.setDateFormats("dddddd", "hh:nn:ss");
    settings.setTemplates("%D1", "%D2");

    Tdv_sceneDetect detector(nullptr, &settings);
    graph::Graph g;
    auto source = std::make_shared<graph::AviSource>();
    source->load(path);
    auto datecode = std::make_shared<DvSceneDetectFilter>(detector);
    auto decoder = std::make_shared<graph::DvVideoDecoder>();
    auto overlay = std::make_shared<SuperposerFilter>(detector, &settings);
    SetUpOverlay(overlay->Overlay);
    auto encoder = std::make_shared<graph::DvVideoEncoder>();
    auto capture = std::make_shared<Capture>();
    for (const std::shared_ptr<graph::Filter>& filter : std::initializer_list<std::shared_ptr<graph::Filter>>{
             source, datecode, decoder, overlay, encoder, capture})
        ASSERT_TRUE(g.addFilter(filter));
    ASSERT_TRUE(g.connect(*source->output(0), datecode->inputPin()));
    ASSERT_TRUE(g.connect(datecode->outputPin(), decoder->inputPin()));
    ASSERT_TRUE(g.connect(decoder->outputPin(), overlay->inputPin()));
    ASSERT_TRUE(g.connect(overlay->outputPin(), encoder->inputPin()));
    ASSERT_TRUE(g.connect(encoder->outputPin(), *capture->input(0)));
    ASSERT_EQ(overlay->inputPin().connectionType().subtype, graph::kSubtypeRgb24);
    g.setClock(nullptr);
    ASSERT_TRUE(g.run()) << g.lastError();
    const auto event = g.waitForEvent(60s);
    g.stop();
    ASSERT_TRUE(event && event->type == graph::GraphEvent::Type::Complete);
    const auto burnt = capture->frames();
    ASSERT_EQ(burnt.size(), frames.size());
    EXPECT_EQ(overlay->Overlay.Line1(), "dimanche 4 mars 2007");

    Tdv_sceneDetect oneDetector(nullptr, &settings);
    Tdv_Superposer one(oneDetector, &settings);
    SetUpOverlay(one);
    oneDetector.StartStreaming(std::nullopt);
    ASSERT_TRUE(one.StartStreaming(720, 576, 400'000));
    DvDecoder decode;
    DvEncoder encode(false, false);
    BgrPicture picture, drawn;
    drawn.resize(720, 576);
    std::vector<uint8_t> expected;
    for (size_t i = 0; i < frames.size(); ++i) {
        oneDetector.Transform(frames[i]);
        ASSERT_TRUE(decode.decode(frames[i], picture));
        ASSERT_TRUE(one.Transform(picture.pixels, drawn.pixels));
        ASSERT_TRUE(encode.encode(drawn, expected));
        ASSERT_EQ(burnt[i], expected) << "frame " << i;
    }
    // The text was drawn at all: the burnt frame differs from the source re-encoded.
    ASSERT_TRUE(decode.decode(frames[0], picture));
    ASSERT_TRUE(encode.encode(picture, expected));
    EXPECT_NE(burnt[0], expected);
}

}  // namespace
}  // namespace velinor
