#include "commands/valued_dialogs.h"

#include <algorithm>
#include <cmath>

#include "actions/value_text.h"
#include "commands/catalogue.h"
#include "media/datecode.h"

namespace velinor {

double RoundShift(double days) {
    const long long n = std::llrint(days * kSecondsPerDay);  // ties to even
    const long long d = n / 86400, h = (n / 3600) % 24, m = (n / 60) % 60, s = n % 60;
    return double(d) + double(h) / 24 + double(m) / 1440 + double(s) / kSecondsPerDay;
}

TDateTimeInputs SplitDateTime(double value) {
    const long long n = std::llrint(value * kSecondsPerDay);
    long long day = n / 86400, second = n % 86400;
    if (second < 0) {
        second += 86400;
        --day;
    }
    return {double(day), int(second / 3600), int(second / 60 % 60), int(second % 60)};
}

double JoinDateTime(const TDateTimeInputs& in) {
    return in.Date + in.Hour / 24.0 + in.Minute / 1440.0 + in.Second / kSecondsPerDay;
}

void TDecalageModel::Show(double start, double target) {
    Start = start;
    Target = target;
    Refill();
}

void TDecalageModel::Compute() {
    Offset = Advanced ? JoinDateTime(Fin) - Start : HeureSolo / 24.0;
    Resultat = ShiftText(Offset);
    Offset = RoundShift(Offset);
    Target = Start + Offset;
}

void TDecalageModel::Refill() {
    guard_ = true;
    Fin = SplitDateTime(Target);
    // The hours of the day between the two instants, taken in the direction of the shift: 22:00
    // shifted by 3 hours reads 3, not 1 - 22.
    int hours = Fin.Hour - SplitDateTime(Start).Hour;
    const double shift = Target - Start;
    if (shift > 0 && hours < 0) hours += 24;
    if (shift < 0 && hours > 0) hours -= 24;
    HeureSolo = std::clamp(hours, -23, 23);
    Compute();
    if (OnRefilled) OnRefilled();
    if (OnDisplayShift) OnDisplayShift(Offset);
    guard_ = false;
}

void TDecalageModel::InputChanged() {
    if (guard_) return;
    Compute();
    Refill();
}

void TDecalageModel::Zero() {
    Target = Start;
    Refill();
}

void TDecalageModel::Ok(double& confirmed) {
    confirmed = Offset;
    Accepted = true;
}

void TDecalageModel::Cancel(double confirmed, double displayBefore) {
    Accepted = false;
    Offset = confirmed;
    if (OnDisplayShift) OnDisplayShift(displayBefore);
}

TIntervalleAnswer ReadIntervalle(const std::string& text) {
    const int32_t value = text::ParseInt32(text::Trim(text)).value_or(0);
    return {value > 0, value};
}

int TDualListModel::List::FirstSelected() const {
    for (size_t i = 0; i < Selected.size(); ++i)
        if (Selected[i]) return int(i);
    return -1;
}

void TDualListModel::List::Add(TDualItem item) {
    auto at = Items.end();
    if (Sorted)
        at = std::upper_bound(Items.begin(), Items.end(), item, [](const TDualItem& a, const TDualItem& b) {
            return text::Lower(a.Text) < text::Lower(b.Text);
        });
    Selected.insert(Selected.begin() + (at - Items.begin()), false);
    Items.insert(at, std::move(item));
}

void TDualListModel::List::SelectOnly(int index) {
    std::fill(Selected.begin(), Selected.end(), false);
    ItemIndex = index >= 0 && index < int(Items.size()) ? index : -1;
    if (ItemIndex >= 0) Selected[size_t(ItemIndex)] = true;
}

void TDualListModel::SetItems(std::vector<TDualItem> available, std::vector<TDualItem> chosen) {
    Src.Items.clear();
    Src.Selected.clear();
    for (auto& item : available) Src.Add(std::move(item));
    Dst.Items = std::move(chosen);
    Dst.Selected.assign(Dst.Items.size(), false);
    Src.ItemIndex = Dst.ItemIndex = -1;
}

void TDualListModel::Select(Side side, int index, bool selected) {
    List& l = list(side);
    if (index < 0 || index >= int(l.Items.size())) return;
    l.Selected[size_t(index)] = selected;
    if (selected) l.ItemIndex = index;
}

void TDualListModel::moveSelected(List& from, List& to, Side fromSide) {
    const int first = from.FirstSelected();
    for (int i = int(from.Items.size()) - 1; i >= 0; --i) {
        if (!from.Selected[size_t(i)]) continue;
        to.Add(from.Items[size_t(i)]);
        from.Items.erase(from.Items.begin() + i);
        from.Selected.erase(from.Selected.begin() + i);
    }
    reselect(fromSide, first);
}

void TDualListModel::moveAll(List& from, List& to, Side fromSide) {
    for (TDualItem& item : from.Items) to.Add(std::move(item));
    from.Items.clear();
    from.Selected.clear();
    reselect(fromSide, 0);
}

void TDualListModel::Include() {
    moveSelected(Src, Dst, Side::Src);
}
void TDualListModel::Exclude() {
    moveSelected(Dst, Src, Side::Dst);
}
void TDualListModel::IncludeAll() {
    moveAll(Src, Dst, Side::Src);
}
void TDualListModel::ExcludeAll() {
    moveAll(Dst, Src, Side::Dst);
}

void TDualListModel::reselect(Side side, int index) {
    Focus = side;
    List& l = list(side);
    if (index == -1) index = 0;
    if (index >= int(l.Items.size())) index = int(l.Items.size()) - 1;
    l.SelectOnly(index);
}

void TDualListModel::Up() {
    const int a = Dst.FirstSelected();
    if (a <= 0) return;
    std::swap(Dst.Items[size_t(a)], Dst.Items[size_t(a - 1)]);
    Dst.SelectOnly(a - 1);
}

void TDualListModel::Down() {
    const int a = Dst.FirstSelected();
    if (a < 0 || a >= int(Dst.Items.size()) - 1) return;
    std::swap(Dst.Items[size_t(a)], Dst.Items[size_t(a + 1)]);
    Dst.SelectOnly(a + 1);
}

std::vector<std::string> TDualListModel::Texts(Side side) const {
    const List& l = side == Side::Src ? Src : Dst;
    std::vector<std::string> out;
    for (const TDualItem& item : l.Items) out.push_back(item.Text);
    return out;
}

}  // namespace velinor
