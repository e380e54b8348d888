// Overlay editing in the window on real DV clips: the editing mode and its corner, the overlay
// sliders and the drag on the video, the overlay editor's controls both ways, the preview picture
// that changes only where the text is, and the burn-in that draws what the preview showed.
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QComboBox>
#include <QFontComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QRadioButton>
#include <QSlider>
#include <QToolButton>
#include <cstdlib>
#include <filesystem>
#include <functional>

#include <gtest/gtest.h>

#include "actions/actions.h"
#include "commands/command_set.h"
#include "commands/viewdm.h"
#include "filters/dv_superposer.h"
#include "filters/graph_filters.h"
#include "graph/dv_codec.h"
#include "graph/sinks.h"
#include "media/dv_frame_source.h"
#include "support/temp_dir.h"
#include "ui/kit/color_button.h"
#include "ui/kit/qt_dispatcher.h"
#include "ui/overlay/edit_incrust_form.h"
#include "ui/preview/preview_handlers.h"
#include "ui/preview/video_window.h"
#include "ui/preview/vue_frame.h"
#include "ui/ui_harness.h"
#include "ui/window/main_window.h"

namespace velinor {
namespace {

namespace fs = std::filesystem;
using test::WaitFor;

// Keeps the volume the preview sets.
class VolumeDevice : public graph::HeadlessAudioDevice {
public:
    void setVolume(double volume) override { volume_ = volume; }
    double volume_ = -1;
};

void Mouse(QWidget& widget, QEvent::Type type, QPoint at) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButtons buttons = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(at), widget.mapToGlobal(QPointF(at)), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(&widget, &event);
}

struct Picture {
    int width = 0, height = 0;
    std::vector<uint8_t> pixels;  // BGR, bottom-up, rows padded to 4 bytes
    size_t stride() const { return (size_t(width) * 3 + 3) & ~size_t(3); }
    const uint8_t* at(int x, int y) const {
        return pixels.data() + size_t(height - 1 - y) * stride() + size_t(x) * 3;
    }
};

Picture Snapshot(const Tviewdm& preview) {
    Picture p;
    EXPECT_TRUE(preview.SnapshotPicture(p.width, p.height, p.pixels));
    return p;
}

bool Differs(const Picture& a, const Picture& b, int x, int y, int tolerance = 0) {
    for (int c = 0; c < 3; ++c)
        if (std::abs(int(a.at(x, y)[c]) - int(b.at(x, y)[c])) > tolerance) return true;
    return false;
}

class EditIncrustTest : public ::testing::Test {
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
        EXPECT_TRUE(window->Preview().Opened);
        return window;
    }
    std::string Clip(const std::string& name, int frames) {
        const std::string path = (dir_.path() / name).string();
        test::WriteDvClip(path, {2011, 7, 14, 9, 30, 0}, frames);
        return path;
    }
    template <class T>
    static T& As(const char* name, TUIForm& w) {
        auto* typed = dynamic_cast<T*>(w.Action(name));
        if (!typed) throw std::runtime_error(std::string("pas d'action ") + name);
        return *typed;
    }

    test::TempDir dir_;
    std::unique_ptr<QtUiDispatcher> ui_;
    std::unique_ptr<TCommandSet> set_;
};

TEST_F(EditIncrustTest, TheEditingModeShowsTheSlidersLoopsTheVideoAndPutsEverythingBack) {
    auto w = Open({Clip("boucle.avi", 8)});
    TVueFrame& vue = w->VueFrame();
    TEditIncrustForm& form = w->EditIncrustForm();
    auto& edit = As<TCheckAction>("caEditerIncrust", *w);
    auto& show = As<TCheckAction>("caAfficherIncrustation", *w);
    auto& ctrl = As<TCheckAction>("caCTRLShortcuts", *w);
    auto& play = As<TCheckAction>("caPlayPause", *w);
    As<TIntegerAction>("iaWhenIncrust", *w).SetValue(2);
    EXPECT_EQ(w->Preview().Overlay().Overlay.DisplayMode(), 2);
    EXPECT_EQ(form.windowTitle().toStdString(), "Editer l'incrustation");
    EXPECT_FALSE(form.isVisible());
    ASSERT_TRUE(vue.Shape1().isVisible());

    // The corner turns the mode on.
    Mouse(vue.Shape1(), QEvent::MouseButtonPress, {5, 5});
    Mouse(vue.Shape1(), QEvent::MouseButtonRelease, {5, 5});
    ASSERT_TRUE(edit.Checked());
    EXPECT_TRUE(vue.incrustHorz().isVisible());
    EXPECT_TRUE(vue.incrustVert().isVisible());
    EXPECT_FALSE(vue.labTimeStamp().isVisible());
    EXPECT_TRUE(show.Checked());
    EXPECT_TRUE(ctrl.Checked());
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(form.PoliceBar().isVisible());
    EXPECT_TRUE(form.AlignBar().isVisible());
    EXPECT_EQ(w->Preview().Overlay().Overlay.DisplayMode(), 0);
    // A display mode chosen while editing waits for the end of the mode.
    form.rbJour().click();
    EXPECT_EQ(As<TIntegerAction>("iaWhenIncrust", *w).CurrentValue(), 3);
    EXPECT_EQ(w->Preview().Overlay().Overlay.DisplayMode(), 0);

    // Played past its end, the clip starts again. The play states the refreshes posted come first,
    // as they would before the user's next click.
    QApplication::processEvents();
    play.SetChecked(true);
    const int64_t before = vue.vw().FramesShown();
    ASSERT_TRUE(WaitFor([&] { return vue.vw().FramesShown() > before + 20; }))
        << vue.vw().FramesShown() - before << " state " << w->Preview().State() << " play " << play.Checked()
        << " pos " << w->Preview().CurrentPosition();
    EXPECT_TRUE(play.Checked());
    EXPECT_EQ(w->Preview().State(), Tviewdm::kStateRunning);

    // Closing the editor ends the mode, which puts everything back; the clip stops at its end.
    form.close();
    EXPECT_FALSE(edit.Checked());
    EXPECT_FALSE(form.isVisible());
    EXPECT_FALSE(vue.incrustHorz().isVisible());
    EXPECT_FALSE(vue.incrustVert().isVisible());
    EXPECT_TRUE(vue.labTimeStamp().isVisible());
    EXPECT_FALSE(ctrl.Checked());
    EXPECT_EQ(w->Preview().Overlay().Overlay.DisplayMode(), 3);
    ASSERT_TRUE(WaitFor([&] { return !play.Checked(); }));

    // The corner toggles it back on, and off.
    Mouse(vue.Shape1(), QEvent::MouseButtonRelease, {5, 5});
    EXPECT_TRUE(edit.Checked());
    Mouse(vue.Shape1(), QEvent::MouseButtonRelease, {5, 5});
    EXPECT_FALSE(edit.Checked());
    EXPECT_TRUE(w->close());
}

TEST_F(EditIncrustTest, TheSlidersAndTheDragOnTheVideoMoveTheAnchor) {
    auto w = Open({Clip("glisse.avi", 30)});
    TVueFrame& vue = w->VueFrame();
    Tviewdm& p = w->Preview();
    auto device = std::make_shared<VolumeDevice>();
    vue.SetAudio(device, nullptr);
    ASSERT_TRUE(vue.OpenActive());
    auto& x = As<TIntegerAction>("iaIncrustX", *w);
    auto& y = As<TIntegerAction>("iaIncrustY", *w);
    As<TIntegerAction>("iaVolume", *w).SetValue(6000);
    As<TCheckAction>("caEditerIncrust", *w).SetChecked(true);

    // The vertical slider runs upwards: its top is the top of the picture.
    vue.incrustVert().setValue(vue.incrustVert().maximum());
    EXPECT_EQ(y.CurrentValue(), 0);
    vue.incrustVert().setValue(300);
    EXPECT_EQ(y.CurrentValue(), 700);
    y.SetValue(250);
    EXPECT_EQ(vue.incrustVert().value(), 750);
    vue.incrustHorz().setValue(100);
    EXPECT_EQ(x.CurrentValue(), 100);
    x.SetValue(1200);  // clamped, and the slider shows it
    EXPECT_EQ(x.CurrentValue(), 1000);
    EXPECT_EQ(vue.incrustHorz().value(), 1000);

    // Pressing a slider plays the video without sound; the release pauses it with the volume back.
    ASSERT_EQ(p.State(), Tviewdm::kStatePaused);
    Mouse(vue.incrustHorz(), QEvent::MouseButtonPress, {10, vue.incrustHorz().height() / 2});
    EXPECT_EQ(p.State(), Tviewdm::kStateRunning);
    EXPECT_DOUBLE_EQ(device->volume_, 0.0);
    Mouse(vue.incrustHorz(), QEvent::MouseButtonRelease, {10, vue.incrustHorz().height() / 2});
    EXPECT_EQ(p.State(), Tviewdm::kStatePaused);
    EXPECT_DOUBLE_EQ(device->volume_, 0.6);

    // A drag on the video sets the anchor in per mille of the picture and plays while it lasts.
    TVideoWindow& video = vue.vw();
    const int vw = video.width(), vh = video.height();
    const auto perMille = [](int at, int size) { return int(int64_t(at) * 1000 / size); };
    Mouse(video, QEvent::MouseButtonPress, {vw / 2, vh / 4});
    EXPECT_EQ(x.CurrentValue(), perMille(vw / 2, vw));
    EXPECT_EQ(y.CurrentValue(), perMille(vh / 4, vh));
    EXPECT_EQ(p.State(), Tviewdm::kStateRunning);
    Mouse(video, QEvent::MouseMove, {vw / 4, vh * 3 / 4});
    EXPECT_EQ(x.CurrentValue(), perMille(vw / 4, vw));
    EXPECT_EQ(y.CurrentValue(), perMille(vh * 3 / 4, vh));
    Mouse(video, QEvent::MouseMove, {-20, vh + 50});  // beyond the picture: at its edges
    EXPECT_EQ(x.CurrentValue(), 0);
    EXPECT_EQ(y.CurrentValue(), 1000);
    Mouse(video, QEvent::MouseButtonRelease, {0, 0});
    EXPECT_EQ(p.State(), Tviewdm::kStatePaused);
    EXPECT_FALSE(w->PreviewHandlers().DraggingOverlay());

    // A release without a drag leaves the play state alone, in the mode and out of it.
    As<TCheckAction>("caPlayPause", *w).SetChecked(true);
    ASSERT_EQ(p.State(), Tviewdm::kStateRunning);
    Mouse(video, QEvent::MouseButtonRelease, {10, 10});
    EXPECT_EQ(p.State(), Tviewdm::kStateRunning);
    As<TCheckAction>("caEditerIncrust", *w).SetChecked(false);
    Mouse(video, QEvent::MouseButtonPress, {10, 10});  // no drag outside the mode
    EXPECT_EQ(x.CurrentValue(), 0);
    Mouse(video, QEvent::MouseButtonRelease, {10, 10});
    EXPECT_EQ(p.State(), Tviewdm::kStateRunning);
    As<TCheckAction>("caPlayPause", *w).SetChecked(false);
    EXPECT_TRUE(w->close());
}

TEST_F(EditIncrustTest, EachControlOfTheEditorSetsItsSettingAndFollowsIt) {
    const std::string noel = Clip("noel.avi", 4);
    auto w = Open({noel});
    TEditIncrustForm& f = w->EditIncrustForm();
    TOverlaySettings& o = set_->Overlay;
    const auto font = [&] { return o.faIncrustFont.CurrentValue(); };
    const auto borderItem = [&](int k) { return f.BorderSizes().actions().at(k); };

    struct Case {
        const char* what;
        std::function<void()> use;    // what the user does in the control
        std::function<bool()> used;   // the setting holds it
        std::function<void()> set;    // the setting changes elsewhere (a script, the preferences)
        std::function<bool()> shown;  // the control shows it
    };
    const Case cases[] = {
        {"tbTimecode", [&] { f.tbTimecode().click(); }, [&] { return o.iaWhatIncrust.CurrentValue() == 1; },
         [&] { o.iaWhatIncrust.SetValue(2); }, [&] { return f.tbSetPerso().isChecked(); }},
        {"tbSetDatecode", [&] { f.tbSetDatecode().click(); },
         [&] { return o.iaWhatIncrust.CurrentValue() == 0; }, [&] { o.iaWhatIncrust.SetValue(1); },
         [&] { return f.tbSetTimecode().isChecked(); }},
        {"tbPerso", [&] { f.tbPerso().click(); }, [&] { return o.iaWhatIncrust.CurrentValue() == 2; },
         [&] { o.iaWhatIncrust.SetValue(0); }, [&] { return f.tbSetDatecode().isChecked(); }},
        {"cbDatecode1", [&] { f.cbDatecode1().setCurrentIndex(5); },
         [&] { return o.waFormatdatecode1.CurrentValue() == "d mmm yyyy"; },
         [&] { o.waFormatdatecode1.SetValue("dddddd"); },
         [&] { return f.cbDatecode1().currentText() == "dddddd"; }},
        {"cbDatecode2 typed", [&] { f.cbDatecode2().setEditText("hh:nn"); },
         [&] { return o.waFormatDatecode2.CurrentValue() == "hh:nn"; },
         [&] { o.waFormatDatecode2.SetValue("tt"); }, [&] { return f.cbDatecode2().currentText() == "tt"; }},
        {"edPerso1", [&] { f.edPerso1().setText("%F - %D"); },
         [&] { return o.waPerso1.CurrentValue() == "%F - %D"; }, [&] { o.waPerso1.SetValue("Vacances %U"); },
         [&] { return f.edPerso1().text() == "Vacances %U"; }},
        {"edPerso2", [&] { f.edPerso2().setText("%T"); }, [&] { return o.waperso2.CurrentValue() == "%T"; },
         [&] { o.waperso2.SetValue("%C"); }, [&] { return f.edPerso2().text() == "%C"; }},
        {"FontComboBox1", [&] { f.FontComboBox1().setCurrentFont(QFont("DejaVu Serif")); },
         [&] { return font().Name == f.FontComboBox1().currentFont().family().toStdString(); },
         [&] {
             TFont t = font();
             t.Name = "DejaVu Sans Mono";
             o.faIncrustFont.SetValue(t);
         },
         [&] { return f.FontComboBox1().currentFont().family() == "DejaVu Sans Mono"; }},
        {"cbSize auto", [&] { f.cbSize().setCurrentIndex(0); }, [&] { return font().Size == -1; },
         [&] {
             TFont t = font();
             t.Size = 36;
             o.faIncrustFont.SetValue(t);
         },
         [&] { return f.cbSize().currentText() == "36"; }},
        {"cbSize unreadable", [&] { f.cbSize().setEditText("grand"); }, [&] { return font().Size == 0; },
         [&] {
             TFont t = font();
             t.Size = -1;
             o.faIncrustFont.SetValue(t);
         },
         [&] { return f.cbSize().currentText() == "auto"; }},
        {"tbBold", [&] { f.tbBold().click(); }, [&] { return font().Bold; },
         [&] {
             TFont t = font();
             t.Bold = false;
             o.faIncrustFont.SetValue(t);
         },
         [&] { return !f.tbBold().isChecked(); }},
        {"tbItalic", [&] { f.tbItalic().click(); }, [&] { return font().Italic; },
         [&] {
             TFont t = font();
             t.Italic = false;
             o.faIncrustFont.SetValue(t);
         },
         [&] { return !f.tbItalic().isChecked(); }},
        {"tbUnderline", [&] { f.tbUnderline().click(); }, [&] { return font().Underline && !font().Bold; },
         [&] {
             TFont t = font();
             t.Underline = false;
             o.faIncrustFont.SetValue(t);
         },
         [&] { return !f.tbUnderline().isChecked(); }},
        {"ColorButton", [&] { f.ColorButton().ChooseColor(QColor(255, 0, 0)); },
         [&] { return font().Color == 0x0000FF; },
         [&] {
             TFont t = font();
             t.Color = 0xFF8000;  // 0x00BBGGRR: blue ff, green 80
             o.faIncrustFont.SetValue(t);
         },
         [&] { return f.ColorButton().Color() == QColor(0, 0x80, 0xFF); }},
        {"tbBorder", [&] { borderItem(4)->trigger(); },
         [&] { return o.iaBorderSize.CurrentValue() == 4 && f.tbBorder().text() == "4"; },
         [&] { o.iaBorderSize.SetValue(1); },
         [&] { return borderItem(1)->isChecked() && f.tbBorder().text() == "1"; }},
        {"tbBorder refuses 7", [&] { borderItem(0)->trigger(); },
         [&] { return o.iaBorderSize.CurrentValue() == 0 && f.tbBorder().text() == "0"; },
         [&] { o.iaBorderSize.SetValue(7); },
         [&] {
             return o.iaBorderSize.CurrentValue() == 0 && borderItem(0)->isChecked() &&
                    f.tbBorder().text() == "0";
         }},
        {"rbScene", [&] { f.rbScene().click(); }, [&] { return o.iaWhenIncrust.CurrentValue() == 2; },
         [&] { o.iaWhenIncrust.SetValue(1); }, [&] { return f.rbUnique().isChecked(); }},
        {"edDuree", [&] { f.edDuree().setText("12"); },
         [&] { return o.iaDureeIncrustation.CurrentValue() == 12; },
         [&] { o.iaDureeIncrustation.SetValue(7); }, [&] { return f.edDuree().text() == "7"; }},
        {"edDuree unreadable", [&] { f.edDuree().setText("dix"); },
         [&] { return o.iaDureeIncrustation.CurrentValue() == 0; },
         [&] { o.iaDureeIncrustation.SetValue(5); }, [&] { return f.edDuree().text() == "5"; }},
        {"tbSousTitre", [&] { f.tbSousTitre().click(); },
         [&] {
             return o.Layout() == 3 && o.iaIncrustX.CurrentValue() == 500 &&
                    w->VueFrame().incrustHorz().value() == 500;
         },
         [&] { o.SetLayout(2); }, [&] { return f.tbRightAlign().isChecked(); }},
    };
    for (const Case& c : cases) {
        c.use();
        EXPECT_TRUE(c.used()) << c.what;
        c.set();
        EXPECT_TRUE(c.shown()) << c.what;
    }
    EXPECT_EQ(w->Preview().Overlay().Overlay.BorderSize(), 0);
    EXPECT_EQ(w->Preview().Overlay().Overlay.Layout(), 2);

    // The custom lines take the active file's values, and the examples show them.
    o.waPerso1.SetValue("%F - %D");
    o.waperso2.SetValue("%T%E");
    f.tbSetPerso().click();
    auto texts = set_->Texts.snapshot();
    EXPECT_EQ(texts->Template1, "noel - %D1");
    EXPECT_EQ(texts->Template2, "%T.avi");
    o.waFormatdatecode1.SetValue("yyyy");
    EXPECT_EQ(f.LabTexte().text().toStdString(), "noel - 2011\n00.01.02.03.avi")
        << f.LabTexte().text().toStdString();
    EXPECT_EQ(f.labDatecode().text().split('\n').value(0).toStdString(), "2011");
    EXPECT_TRUE(f.labHelp().text().contains(QString::fromUtf8("%C = codec - %U = durée")));
    EXPECT_TRUE(w->close());
}

TEST_F(EditIncrustTest, TheCustomTextsFollowTheActiveFile) {
    const std::string a = Clip("noel.avi", 4), b = Clip("paques.avi", 4);
    auto w = Open({a, b});
    TOverlaySettings& o = set_->Overlay;
    o.waPerso1.SetValue("%F");
    o.iaWhatIncrust.SetValue(2);
    for (const std::string& path : {a, b, a}) {
        w->List().SetActiveIndex(w->List().IndexOfPath(path));
        EXPECT_EQ(set_->Texts.snapshot()->Template1, fs::path(path).stem().string());
    }
    // A burn-in prepares the texts for each file it takes; the refreshed active file gets its own back.
    o.SetOverlayRecord(w->List().Item(w->List().IndexOfPath(b)));
    o.PrepareOverlayTexts();
    w->RefreshActiveFile();
    EXPECT_EQ(set_->Texts.snapshot()->Template1, "noel");
    EXPECT_TRUE(w->close());
}

TEST_F(EditIncrustTest, AChangeOfTheOverlayChangesThePreviewOnlyWhereTheTextIs) {
    auto w = Open({Clip("pixels.avi", 4)});
    Tviewdm& p = w->Preview();
    TOverlaySettings& o = set_->Overlay;
    auto& show = As<TCheckAction>("caAfficherIncrustation", *w);
    show.SetChecked(false);
    const Picture bare = Snapshot(p);
    show.SetChecked(true);
    Picture before = Snapshot(p);
    ASSERT_EQ(before.width, 720);

    struct Change {
        const char* what;
        std::function<void()> apply;
    };
    TEditIncrustForm& f = w->EditIncrustForm();
    const Change changes[] = {
        {"size", [&] { f.cbSize().setCurrentText("28"); }},
        {"bold", [&] { f.tbBold().click(); }},
        {"colour", [&] { f.ColorButton().ChooseColor(QColor(255, 255, 0)); }},
        {"border", [&] { f.BorderSizes().actions().at(5)->trigger(); }},
        {"no border", [&] { f.BorderSizes().actions().at(0)->trigger(); }},
        {"position", [&] { o.iaIncrustX.SetValue(300), o.iaIncrustY.SetValue(200); }},
        {"vertical slider", [&] { w->VueFrame().incrustVert().setValue(500); }},
        {"centred", [&] { f.tbCenter().click(); }},
        {"font", [&] { f.FontComboBox1().setCurrentFont(QFont("DejaVu Serif")); }},
        {"timecode", [&] { f.tbTimecode().click(); }},
    };
    for (const Change& c : changes) {
        c.apply();
        const Picture after = Snapshot(p);
        ASSERT_EQ(after.pixels.size(), before.pixels.size()) << c.what;
        int changed = 0, elsewhere = 0;
        for (int y = 0; y < after.height; ++y)
            for (int x = 0; x < after.width; ++x) {
                if (!Differs(before, after, x, y)) continue;
                ++changed;
                // Text is where a picture differs from the one without text.
                if (!Differs(before, bare, x, y) && !Differs(after, bare, x, y)) ++elsewhere;
            }
        EXPECT_GT(changed, 50) << c.what;
        EXPECT_EQ(elsewhere, 0) << c.what;
        before = after;
    }
    EXPECT_TRUE(w->close());
}

TEST_F(EditIncrustTest, TheBurntInPictureIsThePreviewsPicture) {
    const std::string source = Clip("brule.avi", 6);
    auto w = Open({source});
    Tviewdm& p = w->Preview();
    TEditIncrustForm& f = w->EditIncrustForm();
    auto& show = As<TCheckAction>("caAfficherIncrustation", *w);
    show.SetChecked(false);
    const Picture bare = Snapshot(p);
    show.SetChecked(true);
    // An edit of everything the burn-in takes: font, size, colour, border, layout and anchor.
    f.FontComboBox1().setCurrentFont(QFont("DejaVu Serif"));
    f.cbSize().setCurrentText("30");
    f.tbBold().click();
    f.ColorButton().ChooseColor(QColor(255, 255, 0));
    f.BorderSizes().actions().at(3)->trigger();
    f.tbLeftAlign().click();
    set_->Overlay.iaIncrustX.SetValue(100);
    set_->Overlay.iaIncrustY.SetValue(300);
    const Picture shown = Snapshot(p);

    w->List().SelectAllFichiers(true);
    ASSERT_TRUE(w->RunCommand("Incruster"));
    ASSERT_TRUE(WaitFor([&] { return !w->Engine().Running() && !w->CommandRunning(); }));
    const std::string burnt = (dir_.path() / "brule_in.avi").string();
    ASSERT_TRUE(fs::exists(burnt));
    auto frames = OpenAviDvFrameSource(burnt);
    std::vector<uint8_t> frame;
    ASSERT_TRUE(frames->next(frame));
    DvDecoder decoder;
    BgrPicture decoded;
    ASSERT_TRUE(decoder.decode(frame, decoded));
    ASSERT_EQ(decoded.width, shown.width);
    ASSERT_EQ(decoded.height, shown.height);

    // Where the preview drew text, the burnt frame has it too; elsewhere only the DV coding
    // differs.
    int text = 0, textMissed = 0, pictureOff = 0;
    for (int y = 0; y < shown.height; ++y) {
        const uint8_t* row = decoded.rowFromTop(y);
        for (int x = 0; x < shown.width; ++x) {
            int worst = 0;
            for (int c = 0; c < 3; ++c)
                worst = std::max(worst, std::abs(int(row[x * 3 + c]) - int(shown.at(x, y)[c])));
            if (Differs(shown, bare, x, y, 64)) {
                ++text;
                if (worst > 96) ++textMissed;
            } else if (worst > 96) {
                ++pictureOff;
            }
        }
    }
    EXPECT_GT(text, 1000);
    EXPECT_LT(textMissed, text / 20) << text;
    EXPECT_LT(pictureOff, text / 20) << text;
    EXPECT_TRUE(w->close());
}

}  // namespace
}  // namespace velinor
