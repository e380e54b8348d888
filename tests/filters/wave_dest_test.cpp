#include "filters/wave_dest.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "filters/file_writer.h"
#include "filters/graph_filters.h"
#include "graph/graph.h"
#include "support/temp_dir.h"

namespace velinor {
namespace {

using namespace std::chrono_literals;

uint32_t Le32(const std::vector<uint8_t>& bytes, size_t at) {
    return uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8 | uint32_t(bytes[at + 2]) << 16 |
           uint32_t(bytes[at + 3]) << 24;
}

std::vector<uint8_t> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// `count` PCM buffers of `bytes` bytes; buffer i is filled with the byte i + 1.
class PcmSource : public graph::SourceFilter {
public:
    PcmSource(int count, size_t bytes) : SourceFilter("PCM source"), count_(count), bytes_(bytes) {
        addOutput("Audio");
    }
    int64_t duration() const override { return count_ * 10'000'000LL * int64_t(bytes_) / 192'000; }
    std::vector<graph::MediaType> outputTypes(const graph::OutputPin&) override {
        graph::WaveFormat wave;
        wave.channels = 2;
        wave.samplesPerSec = 48'000;
        wave.bitsPerSample = 16;
        return {graph::AudioType(wave)};
    }

protected:
    void seek(int64_t, std::optional<int64_t>) override { next_ = 0; }
    graph::Flow produce() override {
        if (next_ >= count_) return graph::Flow::EndOfStream;
        auto sample = std::make_shared<graph::Sample>();
        sample->data.assign(bytes_, uint8_t(next_ + 1));
        sample->hasTime = true;
        sample->start = next_ * 10'000'000LL * int64_t(bytes_) / 192'000;
        sample->stop = sample->start + 10'000'000LL * int64_t(bytes_) / 192'000;
        ++next_;
        return deliver(*output(0), sample);
    }

private:
    int count_;
    size_t bytes_;
    int next_ = 0;
};

struct WaveGraph {
    WaveGraph(int count, size_t bytes, const std::string& path)
        : source(std::make_shared<PcmSource>(count, bytes)),
          wave(std::make_shared<WaveDestFilter>()),
          writer(std::make_shared<FileWriterFilter>()) {
        writer->SetFileName(path);
        graph.addFilter(source);
        graph.addFilter(wave);
        graph.addFilter(writer);
    }
    bool RunToEnd() {
        if (!graph.connect(*source->output(0), wave->inputPin())) return false;
        if (!graph.connect(wave->outputPin(), *writer->input(0))) return false;
        if (!graph.run()) return false;
        const auto event = graph.waitForEvent(10s);
        graph.stop();
        return event && event->type == graph::GraphEvent::Type::Complete;
    }
    graph::Graph graph;
    std::shared_ptr<PcmSource> source;
    std::shared_ptr<WaveDestFilter> wave;
    std::shared_ptr<FileWriterFilter> writer;
};

TEST(WaveDest, HeaderSizesAndByteRanges) {
    Tdv_WaveDest wave;
    wave.StartStreaming(18);
    EXPECT_EQ(wave.HeaderSize, 46u);
    const auto first = wave.Transform(4000);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->start, 46);
    EXPECT_EQ(first->stop, 4046);  // bytes 46 to 4 045
    for (int i = 1; i < 48; ++i) ASSERT_TRUE(wave.Transform(4000));
    const std::vector<uint8_t> format(18, 0xAA);
    const auto header = wave.Header(format);
    ASSERT_EQ(header.size(), 46u);
    EXPECT_EQ(Le32(header, 4), 192'038u);
    EXPECT_EQ(Le32(header, 16), 18u);
    EXPECT_EQ(Le32(header, 42), 192'000u);
    EXPECT_EQ(std::string(header.begin() + 38, header.begin() + 42), "data");

    // Sizes are 32-bit: a sample that would pass 4 GiB is refused and not counted.
    wave.DataWritten = 0xFFFF'FF00u - 46;
    EXPECT_TRUE(wave.Transform(0xFF));
    EXPECT_FALSE(wave.Transform(2));
    EXPECT_EQ(wave.DataWritten, 0xFFFF'FFFFu - 46);
}

TEST(WaveDest, WritesAWavFileThatOthersRead) {
    test::TempDir dir;
    const std::string path = dir.file("son d'été.wav");
    WaveGraph g(48, 4000, path);
    ASSERT_TRUE(g.RunToEnd()) << g.graph.lastError();
    EXPECT_FALSE(std::filesystem::exists(path)) << "no file under the user's name before it is complete";
    ASSERT_TRUE(g.wave->HeaderWritten()) << g.wave->HeaderError();
    std::string error;
    ASSERT_TRUE(g.writer->Commit(error)) << error;

    const auto bytes = ReadAll(path);
    ASSERT_EQ(bytes.size(), 46u + 192'000u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF");
    EXPECT_EQ(Le32(bytes, 4), 192'038u);
    EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(Le32(bytes, 16), 18u);
    EXPECT_EQ(Le32(bytes, 42), 192'000u);
    EXPECT_EQ(bytes[46], 1);
    EXPECT_EQ(bytes[4045], 1);
    EXPECT_EQ(bytes[4046], 2);
    EXPECT_EQ(bytes.back(), 48);

    int status = -1;
    const std::string probe = test::RunCommand(
        "ffprobe -v error -show_entries stream=codec_name,sample_rate,channels:format=duration -of "
        "default=nw=1 " +
            test::ShellQuote(path),
        &status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(probe.find("codec_name=pcm_s16le"), std::string::npos) << probe;
    EXPECT_NE(probe.find("sample_rate=48000"), std::string::npos) << probe;
    EXPECT_NE(probe.find("channels=2"), std::string::npos) << probe;
    EXPECT_NE(probe.find("duration=1.000000"), std::string::npos) << probe;
    const std::string python = test::RunCommand(
        "python3 -c 'import sys, wave; w = wave.open(sys.argv[1]); "
        "print(w.getnchannels(), w.getsampwidth(), w.getframerate(), w.getnframes())' " +
            test::ShellQuote(path),
        &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(python, "2 2 48000 48000\n");
}

TEST(WaveDest, AGraphStoppedEarlyStillGetsAMatchingHeader) {
    test::TempDir dir;
    const std::string path = dir.file("arret.wav");
    WaveGraph g(1'000'000, 4000, path);
    ASSERT_TRUE(g.graph.connect(*g.source->output(0), g.wave->inputPin()));
    ASSERT_TRUE(g.graph.connect(g.wave->outputPin(), *g.writer->input(0)));
    ASSERT_TRUE(g.graph.run());
    g.graph.stop();  // wherever the stream was
    ASSERT_TRUE(g.wave->HeaderWritten());
    std::string error;
    ASSERT_TRUE(g.writer->Commit(error)) << error;
    const auto bytes = ReadAll(path);
    ASSERT_GE(bytes.size(), 46u);
    EXPECT_EQ(Le32(bytes, 42), bytes.size() - 46);
    EXPECT_EQ(Le32(bytes, 4), bytes.size() - 8);
    EXPECT_EQ((bytes.size() - 46) % 4000, 0u);
}

TEST(WaveDest, AStreamWithoutAudioGivesAnEmptyWav) {
    test::TempDir dir;
    const std::string path = dir.file("vide.wav");
    WaveGraph g(0, 4000, path);
    ASSERT_TRUE(g.RunToEnd()) << g.graph.lastError();
    std::string error;
    ASSERT_TRUE(g.writer->Commit(error)) << error;
    const auto bytes = ReadAll(path);
    ASSERT_EQ(bytes.size(), 46u);
    EXPECT_EQ(Le32(bytes, 4), 38u);
    EXPECT_EQ(Le32(bytes, 42), 0u);
}

TEST(WaveDest, AnAbandonedRunLeavesNoFile) {
    test::TempDir dir;
    const std::string path = dir.file("abandon.wav");
    {
        std::ofstream existing(path);
        existing << "ancien contenu";
    }
    {
        WaveGraph g(3, 4000, path);
        ASSERT_TRUE(g.RunToEnd());
        g.graph.clear();
    }  // never committed
    EXPECT_EQ(ReadAll(path).size(), 14u) << "the user's file is untouched";
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);

    // A destination folder that does not exist refuses to start.
    WaveGraph missing(3, 4000, dir.file("absent/x.wav"));
    EXPECT_FALSE(missing.RunToEnd());
    EXPECT_NE(missing.graph.lastError().find("Impossible de créer"), std::string::npos)
        << missing.graph.lastError();
}

TEST(WaveDest, WithoutAFileDownstreamTheHeaderIsReportedMissing) {
    graph::Graph graph;
    auto source = std::make_shared<PcmSource>(2, 100);
    auto wave = std::make_shared<WaveDestFilter>();
    graph.addFilter(source);
    graph.addFilter(wave);
    ASSERT_TRUE(graph.connect(*source->output(0), wave->inputPin()));
    EXPECT_TRUE(wave->checkOutputType(wave->outputPin(),
                                      graph::MediaType(graph::MajorType::Stream, graph::FourCC("WAVE"))));
    EXPECT_FALSE(wave->checkOutputType(wave->outputPin(),
                                       graph::MediaType(graph::MajorType::Audio, graph::kSubtypePcm)));
    std::string error;
    ASSERT_TRUE(wave->startStreaming(error));
    wave->stopStreaming();
    EXPECT_FALSE(wave->HeaderWritten());
    EXPECT_FALSE(wave->HeaderError().empty());
}

}  // namespace
}  // namespace velinor
