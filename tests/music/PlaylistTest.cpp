// The playlist's text form: which lines enter the list, in which order, and
// that what Serialize writes parses back to the same list.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "MusicPlaylist.h"

namespace fs = std::filesystem;

namespace
{
class PlaylistTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_Dir = fs::temp_directory_path() /
                ("tarnholm-playlist-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(m_Dir);
        fs::create_directories(m_Dir / "sub");
        for (const char* name : {"one.ogg", "two.mp3", "sub/three.wav", "cwd.wav"})
            Touch(m_Dir / name);
        m_OldCwd = fs::current_path();
        fs::current_path(m_Dir / "sub");
        Touch(m_Dir / "sub" / "here.wav");
    }
    void TearDown() override
    {
        fs::current_path(m_OldCwd);
        fs::remove_all(m_Dir);
    }
    static void Touch(const fs::path& p) { std::ofstream(p) << "x"; }
    // The folder with its trailing separator, as the player and the dialog pass it.
    std::string Folder() const { return (m_Dir / "").string(); }
    // Replaces every "$D/" in a case's text by Folder().
    std::string Expand(std::string text) const
    {
        for (size_t at; (at = text.find("$D/")) != std::string::npos;)
            text.replace(at, 3, Folder());
        return text;
    }

    fs::path m_Dir;
    fs::path m_OldCwd;
};

struct ParseCase
{
    const char* name;
    bool withFolder; // Parse with Folder() instead of an empty folder
    const char* text;
    std::vector<const char*> expected; // entries, "$D/" expanded
};

TEST_F(PlaylistTest, ParseTable)
{
    const std::string longComment = "#" + std::string(3000, 'c');
    const std::vector<ParseCase> cases = {
        {"empty text", false, "", {}},
        {"m3u with comments and blank lines", false,
         "#EXTM3U\n#EXTINF:123,Artist - One\n$D/one.ogg\n\n#EXTINF:-1,Two\n$D/two.mp3\n",
         {"$D/one.ogg", "$D/two.mp3"}},
        {"last line without LF", false, "$D/one.ogg\n$D/two.mp3", {"$D/one.ogg", "$D/two.mp3"}},
        {"missing files are dropped", false, "$D/gone.ogg\n$D/two.mp3\nnowhere.wav\n", {"$D/two.mp3"}},
        {"relative against the folder first", true, "one.ogg\nsub/three.wav\n", {"$D/one.ogg", "$D/sub/three.wav"}},
        {"relative against the working folder", true, "here.wav\n", {"here.wav"}},
        {"absolute line with a folder", true, "$D/two.mp3\n", {"$D/two.mp3"}},
        {"a directory counts as existing", false, "$D/sub\n", {"$D/sub"}},
        {"CR stays part of the line", false, "$D/one.ogg\r\n$D/two.mp3\n", {"$D/two.mp3"}},
        {"duplicates are kept", false, "$D/one.ogg\n$D/one.ogg\n", {"$D/one.ogg", "$D/one.ogg"}},
        {"leading blank is not trimmed", false, " $D/one.ogg\n", {}},
    };
    for (const ParseCase& c : cases)
    {
        MusicPlaylist list;
        const bool result = list.Parse(c.withFolder ? Folder() : std::string(), Expand(c.text));
        std::vector<std::string> got, want;
        for (size_t i = 0; i < list.GetCount(); ++i)
            got.push_back(list.GetEntry(i));
        for (const char* e : c.expected)
            want.push_back(Expand(e));
        EXPECT_EQ(want, got) << c.name;
        EXPECT_EQ(!want.empty(), result) << c.name;
    }
}

TEST_F(PlaylistTest, OverlongLineIsSkippedAndLaterLinesStillCount)
{
    MusicPlaylist list;
    const std::string text = Expand("$D/one.ogg\n") + std::string(MusicPlaylist::kMaxLineLength + 1, 'x') + "\n" +
                             Expand("$D/two.mp3\n");
    EXPECT_TRUE(list.Parse("", text));
    ASSERT_EQ(2u, list.GetCount());
    EXPECT_EQ(Expand("$D/two.mp3"), list.GetEntry(1));
}

#ifndef _WIN32
// Windows' ANSI file functions stop at MAX_PATH; natively a path may be long.
TEST_F(PlaylistTest, LineOfTheLongestLengthIsRead)
{
    std::string line = Folder();
    while (line.size() + 2 + 7 < MusicPlaylist::kMaxLineLength)
        line += "./";
    line += "one.ogg";
    line.insert(Folder().size(), std::string(MusicPlaylist::kMaxLineLength - line.size(), '/'));
    ASSERT_EQ(MusicPlaylist::kMaxLineLength, line.size());
    // One more slash names the same file but is a character too long.
    const std::string overlong = std::string(line).insert(Folder().size(), "/");
    MusicPlaylist list;
    EXPECT_FALSE(list.Parse("", overlong + "\n"));
    EXPECT_TRUE(list.Parse("", line + "\n"));
    EXPECT_EQ(1u, list.GetCount());
}
#endif

TEST_F(PlaylistTest, ParseAppendsToEarlierEntries)
{
    MusicPlaylist list;
    list.AddEntry("kept-as-given");
    EXPECT_TRUE(list.Parse("", ""));
    EXPECT_TRUE(list.Parse("", Expand("$D/one.ogg\n")));
    ASSERT_EQ(2u, list.GetCount());
    EXPECT_EQ("kept-as-given", list.GetEntry(0));
}

TEST_F(PlaylistTest, SerializeParsesBackAndDropsDeletedFiles)
{
    MusicPlaylist list;
    list.AddEntry(Expand("$D/one.ogg"));
    list.AddEntry(Expand("$D/two.mp3"));
    std::string text;
    list.Serialize(text);
    EXPECT_EQ(Expand("$D/one.ogg\n$D/two.mp3\n"), text);

    MusicPlaylist back;
    EXPECT_TRUE(back.Parse("", text));
    ASSERT_EQ(2u, back.GetCount());
    EXPECT_EQ(list.GetEntry(0), back.GetEntry(0));
    EXPECT_EQ(list.GetEntry(1), back.GetEntry(1));

    fs::remove(m_Dir / "one.ogg");
    MusicPlaylist after;
    EXPECT_TRUE(after.Parse("", text));
    std::string again;
    after.Serialize(again);
    EXPECT_EQ(Expand("$D/two.mp3\n"), again);
}

TEST_F(PlaylistTest, EraseAndGetOutsideTheListChangeNothing)
{
    MusicPlaylist list;
    list.AddEntry("a");
    list.AddEntry("b");
    list.AddEntry("c");
    list.EraseAt(1);
    list.EraseAt(7);
    ASSERT_EQ(2u, list.GetCount());
    EXPECT_EQ("c", list.GetEntry(1));
    EXPECT_EQ("", list.GetEntry(2));
}

TEST_F(PlaylistTest, LoadFromFileResolvesAgainstTheFilesFolder)
{
    // CR LF line ends, a relative entry, an absolute entry, a missing one.
    std::ofstream(m_Dir / "list.m3u", std::ios::binary)
        << "#EXTM3U\r\n#EXTINF:5,One\r\none.ogg\r\nsub/three.wav\r\nmissing.ogg\r\n"
        << Expand("$D/two.mp3");
    MusicPlaylist list;
    EXPECT_TRUE(list.LoadFromFile((m_Dir / "list.m3u").string()));
    std::string text;
    list.Serialize(text);
    EXPECT_EQ(Expand("$D/one.ogg\n$D/sub/three.wav\n$D/two.mp3\n"), text);

    MusicPlaylist none;
    EXPECT_FALSE(none.LoadFromFile((m_Dir / "no-such.m3u").string()));
    EXPECT_FALSE(none.LoadFromFile(""));
    EXPECT_EQ(0u, none.GetCount());
}
} // namespace
