#pragma once
// The file list widget: shows the list model's records in their sorted order (name, datecode,
// timecode, duration), mirrors its selection and current item both ways, sorts by a click on a
// column header, opens dropped or pasted files and folders, and drags the selected files out as
// file URLs. GUI thread only.
#include <QAbstractTableModel>
#include <QTreeView>
#include <optional>
#include <string>
#include <vector>

namespace velinor {

class TFichierListModel;
struct TSortIndex;

// The columns, each with the sort order a click on its header applies.
struct ListColumn {
    const char* caption;
    const char* sortId;
};
inline constexpr ListColumn kListColumns[] = {
    {"Nom", "alpha"}, {"Datecode", "datecode"}, {"Timecode", "timecode"}, {"Durée", "duree"}};

// Table view of the list model, for the widget. GUI thread only.
class FichierItemModel final : public QAbstractTableModel {
public:
    explicit FichierItemModel(TFichierListModel& list, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    // The selected files in list order, whatever rows the drag started from.
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                         const QModelIndex& parent) const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;
    Qt::DropActions supportedDragActions() const override { return Qt::CopyAction; }
    Qt::DropActions supportedDropActions() const override { return Qt::CopyAction; }

    void Reset();

private:
    TFichierListModel& list_;
};

class TFichierListbox2 final : public QTreeView {
public:
    explicit TFichierListbox2(TFichierListModel& list, QWidget* parent = nullptr);

    // Shows the model's items, selection and current item again; call after the model changed.
    void Sync();
    // Opens the files and folders on the clipboard (the paste command).
    void PasteFiles();
    TFichierListModel& Model() { return list_; }

    // The local files named by drop or clipboard data; none when it names none.
    static std::optional<std::vector<std::string>> LocalFiles(const QMimeData* data);

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void selectionToModel();
    void userMoved();

    TFichierListModel& list_;
    FichierItemModel items_;
    bool syncing_ = false;
};

}  // namespace velinor
