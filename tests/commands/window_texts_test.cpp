// The window's texts that need no widget.
#include "commands/window_texts.h"

#include <gtest/gtest.h>

#include <tuple>

#include "commands/preview_texts.h"
#include "filelist/list_fichier.h"
#include "media/fpsunit.h"

namespace velinor {
namespace {

TEST(WindowTextsTest, PositionsAndCounts) {
    const std::tuple<int64_t, double, std::string> positions[] = {{37'235'000'000, 0, "1:02:03:500"},
                                                                  {93, 25, "0:00:03:18"},
                                                                  {0, 0, "0:00:00:000"},
                                                                  {90'000, 25, "1:00:00:00"},
                                                                  {299, 29.97, "0:00:09:29"}};
    for (const auto& [p, fps, text] : positions) EXPECT_EQ(PreviewPositionText(p, fps), text) << p;
    const std::tuple<int, int, std::string> counts[] = {{0, 0, "0 fichier sur 0 - Tri alphabétique"},
                                                        {1, 5, "1 fichier sur 5 - Tri alphabétique"},
                                                        {2, 5, "2 fichiers sur 5 - Tri alphabétique"}};
    for (const auto& [selected, count, text] : counts)
        EXPECT_EQ(SelectionCountText(selected, count, kSortAlpha), text);
}

// Frames when every video has the first known rate (unknown rates before it do not count),
// milliseconds as soon as one differs, a later unknown rate included.
TEST(WindowTextsTest, TotalDurationOfTheListedVideos) {
    constexpr int64_t s = kUnitsPerSecond;
    const auto box = [](const std::string& selected, const std::string& total) {
        return "Durée des vidéos sélectionnées  = " + selected +
               "\r\nDurée totale des vidéos listées = " + total;
    };
    const std::pair<std::vector<ListedDuration>, std::string> cases[] = {
        {{{25, 4 * s + 400'000, true}, {25, 2 * s, false}}, box("4s 01fr", "6s 01fr")},
        {{{0, 3 * s, true}, {25, 61 * s, true}}, box("1mn 04s 00fr", "1mn 04s 00fr")},
        {{{25, 4 * s, true}, {30000.0 / 1001, s / 2, false}}, box("4s 000ms", "4s 500ms")},
        {{{25, 4 * s, false}, {0, s / 4, true}}, box("250millièmes", "4s 250ms")},
        {{}, box("0millièmes", "0millièmes")},
    };
    for (const auto& [videos, text] : cases) EXPECT_EQ(TotalDurationMessage(videos), text);
}

TEST(WindowTextsTest, ErrorLinesAndPartialFiles) {
    const std::pair<TErrorType, std::string> kinds[] = {
        {etNoError, "Échec\n"},
        {etError, "Échec\nLe fichier courant a été interrompu."},
        {etAllError, "Échec\nLa commande va être interrompue."}};
    for (const auto& [kind, text] : kinds) EXPECT_EQ(CommandErrorText("Échec", kind), text);

    constexpr int64_t s = kUnitsPerSecond;
    const std::tuple<int64_t, int64_t, std::string> partial[] = {
        {15 * s, 60 * s, "il contient 15s 000ms des 1mn 00s 000ms de la source (25 %)."},
        {-1, 60 * s, "il contient 0millièmes des 1mn 00s 000ms de la source (0 %)."},
        {90 * s, 60 * s, "il contient 1mn 00s 000ms des 1mn 00s 000ms de la source (100 %)."},
        {0, 0, "il contient 0millièmes des 0millièmes de la source (0 %)."}};
    for (const auto& [written, total, tail] : partial)
        EXPECT_EQ(PartialFileMessage("/v/a_type1.avi", written, total),
                  "Conversion interrompue : a_type1.avi est un fichier partiel, " + tail)
            << written;
}

}  // namespace
}  // namespace velinor
