// The option table, the command line and the dispatcher, natively against a
// scripted harness.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cfloat>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>

#include "OpenAutomate.h"
#include "ScriptedHarness.h"

namespace
{
std::vector<std::string> Split(const char* line)
{
    CCommandLineArgs args(line);
    std::vector<std::string> out;
    for (size_t i = 0; i < args.Count(); ++i)
        out.push_back(args[i]);
    return out;
}

// Runs each test in a folder of its own: the table reads and writes
// "options.txt" in the working folder.
class InTempFolder : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/tarnholm-bench-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_Folder = pattern;
        ASSERT_EQ(getcwd(m_Old, sizeof(m_Old)), m_Old);
        ASSERT_EQ(chdir(m_Folder.c_str()), 0);
        ScriptedHarness::Get().Reset();
    }
    void TearDown() override
    {
        std::remove("options.txt");
        EXPECT_EQ(chdir(m_Old), 0);
        rmdir(m_Folder.c_str());
    }
    static std::string ReadFile(const char* name)
    {
        std::ifstream in(name, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    static void WriteFile(const char* name, const std::string& text)
    {
        std::ofstream(name, std::ios::binary) << text;
    }
    std::string m_Folder;
    char m_Old[4096];
};

TBenchmarkCommand Command(int32_t code, const char* name = nullptr)
{
    TBenchmarkCommand c = {};
    c.Size = sizeof(c);
    c.Code = code;
    c.Name = name;
    return c;
}

TBenchmarkOption Record(const char* name, int32_t type, TBenchmarkValueData value)
{
    TBenchmarkOption option;
    option.Name = name;
    option.Type = type;
    option.Value = value;
    return option;
}
} // namespace

TEST(CommandLineTest, SplitsAsTheSwitchesReadIt)
{
    const struct
    {
        const char* line;
        std::vector<std::string> args;
    } cases[] = {
        {"prog a b", {"prog", "a", "b"}},
        {"prog\ta\n b", {"prog", "a", "b"}},
        {"\"C:\\My Prog\\p.exe\" -x", {"C:\\My Prog\\p.exe", "-x"}},
        {"prog \"a b\"", {"prog", "a b"}},
        {"prog \"a\"b\" c", {"prog", "a\"b", "c"}},           // a quote inside stays
        {"prog \"unclosed arg", {"prog", "unclosed arg"}},     // runs to the end
        {"prog \"unclosed\"x", {"prog", "unclosed\"x"}},
        {"prog a ", {"prog", "a"}},                           // one blank closes the argument
        {"prog a  ", {"prog", "a", ""}},                      // further blanks: one empty argument
        {"prog -openautomate  ", {"prog", "-openautomate", ""}},
        {"\"\" x", {"", "x"}},
        {"   ", {""}},
        {"", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Split(c.line), c.args) << "command line [" << c.line << "]";
}

TEST(CommandLineTest, FindComparesWholeArgumentsWithCase)
{
    CCommandLineArgs args("prog -Install -installer -install");
    EXPECT_EQ(args.Find("-install"), 3);
    EXPECT_EQ(args.Find("-uninstall"), -1);
}

TEST_F(InTempFolder, DispatchesTheCommandLine)
{
    const struct
    {
        const char* line;
        std::vector<TBenchmarkCommand> commands;
        const char* runs;        // one letter per main-function run: B benchmark, P plain
        const char* firstCall;   // the first harness call, or "" for none
    } cases[] = {
        {"prog", {}, "P", ""},
        {"prog /s", {}, "P", ""},
        {"prog -INSTALL", {}, "P", ""},
        {"prog -install", {}, "", "register 1 VELLOMARIS\\Tarnholm 3D Screensaver\\1.0.0 region en_EN"},
        {"prog -openautomate p.dll -install", {Command(6, "b")}, "",
         "register 1 VELLOMARIS\\Tarnholm 3D Screensaver\\1.0.0 region en_EN"},
        {"prog -uninstall -openautomate p.dll", {}, "", "unregister 1 VELLOMARIS\\Tarnholm 3D Screensaver\\1.0.0"},
        {"prog -openautomate", {}, "", "init "},
        {"prog -openautomate  ", {}, "", "init "},
        {"prog -openautomate C:\\p.dll;-x", {}, "", "init C:\\p.dll;-x"},
        {"prog -openautomate p.dll", {Command(6, "b"), Command(9), Command(6, "b")}, "BB", "init p.dll"},
        {"prog -openautomate p.dll", {Command(6, "b"), Command(1), Command(6, "b")}, "BP", "init p.dll"},
        {"prog -openautomate p.dll", {Command(0), Command(6, "b")}, "", "init p.dll"},
    };
    for (const auto& c : cases)
    {
        ScriptedHarness::Get().Reset();
        ScriptedHarness::Get().commands = c.commands;
        COpenAutomateOptions table;
        std::string runs;
        table.Run(c.line, [&] {
            runs += table.IsBenchmarkRun() ? 'B' : 'P';
            return 7;
        });
        const std::vector<std::string>& calls = ScriptedHarness::Get().calls;
        EXPECT_EQ(runs, c.runs) << c.line;
        EXPECT_EQ(calls.empty() ? "" : calls.front(), c.firstCall) << c.line;
    }
}

TEST_F(InTempFolder, AFailedInitialisationEndsWithoutRunning)
{
    ScriptedHarness::Get().initResult = false;
    ScriptedHarness::Get().commands = {Command(6, "b")};
    COpenAutomateOptions table;
    int runs = 0;
    EXPECT_EQ(table.Run("prog -openautomate p.dll", [&] { return ++runs; }), 0);
    EXPECT_EQ(runs, 0);
}

TEST_F(InTempFolder, RunBenchmarkTakesTheNameAndKeepsTheFlag)
{
    ScriptedHarness::Get().commands = {Command(6, "first"), Command(2), Command(6, nullptr)};
    COpenAutomateOptions table;
    std::vector<std::string> names;
    table.Run("prog -openautomate p.dll", [&] {
        names.push_back(table.GetBenchmarkName());
        return 0;
    });
    EXPECT_EQ(names, (std::vector<std::string>{"first", ""}));
    EXPECT_TRUE(table.IsBenchmarkRun());
}

// The scene declares its options before the command line is handled.
void DeclareSceneOptions(COpenAutomateOptions& table)
{
    table.SetBenchmarkLength(1000);
    table.AddOption(Record("EnableShaders", BENCHMARK_TYPE_BOOL, TBenchmarkValueData::FromBool(true)));
    TBenchmarkOption smoke = Record("SmokeQuality", BENCHMARK_TYPE_INT, TBenchmarkValueData::FromInt(3));
    smoke.Min = TBenchmarkValueData::FromInt(0);
    smoke.Max = TBenchmarkValueData::FromInt(3);
    smoke.NumSteps = 3;
    table.AddOption(smoke);
}

TEST_F(InTempFolder, ReportsOptionsInOrderAndCurrentValuesByName)
{
    ScriptedHarness::Get().commands = {Command(2), Command(3), Command(5)};
    COpenAutomateOptions table;
    DeclareSceneOptions(table);
    table.Run("prog -openautomate p.dll", [] { return 0; });
    const std::vector<std::string> expected = {
        "init p.dll",
        // Only an Enum record carries its value to the harness.
        "option EnableShaders Bool False",
        "option SmokeQuality Int 0 0..3/3",
        "option User/Resolution Enum 800x600",
        "option User/Resolution Enum 1024x768",
        "option User/Resolution Enum 1280x1024",
        "option User/DisableSound Bool False",
        "option User/DisableMusic Bool False",
        "option User/HighQualityTextures Bool False",
        "value EnableShaders Bool True",
        "value SmokeQuality Int 3",
        "value User/DisableMusic Bool False",
        "value User/DisableSound Bool False",
        "value User/HighQualityTextures Bool True",
        "value User/Resolution Enum 1280x1024",
        "benchmark benchmark",
    };
    EXPECT_EQ(ScriptedHarness::Get().calls, expected);
    EXPECT_EQ(table.GetBenchmarkLength(), 1000u);
}

TEST_F(InTempFolder, SetOptionsKeepsDeclaredTypesAndWritesTheFile)
{
    WriteFile("options.txt", "Old/Name;Float;2.5\n");
    ScriptedHarness& h = ScriptedHarness::Get();
    h.commands = {Command(4)};
    h.optionValues = {
        Record("User/Resolution", BENCHMARK_TYPE_ENUM, TBenchmarkValueData::FromText("1024x768")),
        Record("SmokeQuality", BENCHMARK_TYPE_INT, TBenchmarkValueData::FromInt(1)),
        Record("EnableShaders", BENCHMARK_TYPE_STRING, TBenchmarkValueData::FromText("oops")), // wrong type
        Record("User/DisableSound", BENCHMARK_TYPE_BOOL, TBenchmarkValueData::FromBool(true)),
        Record(nullptr, BENCHMARK_TYPE_INT, TBenchmarkValueData::FromInt(1)),                   // no name
        Record("Text", BENCHMARK_TYPE_STRING, TBenchmarkValueData::FromText(nullptr)),           // no text
        Record("Free", BENCHMARK_TYPE_FLOAT, TBenchmarkValueData::FromFloat(0.25)),
    };
    COpenAutomateOptions table;
    DeclareSceneOptions(table);
    table.Run("prog -openautomate p.dll", [] { return 0; });

    EXPECT_EQ(table.GetValue("User/Resolution"), "1024x768");
    EXPECT_EQ(table.GetInt("SmokeQuality"), 1);
    EXPECT_EQ(table["EnableShaders"].Type(), BENCHMARK_TYPE_BOOL);
    EXPECT_TRUE(table.GetBool("EnableShaders"));
    EXPECT_EQ(ReadFile("options.txt"), "EnableShaders;Bool;True\n"
                                       "Free;Float;0.250000\n"
                                       "Old/Name;Float;2.500000\n"
                                       "SmokeQuality;Int;1\n"
                                       "User/DisableMusic;Bool;False\n"
                                       "User/DisableSound;Bool;True\n"
                                       "User/HighQualityTextures;Bool;True\n"
                                       "User/Resolution;Enum;1024x768\n");
}

TEST_F(InTempFolder, SavedValuesOverrideTheDefaultsAtTheNextStart)
{
    WriteFile("options.txt", "User/Resolution;Enum;800x600\nSmokeQuality;Int;2\nUser/DisableMusic;Int;1\n");
    COpenAutomateOptions table;
    DeclareSceneOptions(table);
    table.Run("prog -openautomate p.dll", [] { return 0; });
    EXPECT_EQ(table.GetValue("User/Resolution"), "800x600");
    EXPECT_EQ(table.GetInt("SmokeQuality"), 2);
    // A Bool option read back as another type keeps its declared type and value.
    EXPECT_EQ(table["User/DisableMusic"].Type(), BENCHMARK_TYPE_BOOL);
    EXPECT_FALSE(table.GetBool("User/DisableMusic"));
}

TEST(OptionsFileTest, ReadsEachLineOnItsOwn)
{
    const std::string longLine(1100, 'x');
    const std::string text = "a;Int;5\n"
                             "  spaced;Bool;True trailing words\n"
                             "no match here\n"
                             "A;B;C;D\n" +
                             longLine + ";Int;1\n" +
                             "n;Weird;3\n"
                             "f;Float;0.100000\n"
                             "s;String;hello world\n"
                             "z;Int;99999999999\n"
                             "crlf;Enum;x\r\n"
                             "nul;Int;4" +
                             std::string(1, '\0') + "\n" + "last;Int;-7";
    FILE* file = fmemopen(const_cast<char*>(text.data()), text.size(), "rb");
    ASSERT_NE(file, nullptr);
    COpenAutomateOptions table;
    table.Load(file);

    std::vector<std::string> entries;
    for (const auto& e : table.Values())
        entries.push_back(e.first + "|" + COpenAutomateOptions::TypeName(e.second.Type()) + "|" +
                          COpenAutomateOptions::FormatValue(e.second.Type(), *e.second.Data()));
    const std::vector<std::string> expected = {
        "A;B|Invalid|Unknown",
        "a|Int|5", "crlf|Enum|x", "f|Float|0.100000", "last|Int|-7", "n|Invalid|Unknown", "s|String|hello",
        "spaced|Bool|True", "z|Int|2147483647",
    };
    EXPECT_EQ(entries, expected);
    EXPECT_EQ(table["f"].Float(), (double)0.1f);
}

TEST(OptionsFileTest, LineMatcherFindsWhatTheSearchFinds)
{
    const std::regex pattern("(\\S+);(\\S+);(\\S+)");
    const char* lines[] = {"a;b;c", "a;b;c;d", "a;;b;c", ";a;b;c", "a;b;", "x a;b;c y", "a;b c;d;e",
                           ";;;;;", "a;;;b", "a;b;;c", "p;q;r s;t;u", "", "  ", ";", "a;b;c\r"};
    for (const char* line : lines)
    {
        std::smatch m;
        const std::string s = line;
        const bool found = std::regex_search(s, m, pattern);
        std::string name, type, value;
        ASSERT_EQ(MatchBenchmarkOptionLine(s, name, type, value), found) << "[" << line << "]";
        if (found)
        {
            EXPECT_EQ(name, m[1].str()) << line;
            EXPECT_EQ(type, m[2].str()) << line;
            EXPECT_EQ(value, m[3].str()) << line;
        }
    }
}

TEST(OptionsFileTest, ConversionsOfTheTextFormat)
{
    EXPECT_EQ(COpenAutomateOptions::TypeFromName("Invalid"), BENCHMARK_TYPE_INVALID);
    EXPECT_EQ(COpenAutomateOptions::TypeFromName("bool"), BENCHMARK_TYPE_INVALID);
    EXPECT_EQ(COpenAutomateOptions::TypeFromName("Enum"), BENCHMARK_TYPE_ENUM);
    EXPECT_STREQ(COpenAutomateOptions::TypeName(9), "Unknown");
    EXPECT_STREQ(COpenAutomateOptions::TypeName(-1), "Unknown");
    EXPECT_FALSE(COpenAutomateOptions::ParseValue("true", BENCHMARK_TYPE_BOOL).Int);
    EXPECT_EQ(COpenAutomateOptions::ParseValue("1e300", BENCHMARK_TYPE_FLOAT).Float, (double)FLT_MAX);
    EXPECT_EQ(COpenAutomateOptions::ParseValue("-12abc", BENCHMARK_TYPE_INT).Int, -12);
}
