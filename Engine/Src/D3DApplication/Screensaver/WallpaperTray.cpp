// The animated-wallpaper mode's side of the application: the tray icon and
// its menu, the autostart value, starting and stopping the desktop drawing
// and starting the settings dialog of the front-end.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "Log.h"
#include "RenderToDesktop.h"
#include "ScreensaverApp.h"
#include "ScreensaverInternal.h"
#include "SettingsTree.h"
#include "Timer.h"

namespace
{
const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kAutostartName[] = "VellomarisAnimatedWallpaper";
const char kFrontEndName[] = "Tarnholm 3D Screensaver.scr";

enum
{
    ID_EXIT = 1001,
    ID_START = 1002,
    ID_STOP = 1003,
    ID_SETTINGS = 1004,
    ID_AUTOSTART = 1006,
};

void CopyText(char* out, size_t size, const std::string& text)
{
    std::strncpy(out, text.c_str(), size - 1);
    out[size - 1] = 0;
}

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}
} // namespace

void WallpaperTrayIcon::Add(HWND window, const std::string& tooltip)
{
    std::memset(&m_Record, 0, sizeof(m_Record));
    m_Record.cbSize = sizeof(m_Record);
    m_Record.hWnd = window;
    m_Record.uID = kIconId;
    m_Record.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    m_Record.uCallbackMessage = kCallbackMessage;
    m_Record.hIcon = static_cast<HICON>(
        LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(100), IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
    m_Title = tooltip;
    CopyText(m_Record.szTip, sizeof(m_Record.szTip), tooltip);
    m_Record.uVersion = 3;
    if (!Shell_NotifyIconA(NIM_ADD, &m_Record))
        g_Log.Printf("Can't add the tray icon\n");
    m_TaskbarCreated = RegisterWindowMessageA("TaskbarCreated");
}

void WallpaperTrayIcon::Remove()
{
    if (m_Record.hWnd)
        Shell_NotifyIconA(NIM_DELETE, &m_Record);
}

void WallpaperTrayIcon::Update()
{
    if (!Shell_NotifyIconA(NIM_MODIFY, &m_Record))
        Shell_NotifyIconA(NIM_ADD, &m_Record);
}

void WallpaperTrayIcon::ShowBalloon(const char* text, float seconds)
{
    NOTIFYICONDATAA record = m_Record;
    record.uFlags |= NIF_INFO;
    CopyText(record.szInfo, sizeof(record.szInfo), m_App.TranslateText(text));
    CopyText(record.szInfoTitle, sizeof(record.szInfoTitle), m_Title);
    record.dwInfoFlags = NIIF_INFO;
    record.uTimeout = UINT(seconds * 1000.0f);
    Shell_NotifyIconA(NIM_MODIFY, &record);
}

std::string GetAutostartCommand()
{
    char path[1024] = {};
    GetModuleFileNameA(nullptr, path, 1023);
    return std::string("\"") + path + "\" /w";
}

LRESULT CScreensaverApp::OnTrayMessage(HWND hWnd, UINT msg, WPARAM, LPARAM lParam)
{
    if (msg == WM_SETTINGCHANGE)
    {
        if (m_bReady && IsDesktopChanged())
        {
            m_bReady = FALSE;
            if (m_pRenderToDesktop)
                m_pRenderToDesktop->RestoreWallpaper();
            m_TrayIcon.ShowBalloon("Wallpaper has been stopped.", 3.0f);
        }
        return 0;
    }
    if (msg == WallpaperTrayIcon::kCallbackMessage)
    {
        if (lParam != WM_RBUTTONUP)
            return 0;
        HMENU menu = CreatePopupMenu();
        if (!menu)
            return 0;
        AppendMenuA(menu, MF_STRING | (m_bReady ? MF_GRAYED : 0), ID_START, Translate("Start"));
        AppendMenuA(menu, MF_STRING | (m_bReady ? 0 : MF_GRAYED), ID_STOP, Translate("Stop"));
        AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
        AppendMenuA(menu, MF_STRING, ID_SETTINGS, Translate("Settings..."));
        AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
        AppendMenuA(menu, MF_STRING | (m_bAutostart ? MF_CHECKED : 0), ID_AUTOSTART,
                    Translate("Run at Windows startup"));
        AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
        AppendMenuA(menu, MF_STRING, ID_EXIT, Translate("Exit"));
        POINT cursor;
        if (GetCursorPos(&cursor) && SetForegroundWindow(hWnd))
        {
            m_pTimer->Pause();
            const int chosen = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY, cursor.x, cursor.y, 0, hWnd,
                                              nullptr);
            m_pTimer->Resume();
            PostMessageA(hWnd, WM_NULL, 0, 0);
            switch (chosen)
            {
            case ID_EXIT: Close(); break;
            case ID_START: StartWallpaper(); break;
            case ID_STOP: StopWallpaper(); break;
            case ID_SETTINGS: LaunchSettingsDialog(); break;
            case ID_AUTOSTART:
                m_bAutostart = !m_bAutostart;
                m_bAutostartChanged = true;
                break;
            default: break;
            }
        }
        DestroyMenu(menu);
        return 0;
    }
    if (msg != 0 && msg == m_TrayIcon.GetTaskbarCreatedMessage())
    {
        m_TrayIcon.Update();
        return -1;
    }
    return -1;
}

void CScreensaverApp::StartWallpaper()
{
    m_bReady = TRUE;
    if (m_pRenderToDesktop)
    {
        m_pRenderToDesktop->SetBackgroundWallpaper();
        m_pRenderToDesktop->ApplyColorKey();
    }
}

void CScreensaverApp::StopWallpaper()
{
    m_bReady = FALSE;
    if (m_pRenderToDesktop)
        m_pRenderToDesktop->RestoreWallpaper();
}

bool CScreensaverApp::IsDesktopChanged()
{
    return m_pRenderToDesktop &&
           (m_pRenderToDesktop->IsWallpaperChanged() || m_pRenderToDesktop->IsWallpaperStyleChanged());
}

void CScreensaverApp::ReadAutostart()
{
    std::string value;
    m_bAutostart = SUCCEEDED(ReadRegistryString(HKEY_CURRENT_USER, kRunKey, kAutostartName, value, true)) &&
                   !value.empty() && Lower(value) == Lower(GetAutostartCommand());
}

void CScreensaverApp::WriteAutostart()
{
    if (!m_bAutostartChanged)
        return;
    WriteRegistryString(HKEY_CURRENT_USER, kRunKey, kAutostartName, m_bAutostart ? GetAutostartCommand() : "", true);
}

void CScreensaverApp::LaunchSettingsDialog()
{
    char dir[MAX_PATH] = {};
    GetSystemDirectoryA(dir, sizeof(dir));
    std::string path = std::string(dir) + "\\" + kFrontEndName;
    char fileSystem[64] = {};
    if (GetVolumeInformationA("C:\\", nullptr, 0, nullptr, nullptr, nullptr, fileSystem, sizeof(fileSystem)) &&
        Lower(fileSystem) == "ntfs")
    {
        std::string shortName = kFrontEndName;
        std::replace(shortName.begin(), shortName.end(), ' ', '_');
        const std::string candidate = std::string(dir) + "\\" + shortName;
        if (GetFileAttributesA(candidate.c_str()) != INVALID_FILE_ATTRIBUTES)
            path = candidate;
    }
    std::string commandLine = "\"" + path + "\" /c";
    g_Log.Printf("Starting %s: ", commandLine.c_str());
    if (ScreensaverInternal::StartProgram(commandLine))
        g_Log.Printf("succeeded\n");
    else
        g_Log.Printf("failed (%u)\n", unsigned(GetLastError()));
}
