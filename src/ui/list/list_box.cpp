#include "ui/list/list_box.h"

#include <QApplication>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>

#include "filelist/avi_fichier.h"
#include "filelist/list_model.h"

namespace velinor {

namespace {

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

// The columns' texts of a record; the video fields only for video records.
QString CellText(const TAbstractListFichier& record, int column) {
    if (column == 0) return Text(record.Name);
    const auto* avi = dynamic_cast<const TaviFichier*>(&record);
    if (!avi) return {};
    switch (column) {
        case 1:
            return Text(avi->DatecodeText);
        case 2:
            return Text(avi->TimecodeText);
        case 3:
            return Text(avi->DurationText);
        default:
            return {};
    }
}

}  // namespace

FichierItemModel::FichierItemModel(TFichierListModel& list, QObject* parent)
    : QAbstractTableModel(parent), list_(list) {}

int FichierItemModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : list_.Count();
}

int FichierItemModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(std::size(kListColumns));
}

QVariant FichierItemModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= list_.Count()) return {};
    const TAbstractListFichier* record = list_.Item(index.row());
    if (role == Qt::DisplayRole) return CellText(*record, index.column());
    if (role == Qt::ToolTipRole) return Text(record->FileName);
    return {};
}

QVariant FichierItemModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount()) return {};
    if (role == Qt::DisplayRole) return QString::fromUtf8(kListColumns[section].caption);
    if (role == Qt::ToolTipRole)
        return QString::fromUtf8(SortIndexById(kListColumns[section].sortId).Label.c_str());
    return {};
}

Qt::ItemFlags FichierItemModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::ItemIsDropEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemNeverHasChildren;
}

QStringList FichierItemModel::mimeTypes() const {
    return {"text/uri-list"};
}

QMimeData* FichierItemModel::mimeData(const QModelIndexList&) const {
    QList<QUrl> urls;
    for (int i = 0; i < list_.Count(); ++i)
        if (list_.Selected(i)) urls << QUrl::fromLocalFile(Text(list_.Item(i)->FileName));
    if (urls.isEmpty()) return nullptr;
    auto* data = new QMimeData;
    data->setUrls(urls);
    return data;
}

bool FichierItemModel::canDropMimeData(const QMimeData* data, Qt::DropAction, int, int,
                                       const QModelIndex&) const {
    return TFichierListbox2::LocalFiles(data).has_value();
}

bool FichierItemModel::dropMimeData(const QMimeData* data, Qt::DropAction, int, int, const QModelIndex&) {
    auto names = TFichierListbox2::LocalFiles(data);
    if (!names) return false;
    list_.OpenDroppedFiles(std::move(*names));
    // The worker adds the files; the view must not insert rows itself.
    return false;
}

void FichierItemModel::Reset() {
    beginResetModel();
    endResetModel();
}

TFichierListbox2::TFichierListbox2(TFichierListModel& list, QWidget* parent)
    : QTreeView(parent), list_(list), items_(list, this) {
    setObjectName("lf");
    setModel(&items_);
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setDragEnabled(true);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDropIndicatorShown(false);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::CopyAction);
    header()->setSectionsClickable(true);
    header()->setStretchLastSection(true);
    header()->setSectionResizeMode(0, QHeaderView::Interactive);
    setColumnWidth(0, 150);
    connect(header(), &QHeaderView::sectionClicked, this, [this](int section) {
        if (section >= 0 && section < int(std::size(kListColumns)))
            list_.SortBy(SortIndexById(kListColumns[section].sortId));
    });
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { selectionToModel(); });
    list_.ClipboardFiles = [] { return LocalFiles(QApplication::clipboard()->mimeData()); };
}

void TFichierListbox2::Sync() {
    if (syncing_) return;
    syncing_ = true;
    items_.Reset();
    QItemSelection selection;
    const int columns = items_.columnCount();
    for (int i = 0; i < list_.Count();) {
        if (!list_.Selected(i)) {
            ++i;
            continue;
        }
        int j = i;
        while (j + 1 < list_.Count() && list_.Selected(j + 1)) ++j;
        selection.select(items_.index(i, 0), items_.index(j, columns - 1));
        i = j + 1;
    }
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    const int current = list_.ItemIndex();
    selectionModel()->setCurrentIndex(current >= 0 ? items_.index(current, 0) : QModelIndex(),
                                      QItemSelectionModel::NoUpdate);
    if (current >= 0) scrollTo(items_.index(current, 0));
    setToolTip(Text(list_.Hint()));
    syncing_ = false;
}

void TFichierListbox2::selectionToModel() {
    if (syncing_) return;
    const QItemSelectionModel* selection = selectionModel();
    for (int i = 0; i < list_.Count(); ++i) list_.SetSelected(i, selection->isRowSelected(i, {}));
}

// After a click or a move key: the selection goes to the list, and the current row becomes the
// active file (or the list hears the release when it already is).
void TFichierListbox2::userMoved() {
    selectionToModel();
    const int row = currentIndex().isValid() ? currentIndex().row() : -1;
    if (row >= 0 && row != list_.ItemIndex())
        list_.SetActiveIndex(row);
    else
        list_.UserReleased();
    Sync();
}

void TFichierListbox2::mouseReleaseEvent(QMouseEvent* event) {
    QTreeView::mouseReleaseEvent(event);
    userMoved();
}

void TFichierListbox2::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Paste)) {
        PasteFiles();
        return;
    }
    QTreeView::keyPressEvent(event);
}

void TFichierListbox2::keyReleaseEvent(QKeyEvent* event) {
    QTreeView::keyReleaseEvent(event);
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) return;
    switch (event->key()) {
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_End:
        case Qt::Key_Home:
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_Delete:
            userMoved();
            break;
        default:
            break;
    }
}

// Files dragged from elsewhere are opened; the list's own items dragged back onto it are not.
void TFichierListbox2::dragEnterEvent(QDragEnterEvent* event) {
    if (event->source() != this && LocalFiles(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void TFichierListbox2::dragMoveEvent(QDragMoveEvent* event) {
    if (event->source() != this && LocalFiles(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void TFichierListbox2::dropEvent(QDropEvent* event) {
    auto names = event->source() == this ? std::nullopt : LocalFiles(event->mimeData());
    if (!names) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    list_.OpenDroppedFiles(std::move(*names));
}

void TFichierListbox2::PasteFiles() {
    list_.OpenClipboardFiles();
}

std::optional<std::vector<std::string>> TFichierListbox2::LocalFiles(const QMimeData* data) {
    if (!data || !data->hasUrls()) return std::nullopt;
    std::vector<std::string> names;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) names.push_back(url.toLocalFile().toStdString());
    if (names.empty()) return std::nullopt;
    return names;
}

}  // namespace velinor
