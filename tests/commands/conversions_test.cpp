#include "commands/conversions.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <cmath>
#include <condition_variable>
#include <filesystem>
#include <mutex>

#include "filelist/avi_fichier.h"
#include "graph/avi_source.h"
#include "graph/dv_avi_files.h"
#include "graph/dv_codec.h"
#include "graph/dv_segments.h"
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
    std::string out = test::RunCommand("ffprobe -v error -select_streams " + stream + " -show_entries " +
                                       entries + " -of csv=p=0 " + test::ShellQuote(path) + " 2>/dev/null");
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return out;
}

int ProbeFrames(const std::string& path) {
    const std::string out = test::RunCommand(
        "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
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
        if (!std::equal(a.begin() + at, a.begin() + at + ptrdiff_t(kDifBlockBytes), b.begin() + at))
            return false;
    }
    return true;
}

class ConversionsSlow : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg missing";
        bench.engine.FichierClass = [](const std::string& p) {
            return std::make_unique<TAfficherFichier>(p);
        };
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
    TCdm cdm{SharedOverlayTextSettings()};
    TConversions conv{cdm};
};

TEST_F(ConversionsSlow, Type1AndType2AreLossless) {
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
    EXPECT_EQ(bench.ListedPaths(),
              (std::vector<std::string>{t1, dir.file("clip1_type2.avi"), t2, dir.file("clip2_type1.avi")}));
    EXPECT_TRUE(Errors().empty());
}

TEST_F(ConversionsSlow, AspectChangesOnlyTheDisplayField) {
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

TEST_F(ConversionsSlow, ShiftMovesEveryDatecodeAcrossMidnightMonthAndYear) {
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
            EXPECT_EQ(DatecodeOf(frames[i]), AddSeconds(*DatecodeOf(clip.frames[i]), c.seconds))
                << c.name << i;
        EXPECT_EQ(ProbeFrames(produced), 50);
    }
    EXPECT_TRUE(Errors().empty());
}

TEST_F(ConversionsSlow, InsertedDatecodeRunsOneSecondPerSecondAndIsSigned) {
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

// Silence of each frame's length, for clips whose sound does not matter.
std::vector<std::vector<int16_t>> SilentPcm(size_t frames, bool is525) {
    std::vector<std::vector<int16_t>> pcm;
    for (size_t i = 0; i < frames; ++i)
        pcm.emplace_back(size_t(DifAudioSequencer::SamplesForFrame(is525, 48'000, int64_t(i))) * 2, 0);
    return pcm;
}

// A type 2 file whose first stream is interleaved DV ("iavs", audio inside the frames) and whose
// second is the same sound as PCM: what some capture tools write.
void WriteIavsWithAudio(const std::string& path, const std::vector<test::DvFrame>& frames,
                        const std::vector<std::vector<int16_t>>& pcm) {
    using namespace test;
    const auto info = DvInfoFromFrame(frames.front());
    uint32_t samples = 0;
    Bytes movi, index;
    uint32_t at = 4;
    const auto put = [&](std::string_view id, const Bytes& body) {
        PutCode(index, id);
        PutLe32(index, 0x10);
        PutLe32(index, at);
        PutLe32(index, uint32_t(body.size()));
        const Bytes chunk = Chunk(id, body);
        movi.insert(movi.end(), chunk.begin(), chunk.end());
        at += uint32_t(chunk.size());
    };
    for (size_t i = 0; i < frames.size(); ++i) {
        put("00db", frames[i]);
        const auto* bytes = reinterpret_cast<const uint8_t*>(pcm[i].data());
        put("01wb", Bytes(bytes, bytes + pcm[i].size() * 2));
        samples += uint32_t(pcm[i].size() / 2);
    }
    StreamHeader video{.type = "iavs", .handler = "dvsd", .length = uint32_t(frames.size())};
    StreamHeader audio{.type = "auds",
                       .handler = "",
                       .scale = 4,
                       .rate = 192'000,
                       .length = samples,
                       .sampleSize = 4,
                       .right = 0,
                       .bottom = 0};
    const Bytes file = Riff(
        "AVI ",
        {List("hdrl",
              {Chunk("avih", AvihBody(40'000, uint32_t(frames.size()), 2)),
               List("strl", {Chunk("strh", StrhBody(video)), Chunk("strf", Bytes(info.begin(), info.end()))}),
               List("strl", {Chunk("strh", StrhBody(audio)), Chunk("strf", WaveFormatBody())})}),
         List("movi", movi), Chunk("idx1", index)});
    test::WriteFileBytes(path, file);
}

TEST_F(ConversionsSlow, ConditionsFollowTheFile) {
    const auto pal = test::MakeDvAviClip(3, false);
    const auto ntsc = test::MakeDvAviClip(3, true);
    const std::string pal2 = dir.file("pal2.avi"), pal1 = dir.file("pal1.avi"), ntsc2 = dir.file("ntsc2.avi"),
                      iavs = dir.file("iavs.avi"), mute = dir.file("mute1.avi");
    test::WriteType2(pal2, pal.frames, pal.pcm, false);
    test::WriteType1(pal1, pal.frames, false);
    test::WriteType2(ntsc2, ntsc.frames, ntsc.pcm, true);
    WriteIavsWithAudio(iavs, pal.frames, pal.pcm);
    test::WriteType1(mute, pal.silentFrames, false);
    // Enabled per file, in the order pal2, pal1, ntsc2, iavs, mute.
    struct Case {
        TGraphCmd* cmd;
        std::vector<bool> enabled;
    };
    const Case cases[] = {
        {&conv.ConvertirDV1, {true, false, true, true, false}},
        {&conv.ConvertirDV2, {false, true, false, false, true}},
        {&conv.RecompresserDV2, {false, false, false, false, false}},
        {&conv.CorrigerType2, {false, false, false, true, false}},
        {&conv.ConvertirNTSC, {true, true, false, true, true}},
        {&conv.ConvertirPal, {false, false, true, false, false}},
        {&conv.Convertir16x9, {true, true, true, true, true}},
        {&conv.Convertir4x3, {false, false, false, false, false}},
        {&conv.Incruster, {true, true, true, true, true}},
        {&conv.ExtraireAudio, {true, true, true, true, false}},
    };
    const std::vector<std::string> files = {pal2, pal1, ntsc2, iavs, mute};
    for (const auto& c : cases)
        for (size_t i = 0; i < files.size(); ++i) {
            TaviFichier record(files[i]);
            bool visible = true, enabled = true;
            c.cmd->FileCondition(&record, visible, enabled);
            EXPECT_EQ(enabled, c.enabled[i]) << c.cmd->Name << " " << files[i];
        }
    // The system conversions are hidden where they would change nothing.
    TaviFichier ntscRecord(ntsc2);
    bool visible = true, enabled = true;
    conv.ConvertirNTSC.FileCondition(&ntscRecord, visible, enabled);
    EXPECT_FALSE(visible);
    EXPECT_EQ(conv.Find("convertirpal"), &conv.ConvertirPal);
    EXPECT_EQ(conv.Find("Renommer"), nullptr);
}

TEST_F(ConversionsSlow, CorrigerType2KeepsTheVideoPartAndTheSeparateSound) {
    const auto clip = test::MakeDvAviClip(20, false);
    const std::string source = dir.file("iavs.avi");
    WriteIavsWithAudio(source, clip.frames, clip.pcm);
    ASSERT_TRUE(Run(conv.CorrigerType2, source));
    const std::string fixed = dir.file("iavs_fixed.avi");
    ASSERT_TRUE(Exists(fixed));
    AviDemuxer demuxer(fixed);
    ASSERT_EQ(demuxer.streams().size(), 2u);
    EXPECT_EQ(graph::FourCCText(demuxer.streams()[0].Type), "vids");
    EXPECT_EQ(graph::FourCCText(demuxer.streams()[1].Type), "auds");
    const auto frames = ReadFrames(fixed);
    ASSERT_EQ(frames.size(), clip.frames.size());
    for (size_t i = 0; i < frames.size(); ++i) {
        EXPECT_TRUE(SameExcept(frames[i], clip.frames[i], IsAudioBlock)) << i;
        EXPECT_EQ(DatecodeOf(frames[i]), DatecodeOf(clip.frames[i])) << i;
    }
    EXPECT_EQ(FfmpegPcm(fixed), PcmBytes(clip.pcm));
    EXPECT_EQ(Probe(fixed, "stream=codec_name"), "dvvideo");
    TaviFichier record(fixed);
    EXPECT_FALSE(record.Iavs);
}

TEST_F(ConversionsSlow, SystemConversionWritesTheConfirmedShift) {
    // 25 PAL frames from 14 March 2026 10:20:30; the shift dialog last confirmed +3 hours.
    const auto clip = test::MakeDvAviClip(25, false);
    const std::string source = dir.file("pal.avi");
    test::WriteType2(source, clip.frames, clip.pcm, false);
    conv.Settings.ConfirmedShift = 0.125;
    ASSERT_TRUE(Run(conv.ConvertirNTSC, source));
    const auto frames = ReadFrames(dir.file("pal_ntsc.avi"));
    ASSERT_EQ(frames.size(), 30u);
    EXPECT_EQ(DatecodeOf(frames[0]), (DatecodeFields{2026, 3, 14, 13, 20, 30}));
    for (size_t j = 0; j < frames.size(); ++j)
        EXPECT_EQ(DatecodeOf(frames[j]), AddSeconds(*DatecodeOf(clip.frames[j * 1001 / 1200]), 3 * 3600))
            << j;
    EXPECT_TRUE(Errors().empty());
}

TEST_F(ConversionsSlow, SystemConversionKeepsRunningTimeSoundAndSourceDatecodes) {
    // 50 PAL frames: 2 s, a datecode that advances once per second.
    const auto clip = test::MakeDvAviClip(50, false);
    const std::string pal2 = dir.file("pal2.avi"), pal1 = dir.file("pal1.avi");
    test::WriteType2(pal2, clip.frames, clip.pcm, false);
    test::WriteType1(pal1, clip.frames, false);
    struct Case {
        std::string source, produced, firstStream;
    };
    const Case cases[] = {{pal2, dir.file("pal2_ntsc.avi"), "vids"},
                          {pal1, dir.file("pal1_ntsc.avi"), "iavs"}};
    for (const auto& c : cases) {
        ASSERT_TRUE(Run(conv.ConvertirNTSC, c.source)) << c.source;
        ASSERT_TRUE(Exists(c.produced)) << c.produced;
        const auto frames = ReadFrames(c.produced);
        // 2 s at 30000/1001 frames per second: 59.94 frames, so 60 whole ones.
        ASSERT_EQ(frames.size(), 60u) << c.produced;
        for (size_t j = 0; j < frames.size(); ++j) {
            ASSERT_EQ(frames[j].size(), kDvFrameBytes525);
            const size_t from = j * 1001 / 1200;  // the source frame on screen at the output time
            EXPECT_EQ(DatecodeOf(frames[j]), DatecodeOf(clip.frames[from])) << c.produced << " " << j;
            EXPECT_EQ(ReadSystem(frames[j]), true);
        }
        EXPECT_EQ(Probe(c.produced, "stream=width,height,r_frame_rate"), "720,480,30000/1001");
        EXPECT_EQ(ProbeFrames(c.produced), 60);
        AviDemuxer demuxer(c.produced);
        EXPECT_EQ(graph::FourCCText(demuxer.streams().at(0).Type), c.firstStream);
        // The sound lasts as long as the pictures, within one frame's worth of samples.
        const size_t samples = FfmpegPcm(c.produced).size() / 4;
        EXPECT_NEAR(double(samples), 60 * 1001.0 / 30000 * 48'000, 1602) << c.produced;
        // Its start is the source's own start.
        EXPECT_EQ(FfmpegPcm(c.produced).substr(0, 4000), PcmBytes(clip.pcm).substr(0, 4000)) << c.produced;
    }
    // And back to PAL: the running time stays within one frame of the source's.
    ASSERT_TRUE(Run(conv.ConvertirPal, dir.file("pal2_ntsc.avi")));
    const auto back = ReadFrames(dir.file("pal2_ntsc_pal.avi"));
    ASSERT_NEAR(double(back.size()), 50, 1);
    for (size_t j = 0; j < back.size(); ++j) {
        EXPECT_EQ(back[j].size(), kDvFrameBytes625);
        // Through the NTSC frame on screen at that time, to the PAL frame it came from.
        const size_t viaNtsc = std::min<size_t>(j * 1200 / 1001, 59);
        EXPECT_EQ(DatecodeOf(back[j]), DatecodeOf(clip.frames[viaNtsc * 1001 / 1200])) << j;
    }
    EXPECT_EQ(Probe(dir.file("pal2_ntsc_pal.avi"), "stream=width,height,r_frame_rate"), "720,576,25/1");
    EXPECT_TRUE(Errors().empty());
}

// Luma PSNR of `path`'s pictures against `reference`'s, scaled by ffmpeg to the same size and
// chroma, as ffmpeg's psnr filter gives it (0 when it gives nothing).
double LumaPsnr(const std::string& path, const std::string& reference, const std::string& size,
                const std::string& format) {
    const std::string out = test::RunCommand("ffmpeg -v info -nostdin -i " + test::ShellQuote(path) + " -i " +
                                             test::ShellQuote(reference) + " -lavfi \"[1:v]scale=" + size +
                                             ",format=" + format + "[r];[0:v][r]psnr\" -f null - 2>&1");
    const size_t at = out.find("PSNR y:");
    return at == std::string::npos ? 0 : std::atof(out.c_str() + at + 7);
}

TEST_F(ConversionsSlow, SystemConversionKeepsThePicture) {
    // A still test card with sharp edges, gradients and small text, as a PAL type 2 file.
    const std::string card = dir.file("card.png"), pal = dir.file("card.avi");
    ASSERT_EQ(test::RunStatus("ffmpeg -v error -nostdin -y -f lavfi -i testsrc2=size=720x576:rate=25 "
                              "-frames:v 1 " +
                              test::ShellQuote(card) + " && ffmpeg -v error -nostdin -y -loop 1 -i " +
                              test::ShellQuote(card) +
                              " -f lavfi -i sine=r=48000 -t 0.4 -c:v dvvideo -pix_fmt yuv420p -c:a "
                              "pcm_s16le -ac 2 " +
                              test::ShellQuote(pal)),
              0);
    ASSERT_TRUE(Run(conv.ConvertirNTSC, pal));
    const std::string ntsc = dir.file("card_ntsc.avi");
    EXPECT_GT(LumaPsnr(ntsc, pal, "720:480", "yuv411p"), 38.0);
    ASSERT_TRUE(Run(conv.ConvertirPal, ntsc));
    EXPECT_GT(LumaPsnr(dir.file("card_ntsc_pal.avi"), pal, "720:576", "yuv420p"), 33.0);
    EXPECT_TRUE(Errors().empty());
}

// The burn-in changes the picture only around the text, and every video segment of the frame
// that the text does not reach keeps the source's bytes, at both systems.
TEST_F(ConversionsSlow, BurnInChangesPixelsOnlyWhereTheTextIs) {
    for (const bool is525 : {false, true}) {
        SCOPED_TRACE(is525 ? "525/60" : "625/50");
        const auto clip = test::MakeDvAviClip(10, is525);
        const std::string source = dir.file(is525 ? "ntsc.avi" : "clip.avi");
        test::WriteType2(source, clip.frames, clip.pcm, is525);
        SharedOverlayTextSettings().setTemplates("%D1", "%D2");
        conv.OverlayPlacement = [] {
            TOverlayPlacement p;
            p.X = 500;
            p.Y = 500;
            p.Layout = 1;
            p.Font.Size = 28;
            return p;
        };
        int prepared = 0;
        conv.PrepareOverlay = [&](const TAbstractListFichier& record) {
            EXPECT_EQ(record.FileName, source);
            ++prepared;
        };
        ASSERT_TRUE(Run(conv.Incruster, source));
        EXPECT_EQ(prepared, 1);
        const std::string burnt = dir.file(is525 ? "ntsc_in.avi" : "clip_in.avi");
        const auto frames = ReadFrames(burnt);
        ASSERT_EQ(frames.size(), clip.frames.size());
        const OverlayGeometry g = cdm.Overlay().Geometry();
        ASSERT_GT(g.LineHeight, 0);
        constexpr int kMargin = 8;  // one DCT block: coding changes spread that far around an edge
        const int left = std::min(g.X1, g.X2) - kMargin, right = std::max(g.X1 + g.W1, g.X2 + g.W2) + kMargin;
        const int top = std::min(g.Y1, g.Y2) - kMargin,
                  bottom = std::max(g.Y1, g.Y2) + g.LineHeight + kMargin;
        const DvSegmentMap* map = DvSegmentMapFor(is525);
        ASSERT_NE(map, nullptr);
        std::vector<bool> reached(size_t(map->segments), false);
        for (int y = std::max(top, 0) / 8 * 8; y < std::min(bottom, is525 ? kDvHeight525 : kDvHeight625);
             y += 8)
            for (int x = std::max(left, 0) / 8 * 8; x < std::min(right, kDvWidth); x += 8)
                reached[size_t(map->segmentAt(x, y))] = true;
        DvDecoder decoder;
        for (size_t i = 0; i < frames.size(); i += 9) {
            int kept = 0, encoded = 0;
            for (int s = 0; s < map->segments; ++s) {
                bool same = true;
                for (int b = 0; b < kDvBlocksPerSegment; ++b) {
                    const auto at = ptrdiff_t(DvSegmentBlockOffset(s, b));
                    same = same && std::equal(frames[i].begin() + at,
                                              frames[i].begin() + at + ptrdiff_t(kDifBlockBytes),
                                              clip.frames[i].begin() + at);
                }
                if (!reached[size_t(s)]) {
                    ASSERT_TRUE(same) << "frame " << i << " segment " << s;
                }
                (same ? kept : encoded)++;
            }
            EXPECT_GT(encoded, 0) << i;
            EXPECT_GT(kept, map->segments / 2) << i;
            BgrPicture before, after;
            ASSERT_TRUE(decoder.decode(clip.frames[i], before));
            ASSERT_TRUE(decoder.decode(frames[i], after));
            int inside = 0, outside = 0;
            for (int y = 0; y < after.height; ++y) {
                const uint8_t* a = before.rowFromTop(y);
                const uint8_t* b = after.rowFromTop(y);
                for (int x = 0; x < after.width * 3; ++x) {
                    if (std::abs(int(a[x]) - int(b[x])) <= 48) continue;
                    const int px = x / 3;
                    (px >= left && px < right && y >= top && y < bottom ? inside : outside)++;
                }
            }
            EXPECT_GT(inside, 500) << i;
            EXPECT_EQ(outside, 0) << i;
            EXPECT_EQ(DatecodeOf(frames[i]), DatecodeOf(clip.frames[i])) << i;
            const int sequences = DifSequenceCount(frames[i].size());
            EXPECT_EQ(ReadTimecode(frames[i], sequences), ReadTimecode(clip.frames[i], sequences)) << i;
        }
        EXPECT_EQ(ProbeFrames(burnt), 10);
        EXPECT_EQ(FfmpegPcm(burnt), PcmBytes(clip.pcm));
    }
}

TEST_F(ConversionsSlow, AudioExtractionWritesTheDvSamples) {
    const auto clip = test::MakeDvAviClip(25, false);
    const std::string t2 = dir.file("t2.avi"), t1 = dir.file("t1.avi"), mute = dir.file("mute.avi");
    test::WriteType2(t2, clip.frames, clip.pcm, false);
    test::WriteType1(t1, clip.frames, false);
    test::WriteType1(mute, clip.silentFrames, false);
    for (const std::string& source : {t2, t1}) {
        ASSERT_TRUE(Run(conv.ExtraireAudio, source));
        const std::string wav = source.substr(0, source.size() - 4) + ".wav";
        ASSERT_TRUE(Exists(wav)) << wav;
        const auto bytes = test::ReadFileBytes(wav);
        // RIFF header, 18-byte format block, then the samples from byte 46.
        ASSERT_GT(bytes.size(), 46u);
        EXPECT_EQ(std::string(bytes.begin() + 46, bytes.end()), PcmBytes(clip.pcm)) << wav;
        EXPECT_EQ(Probe(wav, "stream=sample_rate,channels", "a:0"), "48000,2") << wav;
        EXPECT_EQ(FfmpegPcm(wav), PcmBytes(clip.pcm)) << wav;
    }
    // Without sound: nothing is written and nothing is said.
    bench.events.clear();
    Run(conv.ExtraireAudio, mute);
    EXPECT_FALSE(Exists(dir.file("mute.wav")));
    for (const auto& e : bench.events) EXPECT_FALSE(e.starts_with("err:") || e.starts_with("msg:")) << e;
}

// The sound graph reads no picture data: not a byte of a type 2 file's video chunks, and of a
// type 1 file's frames only their audio blocks. The WAV still holds every sample, a frame that
// carries no sound as silence of its length and a tape dropout as zero.
TEST_F(ConversionsSlow, AudioExtractionReadsOnlyTheSound) {
    struct Case {
        const char* label;
        bool type1;
        bool is525;
    };
    const Case cases[] = {{"type 2", false, false}, {"type 1 625", true, false}, {"type 1 525", true, true}};
    for (const auto& c : cases) {
        auto clip = test::MakeDvAviClip(12, c.is525);
        auto expected = clip.pcm;
        const std::string source =
            dir.file(std::string(c.type1 ? "t1_" : "t2_") + (c.is525 ? "525" : "625") + ".avi");
        const std::string wav = source.substr(0, source.size() - 4) + ".wav";
        if (c.type1) {
            // Frame 4 without audio; frame 7 with error words in the first audio block of the
            // first sequence, which holds left samples 0, 9H, 18H and 27H (H = 5 or 6 sequences).
            clip.frames[4] = clip.silentFrames[4];
            std::fill(expected[4].begin(), expected[4].end(), int16_t(0));
            const size_t row = c.is525 ? 45 : 54;
            for (size_t k = 0; k < 4; ++k) {
                clip.frames[7][6 * 80 + 8 + 2 * k] = 0x80;
                clip.frames[7][6 * 80 + 9 + 2 * k] = 0x00;
                expected[7][2 * k * row] = 0;
            }
            test::WriteType1(source, clip.frames, c.is525);
        } else {
            test::WriteType2(source, clip.frames, clip.pcm, c.is525);
        }
        graph::Graph* g = cdm.BuildAudioGraph(source, wav);
        ASSERT_NE(g, nullptr) << c.label;
        auto* avi = dynamic_cast<graph::AviSource*>(g->findFilter("source"));
        ASSERT_NE(avi, nullptr) << c.label;
        const AviDemuxer& demuxer = *avi->demuxer();
        std::vector<uint64_t> before;
        for (int s = 0; s < int(demuxer.streams().size()); ++s) before.push_back(demuxer.BytesRead(s));
        const auto event = test::RunToEnd(*g);
        ASSERT_TRUE(event && event->type == graph::GraphEvent::Type::Complete) << c.label;
        EXPECT_EQ(g->currentPosition(graph::TimeFormat::Frame), 12) << c.label;

        const int video = demuxer.VideoStream();
        const uint64_t videoRead = demuxer.BytesRead(video) - before[size_t(video)];
        if (c.type1) {
            const uint64_t audioBlocks = (c.is525 ? 10 : 12) * 9 * 80;
            EXPECT_EQ(videoRead, 12 * audioBlocks) << c.label;
        } else {
            EXPECT_EQ(videoRead, 0u) << c.label;
            const int audio = demuxer.AudioStream();
            EXPECT_EQ(demuxer.BytesRead(audio) - before[size_t(audio)], PcmBytes(clip.pcm).size()) << c.label;
        }

        const auto bytes = test::ReadFileBytes(wav);
        const std::string pcm = PcmBytes(expected);
        ASSERT_EQ(bytes.size(), 46 + pcm.size()) << c.label;
        EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF") << c.label;
        EXPECT_EQ(std::string(bytes.begin() + 46, bytes.end()), pcm) << c.label;
    }
}

TEST_F(ConversionsSlow, RecompressionMakesDvOfTheChosenFormat) {
    struct Case {
        const char* codec;
        const char* standard;
        const char* ratio;
        const char* frequence;
        const char* expected;  // width,height,display ratio,rate
        const char* rate;
    };
    const Case cases[] = {
        {"mjpeg", "0", "0", "2", "720,576,4:3,25/1", "48000"},
        {"mpeg4", "1", "1", "0", "720,480,16:9,30000/1001", "32000"},
    };
    for (const auto& c : cases) {
        const std::string source = dir.file(std::string("clip_") + c.codec + ".avi");
        ASSERT_EQ(
            test::RunStatus("ffmpeg -v error -nostdin -y -f lavfi -i testsrc=size=320x240:rate=25 -f lavfi "
                            "-i sine=frequency=440:sample_rate=44100 -t 1 -c:v " +
                            std::string(c.codec) + " -c:a pcm_s16le " + test::ShellQuote(source)),
            0);
        ASSERT_TRUE(conv.Settings.Set("StandardDV", c.standard));
        ASSERT_TRUE(conv.Settings.Set("RatioDV", c.ratio));
        ASSERT_TRUE(conv.Settings.Set("FrequenceDV", c.frequence));
        ASSERT_TRUE(Run(conv.RecompresserDV2, source)) << c.codec;
        const std::string produced = source.substr(0, source.size() - 4) + "_dvtype2.avi";
        ASSERT_TRUE(Exists(produced)) << c.codec;
        EXPECT_EQ(Probe(produced, "stream=codec_name"), "dvvideo") << c.codec;
        EXPECT_EQ(Probe(produced, "stream=width,height,r_frame_rate,display_aspect_ratio"), c.expected)
            << c.codec;
        EXPECT_EQ(Probe(produced, "stream=sample_rate", "a:0"), c.rate) << c.codec;
        const int frames = ProbeFrames(produced);
        EXPECT_NEAR(frames, c.standard[0] == '0' ? 25 : 30, 1) << c.codec;
        TaviFichier record(produced);
        EXPECT_TRUE(record.IsDV) << c.codec;
        EXPECT_EQ(record.DVType, 2) << c.codec;
    }
    EXPECT_TRUE(Errors().empty());
}

TEST_F(ConversionsSlow, InterruptedRunLeavesAReadableListedFile) {
    DvClip recipe;
    recipe.scenes = {DvScene{30, test::kClipStart, 0}, DvScene{30, AddSeconds(test::kClipStart, 3600), 1}};
    recipe.audio = AudioInfo{48'000, 2, 16};
    const auto frames = test::BuildDvStream(recipe);
    const std::string source = dir.file("two.avi");
    test::WriteType2(source, frames, SilentPcm(frames.size(), false), false);

    // At the second scene the file is interrupted; the streaming thread waits there until the
    // command has noticed, so the output is cut at a known place.
    std::mutex m;
    std::condition_variable cv;
    bool noticed = false;
    bench.engine.OnEndProgress = [&] {
        std::lock_guard lock(m);
        noticed = true;
        cv.notify_all();
    };
    const auto build = conv.Incruster.OnBuildGraph;
    conv.Incruster.OnBuildGraph = [&](TAbstractListFichier* r, const std::string& d, const CmdParams& p,
                                      int passe) {
        graph::Graph* g = build(r, d, p, passe);
        cdm.SceneDetect.OnSceneBreak = [&](const TDVFrameInfo&, const TDVFrameInfo& current) {
            if (current.Frame == 0) return;
            bench.engine.InterruptFile();
            std::unique_lock lock(m);
            cv.wait_for(lock, std::chrono::seconds(30), [&] { return noticed; });
        };
        return g;
    };
    ASSERT_TRUE(Run(conv.Incruster, source));
    const std::string produced = dir.file("two_in.avi");
    ASSERT_TRUE(Exists(produced));
    const auto written = ReadFrames(produced);
    EXPECT_GT(written.size(), 0u);
    EXPECT_LT(written.size(), frames.size());
    for (size_t i = 0; i < written.size(); ++i) EXPECT_EQ(DatecodeOf(written[i]), DatecodeOf(frames[i])) << i;
    EXPECT_EQ(ProbeFrames(produced), int(written.size()));
    const auto listed = bench.ListedPaths();
    EXPECT_NE(std::find(listed.begin(), listed.end(), produced), listed.end());
    EXPECT_TRUE(Errors().empty());
}

TEST_F(ConversionsSlow, FullDiskOrUnwritableFolderLeavesNothingAndSaysSo) {
    const auto clip = test::MakeDvAviClip(30, false);
    const std::string source = dir.file("clip.avi");
    test::WriteType2(source, clip.frames, clip.pcm, false);
    const std::string blocker = dir.file("plain");
    test::WriteText(blocker, "not a folder");

    struct Case {
        const char* what;
        std::string destination;
        rlim_t limit;
    };
    const Case cases[] = {
        {"full disk", dir.file("clip_16x9.avi"), 1'000'000},
        {"unwritable folder", blocker + "/clip_16x9.avi", RLIM_INFINITY},
    };
    for (const auto& c : cases) {
        bench.events.clear();
        conv.DestinationPath = [&](const std::string&, const std::string&) { return c.destination; };
        rlimit saved{};
        ::getrlimit(RLIMIT_FSIZE, &saved);
        const auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = saved;
        limited.rlim_cur = std::min(c.limit, saved.rlim_max);
        ::setrlimit(RLIMIT_FSIZE, &limited);
        const bool ran = Run(conv.Convertir16x9, source);
        ::setrlimit(RLIMIT_FSIZE, &saved);
        ::signal(SIGXFSZ, oldHandler);
        ASSERT_TRUE(ran) << c.what;
        EXPECT_FALSE(Exists(c.destination)) << c.what;
        const auto errors = Errors();
        ASSERT_EQ(errors.size(), 1u) << c.what;
        EXPECT_TRUE(errors[0].starts_with("err:Une erreur s'est produite pendant la conversion de " + source +
                                          " en 16x9"))
            << errors[0];
        // Nothing else was left beside the source.
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(dir.path()))
            names.push_back(e.path().string());
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, (std::vector<std::string>{source, blocker})) << c.what;
        const auto listed = bench.ListedPaths();
        EXPECT_EQ(std::find(listed.begin(), listed.end(), c.destination), listed.end()) << c.what;
    }
}

// DV sound as camcorders record it: 16-bit stereo, 12-bit stereo and 12-bit with both pairs, in
// type 1 and type 2. The record, the extracted WAV and the outside readers agree on the channels.
TEST_F(ConversionsSlow, AudioChannelsAgreeInTheRecordTheWavAndOutsideReaders) {
    if (!test::HaveProgram("mediainfo")) GTEST_SKIP() << "mediainfo missing";
    struct Case {
        int32_t frequency, bits, channels;
        bool type1;
        const char* channelsText;
    };
    const Case cases[] = {
        {48'000, 16, 2, true, " stéréo"},     {48'000, 16, 2, false, " stéréo"},
        {32'000, 12, 2, true, " stéréo"},     {32'000, 12, 2, false, " stéréo"},
        {32'000, 12, 4, true, " stéréo (4)"}, {32'000, 12, 4, false, " stéréo (4)"},
    };
    int n = 0;
    for (const Case& c : cases) {
        const std::string label = std::to_string(c.bits) + " bits, " + std::to_string(c.channels) +
                                  " canaux, type " + (c.type1 ? "1" : "2");
        test::DvStreamRecipe recipe;
        recipe.scenes = {DvScene{6, test::kClipStart, 0}};
        auto frames = test::BuildDvStream(recipe);
        const DifAudioFormat format{c.frequency, c.bits, c.channels};
        std::vector<std::vector<int16_t>> pcm;
        for (size_t i = 0; i < frames.size(); ++i) {
            const int32_t samples = DifAudioSequencer::SamplesForFrame(false, c.frequency, int64_t(i));
            std::vector<int16_t> p(size_t(samples) * size_t(c.channels));
            for (size_t s = 0; s < p.size(); ++s) p[s] = int16_t((s * 37) % 2000 - 1000);
            ASSERT_TRUE(EncodeDifAudio(frames[i], format, p, samples)) << label;
            pcm.push_back(std::move(p));
        }
        const std::string path = dir.file("clip" + std::to_string(n++) + ".avi");
        if (c.type1) {
            test::WriteType1(path, frames, false);
        } else {
            auto settings = test::DvSettings(false, AviWriterSettings::Kind::DvType2);
            settings.Channels = uint16_t(c.channels);
            settings.SampleRate = uint32_t(c.frequency);
            AviWriter writer(path, settings);
            for (size_t i = 0; i < frames.size(); ++i) {
                writer.WriteVideo(frames[i]);
                const auto* bytes = reinterpret_cast<const uint8_t*>(pcm[i].data());
                writer.WriteAudio(std::span<const uint8_t>(bytes, pcm[i].size() * 2));
            }
            writer.Finish();
        }
        bench.Open({path});
        const auto* record = dynamic_cast<const TaviFichier*>(bench.Record(path));
        ASSERT_NE(record, nullptr) << label;
        EXPECT_EQ(record->ChannelsText, c.channelsText) << label;
        const int32_t bytesPerSecond = c.frequency * c.channels * 2;
        EXPECT_EQ(record->AudioFormatText, "PCM " + std::to_string(bytesPerSecond) + " octets/s") << label;

        ASSERT_TRUE(Run(conv.ExtraireAudio, path)) << label;
        const std::string wav = path.substr(0, path.size() - 4) + ".wav";
        EXPECT_EQ(Probe(wav, "stream=sample_rate,channels", "a:0"),
                  std::to_string(c.frequency) + "," + std::to_string(c.channels))
            << label;
        // Outside readers of the WAV; the DV file itself is not asked, since ffprobe and
        // mediainfo always report 12-bit 32 kHz DV as two pairs, the second one empty or not.
        int status = 0;
        EXPECT_EQ(
            test::RunCommand("mediainfo '--Inform=Audio;%Channel(s)%' " + test::ShellQuote(wav), &status),
            std::to_string(c.channels) + "\n")
            << label;
    }
}

}  // namespace
}  // namespace velinor
