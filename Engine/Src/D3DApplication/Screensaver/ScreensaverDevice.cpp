// What needs the device: display set-up, fonts, hotkeys, the scene's start,
// and the end of a run with its statistics and written-back settings.
#include <cstdio>

#include "D3DUtils.h"
#include "DebugDraw.h"
#include "Log.h"
#include "RenderStateManager.h"
#include "RenderToDesktop.h"
#include "ScreensaverApp.h"
#include "ScreensaverInternal.h"
#include "ScreensaverRules.h"

void CScreensaverApp::SetupDisplay()
{
    m_pd3dDevice->GetViewport(&m_FullViewport);
    m_LetterboxViewport = m_FullViewport;
    const float aspect = GetAspectRatio();
    const ScreensaverRules::Letterbox box =
        ScreensaverRules::LetterboxFor(m_FullViewport.Width, m_FullViewport.Height, aspect);
    m_LetterboxViewport.Y = m_FullViewport.Y + box.y;
    m_LetterboxViewport.Height = box.height;

    int monitor = GetSettingInt("CurMonitor");
    if (monitor < 0 || DWORD(monitor) >= m_dwNumAdapters)
        monitor = int(m_dwChosenMonitor < m_dwNumAdapters ? m_dwChosenMonitor : 0);
    const D3DDISPLAYMODE& desktop = m_Adapters[monitor].d3ddmDesktop;
    m_bWidescreenEmulation = ScreensaverRules::WidescreenEmulation(
        GetSettingInt("WidescreenMode"), GetSettingInt("MonitorAspectRatio"), desktop.Width, desktop.Height,
        m_bWallpaperMode);
    m_fCameraAspect = m_bWidescreenEmulation ? ScreensaverRules::kEmulatedAspect : aspect;
    if (ScreensaverRules::IsWideMonitor(aspect))
        m_bDisableW = true;
}

void CScreensaverApp::LoadFonts()
{
    bool loaded = false;
    if (GetLanguage() == "ru")
        loaded = m_Font.LoadFromResource("rusfont.fnt");
    else
    {
        if (FILE* file = std::fopen("newfont.fnt", "rb"))
        {
            loaded = m_Font.LoadFromFile(file);
            if (!loaded)
                g_Log.Printf("Font file \"newfont.fnt\" can't be read; the built-in font is used instead\n");
        }
        if (!loaded)
            loaded = m_Font.LoadFromResource("newfont.fnt");
    }
    if (!loaded)
        g_Log.Printf("Warning: Can't load the overlay font\n");
    m_fTextScale = ScreensaverRules::OverlayTextScale(m_d3dsdBackBuffer.Height, m_Font.GetLineHeight(),
                                                      GetTextScale());
    m_TextBatch.SetFont(&m_Font);
}

void CScreensaverApp::RegisterBuiltInHotkeys()
{
    const HotkeyHandler handler = [this](intptr_t key) { return OnHotkey(key); };
    auto add = [&](int key, const char* name, const char* help) {
        RegisterHotkey(key, WM_KEYDOWN, name, Translate(help), handler, key);
    };
    add(VK_F1, "F1", "- Help");
    if (!m_bDisableW)
        add('W', "W", "- Widescreen emulation");
    if (!m_bDisableF)
        add('F', "F", "- Show FPS");
    if (!m_bDisableM)
        add('M', "M", "- Mute");
    add('P', "P", "- Take a screenshot to My Pictures");
    std::string recording;
    if (SUCCEEDED(ReadRegistryString(HKEY_LOCAL_MACHINE, "Software\\Vellomaris", "EnableVideoRecording", recording,
                                     true)) &&
        recording == "1")
        add(VK_F9, "F9", "- Start/stop video recording");
}

HRESULT CScreensaverApp::InitDeviceObjects()
{
    m_Tuning.RegisterCallback3("Debug.Console.x", "Debug.Console.y", "Debug.Console.LineHeight",
                               [](float x, float y, float lineHeight) {
                                   DebugDraw::Instance().SetConsole(int(x), int(y), int(lineHeight));
                               });
    ScreensaverInternal::SetSoundHandler(this);

    SetupDisplay();
    LoadFonts();
    m_pStateCache = &RenderStateManager::Instance();

    bool clamped = false;
    const int gammaSetting = ScreensaverRules::ClampGammaSetting(GetSettingInt("GammaControl"), &clamped);
    if (clamped)
        g_Log.Printf("GammaControl %d is outside 0..100, using %d\n", GetSettingInt("GammaControl"), gammaSetting);
    m_fGamma = ScreensaverRules::GammaFromSetting(gammaSetting);
    if (ScreensaverRules::GammaRampNeeded(gammaSetting))
        SetGammaRamp(m_pd3dDevice, m_fGamma, m_fGamma > 1.0f ? GammaCurvePower : GammaCurveLinear);

    m_iHighQualityTextures = GetSettingInt("HighQualityTextures");
    Map::SetTextureSizeModifier(this);

    if (!m_bWallpaperMode && !m_bShowCursorWhenFullscreen && !m_bWindowed)
        SetCursor(nullptr);

    ApplyTextureFiltering();
    RegisterBuiltInHotkeys();

    if (m_bWallpaperMode && m_bWallpaperRunning && m_pRenderToDesktop && m_pRenderToDesktop->IsReady())
    {
        m_pRenderToDesktop->SetBackgroundWallpaper();
        ReadAutostart();
        m_TrayIcon.Add(m_hWnd, m_strWallpaperTitle);
    }

    LoadScene();

    if (m_bSoundSetupPending || m_bMusicSetupPending)
    {
        g_Log.Printf("Sound initialization...\n");
        InitSounds();
        g_Log.Printf("Sound initialization completed\n");
    }

    m_iShowFPS = (!m_bDisableF && GetSettingInt("ShowFPS") != 0) ? 1 : 0;
    if (m_LoadingDone != m_LoadingExpected)
        g_Log.Printf("Loading index: %u of %u (diff. %i)\n", m_LoadingDone, m_LoadingExpected,
                     int(m_LoadingDone - m_LoadingExpected));
    return S_OK;
}

void CScreensaverApp::ReportFrameRates()
{
    if (m_FramesCounted <= 0)
        return;
    const float elapsed = m_OverlayClock.GetTime() - m_fFPSStartTime;
    if (elapsed <= 0.0f)
        return;
    const float clock = m_pOwnClock ? m_pOwnClock->GetTime() : elapsed;
    const float span = clock - m_fFPSStartTime;
    const double average = span > 0.0f ? double(m_FramesCounted) / span : 0.0;
    g_Log.Printf("\n");
    g_Log.Printf("Average FPS: %.1f (lowest: %.1f, highest: %.1f)\n", average, double(m_fLowestFPS),
                 double(m_fHighestFPS));
    g_Log.Printf("\n");
}

void CScreensaverApp::WriteToggledSetting(const char* name, bool on)
{
    WriteRegistryString(HKEY_LOCAL_MACHINE, GetSettingsKey().c_str(), name, FormatString("2: %u", on ? 1u : 0u),
                        true);
}

void CScreensaverApp::ReleaseLogo()
{
    if (m_pLogo)
    {
        if (g_pLogoTexture == m_pLogo)
            g_pLogoTexture = nullptr;
        m_pLogo.Reset();
    }
}

HRESULT CScreensaverApp::DeleteDeviceObjects()
{
    StopMusic();
    ReportFrameRates();
    if (m_bFPSToggled)
        WriteToggledSetting("ShowFPS", m_iShowFPS != 0);
    if (m_bWidescreenToggled)
        WriteToggledSetting("WidescreenMode", m_bWidescreenEmulation);

    g_Log.Printf("Deleting resources...\n");
    SaveToggledSettings();
    g_Log.Printf("Delete m_pMainScene\n");
    m_pMainScene.reset();
    g_Log.Printf("Delete sounds\n");
    DeleteSounds();
    g_Log.Printf("Releasing DirectSound\n");
    ReleaseSoundDevice();
    ReleaseLogo();
    g_Log.Printf("Deleting resources completed\n");

    m_strWindowTitle = "";
    m_strCaption.clear();
    if (m_hMutex)
        CloseHandle(m_hMutex);
    m_hMutex = nullptr;
    return S_OK;
}
