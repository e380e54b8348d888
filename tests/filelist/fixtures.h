#pragma once
// Real files for the file-list tests: DV AVI files written by our writer from encoder frames,
// WAVE files, and checksums of what is on disk.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "media/datecode.h"
#include "media/dvcodes.h"

namespace velinor::test {

// A fresh folder under the system's temporary folder, removed with its content even where a
// test took permissions away.
class FileListDir {
public:
    FileListDir();
    ~FileListDir();
    FileListDir(const FileListDir&) = delete;
    FileListDir& operator=(const FileListDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

struct DvFileRecipe {
    bool type1 = true;
    bool pal = true;
    bool wide = false;
    int frames = 5;
    std::optional<DatecodeFields> date = DatecodeFields{2024, 3, 12, 14, 5, 6};
    std::optional<Timecode> timecode = Timecode{1, 2, 3, 4};
    AudioInfo dvAudio{48'000, 2, 16};  // the AAUX packs of the frames
    uint16_t pcmChannels = 2;          // type 2 audio stream; none when 0
    uint32_t pcmRate = 48'000;
    uint32_t handler = 0x64737664;  // "dvsd"
};

void WriteDvAvi(const std::string& path, const DvFileRecipe& recipe);
// A PCM WAVE file of `seconds` of silence.
void WriteWave(const std::string& path, uint32_t rate, uint16_t channels, int seconds);
void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> ReadBytes(const std::string& path);
// FNV-1a of the file's bytes, or 0 when it cannot be read.
uint64_t Checksum(const std::string& path);

}  // namespace velinor::test
