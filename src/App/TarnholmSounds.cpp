// The train's sounds and the music: loaded while the scene loads, and every
// frame the start-up fade, the volumes, the pitch from the train's speed, the
// sounds' places at the locomotive, the rail clacks and the music player's
// commands.
#include <cmath>

#include "Camera.h"
#include "Log.h"
#include "MusicPlayer.h"
#include "MusicPlaylist.h"
#include "Scene.h"
#include "SoundObject.h"
#include "TarnholmApp.h"
#include "Timer.h"

namespace
{
const float kMinDistance = 10000.0f;
const float kMaxDistance = 1000000.0f;

// State of the per-frame update that lives for the whole process: a later
// application object (another benchmark run) starts nothing again.
void SetVolumeBound(SoundObject* sound, float value)
{
    if (sound)
        sound->SetVolumeRange(int(value * 100.0f));
}
} // namespace

void CTarnholmApp::InitSounds()
{
    CScreensaverApp::InitSounds();
    TuningControl::CManager& tuning = GetTuning();
    if (m_bDirectSoundReady && m_pLocoScene)
    {
        for (int i = 0; i < 7; ++i)
        {
            char name[32];
            std::snprintf(name, sizeof(name), "Dummy_sound_loco%02d", i + 1);
            Object* dummy = m_pLocoScene->FindObject(name);
            if (!dummy)
                g_Log.Printf("Error: the locomotive has no sound dummy \"%s\", its sound stays silent\n", name);
            // Chuff 01, steam 02, rails 03 to 07.
            m_SoundDummies[i] = dummy;
        }
        // The engine's breathing stands with the third rail clack.
        m_SoundDummies[7] = m_SoundDummies[4];
        auto place = [this](SoundObject* sound, int slot) {
            Object* dummy = m_SoundDummies[slot];
            if (!dummy || !sound->IsLoaded())
                return;
            const D3DXMATRIX& w = dummy->GetWorldMatrix();
            const D3DVECTOR position = {w._41, w._42, w._43}, still = {0, 0, 0};
            sound->SetObjectProperties(position, still, kMinDistance, kMaxDistance);
        };
        const float steamVolume = Tuned(tuning, "Sound.SteamVolume", 1.0f);
        m_pChuffSound = LoadSound("chuh-chuh01.ogg", 201, true);
        place(m_pChuffSound, 0);
        SetVolumeBound(m_pChuffSound, steamVolume);
        m_pSteamSound = LoadSound("steam_1_01.ogg", 202, false);
        place(m_pSteamSound, 1);
        SetVolumeBound(m_pSteamSound, steamVolume);
        for (int k = 0; k < 5; ++k)
        {
            char name[16];
            std::snprintf(name, sizeof(name), "rails_%d.ogg", k + 1);
            m_pRailsSounds[k] = LoadSound(name, WORD(203 + k), true);
            place(m_pRailsSounds[k], 2 + k);
        }
        m_pLocoSound = LoadSound("loco_1.ogg", 208, true);
        place(m_pLocoSound, 7);
        for (SoundObject* rails : m_pRailsSounds)
            SetVolumeBound(rails, steamVolume);
        SetVolumeBound(m_pLocoSound, steamVolume);
    }

    if (!m_pMusicPlayer)
        return;
    if (GetSettingInt("UsePlaylist") == 0)
    {
        m_pMusicPlayer->AddTrack(200, CMusicPlayer::eKindOgg, 0, 100, "music01.ogg");
        if (CMusicPlayer::CTrack* first = m_pMusicPlayer->GetTrack(0))
            first->SetVolumeRange(0, int(Tuned(tuning, "Sound.MusicVolume", 1.0f) * 100.0f));
        return;
    }
    std::string text;
    if (FAILED(ReadRegistryString(HKEY_LOCAL_MACHINE, GetSettingsKey().c_str(), "PlayList", text, true)))
        text.clear();
    MusicPlaylist playlist;
    playlist.Parse("", text);
    for (size_t i = 0; i < playlist.GetCount(); ++i)
    {
        const std::string& entry = playlist.GetEntry(i);
        // Only a lower-case "ogg" ending takes the Ogg stream.
        const bool ogg = entry.size() >= 3 && entry.compare(entry.size() - 3, 3, "ogg") == 0;
        if (!m_pMusicPlayer->AddTrack(0, ogg ? CMusicPlayer::eKindOgg : CMusicPlayer::eKindDirectShow, 0, 100, entry))
            g_Log.Printf("Playlist entry \"%s\" can't be played; it is left out\n", entry.c_str());
    }
}

HRESULT CTarnholmApp::UpdateFrame()
{
    if (m_pLocoScene)
        SetCameraAspects(m_pLocoScene.get());
    UpdateSounds();
    return S_OK;
}

void CTarnholmApp::UpdateSounds()
{
    SceneSoundState& state = m_SoundState;
    TuningControl::CManager& tuning = GetTuning();
    const float t = m_pOwnClock ? m_pOwnClock->GetTime() : 0.0f;
    const float fade = StartupFade(t);
    if (t < 3.0f)
    {
        m_fFade = fade;
        if (m_bDirectSoundReady)
        {
            SetSoundsVolume(int(100.0f * fade), false);
            if (!state.chuffStarted && m_pChuffSound)
            {
                m_pChuffSound->PlayBuffer(true);
                state.chuffStarted = true;
            }
            if (!state.locoStarted && m_pLocoSound)
            {
                m_pLocoSound->PlayBuffer(true);
                state.locoStarted = true;
            }
        }
        if (m_bMusicRunning && m_pMusicPlayer)
        {
            const int music = int(GetSettingInt("MusicVolumePercentage") * fade);
            if (!state.musicStarted)
            {
                m_pMusicPlayer->SetMaxVolume(0);
                if (CMusicPlayer::CTrack* track = m_pMusicPlayer->GetCurrentTrack())
                    track->SetVolume(0);
                m_pMusicPlayer->QueuePlay(GetSettingInt("UsePlaylist") == 0, false);
                state.musicStarted = true;
            }
            else
            {
                m_pMusicPlayer->SetMaxVolume(music);
                if (CMusicPlayer::CTrack* track = m_pMusicPlayer->GetCurrentTrack())
                    track->SetVolume(music);
            }
        }
    }
    else
    {
        m_fFade = 1.0f;
        if (m_bDirectSoundReady)
            SetSoundsVolume(100, false);
    }

    if (m_pChuffSound && m_pChuffSound->IsLoaded())
    {
        if (!state.baseTaken)
        {
            state.baseFrequency = m_pChuffSound->GetFrequency();
            state.baseTaken = true;
        }
        const float speed = Tuned(tuning, "Train.Movement.Speed", 3000);
        const float base = float(state.baseFrequency);
        m_pChuffSound->SetFrequency(DWORD(base * SoundPitchFactor(speed, Tuned(tuning, "Train.SteamSound.FrequencyLow", 0.31f),
                                                                    Tuned(tuning, "Train.SteamSound.FrequencyHigh", 1.0f))));
        const DWORD rails = DWORD(base * SoundPitchFactor(speed, Tuned(tuning, "Train.RailsSound.FrequencyLow", 0.6f),
                                                           Tuned(tuning, "Train.RailsSound.FrequencyHigh", 1.6f)));
        for (SoundObject* sound : m_pRailsSounds)
            if (sound)
                sound->SetFrequency(rails);

        SoundObject* sounds[8] = {m_pChuffSound,     m_pSteamSound,     m_pRailsSounds[0], m_pRailsSounds[1],
                                  m_pRailsSounds[2], m_pRailsSounds[3], m_pRailsSounds[4], m_pLocoSound};
        for (int i = 0; i < 8; ++i)
            if (sounds[i] && sounds[i]->Is3D() && m_SoundDummies[i])
            {
                const D3DXMATRIX& w = m_SoundDummies[i]->GetWorldMatrix();
                sounds[i]->SetPosition(w._41, w._42, w._43);
            }

        const float rate = RailClackRate(speed, Tuned(tuning, "Train.RailsSound.RailsSpeedLow", 0.6f),
                                         Tuned(tuning, "Train.RailsSound.RailsSpeedHigh", 1.6f));
        const float now = GetGlobalTimer()->GetTime();
        const float elapsed = state.lastClackTime < 0 ? 0.0f : now - state.lastClackTime;
        state.lastClackTime = now;
        const unsigned due = state.clacks.Advance(elapsed, rate);
        for (int k = 0; k < 5; ++k)
            if ((due & (1u << k)) && m_pRailsSounds[k])
                m_pRailsSounds[k]->PlayBuffer(false);
    }

    if (m_pMusicPlayer)
        m_pMusicPlayer->ProcessCommands();
}
