// Opening a folder of 200 DV AVI files into the list (records built, as the window does), side by
// side with `ffprobe` run on each file and `mediainfo` run on the folder, from a warm cache.
// Prints records per second and the ratios. Usage: bench_open_folder [FOLDER]. Without FOLDER,
// the files are made once in the temporary folder (half type 1, half type 2, 25 frames each).
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "filelist/avi_fichier.h"
#include "filelist/list_model.h"
#include "media/avi_writer.h"
#include "platform/event_loop_dispatcher.h"
#include "support/dv_builder.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kFiles = 200;

std::string MakeFolder() {
    const auto dir = std::filesystem::temp_directory_path() / "velinor-bench-open";
    const auto last = dir / "clip199.avi";
    if (std::filesystem::exists(last)) return dir.string();
    std::filesystem::create_directories(dir);
    velinor::DvClip clip;
    clip.scenes = {velinor::DvScene{25, velinor::DatecodeFields{2024, 5, 1, 10, 0, 0}, 0}};
    clip.timecode = velinor::Timecode{0, 0, 0, 0};
    clip.audio = velinor::AudioInfo{48'000, 2, 16};
    const auto frames = velinor::test::BuildDvStream(clip);
    const std::vector<uint8_t> pcm(7680, 0);
    for (int i = 0; i < kFiles; ++i) {
        velinor::AviWriterSettings s;
        const bool type1 = i % 2 == 0;
        s.Type =
            type1 ? velinor::AviWriterSettings::Kind::DvType1 : velinor::AviWriterSettings::Kind::DvType2;
        s.DvInfoBlock = velinor::DvInfoFromFrame(frames.front());
        s.ReplaceExisting = true;
        velinor::AviWriter w((dir / ("clip" + std::to_string(i) + ".avi")).string(), s);
        for (const auto& f : frames) {
            w.WriteVideo(f);
            if (!type1) w.WriteAudio(pcm);
        }
        w.Finish();
    }
    return dir.string();
}

// Opens the folder into a fresh list and cache: every record is built.
double OpenFolder(const std::string& folder, int& count) {
    const auto start = Clock::now();
    velinor::EventLoopDispatcher ui;
    velinor::TFichierList cache(
        [](const std::string& p) { return std::make_unique<velinor::TaviFichier>(p); });
    velinor::TFichierListModel list(ui, [&ui](const std::function<bool()>& done) { ui.RunUntil(done); });
    list.SetCache(&cache);
    list.OnOpenTestExtension = [](const std::string& ext) { return ext == ".avi"; };
    list.OpenFolderTree(folder);
    ui.RunUntil([&list] { return !list.Busy(); });
    count = list.Count();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// CPU seconds (user + system) used so far by this process or by its finished children.
double CpuSeconds(int who) {
    rusage u{};
    getrusage(who, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double Timed(const std::string& command) {
    const auto start = Clock::now();
    if (std::system(command.c_str()) != 0) return -1;
    return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    const std::string folder = argc > 1 ? argv[1] : MakeFolder();
    int count = 0;
    OpenFolder(folder, count);  // warms the page cache
    std::vector<double> runs;
    const double cpuBefore = CpuSeconds(RUSAGE_SELF);
    for (int i = 0; i < 5; ++i) runs.push_back(OpenFolder(folder, count));
    const double oursCpu = (CpuSeconds(RUSAGE_SELF) - cpuBefore) / 5;
    std::sort(runs.begin(), runs.end());
    const double ours = runs[runs.size() / 2];
    std::printf("velinor: %d records in %.3f s (median of 5): %.0f records/s, %.2f ms per file\n", count,
                ours, count / ours, 1000 * ours / count);

    std::vector<std::string> files;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        if (e.path().extension() == ".avi") files.push_back(e.path().string());
    // ffprobe starts a whole program per file: a sample of the files gives its per-file time.
    std::sort(files.begin(), files.end());
    if (files.size() > 20) files.resize(20);
    std::string probeAll;
    for (const auto& f : files)
        probeAll += "ffprobe -v error -show_format -show_streams '" + f + "' >/dev/null && ";
    probeAll += "true";
    Timed(probeAll);  // warm
    const double childBefore = CpuSeconds(RUSAGE_CHILDREN);
    const double ffprobe = Timed(probeAll);
    const double ffprobeCpu = CpuSeconds(RUSAGE_CHILDREN) - childBefore;
    if (ffprobe > 0)
        std::printf(
            "ffprobe per file: %zu files in %.3f s: %.0f files/s, %.2f ms per file; velinor is %.1fx "
            "faster\n",
            files.size(), ffprobe, files.size() / ffprobe, 1000 * ffprobe / files.size(),
            (ffprobe / files.size()) / (ours / count));
    else
        std::printf("ffprobe: not available\n");
    // On a shared machine the wall times include waiting for a core; CPU time does not.
    if (ffprobe > 0)
        std::printf("CPU time per file: velinor %.3f ms, ffprobe %.2f ms: velinor is %.1fx faster\n",
                    1000 * oursCpu / count, 1000 * ffprobeCpu / files.size(),
                    (ffprobeCpu / files.size()) / (oursCpu / count));

    const std::string mi = "mediainfo '" + folder + "' >/dev/null 2>&1";
    Timed(mi);
    const double mediainfo = Timed(mi);
    if (mediainfo > 0)
        std::printf("mediainfo on the folder: %.3f s: %.0f files/s; velinor is %.1fx faster\n", mediainfo,
                    count / mediainfo, mediainfo / ours);
    else
        std::printf("mediainfo: not available\n");
    return 0;
}
