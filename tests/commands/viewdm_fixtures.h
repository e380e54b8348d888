#pragma once
// DV AVI files for the preview tests: every frame has a picture of its own, its own recording
// second and its own timecode, so a picture and a datecode tell which frame is current. Only
// neutral types here: the scene-side tests include this beside the scene record.
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "media/datecode.h"
#include "media/dvcodes.h"
#include "platform/window_messages.h"

namespace velinor::test {

inline const DatecodeFields kPreviewStart{2026, 3, 14, 10, 20, 30};

// The fields of frame `index`: one recording second per frame, timecode frames counting up.
DatecodeFields PreviewFrameDate(int index);
Timecode PreviewFrameTimecode(int index);

// Writes `count` PAL frames as a DV AVI, type 1 (interleaved) or type 2 (with a PCM stream);
// returns the frames.
std::vector<std::vector<uint8_t>> WritePreviewDvAvi(const std::string& path, int count, bool type1);

// Keeps the messages posted to the main window. Any thread.
class RecordedMessages : public MainWindowMessages {
public:
    void post(int message, intptr_t wParam, intptr_t lParam) override;
    // wParam of every 3027 posted so far.
    std::vector<intptr_t> playStates() const;

private:
    mutable std::mutex mutex_;
    std::vector<intptr_t> playStates_;
};

}  // namespace velinor::test
