#include "graph/graph.h"

#include <gtest/gtest.h>

#include "graph/basic_filters.h"
#include "graph/test_filters.h"

namespace velinor::graph {
namespace {

using namespace std::chrono_literals;
using testing::NumberedSource;
using testing::Range;
using testing::RecordingRenderer;
using testing::WatchingTransform;

constexpr auto kWait = 10s;  // bound for waits that should end at once

// source → watching transform → recorder, added and connected.
struct Chain {
    explicit Chain(NumberedSource::Options options = {}, bool writes = false, int64_t failAt = -1,
                   bool reportsFailure = true)
        : source(std::make_shared<NumberedSource>(std::move(options))),
          transform(std::make_shared<WatchingTransform>(writes, failAt, reportsFailure)),
          recorder(std::make_shared<RecordingRenderer>()) {
        graph.addFilter(source, "source");
        graph.addFilter(transform, "transform");
        graph.addFilter(recorder, "recorder");
        connected = graph.connect(*source->output(), *transform->input()) &&
                    graph.connect(*transform->output(), *recorder->input());
    }
    std::optional<GraphEvent::Type> next(std::chrono::milliseconds timeout = kWait) {
        auto event = graph.waitForEvent(timeout);
        if (!event) return std::nullopt;
        return event->type;
    }

    Graph graph;
    std::shared_ptr<NumberedSource> source;
    std::shared_ptr<WatchingTransform> transform;
    std::shared_ptr<RecordingRenderer> recorder;
    bool connected = false;
};

TEST(MediaTypeTest, PartialTypesLeaveOpenWhatTheyDoNotName) {
    const MediaType dv = testing::NumberedType(400'000);
    const MediaType pcm = AudioType(WaveFormat{kSubtypePcm, 2, 48000, 16});
    struct Case {
        MediaType pattern;
        bool dvMatches;
        bool pcmMatches;
    };
    const Case cases[] = {
        {MediaType{}, true, true},
        {MediaType{MajorType::Video}, true, false},
        {MediaType{MajorType::Audio}, false, true},
        {MediaType{MajorType::Interleaved}, false, false},
        {MediaType{MajorType::Video, kSubtypeDvsd}, true, false},
        {MediaType{MajorType::Video, kSubtypeRgb24}, false, false},
        {MediaType{MajorType::Any, kSubtypePcm}, false, true},
        {dv, true, false},
        {MediaType{MajorType::Video, kSubtypeDvsd, testing::NumberedType(333'667).format}, false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(dv.matches(c.pattern), c.dvMatches) << MajorTypeName(c.pattern.major);
        EXPECT_EQ(pcm.matches(c.pattern), c.pcmMatches) << MajorTypeName(c.pattern.major);
    }
    EXPECT_EQ(FrameDurationOf(dv), 400'000);
    EXPECT_EQ(FrameDurationOf(pcm), 0);
    EXPECT_EQ(FourCCText(kSubtypeDvsd), "dvsd");
}

TEST(MediaTypeTest, FormatBlocksRoundTripAndShortBlocksAreRefused) {
    VideoInfo info{.avgTimePerFrame = 333'667,
                   .width = 720,
                   .height = -480,
                   .bitCount = 24,
                   .compression = 0,
                   .imageSize = 1'036'800};
    const auto video = VideoInfo::decode(info.encode());
    ASSERT_TRUE(video);
    EXPECT_EQ(video->avgTimePerFrame, 333'667);
    EXPECT_EQ(video->width, 720);
    EXPECT_EQ(video->height, -480);
    EXPECT_EQ(video->stride(), 2160);
    EXPECT_FALSE(VideoInfo::decode(std::vector<uint8_t>(87)));

    const WaveFormat wave{kSubtypePcm, 2, 32000, 16};
    const auto block = wave.encode();
    ASSERT_EQ(block.size(), 18u);
    EXPECT_EQ(block[12], 4);  // block align
    const auto back = WaveFormat::decode(block);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->samplesPerSec, 32000u);
    EXPECT_FALSE(WaveFormat::decode(std::vector<uint8_t>(15)));
}

TEST(GraphConnectTest, ConnectsWithTheFirstTypeBothEndsAcceptAndReportsIt) {
    Graph graph;
    auto source = std::make_shared<NumberedSource>();
    auto audioOnly = std::make_shared<RecordingRenderer>(MediaType{MajorType::Audio});
    auto any = std::make_shared<RecordingRenderer>();
    ASSERT_TRUE(graph.addFilter(source));
    ASSERT_TRUE(graph.addFilter(audioOnly));
    ASSERT_TRUE(graph.addFilter(any));
    EXPECT_FALSE(graph.addFilter(any)) << "a filter joins one graph once";

    OutputPin& out = *source->output();
    EXPECT_FALSE(graph.connect(out, *audioOnly->input()));
    EXPECT_FALSE(graph.connect(out, *any->input(), MediaType{MajorType::Interleaved}));
    EXPECT_FALSE(out.isConnected());

    ASSERT_TRUE(graph.connect(out, *any->input(), MediaType{MajorType::Video}));
    EXPECT_EQ(out.connectedTo(), any->input());
    EXPECT_EQ(any->input()->connectedTo(), &out);
    EXPECT_EQ(out.connectionType(), testing::NumberedType(400'000));
    EXPECT_EQ(any->input()->connectionType(), out.connectionType());
    EXPECT_FALSE(graph.connect(out, *audioOnly->input())) << "an output connects once";

    graph.disconnect(*any->input());
    EXPECT_FALSE(out.isConnected());
    EXPECT_EQ(out.connectionType().major, MajorType::Any);

    graph.removeFilter(*source);
    EXPECT_EQ(source->graph(), nullptr);
    EXPECT_EQ(graph.filters().size(), 2u);
}

TEST(GraphStateTest, PauseHoldsTheFirstSampleAndRunFinishes) {
    Chain chain;
    ASSERT_TRUE(chain.connected);
    ASSERT_TRUE(chain.graph.pause());
    ASSERT_EQ(chain.next(), GraphEvent::Type::Paused);
    EXPECT_TRUE(chain.graph.waitForSteadyState(0ms));
    EXPECT_EQ(chain.graph.state(), GraphState::Paused);
    // The streaming thread is held at the renderer: nothing beyond the first sample moved.
    EXPECT_EQ(chain.recorder->numbers(), std::vector<int64_t>{0});
    EXPECT_EQ(chain.transform->seen.load(), 1);
    EXPECT_TRUE(chain.recorder->seen()[0].discontinuity);
    EXPECT_EQ(chain.graph.currentPosition(TimeFormat::Frame), 0);

    chain.graph.setClock(nullptr);
    ASSERT_TRUE(chain.graph.run());
    ASSERT_EQ(chain.next(), GraphEvent::Type::Complete);
    EXPECT_EQ(chain.recorder->numbers(), Range(0, 10)) << "the held sample is presented once";
    EXPECT_EQ(chain.graph.currentPosition(TimeFormat::Frame), 10);
    EXPECT_EQ(chain.graph.duration(TimeFormat::Frame), 10);
    EXPECT_EQ(chain.graph.duration(TimeFormat::MediaTime), 4'000'000);
    chain.graph.stop();
    EXPECT_EQ(chain.transform->stopCalls.load(), 1);
}

TEST(GraphStateTest, RunFromStopSettlesOnceTheFirstSampleIsPresented) {
    // What a probe relies on: after run and the wait, the first frame has gone through.
    Chain chain;
    EXPECT_TRUE(chain.graph.waitForSteadyState(0ms)) << "a stopped graph is settled";
    chain.graph.setClock(std::make_shared<ManualClock>());  // frame 1 is never due
    ASSERT_TRUE(chain.graph.run());
    ASSERT_TRUE(chain.graph.waitForSteadyState(kWait));
    EXPECT_EQ(chain.recorder->numbers(), std::vector<int64_t>{0});
    EXPECT_FALSE(chain.graph.waitForEvent(0ms)) << "run from stop announces no pause";
}

TEST(GraphStateTest, PauseCompletesWhenOneThreadFeedsTwoRenderers) {
    // A splitter's video and audio go out on one thread: once it is held at the first renderer
    // the second cannot get a sample, and pause must still complete.
    Graph graph;
    auto source = std::make_shared<NumberedSource>(NumberedSource::Options{.outputs = 2});
    auto first = std::make_shared<RecordingRenderer>();
    auto second = std::make_shared<RecordingRenderer>();
    graph.addFilter(source);
    graph.addFilter(first);
    graph.addFilter(second);
    ASSERT_TRUE(graph.connect(*source->output(0), *first->input()));
    ASSERT_TRUE(graph.connect(*source->output(1), *second->input()));
    ASSERT_TRUE(graph.pause());
    auto event = graph.waitForEvent(kWait);
    ASSERT_TRUE(event);
    EXPECT_EQ(event->type, GraphEvent::Type::Paused);
    graph.setClock(nullptr);
    graph.run();
    event = graph.waitForEvent(kWait);
    ASSERT_TRUE(event);
    EXPECT_EQ(event->type, GraphEvent::Type::Complete);
    EXPECT_EQ(first->numbers(), Range(0, 10));
    EXPECT_EQ(second->numbers(), Range(0, 10));
}

// A sound sink: it buffers ahead instead of waiting for sample times.
class BufferingRecorder : public RecordingRenderer {
public:
    bool waitsForSampleTime() const override { return false; }
};

TEST(GraphStateTest, PauseHoldsAtTheSoundOnlyOnceThePictureCame) {
    // The thread delivers each step's sound before its picture. Pause must hold at the picture;
    // a sound sink alone holds at its first sample as any renderer does.
    for (const bool withPicture : {true, false}) {
        SCOPED_TRACE(withPicture ? "sound then picture" : "sound alone");
        Graph graph;
        auto source =
            std::make_shared<NumberedSource>(NumberedSource::Options{.outputs = withPicture ? 2 : 1});
        auto sound = std::make_shared<BufferingRecorder>();
        auto picture = std::make_shared<RecordingRenderer>();
        graph.addFilter(source);
        graph.addFilter(sound);
        ASSERT_TRUE(graph.connect(*source->output(0), *sound->input()));
        if (withPicture) {
            graph.addFilter(picture);
            ASSERT_TRUE(graph.connect(*source->output(1), *picture->input()));
        }
        ASSERT_TRUE(graph.pause());
        auto event = graph.waitForEvent(kWait);
        ASSERT_TRUE(event);
        EXPECT_EQ(event->type, GraphEvent::Type::Paused);
        EXPECT_EQ(sound->numbers(), std::vector<int64_t>{0});
        EXPECT_EQ(picture->numbers(), withPicture ? std::vector<int64_t>{0} : std::vector<int64_t>{});
        // A seek in pause shows the target's picture again.
        ASSERT_TRUE(graph.setPositions(6, std::nullopt, TimeFormat::Frame));
        ASSERT_TRUE(graph.waitForSteadyState(kWait));
        if (withPicture) {
            EXPECT_EQ(picture->numbers().back(), 6);
        }
        EXPECT_EQ(sound->numbers().back(), 6);
        graph.stop();
    }
}

TEST(GraphSeekTest, TheTargetFrameComesFirstAfterASeek) {
    constexpr int64_t fd = 400'000;
    struct Case {
        const char* name;
        int64_t start;
        std::optional<int64_t> stop;
        TimeFormat format;
        std::vector<int64_t> expected;
    };
    const Case cases[] = {
        {"frame 7", 7, std::nullopt, TimeFormat::Frame, Range(7, 10)},
        {"7 in 100 ns", 7 * fd, std::nullopt, TimeFormat::MediaTime, Range(7, 10)},
        {"just after 7", 7 * fd + fd / 3, std::nullopt, TimeFormat::MediaTime, Range(7, 10)},
        {"frames 2 to 5", 2, 5, TimeFormat::Frame, Range(2, 5)},
        {"range in 100 ns", 3 * fd, 6 * fd, TimeFormat::MediaTime, Range(3, 6)},
        {"back to 0", 0, std::nullopt, TimeFormat::Frame, Range(0, 10)},
        {"past the end", 12, std::nullopt, TimeFormat::Frame, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // Seeking a paused graph: the streams restart and pause again on the target.
        Chain chain;
        ASSERT_TRUE(chain.graph.pause());
        ASSERT_EQ(chain.next(), GraphEvent::Type::Paused);
        chain.recorder->clear();
        ASSERT_TRUE(chain.graph.setPositions(c.start, c.stop, c.format));
        ASSERT_EQ(chain.next(), GraphEvent::Type::Paused);
        const auto held = chain.recorder->seen();
        if (!c.expected.empty()) {
            ASSERT_EQ(held.size(), 1u);
            EXPECT_EQ(held[0].number, c.expected.front());
            EXPECT_EQ(held[0].mediaStart, c.expected.front());
            EXPECT_TRUE(held[0].discontinuity);
            EXPECT_EQ(chain.graph.currentPosition(TimeFormat::Frame), c.expected.front());
        }
        chain.graph.setClock(nullptr);
        chain.graph.run();
        ASSERT_EQ(chain.next(), GraphEvent::Type::Complete);
        EXPECT_EQ(chain.recorder->numbers(), c.expected);
        chain.graph.stop();

        // Seeking a stopped graph: the next start begins there.
        Chain stopped;
        ASSERT_TRUE(stopped.graph.setPositions(c.start, c.stop, c.format));
        stopped.graph.setClock(nullptr);
        ASSERT_TRUE(stopped.graph.run());
        ASSERT_EQ(stopped.next(), GraphEvent::Type::Complete);
        EXPECT_EQ(stopped.recorder->numbers(), c.expected);
    }
}

TEST(GraphSeekTest, FrameSeekingNeedsASourceWithFrames) {
    Graph graph;
    EXPECT_FALSE(graph.setPositions(3, std::nullopt, TimeFormat::Frame));
    EXPECT_TRUE(graph.setPositions(3, std::nullopt, TimeFormat::MediaTime));
}

TEST(GraphSeekTest, StopThenPauseShowsTheCurrentPictureAgain) {
    Chain chain;
    ASSERT_TRUE(chain.graph.setPositions(4, std::nullopt, TimeFormat::Frame));
    ASSERT_TRUE(chain.graph.pause());
    ASSERT_EQ(chain.next(), GraphEvent::Type::Paused);
    chain.graph.stop();
    chain.recorder->clear();
    ASSERT_TRUE(chain.graph.pause());
    ASSERT_EQ(chain.next(), GraphEvent::Type::Paused);
    EXPECT_EQ(chain.recorder->numbers(), std::vector<int64_t>{4});
}

TEST(GraphStopTest, StopJoinsTheStreamingThreadBeforeTheStopRoutines) {
    // Two ways a frame can be in flight when stop comes: held by pause, or waiting for its time.
    enum class Hold { Pause, Clock };
    for (const Hold hold : {Hold::Pause, Hold::Clock}) {
        SCOPED_TRACE(hold == Hold::Pause ? "pause" : "clock");
        Chain chain;
        auto clock = std::make_shared<ManualClock>();
        chain.graph.setClock(clock);
        if (hold == Hold::Pause) {
            ASSERT_TRUE(chain.graph.pause());
            ASSERT_EQ(chain.next(), GraphEvent::Type::Paused);
        } else {
            ASSERT_TRUE(chain.graph.run());
            // Frame 0 is due at once, frame 1 waits for a clock that does not move.
            ASSERT_TRUE(chain.recorder->waitForCount(1));
        }
        ASSERT_EQ(chain.transform->inFlight.load(), 1) << "a frame is inside the transform";
        chain.graph.stop();
        EXPECT_EQ(chain.transform->stopCalls.load(), 1);
        EXPECT_EQ(chain.transform->inFlightAtStop.load(), 0);
        EXPECT_EQ(chain.transform->stopThread, std::this_thread::get_id());
        EXPECT_EQ(chain.graph.state(), GraphState::Stopped);
    }
}

TEST(GraphClockTest, RenderersPresentAtSampleTimesAgainstTheClock) {
    // Samples an hour apart: each is presented only once the clock reaches its time.
    constexpr int64_t hour = 36'000'000'000;
    Chain chain(NumberedSource::Options{.count = 3, .step = hour});
    auto clock = std::make_shared<ManualClock>();
    clock->advanceTo(5 * hour);  // the clock's origin is not the stream's
    chain.graph.setClock(clock);
    ASSERT_TRUE(chain.graph.run());
    ASSERT_TRUE(chain.recorder->waitForCount(1));
    EXPECT_FALSE(chain.recorder->waitForCount(2, 20ms));
    clock->advanceTo(6 * hour);
    ASSERT_TRUE(chain.recorder->waitForCount(2));
    EXPECT_FALSE(chain.graph.waitForEvent(0ms));
    clock->advanceTo(7 * hour);
    ASSERT_EQ(chain.next(), GraphEvent::Type::Complete);
    EXPECT_EQ(chain.recorder->numbers(), Range(0, 3));
}

TEST(GraphClockTest, WithoutAClockSamplesFlowAsFastAsTheFiltersAllow) {
    constexpr int64_t hour = 36'000'000'000;
    Chain chain(NumberedSource::Options{.count = 50, .step = hour});
    chain.graph.setClock(std::make_shared<ManualClock>());  // a clock that never moves
    chain.graph.setClock(nullptr);
    ASSERT_TRUE(chain.graph.run());
    ASSERT_EQ(chain.next(), GraphEvent::Type::Complete);
    EXPECT_EQ(chain.recorder->numbers(), Range(0, 50));
    EXPECT_EQ(chain.graph.currentPosition(TimeFormat::MediaTime), 50 * hour);
}

TEST(GraphErrorTest, AnErrorInAFilterEndsTheRunWithAnErrorEvent) {
    struct Case {
        const char* name;
        int64_t transformFailsAt;
        int64_t sourceThrowsAt;
        const char* message;
        bool reported = true;
    };
    const Case cases[] = {
        {"transform", 3, -1, "Erreur dans le filtre"},
        {"source throws", -1, 3, "lecture impossible"},
        {"failure nobody reported", 3, -1, "Erreur pendant le traitement du flux", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Chain chain(NumberedSource::Options{.throwAt = c.sourceThrowsAt}, false, c.transformFailsAt,
                    c.reported);
        chain.graph.setClock(nullptr);
        ASSERT_TRUE(chain.graph.run());
        auto event = chain.graph.waitForEvent(kWait);
        ASSERT_TRUE(event);
        EXPECT_EQ(event->type, GraphEvent::Type::Error);
        EXPECT_EQ(event->message, c.message);
        EXPECT_EQ(chain.graph.lastError(), c.message);
        EXPECT_EQ(chain.recorder->numbers(), Range(0, 3));
        EXPECT_FALSE(chain.graph.waitForEvent(20ms)) << "no completion follows an error";
        chain.graph.stop();
        EXPECT_EQ(chain.transform->stopCalls.load(), 1);
    }
}

TEST(GraphErrorTest, ASourceThatCannotSeekEndsThePauseWithAnErrorEvent) {
    Chain chain(NumberedSource::Options{.seekThrows = true});
    ASSERT_TRUE(chain.graph.pause());
    auto event = chain.graph.waitForEvent(kWait);
    ASSERT_TRUE(event);
    EXPECT_EQ(event->type, GraphEvent::Type::Error);
    EXPECT_EQ(event->message, "position impossible");
    // Nothing can stream, so the pause still completes rather than waiting forever.
    EXPECT_TRUE(chain.graph.waitForSteadyState(kWait));
    EXPECT_TRUE(chain.recorder->seen().empty());
}

// Passes samples through; its stop routine fails as a writer's would on a full disk.
class FailingStop : public InPlaceTransformFilter {
public:
    FailingStop() : InPlaceTransformFilter("Failing stop") {}
    void stopStreaming() override { throw std::runtime_error("disque plein"); }

protected:
    bool acceptsInput(const MediaType&) override { return true; }
    bool modifiesData() const override { return false; }
    Flow transform(Sample&) override { return Flow::Ok; }
};

TEST(GraphErrorTest, AFailingStopRoutineIsReportedAndTheOthersStillRun) {
    Graph graph;
    auto source = std::make_shared<NumberedSource>();
    auto watching = std::make_shared<WatchingTransform>();
    auto failing = std::make_shared<FailingStop>();
    auto recorder = std::make_shared<RecordingRenderer>();
    for (auto f : std::vector<std::shared_ptr<Filter>>{source, watching, failing, recorder})
        graph.addFilter(f);
    ASSERT_TRUE(graph.connect(*source->output(), *watching->input()));
    ASSERT_TRUE(graph.connect(*watching->output(), *failing->input()));
    ASSERT_TRUE(graph.connect(*failing->output(), *recorder->input()));
    graph.setClock(nullptr);
    ASSERT_TRUE(graph.run());
    auto event = graph.waitForEvent(kWait);
    ASSERT_TRUE(event);
    EXPECT_EQ(event->type, GraphEvent::Type::Complete);
    EXPECT_FALSE(graph.stop());
    EXPECT_EQ(graph.lastError(), "disque plein");
    EXPECT_EQ(watching->stopCalls.load(), 1) << "the filter upstream of the failure still stops";
    event = graph.waitForEvent(0ms);
    ASSERT_TRUE(event);
    EXPECT_EQ(event->type, GraphEvent::Type::Error);
    EXPECT_EQ(graph.state(), GraphState::Stopped);
}

class RefusingFilter : public InPlaceTransformFilter {
public:
    RefusingFilter() : InPlaceTransformFilter("Refusing") {}
    bool startStreaming(std::string& error) override {
        error = "Pas de format";
        return false;
    }

protected:
    bool acceptsInput(const MediaType&) override { return true; }
    Flow transform(Sample&) override { return Flow::Ok; }
};

TEST(GraphErrorTest, AFilterThatRefusesToStartFailsThePauseAndStopsThoseStarted) {
    Graph graph;
    auto source = std::make_shared<NumberedSource>();
    auto refusing = std::make_shared<RefusingFilter>();
    auto watching = std::make_shared<WatchingTransform>();
    auto recorder = std::make_shared<RecordingRenderer>();
    for (auto f : std::vector<std::shared_ptr<Filter>>{source, refusing, watching, recorder})
        graph.addFilter(f);
    ASSERT_TRUE(graph.connect(*source->output(), *refusing->input()));
    ASSERT_TRUE(graph.connect(*refusing->output(), *watching->input()));
    ASSERT_TRUE(graph.connect(*watching->output(), *recorder->input()));
    EXPECT_FALSE(graph.pause());
    EXPECT_EQ(graph.state(), GraphState::Stopped);
    EXPECT_EQ(graph.lastError(), "Pas de format");
    EXPECT_EQ(watching->stopCalls.load(), 1) << "the filter started downstream is stopped again";
    EXPECT_TRUE(recorder->seen().empty());
}

TEST(GraphEventTest, ALateEventOfAnEarlierRunDoesNotEndTheNextOne) {
    Chain chain;
    chain.graph.setClock(nullptr);
    ASSERT_TRUE(chain.graph.run());
    ASSERT_TRUE(chain.recorder->waitForEnd());
    chain.graph.stop();  // the run's completion is queued and nobody read it

    auto clock = std::make_shared<ManualClock>();
    chain.graph.setClock(clock);
    ASSERT_TRUE(chain.graph.setPositions(0, std::nullopt, TimeFormat::Frame));
    ASSERT_TRUE(chain.graph.run());
    ASSERT_TRUE(chain.recorder->waitForCount(11));  // frame 0 of the second run, then it waits
    EXPECT_FALSE(chain.graph.waitForEvent(20ms));
    clock->advanceTo(clock->now() + 10 * 400'000);
    ASSERT_EQ(chain.next(), GraphEvent::Type::Complete);
    EXPECT_EQ(chain.recorder->seen().size(), 20u);
}

TEST(GraphEventTest, TheNotifierIsCalledForEveryQueuedEvent) {
    Chain chain;
    std::atomic<int> calls{0};
    chain.graph.setEventNotifier([&] { ++calls; });
    ASSERT_TRUE(chain.graph.pause());
    ASSERT_EQ(chain.next(), GraphEvent::Type::Paused);
    chain.graph.setClock(nullptr);
    ASSERT_TRUE(chain.graph.run());
    ASSERT_EQ(chain.next(), GraphEvent::Type::Complete);
    chain.graph.stop();  // the notifier runs after the event is queued, on the streaming thread
    EXPECT_EQ(calls.load(), 2);
}

TEST(GraphTeeTest, TheTeeDeliversToEveryOutputAndWritersGetTheirOwnCopy) {
    Graph graph;
    auto source = std::make_shared<NumberedSource>();
    auto tee = std::make_shared<InfiniteTee>();
    auto writer = std::make_shared<WatchingTransform>(/*writes=*/true);
    std::vector<std::shared_ptr<RecordingRenderer>> recorders;
    graph.addFilter(source);
    graph.addFilter(tee);
    graph.addFilter(writer);
    ASSERT_TRUE(graph.connect(*source->output(), *tee->input()));
    EXPECT_EQ(tee->outputs().size(), 1u);
    for (int i = 0; i < 3; ++i) {
        recorders.push_back(std::make_shared<RecordingRenderer>());
        graph.addFilter(recorders.back());
        OutputPin& out = *tee->output(size_t(i));
        if (i == 1) {
            ASSERT_TRUE(graph.connect(out, *writer->input()));
            ASSERT_TRUE(graph.connect(*writer->output(), *recorders.back()->input()));
        } else {
            ASSERT_TRUE(graph.connect(out, *recorders.back()->input()));
        }
        EXPECT_EQ(tee->outputs().size(), size_t(i + 2)) << "a new output after each connection";
    }
    const auto pins = tee->pins();
    EXPECT_EQ(pins.front()->direction(), PinDirection::Input);
    EXPECT_EQ(pins.back()->name(), "Output4");

    graph.setClock(nullptr);
    ASSERT_TRUE(graph.run());
    auto event = graph.waitForEvent(kWait);
    ASSERT_TRUE(event);
    EXPECT_EQ(event->type, GraphEvent::Type::Complete);
    for (size_t i = 0; i < recorders.size(); ++i) {
        SCOPED_TRACE(i);
        const auto seen = recorders[i]->seen();
        EXPECT_EQ(recorders[i]->numbers(), Range(0, 10));
        for (const auto& s : seen) EXPECT_EQ(s.byte8, i == 1 ? 0xEE : 0x00);
        if (i != 1) {
            for (const auto& s : seen) EXPECT_FALSE(s.writable);
        }
    }
}

// Turns a Stream type into a Video one, standing in for a decoder found through the registry.
class StreamToVideo : public TransformFilter {
public:
    StreamToVideo() : TransformFilter("Stream to video") {}

protected:
    bool acceptsInput(const MediaType& type) override { return type.major == MajorType::Stream; }
    std::vector<MediaType> outputTypesFor(const MediaType&) override {
        return {testing::NumberedType(400'000)};
    }
    Flow transform(const Sample& in, Sample& out) override {
        out.data = in.data;
        return Flow::Ok;
    }
};

TEST(GraphRenderTest, RenderInsertsRegisteredConvertersAndRemovesThoseNotKept) {
    FilterRegistry registry;
    registry.add({"tee", 10, [] { return std::make_shared<InfiniteTee>(); }});
    registry.add({"stream to video", 5, [] { return std::make_shared<StreamToVideo>(); }});
    struct Case {
        const char* name;
        MediaType accepted;
        bool renders;
        size_t filters;  // in the graph afterwards
    };
    const Case cases[] = {
        {"direct", MediaType{MajorType::Stream}, true, 2},
        {"through the converter", MediaType{MajorType::Video}, true, 3},
        {"no route", MediaType{MajorType::Audio}, false, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Graph graph;
        NumberedSource::Options options;
        options.types = {MediaType{MajorType::Stream, FourCC("DATA")}};
        auto source = std::make_shared<NumberedSource>(options);
        auto recorder = std::make_shared<RecordingRenderer>(c.accepted);
        graph.addFilter(source);
        graph.addFilter(recorder);
        EXPECT_EQ(graph.render(*source->output(), *recorder, registry), c.renders);
        EXPECT_EQ(graph.filters().size(), c.filters);
        if (!c.renders) {
            EXPECT_FALSE(source->output()->isConnected());
            continue;
        }
        graph.setClock(nullptr);
        ASSERT_TRUE(graph.run());
        ASSERT_TRUE(recorder->waitForEnd());
        EXPECT_EQ(recorder->numbers(), Range(0, 10));
    }
}

}  // namespace
}  // namespace velinor::graph
