#include "MusicPlayer.h"

#include <cmath>

#include "VolumeLaw.h"

// ---------------------------------------------------------------------------
// CTrack

CMusicPlayer::CTrack::CTrack(std::unique_ptr<CMusicTrackBackend> backend, int volumeLow, int volumeHigh)
    : m_pBackend(std::move(backend)), m_VolumeLow(volumeLow), m_VolumeHigh(volumeHigh)
{
}

CMusicPlayer::CTrack::~CTrack() = default;

void CMusicPlayer::CTrack::Play(bool loop)
{
    if (m_pBackend)
        m_pBackend->Play(loop);
}

void CMusicPlayer::CTrack::Stop()
{
    if (m_pBackend)
        m_pBackend->Stop();
}

bool CMusicPlayer::CTrack::IsPlaying()
{
    return m_pBackend && m_pBackend->IsPlaying();
}

void CMusicPlayer::CTrack::SetVolume(int percent)
{
    const int value = MapVolumeToRange(percent, m_VolumeLow, m_VolumeHigh);
    m_Volume = value;
    if (m_pBackend)
        m_pBackend->SetVolume(value);
}

void CMusicPlayer::CTrack::ToggleMute()
{
    if (m_pBackend)
        m_pBackend->ToggleMute();
}

float CMusicPlayer::CTrack::GetDuration()
{
    return m_pBackend ? m_pBackend->GetDuration() : 0.0f;
}

float CMusicPlayer::CTrack::GetPosition()
{
    return m_pBackend ? m_pBackend->GetPosition() : 0.0f;
}

void CMusicPlayer::CTrack::Release()
{
    if (m_pBackend)
        m_pBackend->Stop();
    m_pBackend.reset();
}

// ---------------------------------------------------------------------------
// CMusicPlayer

CMusicPlayer::CMusicPlayer(std::unique_ptr<CMusicBackendFactory> backends) : m_pBackends(std::move(backends))
{
}

CMusicPlayer::~CMusicPlayer()
{
    Stop();
    for (std::unique_ptr<CTrack>& track : m_Tracks)
        track->Release();
    m_Tracks.clear();
    m_pBackends.reset();
}

bool CMusicPlayer::AddTrack(uint16_t resourceId, int kind, int volumeLow, int volumeHigh, const std::string& path)
{
    std::unique_ptr<CMusicTrackBackend> backend;
    if (m_pBackends)
        backend = m_pBackends->Open(resourceId, kind, path);
    if (!backend)
        return false;
    std::unique_ptr<CTrack> track(new CTrack(std::move(backend), volumeLow, volumeHigh));
    track->SetVolume(0);
    m_Tracks.push_back(std::move(track));
    return true;
}

CMusicPlayer::CTrack* CMusicPlayer::GetCurrentTrack()
{
    if (m_CurrentTrack < 0 || size_t(m_CurrentTrack) >= m_Tracks.size())
        return nullptr;
    return m_Tracks[size_t(m_CurrentTrack)].get();
}

void CMusicPlayer::PushCommand(EState command, bool urgent)
{
    m_Queue.push_back({command, urgent});
    if (!urgent)
        return;
    // An urgent command drops the ordinary commands waiting before it.
    while (!m_Queue.front().urgent)
        m_Queue.erase(m_Queue.begin());
    m_bUrgentPending = true;
}

void CMusicPlayer::QueuePlay(bool continuous, bool fade)
{
    if (m_Tracks.empty())
    {
        ProcessCommands();
        return;
    }
    if (m_PlaylistIndex == -1)
        m_PlaylistIndex = 0;
    m_bContinuous = continuous;
    m_bFade = fade;

    const bool playing = m_State == ePlay || m_State == ePlayContinuous;
    PushCommand(eNothing, true);
    if (playing)
    {
        if (fade)
        {
            PushCommand(eFadeOut, false);
            PushCommand(eMinVolume, false);
        }
        PushCommand(eStop, false);
    }
    PushCommand(eMinVolume, false);
    PushCommand(continuous ? ePlayContinuous : ePlay, false);
    if (fade)
        PushCommand(eFadeIn, false);
    PushCommand(eMaxVolume, false);
    if (fade)
    {
        PushCommand(eWaitingForFadeOut, false);
        if (!continuous)
        {
            PushCommand(eFadeOut, false);
            PushCommand(eMinVolume, false);
            PushCommand(eStop, false);
            PushCommand(eNext, false);
        }
    }
    else if (!continuous)
    {
        PushCommand(eWaiting, false);
        PushCommand(eStop, false);
        PushCommand(eNext, false);
    }
    ProcessCommands();
}

void CMusicPlayer::ProcessCommands()
{
    if (m_PlaylistIndex == -1)
        return;
    while (m_bUrgentPending || (m_State == eNothing && !m_Queue.empty()))
    {
        EState command = eStop;
        if (!m_Queue.empty())
        {
            command = m_Queue.front().command;
            m_Queue.erase(m_Queue.begin());
        }
        m_bUrgentPending = !m_Queue.empty() && m_Queue.front().urgent;
        m_State = command;
        RunCommand(command);
    }
    Poll();
}

void CMusicPlayer::RunCommand(EState command)
{
    CTrack* current = GetCurrentTrack();
    switch (command)
    {
    case eStop:
        if (current)
            current->Stop();
        m_CurrentTrack = -1;
        m_State = eNothing;
        break;
    case ePlay:
    case ePlayContinuous:
        m_CurrentTrack = m_PlaylistIndex;
        if (CTrack* track = GetCurrentTrack())
            track->Play(command == ePlayContinuous);
        m_State = eNothing;
        break;
    case eMinVolume:
    case eMaxVolume:
        if (current)
            current->SetVolume(command == eMinVolume ? m_MinVolume : m_MaxVolume);
        m_State = eNothing;
        break;
    case eFadeIn:
        m_FadeInTimer.SetTime(0);
        break;
    case eFadeOut:
        m_FadeOutTimer.SetTime(0);
        break;
    case eNext:
        if (!m_Tracks.empty())
            m_PlaylistIndex = (m_PlaylistIndex + 1) % int(m_Tracks.size());
        if (!m_Queue.empty())
            m_State = eNothing;
        else
            QueuePlay(m_bContinuous, m_bFade);
        break;
    case ePause:
    case eWaiting:
    case eWaitingForFadeOut:
    case eNothing:
        break;
    }
}

void CMusicPlayer::Poll()
{
    CTrack* current = GetCurrentTrack();
    switch (m_State)
    {
    case eWaiting:
        if (!current || !current->IsPlaying())
            m_State = eNothing;
        break;
    case eWaitingForFadeOut:
        if (!current || !current->IsPlaying())
            m_State = eNothing;
        else
        {
            // A back-end that cannot tell its length ends the wait when it stops.
            const float duration = current->GetDuration();
            if (duration > 0 && current->GetPosition() > duration - m_FadeOutTime)
                m_State = eNothing;
        }
        break;
    case eFadeIn:
    case eFadeOut:
    {
        // A fade without a track has nothing to wait for.
        if (!current)
        {
            m_State = eNothing;
            break;
        }
        const bool in = m_State == eFadeIn;
        const float length = in ? m_FadeInTime : m_FadeOutTime;
        const float t = in ? m_FadeInTimer.GetTime() : m_FadeOutTimer.GetTime();
        if (t >= length)
        {
            m_State = eNothing;
            break;
        }
        const float share = in ? t / length : 1.0f - t / length;
        current->SetVolume(static_cast<int>(std::trunc(m_MinVolume + (m_MaxVolume - m_MinVolume) * share)));
        break;
    }
    default:
        break;
    }
}

void CMusicPlayer::Stop()
{
    if (m_State != eWaiting && m_State != eWaitingForFadeOut)
        return;
    PushCommand(eNothing, true);
    PushCommand(eStop, false);
    ProcessCommands();
}

void CMusicPlayer::ToggleMute()
{
    for (std::unique_ptr<CTrack>& track : m_Tracks)
        track->ToggleMute();
}
