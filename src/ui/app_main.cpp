// velinor: the desktop program. Creates the command modules, then the main window (which creates
// its dialogs), hands it the command groups, and runs the event loop.
#include <QApplication>
#include <QIcon>
#include <string>
#include <vector>

#include "commands/catalogue.h"
#include "commands/cdm.h"
#include "commands/conversions.h"
#include "commands/overlay_settings.h"
#include "commands/scene_commands.h"
#include "commands/scene_export_commands.h"
#include "ui/kit/application.h"
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

    velinor::TdmAction commands;
    velinor::TCdm cdm;
    velinor::TConversions conversions(cdm);
    velinor::TdmScene scenes;
    velinor::TSceneExportCommands sceneExports(commands);
    sceneExports.Settings.OuvrirDocument = true;
    velinor::TUIForm window(commands, velinor::PreferencesPaths::ForThisProcess(), std::move(arguments));
    // The overlay settings drive the catalogue's own actions, so the menus, scripts and saved
    // preferences reach them.
    velinor::TOverlaySettings overlay(&window.Actions());
    velinor::ConnectConversions(conversions, commands, overlay);
    // The scene commands take each scene's texts and thumbnail from the window's preview.
    scenes.DetailsSource = &window.SceneDetails();
    sceneExports.DetailsSource = &window.SceneDetails();
    // The catalogue's settings (folders, templates, formats) reach every module's own.
    window.AddSettingsTarget(
        [&commands](const std::string& k, const std::string& v) { return commands.Settings.Set(k, v); });
    window.AddSettingsTarget([&conversions](const std::string& k, const std::string& v) {
        return conversions.Settings.Set(k, v);
    });
    window.AddSettingsTarget(
        [&scenes](const std::string& k, const std::string& v) { return scenes.Settings.Set(k, v); });
    window.AddSettingsTarget(
        [&sceneExports](const std::string& k, const std::string& v) { return sceneExports.Set(k, v); });
    window.AddCommandGroup([&conversions](const std::string& name) { return conversions.Find(name); });
    window.AddCommandGroup([&scenes](const std::string& name) { return scenes.Find(name); });
    window.AddCommandGroup([&sceneExports](const std::string& name) { return sceneExports.Find(name); });
    window.show();
    window.activateWindow();
    return QApplication::exec();
}
