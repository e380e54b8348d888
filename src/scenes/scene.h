#pragma once
// The scene record: a frame range [Debut, Fin) of a video file with its texts, title, subtitle
// and thumbnail, and the duration texts of scenes. A scene is used by one thread at a time.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "media/datecode.h"

namespace velinor {

// The media graph has its own BgrPicture (graph/dv_codec.h) with another layout. This one lives
// in an inline namespace so that the two never share a linker symbol: with one name, the
// linker keeps a single rowFromTop for both and one side reads the other's layout.
inline namespace scene_picture {

// A 24-bit picture: rows bottom-up, each row's BGR bytes padded to a multiple of 4 bytes.
struct BgrPicture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;

    static int stride(int width) { return (width * 3 + 3) & ~3; }
    BgrPicture() = default;
    BgrPicture(int w, int h) : width(w), height(h), pixels(size_t(stride(w)) * size_t(h), 0) {}
    bool empty() const { return width <= 0 || height <= 0; }
    // Row `y` counted from the top.
    const uint8_t* rowFromTop(int y) const {
        return pixels.data() + size_t(stride(width)) * size_t(height - 1 - y);
    }
    uint8_t* rowFromTop(int y) { return pixels.data() + size_t(stride(width)) * size_t(height - 1 - y); }
};

}  // namespace scene_picture

// What a scene needs of the video file shown in the preview.
struct CurrentVideo {
    std::string path;
    double fps = 0;
    int width = 0;
    int height = 0;
    uint32_t frameCount = 0;
};

// The settings the scene texts follow: the duration style (0, 1 or 2) and the datecode
// display pattern.
struct SceneTextSettings {
    int formatDuree = 0;
    std::string datecodeDisplayPattern = " ddddd tt";
};

// The values of one frame as the preview's datecode filter decoded them.
struct SceneFrameValues {
    bool datecodeValid = false;
    Datecode datecode = 0;
    bool timecodeValid = false;
    int tcHours = 0, tcMinutes = 0, tcSeconds = 0, tcFrames = 0;
};

// Where LoadDetails takes a scene's details from: the preview of the current file. Called on the
// thread that drives the scene (the preview side marshals to the thread that owns the graph).
class SceneDetailsSource {
public:
    virtual ~SceneDetailsSource() = default;
    // Positions on `frame`, waits (bounded) for its picture, and returns its values; empty when
    // the frame could not be reached.
    virtual std::optional<SceneFrameValues> seekFrame(uint32_t frame) = 0;
    // The last picture shown, empty when there is none.
    virtual BgrPicture snapshot() = 0;
};

// "%d:%.2d:%.2d.%.2d" and the other duration texts of `frames` frames in style 0, 1 or 2;
// "??" when the rate is not a positive finite number; empty without a current file or with an
// unknown style.
std::string DureeText(int64_t frames, const CurrentVideo* video, int formatDuree);

// The thumbnail size of a picture fitted into a 320 x 240 box keeping its proportions.
void ThumbnailSize(int pictureWidth, int pictureHeight, int& width, int& height);

// "h:mm:ss:ff" of a frame position, as the scene list and the exports show it; "??" without a
// positive finite rate.
std::string SceneStampText(int64_t frame, double fps);

class TSceneClass {
public:
    // Sizes the thumbnail from the current file (when there is one) and computes Duree.
    TSceneClass(uint32_t debut, uint32_t fin, const CurrentVideo* video = nullptr,
                const SceneTextSettings& settings = {});

    // Fills the texts and the thumbnail from the preview and sets Loaded. A datecode that cannot
    // be formatted gives "N/A". Answers false (and leaves Loaded false) when a frame could not
    // be reached.
    bool LoadDetails(SceneDetailsSource& source, double fps, const SceneTextSettings& settings = {});

    // "Scène " + Numero + ": " + Titre.
    std::string SceneCaption() const;

    bool Loaded = false;
    uint32_t Debut = 0;
    uint32_t Fin = 0;
    Datecode DatecodeValue = 0;
    std::string DatecodeText;
    std::string TimecodeText;
    std::string TimeStamp;
    std::string TimeStampFin;
    BgrPicture Image;
    uint32_t ImageOffset = 0;
    std::string Titre;
    std::string SousTitre;
    int32_t Numero = 0;
    std::string Duree;
};

// Stretches `source` over the whole of `target` (nearest pixel).
void StretchPicture(const BgrPicture& source, BgrPicture& target);

}  // namespace velinor
