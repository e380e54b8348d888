#pragma once
// What the side-by-side benchmarks share: CPU and wall time of a job (child processes included),
// running a shell command, and running a graph to its end. Every failure ends the program.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "graph/graph.h"

namespace velinor::bench {

// CPU seconds of this process and of the finished child processes, user and system together.
inline double CpuSeconds() {
    rusage self{}, children{};
    getrusage(RUSAGE_SELF, &self);
    getrusage(RUSAGE_CHILDREN, &children);
    auto secs = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return secs(self.ru_utime) + secs(self.ru_stime) + secs(children.ru_utime) + secs(children.ru_stime);
}

struct Timing {
    double wall = 1e9;
    double cpu = 1e9;
};

inline Timing Measure(const std::function<void()>& job) {
    const auto start = std::chrono::steady_clock::now();
    const double cpu = CpuSeconds();
    job();
    return {std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
            CpuSeconds() - cpu};
}

inline void Shell(const std::string& command) {
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "failed: %s\n", command.c_str());
        std::exit(1);
    }
}

// As fast as the filters allow, until the graph completes.
inline void RunGraph(graph::Graph& g) {
    g.setClock(nullptr);
    if (!g.run()) {
        std::fprintf(stderr, "run refused: %s\n", g.lastError().c_str());
        std::exit(1);
    }
    const auto event = g.waitForEvent(std::chrono::minutes(10));
    g.stop();
    if (!event || event->type != graph::GraphEvent::Type::Complete) {
        std::fprintf(stderr, "run failed: %s\n", event ? event->message.c_str() : "time-out");
        std::exit(1);
    }
}

}  // namespace velinor::bench
