#include "graph/system_filters.h"

#include "graph/audio_converter.h"
#include "graph/av_video_decoder.h"
#include "graph/basic_filters.h"
#include "graph/dv_splitter.h"
#include "graph/dv_video_decoder.h"

namespace velinor::graph {

void RegisterSystemFilters(FilterRegistry& registry) {
    registry.add({"DV Splitter", 300, [] { return std::make_shared<DvSplitter>(); }});
    registry.add({"DV Video Decoder", 200, [] { return std::make_shared<DvVideoDecoder>(); }});
    registry.add({"AVI Decompressor", 150, [] { return std::make_shared<AvVideoDecoder>(); }});
    registry.add({"ACM Wrapper", 120, [] { return std::make_shared<AudioConverter>(); }});
    registry.add({"Color Space Converter", 100, [] { return std::make_shared<ColourConverter>(); }});
}

}  // namespace velinor::graph
