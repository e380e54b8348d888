#include "ui/preview/preview_handlers.h"

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QProgressBar>
#include <QScreen>
#include <QTimer>
#include <algorithm>
#include <utility>

#include "actions/actions.h"
#include "actions/actions_list.h"
#include "commands/viewdm.h"
#include "filelist/avi_fichier.h"
#include "filters/dv_superposer.h"
#include "filters/graph_filters.h"
#include "ui/binding/control_binding.h"
#include "ui/preview/plaque.h"
#include "ui/preview/video_window.h"
#include "ui/preview/vue_frame.h"

namespace velinor {

namespace {

constexpr int32_t kVolumeMax = 10'000;

template <class T>
T* Find(TMvActionList& al, const char* name) {
    return dynamic_cast<T*>(al.FindAction(name));
}

// A 24-bit bottom-up picture as an image, top row first.
QImage ImageOf(const BgrPicture& picture) {
    const QImage bottomUp(picture.pixels.data(), picture.width, picture.height, int(picture.stride),
                          QImage::Format_BGR888);
    return bottomUp.mirrored(false, true).convertToFormat(QImage::Format_RGB888);
}

}  // namespace

void TPreviewMessages::post(int message, intptr_t wParam, intptr_t lParam) {
    QMetaObject::invokeMethod(
        this,
        [this, message, wParam, lParam] {
            if (OnMessage) OnMessage(message, wParam, lParam);
        },
        Qt::QueuedConnection);
}

TPreviewHandlers::TPreviewHandlers(Parts parts)
    : p_(std::move(parts)), messages_(p_.messages), plaque_(std::make_unique<Tplaque>(p_.fileList)) {
    messages_.OnMessage = [this](int message, intptr_t w, intptr_t l) { Handle(message, w, l); };
    p_.vue.OnTimer = [this] { TimerStep(); };
    p_.vue.OnStepped = [this] { TimerStep(); };
    bind();
}

TPreviewHandlers::~TPreviewHandlers() {
    if (fullScreen_) p_.vue.TakeVideoBack();
}

void TPreviewHandlers::bind() {
    TMvActionList& al = p_.al;
    const auto onCommand = [&al](const char* name, std::function<void()> body) {
        if (auto* a = Find<TNopeAction>(al, name)) a->OnAfterApply = std::move(body);
    };
    struct Nav {
        const char* name;
        int unit, sign;
    };
    const Nav navs[] = {{"naAvanceFrame", 0, 1},  {"naAvanceSeconde", 1, 1},  {"naAvanceMinute", 2, 1},
                        {"naReculeFrame", 0, -1}, {"naReculeSeconde", 1, -1}, {"naReculeMinute", 2, -1}};
    for (const Nav& n : navs) onCommand(n.name, [this, n] { p_.vue.Step(n.unit, n.sign); });
    onCommand("naAvanceFin", [this] { p_.vue.StepToEnd(); });
    onCommand("naReculeDebut", [this] { p_.vue.StepToStart(); });

    if (auto* volume = Find<TIntegerAction>(al, "iaVolume"))
        volume->OnAfterApply = [this, volume](const int32_t& v) {
            // A value beyond the scale is stored at its end.
            const int32_t clamped = std::clamp(v, 0, kVolumeMax);
            if (clamped != v) {
                volume->SetValue(clamped);
                return;
            }
            applyVolume(clamped);
        };
    if (auto* mute = Find<TCheckAction>(al, "caMute")) {
        mute->OnAfterTrueApply = [this] {
            muted_ = true;
            p_.preview.SetVolume(0);
        };
        mute->OnAfterFalseApply = [this, &al] {
            muted_ = false;
            if (auto* volume = Find<TIntegerAction>(al, "iaVolume")) applyVolume(volume->CurrentValue());
        };
    }
    if (auto* play = Find<TCheckAction>(al, "caPlayPause")) {
        play->OnAfterTrueApply = [this] { p_.preview.PlayPreview(); };
        play->OnAfterFalseApply = [this] {
            // Stopped, then paused: the picture stays.
            if (p_.preview.State() == Tviewdm::kStatePaused) return;
            p_.preview.StopPreview();
            p_.preview.PausePreview();
        };
    }
    if (auto* deinterlace = Find<TCheckAction>(al, "caDeinterlace")) {
        deinterlace->OnAfterTrueApply = [this] {
            p_.preview.Overlay().Overlay.SetDeinterlace(true);
            p_.preview.RefreshPreview();
        };
        deinterlace->OnAfterFalseApply = [this] {
            p_.preview.Overlay().Overlay.SetDeinterlace(false);
            p_.preview.RefreshPreview();
        };
    }
    if (auto* full = Find<TCheckAction>(al, "caFullscreen")) {
        full->OnAfterTrueApply = [this, full] {
            if (!p_.activeRecord || !p_.activeRecord()) {
                full->SetCheckedState(false);
                return;
            }
            setFullScreen(true);
        };
        full->OnAfterFalseApply = [this] { setFullScreen(false); };
    }
    if (auto* stop = Find<TNopeAction>(al, "naInterrompre")) {
        // In full screen the interruption only leaves it.
        auto before = stop->OnBeforeApply;
        stop->OnBeforeApply = [this, before, &al] {
            if (before) before();
            if (fullScreen_)
                if (auto* full = Find<TCheckAction>(al, "caFullscreen")) full->SetChecked(false);
        };
    }
    onCommand("naCopierImageDansPP", [this] { copyPicture(true); });
    p_.copyEntry.OnAfterApply = [this] { copyPicture(false); };
    bindOverlayEditing();
}

void TPreviewHandlers::bindOverlayEditing() {
    TMvActionList& al = p_.al;
    TVueFrame& vue = p_.vue;
    if (auto* x = Find<TIntegerAction>(al, "iaIncrustX")) BindControl(vue.incrustHorz(), *x);
    // The vertical slider runs upwards: its top is the top of the picture.
    if (auto* y = Find<TIntegerAction>(al, "iaIncrustY")) BindControl(vue.incrustVert(), *y, true);
    if (auto* edit = Find<TCheckAction>(al, "caEditerIncrust")) {
        edit->OnAfterTrueApply = [this] { setOverlayEditing(true); };
        edit->OnAfterFalseApply = [this] { setOverlayEditing(false); };
        vue.OnCornerClicked = [edit] { edit->SetChecked(!edit->Checked()); };
    }
    if (auto* when = Find<TIntegerAction>(al, "iaWhenIncrust")) {
        // While editing, the overlay stays drawn whatever the setting says.
        auto before = when->OnAfterApply;
        when->OnAfterApply = [this, before](const int32_t& m) {
            if (before) before(m);
            if (overlayEditing_) p_.preview.Overlay().Overlay.SetDisplayMode(0);
        };
    }

    vue.OnOverlaySliderPressed = [this] {
        if (!p_.preview.Opened || p_.preview.State() == Tviewdm::kStateRunning) return;
        // The moving picture shows the overlay where the slider puts it, without the sound.
        sliderStartedPlay_ = true;
        p_.preview.SetVolume(0);
        p_.preview.PlayPreview();
    };
    vue.OnOverlaySliderReleased = [this] {
        if (!sliderStartedPlay_) return;
        sliderStartedPlay_ = false;
        restoreVolume();
        p_.preview.PausePreview();
    };
    vue.OnVideoPressed = [this](int x, int y, int width, int height) {
        const auto* scenes = Find<TCheckAction>(p_.al, "caEditerScenes");
        if (!overlayEditing_ || (scenes && scenes->Checked()) || !p_.preview.Opened) return;
        dragging_ = true;
        dragOverlay(x, y, width, height);
        dragState_ = p_.preview.State();
        p_.preview.PlayPreview();
    };
    vue.OnVideoMoved = [this](int x, int y, int width, int height) {
        if (dragging_) dragOverlay(x, y, width, height);
    };
    vue.OnVideoReleased = [this] {
        dragging_ = false;
        // Only a release that ends a drag puts the graph back; once.
        const std::optional<int> state = std::exchange(dragState_, std::nullopt);
        if (!state || !p_.preview.Opened) return;
        if (*state == Tviewdm::kStateStopped)
            p_.preview.StopPreview();
        else if (*state == Tviewdm::kStatePaused)
            p_.preview.PausePreview();
    };
}

void TPreviewHandlers::dragOverlay(int x, int y, int width, int height) {
    if (width <= 0 || height <= 0) return;
    // Per mille of the picture; the settings clamp what lies outside it.
    if (auto* ix = Find<TIntegerAction>(p_.al, "iaIncrustX"))
        ix->SetValue(int32_t(int64_t(x) * 1000 / width));
    if (auto* iy = Find<TIntegerAction>(p_.al, "iaIncrustY"))
        iy->SetValue(int32_t(int64_t(y) * 1000 / height));
}

void TPreviewHandlers::restoreVolume() {
    const auto* volume = Find<TIntegerAction>(p_.al, "iaVolume");
    p_.preview.SetVolume(
        muted_ || !volume ? 0.0 : double(std::clamp(volume->CurrentValue(), 0, kVolumeMax)) / kVolumeMax);
}

void TPreviewHandlers::setOverlayEditing(bool on) {
    if (on == overlayEditing_) return;
    overlayEditing_ = on;
    TMvActionList& al = p_.al;
    auto* show = Find<TCheckAction>(al, "caAfficherIncrustation");
    auto* ctrl = Find<TCheckAction>(al, "caCTRLShortcuts");
    p_.preview.SetOverlayEditing(on);
    if (on) {
        p_.preview.Overlay().Overlay.SetDisplayMode(0);
        if (show) show->SetChecked(true);
    } else {
        const auto* when = Find<TIntegerAction>(al, "iaWhenIncrust");
        p_.preview.Overlay().Overlay.SetDisplayMode(when ? when->CurrentValue() : 0);
    }
    p_.vue.ShowOverlayEditing(on);
    if (ctrl) ctrl->SetChecked(on);
    if (p_.showOverlayEditor) p_.showOverlayEditor(on);
    if (p_.preview.Opened) p_.preview.RefreshPreview();
}

void TPreviewHandlers::applyVolume(int32_t v) {
    if (p_.gauge2) p_.gauge2->setValue(v / 100);
    if (!muted_) p_.preview.SetVolume(double(v) / kVolumeMax);
}

void TPreviewHandlers::TimerStep() {
    TaviFichier* record = p_.activeRecord ? p_.activeRecord() : nullptr;
    if (!record) return;
    PreviewDisplayTexts texts = p_.vue.Tick();
    const int64_t position = p_.preview.Opened ? p_.preview.CurrentPosition() : 0;
    texts.Position = PreviewPositionText(position, p_.preview.FrameFormat() ? record->Fps : 0);
    pending_ = texts;
    messages_.post(kMsgDisplayTexts, 0, 0);
}

void TPreviewHandlers::PostOpenActive() {
    messages_.post(kMsgOpenActive, 0, 0);
}

void TPreviewHandlers::Handle(int message, intptr_t wParam, intptr_t) {
    switch (message) {
        case kMsgDisplayTexts:
            p_.vue.ShowTexts(pending_);
            if (ShowTexts) ShowTexts(pending_);
            break;
        case kMsgPlayState:
            if (auto* play = Find<TCheckAction>(p_.al, "caPlayPause")) {
                const bool playing = wParam != 0;
                if (play->Checked() != playing)
                    play->SetChecked(playing);
                else if (playing && p_.preview.Opened && p_.preview.State() != Tviewdm::kStateRunning)
                    // The end of the file in overlay editing: the picture is back at the start
                    // and plays again.
                    p_.preview.PlayPreview();
            }
            break;
        case kMsgAspectChange:
            if (TaviFichier* record = p_.activeRecord ? p_.activeRecord() : nullptr; record && record->IsDV) {
                record->Height = wParam != 0 ? record->Width * 9 / 16 : record->Width * 3 / 4;
                p_.vue.LayOut();
            }
            break;
        case kMsgOpenActive:
            if (p_.activeRecord && p_.activeRecord()) {
                p_.vue.OpenActive();
                TimerStep();
                if (OnOpened) OnOpened();
            }
            break;
        default:
            break;
    }
}

bool TPreviewHandlers::FullScreen() const {
    return fullScreen_;
}

void TPreviewHandlers::setFullScreen(bool on) {
    if (on == fullScreen_) return;
    if (on) {
        const TaviFichier* record = p_.activeRecord();
        if (p_.closePages) p_.closePages();
        QScreen* screen = p_.vue.screen() ? p_.vue.screen() : QGuiApplication::primaryScreen();
        const QRect area = screen ? screen->geometry() : QRect(0, 0, 1024, 768);
        const PreviewRect fit = FitPicture(record->Width, record->Height, 0, 0, area.width(), area.height());
        fullScreen_ = true;
        if (p_.refreshActions) p_.refreshActions();
        plaque_->setGeometry(area);
        plaque_->showFullScreen();
        plaque_->raise();
        plaque_->activateWindow();
        p_.vue.PutVideoOnto(plaque_.get(), QRect(fit.Left, fit.Top, fit.Width, fit.Height));
    } else {
        fullScreen_ = false;
        p_.vue.TakeVideoBack();
        plaque_->hide();
        if (p_.refreshActions) p_.refreshActions();
    }
}

bool TPreviewHandlers::ListKeyInFullScreen(int key) {
    if (!fullScreen_) return false;
    const bool handled = key == Qt::Key_Up || key == Qt::Key_Down;
    plaque_->raise();
    plaque_->activateWindow();
    return !handled;  // true: the list must ignore the key
}

QImage TPreviewHandlers::CurrentPicture(bool recordSize) const {
    BgrPicture picture;
    if (recordSize) {
        const TaviFichier* record = p_.activeRecord ? p_.activeRecord() : nullptr;
        if (!record || record->Width <= 0 || record->Height <= 0) return {};
        picture.resize(record->Width, record->Height);
        if (!p_.preview.Overlay().Overlay.CopyDeinterlaced(picture)) return {};
        return ImageOf(picture);
    }
    int width = 0, height = 0;
    std::vector<uint8_t> pixels;
    if (!p_.preview.SnapshotPicture(width, height, pixels)) return {};
    picture.resize(width, height);
    if (!p_.preview.Overlay().Overlay.CopyDeinterlaced(picture)) return {};
    return ImageOf(picture);
}

void TPreviewHandlers::copyPicture(bool recordSize) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    const QImage image = CurrentPicture(recordSize);
    if (!image.isNull()) clipboard->setImage(image);
}

}  // namespace velinor
