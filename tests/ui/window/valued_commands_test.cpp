// The commands whose value is chosen in a dialog, on a window with real DV clips: each starts
// only when its dialog is accepted, with the value as its parameter; a cancelled dialog starts
// nothing. The time-offset dialog shifts the preview's datecode while it is open, and the
// display shift fills labDecalage.
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <filesystem>

#include <gtest/gtest.h>

#include "actions/actions.h"
#include "commands/command_set.h"
#include "filelist/avi_fichier.h"
#include "filters/overlay_texts.h"
#include "support/temp_dir.h"
#include "ui/decalage/decalage_form.h"
#include "ui/info/info_panel.h"
#include "ui/intervalle/intervalle_form.h"
#include "ui/introduire/introduire_form.h"
#include "ui/kit/qt_dispatcher.h"
#include "ui/ui_harness.h"
#include "ui/window/main_window.h"

namespace velinor {
namespace {

namespace fs = std::filesystem;
using test::ModalResponder;
using test::WaitFor;

class ValuedCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::EnsureApplication();
        clip_ = (dir_.path() / "clip.avi").string();
        test::WriteDvClip(clip_, {2004, 7, 14, 14, 0, 0}, 6);
        const PreferencesPaths where = test::ScratchPreferences(dir_.path());
        ui_ = std::make_unique<QtUiDispatcher>();
        set_ = test::MakeCommandSet(*ui_);
        window_ = std::make_unique<TUIForm>(*set_, where, std::vector<std::string>{clip_});
        window_->ChooseMode = [](const std::string&) { return TSavePreferences::spRegistre; };
        window_->show();
        window_->Activate();
        ASSERT_TRUE(WaitFor([&] { return !window_->List().Busy() && window_->List().Count() == 1; }));
        window_->List().SetActiveIndex(0);
        window_->List().SelectAllFichiers(true);
        ASSERT_TRUE(WaitFor([&] { return window_->ActiveRecord() != nullptr; }));
    }
    void TearDown() override {
        WaitFor([&] { return !window_->CommandRunning(); });
        window_.reset();
        set_.reset();
    }

    TCustomAbstractAction& Action(const char* name) { return *window_->Action(name); }
    // Waits for the engine to finish whatever it started.
    bool Settled() {
        return WaitFor([&] { return !window_->CommandRunning() && !window_->Engine().Running(); });
    }
    std::vector<std::string> Produced() {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_.path()))
            if (entry.path().string() != clip_ && entry.is_regular_file())
                names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    double DisplayShift() { return set_->Texts.snapshot()->DecalageDisplay; }

    test::TempDir dir_;
    std::string clip_;
    std::unique_ptr<QtUiDispatcher> ui_;
    std::unique_ptr<TCommandSet> set_;
    std::unique_ptr<TUIForm> window_;
};

template <class T>
T* Dialog(QWidget* modal) {
    return dynamic_cast<T*>(modal);
}

TEST_F(ValuedCommandsTest, ShiftCommandStartsOnlyOnOk) {
    // Cancelled: nothing runs, and the preview is back to its shift.
    ModalResponder cancel;
    double shownWhileOpen = -1;
    cancel.Then([&](QWidget* modal) {
        auto* form = Dialog<TDecalageForm>(modal);
        if (!form) return false;
        form->cbAvance->setChecked(false);
        form->rxHeureSolo->setValue(3);
        shownWhileOpen = DisplayShift();
        EXPECT_EQ(form->LabResultat->text(), "3 heures");
        form->bbCancel->click();
        return true;
    });
    Action("ccDecalerHoraire").Execute();
    ASSERT_TRUE(cancel.Done());
    EXPECT_DOUBLE_EQ(shownWhileOpen, 0.125);
    EXPECT_EQ(DisplayShift(), 0);
    ASSERT_TRUE(Settled());
    EXPECT_TRUE(Produced().empty());
    EXPECT_EQ(set_->Conversions.Settings.ConfirmedShift, 0);

    // Accepted: the command runs with the offset, which becomes the confirmed shift.
    ModalResponder ok;
    ok.Then([&](QWidget* modal) {
        auto* form = Dialog<TDecalageForm>(modal);
        if (!form) return false;
        form->rxHeureSolo->setValue(3);
        form->bbOK->click();
        return true;
    });
    Action("ccDecalerHoraire").Execute();
    ASSERT_TRUE(ok.Done());
    EXPECT_DOUBLE_EQ(set_->Conversions.Settings.ConfirmedShift, 0.125);
    ASSERT_TRUE(WaitFor([&] { return fs::exists(dir_.path() / "clip_(+3h).avi"); }));
    ASSERT_TRUE(Settled());
}

TEST_F(ValuedCommandsTest, AdvancedModeFollowsItsAction) {
    auto& advanced = dynamic_cast<TCheckAction&>(Action("caAdvancedDecalage"));
    TDecalageForm& form = window_->DecalageForm();
    advanced.SetChecked(true);
    EXPECT_TRUE(form.cbAvance->isChecked());
    EXPECT_TRUE(form.Panel1->isHidden());
    EXPECT_FALSE(form.gbFin->isHidden());
    form.cbAvance->click();
    EXPECT_FALSE(advanced.Checked());
    EXPECT_FALSE(form.Panel1->isHidden());
    EXPECT_TRUE(form.gbFin->isHidden());
}

TEST_F(ValuedCommandsTest, DatecodeAndIntervalCommandsStartOnlyOnOk) {
    struct Case {
        const char* action;
        std::function<bool(QWidget*, bool ok)> answer;
        const char* produced;
    };
    const Case cases[] = {
        {"ccIntroduireDatecode",
         [](QWidget* modal, bool ok) {
             auto* form = Dialog<TIntroduireForm>(modal);
             if (!form) return false;
             form->Debut.DateEdit2->setDate(QDate(2001, 2, 3));
             form->Debut.RxSpinEdit4->setValue(4);
             (ok ? form->bbOK : form->bbCancel)->click();
             return true;
         },
         "clip_datecode.avi"},
        {"ccCreerScnByIntervalle",
         [](QWidget* modal, bool ok) {
             auto* form = Dialog<TIntervalleForm>(modal);
             if (!form) return false;
             EXPECT_EQ(form->Edit1->text(), "20");
             form->Edit1->setText(" 1 ");
             (ok ? form->BitBtn1 : form->BitBtn2)->click();
             return true;
         },
         "clip.scn"},
    };
    for (const Case& c : cases) {
        for (bool ok : {false, true}) {
            ModalResponder responder;
            responder.Then([&](QWidget* modal) { return c.answer(modal, ok); });
            Action(c.action).Execute();
            ASSERT_TRUE(responder.Done()) << c.action;
            ASSERT_TRUE(Settled()) << c.action;
            if (!ok) {
                EXPECT_TRUE(Produced().empty()) << c.action;
                continue;
            }
            EXPECT_TRUE(WaitFor([&] { return fs::exists(dir_.path() / c.produced); })) << c.action;
            ASSERT_TRUE(Settled());
            fs::remove(dir_.path() / c.produced);
        }
    }
    // The accepted interval is proposed next time.
    ModalResponder again;
    again.Then([&](QWidget* modal) {
        auto* form = Dialog<TIntervalleForm>(modal);
        if (!form) return false;
        EXPECT_EQ(form->Edit1->text(), "1");
        form->Edit1->setText("abc");
        form->BitBtn1->click();
        return true;
    });
    Action("ccCreerScnByIntervalle").Execute();
    ASSERT_TRUE(again.Done());
    ASSERT_TRUE(Settled());
    EXPECT_TRUE(Produced().empty());
}

TEST_F(ValuedCommandsTest, DisplayShiftFillsTheLabel) {
    struct Case {
        double days;
        bool visible;
        const char* text;
    };
    const Case cases[] = {{2.0 / 24, true, "+2 heures"},
                          {-0.5, true, "-12 heures"},
                          {-(1 + 1.0 / 1440), true, "-1 jours 00h -01m 00s"},
                          {0, false, ""}};
    auto& display = dynamic_cast<TDoubleAction&>(Action("daDecalageDisplay"));
    QLabel* label = window_->InfoPanel().Label("labDecalage");
    for (const Case& c : cases) {
        display.SetValue(c.days);
        EXPECT_EQ(label->isVisible(), c.visible) << c.days;
        EXPECT_EQ(label->text().toStdString(), c.visible ? c.text : label->text().toStdString());
        EXPECT_EQ(window_->ActiveRecord()->Decalage, c.days);
        EXPECT_EQ(DisplayShift(), c.days);
    }
}

TEST_F(ValuedCommandsTest, WordExportAsksFirst) {
    std::string seen;
    ModalResponder no;
    no.Then(ModalResponder::Click("Non", &seen));
    Action("ccExporterScenesWord").Execute();
    ASSERT_TRUE(no.Done());
    EXPECT_TRUE(seen.starts_with("Attention !\r\nCette commande n'est plus disponible")) << seen;
    ASSERT_TRUE(Settled());
    EXPECT_TRUE(Produced().empty());
}

}  // namespace
}  // namespace velinor
