#include "graph/sinks.h"

#include <cstring>

namespace velinor::graph {

void FrameMailbox::put(VideoFrame frame) {
    std::lock_guard lock(mutex_);
    if (slot_ && spare_.empty()) spare_ = std::move(slot_->pixels);
    slot_ = std::move(frame);
}

std::optional<VideoFrame> FrameMailbox::take() {
    std::lock_guard lock(mutex_);
    auto frame = std::move(slot_);
    slot_.reset();
    return frame;
}

void FrameMailbox::recycle(std::vector<uint8_t> pixels) {
    std::lock_guard lock(mutex_);
    if (spare_.empty()) spare_ = std::move(pixels);
}

std::vector<uint8_t> FrameMailbox::spareBuffer() {
    std::lock_guard lock(mutex_);
    return std::move(spare_);
}

// ---------------------------------------------------------------------------------------------

VideoRenderer::VideoRenderer(std::shared_ptr<VideoSurface> surface)
    : RendererFilter("Video Renderer"), surface_(std::move(surface)) {
    addInput("Input");
}

bool VideoRenderer::checkInputType(const InputPin&, const MediaType& type) {
    if (type.major != MajorType::Video || type.subtype != kSubtypeRgb24) return false;
    const auto info = VideoInfo::decode(type.format);
    return info && info->bitCount == 24 && info->width > 0 && info->height > 0 && info->width <= 16384 &&
           info->height <= 16384;
}

void VideoRenderer::onConnected(Pin& pin) {
    const auto info = VideoInfo::decode(pin.connectionType().format);
    if (!info) return;
    width_ = info->width;
    height_ = info->height;
    stride_ = info->stride();
}

Flow VideoRenderer::render(InputPin&, const SamplePtr& sample) {
    const size_t bytes = size_t(stride_) * size_t(height_);
    if (sample->length() < bytes) return reportError("Image incomplète");
    VideoFrame frame;
    frame.width = width_;
    frame.height = height_;
    frame.stride = stride_;
    frame.pixels = mailbox_.spareBuffer();
    frame.pixels.assign(sample->data.begin(), sample->data.begin() + std::ptrdiff_t(bytes));
    frame.start = sample->start;
    frame.frameNumber = sample->hasMediaTime ? sample->mediaStart : -1;
    mailbox_.put(std::move(frame));
    if (surface_) surface_->frameReady(mailbox_);
    return Flow::Ok;
}

void HeadlessVideoSurface::frameReady(FrameMailbox& mailbox) {
    auto frame = mailbox.take();
    if (!frame) return;
    std::lock_guard lock(mutex_);
    ++shown_;
    if (last_) mailbox.recycle(std::move(last_->pixels));
    last_ = std::move(frame);
    cv_.notify_all();
}

int64_t HeadlessVideoSurface::framesShown() const {
    std::lock_guard lock(mutex_);
    return shown_;
}

std::optional<VideoFrame> HeadlessVideoSurface::lastFrame() const {
    std::lock_guard lock(mutex_);
    return last_;
}

bool HeadlessVideoSurface::waitForFrames(int64_t count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return cv_.wait_for(lock, timeout, [&] { return shown_ >= count; });
}

// ---------------------------------------------------------------------------------------------

AudioRenderer::AudioRenderer(std::shared_ptr<AudioDevice> device)
    : RendererFilter("Audio Renderer"), device_(std::move(device)) {
    addInput("Audio Input pin (rendered)");
}

bool AudioRenderer::checkInputType(const InputPin&, const MediaType& type) {
    if (type.major != MajorType::Audio || type.subtype != kSubtypePcm) return false;
    const auto wave = WaveFormat::decode(type.format);
    return wave && wave->channels > 0 && wave->samplesPerSec > 0 &&
           (wave->bitsPerSample == 8 || wave->bitsPerSample == 16);
}

bool AudioRenderer::startStreaming(std::string& error) {
    if (!input()->isConnected()) return true;
    const auto wave = WaveFormat::decode(input()->connectionType().format);
    open_ = wave && device_->open(*wave);
    if (!open_) error = "Impossible d'ouvrir la sortie audio";
    return open_;
}

void AudioRenderer::stopStreaming() {
    if (open_) device_->close();
    open_ = false;
}

Flow AudioRenderer::render(InputPin&, const SamplePtr& sample) {
    if (open_) device_->write(sample->data, sample->start);
    return Flow::Ok;
}

void AudioRenderer::endOfStream(InputPin& pin) {
    if (open_) device_->drain();
    RendererFilter::endOfStream(pin);
}

bool HeadlessAudioDevice::open(const WaveFormat& format) {
    std::lock_guard lock(mutex_);
    format_ = format;
    open_ = true;
    return true;
}

void HeadlessAudioDevice::write(std::span<const uint8_t> pcm, int64_t) {
    std::lock_guard lock(mutex_);
    bytes_ += pcm.size();
}

void HeadlessAudioDevice::close() {
    std::lock_guard lock(mutex_);
    open_ = false;
}

uint64_t HeadlessAudioDevice::bytesWritten() const {
    std::lock_guard lock(mutex_);
    return bytes_;
}

std::optional<WaveFormat> HeadlessAudioDevice::format() const {
    std::lock_guard lock(mutex_);
    return format_;
}

bool HeadlessAudioDevice::isOpen() const {
    std::lock_guard lock(mutex_);
    return open_;
}

}  // namespace velinor::graph
