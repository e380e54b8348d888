#include "ui/binding/control_binding.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSpinBox>
#include <algorithm>
#include <functional>

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

}  // namespace velinor
