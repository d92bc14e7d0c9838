#include "SoundObject.h"

#include "Log.h"
#include "Object.h"
#include "OggSoundRead.h"
#include "WaveSoundRead.h"

#include <algorithm>
#include <cstring>
#include <new>

std::vector<SoundObject*> g_SoundObjectList;
SoundObject::CLoadingProgressHandler* g_pSoundLoadingProgressHandler = nullptr;

namespace
{
const uint32_t kReadBlock = 100000;
// A lost buffer is asked this often (10 ms apart) to come back.
const int kRestoreAttempts = 50;
} // namespace

void SetSoundLoadingProgressHandler(SoundObject::CLoadingProgressHandler* handler)
{
    g_pSoundLoadingProgressHandler = handler;
}

void UpdateAllSounds()
{
    for (SoundObject* sound : g_SoundObjectList)
        sound->Update();
}

void ToggleMuteAllSounds()
{
    for (SoundObject* sound : g_SoundObjectList)
        sound->ToggleMute();
}

SoundObject::SoundObject()
{
    memset(&m_3DParams, 0, sizeof(m_3DParams));
    g_SoundObjectList.push_back(this);
}

SoundObject::~SoundObject()
{
    g_SoundObjectList.erase(std::remove(g_SoundObjectList.begin(), g_SoundObjectList.end(), this),
                            g_SoundObjectList.end());
}

HRESULT SoundObject::Load(WORD resourceId, const char* path, int kind, bool b3D, bool bFrequencyControl)
{
    if (!g_pDS)
    {
        g_Log.Printf("  SoundObject error: No DirectSound interface\n");
        return E_FAIL;
    }
    const HRESULT hr = CreateStaticBuffer(resourceId, kind, b3D, bFrequencyControl, path);
    if (FAILED(hr))
        return hr;
    FillBuffer();
    m_pReader->Close();
    m_ResourceId = resourceId;
    m_Path = path ? path : "";
    m_Name = m_Path.empty() ? FormatString("Sound id %u", static_cast<unsigned>(resourceId)) : m_Path;
    return S_OK;
}

HRESULT SoundObject::CreateStaticBuffer(WORD resourceId, int kind, bool b3D, bool bFrequencyControl, const char* path)
{
    if (!g_pDS || !g_pDSListener)
    {
        g_Log.Printf("  SoundObject::CreateStaticBuffer error: No DirectSoundListener interface\n");
        return E_FAIL;
    }
    m_pReader.reset();
    m_p3DBuffer.Reset();
    m_pDSBuffer.Reset();
    m_dwBufferSize = 0;
    m_fDuration = 0;

    if (kind == KIND_WAVE)
        m_pReader.reset(new CWaveSoundRead());
    else if (kind == KIND_OGG)
        m_pReader.reset(new COggSoundRead());
    else
        return E_FAIL;
    HRESULT hr = m_pReader->Open(resourceId, path);
    if (FAILED(hr))
        return hr;

    WAVEFORMATEX format;
    m_pReader->GetFormat(&format);
    DSBUFFERDESC desc;
    memset(&desc, 0, sizeof(desc));
    desc.dwSize = sizeof(DSBUFFERDESC);
    desc.dwFlags = DSBCAPS_CTRLVOLUME;
    if (!g_bHardwareSoundBuffers)
        desc.dwFlags |= DSBCAPS_LOCSOFTWARE;
    if (b3D)
        desc.dwFlags |= DSBCAPS_CTRL3D;
    if (bFrequencyControl)
        desc.dwFlags |= DSBCAPS_CTRLFREQUENCY;
    desc.dwBufferBytes = m_pReader->GetSize();
    desc.lpwfxFormat = &format;
    desc.guid3DAlgorithm = GUID_NULL;
    hr = g_pDS->CreateSoundBuffer(&desc, m_pDSBuffer.Put(), nullptr);
    if (FAILED(hr))
    {
        g_Log.Printf("  SoundObject::CreateStaticBuffer error: g_pDS->CreateSoundBuffer returned %x\n",
                     static_cast<unsigned>(hr));
        m_pDSBuffer.Reset();
        return hr;
    }
    m_dwBufferSize = desc.dwBufferBytes;
    m_fDuration = format.nAvgBytesPerSec ? static_cast<float>(m_dwBufferSize) / format.nAvgBytesPerSec : 0.0f;

    if (b3D)
    {
        if (hr == DS_NO_VIRTUALIZATION)
            g_Log.Printf("  SoundObject::CreateStaticBuffer warning: CreateSoundBuffer returned DS_NO_VIRTUALIZATION\n");
        hr = m_pDSBuffer->QueryInterface(IID_IDirectSound3DBuffer, m_p3DBuffer.PutVoid());
        if (FAILED(hr))
        {
            g_Log.Printf("  SoundObject::CreateStaticBuffer error: QueryInterface returned %x\n",
                         static_cast<unsigned>(hr));
            return hr;
        }
        memset(&m_3DParams, 0, sizeof(m_3DParams));
        m_3DParams.dwSize = sizeof(DS3DBUFFER);
        hr = m_p3DBuffer->GetAllParameters(&m_3DParams);
        if (FAILED(hr))
            g_Log.Printf("  SoundObject::CreateStaticBuffer error: GetAllParameters returned %x\n",
                         static_cast<unsigned>(hr));
        m_3DParams.dwSize = sizeof(DS3DBUFFER);
        m_3DParams.dwMode = DS3DMODE_NORMAL;
        hr = m_p3DBuffer->SetAllParameters(&m_3DParams, DS3D_IMMEDIATE);
        if (FAILED(hr))
            g_Log.Printf("  SoundObject::CreateStaticBuffer error: SetAllParameters returned %x\n",
                         static_cast<unsigned>(hr));
    }
    return S_OK;
}

HRESULT SoundObject::FillBuffer()
{
    if (!m_pDSBuffer || !m_pReader)
        return E_FAIL;
    std::vector<BYTE> block;
    try
    {
        block.assign(m_dwBufferSize, 0);
    }
    catch (const std::bad_alloc&)
    {
        g_Log.Printf("  SoundObject::FillBuffer error: new() returned NULL\n");
        return E_OUTOFMEMORY;
    }
    // Never more than is left; a reader that ends early leaves silence.
    HRESULT result = S_OK;
    uint32_t done = 0;
    while (done < m_dwBufferSize)
    {
        const uint32_t want = std::min<uint32_t>(kReadBlock, m_dwBufferSize - done);
        uint32_t got = 0;
        const HRESULT hr = m_pReader->Read(want, block.data() + done, &got);
        if (FAILED(hr))
            return hr;
        if (got == 0 || got > want)
        {
            g_Log.Printf("  SoundObject::FillBuffer error: the sound ended %u bytes early\n",
                         static_cast<unsigned>(m_dwBufferSize - done));
            result = E_FAIL;
            break;
        }
        done += got;
        if (g_pSoundLoadingProgressHandler)
            g_pSoundLoadingProgressHandler->OnProgress(0, 0);
    }
    m_pReader->Reset();

    void* region = nullptr;
    DWORD regionBytes = 0;
    const HRESULT hr = m_pDSBuffer->Lock(0, m_dwBufferSize, &region, &regionBytes, nullptr, nullptr, 0);
    if (FAILED(hr))
    {
        g_Log.Printf("  SoundObject::FillBuffer error: m_pDSBuffer->Lock returned %x\n", static_cast<unsigned>(hr));
        return hr;
    }
    memcpy(region, block.data(), std::min<DWORD>(regionBytes, m_dwBufferSize));
    m_pDSBuffer->Unlock(region, regionBytes, nullptr, 0);
    return result;
}

HRESULT SoundObject::RestoreBuffers()
{
    if (!m_pDSBuffer)
        return S_OK;
    DWORD status = 0;
    HRESULT hr = m_pDSBuffer->GetStatus(&status);
    if (FAILED(hr))
    {
        g_Log.Printf("  SoundObject::RestoreBuffers error: m_pDSBuffer->GetStatus returned %x\n",
                     static_cast<unsigned>(hr));
        return hr;
    }
    if (!(status & DSBSTATUS_BUFFERLOST))
        return S_OK;
    for (int attempt = 0;; ++attempt)
    {
        hr = m_pDSBuffer->Restore();
        if (SUCCEEDED(hr))
            break;
        if (hr != DSERR_BUFFERLOST || attempt + 1 >= kRestoreAttempts)
        {
            g_Log.Printf("  SoundObject::RestoreBuffers error: Restore returned %x\n", static_cast<unsigned>(hr));
            return hr;
        }
        Sleep(10);
    }
    // The reader was closed after loading: decode the sound again.
    if (!m_pReader)
        return E_FAIL;
    hr = m_pReader->Open(m_ResourceId, m_Path.c_str());
    if (FAILED(hr))
        return hr;
    hr = FillBuffer();
    m_pReader->Close();
    return hr;
}

HRESULT SoundObject::StartPlaying(DWORD flags, uint32_t repeatCount)
{
    if (!m_pDSBuffer)
        return E_FAIL;
    HRESULT hr = RestoreBuffers();
    if (FAILED(hr))
        return hr;
    DWORD status = 0;
    hr = m_pDSBuffer->GetStatus(&status);
    if (FAILED(hr))
    {
        g_Log.Printf("  SoundObject::PlayBuffer error: m_pDSBuffer->GetStatus returned %x\n", static_cast<unsigned>(hr));
        return hr;
    }
    if (status & DSBSTATUS_PLAYING)
        return m_pDSBuffer->SetCurrentPosition(0);
    hr = m_pDSBuffer->Play(0, 0, flags);
    if (SUCCEEDED(hr))
        m_nRepeatCount = repeatCount;
    return hr;
}

HRESULT SoundObject::PlayBuffer(bool loop)
{
    return StartPlaying(loop ? DSBPLAY_LOOPING : 0, 1);
}

HRESULT SoundObject::PlayBuffer(int repeatCount)
{
    return StartPlaying(0, repeatCount > 0 ? static_cast<uint32_t>(repeatCount) : 0);
}

HRESULT SoundObject::Stop()
{
    if (!m_pDSBuffer)
        return E_FAIL;
    HRESULT hr = m_pDSBuffer->Stop();
    if (SUCCEEDED(hr))
        hr = m_pDSBuffer->SetCurrentPosition(0);
    return hr;
}

void SoundObject::Update()
{
    if (m_pAttachedObject)
    {
        const D3DXMATRIX& world = m_pAttachedObject->GetWorldMatrix();
        SetPosition(world._41, world._42, world._43);
    }
    if (m_nRepeatCount != 0 && !IsPlaying())
    {
        --m_nRepeatCount;
        if (m_nRepeatCount != 0)
            PlayBuffer(static_cast<int>(m_nRepeatCount));
    }
}

HRESULT SoundObject::SetVolume(int percent)
{
    m_nVolume = ClampPercent(percent);
    if (!m_pDSBuffer)
        return E_FAIL;
    // Kept for unmute; nothing reaches the buffer while muted.
    if (m_bMuted)
        return E_FAIL;
    const int value = MapVolumeToRange(m_nVolume, m_nVolumeLow, m_nVolumeHigh);
    const HRESULT hr = m_pDSBuffer->SetVolume(PercentToDecibels(value));
    if (FAILED(hr))
        g_Log.Printf("  SoundObject::SetVolume error: SetVolume returned %x\n", static_cast<unsigned>(hr));
    return hr;
}

void SoundObject::SetVolumeRange(int percent)
{
    m_nVolumeLow = 0;
    m_nVolumeHigh = ClampPercent(percent);
}

void SoundObject::ToggleMute()
{
    if (m_bMuted)
    {
        m_bMuted = false;
        SetVolume(m_nVolume);
    }
    else
    {
        m_bMuted = true;
        if (m_pDSBuffer)
            m_pDSBuffer->SetVolume(DSBVOLUME_MIN);
    }
}

void SoundObject::SetFrequency(DWORD hertz)
{
    if (!m_pDSBuffer)
        return;
    if (g_DSCaps.dwMaxSecondarySampleRate && hertz > g_DSCaps.dwMaxSecondarySampleRate)
        hertz = g_DSCaps.dwMaxSecondarySampleRate;
    if (hertz < g_DSCaps.dwMinSecondarySampleRate)
        hertz = g_DSCaps.dwMinSecondarySampleRate;
    m_pDSBuffer->SetFrequency(hertz);
}

DWORD SoundObject::GetFrequency()
{
    DWORD hertz = 0;
    if (m_pDSBuffer && FAILED(m_pDSBuffer->GetFrequency(&hertz)))
        hertz = 0;
    return hertz;
}

void SoundObject::SetPosition(float x, float y, float z)
{
    if (m_p3DBuffer)
        m_p3DBuffer->SetPosition(x, z, y, DS3D_IMMEDIATE);
}

HRESULT SoundObject::SetObjectProperties(const D3DVECTOR& position, const D3DVECTOR& velocity, float minDistance,
                                         float maxDistance)
{
    if (!m_p3DBuffer)
        return E_FAIL;
    m_3DParams.dwSize = sizeof(DS3DBUFFER);
    m_3DParams.vPosition.x = position.x;
    m_3DParams.vPosition.y = position.z;
    m_3DParams.vPosition.z = position.y;
    m_3DParams.vVelocity.x = velocity.x;
    m_3DParams.vVelocity.y = velocity.z;
    m_3DParams.vVelocity.z = velocity.y;
    m_3DParams.flMinDistance = minDistance;
    m_3DParams.flMaxDistance = maxDistance;
    const HRESULT hr = m_p3DBuffer->SetAllParameters(&m_3DParams, m_bDeferred ? DS3D_DEFERRED : DS3D_IMMEDIATE);
    if (FAILED(hr))
        g_Log.Printf("  SoundObject::SetObjectProperties error: SetAllParameters returned %x\n",
                     static_cast<unsigned>(hr));
    return hr;
}

bool SoundObject::IsPlaying()
{
    DWORD status = 0;
    return m_pDSBuffer && SUCCEEDED(m_pDSBuffer->GetStatus(&status)) && (status & DSBSTATUS_PLAYING);
}
