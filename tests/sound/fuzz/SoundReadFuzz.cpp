// The Ogg Vorbis reader over bytes in memory: open, read everything in
// uneven blocks, rewind, read a little again. ASan guards the bytes.
#include "OggSoundRead.h"

#include <cstdint>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // An exact copy, so that any read behind the input is caught.
    std::vector<uint8_t> bytes(data, data + size);
    COggSoundRead reader;
    if (reader.OpenMemory(bytes.data(), static_cast<uint32_t>(bytes.size())) != S_OK)
        return 0;
    std::vector<BYTE> buffer(5000);
    uint32_t total = 0;
    for (int i = 0; i < 4000; ++i)
    {
        uint32_t got = 0;
        const uint32_t want = 1 + (i * 977) % 5000;
        if (reader.Read(want, buffer.data(), &got) != S_OK || got == 0)
            break;
        if (got > want)
            __builtin_trap();
        total += got;
    }
    reader.GetRemaining();
    reader.GetPosition();
    reader.GetLength();
    if (reader.Reset() == S_OK)
    {
        uint32_t got = 0;
        reader.Read(4096, buffer.data(), &got);
    }
    reader.Close();
    return 0;
}
