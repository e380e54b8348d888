#include "ui/binding/control_binding.h"

#include <QAbstractButton>
#include <QAction>
#include <QActionGroup>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFontComboBox>
#include <QLineEdit>
#include <QSlider>
#include <QSpinBox>
#include <algorithm>
#include <functional>

#include "ui/kit/color_button.h"
#include "ui/kit/path_edit.h"
#include "ui/kit/qt_text.h"

namespace velinor {

namespace {

// The one binding of a control: follows the action's value into the control, and hands the
// control's changes to the action unless they are the binding's own.
class ControlBinding final : public QObject {
public:
    ControlBinding(QObject& control, TCustomAbstractAction& action, std::function<void()> show)
        : QObject(&control), action_(action), show_(std::move(show)) {
        listener_ = action.AddChangeListener([this](TCustomAbstractAction&, ActionProperty what) {
            if (what == ActionProperty::Value || what == ActionProperty::Checked) Show();
        });
        Show();
    }
    ~ControlBinding() override { action_.RemoveChangeListener(listener_); }

    void Show() {
        const bool was = showing_;
        showing_ = true;
        show_();
        showing_ = was;
    }
    // A change signalled by the control: the user's, unless the binding is writing into it.
    void FromControl(const std::function<void()>& set) {
        if (showing_) return;
        set();
        // The apply may have kept or corrected the value: the control shows what the action holds.
        Show();
    }

private:
    TCustomAbstractAction& action_;
    std::function<void()> show_;
    int listener_ = -1;
    bool showing_ = false;
};

// A decimal integer filling the whole text, blanks around it allowed; `fallback` otherwise.
int32_t IntegerOr(const QString& text, int32_t fallback) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    return ok ? value : fallback;
}
int32_t IntegerOrZero(const QString& text) {
    return IntegerOr(text, 0);
}

const QString kAutoSize = QStringLiteral("auto");

int32_t FontSizeOf(const QString& text) {
    return text.trimmed() == kAutoSize ? -1 : IntegerOrZero(text);
}

QColor ColorOf(int32_t bgr) {
    const auto c = static_cast<uint32_t>(bgr);
    return QColor(int(c & 0xFF), int(c >> 8 & 0xFF), int(c >> 16 & 0xFF));
}

int32_t BgrOf(const QColor& color) {
    return int32_t(uint32_t(color.red()) | uint32_t(color.green()) << 8 | uint32_t(color.blue()) << 16);
}

// Sets one part of the font action's value.
void ChangeFont(TFontAction& action, const std::function<void(TFont&)>& change) {
    TFont font = action.CurrentValue();
    change(font);
    action.SetValue(font);
}

}  // namespace

void BindControl(QCheckBox& box, TCheckAction& action) {
    auto* b = new ControlBinding(box, action, [&box, &action] { box.setChecked(action.Checked()); });
    QObject::connect(&box, &QCheckBox::toggled, b,
                     [b, &action](bool on) { b->FromControl([&] { action.SetChecked(on); }); });
}

void BindControl(QCheckBox& box, TBooleanAction& action) {
    auto* b = new ControlBinding(box, action, [&box, &action] { box.setChecked(action.CurrentValue()); });
    QObject::connect(&box, &QCheckBox::toggled, b,
                     [b, &action](bool on) { b->FromControl([&] { action.SetValue(on); }); });
}

void BindControl(QButtonGroup& group, TIntegerAction& action) {
    group.setExclusive(true);
    auto* b = new ControlBinding(group, action, [&group, &action] {
        if (QAbstractButton* button = group.button(action.CurrentValue())) {
            button->setChecked(true);
            return;
        }
        // An exclusive group keeps one button checked; no button holds this value.
        group.setExclusive(false);
        for (QAbstractButton* button : group.buttons()) button->setChecked(false);
        group.setExclusive(true);
    });
    QObject::connect(&group, &QButtonGroup::idClicked, b,
                     [b, &action](int id) { b->FromControl([&] { action.SetValue(id); }); });
}

void BindControl(QComboBox& combo, TIntegerAction& action, std::vector<int32_t> values) {
    auto* b = new ControlBinding(combo, action, [&combo, &action, values] {
        int index = action.CurrentValue();
        if (!values.empty()) {
            const auto it = std::find(values.begin(), values.end(), action.CurrentValue());
            if (it == values.end()) return;
            index = int(it - values.begin());
        }
        if (index >= 0 && index < combo.count()) combo.setCurrentIndex(index);
    });
    QObject::connect(&combo, &QComboBox::activated, b, [b, &action, values](int index) {
        b->FromControl([&] {
            if (values.empty())
                action.SetValue(index);
            else
                action.SetValue(index >= 0 && size_t(index) < values.size() ? values[size_t(index)] : 0);
        });
    });
}

void BindControl(QComboBox& combo, TWidestringAction& action) {
    auto* b = new ControlBinding(combo, action, [&combo, &action] {
        const QString text = Q(action.CurrentValue());
        if (combo.isEditable()) {
            if (combo.currentText() != text) combo.setEditText(text);
        } else if (const int index = combo.findText(text); index >= 0) {
            combo.setCurrentIndex(index);
        }
    });
    const auto set = [b, &action](const QString& text) {
        b->FromControl([&] { action.SetValue(text.toStdString()); });
    };
    // Typing in an editable box and choosing an item both change its current text.
    QObject::connect(&combo, &QComboBox::currentTextChanged, b, set);
}

void BindControl(QLineEdit& edit, TWidestringAction& action) {
    auto* b = new ControlBinding(edit, action, [&edit, &action] {
        const QString text = Q(action.CurrentValue());
        if (edit.text() != text) edit.setText(text);
    });
    QObject::connect(&edit, &QLineEdit::textChanged, b, [b, &action](const QString& text) {
        b->FromControl([&] { action.SetValue(text.toStdString()); });
    });
}

void BindControl(QSpinBox& spin, TIntegerAction& action) {
    auto* b = new ControlBinding(spin, action, [&spin, &action] { spin.setValue(action.CurrentValue()); });
    QObject::connect(&spin, &QSpinBox::valueChanged, b,
                     [b, &action](int value) { b->FromControl([&] { action.SetValue(value); }); });
}

void BindControl(TPathEdit& edit, TWidestringAction& action) {
    auto* b = new ControlBinding(edit, action, [&edit, &action] { edit.SetPath(Q(action.CurrentValue())); });
    QObject::connect(&edit, &TPathEdit::pathChosen, b, [b, &action](const QString& path) {
        b->FromControl([&] { action.SetValue(path.toStdString()); });
    });
}

void BindControl(QLineEdit& edit, TIntegerAction& action, int32_t fallback) {
    auto* b = new ControlBinding(edit, action, [&edit, &action, fallback] {
        // "" and "abc" both read as the fallback: what the user typed stays.
        if (IntegerOr(edit.text(), fallback) != action.CurrentValue())
            edit.setText(QString::number(action.CurrentValue()));
    });
    QObject::connect(&edit, &QLineEdit::textChanged, b, [b, &action, fallback](const QString& text) {
        b->FromControl([&] { action.SetValue(IntegerOr(text, fallback)); });
    });
}

void BindControl(QSlider& slider, TIntegerAction& action, bool reversed) {
    const auto toSlider = [&slider, reversed](int v) {
        return reversed ? slider.minimum() + slider.maximum() - v : v;
    };
    auto* b = new ControlBinding(
        slider, action, [&slider, &action, toSlider] { slider.setValue(toSlider(action.CurrentValue())); });
    QObject::connect(&slider, &QSlider::valueChanged, b, [b, &action, toSlider](int value) {
        // The mapping is its own inverse.
        b->FromControl([&] { action.SetValue(toSlider(value)); });
    });
}

void BindControl(QActionGroup& group, TIntegerAction& action) {
    auto* b = new ControlBinding(group, action, [&group, &action] {
        QAction* match = nullptr;
        for (QAction* item : group.actions())
            if (item->data().toInt() == action.CurrentValue()) match = item;
        if (match) {
            match->setChecked(true);
            return;
        }
        const auto policy = group.exclusionPolicy();
        group.setExclusionPolicy(QActionGroup::ExclusionPolicy::None);
        for (QAction* item : group.actions()) item->setChecked(false);
        group.setExclusionPolicy(policy);
    });
    QObject::connect(&group, &QActionGroup::triggered, b, [b, &action](QAction* item) {
        b->FromControl([&] { action.SetValue(item->data().toInt()); });
    });
}

void BindControl(const FontControls& c, TFontAction& action) {
    if (QFontComboBox* name = c.name) {
        auto* b = new ControlBinding(*name, action, [name, &action] {
            const QString family = Q(action.CurrentValue().Name);
            if (name->currentFont().family() != family) name->setCurrentFont(QFont(family));
        });
        QObject::connect(name, &QFontComboBox::currentFontChanged, b, [b, &action](const QFont& font) {
            b->FromControl(
                [&] { ChangeFont(action, [&](TFont& f) { f.Name = font.family().toStdString(); }); });
        });
    }
    if (QComboBox* size = c.size) {
        auto* b = new ControlBinding(*size, action, [size, &action] {
            const int32_t value = action.CurrentValue().Size;
            if (FontSizeOf(size->currentText()) == value && !size->currentText().isEmpty()) return;
            const QString text = value < 0 ? kAutoSize : QString::number(value);
            if (const int index = size->findText(text); index >= 0)
                size->setCurrentIndex(index);
            else if (size->isEditable())
                size->setEditText(text);
        });
        QObject::connect(size, &QComboBox::currentTextChanged, b, [b, &action](const QString& text) {
            b->FromControl([&] { ChangeFont(action, [&](TFont& f) { f.Size = FontSizeOf(text); }); });
        });
    }
    const struct {
        QAbstractButton* button;
        bool TFont::*part;
    } styles[] = {{c.bold, &TFont::Bold}, {c.italic, &TFont::Italic}, {c.underline, &TFont::Underline}};
    for (const auto& style : styles) {
        QAbstractButton* button = style.button;
        if (!button) continue;
        button->setCheckable(true);
        const auto part = style.part;
        auto* b = new ControlBinding(
            *button, action, [button, &action, part] { button->setChecked(action.CurrentValue().*part); });
        QObject::connect(button, &QAbstractButton::toggled, b, [b, &action, part](bool on) {
            b->FromControl([&] { ChangeFont(action, [&](TFont& f) { f.*part = on; }); });
        });
    }
    if (TColorButton* color = c.color) {
        auto* b = new ControlBinding(
            *color, action, [color, &action] { color->SetColor(ColorOf(action.CurrentValue().Color)); });
        QObject::connect(color, &TColorButton::colorChosen, b, [b, &action](const QColor& chosen) {
            b->FromControl([&] { ChangeFont(action, [&](TFont& f) { f.Color = BgrOf(chosen); }); });
        });
    }
}

void FollowAction(QObject& control, TCustomAbstractAction& action, std::function<void()> show) {
    new ControlBinding(control, action, std::move(show));
}

}  // namespace velinor
