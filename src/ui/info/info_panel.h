#pragma once
// The info panel of the active file: name, datecode, timecode, codec, picture, duration, frame
// rate and audio in labels, with the command gauge, the volume gauge and the copy menu
// `copiermenu`. GUI thread only.
#include <QFrame>
#include <functional>

#include "filelist/base_frame.h"

class QLabel;
class QMenu;
class QProgressBar;

namespace velinor {

class TBaseFramePanel final : public QFrame {
public:
    explicit TBaseFramePanel(QWidget* parent = nullptr);

    // Shows the record's texts; nothing happens without a record.
    void ShowFile(const TaviFichier* record);
    void ClearFile();
    TBaseFrame& Frame() { return frame_; }

    // The value label of an object name ("LabNom", "labDatecode", ...), for the window and tests.
    QLabel* Label(const char* name) const;
    QProgressBar* Gauge1() const { return gauge1_; }
    // The panel's right-click menu of copy entries.
    QMenu* CopierMenu() const { return copiermenu_; }
    QProgressBar* Gauge2() const { return gauge2_; }
    // Each copy entry puts its text on the clipboard (enabled with an active record).
    std::vector<std::string> CopyTexts() const;

    // A click on the file name label.
    std::function<void()> OnNameClicked;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showTexts();

    TBaseFrame frame_;
    QMenu* copiermenu_;
    QProgressBar* gauge1_;
    QProgressBar* gauge2_;
};

}  // namespace velinor
