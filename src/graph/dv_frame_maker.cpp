#include "graph/dv_frame_maker.h"

#include <cstring>

namespace velinor {

namespace {

constexpr size_t kSubcodeBlock = 1;
constexpr size_t kVauxBlock = 3;
constexpr int kAudioBlocks = 9;

uint8_t* subcodePack(uint8_t* seq, int j) {
    return seq + (kSubcodeBlock + j / 6) * kDifBlockBytes + 6 + 8 * (j % 6);
}
uint8_t* vauxPack(uint8_t* seq, int block, int k) {
    return seq + (kVauxBlock + block) * kDifBlockBytes + 3 + 5 * k;
}
uint8_t* audioBlock(uint8_t* seq, int a) {
    return seq + (16 * static_cast<size_t>(a) + 6) * kDifBlockBytes;
}

int framesPerSecond(bool is525) {
    return is525 ? 30 : 25;
}

}  // namespace

BgrPicture MakeBarsPicture(int width, int height, int index) {
    // White, yellow, cyan, green, magenta, red, blue, black, at 75 % (as B, G, R).
    static constexpr uint8_t kBars[8][3] = {{191, 191, 191}, {0, 191, 191}, {191, 191, 0}, {0, 191, 0},
                                            {191, 0, 191},   {0, 0, 191},   {191, 0, 0},   {16, 16, 16}};
    const int shift = ((index % 8) + 8) % 8;
    const int dim = ((index / 8) % 4 + 4) % 4;  // further indexes darken the bars
    BgrPicture picture;
    picture.resize(width, height);
    std::vector<uint8_t> row(picture.stride, 0);
    for (int x = 0; x < width; ++x) {
        const uint8_t* bar = kBars[(x * 8 / width + shift) % 8];
        for (int c = 0; c < 3; ++c)
            row[3 * static_cast<size_t>(x) + c] = static_cast<uint8_t>(bar[c] * (4 - dim) / 4);
    }
    for (int y = 0; y < height; ++y) std::memcpy(picture.rowFromTop(y), row.data(), row.size());
    return picture;
}

DvFrameMaker::DvFrameMaker(bool is525, bool wide) : encoder_(is525, wide) {}

const std::vector<uint8_t>& DvFrameMaker::picture(int index) {
    auto it = pictures_.find(index);
    if (it != pictures_.end()) return it->second;
    std::vector<uint8_t> frame;
    if (!encoder_.encode(MakeBarsPicture(encoder_.width(), encoder_.height(), index), frame))
        throw CodecError("Encodage DV impossible");
    return pictures_.emplace(index, std::move(frame)).first->second;
}

void DvFrameMaker::make(const DvFramePacks& packs, int pictureIndex, std::vector<uint8_t>& frame) {
    frame = picture(pictureIndex);
    const bool is525 = encoder_.is525();
    const int n = DifSequenceCount(frame.size());
    const DvPack timecode = packs.timecode ? MakeTimecodePack(*packs.timecode) : DvPack{};
    const DvPack audio =
        packs.audio
            ? MakeAudioSourcePack(*packs.audio, is525, AudioSamplesPerFrame(packs.audio->Frequency, is525))
            : DvPack{};
    for (int s = 0; s < n; ++s) {
        uint8_t* seq = frame.data() + static_cast<size_t>(s) * kDifSequenceBytes;
        if (packs.timecode)
            for (int j : {0, 3, 6, 9}) std::memcpy(subcodePack(seq, j), timecode.data(), timecode.size());
        if (packs.datecode)
            for (int block = 0; block < 3; ++block) {
                // The encoder leaves these slots empty (0xFF); the date writer fills packs by ID.
                vauxPack(seq, block, 2)[0] = vauxPack(seq, block, 11)[0] = kPackRecordingDate;
                vauxPack(seq, block, 3)[0] = vauxPack(seq, block, 12)[0] = kPackRecordingTime;
            }
        if (packs.audio) {
            // The AAUX source pack sits in audio block 3 of even sequences and block 0 of odd ones;
            // the other audio packs stay empty and the samples are silence.
            for (int a = 0; a < kAudioBlocks; ++a) {
                uint8_t* block = audioBlock(seq, a);
                std::memset(block + 3, 0xFF, 5);
                std::memset(block + 8, 0, kDifBlockBytes - 8);
            }
            uint8_t* block = audioBlock(seq, s % 2 == 0 ? 3 : 0);
            std::memcpy(block + 3, audio.data(), audio.size());
            // 12-bit sound keeps its second pair (channels 3 and 4) in the second half of the
            // sequences; with one pair recorded, that half's pack says it holds no audio
            // (audio mode 0xF), as the DV sound writer does.
            if (packs.audio->Bits == 12 && packs.audio->Channels <= 2 && s >= n / 2) block[5] |= 0x0F;
        }
    }
    if (packs.datecode) WriteDatecode(frame, n, *packs.datecode);
}

int ClipFrameCount(const DvClip& clip) {
    int count = 0;
    for (const auto& scene : clip.scenes) count += std::max(scene.frames, 0);
    return count;
}

DatecodeFields AddSeconds(const DatecodeFields& fields, int64_t seconds) {
    const auto start = MakeDatecode(fields);
    if (!start) return fields;
    const DatecodeParts p = DecodeDatecode(*start + static_cast<double>(seconds) * kOneSecond);
    return {p.Year,
            static_cast<uint8_t>(p.Month),
            static_cast<uint8_t>(p.Day),
            static_cast<uint8_t>(p.Hour),
            static_cast<uint8_t>(p.Minute),
            static_cast<uint8_t>(p.Second)};
}

DvFramePacks ClipFramePacks(const DvClip& clip, int index) {
    const int fps = framesPerSecond(clip.is525);
    DvFramePacks packs;
    packs.audio = clip.audio;
    if (clip.timecode) {
        const Timecode& t = *clip.timecode;
        const int64_t day = int64_t{24} * 3600 * fps;
        const int64_t total =
            ((((t.Hours * 60 + t.Minutes) * 60 + t.Seconds) * int64_t{fps} + t.Frames) + index) % day;
        packs.timecode = Timecode{static_cast<uint8_t>(total / (3600 * fps)),
                                  static_cast<uint8_t>(total / (60 * fps) % 60),
                                  static_cast<uint8_t>(total / fps % 60), static_cast<uint8_t>(total % fps)};
    }
    int first = 0;
    for (const auto& scene : clip.scenes) {
        if (index < first + scene.frames) {
            if (scene.start) packs.datecode = AddSeconds(*scene.start, (index - first) / fps);
            break;
        }
        first += std::max(scene.frames, 0);
    }
    return packs;
}

bool MakeClip(const DvClip& clip, const std::function<bool(const std::vector<uint8_t>&)>& sink) {
    DvFrameMaker maker(clip.is525, clip.wide);
    std::vector<uint8_t> frame;
    int index = 0;
    for (const auto& scene : clip.scenes)
        for (int i = 0; i < scene.frames; ++i, ++index) {
            maker.make(ClipFramePacks(clip, index), scene.pictureIndex, frame);
            if (!sink(frame)) return false;
        }
    return true;
}

}  // namespace velinor
