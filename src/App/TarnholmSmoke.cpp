// Smoke and steam of the locomotive: the particle systems on the
// locomotive's dummies (bound per loaded scene), their renderers and the
// shared smoke texture; run ahead at load so that the train starts with a
// full plume.
#include "Camera.h"
#include "ComRef.h"
#include "D3DUtils.h"
#include "GeomObject.h"
#include "LocomotiveSmoke.h"
#include "Log.h"
#include "ParticleRenderer.h"
#include "Scene.h"
#include "TarnholmApp.h"

struct CTarnholmApp::SmokeSet
{
    CLocomotiveSmoke smoke;
    // Each system's renderer: made at load, freed with the device.
    std::unique_ptr<CSmokeParticleRenderer> renderers[CLocomotiveSmoke::kSystemCount];
    ComRef<IDirect3DTexture8> texture;
};

void CTarnholmApp::SmokeSetDeleter::operator()(SmokeSet* smoke) const
{
    delete smoke;
}

void CTarnholmApp::InitSmoke()
{
    g_Log.Printf("Init smoke\n");
    if (!m_pSmoke)
        m_pSmoke.reset(new SmokeSet);
    SmokeSet& s = *m_pSmoke;
    s.texture.Reset(LoadSmokeTexture());
    if (!s.texture)
        g_Log.Printf("Error: the smoke texture \"Smoke.tga\" is missing, the smoke is drawn untextured\n");
    for (auto& renderer : s.renderers)
    {
        renderer.reset(new CSmokeParticleRenderer);
        renderer->SetTexture(s.texture);
    }
    Scene* loco = m_pLocoScene.get();
    s.smoke.Bind(
        GetTuning(), [loco](const std::string& name) { return loco ? loco->FindObject(name) : nullptr; },
        [loco](const std::string& name) -> Object* { return loco ? loco->FindGeomObject(name) : nullptr; },
        // The driver's pull plays the rope's morph animation.
        [](Object* rope) { return static_cast<GeomObject*>(rope)->IsMorphPlaying(); });

    TuningControl::CManager& tuning = GetTuning();
    const float time = *tuning.GetValueOr("Smoke01.Initial.UpdateTime", 6);
    const int updates = int(*tuning.GetValueOr("Smoke01.Initial.NumUpdates", 30));
    SelectSmokeOptions();
    s.smoke.PreRun(time, updates, [loco](float) {
        if (loco)
            loco->GetRoot()->UpdateHierarchy();
    });
}

void CTarnholmApp::SelectSmokeOptions()
{
    if (m_pSmoke)
        m_pSmoke->smoke.SelectOptions(m_nSmokeQuality);
}

void CTarnholmApp::UpdateWhistleSteam()
{
    if (m_pSmoke)
        m_pSmoke->smoke.UpdateWhistleSteam(*GetTuning().GetValueOr("Steam.Beep.Always", 0) > 0);
}

void CTarnholmApp::RenderSmoke()
{
    if (!m_pSmoke || !m_pMainScene)
        return;
    if (Camera* camera = m_pMainScene->GetActiveCamera())
        camera->Apply(m_pd3dDevice);
    SmokeSet& s = *m_pSmoke;
    for (int i : CLocomotiveSmoke::kFrameOrder)
    {
        if (!s.smoke.IsUsable(i))
            continue;
        CSmokeParticleSystem& system = s.smoke.GetSystem(i);
        system.Update(system.GetTimer().GetDelta());
        if (s.renderers[i])
            s.renderers[i]->Render(system.GetParticles());
    }
}

void CTarnholmApp::FreeSmoke()
{
    if (!m_pSmoke)
        return;
    // The systems stay: the tuning values are bound to their options.
    m_pSmoke->smoke.Unbind();
    for (auto& renderer : m_pSmoke->renderers)
        renderer.reset();
    m_pSmoke->texture.Reset();
}
