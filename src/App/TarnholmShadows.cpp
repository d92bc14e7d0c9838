// The train's shadows in the scene: the casters and receivers by name, the
// projected shadow on the ground, the stencil shadow mask of the train and
// its way into the frame's stencil, and the locomotive pass with its fake
// shadows.
#include <cfloat>
#include <cmath>

#include "Camera.h"
#include "D3DUtils.h"
#include "GeomObject.h"
#include "Log.h"
#include "Mesh.h"
#include "MeshMaterial.h"
#include "RenderStateManager.h"
#include "Scene.h"
#include "ShadowGeometry.h"
#include "ShadowStencil.h"
#include "TarnholmApp.h"

namespace
{
const char* const kProjectionReceiverNames[] = {
    "City_tunnel01",     "City_bridge01",      "Red_stones07",     "City_Bags01",       "City_tatchka01",
    "City_vokzal01",     "City_barrels01",     "Red_stones06",     "Watermill_bridge01", "Factory_bridge01",
    "Factory_building03", "Factory_zabor01",   "Red_stones08",     "Factory_strelka01", "City_strelka01",
    "Ore_rustgarbage01", "Ore_woodgarbage01",  "Ore_budka01",      "Ore_woodstruct02",  "Ore_tub01",
    "Ore_building04",    "Red_stones03",       "City_road02"};
const char kShadowCameraName[] = "Camera_shadow01";
const char kShadowCameraTargetName[] = "Dummy_loco05_08";

void RenderObjectPasses(IDirect3DDevice8* device, GeomObject* object, int pass)
{
    for (size_t i = 0; i < object->GetMeshCount(); ++i)
        object->Render(device, uint32_t(i), pass);
}

// Chooses the material's effect again under a new name pattern.
void ChooseMaterialEffect(MeshMaterial* material, const std::string& pattern)
{
    MaterialEffectState& state = material->GetEffectState();
    state.SetPattern(pattern);
    state.ChooseEffect();
    material->CompileMetaEffect();
    if (!state.IsValidated())
        state.ValidateTechnique(material->GetD3DMaterial());
}

template <typename Fn> void ForEachMaterial(const std::vector<GeomObject*>& objects, Fn fn)
{
    for (GeomObject* object : objects)
        for (size_t i = 0; i < object->GetMeshCount(); ++i)
            if (MeshMaterial* material = object->GetMesh(i)->GetMaterial())
                fn(material);
}

D3DCOLOR TunedColourWord(TuningControl::CManager& tuning, const std::string& prefix, float r, float g, float b)
{
    return D3DCOLOR_XRGB(ShadowColourByte(Tuned(tuning, (prefix + ".r").c_str(), r)),
                         ShadowColourByte(Tuned(tuning, (prefix + ".g").c_str(), g)),
                         ShadowColourByte(Tuned(tuning, (prefix + ".b").c_str(), b)));
}
} // namespace

bool CTarnholmApp::IsDebugCasterOn()
{
    return Tuned(GetTuning(), "Debug.ShadowCaster.Enable", 0) != 0;
}

void CTarnholmApp::InitShadowObjects()
{
    m_ShadowCasters.clear();
    m_ProjectionShadowReceivers.clear();
    CollectGeomObjects(m_pLocoScene.get(), ".*_rscs.*", m_ShadowCasters);
    if (GeomObject* box = m_pLocoScene ? m_pLocoScene->FindGeomObject("Caster_box01") : nullptr)
    {
        box->SetVisible(true);
        box->SetVisibleRecursive(true);
        m_ShadowCasters.push_back(box);
    }
    // The shadow camera stands where the scene put it beside the locomotive
    // at rest: its offset is taken here, before the train is placed on the
    // track.
    Camera* shadowCamera = m_pLocoScene ? m_pLocoScene->FindCamera(kShadowCameraName) : nullptr;
    Object* shadowTarget = m_pLocoScene ? m_pLocoScene->FindObject(kShadowCameraTargetName) : nullptr;
    if (shadowCamera && shadowTarget)
    {
        const D3DXMATRIX& target = shadowTarget->GetWorldMatrix();
        m_ShadowCameraOffset = shadowCamera->GetPosition() - D3DXVECTOR3(target._41, target._42, target._43);
    }
    CollectGeomObjects(m_pMainScene.get(), "Rail.*", m_ProjectionShadowReceivers);
    CollectGeomObjects(m_pMainScene.get(), "Land.*", m_ProjectionShadowReceivers);
    for (const char* name : kProjectionReceiverNames)
        if (GeomObject* object = m_pMainScene->FindGeomObject(name))
            m_ProjectionShadowReceivers.push_back(object);
}

// ---- Projection shadow

void CTarnholmApp::InitProjectionShadow()
{
    g_Log.Printf("Init projection shadow\n");
    TuningControl::CManager& tuning = GetTuning();
    const int side = int(Tuned(tuning, "ProjectionShadow.Texture.Width", 1024));
    const HRESULT hr = m_ProjectionShadowTarget.Create(m_pd3dDevice, false, UINT(side), UINT(side), false);
    if (FAILED(hr))
    {
        g_Log.Printf("FAILED to initialize projection shadow texture: %s\n", GetErrorString(hr).c_str());
        m_bEnableProjectionShadows = false;
        return;
    }
    m_pShadowCamera = m_pLocoScene ? m_pLocoScene->FindCamera(kShadowCameraName) : nullptr;
    m_pShadowCameraTarget = m_pLocoScene ? m_pLocoScene->FindObject(kShadowCameraTargetName) : nullptr;
    if (!m_pShadowCameraTarget)
    {
        g_Log.Printf("FAILED to find projection shadow camera target object: %s\n", kShadowCameraTargetName);
        m_bEnableProjectionShadows = false;
        return;
    }
    if (!m_pShadowCamera)
    {
        g_Log.Printf("FAILED to find projection shadow camera: %s\n", kShadowCameraName);
        m_bEnableProjectionShadows = false;
        return;
    }
    m_pProjectionShadowBlur.reset(new CRandomBlur(m_pd3dDevice, m_ProjectionShadowTarget.GetTexture(), side));
    m_pProjectionShadowBlur->SetStrength(int(Tuned(tuning, "ProjectionShadow.Smooth_TotalBlur", 20)));
    m_pProjectionShadowTexture = m_pProjectionShadowBlur->Blur();
    if (!m_pProjectionShadowTexture)
    {
        g_Log.Printf("FAILED to blur projection shadow texture, the projection shadow is off\n");
        m_pProjectionShadowBlur.reset();
        m_bEnableProjectionShadows = false;
        return;
    }
    ForEachMaterial(m_ProjectionShadowReceivers, [this](MeshMaterial* material) {
        MaterialEffectState& state = material->GetEffectState();
        if (Map* map = state.GetMap(MAPKIND_PROJECTION))
            static_cast<DiffuseMap*>(map)->SetTexture(m_pProjectionShadowTexture);
        state.SetPattern("Shadow.*");
        if (!state.IsPresent(MAPKIND_PROJECTION))
            state.SetPresent(MAPKIND_PROJECTION, true);
        else
            state.ChooseEffect();
        material->CompileMetaEffect();
        if (!state.IsValidated())
            state.ValidateTechnique(material->GetD3DMaterial());
    });
    // m_ShadowCameraOffset was taken with the train at rest (InitShadowObjects).
}

void CTarnholmApp::SetProjectionShadowStates()
{
    RenderStateManager& cache = RenderStateManager::Instance();
    TuningControl::CManager& tuning = GetTuning();
    cache.SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TFACTOR);
    cache.SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    cache.SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    cache.SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    cache.SetRenderState(D3DRS_TEXTUREFACTOR,
                         TunedColourWord(tuning, "ProjectionShadow.Color", 0.1f, 0.134f, 0.155f) & 0x00FFFFFF);
    cache.SetRenderState(D3DRS_FOGENABLE, FALSE);
    cache.SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    cache.SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    cache.SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
    cache.SetRenderState(D3DRS_STENCILENABLE, FALSE);
    m_pd3dDevice->SetPixelShader(0);
}

void CTarnholmApp::RenderProjectionShadowTexture()
{
    m_pGrassShadowTexture = nullptr;
    if (!m_bEnableProjectionShadows || !m_ProjectionShadowTarget.IsReady() || !m_pShadowCamera ||
        !m_pProjectionShadowBlur)
        return;
    if (FAILED(m_ProjectionShadowTarget.Begin(false)))
        return;
    RenderStateManager& cache = RenderStateManager::Instance();
    cache.PushStates();
    m_pd3dDevice->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFFFFFF, 1.0f, 0);
    const D3DXMATRIX& target = m_pShadowCameraTarget->GetWorldMatrix();
    const D3DXVECTOR3 at = D3DXVECTOR3(target._41, target._42, target._43) + m_ShadowCameraOffset;
    m_pShadowCamera->SetPosition(at.x, at.y, at.z);
    m_pShadowCamera->Apply(m_pd3dDevice);
    SetProjectionShadowStates();
    // The casters drawn flat in the shadow colour.
    for (GeomObject* caster : m_ShadowCasters)
        for (size_t i = 0; i < caster->GetMeshCount(); ++i)
        {
            Mesh* mesh = caster->GetMesh(i);
            mesh->SetApplyMaterial(false);
            caster->Render(m_pd3dDevice, uint32_t(i), -1);
            mesh->SetApplyMaterial(true);
        }
    m_ProjectionShadowTarget.End();
    m_pProjectionShadowBlur->SetStrength(int(Tuned(GetTuning(), "ProjectionShadow.Smooth_TotalBlur", 20)));
    if (IDirect3DTexture8* blurred = m_pProjectionShadowBlur->Blur())
        m_pProjectionShadowTexture = blurred;
    Camera* camera = m_pMainScene->GetActiveCamera();
    if (camera)
    {
        camera->Apply(m_pd3dDevice);
        g_CurrentCamera = camera;
        m_ShadowProjectionMatrix =
            ShadowProjectionMatrix(camera->GetView(), m_pShadowCamera->GetView(), m_pShadowCamera->GetProjection());
        // The grass projects the same shadow in its own pass.
        m_pGrassShadowTexture = m_pProjectionShadowTexture;
        m_GrassShadowMatrix = m_ShadowProjectionMatrix;
    }
    cache.PopStates();
}

void CTarnholmApp::RenderProjectionShadowReceivers()
{
    if (!m_bEnableProjectionShadows || !m_ProjectionShadowTarget.IsReady() || !m_pShadowCamera ||
        !m_pProjectionShadowBlur)
        return;
    for (GeomObject* receiver : m_ProjectionShadowReceivers)
    {
        receiver->SetVisible(true);
        receiver->SetVisibleRecursive(true);
        for (size_t i = 0; i < receiver->GetMeshCount(); ++i)
        {
            MeshMaterial* material = receiver->GetMesh(i)->GetMaterial();
            if (!material)
                continue;
            MaterialEffectState& state = material->GetEffectState();
            // The blur may hand back either of its targets.
            if (Map* map = state.GetMap(MAPKIND_PROJECTION))
                if (map->GetTexture() != m_pProjectionShadowTexture)
                    static_cast<DiffuseMap*>(map)->SetTexture(m_pProjectionShadowTexture);
            if (EffectTechnique* technique = state.GetTechnique())
                technique->SetMatrixVariable("ShadowProjectionTransformMatrix", m_ShadowProjectionMatrix);
        }
        RenderObjectPasses(m_pd3dDevice, receiver, -1);
        receiver->SetVisible(false);
        receiver->SetVisibleRecursive(false);
    }
}

// ---- Stencil shadow mask

void CTarnholmApp::InitStencilShadow()
{
    g_Log.Printf("Init stencil shadow \n");
    m_ShadowReceivers.clear();
    CollectGeomObjects(m_pLocoScene.get(), ".*_rs.*", m_ShadowReceivers);
    m_pStencilShadow.reset(new CStencilShadow(m_ShadowReceivers, m_ShadowCasters));
    if (FAILED(m_ShadowMaskTarget.Create(m_pd3dDevice, true, 0, 0, true)))
    {
        g_Log.Printf("Error in %s, line %u\n", ".\\src\\Tarnholm", 324u);
        m_pStencilShadow.reset();
        return;
    }
    ForEachMaterial(m_ShadowReceivers, [](MeshMaterial* material) {
        ChooseMaterialEffect(material, material->GetEffectState().IsPresent(MAPKIND_BUMP)
                                           ? "DiffuseBumpStencilShadow.*"
                                           : ".*StencilShadow.*");
    });
    SetShadowColorVariables();
}

void CTarnholmApp::SetShadowColorVariables()
{
    TuningControl::CManager& tuning = GetTuning();
    const float shadow[4] = {Tuned(tuning, "ShadowVolume.Mask.ShadowColor.r", 0),
                             Tuned(tuning, "ShadowVolume.Mask.ShadowColor.g", 0),
                             Tuned(tuning, "ShadowVolume.Mask.ShadowColor.b", 0), 1.0f};
    const float land[3] = {Tuned(tuning, "ShadowVolume.Mask.LandscapeShadowColor.r", 0.27f),
                           Tuned(tuning, "ShadowVolume.Mask.LandscapeShadowColor.g", 0.32f),
                           Tuned(tuning, "ShadowVolume.Mask.LandscapeShadowColor.b", 0.36f)};
    const D3DCOLOR word =
        D3DCOLOR_ARGB(255, ShadowColourByte(shadow[0]), ShadowColourByte(shadow[1]), ShadowColourByte(shadow[2]));
    const D3DCOLOR inverse = D3DCOLOR_ARGB(255, ShadowColourByte(1 - 0.5f * land[0]),
                                           ShadowColourByte(1 - 0.5f * land[1]), ShadowColourByte(1 - 0.5f * land[2]));
    ForEachMaterial(m_ShadowReceivers, [&](MeshMaterial* material) {
        EffectTechnique* technique = material->GetEffectState().GetTechnique();
        if (!technique)
            return;
        if (technique->IsVariableUsed("ShadowColor"))
            technique->SetFloat4Variable("ShadowColor", shadow);
        if (technique->IsVariableUsed("ShadowColorWord"))
            technique->SetIntVariable("ShadowColorWord", int32_t(word));
        if (technique->IsVariableUsed("InvShadowColorWord"))
            technique->SetIntVariable("InvShadowColorWord", int32_t(inverse));
    });
}

void CTarnholmApp::DisableStencilShadowEffects()
{
    ForEachMaterial(m_ShadowReceivers, [](MeshMaterial* material) { ChooseMaterialEffect(material, ".*"); });
    ForEachMaterial(m_LocoObjects, [](MeshMaterial* material) {
        if (material->GetEffectState().IsPresent(MAPKIND_BUMP))
            ChooseMaterialEffect(material, "DiffuseBumpStencil.*");
    });
}

void CTarnholmApp::RenderStencilShadowMask()
{
    if (!m_pStencilShadow)
        return;
    TuningControl::CManager& tuning = GetTuning();
    TShadowVolumeParams params;
    D3DXVECTOR3 light;
    D3DXVec3Normalize(&light, &m_LightDirection);
    params.lightDisplacement = light * Tuned(tuning, "ShadowVolume.LightDisplLength", 5500);
    params.minAngle = Tuned(tuning, "ShadowVolume.MinAngle", 4.14f);
    params.reinit = Tuned(tuning, "ShadowVolume.Reinitig", 0) != 0;
    params.minSilhouetteLength = int(Tuned(tuning, "ShadowVolume.MinSilhouetteLength", 0));
    if (Tuned(tuning, "ShadowVolume.Mask.Enable.Update", 1) != 0)
        m_pStencilShadow->Update(params);
    if (Tuned(tuning, "ShadowVolume.Mask.Enable.Render", 1) != 0)
    {
        TShadowMaskParams mask;
        mask.depthPrepass = true;
        mask.displayCCW = Tuned(tuning, "ShadowVolume.Mask.DisplayCCW", 0) != 0;
        mask.displayCW = Tuned(tuning, "ShadowVolume.Mask.DisplayCW", 0) != 0;
        if (FAILED(m_ShadowMaskTarget.Begin(true)))
        {
            DisableStencilShadowEffects();
            m_pStencilShadow.reset();
            return;
        }
        m_pd3dDevice->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_STENCIL, 0xFFFFFFFF, 1.0f, 0);
        m_pStencilShadow->RenderMask(m_pd3dDevice, mask);
        m_ShadowMaskTarget.End();
    }
    if (Tuned(tuning, "ShadowVolume.Silhouette.Enable", 0) != 0)
    {
        TSilhouetteDrawParams draw;
        const char* const channels[4] = {"r", "g", "b", "a"};
        const float colour[4] = {1, 0, 0, 1}, active[4] = {1, 0, 1, 1};
        for (int c = 0; c < 4; ++c)
        {
            draw.color[c] = Tuned(tuning, (std::string("ShadowVolume.Silhouette.Draw.Color.") + channels[c]).c_str(),
                                  colour[c]);
            draw.activeColor[c] = Tuned(
                tuning, (std::string("ShadowVolume.Silhouette.Draw.ActiveColor.") + channels[c]).c_str(), active[c]);
        }
        draw.activeNum = int(Tuned(tuning, "ShadowVolume.Silhouette.Draw.ActiveNum", 506));
        draw.activeEdgeNum = int(Tuned(tuning, "ShadowVolume.Silhouette.Draw.ActiveEdgeNum", 131));
        draw.zEnable = Tuned(tuning, "ShadowVolume.Silhouette.Draw.ZEnable", 1) != 0;
        m_pStencilShadow->DrawSilhouettes(m_pd3dDevice, draw);
    }
    if (Tuned(tuning, "ShadowVolume.Silhouette.DrawBorders.Enable", 0) != 0)
        m_pStencilShadow->DrawBorders(m_pd3dDevice, params.minAngle,
                                      Tuned(tuning, "ShadowVolume.Silhouette.DrawBorders.ZEnable", 1) != 0);
}

void CTarnholmApp::ApplyShadowMaskToStencil(IDirect3DTexture8* mask)
{
    DrawShadowMaskToStencil(m_pd3dDevice, mask);
}

void CTarnholmApp::PrepareShadowStencil()
{
    if (m_pStencilShadow && !IsDebugCasterOn() && m_ShadowMaskTarget.GetTexture())
        ApplyShadowMaskToStencil(m_ShadowMaskTarget.GetTexture());
    else
        m_pd3dDevice->Clear(0, nullptr, D3DCLEAR_STENCIL, 0, 1.0f, 1);
}

// ---- Locomotive pass

void CTarnholmApp::RenderLocomotive()
{
    if (!m_pLocoScene)
        return;
    TuningControl::CManager& tuning = GetTuning();
    const bool debugCaster = IsDebugCasterOn();
    if (debugCaster)
    {
        SetObjectsVisible(m_LocoObjects, true, false);
        if (!m_ShadowCasters.empty())
        {
            const size_t n = size_t(int(Tuned(tuning, "Debug.ShadowCaster.ObjectNum", 0))) % m_ShadowCasters.size();
            SetObjectsVisible({m_ShadowCasters[n]}, true, true);
        }
    }
    RenderStateManager& cache = RenderStateManager::Instance();
    cache.PushStates();
    cache.SetRenderState(D3DRS_FOGENABLE, FALSE);
    PlaceSunLight();
    cache.SetRenderState(D3DRS_LIGHTING, TRUE);
    RenderFakeShadows();
    for (GeomObject* rails : m_RailsObjects)
    {
        rails->SetVisible(true);
        RenderObjectPasses(m_pd3dDevice, rails, -1);
        rails->SetVisible(false);
    }
    for (GeomObject* object : m_LocoObjects)
        RenderObjectPasses(m_pd3dDevice, object, 0);
    RenderBlendedObjects(m_LInscriptionObjects);
    for (int pass = 1; pass <= 4; ++pass)
        for (GeomObject* object : m_LocoObjects)
            RenderObjectPasses(m_pd3dDevice, object, pass);
    RenderBlendedObjects(m_AInscriptionObjects);
    if (debugCaster)
        SetObjectsVisible(m_LocoObjects, true, true);
    cache.PopStates();
}

void CTarnholmApp::RenderFakeShadows()
{
    RenderStateManager& cache = RenderStateManager::Instance();
    cache.PushStates();
    SetFakeShadowStates(m_pStencilShadow != nullptr);
    cache.SetDepthBias(Tuned(GetTuning(), "FakeShadow.DepthBias", 0.021f));
    for (GeomObject* shadow : m_LocoShadowObjects)
    {
        shadow->SetZWrite(0);
        RenderObjectPasses(m_pd3dDevice, shadow, -1);
    }
    if (std::fabs(cache.GetDepthBias()) > FLT_EPSILON)
        cache.SetDepthBias(0);
    cache.PopStates();
}

void CTarnholmApp::RenderBlendedObjects(std::vector<GeomObject*> list)
{
    RenderStateManager& cache = RenderStateManager::Instance();
    cache.PushStates();
    cache.SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    cache.SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    cache.SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    for (GeomObject* object : list)
    {
        object->SetZWrite(0);
        RenderObjectPasses(m_pd3dDevice, object, -1);
    }
    cache.PopStates();
}
