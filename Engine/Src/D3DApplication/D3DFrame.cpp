// The frame loop, one frame, the framework's messages and the shut-down.
#include <windows.h>

#include "AppClock.h"
#include "D3DUtils.h"
#include "DebugDraw.h"
#include "RenderStateManager.h"
#include "Log.h"
#include "OpenAutomate.h"
#include "PowerSystem.h"
#include "Timer.h"
#include "d3dapp.h"

namespace AppClock {

static bool g_bInitialised = false;
static bool g_bCounter = false;
static double g_Frequency = 1.0;
static double g_Base = 0, g_Stop = 0, g_LastElapsed = 0;

// Now, in counts of the performance counter or in seconds.
static double Now()
{
    const TimerClockSource& clock = GetTimerClockSource();
    if (!g_bInitialised)
    {
        int64_t frequency = 0;
        g_bCounter = clock.QueryFrequency(&frequency) && frequency > 0;
        g_Frequency = g_bCounter ? (double)frequency : 1.0;
        g_bInitialised = true;
    }
    if (g_bCounter)
        return (double)clock.QueryCounter();
    return clock.Milliseconds() * 0.001;
}

static double StoppedOrNow()
{
    const double now = Now();
    return g_Stop != 0 ? g_Stop : now;
}

float Start()
{
    const double now = Now();
    g_Base += now - g_Stop;
    g_Stop = 0;
    g_LastElapsed = now;
    return 0;
}

float Stop()
{
    const double now = Now();
    g_Stop = now;
    g_LastElapsed = now;
    return 0;
}

float AbsoluteTime()
{
    return (float)(Now() / g_Frequency);
}

float ApplicationTime()
{
    return (float)((StoppedOrNow() - g_Base) / g_Frequency);
}

float ElapsedTime()
{
    const double now = StoppedOrNow();
    const double elapsed = (now - g_LastElapsed) / g_Frequency;
    g_LastElapsed = now;
    return (float)elapsed;
}

} // namespace AppClock

// Frame statistics.
static DWORD g_FramesSinceUpdate = 0;
static float g_LastRateUpdate = 0;
static bool g_bFirstFrameDone = false;

void ResetFrameTiming()
{
    AppClock::g_bInitialised = false;
    AppClock::g_Base = AppClock::g_Stop = AppClock::g_LastElapsed = 0;
    g_FramesSinceUpdate = 0;
    g_LastRateUpdate = 0;
    g_bFirstFrameDone = false;
}

int CD3DApplication::Run()
{
    MSG msg;
    msg.message = WM_NULL;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
    while (msg.message != WM_QUIT)
    {
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
            continue;
        }
        if (m_bActive && m_bReady)
        {
            if (CanRender())
            {
                const HRESULT hr = Render3DEnvironment();
                if (FAILED(hr) || (m_pBenchmark && m_dwFrameCount >= m_pBenchmark->m_BenchmarkFrames))
                {
                    m_bActive = FALSE;
                    PostMessageA(m_hWnd, WM_CLOSE, 0, 0);
                }
            }
            else
                Sleep(1);
        }
        else
            Sleep(100);

        if (m_iSuspendTimeout != 0)
            UpdateSuspendCountdown();
        if (m_bActive && m_iMonitorPowerOffTimeout != 0)
            UpdateMonitorPowerCountdown();
        if (m_bMonitorPoweredOff)
            GetPowerSystemCalls().Sleep(500);
    }
    if (m_pBenchmark)
    {
        OnBenchmarkFinished();
        oaBenchmarkEnds();
    }
    return (int)msg.wParam;
}

bool CD3DApplication::CanRender()
{
    if (m_bWallpaperMode)
    {
        // Nobody sees the wallpaper while the monitor is off or a screensaver
        // runs. Without power-setting notifications the monitor device is
        // asked; a device that can't answer counts as on.
        const PowerSystemCalls& sys = GetPowerSystemCalls();
        if (!m_bMonitorOn)
            return false;
        BOOL monitorOn = TRUE;
        if (!m_hPowerNotify && m_hMonitorDevice != INVALID_HANDLE_VALUE &&
            sys.GetDevicePowerState(m_hMonitorDevice, &monitorOn) && !monitorOn)
            return false;
        BOOL saverRunning = FALSE;
        sys.SystemParametersInfo(SPI_GETSCREENSAVERRUNNING, 0, &saverRunning, 0);
        if (saverRunning)
            return false;
    }
    static bool s_bStarted = false;
    static float s_LastFrame = 0;
    const float now = AppClock::ApplicationTime();
    if (!s_bStarted)
    {
        s_bStarted = true;
        s_LastFrame = now;
    }
    if (now - s_LastFrame > 1.0f / m_fFrameLimit)
    {
        s_LastFrame = now;
        return true;
    }
    return false;
}

HRESULT CD3DApplication::Render3DEnvironment()
{
    HRESULT hr = m_pd3dDevice->TestCooperativeLevel();
    if (hr == D3DERR_DEVICELOST || hr == D3DERR_DEVICENOTRESET)
        return S_OK;
    if (FAILED(hr))
        return hr;

    m_pTimer->Update();
    if (AppClock::ElapsedTime() == 0.0f)
        return S_OK;

    if (FAILED(hr = UpdateFrame()))
        return hr;
    const bool wallpaper = m_bWallpaperMode && m_bWallpaperRunning && m_pWallpaperTexture;
    if (wallpaper)
    {
        ComRef<IDirect3DSurface8> level, depth;
        HRESULT set = m_pWallpaperTexture->GetSurfaceLevel(0, level.Put());
        if (SUCCEEDED(set))
        {
            if (FAILED(m_pd3dDevice->GetDepthStencilSurface(depth.Put())))
                depth.Detach(); // a failed call hands back no surface
            set = m_pd3dDevice->SetRenderTarget(level, depth);
        }
        if (FAILED(set))
        {
            m_bWallpaperRunning = false;
            g_Log.Printf("Failed to set render target: %s\n", GetErrorString(set).c_str());
        }
    }
    if (FAILED(hr = Render()))
        return hr;
    FadeScreen(m_pd3dDevice, (float)m_d3dsdBackBuffer.Width, (float)m_d3dsdBackBuffer.Height, 1.0f - m_fFade);

    ++g_FramesSinceUpdate;
    ++m_dwFrameCount;
    const float t = AppClock::AbsoluteTime();
    if (t - g_LastRateUpdate > 1.0f)
    {
        m_fFPS = g_FramesSinceUpdate / (t - g_LastRateUpdate);
        g_FramesSinceUpdate = 0;
        g_LastRateUpdate = t;
    }

    if (!g_bFirstFrameDone)
    {
        // The first frame is drawn but never shown.
        g_bFirstFrameDone = true;
        m_pTimer->Resume();
        m_pOwnClock->SetTime(0);
        if (m_pBenchmark)
            oaBenchmarkBegins();
        return S_OK;
    }

    m_pd3dDevice->BeginScene();
    LineDrawer::Flush(DebugDraw::Instance());
    m_pd3dDevice->EndScene();
    if (m_pBenchmark)
        oaFrameDrawn((double)m_pTimer->GetTime());
    if (wallpaper && m_bWallpaperRunning)
        return PresentToDesktop();
    m_pd3dDevice->Present(nullptr, nullptr, nullptr, nullptr);
    return S_OK;
}

void CD3DApplication::FadeScreen(IDirect3DDevice8* device, float width, float height, float alpha)
{
    if (alpha == 0.0f)
        return;

    RenderStateManager& rsm = RenderStateManager::Instance();
    rsm.PushStates();
    D3DVIEWPORT8 vp = {0, 0, (DWORD)width, (DWORD)height, 0.0f, 1.0f};
    device->SetViewport(&vp);

    device->BeginScene();
    device->SetTexture(0, nullptr);
    SetScreenQuadStates(D3DTA_DIFFUSE, TRUE);
    device->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
    device->SetPixelShader(0);

    struct Vertex
    {
        float x, y, z, rhw;
        DWORD color;
    };
    const DWORD color = (DWORD)(alpha * 255.0f) << 24;
    const Vertex quad[4] = {{-1, -1, 0, 1, color},
                            {width, -1, 0, 1, color},
                            {width, height, 0, 1, color},
                            {-1, height, 0, 1, color}};
    static const WORD kIndices[6] = {0, 1, 2, 0, 2, 3};
    device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 4, 2, kIndices, D3DFMT_INDEX16, quad, sizeof(Vertex));
    device->EndScene();
    rsm.PopStates();
}

LRESULT CD3DApplication::MsgProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    OnUserActivity(msg, lParam);
    switch (msg)
    {
    case WM_POWERBROADCAST:
        if (wParam == PBT_APMQUERYSUSPEND || wParam == PBT_APMRESUMESUSPEND)
            return TRUE;
        if (wParam == PBT_POWERSETTINGCHANGE && lParam)
        {
            const POWERBROADCAST_SETTING* setting = reinterpret_cast<const POWERBROADCAST_SETTING*>(lParam);
            if (IsEqualGUID(setting->PowerSetting, GUID_MONITOR_POWER_ON) && setting->DataLength >= 1)
            {
                if (setting->Data[0] == 0)
                {
                    g_Log.Printf("PBT_POWERSETTINGCHANGE received: Monitor Off\n");
                    m_bMonitorOn = false;
                }
                else if (setting->Data[0] == 1)
                {
                    g_Log.Printf("PBT_POWERSETTINGCHANGE received: Monitor On\n");
                    m_bMonitorOn = true;
                }
            }
        }
        break;
    case WM_SETCURSOR:
        if (m_bActive && m_bReady && !m_bWindowed)
        {
            if (!m_bWallpaperMode && !m_bShowCursorWhenFullscreen)
                SetCursor(nullptr);
            return TRUE;
        }
        break;
    case WM_NCHITTEST:
        if (!m_bWindowed)
            return 1;
        break;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_MONITORPOWER)
        {
            // The next countdown step powers the monitor off our way.
            g_Log.Printf("SC_MONITORPOWER received.\n");
            m_fMonitorPowerCountdown = -1.0f;
            break;
        }
        if ((wParam == SC_SIZE || wParam == SC_MOVE || wParam == SC_KEYMENU) && !m_bWindowed)
            return 1;
        break;
    case WM_MOUSEMOVE:
        if (m_bActive && m_bReady && m_pd3dDevice)
        {
            POINT p;
            GetCursorPos(&p);
            ScreenToClient(hWnd, &p);
            m_pd3dDevice->SetCursorPosition(p.x, p.y, 0);
        }
        break;
    case WM_CLOSE:
        if (!VerifyPasswordOnClose())
            return 0;
        Cleanup3DEnvironment();
        GetPowerSystemCalls().SystemParametersInfo(SPI_SETSCREENSAVERRUNNING, FALSE, nullptr, 0);
        DestroyWindow(hWnd);
        PostQuitMessage(0);
        return 0;
    default: break;
    }
    return DefWindowProcA(hWnd, msg, wParam, lParam);
}

HRESULT CD3DApplication::Cleanup3DEnvironment()
{
    m_bActive = FALSE;
    m_bReady = FALSE;
    if (m_pd3dDevice)
    {
        InvalidateDeviceObjects();
        DeleteDeviceObjects();
        for (ComRef<IDirect3DTexture8>* t : {&m_pWallpaperTexture, &m_pWallpaperLockable, &m_pOverlayTexture})
            t->Reset();
        if (m_dwOverlayShader)
            m_pd3dDevice->DeletePixelShader(m_dwOverlayShader);
        m_dwOverlayShader = 0;
        ReleaseInterfaces();
    }
    if (m_hPasswordModule)
        GetPowerSystemCalls().FreeLibrary(m_hPasswordModule);
    m_hPasswordModule = nullptr;
    m_pVerifyScreenSavePwd = nullptr;
    g_Log.Printf("FinalCleanup\n");
    return FinalCleanup();
}

void CD3DApplication::ReleaseInterfaces()
{
    ShowWindow(m_hWnd, SW_HIDE);
    UpdateWindow(m_hWnd);
    g_Log.Printf("Release m_pd3dDevice\n");
    m_pd3dDevice.Reset();
    g_Log.Printf("Release m_pD3D\n");
    m_pD3D.Reset();
}

void CD3DApplication::ReleaseDevice()
{
    ReleaseInterfaces();
    DestroyWindow(m_hWnd);
}
