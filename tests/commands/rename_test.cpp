// The rename commands on real DV files: templates, counters, datecode before or after, purging,
// names already taken, a read-only folder and a file without datecode.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "commands/catalogue.h"
#include "filelist/avi_fichier.h"
#include "harness.h"

namespace velinor::test {
namespace {

struct RenameTest : ::testing::Test {
    void Add(const std::string& name, const DvAviRecipe& recipe = {}) {
        MakeDvAvi(dir.file(name), recipe);
        bench.Open({dir.file(name)});
    }
    void SelectOnly(const std::vector<std::string>& names) {
        for (int i = 0; i < bench.list.Count(); ++i) bench.list.SetSelected(i, false);
        for (const auto& n : names) bench.list.SetSelected(bench.list.IndexOfPath(dir.file(n)), true);
    }
    Scratch dir;
    Bench bench;
    TdmAction dm;
};

TEST_F(RenameTest, TemplateCodesExpandFromTheRecord) {
    Add("cassette3.avi");
    const TAbstractListFichier& r = *bench.Record(dir.file("cassette3.avi"));
    const auto* avi = dynamic_cast<const TaviFichier*>(&r);
    ASSERT_NE(avi, nullptr);
    const std::string folder = dir.path() + "/";
    struct Case {
        std::string templ, pattern;
        int counter, digits;
        std::string expected;
    };
    const Case cases[] = {
        {"%F_%D", "yyyy-mm-dd hh:nn", 1, 3, "cassette3_2005-08-12 14.05.avi"},
        {"Clip%N", "", 7, 3, "Clip007.avi"},
        {"Clip%n", "", 1234, 2, "Clip1234.avi"},
        {"%f-%t", "", 1, 3, "cassette3-" + avi->TimecodeText + ".avi"},
        {"%C %I %A %U", "", 1, 3,
         avi->Codec + " " + avi->ImageText + avi->AspectText + " " + avi->AudioText + " " +
             avi->DurationText + ".avi"},
        {"a<b>c\"d|e\\f", "", 1, 3, "a_b_c_d_e_f.avi"},
        {"100%", "", 1, 3, "100%.avi"},
    };
    for (const Case& c : cases) {
        std::string expected = c.expected;
        for (char& ch : expected)
            if (ch == ':') ch = '.';
        EXPECT_EQ(ExpandTemplate(c.templ, c.pattern, r, c.counter, c.digits), folder + expected) << c.templ;
    }
    // A value holding a code is not expanded again.
    EXPECT_EQ(ExpandTemplate("%F", "", r, 1, 3), folder + "cassette3.avi");
}

TEST_F(RenameTest, CounterNumbersEveryFileInItsFolder) {
    for (const char* n : {"x.avi", "y.avi", "z.avi"}) Add(n);
    WriteText(dir.file("y.scn"), "scenes");
    dm.Settings.TemplateRenommer = "Clip%N";
    dm.RenameCounter = 1;
    bench.SelectAll();
    bench.confirmer.answers = {TAnswer::OuiATous};
    ASSERT_TRUE(bench.Run(dm.Renommer));
    EXPECT_EQ(bench.ListedPaths(), (std::vector<std::string>{dir.file("Clip001.avi"), dir.file("Clip002.avi"),
                                                             dir.file("Clip003.avi")}));
    for (const char* n : {"Clip001.avi", "Clip002.avi", "Clip003.avi", "Clip002.scn"})
        EXPECT_TRUE(Exists(dir.file(n)));
    for (const char* n : {"x.avi", "y.avi", "z.avi", "y.scn"}) EXPECT_FALSE(Exists(dir.file(n)));
    ASSERT_EQ(bench.confirmer.questions.size(), 1u);
    EXPECT_TRUE(bench.confirmer.questions[0].starts_with(
        "Voulez-vous renommer x.avi en " + dir.file("Clip001.avi") + " ?\nSi vous répondez \"Tous\""));
    EXPECT_EQ(bench.engine.Failures(), 0);
}

TEST_F(RenameTest, TakenNameIsMovedAsideWithItsSidecars) {
    Add("src.avi");
    const uint64_t before = std::hash<std::string>{}(ReadText(dir.file("src.avi")));
    WriteText(dir.file("Taken.avi"), "other video");
    WriteText(dir.file("Taken.srt"), "other subtitles");
    bench.Open({dir.file("Taken.avi")});
    dm.Settings.TemplateRenommer = "Taken";
    SelectOnly({"src.avi"});
    bench.confirmer.answers = {TAnswer::Oui};
    ASSERT_TRUE(bench.Run(dm.Renommer));
    EXPECT_EQ(ReadText(dir.file("Taken_001.avi")), "other video");
    EXPECT_EQ(ReadText(dir.file("Taken_001.srt")), "other subtitles");
    EXPECT_EQ(std::hash<std::string>{}(ReadText(dir.file("Taken.avi"))), before);
    EXPECT_FALSE(bench.confirmer.several[0]);
    // The file moved aside is still listed, under its new name.
    EXPECT_EQ(bench.ListedPaths(),
              (std::vector<std::string>{dir.file("Taken.avi"), dir.file("Taken_001.avi")}));
}

TEST_F(RenameTest, RefusedOrCancelledRenamesTouchNothing) {
    Add("keep.avi");
    dm.Settings.TemplateRenommer = "Other";
    for (TAnswer a : {TAnswer::Non, TAnswer::Annuler, TAnswer::NonATous}) {
        SelectOnly({"keep.avi"});
        bench.confirmer.answers = {a};
        ASSERT_TRUE(bench.Run(dm.Renommer));
        EXPECT_TRUE(Exists(dir.file("keep.avi")));
        EXPECT_FALSE(Exists(dir.file("Other.avi")));
        EXPECT_EQ(bench.ListedPaths(), std::vector<std::string>{dir.file("keep.avi")});
    }
}

TEST_F(RenameTest, AddedDatecodeGoesBeforeOrAfterAndStaysFree) {
    Add("clip.avi");
    dm.Settings.FormatAjouterDatecode = "yyyymmdd";
    SelectOnly({"clip.avi"});
    bench.confirmer.answers = {TAnswer::Oui};
    ASSERT_TRUE(bench.Run(dm.AjouterDatecode));
    EXPECT_EQ(bench.ListedPaths(), std::vector<std::string>{dir.file("clip_20050812.avi")});

    // The same name again: taken by the file itself, so "_1" is appended.
    bench.list.SetSelected(0, true);
    bench.confirmer.answers = {TAnswer::Oui};
    ASSERT_TRUE(bench.Run(dm.AjouterDatecode));
    EXPECT_EQ(bench.ListedPaths(), std::vector<std::string>{dir.file("clip_20050812_20050812.avi")});

    Add("b.avi");
    dm.Settings.DatecodeAvant = true;
    SelectOnly({"b.avi"});
    bench.confirmer.answers = {TAnswer::Oui};
    ASSERT_TRUE(bench.Run(dm.AjouterDatecode));
    EXPECT_TRUE(Exists(dir.file("20050812_b.avi")));
}

TEST_F(RenameTest, AddedTimecodeFollowsItsSetting) {
    Add("t.avi");
    const auto* avi = dynamic_cast<const TaviFichier*>(bench.Record(dir.file("t.avi")));
    std::string tc = avi->TimecodeText;
    for (char& c : tc)
        if (c == ':') c = '.';
    SelectOnly({"t.avi"});
    bench.confirmer.answers = {TAnswer::Oui};
    ASSERT_TRUE(bench.Run(dm.AjouterTimecode));
    EXPECT_TRUE(Exists(dir.file(tc + "_t.avi")));
}

TEST_F(RenameTest, PurgedNamesDropAppendedSuffixes) {
    struct Case {
        const char* name;
        bool enabled;
        const char* purged;
    };
    const Case cases[] = {
        {"clip_001_type1.avi", true, "clip.avi"},   {"clip_001.avi", false, "clip.avi"},
        {"cassette_(2).avi", true, "cassette.avi"}, {"a_bc_PAL.avi", true, "a_bc.avi"},
        {"holiday_2005x.avi", true, "holiday.avi"}, {"clip_type2_x1y.avi", false, "clip_type2_x1y.avi"},
        {"plain.avi", false, "plain.avi"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PurgeEnabled(dir.file(c.name)), c.enabled) << c.name;
        EXPECT_EQ(PurgedName(dir.file(c.name)), dir.file(c.purged)) << c.name;
    }
    // An underscore in a folder name never lets the purge eat into the folder.
    EXPECT_EQ(PurgedName("/v/my_1/c.avi"), "/v/my_1/c.avi");

    Add("clip_001_type1.avi");
    WriteText(dir.file("clip.avi"), "taken");
    SelectOnly({"clip_001_type1.avi"});
    bench.confirmer.answers = {TAnswer::Oui};
    ASSERT_TRUE(bench.Run(dm.PurgerNom));
    EXPECT_EQ(bench.ListedPaths(), std::vector<std::string>{dir.file("clip_1.avi")});
    EXPECT_EQ(ReadText(dir.file("clip.avi")), "taken");
}

TEST_F(RenameTest, FailedRenameLeavesFileAndRecord) {
    Add("ro.avi");
    TAbstractListFichier* before = bench.Record(dir.file("ro.avi"));
    struct Case {
        const char* name;
        bool readOnlyFolder;
        std::string templ;
    };
    const Case cases[] = {{"read-only folder", true, "New"}, {"name too long", false, std::string(300, 'x')}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.readOnlyFolder) {
            ASSERT_EQ(::chmod(dir.path().c_str(), 0500), 0);
            if (::access(dir.path().c_str(), W_OK) == 0) {
                ::chmod(dir.path().c_str(), 0700);
                continue;  // rights that ignore permissions
            }
        }
        dm.Settings.TemplateRenommer = c.templ;
        SelectOnly({"ro.avi"});
        bench.events.clear();
        bench.confirmer.answers = {TAnswer::Oui};
        ASSERT_TRUE(bench.Run(dm.Renommer));
        ::chmod(dir.path().c_str(), 0700);
        EXPECT_TRUE(Exists(dir.file("ro.avi")));
        EXPECT_EQ(bench.Record(dir.file("ro.avi")), before);
        EXPECT_EQ(bench.ListedPaths(), std::vector<std::string>{dir.file("ro.avi")});
        EXPECT_GT(bench.engine.Failures(), 0);
        bool reported = false;
        for (const auto& e : bench.events) reported = reported || e.starts_with("err:Impossible de renommer");
        EXPECT_TRUE(reported);
    }
}

TEST_F(RenameTest, FileWithoutDatecodeIsDisabled) {
    DvAviRecipe recipe;
    recipe.date.reset();
    Add("nodate.avi", recipe);
    TAbstractListFichier* r = bench.Record(dir.file("nodate.avi"));
    for (tAbstractCmd* c :
         {static_cast<tAbstractCmd*>(&dm.Renommer), static_cast<tAbstractCmd*>(&dm.AjouterDatecode),
          static_cast<tAbstractCmd*>(&dm.DateFichier)}) {
        bool visible = true, enabled = true;
        c->FileCondition(r, visible, enabled);
        EXPECT_FALSE(visible) << c->Name;
        EXPECT_FALSE(enabled) << c->Name;
    }
    SelectOnly({"nodate.avi"});
    ASSERT_TRUE(bench.Run(dm.Renommer));
    EXPECT_TRUE(bench.confirmer.questions.empty());
    EXPECT_EQ(bench.ListedPaths(), std::vector<std::string>{dir.file("nodate.avi")});
}

}  // namespace
}  // namespace velinor::test
