// TUIForm: the effects the window gives the catalogue's and the list manager's actions, and the
// dialogs of the list manager and of the list exports.
#include <QDesktopServices>
#include <QStandardPaths>
#include <QUrl>

#include "filelist/avi_fichier.h"
#include "filelist/base_frame.h"
#include "media/fpsunit.h"
#include "platform/process.h"
#include "ui/dialogs/codec_dialogs.h"
#include "ui/dialogs/column_box.h"
#include "ui/dialogs/file_choosers.h"
#include "ui/dialogs/message_boxes.h"
#include "ui/list/list_frame.h"
#include "ui/window/main_window.h"
#include "ui/window/status_line.h"

namespace velinor {

namespace {

template <class T>
T* As(TCustomAbstractAction* action) {
    return dynamic_cast<T*>(action);
}

// The sort actions and the order each sets.
struct SortAction {
    const char* name;
    const char* id;
};
constexpr SortAction kSortActions[] = {{"naOrdreAlpha", "alpha"},     {"naTriTaille", "taille"},
                                       {"naTrierModify", "modify"},   {"naTriDatecode", "datecode"},
                                       {"naTriTimecode", "timecode"}, {"naTriDuree", "duree"}};

}  // namespace

void TUIForm::bindActions() {
    // Effects the catalogue already attaches (sorting, commands) are not attached twice.
    const auto onCommand = [this](const char* name, std::function<void()> body) {
        if (auto* a = As<TNopeAction>(Action(name)); a && !a->InternalApply)
            a->OnAfterApply = std::move(body);
    };
    onCommand("naInterrompre", [this] {
        ce_.InterruptFile();
        ce_.Signal();
        lf_.StopOpening();
    });
    onCommand("naInterrompreTous", [this] { interruptAll(); });
    onCommand("naSelectionnerTout", [this] { lf_.SelectAllFichiers(lf_.SelectedCount() < lf_.Count()); });
    onCommand("naOterSelection", [this] { lf_.RemoveSelected(); });
    onCommand("naQuit", [this] { close(); });
    onCommand("naRiffHeader", [this] { RunCommand("RiffHeader"); });
    onCommand("naDureeTotale", [this] {
        std::vector<ListedDuration> videos;
        for (int i = 0; i < lf_.Count(); ++i)
            if (const auto* avi = dynamic_cast<const TaviFichier*>(lf_.Item(i)))
                videos.push_back({avi->Fps, avi->Duration, lf_.Selected(i)});
        if (ShowInformation) ShowInformation(TotalDurationMessage(videos));
    });
    for (const SortAction& sort : kSortActions)
        onCommand(sort.name, [this, id = std::string(sort.id)] {
            if (auto* order = As<TWidestringAction>(Action("waSortIndexId")))
                order->SetValue(id);
            else
                lf_.SortBy(SortIndexById(id));
        });
    if (auto* order = As<TWidestringAction>(Action("waSortIndexId")))
        order->OnAfterApply = [this](const std::string& id) {
            lf_.SortBy(SortIndexById(id));
            // An empty list does not announce its counts: the label still shows the order.
            lframe_->Sync();
        };
    if (auto* vue = As<TIntegerAction>(Action("iaVue")))
        vue->OnAfterApply = [this](const int32_t& v) { SetView(v); };
    for (const char* name : {"caVideoSeule", "caVueReduite", "caListeGauche"})
        if (auto* check = As<TCheckAction>(Action(name))) {
            const auto relayout = [this] {
                if (lf_.Count() == 0) return;
                setViewFromList();
                layoutViews();
            };
            check->OnAfterTrueApply = relayout;
            check->OnAfterFalseApply = relayout;
        }
    if (auto* rect = As<TRectAction>(Action("raFormSave"))) {
        rect->BeforeSave = [this](TRect& r) {
            const QRect g = normalGeometry().isValid() ? normalGeometry() : geometry();
            r = TRect{g.left(), g.top(), g.right() + 1, g.bottom() + 1};
            return true;
        };
        rect->OnAfterApply = [this](const TRect& r) {
            if (r.Right - r.Left >= 100 && r.Bottom - r.Top >= 100)
                setGeometry(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top);
        };
    }

    // The patch commands ask for their value first.
    if (auto* codec = As<TWidestringAction>(Action("ccModifierCodec"))) {
        codec->OnPrepare = [this](std::string& value) {
            codecForm_->Prepare(ActiveRecord());
            if (!codecForm_->Ask()) return false;
            value = codecForm_->Value();
            return true;
        };
        if (!catalogue_.CommandOf(*codec))
            codec->OnAfterApply = [this](const std::string& value) { RunCommand("ModifierCodec", {value}); };
    }
    if (auto* rate = As<TDoubleAction>(Action("ccFrequenceVideo"))) {
        rate->OnPrepare = [this](double& value) {
            frequenceForm_->Prepare(ActiveRecord());
            if (!frequenceForm_->Ask()) return false;
            value = *frequenceForm_->Value();
            return true;
        };
        if (!catalogue_.CommandOf(*rate))
            rate->OnAfterApply = [this](const double& value) {
                RunCommand("FrequenceVideo", {GeneralFloatText(value)});
            };
    }
    catalogue_.OpenAddress = [](const std::string& address) {
        QDesktopServices::openUrl(QUrl(QString::fromStdString(address)));
    };
}

void TUIForm::bindListManager() {
    ficman_.Filter = "Fichiers avi (*.avi)|*.avi|";
    ficman_.Dialogs = ListFileChoosers(this);
    ficman_.OnError = [this](const std::string& message) { showError(message); };

    // The folders follow the settings, which are applied when the preferences are read; the
    // defaults hold until then and when no store is used.
    const auto standard = [](QStandardPaths::StandardLocation where) {
        const QString path = QStandardPaths::writableLocation(where);
        return path.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::HomeLocation).toStdString()
                              : path.toStdString();
    };
    struct FolderSetting {
        const char* action;
        QStandardPaths::StandardLocation location;
        void (TListFichierMan::*set)(const std::string&);
    };
    const FolderSetting settings[] = {
        {"waDossierOuvrir", QStandardPaths::MoviesLocation, &TListFichierMan::SetInitialDir},
        {"waDossierFavori", QStandardPaths::MoviesLocation, &TListFichierMan::SetDossierFavori},
        {"waDossierPlayList", QStandardPaths::DocumentsLocation, &TListFichierMan::SetDossierPlayList},
    };
    for (const FolderSetting& setting : settings) {
        const std::string fallback = standard(setting.location);
        (ficman_.*setting.set)(fallback);
        auto* folder = As<TWidestringAction>(Action(setting.action));
        if (!folder) continue;
        folder->SetDefaultValue(fallback);
        folder->OnAfterApply = [&manager = ficman_, set = setting.set, fallback](const std::string& value) {
            (manager.*set)(value.empty() ? fallback : value);
        };
    }
}

void TUIForm::bindListExports() {
    TListExportActions& x = *exports_;
    x.SaveDialog = [this](const std::string& title, const std::string& name, const std::string& filter,
                          const std::string& initialDir) {
        return ChooseExportFile(this, title, name, filter, initialDir);
    };
    x.AskReplace = [this](const std::string& question) { return Ask(question, false) == TAnswer::Oui; };
    // The status line paints itself at once; the export runs on this thread and nothing else
    // may run in the middle of it.
    x.OnStatus = [this](const std::string& text, bool busy) {
        status_->Show(busy ? StatusKind::Command : StatusKind::Ready, text);
    };
    x.OnError = [this](const std::string& message) { showError(message); };
    x.ShowExported = [](const std::string& path) { return ShowInFolder(path); };
    x.OpenDocument = [](const std::string& path) { return OpenWithDefault(path); };
    ShowInformation = [this](const std::string& text) { ShowInformationBox(this, text); };
    ChooseColumns = [this](const std::vector<std::string>& available,
                           const std::vector<std::string>& selected) {
        return ColumnBox(this, available, selected);
    };
    if (auto* columns = As<TNopeAction>(Action("naSelectColumns")); columns && !columns->InternalApply)
        columns->OnAfterApply = [this] {
            if (!ChooseColumns) return;
            const auto chosen =
                ChooseColumns(exports_->saAvailable.CurrentValue(), exports_->saSelected.CurrentValue());
            if (chosen) exports_->saSelected.SetValue(*chosen);
        };
}

void TUIForm::interruptAll() {
    lf_.StopOpening();
    ce_.InterruptAll();
    ce_.Signal();
}

}  // namespace velinor
