#include "commands/list_export_actions.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "commands/harness.h"
#include "support/temp_dir.h"

namespace velinor {
namespace {

using test::Bench;
using test::Scratch;

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Reads a CSV file with Python's csv module: one line per row, cells joined by " | ".
std::string PythonCsv(const std::string& path) {
    int status = 0;
    const std::string out = test::RunCommand(
        "python3 -c \"import csv,sys\nfor r in csv.reader(open(sys.argv[1], newline='', encoding='utf-8')): "
        "print(' | '.join(c.replace('\\n', '<LF>') for c in r))\" " +
            test::ShellQuote(path),
        &status);
    EXPECT_EQ(status, 0) << out;
    return out;
}

class ListExports : public ::testing::Test {
protected:
    Scratch dir;
    Bench bench;
    TListExportActions exports;
    std::vector<std::string> errors, statuses, shown;
    std::string savedDataHome;
    bool hadDataHome = false;

    void SetUp() override {
        if (const char* old = std::getenv("XDG_DATA_HOME")) {
            hadDataHome = true;
            savedDataHome = old;
        }
        ::setenv("XDG_DATA_HOME", dir.file("data").c_str(), 1);
        std::filesystem::create_directories(dir.file("Vacances"));
        const std::pair<const char*, int> files[] = {{"a, \"b\"\nc.avi", 5}, {"d.avi", 10}, {"e.avi", 2}};
        std::vector<std::string> paths;
        for (const auto& [name, frames] : files) {
            test::DvAviRecipe recipe;
            recipe.frames = frames;
            test::MakeDvAvi(dir.file(std::string("Vacances/") + name), recipe);
            paths.push_back(dir.file(std::string("Vacances/") + name));
        }
        bench.Open(paths);
        exports.SetFichierListBox(&bench.list);
        exports.Now = [] { return *MakeDatecode({2026, 12, 10, 9, 5, 7}); };
        exports.OnError = [this](const std::string& m) { errors.push_back(m); };
        exports.OnStatus = [this](const std::string& text, bool busy) {
            statuses.push_back(text + (busy ? " (busy)" : ""));
        };
        exports.ShowExported = [this](const std::string& path) {
            shown.push_back(path);
            return std::string();
        };
        exports.saSelected.SetValue({"ShortName", "FileName", "Duration", "VTimestamp"});
    }
    void TearDown() override {
        if (hadDataHome)
            ::setenv("XDG_DATA_HOME", savedDataHome.c_str(), 1);
        else
            ::unsetenv("XDG_DATA_HOME");
    }
};

// A name with a comma, quotes and a line break stays in its cells; the list timestamps place each
// file after the ones before it.
TEST_F(ListExports, CsvReadsBackIntoTheSameCells) {
    const std::string out = dir.file("liste.csv");
    exports.waExportCSV.SetValue(out);
    EXPECT_TRUE(errors.empty()) << errors[0];
    const std::string v = dir.file("Vacances/");
    EXPECT_EQ(PythonCsv(out),
              "ShortName | FileName | Duration | VTimestamp\n"
              "a, \"b\"<LF>c | " +
                  v +
                  "a, \"b\"<LF>c.avi | 5fr | 00.00.00.00\n"
                  "d | " +
                  v +
                  "d.avi | 10fr | 00.00.00.05\n"
                  "e | " +
                  v + "e.avi | 2fr | 00.00.00.15\n");
    EXPECT_EQ(statuses, (std::vector<std::string>{"En train d'exporter la liste des vidéos (busy)", "Prêt"}));
    EXPECT_EQ(shown, (std::vector<std::string>{out}));
}

TEST_F(ListExports, NoColumnGivesAnEmptyCsv) {
    exports.saSelected.SetValue({});
    exports.waExportCSV.SetValue(dir.file("vide.csv"));
    EXPECT_EQ(ReadAll(dir.file("vide.csv")), "");
}

// The old file goes to the trash only once the new one is complete, and can be restored.
TEST_F(ListExports, ExistingFileIsReplacedThroughTheTrash) {
    const std::string out = dir.file("liste.csv");
    std::ofstream(out) << "ancien";
    exports.waExportCSV.SetValue(out);
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(ReadAll(out).rfind("ShortName,", 0), 0u);
    EXPECT_EQ(ReadAll(dir.file("data/Trash/files/liste.csv")), "ancien");
    EXPECT_TRUE(std::filesystem::exists(dir.file("data/Trash/info/liste.csv.trashinfo")));
}

TEST_F(ListExports, FailedExportIsReportedAndLeavesNothing) {
    exports.waExportExcel.SetValue(dir.file("absent/liste.xlsx"));
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find(dir.file("absent/liste.xlsx")), std::string::npos) << errors[0];
    EXPECT_EQ(statuses.back(), "Prêt");
    EXPECT_TRUE(shown.empty());
    EXPECT_FALSE(std::filesystem::exists(dir.file("absent")));
}

TEST_F(ListExports, WorkbookHoldsTheRowsAsText) {
    std::vector<std::string> opened;
    exports.OpenDocument = [&](const std::string& path) {
        opened.push_back(path);
        return std::string();
    };
    exports.baKeepOpen.SetValue(true);
    const std::string out = dir.file("liste.xlsx");
    exports.waExportExcel.SetValue(out);
    EXPECT_TRUE(errors.empty());
    int status = 0;
    const std::string texts = test::RunCommand(
        "python3 -c \"import zipfile,sys; z=zipfile.ZipFile(sys.argv[1]); "
        "print(z.read('xl/sharedStrings.xml').decode())\" " +
            test::ShellQuote(out),
        &status);
    ASSERT_EQ(status, 0) << texts;
    for (const char* want : {"VTimestamp", "a, \"b\"\nc", "00.00.00.15"})
        EXPECT_NE(texts.find(want), std::string::npos) << want << "\n" << texts;
    EXPECT_EQ(opened, (std::vector<std::string>{out}));
    EXPECT_EQ(shown, (std::vector<std::string>{out}));
}

// The save dialog proposes the default name; an existing choice is replaced ("Oui") or avoided
// with the first free numbered name ("Non").
TEST_F(ListExports, DialogProposesTheNameAndAvoidsExistingFiles) {
    std::vector<std::string> dialogs;
    std::optional<std::string> choice;
    exports.SaveDialog = [&](const std::string& title, const std::string& name, const std::string& filter,
                             const std::string& initial) {
        dialogs.push_back(title + " / " + name + " / " + filter + " / " + initial);
        return choice;
    };
    bool replace = false;
    exports.AskReplace = [&](const std::string&) { return replace; };

    exports.waExportCSV.Execute();  // cancelled
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].rfind("Exporter les données vidéo au format CSV / Velinor Export de [Vacances] "
                               "10-12-2026.csv / CSV files (*.csv)|*.csv|All files (*.*)|*.* / ",
                               0),
              0u)
        << dialogs[0];
    EXPECT_TRUE(shown.empty());

    std::ofstream(dir.file("r.csv")) << "x";
    std::ofstream(dir.file("r_001.csv")) << "x";
    struct Case {
        bool replace;
        const char* written;
    };
    const Case cases[] = {{false, "r_002.csv"}, {false, "r_003.csv"}, {true, "r.csv"}};
    choice = dir.file("r.csv");
    for (const auto& c : cases) {
        replace = c.replace;
        shown.clear();
        exports.waExportCSV.Execute();
        EXPECT_EQ(shown, (std::vector<std::string>{dir.file(c.written)}));
        EXPECT_EQ(ReadAll(dir.file(c.written)).rfind("ShortName", 0), 0u) << c.written;
    }
    EXPECT_EQ(ReadAll(dir.file("r_001.csv")), "x");

    std::filesystem::create_directory(dir.file("xl"));
    choice = dir.file("xl/l.xlsx");
    exports.waExportExcel.Execute();
    EXPECT_EQ(exports.waDossierExcel.CurrentValue(), dir.file("xl/"));
    EXPECT_NE(dialogs.back().find("Exporter les données vidéo au format Excel / Velinor Export de [Vacances] "
                                  "10-12-2026.xlsx"),
              std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(dir.file("xl/l.xlsx")));
}

}  // namespace
}  // namespace velinor
