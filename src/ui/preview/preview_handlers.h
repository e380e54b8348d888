#pragma once
// The window's handlers that drive the preview: navigation, volume and mute, play and pause,
// deinterlacing, full screen with its backdrop, and the copies of the current picture. Each is
// attached to its typed action once; the controls reach them through the shared binding.
// Also the window's posted messages of the preview (3026, 3027, 3028, 23425). UI thread only.
#include <QObject>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "commands/preview_texts.h"
#include "platform/window_messages.h"

class QImage;
class QProgressBar;
class QWidget;

namespace velinor {

class TCheckAction;
class TIntegerAction;
class TMvActionList;
class TNopeAction;
class TaviFichier;
class TVueFrame;
class Tplaque;
class Tviewdm;

// Messages posted to the window, delivered on the UI thread in the order they were posted.
class TPreviewMessages final : public QObject, public MainWindowMessages {
public:
    explicit TPreviewMessages(QObject* parent = nullptr) : QObject(parent) {}
    void post(int message, intptr_t wParam, intptr_t lParam) override;
    std::function<void(int message, intptr_t wParam, intptr_t lParam)> OnMessage;
};

class TPreviewHandlers {
public:
    struct Parts {
        TMvActionList& al;
        TNopeAction& copyEntry;  // "Copier l'image courante dans le presse-papiers" of pmWindow
        Tviewdm& preview;
        TVueFrame& vue;
        QProgressBar* gauge2 = nullptr;  // the volume gauge of the info panel
        QWidget* fileList = nullptr;     // gets the backdrop's keys
        std::function<TaviFichier*()> activeRecord;
        std::function<void()> refreshActions;
        std::function<void()> closePages;  // the about and options pages, before full screen
        TPreviewMessages& messages;        // the window's posted messages, which the preview posts to
        // Shows or hides the overlay editor window with its bars.
        std::function<void(bool)> showOverlayEditor = nullptr;
    };
    explicit TPreviewHandlers(Parts parts);
    ~TPreviewHandlers();

    // The window's part of a 40 ms tick: the frame's texts and the position, handed to `show`
    // through a posted message so the labels change in one batch.
    void TimerStep();
    std::function<void(const PreviewDisplayTexts&)> ShowTexts;
    // The message handler: 3026 texts, 3027 play state, 3028 aspect, 23425 open the active record.
    void Handle(int message, intptr_t wParam, intptr_t lParam);
    // Posts 23425 (the active record changed and the preview is active).
    void PostOpenActive();
    std::function<void()> OnOpened;  // after 23425 opened the record (reload its scenes)
    TPreviewMessages& Messages() { return messages_; }

    bool Muted() const { return muted_; }
    bool OverlayEditing() const { return overlayEditing_; }
    bool DraggingOverlay() const { return dragging_; }
    bool FullScreen() const;
    Tplaque& Plaque() const { return *plaque_; }
    // The picture the copies put on the clipboard: the current picture with its overlay at the
    // overlay's picture size, or at the record's Width x Height. Null without a picture.
    QImage CurrentPicture(bool recordSize) const;

    // The file list's key release in full screen: Up and Down only, then back in front.
    bool ListKeyInFullScreen(int key);

private:
    void bind();
    void setFullScreen(bool on);
    void copyPicture(bool recordSize);
    void applyVolume(int32_t value);
    void bindOverlayEditing();
    void setOverlayEditing(bool on);
    void dragOverlay(int x, int y, int width, int height);
    void restoreVolume();

    Parts p_;
    TPreviewMessages& messages_;
    std::unique_ptr<Tplaque> plaque_;
    PreviewDisplayTexts pending_;
    bool muted_ = false;
    bool fullScreen_ = false;
    bool overlayEditing_ = false;
    bool dragging_ = false;
    // The graph's state when a drag on the video began, until the release puts it back.
    std::optional<int> dragState_;
    // An overlay slider's press started the playing, which its release ends.
    bool sliderStartedPlay_ = false;
};

}  // namespace velinor
