#include "ui/window/main_window.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QMenu>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>
#include <cstdio>
#include <stdexcept>

#include "filelist/avi_fichier.h"
#include "graph/sinks.h"
#include "platform/product.h"
#include "ui/dialogs/codec_dialogs.h"
#include "ui/dialogs/message_boxes.h"
#include "ui/info/info_panel.h"
#include "ui/kit/context_menu.h"
#include "ui/kit/qt_text.h"
#include "ui/list/list_box.h"
#include "ui/list/list_frame.h"
#include "ui/preview/vide_frame.h"
#include "ui/preview/vue_frame.h"
#include "ui/window/status_line.h"
#include "ui/window/window_actions.h"

namespace velinor {

namespace {

constexpr int kSideColumnWidth = 296;
constexpr const char* kWindowSection = "UIForm";

}  // namespace

std::string TUIForm::FullTitle() {
    return product::kWindowTitle;
}

TUIForm::TUIForm(TdmAction& commands, PreferencesPaths paths, std::vector<std::string> arguments,
                 QWidget* parent)
    : QMainWindow(parent),
      ui_(),
      dm_(commands),
      cache_([](const std::string& path) { return std::make_unique<TaviFichier>(path); }),
      lf_(ui_, [](const std::function<bool()>& done) { QtUiDispatcher::PumpUntil(done); }),
      ce_(ui_),
      gp_(std::move(paths)),
      preview_(std::make_unique<Tviewdm>(&ui_)),
      previewWindow_{std::make_shared<graph::HeadlessVideoSurface>(),
                     std::make_shared<graph::HeadlessAudioDevice>()},
      details_(std::make_unique<TviewdmSceneSource>(*preview_)),
      arguments_(std::move(arguments)) {
    setObjectName("UIForm");
    gp_.titre = "Velinor";
    gp_.version = FullTitle() + " de Morvane";
    setWindowTitle(Q(FullTitle() + " de Morvane"));
    setAcceptDrops(true);
    buildAreas();
    // Steps that may fail leave the window usable with whatever was set up.
    try {
        lf_.SetCache(&cache_);
        bindList();
        bindEngine();
        ficman_.SetFichierListBox(&lf_);
        CreateCommandActions(commandActions_, dm_, [this](const std::string& name) {
            return catalogue_.Find(name) ? catalogue_.Find(name) : ficman_.Actions.FindAction(name);
        });
        bindActions();
        bindListManager();
        bindListExports();
        bindPreferences();
        menus_ = BuildMainMenus(*this, catalogue_, binder_);
        binder_.BindList(commandActions_);
        AddListManagerActions(menus_, ficman_.Actions, binder_);
        binder_.OnError = [this](TCustomAbstractAction&, const std::string& what) { showError(what); };
        attachContextMenus();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
    }
    // The dialogs of the patch commands come after the window.
    codecForm_ = std::make_unique<TCodecForm>(this);
    frequenceForm_ = std::make_unique<TFrequenceForm>(this);

    resize(962, 751);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    SetView(1);
}

TUIForm::~TUIForm() {
    closing_ = true;
    timer1_->stop();
    lf_.StopOpening();
    if (ce_.Running()) {
        ce_.InterruptAll();
        QtUiDispatcher::PumpUntil([this] { return !ce_.Running(); });
    }
    lf_.OnCountsChange = nullptr;
    lf_.OnActiveChange = nullptr;
    preview_->ReleasePreview();
    // The list widget reads the list model, which goes before the widgets do.
    delete lframe_;
    lframe_ = nullptr;
    lf_.ClearFichiers();
}

// The side column (info panel over the list frame) beside the preview, the empty-list page in
// their place while the list is empty, the status line under them.
void TUIForm::buildAreas() {
    auto* central = new QWidget(this);
    central->setObjectName("central");
    auto* row = new QHBoxLayout(central);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);

    sideColumn_ = new QWidget(central);
    sideColumn_->setObjectName("SideColumn");
    sideColumn_->setFixedWidth(kSideColumnWidth);
    auto* side = new QVBoxLayout(sideColumn_);
    side->setContentsMargins(0, 0, 0, 0);
    baseFrame_ = new TBaseFramePanel(sideColumn_);
    side->addWidget(baseFrame_);
    lframe_ = new TListeFrame(lf_, sideColumn_);
    side->addWidget(lframe_, 1);

    vueFrame_ = new TVueFrame(central);
    videFrame_ = new TVideFrame(central);

    row->addWidget(sideColumn_);
    row->addWidget(vueFrame_, 1);
    row->addWidget(videFrame_, 1);
    setCentralWidget(central);

    status_ = new TStatusLine(this);
    statusBar()->addWidget(status_, 1);
    statusBar()->setSizeGripEnabled(true);

    timer1_ = new QTimer(this);
    timer1_->setInterval(40);
    connect(timer1_, &QTimer::timeout, this, [this] { timerTick(); });
}

// The window, its toolbar and status bar, the list and the empty-list page share the window's
// menu; the preview and the info panel have their own.
void TUIForm::attachContextMenus() {
    if (!menus_.mainPopup || !menus_.pmWindow) return;
    AttachContextMenu(*this, *menus_.mainPopup);
    lframe_->SetContextMenu(*menus_.mainPopup);
    videFrame_->SetContextMenu(*menus_.mainPopup);
    vueFrame_->SetContextMenu(*menus_.pmWindow);
}

TFichierListbox2& TUIForm::ListBox() {
    return lframe_->ListBox();
}

QLabel& TUIForm::StatusPanel() {
    return *status_;
}

QLabel& TUIForm::SelectLabel() {
    return lframe_->SelectLabel();
}

StatusKind TUIForm::Status() const {
    return status_->Kind();
}

TCustomAbstractAction* TUIForm::Action(const std::string& name) const {
    if (TCustomAbstractAction* action = catalogue_.Find(name)) return action;
    if (TCustomAbstractAction* action = ficman_.Actions.FindAction(name)) return action;
    return commandActions_.FindAction(name);
}

const TaviFichier* TUIForm::ActiveRecord() const {
    const int index = lf_.ItemIndex();
    if (index < 0 || index >= lf_.Count()) return nullptr;
    return dynamic_cast<const TaviFichier*>(lf_.Item(index));
}

void TUIForm::AddSettingsTarget(std::function<bool(const std::string& name, const std::string& value)> set) {
    const auto isSetting = [](const TCustomAbstractAction& a) {
        return a.ApplyWhenLoad && !a.ScriptName.empty() && a.ValueType() != ActionValueType::None;
    };
    for (TCustomMvActionList* list : {&catalogue_.al, &catalogue_.am})
        for (TCustomAbstractAction* a : list->Actions())
            if (isSetting(*a)) set(a->ScriptName, a->ValueText());
    settingsTargets_.push_back(std::move(set));
    if (settingsListened_) return;
    settingsListened_ = true;
    for (TCustomMvActionList* list : {&catalogue_.al, &catalogue_.am})
        for (TCustomAbstractAction* a : list->Actions())
            if (isSetting(*a))
                a->AddChangeListener([this](TCustomAbstractAction& action, ActionProperty property) {
                    // A check action's value is its checked state.
                    if (property != ActionProperty::Value && property != ActionProperty::Checked) return;
                    for (const auto& target : settingsTargets_) target(action.ScriptName, action.ValueText());
                });
}

void TUIForm::AddCommandGroup(std::function<tAbstractCmd*(const std::string&)> group) {
    commandGroups_.push_back(std::move(group));
    bindCommandActions();
}

// Every "cc" action without a handler of its own runs the command of its name.
void TUIForm::bindCommandActions() {
    std::vector<TCustomAbstractAction*> actions = catalogue_.al.Actions();
    actions.insert(actions.end(), commandActions_.Actions().begin(), commandActions_.Actions().end());
    for (TCustomAbstractAction* action : actions) {
        if (catalogue_.CommandOf(*action)) continue;
        auto* nope = dynamic_cast<TNopeAction*>(action);
        const std::string& name = action->InternalId;
        if (!nope || name.size() <= 2 || LowerCase(name.substr(0, 2)) != "cc" || nope->OnAfterApply) continue;
        nope->OnAfterApply = [this, command = name.substr(2)] { RunCommand(command); };
    }
}

tAbstractCmd* TUIForm::findCommand(const std::string& name) const {
    if (tAbstractCmd* command = dm_.Find(name)) return command;
    for (const auto& group : commandGroups_)
        if (tAbstractCmd* command = group(name)) return command;
    return nullptr;
}

bool TUIForm::RunCommand(const std::string& name, const CmdParams& params) {
    tAbstractCmd* command = findCommand(name);
    if (!command) return false;
    if (command == &dm_.Renommer) dm_.RenameCounter = 1;
    return ce_.ExecuteCommand(*command, params);
}

void TUIForm::bindPreferences() {
    // Loaded application manager first, list manager last; saved the other way round.
    gp_.OnLoadPrefs = [this](TMorvanePreferences& prefs) {
        prefs.OpenPrefsKey(kWindowSection);
        catalogue_.am.LoadActions(prefs);
        catalogue_.al.LoadActions(prefs);
        ficman_.Actions.LoadActions(prefs);
        prefs.ClosePrefsKey();
    };
    gp_.OnSavePrefs = [this](TMorvanePreferences& prefs) {
        prefs.OpenPrefsKey(kWindowSection);
        ficman_.Actions.SaveActions(prefs);
        catalogue_.al.SaveActions(prefs);
        catalogue_.am.SaveActions(prefs);
        prefs.ClosePrefsKey();
    };
    gp_.OnChooseMode = [this](const std::string& caption) {
        return ChooseMode ? ChooseMode(caption) : AskPreferencesMode(this, caption);
    };
}

TAnswer TUIForm::Ask(const std::string& question, bool several) {
    return AskConfirmation(this, question, several);
}

void TUIForm::showError(const std::string& text) {
    ShowErrorBox(this, text);
}

void TUIForm::Activate() {
    if (!argumentsOpened_) {
        // The command-line paths are opened once: files the user removes later stay removed.
        argumentsOpened_ = true;
        if (auto* open = dynamic_cast<TWStringsAction*>(Action("saOpenFiles")))
            open->SetValue(arguments_);
        else if (!arguments_.empty())
            lf_.OpenPaths(arguments_);
    }
    setViewFromList();
}

void TUIForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (shown_) return;
    shown_ = true;
    baseFrame_->ClearFile();
    ListBox().setFocus();
    gp_.Load();
    // The loaded view is the last session's; an empty list still shows the empty-list page.
    setViewFromList();
    RefreshActions();
}

void TUIForm::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) Activate();
}

void TUIForm::closeEvent(QCloseEvent* event) {
    closing_ = true;
    interruptAll();
    timer1_->stop();
    // The worker's calls to the window keep running while the window waits for it.
    QtUiDispatcher::PumpUntil([this] { return !ce_.Running(); });
    const TMorvanePreferences::SaveOutcome outcome = gp_.Save();
    if (!outcome.mayClose) {
        closing_ = false;
        event->ignore();
        return;
    }
    lastSaveError_ = outcome.error;
    if (!outcome.error.empty()) showError(outcome.error);
    event->accept();
}

void TUIForm::dragEnterEvent(QDragEnterEvent* event) {
    if (TFichierListbox2::LocalFiles(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void TUIForm::dropEvent(QDropEvent* event) {
    auto names = TFichierListbox2::LocalFiles(event->mimeData());
    if (!names) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    lf_.OpenDroppedFiles(std::move(*names));
}

}  // namespace velinor
