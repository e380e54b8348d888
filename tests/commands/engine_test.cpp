// The command engine over a real file list: which files run, the answers, interruption, errors,
// passes and the announcements, with commands built from handlers.
#include <gtest/gtest.h>

#include <stdexcept>

#include "filelist/avi_fichier.h"
#include "harness.h"

namespace velinor::test {
namespace {

struct EngineTest : ::testing::Test {
    void SetUp() override {
        for (const char* name : {"a.avi", "b.avi", "c.avi"}) {
            MakeDvAvi(dir.file(name));
            paths.push_back(dir.file(name));
        }
        bench.Open(paths);
        cmd.Name = "Test";
        cmd.Nombre = fnSelect;
        cmd.OnExecution = [this](TAbstractListFichier* f, const CmdParams&, TCommandEngine&, int) {
            ran.push_back(f ? f->Name : "-");
        };
    }
    Scratch dir;
    std::vector<std::string> paths;
    Bench bench;
    tCustomCmd cmd;
    std::vector<std::string> ran;
};

TEST_F(EngineTest, NothingSelectedRaisesNoEvent) {
    for (int i = 0; i < bench.list.Count(); ++i) bench.list.SetSelected(i, false);
    EXPECT_FALSE(bench.Run(cmd));
    EXPECT_TRUE(bench.events.empty());
}

TEST_F(EngineTest, NoFileCommandRunsOnceWithoutRecord) {
    cmd.Nombre = fnNone;
    int pass = 0;
    cmd.OnExecution = [&](TAbstractListFichier* f, const CmdParams&, TCommandEngine&, int passe) {
        ran.push_back(f ? f->Name : "-");
        pass = passe;
    };
    ASSERT_TRUE(bench.Run(cmd));
    EXPECT_EQ(ran, std::vector<std::string>{"-"});
    EXPECT_EQ(pass, 1);
    EXPECT_EQ(bench.events, (std::vector<std::string>{"start", "stop"}));
}

TEST_F(EngineTest, DisabledFileIsSkippedSilently) {
    bench.SelectAll();
    cmd.OnFileCondition = [](TAbstractListFichier* f, bool&, bool& enabled) { enabled = f->Name != "b.avi"; };
    ASSERT_TRUE(bench.Run(cmd));
    EXPECT_EQ(ran, (std::vector<std::string>{"a.avi", "c.avi"}));
    EXPECT_EQ(bench.events, (std::vector<std::string>{"start", "file:a.avi:1", "end:a.avi:1", "file:c.avi:1",
                                                      "end:c.avi:1", "stop"}));
}

TEST_F(EngineTest, AnswersDecideWhichFilesRun) {
    struct Case {
        const char* name;
        std::vector<TAnswer> answers;
        std::vector<std::string> ran;
        size_t questions;
    };
    const Case cases[] = {
        {"yes to all", {TAnswer::OuiATous}, {"a.avi", "b.avi", "c.avi"}, 1},
        {"no to all", {TAnswer::NonATous}, {}, 1},
        {"cancel", {TAnswer::Annuler}, {}, 1},
        {"yes, no, yes", {TAnswer::Oui, TAnswer::Non, TAnswer::Oui}, {"a.avi", "c.avi"}, 3},
        {"no, then yes to all", {TAnswer::Non, TAnswer::OuiATous}, {"b.avi", "c.avi"}, 2},
        {"yes, then cancel", {TAnswer::Oui, TAnswer::Annuler}, {"a.avi"}, 2},
    };
    cmd.OnFileVerification = [](auto*, const CmdParams&, TCommandEngine&, int) { return false; };
    cmd.OnFileConFirmation = [](TAbstractListFichier* f, const CmdParams&, TCommandEngine&, int) {
        return "Traiter " + f->Name + " ?";
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ran.clear();
        bench.events.clear();
        bench.confirmer.questions.clear();
        bench.confirmer.answers.assign(c.answers.begin(), c.answers.end());
        bench.SelectAll();
        ASSERT_TRUE(bench.Run(cmd));
        EXPECT_EQ(ran, c.ran);
        EXPECT_EQ(bench.confirmer.questions.size(), c.questions);
        EXPECT_EQ(bench.events.back(), "stop");
        ASSERT_FALSE(bench.confirmer.questions.empty());
        EXPECT_NE(bench.confirmer.questions[0].find("Si vous répondez \"Oui à Tous\""), std::string::npos);
        EXPECT_TRUE(bench.confirmer.several[0]);
    }
}

TEST_F(EngineTest, SingleFileAsksWithThreeButtons) {
    bench.list.SetActiveIndex(1);
    cmd.Nombre = fnSingle;
    cmd.OnFileVerification = [](auto*, const CmdParams&, TCommandEngine&, int) { return false; };
    cmd.OnFileConFirmation = [](auto*, const CmdParams&, TCommandEngine&, int) { return std::string("Q ?"); };
    bench.confirmer.answers = {TAnswer::Oui};
    ASSERT_TRUE(bench.Run(cmd));
    EXPECT_EQ(ran, std::vector<std::string>{"b.avi"});
    ASSERT_EQ(bench.confirmer.questions.size(), 1u);
    EXPECT_EQ(bench.confirmer.questions[0], "Q ?");
    EXPECT_FALSE(bench.confirmer.several[0]);
}

TEST_F(EngineTest, FileNeedingNoQuestionRunsAfterARefusal) {
    bench.SelectAll();
    cmd.OnFileVerification = [](TAbstractListFichier* f, const CmdParams&, TCommandEngine&, int) {
        return f->Name == "b.avi";
    };
    cmd.OnFileConFirmation = [](auto*, const CmdParams&, TCommandEngine&, int) { return std::string("Q ?"); };
    bench.confirmer.answers = {TAnswer::Non, TAnswer::Non};
    ASSERT_TRUE(bench.Run(cmd));
    EXPECT_EQ(ran, std::vector<std::string>{"b.avi"});
}

TEST_F(EngineTest, RefusedPassesAreNotAskedForever) {
    bench.list.SetActiveIndex(0);
    cmd.Nombre = fnSingle;
    cmd.NbPasses = 3;
    cmd.OnFileVerification = [](auto*, const CmdParams&, TCommandEngine&, int passe) { return passe == 2; };
    cmd.OnFileConFirmation = [](auto*, const CmdParams&, TCommandEngine&, int) { return std::string("Q ?"); };
    bench.confirmer.fallback = TAnswer::Non;
    ASSERT_TRUE(bench.Run(cmd));
    EXPECT_EQ(bench.confirmer.questions.size(), 2u);
    EXPECT_EQ(bench.events, (std::vector<std::string>{"start", "file:a.avi:2", "end:a.avi:2", "stop"}));
}

TEST_F(EngineTest, InterruptAllBetweenFilesStopsTheCommand) {
    bench.SelectAll();
    bench.engine.OnEndFichier = [this](TAbstractListFichier*, const CmdParams&, int) {
        bench.events.push_back("end");
        bench.engine.InterruptAll();
    };
    ASSERT_TRUE(bench.Run(cmd));
    EXPECT_EQ(ran, std::vector<std::string>{"a.avi"});
    EXPECT_EQ(bench.events, (std::vector<std::string>{"start", "file:a.avi:1", "end", "stop"}));
}

TEST_F(EngineTest, InterruptingAFileStopsOnlyThatFile) {
    bench.SelectAll();
    bool aborted = false;
    cmd.NbPasses = 2;
    cmd.OnAbort = [&](TCommandEngine&) { aborted = true; };
    cmd.OnExecution = [&](TAbstractListFichier* f, const CmdParams&, TCommandEngine& ce, int passe) {
        ran.push_back(f->Name + ":" + std::to_string(passe));
        if (f->Name == "a.avi") ce.InvokeUi([&] { ce.InterruptFile(); });
    };
    ASSERT_TRUE(bench.Run(cmd));
    EXPECT_TRUE(aborted);
    // The stopped file loses its second pass; the flag is spent on it, so b and c run.
    EXPECT_EQ(ran, (std::vector<std::string>{"a.avi:1", "b.avi:1", "b.avi:2", "c.avi:1", "c.avi:2"}));
}

TEST_F(EngineTest, RaisingExecutionReportsItsMessageAndGoesOn) {
    TFastcmd fast;
    fast.Name = "Fast";
    fast.Nombre = fnSelect;
    fast.StartMessage = "Début de %s, passe %d";
    fast.OnExecution = [&](TAbstractListFichier* f, const CmdParams&, TCommandEngine&, int) {
        ran.push_back(f->Name);
        if (f->Name == "a.avi") throw std::runtime_error("boom");
    };
    struct Case {
        const char* errorMessage;
        std::vector<std::string> errors;
    };
    for (const Case& c : {Case{"", {}}, Case{"Erreur sur %s", {"err:Erreur sur " + dir.file("a.avi")}}}) {
        SCOPED_TRACE(c.errorMessage);
        fast.ErrorMessage = c.errorMessage;
        ran.clear();
        bench.events.clear();
        bench.SelectAll();
        ASSERT_TRUE(bench.Run(fast));
        EXPECT_EQ(ran, (std::vector<std::string>{"a.avi", "b.avi", "c.avi"}));
        std::vector<std::string> errors;
        for (const auto& e : bench.events)
            if (e.starts_with("err:")) errors.push_back(e);
        EXPECT_EQ(errors, c.errors);
        EXPECT_EQ(bench.events[1], "file:a.avi:1");
        EXPECT_EQ(bench.events[2], "msg:Début de a.avi, passe 1");
        EXPECT_GT(bench.engine.Failures(), 0);
    }
}

TEST_F(EngineTest, AllErrorEndsTheFileWithoutEndEvent) {
    bench.SelectAll();
    cmd.OnExecution = [&](TAbstractListFichier* f, const CmdParams&, TCommandEngine& ce, int) {
        ran.push_back(f->Name);
        ce.CommandError("grave", etAllError);
    };
    ASSERT_TRUE(bench.Run(cmd));
    EXPECT_EQ(ran, std::vector<std::string>{"a.avi"});
    EXPECT_EQ(bench.events, (std::vector<std::string>{"start", "file:a.avi:1", "err:grave", "stop"}));
}

TEST_F(EngineTest, FinalUpdateAnnouncesTheActiveItemOnce) {
    bench.list.SetActiveIndex(0);
    bench.SelectAll();
    int announced = 0;
    bench.list.OnActiveChange = [&](TAbstractListFichier*) { ++announced; };
    struct Case {
        TUpdateDisplay mode;
        int announced;
    };
    for (const Case& c : {Case{udNone, 0}, Case{udFinal, 1}, Case{udEach, 3}}) {
        announced = 0;
        cmd.UpdateDisplay = c.mode;
        bench.SelectAll();
        ASSERT_TRUE(bench.Run(cmd));
        EXPECT_EQ(announced, c.announced) << int(c.mode);
    }
}

TEST_F(EngineTest, ReloadKeepsTheDisplayShiftAndRemovalChangesTheList) {
    TFastcmd fast;
    fast.Name = "Reload";
    fast.Nombre = fnSelect;
    fast.UpdateFile = ufReload;
    auto* a = dynamic_cast<TaviFichier*>(bench.Record(paths[0]));
    ASSERT_NE(a, nullptr);
    a->Decalage = 0.5;
    bench.list.SetSelected(0, true);
    ASSERT_TRUE(bench.Run(fast));
    auto* reloaded = dynamic_cast<TaviFichier*>(bench.Record(paths[0]));
    ASSERT_NE(reloaded, nullptr);
    EXPECT_NE(reloaded, a);
    EXPECT_EQ(reloaded->Decalage, 0.5);

    fast.UpdateFile = ufRemove;
    for (int i = 0; i < bench.list.Count(); ++i) bench.list.SetSelected(i, false);
    bench.list.SetSelected(bench.list.IndexOfPath(paths[1]), true);
    ASSERT_TRUE(bench.Run(fast));
    EXPECT_EQ(bench.ListedPaths(), (std::vector<std::string>{paths[0], paths[2]}));
    EXPECT_TRUE(Exists(paths[1]));
}

}  // namespace
}  // namespace velinor::test
