#include "ui/kit/color_button.h"

#include <QColorDialog>
#include <QPixmap>

namespace velinor {

TColorButton::TColorButton(QWidget* parent) : QToolButton(parent) {
    setIconSize(QSize(28, 14));
    Choose = [this](const QColor& current) { return QColorDialog::getColor(current, window()); };
    connect(this, &QToolButton::clicked, this, [this] {
        const QColor chosen = Choose ? Choose(color_) : QColor();
        if (chosen.isValid()) ChooseColor(chosen);
    });
    SetColor(Qt::white);
}

void TColorButton::SetColor(const QColor& color) {
    color_ = color;
    QPixmap swatch(iconSize());
    swatch.fill(color);
    setIcon(QIcon(swatch));
}

void TColorButton::ChooseColor(const QColor& color) {
    SetColor(color);
    emit colorChosen(color);
}

}  // namespace velinor
