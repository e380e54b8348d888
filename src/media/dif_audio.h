#pragma once
// The audio of DV frames: unshuffling the PCM of one frame's audio blocks into interleaved 16-bit
// samples, and shuffling PCM back into them with the AAUX source (0x50) and source control (0x51)
// packs. Free functions are stateless and reentrant, allocate nothing per frame and never throw;
// they run on streaming threads, one frame at a time.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace velinor {

// What the audio blocks of a frame carry. The decoded PCM is always 16-bit; `Bits` is the word
// length on tape (12-bit words are non-linear and are expanded).
struct DifAudioFormat {
    int32_t Frequency = 0;  // Hz: 48 000, 44 100 or 32 000
    int32_t Bits = 0;       // 16 or 12
    int32_t Channels = 0;   // 1 or 2 at 16 bits; 2 or 4 at 12 bits
    bool operator==(const DifAudioFormat&) const = default;
};

// One decoded frame: its format and how many samples per channel it held.
struct DifAudioFrame {
    DifAudioFormat Format;
    int32_t Samples = 0;            // per channel
    int32_t ErrorSamples = 0;       // error codes (tape dropouts) met and concealed, all channels
    bool Locked = false;            // the source pack says the audio clock is locked to the video
    bool Emphasis = false;          // recorded with pre-emphasis; the samples are passed as they are
    bool InvalidRecording = false;  // the source control pack's recording mode says "invalid"; passed as is
};

// What replaces the error code (0x8000 in 16-bit words, 0x800 in 12-bit words) of a dropout.
enum class DropoutConcealment {
    Silence,      // zero, as FFmpeg's DV demuxer does
    Interpolate,  // a straight line between the good samples around the run, held at the frame's edges
};

// Reads the format and the sample count of a frame from its AAUX packs, without decoding.
// Empty when the frame has no source pack, or a format, word length or count it cannot carry.
std::optional<DifAudioFrame> ReadDifAudioFormat(std::span<const uint8_t> frame);

// Decodes the audio of one frame (120 000 or 144 000 bytes) into `pcm`, resized to
// Samples × Channels interleaved samples (12-bit four channels: pair 1 then pair 2). Empty, with
// `pcm` cleared, when the frame is not DV or carries no usable audio; callers count such frames.
std::optional<DifAudioFrame> DecodeDifAudio(std::span<const uint8_t> frame, std::vector<int16_t>& pcm,
                                            DropoutConcealment concealment = DropoutConcealment::Silence);

// Writes `samples` samples per channel of interleaved `pcm` into the audio blocks of `frame`, with
// the AAUX source and source control packs of every DIF sequence. 16-bit words equal to the error
// code are written one step above it; 12-bit words are compressed to the nearest code. A mono
// channel is also copied into the right channel's blocks, whose pack says they hold no audio, so
// that readers which only know stereo play it on both sides. Recording date and time packs
// (0x52-0x55) already in their places are kept. False, with the frame untouched, when the frame
// is not DV, the format is not one DV carries, `samples` is outside the range the pack can state
// or `pcm` is too short.
bool EncodeDifAudio(std::span<uint8_t> frame, const DifAudioFormat& format, std::span<const int16_t> pcm,
                    int32_t samples);

// The non-linear 12-bit code (two's complement, -2047..2047; -2048 is the error code) and the
// 16-bit value it stands for.
int16_t ExpandDifSample12(int16_t code);
int16_t CompressDifSample12(int16_t sample);  // nearest code, never the error code

// The lowest and highest sample counts per frame a source pack can state for this system and
// frequency; {0, 0} for an unknown frequency.
struct DifSampleRange {
    int32_t Min = 0;
    int32_t Max = 0;
};
DifSampleRange DifAudioSampleRange(bool is525, int32_t frequency);

// Says how many samples per channel each next frame of a stream takes, so that the audio keeps
// to the video's running time: 625/50 a fixed count; 525/60 48 kHz the five-frame 1600, 1602,
// 1602, 1602, 1602 cycle; 32 kHz a fifteen-frame cycle of 1066 and 1068; 44.1 kHz a
// hundred-frame cycle of 1471 and 1472. Owned by one streaming thread.
class DifAudioSequencer {
public:
    DifAudioSequencer(bool is525, int32_t frequency);

    // The count for the frame at `frameIndex` from the start of the stream; 0 for an unknown frequency.
    static int32_t SamplesForFrame(bool is525, int32_t frequency, int64_t frameIndex);

    int32_t peek() const { return SamplesForFrame(is525_, frequency_, frame_); }
    int32_t next() { return SamplesForFrame(is525_, frequency_, frame_++); }
    void reset() { frame_ = 0; }
    int64_t frameIndex() const { return frame_; }

private:
    bool is525_;
    int32_t frequency_;
    int64_t frame_ = 0;
};

}  // namespace velinor
