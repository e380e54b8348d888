// The date, patch, delete and shift commands on real DV files: the modification time stat
// shows, the exact bytes a patch changes, read-only files, and files sent to the trash.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "commands/catalogue.h"
#include "filelist/avi_fichier.h"
#include "harness.h"
#include "media/avi_patch.h"
#include "platform/file_times.h"

namespace velinor::test {
namespace {

struct FileCommandsTest : ::testing::Test {
    void SetUp() override {
        const char* old = std::getenv("XDG_DATA_HOME");
        savedDataHome = old ? old : "";
        hadDataHome = old != nullptr;
        ::setenv("XDG_DATA_HOME", dir.file("data").c_str(), 1);
    }
    void TearDown() override {
        if (hadDataHome)
            ::setenv("XDG_DATA_HOME", savedDataHome.c_str(), 1);
        else
            ::unsetenv("XDG_DATA_HOME");
    }
    std::string Add(const std::string& name, const DvAviRecipe& recipe = {}) {
        MakeDvAvi(dir.file(name), recipe);
        bench.Open({dir.file(name)});
        return dir.file(name);
    }
    void SelectOnly(const std::string& path) {
        for (int i = 0; i < bench.list.Count(); ++i) bench.list.SetSelected(i, false);
        bench.list.SetSelected(bench.list.IndexOfPath(path), true);
    }
    bool RunYes(tAbstractCmd& cmd, const std::string& path, const CmdParams& params = {}) {
        SelectOnly(path);
        bench.confirmer.answers = {TAnswer::Oui};
        return bench.Run(cmd, params);
    }
    Scratch dir;
    Bench bench;
    TdmAction dm;
    std::string savedDataHome;
    bool hadDataHome = false;
};

TEST_F(FileCommandsTest, DateFichierSetsModificationTimeAndKeepsAccessTime) {
    const std::string path = Add("d.avi");
    decltype(stat::st_mtim) times[2] = {{1'000'000'000, 0}, {1'100'000'000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    auto* before = dynamic_cast<TaviFichier*>(bench.Record(path));
    before->Decalage = 1.0 / 24;  // one hour of display shift is part of the new date
    ASSERT_TRUE(RunYes(dm.DateFichier, path));
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    // 2005-08-12 15:05:06 in Paris (summer time) is 13:05:06 UTC.
    struct tm utc {};
    utc.tm_year = 105;
    utc.tm_mon = 7;
    utc.tm_mday = 12;
    utc.tm_hour = 13;
    utc.tm_min = 5;
    utc.tm_sec = 6;
    EXPECT_EQ(st.st_mtim.tv_sec, ::timegm(&utc));
    // Setting the date itself leaves the access time (the reload then reads the file).
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    EXPECT_EQ(SetFileModified(path, *MakeDatecode({2010, 1, 2, 3, 4, 5})), "");
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_atim.tv_sec, 1'000'000'000);
    EXPECT_EQ(st.st_mtim.tv_sec, 1262397845);
    ASSERT_EQ(bench.confirmer.questions.size(), 1u);
    EXPECT_TRUE(bench.confirmer.questions[0].starts_with(
        "Voulez-vous vraiment modifier les dates du fichier 'd.avi'\n\n"
        "Date de création actuelle: "));
    EXPECT_NE(bench.confirmer.questions[0].find("Nouvelle date : 12/08/2005 15:05:06"), std::string::npos)
        << bench.confirmer.questions[0];
    // The list holds a reloaded record that kept the display shift.
    auto* after = dynamic_cast<TaviFichier*>(bench.Record(path));
    ASSERT_NE(after, nullptr);
    EXPECT_NE(after, before);
    EXPECT_EQ(after->Decalage, 1.0 / 24);
}

TEST_F(FileCommandsTest, LocalDatecodesBecomeUniversalTimes) {
    struct Case {
        DatecodeFields local;
        int64_t unix;
    };
    const Case cases[] = {
        {{2005, 1, 15, 12, 0, 0}, 1105786800},  // winter: UTC+1
        {{2005, 8, 12, 14, 5, 6}, 1123848306},  // summer: UTC+2
        {{2024, 3, 31, 3, 30, 0}, 1711848600},  // just after the spring change
    };
    for (const Case& c : cases) EXPECT_EQ(LocalDatecodeToUnix(*MakeDatecode(c.local)).Seconds, c.unix);
}

TEST_F(FileCommandsTest, PatchesChangeExactlyTheNamedBytes) {
    struct Case {
        const char* name;
        tAbstractCmd* cmd;
        std::string param;
        bool readOnly;
    };
    const Case cases[] = {
        {"codec.avi", &dm.ModifierCodec, "CDVC", false},
        {"codec_ro.avi", &dm.ModifierCodec, "dv25", true},
        {"rate.avi", &dm.FrequenceVideo, "29,97", false},
        {"rate_ro.avi", &dm.FrequenceVideo, "24.5", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = Add(c.name);
        const PatchPositions at = ScanPatchPositions(path);
        ASSERT_GE(at.HandlerPos, 0);
        ASSERT_GE(at.ScalePos, 0);
        if (c.readOnly) {
            ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
        }
        const std::string before = ReadText(path);
        ASSERT_TRUE(RunYes(*c.cmd, path, {c.param}));
        const std::string after = ReadText(path);
        ASSERT_EQ(after.size(), before.size());
        std::vector<int64_t> changedAllowed;
        if (c.cmd == &dm.ModifierCodec) {
            for (int64_t p : {at.HandlerPos, at.CompressionPos})
                if (p >= 0) {
                    EXPECT_EQ(after.substr(size_t(p), 4), c.param);
                }
            changedAllowed = {at.HandlerPos, at.CompressionPos};
        } else {
            uint32_t scale = 0, rate = 0;
            std::memcpy(&scale, after.data() + at.ScalePos, 4);
            std::memcpy(&rate, after.data() + at.ScalePos + 4, 4);
            EXPECT_EQ(rate, 1'000'000u);
            EXPECT_EQ(scale, uint32_t(std::lround(1e6 / *ParseDecimal(c.param))));
            changedAllowed = {at.ScalePos, at.ScalePos + 4};
        }
        for (size_t i = 0; i < before.size(); ++i) {
            if (before[i] == after[i]) continue;
            bool allowed = false;
            for (int64_t p : changedAllowed)
                allowed = allowed || (p >= 0 && int64_t(i) >= p && int64_t(i) < p + 4);
            EXPECT_TRUE(allowed) << "byte " << i;
        }
        struct stat st {};
        ASSERT_EQ(::stat(path.c_str(), &st), 0);
        if (c.readOnly) {
            EXPECT_EQ(st.st_mode & 0777, 0444u);
        }
        EXPECT_EQ(bench.engine.Failures(), 0);
    }
}

TEST_F(FileCommandsTest, RefusedFrameRatesLeaveTheFileAsItWas) {
    const std::string path = Add("bad.avi");
    const std::string before = ReadText(path);
    for (const char* rate : {"0", "-25", "abc", "inf", ""}) {
        SCOPED_TRACE(rate);
        bench.events.clear();
        ASSERT_TRUE(RunYes(dm.FrequenceVideo, path, {rate}));
        EXPECT_EQ(ReadText(path), before);
        EXPECT_GT(bench.engine.Failures(), 0);
    }
    ASSERT_TRUE(RunYes(dm.ModifierCodec, path, {"toolong"}));
    EXPECT_EQ(ReadText(path), before);
    EXPECT_GT(bench.engine.Failures(), 0);
}

TEST_F(FileCommandsTest, FrameRateIsDisabledForType1) {
    DvAviRecipe recipe;
    recipe.type1 = true;
    const std::string path = Add("t1.avi", recipe);
    bool visible = false, enabled = true;
    dm.FrequenceVideo.FileCondition(bench.Record(path), visible, enabled);
    EXPECT_TRUE(visible);
    EXPECT_FALSE(enabled);
}

TEST_F(FileCommandsTest, DeletedFileGoesToTheTrashAndCanBeRestored) {
    const std::string path = Add("gone été.avi");
    const std::string bytes = ReadText(path);
    ASSERT_TRUE(RunYes(dm.SupprimerFichier, path));
    EXPECT_FALSE(Exists(path));
    EXPECT_TRUE(bench.ListedPaths().empty());
    const std::string trashed = dir.file("data/Trash/files/gone été.avi");
    EXPECT_EQ(ReadText(trashed), bytes);
    const std::string info = ReadText(dir.file("data/Trash/info/gone été.avi.trashinfo"));
    EXPECT_TRUE(
        info.starts_with("[Trash Info]\nPath=" + dir.path() + "/gone%20%C3%A9t%C3%A9.avi\nDeletionDate="))
        << info;
    ASSERT_EQ(bench.confirmer.questions.size(), 1u);
    EXPECT_EQ(
        bench.confirmer.questions[0],
        "Voulez-vous vraiment supprimer le fichier gone été.avi ?\nSi oui, il sera envoyé à la corbeille.");
}

TEST_F(FileCommandsTest, LongNameGetsTheShortQuestionAndFailedTrashKeepsTheRecord) {
    const std::string path = Add(std::string(230, 'n') + ".avi");
    SelectOnly(path);
    bench.confirmer.answers = {TAnswer::Non};
    ASSERT_TRUE(bench.Run(dm.SupprimerFichier));
    ASSERT_EQ(bench.confirmer.questions.size(), 1u);
    EXPECT_EQ(bench.confirmer.questions[0],
              "Voulez-vous vraiment supprimer ce fichier?\nSi oui, il sera envoyé à la corbeille.");

    // A trash that cannot be made: the file and its record stay.
    WriteText(dir.file("data"), "a file where the trash's folder should be");
    ASSERT_TRUE(RunYes(dm.SupprimerFichier, path));
    EXPECT_TRUE(Exists(path));
    EXPECT_EQ(bench.ListedPaths(), std::vector<std::string>{path});
    EXPECT_GT(bench.engine.Failures(), 0);
}

TEST_F(FileCommandsTest, SidecarDeletionTrashesOnlyTheSidecar) {
    const std::string path = dir.file("s.avi");
    MakeDvAvi(path);
    WriteText(dir.file("s.scn"), "scenes");
    bench.Open({path});
    TAbstractListFichier* reloadedBefore = bench.Record(path);
    ASSERT_TRUE(RunYes(dm.SupprimerScn, path));
    EXPECT_FALSE(Exists(dir.file("s.scn")));
    EXPECT_TRUE(Exists(path));
    EXPECT_EQ(ReadText(dir.file("data/Trash/files/s.scn")), "scenes");
    EXPECT_EQ(bench.confirmer.questions[0],
              "Voulez-vous vraiment supprimer le fichier s.scn ?\nSi oui, il sera envoyé à la corbeille.");
    EXPECT_NE(bench.Record(path), reloadedBefore);
    EXPECT_NE(std::find(bench.events.begin(), bench.events.end(),
                        "msg:En train de supprimer le fichier scn de s.avi"),
              bench.events.end());
}

TEST_F(FileCommandsTest, ShiftIsParsedWithEitherSeparator) {
    const std::string path = Add("shift.avi");
    struct Case {
        const char* param;
        double days;
        const char* text;
    };
    const Case cases[] = {{"0,5", 0.5, "12 heures"},
                          {"1.5", 1.5, "1 jours 12h 00m 00s"},
                          {"-0,25", -0.25, "-6 heures"},
                          {"0,01", 864.0 / 86400, "0 jours 00h 14m 24s"},
                          {" -1,0000001 ", -1, "-1 jours 00h 00m 00s"},
                          {"x", 0, ""}};
    for (const Case& c : cases) {
        SelectOnly(path);
        ASSERT_TRUE(bench.Run(dm.DecalageHoraire, {c.param}));
        const auto* avi = dynamic_cast<const TaviFichier*>(bench.Record(path));
        EXPECT_DOUBLE_EQ(avi->Decalage, c.days) << c.param;
        EXPECT_EQ(avi->DecalageText, c.text) << c.param;
    }
    EXPECT_EQ(ShiftText(3.0 / 24), "3 heures");
    EXPECT_EQ(ShiftText(-(1 + 1.0 / 1440)), "-1 jours 00h -01m 00s");
}

TEST_F(FileCommandsTest, EmptyingTheListRunsWithoutFiles) {
    Add("e1.avi");
    Add("e2.avi");
    ASSERT_TRUE(bench.Run(dm.ViderListe));
    EXPECT_EQ(bench.list.Count(), 0);
    EXPECT_TRUE(Exists(dir.file("e1.avi")));
}

TEST_F(FileCommandsTest, LaunchersNeedTheirProgram) {
    const std::string path = Add("l.avi");
    dm.Settings.FichierF3 = dir.file("missing-program");
    SelectOnly(path);
    EXPECT_FALSE(bench.Run(dm.OpenFichierF3));
    // A program that records its arguments: the path arrives as one argument, untouched.
    const std::string script = dir.file("record.sh");
    WriteText(script, "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$1\" > \"$1.args\"\n");
    ASSERT_EQ(::chmod(script.c_str(), 0755), 0);
    const std::string odd = Add("it's $(odd) name.avi");
    ASSERT_EQ(::mkfifo((odd + ".args").c_str(), 0600), 0);
    dm.Settings.FichierF3 = script;
    SelectOnly(odd);
    ASSERT_TRUE(bench.Run(dm.OpenFichierF3));
    // The program writes into a pipe the test reads with a bounded wait.
    const int fd = ::open((odd + ".args").c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    std::string got;
    for (int rounds = 0; rounds < 100; ++rounds) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 100) < 0) break;
        char buffer[512];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) got.append(buffer, size_t(n));
        if (n == 0 && !got.empty()) break;
    }
    ::close(fd);
    EXPECT_EQ(got, "1\n" + odd + "\n");
}

}  // namespace
}  // namespace velinor::test
