// A stand-in "bass.dll" for the music player's tests. It exports the entry
// points that the player loads by name and writes one line per call to the
// file named by TARNHOLM_BASS_STUB_LOG. Streams open for files that exist
// (unless their name holds "refuse") and for any memory block; a stream
// "plays" for kPlayMs after BASS_ChannelPlay unless it loops.
//
// Variants: BASS_STUB_NO_OPTIONAL leaves out BASS_ErrorGetCode,
// BASS_PluginLoad and BASS_ChannelGetLength; BASS_STUB_INIT_FAILS makes
// BASS_Init fail.
#include <windows.h>

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

#define STUB_EXPORT extern "C" __declspec(dllexport)

namespace
{
typedef uint64_t QWORD;
const DWORD kPlayMs = 400;
const double kBytesPerSecond = 176400.0;

struct Stream
{
    bool playing = false;
    bool loop = false;
    DWORD startMs = 0;
};
std::map<DWORD, Stream> g_Streams;
DWORD g_NextHandle = 0x100;
int g_Error = 0;
DWORD g_StreamVolume = 10000;

void Record(const char* format, ...)
{
    // The test names the file after the process started, so it is read from
    // the process environment, not from the C runtime's copy.
    char path[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableA("TARNHOLM_BASS_STUB_LOG", path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return;
    FILE* file = fopen(path, "a");
    if (!file)
        return;
    va_list args;
    va_start(args, format);
    vfprintf(file, format, args);
    va_end(args);
    fputc('\n', file);
    fclose(file);
}

bool Active(const Stream& s)
{
    return s.playing && (s.loop || GetTickCount() - s.startMs < kPlayMs);
}

Stream* Find(DWORD handle)
{
    auto it = g_Streams.find(handle);
    if (it == g_Streams.end())
    {
        g_Error = 5; // BASS_ERROR_HANDLE
        return nullptr;
    }
    return &it->second;
}
} // namespace

STUB_EXPORT BOOL WINAPI BASS_Init(int device, DWORD frequency, DWORD flags, HWND window, const void* classId)
{
    Record("BASS_Init %d %lu %lu %llx %llx", device, (unsigned long)frequency, (unsigned long)flags,
           (unsigned long long)(uintptr_t)window, (unsigned long long)(uintptr_t)classId);
#ifdef BASS_STUB_INIT_FAILS
    g_Error = 23; // BASS_ERROR_DEVICE
    return FALSE;
#else
    return TRUE;
#endif
}

STUB_EXPORT BOOL WINAPI BASS_Free()
{
    Record("BASS_Free");
    g_Streams.clear();
    return TRUE;
}

STUB_EXPORT BOOL WINAPI BASS_SetConfig(DWORD option, DWORD value)
{
    Record("BASS_SetConfig %lu %lu", (unsigned long)option, (unsigned long)value);
    if (option == 5)
        g_StreamVolume = value;
    return TRUE;
}

STUB_EXPORT DWORD WINAPI BASS_GetConfig(DWORD option)
{
    Record("BASS_GetConfig %lu", (unsigned long)option);
    return option == 5 ? g_StreamVolume : 0;
}

STUB_EXPORT DWORD WINAPI BASS_GetVersion()
{
    return 0x02040000;
}

STUB_EXPORT DWORD WINAPI BASS_StreamCreateFile(BOOL memory, const void* file, QWORD offset, QWORD length, DWORD flags)
{
    if (memory)
        Record("BASS_StreamCreateFile memory %llu %llu %lu", (unsigned long long)offset, (unsigned long long)length,
               (unsigned long)flags);
    else
        Record("BASS_StreamCreateFile file %s %llu %llu %lu", static_cast<const char*>(file),
               (unsigned long long)offset, (unsigned long long)length, (unsigned long)flags);
    const bool opens = memory ? (file && length > 0)
                              : (GetFileAttributesA(static_cast<const char*>(file)) != INVALID_FILE_ATTRIBUTES &&
                                 !strstr(static_cast<const char*>(file), "refuse"));
    if (!opens)
    {
        g_Error = 2; // BASS_ERROR_FILEOPEN
        return 0;
    }
    const DWORD handle = g_NextHandle++;
    g_Streams[handle] = Stream();
    return handle;
}

STUB_EXPORT BOOL WINAPI BASS_StreamFree(DWORD stream)
{
    Record("BASS_StreamFree %lu", (unsigned long)stream);
    return g_Streams.erase(stream) ? TRUE : FALSE;
}

STUB_EXPORT BOOL WINAPI BASS_ChannelPlay(DWORD channel, BOOL restart)
{
    Record("BASS_ChannelPlay %lu %d", (unsigned long)channel, restart);
    Stream* s = Find(channel);
    if (!s)
        return FALSE;
    s->playing = true;
    s->startMs = GetTickCount();
    return TRUE;
}

STUB_EXPORT BOOL WINAPI BASS_ChannelStop(DWORD channel)
{
    Record("BASS_ChannelStop %lu", (unsigned long)channel);
    Stream* s = Find(channel);
    if (!s)
        return FALSE;
    s->playing = false;
    return TRUE;
}

STUB_EXPORT DWORD WINAPI BASS_ChannelIsActive(DWORD channel)
{
    Stream* s = Find(channel);
    return s && Active(*s) ? 1 : 0;
}

STUB_EXPORT DWORD WINAPI BASS_ChannelFlags(DWORD channel, DWORD flags, DWORD mask)
{
    Record("BASS_ChannelFlags %lu %lu %lu", (unsigned long)channel, (unsigned long)flags, (unsigned long)mask);
    Stream* s = Find(channel);
    if (!s)
        return DWORD(-1);
    if (mask & 4)
        s->loop = (flags & 4) != 0;
    return s->loop ? 4 : 0;
}

STUB_EXPORT QWORD WINAPI BASS_ChannelGetPosition(DWORD channel, DWORD mode)
{
    Stream* s = Find(channel);
    if (!s || mode != 0)
        return ~QWORD(0);
    if (!Active(*s))
        return 0;
    return QWORD((GetTickCount() - s->startMs) * kBytesPerSecond / 1000.0) & ~QWORD(3);
}

STUB_EXPORT double WINAPI BASS_ChannelBytes2Seconds(DWORD channel, QWORD position)
{
    if (!Find(channel))
        return -1;
    return position / kBytesPerSecond;
}

#ifndef BASS_STUB_NO_OPTIONAL
STUB_EXPORT int WINAPI BASS_ErrorGetCode()
{
    return g_Error;
}

STUB_EXPORT DWORD WINAPI BASS_PluginLoad(const char* file, DWORD flags)
{
    Record("BASS_PluginLoad %s %lu", file, (unsigned long)flags);
    if (strcmp(file, "basswma.dll") == 0)
        return 0x9000;
    g_Error = 2;
    return 0;
}

STUB_EXPORT QWORD WINAPI BASS_ChannelGetLength(DWORD channel, DWORD mode)
{
    if (!Find(channel) || mode != 0)
        return ~QWORD(0);
    return QWORD(kPlayMs * kBytesPerSecond / 1000.0);
}
#endif
