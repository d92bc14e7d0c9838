#pragma once
// Plays one Ogg Vorbis piece of any length through a DirectSoundStream: the
// reader decodes 40960-byte blocks that are appended to the ring, twice at
// Play and then from the worker whenever more than 81920 bytes are free. At
// the end the piece starts over (looping) or gets 0.1 s of silence and runs
// out.
#include "DirectSoundStream.h"
#include "OggSoundRead.h"
#include "SoundThread.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class COggStream : public CThreadImpl<COggStream>
{
public:
    enum State
    {
        STATE_NONE = 0,
        STATE_STOPPED = 1,
        STATE_PLAYING = 2,
        STATE_DRAINING = 3, // data ended, silence appended, running out
        STATE_LOOPING = 4
    };
    static const uint32_t kBlockBytes = 40960;
    static const uint32_t kRefillBytes = 81920;
    static const int kMaxFailedFills = 10;

    COggStream();
    ~COggStream() override;

    // Order: Init, Open, then Play/Stop any number of times.
    bool Init();
    // The resource with that id, else the file at `path`, on g_pDS.
    bool Open(WORD resourceId, const std::string& path);
    // The same on another device (tests).
    bool Open(WORD resourceId, const std::string& path, IDirectSound8* device);
    // Restarts the piece from its beginning.
    bool Play(bool loop);
    bool Stop();
    // One decode step; false when the ring is full or decoding failed.
    bool Fill();

    // Playing once, draining or looping.
    bool IsPlaying() const;
    State GetState() const { return static_cast<State>(m_nState.load()); }
    // Seconds (0 without an open reader).
    float GetPosition();
    float GetLength();
    bool SetVolume(int percent);
    void ToggleMute();
    DirectSoundStream* GetStream() const { return m_pStream.get(); }

    DWORD Run();

private:
    bool FillLocked();
    void StopLocked();

    std::unique_ptr<COggSoundRead> m_pOggStream;
    std::unique_ptr<DirectSoundStream> m_pStream;
    std::vector<BYTE> m_DecodeBuffer;
    std::recursive_mutex m_Lock;
    std::atomic<int> m_nState{STATE_NONE};
};
