#include "harness.h"

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

#include "filelist/avi_fichier.h"
#include "graph/dv_frame_maker.h"
#include "media/avi_writer.h"
#include "support/dv_builder.h"

namespace velinor::test {

Scratch::Scratch() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/velinor-commands-XXXXXX";
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp");
    path_ = pattern;
}

Scratch::~Scratch() {
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
        if (!it->is_symlink()) ::chmod(it->path().c_str(), it->is_directory() ? 0700 : 0600);
    ::chmod(path_.c_str(), 0700);
    std::filesystem::remove_all(path_, ec);
}

void MakeDvAvi(const std::string& path, const DvAviRecipe& recipe) {
    DvClip clip;
    clip.scenes = {DvScene{recipe.frames, recipe.date, 0}};
    clip.timecode = recipe.timecode;
    clip.audio = AudioInfo{48'000, 2, 16};
    const auto frames = BuildDvStream(clip);
    AviWriterSettings s;
    s.Type = recipe.type1 ? AviWriterSettings::Kind::DvType1 : AviWriterSettings::Kind::DvType2;
    s.DvInfoBlock = DvInfoFromFrame(frames.front());
    s.ReplaceExisting = true;
    AviWriter writer(path, s);
    const std::vector<uint8_t> silence(48'000 / 25 * 2 * 2, 0);
    for (const auto& frame : frames) {
        writer.WriteVideo(frame);
        if (!recipe.type1) writer.WriteAudio(silence);
    }
    writer.Finish();
}

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool Exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

Bench::Bench()
    : cache([](const std::string& path) { return std::make_unique<TAfficherFichier>(path); }),
      list(ui, [this](const std::function<bool()>& done) { ui.RunUntil(done); }),
      engine(ui) {
    list.SetCache(&cache);
    engine.SourceFichierListbox = &list;
    engine.DestFichierListbox = &list;
    engine.Confirmer = &confirmer;
    engine.OnStartCommand = [this] { events.push_back("start"); };
    engine.OnStartFichier = [this](TAbstractListFichier* f, const CmdParams&, int passe) {
        events.push_back("file:" + (f ? f->Name : std::string("-")) + ":" + std::to_string(passe));
    };
    engine.OnEndFichier = [this](TAbstractListFichier* f, const CmdParams&, int passe) {
        events.push_back("end:" + (f ? f->Name : std::string("-")) + ":" + std::to_string(passe));
    };
    engine.OnMessageCommand = [this](const std::string& m) { events.push_back("msg:" + m); };
    engine.OnErrorCommand = [this](const std::string& m, TErrorType) { events.push_back("err:" + m); };
    engine.OnEndCommand = [this] { events.push_back("stop"); };
}

Bench::~Bench() {
    if (engine.Running()) {
        engine.InterruptAll();
        ui.RunUntil([this] { return !engine.Running(); });
    }
}

void Bench::Open(const std::vector<std::string>& paths) {
    list.OpenPaths(paths);
    ui.RunUntil([this] { return !list.Busy(); });
    ui.RunPending();
}

bool Bench::Run(tAbstractCmd& command, const CmdParams& params) {
    if (!engine.ExecuteCommand(command, params)) return false;
    ui.RunUntil([this] { return !engine.Running(); });
    ui.RunPending();
    return true;
}

std::vector<std::string> Bench::ListedPaths() const {
    std::vector<std::string> out;
    for (int i = 0; i < list.Count(); ++i) out.push_back(list.Item(i)->FileName);
    return out;
}

TAbstractListFichier* Bench::Record(const std::string& path) const {
    const int i = list.IndexOfPath(path);
    return i < 0 ? nullptr : list.Item(i);
}

}  // namespace velinor::test
