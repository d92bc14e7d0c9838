#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "BlurRender.h"
#include "ForwardingDevice.h"
#include "Log.h"
#include "RenderStateManager.h"
#include "TestDevice.h"

namespace {

const UINT kSize = 64;

class BlurTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NE(m_Device.Get(), nullptr);
        RenderStateManager::Instance().SetDevice(&m_Fake);
        m_LogStart = g_Log.GetText().size();
        ASSERT_EQ(m_Device.Get()->CreateTexture(kSize, kSize, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &m_pSource),
                  S_OK);
        D3DLOCKED_RECT lr;
        ASSERT_EQ(m_pSource->LockRect(0, &lr, nullptr, 0), S_OK);
        for (UINT y = 0; y < kSize; ++y)
            for (UINT x = 0; x < kSize; ++x)
                reinterpret_cast<DWORD*>(static_cast<BYTE*>(lr.pBits) + y * lr.Pitch)[x] =
                    (x == kSize / 2 && y == kSize / 2) ? 0xFFFFFFFF : 0xFF000000;
        m_pSource->UnlockRect(0);
    }
    void TearDown() override
    {
        if (m_pSource)
            m_pSource->Release();
        RenderStateManager::Instance().SetDevice(nullptr);
    }
    std::string NewLog() const { return g_Log.GetText().substr(m_LogStart); }

    // The green channel of every texel of a render-target texture.
    std::vector<int> ReadGreen(IDirect3DTexture8* texture)
    {
        std::vector<int> out;
        IDirect3DSurface8 *level = nullptr, *copy = nullptr;
        texture->GetSurfaceLevel(0, &level);
        D3DSURFACE_DESC d;
        level->GetDesc(&d);
        if (SUCCEEDED(m_Device.Get()->CreateImageSurface(d.Width, d.Height, d.Format, &copy)) &&
            SUCCEEDED(m_Device.Get()->CopyRects(level, nullptr, 0, copy, nullptr)))
        {
            D3DLOCKED_RECT lr;
            if (SUCCEEDED(copy->LockRect(&lr, nullptr, D3DLOCK_READONLY)))
            {
                for (UINT y = 0; y < d.Height; ++y)
                    for (UINT x = 0; x < d.Width; ++x)
                        out.push_back(
                            (reinterpret_cast<const DWORD*>(static_cast<const BYTE*>(lr.pBits) + y * lr.Pitch)[x] >> 8) &
                            0xFF);
                copy->UnlockRect();
            }
        }
        if (copy)
            copy->Release();
        level->Release();
        return out;
    }

    IDirect3DTexture8* RunBlur(CRandomBlur& blur)
    {
        m_Device.Get()->BeginScene();
        IDirect3DTexture8* result = blur.Blur();
        m_Device.Get()->EndScene();
        return result;
    }

    TestDevice m_Device{32, 32};
    ForwardingDevice m_Fake{m_Device.Get()};
    IDirect3DTexture8* m_pSource = nullptr;
    size_t m_LogStart = 0;
};

TEST_F(BlurTest, ABrightTexelSpreadsAndKeepsItsBrightness)
{
    std::srand(11);
    CRandomBlur blur(&m_Fake, m_pSource, 0);
    ASSERT_TRUE(blur.IsReady());
    RenderStateManager& rsm = RenderStateManager::Instance();
    for (DWORD s = 0; s < 8; ++s)
    {
        rsm.SetTextureStageState(s, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
        rsm.SetTextureStageState(s, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
    }
    blur.SetStrength(200); // a spread of about 1.25 texels at this size
    IDirect3DTexture8* result = RunBlur(blur);
    ASSERT_NE(result, nullptr);
    const std::vector<int> g = ReadGreen(result);
    ASSERT_EQ(g.size(), size_t(kSize * kSize));
    int total = 0, lit = 0;
    for (int v : g)
    {
        total += v;
        lit += v > 0;
    }
    const int centre = g[kSize / 2 * kSize + kSize / 2];
    EXPECT_LT(centre, 128);
    EXPECT_GE(lit, 9);
    EXPECT_NEAR(total, 255, 40) << "centre " << centre << ", lit " << lit;
    // Far from the texel nothing arrives.
    EXPECT_EQ(g[0], 0);
    EXPECT_EQ(g[kSize * kSize - 1], 0);
}

TEST_F(BlurTest, LeavesTheDeviceAsItFoundIt)
{
    std::srand(3);
    CRandomBlur blur(&m_Fake, m_pSource, 0);
    IDirect3DDevice8* dev = m_Device.Get();
    const D3DVIEWPORT8 before = {1, 2, 20, 25, 0.0f, 1.0f};
    dev->SetViewport(&before);
    IDirect3DSurface8 *rt0 = nullptr, *z0 = nullptr;
    dev->GetRenderTarget(&rt0);
    dev->GetDepthStencilSurface(&z0);
    rt0->AddRef();
    const ULONG refs = rt0->Release();
    blur.SetStrength(19);
    for (int i = 0; i < 2; ++i)
        ASSERT_NE(RunBlur(blur), nullptr);
    IDirect3DSurface8 *rt1 = nullptr, *z1 = nullptr;
    dev->GetRenderTarget(&rt1);
    dev->GetDepthStencilSurface(&z1);
    EXPECT_EQ(rt1, rt0);
    EXPECT_EQ(z1, z0);
    D3DVIEWPORT8 vp;
    dev->GetViewport(&vp);
    EXPECT_EQ(vp.X, 1u);
    EXPECT_EQ(vp.Width, 20u);
    EXPECT_EQ(vp.Height, 25u);
    rt1->Release();
    z1->Release();
    rt0->AddRef();
    EXPECT_EQ(rt0->Release(), refs);
    rt0->Release();
    z0->Release();
}

TEST_F(BlurTest, PassesAlternateTargetsAndOffDrawsNothing)
{
    struct Case
    {
        int level;
        int expectDraws; // on a device of four stages
        int target;      // -1: the source
    };
    const Case cases[] = {{0, 0, -1}, {1, 0, -1}, {3, 3, 0}, {4, 4, 1}, {19, 5, 0}};
    m_Fake.maxTextures = 4;
    CRandomBlur blur(&m_Fake, m_pSource, 0);
    for (const Case& c : cases)
    {
        m_Fake.drawStrides.clear();
        blur.SetStrength(c.level);
        IDirect3DTexture8* result = RunBlur(blur);
        EXPECT_EQ(int(m_Fake.drawStrides.size()), c.expectDraws) << c.level;
        EXPECT_EQ(result, c.target < 0 ? m_pSource : blur.GetTarget(c.target)) << c.level;
    }
}

TEST_F(BlurTest, TapsAreGroupedByTheDevicesStages)
{
    struct Case
    {
        DWORD stages;
        std::vector<UINT> stridesPerPass;
    };
    const Case cases[] = {{2, {32, 32}}, {3, {40, 24}}, {4, {48}}, {1, {24, 24, 24, 24}}};
    for (const Case& c : cases)
    {
        m_Fake.maxTextures = c.stages;
        CRandomBlur blur(&m_Fake, m_pSource, 16);
        EXPECT_EQ(blur.GetMaxTaps(), int(c.stages));
        blur.SetStrength(5);
        m_Fake.drawStrides.clear();
        ASSERT_NE(RunBlur(blur), nullptr);
        std::vector<UINT> expected;
        for (int pass = 0; pass < 5; ++pass)
            expected.insert(expected.end(), c.stridesPerPass.begin(), c.stridesPerPass.end());
        EXPECT_EQ(m_Fake.drawStrides, expected) << c.stages << " stages";
        D3DSURFACE_DESC d;
        blur.GetTarget(0)->GetLevelDesc(0, &d);
        EXPECT_EQ(d.Width, 16u);
    }
}

TEST_F(BlurTest, OffsetTableAndTextureCounts)
{
    CRandomBlur blur(&m_Fake, m_pSource, 0);
    EXPECT_EQ(g_BlurOffsets.size(), 10000u);
    EXPECT_EQ(CRandomBlur::GetTextureFVF(0), 0u);
    EXPECT_EQ(CRandomBlur::GetTextureFVF(1), DWORD(D3DFVF_TEX1));
    EXPECT_EQ(CRandomBlur::GetTextureFVF(8), DWORD(D3DFVF_TEX8));
    EXPECT_EQ(CRandomBlur::GetTextureFVF(9), 0u);
    EXPECT_NE(NewLog().find("CRandomBlur::GetTextureFVF bad texture count 9.\n"), std::string::npos);
    CRandomBlur missing(&m_Fake, nullptr, 0);
    EXPECT_FALSE(missing.IsReady());
    EXPECT_EQ(missing.Blur(), nullptr);
}

} // namespace
