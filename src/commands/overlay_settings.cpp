#include "commands/overlay_settings.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <exception>
#include <initializer_list>
#include <utility>

#include "filelist/avi_fichier.h"
#include "filelist/list_fichier.h"
#include "filters/dv_scene_detect.h"
#include "filters/dv_superposer.h"
#include "media/datetime_format.h"

namespace velinor {

namespace {

constexpr int kPositionMax = 1000;
constexpr int kBorderMax = 5;
constexpr int kLayoutMax = 3;

// Catalogue rows shared by every overlay setting: category "incrust", applied at load, caption
// equal to the script name. A list that already holds the setting (the window's catalogue) keeps
// its own action, which these settings then drive.
template <class T, class V>
T& MakeSetting(TCustomMvActionList& list, const char* name, const char* script, const V& value) {
    if (auto* existing = dynamic_cast<T*>(list.FindAction(name))) return *existing;
    T& action = list.Create<T>(name);
    action.ScriptName = script;
    action.SetCaption(script);
    action.Category = "incrust";
    action.ApplyWhenLoad = true;
    action.SetDefaultValue(value);
    action.SetValue(value);  // nothing is wired yet, so this only sets the value
    return action;
}

TCheckAction& MakeShowSetting(TCustomMvActionList& list) {
    if (auto* existing = dynamic_cast<TCheckAction*>(list.FindAction("caAfficherIncrustation")))
        return *existing;
    TCheckAction& action = list.Create<TCheckAction>("caAfficherIncrustation");
    action.ScriptName = "displayinlay";
    action.Switch = "di";
    action.Category = "incrust";
    action.ApplyWhenLoad = true;
    action.SetShortCut("Alt+I");
    action.SetFalseCaption("Afficher l'incrustation");
    action.SetTrueCaption("Masquer l'incrustation");
    action.SetDefaultValue(false);
    return action;
}

TFont DefaultOverlayFont() {
    TFont font;
    font.Name = "Arial";
    font.Size = 16;
    font.Color = 0xFFFFFF;
    return font;
}

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

struct Code {
    std::string_view lower;  // starts with '%', lower case
    std::string value;
};

// One pass over `text`: at each '%', the first code of `codes` that matches there, in any case,
// is replaced by its value. Values are not scanned again, so a file name holding "%E" stays as
// it is.
std::string ReplaceCodes(std::string_view text, std::initializer_list<Code> codes) {
    std::string out;
    out.reserve(text.size() + 32);
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] != '%') {
            out += text[i++];
            continue;
        }
        const Code* found = nullptr;
        for (const Code& code : codes) {
            if (text.size() - i < code.lower.size()) continue;
            bool same = true;
            for (size_t k = 1; same && k < code.lower.size(); ++k)
                same = LowerAscii(text[i + k]) == code.lower[k];
            if (same) {
                found = &code;
                break;
            }
        }
        if (found) {
            out += found->value;
            i += found->lower.size();
        } else {
            out += text[i++];
        }
    }
    return out;
}

std::string FormatOrEmpty(const std::string& pattern, Datecode value) {
    try {
        return FormatDateTime(pattern, value);
    } catch (const std::exception&) {
        return {};
    }
}

// A decimal integer filling the whole text, blanks around it allowed; 0 otherwise.
int32_t IntegerOrZero(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return 0;
    return value;
}

Datecode LocalNow() {
    const auto since = std::chrono::system_clock::now().time_since_epoch();
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(since);
    const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(since - seconds);
    return LocalDatecode(seconds.count(), nanoseconds.count());
}

}  // namespace

OverlayFont OverlayFontFromSetting(const TFont& font) {
    OverlayFont out;
    out.Name = font.Name;
    out.Size = font.Size;
    const auto bgr = static_cast<uint32_t>(font.Color);
    out.Color = (bgr & 0xFF) << 16 | (bgr & 0xFF00) | (bgr >> 16 & 0xFF);
    out.Bold = font.Bold;
    out.Italic = font.Italic;
    out.Underline = font.Underline;
    out.StrikeOut = font.StrikeOut;
    return out;
}

TOverlaySettings::TOverlaySettings(TCustomMvActionList* list, OverlayTextSettingsStore& store)
    : ownList_(list ? nullptr : std::make_unique<TCustomMvActionList>()),
      list_(list ? list : ownList_.get()),
      store_(&store),
      iaWhatIncrust(MakeSetting<TIntegerAction>(*list_, "iaWhatIncrust", "WhatIncrust", 0)),
      waFormatdatecode1(MakeSetting<TWidestringAction>(*list_, "waFormatdatecode1", "FormatDatecode1",
                                                       std::string("ddddd"))),
      waFormatDatecode2(
          MakeSetting<TWidestringAction>(*list_, "waFormatDatecode2", "FormatDatecode2", std::string("tt"))),
      waPerso1(MakeSetting<TWidestringAction>(*list_, "waPerso1", "IncrustPerso1",
                                              std::string("Votre modèle ici"))),
      waperso2(MakeSetting<TWidestringAction>(*list_, "waperso2", "IncrustPerso2",
                                              std::string("avec datecode=%D, timecode=%T, etc..."))),
      faIncrustFont(MakeSetting<TFontAction>(*list_, "faIncrustFont", "IncrustFont", DefaultOverlayFont())),
      iaIncrustX(MakeSetting<TIntegerAction>(*list_, "iaIncrustX", "IncrustX", 920)),
      iaIncrustY(MakeSetting<TIntegerAction>(*list_, "iaIncrustY", "IncrustY", 920)),
      iaBorderSize(MakeSetting<TIntegerAction>(*list_, "iaBorderSize", "BorderSize", 2)),
      iaWhenIncrust(MakeSetting<TIntegerAction>(*list_, "iaWhenIncrust", "WhenIncrust", 0)),
      iaDureeIncrustation(MakeSetting<TIntegerAction>(*list_, "iaDureeIncrustation", "DureeIncrustation", 5)),
      caAfficherIncrustation(MakeShowSetting(*list_)),
      Now(LocalNow) {
    perso1_ = waPerso1.CurrentValue();
    perso2_ = waperso2.CurrentValue();
    font_ = faIncrustFont.CurrentValue();
    Wire();
}

TOverlaySettings::~TOverlaySettings() {
    // Actions of an outside list outlive this object: their handlers must not call back into it.
    if (ownList_) return;
    for (TIntegerAction* action :
         {&iaWhatIncrust, &iaIncrustX, &iaIncrustY, &iaBorderSize, &iaWhenIncrust, &iaDureeIncrustation})
        action->InternalApply = nullptr;
    for (TWidestringAction* action : {&waFormatdatecode1, &waFormatDatecode2, &waPerso1, &waperso2})
        action->InternalApply = nullptr;
    faIncrustFont.InternalApply = nullptr;
    caAfficherIncrustation.InternalTrueApply = nullptr;
    caAfficherIncrustation.InternalFalseApply = nullptr;
}

void TOverlaySettings::Wire() {
    iaWhatIncrust.InternalApply = [this](const int32_t& v) {
        {
            std::lock_guard lock(mutex_);
            whatIncrust_ = v;
        }
        if (v >= 0 && v <= 2 && ShowWhatIncrust) ShowWhatIncrust(v);
        PrepareOverlayTexts();
    };

    auto applyFormat = [this](int line, const std::string& s) {
        {
            std::lock_guard lock(mutex_);
            (line == 1 ? format1_ : format2_) = s;
            store_->setDateFormats(format1_, format2_);
        }
        const auto& show = line == 1 ? ShowFormatDatecode1 : ShowFormatDatecode2;
        if (show) show(s);
        UpdateExamples();
        const int what = iaWhatIncrust.CurrentValue();
        if (what == 0 || what == 2) RefreshWhenShown();
    };
    waFormatdatecode1.InternalApply = [applyFormat](const std::string& s) { applyFormat(1, s); };
    waFormatDatecode2.InternalApply = [applyFormat](const std::string& s) { applyFormat(2, s); };

    auto applyPerso = [this](int line, const std::string& s) {
        bool custom = false;
        {
            std::lock_guard lock(mutex_);
            (line == 1 ? perso1_ : perso2_) = s;
            custom = whatIncrust_ == 2;
            if (custom) {
                const auto current = store_->snapshot();
                const std::string expanded = ExpandLocked(s, line);
                if (line == 1)
                    store_->setTemplates(expanded, current->Template2);
                else
                    store_->setTemplates(current->Template1, expanded);
            }
        }
        const auto& show = line == 1 ? ShowPerso1 : ShowPerso2;
        if (show) show(s);
        UpdateExamples();
        if (custom) RefreshWhenShown();
    };
    waPerso1.InternalApply = [applyPerso](const std::string& s) { applyPerso(1, s); };
    waperso2.InternalApply = [applyPerso](const std::string& s) { applyPerso(2, s); };

    faIncrustFont.InternalApply = [this](const TFont& f) {
        StoreFont(f);
        if (ShowFont) ShowFont(f);
        if (PreviewOverlay) PreviewOverlay->SetFont(OverlayFontFromSetting(f));
        if (RefreshPreview) RefreshPreview();
    };

    auto applyPosition = [this](TIntegerAction& action, bool horizontal, int32_t v) {
        const int32_t clamped = std::clamp(v, 0, kPositionMax);
        if (clamped != v) {
            // The stored value follows, as the slider's feedback would make it.
            action.SetValue(clamped);
            return;
        }
        {
            std::lock_guard lock(mutex_);
            (horizontal ? incrustX_ : incrustY_) = v;
        }
        if (horizontal) {
            if (PreviewOverlay) PreviewOverlay->SetHorizontal(v);
            if (ShowHorizontalSlider) ShowHorizontalSlider(v);
        } else {
            if (PreviewOverlay) PreviewOverlay->SetVertical(v);
            if (ShowVerticalSlider) ShowVerticalSlider(kPositionMax - v);
        }
        RefreshWhenShown();
    };
    iaIncrustX.InternalApply = [this, applyPosition](const int32_t& v) {
        applyPosition(iaIncrustX, true, v);
    };
    iaIncrustY.InternalApply = [this, applyPosition](const int32_t& v) {
        applyPosition(iaIncrustY, false, v);
    };

    iaBorderSize.InternalApply = [this](const int32_t& k) {
        if (k < 0 || k > kBorderMax) {
            // A refused size is not kept either, so it is neither saved nor loaded again.
            iaBorderSize.SetValue(BorderSize());
            return;
        }
        {
            std::lock_guard lock(mutex_);
            lastBorderSize_ = k;
        }
        if (ShowBorderSize) ShowBorderSize(k);
        if (PreviewOverlay) PreviewOverlay->SetBorderSize(k);
        RefreshWhenShown();
    };

    iaWhenIncrust.InternalApply = [this](const int32_t& m) {
        if (ShowWhenIncrust) ShowWhenIncrust(m);
        if (PreviewOverlay) PreviewOverlay->SetDisplayMode(m);
        if (ConversionDetector) ConversionDetector->SetDisplayMode(m);
        RefreshWhenShown();
    };

    iaDureeIncrustation.InternalApply = [this](const int32_t& s) {
        if (ShowDuree) ShowDuree(s);
        if (PreviewOverlay) PreviewOverlay->SetDisplaySeconds(s);
        if (ConversionDetector) ConversionDetector->SetDisplaySeconds(s);
    };

    auto applyShow = [this](bool show) {
        if (PreviewOverlay) PreviewOverlay->SetShowText(show);
        if (RefreshPreview) RefreshPreview();
    };
    caAfficherIncrustation.InternalTrueApply = [applyShow] { applyShow(true); };
    caAfficherIncrustation.InternalFalseApply = [applyShow] { applyShow(false); };
}

void TOverlaySettings::RefreshWhenShown() {
    if (caAfficherIncrustation.Checked() && RefreshPreview) RefreshPreview();
}

void TOverlaySettings::StoreFont(const TFont& font) {
    std::lock_guard lock(mutex_);
    font_ = font;
}

void TOverlaySettings::UpdateExamples() {
    std::string perso1, perso2;
    {
        std::lock_guard lock(mutex_);
        perso1 = perso1_;
        perso2 = perso2_;
    }
    labTexte_ = ExampleText(ExpandPerso(perso1, 1)) + "\r\n" + ExampleText(ExpandPerso(perso2, 2));
    labDatecode_ = ExampleText("%D1") + "\r\n" + ExampleText("%D2");
    if (ExamplesChanged) ExamplesChanged();
}

void TOverlaySettings::SetLayout(int layout) {
    if (layout < 0 || layout > kLayoutMax) return;
    {
        std::lock_guard lock(mutex_);
        layout_ = layout;
    }
    // Before the filter's layout: moving the anchor while in layout 3 would switch it to 1.
    if (layout == 3) iaIncrustX.SetValue(kPositionMax / 2);
    if (ShowLayout) ShowLayout(layout);
    if (PreviewOverlay) PreviewOverlay->SetLayout(layout);
    if (RefreshPreview) RefreshPreview();
}

void TOverlaySettings::SetFontName(const std::string& name) {
    TFont font = Font();
    font.Name = name;
    faIncrustFont.SetValue(font);
}

void TOverlaySettings::SetFontSizeText(const std::string& text) {
    TFont font = Font();
    font.Size = text == "auto" ? -1 : IntegerOrZero(text);
    faIncrustFont.SetValue(font);
}

void TOverlaySettings::SetFontStyle(bool bold, bool italic, bool underline) {
    TFont font = Font();
    font.Bold = bold;
    font.Italic = italic;
    font.Underline = underline;
    faIncrustFont.SetValue(font);
}

void TOverlaySettings::SetFontColor(int32_t color) {
    TFont font = Font();
    font.Color = color;
    faIncrustFont.SetValue(font);
}

void TOverlaySettings::SetDureeText(const std::string& text) {
    iaDureeIncrustation.SetValue(IntegerOrZero(text));
}

int TOverlaySettings::Layout() const {
    std::lock_guard lock(mutex_);
    return layout_;
}

int TOverlaySettings::IncrustX() const {
    std::lock_guard lock(mutex_);
    return incrustX_;
}

int TOverlaySettings::IncrustY() const {
    std::lock_guard lock(mutex_);
    return incrustY_;
}

int TOverlaySettings::BorderSize() const {
    std::lock_guard lock(mutex_);
    return lastBorderSize_;
}

TFont TOverlaySettings::Font() const {
    std::lock_guard lock(mutex_);
    return font_;
}

OverlayFont TOverlaySettings::OverlayFilterFont() const {
    return OverlayFontFromSetting(Font());
}

void TOverlaySettings::SetOverlayRecord(const TAbstractListFichier* record) {
    OverlayRecordValues values;
    if (record) {
        values.BaseName = record->BaseName;
        values.Ext = record->Ext;
        values.Folder = record->Folder;
        if (const auto* avi = dynamic_cast<const TaviFichier*>(record)) {
            values.Codec = avi->Codec;
            values.ImageText = avi->ImageText;
            values.AspectText = avi->AspectText;
            values.AudioText = avi->AudioText;
            values.DurationText = avi->DurationText;
            values.DatecodeValue = avi->DatecodeValue;
            values.TimecodeText = avi->TimecodeText;
        }
    }
    std::lock_guard lock(mutex_);
    hasRecord_ = record != nullptr;
    record_ = std::move(values);
}

void TOverlaySettings::PrepareOverlayTexts() {
    {
        std::lock_guard lock(mutex_);
        switch (whatIncrust_) {
            case 0:
                store_->setTemplates("%D1", "%D2");
                break;
            case 1:
                store_->setTemplates("", "%T");
                break;
            case 2:
                store_->setTemplates(ExpandLocked(perso1_, 1), ExpandLocked(perso2_, 2));
                break;
            default:
                break;
        }
    }
    if (RefreshPreview) RefreshPreview();
}

std::string TOverlaySettings::ExpandPerso(std::string_view templateText, int line) const {
    std::lock_guard lock(mutex_);
    return ExpandLocked(templateText, line);
}

std::string TOverlaySettings::ExpandLocked(std::string_view templateText, int line) const {
    if (!hasRecord_) return std::string(templateText);
    const OverlayRecordValues& r = record_;
    return ReplaceCodes(templateText, {
                                          {"%d", line == 1 ? "%D1" : "%D2"},
                                          {"%f", r.BaseName},
                                          {"%e", r.Ext},
                                          {"%p", r.Folder},
                                          {"%c", r.Codec},
                                          {"%i", r.ImageText + r.AspectText},
                                          {"%a", r.AudioText},
                                          {"%u", r.DurationText},
                                      });
}

std::string TOverlaySettings::ExampleText(std::string_view templateText) const {
    Datecode date = 0;
    std::string format1, format2, timecode;
    {
        std::lock_guard lock(mutex_);
        if (hasRecord_ && record_.DatecodeValue > 0) date = record_.DatecodeValue;
        format1 = format1_;
        format2 = format2_;
        timecode = hasRecord_ && record_.TimecodeText.size() > 3 ? record_.TimecodeText : "0:00:00:00";
    }
    if (date <= 0) date = Now ? Now() : LocalNow();
    return ReplaceCodes(templateText, {
                                          {"%d1", FormatOrEmpty(format1, date)},
                                          {"%d2", FormatOrEmpty(format2, date)},
                                          {"%t", timecode},
                                      });
}

}  // namespace velinor
