// The preview frame's texts and geometry, without a widget.
#include "commands/preview_texts.h"

#include <gtest/gtest.h>

namespace velinor {
namespace {

TEST(PreviewTextsTest, PicturesFitTheirBoxCentred) {
    struct Case {
        int w, h;
        PreviewRect fit;
    };
    const Case cases[] = {{720, 576, {50, 0, 500, 400}},   // narrower: full height
                          {1024, 576, {0, 31, 600, 337}},  // wider: full width
                          {600, 400, {0, 0, 600, 400}}};   // same shape: the box
    for (const Case& c : cases) EXPECT_EQ(FitPicture(c.w, c.h, 0, 0, 600, 400), c.fit) << c.w << "x" << c.h;
    EXPECT_EQ(TimeStampFontSize(700), 14);
    EXPECT_EQ(TimeStampFontSize(500), 10);

    const PreviewLayout l = LayOutPreview(650, 500, 720, 576, 300, 200, 80, 20, 22);
    EXPECT_EQ(l.Video.Top, 25);
    EXPECT_EQ(l.Video.Bottom(), 500 - 24 - 4);  // the time stamp's 4 + 20 pixels leave 25 behind
    EXPECT_EQ(l.TimeStamp.Top, l.Video.Bottom() + 4);
    EXPECT_EQ(l.Slider.Top, l.Video.Top - 30);
    EXPECT_EQ(l.Slider.Width, l.Video.Width + 16);
    EXPECT_EQ(l.CornerLeft, l.Video.Right() - 4);
}

TEST(PreviewTextsTest, AudioTextsOfATypeOneFrame) {
    struct Case {
        int channels;
        const char* audio;
        const char* bytes;
    };
    const Case cases[] = {{2, "48000Hz 16Bits stéréo", "PCM 192000 octets/s"},
                          {4, "48000Hz 16Bits stéréo(2x)", "PCM 384000 octets/s"},
                          {1, "48000Hz 16Bits mono", "PCM 96000 octets/s"},
                          {0, "N/A", ""}};
    for (const Case& c : cases) {
        TDVFrameInfo frame;
        frame.AudioFrequency = 48'000;
        frame.AudioBits = 16;
        frame.AudioChannels = c.channels;
        const PreviewDisplayTexts t = PreviewTickTexts({1, "720 x 576 (PAL", "4x3", 25}, frame, 50, 0, 100);
        EXPECT_EQ(t.Audio, c.audio);
        EXPECT_EQ(t.Bytes, c.bytes);
        EXPECT_EQ(t.Datecode, "N/A");
        EXPECT_EQ(t.Timecode, "N/A");
        EXPECT_EQ(t.Picture, "720 x 576 (PAL 4x3)");
        EXPECT_EQ(t.Slider, 500);
    }
    // A stopped filter shows dashes; an empty range leaves the slider alone.
    const PreviewDisplayTexts stopped = PreviewTickTexts({1, "", "", 25}, std::nullopt, 5, 0, 0);
    EXPECT_EQ(stopped.Datecode, "-");
    EXPECT_EQ(stopped.Timecode, "-");
    EXPECT_FALSE(stopped.Slider);
}

TEST(PreviewTextsTest, StepsAndPositions) {
    EXPECT_EQ(PreviewStep(0, 1), 10'000'000);
    EXPECT_EQ(PreviewStep(0, 0), 400'000);
    EXPECT_EQ(PreviewStep(0, 2), 600'000'000);
    EXPECT_EQ(PreviewStep(29.97, 1), 30);
    EXPECT_EQ(PreviewStep(29.97, 2), 1798);
    EXPECT_EQ(PreviewStep(25, 0), 1);
    EXPECT_EQ(PreviewPositionText(37'235'000'000, 0), "1:02:03:500");
    EXPECT_EQ(PreviewPositionText(93, 25), "0:00:03:18");
}

TEST(PreviewTextsTest, NoticesInTheirRichText) {
    EXPECT_EQ(
        PreviewNoticeText(6, "/V/A.avi", "A.avi", "cvid"),
        "<br><br><br><b><i><SIZE 14>Vidéo non disponible</size></i></b><br><br>Aucun filtre directshow "
        "présent sur votre système ne sait rendre le<br><B><COLOR BLUE>codec cvid</COLOR></B><br><br><i>On "
        "peut cependant écouter l'Audio</i>");
    EXPECT_NE(
        PreviewNoticeText(2, "/V/A.avi", "A.avi", "CDVC").find("corriger le codec \"CDVC\" en \"dvsd\"."),
        std::string::npos);
    EXPECT_EQ(PreviewNoticeText(0, "/V/A.avi", "A.avi", ""), "");
    const std::string html = PreviewNoticeHtml("<SIZE 14>x</size><COLOR BLUE>y</COLOR>");
    EXPECT_NE(html.find("<span style=\"font-size:14pt\">x</span>"), std::string::npos);
    EXPECT_NE(html.find("<span style=\"color:blue\">y</span>"), std::string::npos);
}

}  // namespace
}  // namespace velinor
