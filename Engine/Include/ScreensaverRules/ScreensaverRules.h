#pragma once
// The screensaver application's arithmetic and decisions that need no
// window or device: aspect and letterbox choice, gamma, text scale, language
// tag, texture size, screen-message fading, the hotkey help's timing, the
// loading screen's percentage and logo placement. Platform-free.
#include <string>

namespace ScreensaverRules
{
const float kAspect4x3 = 4.0f / 3.0f;
const float kEmulatedAspect = 1.6f;

// "MonitorAspectRatio" 0 5:4, 1 4:3, 2 16:9, 3 16:10, 4 the desktop's own
// (width / height); anything else keeps `current`. A desktop aspect outside
// 1..2 gives 4:3 and sets *invalid.
float AspectRatio(unsigned setting, unsigned desktopWidth, unsigned desktopHeight, float current, bool* invalid);

struct Letterbox
{
    unsigned y;
    unsigned height;
};
// The 16:10 band of a viewport of width x height on a monitor of `aspect`.
Letterbox LetterboxFor(unsigned width, unsigned height, float aspect);

// Whether the widescreen emulation starts on: wanted, not in wallpaper mode,
// and a 5:4 or 4:3 monitor (set so, or a desktop narrower than 1.59).
bool WidescreenEmulation(int widescreenMode, int aspectSetting, unsigned desktopWidth, unsigned desktopHeight,
                         bool wallpaper);
// A monitor this wide has nothing to emulate: the W hotkey is left out.
bool IsWideMonitor(float aspect);

// "GammaControl" held to the slider's 0..100; *clamped tells it was outside.
int ClampGammaSetting(int setting, bool* clamped);
// 0..100 to 0.5..1.5.
float GammaFromSetting(int setting);
// 50 leaves the ramp as it is.
inline bool GammaRampNeeded(int setting) { return setting != 50; }

// Text size factor by back-buffer width (up to 640, 800, 1024, 1280, wider).
float TextScaleFactor(unsigned backBufferWidth, const float factors[4]);
// The overlay text scale; a font without a line height keeps the factor alone.
float OverlayTextScale(unsigned backBufferHeight, int lineHeight, float factor);

// The "Language" registry text to a language tag: "3: de", "3: fr" and
// "3: ru" exactly, "en" for everything else.
std::string LanguageFromRegistry(const std::string& text);

// Halves a texture's size unless high-quality textures are on.
void ModifyTextureSize(int highQuality, unsigned* width, unsigned* height);

// A screen message's alpha at t seconds after its start, faded in over
// fadeIn and out over the last fadeOut of its duration.
float MessageAlpha(float t, float duration, float alpha, float fadeIn, float fadeOut);
inline bool MessageVisible(float t, float duration) { return t > 0.0f && t < duration; }
inline bool MessageExpired(float t, float duration) { return t > duration; }

// A colour byte from a tuning value: truncated and masked to 8 bits.
inline int ColourByte(float value) { return int(value) & 0xFF; }

// The hotkey help list: line n shows from n x 0.1 s and lasts 7 - n x 0.25 s.
const float kHelpFirstDuration = 7.0f;
const float kHelpLineDelay = 0.1f;
const float kHelpLineShorten = 0.25f;
// A help press while a list shows. Returns false when nothing is to be done
// (the list still appears or already fades); else *shift is how far the
// list's messages and the help clock move on so that it starts to fade now.
bool HelpDismissShift(float helpClock, float totalDelay, float lastDuration, float fadeIn, float fadeOut,
                      float* shift);

// The loading percentage: 0 without expected steps.
unsigned LoadingPercentage(unsigned done, unsigned expected);

struct Rect
{
    int left, top, right, bottom;
};
// The logo's place on a width x height screen of `aspect`: never wider than
// its image, proportions kept, centred.
Rect LogoRect(unsigned imageWidth, unsigned imageHeight, unsigned width, unsigned height, float aspect);
} // namespace ScreensaverRules
