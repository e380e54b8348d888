#pragma once
// The preview's video window `vw`: a widget that shows the pictures of the preview graph,
// stretched over the whole widget (the preview frame gives it the picture's shape). Pictures come
// through a surface that the graph's renderer holds: the streaming thread leaves the newest in a
// one-slot mailbox and the widget takes it on the UI thread when it repaints, so a busy UI drops
// pictures instead of holding the stream. Widget methods: UI thread only.
#include <QImage>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <optional>

#include "graph/sinks.h"

namespace velinor {

class TVideoWindow final : public QWidget {
public:
    explicit TVideoWindow(QWidget* parent = nullptr);
    ~TVideoWindow() override;

    // What the renderer is given; it may outlive the widget, and then shows nothing.
    std::shared_ptr<graph::VideoSurface> Surface() const;

    // The picture on screen: 24-bit BGR, rows bottom-up, as the renderer handed it on.
    const std::optional<graph::VideoFrame>& CurrentFrame() const { return current_; }
    // The same as an image, top row first.
    QImage CurrentImage() const;
    // Pictures taken from the mailbox so far, and those the mailbox dropped for newer ones.
    int64_t FramesShown() const { return shown_; }
    int64_t FramesDropped() const;
    // Forgets the picture (an opening that shows a notice): the window is black again.
    void Clear();
    // Takes a waiting picture now rather than at the next repaint.
    void TakeNewest();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    class Bridge;
    std::shared_ptr<Bridge> bridge_;
    std::optional<graph::VideoFrame> current_;
    int64_t shown_ = 0;
};

}  // namespace velinor
