// libFuzzer target for the crew-script reader: the input is read as
// "Animation.txt" for two objects, and each resulting script is described
// and stepped, following every goto and chance that the reader built.
#include <cstddef>
#include <cstdint>

#include "AnimationCommands.h"
#include "AnimationScriptParser.h"
#include "Log.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The log keeps its whole text; one input's text is all we want.
    g_Log.ClearText();
    ObjectAnimationScript bip, other;
    ObjectsAnimationScriptParser::ObjectMap objects{{"Bip01", &bip}, {"Other", &other}};
    const char* text = reinterpret_cast<const char*>(data);
    ObjectsAnimationScriptParser::Parse("Animation.txt", text, text + size, objects);
    for (ObjectAnimationScript* script : {&bip, &other})
    {
        for (const auto& command : script->GetCommands())
            command->Describe();
        script->Start();
        for (int i = 0; i < 64; ++i)
            script->Step();
    }
    return 0;
}
