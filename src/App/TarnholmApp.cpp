// The program's entry, the scene application object, its settings and
// graphics quality, the hotkey toggles and the tuning change handler.
#include "TarnholmApp.h"

#include <boost/bind/bind.hpp>

#include "GeomObject.h"
#include "Log.h"
#include "OpenAutomate.h"
#include "Scene.h"

CTarnholmApp::CTarnholmApp()
{
    m_strName = "Tarnholm";
    m_strTitle = m_strName + " 3D Screensaver";
    m_dwMinStencilBits = 2;
}

CTarnholmApp::~CTarnholmApp() = default;

unsigned CTarnholmApp::GetAdapterVendor() const
{
    return m_dwNumAdapters ? unsigned(m_Adapters[0].d3dAdapterIdentifier.VendorId) : 0u;
}

int CTarnholmApp::GetPixelShaderVersion() const
{
    const DWORD version = m_d3dCaps.PixelShaderVersion;
    return int((version >> 8) & 0xFF) * 10 + int(version & 0xFF);
}

void CTarnholmApp::SetDefaultSettings()
{
    CScreensaverApp::SetDefaultSettings();
    // Before the adapters are enumerated every fact reads 0, which gives
    // quality 0 at 800 x 600; the second reading after enumeration counts.
    const unsigned memoryMB = unsigned(GetTotalVideoMemory() >> 20);
    const SceneGraphicsDefaults d = ChooseSceneGraphicsDefaults(GetAdapterVendor(), GetPixelShaderVersion(), memoryMB);
    SetSettingInt("GraphicsQuality", d.graphicsQuality);
    SetSettingInt("UseDesktopRes", d.useDesktopRes);
    SetSettingInt("ModeWidth", d.modeWidth);
    SetSettingInt("ModeHeight", d.modeHeight);
    SetSettingInt("ModeFormat", d.modeFormat);
    SetSettingInt("MusicVolumePercentage", 50);
    SetSettingInt("SoundsVolumePercentage", 100);
    SetSettingInt("EnableOldMovieEffect", 0);
    SetSettingInt("ShowClock", 1);
}

void CTarnholmApp::SetQualityFlags()
{
    int quality = GetSettingInt("GraphicsQuality");
    if (quality < 0 || quality > 4)
    {
        const int used = quality < 0 ? 0 : 4;
        g_Log.Printf("Setting \"GraphicsQuality\" %d is out of range 0 to 4; %d is used\n", quality, used);
        quality = used;
    }
    const SceneQualityFlags q =
        DeriveSceneQualityFlags(quality, GetPixelShaderVersion(), int(m_d3dsdBackBuffer.Format));
    bool highQualityTextures = q.highQualityTextures;
    m_bEnableShaders = q.enableShaders;
    m_bEnableStencilShadows = q.enableStencilShadows;
    m_bEnableProjectionShadows = q.enableProjectionShadows;
    m_bEnableLeaves = q.enableLeaves;
    m_nGrassQuality = q.grassQuality;
    m_nSmokeQuality = q.smokeQuality;
    if (m_pBenchmark && m_pBenchmark->IsBenchmarkRun())
    {
        COpenAutomateOptions& o = *m_pBenchmark;
        highQualityTextures = o.GetBool("User/HighQualityTextures");
        m_bEnableShaders = o.GetBool("EnableShaders");
        m_bEnableStencilShadows = o.GetBool("EnableStencilShadows");
        m_bEnableProjectionShadows = o.GetBool("EnableProjectionShadows");
        m_bEnableLeaves = o.GetBool("EnableLeaves");
        m_nSmokeQuality = o.GetInt("SmokeQuality");
        m_nGrassQuality = o.GetInt("GrassQuality");
    }
    m_iHighQualityTextures = highQualityTextures ? 1 : 0;
}

void CTarnholmApp::RegisterBenchmarkOptions(COpenAutomateOptions& options)
{
    options.SetBenchmarkLength(1000);
    for (const char* name : {"EnableShaders", "EnableStencilShadows", "EnableProjectionShadows", "EnableLeaves"})
    {
        TBenchmarkOption option;
        option.Type = BENCHMARK_TYPE_BOOL;
        option.Name = name;
        option.Value = TBenchmarkValueData::FromBool(true);
        options.AddOption(option);
    }
    const struct
    {
        const char* name;
        int value, steps;
    } integers[] = {{"SmokeQuality", 3, 3}, {"GrassQuality", 2, 2}};
    for (const auto& i : integers)
    {
        TBenchmarkOption option;
        option.Type = BENCHMARK_TYPE_INT;
        option.Name = i.name;
        option.Value = TBenchmarkValueData::FromInt(i.value);
        option.Min = TBenchmarkValueData::FromInt(0);
        option.Max = TBenchmarkValueData::FromInt(i.value);
        option.NumSteps = i.steps;
        options.AddOption(option);
    }
}

bool CTarnholmApp::ToggleClock(intptr_t)
{
    SetSettingInt("ShowClock", GetSettingInt("ShowClock") == 0 ? 1 : 0);
    m_bClockToggled = true;
    return true;
}

bool CTarnholmApp::ToggleOldMovieEffect(intptr_t)
{
    const int on = GetSettingInt("EnableOldMovieEffect") == 0 ? 1 : 0;
    SetSettingInt("EnableOldMovieEffect", on);
    *GetTuning().GetValueOr("OldMoviePostEffect.Enable", 0) = float(on);
    ReadOldMovieSettings();
    m_bOldMovieToggled = true;
    return true;
}

void CTarnholmApp::SaveToggledSettings()
{
    // Every device resource of the scene parts goes here, while the device
    // still stands: released later, at the process's end, Wine's Direct3D
    // can wait forever for its command thread.
    FreeSmoke();
    m_pGrass.reset();
    m_pLeaves.reset();
    m_pStencilShadow.reset();
    m_pProjectionShadowBlur.reset();
    m_pProjectionShadowTexture = nullptr;
    m_ShadowMaskTarget.ReleaseSurfaces();
    m_ProjectionShadowTarget.ReleaseSurfaces();
    RenderToTexture::ReleaseDepthBufferCache();
    m_OldMovie.RestoreGamma(m_pd3dDevice);
    m_OldMovie.ReleaseTextures();
    m_pEnvironmentTexture.Reset();
    m_pSpecularTexture.Reset();
    m_pLocoScene.reset();
    m_pClockScene.reset();
    m_bClockHandsFound = false;
    m_LocoObjects.clear();
    m_LInscriptionObjects.clear();
    m_AInscriptionObjects.clear();
    m_LocoShadowObjects.clear();
    m_TrainObjects.clear();
    if (m_bOldMovieToggled)
        WriteToggledSetting("EnableOldMovieEffect", GetSettingInt("EnableOldMovieEffect") != 0);
    if (m_bClockToggled)
        WriteToggledSetting("ShowClock", GetSettingInt("ShowClock") != 0);
}

namespace
{
void SetLabelFlags(Scene* scene, bool on)
{
    if (!scene)
        return;
    const ObjectMask mask = scene->FindObjects(".*");
    for (ObjectMaskIterator it = mask.BeginGeom(); !it.AtEnd(); ObjectMask::NextGeom(it))
    {
        GeomObject* object = static_cast<GeomObject*>(it.GetObject());
        on ? object->SetInformationFlags(9) : object->ClearInformationFlags(9);
    }
}
} // namespace

void CTarnholmApp::OnTuningChanged(const std::string& path)
{
    TuningControl::CManager& tuning = GetTuning();
    switch (RouteTuningChange(path.c_str()))
    {
    case TUNING_LABELS:
    {
        const bool on = *tuning.GetValueOr("Debug.DrawLabels", 0) > 0;
        SetLabelFlags(m_pMainScene.get(), on);
        SetLabelFlags(m_pLocoScene.get(), on);
        break;
    }
    case TUNING_CAMERA_DIRECTOR:
        ReloadCameraDirector();
        break;
    case TUNING_OLD_MOVIE:
        ReadOldMovieSettings();
        break;
    case TUNING_OCCLUSION:
        ApplyOcclusionSettings();
        break;
    case TUNING_LOD:
        ApplyLODSettings();
        break;
    case TUNING_SPECULAR_POWER:
        ApplySpecularPower();
        break;
    case TUNING_TRAIN:
        ApplyTrainTuning();
        break;
    case TUNING_SHADOW_MASK:
        SetShadowColorVariables();
        break;
    case TUNING_GRASS:
        ApplyGrassTuning();
        break;
    case TUNING_GRASS_GENERATION:
        ApplyGrassTuning();
        RecreateGrass();
        break;
    case TUNING_LEAVES:
        ApplyLeavesTuning();
        break;
    case TUNING_FOG:
        // The grass and leaves shaders carry the fog values.
        ApplyLeavesTuning();
        ApplyGrassTuning();
        break;
    case TUNING_SMOKE:
        // Smoke that was not set up at the start (quality 0) stays off.
        if (!m_pSmoke)
        {
            g_Log.Printf("Smoke was not set up at this quality; \"%s\" changes nothing\n", path.c_str());
            break;
        }
        m_nSmokeQuality = int(*tuning.GetValueOr("Smoke01.SettingsLevel", 2)) + 1;
        SelectSmokeOptions();
        break;
    default:
        // Values read every frame need nothing here.
        break;
    }
}

int RunApplication(HINSTANCE instance)
{
    COpenAutomateOptions& options = COpenAutomateOptions::Instance();
    CTarnholmApp app;
    int result = 1;
    if (!options.IsBenchmarkRun())
    {
        if (SUCCEEDED(app.Create(instance)))
            result = app.Run();
        app.ReleaseDevice();
        return result;
    }
    try
    {
        if (SUCCEEDED(app.Create(instance)))
            result = app.Run();
        app.ReleaseDevice();
    }
    catch (...)
    {
        g_Log.Printf("ERROR: UNHANDLED EXCEPTION!\n");
        result = 1;
    }
    return result;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    COpenAutomateOptions& options = COpenAutomateOptions::Instance();
    CTarnholmApp::RegisterBenchmarkOptions(options);
    options.Run(boost::bind(&RunApplication, instance));
    g_Log.Close();
    return 0;
}
