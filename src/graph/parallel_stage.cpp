#include "graph/parallel_stage.h"

#include <algorithm>
#include <thread>

namespace velinor::graph {

ParallelStage::ParallelStage(size_t lanes) {
    if (lanes == 0) lanes = std::clamp<size_t>(std::thread::hardware_concurrency(), 1, 8);
    lanes_ = lanes;
}

ParallelStage::~ParallelStage() {
    discard();
}

Flow ParallelStage::submit(SamplePtr out, std::function<bool()> work, const Emit& emit) {
    Flow flow = Flow::Ok;
    if (jobs_.size() >= lanes_) {
        Job oldest = std::move(jobs_.front());
        jobs_.pop_front();
        flow = emit(oldest.out, oldest.ok.get());
        if (flow != Flow::Ok) {
            discard();
            return flow;
        }
    }
    auto task = [w = std::move(work)]() noexcept {
        try {
            return w();
        } catch (...) {
            return false;
        }
    };
    jobs_.push_back({std::move(out), std::async(std::launch::async, std::move(task))});
    ++submitted_;
    return flow;
}

Flow ParallelStage::drain(const Emit& emit) {
    while (!jobs_.empty()) {
        Job oldest = std::move(jobs_.front());
        jobs_.pop_front();
        const Flow flow = emit(oldest.out, oldest.ok.get());
        if (flow != Flow::Ok) {
            discard();
            return flow;
        }
    }
    return Flow::Ok;
}

void ParallelStage::discard() {
    for (auto& job : jobs_)
        if (job.ok.valid()) job.ok.wait();
    jobs_.clear();
}

}  // namespace velinor::graph
