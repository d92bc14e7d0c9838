#include "OggSoundRead.h"

#include "Log.h"
#include "SoundResource.h"

#include <vorbis/vorbisfile.h>

#include <climits>
#include <cstring>

// --- the memory source ---------------------------------------------------

size_t OggMemoryRead(void* destination, size_t itemSize, size_t itemCount, void* source)
{
    auto* m = static_cast<OggMemorySource*>(source);
    if (!m || itemSize == 0 || m->position >= m->size)
        return 0;
    const size_t left = m->size - m->position;
    size_t n = itemCount;
    if (n > left / itemSize)
        n = left / itemSize;
    const size_t bytes = n * itemSize;
    memcpy(destination, m->base + m->position, bytes);
    m->position += static_cast<uint32_t>(bytes);
    return n;
}

int OggMemorySeek(void* source, int64_t offset, int origin)
{
    auto* m = static_cast<OggMemorySource*>(source);
    if (!m)
        return -1;
    int64_t target;
    switch (origin)
    {
    case SEEK_SET:
        target = offset;
        break;
    case SEEK_CUR:
        target = static_cast<int64_t>(m->position) + offset;
        break;
    case SEEK_END:
        target = static_cast<int64_t>(m->size) + offset;
        break;
    default:
        return -1;
    }
    if (target < 0 || target > static_cast<int64_t>(m->size))
        return -1;
    m->position = static_cast<uint32_t>(target);
    return 0;
}

int OggMemoryClose(void*)
{
    return 0;
}

long OggMemoryTell(void* source)
{
    auto* m = static_cast<OggMemorySource*>(source);
    return m ? static_cast<long>(m->position) : -1;
}

// --- a file that we close ourselves ----------------------------------------

namespace
{
size_t FileRead(void* destination, size_t itemSize, size_t itemCount, void* source)
{
    return fread(destination, itemSize, itemCount, static_cast<FILE*>(source));
}

int FileSeek(void* source, int64_t offset, int origin)
{
#ifdef _WIN32
    return _fseeki64(static_cast<FILE*>(source), offset, origin);
#else
    return fseeko(static_cast<FILE*>(source), static_cast<off_t>(offset), origin);
#endif
}

long FileTell(void* source)
{
    return ftell(static_cast<FILE*>(source));
}
} // namespace

// --- the reader ------------------------------------------------------------

COggSoundRead::COggSoundRead() : m_pDecoder(new OggVorbis_File())
{
    memset(&m_Format, 0, sizeof(m_Format));
}

COggSoundRead::~COggSoundRead()
{
    Close();
}

HRESULT COggSoundRead::Open(WORD resourceId, const char* path)
{
    Close();
    SoundResource resource;
    if (FindSoundResource(resourceId, &resource))
    {
        m_hResource = resource.handle;
        if (!resource.bytes)
        {
            g_Log.Printf("  CCOggSoundRead::LockResource error: returned NULL\n");
            return E_FAIL;
        }
        return OpenMemory(resource.bytes, resource.size);
    }

    if (!path || !*path || !(m_pFile = fopen(path, "rb")))
    {
        g_Log.Printf("  CCOggSoundRead::Open error: fopen call failed\n");
        return E_FAIL;
    }
    const ov_callbacks callbacks = {FileRead, FileSeek, nullptr, FileTell};
    memset(m_pDecoder.get(), 0, sizeof(OggVorbis_File));
    const int result = ov_open_callbacks(m_pFile, m_pDecoder.get(), nullptr, 0, callbacks);
    if (result < 0)
    {
        g_Log.Printf("  CCOggSoundRead::Open error: ov_open returned %i\n", result);
        return E_FAIL;
    }
    return OpenDecoded();
}

HRESULT COggSoundRead::OpenMemory(const void* bytes, uint32_t size)
{
    if (m_bDecoderOpen)
    {
        ov_clear(m_pDecoder.get());
        m_bDecoderOpen = false;
    }
    m_Memory.base = static_cast<const BYTE*>(bytes);
    m_Memory.size = bytes ? size : 0;
    m_Memory.position = 0;
    const ov_callbacks callbacks = {OggMemoryRead, OggMemorySeek, OggMemoryClose, OggMemoryTell};
    memset(m_pDecoder.get(), 0, sizeof(OggVorbis_File));
    const int result = ov_open_callbacks(&m_Memory, m_pDecoder.get(), nullptr, 0, callbacks);
    if (result < 0)
    {
        g_Log.Printf("  CCOggSoundRead::Open error: ov_open_callbacks returned %i\n", result);
        return E_FAIL;
    }
    return OpenDecoded();
}

HRESULT COggSoundRead::OpenDecoded()
{
    m_bDecoderOpen = true;
    const vorbis_info* info = ov_info(m_pDecoder.get(), -1);
    if (!info || info->channels < 1 || info->channels > 8 || info->rate < 1 || info->rate > 384000)
    {
        g_Log.Printf("  CCOggSoundRead::Open error: unusable stream format\n");
        Close();
        return E_FAIL;
    }
    memset(&m_Format, 0, sizeof(m_Format));
    m_Format.wFormatTag = WAVE_FORMAT_PCM;
    m_Format.nChannels = static_cast<WORD>(info->channels);
    m_Format.nSamplesPerSec = static_cast<DWORD>(info->rate);
    m_Format.wBitsPerSample = 16;
    m_Format.nBlockAlign = static_cast<WORD>(info->channels * 16 / 8);
    m_Format.nAvgBytesPerSec = m_Format.nBlockAlign * m_Format.nSamplesPerSec;
    m_Format.cbSize = 0;
    const ogg_int64_t frames = ov_pcm_total(m_pDecoder.get(), -1);
    const uint64_t bytes = frames > 0 ? static_cast<uint64_t>(frames) * m_Format.nBlockAlign : 0;
    // A size that does not fit in 32 bits is cut to whole frames below it.
    m_TotalBytes = bytes > UINT32_MAX ? UINT32_MAX - UINT32_MAX % m_Format.nBlockAlign : static_cast<uint32_t>(bytes);
    return S_OK;
}

HRESULT COggSoundRead::Reset()
{
    if (!m_bDecoderOpen)
    {
        g_Log.Printf("  COggSoundRead::Reset error: not open\n");
        return E_FAIL;
    }
    const int result = ov_raw_seek(m_pDecoder.get(), 0);
    if (result != 0)
    {
        g_Log.Printf("  COggSoundRead::Reset error: ov_raw_seek returned %i\n", result);
        return E_FAIL;
    }
    return S_OK;
}

HRESULT COggSoundRead::Read(uint32_t wanted, BYTE* buffer, uint32_t* read)
{
    if (read)
        *read = 0;
    if (!m_bDecoderOpen || !buffer || !read)
    {
        g_Log.Printf("  COggSoundRead::Read error: not open\n");
        return E_FAIL;
    }
    // vorbisfile hands out whole sample frames only.
    const uint32_t frame = m_Format.nBlockAlign ? m_Format.nBlockAlign : 1;
    while (*read < wanted)
    {
        uint32_t chunk = wanted - *read;
        if (chunk > 4096)
            chunk = 4096;
        chunk -= chunk % frame;
        if (chunk == 0)
            break;
        int section = 0;
        const long got = ov_read(m_pDecoder.get(), reinterpret_cast<char*>(buffer + *read), static_cast<int>(chunk),
                                 0, 2, 1, &section);
        if (got == 0)
            break;
        if (got < 0 || static_cast<unsigned long>(got) > chunk)
        {
            g_Log.Printf("  COggSoundRead::Read error: error in the stream\n");
            return E_FAIL;
        }
        *read += static_cast<uint32_t>(got);
    }
    return S_OK;
}

HRESULT COggSoundRead::Close()
{
    if (m_bDecoderOpen)
        ov_clear(m_pDecoder.get());
    m_bDecoderOpen = false;
    if (m_pFile)
        fclose(m_pFile);
    m_pFile = nullptr;
    if (m_hResource)
    {
        SoundResource resource;
        resource.handle = m_hResource;
        FreeSoundResource(&resource);
    }
    m_hResource = nullptr;
    m_Memory = OggMemorySource();
    return S_OK;
}

void COggSoundRead::GetFormat(WAVEFORMATEX* format)
{
    if (format)
        *format = m_Format;
}

uint32_t COggSoundRead::GetRemaining()
{
    if (!m_bDecoderOpen)
        return 0;
    const ogg_int64_t left = ov_pcm_total(m_pDecoder.get(), -1) - ov_pcm_tell(m_pDecoder.get());
    if (left <= 0)
        return 0;
    return left > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(left);
}

float COggSoundRead::GetPosition()
{
    return m_bDecoderOpen ? static_cast<float>(ov_time_tell(m_pDecoder.get())) : 0.0f;
}

float COggSoundRead::GetLength()
{
    if (!m_bDecoderOpen)
        return 0.0f;
    const double length = ov_time_total(m_pDecoder.get(), -1);
    return length > 0 ? static_cast<float>(length) : 0.0f;
}
