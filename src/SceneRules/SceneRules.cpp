#include "SceneRules.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace
{
const float kPi = 3.14159265f;
const int kFormatX8R8G8B8 = 22;
const int kFormatR5G6B5 = 23;
} // namespace

SceneGraphicsDefaults ChooseSceneGraphicsDefaults(unsigned vendor, int shader, unsigned memoryMB)
{
    SceneGraphicsDefaults d{0, 0, 800, 600, kFormatX8R8G8B8};
    const bool knownVendor = vendor == 0x10DE || vendor == 0x1002;
    if (knownVendor && shader >= 14)
    {
        d.useDesktopRes = 0;
        if (memoryMB > 256)
            d.graphicsQuality = 4, d.useDesktopRes = 1;
        else if (memoryMB > 128)
            d.graphicsQuality = 3, d.useDesktopRes = 1;
        else if (memoryMB > 64)
            d.graphicsQuality = 2;
        else
            d.graphicsQuality = 1;
        d.modeWidth = 1024;
        d.modeHeight = 768;
        return d;
    }
    if (!knownVendor)
        d.graphicsQuality = shader >= 14 && memoryMB > 64 ? 1 : 0;
    return d;
}

SceneQualityFlags DeriveSceneQualityFlags(int d, int shader, int displayFormat)
{
    SceneQualityFlags f;
    f.highQualityTextures = d >= 2;
    f.enableShaders = d >= 3 && shader >= 10;
    f.enableStencilShadows = d == 4 && shader >= 10;
    f.enableProjectionShadows = f.enableLeaves = d >= 2;
    f.grassQuality = d >= 3 ? 2 : d == 2 ? 1 : 0;
    f.smokeQuality = displayFormat == kFormatR5G6B5 ? 0 : d < 0 ? 0 : d > 3 ? 3 : d;
    return f;
}

float StartupFade(float t)
{
    if (t >= 3)
        return 1;
    return t > 0 ? std::sin(t / 3 * kPi / 2) : 0;
}

float SoundPitchFactor(float speed, float low, float high)
{
    const float s = (std::fabs(speed) - 2000) / 2000;
    return (1 - s) * low + s * high;
}

float RailClackRate(float speed, float low, float high)
{
    const float s = (std::fabs(speed) - 4000) / 4000;
    return (1 - s) * low + s * high;
}

CRailClackTimers::CRailClackTimers() : m_Values{0, 2, 4, 6, 8}
{
}

unsigned CRailClackTimers::Advance(float elapsed, float rate)
{
    unsigned due = 0;
    for (int k = 0; k < 5; ++k)
    {
        m_Values[k] += elapsed * rate;
        if (m_Values[k] > 10)
        {
            due |= 1u << k;
            m_Values[k] -= 10;
        }
    }
    return due;
}

ClockHandAngles ComputeClockHandAngles(int hour, int minute, int second, float s)
{
    ClockHandAngles a;
    a.hour = (hour + minute / 60.0f) * 0.523333f;
    a.minute = (minute + second / 60.0f) * 0.104667f;
    a.second = (s - std::fmod(s, 0.2f)) * 0.104667f;
    return a;
}

ClockViewport ComputeClockViewport(int vx, int vy, int vw, int vh, float clockX, float clockY, float clockWidth)
{
    const float sx = vw / 1600.0f, sy = vh / 1200.0f;
    const int xr = int(1600 - clockX - clockWidth);
    const int yr = int(1200 - clockY - clockWidth);
    const int w = int(clockWidth * sx);
    ClockViewport v;
    v.x = int(vw - xr * sx - w);
    v.y = int(vy + vh - yr * sy - w);
    v.width = v.height = w;
    return v;
}

int SelectLODGroup(const char* name)
{
    static const struct
    {
        int group;
        const char* parts[8];
    } kGroups[] = {
        {LOD_GROUP_GRASS, {"bb_Grass", "bb_Bush"}},
        {LOD_GROUP_TREES, {"Fir_branch", "Tree_branch", "Fir_stvol", "Tree_stvol"}},
        {LOD_GROUP_RAILBASE, {"Railbase"}},
        {LOD_GROUP_HOUSES, {"City_", "Factory_", "Farm_", "Mill_", "Ore_", "Watermill_", "Red_stones"}},
    };
    if (!name)
        return -1;
    for (const auto& g : kGroups)
        for (const char* part : g.parts)
            if (part && std::strstr(name, part))
                return g.group;
    return -1;
}

const char* LODGroupName(int group)
{
    static const char* const kNames[LOD_GROUP_COUNT] = {"Grass", "Trees", "Houses", "RailBase"};
    return group >= 0 && group < LOD_GROUP_COUNT ? kNames[group] : "";
}

int SpecularPowerGroup(const char* name)
{
    int found = -1;
    for (int n = 0; name && n <= 10; ++n)
    {
        char tag[8];
        std::snprintf(tag, sizeof(tag), "_g%02i", n);
        if (std::strstr(name, tag))
            found = n;
    }
    return found;
}

int ClampSpecularPower(float value)
{
    if (!(value > 3))
        return 3;
    return value >= 8 ? 8 : int(value);
}

SceneTuningGroup RouteTuningChange(const char* path)
{
    if (!path)
        return TUNING_NONE;
    if (std::strcmp(path, "Debug.DrawLabels") == 0)
        return TUNING_LABELS;
    static const struct
    {
        const char* head;
        SceneTuningGroup group;
    } kRules[] = {
        {"RandomCameraController", TUNING_CAMERA_DIRECTOR},
        {"OldMoviePostEffect", TUNING_OLD_MOVIE},
        {"OcclusionManager", TUNING_OCCLUSION},
        {"LODModifierGroups", TUNING_LOD},
        {"Train", TUNING_TRAIN},
        {"SpecPow", TUNING_SPECULAR_POWER},
        {"ShadowVolume.Mask", TUNING_SHADOW_MASK},
        {"Grass.Generation", TUNING_GRASS_GENERATION},
        {"Grass", TUNING_GRASS},
        {"Leaves", TUNING_LEAVES},
        {"Fog", TUNING_FOG},
        {"Smoke01", TUNING_SMOKE},
    };
    for (const auto& rule : kRules)
        if (std::strncmp(path, rule.head, std::strlen(rule.head)) == 0)
            return rule.group;
    return TUNING_NONE;
}
