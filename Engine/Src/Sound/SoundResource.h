#pragma once
// The program's numbered RCDATA resources as bytes (none natively).
#include "WinTypes.h"

#include <cstdint>

struct SoundResource
{
    const void* bytes = nullptr;
    uint32_t size = 0;
    void* handle = nullptr; // non-null when found
};

// False when the program has no RCDATA resource with that id.
bool FindSoundResource(WORD id, SoundResource* resource);
void FreeSoundResource(SoundResource* resource);
