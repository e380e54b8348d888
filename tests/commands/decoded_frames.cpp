#include "commands/decoded_frames.h"

#include <stdexcept>

#include "graph/dv_codec.h"
#include "media/dv_frame_source.h"
#include "media/dvcodes.h"

namespace velinor::test {

std::vector<DecodedFrame> DecodeDvAvi(const std::string& path) {
    auto source = OpenAviDvFrameSource(path);
    DvDecoder decoder;
    std::vector<DecodedFrame> out;
    std::vector<uint8_t> frame;
    while (source->next(frame)) {
        const int n = DifSequenceCount(frame.size());
        DecodedFrame d;
        if (const auto fields = ReadDatecode(frame, n)) d.datecode = MakeDatecode(*fields);
        if (const auto tc = ReadTimecode(frame, n)) {
            d.tcHours = tc->Hours;
            d.tcMinutes = tc->Minutes;
            d.tcSeconds = tc->Seconds;
            d.tcFrames = tc->Frames;
        }
        BgrPicture picture;
        if (!decoder.decode(frame, picture)) throw std::runtime_error("undecodable frame in " + path);
        d.width = picture.width;
        d.height = picture.height;
        d.pixels = std::move(picture.pixels);
        out.push_back(std::move(d));
    }
    return out;
}

}  // namespace velinor::test
