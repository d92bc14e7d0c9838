// The application's sound side. Until the sound engine is part of the
// build, the run is silent: the set-up is marked done and nothing plays.
#include "ScreensaverApp.h"
#include "ScreensaverInternal.h"

namespace ScreensaverInternal
{
void SetSoundHandler(CScreensaverApp*) {}
void ClearSoundHandler(CScreensaverApp*) {}
} // namespace ScreensaverInternal

void CScreensaverApp::InitSounds()
{
    m_bSoundSetupPending = false;
    m_bMusicSetupPending = false;
}

void CScreensaverApp::SetSoundsVolume(int, bool) {}

void CScreensaverApp::DeleteSounds() {}

void CScreensaverApp::UpdateSoundListener() {}

bool CScreensaverApp::OnMonitorPower(HWND, UINT, WPARAM, LPARAM)
{
    return false;
}

void CScreensaverApp::StopMusic() {}

void CScreensaverApp::ReleaseSoundDevice() {}

void CScreensaverApp::ToggleMuteAll() {}
