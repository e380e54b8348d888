// The options page's texts and decisions without a widget, and the "Envoyer vers" desktop entry
// checked by the freedesktop.org validator.
#include "commands/options_texts.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "commands/send_to.h"
#include "media/datecode.h"
#include "support/temp_dir.h"

namespace velinor {
namespace {

namespace fs = std::filesystem;

// 14 July 2011 09:30:05.
Datecode Sample() {
    return MakeDatecode({2011, 7, 14, 9, 30, 5}).value();
}

TEST(OptionsTextsTest, ExamplesExpandEveryCodeThenMakeAFileName) {
    struct Case {
        const char* templ;
        const char* pattern;
        int digits;
        const char* shown;
    };
    const Case cases[] = {
        {"ClipDV%D_%N", "yyyymmdd", 3, "ClipDV20110714_001"},
        {"%F %C", "", 3, "Vidéo dvsd"},
        {"%f %c", "", 3, "Vidéo dvsd"},  // codes ignore case
        {"%D", "hh:nn", 3, "09.30"},     // ":" cannot be in a file name
        {"%N", "", 5, "00001"},
        {"%N", "", 0, "1"},
        {"%T|%I|%A|%U", "", 3, "0.54.32.10_640x480_48000Hz 16bits stéréo_30s 12fr"},
        {"a<b>c\"d/e\\f", "", 3, "a_b_c_d_e_f"},
        {"100%", "", 3, "100%"},  // a lone "%" stays
    };
    for (const Case& c : cases)
        EXPECT_EQ(RenommerExample(c.templ, c.pattern, c.digits, Sample()), c.shown) << c.templ;
}

TEST(OptionsTextsTest, DatecodeAndTimecodeExamplesFollowTheirOrder) {
    EXPECT_EQ(AjouterDatecodeExample(false, "yyyy-mm-dd", 3, Sample()), "Vidéo_2011-07-14");
    EXPECT_EQ(AjouterDatecodeExample(true, "yyyy-mm-dd", 3, Sample()), "2011-07-14_Vidéo");
    EXPECT_EQ(AjouterTimecodeExample(false, 3, Sample()), "0.54.32.10_Vidéo");
    EXPECT_EQ(AjouterTimecodeExample(true, 3, Sample()), "Vidéo_0.54.32.10");
    // The display example is no file name: its ":" stay.
    EXPECT_EQ(AfficherDatecodeExample("hh:nn", Sample()), "09:30");
}

TEST(OptionsTextsTest, ExcelFormatsMapBothWays) {
    const int32_t codes[] = {16, 29, 33, 39, 43};
    for (int item = 0; item < 5; ++item) {
        EXPECT_EQ(ExcelFormatOfItem(item), codes[item]);
        EXPECT_EQ(ExcelItemOfFormat(codes[item]), item);
    }
    EXPECT_EQ(ExcelFormatOfItem(-1), 0);
    EXPECT_EQ(ExcelFormatOfItem(5), 0);
    EXPECT_EQ(ExcelItemOfFormat(0), std::nullopt);
    EXPECT_EQ(ExcelItemOfFormat(51), std::nullopt);
}

TEST(OptionsTextsTest, IntervalTextFallsBackToTwenty) {
    const std::pair<const char*, int32_t> cases[] = {{"35", 35},  {" 7 ", 7},         {"0", 0},
                                                     {"", 20},    {"abc", 20},        {"12s", 20},
                                                     {"1.5", 20}, {"99999999999", 20}};
    for (const auto& [text, seconds] : cases) EXPECT_EQ(IntervalleOfText(text), seconds) << text;
}

int Shell(const std::string& command, std::string* output = nullptr) {
    std::string full = command + " 2>&1";
    FILE* pipe = popen(full.c_str(), "r");
    if (!pipe) return -1;
    char buffer[512];
    std::string out;
    while (size_t n = fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, n);
    const int status = pclose(pipe);
    if (output) *output = out;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(SendToTest, EntryIsValidAndComesAndGoes) {
    test::TempDir dir;
    const char* before = std::getenv("XDG_DATA_HOME");
    const std::string saved = before ? before : "";
    setenv("XDG_DATA_HOME", (dir.path() / "data").c_str(), 1);
    // A program path with the characters the Exec quoting reserves.
    const std::string program = (dir.path() / "bin $x" / "velinor").string();
    const std::string entry = SendToEntryPath(program);
    EXPECT_EQ(entry, (dir.path() / "data" / "applications" / "velinor-sendto.desktop").string());

    ASSERT_TRUE(SetSendToEntry(true, program, entry));
    ASSERT_TRUE(fs::exists(entry));
    std::ifstream in(entry);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find("MimeType=video/x-msvideo;"), std::string::npos);
    EXPECT_NE(text.str().find("Exec=\"" + (dir.path() / "bin \\\\$x" / "velinor").string() + "\" %F"),
              std::string::npos)
        << text.str();
    if (Shell("command -v desktop-file-validate >/dev/null") == 0) {
        std::string report;
        EXPECT_EQ(Shell("desktop-file-validate '" + entry + "'", &report), 0) << report;
        EXPECT_EQ(report, "");
    }
    // Written again over itself, then removed; removing what is not there is no error.
    EXPECT_TRUE(SetSendToEntry(true, program, entry));
    int files = 0;
    for ([[maybe_unused]] const auto& file : fs::directory_iterator(fs::path(entry).parent_path())) ++files;
    EXPECT_EQ(files, 1);  // no temporary file left beside it
    EXPECT_TRUE(SetSendToEntry(false, program, entry));
    EXPECT_FALSE(fs::exists(entry));
    EXPECT_TRUE(SetSendToEntry(false, program, entry));
    // A folder that cannot be made fails, and says so.
    std::ofstream(dir.path() / "file") << "x";
    EXPECT_FALSE(
        SetSendToEntry(true, program, (dir.path() / "file" / "applications" / "e.desktop").string()));
    EXPECT_FALSE(SetSendToEntry(true, program, ""));

    if (before)
        setenv("XDG_DATA_HOME", saved.c_str(), 1);
    else
        unsetenv("XDG_DATA_HOME");
}

}  // namespace
}  // namespace velinor
