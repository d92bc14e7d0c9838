// The screensaver application's input rules, hotkeys, help list, screen
// messages and loading-screen redraws, on a window of its own and a device
// that only counts what it is asked to do.
#include <gtest/gtest.h>

#include <windows.h>

#include "NullDevice8.h"
#include "ScreensaverApp.h"
#include "Timer.h"

namespace
{
class CountingDevice : public NullDevice8
{
public:
    HRESULT STDMETHODCALLTYPE Present(const RECT*, const RECT*, HWND, const RGNDATA*) override
    {
        ++m_Presents;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE BeginScene() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE EndScene() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Clear(DWORD, const D3DRECT*, DWORD, D3DCOLOR, float, DWORD) override { return S_OK; }
    int m_Presents = 0;
};

class TestSaver : public CScreensaverApp
{
public:
    using CD3DApplication::m_bReady;
    using CD3DApplication::m_bWallpaperMode;
    using CD3DApplication::m_bWallpaperRunning;
    using CD3DApplication::m_d3dsdBackBuffer;
    using CD3DApplication::m_hWnd;
    using CD3DApplication::m_pd3dDevice;
    using CScreensaverApp::m_bFirstFrameDrawn;
    using CScreensaverApp::m_Hotkeys;
    using CScreensaverApp::m_iShowFPS;
    using CScreensaverApp::m_bFPSToggled;
    using CScreensaverApp::m_LoadingExpected;
    using CScreensaverApp::RegisterBuiltInHotkeys;

    void StartLoading(unsigned expected)
    {
        m_LoadingExpected = expected;
        m_LoadingDone = 0;
        m_LastPercentShown = 255;
    }

    void LoadScene() override {}
    void SaveToggledSettings() override {}
    void RenderFrame() override {}
};

// Takes a WM_CLOSE that the application posted to its window.
bool TakeClose(HWND window)
{
    MSG msg;
    bool closed = false;
    while (PeekMessageA(&msg, window, WM_CLOSE, WM_CLOSE, PM_REMOVE))
        closed = true;
    return closed;
}

void SetCtrl(bool held)
{
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_CONTROL] = keys[VK_LCONTROL] = held ? 0x80 : 0;
    SetKeyboardState(keys);
}

class ScreensaverAppTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        UseDebugTimer(); // a fixed 0.01 s a tick, advanced by the test
        WNDCLASSA wc = {};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "ScreensaverAppTest";
        RegisterClassA(&wc);
        m_Window = CreateWindowA("ScreensaverAppTest", "test", WS_OVERLAPPED, 0, 0, 64, 64, nullptr, nullptr,
                                 wc.hInstance, nullptr);
        ASSERT_TRUE(m_Window);
        m_pApp.reset(new TestSaver);
        m_pApp->m_hWnd = m_Window;
        m_pApp->m_bReady = TRUE;
        m_pApp->SetDefaultSettings();
        m_pApp->RegisterBuiltInHotkeys();
        SetCtrl(false);
    }
    void TearDown() override
    {
        SetCtrl(false);
        m_pApp.reset();
        DestroyWindow(m_Window);
    }
    void Tick(int frames)
    {
        for (int i = 0; i < frames; ++i)
            GetGlobalTimer()->Update();
    }

    HWND m_Window = nullptr;
    std::unique_ptr<TestSaver> m_pApp;
};

TEST_F(ScreensaverAppTest, CloseRules)
{
    struct Case
    {
        const char* name;
        UINT msg;
        WPARAM wParam;
        bool firstFrame, ctrl, wallpaper;
        bool closes, fpsToggled;
    } cases[] = {
        {"key before the first frame", WM_KEYDOWN, 'A', false, false, false, false, false},
        {"key", WM_KEYDOWN, 'A', true, false, false, true, false},
        {"left button", WM_LBUTTONDOWN, MK_LBUTTON, true, false, false, true, false},
        {"right button", WM_RBUTTONDOWN, MK_RBUTTON, true, false, false, true, false},
        {"PrintScreen", WM_KEYDOWN, VK_SNAPSHOT, true, false, false, false, false},
        {"Ctrl+PrintScreen", WM_KEYDOWN, VK_SNAPSHOT, true, true, false, false, false},
        {"F toggles the frame rate", WM_KEYDOWN, 'F', true, false, false, false, true},
        {"F before the first frame", WM_KEYDOWN, 'F', false, false, false, false, true},
        {"Ctrl+F closes", WM_KEYDOWN, 'F', true, true, false, true, false},
        {"Ctrl+click closes", WM_LBUTTONDOWN, MK_LBUTTON | MK_CONTROL, true, true, false, true, false},
        {"F1 shows the help", WM_KEYDOWN, VK_F1, true, false, false, false, false},
        {"key with the wallpaper running", WM_KEYDOWN, 'A', true, false, true, false, false},
        {"deactivated", WM_ACTIVATEAPP, 0, true, false, false, true, false},
        {"deactivated before the first frame", WM_ACTIVATEAPP, 0, false, false, false, true, false},
        {"activated", WM_ACTIVATEAPP, 1, true, false, false, false, false},
    };
    for (const Case& c : cases)
    {
        TestSaver& app = *m_pApp;
        app.m_bReady = TRUE;
        app.m_bFirstFrameDrawn = c.firstFrame;
        app.m_bFPSToggled = false;
        app.m_bWallpaperMode = c.wallpaper;
        app.m_bWallpaperRunning = c.wallpaper;
        const int fps = app.m_iShowFPS;
        SetCtrl(c.ctrl);
        app.MsgProc(m_Window, c.msg, c.wParam, MAKELPARAM(10, 10));
        SetCtrl(false);
        EXPECT_EQ(c.closes, TakeClose(m_Window)) << c.name;
        EXPECT_EQ(c.closes, !app.m_bReady) << c.name;
        EXPECT_EQ(c.fpsToggled, app.m_bFPSToggled) << c.name;
        EXPECT_EQ(c.fpsToggled, app.m_iShowFPS != fps) << c.name;
    }
    m_pApp->m_bWallpaperMode = m_pApp->m_bWallpaperRunning = false;
}

TEST_F(ScreensaverAppTest, SystemCommandsAreSwallowed)
{
    EXPECT_EQ(0, m_pApp->MsgProc(m_Window, WM_SYSCOMMAND, SC_SCREENSAVE, 0));
    EXPECT_EQ(0, m_pApp->MsgProc(m_Window, WM_SYSCOMMAND, SC_CLOSE, 0));
    EXPECT_FALSE(TakeClose(m_Window));
}

TEST_F(ScreensaverAppTest, MouseMoves)
{
    TestSaver& app = *m_pApp;
    app.m_bFirstFrameDrawn = false;
    app.MsgProc(m_Window, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    EXPECT_FALSE(TakeClose(m_Window)) << "before the first frame";

    app.m_bFirstFrameDrawn = true;
    // "DisableOnMouseActivate" 1 (the default): moves never close.
    app.MsgProc(m_Window, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
    app.MsgProc(m_Window, WM_MOUSEMOVE, 0, MAKELPARAM(300, 200));
    EXPECT_FALSE(TakeClose(m_Window)) << "disabled";

    app.SetSettingInt("DisableOnMouseActivate", 0);
    app.MsgProc(m_Window, WM_MOUSEMOVE, 0, MAKELPARAM(40, 30));
    EXPECT_FALSE(TakeClose(m_Window)) << "the first move records the place";
    app.MsgProc(m_Window, WM_MOUSEMOVE, 0, MAKELPARAM(40, 30));
    EXPECT_FALSE(TakeClose(m_Window)) << "same place";
    app.MsgProc(m_Window, WM_MOUSEMOVE, 0, MAKELPARAM(41, 30));
    EXPECT_TRUE(TakeClose(m_Window)) << "one pixel on";
}

TEST_F(ScreensaverAppTest, WidescreenHotkeyYieldsToTheTuningConsole)
{
    TestSaver& app = *m_pApp;
    *app.GetTuning().GetValue("EnableControl") = 1.0f;
    EXPECT_FALSE(app.OnHotkey('W'));
    *app.GetTuning().GetValue("EnableControl") = 0.0f;
    EXPECT_TRUE(app.OnHotkey('W'));
    EXPECT_FALSE(app.OnHotkey('Q'));
    EXPECT_TRUE(app.OnHotkey(VK_F9));
}

TEST_F(ScreensaverAppTest, HelpListTiming)
{
    TestSaver& app = *m_pApp;
    ScreenMessageList& list = ScreenMessageList::Instance();
    const size_t before = list.GetCount();
    size_t listed = 0;
    for (const HotkeyBinding& h : app.m_Hotkeys)
        if (!h.m_KeyName.empty() && !h.m_HelpText.empty())
            ++listed;
    ASSERT_GE(listed, 4u);

    const float now = list.GetTime();
    app.ShowHotkeyHelp();
    ASSERT_EQ(before + 2 * listed, list.GetCount());
    for (size_t line = 0; line < listed; ++line)
    {
        EXPECT_NEAR(now + 0.1f * line, list.GetStart(before + 2 * line), 1e-4f) << line;
        EXPECT_NEAR(now + 0.1f * line, list.GetStart(before + 2 * line + 1), 1e-4f) << line;
    }

    // A second press while the list appears does nothing.
    Tick(10);
    app.ShowHotkeyHelp();
    EXPECT_EQ(before + 2 * listed, list.GetCount());
    EXPECT_NEAR(now, list.GetStart(before), 1e-4f);

    // A press while it shows moves it to its fade-out.
    Tick(140); // 1.5 s after the first press
    app.ShowHotkeyHelp();
    const float totalDelay = 0.1f * listed, lastDuration = 7.0f - 0.25f * listed;
    const float shift = lastDuration - (1.5f - (0.25f + totalDelay)) - 0.25f;
    EXPECT_NEAR(now - shift, list.GetStart(before), 1e-3f);

    // Once faded, a new press lists anew.
    Tick(800);
    TextBatch batch;
    list.Draw(batch);
    EXPECT_EQ(0u, list.GetCount());
    app.ShowHotkeyHelp();
    EXPECT_EQ(2 * listed, list.GetCount());
}

TEST_F(ScreensaverAppTest, ScreenMessagesFadeAndExpire)
{
    ScreenMessageList& list = ScreenMessageList::Instance();
    TextBatch batch;
    list.Draw(batch);
    ASSERT_EQ(0u, list.GetCount());
    list.Add(1.0f, 0.0f, 0.3f, "a", 0, 0, 1, 1, 1, 1.0f);
    list.Add(1.0f, 0.0f, 0.3f, "b", 0, 0, 1, 1, 1, 1.0f);
    list.Add(1.0f, 5.0f, 1.0f, "later", 0, 0, 1, 1, 1, 1.0f);
    EXPECT_EQ(0, m_pApp->GetMessageAlpha());
    Tick(15);
    list.Draw(batch);
    EXPECT_NEAR(int(0.36f * 255), m_pApp->GetMessageAlpha(), 1); // both fades at once
    Tick(16);
    list.Draw(batch);
    EXPECT_EQ(1u, list.GetCount()) << "both expired in the same frame; the later one waits";
}

TEST_F(ScreensaverAppTest, LoadingScreenRedrawsOnWholePercentages)
{
    struct Case
    {
        unsigned expected, steps;
        int presents;
    } cases[] = {
        {0, 5, 1},     // no count set: drawn once at 0 per cent
        {200, 200, 101}, // 0..100
        {3, 3, 3},     // 33, 66, 100
        {2, 5, 2},     // 50, 100; above 100 never drawn
    };
    for (const Case& c : cases)
    {
        // One application per process, as in the program: a fresh count each case.
        TestSaver& app = *m_pApp;
        CountingDevice device;
        app.m_pd3dDevice = ComRef<IDirect3DDevice8>::Share(&device);
        app.m_d3dsdBackBuffer.Width = 640;
        app.m_d3dsdBackBuffer.Height = 480;
        app.StartLoading(c.expected);
        for (unsigned i = 0; i < c.steps; ++i)
            app.ShowLoadingProgress(1);
        EXPECT_EQ(c.presents, device.m_Presents) << c.expected << " " << c.steps;
        app.m_pd3dDevice.Reset();
    }
}

TEST_F(ScreensaverAppTest, SettingsDefaultsAndTextureSize)
{
    TestSaver& app = *m_pApp;
    EXPECT_EQ(1, app.GetSettingInt("ShowBlackScreens"));
    EXPECT_EQ(50, app.GetSettingInt("GammaControl"));
    EXPECT_EQ(4, app.GetSettingInt("MonitorAspectRatio"));
    EXPECT_EQ(100, app.GetSettingInt("SoundsVolumePercentage"));
    EXPECT_EQ(0, app.GetSettingInt("NoSuchValue"));
    uint32_t w = 256, h = 128;
    Map::CTextureSizeModifier& modifier = app;
    modifier.ModifySize("x", &w, &h); // high-quality textures until the device objects say otherwise
    EXPECT_EQ(256u, w);
    EXPECT_EQ(128u, h);
}

TEST_F(ScreensaverAppTest, HooksAreClearedWithTheApplication)
{
    Map::SetTextureSizeModifier(m_pApp.get());
    m_pApp.reset();
    EXPECT_EQ(nullptr, Map::GetTextureSizeModifier());
}
} // namespace
