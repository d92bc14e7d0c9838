// Tables for the scene's quality defaults and flags, the fade, the sound
// pitch and clack rates, the clack order and the clock.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "SceneRules.h"

namespace
{
TEST(SceneRules, GraphicsDefaultsByCard)
{
    struct Case
    {
        unsigned vendor;
        int shader;
        unsigned memory;
        SceneGraphicsDefaults expected;
    } cases[] = {
        {0x10DE, 11, 512, {0, 0, 800, 600, 22}},   // the shader test comes first
        {0x10DE, 20, 512, {4, 1, 1024, 768, 22}},
        {0x1002, 14, 257, {4, 1, 1024, 768, 22}},
        {0x1002, 14, 256, {3, 1, 1024, 768, 22}},
        {0x10DE, 14, 128, {2, 0, 1024, 768, 22}},
        {0x10DE, 14, 64, {1, 0, 1024, 768, 22}},
        {0x8086, 30, 1024, {1, 0, 800, 600, 22}},  // other vendors: at most 1
        {0x8086, 30, 64, {0, 0, 800, 600, 22}},
        {0x8086, 13, 1024, {0, 0, 800, 600, 22}},
        {0, 0, 0, {0, 0, 800, 600, 22}},           // before the adapters are known
    };
    for (const Case& c : cases)
    {
        const SceneGraphicsDefaults d = ChooseSceneGraphicsDefaults(c.vendor, c.shader, c.memory);
        EXPECT_EQ(d.graphicsQuality, c.expected.graphicsQuality) << c.vendor << " " << c.shader << " " << c.memory;
        EXPECT_EQ(d.useDesktopRes, c.expected.useDesktopRes) << c.vendor << " " << c.shader << " " << c.memory;
        EXPECT_EQ(d.modeWidth, c.expected.modeWidth) << c.vendor << " " << c.shader << " " << c.memory;
        EXPECT_EQ(d.modeHeight, c.expected.modeHeight);
        EXPECT_EQ(d.modeFormat, 22);
    }
}

TEST(SceneRules, QualityFlagsTable)
{
    struct Case
    {
        int quality, shader, format;
        bool textures, shaders, stencil, projection;
        int grass, smoke;
    } cases[] = {
        {0, 14, 22, false, false, false, false, 0, 0}, {1, 14, 22, false, false, false, false, 0, 1},
        {2, 14, 22, true, false, false, true, 1, 2},   {3, 14, 22, true, true, false, true, 2, 3},
        {4, 14, 22, true, true, true, true, 2, 3},     {4, 0, 22, true, false, false, true, 2, 3},
        {4, 14, 23, true, true, true, true, 2, 0},     {3, 10, 22, true, true, false, true, 2, 3},
    };
    for (const Case& c : cases)
    {
        const SceneQualityFlags f = DeriveSceneQualityFlags(c.quality, c.shader, c.format);
        const auto row = testing::Message() << c.quality << "/" << c.shader << "/" << c.format;
        EXPECT_EQ(f.highQualityTextures, c.textures) << row;
        EXPECT_EQ(f.enableShaders, c.shaders) << row;
        EXPECT_EQ(f.enableStencilShadows, c.stencil) << row;
        EXPECT_EQ(f.enableProjectionShadows, c.projection) << row;
        EXPECT_EQ(f.enableLeaves, c.projection) << row;
        EXPECT_EQ(f.grassQuality, c.grass) << row;
        EXPECT_EQ(f.smokeQuality, c.smoke) << row;
    }
}

TEST(SceneRules, StartupFade)
{
    EXPECT_EQ(StartupFade(0), 0);
    EXPECT_NEAR(StartupFade(1.5f), std::sin(3.14159265f / 4), 1e-6);
    EXPECT_EQ(StartupFade(3), 1);
    EXPECT_EQ(StartupFade(100), 1);
}

TEST(SceneRules, PitchAndClackRateBySpeed)
{
    struct Case
    {
        float speed, chuff, rails, clack;
    } cases[] = {
        {2000, 0.31f, 0.6f, 0.1f}, {4000, 1.0f, 1.6f, 0.6f}, {3000, 0.655f, 1.1f, 0.35f},
        {-3000, 0.655f, 1.1f, 0.35f}, {8000, 2.38f, 3.6f, 1.6f},
    };
    for (const Case& c : cases)
    {
        EXPECT_NEAR(SoundPitchFactor(c.speed, 0.31f, 1.0f), c.chuff, 1e-5) << c.speed;
        EXPECT_NEAR(SoundPitchFactor(c.speed, 0.6f, 1.6f), c.rails, 1e-5) << c.speed;
        EXPECT_NEAR(RailClackRate(c.speed, 0.6f, 1.6f), c.clack, 1e-5) << c.speed;
    }
}

TEST(SceneRules, ClacksComeInOrderTwoUnitsApart)
{
    CRailClackTimers timers;
    std::vector<std::pair<int, int>> clacks; // (frame, sound)
    const float rate = 0.35f, dt = 0.01f;
    for (int frame = 0; frame < 6000; ++frame) // 60 s
    {
        const unsigned due = timers.Advance(dt, rate);
        for (int k = 0; k < 5; ++k)
            if (due & (1u << k))
                clacks.push_back({frame, k + 1});
    }
    ASSERT_GE(clacks.size(), 10u);
    for (size_t i = 0; i < 10; ++i)
        EXPECT_EQ(clacks[i].second, int((4 - i % 5) % 5) + 1) << i; // 5 first (it starts at 8), then 1, 2, ...
    // One clack every 2 / r seconds.
    const double gap = (clacks[6].first - clacks[1].first) * dt / 5;
    EXPECT_NEAR(gap, 2 / rate, 0.02);
}

TEST(SceneRules, ClockHands)
{
    const ClockHandAngles a = ComputeClockHandAngles(15, 30, 0, 0);
    EXPECT_NEAR(a.hour, 15.5f * 0.523333f, 1e-5);
    EXPECT_NEAR(a.minute, 30 * 0.104667f, 1e-5);
    // The second hand moves in steps of 0.2 s.
    EXPECT_NEAR(ComputeClockHandAngles(0, 0, 0, 12.39f).second, 12.2f * 0.104667f, 1e-4);
    EXPECT_NEAR(ComputeClockHandAngles(0, 0, 0, 12.41f).second, 12.4f * 0.104667f, 1e-4);
}

TEST(SceneRules, ClockViewportScalesWithTheScreen)
{
    const ClockViewport full = ComputeClockViewport(0, 0, 1600, 1200, 1260, 870, 300);
    EXPECT_EQ(full.x, 1260);
    EXPECT_EQ(full.y, 870);
    EXPECT_EQ(full.width, 300);
    EXPECT_EQ(full.height, 300);
    const ClockViewport half = ComputeClockViewport(0, 0, 800, 600, 1260, 870, 300);
    EXPECT_NEAR(half.x, 630, 1);
    EXPECT_NEAR(half.y, 435, 1);
    EXPECT_EQ(half.width, 150);
    // Letterboxed: the square clock keeps its distance from the viewport's
    // bottom edge, scaled vertically, and its side scaled horizontally.
    const ClockViewport boxed = ComputeClockViewport(0, 96, 1024, 576, 1260, 870, 300);
    EXPECT_EQ(boxed.width, 192);
    EXPECT_NEAR(boxed.y + boxed.height, 96 + 576 - 30 * 0.48, 1);
    EXPECT_NEAR(boxed.x + boxed.width, 1024 - 40 * 0.64, 1);
}
} // namespace

TEST(SceneRules, LevelOfDetailGroupsByName)
{
    const struct
    {
        const char* name;
        int group;
    } cases[] = {
        {"bb_Grass03", LOD_GROUP_GRASS},
        {"Big_bb_Bush_x", LOD_GROUP_GRASS}, // contained anywhere
        {"Fir_stvol12", LOD_GROUP_TREES},
        {"Tree_branch01", LOD_GROUP_TREES},
        {"Railbase02_01", LOD_GROUP_RAILBASE},
        {"City_house03", LOD_GROUP_HOUSES},
        {"Watermill_wheel", LOD_GROUP_HOUSES},
        {"Red_stones05", LOD_GROUP_HOUSES},
        {"City_Railbase", LOD_GROUP_RAILBASE}, // rail base is tested before houses
        {"Farm_bb_Grass", LOD_GROUP_GRASS},   // grass before houses
        {"city_house", -1},                   // case-sensitive
        {"Land01", -1},
        {"", -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SelectLODGroup(c.name), c.group) << c.name;
    EXPECT_EQ(SelectLODGroup(nullptr), -1);
    EXPECT_STREQ(LODGroupName(LOD_GROUP_RAILBASE), "RailBase");
    EXPECT_STREQ(LODGroupName(LOD_GROUP_COUNT), "");
}

TEST(SceneRules, SpecularPowerTags)
{
    const struct
    {
        const char* name;
        int group;
    } cases[] = {
        {"Loco_boiler_g02", 2},
        {"Loco_g03_pipe_g05", 5}, // the later group wins
        {"Loco_g05_pipe_g03", 5},
        {"Part_g10", 10},
        {"Part_g11", -1},
        {"Part_g1", -1},
        {"Loco_boiler_rscs_sn01", -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SpecularPowerGroup(c.name), c.group) << c.name;
    const struct
    {
        float value;
        int power;
    } powers[] = {{0, 3}, {-5, 3}, {3.9f, 3}, {5.7f, 5}, {8, 8}, {12, 8}, {NAN, 3}};
    for (const auto& p : powers)
        EXPECT_EQ(ClampSpecularPower(p.value), p.power) << p.value;
}

TEST(SceneRules, TuningEditsReachTheirGroup)
{
    const struct
    {
        const char* path;
        SceneTuningGroup group;
    } cases[] = {
        {"Debug.DrawLabels", TUNING_LABELS},
        {"Debug.DrawLabelsX", TUNING_NONE}, // exact name only
        {"RandomCameraController.BlackTime", TUNING_CAMERA_DIRECTOR},
        {"OldMoviePostEffect.Sepia", TUNING_OLD_MOVIE},
        {"OcclusionManager.Enable_occlusion_culling", TUNING_OCCLUSION},
        {"LODModifierGroups.Trees.FadeDistance", TUNING_LOD},
        {"Train.Movement.Speed", TUNING_TRAIN},
        {"Trainee", TUNING_TRAIN}, // no separator needed
        {"SpecPow._g03", TUNING_SPECULAR_POWER},
        {"ShadowVolume.Mask.Color", TUNING_SHADOW_MASK},
        {"ShadowVolume.Extrude", TUNING_NONE},
        {"Grass.Wind", TUNING_GRASS},
        {"Grass.Generation.Density", TUNING_GRASS_GENERATION},
        {"Leaves.Sway", TUNING_LEAVES},
        {"Fog.Underwater.Mode", TUNING_FOG},
        {"Smoke01.SettingsLevel", TUNING_SMOKE},
        {"Smoke02.Size", TUNING_NONE},
        {"Clock.X", TUNING_NONE},
        {"train.Movement.Speed", TUNING_NONE}, // case-sensitive
        {"", TUNING_NONE},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RouteTuningChange(c.path), c.group) << c.path;
}
