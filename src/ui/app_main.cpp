// velinor: the desktop program. Creates the command set (list, engine, command modules and the
// catalogue), then the main window on top of it, and runs the event loop.
#include <QApplication>
#include <QIcon>
#include <string>
#include <vector>

#include "commands/command_set.h"
#include "ui/kit/application.h"
#include "ui/kit/qt_dispatcher.h"
#include "ui/window/main_window.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    velinor::ConfigureApplication(app);
    // The desktop entry and the icon installed with the program carry this name; the desktop
    // matches the window to them by it.
    QApplication::setDesktopFileName("fr.morvane.Velinor");
    QApplication::setWindowIcon(QIcon::fromTheme("fr.morvane.Velinor"));
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
