#include "ui/ui_harness.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QTimer>
#include <memory>
#include <vector>

#include "graph/dv_frame_maker.h"
#include "media/avi_writer.h"

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

void WriteDvClip(const std::string& path, const DatecodeFields& date, int frames, bool is525, bool wide) {
    DvClip clip;
    clip.is525 = is525;
    clip.wide = wide;
    clip.scenes = {{frames, date, 0}};
    clip.timecode = Timecode{0, 1, 2, 3};
    clip.audio = AudioInfo{48'000, 2, 16};
    std::unique_ptr<AviWriter> writer;
    MakeClip(clip, [&](const std::vector<uint8_t>& frame) {
        if (!writer) {
            AviWriterSettings settings;
            settings.Type = AviWriterSettings::Kind::DvType1;
            settings.Rate = is525 ? 30000 : 25;
            settings.Scale = is525 ? 1001 : 1;
            settings.Height = is525 ? 480 : 576;
            settings.DvInfoBlock = DvInfoFromFrame(frame);
            settings.Channels = 0;
            writer = std::make_unique<AviWriter>(path, settings);
        }
        writer->WriteVideo(frame);
        return true;
    });
    writer->Finish();
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
