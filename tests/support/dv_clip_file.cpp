#include "support/dv_clip_file.h"

#include <memory>
#include <vector>

#include "graph/dv_frame_maker.h"
#include "media/avi_writer.h"

namespace velinor::test {

void WriteDvClip(const std::string& path, const DatecodeFields& date, int frames, bool is525, bool wide) {
    DvClip clip;
    clip.is525 = is525;
    clip.wide = wide;
    clip.scenes = {{frames, date, 0}};
    clip.timecode = Timecode{0, 1, 2, 3};
    clip.audio = AudioInfo{48'000, 2, 16};
    std::unique_ptr<AviWriter> writer;
    MakeClip(clip, [&](const std::vector<uint8_t>& frame) {
        if (!writer) {
            AviWriterSettings settings;
            settings.Type = AviWriterSettings::Kind::DvType1;
            settings.Rate = is525 ? 30000 : 25;
            settings.Scale = is525 ? 1001 : 1;
            settings.Height = is525 ? 480 : 576;
            settings.DvInfoBlock = DvInfoFromFrame(frame);
            settings.Channels = 0;
            writer = std::make_unique<AviWriter>(path, settings);
        }
        writer->WriteVideo(frame);
        return true;
    });
    writer->Finish();
}

}  // namespace velinor::test
