#include <gtest/gtest.h>

#include <string>

#include "ForwardingDevice.h"
#include "Log.h"
#include "RenderStateManager.h"
#include "RenderToTexture.h"
#include "TestDevice.h"

namespace {

// The reference count of a COM object, read without changing it.
ULONG Refs(IUnknown* p)
{
    p->AddRef();
    return p->Release();
}

class RenderToTextureTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_NE(m_Device.Get(), nullptr);
        RenderStateManager::Instance().SetDevice(&m_Fake);
        m_LogStart = g_Log.GetText().size();
    }
    void TearDown() override
    {
        RenderToTexture::ReleaseDepthBufferCache();
        RenderStateManager::Instance().SetDevice(nullptr);
    }
    std::string NewLog() const { return g_Log.GetText().substr(m_LogStart); }

    TestDevice m_Device{64, 48};
    ForwardingDevice m_Fake{m_Device.Get()};
    size_t m_LogStart = 0;
};

TEST_F(RenderToTextureTest, SizeFollowsThePowerOfTwoCap)
{
    struct Case
    {
        bool pow2;
        UINT w, h, expectW, expectH;
    };
    const Case cases[] = {{true, 600, 400, 512, 512}, {false, 600, 400, 600, 400}, {true, 256, 128, 256, 128},
                          {false, 0, 0, 64, 48}};
    for (const Case& c : cases)
    {
        m_Fake.addTextureCaps = c.pow2 ? D3DPTEXTURECAPS_POW2 : 0;
        m_Fake.removeTextureCaps = c.pow2 ? 0 : D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_NONPOW2CONDITIONAL;
        RenderToTexture target;
        ASSERT_EQ(target.Create(&m_Fake, false, c.w, c.h, false), S_OK) << c.w;
        EXPECT_EQ(target.GetWidth(), c.expectW) << c.w << " pow2 " << c.pow2;
        EXPECT_EQ(target.GetHeight(), c.expectH) << c.w << " pow2 " << c.pow2;
        D3DSURFACE_DESC d;
        target.GetTexture()->GetLevelDesc(0, &d);
        EXPECT_EQ(d.Width, c.expectW);
        EXPECT_EQ(d.Usage, (DWORD)D3DUSAGE_RENDERTARGET);
    }
}

TEST_F(RenderToTextureTest, FullSizeTargetSharesThePrimaryDepthBuffer)
{
    RenderToTexture target;
    ASSERT_EQ(target.Create(&m_Fake, true, 0, 0, true), S_OK);
    IDirect3DSurface8* primary = nullptr;
    m_Device.Get()->GetDepthStencilSurface(&primary);
    EXPECT_EQ(target.GetDepthSurface(), primary);
    primary->Release();
    EXPECT_EQ(m_Fake.depthSurfacesMade, 0);
    EXPECT_NE(NewLog().find(" RenderToTexture:  using primary depth buffer 64 x 48 x D3DFMT_D24S8\n"),
              std::string::npos)
        << NewLog();
}

TEST_F(RenderToTextureTest, TargetsOfOneSizeShareACachedDepthBuffer)
{
    RenderToTexture a, b, c;
    ASSERT_EQ(a.Create(&m_Fake, true, 32, 32, true), S_OK);
    ASSERT_EQ(b.Create(&m_Fake, true, 32, 32, true), S_OK);
    ASSERT_EQ(c.Create(&m_Fake, true, 16, 16, true), S_OK);
    EXPECT_EQ(a.GetDepthSurface(), b.GetDepthSurface());
    EXPECT_NE(a.GetDepthSurface(), c.GetDepthSurface());
    EXPECT_EQ(m_Fake.depthSurfacesMade, 2);
    EXPECT_NE(NewLog().find("found in cache\n"), std::string::npos);
}

TEST_F(RenderToTextureTest, DepthFallsBackToD16ThenGivesUp)
{
    m_Fake.refusedDepthFormats = {D3DFMT_D24S8};
    RenderToTexture target;
    ASSERT_EQ(target.Create(&m_Fake, true, 32, 32, false), S_OK);
    D3DSURFACE_DESC d;
    target.GetDepthSurface()->GetDesc(&d);
    EXPECT_EQ(d.Format, D3DFMT_D16);

    m_Fake.refusedDepthFormats = {D3DFMT_D24S8, D3DFMT_D16};
    RenderToTexture failing;
    EXPECT_TRUE(FAILED(failing.Create(&m_Fake, true, 16, 16, false)));
    EXPECT_FALSE(failing.IsReady());
    EXPECT_EQ(failing.GetTexture(), nullptr);
    EXPECT_NE(NewLog().find("Error in ..\\src\\Graphics\\RenderToTexture, line 373\n"), std::string::npos);
    EXPECT_EQ(failing.Begin(true), E_FAIL);
    EXPECT_EQ(failing.End(), E_FAIL);
}

TEST_F(RenderToTextureTest, BeginBeforeCreateFails)
{
    RenderToTexture target;
    EXPECT_EQ(target.Begin(false), E_FAIL);
    EXPECT_NE(NewLog().find("Error in ..\\src\\Graphics\\RenderToTexture, line 405\n"), std::string::npos);
}

TEST_F(RenderToTextureTest, EndRestoresTargetDepthAndViewportAndDrawsIntoTheTexture)
{
    IDirect3DDevice8* dev = m_Device.Get();
    RenderToTexture target;
    ASSERT_EQ(target.Create(&m_Fake, true, 32, 32, false), S_OK);

    const D3DVIEWPORT8 before = {3, 4, 20, 30, 0.25f, 0.75f};
    ASSERT_EQ(dev->SetViewport(&before), S_OK);
    IDirect3DSurface8 *rt0 = nullptr, *z0 = nullptr;
    dev->GetRenderTarget(&rt0);
    dev->GetDepthStencilSurface(&z0);
    const ULONG rtRefs = Refs(rt0);

    for (int round = 0; round < 3; ++round)
    {
        ASSERT_EQ(target.Begin(true), S_OK);
        IDirect3DSurface8* rt = nullptr;
        dev->GetRenderTarget(&rt);
        IDirect3DSurface8* level = nullptr;
        target.GetTexture()->GetSurfaceLevel(0, &level);
        EXPECT_EQ(rt, level);
        rt->Release();
        level->Release();
        D3DVIEWPORT8 vp;
        dev->GetViewport(&vp);
        EXPECT_EQ(vp.Width, 32u);
        EXPECT_EQ(vp.X, 0u);
        dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF00FF00, 1.0f, 0);
        ASSERT_EQ(target.End(), S_OK);
    }

    IDirect3DSurface8 *rt1 = nullptr, *z1 = nullptr;
    dev->GetRenderTarget(&rt1);
    dev->GetDepthStencilSurface(&z1);
    EXPECT_EQ(rt1, rt0);
    EXPECT_EQ(z1, z0);
    D3DVIEWPORT8 after;
    dev->GetViewport(&after);
    EXPECT_EQ(after.X, before.X);
    EXPECT_EQ(after.Y, before.Y);
    EXPECT_EQ(after.Width, before.Width);
    EXPECT_EQ(after.Height, before.Height);
    EXPECT_FLOAT_EQ(after.MinZ, before.MinZ);
    EXPECT_FLOAT_EQ(after.MaxZ, before.MaxZ);
    rt1->Release();
    z1->Release();
    // Begin's reference to the saved target was given back at every End.
    EXPECT_EQ(Refs(rt0), rtRefs);
    rt0->Release();
    z0->Release();

    // What was cleared inside went into the texture.
    IDirect3DSurface8* copy = nullptr;
    ASSERT_EQ(dev->CreateImageSurface(32, 32, target.GetFormat(), &copy), S_OK);
    IDirect3DSurface8* level = nullptr;
    target.GetTexture()->GetSurfaceLevel(0, &level);
    ASSERT_EQ(dev->CopyRects(level, nullptr, 0, copy, nullptr), S_OK);
    D3DLOCKED_RECT lr;
    ASSERT_EQ(copy->LockRect(&lr, nullptr, D3DLOCK_READONLY), S_OK);
    ASSERT_TRUE(target.GetFormat() == D3DFMT_X8R8G8B8 || target.GetFormat() == D3DFMT_A8R8G8B8);
    EXPECT_EQ(static_cast<const DWORD*>(lr.pBits)[5] & 0xFFFFFF, 0x00FF00u);
    copy->UnlockRect();
    copy->Release();
    level->Release();
}

} // namespace
