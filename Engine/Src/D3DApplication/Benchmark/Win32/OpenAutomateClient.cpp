// The benchmark harness client: loads the harness's plug-in, forwards the
// calls to its function table and keeps the program's registration.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "OpenAutomateClient.h"

namespace
{
const TBenchmarkVersion kClientVersion = {1, 0, 0, 1};
const int kMinimumMajor = 0, kMinimumMinor = 6;
const size_t kMaxPathText = 1023;

// The client's state, one set per process.
bool g_bInitialized = false;
std::string g_PluginPath;
std::string g_PluginArgument;
HMODULE g_hPlugin = nullptr;
TBenchmarkPluginInitFn g_pPluginInit = nullptr;
TBenchmarkFunctionTable g_Table;
TBenchmarkVersion g_PluginVersion;

void PrintError(const char* text)
{
    std::fprintf(stderr, "ERROR: %s\n", text);
    std::fflush(stderr);
}

bool CheckInitialized()
{
    if (!g_bInitialized)
        PrintError("OA not initialized.");
    return g_bInitialized;
}

void ReplaceAll(std::string& text, const std::string& from, const std::string& to)
{
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

void ParseInitString(const char* init)
{
    std::string text = init ? init : "";
    ReplaceAll(text, "%20", " ");
    const size_t semicolon = text.find(';');
    g_PluginPath = text.substr(0, semicolon);
    g_PluginArgument = semicolon == std::string::npos ? std::string() : text.substr(semicolon + 1);
}

bool LoadPlugin()
{
    static wchar_t path[2048];
    const int n = g_PluginPath.empty()
                      ? 0
                      : MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, g_PluginPath.c_str(), -1, path, 2048);
    if (n == 0)
    {
        if (!g_PluginPath.empty())
            switch (GetLastError())
            {
            case ERROR_INSUFFICIENT_BUFFER:
                std::fprintf(stderr, "OpenAutomate MultiByteToWideChar returned error: ERROR_INSUFFICIENT_BUFFER\n");
                break;
            case ERROR_INVALID_FLAGS:
                std::fprintf(stderr, "OpenAutomate MultiByteToWideChar returned error: ERROR_INVALID_FLAGS\n");
                break;
            case ERROR_INVALID_PARAMETER:
                std::fprintf(stderr, "OpenAutomate MultiByteToWideChar returned error: ERROR_INVALID_PARAMETER\n");
                break;
            case ERROR_NO_UNICODE_TRANSLATION:
                std::fprintf(stderr,
                             "OpenAutomate MultiByteToWideChar returned error: ERROR_NO_UNICODE_TRANSLATION\n");
                break;
            default:
                break;
            }
        else
            std::fprintf(stderr, "OpenAutomate PluginPath was undefined\n");
        return false;
    }
    g_hPlugin = LoadLibraryW(path);
    if (!g_hPlugin)
    {
        std::fprintf(stderr, "OpenAutomate Failed loading: '%s'\n", g_PluginPath.c_str());
        return false;
    }
    g_pPluginInit = reinterpret_cast<TBenchmarkPluginInitFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(g_hPlugin, "oaPluginInit")));
    if (!g_pPluginInit)
    {
        PrintError("Plugin does not have the correct entry point.");
        return false;
    }
    return true;
}

// --- Registration -----------------------------------------------------------

// The folder of a folder location, built on its first use; empty when its
// environment variable is not set.
std::string EnvironmentVariable(const char* name)
{
    char value[kMaxPathText + 1];
    const DWORD n = GetEnvironmentVariableA(name, value, sizeof(value));
    if (n == 0 || n >= sizeof(value))
        return std::string();
    return value;
}

bool FolderLocation(int kind, std::string& folder)
{
    static std::string s_Folders[3];
    const int slot = kind == BENCHMARK_REG_FOLDER_ENV ? 0 : kind == BENCHMARK_REG_FOLDER_HOME ? 1 : 2;
    if (s_Folders[slot].empty())
    {
        std::string built;
        if (kind == BENCHMARK_REG_FOLDER_ENV)
        {
            const std::string dir = EnvironmentVariable("OPENAUTOMATE_DIR");
            if (!dir.empty())
                built = dir + "\\OpenAutomate\\RegisteredApps";
        }
        else if (kind == BENCHMARK_REG_FOLDER_HOME)
        {
            const std::string drive = EnvironmentVariable("HOMEDRIVE"), path = EnvironmentVariable("HOMEPATH");
            if (!drive.empty() && !path.empty())
                built = drive + "\\" + path + "\\.OpenAutomate\\RegisteredApps";
        }
        else
        {
            const std::string root = EnvironmentVariable("SystemRoot");
            if (!root.empty())
                built = root + "\\OpenAutomate\\RegisteredApps";
        }
        s_Folders[slot] = built;
    }
    folder = s_Folders[slot];
    return !folder.empty();
}

// "LOCATION\VENDOR\NAME\VERSION"; false when it would not fit the harness's
// path length (a cut path would name another file or key).
bool RegistrationPath(const std::string& location, const TBenchmarkAppId& id, std::string& path)
{
    if (!id.Vendor || !id.Name || !id.Version)
        return false;
    path = location + "\\" + id.Vendor + "\\" + id.Name + "\\" + id.Version;
    if (path.size() > kMaxPathText)
    {
        std::fprintf(stderr, "ERROR: Registration path too long: '%s'\n", path.c_str());
        return false;
    }
    return true;
}

bool CreateFolders(const std::string& folder)
{
    std::string text;
    size_t at = 0;
    while (at < folder.size())
    {
        size_t next = folder.find('\\', at);
        if (next == std::string::npos)
            next = folder.size();
        if (next > at)
        {
            text += folder.substr(at, next - at) + "\\";
            const DWORD attributes = GetFileAttributesA(text.c_str());
            if (attributes == INVALID_FILE_ATTRIBUTES)
            {
                if (!CreateDirectoryA(text.c_str(), nullptr))
                    return false;
            }
            else if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
                return false;
        }
        at = next + 1;
    }
    return true;
}

const char* OrEmpty(const char* text)
{
    return text ? text : "";
}

bool WriteRegistrationFile(const std::string& path, const TBenchmarkInstallRecord& record)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
    {
        std::fprintf(stderr, "ERROR: Couldn't open '%s' for write.\n", path.c_str());
        return false;
    }
    std::fprintf(file, "OAREG %d.%d\n\n", kClientVersion.Major, kClientVersion.Minor);
    std::fprintf(file, "INSTALL_ROOT_PATH : %s\n", OrEmpty(record.InstallRootPath));
    std::fprintf(file, "ENTRY_EXE         : %s\n", OrEmpty(record.EntryExe));
    std::fprintf(file, "INSTALL_DATETIME  : %s\n", OrEmpty(record.InstallDateTime));
    std::fprintf(file, "REGION            : %s\n", OrEmpty(record.Region));
    return std::fclose(file) == 0;
}

bool WriteRegistrationAt(int kind, const TBenchmarkAppId& id, const TBenchmarkInstallRecord& record)
{
    std::string location, path;
    if (!FolderLocation(kind, location) || !RegistrationPath(location, id, path))
        return false;
    const std::string folder = path.substr(0, path.rfind('\\') + 1);
    if (!folder.empty() && !CreateFolders(folder))
        return false;
    return WriteRegistrationFile(path, record);
}

bool DeleteRegistrationAt(int kind, const TBenchmarkAppId& id)
{
    std::string location, path;
    if (!FolderLocation(kind, location) || !RegistrationPath(location, id, path))
        return false;
    if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES)
        return true;
    return DeleteFileA(path.c_str()) != FALSE;
}

std::wstring Wide(const char* text)
{
    text = OrEmpty(text);
    const int n = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    std::wstring wide(n > 0 ? n : 1, L'\0');
    if (n > 0)
        MultiByteToWideChar(CP_ACP, 0, text, -1, &wide[0], n);
    wide.resize(wide.size() - 1);
    return wide;
}

bool RegistryKey(int kind, const TBenchmarkAppId& id, HKEY& root, std::wstring& subKey)
{
    const std::string location = kind == BENCHMARK_REG_KEY_USER
                                     ? "HKEY_CURRENT_USER\\SOFTWARE\\OpenAutomate\\RegisteredApps"
                                     : "HKEY_LOCAL_MACHINE\\SOFTWARE\\OpenAutomate\\RegisteredApps";
    std::string path;
    if (!RegistrationPath(location, id, path))
        return false;
    const size_t slash = path.find('\\');
    const std::string rootName = path.substr(0, slash);
    root = rootName == "HKEY_CURRENT_USER" ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
    subKey = Wide(path.substr(slash + 1).c_str());
    return true;
}

bool WriteRegistryEntry(int kind, const TBenchmarkAppId& id, const TBenchmarkInstallRecord& record)
{
    HKEY root;
    std::wstring subKey;
    if (!RegistryKey(kind, id, root, subKey))
        return false;
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, subKey.c_str(), 0, KEY_WRITE, &key) != ERROR_SUCCESS &&
        RegCreateKeyExW(root, subKey.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    const struct
    {
        const wchar_t* name;
        const char* text;
    } values[] = {{L"INSTALL_ROOT_PATH", record.InstallRootPath},
                  {L"ENTRY_EXE", record.EntryExe},
                  {L"INSTALL_DATETIME", record.InstallDateTime},
                  {L"REGION", record.Region}};
    for (const auto& value : values)
    {
        if (RegOpenKeyExW(root, subKey.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
            return false;
        const std::wstring text = Wide(value.text);
        const LONG result = RegSetValueExW(key, value.name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                           (DWORD)((text.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
        if (result != ERROR_SUCCESS)
            return false;
    }
    return true;
}

bool DeleteRegistryEntry(int kind, const TBenchmarkAppId& id)
{
    HKEY root;
    std::wstring subKey;
    if (!RegistryKey(kind, id, root, subKey))
        return false;
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, subKey.c_str(), 0, KEY_WRITE, &key) != ERROR_SUCCESS)
        return true;
    RegCloseKey(key);
    return RegDeleteKeyW(root, subKey.c_str()) == ERROR_SUCCESS;
}
} // namespace

// --- The client -----------------------------------------------------------

void COpenAutomateClient::Cleanup()
{
    g_PluginPath.clear();
    g_PluginArgument.clear();
    g_bInitialized = false;
    g_pPluginInit = nullptr;
    std::memset(&g_Table, 0, sizeof(g_Table));
    if (g_hPlugin)
    {
        FreeLibrary(g_hPlugin);
        g_hPlugin = nullptr;
    }
}

bool COpenAutomateClient::IsInitialized()
{
    return g_bInitialized;
}

bool oaInit(const char* initString, TBenchmarkVersion* version)
{
    if (g_bInitialized)
    {
        PrintError("oaInit() called more than once.");
        COpenAutomateClient::Cleanup();
        return false;
    }
    ParseInitString(initString);
    g_pPluginInit = nullptr;
    std::memset(&g_Table, 0, sizeof(g_Table));
    if (!LoadPlugin())
    {
        PrintError("Couldn't load the plugin.");
        COpenAutomateClient::Cleanup();
        return false;
    }

    std::memset(&g_PluginVersion, 0, sizeof(g_PluginVersion));
    const TBenchmarkFunctionTable* table = g_pPluginInit(g_PluginArgument.c_str(), &g_PluginVersion, kClientVersion);
    if (g_PluginVersion.Major < kMinimumMajor ||
        (g_PluginVersion.Major == kMinimumMajor && g_PluginVersion.Minor < kMinimumMinor))
    {
        char text[128];
        std::snprintf(text, sizeof(text), "Minimum required version is %d.%d.  Plugin version is %d.%d.", kMinimumMajor,
                      kMinimumMinor, g_PluginVersion.Major, g_PluginVersion.Minor);
        PrintError(text);
        COpenAutomateClient::Cleanup();
        return false;
    }
    // The table must at least reach the command fetch, which is called
    // without a further check.
    const uintptr_t needed = offsetof(TBenchmarkFunctionTable, FetchCommand) + sizeof(TBenchmarkFetchCommandFn);
    if (!table || table->TableSize < needed || !table->FetchCommand)
    {
        PrintError("Plugin is misconfigured.");
        COpenAutomateClient::Cleanup();
        return false;
    }
    const size_t size = table->TableSize < sizeof(g_Table) ? (size_t)table->TableSize : sizeof(g_Table);
    std::memcpy(&g_Table, table, size);
    g_bInitialized = true;
    if (version)
        *version = kClientVersion;
    return true;
}

int32_t oaFetchCommand(TBenchmarkCommand* command)
{
    if (!CheckInitialized())
        return BENCHMARK_CMD_EXIT;
    const int32_t code = g_Table.FetchCommand(command);
    if (command)
        command->Code = code;
    if (code == BENCHMARK_CMD_EXIT)
        COpenAutomateClient::Cleanup();
    return code;
}

const TBenchmarkOption* oaFetchOptionValue()
{
    if (!CheckInitialized() || !g_Table.FetchOptionValue)
        return nullptr;
    return g_Table.FetchOptionValue();
}

void oaDeclareOption(const TBenchmarkOption* option)
{
    if (CheckInitialized() && g_Table.DeclareOption)
        g_Table.DeclareOption(option);
}

void oaDeclareOptionValue(const char* name, int32_t type, const TBenchmarkValueData* value)
{
    if (CheckInitialized() && g_Table.DeclareOptionValue)
        g_Table.DeclareOptionValue(name, type, value);
}

void oaDeclareBenchmark(const char* name)
{
    if (CheckInitialized() && g_Table.DeclareBenchmark)
        g_Table.DeclareBenchmark(name);
}

void oaSendResultValue(const char* name, int32_t type, const TBenchmarkValueData* value)
{
    if (CheckInitialized() && g_Table.SendResultValue)
        g_Table.SendResultValue(name, type, value);
}

void oaBenchmarkBegins()
{
    if (CheckInitialized() && g_Table.BenchmarkBegins)
        g_Table.BenchmarkBegins();
}

void oaFrameDrawn(double seconds)
{
    if (CheckInitialized() && g_Table.FrameDrawn)
        g_Table.FrameDrawn(seconds);
}

void oaBenchmarkEnds()
{
    if (CheckInitialized() && g_Table.BenchmarkEnds)
        g_Table.BenchmarkEnds();
}

bool COpenAutomateClient::RegisterApp(int kind, const TBenchmarkAppId& id, const TBenchmarkInstallRecord& record)
{
    switch (kind)
    {
    case BENCHMARK_REG_FOLDER_ENV:
    case BENCHMARK_REG_FOLDER_HOME:
    case BENCHMARK_REG_FOLDER_SYSTEM:
        return WriteRegistrationAt(kind, id, record);
    case BENCHMARK_REG_KEY_USER:
    case BENCHMARK_REG_KEY_MACHINE:
        return WriteRegistryEntry(kind, id, record);
    default:
        return false;
    }
}

bool COpenAutomateClient::UnregisterApp(int kind, const TBenchmarkAppId& id)
{
    switch (kind)
    {
    case BENCHMARK_REG_FOLDER_ENV:
    case BENCHMARK_REG_FOLDER_HOME:
    case BENCHMARK_REG_FOLDER_SYSTEM:
        return DeleteRegistrationAt(kind, id);
    case BENCHMARK_REG_KEY_USER:
    case BENCHMARK_REG_KEY_MACHINE:
        return DeleteRegistryEntry(kind, id);
    default:
        return false;
    }
}
