// The application object: construction, start-up, device creation, the
// framework's error messages and the window procedure.
#include "d3dapp.h"

#include <cstdio>
#include <cstring>

#include "AppClock.h"
#include "ControlledCamera.h"
#include "RenderStateManager.h"
#include "Log.h"
#include "OpenAutomate.h"
#include "PowerSystem.h"
#include "RenderToDesktop.h"
#include "Timer.h"
#include "d3dx8err.h"

CD3DApplication* g_pApplication = nullptr;
HINSTANCE g_hInstance = nullptr;
// The crash handler, when it is linked in, provides the hook and sets it.
__attribute__((weak)) CrashHookFn g_CrashHook = nullptr;

static const char kSourcePath[] = "..\\src\\D3DApplication\\d3dapp";
static const char kWindowClass[] = "Direct3D Window";
#define HELP_PAGE "https://support.vellomaris.example/tarnholm"

static void FatalError(unsigned line)
{
    g_Log.Printf("Error in %s, line %u\n", kSourcePath, line);
    if (g_CrashHook)
        g_CrashHook();
}

CD3DApplication::CD3DApplication()
{
    std::memset(&m_d3dpp, 0, sizeof(m_d3dpp));
    std::memset(&m_d3dCaps, 0, sizeof(m_d3dCaps));
    std::memset(&m_d3dsdBackBuffer, 0, sizeof(m_d3dsdBackBuffer));
    g_pApplication = this;

    COpenAutomateOptions& options = COpenAutomateOptions::Instance();
    if (options.m_bBenchmark)
        g_TimerMode = 1; // benchmark runs advance a fixed 0.01 s a frame

    std::memset(m_Monitors, 0, sizeof(m_Monitors));
    std::memset(m_Adapters, 0, sizeof(m_Adapters));
    m_pTimer = GetGlobalTimer();
    m_pOwnClock = std::make_unique<CQueryPerformanceTimer>();

    m_hMonitorPowerTimerStopEvent =
        OpenEventA(EVENT_MODIFY_STATE, FALSE, "Vellomaris screensaver manager event stop timer");
    m_hMonitorPowerTimerStartEvent =
        OpenEventA(EVENT_MODIFY_STATE, FALSE, "Vellomaris screensaver manager event start timer");
    m_hMonitorPowerTimerRestartEvent =
        OpenEventA(EVENT_MODIFY_STATE, FALSE, "Vellomaris screensaver manager event restart timer");
    m_hMonitorPowerOffEvent = OpenEventA(SYNCHRONIZE, FALSE, "Vellomaris screensaver manager event monitor power off");

    m_pBenchmark = options.m_bBenchmark ? &options : nullptr;
}

CD3DApplication::~CD3DApplication()
{
    for (HANDLE* h : {&m_hMonitorPowerTimerStopEvent, &m_hMonitorPowerTimerStartEvent,
                      &m_hMonitorPowerTimerRestartEvent, &m_hMonitorPowerOffEvent})
        if (*h)
        {
            CloseHandle(*h);
            *h = nullptr;
        }
    if (m_hPowerNotify)
    {
        typedef BOOL(WINAPI * UnregisterFn)(HPOWERNOTIFY);
        HMODULE user32 = GetModuleHandleA("user32.dll");
        if (UnregisterFn unregister = user32 ? reinterpret_cast<UnregisterFn>(reinterpret_cast<void (*)()>(
                                                   GetProcAddress(user32, "UnregisterPowerSettingNotification")))
                                             : nullptr)
            unregister(static_cast<HPOWERNOTIFY>(m_hPowerNotify));
        m_hPowerNotify = nullptr;
    }
    if (m_hMonitorDevice != INVALID_HANDLE_VALUE)
        CloseHandle(m_hMonitorDevice);
    m_hMonitorDevice = INVALID_HANDLE_VALUE;
    m_pRenderToDesktop.reset();
    m_pOwnClock.reset();
    DeleteGlobalTimer(m_pTimer);
    m_pTimer = nullptr;
    if (g_pApplication == this)
        g_pApplication = nullptr;
}

void CD3DApplication::CheckChosenMonitor()
{
    const DWORD chosen = m_dwChosenMonitor;
    if (chosen < m_dwNumMonitors && chosen < m_dwNumAdapters && m_Monitors[chosen].hMonitor)
        return;
    g_Log.Printf("Monitor %u is not available, using the primary monitor\n", (unsigned)chosen);
    m_dwChosenMonitor = 0;
}

HRESULT CD3DApplication::Create(HINSTANCE hInstance)
{
    g_hInstance = hInstance;
    LogSystemInfo();
    EnumerateMonitors();

    m_pD3D.Attach(Direct3DCreate8(120));
    if (!m_pD3D)
    {
        DisplayErrorMsg(D3DAPPERR_NODIRECT3D);
        return E_FAIL;
    }

    if (BuildDeviceList() == D3DAPPERR_NOCOMPATIBLEDEVICES)
    {
        g_Log.Printf("\nNo hardware-accelerated Direct3D devices");
        const UINT count = m_pD3D->GetAdapterCount();
        for (UINT a = 0; a < count; ++a)
        {
            g_Log.Printf("\n");
            g_Log.Printf("\nDevice %u:", a);
            g_Log.Printf("\n");
            D3DADAPTER_IDENTIFIER8 id;
            std::memset(&id, 0, sizeof(id));
            m_pD3D->GetAdapterIdentifier(a, 0, &id);
            LogAdapterInfo(id);
        }
        m_pD3D.Reset();
        DisplayErrorMsg(D3DAPPERR_NOHARDWAREDEVICE);
        ExitProcess(0);
    }

    m_d3dCaps = m_Adapters[0].devices[0].d3dCaps;
    LogDeviceCaps();

    CheckChosenMonitor();
    if (!m_hWnd)
    {
        WNDCLASSA wc;
        std::memset(&wc, 0, sizeof(wc));
        wc.lpfnWndProc = WndProc;
        wc.hInstance = hInstance;
        wc.hIcon = LoadIconA(hInstance, MAKEINTRESOURCEA(100));
        wc.hCursor = LoadCursorA(nullptr, (LPCSTR)IDC_ARROW);
        wc.hbrBackground = (HBRUSH)GetStockObject(BLACK_BRUSH);
        wc.lpszClassName = kWindowClass;
        RegisterClassA(&wc);

        m_dwWindowStyle = m_bWallpaperMode ? WS_POPUP : (WS_POPUP | WS_VISIBLE);
        RECT rc = {0, 0, (LONG)m_dwCreationWidth, (LONG)m_dwCreationHeight};
        AdjustWindowRect(&rc, m_dwWindowStyle, FALSE);

        MonitorInfo& monitor = m_Monitors[m_dwChosenMonitor];
        RECT wr = monitor.rcMonitor;
        if (m_dwChosenMonitor == 0)
        {
            wr.right = wr.left + (rc.right - rc.left);
            wr.bottom = wr.top + (rc.bottom - rc.top);
        }
        m_hWnd = CreateWindowExA(m_bWindowed ? 0 : WS_EX_TOPMOST, kWindowClass, m_strWindowTitle, m_dwWindowStyle,
                                 wr.left, wr.top, wr.right - wr.left, wr.bottom - wr.top, nullptr, nullptr,
                                 hInstance, nullptr);
        monitor.hWnd = m_hWnd;
        if (m_hWnd)
        {
            SendMessageA(m_hWnd, WM_SETICON, ICON_BIG, (LPARAM)wc.hIcon);
            SetCursorPos((wr.left + wr.right) / 2, (wr.top + wr.bottom) / 2);
        }
        else
            g_Log.Printf("CreateWindowEx failed (error: %u)\n", (unsigned)GetLastError());
    }

    if (!m_hWndFocus)
        m_hWndFocus = m_hWnd;
    m_dwWindowStyle = (DWORD)GetWindowLongA(m_hWnd, GWL_STYLE);
    GetWindowRect(m_hWnd, &m_rcWindowBounds);
    GetClientRect(m_hWnd, &m_rcWindowClient);

    HRESULT hr = OneTimeSceneInit();
    if (FAILED(hr))
    {
        m_pD3D.Reset();
        FatalError(885);
        return hr;
    }

    hr = Initialize3DEnvironment();
    if (FAILED(hr) && hr != D3DERR_DEVICELOST)
    {
        m_d3dpp.Windowed = TRUE;
        if (m_pd3dDevice)
            m_pd3dDevice->Reset(&m_d3dpp);
        CloseWindow(m_hWnd);
        if (hr == D3DERR_OUTOFVIDEOMEMORY || hr == E_OUTOFMEMORY)
            DisplayErrorMsg(hr);
        else
            FatalError(901);
    }

    SetupPowerManagement();
    SetupPassword();

    // Every run starts its clock and frame statistics afresh: under the
    // benchmark harness one process runs the application several times.
    ResetFrameTiming();
    AppClock::Start();
    m_bReady = TRUE;
    return S_OK;
}

void CD3DApplication::CreateBlackWindows()
{
    for (DWORD i = 0; i < m_dwNumMonitors; ++i)
    {
        MonitorInfo& monitor = m_Monitors[i];
        if (i == m_dwChosenMonitor || !monitor.hMonitor)
            continue;
        const RECT& r = monitor.rcMonitor;
        monitor.hWnd = CreateWindowExA(WS_EX_TOPMOST, kWindowClass, m_strWindowTitle, m_dwWindowStyle, r.left, r.top,
                                       r.right - r.left, r.bottom - r.top, nullptr, nullptr, g_hInstance, nullptr);
    }
}

// Releases the device after its objects failed to come up.
static void DropDevice(CD3DApplication* app, ComRef<IDirect3DDevice8>& device)
{
    app->InvalidateDeviceObjects();
    app->DeleteDeviceObjects();
    device.Reset();
}

HRESULT CD3DApplication::Initialize3DEnvironment()
{
    AdapterInfo& adapter = m_Adapters[m_dwChosenMonitor];
    DeviceInfo& device = adapter.devices[adapter.dwCurrentDevice];
    ModeInfo& mode = device.modes[device.dwCurrentMode];

    PreCreateDevice();

    std::memset(&m_d3dpp, 0, sizeof(m_d3dpp));
    m_d3dpp.BackBufferCount = 1;
    m_d3dpp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    m_d3dpp.EnableAutoDepthStencil = m_bUseDepthBuffer;
    m_d3dpp.AutoDepthStencilFormat = mode.DepthStencilFormat;
    m_d3dpp.Windowed = m_bWindowed;
    m_d3dpp.MultiSampleType = D3DMULTISAMPLE_NONE;
    m_d3dpp.hDeviceWindow = m_hWnd;
    if (m_bWallpaperMode && m_bWallpaperRunning)
    {
        m_d3dpp.BackBufferWidth = adapter.d3ddmDesktop.Width;
        m_d3dpp.BackBufferHeight = adapter.d3ddmDesktop.Height;
        m_d3dpp.BackBufferFormat = adapter.d3ddmDesktop.Format;
    }
    else if (m_bWindowed)
    {
        m_d3dpp.BackBufferWidth = m_rcWindowClient.right - m_rcWindowClient.left;
        m_d3dpp.BackBufferHeight = m_rcWindowClient.bottom - m_rcWindowClient.top;
        m_d3dpp.BackBufferFormat = adapter.d3ddmDesktop.Format;
    }
    else
    {
        m_d3dpp.BackBufferWidth = mode.Width;
        m_d3dpp.BackBufferHeight = mode.Height;
        m_d3dpp.BackBufferFormat = mode.Format;
        m_d3dpp.FullScreen_RefreshRateInHz = 0;
        m_d3dpp.FullScreen_PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    }

    HRESULT hr = m_pD3D->CreateDevice(m_dwChosenMonitor, device.DeviceType, m_hWndFocus, mode.dwBehavior, &m_d3dpp,
                                      m_pd3dDevice.Put());
    if (FAILED(hr) && hr != D3DERR_DEVICELOST)
    {
        m_d3dpp.BackBufferWidth = 640;
        m_d3dpp.BackBufferHeight = 480;
        m_d3dpp.BackBufferFormat = D3DFMT_R5G6B5;
        m_d3dpp.SwapEffect = D3DSWAPEFFECT_COPY;
        m_pd3dDevice.Detach(); // a failed creation hands back no device
        hr = m_pD3D->CreateDevice(m_dwChosenMonitor, device.DeviceType, m_hWndFocus, mode.dwBehavior, &m_d3dpp,
                                  m_pd3dDevice.Put());
        if (SUCCEEDED(hr))
        {
            D3DDISPLAYMODE fallback = {640, 480, 0, D3DFMT_R5G6B5};
            adapter.devices[0].dwCurrentMode = FindModeIndex(m_dwChosenMonitor, fallback);
        }
    }
    if (FAILED(hr))
    {
        m_pd3dDevice.Detach();
        char text[256];
        D3DXGetErrorStringA(hr, text, sizeof(text));
        g_Log.Printf("Can't CreateDevice: %s!\n", text);
        return hr;
    }

    RenderStateManager::Instance().SetDevice(m_pd3dDevice);
    AcquireDirectInputMouse();

    EnumerateMonitors();
    if (m_bBlackScreens)
        CreateBlackWindows();

    m_pd3dDevice->GetDeviceCaps(&m_d3dCaps);
    m_dwCreateFlags = mode.dwBehavior;
    m_fScreenScaleX = m_d3dpp.BackBufferWidth / 1024.0f;
    m_fScreenScaleY = m_d3dpp.BackBufferHeight / 768.0f;

    std::string desc;
    switch (device.DeviceType)
    {
    case D3DDEVTYPE_REF: desc = "REF"; break;
    case D3DDEVTYPE_HAL: desc = "HAL"; break;
    case D3DDEVTYPE_SW: desc = "SW"; break;
    default: break;
    }
    const bool hal = device.DeviceType == D3DDEVTYPE_HAL;
    const DWORD b = mode.dwBehavior;
    if ((b & D3DCREATE_HARDWARE_VERTEXPROCESSING) && (b & D3DCREATE_PUREDEVICE))
        desc += hal ? " (pure hw vp)" : " (simulated pure hw vp)";
    else if (b & D3DCREATE_HARDWARE_VERTEXPROCESSING)
        desc += hal ? " (hw vp)" : " (simulated hw vp)";
    else if (b & D3DCREATE_MIXED_VERTEXPROCESSING)
        desc += hal ? " (mixed vp)" : " (simulated mixed vp)";
    else if (b & D3DCREATE_SOFTWARE_VERTEXPROCESSING)
        desc += " (sw vp)";
    if (hal)
    {
        desc += ": ";
        desc += adapter.d3dAdapterIdentifier.Description;
    }
    // A long adapter description is cut to the field.
    std::snprintf(m_strDeviceStats, sizeof(m_strDeviceStats), "%s", desc.c_str());
    g_Log.Printf("Using device: %s\n", m_strDeviceStats);

    g_Log.Printf("Available texture memory: %.2f MB\n", m_pd3dDevice->GetAvailableTextureMem() / 1048576.0);
    g_Log.Printf("\n");
    ComRef<IDirect3DSurface8> backBuffer;
    if (SUCCEEDED(m_pd3dDevice->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, backBuffer.Put())) && backBuffer)
        backBuffer->GetDesc(&m_d3dsdBackBuffer);

    if (m_bWallpaperMode && m_bWallpaperRunning && FAILED(SetupWallpaper()))
    {
        MessageBoxA(nullptr, "Failed to setup wallpaper", "Error", MB_ICONERROR);
        ExitProcess(0);
    }
    // The device cursor is not part of this build: nothing turns on the
    // full-screen cursor.

    hr = InitDeviceObjects();
    m_pTimer->SetTime(0);
    m_pTimer->Pause();
    g_Log.Printf("Available texture memory: %.2f MB\n", m_pd3dDevice->GetAvailableTextureMem() / 1048576.0);
    if (FAILED(hr))
    {
        g_Log.Printf("Error: InitDeviceObjects FAILED!\n");
        DropDevice(this, m_pd3dDevice);
        return hr;
    }
    hr = RestoreDeviceObjects();
    if (FAILED(hr))
    {
        DropDevice(this, m_pd3dDevice);
        return hr;
    }
    m_bActive = TRUE;
    return S_OK;
}

HRESULT CD3DApplication::DisplayErrorMsg(HRESULT code)
{
    const char* text;
    bool translate = false;
    switch ((DWORD)code)
    {
    case 0x82000001:
        text = "Could not initialize Direct3D. You may\nwant to check that the latest version of\nDirectX is correctly "
               "installed on your\nsystem";
        break;
    case 0x82000003:
        text = "Could not find any compatible Direct3D devices.\nPlease refer to " HELP_PAGE;
        translate = true;
        break;
    case 0x82000004:
        text = "This sample cannot run in a desktop\nwindow with the current display settings.\nPlease change your "
               "desktop settings to a\n16- or 32-bit display mode and re-run this\nsample.";
        break;
    case 0x82000005:
        text = "No hardware-accelerated Direct3D devices were found.\nPlease refer to " HELP_PAGE;
        translate = true;
        break;
    case 0x82000006:
        text = "This program requires functionality that is\nnot available on your Direct3D hardware\naccelerator.";
        break;
    case 0x82000007: text = "Your Direct3D hardware accelerator cannot\nrender into a window.\n"; break;
    case 0x82000008:
        text = "Your Direct3D hardware accelerator cannot\nrender into a window with the current\ndesktop display "
               "settings.\n";
        break;
    case 0x82000009:
        text = "This sample requires functionality that is\nnot available on your Direct3D hardware\naccelerator with "
               "the current desktop display\nsettings.\n";
        break;
    case 0x8200000A:
        text = "A D3D object has a non-zero reference\ncount (meaning things were not properly\ncleaned up).";
        break;
    case 0x8200000B: text = "Could not load required media."; break;
    case 0x8200000C: text = "Could not reset the Direct3D device."; break;
    case 0x8007000E:
        text = "Not enough memory.";
        translate = true;
        break;
    case 0x8876017C:
        text = "Not enough video memory for selected mode.";
        translate = true;
        break;
    default: text = "Generic application error. Enable\ndebug output for detailed information."; break;
    }
    std::string message = translate ? Translate(text) : text;
    message += "\n\n";
    message += Translate("This screensaver will now exit.");
    MessageBoxA(nullptr, message.c_str(), m_strWindowTitle, MB_ICONERROR);
    if (m_hWnd)
    {
        m_bActive = FALSE;
        PostMessageA(m_hWnd, WM_CLOSE, 0, 0);
    }
    return code;
}

LRESULT CALLBACK CD3DApplication::WndProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (!g_pApplication)
        return DefWindowProcA(hWnd, msg, wParam, lParam);
    return g_pApplication->MsgProc(hWnd, msg, wParam, lParam);
}
