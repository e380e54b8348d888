#include "scenes/scene_list.h"

#include <filesystem>

namespace velinor {

void TSFrame::LoadScenes(const CurrentVideo& video) {
    std::error_code ec;
    if (std::filesystem::exists(ReplaceExtension(video.path, ".scn"), ec))
        LoadScnFile(video.path, &video);
    else
        SingleScene(video.path, video.frameCount, &video);
}

void TSFrame::LoadScnFile(const std::string& videoPath, const CurrentVideo* video) {
    ClearScenes();
    if (!ReadScnFile(ReplaceExtension(videoPath, ".scn"), items_, video, settings_))
        items_.push_back({kErrorCaption, std::make_unique<TSceneClass>(0, 0, video, settings_)});
    Modified = false;
    VideoPath = videoPath;
}

void TSFrame::SingleScene(const std::string& videoPath, uint32_t frameCount, const CurrentVideo* video) {
    ClearScenes();
    VideoPath = videoPath;
    Modified = false;
    auto scene = std::make_unique<TSceneClass>(0, frameCount, video, settings_);
    scene->Numero = 1;
    scene->Titre = "Scène unique";
    scene->SousTitre = "correspondant à vidéo non analysée";
    std::string caption = "1: " + scene->Titre;
    items_.push_back({std::move(caption), std::move(scene)});
}

void TSFrame::ClearScenes() {
    while (!items_.empty()) items_.pop_back();
}

bool TSFrame::SaveScn(const std::string& videoPath, std::string& error) {
    TwriteScene writer(videoPath);
    for (const auto& item : items_)
        if (!writer.AddScene(*item.scene)) break;
    if (!writer.Finish()) {
        error = writer.error();
        return false;
    }
    Modified = false;
    return true;
}

uint32_t TSFrame::NextSceneStart(uint32_t frame, uint32_t frameCount) const {
    for (const auto& item : items_)
        if (item.scene->Debut > frame) return item.scene->Debut;
    return frameCount;
}

uint32_t TSFrame::PrevSceneStart(uint32_t frame) const {
    uint32_t result = 0;
    bool found = false;
    for (const auto& item : items_)
        if (item.scene->Debut < frame) result = item.scene->Debut, found = true;
    return found ? result : 0;
}

}  // namespace velinor
