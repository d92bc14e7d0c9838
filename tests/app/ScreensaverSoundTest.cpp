// The screensaver application's sound side under Wine: the sound and music
// switches, sounds loaded by name, their volume as the user's share, the
// monitor-power mute, heard through the project's ALSA sink.
#include <gtest/gtest.h>

#include <windows.h>

#include "Capture.h"
#include "Log.h"
#include "MusicPlayer.h"
#include "ScreensaverApp.h"
#include "SoundObject.h"
#include "TempFile.h"
#include "WaveEncode.h"

namespace
{
class SoundSaver : public CScreensaverApp
{
public:
    using CD3DApplication::m_hWnd;
    using CScreensaverApp::m_bDirectSoundReady;
    using CScreensaverApp::m_bMusicRunning;
    using CScreensaverApp::m_pMusicPlayer;
    using CScreensaverApp::m_Sounds;
    using CScreensaverApp::ReleaseSoundDevice;

    void LoadScene() override {}
    void SaveToggledSettings() override {}
    void RenderFrame() override {}
};

class ScreensaverSound : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        DeleteFileA(Capture::Path().c_str()); // the sink appends
        s_Tone = WriteTemp("tarnholm_app_tone.wav", WaveEncode::Tone(22050, 22050, 1000.0f, 0.5f));
    }
    static void TearDownTestSuite() { DeleteFileA(s_Tone.c_str()); }

    void SetUp() override
    {
        ASSERT_FALSE(Capture::Path().empty()) << "TARNHOLM_SOUND_CAPTURE is not set";
        m_Window = CreateWindowA("STATIC", "sound", WS_POPUP, 0, 0, 16, 16, nullptr, nullptr, nullptr, nullptr);
        m_pApp.reset(new SoundSaver);
        m_pApp->m_hWnd = m_Window;
        m_pApp->SetDefaultSettings();
    }
    void TearDown() override
    {
        m_pApp->DeleteSounds();
        m_pApp->ReleaseSoundDevice();
        m_pApp.reset();
        DestroyWindow(m_Window);
    }

    // The level of the looping tone while it plays for a while.
    float Level(SoundObject& sound)
    {
        EXPECT_TRUE(Capture::WaitForQuiet());
        const uint64_t mark = Capture::Size();
        sound.PlayBuffer(true);
        Sleep(500);
        sound.Stop();
        Sleep(300);
        const Capture::Stereo s = Capture::ReadFrom(mark);
        return std::max(Capture::Peak(s.left), Capture::Peak(s.right));
    }

    static std::string s_Tone;
    HWND m_Window = nullptr;
    std::unique_ptr<SoundSaver> m_pApp;
};
std::string ScreensaverSound::s_Tone;

TEST_F(ScreensaverSound, SwitchesDecideWhatIsSetUp)
{
    struct
    {
        int disableSound, disableMusic;
        bool soundReady, musicRunning;
    } cases[] = {
        {0, 0, true, true},
        {1, 0, false, true}, // DirectSound for the music only
        {0, 1, true, false},
        {1, 1, false, false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "DisableSound " << c.disableSound << ", DisableMusic " << c.disableMusic);
        TearDown();
        SetUp();
        SoundSaver& app = *m_pApp;
        app.SetSettingInt("DisableSound", c.disableSound);
        app.SetSettingInt("DisableMusic", c.disableMusic);
        g_Log.ClearText();
        app.InitSounds();
        EXPECT_EQ(c.soundReady, app.m_bDirectSoundReady);
        EXPECT_EQ(c.musicRunning, app.m_bMusicRunning);
        EXPECT_TRUE(app.m_pMusicPlayer) << "the player exists even when the music is off";

        SoundObject* sound = app.LoadSound(s_Tone.c_str(), 0, true);
        ASSERT_TRUE(sound);
        EXPECT_EQ(c.soundReady, sound->IsLoaded());
        EXPECT_EQ(c.soundReady, g_Log.GetText().find("Loading sound") != std::string::npos);
        EXPECT_EQ(1u, app.m_Sounds.size());

        // A second call does nothing: both set-ups are done.
        app.InitSounds();
        EXPECT_EQ(c.soundReady, app.m_bDirectSoundReady);
    }
}

TEST_F(ScreensaverSound, KindByNameEnding)
{
    SoundSaver& app = *m_pApp;
    app.SetSettingInt("DisableMusic", 1);
    app.InitSounds();
    ASSERT_TRUE(app.m_bDirectSoundReady);
    // The tone is a WAV file: only names ending in ".wav" or ".WAV" read it so.
    const std::string upper = WriteTemp("tarnholm_app_upper.WAV", WaveEncode::Tone(22050, 2205, 1000.0f));
    const std::string mixed = WriteTemp("tarnholm_app_mixed.Wav", WaveEncode::Tone(22050, 2205, 1000.0f));
    EXPECT_TRUE(app.LoadSound(s_Tone.c_str(), 0, false)->IsLoaded());
    EXPECT_TRUE(app.LoadSound(upper.c_str(), 0, false)->IsLoaded());
    EXPECT_FALSE(app.LoadSound(mixed.c_str(), 0, false)->IsLoaded()) << "read as Ogg Vorbis";
    EXPECT_FALSE(app.LoadSound(nullptr, 0, false)->IsLoaded());
    EXPECT_EQ(4u, app.m_Sounds.size()) << "failed sounds stay in the list";
    DeleteFileA(upper.c_str());
    DeleteFileA(mixed.c_str());
}

TEST_F(ScreensaverSound, VolumeIsTheUsersShareAndTheMonitorMutesIt)
{
    SoundSaver& app = *m_pApp;
    app.SetSettingInt("DisableMusic", 1);
    app.SetSettingInt("SoundsVolumePercentage", 50);
    app.InitSounds();
    ASSERT_TRUE(app.m_bDirectSoundReady);
    SoundObject* tone = app.LoadSound(s_Tone.c_str(), 0, false);
    ASSERT_TRUE(tone->IsLoaded());
    EXPECT_EQ(50, tone->GetVolume());
    app.SetSoundsVolume(60, true);
    EXPECT_EQ(30, tone->GetVolume());

    app.SetSoundsVolume(100, true);
    const float full = Level(*tone);
    EXPECT_GT(full, 0.02f);

    app.OnMonitorPower(m_Window, WM_USER, 2, 0); // the monitor went off
    EXPECT_LT(Level(*tone), 0.002f);
    EXPECT_EQ(0, app.m_pMusicPlayer->GetMaxVolume());

    app.OnMonitorPower(m_Window, WM_USER, 0, 0); // and came back
    EXPECT_EQ(50, tone->GetVolume());
    EXPECT_NEAR(full, Level(*tone), full * 0.2f);
    EXPECT_EQ(app.GetSettingInt("MusicVolumePercentage"), app.m_pMusicPlayer->GetMaxVolume());
}
} // namespace
