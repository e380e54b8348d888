// CreerScnByDate over a DV type 2 file of more than 1 GB, side by side in one run with the two
// programs a user would pick instead: `ffmpeg -i F -map 0:v -c copy -f null -` (reads every
// frame and does nothing with it) and dvgrab's split by recording date of the same frames as
// raw DV (`cat F.dv | dvgrab -stdin -autosplit -f raw`, which also writes the split files). Each contender
// runs in a child process from a warm cache; we report wall and CPU time, frames per second,
// the ratios and the child's peak resident memory. The scan also runs on a quarter-length file
// to show that its memory does not grow with the length.
//
//   bench_scene_commands [--cache DIR] [--frames N]
//
// The files are generated once into DIR (default $TMPDIR/velinor-bench-cache) by repeating
// real encoder frames with a recording clock that jumps every 250 frames.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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

namespace {

using namespace velinor;

constexpr int kSceneFrames = 250;

struct Figures {
    double wall = 0;  // s
    double cpu = 0;   // s, user + system
    long maxRssKb = 0;
    int status = -1;
};

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

// Runs argv in a child (stdin from `input` when given, stdout and stderr to /dev/null unless
// `keepOutput`) and measures it.
Figures Measure(const std::vector<std::string>& argv, const std::string& input = {},
                const std::string& dir = {}, bool keepOutput = false) {
    Figures f;
    const auto t0 = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (!input.empty()) {
            const int in = ::open(input.c_str(), O_RDONLY);
            ::dup2(in, 0);
        }
        if (!keepOutput) {
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 1);
            ::dup2(null, 2);
        }
        if (!dir.empty() && ::chdir(dir.c_str()) != 0) ::_exit(126);
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    int status = 0;
    struct rusage usage {};
    ::wait4(pid, &status, 0, &usage);
    f.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    f.cpu = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
            double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    f.maxRssKb = usage.ru_maxrss;
    f.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return f;
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

void Row(const char* name, const Figures& f, int frames, const Figures& reference) {
    std::printf("%-44s %8.3f %8.3f %10.0f %8.2fx %9ld\n", name, f.wall, f.cpu, frames / f.wall,
                reference.wall / f.wall, f.maxRssKb / 1024);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--scan-child") return ScanChild(argv[2]);
    const char* tmp = std::getenv("TMPDIR");
    std::string cacheDir = std::string(tmp && *tmp ? tmp : "/tmp") + "/velinor-bench-cache";
    int frames = 7'500;  // 7 500 x (144 000 + audio) bytes: about 1.09 GB
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::string(argv[i]) == "--cache") cacheDir = argv[i + 1];
        if (std::string(argv[i]) == "--frames") frames = std::atoi(argv[i + 1]);
    }
    std::filesystem::create_directories(cacheDir);
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    const int quarter = frames / 4;
    const std::string avi = cacheDir + "/scan_" + std::to_string(frames) + ".avi";
    const std::string raw = cacheDir + "/scan_" + std::to_string(frames) + ".dv";
    const std::string smallAvi = cacheDir + "/scan_" + std::to_string(quarter) + ".avi";
    const std::string smallRaw = cacheDir + "/scan_" + std::to_string(quarter) + ".dv";
    if (!Exists(avi) || !Exists(raw)) Generate(avi, raw, frames);
    if (!Exists(smallAvi) || !Exists(smallRaw)) Generate(smallAvi, smallRaw, quarter);
    std::printf("Fichier : %s, %.2f Go, %d images PAL, une scène toutes les %d images\n", avi.c_str(),
                double(std::filesystem::file_size(avi)) / 1e9, frames, kSceneFrames);

    // Warm the cache and each program once, untimed.
    WarmCache(avi);
    WarmCache(raw);
    WarmCache(smallAvi);
    Measure({self, "--scan-child", avi});

    const Figures ffmpeg =
        Measure({"ffmpeg", "-v", "error", "-i", avi, "-map", "0:v", "-c", "copy", "-f", "null", "-"});
    const std::string splitDir = cacheDir + "/dvgrab-out";
    std::filesystem::remove_all(splitDir);
    std::filesystem::create_directories(splitDir);
    // dvgrab reads raw DV only from a pipe.
    const Figures dvgrab =
        Measure({"sh", "-c", "cat '" + raw + "' | dvgrab -stdin -autosplit -f raw split_"}, {}, splitDir);
    size_t splitFiles = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(splitDir)) ++splitFiles;
    std::filesystem::remove_all(splitDir);

    // The scan's own timing (command only) comes back on the child's stdout.
    const auto scan = [&](const std::string& path, std::string& line) {
        const std::string out = cacheDir + "/scan.out";
        const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int saved = ::dup(1);
        std::fflush(stdout);
        ::dup2(fd, 1);
        const Figures f = Measure({self, "--scan-child", path}, {}, {}, true);
        std::fflush(stdout);
        ::dup2(saved, 1);
        ::close(saved);
        ::close(fd);
        std::FILE* in = std::fopen(out.c_str(), "r");
        char text[200] = {};
        if (in && std::fgets(text, sizeof text, in)) line = text;
        if (in) std::fclose(in);
        std::filesystem::remove(out);
        return f;
    };
    std::string scanLine, smallLine;
    const Figures velinor = scan(avi, scanLine);
    const Figures velinorSmall = scan(smallAvi, smallLine);

    std::printf("\n%-44s %8s %8s %10s %9s %9s\n", "", "mur (s)", "CPU (s)", "images/s", "/ffmpeg",
                "RSS (Mo)");
    Row("ffmpeg -map 0:v -c copy -f null", ffmpeg, frames, ffmpeg);
    Row("cat | dvgrab -stdin -autosplit -f raw", dvgrab, frames, ffmpeg);
    Row("velinor CreerScnByDate (processus entier)", velinor, frames, ffmpeg);
    Row("velinor CreerScnByDate, 1/4 de la longueur", velinorSmall, quarter, ffmpeg);
    unsigned scenes = 0;
    double commandSeconds = 0, commandCpu = 0;
    if (std::sscanf(scanLine.c_str(), "%u %lf %lf", &scenes, &commandSeconds, &commandCpu) == 3) {
        std::printf(
            "\nCommande seule : mur %.3f s (%.0f images/s, %.2fx ffmpeg), CPU %.3f s (%.2fx ffmpeg) ; "
            "%u scènes (attendu %d) ; dvgrab : %zu fichiers\n",
            commandSeconds, frames / commandSeconds, ffmpeg.wall / commandSeconds, commandCpu,
            ffmpeg.cpu / commandCpu, scenes, (frames + kSceneFrames - 1) / kSceneFrames, splitFiles);
    } else {
        std::printf("\nLe balayage a échoué (état %d)\n", velinor.status);
        return 1;
    }
    std::printf("États de sortie : ffmpeg %d, dvgrab %d, velinor %d\n", ffmpeg.status, dvgrab.status,
                velinor.status);
    return 0;
}
