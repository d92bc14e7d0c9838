#pragma once
// The background music: an ordered list of tracks, each played by one
// back-end, and a queue of commands that a small state machine works through
// once per frame. QueuePlay queues a whole cycle: start the track at the
// playlist index at the minimum volume, raise it to the maximum and, unless
// the music is continuous, wait for its end, stop it and move on to the next
// track, which queues the next cycle.
//
// The queue and the state machine are platform-free; the back-ends (the BASS
// library when "bass.dll" is usable, else a whole DirectSound sound, an Ogg
// stream or a DirectShow graph) come from a factory that the Windows build
// supplies.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Timer.h"

// One playing piece of music behind a track. Destroying it stops the piece
// and releases what it holds.
class CMusicTrackBackend
{
public:
    virtual ~CMusicTrackBackend() = default;
    virtual void Play(bool loop) = 0;
    virtual void Stop() = 0;
    virtual bool IsPlaying() = 0;
    // A percentage already mapped into the track's volume range.
    virtual void SetVolume(int percent) = 0;
    virtual void ToggleMute() = 0;
    // Seconds; 0 when unknown.
    virtual float GetDuration() = 0;
    virtual float GetPosition() = 0;
};

// Opens tracks on the back-ends and owns what they share (the BASS library).
// It outlives every back-end it made.
class CMusicBackendFactory
{
public:
    virtual ~CMusicBackendFactory() = default;
    // The back-end of the RT_RCDATA resource `resourceId` or else of the file
    // `path` (see CMusicPlayer::AddTrack for the kinds); null when none opens.
    virtual std::unique_ptr<CMusicTrackBackend> Open(uint16_t resourceId, int kind, const std::string& path) = 0;
};

class CMusicPlayer
{
public:
    // Both the command set and the state set.
    enum EState
    {
        eStop = 0,
        ePlay = 1,
        ePlayContinuous = 2,
        ePause = 3,
        eMinVolume = 4,
        eMaxVolume = 5,
        eFadeOut = 6,
        eFadeIn = 7,
        eNext = 8,
        eWaiting = 9,
        eWaitingForFadeOut = 10,
        eNothing = 11
    };

    // Track kinds of AddTrack.
    enum
    {
        eKindWave = 0,
        eKindOgg = 1,
        eKindDirectShow = 2
    };

    class CTrack
    {
    public:
        CTrack(std::unique_ptr<CMusicTrackBackend> backend, int volumeLow, int volumeHigh);
        ~CTrack();

        void Play(bool loop);
        void Stop();
        bool IsPlaying();
        // Maps the percent into low..high, keeps it as the current volume and
        // sends it to the back-end.
        void SetVolume(int percent);
        void ToggleMute();
        float GetDuration();
        float GetPosition();
        // Stops and destroys the back-end; the track is silent afterwards.
        void Release();

        int GetVolume() const { return m_Volume; }
        int GetVolumeLow() const { return m_VolumeLow; }
        int GetVolumeHigh() const { return m_VolumeHigh; }
        void SetVolumeRange(int low, int high)
        {
            m_VolumeLow = low;
            m_VolumeHigh = high;
        }

    private:
        std::unique_ptr<CMusicTrackBackend> m_pBackend;
        int m_VolumeLow = 0;
        int m_VolumeHigh = 100;
        int m_Volume = 100;
    };

    // The system's back-ends (Windows build only).
    CMusicPlayer();
    explicit CMusicPlayer(std::unique_ptr<CMusicBackendFactory> backends);
    ~CMusicPlayer();
    CMusicPlayer(const CMusicPlayer&) = delete;
    CMusicPlayer& operator=(const CMusicPlayer&) = delete;

    // Kind eKindOgg: Ogg Vorbis stream; eKindDirectShow: DirectShow; any
    // other: a whole sound loaded with that kind. The BASS library, when
    // usable, is tried first. False (and no track) when nothing opens it.
    bool AddTrack(uint16_t resourceId, int kind, int volumeLow, int volumeHigh, const std::string& path);
    void QueuePlay(bool continuous, bool fade);
    // Once per frame.
    void ProcessCommands();
    void PushCommand(EState command, bool urgent);
    // Ends a track that is being waited for; continuous music keeps playing.
    void Stop();
    void ToggleMute();

    int GetMaxVolume() const { return m_MaxVolume; }
    void SetMaxVolume(int percent) { m_MaxVolume = percent; }
    int GetMinVolume() const { return m_MinVolume; }
    void SetMinVolume(int percent) { m_MinVolume = percent; }
    // -1 when no track is current.
    int GetCurrentTrackIndex() const { return m_CurrentTrack; }
    CTrack* GetCurrentTrack();
    size_t GetTrackCount() const { return m_Tracks.size(); }
    CTrack* GetTrack(size_t index) { return index < m_Tracks.size() ? m_Tracks[index].get() : nullptr; }
    // -1 until the first QueuePlay.
    int GetPlaylistIndex() const { return m_PlaylistIndex; }
    EState GetState() const { return m_State; }
    size_t GetQueuedCommandCount() const { return m_Queue.size(); }
    float GetFadeInTime() const { return m_FadeInTime; }
    float GetFadeOutTime() const { return m_FadeOutTime; }

private:
    struct Command
    {
        EState command;
        bool urgent;
    };

    void RunCommand(EState command);
    void Poll();

    // Declared first so that it goes last: the tracks' back-ends use it.
    std::unique_ptr<CMusicBackendFactory> m_pBackends;
    std::vector<Command> m_Queue;
    bool m_bUrgentPending = false;
    EState m_State = eStop;
    std::vector<std::unique_ptr<CTrack>> m_Tracks;
    int m_PlaylistIndex = -1;
    int m_CurrentTrack = -1;
    bool m_bContinuous = false;
    bool m_bFade = false;
    CAdjustableLocalTimer m_FadeInTimer;
    CAdjustableLocalTimer m_FadeOutTimer;
    float m_FadeInTime = 1.0f;
    float m_FadeOutTime = 2.0f;
    int m_MaxVolume = 100;
    int m_MinVolume = 0;
};
