#include "graph/parallel_stage.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace velinor::graph {

namespace {

// Enough for two jobs on each of 8 lanes, the samples queued between two stages and one a
// renderer holds.
constexpr size_t kMaxPooledSamples = 40;

}  // namespace

ParallelStage::ParallelStage(size_t lanes) {
    if (lanes == 0) lanes = std::clamp<size_t>(std::thread::hardware_concurrency(), 1, 8);
    lanes_ = lanes;
}

ParallelStage::~ParallelStage() {
    discard();
    for (auto& lane : threads_) {
        {
            std::lock_guard lock(lane->mutex);
            lane->quit = true;
        }
        lane->cv.notify_all();
        lane->thread.join();
    }
}

void ParallelStage::LaneLoop(Lane& lane) {
    std::unique_lock lock(lane.mutex);
    for (;;) {
        lane.cv.wait(lock, [&] { return lane.quit || !lane.queue.empty(); });
        if (lane.quit) return;
        auto [work, result] = std::move(lane.queue.front());
        lane.queue.pop_front();
        lock.unlock();
        bool ok = false;
        try {
            ok = work();
        } catch (...) {
            ok = false;
        }
        work = nullptr;  // captured samples are released before the job counts as done
        lock.lock();
        result->ok = ok;
        result->done = true;
        lane.cv.notify_all();
    }
}

bool ParallelStage::wait(const Job& job) {
    Lane& lane = *threads_[job.lane];
    std::unique_lock lock(lane.mutex);
    lane.cv.wait(lock, [&] { return job.result->done; });
    return job.result->ok;
}

Flow ParallelStage::submit(SamplePtr out, std::function<bool()> work, const Emit& emit) {
    Flow flow = Flow::Ok;
    if (jobs_.size() >= 2 * lanes_) {
        Job oldest = std::move(jobs_.front());
        jobs_.pop_front();
        flow = emit(oldest.out, wait(oldest));
        if (flow != Flow::Ok) {
            discard();
            return flow;
        }
    }
    const size_t index = nextLane();
    while (threads_.size() <= index) {
        auto lane = std::make_unique<Lane>();
        Lane& ref = *lane;
        lane->thread = std::thread([&ref] { LaneLoop(ref); });
        threads_.push_back(std::move(lane));
    }
    Lane& lane = *threads_[index];
    auto result = std::make_shared<Result>();
    {
        std::lock_guard lock(lane.mutex);
        lane.queue.emplace_back(std::move(work), result);
    }
    lane.cv.notify_all();
    jobs_.push_back({std::move(out), index, std::move(result)});
    ++submitted_;
    return flow;
}

Flow ParallelStage::drain(const Emit& emit) {
    while (!jobs_.empty()) {
        Job oldest = std::move(jobs_.front());
        jobs_.pop_front();
        const Flow flow = emit(oldest.out, wait(oldest));
        if (flow != Flow::Ok) {
            discard();
            return flow;
        }
    }
    return Flow::Ok;
}

void ParallelStage::discard() {
    for (const auto& job : jobs_) wait(job);
    jobs_.clear();
}

bool RepeatedJobs::repeats(const SamplePtr& input, const SamplePtr& out) {
    if (!lastInput_ || waiting_.empty() || input->data.size() != lastInput_->data.size()) return false;
    if (input != lastInput_ &&
        std::memcmp(input->data.data(), lastInput_->data.data(), input->data.size()) != 0)
        return false;
    waiting_.back().repeats.push_back(out);
    return true;
}

void RepeatedJobs::submitted(SamplePtr input, const SamplePtr& out) {
    lastInput_ = std::move(input);
    waiting_.push_back({out.get(), {}});
}

bool RepeatedJobs::leaving(const SamplePtr& out, bool ok) {
    if (const auto f = std::find(failed_.begin(), failed_.end(), out.get()); f != failed_.end()) {
        failed_.erase(f);
        return false;
    }
    if (waiting_.empty() || waiting_.front().out != out.get()) return ok;
    for (const SamplePtr& repeat : waiting_.front().repeats) {
        if (ok)
            repeat->data = out->data;
        else
            failed_.push_back(repeat.get());
    }
    waiting_.pop_front();
    // Once the last job done for real has left, its output may change downstream: nothing more
    // can repeat it.
    if (waiting_.empty()) lastInput_.reset();
    return ok;
}

void RepeatedJobs::clear() {
    lastInput_.reset();
    waiting_.clear();
    failed_.clear();
}

SamplePtr SamplePool::take() {
    for (auto& sample : samples_)
        if (sample.use_count() == 1) {
            // Pairs with the release in the last other holder's reference drop, so that holder's
            // reads of the data happen before this filter writes it again.
            std::atomic_thread_fence(std::memory_order_acquire);
            sample->writable = true;
            return sample;
        }
    auto sample = std::make_shared<Sample>();
    if (samples_.size() < kMaxPooledSamples) samples_.push_back(sample);
    return sample;
}

}  // namespace velinor::graph
