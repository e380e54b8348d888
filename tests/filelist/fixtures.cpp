#include "fixtures.h"

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "graph/dv_frame_maker.h"
#include "media/avi_writer.h"
#include "support/dv_builder.h"

namespace velinor::test {

FileListDir::FileListDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/velinor-filelist-XXXXXX";
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp");
    path_ = pattern;
}

FileListDir::~FileListDir() {
    std::error_code ec;
    // Restore permissions a test took away, so that everything can be removed.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
        if (!it->is_symlink()) ::chmod(it->path().c_str(), it->is_directory() ? 0700 : 0600);
    std::filesystem::remove_all(path_, ec);
}

void WriteDvAvi(const std::string& path, const DvFileRecipe& recipe) {
    DvClip clip;
    clip.is525 = !recipe.pal;
    clip.wide = recipe.wide;
    clip.scenes = {DvScene{recipe.frames, recipe.date, 0}};
    clip.timecode = recipe.timecode;
    clip.audio = recipe.dvAudio;
    const auto frames = BuildDvStream(clip);

    AviWriterSettings s;
    s.Type = recipe.type1 ? AviWriterSettings::Kind::DvType1 : AviWriterSettings::Kind::DvType2;
    s.Rate = recipe.pal ? 25 : 30000;
    s.Scale = recipe.pal ? 1 : 1001;
    s.Height = recipe.pal ? 576 : 480;
    s.VideoHandler = recipe.handler;
    s.DvInfoBlock = DvInfoFromFrame(frames.front());
    s.Channels = recipe.pcmChannels;
    s.SampleRate = recipe.pcmRate;
    s.ReplaceExisting = true;
    AviWriter writer(path, s);
    const size_t samplesPerFrame = recipe.pal ? recipe.pcmRate / 25 : recipe.pcmRate * 1001 / 30000;
    const std::vector<uint8_t> silence(samplesPerFrame * recipe.pcmChannels * 2, 0);
    for (const auto& frame : frames) {
        writer.WriteVideo(frame);
        if (!recipe.type1 && recipe.pcmChannels > 0) writer.WriteAudio(silence);
    }
    writer.Finish();
}

void WriteWave(const std::string& path, uint32_t rate, uint16_t channels, int seconds) {
    const uint32_t data = rate * channels * 2 * uint32_t(seconds);
    std::vector<uint8_t> b;
    const auto u32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
    };
    const auto u16 = [&](uint16_t v) {
        b.push_back(uint8_t(v));
        b.push_back(uint8_t(v >> 8));
    };
    const auto tag = [&](const char* t) { b.insert(b.end(), t, t + 4); };
    tag("RIFF");
    u32(36 + data);
    tag("WAVE");
    tag("fmt ");
    u32(16);
    u16(1);
    u16(channels);
    u32(rate);
    u32(rate * channels * 2);
    u16(uint16_t(channels * 2));
    u16(16);
    tag("data");
    u32(data);
    b.resize(b.size() + data, 0);
    WriteBytes(path, b);
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint64_t Checksum(const std::string& path) {
    uint64_t h = 1469598103934665603ull;
    for (uint8_t b : ReadBytes(path)) h = (h ^ b) * 1099511628211ull;
    return h;
}

}  // namespace velinor::test
