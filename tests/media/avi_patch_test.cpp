#include "media/avi_patch.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>

#include "support/riff_builder.h"

namespace velinor {
namespace {

using test::Bytes;
using test::Chunk;
using test::List;
using test::Riff;
using test::StrhBody;

const Bytes kNoHandler{0, 0, 0, 0};

// Offsets in test::Type2Avi: RIFF(12) hdrl(12) avih(8+56) strl(12) strh header(8), then the body.
constexpr int64_t kType2StrhBody = 12 + 12 + 64 + 12 + 8;
constexpr int64_t kType2StrfBody = kType2StrhBody + 56 + 8;

// Positions of every byte that differs between two files of the same length.
std::vector<size_t> Differences(const Bytes& a, const Bytes& b) {
    std::vector<size_t> at;
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i)
        if (a[i] != b[i]) at.push_back(i);
    return at;
}

std::vector<size_t> Range(int64_t from, size_t count) {
    std::vector<size_t> out;
    for (size_t i = 0; i < count; ++i) out.push_back(static_cast<size_t>(from) + i);
    return out;
}

std::vector<size_t> Join(std::vector<size_t> a, const std::vector<size_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(AviPatch, ScanFindsTheVideoStreamFields) {
    struct Case {
        const char* name;
        Bytes file;
        PatchPositions expected;
    };
    // Two video streams: all positions belong to the last one, even when it has no strf.
    const Bytes twoVideo = Riff(
        "AVI ",
        {List(
            "hdrl",
            {List("strl", {Chunk("strh", StrhBody({})), Chunk("strf", test::BitmapInfoBody("dvsd"))}),
             List("strl", {Chunk("strh", StrhBody({.type = "iavs"})), Chunk("strf", test::DvInfoBody())})})});
    const int64_t second = 12 + 12 + 12 + 64 + 48 + 12 + 8;  // second strh body
    // An odd JUNK chunk before the stream list, followed by its pad byte.
    const Bytes odd =
        Riff("AVI ", {List("hdrl", {Chunk("JUNK", Bytes(5, 1)),
                                    List("strl", {Chunk("strh", StrhBody({})),
                                                  Chunk("strf", test::BitmapInfoBody("dvsd"))})})});
    const int64_t oddStrh = 12 + 12 + 14 + 12 + 8;
    Bytes cutInStrh = test::Type2Avi();
    cutInStrh.resize(static_cast<size_t>(kType2StrhBody + 10));
    const Case table[] = {
        {"type 2",
         test::Type2Avi("CDVC", "CDVC"),
         {kType2StrhBody + 4, kType2StrhBody + 20, kType2StrfBody + 16}},
        {"type 1 has no compression field", test::Type1Avi(), {kType2StrhBody + 4, kType2StrhBody + 20, -1}},
        {"last video stream wins", twoVideo, {second + 4, second + 20, -1}},
        {"pad byte after an odd chunk", odd, {oddStrh + 4, oddStrh + 20, oddStrh + 56 + 8 + 16}},
        {"audio only",
         Riff("AVI ", {List("hdrl", {List("strl", {Chunk("strh", StrhBody({.type = "auds"})),
                                                   Chunk("strf", test::BitmapInfoBody("dvsd"))})})}),
         {}},
        {"file cut inside the stream header", cutInStrh, {}},
        {"WAVE file", Riff("WAVE", {Chunk("fmt ", test::WaveFormatBody())}), {}},
        {"empty", Bytes{}, {}},
        {"text", Bytes(100, 'x'), {}},
    };
    for (const auto& c : table) EXPECT_EQ(ScanPatchPositions(MemoryRiffSource(c.file)), c.expected) << c.name;
}

// A file of `size` bytes that holds `head` at its start and `tail` at its end, zeros between,
// counting the bytes read.
class SparseSource final : public RiffSource {
public:
    SparseSource(Bytes head, Bytes tail, uint64_t size)
        : head_(std::move(head)), tail_(std::move(tail)), size_(size) {}
    uint64_t size() const override { return size_; }
    size_t readAt(uint64_t offset, void* buffer, size_t count) const override {
        auto* out = static_cast<uint8_t*>(buffer);
        size_t n = 0;
        for (; n < count && offset + n < size_; ++n) {
            const uint64_t at = offset + n;
            const uint64_t tailStart = size_ - tail_.size();
            out[n] = at < head_.size() ? head_[at] : at >= tailStart ? tail_[at - tailStart] : 0;
        }
        read_ += n;
        return n;
    }
    uint64_t bytesRead() const { return read_; }

private:
    Bytes head_, tail_;
    uint64_t size_;
    mutable uint64_t read_ = 0;
};

TEST(AviPatch, SkipsAMoviListOfSeveralGigabytesWithoutReadingIt) {
    const uint32_t moviSize = 3'000'000'000u;
    const Bytes hdrl = List(
        "hdrl", {List("strl", {Chunk("strh", StrhBody({})), Chunk("strf", test::BitmapInfoBody("dvsd"))})});
    Bytes head;
    test::PutCode(head, "RIFF");
    test::PutLe32(head, static_cast<uint32_t>(4 + 8 + moviSize + hdrl.size()));
    test::PutCode(head, "AVI ");
    test::PutCode(head, "LIST");
    test::PutLe32(head, moviSize);
    test::PutCode(head, "movi");
    const uint64_t size = 12 + 8 + uint64_t(moviSize) + hdrl.size();
    const SparseSource source(head, hdrl, size);
    const PatchPositions at = ScanPatchPositions(source);
    const int64_t strh = static_cast<int64_t>(size - hdrl.size()) + 12 + 12 + 8;
    EXPECT_EQ(at.HandlerPos, strh + 4);
    EXPECT_EQ(at.CompressionPos, strh + 56 + 8 + 16);
    EXPECT_LT(source.bytesRead(), 1000u);
}

TEST(AviPatch, DeepNestingAndZeroSizesEndTheScan) {
    Bytes deep = Chunk("JUNK", {1, 2});
    for (int i = 0; i < 3000; ++i) deep = List("deep", deep);
    EXPECT_EQ(ScanPatchPositions(MemoryRiffSource(Riff("AVI ", {deep}))), PatchPositions{});
    const Bytes whole = test::Type2Avi();
    for (size_t at = 4; at + 4 <= whole.size(); at += 2) {
        Bytes damaged = whole;
        test::SetLe32(damaged, at, 0);
        (void)ScanPatchPositions(MemoryRiffSource(damaged));
        test::SetLe32(damaged, at, 0xFFFFFFFF);
        (void)ScanPatchPositions(MemoryRiffSource(damaged));
    }
}

TEST(AviPatch, WriteVideoFourCCChangesOnlyTheHandlerAndCompression) {
    test::ScratchDir dir;
    struct Case {
        const char* name;
        Bytes file;
        std::vector<size_t> changed;
    };
    const Case cases[] = {
        {"type 2", test::Type2Avi("CDVC", "CDVC"),
         Join(Range(kType2StrhBody + 4, 4), Range(kType2StrfBody + 16, 4))},
        {"type 1", test::Type1Avi("CDVC"), Range(kType2StrhBody + 4, 4)},
    };
    for (const auto& c : cases) {
        const std::string path = dir.write("patch.avi", c.file);
        const PatchResult result = WriteVideoFourCC(path, FourCCFromText("dvsd"));
        EXPECT_TRUE(result.Ok) << c.name << ": " << result.Error;
        EXPECT_EQ(Differences(c.file, test::ReadAll(path)), c.changed) << c.name;
        EXPECT_EQ(test::ReadAll(path).size(), c.file.size()) << c.name;
        ASSERT_TRUE(ReadVideoHandler(path).has_value()) << c.name;
        EXPECT_EQ(FourCCText(*ReadVideoHandler(path)), "dvsd") << c.name;
    }
}

TEST(AviPatch, FourCCFromTextPadsWithZeroBytes) {
    EXPECT_EQ(FourCCText(FourCCFromText("ab")), std::string("ab\0\0", 4));
    EXPECT_EQ(FourCCText(FourCCFromText("dvsd-long")), "dvsd");
    EXPECT_EQ(FourCCText(FourCCFromText("")), std::string(4, '\0'));
}

TEST(AviPatch, WriteFrameRateWritesScaleAndRate) {
    test::ScratchDir dir;
    struct Case {
        double fps;
        uint32_t scale;
    };
    const Case cases[] = {{25.0, 40'000},   {29.97, 33'367}, {30000.0 / 1001, 33'367},
                          {0.5, 2'000'000}, {24.0, 41'667},  {2'000'000.0 / 3, 2} /* 1.5 rounds to even */,
                          {1'000'000, 1}};
    const Bytes original = test::Type2Avi();
    for (const auto& c : cases) {
        const std::string path = dir.write("rate.avi", original);
        const PatchResult result = WriteFrameRate(path, c.fps);
        ASSERT_TRUE(result.Ok) << c.fps << ": " << result.Error;
        const Bytes after = test::ReadAll(path);
        EXPECT_EQ(test::GetLe32(after, kType2StrhBody + 20), c.scale) << c.fps;
        EXPECT_EQ(test::GetLe32(after, kType2StrhBody + 24), 1'000'000u) << c.fps;
        for (size_t at : Differences(original, after))
            EXPECT_TRUE(at >= kType2StrhBody + 20 && at < kType2StrhBody + 28) << c.fps << " changed " << at;
    }
}

TEST(AviPatch, FailuresAreReportedAndWriteNothing) {
    test::ScratchDir dir;
    const Bytes good = test::Type2Avi("CDVC", "CDVC");
    Bytes shortFile = good;
    shortFile.resize(static_cast<size_t>(kType2StrhBody + 10));  // cut inside the stream header

    struct Case {
        const char* name;
        std::string path;
        double fps;  // 0 patches the FourCC instead
        bool fourccOk;
        bool rateOk;
    };
    const std::string readOnly = dir.write("readonly.avi", good);
    ASSERT_EQ(::chmod(readOnly.c_str(), 0444), 0);
    const Case cases[] = {
        {"read-only file", readOnly, 25, false, false},
        {"file gone", (dir.path() / "gone.avi").string(), 25, false, false},
        {"file cut inside the headers", dir.write("short.avi", shortFile), 25, false, false},
        {"no video stream", dir.write("wave.avi", Riff("WAVE", {Chunk("fmt ", test::WaveFormatBody())})), 25,
         false, false},
        {"empty file", dir.write("empty.avi", {}), 25, false, false},
        {"folder", dir.path().string(), 25, false, false},
        {"zero rate", dir.write("zero.avi", good), 0.0, true, false},
        {"negative rate", dir.write("neg.avi", good), -25, true, false},
        {"not a number", dir.write("nan.avi", good), std::nan(""), true, false},
        {"infinite rate", dir.write("inf.avi", good), std::numeric_limits<double>::infinity(), true, false},
        {"rate too high for a scale", dir.write("high.avi", good), 3e6, true, false},
        {"rate too low for a scale", dir.write("low.avi", good), 1e-7, true, false},
    };
    for (const auto& c : cases) {
        const bool exists = std::filesystem::exists(c.path);
        const Bytes before = std::filesystem::is_regular_file(c.path) ? test::ReadAll(c.path) : Bytes{};
        const PatchResult rate = WriteFrameRate(c.path, c.fps);
        EXPECT_EQ(rate.Ok, c.rateOk) << c.name;
        if (!rate.Ok) {
            EXPECT_NE(rate.Error.find(c.path), std::string::npos) << c.name << ": " << rate.Error;
            EXPECT_EQ(test::ReadAll(c.path), before) << c.name;
        }
        EXPECT_EQ(std::filesystem::exists(c.path), exists) << c.name;  // never created

        const PatchResult code = WriteVideoFourCC(c.path, FourCCFromText("dvsd"));
        EXPECT_EQ(code.Ok, c.fourccOk) << c.name << ": " << code.Error;
        if (!code.Ok) {
            EXPECT_EQ(test::ReadAll(c.path), before) << c.name;
        }
        EXPECT_EQ(std::filesystem::exists(c.path), exists) << c.name;
    }
    EXPECT_FALSE(ReadVideoHandler((dir.path() / "gone.avi").string()).has_value());
    EXPECT_FALSE(ReadVideoHandler(dir.write("wave2.avi", Riff("WAVE", {}))).has_value());
    // Reading needs no write access.
    ASSERT_TRUE(ReadVideoHandler(readOnly).has_value());
    EXPECT_EQ(FourCCText(*ReadVideoHandler(readOnly)), "CDVC");
}

TEST(AviPatch, EncoderFilesCutAtEveryChunkBoundaryKeepTheirHeaderPositions) {
    test::ScratchDir dir;
    for (const char* codec : {"dvvideo", "mjpeg"}) {
        const std::string path = test::FfmpegAvi(dir, std::string(codec) + ".avi", codec);
        if (path.empty()) GTEST_SKIP() << "ffmpeg is not available";
        const Bytes whole = test::ReadAll(path);
        const PatchPositions full = ScanPatchPositions(MemoryRiffSource(whole));
        ASSERT_GT(full.HandlerPos, 0) << codec;
        ASSERT_GT(full.ScalePos, 0) << codec;
        ASSERT_GT(full.CompressionPos, 0) << codec;
        const std::string movi = "movi";
        const size_t moviList =
            static_cast<size_t>(std::search(whole.begin(), whole.end(), movi.begin(), movi.end()) -
                                whole.begin()) -
            8;
        for (size_t cut : test::ChunkBoundaries(whole)) {
            const Bytes part(whole.begin(), whole.begin() + static_cast<ptrdiff_t>(cut));
            const PatchPositions at = ScanPatchPositions(MemoryRiffSource(part));
            // A capture cut short in its data is still patchable; a cut in the headers finds
            // nothing or only what it holds.
            if (cut >= moviList) {
                EXPECT_EQ(at, full) << codec << " cut at " << cut;
            } else {
                EXPECT_TRUE(at.HandlerPos == -1 || at.HandlerPos == full.HandlerPos)
                    << codec << " cut at " << cut;
                EXPECT_TRUE(at.ScalePos == -1 || at.ScalePos == full.ScalePos) << codec << " cut at " << cut;
                EXPECT_TRUE(at.CompressionPos == -1 || at.CompressionPos == full.CompressionPos)
                    << codec << " cut at " << cut;
            }
        }
        // On disk: the truncated capture is patched at the same bytes as the whole one.
        const std::string cutPath = dir.write(
            "cut.avi", Bytes(whole.begin(), whole.begin() + static_cast<ptrdiff_t>(moviList + 100)));
        ASSERT_TRUE(WriteVideoFourCC(cutPath, FourCCFromText("dvsd")).Ok) << codec;
        const Bytes after = test::ReadAll(cutPath);
        EXPECT_EQ(
            Differences(Bytes(whole.begin(), whole.begin() + static_cast<ptrdiff_t>(moviList + 100)), after)
                .size(),
            codec == std::string("dvvideo") ? 0u : 8u)
            << codec;
        EXPECT_EQ(FourCCText(*ReadVideoHandler(cutPath)), "dvsd") << codec;
    }
}

TEST(AviPatch, PatchedEncoderFilesReadBackInIndependentReaders) {
    test::ScratchDir dir;
    const std::string path = test::FfmpegAvi(dir, "dv.avi", "dvvideo");
    if (path.empty()) GTEST_SKIP() << "ffmpeg is not available";
    ASSERT_TRUE(WriteVideoFourCC(path, FourCCFromText("CDVC")).Ok);
    ASSERT_TRUE(WriteFrameRate(path, 29.97).Ok);
    const TAviParam param(path);
    EXPECT_TRUE(param.Valid);
    EXPECT_EQ(FourCCText(param.VideoFourCC()), "CDVC");

    const std::string command =
        "ffprobe -v error -select_streams v:0 -show_entries stream=codec_tag_string,time_base "
        "-of csv=p=0 '" +
        path + "' 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char line[256] = {};
    const bool got = std::fgets(line, sizeof line, pipe) != nullptr;
    ::pclose(pipe);
    if (!got) GTEST_SKIP() << "ffprobe is not available";
    EXPECT_STREQ(line, "CDVC,33367/1000000\n");
}

}  // namespace
}  // namespace velinor
