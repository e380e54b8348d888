#include "ui/main_window.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <cinttypes>
#include <climits>
#include <cmath>
#include <cstdio>
#include <stdexcept>

#include "filelist/avi_fichier.h"
#include "graph/sinks.h"
#include "media/fpsunit.h"
#include "media/riff_report.h"
#include "platform/process.h"
#include "ui/codec_dialogs.h"
#include "ui/info_panel.h"
#include "ui/list_box.h"

namespace velinor {

namespace {

constexpr int kSideColumnWidth = 296;

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

// "label|pattern|label|pattern..." as a Qt file filter; every pattern also matches its upper case,
// since names from cameras and other systems often are.
QString QtFileFilter(const std::string& filter) {
    QStringList parts = Q(filter).split('|');
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString label = parts[i].trimmed();
        if (label.isEmpty()) continue;
        if (const qsizetype open = label.indexOf('('); open > 0) label = label.left(open).trimmed();
        QStringList patterns;
        for (const QString& pattern : parts[i + 1].split(';', Qt::SkipEmptyParts)) {
            const QString one = pattern.trimmed() == "*.*" ? QString("*") : pattern.trimmed();
            patterns << one;
            if (one != one.toUpper()) patterns << one.toUpper();
        }
        entries << label + " (" + patterns.join(' ') + ")";
    }
    return entries.join(";;");
}

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

StatusColour StatusColourOf(StatusKind kind) {
    switch (kind) {
        case StatusKind::Command:
            return {192, 220, 192};  // money green
        case StatusKind::Opening:
            return {166, 202, 240};  // sky blue
        case StatusKind::Ready:
            break;
    }
    return {-1, -1, -1};
}

std::string PreviewPositionText(int64_t p, double fps) {
    char text[64];
    if (fps == 0) {
        const int64_t seconds = p / 10'000'000;
        const int64_t millis = (p % 10'000'000) / 10'000;
        std::snprintf(text, sizeof text, "%" PRId64 ":%.2" PRId64 ":%.2" PRId64 ":%.3" PRId64, seconds / 3600,
                      seconds / 60 % 60, seconds % 60, millis);
    } else {
        const int64_t seconds = int64_t(std::trunc(double(p) / fps));
        const int64_t frames = int64_t(std::trunc(double(p) - double(seconds) * fps));
        std::snprintf(text, sizeof text, "%" PRId64 ":%.2" PRId64 ":%.2" PRId64 ":%.2" PRId64, seconds / 3600,
                      seconds / 60 % 60, seconds % 60, frames);
    }
    return text;
}

std::string SelectionCountText(int selected, int count, const TSortIndex& order) {
    return std::to_string(selected) + " fichier" + (selected >= 2 ? "s" : "") + " sur " +
           std::to_string(count) + " - " + order.Label;
}

std::string TotalDurationMessage(const std::vector<ListedDuration>& videos) {
    double rate = 0;
    int64_t total = 0, selected = 0;
    for (const ListedDuration& v : videos) {
        if (rate == 0)
            rate = v.fps;
        else if (rate > 0 && v.fps != rate)
            rate = -1;
        total += v.duration;
        if (v.selected) selected += v.duration;
    }
    std::string s, t;
    if (rate > 0) {
        const auto frame = int64_t(std::llround(double(kUnitsPerSecond) / rate));
        s = FramesDurationText(frame, selected);
        t = FramesDurationText(frame, total);
    } else {
        s = MsDurationText(selected);
        t = MsDurationText(total);
    }
    return "Durée des vidéos sélectionnées  = " + s + "\r\nDurée totale des vidéos listées = " + t;
}

std::string TUIForm::FullTitle() {
    return "Velinor 1.0.0 fr";
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
    buildWidgets();
    // Steps that may fail leave the window usable with whatever was set up.
    try {
        bindList();
        bindEngine();
        bindActions();
        bindListManager();
        bindListExports();
        bindPreferences();
        menus_ = BuildMainMenus(*this, catalogue_, binder_);
        binder_.BindList(commandActions_);
        AddListManagerActions(menus_, ficman_.Actions, binder_);
        binder_.OnError = [this](TCustomAbstractAction&, const std::string& what) { showError(what); };
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
    }
    setStatus(StatusKind::Ready, "Prêt");
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
    lf_.OnOpenStart = nullptr;
    lf_.OnOpenFolderFound = nullptr;
    lf_.OnOpenEnd = nullptr;
    ce_.OnStartCommand = nullptr;
    ce_.OnMessageCommand = nullptr;
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
    preview_->ReleasePreview();
    // The list widget reads the list model, which goes before the widgets do.
    delete listBox_;
    listBox_ = nullptr;
    lf_.ClearFichiers();
}

void TUIForm::buildWidgets() {
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

    listFrame_ = new QWidget(sideColumn_);
    listFrame_->setObjectName("Lframe");
    auto* listLayout = new QVBoxLayout(listFrame_);
    listLayout->setContentsMargins(0, 0, 0, 0);
    listBox_ = new TFichierListbox2(lf_, listFrame_);
    listLayout->addWidget(listBox_, 1);
    labSelect_ = new QLabel(listFrame_);
    labSelect_->setObjectName("labSelect");
    listLayout->addWidget(labSelect_);
    side->addWidget(listFrame_, 1);

    // The preview and the empty-list help page are later work: their places stay empty.
    vueFrame_ = new QFrame(central);
    vueFrame_->setObjectName("VueFrame");
    static_cast<QFrame*>(vueFrame_)->setFrameShape(QFrame::StyledPanel);
    vueFrame_->setStyleSheet("#VueFrame { background: black; }");
    videPanel_ = new QLabel(
        "Aucun fichier dans la liste.\n\nDéposez ici des fichiers ou des dossiers de vidéos DV,\n"
        "ou ouvrez-les par le menu Fichiers.",
        central);
    videPanel_->setObjectName("VidePanel");
    static_cast<QLabel*>(videPanel_)->setAlignment(Qt::AlignCenter);

    row->addWidget(sideColumn_);
    row->addWidget(vueFrame_, 1);
    row->addWidget(videPanel_, 1);
    setCentralWidget(central);

    status_ = new QLabel(this);
    status_->setObjectName("StatusPanel");
    status_->setAlignment(Qt::AlignCenter);
    status_->setAutoFillBackground(true);
    statusBar()->addWidget(status_, 1);
    statusBar()->setSizeGripEnabled(true);

    timer1_ = new QTimer(this);
    timer1_->setInterval(40);
    connect(timer1_, &QTimer::timeout, this, [this] { timerTick(); });
}

void TUIForm::bindList() {
    lf_.OnOpenStart = [this] { listWasEmpty_ = lf_.Count() == 0; };
    lf_.OnOpenFolderFound = [this](const std::string& folder) {
        openMessage_ = "En train d'analyser " + folder;
        showStatus();
    };
    // Called on the open worker: a pure test of the text.
    lf_.OnOpenTestExtension = [](const std::string& ext) { return ext == ".avi"; };
    lf_.OnOpenEnd = [this](int) {
        if (listWasEmpty_ && lf_.Count() > 0) {
            ficman_.waActiveFile.SetValue(lf_.Item(0)->FileName);
        }
        openMessage_.clear();
        showStatus();
    };
    lf_.OnCountsChange = [this](int selected, int count) {
        labSelect_->setText(Q(SelectionCountText(selected, count, lf_.SortIndex())));
        listBox_->Sync();
        const int view = count == 0 ? 1 : currentViewFromChecks();
        if (auto* vue = As<TIntegerAction>(Action("iaVue")))
            vue->SetValue(view);
        else
            SetView(view);
        RefreshActions();
    };
    lf_.OnActiveChange = [this](TAbstractListFichier* record) {
        listBox_->Sync();
        set_.ActiveFileChanged(record);
        RefreshActiveFile();
    };
}

void TUIForm::bindEngine() {
    ce_.Confirmer = this;
    set_.OnRefused = [this](const std::string& reason) { setStatus(StatusKind::Ready, reason); };
    auto gaugeShift = std::make_shared<int>(0);
    ce_.OnStartCommand = [this] { commandRunning_ = true; };
    ce_.OnMessageCommand = [this](const std::string& text) {
        commandMessage_ = text;
        showStatus();
        status_->repaint();
    };
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
        const char* suffix = type == etError      ? "Le fichier courant a été interrompu."
                             : type == etAllError ? "La commande va être interrompue."
                                                  : "";
        showError(text + "\n" + suffix);
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
        commandMessage_.clear();
        showStatus();
        RefreshActiveFile();
        commandRunning_ = false;
    };

    dm_.ShowRiffHeader = [this](const std::string& path) {
        RiffReport report;
        if (!report.AnalyseFile(path)) throw std::runtime_error("Impossible d'analyser " + path);
        QString text;
        for (const std::string& line : report.Lines()) text += Q(PlainText(line)) + "\n";
        auto* viewer = new QDialog(this);
        viewer->setAttribute(Qt::WA_DeleteOnClose);
        viewer->setWindowTitle(Q(FileNameOf(path)));
        auto* layout = new QVBoxLayout(viewer);
        auto* edit = new QPlainTextEdit(text, viewer);
        edit->setReadOnly(true);
        edit->setFont(QFont("Monospace"));
        layout->addWidget(edit);
        viewer->resize(640, 480);
        viewer->show();
    };
}

TCustomAbstractAction* TUIForm::Action(const std::string& name) const {
    if (TCustomAbstractAction* action = catalogue_.Find(name)) return action;
    if (TCustomAbstractAction* action = ficman_.Actions.FindAction(name)) return action;
    return commandActions_.FindAction(name);
}

bool TUIForm::checked(const char* name) const {
    const auto* check = dynamic_cast<const TCheckAction*>(Action(name));
    return check && check->Checked();
}

int TUIForm::currentViewFromChecks() const {
    if (checked("caVideoSeule")) return 2;
    if (checked("caVueReduite")) return 3;
    return 0;
}

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
            labSelect_->setText(Q(SelectionCountText(lf_.SelectedCount(), lf_.Count(), lf_.SortIndex())));
        };
    if (auto* vue = As<TIntegerAction>(Action("iaVue")))
        vue->OnAfterApply = [this](const int32_t& v) { SetView(v); };
    for (const char* name : {"caVideoSeule", "caVueReduite", "caListeGauche"})
        if (auto* check = As<TCheckAction>(Action(name))) {
            const auto relayout = [this] {
                if (lf_.Count() == 0) return;
                if (auto* vue = As<TIntegerAction>(Action("iaVue")))
                    vue->SetValue(currentViewFromChecks());
                else
                    SetView(currentViewFromChecks());
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
    TListFichierDialogs& d = ficman_.Dialogs;
    d.OpenFiles = [this](const std::string& title, const std::string& filter,
                         const std::string& initialDir) -> std::optional<std::vector<std::string>> {
        const QStringList chosen =
            QFileDialog::getOpenFileNames(this, Q(title), Q(initialDir), QtFileFilter(filter));
        if (chosen.isEmpty()) return std::nullopt;
        std::vector<std::string> paths;
        for (const QString& path : chosen) paths.push_back(path.toStdString());
        return paths;
    };
    d.OpenFile = [this](const std::string& title, const std::string& filter) -> std::optional<std::string> {
        const QString chosen = QFileDialog::getOpenFileName(this, Q(title), {}, QtFileFilter(filter));
        if (chosen.isEmpty()) return std::nullopt;
        return chosen.toStdString();
    };
    d.SaveFile = [this](const std::string& title, const std::string& filter) -> std::optional<std::string> {
        const QString chosen = QFileDialog::getSaveFileName(this, Q(title), {}, QtFileFilter(filter));
        if (chosen.isEmpty()) return std::nullopt;
        return chosen.toStdString();
    };
    d.Folder = [this](const std::string& title, const std::string& start) -> std::optional<std::string> {
        const QString chosen = QFileDialog::getExistingDirectory(this, Q(title), Q(start));
        if (chosen.isEmpty()) return std::nullopt;
        return chosen.toStdString();
    };
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

namespace {

// The box of export columns: every available column with a tick, the chosen ones first in
// their order; rows can be dragged into another order.
std::optional<std::vector<std::string>> ColumnBox(QWidget* parent, const std::vector<std::string>& available,
                                                  const std::vector<std::string>& selected) {
    QDialog box(parent);
    box.setWindowTitle("Sélectionner les colonnes");
    auto* layout = new QVBoxLayout(&box);
    layout->addWidget(new QLabel("Colonnes exportées, dans l'ordre (glisser pour le changer) :"));
    auto* list = new QListWidget;
    list->setDragDropMode(QAbstractItemView::InternalMove);
    const auto add = [list](const std::string& id, bool on) {
        auto* item = new QListWidgetItem(Q(id), list);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(on ? Qt::Checked : Qt::Unchecked);
    };
    for (const std::string& id : selected)
        if (std::find(available.begin(), available.end(), id) != available.end()) add(id, true);
    for (const std::string& id : available)
        if (std::find(selected.begin(), selected.end(), id) == selected.end()) add(id, false);
    layout->addWidget(list);
    auto* buttons = new QDialogButtonBox;
    buttons->addButton("OK", QDialogButtonBox::AcceptRole);
    buttons->addButton("Annuler", QDialogButtonBox::RejectRole);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &box, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &box, &QDialog::reject);
    layout->addWidget(buttons);
    if (box.exec() != QDialog::Accepted) return std::nullopt;
    std::vector<std::string> chosen;
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->checkState() == Qt::Checked) chosen.push_back(list->item(i)->text().toStdString());
    return chosen;
}

}  // namespace

void TUIForm::bindListExports() {
    TListExportActions& x = *exports_;
    x.SaveDialog = [this](const std::string& title, const std::string& name, const std::string& filter,
                          const std::string& initialDir) -> std::optional<std::string> {
        // An existing name is asked about by the export itself, which can keep both files.
        const QString chosen =
            QFileDialog::getSaveFileName(this, Q(title), Q(initialDir + name), QtFileFilter(filter), nullptr,
                                         QFileDialog::DontConfirmOverwrite);
        if (chosen.isEmpty()) return std::nullopt;
        return chosen.toStdString();
    };
    x.AskReplace = [this](const std::string& question) { return Ask(question, false) == TAnswer::Oui; };
    x.OnStatus = [this](const std::string& text, bool busy) {
        setStatus(busy ? StatusKind::Command : StatusKind::Ready, text);
        if (busy) QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    };
    x.OnError = [this](const std::string& message) { showError(message); };
    x.ShowExported = [](const std::string& path) { return ShowInFolder(path); };
    x.OpenDocument = [](const std::string& path) { return OpenWithDefault(path); };
    ShowInformation = [this](const std::string& text) {
        QMessageBox::information(this, Q(FullTitle()), Q(text));
    };
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

void TUIForm::bindPreferences() {
    // Loaded application manager first, list manager last; saved the other way round.
    gp_.OnLoadPrefs = [this](TMorvanePreferences& prefs) { set_.LoadPreferences(prefs); };
    gp_.OnSavePrefs = [this](TMorvanePreferences& prefs) { set_.SavePreferences(prefs); };
    gp_.OnChooseMode = [this](const std::string& caption) {
        return ChooseMode ? ChooseMode(caption) : askMode(caption);
    };
}

std::optional<TSavePreferences> TUIForm::askMode(const std::string& caption) {
    QMessageBox box(this);
    box.setWindowTitle(Q(caption));
    box.setTextFormat(Qt::RichText);
    // The store's message is in the rich label's markup; Qt reads its <br> and <i>.
    QString text = Q(kSavePrefsMessage);
    text.replace("<size 10>", "").replace("</size>", "");
    box.setText(text);
    std::vector<std::pair<QAbstractButton*, TSavePreferences>> buttons;
    for (const SavePrefsChoice& choice : kSavePrefsChoices) {
        QPushButton* b = box.addButton(QString::fromUtf8(choice.caption), QMessageBox::AcceptRole);
        b->setToolTip(QString::fromUtf8(choice.hint));
        buttons.emplace_back(b, choice.mode);
    }
    box.addButton("Annuler", QMessageBox::RejectRole);
    box.exec();
    for (const auto& [button, mode] : buttons)
        if (box.clickedButton() == button) return mode;
    return std::nullopt;
}

TAnswer TUIForm::Ask(const std::string& question, bool several) {
    QMessageBox box(QMessageBox::Question, Q(FullTitle()), Q(question), QMessageBox::NoButton, this);
    struct Choice {
        const char* caption;
        TAnswer answer;
        QMessageBox::ButtonRole role;
    };
    const Choice choices[] = {{"&Oui", TAnswer::Oui, QMessageBox::YesRole},
                              {"&Non", TAnswer::Non, QMessageBox::NoRole},
                              {"Annuler", TAnswer::Annuler, QMessageBox::RejectRole},
                              {"N&on à Tous", TAnswer::NonATous, QMessageBox::NoRole},
                              {"Oui à &Tous", TAnswer::OuiATous, QMessageBox::YesRole}};
    std::vector<std::pair<QAbstractButton*, TAnswer>> buttons;
    for (size_t i = 0; i < (several ? 5u : 3u); ++i)
        buttons.emplace_back(box.addButton(QString::fromUtf8(choices[i].caption), choices[i].role),
                             choices[i].answer);
    box.setEscapeButton(buttons[2].first);
    box.exec();
    for (const auto& [button, answer] : buttons)
        if (box.clickedButton() == button) return answer;
    return TAnswer::Annuler;
}

void TUIForm::showError(const std::string& text) {
    QMessageBox box(QMessageBox::Critical, Q(FullTitle()), Q(text), QMessageBox::Ok, this);
    box.exec();
}

void TUIForm::setStatus(StatusKind kind, const std::string& text) {
    statusKind_ = kind;
    status_->setText(Q(text));
    QPalette palette = status_->palette();
    const StatusColour c = StatusColourOf(kind);
    palette.setColor(QPalette::Window, c.red < 0 ? QApplication::palette().color(QPalette::Button)
                                                 : QColor(c.red, c.green, c.blue));
    status_->setPalette(palette);
}

// A command's message hides the open message until the command ends.
void TUIForm::showStatus() {
    if (!commandMessage_.empty())
        setStatus(StatusKind::Command, commandMessage_);
    else if (!openMessage_.empty())
        setStatus(StatusKind::Opening, openMessage_);
    else
        setStatus(StatusKind::Ready, "Prêt");
}

void TUIForm::interruptAll() {
    lf_.StopOpening();
    ce_.InterruptAll();
    ce_.Signal();
}

const TaviFichier* TUIForm::ActiveRecord() const {
    const int index = lf_.ItemIndex();
    if (index < 0 || index >= lf_.Count()) return nullptr;
    return dynamic_cast<const TaviFichier*>(lf_.Item(index));
}

void TUIForm::RefreshActiveFile() {
    if (const TaviFichier* record = ActiveRecord()) {
        baseFrame_->ShowFile(record);
        if (!closing_) timer1_->start();
    } else {
        baseFrame_->ClearFile();
        timer1_->stop();
    }
    RefreshActions();
}

void TUIForm::timerTick() {
    const TaviFichier* record = ActiveRecord();
    if (!record) return;
    // The preview is not there yet: the position stays at the start of the file.
    const int64_t position = 0;
    lastPositionText_ = PreviewPositionText(position, record->Fps);
}

tAbstractCmd* TUIForm::findCommand(const std::string& name) const {
    return set_.FindCommand(name);
}

bool TUIForm::RunCommand(const std::string& name, const CmdParams& params) {
    return set_.RunCommand(name, params);
}

void TUIForm::RefreshActions() {
    set_.RefreshActions();
    if (menus_.window) {
        RefreshMenuVisibility(menus_);
        menus_.ApplyGroups();
    }
}

void TUIForm::SetView(int view) {
    if (view < 0 || view > 3) return;
    view_ = view;
    layoutViews();
}

void TUIForm::layoutViews() {
    auto* row = static_cast<QHBoxLayout*>(centralWidget()->layout());
    auto* side = static_cast<QVBoxLayout*>(sideColumn_->layout());
    const bool reduced = view_ == 3;
    // In the reduced view the preview sits in the side column, under the info panel.
    if (reduced && vueFrame_->parentWidget() != sideColumn_) {
        row->removeWidget(vueFrame_);
        vueFrame_->setParent(sideColumn_);
        side->insertWidget(1, vueFrame_, 1);
    } else if (!reduced && vueFrame_->parentWidget() == sideColumn_) {
        side->removeWidget(vueFrame_);
        vueFrame_->setParent(centralWidget());
        row->insertWidget(1, vueFrame_, 1);
    }
    videPanel_->setVisible(view_ == 1);
    sideColumn_->setVisible(view_ == 0 || view_ == 3);
    listFrame_->setVisible(view_ == 0);
    baseFrame_->setVisible(view_ == 0 || view_ == 3);
    vueFrame_->setVisible(view_ != 1);
    switch (view_) {
        case 0:
            setMinimumSize(740, 550);
            break;
        case 1:
            setMinimumSize(videPanel_->sizeHint().width() + 20, videPanel_->sizeHint().height() + 80);
            break;
        case 2:
            setMinimumSize(300, 200);
            break;
        case 3:
            setMinimumSize(kSideColumnWidth, 550);
            break;
        default:
            break;
    }
    // The side column at the left (the default) or at the right.
    row->setDirection(checked("caListeGauche") || !Action("caListeGauche") ? QBoxLayout::LeftToRight
                                                                           : QBoxLayout::RightToLeft);
}

void TUIForm::Activate() {
    if (!argumentsOpened_) {
        // The command-line paths are opened once: files the user removes later stay removed.
        argumentsOpened_ = true;
        if (auto* open = As<TWStringsAction>(Action("saOpenFiles")))
            open->SetValue(arguments_);
        else if (!arguments_.empty())
            lf_.OpenPaths(arguments_);
    }
    const int view = lf_.Count() == 0 ? 1 : currentViewFromChecks();
    if (auto* vue = As<TIntegerAction>(Action("iaVue")))
        vue->SetValue(view);
    else
        SetView(view);
}

void TUIForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (shown_) return;
    shown_ = true;
    baseFrame_->ClearFile();
    listBox_->setFocus();
    gp_.Load();
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
