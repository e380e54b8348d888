// Opening a folder of 200 DV AVI files, whole process vs whole process: `velinor-cli info FOLDER
// --json` (every file's record built, as the window's list builds them) side by side with
// `ffprobe -show_format -show_streams` run once per file, as a user would script it, and with
// `mediainfo FOLDER`. Each contender runs from a warm cache, then from a cold one (the pages of
// every file of the folder evicted before each run of each contender). Prints the median and the
// minimum wall and CPU time of each and the ratios (their time / ours).
// Usage: bench_open_folder [FOLDER]. Without FOLDER, the files are made once in the temporary
// folder (half type 1, half type 2, 25 frames each).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "media/avi_writer.h"
#include "support/dv_builder.h"

#include "bench_support.h"

namespace {

using namespace velinor::bench;
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
    SyncFolder(dir.string());  // written pages are not evicted until they are on the disk
    return dir.string();
}

// The records velinor-cli lists for the folder: one JSON line per file, each with its frames.
int CountRecords(const std::string& cli, const std::string& folder) {
    const std::string out = std::filesystem::temp_directory_path() / "velinor-bench-open.json";
    MustRun({cli, "info", folder, "--json"}, ChildOptions::WritingTo(out));
    std::FILE* in = std::fopen(out.c_str(), "r");
    int records = 0;
    char line[8192];
    while (in && std::fgets(line, sizeof line, in))
        if (std::string(line).find("\"FrameCount\":25") != std::string::npos) ++records;
    if (in) std::fclose(in);
    std::filesystem::remove(out);
    return records;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string folder = argc > 1 ? argv[1] : MakeFolder();
    const std::string cli = VelinorCli();
    std::vector<std::string> files;
    for (const auto& e : std::filesystem::recursive_directory_iterator(folder))
        if (e.is_regular_file() && e.path().extension() == ".avi") files.push_back(e.path().string());
    std::sort(files.begin(), files.end());
    const int records = CountRecords(cli, folder);
    std::printf("folder: %s, %zu .avi files; velinor-cli info lists %d records of 25 frames\n",
                folder.c_str(), files.size(), records);
    if (argc <= 1 && records != int(files.size())) {
        std::fprintf(stderr, "velinor-cli info did not build a record for every file\n");
        return 1;
    }

    std::vector<Contender> contenders{{"velinor-cli info --json", [&] {
                                           return MustRun({cli, "info", folder, "--json"}).time;
                                       }}};
    if (std::system("command -v ffprobe >/dev/null 2>&1") == 0)
        contenders.push_back(
            {"ffprobe per file", [&] {
                 Timing sum{0, 0};
                 for (const auto& f : files) {
                     const Timing t =
                         MustRun({"ffprobe", "-v", "error", "-show_format", "-show_streams", f}).time;
                     sum.wall += t.wall;
                     sum.cpu += t.cpu;
                 }
                 return sum;
             }});
    else
        std::printf("ffprobe: not installed, no comparison\n");
    if (std::system("command -v mediainfo >/dev/null 2>&1") == 0)
        contenders.push_back({"mediainfo FOLDER", [&] { return MustRun({"mediainfo", folder}).time; }});
    else
        std::printf("mediainfo: not installed, no comparison\n");

    ContestOptions warm;
    warm.units = double(files.size());
    warm.unit = "files";
    Contest("opening the folder", Scope::WholeProcess, contenders, warm);
    ContestOptions cold = warm;
    cold.cache = "cold cache (the folder's files evicted before each run)";
    cold.before = [&] { EvictFolder(folder); };
    Contest("opening the folder", Scope::WholeProcess, contenders, cold);
    return 0;
}
