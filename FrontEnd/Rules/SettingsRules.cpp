#include "SettingsRules.h"

#include "Log.h"
#include "SettingsTree.h"

const char* const kProductTitle = "Tarnholm 3D Screensaver";
const char* const kProductKey = "Software\\Vellomaris\\Tarnholm 3D Screensaver";

GraphicsDefaults ChooseGraphicsDefaults(unsigned vendor, unsigned shaderNumber, unsigned videoMemoryMB)
{
    GraphicsDefaults d = {0, 0, 800, 600, int(kFormatX8R8G8B8)};
    const bool knownVendor = vendor == kVendorNvidia || vendor == kVendorAti;
    if (knownVendor && shaderNumber >= 14)
    {
        d.modeWidth = 1024;
        d.modeHeight = 768;
        if (videoMemoryMB > 256)
            d.quality = 4, d.useDesktopRes = 1;
        else if (videoMemoryMB > 128)
            d.quality = 3, d.useDesktopRes = 1;
        else if (videoMemoryMB > 64)
            d.quality = 2;
        else
            d.quality = 1;
    }
    else if (!knownVendor && shaderNumber >= 14 && videoMemoryMB > 64)
        d.quality = 1;
    if (videoMemoryMB < 16)
        d.modeFormat = kFormatR5G6B5;
    return d;
}

namespace
{
struct FixedDefault
{
    const char* name;
    int value;
};
const FixedDefault kFixedDefaults[] = {
    {"ShowBlackScreens", 1},       {"ShowFPS", 0},          {"GammaControl", 50},
    {"DisableOnMouseActivate", 1}, {"SoundsVolumePercentage", 100},
    {"MusicVolumePercentage", 50}, {"DisableSound", 0},     {"DisableMusic", 0},
    {"MonitorAspectRatio", 4},     {"WidescreenMode", 0},   {"LightingMode", 1},
    {"EnableOldMovieEffect", 0},   {"ShowClock", 1},
};

int DefaultOf(const char* name)
{
    for (const auto& d : kFixedDefaults)
        if (std::string(d.name) == name)
            return d.value;
    return 0;
}

struct Range
{
    const char* name;
    int low, high;
};
const Range kRanges[] = {
    {"GammaControl", 0, 100},
    {"SoundsVolumePercentage", 0, 100},
    {"MusicVolumePercentage", 0, 100},
    {"MonitorAspectRatio", 0, kAspectRatioEntries - 1},
};
} // namespace

void SetDefaultSettings(Node& settings, const GraphicsDefaults& graphics)
{
    for (const auto& d : kFixedDefaults)
        settings.Get(d.name) = Node::Value(d.value);
    settings.Get("GraphicsQuality") = Node::Value(graphics.quality);
    settings.Get("UseDesktopRes") = Node::Value(graphics.useDesktopRes);
    settings.Get("ModeWidth") = Node::Value(graphics.modeWidth);
    settings.Get("ModeHeight") = Node::Value(graphics.modeHeight);
    settings.Get("ModeFormat") = Node::Value(graphics.modeFormat);
}

void CheckSettings(Node& settings, const GraphicsDefaults& graphics)
{
    for (const auto& r : kRanges)
    {
        Node::Value& v = settings.Get(r.name);
        if (v.GetKind() == Node::KIND_INT && v.GetInt() >= r.low && v.GetInt() <= r.high)
            continue;
        g_Log.Printf("Settings: \"%s\" holds no value between %i and %i, the default is used\n", r.name, r.low,
                     r.high);
        v = Node::Value(DefaultOf(r.name));
    }
    Node::Value& quality = settings.Get("GraphicsQuality");
    if (quality.GetKind() != Node::KIND_INT)
    {
        g_Log.Printf("Settings: \"GraphicsQuality\" is not a number, the default is used\n");
        quality = Node::Value(graphics.quality);
    }
    else if (quality.GetInt() != ClampGraphicsQuality(quality.GetInt()))
    {
        g_Log.Printf("Settings: \"GraphicsQuality\" %i is out of range\n", quality.GetInt());
        quality = Node::Value(ClampGraphicsQuality(quality.GetInt()));
    }
}

bool IsWidescreenAvailable(int aspectRatio, unsigned desktopWidth, unsigned desktopHeight)
{
    if (aspectRatio == 0 || aspectRatio == 1)
        return true;
    if (aspectRatio != 4 || desktopHeight == 0)
        return false;
    return double(desktopWidth) / double(desktopHeight) < double(1.59f);
}

int ClampGraphicsQuality(int quality)
{
    return quality < 0 ? 0 : (quality >= kGraphicsQualityLevels ? kGraphicsQualityLevels - 1 : quality);
}

const char* GraphicsQualityName(int quality)
{
    static const char* const names[kGraphicsQualityLevels] = {"Minimal", "Low", "Middle", "High", "Maximal"};
    return names[ClampGraphicsQuality(quality)];
}

const char* AspectRatioName(int index)
{
    static const char* const names[kAspectRatioEntries] = {
        "5:4 (most LCDs 17-19\")", "4:3 (CRT, most LCDs 15, 20-21\")", "16:9 (widescreen LCDs)",
        "16:10 (most widescreen LCDs)", "Autodetect"};
    return index >= 0 && index < kAspectRatioEntries ? names[index] : "";
}

int FormatBitDepth(int format)
{
    switch (format)
    {
    case 21:
    case 22: return 32;
    case 23:
    case 24: return 16;
    default: return 0;
    }
}

std::string ModeText(unsigned width, unsigned height, int format)
{
    return FormatString("%ld x %ld x %ld", long(width), long(height), long(FormatBitDepth(format)));
}
