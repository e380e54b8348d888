#include <memory>

#include "media/avi_demuxer.h"
#include "media/dv_frame_source.h"
#include "media/media_error.h"

namespace velinor {

namespace {

// The DV stream of an AVI file, frame after frame. Samples that are not whole DV frames
// (dropped-frame placeholders of zero length, damaged chunks) are passed over.
class AviDvFrameSource final : public DvFrameSource {
  public:
    AviDvFrameSource(std::unique_ptr<AviDemuxer> demuxer, int stream)
        : demuxer_(std::move(demuxer)), stream_(stream) {}

    bool next(std::vector<uint8_t>& frame) override {
        const auto& samples = demuxer_->samples(stream_);
        while (next_ < int64_t(samples.size())) {
            const AviSample& s = samples[size_t(next_++)];
            if (s.Size != 120'000 && s.Size != 144'000) continue;
            if (demuxer_->Read(stream_, next_ - 1, frame)) return true;
        }
        return false;
    }

  private:
    std::unique_ptr<AviDemuxer> demuxer_;
    int stream_;
    int64_t next_ = 0;
};

}  // namespace

std::unique_ptr<DvFrameSource> OpenAviDvFrameSource(const std::string& path) {
    auto demuxer = std::make_unique<AviDemuxer>(path);
    const int interleaved = demuxer->FindStream(AviStreamKind::Interleaved);
    int stream = interleaved >= 0 ? interleaved : demuxer->FindStream(AviStreamKind::Video);
    if (stream < 0 || !demuxer->IsDvStream(stream)) {
        // A DV stream that is not the first video stream.
        stream = -1;
        for (int s = 0; s < int(demuxer->streams().size()); ++s)
            if (demuxer->IsDvStream(s)) {
                stream = s;
                break;
            }
    }
    if (stream < 0) throw MediaError(path, "le fichier ne contient pas de vidéo DV");
    return std::make_unique<AviDvFrameSource>(std::move(demuxer), stream);
}

}  // namespace velinor
