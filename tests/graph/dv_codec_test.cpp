#include "graph/dv_codec.h"
#include "graph/dv_segments.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>

#include "media/dvcodes.h"
#include "support/avi_fixtures.h"
#include "support/temp_dir.h"

namespace velinor {
namespace {

struct Rgb {
    int r, g, b;
};

// Quadrants, as seen on screen: red top left, green top right, blue bottom left, white bottom right.
const Rgb kQuadrants[2][2] = {{{220, 30, 30}, {30, 200, 40}}, {{30, 40, 210}, {235, 235, 235}}};

BgrPicture quadrantPicture(int width, int height) {
    BgrPicture picture;
    picture.resize(width, height);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = picture.rowFromTop(y);
        for (int x = 0; x < width; ++x) {
            const Rgb& c = kQuadrants[y * 2 / height][x * 2 / width];
            row[3 * x] = static_cast<uint8_t>(c.b);
            row[3 * x + 1] = static_cast<uint8_t>(c.g);
            row[3 * x + 2] = static_cast<uint8_t>(c.r);
        }
    }
    return picture;
}

// The colour at the centre of quadrant (qy, qx) must be the source's within `tolerance` per channel.
void expectQuadrants(const std::function<Rgb(int x, int y)>& pixelFromTop, int width, int height,
                     const std::string& what) {
    for (int qy = 0; qy < 2; ++qy)
        for (int qx = 0; qx < 2; ++qx) {
            const Rgb got = pixelFromTop(width / 4 + qx * width / 2, height / 4 + qy * height / 2);
            const Rgb want = kQuadrants[qy][qx];
            const int tolerance = 24;
            EXPECT_NEAR(got.r, want.r, tolerance) << what << " quadrant " << qy << qx;
            EXPECT_NEAR(got.g, want.g, tolerance) << what << " quadrant " << qy << qx;
            EXPECT_NEAR(got.b, want.b, tolerance) << what << " quadrant " << qy << qx;
        }
}

TEST(DvCodec, EncodesFramesThePackWritersCanUseAndDecodesThemBack) {
    struct Case {
        bool is525, wide;
        size_t bytes;
        int height;
        const char* aspect;  // as ffprobe shows the display aspect ratio
    };
    const Case kCases[] = {
        {false, false, kDvFrameBytes625, 576, "4:3"},
        {false, true, kDvFrameBytes625, 576, "16:9"},
        {true, false, kDvFrameBytes525, 480, "4:3"},
        {true, true, kDvFrameBytes525, 480, "16:9"},
    };
    test::TempDir dir;
    DvDecoder decoder;
    for (const auto& c : kCases) {
        const std::string name = std::string(c.is525 ? "525 " : "625 ") + c.aspect;
        DvEncoder encoder(c.is525, c.wide);
        ASSERT_EQ(encoder.height(), c.height);
        std::vector<uint8_t> frame;
        ASSERT_TRUE(encoder.encode(quadrantPicture(encoder.width(), encoder.height()), frame)) << name;
        ASSERT_EQ(frame.size(), c.bytes) << name;
        const int n = DifSequenceCount(frame.size());

        // What the pack readers and writers rely on.
        EXPECT_EQ(ReadSystem(frame), c.is525) << name;
        EXPECT_EQ(ReadWideFlag(frame, n), c.wide) << name;
        EXPECT_TRUE(FindPack(frame, 0x60, n)) << name;
        for (int s = 0; s < n; ++s) {
            const uint8_t* seq = frame.data() + s * kDifSequenceBytes;
            EXPECT_EQ(seq[4] & 7, 0) << name << ": consumer DV header (APT 0)";
            for (int j = 0; j < 12; ++j)
                for (int i = 0; i < 5; ++i)
                    ASSERT_EQ(seq[(1 + j / 6) * kDifBlockBytes + 6 + 8 * (j % 6) + i], 0xFF)
                        << name << " subcode";
        }
        EXPECT_FALSE(ReadDatecode(frame, n)) << name;
        EXPECT_FALSE(ReadTimecode(frame, n)) << name;

        BgrPicture decoded;
        ASSERT_TRUE(decoder.decode(frame, decoded)) << name;
        ASSERT_EQ(decoded.width, 720);
        ASSERT_EQ(decoded.height, c.height);
        expectQuadrants(
            [&](int x, int y) {
                const uint8_t* p = decoded.rowFromTop(y) + 3 * x;
                return Rgb{p[2], p[1], p[0]};
            },
            decoded.width, decoded.height, name + " decoded");

        // An independent reader sees the same system, aspect and picture, the right way up.
        const std::string path = dir.file("frame.dv");
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(frame.data()), frame.size());
        int status = 0;
        const std::string probe = test::RunCommand(
            "ffprobe -v fatal -show_entries stream=width,height,display_aspect_ratio -of csv=p=0 " +
                test::ShellQuote(path),
            &status);
        ASSERT_EQ(status, 0) << name;
        EXPECT_EQ(probe, "720," + std::to_string(c.height) + "," + c.aspect + "\n") << name;
        const std::string rgb = test::RunCommand("ffmpeg -v fatal -f dv -i " + test::ShellQuote(path) +
                                                     " -frames:v 1 -f rawvideo -pix_fmt rgb24 -",
                                                 &status);
        ASSERT_EQ(status, 0) << name;
        ASSERT_EQ(rgb.size(), size_t{720} * c.height * 3) << name;
        expectQuadrants(
            [&](int x, int y) {
                const auto* p = reinterpret_cast<const uint8_t*>(rgb.data()) + (size_t{720} * y + x) * 3;
                return Rgb{p[0], p[1], p[2]};
            },
            720, c.height, name + " ffmpeg");
    }
}

// FFmpeg's own decoding of a moving test pattern, as planes and as BGR, against ours: the planes
// must be the very bytes, the BGR pictures within a rounding of them (4:1:1 chroma is widened by
// a different filter).
TEST(DvCodec, DecodesAsFfmpegDoes) {
    if (!test::HaveProgram("ffmpeg")) GTEST_SKIP() << "ffmpeg missing";
    struct Case {
        bool is525;
        const char* planes;  // FFmpeg's name of the sampling
        double meanBgr;      // the largest mean difference per byte allowed
        int maxBgr;          // and the largest single one
    };
    const Case kCases[] = {{false, "yuv420p", 0.1, 2}, {true, "yuv411p", 1.0, 48}};
    test::TempDir dir;
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.planes);
        const auto frames = test::EncodeDvFrames(3, !c.is525);
        ASSERT_EQ(frames.size(), 3u);
        const std::vector<uint8_t>& frame = frames[2];
        const std::string path = dir.file("frame.dv");
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(frame.data()), frame.size());
        auto ffmpeg = [&](const char* pixelFormat) {
            int status = 0;
            std::string out = test::RunCommand("ffmpeg -v fatal -f dv -i " + test::ShellQuote(path) +
                                                   " -frames:v 1 -f rawvideo -pix_fmt " + pixelFormat + " -",
                                               &status);
            EXPECT_EQ(status, 0);
            return out;
        };

        DvDecoder decoder;
        std::vector<uint8_t> planes;
        bool is525 = !c.is525;
        ASSERT_TRUE(decoder.decodeYuv(frame, planes, is525));
        EXPECT_EQ(is525, c.is525);
        const std::string theirPlanes = ffmpeg(c.planes);
        ASSERT_EQ(planes.size(), DvYuvLayout::For(c.is525).bytes());
        EXPECT_TRUE(theirPlanes.size() == planes.size() &&
                    std::equal(planes.begin(), planes.end(), theirPlanes.begin(),
                               [](uint8_t a, char b) { return a == static_cast<uint8_t>(b); }));

        BgrPicture ours;
        ASSERT_TRUE(decoder.decode(frame, ours));
        const std::string theirs = ffmpeg("bgr24");
        const int height = DvYuvLayout::For(c.is525).height;
        ASSERT_EQ(theirs.size(), size_t{720} * 3 * size_t(height));
        double total = 0;
        int largest = 0;
        for (int y = 0; y < height; ++y) {
            const uint8_t* mine = ours.rowFromTop(y);
            const auto* their = reinterpret_cast<const uint8_t*>(theirs.data()) + size_t{720} * 3 * size_t(y);
            for (int i = 0; i < 720 * 3; ++i) {
                const int d = std::abs(int(mine[i]) - int(their[i]));
                total += d;
                largest = std::max(largest, d);
            }
        }
        const double mean = total / double(theirs.size());
        EXPECT_LE(mean, c.meanBgr);
        EXPECT_LE(largest, c.maxBgr);
    }
}

// Planes of a picture encode to the same frame as the BGR picture they came from would after
// the codec's own conversion, and planes of the wrong size are refused.
TEST(DvCodec, EncodesPlanesAsTheyAre) {
    for (const bool is525 : {false, true}) {
        SCOPED_TRACE(is525 ? "525/60" : "625/50");
        DvEncoder encoder(is525, false);
        DvDecoder decoder;
        std::vector<uint8_t> first, second, planes, again;
        ASSERT_TRUE(encoder.encode(quadrantPicture(encoder.width(), encoder.height()), first));
        bool system = !is525;
        ASSERT_TRUE(decoder.decodeYuv(first, planes, system));
        ASSERT_TRUE(encoder.encodeYuv(planes, second));
        ASSERT_TRUE(decoder.decodeYuv(second, again, system));
        // DV re-encoding of its own decoding settles within a rounding step.
        ASSERT_EQ(again.size(), planes.size());
        int largest = 0;
        for (size_t i = 0; i < planes.size(); ++i)
            largest = std::max(largest, std::abs(planes[i] - again[i]));
        EXPECT_LE(largest, 8);
        planes.resize(planes.size() - 1);
        EXPECT_FALSE(encoder.encodeYuv(planes, second));
    }
}

// Coding some segments gives them the bytes a whole coding gives them, and the codec really
// leaves the others out.
TEST(DvCodec, CodesTheChosenSegmentsAlone) {
    for (const bool is525 : {false, true}) {
        SCOPED_TRACE(is525 ? "525/60" : "625/50");
        DvEncoder encoder(is525, false);
        DvDecoder decoder;
        std::vector<uint8_t> whole, planes, some;
        ASSERT_TRUE(encoder.encode(quadrantPicture(encoder.width(), encoder.height()), whole));
        bool system = !is525;
        ASSERT_TRUE(decoder.decodeYuv(whole, planes, system));
        ASSERT_TRUE(encoder.encodeYuv(planes, whole));
        const int segments = DifSequenceCount(whole.size()) * kDvSegmentsPerSequence;
        std::vector<uint8_t> chosen(size_t(segments), 0);
        for (int s = 0; s < segments; s += 7) chosen[size_t(s)] = 1;
        ASSERT_TRUE(encoder.encodeYuvSegments(planes, chosen, some));
        EXPECT_TRUE(encoder.codesSegmentsApart());
        ASSERT_EQ(some.size(), whole.size());
        for (int s = 0; s < segments; s += 7)
            for (int b = 0; b < kDvBlocksPerSegment; ++b) {
                const size_t at = DvSegmentBlockOffset(s, b);
                ASSERT_TRUE(std::equal(some.begin() + long(at), some.begin() + long(at + kDifBlockBytes),
                                       whole.begin() + long(at)))
                    << s << "/" << b;
            }
        // A list of the wrong length codes everything.
        ASSERT_TRUE(encoder.encodeYuvSegments(planes, std::vector<uint8_t>(3, 0), some));
        EXPECT_EQ(some, whole);
    }
}

TEST(DvCodec, RefusesWhatIsNotAFrameOrPicture) {
    DvEncoder encoder(false, false);
    std::vector<uint8_t> frame;
    EXPECT_FALSE(encoder.encode(quadrantPicture(720, 480), frame));
    BgrPicture shortPicture = quadrantPicture(720, 576);
    shortPicture.pixels.resize(1000);
    EXPECT_FALSE(encoder.encode(shortPicture, frame));

    DvDecoder decoder;
    BgrPicture picture;
    const std::vector<uint8_t> notAFrame(kDvFrameBytes625 - 1, 0);
    EXPECT_FALSE(decoder.decode(notAFrame, picture));
    EXPECT_EQ(picture.width, 0);
    // The decoder goes on working after a refusal.
    ASSERT_TRUE(encoder.encode(quadrantPicture(720, 576), frame));
    EXPECT_TRUE(decoder.decode(frame, picture));
    EXPECT_EQ(picture.height, 576);
}

}  // namespace
}  // namespace velinor
