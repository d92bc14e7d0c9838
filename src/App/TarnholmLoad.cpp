// Scene loading: the archives, the scene graph's preparation and every
// set-up step of the train scene in its order; the dressing by object name
// and the clock scene.
#include <boost/bind/bind.hpp>

#include <cstdio>

#include "Camera.h"
#include "GeomObject.h"
#include "Log.h"
#include "Mesh.h"
#include "MeshMaterial.h"
#include "Scene.h"
#include "TarnholmApp.h"

namespace
{
const uint16_t kLandscapeResource = 101;
const uint16_t kLocomotiveResource = 102;
const uint16_t kClockResource = 110;
// Progress steps of the sounds' decoding when sound is on.
const unsigned kSoundSteps = 26;

const char* const kOctreeExcluded[] = {"Sky01",      "Rock_hi01",  "Rock_hi02",  "Rock_hi03", "Rock_hi04", "Rock_hi05",
                                       "Desert01",   "Desert03",   "Desert08",   "Desert09",  "Desert10",  "Desert11",
                                       "Panorama02", "Panorama03", "Panorama04", "Rock02",    "Rock03"};

} // namespace

void CTarnholmApp::SetCameraAspects(Scene* scene)
{
    if (!scene)
        return;
    const ObjectMask mask = scene->FindObjects(".*");
    for (ObjectMaskIterator it = mask.BeginCamera(); !it.AtEnd(); ObjectMask::NextCamera(it))
        static_cast<Camera*>(it.GetObject())->SetAspect(m_fCameraAspect);
}

void CTarnholmApp::LoadScene()
{
    SetQualityFlags();
    RegisterHotkey('C', WM_KEYDOWN, "C", Translate("- Show clock"),
                   boost::bind(&CTarnholmApp::ToggleClock, this, boost::placeholders::_1), 0);
    RegisterHotkey('O', WM_KEYDOWN, "O", Translate("- Old Movie effect"),
                   boost::bind(&CTarnholmApp::ToggleOldMovieEffect, this, boost::placeholders::_1), 0);
    // Tangent space is always computed; no cache file is read or written.
    g_TangentCacheEnabled = false;
    SetCameraTransformSink(ApplyCameraTransformsToDevice);

    m_pMainScene.reset();
    m_pMainScene = std::make_unique<Scene>(m_pd3dDevice);
    m_pLocoScene.reset(new Scene(m_pd3dDevice));
    g_Log.Printf("Loading scene...\n");
    // One switch for the light maps: off on a single texture stage and below
    // graphics quality 2.
    g_LightMapsEnabled = m_d3dCaps.MaxSimultaneousTextures >= 2 && GetSettingInt("GraphicsQuality") >= 2;

    int entries = 0;
    for (uint16_t id : {kLandscapeResource, kLocomotiveResource, kClockResource})
    {
        const int n = Scene::CountEntries(id == kLandscapeResource    ? "Tarnholm.SSS"
                                          : id == kLocomotiveResource ? "Locomotive.SSS"
                                                                      : "Clock.SSS",
                                          id);
        entries += n > 0 ? n : 0;
    }
    m_LoadingExpected = unsigned(entries) + (GetSettingInt("DisableSound") == 0 ? kSoundSteps : 0);

    m_pMainScene->Load(kLandscapeResource, "Tarnholm.SSS", this);
    m_pMainScene->GetRoot()->UpdateHierarchy();
    for (const char* name : kOctreeExcluded)
        m_pMainScene->AddExcludedStaticObject(name);
    m_pMainScene->BuildOctree();

    // Objects with "_sn" in their names take the smoothed tangent frames.
    m_pLocoScene->AddSmoothNormalPattern(".*_sn.*");
    m_pLocoScene->Load(kLocomotiveResource, "Locomotive.SSS", this);
    m_pLocoScene->GetRoot()->UpdateHierarchy();

    Object* sun0 = m_pMainScene->FindObject("Dummy_light01");
    Object* sun1 = m_pMainScene->FindObject("Dummy_light02");
    if (sun0 && sun1)
    {
        const D3DXMATRIX& a = sun0->GetWorldMatrix();
        const D3DXMATRIX& b = sun1->GetWorldMatrix();
        D3DXVECTOR3 d(b._41 - a._41, b._42 - a._42, b._43 - a._43);
        if (D3DXVec3Length(&d) > 0)
            D3DXVec3Normalize(&m_LightDirection, &d);
    }
    else
        g_Log.Printf("Error: the sun dummies \"Dummy_light01\" and \"Dummy_light02\" are missing, the sun shines "
                     "straight down\n");

    m_OldTrees.clear();
    CollectGeomObjects(m_pMainScene.get(), "Old_trees.*", m_OldTrees);
    SetObjectsVisible(m_OldTrees, true, false);

    if (!m_bEnableShaders)
        DisableBump();
    InitLocoObjects();
    InitObjects();
    InitShadowObjects();
    if (m_bEnableStencilShadows)
        InitStencilShadow();
    SetCameraAspects(m_pMainScene.get());
    SetCameraAspects(m_pLocoScene.get());
    g_Log.Printf("Loading scene completed\n");

    InitSounds();
    InitAnimation();
    InitTrain();
    InitLODModifiers();
    InitCameraSelector(m_pTrain.get());
    InitFan();
    InitOldMoviePostEffect();
    InitZFightingObjects();
    InitSkyBox();
    if (m_bEnableProjectionShadows)
        InitProjectionShadow();
    for (GeomObject* object : m_LocoObjects)
        InitSpecularPower(object);
    if (m_nSmokeQuality != 0)
        InitSmoke();
    InitPaintPlanes();
    InitClockScene();
    for (Scene* scene : {m_pMainScene.get(), m_pLocoScene.get(), m_pClockScene.get()})
        if (scene)
        {
            scene->PreloadTextures();
            scene->PreloadBuffers();
        }
    InitGrass();
    if (m_bEnableLeaves)
        InitLeaves();
}

void CTarnholmApp::InitClockScene()
{
    g_Log.Printf("Init clock scene\n");
    m_pClockScene.reset(new Scene(m_pd3dDevice));
    m_bClockHandsFound = false;
    m_pClockScene->Load(kClockResource, "clock.sss", this);
    std::vector<GeomObject*> shadows;
    CollectGeomObjects(m_pClockScene.get(), "Arrow.*02", shadows);
    for (GeomObject* hand : shadows)
    {
        hand->SetSrcBlendDestColor();
        hand->SetDestBlendSrcColor();
    }
    if (Camera* camera = m_pClockScene->FindCamera("Camera01"))
        camera->SetAspect(1.0f);
    else
        g_Log.Printf("Error: the clock has no camera \"Camera01\"\n");
}
