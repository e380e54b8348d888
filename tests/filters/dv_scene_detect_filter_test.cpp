#include "filters/dv_scene_detect_filter.h"

#include <gtest/gtest.h>

#include <mutex>
#include <thread>

#include "graph/avi_source.h"
#include "graph/basic_filters.h"
#include "graph/dv_avi_files.h"
#include "graph/graph.h"
#include "support/temp_dir.h"

namespace velinor {
namespace {

using graph::MajorType;
using graph::MediaType;

TEST(DvSceneDetectFilter, AcceptsExactlyDvStreams) {
    Tdv_sceneDetect detector;
    DvSceneDetectFilter filter(detector);
    struct Case {
        MediaType type;
        bool accepted;
    };
    const Case cases[] = {
        {MediaType(MajorType::Interleaved, graph::kSubtypeDvsd), true},
        {MediaType(MajorType::Interleaved, graph::FourCC("dvhd")), true},
        {MediaType(MajorType::Video, graph::kSubtypeDvsd), true},
        {MediaType(MajorType::Video, graph::FourCC("DVSD")), false},
        {MediaType(MajorType::Video, graph::kSubtypeRgb24), false},
        {MediaType(MajorType::Audio, graph::kSubtypePcm), false},
        {MediaType(MajorType::Stream, graph::kSubtypeDvsd), false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(filter.checkInputType(filter.inputPin(), c.type), c.accepted)
            << graph::MajorTypeName(c.type.major) << " " << graph::FourCCText(c.type.subtype);
}

// Two dated scenes a day apart: one break while streaming, on the streaming thread; the last
// scene and the stop hook from stop, on the controlling thread. A second run cuts the same way.
TEST(DvSceneDetectFilter, HooksRunOnTheirThreadsAndRunsRepeat) {
    test::TempDir dir;
    test::DvStreamRecipe recipe;
    recipe.scenes = {DvScene{6, test::kClipStart, 0}, DvScene{5, AddSeconds(test::kClipStart, 86'400), 1}};
    test::WriteType1(dir.file("clip.avi"), test::BuildDvStream(recipe), false);

    Tdv_sceneDetect detector;
    struct Break {
        int32_t start, end;
        bool onControllingThread;
    };
    std::mutex mutex;
    std::vector<Break> breaks;
    int stops = 0;
    bool stopOnControllingThread = false;
    const auto controlling = std::this_thread::get_id();
    detector.OnSceneBreak = [&](const TDVFrameInfo& start, const TDVFrameInfo& current) {
        std::lock_guard lock(mutex);
        breaks.push_back({start.Frame, current.Frame, std::this_thread::get_id() == controlling});
    };
    detector.OnStop = [&] {
        std::lock_guard lock(mutex);
        ++stops;
        stopOnControllingThread = std::this_thread::get_id() == controlling;
    };

    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        breaks.clear();
        graph::Graph g;
        auto source = std::make_shared<graph::AviSource>();
        source->load(dir.file("clip.avi"));
        auto filter = std::make_shared<DvSceneDetectFilter>(detector);
        auto sink = std::make_shared<graph::NullRenderer>();
        g.addFilter(source);
        g.addFilter(filter, "SceneDetect");
        g.addFilter(sink);
        ASSERT_TRUE(g.connect(*source->output(0), filter->inputPin()));
        ASSERT_TRUE(g.connect(filter->outputPin(), *sink->input()));
        const auto event = test::RunToEnd(g);
        ASSERT_TRUE(event && event->type == graph::GraphEvent::Type::Complete);

        std::lock_guard lock(mutex);
        ASSERT_EQ(breaks.size(), 2u);
        EXPECT_EQ(breaks[0].start, 0);
        EXPECT_EQ(breaks[0].end, 6);
        EXPECT_FALSE(breaks[0].onControllingThread);
        EXPECT_EQ(breaks[1].start, 6);
        EXPECT_EQ(breaks[1].end, 11);
        EXPECT_TRUE(breaks[1].onControllingThread);
        EXPECT_EQ(stops, run + 1);
        EXPECT_TRUE(stopOnControllingThread);
        EXPECT_EQ(detector.ReadLastFrame().Frame, 10);
    }
}

}  // namespace
}  // namespace velinor
