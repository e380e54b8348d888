#include "scenes/scene_editing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <vector>

#include "media/datetime_format.h"
#include "scenes/title_codes.h"
#include "support/temp_dir.h"

namespace velinor {
namespace {

constexpr double kFps = 25.0;
constexpr uint32_t kSceneFrames = 250;

// The recording clock of the fixture tape: 14/07/2004 15:32:10 at frame 0, a jump of one
// minute at every 250th frame (a new shot), running in real time in between.
Datecode recordedAt(uint32_t frame) {
    const Datecode start = *MakeDatecode({2004, 7, 14, 15, 32, 10});
    return start + double(frame / kSceneFrames) * 60 * kOneSecond +
           double((frame % kSceneFrames) / 25) * kOneSecond;
}

std::string shown(Datecode value) {
    return FormatDateTime(SceneTextSettings{}.datecodeDisplayPattern, value);
}

// The preview of the fixture tape: every frame up to `frames` has a datecode and a timecode
// counting from 00.00.00.00; a frame beyond cannot be reached.
class TapePreview : public SceneDetailsSource {
public:
    uint32_t frames = 100'000;
    uint32_t at = 0;
    int seeks = 0;
    std::optional<SceneFrameValues> seekFrame(uint32_t frame) override {
        ++seeks;
        if (frame >= frames) return std::nullopt;
        at = frame;
        SceneFrameValues v;
        v.datecodeValid = true;
        v.datecode = recordedAt(frame);
        v.timecodeValid = true;
        const uint32_t s = frame / 25;
        v.tcHours = int(s / 3600), v.tcMinutes = int(s / 60 % 60), v.tcSeconds = int(s % 60);
        v.tcFrames = int(frame % 25);
        return v;
    }
    ScenePicture snapshot() override { return ScenePicture(4, 3); }
};

struct Titled {
    uint32_t debut, fin;
    std::string titre, sousTitre;
};

// A scene list of "/videos/vacances/clip.avi" (PAL, 25 fps) with the given scenes, each loaded
// from the preview as the editor shows it, with the given titles.
class SceneEditing : public ::testing::Test {
protected:
    void SetUp() override {
        file.video = CurrentVideo{dir.file("clip.avi"), kFps, 720, 576, 0};
        file.Codec = "dvsd";
        file.ImageText = "720 x 576";
        file.AspectText = " 4:3";
        file.AudioText = "48 kHz, 16 bits, stéréo";
        context.file = &file;
        context.preview = &preview;
    }

    void build(const std::vector<Titled>& scenes) {
        list.ClearScenes();
        for (const auto& t : scenes) {
            auto s = std::make_unique<TSceneClass>(t.debut, t.fin, &file.video, context.settings);
            EXPECT_TRUE(s->LoadDetails(preview, kFps, context.settings));
            s->Numero = int32_t(list.Count() + 1);
            s->Titre = t.titre;
            s->SousTitre = t.sousTitre;
            std::string caption = s->SceneCaption();
            list.Items().push_back({std::move(caption), std::move(s)});
        }
        file.video.frameCount = scenes.empty() ? 0 : scenes.back().fin;
    }
    // Scenes of 250 frames, titled by "Studio" then "Tous".
    void buildStudio(int count) {
        std::vector<Titled> scenes;
        for (int i = 0; i < count; ++i)
            scenes.push_back({uint32_t(i) * kSceneFrames, uint32_t(i + 1) * kSceneFrames, "", ""});
        build(scenes);
        TitlesEditor editor;
        editor.Studio();
        ASSERT_TRUE(editor.Tous(list, 0, context).changed());
        list.Modified = false;
    }
    std::vector<Titled> scenes() {
        std::vector<Titled> out;
        for (size_t i = 0; i < list.Count(); ++i) {
            const TSceneClass& s = *list.SceneAt(i);
            out.push_back({s.Debut, s.Fin, s.Titre, s.SousTitre});
        }
        return out;
    }
    void expectScenes(const std::vector<Titled>& expected, const std::string& what) {
        const auto got = scenes();
        ASSERT_EQ(got.size(), expected.size()) << what;
        for (size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].debut, expected[i].debut) << what << " scene " << i + 1;
            EXPECT_EQ(got[i].fin, expected[i].fin) << what << " scene " << i + 1;
            EXPECT_EQ(got[i].titre, expected[i].titre) << what << " scene " << i + 1;
            EXPECT_EQ(got[i].sousTitre, expected[i].sousTitre) << what << " scene " << i + 1;
            EXPECT_EQ(list.SceneAt(i)->Numero, int32_t(i + 1)) << what;
            EXPECT_EQ(list.CaptionAt(i), list.SceneAt(i)->SceneCaption()) << what;
        }
    }
    std::string studioTitle(int number, uint32_t frame) {
        return "Scène " + std::to_string(number) + ": " + shown(recordedAt(frame));
    }

    test::TempDir dir;
    TitleFile file;
    TapePreview preview;
    SceneEditContext context;
    TSFrame list;
};

// Codes become the values of the scene and the file, whatever the case of the code letter;
// anything else stays as it is.
TEST_F(SceneEditing, ExpandsEveryCode) {
    build({{0, 250, "", ""}, {250, 400, "", ""}});
    TSceneClass& s = *list.SceneAt(1);
    const std::string folder = dir.path().string() + "/";
    struct Case {
        const char* text;
        std::string expanded;
    };
    const Case cases[] = {
        {"Scène %N: %D", "Scène 2: " + shown(recordedAt(250))},
        {"%n/%d", "2/" + shown(recordedAt(250))},
        {"%F%E dans %P", "clip.avi dans " + folder},
        {"%T | %C | %I | %A", "00.00.10.00 | dvsd | 720 x 576 4:3 | 48 kHz, 16 bits, stéréo"},
        {"Durée = %U", "Durée = 06.00"},
        {"100 % sûr, %X, %", "100 % sûr, %X, %"},
        {"%%N", "%2"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ExpandTitleCodes(c.text, s, &file, context.settings), c.expanded) << c.text;

    // Without an active file the codes stay; the duration follows the chosen style.
    EXPECT_EQ(ExpandTitleCodes("Scène %N", s, nullptr, context.settings), "Scène %N");
    SceneTextSettings style2 = context.settings;
    style2.formatDuree = 2;
    EXPECT_EQ(ExpandTitleCodes("%U", s, &file, style2), "6s 00fr");
}

// %D follows the display pattern of the moment; a scene without datecode keeps "N/A" rather
// than showing the pattern's rendering of day 0.
TEST_F(SceneEditing, DatecodeFollowsTheDisplayPattern) {
    build({{0, 250, "", ""}});
    TSceneClass& s = *list.SceneAt(0);
    SceneTextSettings dateOnly = context.settings;
    dateOnly.datecodeDisplayPattern = "dd/mm/yyyy";
    EXPECT_EQ(ExpandTitleCodes("%D", s, &file, dateOnly), "14/07/2004");
    EXPECT_EQ(s.DatecodeText, "14/07/2004");

    TSceneClass undated(0, 10, &file.video);
    undated.DatecodeText = "N/A";
    EXPECT_EQ(ExpandTitleCodes("[%D]", undated, &file, context.settings), "[N/A]");
}

// A value in a folder name that reads like a code is not expanded a second time.
TEST_F(SceneEditing, ExpandedValuesAreNotExpandedAgain) {
    build({{0, 250, "", ""}});
    TitleFile odd = file;
    odd.video.path = "/films/50%Done/clip.avi";
    EXPECT_EQ(ExpandTitleCodes("%P", *list.SceneAt(0), &odd, context.settings), "/films/50%Done/");
}

// Values become codes only as whole words, the number last; codes already there stay.
TEST_F(SceneEditing, TurnsWholeValuesBackIntoCodes) {
    build({{0, 250, "", ""}, {250, 500, "", ""}, {500, 750, "", ""}});
    const TSceneClass& third = *list.SceneAt(2);  // Numero 3, 10 s long
    const std::string date = shown(recordedAt(500));
    struct Case {
        std::string text;
        const char* codes;
    };
    const Case cases[] = {
        {"Scène 3: " + date, "Scène %N: %D"},
        {"Course 3 km", "Course %N km"},
        {"3km, 13 et 33", "3km, 13 et 33"},
        {"Scène3", "Scène%N"},
        {"scène3 (3)", "Scène%N (%N)"},
        {"Durée = 10.00", "Durée = %U"},
        {"10:00 ou 10s 00fr", "%U ou %U"},
        {"clip.avi et clips.avi", "%F%E et clips%E"},
        {"Timecode 00.00.20.00", "Timecode %T"},
        {"dvsd 720 x 576 4:3", "%C %I"},
        {"DVSD", "%C"},
        {"Scène %N: %D", "Scène %N: %D"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(TitleToCodes(c.text, &third, &file), c.codes) << c.text;
    EXPECT_EQ(TitleToCodes("Scène 3", nullptr, &file), "Scène 3");
    EXPECT_EQ(TitleToCodes("Scène 3", &third, nullptr), "Scène 3");
}

// A number that is also the day, the hour or part of a duration: the date and the duration
// are whole values and are taken before the number, so they survive renumbering.
TEST_F(SceneEditing, NumberIsNotTakenOutOfDatesOrDurations) {
    std::vector<Titled> tape;
    for (uint32_t i = 0; i < 15; ++i) tape.push_back({i * kSceneFrames, (i + 1) * kSceneFrames, "", ""});
    build(tape);
    // Scene 10 lasts 10.00 and starts at 15:41:10; scene 14 was filmed on the 14th.
    for (const size_t i : {9u, 13u}) {
        const TSceneClass& s = *list.SceneAt(i);
        const std::string text = "Scène " + std::to_string(i + 1) + ": " + s.DatecodeText + " (10.00)";
        EXPECT_EQ(TitleToCodes(text, &s, &file), "Scène %N: %D (%U)") << text;
    }
}

// A file called a.avi: only a whole "a" is the file name; the other letters a stay.
TEST_F(SceneEditing, OneLetterFileNameTakesOnlyWholeWords) {
    build({{0, 250, "", ""}});
    TitleFile a = file;
    a.video.path = "/videos/a.avi";
    struct Case {
        const char* text;
        const char* codes;
    };
    const Case cases[] = {
        {"Balade à la plage", "Balade à la plage"},
        {"Vacances a.avi", "Vacances %F%E"},
        {"Plan a, pas b", "Plan %F, pas b"},
        {"Canal", "Canal"},
    };
    const TSceneClass& s = *list.SceneAt(0);
    for (const auto& c : cases) EXPECT_EQ(TitleToCodes(c.text, &s, &a), c.codes) << c.text;

    // Through a cut and a merge the titles come back as they were.
    context.file = &a;
    list.SceneAt(0)->Titre = "Balade à la plage";
    list.SceneAt(0)->SousTitre = "Canal a";
    ASSERT_TRUE(CutScene(list, 100, context).changed());
    ASSERT_TRUE(MergeScene(list, 1, context).changed());
    EXPECT_EQ(list.SceneAt(0)->Titre, "Balade à la plage");
    EXPECT_EQ(list.SceneAt(0)->SousTitre, "Canal a");
}

// Whatever the title, turning it into codes and expanding them again gives it back.
TEST_F(SceneEditing, CodesAndExpansionAreInverse) {
    build({{0, 250, "", ""}, {250, 500, "", ""}});
    TSceneClass& s = *list.SceneAt(1);
    const char* titles[] = {
        "Scène 2: 14/07/2004", "Course 2 km", "2km", "Fête à 2 heures", "clip.avi, dvsd, 10.00",
        "Pique-nique (2)",     "a.avi",       "",    "Plage 22",        "% et %% et %Z",
    };
    for (const char* t : titles) {
        const std::string codes = TitleToCodes(t, &s, &file);
        EXPECT_EQ(ExpandTitleCodes(codes, s, &file, context.settings), t) << t << " -> " << codes;
    }
}

// Two scenes titled by the studio templates, cut at frame 100, merged back.
TEST_F(SceneEditing, CutAndMergeKeepStudioTitlesInStep) {
    buildStudio(2);
    expectScenes(
        {{0, 250, studioTitle(1, 0), "Durée = 10.00"}, {250, 500, studioTitle(2, 250), "Durée = 10.00"}},
        "studio");

    preview.seeks = 0;
    const SceneEdit cut = CutScene(list, 100, context);
    ASSERT_TRUE(cut.changed());
    EXPECT_EQ(cut.selected, 1u);
    EXPECT_TRUE(list.Modified);
    EXPECT_GT(preview.seeks, 0);
    expectScenes({{0, 100, studioTitle(1, 0), "Durée = 04.00"},
                  {100, 250, studioTitle(2, 100) + " <<", "Durée = 06.00"},
                  {250, 500, studioTitle(3, 250), "Durée = 10.00"}},
                 "after the cut");
    EXPECT_EQ(list.SceneAt(0)->Duree, "04.00");
    EXPECT_EQ(list.SceneAt(0)->TimeStampFin, "0:00:03:24");
    EXPECT_EQ(list.SceneAt(1)->TimeStamp, "0:00:04:00");
    EXPECT_EQ(list.SceneAt(1)->TimeStampFin, "0:00:09:24");
    EXPECT_TRUE(list.SceneAt(1)->Loaded);

    list.Modified = false;
    const SceneEdit merge = MergeScene(list, 1, context);
    ASSERT_TRUE(merge.changed());
    EXPECT_EQ(merge.selected, 0u);
    EXPECT_TRUE(list.Modified);
    expectScenes(
        {{0, 250, studioTitle(1, 0), "Durée = 10.00"}, {250, 500, studioTitle(2, 250), "Durée = 10.00"}},
        "after the merge");
    EXPECT_EQ(list.SceneAt(0)->Duree, "10.00");
    EXPECT_EQ(list.SceneAt(0)->TimeStampFin, "0:00:09:24");
}

// Positions on a scene's start or outside every scene, and merges without a previous scene,
// change nothing and say so.
TEST_F(SceneEditing, EditsThatChangeNothing) {
    buildStudio(2);
    const auto before = scenes();
    for (const uint32_t p : {0u, 250u, 500u, 501u, 100'000u}) {
        EXPECT_EQ(CutScene(list, p, context).outcome, SceneEdit::Outcome::Unchanged) << p;
        expectScenes(before, "cut at " + std::to_string(p));
        EXPECT_FALSE(list.Modified);
    }
    for (const std::optional<size_t> k :
         {std::optional<size_t>{}, std::optional<size_t>{0}, std::optional<size_t>{2}}) {
        EXPECT_EQ(MergeScene(list, k, context).outcome, SceneEdit::Outcome::Unchanged);
        expectScenes(before, "merge");
        EXPECT_FALSE(list.Modified);
    }
}

// A title that mentions its number as a word follows renumbering; a number glued to a word
// does not, except right after "Scène".
TEST_F(SceneEditing, NumbersInTitlesFollowRenumbering) {
    struct Case {
        const char* titre;
        const char* afterCut;
    };
    const Case cases[] = {
        {"Course 3 km", "Course 4 km"}, {"3km", "3km"},           {"Scène3 départ", "Scène4 départ"},
        {"Etape 3/5", "Etape 4/5"},     {"Route 33", "Route 33"}, {"Jour 3", "Jour 4"},
    };
    for (const auto& c : cases) {
        build({{0, 250, "", ""}, {250, 500, "", ""}, {500, 750, c.titre, "3km"}});
        ASSERT_TRUE(CutScene(list, 50, context).changed()) << c.titre;
        EXPECT_EQ(list.SceneAt(3)->Titre, c.afterCut) << c.titre;
        EXPECT_EQ(list.SceneAt(3)->SousTitre, "3km") << c.titre;
        EXPECT_EQ(list.CaptionAt(3), std::string("Scène 4: ") + c.afterCut);
    }
}

// "Studio" then "Tous" titles every scene, loading those not yet shown; "Appliquer" only the
// shown one; "Vider" empties; "Annuler" applies nothing.
TEST_F(SceneEditing, TitlesEditorTemplatesAndModes) {
    std::vector<Titled> tape;
    for (uint32_t i = 0; i < 3; ++i)
        tape.push_back({i * kSceneFrames, (i + 1) * kSceneFrames, "Ancien", "titre"});
    tape.push_back({750, 850, "Ancien", "titre"});
    build(tape);
    list.SceneAt(2)->Loaded = false;
    list.SceneAt(2)->DatecodeText.clear();

    TitlesEditor editor;
    editor.Studio();
    EXPECT_EQ(editor.Titre, "Scène %N: %D");
    EXPECT_EQ(editor.SousTitre, "Durée = %U");
    EXPECT_EQ(editor.PreviewText(*list.SceneAt(1), context), studioTitle(2, 250) + "\r\nDurée = 10.00");

    const SceneEdit all = editor.Tous(list, 1, context);
    ASSERT_TRUE(all.changed());
    EXPECT_EQ(editor.ApplyMode, TitlesEditor::kEveryScene);
    EXPECT_EQ(all.selected, 1u);
    EXPECT_TRUE(list.Modified);
    expectScenes({{0, 250, studioTitle(1, 0), "Durée = 10.00"},
                  {250, 500, studioTitle(2, 250), "Durée = 10.00"},
                  {500, 750, studioTitle(3, 500), "Durée = 10.00"},
                  {750, 850, studioTitle(4, 750), "Durée = 04.00"}},
                 "Studio then Tous");

    // Opening on a scene gives its texts as codes.
    editor.Vider();
    EXPECT_EQ(editor.Titre, "");
    editor.Open(list.SceneAt(3), context);
    EXPECT_EQ(editor.Titre, "Scène %N: %D");
    EXPECT_EQ(editor.SousTitre, "Durée = %U");

    editor.Titre = "Plage %N";
    editor.SousTitre = "";
    ASSERT_TRUE(editor.Appliquer(list, 3, context).changed());
    EXPECT_EQ(editor.ApplyMode, TitlesEditor::kShownScene);
    EXPECT_EQ(list.SceneAt(3)->Titre, "Plage 4");
    EXPECT_EQ(list.SceneAt(3)->SousTitre, "");
    EXPECT_EQ(list.CaptionAt(3), "Scène 4: Plage 4");
    EXPECT_EQ(list.SceneAt(2)->Titre, studioTitle(3, 500));

    editor.Vider();
    list.Modified = false;
    editor.Annuler();
    EXPECT_EQ(editor.Apply(list, 0, context).outcome, SceneEdit::Outcome::Unchanged);
    EXPECT_EQ(editor.Appliquer(list, std::nullopt, context).outcome, SceneEdit::Outcome::Unchanged);
    EXPECT_FALSE(list.Modified);
    ASSERT_TRUE(editor.Appliquer(list, 0, context).changed());
    EXPECT_EQ(list.SceneAt(0)->Titre, "");
    EXPECT_EQ(list.CaptionAt(0), "Scène 1: ");
}

// What cannot be done is refused with a French reason and changes nothing.
TEST_F(SceneEditing, RefusalsChangeNothing) {
    buildStudio(2);
    const auto before = scenes();

    // A title and subtitle that would not fit a .scn file together.
    TitlesEditor editor;
    editor.Titre = std::string(240, 'x');
    editor.SousTitre = "%P";
    for (int mode : {1, 2}) {
        editor.ApplyMode = mode;
        const SceneEdit edit = editor.Apply(list, 0, context);
        EXPECT_EQ(edit.outcome, SceneEdit::Outcome::Refused);
        EXPECT_NE(edit.error.find("trop longs"), std::string::npos) << edit.error;
        expectScenes(before, "too long");
        EXPECT_FALSE(list.Modified);
    }

    // A frame the preview cannot reach.
    preview.frames = 100;
    const SceneEdit cut = CutScene(list, 300, context);
    EXPECT_EQ(cut.outcome, SceneEdit::Outcome::Refused);
    EXPECT_NE(cut.error.find("image 300"), std::string::npos) << cut.error;
    expectScenes(before, "unreachable frame");
    EXPECT_FALSE(list.Modified);

    // A list as full as a .scn file can be.
    list.ClearScenes();
    for (uint32_t i = 0; i < kScnMaxScenes; ++i) {
        auto s = std::make_unique<TSceneClass>(i * 10, i * 10 + 10);
        s->Numero = int32_t(i + 1);
        list.Items().push_back({s->SceneCaption(), std::move(s)});
    }
    const SceneEdit full = CutScene(list, 5, context);
    EXPECT_EQ(full.outcome, SceneEdit::Outcome::Refused);
    EXPECT_NE(full.error.find("65 535"), std::string::npos) << full.error;
    EXPECT_EQ(list.Count(), kScnMaxScenes);
}

// A line break in a template or a value cannot split a title in the scene file.
TEST_F(SceneEditing, TitlesStayOnOneLine) {
    buildStudio(1);
    TitlesEditor editor;
    editor.Titre = "Ligne\r\nune";
    editor.SousTitre = "deux\nlignes";
    ASSERT_TRUE(editor.Tous(list, 0, context).changed());
    EXPECT_EQ(list.SceneAt(0)->Titre, "Ligne  une");
    EXPECT_EQ(list.SceneAt(0)->SousTitre, "deux lignes");
}

// The error entry of a damaged file is an empty scene at frame 0: merging it into the scene
// before never makes that scene end before it starts.
TEST_F(SceneEditing, MergingTheErrorEntryNeverShrinksAScene) {
    build({{0, 250, "Un", ""}, {250, 500, "Deux", ""}});
    list.Items().push_back({TSFrame::kErrorCaption, std::make_unique<TSceneClass>(0, 0, &file.video)});
    ASSERT_TRUE(MergeScene(list, 2, context).changed());
    expectScenes({{0, 250, "Un", ""}, {250, 500, "Deux", ""}}, "error entry merged");
}

// After any edit the saved file reads back with the same scenes and texts.
TEST_F(SceneEditing, EditedListsSurviveSaveAndLoad) {
    using Edit = std::function<void(TSFrame&, const SceneEditContext&)>;
    struct Case {
        const char* name;
        Edit edit;
    };
    const Case cases[] = {
        {"cut", [](TSFrame& l, const SceneEditContext& x) { ASSERT_TRUE(CutScene(l, 100, x).changed()); }},
        {"cut twice",
         [](TSFrame& l, const SceneEditContext& x) {
             ASSERT_TRUE(CutScene(l, 100, x).changed());
             ASSERT_TRUE(CutScene(l, 180, x).changed());
         }},
        {"cut and merge",
         [](TSFrame& l, const SceneEditContext& x) {
             ASSERT_TRUE(CutScene(l, 400, x).changed());
             ASSERT_TRUE(MergeScene(l, 1, x).changed());
         }},
        {"merge all",
         [](TSFrame& l, const SceneEditContext& x) {
             ASSERT_TRUE(MergeScene(l, 2, x).changed());
             ASSERT_TRUE(MergeScene(l, 1, x).changed());
         }},
        {"titles",
         [](TSFrame& l, const SceneEditContext& x) {
             TitlesEditor editor;
             editor.Titre = "Fête à %F — %N";
             editor.SousTitre = "%T, %A";
             ASSERT_TRUE(editor.Tous(l, 0, x).changed());
         }},
        {"empty titles",
         [](TSFrame& l, const SceneEditContext& x) {
             TitlesEditor editor;
             editor.Vider();
             ASSERT_TRUE(editor.Tous(l, 0, x).changed());
             ASSERT_TRUE(CutScene(l, 10, x).changed());
         }},
        {"subtitle only",
         [](TSFrame& l, const SceneEditContext& x) {
             TitlesEditor editor;
             editor.SousTitre = "Durée = %U";
             ASSERT_TRUE(editor.Appliquer(l, 1, x).changed());
         }},
    };
    for (const auto& c : cases) {
        buildStudio(3);
        c.edit(list, context);
        if (HasFatalFailure()) return;
        const auto edited = scenes();
        std::string error;
        ASSERT_TRUE(list.SaveScn(file.video.path, error)) << c.name << ": " << error;
        EXPECT_FALSE(list.Modified) << c.name;

        TSFrame reloaded;
        reloaded.LoadScnFile(file.video.path, &file.video);
        ASSERT_EQ(reloaded.Count(), edited.size()) << c.name;
        for (size_t i = 0; i < edited.size(); ++i) {
            const TSceneClass& s = *reloaded.SceneAt(i);
            EXPECT_EQ(s.Debut, edited[i].debut) << c.name << " " << i;
            EXPECT_EQ(s.Fin, edited[i].fin) << c.name << " " << i;
            EXPECT_EQ(s.Titre, edited[i].titre) << c.name << " " << i;
            EXPECT_EQ(s.SousTitre, edited[i].sousTitre) << c.name << " " << i;
            EXPECT_EQ(s.Numero, int32_t(i + 1)) << c.name;
            EXPECT_EQ(reloaded.CaptionAt(i), list.CaptionAt(i)) << c.name;
        }
    }
}

// A list that a cut made unsaveable (a title grown past what the file holds) is refused with
// a message and the file on disk stays as it was.
TEST_F(SceneEditing, UnsaveableEditKeepsTheOldFile) {
    build({{0, 250, std::string(249, 'x') + " 1", ""}, {250, 500, "", ""}});
    std::string error;
    ASSERT_TRUE(list.SaveScn(file.video.path, error)) << error;
    const std::string scn = dir.file("clip.scn");
    std::ifstream in(scn, std::ios::binary);
    const std::string saved((std::istreambuf_iterator<char>(in)), {});

    ASSERT_TRUE(CutScene(list, 100, context).changed());  // the new title ends in " <<"
    EXPECT_FALSE(list.SaveScn(file.video.path, error));
    EXPECT_NE(error.find("trop longs"), std::string::npos) << error;
    EXPECT_TRUE(list.Modified);
    std::ifstream again(scn, std::ios::binary);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(again)), {}), saved);
}

}  // namespace
}  // namespace velinor
