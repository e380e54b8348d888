#pragma once
// The texts and colours the main window shows that need no widget: the preview position, the
// count under the list, the total duration box, the error line of each kind, the partial file
// note, and the status panel's colours. Free of Qt, so velinor-cli and the core tests reach them.
#include <cstdint>
#include <string>
#include <vector>

#include "commands/command.h"

namespace velinor {

struct TSortIndex;
class TaviFichier;

// The status panel's states and their colours.
enum class StatusKind { Ready, Opening, Command };
struct StatusColour {
    int red, green, blue;  // -1: the palette's button face
};
StatusColour StatusColourOf(StatusKind kind);

// The text under the list: "2 fichiers sur 5 - Tri alphabétique".
std::string SelectionCountText(int selected, int count, const TSortIndex& order);

// One listed video for the total duration box: its frame rate (0 unknown), duration (100 ns)
// and whether it is selected.
struct ListedDuration {
    double fps = 0;
    int64_t duration = 0;
    bool selected = false;
};
// The total duration box's text: durations in frames when every video has the first known
// rate, in milliseconds otherwise.
std::string TotalDurationMessage(const std::vector<ListedDuration>& videos);

// The error box's text: the engine's text, a line break, and the line of the error's kind
// (nothing for a plain error).
std::string CommandErrorText(const std::string& text, TErrorType kind);

// What the status line says of a conversion stopped before its end: the file is kept, partial,
// and holds `written` of the source's `total` (both 100 ns units).
std::string PartialFileMessage(const std::string& path, int64_t written, int64_t total);

}  // namespace velinor
