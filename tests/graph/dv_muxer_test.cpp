#include "graph/dv_muxer.h"

#include <gtest/gtest.h>

#include "graph/avi_mux_writer.h"
#include "graph/avi_source.h"
#include "graph/dv_avi_files.h"
#include "graph/graph.h"
#include "media/avi_demuxer.h"
#include "support/avi_fixtures.h"
#include "support/temp_dir.h"

namespace velinor::graph {
namespace {

using test::RunCommand;
using test::ShellQuote;

std::vector<int16_t> FfmpegPcm(const std::string& path, int stream) {
    const std::string bytes =
        RunCommand("ffmpeg -v error -nostdin -i " + ShellQuote(path) + " -map 0:a:" + std::to_string(stream) +
                   " -f s16le -acodec pcm_s16le - 2>/dev/null");
    std::vector<int16_t> pcm(bytes.size() / 2);
    for (size_t i = 0; i < pcm.size(); ++i)
        pcm[i] = int16_t(uint8_t(bytes[2 * i]) | uint8_t(bytes[2 * i + 1]) << 8);
    return pcm;
}

// Two audio streams: kept as four 12-bit channels when both are at 32 kHz, else the second is
// dropped with a notice and the first is carried alone.
TEST(DvMuxerSlow, SecondAudioStreamOnlyAsFour12BitChannels) {
    if (!test::HaveProgram("ffmpeg")) GTEST_SKIP() << "ffmpeg missing";
    struct Case {
        int rate;
        bool kept;
    };
    for (const Case c : {Case{32'000, true}, Case{48'000, false}}) {
        SCOPED_TRACE(c.rate);
        test::TempDir dir;
        const auto clip = test::MakeDvAviClip(10, false);
        test::WriteType2(dir.file("video.avi"), clip.silentFrames, clip.pcm, false);
        int status = 0;
        const std::string rate = std::to_string(c.rate);
        RunCommand("ffmpeg -v error -nostdin -y -i " + ShellQuote(dir.file("video.avi")) +
                       " -f lavfi -i sine=frequency=440:sample_rate=" + rate +
                       " -f lavfi -i sine=frequency=950:sample_rate=" + rate +
                       " -t 0.4 -map 0:v -map 1:a -map 2:a -c:v copy -c:a pcm_s16le -ac 2 " +
                       ShellQuote(dir.file("in.avi")) + " 2>&1",
                   &status);
        ASSERT_EQ(status, 0);

        Graph g;
        auto source = std::make_shared<AviSource>();
        source->load(dir.file("in.avi"));
        ASSERT_EQ(source->outputs().size(), 3u);
        auto muxer = std::make_shared<DvMuxer>();
        auto writer = std::make_shared<AviMuxWriter>();
        writer->setFileName(dir.file("out.avi"));
        g.addFilter(source);
        g.addFilter(muxer);
        g.addFilter(writer);
        ASSERT_TRUE(g.connect(*source->output(0), *muxer->input(0)));
        ASSERT_TRUE(g.connect(*source->output(1), *muxer->input(1)));
        ASSERT_NE(muxer->input(2), nullptr) << "no second audio input";
        ASSERT_TRUE(g.connect(*source->output(2), *muxer->input(2)));
        ASSERT_TRUE(g.connect(*muxer->output(0), *writer->inputs().back()));
        const auto event = test::RunToEnd(g);
        ASSERT_TRUE(event && event->type == GraphEvent::Type::Complete)
            << (event ? event->message : "time-out");
        EXPECT_EQ(muxer->droppedNotice().empty(), c.kept);

        const auto first = FfmpegPcm(dir.file("in.avi"), 0);
        const auto second = FfmpegPcm(dir.file("in.avi"), 1);
        AviDemuxer out(dir.file("out.avi"));
        std::vector<int16_t> got, pcm;
        std::vector<uint8_t> frame;
        for (int64_t i = 0; i < int64_t(out.samples(0).size()); ++i) {
            ASSERT_TRUE(out.Read(0, i, frame));
            const auto decoded = DecodeDifAudio(frame, pcm);
            ASSERT_TRUE(decoded.has_value());
            EXPECT_EQ(decoded->Format.Channels, c.kept ? 4 : 2);
            EXPECT_EQ(decoded->Format.Bits, c.kept ? 12 : 16);
            got.insert(got.end(), pcm.begin(), pcm.end());
        }
        const size_t channels = c.kept ? 4 : 2;
        const size_t samples = std::min(got.size() / channels, first.size() / 2);
        ASSERT_GT(samples, 1000u);
        auto carried = [&](int16_t v) { return c.kept ? ExpandDifSample12(CompressDifSample12(v)) : v; };
        size_t mismatches = 0;
        for (size_t n = 0; n < samples; ++n) {
            for (size_t ch = 0; ch < 2; ++ch) {
                mismatches += got[n * channels + ch] != carried(first[n * 2 + ch]);
                if (c.kept && n < second.size() / 2)
                    mismatches += got[n * channels + 2 + ch] != carried(second[n * 2 + ch]);
            }
        }
        EXPECT_EQ(mismatches, 0u);
    }
}

}  // namespace
}  // namespace velinor::graph
