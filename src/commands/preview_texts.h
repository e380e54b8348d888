#pragma once
// What the preview frame shows, computed without a widget: the notices over the video area, the
// texts of a 40 ms tick (datecode, timecode, audio, picture, slider) and the fitting of a
// picture into a box. Pure functions; any thread.
#include <cstdint>
#include <optional>
#include <string>

#include "filters/dv_frame_info.h"

namespace velinor {

class TaviFichier;

// The notice's rich text for notice `type` (1-9): tags <br>, <b>, <i>, <SIZE n>...</size>,
// <color c>...</color>, in either case. `fileName` is the record's full path, `name` its file
// name part, `codec` its codec. Empty for any other type.
std::string PreviewNoticeText(int type, const std::string& fileName, const std::string& name,
                              const std::string& codec);
// The same markup as HTML for a rich-text box.
std::string PreviewNoticeHtml(const std::string& markup);

// The texts one tick gives the window's labels.
struct PreviewDisplayTexts {
    std::string Datecode = "-";
    std::string Timecode = "-";
    std::string Audio;
    std::string Bytes;
    std::string Picture;  // empty: the picture label keeps its text
    std::string Position;
    std::optional<int> Slider;  // 0-1000; nothing when the position could not be read
    bool operator==(const PreviewDisplayTexts&) const = default;
};

// What a tick needs of the active record.
struct PreviewTickRecord {
    int32_t DVType = 0;
    std::string ImageText;
    std::string AspectText;
    double Fps = 0;
};
PreviewTickRecord TickRecordOf(const TaviFichier& record);

// One tick: `frame` is the datecode filter's latest frame record, nothing while the filter is
// stopped. `position` is the preview's current position (nothing when it cannot be read) and
// [first, last] the preview range, in the position's unit.
PreviewDisplayTexts PreviewTickTexts(const PreviewTickRecord& record,
                                     const std::optional<TDVFrameInfo>& frame,
                                     std::optional<int64_t> position, int64_t first, int64_t last);

// Audio text of a type-1 frame: "48000Hz 16Bits stéréo", "N/A" without channels.
std::string PreviewAudioText(const TDVFrameInfo& frame);
// "PCM 192000 octets/s", empty when there is not a byte per second.
std::string PreviewBytesText(const TDVFrameInfo& frame);

// A rectangle in pixels: left, top, width, height.
struct PreviewRect {
    int Left = 0, Top = 0, Width = 0, Height = 0;
    int Right() const { return Left + Width; }
    int Bottom() const { return Top + Height; }
    bool operator==(const PreviewRect&) const = default;
};
// Picture w x h fitted into the box (left, top, right, bottom), centred, the picture's shape kept;
// integer divisions truncate toward zero.
PreviewRect FitPicture(int w, int h, int left, int top, int right, int bottom);

// The layout of the preview frame for a frame of `frameWidth` x `frameHeight` showing a picture
// of `pictureWidth` x `pictureHeight` (0: the notice box's size stands in for it).
struct PreviewLayout {
    PreviewRect Video;      // vw and Panel1
    PreviewRect Notice;     // the notice box, centred in the box
    PreviewRect TimeStamp;  // labTimeStamp; its width is the text's
    int TimeStampFontSize = 10;
    PreviewRect Slider;  // tb; its height is the slider's own
    PreviewRect IncrustHorz, IncrustVert;
    int CornerLeft = 0, CornerTop = 0;  // Shape1
};
// `timeStampWidth` is the width of the stamp's text; `fontPixelHeight` the height in pixels of
// the stamp's font at TimeStampFontSize, which the caller measures (0: use the point size).
PreviewLayout LayOutPreview(int frameWidth, int frameHeight, int pictureWidth, int pictureHeight,
                            int noticeWidth, int noticeHeight, int timeStampWidth, int fontPixelHeight,
                            int sliderHeight);
// The time stamp's font size in points for a frame this wide.
int TimeStampFontSize(int frameWidth);

// "%d:%.2d:%.2d:%.3d" of a position in 100 ns units when fps is 0, else "%d:%.2d:%.2d:%.2d" of a
// frame number.
std::string PreviewPositionText(int64_t position, double fps);

// The step a navigation action makes with the record's frame rate `fps`: frames when fps is not
// 0, else 100 ns units. `unit` is 0 for a frame, 1 for a second, 2 for a minute.
int64_t PreviewStep(double fps, int unit);

}  // namespace velinor
