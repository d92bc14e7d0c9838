#include "OggStream.h"

#include "Log.h"
#include "SoundObject.h"

#include <new>

typedef std::lock_guard<std::recursive_mutex> Guard;

COggStream::COggStream() = default;

COggStream::~COggStream()
{
    // The worker is joined before anything it uses goes away.
    StopThread();
    Guard lock(m_Lock);
    m_nState = STATE_NONE;
    if (m_pStream)
        m_pStream->Stop();
    if (m_pOggStream)
        m_pOggStream->Close();
    m_pStream.reset();
    m_pOggStream.reset();
}

bool COggStream::Init()
{
    Guard lock(m_Lock);
    try
    {
        m_DecodeBuffer.assign(kBlockBytes, 0);
    }
    catch (const std::bad_alloc&)
    {
        g_Log.Printf("m_pOggStream->Init FAILED, LocalAlloc returned NULL\n");
        return false;
    }
    m_nState = STATE_STOPPED;
    return true;
}

bool COggStream::Open(WORD resourceId, const std::string& path)
{
    return Open(resourceId, path, g_pDS);
}

bool COggStream::Open(WORD resourceId, const std::string& path, IDirectSound8* device)
{
    Guard lock(m_Lock);
    if (m_DecodeBuffer.empty())
    {
        g_Log.Printf("m_pOggStream->Open FAILED: not initialised\n");
        return false;
    }
    StopLocked();
    m_pStream.reset();
    m_pOggStream.reset(new COggSoundRead());
    const HRESULT hr = m_pOggStream->Open(resourceId, path.c_str());
    if (FAILED(hr))
    {
        g_Log.Printf("m_pOggStream->Open FAILED: %x\n", static_cast<unsigned>(hr));
        m_pOggStream.reset();
        return false;
    }
    WAVEFORMATEX format;
    m_pOggStream->GetFormat(&format);
    std::unique_ptr<DirectSoundStream> stream(new DirectSoundStream());
    if (!stream->Create(device, format))
    {
        m_pOggStream.reset();
        return false;
    }
    m_pStream = std::move(stream);
    return true;
}

bool COggStream::Fill()
{
    Guard lock(m_Lock);
    return FillLocked();
}

bool COggStream::FillLocked()
{
    if (!m_pOggStream || !m_pStream || m_DecodeBuffer.empty())
        return false;
    if (m_pStream->GetAvailableSize() < kBlockBytes)
        return false;
    uint32_t read = 0;
    // The end is where the reader has nothing left, or where the decoder
    // stops short of the length that it announced.
    bool atEnd = m_pOggStream->GetRemaining() == 0;
    if (!atEnd)
    {
        if (FAILED(m_pOggStream->Read(kBlockBytes, m_DecodeBuffer.data(), &read)))
        {
            g_Log.Printf("m_pOggStream->Read FAILED: %x\n", static_cast<unsigned>(E_FAIL));
            return false;
        }
        atEnd = read == 0;
    }
    if (atEnd)
    {
        if (m_nState != STATE_LOOPING)
        {
            m_pStream->AddSilence(0.1f);
            m_nState = STATE_DRAINING;
            return true;
        }
        if (FAILED(m_pOggStream->Reset()))
            return false;
        if (FAILED(m_pOggStream->Read(kBlockBytes, m_DecodeBuffer.data(), &read)))
        {
            g_Log.Printf("m_pOggStream->Read FAILED: %x\n", static_cast<unsigned>(E_FAIL));
            return false;
        }
        if (read == 0)
            return false;
    }
    return m_pStream->AddSoundData(m_DecodeBuffer.data(), read);
}

bool COggStream::Play(bool loop)
{
    {
        Guard lock(m_Lock);
        if (!m_pOggStream || !m_pStream)
            return false;
        if (IsPlaying())
            StopLocked();
        m_pOggStream->Reset();
        // Up to two blocks are queued before the sound starts.
        m_nState = loop ? STATE_LOOPING : STATE_PLAYING;
        FillLocked();
        FillLocked();
        if (!m_pStream->Play())
        {
            m_nState = STATE_STOPPED;
            return false;
        }
    }
    StartThread();
    return true;
}

bool COggStream::Stop()
{
    Guard lock(m_Lock);
    StopLocked();
    return true;
}

void COggStream::StopLocked()
{
    if (m_pStream)
        m_pStream->Stop();
    if (m_pOggStream && FAILED(m_pOggStream->Reset()))
        g_Log.Printf("m_pOggStream->Reset FAILED: %x\n", static_cast<unsigned>(E_FAIL));
    if (m_nState != STATE_NONE)
        m_nState = STATE_STOPPED;
}

bool COggStream::IsPlaying() const
{
    const int state = m_nState;
    return state == STATE_PLAYING || state == STATE_DRAINING || state == STATE_LOOPING;
}

float COggStream::GetPosition()
{
    Guard lock(m_Lock);
    return m_pOggStream ? m_pOggStream->GetPosition() : 0.0f;
}

float COggStream::GetLength()
{
    Guard lock(m_Lock);
    return m_pOggStream ? m_pOggStream->GetLength() : 0.0f;
}

bool COggStream::SetVolume(int percent)
{
    Guard lock(m_Lock);
    return m_pStream ? m_pStream->SetVolume(percent) : false;
}

void COggStream::ToggleMute()
{
    Guard lock(m_Lock);
    if (m_pStream)
        m_pStream->ToggleMute();
}

DWORD COggStream::Run()
{
    int failedFills = 0;
    while (!IsStopRequested())
    {
        // One step under the lock, so the owner never waits long for it.
        enum
        {
            IDLE,
            POLL,
            AGAIN
        } next = IDLE;
        {
            Guard lock(m_Lock);
            const int state = m_nState;
            if (state != STATE_STOPPED && state != STATE_NONE && m_pStream && m_pOggStream)
            {
                next = POLL;
                if (state != STATE_DRAINING && m_pStream->GetAvailableSize() > kRefillBytes)
                {
                    if (FillLocked())
                        failedFills = 0;
                    else
                        ++failedFills;
                    // A stream that ran dry restarts once enough is queued again.
                    const DWORD queued = m_pStream->GetBufferSize() - m_pStream->GetAvailableSize();
                    if (m_pStream->HasFinished() && queued > kRefillBytes)
                        m_pStream->Play();
                    next = AGAIN;
                }
                if (failedFills >= kMaxFailedFills)
                {
                    g_Log.Printf("OggStream::Run NumFails >= 10\n");
                    StopLocked();
                    failedFills = 0;
                    next = IDLE;
                }
                else if (next == POLL && !m_pStream->IsPlaying())
                {
                    // Played out after the end, or stopped from outside. A
                    // stream that starved while data remains is restarted
                    // by the fills above instead.
                    if (m_nState == STATE_DRAINING || !m_pStream->HasFinished())
                    {
                        m_nState = STATE_STOPPED;
                        next = IDLE;
                    }
                }
            }
        }
        if (next != AGAIN)
            WaitForWake(next == IDLE ? INFINITE : 10);
    }
    return 0;
}
