#include "WaveSoundRead.h"

#include "Log.h"
#include "SoundResource.h"

#include <cstring>

namespace
{
// Reads the RIFF/WAVE header up to and out of the "fmt " chunk.
HRESULT ReadMMIO(HMMIO hmmio, MMCKINFO* riff, std::vector<BYTE>* format)
{
    format->clear();
    MMRESULT result = mmioDescend(hmmio, riff, nullptr, 0);
    if (result != MMSYSERR_NOERROR)
    {
        g_Log.Printf("  ReadMMIO error: mmioDescend returned %x\n", static_cast<unsigned>(result));
        return E_FAIL;
    }
    if (riff->ckid != FOURCC_RIFF || riff->fccType != mmioFOURCC('W', 'A', 'V', 'E'))
    {
        g_Log.Printf("  ReadMMIO error: not RIFF/WAVE format\n");
        return E_FAIL;
    }
    MMCKINFO ckIn;
    memset(&ckIn, 0, sizeof(ckIn));
    ckIn.ckid = mmioFOURCC('f', 'm', 't', ' ');
    result = mmioDescend(hmmio, &ckIn, riff, MMIO_FINDCHUNK);
    if (result != MMSYSERR_NOERROR)
    {
        g_Log.Printf("  ReadMMIO error: mmioDescend (MMIO_FINDCHUNK) returned %x\n", static_cast<unsigned>(result));
        return E_FAIL;
    }
    if (ckIn.cksize < sizeof(PCMWAVEFORMAT))
    {
        g_Log.Printf("  ReadMMIO error: ckIn.cksize < size of PCMWAVEFORMAT\n");
        return E_FAIL;
    }
    PCMWAVEFORMAT pcm;
    if (mmioRead(hmmio, reinterpret_cast<HPSTR>(&pcm), sizeof(pcm)) != static_cast<LONG>(sizeof(pcm)))
    {
        g_Log.Printf("  ReadMMIO error: mmioRead returned != size of PCMWAVEFORMAT\n");
        return E_FAIL;
    }
    if (pcm.wf.wFormatTag == WAVE_FORMAT_PCM)
    {
        format->assign(sizeof(WAVEFORMATEX), 0);
        memcpy(format->data(), &pcm, sizeof(pcm));
    }
    else
    {
        WORD extra = 0;
        if (mmioRead(hmmio, reinterpret_cast<HPSTR>(&extra), sizeof(extra)) != static_cast<LONG>(sizeof(extra)))
        {
            g_Log.Printf("  ReadMMIO error: mmioRead returned != size of WORD\n");
            return E_FAIL;
        }
        format->assign(sizeof(WAVEFORMATEX) + extra, 0);
        memcpy(format->data(), &pcm, sizeof(pcm));
        reinterpret_cast<WAVEFORMATEX*>(format->data())->cbSize = extra;
        if (extra && mmioRead(hmmio, reinterpret_cast<HPSTR>(format->data() + sizeof(WAVEFORMATEX)), extra) != extra)
        {
            g_Log.Printf("  ReadMMIO error: mmioRead returned != size of cbExtraBytes\n");
            format->clear();
            return E_FAIL;
        }
    }
    result = mmioAscend(hmmio, &ckIn, 0);
    if (result != MMSYSERR_NOERROR)
    {
        g_Log.Printf("  ReadMMIO error: mmioAscend returned %x\n", static_cast<unsigned>(result));
        format->clear();
        return E_FAIL;
    }
    return S_OK;
}

// Opens the resource with that id, else the file, and reads the header.
HRESULT WaveOpenFile(WORD resourceId, const char* path, HMMIO* hmmio, MMCKINFO* riff, std::vector<BYTE>* format)
{
    SoundResource resource;
    if (FindSoundResource(resourceId, &resource) && resource.bytes)
    {
        MMIOINFO info;
        memset(&info, 0, sizeof(info));
        info.fccIOProc = FOURCC_MEM;
        info.pchBuffer = static_cast<HPSTR>(const_cast<void*>(resource.bytes));
        info.cchBuffer = static_cast<LONG>(resource.size);
        *hmmio = mmioOpenA(nullptr, &info, MMIO_READ);
    }
    else
        *hmmio = path && *path ? mmioOpenA(const_cast<LPSTR>(path), nullptr, MMIO_ALLOCBUF | MMIO_READ) : nullptr;
    if (!*hmmio)
    {
        g_Log.Printf("  WaveOpenFile error: mmioOpen returned NULL\n");
        return E_FAIL;
    }
    HRESULT hr = ReadMMIO(*hmmio, riff, format);
    if (SUCCEEDED(hr) && reinterpret_cast<const WAVEFORMATEX*>(format->data())->wFormatTag != WAVE_FORMAT_PCM)
    {
        // A compressed format cannot go into a DirectSound buffer as it is.
        g_Log.Printf("  WaveOpenFile error: format tag %u is not PCM\n",
                     reinterpret_cast<const WAVEFORMATEX*>(format->data())->wFormatTag);
        format->clear();
        hr = E_FAIL;
    }
    if (FAILED(hr))
    {
        mmioClose(*hmmio, 0);
        *hmmio = nullptr;
    }
    return hr;
}
} // namespace

CWaveSoundRead::CWaveSoundRead()
{
    memset(&m_ckIn, 0, sizeof(m_ckIn));
    memset(&m_ckInRiff, 0, sizeof(m_ckInRiff));
}

CWaveSoundRead::~CWaveSoundRead()
{
    Close();
}

HRESULT CWaveSoundRead::Open(WORD resourceId, const char* path)
{
    Close();
    m_Format.clear();
    memset(&m_ckIn, 0, sizeof(m_ckIn));
    memset(&m_ckInRiff, 0, sizeof(m_ckInRiff));
    HRESULT hr = WaveOpenFile(resourceId, path, &m_hmmioIn, &m_ckInRiff, &m_Format);
    if (FAILED(hr))
        return hr;
    hr = Reset();
    if (FAILED(hr))
    {
        Close();
        m_Format.clear();
    }
    return hr;
}

HRESULT CWaveSoundRead::Reset()
{
    if (!m_hmmioIn)
    {
        g_Log.Printf("  WaveStartDataRead error: not open\n");
        return E_FAIL;
    }
    if (mmioSeek(m_hmmioIn, m_ckInRiff.dwDataOffset + sizeof(FOURCC), SEEK_SET) == -1)
    {
        g_Log.Printf("  WaveStartDataRead error: mmioSeek returned -1\n");
        return E_FAIL;
    }
    m_ckIn.ckid = mmioFOURCC('d', 'a', 't', 'a');
    const MMRESULT result = mmioDescend(m_hmmioIn, &m_ckIn, &m_ckInRiff, MMIO_FINDCHUNK);
    if (result != MMSYSERR_NOERROR)
    {
        g_Log.Printf("  WaveStartDataRead error: mmioDescend returned %x\n", static_cast<unsigned>(result));
        m_ckIn.cksize = 0;
        return E_FAIL;
    }
    // A data chunk that claims more than the file holds is cut to the file.
    const LONG end = mmioSeek(m_hmmioIn, 0, SEEK_END);
    if (end != -1 && static_cast<DWORD>(end) >= m_ckIn.dwDataOffset &&
        m_ckIn.cksize > static_cast<DWORD>(end) - m_ckIn.dwDataOffset)
        m_ckIn.cksize = static_cast<DWORD>(end) - m_ckIn.dwDataOffset;
    if (mmioSeek(m_hmmioIn, m_ckIn.dwDataOffset, SEEK_SET) == -1)
    {
        g_Log.Printf("  WaveStartDataRead error: mmioSeek returned -1\n");
        m_ckIn.cksize = 0;
        return E_FAIL;
    }
    return S_OK;
}

HRESULT CWaveSoundRead::Read(uint32_t wanted, BYTE* buffer, uint32_t* read)
{
    if (read)
        *read = 0;
    if (!m_hmmioIn || !buffer || !read)
    {
        g_Log.Printf("  WaveReadFile error: not open\n");
        return E_FAIL;
    }
    MMIOINFO info;
    MMRESULT result = mmioGetInfo(m_hmmioIn, &info, 0);
    if (result != MMSYSERR_NOERROR)
    {
        g_Log.Printf("  WaveReadFile error: mmioGetInfo returned %x\n", static_cast<unsigned>(result));
        return E_FAIL;
    }
    uint32_t n = wanted < m_ckIn.cksize ? wanted : m_ckIn.cksize;
    m_ckIn.cksize -= n;
    uint32_t done = 0;
    HRESULT hr = S_OK;
    while (done < n)
    {
        if (info.pchNext >= info.pchEndRead)
        {
            result = mmioAdvance(m_hmmioIn, &info, MMIO_READ);
            if (result != MMSYSERR_NOERROR)
            {
                g_Log.Printf("  WaveReadFile error: mmioAdvance returned %x\n", static_cast<unsigned>(result));
                hr = E_FAIL;
                break;
            }
            if (info.pchNext >= info.pchEndRead)
            {
                g_Log.Printf("  WaveReadFile error: mmioinfoIn.pchNext == mmioinfoIn.pchEndRead\n");
                hr = E_FAIL;
                break;
            }
        }
        uint32_t run = static_cast<uint32_t>(info.pchEndRead - info.pchNext);
        if (run > n - done)
            run = n - done;
        memcpy(buffer + done, info.pchNext, run);
        info.pchNext += run;
        done += run;
    }
    result = mmioSetInfo(m_hmmioIn, &info, 0);
    if (result != MMSYSERR_NOERROR)
    {
        g_Log.Printf("  WaveReadFile error: mmioSetInfo returned %x\n", static_cast<unsigned>(result));
        return E_FAIL;
    }
    if (FAILED(hr))
    {
        m_ckIn.cksize = 0;
        return hr;
    }
    *read = n;
    return S_OK;
}

HRESULT CWaveSoundRead::Close()
{
    if (m_hmmioIn)
        mmioClose(m_hmmioIn, 0);
    m_hmmioIn = nullptr;
    return S_OK;
}

void CWaveSoundRead::GetFormat(WAVEFORMATEX* format)
{
    if (!format)
        return;
    if (m_Format.size() >= sizeof(WAVEFORMATEX))
        memcpy(format, m_Format.data(), sizeof(WAVEFORMATEX));
    else
        memset(format, 0, sizeof(WAVEFORMATEX));
}
