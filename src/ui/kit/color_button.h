#pragma once
// A button that shows a colour as a swatch and lets the user pick another one. UI thread only.
#include <QColor>
#include <QToolButton>
#include <functional>

namespace velinor {

class TColorButton final : public QToolButton {
    Q_OBJECT
public:
    explicit TColorButton(QWidget* parent = nullptr);

    QColor Color() const { return color_; }
    // Shows a colour without announcing it.
    void SetColor(const QColor& color);
    // What a click does: asks for a colour starting from the current one; invalid when
    // cancelled. The default shows Qt's colour chooser; tests answer it directly.
    std::function<QColor(const QColor& current)> Choose;
    // The user's choice, as a click with `Choose` gives it.
    void ChooseColor(const QColor& color);

signals:
    void colorChosen(const QColor& color);

private:
    QColor color_;
};

}  // namespace velinor
