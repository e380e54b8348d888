// The probe reads the container with the AVI demuxer and runs the first DV frames through the
// scene detector, giving what a splitter, a DV splitter and a null renderer would report.
#include "filters/probe.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "media/avi_demuxer.h"
#include "media/dif_audio.h"
#include "media/media_error.h"

namespace velinor {
namespace {

void Put16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}
void Put64(uint8_t* p, uint64_t v) {
    for (int i = 0; i < 8; ++i) p[i] = uint8_t(v >> (8 * i));
}
uint32_t Get32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// Opens a regular file for reading without blocking on a FIFO or a device; -1 otherwise.
int OpenRegular(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool ReadAt(int fd, uint64_t offset, void* buffer, size_t count) {
    auto* out = static_cast<uint8_t*>(buffer);
    while (count > 0) {
        const ssize_t n = ::pread(fd, out, count, off_t(offset));
        if (n <= 0) return false;
        out += n;
        offset += uint64_t(n);
        count -= size_t(n);
    }
    return true;
}

// A RIFF WAVE file as the splitter shows it: one audio stream of the "fmt " format, lasting as
// long as its "data" bytes play. Chunks are walked with every size checked against the file.
void ProbeWave(int fd, uint64_t fileSize, ProbeResult& r) {
    uint8_t riff[12];
    if (!ReadAt(fd, 0, riff, 12)) return;
    const uint64_t formEnd = std::min<uint64_t>(fileSize, 8 + uint64_t(Get32(riff + 4)));
    uint64_t pos = 12;
    std::array<uint8_t, 18> format{};
    bool haveFormat = false;
    uint64_t dataBytes = 0;
    bool haveData = false;
    while (pos + 8 <= formEnd) {
        uint8_t head[8];
        if (!ReadAt(fd, pos, head, 8)) break;
        const uint64_t size = Get32(head + 4);
        const uint64_t body = pos + 8;
        const uint64_t available = formEnd - body;
        if (std::memcmp(head, "fmt ", 4) == 0 && !haveFormat) {
            const size_t n = size_t(std::min<uint64_t>({size, available, 18}));
            if (n >= 16 && ReadAt(fd, body, format.data(), n)) haveFormat = true;
        } else if (std::memcmp(head, "data", 4) == 0 && !haveData) {
            dataBytes = std::min(size, available);  // a cut-short file plays what it holds
            haveData = true;
        }
        if (size > available) break;
        pos = body + size + (size & 1);
    }
    r.StreamCount = haveFormat ? 1 : 0;
    if (!haveFormat) return;
    r.AudioFound = true;
    r.AudioFormat = format;
    const uint32_t bytesPerSecond = Get32(format.data() + 8);
    r.AudioDuration = bytesPerSecond > 0 ? int64_t(dataBytes * 10'000'000 / bytesPerSecond) : 0;
}

std::array<uint8_t, 88> DvSplitterVideo(size_t frameBytes, int64_t tick) {
    const bool is525 = frameBytes == kDvFrameBytes525;
    if (tick <= 0) tick = is525 ? kFrameDuration525 : kFrameDuration625;
    std::array<uint8_t, 88> v{};
    Put32(&v[32], uint32_t(std::min<int64_t>(int64_t(frameBytes) * 8 * 10'000'000 / tick, UINT32_MAX)));
    Put64(&v[40], uint64_t(tick));
    Put32(&v[48], 40);                    // biSize
    Put32(&v[52], 720);                   // biWidth
    Put32(&v[56], is525 ? 480 : 576);     // biHeight
    Put16(&v[60], 1);                     // biPlanes
    Put16(&v[62], 24);                    // biBitCount
    Put32(&v[64], FourCC("dvsd"));        // biCompression
    Put32(&v[68], uint32_t(frameBytes));  // biSizeImage
    return v;
}

// The DV splitter's audio pin: every channel the frame's audio blocks carry (1 or 2 at 16 bits,
// 2 or 4 at 12 bits), as 16-bit PCM, read by the same parser the splitter uses.
std::array<uint8_t, 18> DvSplitterAudio(const DifAudioFormat& audio) {
    const uint16_t channels = uint16_t(audio.Channels);
    std::array<uint8_t, 18> w{};
    Put16(&w[0], 1);  // WAVE_FORMAT_PCM
    Put16(&w[2], channels);
    Put32(&w[4], uint32_t(audio.Frequency));
    Put32(&w[8], uint32_t(audio.Frequency) * channels * 2);
    Put16(&w[12], uint16_t(channels * 2));
    Put16(&w[14], 16);
    return w;
}

}  // namespace

TdmList::TdmList() : detector_(nullptr) {}

bool TdmList::ProbeFile(const std::string& path, bool treatVideoAsDvsd) {
    ProbeResult& r = Result;
    r = ProbeResult{};

    const int fd = OpenRegular(path);
    if (fd < 0) return false;
    struct stat st {};
    uint8_t head[12]{};
    const bool statOk = ::fstat(fd, &st) == 0;
    const bool headOk = statOk && st.st_size >= 12 && ReadAt(fd, 0, head, 12);
    if (headOk && std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "WAVE", 4) == 0) {
        ProbeWave(fd, uint64_t(st.st_size), r);
        ::close(fd);
        return true;
    }
    ::close(fd);
    if (!statOk) return false;

    std::unique_ptr<AviDemuxer> demux;
    try {
        demux = std::make_unique<AviDemuxer>(path);
    } catch (const MediaError&) {
        return true;  // no stream to report: the record shows what the container check found
    } catch (const std::bad_alloc&) {
        return true;
    }

    const auto& streams = demux->streams();
    r.StreamCount = int32_t(streams.size());
    std::vector<uint8_t> frame;

    // Runs the stream's first frames through the detector and keeps the last frame's values.
    const auto detect = [&](int stream, const AviStreamInfo& s) {
        r.DVFound = true;
        const int64_t tick = s.TickDuration100ns();
        detector_.StartStreaming(tick > 0 ? std::optional<int64_t>(tick) : std::nullopt);
        const int64_t count = std::min<int64_t>(kProbeFrames, int64_t(demux->samples(stream).size()));
        for (int64_t n = 0; n < count; ++n) {
            if (demux->Read(stream, n, frame)) detector_.Transform(frame);
            if (detector_.LastFrame.DatecodeValid) break;
        }
        const TDVFrameInfo& last = detector_.LastFrame;
        r.DatecodeValid = last.DatecodeValid;
        r.DatecodeValue = last.DatecodeValid ? last.Datecode : 0;
        r.TimecodeValid = last.TimecodeValid;
        r.TimecodeValue = last.Timecode;
        r.Wide = last.Wide;
        detector_.Stop();
    };

    for (size_t i = 0; i < streams.size(); ++i) {
        const AviStreamInfo& s = streams[i];
        const int stream = int(i);
        const int64_t duration = s.Duration100ns;
        switch (s.Kind) {
            case AviStreamKind::Video: {
                const std::vector<uint8_t> format = s.MediaFormat();
                const uint32_t compression = format.size() >= 68 ? Get32(&format[64]) : 0;
                // A stream declared under another vendor's DV code is read as the DV it carries;
                // the record still shows the declared code, which VideoInfo keeps.
                const bool asDvsd = treatVideoAsDvsd || demux->IsDvStream(stream);
                const std::string subtype = asDvsd ? std::string("dvsd") : FourCCText(compression);
                if (Tdv_sceneDetect::CheckInputType({MediaMajorType::Video, subtype})) detect(stream, s);
                if (!r.VideoFound && format.size() >= 88) {
                    std::copy_n(format.begin(), 88, r.VideoInfo.begin());
                    if (treatVideoAsDvsd) Put32(&r.VideoInfo[64], FourCC("dvsd"));
                    r.VideoFound = true;
                    r.VideoDuration = duration;
                }
                break;
            }
            case AviStreamKind::Audio:
                // A PCM format may be stored as the 16-byte PCMWAVEFORMAT; the splitter hands
                // it on as a WAVEFORMATEX with cbSize 0.
                if (!r.AudioFound && s.Format.size() >= 16) {
                    const std::vector<uint8_t> format = s.MediaFormat();
                    std::copy_n(format.begin(), 18, r.AudioFormat.begin());
                    r.AudioFound = true;
                    r.AudioDuration = duration;
                }
                break;
            case AviStreamKind::Interleaved: {
                detect(stream, s);
                if (r.DVInfoFound || s.Format.size() < 32) break;
                std::copy_n(s.Format.begin(), 32, r.DVInfo.begin());
                r.DVInfoFound = true;
                r.VideoDuration = r.AudioDuration = duration;
                // The DV splitter needs a DV frame to describe its outputs.
                const auto& samples = demux->samples(stream);
                const auto first = std::find_if(samples.begin(), samples.end(),
                                                [](const AviSample& x) { return x.Size > 0; });
                if (first == samples.end() || !demux->Read(stream, first - samples.begin(), frame))
                    return false;
                const int n = DifSequenceCount(frame.size());
                if (n == 0) return false;
                if (!r.VideoFound) {
                    r.VideoInfo = DvSplitterVideo(frame.size(), s.TickDuration100ns());
                    r.VideoFound = true;
                }
                const auto audio = ReadDifAudioFormat(frame);
                if (!r.AudioFound && audio && audio->Format.Frequency > 0) {
                    r.AudioFormat = DvSplitterAudio(audio->Format);
                    r.AudioFound = true;
                }
                break;
            }
            case AviStreamKind::Other:
                break;
        }
    }
    return true;
}

TdmList& SharedProbe() {
    static TdmList probe;
    return probe;
}

}  // namespace velinor
