// Without any sound device the program runs on without sound.
#include "LogCapture.h"
#include "OggStream.h"
#include "SoundObject.h"

#include <gtest/gtest.h>

#include <algorithm>

TEST(NoDevice, SoundIsOffAndEveryCallIsSafe)
{
    CoInitialize(nullptr);
    LogCapture log;
    const HRESULT hr = InitDirectSound(nullptr);
    EXPECT_TRUE(FAILED(hr));
    EXPECT_EQ(g_pDS.Get(), nullptr);
    EXPECT_EQ(g_pDSListener.Get(), nullptr);
    // One line says why; nothing else is logged.
    const std::string lines = log.Lines();
    EXPECT_EQ(lines.rfind("  InitDirectSound error: DirectSoundCreate8 returned ", 0), 0u) << lines;
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 1) << lines;

    LogCapture later;
    SoundObject sound;
    EXPECT_EQ(sound.Load(0, "whatever.wav", SoundObject::KIND_WAVE, true, true), E_FAIL);
    EXPECT_EQ(later.Lines(), "  SoundObject error: No DirectSound interface\n");
    EXPECT_EQ(sound.PlayBuffer(true), E_FAIL);
    EXPECT_EQ(sound.Stop(), E_FAIL);
    EXPECT_EQ(sound.SetVolume(50), E_FAIL);
    sound.ToggleMute();
    sound.SetFrequency(22050);
    EXPECT_EQ(sound.GetFrequency(), 0u);
    EXPECT_FALSE(sound.IsPlaying());
    UpdateAllSounds();
    ToggleMuteAllSounds();
    EXPECT_EQ(UpdateListener(D3DVECTOR{0, 1, 0}, D3DVECTOR{0, 0, 1}, 1), E_FAIL);
    EXPECT_EQ(SetDistanceFactor(1), E_FAIL);

    COggStream music;
    ASSERT_TRUE(music.Init());
    EXPECT_FALSE(music.Open(0, "whatever.ogg"));
    EXPECT_FALSE(music.Play(true));
    EXPECT_EQ(ReleaseDirectSound(), S_OK);
}
