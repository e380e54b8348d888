#include "scenes/list_export.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "support/temp_dir.h"

namespace velinor {
namespace {

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

ExportedFile video(std::string folder, std::string name, double fps, uint32_t frames) {
    ExportedFile f;
    f.Folder = folder;
    f.BaseName = name;
    f.FileName = folder + name + ".avi";
    f.Fps = fps;
    f.FrameCount = frames;
    f.Duration = fps > 0 ? int64_t(frames / fps * 1e7) : 0;
    f.Created = *MakeDatecode({2024, 1, 2, 3, 4, 5});
    f.Modified = *MakeDatecode({2025, 6, 7, 8, 9, 10});
    f.Codec = "dvsd";
    f.IsDV = true;
    f.DVType = 2;
    f.DurationText = "10s 00fr";
    return f;
}

TEST(ListExportColumns, ValuesFollowTheRecord) {
    ExportedFile f = video("/d/Vacances/", "plage", 30000.0 / 1001, 300);
    f.Size = 4'294'967'296ULL;
    struct Case {
        int column;
        std::function<void(ExportedFile&)> change;
        const char* value;
    };
    const Case cases[] = {
        {3, nullptr, "02/01/2024 03:04:05"},
        {5, nullptr, "4\u00A0294\u00A0967\u00A0296"},
        {6, nullptr, " - "},
        {7, nullptr, " - "},
        {6,
         [](ExportedFile& x) {
             x.DatecodeValue = *MakeDatecode({2026, 7, 14, 10, 20, 30});
         },
         "14/07/2026"},
        {7,
         [](ExportedFile& x) {
             x.DatecodeValue = *MakeDatecode({2026, 7, 14, 10, 20, 30});
         },
         "10:20:30"},
        {8, nullptr, "dvsd (type 2)"},
        {8, [](ExportedFile& x) { x.Iavs = true; }, "dvsd (type 2 iavs)"},
        {8, [](ExportedFile& x) { x.DVType = 1; }, "dvsd (type 1)"},
        {8, [](ExportedFile& x) { x.DVType = 0; }, "dvsd (atypique)"},
        {8, [](ExportedFile& x) { x.IsDV = false, x.Codec = std::string("dv\x01s", 4); }, ""},
        {8, [](ExportedFile& x) { x.IsDV = false, x.Codec = "XVI"; }, ""},
        {11, nullptr, "29,97002997002997"},
        {11, [](ExportedFile& x) { x.Fps = 25; }, "25"},
        {11, [](ExportedFile& x) { x.Fps = 0; }, ""},
        {14, [](ExportedFile& x) { x.Decalage = 0.5, x.DecalageText = "12h"; }, "+12h"},
        {14, [](ExportedFile& x) { x.Decalage = -0.5, x.DecalageText = "-12h"; }, "-12h"},
        {15, [](ExportedFile& x) { x.HasScn = true; }, "scn"},
        {16, nullptr, ""},
        {18, nullptr, "0:00:00:00"},
    };
    for (const auto& c : cases) {
        ExportedFile copy = f;
        if (c.change) c.change(copy);
        EXPECT_EQ(ExportColumnValue(copy, c.column), c.value)
            << c.column << " " << kExportColumnIds[c.column - 1];
    }
}

TEST(ListExportColumns, SpreadsheetNamesGoPastZ) {
    const std::pair<int, const char*> names[] = {{0, "A"},   {1, "B"},   {25, "Z"},   {26, "AA"},
                                                 {51, "AZ"}, {52, "BA"}, {701, "ZZ"}, {702, "AAA"}};
    for (const auto& [index, name] : names) EXPECT_EQ(SpreadsheetColumnName(index), name) << index;
    TCSVExportMode mode("x.csv", std::vector<std::string>(30, "FileName"));
    EXPECT_EQ(mode.lastColumnName(), "AE");
}

TEST(ListTimestamps, ExistOnlyForOneCommonRate) {
    ExportedFile a = video("/d/", "a", 25, 250), b = video("/d/", "b", 25, 500),
                 c = video("/d/", "c", 25, 100);
    ExportedFile silent = video("/d/", "s", 0, 0);
    ComputeListTimestamps({&silent, &a, &b, &c});
    EXPECT_EQ(silent.ListTimestamp, "00.00.00.00");
    EXPECT_EQ(a.ListTimestamp, "00.00.00.00");
    EXPECT_EQ(b.ListTimestamp, "00.00.10.00");
    EXPECT_EQ(c.ListTimestamp, "00.00.30.00");
    b.Fps = 29.97;
    ComputeListTimestamps({&a, &b, &c});
    for (const auto* f : {&a, &b, &c}) EXPECT_EQ(ExportColumnValue(*f, 18), "0:00:00:00");
}

TEST(ListExportNames, DefaultAndNumberedNames) {
    const Datecode now = *MakeDatecode({2026, 12, 10, 1, 2, 3});
    const ExportedFile d = video("/D/Vacances/", "a", 25, 1), e = video("/E/Backup/Vacances/", "b", 25, 1);
    const ExportedFile x = video("/D/A/", "c", 25, 1), y = video("/D/B/", "d", 25, 1);
    EXPECT_EQ(DefaultExportName({&d, &e}, now), "Velinor Export de [Vacances] 10-12-2026");
    EXPECT_EQ(DefaultExportName({&x, &y}, now), "Excel Export de Velinor 10-12-2026");
    EXPECT_EQ(DefaultExportName({}, now), "Excel Export de Velinor 10-12-2026");

    test::TempDir dir;
    std::ofstream(dir.file("report.csv")) << "";
    std::ofstream(dir.file("report_001.csv")) << "";
    EXPECT_EQ(NumberedName(dir.file("report.csv")), dir.file("report_002.csv"));
    EXPECT_EQ(NumberedName(dir.file("noext")), dir.file("noext_001"));
}

// A value with a comma, a quote or a line break reads back into the same cells with Python's
// csv module; unknown column names are skipped and duplicates repeated.
TEST(CsvExport, QuotedFieldsReadBackIntoTheSameCells) {
    test::TempDir dir;
    ExportedFile odd = video("/d/", "a, \"b\"\r\nc", 25, 250);
    ExportedFile plain = video("/d/", "plain", 25, 100);
    const std::string path = dir.file("list.csv");
    std::ofstream(path) << "old";
    TCSVExportMode mode(path, {"ShortName", "Unknown", "Fps", "ShortName", "VTimestamp"});
    std::string error;
    ASSERT_TRUE(RunListExport(mode, {&odd, &plain}, error)) << error;
    EXPECT_EQ(readAll(path).substr(0, 41), "ShortName,Fps,ShortName,VTimestamp\r\n\"a, \"");
    int status = 0;
    const std::string out = test::RunCommand(
        "python3 -c \"import csv,sys; print(repr(list(csv.reader(open(sys.argv[1], newline='')))))\" " +
            test::ShellQuote(path),
        &status);
    ASSERT_EQ(status, 0) << out;
    EXPECT_EQ(
        out,
        "[['ShortName', 'Fps', 'ShortName', 'VTimestamp'], ['a, \"b\"\\r\\nc', '25', 'a, \"b\"\\r\\nc', "
        "'0:00:00:00'], ['plain', '25', 'plain', '0:00:00:00']]\n");

    TCSVExportMode none(path, {});
    ASSERT_TRUE(RunListExport(none, {&odd}, error));
    EXPECT_EQ(readAll(path), "");

    TCSVExportMode unwritable("/nonexistent-folder/list.csv", {"ShortName"});
    EXPECT_FALSE(RunListExport(unwritable, {&odd}, error));
    EXPECT_NE(error.find("/nonexistent-folder/list.csv"), std::string::npos) << error;
}

TEST(SpreadsheetExport, WritesHeadingsAndTextCells) {
    test::TempDir dir;
    ExportedFile a = video("/d/", "=1+1", 25, 250), b = video("/d/", "court", 25, 10);
    const std::string path = dir.file("list.xlsx");
    TExcelExportMode mode(path, {"ShortName", "FileSize", "Duration"},
                          *MakeDatecode({2026, 12, 10, 1, 2, 3}));
    EXPECT_EQ(mode.lastColumnName(), "D");
    std::string error;
    ASSERT_TRUE(RunListExport(mode, {&a, &b}, error)) << error;
    int status = 0;
    const std::string out = test::RunCommand(
        "python3 -c \"import zipfile,sys,re; z=zipfile.ZipFile(sys.argv[1]); "
        "print(re.findall(r'<t[^>]*>([^<]*)</t>', z.read('xl/sharedStrings.xml').decode())); "
        "print(len(re.findall(r'<c ', z.read('xl/worksheets/sheet1.xml').decode())))\" " +
            test::ShellQuote(path),
        &status);
    ASSERT_EQ(status, 0) << out;
    EXPECT_EQ(out, "['ShortName', 'FileSize', 'Duration', '=1+1', '0', '10s 00fr', 'court']\n9\n");
}

// LibreOffice opens the list workbook: its cells come back as the texts written, and a name that
// looks like a formula stays text.
TEST(SpreadsheetExport, OpensInLibreOffice) {
    int status = 0;
    const std::string office = test::RunCommand("command -v soffice || command -v libreoffice", &status);
    if (status != 0 || office.empty()) GTEST_SKIP() << "LibreOffice is not installed: workbook not opened";
    test::TempDir dir;
    ExportedFile a = video("/d/", "=1+1", 25, 250), b = video("/d/", "Noël, été", 25, 10);
    const std::string path = dir.file("list.xlsx");
    TExcelExportMode mode(path, {"ShortName", "Duration"}, *MakeDatecode({2026, 12, 10, 1, 2, 3}));
    std::string error;
    ASSERT_TRUE(RunListExport(mode, {&a, &b}, error)) << error;
    const std::string command = office.substr(0, office.find('\n')) + " -env:UserInstallation=file://" +
                                dir.file("profile") + " --headless --convert-to " +
                                test::ShellQuote("csv:Text - txt - csv (StarCalc):44,34,76") + " --outdir " +
                                test::ShellQuote(dir.file("out")) + " " + test::ShellQuote(path) + " 2>&1";
    const std::string out = test::RunCommand(command, &status);
    ASSERT_EQ(status, 0) << out;
    const std::string csv = readAll(dir.file("out/list.csv"));
    for (const char* cell : {"ShortName", "Duration", "=1+1", "10s 00fr", "\"Noël, été\""})
        EXPECT_NE(csv.find(cell), std::string::npos) << "lacks " << cell << "\n" << csv;
    EXPECT_EQ(csv.find(",2,"), std::string::npos) << "a name was read as a formula\n" << csv;
}

}  // namespace
}  // namespace velinor
