#pragma once
// The settings the front-end shows: their defaults, the graphics defaults
// chosen from the video card, the checks a stored value must pass before the
// dialog uses it, and the small rules behind the dialog's texts.
#include <string>

class Node;

// Settings key under HKEY_LOCAL_MACHINE, shared with the main program.
extern const char* const kProductTitle;    // "Tarnholm 3D Screensaver"
extern const char* const kProductKey;      // "Software\Vellomaris\Tarnholm 3D Screensaver"

enum : unsigned
{
    kVendorNvidia = 0x10DE,
    kVendorAti = 0x1002,
    kFormatX8R8G8B8 = 22,
    kFormatR5G6B5 = 23,
};

struct GraphicsDefaults
{
    int quality;
    int useDesktopRes;
    int modeWidth;
    int modeHeight;
    int modeFormat;
};

// vendor: the PCI vendor id of the first adapter; shaderNumber: 10 x major +
// minor pixel shader version; videoMemoryMB: whole mebibytes. Cards with
// less than 16 MB get a 16-bit mode.
GraphicsDefaults ChooseGraphicsDefaults(unsigned vendor, unsigned shaderNumber, unsigned videoMemoryMB);

// Writes every default (the fixed ones and the graphics ones) into the tree.
void SetDefaultSettings(Node& settings, const GraphicsDefaults& graphics);

// Replaces stored values that the dialog cannot show by their defaults
// (logged): a slider value outside its range or not stored as an integer,
// an aspect ratio that names no entry; a graphics quality outside 0..4 is
// moved to the nearest level.
void CheckSettings(Node& settings, const GraphicsDefaults& graphics);

// Whether "Widescreen emulation" can be chosen for this aspect-ratio entry on
// a desktop of that size: 5:4 and 4:3 always, autodetect on desktops
// narrower than 1.59, wide ratios never.
bool IsWidescreenAvailable(int aspectRatio, unsigned desktopWidth, unsigned desktopHeight);

enum
{
    kGraphicsQualityLevels = 5,
    kAspectRatioEntries = 5,
};
// The English name of a graphics quality level; out-of-range values name
// the nearest level.
const char* GraphicsQualityName(int quality);
int ClampGraphicsQuality(int quality);

// The aspect-ratio list in its order; its item data is the index.
const char* AspectRatioName(int index);

// 32 for the 32-bit formats, 16 for the 16-bit ones, else 0.
int FormatBitDepth(int format);
// The resolution list's entry text "W x H x D".
std::string ModeText(unsigned width, unsigned height, int format);
