// The conversions a user runs on whole files, whole process vs whole process: `velinor-cli run
// COMMANDE --yes-all FILE` side by side with the outside program doing the same job, each run
// writing a fresh file (each side's output is removed before each of its runs), from a warm cache:
//   ConvertirNTSC (PAL to NTSC)                  vs  ffmpeg -i F -target ntsc-dv OUT.dv
//       on the short PAL clip and on the big file
//   ConvertirPal (NTSC to PAL)                   vs  ffmpeg -i F -target pal-dv OUT.dv, short NTSC clip
//   ExtraireAudio (the sound as a WAV file)      vs  ffmpeg -i F -map 0:a -c pcm_s16le OUT.wav, big
//       file; with the bytes each program read (rchar of /proc/PID/io)
//   Incruster (burn the datecode in, re-encode)  vs  ffmpeg -vf drawtext,drawtext -c:v dvvideo -c:a copy
//       on the short clip of flat test pictures, and on one with the grain of camera pictures
//   ConvertirDV1 (type 2 to type 1)              vs  dvgrab -f dv1 (the same frames as raw DV)
// Prints the median and minimum wall and CPU times of each and the ratios (their time / ours).
// The short clips (125 frames, a new recording every 100 frames, 48 kHz stereo sound) are made in
// the temporary folder; the big file (type 2 OpenDML, 7 600 frames of FFmpeg-encoded pictures,
// over 1 GB, dated, with a tone) once into DIR (default $TMPDIR/velinor-bench-cache).
// Usage: bench_conversions [--frames N] [--cache DIR] [--runs N] [--no-big] [--only WORD]
// (--only: the rows whose title holds WORD, e.g. ConvertirNTSC)
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "media/avi_writer.h"
#include "media/dif_audio.h"
#include "media/dvcodes.h"
#include "support/avi_fixtures.h"
#include "support/dv_builder.h"

#include "bench_support.h"

namespace {

namespace fs = std::filesystem;
using namespace velinor;
using namespace velinor::bench;

// Stereo 16-bit sound for frame `index`, whose first sample is sample `first` of the clip: two
// tones, never silent.
std::vector<int16_t> FrameSound(bool is525, int64_t index, int64_t first) {
    const int32_t samples = DifAudioSequencer::SamplesForFrame(is525, 48'000, index);
    std::vector<int16_t> pcm(size_t(samples) * 2);
    for (int32_t s = 0; s < samples; ++s) {
        const double t = double(first + s) / 48'000;
        pcm[size_t(s) * 2] = int16_t(8000 * std::sin(2 * M_PI * 440 * t));
        pcm[size_t(s) * 2 + 1] = int16_t(6000 * std::sin(2 * M_PI * 660 * t));
    }
    return pcm;
}

AviWriterSettings Type2Settings(bool is525) {
    AviWriterSettings s;
    s.Type = AviWriterSettings::Kind::DvType2;
    if (is525) {
        s.Rate = 30'000;
        s.Scale = 1'001;
        s.Height = 480;
    }
    return s;
}

// Writes the frames as a type 2 AVI with the same sound in the DV frames and in the audio stream
// (and as raw DV when `raw` is given), through a temporary name.
void WriteClip(const std::string& avi, const std::string& raw, bool is525,
               const std::function<std::vector<uint8_t>(int)>& frameAt, int frames) {
    const std::string part = avi + ".part";
    std::FILE* rawFile = raw.empty() ? nullptr : std::fopen((raw + ".part").c_str(), "wb");
    {
        AviWriter writer(part, Type2Settings(is525));
        int64_t sample = 0;
        for (int i = 0; i < frames; ++i) {
            std::vector<uint8_t> frame = frameAt(i);
            const std::vector<int16_t> pcm = FrameSound(is525, i, sample);
            sample += int64_t(pcm.size() / 2);
            if (!EncodeDifAudio(frame, DifAudioFormat{48'000, 16, 2}, pcm, int32_t(pcm.size() / 2))) {
                std::fprintf(stderr, "the sound could not be written into frame %d of %s\n", i, avi.c_str());
                std::exit(1);
            }
            writer.WriteVideo(frame);
            writer.WriteAudio(std::span(reinterpret_cast<const uint8_t*>(pcm.data()), pcm.size() * 2));
            if (rawFile) std::fwrite(frame.data(), 1, frame.size(), rawFile);
        }
        writer.Finish();
    }
    if (rawFile) {
        std::fclose(rawFile);
        SyncFile(raw + ".part");
        fs::rename(raw + ".part", raw);
    }
    SyncFile(part);
    fs::rename(part, avi);
}

// A short clip of the test builder's pictures: a new recording (date an hour later, another
// picture) every 100 frames, a running timecode, 48 kHz stereo sound.
void MakeShortClip(const std::string& avi, const std::string& raw, bool is525, int frames) {
    if (fs::exists(avi) && (raw.empty() || fs::exists(raw))) return;
    DvClip clip;
    clip.is525 = is525;
    clip.scenes.clear();
    for (int done = 0, i = 0; done < frames; done += 100, ++i)
        clip.scenes.push_back(DvScene{std::min(100, frames - done),
                                      AddSeconds(DatecodeFields{2005, 8, 12, 14, 5, 6}, int64_t(i) * 3600),
                                      i});
    clip.timecode = Timecode{0, 0, 0, 0};
    clip.audio = AudioInfo{48'000, 2, 16};
    const auto dv = test::BuildDvStream(clip);
    WriteClip(
        avi, raw, is525, [&](int i) { return dv[size_t(i)]; }, frames);
}

// The big file: FFmpeg's moving test picture (50 frames repeated), the recording clock written
// into every frame by our pack writer, a new recording every 250 frames.
bool MakeBigFile(const std::string& avi, int frames) {
    if (fs::exists(avi)) return true;
    std::fprintf(stderr, "making %s (%d frames)...\n", avi.c_str(), frames);
    const auto base = test::EncodeDvFrames(50, true);
    if (base.empty()) return false;
    const DatecodeFields start{2024, 5, 1, 10, 0, 0};
    WriteClip(
        avi, {}, false,
        [&](int i) {
            std::vector<uint8_t> frame = base[size_t(i) % base.size()];
            WriteDatecode(frame, 12, AddSeconds(start, int64_t(i / 250) * 3600 + (i % 250) / 25));
            return frame;
        },
        frames);
    return true;
}

// The same length of FFmpeg's moving test picture with grain added, dated like a recording that
// starts a new scene every 100 frames, as a type 2 file with sound.
std::string MakeGrainyFile(const std::string& dir, int frames) {
    const std::string avi = dir + "/grainy.avi";
    if (fs::exists(avi)) return avi;
    const std::string raw = dir + "/grainy-source.dv";
    const std::string seconds = std::to_string(frames * 0.04 + 0.001);
    const std::string command =
        "ffmpeg -v error -nostdin -y -f lavfi -i testsrc2=size=720x576:rate=25,noise=alls=12:allf=t "
        "-f lavfi -i anullsrc=r=48000:cl=stereo -t " +
        seconds + " -c:v dvvideo -pix_fmt yuv420p -c:a pcm_s16le -f dv '" + raw + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) return {};
    const std::vector<uint8_t> bytes = test::ReadFileBytes(raw);
    const int have = int(bytes.size() / 144'000);
    WriteClip(
        avi, {}, false,
        [&](int i) {
            std::vector<uint8_t> frame(bytes.begin() + long(i % have) * 144'000,
                                       bytes.begin() + long(i % have + 1) * 144'000);
            WriteDatecode(
                frame, 12,
                AddSeconds(DatecodeFields{2005, 8, 12, 14, 5, 6}, int64_t(i / 100) * 3600 + i % 100 / 25));
            return frame;
        },
        frames);
    fs::remove(raw);
    return avi;
}

// What ffprobe finds in a written file: video frames, picture size and rate, sound.
std::string Describe(const std::string& path) {
    if (!fs::exists(path)) return "missing";
    const std::string probe =
        "ffprobe -v error -count_packets -show_entries "
        "stream=codec_type,nb_read_packets,width,height,r_frame_rate,sample_rate "
        "-of compact=p=0:nk=1 '" +
        path + "' 2>&1 | tr '\\n' ' '";
    return bench::ShellOutput(probe) + "(" + std::to_string(fs::file_size(path) / 1000) + " kB)";
}

struct Job {
    std::string source;
    std::vector<std::string> outputs;  // what ours and the peer write, in that order
};

void RemoveOutputs(const Job& job) {
    for (const auto& o : job.outputs) fs::remove(o);
}

// One row: velinor-cli's command against the outside program's command line, both on `source`.
// Each side removes what it wrote before each of its runs (outside the timing), so that every run
// writes a fresh file and both files are left for a look at the end.
void Compare(const std::string& what, const std::string& cli, const std::string& command, const Job& job,
             const std::string& peerName, const std::vector<std::string>& peer, double target, int frames,
             int runs) {
    ContestOptions options;
    options.runs = runs;
    options.target = target;
    options.units = frames;
    Contest(what, Scope::WholeProcess,
            {{"velinor-cli run " + command,
              [&] {
                  fs::remove(job.outputs[0]);
                  return MustRun({cli, "run", command, "--yes-all", job.source}).time;
              }},
             {peerName,
              [&] {
                  fs::remove(job.outputs[1]);
                  return MustRun(peer).time;
              }}},
            options);
    for (const auto& o : job.outputs)
        std::printf("  wrote %s: %s\n", fs::path(o).filename().c_str(), Describe(o).c_str());
}

std::string Stem(const std::string& path) {
    return fs::path(path).replace_extension().string();
}

}  // namespace

int main(int argc, char** argv) {
    int frames = 125, bigFrames = 7'600, runs = 3;
    std::string only;
    const auto wanted = [&only](const std::string& what) { return what.find(only) != std::string::npos; };
    bool big = true;
    const char* tmp = std::getenv("TMPDIR");
    std::string cacheDir = std::string(tmp && *tmp ? tmp : "/tmp") + "/velinor-bench-cache";
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--no-big") big = false;
        if (i + 1 < argc && a == "--frames")
            frames = std::max(25, std::atoi(argv[++i]));
        else if (i + 1 < argc && a == "--cache")
            cacheDir = argv[++i];
        else if (i + 1 < argc && a == "--runs")
            runs = std::max(3, std::atoi(argv[++i]));
        else if (i + 1 < argc && a == "--only")
            only = argv[++i];
    }
    if (std::system("command -v ffmpeg >/dev/null 2>&1") != 0) {
        std::fprintf(stderr, "ffmpeg is needed for the comparison\n");
        return 1;
    }
    const std::string cli = VelinorCli();
    const std::string dir =
        (fs::temp_directory_path() / ("velinor-bench-conversions-" + std::to_string(frames))).string();
    fs::create_directories(dir);
    fs::create_directories(cacheDir);
    const std::string pal = dir + "/type2.avi", raw = dir + "/clip.dv", ntsc = dir + "/ntsc.avi";
    const std::string bigFile = cacheDir + "/conversions_" + std::to_string(bigFrames) + ".avi";
    MakeShortClip(pal, raw, false, frames);
    MakeShortClip(ntsc, {}, true, frames);
    if (big && !MakeBigFile(bigFile, bigFrames)) big = false;
    std::printf("short clips: %d frames (PAL and NTSC) with 48 kHz sound and datecodes; %u cores\n", frames,
                std::thread::hardware_concurrency());
    if (big)
        std::printf("big file: %s, %.2f GB, %d PAL frames\n", bigFile.c_str(),
                    double(fs::file_size(bigFile)) / 1e9, bigFrames);
    std::printf("velinor: %s\n", cli.c_str());

    const auto toNtsc = [&](const std::string& what, const std::string& source, int n) {
        if (!wanted(what)) return;
        const Job job{source, {Stem(source) + "_ntsc.avi", dir + "/ffmpeg_ntsc.dv"}};
        Compare(
            what, cli, "ConvertirNTSC", job, "ffmpeg -target ntsc-dv",
            {"ffmpeg", "-v", "error", "-nostdin", "-y", "-i", source, "-target", "ntsc-dv", job.outputs[1]},
            1.2, n, runs);
        RemoveOutputs(job);
    };
    toNtsc("ConvertirNTSC: PAL to NTSC, short clip", pal, frames);
    if (big) toNtsc("ConvertirNTSC: PAL to NTSC, big file", bigFile, bigFrames);
    if (wanted("ConvertirPal: NTSC to PAL, short clip")) {
        const Job job{ntsc, {Stem(ntsc) + "_pal.avi", dir + "/ffmpeg_pal.dv"}};
        Compare("ConvertirPal: NTSC to PAL, short clip", cli, "ConvertirPal", job, "ffmpeg -target pal-dv",
                {"ffmpeg", "-v", "error", "-nostdin", "-y", "-i", ntsc, "-target", "pal-dv", job.outputs[1]},
                1.2, frames, runs);
        RemoveOutputs(job);
    }
    if (big && wanted("ExtraireAudio: the sound as a WAV file, big file")) {
        const Job job{bigFile, {Stem(bigFile) + ".wav", dir + "/ffmpeg_audio.wav"}};
        uint64_t oursRead = 0, theirsRead = 0;
        ContestOptions options;
        options.runs = runs;
        options.target = 1.5;
        options.units = bigFrames;
        Contest("ExtraireAudio: the sound as a WAV file, big file", Scope::WholeProcess,
                {{"velinor-cli run ExtraireAudio",
                  [&] {
                      fs::remove(job.outputs[0]);
                      const ChildRun r = MustRun({cli, "run", "ExtraireAudio", "--yes-all", bigFile});
                      oursRead = r.rchar;
                      return r.time;
                  }},
                 {"ffmpeg -map 0:a -c pcm_s16le",
                  [&] {
                      fs::remove(job.outputs[1]);
                      const ChildRun r = MustRun({"ffmpeg", "-v", "error", "-nostdin", "-y", "-i", bigFile,
                                                  "-map", "0:a", "-c", "pcm_s16le", job.outputs[1]});
                      theirsRead = r.rchar;
                      return r.time;
                  }}},
                options);
        std::printf("  bytes read (rchar): velinor-cli %.1f MB, ffmpeg %.1f MB, of a %.1f MB file\n",
                    double(oursRead) / 1e6, double(theirsRead) / 1e6, double(fs::file_size(bigFile)) / 1e6);
        for (const auto& o : job.outputs)
            std::printf("  wrote %s: %s\n", fs::path(o).filename().c_str(), Describe(o).c_str());
        RemoveOutputs(job);
    }

    const std::string font = "/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf";
    const auto burnIn = [&](const std::string& what, const std::string& source) {
        if (!wanted(what)) return;
        const Job job{source, {Stem(source) + "_in.avi", dir + "/ffmpeg_in.avi"}};
        const std::string filter = "drawtext=fontfile=" + font +
                                   ":text='12/08/2005':fontsize=21:fontcolor=white:x=w*0.92-tw:y=h*0.92-2*th,"
                                   "drawtext=fontfile=" +
                                   font +
                                   ":text='14\\:05\\:06':fontsize=21:fontcolor=white:x=w*0.92-tw:y=h*0.92-th";
        Compare(what, cli, "Incruster", job, "ffmpeg drawtext -c:v dvvideo",
                {"ffmpeg", "-v", "error", "-nostdin", "-y", "-i", source, "-vf", filter, "-c:v", "dvvideo",
                 "-c:a", "copy", job.outputs[1]},
                1.2, frames, runs);
        RemoveOutputs(job);
    };
    burnIn("Incruster: burn the datecode in (test pictures, short clip)", pal);
    const std::string grainy = MakeGrainyFile(dir, frames);
    if (!grainy.empty())
        burnIn("Incruster: burn the datecode in (grainy camera-like pictures, short clip)", grainy);

    if (!wanted("ConvertirDV1: type 2 to type 1, short clip")) {
    } else if (std::system("command -v dvgrab >/dev/null 2>&1") == 0) {
        const std::string grabDir = dir + "/dvgrab";
        Job job{pal, {Stem(pal) + "_type1.avi"}};
        ContestOptions options;
        options.runs = runs;
        options.units = frames;
        Contest("ConvertirDV1: type 2 to type 1, short clip", Scope::WholeProcess,
                {{"velinor-cli run ConvertirDV1",
                  [&] {
                      RemoveOutputs(job);
                      return MustRun({cli, "run", "ConvertirDV1", "--yes-all", pal}).time;
                  }},
                 {"dvgrab -f dv1",
                  [&] {
                      fs::remove_all(grabDir);
                      fs::create_directories(grabDir);
                      return MustRun({"dvgrab", "-noavc", "-I", raw, "-f", "dv1", "-s", "0", "dvgrab-"},
                                     ChildOptions::InFolder(grabDir))
                          .time;
                  }}},
                options);
        std::printf("  wrote %s: %s\n", fs::path(job.outputs[0]).filename().c_str(),
                    Describe(job.outputs[0]).c_str());
        for (const auto& e : fs::directory_iterator(grabDir))
            std::printf("  wrote %s: %s\n", e.path().filename().c_str(), Describe(e.path().string()).c_str());
        RemoveOutputs(job);
        fs::remove_all(grabDir);
    } else {
        std::printf("ConvertirDV1: dvgrab is not installed, no comparison\n");
    }
    return 0;
}
