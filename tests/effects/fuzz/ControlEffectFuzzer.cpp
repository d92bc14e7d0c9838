// libFuzzer target for the fixed-function technique language: the input is
// parsed, every technique validated and copied, and its variables set.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "ControlEffect.h"
#include "Log.h"
#include "NullEffectDevice.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The log keeps its whole text; one input's text is all we want.
    g_Log.ClearText();
    NullEffectDevice device;
    device.refuse = size > 0 && (data[0] & 1);
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    std::vector<ControlTechnique> techniques;
    ControlTechniqueParser(in, techniques);
    ControlTechnique chosen = ChooseControlTechnique(techniques, device);
    for (size_t v = 0; v <= chosen.variables.size(); ++v)
    {
        chosen.SetValue(v, 7);
        chosen.SetTexture(v, nullptr);
    }
    for (const ControlPass& pass : chosen.passes)
        ApplyControlPass(pass, device);
    return 0;
}
