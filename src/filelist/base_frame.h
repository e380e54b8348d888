#pragma once
// The texts of the info panel that shows the active file's record, without the widgets: the
// window copies them into its labels. UI thread only.
#include <functional>
#include <string>
#include <vector>

#include "filelist/avi_fichier.h"

namespace velinor {

struct TBaseFrameTexts {
    std::string LabNom = "---";
    std::string labDatecode;
    std::string labDecalage;
    bool labDecalageVisible = false;
    bool labscnVisible = false;
    bool labsrtVisible = false;
    std::string LabTimecode;
    std::string LabCodec;
    std::string LabImage;
    std::string LabDuree;
    std::string labFPS;
    std::string LabAudio1;
    std::string LabAudio2;
    std::string Hint;
};

// Fixed captions of the panel.
inline constexpr const char* kBaseFrameCaptions[] = {"Datecode", "Timecode", "codec", "Image",
                                                     "Durée",    "Fps",      "Audio"};

class TBaseFrame {
public:
    // Fills the texts from the record; nothing happens without one.
    void ShowFile(const TaviFichier* record);
    // Empties the texts; the window stops and empties the preview through OnClear.
    void ClearFile();

    TBaseFrameTexts Texts;
    const TaviFichier* Current = nullptr;
    std::function<void()> OnClear;
};

// The captions of the info panel's labels as they show, for the copy menu.
struct CopyMenuLabels {
    std::string datecode, timecode, codec, image, duree, fps, audio1, audio2;
};
// What each entry of the copy menu puts on the clipboard, in the menu's order without its
// separator: the seven captions (the two audio lines joined by a lone carriage return), then the
// record's full name and its name without folder, both in lower case, its modification date in
// the display pattern and its size with the thousands grouped. The last four are empty without
// a record.
std::vector<std::string> CopyMenuTexts(const CopyMenuLabels& labels, const TaviFichier* record);

// The general format (15 significant digits, an exponent only for very large or very small
// values) with the French decimal comma; what the commands take as a real parameter and read
// back with ParseDecimal.
std::string GeneralFloatText(double value);
// Whole number with the French thousands separator (a no-break space): "1 234 567".
std::string GroupedNumberText(uint64_t value);

}  // namespace velinor
