#include "media/riff_report.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "media/media_error.h"
#include "support/riff_builder.h"

namespace velinor {
namespace {

using test::Bytes;
using test::Chunk;
using test::Concat;
using test::List;
using test::Riff;
using test::StrhBody;

// 5 March 2026 08:07:09 UTC, 9:07:09 in Paris.
constexpr std::time_t kMoment = 1772698029;

std::vector<std::string> Listing(const Bytes& bytes, const std::string& path = "/films/k7.avi",
                                 RiffReport* out = nullptr) {
    RiffReport local;
    RiffReport& report = out ? *out : local;
    report.Clock = [] { return kMoment; };
    EXPECT_TRUE(report.Analyse(MemoryRiffSource(bytes), path));
    return report.Lines();
}

size_t Count(const std::vector<std::string>& lines, std::string_view line) {
    return static_cast<size_t>(std::count(lines.begin(), lines.end(), line));
}

// True when `wanted` appear in `lines` in this order, each as a whole line.
bool InOrder(const std::vector<std::string>& lines, const std::vector<std::string>& wanted) {
    auto at = lines.begin();
    for (const auto& w : wanted) {
        at = std::find(at, lines.end(), w);
        if (at == lines.end()) return false;
        ++at;
    }
    return true;
}

std::string Dump(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& line : lines) out += line + "\n";
    return out;
}

Bytes Text(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

TEST(RiffReport, BannersCentreTheirTitleOnFiftyCharacters) {
    struct Case {
        std::string prefix;
        char fill;
        std::string title;
        std::string expected;
    };
    const Case cases[] = {
        {"", '-', "Début du RIFF Avi",
         "<B><COLOR Blue>----------------Début du RIFF Avi----------------</COLOR></B>"},
        {"    ", '-', "(Vidéo)",
         "<B><COLOR Blue>    -------------------(Vidéo)-------------------</COLOR></B>"},
        {"", ' ', "x",
         "<B><COLOR Blue>" + std::string(24, ' ') + "x" + std::string(24, ' ') + "</COLOR></B>"},
        {"", '*', std::string(60, 'y'), "<B><COLOR Blue>" + std::string(60, 'y') + "</COLOR></B>"},
    };
    for (const auto& c : cases) EXPECT_EQ(Banner(c.prefix, c.fill, c.title), c.expected) << c.title;
}

TEST(RiffReport, HeaderAndFooterFrameTheListing) {
    const auto lines = Listing(test::Type2Avi());
    ASSERT_GE(lines.size(), 20u);
    const std::vector<std::string> head = {
        "<COLOR Blue><B>" + std::string(50, '-'),
        "",
        Banner("", '*', "  En-tête du fichier k7.avi  "),
        "",
        Banner("", ' ', "analysée le 5/03/2026 à 9:07:09"),
        Banner("", ' ', "avec Velinor 0.1.0"),
        "",
        Banner("", ' ', "Visitez mon site web:"),
        Banner("", ' ', "https://www.morvane.fr/velinor"),
        "",
        Banner("", '-', "Début du RIFF Avi"),
        "</B></COLOR>",
    };
    for (size_t i = 0; i < head.size(); ++i) EXPECT_EQ(lines[i], head[i]) << i;
    const std::vector<std::string> tail = {"", Banner("", '-', " Fin de l'en-tête "),
                                           Banner("", ' ', "/films/k7.avi"), "", std::string(50, '-')};
    ASSERT_TRUE(std::equal(tail.begin(), tail.end(), lines.end() - static_cast<ptrdiff_t>(tail.size())))
        << Dump(lines);
}

TEST(RiffReport, ListsChunksHeadersAndAnomalies) {
    const Bytes type2 = test::Type2Avi();
    Bytes sizePastEnd = type2;
    test::SetLe32(sizePastEnd, 4, test::GetLe32(type2, 4) + 100);
    const uint32_t riffSize = test::GetLe32(type2, 4);
    char declared[16], room[16];
    std::snprintf(declared, sizeof declared, "%08X", riffSize + 100);
    std::snprintf(room, sizeof room, "%08X", riffSize);

    Bytes childPastList =
        Riff("AVI ", {List("hdrl", {Chunk("avih", test::AvihBody()), Chunk("JUNK", Bytes(6, 0))})});
    test::SetLe32(childPastList, 12 + 12 + 64 + 4, 0x20);  // JUNK says 32 bytes, its list holds 6

    const Bytes moviWithJunk = Riff(
        "AVI ",
        {List("movi", {Chunk("00dc", Bytes(8, 1)), Chunk("JUNK", Bytes(4, 0))}), Chunk("00dc", Bytes(4, 0))});
    const Bytes info = Riff(
        "AVI ",
        {List("INFO", {Chunk("ISFT", Text("Velinor version 1.2\n")), Chunk("INAM", Text("ab")),
                       Chunk("ICMT", Text("\xE9t\xE9 ok")), Chunk("IART", Text("d\xC3\xA9j\xC3\xA0!!!!"))})});
    Bytes ix00body(40, 0);
    ix00body[0] = 2;
    ix00body[3] = 1;
    ix00body[8] = '0', ix00body[9] = '0', ix00body[10] = 'd', ix00body[11] = 'c';
    ix00body[12] = 0x10;
    Bytes deep = Chunk("JUNK", {1, 2});
    for (int i = 0; i < 3000; ++i) deep = List("deep", deep);

    struct Case {
        const char* name;
        Bytes file;
        std::vector<std::string> expected;  // in this order
        std::vector<std::string> absent;
        bool unexpectedEnd;
    };
    const std::string red = "<COLOR Red>";
    const std::string end = "</COLOR>";
    const Case cases[] = {
        {"RIFF size past the end",
         sizePastEnd,
         {red + ">>> Mauvaise longueur du chunk:",
          ">>> " + std::string(declared) + " au lieu de " + room + end, "AVI ", "    hdrl"},
         {},
         false},
        {"garbage after the last RIFF",
         Concat({type2, Bytes(1000, 0)}),
         {"    idx1  00000040", red + ">>> Il y a 000003E8 octets de déchets à la fin du fichier" + end},
         {},
         false},
        {"type 1",
         test::Type1Avi(),
         {Banner("            ", '-', "(Entrelacé)"), Banner("            ", '-', "Début de DVInfo"),
          "            DVAAuxSrc = 11111111", "            DVReserved1 = 88888888",
          Banner("            ", '-', "Fin de DVINfo")},
         {},
         false},
        {"type 2 with DV info after the bitmap header",
         type2,
         {Banner("            ", '-', "(Vidéo)"), "            biCompression = dvsd",
          Banner("            ", '-', "Début de DVInfo"), "            DVVAuxCtl = 66666666",
          Banner("            ", '-', "Fin de DVINfo"),
          Banner("            ", '-', "Fin du AVI Stream Format"), Banner("            ", '-', "(Audio)"),
          "            SamplesPerSec = 48000", "            cbSize = 0", "    movi",
          Banner("    ", '-', "Début d'un OldIndex"), Banner("    ", '-', "Fin de l'OldIndex")},
         {"        00dc  00000040", "        01wb  00000040", "            00dc  00000040"},
         false},
        {"movi lists are skipped whole",
         moviWithJunk,
         {"    movi"},
         {"        JUNK  00000004", "        00dc  00000008", "    00dc  00000004"},
         false},
        {"INFO texts",
         info,
         {"        ISFT  00000014", "        <i><COLOR Green>Velinor version </COLOR></i>",
          "        <i><COLOR Green></COLOR></i>", "        <i><COLOR Green>ét</COLOR></i>",
          "        <i><COLOR Green>déjà</COLOR></i>"},
         {},
         false},
        {"index headers",
         Riff("AVI ", {List("hdrl", {List("strl", {Chunk("strh", StrhBody({})), Chunk("indx", ix00body)})}),
                       Chunk("ix00", ix00body)}),
         {Banner("            ", '-', "Début d'un Index"), "            wLongsPerEntry = 0002",
          Banner("    ", '-', "Début d'un Index"), "    bIndexType = 1", "    nEntriesInUse = 00000000",
          "    dwChunkId = 00dc", "    qwBaseOffset = 0000000000000010", "    dwReserved_3 = 00000000",
          Banner("    ", '-', "Fin de l'Index")},
         {},
         false},
        {"child past its list",
         childPastList,
         {"        JUNK  00000020",
          red + "        >>> Mauvaise longueur du chunk:", "        >>> 00000020 au lieu de 00000006" + end},
         {},
         false},
        {"deep nesting",
         Riff("AVI ", {deep}),
         {red + std::string(64 * 4, ' ') + ">>> Imbrication trop profonde" + end},
         {},
         false},
        {"WAVE file",
         Riff("WAVE", {Chunk("fmt ", test::WaveFormatBody())}),
         {"RIFF  0000001E", "WAVE", "    fmt   00000012"},
         {},
         false},
        {"RIFF of size 0", test::RawChunk("RIFF", 0, {}), {"RIFF  00000000"}, {"    "}, false},
        {"text renamed .avi",
         Text("hello world\n"),
         {red + ">>> Il y a 0000000C octets de déchets à la fin du fichier" + end},
         {},
         false},
        {"empty file", {}, {}, {"RIFF  00000000"}, false},
        {"three bytes",
         {'R', 'I', 'F'},
         {"<COLOR Red><B>" + Banner("", ' ', "Fin du fichier inattendue") + "</B></COLOR>"},
         {},
         true},
        {"control characters in codes",
         Riff("AVI\x01", {Chunk(std::string_view("a\nb\0", 4), {})}),
         {"AVI ", "    a b   00000000"},
         {},
         false},
    };
    for (const auto& c : cases) {
        RiffReport report;
        const auto lines = Listing(c.file, "/films/k7.avi", &report);
        EXPECT_TRUE(InOrder(lines, c.expected)) << c.name << "\n" << Dump(lines);
        for (const auto& a : c.absent) EXPECT_EQ(Count(lines, a), 0u) << c.name << ": " << a;
        EXPECT_EQ(report.UnexpectedEnd(), c.unexpectedEnd) << c.name;
        EXPECT_FALSE(report.Cancelled()) << c.name;
        for (const auto& line : lines)
            for (char ch : line) ASSERT_GE(static_cast<unsigned char>(ch), 32) << c.name << ": " << line;
    }
}

TEST(RiffReport, TruncationAtEveryByteStillEndsTheListing) {
    for (const Bytes& whole : {test::Type2Avi(), test::Type1Avi()}) {
        for (size_t n = 0; n <= whole.size(); ++n) {
            const Bytes cut(whole.begin(), whole.begin() + static_cast<ptrdiff_t>(n));
            const auto lines = Listing(cut);
            ASSERT_GE(lines.size(), 4u);
            EXPECT_EQ(lines[lines.size() - 4], Banner("", '-', " Fin de l'en-tête ")) << n;
            if (n >= 8 && n < whole.size()) {
                EXPECT_GE(Count(lines, "<COLOR Red>>>> Mauvaise longueur du chunk:"), 1u) << n << Dump(lines);
            }
        }
    }
}

TEST(RiffReport, CancellingStopsTheWalkAndSaysSo) {
    RiffReport report;
    int calls = 0;
    report.ProcessMessages = [&] {
        if (++calls == 3) report.Cancel();
    };
    const auto lines = Listing(test::Type2Avi(), "/films/k7.avi", &report);
    EXPECT_TRUE(report.Cancelled());
    EXPECT_EQ(calls, 3);
    EXPECT_TRUE(InOrder(lines, {"    hdrl", "", Banner("", '-', "Annulé par l'utilisateur"), ""}))
        << Dump(lines);
    EXPECT_EQ(Count(lines, "        strl"), 0u);
}

TEST(RiffReport, OneAnalysisAtATime) {
    RiffReport report;
    int refused = 0;
    const Bytes other = Riff("WAVE", {});
    report.ProcessMessages = [&] {
        if (!report.Analyse(MemoryRiffSource(other), "/other.wav")) ++refused;
    };
    const auto lines = Listing(test::Type2Avi(), "/films/k7.avi", &report);
    EXPECT_GT(refused, 0);
    EXPECT_EQ(report.LastPath(), "/films/k7.avi");
    EXPECT_EQ(Count(lines, "WAVE"), 0u);
    EXPECT_EQ(Count(lines, "    hdrl"), 1u);
    report.ProcessMessages = nullptr;
    EXPECT_TRUE(report.Analyse(MemoryRiffSource(other), "/other.wav"));  // and again once it is over
}

TEST(RiffReport, MissingOrUnreadableFilesAreErrors) {
    test::ScratchDir dir;
    RiffReport report;
    EXPECT_THROW(report.AnalyseFile((dir.path() / "absent.avi").string()), MediaError);
    EXPECT_TRUE(report.Lines().empty());
    EXPECT_THROW(report.AnalyseFile(dir.path().string()), MediaError);
    const std::string fifo = (dir.path() / "fifo.avi").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    EXPECT_THROW(report.AnalyseFile(fifo), MediaError);
}

TEST(RiffReport, CountlessTinyChunksAreCutShort) {
    Bytes junk;
    for (size_t i = 0; i < RiffReport::kMaxChunks + 10; ++i) {
        test::PutCode(junk, "JUNK");
        test::PutLe32(junk, 0);
    }
    RiffReport report;
    const auto lines =
        Listing(Concat({Riff("AVI ", {List("many", junk)}), Bytes(10, 0)}), "/k7.avi", &report);
    EXPECT_EQ(Count(lines, "<COLOR Red>>>> Trop de chunks, liste interrompue</COLOR>"), 1u);
    EXPECT_EQ(Count(lines, "        JUNK  00000000"),
              RiffReport::kMaxChunks - 2);  // after the RIFF and the LIST
    EXPECT_EQ(lines[lines.size() - 4], Banner("", '-', " Fin de l'en-tête "));
}

TEST(RiffReport, MarkupIsStrippedOrRendered) {
    struct Case {
        std::string line;
        std::string plain;
    };
    const Case cases[] = {
        {"<COLOR Red>>>> Il y a 1</COLOR>", ">>> Il y a 1"},
        {"<B><COLOR Blue>--x--</COLOR></B>", "--x--"},
        {"    <i><COLOR Green>a<b>c</COLOR></i>", "    a<b>c"},
        {"<COLOR Yellow>x", "<COLOR Yellow>x"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(PlainText(c.line), c.plain) << c.line;

    const std::vector<std::string> lines = {"<COLOR Blue><B>titre {x}", "</B></COLOR>plain \\ é",
                                            "<i><COLOR Green>vert</COLOR></i><COLOR Red>rouge</COLOR>"};
    EXPECT_EQ(ReportPlainText(lines), "titre {x}\r\nplain \\ é\r\nvertrouge\r\n");
    const std::string rtf = ReportRichText(lines);
    EXPECT_EQ(rtf.rfind("{\\rtf1", 0), 0u);
    const std::string expected[] = {"\\cf2 \\b titre \\{x\\}\\par\r\n",
                                    "\\b0 \\cf1 plain \\\\ \\u233?\\par\r\n",
                                    "\\i \\cf4 vert\\cf1 \\i0 \\cf3 rouge\\cf1 \\par\r\n"};
    for (const auto& e : expected) EXPECT_NE(rtf.find(e), std::string::npos) << e << "\n" << rtf;
    EXPECT_EQ(rtf.substr(rtf.size() - 3), "}\r\n");
}

TEST(RiffReport, SavingWritesTheChosenFormatUnderItsExtension) {
    test::ScratchDir dir;
    const auto lines = Listing(test::Type1Avi());
    struct Case {
        std::string chosen;
        bool rich;
        std::string written;
    };
    const Case cases[] = {{"report.log", false, "report.txt"},
                          {"report.log", true, "report.rtf"},
                          {"k7.avi", false, "k7.txt"},
                          {"noext", true, "noext.rtf"}};
    for (const auto& c : cases) {
        const std::string path = SaveReport(lines, (dir.path() / c.chosen).string(), c.rich);
        EXPECT_EQ(path, (dir.path() / c.written).string());
        const Bytes saved = test::ReadAll(path);
        const std::string text(saved.begin(), saved.end());
        EXPECT_EQ(text, c.rich ? ReportRichText(lines) : ReportPlainText(lines)) << c.written;
    }
    // Saving again replaces the file; no temporary file is left beside it.
    dir.write("again.txt", Text("old"));
    SaveReport({"new"}, (dir.path() / "again.txt").string(), false);
    EXPECT_EQ(test::ReadAll((dir.path() / "again.txt").string()), Text("new\r\n"));
    size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path())) ++files;
    EXPECT_EQ(files, 4u + 1u);
    // A folder that does not exist (or is a file) is reported and nothing is written.
    EXPECT_THROW(SaveReport(lines, (dir.path() / "none" / "r.txt").string(), false), MediaError);
    EXPECT_THROW(SaveReport(lines, (dir.path() / "again.txt" / "r.txt").string(), false), MediaError);
    EXPECT_EQ(test::ReadAll((dir.path() / "again.txt").string()), Text("new\r\n"));
}

TEST(RiffReport, ListsFilesFromTheRealEncoder) {
    test::ScratchDir dir;
    const std::string path = test::FfmpegAvi(dir, "dv.avi", "dvvideo");
    if (path.empty()) GTEST_SKIP() << "ffmpeg is not available";
    RiffReport report;
    ASSERT_TRUE(report.AnalyseFile(path));
    const auto& lines = report.Lines();
    EXPECT_TRUE(InOrder(
        lines, {"    hdrl", Banner("            ", '-', "(Vidéo)"), "            biCompression = dvsd",
                Banner("            ", '-', "(Audio)"), "            SamplesPerSec = 48000", "    movi",
                Banner("    ", '-', "Début d'un OldIndex")}))
        << Dump(lines);
    EXPECT_FALSE(report.UnexpectedEnd());
    for (const auto& line : lines) EXPECT_EQ(line.find("00dc"), std::string::npos) << line;
    for (const auto& line : lines) EXPECT_EQ(line.find("<COLOR Red>"), std::string::npos) << line;

    // Cut at every chunk boundary: the listing always ends, and a read comes short only when
    // fewer than 8 bytes are left at the top.
    const Bytes whole = test::ReadAll(path);
    for (size_t cut : test::ChunkBoundaries(whole)) {
        RiffReport part;
        const auto cutLines =
            Listing(Bytes(whole.begin(), whole.begin() + static_cast<ptrdiff_t>(cut)), path, &part);
        ASSERT_GE(cutLines.size(), 4u);
        EXPECT_EQ(cutLines[cutLines.size() - 4], Banner("", '-', " Fin de l'en-tête ")) << cut;
        EXPECT_EQ(part.UnexpectedEnd(), cut > 0 && cut < 8) << cut;
        EXPECT_EQ(Count(cutLines, "<COLOR Red>>>> Mauvaise longueur du chunk:") > 0,
                  cut >= 8 && cut < whole.size())
            << cut;
    }
}

}  // namespace
}  // namespace velinor
