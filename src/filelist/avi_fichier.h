#pragma once
// The record of one video file: its datecode, timecode, codec, picture, rate, duration, audio and
// DV type, with the texts and sort keys the list, the info panel and the commands show. Built
// once per path, on the UI thread or a command's thread, under the process-wide construction
// lock; read without a lock afterwards (only Decalage and DecalageText change later, on the UI
// thread).
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "filelist/list_fichier.h"
#include "media/datecode.h"
#include "media/datetime_format.h"

namespace velinor {

class TaviFichier : public TSRFichier {
public:
    explicit TaviFichier(const std::string& path);

    std::string SortKey(const TSortIndex& index) const override;

    std::string DatecodeKey = "þ";
    std::string DatecodeText = "-";
    Datecode DatecodeValue = 0;
    double Decalage = 0;  // days
    std::string DecalageText;
    std::string TimecodeText = "-";
    std::string Codec;  // at most 4 bytes
    int32_t DVType = 0;
    bool Iavs = false;
    std::string ImageText;
    std::string AspectText;
    int32_t Width = 0;
    int32_t Height = 0;
    int64_t Duration = 0;  // 100 ns
    std::string DurationText;
    int32_t FrameCount = 0;
    double Fps = 0;
    std::string AudioText;
    std::string AudioDurationText;
    uint32_t DVVAuxSrc = 0;
    int32_t VideoBitRate = 0;
    std::string AudioFormatText;
    uint8_t VideoSystem = 2;  // 0 = 625/50, 1 = 525/60, 2 = unknown
    bool HasScn = false;
    bool HasSrt = false;
    bool IsDV = false;
    bool Wide = false;
    int32_t AudioFrequency = 0;
    int32_t AudioBits = 0;
    std::string ChannelsText;
    std::string DatecodeSortKey;
    std::string TimecodeSortKey;
    std::string DureeSortKey;
    std::string ListTimestamp;

    // The texts of a stream the file does not have read "N/A"; these ask it once for every
    // reader of the texts.
    bool HasImage() const { return ImageText != kNotAvailableText; }
    bool HasAudio() const { return AudioText != kNotAvailableText; }
    static constexpr const char* kNotAvailableText = "N/A";

private:
    void Build();
};

// The class the command engine gives the records it creates.
class TAfficherFichier : public TaviFichier {
public:
    using TaviFichier::TaviFichier;
};

// Held for the whole of every record construction.
std::mutex& RecordConstructionLock();

// The datecode display pattern (" ddddd tt" by default). Set on the UI thread; each construction
// takes the snapshot current when it starts.
void SetFormatAfficherDatecode(const std::string& pattern);
std::shared_ptr<const DatePattern> FormatAfficherDatecode();

}  // namespace velinor
