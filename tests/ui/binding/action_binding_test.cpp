// The binding of typed actions to QActions: both directions, execution, shortcuts shared by two
// actions, and the key texts of the whole catalogue.
#include "ui/binding/action_binding.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QImage>
#include <QKeySequence>
#include <QPointer>

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "actions/main_catalogue.h"

namespace velinor {
namespace {

std::vector<std::string> Texts(const QList<QKeySequence>& keys) {
    std::vector<std::string> out;
    for (const QKeySequence& k : keys) out.push_back(KeySequenceText(k));
    return out;
}

// Every key text of the catalogue, also the Ctrl variants, names exactly one key combination
// that Qt writes back the same way; otherwise the binding would silently drop or change it.
TEST(ActionBinding, EveryCatalogueKeyTextIsOneQtKey) {
    TMainCatalogue cat;
    std::vector<std::string> texts;
    auto collect = [&] {
        for (const TMvActionList* list : {&cat.al, &cat.am})
            for (const TCustomAbstractAction* a : list->Actions()) {
                if (!a->ShortCut().empty()) texts.push_back(a->ShortCut());
                for (const std::string& s : a->SecondaryShortcuts) texts.push_back(s);
            }
    };
    collect();
    cat.Get<TCheckAction>("caCTRLShortcuts").SetChecked(true);
    collect();
    texts.push_back(cat.DossierParentEntry.ShortCut());
    texts.push_back(cat.CopyPictureEntry.ShortCut());
    ASSERT_GT(texts.size(), 80u);
    for (const std::string& t : texts) {
        const QKeySequence keys = KeySequenceFromText(t);
        EXPECT_EQ(keys.count(), 1) << t;
        EXPECT_NE(keys[0].key(), Qt::Key_unknown) << t;
        EXPECT_EQ(KeySequenceText(keys), t);
    }
    // The keypad is a modifier of its own: Num+1 is not the 1 of the main keys.
    EXPECT_NE(KeySequenceFromText("Ctrl+Num+1"), KeySequenceFromText("Ctrl+1"));
    EXPECT_EQ(KeySequenceFromText("Num++")[0].keyboardModifiers(), Qt::KeypadModifier);
}

TEST(ActionBinding, TypedChangesShowOnTheQAction) {
    TMvActionList list;
    auto& check = list.Create<TCheckAction>("caMute");
    check.SetFalseCaption("Couper le son");
    check.SetTrueCaption("Remettre le son");
    check.SetFalseImageIndex(ImageIndexOf(CatalogueImage::SoundOn));
    check.SetTrueImageIndex(ImageIndexOf(CatalogueImage::SoundOff));
    auto& nope = list.Create<TNopeAction>("naRiffHeader");
    ActionBinder binder;
    binder.BindList(list);
    QAction* qc = binder.Find(check);
    QAction* qn = binder.Find("naRiffHeader");
    ASSERT_TRUE(qc && qn);
    EXPECT_TRUE(qc->isCheckable());
    EXPECT_FALSE(qn->isCheckable());
    EXPECT_EQ(qc->text(), "Couper le son");
    EXPECT_FALSE(qc->icon().isNull());
    EXPECT_TRUE(qn->icon().isNull());

    check.SetChecked(true);
    EXPECT_TRUE(qc->isChecked());
    EXPECT_EQ(qc->text(), "Remettre le son");

    nope.SetCaption("Structure & en-têtes");
    EXPECT_EQ(qn->text(), "Structure && en-têtes") << "a caption has no mnemonic";
    EXPECT_EQ(qn->toolTip(), "Structure & en-têtes") << "without a hint the tip is the caption";
    nope.SetHint("Montre la structure RIFF");
    EXPECT_EQ(qn->statusTip(), "Montre la structure RIFF");
    EXPECT_EQ(qn->toolTip(), "Montre la structure RIFF");
    nope.SetEnabled(false);
    EXPECT_FALSE(qn->isEnabled());
    nope.SetVisible(false);
    EXPECT_FALSE(qn->isVisible());
    nope.SetShortCut("Ctrl+H");
    nope.SecondaryShortcuts = {"Ctrl+Shift+H"};
    binder.Refresh(nope);
    EXPECT_EQ(Texts(qn->shortcuts()), (std::vector<std::string>{"Ctrl+H", "Ctrl+Shift+H"}));
    nope.SetImageIndex(ImageIndexOf(CatalogueImage::Help));
    EXPECT_FALSE(qn->icon().isNull());
}

TEST(ActionBinding, QActionChangesGoBackToTheTypedAction) {
    TMvActionList list;
    auto& check = list.Create<TCheckAction>("caFullscreen");
    check.SetFalseCaption("Plein écran");
    check.SetTrueCaption("Quitter plein écran");
    auto& nope = list.Create<TNopeAction>("naQuit");
    ActionBinder binder;
    binder.BindList(list);
    QAction* qn = binder.Find(nope);
    QAction* qc = binder.Find(check);

    qn->setText("&Quitter && fermer");
    EXPECT_EQ(nope.Caption(), "Quitter & fermer");
    qn->setStatusTip("Ferme la fenêtre");
    EXPECT_EQ(nope.Hint(), "Ferme la fenêtre");
    qn->setEnabled(false);
    EXPECT_FALSE(nope.Enabled());
    qn->setVisible(false);
    EXPECT_FALSE(nope.Visible());
    qn->setShortcuts({QKeySequence(QStringLiteral("Alt+F4")), QKeySequence(QStringLiteral("Ctrl+Q"))});
    EXPECT_EQ(nope.ShortCut(), "Alt+F4");
    EXPECT_EQ(nope.SecondaryShortcuts, std::vector<std::string>{"Ctrl+Q"});
    qn->setShortcuts({});
    EXPECT_EQ(nope.ShortCut(), "");
    EXPECT_TRUE(nope.SecondaryShortcuts.empty());

    // A toggle's caption is the caption of the state it is in.
    qc->setText("Grand écran");
    EXPECT_EQ(check.FalseCaption(), "Grand écran");
    EXPECT_EQ(check.TrueCaption(), "Quitter plein écran");
    int applied = 0;
    check.OnAfterTrueApply = [&] { ++applied; };
    qc->setChecked(true);
    EXPECT_TRUE(check.Checked());
    EXPECT_EQ(applied, 1);
    EXPECT_EQ(qc->text(), "Quitter plein écran");
}

TEST(ActionBinding, TriggeringExecutesOnce) {
    TMvActionList list;
    auto& nope = list.Create<TNopeAction>("naSelectionnerTout");
    auto& check = list.Create<TCheckAction>("caPlayPause");
    auto& value = list.Create<TIntegerAction>("ccCreerScnByIntervalle");
    int runs = 0, trueApplies = 0, falseApplies = 0;
    std::vector<int32_t> intervals;
    nope.OnAfterApply = [&] { ++runs; };
    check.OnAfterTrueApply = [&] { ++trueApplies; };
    check.OnAfterFalseApply = [&] { ++falseApplies; };
    value.OnPrepare = [](int32_t& v) { return v = 45, true; };
    value.OnAfterApply = [&](const int32_t& v) { intervals.push_back(v); };
    ActionBinder binder;
    binder.BindList(list);

    binder.Find(nope)->trigger();
    EXPECT_EQ(runs, 1);
    binder.Find(check)->trigger();
    EXPECT_TRUE(check.Checked());
    EXPECT_EQ(trueApplies, 1);
    binder.Find(check)->trigger();
    EXPECT_FALSE(check.Checked());
    EXPECT_EQ(falseApplies, 1);
    EXPECT_FALSE(binder.Find(check)->isChecked());
    binder.Find(value)->trigger();
    EXPECT_EQ(intervals, std::vector<int32_t>{45});
}

TEST(ActionBinding, RefusedOrFailedExecutionKeepsBothSidesInStep) {
    TMvActionList list;
    auto& check = list.Create<TCheckAction>("caEditerScenes");
    auto& nope = list.Create<TNopeAction>("ccCutScenes");
    check.OnPrepare = [] { return false; };
    nope.OnAfterApply = [] { throw std::runtime_error("graphe introuvable"); };
    ActionBinder binder;
    std::vector<std::string> errors;
    binder.OnError = [&](TCustomAbstractAction& a, const std::string& what) {
        errors.push_back(a.Name() + ": " + what);
    };
    binder.BindList(list);

    binder.Find(check)->trigger();
    EXPECT_FALSE(check.Checked());
    EXPECT_FALSE(binder.Find(check)->isChecked()) << "the refused toggle is undone on the QAction";

    check.OnPrepare = nullptr;
    check.OnAfterTrueApply = [] { throw std::runtime_error("éditeur indisponible"); };
    binder.Find(check)->trigger();
    EXPECT_EQ(binder.Find(check)->isChecked(), check.Checked());
    binder.Find(nope)->trigger();
    EXPECT_EQ(errors, (std::vector<std::string>{"caEditerScenes: éditeur indisponible",
                                                "ccCutScenes: graphe introuvable"}));
}

// Qt runs neither of two enabled actions that share a key, so each key goes to one action: a
// main shortcut before an additional one, then the action bound first. The typed actions keep
// their shortcuts.
TEST(ActionBinding, SharedKeysGoToOneAction) {
    TMainCatalogue cat;
    TMvActionList ficman;
    struct ListAction {
        const char* name;
        const char* key;
    };
    const ListAction kList[] = {{"naAbort", "Esc"},          {"naOpenPreferredPlayList", "F8"},
                                {"naParentFolder", "F9"},    {"naClearSelected", "Ctrl+X"},
                                {"naVider", "Ctrl+Shift+X"}, {"waSavePlayList", "Ctrl+Shift+S"},
                                {"waOpenFolder", "Ctrl+F"},  {"naPasteFiles", "Ctrl+V"}};
    for (const ListAction& l : kList) ficman.Create<TNopeAction>(l.name).SetShortCut(l.key);

    ActionBinder binder;
    binder.BindList(cat.am);
    binder.BindList(cat.al);
    binder.Bind(cat.DossierParentEntry);
    binder.Bind(cat.CopyPictureEntry);
    binder.BindList(ficman);

    struct Case {
        const char* action;
        std::vector<std::string> keys;
    };
    const std::vector<Case> kCases = {
        {"naInterrompreTous", {"Esc"}},
        {"naAbort", {}},
        {"naReculeScene", {"F8"}},
        {"naOpenPreferredPlayList", {}},
        {"naAvanceScene", {"F9"}},
        {"naParentFolder", {}},
        {"caScript", {"F12"}},
        {"naCopierImageCourante", {}},
        {"ccExporterScenesTexte", {"Ctrl+X"}},
        {"naClearSelected", {}},
        {"ccExporterScenesExcel", {"Ctrl+Shift+X"}},
        {"naVider", {}},
        {"ccCreerSrt", {"Ctrl+Shift+S"}},
        {"waSavePlayList", {}},
        {"naDossierParent", {"Ctrl+F"}},
        {"waOpenFolder", {}},
        {"ccCorrigerType2", {"Ctrl+Shift+2"}},
        {"ccConvertirDV2", {"Ctrl+Num+2"}},
        {"ccConvertirDV1", {"Ctrl+Num+1", "Ctrl+Shift+1"}},
        {"caFullscreen", {"Alt+Return", "Ctrl+F11"}},
        {"naPasteFiles", {"Ctrl+V"}},
    };
    for (const Case& c : kCases) {
        QAction* q = binder.Find(c.action);
        ASSERT_NE(q, nullptr) << c.action;
        EXPECT_EQ(Texts(q->shortcuts()), c.keys) << c.action;
    }
    EXPECT_EQ(ficman.FindAction("naAbort")->ShortCut(), "Esc");
    EXPECT_EQ(cat.Get("ccConvertirDV2").SecondaryShortcuts, std::vector<std::string>{"Ctrl+Shift+2"});

    // No key is held by two QActions.
    std::map<QString, QString> holder;
    for (QAction* q : binder.Actions())
        for (const QKeySequence& k : q->shortcuts()) {
            const QString text = k.toString(QKeySequence::PortableText);
            EXPECT_TRUE(holder.emplace(text, q->objectName()).second)
                << text.toStdString() << " held by " << holder[text].toStdString() << " and "
                << q->objectName().toStdString();
        }

    // A key freed by its holder goes to the next claimant.
    cat.Get("naInterrompreTous").SetShortCut("");
    EXPECT_EQ(Texts(binder.Find("naAbort")->shortcuts()), std::vector<std::string>{"Esc"});
}

TEST(ActionBinding, CtrlShortcutSwitchReachesTheQActions) {
    TMainCatalogue cat;
    ActionBinder binder;
    binder.BindList(cat.al);
    auto& ctrl = cat.Get<TCheckAction>("caCTRLShortcuts");
    binder.Find(ctrl)->trigger();
    EXPECT_TRUE(ctrl.Checked());
    EXPECT_EQ(Texts(binder.Find("caPlayPause")->shortcuts()), std::vector<std::string>{"Ctrl+Space"});
    EXPECT_EQ(Texts(binder.Find("naOterSelection")->shortcuts()), std::vector<std::string>{"Ctrl+Del"});
    ctrl.SetChecked(false);
    EXPECT_EQ(Texts(binder.Find("caPlayPause")->shortcuts()), std::vector<std::string>{"Space"});
    EXPECT_EQ(Texts(binder.Find("naIncVolume")->shortcuts()), std::vector<std::string>{"Num++"});
}

TEST(ActionBinding, UnbindStopsFollowing) {
    TMvActionList list;
    auto& nope = list.Create<TNopeAction>("naEMail");
    ActionBinder binder;
    QPointer<QAction> q = binder.Bind(nope);
    EXPECT_EQ(binder.Bind(nope), q.data()) << "one QAction per action";
    EXPECT_EQ(binder.ActionOf(q), &nope);
    binder.Unbind(nope);
    EXPECT_TRUE(q.isNull());
    nope.SetCaption("après");
    EXPECT_EQ(binder.Find(nope), nullptr);
}

TEST(ActionBinding, EveryCatalogueImageIsDrawn) {
    for (int i = 0; i < static_cast<int>(CatalogueImage::Count); ++i) {
        const QIcon icon = CatalogueIcon(i);
        ASSERT_FALSE(icon.isNull()) << i;
        const QImage image = icon.pixmap(32, 32).toImage();
        int painted = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) painted += qAlpha(image.pixel(x, y)) > 0;
        EXPECT_GT(painted, 20) << "image " << i << " is empty";
    }
    EXPECT_TRUE(CatalogueIcon(-1).isNull());
    EXPECT_TRUE(CatalogueIcon(static_cast<int>(CatalogueImage::Count)).isNull());
}

}  // namespace
}  // namespace velinor
