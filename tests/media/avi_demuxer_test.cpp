#include "media/avi_demuxer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>

#include "media/avi_writer.h"
#include "media/dv_frame_source.h"
#include "media/media_error.h"
#include "support/avi_fixtures.h"
#include "support/riff_builder.h"

namespace velinor {
namespace {

using test::TempDir;
using Bytes = std::vector<uint8_t>;

uint32_t Get32(const Bytes& b, size_t at) {
    uint32_t v;
    std::memcpy(&v, &b[at], 4);
    return v;
}
void Put32(Bytes& b, size_t at, uint32_t v) {
    std::memcpy(&b[at], &v, 4);
}

// Positions of every chunk header of a well-formed file, lists included, in file order.
struct ChunkAt {
    size_t pos;
    uint32_t id;
};
void ListChunks(const Bytes& b, size_t from, size_t to, std::vector<ChunkAt>& out) {
    size_t p = from;
    while (p + 8 <= to) {
        const uint32_t id = Get32(b, p), size = Get32(b, p + 4);
        out.push_back({p, id});
        if ((id == FourCC("RIFF") || id == FourCC("LIST")) && size >= 4)
            ListChunks(b, p + 12, std::min(to, p + 8 + size), out);
        p += 8 + size + (size & 1);
    }
}
std::vector<ChunkAt> ListChunks(const Bytes& b) {
    std::vector<ChunkAt> out;
    ListChunks(b, 0, b.size(), out);
    return out;
}

struct Sources {
    std::vector<Bytes> frames;  // the PAL DV frames ffmpeg encoded
    Bytes type2;                // our type 2 file of those frames, two RIFF forms
    Bytes type1;                // our type 1 file, one form
};

const Sources& Files() {
    static const Sources s = [] {
        Sources out;
        out.frames = test::EncodeDvFrames(12, true);
        if (out.frames.empty()) return out;
        TempDir dir;
        for (auto kind : {AviWriterSettings::Kind::DvType2, AviWriterSettings::Kind::DvType1}) {
            AviWriterSettings settings;
            settings.Type = kind;
            settings.DvInfoBlock = DvInfoFromFrame(out.frames[0]);
            settings.FormLimit = 1 << 20;
            const std::string path = dir.file("f.avi");
            std::filesystem::remove(path);
            {
                AviWriter w(path, settings);
                for (size_t i = 0; i < out.frames.size(); ++i) {
                    w.WriteVideo(out.frames[i]);
                    if (kind == AviWriterSettings::Kind::DvType2) w.WriteAudio(Bytes(7680, uint8_t(i)));
                }
                w.Finish();
            }
            (kind == AviWriterSettings::Kind::DvType2 ? out.type2 : out.type1) = test::ReadFileBytes(path);
        }
        return out;
    }();
    return s;
}

// A damaged file either fails to open with MediaError, or every frame it gives is the source
// frame of the same number.
int64_t OpenDamaged(const Bytes& bytes, const std::vector<Bytes>& frames, bool* threw = nullptr) {
    if (threw) *threw = false;
    try {
        AviDemuxer d(bytes, "damaged.avi");
        const int v = d.VideoStream();
        if (v < 0) return 0;
        Bytes got;
        const int64_t n = d.streams()[size_t(v)].SampleCount;
        EXPECT_LE(n, int64_t(frames.size()));
        for (int64_t i = 0; i < n; ++i) {
            if (!d.Read(v, i, got)) {
                ADD_FAILURE() << "frame " << i << " listed but unreadable";
                continue;
            }
            if (got.size() == frames[0].size() && size_t(i) < frames.size()) {
                EXPECT_EQ(got, frames[size_t(i)]) << "frame " << i;
            }
        }
        return n;
    } catch (const MediaError&) {
        if (threw) *threw = true;
        return -1;
    }
}

TEST(AviDemuxer, ReadsFfmpegDvType2) {
    if (!test::HaveProgram("ffmpeg")) GTEST_SKIP() << "ffmpeg missing";
    TempDir dir;
    const std::string avi = dir.file("x.avi");
    ASSERT_EQ(
        test::RunStatus("ffmpeg -v error -nostdin -f lavfi -i testsrc=size=720x576:rate=25 -t 2 -f lavfi -i "
                        "sine=sample_rate=48000 -t 2 -c:v dvvideo -c:a pcm_s16le -f avi " +
                        avi),
        0);
    AviDemuxer d(avi);
    ASSERT_EQ(d.streams().size(), 2u);
    const AviStreamInfo& v = d.streams()[0];
    const AviStreamInfo& a = d.streams()[1];
    EXPECT_EQ(v.Kind, AviStreamKind::Video);
    EXPECT_EQ(v.Codec(), FourCC("dvsd"));
    EXPECT_EQ(v.SampleCount, 50);
    EXPECT_EQ(v.Duration100ns, 20'000'000);
    EXPECT_TRUE(d.IsDvStream(0));
    EXPECT_FALSE(d.IsDvStream(1));
    EXPECT_EQ(a.Kind, AviStreamKind::Audio);
    EXPECT_EQ(a.Length, 96'000);
    EXPECT_EQ(a.Duration100ns, 20'000'000);

    // Format blocks as a filter reads them.
    const Bytes vih = v.MediaFormat();
    ASSERT_GE(vih.size(), 88u);
    int64_t avgTime;
    std::memcpy(&avgTime, &vih[40], 8);
    EXPECT_EQ(avgTime, 400'000);
    EXPECT_EQ(Get32(vih, 48 + 4), 720u);             // biWidth
    EXPECT_EQ(Get32(vih, 48 + 8), 576u);             // biHeight
    EXPECT_EQ(Get32(vih, 48 + 16), FourCC("dvsd"));  // biCompression
    const Bytes wfx = a.MediaFormat();
    ASSERT_GE(wfx.size(), 18u);
    EXPECT_EQ(wfx[0] | wfx[1] << 8, 1);  // PCM
    EXPECT_EQ(Get32(wfx, 4), 48'000u);

    // Random access by frame number, and frame numbers of audio.
    Bytes frame;
    for (int64_t n : {49, 0, 17, 25}) {
        EXPECT_EQ(d.SampleAt(0, n), n);
        ASSERT_TRUE(d.Read(0, n, frame));
        EXPECT_EQ(frame.size(), 144'000u);
        EXPECT_EQ(d.samples(0)[size_t(n)].Start, n);
    }
    // Times in 100 ns: frame starts, the middle of a frame, past the end.
    const std::pair<int64_t, std::optional<int64_t>> kTimes[] = {{0, 0},
                                                                 {399'999, 0},
                                                                 {400'000, 1},
                                                                 {19'600'000, 49},
                                                                 {19'999'999, 49},
                                                                 {20'000'000, std::nullopt},
                                                                 {-1, std::nullopt}};
    for (const auto& [time, expected] : kTimes) EXPECT_EQ(d.SampleAtTime(0, time), expected) << time;
    EXPECT_EQ(d.TickTime100ns(0, 49), 19'600'000);
    EXPECT_EQ(d.TickTime100ns(1, 48'000), 10'000'000);
    EXPECT_FALSE(d.Read(0, 50, frame));
    EXPECT_FALSE(d.SampleAt(0, 50).has_value());
    const auto audioAt = d.SampleAt(1, 48'000);
    ASSERT_TRUE(audioAt.has_value());
    const AviSample& s = d.samples(1)[size_t(*audioAt)];
    EXPECT_LE(s.Start, 48'000);
    ASSERT_EQ(a.SampleSize, 2u);  // the tone is mono
    EXPECT_GT(s.Start + s.Size / a.SampleSize, 48'000);
}

TEST(AviDemuxer, ReadsFramesOfARemuxedDvStreamByteForByte) {
    if (!test::HaveProgram("ffmpeg")) GTEST_SKIP() << "ffmpeg missing";
    TempDir dir;
    const std::string dv = dir.file("x.dv"), avi = dir.file("x.avi");
    ASSERT_EQ(test::RunStatus("ffmpeg -v error -nostdin -f lavfi -i testsrc=size=720x576:rate=25 -f lavfi -i "
                              "sine=sample_rate=48000 -t 1 -c:v dvvideo -c:a pcm_s16le -ac 2 -f dv " +
                              dv + " && ffmpeg -v error -nostdin -i " + dv + " -map 0 -c copy -f avi " + avi),
              0);
    const Bytes raw = test::ReadFileBytes(dv);
    auto source = OpenAviDvFrameSource(avi);
    Bytes frame;
    size_t n = 0;
    while (source->next(frame)) {
        ASSERT_LE((n + 1) * 144'000, raw.size());
        EXPECT_TRUE(std::equal(frame.begin(), frame.end(), raw.begin() + long(n * 144'000))) << n;
        ++n;
    }
    EXPECT_EQ(n * 144'000, raw.size());
}

TEST(AviDemuxer, HandsOutOtherCodecs) {
    if (!test::HaveProgram("ffmpeg") || !test::HaveProgram("ffprobe")) GTEST_SKIP() << "ffmpeg missing";
    TempDir dir;
    const std::string avi = dir.file("m.avi");
    ASSERT_EQ(
        test::RunStatus("ffmpeg -v error -nostdin -f lavfi -i testsrc=size=320x240:rate=25 -t 1 -c:v mjpeg "
                        "-f avi " +
                        avi),
        0);
    std::string sizes;
    ASSERT_EQ(test::RunStatus(
                  "ffprobe -v error -select_streams v -show_entries packet=size -of csv=p=0 " + avi, &sizes),
              0);
    AviDemuxer d(avi);
    ASSERT_EQ(d.streams().size(), 1u);
    EXPECT_EQ(d.streams()[0].Codec(), FourCC("MJPG"));
    EXPECT_FALSE(d.IsDvStream(0));
    std::vector<uint32_t> expected;
    for (size_t at = 0; at < sizes.size();) {
        const size_t end = sizes.find('\n', at);
        expected.push_back(uint32_t(std::stoul(sizes.substr(at, end - at))));
        at = end == std::string::npos ? sizes.size() : end + 1;
    }
    ASSERT_EQ(d.samples(0).size(), expected.size());
    Bytes jpeg;
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(d.samples(0)[i].Size, expected[i]);
        ASSERT_TRUE(d.Read(0, int64_t(i), jpeg));
        EXPECT_EQ(jpeg[0], 0xFF);  // JPEG SOI
        EXPECT_EQ(jpeg[1], 0xD8);
    }
    EXPECT_THROW(OpenAviDvFrameSource(avi), MediaError);
}

// Cutting the file at any chunk boundary (and one byte after it) keeps exactly the frames whose
// data lies wholly before the cut.
TEST(AviDemuxer, TruncationKeepsTheWholeFrames) {
    ASSERT_FALSE(Files().frames.empty());
    for (const Bytes* file : {&Files().type2, &Files().type1}) {
        AviDemuxer whole(*file, "whole.avi");
        EXPECT_TRUE(whole.IsOpenDml());
        const int v = whole.VideoStream();
        const int64_t moviStart = whole.samples(v).front().Offset - 8;
        for (const ChunkAt& c : ListChunks(*file)) {
            for (size_t cut : {c.pos, c.pos + 1, c.pos + 9}) {
                if (cut >= file->size()) continue;
                const Bytes part(file->begin(), file->begin() + long(cut));
                int64_t expected = 0;
                for (const AviSample& s : whole.samples(v)) expected += s.Offset + s.Size <= int64_t(cut);
                bool threw = false;
                const int64_t got = OpenDamaged(part, Files().frames, &threw);
                if (int64_t(cut) > moviStart) {
                    EXPECT_FALSE(threw) << "cut at " << cut;
                    EXPECT_EQ(got, expected) << "cut at " << cut;
                } else {
                    EXPECT_TRUE(threw || got == 0) << "cut at " << cut;
                }
            }
        }
    }
}

// A file shortened by another program while it is open: the frames past its new end fail to
// read, the ones before it read as they are, and nothing is written to the file.
TEST(AviDemuxer, AFileShortenedWhileOpenFailsTheReadsPastItsEnd) {
    const Bytes& file = Files().type2;
    ASSERT_FALSE(file.empty());
    TempDir dir;
    const std::string path = dir.file("x.avi");
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()), long(file.size()));
    AviDemuxer d(path);
    const int v = d.VideoStream();
    const auto& samples = d.samples(v);
    ASSERT_GE(samples.size(), 4u);
    const AviSample& kept = samples[1];
    const int64_t cut = samples[samples.size() / 2].Offset;
    std::filesystem::resize_file(path, uint64_t(cut));

    Bytes frame;
    for (int attempt = 0; attempt < 2; ++attempt) {
        EXPECT_FALSE(d.Read(v, int64_t(samples.size()) - 1, frame));
        ASSERT_TRUE(d.Read(v, 1, frame));
        EXPECT_TRUE(std::equal(frame.begin(), frame.end(), file.begin() + kept.Offset));
    }
    EXPECT_EQ(std::filesystem::file_size(path), uint64_t(cut));
}

TEST(AviDemuxer, DamagedSizesAndIndexesGiveFewerFramesOrAnError) {
    ASSERT_FALSE(Files().frames.empty());
    const Bytes& good = Files().type2;
    const auto chunks = ListChunks(good);
    auto first = [&](const char(&id)[5], int nth = 0) {
        for (const ChunkAt& c : chunks)
            if (c.id == FourCC(id) && nth-- == 0) return c.pos;
        ADD_FAILURE() << id;
        return size_t(0);
    };
    enum class Expect { Error, AllFrames, SomeFrames };
    struct Case {
        const char* name;
        std::function<void(Bytes&)> damage;
        Expect expect;
    };
    const size_t n = Files().frames.size();
    const Case kCases[] = {
        {"RIFF size past the end", [&](Bytes& b) { Put32(b, 4, 0xFFFFFFF0); }, Expect::AllFrames},
        {"hdrl size past the end", [&](Bytes& b) { Put32(b, first("LIST") + 4, 0xFFFFFFF0); },
         Expect::SomeFrames},
        {"strf size past the end", [&](Bytes& b) { Put32(b, first("strf") + 4, 0x7FFFFFF0); },
         Expect::SomeFrames},
        {"movi size past the end", [&](Bytes& b) { Put32(b, first("00dc") - 8, 0xFFFFFFF0); },
         Expect::SomeFrames},
        {"frame size past the end", [&](Bytes& b) { Put32(b, first("00dc", 3) + 4, 0xFFFFFFF0); },
         Expect::SomeFrames},
        {"idx1 size past the end", [&](Bytes& b) { Put32(b, first("idx1") + 4, 0xFFFFFFF0); },
         Expect::AllFrames},
        {"super-index entry past the end",
         [&](Bytes& b) { Put32(b, first("indx") + 8 + 24 + 4, 0x7FFFFFFF); }, Expect::AllFrames},
        {"super-index count too large", [&](Bytes& b) { Put32(b, first("indx") + 8 + 4, 0xFFFFFFFF); },
         Expect::AllFrames},
        {"ix00 entry past the end", [&](Bytes& b) { Put32(b, first("ix00") + 8 + 24 + 8 * 2, 0x7FFFFFF0); },
         Expect::AllFrames},
        {"ix00 count too large", [&](Bytes& b) { Put32(b, first("ix00") + 8 + 4, 0xFFFFFFFF); },
         Expect::AllFrames},
        {"ix00 base past the end", [&](Bytes& b) { Put32(b, first("ix00") + 8 + 16, 0x7FFFFFFF); },
         Expect::AllFrames},
        {"avih zero size", [&](Bytes& b) { Put32(b, first("avih") + 4, 0); }, Expect::SomeFrames},
        {"strh zero size", [&](Bytes& b) { Put32(b, first("strh") + 4, 0); }, Expect::SomeFrames},
        {"scale and rate zero",
         [&](Bytes& b) { Put32(b, first("strh") + 8 + 20, 0), Put32(b, first("strh") + 8 + 24, 0); },
         Expect::AllFrames},
        {"first form not AVI", [&](Bytes& b) { Put32(b, 8, FourCC("WAVE")); }, Expect::Error},
    };
    for (const Case& c : kCases) {
        Bytes bytes = good;
        c.damage(bytes);
        bool threw = false;
        const int64_t got = OpenDamaged(bytes, Files().frames, &threw);
        switch (c.expect) {
            case Expect::Error:
                EXPECT_TRUE(threw) << c.name;
                break;
            case Expect::AllFrames:
                EXPECT_EQ(got, int64_t(n)) << c.name;
                break;
            case Expect::SomeFrames:
                EXPECT_LE(got, int64_t(n)) << c.name;
                break;
        }
    }
    // Every chunk's size set to zero in turn, and to the largest value.
    for (const ChunkAt& c : chunks)
        for (uint32_t size : {0u, 0xFFFFFFFFu}) {
            Bytes bytes = good;
            Put32(bytes, c.pos + 4, size);
            OpenDamaged(bytes, Files().frames);
        }
}

TEST(AviDemuxer, MissingIndexIsRebuiltFromTheData) {
    ASSERT_FALSE(Files().frames.empty());
    struct Case {
        const char* name;
        std::vector<uint32_t> hide;  // chunks renamed to JUNK
    };
    const Case kCases[] = {
        {"no super-indexes", {FourCC("indx")}},
        {"no idx1 nor super-indexes", {FourCC("indx"), FourCC("idx1")}},
        {"no ix00", {FourCC("ix00")}},
        {"no index at all", {FourCC("indx"), FourCC("idx1"), FourCC("ix00"), FourCC("ix01")}},
    };
    for (const Bytes* file : {&Files().type2, &Files().type1}) {
        AviDemuxer whole(*file, "whole.avi");
        for (const Case& c : kCases) {
            Bytes bytes = *file;
            for (const ChunkAt& chunk : ListChunks(bytes))
                for (uint32_t id : c.hide)
                    if (chunk.id == id) Put32(bytes, chunk.pos, FourCC("JUNK"));
            AviDemuxer d(bytes, c.name);
            EXPECT_TRUE(d.IndexRebuilt()) << c.name;
            ASSERT_EQ(d.streams().size(), whole.streams().size());
            for (size_t s = 0; s < d.streams().size(); ++s) {
                ASSERT_EQ(d.samples(int(s)).size(), whole.samples(int(s)).size())
                    << c.name << " stream " << s;
                for (size_t i = 0; i < d.samples(int(s)).size(); ++i) {
                    EXPECT_EQ(d.samples(int(s))[i].Offset, whole.samples(int(s))[i].Offset) << c.name;
                    EXPECT_EQ(d.samples(int(s))[i].Start, whole.samples(int(s))[i].Start) << c.name;
                }
            }
        }
    }
}

TEST(AviDemuxer, Idx1WithAbsoluteOffsetsIsRead) {
    ASSERT_FALSE(Files().frames.empty());
    Bytes bytes = Files().type2;
    AviDemuxer whole(bytes, "whole.avi");
    size_t movi = 0, idx1 = 0;
    for (const ChunkAt& c : ListChunks(bytes)) {
        if (c.id == FourCC("LIST") && Get32(bytes, c.pos + 8) == FourCC("movi") && movi == 0)
            movi = c.pos + 8;
        if (c.id == FourCC("idx1")) idx1 = c.pos;
        if (c.id == FourCC("indx")) Put32(bytes, c.pos, FourCC("JUNK"));
    }
    ASSERT_NE(idx1, 0u);
    const size_t entries = Get32(bytes, idx1 + 4) / 16;
    for (size_t i = 0; i < entries; ++i) {
        const size_t at = idx1 + 8 + 16 * i + 8;
        Put32(bytes, at, uint32_t(Get32(bytes, at) + movi));
    }
    AviDemuxer d(bytes, "absolute.avi");
    // idx1 covers the first form; the second form's chunks come from the data.
    ASSERT_EQ(d.samples(0).size(), whole.samples(0).size());
    for (size_t i = 0; i < d.samples(0).size(); ++i)
        EXPECT_EQ(d.samples(0)[i].Offset, whole.samples(0)[i].Offset);
}

TEST(AviDemuxer, DvIsFoundUnderEveryCodeOfTheDvFamily) {
    ASSERT_FALSE(Files().frames.empty());
    TempDir dir;
    struct Case {
        uint32_t handler;      // strh fccHandler
        uint32_t compression;  // biCompression
        uint32_t codec;        // what Codec() reports
    };
    const Case kCases[] = {
        {FourCC("dv25"), FourCC("dv25"), FourCC("dv25")},
        {FourCC("CDVC"), FourCC("CDVC"), FourCC("CDVC")},
        {FourCC("dsvd"), FourCC("dsvd"), FourCC("dsvd")},
        {0, FourCC("dvsd"), FourCC("dvsd")},
    };
    for (const Case& c : kCases) {
        Bytes bytes = Files().type2;
        for (const ChunkAt& chunk : ListChunks(bytes)) {
            if (chunk.id == FourCC("strh") && Get32(bytes, chunk.pos + 8) == FourCC("vids"))
                Put32(bytes, chunk.pos + 8 + 4, c.handler);
            if (chunk.id == FourCC("strf") && Get32(bytes, chunk.pos + 4) == 40)
                Put32(bytes, chunk.pos + 8 + 16, c.compression);
        }
        const std::string path = dir.file("code.avi");
        test::WriteFileBytes(path, bytes);
        AviDemuxer d(path);
        EXPECT_EQ(d.streams()[0].Codec(), c.codec) << FourCCText(c.codec);
        EXPECT_TRUE(d.IsDvStream(0)) << FourCCText(c.codec);
        auto source = OpenAviDvFrameSource(path);
        Bytes frame;
        size_t n = 0;
        while (source->next(frame)) EXPECT_EQ(frame, Files().frames[n++]);
        EXPECT_EQ(n, Files().frames.size()) << FourCCText(c.codec);
    }
    // Another code over the same DV frames is that codec's video, not DV.
    Bytes bytes = Files().type2;
    for (const ChunkAt& chunk : ListChunks(bytes)) {
        if (chunk.id == FourCC("strh") && Get32(bytes, chunk.pos + 8) == FourCC("vids"))
            Put32(bytes, chunk.pos + 8 + 4, FourCC("XVID"));
        if (chunk.id == FourCC("strf") && Get32(bytes, chunk.pos + 4) == 40)
            Put32(bytes, chunk.pos + 8 + 16, FourCC("XVID"));
    }
    const std::string path = dir.file("xvid.avi");
    test::WriteFileBytes(path, bytes);
    EXPECT_FALSE(AviDemuxer(path).IsDvStream(0));
    EXPECT_THROW(OpenAviDvFrameSource(path), MediaError);
}

TEST(AviDemuxer, RefusesWhatIsNotAnAviFile) {
    TempDir dir;
    auto riff = [](uint32_t form, Bytes body) {
        Bytes b(12);
        Put32(b, 0, FourCC("RIFF"));
        Put32(b, 4, uint32_t(body.size() + 4));
        Put32(b, 8, form);
        b.insert(b.end(), body.begin(), body.end());
        return b;
    };
    const std::string text = "Ceci n'est pas une vidéo, juste du texte renommé en .avi\n";
    struct Case {
        const char* name;
        Bytes bytes;
    };
    const Case kCases[] = {
        {"empty", {}},
        {"short", {'R', 'I', 'F'}},
        {"text", Bytes(text.begin(), text.end())},
        {"wave", riff(FourCC("WAVE"), Bytes(36, 0))},
        {"avi without hdrl", riff(FourCC("AVI "), Bytes(24, 0))},
        {"avi with an empty hdrl",
         riff(FourCC("AVI "), {'L', 'I', 'S', 'T', 4, 0, 0, 0, 'h', 'd', 'r', 'l'})},
    };
    for (const Case& c : kCases) {
        const std::string path = dir.file(std::string(c.name) + ".avi");
        test::WriteFileBytes(path, c.bytes);
        EXPECT_THROW(AviDemuxer{path}, MediaError) << c.name;
        EXPECT_THROW(OpenAviDvFrameSource(path), MediaError) << c.name;
    }
    EXPECT_THROW(AviDemuxer{dir.file("absent.avi")}, MediaError);
    EXPECT_THROW(AviDemuxer{dir.path()}, MediaError);
}

TEST(AviDemuxer, DeepNestingInTheDataIsWalkedWithoutRecursion) {
    ASSERT_FALSE(Files().frames.empty());
    // A movi list whose data is 100 000 nested LIST headers, then one frame.
    Bytes good = Files().type1;
    const auto chunks = ListChunks(good);
    size_t movi = 0;
    for (const ChunkAt& c : chunks)
        if (c.id == FourCC("LIST") && Get32(good, c.pos + 8) == FourCC("movi")) {
            movi = c.pos;
            break;
        }
    ASSERT_NE(movi, 0u);
    Bytes b(good.begin(), good.begin() + long(movi));
    const size_t depth = 100'000;
    const size_t frameChunk = 8 + Files().frames[0].size();
    Bytes movieList(12);
    Put32(movieList, 0, FourCC("LIST"));
    Put32(movieList, 4, uint32_t(4 + depth * 12 + frameChunk));
    Put32(movieList, 8, FourCC("movi"));
    for (size_t i = 0; i < depth; ++i) {
        Bytes l(12);
        Put32(l, 0, FourCC("LIST"));
        Put32(l, 4, uint32_t(4 + (depth - i - 1) * 12 + frameChunk));
        Put32(l, 8, FourCC("rec "));
        movieList.insert(movieList.end(), l.begin(), l.end());
    }
    Bytes head(8);
    Put32(head, 0, FourCC("00dc"));
    Put32(head, 4, uint32_t(Files().frames[0].size()));
    movieList.insert(movieList.end(), head.begin(), head.end());
    movieList.insert(movieList.end(), Files().frames[0].begin(), Files().frames[0].end());
    b.insert(b.end(), movieList.begin(), movieList.end());
    Put32(b, 4, uint32_t(b.size() - 8));
    EXPECT_EQ(OpenDamaged(b, Files().frames), 1);
}

// A type 1 file of one "iavs" stream whose movi list holds `movi` as given; the stream list
// carries `indx` when it is not empty. Offsets inside the movi body are known before it is built:
// the body starts at MoviBodyAt(indx size).
Bytes Type1File(const Bytes& indx, const Bytes& movi) {
    using namespace test;
    Bytes strl =
        Concat({Chunk("strh", StrhBody({.type = "iavs", .handler = "dvsd"})), Chunk("strf", DvInfoBody())});
    if (!indx.empty()) strl = Concat({strl, Chunk("indx", indx)});
    return Riff("AVI ", {List("hdrl", {Chunk("avih", AvihBody()), List("strl", strl)}), List("movi", movi)});
}
size_t MoviBodyAt(size_t indxBytes) {
    return Type1File(indxBytes ? Bytes(indxBytes, 0) : Bytes{}, {}).size();
}
Bytes FrameChunks(size_t count) {
    Bytes out;
    for (size_t i = 0; i < count; ++i) out = test::Concat({out, test::Chunk("00__", Files().frames[i])});
    return out;
}

TEST(AviDemuxer, ARepeatedOrOverfullSuperIndexIsReadOnce) {
    ASSERT_FALSE(Files().frames.empty());
    const size_t n = Files().frames.size();
    const size_t frameChunk = 8 + Files().frames[0].size();
    struct Case {
        const char* name;
        uint32_t listings;  // how many times the super index lists the one ix00 chunk
        uint32_t repeats;   // how many times the ix00 lists each frame
    };
    const Case kCases[] = {
        {"listed once", 1, 1},
        {"listed 20 000 times", 20'000, 1},
        {"listed 20 000 times, each frame 50 times", 20'000, 50},
    };
    for (const Case& c : kCases) {
        const size_t indxBytes = 24 + 16 * size_t(c.listings);
        const size_t movi = MoviBodyAt(indxBytes);  // first frame chunk header
        Bytes ix;
        test::PutLe16(ix, 2), ix.push_back(0),
            ix.push_back(1);  // wLongsPerEntry, sub type, AVI_INDEX_OF_CHUNKS
        test::PutLe32(ix, uint32_t(n * c.repeats));
        test::PutCode(ix, "00__");
        test::PutLe64(ix, 0), test::PutLe32(ix, 0);  // qwBaseOffset: entries are file offsets
        for (uint32_t r = 0; r < c.repeats; ++r)
            for (size_t i = 0; i < n; ++i)
                test::PutLe32(ix, uint32_t(movi + frameChunk * i + 8)),
                    test::PutLe32(ix, uint32_t(frameChunk - 8));
        const Bytes ixChunk = test::Chunk("ix00", ix);
        Bytes indx;
        test::PutLe16(indx, 4), indx.push_back(0), indx.push_back(0);  // AVI_INDEX_OF_INDEXES
        test::PutLe32(indx, c.listings);
        test::PutCode(indx, "00__");
        indx.resize(24, 0);
        for (uint32_t i = 0; i < c.listings; ++i)
            test::PutLe64(indx, movi + frameChunk * n), test::PutLe32(indx, uint32_t(ixChunk.size())),
                test::PutLe32(indx, uint32_t(n));
        ASSERT_EQ(indx.size(), indxBytes);
        const Bytes file = Type1File(indx, test::Concat({FrameChunks(n), ixChunk}));
        AviDemuxer d(file, c.name);
        ASSERT_EQ(d.samples(0).size(), n) << c.name;
        for (size_t i = 0; i < n; ++i)
            EXPECT_EQ(d.samples(0)[i].Offset, int64_t(movi + frameChunk * i + 8)) << c.name;
        EXPECT_EQ(OpenDamaged(file, Files().frames), int64_t(n)) << c.name;
    }
}

TEST(AviDemuxer, UnindexedDataIsWalkedAcrossZerosAndSmallChunks) {
    ASSERT_FALSE(Files().frames.empty());
    const size_t n = Files().frames.size();
    // Small chunks of odd sizes put headers across every read boundary of the walk.
    Bytes small;
    for (int i = 0; i < 3000; ++i)
        small = test::Concat({small, test::Chunk("JUNK", Bytes(size_t(i % 37), 0xAB))});
    struct Case {
        const char* name;
        Bytes before, between, after;  // around the first half of the frames and the second half
    };
    const Case kCases[] = {
        {"frames only", {}, {}, {}},
        {"zeros between the halves", {}, Bytes(3 << 20, 0), {}},
        {"zeros at the end (a capture cut short)", {}, {}, Bytes(5 << 20, 0)},
        {"odd zeros first", Bytes(4097 * 8, 0), Bytes(7, 0), {}},
        {"small chunks between and after", small, small, small},
    };
    for (const Case& c : kCases) {
        Bytes second;
        for (size_t i = n / 2; i < n; ++i)
            second = test::Concat({second, test::Chunk("00__", Files().frames[i])});
        // An odd run of zeros is not a chunk boundary: the walk resynchronises only on 8-byte steps,
        // so the second half is found when the run's length is a multiple of 8.
        const bool aligned = c.between.size() % 8 == 0;
        const Bytes file =
            Type1File({}, test::Concat({c.before, FrameChunks(n / 2), c.between, second, c.after}));
        AviDemuxer d(file, c.name);
        EXPECT_TRUE(d.IndexRebuilt()) << c.name;
        EXPECT_EQ(OpenDamaged(file, Files().frames), int64_t(aligned ? n : n / 2)) << c.name;
    }
}

// A capture that stopped before finalizing leaves the sizes of the form and of the movi list
// as written at the start: 0, or 4 for the list type alone. Every whole frame is still read.
TEST(AviDemuxer, AnUnfinalizedCaptureIsReadToTheEnd) {
    ASSERT_FALSE(Files().frames.empty());
    const size_t n = Files().frames.size();
    const Bytes whole = Type1File({}, FrameChunks(n));
    const size_t movi = MoviBodyAt(0) - 12;  // the movi LIST header
    ASSERT_EQ(Get32(whole, movi + 8), FourCC("movi"));
    struct Case {
        uint32_t riffSize, moviSize;  // 1: keep the size written
        size_t cut;                   // bytes cut from the end
        size_t frames;
    };
    const Case kCases[] = {
        {0, 0, 0, n}, {4, 4, 0, n}, {0, 1, 0, n}, {1, 0, 0, n}, {4, 0, 1000, n - 1}, {0, 4, 0, n},
    };
    for (const Case& c : kCases) {
        Bytes b = whole;
        if (c.riffSize != 1) Put32(b, 4, c.riffSize);
        if (c.moviSize != 1) Put32(b, movi + 4, c.moviSize);
        b.resize(b.size() - c.cut);
        const std::string name = "riff " + std::to_string(c.riffSize) + " movi " + std::to_string(c.moviSize);
        EXPECT_EQ(OpenDamaged(b, Files().frames), int64_t(c.frames)) << name;
    }
}

}  // namespace
}  // namespace velinor
