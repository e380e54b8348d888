#include "ui/dialogs/codec_dialogs.h"

#include <gtest/gtest.h>
#include <QLineEdit>
#include <memory>

#include "filelist/avi_fichier.h"
#include "support/temp_dir.h"
#include "ui/ui_harness.h"

namespace velinor {
namespace {

// A record of a file that does not exist, with the fields the dialogs read set by hand.
std::unique_ptr<TaviFichier> RecordWith(const std::string& codec, double fps) {
    auto record = std::make_unique<TaviFichier>("/nonexistent/clip.avi");
    record->Codec = codec;
    record->Fps = fps;
    return record;
}

TEST(CodecFormTest, FirstUsePreselectsTheRecordsCodecLaterUsesKeepTheChoice) {
    test::EnsureApplication();
    struct Case {
        std::string codec;
        int choice;
        std::string value;
    };
    const Case cases[] = {{"dvsd", 0, "dvsd"}, {"DVSD", 0, "dvsd"}, {"dsvd", 1, "dsvd"},
                          {"cdvc", 2, "CDVC"}, {"dv25", 3, "dv25"}, {"ab", 3, "ab  "}};
    for (const Case& c : cases) {
        TCodecForm form;
        const auto record = RecordWith(c.codec, 25);
        form.Prepare(record.get());
        EXPECT_EQ(form.Choice(), c.choice) << c.codec;
        EXPECT_EQ(form.Edit()->isEnabled(), c.choice == 3) << c.codec;
        EXPECT_EQ(form.Value(), c.value) << c.codec;
        // The dialog is shown as it was left the next time.
        const auto other = RecordWith("dvsd", 25);
        form.Prepare(other.get());
        EXPECT_EQ(form.Choice(), c.choice) << c.codec;
    }
}

TEST(CodecFormTest, CustomTextIsPaddedAndCutToFourBytes) {
    test::EnsureApplication();
    const std::pair<QString, std::string> cases[] = {
        {"", "    "}, {"x", "x   "}, {"dv25", "dv25"}, {"é1", "é1 "}};
    TCodecForm form;
    form.SetChoice(3);
    for (const auto& [text, value] : cases) {
        form.Edit()->setText(text);
        EXPECT_EQ(form.Value(), value) << text.toStdString();
    }
}

TEST(FrequenceFormTest, PreselectsTheRecordsRate) {
    test::EnsureApplication();
    struct Case {
        double fps;
        int choice;
        std::string edit;
    };
    const Case cases[] = {
        {25.0, 0, ""}, {30000.0 / 1001, 1, ""}, {29.97, 1, ""}, {30.0, 2, "30"}, {23.976, 2, "23,976"}};
    for (const Case& c : cases) {
        TFrequenceForm form;
        const auto record = RecordWith("dvsd", c.fps);
        form.Prepare(record.get());
        EXPECT_EQ(form.Choice(), c.choice) << c.fps;
        EXPECT_EQ(form.Edit()->text().toStdString(), c.edit) << c.fps;
        EXPECT_EQ(form.Edit()->isEnabled(), c.choice == 2) << c.fps;
    }
}

TEST(FrequenceFormTest, OnlyAPositiveFiniteRateIsAccepted) {
    test::EnsureApplication();
    struct Case {
        QString text;
        bool accepted;
        std::string value;
    };
    const Case cases[] = {
        {"23,976", true, "23,976"}, {"50.0", true, "50"}, {" 12 ", true, "12"}, {"", false, ""},
        {"abc", false, ""},         {"0", false, ""},     {"-25", false, ""},   {"inf", false, ""},
        {"nan", false, ""}};
    TFrequenceForm form;
    form.SetChoice(2);
    for (const Case& c : cases) {
        form.Edit()->setText(c.text);
        form.Validate();
        EXPECT_EQ(form.Accepted, c.accepted) << c.text.toStdString();
        EXPECT_EQ(form.ValueText(), c.value) << c.text.toStdString();
    }
    form.SetChoice(1);
    form.Validate();
    EXPECT_TRUE(form.Accepted);
    EXPECT_EQ(form.Value(), 29.97);
}

}  // namespace
}  // namespace velinor
