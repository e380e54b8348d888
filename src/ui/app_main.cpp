// velinor: the desktop program. Creates the command set (list, engine, command modules and the
// catalogue), then the main window on top of it, and runs the event loop.
#include <QApplication>
#include <string>
#include <vector>

#include "commands/command_set.h"
#include "ui/main_window.h"
#include "ui/qt_dispatcher.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Velinor");
    QApplication::setApplicationDisplayName("Velinor");
    std::vector<std::string> arguments;
    for (const QString& argument : QApplication::arguments().mid(1))
        arguments.push_back(argument.toStdString());

    velinor::QtUiDispatcher ui;
    velinor::TCommandSet set(
        ui, [](const std::function<bool()>& done) { velinor::QtUiDispatcher::PumpUntil(done); });
    // The window opens each finished scene document with the desktop's program for its type.
    set.SceneExports.Settings.OuvrirDocument = true;
    velinor::TUIForm window(set, velinor::PreferencesPaths::ForThisProcess(), std::move(arguments));
    window.show();
    window.activateWindow();
    return QApplication::exec();
}
