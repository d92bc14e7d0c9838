#pragma once
// A DirectSound device whose buffers are plain memory: the test moves the
// play cursor itself and reads what was written. Enough for the stream
// classes; nothing is played.
#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>

#include <cstring>
#include <vector>

class FakeSoundBuffer final : public IDirectSoundBuffer
{
public:
    explicit FakeSoundBuffer(const DSBUFFERDESC& desc) : m_Bytes(desc.dwBufferBytes, 0), m_Flags(desc.dwFlags)
    {
        if (desc.lpwfxFormat)
            m_Format = *desc.lpwfxFormat;
    }

    // What the test sees and steers.
    std::vector<BYTE> m_Bytes;
    DWORD m_Flags;
    WAVEFORMATEX m_Format{};
    DWORD m_dwPlayCursor = 0;
    bool m_bPlaying = false;
    bool m_bLooping = false;
    LONG m_lVolume = 0;
    int m_nLocks = 0;
    int m_nStops = 0;
    HRESULT m_hrLock = S_OK;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override
    {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_nRefs; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const ULONG refs = --m_nRefs;
        if (refs == 0)
            delete this;
        return refs;
    }
    HRESULT STDMETHODCALLTYPE GetCaps(LPDSBCAPS caps) override
    {
        caps->dwFlags = m_Flags;
        caps->dwBufferBytes = static_cast<DWORD>(m_Bytes.size());
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetCurrentPosition(LPDWORD play, LPDWORD write) override
    {
        if (play)
            *play = m_dwPlayCursor;
        if (write)
            *write = m_dwPlayCursor;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetFormat(LPWAVEFORMATEX, DWORD, LPDWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetVolume(LPLONG volume) override
    {
        *volume = m_lVolume;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetPan(LPLONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetFrequency(LPDWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetStatus(LPDWORD status) override
    {
        *status = (m_bPlaying ? DSBSTATUS_PLAYING : 0) | (m_bLooping ? DSBSTATUS_LOOPING : 0);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Initialize(LPDIRECTSOUND, LPCDSBUFFERDESC) override { return DSERR_ALREADYINITIALIZED; }
    HRESULT STDMETHODCALLTYPE Lock(DWORD offset, DWORD bytes, LPVOID* p1, LPDWORD n1, LPVOID* p2, LPDWORD n2,
                                   DWORD) override
    {
        ++m_nLocks;
        if (FAILED(m_hrLock))
            return m_hrLock;
        const DWORD size = static_cast<DWORD>(m_Bytes.size());
        if (offset >= size || bytes > size)
            return DSERR_INVALIDPARAM;
        const DWORD first = bytes < size - offset ? bytes : size - offset;
        *p1 = m_Bytes.data() + offset;
        *n1 = first;
        if (p2)
        {
            *p2 = bytes > first ? m_Bytes.data() : nullptr;
            *n2 = bytes - first;
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Play(DWORD, DWORD, DWORD flags) override
    {
        m_bPlaying = true;
        m_bLooping = (flags & DSBPLAY_LOOPING) != 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetCurrentPosition(DWORD position) override
    {
        m_dwPlayCursor = position;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetFormat(LPCWAVEFORMATEX) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetVolume(LONG volume) override
    {
        m_lVolume = volume;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetPan(LONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetFrequency(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Stop() override
    {
        ++m_nStops;
        m_bPlaying = false;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Unlock(LPVOID, DWORD, LPVOID, DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Restore() override { return S_OK; }

private:
    ULONG m_nRefs = 1;
};

class FakeDirectSound : public IDirectSound8
{
public:
    // The last buffer made (the device keeps a reference).
    FakeSoundBuffer* m_pLast = nullptr;
    HRESULT m_hrCreate = S_OK;

    ~FakeDirectSound()
    {
        if (m_pLast)
            m_pLast->Release();
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override
    {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateSoundBuffer(LPCDSBUFFERDESC desc, LPLPDIRECTSOUNDBUFFER out, IUnknown*) override
    {
        *out = nullptr;
        if (FAILED(m_hrCreate))
            return m_hrCreate;
        if (m_pLast)
            m_pLast->Release();
        m_pLast = new FakeSoundBuffer(*desc);
        m_pLast->AddRef();
        *out = m_pLast;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetCaps(LPDSCAPS) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DuplicateSoundBuffer(LPDIRECTSOUNDBUFFER, LPLPDIRECTSOUNDBUFFER) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetCooperativeLevel(HWND, DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Compact() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetSpeakerConfig(LPDWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetSpeakerConfig(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Initialize(LPCGUID) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE VerifyCertification(LPDWORD) override { return E_NOTIMPL; }
};
