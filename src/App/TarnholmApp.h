#pragma once
// The train screensaver: the scene application on the screensaver
// application. It loads the landscape, the locomotive and the clock, sets up
// the scene parts by object name, gives the train its sounds and draws one
// frame of the scene in a fixed order.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "AnimationCommands.h"
#include "BlurRender.h"
#include "ComRef.h"
#include "ObjectModifiers.h"
#include "RandomCameraController.h"
#include "RenderToTexture.h"
#include "SceneRules.h"
#include "ScreensaverApp.h"
#include "StencilShadow.h"
#include "TarnholmGrass.h"
#include "TarnholmOldMovie.h"
#include "Train.h"
#include "TarnholmGrass.h"

class Camera;
class COpenAutomateOptions;
class GeomObject;
class SoundObject;

// What the scene's sounds have started and counted, kept per application
// object: a second application in the process (a benchmark run) starts
// its sounds afresh.
struct SceneSoundState
{
    bool chuffStarted = false;
    bool locoStarted = false;
    bool musicStarted = false;
    bool baseTaken = false;
    DWORD baseFrequency = 0;
    CRailClackTimers clacks;
    float lastClackTime = -1.0f;
};

class CTarnholmApp : public CScreensaverApp
{
public:
    CTarnholmApp();
    ~CTarnholmApp() override;

    HRESULT UpdateFrame() override;
    // Every idle pass draws a frame: the scene keeps no frame limit of its own.
    bool CanRender() override { return true; }
    void LoadScene() override;
    void InitSounds() override;
    void SetDefaultSettings() override;
    void SaveToggledSettings() override;
    void RenderFrame() override;
    void OnChanged(const std::string& path, const float&) override { OnTuningChanged(path); }

    // Declares the scene's quality switches to the benchmark harness and
    // sets the benchmark length.
    static void RegisterBenchmarkOptions(COpenAutomateOptions& options);
    // "GraphicsQuality" (or the harness's options) into the quality flags.
    void SetQualityFlags();
    // Re-applies the scene group that a tuning value belongs to.
    void OnTuningChanged(const std::string& path);
    bool ToggleClock(intptr_t);
    bool ToggleOldMovieEffect(intptr_t);

    bool GetEnableShaders() const { return m_bEnableShaders; }
    bool GetEnableStencilShadows() const { return m_bEnableStencilShadows; }
    bool GetEnableProjectionShadows() const { return m_bEnableProjectionShadows; }
    bool GetEnableLeaves() const { return m_bEnableLeaves; }
    int GetSmokeQuality() const { return m_nSmokeQuality; }
    int GetGrassQuality() const { return m_nGrassQuality; }

protected:
    // Adapter facts of the framework: vendor id, pixel shader version as
    // 10 x major + minor, video memory in megabytes.
    unsigned GetAdapterVendor() const;
    int GetPixelShaderVersion() const;

    // Loading steps.
    void InitLocoObjects();
    void InitZFightingObjects();
    void InitSkyBox();
    void InitPaintPlanes();
    void InitClockScene();
    void SetCameraAspects(Scene* scene);

    // Frame passes.
    void ChooseCamera();
    void RenderSkyBox();
    void RenderZBiasedObjects();
    void RenderOldTrees();
    void RenderLocomotive();
    void PlaceSunLight();
    void RenderClock();
    void UpdateClockHands();
    void UpdateSounds();

    std::vector<GeomObject*> m_LocoObjects;
    std::vector<GeomObject*> m_LInscriptionObjects;
    std::vector<GeomObject*> m_AInscriptionObjects;
    std::vector<GeomObject*> m_LocoShadowObjects;
    std::vector<GeomObject*> m_TrainObjects;
    std::vector<GeomObject*> m_RailsObjects;
    std::vector<GeomObject*> m_OldTrees;
    std::vector<std::pair<GeomObject*, int>> m_ZBiasedObjects;
    GeomObject* m_pSkyObject = nullptr;
    std::unique_ptr<Scene> m_pLocoScene;
    std::unique_ptr<Scene> m_pClockScene;
    D3DXVECTOR3 m_LightDirection = D3DXVECTOR3(0, 0, -1);

    SoundObject* m_pChuffSound = nullptr;
    SoundObject* m_pSteamSound = nullptr;
    SoundObject* m_pRailsSounds[5] = {};
    SoundObject* m_pLocoSound = nullptr;
    // The dummy each sound stands at, in the order chuff, steam, rails 1-5,
    // loco.
    Object* m_SoundDummies[8] = {};
    SceneSoundState m_SoundState;

    bool m_bOldMovieToggled = false;
    bool m_bClockToggled = false;
    bool m_bEnableShaders = true;
    bool m_bEnableStencilShadows = true;
    bool m_bEnableProjectionShadows = true;
    bool m_bEnableLeaves = true;
    int m_nSmokeQuality = 3;
    int m_nGrassQuality = 2;

    // The clock hands' state, made on the first draw of a loaded clock.
    struct ClockHand
    {
        Object* object = nullptr;
        D3DXMATRIX rest;
    };
    ClockHand m_ClockHands[6];
    bool m_bClockHandsFound = false;
    float m_ClockBase = 0, m_ClockStart = 0;
    int m_ClockSecond = -1;
    bool m_bClockSynchronised = false;

    // Scene dressing by object name: the locomotive's metal maps, the levels
    // of detail, the fan, the specular powers, occlusion.
    void InitObjects();
    void DisableBump();
    void InitLODModifiers();
    void ApplyLODSettings();
    void InitFan();
    void InitSpecularPower(GeomObject* object);
    void ApplySpecularPower();
    void ApplyOcclusionSettings();
    ComRef<IDirect3DTexture8> m_pEnvironmentTexture;
    ComRef<IDirect3DTexture8> m_pSpecularTexture;
    std::unique_ptr<CLODModifier> m_pLODModifiers[LOD_GROUP_COUNT];
    std::unique_ptr<CRotationModifier> m_pFanModifier;
public:
    // The train and its crew: the cars moved along the track, the driver's
    // animation script and the whistle.
    void InitAnimation();
    void InitTrain();
    void UpdateTrain();
    void StepCrew();
    void ApplyTrainTuning();
    void OnWhistleFrame();
    Train* GetTrain() const { return m_pTrain.get(); }
    ObjectAnimationScript* GetCrewScript() const { return m_pCrewScript.get(); }

protected:
    void CopyTrainMaterials();
    void ReadDarkeningZones();
    void ApplyWagonSway(bool add);

    std::unique_ptr<Train> m_pTrain;
    std::unique_ptr<ObjectAnimationScript> m_pCrewScript;
    std::unique_ptr<SkeletalAnimationModifier> m_pSkinning;
    std::vector<DarkeningZone> m_DarkeningZones;
    std::map<std::string, D3DMATERIAL8> m_SavedMaterials;
    GeomObject* m_pWhistleRope = nullptr;
    bool m_bWhistleRopeLooked = false;
    // Shadows: the train's projected shadow on the ground, its stencil
    // shadow volumes and mask, the locomotive pass with its fake shadows.
    void InitShadowObjects();
    void InitStencilShadow();
    void InitProjectionShadow();
    void SetShadowColorVariables();
    void RenderProjectionShadowTexture();
    void RenderProjectionShadowReceivers();
    void SetProjectionShadowStates();
    void RenderStencilShadowMask();
    void ApplyShadowMaskToStencil(IDirect3DTexture8* mask);
    // The stencil step of a frame: the mask into the stencil, or all lit.
    void PrepareShadowStencil();
    void DisableStencilShadowEffects();
    void RenderFakeShadows();
    void RenderBlendedObjects(std::vector<GeomObject*> list);
    bool IsDebugCasterOn();

    std::vector<GeomObject*> m_ShadowCasters;
    std::vector<GeomObject*> m_ProjectionShadowReceivers;
    std::vector<GeomObject*> m_ShadowReceivers;
    std::unique_ptr<CStencilShadow> m_pStencilShadow;
    RenderToTexture m_ShadowMaskTarget;
    RenderToTexture m_ProjectionShadowTarget;
    std::unique_ptr<CRandomBlur> m_pProjectionShadowBlur;
    IDirect3DTexture8* m_pProjectionShadowTexture = nullptr; // owned by the blur
    Camera* m_pShadowCamera = nullptr;
    Object* m_pShadowCameraTarget = nullptr;
    D3DXVECTOR3 m_ShadowCameraOffset{0, 0, 0};
    D3DXMATRIX m_ShadowProjectionMatrix;
    // Smoke and steam of the locomotive.
    void InitSmoke();
    void SelectSmokeOptions();
    void UpdateWhistleSteam();
    void RenderSmoke();
    // Gives back the device resources and forgets the scene's objects.
    void FreeSmoke();
    struct SmokeSet;
    struct SmokeSetDeleter
    {
        void operator()(SmokeSet* smoke) const;
    };
    std::unique_ptr<SmokeSet, SmokeSetDeleter> m_pSmoke;
    // Whether the smoke was set up at the start: a later smoke edit cannot
    // turn on what was never built.
    bool m_bSmokeSetUp = false;

    // The camera director and the old-film look.
    void InitCameraSelector(Train* train);
    // The landscape's cameras and then the locomotive's, in name order.
    std::vector<Camera*> m_SceneCameras;
    void ReloadCameraDirector();
    void InitOldMoviePostEffect();
    void ReadOldMovieSettings();
    void RenderOldMovie();
    RandomCameraController m_CameraDirector;
    OldMoviePostEffect m_OldMovie;
    // Grass and swaying branches.
public:
    void InitGrass();
    void RecreateGrass();
    void RegisterGrassGenerationKeys(const std::string& surface);
    void AddGrassSurface(const std::string& surface, const std::string& sample, const std::string& heightMap,
                         int quality);
    void ApplyGrassTuning();
    void RenderGrass();
    void InitLeaves();
    void ApplyLeavesTuning();
    void ApplyLeavesGroupTuning(const std::string& name, const std::string& group);
    void RenderLeaves();
    GrassField* GetGrass() const { return m_pGrass.get(); }
    AnimatedLeavesSet* GetLeaves() const { return m_pLeaves.get(); }

protected:
    std::unique_ptr<GrassField> m_pGrass;
    std::unique_ptr<AnimatedLeavesSet> m_pLeaves;
    // The train's projected shadow on the grass, set by the projection shadow
    // when it is drawn; none leaves the grass in its plain pass.
    IDirect3DTexture8* m_pGrassShadowTexture = nullptr;
    D3DXMATRIX m_GrassShadowMatrix = D3DXMATRIX(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
};

// Appends every geometry object of the scene whose whole name matches the
// regular expression, in the scene's order.
void CollectGeomObjects(Scene* scene, const std::string& expression, std::vector<GeomObject*>& list);
// Sets the visible flag of every listed object and, when recursive, of every
// geometry object below each.
void SetObjectsVisible(const std::vector<GeomObject*>& list, bool recursive, bool visible);

// A tuning value, or the shipped value where the tuning file has none.
inline float Tuned(TuningControl::CManager& tuning, const std::string& path, float shipped)
{
    return *tuning.GetValueOr(path, shipped);
}

// The program's main function, run by the benchmark-option table once per
// start (or once per benchmark request under the harness).
int RunApplication(HINSTANCE instance);
