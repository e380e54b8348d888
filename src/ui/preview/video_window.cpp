#include "ui/preview/video_window.h"

#include <QPainter>
#include <QPointer>
#include <mutex>

namespace velinor {

// Between the renderer's streaming thread and the widget. The renderer's own mailbox lives only as
// long as the graph's filters, which a new opening replaces while a repaint may still be queued:
// the picture is therefore moved at once into this slot, which the widget shares.
class TVideoWindow::Bridge final : public graph::VideoSurface {
public:
    explicit Bridge(TVideoWindow* window) : window_(window) {}

    void frameReady(graph::FrameMailbox& mailbox) override {
        auto frame = mailbox.take();
        if (!frame) return;
        std::vector<uint8_t> spare;
        {
            std::lock_guard lock(mutex_);
            if (slot_) {
                ++dropped_;
                spare = std::move(slot_->pixels);
            } else if (!spare_.empty()) {
                spare = std::move(spare_);
            }
            slot_ = std::move(frame);
            if (window_ && !posted_) {
                posted_ = true;
                // Under the lock: the widget cannot go while the call is being queued.
                QMetaObject::invokeMethod(
                    window_,
                    [w = QPointer<TVideoWindow>(window_)] {
                        if (w) w->update();
                    },
                    Qt::QueuedConnection);
            }
        }
        if (!spare.empty()) mailbox.recycle(std::move(spare));
    }

    std::optional<graph::VideoFrame> take() {
        std::lock_guard lock(mutex_);
        posted_ = false;
        auto frame = std::move(slot_);
        slot_.reset();
        return frame;
    }
    void giveBack(std::vector<uint8_t> pixels) {
        std::lock_guard lock(mutex_);
        if (spare_.empty()) spare_ = std::move(pixels);
    }
    void detach() {
        std::lock_guard lock(mutex_);
        window_ = nullptr;
    }
    int64_t dropped() const {
        std::lock_guard lock(mutex_);
        return dropped_;
    }

private:
    mutable std::mutex mutex_;
    TVideoWindow* window_;
    std::optional<graph::VideoFrame> slot_;
    std::vector<uint8_t> spare_;
    bool posted_ = false;
    int64_t dropped_ = 0;
};

TVideoWindow::TVideoWindow(QWidget* parent) : QWidget(parent), bridge_(std::make_shared<Bridge>(this)) {
    setObjectName("vw");
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(false);
}

TVideoWindow::~TVideoWindow() {
    bridge_->detach();
}

std::shared_ptr<graph::VideoSurface> TVideoWindow::Surface() const {
    return bridge_;
}

int64_t TVideoWindow::FramesDropped() const {
    return bridge_->dropped();
}

void TVideoWindow::TakeNewest() {
    auto frame = bridge_->take();
    if (!frame) return;
    if (current_) bridge_->giveBack(std::move(current_->pixels));
    current_ = std::move(frame);
    ++shown_;
}

void TVideoWindow::Clear() {
    bridge_->take();
    current_.reset();
    update();
}

QImage TVideoWindow::CurrentImage() const {
    if (!current_) return {};
    const graph::VideoFrame& f = *current_;
    const QImage bottomUp(f.pixels.data(), f.width, f.height, f.stride, QImage::Format_BGR888);
    return bottomUp.mirrored(false, true).convertToFormat(QImage::Format_RGB888);
}

void TVideoWindow::paintEvent(QPaintEvent*) {
    TakeNewest();
    QPainter painter(this);
    if (!current_ || current_->width <= 0 || current_->height <= 0) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    const graph::VideoFrame& f = *current_;
    // The rows are bottom-up: drawn through a flipped painter, without a copy of the picture.
    const QImage picture(f.pixels.data(), f.width, f.height, f.stride, QImage::Format_BGR888);
    painter.translate(0, height());
    painter.scale(1, -1);
    painter.drawImage(QRect(0, 0, width(), height()), picture);
}

}  // namespace velinor
