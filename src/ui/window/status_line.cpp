#include "ui/window/status_line.h"

#include <QApplication>
#include <QPalette>

#include "ui/kit/qt_text.h"

namespace velinor {

TStatusLine::TStatusLine(QWidget* parent) : QLabel(parent) {
    setObjectName("StatusPanel");
    setAlignment(Qt::AlignCenter);
    setAutoFillBackground(true);
    refresh();
}

void TStatusLine::StartCommand() {
    notice_.clear();
    refresh();
}

void TStatusLine::SetCommandMessage(const std::string& text) {
    command_ = text;
    refresh();
}

void TStatusLine::EndCommand() {
    command_.clear();
    refresh();
}

void TStatusLine::SetNotice(const std::string& text) {
    notice_ = text;
    refresh();
}

void TStatusLine::SetOpenMessage(const std::string& text) {
    open_ = text;
    notice_.clear();
    refresh();
}

void TStatusLine::ClearOpenMessage() {
    open_.clear();
    refresh();
}

void TStatusLine::refresh() {
    if (!command_.empty())
        Show(StatusKind::Command, command_);
    else if (!open_.empty())
        Show(StatusKind::Opening, open_);
    else if (!notice_.empty())
        Show(StatusKind::Ready, notice_);
    else
        Show(StatusKind::Ready, "Prêt");
}

void TStatusLine::Show(StatusKind kind, const std::string& text) {
    kind_ = kind;
    setText(Q(text));
    QPalette palette = this->palette();
    const StatusColour c = StatusColourOf(kind);
    palette.setColor(QPalette::Window, c.red < 0 ? QApplication::palette().color(QPalette::Button)
                                                 : QColor(c.red, c.green, c.blue));
    setPalette(palette);
    // Painted now: the status must show while the UI thread is busy, and running the event
    // loop here could run any user action in the middle of the update.
    if (isVisible()) repaint();
}

}  // namespace velinor
