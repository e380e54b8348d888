#include "support/dv_builder.h"

#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>

namespace velinor::test {

namespace {

std::mutex gMakersLock;

DvFrameMaker& maker(bool is525, bool wide) {
    static std::map<std::pair<bool, bool>, std::unique_ptr<DvFrameMaker>> makers;
    auto& slot = makers[{is525, wide}];
    if (!slot) slot = std::make_unique<DvFrameMaker>(is525, wide);
    return *slot;
}

}  // namespace

DvFrame BuildDvFrame(const DvFrameOptions& options) {
    std::lock_guard lock(gMakersLock);
    DvFrame frame;
    maker(options.is525, options.wide).make(options.packs, options.pictureIndex, frame);
    return frame;
}

std::vector<DvFrame> BuildDvStream(const DvStreamRecipe& clip) {
    std::lock_guard lock(gMakersLock);
    DvFrameMaker& m = maker(clip.is525, clip.wide);
    std::vector<DvFrame> frames(static_cast<size_t>(ClipFrameCount(clip)));
    size_t index = 0;
    for (const auto& scene : clip.scenes)
        for (int i = 0; i < scene.frames; ++i, ++index)
            m.make(ClipFramePacks(clip, static_cast<int>(index)), scene.pictureIndex, frames[index]);
    return frames;
}

std::vector<DvFrame> BuildDvStream(bool is525, bool wide, const std::vector<DvFramePacks>& packs) {
    std::lock_guard lock(gMakersLock);
    DvFrameMaker& m = maker(is525, wide);
    std::vector<DvFrame> frames(packs.size());
    for (size_t i = 0; i < packs.size(); ++i) m.make(packs[i], 0, frames[i]);
    return frames;
}

void WriteRawDv(const std::string& path, const std::vector<DvFrame>& frames) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (const auto& frame : frames)
        out.write(reinterpret_cast<const char*>(frame.data()), static_cast<std::streamsize>(frame.size()));
    if (!out.flush()) throw std::runtime_error("cannot write " + path);
}

}  // namespace velinor::test
