#include "support/avi_fixtures.h"

#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace velinor::test {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "velinor-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                 ec);
    std::filesystem::remove_all(path_, ec);
}

bool HaveProgram(const std::string& name) {
    return RunCommand("command -v " + name + " >/dev/null 2>&1") == 0;
}

int RunCommand(const std::string& command, std::string* output) {
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return -1;
    std::string text;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) text.append(buf, n);
    const int status = ::pclose(pipe);
    if (output) *output = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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
    if (RunCommand(cmd) != 0) return {};
    const std::vector<uint8_t> bytes = ReadFileBytes(out);
    const size_t frameBytes = pal ? 144'000 : 120'000;
    std::vector<std::vector<uint8_t>> frames;
    for (size_t at = 0; at + frameBytes <= bytes.size() && int(frames.size()) < count; at += frameBytes)
        frames.emplace_back(bytes.begin() + long(at), bytes.begin() + long(at + frameBytes));
    return frames;
}

}  // namespace velinor::test
