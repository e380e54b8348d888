// The preview in the window, measured through the real widget path on Qt's offscreen platform:
// CPU time over played time while a PAL and an NTSC clip play in real time with the datecode
// drawn over the picture and the sound going to the machine's output (when it has one), side by
// side with ffmpeg playing the same file in real time through drawtext. Both shares are those of
// a whole process while it plays, its start-up left out; ffmpeg writes to its null output, so it
// neither shows the pictures nor plays the sound, work that is in our share. Also the time a seek and
// a one-frame step take to put their picture in the video window, the time an opening takes,
// and the resident memory before and after playback.
//
//   bench_preview [seconds per run, default 8] [runs, default 3]
// The rows marked * move the overlay every 100 ms while the clip plays, as dragging it does.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "actions/actions.h"
#include "commands/command_set.h"
#include "support/avi_fixtures.h"
#include "support/dv_clip_file.h"
#include "support/temp_dir.h"
#include "ui/kit/qt_dispatcher.h"
#include "ui/preview/audio_output.h"
#include "ui/preview/video_window.h"
#include "ui/preview/vue_frame.h"
#include "ui/window/main_window.h"

namespace velinor {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

double CpuSeconds(const rusage& u) {
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double SelfCpu() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return CpuSeconds(u);
}

long ResidentKiB() {
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// Runs the event loop until `done` answers true or `limit` seconds passed, asking every `poll`
// milliseconds; the loop sleeps in between, as the program's own does.
void Pump(const std::function<bool()>& done, double limit, int poll = 1) {
    const auto end =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(limit));
    if (done()) return;
    QEventLoop loop;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (done() || Clock::now() >= end) loop.quit();
    });
    timer.start(poll);
    loop.exec();
}

struct PlayRun {
    double cpuShare = 0;  // CPU seconds over played seconds
    double openMs = 0;
    double seekMs = 0;
    double stepMs = 0;
    int64_t shown = 0;
    int64_t dropped = 0;
    long rssBeforeKiB = 0;
    long rssAfterKiB = 0;
    bool sound = false;
    // The picture on screen against the graph's clock (the sound card's while the sound plays):
    // its stream time minus the clock's time since playback started, smallest and largest.
    double driftMinMs = 0;
    double driftMaxMs = 0;
    int64_t positionAfter = 0;
};

// `moving`: the overlay's anchor moves every 100 ms while the clip plays, as a drag does.
PlayRun PlayInTheWindow(const std::string& clip, double seconds, const fs::path& scratch, bool moving) {
    PlayRun run;
    QtUiDispatcher ui;
    TCommandSet set(ui, [](const std::function<bool()>& done) { QtUiDispatcher::PumpUntil(done); });
    TUIForm window(set, {scratch / "config", scratch / "program", (scratch / "program" / "v").string()},
                   {clip});
    window.ChooseMode = [](const std::string&) { return TSavePreferences::spRegistre; };
    window.resize(1000, 760);
    window.show();
    window.Activate();
    TVueFrame& vue = window.VueFrame();
    Pump([&] { return window.Preview().Opened && vue.vw().FramesShown() > 0; }, 30);

    // The datecode drawn over the picture.
    if (auto* shown = dynamic_cast<TCheckAction*>(window.Action("caAfficherIncrustation")))
        shown->SetChecked(true);

    // An opening into the preview, timed on its own.
    auto t0 = Clock::now();
    vue.OpenActive();
    run.openMs = Seconds(Clock::now() - t0) * 1e3;
    run.sound = window.Preview().AudioRendered;

    // A seek, then a one-frame step: until the video window holds that picture.
    const auto pictureAt = [&](int64_t frame) {
        return [&, frame] {
            vue.vw().TakeNewest();
            return vue.vw().CurrentFrame() && vue.vw().CurrentFrame()->frameNumber == frame;
        };
    };
    t0 = Clock::now();
    window.Preview().SeekTo(100);
    Pump(pictureAt(100), 5);
    run.seekMs = Seconds(Clock::now() - t0) * 1e3;
    t0 = Clock::now();
    window.Action("naAvanceFrame")->Execute();
    Pump(pictureAt(101), 5);
    run.stepMs = Seconds(Clock::now() - t0) * 1e3;
    window.Preview().SeekTo(0);
    // The pauses above post their "paused" messages; they go before playback starts.
    Pump([] { return false; }, 0.3, 10);

    auto& play = dynamic_cast<TCheckAction&>(*window.Action("caPlayPause"));
    run.rssBeforeKiB = ResidentKiB();
    const int64_t shownBefore = vue.vw().FramesShown();
    const int64_t droppedBefore = vue.vw().FramesDropped();
    const double cpu0 = SelfCpu();
    const std::shared_ptr<graph::Clock> clock = window.Preview().Graph().clock();
    const int64_t frameDuration = window.Preview().Graph().frameDuration();
    t0 = Clock::now();
    play.SetChecked(true);
    // From the first picture of the run on: the clock and the picture it is compared with.
    // The first second after the picture starts moving is left out: the sound output is still
    // filling its buffers then.
    int64_t clock0 = -1, frame0 = 0;
    bool steady = false;
    double lo = 0, hi = 0;
    // The CPU share is taken from there on too, as on ffmpeg's side.
    double cpuSteady = cpu0;
    auto tSteady = t0;
    auto* anchorX = dynamic_cast<TIntegerAction*>(window.Action("iaIncrustX"));
    int step = 0;
    Pump(
        [&] {
            if (moving && anchorX) anchorX->SetValue(++step % 2 ? 300 : 700);
            if (!clock || frameDuration <= 0) return false;
            vue.vw().TakeNewest();
            const auto& frame = vue.vw().CurrentFrame();
            if (!frame) return false;
            const int64_t now = clock->now();
            if (clock0 < 0) {
                if (frame->frameNumber == 0) return false;  // still the paused picture
                clock0 = now;
                frame0 = frame->frameNumber;
                return false;
            }
            if (!steady && now - clock0 >= 10'000'000) {
                // Measured from here on, against the offset the picture has once moving.
                steady = true;
                cpuSteady = SelfCpu();
                tSteady = Clock::now();
                clock0 = now;
                frame0 = frame->frameNumber;
                return false;
            }
            if (!steady) return false;
            const double drift = double((frame->frameNumber - frame0) * frameDuration - (now - clock0)) / 1e4;
            lo = std::min(lo, drift);
            hi = std::max(hi, drift);
            return false;
        },
        seconds, 100);
    run.positionAfter = window.Preview().CurrentPosition();
    run.driftMinMs = lo;
    run.driftMaxMs = hi;
    const double played = Seconds(Clock::now() - tSteady);
    const double cpu = SelfCpu() - cpuSteady;
    play.SetChecked(false);
    run.rssAfterKiB = ResidentKiB();
    run.cpuShare = cpu / played;
    run.shown = vue.vw().FramesShown() - shownBefore;
    run.dropped = vue.vw().FramesDropped() - droppedBefore;
    window.close();
    return run;
}

// CPU seconds a child process has used so far, from /proc; -1 when it cannot be read.
double ChildCpu(pid_t pid) {
    const std::string path = "/proc/" + std::to_string(pid) + "/stat";
    FILE* f = std::fopen(path.c_str(), "r");
    if (!f) return -1;
    char text[1024] = "";
    const size_t n = std::fread(text, 1, sizeof text - 1, f);
    std::fclose(f);
    text[n] = 0;
    // Fields 14 and 15 (utime, stime) come after the command name, which closes with the last ')'.
    const char* rest = std::strrchr(text, ')');
    unsigned long long utime = 0, stime = 0;
    if (!rest ||
        std::sscanf(rest + 1, " %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &utime, &stime) != 2)
        return -1;
    return double(utime + stime) / double(sysconf(_SC_CLK_TCK));
}

// ffmpeg reading the file in real time, decoding it and drawing a text on every picture: its
// CPU time over wall time in the `seconds` after its first second, so that, as on our side, the
// start-up is left out and the share is that of a whole process while it plays.
double FfmpegCpuShare(const std::string& clip, double seconds) {
    const std::string font = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
    const std::string filter =
        "drawtext=fontfile=" + font +
        ":text='%{pts\\:hms}':x=w-tw-20:y=h-th-20:fontsize=28:fontcolor=white:borderw=2";
    const std::string duration = std::to_string(seconds + 1.5);
    const pid_t pid = fork();
    if (pid == 0) {
        execlp("ffmpeg", "ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error", "-re", "-t",
               duration.c_str(), "-i", clip.c_str(), "-vf", filter.c_str(), "-f", "null", "-",
               static_cast<char*>(nullptr));
        _exit(127);
    }
    if (pid < 0) return -1;
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const double cpu0 = ChildCpu(pid);
    const auto t0 = Clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const double cpu1 = ChildCpu(pid);
    const double wall = Seconds(Clock::now() - t0);
    int status = 0;
    if (waitpid(pid, &status, 0) < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0 || cpu0 < 0 ||
        cpu1 < 0)
        return -1;
    return (cpu1 - cpu0) / wall;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

double Min(const std::vector<double>& v) {
    return v.empty() ? 0 : *std::min_element(v.begin(), v.end());
}

}  // namespace
}  // namespace velinor

int main(int argc, char** argv) {
    using namespace velinor;
    const double seconds = argc > 1 ? std::max(1.0, std::atof(argv[1])) : 8.0;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    test::TempDir dir;
    const bool ffmpeg = test::HaveProgram("ffmpeg");

    std::printf("Lecture en temps réel de %.0f s, %d passes ; part d'un cœur = temps CPU / temps joué\n",
                seconds, runs);
    std::printf("%-5s %8s %8s %10s %10s %9s %8s %7s %9s %13s %4s %s\n", "clip", "médiane", "min",
                "ffmpeg méd", "ffmpeg min", "ouvrir ms", "seek ms", "pas ms", "images", "RSS KiB", "son",
                "image-horloge ms");
    for (const auto& [is525, moving] :
         {std::pair{false, false}, {true, false}, {false, true}, {true, true}}) {
        const double fps = is525 ? 30000.0 / 1001 : 25.0;
        const std::string clip = (dir.path() / (is525 ? "ntsc.avi" : "pal.avi")).string();
        if (!fs::exists(clip))
            test::WriteDvClip(clip, {2011, 7, 14, 9, 30, 0}, int(fps * (seconds + 3)), is525);
        std::vector<double> ours, theirs, open, seek, step;
        PlayRun last;
        for (int i = 0; i < runs; ++i) {
            const fs::path scratch =
                dir.path() / ("run" + std::to_string(i) + (is525 ? "n" : "p") + (moving ? "m" : ""));
            last = PlayInTheWindow(clip, seconds, scratch, moving);
            ours.push_back(last.cpuShare);
            open.push_back(last.openMs);
            seek.push_back(last.seekMs);
            step.push_back(last.stepMs);
            if (ffmpeg) theirs.push_back(FfmpegCpuShare(clip, seconds));
        }
        std::printf(
            "%-5s %7.1f%% %7.1f%% %9.1f%% %9.1f%% %9.1f %8.1f %7.1f %4lld/%-4lld %6ld→%-6ld %4s %+.1f..%+.1f "
            "(image %lld)\n",
            moving ? (is525 ? "NTSC*" : "PAL*") : (is525 ? "NTSC" : "PAL"), Median(ours) * 100,
            Min(ours) * 100, Median(theirs) * 100, Min(theirs) * 100, Median(open), Median(seek),
            Median(step), static_cast<long long>(last.shown), static_cast<long long>(last.dropped),
            last.rssBeforeKiB, last.rssAfterKiB, last.sound ? "oui" : "non", last.driftMinMs, last.driftMaxMs,
            static_cast<long long>(last.positionAfter));
        if (ffmpeg && Median(ours) > 0)
            std::printf(
                "       rapport ffmpeg / Velinor (CPU par seconde jouée, processus entier contre processus "
                "entier, démarrage exclu) : médiane %.2f×, min %.2f×\n",
                Median(theirs) / Median(ours), Min(theirs) / Min(ours));
    }
    std::printf("* : l'incrustation change de place toutes les 100 ms pendant la lecture\n");
    return 0;
}
