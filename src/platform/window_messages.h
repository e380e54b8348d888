#pragma once
// Messages posted to the main window by workers and streaming threads. Implementations queue the
// message for the UI thread and return at once, so `post` may be called from any thread.
#include <cstdint>

namespace velinor {

// Message numbers, WM_USER-based as the main window's handlers know them.
constexpr int kMsgDisplayTexts = 3026;  // display texts of a preview timer tick
constexpr int kMsgPlayState = 3027;     // wParam 1 = playing, 0 = paused
constexpr int kMsgAspectChange = 3028;  // wParam 1 = 16:9, 0 = 4:3; lParam 0
constexpr int kMsgOpenActive = 23425;   // open the active record in the preview

class MainWindowMessages {
public:
    virtual ~MainWindowMessages() = default;
    virtual void post(int message, intptr_t wParam, intptr_t lParam) = 0;
};

}  // namespace velinor
