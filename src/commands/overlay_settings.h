#pragma once
// The overlay settings: the typed actions that say what the datecode overlay shows, where and in
// which font, what applying each of them does, and the preparation of the two text templates for
// a file. Everything runs on the UI thread, except the members marked "any thread", which the
// command worker also calls while it prepares a burn-in.
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "actions/actions.h"
#include "actions/actions_list.h"
#include "filters/overlay_texts.h"

namespace velinor {

class TAbstractListFichier;
class Tdv_Superposer;
class Tdv_sceneDetect;
struct OverlayFont;

// The overlay font as the filters take it (colour 0xRRGGBB) from the font setting (0x00BBGGRR).
OverlayFont OverlayFontFromSetting(const TFont& font);

// The values of the overlay record that the custom templates and the examples use, copied when
// the record is set so that no thread ever reads a record the list may free.
struct OverlayRecordValues {
    std::string BaseName;  // the file name without its extension
    std::string Ext;       // with its dot
    std::string Folder;    // with its trailing "/"
    std::string Codec;
    std::string ImageText;
    std::string AspectText;
    std::string AudioText;
    std::string DurationText;
    Datecode DatecodeValue = 0;
    std::string TimecodeText;
};

class TOverlaySettings {
    // First, so that the action references below can be made from them.
    std::unique_ptr<TCustomMvActionList> ownList_;
    TCustomMvActionList* list_;
    OverlayTextSettingsStore* store_;

public:
    // The actions go into `list` (which owns them) when given, else into a list of this object's.
    // Templates and date patterns are published to `store`, which must outlive this object.
    TOverlaySettings(TCustomMvActionList* list, OverlayTextSettingsStore& store);
    TOverlaySettings(const TOverlaySettings&) = delete;
    TOverlaySettings& operator=(const TOverlaySettings&) = delete;
    ~TOverlaySettings();

    TCustomMvActionList& Actions() { return *list_; }

    // The settings. Their values are read on the UI thread; other threads use the accessors
    // below.
    TIntegerAction& iaWhatIncrust;  // 0 datecode in two patterns, 1 timecode, 2 custom templates
    TWidestringAction& waFormatdatecode1;
    TWidestringAction& waFormatDatecode2;
    TWidestringAction& waPerso1;
    TWidestringAction& waperso2;
    TFontAction& faIncrustFont;           // a negative size follows the picture width
    TIntegerAction& iaIncrustX;           // per mille of the width, 0-1000
    TIntegerAction& iaIncrustY;           // per mille of the height, 0-1000
    TIntegerAction& iaBorderSize;         // pixels, 0-5
    TIntegerAction& iaWhenIncrust;        // 0 always, 1 once, 2 each new scene, 3 each new day
    TIntegerAction& iaDureeIncrustation;  // seconds
    TCheckAction& caAfficherIncrustation;

    // Where the effects go; each may stay unset. The filters must outlive this object or be
    // cleared first.
    Tdv_Superposer* PreviewOverlay = nullptr;
    Tdv_sceneDetect* ConversionDetector = nullptr;
    // Redraws the preview picture. Also called from the command worker (PrepareOverlayTexts), so
    // the owner's hook passes the call to the thread that owns the preview.
    std::function<void()> RefreshPreview;

    // What the window shows; each receives the value to show.
    std::function<void(int)> ShowWhatIncrust;  // presses tbSetDatecode / tbSetTimecode / tbSetPerso
    std::function<void(int)> ShowHorizontalSlider;
    std::function<void(int)> ShowVerticalSlider;  // 1000 - y: the slider runs upwards
    std::function<void(int)> ShowBorderSize;      // caption of tbBorder
    std::function<void(int)> ShowWhenIncrust;     // checks one of the four radio buttons
    std::function<void(int)> ShowDuree;           // edDuree
    std::function<void(int)> ShowLayout;          // the pressed alignment button
    std::function<void(const std::string&)> ShowFormatDatecode1, ShowFormatDatecode2;  // combo boxes
    std::function<void(const std::string&)> ShowPerso1, ShowPerso2;                    // edits
    std::function<void(const TFont&)> ShowFont;  // name, size ("auto" when negative), style, colour
    std::function<void()> ExamplesChanged;       // LabTexte and labDatecode have new texts

    // The example labels: two lines joined by CR LF.
    const std::string& LabTexte() const { return labTexte_; }
    const std::string& LabDatecode() const { return labDatecode_; }

    // What the window's controls do.
    void SetLayout(int layout);  // alignment buttons: 0 left, 1 centred, 2 right, 3 subtitle-like
    void SetFontName(const std::string& name);
    void SetFontSizeText(const std::string& text);  // "auto" gives -1; an unreadable number 0
    void SetFontStyle(bool bold, bool italic, bool underline);
    void SetFontColor(int32_t color);            // 0x00BBGGRR
    void SetDureeText(const std::string& text);  // an unreadable number gives 0

    // Any thread.
    int Layout() const;
    int IncrustX() const;
    int IncrustY() const;
    int BorderSize() const;
    TFont Font() const;  // the overlay font
    OverlayFont OverlayFilterFont() const;

    // The record whose values fill the custom templates; null for none. Any thread; the values
    // are copied, so the record may go away afterwards.
    void SetOverlayRecord(const TAbstractListFichier* record);
    // Sets Template1 and Template2 for the overlay record, then RefreshPreview. Any thread.
    void PrepareOverlayTexts();
    // The custom template with the file codes of the overlay record filled in, for line 1 or 2;
    // the template as typed when there is no overlay record. Any thread.
    std::string ExpandPerso(std::string_view templateText, int line) const;
    // A template with the date and time codes filled in from the overlay record, or from the
    // current date and time without one, as the example labels show it.
    std::string ExampleText(std::string_view templateText) const;

    // The local date and time the examples use when there is no record datecode.
    std::function<Datecode()> Now;

    // Recomputes LabTexte and labDatecode, then ExamplesChanged (the apply handlers do it too).
    void UpdateExamples();

private:
    void Wire();
    std::string ExpandLocked(std::string_view templateText, int line) const;
    void RefreshWhenShown();
    void StoreFont(const TFont& font);

    // The values other threads read, kept in step by the apply handlers.
    mutable std::mutex mutex_;
    int whatIncrust_ = 0;
    std::string perso1_, perso2_;
    std::string format1_ = "ddddd", format2_ = "tt";
    bool hasRecord_ = false;
    OverlayRecordValues record_;
    int layout_ = 0;
    int incrustX_ = 920, incrustY_ = 920;
    TFont font_;

    int lastBorderSize_ = 2;  // the last size applied, put back over a refused one; under mutex_
    std::string labTexte_, labDatecode_;
};

}  // namespace velinor
