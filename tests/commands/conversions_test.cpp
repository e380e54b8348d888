#include "commands/conversions.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <cmath>
#include <condition_variable>
#include <filesystem>
#include <mutex>

#include "filelist/avi_fichier.h"
#include "graph/dv_avi_files.h"
#include "graph/dv_codec.h"
#include "harness.h"
#include "media/avi_demuxer.h"
#include "media/dif_audio.h"
#include "media/dv_frame_source.h"
#include "support/avi_fixtures.h"
#include "support/riff_builder.h"

namespace velinor {
namespace {

using test::Bench;
using test::Exists;
using test::Scratch;

// ---- Values without files

TEST(ConversionTexts, ShiftSuffixNamesTheAmount) {
    struct Case {
        double days;
        const char* suffix;
    };
    const Case cases[] = {
        {1.5 / 24, "_(+1h30mn).avi"},
        {-(2 + 3.0 / 24), "_(-2jours3h).avi"},
        {0.0625, "_(+1h30mn).avi"},
        {1 + 1.0 / 86400, "_(+1jours1s).avi"},
        {-(5.0 / 1440 + 7.0 / 86400), "_(-5mn7s).avi"},
        {0, "_(+).avi"},
    };
    for (const auto& c : cases) EXPECT_EQ(ShiftSuffix(c.days), c.suffix) << c.days;
}

TEST(ConversionTexts, SourceRateAndDatecodeParameters) {
    EXPECT_EQ(SourceAudioRate("48000Hz 16 bits  stéréo"), 48'000u);
    EXPECT_EQ(SourceAudioRate("32000Hz 12(16) bits"), 32'000u);
    EXPECT_EQ(SourceAudioRate("N/A"), std::nullopt);
    EXPECT_EQ(SourceAudioRate(""), std::nullopt);

    EXPECT_EQ(ParseDatecodeParam("40000,5"), 40000.5);
    EXPECT_EQ(ParseDatecodeParam("2010-01-31 23:59:58"), MakeDatecode({2010, 1, 31, 23, 59, 58}));
    for (const char* bad : {"", "demain", "2010-13-01 00:00:00", "2010-01-31", "2010-01-31 23:59:58x"})
        EXPECT_EQ(ParseDatecodeParam(bad), std::nullopt) << bad;

    TConversionSettings s;
    EXPECT_TRUE(s.Set("StandardDV", "1"));
    EXPECT_TRUE(s.Set("ratiodv", "1"));
    EXPECT_TRUE(s.Set("FrequenceDV", "0"));
    EXPECT_FALSE(s.Set("FrequenceDV", "3"));
    EXPECT_FALSE(s.Set("StandardDV", "pal"));
    EXPECT_FALSE(s.Set("Inconnu", "1"));
    EXPECT_EQ(s.StandardDV, 1);
    EXPECT_EQ(s.RatioDV, 1);
    EXPECT_EQ(s.FrequenceDV, 0);
}

// ---- Files

bool HaveFfmpeg() {
    return test::HaveProgram("ffmpeg") && test::HaveProgram("ffprobe");
}

std::string Probe(const std::string& path, const std::string& entries, const std::string& stream = "v:0") {
    std::string out = test::RunCommand("ffprobe -v error -select_streams " + stream + " -show_entries " + entries +
                            " -of csv=p=0 " + test::ShellQuote(path) + " 2>/dev/null");
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
}

int ProbeFrames(const std::string& path) {
    const std::string out = test::RunCommand("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                                             "stream=nb_read_frames -of csv=p=0 " +
                                             test::ShellQuote(path) + " 2>/dev/null");
    return out.empty() ? -1 : std::stoi(out);
}

std::string FfmpegPcm(const std::string& path) {
    return test::RunCommand("ffmpeg -v error -nostdin -i " + test::ShellQuote(path) +
                            " -map 0:a:0 -f s16le -acodec pcm_s16le - 2>/dev/null");
}

std::string PcmBytes(const std::vector<std::vector<int16_t>>& pcm) {
    std::string bytes;
    for (const auto& f : pcm) bytes.append(reinterpret_cast<const char*>(f.data()), f.size() * 2);
    return bytes;
}

std::vector<std::vector<uint8_t>> ReadFrames(const std::string& path) {
    std::vector<std::vector<uint8_t>> frames;
    auto source = OpenAviDvFrameSource(path);
    std::vector<uint8_t> frame;
    while (source->next(frame)) frames.push_back(frame);
    return frames;
}

std::optional<DatecodeFields> DatecodeOf(const std::vector<uint8_t>& frame) {
    return ReadDatecode(frame, DifSequenceCount(frame.size()));
}

// Blocks of a DIF sequence: 0 header, 1-2 subcode, 3-5 VAUX, then audio every 16th from 6.
bool IsAudioBlock(size_t block) {
    const size_t inSequence = block % 150;
    return inSequence >= 6 && (inSequence - 6) % 16 == 0;
}
bool IsVauxBlock(size_t block) {
    const size_t inSequence = block % 150;
    return inSequence >= 3 && inSequence <= 5;
}

// Whether the frames differ only in blocks `allowed` accepts.
bool SameExcept(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, bool (*allowed)(size_t)) {
    if (a.size() != b.size()) return false;
    for (size_t block = 0; block < a.size() / kDifBlockBytes; ++block) {
        if (allowed(block)) continue;
        const auto at = ptrdiff_t(block * kDifBlockBytes);
        if (!std::equal(a.begin() + at, a.begin() + at + ptrdiff_t(kDifBlockBytes), b.begin() + at)) return false;
    }
    return true;
}

class Conversions : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg missing";
        bench.engine.FichierClass = [](const std::string& p) { return std::make_unique<TAfficherFichier>(p); };
    }
    // Opens the file into the list and runs the command over it.
    bool Run(tAbstractCmd& cmd, const std::string& path, const CmdParams& params = {}) {
        bench.Open({path});
        bench.list.SelectAllFichiers(false);
        bench.list.SetSelected(bench.list.IndexOfPath(path), true);
        return bench.Run(cmd, params);
    }
    std::vector<std::string> Errors() const {
        std::vector<std::string> errors;
        for (const auto& e : bench.events)
            if (e.starts_with("err:")) errors.push_back(e);
        return errors;
    }

    Scratch dir;
    Bench bench;
    TCdm cdm;
    TConversions conv{cdm};
};

TEST_F(Conversions, Type1AndType2AreLossless) {
    const auto clip = test::MakeDvAviClip(30, false);
    const std::string t2 = dir.file("clip2.avi"), t1 = dir.file("clip1.avi");
    test::WriteType2(t2, clip.frames, clip.pcm, false);
    test::WriteType1(t1, clip.frames, false);
    struct Case {
        TGraphCmd* cmd;
        std::string source, produced;
        const char* handler;
    };
    const Case cases[] = {{&conv.ConvertirDV1, t2, dir.file("clip2_type1.avi"), "iavs"},
                          {&conv.ConvertirDV2, t1, dir.file("clip1_type2.avi"), "vids"}};
    for (const auto& c : cases) {
        ASSERT_TRUE(Run(*c.cmd, c.source)) << c.cmd->Name;
        ASSERT_TRUE(Exists(c.produced)) << c.cmd->Name;
        const auto frames = ReadFrames(c.produced);
        ASSERT_EQ(frames.size(), clip.frames.size()) << c.cmd->Name;
        for (size_t i = 0; i < frames.size(); ++i) {
            EXPECT_TRUE(SameExcept(frames[i], clip.frames[i], IsAudioBlock)) << c.cmd->Name << " frame " << i;
            EXPECT_EQ(DatecodeOf(frames[i]), DatecodeOf(clip.frames[i]));
            EXPECT_EQ(ReadTimecode(frames[i], 12), ReadTimecode(clip.frames[i], 12));
        }
        EXPECT_EQ(FfmpegPcm(c.produced), PcmBytes(clip.pcm)) << c.cmd->Name;
        EXPECT_EQ(ProbeFrames(c.produced), 30) << c.cmd->Name;
        AviDemuxer demuxer(c.produced);
        EXPECT_EQ(graph::FourCCText(demuxer.streams().at(0).Type), c.handler) << c.cmd->Name;
    }
    EXPECT_EQ(bench.ListedPaths(), (std::vector<std::string>{t1, dir.file("clip1_type2.avi"), t2,
                                                             dir.file("clip2_type1.avi")}));
    EXPECT_TRUE(Errors().empty());
}

TEST_F(Conversions, AspectChangesOnlyTheDisplayField) {
    const auto clip = test::MakeDvAviClip(12, false);
    const std::string source = dir.file("clip.avi");
    test::WriteType2(source, clip.frames, clip.pcm, false);
    ASSERT_TRUE(Run(conv.Convertir16x9, source));
    const std::string wide = dir.file("clip_16x9.avi");
    ASSERT_TRUE(Exists(wide));
    const auto frames = ReadFrames(wide);
    ASSERT_EQ(frames.size(), clip.frames.size());
    for (size_t i = 0; i < frames.size(); ++i) {
        EXPECT_TRUE(SameExcept(frames[i], clip.frames[i], IsVauxBlock)) << i;
        EXPECT_EQ(ReadWideFlag(frames[i], 12), true) << i;
        EXPECT_EQ(DatecodeOf(frames[i]), DatecodeOf(clip.frames[i])) << i;
    }
    EXPECT_EQ(Probe(wide, "stream=display_aspect_ratio"), "16:9");
    EXPECT_EQ(FfmpegPcm(wide), PcmBytes(clip.pcm));

    // And back: a 16:9 file is not taken by Convertir16x9, and Convertir4x3 restores the flag.
    bench.Open({wide});
    bool visible = true, enabled = true;
    conv.Convertir16x9.FileCondition(bench.Record(wide), visible, enabled);
    EXPECT_FALSE(enabled);
    ASSERT_TRUE(Run(conv.Convertir4x3, wide));
    const auto narrow = ReadFrames(dir.file("clip_16x9_4x3.avi"));
    ASSERT_EQ(narrow.size(), clip.frames.size());
    for (size_t i = 0; i < narrow.size(); ++i) EXPECT_EQ(narrow[i], clip.frames[i]) << i;
}

TEST_F(Conversions, ShiftMovesEveryDatecodeAcrossMidnightMonthAndYear) {
    // The clip starts on 14 March 2026 at 10:20:30 and runs 2 seconds.
    const auto clip = test::MakeDvAviClip(50, false);
    const std::string source = dir.file("clip.avi");
    test::WriteType2(source, clip.frames, clip.pcm, false);
    struct Case {
        const char* param;
        int64_t seconds;
        const char* name;
        DatecodeFields first;
    };
    const Case cases[] = {
        {"0,6", 51'840, "clip_(+14h24mn).avi", {2026, 3, 15, 0, 44, 30}},
        {"18,0625", 18 * 86'400 + 5'400, "clip_(+18jours1h30mn).avi", {2026, 4, 1, 11, 50, 30}},
        {"300", 300 * 86'400, "clip_(+300jours).avi", {2027, 1, 8, 10, 20, 30}},
        {"-0,5", -43'200, "clip_(-12h).avi", {2026, 3, 13, 22, 20, 30}},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(Run(conv.DecalerHoraire, source, {c.param})) << c.param;
        const std::string produced = dir.file(c.name);
        ASSERT_TRUE(Exists(produced)) << c.name;
        const auto frames = ReadFrames(produced);
        ASSERT_EQ(frames.size(), clip.frames.size()) << c.name;
        EXPECT_EQ(DatecodeOf(frames[0]), c.first) << c.name;
        for (size_t i = 0; i < frames.size(); ++i)
            EXPECT_EQ(DatecodeOf(frames[i]), AddSeconds(*DatecodeOf(clip.frames[i]), c.seconds)) << c.name << i;
        EXPECT_EQ(ProbeFrames(produced), 50);
    }
    EXPECT_TRUE(Errors().empty());
}

TEST_F(Conversions, InsertedDatecodeRunsOneSecondPerSecondAndIsSigned) {
    DvClip recipe;
    recipe.scenes = {DvScene{60, std::nullopt, 0}};
    recipe.audio = AudioInfo{48'000, 2, 16};
    const auto frames = test::BuildDvStream(recipe);
    const std::string source = dir.file("nodate.avi");
    test::WriteType1(source, frames, false);
    ASSERT_FALSE(DatecodeOf(frames[0]).has_value());

    // A parameter that is no date skips the file, silently.
    ASSERT_TRUE(Run(conv.IntroduireDatecode, source, {"bientôt"}));
    EXPECT_FALSE(Exists(dir.file("nodate_datecode.avi")));

    ASSERT_TRUE(Run(conv.IntroduireDatecode, source, {"2025-12-31 23:59:59"}));
    const std::string produced = dir.file("nodate_datecode.avi");
    const auto out = ReadFrames(produced);
    ASSERT_EQ(out.size(), frames.size());
    const DatecodeFields start{2025, 12, 31, 23, 59, 59};
    for (size_t i = 0; i < out.size(); ++i)
        EXPECT_EQ(DatecodeOf(out[i]), AddSeconds(start, int64_t(i / 25))) << i;
    AviDemuxer demuxer(produced);
    const auto imrv = demuxer.InfoText(graph::FourCC("IMRV"));
    ASSERT_TRUE(imrv.has_value());
    EXPECT_TRUE(imrv->starts_with("Datecode introduit par Velinor de Morvane le ")) << *imrv;
    EXPECT_EQ(ProbeFrames(produced), 60);
}

}  // namespace
}  // namespace velinor
