#include "commands/conversions.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "commands/catalogue.h"
#include "commands/overlay_settings.h"
#include "filelist/avi_fichier.h"
#include "filelist/list_fichier.h"
#include "filters/overlay_texts.h"
#include "graph/audio_converter.h"
#include "media/avi_demuxer.h"
#include "media/datetime_format.h"
#include "scenes/scene_export.h"

namespace velinor {

namespace {

const TaviFichier* AviOf(const TAbstractListFichier* record) {
    return dynamic_cast<const TaviFichier*>(record);
}

bool HasDuration(const TaviFichier& f) {
    return f.Duration > 0;
}

// Declared under one of the DV codes ("dvsd", "CDVC", ...): the conversions read them alike.
bool IsDvsd(const TaviFichier& f) {
    return IsDvFamilyCodec(f.Codec);
}

std::optional<int32_t> ParseInt(const std::string& text) {
    int32_t value = 0;
    const char* first = text.data();
    const char* last = first + text.size();
    while (first < last && *first == ' ') ++first;
    while (last > first && last[-1] == ' ') --last;
    const auto [end, error] = std::from_chars(first, last, value);
    if (first == last || error != std::errc() || end != last) return std::nullopt;
    return value;
}

}  // namespace

bool TConversionSettings::Set(const std::string& name, const std::string& value) {
    const std::string key = LowerCase(name);
    int32_t* number = key == "standarddv"                      ? &StandardDV
                      : key == "iaratiodv" || key == "ratiodv" ? &RatioDV
                      : key == "frequencedv"                   ? &FrequenceDV
                                                               : nullptr;
    if (number) {
        const auto parsed = ParseInt(value);
        if (!parsed) return false;
        if (number == &FrequenceDV && (*parsed < 0 || *parsed > 2)) return false;
        *number = *parsed;
        return true;
    }
    if (key == "decalageconfirme") {
        const auto days = ParseDecimal(value);
        if (!days) return false;
        ConfirmedShift = *days;
        return true;
    }
    return false;
}

std::string ShiftSuffix(double days) {
    const bool negative = days < 0;
    const long long total = std::llround(std::fabs(days) * kSecondsPerDay);
    const long long d = total / 86'400, h = total / 3600 % 24, m = total / 60 % 60, s = total % 60;
    std::string amount;
    if (d > 0) amount += std::to_string(d) + "jours";
    if (h != 0) amount += std::to_string(h) + "h";
    if (m != 0) amount += std::to_string(m) + "mn";
    if (s != 0) amount += std::to_string(s) + "s";
    return std::string("_(") + (negative ? "-" : "+") + amount + ").avi";
}

std::optional<uint32_t> SourceAudioRate(const std::string& audioText) {
    const auto rate = ParseInt(audioText.substr(0, 5));
    if (!rate || *rate <= 0) return std::nullopt;
    return uint32_t(*rate);
}

std::optional<Datecode> ParseDatecodeParam(const std::string& text) {
    // Days since 30/12/1899, within the years 1 to 9999 that a date can be written in.
    if (const auto days = ParseDecimal(text))
        return std::isfinite(*days) && *days >= -693'593.0 && *days < 2'958'466.0
                   ? std::optional<Datecode>(*days)
                   : std::nullopt;
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    char tail = 0;
    if (std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d%c", &y, &mo, &d, &h, &mi, &s, &tail) != 6)
        return std::nullopt;
    if (mo < 1 || mo > 12 || d < 1 || d > 31 || h < 0 || h > 23 || mi < 0 || mi > 59 || s < 0 || s > 59)
        return std::nullopt;
    return MakeDatecode({y, uint8_t(mo), uint8_t(d), uint8_t(h), uint8_t(mi), uint8_t(s)});
}

TConversions::TConversions(TCdm& cdm) : cdm_(cdm) {
    setup();
    wrapBuilds();
}

std::string TConversions::destination(const TAbstractListFichier* record, const std::string& suffix) const {
    if (!record) return {};
    return DestinationPath ? DestinationPath(record->FileName, suffix)
                           : velinor::DestinationPath(record->FileName, suffix, true, {});
}

void TConversions::setRates(const TAbstractListFichier* record) {
    const TaviFichier* f = AviOf(record);
    const auto rate = f ? SourceAudioRate(f->AudioText) : std::nullopt;
    if (!rate) return;
    // A converter that is not part of this graph is left alone.
    for (graph::AudioConverter* acm : {cdm_.Acm1(), cdm_.Acm2()})
        if (acm && acm->graph() == cdm_.Graph()) cdm_.SetAudioOutputRate(acm, *rate);
}

void TConversions::setup() {
    struct Row {
        TGraphCmd* cmd;
        const char* name;
        const char* suffix;
        const char* start;
        const char* error;
    };
    const Row rows[] = {
        {&ConvertirDV1, "ConvertirDV1", "_type1.avi", "En train de convertir %s en type 1",
         "Une erreur est survenue pendant la conversion de %s en type 1"},
        {&ConvertirDV2, "ConvertirDV2", "_type2.avi", "En train de convertir %s en type 2",
         "Une erreur est survenue pendant la conversion de %s en type 2"},
        {&RecompresserDV2, "RecompresserDV2", "_dvtype2.avi", "En train de compresser %s en DV type 2",
         "Erreur pendant la compression de %s en DV type 2"},
        {&CorrigerType2, "CorrigerType2", "_fixed.avi", "En train de corriger %s comme video de type 2",
         "Erreur pendant la correction de %s comme video de type 2"},
        {&ConvertirNTSC, "ConvertirNTSC", "_ntsc.avi", "En train de convertir %s en NTSC",
         "Erreur pendant la conversion de %s en NTSC"},
        {&ConvertirPal, "ConvertirPal", "_pal.avi", "En train de convertir %s en Pal",
         "Erreur pendant la conversion de %s en Pal"},
        {&Convertir16x9, "Convertir16x9", "_16x9.avi", "En train de convertir %s en 16x9",
         "Une erreur s'est produite pendant la conversion de %s en 16x9"},
        {&Convertir4x3, "Convertir4x3", "_4x3.avi", "En train de convertir %s en 4x3",
         "Erreur pendant la conversion de %s en 4x3"},
        {&Incruster, "Incruster", "_in.avi", "En train d'incruster dans %s",
         "Erreur pendant l'incrustation dans %s"},
        {&DecalerHoraire, "DecalerHoraire", "", "En train d'appliquer un décalage horaire à %s",
         "Erreur pendant l'application d'un décalage horaire à %s"},
        {&IntroduireDatecode, "IntroduireDatecode", "_datecode.avi",
         "En train d'introduire un datecode dans %s", "Erreur pendant l'introduction d'un datecode dans %s"},
        {&ExtraireAudio, "ExtraireAudio", ".wav", "En train d'extraire l'audio de %s",
         "Erreur pendant l'extraction audio de %s"},
    };
    for (const Row& r : rows) {
        TGraphCmd& c = *r.cmd;
        c.Name = r.name;
        c.Category = "Conversion";
        c.Nombre = fnSelect;
        c.ShowProgress = true;
        c.NbPasses = 0;
        c.UpdateDisplay = udFinal;
        c.UpdateFile = ufAdd;
        c.StartMessage = r.start;
        c.ErrorMessage = r.error;
        const std::string suffix = r.suffix;
        c.OnDestination = [this, suffix](TAbstractListFichier* record, const CmdParams&, int) {
            return destination(record, suffix);
        };
    }
    ExtraireAudio.UpdateDisplay = udNone;
    ExtraireAudio.UpdateFile = ufNone;

    // Conditions: what the file must be for the command to take it.
    using Test = std::function<void(const TaviFichier&, bool& visible, bool& enabled)>;
    const auto condition = [](Test test) {
        return [test](TAbstractListFichier* record, bool& visible, bool& enabled) {
            const TaviFichier* f = AviOf(record);
            if (!f) {
                enabled = false;
                return;
            }
            test(*f, visible, enabled);
        };
    };
    ConvertirDV1.OnFileCondition = condition(
        [](const TaviFichier& f, bool&, bool& e) { e = f.IsDV && f.DVType == 2 && HasDuration(f); });
    ConvertirDV2.OnFileCondition = condition(
        [](const TaviFichier& f, bool&, bool& e) { e = f.IsDV && f.DVType == 1 && HasDuration(f); });
    RecompresserDV2.OnFileCondition = condition([](const TaviFichier& f, bool& v, bool& e) {
        v = f.HasImage();
        e = !f.IsDV && HasDuration(f);
    });
    CorrigerType2.OnFileCondition =
        condition([](const TaviFichier& f, bool& v, bool& e) { v = e = f.DVType == 2 && f.IsDV && f.Iavs; });
    ConvertirNTSC.OnFileCondition = condition([](const TaviFichier& f, bool& v, bool& e) {
        v = e = f.IsDV && f.VideoSystem == 0 && (f.DVType == 2 || IsDvsd(f));
    });
    ConvertirPal.OnFileCondition = condition([](const TaviFichier& f, bool& v, bool& e) {
        v = e = f.IsDV && f.VideoSystem == 1 && (f.DVType == 2 || IsDvsd(f));
    });
    Convertir16x9.OnFileCondition =
        condition([](const TaviFichier& f, bool&, bool& e) { e = f.IsDV && !f.Wide; });
    Convertir4x3.OnFileCondition =
        condition([](const TaviFichier& f, bool&, bool& e) { e = f.IsDV && f.Wide; });
    Incruster.OnFileCondition =
        condition([](const TaviFichier& f, bool&, bool& e) { e = f.IsDV && (f.DVType == 2 || IsDvsd(f)); });
    DecalerHoraire.OnFileCondition = condition([](const TaviFichier& f, bool&, bool& e) { e = f.IsDV; });
    IntroduireDatecode.OnFileCondition = condition([](const TaviFichier& f, bool&, bool& e) { e = f.IsDV; });
    ExtraireAudio.OnFileCondition = condition([](const TaviFichier& f, bool& v, bool& e) {
        v = !(f.IsDV && f.DVType == 1 && !IsDvsd(f));
        e = f.AudioText != "N/A";
    });

    // What the conditions above ask, for the files they refuse.
    ConvertirDV1.RefusalReason = "le fichier n'est pas une vidéo DV type 2";
    ConvertirDV2.RefusalReason = "le fichier n'est pas une vidéo DV type 1";
    RecompresserDV2.RefusalReason = "le fichier est déjà une vidéo DV, ou n'a pas de durée";
    CorrigerType2.RefusalReason = "le fichier n'est pas une vidéo DV type 2 iavs";
    ConvertirNTSC.RefusalReason = "le fichier n'est pas une vidéo DV Pal";
    ConvertirPal.RefusalReason = "le fichier n'est pas une vidéo DV NTSC";
    Convertir16x9.RefusalReason = "le fichier n'est pas une vidéo DV 4x3";
    Convertir4x3.RefusalReason = "le fichier n'est pas une vidéo DV 16x9";
    for (TGraphCmd* c : {&Incruster, &DecalerHoraire, &IntroduireDatecode})
        c->RefusalReason = "le fichier n'est pas une vidéo DV";
    ExtraireAudio.RefusalReason = "le fichier n'a pas de son";

    // Destinations that depend on the file or the parameters.
    DecalerHoraire.OnDestination = [this](TAbstractListFichier* record, const CmdParams& params, int) {
        const auto days = params.empty() ? std::nullopt : ParseDecimal(params[0]);
        return days ? destination(record, ShiftSuffix(*days)) : std::string();
    };
    Incruster.OnDestination = [this](TAbstractListFichier* record, const CmdParams&, int) {
        if (record) {
            if (PrepareOverlay) {
                PrepareOverlay(*record);
            } else {
                const auto current = cdm_.Texts().snapshot();
                if (current->Template1.empty() && current->Template2.empty())
                    cdm_.Texts().setTemplates("%D1", "%D2");
            }
        }
        placement_ = OverlayPlacement ? OverlayPlacement() : TOverlayPlacement{};
        return destination(record, "_in.avi");
    };

    // Builds, on the worker. A destination that could not be computed builds nothing.
    const auto source = [](TAbstractListFichier* record) {
        return record ? record->FileName : std::string();
    };
    ConvertirDV1.OnBuildGraph = [this, source](TAbstractListFichier* r, const std::string& d,
                                               const CmdParams&, int) -> graph::Graph* {
        return d.empty() ? nullptr : cdm_.BuildType1Graph(source(r), d);
    };
    ConvertirDV2.OnBuildGraph = [this, source](TAbstractListFichier* r, const std::string& d,
                                               const CmdParams&, int) -> graph::Graph* {
        return d.empty() ? nullptr : cdm_.BuildType2Graph(source(r), d);
    };
    CorrigerType2.OnBuildGraph = [this, source](TAbstractListFichier* r, const std::string& d,
                                                const CmdParams&, int) -> graph::Graph* {
        return d.empty() ? nullptr : cdm_.BuildFixType2Graph(source(r), d);
    };
    RecompresserDV2.OnBuildGraph = [this, source](TAbstractListFichier* r, const std::string& d,
                                                  const CmdParams&, int) -> graph::Graph* {
        if (d.empty()) return nullptr;
        static constexpr uint32_t kRates[] = {32'000, 44'100, 48'000};
        cdm_.Recompress.Standard = Settings.StandardDV == 0 ? TVideoStandard::Pal : TVideoStandard::Ntsc;
        cdm_.Recompress.Wide = Settings.RatioDV == 1;
        cdm_.Recompress.AudioRate = kRates[std::clamp(Settings.FrequenceDV, 0, 2)];
        return cdm_.BuildRecompressGraph(source(r), d);
    };
    const auto standard = [this, source](TVideoStandard target) {
        return [this, source, target](TAbstractListFichier* r, const std::string& d, const CmdParams&,
                                      int) -> graph::Graph* {
            const TaviFichier* f = AviOf(r);
            if (d.empty() || !f) return nullptr;
            graph::Graph* g = cdm_.BuildStandardGraph(source(r), d, target, f->DVType);
            if (!g) return nullptr;
            setRates(r);
            // Both directions keep the source's recording date and time.
            cdm_.Header().RestoreHeaders = true;
            cdm_.Header().SetShift(Settings.ConfirmedShift);
            return g;
        };
    };
    ConvertirNTSC.OnBuildGraph = standard(TVideoStandard::Ntsc);
    ConvertirPal.OnBuildGraph = standard(TVideoStandard::Pal);
    const auto aspect = [this, source](bool wide) {
        return [this, source, wide](TAbstractListFichier* r, const std::string& d, const CmdParams&,
                                    int) -> graph::Graph* {
            if (d.empty()) return nullptr;
            graph::Graph* g = cdm_.BuildHeaderGraph(source(r), d);
            if (!g) return nullptr;
            Tdv_DVheader& h = cdm_.Header();
            h.SetShift(0);
            h.RestoreHeaders = false;
            h.SetAspect = true;
            h.Wide = wide;
            setRates(r);
            return g;
        };
    };
    Convertir16x9.OnBuildGraph = aspect(true);
    Convertir4x3.OnBuildGraph = aspect(false);
    Incruster.OnBuildGraph = [this, source](TAbstractListFichier* r, const std::string& d, const CmdParams&,
                                            int) -> graph::Graph* {
        const TaviFichier* f = AviOf(r);
        if (d.empty() || !f) return nullptr;
        graph::Graph* g = cdm_.BuildOverlayGraph(source(r), d, f->VideoSystem, f->DVType);
        if (!g) return nullptr;
        setRates(r);
        Tdv_Superposer& o = cdm_.Overlay();
        o.SetHorizontal(placement_.X);
        o.SetVertical(placement_.Y);
        o.SetLayout(placement_.Layout);
        o.SetFont(placement_.Font);
        // The outline the preview draws, so the copy shows what the preview showed.
        o.SetBorderSize(placement_.Border);
        o.SetShowText(true);
        return g;
    };
    DecalerHoraire.OnBuildGraph = [this, source](TAbstractListFichier* r, const std::string& d,
                                                 const CmdParams& params, int) -> graph::Graph* {
        const auto days = params.empty() ? std::nullopt : ParseDecimal(params[0]);
        if (!days || !std::isfinite(*days))
            throw CommandFailure(params.empty() ? "Aucun décalage horaire indiqué."
                                                : "Décalage horaire invalide : " + params[0] + ".");
        if (d.empty()) return nullptr;
        graph::Graph* g = cdm_.BuildHeaderGraph(source(r), d);
        if (!g) return nullptr;
        cdm_.Header().SetShift(*days);
        cdm_.Header().RestoreHeaders = false;
        setRates(r);
        return g;
    };
    IntroduireDatecode.OnBuildGraph = [this, source](TAbstractListFichier* r, const std::string& d,
                                                     const CmdParams& params, int) -> graph::Graph* {
        const auto value = params.empty() ? std::nullopt : ParseDatecodeParam(params[0]);
        if (!value)
            throw CommandFailure(params.empty() ? "Aucun datecode indiqué."
                                                : "Datecode invalide : " + params[0] + ".");
        if (d.empty()) return nullptr;
        graph::Graph* g = cdm_.BuildHeaderGraph(source(r), d);
        if (!g) return nullptr;
        Tdv_DVheader& h = cdm_.Header();
        h.SetInsertValue(*value);
        h.InsertDatecode = true;
        h.RestoreHeaders = false;
        setRates(r);
        char text[256];
        std::snprintf(text, sizeof text, "Datecode introduit par %s de %s le %s", "Velinor", "Morvane",
                      FormatDateTime("ddddd tt", DatecodeNow()).c_str());
        cdm_.WriteMediaProperty("INFO/IMRV", text);
        return g;
    };
    ExtraireAudio.OnBuildGraph = [this, source](TAbstractListFichier* r, const std::string& d,
                                                const CmdParams&, int) -> graph::Graph* {
        if (d.empty()) return nullptr;
        graph::Graph* g = cdm_.BuildAudioGraph(source(r), d);
        if (!g) return nullptr;
        const TaviFichier* f = AviOf(r);
        if (const auto rate = f ? SourceAudioRate(f->AudioText) : std::nullopt;
            rate && cdm_.Acm1()->graph() == g)
            cdm_.SetAudioOutputRate(cdm_.Acm1(), *rate);
        return g;
    };
}

void TConversions::wrapBuilds() {
    // A left-out audio stream is said in the message of the command whose file it was.
    for (tAbstractCmd* c : Commands()) {
        auto* cmd = static_cast<TGraphCmd*>(c);
        cmd->OnBuildGraph = [this, cmd, build = cmd->OnBuildGraph](TAbstractListFichier* r,
                                                                   const std::string& d, const CmdParams& p,
                                                                   int passe) {
            cdm_.OnNotice = [cmd, name = r ? r->Name : std::string()](const std::string& notice) {
                if (cmd->Engine) cmd->Engine->CommandMessage(name + " : " + notice);
            };
            cdm_.ResetGraph();
            graph::Graph* g = build(r, d, p, passe);
            // A graph the module could not build fails the file with the module's reason. A
            // file passed over has had nothing done to it, and that is never a success.
            if (!g)
                throw CommandFailure(cdm_.BuildFailure().empty() ? "Rien n'a été écrit pour ce fichier."
                                                                 : cdm_.BuildFailure());
            return g;
        };
    }
}

tAbstractCmd* TConversions::Find(const std::string& name) {
    const std::string key = LowerCase(name);
    for (tAbstractCmd* c : Commands())
        if (LowerCase(c->Name) == key) return c;
    return nullptr;
}

std::vector<tAbstractCmd*> TConversions::Commands() {
    return {&ConvertirDV1,  &ConvertirDV2,   &RecompresserDV2,    &CorrigerType2,
            &ConvertirNTSC, &ConvertirPal,   &Convertir16x9,      &Convertir4x3,
            &Incruster,     &DecalerHoraire, &IntroduireDatecode, &ExtraireAudio};
}

void ConnectConversions(TConversions& conversions, const TdmAction& dm, TOverlaySettings& overlay) {
    conversions.DestinationPath = [&dm](const std::string& source, const std::string& suffix) {
        return dm.DestinationPath(source, suffix);
    };
    conversions.PrepareOverlay = [&overlay](const TAbstractListFichier& record) {
        overlay.SetOverlayRecord(&record);
        overlay.PrepareOverlayTexts();
    };
    conversions.OverlayPlacement = [&overlay] {
        TOverlayPlacement placement;
        placement.X = overlay.IncrustX();
        placement.Y = overlay.IncrustY();
        placement.Layout = overlay.Layout();
        placement.Font = overlay.OverlayFilterFont();
        placement.Border = overlay.BorderSize();
        return placement;
    };
}

}  // namespace velinor
