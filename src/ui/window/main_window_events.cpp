// TUIForm: what the list and the engine announce, shown in the areas.
#include <QProgressBar>
#include <QTimer>
#include <algorithm>
#include <climits>
#include <memory>

#include "commands/action_states.h"
#include "commands/scene_editor.h"
#include "filelist/avi_fichier.h"
#include "ui/dialogs/riff_viewer.h"
#include "ui/info/info_panel.h"
#include "ui/list/list_frame.h"
#include "ui/preview/video_window.h"
#include "ui/preview/vue_frame.h"
#include "ui/window/main_window.h"
#include "ui/window/status_line.h"

namespace velinor {

namespace {

// A gauge counts in int; larger maxima are scaled down by a power of two.
int GaugeShift(int64_t max) {
    int shift = 0;
    while (max > INT_MAX) {
        max >>= 1;
        ++shift;
    }
    return shift;
}

}  // namespace

void TUIForm::bindList() {
    lf_.OnOpenStart = [this] { listWasEmpty_ = lf_.Count() == 0; };
    lf_.OnOpenFolderFound = [this](const std::string& folder) {
        status_->SetOpenMessage("En train d'analyser " + folder);
    };
    // Called on the open worker: a pure test of the text.
    lf_.OnOpenTestExtension = [](const std::string& ext) { return ext == ".avi"; };
    lf_.OnOpenEnd = [this](int) {
        if (listWasEmpty_ && lf_.Count() > 0) ficman_.waActiveFile.SetValue(lf_.Item(0)->FileName);
        status_->ClearOpenMessage();
    };
    lf_.OnCountsChange = [this](int, int) { showCounts(); };
    lf_.OnActiveChange = [this](TAbstractListFichier* record) {
        lframe_->Sync();
        set_.ActiveFileChanged(record);
        if (dynamic_cast<TaviFichier*>(record))
            vueFrame_->OpenActive();
        else
            preview_->ReleasePreview();
        sceneEditor_->LoadScenes();
        RefreshActiveFile();
    };
}

// The list side, the view and the actions follow the list's counts.
void TUIForm::showCounts() {
    lframe_->Sync();
    setViewFromList();
    RefreshActions();
}

void TUIForm::bindEngine() {
    ce_.Confirmer = this;
    set_.OnRefused = [this](const std::string& reason) { status_->SetNotice(reason); };
    auto gaugeShift = std::make_shared<int>(0);
    ce_.OnStartCommand = [this] {
        commandRunning_ = true;
        status_->StartCommand();
        // The engine has taken the files out of the selection: the list shows it.
        lframe_->Sync();
    };
    ce_.OnMessageCommand = [this](const std::string& text) { status_->SetCommandMessage(text); };
    ce_.OnNoticeCommand = [this](const std::string& text) { status_->SetNotice(text); };
    ce_.OnStartProgress = [this, gaugeShift](int64_t max) {
        *gaugeShift = GaugeShift(max);
        baseFrame_->Gauge1()->setRange(0, int(std::max<int64_t>(max, 0) >> *gaugeShift));
        baseFrame_->Gauge1()->setValue(0);
        baseFrame_->Gauge1()->show();
    };
    ce_.OnSetProgress = [this, gaugeShift](int64_t pos) {
        baseFrame_->Gauge1()->setValue(int(std::max<int64_t>(pos, 0) >> *gaugeShift));
    };
    ce_.OnEndProgress = [this] { baseFrame_->Gauge1()->hide(); };
    ce_.OnErrorCommand = [this](const std::string& text, TErrorType type) {
        showError(CommandErrorText(text, type));
        baseFrame_->Gauge1()->hide();
    };
    // A display shift survives a command that rebuilt the record.
    auto shift = std::make_shared<double>(0);
    ce_.OnStartFichier = [shift](TAbstractListFichier* record, const CmdParams&, int) {
        if (const auto* avi = dynamic_cast<const TaviFichier*>(record)) *shift = avi->Decalage;
    };
    ce_.OnEndFichier = [shift](TAbstractListFichier* record, const CmdParams&, int) {
        if (auto* avi = dynamic_cast<TaviFichier*>(record)) {
            avi->Decalage = *shift;
            avi->DecalageText = ShiftText(*shift);
        }
    };
    ce_.OnEndCommand = [this] {
        status_->EndCommand();
        // A command, cancelled ones too, may leave the selection changed without a word: the
        // list, its label and the actions agree again.
        lf_.UpdateCounts();
        lframe_->Sync();
        // The scene editor keeps its file and range while it is open.
        if (!sceneEditor_->IsOpen()) {
            reopenPreview_ = true;
            RefreshActiveFile();
        }
        commandRunning_ = false;
    };

    // The commands that change a file in place let go of it first; released and noticed on the
    // UI thread, which owns the preview.
    dm_.ReleasePreview = [this](const std::string&) {
        preview_->RunOnOwner([this] {
            preview_->ReleasePreview();
            vueFrame_->ShowNotice(kNoticeReleased);
        });
    };
    dm_.ShowRiffHeader = [this](const std::string& path) { ShowRiffViewer(this, path); };
}

void TUIForm::RefreshActiveFile() {
    if (const TaviFichier* record = ActiveRecord()) {
        // The custom overlay texts take the values of the record as it is now; a burn-in leaves
        // them on the last file it processed.
        set_.Overlay.SetOverlayRecord(record);
        set_.Overlay.PrepareOverlayTexts();
        set_.Overlay.UpdateExamples();
        baseFrame_->ShowFile(record);
        vueFrame_->LayOut();
        // A command may have released the file, or rebuilt its record: the preview opens it again.
        if (!closing_ && (reopenPreview_ || !preview_->Opened)) previewHandlers_->PostOpenActive();
        reopenPreview_ = false;
        if (!closing_) timer1_->start();
    } else {
        baseFrame_->ClearFile();
        vueFrame_->vw().Clear();
        vueFrame_->ShowNotice(kNoticeReleased);
        timer1_->stop();
    }
    showOptionsExample();
    RefreshActions();
}

void TUIForm::RefreshActions() {
    set_.RefreshActions();
    if (menus_.window) {
        RefreshMenuVisibility(menus_);
        menus_.ApplyGroups();
    }
}

}  // namespace velinor
