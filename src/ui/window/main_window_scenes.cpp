// TUIForm: the scene editor mode. Its frames replace the list frame in the side column, its
// actions cut, merge, save and title the scenes, and the commands that read the scene files
// close it first.
#include <QBoxLayout>
#include <QLabel>

#include "commands/scene_editor.h"
#include "filelist/avi_fichier.h"
#include "ui/dialogs/message_boxes.h"
#include "ui/list/list_box.h"
#include "ui/list/list_frame.h"
#include "ui/preview/video_window.h"
#include "ui/preview/vue_frame.h"
#include "ui/scenes/scene_editor_frame.h"
#include "ui/titles/titles_editor_form.h"
#include "ui/window/main_window.h"

namespace velinor {

namespace {

constexpr const char* kWordWarning =
    "Attention !\r\nCette commande n'est plus disponible sous Windows 10 ou ultérieur.\r\n"
    "Utilisez plutôt Libre Office pour exporter les scènes.\r\n"
    "Voulez-vous quand même la lancer sur votre système ?";

template <class T>
T* As(TCustomAbstractAction* action) {
    return dynamic_cast<T*>(action);
}

std::string NameOnly(const std::string& path) {
    const size_t slash = path.find_last_of("/\\:");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool SameName(std::string a, std::string b) {
    for (auto* text : {&a, &b})
        for (char& c : *text) c = char(std::tolower(static_cast<unsigned char>(c)));
    return a == b;
}

}  // namespace

// The core and the frames, built with the other areas: the scene frames sit in the side column
// under the info panel, hidden until the editor opens.
void TUIForm::buildSceneEditor() {
    sceneEditor_ = std::make_unique<TSceneEditor>(*preview_, *details_);
    sceneFrame_ = new TSceneEditorFrame(*sceneEditor_, sideColumn_);
    static_cast<QVBoxLayout*>(sideColumn_->layout())->addWidget(sceneFrame_, 1);
    sceneFrame_->hide();
    sceneFrame_->WatchVideo(vueFrame_->vw());
    titlesForm_ = new TEditerTitresForm(*sceneEditor_, this);
    titlesForm_->hide();
}

void TUIForm::bindSceneEditor() {
    TSceneEditor& editor = *sceneEditor_;
    editor.ActiveRecord = [this] { return const_cast<TaviFichier*>(ActiveRecord()); };
    editor.Settings = [this] {
        return SceneTextSettings{set_.SceneExports.Settings.FormatDuree,
                                 set_.SceneExports.Settings.FormatAfficherDatecode};
    };
    editor.Ask = [this](const std::string& question, bool cancel) {
        return AskWarning(this, question, cancel);
    };
    editor.ShowError = [this](const std::string& text) { showError(text); };
    editor.OnChanged = [this] {
        sceneFrame_->Sync();
        if (titlesForm_->isVisible()) titlesForm_->Sync();
    };
    set_.SceneExports.SceneEditing = [this] { return sceneEditor_->IsOpen(); };

    const auto tick = [this] {
        if (ActiveRecord()) previewHandlers_->TimerStep();
    };
    sceneFrame_->OnMoved = tick;
    sceneFrame_->OnTitleClicked = [this] {
        if (auto* titles = As<TCheckAction>(Action("caEditerTitres"))) titles->Execute();
    };
    titlesForm_->OnCloseRequest = [this] {
        if (auto* titles = As<TCheckAction>(Action("caEditerTitres")); titles && titles->Checked())
            titles->SetChecked(false);
        else
            titlesForm_->hide();
    };
    titlesForm_->OnApplied = [this] { sceneFrame_->Sync(); };

    const auto ctrlShortcuts = [this](bool on) {
        if (auto* ctrl = As<TCheckAction>(Action("caCTRLShortcuts"))) ctrl->SetChecked(on);
    };
    if (auto* scenes = As<TCheckAction>(Action("caEditerScenes"))) {
        scenes->OnPrepare = [this] {
            if (checked("caVueReduite") || checked("caVideoSeule"))
                if (auto* vue = As<TIntegerAction>(Action("iaVue"))) vue->SetValue(0);
            return true;
        };
        scenes->OnAfterTrueApply = [this, ctrlShortcuts] {
            ctrlShortcuts(true);
            if (const TaviFichier* record = ActiveRecord())
                sceneFrame_->SetFileLabel(NameOnly(record->FileName));
            sceneEditor_->Enter();
            showSceneEditorMode(true);
            sceneFrame_->FocusList();
            if (ActiveRecord()) previewHandlers_->TimerStep();
        };
        scenes->OnAfterFalseApply = [this, scenes, ctrlShortcuts] {
            const bool wasOpen = sceneEditor_->IsOpen();
            if (!sceneEditor_->Leave()) {
                // The scenes could not be saved: the editor stays open with them.
                scenes->SetCheckedState(true);
                return;
            }
            if (auto* titles = As<TCheckAction>(Action("caEditerTitres")); titles && titles->Checked())
                titles->SetChecked(false);
            showSceneEditorMode(false);
            if (wasOpen) {
                ctrlShortcuts(false);
                ListBox().setFocus();
                if (ActiveRecord()) previewHandlers_->TimerStep();
            }
        };
    }
    if (auto* titles = As<TCheckAction>(Action("caEditerTitres"))) {
        titles->OnPrepare = [this, titles] {
            titles->SetCheckedState(titlesForm_->isVisible());
            return true;
        };
        titles->OnAfterTrueApply = [this, ctrlShortcuts] {
            ctrlShortcuts(true);
            titlesForm_->ShowEditor();
        };
        titles->OnAfterFalseApply = [this, ctrlShortcuts] {
            if (!titlesForm_->isVisible()) return;
            ctrlShortcuts(false);
            titlesForm_->hide();
        };
    }
    const auto onCommand = [this](const char* name, std::function<void()> body) {
        if (auto* a = As<TNopeAction>(Action(name)); a && !a->InternalApply)
            a->OnAfterApply = std::move(body);
    };
    onCommand("saInsererScene", [this, tick] {
        sceneEditor_->Cut();
        tick();
    });
    onCommand("saSupprimerScene", [this, tick] {
        sceneEditor_->Merge();
        tick();
    });
    onCommand("saEnregistrerScn", [this] {
        sceneEditor_->Save();
        RefreshActions();
    });
    onCommand("naAvanceScene", [this, tick] {
        sceneEditor_->NextScene();
        tick();
    });
    onCommand("naReculeScene", [this, tick] {
        sceneEditor_->PrevScene();
        tick();
    });

    // The commands that read the scene files close the editor first.
    runCatalogueCommand_ = catalogue_.RunCommand;
    catalogue_.RunCommand = [this](TCustomAbstractAction& action, const CatalogueCommand& command,
                                   const ActionValue& value) {
        if (command.ClosesSceneEditor) {
            if (SameName(command.Name, "ExporterScenesWord") &&
                AskWarning(this, kWordWarning, false) != TAnswer::Oui)
                return;
            if (!closeSceneEditorFirst()) return;
        }
        if (runCatalogueCommand_) runCatalogueCommand_(action, command, value);
    };
}

bool TUIForm::closeSceneEditorFirst() {
    if (!sceneEditor_->CloseBeforeCommand()) return false;
    // Closed without a second question: the frames and the action follow.
    if (auto* scenes = As<TCheckAction>(Action("caEditerScenes")); scenes && scenes->Checked())
        scenes->SetChecked(false);
    return true;
}

void TUIForm::showSceneEditorMode(bool) {
    layoutViews();
    RefreshActions();
}

void TUIForm::releaseSceneEditor() {
    if (runCatalogueCommand_) catalogue_.RunCommand = runCatalogueCommand_;
    set_.SceneExports.SceneEditing = nullptr;
    delete titlesForm_;
    titlesForm_ = nullptr;
    delete sceneFrame_;
    sceneFrame_ = nullptr;
    if (sceneEditor_) {
        sceneEditor_->OnChanged = nullptr;
        sceneEditor_->Ask = nullptr;
    }
}

}  // namespace velinor
