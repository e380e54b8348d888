#pragma once
// The .scn scene file beside a video: the writer TwriteScene and the reader ReadScnFile, which
// agree byte for byte. A writer is used by one thread (the UI thread when saving from the
// editor, or the streaming thread of a scene-creating command); never shared.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/atomic_file.h"
#include "scenes/scene.h"

namespace velinor {

// The longest string the one-byte length of the file's wide strings can hold.
constexpr size_t kScnMaxStringUnits = 254;
// The scene count is a u16.
constexpr uint32_t kScnMaxScenes = 65'535;

// One item of a scene list: its caption and the scene it owns.
struct SceneItem {
    std::string caption;
    std::unique_ptr<TSceneClass> scene;
};
using SceneList = std::vector<SceneItem>;

// Writes a .scn file under a temporary name and puts it in place on Finish. Every operation
// answers false with a French message in error() on failure; after a failure nothing more is
// written, and the old .scn (if any) stays as it was. Destroying an unfinished writer discards
// what it wrote.
class TwriteScene {
public:
    explicit TwriteScene(const std::string& videoPath);

    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }
    const std::string& scnPath() const { return scnPath_; }
    uint32_t count() const { return count_; }

    // Refuses a 65 536th scene, a scene that ends before it starts or starts before the
    // previous one, and a title and subtitle over 254 UTF-16 units together.
    bool AddScene(const TSceneClass& scene);
    // Puts the complete file in place of the old one.
    bool Finish();

private:
    bool fail(std::string message);

    std::string scnPath_;
    std::u16string path16_;
    AtomicFile file_;
    uint64_t countOffset_ = 0;
    uint32_t count_ = 0;
    uint32_t lastDebut_ = 0;
    std::string error_;
};

// Whether `scene` can be stored as the record number `index` (from 0) after a scene that
// started at `previousDebut`; the French reason in `error` when not.
bool ValidateScnScene(const TSceneClass& scene, uint32_t index, uint32_t previousDebut, std::string& error);

// Reads the scene records of a .scn file's bytes into `list` (cleared first). True only when
// every record the header announces was read and is consistent; the scenes read before a fault
// stay in the list.
// Scenes are made as the list makes them: thumbnails and Duree from `video` when given.
bool ReadScnBytes(std::span<const uint8_t> bytes, SceneList& list, const CurrentVideo* video = nullptr,
                  const SceneTextSettings& settings = {});

// ReadScnBytes on the file at `scnPath`; false when it cannot be read.
bool ReadScnFile(const std::string& scnPath, SceneList& list, const CurrentVideo* video = nullptr,
                 const SceneTextSettings& settings = {});

}  // namespace velinor
