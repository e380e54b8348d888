#pragma once
// The main window's menus, context menus and toolbar, built from the bound catalogue actions.
// The list manager's actions come later, by one call to AddListManagerActions, into the places
// kept for them. UI thread only.
#include <QAction>
#include <QList>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QToolBar>

#include <array>
#include <string>
#include <vector>

#include "actions/actions_list.h"
#include "actions/main_catalogue.h"
#include "ui/binding/action_binding.h"

namespace velinor {

// The toolbar groups whose visibility the window sets with its views and the scene editor.
enum class ToolGroup : int { Video = 0, Scene = 1, List = 2 };

struct MainMenus {
    QMainWindow* window = nullptr;

    QMenuBar* MainMenu = nullptr;
    // "Fichiers", "Affichage", "Vidéo", "Renommer", "Convertir", "Incruster", "Scènes", "?"
    QList<QMenu*> TopMenus;
    QMenu* TrierListe = nullptr;
    QMenu* Exporter = nullptr;
    // Context menus of the window, the list and the empty-list page (one menu), and of the preview.
    QMenu* mainPopup = nullptr;
    QMenu* pmWindow = nullptr;

    QToolBar* MainBar = nullptr;
    // tbSavePlaylist: no action of its own; runs waSavePlayList once the list manager is added.
    QAction* tbSavePlaylist = nullptr;

    // A place kept for an action of the list manager: the marker stands where it goes.
    struct Pending {
        std::string name;
        QPointer<QWidget> container;
        QAction* marker = nullptr;
        bool toolbar = false;
        int group = -1;
    };
    std::vector<Pending> pending;

    // Toolbar buttons (their own QActions, mirroring the bound ones) per group, and the flags.
    struct ToolButton {
        QAction* proxy = nullptr;
        QPointer<QAction> target;
        int group = -1;
    };
    std::vector<ToolButton> buttons;
    std::array<bool, 3> groupVisible{true, false, true};

    void SetGroupVisible(ToolGroup group, bool visible);
    bool GroupVisible(ToolGroup group) const { return groupVisible[static_cast<int>(group)]; }
    // Shows every toolbar button whose action is visible and whose group flag is set.
    void ApplyGroups();
};

// Creates the menu bar, the context menus and the toolbar of `window` from the catalogue's
// actions, bound through `binder`. Every bound action is also added to the window, so that the
// shortcuts of actions that are in no menu work too. The scene group starts hidden.
MainMenus BuildMainMenus(QMainWindow& window, TMainCatalogue& catalogue, ActionBinder& binder);

// Binds the list manager's actions and puts them in the places kept for them in the menus and
// the toolbar; gives its toolbar actions an image when they have none.
void AddListManagerActions(MainMenus& menus, TMvActionList& ficman, ActionBinder& binder);

// Shows a menu only while one of its entries that is not a separator is visible (also for the
// submenus); to run after the catalogue's visibility changed.
void RefreshMenuVisibility(MainMenus& menus);

}  // namespace velinor
