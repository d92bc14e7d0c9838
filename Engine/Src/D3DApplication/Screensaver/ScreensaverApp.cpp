// The screensaver application object: construction, start-up, the end of a
// run, the crash relaunch and the benchmark results.
#include "ScreensaverApp.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include <winver.h>

#include "CrashHandler.h"
#include "Log.h"
#include "MusicPlayer.h"
#include "OpenAutomate.h"
#include "RenderToDesktop.h"
#include "ScreensaverInternal.h"

namespace
{
// The title as it was at start, for the hooks that run without the object.
std::string g_TitleCopy;

const char kShowException[] = "/SHOWEXCEPTION";

std::string ProductSuffix(bool wallpaper)
{
    return wallpaper ? " 3D Animated Wallpaper" : " 3D Screensaver";
}

// "<system directory>\<name>.log"
std::string SystemLogPath(const std::string& name)
{
    char dir[2048] = {};
    GetSystemDirectoryA(dir, sizeof(dir));
    return std::string(dir) + "\\" + name + ".log";
}

std::string ReadTextFile(FILE* file)
{
    std::string text;
    char line[1024];
    while (std::fgets(line, sizeof(line), file))
        text += line;
    return text;
}

// The path that follows the switch, quoted or up to the next blank; empty
// when none follows.
std::string PathAfterSwitch(const std::string& commandLine, size_t switchEnd)
{
    size_t at = commandLine.find_first_not_of(' ', switchEnd);
    if (at == std::string::npos)
        return std::string();
    if (commandLine[at] == '"')
    {
        const size_t end = commandLine.find('"', at + 1);
        return end == std::string::npos ? std::string() : commandLine.substr(at + 1, end - at - 1);
    }
    return commandLine.substr(at, commandLine.find(' ', at) - at);
}

std::string TodayText()
{
    char date[64] = {};
    GetDateFormatA(LOCALE_SYSTEM_DEFAULT, 0, nullptr, "ddMMyy", date, sizeof(date));
    return date;
}

std::string ReadVersionText(const std::string& fallback)
{
    char path[260] = {};
    if (!GetModuleFileNameA(nullptr, path, 259))
        return fallback;
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeA(path, &handle);
    if (!size)
        return fallback;
    std::vector<char> block(size);
    if (!GetFileVersionInfoA(path, 0, size, block.data()))
        return fallback;
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&info), &length) || !info)
        return fallback;
    return FormatString("%u.%u", unsigned(HIWORD(info->dwFileVersionMS)), unsigned(LOWORD(info->dwFileVersionMS)));
}
} // namespace

namespace ScreensaverInternal
{
LanguageTable& Languages()
{
    static LanguageTable s_Table("", 111);
    return s_Table;
}

bool StartProgram(std::string commandLine)
{
    STARTUPINFOA startup;
    std::memset(&startup, 0, sizeof(startup));
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}
} // namespace ScreensaverInternal

bool IsWallpaperSwitch(const char* commandLine)
{
    if (!commandLine)
        return false;
    const std::string text = commandLine;
    for (size_t at = text.find("/w"); at != std::string::npos; at = text.find("/w", at + 1))
    {
        const bool startsWord = at == 0 || text[at - 1] == ' ';
        const bool endsWord = at + 2 == text.size() || text[at + 2] == ' ';
        if (startsWord && endsWord)
            return true;
    }
    return false;
}

CScreensaverApp::CScreensaverApp() : m_strName("Simple"), m_TrayIcon(*this)
{
    m_strTitle = m_strName + " 3D Screensaver";
    m_strVersion = ReadVersionText(m_strVersion);
    m_Settings.m_bUse64 = IsWow64();
    m_dwCreationWidth = 1024;
    m_dwCreationHeight = 768;
}

CScreensaverApp::~CScreensaverApp()
{
    // Process-wide pointers that lead to this object or to its timer.
    if (g_CrashHook == &CScreensaverApp::OnCrash)
        g_CrashHook = nullptr;
    if (g_ErrorReportHook == &CScreensaverApp::RecordErrorReportTime)
        g_ErrorReportHook = nullptr;
    if (Map::GetTextureSizeModifier() == this)
        Map::SetTextureSizeModifier(nullptr);
    ScreensaverInternal::ClearSoundHandler(this);
    m_Tuning.SetChangeHandler(nullptr);
    ReleaseLogo();
    ScreenMessageList::Release();
    if (m_hMutex)
        CloseHandle(m_hMutex);
    m_hMutex = nullptr;
}

std::string CScreensaverApp::GetSettingsKey() const
{
    return "Software\\Vellomaris\\" + m_strTitle;
}

int CScreensaverApp::GetSettingInt(const char* name)
{
    try
    {
        return m_Settings.Get(name).GetInt();
    }
    catch (const Node::KeyNotFound&)
    {
        return 0;
    }
}

void CScreensaverApp::SetSettingInt(const char* name, int value)
{
    try
    {
        m_Settings.Get(name) = Node::Value(value);
    }
    catch (const Node::KeyNotFound&)
    {
        g_Log.Printf("Can't set setting \"%s\"\n", name);
    }
}

HRESULT CScreensaverApp::Create(HINSTANCE hInstance)
{
    g_TitleCopy = m_strTitle;
    g_ErrorReportHook = &CScreensaverApp::RecordErrorReportTime;

    const char* commandLine = GetCommandLineA();
    const std::string cmd = commandLine ? commandLine : "";

    // The error-report viewer of a crashed run: shows that run's log.
    const size_t showAt = cmd.size() >= 14 ? cmd.find(kShowException) : std::string::npos;
    if (showAt != std::string::npos)
    {
        std::string path = PathAfterSwitch(cmd, showAt + sizeof(kShowException) - 1);
        if (path.empty())
            path = SystemLogPath(m_strName);
        FILE* file = std::fopen(path.c_str(), "r");
        if (!file)
            return E_FAIL;
        const std::string text = ReadTextFile(file);
        std::fclose(file);
        ShowErrorReportDialog(text);
    }

    if (IsWallpaperSwitch(commandLine))
        m_bWallpaperMode = true;
    const bool wallpaper = m_bWallpaperMode;

    const std::string product = std::string("Tarnholm") + ProductSuffix(wallpaper);
    m_hMutex = CreateMutexA(nullptr, FALSE, (product + " mutex").c_str());
    if (GetLastError() == ERROR_ALREADY_EXISTS)
        return E_FAIL;

    // The benchmark always sees the same train start and cameras; a test may ask for a seed of
    // its own through TARNHOLM_SEED so that its pictures are repeatable.
    unsigned seed = m_pBenchmark ? 0u : unsigned(std::time(nullptr));
    char seedText[32];
    const DWORD seedLength = GetEnvironmentVariableA("TARNHOLM_SEED", seedText, sizeof(seedText));
    if (seedLength > 0 && seedLength < sizeof(seedText))
        seed = unsigned(std::strtoul(seedText, nullptr, 10));
    std::srand(seed);

    m_strCaption = wallpaper ? m_strWallpaperTitle : m_strTitle;
    m_strWindowTitle = m_strCaption.c_str();

    std::string logPath = SystemLogPath(m_strName);
    FILE* logFile;
    if (m_pBenchmark)
    {
        logPath = m_strName + ".log";
        logFile = std::fopen(logPath.c_str(), "ab");
    }
    else
        logFile = std::fopen(logPath.c_str(), "w+");
    if (logFile)
    {
        char full[MAX_PATH] = {};
        if (GetFullPathNameA(logPath.c_str(), sizeof(full), full, nullptr))
            logPath = full;
        g_Log.SetFile(logFile);
        g_Log.Open(logPath.c_str());
    }

    g_Log.Printf("%s %s (%s %s)\n", product.c_str(), m_strVersion.c_str(), __DATE__, __TIME__);
    if (HRSRC res = FindResourceA(nullptr, "BUILDHASH", MAKEINTRESOURCEA(10)))
    {
        HGLOBAL mem = LoadResource(nullptr, res);
        const char* data = mem ? static_cast<const char*>(LockResource(mem)) : nullptr;
        if (data)
        {
            std::string hash(data, SizeofResource(nullptr, res));
            while (!hash.empty() && (hash.back() == '\n' || hash.back() == '\r' || hash.back() == 0))
                hash.pop_back();
            g_Log.Printf("Build Hash: %s\n", hash.c_str());
        }
    }

    SetErrorMode(SEM_NOGPFAULTERRORBOX);
    SetUnhandledExceptionFilter(CrashExceptionFilter);
    g_CrashHook = &CScreensaverApp::OnCrash;

    std::string external;
    bool loaded = false;
    if (SUCCEEDED(ReadRegistryString(HKEY_LOCAL_MACHINE, GetSettingsKey().c_str(), "LoadExternalControlFile",
                                     external, true)) &&
        external == "1")
    {
        loaded = LoadExternalTuning();
        m_bTuningFromFile = loaded;
    }
    if (!loaded && !m_Tuning.LoadFromResource())
        g_Log.Printf("Warning: Can't load the built-in tuning values\n");
    m_Tuning.SetChangeHandler(this);

    ReadSettings();

    m_dwChosenMonitor = DWORD(GetSettingInt("CurMonitor"));
    m_bBlackScreens = GetSettingInt("ShowBlackScreens") ? TRUE : FALSE;

    const HRESULT hr = CD3DApplication::Create(hInstance);
    return FAILED(hr) ? hr : S_OK;
}

bool CScreensaverApp::LoadExternalTuning()
{
    static const char kFile[] = "values.txt";
    static const char kKept[] = "values.txt.bad";
    if (!m_Tuning.LoadFromFile(kFile, 2))
    {
        g_Log.Printf("Tuning file \"%s\" can't be opened; the built-in values are used\n", kFile);
        return false;
    }
    if (m_Tuning.GetRoot().m_Branches.empty() && m_Tuning.GetRoot().m_Leaves.empty())
    {
        g_Log.Printf("Tuning file \"%s\" holds no values; the built-in values are used\n", kFile);
        return false;
    }
    if (m_Tuning.GetBadLineCount() > 0)
    {
        // The file is written back on exit with the values that were read:
        // the user's text is kept beside it first.
        const bool kept = CopyFileA(kFile, kKept, FALSE) != FALSE;
        g_Log.Printf("Tuning file \"%s\": %d lines can't be read and are skipped; %s\n", kFile,
                     m_Tuning.GetBadLineCount(),
                     kept ? "the file as it was is kept as \"values.txt.bad\""
                          : "it can't be copied aside, so it is not written back");
        return kept;
    }
    return true;
}

int CScreensaverApp::Run()
{
    const int code = CD3DApplication::Run();
    if (m_bWallpaperMode && m_bWallpaperRunning)
    {
        WriteAutostart();
        m_TrayIcon.Remove();
        if (m_pRenderToDesktop)
        {
            m_pRenderToDesktop->RestoreWallpaper();
            m_pRenderToDesktop->ReleaseRenderers();
        }
    }
    if (m_bTuningFromFile && !m_Tuning.SaveToFile("values.txt"))
        g_Log.Printf("Can't write values.txt\n");
    return code;
}

void CScreensaverApp::Close()
{
    m_bReady = FALSE;
    if (m_hWnd)
        PostMessageA(m_hWnd, WM_CLOSE, 0, 0);
}

void CScreensaverApp::OnCrash()
{
    const std::string key = "Software\\Vellomaris\\" + g_TitleCopy;
    std::string last;
    if (SUCCEEDED(ReadRegistryString(HKEY_LOCAL_MACHINE, key.c_str(), "LastErrorReportTime", last, true)) &&
        last == TodayText())
        std::exit(1);

    char path[260] = {};
    if (!GetModuleFileNameA(nullptr, path, sizeof(path)))
        std::exit(1);

    const std::string text = g_Log.GetText();
    // The viewer shows this run's own log: the open log file, or, when none
    // was open, the text kept in memory written out for it.
    std::string logPath;
    if (g_Log.IsFileOpen())
    {
        logPath = g_Log.GetName();
        g_Log.Close();
    }
    else
    {
        char temp[MAX_PATH] = {};
        if (GetTempPathA(sizeof(temp), temp))
        {
            const std::string candidate = std::string(temp) + "TarnholmCrash.log";
            if (FILE* f = std::fopen(candidate.c_str(), "w"))
            {
                const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
                if (std::fclose(f) == 0 && written)
                    logPath = candidate;
            }
        }
    }

    if (!logPath.empty())
    {
        const std::string commandLine = std::string("\"") + path + "\" " + kShowException + " \"" + logPath + "\"";
        if (ScreensaverInternal::StartProgram(commandLine))
            std::exit(1);
    }
    ShowErrorReportDialog(text);
}

void CScreensaverApp::RecordErrorReportTime()
{
    const std::string key = "Software\\Vellomaris\\" + g_TitleCopy;
    WriteRegistryString(HKEY_LOCAL_MACHINE, key.c_str(), "LastErrorReportTime", TodayText(), true);
}

void CScreensaverApp::OnBenchmarkFinished()
{
    const float seconds = m_pOwnClock ? m_pOwnClock->GetTime() : 0.0f;
    const double average = seconds > 0.0f ? double(m_dwFrameCount) / seconds : 0.0;
    const TBenchmarkValueData low = TBenchmarkValueData::FromFloat(m_fLowestFPS);
    const TBenchmarkValueData high = TBenchmarkValueData::FromFloat(m_fHighestFPS);
    const TBenchmarkValueData mean = TBenchmarkValueData::FromFloat(average);
    oaSendResultValue("LowFPS", BENCHMARK_TYPE_FLOAT, &low);
    oaSendResultValue("HiFPS", BENCHMARK_TYPE_FLOAT, &high);
    oaSendResultValue("AvgFPS", BENCHMARK_TYPE_FLOAT, &mean);
}
