#include "filelist/base_frame.h"

#include <cstdio>

#include "actions/value_text.h"

namespace velinor {

std::string GeneralFloatText(double value) {
    std::string out = text::FormatGeneral(value);
    for (auto& c : out)
        if (c == '.') c = ',';
    return out;
}

std::string GroupedNumberText(uint64_t value) {
    const std::string digits = std::to_string(value);
    std::string out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += "\u00A0";
        out += digits[i];
    }
    return out;
}

void TBaseFrame::ShowFile(const TaviFichier* record) {
    if (!record) return;
    Current = record;
    const auto format = FormatAfficherDatecode();
    TBaseFrameTexts t;
    t.LabNom = record->Name;
    t.labDatecode = record->DatecodeValue > 0 ? format->format(record->DatecodeValue) : record->DatecodeText;
    t.labDecalageVisible = record->Decalage != 0;
    if (t.labDecalageVisible)
        t.labDecalage = record->Decalage > 0 ? "+" + record->DecalageText : record->DecalageText;
    t.labscnVisible = record->HasScn;
    t.labsrtVisible = record->HasSrt;
    t.LabTimecode = record->TimecodeText;
    t.LabCodec = record->Codec;
    t.LabImage = record->ImageText + record->AspectText;
    t.LabDuree = record->DurationText;
    if (!record->AudioDurationText.empty() && record->AudioDurationText != record->DurationText)
        t.LabDuree += " (" + record->AudioDurationText + ")";
    if (record->Fps > 0) t.labFPS = GeneralFloatText(record->Fps);
    t.LabAudio1 = record->AudioText;
    t.LabAudio2 = record->AudioFormatText;
    if (record->IsDV) {
        if (record->DVType == 1)
            t.LabCodec += " (type 1)";
        else if (record->DVType == 2)
            t.LabCodec += record->Iavs ? " (type 2 iavs)" : " (type 2)";
        else
            t.LabCodec += " (atypique)";
    }
    t.Hint = "Fichier  : " + record->FileName + "\r\nTaille   : " + GroupedNumberText(record->Size()) +
             "\r\nModifié  : " + format->format(record->Modified);
    Texts = std::move(t);
}

std::vector<std::string> CopyMenuTexts(const CopyMenuLabels& labels, const TaviFichier* record) {
    std::vector<std::string> texts = {labels.datecode,
                                      labels.timecode,
                                      labels.codec,
                                      labels.image,
                                      labels.duree,
                                      labels.fps,
                                      labels.audio1 + "\r" + labels.audio2};
    if (!record) {
        texts.resize(11);
        return texts;
    }
    // The folders of a path end at its last "/"; a ":" is part of a name here.
    const std::string& path = record->FileName;
    const size_t slash = path.rfind('/');
    texts.push_back(LowerCase(path));
    texts.push_back(LowerCase(slash == std::string::npos ? path : path.substr(slash + 1)));
    texts.push_back(FormatAfficherDatecode()->format(record->Modified));
    texts.push_back(GroupedNumberText(record->Size()));
    return texts;
}

void TBaseFrame::ClearFile() {
    Texts = TBaseFrameTexts{};
    Current = nullptr;
    if (OnClear) OnClear();
}

}  // namespace velinor
