#include "commands/viewdm.h"

#include <algorithm>
#include <cstdlib>
#include <exception>
#include <fstream>

#include "filelist/avi_fichier.h"
#include "filters/dv_scene_detect.h"
#include "filters/dv_scene_detect_filter.h"
#include "filters/graph_filters.h"
#include "filters/overlay_texts.h"
#include "graph/avi_source.h"
#include "graph/basic_filters.h"
#include "graph/clock.h"
#include "graph/dv_splitter.h"
#include "graph/dv_video_decoder.h"
#include "graph/graph.h"
#include "graph/sinks.h"
#include "graph/system_filters.h"
#include "platform/dispatcher.h"
#include "platform/window_messages.h"

namespace velinor {

namespace {

using graph::GraphState;
using graph::MajorType;
using graph::TimeFormat;

MajorType PreviewPinMajor(graph::Filter& filter, graph::OutputPin& pin) {
    const auto types = filter.outputTypes(pin);
    return types.empty() ? MajorType::Any : types.front().major;
}

// The system filters the render helper inserts; registered once per process.
void PreviewRegisterSystemFilters() {
    static const bool registered = [] {
        graph::RegisterSystemFilters();
        return true;
    }();
    (void)registered;
}

}  // namespace

Tviewdm::Tviewdm(OverlayTextSettingsStore& settings, UiDispatcher* dispatcher, MainWindowMessages* messages)
    : dispatcher_(dispatcher),
      messages_(messages),
      settings_(&settings),
      detector_(std::make_unique<Tdv_sceneDetect>(messages, settings_)),
      datecode_(std::make_shared<DvSceneDetectFilter>(*detector_)),
      overlay_(std::make_shared<SuperposerFilter>(*detector_, settings_)),
      deinterlacer_(std::make_shared<DeinterlaceFilter>()),
      graph_(std::make_unique<graph::Graph>()),
      alive_(std::make_shared<int>(0)) {
    PreviewRegisterSystemFilters();
    if (dispatcher_) {
        std::weak_ptr<int> alive = alive_;
        UiDispatcher* owner = dispatcher_;
        graph_->setEventNotifier([this, alive, owner] {
            owner->post([this, alive] {
                if (alive.lock()) HandleEvents();
            });
        });
    }
}

Tviewdm::~Tviewdm() {
    alive_.reset();
    graph_->setEventNotifier(nullptr);
    graph_->stop();
    graph_->clear();
}

void Tviewdm::RunOnOwner(const std::function<void()>& call) const {
    if (dispatcher_)
        dispatcher_->invoke(call);
    else
        call();
}

// ---------------------------------------------------------------------------------------------
// Opening

bool Tviewdm::OpenRecord(TaviFichier* record, const PreviewWindow& window) {
    if (!record) {
        RunOnOwner([&] { Opened = false; });
        return false;
    }
    FileFacts facts;
    facts.path = record->FileName;
    facts.isDV = record->IsDV;
    facts.fps = record->Fps;
    facts.decalage = record->Decalage;
    facts.hasImage = record->HasImage();
    facts.hasAudio = record->HasAudio();
    const bool opened = OpenFile(facts, window);
    RunOnOwner([&] { record->Fps = facts.fps; });
    return opened;
}

bool Tviewdm::OpenFile(FileFacts& facts, const PreviewWindow& window) {
    bool opened = false;
    RunOnOwner([&] { opened = Open(facts, window); });
    return opened;
}

bool Tviewdm::Open(FileFacts& facts, const PreviewWindow& window) {
    Opened = false;
    ShownNotice = kNoticeNone;
    pictureShown_ = false;
    settings_->setDecalageDisplay(facts.decalage);
    try {
        Opened = facts.isDV ? BuildDV(facts.path, window) : BuildOther(facts.path, window);
    } catch (const std::exception&) {
        Opened = false;
    }
    if (!Opened) {
        if (ReleasedForCommand) NoticeType = kNoticeReleased;
        ShownNotice = NoticeType;
        ResetGraph();
        return false;
    }
    if (!VideoShown) facts.fps = 0;
    graph_->setClock(AudioRendered && window.clock ? window.clock : std::make_shared<graph::SystemClock>());
    frameFormat_ = facts.fps > 0 && graph_->frameDuration() > 0;
    graph_->setTimeFormat(frameFormat_ ? TimeFormat::Frame : TimeFormat::MediaTime);

    // What the window shows: the picture, or a notice over the area or over the slider.
    int refusal = kNoticeNone;
    if (facts.hasImage && VideoShown) {
        settings_->setDecalageDisplay(facts.decalage);
    } else if (!facts.hasImage) {
        if (AudioRendered)
            ShownNotice = kNoticeAudioOnly;
        else
            refusal = kNoticeNoSplitter;
    } else if (AudioRendered) {
        ShownNotice = kNoticeVideoFailed;
    } else {
        refusal = facts.hasAudio ? kNoticeNoVideo : kNoticeNothing;
    }
    if (refusal != kNoticeNone) {
        ShownNotice = refusal;
        ResetGraph();
        return false;
    }

    // The range ends on the last picture, not one past it.
    RangeFirst = 0;
    RangeLast = std::max<int64_t>(0, graph_->duration() - (frameFormat_ ? 1 : UnitTime()));
    PausePreview();
    Seek(RangeFirst);
    return true;
}

// A file that cannot be opened gives notice 1; one that opens but is no readable AVI, notice 4.
bool Tviewdm::LoadSource(const std::string& path) {
    NoticeType = kNoticeNoSource;
    if (!std::ifstream(path, std::ios::binary).is_open()) return false;
    source_ = std::make_shared<graph::AviSource>();
    if (!graph_->addFilter(source_, "source")) return false;
    NoticeType = kNoticeNoSplitter;
    try {
        source_->load(path);
    } catch (const std::exception&) {
        return false;
    }
    return !source_->outputs().empty();
}

bool Tviewdm::BuildDV(const std::string& path, const PreviewWindow& window) {
    ResetGraph();
    if (!LoadSource(path)) return false;
    const auto outputs = source_->outputs();

    NoticeType = kNoticeNoDvPath;
    auto splitter = std::make_shared<graph::DvSplitter>();
    graph_->addFilter(splitter, "dvsplitter");
    graph_->addFilter(datecode_, "vScenedetect");
    bool interleaved = false;
    for (auto* out : outputs)
        if (graph_->connect(*out, *splitter->input())) {
            interleaved = true;
            break;
        }
    bool reached = false;
    if (interleaved) {
        for (auto* out : splitter->outputs())
            if (graph_->connect(*out, datecode_->inputPin())) {
                reached = true;
                break;
            }
    } else {
        graph_->removeFilter(*splitter);
        for (auto* out : outputs)
            if (graph_->connect(*out, datecode_->inputPin())) {
                reached = true;
                break;
            }
    }
    if (!reached) return false;

    // One picture at a time, so that the datecode filter has seen no later frame than the one
    // the overlay draws and the renderer holds.
    NoticeType = kNoticeNoDecoder;
    auto decoder = std::make_shared<graph::DvVideoDecoder>(1, true);
    graph_->addFilter(decoder, "DVdecoder");
    if (!graph_->connect(datecode_->outputPin(), decoder->inputPin())) return false;

    graph_->addFilter(overlay_, "superposer");
    if (!graph_->connect(decoder->outputPin(), overlay_->inputPin())) return false;
    VideoShown = ConnectPicture(window);

    if (outputs.size() > 1)
        RenderAudio(outputs, window);
    else if (interleaved)
        RenderAudio(splitter->outputs(), window);  // the video output is taken already
    return true;
}

bool Tviewdm::BuildOther(const std::string& path, const PreviewWindow& window) {
    ResetGraph();
    if (!LoadSource(path)) return false;
    const auto outputs = source_->outputs();

    // The first video stream goes through the decoders the render helper picks into the overlay,
    // which has no datecode filter upstream: it draws whatever the cleared detector holds.
    graph_->addFilter(overlay_, "superposer");
    bool decoded = false;
    for (auto* out : outputs) {
        if (PreviewPinMajor(*source_, *out) != MajorType::Video) continue;
        if (graph_->render(*out, *overlay_)) {
            decoded = true;
            break;
        }
    }
    VideoShown = decoded && ConnectPicture(window);
    RenderAudio(outputs, window);
    return true;
}

bool Tviewdm::ConnectPicture(const PreviewWindow& window) {
    if (!window.video) return false;
    auto color = std::make_shared<graph::ColourConverter>();
    auto renderer = std::make_shared<graph::VideoRenderer>(window.video);
    graph_->addFilter(color, "color");
    graph_->addFilter(renderer, "video renderer");
    return graph_->connect(overlay_->outputPin(), color->inputPin()) &&
           graph_->connect(color->outputPin(), *renderer->input());
}

void Tviewdm::RenderAudio(const std::vector<graph::OutputPin*>& outputs, const PreviewWindow& window) {
    if (!window.audio) return;
    audio_ = std::make_shared<graph::AudioRenderer>(window.audio);
    graph_->addFilter(audio_, "audio renderer");
    for (auto* out : outputs) {
        if (out->isConnected() || PreviewPinMajor(out->filter(), *out) != MajorType::Audio) continue;
        if (graph_->render(*out, *audio_)) {
            AudioRendered = true;
            break;  // one sound output
        }
    }
}

void Tviewdm::ResetGraph() {
    graph_->stop();
    graph_->clear();
    source_.reset();
    audio_.reset();
    VideoShown = false;
    AudioRendered = false;
    Opened = false;
    frameFormat_ = false;
    // The records of the previous file must not be drawn over the next one.
    detector_->StartStreaming(std::nullopt);
    detector_->Stop();
}

void Tviewdm::ResetPreview() {
    RunOnOwner([&] { ResetGraph(); });
}

void Tviewdm::ReleasePreview() {
    RunOnOwner([&] {
        ReleasedForCommand = true;
        ResetGraph();
    });
}

// ---------------------------------------------------------------------------------------------
// Positioning

int64_t Tviewdm::UnitTime() const {
    return std::max<int64_t>(0, graph_->frameDuration());
}

void Tviewdm::WaitForPicture() {
    graph_->waitForSteadyState(PictureWait);
    pictureShown_ = overlay_->Overlay.FrameShown();
}

void Tviewdm::SeekTo(int64_t position) {
    RunOnOwner([&] { Seek(position); });
}

void Tviewdm::Seek(int64_t position) {
    pictureShown_ = false;
    if (!Opened) return;
    position = std::clamp(position, RangeFirst, std::max(RangeFirst, RangeLast));
    const int64_t stop = RangeLast + (frameFormat_ ? 1 : UnitTime());
    overlay_->Overlay.ClearFrameShown();
    // Pause first, so that a running graph shows no picture past the target.
    if (graph_->state() == GraphState::Stopped) {
        graph_->setPositions(position, stop);
        if (!graph_->pause()) return;
    } else {
        if (!graph_->pause()) return;
        graph_->setPositions(position, stop);
    }
    WaitForPicture();
    if (RangeLast > 0 && OnPosition) OnPosition(graph_->currentPosition(), RangeLast);
}

void Tviewdm::Step(int64_t position, int64_t stop, TimeFormat format) {
    overlay_->Overlay.ClearFrameShown();
    graph_->setPositions(position, stop, format);
    if (graph_->state() == GraphState::Paused)
        WaitForPicture();
    else
        pictureShown_ = false;
}

void Tviewdm::StepFrames(int32_t delta) {
    RunOnOwner([&] {
        pictureShown_ = false;
        if (!Opened || !frameFormat_) return;
        const int64_t position = std::clamp(graph_->currentPosition(TimeFormat::Frame) + delta, RangeFirst,
                                            std::max(RangeFirst, RangeLast));
        Step(position, RangeLast + 1, TimeFormat::Frame);
    });
}

void Tviewdm::StepTime(int64_t delta) {
    RunOnOwner([&] {
        pictureShown_ = false;
        if (!Opened) return;
        // The range is in frames when the file has a rate: compare in 100 ns.
        const int64_t unit = frameFormat_ ? graph_->frameDuration() : 1;
        const int64_t first = RangeFirst * unit;
        const int64_t last = std::max(first, RangeLast * unit);
        const int64_t position =
            std::clamp(graph_->currentPosition(TimeFormat::MediaTime) + delta, first, last);
        Step(position, last + UnitTime(), TimeFormat::MediaTime);
    });
}

// ---------------------------------------------------------------------------------------------
// Playback

void Tviewdm::PostPlayState(int playing) {
    if (messages_) messages_->post(kMsgPlayState, playing, 0);
}

bool Tviewdm::PlayPreview() {
    bool running = false;
    RunOnOwner([&] { running = Opened && graph_->run(); });
    return running;
}

void Tviewdm::PausePreview() {
    RunOnOwner([&] {
        if (graph_->state() == GraphState::Paused) return;
        graph_->pause();
        PostPlayState(0);
    });
}

void Tviewdm::StopPreview() {
    RunOnOwner([&] { graph_->stop(); });
}

void Tviewdm::RefreshPreview() {
    RunOnOwner([&] {
        pictureShown_ = false;
        if (!Opened || graph_->state() == GraphState::Running) return;
        overlay_->Overlay.ClearFrameShown();
        graph_->stop();
        if (graph_->pause()) WaitForPicture();
    });
}

void Tviewdm::SetVolume(double volume) {
    RunOnOwner([&] {
        if (audio_) audio_->setVolume(std::clamp(volume, 0.0, 1.0));
    });
}

void Tviewdm::SetOverlayEditing(bool on) {
    RunOnOwner([&] { overlayEditing_ = on; });
}

void Tviewdm::HandleEvents() {
    RunOnOwner([&] {
        while (auto event = graph_->waitForEvent(std::chrono::milliseconds(0))) {
            if (event->type != graph::GraphEvent::Type::Complete) continue;
            // Playback ends paused at the start of the range; in overlay editing it loops.
            Seek(RangeFirst);
            PostPlayState(overlayEditing_ ? 1 : 0);
        }
    });
}

// ---------------------------------------------------------------------------------------------
// Reading

int Tviewdm::State() const {
    int state = kStateUninitialised;
    RunOnOwner([&] {
        switch (graph_->state()) {
            case GraphState::Stopped:
                state = kStateStopped;
                break;
            case GraphState::Paused:
                state = kStatePaused;
                break;
            case GraphState::Running:
                state = kStateRunning;
                break;
        }
    });
    return state;
}

int64_t Tviewdm::Duration() const {
    int64_t duration = 0;
    RunOnOwner([&] { duration = Opened ? graph_->duration() : 0; });
    return duration;
}

int64_t Tviewdm::CurrentPosition() const {
    return graph_->currentPosition();
}

std::string Tviewdm::LastError() const {
    return graph_->lastError();
}

TDVFrameInfo Tviewdm::CurrentFrameValues() const {
    return detector_->ReadLastFrame();
}

bool Tviewdm::SnapshotPicture(int& width, int& height, std::vector<uint8_t>& pixels) const {
    BgrPicture picture;
    // The connection changes only on the owner thread.
    RunOnOwner([&] {
        const auto info = graph::VideoInfo::decode(overlay_->inputPin().connectionType().format);
        if (info && info->width > 0 && info->height != 0) picture.resize(info->width, std::abs(info->height));
    });
    if (picture.width <= 0 || !overlay_->Overlay.CopySnapshot(picture)) return false;
    width = picture.width;
    height = picture.height;
    pixels = std::move(picture.pixels);
    return true;
}

}  // namespace velinor
