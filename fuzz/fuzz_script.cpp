// Fuzzes the script compiler with the declarations every script gets: any text must compile or be
// refused with a message, never crash, hang or overflow the stack.
#include <cstddef>
#include <cstdint>
#include <string>

#include "actions/script/mv_script.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 64 * 1024) return 0;
    static velinor::script::ScriptDeclarations* declarations = [] {
        static velinor::TMvScript builder;
        builder.RegisterHelpers();
        return &builder.Declarations();
    }();
    velinor::script::ScriptEngine engine;
    engine.compile(std::string(reinterpret_cast<const char*>(data), size), *declarations);
    return 0;
}
