#include "ui/kit/application.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace velinor {

bool ConfigureApplication(QCoreApplication& app) {
    QCoreApplication::setApplicationName("Velinor");
    QCoreApplication::setOrganizationName("Morvane");
    // The program speaks French whatever the session's language.
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    // qtbase_fr.qm holds the texts of Qt's dialogs and standard buttons; Debian puts it in
    // /usr/share/qt6/translations (package qt6-translations-l10n), the library's own folder.
    auto* qt = new QTranslator(&app);
    if (!qt->load(QLocale(QLocale::French), "qtbase", "_",
                  QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete qt;
        return false;
    }
    QCoreApplication::installTranslator(qt);
    return true;
}

}  // namespace velinor
