// The DirectShow player under Wine, with what it plays captured through the
// project's ALSA sink: a WAV played once ends and can play again, a looping
// one keeps playing, files that no graph renders fail to open and the object
// is destroyed cleanly in every state.
#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>
#include <string>

#include "Capture.h"
#include "LogCapture.h"
#include "TempFile.h"
#include "WaveEncode.h"
#include "DirectShowObject.h"

namespace
{
class DirectShowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        CoInitialize(nullptr);
        m_Wav = WriteTemp("music-directshow-tone.wav", WaveEncode::Tone(44100, 22050, 660));
    }
    void TearDown() override { CoUninitialize(); }

    // Waits (at most `limitMs`) for `done`; true when it came.
    template <class F>
    static bool WaitFor(F done, DWORD limitMs)
    {
        const DWORD start = GetTickCount();
        while (!done())
        {
            if (GetTickCount() - start > limitMs)
                return false;
            Sleep(10);
        }
        return true;
    }

    std::string m_Wav;
};

TEST_F(DirectShowTest, WavPlayedOnceEndsRewindsAndPlaysAgain)
{
    DirectShowObject player;
    ASSERT_TRUE(player.Init());
    ASSERT_TRUE(player.Open(m_Wav));
    EXPECT_NEAR(0.5f, player.GetDuration(), 0.01f);

    ASSERT_TRUE(Capture::WaitForQuiet());
    const uint64_t from = Capture::Size();
    const DWORD start = GetTickCount();
    ASSERT_TRUE(player.Play(false));
    EXPECT_TRUE(player.IsPlaying());
    ASSERT_TRUE(WaitFor([&] { return !player.IsPlaying(); }, 10000)) << "the piece never ended";
    EXPECT_GE(GetTickCount() - start, 400u);
    EXPECT_EQ(DirectShowObject::STATE_STOPPED, player.GetState());
    EXPECT_NEAR(0.0f, player.GetPosition(), 0.01f);

    // What was heard: the tone, at most as long as the piece. Wine reports
    // the end while the last 150-300 ms (more on a busy machine) are still
    // on their way to the device, and stopping the graph then drops them.
    Sleep(300);
    const Capture::Stereo heard = Capture::ReadFrom(from);
    const std::pair<size_t, size_t> active = Capture::Active(heard);
    ASSERT_GT(active.second, active.first) << "nothing was heard";
    const double seconds = double(active.second - active.first) / Capture::kRate;
    EXPECT_GT(seconds, 0.15);
    EXPECT_LT(seconds, 0.6);
    EXPECT_NEAR(660.0, Capture::Dominant(heard.left, active.first, active.second - active.first), 10.0);

    // A later Play starts it again; Stop while stopped changes nothing.
    ASSERT_TRUE(player.Play(false));
    EXPECT_TRUE(player.IsPlaying());
    ASSERT_TRUE(WaitFor([&] { return !player.IsPlaying(); }, 10000));
    EXPECT_TRUE(player.Stop());
    EXPECT_EQ(DirectShowObject::STATE_STOPPED, player.GetState());
}

TEST_F(DirectShowTest, LoopingPieceKeepsPlayingUntilStopped)
{
    DirectShowObject player;
    ASSERT_TRUE(player.Init());
    ASSERT_TRUE(player.Open(m_Wav));
    ASSERT_TRUE(Capture::WaitForQuiet());
    const uint64_t from = Capture::Size();
    ASSERT_TRUE(player.Play(true));
    Sleep(2500); // five times its length
    EXPECT_TRUE(player.IsPlaying());
    // The tone goes on (Wine leaves a gap of 150 ms or more at each restart).
    const Capture::Stereo heard = Capture::ReadFrom(from);
    const std::pair<size_t, size_t> active = Capture::Active(heard);
    ASSERT_GT(active.second, active.first) << "nothing was heard";
    EXPECT_GT(double(active.second - active.first) / Capture::kRate, 1.5) << "the loop did not go on";
    const size_t w = Capture::kRate / 100;
    size_t loud = 0, all = 0;
    for (size_t i = active.first; i + w <= active.second; i += w, ++all)
        loud += Capture::Rms(heard.left, i, w) > 0.01f ? 1 : 0;
    EXPECT_GT(loud * 10, all * 4);
    // The worker waits for the graph's events; it does not poll.
    FILETIME created, exited, kernel, user;
    ASSERT_TRUE(GetThreadTimes(player.GetHandle(), &created, &exited, &kernel, &user));
    const double busy = (double(kernel.dwLowDateTime) + double(user.dwLowDateTime)) / 1e7;
    EXPECT_LT(busy, 0.25) << "seconds of processor time in the worker";

    EXPECT_TRUE(player.Stop());
    EXPECT_FALSE(player.IsPlaying());
    EXPECT_NEAR(0.0f, player.GetPosition(), 0.01f);
    // Play while playing stops, rewinds and runs again.
    ASSERT_TRUE(player.Play(true));
    Sleep(200);
    ASSERT_TRUE(player.Play(false));
    EXPECT_TRUE(player.IsPlaying());
}

// MP3 goes through Wine's GStreamer plug-ins (set up by scripts/setup.sh).
TEST_F(DirectShowTest, Mp3PlaysToItsEnd)
{
    DirectShowObject player;
    ASSERT_TRUE(player.Init());
    ASSERT_TRUE(player.Open(TARNHOLM_MP3_TONE));
    EXPECT_NEAR(0.5f, player.GetDuration(), 0.1f);
    ASSERT_TRUE(Capture::WaitForQuiet());
    const uint64_t from = Capture::Size();
    ASSERT_TRUE(player.Play(false));
    ASSERT_TRUE(WaitFor([&] { return !player.IsPlaying(); }, 10000)) << "the piece never ended";
    Sleep(300);
    const Capture::Stereo heard = Capture::ReadFrom(from);
    const std::pair<size_t, size_t> active = Capture::Active(heard);
    ASSERT_GT(active.second, active.first) << "nothing was heard";
    EXPECT_GT(double(active.second - active.first) / Capture::kRate, 0.15);
    EXPECT_NEAR(660.0, Capture::Dominant(heard.left, active.first, active.second - active.first), 10.0);
}

// A graph that gives up while the piece plays ends up stopped, so that a
// player waiting for the piece's end moves on.
TEST_F(DirectShowTest, AbortedGraphIsStoppedAndReportedStopped)
{
    DirectShowObject player;
    ASSERT_TRUE(player.Init());
    ASSERT_TRUE(player.Open(m_Wav));
    ASSERT_TRUE(player.Play(true));
    Sleep(100);
    ComRef<IMediaEventSink> sink;
    ASSERT_TRUE(SUCCEEDED(player.GetGraph()->QueryInterface(IID_IMediaEventSink, sink.PutVoid())));
    LogCapture log;
    ASSERT_TRUE(SUCCEEDED(sink->Notify(EC_ERRORABORT, E_FAIL, 0)));
    EXPECT_TRUE(WaitFor([&] { return !player.IsPlaying(); }, 5000));
    EXPECT_EQ(DirectShowObject::STATE_STOPPED, player.GetState());
    EXPECT_NE(std::string::npos, log.Text().find("DirectShowObject: the graph stopped with event 3 (80004005)"));
    // It plays again afterwards.
    ASSERT_TRUE(player.Play(false));
    EXPECT_TRUE(player.IsPlaying());
}

TEST_F(DirectShowTest, VolumeAndMute)
{
    DirectShowObject player;
    ASSERT_TRUE(player.Init());
    ASSERT_TRUE(player.Open(m_Wav));
    const struct
    {
        int percent, read;
    } cases[] = {{100, 100}, {50, 50}, {10, 10}, {0, 0}};
    for (const auto& c : cases)
    {
        EXPECT_TRUE(player.SetVolume(c.percent));
        EXPECT_EQ(c.read, player.GetVolume()) << c.percent;
    }
    player.SetVolume(70);
    player.ToggleMute();
    EXPECT_EQ(0, player.GetVolume());
    player.SetVolume(40); // kept for the unmute
    EXPECT_EQ(0, player.GetVolume());
    player.ToggleMute();
    EXPECT_EQ(40, player.GetVolume());
}

TEST_F(DirectShowTest, FilesThatNoGraphRendersFailToOpen)
{
    const std::string text = WriteTemp("music-not-music.mp3", std::vector<unsigned char>(4000, 'x'));
    const std::string longName = TempPath("") + std::string(300, 'n') + ".wav";
    for (const std::string& path : {text, TempPath("music-missing.wav"), longName, std::string()})
    {
        LogCapture log;
        DirectShowObject player;
        ASSERT_TRUE(player.Init());
        EXPECT_FALSE(player.Open(path)) << path;
        EXPECT_NE(std::string::npos, log.Text().find("m_pGraphBuilder->RenderFile FAILED")) << path;
    }
}

TEST_F(DirectShowTest, DestroyedInEveryState)
{
    {
        DirectShowObject never;
    }
    {
        DirectShowObject initialised;
        ASSERT_TRUE(initialised.Init());
    }
    {
        DirectShowObject playing;
        ASSERT_TRUE(playing.Init());
        ASSERT_TRUE(playing.Open(m_Wav));
        ASSERT_TRUE(playing.Play(true));
        Sleep(100);
    }
    SUCCEED();
}
} // namespace
