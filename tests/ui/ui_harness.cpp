#include "ui/ui_harness.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QTimer>
#include <memory>
#include <vector>

#include "ui/kit/qt_dispatcher.h"

namespace velinor::test {

void EnsureApplication() {
    static std::unique_ptr<QApplication> app;
    if (app || QCoreApplication::instance()) return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "test_ui";
    static char* argv[] = {name, nullptr};
    app = std::make_unique<QApplication>(argc, argv);
}

std::unique_ptr<TCommandSet> MakeCommandSet(UiDispatcher& ui) {
    return std::make_unique<TCommandSet>(
        ui, [](const std::function<bool()>& done) { QtUiDispatcher::PumpUntil(done); });
}

PreferencesPaths ScratchPreferences(const std::filesystem::path& dir) {
    return {dir / "config", dir / "program", (dir / "program" / "velinor").string()};
}

bool WaitFor(const std::function<bool()>& done) {
    QDeadlineTimer deadline(60'000);
    QTimer wake;  // wakes the wait when `done` changes without an event
    wake.start(20);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

ModalResponder::ModalResponder() {
    timer_.setInterval(5);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || steps_.empty() || !modal->isVisible()) return;
        if (steps_.front()(modal)) steps_.pop_front();
    });
    timer_.start();
}

ModalResponder::Step ModalResponder::Click(const QString& caption, std::string* seen) {
    return [caption, seen](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        if (!box) return false;
        for (QAbstractButton* button : box->buttons())
            if (QString(button->text()).remove('&') == QString(caption).remove('&')) {
                if (seen) *seen = box->text().toStdString();
                button->click();
                return true;
            }
        return false;
    };
}

}  // namespace velinor::test
