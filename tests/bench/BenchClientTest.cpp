// The harness client under Wine against our own plug-in: initialisation and
// its gates, the calls forwarded through the plug-in's table, the option
// commands end to end, and the registration with the harness.
#include <gtest/gtest.h>

#include <windows.h>
#include <io.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "OpenAutomate.h"

namespace
{
std::string ModuleFolder()
{
    char path[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string text(path, n);
    return text.substr(0, text.rfind('\\') + 1);
}

std::string PluginPath()
{
    return ModuleFolder() + "TarnholmTestOaPlugin.dll";
}

// A fresh folder under the temporary folder.
std::string TempFolder(const char* name)
{
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + name + "-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> ReadLines(const std::string& path)
{
    std::ifstream in(path);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

// Collects what the code under test writes to the standard error stream.
class StderrCapture
{
public:
    StderrCapture()
    {
        m_Path = TempFolder("tarnholm-stderr") + "\\stderr.txt";
        std::fflush(stderr);
        m_Saved = _dup(2);
        m_pFile = std::fopen(m_Path.c_str(), "w");
        _dup2(_fileno(m_pFile), 2);
    }
    std::string Text()
    {
        std::fflush(stderr);
        _dup2(m_Saved, 2);
        _close(m_Saved);
        std::fclose(m_pFile);
        // The stream writes text: line ends come as CR LF.
        std::string text = ReadFile(m_Path);
        text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
        return text;
    }

private:
    std::string m_Path;
    int m_Saved;
    FILE* m_pFile;
};

class ClientTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_Folder = TempFolder("tarnholm-oa");
        m_Calls = m_Folder + "\\calls.txt";
        DeleteFileA(m_Calls.c_str());
    }
    void TearDown() override { COpenAutomateClient::Cleanup(); }
    std::string Init(const std::string& argument) const
    {
        return PluginPath() + ";calls=" + m_Calls + (argument.empty() ? "" : "&" + argument);
    }
    std::string m_Folder, m_Calls;
};
} // namespace

TEST_F(ClientTest, InitialisationGates)
{
    const uintptr_t fetchEnd = offsetof(TBenchmarkFunctionTable, FetchCommand) + sizeof(void*);
    const struct
    {
        std::string init;
        bool ok;
        const char* errors;
    } cases[] = {
        {Init(""), true, ""},
        {Init("version=0.6"), true, ""},
        {Init("version=0.5"), false,
         "ERROR: Minimum required version is 0.6.  Plugin version is 0.5.\n"},
        {Init("version=-1.9"), false,
         "ERROR: Minimum required version is 0.6.  Plugin version is -1.9.\n"},
        {Init("size=" + std::to_string(fetchEnd)), true, ""},
        {Init("size=" + std::to_string(fetchEnd - 1)), false, "ERROR: Plugin is misconfigured.\n"},
        {Init("size=4"), false, "ERROR: Plugin is misconfigured.\n"},
        {Init("fetch=null"), false, "ERROR: Plugin is misconfigured.\n"},
        {Init("table=null"), false, "ERROR: Plugin is misconfigured.\n"},
        {"C:\\no\\such\\plugin.dll;x", false,
         "OpenAutomate Failed loading: 'C:\\no\\such\\plugin.dll'\nERROR: Couldn't load the plugin.\n"},
        {"kernel32.dll", false,
         "ERROR: Plugin does not have the correct entry point.\nERROR: Couldn't load the plugin.\n"},
        {"", false, "OpenAutomate PluginPath was undefined\nERROR: Couldn't load the plugin.\n"},
        {"\xff\xfe.dll", false,
         "OpenAutomate MultiByteToWideChar returned error: ERROR_NO_UNICODE_TRANSLATION\n"
         "ERROR: Couldn't load the plugin.\n"},
    };
    for (const auto& c : cases)
    {
        TBenchmarkVersion version = {};
        StderrCapture capture;
        const bool ok = oaInit(c.init.c_str(), &version);
        EXPECT_EQ(capture.Text(), c.errors) << c.init;
        EXPECT_EQ(ok, c.ok) << c.init;
        EXPECT_EQ(COpenAutomateClient::IsInitialized(), c.ok) << c.init;
        if (ok)
        {
            EXPECT_TRUE(version.Major == 1 && version.Minor == 0 && version.Custom == 0 && version.Build == 1);
        }
        COpenAutomateClient::Cleanup();
    }
}

TEST_F(ClientTest, ASecondInitialisationUnloadsThePlugin)
{
    TBenchmarkVersion version;
    ASSERT_TRUE(oaInit(Init("").c_str(), &version));
    StderrCapture capture;
    EXPECT_FALSE(oaInit(Init("").c_str(), &version));
    EXPECT_EQ(capture.Text(), "ERROR: oaInit() called more than once.\n");
    EXPECT_FALSE(COpenAutomateClient::IsInitialized());
    EXPECT_EQ(GetModuleHandleA("TarnholmTestOaPlugin.dll"), nullptr);
}

TEST_F(ClientTest, BlanksInThePathAndTheArgument)
{
    const std::string folder = m_Folder + "\\My Plugins";
    CreateDirectoryA(folder.c_str(), nullptr);
    ASSERT_TRUE(CopyFileA(PluginPath().c_str(), (folder + "\\p.dll").c_str(), FALSE));
    const std::string init = m_Folder + "\\My%20Plugins\\p.dll;calls=" + m_Calls + "&note=a%20b";
    TBenchmarkVersion version;
    ASSERT_TRUE(oaInit(init.c_str(), &version));
    COpenAutomateClient::Cleanup();
    const std::vector<std::string> calls = ReadLines(m_Calls);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0], "init argument=calls=" + m_Calls + "&note=a b client=1.0.0.1");
}

TEST_F(ClientTest, CallsReachThePluginUntilTheExitCommand)
{
    TBenchmarkVersion version;
    ASSERT_TRUE(oaInit(Init("commands=5").c_str(), &version));
    TBenchmarkOption option;
    option.Type = BENCHMARK_TYPE_INT;
    option.Name = "SmokeQuality";
    option.Value = TBenchmarkValueData::FromInt(3);
    option.Max = TBenchmarkValueData::FromInt(3);
    option.NumSteps = 3;
    oaDeclareOption(&option);
    const TBenchmarkValueData text = TBenchmarkValueData::FromText("1024x768");
    oaDeclareOptionValue("User/Resolution", BENCHMARK_TYPE_ENUM, &text);
    oaDeclareBenchmark("benchmark");
    EXPECT_EQ(oaFetchOptionValue(), nullptr);
    oaBenchmarkBegins();
    oaFrameDrawn(0.25);
    oaBenchmarkEnds();
    const TBenchmarkValueData fps = TBenchmarkValueData::FromFloat(42.5);
    oaSendResultValue("AvgFPS", BENCHMARK_TYPE_FLOAT, &fps);
    TBenchmarkCommand command = {};
    command.Size = sizeof(command);
    EXPECT_EQ(oaFetchCommand(&command), 5);
    EXPECT_EQ(command.Code, 5);
    EXPECT_EQ(oaFetchCommand(&command), 0);
    EXPECT_EQ(command.Code, 0);
    EXPECT_FALSE(COpenAutomateClient::IsInitialized());

    // After the exit command nothing reaches the plug-in.
    StderrCapture capture;
    oaBenchmarkBegins();
    oaFrameDrawn(1.0);
    EXPECT_EQ(oaFetchCommand(&command), 0);
    EXPECT_EQ(capture.Text(), "ERROR: OA not initialized.\nERROR: OA not initialized.\nERROR: OA not initialized.\n");

    std::vector<std::string> calls = ReadLines(m_Calls);
    ASSERT_GE(calls.size(), 7u);
    calls.erase(calls.begin());
    // The summary line's numbers depend on the clock.
    for (std::string& line : calls)
        if (line.compare(0, 5, "ends ") == 0)
            line = line.substr(0, line.find(" seconds="));
    const std::vector<std::string> expected = {
        "option SmokeQuality Int 3 0..3/3 size=80 tag=32",
        "value User/Resolution Enum 1024x768",
        "benchmark benchmark",
        "fetch-option end",
        "begins",
        "frame 0.250",
        "ends frames=1",
        "result AvgFPS Float 42.5",
        "fetch 5 size=" + std::to_string(sizeof(TBenchmarkCommand)),
        "fetch 0 size=" + std::to_string(sizeof(TBenchmarkCommand)),
    };
    EXPECT_EQ(calls, expected);
}

TEST_F(ClientTest, AShortTableServesOnlyTheSlotsItReaches)
{
    // Slots 0 to 3: the size, the command fetch, the value fetch and the
    // option declaration.
    const size_t size = offsetof(TBenchmarkFunctionTable, DeclareOptionValue);
    TBenchmarkVersion version;
    ASSERT_TRUE(oaInit(Init("size=" + std::to_string(size)).c_str(), &version));
    TBenchmarkOption option;
    option.Type = BENCHMARK_TYPE_BOOL;
    option.Name = "EnableLeaves";
    oaDeclareOption(&option);
    oaDeclareBenchmark("benchmark");
    oaBenchmarkBegins();
    COpenAutomateClient::Cleanup();
    const std::vector<std::string> calls = ReadLines(m_Calls);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1], "option EnableLeaves Bool False size=80 tag=32");
}

TEST_F(ClientTest, TheOptionCommandsEndToEnd)
{
    const std::string work = TempFolder("tarnholm-oa-work");
    char old[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, old);
    ASSERT_TRUE(SetCurrentDirectoryA(work.c_str()));
    DeleteFileA("options.txt");

    COpenAutomateOptions table;
    TBenchmarkOption leaves;
    leaves.Type = BENCHMARK_TYPE_BOOL;
    leaves.Name = "EnableLeaves";
    leaves.Value = TBenchmarkValueData::FromBool(true);
    table.AddOption(leaves);
    const std::string line =
        "\"C:\\Program Files\\Tarnholm\\t.exe\" -openautomate " + Init("") +
        "&commands=2,4,3,5,6:benchmark,6:benchmark,0"
        "&set=User/Resolution:Enum:1024x768|EnableLeaves:Int:0|EnableLeaves:Bool:False|~:Int:1|Note:String:~";
    int runs = 0;
    table.Run(line.c_str(), [&] {
        ++runs;
        EXPECT_TRUE(table.IsBenchmarkRun());
        EXPECT_EQ(table.GetBenchmarkName(), "benchmark");
        oaBenchmarkBegins();
        oaFrameDrawn(0.01);
        oaBenchmarkEnds();
        return 0;
    });
    EXPECT_EQ(runs, 2);
    EXPECT_FALSE(COpenAutomateClient::IsInitialized());
    EXPECT_EQ(ReadFile("options.txt"), "EnableLeaves;Bool;False\n"
                                       "User/DisableMusic;Bool;False\n"
                                       "User/DisableSound;Bool;False\n"
                                       "User/HighQualityTextures;Bool;True\n"
                                       "User/Resolution;Enum;1024x768\n");
    SetCurrentDirectoryA(old);

    std::vector<std::string> calls;
    for (const std::string& c : ReadLines(m_Calls))
        if (c.compare(0, 5, "init ") != 0 && c.compare(0, 6, "fetch ") != 0 && c.compare(0, 5, "ends ") != 0)
            calls.push_back(c);
    const std::vector<std::string> expected = {
        "option EnableLeaves Bool False size=80 tag=32",
        "option User/Resolution Enum 800x600 size=80 tag=32",
        "option User/Resolution Enum 1024x768 size=80 tag=32",
        "option User/Resolution Enum 1280x1024 size=80 tag=32",
        "option User/DisableSound Bool False size=80 tag=32",
        "option User/DisableMusic Bool False size=80 tag=32",
        "option User/HighQualityTextures Bool False size=80 tag=32",
        "fetch-option User/Resolution",
        "fetch-option EnableLeaves",
        "fetch-option EnableLeaves",
        "fetch-option ~",
        "fetch-option Note",
        "fetch-option end",
        "value EnableLeaves Bool False",
        "value User/DisableMusic Bool False",
        "value User/DisableSound Bool False",
        "value User/HighQualityTextures Bool True",
        "value User/Resolution Enum 1024x768",
        "benchmark benchmark",
        "begins",
        "frame 0.010",
        "begins",
        "frame 0.010",
    };
    EXPECT_EQ(calls, expected);
}

TEST(RegistrationTest, FileInTheHarnessFolder)
{
    const TBenchmarkAppId& id = COpenAutomateOptions::AppId();
    COpenAutomateOptions table;
    // Without the harness's folder nothing is written.
    SetEnvironmentVariableA("OPENAUTOMATE_DIR", nullptr);
    TBenchmarkInstallRecord record = {"a", "b", "c", "d"};
    EXPECT_FALSE(COpenAutomateClient::RegisterApp(BENCHMARK_REG_FOLDER_ENV, id, record));
    EXPECT_FALSE(COpenAutomateClient::UnregisterApp(BENCHMARK_REG_FOLDER_ENV, id));

    const std::string root = TempFolder("tarnholm-oa-reg");
    SetEnvironmentVariableA("OPENAUTOMATE_DIR", root.c_str());
    const std::string file = root + "\\OpenAutomate\\RegisteredApps\\VELLOMARIS\\Tarnholm 3D Screensaver\\1.0.0";
    table.Run("prog -install", [] { return ADD_FAILURE(), 0; });

    char module[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, module, MAX_PATH);
    const std::string path(module, n);
    const std::string text = ReadFile(file);
    const std::regex expected("OAREG 1\\.0\n\n"
                              "INSTALL_ROOT_PATH : ([^\n]*)\n"
                              "ENTRY_EXE         : ([^\n]*)\n"
                              "INSTALL_DATETIME  : \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\n"
                              "REGION            : en_EN\n");
    std::smatch m;
    ASSERT_TRUE(std::regex_match(text, m, expected)) << text;
    EXPECT_EQ(m[1].str(), path.substr(0, path.rfind('\\') + 1));
    EXPECT_EQ(m[2].str(), path);

    // Installing again writes the file anew; uninstalling removes it, and
    // uninstalling without a file succeeds.
    table.Run("prog -install", [] { return 0; });
    EXPECT_EQ(ReadFile(file).substr(0, 10), "OAREG 1.0\n");
    table.Run("prog -uninstall", [] { return ADD_FAILURE(), 0; });
    EXPECT_EQ(GetFileAttributesA(file.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(COpenAutomateClient::UnregisterApp(BENCHMARK_REG_FOLDER_ENV, id));

    // A file where a folder must go fails the registration.
    std::ofstream(root + "\\OpenAutomate\\RegisteredApps\\blocked") << "x";
    const TBenchmarkAppId blocked = {"blocked", "x", "1"};
    EXPECT_FALSE(COpenAutomateClient::RegisterApp(BENCHMARK_REG_FOLDER_ENV, blocked, record));
    EXPECT_FALSE(COpenAutomateClient::RegisterApp(3, id, record));
}

TEST(RegistrationTest, KeysInTheRegistry)
{
    const TBenchmarkAppId id = {"VELLOMARIS", "Tarnholm Registry Test", "1.0.0"};
    const TBenchmarkInstallRecord record = {"C:\\Tarnholm\\", "C:\\Tarnholm\\t.exe", "2026-01-02 03:04:05", "en_EN"};
    const struct
    {
        int kind;
        HKEY root;
    } cases[] = {{BENCHMARK_REG_KEY_USER, HKEY_CURRENT_USER}, {BENCHMARK_REG_KEY_MACHINE, HKEY_LOCAL_MACHINE}};
    const wchar_t* key = L"SOFTWARE\\OpenAutomate\\RegisteredApps\\VELLOMARIS\\Tarnholm Registry Test\\1.0.0";
    for (const auto& c : cases)
    {
        ASSERT_TRUE(COpenAutomateClient::RegisterApp(c.kind, id, record)) << c.kind;
        const struct
        {
            const wchar_t* name;
            const wchar_t* text;
        } values[] = {{L"INSTALL_ROOT_PATH", L"C:\\Tarnholm\\"},
                      {L"ENTRY_EXE", L"C:\\Tarnholm\\t.exe"},
                      {L"INSTALL_DATETIME", L"2026-01-02 03:04:05"},
                      {L"REGION", L"en_EN"}};
        for (const auto& v : values)
        {
            wchar_t text[256] = {};
            DWORD size = sizeof(text), type = 0;
            HKEY k;
            ASSERT_EQ(RegOpenKeyExW(c.root, key, 0, KEY_READ, &k), ERROR_SUCCESS);
            EXPECT_EQ(RegQueryValueExW(k, v.name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size),
                      ERROR_SUCCESS);
            RegCloseKey(k);
            EXPECT_EQ(type, (DWORD)REG_SZ);
            EXPECT_EQ(std::wstring(text), v.text);
            EXPECT_EQ(size, (wcslen(v.text) + 1) * sizeof(wchar_t));
        }
        EXPECT_TRUE(COpenAutomateClient::UnregisterApp(c.kind, id));
        HKEY k;
        EXPECT_NE(RegOpenKeyExW(c.root, key, 0, KEY_READ, &k), ERROR_SUCCESS);
        EXPECT_TRUE(COpenAutomateClient::UnregisterApp(c.kind, id));
    }
}
