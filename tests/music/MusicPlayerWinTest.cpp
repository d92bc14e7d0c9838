// The music player on the real back-ends under Wine, without BASS: tracks of
// each kind play in the playlist's order through a whole DirectSound sound,
// the Ogg stream and DirectShow, and a playlist with a missing and a broken
// entry plays the good one and keeps going. What is played is captured by
// the project's ALSA sink and measured.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "Capture.h"
#include "LogCapture.h"
#include "OggEncode.h"
#include "MusicPlayer.h"
#include "MusicPlaylist.h"
#include "SoundObject.h"
#include "TempFile.h"
#include "WaveEncode.h"

namespace
{
class MusicPlayerWinTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        CoInitialize(nullptr);
        s_Window = CreateWindowA("STATIC", "music test", WS_POPUP, 0, 0, 16, 16, nullptr, nullptr, nullptr, nullptr);
        s_hr = InitDirectSound(s_Window);
    }
    static void TearDownTestSuite()
    {
        ReleaseDirectSound();
        DestroyWindow(s_Window);
    }
    void SetUp() override
    {
        ASSERT_FALSE(Capture::Path().empty()) << "TARNHOLM_SOUND_CAPTURE is not set";
        ASSERT_EQ(S_OK, s_hr);
        // No "bass.dll" anywhere: the built-in back-ends play everything.
        ASSERT_TRUE(GetModuleHandleA("bass.dll") == nullptr);
    }

    // Runs frames (20 ms apart) for `ms`, calling `each` after every frame.
    template <class F>
    static void RunFrames(CMusicPlayer& player, DWORD ms, F each)
    {
        const DWORD start = GetTickCount();
        while (GetTickCount() - start < ms)
        {
            player.ProcessCommands();
            each();
            Sleep(20);
        }
    }

    // The dominant tones of what was heard, in order, one entry per run of
    // at least 100 ms (50-ms windows, rounded to 10 Hz).
    static std::vector<int> ToneRuns(const Capture::Stereo& heard)
    {
        const size_t w = Capture::kRate / 20;
        std::vector<int> runs;
        int last = 0, length = 0;
        for (size_t i = 0; i + w <= heard.Frames(); i += w)
        {
            int tone = 0;
            if (Capture::Rms(heard.left, i, w) > 0.01f)
                tone = int(Capture::Dominant(heard.left, i, w) / 10 + 0.5) * 10;
            length = tone == last ? length + 1 : 1;
            last = tone;
            if (tone && length == 2 && (runs.empty() || runs.back() != tone))
                runs.push_back(tone);
        }
        return runs;
    }

    static HWND s_Window;
    static HRESULT s_hr;
};
HWND MusicPlayerWinTest::s_Window = nullptr;
HRESULT MusicPlayerWinTest::s_hr = E_FAIL;

TEST_F(MusicPlayerWinTest, EachKindPlaysInTheQueuedOrder)
{
    const std::string wave = WriteTemp("music-kinds-880.wav", WaveEncode::Tone(44100, 17640, 880));
    const std::string ogg = WriteTemp("music-kinds-440.ogg", OggEncode::Tone(2, 44100, 17640, 440));
    const std::string shown = WriteTemp("music-kinds-660.wav", WaveEncode::Tone(44100, 17640, 660));
    ASSERT_TRUE(Capture::WaitForQuiet());
    const uint64_t from = Capture::Size();
    {
        CMusicPlayer player;
        ASSERT_TRUE(player.AddTrack(0, CMusicPlayer::eKindWave, 0, 100, wave));
        ASSERT_TRUE(player.AddTrack(0, CMusicPlayer::eKindOgg, 0, 100, ogg));
        ASSERT_TRUE(player.AddTrack(0, CMusicPlayer::eKindDirectShow, 0, 100, shown));
        player.QueuePlay(false, false);
        std::vector<int> order;
        RunFrames(player, 6000, [&] {
            if (order.empty() || order.back() != player.GetCurrentTrackIndex())
                if (player.GetCurrentTrackIndex() >= 0)
                    order.push_back(player.GetCurrentTrackIndex());
        });
        ASSERT_GE(order.size(), 4u);
        EXPECT_EQ((std::vector<int>{0, 1, 2, 0}), std::vector<int>(order.begin(), order.begin() + 4));
    }
    Sleep(500);
    const std::vector<int> runs = ToneRuns(Capture::ReadFrom(from));
    ASSERT_GE(runs.size(), 3u) << "too little was heard";
    EXPECT_EQ((std::vector<int>{880, 440, 660}), std::vector<int>(runs.begin(), runs.begin() + 3));
}

TEST_F(MusicPlayerWinTest, PlaylistWithMissingAndBrokenEntriesPlaysTheGoodOneAndKeepsGoing)
{
    const std::string good = WriteTemp("music-list-good.wav", WaveEncode::Tone(44100, 17640, 770));
    std::vector<unsigned char> junk(5000, 0x5a);
    junk[0] = 'O', junk[1] = 'g', junk[2] = 'g', junk[3] = 'S';
    const std::string broken = WriteTemp("music-list-broken.ogg", junk);
    const std::string missing = TempPath("music-list-missing.mp3");
    DeleteFileA(missing.c_str());

    // As the scene adds the user's playlist: kind Ogg for a lower-case "ogg"
    // ending, DirectShow for the rest.
    MusicPlaylist list;
    ASSERT_TRUE(list.Parse("", missing + "\n" + broken + "\n" + good + "\n"));
    ASSERT_EQ(2u, list.GetCount());
    LogCapture log;
    ASSERT_TRUE(Capture::WaitForQuiet());
    const uint64_t from = Capture::Size();
    CMusicPlayer player;
    for (size_t i = 0; i < list.GetCount(); ++i)
    {
        const std::string entry = list.GetEntry(i);
        const bool ogg = entry.size() >= 3 && entry.compare(entry.size() - 3, 3, "ogg") == 0;
        player.AddTrack(0, ogg ? CMusicPlayer::eKindOgg : CMusicPlayer::eKindDirectShow, 0, 100, entry);
    }
    EXPECT_NE(std::string::npos, log.Text().find("m_pOggStream->Open FAILED"));
    ASSERT_EQ(1u, player.GetTrackCount());

    player.QueuePlay(false, false);
    int starts = 0;
    bool wasPlaying = false;
    RunFrames(player, 3000, [&] {
        CMusicPlayer::CTrack* track = player.GetCurrentTrack();
        const bool playing = track && track->IsPlaying();
        starts += playing && !wasPlaying ? 1 : 0;
        wasPlaying = playing;
    });
    EXPECT_GE(starts, 3) << "the playlist did not keep going";
    Sleep(500);
    const Capture::Stereo heard = Capture::ReadFrom(from);
    const std::pair<size_t, size_t> active = Capture::Active(heard);
    ASSERT_GT(active.second, active.first) << "nothing was heard";
    EXPECT_NEAR(770.0, Capture::Dominant(heard.left, active.first, Capture::kRate / 5), 10.0);
}

TEST_F(MusicPlayerWinTest, ContinuousOggLoopsAndStopsWithThePlayer)
{
    const std::string ogg = WriteTemp("music-loop-550.ogg", OggEncode::Tone(2, 44100, 22050, 550));
    ASSERT_TRUE(Capture::WaitForQuiet());
    const uint64_t from = Capture::Size();
    {
        CMusicPlayer player;
        ASSERT_TRUE(player.AddTrack(0, CMusicPlayer::eKindOgg, 0, 100, ogg));
        player.QueuePlay(true, false);
        RunFrames(player, 2000, [] {});
        ASSERT_TRUE(player.GetCurrentTrack() != nullptr);
        EXPECT_TRUE(player.GetCurrentTrack()->IsPlaying());
    }
    Sleep(400);
    const Capture::Stereo heard = Capture::ReadFrom(from);
    const std::pair<size_t, size_t> active = Capture::Active(heard);
    ASSERT_GT(active.second, active.first) << "nothing was heard";
    // Four times the piece's length without a break, then silence once the
    // player is gone.
    EXPECT_GT(double(active.second - active.first) / Capture::kRate, 1.4);
    EXPECT_NEAR(550.0, Capture::Dominant(heard.left, active.first, Capture::kRate / 2), 10.0);
    EXPECT_TRUE(Capture::WaitForQuiet(2000));
}
} // namespace
