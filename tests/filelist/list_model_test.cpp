#include "filelist/list_model.h"

#include <gtest/gtest.h>

#include "list_test_support.h"

namespace velinor {
namespace {

using Names = std::vector<std::string>;

// Records of paths that need not exist: their names and alphabetical keys are all these tests use.
std::string P(const std::string& name) {
    return "/nulle/part/" + name;
}

TEST(ListModel, InsertingKeepsTheSameFileActive) {
    struct Case {
        const char* active;  // "" for none
        const char* inserted;
    };
    const Case cases[] = {{"f.avi", "a.avi"}, {"f.avi", "g.avi"}, {"d.avi", "c.avi"},
                          {"b.avi", "e.avi"}, {"b.avi", "a.avi"}, {"", "a.avi"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.active) + " + " + c.inserted);
        test::ListHarness h;
        for (const char* name : {"b.avi", "d.avi", "f.avi"}) h.Add(P(name));
        if (*c.active) h.list.SetActiveIndex(h.list.IndexOfPath(P(c.active)));
        h.Add(P(c.inserted));
        EXPECT_EQ(h.ActiveName(), c.active);
        EXPECT_EQ(h.list.Count(), 4);
        if (*c.active) {
            EXPECT_EQ(h.SelectedNames(), Names{c.active});
        }
    }
}

TEST(ListModel, ReopeningAPathMovesItAndPathsDifferingInCaseAreTwoFiles) {
    test::ListHarness h;
    auto* a = h.Add(P("a.avi"));
    h.Add(P("b.avi"));
    EXPECT_EQ(h.Add(P("a.avi")), a);
    EXPECT_EQ(h.list.Count(), 2);
    EXPECT_EQ(h.cache.Count(), 2u);

    auto* upper = h.Add(P("A.avi"));
    EXPECT_NE(upper, a);
    EXPECT_EQ(h.cache.Count(), 3u);
    EXPECT_EQ(h.list.Count(), 3);
    EXPECT_EQ(h.list.Item(h.list.IndexOfPath(P("A.avi"))), upper);
    EXPECT_EQ(h.list.IndexOfPath(P("B.avi")), -1);
    // Keys that fold alike stay in order of their exact paths.
    EXPECT_EQ(h.Names(), (Names{"A.avi", "a.avi", "b.avi"}));
    h.list.RemoveFichier(upper);
    EXPECT_EQ(h.Names(), (Names{"a.avi", "b.avi"}));
}

TEST(ListModel, RemovingTheSelectionMakesTheItemBeforeItActive) {
    struct Case {
        std::vector<int> selected;
        Names remaining;
        const char* active;
    };
    const Case cases[] = {
        {{0, 1}, {"c", "d", "e"}, "c"}, {{2, 3}, {"a", "b", "e"}, "b"},      {{1, 4}, {"a", "c", "d"}, "a"},
        {{0, 1, 2, 3, 4}, {}, ""},      {{}, {"a", "b", "c", "d", "e"}, ""},
    };
    for (const auto& c : cases) {
        test::ListHarness h;
        for (const char* name : {"a", "b", "c", "d", "e"}) h.Add(P(name));
        for (int i : c.selected) h.list.SetSelected(i, true);
        h.list.RemoveSelected();
        EXPECT_EQ(h.Names(), c.remaining);
        EXPECT_EQ(h.ActiveName(), c.active);
        EXPECT_EQ(h.cache.Count(), 5u);  // records stay cached
    }
}

TEST(ListModel, CountsAndHint) {
    struct Case {
        int selected;
        const char* hint;
    };
    const Case cases[] = {{0, "Aucun fichier sélectionné sur 4"},
                          {1, "Un fichier sélectionné sur 4"},
                          {3, "3 fichiers sélectionnés sur 4"}};
    for (const auto& c : cases) {
        test::ListHarness h;
        int lastSelected = -1, lastCount = -1;
        h.list.OnCountsChange = [&](int selected, int count) {
            lastSelected = selected;
            lastCount = count;
        };
        for (const char* name : {"a", "b", "c", "d"}) h.Add(P(name));
        for (int i = 0; i < c.selected; ++i) h.list.SetSelected(i, true);
        h.list.UpdateCounts();
        EXPECT_EQ(h.list.Hint(), c.hint);
        EXPECT_EQ(lastSelected, c.selected);
        EXPECT_EQ(lastCount, 4);
    }
}

TEST(ListModel, ActiveItemIsAnnouncedEveryTimeAndClearedOnce) {
    test::ListHarness h;
    std::vector<const TAbstractListFichier*> announced;
    h.list.OnActiveChange = [&](TAbstractListFichier* r) { announced.push_back(r); };
    auto* a = h.Add(P("a"));
    h.Add(P("b"));
    h.list.SetActiveIndex(0);
    h.list.UserReleased();
    h.list.UserReleased();
    EXPECT_EQ(announced, (std::vector<const TAbstractListFichier*>{a, a, a}));
    h.list.SetActiveIndex(7);  // out of range: ignored
    EXPECT_EQ(h.list.ItemIndex(), 0);
    h.list.ClearFichiers();
    h.list.ClearFichiers();
    EXPECT_EQ(announced.size(), 4u);
    EXPECT_EQ(announced.back(), nullptr);
    EXPECT_EQ(h.list.ActiveFileName(), "");
}

TEST(ListModel, SelectAllAndNone) {
    test::ListHarness h;
    for (const char* name : {"a", "b", "c"}) h.Add(P(name));
    h.list.SetActiveIndex(1);
    h.list.SelectAllFichiers(true);
    EXPECT_EQ(h.list.SelectedCount(), 3);
    h.list.SelectAllFichiers(false);
    EXPECT_EQ(h.SelectedNames(), Names{"b"});
    EXPECT_EQ(h.list.ItemIndex(), 1);
}

TEST(ListModel, AddingSelectedToAnEmptyListMakesItActive) {
    test::ListHarness h;
    h.Add(P("b"), true);
    EXPECT_EQ(h.ActiveName(), "b");
    h.Add(P("a"), true);
    EXPECT_EQ(h.ActiveName(), "b");
    EXPECT_EQ(h.SelectedNames(), (Names{"a", "b"}));
}

TEST(ListModel, VetoedRecordsAreNotListed) {
    test::ListHarness h;
    h.list.BeforeLister = [](TAbstractListFichier* r) { return r->Name != "non"; };
    EXPECT_EQ(h.list.AddFichier(h.cache.FindOrCreate(P("non")), true), 0);
    EXPECT_EQ(h.list.Count(), 0);
}

TEST(ListModel, ReplaceAndReinsert) {
    test::ListHarness h;
    auto* a = h.Add(P("a"));
    h.Add(P("c"));
    h.list.SetActiveIndex(0);
    const int i = h.list.ReplaceFichier(a, std::make_unique<TSRFichier>(P("a")));
    EXPECT_EQ(i, 0);
    auto* a2 = h.list.Item(0);
    EXPECT_NE(a2, a);
    EXPECT_EQ(h.cache.Find(P("a")), a2);

    auto* d = h.cache.FindOrCreate(P("d"));
    h.list.ReinsertFichier(a2, d);  // a command turned a into d
    EXPECT_EQ(h.Names(), (Names{"c", "d"}));
    EXPECT_EQ(h.ActiveName(), "d");
    EXPECT_TRUE(h.list.Selected(1));
}

TEST(ListModel, MasksMatchLikeTheOpenDialogs) {
    struct Case {
        const char* pattern;
        const char* name;
        bool match;
    };
    const Case cases[] = {{"*.*", "sans-point", true},      {"*.avi", "CLIP.AVI", true},
                          {"*.avi", "clip.avi.txt", false}, {"c?ip*.avi", "clip 1.avi", true},
                          {"clip.avi", "Clip.avi", false},  {"[a].avi", "[a].avi", true},
                          {"*a*b*", "xxaxxbxx", true},      {"*a*b", "ab a", false}};
    for (const auto& c : cases)
        EXPECT_EQ(MatchMask(c.pattern, c.name), c.match) << c.pattern << " " << c.name;
}

}  // namespace
}  // namespace velinor
