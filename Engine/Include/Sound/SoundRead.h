#pragma once
// A sound reader turns one stored sound (a numbered RCDATA resource of the
// program or a file on disk) into raw PCM bytes described by a WAVEFORMATEX.
#include "WinTypes.h"

#include <cstdint>

#ifdef _WIN32
#include <mmsystem.h>
#else
#ifndef WAVE_FORMAT_PCM
#define WAVE_FORMAT_PCM 1
#endif
#pragma pack(push, 1)
struct WAVEFORMATEX
{
    WORD wFormatTag;
    WORD nChannels;
    DWORD nSamplesPerSec;
    DWORD nAvgBytesPerSec;
    WORD nBlockAlign;
    WORD wBitsPerSample;
    WORD cbSize;
};
#pragma pack(pop)
#endif
static_assert(sizeof(WAVEFORMATEX) == 18, "the format record is 18 bytes");

// Calling order: Open, any number of Read (Reset starts over), Close, then
// destruction. GetSize and GetFormat are valid after a successful Open.
// Every failure is logged and returned as E_FAIL.
class CSoundRead
{
public:
    virtual ~CSoundRead() = default;
    // Opens the RCDATA resource with that id when the program has one, else
    // the file at `path`.
    virtual HRESULT Open(WORD resourceId, const char* path) = 0;
    // Back to the first PCM byte.
    virtual HRESULT Reset() = 0;
    // Delivers up to `wanted` bytes; `*read` says how many (0 at the end).
    virtual HRESULT Read(uint32_t wanted, BYTE* buffer, uint32_t* read) = 0;
    virtual HRESULT Close() = 0;
    // PCM bytes of the sound.
    virtual uint32_t GetSize() = 0;
    // Copies the 18-byte format record (zeros before a successful Open).
    virtual void GetFormat(WAVEFORMATEX* format) = 0;
    // Sample frames not yet decoded (0 where the reader does not count).
    virtual uint32_t GetRemaining() = 0;
};
