#pragma once
// The Direct3D 8 application framework: one application object owns the
// window, the Direct3D object and the one device, the adapter, mode and
// monitor lists and the frame loop. A derived class supplies the scene.
#include <windows.h>
#include <d3d8.h>

#include "ComRef.h"

#include <cstdint>
#include <memory>

class CTimer;
class RenderToDesktop;
class CQueryPerformanceTimer;
class COpenAutomateOptions;

// The framework's own failure codes.
enum : HRESULT
{
    D3DAPPERR_NODIRECT3D = (HRESULT)0x82000001,
    D3DAPPERR_NOCOMPATIBLEDEVICES = (HRESULT)0x82000003,
    D3DAPPERR_NOWINDOWABLEDEVICES = (HRESULT)0x82000004,
    D3DAPPERR_NOHARDWAREDEVICE = (HRESULT)0x82000005,
    D3DAPPERR_HALNOTCOMPATIBLE = (HRESULT)0x82000006,
    D3DAPPERR_NOWINDOWEDHAL = (HRESULT)0x82000007,
    D3DAPPERR_NODESKTOPHAL = (HRESULT)0x82000008,
    D3DAPPERR_NOHALTHISMODE = (HRESULT)0x82000009,
    D3DAPPERR_NONZEROREFCOUNT = (HRESULT)0x8200000A,
    D3DAPPERR_MEDIANOTFOUND = (HRESULT)0x8200000B,
    D3DAPPERR_RESETFAILED = (HRESULT)0x8200000C,
};

// One usable display mode of a device.
struct ModeInfo
{
    DWORD Width;
    DWORD Height;
    D3DFORMAT Format;
    DWORD dwBehavior; // D3DCREATE_HARDWARE_ or D3DCREATE_SOFTWARE_VERTEXPROCESSING
    D3DFORMAT DepthStencilFormat; // 0 when no depth buffer is used
};

enum
{
    MAX_MODES_PER_DEVICE = 150,
    MAX_DEVICES_PER_ADAPTER = 5,
    MAX_ADAPTERS = 10,
    MAX_MONITORS = 9,
    MAX_COLLECTED_MODES = 100,
    MAX_COLLECTED_FORMATS = 20,
};

struct DeviceInfo
{
    D3DDEVTYPE DeviceType;
    D3DCAPS8 d3dCaps;
    const char* strDesc;
    BOOL bCanDoWindowed;
    DWORD dwNumModes;
    ModeInfo modes[MAX_MODES_PER_DEVICE];
    DWORD dwCurrentMode;
    BOOL bWindowed;
    DWORD MultiSampleType;
};

struct AdapterInfo
{
    D3DADAPTER_IDENTIFIER8 d3dAdapterIdentifier;
    D3DDISPLAYMODE d3ddmDesktop;
    DWORD dwNumDevices;
    DeviceInfo devices[MAX_DEVICES_PER_ADAPTER];
    DWORD dwCurrentDevice;
};

struct MonitorInfo
{
    char AdapterName[128];
    char MonitorName[128];
    HMONITOR hMonitor;
    RECT rcMonitor;
    HWND hWnd;
};

// Sort order of collected display modes: width, then height ascending; at
// equal size the larger format number first. Negative, 0 or positive.
int CompareDisplayModes(const D3DDISPLAYMODE& a, const D3DDISPLAYMODE& b);

// The distinct display modes of an adapter of at least 640 x 480 (refresh
// rates collapsed, at most MAX_COLLECTED_MODES) in CompareDisplayModes
// order, and their formats (at most MAX_COLLECTED_FORMATS, the desktop
// format first). Returns the number of modes.
DWORD CollectDisplayModes(IDirect3D8* d3d, UINT adapter, D3DFORMAT desktopFormat, D3DDISPLAYMODE* modes,
                          D3DFORMAT* formats, DWORD* numFormats);
// The first depth/stencil format, from the deepest down, that has at least
// the given depth and stencil bits and works with the target format.
bool FindDepthStencilFormat(IDirect3D8* d3d, UINT adapter, D3DDEVTYPE deviceType, D3DFORMAT target,
                            DWORD minDepthBits, DWORD minStencilBits, D3DFORMAT* out);

// The Direct3D 8 name of a format, "UNKNOWN FORMAT" for others.
const char* GetFormatName(D3DFORMAT format);
// Total video memory in bytes through DirectDraw 7; 0 when it cannot tell.
DWORD GetTotalVideoMemory();
bool GetOSVersionString(char* out, size_t size);
const char* GetOSDescription();
bool IsTextureFormatSupported(IDirect3D8* d3d, D3DFORMAT format, DWORD usage, D3DFORMAT adapterFormat);
bool IsDepthFormatSupported(IDirect3D8* d3d, D3DFORMAT format, D3DFORMAT adapterFormat);

typedef void (*CrashHookFn)();
extern CrashHookFn g_CrashHook; // the process-wide fatal-error hook

class CD3DApplication
{
public:
    CD3DApplication();

    virtual HRESULT PreCreateDevice() { return S_OK; }
    virtual HRESULT ConfirmDevice(D3DCAPS8*, DWORD, D3DFORMAT) { return S_OK; }
    virtual HRESULT OneTimeSceneInit() { return S_OK; }
    virtual HRESULT InitDeviceObjects() { return S_OK; }
    virtual HRESULT RestoreDeviceObjects() { return S_OK; }
    virtual HRESULT UpdateFrame() { return S_OK; }
    virtual HRESULT Render() { return S_OK; }
    virtual HRESULT InvalidateDeviceObjects() { return S_OK; }
    virtual HRESULT DeleteDeviceObjects() { return S_OK; }
    virtual HRESULT FinalCleanup() { return S_OK; }
    virtual bool CanRender();
    virtual void NoOpHook() {}
    virtual HRESULT Create(HINSTANCE hInstance);
    virtual int Run();
    virtual LRESULT MsgProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
    virtual void NoOpFlagHook(DWORD) {}
    virtual ~CD3DApplication();
    virtual const char* Translate(const char* text) { return text; }
    virtual void OnBenchmarkFinished() {}

    HRESULT Initialize3DEnvironment();
    HRESULT Render3DEnvironment();
    HRESULT Cleanup3DEnvironment();
    void ReleaseDevice();
    HRESULT DisplayErrorMsg(HRESULT code);
    static LRESULT CALLBACK WndProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void FadeScreen(IDirect3DDevice8* device, float width, float height, float alpha);

    void EnumerateMonitors();
    HRESULT BuildDeviceList();
    bool FindDepthStencilFormat(UINT adapter, D3DDEVTYPE deviceType, D3DFORMAT target, D3DFORMAT* out);
    DWORD FindModeIndex(DWORD adapter, const D3DDISPLAYMODE& mode);

    // Power management and the screensaver password.
    void SetupPowerManagement();
    void SetupPassword();
    void UpdateMonitorPowerCountdown();
    void UpdateSuspendCountdown();
    // A key, a button or a mouse move to a new place: restarts both
    // countdowns and powers the monitor on. True when the message was activity.
    bool OnUserActivity(UINT msg, LPARAM lParam);
    void PowerMonitorOff();
    // The Windows 9x password check on closing; false when the close waits.
    bool VerifyPasswordOnClose();

    // Wallpaper mode: the scene drawn into a texture of the desktop's size
    // and shown behind the desktop icons.
    HRESULT SetupWallpaper();
    void CreateOverlayShader();
    void RenderOverlayPass();
    HRESULT PresentToDesktop();
    // The wallpaper's three textures; each step only while the wallpaper runs.
    HRESULT CreateWallpaperTextures();

    void LogSystemInfo();
    void LogAdapterInfo(D3DADAPTER_IDENTIFIER8 identifier);
    void LogDeviceCaps();
    DWORD LogDepthFormats(D3DFORMAT adapterFormat);
    DWORD LogTextureFormats(D3DFORMAT adapterFormat, DWORD usage);

protected:
    // The chosen monitor, checked: the primary (0) when the setting names no
    // recorded monitor with a handle and a Direct3D adapter.
    void CheckChosenMonitor();
    void CreateBlackWindows();
    // Hides the window, then releases the device and the Direct3D object.
    void ReleaseInterfaces();

    bool m_bWallpaperMode = false;
    bool m_bWallpaperRunning = true;

    DWORD m_dwFrameCount = 0;
    float m_fFrameLimit = 100000.0f;
    CTimer* m_pTimer = nullptr;
    std::unique_ptr<CQueryPerformanceTimer> m_pOwnClock;

    AdapterInfo m_Adapters[MAX_ADAPTERS];
    DWORD m_dwNumAdapters = 0;
    DWORD m_dwAdapter = 0;

    BOOL m_bActive = FALSE;
    BOOL m_bReady = FALSE;
    BOOL m_bWindowed = FALSE;

    MonitorInfo m_Monitors[MAX_MONITORS];
    DWORD m_dwNumMonitors = 0;
    DWORD m_dwChosenMonitor = 0;
    BOOL m_bBlackScreens = FALSE;

    HANDLE m_hMonitorPowerTimerStopEvent = nullptr;
    HANDLE m_hMonitorPowerTimerStartEvent = nullptr;
    HANDLE m_hMonitorPowerTimerRestartEvent = nullptr;
    HANDLE m_hMonitorPowerOffEvent = nullptr;

    int m_iMonitorPowerOffTimeout = 0; // seconds, 0: no monitor countdown
    float m_fMonitorPowerCountdown = 0.0f;
    bool m_bMonitorPoweredOff = false;
    void* m_hPowerNotify = nullptr; // wallpaper mode's power-setting notification
    HANDLE m_hMonitorDevice = INVALID_HANDLE_VALUE; // wallpaper mode's "\\.\LCD"
    bool m_bMonitorOn = true;
    int m_iSuspendTimeout = 0; // seconds, 0: no suspend countdown
    float m_fSuspendCountdown = 0.0f;
    HMODULE m_hPasswordModule = nullptr;
    BOOL(WINAPI* m_pVerifyScreenSavePwd)(HWND) = nullptr;

    ComRef<IDirect3DTexture8> m_pWallpaperTexture;  // render target of the desktop's size
    ComRef<IDirect3DTexture8> m_pWallpaperLockable; // managed copy read back every frame
    ComRef<IDirect3DTexture8> m_pOverlayTexture;    // render target of the YUV conversion
    DWORD m_dwOverlayShader = 0;
    bool m_bColorKeyApplied = false;
    std::unique_ptr<RenderToDesktop> m_pRenderToDesktop;

    COpenAutomateOptions* m_pBenchmark = nullptr;

    D3DPRESENT_PARAMETERS m_d3dpp;
    HWND m_hWnd = nullptr;
    HWND m_hWndFocus = nullptr;
    ComRef<IDirect3D8> m_pD3D;
    ComRef<IDirect3DDevice8> m_pd3dDevice;
    D3DCAPS8 m_d3dCaps;
    D3DSURFACE_DESC m_d3dsdBackBuffer;
    DWORD m_dwCreateFlags = 0;
    DWORD m_dwWindowStyle = 0;
    RECT m_rcWindowBounds = {};
    RECT m_rcWindowClient = {};
    float m_fFPS = 0;
    char m_strDeviceStats[90] = {};
    float m_fScreenScaleX = 1;
    float m_fScreenScaleY = 1;
    DWORD m_dwCreationWidth = 400;
    DWORD m_dwCreationHeight = 300;
    const char* m_strWindowTitle = "D3D8 Application";
    BOOL m_bUseDepthBuffer = TRUE;
    DWORD m_dwMinDepthBits = 16;
    DWORD m_dwMinStencilBits = 0;
    BOOL m_bShowCursorWhenFullscreen = FALSE;
    BOOL m_bHWVPNeedsVertexShaders = TRUE;
    float m_fFade = 1.0f;
};

extern CD3DApplication* g_pApplication;
extern HINSTANCE g_hInstance;
