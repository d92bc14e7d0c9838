// libFuzzer target for the tuning-file reader and writer: the input is read
// as the built-in file, then line by line as an external file in the mode
// that its first byte picks, and the tree is written out again. Its first
// bytes then drive the console over the built-in tree as key presses, with
// the layout drawn after each.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "TuningControl.h"
#include "Log.h"

namespace
{
int g_Modifiers = 0; // bit 0 Control, bit 1 Shift

short FuzzKeyState(int vk)
{
    return ((vk == 17 && (g_Modifiers & 1)) || (vk == 16 && (g_Modifiers & 2))) ? short(0x8000) : short(0);
}

class NullCanvas : public TuningControl::CConsoleCanvas
{
public:
    int GetLineHeight() override { return 12; }
    int AddText(const std::string& text, float, float, const float*, float) override { return int(text.size()) * 7; }
    void AddRect(int, int, int, int, const float*) override {}
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The log keeps its whole text; one input's text is all we want.
    g_Log.ClearText();
    static FILE* sink = fopen("/dev/null", "wb");
    const char* text = reinterpret_cast<const char*>(data);

    TuningControl::CManager builtIn;
    builtIn.LoadFromText(text, size);
    TuningControl::g_pGetKeyState = FuzzKeyState;
    NullCanvas canvas;
    const TuningControl::CDrawParameters params;
    for (size_t i = 0; i < size && i < 256; ++i)
    {
        g_Modifiers = data[i] % 11 == 0 ? 1 : data[i] % 13 == 0 ? 2 : 0;
        builtIn.OnKey(data[i]);
        builtIn.RenderTo(canvas, params);
    }

    TuningControl::CManager external;
    TuningControl::CStructLoader loader;
    loader.m_pRoot = &external.GetRoot();
    const int mode = size ? data[0] % 3 : 2;
    size_t start = 0;
    for (size_t i = 0; i <= size; ++i)
        if (i == size || text[i] == '\n')
        {
            external.ParseLine(std::string(text + start, i - start + (i < size ? 1 : 0)), loader, mode);
            start = i + 1;
        }
    if (sink)
    {
        external.GetRoot().PrintValues(sink, std::string());
        external.GetRoot().PrintExpanded(sink, std::string());
    }
    return 0;
}
