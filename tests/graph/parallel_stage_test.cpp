#include "graph/parallel_stage.h"

#include <gtest/gtest.h>

#include <atomic>
#include <numeric>

namespace velinor::graph {
namespace {

// Jobs of very different lengths still come out in the order they went in, with their results;
// an emit that stops the stream drops the jobs still running.
TEST(ParallelStage, EmitsInOrderWithResultsAndStopsOnRequest) {
    struct Case {
        size_t lanes;
        int jobs;
        int stopAt;  // the emit of this job answers Stopping; -1 never
    };
    const Case kCases[] = {{1, 10, -1}, {3, 40, -1}, {4, 7, -1}, {2, 30, 11}, {3, 30, 0}};
    for (const auto& c : kCases) {
        SCOPED_TRACE("lanes " + std::to_string(c.lanes) + ", stop at " + std::to_string(c.stopAt));
        ParallelStage stage(c.lanes);
        std::vector<int> emitted;
        std::vector<bool> results;
        auto emit = [&](const SamplePtr& out, bool ok) {
            emitted.push_back(int(out->mediaStart));
            results.push_back(ok);
            return int(out->mediaStart) == c.stopAt ? Flow::Stopping : Flow::Ok;
        };
        Flow last = Flow::Ok;
        int i = 0;
        for (; i < c.jobs && last == Flow::Ok; ++i) {
            auto out = std::make_shared<Sample>();
            out->mediaStart = i;
            // Early jobs do the most work, so later ones finish first on other lanes.
            const int spins = (c.jobs - i) * 20'000;
            auto work = [out, spins, i] {
                volatile uint64_t sum = 0;
                for (int k = 0; k < spins; ++k) sum = sum + uint64_t(k);
                out->data.assign(1, uint8_t(i));
                if (i % 7 == 3) throw std::runtime_error("codec failure");
                return i % 5 != 4;
            };
            last = stage.submit(out, work, emit);
        }
        if (last == Flow::Ok) last = stage.drain(emit);
        std::vector<int> expected(emitted.size());
        std::iota(expected.begin(), expected.end(), 0);
        EXPECT_EQ(emitted, expected);
        for (size_t k = 0; k < results.size(); ++k)
            EXPECT_EQ(results[k], k % 7 != 3 && k % 5 != 4) << "job " << k;
        if (c.stopAt < 0) {
            EXPECT_EQ(last, Flow::Ok);
            EXPECT_EQ(int(emitted.size()), c.jobs);
        } else {
            EXPECT_EQ(last, Flow::Stopping);
            EXPECT_EQ(int(emitted.size()), c.stopAt + 1);
            EXPECT_EQ(stage.drain(emit), Flow::Ok);  // nothing left to emit
            EXPECT_EQ(int(emitted.size()), c.stopAt + 1);
        }
    }
}

// Work over a run of equal inputs is done once; every output still carries the work's result
// even though the consumer changes each output in place as it gets it, and a repeat of failed
// work fails too.
TEST(RepeatedJobs, DoesTheWorkOncePerRunOfEqualInputs) {
    const std::vector<uint8_t> inputs{1, 1, 1, 2, 9, 9, 3, 1, 1, 4, 4, 4, 4, 5};  // 9 fails
    // Seven runs; with one lane only two jobs wait, so the run of four outlasts its first job,
    // whose output may change once it has left, and the fourth is worked again.
    const std::pair<size_t, int> kLanesAndWork[] = {{1, 8}, {2, 7}, {3, 7}};
    for (const auto& [lanes, works] : kLanesAndWork) {
        SCOPED_TRACE("lanes " + std::to_string(lanes));
        ParallelStage stage(lanes);
        RepeatedJobs repeats;
        std::atomic<int> worked = 0;
        std::vector<std::pair<int, bool>> got;  // (output value, ok) in emission order
        auto emit = [&](const SamplePtr& out, bool ok) {
            ok = repeats.leaving(out, ok);
            got.emplace_back(ok ? out->data.at(0) : -1, ok);
            if (ok) out->data[0] = 0;  // a downstream filter works in place
            return Flow::Ok;
        };
        for (const uint8_t value : inputs) {
            auto input = std::make_shared<Sample>();
            input->data.assign(64, value);
            auto out = std::make_shared<Sample>();
            if (repeats.repeats(input, out)) {
                ASSERT_EQ(stage.submit(
                              out, [] { return true; }, emit),
                          Flow::Ok);
                continue;
            }
            repeats.submitted(input, out);
            auto work = [&worked, input, out] {
                ++worked;
                out->data.assign(8, uint8_t(input->data[0] * 10));
                return input->data[0] != 9;
            };
            ASSERT_EQ(stage.submit(out, work, emit), Flow::Ok);
        }
        ASSERT_EQ(stage.drain(emit), Flow::Ok);
        EXPECT_EQ(worked.load(), works);
        ASSERT_EQ(got.size(), inputs.size());
        for (size_t k = 0; k < inputs.size(); ++k) {
            const bool ok = inputs[k] != 9;
            EXPECT_EQ(got[k], std::make_pair(ok ? inputs[k] * 10 : -1, ok)) << "job " << k;
        }
    }
}

TEST(SamplePool, ReusesOnlySamplesNoOneElseHolds) {
    SamplePool pool;
    SamplePtr first = pool.take();
    first->data.assign(100, 7);
    first->writable = false;  // it went through a tee
    const Sample* address = first.get();
    SamplePtr downstream = std::move(first);
    SamplePtr second = pool.take();
    EXPECT_NE(second.get(), address) << "a sample held downstream is not handed out again";
    downstream.reset();
    second.reset();
    SamplePtr again = pool.take();
    EXPECT_EQ(again.get(), address);
    EXPECT_GE(again->data.capacity(), 100u);
    EXPECT_TRUE(again->writable);
}

}  // namespace
}  // namespace velinor::graph
