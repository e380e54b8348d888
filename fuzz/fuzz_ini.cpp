// Reads arbitrary bytes as a portable settings file (and as the per-user settings file), walks
// every key and value, and checks that what is written back reads back to the same lines.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "actions/preferences.h"

namespace {

void WalkKeys(velinor::TPreferencesMan& store) {
    std::vector<std::string> keys;
    store.GetKeyNames(keys);
    if (keys.size() > 64) keys.resize(64);
    for (const auto& key : keys) {
        const std::string parent = store.CurrentKey();
        if (!store.OpenKey(key, false)) continue;
        std::vector<std::string> names;
        store.GetValueNames(names);
        for (const auto& name : names) {
            std::string s;
            int32_t i = 0;
            bool b = false;
            double d = 0;
            store.ReadString(name, s);
            store.ReadInteger(name, i);
            store.ReadBool(name, b);
            store.ReadFloat(name, d);
        }
        while (store.CurrentKey() != parent && !store.CurrentKey().empty()) store.CloseKey();
        if (store.CurrentKey() != parent) store.OpenKey(parent, false);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    velinor::TIniPreferencesMan ini("/nonexistent/fuzz/Velinor.ini", false);
    ini.Parse(bytes);
    WalkKeys(ini);
    ini.OpenKey("UIForm", true);
    ini.WriteInteger("FormatDuree", 1);
    ini.WriteString("Titre", "l'été");
    const std::vector<std::string> lines = ini.Lines();
    velinor::TIniPreferencesMan back("/nonexistent/fuzz/Velinor.ini", false);
    back.Parse(ini.Serialize());
    if (back.Lines() != lines) __builtin_trap();

    velinor::TRegPreferencesMan reg("/nonexistent/fuzz/Velinor.conf", false);
    reg.Parse(bytes);
    WalkKeys(reg);
    reg.OpenKey("UIForm", true);
    reg.WriteFloat("Ratio", 0.1);
    const std::string once = reg.Serialize();
    velinor::TRegPreferencesMan again("/nonexistent/fuzz/Velinor.conf", false);
    again.Parse(once);
    if (again.Serialize() != once || again.DamagedEntries() != 0) __builtin_trap();
    return 0;
}
