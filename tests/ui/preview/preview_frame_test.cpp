// The preview frame in the window: real DV clips played through the video window, the labels fed
// by the tick, navigation, notices, volume, full screen and the picture copies.
#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QLabel>
#include <QProgressBar>
#include <QSlider>
#include <QTextBrowser>
#include <QTextEdit>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "actions/actions.h"
#include "commands/catalogue.h"
#include "commands/command_set.h"
#include "commands/viewdm.h"
#include "filelist/avi_fichier.h"
#include "filelist/list_fichier.h"
#include "graph/sinks.h"
#include "support/avi_fixtures.h"
#include "support/riff_builder.h"
#include "support/temp_dir.h"
#include "ui/info/info_panel.h"
#include "ui/kit/qt_dispatcher.h"
#include "ui/preview/plaque.h"
#include "ui/preview/preview_handlers.h"
#include "ui/preview/vide_frame.h"
#include "ui/preview/video_window.h"
#include "ui/preview/vue_frame.h"
#include "ui/ui_harness.h"
#include "ui/window/main_window.h"

namespace velinor {
namespace {

namespace fs = std::filesystem;
using test::WaitFor;

template <class T>
T& As(const char* name, TUIForm& window) {
    auto* typed = dynamic_cast<T*>(window.Action(name));
    if (!typed) throw std::runtime_error(std::string("pas d'action ") + name);
    return *typed;
}

// Keeps the volume the preview sets.
class VolumeDevice : public graph::HeadlessAudioDevice {
public:
    void setVolume(double volume) override { volume_ = volume; }
    double volume_ = -1;
};

class PreviewFrameTest : public ::testing::Test {
protected:
    void SetUp() override { test::EnsureApplication(); }

    std::unique_ptr<TUIForm> Open(const std::vector<std::string>& paths) {
        const PreferencesPaths where = test::ScratchPreferences(dir_.path());
        if (!ui_) ui_ = std::make_unique<QtUiDispatcher>();
        set_ = test::MakeCommandSet(*ui_);
        auto window = std::make_unique<TUIForm>(*set_, where, paths);
        window->ChooseMode = [](const std::string&) { return TSavePreferences::spRegistre; };
        window->resize(1000, 760);
        window->show();
        window->Activate();
        EXPECT_TRUE(
            WaitFor([&] { return !window->List().Busy() && window->List().Count() == int(paths.size()); }));
        return window;
    }
    std::string Clip(const std::string& name, int frames, bool is525 = false) {
        const std::string path = (dir_.path() / name).string();
        test::WriteDvClip(path, {2011, 7, 14, 9, 30, 0}, frames, is525);
        return path;
    }
    static std::string Text(TUIForm& w, const char* label) {
        return w.InfoPanel().Label(label)->text().toStdString();
    }
    // Runs the tick now and lets its posted label update through.
    static void Tick(TUIForm& w) {
        w.PreviewHandlers().TimerStep();
        QApplication::processEvents();
    }
    // Runs the action; the tick it ends with posts its labels, which are shown on the next turn.
    static void Run(TUIForm& w, const char* name) {
        w.Action(name)->Execute();
        QApplication::processEvents();
    }

    test::TempDir dir_;
    std::unique_ptr<QtUiDispatcher> ui_;
    std::unique_ptr<TCommandSet> set_;
};

TEST_F(PreviewFrameTest, ARealDvFilePlaysAndTheLabelsFollowThePictureOnScreen) {
    auto w = Open({Clip("a.avi", 40)});
    TVueFrame& vue = w->VueFrame();
    ASSERT_TRUE(WaitFor([&] { return vue.vw().FramesShown() > 0; }));
    EXPECT_EQ(vue.Notice(), 0);
    EXPECT_TRUE(vue.tb().isVisible());
    EXPECT_TRUE(vue.labTimeStamp().isVisible());
    Tick(*w);
    EXPECT_EQ(Text(*w, "LabTimecode"), "00.01.02.03");
    EXPECT_EQ(vue.labTimeStamp().text().toStdString(), "0:00:00:00");
    EXPECT_NE(Text(*w, "labDatecode").find("14/07/2011"), std::string::npos) << Text(*w, "labDatecode");
    EXPECT_EQ(Text(*w, "LabAudio1"), "48000Hz 16Bits stéréo");

    // Played to the end: the graph pauses at the start again and says so.
    As<TCheckAction>("caPlayPause", *w).SetChecked(true);
    ASSERT_TRUE(WaitFor([&] {
        Tick(*w);
        return vue.vw().FramesShown() > 30 && !As<TCheckAction>("caPlayPause", *w).Checked();
    }));
    EXPECT_EQ(w->Preview().CurrentPosition(), 0);
    EXPECT_TRUE(w->close());
}

TEST_F(PreviewFrameTest, StepsByFrameSecondAndMinuteAndTheSliderMoveThePicture) {
    auto w = Open({Clip("ntsc.avi", 70, true)});
    Tviewdm& p = w->Preview();
    ASSERT_TRUE(p.Opened);
    Run(*w, "naAvanceFrame");
    EXPECT_EQ(p.CurrentPosition(), 1);
    EXPECT_EQ(Text(*w, "LabTimecode"), "00.01.02.04");
    Run(*w, "naAvanceSeconde");  // 29.97 fps: 30 frames
    EXPECT_EQ(p.CurrentPosition(), 31);
    Run(*w, "naReculeFrame");
    EXPECT_EQ(p.CurrentPosition(), 30);
    Run(*w, "naAvanceMinute");  // clamped to the last frame
    EXPECT_EQ(p.CurrentPosition(), 69);
    Run(*w, "naReculeDebut");
    EXPECT_EQ(p.CurrentPosition(), 0);
    Run(*w, "naAvanceFin");
    EXPECT_EQ(p.CurrentPosition(), 69);
    Tick(*w);
    EXPECT_EQ(w->VueFrame().tb().value(), 1000);
    w->VueFrame().tb().setValue(500);  // as the user drags it
    EXPECT_EQ(p.CurrentPosition(), 34);
    EXPECT_TRUE(w->close());
}

TEST_F(PreviewFrameTest, EachNoticeSaysWhyThereIsNoPicture) {
    const std::string gone = Clip("disparu.avi", 4);
    const std::string bad = (dir_.path() / "Faux.avi").string();
    std::ofstream(bad) << "RIFF ce n'est pas un AVI";
    auto w = Open({gone, bad});
    TVueFrame& vue = w->VueFrame();

    w->List().SetActiveIndex(w->List().IndexOfPath(bad));
    EXPECT_EQ(vue.Notice(), 4);
    EXPECT_FALSE(vue.tb().isVisible());
    EXPECT_TRUE(vue.rxVue().isVisible());
    EXPECT_EQ(
        vue.NoticeMarkup(),
        "<br><br><br><b><i><SIZE 14>Vidéo non disponible</size></i></b><br><br>Le fichier<br><br><b><color "
        "blue>" +
            LowerCase(bad) + "</color></b><br><br>ne semble pas être un fichier AVI correct");
    EXPECT_NE(vue.rxVue().toPlainText().toStdString().find("Vidéo non disponible"), std::string::npos);

    fs::remove(gone);
    w->List().SetActiveIndex(w->List().IndexOfPath(gone));
    EXPECT_EQ(vue.Notice(), 1);
    EXPECT_NE(vue.NoticeMarkup().find("est introuvable"), std::string::npos);
    EXPECT_TRUE(w->close());
}

// A file with sound only, and a video that no decoder reads (with its sound, and without).
TEST_F(PreviewFrameTest, FilesWithoutAPictureSayWhatPlays) {
    using test::Bytes;
    Bytes movi;
    for (int i = 0; i < 25; ++i) movi = test::Concat({movi, test::Chunk("00wb", Bytes(1920 * 4, 0))});
    test::StreamHeader sound;
    sound.type = "auds";
    sound.handler = "";
    sound.scale = 4;
    sound.rate = 192'000;
    sound.sampleSize = 4;
    sound.length = 25 * 1920;
    sound.right = sound.bottom = 0;
    const Bytes audioOnly = test::Riff(
        "AVI ", {test::List("hdrl", {test::Chunk("avih", test::AvihBody(40'000, 0, 1)),
                                     test::List("strl", {test::Chunk("strh", test::StrhBody(sound)),
                                                         test::Chunk("strf", test::WaveFormatBody())})}),
                 test::List("movi", movi)});
    test::StreamHeader xvid;
    xvid.handler = "ZZZZ";
    xvid.length = 2;
    const Bytes silentXvid = test::Riff(
        "AVI ",
        {test::List("hdrl", {test::Chunk("avih", test::AvihBody(40'000, 2, 1)),
                             test::List("strl", {test::Chunk("strh", test::StrhBody(xvid)),
                                                 test::Chunk("strf", test::BitmapInfoBody("ZZZZ"))})}),
         test::List("movi", {test::Chunk("00dc", Bytes(64, 1)), test::Chunk("00dc", Bytes(64, 2))})});
    struct Case {
        const char* name;
        Bytes bytes;
        int notice;
        const char* says;
    };
    const Case cases[] = {
        {"son.avi", audioOnly, 3, "ne comprend que de l'audio"},
        {"zzzz-son.avi", test::Type2Avi("ZZZZ", "ZZZZ", 4, 64), 6, "On peut cependant écouter l'Audio"},
        {"zzzz.avi", silentXvid, 8, "Pas d'Audio"},
    };
    std::vector<std::string> paths;
    for (const Case& c : cases) {
        paths.push_back((dir_.path() / c.name).string());
        test::WriteFileBytes(paths.back(), c.bytes);
    }
    auto w = Open(paths);
    TVueFrame& vue = w->VueFrame();
    for (size_t i = 0; i < paths.size(); ++i) {
        SCOPED_TRACE(cases[i].name);
        w->List().SetActiveIndex(w->List().IndexOfPath(paths[i]));
        EXPECT_EQ(vue.Notice(), cases[i].notice);
        EXPECT_NE(vue.NoticeMarkup().find(cases[i].says), std::string::npos) << vue.NoticeMarkup();
    }
    EXPECT_TRUE(w->close());
}

TEST_F(PreviewFrameTest, ACommandOnTheFileShowsNoticeNineAndThePictureComesBackAfterIt) {
    const std::string a = Clip("Prise.avi", 6);
    auto w = Open({a});
    TVueFrame& vue = w->VueFrame();
    ASSERT_EQ(vue.Notice(), 0);
    set_->Dm.ReleasePreview(a);  // what a command that changes the file does first
    EXPECT_EQ(vue.Notice(), 9);
    EXPECT_EQ(
        vue.NoticeMarkup(),
        "<br><br><br><b><i><SIZE 14>Vidéo non disponible</size></i></b><br><br>Interruption temporaire de la "
        "vidéo<br>pour exécuter une commande<br><br><b><color blue>prise.avi</color></b>");
    EXPECT_FALSE(w->Preview().Opened);
    // The end of the command refreshes the active file, which opens it again.
    w->Engine().OnEndCommand();
    ASSERT_TRUE(WaitFor([&] { return w->Preview().Opened && vue.Notice() == 0; }));
    EXPECT_TRUE(w->close());
}

TEST_F(PreviewFrameTest, VolumeAndMuteReachTheAudioDevice) {
    auto w = Open({Clip("son.avi", 6)});
    auto device = std::make_shared<VolumeDevice>();
    w->VueFrame().SetAudio(device, nullptr);
    ASSERT_TRUE(w->VueFrame().OpenActive());
    ASSERT_TRUE(w->Preview().AudioRendered);
    auto& volume = As<TIntegerAction>("iaVolume", *w);
    volume.SetValue(12'000);
    EXPECT_EQ(volume.CurrentValue(), 10'000);
    EXPECT_DOUBLE_EQ(device->volume_, 1.0);
    EXPECT_EQ(w->InfoPanel().Gauge2()->value(), 100);
    Run(*w, "naDecVolume");
    EXPECT_EQ(volume.CurrentValue(), 9'000);
    EXPECT_DOUBLE_EQ(device->volume_, 0.9);
    As<TCheckAction>("caMute", *w).SetChecked(true);
    EXPECT_DOUBLE_EQ(device->volume_, 0.0);
    volume.SetValue(3'000);  // muted: only the gauge moves
    EXPECT_DOUBLE_EQ(device->volume_, 0.0);
    EXPECT_EQ(w->InfoPanel().Gauge2()->value(), 30);
    As<TCheckAction>("caMute", *w).SetChecked(false);
    EXPECT_DOUBLE_EQ(device->volume_, 0.3);
    EXPECT_TRUE(w->close());
}

TEST_F(PreviewFrameTest, FullScreenPutsTheVideoOnTheBackdropAndBack) {
    auto w = Open({Clip("plein.avi", 6)});
    TVueFrame& vue = w->VueFrame();
    auto& full = As<TCheckAction>("caFullscreen", *w);
    full.SetChecked(true);
    EXPECT_TRUE(w->PreviewHandlers().FullScreen());
    EXPECT_TRUE(w->PreviewHandlers().Plaque().isVisible());
    EXPECT_EQ(vue.vw().parentWidget(), &w->PreviewHandlers().Plaque());
    Run(*w, "naInterrompre");  // only leaves full screen
    EXPECT_FALSE(full.Checked());
    EXPECT_FALSE(w->PreviewHandlers().Plaque().isVisible());
    EXPECT_EQ(vue.vw().parentWidget(), &vue);
    EXPECT_TRUE(vue.vw().isVisible());
    EXPECT_TRUE(w->close());
}

TEST_F(PreviewFrameTest, TheCopiedPictureIsTheDecodedFrameWithItsOverlay) {
    auto w = Open({Clip("copie.avi", 6)});
    TVueFrame& vue = w->VueFrame();
    Run(*w, "naAvanceFrame");
    ASSERT_TRUE(WaitFor([&] {
        vue.vw().update();
        return vue.vw().CurrentFrame() && vue.vw().CurrentFrame()->frameNumber == 1;
    }));
    const QImage onScreen = vue.vw().CurrentImage();
    w->Catalogue().CopyPictureEntry.Execute();
    const QImage copied = QGuiApplication::clipboard()->image().convertToFormat(QImage::Format_RGB888);
    ASSERT_EQ(copied.size(), onScreen.size());
    EXPECT_EQ(copied, onScreen);
    EXPECT_TRUE(w->close());
}

TEST(VideFrameTest, ThePageHasItsTextAndADrawnIllustration) {
    test::EnsureApplication();
    TVideFrame page;
    EXPECT_EQ(page.size(), QSize(301, 467));
    const QString text = page.LinkEdit1().toPlainText();
    EXPECT_TRUE(text.contains(
        QString::fromUtf8("Seuls les fichiers .avi seront traités, les autres seront ignorés.")));
    EXPECT_TRUE(text.contains("Shift+Ctrl+F7"));
    EXPECT_TRUE(VideFrameText().endsWith(QString::fromUtf8("mots-clés de script. ")));
    const QImage image = page.Image1().pixmap().toImage();
    ASSERT_FALSE(image.isNull());
    EXPECT_NE(image.pixelColor(image.width() / 2, image.height() * 3 / 4), QColor(Qt::white));
}

}  // namespace
}  // namespace velinor
