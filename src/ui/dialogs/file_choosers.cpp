#include "ui/dialogs/file_choosers.h"

#include <QFileDialog>

#include "ui/kit/qt_text.h"

namespace velinor {

TListFichierDialogs ListFileChoosers(QWidget* parent) {
    TListFichierDialogs d;
    d.OpenFiles = [parent](const std::string& title, const std::string& filter,
                           const std::string& initialDir) -> std::optional<std::vector<std::string>> {
        const QStringList chosen =
            QFileDialog::getOpenFileNames(parent, Q(title), Q(initialDir), QtFileFilter(filter));
        if (chosen.isEmpty()) return std::nullopt;
        std::vector<std::string> paths;
        for (const QString& path : chosen) paths.push_back(path.toStdString());
        return paths;
    };
    d.OpenFile = [parent](const std::string& title, const std::string& filter) -> std::optional<std::string> {
        const QString chosen = QFileDialog::getOpenFileName(parent, Q(title), {}, QtFileFilter(filter));
        if (chosen.isEmpty()) return std::nullopt;
        return chosen.toStdString();
    };
    d.SaveFile = [parent](const std::string& title, const std::string& filter) -> std::optional<std::string> {
        const QString chosen = QFileDialog::getSaveFileName(parent, Q(title), {}, QtFileFilter(filter));
        if (chosen.isEmpty()) return std::nullopt;
        return chosen.toStdString();
    };
    d.Folder = [parent](const std::string& title, const std::string& start) -> std::optional<std::string> {
        const QString chosen = QFileDialog::getExistingDirectory(parent, Q(title), Q(start));
        if (chosen.isEmpty()) return std::nullopt;
        return chosen.toStdString();
    };
    return d;
}

std::optional<std::string> ChooseExportFile(QWidget* parent, const std::string& title,
                                            const std::string& name, const std::string& filter,
                                            const std::string& initialDir) {
    const QString chosen =
        QFileDialog::getSaveFileName(parent, Q(title), Q(initialDir + name), QtFileFilter(filter), nullptr,
                                     QFileDialog::DontConfirmOverwrite);
    if (chosen.isEmpty()) return std::nullopt;
    return chosen.toStdString();
}

}  // namespace velinor
