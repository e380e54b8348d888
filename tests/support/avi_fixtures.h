#pragma once
// Fixtures for the AVI tests and benchmarks: running the outside tools, whole files as bytes,
// and real DV frames from FFmpeg's dvvideo encoder.
#include <cstdint>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace velinor::test {

bool HaveProgram(const std::string& name);
// Runs `command` through the shell; returns its exit status, and its standard output in `output`.
int RunStatus(const std::string& command, std::string* output = nullptr);

std::vector<uint8_t> ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);

// `count` DV frames with audio (a moving test pattern and a tone) encoded by ffmpeg, PAL
// (144 000 bytes) or NTSC (120 000 bytes). Empty when ffmpeg is missing.
std::vector<std::vector<uint8_t>> EncodeDvFrames(int count, bool pal);

}  // namespace velinor::test
