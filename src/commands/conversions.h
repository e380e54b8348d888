#pragma once
// The twelve conversion commands: each builds one graph of the conversion module per file and
// sets the program's filters for it. Built and configured on the UI thread; destinations run on
// the UI thread, builds on the engine's worker.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "commands/cdm.h"
#include "commands/graph_cmd.h"
#include "filters/dv_superposer.h"

namespace velinor {

// The settings these commands read, with their defaults. Written on the UI thread between
// commands.
struct TConversionSettings {
    int32_t StandardDV = 0;     // produced DV: 0 PAL, otherwise NTSC
    int32_t RatioDV = 0;        // produced DV: 1 16:9, otherwise 4:3
    int32_t FrequenceDV = 2;    // produced DV audio: 0 32 000 Hz, 1 44 100 Hz, 2 48 000 Hz
    double ConfirmedShift = 0;  // days; the shift last confirmed in the shift dialog

    // Sets a setting by its script name (any case); false for an unknown name or a bad value.
    bool Set(const std::string& name, const std::string& value);
};

// Where and how the burn-in draws its text, as the overlay settings hold it.
struct TOverlayPlacement {
    int X = 920;  // per mille of the width
    int Y = 920;  // per mille of the height
    int Layout = 0;
    int Border = 2;  // outline, pixels
    OverlayFont Font{.Name = "Arial", .Size = 16, .Color = 0xFFFFFF, .Bold = false};
};

// "_(+1h30mn).avi" for a shift of 1 h 30 min: the destination suffix of a datecode shift.
std::string ShiftSuffix(double days);
// The rate at the start of a record's audio text ("48000 Hz ..."), or nothing.
std::optional<uint32_t> SourceAudioRate(const std::string& audioText);
// A datecode given as a number of days (decimal point or comma) or as "YYYY-MM-DD HH:MM:SS".
std::optional<Datecode> ParseDatecodeParam(const std::string& text);

class TConversions {
public:
    explicit TConversions(TCdm& cdm);
    TConversions(const TConversions&) = delete;
    TConversions& operator=(const TConversions&) = delete;

    TConversionSettings Settings;
    // The path of a produced file; beside the source unless set. UI thread.
    std::function<std::string(const std::string& source, const std::string& suffix)> DestinationPath;
    // Prepares the overlay texts for the record the burn-in is about to process. UI thread.
    // Unset, the shared templates show the datecode on two lines when they are empty.
    std::function<void(const TAbstractListFichier& record)> PrepareOverlay;
    // The overlay position, layout and font. UI thread.
    std::function<TOverlayPlacement()> OverlayPlacement;

    TGraphCmd ConvertirDV1, ConvertirDV2, RecompresserDV2, CorrigerType2, ConvertirNTSC, ConvertirPal,
        Convertir16x9, Convertir4x3, Incruster, DecalerHoraire, IntroduireDatecode, ExtraireAudio;

    // The command of this name, ignoring case; null when there is none.
    tAbstractCmd* Find(const std::string& name);
    std::vector<tAbstractCmd*> Commands();

private:
    void setup();
    void wrapBuilds();
    std::string destination(const TAbstractListFichier* record, const std::string& suffix) const;
    void setRates(const TAbstractListFichier* record);

    TCdm& cdm_;
    TOverlayPlacement placement_;  // taken on the UI thread for the file being burnt
};

class TdmAction;
class TOverlaySettings;
// Gives the conversions the save folder of the rename and file commands and the overlay settings
// of the window (or of the command line).
void ConnectConversions(TConversions& conversions, const TdmAction& dm, TOverlaySettings& overlay);

}  // namespace velinor
