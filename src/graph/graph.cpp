#include "graph/graph.h"

#include <algorithm>
#include <cmath>
#include <set>

namespace velinor::graph {

Graph::Graph() {
    setClock(std::make_shared<SystemClock>());
}

Graph::~Graph() {
    stop();
    setClock(nullptr);
    clear();
}

bool Graph::addFilter(std::shared_ptr<Filter> filter, std::string name) {
    if (!filter || filter->graph_) return false;
    if (state_ != GraphState::Stopped) return false;
    filter->graph_ = this;
    entries_.push_back({std::move(filter), std::move(name)});
    return true;
}

void Graph::removeFilter(Filter& filter) {
    if (filter.graph_ != this) return;
    stop();
    for (auto* pin : filter.pins()) disconnect(*pin);
    filter.graph_ = nullptr;
    std::erase_if(entries_, [&](const Entry& e) { return e.filter.get() == &filter; });
}

void Graph::clear() {
    stop();
    while (!entries_.empty()) removeFilter(*entries_.back().filter);
}

std::vector<Filter*> Graph::filters() const {
    std::vector<Filter*> result;
    for (const auto& e : entries_) result.push_back(e.filter.get());
    return result;
}

Filter* Graph::findFilter(const std::string& name) const {
    for (const auto& e : entries_)
        if (e.name == name) return e.filter.get();
    return nullptr;
}

bool Graph::connect(OutputPin& from, InputPin& to, const MediaType& pattern) {
    if (state_ != GraphState::Stopped) return false;
    if (from.isConnected() || to.isConnected()) return false;
    Filter& up = from.filter();
    Filter& down = to.filter();
    if (up.graph_ != this || down.graph_ != this || &up == &down) return false;

    std::vector<MediaType> candidates = up.outputTypes(from);
    for (auto& type : down.inputTypes(to)) candidates.push_back(std::move(type));
    for (const auto& type : candidates) {
        if (type.major == MajorType::Any || !type.matches(pattern)) continue;
        if (!up.checkOutputType(from, type) || !down.checkInputType(to, type)) continue;
        from.peer_ = &to;
        to.peer_ = &from;
        from.type_ = type;
        to.type_ = type;
        down.onConnected(to);
        up.onConnected(from);
        return true;
    }
    return false;
}

void Graph::disconnect(Pin& pin) {
    Pin* peer = pin.peer_;
    if (!peer) return;
    if (state_ != GraphState::Stopped) stop();
    pin.peer_ = nullptr;
    peer->peer_ = nullptr;
    pin.type_ = {};
    peer->type_ = {};
    pin.filter().onDisconnected(pin);
    peer->filter().onDisconnected(*peer);
}

bool Graph::render(OutputPin& from, Filter& target, const FilterRegistry& registry, int depth) {
    if (from.isConnected() || target.graph_ != this) return false;
    // Shortest routes first, so that no needless filter is inserted.
    for (int d = 0; d <= depth; ++d)
        if (renderTo(from, target, registry, d)) return true;
    return false;
}

bool Graph::renderTo(OutputPin& from, Filter& target, const FilterRegistry& registry, int depth) {
    // Target inputs may appear on demand, so the list is read again after each try.
    for (size_t i = 0; auto* in = target.input(i); ++i)
        if (!in->isConnected() && connect(from, *in)) return true;
    if (depth <= 0) return false;
    for (const auto& factory : registry.factories()) {
        std::shared_ptr<Filter> step = factory.create ? factory.create() : nullptr;
        if (!step || !addFilter(step)) continue;
        InputPin* in = step->input(0);
        if (in && connect(from, *in)) {
            // Outputs that appear on demand while trying are not tried themselves.
            for (auto* out : step->outputs())
                if (!out->isConnected() && renderTo(*out, target, registry, depth - 1)) return true;
        }
        removeFilter(*step);
    }
    return false;
}

void Graph::setClock(std::shared_ptr<Clock> clock) {
    Lock lock(mutex_);
    if (clock_) clock_->setJumpListener(nullptr);
    clock_ = std::move(clock);
    if (clock_) {
        clock_->setJumpListener([this] {
            std::lock_guard inner(mutex_);
            cv_.notify_all();
        });
        if (state_ == GraphState::Running) runBase_ = clock_->now() - pausedStreamTime_;
    }
    cv_.notify_all();
}

std::shared_ptr<Clock> Graph::clock() const {
    std::lock_guard lock(mutex_);
    return clock_;
}

std::vector<Filter*> Graph::upstreamFirst() const {
    // Depth-first from each filter towards its upstream peers, emitting a filter after them.
    std::vector<Filter*> order;
    std::set<Filter*> seen;
    std::function<void(Filter*)> visit = [&](Filter* f) {
        if (!seen.insert(f).second) return;
        for (auto* in : f->inputs())
            if (auto* peer = in->connectedTo()) visit(&peer->filter());
        order.push_back(f);
    };
    for (const auto& e : entries_) visit(e.filter.get());
    return order;
}

std::vector<SourceFilter*> Graph::sources() const {
    std::vector<SourceFilter*> result;
    for (const auto& e : entries_)
        if (auto* source = dynamic_cast<SourceFilter*>(e.filter.get())) result.push_back(source);
    return result;
}

bool Graph::startFilters() {
    // Downstream first, so every filter is ready before samples can reach it.
    auto order = upstreamFirst();
    std::reverse(order.begin(), order.end());
    for (size_t i = 0; i < order.size(); ++i) {
        std::string error;
        bool started = false;
        try {
            started = order[i]->startStreaming(error);
        } catch (const std::exception& e) {
            error = e.what();
        }
        if (!started) {
            for (size_t j = 0; j < i; ++j) order[j]->stopStreaming();
            std::lock_guard lock(mutex_);
            lastError_ = error.empty() ? "Le filtre " + order[i]->name() + " ne peut pas démarrer" : error;
            return false;
        }
    }
    return true;
}

void Graph::resetRunLocked() {
    ++generation_;
    cuedThreads_ = 0;
    finishedThreads_ = 0;
    renderersAtEnd_ = 0;
    renderersPrimed_ = 0;
    renderers_ = 0;
    cueComplete_ = false;
    completePosted_ = false;
    errorPosted_ = false;
    presented_ = false;
    position_ = segmentStart_;
    pausedStreamTime_ = 0;
    for (const auto& e : entries_) {
        for (auto* in : e.filter->inputs()) in->atEnd_ = false;
        if (auto* r = dynamic_cast<RendererFilter*>(e.filter.get())) {
            r->cued_ = false;
            r->atEnd_ = false;
            r->primed_ = false;
            const auto ins = r->inputs();
            if (std::any_of(ins.begin(), ins.end(), [](InputPin* in) { return in->isConnected(); }))
                ++renderers_;
        }
    }
    running_.clear();
    for (auto* source : sources()) {
        const auto outs = source->outputs();
        if (std::any_of(outs.begin(), outs.end(), [](OutputPin* out) { return out->isConnected(); }))
            running_.push_back(source);
    }
    threads_ = int(running_.size());
    events_.clear();
}

void Graph::startStreamingThreads() {
    std::vector<SourceFilter*> ready;
    std::vector<std::string> errors;
    for (auto* source : running_) {
        try {
            source->setSegment(segmentStart_, segmentStop_);
            ready.push_back(source);
        } catch (const std::exception& e) {
            errors.emplace_back(e.what());
        }
    }
    for (const auto& error : errors) postError(error);
    {
        Lock lock(mutex_);
        // A source that cannot reach its start streams nothing: it counts as finished.
        finishedThreads_ += int(running_.size() - ready.size());
        running_ = ready;
        if (clock_) runBase_ = clock_->now() - pausedStreamTime_;
        checkCueLocked(lock);
    }
    for (auto* source : ready) source->startThread();
}

void Graph::joinStreamingThreads() {
    flushing_.store(true, std::memory_order_release);
    {
        std::lock_guard lock(mutex_);
        cv_.notify_all();
    }
    for (auto* source : running_) source->joinThread();
    flushing_.store(false, std::memory_order_release);
}

bool Graph::pause() {
    return startPaused(true);
}

bool Graph::startPaused(bool announce) {
    Lock lock(mutex_);
    announcePause_ = announce;
    if (state_ == GraphState::Paused) return true;
    if (state_ == GraphState::Running) {
        if (clock_) pausedStreamTime_ = clock_->now() - runBase_;
        state_ = GraphState::Paused;
        cueComplete_ = false;
        checkCueLocked(lock);
        cv_.notify_all();
        return true;
    }
    lock.unlock();
    if (!startFilters()) return false;
    lock.lock();
    resetRunLocked();
    state_ = GraphState::Paused;
    lock.unlock();
    startStreamingThreads();
    return true;
}

bool Graph::run() {
    if (state() == GraphState::Stopped && !startPaused(false)) return false;
    Lock lock(mutex_);
    if (state_ == GraphState::Running) return true;
    if (clock_) runBase_ = clock_->now() - pausedStreamTime_;
    state_ = GraphState::Running;
    cv_.notify_all();
    checkCompleteLocked(lock);
    return true;
}

bool Graph::stop() {
    {
        Lock lock(mutex_);
        if (state_ == GraphState::Stopped) return true;
        state_ = GraphState::Stopped;
    }
    joinStreamingThreads();
    // Upstream filters stop after those they feed, as a graph manager stops renderers first.
    // Every filter gets its stop routine, even after one failed (a writer that could not
    // finish its file must not keep the others from finishing theirs).
    auto order = upstreamFirst();
    std::reverse(order.begin(), order.end());
    bool stopped = true;
    for (auto* filter : order) {
        try {
            filter->stopStreaming();
        } catch (const std::exception& e) {
            stopped = false;
            postError(e.what());
        }
    }
    Lock lock(mutex_);
    // The next start resumes at the picture last shown.
    if (presented_ && !completePosted_) segmentStart_ = position_;
    running_.clear();
    cv_.notify_all();
    return stopped;
}

GraphState Graph::state() const {
    std::lock_guard lock(mutex_);
    return state_;
}

bool Graph::waitForSteadyState(std::chrono::milliseconds timeout) const {
    Lock lock(mutex_);
    return cv_.wait_for(lock, timeout, [&] { return settledLocked(); });
}

bool Graph::settledLocked() const {
    switch (state_) {
        case GraphState::Stopped:
            return true;
        case GraphState::Paused:
            return cueComplete_;
        case GraphState::Running:
            break;
    }
    return cueComplete_ || finishedThreads_ >= threads_ || (renderers_ > 0 && renderersPrimed_ >= renderers_);
}

std::string Graph::lastError() const {
    std::lock_guard lock(mutex_);
    return lastError_;
}

int64_t Graph::frameDuration() const {
    for (auto* source : sources())
        if (const int64_t fd = source->frameDuration(); fd > 0) return fd;
    return 0;
}

int64_t Graph::toTime(int64_t value, TimeFormat format) const {
    return format == TimeFormat::Frame ? value * frameDuration() : value;
}

int64_t Graph::fromTime(int64_t time, TimeFormat format) const {
    if (format == TimeFormat::MediaTime) return time;
    const int64_t fd = frameDuration();
    return fd > 0 ? int64_t(std::llround(double(time) / double(fd))) : 0;
}

bool Graph::setPositions(int64_t start, std::optional<int64_t> stop, TimeFormat format) {
    if (format == TimeFormat::Frame && frameDuration() <= 0) return false;
    const int64_t startTime = std::max<int64_t>(0, toTime(start, format));
    std::optional<int64_t> stopTime;
    if (stop) stopTime = toTime(*stop, format);

    const GraphState was = state();
    if (was == GraphState::Stopped) {
        std::lock_guard lock(mutex_);
        segmentStart_ = startTime;
        segmentStop_ = stopTime;
        position_ = startTime;
        presented_ = false;
        return true;
    }
    joinStreamingThreads();
    {
        Lock lock(mutex_);
        segmentStart_ = startTime;
        segmentStop_ = stopTime;
        resetRunLocked();
    }
    startStreamingThreads();
    return true;
}

int64_t Graph::duration(TimeFormat format) const {
    int64_t longest = 0;
    for (auto* source : sources()) longest = std::max(longest, source->duration());
    return fromTime(longest, format);
}

int64_t Graph::currentPosition(TimeFormat format) const {
    int64_t time;
    {
        std::lock_guard lock(mutex_);
        time = position_;
    }
    return fromTime(time, format);
}

std::optional<GraphEvent> Graph::waitForEvent(std::chrono::milliseconds timeout) {
    Lock lock(mutex_);
    auto current = [&] {
        while (!events_.empty() && events_.front().generation != generation_) events_.pop_front();
        return !events_.empty();
    };
    if (!cv_.wait_for(lock, timeout, current)) return std::nullopt;
    GraphEvent event = std::move(events_.front().event);
    events_.pop_front();
    return event;
}

void Graph::setEventNotifier(std::function<void()> notify) {
    std::lock_guard lock(mutex_);
    notify_ = std::move(notify);
}

void Graph::postLocked(GraphEvent::Type type, std::string message, Lock& lock) {
    events_.push_back({generation_, GraphEvent{type, std::move(message)}});
    cv_.notify_all();
    if (auto notify = notify_) {
        lock.unlock();
        notify();
        lock.lock();
    }
}

void Graph::postErrorOnce(const std::string& message) {
    {
        std::lock_guard lock(mutex_);
        if (errorPosted_) return;
    }
    postError(message);
}

void Graph::postError(const std::string& message) {
    Lock lock(mutex_);
    lastError_ = message;
    errorPosted_ = true;
    postLocked(GraphEvent::Type::Error, message, lock);
}

void Graph::checkCueLocked(Lock& lock) {
    if (state_ != GraphState::Paused || cueComplete_) return;
    if (cuedThreads_ + finishedThreads_ < threads_) return;
    cueComplete_ = true;
    cv_.notify_all();
    if (announcePause_) postLocked(GraphEvent::Type::Paused, {}, lock);
}

void Graph::checkCompleteLocked(Lock& lock) {
    if (state_ != GraphState::Running || completePosted_ || errorPosted_) return;
    // A thread that finished without an error delivered its end of stream, even if some filter
    // downstream failed to pass it on.
    const bool done = (renderers_ > 0 && renderersAtEnd_ >= renderers_) || finishedThreads_ >= threads_;
    if (!done) return;
    completePosted_ = true;
    const int64_t end = segmentStop_.value_or(duration(TimeFormat::MediaTime));
    position_ = std::max(position_, end);
    postLocked(GraphEvent::Type::Complete, {}, lock);
}

void Graph::notePresentedLocked(RendererFilter& renderer, const Sample& sample) {
    if (!renderer.primed_) {
        renderer.primed_ = true;
        ++renderersPrimed_;
        cv_.notify_all();
    }
    if (!sample.hasTime) return;
    if (!presented_ || sample.start > position_) position_ = sample.start;
    presented_ = true;
}

Flow Graph::present(RendererFilter& renderer, InputPin& pin, const SamplePtr& sample) {
    Lock lock(mutex_);
    bool shown = false;  // presented already, as the still picture of a pause
    auto release = [&] {
        if (renderer.cued_) {
            renderer.cued_ = false;
            --cuedThreads_;
        }
    };
    for (;;) {
        if (flushing() || state_ == GraphState::Stopped) {
            release();
            // A sample already rendered was delivered: upstream must count it (a WAV writer's
            // header sizes follow what reached the file). The next one meets the stop.
            return shown ? Flow::Ok : Flow::Stopping;
        }
        if (state_ == GraphState::Paused) {
            if (!shown) {
                lock.unlock();
                const Flow flow = renderer.render(pin, sample);
                lock.lock();
                notePresentedLocked(renderer, *sample);
                if (flow != Flow::Ok) return flow;
                shown = true;
                continue;
            }
            // A sink that buffers ahead (sound) does not hold a pause while another renderer has
            // nothing yet: with one streaming thread for both streams, a sound sample that starts
            // before the picture would otherwise keep the picture from ever coming.
            if (!renderer.waitsForSampleTime() && !renderer.cued_ && renderersPrimed_ < renderers_) {
                release();
                return Flow::Ok;
            }
            if (!renderer.cued_) {
                renderer.cued_ = true;
                ++cuedThreads_;
                checkCueLocked(lock);  // may release the lock to notify: look at the state again
                continue;
            }
            cv_.wait(lock);
            continue;
        }
        release();
        if (shown) return Flow::Ok;
        if (clock_ && renderer.waitsForSampleTime() && sample->hasTime) {
            const int64_t due = runBase_ + (sample->start - segmentStart_);
            const int64_t now = clock_->now();
            if (now < due) {
                cv_.wait_for(lock, std::chrono::microseconds((due - now + 9) / 10));
                continue;
            }
        }
        break;
    }
    lock.unlock();
    const Flow flow = renderer.render(pin, sample);
    lock.lock();
    notePresentedLocked(renderer, *sample);
    return flow;
}

void Graph::rendererReachedEnd(RendererFilter& renderer) {
    Lock lock(mutex_);
    if (renderer.atEnd_) return;
    renderer.atEnd_ = true;
    ++renderersAtEnd_;
    if (!renderer.primed_) {
        renderer.primed_ = true;
        ++renderersPrimed_;
        cv_.notify_all();
    }
    checkCompleteLocked(lock);
}

void Graph::streamingThreadFinished() {
    Lock lock(mutex_);
    ++finishedThreads_;
    cv_.notify_all();
    if (flushing()) return;  // a stop or a seek: this run's events no longer matter
    checkCueLocked(lock);
    checkCompleteLocked(lock);
}

}  // namespace velinor::graph
