#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "RenderStateManager.h"
#include "RenderToDesktop.h"
#include "TestDevice.h"
#include "d3dapp.h"

namespace {

// Two X8R8G8B8 pixels as bytes (blue, green, red, x).
std::vector<BYTE> Pixels(std::initializer_list<uint32_t> colours)
{
    std::vector<BYTE> out;
    for (uint32_t c : colours)
        for (int i = 0; i < 4; ++i)
            out.push_back(BYTE(c >> (8 * i)));
    return out;
}

TEST(DesktopYuvTest, ConvertsPairsInTheOverlaysByteOrder)
{
    struct Case
    {
        uint32_t p0, p1;
        bool uyvy, preconverted;
        BYTE expect[4];
    };
    const Case cases[] = {
        {0xFFFFFF, 0xFFFFFF, true, false, {129, 233, 129, 233}},
        {0x000000, 0x000000, false, false, {16, 128, 16, 128}},
        {0xFF0000, 0xFF0000, true, false, {91, 79, 239, 79}},
        {0x0000FF, 0x00FF00, true, false, {147, 41, 73, 145}},
        {0x506070, 0x10A0B0, false, true, {0x50, 0x90, 0x10, 0x80}},
    };
    for (const Case& c : cases)
    {
        const std::vector<BYTE> frame = Pixels({c.p0, c.p1});
        BYTE out[4] = {};
        ConvertFrameToYuv(frame.data(), 2, 8, out, 4, 2, 1, c.uyvy, c.preconverted);
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(out[i], c.expect[i]) << std::hex << c.p0 << " " << c.p1 << " byte " << i;
    }
}

TEST(DesktopYuvTest, FollowsTheFramePitchAndCropsOrPadsToTheOverlayWidth)
{
    // Two rows of four pixels with four bytes of padding after each row.
    std::vector<BYTE> frame = Pixels({0, 0, 0, 0, 0xEEEEEEEE, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xEEEEEEEE});
    const int pitch = 20;
    struct Case
    {
        int overlayWidth;
        std::vector<BYTE> row1;
    };
    const Case cases[] = {
        {2, {129, 233, 129, 233}},                                       // cropped
        {4, {129, 233, 129, 233, 129, 233, 129, 233}},                   // whole
        {6, {129, 233, 129, 233, 129, 233, 129, 233, 128, 16, 128, 16}}, // padded with black
    };
    for (const Case& c : cases)
    {
        const int destPitch = c.overlayWidth * 2 + 8;
        std::vector<BYTE> dest(size_t(destPitch) * 2, 0x77);
        ConvertFrameToYuv(frame.data(), 4, pitch, dest.data(), destPitch, c.overlayWidth, 2, true, false);
        EXPECT_EQ(std::vector<BYTE>(dest.begin() + destPitch, dest.begin() + destPitch + c.overlayWidth * 2), c.row1)
            << c.overlayWidth;
        EXPECT_EQ(dest[size_t(c.overlayWidth) * 2], 0x77) << "wrote past the row";
        EXPECT_EQ(dest[0], 128);
        EXPECT_EQ(dest[1], 16);
    }
}

TEST(DesktopOverlayTest, WidthStretchAndAlignment)
{
    struct Case
    {
        int frame, screen;
        float maxStretch;
        bool align;
        DWORD alignment;
        int width;
    };
    const Case cases[] = {
        {1024, 1024, 0.0f, false, 0, 1024}, {640, 1920, 2.0f, false, 0, 960}, {640, 1920, 4.0f, false, 0, 640},
        {1023, 1024, 0.0f, true, 8, 1016},  {1280, 1024, 0.0f, false, 0, 1024}, {1000, 1024, 0.0f, true, 0, 1000},
    };
    for (const Case& c : cases)
    {
        float stretch = 0;
        EXPECT_EQ(ComputeOverlayWidth(c.frame, c.screen, c.maxStretch, c.align, c.alignment, &stretch), c.width)
            << c.frame << " on " << c.screen;
        EXPECT_FLOAT_EQ(stretch, float(c.screen) / float(c.frame));
    }
}

TEST(DesktopOverlayTest, BitHelpersAndPixelFormats)
{
    EXPECT_EQ(DDrawCountBits(0xF800), 5u);
    EXPECT_EQ(DDrawCountBits(0), 0u);
    EXPECT_EQ(DDrawLowestSetBit(0x07E0), 5u);
    EXPECT_EQ(DDrawLowestSetBit(0), 0u);
    EXPECT_TRUE(DDrawHasFlags(0x16, 0x06));
    EXPECT_FALSE(DDrawHasFlags(0x12, 0x06));
    DDPIXELFORMAT pf = {};
    pf.dwSize = sizeof(pf);
    pf.dwRGBBitCount = 16;
    pf.dwRBitMask = 0xF800;
    pf.dwGBitMask = 0x07E0;
    pf.dwBBitMask = 0x001F;
    DDrawPixelFormatInfo info;
    DDrawDescribePixelFormat(pf, &info);
    EXPECT_EQ(info.shift[0], 11);
    EXPECT_EQ(info.shift[1], 5);
    EXPECT_EQ(info.max[1], 63);
    EXPECT_EQ(info.loss[0], 3);
    EXPECT_EQ(info.loss[3], 8);
    EXPECT_EQ(info.bytesPerPixel, 2);
}

// The desktop as the tests keep it.
struct FakeDesktop
{
    static std::string style, wallpaper;
    static bool styleReadable;
    static COLORREF colour;
    static int wallpaperSets;
    static void Reset()
    {
        style = "0";
        wallpaper = "C:\\Users\\me\\holiday.bmp";
        styleReadable = true;
        colour = 0x336699;
        wallpaperSets = 0;
    }
};
std::string FakeDesktop::style, FakeDesktop::wallpaper;
bool FakeDesktop::styleReadable;
COLORREF FakeDesktop::colour;
int FakeDesktop::wallpaperSets;

const DesktopSettings kFakeDesktop = {
    [](std::string& text) {
        if (FakeDesktop::styleReadable)
            text = FakeDesktop::style;
        return FakeDesktop::styleReadable;
    },
    [](const std::string& text) {
        FakeDesktop::style = text;
        return true;
    },
    [] { return FakeDesktop::wallpaper; },
    [](const std::string& path) {
        FakeDesktop::wallpaper = path;
        ++FakeDesktop::wallpaperSets;
        return true;
    },
    [] { return FakeDesktop::colour; },
    [](COLORREF c) {
        FakeDesktop::colour = c;
        return true;
    },
    [] {},
};

// A renderer that keeps what it was given.
class RecordingRenderer : public DesktopRenderer
{
public:
    RecordingRenderer(int width, int height)
    {
        m_Width = width;
        m_Height = height;
        m_bReady = true;
    }
    HRESULT DrawFrame(const BYTE* pixels, int pitch) override
    {
        frame.clear();
        for (int y = 0; y < m_Height; ++y)
            for (int x = 0; x < m_Width; ++x)
                frame.push_back(reinterpret_cast<const uint32_t*>(pixels + size_t(y) * pitch)[x] & 0xFFFFFF);
        ++frames;
        return S_OK;
    }
    HRESULT SetColorKey(COLORREF key) override
    {
        keys.push_back(key);
        return S_OK;
    }
    uint32_t At(int x, int y) const { return frame[size_t(y) * m_Width + x]; }
    bool Preconverted() const { return m_bPreconverted; }

    std::vector<uint32_t> frame;
    std::vector<COLORREF> keys;
    int frames = 0;
};

class DesktopSettingsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        FakeDesktop::Reset();
        SetDesktopSettings(&kFakeDesktop);
    }
    void TearDown() override { SetDesktopSettings(nullptr); }
};

TEST_F(DesktopSettingsTest, TheWallpaperModeIsUndoneOnRestore)
{
    RenderToDesktop desktop;
    EXPECT_EQ(desktop.RestoreWallpaper(), E_FAIL) << "nothing saved yet";
    ASSERT_GT(desktop.GetBackgroundPath().size(), std::string("Background.bmp").size());
    EXPECT_EQ(desktop.GetBackgroundPath().substr(desktop.GetBackgroundPath().size() - 15), "\\Background.bmp");

    desktop.AdoptRenderer(std::make_unique<RecordingRenderer>(4, 4));
    EXPECT_EQ(desktop.SaveWallpaperState(), S_OK);
    EXPECT_EQ(desktop.SetBackgroundWallpaper(), S_OK);
    EXPECT_EQ(desktop.ApplyColorKey(), S_OK);
    EXPECT_EQ(FakeDesktop::style, "2");
    EXPECT_EQ(FakeDesktop::wallpaper, desktop.GetBackgroundPath());
    EXPECT_EQ(FakeDesktop::colour, kDesktopKeyColor);
    EXPECT_FALSE(desktop.IsWallpaperChanged());
    EXPECT_FALSE(desktop.IsWallpaperStyleChanged());
    EXPECT_FALSE(desktop.IsDesktopColorChanged());

    EXPECT_EQ(desktop.RestoreWallpaper(), S_OK);
    EXPECT_EQ(FakeDesktop::style, "0");
    EXPECT_EQ(FakeDesktop::wallpaper, "C:\\Users\\me\\holiday.bmp");
    EXPECT_EQ(FakeDesktop::colour, 0x336699u);
}

TEST_F(DesktopSettingsTest, AWallpaperSomebodyElseSetIsKept)
{
    RenderToDesktop desktop;
    desktop.AdoptRenderer(std::make_unique<RecordingRenderer>(4, 4));
    desktop.SaveWallpaperState();
    desktop.SetBackgroundWallpaper();
    desktop.ApplyColorKey();
    FakeDesktop::wallpaper = "D:\\new.jpg";
    FakeDesktop::colour = 0x123456;
    EXPECT_TRUE(desktop.IsWallpaperChanged());
    EXPECT_TRUE(desktop.IsDesktopColorChanged());
    const int sets = FakeDesktop::wallpaperSets;
    EXPECT_EQ(desktop.RestoreWallpaper(), S_OK);
    EXPECT_EQ(FakeDesktop::wallpaper, "D:\\new.jpg");
    EXPECT_EQ(FakeDesktop::wallpaperSets, sets) << "the style was put back first, so nothing is re-set";
    EXPECT_EQ(FakeDesktop::colour, 0x123456u);
}

TEST_F(DesktopSettingsTest, AnUnreadableStyleCountsAsChangedAndKeepsTheSavedText)
{
    FakeDesktop::styleReadable = false;
    RenderToDesktop desktop;
    desktop.SaveWallpaperState();
    EXPECT_EQ(desktop.GetSavedStyle(), "");
    EXPECT_TRUE(desktop.IsWallpaperStyleChanged());
    EXPECT_EQ(desktop.ApplyColorKey(), E_FAIL) << "no renderer";
    EXPECT_EQ(desktop.DrawFrame(nullptr, 0), E_FAIL);
}

class WallpaperApp : public CD3DApplication
{
public:
    using CD3DApplication::m_bWallpaperMode;
    using CD3DApplication::m_bWallpaperRunning;
    using CD3DApplication::m_d3dsdBackBuffer;
    using CD3DApplication::m_dwOverlayShader;
    using CD3DApplication::m_pd3dDevice;
    using CD3DApplication::m_pOverlayTexture;
    using CD3DApplication::m_pRenderToDesktop;
    using CD3DApplication::m_pWallpaperLockable;
    using CD3DApplication::m_pWallpaperTexture;
};

class WallpaperFrameTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NE(m_Device.Get(), nullptr);
        RenderStateManager::Instance().SetDevice(m_Device.Get());
        m_App.m_pd3dDevice = ComRef<IDirect3DDevice8>::Share(m_Device.Get());
        m_App.m_bWallpaperMode = true;
        m_App.m_d3dsdBackBuffer.Width = kW;
        m_App.m_d3dsdBackBuffer.Height = kH;
        ASSERT_EQ(m_App.CreateWallpaperTextures(), S_OK);
        m_App.m_pRenderToDesktop = std::make_unique<RenderToDesktop>();
        auto renderer = std::make_unique<RecordingRenderer>(kW, kH);
        m_pRenderer = renderer.get();
        m_App.m_pRenderToDesktop->AdoptRenderer(std::move(renderer));
        IDirect3DSurface8* level = nullptr;
        m_App.m_pWallpaperTexture->GetSurfaceLevel(0, &level);
        m_Device.Get()->GetRenderTarget(&m_pBackBuffer);
        m_Device.Get()->SetRenderTarget(level, nullptr);
        level->Release();
    }
    void TearDown() override
    {
        m_Device.Get()->SetRenderTarget(m_pBackBuffer, nullptr);
        m_pBackBuffer->Release();
        for (ComRef<IDirect3DTexture8>* t :
             {&m_App.m_pWallpaperTexture, &m_App.m_pWallpaperLockable, &m_App.m_pOverlayTexture})
            t->Reset();
        if (m_App.m_dwOverlayShader)
            m_Device.Get()->DeletePixelShader(m_App.m_dwOverlayShader);
        m_App.m_pd3dDevice.Reset();
        RenderStateManager::Instance().SetDevice(nullptr);
    }
    void DrawScene()
    {
        m_Device.Get()->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF336699, 1.0f, 0);
        const D3DRECT corner = {kW - 4, kH - 4, kW, kH};
        m_Device.Get()->Clear(1, &corner, D3DCLEAR_TARGET, 0xFFFF0000, 1.0f, 0);
    }

    static const int kW = 50, kH = 30; // a width whose rows are padded in many drivers
    TestDevice m_Device{64, 64};
    WallpaperApp m_App;
    RecordingRenderer* m_pRenderer = nullptr;
    IDirect3DSurface8* m_pBackBuffer = nullptr;
};

TEST_F(WallpaperFrameTest, FramesReachThePresenterAndTheColourKeyFollowsOnTheSecond)
{
    for (int frame = 1; frame <= 3; ++frame)
    {
        DrawScene();
        ASSERT_EQ(m_App.PresentToDesktop(), S_OK);
        EXPECT_EQ(m_pRenderer->frames, frame);
        EXPECT_EQ(m_pRenderer->keys.size(), frame >= 2 ? 1u : 0u) << frame;
    }
    EXPECT_EQ(m_pRenderer->keys[0], kDesktopKeyColor);
    EXPECT_EQ(m_pRenderer->At(0, 0), 0x336699u);
    EXPECT_EQ(m_pRenderer->At(kW - 5, kH - 1), 0x336699u);
    EXPECT_EQ(m_pRenderer->At(kW - 1, kH - 1), 0xFF0000u);
    EXPECT_EQ(m_pRenderer->At(kW - 4, kH - 4), 0xFF0000u);
}

TEST_F(WallpaperFrameTest, TheOverlayShaderConvertsFramesToYuv)
{
    m_App.CreateOverlayShader();
    ASSERT_NE(m_App.m_dwOverlayShader, 0u) << "Overlay.psh from the program's resources";
    EXPECT_TRUE(m_pRenderer->Preconverted());
    DrawScene();
    ASSERT_EQ(m_App.PresentToDesktop(), S_OK);
    // BT.601: Y in red, V in green, U in blue.
    auto isNear = [](uint32_t got, int r, int g, int b) {
        return std::abs(int(got >> 16 & 255) - r) <= 3 && std::abs(int(got >> 8 & 255) - g) <= 3 &&
               std::abs(int(got & 255) - b) <= 3;
    };
    const uint32_t blueish = m_pRenderer->At(1, 1), red = m_pRenderer->At(kW - 1, kH - 1);
    const float r = 0x33 / 255.0f, g = 0x66 / 255.0f, b = 0x99 / 255.0f;
    EXPECT_TRUE(isNear(blueish, int((0.257f * r + 0.504f * g + 0.098f * b + 0.062f) * 255 + 0.5f),
                     int((0.439f * r - 0.368f * g - 0.071f * b + 0.5f) * 255 + 0.5f),
                     int((-0.148f * r - 0.291f * g + 0.439f * b + 0.5f) * 255 + 0.5f)))
        << std::hex << blueish;
    EXPECT_TRUE(isNear(red, 81, 239, 90)) << std::hex << red;
    // The next frame draws into the wallpaper texture again.
    IDirect3DSurface8 *current = nullptr, *level = nullptr;
    m_Device.Get()->GetRenderTarget(&current);
    m_App.m_pWallpaperTexture->GetSurfaceLevel(0, &level);
    EXPECT_EQ(current, level);
    current->Release();
    level->Release();
}

} // namespace
