// The graph command over real files with small graphs: progress per file, completion, errors
// ending the run, duration 0, interruption, and the list updates that follow.
#include <gtest/gtest.h>

#include "commands/catalogue.h"
#include "commands/graph_cmd.h"
#include "graph/basic_filters.h"
#include "graph/test_filters.h"
#include "harness.h"

namespace velinor::test {
namespace {

using graph::NullRenderer;
using graph::testing::NumberedSource;

struct GraphCmdTest : ::testing::Test {
    void SetUp() override {
        for (const char* name : {"a.avi", "b.avi"}) {
            MakeDvAvi(dir.file(name));
            paths.push_back(dir.file(name));
        }
        bench.Open(paths);
        cmd.Name = "Graph";
        cmd.Nombre = fnSelect;
        cmd.UpdateFile = ufAdd;
        cmd.OnDestination = [](TAbstractListFichier* f, const CmdParams&, int) {
            return DestinationPath(f->FileName, "_out.avi", true, "");
        };
        cmd.OnBuildGraph = [this](TAbstractListFichier* f, const std::string& dest, const CmdParams&, int) {
            g.clear();
            NumberedSource::Options o;
            o.count = f->Name == "a.avi" ? count : count * 2;
            o.throwAt = throwAt;
            auto source = std::make_shared<NumberedSource>(o);
            auto renderer = std::make_shared<NullRenderer>();
            g.addFilter(source);
            g.addFilter(renderer);
            if (!g.connect(*source->output(), *renderer->input())) return static_cast<graph::Graph*>(nullptr);
            if (writeDestination) WriteText(dest, "produced");
            return &g;
        };
        bench.engine.OnStartProgress = [this](int64_t max) { maxima.push_back(max); };
        bench.engine.OnSetProgress = [this](int64_t pos) { last = pos; };
    }
    Scratch dir;
    std::vector<std::string> paths;
    Bench bench;
    TGraphCmd cmd;
    graph::Graph g;
    int64_t count = 20;
    int64_t throwAt = -1;
    bool writeDestination = true;
    std::vector<int64_t> maxima;
    int64_t last = -1;
};

TEST_F(GraphCmdTest, EachFileRunsToItsEndAndItsOutputIsListed) {
    bench.SelectAll();
    ASSERT_TRUE(bench.Run(cmd));
    // 400 000 × 100 ns per sample; progress in units of 1024 × 100 ns.
    EXPECT_EQ(maxima, (std::vector<int64_t>{20 * 400'000 / 1024, 40 * 400'000 / 1024}));
    EXPECT_EQ(bench.ListedPaths(),
              (std::vector<std::string>{paths[0], dir.file("a_out.avi"), paths[1], dir.file("b_out.avi")}));
    EXPECT_EQ(bench.engine.Failures(), 0);
}

TEST_F(GraphCmdTest, FailingGraphEndsItsFileWithAnError) {
    throwAt = 3;
    cmd.UpdateFile = ufReplace;
    bench.SelectAll();
    ASSERT_TRUE(bench.Run(cmd));
    // The run ended on the error event; nothing was replaced, both sources stay.
    EXPECT_TRUE(Exists(paths[0]));
    EXPECT_TRUE(Exists(paths[1]));
    int errors = 0;
    for (const auto& e : bench.events)
        errors += e.starts_with("err:" + paths[0]) || e.starts_with("err:" + paths[1]);
    EXPECT_EQ(errors, 2);
    EXPECT_GT(bench.engine.Failures(), 0);
}

TEST_F(GraphCmdTest, CompleteRunReplacesTheSource) {
    cmd.UpdateFile = ufReplace;
    bench.list.SetSelected(0, true);
    for (int i = 1; i < bench.list.Count(); ++i) bench.list.SetSelected(i, false);
    ASSERT_TRUE(bench.Run(cmd));
    EXPECT_FALSE(Exists(paths[0]));
    EXPECT_EQ(bench.ListedPaths(), (std::vector<std::string>{dir.file("a_out.avi"), paths[1]}));
}

TEST_F(GraphCmdTest, ZeroDurationRunsNothing) {
    count = 0;
    bench.list.SetSelected(0, true);
    for (int i = 1; i < bench.list.Count(); ++i) bench.list.SetSelected(i, false);
    ASSERT_TRUE(bench.Run(cmd));
    EXPECT_TRUE(maxima.empty());
    EXPECT_EQ(bench.ListedPaths(), paths);
}

TEST_F(GraphCmdTest, InterruptedRunKeepsTheSourceAndListsThePartialOutput) {
    count = 1'000'000'000;  // endless in practice: the run must end by the interrupt at the first progress
    cmd.UpdateFile = ufReplace;
    bench.engine.OnSetProgress = [this](int64_t) { bench.engine.InterruptAll(); };
    std::vector<std::string> notices;
    bench.engine.OnNoticeCommand = [&](const std::string& text) { notices.push_back(text); };
    bench.SelectAll();
    ASSERT_TRUE(bench.Run(cmd));
    // The user is told that the listed output is partial, and how much of the source it holds.
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].rfind("Conversion interrompue : a_out.avi est un fichier partiel, il contient ", 0),
              0u)
        << notices[0];
    EXPECT_NE(notices[0].find(" de la source ("), std::string::npos) << notices[0];
    EXPECT_TRUE(Exists(paths[0]));
    EXPECT_TRUE(Exists(paths[1]));
    EXPECT_EQ(bench.events.back(), "stop");
    EXPECT_EQ(bench.ListedPaths(), (std::vector<std::string>{paths[0], dir.file("a_out.avi"), paths[1]}));
    EXPECT_NE(std::find(bench.events.begin(), bench.events.end(), "end:a.avi:1"), bench.events.end());
    EXPECT_EQ(std::find(bench.events.begin(), bench.events.end(), "file:b.avi:1"), bench.events.end());
}

TEST(DestinationPathTest, SameFolderOrSaveFolder) {
    struct Case {
        bool same;
        const char* folder;
        const char* expected;
    };
    for (const Case& c : {Case{true, "", "/dv/clip_type1.avi"}, Case{false, "/out", "/out/clip_type1.avi"},
                          Case{false, "/out/", "/out/clip_type1.avi"}})
        EXPECT_EQ(DestinationPath("/dv/clip.avi", "_type1.avi", c.same, c.folder), c.expected);
    EXPECT_EQ(DestinationPath("/d.v/clip", "_pal.avi", true, ""), "/d.v/clip_pal.avi");
}

}  // namespace
}  // namespace velinor::test
