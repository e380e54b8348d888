// The overlay settings: templates prepared for a record, what applying each setting reaches, and
// the texts the filters then draw from the published templates.
#include "commands/overlay_settings.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "filelist/avi_fichier.h"
#include "filters/dv_scene_detect.h"
#include "filters/dv_superposer.h"
#include "media/datecode.h"

namespace velinor {
namespace {

// 24 December 2025 18:30:15.
Datecode ChristmasEve() {
    return *MakeDatecode(DatecodeFields{2025, 12, 24, 18, 30, 15});
}

// A record for a path that is not on disk, with the values a DV file would give it.
std::unique_ptr<TaviFichier> NoelRecord(const std::string& path = "/films/noel.avi") {
    auto record = std::make_unique<TaviFichier>(path);
    record->Codec = "dvsd";
    record->ImageText = "720 x 576 (Pal";
    record->AspectText = " 16x9)";
    record->AudioText = "48000 Hz 16 bits stéréo";
    record->DurationText = "0:01:02:03";
    record->DatecodeValue = ChristmasEve();
    record->TimecodeText = "00.12.34.05";
    return record;
}

// Settings publishing into a store of the test's own, with a preview overlay and a conversion
// detector on stores of their own too, so that nothing depends on the process-wide values.
struct Fixture {
    OverlayTextSettingsStore store;
    OverlayTextSettingsStore filterStore;
    Tdv_sceneDetect previewDetector{nullptr, &filterStore};
    Tdv_Superposer overlay{previewDetector, &filterStore};
    Tdv_sceneDetect conversionDetector{nullptr, &filterStore};
    TOverlaySettings settings{nullptr, store};
    int refreshes = 0;

    Fixture() {
        settings.PreviewOverlay = &overlay;
        settings.ConversionDetector = &conversionDetector;
        settings.RefreshPreview = [this] { ++refreshes; };
        settings.Now = [] { return *MakeDatecode(DatecodeFields{2001, 2, 3, 4, 5, 6}); };
    }
    std::string Template1() const { return store.snapshot()->Template1; }
    std::string Template2() const { return store.snapshot()->Template2; }
};

TEST(OverlaySettings, ActionsCarryTheirNamesAndDefaults) {
    TCustomMvActionList list;
    OverlayTextSettingsStore store;
    TOverlaySettings s(&list, store);
    struct Case {
        const char* name;
        const char* script;
        std::string value;
    };
    const Case cases[] = {
        {"iaWhatIncrust", "WhatIncrust", "0"},
        {"waFormatdatecode1", "FormatDatecode1", "ddddd"},
        {"waFormatDatecode2", "FormatDatecode2", "tt"},
        {"waPerso1", "IncrustPerso1", "Votre modèle ici"},
        {"waperso2", "IncrustPerso2", "avec datecode=%D, timecode=%T, etc..."},
        {"iaIncrustX", "IncrustX", "920"},
        {"iaIncrustY", "IncrustY", "920"},
        {"iaBorderSize", "BorderSize", "2"},
        {"iaWhenIncrust", "WhenIncrust", "0"},
        {"iaDureeIncrustation", "DureeIncrustation", "5"},
        {"caAfficherIncrustation", "displayinlay", "False"},
    };
    for (const auto& c : cases) {
        const TCustomAbstractAction* action = list.FindAction(c.name);
        ASSERT_NE(action, nullptr) << c.name;
        EXPECT_EQ(action->ScriptName, c.script) << c.name;
        EXPECT_EQ(action->ValueText(), c.value) << c.name;
        EXPECT_TRUE(action->ApplyWhenLoad) << c.name;
        EXPECT_TRUE(action->IncludePrefs) << c.name;
    }
    const TFont font = s.faIncrustFont.CurrentValue();
    EXPECT_EQ(font.Name, "Arial");
    EXPECT_EQ(font.Size, 16);
    EXPECT_EQ(font.Color, 0xFFFFFF);
    EXPECT_FALSE(font.Bold || font.Italic || font.Underline);
    EXPECT_EQ(list.FindAction("faIncrustFont")->ScriptName, "IncrustFont");
    EXPECT_EQ(s.caAfficherIncrustation.Caption(), "Afficher l'incrustation");
    EXPECT_EQ(s.Layout(), 0);
    // Making the settings publishes nothing: the templates wait for their first preparation.
    EXPECT_EQ(store.generation(), 0u);
}

// On a list that already holds the settings (the window's catalogue), the settings drive those
// actions instead of adding a second set of the same names.
TEST(OverlaySettings, DriveTheActionsAListAlreadyHolds) {
    TCustomMvActionList list;
    TIntegerAction& what = list.Create<TIntegerAction>("iaWhatIncrust");
    TCheckAction& show = list.Create<TCheckAction>("caAfficherIncrustation");
    OverlayTextSettingsStore store;
    TOverlaySettings s(&list, store);
    EXPECT_EQ(&s.iaWhatIncrust, &what);
    EXPECT_EQ(&s.caAfficherIncrustation, &show);
    size_t named = 0;
    for (const TCustomAbstractAction* action : list.Actions()) named += action->InternalId == "iaWhatIncrust";
    EXPECT_EQ(named, 1u);
    what.SetValue(1);
    EXPECT_EQ(store.snapshot()->Template2, "%T");
}

TEST(OverlaySettings, TemplatesFollowWhatTheOverlayShows) {
    Fixture f;
    const auto record = NoelRecord();
    f.settings.SetOverlayRecord(record.get());
    f.settings.waPerso1.SetValue("%F - %D");
    f.settings.waperso2.SetValue("%t / %U");
    struct Case {
        int what;
        const char* template1;
        const char* template2;
    };
    const Case cases[] = {
        {0, "%D1", "%D2"},
        {1, "", "%T"},
        {2, "noel - %D1", "%t / 0:01:02:03"},
        {7, "noel - %D1", "%t / 0:01:02:03"},  // an unknown value keeps the templates
        {1, "", "%T"},
    };
    for (const auto& c : cases) {
        const int before = f.refreshes;
        f.settings.iaWhatIncrust.SetValue(c.what);
        EXPECT_EQ(f.Template1(), c.template1) << c.what;
        EXPECT_EQ(f.Template2(), c.template2) << c.what;
        EXPECT_EQ(f.refreshes, before + 1) << c.what;
    }
}

TEST(OverlaySettings, CustomTemplatesTakeTheRecordsValues) {
    Fixture f;
    const auto noel = NoelRecord();
    const auto odd = NoelRecord("/films/a%Eb.AVI");
    struct Case {
        const TaviFichier* record;
        const char* input;
        int line;
        const char* expected;
    };
    const Case cases[] = {
        {noel.get(), "%F - %D", 1, "noel - %D1"},
        {noel.get(), "%D1", 1, "%D11"},
        {noel.get(), "%d et %D2", 2, "%D2 et %D22"},
        {noel.get(), "%P%F%E", 1, "/films/noel.avi"},
        {noel.get(), "%c|%i|%a|%u|%T|%N|100%", 1,
         "dvsd|720 x 576 (Pal 16x9)|48000 Hz 16 bits stéréo|0:01:02:03|%T|%N|100%"},
        // Filled-in values are not read again for codes.
        {odd.get(), "%f", 1, "a%Eb"},
        {nullptr, "%F - %D", 1, "%F - %D"},
    };
    for (const auto& c : cases) {
        f.settings.SetOverlayRecord(c.record);
        EXPECT_EQ(f.settings.ExpandPerso(c.input, c.line), c.expected) << c.input;
    }
}

TEST(OverlaySettings, NoRecordKeepsTheCustomTemplatesAsTyped) {
    Fixture f;
    f.settings.waPerso1.SetValue("%F - %D");
    f.settings.iaWhatIncrust.SetValue(2);
    EXPECT_EQ(f.Template1(), "%F - %D");
    EXPECT_EQ(f.Template2(), "avec datecode=%D, timecode=%T, etc...");
    // A record set later is used at the next preparation; one dropped again is not.
    const auto record = NoelRecord();
    f.settings.SetOverlayRecord(record.get());
    f.settings.PrepareOverlayTexts();
    EXPECT_EQ(f.Template1(), "noel - %D1");
    f.settings.SetOverlayRecord(nullptr);
    f.settings.PrepareOverlayTexts();
    EXPECT_EQ(f.Template1(), "%F - %D");
}

TEST(OverlaySettings, EditingATemplateRepublishesOnlyItsLineAndOnlyInCustomMode) {
    Fixture f;
    const auto record = NoelRecord();
    f.settings.SetOverlayRecord(record.get());
    f.settings.iaWhatIncrust.SetValue(0);
    f.settings.waPerso1.SetValue("%F");
    EXPECT_EQ(f.Template1(), "%D1");  // datecode mode: the templates stay
    f.settings.iaWhatIncrust.SetValue(2);
    f.settings.waperso2.SetValue("%E");
    EXPECT_EQ(f.Template1(), "noel");
    EXPECT_EQ(f.Template2(), ".avi");
}

TEST(OverlaySettings, PublishedTemplatesAreWhatTheFiltersDraw) {
    Fixture f;
    const auto record = NoelRecord();
    f.settings.SetOverlayRecord(record.get());
    f.settings.waFormatdatecode1.SetValue("yyyy-mm-dd");
    f.settings.waFormatDatecode2.SetValue("hh:nn");
    TDVFrameInfo frame;
    frame.DatecodeValid = true;
    frame.Datecode = ChristmasEve();
    frame.TimecodeValid = true;
    frame.Timecode = Timecode{1, 2, 3, 4};
    f.settings.waPerso1.SetValue("%F - %D");
    f.settings.waperso2.SetValue("%D à %T");
    struct Case {
        int what;
        const char* line1;
        const char* line2;
    };
    const Case cases[] = {
        {0, "2025-12-24", "18:30"},
        {1, "", "1:02:03:04"},
        {2, "noel - 2025-12-24", "18:30 à 1:02:03:04"},
    };
    OverlayTextBuilder builder;
    for (const auto& c : cases) {
        f.settings.iaWhatIncrust.SetValue(c.what);
        std::string line1, line2;
        builder.build(f.store.snapshot(), frame, line1, line2);
        EXPECT_EQ(line1, c.line1) << c.what;
        EXPECT_EQ(line2, c.line2) << c.what;
    }
}

TEST(OverlaySettings, PositionsAreClampedAndReachTheSlidersAndTheOverlay) {
    Fixture f;
    int horizontal = -1, vertical = -1;
    f.settings.ShowHorizontalSlider = [&](int v) { horizontal = v; };
    f.settings.ShowVerticalSlider = [&](int v) { vertical = v; };
    struct Case {
        bool isX;
        int value;
        int kept;
        int slider;
    };
    const Case cases[] = {
        {true, 300, 300, 300},  {true, -5, 0, 0},       {true, 1500, 1000, 1000},
        {false, 250, 250, 750}, {false, 1200, 1000, 0}, {false, -1, 0, 1000},
    };
    for (const auto& c : cases) {
        TIntegerAction& action = c.isX ? f.settings.iaIncrustX : f.settings.iaIncrustY;
        action.SetValue(c.value);
        EXPECT_EQ(action.CurrentValue(), c.kept) << c.value;
        EXPECT_EQ(c.isX ? f.settings.IncrustX() : f.settings.IncrustY(), c.kept) << c.value;
        EXPECT_EQ(c.isX ? f.overlay.Horizontal() : f.overlay.Vertical(), c.kept) << c.value;
        EXPECT_EQ(c.isX ? horizontal : vertical, c.slider) << c.value;
    }
}

TEST(OverlaySettings, BorderOutsideZeroToFiveChangesNothing) {
    Fixture f;
    int caption = -1;
    f.settings.ShowBorderSize = [&](int k) { caption = k; };
    struct Case {
        int value;
        int kept;
    };
    const Case cases[] = {{3, 3}, {7, 3}, {-1, 3}, {0, 0}, {5, 5}, {6, 5}};
    for (const auto& c : cases) {
        f.settings.iaBorderSize.SetValue(c.value);
        EXPECT_EQ(f.overlay.BorderSize(), c.kept) << c.value;
        EXPECT_EQ(f.settings.iaBorderSize.CurrentValue(), c.kept) << c.value;
        EXPECT_EQ(caption, c.kept) << c.value;
    }
}

TEST(OverlaySettings, RefreshOnlyWhenTheOverlayIsShown) {
    Fixture f;
    struct Case {
        bool shown;
        int refreshes;  // from setting the border, the position and the display mode
    };
    for (const auto& c : {Case{false, 0}, Case{true, 3}}) {
        f.settings.caAfficherIncrustation.SetChecked(c.shown);
        const int before = f.refreshes;
        f.settings.iaBorderSize.SetValue(1);
        f.settings.iaIncrustY.SetValue(400);
        f.settings.iaWhenIncrust.SetValue(2);
        EXPECT_EQ(f.refreshes - before, c.refreshes) << c.shown;
    }
}

TEST(OverlaySettings, DisplayModeAndDurationReachBothFilters) {
    Fixture f;
    ASSERT_TRUE(f.overlay.StartStreaming(720, 576, 400'000));
    f.conversionDetector.StartStreaming(400'000);
    int shownDuree = -1;
    f.settings.ShowDuree = [&](int s) { shownDuree = s; };
    f.settings.iaWhenIncrust.SetValue(3);
    f.settings.SetDureeText("2");
    EXPECT_EQ(f.conversionDetector.DisplayMode, 3);
    EXPECT_EQ(f.conversionDetector.DisplayFrames, 50);
    EXPECT_EQ(f.overlay.DisplayFrames(), 50);
    EXPECT_EQ(shownDuree, 2);
    f.settings.SetDureeText("deux");
    EXPECT_EQ(f.settings.iaDureeIncrustation.CurrentValue(), 0);
}

TEST(OverlaySettings, FontControlsChangeTheSettingAndTheOverlay) {
    Fixture f;
    struct Case {
        const char* sizeText;
        int size;
        bool automatic;
    };
    for (const auto& c : {Case{"auto", -1, true}, Case{"24", 24, false}, Case{"vingt", 0, false}}) {
        f.settings.SetFontSizeText(c.sizeText);
        EXPECT_EQ(f.settings.faIncrustFont.CurrentValue().Size, c.size) << c.sizeText;
        EXPECT_EQ(f.overlay.Font().Size, c.size) << c.sizeText;
        EXPECT_EQ(f.overlay.AutoFontSize(), c.automatic) << c.sizeText;
    }
    f.settings.SetFontName("DejaVu Sans");
    f.settings.SetFontStyle(true, false, true);
    f.settings.SetFontColor(0x0000FF);  // red, as the setting holds colours (0x00BBGGRR)
    const OverlayFont drawn = f.overlay.Font();
    EXPECT_EQ(drawn.Name, "DejaVu Sans");
    EXPECT_TRUE(drawn.Bold);
    EXPECT_TRUE(drawn.Underline);
    EXPECT_FALSE(drawn.Italic);
    EXPECT_EQ(drawn.Color, 0xFF0000u);
    EXPECT_EQ(f.settings.OverlayFilterFont(), drawn);
    EXPECT_EQ(f.settings.Font(), f.settings.faIncrustFont.CurrentValue());
}

TEST(OverlaySettings, SubtitleAlignmentCentresTheAnchor) {
    Fixture f;
    int slider = -1, shownLayout = -1;
    f.settings.ShowHorizontalSlider = [&](int v) { slider = v; };
    f.settings.ShowLayout = [&](int v) { shownLayout = v; };
    f.settings.iaIncrustX.SetValue(100);
    f.settings.SetLayout(3);
    EXPECT_EQ(f.settings.Layout(), 3);
    EXPECT_EQ(f.settings.iaIncrustX.CurrentValue(), 500);
    EXPECT_EQ(slider, 500);
    EXPECT_EQ(shownLayout, 3);
    EXPECT_EQ(f.overlay.Layout(), 3);
    EXPECT_EQ(f.overlay.Horizontal(), 500);
    f.settings.SetLayout(0);
    EXPECT_EQ(f.overlay.Layout(), 0);
    EXPECT_EQ(f.settings.iaIncrustX.CurrentValue(), 500);
    f.settings.SetLayout(9);  // no such button
    EXPECT_EQ(f.settings.Layout(), 0);
}

TEST(OverlaySettings, ExampleLabelsUseTheRecordOrTheCurrentTime) {
    Fixture f;
    const auto record = NoelRecord();
    f.settings.waFormatdatecode1.SetValue("dd/mm/yyyy");
    f.settings.waFormatDatecode2.SetValue("hh:nn:ss");
    f.settings.waPerso1.SetValue("%F le %D");
    f.settings.waperso2.SetValue("tc %t");
    f.settings.SetOverlayRecord(record.get());
    f.settings.UpdateExamples();
    EXPECT_EQ(f.settings.LabDatecode(), "24/12/2025\r\n18:30:15");
    EXPECT_EQ(f.settings.LabTexte(), "noel le 24/12/2025\r\ntc 00.12.34.05");

    // A record without a datecode or timecode: the current time and a zero timecode.
    auto bare = NoelRecord("/films/sans.avi");
    bare->DatecodeValue = 0;
    bare->TimecodeText = "N/A";
    f.settings.SetOverlayRecord(bare.get());
    f.settings.UpdateExamples();
    EXPECT_EQ(f.settings.LabDatecode(), "03/02/2001\r\n04:05:06");
    EXPECT_EQ(f.settings.LabTexte(), "sans le 03/02/2001\r\ntc 0:00:00:00");
}

TEST(OverlaySettings, FormatsArePublishedAndShown) {
    Fixture f;
    std::string combo1, combo2;
    int examples = 0;
    f.settings.ShowFormatDatecode1 = [&](const std::string& s) { combo1 = s; };
    f.settings.ShowFormatDatecode2 = [&](const std::string& s) { combo2 = s; };
    f.settings.ExamplesChanged = [&] { ++examples; };
    f.settings.waFormatdatecode1.SetValue("d mmm yyyy");
    f.settings.waFormatDatecode2.SetValue("dddddd tt");
    const auto snapshot = f.store.snapshot();
    EXPECT_EQ(snapshot->FormatDatecode1.pattern(), "d mmm yyyy");
    EXPECT_EQ(snapshot->FormatDatecode2.pattern(), "dddddd tt");
    EXPECT_EQ(combo1, "d mmm yyyy");
    EXPECT_EQ(combo2, "dddddd tt");
    EXPECT_EQ(examples, 2);
}

TEST(OverlaySettings, ShowingTheOverlayTurnsTheFiltersTextOnAndOff) {
    Fixture f;
    for (const bool shown : {true, false, true}) {
        const int before = f.refreshes;
        f.settings.caAfficherIncrustation.SetChecked(shown);
        EXPECT_EQ(f.refreshes, before + 1) << shown;
        EXPECT_EQ(f.settings.caAfficherIncrustation.Checked(), shown);
    }
}

// The command worker prepares a burn-in while the UI thread changes the templates and the active
// record: each published pair comes whole from one state or the other (run under the sanitizers).
TEST(OverlaySettings, WorkerPreparationWhileTheUiEdits) {
    Fixture f;
    const auto a = NoelRecord("/films/a.avi");
    const auto b = NoelRecord("/films/b.avi");
    f.settings.waPerso1.SetValue("%F");
    f.settings.waperso2.SetValue("%F");
    f.settings.iaWhatIncrust.SetValue(2);
    std::thread worker([&] {
        for (int i = 0; i < 2000; ++i) {
            f.settings.SetOverlayRecord(a.get());
            f.settings.PrepareOverlayTexts();
        }
    });
    for (int i = 0; i < 2000; ++i) {
        f.settings.SetOverlayRecord(b.get());
        f.settings.PrepareOverlayTexts();
        const auto snapshot = f.store.snapshot();
        EXPECT_EQ(snapshot->Template1, snapshot->Template2);
    }
    worker.join();
}

}  // namespace
}  // namespace velinor
