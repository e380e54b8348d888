#include "ui/dialogs/riff_viewer.h"

#include <QDialog>
#include <QPlainTextEdit>
#include <QVBoxLayout>
#include <stdexcept>

#include "commands/command.h"
#include "media/riff_report.h"
#include "ui/kit/qt_text.h"

namespace velinor {

void ShowRiffViewer(QWidget* parent, const std::string& path) {
    RiffReport report;
    if (!report.AnalyseFile(path)) throw std::runtime_error("Impossible d'analyser " + path);
    QString text;
    for (const std::string& line : report.Lines()) text += Q(PlainText(line)) + "\n";
    auto* viewer = new QDialog(parent);
    viewer->setAttribute(Qt::WA_DeleteOnClose);
    viewer->setWindowTitle(Q(FileNameOf(path)));
    auto* layout = new QVBoxLayout(viewer);
    auto* edit = new QPlainTextEdit(text, viewer);
    edit->setReadOnly(true);
    edit->setFont(QFont("Monospace"));
    layout->addWidget(edit);
    viewer->resize(640, 480);
    viewer->show();
}

}  // namespace velinor
