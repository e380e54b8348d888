// velinor: the desktop program. Creates the command module, then the main window (which creates
// its dialogs), and runs the event loop.
#include <QApplication>
#include <string>
#include <vector>

#include "commands/catalogue.h"
#include "ui/main_window.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Velinor");
    QApplication::setApplicationDisplayName("Velinor");
    std::vector<std::string> arguments;
    for (const QString& argument : QApplication::arguments().mid(1)) arguments.push_back(argument.toStdString());

    velinor::TdmAction commands;
    velinor::TUIForm window(commands, velinor::PreferencesPaths::ForThisProcess(), std::move(arguments));
    window.show();
    window.activateWindow();
    return QApplication::exec();
}
