#include "graph/avi_mux_writer.h"

#include <cstdio>

#include "media/media_error.h"

namespace velinor::graph {

namespace {

constexpr size_t kFrameBytes525 = 120'000;
constexpr size_t kFrameBytes625 = 144'000;

}  // namespace

AviMuxWriter::AviMuxWriter() : RendererFilter("AVI Mux") {
    addInput("Input 01");
}

AviMuxWriter::~AviMuxWriter() {
    if (writer_) writer_->Abandon();
}

void AviMuxWriter::setFileName(std::string path, bool replaceExisting) {
    path_ = std::move(path);
    replace_ = replaceExisting;
}

bool AviMuxWriter::checkInputType(const InputPin& pin, const MediaType& type) {
    // Only one DV input and one audio input; an interleaved stream carries its own audio.
    bool haveDv = false, haveAudio = false, haveInterleaved = false;
    for (auto* in : inputs()) {
        if (in == &pin || !in->isConnected()) continue;
        const MajorType major = in->connectionType().major;
        haveDv |= major == MajorType::Video || major == MajorType::Interleaved;
        haveInterleaved |= major == MajorType::Interleaved;
        haveAudio |= major == MajorType::Audio;
    }
    switch (type.major) {
        case MajorType::Interleaved:
            return type.subtype == kSubtypeDvsd && !haveDv && !haveAudio;
        case MajorType::Video:
            return type.subtype == kSubtypeDvsd && !haveDv;
        case MajorType::Audio: {
            if (haveAudio || haveInterleaved) return false;
            const auto wave = WaveFormat::decode(type.format);
            return wave && wave->formatTag == kSubtypePcm && wave->bitsPerSample == 16 &&
                   wave->channels >= 1 && wave->channels <= 8 && wave->samplesPerSec >= 1'000 &&
                   wave->samplesPerSec <= 192'000;
        }
        default:
            return false;
    }
}

void AviMuxWriter::onConnected(Pin& pin) {
    const auto ins = inputs();
    if (&pin == ins.back()) {
        char name[32];
        std::snprintf(name, sizeof name, "Input %02zu", ins.size() + 1);
        addInput(name);
    }
}

bool AviMuxWriter::startStreaming(std::string& error) {
    std::lock_guard lock(mutex_);
    if (path_.empty()) {
        error = "Aucun nom de fichier de sortie";
        return false;
    }
    video_ = audio_ = nullptr;
    for (auto* in : inputs()) {
        if (!in->isConnected()) continue;
        if (in->connectionType().major == MajorType::Audio)
            audio_ = in;
        else
            video_ = in;
    }
    if (!video_) {
        error = "Aucun flux DV à écrire";
        return false;
    }
    settings_ = {};
    settings_.Type = video_->connectionType().major == MajorType::Interleaved
                         ? AviWriterSettings::Kind::DvType1
                         : AviWriterSettings::Kind::DvType2;
    settings_.Channels = 0;
    if (audio_) {
        const auto wave = WaveFormat::decode(audio_->connectionType().format);
        settings_.Channels = wave ? wave->channels : 0;
        settings_.SampleRate = wave ? wave->samplesPerSec : 0;
    }
    settings_.Info = info_;
    settings_.ReplaceExisting = replace_;
    writer_.reset();
    earlyAudio_.clear();
    failed_ = false;
    frames_ = 0;
    running_ = true;
    return true;
}

void AviMuxWriter::openWriter(size_t frameBytes, std::span<const uint8_t> firstFrame) {
    const bool is525 = frameBytes == kFrameBytes525;
    settings_.Rate = is525 ? 30'000 : 25;
    settings_.Scale = is525 ? 1'001 : 1;
    settings_.Height = is525 ? 480 : 576;
    if (!firstFrame.empty()) settings_.DvInfoBlock = DvInfoFromFrame(firstFrame);
    writer_ = std::make_unique<AviWriter>(path_, settings_);
    if (!earlyAudio_.empty()) writer_->WriteAudio(earlyAudio_);
    earlyAudio_.clear();
}

Flow AviMuxWriter::render(InputPin& pin, const SamplePtr& sample) {
    std::lock_guard lock(mutex_);
    if (failed_) return Flow::Error;
    try {
        if (&pin == audio_) {
            if (writer_)
                writer_->WriteAudio(sample->data);
            else
                earlyAudio_.insert(earlyAudio_.end(), sample->data.begin(), sample->data.end());
            return Flow::Ok;
        }
        if (&pin != video_) return Flow::Ok;
        const size_t bytes = sample->data.size();
        if (bytes != kFrameBytes525 && bytes != kFrameBytes625) {
            failed_ = true;
            if (writer_) writer_->Abandon();
            writer_.reset();
            return reportError("Trame DV de taille incorrecte : " + std::to_string(bytes) + " octets");
        }
        if (!writer_) openWriter(bytes, sample->data);
        writer_->WriteVideo(sample->data);
        ++frames_;
        return Flow::Ok;
    } catch (const std::exception& e) {
        failed_ = true;
        writer_.reset();
        return reportError(e.what());
    }
}

void AviMuxWriter::stopStreaming() {
    std::lock_guard lock(mutex_);
    if (!running_) return;
    running_ = false;
    if (failed_) return;
    // A run that wrote no frame still leaves a complete, empty file.
    if (!writer_) openWriter(kFrameBytes625, {});
    auto writer = std::move(writer_);
    writer->Finish();
}

int64_t AviMuxWriter::framesWritten() const {
    std::lock_guard lock(mutex_);
    return frames_;
}

}  // namespace velinor::graph
