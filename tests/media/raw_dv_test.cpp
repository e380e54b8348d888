#include "media/raw_dv.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "media/dvcodes.h"
#include "media/media_error.h"
#include "support/dv_builder.h"
#include "support/temp_dir.h"

namespace velinor {
namespace {

std::vector<std::vector<uint8_t>> readAll(const std::string& path) {
    auto source = OpenDvFrameSource(path);
    std::vector<std::vector<uint8_t>> frames;
    std::vector<uint8_t> frame;
    while (source->next(frame)) frames.push_back(frame);
    EXPECT_FALSE(source->next(frame)) << "the end stays the end";
    return frames;
}

void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

Timecode addFrames(Timecode tc, int frames, int fps) {
    int total = ((tc.Hours * 60 + tc.Minutes) * 60 + tc.Seconds) * fps + tc.Frames + frames;
    return {static_cast<uint8_t>(total / (3600 * fps)), static_cast<uint8_t>(total / (60 * fps) % 60),
            static_cast<uint8_t>(total / fps % 60), static_cast<uint8_t>(total % fps)};
}

// Files written by FFmpeg's DV muxer: its recording date and time and its timecode must read back
// as written, including years after 2024 and the turn of the century.
TEST(RawDv, ReadsWhatFfmpegWrote) {
    struct Case {
        const char* name;
        const char* options;
        size_t frameBytes;
        int frames;
        DatecodeFields start;  // the recording clock advances with the frames' real time
        Timecode timecode;
    };
    const Case kCases[] = {
        {"pal",
         "-f lavfi -i testsrc=size=720x576:rate=25 -t 1 -c:v dvvideo -metadata "
         "creation_time=2026-05-17T14:03:09Z "
         "-timecode 01:02:03:04",
         kDvFrameBytes625,
         25,
         {2026, 5, 17, 14, 3, 9},
         {1, 2, 3, 4}},
        {"ntsc",
         "-f lavfi -i testsrc=size=720x480:rate=30000/1001 -t 3 -c:v dvvideo -pix_fmt yuv411p "
         "-metadata creation_time=1999-12-31T23:59:58Z -timecode 01:02:03\\;04",
         kDvFrameBytes525,
         90,
         {1999, 12, 31, 23, 59, 58},
         {1, 2, 3, 4}},
    };
    test::TempDir dir;
    for (const auto& c : kCases) {
        const std::string path = dir.file(std::string(c.name) + ".dv");
        int status = 0;
        test::RunCommand(std::string("ffmpeg -v error -y ") + c.options + " -f dv " + test::ShellQuote(path),
                         &status);
        ASSERT_EQ(status, 0) << c.name;
        const auto frames = readAll(path);
        ASSERT_EQ(frames.size(), size_t(c.frames)) << c.name;
        const bool is525 = c.frameBytes == kDvFrameBytes525;
        const int fps = is525 ? 30 : 25;
        for (int i = 0; i < c.frames; ++i) {
            const auto& frame = frames[static_cast<size_t>(i)];
            ASSERT_EQ(frame.size(), c.frameBytes);
            const int n = DifSequenceCount(frame.size());
            EXPECT_EQ(ReadSystem(frame), is525) << c.name << ' ' << i;
            // The muxer's clock runs at the true frame rate (30000/1001 at 525/60).
            const int64_t seconds = is525 ? int64_t{i} * 1001 / 30'000 : i / 25;
            EXPECT_EQ(ReadDatecode(frame, n), AddSeconds(c.start, seconds)) << c.name << ' ' << i;
            EXPECT_EQ(ReadTimecode(frame, n), addFrames(c.timecode, i, fps)) << c.name << ' ' << i;
        }
    }
}

TEST(RawDv, ReadsEveryWholeFrameAndDropsATrailingPart) {
    test::DvStreamRecipe clip;
    clip.is525 = true;
    clip.scenes = {{37, DatecodeFields{2004, 8, 1, 12, 0, 0}, 2}};  // more frames than one buffer holds
    clip.timecode = Timecode{0, 10, 0, 0};
    const auto frames = test::BuildDvStream(clip);
    test::TempDir dir;
    const size_t kTails[] = {0, 1, kDvFrameBytes525 - 1};
    for (size_t tail : kTails) {
        const std::string path = dir.file("clip.dv");
        test::WriteRawDv(path, frames);
        std::ofstream(path, std::ios::binary | std::ios::app).write(std::string(tail, '\x1f').data(), tail);
        RawDvReader reader(path);
        EXPECT_TRUE(reader.is525());
        EXPECT_EQ(reader.frameCount(), 37);
        const auto read = readAll(path);
        ASSERT_EQ(read.size(), frames.size()) << tail;
        for (size_t i = 0; i < frames.size(); ++i) ASSERT_EQ(read[i], frames[i]) << i;
    }
}

TEST(RawDv, RefusesWhatIsNotRawDv) {
    test::TempDir dir;
    auto pal = test::BuildDvFrame({});
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        const char* message;
    };
    const Case kCases[] = {
        {"empty", {}, "Le fichier est vide."},
        {"text", {'h', 'e', 'l', 'l', 'o', '\n'}, "Le fichier ne commence pas par une image DV."},
        {"three bytes", {0x1F, 0x07, 0x00}, "Le fichier ne commence pas par une image DV."},
        {"video block first", std::vector<uint8_t>(pal.begin() + 6 * 80, pal.end()),
         "Le fichier ne commence pas par une image DV."},
        {"less than a frame", std::vector<uint8_t>(pal.begin(), pal.end() - 1),
         "Le fichier ne contient aucune image DV complète."},
    };
    for (const auto& c : kCases) {
        const std::string path = dir.file(c.name);
        writeBytes(path, c.bytes);
        try {
            OpenDvFrameSource(path);
            ADD_FAILURE() << c.name << " was accepted";
        } catch (const MediaError& e) {
            EXPECT_EQ(e.message(), c.message) << c.name;
            EXPECT_EQ(e.path(), path);
        }
    }
    EXPECT_THROW(OpenDvFrameSource(dir.file("missing.dv")), MediaError);
    EXPECT_THROW(OpenDvFrameSource(dir.path().string()), MediaError);
    // A RIFF file goes to the AVI reader, never to the raw one.
    writeBytes(dir.file("x.avi"), {'R', 'I', 'F', 'F', 0, 0, 0, 0});
    EXPECT_THROW(OpenDvFrameSource(dir.file("x.avi")), MediaError);
}

TEST(RawDv, SystemFromTheFirstHeader) {
    struct Case {
        std::vector<uint8_t> bytes;
        size_t frameBytes;
    };
    const Case kCases[] = {
        {{0x1F, 0x07, 0x00, 0xBF}, kDvFrameBytes625},
        {{0x1F, 0x07, 0x00, 0x3F}, kDvFrameBytes525},
        {{0x1F, 0x07, 0x00, 0x1F}, 0},
        {{0x1F, 0x17, 0x00, 0xBF}, 0},  // sequence 1
        {{0x3F, 0x07, 0x00, 0xBF}, 0},  // a subcode block
        {{0x1F, 0x07, 0x01, 0xBF}, 0},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(RawDvFrameBytes(c.bytes), c.frameBytes) << std::hex << int(c.bytes[3]);
}

TEST(RawDv, WriterReplacesTheTargetOnlyOnCommit) {
    test::TempDir dir;
    const std::string path = dir.file("out.dv");
    writeBytes(path, {'o', 'l', 'd'});
    const auto frame = test::BuildDvFrame({});
    {
        RawDvWriter writer(path);
        writer.write(frame);
        EXPECT_EQ(std::filesystem::file_size(path), 3u) << "the old file stays until the commit";
    }
    EXPECT_EQ(std::filesystem::file_size(path), 3u) << "an abandoned write changes nothing";
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1)
        << "no temporary file left";
    {
        RawDvWriter writer(path);
        writer.write(frame);
        writer.write(frame);
        writer.commit();
    }
    EXPECT_EQ(readAll(path).size(), 2u);
    EXPECT_THROW(RawDvWriter(dir.file("no/such/folder/out.dv")), MediaError);
}

}  // namespace
}  // namespace velinor
