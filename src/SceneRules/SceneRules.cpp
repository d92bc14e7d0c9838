#include "SceneRules.h"

#include <cmath>

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
