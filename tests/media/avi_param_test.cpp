#include "media/avi_param.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "support/riff_builder.h"

namespace velinor {
namespace {

using test::Bytes;
using test::Chunk;
using test::Concat;
using test::List;
using test::Riff;
using test::StrhBody;

TAviParam Walk(const Bytes& bytes) {
    return TAviParam(MemoryRiffSource(bytes));
}

Bytes VideoStrl(std::string_view handler, std::string_view compression) {
    return List("strl", {Chunk("strh", StrhBody({.type = "vids", .handler = handler})),
                         Chunk("strf", test::BitmapInfoBody(compression))});
}
Bytes AudioStrl() {
    return List("strl",
                {Chunk("strh", StrhBody({.type = "auds", .handler = std::string_view("\0\0\0\0", 4)})),
                 Chunk("strf", test::WaveFormatBody())});
}
Bytes Movi() {
    return List("movi", {Chunk("00dc", Bytes(10, 1))});
}
Bytes AviForm(std::initializer_list<Bytes> hdrlChildren) {
    return Riff("AVI ", {List("hdrl", hdrlChildren), Movi()});
}
Bytes Nested(int depth) {
    Bytes inner = Chunk("JUNK", Bytes(2, 0));
    for (int i = 0; i < depth; ++i) inner = List("deep", inner);
    return inner;
}

struct WalkCase {
    const char* name;
    Bytes file;
    bool valid;
    size_t streams;
    int video;
    int audio;
    const char* fourcc;
};

TEST(AviParam, WalksWellFormedAndDamagedFiles) {
    const Bytes type2 = test::Type2Avi();
    Bytes sizePastEnd = type2;
    test::SetLe32(sizePastEnd, 4, test::GetLe32(type2, 4) + 100);  // 100 bytes beyond the file
    Bytes childPastList = AviForm({Chunk("avih", test::AvihBody()), VideoStrl("dvsd", "dvsd")});
    test::SetLe32(childPastList, 28, 0xF0);  // avih size runs past hdrl
    const Bytes shortIndx =
        AviForm({List("strl", {Chunk("strh", StrhBody({.type = "vids", .handler = "CDVC"})),
                               Chunk("indx", Bytes(20, 0)), Chunk("strf", test::BitmapInfoBody("dvsd"))}),
                 AudioStrl()});

    const WalkCase cases[] = {
        {"type 2 DV", type2, true, 2, 0, 1, "dvsd"},
        {"type 1 DV", test::Type1Avi("CDVC"), true, 1, 0, -1, "CDVC"},
        {"handler 0 takes biCompression", AviForm({VideoStrl(std::string_view("\0\0\0\0", 4), "dvsd")}), true,
         1, 0, -1, "dvsd"},
        {"audio before video", AviForm({AudioStrl(), VideoStrl("dvsd", "dvsd")}), true, 2, 1, 0, "dvsd"},
        {"second video stream does not win", AviForm({VideoStrl("dv25", "dv25"), VideoStrl("MJPG", "MJPG")}),
         true, 2, 0, -1, "dv25"},
        {"AVI form then AVIX form", Concat({type2, Riff("AVIX", {Movi()})}), true, 2, 0, 1, "dvsd"},
        {"then a third chunk that is not RIFF",
         Concat({type2, Riff("AVIX", {Movi()}), Chunk("JUNK", Bytes(8, 0))}), true, 2, 0, 1, "dvsd"},
        {"lower-case form type", Riff("avi ", {List("hdrl", {VideoStrl("dvsd", "dvsd")})}), true, 1, 0, -1,
         "dvsd"},
        {"odd chunk and its pad byte", AviForm({Chunk("JUNK", Bytes(3, 7)), VideoStrl("dvsd", "dvsd")}), true,
         1, 0, -1, "dvsd"},
        {"short indx ends its stream list", shortIndx, true, 2, 0, 1, "CDVC"},
        {"deep nesting outside the headers",
         Riff("AVI ", {List("hdrl", {VideoStrl("dvsd", "dvsd")}), Nested(2000)}), true, 1, 0, -1, "dvsd"},
        {"no hdrl", Riff("AVI ", {Movi()}), true, 0, -1, -1, "####"},
        {"RIFF size past the end", sizePastEnd, false, 0, -1, -1, "####"},
        {"hdrl child past its list", childPastList, false, 0, -1, -1, "####"},
        {"WAVE file", Riff("WAVE", {Chunk("fmt ", test::WaveFormatBody()), Chunk("data", Bytes(16, 0))}),
         false, 0, -1, -1, "####"},
        {"RIFF of size 0", test::RawChunk("RIFF", 0, {}), false, 0, -1, -1, "####"},
        {"empty file", Bytes{}, false, 0, -1, -1, "####"},
        {"text renamed .avi", Bytes{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '\n'}, false, 0,
         -1, -1, "####"},
    };
    for (const auto& c : cases) {
        const TAviParam param = Walk(c.file);
        EXPECT_EQ(param.Valid, c.valid) << c.name;
        EXPECT_EQ(param.Streams.size(), c.streams) << c.name;
        EXPECT_EQ(param.VideoStream, c.video) << c.name;
        EXPECT_EQ(param.AudioStream, c.audio) << c.name;
        EXPECT_EQ(FourCCText(param.VideoFourCC()), c.fourcc) << c.name;
    }
}

TEST(AviParam, ShortIndxStopsItsStreamListButNotTheHeaderList) {
    const Bytes file =
        AviForm({List("strl", {Chunk("strh", StrhBody({.type = "vids", .handler = "CDVC"})),
                               Chunk("indx", Bytes(20, 0)), Chunk("strf", test::BitmapInfoBody("dvsd"))}),
                 AudioStrl()});
    const TAviParam param = Walk(file);
    ASSERT_EQ(param.Streams.size(), 2u);
    EXPECT_EQ(param.Streams[0].FormatSize, 0u);  // strf after the short indx is not read
    EXPECT_GT(param.Streams[0].IndexEntriesPos, 0);
    EXPECT_EQ(param.Streams[1].FormatSize, 18u);
}

TEST(AviParam, KeepsHeadersFormatsAndIndexPosition) {
    const Bytes indx = [] {
        Bytes body(256, 0);
        body[0] = 4;
        return body;
    }();
    const Bytes file = AviForm(
        {Chunk("avih", test::AvihBody(40000, 7, 1)),
         List("strl", {Chunk("strh", StrhBody({.type = "vids", .scale = 1001, .rate = 30000})),
                       Chunk("strf", test::BitmapInfoBody("dvsd", 720, 480, true)), Chunk("indx", indx)}),
         List("odml", {Chunk("dmlh", Bytes(248, 9))})});
    const TAviParam param = Walk(file);
    ASSERT_TRUE(param.Valid);
    ASSERT_EQ(param.Streams.size(), 1u);
    const TAvistream& s = param.Streams[0];
    EXPECT_EQ(s.HeaderSize, 56u);
    EXPECT_EQ(Le32(s.Header.data() + 20), 1001u);
    EXPECT_EQ(Le32(s.Header.data() + 24), 30000u);
    EXPECT_EQ(s.FormatSize, 72u);  // bitmap header and DV info
    EXPECT_EQ(Le32(s.Format.data() + 8), 480u);
    EXPECT_EQ(Le32(s.Format.data() + 40), 0x11111111u);
    EXPECT_EQ(s.IndexHeader[0], 4);
    // indx body starts after RIFF(12) hdrl(12) avih(64) strl(12) strh(64) strf(80) header(8).
    EXPECT_EQ(s.IndexEntriesPos, 12 + 12 + 64 + 12 + 64 + 80 + 8 + 24);
    EXPECT_EQ(Le32(param.MainHeader.data() + 16), 7u);
    EXPECT_EQ(param.OdmlHeader[247], 9);
}

TEST(AviParam, TruncationAtEveryByteNeverCrashesAndIsNeverValid) {
    for (const Bytes& whole : {test::Type2Avi(), test::Type1Avi()}) {
        EXPECT_TRUE(Walk(whole).Valid);
        for (size_t n = 0; n < whole.size(); ++n) {
            const Bytes cut(whole.begin(), whole.begin() + static_cast<ptrdiff_t>(n));
            EXPECT_FALSE(Walk(cut).Valid) << "cut at " << n;
        }
    }
}

TEST(AviParam, ZeroSizesEverywhereNeverHang) {
    // Every size field of a real-shaped file set to 0 in turn.
    const Bytes whole = test::Type2Avi();
    for (size_t at = 4; at + 4 <= whole.size(); at += 2) {
        Bytes damaged = whole;
        for (int i = 0; i < 4; ++i) damaged[at + static_cast<size_t>(i)] = 0;
        (void)Walk(damaged);
        for (int i = 0; i < 4; ++i) damaged[at + static_cast<size_t>(i)] = 0xFF;
        (void)Walk(damaged);
    }
}

TEST(AviParam, StreamCountIsBounded) {
    Bytes strls;
    for (int i = 0; i < 300; ++i) {
        const Bytes s = AudioStrl();
        strls.insert(strls.end(), s.begin(), s.end());
    }
    const TAviParam param = Walk(Riff("AVI ", {List("hdrl", strls)}));
    EXPECT_TRUE(param.Valid);
    EXPECT_EQ(param.Streams.size(), TAviParam::kMaxStreams);
}

TEST(AviParam, ReadsFilesOnDiskWithoutWritingThem) {
    test::ScratchDir dir;
    const std::string path = dir.write("cdvc.avi", test::Type2Avi("CDVC", "CDVC"));
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    const auto before = std::filesystem::last_write_time(path);
    const TAviParam param(path);
    EXPECT_TRUE(param.Valid);
    EXPECT_EQ(FourCCText(param.VideoFourCC()), "CDVC");
    EXPECT_EQ(std::filesystem::last_write_time(path), before);

    const TAviParam missing((dir.path() / "absent.avi").string());
    EXPECT_FALSE(missing.Valid);
    EXPECT_EQ(FourCCText(missing.VideoFourCC()), "####");
    const TAviParam folder(dir.path().string());
    EXPECT_FALSE(folder.Valid);
    const std::string fifo = (dir.path() / "fifo.avi").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    EXPECT_FALSE(TAviParam(fifo).Valid);  // neither waits for a writer nor reads
}

TEST(AviParam, ReadsFilesFromTheRealEncoder) {
    test::ScratchDir dir;
    struct Case {
        const char* codec;
        const char* fourcc;
        int audio;
    };
    const Case cases[] = {{"dvvideo", "dvsd", 1}, {"mjpeg", "MJPG", -1}, {"mpeg4", "FMP4", -1}};
    for (const auto& c : cases) {
        const std::string path = test::FfmpegAvi(dir, std::string(c.codec) + ".avi", c.codec);
        if (path.empty()) GTEST_SKIP() << "ffmpeg is not available";
        const TAviParam param(path);
        EXPECT_TRUE(param.Valid) << c.codec;
        EXPECT_EQ(param.VideoStream, 0) << c.codec;
        EXPECT_EQ(param.AudioStream, c.audio) << c.codec;
        EXPECT_EQ(FourCCText(param.VideoFourCC()), c.fourcc) << c.codec;

        // Cut at every chunk boundary: never valid, never a crash.
        const Bytes whole = test::ReadAll(path);
        for (size_t cut : test::ChunkBoundaries(whole)) {
            if (cut == whole.size()) continue;
            const Bytes part(whole.begin(), whole.begin() + static_cast<ptrdiff_t>(cut));
            EXPECT_FALSE(Walk(part).Valid) << c.codec << " cut at " << cut;
        }
    }
}

}  // namespace
}  // namespace velinor
