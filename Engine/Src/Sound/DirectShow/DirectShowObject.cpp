#include "DirectShowObject.h"

#include "Log.h"
#include "VolumeLaw.h"

namespace
{
typedef std::lock_guard<std::recursive_mutex> Guard;

bool IsAbortEvent(long code)
{
    return code == EC_ERRORABORT || code == EC_USERABORT || code == EC_ERRORABORTEX;
}
} // namespace

DirectShowObject::DirectShowObject() = default;

DirectShowObject::~DirectShowObject()
{
    // The worker is joined before the graph it waits on goes away.
    StopThread();
    Guard lock(m_Lock);
    if (m_nState == STATE_PLAYING)
        StopLocked();
    m_pBasicAudio.Reset();
    m_pMediaPosition.Reset();
    m_pMediaEvent.Reset();
    m_pMediaControl.Reset();
    m_pGraphBuilder.Reset();
    m_nState = STATE_NONE;
}

bool DirectShowObject::Init()
{
    Guard lock(m_Lock);
    if (m_nState != STATE_NONE)
        return true;
    HRESULT hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                  m_pGraphBuilder.PutVoid());
    if (FAILED(hr))
    {
        g_Log.Printf("CoCreateInstance(CLSID_FilterGraph) FAILED: %x\n", static_cast<unsigned>(hr));
        m_pGraphBuilder.Reset();
        return false;
    }
    hr = m_pGraphBuilder->QueryInterface(IID_IMediaControl, m_pMediaControl.PutVoid());
    if (FAILED(hr))
    {
        m_pMediaControl.Reset();
        g_Log.Printf("m_pGraphBuilder->QueryInterface(IID_IMediaControl) FAILED: %x\n", static_cast<unsigned>(hr));
    }
    hr = m_pGraphBuilder->QueryInterface(IID_IMediaEvent, m_pMediaEvent.PutVoid());
    if (FAILED(hr))
    {
        m_pMediaEvent.Reset();
        g_Log.Printf("m_pGraphBuilder->QueryInterface(IID_IMediaEvent) FAILED: %x\n", static_cast<unsigned>(hr));
    }
    hr = m_pGraphBuilder->QueryInterface(IID_IMediaPosition, m_pMediaPosition.PutVoid());
    if (FAILED(hr))
    {
        m_pMediaPosition.Reset();
        g_Log.Printf("m_pGraphBuilder->QueryInterface(IID_IMediaPosition) FAILED: %x\n", static_cast<unsigned>(hr));
    }
    hr = m_pGraphBuilder->QueryInterface(IID_IBasicAudio, m_pBasicAudio.PutVoid());
    if (FAILED(hr))
    {
        m_pBasicAudio.Reset();
        g_Log.Printf("m_pGraphBuilder->QueryInterface(IID_IBasicAudio) FAILED: %x\n", static_cast<unsigned>(hr));
    }
    m_nState = STATE_STOPPED;
    return true;
}

bool DirectShowObject::Open(const std::string& path)
{
    Guard lock(m_Lock);
    if (!m_pGraphBuilder)
        return false;
    const int length = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
    if (length <= 0)
    {
        g_Log.Printf("DirectShowObject::Open: MultiByteToWideChar FAILED: %u\n", static_cast<unsigned>(GetLastError()));
        return false;
    }
    std::wstring widePath(static_cast<size_t>(length), L'\0');
    if (MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, &widePath[0], length) != length)
    {
        g_Log.Printf("DirectShowObject::Open: MultiByteToWideChar FAILED: %u\n", static_cast<unsigned>(GetLastError()));
        return false;
    }
    const HRESULT hr = m_pGraphBuilder->RenderFile(widePath.c_str(), nullptr);
    if (FAILED(hr))
    {
        g_Log.Printf("m_pGraphBuilder->RenderFile FAILED: %x\n", static_cast<unsigned>(hr));
        return false;
    }
    // A file with video never opens a window.
    ComRef<IVideoWindow> videoWindow;
    if (SUCCEEDED(m_pGraphBuilder->QueryInterface(IID_IVideoWindow, videoWindow.PutVoid())) && videoWindow)
        videoWindow->put_AutoShow(OAFALSE);
    return true;
}

bool DirectShowObject::Play(bool loop)
{
    Guard lock(m_Lock);
    if (!m_pMediaControl)
        return false;
    if (m_nState == STATE_PLAYING)
        StopLocked();
    const HRESULT hr = m_pMediaControl->Run();
    if (FAILED(hr))
    {
        g_Log.Printf("m_pMediaControl->Run FAILED: %x\n", static_cast<unsigned>(hr));
        return false;
    }
    m_bLoop = loop;
    m_nState = STATE_PLAYING;
    StartThread();
    return true;
}

bool DirectShowObject::Stop()
{
    Guard lock(m_Lock);
    if (!m_pMediaControl)
        return false;
    if (m_nState == STATE_STOPPED)
        return true;
    return StopLocked();
}

bool DirectShowObject::StopLocked()
{
    const HRESULT hr = m_pMediaControl->Stop();
    if (FAILED(hr))
    {
        g_Log.Printf("m_pMediaControl->Stop FAILED: %x\n", static_cast<unsigned>(hr));
        return false;
    }
    SetPositionLocked(0);
    // An end reported before the stop must not end the next run.
    DrainEventsLocked(false);
    m_nState = STATE_STOPPED;
    return true;
}

bool DirectShowObject::SetPosition(float seconds)
{
    Guard lock(m_Lock);
    return SetPositionLocked(seconds);
}

bool DirectShowObject::SetPositionLocked(double seconds)
{
    if (!m_pMediaPosition)
        return false;
    const HRESULT hr = m_pMediaPosition->put_CurrentPosition(seconds);
    if (FAILED(hr))
        g_Log.Printf("m_pMediaPosition->put_CurrentPosition FAILED: %x\n", static_cast<unsigned>(hr));
    return true;
}

float DirectShowObject::GetPosition()
{
    Guard lock(m_Lock);
    if (!m_pMediaPosition)
        return 0;
    REFTIME position = 0;
    const HRESULT hr = m_pMediaPosition->get_CurrentPosition(&position);
    if (FAILED(hr))
        g_Log.Printf("m_pMediaPosition->get_CurrentPosition FAILED: %x\n", static_cast<unsigned>(hr));
    return static_cast<float>(position);
}

float DirectShowObject::GetDuration()
{
    Guard lock(m_Lock);
    if (!m_pMediaPosition)
        return 0;
    REFTIME duration = 0;
    const HRESULT hr = m_pMediaPosition->get_Duration(&duration);
    if (FAILED(hr))
        g_Log.Printf("m_pMediaPosition->get_Duration FAILED: %x\n", static_cast<unsigned>(hr));
    return static_cast<float>(duration);
}

bool DirectShowObject::SetVolume(int percent)
{
    Guard lock(m_Lock);
    if (!m_pBasicAudio)
        return false;
    if (m_bMuted)
    {
        m_SavedVolume = percent;
        return true;
    }
    const HRESULT hr = m_pBasicAudio->put_Volume(PercentToDecibels(percent));
    if (FAILED(hr))
    {
        g_Log.Printf("m_pBasicAudio->put_Volume FAILED: %x\n", static_cast<unsigned>(hr));
        return false;
    }
    return true;
}

int DirectShowObject::GetVolume()
{
    Guard lock(m_Lock);
    if (!m_pBasicAudio)
        return 0;
    long volume = 0;
    const HRESULT hr = m_pBasicAudio->get_Volume(&volume);
    if (FAILED(hr))
        g_Log.Printf("m_pBasicAudio->get_Volume FAILED: %x\n", static_cast<unsigned>(hr));
    return DecibelsToPercent(static_cast<int>(volume));
}

void DirectShowObject::ToggleMute()
{
    Guard lock(m_Lock);
    if (!m_bMuted)
    {
        m_SavedVolume = GetVolume();
        SetVolume(0);
        m_bMuted = true;
    }
    else
    {
        m_bMuted = false;
        SetVolume(m_SavedVolume);
    }
}

void DirectShowObject::DrainEventsLocked(bool react)
{
    if (!m_pMediaEvent)
        return;
    long code = 0;
    LONG_PTR param1 = 0, param2 = 0;
    while (SUCCEEDED(m_pMediaEvent->GetEvent(&code, &param1, &param2, 0)))
    {
        m_pMediaEvent->FreeEventParams(code, param1, param2);
        if (!react || m_nState != STATE_PLAYING)
            continue;
        if (code == EC_COMPLETE)
        {
            // The graph keeps running: a looping piece starts over at once.
            SetPositionLocked(0);
            if (!m_bLoop)
                StopLocked();
        }
        else if (IsAbortEvent(code))
        {
            g_Log.Printf("DirectShowObject: the graph stopped with event %x (%x)\n", static_cast<unsigned>(code),
                         static_cast<unsigned>(param1));
            StopLocked();
        }
    }
}

DWORD DirectShowObject::Run()
{
    HANDLE events[2] = {m_hWake, nullptr};
    {
        Guard lock(m_Lock);
        if (!m_pMediaEvent)
            return 1;
        OAEVENT handle = 0;
        const HRESULT hr = m_pMediaEvent->GetEventHandle(&handle);
        if (FAILED(hr) || !handle)
        {
            g_Log.Printf("m_pMediaEvent->GetEventHandle FAILED: %x\n", static_cast<unsigned>(hr));
            if (m_nState == STATE_PLAYING)
                StopLocked();
            return 1;
        }
        events[1] = reinterpret_cast<HANDLE>(handle);
    }
    DWORD result = 0;
    while (!IsStopRequested())
    {
        const DWORD wait = WaitForMultipleObjects(2, events, FALSE, INFINITE);
        if (wait == WAIT_OBJECT_0)
            continue; // woken: look at the stop request
        if (wait != WAIT_OBJECT_0 + 1)
        {
            g_Log.Printf("DirectShowObject: waiting for the graph FAILED: %u\n", static_cast<unsigned>(GetLastError()));
            result = 1;
            break;
        }
        Guard lock(m_Lock);
        DrainEventsLocked(true);
    }
    // Whoever waits for the end must not wait for a worker that has gone.
    if (!IsStopRequested())
    {
        Guard lock(m_Lock);
        if (m_nState == STATE_PLAYING)
            StopLocked();
    }
    return result;
}
