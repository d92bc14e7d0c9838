// Run mode: the main program draws the screensaver; the front-end only
// finds it, starts it with its quoted path alone and waits for its end.
#include "FrontEnd.h"

#include <vector>

#include "MainProgramSearch.h"
#include "SettingsRules.h"
#include "SettingsTree.h"

namespace
{
const char* const kUninstallRoot = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

std::string ReadFolder(const std::string& key, const char* name, bool use64)
{
    std::string value;
    if (FAILED(ReadRegistryString(HKEY_LOCAL_MACHINE, key.c_str(), name, value, use64)))
        value.clear();
    return value;
}

MainProgramFolders ReadFolders()
{
    MainProgramFolders f;
    f.appPath = ReadFolder(kProductKey, "AppPath", true);
    f.uninstallFolder = ReadFolder(std::string(kUninstallRoot) + kProductTitle + "_is1", "InstallLocation", true);
    f.combinedFolder = ReadFolder(std::string(kUninstallRoot) + kProductTitle + " and Animated Wallpaper_is1",
                                  "InstallLocation", false);
    std::vector<char> buffer(2048);
    const UINT systemLength = GetSystemDirectoryA(buffer.data(), UINT(buffer.size()));
    if (systemLength > 0 && systemLength < buffer.size())
        f.systemFolder.assign(buffer.data(), systemLength);
    const DWORD currentLength = GetCurrentDirectoryA(DWORD(buffer.size()), buffer.data());
    if (currentLength > 0 && currentLength < buffer.size())
        f.currentFolder.assign(buffer.data(), currentLength);
    return f;
}

bool Exists(const std::string& path)
{
    return !path.empty() && GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}
} // namespace

std::string FindMainProgram()
{
    for (const std::string& candidate : MainProgramCandidates(ReadFolders()))
        if (Exists(candidate))
            return candidate;
    return std::string();
}

void RunMainProgram()
{
    const std::string path = FindMainProgram();
    if (!Exists(path))
    {
        ShowError(nullptr, "Can't find the main file! Please reinstall screensaver.");
        return;
    }
    const std::string folder = MainProgramWorkingFolder(ReadFolders());
    std::string commandLine = "\"" + path + "\"";
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    ZeroMemory(&process, sizeof process);
    if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &process))
    {
        ShowError(nullptr, "Can't start the screensaver! Please try to restart your computer.");
        return;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

void ChangeScreensaverPassword()
{
    HMODULE mpr = LoadLibraryA("MPR.DLL");
    if (!mpr)
        return;
    typedef DWORD(WINAPI * PwdChangePasswordFn)(LPCSTR, HWND, DWORD, void*);
    auto change = reinterpret_cast<PwdChangePasswordFn>(
        reinterpret_cast<void*>(GetProcAddress(mpr, "PwdChangePasswordA")));
    if (change)
        change("SCRSAVE", nullptr, 0, nullptr);
    FreeLibrary(mpr);
}
