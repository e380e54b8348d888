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

#include "commands/scene_editor.h"
#include "filelist/avi_fichier.h"
#include "graph/sinks.h"
#include "platform/product.h"
#include "ui/appman/app_man.h"
#include "ui/appman/help_form.h"
#include "ui/decalage/decalage_form.h"
#include "ui/dialogs/codec_dialogs.h"
#include "ui/dialogs/message_boxes.h"
#include "ui/info/info_panel.h"
#include "ui/intervalle/intervalle_form.h"
#include "ui/introduire/introduire_form.h"
#include "ui/kit/context_menu.h"
#include "ui/kit/qt_text.h"
#include "ui/list/list_box.h"
#include "ui/list/list_frame.h"
#include "ui/options/options_frame.h"
#include "ui/overlay/edit_incrust_form.h"
#include "ui/preview/audio_output.h"
#include "ui/preview/vide_frame.h"
#include "ui/preview/video_window.h"
#include "ui/preview/vue_frame.h"
#include "ui/script/script_form.h"
#include "ui/window/status_line.h"

namespace velinor {

namespace {

constexpr int kSideColumnWidth = 296;

}  // namespace

std::string TUIForm::FullTitle() {
    return product::kWindowTitle;
}

TUIForm::TUIForm(TCommandSet& set, PreferencesPaths paths, std::vector<std::string> arguments,
                 QWidget* parent)
    : QMainWindow(parent),
      set_(set),
      dm_(set.Dm),
      lf_(set.List),
      ce_(set.Engine),
      gp_(std::move(paths)),
      catalogue_(set.Catalogue),
      ficman_(set.ListManager),
      exports_(&set.ListExports),
      preview_(&set.Preview),
      details_(&set.SceneDetails),
      commandActions_(set.CommandActions),
      arguments_(std::move(arguments)) {
    setObjectName("UIForm");
    gp_.titre = "Velinor";
    gp_.version = FullTitle() + " de Morvane";
    setWindowTitle(Q(FullTitle() + " de Morvane"));
    setAcceptDrops(true);
    buildAreas();
    // Steps that may fail leave the window usable with whatever was set up.
    try {
        bindList();
        bindEngine();
        bindActions();
        bindDialogs();
        bindListManager();
        bindListExports();
        bindPreferences();
        buildOptions();
        menus_ = BuildMainMenus(*this, catalogue_, binder_);
        composePreview();
        binder_.BindList(commandActions_);
        AddListManagerActions(menus_, ficman_.Actions, binder_);
        binder_.OnError = [this](TCustomAbstractAction&, const std::string& what) { showError(what); };
        attachContextMenus();
        bindSceneEditor();
        // The file name in the info panel opens the file's folder.
        baseFrame_->OnNameClicked = [this] {
            if (TCustomAbstractAction* folder = Action("naParentFolder")) folder->Execute();
        };
        buildAppliMan();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
    }
    // The dialogs of the patch commands come after the window.
    codecForm_ = std::make_unique<TCodecForm>(this);
    frequenceForm_ = std::make_unique<TFrequenceForm>(this);
    buildDialogs();

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
    // The command set may outlive the window: nothing of it calls back into the window.
    lf_.OnCountsChange = nullptr;
    lf_.OnActiveChange = nullptr;
    lf_.OnOpenStart = nullptr;
    lf_.OnOpenFolderFound = nullptr;
    lf_.OnOpenEnd = nullptr;
    ce_.OnStartCommand = nullptr;
    ce_.OnMessageCommand = nullptr;
    ce_.OnNoticeCommand = nullptr;
    ce_.OnStartProgress = nullptr;
    ce_.OnSetProgress = nullptr;
    ce_.OnEndProgress = nullptr;
    ce_.OnErrorCommand = nullptr;
    ce_.OnStartFichier = nullptr;
    ce_.OnEndFichier = nullptr;
    ce_.OnEndCommand = nullptr;
    ce_.Confirmer = nullptr;
    dm_.ShowRiffHeader = nullptr;
    set_.OnRefused = nullptr;
    releaseSceneEditor();
    // The application manager's windows refer to the set's lists.
    delete am_;
    am_ = nullptr;
    previewHandlers_.reset();
    editIncrust_.reset();
    preview_->ReleasePreview();
    preview_->SetMessages(nullptr);
    set_.PreviewFollowsActive = true;
    dm_.ReleasePreview = [preview = preview_](const std::string&) { preview->ReleasePreview(); };
    // The list widget reads the list model, which goes before the widgets do.
    delete lframe_;
    lframe_ = nullptr;
    // Its overlay sliders are bound to the set's actions, which an adopted set takes with it
    // before the widgets go.
    delete vueFrame_;
    vueFrame_ = nullptr;
    releaseOptions();
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

    vueFrame_ = new TVueFrame(
        *preview_, [this] { return const_cast<TaviFichier*>(ActiveRecord()); }, central);
    vueFrame_->setFrameShape(QFrame::StyledPanel);
    videPanel_ = new TVidePanel(central);

    row->addWidget(sideColumn_);
    row->addWidget(vueFrame_, 1);
    row->addWidget(videPanel_, 1);
    setCentralWidget(central);

    status_ = new TStatusLine(this);
    statusBar()->addWidget(status_, 1);
    statusBar()->setSizeGripEnabled(true);

    // The preview's 40 ms timer drives the window's tick.
    timer1_ = &vueFrame_->timer1();
    buildSceneEditor();
}

// The preview's area: the frame, its handlers and messages, and the sound output. The handlers
// show the tick's texts in the info panel's labels.
void TUIForm::composePreview() {
    // The preview frame opens the active file in its own video window, not the set's.
    set_.PreviewFollowsActive = false;
    preview_->SetMessages(&previewMessages_);
    audio_ = TQtAudioOutput::CreateDefault();
    // A machine without a sound output still plays the picture, and a file of sound alone is
    // still told as such: its sound then goes nowhere.
    if (audio_)
        vueFrame_->SetAudio(audio_, audio_->Clock());
    else
        vueFrame_->SetAudio(std::make_shared<graph::HeadlessAudioDevice>(), nullptr);
    // The overlay editor is made once and shown with the editing mode.
    if (auto* editMode = dynamic_cast<TCheckAction*>(Action("caEditerIncrust")))
        editIncrust_ = std::make_unique<TEditIncrustForm>(set_.Overlay, *editMode, this);
    previewHandlers_ = std::make_unique<TPreviewHandlers>(TPreviewHandlers::Parts{
        catalogue_.al, catalogue_.CopyPictureEntry, *preview_, *vueFrame_, baseFrame_->Gauge2(),
        &lframe_->ListBox(), [this] { return const_cast<TaviFichier*>(ActiveRecord()); },
        [this] { RefreshActions(); }, nullptr, previewMessages_,
        [this](bool on) {
            if (!editIncrust_) return;
            if (on) {
                // First shown over the list side, so that the picture it edits stays in view.
                if (!editIncrust_->property("placed").toBool()) {
                    editIncrust_->setProperty("placed", true);
                    editIncrust_->move(geometry().left(), geometry().top() + 60);
                }
                editIncrust_->show();
                editIncrust_->raise();
            } else {
                editIncrust_->hide();
            }
        }});
    previewHandlers_->ShowTexts = [this](const PreviewDisplayTexts& t) {
        lastPositionText_ = t.Position;
        const TaviFichier* record = ActiveRecord();
        if (!record) return;
        const auto set = [this](const char* name, const std::string& text) {
            if (QLabel* label = baseFrame_->Label(name)) label->setText(Q(text));
        };
        set("labDatecode", t.Datecode);
        set("LabTimecode", t.Timecode);
        if (record->DVType == 1 && !t.Audio.empty()) {
            set("LabAudio1", t.Audio);
            set("LabAudio2", t.Bytes);
        }
        if (!record->AspectText.empty() && !t.Picture.empty()) set("LabImage", t.Picture);
    };
    previewHandlers_->OnOpened = [this] { sceneEditor_->LoadScenes(); };
    vueFrame_->OnSliderPressed = [this] { setFocus(); };
}

// The window, its toolbar and status bar, the list and the empty-list page share the window's
// menu; the preview and the info panel have their own.
void TUIForm::attachContextMenus() {
    if (!menus_.mainPopup || !menus_.pmWindow) return;
    AttachContextMenu(*this, *menus_.mainPopup);
    lframe_->SetContextMenu(*menus_.mainPopup);
    videPanel_->SetContextMenu(*menus_.mainPopup);
    vueFrame_->SetContextMenu(*menus_.pmWindow);
}

TVideFrame& TUIForm::VideFrame() {
    return videPanel_->VideFrame();
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

tAbstractCmd* TUIForm::findCommand(const std::string& name) const {
    return set_.FindCommand(name);
}

bool TUIForm::RunCommand(const std::string& name, const CmdParams& params) {
    return set_.RunCommand(name, params);
}

void TUIForm::buildAppliMan() {
    am_ = new TMvAppliMan(*this, catalogue_, set_.ActionLists());
    am_->HelpForm().AddHelpPage("Commandes", catalogue_.am);
    am_->HelpForm().AddHelpPage("Commandes", catalogue_.al);
    am_->HelpForm().AddHelpPage("Fichiers", ficman_.Actions);
    am_->ScriptForm().setWindowTitle(Q("Scripts pour " + FullTitle()));
    // The options page is one of the manager's pages: it shows it with its close link. The
    // page's examples are made anew each time it opens.
    if (optionsFrame_) {
        am_->SetOptionsFrame(optionsFrame_);
        if (auto* options = dynamic_cast<TCheckAction*>(Action("caOptions"))) {
            options->OnAfterTrueApply = [this, shown = options->OnAfterTrueApply] {
                optionsFrame_->RefreshExamples();
                if (shown) shown();
            };
        }
    }
    // F1 and F12 also work while the help or the script window has the focus.
    for (QWidget* form : {static_cast<QWidget*>(&am_->HelpForm()), static_cast<QWidget*>(&am_->ScriptForm())})
        for (const char* toggle : {"caHelp", "caScript"})
            if (QAction* q = binder_.Find(std::string_view(toggle))) form->addAction(q);
}

void TUIForm::bindPreferences() {
    // Loaded application manager first, list manager last; saved the other way round.
    gp_.OnLoadPrefs = [this](TMorvanePreferences& prefs) {
        set_.LoadPreferences(prefs);
        if (am_) am_->ScriptForm().LoadPreferences(prefs);
    };
    gp_.OnSavePrefs = [this](TMorvanePreferences& prefs) {
        if (am_) am_->ScriptForm().SavePreferences(prefs);
        set_.SavePreferences(prefs);
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
    // Modified scenes are offered for saving; a failed save keeps the window open.
    if (!sceneEditor_->SaveAtClose() || (am_ && !am_->ScriptForm().Files().MayClose())) {
        closing_ = false;
        event->ignore();
        return;
    }
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
