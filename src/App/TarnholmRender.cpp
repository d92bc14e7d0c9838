// One frame of the train scene: camera choice, the scene graph's update, the
// sky, fog, the objects drawn apart, the landscape, the locomotive and the
// clock.
#include <cfloat>
#include <cmath>
#include <cstring>
#include <ctime>

#include <windows.h>
#include <mmsystem.h>

#include "Camera.h"
#include "D3DUtils.h"
#include "DebugDraw.h"
#include "GeomObject.h"
#include "Light.h"
#include "Log.h"
#include "Mesh.h"
#include "RenderStateManager.h"
#include "Scene.h"
#include "TarnholmApp.h"

namespace
{
DWORD FloatBits(float f)
{
    DWORD bits;
    std::memcpy(&bits, &f, sizeof(bits));
    return bits;
}

BYTE ColourByte(float value)
{
    if (value >= 1.0f)
        return 255;
    if (value <= 0.0f)
        return 0;
    return BYTE(value * 255.0f + 0.5f);
}

// Draws every mesh of the object with all its passes.
void RenderObject(IDirect3DDevice8* device, GeomObject* object)
{
    for (size_t i = 0; i < object->GetMeshCount(); ++i)
        object->Render(device, uint32_t(i), -1);
}
} // namespace

void CTarnholmApp::RenderFrame()
{
    if (!m_pMainScene)
        return;
    RenderStateManager& cache = RenderStateManager::Instance();
    TuningControl::CManager& tuning = GetTuning();
    DebugDraw::Instance().BeginFrame();
    m_pd3dDevice->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0xFF9999FF, 1.0f, 0);
    const DWORD bias = FloatBits(Tuned(tuning, "MipMapLODBias", 0));
    cache.SetTextureStageState(0, D3DTSS_MIPMAPLODBIAS, bias);
    cache.SetTextureStageState(1, D3DTSS_MIPMAPLODBIAS, bias);

    ChooseCamera();
    if (m_pLocoScene)
        m_pLocoScene->GetRoot()->UpdateHierarchy();
    m_pMainScene->GetRoot()->UpdateHierarchy();
    Camera* camera = m_pMainScene->GetActiveCamera();
    g_CurrentCamera = camera;
    if (camera)
        camera->Apply(m_pd3dDevice);
    if (m_pMainScene->GetLightTable())
        m_pMainScene->GetLightTable()->Update();
    UpdateTrain();
    StepCrew();
    RenderProjectionShadowTexture();
    if (!IsDebugCasterOn())
        RenderStencilShadowMask();

    m_pd3dDevice->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0xFFFFFFFF, 1.0f, 0);
    RenderSkyBox();

    FogParameters fog = {};
    fog.colour = D3DCOLOR_XRGB(BYTE(Tuned(tuning, "Fog.ColorR", 0.68f) * 255), BYTE(Tuned(tuning, "Fog.ColorG", 0.79f) * 255),
                               BYTE(Tuned(tuning, "Fog.ColorB", 0.88f) * 255));
    fog.mode = D3DFOGMODE(int(Tuned(tuning, "Fog.Mode", 3)));
    fog.density = Tuned(tuning, "Fog.Density", 0.000002f);
    fog.start = Tuned(tuning, "Fog.LinearStart", 29000);
    fog.end = Tuned(tuning, "Fog.LinearEnd", 470000);
    SetFogStates(fog);

    PrepareShadowStencil();
    m_pd3dDevice->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0xFFFFFFFF, 1.0f, 0);
    // The receivers come after the sky, which is drawn without depth test.
    RenderProjectionShadowReceivers();
    RenderZBiasedObjects();
    RenderOldTrees();
    cache.SetRenderState(D3DRS_LIGHTING, TRUE);
    m_pMainScene->Render();
    RenderGrass();
    RenderLeaves();
    PrepareShadowStencil();
    RenderLocomotive();
    if (m_nSmokeQuality != 0)
    {
        UpdateWhistleSteam();
        RenderSmoke();
    }
    if (GetSettingInt("ShowClock") != 0)
        RenderClock();
    RenderOldMovie();
}

void CTarnholmApp::RenderSkyBox()
{
    Camera* camera = m_pMainScene->GetActiveCamera();
    if (!m_pSkyObject || !camera)
        return;
    RenderStateManager& cache = RenderStateManager::Instance();
    cache.PushStates();
    cache.SetRenderState(D3DRS_FOGENABLE, FALSE);
    const D3DMATRIX* held = cache.GetTransform(D3DTS_PROJECTION);
    const D3DXMATRIX before = held ? D3DXMATRIX(*held) : camera->GetProjection();
    // Depth at the far plane's side kept just below 1: no part of the sky is
    // cut by the far plane.
    D3DXMATRIX projection = camera->GetProjection();
    projection._33 = 0.0f;
    projection._43 = 0.999999f;
    cache.SetTransform(&projection, D3DTS_PROJECTION);
    cache.SetRenderState(D3DRS_ZENABLE, FALSE);
    m_pSkyObject->SetVisible(true);
    RenderObject(m_pd3dDevice, m_pSkyObject);
    m_pSkyObject->SetVisible(false);
    cache.SetTransform(&before, D3DTS_PROJECTION);
    cache.PopStates();
}

void CTarnholmApp::RenderZBiasedObjects()
{
    RenderStateManager& cache = RenderStateManager::Instance();
    cache.PushStates();
    cache.SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    cache.SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    cache.SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    cache.SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    for (const std::pair<GeomObject*, int>& entry : m_ZBiasedObjects)
    {
        entry.first->SetVisible(true);
        cache.SetRenderState(D3DRS_ZBIAS, DWORD(entry.second));
        RenderObject(m_pd3dDevice, entry.first);
        entry.first->SetVisible(false);
    }
    cache.PopStates();
}

void CTarnholmApp::PlaceSunLight()
{
    if (!m_pLocoScene)
        return;
    Light* light = m_pLocoScene->FindLight("Omni01");
    if (light)
    {
        const float r = std::sqrt(FLT_MAX);
        D3DXMATRIX local = light->GetLocalMatrix();
        local._41 = -m_LightDirection.x * r * 0.5f;
        local._42 = -m_LightDirection.y * r * 0.5f;
        local._43 = -m_LightDirection.z * r * 0.5f;
        light->SetLocalMatrix(local);
        // The sun's place is a world place, whatever the light hangs from:
        // the light table reads the world matrix.
        D3DXMATRIX world = light->GetWorldMatrix();
        world._41 = local._41;
        world._42 = local._42;
        world._43 = local._43;
        light->SetWorldMatrix(world);
        D3DLIGHT8& d3d = light->GetLight();
        d3d.Range = r;
        d3d.Attenuation0 = 0.333333f;
        d3d.Attenuation1 = 0;
        d3d.Attenuation2 = 0;
    }
    if (m_pLocoScene->GetLightTable())
        m_pLocoScene->GetLightTable()->Update();
}

void CTarnholmApp::RenderOldTrees()
{
    if (m_OldTrees.empty())
        return;
    RenderStateManager& cache = RenderStateManager::Instance();
    cache.PushStates();
    PlaceSunLight();
    SetObjectsVisible(m_OldTrees, true, true);
    cache.SetRenderState(D3DRS_LIGHTING, TRUE);
    const D3DCOLOR ambient = m_pLocoScene ? m_pLocoScene->GetAmbientColor() : 0;
    const D3DCOLOR colour = D3DCOLOR_ARGB(ColourByte(((ambient >> 24) & 0xFF) / 255.0f),
                                          ColourByte(((ambient >> 16) & 0xFF) / 255.0f),
                                          ColourByte(((ambient >> 8) & 0xFF) / 255.0f), ColourByte((ambient & 0xFF) / 255.0f));
    for (GeomObject* tree : m_OldTrees)
    {
        tree->SetAmbient(colour);
        RenderObject(m_pd3dDevice, tree);
    }
    SetObjectsVisible(m_OldTrees, true, false);
    cache.PopStates();
}

void CTarnholmApp::RenderClock()
{
    if (!m_pClockScene)
        return;
    TuningControl::CManager& tuning = GetTuning();
    m_pd3dDevice->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    D3DVIEWPORT8 old;
    if (FAILED(m_pd3dDevice->GetViewport(&old)))
        return;
    const ClockViewport v = ComputeClockViewport(int(old.X), int(old.Y), int(old.Width), int(old.Height),
                                                 Tuned(tuning, "Clock.X", 1260), Tuned(tuning, "Clock.Y", 870),
                                                 Tuned(tuning, "Clock.Width", 300));
    if (v.width <= 0)
        return;
    D3DVIEWPORT8 clock = {DWORD(v.x), DWORD(v.y), DWORD(v.width), DWORD(v.height), 0.0f, 1.0f};
    m_pd3dDevice->SetViewport(&clock);
    UpdateClockHands();
    RenderStateManager& cache = RenderStateManager::Instance();
    cache.PushStates();
    cache.SetRenderState(D3DRS_FOGENABLE, FALSE);
    m_pClockScene->Render();
    cache.PopStates();
    m_pd3dDevice->SetViewport(&old);
}

void CTarnholmApp::UpdateClockHands()
{
    static const char* const kHands[6] = {"Arrow_hour01", "Arrow_min01", "Arrow_sec01",
                                          "Arrow_hour02", "Arrow_min02", "Arrow_sec02"};
    const time_t raw = std::time(nullptr);
    const tm* local = std::localtime(&raw);
    if (!local)
        return;
    const float now = float(timeGetTime()) * 0.001f;
    if (!m_bClockHandsFound)
    {
        m_bClockHandsFound = true;
        for (int i = 0; i < 6; ++i)
        {
            m_ClockHands[i].object = m_pClockScene->FindObject(kHands[i]);
            if (m_ClockHands[i].object)
                m_ClockHands[i].rest = m_ClockHands[i].object->GetLocalMatrix();
            else
                g_Log.Printf("Error: the clock has no hand \"%s\"\n", kHands[i]);
        }
        m_ClockBase = float(local->tm_hour * 3600 + local->tm_min * 60 + local->tm_sec);
        m_ClockStart = now;
        m_ClockSecond = local->tm_sec;
        m_bClockSynchronised = false;
    }
    if (!m_bClockSynchronised && local->tm_sec != m_ClockSecond)
    {
        // From here the sub-second phase follows the wall clock's second.
        m_ClockStart = now - 1.05f;
        m_bClockSynchronised = true;
    }
    const float t = now - m_ClockStart + m_ClockBase;
    const ClockHandAngles a = ComputeClockHandAngles(local->tm_hour, local->tm_min, local->tm_sec, std::fmod(t, 60.0f));
    const float angles[6] = {a.hour, a.minute, a.second, a.hour, a.minute, a.second};
    for (int i = 0; i < 6; ++i)
    {
        if (!m_ClockHands[i].object)
            continue;
        D3DXMATRIX turn, local;
        D3DXMatrixRotationY(&turn, -angles[i]);
        D3DXMatrixMultiply(&local, &turn, &m_ClockHands[i].rest);
        m_ClockHands[i].object->SetLocalMatrix(local);
    }
}
