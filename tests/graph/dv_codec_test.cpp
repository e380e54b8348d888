#include "graph/dv_codec.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>

#include "media/dvcodes.h"
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
