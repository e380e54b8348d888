#include "filters/overlay_texts.h"

#include <charconv>

namespace velinor {

namespace {

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// `lowerToken` starts with '%' and is lower case.
bool MatchesAt(std::string_view text, size_t pos, std::string_view lowerToken) {
    if (text.size() - pos < lowerToken.size()) return false;
    for (size_t k = 1; k < lowerToken.size(); ++k)
        if (LowerAscii(text[pos + k]) != lowerToken[k]) return false;
    return true;
}

// `out` := `in` with every occurrence of the token, in any case, replaced by value(), scanning left
// to right and resuming after each replacement. value() is only called when the token occurs.
template <typename Value>
void ReplaceAll(std::string_view in, std::string_view lowerToken, std::string& out, Value&& value) {
    out.clear();
    size_t copied = 0;
    size_t pos = in.find('%');
    while (pos != std::string_view::npos) {
        if (MatchesAt(in, pos, lowerToken)) {
            out.append(in.substr(copied, pos - copied));
            out.append(value());
            copied = pos + lowerToken.size();
            pos = in.find('%', copied);
        } else {
            pos = in.find('%', pos + 1);
        }
    }
    out.append(in.substr(copied));
}

void AppendNumber(std::string& out, int value, int minDigits) {
    char buffer[16];
    char* p = buffer;
    if (value < 0) {
        *p++ = '-';
        value = -value;
    }
    char digits[12];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    for (auto count = end - digits; count < minDigits; ++count) *p++ = '0';
    for (const char* d = digits; d != end; ++d) *p++ = *d;
    out.append(buffer, p);
}

}  // namespace

OverlayTextSettingsStore::OverlayTextSettingsStore()
    : current_(std::make_shared<const OverlayTextSettings>()) {}

std::shared_ptr<const OverlayTextSettings> OverlayTextSettingsStore::snapshot() const {
    std::lock_guard lock(mutex_);
    return current_;
}

void OverlayTextSettingsStore::publish(OverlayTextSettings settings) {
    auto next = std::make_shared<const OverlayTextSettings>(std::move(settings));
    std::lock_guard lock(mutex_);
    current_ = std::move(next);
    generation_.fetch_add(1, std::memory_order_acq_rel);
}

template <typename Change>
void OverlayTextSettingsStore::modify(Change&& change) {
    // One writer at a time, so that two changes of different parts never lose each other.
    std::lock_guard writer(writers_);
    OverlayTextSettings copy = *snapshot();
    change(copy);
    publish(std::move(copy));
}

void OverlayTextSettingsStore::setTemplates(std::string_view template1, std::string_view template2) {
    modify([&](OverlayTextSettings& s) {
        s.Template1 = template1;
        s.Template2 = template2;
    });
}

void OverlayTextSettingsStore::setDateFormats(std::string_view format1, std::string_view format2) {
    DatePattern first{format1};
    DatePattern second{format2};
    modify([&](OverlayTextSettings& s) {
        s.FormatDatecode1 = first;
        s.FormatDatecode2 = second;
    });
}

void OverlayTextSettingsStore::setDecalageDisplay(double days) {
    modify([&](OverlayTextSettings& s) { s.DecalageDisplay = days; });
}

OverlayTextSettingsStore& SharedOverlayTextSettings() {
    static OverlayTextSettingsStore store;
    return store;
}

void OverlayTextBuilder::build(const std::shared_ptr<const OverlayTextSettings>& settings,
                               const TDVFrameInfo& frame, std::string& text1, std::string& text2) {
    if (datesFor_.get() != settings.get() || datesValid_ != frame.DatecodeValid ||
        (frame.DatecodeValid && datesValue_ != frame.Datecode)) {
        datesFor_ = settings;
        datesValid_ = frame.DatecodeValid;
        datesValue_ = frame.Datecode;
        d1_.clear();
        d2_.clear();
        d1Ready_ = d2Ready_ = !frame.DatecodeValid;
    }
    timecodeReady_ = false;
    settings_ = settings.get();
    frame_ = &frame;
    fill(settings_->Template1, text1);
    fill(settings_->Template2, text2);
    settings_ = nullptr;
    frame_ = nullptr;
}

void OverlayTextBuilder::fill(std::string_view source, std::string& out) {
    ReplaceAll(source, "%d1", pass1_, [this]() -> const std::string& {
        if (!d1Ready_) {
            settings_->FormatDatecode1.formatTo(d1_, frame_->Datecode + settings_->DecalageDisplay);
            d1Ready_ = true;
        }
        return d1_;
    });
    ReplaceAll(pass1_, "%d2", pass2_, [this]() -> const std::string& {
        if (!d2Ready_) {
            settings_->FormatDatecode2.formatTo(d2_, frame_->Datecode + settings_->DecalageDisplay);
            d2Ready_ = true;
        }
        return d2_;
    });
    ReplaceAll(pass2_, "%t", out, [this]() -> const std::string& {
        if (!timecodeReady_) {
            timecode_.clear();
            if (frame_->TimecodeValid) {
                // Hours are a signed byte; the BCD fields are not range-checked.
                const auto& tc = frame_->Timecode;
                AppendNumber(timecode_, static_cast<int8_t>(tc.Hours), 1);
                timecode_ += ':';
                AppendNumber(timecode_, tc.Minutes, 2);
                timecode_ += ':';
                AppendNumber(timecode_, tc.Seconds, 2);
                timecode_ += ':';
                AppendNumber(timecode_, tc.Frames, 2);
            }
            timecodeReady_ = true;
        }
        return timecode_;
    });
}

}  // namespace velinor
