#pragma once
// A media graph: filters whose pins are connected, pushed by one streaming thread per source.
// Every method is for the one controlling thread, except those said to be callable from any
// thread. Events reach the controlling thread through a queue it waits on.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "graph/clock.h"
#include "graph/filter.h"
#include "graph/filter_registry.h"

namespace velinor::graph {

enum class GraphState { Stopped, Paused, Running };
enum class TimeFormat { Frame, MediaTime };  // frame numbers, or 100 ns

struct GraphEvent {
    enum class Type { Complete, Paused, Error };
    Type type;
    std::string message;  // errors only, in French
};

class Graph {
public:
    Graph();
    ~Graph();
    Graph(const Graph&) = delete;
    Graph& operator=(const Graph&) = delete;

    // A filter belongs to one graph at a time. The graph keeps it alive while it holds it.
    bool addFilter(std::shared_ptr<Filter> filter, std::string name = {});
    // Disconnects the filter's pins first. Stopped graphs only.
    void removeFilter(Filter& filter);
    void clear();
    std::vector<Filter*> filters() const;
    Filter* findFilter(const std::string& name) const;

    // Connects with the first type both ends accept that fits `pattern` (partial types allowed).
    bool connect(OutputPin& from, InputPin& to, const MediaType& pattern = {});
    void disconnect(Pin& pin);
    // Connects `from` to an input of `target`, inserting registered decoders and converters
    // as needed (at most `depth` of them). Filters tried and not kept are removed again.
    bool render(OutputPin& from, Filter& target, const FilterRegistry& registry = FilterRegistry::global(),
                int depth = 3);

    // nullptr: no clock, samples flow as fast as the filters allow.
    void setClock(std::shared_ptr<Clock> clock);
    std::shared_ptr<Clock> clock() const;

    // pause and run return false when a filter refused to start (lastError() says why). Pause
    // completes asynchronously: a Paused event follows once every streaming thread is held at a
    // renderer or has finished. A pause that run() goes through from stop posts no event.
    bool pause();
    bool run();
    // Joins the streaming threads, then runs the filters' stop routines. The next start resumes
    // at the current position. False when a stop routine failed (a writer that could not
    // finish its file): lastError() says why and an Error event is queued.
    bool stop();
    GraphState state() const;
    // Waits up to `timeout` for the graph to settle after pause or run: paused, every streaming
    // thread held at a renderer or finished; running, every renderer has presented its first
    // sample or reached the end, or every thread finished. True when settled (or stopped).
    bool waitForSteadyState(std::chrono::milliseconds timeout) const;
    std::string lastError() const;

    // Seeking. Absolute positions in the given format; passed to every source. In a paused or
    // running graph the streams are flushed and restart at `start`, whose frame comes first.
    bool setPositions(int64_t start, std::optional<int64_t> stop, TimeFormat format);
    void setTimeFormat(TimeFormat format) { format_ = format; }
    TimeFormat timeFormat() const { return format_; }
    bool setPositions(int64_t start, std::optional<int64_t> stop) {
        return setPositions(start, stop, format_);
    }
    int64_t duration(TimeFormat format) const;
    int64_t duration() const { return duration(format_); }
    // The start of the latest sample a renderer presented (the seek target before any); the
    // stop position once the graph completed. Callable from any thread.
    int64_t currentPosition(TimeFormat format) const;
    int64_t currentPosition() const { return currentPosition(format_); }
    // 100 ns per frame of the first source that has frames, or 0.
    int64_t frameDuration() const;

    // The next event of the current run, or nothing after `timeout`. Events of earlier runs
    // (before the latest start or seek) are dropped.
    std::optional<GraphEvent> waitForEvent(std::chrono::milliseconds timeout);
    // Called on any thread whenever an event is queued, e.g. to post a call to the UI thread
    // that then drains the queue with a zero time-out. It must not call the graph's controls.
    void setEventNotifier(std::function<void()> notify);

    // Streaming-thread side, used by the filter base classes.
    bool flushing() const { return flushing_.load(std::memory_order_acquire); }
    void postError(const std::string& message);
    // For a flow that ended in an error nobody reported.
    void postErrorOnce(const std::string& message);
    Flow present(RendererFilter& renderer, InputPin& pin, const SamplePtr& sample);
    void rendererReachedEnd(RendererFilter& renderer);
    void streamingThreadFinished();

private:
    using Lock = std::unique_lock<std::mutex>;
    bool startPaused(bool announce);
    std::vector<Filter*> upstreamFirst() const;
    std::vector<SourceFilter*> sources() const;
    bool startFilters();
    void startStreamingThreads();
    void joinStreamingThreads();
    void resetRunLocked();
    void postLocked(GraphEvent::Type type, std::string message, Lock& lock);
    void checkCueLocked(Lock& lock);
    void checkCompleteLocked(Lock& lock);
    void notePresentedLocked(RendererFilter& renderer, const Sample& sample);
    bool settledLocked() const;
    bool renderTo(OutputPin& from, Filter& target, const FilterRegistry& registry, int depth);
    int64_t toTime(int64_t value, TimeFormat format) const;
    int64_t fromTime(int64_t time, TimeFormat format) const;

    struct Entry {
        std::shared_ptr<Filter> filter;
        std::string name;
    };
    std::vector<Entry> entries_;

    mutable std::mutex mutex_;
    mutable std::condition_variable cv_;
    std::atomic<bool> flushing_{false};
    GraphState state_ = GraphState::Stopped;
    std::shared_ptr<Clock> clock_;
    TimeFormat format_ = TimeFormat::MediaTime;

    // Stream time: a sample starting at S is due at clock time runBase_ + (S - segmentStart_).
    int64_t runBase_ = 0;
    int64_t pausedStreamTime_ = 0;
    int64_t segmentStart_ = 0;
    std::optional<int64_t> segmentStop_;
    int64_t position_ = 0;  // 100 ns
    bool presented_ = false;

    // Per run (from a start or a seek to the next).
    uint64_t generation_ = 0;
    int threads_ = 0;
    int cuedThreads_ = 0;
    int finishedThreads_ = 0;
    int renderers_ = 0;
    int renderersAtEnd_ = 0;
    int renderersPrimed_ = 0;
    bool cueComplete_ = false;
    bool announcePause_ = true;  // false while run() passes through pause on its way from stop
    bool completePosted_ = false;
    bool errorPosted_ = false;
    std::vector<SourceFilter*> running_;

    struct Queued {
        uint64_t generation;
        GraphEvent event;
    };
    std::deque<Queued> events_;
    std::function<void()> notify_;
    std::string lastError_;
};

}  // namespace velinor::graph
