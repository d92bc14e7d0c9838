// libFuzzer entry: any bytes as shader text must assemble or fail cleanly,
// and a success must be a well-formed token stream.
#include "AsmAssembler.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    for (DWORD flags : {0u, 3u})
    {
        D3DXAsm::SOutput out;
        bool ok = D3DXAsm::Assemble(reinterpret_cast<const char*>(data), size, flags, "fuzz", out);
        if (ok && (out.Code.size() < 2 || out.Code.back() != 0x0000FFFFu || !out.Errors.empty()))
            abort();
        if (!ok && (out.Errors.empty() || !out.Code.empty()))
            abort();
    }
    return 0;
}
