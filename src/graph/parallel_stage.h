#pragma once
// Runs the per-sample work of a filter on several lanes at once and hands the results on in
// arrival order, so a codec filter uses every core while samples keep their order. Owned by the
// streaming thread that feeds it; each lane is a thread of its own that runs its jobs one after
// another, so a lane may own a codec that is not thread-safe. Two jobs may wait per lane, so a
// lane stays busy while the streaming thread is held up downstream.
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "graph/filter.h"

namespace velinor::graph {

class ParallelStage {
public:
    // What becomes of a finished job: its output sample and whether the work succeeded.
    using Emit = std::function<Flow(const SamplePtr& out, bool ok)>;

    // 0 lanes: one per core, at most 8. The lane threads start with the first job.
    explicit ParallelStage(size_t lanes = 0);
    ~ParallelStage();
    ParallelStage(const ParallelStage&) = delete;
    ParallelStage& operator=(const ParallelStage&) = delete;

    size_t lanes() const { return lanes_; }
    // The lane the next submitted job runs on.
    size_t nextLane() const { return submitted_ % lanes_; }
    // Queues `work` for `out` on nextLane(). When two jobs per lane are pending, first waits for
    // the oldest and emits it; returns what emitting gave.
    Flow submit(SamplePtr out, std::function<bool()> work, const Emit& emit);
    // Waits for every job and emits them in order.
    Flow drain(const Emit& emit);
    // Waits for every job and drops the results (a stop or a seek).
    void discard();

private:
    // Where a job's result lands, guarded by its lane's mutex.
    struct Result {
        bool done = false;
        bool ok = false;
    };
    // One worker thread and its queue, guarded by `mutex`.
    struct Lane {
        std::mutex mutex;
        std::condition_variable cv;
        std::deque<std::pair<std::function<bool()>, std::shared_ptr<Result>>> queue;
        bool quit = false;
        std::thread thread;
    };
    struct Job {
        SamplePtr out;
        size_t lane;
        std::shared_ptr<Result> result;
    };
    static void LaneLoop(Lane& lane);
    bool wait(const Job& job);

    size_t lanes_;
    size_t submitted_ = 0;
    std::vector<std::unique_ptr<Lane>> threads_;
    std::deque<Job> jobs_;
};

// Jobs whose input is byte for byte the input of the job before them, as when a frame is repeated
// to change the frame rate: the work is done once, and its output is copied into each repeat as
// the first job leaves the stage, before anything downstream can change it. Only for work whose
// output depends on nothing but its input. Owned by the streaming thread of one filter.
class RepeatedJobs {
public:
    // Whether `input` repeats the last job that is still waiting; if so, `out` gets that job's
    // output and its own work is nothing.
    bool repeats(const SamplePtr& input, const SamplePtr& out);
    // A job done for real on `input`, with its output `out`; a null input cannot be repeated.
    void submitted(SamplePtr input, const SamplePtr& out);
    // As job `out` leaves with result `ok`: copies its output into its repeats, and gives the
    // result `out` stands for (a repeat of failed work failed too).
    bool leaving(const SamplePtr& out, bool ok);
    void clear();

private:
    struct Done {
        const Sample* out;
        std::vector<SamplePtr> repeats;
    };
    SamplePtr lastInput_;
    std::deque<Done> waiting_;           // jobs done for real, in submission order
    std::vector<const Sample*> failed_;  // repeats of failed work that have not left yet
};

// Output samples that are used again once every consumer has let go of them, so that a filter's
// picture and frame buffers are allocated once per run instead of once per sample. Owned by the
// streaming thread of one filter.
class SamplePool {
public:
    // A sample with no other holder, its data of any size and content; a new one when every
    // pooled sample is still held downstream.
    SamplePtr take();
    void clear() { samples_.clear(); }

private:
    std::vector<SamplePtr> samples_;
};

}  // namespace velinor::graph
