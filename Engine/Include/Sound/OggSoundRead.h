#pragma once
// Ogg Vorbis reader: decodes to 16-bit signed little-endian PCM through
// vorbisfile, from a resource, a file or bytes in memory. Platform-free
// except for the resource lookup.
#include "SoundRead.h"

#include <cstddef>
#include <cstdio>
#include <memory>

struct OggVorbis_File;

// The bytes that vorbisfile reads through the memory callbacks below.
struct OggMemorySource
{
    const BYTE* base = nullptr;
    uint32_t size = 0;
    uint32_t position = 0;
};

// vorbisfile's callbacks over an OggMemorySource. Reads never pass the end;
// a seek outside 0..size is refused with -1 and leaves the position.
size_t OggMemoryRead(void* destination, size_t itemSize, size_t itemCount, void* source);
int OggMemorySeek(void* source, int64_t offset, int origin);
int OggMemoryClose(void* source);
long OggMemoryTell(void* source);

class COggSoundRead : public CSoundRead
{
public:
    COggSoundRead();
    ~COggSoundRead() override;

    HRESULT Open(WORD resourceId, const char* path) override;
    // Opens Ogg Vorbis bytes that the caller keeps alive until Close.
    HRESULT OpenMemory(const void* bytes, uint32_t size);
    HRESULT Reset() override;
    HRESULT Read(uint32_t wanted, BYTE* buffer, uint32_t* read) override;
    HRESULT Close() override;
    uint32_t GetSize() override { return m_TotalBytes; }
    void GetFormat(WAVEFORMATEX* format) override;
    uint32_t GetRemaining() override;

    bool IsOpen() const { return m_bDecoderOpen; }
    // Play position and length in seconds (0 when not open).
    float GetPosition();
    float GetLength();

private:
    HRESULT OpenDecoded();

    std::unique_ptr<OggVorbis_File> m_pDecoder;
    bool m_bDecoderOpen = false;
    OggMemorySource m_Memory;
    uint32_t m_TotalBytes = 0;
    WAVEFORMATEX m_Format;
    void* m_hResource = nullptr;
    FILE* m_pFile = nullptr;
};
