#pragma once
// What the side-by-side benchmarks share: CPU and wall time of a job done in this process or of a
// whole child process, evicting a file's pages from the cache, a contest that runs each contender
// in turn and prints medians, minimums and ratios, running a shell command, and running a graph
// to its end. Every failure ends the program.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "graph/graph.h"

namespace velinor::bench {

inline double Seconds(const timeval& t) {
    return double(t.tv_sec) + double(t.tv_usec) / 1e6;
}

// CPU seconds of this process and of the finished child processes, user and system together.
inline double CpuSeconds() {
    rusage self{}, children{};
    getrusage(RUSAGE_SELF, &self);
    getrusage(RUSAGE_CHILDREN, &children);
    return Seconds(self.ru_utime) + Seconds(self.ru_stime) + Seconds(children.ru_utime) +
           Seconds(children.ru_stime);
}

struct Timing {
    double wall = 1e9;
    double cpu = 1e9;
};

// A job done inside this process (its threads included).
inline Timing Measure(const std::function<void()>& job) {
    const auto start = std::chrono::steady_clock::now();
    const double cpu = CpuSeconds();
    job();
    return {std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
            CpuSeconds() - cpu};
}

// What a shell command prints, without its last line breaks; empty when it cannot run.
inline std::string ShellOutput(const std::string& command) {
    std::string text;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[512];
        while (fgets(buffer, sizeof buffer, pipe)) text += buffer;
        pclose(pipe);
    }
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

inline void Shell(const std::string& command) {
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "failed: %s\n", command.c_str());
        std::exit(1);
    }
}

// This benchmark's own program, for the benchmarks that re-run themselves in a child process.
inline std::string SelfPath() {
    return std::filesystem::read_symlink("/proc/self/exe").string();
}

// The command-line program of the same build: build/PRESET/src/cli/velinor-cli beside
// build/PRESET/bench/.
inline std::string VelinorCli() {
    const auto cli = std::filesystem::path(SelfPath()).parent_path().parent_path() / "src/cli/velinor-cli";
    if (!std::filesystem::exists(cli)) {
        std::fprintf(stderr, "%s is missing: build the cli of the same preset\n", cli.c_str());
        std::exit(1);
    }
    return cli.string();
}

struct ChildOptions {
    std::string dir;     // working folder of the child, when not empty
    std::string input;   // file on its standard input (otherwise /dev/null)
    std::string output;  // file for its standard output (otherwise /dev/null); stderr goes to /dev/null

    static ChildOptions InFolder(std::string folder) {
        ChildOptions o;
        o.dir = std::move(folder);
        return o;
    }
    static ChildOptions WritingTo(std::string file) {
        ChildOptions o;
        o.output = std::move(file);
        return o;
    }
};

struct ChildRun {
    Timing time;         // from the fork to the child's end; CPU of the child and its children
    int status = -1;     // exit status, -1 when killed
    long maxRssKb = 0;   // peak resident memory
    uint64_t rchar = 0;  // bytes the child read through read() and its kind (/proc/PID/io)
};

// Runs argv (searched in PATH) in a child process and waits for its end.
inline ChildRun RunChild(const std::vector<std::string>& argv, const ChildOptions& options = {}) {
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    std::fflush(stdout);
    ChildRun run;
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid < 0) {
        std::perror("fork");
        std::exit(1);
    }
    if (pid == 0) {
        const int in = ::open(options.input.empty() ? "/dev/null" : options.input.c_str(), O_RDONLY);
        const int out = options.output.empty()
                            ? ::open("/dev/null", O_WRONLY)
                            : ::open(options.output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int null = ::open("/dev/null", O_WRONLY);
        if (in < 0 || out < 0 || null < 0) ::_exit(126);
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(null, 2);
        if (!options.dir.empty() && ::chdir(options.dir.c_str()) != 0) ::_exit(126);
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    // Waits without reaping, so that the child's I/O counts can still be read.
    siginfo_t info{};
    while (::waitid(P_PID, id_t(pid), &info, WEXITED | WNOWAIT) != 0) {
    }
    run.time.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::ifstream io("/proc/" + std::to_string(pid) + "/io");
    for (std::string key; io >> key;) {
        uint64_t value = 0;
        io >> value;
        if (key == "rchar:") run.rchar = value;
    }
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    run.time.cpu = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
    run.maxRssKb = usage.ru_maxrss;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// RunChild, and the end of the benchmark when the child fails.
inline ChildRun MustRun(const std::vector<std::string>& argv, const ChildOptions& options = {}) {
    const ChildRun run = RunChild(argv, options);
    if (run.status != 0) {
        std::string line;
        for (const auto& a : argv) line += a + " ";
        std::fprintf(stderr, "failed (status %d): %s\n", run.status, line.c_str());
        std::exit(1);
    }
    return run;
}

// Flushes a file just written to the disk, so that its pages can then be evicted.
inline void SyncFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

// Takes the file's pages out of the page cache (clean pages only; nothing else is touched), so
// that the next reader reads it from the disk.
inline void EvictFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) return;
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    ::close(fd);
}

inline void EvictFolder(const std::string& folder) {
    for (const auto& e : std::filesystem::recursive_directory_iterator(folder))
        if (e.is_regular_file()) EvictFile(e.path().string());
}

inline void SyncFolder(const std::string& folder) {
    for (const auto& e : std::filesystem::recursive_directory_iterator(folder))
        if (e.is_regular_file()) SyncFile(e.path().string());
}

// How two programs are set side by side: both as whole processes (start-up included), or both
// as the same work done inside this process.
enum class Scope { WholeProcess, InProcess };

inline const char* ScopeText(Scope scope) {
    return scope == Scope::WholeProcess ? "whole process vs whole process" : "in-process vs in-process";
}

struct Contender {
    std::string name;
    std::function<Timing()> run;
};

struct Figures {
    double medianWall = 0, minWall = 0, medianCpu = 0, minCpu = 0;
};

inline Figures Summarise(std::vector<Timing> runs) {
    const auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        const size_t n = v.size();
        return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
    };
    std::vector<double> wall, cpu;
    for (const Timing& t : runs) {
        wall.push_back(t.wall);
        cpu.push_back(t.cpu);
    }
    return {median(wall), *std::min_element(wall.begin(), wall.end()), median(cpu),
            *std::min_element(cpu.begin(), cpu.end())};
}

struct ContestOptions {
    int runs = 3;                  // timed runs of each contender, after one warm-up run each
    std::function<void()> before;  // before every run of every contender (removing outputs, evicting)
    std::string cache = "warm cache";
    double target = 0;  // printed beside the ratios when above 0
    double units = 0;   // frames, files... done by one run, for a rate
    std::string unit = "frames";
};

// Runs the first contender (ours) and each peer in turn, one warm-up run each and then
// `options.runs` alternated rounds; prints for each the median and minimum wall and CPU time, and
// for each peer the ratios peer / ours of the medians and of the minimums. Returns the figures in
// the contenders' order.
inline std::vector<Figures> Contest(const std::string& what, Scope scope,
                                    const std::vector<Contender>& contenders, const ContestOptions& options) {
    const auto once = [&](const Contender& c) {
        if (options.before) options.before();
        return c.run();
    };
    for (const Contender& c : contenders) once(c);
    std::vector<std::vector<Timing>> runs(contenders.size());
    for (int round = 0; round < options.runs; ++round)
        for (size_t i = 0; i < contenders.size(); ++i) runs[i].push_back(once(contenders[i]));
    std::vector<Figures> figures;
    for (const auto& r : runs) figures.push_back(Summarise(r));

    std::printf("%s\n  [%s, %s, %d runs each after one warm-up, alternated]\n", what.c_str(),
                ScopeText(scope), options.cache.c_str(), options.runs);
    size_t width = 0;
    for (const Contender& c : contenders) width = std::max(width, c.name.size());
    for (size_t i = 0; i < contenders.size(); ++i) {
        const Figures& f = figures[i];
        std::printf("  %-*s  wall median %7.3f s, min %7.3f s;  CPU median %7.3f s, min %7.3f s", int(width),
                    contenders[i].name.c_str(), f.medianWall, f.minWall, f.medianCpu, f.minCpu);
        if (options.units > 0)
            std::printf("  (%.0f %s/s)", options.units / f.medianWall, options.unit.c_str());
        std::printf("\n");
    }
    for (size_t i = 1; i < contenders.size(); ++i) {
        const Figures &ours = figures[0], &peer = figures[i];
        std::printf("  ratio %s / %s: wall %.2fx median, %.2fx min;  CPU %.2fx median, %.2fx min",
                    contenders[i].name.c_str(), contenders[0].name.c_str(), peer.medianWall / ours.medianWall,
                    peer.minWall / ours.minWall, peer.medianCpu / ours.medianCpu, peer.minCpu / ours.minCpu);
        if (options.target > 0) std::printf("  (target >= %.1fx)", options.target);
        std::printf("\n");
    }
    std::fflush(stdout);
    return figures;
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
