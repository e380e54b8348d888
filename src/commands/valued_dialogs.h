#pragma once
// What the window's value dialogs compute, without their widgets: the time-offset dialog (a
// shift in days, chosen as whole hours or as a corrected date and time), the datecode entry
// dialog, the interval dialog and the dual list of the export columns. The Qt dialogs copy their
// controls in and out of these models. UI thread only.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace velinor {

// A shift rounded to whole seconds (ties to even), as its text shows it.
double RoundShift(double days);

// A date-time as a dialog edits it: the day (whole days since 30/12/1899) and the time of day,
// to the second.
struct TDateTimeInputs {
    double Date = 0;
    int Hour = 0, Minute = 0, Second = 0;
    bool operator==(const TDateTimeInputs&) const = default;
};
// Rounded to the nearest second; the time of day is always 0:00:00 to 23:59:59.
TDateTimeInputs SplitDateTime(double value);
double JoinDateTime(const TDateTimeInputs& inputs);

// The time-offset dialog: start (the instant as recorded), target (the corrected instant) and
// the offset between them, with the five inputs of its two modes.
class TDecalageModel {
public:
    // Inputs: the whole hours of the simple mode (-23 to 23) and the new date and time of the
    // advanced mode.
    int HeureSolo = 0;
    TDateTimeInputs Fin;
    bool Advanced = false;

    double Start = 0, Target = 0;
    double Offset = 0;  // days, whole seconds
    bool Accepted = false;
    std::string Resultat;  // the shift text of the offset

    // The display shift the preview shows while the dialog is open.
    std::function<void(double days)> OnDisplayShift;
    // Called while the inputs are refilled, so the dialog copies them into its controls; the
    // changes this makes are not inputs of the user (Refilling() is true).
    std::function<void()> OnRefilled;

    // Showing the dialog: the instants, then Refill.
    void Show(double start, double target);
    // From the inputs: the offset, its text and the target.
    void Compute();
    // From the target: the inputs, Compute, and the display shift.
    void Refill();
    bool Refilling() const { return guard_; }
    // A change of an input by the user: Compute, then Refill; ignored while refilling.
    void InputChanged();
    // "Mettre à 0".
    void Zero();
    // "OK": the offset becomes the confirmed shift.
    void Ok(double& confirmed);
    // "Annuler": the offset goes back to the confirmed shift and the preview to the display
    // shift it had before the dialog was shown.
    void Cancel(double confirmed, double displayBefore);

private:
    bool guard_ = false;
};

// The interval dialog's "Appliquer": the text without blanks at either end read as a decimal
// integer (0 when it is not one); accepted when positive.
struct TIntervalleAnswer {
    bool Accepted = false;
    int32_t Value = 0;
};
TIntervalleAnswer ReadIntervalle(const std::string& text);

// The two lists of the dual list frame: the available items (kept sorted, without regard to
// case) and the chosen ones (in the user's order), each with its multiple selection.
struct TDualItem {
    std::string Text;
    const void* Object = nullptr;
    bool operator==(const TDualItem& other) const { return Text == other.Text && Object == other.Object; }
};

class TDualListModel {
public:
    struct List {
        std::vector<TDualItem> Items;
        std::vector<bool> Selected;
        int ItemIndex = -1;
        bool Sorted = false;
        int FirstSelected() const;
        void Add(TDualItem item);
        void SelectOnly(int index);
        bool Empty() const { return Items.empty(); }
    };
    enum class Side { Src, Dst };

    TDualListModel() { Src.Sorted = true; }

    List Src, Dst;
    Side Focus = Side::Src;

    void SetItems(std::vector<TDualItem> available, std::vector<TDualItem> chosen);
    void Select(Side side, int index, bool selected);

    // ">": the selected available items, from the last to the first, to the end of the chosen.
    void Include();
    // "<": the selected chosen items back to the available ones.
    void Exclude();
    // ">>" and "<<": every item, first to last.
    void IncludeAll();
    void ExcludeAll();
    // The first selected chosen item one place up or down.
    void Up();
    void Down();

    bool IncludeEnabled() const { return !Src.Empty(); }
    bool ExcludeEnabled() const { return !Dst.Empty(); }

    std::vector<std::string> Texts(Side side) const;

private:
    void moveSelected(List& from, List& to, Side fromSide);
    void moveAll(List& from, List& to, Side fromSide);
    void reselect(Side side, int index);
    List& list(Side side) { return side == Side::Src ? Src : Dst; }
};

}  // namespace velinor
