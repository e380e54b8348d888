// CreerScnByDate over a DV type 2 file of more than 1 GB, whole process vs whole process, side by
// side with the two programs a user would pick instead: `ffmpeg -i F -map 0:v -c copy -f null -`
// (reads every frame and does nothing with it) and dvgrab's split by recording date of the same
// frames as raw DV (`cat F.dv | dvgrab -stdin -autosplit -f raw`, which also writes the split
// files). Each contender runs in a child process from a warm cache, one warm-up run and then
// alternated rounds; we report the median and minimum wall and CPU time, frames per second, the
// ratios (their time / ours) and the child's peak resident memory. The scan and ffmpeg also run
// on a quarter-length file, set against each other there, to show that the scan's memory does
// not grow with the length. The command's own time inside its process is printed apart, with no
// ratio: no peer's figure is measured that way.
//
//   bench_scene_commands [--cache DIR] [--frames N] [--runs N]
//
// The files are generated once into DIR (default $TMPDIR/velinor-bench-cache) by repeating
// real encoder frames with a recording clock that jumps every 250 frames.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "commands/scene_commands.h"
#include "filelist/avi_fichier.h"
#include "filelist/fichier_list.h"
#include "filelist/list_model.h"
#include "graph/dv_frame_maker.h"
#include "media/avi_writer.h"
#include "media/dvcodes.h"
#include "platform/event_loop_dispatcher.h"
#include "support/avi_fixtures.h"

#include "bench_support.h"

namespace {

using namespace velinor;

constexpr int kSceneFrames = 250;

bool Exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

// Writes `frames` PAL frames as a type 2 AVI and as raw DV: FFmpeg's DV frames (which dvgrab
// takes as a normal-speed recording) repeated, with a recording clock that jumps an hour every
// kSceneFrames frames written into them by our pack writer.
void Generate(const std::string& avi, const std::string& raw, int frames) {
    std::fprintf(stderr, "Génération de %s (%d images)...\n", avi.c_str(), frames);
    const auto base = test::EncodeDvFrames(kSceneFrames, true);
    if (base.empty()) throw std::runtime_error("ffmpeg is needed to make the frames");
    AviWriterSettings s;
    s.Type = AviWriterSettings::Kind::DvType2;
    s.ReplaceExisting = true;
    s.DvInfoBlock = DvInfoFromFrame(base.front());
    const DatecodeFields start{2024, 5, 1, 10, 0, 0};
    const std::string rawTemp = raw + ".part";
    std::FILE* out = std::fopen(rawTemp.c_str(), "wb");
    if (!out) throw std::runtime_error("cannot write " + raw);
    {
        AviWriter writer(avi, s);
        const std::vector<uint8_t> silence(48'000 / 25 * 4, 0);
        std::vector<uint8_t> frame;
        for (int i = 0; i < frames; ++i) {
            frame = base[size_t(i) % base.size()];
            WriteDatecode(frame, 12,
                          AddSeconds(start, int64_t(i / kSceneFrames) * 3600 + (i % kSceneFrames) / 25));
            writer.WriteVideo(frame);
            writer.WriteAudio(silence);
            if (std::fwrite(frame.data(), 1, frame.size(), out) != frame.size())
                throw std::runtime_error("cannot write " + raw);
        }
        writer.Finish();
    }
    if (std::fclose(out) != 0) throw std::runtime_error("cannot write " + raw);
    std::filesystem::rename(rawTemp, raw);
}

void WarmCache(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) return;
    std::vector<char> buffer(size_t{1} << 20);
    while (::read(fd, buffer.data(), buffer.size()) > 0) {
    }
    ::close(fd);
}

// The child's side: opens the file into a list and runs CreerScnByDate on it through the engine,
// timing the command only. Prints "scenes wall-seconds cpu-seconds".
int ScanChild(const std::string& path) {
    EventLoopDispatcher ui;
    TFichierList cache([](const std::string& p) { return std::make_unique<TAfficherFichier>(p); });
    TFichierListModel list(ui, [&ui](const std::function<bool()>& done) { ui.RunUntil(done); });
    list.SetCache(&cache);
    list.OpenPaths({path});
    ui.RunUntil([&list] { return !list.Busy(); });
    ui.RunPending();
    list.SelectAllFichiers(true);
    TCommandEngine engine(ui);
    engine.SourceFichierListbox = &list;
    engine.DestFichierListbox = &list;
    TdmScene dm(SharedOverlayTextSettings());
    std::filesystem::remove(std::filesystem::path(path).replace_extension(".scn"));  // no overwrite question
    struct rusage before {};
    ::getrusage(RUSAGE_SELF, &before);
    const auto t0 = std::chrono::steady_clock::now();
    if (!engine.ExecuteCommand(dm.CreerScnByDate)) return 2;
    ui.RunUntil([&engine] { return !engine.Running(); });
    ui.RunPending();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    struct rusage after {};
    ::getrusage(RUSAGE_SELF, &after);
    const auto cpu = [](const struct rusage& u) {
        return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
               double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
    };
    std::printf("%u %.4f %.4f\n", dm.ScenesWritten(), seconds, cpu(after) - cpu(before));
    return engine.Failures() == 0 ? 0 : 4;
}

struct Runs {
    explicit Runs(std::string title) : name(std::move(title)) {}
    std::string name;
    std::vector<bench::Timing> times;
    long maxRssKb = 0;
    int status = 0;
    bench::Figures figures() const { return bench::Summarise(times); }
    void add(const bench::ChildRun& run) {
        times.push_back(run.time);
        maxRssKb = std::max(maxRssKb, run.maxRssKb);
        if (run.status != 0) status = run.status;
    }
};

void Row(const Runs& r, int frames) {
    const bench::Figures f = r.figures();
    std::printf("%-44s %8.3f %8.3f %8.3f %8.3f %10.0f %9ld\n", r.name.c_str(), f.medianWall, f.minWall,
                f.medianCpu, f.minCpu, frames / f.medianWall, r.maxRssKb / 1024);
}

void Ratio(const Runs& peer, const Runs& ours, const char* length) {
    const bench::Figures p = peer.figures(), o = ours.figures();
    std::printf("ratio %s / %s (%s, %s) : mur %.2fx médiane, %.2fx min ; CPU %.2fx médiane, %.2fx min\n",
                peer.name.c_str(), ours.name.c_str(), bench::ScopeText(bench::Scope::WholeProcess), length,
                p.medianWall / o.medianWall, p.minWall / o.minWall, p.medianCpu / o.medianCpu,
                p.minCpu / o.minCpu);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--scan-child") return ScanChild(argv[2]);
    const char* tmp = std::getenv("TMPDIR");
    std::string cacheDir = std::string(tmp && *tmp ? tmp : "/tmp") + "/velinor-bench-cache";
    int frames = 7'500;  // 7 500 x (144 000 + audio) bytes: about 1.09 GB
    int rounds = 3;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::string(argv[i]) == "--cache") cacheDir = argv[i + 1];
        if (std::string(argv[i]) == "--frames") frames = std::atoi(argv[i + 1]);
        if (std::string(argv[i]) == "--runs") rounds = std::max(3, std::atoi(argv[i + 1]));
    }
    std::filesystem::create_directories(cacheDir);
    const std::string self = bench::SelfPath();
    const int quarter = frames / 4;
    const std::string avi = cacheDir + "/scan_" + std::to_string(frames) + ".avi";
    const std::string raw = cacheDir + "/scan_" + std::to_string(frames) + ".dv";
    const std::string smallAvi = cacheDir + "/scan_" + std::to_string(quarter) + ".avi";
    const std::string smallRaw = cacheDir + "/scan_" + std::to_string(quarter) + ".dv";
    if (!Exists(avi) || !Exists(raw)) Generate(avi, raw, frames);
    if (!Exists(smallAvi) || !Exists(smallRaw)) Generate(smallAvi, smallRaw, quarter);
    std::printf("Fichier : %s, %.2f Go, %d images PAL, une scène toutes les %d images\n", avi.c_str(),
                double(std::filesystem::file_size(avi)) / 1e9, frames, kSceneFrames);

    WarmCache(avi);
    WarmCache(raw);
    WarmCache(smallAvi);

    const auto ffmpegOn = [](const std::string& path) {
        return bench::RunChild({"ffmpeg", "-v", "error", "-nostdin", "-i", path, "-map", "0:v", "-c", "copy",
                                "-f", "null", "-"});
    };
    const std::string splitDir = cacheDir + "/dvgrab-out";
    size_t splitFiles = 0;
    const auto dvgrab = [&] {
        std::filesystem::remove_all(splitDir);
        std::filesystem::create_directories(splitDir);
        // dvgrab reads raw DV only from a pipe.
        const bench::ChildRun run =
            bench::RunChild({"sh", "-c", "cat '" + raw + "' | dvgrab -stdin -autosplit -f raw split_"},
                            bench::ChildOptions::InFolder(splitDir));
        splitFiles = 0;
        for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(splitDir)) ++splitFiles;
        std::filesystem::remove_all(splitDir);
        return run;
    };
    // The scan's own timing (command only) comes back on the child's stdout.
    const std::string scanOut = cacheDir + "/scan.out";
    const auto scan = [&](const std::string& path, std::string& line) {
        const bench::ChildRun run =
            bench::RunChild({self, "--scan-child", path}, bench::ChildOptions::WritingTo(scanOut));
        std::FILE* in = std::fopen(scanOut.c_str(), "r");
        char text[200] = {};
        if (in && std::fgets(text, sizeof text, in)) line = text;
        if (in) std::fclose(in);
        std::filesystem::remove(scanOut);
        return run;
    };

    Runs ffmpeg{"ffmpeg -map 0:v -c copy -f null"}, grab{"cat | dvgrab -stdin -autosplit -f raw"},
        velinor{"velinor CreerScnByDate"}, ffmpegSmall{"ffmpeg, 1/4 de la longueur"},
        velinorSmall{"velinor CreerScnByDate, 1/4 de la longueur"};
    std::string scanLine, smallLine;
    // One warm-up run each, untimed, then alternated rounds.
    ffmpegOn(avi);
    dvgrab();
    scan(avi, scanLine);
    ffmpegOn(smallAvi);
    scan(smallAvi, smallLine);
    std::vector<double> commandSeconds, commandCpu;
    unsigned scenes = 0;
    for (int round = 0; round < rounds; ++round) {
        ffmpeg.add(ffmpegOn(avi));
        grab.add(dvgrab());
        velinor.add(scan(avi, scanLine));
        ffmpegSmall.add(ffmpegOn(smallAvi));
        velinorSmall.add(scan(smallAvi, smallLine));
        double seconds = 0, cpu = 0;
        if (std::sscanf(scanLine.c_str(), "%u %lf %lf", &scenes, &seconds, &cpu) != 3) {
            std::printf("\nLe balayage a échoué (état %d)\n", velinor.status);
            return 1;
        }
        commandSeconds.push_back(seconds);
        commandCpu.push_back(cpu);
    }

    std::printf("\n%d passages chacun après un passage de chauffe, en alternance ; processus entiers\n",
                rounds);
    std::printf("%-44s %8s %8s %8s %8s %10s %9s\n", "", "mur méd", "mur min", "CPU méd", "CPU min",
                "images/s", "RSS (Mo)");
    Row(ffmpeg, frames);
    Row(grab, frames);
    Row(velinor, frames);
    Row(ffmpegSmall, quarter);
    Row(velinorSmall, quarter);
    std::printf("\n");
    Ratio(ffmpeg, velinor, "longueur entière");
    Ratio(grab, velinor, "longueur entière");
    Ratio(ffmpegSmall, velinorSmall, "1/4 de la longueur");
    std::sort(commandSeconds.begin(), commandSeconds.end());
    std::sort(commandCpu.begin(), commandCpu.end());
    std::printf(
        "\nCommande seule, dans son processus (sans comparaison) : mur médian %.3f s (%.0f images/s), "
        "CPU médian %.3f s ; %u scènes (attendu %d) ; dvgrab : %zu fichiers\n",
        commandSeconds[commandSeconds.size() / 2], frames / commandSeconds[commandSeconds.size() / 2],
        commandCpu[commandCpu.size() / 2], scenes, (frames + kSceneFrames - 1) / kSceneFrames, splitFiles);
    std::printf("États de sortie : ffmpeg %d, dvgrab %d, velinor %d\n", ffmpeg.status, grab.status,
                velinor.status);
    return 0;
}
