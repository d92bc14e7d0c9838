// The screensaver application's display, timing and progress arithmetic.
#include <gtest/gtest.h>

#include "ScreensaverRules.h"

using namespace ScreensaverRules;

TEST(ScreensaverRules, AspectRatioBySetting)
{
    struct Case
    {
        unsigned setting, width, height;
        float expected;
        bool invalid;
    } cases[] = {
        {0, 0, 0, 1.25f, false},          {1, 0, 0, 4.0f / 3.0f, false},     {2, 0, 0, 16.0f / 9.0f, false},
        {3, 0, 0, 1.6f, false},           {4, 1280, 1024, 1.25f, false},     {4, 1680, 1050, 1.6f, false},
        {4, 800, 1280, 4.0f / 3.0f, true}, {4, 3000, 1000, 4.0f / 3.0f, true}, {4, 1024, 0, 4.0f / 3.0f, true},
        {5, 1024, 768, 1.7f, false},      {unsigned(-1), 0, 0, 1.7f, false},
    };
    for (const Case& c : cases)
    {
        bool invalid = !c.invalid;
        EXPECT_FLOAT_EQ(c.expected, AspectRatio(c.setting, c.width, c.height, 1.7f, &invalid))
            << c.setting << " " << c.width << "x" << c.height;
        EXPECT_EQ(c.invalid, invalid) << c.setting << " " << c.width << "x" << c.height;
    }
}

TEST(ScreensaverRules, LetterboxBand)
{
    struct Case
    {
        unsigned width, height;
        float aspect;
        unsigned y, band;
    } cases[] = {
        {1280, 1024, 1.25f, 112, 800}, // trunc(1024 x 1.25 / 1.6)
        {1024, 768, 4.0f / 3.0f, 64, 640},
        {1680, 1050, 1.6f, 0, 1050},
        {0, 768, 1.25f, 0, 768}, // no width: the viewport stays whole
    };
    for (const Case& c : cases)
    {
        const Letterbox box = LetterboxFor(c.width, c.height, c.aspect);
        EXPECT_EQ(c.band, box.height) << c.width << "x" << c.height;
        EXPECT_EQ(c.y, box.y) << c.width << "x" << c.height;
    }
}

TEST(ScreensaverRules, WidescreenEmulationChoice)
{
    struct Case
    {
        int mode, setting;
        unsigned width, height;
        bool wallpaper, on;
    } cases[] = {
        {1, 0, 0, 0, false, true},         {1, 1, 0, 0, false, true},       {1, 2, 0, 0, false, false},
        {1, 3, 0, 0, false, false},        {1, 5, 0, 0, false, false},      {1, 4, 1280, 1024, false, true},
        {1, 4, 1680, 1050, false, false},  {0, 1, 1280, 1024, false, false}, {1, 1, 1280, 1024, true, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.on, WidescreenEmulation(c.mode, c.setting, c.width, c.height, c.wallpaper))
            << c.mode << " " << c.setting << " " << c.width << "x" << c.height;
    EXPECT_TRUE(IsWideMonitor(1.6f));
    EXPECT_TRUE(IsWideMonitor(16.0f / 9.0f));
    EXPECT_FALSE(IsWideMonitor(1.59f));
    EXPECT_FALSE(IsWideMonitor(4.0f / 3.0f));
}

TEST(ScreensaverRules, GammaFromSlider)
{
    struct Case
    {
        int setting, held;
        bool clamped;
        float gamma;
        bool ramp;
    } cases[] = {
        {50, 50, false, 1.0f, false}, {49, 49, false, 0.99f, true}, {51, 51, false, 1.01f, true},
        {0, 0, false, 0.5f, true},    {100, 100, false, 1.5f, true}, {-50, 0, true, 0.5f, true},
        {-400, 0, true, 0.5f, true},  {250, 100, true, 1.5f, true},
    };
    for (const Case& c : cases)
    {
        bool clamped = !c.clamped;
        const int held = ClampGammaSetting(c.setting, &clamped);
        EXPECT_EQ(c.held, held) << c.setting;
        EXPECT_EQ(c.clamped, clamped) << c.setting;
        EXPECT_FLOAT_EQ(c.gamma, GammaFromSetting(held)) << c.setting;
        EXPECT_GT(GammaFromSetting(held), 0.0f) << c.setting;
        EXPECT_EQ(c.ramp, GammaRampNeeded(held)) << c.setting;
    }
}

TEST(ScreensaverRules, TextScaleByWidth)
{
    const float factors[4] = {1.5f, 1.35f, 1.2f, 1.1f};
    const struct
    {
        unsigned width;
        float factor;
    } cases[] = {{320, 1.5f},  {640, 1.5f},  {641, 1.35f}, {800, 1.35f}, {1024, 1.2f},
                 {1152, 1.1f}, {1280, 1.1f}, {1281, 1.0f}, {1920, 1.0f}};
    for (const auto& c : cases)
        EXPECT_FLOAT_EQ(c.factor, TextScaleFactor(c.width, factors)) << c.width;

    EXPECT_FLOAT_EQ(1.2f * 15.0f / 43.0f, OverlayTextScale(768, 43, 1.2f));
    EXPECT_FLOAT_EQ(2.0f * 15.0f / 30.0f, OverlayTextScale(1536, 30, 1.0f));
    // A font that failed to load has no line height: no division by it.
    EXPECT_FLOAT_EQ(1.2f, OverlayTextScale(768, 0, 1.2f));
}

TEST(ScreensaverRules, LanguageTags)
{
    const struct
    {
        const char* text;
        const char* tag;
    } cases[] = {{"3: de", "de"}, {"3: fr", "fr"}, {"3: ru", "ru"}, {"3: en", "en"}, {"3: DE", "en"},
                 {"de", "en"},    {"3: de ", "en"}, {"", "en"},      {"2: 1", "en"}};
    for (const auto& c : cases)
        EXPECT_EQ(c.tag, LanguageFromRegistry(c.text)) << "\"" << c.text << "\"";
}

TEST(ScreensaverRules, TextureSizeModifier)
{
    const struct
    {
        int highQuality;
        unsigned w, h, outW, outH;
    } cases[] = {{1, 512, 256, 512, 256}, {0, 512, 256, 256, 128}, {0, 1, 3, 0, 1}, {2, 64, 64, 64, 64}};
    for (const auto& c : cases)
    {
        unsigned w = c.w, h = c.h;
        ModifyTextureSize(c.highQuality, &w, &h);
        EXPECT_EQ(c.outW, w);
        EXPECT_EQ(c.outH, h);
    }
}

TEST(ScreensaverRules, MessageAlphaOverTime)
{
    // A 2 s message, fades 0.25 s.
    const struct
    {
        float t, alpha;
    } cases[] = {{0.0f, 0.0f}, {0.125f, 0.5f}, {0.25f, 1.0f}, {1.0f, 1.0f}, {1.75f, 1.0f}, {1.875f, 0.5f},
                 {2.0f, 0.0f}};
    for (const auto& c : cases)
        EXPECT_NEAR(c.alpha, MessageAlpha(c.t, 2.0f, 1.0f, 0.25f, 0.25f), 1e-5f) << c.t;
    // Shorter than both fades: both factors at once, at most 0.36.
    EXPECT_NEAR(0.36f, MessageAlpha(0.15f, 0.3f, 1.0f, 0.25f, 0.25f), 1e-5f);
    EXPECT_NEAR(0.8f * 0.36f, MessageAlpha(0.15f, 0.3f, 0.8f, 0.25f, 0.25f), 1e-5f);
    EXPECT_FALSE(MessageVisible(0.0f, 1.0f));
    EXPECT_TRUE(MessageVisible(0.5f, 1.0f));
    EXPECT_FALSE(MessageVisible(1.0f, 1.0f));
    EXPECT_FALSE(MessageExpired(1.0f, 1.0f));
    EXPECT_TRUE(MessageExpired(1.01f, 1.0f));
    EXPECT_EQ(178, ColourByte(178.9f));
    EXPECT_EQ(0x2C, ColourByte(300.0f));
}

TEST(ScreensaverRules, HelpDismissTiming)
{
    // Five lines listed: total delay 0.5 s, last duration 5.75 s.
    const float total = 0.5f, last = 5.75f, fade = 0.25f;
    float shift = -1.0f;
    EXPECT_FALSE(HelpDismissShift(0.2f, total, last, fade, fade, &shift)); // still appearing
    EXPECT_FALSE(HelpDismissShift(0.75f, total, last, fade, fade, &shift));
    EXPECT_FALSE(HelpDismissShift(6.0f, total, last, fade, fade, &shift)); // already fading
    ASSERT_TRUE(HelpDismissShift(1.75f, total, last, fade, fade, &shift));
    EXPECT_FLOAT_EQ(last - (1.75f - 0.75f) - fade, shift);
    // After the shift the list fades: a further press does nothing.
    EXPECT_GE(1.75f + shift, last + total - fade);
    EXPECT_FALSE(HelpDismissShift(1.75f + shift, total, last, fade, fade, &shift));
}

TEST(ScreensaverRules, LoadingPercentage)
{
    const struct
    {
        unsigned done, expected, percent;
    } cases[] = {{0, 0, 0},     {5, 0, 0},    {1, 200, 0},   {2, 200, 1},   {29, 100, 29},
                 {57, 100, 57}, {1, 3, 33},   {3, 3, 100},   {4, 3, 133}};
    for (const auto& c : cases)
        EXPECT_EQ(c.percent, LoadingPercentage(c.done, c.expected)) << c.done << "/" << c.expected;
}

TEST(ScreensaverRules, LogoPlacement)
{
    // 1920 x 1200 at 1.6: the image is not enlarged and keeps its shape.
    const Rect wide = LogoRect(600, 300, 1920, 1200, 1.6f);
    EXPECT_NEAR(500, wide.right - wide.left, 1);
    EXPECT_NEAR(250, wide.bottom - wide.top, 1);
    EXPECT_NEAR(2 * (wide.bottom - wide.top), wide.right - wide.left, 1);
    EXPECT_NEAR(710, wide.left, 1);
    EXPECT_NEAR(475, wide.top, 1);
    // 1024 x 768 at 4:3: the image size, centred.
    const Rect plain = LogoRect(512, 256, 1024, 768, 4.0f / 3.0f);
    EXPECT_EQ(256, plain.left);
    EXPECT_EQ(256, plain.top);
    EXPECT_EQ(768, plain.right);
    EXPECT_EQ(512, plain.bottom);
}
