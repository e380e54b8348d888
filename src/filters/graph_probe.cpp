#include "filters/graph_probe.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>

#include "filters/dv_scene_detect_filter.h"
#include "graph/avi_source.h"
#include "graph/basic_filters.h"
#include "graph/dv_splitter.h"
#include "graph/graph.h"
#include "media/media_error.h"

namespace velinor {

namespace {

using namespace std::chrono_literals;
constexpr auto kRunWait = 1000ms;

// Takes any stream and ends it early once `enough` says so; the controlling thread waits for
// that, or for the end of the stream. Samples arrive on the streaming thread.
class ProbeSink : public graph::RendererFilter {
public:
    explicit ProbeSink(std::function<bool()> enough)
        : graph::RendererFilter("Null Renderer"), enough_(std::move(enough)) {
        addInput("In");
    }
    bool checkInputType(const graph::InputPin&, const graph::MediaType& type) override {
        return type.major != graph::MajorType::Any;
    }
    bool waitsForSampleTime() const override { return false; }
    bool startStreaming(std::string&) override {
        std::lock_guard lock(mutex_);
        done_ = false;
        return true;
    }
    graph::Flow render(graph::InputPin&, const graph::SamplePtr&) override {
        if (!enough_()) return graph::Flow::Ok;
        finish();
        return graph::Flow::Stopping;
    }
    void endOfStream(graph::InputPin& pin) override {
        graph::RendererFilter::endOfStream(pin);
        finish();
    }
    bool waitDone(std::chrono::milliseconds timeout) {
        std::unique_lock lock(mutex_);
        return cv_.wait_for(lock, timeout, [&] { return done_; });
    }

private:
    void finish() {
        std::lock_guard lock(mutex_);
        done_ = true;
        cv_.notify_all();
    }
    std::function<bool()> enough_;
    std::mutex mutex_;
    std::condition_variable cv_;
    bool done_ = false;
};

// Runs the graph until the sink has seen enough, or for at most the run wait, then stops it.
void RunBriefly(graph::Graph& graph, ProbeSink& sink) {
    if (graph.run()) sink.waitDone(kRunWait);
    graph.stop();
}

template <size_t N>
bool KeepBlock(const graph::MediaType& type, std::array<uint8_t, N>& into) {
    if (type.format.size() < N) return false;
    std::memcpy(into.data(), type.format.data(), N);
    return true;
}

}  // namespace

GraphProbe::GraphProbe() = default;

bool GraphProbe::ProbeFile(const std::string& path, bool videoAsDvsd) {
    GraphProbeResult& r = Result;
    r.VideoFound = r.AudioFound = r.DVInfoFound = false;
    r.VideoDuration = r.AudioDuration = 0;

    graph::Graph graph;
    graph.setClock(nullptr);  // the first frames as fast as they decode
    auto source = std::make_shared<graph::AviSource>();
    try {
        source->load(path, videoAsDvsd);
    } catch (const std::exception&) {
        return false;
    }
    int dvFrames = 0;
    bool sawDv = false;
    auto sceneDetect = std::make_shared<DvSceneDetectFilter>(detector_);
    auto sink = std::make_shared<ProbeSink>([&] {
        // The DV path stops at the first dated frame or after a few frames; any other stream
        // after its first sample.
        if (!sawDv) return true;
        ++dvFrames;
        return detector_.ReadLastFrame().DatecodeValid || dvFrames >= kProbeFrames;
    });
    auto dvSplitter = std::make_shared<graph::DvSplitter>();
    graph.addFilter(source, "Source");
    graph.addFilter(dvSplitter, "DV Splitter");
    graph.addFilter(sink, "Null Renderer");
    graph.addFilter(sceneDetect, "SceneDetect");

    const auto streams = source->outputs();
    r.StreamCount = int32_t(streams.size());
    r.DVFound = false;

    auto keepAudioOrVideo = [&](const graph::MediaType& type, int64_t duration, bool setDurations) {
        if (!r.VideoFound && type.major == graph::MajorType::Video) {
            if (KeepBlock(type, r.VideoInfo)) {
                r.VideoFound = true;
                if (setDurations) r.VideoDuration = duration;
            }
        } else if (!r.AudioFound && type.major == graph::MajorType::Audio) {
            if (KeepBlock(type, r.AudioFormat)) {
                r.AudioFound = true;
                if (setDurations) r.AudioDuration = duration;
            }
        }
    };

    for (graph::OutputPin* pin : streams) {
        dvFrames = 0;
        sawDv = graph.connect(*pin, sceneDetect->inputPin());
        if (sawDv) {
            r.DVFound = true;
            graph.connect(sceneDetect->outputPin(), *sink->input());
        } else {
            graph.connect(*pin, *sink->input());
        }
        // Only the first frames matter: a DV stream is cut after a few of them.
        graph.setPositions(0, sawDv ? std::optional<int64_t>(kProbeFrames) : std::nullopt,
                           graph::TimeFormat::Frame);
        RunBriefly(graph, *sink);
        const graph::MediaType type = pin->connectionType();
        if (sawDv) {
            const TDVFrameInfo last = detector_.ReadLastFrame();
            r.DatecodeValid = last.DatecodeValid;
            r.DatecodeValue = last.Datecode;
            r.TimecodeValid = last.TimecodeValid;
            r.TimecodeValue = last.Timecode;
            r.Wide = last.Wide;
        }
        const int64_t duration = graph.duration(graph::TimeFormat::MediaTime);
        graph.disconnect(*sink->input());
        graph.disconnect(sceneDetect->inputPin());
        graph.disconnect(sceneDetect->outputPin());
        graph.disconnect(*pin);

        if (type.major != graph::MajorType::Interleaved) {
            keepAudioOrVideo(type, duration, true);
            continue;
        }
        if (r.DVInfoFound || !KeepBlock(type, r.DVInfo)) continue;
        r.DVInfoFound = true;
        r.VideoDuration = r.AudioDuration = duration;
        if (!graph.connect(*pin, *dvSplitter->input())) {
            graph.clear();
            return false;
        }
        sawDv = false;
        for (graph::OutputPin* out : dvSplitter->outputs()) {
            if (!graph.connect(*out, *sink->input())) continue;
            graph.setPositions(0, std::nullopt, graph::TimeFormat::Frame);
            RunBriefly(graph, *sink);
            keepAudioOrVideo(out->connectionType(), 0, false);
            graph.disconnect(*out);
            graph.disconnect(*sink->input());
        }
        graph.disconnect(*dvSplitter->input());
        graph.disconnect(*pin);
    }
    graph.stop();
    graph.clear();
    return true;
}

}  // namespace velinor
