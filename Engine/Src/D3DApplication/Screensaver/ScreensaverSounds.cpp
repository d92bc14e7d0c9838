// The application's sound side: DirectSound and the music player set up by
// the settings, the scene's sounds loaded and kept at the user's volume,
// everything turned down while the monitor is off, the listener at the
// camera every frame, and all of it deleted at the end.
#include <cmath>
#include <cstring>

#include "Camera.h"
#include "Log.h"
#include "MusicPlayer.h"
#include "Scene.h"
#include "ScreensaverApp.h"
#include "ScreensaverInternal.h"
#include "SoundObject.h"

namespace
{
const char kSourcePath[] = "..\\src\\D3DApplication\\Screensaver\\ScreensaverSounds";

bool EndsWith(const char* text, const char* tail)
{
    const size_t n = std::strlen(text), m = std::strlen(tail);
    return n >= m && std::strcmp(text + n - m, tail) == 0;
}

void LogErrorLine(unsigned line)
{
    g_Log.Printf("Error in %s, line %u\n", kSourcePath, line);
}
} // namespace

namespace ScreensaverInternal
{
void SetSoundHandler(CScreensaverApp* app)
{
    SetSoundLoadingProgressHandler(app);
}

void ClearSoundHandler(CScreensaverApp* app)
{
    if (g_pSoundLoadingProgressHandler == static_cast<SoundObject::CLoadingProgressHandler*>(app))
        SetSoundLoadingProgressHandler(nullptr);
}
} // namespace ScreensaverInternal

bool CScreensaverApp::StartDirectSound()
{
    g_bHardwareSoundBuffers = 1;
    const HRESULT co = CoInitialize(nullptr);
    if (FAILED(co))
        g_Log.Printf("  InitDirectSound error: CoInitialize returned %x\n", unsigned(co));
    return SUCCEEDED(InitDirectSound(m_hWnd));
}

void CScreensaverApp::SetMeterScale()
{
    Object* first = m_pMainScene ? m_pMainScene->FindObject("Dummy_meter01") : nullptr;
    Object* second = m_pMainScene ? m_pMainScene->FindObject("Dummy_meter02") : nullptr;
    if (!first || !second)
        return;
    const D3DXMATRIX& a = first->GetWorldMatrix();
    const D3DXMATRIX& b = second->GetWorldMatrix();
    const float dx = a._41 - b._41, dy = a._42 - b._42, dz = a._43 - b._43;
    const float d = std::sqrt(dx * dx + dy * dy + dz * dz);
    if (!(d > 0.0f) || !std::isfinite(d))
    {
        // Two dummies in one place give no length: the factor stays.
        g_Log.Printf("Warning: the metre dummies give no length, the sound distance factor stays\n");
        return;
    }
    if (FAILED(SetDistanceFactor(1.0f / d)))
        LogErrorLine(__LINE__);
}

void CScreensaverApp::InitSounds()
{
    if (m_bSoundSetupPending)
    {
        m_bSoundSetupPending = false;
        if (GetSettingInt("DisableSound") == 0)
        {
            if (StartDirectSound())
            {
                m_bDirectSoundReady = true;
                SetMeterScale();
            }
            else
            {
                g_Log.Printf("Warning: DirectSound init failed!\n");
                SetSettingInt("DisableSound", 1);
            }
        }
    }
    if (m_bMusicSetupPending)
    {
        m_bMusicSetupPending = false;
        m_pMusicPlayer = std::make_unique<CMusicPlayer>();
        if (GetSettingInt("DisableMusic") == 0)
        {
            if (m_bDirectSoundReady || StartDirectSound())
                m_bMusicRunning = true;
            else
            {
                g_Log.Printf("Warning: DirectSound init failed!\n");
                SetSettingInt("DisableMusic", 1);
            }
        }
    }
}

SoundObject* CScreensaverApp::LoadSound(const char* name, WORD resourceId, bool frequencyControl)
{
    auto sound = std::make_unique<SoundObject>();
    if (m_bDirectSoundReady)
    {
        if (name)
            g_Log.Printf("Loading sound %s\n", name);
        const bool wave = name && std::strlen(name) > 4 && (EndsWith(name, ".wav") || EndsWith(name, ".WAV"));
        if (FAILED(sound->Load(resourceId, name, wave ? SoundObject::KIND_WAVE : SoundObject::KIND_OGG, true,
                               frequencyControl)))
            LogErrorLine(__LINE__);
        else if (FAILED(sound->SetVolume(GetSettingInt("SoundsVolumePercentage"))))
            LogErrorLine(__LINE__);
    }
    m_Sounds.push_back(std::move(sound));
    return m_Sounds.back().get();
}

void CScreensaverApp::SetSoundsVolume(int percent, bool loadedOnly)
{
    const int volume = GetSettingInt("SoundsVolumePercentage") * percent / 100;
    for (const std::unique_ptr<SoundObject>& sound : m_Sounds)
        if (!loadedOnly || sound->IsLoaded())
            sound->SetVolume(volume);
}

void CScreensaverApp::DeleteSounds()
{
    m_Sounds.clear();
    m_pMusicPlayer.reset();
}

void CScreensaverApp::UpdateSoundListener()
{
    UpdateAllSounds();
    Camera* camera = m_pMainScene ? m_pMainScene->GetActiveCamera() : nullptr;
    if (!camera)
        return;
    const D3DXMATRIX& world = camera->GetWorldMatrix();
    g_vListenerPosition.x = world._41;
    g_vListenerPosition.y = world._42;
    g_vListenerPosition.z = world._43;
    // Both directions come with the camera's axis exchange applied.
    const D3DXVECTOR3 front = camera->GetLookDirection();
    const D3DXVECTOR3 top = camera->GetUpVector();
    UpdateListener(front, top, 0.0f);
}

bool CScreensaverApp::OnMonitorPower(HWND, UINT, WPARAM wParam, LPARAM)
{
    const bool on = wParam == 0;
    SetSoundsVolume(on ? 100 : 0, false);
    if (m_pMusicPlayer)
    {
        const int music = on ? GetSettingInt("MusicVolumePercentage") : 0;
        m_pMusicPlayer->SetMaxVolume(music);
        if (CMusicPlayer::CTrack* track = m_pMusicPlayer->GetCurrentTrack())
            track->SetVolume(music);
    }
    return false;
}

void CScreensaverApp::StopMusic()
{
    if (m_pMusicPlayer)
        m_pMusicPlayer->Stop();
}

void CScreensaverApp::ReleaseSoundDevice()
{
    ReleaseDirectSound();
}

void CScreensaverApp::ToggleMuteAll()
{
    ToggleMuteAllSounds();
    if (m_pMusicPlayer)
        m_pMusicPlayer->ToggleMute();
}
