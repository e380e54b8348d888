// The application's set-up: no display name for Qt to add to every title, and Qt's own dialogs
// and buttons in French.
#include "ui/kit/application.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QLocale>
#include <QPushButton>
#include <QTranslator>

#include "ui/ui_harness.h"

namespace velinor {
namespace {

TEST(Application, QtAddsNothingToTitlesAndSpeaksFrench) {
    test::EnsureApplication();
    const QString name = QCoreApplication::applicationName();
    ASSERT_TRUE(ConfigureApplication(*QCoreApplication::instance()));
    EXPECT_EQ(QCoreApplication::applicationName(), "Velinor");
    // A display name set by hand would stay when the name changes, and Qt would append it to
    // every window title ("Velinor 1.0.0 fr de Morvane — Velinor").
    QCoreApplication::setApplicationName("Autre");
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), "Autre");

    QDialogButtonBox buttons(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    EXPECT_EQ(buttons.button(QDialogButtonBox::Cancel)->text().remove('&'), "Annuler");
    EXPECT_NE(QCoreApplication::translate("QFileDialog", "Look in:"), "Look in:");

    // The other tests keep Qt's own texts and the C locale.
    for (QTranslator* t : QCoreApplication::instance()->findChildren<QTranslator*>()) {
        QCoreApplication::removeTranslator(t);
        delete t;
    }
    QLocale::setDefault(QLocale::c());
    QCoreApplication::setApplicationName(name);
}

}  // namespace
}  // namespace velinor
