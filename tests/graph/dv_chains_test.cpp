#include <gtest/gtest.h>

#include "graph/avi_mux_writer.h"
#include "graph/avi_source.h"
#include "graph/basic_filters.h"
#include "graph/dv_avi_files.h"
#include "graph/dv_muxer.h"
#include "graph/dv_splitter.h"
#include "graph/dv_video_decoder.h"
#include "graph/dv_video_encoder.h"
#include "graph/graph.h"
#include "media/avi_demuxer.h"
#include "media/dvcodes.h"
#include "media/media_error.h"
#include "support/avi_fixtures.h"
#include "support/temp_dir.h"

namespace velinor::graph {
namespace {

using test::RunCommand;
using test::ShellQuote;

bool HaveFfmpeg() {
    return test::HaveProgram("ffmpeg") && test::HaveProgram("ffprobe");
}

int FfprobeFrames(const std::string& path) {
    int status = 0;
    const std::string out = RunCommand(
        "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
        "stream=nb_read_frames -of csv=p=0 " +
            ShellQuote(path) + " 2>/dev/null",
        &status);
    return status == 0 && !out.empty() ? std::stoi(out) : -1;
}

// FFmpeg's decoding of the file's first audio stream, as 16-bit samples.
std::string FfmpegPcm(const std::string& path) {
    return RunCommand("ffmpeg -v error -nostdin -i " + ShellQuote(path) +
                      " -map 0:a:0 -f s16le -acodec pcm_s16le - 2>/dev/null");
}

std::vector<std::vector<uint8_t>> VideoFrames(const std::string& path) {
    AviDemuxer demuxer(path);
    const int stream = demuxer.VideoStream();
    std::vector<std::vector<uint8_t>> frames(demuxer.samples(stream).size());
    for (size_t i = 0; i < frames.size(); ++i) demuxer.Read(stream, int64_t(i), frames[i]);
    return frames;
}

// Everything but the audio blocks (blocks 6, 22, ..., 134 of each 150-block DIF sequence).
bool SameOutsideAudio(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    if (a.size() != b.size()) return false;
    for (size_t block = 0; block < a.size() / kDifBlockBytes; ++block) {
        const size_t inSequence = block % 150;
        if (inSequence >= 6 && (inSequence - 6) % 16 == 0) continue;
        if (!std::equal(a.begin() + ptrdiff_t(block * kDifBlockBytes),
                        a.begin() + ptrdiff_t((block + 1) * kDifBlockBytes),
                        b.begin() + ptrdiff_t(block * kDifBlockBytes)))
            return false;
    }
    return true;
}

struct Chain {
    Graph graph;
    std::shared_ptr<AviSource> source = std::make_shared<AviSource>();
    std::shared_ptr<AviMuxWriter> writer = std::make_shared<AviMuxWriter>();
    Chain(const std::string& in, const std::string& out) {
        source->load(in);
        writer->setFileName(out);
        graph.addFilter(source, "Source");
        graph.addFilter(writer, "Writer");
    }
    OutputPin& stream(size_t i) { return *source->output(i); }
    InputPin& nextWriterInput() { return *writer->inputs().back(); }
};

TEST(DvChainsSlow, Type1ToType2KeepsFramesAndAudio) {
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg missing";
    for (const bool is525 : {false, true}) {
        SCOPED_TRACE(is525 ? "525/60" : "625/50");
        test::TempDir dir;
        const auto clip = test::MakeDvAviClip(12, is525);
        test::WriteType1(dir.file("in.avi"), clip.frames, is525);

        Chain chain(dir.file("in.avi"), dir.file("out.avi"));
        auto splitter = std::make_shared<DvSplitter>();
        chain.graph.addFilter(splitter);
        ASSERT_TRUE(chain.graph.connect(chain.stream(0), *splitter->input()));
        ASSERT_TRUE(chain.graph.connect(*splitter->output(0), chain.nextWriterInput()));
        ASSERT_TRUE(chain.graph.connect(*splitter->output(1), chain.nextWriterInput()));
        const auto event = test::RunToEnd(chain.graph);
        ASSERT_TRUE(event && event->type == GraphEvent::Type::Complete)
            << (event ? event->message : "time-out");

        EXPECT_EQ(FfprobeFrames(dir.file("out.avi")), 12);
        const auto frames = VideoFrames(dir.file("out.avi"));
        EXPECT_TRUE(frames == clip.frames) << "DV frames changed";
        const std::string expected = FfmpegPcm(dir.file("in.avi"));
        ASSERT_FALSE(expected.empty());
        EXPECT_TRUE(FfmpegPcm(dir.file("out.avi")) == expected) << "audio differs";
    }
}

// Sources: our type 2 (dated frames, audio blocks empty, PCM beside) and FFmpeg's own.
TEST(DvChainsSlow, Type2ToType1ShufflesTheAudioIn) {
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg missing";
    struct Case {
        const char* name;
        bool is525;
        bool fromFfmpeg;
        int frames;
    };
    const Case cases[] = {
        {"ours 625", false, false, 12}, {"ours 525", true, false, 12}, {"ffmpeg 625", false, true, 25}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        const std::string in = dir.file("in.avi");
        std::vector<std::vector<uint8_t>> source;
        if (c.fromFfmpeg) {
            int status = 0;
            RunCommand(
                "ffmpeg -v error -nostdin -y -f lavfi -i testsrc=size=720x576:rate=25 -f lavfi -i "
                "sine=frequency=440:sample_rate=48000 -t 1 -c:v dvvideo -pix_fmt yuv420p -c:a pcm_s16le "
                "-ac 2 " +
                    ShellQuote(in) + " 2>&1",
                &status);
            ASSERT_EQ(status, 0);
        } else {
            const auto clip = test::MakeDvAviClip(c.frames, c.is525);
            test::WriteType2(in, clip.silentFrames, clip.pcm, c.is525);
        }
        source = VideoFrames(in);

        Chain chain(in, dir.file("out.avi"));
        auto muxer = std::make_shared<DvMuxer>();
        chain.graph.addFilter(muxer);
        ASSERT_TRUE(chain.graph.connect(chain.stream(0), *muxer->input(0)));
        ASSERT_TRUE(chain.graph.connect(chain.stream(1), *muxer->input(1)));
        ASSERT_TRUE(chain.graph.connect(*muxer->output(0), chain.nextWriterInput()));
        const auto event = test::RunToEnd(chain.graph);
        ASSERT_TRUE(event && event->type == GraphEvent::Type::Complete)
            << (event ? event->message : "time-out");

        const std::string out = dir.file("out.avi");
        EXPECT_EQ(FfprobeFrames(out), c.frames);
        AviDemuxer demuxer(out);
        ASSERT_EQ(demuxer.streams().size(), 1u);
        EXPECT_EQ(demuxer.streams()[0].Kind, AviStreamKind::Interleaved);
        const auto frames = VideoFrames(out);
        ASSERT_EQ(frames.size(), source.size());
        for (size_t i = 0; i < frames.size(); ++i) {
            EXPECT_TRUE(SameOutsideAudio(frames[i], source[i])) << "frame " << i;
            EXPECT_EQ(ReadDatecode(frames[i], c.is525 ? 10 : 12), ReadDatecode(source[i], c.is525 ? 10 : 12));
            EXPECT_EQ(ReadTimecode(frames[i], c.is525 ? 10 : 12), ReadTimecode(source[i], c.is525 ? 10 : 12));
        }
        const std::string expected = FfmpegPcm(in);
        const std::string got = FfmpegPcm(out);
        ASSERT_FALSE(expected.empty());
        EXPECT_TRUE(got == expected) << "audio differs: " << got.size() << " bytes against "
                                     << expected.size();
    }
}

TEST(DvChainsSlow, DecodeEncodeGivesDvThePackWritersRewrite) {
    if (!HaveFfmpeg()) GTEST_SKIP() << "ffmpeg missing";
    // Straight from decoder to encoder the codec's planes pass; a filter that works on pictures
    // between them gets bottom-up BGR, here the colour converter, which passes BGR through.
    struct Case {
        bool is525;
        bool throughPictures;
        uint32_t decodedSubtype;
    };
    const Case kCases[] = {
        {false, false, kSubtypeI420},
        {true, false, kSubtypeY41B},
        {false, true, kSubtypeRgb24},
        {true, true, kSubtypeRgb24},
    };
    for (const auto& c : kCases) {
        const bool is525 = c.is525;
        SCOPED_TRACE(std::string(is525 ? "525/60" : "625/50") +
                     (c.throughPictures ? " through BGR" : " direct"));
        test::TempDir dir;
        const auto clip = test::MakeDvAviClip(8, is525);
        test::WriteType2(dir.file("in.avi"), clip.frames, clip.pcm, is525);

        Chain chain(dir.file("in.avi"), dir.file("out.avi"));
        auto decoder = std::make_shared<DvVideoDecoder>();
        auto encoder = std::make_shared<DvVideoEncoder>();
        chain.graph.addFilter(decoder);
        chain.graph.addFilter(encoder);
        ASSERT_TRUE(chain.graph.connect(chain.stream(0), decoder->inputPin()));
        if (c.throughPictures) {
            auto pictures = std::make_shared<ColourConverter>();
            chain.graph.addFilter(pictures);
            ASSERT_TRUE(chain.graph.connect(decoder->outputPin(), pictures->inputPin()));
            ASSERT_TRUE(chain.graph.connect(pictures->outputPin(), encoder->inputPin()));
        } else {
            ASSERT_TRUE(chain.graph.connect(decoder->outputPin(), encoder->inputPin()));
        }
        EXPECT_EQ(FourCCText(decoder->outputPin().connectionType().subtype), FourCCText(c.decodedSubtype));
        ASSERT_TRUE(chain.graph.connect(encoder->outputPin(), chain.nextWriterInput()));
        ASSERT_TRUE(chain.graph.connect(chain.stream(1), chain.nextWriterInput()));
        const auto event = test::RunToEnd(chain.graph);
        ASSERT_TRUE(event && event->type == GraphEvent::Type::Complete)
            << (event ? event->message : "time-out");

        const std::string out = dir.file("out.avi");
        EXPECT_EQ(FfprobeFrames(out), 8);
        int status = 0;
        EXPECT_EQ(RunCommand("ffmpeg -v error -nostdin -i " + ShellQuote(out) + " -f null - 2>&1", &status),
                  "");
        EXPECT_EQ(status, 0);
        EXPECT_TRUE(FfmpegPcm(out) == FfmpegPcm(dir.file("in.avi")));

        DvDecoder check;
        auto frames = VideoFrames(out);
        ASSERT_EQ(frames.size(), 8u);
        const int sequences = is525 ? 10 : 12;
        for (size_t i = 0; i < frames.size(); ++i) {
            auto& frame = frames[i];
            EXPECT_EQ(ReadSystem(frame), std::optional<bool>(is525));
            EXPECT_FALSE(ReadDatecode(frame, sequences).has_value()) << "subcode and VAUX dates start empty";
            WriteDatecode(frame, sequences, test::kClipStart);
            EXPECT_EQ(ReadDatecode(frame, sequences), std::optional(test::kClipStart));
            EXPECT_EQ(ReadWideFlag(frame, sequences), std::optional(false));
            // The picture survives the round trip the right way up.
            BgrPicture before, after;
            ASSERT_TRUE(check.decode(clip.frames[i], before));
            ASSERT_TRUE(check.decode(frame, after));
            double difference = 0;
            for (size_t p = 0; p < before.pixels.size(); ++p)
                difference += std::abs(int(before.pixels[p]) - int(after.pixels[p]));
            EXPECT_LT(difference / double(before.pixels.size()), 6.0) << "frame " << i;
        }
    }
}

TEST(DvChainsSlow, SeekWritesTheRequestedFramesOnly) {
    test::TempDir dir;
    const auto clip = test::MakeDvAviClip(10, false);
    test::WriteType1(dir.file("in.avi"), clip.frames, false);
    Chain chain(dir.file("in.avi"), dir.file("out.avi"));
    ASSERT_TRUE(chain.graph.connect(chain.stream(0), chain.nextWriterInput()));
    ASSERT_TRUE(chain.graph.setPositions(3, 7, TimeFormat::Frame));
    const auto event = test::RunToEnd(chain.graph);
    ASSERT_TRUE(event && event->type == GraphEvent::Type::Complete);
    const auto frames = VideoFrames(dir.file("out.avi"));
    ASSERT_EQ(frames.size(), 4u);
    for (size_t i = 0; i < 4; ++i) EXPECT_TRUE(frames[i] == clip.frames[i + 3]) << "frame " << i;
}

TEST(DvChainsSlow, CutShortSourceGivesTheFramesItHolds) {
    test::TempDir dir;
    const auto clip = test::MakeDvAviClip(10, false);
    test::WriteType1(dir.file("in.avi"), clip.frames, false);
    auto bytes = test::ReadFileBytes(dir.file("in.avi"));
    bytes.resize(bytes.size() / 2);
    test::WriteFileBytes(dir.file("cut.avi"), bytes);
    Chain chain(dir.file("cut.avi"), dir.file("out.avi"));
    ASSERT_TRUE(chain.graph.connect(chain.stream(0), chain.nextWriterInput()));
    const auto event = test::RunToEnd(chain.graph);
    ASSERT_TRUE(event && event->type == GraphEvent::Type::Complete);
    const auto frames = VideoFrames(dir.file("out.avi"));
    ASSERT_GE(frames.size(), 3u);
    ASSERT_LT(frames.size(), 10u);
    for (size_t i = 0; i < frames.size(); ++i) EXPECT_TRUE(frames[i] == clip.frames[i]) << "frame " << i;
}

// Damaged or unsuitable inputs and outputs: a clear error, and nothing of the user's lost.
TEST(DvChainsSlow, BadFilesAreRefusedAndLeftAlone) {
    test::TempDir dir;
    test::WriteFileBytes(dir.file("wave.avi"), {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'});
    for (const char* name : {"missing.avi", "wave.avi"}) {
        AviSource source;
        EXPECT_THROW(source.load(dir.file(name)), MediaError) << name;
    }

    // A target that exists is not replaced unless asked, and the run ends with an error.
    const auto clip = test::MakeDvAviClip(3, false);
    test::WriteType1(dir.file("in.avi"), clip.frames, false);
    test::WriteFileBytes(dir.file("taken.avi"), {1, 2, 3});
    Chain chain(dir.file("in.avi"), dir.file("taken.avi"));
    ASSERT_TRUE(chain.graph.connect(chain.stream(0), chain.nextWriterInput()));
    const auto event = test::RunToEnd(chain.graph);
    ASSERT_TRUE(event.has_value());
    EXPECT_EQ(event->type, GraphEvent::Type::Error);
    EXPECT_EQ(test::ReadFileBytes(dir.file("taken.avi")), (std::vector<uint8_t>{1, 2, 3}));
    size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        files += entry.is_regular_file();
    EXPECT_EQ(files, 3u) << "a temporary file was left behind";
}

// Connections that must be refused, so the render helper looks for another way.
TEST(DvChainsSlow, FiltersRefuseTypesTheyCannotHandle) {
    VideoInfo rgb;
    rgb.width = 720;
    rgb.height = 576;
    rgb.bitCount = 24;
    VideoInfo topDown = rgb;
    topDown.height = -576;
    VideoInfo small = rgb;
    small.width = 352;
    auto planes = [](uint32_t subtype, int height) {
        VideoInfo info;
        info.width = 720;
        info.height = height;
        info.bitCount = 12;
        info.compression = subtype;
        return VideoType(subtype, info);
    };
    WaveFormat stereo48{kSubtypePcm, 2, 48'000, 16};
    WaveFormat rate22{kSubtypePcm, 2, 22'050, 16};
    WaveFormat bits8{kSubtypePcm, 2, 48'000, 8};
    struct Case {
        const char* name;
        std::function<bool()> accepted;
        bool expected;
    };
    DvVideoEncoder encoder;
    DvVideoDecoder decoder;
    DvMuxer muxer;
    DvSplitter splitter;
    const Case cases[] = {
        {"encoder RGB24 720x576",
         [&] { return encoder.checkInputType(encoder.inputPin(), VideoType(kSubtypeRgb24, rgb)); }, true},
        {"encoder top-down",
         [&] { return encoder.checkInputType(encoder.inputPin(), VideoType(kSubtypeRgb24, topDown)); },
         false},
        {"encoder 352 wide",
         [&] { return encoder.checkInputType(encoder.inputPin(), VideoType(kSubtypeRgb24, small)); }, false},
        {"encoder I420 576 rows",
         [&] { return encoder.checkInputType(encoder.inputPin(), planes(kSubtypeI420, 576)); }, true},
        {"encoder Y41B 480 rows",
         [&] { return encoder.checkInputType(encoder.inputPin(), planes(kSubtypeY41B, 480)); }, true},
        {"encoder I420 480 rows",
         [&] { return encoder.checkInputType(encoder.inputPin(), planes(kSubtypeI420, 480)); }, false},
        {"encoder Y41B 576 rows",
         [&] { return encoder.checkInputType(encoder.inputPin(), planes(kSubtypeY41B, 576)); }, false},
        {"encoder YV12",
         [&] { return encoder.checkInputType(encoder.inputPin(), planes(FourCC("YV12"), 576)); }, false},
        {"decoder dvsd",
         [&] {
             return decoder.checkInputType(decoder.inputPin(), MediaType(MajorType::Video, kSubtypeDvsd));
         },
         true},
        {"decoder MJPG",
         [&] {
             return decoder.checkInputType(decoder.inputPin(), MediaType(MajorType::Video, FourCC("MJPG")));
         },
         false},
        {"muxer 48 kHz", [&] { return muxer.checkInputType(*muxer.input(1), AudioType(stereo48)); }, true},
        {"muxer 22.05 kHz", [&] { return muxer.checkInputType(*muxer.input(1), AudioType(rate22)); }, false},
        {"muxer 8-bit", [&] { return muxer.checkInputType(*muxer.input(1), AudioType(bits8)); }, false},
        {"splitter iavs",
         [&] {
             return splitter.checkInputType(*splitter.input(),
                                            MediaType(MajorType::Interleaved, kSubtypeDvsd));
         },
         true},
        {"splitter vids",
         [&] {
             return splitter.checkInputType(*splitter.input(), MediaType(MajorType::Video, kSubtypeDvsd));
         },
         false},
    };
    for (const auto& c : cases) EXPECT_EQ(c.accepted(), c.expected) << c.name;
}

}  // namespace
}  // namespace velinor::graph
