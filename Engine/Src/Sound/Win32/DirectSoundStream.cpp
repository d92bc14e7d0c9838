#include "DirectSoundStream.h"

#include "Log.h"
#include "VolumeLaw.h"

#include <cstring>
#include <vector>

namespace
{
DWORD SystemClock()
{
    return timeGetTime();
}
} // namespace

DirectSoundStream::DirectSoundStream() : m_Clock(SystemClock)
{
    memset(&m_Caps, 0, sizeof(m_Caps));
    memset(&m_Desc, 0, sizeof(m_Desc));
    memset(&m_Format, 0, sizeof(m_Format));
}

DirectSoundStream::~DirectSoundStream()
{
    StopThread();
    std::lock_guard<std::recursive_mutex> lock(m_Lock);
    if (m_pSoundBuffer)
        m_pSoundBuffer->Stop();
    m_pSoundBuffer.Reset();
}

void DirectSoundStream::SetClock(ClockFn clock)
{
    std::lock_guard<std::recursive_mutex> lock(m_Lock);
    m_Clock = clock ? clock : SystemClock;
}

bool DirectSoundStream::Create(IDirectSound8* device, WAVEFORMATEX format)
{
    std::lock_guard<std::recursive_mutex> lock(m_Lock);
    if (!device)
        return false;
    m_Format = format;
    m_Format.cbSize = 0;
    memset(&m_Desc, 0, sizeof(m_Desc));
    m_Desc.dwSize = sizeof(DSBUFFERDESC);
    m_Desc.dwFlags = DSBCAPS_GETCURRENTPOSITION2 | DSBCAPS_CTRLPOSITIONNOTIFY | DSBCAPS_CTRLVOLUME | DSBCAPS_STATIC;
    // Three seconds, in whole frames.
    DWORD bytes = 3 * m_Format.nAvgBytesPerSec;
    if (m_Format.nBlockAlign)
        bytes -= bytes % m_Format.nBlockAlign;
    m_Desc.dwBufferBytes = bytes;
    m_Desc.lpwfxFormat = &m_Format;
    m_Desc.guid3DAlgorithm = GUID_NULL;
    HRESULT hr = device->CreateSoundBuffer(&m_Desc, m_pSoundBuffer.Put(), nullptr);
    if (FAILED(hr))
    {
        g_Log.Printf("pDirectSound->CreateSoundBuffer FAILED: %x\n", static_cast<unsigned>(hr));
        m_pSoundBuffer.Reset();
        return false;
    }
    memset(&m_Caps, 0, sizeof(m_Caps));
    m_Caps.dwSize = sizeof(DSBCAPS);
    hr = m_pSoundBuffer->GetCaps(&m_Caps);
    if (FAILED(hr) || m_Caps.dwBufferBytes == 0)
    {
        g_Log.Printf("m_pSoundBuffer->GetCaps FAILED: %x\n", static_cast<unsigned>(hr));
        m_pSoundBuffer.Reset();
        return false;
    }
    m_dwWriteCursor = 0;
    m_BytesWritten = 0;
    m_nState = 1;
    return true;
}

bool DirectSoundStream::Play()
{
    {
        std::lock_guard<std::recursive_mutex> lock(m_Lock);
        if (!m_pSoundBuffer)
        {
            g_Log.Printf("DirectSoundStream == Can't play!\n");
            return false;
        }
        const HRESULT hr = m_pSoundBuffer->Play(0, 0, DSBPLAY_LOOPING);
        if (FAILED(hr))
        {
            g_Log.Printf("m_pSoundBuffer->Play FAILED: %x\n", static_cast<unsigned>(hr));
            return false;
        }
        m_bEnded = false;
        m_dwStartTime = m_Clock();
        m_nState = 2;
    }
    StartThread();
    return true;
}

bool DirectSoundStream::Stop()
{
    std::lock_guard<std::recursive_mutex> lock(m_Lock);
    return StopLocked();
}

bool DirectSoundStream::StopLocked()
{
    if (!m_pSoundBuffer || m_nState != 2)
        return false;
    HRESULT hr = m_pSoundBuffer->Stop();
    if (FAILED(hr))
    {
        g_Log.Printf("m_pSoundBuffer->Stop FAILED: %x\n", static_cast<unsigned>(hr));
        return false;
    }
    hr = m_pSoundBuffer->SetCurrentPosition(0);
    if (FAILED(hr))
    {
        g_Log.Printf("m_pSoundBuffer->SetCurrentPosition FAILED: %x\n", static_cast<unsigned>(hr));
        return false;
    }
    m_dwWriteCursor = 0;
    m_BytesWritten = 0;
    m_nState = 1;
    return true;
}

DWORD DirectSoundStream::GetAvailableSize()
{
    std::lock_guard<std::recursive_mutex> lock(m_Lock);
    return GetAvailableSizeLocked();
}

DWORD DirectSoundStream::GetAvailableSizeLocked()
{
    if (!m_pSoundBuffer)
        return 0;
    DWORD play = 0, write = 0;
    const HRESULT hr = m_pSoundBuffer->GetCurrentPosition(&play, &write);
    if (FAILED(hr))
    {
        g_Log.Printf("m_pSoundBuffer->GetCurrentPosition FAILED: %x\n", static_cast<unsigned>(hr));
        return 0;
    }
    const DWORD ring = m_Caps.dwBufferBytes;
    if (play >= ring)
        play %= ring;
    if (m_dwWriteCursor > play)
        return ring - m_dwWriteCursor + play;
    if (m_dwWriteCursor < play)
        return play - m_dwWriteCursor;
    return ring;
}

bool DirectSoundStream::AddSoundData(const BYTE* data, DWORD size)
{
    std::lock_guard<std::recursive_mutex> lock(m_Lock);
    if (!m_pSoundBuffer || !data || size == 0)
        return false;
    if (size > GetAvailableSizeLocked())
    {
        g_Log.Printf("DirectSoundStream::AddSoundData: GetAvailableSize() < dwSize\n");
        return false;
    }
    void* first = nullptr;
    void* second = nullptr;
    DWORD firstBytes = 0, secondBytes = 0;
    HRESULT hr = m_pSoundBuffer->Lock(m_dwWriteCursor, size, &first, &firstBytes, &second, &secondBytes, 0);
    if (hr == DSERR_BUFFERLOST)
    {
        m_pSoundBuffer->Restore();
        hr = m_pSoundBuffer->Lock(0, size, &first, &firstBytes, &second, &secondBytes, DSBLOCK_FROMWRITECURSOR);
    }
    if (FAILED(hr))
    {
        g_Log.Printf("m_pSoundBuffer->Lock FAILED: %x\n", static_cast<unsigned>(hr));
        return false;
    }
    if (firstBytes > size)
        firstBytes = size;
    if (secondBytes > size - firstBytes)
        secondBytes = size - firstBytes;
    memcpy(first, data, firstBytes);
    if (second && secondBytes)
        memcpy(second, data + firstBytes, secondBytes);
    hr = m_pSoundBuffer->Unlock(first, firstBytes, second, secondBytes);
    if (FAILED(hr))
    {
        g_Log.Printf("m_pSoundBuffer->Unlock FAILED: %x\n", static_cast<unsigned>(hr));
        return false;
    }
    m_dwWriteCursor = (m_dwWriteCursor + size) % m_Caps.dwBufferBytes;
    m_BytesWritten += size;
    return true;
}

bool DirectSoundStream::AddSilence(float seconds)
{
    std::lock_guard<std::recursive_mutex> lock(m_Lock);
    if (seconds <= 0)
        return true;
    DWORD n = static_cast<DWORD>(m_Format.nAvgBytesPerSec * seconds);
    if (m_Format.nBlockAlign)
        n -= n % m_Format.nBlockAlign;
    if (n == 0)
        return true;
    std::vector<BYTE> zeros;
    try
    {
        zeros.assign(n, m_Format.wBitsPerSample == 8 ? 0x80 : 0);
    }
    catch (const std::bad_alloc&)
    {
        g_Log.Printf("AddSilence::malloc FAILED\n");
        return false;
    }
    AddSoundData(zeros.data(), n);
    return true;
}

bool DirectSoundStream::SetVolume(int percent)
{
    std::lock_guard<std::recursive_mutex> lock(m_Lock);
    if (!m_pSoundBuffer)
        return false;
    percent = ClampPercent(percent);
    if (m_bMuted)
    {
        m_nSavedVolume = percent;
        return true;
    }
    const HRESULT hr = m_pSoundBuffer->SetVolume(PercentToDecibels(percent));
    if (FAILED(hr))
    {
        g_Log.Printf("m_pSoundBuffer->SetVolume FAILED: %x\n", static_cast<unsigned>(hr));
        return false;
    }
    return true;
}

int DirectSoundStream::GetVolume()
{
    std::lock_guard<std::recursive_mutex> lock(m_Lock);
    if (!m_pSoundBuffer)
        return 0;
    LONG volume = 0;
    const HRESULT hr = m_pSoundBuffer->GetVolume(&volume);
    if (FAILED(hr))
    {
        g_Log.Printf("m_pSoundBuffer->GetVolume FAILED: %x\n", static_cast<unsigned>(hr));
        return 0;
    }
    return DecibelsToPercent(volume);
}

void DirectSoundStream::ToggleMute()
{
    std::lock_guard<std::recursive_mutex> lock(m_Lock);
    if (!m_bMuted)
    {
        m_nSavedVolume = GetVolume();
        if (m_pSoundBuffer)
            m_pSoundBuffer->SetVolume(DSBVOLUME_MIN);
        m_bMuted = true;
    }
    else
    {
        m_bMuted = false;
        SetVolume(m_nSavedVolume);
    }
}

bool DirectSoundStream::IsPlaying()
{
    std::lock_guard<std::recursive_mutex> lock(m_Lock);
    return m_pSoundBuffer && m_nState == 2;
}

bool DirectSoundStream::HasFinished()
{
    std::lock_guard<std::recursive_mutex> lock(m_Lock);
    return m_bEnded && !(m_pSoundBuffer && m_nState == 2);
}

DWORD DirectSoundStream::GetBufferSize()
{
    std::lock_guard<std::recursive_mutex> lock(m_Lock);
    return m_Caps.dwBufferBytes;
}

uint64_t DirectSoundStream::GetBytesWritten()
{
    std::lock_guard<std::recursive_mutex> lock(m_Lock);
    return m_BytesWritten;
}

bool DirectSoundStream::CheckStarvation()
{
    std::lock_guard<std::recursive_mutex> lock(m_Lock);
    if (!m_pSoundBuffer || m_nState != 2)
        return false;
    const DWORD elapsed = m_Clock() - m_dwStartTime;
    const uint64_t played = static_cast<uint64_t>(elapsed / 1000.0 * m_Format.nAvgBytesPerSec);
    if (!m_bEnded && played >= m_BytesWritten)
    {
        m_bEnded = true;
        StopLocked();
    }
    return m_nState == 2;
}

DWORD DirectSoundStream::Run()
{
    while (!IsStopRequested())
    {
        const bool playing = CheckStarvation();
        // While stopped the worker sleeps until the next Play wakes it.
        WaitForWake(playing ? kPollMilliseconds : INFINITE);
    }
    return 0;
}
