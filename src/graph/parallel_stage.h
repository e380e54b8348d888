#pragma once
// Runs the per-sample work of a filter on several lanes at once and hands the results on in
// arrival order, so a codec filter uses every core while samples keep their order. Owned by the
// streaming thread that feeds it; each lane's work runs on a thread of its own, one job at a time
// per lane, so a lane may own a codec that is not thread-safe.
#include <deque>
#include <functional>
#include <future>

#include "graph/filter.h"

namespace velinor::graph {

class ParallelStage {
public:
    // What becomes of a finished job: its output sample and whether the work succeeded.
    using Emit = std::function<Flow(const SamplePtr& out, bool ok)>;

    // 0 lanes: one per core, at most 8.
    explicit ParallelStage(size_t lanes = 0);
    ~ParallelStage();
    ParallelStage(const ParallelStage&) = delete;
    ParallelStage& operator=(const ParallelStage&) = delete;

    size_t lanes() const { return lanes_; }
    // The lane the next submitted job runs on.
    size_t nextLane() const { return submitted_ % lanes_; }
    // Starts `work` for `out` on nextLane(). When every lane is busy, first waits for the oldest
    // job and emits it; returns what emitting gave.
    Flow submit(SamplePtr out, std::function<bool()> work, const Emit& emit);
    // Waits for every job and emits them in order.
    Flow drain(const Emit& emit);
    // Waits for every job and drops the results (a stop or a seek).
    void discard();

private:
    struct Job {
        SamplePtr out;
        std::future<bool> ok;
    };
    size_t lanes_;
    size_t submitted_ = 0;
    std::deque<Job> jobs_;
};

}  // namespace velinor::graph
