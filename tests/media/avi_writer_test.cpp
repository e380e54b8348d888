#include "media/avi_writer.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "media/avi_demuxer.h"
#include "media/dv_frame_source.h"
#include "media/media_error.h"
#include "support/avi_fixtures.h"

namespace velinor {
namespace {

using test::TempDir;

const std::vector<std::vector<uint8_t>>& PalFrames() {
    static const auto frames = test::EncodeDvFrames(12, true);
    return frames;
}

const std::vector<std::vector<uint8_t>>& NtscFrames() {
    static const auto frames = test::EncodeDvFrames(6, false);
    return frames;
}

// 1920 bytes of 16-bit stereo PCM per PAL frame (48 kHz / 25), each sample tagged with its frame.
std::vector<uint8_t> PcmFor(size_t frame, size_t bytes = 7680) {
    std::vector<uint8_t> pcm(bytes);
    for (size_t i = 0; i < bytes; ++i) pcm[i] = uint8_t(frame * 31 + i);
    return pcm;
}

AviWriterSettings Settings(AviWriterSettings::Kind kind, bool pal = true) {
    AviWriterSettings s;
    s.Type = kind;
    s.Rate = pal ? 25 : 30000;
    s.Scale = pal ? 1 : 1001;
    s.Height = pal ? 576 : 480;
    s.DvInfoBlock = DvInfoFromFrame((pal ? PalFrames() : NtscFrames()).front());
    return s;
}

// Writes `frames` (cycled `count` times over) to `path`, with one audio chunk per frame in type 2.
void WriteFile(const std::string& path, AviWriterSettings settings,
               const std::vector<std::vector<uint8_t>>& frames, size_t count) {
    const bool audio = settings.Type == AviWriterSettings::Kind::DvType2 && settings.Channels > 0;
    AviWriter w(path, std::move(settings));
    for (size_t i = 0; i < count; ++i) {
        w.WriteVideo(frames[i % frames.size()]);
        if (audio) w.WriteAudio(PcmFor(i));
    }
    w.Finish();
}

void ExpectFramesEqual(const AviDemuxer& d, int stream, const std::vector<std::vector<uint8_t>>& frames,
                       size_t count) {
    ASSERT_EQ(d.streams()[size_t(stream)].SampleCount, int64_t(count));
    std::vector<uint8_t> got;
    for (size_t i = 0; i < count; ++i) {
        ASSERT_TRUE(d.Read(stream, int64_t(i), got)) << i;
        ASSERT_EQ(got, frames[i % frames.size()]) << "frame " << i;
    }
}

TEST(AviWriter, RoundTripsFramesAndAudioOfBothTypes) {
    ASSERT_FALSE(PalFrames().empty()) << "ffmpeg is needed to encode DV";
    struct Case {
        const char* name;
        AviWriterSettings::Kind kind;
        bool pal;
        uint64_t formLimit;  // small limits force RIFF AVIX forms
        size_t frames;
    };
    const Case kCases[] = {
        {"type1-pal", AviWriterSettings::Kind::DvType1, true, 1'000'000'000, 12},
        {"type2-pal", AviWriterSettings::Kind::DvType2, true, 1'000'000'000, 12},
        {"type1-ntsc", AviWriterSettings::Kind::DvType1, false, 1'000'000'000, 6},
        {"type2-ntsc", AviWriterSettings::Kind::DvType2, false, 1'000'000'000, 6},
        {"type1-odml", AviWriterSettings::Kind::DvType1, true, 1 << 20, 40},
        {"type2-odml", AviWriterSettings::Kind::DvType2, true, 1 << 20, 40},
    };
    TempDir dir;
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        const auto& frames = c.pal ? PalFrames() : NtscFrames();
        auto settings = Settings(c.kind, c.pal);
        settings.FormLimit = c.formLimit;
        const std::string path = dir.file(std::string(c.name) + ".avi");
        WriteFile(path, settings, frames, c.frames);

        AviDemuxer d(path);
        EXPECT_FALSE(d.IndexRebuilt());
        const bool type1 = c.kind == AviWriterSettings::Kind::DvType1;
        ASSERT_EQ(d.streams().size(), type1 ? 1u : 2u);
        const AviStreamInfo& v = d.streams()[0];
        EXPECT_EQ(v.Kind, type1 ? AviStreamKind::Interleaved : AviStreamKind::Video);
        EXPECT_EQ(v.Codec(), FourCC("dvsd"));
        EXPECT_EQ(v.DeclaredLength, c.frames);
        EXPECT_NEAR(double(v.Duration100ns), double(c.frames) * (c.pal ? 400'000.0 : 1e7 * 1001 / 30000),
                    1.0);
        ExpectFramesEqual(d, 0, frames, c.frames);
        for (int64_t n = 0; n < int64_t(c.frames); ++n) {
            const int64_t start = d.TickTime100ns(0, n);
            EXPECT_EQ(d.SampleAtTime(0, start), n);
            EXPECT_EQ(d.SampleAtTime(0, start - 1), n == 0 ? std::nullopt : std::optional<int64_t>(n - 1));
        }
        if (type1) {
            const auto format = v.MediaFormat();
            ASSERT_EQ(format.size(), 32u);
            const DvInfo expected = DvInfoFromFrame(frames[0]);
            EXPECT_TRUE(std::equal(expected.begin(), expected.end(), format.begin()));
        } else {
            const AviStreamInfo& a = d.streams()[1];
            EXPECT_EQ(a.Kind, AviStreamKind::Audio);
            EXPECT_EQ(a.Length, int64_t(c.frames) * 1920);  // 7680 bytes = 1920 stereo samples
            std::vector<uint8_t> pcm;
            for (size_t i = 0; i < c.frames; ++i) {
                ASSERT_TRUE(d.Read(1, int64_t(i), pcm));
                ASSERT_EQ(pcm, PcmFor(i)) << i;
            }
        }
        EXPECT_EQ(d.IsOpenDml(), true);
    }
}

TEST(AviWriter, OddChunksArePaddedAndReadBack) {
    TempDir dir;
    AviWriterSettings settings;
    settings.Type = AviWriterSettings::Kind::DvType1;
    const std::string path = dir.file("odd.avi");
    std::vector<std::vector<uint8_t>> chunks;
    {
        AviWriter w(path, settings);
        for (size_t size : {1, 2, 7, 0, 301, 144'001}) {
            chunks.emplace_back(size, uint8_t(size));
            w.WriteVideo(chunks.back());
        }
        w.Finish();
    }
    AviDemuxer d(path);
    EXPECT_FALSE(d.IndexRebuilt());
    ExpectFramesEqual(d, 0, chunks, chunks.size());
    EXPECT_EQ(std::filesystem::file_size(path) % 2, 0u);
}

TEST(AviWriter, DvInfoCarriesTheFramePacks) {
    ASSERT_FALSE(PalFrames().empty());
    const DvInfo info = DvInfoFromFrame(PalFrames()[0]);
    // VAUX source pack: the 625/50 flag (PC3 bit 5) is set for PAL.
    EXPECT_NE(info[16 + 2] & 0x20, 0);
    // AAUX source pack: sampling frequency 48 kHz is code 0 in PC4 bits 3-5.
    EXPECT_EQ((info[3] >> 3) & 7, 0);
    const std::vector<uint8_t> notDv(1000, 0);
    const DvInfo none = DvInfoFromFrame(notDv);
    EXPECT_EQ(none[0], 0xFF);
}

TEST(AviWriter, WritesInfoEntries) {
    ASSERT_FALSE(PalFrames().empty());
    TempDir dir;
    auto settings = Settings(AviWriterSettings::Kind::DvType2);
    settings.Info = {{"ISFT", "Velinor"}, {"IMRV", "2007-03-04 10:11:12"}};
    WriteFile(dir.file("info.avi"), settings, PalFrames(), 3);
    AviDemuxer d(dir.file("info.avi"));
    EXPECT_EQ(d.InfoText(FourCC("IMRV")), "2007-03-04 10:11:12");
    EXPECT_EQ(d.InfoText(FourCC("ISFT")), "Velinor");
}

TEST(AviWriter, StoppedRunLeavesAFinalizedFile) {
    ASSERT_FALSE(PalFrames().empty());
    TempDir dir;
    const std::string path = dir.file("stopped.avi");
    std::string temp;
    {
        auto settings = Settings(AviWriterSettings::Kind::DvType2);
        settings.FormLimit = 1 << 20;
        AviWriter w(path, settings);
        temp = w.TemporaryPath();
        for (size_t i = 0; i < 9; ++i) {
            w.WriteVideo(PalFrames()[i]);
            w.WriteAudio(PcmFor(i));
        }
        EXPECT_FALSE(std::filesystem::exists(path)) << "nothing under the user's name before the end";
        EXPECT_TRUE(std::filesystem::exists(temp));
    }
    EXPECT_FALSE(std::filesystem::exists(temp));
    AviDemuxer d(path);
    EXPECT_FALSE(d.IndexRebuilt());
    ExpectFramesEqual(d, 0, PalFrames(), 9);
}

TEST(AviWriter, FailuresLeaveNothingUnderTheName) {
    ASSERT_FALSE(PalFrames().empty());
    TempDir dir;
    // An existing name is refused unless replacing was asked for.
    const std::string existing = dir.file("existing.avi");
    test::WriteFileBytes(existing, {1, 2, 3});
    EXPECT_THROW(AviWriter(existing, Settings(AviWriterSettings::Kind::DvType1)), MediaError);
    EXPECT_EQ(std::filesystem::file_size(existing), 3u);
    auto replace = Settings(AviWriterSettings::Kind::DvType1);
    replace.ReplaceExisting = true;
    WriteFile(existing, replace, PalFrames(), 2);
    EXPECT_EQ(AviDemuxer(existing).streams()[0].SampleCount, 2);

    // A read-only folder.
    if (::geteuid() != 0) {
        const std::string ro = dir.file("ro");
        std::filesystem::create_directory(ro);
        std::filesystem::permissions(ro,
                                     std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
        EXPECT_THROW(AviWriter(ro + "/x.avi", Settings(AviWriterSettings::Kind::DvType1)), MediaError);
        EXPECT_TRUE(std::filesystem::is_empty(ro));
    }

    // A full disk, stood in for by a file size limit in a child process.
    const std::string full = dir.file("full.avi");
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{2'000'000, 2'000'000};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        int code = 1;
        try {
            WriteFile(full, Settings(AviWriterSettings::Kind::DvType1), PalFrames(), 30);
        } catch (const MediaError&) {
            code = 0;
        }
        ::_exit(code);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the failed write must be reported";
    EXPECT_FALSE(std::filesystem::exists(full));
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        EXPECT_EQ(e.path().filename().string().rfind(".full.avi", 0), std::string::npos)
            << "temporary file left";
}

TEST(AviWriter, FrameSourceReadsBothTypesInOrder) {
    ASSERT_FALSE(PalFrames().empty());
    TempDir dir;
    for (auto kind : {AviWriterSettings::Kind::DvType1, AviWriterSettings::Kind::DvType2}) {
        const std::string path = dir.file(kind == AviWriterSettings::Kind::DvType1 ? "t1.avi" : "t2.avi");
        WriteFile(path, Settings(kind), PalFrames(), 12);
        auto source = OpenAviDvFrameSource(path);
        std::vector<uint8_t> frame;
        size_t n = 0;
        while (source->next(frame)) {
            ASSERT_LT(n, 12u);
            EXPECT_EQ(frame, PalFrames()[n]) << n;
            ++n;
        }
        EXPECT_EQ(n, 12u);
    }
}

// Frame count, duration and streams as ffprobe and mediainfo see them.
struct OutsideView {
    std::string streams;  // "iavs"-style summary: codec types in order
    long frames = -1;
    double duration = -1;
};

// The value after each "key=" in `text`, in order.
std::vector<std::string> Values(const std::string& text, const std::string& key) {
    std::vector<std::string> out;
    for (size_t at = text.find(key + "="); at != std::string::npos; at = text.find(key + "=", at + 1)) {
        const size_t from = at + key.size() + 1;
        out.push_back(text.substr(from, text.find_first_of("\n|", from) - from));
    }
    return out;
}

OutsideView Ffprobe(const std::string& path) {
    std::string out;
    OutsideView v;
    if (test::RunCommand(
            "ffprobe -v error -count_packets -show_entries stream=codec_type,codec_name,nb_read_packets "
            "-show_entries format=duration -of default=nw=1 '" +
                path + "'",
            &out) != 0)
        return v;
    for (const std::string& codec : Values(out, "codec_name"))
        v.streams += (v.streams.empty() ? "" : ",") + codec;
    const auto packets = Values(out, "nb_read_packets");
    const auto duration = Values(out, "duration");
    if (!packets.empty()) v.frames = std::stol(packets[0]);
    if (!duration.empty()) v.duration = std::stod(duration[0]);
    return v;
}

OutsideView Mediainfo(const std::string& path) {
    std::string out;
    OutsideView v;
    if (test::RunCommand(
            "mediainfo --Inform='Video;frames=%FrameCount%|ms=%Duration%|format=%Format%\\n' '" + path + "'",
            &out) != 0)
        return v;
    const auto frames = Values(out, "frames"), ms = Values(out, "ms"), format = Values(out, "format");
    if (frames.empty() || ms.empty() || format.empty()) return v;
    v.frames = std::stol(frames[0]);
    v.duration = std::stod(ms[0]) / 1000.0;
    v.streams = format[0];
    return v;
}

void ExpectOutsideReadersAgree(const std::string& path, size_t frames, bool type1) {
    const OutsideView probe = Ffprobe(path);
    EXPECT_EQ(probe.streams, type1 ? "dvvideo,pcm_s16le" : "dvvideo,pcm_s16le");
    EXPECT_EQ(probe.frames, long(frames));
    EXPECT_NEAR(probe.duration, double(frames) / 25.0, 0.05);
    const OutsideView info = Mediainfo(path);
    EXPECT_EQ(info.streams, "DV");
    EXPECT_EQ(info.frames, long(frames));
    EXPECT_NEAR(info.duration, double(frames) / 25.0, 0.05);
}

TEST(AviWriter, OutsideReadersAgree) {
    ASSERT_FALSE(PalFrames().empty());
    if (!test::HaveProgram("ffprobe") || !test::HaveProgram("mediainfo"))
        GTEST_SKIP() << "ffprobe or mediainfo missing";
    TempDir dir;
    for (auto kind : {AviWriterSettings::Kind::DvType1, AviWriterSettings::Kind::DvType2}) {
        for (uint64_t limit : {uint64_t(1'000'000'000), uint64_t(1 << 20)}) {
            const bool type1 = kind == AviWriterSettings::Kind::DvType1;
            SCOPED_TRACE(std::string(type1 ? "type 1" : "type 2") + (limit < 2'000'000 ? " OpenDML" : ""));
            auto settings = Settings(kind);
            settings.FormLimit = limit;
            const std::string path = dir.file("outside.avi");
            std::filesystem::remove(path);
            WriteFile(path, settings, PalFrames(), 40);
            ExpectOutsideReadersAgree(path, 40, type1);
        }
    }
}

// Past the 1 GB form limit with the default settings: about 7 500 PAL frames.
TEST(AviWriterSlow, OpenDmlBeyondOneGigabyte) {
    ASSERT_FALSE(PalFrames().empty());
    TempDir dir;
    const size_t count = 7'600;
    for (auto kind : {AviWriterSettings::Kind::DvType2, AviWriterSettings::Kind::DvType1}) {
        const bool type1 = kind == AviWriterSettings::Kind::DvType1;
        SCOPED_TRACE(type1 ? "type 1" : "type 2");
        const std::string path = dir.file("big.avi");
        std::filesystem::remove(path);
        WriteFile(path, Settings(kind), PalFrames(), count);
        ASSERT_GT(std::filesystem::file_size(path), uint64_t(1) << 30);
        {
            AviDemuxer d(path);
            EXPECT_FALSE(d.IndexRebuilt());
            ExpectFramesEqual(d, 0, PalFrames(), count);
        }
        if (test::HaveProgram("ffprobe") && test::HaveProgram("mediainfo"))
            ExpectOutsideReadersAgree(path, count, type1);
    }
}

}  // namespace
}  // namespace velinor
