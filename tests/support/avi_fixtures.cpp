#include "support/avi_fixtures.h"

#include <filesystem>
#include <fstream>
#include <iterator>

namespace velinor::test {

bool HaveProgram(const std::string& name) {
    return RunStatus("command -v " + name + " >/dev/null 2>&1") == 0;
}

int RunStatus(const std::string& command, std::string* output) {
    int status = -1;
    std::string text = RunCommand(command, &status);
    if (output) *output = std::move(text);
    return status;
}

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::vector<std::vector<uint8_t>> EncodeDvFrames(int count, bool pal) {
    if (!HaveProgram("ffmpeg")) return {};
    TempDir dir;
    const std::string out = dir.file("frames.dv");
    const std::string size = pal ? "720x576" : "720x480";
    const std::string rate = pal ? "25" : "30000/1001";
    // Both sources are endless; the output duration picks the frame count (the DV muxer needs
    // audio for every frame, so -frames:v would lose the last ones).
    const std::string seconds = std::to_string(count * (pal ? 0.04 : 1001.0 / 30000) + 0.001);
    const std::string cmd = "ffmpeg -v error -nostdin -y -f lavfi -i testsrc=size=" + size + ":rate=" + rate +
                            " -f lavfi -i sine=sample_rate=48000:frequency=1000 -t " + seconds +
                            " -c:v dvvideo -pix_fmt " + (pal ? "yuv420p" : "yuv411p") +
                            " -c:a pcm_s16le -ac 2 -f dv " + out;
    if (RunStatus(cmd) != 0) return {};
    const std::vector<uint8_t> bytes = ReadFileBytes(out);
    const size_t frameBytes = pal ? 144'000 : 120'000;
    std::vector<std::vector<uint8_t>> frames;
    for (size_t at = 0; at + frameBytes <= bytes.size() && int(frames.size()) < count; at += frameBytes)
        frames.emplace_back(bytes.begin() + long(at), bytes.begin() + long(at + frameBytes));
    return frames;
}

}  // namespace velinor::test
