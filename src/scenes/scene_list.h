#pragma once
// The scene list of the file shown in the preview, without its widgets: captions and the scenes
// they own, the modified flag and the video they belong to. UI thread only.
#include <cstdint>
#include <string>

#include "scenes/scn_file.h"

namespace velinor {

class TSFrame {
public:
    // The list's caption of a scene that could not be read.
    static constexpr const char* kErrorCaption = "1: Erreur dans le fichier scn";

    explicit TSFrame(SceneTextSettings settings = {}) : settings_(std::move(settings)) {}
    // The duration style and datecode pattern of the scenes made from now on.
    void SetSettings(SceneTextSettings settings) { settings_ = std::move(settings); }

    // The .scn of the current file when there is one, else the single default scene.
    void LoadScenes(const CurrentVideo& video);
    // The scenes of the video's .scn; a damaged file lists what could be read, then the error entry.
    void LoadScnFile(const std::string& videoPath, const CurrentVideo* video = nullptr);
    void SingleScene(const std::string& videoPath, uint32_t frameCount, const CurrentVideo* video = nullptr);
    void ClearScenes();
    // Writes the scenes to the video's .scn. On failure the message is in `error`, the old file
    // stays and Modified stays set.
    bool SaveScn(const std::string& videoPath, std::string& error);

    size_t Count() const { return items_.size(); }
    TSceneClass* SceneAt(size_t i) { return i < items_.size() ? items_[i].scene.get() : nullptr; }
    const std::string& CaptionAt(size_t i) const { return items_.at(i).caption; }
    SceneList& Items() { return items_; }

    // The first scene start after `frame`, else `frameCount`.
    uint32_t NextSceneStart(uint32_t frame, uint32_t frameCount) const;
    // The last scene start before `frame`, else 0.
    uint32_t PrevSceneStart(uint32_t frame) const;

    bool Modified = false;
    std::string VideoPath;

private:
    SceneTextSettings settings_;
    SceneList items_;
};

}  // namespace velinor
