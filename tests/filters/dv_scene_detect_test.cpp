#include "filters/dv_scene_detect.h"
#include "support/dv_builder.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// Test frames name only the packs a case needs; the others stay absent on purpose.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace velinor {
namespace {

// What one test frame carries; packs left empty are absent from the frame.
struct TestFrame {
    std::optional<DatecodeFields> date;
    std::optional<Timecode> timecode;
    std::optional<bool> wide;
    int audioFrequencyCode = -1;  // AAUX PC4 bits 3-5 (0 = 48 kHz, 2 = 32 kHz); -1 = no AAUX pack
    bool is525 = false;
};

// Builds frames in one reused zeroed buffer: the date and time through the pack writer into empty
// subcode packs, the other packs poked at their places in sequence 0.
class FrameMaker {
public:
    std::span<const uint8_t> make(const TestFrame& wanted) {
        frame_.assign(wanted.is525 ? kDvFrameBytes525 : kDvFrameBytes625, 0);
        const int n = DifSequenceCount(frame_.size());
        frame_[3] = wanted.is525 ? 0x3F : 0xBF;  // header block system byte
        // Zero bytes at the fixed date/time positions would read as a blank date; mark them used.
        frame_[458] = 0x01;
        frame_[463] = 0x01;
        if (wanted.date) {
            frame_[86] = kPackEmpty;  // subcode block 1, packs 0 and 1
            frame_[94] = kPackEmpty;
            WriteDatecode(frame_, n, *wanted.date);
        }
        if (wanted.timecode) {
            const auto bcd = [](int v) { return static_cast<uint8_t>((v / 10) << 4 | v % 10); };
            const uint8_t pack[5] = {kPackTitleTimecode, bcd(wanted.timecode->Frames),
                                     bcd(wanted.timecode->Seconds), bcd(wanted.timecode->Minutes),
                                     bcd(wanted.timecode->Hours)};
            std::copy(pack, pack + 5, frame_.begin() + 102);  // subcode block 1, pack 2
        }
        if (wanted.wide) {
            frame_[248] = kPackVauxSourceControl;  // VAUX block 3, pack 1
            frame_[250] = *wanted.wide ? 2 : 0;    // PC2 display select
        }
        if (wanted.audioFrequencyCode >= 0) {
            frame_[480 + 3] = kPackAauxSource;  // first audio block (block 6)
            frame_[480 + 5] = 0x00;             // PC2: two channels
            frame_[480 + 7] = static_cast<uint8_t>(wanted.audioFrequencyCode << 3);  // PC4: 16 bits
        }
        return frame_;
    }

private:
    std::vector<uint8_t> frame_;
};

// 4 March 2007 10:11:12 plus a number of seconds (within the day).
DatecodeFields At(int seconds, int day = 4) {
    const int t = 10 * 3600 + 11 * 60 + 12 + seconds;
    return {2007,
            3,
            static_cast<uint8_t>(day),
            static_cast<uint8_t>(t / 3600),
            static_cast<uint8_t>(t / 60 % 60),
            static_cast<uint8_t>(t % 60)};
}

// A PAL frame timecode for frame f.
Timecode TimecodeOf(int f) {
    return {static_cast<uint8_t>(f / 90'000), static_cast<uint8_t>(f / 1500 % 60),
            static_cast<uint8_t>(f / 25 % 60), static_cast<uint8_t>(f % 25)};
}

using Scene = std::pair<int32_t, int32_t>;  // [Debut, Fin)

struct RunResult {
    std::vector<Scene> scenes;  // including the one Stop delivers
    bool operator==(const RunResult&) const = default;
};

RunResult RunScenes(Tdv_sceneDetect& detector, int frames, const std::function<TestFrame(int)>& frameOf) {
    RunResult result;
    FrameMaker maker;
    detector.OnSceneBreak = [&](const TDVFrameInfo& start, const TDVFrameInfo& current) {
        result.scenes.emplace_back(start.Frame, current.Frame);
    };
    detector.StartStreaming(kFrameDuration625);
    for (int f = 0; f < frames; ++f) detector.Transform(maker.make(frameOf(f)));
    detector.Stop();
    detector.OnSceneBreak = nullptr;
    return result;
}

// One second of datecode every 25 frames, starting at At(0).
TestFrame Steady(int f) {
    return {.date = At(f / 25), .timecode = TimecodeOf(f)};
}

TEST(DvSceneDetect, AcceptsDvStreamsOnly) {
    const struct {
        MediaTypeDescription type;
        bool accepted;
    } kCases[] = {
        {{MediaMajorType::Interleaved, ""}, true}, {{MediaMajorType::Video, "dvsd"}, true},
        {{MediaMajorType::Video, "MJPG"}, false},  {{MediaMajorType::Audio, "dvsd"}, false},
        {{MediaMajorType::Stream, "dvsd"}, false}, {{MediaMajorType::Video, ""}, false},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(Tdv_sceneDetect::CheckInputType(c.type), c.accepted) << c.type.Subtype;
}

TEST(DvSceneDetect, BreakRulesCutAtTheRightFrames) {
    const auto withAux = [](TestFrame s, int frequencyCode, bool wide = false) {
        s.audioFrequencyCode = frequencyCode;
        s.wide = wide;
        return s;
    };
    const struct {
        const char* name;
        int frames;
        std::function<TestFrame(int)> wanted;
        std::vector<Scene> scenes;
    } kCases[] = {
        {"steady datecode", 200, Steady, {{0, 200}}},
        {"6 s jump", 100, [](int f) { return TestFrame{.date = At(f < 50 ? 1 : 7)}; }, {{0, 50}, {50, 100}}},
        {"4 s jump", 100, [](int f) { return TestFrame{.date = At(f < 50 ? 1 : 5)}; }, {{0, 100}}},
        {"6 s back", 100, [](int f) { return TestFrame{.date = At(f < 50 ? 7 : 1)}; }, {{0, 50}, {50, 100}}},
        {"next day, same time",
         100,
         [](int f) { return TestFrame{.date = At(0, f < 50 ? 4 : 5)}; },
         {{0, 50}, {50, 100}}},
        {"dropout of 10 frames",
         200,
         [](int f) { return f >= 100 && f < 110 ? TestFrame{} : Steady(f); },
         {{0, 100}, {100, 200}}},
        {"dropout of 13 frames",
         200,
         [](int f) { return f >= 100 && f < 113 ? TestFrame{} : Steady(f); },
         {{0, 100}, {100, 113}, {113, 200}}},
        {"dropout of 12 frames",
         200,
         [](int f) { return f >= 100 && f < 112 ? TestFrame{} : Steady(f); },
         {{0, 100}, {100, 200}}},
        {"no datecode at all", 60, [](int) { return TestFrame{}; }, {{0, 60}}},
        {"first frame without datecode",
         60,
         [](int f) { return f == 0 ? TestFrame{} : Steady(f); },
         {{0, 60}}},
        {"jump between frames 0 and 1",
         30,
         [](int f) { return TestFrame{.date = At(f == 0 ? 0 : 60)}; },
         {{0, 1}, {1, 30}}},
        {"48 kHz to 32 kHz",
         100,
         [&](int f) { return withAux(Steady(f), f < 60 ? 0 : 2); },
         {{0, 60}, {60, 100}}},
        {"32 kHz with a datecode jump at the same frame",
         100,
         [&](int f) { return withAux(TestFrame{.date = At(f < 60 ? 0 : 100)}, f < 60 ? 0 : 2); },
         {{0, 60}, {60, 100}}},
        {"4:3 to 16:9", 100, [&](int f) { return withAux(Steady(f), 0, f >= 40); }, {{0, 40}, {40, 100}}},
        {"audio change without the aux packs",
         100,
         [](int f) { return TestFrame{.date = At(f / 25), .audioFrequencyCode = f < 60 ? 0 : 2}; },
         {{0, 100}}},
        // The format break and the vanished datecode fall on one frame: one scene ends there, and
        // no empty scene follows.
        {"format change where the datecode vanishes",
         100,
         [&](int f) { return f < 60 ? withAux(Steady(f), 0) : withAux(TestFrame{}, 2); },
         {{0, 60}, {60, 100}}},
    };
    for (const auto& c : kCases) {
        Tdv_sceneDetect detector;
        EXPECT_EQ(RunScenes(detector, c.frames, c.wanted).scenes, c.scenes) << c.name;
    }
}

TEST(DvSceneDetect, EveryRunCutsTheSame) {
    // A jump between frames 0 and 1, a dropout, a format change: what could depend on history.
    const auto wanted = [](int f) {
        TestFrame s = f == 0 ? TestFrame{.date = At(0)} : Steady(f + 250);
        if (f >= 40 && f < 45) s.date.reset();
        s.audioFrequencyCode = f < 70 ? 0 : 2;
        s.wide = f >= 90;
        return s;
    };
    Tdv_sceneDetect fresh;
    const RunResult first = RunScenes(fresh, 120, wanted);
    EXPECT_EQ(first.scenes, (std::vector<Scene>{{0, 1}, {1, 40}, {40, 70}, {70, 90}, {90, 120}}));
    EXPECT_EQ(RunScenes(fresh, 120, wanted), first);

    // A detector that ran another file before, stopped in another format, cuts the same.
    Tdv_sceneDetect used;
    RunScenes(used, 50, [](int f) {
        return TestFrame{.date = At(f), .wide = true, .audioFrequencyCode = 1, .is525 = true};
    });
    EXPECT_EQ(RunScenes(used, 120, wanted), first);
}

TEST(DvSceneDetect, ReferenceBelongsToEachDetector) {
    // Both detectors run at once; a format change seen by one (which has no datecode to compare)
    // must not hide the other's jump at the same frame.
    Tdv_sceneDetect a, b;
    std::vector<int32_t> breaksA, breaksB;
    a.OnSceneBreak = [&](const TDVFrameInfo&, const TDVFrameInfo& c) { breaksA.push_back(c.Frame); };
    b.OnSceneBreak = [&](const TDVFrameInfo&, const TDVFrameInfo& c) { breaksB.push_back(c.Frame); };
    a.StartStreaming(kFrameDuration625);
    b.StartStreaming(kFrameDuration625);
    FrameMaker maker;
    for (int f = 0; f < 20; ++f) {
        a.Transform(maker.make({.wide = false, .audioFrequencyCode = f < 10 ? 0 : 2}));
        b.Transform(maker.make({.date = At(f < 10 ? 0 : 30)}));
    }
    EXPECT_EQ(breaksA, std::vector<int32_t>{10});
    EXPECT_EQ(breaksB, std::vector<int32_t>{10});
}

// Records every text given to OnText with its frame.
struct TextLog {
    std::vector<std::pair<int32_t, std::string>> calls;
    Tdv_sceneDetect::TextHook hook() {
        return [this](const TDVFrameInfo& f, const std::string& t1, const std::string& t2) {
            calls.emplace_back(f.Frame, t1 + "|" + t2);
        };
    }
    // The frames that got a text, and those where the text was cleared.
    std::vector<int32_t> shown() const { return framesWhere(true); }
    std::vector<int32_t> cleared() const { return framesWhere(false); }
    std::vector<int32_t> framesWhere(bool text) const {
        std::vector<int32_t> out;
        for (const auto& [frame, t] : calls)
            if ((t != "|") == text) out.push_back(frame);
        return out;
    }
};

std::vector<int32_t> Range(int32_t first, int32_t end) {
    std::vector<int32_t> out;
    for (int32_t f = first; f < end; ++f) out.push_back(f);
    return out;
}

template <typename... Ranges>
std::vector<int32_t> Concat(Ranges... ranges) {
    std::vector<int32_t> out;
    (out.insert(out.end(), ranges.begin(), ranges.end()), ...);
    return out;
}

class DvSceneDetectTexts : public ::testing::Test {
protected:
    void SetUp() override { store.setTemplates("%T", ""); }

    // Runs `frames` frames, the timecode changing at each so that every shown frame is one call.
    TextLog RunTexts(Tdv_sceneDetect& detector, int frames, const std::function<TestFrame(int)>& frameOf,
                     std::optional<int64_t> frameDuration = kFrameDuration625) {
        TextLog log;
        FrameMaker maker;
        detector.StartStreaming(frameDuration);
        detector.SetTextCallback(log.hook());
        for (int f = 0; f < frames; ++f) {
            TestFrame s = frameOf(f);
            s.timecode = TimecodeOf(f);
            detector.Transform(maker.make(s));
        }
        detector.Stop();
        return log;
    }

    OverlayTextSettingsStore store;
};

TEST_F(DvSceneDetectTexts, DisplayPeriods) {
    // Mode 1: the countdown starts at 124 and is counted down before the test.
    {
        Tdv_sceneDetect detector(nullptr, &store);
        detector.SetDisplayMode(1);
        const TextLog log = RunTexts(detector, 300, Steady);
        EXPECT_EQ(log.shown(), Range(0, 123));
        EXPECT_EQ(log.cleared(), std::vector<int32_t>{123});
    }
    // Mode 2: a new scene shows the text again for 125 frames; so does a step back in time.
    {
        Tdv_sceneDetect detector(nullptr, &store);
        detector.SetDisplayMode(2);
        const TextLog log = RunTexts(detector, 700, [](int f) {
            return TestFrame{.date = At(f < 300 ? f / 25 : f < 500 ? 100 + f / 25 : f / 25 - 100)};
        });
        EXPECT_EQ(log.shown(), Concat(Range(0, 125), Range(300, 425), Range(500, 625)));
        EXPECT_EQ(log.cleared(), (std::vector<int32_t>{125, 425, 625}));
    }
    // Mode 3 across midnight, with a period of 2 s: the text comes back on the first frame of the new day.
    {
        Tdv_sceneDetect detector(nullptr, &store);
        detector.SetDisplayMode(3);
        detector.SetDisplaySeconds(2);
        const TextLog log = RunTexts(detector, 400, [](int f) {
            const int t = 23 * 3600 + 59 * 60 + 50 + f / 25;  // 23:59:50 + f/25 s
            const auto day = static_cast<uint8_t>(4 + t / 86400);
            const int s = t % 86400;
            return TestFrame{.date = DatecodeFields{2007, 3, day, static_cast<uint8_t>(s / 3600),
                                                    static_cast<uint8_t>(s / 60 % 60),
                                                    static_cast<uint8_t>(s % 60)}};
        });
        EXPECT_EQ(detector.DisplayFrames, 50);
        EXPECT_EQ(log.shown(), Concat(Range(0, 50), Range(250, 300)));
        EXPECT_EQ(log.cleared(), (std::vector<int32_t>{50, 300}));
    }
    // A second run of the same day shows the text as the first did.
    {
        Tdv_sceneDetect detector(nullptr, &store);
        detector.SetDisplayMode(3);
        const TextLog first = RunTexts(detector, 200, Steady);
        EXPECT_EQ(first.shown(), Range(0, 125));
        EXPECT_EQ(RunTexts(detector, 200, Steady).calls, first.calls);
    }
    // Mode 0: every frame, and Stop clears the text.
    {
        Tdv_sceneDetect detector(nullptr, &store);
        const TextLog log = RunTexts(detector, 30, Steady);
        EXPECT_EQ(log.shown(), Range(0, 30));
        EXPECT_EQ(log.cleared(), std::vector<int32_t>{30});
    }
}

TEST_F(DvSceneDetectTexts, DisplaySecondsFollowTheStreamsFrameRate) {
    const struct {
        std::optional<int64_t> connection;  // frame duration the connection gives
        bool is525;
        int32_t displayFrames;
    } kCases[] = {
        {kFrameDuration625, false, 75},
        {kFrameDuration525, true, 90},  // 3 s at 29.97 frames/s = 89.9
        {std::nullopt, false, 75},      // interleaved stream: from the frame's system
        {std::nullopt, true, 90},
    };
    for (const auto& c : kCases) {
        Tdv_sceneDetect detector(nullptr, &store);
        detector.SetDisplaySeconds(3);  // before any stream: kept until the frame rate is known
        detector.SetDisplayMode(1);
        const TextLog log = RunTexts(
            detector, 200, [&](int f) { return TestFrame{.date = At(f / 25), .is525 = c.is525}; },
            c.connection);
        EXPECT_EQ(detector.DisplayFrames, c.displayFrames) << c.is525;
        EXPECT_EQ(log.cleared(), std::vector<int32_t>{c.displayFrames - 2}) << c.is525;
    }
}

TEST_F(DvSceneDetectTexts, TemplatesAreFilled) {
    const struct {
        const char* template1;
        const char* template2;
        const char* format1;
        const char* format2;
        double shift;
        bool hasDate, hasTimecode;
        const char* expected;  // text1|text2
    } kCases[] = {
        {"%D1 - %T", "", "yyyymmdd", "tt", 0, true, true, "20070304 - 0:12:34:05|"},
        {"%d1", "%D2 %t", "ddddd", "tt", 0, true, true, "04/03/2007|10:11:12 0:12:34:05"},
        {"%D1 %D1", "[%d2]", "dd/mm", "hh'h'nn", 0, true, true, "04/03 04/03|[10h11]"},
        {"%D1", "%D2", "yyyymmdd", "hh:nn", 1.5, true, false, "20070305|22:11"},
        {"[%D1][%T]", "%D2", "yyyymmdd", "tt", 0, false, true, "[][0:12:34:05]|"},
        {"[%T]", "x", "yyyymmdd", "tt", 0, true, false, "[]|x"},
        {"%%D1%", "100%", "yyyy", "tt", 0, true, true, "%2007%|100%"},
        {"plain", "", "yyyy", "tt", 0, true, true, "plain|"},
    };
    for (const auto& c : kCases) {
        store.setTemplates(c.template1, c.template2);
        store.setDateFormats(c.format1, c.format2);
        store.setDecalageDisplay(c.shift);
        Tdv_sceneDetect detector(nullptr, &store);
        TextLog log;
        FrameMaker maker;
        detector.StartStreaming(kFrameDuration625);
        detector.SetTextCallback(log.hook());
        TestFrame wanted;
        if (c.hasDate) wanted.date = At(0);
        if (c.hasTimecode) wanted.timecode = Timecode{0, 12, 34, 5};
        detector.Transform(maker.make(wanted));
        ASSERT_FALSE(log.calls.empty()) << c.template1;
        EXPECT_EQ(log.calls[0].second, c.expected) << c.template1 << " / " << c.template2;
    }
}

TEST_F(DvSceneDetectTexts, UnchangedTextsAreGivenOnce) {
    store.setTemplates("%D1", "%D2");
    store.setDateFormats("yyyymmdd", "hh:nn:ss");
    Tdv_sceneDetect detector(nullptr, &store);
    const TextLog log = RunTexts(detector, 100, [](int f) { return TestFrame{.date = At(f / 25)}; });
    // RunTexts changes the timecode at every frame, but no template shows it.
    ASSERT_EQ(log.calls.size(), 5u);
    EXPECT_EQ(log.calls[0], (std::pair<int32_t, std::string>{0, "20070304|10:11:12"}));
    EXPECT_EQ(log.calls[3], (std::pair<int32_t, std::string>{75, "20070304|10:11:15"}));
    EXPECT_EQ(log.calls[4], (std::pair<int32_t, std::string>{100, "|"}));
}

TEST_F(DvSceneDetectTexts, NewSettingsReachARunningDetector) {
    store.setDateFormats("yyyy", "tt");
    Tdv_sceneDetect detector(nullptr, &store);
    TextLog log;
    FrameMaker maker;
    detector.StartStreaming(kFrameDuration625);
    detector.SetTextCallback(log.hook());
    store.setTemplates("a %D1", "");
    detector.Transform(maker.make({.date = At(0)}));
    store.setTemplates("b %D1", "");
    detector.Transform(maker.make({.date = At(0)}));
    ASSERT_EQ(log.calls.size(), 2u);
    EXPECT_EQ(log.calls[0].second, "a 2007|");
    EXPECT_EQ(log.calls[1].second, "b 2007|");
}

class MessageLog : public MainWindowMessages {
public:
    void post(int message, intptr_t wParam, intptr_t lParam) override {
        posted.push_back({message, wParam, lParam});
    }
    std::vector<std::array<intptr_t, 3>> posted;
};

TEST(DvSceneDetect, AspectChangeIsPostedOnce) {
    MessageLog messages;
    Tdv_sceneDetect detector(&messages);
    FrameMaker maker;
    detector.StartStreaming(kFrameDuration625);
    for (int f = 0; f < 10; ++f) detector.Transform(maker.make({.wide = f >= 5}));
    // A frame without the pack keeps the aspect of the one before.
    detector.Transform(maker.make({}));
    EXPECT_EQ(messages.posted, (std::vector<std::array<intptr_t, 3>>{{kMsgAspectChange, 1, 0}}));
    detector.Transform(maker.make({.wide = false}));
    EXPECT_EQ(messages.posted.back(), (std::array<intptr_t, 3>{kMsgAspectChange, 0, 0}));
    EXPECT_EQ(messages.posted.size(), 2u);
}

TEST(DvSceneDetect, StopDeliversTheLastSceneAndResets) {
    OverlayTextSettingsStore store;
    store.setTemplates("%T", "");
    Tdv_sceneDetect detector(nullptr, &store);
    std::vector<Scene> scenes;
    std::vector<std::string> events;
    detector.OnSceneBreak = [&](const TDVFrameInfo& s, const TDVFrameInfo& c) {
        scenes.emplace_back(s.Frame, c.Frame);
        events.push_back("scene");
    };
    detector.OnStop = [&] { events.push_back("stop"); };
    detector.StartStreaming(kFrameDuration625);
    detector.SetTextCallback([&](const TDVFrameInfo&, const std::string& t1, const std::string&) {
        if (t1.empty()) events.push_back("cleared");
    });
    FrameMaker maker;
    const std::vector<uint8_t> notDv(1000, 0);
    for (int f = 0; f < 40; ++f) {
        detector.Transform(maker.make({.date = At(f < 25 ? 0 : 10), .timecode = TimecodeOf(f)}));
        EXPECT_FALSE(detector.Transform(notDv));  // other samples pass, counted as samples only
    }
    EXPECT_EQ(detector.Current.Frame, 40);
    EXPECT_EQ(detector.SampleCount, 80);
    EXPECT_EQ(detector.LastFrame.Frame, 39);
    EXPECT_EQ(detector.ReadLastFrame(), detector.LastFrame);
    // Previous is saved before decoding: the frame number has moved on, the packs are frame 38's.
    EXPECT_EQ(detector.ReadPrevious().Frame, 39);
    EXPECT_EQ(detector.ReadPrevious().Timecode, TimecodeOf(38));
    detector.Stop();
    EXPECT_EQ(scenes, (std::vector<Scene>{{0, 25}, {25, 40}}));
    EXPECT_EQ(events, (std::vector<std::string>{"scene", "scene", "cleared", "stop"}));
    EXPECT_FALSE(static_cast<bool>(detector.OnText));
    EXPECT_TRUE(static_cast<bool>(detector.OnSceneBreak));  // the owner's hooks stay
    EXPECT_EQ(detector.Current.Frame, 0);

    // A second Stop, or a run without frames, delivers no empty scene.
    detector.Stop();
    detector.StartStreaming(kFrameDuration625);
    detector.Stop();
    EXPECT_EQ(scenes.size(), 2u);
    EXPECT_EQ(events.size(), 6u);  // two more "stop"
}

TEST(DvSceneDetect, HeaderStoreKeepsTheLatestFramesHeaders) {
    Tdv_sceneDetect detector;
    detector.StartStreaming(kFrameDuration525);
    std::vector<uint8_t> frame(kDvFrameBytes525);
    for (size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<uint8_t>(i * 7 + i / 251);
    detector.Transform(std::vector<uint8_t>(5));
    detector.Transform(frame);
    for (int s = 0; s < Tdv_sceneDetect::kHeaderEntries; ++s) {
        const auto& entry = detector.HeaderStore[s];
        if (s >= 10) {
            EXPECT_EQ(entry.Stamp, -1) << s;  // a 525/60 frame has 10 sequences
            continue;
        }
        EXPECT_EQ(entry.Stamp, 1) << s;
        EXPECT_TRUE(std::equal(entry.Bytes.begin(), entry.Bytes.end(), frame.begin() + s * kDifSequenceBytes))
            << s;
    }
    // A new run forgets the stamps of the last one.
    detector.Stop();
    detector.StartStreaming(kFrameDuration525);
    for (const auto& entry : detector.HeaderStore) EXPECT_EQ(entry.Stamp, -1);
}

TEST(DvSceneDetect, EncoderFramesOfAWide525Tape) {
    // 60 frames across midnight, a 20-frame dropout of the date, then a later recording.
    const DatecodeFields night{2026, 5, 17, 23, 59, 59};
    const DatecodeFields morning{2026, 5, 18, 8, 0, 0};
    DvClip clip;
    clip.is525 = true;
    clip.wide = true;
    clip.scenes = {{60, night, 0}, {20, std::nullopt, 1}, {40, morning, 2}};
    clip.timecode = Timecode{0, 59, 59, 28};
    clip.audio = AudioInfo{48'000, 2, 16};
    const auto frames = test::BuildDvStream(clip);
    ASSERT_EQ(frames.size(), 120u);

    MessageLog messages;
    Tdv_sceneDetect detector(&messages);
    std::vector<Scene> scenes;
    std::vector<TDVFrameInfo> records;
    detector.OnSceneBreak = [&](const TDVFrameInfo& s, const TDVFrameInfo& c) {
        scenes.emplace_back(s.Frame, c.Frame);
    };
    detector.StartStreaming(std::nullopt);  // an interleaved stream's format gives no frame duration
    for (const auto& frame : frames) {
        ASSERT_TRUE(detector.Transform(frame));
        records.push_back(detector.LastFrame);
    }
    detector.Stop();

    EXPECT_EQ(scenes, (std::vector<Scene>{{0, 60}, {60, 80}, {80, 120}}));
    EXPECT_EQ(detector.FrameDuration, kFrameDuration525);
    EXPECT_EQ(messages.posted, (std::vector<std::array<intptr_t, 3>>{{kMsgAspectChange, 1, 0}}));
    const struct {
        int frame;
        std::optional<DatecodeFields> date;
        Timecode timecode;
    } kFrames[] = {
        {0, night, {0, 59, 59, 28}},
        {59, DatecodeFields{2026, 5, 18, 0, 0, 0}, {1, 0, 1, 27}},
        {60, std::nullopt, {1, 0, 1, 28}},
        {119, DatecodeFields{2026, 5, 18, 8, 0, 1}, {1, 0, 3, 27}},
    };
    for (const auto& c : kFrames) {
        const TDVFrameInfo& r = records[c.frame];
        EXPECT_EQ(r.Frame, c.frame);
        EXPECT_EQ(r.DatecodeValid, c.date.has_value()) << c.frame;
        EXPECT_EQ(r.Datecode, c.date ? *MakeDatecode(*c.date) : 0.0) << c.frame;
        EXPECT_TRUE(r.TimecodeValid) << c.frame;
        EXPECT_EQ(r.Timecode, c.timecode) << c.frame;
        EXPECT_TRUE(r.AuxValid && r.Wide && r.Is525) << c.frame;
        EXPECT_EQ(r.AudioFrequency, 48'000) << c.frame;
        EXPECT_EQ(r.AudioBits, 16) << c.frame;
        EXPECT_EQ(r.AudioChannels, 2) << c.frame;
    }
}

}  // namespace
}  // namespace velinor
