// The locomotive's smoke without the device: binding to the dummies of a
// scene, a missing dummy, the whistle rope of each bound scene, the quality
// sets and the run ahead at load.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

#include "LocomotiveSmoke.h"
#include "Log.h"
#include "Object.h"
#include "TuningControl.h"

namespace
{
// A locomotive's objects by name.
struct FakeLoco
{
    std::map<std::string, std::unique_ptr<Object>> objects;
    explicit FakeLoco(std::initializer_list<const char*> names)
    {
        for (const char* n : names)
            objects[n] = std::make_unique<Object>(n);
    }
    CLocomotiveSmoke::FindFn Finder()
    {
        return [this](const std::string& name) -> Object* {
            auto it = objects.find(name);
            return it == objects.end() ? nullptr : it->second.get();
        };
    }
};

class LocomotiveSmokeTest : public ::testing::Test
{
protected:
    TuningControl::CManager tuning;
    CLocomotiveSmoke smoke;
};

TEST_F(LocomotiveSmokeTest, MissingDummyIsLoggedAndItsSystemStaysOff)
{
    FakeLoco loco({"Dummy_smoke01", "Dummy_smoke02", "Dummy_smoke04"});
    g_Log.ClearText();
    smoke.Bind(tuning, loco.Finder(), loco.Finder());
    EXPECT_NE(g_Log.GetText().find("Dummy_smoke03"), std::string::npos);
    EXPECT_FALSE(smoke.IsUsable(CLocomotiveSmoke::kSteamLeftRight1));
    EXPECT_TRUE(smoke.IsUsable(CLocomotiveSmoke::kSteamLeftRight2));
    for (int i = 0; i < 5; ++i)
        for (int s : CLocomotiveSmoke::kFrameOrder)
            smoke.Update(s, 0.2f);
    EXPECT_TRUE(smoke.GetSystem(CLocomotiveSmoke::kSteamLeftRight1).GetParticles().empty());
    EXPECT_FALSE(smoke.GetSystem(CLocomotiveSmoke::kChimneySmoke).GetParticles().empty());
    // The whistle steam waits for the rope.
    EXPECT_TRUE(smoke.GetSystem(CLocomotiveSmoke::kWhistleSteam).GetParticles().empty());
}

TEST_F(LocomotiveSmokeTest, WhistleSteamBlowsWhileTheRopeIsPulled)
{
    FakeLoco loco({"Dummy_smoke01", "Dummy_smoke02", "Dummy_smoke03", "Dummy_smoke04", "Loco_rope01"});
    bool pulling = false;
    Object* asked = nullptr;
    smoke.Bind(tuning, loco.Finder(), loco.Finder(), [&](Object* rope) {
        asked = rope;
        return pulling;
    });
    const CObjectParticleEmitter& emitter = smoke.GetSystem(CLocomotiveSmoke::kWhistleSteam).GetEmitter();
    g_Log.ClearText();
    smoke.UpdateWhistleSteam(false);
    EXPECT_TRUE(emitter.m_bDisabled);
    ASSERT_NE(asked, nullptr);
    EXPECT_EQ(asked->GetName(), "Loco_rope01");
    pulling = true;
    smoke.UpdateWhistleSteam(false);
    smoke.UpdateWhistleSteam(false);
    EXPECT_FALSE(emitter.m_bDisabled);
    smoke.Update(CLocomotiveSmoke::kWhistleSteam, 0.2f);
    EXPECT_FALSE(smoke.GetSystem(CLocomotiveSmoke::kWhistleSteam).GetParticles().empty());
    // One log line for the pull, not one a frame.
    const std::string text = g_Log.GetText();
    const std::string line = "whistle rope is pulled";
    ASSERT_NE(text.find(line), std::string::npos);
    EXPECT_EQ(text.find(line, text.find(line) + 1), std::string::npos);
    pulling = false;
    smoke.UpdateWhistleSteam(false);
    EXPECT_TRUE(emitter.m_bDisabled);
}

TEST_F(LocomotiveSmokeTest, RopeIsLookedUpInEachBoundScene)
{
    auto first = std::make_unique<FakeLoco>(
        std::initializer_list<const char*>{"Dummy_smoke01", "Dummy_smoke02", "Dummy_smoke03", "Dummy_smoke04",
                                           "Loco_rope01"});
    smoke.Bind(tuning, first->Finder(), first->Finder());
    smoke.UpdateWhistleSteam(false); // finds the first scene's rope, standing still
    EXPECT_TRUE(smoke.GetSystem(CLocomotiveSmoke::kWhistleSteam).GetEmitter().m_bDisabled);
    smoke.Unbind();
    first.reset(); // the first scene and its rope are gone

    FakeLoco second({"Dummy_smoke01", "Dummy_smoke02", "Dummy_smoke03", "Dummy_smoke04"});
    smoke.Bind(tuning, second.Finder(), second.Finder());
    smoke.UpdateWhistleSteam(false); // no rope here: the old one is never touched
    EXPECT_TRUE(smoke.GetSystem(CLocomotiveSmoke::kWhistleSteam).GetEmitter().m_bDisabled);
    smoke.UpdateWhistleSteam(true); // "Always" blows without a rope
    EXPECT_FALSE(smoke.GetSystem(CLocomotiveSmoke::kWhistleSteam).GetEmitter().m_bDisabled);
    smoke.Unbind();
    smoke.UpdateWhistleSteam(true);
    for (int s : CLocomotiveSmoke::kFrameOrder)
        smoke.Update(s, 0.2f); // unbound: nothing moves
}

TEST_F(LocomotiveSmokeTest, QualityChoosesTheChimneySet)
{
    FakeLoco loco({"Dummy_smoke01"});
    smoke.Bind(tuning, loco.Finder(), loco.Finder());
    CObjectParticleEmitter& chimney = smoke.GetSystem(CLocomotiveSmoke::kChimneySmoke).GetEmitter();
    const TParticleOptions* own = chimney.m_pOptions;
    EXPECT_EQ(own, &smoke.GetSystem(CLocomotiveSmoke::kChimneySmoke).GetOptions());
    const struct
    {
        int quality;
        const TParticleOptions* expected;
    } cases[] = {{1, &smoke.GetQualityOptions(1)}, {0, &smoke.GetQualityOptions(1)},
                 {3, &smoke.GetQualityOptions(3)}, {2, &smoke.GetQualityOptions(2)},
                 {4, &smoke.GetQualityOptions(2)}};
    for (const auto& c : cases)
    {
        smoke.SelectOptions(c.quality);
        EXPECT_EQ(chimney.m_pOptions, c.expected) << c.quality;
    }
}

TEST_F(LocomotiveSmokeTest, PreRunStepsAndSkips)
{
    FakeLoco loco({"Dummy_smoke01"});
    smoke.Bind(tuning, loco.Finder(), loco.Finder());
    const struct
    {
        float time;
        int updates;
        int steps;
    } cases[] = {{6, 30, 30}, {0, 30, 0}, {6, 0, 0}, {-1, 5, 0}, {NAN, 5, 0}};
    for (const auto& c : cases)
    {
        int steps = 0;
        float total = 0;
        smoke.PreRun(c.time, c.updates, [&](float dt) {
            ++steps;
            total += dt;
        });
        EXPECT_EQ(steps, c.steps) << c.time << " " << c.updates;
        if (c.steps)
        {
            EXPECT_NEAR(total, c.time, 1e-4);
        }
    }
    EXPECT_FALSE(smoke.GetSystem(CLocomotiveSmoke::kChimneySmoke).GetParticles().empty());
}
} // namespace
