#pragma once
// Joins one control to one typed action, both ways: a change the user makes in the control sets
// the action's value, which applies it; every change of the action's value, from a script, the
// preferences or another control, shows in the control. What the binding itself writes into the
// control is not sent back, so the two never loop; a value the apply handler corrects (clamps)
// shows corrected.
//
// Each call binds once; the binding is a child of the control and ends with it. The action must
// outlive the control (the catalogue's actions live as long as the program). UI thread only.
//
//     BindControl(*ui.cbKeepOpen, catalogue.Get<TBooleanAction>("baKeepOpen"));
//     BindControl(*ui.cbExcelFormat, catalogue.Get<TIntegerAction>("iaExcelFormat"), {16, 29, 33, 39, 43});
#include <functional>
#include <vector>

#include "actions/actions.h"

class QAbstractButton;
class QActionGroup;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QFontComboBox;
class QLineEdit;
class QObject;
class QSlider;
class QSpinBox;

namespace velinor {

class TColorButton;
class TPathEdit;

// Check box: toggles on click.
void BindControl(QCheckBox& box, TCheckAction& action);
void BindControl(QCheckBox& box, TBooleanAction& action);
// Radio group: the checked button's id in the group is the value; a value that is no button's
// id unchecks them all.
void BindControl(QButtonGroup& group, TIntegerAction& action);
// Combo box of fixed items: the chosen item's index is the value, or `values[index]` when a
// table is given (a value outside the table leaves the box as it is).
void BindControl(QComboBox& combo, TIntegerAction& action, std::vector<int32_t> values = {});
// Combo box whose text is the value: typed (editable box) or the chosen item's text.
void BindControl(QComboBox& combo, TWidestringAction& action);
// Line edit: every change of its text.
void BindControl(QLineEdit& edit, TWidestringAction& action);
// Spin box: every change of its value; the action's value shows within the box's range.
void BindControl(QSpinBox& spin, TIntegerAction& action);
// Folder or file edit: the path chosen in its chooser or typed.
void BindControl(TPathEdit& edit, TWidestringAction& action);
// Line edit of a whole number: every change of its text, read as a decimal integer (`fallback`
// when it is not one). A text that already reads as the value is left as typed.
void BindControl(QLineEdit& edit, TIntegerAction& action, int32_t fallback = 0);
// Slider: every move of its value. `reversed` shows the action's v as minimum + maximum - v, for
// a vertical slider whose top gives the action's minimum.
void BindControl(QSlider& slider, TIntegerAction& action, bool reversed = false);
// Checkable menu items of one group: the data of the triggered item is the value; a value that
// is no item's unchecks them all.
void BindControl(QActionGroup& group, TIntegerAction& action);

// The controls of a font setting, each changing its own part of the font and showing it; any may
// be null. The size box shows "auto" for a negative size (the size then follows the picture) and
// reads "auto" as -1, other texts as a whole number (0 when unreadable). The colour is the
// setting's 0x00BBGGRR.
struct FontControls {
    QFontComboBox* name = nullptr;
    QComboBox* size = nullptr;
    QAbstractButton* bold = nullptr;
    QAbstractButton* italic = nullptr;
    QAbstractButton* underline = nullptr;
    TColorButton* color = nullptr;
};
void BindControl(const FontControls& controls, TFontAction& action);

// A control that only shows the action (a caption, an example): `show` runs now and after every
// change of the action's value, as long as `control` lives.
void FollowAction(QObject& control, TCustomAbstractAction& action, std::function<void()> show);

}  // namespace velinor
