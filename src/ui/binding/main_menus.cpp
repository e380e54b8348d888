#include "ui/binding/main_menus.h"

#include <QToolButton>
#include <QVariant>

#include <map>

namespace velinor {

namespace {

// Entries: an action name, "-" a separator, ">Title" opens a submenu, "<" closes it,
// "@DossierParent" and "@CopierImage" the two entries that are not actions of a list.
using Layout = std::vector<const char*>;

const char* const kSorts[] = {"naOrdreAlpha",  "naTriTaille",   "naTrierModify",
                              "naTriDatecode", "naTriTimecode", "naTriDuree"};

Layout WithSorts(Layout head, const char* title, Layout tail) {
    head.push_back(title);
    for (const char* s : kSorts) head.push_back(s);
    head.push_back("<");
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

struct MenuLayout {
    const char* title;
    Layout entries;
};

std::vector<MenuLayout> MainMenuLayout() {
    return {
        {"Fichiers",
         WithSorts({"saOpenFiles", "naPasteFiles", "waOpenFolder", "naOpenPreferredFolder", "naOpenAll", "-",
                    "waOpenPlayList", "naOpenPreferredPlayList", "waSavePlayList", "-"},
                   ">Trier la liste",
                   {"naVider", "naOterSelection", "ccSupprimerFichier", "naDureeTotale", "naParentFolder",
                    "-", ">Exporter", "naSelectColumns", "waExportExcel", "waExportCSV", "<", "naQuit"})},
        {"Affichage", {"caVideoSeule", "caListeGauche", "caFullscreen", "caVueReduite"}},
        {"Vidéo",
         {"caPlayPause", "caMute", "caDeinterlace", "-", "ccStillor", "ccOpenFichierF3", "ccOpenFichierF4",
          "ccDefaultPlayer", "-", "naRiffHeader", "ccFrequenceVideo", "ccModifierCodec", "ccDateFichier", "-",
          "@DossierParent", "ccSupprimerFichier"}},
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
}

Layout MainPopupLayout() {
    return WithSorts({"saOpenFiles", "naPasteFiles", "waOpenFolder", "naOpenPreferredFolder",
                      "waOpenPlayList", "-", "naVider", "waSavePlayList", "naSelectionnerTout"},
                     ">Trier", {"-", "caHelp", "caOptions", "caAbout", "naQuit"});
}

Layout PreviewPopupLayout() {
    return {"caFullscreen", "-", "caPlayPause",   "caMute",      "-",
            "@CopierImage", "-", "caListeGauche", "caVideoSeule"};
}

constexpr int kNoGroup = -1;
constexpr int kVideo = static_cast<int>(ToolGroup::Video);
constexpr int kScene = static_cast<int>(ToolGroup::Scene);
constexpr int kList = static_cast<int>(ToolGroup::List);

// The toolbar, left to right: button name, action ("-" a separator, "" no action), group.
struct ToolRow {
    const char* button;
    const char* action;
    int group;
};
const ToolRow kToolbar[] = {
    {"tbOpenFolder", "waOpenFolder", kNoGroup},
    {"tbExportExcel", "waExportExcel", kNoGroup},
    {"tbOpenFiles", "saOpenFiles", kNoGroup},
    {"tbPasteFiles", "naPasteFiles", kNoGroup},
    {"tbOpenPreferredFolder", "naOpenPreferredFolder", kNoGroup},
    {"tbOpenPlayList", "waOpenPlayList", kNoGroup},
    {"tbClearAll", "naVider", kList},
    {"sep1", "-", kNoGroup},
    {"tbMute", "caMute", kVideo},
    {"tbAfficherIncrustation", "caAfficherIncrustation", kVideo},
    {"tbDeinterlace", "caDeinterlace", kVideo},
    {"tbFullscreen", "caFullscreen", kVideo},
    {"tbParentFolder", "naParentFolder", kVideo},
    {"tbDecalageDisplay", "daDecalageDisplay", kVideo},
    {"tbEditerScenes", "caEditerScenes", kVideo},
    {"tbEditerIncrust", "caEditerIncrust", kVideo},
    {"sep2", "-", kVideo},
    {"tbSupprimer", "saInsererScene", kScene},
    {"tbInserer", "saSupprimerScene", kScene},
    {"tbTitre", "caEditerTitres", kScene},
    {"tbSauverScn", "saEnregistrerScn", kScene},
    {"sep3", "-", kScene},
    {"tbSavePlaylist", "", kList},
    {"tbSelectionnerTout", "naSelectionnerTout", kList},
    {"sep4", "-", kList},
    {"tbHelp", "caHelp", kNoGroup},
    {"tbOptions", "caOptions", kNoGroup},
    {"tbScript", "caScript", kNoGroup},
    {"tbAbout", "caAbout", kNoGroup},
    {"tbQuit", "naQuit", kNoGroup},
};

// Images of the list manager's toolbar and menu actions, given when they have none.
struct ListImage {
    const char* action;
    CatalogueImage image;
};
const ListImage kListImages[] = {
    {"waOpenFolder", CatalogueImage::OpenFolder},
    {"saOpenFiles", CatalogueImage::OpenFiles},
    {"naPasteFiles", CatalogueImage::PasteFiles},
    {"naOpenPreferredFolder", CatalogueImage::PreferredFolder},
    {"waOpenPlayList", CatalogueImage::OpenPlayList},
    {"waSavePlayList", CatalogueImage::SavePlayList},
    {"naVider", CatalogueImage::ClearList},
    {"naParentFolder", CatalogueImage::ParentFolder},
};

constexpr int kButtonSize = 28;
constexpr int kButtonMargin = 4;
constexpr const char* kGroupHidden = "velinorGroupHidden";
constexpr const char* kPendingPrefix = "pending:";

void ShowProxy(QAction* proxy, const QAction* target) {
    const bool groupHidden = proxy->property(kGroupHidden).toBool();
    proxy->setVisible(!groupHidden && (!target || target->isVisible()));
}

void AddToolButton(MainMenus& menus, QAction* proxy, QAction* target, int group) {
    proxy->setProperty(kGroupHidden, group >= 0 && !menus.groupVisible[static_cast<size_t>(group)]);
    menus.buttons.push_back({proxy, target, group});
    ShowProxy(proxy, target);
    if (auto* button = qobject_cast<QToolButton*>(menus.MainBar->widgetForAction(proxy)))
        button->setFixedSize(kButtonSize, kButtonSize);
}

// A toolbar button of its own that mirrors `target`: the button can then be hidden with its
// group while the menu entry of the same action stays.
void AddProxy(MainMenus& menus, QAction* before, QAction* target, const char* button, int group) {
    QToolBar* bar = menus.MainBar;
    auto* proxy = new QAction(bar);
    proxy->setObjectName(QString::fromLatin1(button));
    auto sync = [proxy, target] {
        proxy->setText(target->text());
        proxy->setToolTip(target->toolTip());
        proxy->setStatusTip(target->statusTip());
        proxy->setIcon(target->icon());
        proxy->setEnabled(target->isEnabled());
        proxy->setCheckable(target->isCheckable());
        proxy->setChecked(target->isChecked());
        ShowProxy(proxy, target);
    };
    sync();
    QObject::connect(target, &QAction::changed, proxy, sync);
    QObject::connect(target, &QAction::toggled, proxy, [proxy](bool on) { proxy->setChecked(on); });
    QObject::connect(proxy, &QAction::triggered, target, [proxy, target] {
        target->trigger();
        proxy->setChecked(target->isChecked());
    });
    if (before)
        bar->insertAction(before, proxy);
    else
        bar->addAction(proxy);
    AddToolButton(menus, proxy, target, group);
}

class Builder {
public:
    Builder(MainMenus& menus, TMainCatalogue& catalogue, ActionBinder& binder)
        : menus_(menus), catalogue_(catalogue), binder_(binder) {}

    void Fill(QMenu* menu, const Layout& layout) {
        std::vector<QMenu*> stack{menu};
        for (const char* entry : layout) {
            const std::string e = entry;
            QMenu* current = stack.back();
            if (e == "-") {
                current->addSeparator();
            } else if (e == "<") {
                stack.pop_back();
            } else if (e[0] == '>') {
                QMenu* sub = current->addMenu(QString::fromStdString(e.substr(1)));
                if (e == ">Trier la liste") menus_.TrierListe = sub;
                if (e == ">Exporter") menus_.Exporter = sub;
                stack.push_back(sub);
            } else if (QAction* a = Resolve(e)) {
                current->addAction(a);
            } else {
                KeepPlace(current, e, false, kNoGroup);
            }
        }
    }

    QAction* Resolve(const std::string& name) {
        if (name == "@DossierParent") return binder_.Bind(catalogue_.DossierParentEntry);
        if (name == "@CopierImage") return binder_.Bind(catalogue_.CopyPictureEntry);
        if (TCustomAbstractAction* a = catalogue_.Find(name)) return binder_.Bind(*a);
        return nullptr;
    }

    // A hidden marker where an action of the list manager goes.
    void KeepPlace(QWidget* container, const std::string& name, bool toolbar, int group) {
        auto* marker = new QAction(container);
        marker->setObjectName(QString::fromStdString(kPendingPrefix + name));
        marker->setVisible(false);
        container->addAction(marker);
        menus_.pending.push_back({name, container, marker, toolbar, group});
    }

    void FillToolbar() {
        QToolBar* bar = menus_.MainBar;
        for (const ToolRow& row : kToolbar) {
            const std::string action = row.action;
            if (action == "-") {
                QAction* sep = bar->addSeparator();
                sep->setObjectName(row.button);
                AddToolButton(menus_, sep, nullptr, row.group);
            } else if (action.empty()) {
                auto* save = new QAction(bar);
                save->setObjectName(row.button);
                const QString hint =
                    QStringLiteral("Enregistrer la liste des fichiers dans un fichier texte");
                save->setToolTip(hint);
                save->setStatusTip(hint);
                save->setIcon(CatalogueIcon(ImageIndexOf(CatalogueImage::SavePlayList)));
                bar->addAction(save);
                menus_.tbSavePlaylist = save;
                AddToolButton(menus_, save, nullptr, row.group);
            } else if (QAction* target = Resolve(action)) {
                AddProxy(menus_, nullptr, target, row.button, row.group);
            } else {
                KeepPlace(bar, action, true, row.group);
                menus_.pending.back().marker->setProperty("button", QString::fromLatin1(row.button));
            }
        }
    }

private:
    MainMenus& menus_;
    TMainCatalogue& catalogue_;
    ActionBinder& binder_;
};

void RefreshMenu(QMenu* menu) {
    bool any = false;
    for (QAction* a : menu->actions()) {
        if (QMenu* sub = a->menu()) RefreshMenu(sub);
        if (!a->isSeparator() && a->isVisible()) any = true;
    }
    menu->menuAction()->setVisible(any);
}

}  // namespace

void MainMenus::SetGroupVisible(ToolGroup group, bool visible) {
    groupVisible[static_cast<size_t>(group)] = visible;
    ApplyGroups();
}

void MainMenus::ApplyGroups() {
    for (const ToolButton& b : buttons) {
        b.proxy->setProperty(kGroupHidden, b.group >= 0 && !groupVisible[static_cast<size_t>(b.group)]);
        ShowProxy(b.proxy, b.target);
    }
}

MainMenus BuildMainMenus(QMainWindow& window, TMainCatalogue& catalogue, ActionBinder& binder) {
    MainMenus menus;
    menus.window = &window;
    // The "Affichage" menu gives the reduced view its own key.
    TCustomAbstractAction& reduced = catalogue.Get("caVueReduite");
    if (reduced.ShortCut().empty()) reduced.SetShortCut("Ctrl+F6");

    binder.BindList(catalogue.am);
    binder.BindList(catalogue.al);
    Builder builder(menus, catalogue, binder);

    menus.MainMenu = new QMenuBar(&window);
    for (const MenuLayout& layout : MainMenuLayout()) {
        QMenu* menu = menus.MainMenu->addMenu(QString::fromUtf8(layout.title));
        builder.Fill(menu, layout.entries);
        menus.TopMenus.append(menu);
    }
    window.setMenuBar(menus.MainMenu);

    menus.mainPopup = new QMenu(&window);
    menus.mainPopup->setObjectName(QStringLiteral("mainPopup"));
    builder.Fill(menus.mainPopup, MainPopupLayout());
    menus.pmWindow = new QMenu(&window);
    menus.pmWindow->setObjectName(QStringLiteral("pmWindow"));
    builder.Fill(menus.pmWindow, PreviewPopupLayout());

    menus.MainBar = new QToolBar(QStringLiteral("MainBar"), &window);
    menus.MainBar->setObjectName(QStringLiteral("MainBar"));
    menus.MainBar->setMovable(false);
    menus.MainBar->setFloatable(false);
    menus.MainBar->setIconSize(QSize(kButtonSize - 2 * kButtonMargin, kButtonSize - 2 * kButtonMargin));
    menus.MainBar->setContentsMargins(kButtonMargin, kButtonMargin, kButtonMargin, kButtonMargin);
    window.addToolBar(Qt::TopToolBarArea, menus.MainBar);
    builder.FillToolbar();

    // Shortcuts work for every action, also those that are in no menu (navigation, volume).
    binder.Bind(catalogue.CopyPictureEntry);
    window.addActions(binder.Actions());
    RefreshMenuVisibility(menus);
    return menus;
}

void AddListManagerActions(MainMenus& menus, TMvActionList& ficman, ActionBinder& binder) {
    for (TCustomAbstractAction* a : ficman.Actions()) {
        if (a->ImageIndex() >= 0) continue;
        for (const ListImage& li : kListImages)
            if (a->InternalId == li.action) a->SetImageIndex(ImageIndexOf(li.image));
    }
    binder.BindList(ficman);
    std::vector<MainMenus::Pending> left;
    for (MainMenus::Pending& p : menus.pending) {
        TCustomAbstractAction* action = ficman.FindAction(p.name);
        if (!action || !p.container) {
            left.push_back(p);
            continue;
        }
        QAction* bound = binder.Find(*action);
        if (p.toolbar) {
            const QByteArray button = p.marker->property("button").toString().toLatin1();
            AddProxy(menus, p.marker, bound, button.constData(), p.group);
        } else {
            p.container->insertAction(p.marker, bound);
        }
        p.container->removeAction(p.marker);
        delete p.marker;
    }
    menus.pending = std::move(left);
    if (menus.tbSavePlaylist) {
        if (TCustomAbstractAction* save = ficman.FindAction("waSavePlayList")) {
            QAction* target = binder.Find(*save);
            QObject::connect(menus.tbSavePlaylist, &QAction::triggered, target, &QAction::trigger);
        }
    }
    if (menus.window) {
        for (TCustomAbstractAction* a : ficman.Actions()) menus.window->addAction(binder.Find(*a));
    }
    menus.ApplyGroups();
    RefreshMenuVisibility(menus);
}

void RefreshMenuVisibility(MainMenus& menus) {
    for (QMenu* menu : menus.TopMenus) RefreshMenu(menu);
    if (menus.mainPopup) RefreshMenu(menus.mainPopup);
    if (menus.pmWindow) RefreshMenu(menus.pmWindow);
}

}  // namespace velinor
