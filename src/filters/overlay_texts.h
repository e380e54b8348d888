#pragma once
// The two overlay and subtitle text lines of a DV frame: the process-wide settings they are built
// from (templates, date patterns, display shift) and the builder that fills the templates.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "filters/dv_frame_info.h"
#include "media/datetime_format.h"

namespace velinor {

// One immutable set of text settings. Templates hold the codes %D1, %D2 and %T (any case).
struct OverlayTextSettings {
    DatePattern FormatDatecode1{"ddddd"};
    DatePattern FormatDatecode2{"tt"};
    std::string Template1;
    std::string Template2;
    double DecalageDisplay = 0;  // display shift, days
};

// Holds the current settings as a snapshot that streaming threads take while the UI thread
// publishes new ones. Every member function may be called from any thread.
class OverlayTextSettingsStore {
public:
    OverlayTextSettingsStore();

    std::shared_ptr<const OverlayTextSettings> snapshot() const;
    void publish(OverlayTextSettings settings);
    // Changes one part of the current settings and publishes the result.
    void setTemplates(std::string_view template1, std::string_view template2);
    void setDateFormats(std::string_view format1, std::string_view format2);
    void setDecalageDisplay(double days);

    // Grows by one at every publication, so a reader can tell cheaply that its snapshot is stale.
    uint64_t generation() const { return generation_.load(std::memory_order_acquire); }

private:
    template <typename Change>
    void modify(Change&& change);

    std::mutex writers_;  // held across a whole read-change-publish of modify()
    mutable std::mutex mutex_;
    std::shared_ptr<const OverlayTextSettings> current_;
    std::atomic<uint64_t> generation_{0};
};

// The settings every filter of the process reads unless it is given its own store.
OverlayTextSettingsStore& SharedOverlayTextSettings();

// Fills both templates for one frame. Keeps its buffers between frames, and the date texts for as
// long as the datecode and the settings stay the same, so a steady stream costs no allocation.
// One instance per filter; used by the filter's streaming thread only.
class OverlayTextBuilder {
public:
    void build(const std::shared_ptr<const OverlayTextSettings>& settings, const TDVFrameInfo& frame,
               std::string& text1, std::string& text2);

private:
    void fill(std::string_view source, std::string& out);

    const OverlayTextSettings* settings_ = nullptr;
    const TDVFrameInfo* frame_ = nullptr;
    // Date texts, valid for (datesFor_, datesValue_, datesValid_). Holding the snapshot keeps its
    // address from being reused by a later one.
    std::shared_ptr<const OverlayTextSettings> datesFor_;
    double datesValue_ = 0;
    bool datesValid_ = false;
    bool d1Ready_ = false, d2Ready_ = false;
    std::string d1_, d2_;
    std::string timecode_;
    bool timecodeReady_ = false;
    std::string pass1_, pass2_;
};

}  // namespace velinor
