// The music player's back-ends on Windows: the BASS library when it is there
// and usable, otherwise a whole DirectSound sound, an Ogg Vorbis stream or a
// DirectShow graph, by the track's kind.
#include "MusicPlayer.h"

#include "BassLibrary.h"
#include "Log.h"
#include "DirectShowObject.h"
#include "OggStream.h"
#include "SoundObject.h"
#include "SoundResource.h"

namespace
{
// What differs between the built-in players: a whole sound plays with
// PlayBuffer, has no position and tells its length as its duration; the Ogg
// stream tells its length as GetLength.
void PlayPiece(SoundObject& sound, bool loop)
{
    sound.PlayBuffer(loop);
}
template <class T>
void PlayPiece(T& player, bool loop)
{
    player.Play(loop);
}
float PieceLength(COggStream& stream)
{
    return stream.GetLength();
}
template <class T>
float PieceLength(T& player)
{
    return player.GetDuration();
}
float PiecePosition(SoundObject&)
{
    return 0;
}
template <class T>
float PiecePosition(T& player)
{
    return player.GetPosition();
}

// A track on one of the built-in players (SoundObject, COggStream,
// DirectShowObject), which it owns.
template <class T>
class CBuiltInTrack : public CMusicTrackBackend
{
public:
    explicit CBuiltInTrack(std::unique_ptr<T> player) : m_pPlayer(std::move(player)) {}
    ~CBuiltInTrack() override { m_pPlayer->Stop(); }
    void Play(bool loop) override { PlayPiece(*m_pPlayer, loop); }
    void Stop() override { m_pPlayer->Stop(); }
    bool IsPlaying() override { return m_pPlayer->IsPlaying(); }
    void SetVolume(int percent) override { m_pPlayer->SetVolume(percent); }
    void ToggleMute() override { m_pPlayer->ToggleMute(); }
    float GetDuration() override { return PieceLength(*m_pPlayer); }
    float GetPosition() override { return PiecePosition(*m_pPlayer); }

private:
    std::unique_ptr<T> m_pPlayer;
};

template <class T>
std::unique_ptr<CMusicTrackBackend> BuiltInTrack(std::unique_ptr<T> player)
{
    return std::unique_ptr<CMusicTrackBackend>(new CBuiltInTrack<T>(std::move(player)));
}

// A BASS stream. BASS volumes are the library's global stream volume, which
// all BASS tracks share.
class CBassTrack : public CMusicTrackBackend
{
public:
    explicit CBassTrack(Bass::HSTREAM stream) : m_Stream(stream) {}
    ~CBassTrack() override
    {
        Bass::g_Entry.ChannelStop(m_Stream);
        Bass::g_Entry.StreamFree(m_Stream);
    }
    void Play(bool loop) override
    {
        Bass::g_Entry.ChannelFlags(m_Stream, loop ? Bass::kSampleLoop : 0, Bass::kSampleLoop);
        Bass::g_Entry.ChannelPlay(m_Stream, TRUE);
    }
    void Stop() override { Bass::g_Entry.ChannelStop(m_Stream); }
    bool IsPlaying() override { return Bass::g_Entry.ChannelIsActive(m_Stream) == Bass::kActivePlaying; }
    void SetVolume(int percent) override
    {
        if (m_bMuted)
            m_SavedVolume = percent * 100;
        else
            Bass::g_Entry.SetConfig(Bass::kConfigStreamVolume, static_cast<DWORD>(percent * 100));
    }
    void ToggleMute() override
    {
        if (!m_bMuted)
        {
            m_SavedVolume = static_cast<int>(Bass::g_Entry.GetConfig(Bass::kConfigStreamVolume));
            Bass::g_Entry.SetConfig(Bass::kConfigStreamVolume, 0);
            m_bMuted = true;
        }
        else
        {
            Bass::g_Entry.SetConfig(Bass::kConfigStreamVolume, static_cast<DWORD>(m_SavedVolume));
            m_bMuted = false;
        }
    }
    // Without BASS_ChannelGetLength the length is unknown (0).
    float GetDuration() override
    {
        if (!Bass::g_Entry.ChannelGetLength)
            return 0;
        return Seconds(Bass::g_Entry.ChannelGetLength(m_Stream, Bass::kPosByte));
    }
    float GetPosition() override { return Seconds(Bass::g_Entry.ChannelGetPosition(m_Stream, Bass::kPosByte)); }

private:
    float Seconds(Bass::QWORD bytes)
    {
        if (bytes == Bass::kPositionError)
            return 0;
        const double seconds = Bass::g_Entry.ChannelBytes2Seconds(m_Stream, bytes);
        return seconds > 0 ? static_cast<float>(seconds) : 0.0f;
    }

    Bass::HSTREAM m_Stream;
    int m_SavedVolume = 0;
    bool m_bMuted = false;
};

class CSystemMusicBackends : public CMusicBackendFactory
{
public:
    std::unique_ptr<CMusicTrackBackend> Open(uint16_t resourceId, int kind, const std::string& path) override
    {
        if (m_Bass.Usable())
        {
            bool failed = false;
            const Bass::HSTREAM stream = OpenBassStream(resourceId, path, failed);
            if (failed)
                return nullptr;
            if (stream)
                return std::unique_ptr<CMusicTrackBackend>(new CBassTrack(stream));
        }
        switch (kind)
        {
        case CMusicPlayer::eKindDirectShow:
        {
            std::unique_ptr<DirectShowObject> player(new DirectShowObject);
            if (!player->Init() || !player->Open(path))
                return nullptr;
            return BuiltInTrack(std::move(player));
        }
        case CMusicPlayer::eKindOgg:
        {
            std::unique_ptr<COggStream> stream(new COggStream);
            if (!stream->Init() || !stream->Open(resourceId, path))
                return nullptr;
            return BuiltInTrack(std::move(stream));
        }
        default:
        {
            std::unique_ptr<SoundObject> sound(new SoundObject);
            if (FAILED(sound->Load(resourceId, path.c_str(), kind, false, false)))
                return nullptr;
            return BuiltInTrack(std::move(sound));
        }
        }
    }

private:
    // A stream over the RT_RCDATA resource when there is one, else over the
    // file; 0 when neither opens. `failed` is set when the resource exists
    // but cannot be read.
    static Bass::HSTREAM OpenBassStream(uint16_t resourceId, const std::string& path, bool& failed)
    {
        Bass::HSTREAM stream = 0;
        SoundResource resource;
        if (resourceId && FindSoundResource(resourceId, &resource))
        {
            if (!resource.bytes)
            {
                g_Log.Printf("  CMusicPlayer::AddTrack::LockResource error: returned NULL\n");
                FreeSoundResource(&resource);
                failed = true;
                return 0;
            }
            // The resource stays mapped with the program, so the stream may
            // read from it for as long as it plays.
            stream = Bass::g_Entry.StreamCreateFile(TRUE, resource.bytes, 0, resource.size, 0);
            FreeSoundResource(&resource);
        }
        if (!stream)
        {
            stream = Bass::g_Entry.StreamCreateFile(FALSE, path.c_str(), 0, 0, 0);
            if (!stream)
                g_Log.Printf("BASS_StreamCreateFile FAILED with error: %d!\n", Bass::ErrorCode());
        }
        return stream;
    }

    Bass::CLibrary m_Bass;
};
} // namespace

CMusicPlayer::CMusicPlayer() : CMusicPlayer(std::unique_ptr<CMusicBackendFactory>(new CSystemMusicBackends))
{
}
