// velinor-cli run stopped by a signal, and the leftovers of runs that were killed: the program is
// started as a process of its own, on DV AVI files written by our writer.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "media/avi_writer.h"
#include "platform/atomic_file.h"
#include "support/avi_fixtures.h"
#include "support/dv_builder.h"
#include "support/temp_dir.h"

extern char** environ;

namespace velinor {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// `frames` PAL frames of one scene, with silent stereo sound.
void WriteClip(const std::string& path, int frames) {
    DvClip clip;
    clip.scenes = {DvScene{frames, DatecodeFields{2005, 8, 12, 14, 5, 6}, 0}};
    clip.timecode = Timecode{0, 1, 2, 3};
    clip.audio = AudioInfo{48'000, 2, 16};
    const auto dv = test::BuildDvStream(clip);
    AviWriterSettings s;
    s.DvInfoBlock = DvInfoFromFrame(dv.front());
    AviWriter writer(path, s);
    const std::vector<uint8_t> silence(1920 * 4, 0);
    for (const auto& f : dv) {
        writer.WriteVideo(f);
        writer.WriteAudio(silence);
    }
    writer.Finish();
}

class StoppedRun : public ::testing::Test {
protected:
    // velinor-cli with `arguments`, started in the test's folder, its output in files; the stop
    // signals have their default action in it, whatever the test runner ignores.
    // With `input`, its standard input is that descriptor instead of an empty one.
    pid_t Start(const std::string& arguments, int input = -1) {
        const std::string line =
            "cd " + test::ShellQuote(dir_.path().string()) +
            " && XDG_CONFIG_HOME=config XDG_DATA_HOME=data exec " + test::ShellQuote(VELINOR_CLI) + " " +
            arguments + (input < 0 ? " </dev/null" : "") + " >" + test::ShellQuote(dir_.file("stdout.txt")) +
            " 2>" + test::ShellQuote(dir_.file("stderr.txt"));
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        sigset_t defaults, none;
        sigemptyset(&defaults);
        for (const int s : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&defaults, s);
        sigemptyset(&none);
        posix_spawnattr_setsigdefault(&attributes, &defaults);
        posix_spawnattr_setsigmask(&attributes, &none);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
        std::string sh = "sh", c = "-c";
        char* argv[] = {sh.data(), c.data(), const_cast<char*>(line.c_str()), nullptr};
        posix_spawn_file_actions_t files;
        posix_spawn_file_actions_init(&files);
        if (input >= 0) posix_spawn_file_actions_adddup2(&files, input, STDIN_FILENO);
        pid_t pid = -1;
        if (posix_spawn(&pid, "/bin/sh", &files, &attributes, argv, environ) != 0) pid = -1;
        posix_spawn_file_actions_destroy(&files);
        posix_spawnattr_destroy(&attributes);
        return pid;
    }

    // Waits for the process to end; its exit status, or -1 when a signal ended it.
    static int Finish(pid_t pid) {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // The temporary files in the test's folder.
    std::vector<std::string> Temporaries() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir_.path()))
            if (IsTemporaryName(e.path().filename().string())) names.push_back(e.path().filename().string());
        return names;
    }

    // Waits until the running process has written `bytes` to a temporary file; false when it
    // ended first.
    bool WaitForTemporary(pid_t pid, uintmax_t bytes) const {
        for (;;) {
            for (const auto& name : Temporaries()) {
                std::error_code ec;
                if (fs::file_size(dir_.path() / name, ec) >= bytes && !ec) return true;
            }
            siginfo_t info{};
            if (waitid(P_PID, id_t(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0 || info.si_pid == pid)
                return false;
            usleep(20'000);
        }
    }

    static int FfprobeFrames(const std::string& path) {
        int status = 0;
        const std::string out = test::RunCommand(
            "ffprobe -v error -count_frames -select_streams v:0 "
            "-show_entries stream=nb_read_frames -of csv=p=0 " +
                test::ShellQuote(path) + " 2>/dev/null",
            &status);
        return status == 0 && !out.empty() ? std::stoi(out) : -1;
    }

    test::TempDir dir_;
};

// Ctrl+C, SIGTERM and SIGHUP stop a conversion as Escape does in the window: the file written
// so far is finished as a readable AVI under its own name and listed, the source is untouched,
// no temporary file stays, and the run fails. A script running the conversion stops the same way.
TEST_F(StoppedRun, AStopSignalFinishesWhatWasWrittenAndFails) {
    if (!test::HaveProgram("ffprobe")) GTEST_SKIP() << "ffprobe manquant";
    constexpr int kFrames = 300;
    WriteClip(dir_.file("long.avi"), kFrames);
    const size_t source = std::hash<std::string>{}(ReadAll(dir_.file("long.avi")));
    std::ofstream(dir_.file("s.pas")) << "begin\n  convertntsc;\nend.\n";
    const std::string run = "run --yes-all ConvertirNTSC long.avi";
    struct Case {
        std::string arguments;
        int signal;
        const char* said;
    };
    const Case cases[] = {
        {run, SIGINT, "Commande ConvertirNTSC arrêtée par Ctrl+C (SIGINT)."},
        {run, SIGTERM, "Commande ConvertirNTSC arrêtée par le signal SIGTERM."},
        {run, SIGHUP, "Commande ConvertirNTSC arrêtée par la fermeture du terminal (SIGHUP)."},
        {"script s.pas long.avi", SIGTERM, "Script arrêté par le signal SIGTERM."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments + " / " + strsignal(c.signal));
        fs::remove(dir_.file("long_ntsc.avi"));
        const pid_t pid = Start(c.arguments);
        ASSERT_GT(pid, 0);
        // A few frames are written: the conversion is under way.
        const bool running = WaitForTemporary(pid, 1'000'000);
        kill(pid, c.signal);
        const int status = Finish(pid);
        ASSERT_TRUE(running) << ReadAll(dir_.file("stderr.txt"));
        const std::string err = ReadAll(dir_.file("stderr.txt"));
        EXPECT_EQ(status, 128 + c.signal) << err;
        EXPECT_NE(err.find("Conversion interrompue : long_ntsc.avi est un fichier partiel"),
                  std::string::npos)
            << err;
        EXPECT_NE(err.find(c.said), std::string::npos) << err;
        if (c.arguments == run) {
            EXPECT_EQ(ReadAll(dir_.file("stdout.txt")),
                      dir_.file("long.avi") + "\n" + dir_.file("long_ntsc.avi") + "\n");
        }
        const int frames = FfprobeFrames(dir_.file("long_ntsc.avi"));
        EXPECT_GT(frames, 0);
        EXPECT_LT(frames, kFrames * 30'000 / 1001 / 25);
        EXPECT_EQ(std::hash<std::string>{}(ReadAll(dir_.file("long.avi"))), source);
        EXPECT_EQ(Temporaries(), std::vector<std::string>{});
    }
}

// A signal while a question waits for its answer on the terminal cancels the command: nothing
// is written, the existing file stays as it was, and the run fails.
TEST_F(StoppedRun, AStopSignalCancelsAQuestionWaitingForItsAnswer) {
    WriteClip(dir_.file("a.avi"), 3);
    std::ofstream(dir_.file("a.wav")) << "ancien";
    int input[2];
    ASSERT_EQ(::pipe2(input, O_CLOEXEC), 0);
    const pid_t pid = Start("run ExtraireAudio --ask a.avi", input[0]);
    ASSERT_GT(pid, 0);
    ::close(input[0]);
    // The question is on the terminal; no answer comes, the input stays open.
    bool asked = false;
    for (siginfo_t info{}; !asked;) {
        asked = ReadAll(dir_.file("stderr.txt")).find("Voulez-vous écraser") != std::string::npos;
        if (waitid(P_PID, id_t(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0 || info.si_pid == pid) break;
        usleep(20'000);
    }
    kill(pid, SIGINT);
    // The end must not wait for an answer: the input is closed only after a long while, so that a
    // program still waiting fails the test instead of hanging it.
    bool ended = false;
    for (int i = 0; i < 1500 && !ended; ++i) {
        siginfo_t info{};
        ended = waitid(P_PID, id_t(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid;
        if (!ended) usleep(20'000);
    }
    ::close(input[1]);
    const int status = Finish(pid);
    const std::string err = ReadAll(dir_.file("stderr.txt"));
    ASSERT_TRUE(asked) << err;
    EXPECT_TRUE(ended) << err;
    EXPECT_EQ(status, 128 + SIGINT) << err;
    EXPECT_NE(err.find("Commande ExtraireAudio arrêtée par Ctrl+C (SIGINT)."), std::string::npos) << err;
    EXPECT_EQ(ReadAll(dir_.file("a.wav")), "ancien");
    EXPECT_EQ(Temporaries(), std::vector<std::string>{});
}

// A conversion killed with SIGKILL leaves its temporary file; the next run on the folder removes
// it, and the leftovers no live process holds, and says so. A temporary file another process
// holds stays.
TEST_F(StoppedRun, TheNextRunRemovesTheLeftoversOfKilledRuns) {
    WriteClip(dir_.file("long.avi"), 300);
    const pid_t pid = Start("run --yes-all ConvertirNTSC long.avi");
    ASSERT_GT(pid, 0);
    const bool running = WaitForTemporary(pid, 1'000'000);
    kill(pid, SIGKILL);
    Finish(pid);
    ASSERT_TRUE(running);
    const std::vector<std::string> killed = Temporaries();
    ASSERT_EQ(killed.size(), 1u);
    std::ofstream(dir_.file(".a.avi.velinor-tmp-Gone01")) << "RIFF";
    std::ofstream(dir_.file(".b.avi.velinor-tmp-Held01")) << "RIFF";
    const int held = ::open(dir_.file(".b.avi.velinor-tmp-Held01").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);

    const int status = Finish(Start("run RiffHeader long.avi"));
    const std::string err = ReadAll(dir_.file("stderr.txt"));
    EXPECT_EQ(status, 0) << err;
    EXPECT_NE(
        err.find("2 fichiers temporaires laissés par des exécutions interrompues ont été supprimés dans " +
                 dir_.path().string() + "/"),
        std::string::npos)
        << err;
    EXPECT_EQ(Temporaries(), std::vector<std::string>{".b.avi.velinor-tmp-Held01"});
    EXPECT_FALSE(fs::exists(dir_.file("long_ntsc.avi")));
    ::close(held);
}

}  // namespace
}  // namespace velinor
