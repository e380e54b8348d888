#pragma once
// The preview frame `TVueFrame`: the active file's picture in the video window `vw`, the position
// slider `tb` above it and the time stamp below, or a notice in front of the video area saying
// why there is no picture. Lays itself out again on every resize. UI thread only.
#include <QFrame>
#include <cstdint>
#include <functional>
#include <memory>

#include "commands/preview_texts.h"
#include "commands/viewdm.h"

class QLabel;
class QMenu;
class QSlider;
class QTextEdit;
class QTimer;

namespace velinor {

class TaviFichier;
class TVideoWindow;

class TVueFrame final : public QFrame {
public:
    // `preview` plays the files; `activeRecord` answers the window's active record (may be null).
    TVueFrame(Tviewdm& preview, std::function<TaviFichier*()> activeRecord, QWidget* parent = nullptr);
    ~TVueFrame() override;

    // Where the preview sends pictures and sound; a null audio device plays the picture only.
    PreviewWindow Window() const;
    void SetAudio(std::shared_ptr<graph::AudioDevice> device, std::shared_ptr<graph::Clock> clock);
    // A right click on the frame or its picture pops up the preview's menu `pmWindow`.
    void SetContextMenu(QMenu& menu);

    // Opens the active record in the preview and shows its first picture, or the notice the
    // opening chose. False when nothing plays.
    bool OpenActive();
    // Builds the notice of `type` and shows it over the whole video area, or over the picture
    // only with the slider and time stamp kept. Nothing is built without an active record.
    void ShowNotice(int type);
    void ShowNoticeOverSlider(int type);
    void ShowVideo();
    // The notice showing, 0 when the picture shows.
    int Notice() const { return notice_; }
    const std::string& NoticeMarkup() const { return noticeMarkup_; }

    void LayOut();
    const PreviewLayout& Layout() const { return layout_; }

    // The texts of the frame's part of a timer tick; the slider value only when it can be read.
    PreviewDisplayTexts Tick();
    // Shows the slider value and the time stamp of a tick.
    void ShowTexts(const PreviewDisplayTexts& texts);

    // Moves the preview by one frame, second or minute (unit 0, 1, 2) forward or back (sign +1,
    // -1), then runs the tick. To the range's ends.
    void Step(int unit, int sign);
    void StepToEnd();
    void StepToStart();

    // The video window leaves the frame for `host` (the full-screen backdrop) at `where`, and
    // comes back.
    void PutVideoOnto(QWidget* host, const QRect& where);
    void TakeVideoBack();
    bool VideoElsewhere() const { return videoAway_; }

    TVideoWindow& vw() const { return *vw_; }
    QSlider& tb() const { return *tb_; }
    QLabel& labTimeStamp() const { return *labTimeStamp_; }
    QTextEdit& rxVue() const { return *rxVue_; }
    QWidget& Shape1() const { return *shape1_; }
    QWidget& Panel1() const { return *panel1_; }
    QSlider& incrustHorz() const { return *incrustHorz_; }
    QSlider& incrustVert() const { return *incrustVert_; }
    QTimer& timer1() const { return *timer1_; }

    // The overlay editing mode: the overlay sliders show instead of the time stamp.
    void ShowOverlayEditing(bool on);

    // The main window's timer step, run at every tick of `timer1`.
    std::function<void()> OnTimer;
    // Pressing the slider gives the focus to the main window.
    std::function<void()> OnSliderPressed;
    // Runs after every navigation step (the window's tick shows the new texts).
    std::function<void()> OnStepped;
    // A click on the corner `Shape1`.
    std::function<void()> OnCornerClicked;
    // The left mouse button pressed on either overlay slider, and released.
    std::function<void()> OnOverlaySliderPressed;
    std::function<void()> OnOverlaySliderReleased;
    // The mouse on the video window: pressed, moved with a button down, released; x and y in
    // the window's pixels, with its size.
    std::function<void(int x, int y, int width, int height)> OnVideoPressed;
    std::function<void(int x, int y, int width, int height)> OnVideoMoved;
    std::function<void()> OnVideoReleased;

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildNotice(int type);
    void sliderMoved(int value);
    void stepBy(int64_t delta);

    Tviewdm& preview_;
    std::function<TaviFichier*()> activeRecord_;
    std::shared_ptr<graph::AudioDevice> audio_;
    std::shared_ptr<graph::Clock> clock_;
    TVideoWindow* vw_;
    QSlider* tb_;
    QLabel* labTimeStamp_;
    QSlider* incrustHorz_;
    QSlider* incrustVert_;
    QWidget* shape1_;
    QTextEdit* rxVue_;
    QWidget* panel1_;
    QTimer* timer1_;
    PreviewLayout layout_;
    int notice_ = 0;
    bool noticeOverSlider_ = false;
    std::string noticeMarkup_;
    bool showingTick_ = false;  // the slider is being set from a tick, not by the user
    bool videoAway_ = false;
    bool overlayEditing_ = false;
};

}  // namespace velinor
