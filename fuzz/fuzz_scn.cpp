// Feeds arbitrary bytes to the scene file reader as a .scn file's contents.
#include <cstddef>
#include <cstdint>
#include <span>

#include "scenes/scn_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    velinor::SceneList list;
    const bool complete = velinor::ReadScnBytes(std::span<const uint8_t>(data, size), list);
    for (const auto& item : list) {
        if (item.scene->Fin < item.scene->Debut) __builtin_trap();
        (void)item.scene->SceneCaption();
    }
    (void)complete;
    return 0;
}
