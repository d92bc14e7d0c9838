#pragma once
// The smoke and steam of the locomotive without the device: the chimney
// smoke, the steam on both sides of the cylinders and the whistle steam,
// each a particle system on a dummy of the locomotive's scene, the three
// option sets of the chimney's quality levels and the whistle rope. The
// scene binds it to its objects on load and unbinds it before its objects
// go; the application draws the systems.
#include <functional>
#include <string>

#include "Particles.h"

class CLocomotiveSmoke
{
public:
    enum
    {
        kChimneySmoke,
        kSteamLeftRight1,
        kSteamLeftRight2,
        kWhistleSteam,
        kSystemCount
    };
    // Finds an object of the locomotive's scene by exact name; null when
    // there is none (for the rope: none that is geometry).
    typedef std::function<Object*(const std::string&)> FindFn;
    // Whether the rope is being pulled (its animation plays).
    typedef std::function<bool(Object* rope)> PulledFn;

    // The dummy and the tuning prefix of a system.
    static const char* GetObjectName(int system);
    static const char* GetPrefix(int system);

    // Binds every system to its dummy (a missing one is logged and that
    // system stays off) and, on the first call, every option set to its
    // tuning values. The whistle steam starts disabled; the rope is looked
    // up with findRope on the first whistle update; pulled tells whether it
    // is pulled (without it: its keyframe animation plays).
    void Bind(TuningControl::CManager& tuning, const FindFn& findDummy, const FindFn& findRope,
              const PulledFn& pulled = PulledFn());
    // Forgets the scene's objects: nothing of that scene is touched again.
    void Unbind();
    // Quality 1, 2 or 3 points the chimney at its low, medium or full set;
    // any other value leaves it as it is.
    void SelectOptions(int quality);
    // Runs `updates` steps of time / updates seconds (nothing unless both are
    // positive), calling `afterStep` with the step after each.
    void PreRun(float time, int updates, const std::function<void(float)>& afterStep);
    // Always: the whistle steam blows. Otherwise it blows while the rope's
    // animation plays; without a rope it stays as it is.
    void UpdateWhistleSteam(bool always);
    // One frame of one system; nothing for a system without its dummy.
    void Update(int system, float dt);

    bool IsUsable(int system) const { return m_bUsable[system]; }
    CSmokeParticleSystem& GetSystem(int system) { return m_Systems[system]; }
    TParticleOptions& GetQualityOptions(int level) { return m_Quality[level - 1]; }

    // The order of the frame's update and draw: the steam first, the
    // chimney smoke last.
    static const int kFrameOrder[kSystemCount];

private:
    CSmokeParticleSystem m_Systems[kSystemCount];
    bool m_bUsable[kSystemCount] = {};
    TParticleOptions m_Quality[3];
    bool m_bTuningBound = false;
    FindFn m_FindRope;
    PulledFn m_RopePulled;
    Object* m_pRope = nullptr;
    bool m_bRopeLookedUp = false;
};
