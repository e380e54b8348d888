// One control bound to one typed action, per control kind: the user's change sets the action
// once (one apply), the action's change shows in the control, and neither echoes back.
#include "ui/binding/control_binding.h"

#include <gtest/gtest.h>

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QToolButton>
#include <memory>

#include "ui/kit/path_edit.h"
#include "ui/ui_harness.h"

namespace velinor {
namespace {

// Counts the applies of an action's value.
template <class A, class T>
int* CountApplies(A& action, std::vector<T>* seen = nullptr) {
    auto* count = new int(0);
    action.OnAfterApply = [count, seen](const T& value) {
        ++*count;
        if (seen) seen->push_back(value);
    };
    return count;
}

TEST(ControlBinding, CheckBoxFollowsAToggleAndABoolean) {
    test::EnsureApplication();
    TCheckAction toggle("caEssai");
    int applies = 0;
    toggle.OnAfterTrueApply = [&] { ++applies; };
    toggle.OnAfterFalseApply = [&] { ++applies; };
    QCheckBox box;
    BindControl(box, toggle);
    box.click();
    EXPECT_TRUE(toggle.Checked());
    EXPECT_EQ(applies, 1);
    toggle.SetChecked(false);
    EXPECT_FALSE(box.isChecked());
    EXPECT_EQ(applies, 2);

    TBooleanAction boolean("baEssai");
    std::unique_ptr<int> count(CountApplies<TBooleanAction, bool>(boolean));
    QCheckBox other;
    BindControl(other, boolean);
    other.click();
    EXPECT_TRUE(boolean.CurrentValue());
    EXPECT_EQ(*count, 1);
    boolean.SetValue(false);
    EXPECT_FALSE(other.isChecked());
    EXPECT_EQ(*count, 2);
}

TEST(ControlBinding, RadioGroupHoldsTheCheckedButtonsId) {
    test::EnsureApplication();
    TIntegerAction action("iaEssai");
    std::unique_ptr<int> count(CountApplies<TIntegerAction, int32_t>(action));
    QWidget parent;
    QButtonGroup group;
    QRadioButton* buttons[3];
    for (int i = 0; i < 3; ++i) group.addButton(buttons[i] = new QRadioButton(&parent), i);
    BindControl(group, action);
    EXPECT_TRUE(buttons[0]->isChecked());  // the action's value shows at once
    buttons[2]->click();
    EXPECT_EQ(action.CurrentValue(), 2);
    EXPECT_EQ(*count, 1);
    action.SetValue(1);
    EXPECT_TRUE(buttons[1]->isChecked());
    action.SetValue(7);  // no button: none is checked
    for (QRadioButton* b : buttons) EXPECT_FALSE(b->isChecked());
    EXPECT_EQ(*count, 3);
}

TEST(ControlBinding, FixedComboBoxHoldsTheIndexOrItsTableValue) {
    test::EnsureApplication();
    TIntegerAction format("iaExcelFormat");
    format.SetValue(43);
    std::unique_ptr<int> count(CountApplies<TIntegerAction, int32_t>(format));
    QComboBox combo;
    combo.addItems({"2.0", "3.0", "4.0", "5.0", "95 et 97"});
    BindControl(combo, format, {16, 29, 33, 39, 43});
    EXPECT_EQ(combo.currentIndex(), 4);
    combo.setCurrentIndex(1);
    emit combo.activated(1);
    EXPECT_EQ(format.CurrentValue(), 29);
    EXPECT_EQ(*count, 1);
    format.SetValue(33);
    EXPECT_EQ(combo.currentIndex(), 2);
    format.SetValue(12);  // outside the table: the box stays
    EXPECT_EQ(combo.currentIndex(), 2);

    TIntegerAction index("iaEssai");
    QComboBox plain;
    plain.addItems({"a", "b", "c"});
    BindControl(plain, index);
    plain.setCurrentIndex(2);
    emit plain.activated(2);
    EXPECT_EQ(index.CurrentValue(), 2);
    index.SetValue(1);
    EXPECT_EQ(plain.currentIndex(), 1);
}

TEST(ControlBinding, EditableComboBoxHoldsItsText) {
    test::EnsureApplication();
    TWidestringAction action("waFormatAfficherDatecode");
    std::vector<std::string> seen;
    std::unique_ptr<int> count(CountApplies<TWidestringAction, std::string>(action, &seen));
    QComboBox combo;
    combo.setEditable(true);
    combo.addItems({"tt", "ddddd"});
    BindControl(combo, action);
    combo.setEditText("dddddd tt");  // typed
    EXPECT_EQ(action.CurrentValue(), "dddddd tt");
    combo.setCurrentIndex(0);  // chosen from the list
    EXPECT_EQ(action.CurrentValue(), "tt");
    EXPECT_EQ(seen, (std::vector<std::string>{"dddddd tt", "tt"}));
    action.SetValue(" ddddd tt");
    EXPECT_EQ(combo.currentText(), " ddddd tt");
    EXPECT_EQ(*count, 3);
}

TEST(ControlBinding, LineEditHoldsItsText) {
    test::EnsureApplication();
    TWidestringAction action("waTemplateRenommer");
    std::unique_ptr<int> count(CountApplies<TWidestringAction, std::string>(action));
    QLineEdit edit;
    BindControl(edit, action);
    edit.setText("ClipDV%D");
    EXPECT_EQ(action.CurrentValue(), "ClipDV%D");
    EXPECT_EQ(*count, 1);
    action.SetValue("Vacances %D");
    EXPECT_EQ(edit.text().toStdString(), "Vacances %D");
    EXPECT_EQ(*count, 2);
}

TEST(ControlBinding, SpinBoxShowsTheValueItsApplyKept) {
    test::EnsureApplication();
    TIntegerAction action("iaBorderSize");
    int applies = 0;
    // The apply corrects a value above 5, as a setting's handler may.
    action.OnAfterApply = [&](const int32_t& v) {
        ++applies;
        if (v > 5) action.SetValue(5);
    };
    QSpinBox spin;
    spin.setRange(0, 10);
    BindControl(spin, action);
    spin.setValue(3);
    EXPECT_EQ(action.CurrentValue(), 3);
    EXPECT_EQ(applies, 1);
    spin.setValue(8);
    EXPECT_EQ(action.CurrentValue(), 5);
    EXPECT_EQ(spin.value(), 5);
    EXPECT_EQ(applies, 3);  // 8, then the corrected 5; nothing echoed
    action.SetValue(2);
    EXPECT_EQ(spin.value(), 2);
}

TEST(ControlBinding, FolderAndFileEditsHoldTheChosenOrTypedPath) {
    test::EnsureApplication();
    struct Case {
        bool folder;
        const char* chosen;
        const char* typed;
    };
    const Case cases[] = {{true, "/home/u/Vidéos", "/mnt/dv"}, {false, "/usr/bin/vlc", "/opt/lecteur"}};
    for (const Case& c : cases) {
        TWidestringAction action("waEssai");
        std::unique_ptr<int> count(CountApplies<TWidestringAction, std::string>(action));
        // The action outlives its control.
        std::unique_ptr<TPathEdit> owned;
        if (c.folder)
            owned = std::make_unique<TFolderEdit>();
        else
            owned = std::make_unique<TFileEdit>();
        TPathEdit* edit = owned.get();
        BindControl(*edit, action);
        edit->Choose = [&](const QString&) { return QString::fromUtf8(c.chosen); };
        edit->BrowseButton()->click();
        EXPECT_EQ(action.CurrentValue(), c.chosen);
        edit->Edit()->setText(QString::fromUtf8(c.typed));
        edit->Edit()->setModified(true);
        emit edit->Edit()->editingFinished();
        EXPECT_EQ(action.CurrentValue(), c.typed);
        edit->Choose = [](const QString&) { return QString(); };  // cancelled: nothing changes
        edit->BrowseButton()->click();
        EXPECT_EQ(*count, 2);
        action.SetValue("/srv/films");
        EXPECT_EQ(edit->Path().toStdString(), "/srv/films");
        EXPECT_EQ(*count, 3);
    }
}

TEST(ControlBinding, TheBindingEndsWithItsControl) {
    test::EnsureApplication();
    TWidestringAction action("waEssai");
    {
        QLineEdit edit;
        BindControl(edit, action);
    }
    action.SetValue("encore");  // no control left to show it, and no crash
    EXPECT_EQ(action.CurrentValue(), "encore");
}

}  // namespace
}  // namespace velinor
