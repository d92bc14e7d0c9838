// The front-end's platform-free rules: the command line, where the main
// program is looked for, the graphics defaults, the stored-value checks and
// the playlist dialog's list handling.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CommandLine.h"
#include "MainProgramSearch.h"
#include "PlaylistEditing.h"
#include "SettingsRules.h"
#include "SettingsTree.h"

namespace
{
struct CommandLineCase
{
    const char* line;
    ScreensaverMode mode;
    intptr_t window;
};

class CommandLineTest : public ::testing::TestWithParam<CommandLineCase>
{
};

TEST_P(CommandLineTest, PicksModeAndWindow)
{
    const CommandLineCase& c = GetParam();
    const ParsedCommandLine parsed = ParseCommandLine(c.line);
    EXPECT_EQ(int(parsed.mode), int(c.mode)) << c.line;
    EXPECT_EQ(parsed.window, c.window) << c.line;
}

const CommandLineCase kCommandLines[] = {
    {"saver.scr", ScreensaverMode::Configure, 0},
    {"", ScreensaverMode::Configure, 0},
    {"\"C:\\my-saver\\Tarnholm 3D Screensaver.scr\" /s", ScreensaverMode::Run, 0},
    {"C:\\a b\\x-b\\saver.scr /c", ScreensaverMode::Run, 0}, // unquoted name cut at the blank
    {"\"C:\\no closing quote /c 12", ScreensaverMode::Configure, 0},
    {"saver.scr /S", ScreensaverMode::Run, 0},
    {"saver.scr /s 1234", ScreensaverMode::Run, 0},
    {"saver.scr /x", ScreensaverMode::Run, 0},
    {"saver.scr /1", ScreensaverMode::Run, 0},
    {"saver.scr /", ScreensaverMode::Run, 0},
    {"saver.scr -", ScreensaverMode::Run, 0},
    {"saver.scr /P 4711", ScreensaverMode::Preview, 4711},
    {"saver.scr /p:4711", ScreensaverMode::Preview, 4711},
    {"saver.scr /p", ScreensaverMode::Preview, 0},
    {"saver.scr /c", ScreensaverMode::Configure, 0},
    {"saver.scr /C 12", ScreensaverMode::Configure, 12},
    {"saver.scr /c:1234", ScreensaverMode::Configure, 1234},
    {"saver.scr /cx1234", ScreensaverMode::Configure, 1234},
    {"saver.scr /c /s 5", ScreensaverMode::Configure, 5},
    {"saver.scr /s /c", ScreensaverMode::Run, 0},
    {"saver.scr /t 99", ScreensaverMode::DoNothing, 0},
    {"saver.scr -a 77", ScreensaverMode::ChangePassword, 77},
    {"saver.scr\t/s", ScreensaverMode::Configure, 0}, // a tab is no separator
    {"saver.scr /p 99999999999999999999", ScreensaverMode::Preview, 0},
};
INSTANTIATE_TEST_SUITE_P(Lines, CommandLineTest, ::testing::ValuesIn(kCommandLines));

TEST(MainProgramSearchTest, AppPathHidesTheUninstallEntries)
{
    MainProgramFolders f{"D:\\App", "D:\\Uninstall", "D:\\Combined", "C:\\windows\\system32", "E:\\here"};
    EXPECT_EQ(MainProgramCandidates(f),
              (std::vector<std::string>{"D:\\App\\Tarnholm 3D Screensaver.exe",
                                        "C:\\windows\\system32\\Tarnholm 3D Screensaver.exe",
                                        "E:\\here\\Tarnholm 3D Screensaver.exe"}));
    EXPECT_EQ(MainProgramWorkingFolder(f), "D:\\App");
}

TEST(MainProgramSearchTest, UninstallEntriesInOrderAndTheWorkingFolder)
{
    MainProgramFolders f{"", "D:\\Uninstall\\", "D:\\Combined", "S", "E"};
    EXPECT_EQ(MainProgramCandidates(f),
              (std::vector<std::string>{"D:\\Uninstall\\\\Tarnholm 3D Screensaver.exe",
                                        "D:\\Combined\\Tarnholm 3D Screensaver.exe",
                                        "S\\Tarnholm 3D Screensaver.exe", "E\\Tarnholm 3D Screensaver.exe"}));
    EXPECT_EQ(MainProgramWorkingFolder(f), "D:\\Uninstall\\");
    f.uninstallFolder.clear();
    EXPECT_EQ(MainProgramCandidates(f).front(), "D:\\Combined\\Tarnholm 3D Screensaver.exe");
    EXPECT_EQ(MainProgramWorkingFolder(f), ""); // found through the combined entry: no folder of its own
}

struct DefaultsCase
{
    unsigned vendor, shader, megabytes;
    GraphicsDefaults expected;
};

class GraphicsDefaultsTest : public ::testing::TestWithParam<DefaultsCase>
{
};

TEST_P(GraphicsDefaultsTest, FollowsTheCard)
{
    const DefaultsCase& c = GetParam();
    const GraphicsDefaults d = ChooseGraphicsDefaults(c.vendor, c.shader, c.megabytes);
    EXPECT_EQ(d.quality, c.expected.quality);
    EXPECT_EQ(d.useDesktopRes, c.expected.useDesktopRes);
    EXPECT_EQ(d.modeWidth, c.expected.modeWidth);
    EXPECT_EQ(d.modeHeight, c.expected.modeHeight);
    EXPECT_EQ(d.modeFormat, c.expected.modeFormat);
}

const DefaultsCase kDefaults[] = {
    {0x10DE, 14, 512, {4, 1, 1024, 768, 22}},
    {0x1002, 20, 257, {4, 1, 1024, 768, 22}},
    {0x1002, 20, 256, {3, 1, 1024, 768, 22}},
    {0x10DE, 20, 129, {3, 1, 1024, 768, 22}},
    {0x10DE, 20, 128, {2, 0, 1024, 768, 22}},
    {0x10DE, 20, 64, {1, 0, 1024, 768, 22}},
    {0x10DE, 20, 8, {1, 0, 1024, 768, 23}},
    {0x10DE, 13, 512, {0, 0, 800, 600, 22}},
    {0x8086, 20, 128, {1, 0, 800, 600, 22}},
    {0x8086, 20, 64, {0, 0, 800, 600, 22}},
    {0x8086, 11, 512, {0, 0, 800, 600, 22}},
    {0, 0, 0, {0, 0, 800, 600, 23}}, // nothing known: the memory query failed too
};
INSTANTIATE_TEST_SUITE_P(Cards, GraphicsDefaultsTest, ::testing::ValuesIn(kDefaults));

TEST(SettingsRulesTest, DefaultsFillTheTree)
{
    Node settings;
    SetDefaultSettings(settings, ChooseGraphicsDefaults(0x10DE, 20, 512));
    EXPECT_EQ(settings.Get("GammaControl").GetInt(), 50);
    EXPECT_EQ(settings.Get("MusicVolumePercentage").GetInt(), 50);
    EXPECT_EQ(settings.Get("MonitorAspectRatio").GetInt(), 4);
    EXPECT_EQ(settings.Get("LightingMode").GetInt(), 1);
    EXPECT_EQ(settings.Get("ShowClock").GetInt(), 1);
    EXPECT_EQ(settings.Get("GraphicsQuality").GetInt(), 4);
    EXPECT_EQ(settings.Get("ModeFormat").GetInt(), 22);
    EXPECT_FALSE(settings.Has("UsePlaylist", Node::KIND_INT));
    EXPECT_FALSE(settings.Has("CurMonitor", Node::KIND_INT));
}

TEST(SettingsRulesTest, HostileStoredValuesAreReplaced)
{
    const GraphicsDefaults graphics = ChooseGraphicsDefaults(0x10DE, 20, 100);
    Node settings;
    SetDefaultSettings(settings, graphics);
    ASSERT_TRUE(settings.ReadRegistryValue("GammaControl", "2: 4000", 8));
    ASSERT_TRUE(settings.ReadRegistryValue("SoundsVolumePercentage", "2: -1", 5));
    ASSERT_TRUE(settings.ReadRegistryValue("MusicVolumePercentage", "3: loud", 8));
    ASSERT_TRUE(settings.ReadRegistryValue("MonitorAspectRatio", "2: 2147483647", 13));
    ASSERT_TRUE(settings.ReadRegistryValue("GraphicsQuality", "2: 9", 4));
    ASSERT_TRUE(settings.ReadRegistryValue("ShowFPS", "2: 1", 4));
    CheckSettings(settings, graphics);
    EXPECT_EQ(settings.Get("GammaControl").GetInt(), 50);
    EXPECT_EQ(settings.Get("SoundsVolumePercentage").GetInt(), 100);
    EXPECT_EQ(settings.Get("MusicVolumePercentage").GetKind(), Node::KIND_INT);
    EXPECT_EQ(settings.Get("MusicVolumePercentage").GetInt(), 50);
    EXPECT_EQ(settings.Get("MonitorAspectRatio").GetInt(), 4);
    EXPECT_EQ(settings.Get("GraphicsQuality").GetInt(), 4);
    EXPECT_EQ(settings.Get("ShowFPS").GetInt(), 1);

    ASSERT_TRUE(settings.ReadRegistryValue("GraphicsQuality", "2: -3", 5));
    CheckSettings(settings, graphics);
    EXPECT_EQ(settings.Get("GraphicsQuality").GetInt(), 0);
    EXPECT_STREQ(GraphicsQualityName(-3), "Minimal");
    EXPECT_STREQ(GraphicsQualityName(17), "Maximal");
    EXPECT_STREQ(GraphicsQualityName(2), "Middle");
}

TEST(SettingsRulesTest, WidescreenAvailability)
{
    struct Case
    {
        int aspect;
        unsigned w, h;
        bool available;
    } cases[] = { // 1.59 itself is below the single-precision 1.59
        {0, 1920, 1080, true}, {1, 1920, 1080, true},  {2, 1280, 1024, false}, {3, 1280, 1024, false},
        {4, 1920, 1080, false}, {4, 1280, 1024, true}, {4, 1680, 1050, false}, {4, 1591, 1000, false},
        {4, 1590, 1000, true}, {4, 1024, 0, false},    {7, 1024, 768, false},  {-1, 1024, 768, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsWidescreenAvailable(c.aspect, c.w, c.h), c.available) << c.aspect << " " << c.w << "x" << c.h;
}

TEST(SettingsRulesTest, ModeTexts)
{
    EXPECT_EQ(ModeText(1024, 768, 22), "1024 x 768 x 32");
    EXPECT_EQ(ModeText(800, 600, 21), "800 x 600 x 32");
    EXPECT_EQ(ModeText(640, 480, 23), "640 x 480 x 16");
    EXPECT_EQ(ModeText(640, 480, 24), "640 x 480 x 16");
    EXPECT_EQ(ModeText(640, 480, 20), "640 x 480 x 0");
}

TEST(PlaylistEditingTest, OneChosenFileIsTheWholeBuffer)
{
    const char buffer[] = "C:\\Music\\one.ogg\0\0";
    EXPECT_EQ(SplitOpenFileNames(buffer, sizeof buffer, 9), (std::vector<std::string>{"C:\\Music\\one.ogg"}));
}

TEST(PlaylistEditingTest, SeveralFilesAreJoinedToTheFolderInOrder)
{
    const char buffer[] = "C:\\Music\0b.ogg\0a.mp3\0\0";
    EXPECT_EQ(SplitOpenFileNames(buffer, sizeof buffer, 9),
              (std::vector<std::string>{"C:\\Music\\b.ogg", "C:\\Music\\a.mp3"}));
    const char root[] = "C:\\\0x.wav\0\0";
    EXPECT_EQ(SplitOpenFileNames(root, sizeof root, 4), (std::vector<std::string>{"C:\\x.wav"}));
}

TEST(PlaylistEditingTest, AnUnterminatedBufferIsReadOnlyToItsEnd)
{
    const char buffer[] = {'C', ':', '\0', 'a', 'b'};
    EXPECT_EQ(SplitOpenFileNames(buffer, sizeof buffer, 3), (std::vector<std::string>{"C:\\ab"}));
    EXPECT_TRUE(SplitOpenFileNames(buffer, sizeof buffer, 99).size() == 1);
}

TEST(PlaylistEditingTest, M3uNames)
{
    EXPECT_TRUE(IsM3uName("C:\\list.m3u"));
    EXPECT_TRUE(IsM3uName("C:\\listm3u"));
    EXPECT_FALSE(IsM3uName("C:\\list.M3U"));
    EXPECT_FALSE(IsM3uName("C:\\list.pls"));
    EXPECT_FALSE(IsM3uName("u"));
}

struct FakeRows
{
    std::vector<std::string> rows;
    std::vector<bool> selected;
    std::vector<std::string> playlist;
    size_t Count() const { return rows.size(); }
    bool IsSelected(size_t i) const { return selected[i]; }
    void Erase(size_t i)
    {
        rows.erase(rows.begin() + long(i));
        selected.erase(selected.begin() + long(i));
        playlist.erase(playlist.begin() + long(i));
    }
};

TEST(PlaylistEditingTest, RemovingSelectedRowsKeepsListAndPlaylistAligned)
{
    FakeRows list{{"a", "b", "c", "d", "e"}, {false, true, true, false, true}, {"a", "b", "c", "d", "e"}};
    RemoveSelectedRows(list);
    EXPECT_EQ(list.rows, (std::vector<std::string>{"a", "d"}));
    EXPECT_EQ(list.playlist, list.rows);

    FakeRows none{{"a"}, {false}, {"a"}};
    RemoveSelectedRows(none);
    EXPECT_EQ(none.rows.size(), 1u);
}
} // namespace
