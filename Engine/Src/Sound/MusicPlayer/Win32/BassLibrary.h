#pragma once
// The optional BASS audio library: "bass.dll" and its plug-ins are loaded by
// name at run time; nothing of it is linked or shipped. Its entry points are
// process-wide pointers, set while a CBassLibrary is loaded and null
// otherwise.
#include <windows.h>

#include <cstdint>

namespace Bass
{
typedef DWORD HSTREAM;
typedef uint64_t QWORD;

const DWORD kConfigStreamVolume = 5; // BASS_CONFIG_GVOL_STREAM, 0..10000
const DWORD kSampleLoop = 4;         // BASS_SAMPLE_LOOP
const DWORD kActivePlaying = 1;      // BASS_ACTIVE_PLAYING
const DWORD kPosByte = 0;            // BASS_POS_BYTE
const QWORD kPositionError = ~QWORD(0);

struct EntryPoints
{
    BOOL(WINAPI* Init)(int device, DWORD frequency, DWORD flags, HWND window, const void* classId);
    BOOL(WINAPI* Free)();
    BOOL(WINAPI* SetConfig)(DWORD option, DWORD value);
    DWORD(WINAPI* GetConfig)(DWORD option);
    DWORD(WINAPI* GetVersion)();
    HSTREAM(WINAPI* StreamCreateFile)(BOOL memory, const void* file, QWORD offset, QWORD length, DWORD flags);
    BOOL(WINAPI* StreamFree)(HSTREAM stream);
    BOOL(WINAPI* ChannelPlay)(DWORD channel, BOOL restart);
    BOOL(WINAPI* ChannelStop)(DWORD channel);
    int(WINAPI* ErrorGetCode)(); // optional
    DWORD(WINAPI* ChannelIsActive)(DWORD channel);
    DWORD(WINAPI* ChannelFlags)(DWORD channel, DWORD flags, DWORD mask);
    DWORD(WINAPI* PluginLoad)(const char* file, DWORD flags); // optional
    QWORD(WINAPI* ChannelGetPosition)(DWORD channel, DWORD mode);
    double(WINAPI* ChannelBytes2Seconds)(DWORD channel, QWORD position);
    QWORD(WINAPI* ChannelGetLength)(DWORD channel, DWORD mode); // optional: a track's length
};

extern EntryPoints g_Entry;

// The library's last error code, or -1 (its "unknown" code) when it has no
// BASS_ErrorGetCode.
int ErrorCode();

// Loads "bass.dll" on construction and unloads it on destruction. Usable()
// when every required entry point exists and BASS_Init succeeded; every
// outcome is logged once.
class CLibrary
{
public:
    CLibrary();
    ~CLibrary();
    CLibrary(const CLibrary&) = delete;
    CLibrary& operator=(const CLibrary&) = delete;

    bool Usable() const { return m_bInitialised; }

private:
    HMODULE m_hModule = nullptr;
    bool m_bInitialised = false;
};
} // namespace Bass
