#include "LocomotiveSmoke.h"

#include "Log.h"
#include "Object.h"

namespace
{
const struct
{
    const char* object;
    const char* prefix;
} kSystems[CLocomotiveSmoke::kSystemCount] = {
    {"Dummy_smoke01", "Smoke01"},
    {"Dummy_smoke03", "Steam.LeftRight"},
    {"Dummy_smoke04", "Steam.LeftRight"},
    {"Dummy_smoke02", "Steam.Beep"},
};
const char* const kQualityPrefixes[3] = {"Smoke01.Low", "Smoke01.Medium", "Smoke01"};
} // namespace

const int CLocomotiveSmoke::kFrameOrder[kSystemCount] = {kSteamLeftRight1, kSteamLeftRight2, kWhistleSteam,
                                                         kChimneySmoke};

const char* CLocomotiveSmoke::GetObjectName(int system)
{
    return kSystems[system].object;
}

const char* CLocomotiveSmoke::GetPrefix(int system)
{
    return kSystems[system].prefix;
}

void CLocomotiveSmoke::Bind(TuningControl::CManager& tuning, const FindFn& findDummy, const FindFn& findRope,
                            const PulledFn& pulled)
{
    for (int i = 0; i < kSystemCount; ++i)
    {
        CObjectParticleEmitter& emitter = m_Systems[i].GetEmitter();
        emitter.m_pObject = findDummy ? findDummy(kSystems[i].object) : nullptr;
        emitter.m_Direction = D3DXVECTOR3(0, 0, 1);
        m_bUsable[i] = emitter.m_pObject != nullptr;
        if (m_bUsable[i])
        {
            emitter.m_LastPosition = emitter.GetObjectPosition();
            emitter.SetDisabled(false);
        }
        else
        {
            g_Log.Printf("Error: the locomotive has no \"%s\", its \"%s\" particles stay off\n", kSystems[i].object,
                         kSystems[i].prefix);
            emitter.SetDisabled(true);
        }
        if (!m_bTuningBound)
            m_Systems[i].RegisterTuning(tuning, kSystems[i].prefix);
    }
    m_Systems[kWhistleSteam].GetEmitter().SetDisabled(true);
    if (!m_bTuningBound)
        for (int q = 0; q < 3; ++q)
            m_Quality[q].RegisterTuning(tuning, kQualityPrefixes[q]);
    m_bTuningBound = true;
    m_FindRope = findRope;
    m_RopePulled = pulled;
    m_pRope = nullptr;
    m_bRopeLookedUp = false;
}

void CLocomotiveSmoke::Unbind()
{
    for (int i = 0; i < kSystemCount; ++i)
    {
        m_bUsable[i] = false;
        m_Systems[i].GetEmitter().m_pObject = nullptr;
    }
    m_FindRope = nullptr;
    m_pRope = nullptr;
    m_bRopeLookedUp = false;
}

void CLocomotiveSmoke::SelectOptions(int quality)
{
    if (quality >= 1 && quality <= 3)
        m_Systems[kChimneySmoke].GetEmitter().m_pOptions = &m_Quality[quality - 1];
}

void CLocomotiveSmoke::PreRun(float time, int updates, const std::function<void(float)>& afterStep)
{
    if (updates < 1 || !(time > 0))
        return;
    const float dt = time / float(updates);
    for (int n = 0; n < updates; ++n)
    {
        for (int i : kFrameOrder)
            Update(i, dt);
        if (afterStep)
            afterStep(dt);
    }
}

void CLocomotiveSmoke::UpdateWhistleSteam(bool always)
{
    if (!m_bUsable[kWhistleSteam])
        return;
    CObjectParticleEmitter& emitter = m_Systems[kWhistleSteam].GetEmitter();
    if (always)
    {
        emitter.SetDisabled(false);
        return;
    }
    if (!m_bRopeLookedUp)
    {
        m_pRope = m_FindRope ? m_FindRope("Loco_rope01") : nullptr;
        m_bRopeLookedUp = true;
    }
    if (!m_pRope)
        return;
    const bool pulled = m_RopePulled ? m_RopePulled(m_pRope) : m_pRope->IsAnimating();
    if (pulled && emitter.m_bDisabled)
        g_Log.Printf("The whistle rope is pulled: whistle steam\n");
    emitter.SetDisabled(!pulled);
}

void CLocomotiveSmoke::Update(int system, float dt)
{
    if (m_bUsable[system])
        m_Systems[system].Update(dt);
}
