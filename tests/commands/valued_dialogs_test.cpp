// The value dialogs' computations: the shift text and its rounding, the two modes of the
// time-offset dialog, the interval text, the dual list's moves, and the real parameter text the
// commands read back.
#include "commands/valued_dialogs.h"

#include <gtest/gtest.h>

#include "commands/catalogue.h"
#include "filelist/base_frame.h"
#include "media/datecode.h"

namespace velinor {
namespace {

double At(int y, int mo, int d, int h, int mi, int s) {
    return *MakeDatecode({y, uint8_t(mo), uint8_t(d), uint8_t(h), uint8_t(mi), uint8_t(s)});
}

TEST(ShiftTextTest, TextsAndRounding) {
    struct Case {
        double days;
        const char* text;
        double rounded;
    };
    const Case cases[] = {
        {2.0 / 24, "2 heures", 2.0 / 24},
        {1 + 2.0 / 24, "1 jours 02h 00m 00s", 1 + 2.0 / 24},
        {90.0 / 1440, "0 jours 01h 30m 00s", 1.0 / 24 + 30.0 / 1440},
        {0, "0 heures", 0},
        {-3.0 / 24, "-3 heures", -3.0 / 24},
        // 10 h 0 min 0.4 s is exactly 10 hours.
        {10.0 / 24 + 0.4 / 86400, "10 heures", 10.0 / 24},
        // Half a second goes to the even second.
        {0.5 / 86400, "0 heures", 0},
        {1.5 / 86400, "0 jours 00h 00m 02s", 2.0 / 86400},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ShiftText(c.days), c.text) << c.days;
        EXPECT_EQ(RoundShift(c.days), c.rounded) << c.days;
    }
}

TEST(DateTimeInputsTest, SplitAndJoinToTheSecond) {
    const double t = At(2004, 7, 14, 14, 5, 9);
    const TDateTimeInputs in = SplitDateTime(t + 0.3 / 86400);
    EXPECT_EQ(in, (TDateTimeInputs{At(2004, 7, 14, 0, 0, 0), 14, 5, 9}));
    EXPECT_DOUBLE_EQ(JoinDateTime(in), t);
    // 23:59:59.6 rounds into the next day rather than to a 24th hour.
    EXPECT_EQ(SplitDateTime(At(2004, 7, 14, 23, 59, 59) + 0.6 / 86400),
              (TDateTimeInputs{At(2004, 7, 15, 0, 0, 0), 0, 0, 0}));
}

// The dialog as the Qt form drives it: every refill copies the inputs to controls whose change
// signals come straight back as input changes, which the guard must ignore.
struct DecalageDialog {
    TDecalageModel m;
    std::vector<double> shown;
    int refills = 0;
    DecalageDialog() {
        m.OnDisplayShift = [this](double d) { shown.push_back(d); };
        m.OnRefilled = [this] {
            ++refills;
            m.InputChanged();
        };
    }
};

TEST(DecalageModelTest, SimpleModeGivesWholeHours) {
    struct Case {
        int startHour;
        int hours;
        double offset;
        int targetHour;
        const char* text;
    };
    const Case cases[] = {
        {14, 3, 0.125, 17, "3 heures"},
        {14, -3, -0.125, 11, "-3 heures"},
        // Across midnight the hour box keeps what the user typed.
        {22, 3, 0.125, 1, "3 heures"},
        {1, -3, -0.125, 22, "-3 heures"},
        {14, 0, 0, 14, "0 heures"},
    };
    for (const Case& c : cases) {
        DecalageDialog d;
        const double start = At(2004, 7, 14, c.startHour, 0, 0);
        d.m.Show(start, start);
        d.refills = 0;
        d.m.HeureSolo = c.hours;
        d.m.InputChanged();
        EXPECT_EQ(d.refills, 1) << c.hours;
        EXPECT_DOUBLE_EQ(d.m.Offset, c.offset) << c.startHour << " " << c.hours;
        EXPECT_EQ(d.m.HeureSolo, c.hours) << c.startHour;
        EXPECT_EQ(d.m.Fin.Hour, c.targetHour) << c.startHour;
        EXPECT_EQ(d.m.Resultat, c.text);
        EXPECT_DOUBLE_EQ(d.shown.back(), c.offset);
        double confirmed = 99;
        d.m.Ok(confirmed);
        EXPECT_TRUE(d.m.Accepted);
        EXPECT_DOUBLE_EQ(confirmed, c.offset);
    }
}

TEST(DecalageModelTest, AdvancedModeFromANewDate) {
    DecalageDialog d;
    d.m.Advanced = true;
    const double start = At(2004, 7, 14, 14, 0, 0);
    d.m.Show(start, start);
    d.m.Fin = {At(2004, 7, 15, 0, 0, 0), 16, 30, 0};
    d.m.InputChanged();
    EXPECT_NEAR(d.m.Offset, 1 + 2.5 / 24, 1e-9);
    EXPECT_EQ(d.m.Resultat, "1 jours 02h 30m 00s");
    EXPECT_DOUBLE_EQ(d.m.Target, At(2004, 7, 15, 16, 30, 0));
    // The hour box shows the hours of the day between the instants.
    EXPECT_EQ(d.m.HeureSolo, 2);
    EXPECT_NEAR(d.shown.back(), d.m.Offset, 1e-12);
}

TEST(DecalageModelTest, ShowingFillsFromTheTarget) {
    DecalageDialog d;
    const double start = At(2004, 7, 14, 14, 0, 0);
    d.m.Show(start, start + 5.0 / 24);
    EXPECT_EQ(d.m.HeureSolo, 5);
    EXPECT_EQ(d.m.Fin, (TDateTimeInputs{At(2004, 7, 14, 0, 0, 0), 19, 0, 0}));
    EXPECT_EQ(d.m.Resultat, "5 heures");
    EXPECT_DOUBLE_EQ(d.shown.back(), 5.0 / 24);
}

TEST(DecalageModelTest, ZeroThenOkConfirmsNoShift) {
    DecalageDialog d;
    const double start = At(2004, 7, 14, 14, 0, 0);
    d.m.Show(start, start + 0.5);
    d.m.Zero();
    EXPECT_EQ(d.m.Offset, 0);
    EXPECT_EQ(d.m.Resultat, "0 heures");
    EXPECT_EQ(d.shown.back(), 0);
    double confirmed = 0.25;
    d.m.Ok(confirmed);
    EXPECT_EQ(confirmed, 0);
}

TEST(DecalageModelTest, CancelGoesBackToTheConfirmedShift) {
    DecalageDialog d;
    const double start = At(2004, 7, 14, 14, 0, 0);
    d.m.Show(start, start);
    d.m.HeureSolo = 7;
    d.m.InputChanged();
    d.m.Cancel(0.125, 0.25);
    EXPECT_FALSE(d.m.Accepted);
    EXPECT_EQ(d.m.Offset, 0.125);
    EXPECT_EQ(d.shown.back(), 0.25);
}

TEST(IntervalleTest, OnlyPositiveWholeNumbers) {
    struct Case {
        const char* text;
        bool accepted;
        int32_t value;
    };
    const Case cases[] = {{"20", true, 20},  {" 20 ", true, 20},       {"0", false, 0},   {"-5", false, -5},
                          {"abc", false, 0}, {"", false, 0},           {"2 0", false, 0}, {"1,5", false, 0},
                          {"+7", true, 7},   {"99999999999", false, 0}};
    for (const Case& c : cases) {
        const TIntervalleAnswer a = ReadIntervalle(c.text);
        EXPECT_EQ(a.Accepted, c.accepted) << '"' << c.text << '"';
        EXPECT_EQ(a.Value, c.value) << '"' << c.text << '"';
    }
}

using Side = TDualListModel::Side;
using Texts = std::vector<std::string>;

TDualListModel Columns() {
    static const int objects[4] = {};
    TDualListModel m;
    m.SetItems({{"Nom", &objects[0]}, {"fps", &objects[1]}, {"Codec", &objects[2]}, {"Durée", &objects[3]}},
               {});
    return m;
}

TEST(DualListTest, SelectedItemsArriveInReverseOrder) {
    TDualListModel m = Columns();
    ASSERT_EQ(m.Texts(Side::Src), (Texts{"Codec", "Durée", "fps", "Nom"}));  // sorted, case ignored
    const void* fpsObject = m.Src.Items[2].Object;
    m.Select(Side::Src, 0, true);  // Codec
    m.Select(Side::Src, 2, true);  // fps
    m.Include();
    EXPECT_EQ(m.Texts(Side::Dst), (Texts{"fps", "Codec"}));
    EXPECT_EQ(m.Dst.Items[0].Object, fpsObject);
    EXPECT_EQ(m.Texts(Side::Src), (Texts{"Durée", "Nom"}));
    // The left list is selected again at the first moved item's place.
    EXPECT_EQ(m.Focus, Side::Src);
    EXPECT_EQ(m.Src.ItemIndex, 0);
    EXPECT_EQ(m.Src.Selected, (std::vector<bool>{true, false}));

    // Back to the left, in its sorted place.
    m.Select(Side::Dst, 1, true);  // Codec
    m.Exclude();
    EXPECT_EQ(m.Texts(Side::Src), (Texts{"Codec", "Durée", "Nom"}));
    EXPECT_EQ(m.Texts(Side::Dst), (Texts{"fps"}));
    EXPECT_EQ(m.Focus, Side::Dst);
    EXPECT_EQ(m.Dst.ItemIndex, 0);  // index 1 is beyond: the last one
}

TEST(DualListTest, AllItemsAndButtonStates) {
    TDualListModel m = Columns();
    EXPECT_TRUE(m.IncludeEnabled());
    EXPECT_FALSE(m.ExcludeEnabled());
    m.IncludeAll();
    EXPECT_EQ(m.Texts(Side::Dst), (Texts{"Codec", "Durée", "fps", "Nom"}));
    EXPECT_FALSE(m.IncludeEnabled());
    EXPECT_TRUE(m.ExcludeEnabled());
    // ">>" on an empty left list changes nothing but the state.
    m.IncludeAll();
    EXPECT_EQ(m.Dst.Items.size(), 4u);
    EXPECT_EQ(m.Src.ItemIndex, -1);
    // ">" without a selection moves nothing.
    m.Include();
    EXPECT_EQ(m.Dst.Items.size(), 4u);
    m.ExcludeAll();
    EXPECT_EQ(m.Texts(Side::Src), (Texts{"Codec", "Durée", "fps", "Nom"}));
    EXPECT_TRUE(m.Dst.Items.empty());
    EXPECT_FALSE(m.ExcludeEnabled());
}

TEST(DualListTest, UpAndDownMoveTheFirstSelected) {
    struct Case {
        const char* name;
        std::vector<int> selected;
        bool up;
        Texts result;
        int itemIndex;
    };
    const Case cases[] = {
        {"up", {2}, true, {"a", "c", "b"}, 1},
        {"up the first selected of two", {1, 2}, true, {"b", "a", "c"}, 0},
        {"up at the top", {0}, true, {"a", "b", "c"}, 0},
        {"up without selection", {}, true, {"a", "b", "c"}, -1},
        {"down", {0}, false, {"b", "a", "c"}, 1},
        {"down at the bottom", {2}, false, {"a", "b", "c"}, 2},
        {"down without selection", {}, false, {"a", "b", "c"}, -1},
    };
    for (const Case& c : cases) {
        TDualListModel m;
        m.SetItems({}, {{"a"}, {"b"}, {"c"}});
        for (int i : c.selected) m.Select(Side::Dst, i, true);
        c.up ? m.Up() : m.Down();
        EXPECT_EQ(m.Texts(Side::Dst), c.result) << c.name;
        EXPECT_EQ(m.Dst.FirstSelected(), c.itemIndex) << c.name;
    }
}

TEST(RealParameterTest, WrittenWithACommaAndReadBack) {
    struct Case {
        double value;
        const char* text;
    };
    const Case cases[] = {
        {0.125, "0,125"},
        {-0.125, "-0,125"},
        {0, "0"},
        {20, "20"},
        {1.0 / 86400, "0,0000115740740740741"},
        {1 + 2.5 / 24, "1,10416666666667"},
        {38182.5, "38182,5"},
        {1e20, "1E20"},
        {1.5e-6, "1,5E-6"},
    };
    for (const Case& c : cases) {
        const std::string text = GeneralFloatText(c.value);
        EXPECT_EQ(text, c.text) << c.value;
        const auto back = ParseDecimal(text);
        ASSERT_TRUE(back) << text;
        EXPECT_NEAR(*back, c.value, std::abs(c.value) * 1e-14) << text;
        // A shift read back keeps its whole seconds.
        EXPECT_EQ(RoundShift(*back), RoundShift(c.value)) << text;
    }
}

}  // namespace
}  // namespace velinor
