#pragma once
// Fixtures for the AVI tests and benchmarks: temporary folders, running the outside tools, and
// real DV frames from FFmpeg's dvvideo encoder.
#include <cstdint>
#include <string>
#include <vector>

namespace velinor::test {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

bool HaveProgram(const std::string& name);
// Runs `command` through the shell; returns its exit status and its standard output.
int RunCommand(const std::string& command, std::string* output = nullptr);

std::vector<uint8_t> ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);

// `count` DV frames with audio (a moving test pattern and a tone) encoded by ffmpeg, PAL
// (144 000 bytes) or NTSC (120 000 bytes). Empty when ffmpeg is missing.
std::vector<std::vector<uint8_t>> EncodeDvFrames(int count, bool pal);

}  // namespace velinor::test
