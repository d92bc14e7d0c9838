// libFuzzer target for the tuning-file reader and writer: the input is read
// as the built-in file, then line by line as an external file in the mode
// that its first byte picks, and the tree is written out again.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "TuningControl.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static FILE* sink = fopen("/dev/null", "wb");
    const char* text = reinterpret_cast<const char*>(data);

    TuningControl::CManager builtIn;
    builtIn.LoadFromText(text, size);

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
