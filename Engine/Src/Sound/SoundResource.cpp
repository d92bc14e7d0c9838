#include "SoundResource.h"

bool FindSoundResource(WORD id, SoundResource* resource)
{
    *resource = SoundResource();
#ifdef _WIN32
    HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(10) /* RT_RCDATA */);
    if (!found)
        return false;
    HGLOBAL loaded = LoadResource(nullptr, found);
    if (!loaded)
        return false;
    resource->handle = loaded;
    resource->size = SizeofResource(nullptr, found);
    resource->bytes = LockResource(loaded);
    return true;
#else
    (void)id;
    return false;
#endif
}

void FreeSoundResource(SoundResource* resource)
{
#ifdef _WIN32
    if (resource->handle)
        FreeResource(static_cast<HGLOBAL>(resource->handle));
#endif
    *resource = SoundResource();
}
