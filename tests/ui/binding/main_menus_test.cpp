// The main window's menus and toolbar built from the catalogue: entries in order, the places
// kept for the list manager, menus hidden with an empty list, and the toolbar groups.
#include "ui/binding/main_menus.h"

#include <gtest/gtest.h>

#include <QMainWindow>
#include <QMenu>
#include <QToolBar>

#include <memory>
#include <string>
#include <vector>

namespace velinor {
namespace {

// The list manager's actions as the list manager makes them (only what the menus need).
struct FakeListManager {
    TMvActionList ficman;
    FakeListManager() {
        struct Row {
            const char* name;
            const char* caption;
            const char* key;
        };
        const Row kRows[] = {
            {"saOpenFiles", "Ouvrir...", "Ctrl+O"},
            {"waOpenFolder", "Dossier", "Ctrl+F"},
            {"waOpenPlayList", "Playlist", "Ctrl+U"},
            {"naOpenPreferredFolder", "Dossier Préféré", "F7"},
            {"naOpenPreferredPlayList", "Playlist préférée", "F8"},
            {"naPasteFiles", "Coller", "Ctrl+V"},
            {"naOpenAll", "Tout", "Ctrl+Shift+F7"},
            {"naVider", "Vider", "Ctrl+Shift+X"},
            {"naClearSelected", "Oter", "Ctrl+X"},
            {"naAbort", "Interrompre", "Esc"},
            {"waSavePlayList", "Enregistrer sous...", "Ctrl+Shift+S"},
            {"naParentFolder", "Dossier parent", "F9"},
        };
        for (const Row& r : kRows) {
            auto& a = ficman.Create<TNopeAction>(r.name);
            a.SetCaption(r.caption);
            a.SetShortCut(r.key);
            a.Category = "internal";
        }
    }
};

struct Window {
    TMainCatalogue catalogue;
    std::unique_ptr<QMainWindow> window = std::make_unique<QMainWindow>();
    std::unique_ptr<ActionBinder> binder = std::make_unique<ActionBinder>();
    MainMenus menus = BuildMainMenus(*window, catalogue, *binder);
    ~Window() {
        // The binder follows the actions: it goes before them.
        window.reset();
        binder.reset();
    }
};

// A menu's entries: action names, "-" for separators, "[Title]" for a submenu, "pending:x"
// for a place kept for the list manager.
std::vector<std::string> Entries(const QMenu* menu, const ActionBinder& binder) {
    std::vector<std::string> out;
    for (QAction* a : menu->actions()) {
        if (a->isSeparator())
            out.push_back("-");
        else if (a->menu())
            out.push_back("[" + a->menu()->title().toStdString() + "]");
        else if (TCustomAbstractAction* typed = binder.ActionOf(a))
            out.push_back(typed->InternalId);
        else
            out.push_back(a->objectName().toStdString());
    }
    return out;
}

QMenu* TopMenu(const MainMenus& menus, const char* title) {
    for (QMenu* m : menus.TopMenus)
        if (m->title() == QString::fromUtf8(title)) return m;
    return nullptr;
}

using Names = std::vector<std::string>;

TEST(MainMenus, MenusListTheirEntriesInOrder) {
    FakeListManager list;  // outlives the binder, which follows its actions
    Window w;
    AddListManagerActions(w.menus, list.ficman, *w.binder);
    EXPECT_TRUE(w.menus.pending.empty());

    struct Case {
        const char* title;
        Names entries;
    };
    const std::vector<Case> kMenus = {
        {"Fichiers",
         {"saOpenFiles", "naPasteFiles", "waOpenFolder", "naOpenPreferredFolder", "naOpenAll", "-",
          "waOpenPlayList", "naOpenPreferredPlayList", "waSavePlayList", "-", "[Trier la liste]", "naVider",
          "naOterSelection", "ccSupprimerFichier", "naDureeTotale", "naParentFolder", "-", "[Exporter]",
          "naQuit"}},
        {"Affichage", {"caVideoSeule", "caListeGauche", "caFullscreen", "caVueReduite"}},
        {"Vidéo",
         {"caPlayPause", "caMute", "caDeinterlace", "-", "ccStillor", "ccOpenFichierF3", "ccOpenFichierF4",
          "ccDefaultPlayer", "-", "naRiffHeader", "ccFrequenceVideo", "ccModifierCodec", "ccDateFichier", "-",
          "naDossierParent", "ccSupprimerFichier"}},
        {"Renommer", {"ccAjouterDatecode", "ccAjouterTimecode", "ccRenommer", "-", "ccPurgerNom"}},
        {"Convertir",
         {"ccConvertirDV1", "ccConvertirDV2", "ccRecompresserDV2", "ccCorrigerType2", "-", "ccConvertirNTSC",
          "ccConvertirPal", "ccConvertir4x3", "ccConvertir16x9", "-", "ccDecalerHoraire",
          "ccIntroduireDatecode", "ccExtraireAudio"}},
        {"Incruster",
         {"caAfficherIncrustation", "caEditerIncrust", "ccIncruster", "-", "ccCreerSrt", "ccSupprimerSrt"}},
        {"Scènes",
         {"caEditerScenes", "-", "ccCreerScnByContenu", "naCreerScnByDate", "ccCreerScnByIntervalle",
          "ccSupprimerScn", "-", "ccExporterScenesTexte", "ccExporterScenesWriter", "ccExporterScenesCalc",
          "ccExporterScenesExcel", "ccExporterScenesWord", "-", "ccCutScenes"}},
        {"?", {"caHelp", "caOptions", "caAbout", "-", "naHomePage", "ccVisitBlog", "naEMail"}},
    };
    ASSERT_EQ(w.menus.TopMenus.size(), static_cast<qsizetype>(kMenus.size()));
    for (size_t i = 0; i < kMenus.size(); ++i) {
        EXPECT_EQ(w.menus.TopMenus[static_cast<qsizetype>(i)]->title().toStdString(), kMenus[i].title);
        EXPECT_EQ(Entries(TopMenu(w.menus, kMenus[i].title), *w.binder), kMenus[i].entries)
            << kMenus[i].title;
    }
    const Names sorts = {"naOrdreAlpha",  "naTriTaille",   "naTrierModify",
                         "naTriDatecode", "naTriTimecode", "naTriDuree"};
    EXPECT_EQ(Entries(w.menus.TrierListe, *w.binder), sorts);
    EXPECT_EQ(Entries(w.menus.Exporter, *w.binder),
              (Names{"naSelectColumns", "waExportExcel", "waExportCSV"}));

    EXPECT_EQ(Entries(w.menus.mainPopup, *w.binder),
              (Names{"saOpenFiles", "naPasteFiles", "waOpenFolder", "naOpenPreferredFolder", "waOpenPlayList",
                     "-", "naVider", "waSavePlayList", "naSelectionnerTout", "[Trier]", "-", "caHelp",
                     "caOptions", "caAbout", "naQuit"}));
    EXPECT_EQ(Entries(w.menus.pmWindow, *w.binder),
              (Names{"caFullscreen", "-", "caPlayPause", "caMute", "-", "naCopierImageCourante", "-",
                     "caListeGauche", "caVideoSeule"}));

    // Entries show the captions, and the reduced view has its own key.
    QAction* reduced = w.binder->Find("caVueReduite");
    EXPECT_EQ(reduced->text().toStdString(), "Vue réduite");
    EXPECT_EQ(reduced->shortcut().toString(QKeySequence::PortableText), "Ctrl+F6");
    EXPECT_EQ(w.binder->Find("naDossierParent")->statusTip().toStdString(),
              "Cliquez pour ouvrir le dossier contenant la vidéo actuelle");
}

TEST(MainMenus, ListManagerPlacesWaitUntilAdded) {
    Window w;
    const Names fichiers = Entries(TopMenu(w.menus, "Fichiers"), *w.binder);
    EXPECT_EQ(Names(fichiers.begin(), fichiers.begin() + 6),
              (Names{"pending:saOpenFiles", "pending:naPasteFiles", "pending:waOpenFolder",
                     "pending:naOpenPreferredFolder", "pending:naOpenAll", "-"}));
    // Kept places are hidden and do not keep a menu visible.
    for (QAction* a : TopMenu(w.menus, "Fichiers")->actions())
        if (a->objectName().startsWith("pending:")) {
            EXPECT_FALSE(a->isVisible());
        }
    EXPECT_EQ(w.menus.pending.size(), 24u) << "10 in Fichiers, 7 in the context menu, 7 on the toolbar";
}

TEST(MainMenus, ToolbarButtonsInOrderWithTheirGroups) {
    FakeListManager list;  // outlives the binder, which follows its actions
    Window w;
    AddListManagerActions(w.menus, list.ficman, *w.binder);
    Names buttons;
    for (QAction* a : w.menus.MainBar->actions()) buttons.push_back(a->objectName().toStdString());
    const Names kButtons = {"tbOpenFolder",
                            "tbExportExcel",
                            "tbOpenFiles",
                            "tbPasteFiles",
                            "tbOpenPreferredFolder",
                            "tbOpenPlayList",
                            "tbClearAll",
                            "sep1",
                            "tbMute",
                            "tbAfficherIncrustation",
                            "tbDeinterlace",
                            "tbFullscreen",
                            "tbParentFolder",
                            "tbDecalageDisplay",
                            "tbEditerScenes",
                            "tbEditerIncrust",
                            "sep2",
                            "tbSupprimer",
                            "tbInserer",
                            "tbTitre",
                            "tbSauverScn",
                            "sep3",
                            "tbSavePlaylist",
                            "tbSelectionnerTout",
                            "sep4",
                            "tbHelp",
                            "tbOptions",
                            "tbScript",
                            "tbAbout",
                            "tbQuit"};
    EXPECT_EQ(buttons, kButtons);

    auto button = [&](const char* name) { return w.menus.MainBar->findChild<QAction*>(name); };
    // The scene group starts hidden; the menu entries of the same actions stay.
    for (const char* b : {"tbSupprimer", "tbInserer", "tbTitre", "tbSauverScn", "sep3"})
        EXPECT_FALSE(button(b)->isVisible()) << b;
    EXPECT_TRUE(w.binder->Find("saInsererScene")->isVisible());
    w.menus.SetGroupVisible(ToolGroup::Scene, true);
    EXPECT_TRUE(button("tbSupprimer")->isVisible());
    w.menus.SetGroupVisible(ToolGroup::List, false);
    for (const char* b : {"tbClearAll", "tbSavePlaylist", "tbSelectionnerTout", "sep4"})
        EXPECT_FALSE(button(b)->isVisible()) << b;
    EXPECT_TRUE(button("tbOpenFolder")->isVisible());

    // A hidden action hides its button even when its group shows.
    w.catalogue.Get("caMute").SetVisible(false);
    EXPECT_FALSE(button("tbMute")->isVisible());
    w.catalogue.Get("caMute").SetVisible(true);
    EXPECT_TRUE(button("tbMute")->isVisible());

    // A button runs its action and shows its state; the crossed names are the toolbar's own.
    int inserted = 0, savedList = 0;
    w.catalogue.Get<TNopeAction>("saInsererScene").OnAfterApply = [&] { ++inserted; };
    static_cast<TNopeAction*>(list.ficman.FindAction("waSavePlayList"))->OnAfterApply = [&] { ++savedList; };
    button("tbSupprimer")->trigger();
    EXPECT_EQ(inserted, 1);
    button("tbSavePlaylist")->trigger();
    EXPECT_EQ(savedList, 1);
    button("tbMute")->trigger();
    EXPECT_TRUE(w.catalogue.Get("caMute").Checked());
    EXPECT_TRUE(button("tbMute")->isChecked());
    EXPECT_EQ(button("tbMute")->text().toStdString(), "Remettre le son");
    EXPECT_TRUE(button("tbMute")->shortcuts().isEmpty()) << "keys belong to the bound action only";
}

TEST(MainMenus, EmptyListHidesMenusWithoutVisibleEntries) {
    FakeListManager list;  // outlives the binder, which follows its actions
    Window w;
    AddListManagerActions(w.menus, list.ficman, *w.binder);
    struct Case {
        bool empty;
        Names shown;
    };
    const Case kCases[] = {
        {true, {"Fichiers", "?"}},
        {false, {"Fichiers", "Affichage", "Vidéo", "Renommer", "Convertir", "Incruster", "Scènes", "?"}},
        {true, {"Fichiers", "?"}},
    };
    for (const Case& c : kCases) {
        w.catalogue.RefreshVisibility(c.empty);
        RefreshMenuVisibility(w.menus);
        Names shown;
        for (QMenu* m : w.menus.TopMenus)
            if (m->menuAction()->isVisible()) shown.push_back(m->title().toStdString());
        EXPECT_EQ(shown, c.shown) << (c.empty ? "empty" : "with files");
        // The sort submenu follows its actions.
        EXPECT_EQ(w.menus.TrierListe->menuAction()->isVisible(), !c.empty);
    }
}

TEST(MainMenus, EveryBoundActionIsOnTheWindow) {
    FakeListManager list;  // outlives the binder, which follows its actions
    Window w;
    AddListManagerActions(w.menus, list.ficman, *w.binder);
    const QList<QAction*> onWindow = w.window->actions();
    for (QAction* a : w.binder->Actions()) EXPECT_TRUE(onWindow.contains(a)) << a->objectName().toStdString();
    // Navigation actions are in no menu; their keys still work from the window.
    EXPECT_TRUE(onWindow.contains(w.binder->Find("naAvanceFrame")));
}

}  // namespace
}  // namespace velinor
