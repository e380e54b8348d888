// The preview under a real X server and a real sound server: the test starts its own Xvfb (on
// the display it picks with -displayfd) and, when the machine has PulseAudio, a private sound
// server whose only output is a null sink, then runs the checks in a child process of this test
// program, since the application's platform and sound service are chosen once per process.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QApplication>
#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QScreen>
#include <csignal>
#include <filesystem>

#include <gtest/gtest.h>

#include "actions/actions.h"
#include "commands/catalogue.h"
#include "commands/command_set.h"
#include "commands/viewdm.h"
#include "support/temp_dir.h"
#include "ui/kit/qt_dispatcher.h"
#include "ui/preview/audio_output.h"
#include "ui/preview/video_window.h"
#include "ui/preview/vue_frame.h"
#include "ui/ui_harness.h"
#include "ui/window/main_window.h"

namespace velinor {
namespace {

namespace fs = std::filesystem;

constexpr const char* kChildVariable = "VELINOR_PREVIEW_SCREEN_CHILD";

// A program started with an argument list; stopped and reaped at the end of the scope.
class Started {
public:
    ~Started() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    // Starts `argv`; with `fdOut`, a pipe whose write end is passed to the program as that number.
    bool Start(std::vector<std::string> argv, int* readEnd = nullptr) {
        int pipeFds[2] = {-1, -1};
        if (readEnd && pipe(pipeFds) != 0) return false;
        if (readEnd)
            for (std::string& a : argv)
                if (a == "{fd}") a = std::to_string(pipeFds[1]);
        pid_ = fork();
        if (pid_ == 0) {
            if (readEnd) close(pipeFds[0]);
            const int null = open("/dev/null", O_RDWR);
            dup2(null, 1);
            dup2(null, 2);
            std::vector<char*> args;
            for (std::string& a : argv) args.push_back(a.data());
            args.push_back(nullptr);
            execvp(args[0], args.data());
            _exit(127);
        }
        if (readEnd) {
            close(pipeFds[1]);
            *readEnd = pipeFds[0];
        }
        return pid_ > 0;
    }

private:
    pid_t pid_ = -1;
};

bool OnPath(const char* program) {
    return QProcess::execute("sh", {"-c", QString("command -v ") + program + " >/dev/null"}) == 0;
}

TEST(PreviewScreenTest, TheWindowsVideoAreaShowsTheDecodedPictureAndTheSoundPlays) {
    if (qEnvironmentVariableIsSet(kChildVariable)) GTEST_SKIP() << "the child runs the checks";
    if (!OnPath("Xvfb")) GTEST_SKIP() << "Xvfb n'est pas installé (scripts/install-deps l'installe)";
    test::TempDir dir;

    Started xvfb;
    int displayPipe = -1;
    ASSERT_TRUE(xvfb.Start({"Xvfb", "-displayfd", "{fd}", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"},
                           &displayPipe));
    std::string display;
    char c;
    while (read(displayPipe, &c, 1) == 1 && c != '\n') display += c;
    close(displayPipe);
    ASSERT_FALSE(display.empty()) << "Xvfb did not say its display";

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(kChildVariable, "1");
    // The system's D-Bus library keeps a buffer to the end of the process.
    env.insert("ASAN_OPTIONS", "detect_leaks=0");
    env.insert("DISPLAY", QString::fromStdString(":" + display));
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("XDG_CONFIG_HOME", QString::fromStdString((dir.path() / "config").string()));

    // A private sound server with a null sink, when the machine has one.
    Started pulse;
    bool sound = false;
    if (OnPath("pulseaudio")) {
        const fs::path runtime = dir.path() / "pulse";
        fs::create_directories(runtime);
        setenv("PULSE_RUNTIME_PATH", runtime.c_str(), 1);
        const std::string socket = (runtime / "native").string();
        sound = pulse.Start({"pulseaudio", "--daemonize=no", "-n", "--exit-idle-time=-1", "--disallow-exit",
                             "--use-pid-file=no", "--system=false", "-L", "module-null-sink", "-L",
                             "module-native-protocol-unix socket=" + socket});
        unsetenv("PULSE_RUNTIME_PATH");
        env.insert("PULSE_SERVER", QString::fromStdString("unix:" + socket));
        env.insert("PULSE_RUNTIME_PATH", QString::fromStdString(runtime.string()));
        env.insert("VELINOR_PREVIEW_SOUND", "1");
        // The server is ready once its socket exists.
        ASSERT_TRUE(test::WaitFor([&] { return fs::exists(socket); }));
    }

    QProcess child;
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=PreviewScreenChild.*"});
    ASSERT_TRUE(child.waitForFinished(300'000));
    const QString output = QString::fromUtf8(child.readAll());
    EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.toStdString();
    if (!sound) GTEST_SKIP() << "pas de serveur de son (pulseaudio) : seule l'image a été vérifiée";
}

// The child's checks, on the X server and sound server its parent started.
TEST(PreviewScreenChild, PixelsAndSound) {
    if (!qEnvironmentVariableIsSet(kChildVariable)) GTEST_SKIP() << "run by PreviewScreenTest in a child";
    test::TempDir dir;
    const std::string clip = (dir.path() / "ecran.avi").string();
    test::WriteDvClip(clip, {2015, 6, 1, 12, 0, 0}, 50);
    QtUiDispatcher ui;
    const std::unique_ptr<TCommandSet> set = test::MakeCommandSet(ui);
    TUIForm window(*set, test::ScratchPreferences(dir.path()), {clip});
    window.ChooseMode = [](const std::string&) { return TSavePreferences::spRegistre; };
    window.resize(1000, 760);
    window.show();
    window.Activate();
    TVueFrame& vue = window.VueFrame();
    ASSERT_TRUE(test::WaitFor([&] { return vue.vw().FramesShown() > 0 && vue.vw().isVisible(); }));
    // Let the X server draw what the window painted.
    QImage screen;
    const QImage expected =
        vue.vw().CurrentImage().scaled(vue.vw().size(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
    int bad = 0;
    ASSERT_TRUE(test::WaitFor([&] {
        vue.vw().repaint();
        const QPoint at = vue.vw().mapToGlobal(QPoint(0, 0));
        screen = QGuiApplication::primaryScreen()
                     ->grabWindow(0, at.x(), at.y(), vue.vw().width(), vue.vw().height())
                     .toImage()
                     .convertToFormat(QImage::Format_RGB888);
        if (screen.size() != expected.size()) return false;
        bad = 0;
        for (int y = 0; y < screen.height(); ++y)
            for (int x = 0; x < screen.width(); ++x) {
                const QColor a = screen.pixelColor(x, y), b = expected.pixelColor(x, y);
                if (std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
                        std::abs(a.blue() - b.blue()) >
                    24)
                    ++bad;
            }
        // Nearest-pixel stretching may pick a neighbour at the edges of the bars and letters.
        return bad < screen.width() * screen.height() / 50;
    })) << bad
        << " pixels differ";

    if (!qEnvironmentVariableIsSet("VELINOR_PREVIEW_SOUND")) return;
    auto output = TQtAudioOutput::CreateDefault();
    ASSERT_NE(output, nullptr) << "the null sink is not seen";
    vue.SetAudio(output, output->Clock());
    ASSERT_TRUE(vue.OpenActive());
    ASSERT_TRUE(window.Preview().AudioRendered);
    auto& play = dynamic_cast<TCheckAction&>(*window.Action("caPlayPause"));
    QApplication::processEvents();  // the opening's own "paused" message first
    play.SetChecked(true);
    ASSERT_TRUE(test::WaitFor([&] { return output->BytesWritten() > 0; }));
    ASSERT_TRUE(test::WaitFor([&] { return !play.Checked(); }));  // played to the end
    // Two seconds of 48 kHz 16-bit stereo went to the card, and the card took them.
    EXPECT_GE(output->BytesWritten(), 48'000u * 4 * 19 / 10);
    EXPECT_GE(output->BytesTaken(), output->BytesWritten());
    window.close();
}

}  // namespace
}  // namespace velinor
