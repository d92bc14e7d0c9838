#pragma once
// A looping DirectSound buffer of three seconds that a producer fills at a
// circular write cursor. Its worker follows the clock and stops the buffer
// once the bytes that must have been played reach the bytes written, so a
// producer that falls behind never lets the loop replay stale data. Every
// operation holds the stream's lock.
#include "ComRef.h"
#include "SoundThread.h"

#include <mmsystem.h>
#include <dsound.h>

#include <cstdint>
#include <mutex>

class DirectSoundStream : public CThreadImpl<DirectSoundStream>
{
public:
    // Milliseconds; timeGetTime unless a test sets another clock.
    typedef DWORD (*ClockFn)();

    DirectSoundStream();
    ~DirectSoundStream() override;

    // A ring of three seconds in `format` on `device`.
    bool Create(IDirectSound8* device, WAVEFORMATEX format);
    // Starts the looping buffer and lets the worker watch it.
    bool Play();
    // Only acts while playing; rewinds the ring and the counters.
    bool Stop();
    // Bytes that may be written now.
    DWORD GetAvailableSize();
    // Refuses the whole block when it does not fit.
    bool AddSoundData(const BYTE* data, DWORD size);
    bool AddSilence(float seconds);

    bool SetVolume(int percent);
    int GetVolume();
    void ToggleMute();
    bool IsMuted() const { return m_bMuted; }

    bool IsPlaying();
    // Stopped by the worker because the data ran out.
    bool HasFinished();
    DWORD GetBufferSize();
    uint64_t GetBytesWritten();
    const WAVEFORMATEX& GetFormat() const { return m_Format; }

    void SetClock(ClockFn clock);
    // How often the worker looks at the clock while playing (ms).
    static const DWORD kPollMilliseconds = 50;

    DWORD Run();

private:
    DWORD GetAvailableSizeLocked();
    bool StopLocked();
    // The worker's step: stops the buffer once the clock has passed the
    // bytes written. True while playing.
    bool CheckStarvation();

    std::recursive_mutex m_Lock;
    ComRef<IDirectSoundBuffer> m_pSoundBuffer;
    DSBCAPS m_Caps;
    DSBUFFERDESC m_Desc;
    WAVEFORMATEX m_Format;
    DWORD m_dwWriteCursor = 0;
    int m_nSavedVolume = 0;
    bool m_bMuted = false;
    bool m_bEnded = false;
    uint64_t m_BytesWritten = 0;
    DWORD m_dwStartTime = 0;
    int m_nState = 0; // 0 not created, 1 stopped, 2 playing
    ClockFn m_Clock;
};
