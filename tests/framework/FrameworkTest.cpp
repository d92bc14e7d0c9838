#include <gtest/gtest.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "AppClock.h"
#include "CpuFrequency.h"
#include "FakeD3D8.h"
#include "Log.h"
#include "OpenAutomate.h"
#include "Timer.h"
#include "d3dapp.h"
#include "d3dx8err.h"

namespace {

// The application object with its inner steps reachable and the fake in
// place of Direct3D.
class TestApp : public CD3DApplication
{
public:
    using CD3DApplication::CheckChosenMonitor;
    using CD3DApplication::m_Adapters;
    using CD3DApplication::m_bActive;
    using CD3DApplication::m_bReady;
    using CD3DApplication::m_bWindowed;
    using CD3DApplication::m_dwChosenMonitor;
    using CD3DApplication::m_dwFrameCount;
    using CD3DApplication::m_dwMinStencilBits;
    using CD3DApplication::m_dwNumAdapters;
    using CD3DApplication::m_dwNumMonitors;
    using CD3DApplication::m_hWnd;
    using CD3DApplication::m_hWndFocus;
    using CD3DApplication::m_Monitors;
    using CD3DApplication::m_pD3D;
    using CD3DApplication::m_pd3dDevice;

    HRESULT initResult = S_OK;
    HRESULT confirmHardware = S_OK;
    int renders = 0, deletes = 0;

    HRESULT ConfirmDevice(D3DCAPS8*, DWORD behavior, D3DFORMAT) override
    {
        return (behavior & D3DCREATE_HARDWARE_VERTEXPROCESSING) ? confirmHardware : S_OK;
    }
    HRESULT InitDeviceObjects() override { return initResult; }
    HRESULT DeleteDeviceObjects() override
    {
        ++deletes;
        return S_OK;
    }
    HRESULT Render() override
    {
        ++renders;
        m_pd3dDevice->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF2060A0, 1.0f, 0);
        return S_OK;
    }
    float ScreenScaleX() const { return m_fScreenScaleX; }
    const DeviceInfo& Device() const { return m_Adapters[0].devices[0]; }
};

D3DDISPLAYMODE Mode(UINT w, UINT h, D3DFORMAT f, UINT hz = 60)
{
    return {w, h, hz, f};
}

std::string Describe(const DeviceInfo& d)
{
    std::ostringstream s;
    for (DWORD i = 0; i < d.dwNumModes; ++i)
        s << d.modes[i].Width << "x" << d.modes[i].Height << ":" << d.modes[i].Format << " ";
    return s.str();
}

class FrameworkTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_App.m_pD3D.Attach(&m_Fake); // the fake counts no references
        m_LogStart = g_Log.GetText().size();
    }
    void TearDown() override
    {
        m_App.m_pd3dDevice.Reset();
        m_App.m_pD3D.Reset();
        if (m_hWnd)
            DestroyWindow(m_hWnd);
    }
    std::string NewLog() const { return g_Log.GetText().substr(m_LogStart); }

    // A real Direct3D object behind the fake and a window for its device.
    void UseRealDevices()
    {
        static IDirect3D8* s_pReal = Direct3DCreate8(120); // one for the whole run: it is slow to make
        m_Fake.real = s_pReal;
        ASSERT_NE(m_Fake.real, nullptr);
        m_hWnd = CreateWindowExA(0, "STATIC", "test", WS_POPUP, 0, 0, 64, 64, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(m_hWnd, nullptr);
        m_App.m_hWnd = m_App.m_hWndFocus = m_hWnd;
    }

    FakeD3D8 m_Fake;
    TestApp m_App;
    HWND m_hWnd = nullptr;
    size_t m_LogStart = 0;
};

TEST_F(FrameworkTest, ModesAreSortedDeduplicatedAndFiltered)
{
    m_Fake.modes = {Mode(800, 600, D3DFMT_X8R8G8B8),  Mode(800, 600, D3DFMT_R5G6B5),
                    Mode(640, 480, D3DFMT_X8R8G8B8),  Mode(640, 480, D3DFMT_R5G6B5),
                    Mode(640, 480, D3DFMT_R5G6B5, 75), Mode(800, 600, D3DFMT_X8R8G8B8, 85),
                    Mode(512, 384, D3DFMT_X8R8G8B8),  Mode(1024, 400, D3DFMT_X8R8G8B8)};
    m_Fake.desktop = Mode(800, 600, D3DFMT_X8R8G8B8);
    ASSERT_EQ(m_App.BuildDeviceList(), S_OK);
    EXPECT_EQ(Describe(m_App.Device()), "640x480:23 640x480:22 800x600:23 800x600:22 ");
    EXPECT_EQ(m_App.Device().dwCurrentMode, 3u); // the desktop mode
    EXPECT_TRUE(m_App.Device().bCanDoWindowed);
    EXPECT_TRUE(m_App.m_bWindowed);
}

TEST_F(FrameworkTest, ModesOfAFormatTheDeviceRefusesAreDropped)
{
    m_Fake.modes = {Mode(640, 480, D3DFMT_X8R8G8B8), Mode(640, 480, D3DFMT_R5G6B5)};
    m_Fake.badDisplayFormats = {D3DFMT_R5G6B5};
    ASSERT_EQ(m_App.BuildDeviceList(), S_OK);
    EXPECT_EQ(Describe(m_App.Device()), "640x480:22 ");
    EXPECT_EQ(m_App.Device().dwCurrentMode, 0u); // desktop 1024x768 is not listed
}

TEST_F(FrameworkTest, NoUsableModeIsNoCompatibleDevice)
{
    m_Fake.modes = {Mode(640, 480, D3DFMT_X8R8G8B8)};
    m_Fake.badDisplayFormats = {D3DFMT_X8R8G8B8};
    EXPECT_EQ(m_App.BuildDeviceList(), D3DAPPERR_NOCOMPATIBLEDEVICES);
    EXPECT_EQ(m_App.m_dwNumAdapters, 0u);
}

TEST_F(FrameworkTest, DepthFormatIsTheDeepestTheBitsAllow)
{
    struct Case
    {
        DWORD stencil;
        std::set<D3DFORMAT> offered;
        D3DFORMAT expected; // D3DFMT_UNKNOWN: none qualifies
    } cases[] = {
        {0, m_Fake.depthFormats, D3DFMT_D32},
        {0, {D3DFMT_D16, D3DFMT_D24S8}, D3DFMT_D24S8},
        {2, m_Fake.depthFormats, D3DFMT_D24S8},
        {2, {D3DFMT_D32, D3DFMT_D24X8, D3DFMT_D24X4S4}, D3DFMT_D24X4S4},
        {2, {D3DFMT_D32, D3DFMT_D24X8, D3DFMT_D16, D3DFMT_D15S1}, D3DFMT_UNKNOWN},
    };
    for (const Case& c : cases)
    {
        m_Fake.depthFormats = c.offered;
        m_App.m_dwMinStencilBits = c.stencil;
        D3DFORMAT found = D3DFMT_UNKNOWN;
        const bool ok = m_App.FindDepthStencilFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, &found);
        EXPECT_EQ(ok, c.expected != D3DFMT_UNKNOWN) << "stencil " << c.stencil;
        EXPECT_EQ(found, c.expected) << "stencil " << c.stencil;
    }
}

TEST_F(FrameworkTest, VertexProcessingFollowsCapsAndConfirmation)
{
    struct Case
    {
        DWORD devCaps, vsVersion;
        HRESULT confirmHardware;
        DWORD expected;
    } cases[] = {
        {D3DDEVCAPS_HWTRANSFORMANDLIGHT, D3DVS_VERSION(1, 1), S_OK, D3DCREATE_HARDWARE_VERTEXPROCESSING},
        {D3DDEVCAPS_HWTRANSFORMANDLIGHT, D3DVS_VERSION(0, 0), S_OK, D3DCREATE_SOFTWARE_VERTEXPROCESSING},
        {D3DDEVCAPS_HWTRANSFORMANDLIGHT, D3DVS_VERSION(1, 1), E_FAIL, D3DCREATE_SOFTWARE_VERTEXPROCESSING},
        {0, D3DVS_VERSION(1, 1), S_OK, D3DCREATE_SOFTWARE_VERTEXPROCESSING},
    };
    for (const Case& c : cases)
    {
        TestApp& app = m_App; // one application object at a time
        app.m_dwNumAdapters = 0;
        app.confirmHardware = c.confirmHardware;
        m_Fake.caps.DevCaps = c.devCaps;
        m_Fake.caps.VertexShaderVersion = c.vsVersion;
        m_Fake.modes = {Mode(640, 480, D3DFMT_X8R8G8B8)};
        ASSERT_EQ(app.BuildDeviceList(), S_OK);
        EXPECT_EQ(app.Device().modes[0].dwBehavior, c.expected) << std::hex << c.devCaps << " " << c.vsVersion;
        EXPECT_EQ(app.Device().modes[0].DepthStencilFormat, D3DFMT_D32);
    }
}

TEST_F(FrameworkTest, ChosenMonitorFallsBackToThePrimary)
{
    m_App.m_dwNumMonitors = 2;
    m_App.m_dwNumAdapters = 2;
    m_App.m_Monitors[0].hMonitor = (HMONITOR)1;
    m_App.m_Monitors[1].hMonitor = nullptr;
    for (DWORD chosen : {1u, 7u, 4000000000u})
    {
        m_App.m_dwChosenMonitor = chosen;
        m_App.CheckChosenMonitor();
        EXPECT_EQ(m_App.m_dwChosenMonitor, 0u);
    }
    m_App.m_Monitors[1].hMonitor = (HMONITOR)2;
    m_App.m_dwChosenMonitor = 1;
    m_App.CheckChosenMonitor();
    EXPECT_EQ(m_App.m_dwChosenMonitor, 1u);
    EXPECT_NE(NewLog().find("Monitor 7 is not available, using the primary monitor\n"), std::string::npos);
}

class DeviceTest : public FrameworkTest
{
protected:
    void SetUp() override
    {
        FrameworkTest::SetUp();
        UseRealDevices();
        m_Fake.modes = {Mode(1024, 768, D3DFMT_X8R8G8B8), Mode(640, 480, D3DFMT_R5G6B5)};
        ASSERT_EQ(m_App.BuildDeviceList(), S_OK);
        m_App.m_bWindowed = FALSE;
        ASSERT_EQ(m_App.Device().dwCurrentMode, 1u); // 1024x768 X8R8G8B8
    }
};

TEST_F(DeviceTest, CreationRetriesAt640x480R5G6B5WithCopySwap)
{
    m_Fake.createResults = {D3DERR_INVALIDCALL};
    ASSERT_EQ(m_App.Initialize3DEnvironment(), S_OK);
    ASSERT_EQ(m_Fake.created.size(), 2u);
    const D3DPRESENT_PARAMETERS& first = m_Fake.created[0];
    EXPECT_EQ(first.BackBufferWidth, 1024u);
    EXPECT_EQ(first.BackBufferFormat, D3DFMT_X8R8G8B8);
    EXPECT_EQ(first.SwapEffect, D3DSWAPEFFECT_DISCARD);
    EXPECT_EQ(first.FullScreen_PresentationInterval, (UINT)D3DPRESENT_INTERVAL_IMMEDIATE);
    EXPECT_EQ(first.AutoDepthStencilFormat, D3DFMT_D32);
    const D3DPRESENT_PARAMETERS& second = m_Fake.created[1];
    EXPECT_EQ(second.BackBufferWidth, 640u);
    EXPECT_EQ(second.BackBufferHeight, 480u);
    EXPECT_EQ(second.BackBufferFormat, D3DFMT_R5G6B5);
    EXPECT_EQ(second.SwapEffect, D3DSWAPEFFECT_COPY);
    EXPECT_EQ(m_App.Device().dwCurrentMode, 0u); // the 640x480 R5G6B5 mode
    EXPECT_TRUE(m_App.m_bActive);
    EXPECT_NE(NewLog().find("Using device: HAL (sw vp): Fake adapter\n"), std::string::npos);
}

TEST_F(DeviceTest, LostAtCreationIsNotRetried)
{
    m_Fake.createResults = {D3DERR_DEVICELOST};
    EXPECT_EQ(m_App.Initialize3DEnvironment(), D3DERR_DEVICELOST);
    EXPECT_EQ(m_Fake.created.size(), 1u);
    EXPECT_EQ(m_App.m_pd3dDevice, nullptr);
    EXPECT_FALSE(m_App.m_bActive);
}

TEST_F(DeviceTest, BothAttemptsFailingIsReported)
{
    m_Fake.createResults = {D3DERR_INVALIDCALL, D3DERR_NOTAVAILABLE};
    EXPECT_EQ(m_App.Initialize3DEnvironment(), D3DERR_NOTAVAILABLE);
    EXPECT_EQ(m_App.m_pd3dDevice, nullptr);
    char text[256];
    D3DXGetErrorStringA(D3DERR_NOTAVAILABLE, text, sizeof(text));
    EXPECT_NE(NewLog().find(std::string("Can't CreateDevice: ") + text + "!\n"), std::string::npos);
}

TEST_F(DeviceTest, FailedDeviceObjectsReleaseTheDeviceOnce)
{
    m_App.initResult = E_FAIL;
    EXPECT_EQ(m_App.Initialize3DEnvironment(), E_FAIL);
    EXPECT_EQ(m_App.m_pd3dDevice, nullptr);
    EXPECT_EQ(m_App.deletes, 1);
    EXPECT_FALSE(m_App.m_bActive);
    EXPECT_NE(NewLog().find("Error: InitDeviceObjects FAILED!\n"), std::string::npos);
    // The shut-down after it finds nothing left to release.
    m_App.ReleaseDevice();
    m_App.m_hWnd = nullptr;
    EXPECT_EQ(m_App.m_pd3dDevice, nullptr);
}

D3DCOLOR ReadPixel(IDirect3DDevice8* device, UINT x, UINT y)
{
    IDirect3DSurface8* back = nullptr;
    D3DCOLOR colour = 0xDEADBEEF;
    D3DLOCKED_RECT locked;
    if (SUCCEEDED(device->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &back)) &&
        SUCCEEDED(back->LockRect(&locked, nullptr, D3DLOCK_READONLY)))
    {
        colour = ((const D3DCOLOR*)((const BYTE*)locked.pBits + y * locked.Pitch))[x] & 0xFFFFFF;
        back->UnlockRect();
    }
    if (back)
        back->Release();
    return colour;
}

TEST_F(DeviceTest, FadeDarkensTheWholeTargetByItsAlpha)
{
    ASSERT_EQ(m_App.Initialize3DEnvironment(), S_OK);
    IDirect3DDevice8* d = m_App.m_pd3dDevice;
    struct Case
    {
        float alpha;
        D3DCOLOR expected;
    } cases[] = {{0.0f, 0xC0C0C0}, {0.5f, 0x606060}, {1.0f, 0x000000}};
    for (const Case& c : cases)
    {
        d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFC0C0C0, 1.0f, 0);
        m_App.FadeScreen(d, 64, 64, c.alpha);
        for (UINT xy : {0u, 63u})
        {
            const D3DCOLOR got = ReadPixel(d, xy, xy);
            for (int shift : {0, 8, 16})
                EXPECT_NEAR((int)((got >> shift) & 0xFF), (int)((c.expected >> shift) & 0xFF), 2)
                    << "alpha " << c.alpha << " pixel " << xy << std::hex << " got " << got;
        }
    }
    // The blend states are put back for the frame after.
    DWORD blend = 1;
    d->GetRenderState(D3DRS_ALPHABLENDENABLE, &blend);
    EXPECT_EQ(blend, (DWORD)FALSE);
}

TEST_F(DeviceTest, LongAdapterDescriptionIsCutToTheField)
{
    m_Fake.description = std::string(300, 'A');
    m_App.m_dwNumAdapters = 0;
    ASSERT_EQ(m_App.BuildDeviceList(), S_OK);
    m_App.m_bWindowed = FALSE;
    ASSERT_EQ(m_App.Initialize3DEnvironment(), S_OK);
    const std::string expected = "Using device: HAL (sw vp): " + std::string(89 - 13, 'A') + "\n";
    EXPECT_NE(NewLog().find(expected), std::string::npos);
    EXPECT_EQ(m_App.ScreenScaleX(), 1.0f); // the field after it is intact
}

TEST_F(FrameworkTest, SupportedFormatsAreLoggedInListOrder)
{
    m_Fake.depthFormats = {D3DFMT_D16, D3DFMT_D24S8};
    EXPECT_EQ(m_App.LogDepthFormats(D3DFMT_X8R8G8B8), 2u);
    EXPECT_NE(NewLog().find(" - D3DFMT_D24S8\n"), std::string::npos);
    EXPECT_LT(NewLog().find("D3DFMT_D24S8"), NewLog().find("D3DFMT_D16"));
    EXPECT_EQ(m_App.LogTextureFormats(D3DFMT_X8R8G8B8, 0), 29u); // the fake accepts every texture format
    EXPECT_LT(NewLog().find("D3DFMT_R8G8B8\n"), NewLog().find("D3DFMT_DXT5\n"));
}

TEST(FormatNameTest, NamesKnownFormatsOnly)
{
    const std::pair<D3DFORMAT, const char*> cases[] = {
        {D3DFMT_X8R8G8B8, "D3DFMT_X8R8G8B8"}, {D3DFMT_DXT5, "D3DFMT_DXT5"},
        {D3DFMT_D24X4S4, "D3DFMT_D24X4S4"},   {D3DFMT_INDEX32, "D3DFMT_INDEX32"},
        {D3DFMT_UNKNOWN, "D3DFMT_UNKNOWN"},   {(D3DFORMAT)31, "UNKNOWN FORMAT"},
    };
    for (const auto& c : cases)
        EXPECT_STREQ(GetFormatName(c.first), c.second);
}

TEST(CpuFrequencyTest, EstimateIsPlausible)
{
    const uint64_t mhz = GetCpuFrequency();
    EXPECT_GT(mhz, 100u);
    EXPECT_LT(mhz, 10000u);
}

// Lines the benchmark reports wrote to the standard error stream while the
// harness client is not initialised.
int CountReports(const char* path)
{
    std::ifstream in(path);
    std::string line;
    int n = 0;
    while (std::getline(in, line))
        n += line.find("ERROR: OA not initialized.") != std::string::npos;
    return n;
}

TEST(BenchmarkTest, LengthClosesTheLoopAndTheFirstFrameIsNotPresented)
{
    ResetFrameTiming();
    AppClock::Start(); // as the start-up does
    COpenAutomateOptions& options = COpenAutomateOptions::Instance();
    options.m_bBenchmark = true;
    options.m_BenchmarkFrames = 20;
    FakeD3D8 fake;
    fake.real = Direct3DCreate8(120);
    ASSERT_NE(fake.real, nullptr);
    fake.modes = {Mode(1024, 768, D3DFMT_X8R8G8B8)};
    {
        TestApp app;
        options.m_bBenchmark = false;
        app.m_pD3D.Attach(&fake);
        // The close reaches the framework through its own window procedure.
        WNDCLASSA wc = {};
        wc.lpfnWndProc = CD3DApplication::WndProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "BenchmarkTestWindow";
        RegisterClassA(&wc);
        app.m_hWnd = app.m_hWndFocus = CreateWindowExA(0, wc.lpszClassName, "bench", WS_POPUP, 0, 0, 64,
                                                      64, nullptr, nullptr, wc.hInstance, nullptr);
        ASSERT_EQ(app.BuildDeviceList(), S_OK);
        ASSERT_EQ(app.Initialize3DEnvironment(), S_OK);
        app.m_bReady = TRUE;

        char path[MAX_PATH];
        GetTempPathA(MAX_PATH, path);
        lstrcatA(path, "tarnholm_oa_reports.txt");
        fflush(stderr);
        const int saved = _dup(2);
        FILE* out = std::fopen(path, "w");
        _dup2(_fileno(out), 2);
        const int result = app.Run();
        fflush(stderr);
        _dup2(saved, 2);
        std::fclose(out);

        EXPECT_EQ(result, 0);
        EXPECT_EQ(app.m_dwFrameCount, 20u);
        EXPECT_EQ(app.renders, 20);
        // One start, 19 presented frames, one end.
        EXPECT_EQ(CountReports(path), 21);
        EXPECT_EQ(app.m_pd3dDevice, nullptr); // released by the close
        // The fixed step of benchmark runs, from the first frame on.
        EXPECT_NEAR(GetGlobalTimer()->GetTime(), 0.20f, 1e-5);
        app.m_pD3D.Reset();
        DeleteFileA(path);
    }
    fake.real->Release();
    g_TimerMode = 0;
}

} // namespace

namespace {

struct StillClock
{
    static int64_t counter;
    static bool Frequency(int64_t* f)
    {
        *f = 1000;
        return true;
    }
    static int64_t Counter() { return counter; }
    static uint32_t Milliseconds() { return (uint32_t)counter; }
};
int64_t StillClock::counter = 5000;
const TimerClockSource kStillClock = {StillClock::Frequency, StillClock::Counter, StillClock::Milliseconds};

TEST_F(DeviceTest, AFrameWithinTheSameClockTickDoesNothing)
{
    ASSERT_EQ(m_App.Initialize3DEnvironment(), S_OK);
    SetTimerClockSource(&kStillClock);
    ResetFrameTiming();
    AppClock::Start();
    for (int step : {10, 0, 0, 10})
    {
        StillClock::counter += step;
        EXPECT_EQ(m_App.Render3DEnvironment(), S_OK);
    }
    EXPECT_EQ(m_App.renders, 2);
    EXPECT_EQ(m_App.m_dwFrameCount, 2u);
    SetTimerClockSource(nullptr);
    ResetFrameTiming();
}

} // namespace
