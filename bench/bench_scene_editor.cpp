// The scene editor on a file with 500 scenes, through the real window on Qt's offscreen
// platform: the time from executing caEditerScenes until the scene list shows every scene and
// the first one is shown in the panel, and the time a selection takes (narrowing the preview,
// loading the scene's details, seeking to its start).
//
//   bench_scene_editor [runs, default 5]
#include <QApplication>
#include <QListWidget>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "actions/actions.h"
#include "commands/command_set.h"
#include "commands/scene_editor.h"
#include "scenes/scn_file.h"
#include "support/dv_clip_file.h"
#include "support/temp_dir.h"
#include "ui/kit/qt_dispatcher.h"
#include "ui/scenes/scene_editor_frame.h"
#include "ui/window/main_window.h"

namespace velinor {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kScenes = 500;

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

void Pump(const std::function<bool()>& done, double seconds) {
    const auto end = Clock::now() + std::chrono::milliseconds(int(seconds * 1000));
    while (!done() && Clock::now() < end) QApplication::processEvents(QEventLoop::AllEvents, 5);
}

}  // namespace
}  // namespace velinor

int main(int argc, char** argv) {
    using namespace velinor;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    test::TempDir dir;
    const std::string clip = (dir.path() / "cinq-cents.avi").string();
    test::WriteDvClip(clip, {2011, 7, 14, 9, 30, 0}, kScenes * 2);
    {
        TwriteScene writer(clip);
        for (uint32_t k = 0; k < kScenes; ++k) {
            TSceneClass scene(2 * k, 2 * (k + 1));
            scene.Titre = "Scène " + std::to_string(k + 1);
            writer.AddScene(scene);
        }
        if (!writer.Finish()) {
            std::fprintf(stderr, "%s\n", writer.error().c_str());
            return 1;
        }
    }
    QtUiDispatcher ui;
    TCommandSet set(ui, [](const std::function<bool()>& done) { QtUiDispatcher::PumpUntil(done); });
    TUIForm window(set,
                   {dir.path() / "config", dir.path() / "program", (dir.path() / "program" / "v").string()},
                   {clip});
    window.ChooseMode = [](const std::string&) { return TSavePreferences::spRegistre; };
    window.resize(1000, 760);
    window.show();
    window.Activate();
    Pump([&] { return window.Preview().Opened && window.SceneEditor().List.Count() == kScenes; }, 60);
    if (window.SceneEditor().List.Count() != kScenes) {
        std::fprintf(stderr, "la liste des scènes n'a pas été lue\n");
        return 1;
    }
    std::vector<double> opens, selects;
    for (int r = 0; r < runs; ++r) {
        const auto t0 = Clock::now();
        window.Action("caEditerScenes")->Execute();
        Pump([&] { return window.SceneFrame().lbScenes().count() == kScenes; }, 10);
        QApplication::processEvents();
        opens.push_back(Ms(Clock::now() - t0));
        const auto t1 = Clock::now();
        window.SceneEditor().Select(size_t(100 + 50 * r));
        selects.push_back(Ms(Clock::now() - t1));
        window.Action("caEditerScenes")->Execute();
    }
    std::sort(opens.begin(), opens.end());
    std::sort(selects.begin(), selects.end());
    std::printf("scenes %d, runs %d\n", kScenes, runs);
    std::printf("editor open until the list shows: median %.1f ms, worst %.1f ms\n", opens[opens.size() / 2],
                opens.back());
    std::printf("scene selection: median %.1f ms, worst %.1f ms\n", selects[selects.size() / 2],
                selects.back());
    return 0;
}
