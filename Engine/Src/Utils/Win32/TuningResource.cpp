// The built-in tuning file, resource "CONTROLFILE" 108 of the program.
#include "TuningControl.h"

#include <windows.h>

namespace TuningControl
{
bool CManager::LoadFromResource()
{
    HRSRC info = FindResourceA(nullptr, MAKEINTRESOURCEA(108), "CONTROLFILE");
    HGLOBAL handle = info ? LoadResource(nullptr, info) : nullptr;
    const char* bytes = handle ? static_cast<const char*>(LockResource(handle)) : nullptr;
    if (!bytes)
    {
        LoadFromText("", 0);
        return false;
    }
    const bool good = LoadFromText(bytes, SizeofResource(nullptr, info));
    FreeResource(handle);
    return good;
}
} // namespace TuningControl
