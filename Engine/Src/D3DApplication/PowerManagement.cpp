// Power management: the monitor power-off and system-suspend countdowns, the
// screensaver manager's events, and the Windows 9x screensaver password.
#include <windows.h>
#include <powrprof.h>

#include <cstring>

#include "AppClock.h"
#include "Log.h"
#include "PowerSystem.h"
#include "Timer.h"
#include "d3dapp.h"

namespace {

void PlatformBroadcastMonitorPower(LPARAM state)
{
    // A hung window must not hang the screensaver: each window gets a second.
    DWORD_PTR result = 0;
    SendMessageTimeoutA(HWND_BROADCAST, WM_SYSCOMMAND, SC_MONITORPOWER, state, SMTO_ABORTIFHUNG | SMTO_NORMAL, 1000,
                        &result);
}

DWORD PlatformId()
{
    OSVERSIONINFOA info;
    std::memset(&info, 0, sizeof(info));
    info.dwOSVersionInfoSize = sizeof(info);
    return GetVersionExA(&info) ? info.dwPlatformId : VER_PLATFORM_WIN32_NT;
}

bool ReadUsePassword(DWORD* value)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD size = sizeof(*value), type = 0;
    const bool ok = RegQueryValueExA(key, "ScreenSaveUsePassword", nullptr, &type, reinterpret_cast<BYTE*>(value),
                                     &size) == ERROR_SUCCESS &&
                    size == sizeof(*value);
    RegCloseKey(key);
    return ok;
}

const PowerSystemCalls kPlatformCalls = {
    [](const char* name) { return LoadLibraryA(name); },
    [](HMODULE module, const char* name) { return GetProcAddress(module, name); },
    [](HMODULE module) { FreeLibrary(module); },
    [](BOOL suspend, BOOL force) { return SetSystemPowerState(suspend, force); },
    [](UINT action, UINT param, void* data, UINT flags) { return SystemParametersInfoA(action, param, data, flags); },
    PlatformBroadcastMonitorPower,
    [](DWORD ms) { Sleep(ms); },
    PlatformId,
    ReadUsePassword,
    [](HANDLE device, BOOL* on) { return GetDevicePowerState(device, on); },
};
const PowerSystemCalls* g_pCalls = &kPlatformCalls;

// Process-wide countdown state.
bool g_bMonitorTimeTaken = false;
float g_LastMonitorTime = 0.0f;
bool g_bSuspendTickTaken = false;
uint32_t g_LastSuspendTick = 0;
bool g_bPasswordAsked = false;
bool g_bMousePositionTaken = false;
int g_LastMouseX = 0, g_LastMouseY = 0;

typedef BOOLEAN(WINAPI* GetCurrentPowerPoliciesFn)(PGLOBAL_POWER_POLICY, PPOWER_POLICY);
typedef BOOLEAN(WINAPI* SetSuspendStateFn)(BOOLEAN, BOOLEAN, BOOLEAN);

template <class F> F Export(HMODULE module, const char* name)
{
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(g_pCalls->GetProcAddress(module, name)));
}

} // namespace

void SetPowerSystemCalls(const PowerSystemCalls* calls)
{
    g_pCalls = calls ? calls : &kPlatformCalls;
}

const PowerSystemCalls& GetPowerSystemCalls()
{
    return *g_pCalls;
}

const PowerSystemCalls& GetPlatformPowerSystemCalls()
{
    return kPlatformCalls;
}

void ResetPowerManagementState()
{
    g_bMonitorTimeTaken = g_bSuspendTickTaken = g_bPasswordAsked = g_bMousePositionTaken = false;
    g_LastMonitorTime = 0.0f;
    g_LastSuspendTick = 0;
    g_LastMouseX = g_LastMouseY = 0;
}

void CD3DApplication::SetupPowerManagement()
{
    const PowerSystemCalls& sys = *g_pCalls;
    if (m_bWallpaperMode)
    {
        // The wallpaper hears of the monitor's power from the system.
        HMODULE user32 = GetModuleHandleA("user32.dll");
        typedef HPOWERNOTIFY(WINAPI * RegisterFn)(HANDLE, LPCGUID, DWORD);
        RegisterFn reg = user32 ? Export<RegisterFn>(user32, "RegisterPowerSettingNotification") : nullptr;
        if (reg)
        {
            m_hPowerNotify = reg(m_hWnd, &GUID_MONITOR_POWER_ON, DEVICE_NOTIFY_WINDOW_HANDLE);
            if (m_hPowerNotify)
                g_Log.Printf("Register power setting notifications SUCCESSFUL\n");
        }
        if (!m_hPowerNotify)
        {
            m_hMonitorDevice = CreateFileA("\\\\.\\LCD", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
            if (m_hMonitorDevice != INVALID_HANDLE_VALUE)
                g_Log.Printf("Get monitor device handle SUCCESSFUL\n");
        }
        return;
    }

    sys.SystemParametersInfo(SPI_SETSCREENSAVERRUNNING, TRUE, nullptr, 0);
    int timeout = 0;
    sys.SystemParametersInfo(SPI_GETPOWEROFFTIMEOUT, 0, &timeout, 0);
    m_iMonitorPowerOffTimeout = timeout;
    m_fMonitorPowerCountdown = float(timeout);
    g_Log.Printf("PM: MonitorPowerOffTimeOut: %i\n", timeout);

    if (m_hMonitorPowerTimerStopEvent)
        g_Log.Printf("PM: Found m_hMonitorPowerTimerStopEvent\n");
    if (m_hMonitorPowerTimerStartEvent)
        g_Log.Printf("PM: Found m_hMonitorPowerTimerStartEvent\n");
    if (m_hMonitorPowerTimerRestartEvent)
        g_Log.Printf("PM: Found m_hMonitorPowerTimerRestartEvent\n");
    if (m_hMonitorPowerOffEvent)
        g_Log.Printf("PM: Found m_hMonitorPowerOffEvent\n");

    HMODULE powrprof = sys.LoadLibrary("powrprof.dll");
    if (!powrprof)
    {
        g_Log.Printf("PM: powrprof.dll not found!\n");
        m_iSuspendTimeout = 0;
        return;
    }
    GLOBAL_POWER_POLICY global;
    POWER_POLICY policy;
    std::memset(&global, 0, sizeof(global));
    std::memset(&policy, 0, sizeof(policy));
    if (GetCurrentPowerPoliciesFn get = Export<GetCurrentPowerPoliciesFn>(powrprof, "GetCurrentPowerPolicies"))
        get(&global, &policy);
    sys.FreeLibrary(powrprof);
    const USER_POWER_POLICY& u = policy.user;
    g_Log.Printf("PM: IdleAc.Action: %u\n", (unsigned)u.IdleAc.Action);
    g_Log.Printf("PM: IdleDc.Action: %u\n", (unsigned)u.IdleDc.Action);
    g_Log.Printf("PM: IdleAc.Flags: %u\n", (unsigned)u.IdleAc.Flags);
    g_Log.Printf("PM: IdleDc.Flags: %u\n", (unsigned)u.IdleDc.Flags);
    g_Log.Printf("PM: IdleAc.EventCode: %u\n", (unsigned)u.IdleAc.EventCode);
    g_Log.Printf("PM: IdleDc.EventCode: %u\n", (unsigned)u.IdleDc.EventCode);
    g_Log.Printf("PM: IdleTimeoutAc: %u\n", (unsigned)u.IdleTimeoutAc);
    g_Log.Printf("PM: IdleTimeoutDc: %u\n", (unsigned)u.IdleTimeoutDc);
    g_Log.Printf("PM: VideoTimeoutAc: %u\n", (unsigned)u.VideoTimeoutAc);
    g_Log.Printf("PM: VideoTimeoutDc: %u\n", (unsigned)u.VideoTimeoutDc);
    m_iSuspendTimeout = int(u.IdleTimeoutAc);
    m_fSuspendCountdown = float(m_iSuspendTimeout);
}

void CD3DApplication::SetupPassword()
{
    const PowerSystemCalls& sys = *g_pCalls;
    if (sys.PlatformId() != VER_PLATFORM_WIN32_WINDOWS)
        return;
    DWORD use = 0;
    if (!sys.ReadUsePassword(&use) || use == 0)
        return;
    m_hPasswordModule = sys.LoadLibrary("PASSWORD.CPL");
    if (m_hPasswordModule)
        m_pVerifyScreenSavePwd = Export<VerifyScreenSavePwdFn>(m_hPasswordModule, "VerifyScreenSavePwd");
}

void CD3DApplication::PowerMonitorOff()
{
    g_Log.Printf("PM: sending SC_MONITORPOWER\n");
    m_bMonitorPoweredOff = true;
    if (m_pd3dDevice)
    {
        m_pd3dDevice->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
        m_pd3dDevice->Present(nullptr, nullptr, nullptr, nullptr);
    }
    SendMessageA(m_hWnd, WM_USER, 1, 0);
    AppClock::Stop();
    if (m_pTimer)
        m_pTimer->Pause();
    g_pCalls->BroadcastMonitorPower(1);
    m_bActive = FALSE;
    if (m_hMonitorPowerTimerStopEvent)
        SetEvent(m_hMonitorPowerTimerStopEvent);
}

void CD3DApplication::UpdateMonitorPowerCountdown()
{
    const float now = AppClock::ApplicationTime();
    if (!g_bMonitorTimeTaken)
    {
        g_bMonitorTimeTaken = true;
        g_LastMonitorTime = now;
    }
    if (m_hMonitorPowerOffEvent)
    {
        // The manager alone decides when the monitor goes off.
        const DWORD wait = WaitForSingleObject(m_hMonitorPowerOffEvent, 0);
        if (wait == WAIT_OBJECT_0)
        {
            m_fMonitorPowerCountdown = -1.0f;
            g_Log.Printf("PM: m_hMonitorPowerOffEvent is signaling\n");
        }
        else if (wait == WAIT_TIMEOUT)
            m_fMonitorPowerCountdown = 1.0f;
    }
    else
        m_fMonitorPowerCountdown -= now - g_LastMonitorTime;
    g_LastMonitorTime = now;

    if (!m_bMonitorPoweredOff && m_fMonitorPowerCountdown < 0.0f)
        PowerMonitorOff();
}

void CD3DApplication::UpdateSuspendCountdown()
{
    const PowerSystemCalls& sys = *g_pCalls;
    if (m_bMonitorPoweredOff)
        sys.Sleep(500);
    const uint32_t tick = GetTimerClockSource().Milliseconds();
    if (!g_bSuspendTickTaken)
    {
        g_bSuspendTickTaken = true;
        g_LastSuspendTick = tick;
    }
    m_fSuspendCountdown -= float(tick - g_LastSuspendTick) * 0.001f;
    g_LastSuspendTick = tick;
    if (m_fSuspendCountdown >= 0.0f)
        return;

    HMODULE powrprof = sys.LoadLibrary("powrprof.dll");
    if (!powrprof)
    {
        g_Log.Printf("PM: powrprof.dll not found!\n");
        m_iSuspendTimeout = 0;
        return;
    }
    SetSuspendStateFn suspend = Export<SetSuspendStateFn>(powrprof, "SetSuspendState");
    if (!suspend)
    {
        g_Log.Printf("PM: SetSuspendState not found!\n");
        m_iSuspendTimeout = 0;
    }
    else
    {
        // The close is queued first, so the program ends when the machine wakes.
        m_bActive = FALSE;
        PostMessageA(m_hWnd, WM_CLOSE, 0, 0);
        g_Log.Printf("PM: executing SetSuspendState\n");
        if (!suspend(FALSE, FALSE, FALSE))
        {
            g_Log.Printf("PM: SetSuspendState call failed! Error code: %u\n", (unsigned)GetLastError());
            if (!sys.SetSystemPowerState(FALSE, FALSE))
            {
                g_Log.Printf("PM: SetSystemPowerState call failed! Error code: %u\n", (unsigned)GetLastError());
                m_iSuspendTimeout = 0;
            }
        }
    }
    sys.FreeLibrary(powrprof);
}

bool CD3DApplication::OnUserActivity(UINT msg, LPARAM lParam)
{
    switch (msg)
    {
    case WM_KEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN: break;
    case WM_MOUSEMOVE:
    {
        const int x = (short)LOWORD(lParam), y = (short)HIWORD(lParam);
        const bool first = !g_bMousePositionTaken;
        const bool moved = !first && (x != g_LastMouseX || y != g_LastMouseY);
        g_bMousePositionTaken = true;
        g_LastMouseX = x;
        g_LastMouseY = y;
        if (!moved)
            return false;
        break;
    }
    default: return false;
    }

    m_fSuspendCountdown = float(m_iSuspendTimeout);
    m_fMonitorPowerCountdown = float(m_iMonitorPowerOffTimeout);
    if (m_bMonitorPoweredOff)
    {
        g_Log.Printf("PM: monitor power on\n");
        m_bActive = TRUE;
        m_bMonitorPoweredOff = false;
        SendMessageA(m_hWnd, WM_USER, 0, 0);
        AppClock::Start();
        if (m_pTimer)
            m_pTimer->Resume();
        if (m_hMonitorPowerTimerStartEvent)
            SetEvent(m_hMonitorPowerTimerStartEvent);
    }
    else if (m_hMonitorPowerTimerRestartEvent)
        SetEvent(m_hMonitorPowerTimerRestartEvent);
    return true;
}

bool CD3DApplication::VerifyPasswordOnClose()
{
    if (!m_pVerifyScreenSavePwd)
        return true;
    if (g_bPasswordAsked)
        return false;
    g_bPasswordAsked = true;
    const PowerSystemCalls& sys = *g_pCalls;
    m_d3dpp.Windowed = TRUE;
    if (m_pd3dDevice)
        m_pd3dDevice->Reset(&m_d3dpp);
    ShowWindow(m_hWnd, SW_RESTORE);
    ShowWindow(m_hWnd, SW_MAXIMIZE);
    sys.SystemParametersInfo(SPI_SETSCREENSAVERRUNNING, TRUE, nullptr, 0);
    g_Log.Printf("Executing VerifySaverPassword\n");
    // There is no way out but the right password.
    while (!m_pVerifyScreenSavePwd(m_hWnd))
        sys.Sleep(500);
    return true;
}
