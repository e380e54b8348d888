#pragma once
// What the program sets on the application before its first window: its name and Qt's own
// French texts (file choosers, standard buttons). UI thread only.
class QCoreApplication;

namespace velinor {

// Names the application "Velinor" for the settings and the desktop, without a display name:
// Qt would add one to every window title ("… — Velinor"), and the window's caption and the
// message boxes' titles must read exactly as given. Loads Qt's French translations; false when
// they are not installed (Qt's dialogs then stay in English).
bool ConfigureApplication(QCoreApplication& app);

}  // namespace velinor
