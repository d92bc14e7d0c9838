#include "ScreensaverRules.h"

#include <cstdint>

namespace ScreensaverRules
{
float AspectRatio(unsigned setting, unsigned desktopWidth, unsigned desktopHeight, float current, bool* invalid)
{
    if (invalid)
        *invalid = false;
    switch (setting)
    {
    case 0: return 1.25f;
    case 1: return kAspect4x3;
    case 2: return 16.0f / 9.0f;
    case 3: return 1.6f;
    case 4:
    {
        const float aspect = desktopHeight ? float(desktopWidth) / float(desktopHeight) : 0.0f;
        if (aspect < 1.0f || aspect > 2.0f)
        {
            if (invalid)
                *invalid = true;
            return kAspect4x3;
        }
        return aspect;
    }
    default: return current;
    }
}

Letterbox LetterboxFor(unsigned width, unsigned height, float aspect)
{
    Letterbox box = {0, height};
    if (width == 0)
        return box;
    const float w = float(width), h = float(height);
    const float band = (w / kEmulatedAspect) * (aspect * h / w);
    box.height = band > 0.0f ? unsigned(band) : 0u;
    if (box.height > height)
        box.height = height;
    box.y = unsigned(float(height - box.height) * 0.5f);
    return box;
}

bool WidescreenEmulation(int widescreenMode, int aspectSetting, unsigned desktopWidth, unsigned desktopHeight,
                         bool wallpaper)
{
    if (wallpaper || widescreenMode == 0)
        return false;
    if (aspectSetting == 0 || aspectSetting == 1)
        return true;
    if (aspectSetting == 4 && desktopHeight)
        return float(desktopWidth) / float(desktopHeight) < 1.59f;
    return false;
}

bool IsWideMonitor(float aspect)
{
    return double(aspect) > 1.599999023841858;
}

int ClampGammaSetting(int setting, bool* clamped)
{
    const int held = setting < 0 ? 0 : setting > 100 ? 100 : setting;
    if (clamped)
        *clamped = held != setting;
    return held;
}

float GammaFromSetting(int setting)
{
    return float(setting / 100.0 + 0.5);
}

float TextScaleFactor(unsigned backBufferWidth, const float factors[4])
{
    if (backBufferWidth <= 640)
        return factors[0];
    if (backBufferWidth <= 800)
        return factors[1];
    if (backBufferWidth <= 1024)
        return factors[2];
    if (backBufferWidth <= 1280)
        return factors[3];
    return 1.0f;
}

float OverlayTextScale(unsigned backBufferHeight, int lineHeight, float factor)
{
    const float screen = float(backBufferHeight) / 768.0f;
    if (lineHeight <= 0)
        return screen * factor;
    return screen * 15.0f / float(lineHeight) * factor;
}

std::string LanguageFromRegistry(const std::string& text)
{
    if (text == "3: de")
        return "de";
    if (text == "3: fr")
        return "fr";
    if (text == "3: ru")
        return "ru";
    return "en";
}

void ModifyTextureSize(int highQuality, unsigned* width, unsigned* height)
{
    if (highQuality != 0)
        return;
    *width /= 2;
    *height /= 2;
}

float MessageAlpha(float t, float duration, float alpha, float fadeIn, float fadeOut)
{
    float a = alpha;
    if (t < fadeIn)
        a = a * t / fadeIn;
    if (t > duration - fadeOut)
        a = a * (duration - t) / fadeOut;
    return a;
}

bool HelpDismissShift(float helpClock, float totalDelay, float lastDuration, float fadeIn, float fadeOut,
                      float* shift)
{
    if (helpClock <= fadeIn + totalDelay || helpClock >= lastDuration + totalDelay - fadeOut)
        return false;
    *shift = lastDuration - (helpClock - (fadeIn + totalDelay)) - fadeOut;
    return true;
}

unsigned LoadingPercentage(unsigned done, unsigned expected)
{
    if (expected == 0)
        return 0;
    return unsigned(uint64_t(done) * 100u / expected);
}

Rect LogoRect(unsigned imageWidth, unsigned imageHeight, unsigned width, unsigned height, float aspect)
{
    float sx = float(width) / 1024.0f, sy = float(height) / 768.0f;
    if (sx > 1.0f)
    {
        sy = sy / sx;
        sx = 1.0f;
    }
    if (aspect > 0.0f)
        sx = sx / (aspect * 0.75f);
    const int w = int(float(imageWidth) * sx), h = int(float(imageHeight) * sy);
    Rect r;
    r.left = int(float(int(width) - w) * 0.5f);
    r.top = int(float(int(height) - h) * 0.5f);
    r.right = r.left + w;
    r.bottom = r.top + h;
    return r;
}
} // namespace ScreensaverRules
