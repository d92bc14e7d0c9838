// The user's settings and what the application chooses from them: display
// mode, aspect, text scale, texture size and filtering, language.
#include <cstdio>

#include "Log.h"
#include "OpenAutomate.h"
#include "RenderStateManager.h"
#include "ScreensaverApp.h"
#include "ScreensaverInternal.h"
#include "ScreensaverRules.h"

void CScreensaverApp::SetDefaultSettings()
{
    static const struct
    {
        const char* name;
        int value;
    } kDefaults[] = {
        {"ShowBlackScreens", 1},        {"ShowFPS", 0},
        {"GammaControl", 50},           {"DisableOnMouseActivate", 1},
        {"SoundsVolumePercentage", 100}, {"MusicVolumePercentage", 100},
        {"DisableSound", 0},            {"DisableMusic", 0},
        {"MonitorAspectRatio", 4},      {"WidescreenMode", 0},
    };
    for (const auto& d : kDefaults)
        SetSettingInt(d.name, d.value);
}

void CScreensaverApp::ReadSettings()
{
    g_Log.Printf("Reading m_Settings\n");
    SetDefaultSettings();
    if (!m_Settings.LoadFromRegistry(HKEY_LOCAL_MACHINE, GetSettingsKey().c_str()))
        g_Log.Printf("Warning: Can't load m_Settings!\n");
}

HRESULT CScreensaverApp::OneTimeSceneInit()
{
    ReadSettings();
    ApplyDesktopResolution();
    if (GetSettingInt("ModeWidth") <= 0 || GetSettingInt("ModeHeight") <= 0)
    {
        // Nothing chosen yet (the settings dialog was never confirmed): the
        // desktop's mode rather than the smallest mode the adapter offers.
        g_Log.Printf("No video mode in the settings, using the desktop's\n");
        StoreDesktopMode();
    }
    m_bWindowed = FALSE;
    if (m_pBenchmark)
        ApplyBenchmarkOptions();
    if (m_bWallpaperMode && m_bWallpaperRunning)
        m_bWindowed = TRUE;

    m_dwAdapter = 0;
    AdapterInfo& adapter = m_Adapters[m_dwChosenMonitor];
    adapter.dwCurrentDevice = 0;
    const D3DDISPLAYMODE wanted = {DWORD(GetSettingInt("ModeWidth")), DWORD(GetSettingInt("ModeHeight")), 0,
                                   D3DFORMAT(GetSettingInt("ModeFormat"))};
    adapter.devices[0].dwCurrentMode = FindModeIndex(m_dwChosenMonitor, wanted);

    const char* format = GetFormatName(wanted.Format);
    g_Log.Printf(GetSettingInt("UseDesktopRes") ? "Setting desktop resolution: %ux%ux%s\n"
                                                 : "Setting video mode: %ux%ux%s\n",
                 unsigned(wanted.Width), unsigned(wanted.Height), format);
    g_Log.Printf("Supported texture formats for %s:\n", format);
    LogTextureFormats(wanted.Format, 0);
    g_Log.Printf("Supported depth/stencil buffer formats for %s:\n", format);
    LogDepthFormats(wanted.Format);
    g_Log.Printf("Supported render target texture formats for %s:\n", format);
    LogTextureFormats(wanted.Format, D3DUSAGE_RENDERTARGET);
    g_Log.Printf("\n");
    return S_OK;
}

void CScreensaverApp::ApplyDesktopResolution()
{
    if (GetSettingInt("UseDesktopRes") || (m_bWallpaperMode && m_bWallpaperRunning))
        StoreDesktopMode();
}

void CScreensaverApp::StoreDesktopMode()
{
    D3DDISPLAYMODE mode = {};
    if (!m_pD3D || FAILED(m_pD3D->GetAdapterDisplayMode(m_dwChosenMonitor, &mode)))
    {
        g_Log.Printf("Can't read the desktop mode of adapter %u\n", unsigned(m_dwChosenMonitor));
        return;
    }
    SetSettingInt("ModeWidth", int(mode.Width));
    SetSettingInt("ModeHeight", int(mode.Height));
    SetSettingInt("ModeFormat", int(mode.Format));
}

void CScreensaverApp::ApplyBenchmarkOptions()
{
    COpenAutomateOptions& options = COpenAutomateOptions::Instance();
    const std::string resolution = options.GetValue("User/Resolution");
    int width = 0, height = 0;
    if (std::sscanf(resolution.c_str(), "%dx%d", &width, &height) == 2)
    {
        SetSettingInt("ModeWidth", width);
        SetSettingInt("ModeHeight", height);
    }
    else
        // The mode values stay as they were.
        g_Log.Printf("ERROR: Can't get resolutions from option string \"%s\"", resolution.c_str());
    SetSettingInt("ModeFormat", D3DFMT_X8R8G8B8);
    SetSettingInt("DisableSound", options.GetBool("User/DisableSound") ? 1 : 0);
    SetSettingInt("DisableMusic", options.GetBool("User/DisableMusic") ? 1 : 0);
    SetSettingInt("HighQualityTextures", options.GetBool("User/HighQualityTextures") ? 1 : 0);
}

float CScreensaverApp::GetAspectRatio()
{
    const int setting = GetSettingInt("MonitorAspectRatio");
    unsigned width = 0, height = 0;
    if (unsigned(setting) == 4)
    {
        int monitor = GetSettingInt("CurMonitor");
        if (monitor < 0 || DWORD(monitor) >= m_dwNumAdapters)
        {
            g_Log.Printf("Monitor %d has no adapter, using the desktop of adapter %u\n", monitor,
                         unsigned(m_dwChosenMonitor));
            monitor = int(m_dwChosenMonitor < m_dwNumAdapters ? m_dwChosenMonitor : 0);
        }
        width = m_Adapters[monitor].d3ddmDesktop.Width;
        height = m_Adapters[monitor].d3ddmDesktop.Height;
    }
    bool invalid = false;
    const float aspect = ScreensaverRules::AspectRatio(unsigned(setting), width, height, m_fCameraAspect, &invalid);
    if (invalid)
        g_Log.Printf("Invalid aspect ratio detected: %f\n", height ? double(width) / double(height) : 0.0);
    return aspect;
}

float CScreensaverApp::GetTextScale()
{
    return ScreensaverRules::TextScaleFactor(m_d3dsdBackBuffer.Width, m_TextScaleFactors);
}

void CScreensaverApp::ModifyTextureSize(uint32_t* width, uint32_t* height)
{
    unsigned w = *width, h = *height;
    ScreensaverRules::ModifyTextureSize(m_iHighQualityTextures, &w, &h);
    *width = w;
    *height = h;
}

void CScreensaverApp::ApplyTextureFiltering()
{
    RenderStateManager& rsm = RenderStateManager::Instance();
    const DWORD caps = m_d3dCaps.TextureFilterCaps;
    const D3DADAPTER_IDENTIFIER8& id = m_Adapters[0].d3dAdapterIdentifier;
    const bool anisotropyAllowed = id.VendorId != 0x1002 && GetSettingInt("DisableAnisotropicFiltering") == 0;

    auto choose = [&](DWORD aniso, DWORD linear, DWORD point) -> DWORD {
        if (anisotropyAllowed && (caps & aniso))
            return D3DTEXF_ANISOTROPIC;
        if (caps & linear)
            return D3DTEXF_LINEAR;
        if (caps & point)
            return D3DTEXF_POINT;
        return 0;
    };
    const DWORD mag = choose(D3DPTFILTERCAPS_MAGFANISOTROPIC, D3DPTFILTERCAPS_MAGFLINEAR, D3DPTFILTERCAPS_MAGFPOINT);
    const DWORD min = choose(D3DPTFILTERCAPS_MINFANISOTROPIC, D3DPTFILTERCAPS_MINFLINEAR, D3DPTFILTERCAPS_MINFPOINT);
    DWORD mip = 0;
    if (m_d3dCaps.TextureCaps & D3DPTEXTURECAPS_MIPMAP)
    {
        static const DWORD kNoLinearMip[] = {0x0020, 0x0028, 0x0029, 0x002C, 0x002D, 0x00A0};
        bool linearAllowed = true;
        for (DWORD device : kNoLinearMip)
            if (id.DeviceId == device)
                linearAllowed = false;
        if (linearAllowed && (caps & D3DPTFILTERCAPS_MIPFLINEAR))
            mip = D3DTEXF_LINEAR;
        else if (caps & D3DPTFILTERCAPS_MIPFPOINT)
            mip = D3DTEXF_POINT;
    }
    for (DWORD stage = 0; stage < 4; ++stage)
    {
        if (mag)
            rsm.SetTextureStageState(stage, D3DTSS_MAGFILTER, mag);
        if (min)
            rsm.SetTextureStageState(stage, D3DTSS_MINFILTER, min);
        if (mip)
            rsm.SetTextureStageState(stage, D3DTSS_MIPFILTER, mip);
    }

    static const struct
    {
        D3DRENDERSTATETYPE state;
        DWORD value;
    } kStates[] = {
        {D3DRS_NORMALIZENORMALS, TRUE},   {D3DRS_DITHERENABLE, FALSE},      {D3DRS_SPECULARENABLE, FALSE},
        {D3DRS_ZENABLE, TRUE},            {D3DRS_LIGHTING, TRUE},           {D3DRS_SHADEMODE, D3DSHADE_GOURAUD},
        {D3DRS_ALPHABLENDENABLE, TRUE},   {D3DRS_SRCBLEND, D3DBLEND_SRCALPHA}, {D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA},
        {D3DRS_FOGENABLE, FALSE},         {D3DRS_CLIPPING, TRUE},           {D3DRS_ALPHATESTENABLE, TRUE},
        {D3DRS_ALPHAFUNC, D3DCMP_GREATER}, {D3DRS_ALPHAREF, 0},
    };
    for (const auto& s : kStates)
        rsm.SetRenderState(s.state, s.value);

    const float mips = *m_Tuning.GetValue("MipMapNumber");
    const uint32_t levels = mips > 0.0f ? uint32_t(mips) : 0u;
    g_MipLevelsA = g_MipLevelsB = g_MipLevelsC = levels;
}

std::string CScreensaverApp::GetLanguage()
{
    std::string text;
    if (FAILED(ReadRegistryString(HKEY_LOCAL_MACHINE, GetSettingsKey().c_str(), "Language", text, true)))
        text.clear();
    return ScreensaverRules::LanguageFromRegistry(text);
}

const char* CScreensaverApp::Translate(const char* text)
{
    if (!text)
        return "";
    LanguageTable& table = ScreensaverInternal::Languages();
    if (!m_bLanguageSelected)
    {
        m_bLanguageSelected = true;
        table.SelectLanguage(GetLanguage());
        table.SelectTextBlock("Screensaver");
    }
    // A text once handed out stays where it is for the caller.
    auto found = m_Translations.find(text);
    if (found == m_Translations.end())
        found = m_Translations.emplace(text, table.Translate(text)).first;
    return found->second.c_str();
}
