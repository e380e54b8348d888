#pragma once
// A path in a line edit with a browse button beside it: TFolderEdit chooses a folder, TFileEdit
// a file. The path counts as chosen when the chooser gives one or when the user has typed one
// and leaves the edit. UI thread only.
#include <QString>
#include <QWidget>
#include <functional>

class QLineEdit;
class QToolButton;

namespace velinor {

class TPathEdit : public QWidget {
    Q_OBJECT
public:
    enum class Kind { Folder, File };
    explicit TPathEdit(Kind kind, QWidget* parent = nullptr);

    QString Path() const;
    // Shows a path without announcing it.
    void SetPath(const QString& path);
    QLineEdit* Edit() const { return edit_; }
    QToolButton* BrowseButton() const { return browse_; }

    // The chooser's title and, for a file, its Qt filter ("Programmes (*)").
    QString Title;
    QString Filter;
    // Asks for a path starting from the current one; empty when cancelled. The default shows
    // Qt's folder or file chooser; tests answer it directly.
    std::function<QString(const QString& current)> Choose;

signals:
    // The user chose or typed this path.
    void pathChosen(const QString& path);

private:
    void browse();

    Kind kind_;
    QLineEdit* edit_;
    QToolButton* browse_;
};

class TFolderEdit final : public TPathEdit {
public:
    explicit TFolderEdit(QWidget* parent = nullptr) : TPathEdit(Kind::Folder, parent) {}
};

class TFileEdit final : public TPathEdit {
public:
    explicit TFileEdit(QWidget* parent = nullptr) : TPathEdit(Kind::File, parent) {}
};

}  // namespace velinor
