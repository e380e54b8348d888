#include "ui/preview/vue_frame.h"

#include <QEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QSlider>
#include <QTextEdit>
#include <QTimer>
#include <algorithm>

#include "filelist/avi_fichier.h"
#include "ui/kit/context_menu.h"
#include "ui/preview/video_window.h"

namespace velinor {

namespace {

// The notice box: at most this size, smaller in a small frame.
constexpr int kNoticeWidth = 460;
constexpr int kNoticeHeight = 300;

QSlider* MakeSlider(Qt::Orientation orientation, QWidget* parent, const char* name) {
    auto* slider = new QSlider(orientation, parent);
    slider->setObjectName(name);
    slider->setRange(0, 1000);
    return slider;
}

}  // namespace

TVueFrame::TVueFrame(Tviewdm& preview, std::function<TaviFichier*()> activeRecord, QWidget* parent)
    : QFrame(parent), preview_(preview), activeRecord_(std::move(activeRecord)) {
    setObjectName("VueFrame");
    setFrameShape(QFrame::NoFrame);
    setAutoFillBackground(true);

    panel1_ = new QWidget(this);
    panel1_->setObjectName("Panel1");
    panel1_->setStyleSheet("#Panel1 { background: black; }");
    panel1_->setAttribute(Qt::WA_StyledBackground);
    vw_ = new TVideoWindow(this);

    tb_ = MakeSlider(Qt::Horizontal, this, "tb");
    tb_->setToolTip(
        QString::fromUtf8("Curseur pour circuler dans la vidéo.\r\n"
                          "On peut aussi utiliser toutes les touches flèches du clavier\r\n"
                          "ainsi que F8 et F9 pour changer de scène."));
    tb_->setFocusPolicy(Qt::NoFocus);
    tb_->installEventFilter(this);
    connect(tb_, &QSlider::valueChanged, this, [this](int v) {
        if (!showingTick_) sliderMoved(v);
    });

    labTimeStamp_ = new QLabel(this);
    labTimeStamp_->setObjectName("labTimeStamp");
    labTimeStamp_->setAlignment(Qt::AlignCenter);
    QPalette stamp = labTimeStamp_->palette();
    stamp.setColor(QPalette::WindowText, QColor(0, 0, 128));  // navy
    labTimeStamp_->setPalette(stamp);

    incrustHorz_ = MakeSlider(Qt::Horizontal, this, "incrustHorz");
    incrustVert_ = MakeSlider(Qt::Vertical, this, "incrustVert");
    for (QSlider* s : {incrustHorz_, incrustVert_}) {
        s->setPageStep(100);
        s->setTracking(true);
        s->setFocusPolicy(Qt::NoFocus);
        s->installEventFilter(this);
        s->hide();
    }

    shape1_ = new QFrame(this);
    shape1_->setObjectName("Shape1");
    shape1_->setFixedSize(20, 20);
    shape1_->setStyleSheet("#Shape1 { border: 1px solid red; background: transparent; }");
    shape1_->setToolTip(
        QString::fromUtf8("Cliquez sur ce coin pour faire apparaître ou disparaitre\r\n"
                          "les curseurs de position de l'incrustation."));
    shape1_->installEventFilter(this);
    shape1_->hide();

    rxVue_ = new QTextEdit(this);
    rxVue_->setObjectName("rxVue");
    rxVue_->setReadOnly(true);
    rxVue_->setTextInteractionFlags(Qt::NoTextInteraction);
    rxVue_->setFocusPolicy(Qt::NoFocus);
    rxVue_->setFrameShape(QFrame::NoFrame);
    rxVue_->viewport()->setCursor(Qt::ArrowCursor);
    rxVue_->hide();

    timer1_ = new QTimer(this);
    timer1_->setInterval(40);
    connect(timer1_, &QTimer::timeout, this, [this] {
        if (OnTimer) OnTimer();
    });

    vw_->installEventFilter(this);
    vw_->hide();
    tb_->hide();
    labTimeStamp_->hide();
}

TVueFrame::~TVueFrame() = default;

PreviewWindow TVueFrame::Window() const {
    return {vw_->Surface(), audio_, clock_};
}

void TVueFrame::SetContextMenu(QMenu& menu) {
    AttachContextMenu(*this, menu);
    AttachContextMenu(*panel1_, menu);
    AttachContextMenu(*vw_, menu);
}

void TVueFrame::SetAudio(std::shared_ptr<graph::AudioDevice> device, std::shared_ptr<graph::Clock> clock) {
    audio_ = std::move(device);
    clock_ = std::move(clock);
}

bool TVueFrame::OpenActive() {
    TaviFichier* record = activeRecord_ ? activeRecord_() : nullptr;
    if (!record) return false;
    vw_->Clear();
    const bool opened = preview_.OpenRecord(record, Window());
    const int notice = preview_.ShownNotice;
    if (notice == kNoticeNone && opened)
        ShowVideo();
    else if (opened && (notice == kNoticeAudioOnly || notice == kNoticeVideoFailed))
        ShowNoticeOverSlider(notice);
    else
        ShowNotice(notice == kNoticeNone ? kNoticeNoSplitter : notice);
    LayOut();
    return opened;
}

void TVueFrame::buildNotice(int type) {
    const TaviFichier* record = activeRecord_ ? activeRecord_() : nullptr;
    if (!record) return;
    const std::string markup = PreviewNoticeText(type, record->FileName, record->Name, record->Codec);
    noticeMarkup_ = markup;
    rxVue_->setHtml(QString::fromStdString(PreviewNoticeHtml(markup)));
}

void TVueFrame::ShowNotice(int type) {
    try {
        buildNotice(type);
        notice_ = type;
        noticeOverSlider_ = false;
        tb_->hide();
        labTimeStamp_->hide();
        shape1_->hide();
        incrustHorz_->hide();
        incrustVert_->hide();
        vw_->Clear();
        vw_->hide();
        rxVue_->show();
        rxVue_->raise();
    } catch (const std::exception&) {
        QMessageBox::critical(this, QString(), "SVP informez Morvane de l'erreur: Erreur dans AfficherCode");
    }
}

void TVueFrame::ShowNoticeOverSlider(int type) {
    try {
        buildNotice(type);
        notice_ = type;
        noticeOverSlider_ = true;
        shape1_->hide();
        tb_->show();
        labTimeStamp_->show();
        vw_->lower();
        panel1_->lower();
        rxVue_->show();
        rxVue_->raise();
        timer1_->start();
    } catch (const std::exception&) {
        QMessageBox::critical(this, QString(), "SVP informez Morvane de l'erreur: Erreur dans AfficherCode");
    }
}

void TVueFrame::ShowVideo() {
    notice_ = 0;
    noticeOverSlider_ = false;
    rxVue_->hide();
    if (!videoAway_) vw_->show();
    shape1_->show();
    shape1_->raise();
    tb_->show();
    labTimeStamp_->setVisible(!overlayEditing_);
    incrustHorz_->setVisible(overlayEditing_);
    incrustVert_->setVisible(overlayEditing_);
    if (overlayEditing_) {
        incrustHorz_->raise();
        incrustVert_->raise();
        shape1_->raise();
    }
    timer1_->start();
}

void TVueFrame::ShowOverlayEditing(bool on) {
    overlayEditing_ = on;
    labTimeStamp_->setVisible(!on && (notice_ == 0 || noticeOverSlider_));
    incrustHorz_->setVisible(on);
    incrustVert_->setVisible(on);
    if (on) {
        incrustHorz_->raise();
        incrustVert_->raise();
    }
    shape1_->raise();
}

void TVueFrame::LayOut() {
    const TaviFichier* record = activeRecord_ ? activeRecord_() : nullptr;
    if (!record) return;
    const int noticeWidth = std::min(kNoticeWidth, std::max(0, width() - 50));
    const int noticeHeight = std::min(kNoticeHeight, std::max(0, height() - 80));
    QFont font("Times New Roman");
    font.setPointSize(TimeStampFontSize(width()));
    const QFontMetrics metrics(font);
    const int stampWidth = std::max(metrics.horizontalAdvance(labTimeStamp_->text()), metrics.height() * 6);
    layout_ = LayOutPreview(width(), height(), record->Width, record->Height, noticeWidth, noticeHeight,
                            stampWidth, metrics.height(), tb_->sizeHint().height());
    const auto place = [](QWidget* w, const PreviewRect& r) {
        w->setGeometry(r.Left, r.Top, r.Width, r.Height);
    };
    labTimeStamp_->setFont(font);
    place(panel1_, layout_.Video);
    if (!videoAway_) place(vw_, layout_.Video);
    place(rxVue_, layout_.Notice);
    place(labTimeStamp_, layout_.TimeStamp);
    place(tb_, layout_.Slider);
    place(incrustHorz_, layout_.IncrustHorz);
    place(incrustVert_, layout_.IncrustVert);
    shape1_->move(layout_.CornerLeft, layout_.CornerTop);
    incrustHorz_->raise();
    incrustVert_->raise();
    shape1_->raise();
    if (notice_ != 0) rxVue_->raise();
}

void TVueFrame::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    LayOut();
}

PreviewDisplayTexts TVueFrame::Tick() {
    const TaviFichier* record = activeRecord_ ? activeRecord_() : nullptr;
    if (!record) return {};
    std::optional<TDVFrameInfo> frame;
    // The datecode filter runs only in the graph of a DV file that is open and not stopped.
    if (preview_.Opened && record->IsDV && preview_.State() != Tviewdm::kStateStopped)
        frame = preview_.CurrentFrameValues();
    std::optional<int64_t> position;
    if (preview_.Opened) position = preview_.CurrentPosition();
    return PreviewTickTexts(TickRecordOf(*record), frame, position, preview_.RangeFirst, preview_.RangeLast);
}

void TVueFrame::ShowTexts(const PreviewDisplayTexts& texts) {
    if (texts.Slider && !tb_->isSliderDown()) {
        showingTick_ = true;
        tb_->setValue(*texts.Slider);
        showingTick_ = false;
    }
    if (labTimeStamp_->text() != QString::fromStdString(texts.Position)) {
        labTimeStamp_->setText(QString::fromStdString(texts.Position));
        // A wider text may need a wider label.
        const int needed = labTimeStamp_->fontMetrics().horizontalAdvance(labTimeStamp_->text()) + 8;
        if (needed > labTimeStamp_->width()) {
            labTimeStamp_->setGeometry((width() - needed) / 2, labTimeStamp_->y(), needed,
                                       labTimeStamp_->height());
        }
    }
}

void TVueFrame::stepBy(int64_t delta) {
    if (!preview_.Opened) return;
    if (preview_.FrameFormat())
        preview_.StepFrames(int32_t(std::clamp<int64_t>(delta, INT32_MIN, INT32_MAX)));
    else
        preview_.StepTime(delta);
}

void TVueFrame::Step(int unit, int sign) {
    const TaviFichier* record = activeRecord_ ? activeRecord_() : nullptr;
    if (!record) return;
    const double fps = preview_.FrameFormat() ? record->Fps : 0;
    stepBy(sign * PreviewStep(fps, unit));
    if (OnStepped) OnStepped();
}

void TVueFrame::StepToEnd() {
    preview_.SeekTo(preview_.RangeLast);
    if (OnStepped) OnStepped();
}

void TVueFrame::StepToStart() {
    preview_.SeekTo(preview_.RangeFirst);
    if (OnStepped) OnStepped();
}

void TVueFrame::sliderMoved(int v) {
    if (!preview_.Opened) return;
    const int64_t first = preview_.RangeFirst, last = preview_.RangeLast;
    const int64_t position = int64_t(v) * (last - first) / 1000 + first;
    // The range is in frames for a file with a rate, else in 100 ns; a relative step keeps the
    // graph playing or paused as it was.
    const int64_t current = preview_.CurrentPosition();
    stepBy(position - current);
    timer1_->start();
}

bool TVueFrame::eventFilter(QObject* watched, QEvent* event) {
    const auto* mouse = dynamic_cast<const QMouseEvent*>(event);
    if (watched == shape1_ && event->type() == QEvent::MouseButtonRelease && mouse &&
        mouse->button() == Qt::LeftButton && shape1_->rect().contains(mouse->position().toPoint())) {
        if (OnCornerClicked) OnCornerClicked();
        return true;
    }
    if ((watched == incrustHorz_ || watched == incrustVert_) && mouse && mouse->button() == Qt::LeftButton) {
        if (event->type() == QEvent::MouseButtonPress && OnOverlaySliderPressed) OnOverlaySliderPressed();
        // The slider has taken its values from the moves already.
        if (event->type() == QEvent::MouseButtonRelease && OnOverlaySliderReleased) OnOverlaySliderReleased();
    }
    if (watched == vw_ && mouse) {
        const QPoint at = mouse->position().toPoint();
        if (event->type() == QEvent::MouseButtonPress && mouse->button() == Qt::LeftButton && OnVideoPressed)
            OnVideoPressed(at.x(), at.y(), vw_->width(), vw_->height());
        else if (event->type() == QEvent::MouseMove && (mouse->buttons() & Qt::LeftButton) && OnVideoMoved)
            OnVideoMoved(at.x(), at.y(), vw_->width(), vw_->height());
        else if (event->type() == QEvent::MouseButtonRelease && mouse->button() == Qt::LeftButton &&
                 OnVideoReleased)
            OnVideoReleased();
    }
    if (watched == tb_) {
        if (event->type() == QEvent::MouseButtonPress) {
            timer1_->stop();
            if (OnSliderPressed) OnSliderPressed();
        } else if (event->type() == QEvent::MouseButtonRelease) {
            timer1_->start();
        } else if (event->type() == QEvent::Enter) {
            setFocus();
        }
    }
    return QFrame::eventFilter(watched, event);
}

void TVueFrame::PutVideoOnto(QWidget* host, const QRect& where) {
    videoAway_ = true;
    vw_->setParent(host);
    vw_->setGeometry(where);
    vw_->show();
}

void TVueFrame::TakeVideoBack() {
    if (!videoAway_) return;
    videoAway_ = false;
    vw_->setParent(this);
    vw_->setGeometry(layout_.Video.Left, layout_.Video.Top, layout_.Video.Width, layout_.Video.Height);
    vw_->setVisible(notice_ == 0 || noticeOverSlider_);
    vw_->stackUnder(tb_);
}

}  // namespace velinor
