// The music player's BASS binding against stand-in "bass.dll" builds of our
// own (full, without the optional entry points, with a failing BASS_Init)
// and without any: what the player calls in the library, what it logs, and
// that tracks go to the built-in back-ends whenever BASS cannot take them.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "LogCapture.h"
#include "MusicPlayer.h"

namespace
{
const WORD kMemoryTrackId = 300; // an RCDATA resource of this program

std::string ExeFolder()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path);
    return folder.substr(0, folder.find_last_of('\\') + 1);
}

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

class BassBindingTest : public ::testing::Test
{
protected:
    // variant: the folder of one stub build, or "" for no library at all.
    void UseStub(const std::string& variant)
    {
        m_StubLog = ExeFolder() + "bass-calls-" + (variant.empty() ? "none" : variant) + ".txt";
        DeleteFileA(m_StubLog.c_str());
        SetEnvironmentVariableA("TARNHOLM_BASS_STUB_LOG", m_StubLog.c_str());
        SetDllDirectoryA(variant.empty() ? (ExeFolder() + "no-such-folder").c_str()
                                         : (ExeFolder() + "bass_" + variant).c_str());
    }
    void SetUp() override
    {
        m_Folder = ExeFolder() + "bass-test-files\\";
        CreateDirectoryA(m_Folder.c_str(), nullptr);
        for (const char* name : {"one.mp3", "two.mp3", "refuse.ogg"})
            std::ofstream(m_Folder + name) << "not really music";
    }
    void TearDown() override
    {
        SetDllDirectoryA(nullptr);
        SetEnvironmentVariableA("TARNHOLM_BASS_STUB_LOG", nullptr);
    }
    std::vector<std::string> StubCalls() const
    {
        std::vector<std::string> lines;
        std::ifstream file(m_StubLog);
        for (std::string line; std::getline(file, line);)
            lines.push_back(line);
        return lines;
    }
    std::string StubText() const
    {
        std::ostringstream out;
        for (const std::string& line : StubCalls())
            out << line << "\n";
        return out.str();
    }
    // Runs frames until `done` or the time limit; true when done.
    template <class F>
    static bool RunFrames(CMusicPlayer& player, F done, DWORD limitMs = 5000)
    {
        const DWORD start = GetTickCount();
        while (!done())
        {
            if (GetTickCount() - start > limitMs)
                return false;
            player.ProcessCommands();
            Sleep(20);
        }
        return true;
    }

    std::string m_Folder;
    std::string m_StubLog;
};

TEST_F(BassBindingTest, FullLibraryTakesEveryTrackAndIsFreedAtTheEnd)
{
    UseStub("full");
    LogCapture log;
    {
        CMusicPlayer player;
        EXPECT_TRUE(Contains(log.Text(), "Using bass library 2040000\n"));
        EXPECT_FALSE(Contains(log.Text(), "basswma.dll with error"));
        EXPECT_TRUE(Contains(log.Text(), "Bass: FAILED to load bassmidi.dll with error: 2!\n"));
        EXPECT_TRUE(Contains(log.Text(), "Bass: FAILED to load bassflac.dll with error: 2!\n"));
        ASSERT_TRUE(GetModuleHandleA("bass.dll") != nullptr);

        // Files and built-in resources of every kind go to BASS.
        ASSERT_TRUE(player.AddTrack(0, CMusicPlayer::eKindDirectShow, 0, 100, m_Folder + "one.mp3"));
        ASSERT_TRUE(player.AddTrack(kMemoryTrackId, CMusicPlayer::eKindOgg, 0, 100, "no-such.ogg"));
        ASSERT_TRUE(player.AddTrack(0, CMusicPlayer::eKindWave, 0, 100, m_Folder + "two.mp3"));
        EXPECT_NEAR(0.4f, player.GetTrack(0)->GetDuration(), 0.01f);

        const std::vector<std::string> opened = StubCalls();
        const std::vector<std::string> expectStart = {
            "BASS_Init -1 44100 0 0 0",
            "BASS_PluginLoad basswma.dll 0",
            "BASS_PluginLoad bassmidi.dll 0",
            "BASS_PluginLoad bassflac.dll 0",
            "BASS_StreamCreateFile file " + m_Folder + "one.mp3 0 0 0",
            "BASS_SetConfig 5 0",
        };
        ASSERT_GE(opened.size(), expectStart.size() + 4);
        EXPECT_EQ(expectStart, std::vector<std::string>(opened.begin(), opened.begin() + expectStart.size()));
        EXPECT_EQ(0u, opened[6].find("BASS_StreamCreateFile memory 0 "));

        // A playlist cycle: each stream is played once, the next when it ends.
        player.QueuePlay(false, false);
        EXPECT_TRUE(Contains(StubText(), "BASS_ChannelFlags 256 0 4\nBASS_ChannelPlay 256 1\nBASS_SetConfig 5 10000\n"));
        EXPECT_TRUE(RunFrames(player, [&] { return player.GetCurrentTrackIndex() == 1; }));
        EXPECT_TRUE(RunFrames(player, [&] { return player.GetCurrentTrackIndex() == 2; }));
        EXPECT_TRUE(Contains(StubText(), "BASS_ChannelStop 256\nBASS_ChannelFlags 257 0 4\nBASS_ChannelPlay 257 1\n"));

        // Muting keeps the volume set meanwhile and applies it at unmute.
        CMusicPlayer::CTrack* track = player.GetCurrentTrack();
        ASSERT_TRUE(track != nullptr);
        const size_t before = StubCalls().size();
        track->ToggleMute();
        track->SetVolume(30);
        track->ToggleMute();
        const std::vector<std::string> all = StubCalls();
        EXPECT_EQ((std::vector<std::string>{"BASS_GetConfig 5", "BASS_SetConfig 5 0", "BASS_SetConfig 5 3000"}),
                  std::vector<std::string>(all.begin() + before, all.end()));
    }
    const std::string text = StubText();
    EXPECT_TRUE(Contains(text, "BASS_StreamFree 256\n"));
    EXPECT_TRUE(Contains(text, "BASS_StreamFree 258\n"));
    EXPECT_EQ(text.size() - strlen("BASS_Free\n"), text.rfind("BASS_Free\n"));
    EXPECT_TRUE(GetModuleHandleA("bass.dll") == nullptr);
}

TEST_F(BassBindingTest, RefusedFileGoesToTheTracksOwnKind)
{
    UseStub("full");
    LogCapture log;
    CMusicPlayer player;
    // No DirectSound here: the Ogg stream cannot open either, so no track.
    EXPECT_FALSE(player.AddTrack(0, CMusicPlayer::eKindOgg, 0, 100, m_Folder + "refuse.ogg"));
    const std::string text = log.Text();
    const size_t bassFailed = text.find("BASS_StreamCreateFile FAILED with error: 2!\n");
    ASSERT_NE(std::string::npos, bassFailed);
    EXPECT_NE(std::string::npos, text.find("m_pOggStream->Open FAILED", bassFailed));
    EXPECT_EQ(0u, player.GetTrackCount());
}

TEST_F(BassBindingTest, LibraryWithoutOptionalEntriesIsUsedWithoutThem)
{
    UseStub("no_optional");
    LogCapture log;
    {
        CMusicPlayer player;
        EXPECT_TRUE(Contains(log.Text(), "Using bass library 2040000\n"));
        EXPECT_TRUE(Contains(log.Text(), "Bass: no BASS_PluginLoad function found!\n"));
        ASSERT_TRUE(player.AddTrack(0, CMusicPlayer::eKindDirectShow, 0, 100, m_Folder + "one.mp3"));
        EXPECT_EQ(0.0f, player.GetTrack(0)->GetDuration()); // no length query
        // The error code is not asked of a library that has no BASS_ErrorGetCode.
        EXPECT_FALSE(player.AddTrack(0, CMusicPlayer::eKindOgg, 0, 100, m_Folder + "refuse.ogg"));
        EXPECT_TRUE(Contains(log.Text(), "BASS_StreamCreateFile FAILED with error: -1!\n"));
    }
    EXPECT_TRUE(Contains(StubText(), "BASS_Free\n"));
    EXPECT_TRUE(GetModuleHandleA("bass.dll") == nullptr);
}

TEST_F(BassBindingTest, FailingInitLeavesEveryTrackToTheBuiltInBackEnds)
{
    UseStub("init_fails");
    LogCapture log;
    {
        CMusicPlayer player;
        EXPECT_TRUE(Contains(log.Text(), "Bass init FAILED with error: 23!\n"));
        EXPECT_FALSE(player.AddTrack(0, CMusicPlayer::eKindOgg, 0, 100, m_Folder + "one.mp3"));
        EXPECT_TRUE(Contains(log.Text(), "m_pOggStream->Open FAILED"));
    }
    const std::vector<std::string> calls = StubCalls();
    ASSERT_EQ(1u, calls.size()); // the init, nothing else: no stream, no BASS_Free
    EXPECT_EQ(0u, calls[0].find("BASS_Init -1 44100 0"));
    EXPECT_TRUE(GetModuleHandleA("bass.dll") == nullptr);
}

TEST_F(BassBindingTest, NoLibraryAtAll)
{
    UseStub("");
    LogCapture log;
    CMusicPlayer player;
    EXPECT_TRUE(Contains(log.Text(), "Loading bass library FAILED!\n"));
    EXPECT_FALSE(player.AddTrack(0, CMusicPlayer::eKindOgg, 0, 100, m_Folder + "one.mp3"));
    EXPECT_TRUE(StubCalls().empty());
}
} // namespace
