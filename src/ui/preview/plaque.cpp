#include "ui/preview/plaque.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QPainter>

namespace velinor {

Tplaque::Tplaque(QWidget* keysTo) : QWidget(nullptr, Qt::FramelessWindowHint | Qt::Window), keysTo_(keysTo) {
    setObjectName("Tplaque");
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
}

void Tplaque::forward(QKeyEvent* event) {
    if (!keysTo_) return;
    QKeyEvent copy(event->type(), event->key(), event->modifiers(), event->text(), event->isAutoRepeat(),
                   ushort(event->count()));
    QCoreApplication::sendEvent(keysTo_, &copy);
    event->accept();
}

void Tplaque::keyPressEvent(QKeyEvent* event) {
    forward(event);
}

void Tplaque::keyReleaseEvent(QKeyEvent* event) {
    forward(event);
}

void Tplaque::closeEvent(QCloseEvent* event) {
    event->ignore();
    hide();
}

void Tplaque::paintEvent(QPaintEvent*) {
    QPainter(this).fillRect(rect(), Qt::black);
}

}  // namespace velinor
