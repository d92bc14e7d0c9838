// The music player's command queue and state machine over fake tracks and
// the fixed-step global timer: what plays when, at which volume, frame by
// frame.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "MusicPlayer.h"
#include "Timer.h"

namespace
{
// What the fake tracks did, one line per call: "<track>:<call>".
struct FakeWorld
{
    std::vector<std::string> calls;
    std::map<int, bool> playing;    // the test ends a piece by clearing it
    std::map<int, bool> neverPlays; // a broken file
    std::map<int, float> position;
    float duration = 10.0f;

    std::vector<std::string> Take()
    {
        std::vector<std::string> out;
        out.swap(calls);
        return out;
    }
};

class FakeTrack : public CMusicTrackBackend
{
public:
    FakeTrack(FakeWorld& world, int id) : m_World(world), m_Id(id) {}
    ~FakeTrack() override { Log("destroyed"); }
    void Play(bool loop) override
    {
        Log(loop ? "play loop" : "play");
        m_World.playing[m_Id] = !m_World.neverPlays[m_Id];
    }
    void Stop() override
    {
        Log("stop");
        m_World.playing[m_Id] = false;
    }
    bool IsPlaying() override { return m_World.playing[m_Id]; }
    void SetVolume(int percent) override { Log("volume " + std::to_string(percent)); }
    void ToggleMute() override { Log("mute"); }
    float GetDuration() override { return m_World.duration; }
    float GetPosition() override { return m_World.position[m_Id]; }

private:
    void Log(const std::string& what) { m_World.calls.push_back(std::to_string(m_Id) + ":" + what); }
    FakeWorld& m_World;
    int m_Id;
};

// Opens a fake track per call, numbered in order; paths that contain "bad"
// do not open.
class FakeFactory : public CMusicBackendFactory
{
public:
    explicit FakeFactory(FakeWorld& world) : m_World(world) {}
    std::unique_ptr<CMusicTrackBackend> Open(uint16_t, int, const std::string& path) override
    {
        if (path.find("bad") != std::string::npos)
            return nullptr;
        return std::unique_ptr<CMusicTrackBackend>(new FakeTrack(m_World, m_Next++));
    }

private:
    FakeWorld& m_World;
    int m_Next = 0;
};

class MusicPlayerTest : public ::testing::Test
{
protected:
    MusicPlayerTest()
    {
        UseDebugTimer();
        Clock(0);
        m_pPlayer.reset(new CMusicPlayer(std::unique_ptr<CMusicBackendFactory>(new FakeFactory(m_World))));
    }
    static void Clock(float seconds) { GetGlobalTimer()->SetTime(seconds); }
    void AddTracks(int n)
    {
        for (int i = 0; i < n; ++i)
            ASSERT_TRUE(m_pPlayer->AddTrack(0, CMusicPlayer::eKindOgg, 0, 100, "track" + std::to_string(i)));
        m_World.Take();
    }
    // The calls that made a track play, in order.
    static std::vector<std::string> Plays(const std::vector<std::string>& calls)
    {
        std::vector<std::string> out;
        for (const std::string& c : calls)
            if (c.find(":play") != std::string::npos)
                out.push_back(c);
        return out;
    }

    FakeWorld m_World;
    std::unique_ptr<CMusicPlayer> m_pPlayer;
};

TEST_F(MusicPlayerTest, NothingHappensBeforeTheFirstQueuePlay)
{
    AddTracks(2);
    m_pPlayer->PushCommand(CMusicPlayer::ePlay, false);
    m_pPlayer->PushCommand(CMusicPlayer::eMaxVolume, true);
    for (int frame = 0; frame < 3; ++frame)
        m_pPlayer->ProcessCommands();
    EXPECT_TRUE(m_World.Take().empty());
    EXPECT_EQ(-1, m_pPlayer->GetPlaylistIndex());
    EXPECT_EQ(-1, m_pPlayer->GetCurrentTrackIndex());
}

TEST_F(MusicPlayerTest, QueuePlayWithoutTracksDoesNothing)
{
    m_pPlayer->QueuePlay(false, false);
    m_pPlayer->ProcessCommands();
    EXPECT_EQ(-1, m_pPlayer->GetPlaylistIndex());
    EXPECT_EQ(CMusicPlayer::eStop, m_pPlayer->GetState());
}

TEST_F(MusicPlayerTest, ThreeTracksPlayInOrderWithOneFrameBetween)
{
    AddTracks(3);
    m_pPlayer->SetMaxVolume(80);
    m_pPlayer->QueuePlay(false, false);
    // The first cycle runs at once: minimum volume (no track yet), play, maximum.
    EXPECT_EQ((std::vector<std::string>{"0:play", "0:volume 80"}), m_World.Take());
    EXPECT_EQ(CMusicPlayer::eWaiting, m_pPlayer->GetState());

    const int order[] = {0, 1, 2, 0, 1};
    for (int i = 0; i + 1 < 5; ++i)
    {
        const int now = order[i], next = order[i + 1];
        m_pPlayer->ProcessCommands(); // still playing: nothing
        EXPECT_TRUE(m_World.Take().empty());
        m_World.playing[now] = false; // the piece ends
        m_pPlayer->ProcessCommands(); // the wait ends in this frame...
        EXPECT_TRUE(m_World.Take().empty());
        EXPECT_EQ(CMusicPlayer::eNothing, m_pPlayer->GetState());
        m_pPlayer->ProcessCommands(); // ...and the next track starts in the next
        const std::string n = std::to_string(next) + ":";
        EXPECT_EQ((std::vector<std::string>{std::to_string(now) + ":stop", n + "play", n + "volume 80"}),
                  m_World.Take())
            << "after track " << now;
        EXPECT_EQ(next, m_pPlayer->GetCurrentTrackIndex());
    }
}

TEST_F(MusicPlayerTest, ContinuousMusicLoopsAndRestsIdle)
{
    AddTracks(2);
    m_pPlayer->QueuePlay(true, false);
    EXPECT_EQ((std::vector<std::string>{"0:play loop", "0:volume 100"}), m_World.Take());
    for (int frame = 0; frame < 5; ++frame)
        m_pPlayer->ProcessCommands();
    EXPECT_TRUE(m_World.Take().empty());
    EXPECT_EQ(CMusicPlayer::eNothing, m_pPlayer->GetState());
    EXPECT_EQ(0, m_pPlayer->GetCurrentTrackIndex());
    // Stop leaves continuous music alone.
    m_pPlayer->Stop();
    EXPECT_TRUE(m_World.Take().empty());
}

TEST_F(MusicPlayerTest, UrgentCommandDropsTheWaitingCycle)
{
    AddTracks(2);
    m_pPlayer->QueuePlay(false, false);
    m_World.Take();
    ASSERT_EQ(CMusicPlayer::eWaiting, m_pPlayer->GetState());
    m_pPlayer->PushCommand(CMusicPlayer::eMinVolume, true);
    EXPECT_EQ(1u, m_pPlayer->GetQueuedCommandCount()); // eStop and eNext are gone
    m_pPlayer->ProcessCommands();
    EXPECT_EQ((std::vector<std::string>{"0:volume 0"}), m_World.Take());
    // The dropped stop and next never run: the track keeps playing, the index stays.
    m_World.playing[0] = false;
    for (int frame = 0; frame < 3; ++frame)
        m_pPlayer->ProcessCommands();
    EXPECT_TRUE(m_World.Take().empty());
    EXPECT_EQ(0, m_pPlayer->GetPlaylistIndex());
}

TEST_F(MusicPlayerTest, StopEndsTheWaitedTrackWithoutMovingOn)
{
    AddTracks(2);
    m_pPlayer->QueuePlay(false, false);
    m_World.Take();
    m_pPlayer->Stop();
    EXPECT_EQ((std::vector<std::string>{"0:stop"}), m_World.Take());
    EXPECT_EQ(-1, m_pPlayer->GetCurrentTrackIndex());
    m_pPlayer->ProcessCommands();
    EXPECT_TRUE(m_World.Take().empty());
}

TEST_F(MusicPlayerTest, TrackThatNeverPlaysIsSkippedAfterOneFrame)
{
    AddTracks(3);
    m_World.neverPlays[1] = true;
    m_pPlayer->QueuePlay(false, false);
    m_World.playing[0] = false;
    std::vector<std::string> calls;
    for (int frame = 0; frame < 4; ++frame)
    {
        m_pPlayer->ProcessCommands();
        for (const std::string& c : m_World.Take())
            calls.push_back(c);
    }
    EXPECT_EQ((std::vector<std::string>{"0:play", "1:play", "2:play"}), Plays(calls));
    EXPECT_EQ(2, m_pPlayer->GetCurrentTrackIndex());
}

TEST_F(MusicPlayerTest, TracksThatDoNotOpenAreNotAdded)
{
    EXPECT_FALSE(m_pPlayer->AddTrack(0, CMusicPlayer::eKindDirectShow, 0, 100, "bad.mp3"));
    EXPECT_TRUE(m_pPlayer->AddTrack(0, CMusicPlayer::eKindDirectShow, 0, 100, "good.mp3"));
    EXPECT_EQ(1u, m_pPlayer->GetTrackCount());
}

TEST_F(MusicPlayerTest, FadesFollowTheirTimersAndPassTheirMidpoints)
{
    AddTracks(2);
    m_World.duration = 10;
    m_pPlayer->QueuePlay(false, true);
    EXPECT_EQ((std::vector<std::string>{"0:play", "0:volume 0"}), m_World.Take()); // fade-in at t = 0
    EXPECT_EQ(CMusicPlayer::eFadeIn, m_pPlayer->GetState());

    struct Step
    {
        float clock;
        std::vector<std::string> calls;
        CMusicPlayer::EState state;
    };
    const Step steps[] = {
        {0.5f, {"0:volume 50"}, CMusicPlayer::eFadeIn},
        {0.75f, {"0:volume 75"}, CMusicPlayer::eFadeIn},
        {1.0f, {}, CMusicPlayer::eNothing},                          // fade-in over
        {1.1f, {"0:volume 100"}, CMusicPlayer::eWaitingForFadeOut}, // maximum, then wait
    };
    for (const Step& s : steps)
    {
        Clock(s.clock);
        m_pPlayer->ProcessCommands();
        EXPECT_EQ(s.calls, m_World.Take()) << "at " << s.clock;
        EXPECT_EQ(s.state, m_pPlayer->GetState()) << "at " << s.clock;
    }
    // Within the fade-out time of the end the wait ends; the fade-out starts next frame.
    m_World.position[0] = 7.5f;
    m_pPlayer->ProcessCommands();
    EXPECT_EQ(CMusicPlayer::eWaitingForFadeOut, m_pPlayer->GetState());
    m_World.position[0] = 8.5f;
    m_pPlayer->ProcessCommands();
    EXPECT_EQ(CMusicPlayer::eNothing, m_pPlayer->GetState());
    Clock(2.0f);
    m_pPlayer->ProcessCommands();
    EXPECT_EQ((std::vector<std::string>{"0:volume 100"}), m_World.Take());
    EXPECT_EQ(CMusicPlayer::eFadeOut, m_pPlayer->GetState());
    Clock(3.0f); // midpoint of the two-second fade-out
    m_pPlayer->ProcessCommands();
    EXPECT_EQ((std::vector<std::string>{"0:volume 50"}), m_World.Take());
    Clock(4.0f);
    m_pPlayer->ProcessCommands(); // fade-out over
    // Minimum, stop, and the next cycle with its fade-in at t = 0 (polled by
    // the cycle's own processing and once more by this call).
    m_pPlayer->ProcessCommands();
    EXPECT_EQ((std::vector<std::string>{"0:volume 0", "0:stop", "1:play", "1:volume 0", "1:volume 0"}),
              m_World.Take());
    EXPECT_EQ(CMusicPlayer::eFadeIn, m_pPlayer->GetState());
}

TEST_F(MusicPlayerTest, TrackVolumeIsMappedIntoItsRange)
{
    const struct
    {
        int low, high, percent, sent;
    } cases[] = {{0, 100, 37, 37}, {20, 60, 50, 40}, {0, 60, 50, 30}, {20, 60, 0, 20}, {20, 60, 100, 60}};
    for (const auto& c : cases)
    {
        ASSERT_TRUE(m_pPlayer->AddTrack(0, CMusicPlayer::eKindWave, c.low, c.high, "t"));
        CMusicPlayer::CTrack* track = m_pPlayer->GetTrack(m_pPlayer->GetTrackCount() - 1);
        m_World.Take();
        track->SetVolume(c.percent);
        EXPECT_EQ(c.sent, track->GetVolume()) << c.low << ".." << c.high << " at " << c.percent;
        const std::vector<std::string> calls = m_World.Take();
        ASSERT_EQ(1u, calls.size());
        EXPECT_EQ("volume " + std::to_string(c.sent), calls[0].substr(calls[0].find(':') + 1));
    }
}

TEST_F(MusicPlayerTest, MuteReachesEveryTrackAndDestructionReleasesThem)
{
    AddTracks(2);
    m_pPlayer->QueuePlay(false, false);
    m_pPlayer->ToggleMute();
    m_World.Take();
    m_pPlayer.reset();
    EXPECT_EQ((std::vector<std::string>{"0:stop", "0:stop", "0:destroyed", "1:stop", "1:destroyed"}), m_World.Take());
}
} // namespace
