#include "ui/kit/qt_dispatcher.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

namespace velinor {

QtUiDispatcher::QtUiDispatcher(QObject* parent) : QObject(parent) {}

void QtUiDispatcher::invoke(const std::function<void()>& call) {
    if (QThread::currentThread() == thread()) {
        call();
        return;
    }
    // The worker blocks until the GUI thread has run the call; the GUI thread never waits on a
    // worker without pumping events (PumpUntil), so this cannot deadlock.
    QMetaObject::invokeMethod(
        this, [&call] { call(); }, Qt::BlockingQueuedConnection);
}

void QtUiDispatcher::post(std::function<void()> call) {
    QMetaObject::invokeMethod(
        this, [c = std::move(call)] { c(); }, Qt::QueuedConnection);
}

void QtUiDispatcher::PumpUntil(const std::function<bool()>& done) {
    if (done()) return;
    QEventLoop loop;
    QTimer wake;
    wake.setInterval(20);
    QObject::connect(&wake, &QTimer::timeout, &loop, [&] {
        if (done()) loop.quit();
    });
    wake.start();
    while (!done()) loop.processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

}  // namespace velinor
