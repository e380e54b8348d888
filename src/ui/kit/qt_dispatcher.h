#pragma once
// The UI-thread dispatcher of the Qt front: calls from workers become queued calls on the
// object's thread (the GUI thread), which runs them in its event loop. Constructed on the GUI
// thread; invoke and post may be called from any thread.
#include <QObject>
#include <functional>

#include "platform/dispatcher.h"

namespace velinor {

class QtUiDispatcher final : public QObject, public UiDispatcher {
public:
    explicit QtUiDispatcher(QObject* parent = nullptr);

    void invoke(const std::function<void()>& call) override;
    void post(std::function<void()> call) override;

    // GUI thread: runs events, including the workers' queued calls, until `done` answers true.
    // The wait wakes at least every 20 ms, so a condition that changes without an event is seen.
    static void PumpUntil(const std::function<bool()>& done);
};

}  // namespace velinor
