#include "actions/mv_switch.h"

#include <gtest/gtest.h>

#include "actions/actions_list.h"

namespace velinor {
namespace {

// The application manager's list as the command line sees it: a break command, a full-screen
// toggle, an interval setting, and a default action that opens files.
struct CommandLine : ::testing::Test {
    TMvActionList list;
    TMvSwitch sw;
    TNopeAction& brk = list.Create<TNopeAction>("naInterrompre");
    TCheckAction& fs = list.Create<TCheckAction>("caFullscreen");
    TIntegerAction& intervalle = list.Create<TIntegerAction>("iaIntervalle");
    TWStringsAction& open = list.Create<TWStringsAction>("saOuvrir");
    TIntegerAction& unswitched = list.Create<TIntegerAction>("iaSansSwitch");
    std::vector<std::string> log;

    void SetUp() override {
        brk.Switch = "brk";
        fs.Switch = "fs";
        intervalle.Switch = "intervalle";
        open.Switch = "open";
        brk.OnAfterApply = [&] { log.push_back("brk"); };
        fs.OnAfterTrueApply = [&] { log.push_back("fs on"); };
        fs.OnAfterFalseApply = [&] { log.push_back("fs off"); };
        intervalle.OnAfterApply = [&](const int32_t& v) { log.push_back("intervalle " + std::to_string(v)); };
        open.OnAfterApply = [&](const std::vector<std::string>& v) {
            log.push_back("open " + (v.empty() ? std::string() : v.front()));
        };
        list.SetSwitch(&sw);
        sw.DefaultAction = &open;
        sw.CloseMainWindow = [&] { log.push_back("close"); };
        sw.OnNoCommandLine = [&] { log.push_back("no command line"); };
    }
};

TEST_F(CommandLine, ArgumentsFindTheirActionModeAndValue) {
    struct Case {
        const char* argument;
        TCustomAbstractAction* action;
        uint8_t mode;
        const char* value;
    };
    const Case cases[] = {
        {"/brk", &brk, 2, ""},
        {"-FS", &fs, 1, ""},
        {"+fs", &fs, 0, ""},
        {"/intervalle=25", &intervalle, 2, "25"},
        {"/Intervalle=a=b", &intervalle, 2, "a=b"},
        {"/x=", &open, 2, ""},
        {"/=5", &open, 2, "5"},
        {"/inconnu", &open, 2, ""},
        {"/home/moi/film.avi", &open, 3, "/home/moi/film.avi"},
        {"/tmp", &open, 3, "/tmp"},
        {"/brk=/tmp/a", &brk, 2, "/tmp/a"},
        {"film.avi", &open, 3, "film.avi"},
        {"", &open, 3, ""},
        {"/", &open, 2, ""},
    };
    for (const auto& c : cases) {
        sw.ProcessCommandLine({});
        sw.ParseArgument(c.argument);
        ASSERT_EQ(sw.Arguments().size(), 1u) << c.argument;
        EXPECT_EQ(sw.Arguments()[0].Action, c.action) << c.argument;
        EXPECT_EQ(sw.Arguments()[0].Mode, c.mode) << c.argument;
        EXPECT_EQ(sw.Arguments()[0].Value, c.value) << c.argument;
    }
    // Without a default action, plain arguments and unknown switches are dropped;
    // an action without a switch is never found by name.
    sw.DefaultAction = nullptr;
    for (const char* argument : {"film.avi", "/inconnu", "/=5", "/", "/tmp/film.avi"}) {
        sw.ProcessCommandLine({});
        sw.ParseArgument(argument);
        EXPECT_TRUE(sw.Arguments().empty()) << argument;
    }
    EXPECT_EQ(sw.FindSwitch(""), nullptr);
}

TEST_F(CommandLine, SwitchesRunInOrder) {
    fs.SetCheckedState(false);
    sw.ProcessCommandLine({"+fs", "/intervalle=25", "/fs", "-FS", "/brk", "film.avi", "/intervalle=abc"});
    EXPECT_EQ(log, (std::vector<std::string>{"fs on", "intervalle 25", "fs off", "fs off", "brk",
                                             "open film.avi", "intervalle -1"}));
    EXPECT_TRUE(sw.Arguments().empty());
    EXPECT_FALSE(sw.Executing());
}

TEST_F(CommandLine, PlainArgumentToACheckActionDoesNothingAndDisabledActionsAreSkipped) {
    sw.DefaultAction = &fs;
    intervalle.SetEnabled(false);
    sw.ProcessCommandLine({"film.avi", "/intervalle=5", "/brk"});
    EXPECT_EQ(log, (std::vector<std::string>{"brk"}));
}

TEST_F(CommandLine, QuitAloneKeepsTheProgramOpen) {
    sw.ProcessCommandLine({"/quit"});
    EXPECT_EQ(log, (std::vector<std::string>{"no command line"}));
    log.clear();
    sw.ProcessCommandLine({"/QUIT", "/brk"});
    EXPECT_EQ(log, (std::vector<std::string>{"brk", "close"}));
}

TEST_F(CommandLine, ProcessedAtTheFirstActivationOnly) {
    int activations = 0;
    sw.OnActivate = [&] { ++activations; };
    bool executingSeen = false;
    brk.OnBeforeApply = [&] { executingSeen = sw.Executing(); };
    sw.Activate({"/brk"});
    sw.Activate({"/brk"});
    EXPECT_EQ(activations, 2);
    EXPECT_EQ(log, (std::vector<std::string>{"brk"}));
    EXPECT_TRUE(executingSeen);
}

TEST_F(CommandLine, TheTableFollowsTheAttachedLists) {
    EXPECT_EQ(sw.Table().size(), 5u);
    EXPECT_EQ(sw.FindSwitch("FS"), &fs);
    {
        TIntegerAction temporary("iaTemp");
        temporary.Switch = "tmp";
        TMvActionList other;
        other.AddAction(temporary);
        other.SetSwitch(&sw);
        EXPECT_EQ(sw.FindSwitch("tmp"), &temporary);
    }
    EXPECT_EQ(sw.FindSwitch("tmp"), &open);  // gone with its list: the default action
    list.SetSwitch(nullptr);
    EXPECT_TRUE(sw.Table().empty());
    EXPECT_EQ(sw.FindSwitch("fs"), nullptr);
    sw.ProcessCommandLine({"/fs", "film.avi"});
    EXPECT_EQ(log, (std::vector<std::string>{"open film.avi"}));
}

}  // namespace
}  // namespace velinor
