#pragma once
// Plays one music file of any format that DirectShow can render (MP3, WMA,
// WAV, MIDI...) through a filter graph: volume, mute, position, length, play
// once or in a loop. The worker waits on the graph's event handle together
// with its wake event; at the end of the piece it rewinds it and either lets
// it run on (loop) or stops it. An aborted graph is stopped and reported
// stopped, so that whoever waits for the end is not kept waiting.
//
// COM must be initialised on the owner's thread (the application does it
// before the sound set-up).
#include "ComRef.h"
#include "SoundThread.h"

#include <dshow.h>

#include <atomic>
#include <mutex>
#include <string>

class DirectShowObject : public CThreadImpl<DirectShowObject>
{
public:
    enum State
    {
        STATE_NONE = 0,
        STATE_STOPPED = 1,
        STATE_PLAYING = 2
    };

    DirectShowObject();
    ~DirectShowObject() override;

    // Order: Init, Open, then play, stop, volume and queries in any order.
    bool Init();
    bool Open(const std::string& path);
    // Rewinds and runs the graph (a playing piece is stopped first).
    bool Play(bool loop);
    // Stops and rewinds; true at once when already stopped.
    bool Stop();
    bool IsPlaying() const { return m_nState == STATE_PLAYING; }
    State GetState() const { return static_cast<State>(m_nState.load()); }

    bool SetPosition(float seconds);
    float GetPosition();
    float GetDuration();

    bool SetVolume(int percent);
    int GetVolume();
    void ToggleMute();

    DWORD Run();

    // The filter graph (null before Init), for diagnostics and tests.
    IGraphBuilder* GetGraph() const { return m_pGraphBuilder; }

private:
    bool StopLocked();
    bool SetPositionLocked(double seconds);
    // Takes the graph's queued events; with `react`, acts on the end of the
    // piece and on an aborted graph.
    void DrainEventsLocked(bool react);

    // Released in reverse order: audio, position, event, control, graph.
    ComRef<IGraphBuilder> m_pGraphBuilder;
    ComRef<IMediaControl> m_pMediaControl;
    ComRef<IMediaEvent> m_pMediaEvent;
    ComRef<IMediaPosition> m_pMediaPosition;
    ComRef<IBasicAudio> m_pBasicAudio;
    int m_SavedVolume = 0;
    bool m_bMuted = false;
    bool m_bLoop = false;
    std::atomic<int> m_nState{STATE_NONE};
    std::recursive_mutex m_Lock;
};
