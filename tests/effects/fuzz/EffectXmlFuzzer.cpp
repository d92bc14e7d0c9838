// libFuzzer target for the XML effect reader: the input is read as an
// effect file; every pass of every technique is then applied and the
// effect copied.
#include <cstddef>
#include <cstdint>
#include <string>

#include "EffectXmlLoader.h"
#include "Log.h"
#include "NullEffectDevice.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The log keeps its whole text; one input's text is all we want.
    g_Log.ClearText();
    NullEffectDevice device;
    device.refuse = size > 0 && (data[0] & 1);
    EffectXmlLoader loader(&device);
    Effect effect;
    loader.Parse(std::string(reinterpret_cast<const char*>(data), size), &effect);
    Effect copy = effect;
    for (int t = 0; t < copy.GetTechniqueCount(); ++t)
    {
        EffectTechnique& technique = *copy.GetTechnique(t);
        for (int p = -1; p <= technique.GetPassCount(); ++p)
        {
            technique.ApplyPass(p, device);
            technique.PassUsesTangent(p);
        }
    }
    return 0;
}
