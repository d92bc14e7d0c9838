// libFuzzer target for meta-effect text: the <lua> blocks are expanded with
// the program's script functions (print, PrintToLog, require, Variable) and
// the result read as an effect. Scripts must end within the environment's
// limits, whatever they do.
#include <cstddef>
#include <cstdint>
#include <string>

#include "Effect.h"
#include "Log.h"
#include "LuaMeta.h"
#include "MemoryStorage.h"
#include "MetaEffectLibrary.h"

namespace
{
MetaEffectLibrary& Library()
{
    static MemoryStorage storage;
    static MetaEffectLibrary library(&storage);
    if (storage.files.empty())
    {
        storage.files["TWICE.LUA"] = "function Twice(x) return x .. x end";
        storage.files["COUNTER.LUA"] = "runs = (runs or 0) + 1";
    }
    return library;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    Effect effect;
    effect.GetMetaText().SetEnvironment(&Library().GetEnvironment());
    effect.SetFileName("FUZZ.XML");
    if (effect.LoadMeta(text))
    {
        const int32_t zero = 0, two = 2;
        LuaVariableMap variables;
        const LuaVariableMap values = {{"DiffuseTexCoordIndex", &zero}, {"BumpTexCoordIndex", &two},
                                       {"SpecularPow", &two}};
        effect.ExpandAndCompileMeta(variables, values);
    }
    g_Log.ClearText();
    return 0;
}
