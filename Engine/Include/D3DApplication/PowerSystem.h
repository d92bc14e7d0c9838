#pragma once
// The system calls behind the framework's power management, the screensaver
// password and the wallpaper's desktop work, reachable for tests: a test
// installs its own table so that nothing suspends the machine, powers a
// monitor down or changes the desktop.
#include <windows.h>

struct PowerSystemCalls
{
    HMODULE (*LoadLibrary)(const char* name);
    FARPROC (*GetProcAddress)(HMODULE module, const char* name);
    void (*FreeLibrary)(HMODULE module);
    BOOL (*SetSystemPowerState)(BOOL suspend, BOOL force);
    BOOL (*SystemParametersInfo)(UINT action, UINT param, void* data, UINT flags);
    // Sends WM_SYSCOMMAND SC_MONITORPOWER with `state` to every top-level window.
    void (*BroadcastMonitorPower)(LPARAM state);
    void (*Sleep)(DWORD milliseconds);
    DWORD (*PlatformId)(); // VER_PLATFORM_WIN32_WINDOWS or _NT
    // "ScreenSaveUsePassword" of HKCU "Control Panel\Desktop"; false when absent.
    bool (*ReadUsePassword)(DWORD* value);
    // Whether the device (the wallpaper's monitor) is powered; FALSE when
    // it can't be asked.
    BOOL (*GetDevicePowerState)(HANDLE device, BOOL* on);
};
void SetPowerSystemCalls(const PowerSystemCalls* calls); // nullptr: the platform's
const PowerSystemCalls& GetPowerSystemCalls();
const PowerSystemCalls& GetPlatformPowerSystemCalls();

// Forgets the process-wide countdown times, the last mouse position and the
// password-asked flag, as at program start.
void ResetPowerManagementState();

typedef BOOL(WINAPI* VerifyScreenSavePwdFn)(HWND);
