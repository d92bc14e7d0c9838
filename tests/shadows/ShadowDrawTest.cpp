// The stencil shadow on a real device: a box above a plane casts its
// volume's shadow into the mask and from there into the stencil; mask texels
// become stencil values by their brightness; the fake shadows darken only
// what the stencil calls lit.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Bitmap24.h"
#include "Camera.h"
#include "ComRef.h"
#include "ForwardingDevice.h"
#include "GeomObject.h"
#include "Log.h"
#include "Mesh.h"
#include "RenderStateManager.h"
#include "RenderToTexture.h"
#include "Scene.h"
#include "ShadowStencil.h"
#include "StencilShadow.h"
#include "TestDevice.h"
#include "Timer.h"

namespace
{
const UINT kSize = 128;
// What the stencil picture shows: the stencil's lit and shadowed values.
const uint32_t kLitColour = 0xFFFFFF, kShadowedColour = 0x404040;

ULONG DeviceRefs(IDirect3DDevice8* device)
{
    device->AddRef();
    return device->Release();
}

// The real device, with every ALPHAREF value sent to it noted.
class AlphaRefDevice : public ForwardingDevice
{
public:
    using ForwardingDevice::ForwardingDevice;
    std::vector<DWORD> alphaRefs;
    HRESULT STDMETHODCALLTYPE SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override
    {
        if (state == D3DRS_ALPHAREF)
            alphaRefs.push_back(value);
        return ForwardingDevice::SetRenderState(state, value);
    }
};

struct ScreenVertex
{
    float x, y, z, rhw;
    D3DCOLOR diffuse;
};

class ShadowDrawTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        UseDebugTimer();
        ASSERT_NE(nullptr, m_Device.Get());
        RenderStateManager::Instance().SetDevice(m_Device.Get());
        SetCameraTransformSink(ApplyCameraTransformsToDevice);
        m_StartRefs = DeviceRefs(m_Device.Get());
    }
    void TearDown() override
    {
        m_pScene.reset();
        MeshPools::ReleaseAll();
        RenderToTexture::ReleaseDepthBufferCache();
        IDirect3DDevice8* d3d = m_Device.Get();
        for (DWORD stage = 0; stage < 8; ++stage)
            d3d->SetTexture(stage, nullptr);
        d3d->SetStreamSource(0, nullptr, 0);
        d3d->SetIndices(nullptr, 0);
        d3d->SetVertexShader(D3DFVF_XYZ);
        EXPECT_EQ(m_StartRefs, DeviceRefs(d3d));
        RenderStateManager::Instance().SetDevice(nullptr);
    }

    // A mask texture of the back buffer's size, texel (x, y) = colour(x, y).
    ComRef<IDirect3DTexture8> MakeMask(const std::function<uint32_t(UINT, UINT)>& colour)
    {
        ComRef<IDirect3DTexture8> texture;
        if (FAILED(m_Device.Get()->CreateTexture(kSize, kSize, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                                 texture.Put())))
            return texture;
        D3DLOCKED_RECT lr;
        if (SUCCEEDED(texture->LockRect(0, &lr, nullptr, 0)))
        {
            for (UINT y = 0; y < kSize; ++y)
                for (UINT x = 0; x < kSize; ++x)
                    reinterpret_cast<uint32_t*>(static_cast<BYTE*>(lr.pBits) + y * lr.Pitch)[x] =
                        0xFF000000 | colour(x, y);
            texture->UnlockRect(0);
        }
        return texture;
    }

    // A quad over the whole back buffer in one colour, in the states set.
    void DrawScreenQuad(D3DCOLOR colour)
    {
        IDirect3DDevice8* d3d = m_Device.Get();
        RenderStateManager& cache = RenderStateManager::Instance();
        cache.SetRenderState(D3DRS_ZENABLE, FALSE);
        cache.SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        cache.SetRenderState(D3DRS_LIGHTING, FALSE);
        cache.SetRenderState(D3DRS_FOGENABLE, FALSE);
        cache.SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
        cache.SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
        cache.SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        cache.SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
        cache.SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
        cache.SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
        cache.SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
        d3d->SetTexture(0, nullptr);
        d3d->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
        d3d->SetPixelShader(0);
        const float s = float(kSize);
        const ScreenVertex quad[4] = {{0, 0, 0, 1, colour}, {s, 0, 0, 1, colour}, {0, s, 0, 1, colour},
                                      {s, s, 0, 1, colour}};
        d3d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(ScreenVertex));
    }

    // The stencil made visible: black, then white where it is 2 (lit) and
    // dark grey where it is 1 (shadowed).
    void ShowStencil()
    {
        IDirect3DDevice8* d3d = m_Device.Get();
        RenderStateManager& cache = RenderStateManager::Instance();
        d3d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
        cache.PushStates();
        cache.SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
        cache.SetRenderState(D3DRS_STENCILENABLE, TRUE);
        cache.SetRenderState(D3DRS_STENCILFUNC, D3DCMP_EQUAL);
        cache.SetRenderState(D3DRS_STENCILMASK, 0xFFFFFFFF);
        cache.SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_KEEP);
        cache.SetRenderState(D3DRS_STENCILFAIL, D3DSTENCILOP_KEEP);
        cache.SetRenderState(D3DRS_STENCILZFAIL, D3DSTENCILOP_KEEP);
        cache.SetRenderState(D3DRS_STENCILREF, kStencilLit);
        DrawScreenQuad(kLitColour);
        cache.SetRenderState(D3DRS_STENCILREF, kStencilShadowed);
        DrawScreenQuad(kShadowedColour);
        cache.PopStates();
    }

    void Save(const char* path) const
    {
        const std::vector<uint8_t> bytes =
            MakeBitmap24(kSize, kSize, [&](uint32_t x, uint32_t y) { return m_Device.ReadPixel(x, y); });
        if (FILE* f = std::fopen(path, "wb"))
        {
            std::fwrite(bytes.data(), 1, bytes.size(), f);
            std::fclose(f);
        }
    }

    // The pixel of the point (x, y, z) seen from the scene's camera at
    // (0, 0, 10) looking down -z with a 60 degree view.
    uint32_t At(float x, float y, float z = 0) const
    {
        const float half = (10.0f - z) * std::tan(0.5235988f);
        const UINT px = UINT(std::lround(kSize / 2 + x / half * kSize / 2));
        const UINT py = UINT(std::lround(kSize / 2 - y / half * kSize / 2));
        return m_Device.ReadPixel(px, py);
    }

    TestDevice m_Device{kSize, kSize};
    std::unique_ptr<Scene> m_pScene;
    ULONG m_StartRefs = 0;
};

std::string Hex(uint32_t c)
{
    char text[16];
    std::snprintf(text, sizeof text, "%06X", c);
    return text;
}

// A box from (-1, -1, 1) to (1, 1, 2) over the plane z = 0: with the light
// falling along (+-1, 0, -1) its shadow lies on the plane from x = +-1 to
// +-3 beside the box, and nowhere else.
TEST_F(ShadowDrawTest, BoxShadowsThePlaneOnTheLightsFarSide)
{
    IDirect3DDevice8* d3d = m_Device.Get();
    m_pScene.reset(new Scene(d3d));
    ASSERT_TRUE(m_pScene->Load(101, "", nullptr));
    GeomObject* box = m_pScene->FindGeomObject("Box");
    GeomObject* plane = m_pScene->FindGeomObject("Plane");
    ASSERT_TRUE(box && plane);
    Camera* camera = m_pScene->GetActiveCamera();
    ASSERT_NE(nullptr, camera);
    const size_t logStart = g_Log.GetText().size();
    CStencilShadow shadow({plane, box}, {box});
    ASSERT_TRUE(shadow.IsValid()) << g_Log.GetText().substr(logStart);
    RenderToTexture mask;
    ASSERT_EQ(S_OK, mask.Create(d3d, true, 0, 0, true));

    const struct
    {
        float side; // the x the light falls towards
        const char* picture;
    } cases[] = {{1, "shadow_box_east.bmp"}, {-1, "shadow_box_west.bmp"}};
    for (const auto& c : cases)
    {
        TShadowVolumeParams params;
        params.lightDisplacement = D3DXVECTOR3(c.side, 0, -1) * 50.0f;
        ASSERT_EQ(0, shadow.Update(params));
        d3d->BeginScene();
        camera->Apply(d3d);
        ASSERT_EQ(S_OK, mask.Begin(true));
        d3d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_STENCIL, 0xFFFFFFFF, 1.0f, 0);
        EXPECT_EQ(0, shadow.RenderMask(d3d, TShadowMaskParams()));
        mask.End();
        DrawShadowMaskToStencil(d3d, mask.GetTexture());
        ShowStencil();
        d3d->EndScene();
        Save(c.picture);

        const float s = c.side;
        // In the shadow, on the plane beside the box.
        for (float y : {-0.6f, 0.0f, 0.6f})
            EXPECT_EQ(kShadowedColour, At(2 * s, y)) << c.picture << " y " << y;
        EXPECT_EQ(kShadowedColour, At(2.7f * s, 0)) << c.picture;
        // Lit: the box's top, the plane on the light's side, and the plane
        // past the shadow's end and beside it.
        EXPECT_EQ(kLitColour, At(0, 0, 2)) << c.picture;
        for (const auto& p : {D3DXVECTOR2(-2.5f * s, 0), D3DXVECTOR2(3.6f * s, 0), D3DXVECTOR2(2 * s, 2.5f),
                              D3DXVECTOR2(2 * s, -2.5f)})
            EXPECT_EQ(kLitColour, At(p.x, p.y)) << c.picture << " at " << p.x << ", " << p.y;
    }
    EXPECT_EQ(std::string::npos, g_Log.GetText().find("Error", logStart)) << g_Log.GetText().substr(logStart);
}

// The mask becomes stencil 2 where its texel is bright and 1 where it is
// black; the alpha test's reference is the byte 0x11, so a texel of 20 out
// of 255 still counts as lit and one of 18 as shadowed.
TEST_F(ShadowDrawTest, MaskTexelsBecomeLitOrShadowedStencil)
{
    IDirect3DDevice8* d3d = m_Device.Get();
    const struct
    {
        uint32_t texel;
        uint32_t shows;
    } stripes[] = {{0xFFFFFF, kLitColour}, {0x141414, kLitColour}, {0x121212, kShadowedColour},
                   {0x000000, kShadowedColour}};
    ComRef<IDirect3DTexture8> texture = MakeMask([&](UINT x, UINT) { return stripes[x / (kSize / 4)].texel; });
    ASSERT_TRUE(texture);
    // The reference goes to the device as the byte it is: a device that
    // does not mask it to its low byte would let no texel through.
    AlphaRefDevice noting(d3d);
    d3d->BeginScene();
    d3d->Clear(0, nullptr, D3DCLEAR_STENCIL, 0, 1.0f, 0);
    RenderStateManager::Instance().SetDevice(&noting);
    DrawShadowMaskToStencil(&noting, texture);
    RenderStateManager::Instance().SetDevice(d3d);
    ASSERT_FALSE(noting.alphaRefs.empty());
    EXPECT_EQ(DWORD(0x11), noting.alphaRefs.front());
    ShowStencil();
    d3d->EndScene();
    Save("shadow_mask_stripes.bmp");
    for (UINT i = 0; i < 4; ++i)
        for (UINT y : {4u, kSize / 2, kSize - 4})
            EXPECT_EQ(stripes[i].shows, m_Device.ReadPixel(i * (kSize / 4) + kSize / 8, y))
                << "texel " << Hex(stripes[i].texel) << " at y " << y;
}

// A material drawn before the mask may leave a tiling matrix and another
// coordinate set on stage 0: the mask still lands where it lies (stretched
// eight times, the clamped lookup would read its right edge almost
// everywhere).
TEST_F(ShadowDrawTest, MaskIgnoresATextureTransformLeftOnTheStage)
{
    IDirect3DDevice8* d3d = m_Device.Get();
    RenderStateManager& cache = RenderStateManager::Instance();
    ComRef<IDirect3DTexture8> texture = MakeMask([](UINT x, UINT) { return x < kSize / 2 ? 0xFFFFFFu : 0u; });
    ASSERT_TRUE(texture);
    D3DXMATRIX tiling;
    D3DXMatrixScaling(&tiling, 8, 8, 1);
    cache.PushStates();
    cache.SetTransform(&tiling, D3DTS_TEXTURE0);
    cache.SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
    cache.SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 1);
    d3d->BeginScene();
    d3d->Clear(0, nullptr, D3DCLEAR_STENCIL, 0, 1.0f, 0);
    DrawShadowMaskToStencil(d3d, texture);
    cache.PopStates();
    ShowStencil();
    d3d->EndScene();
    Save("shadow_mask_transform.bmp");
    for (UINT y : {4u, kSize / 2, kSize - 4})
    {
        EXPECT_EQ(kLitColour, m_Device.ReadPixel(kSize / 8, y)) << "y " << y;
        EXPECT_EQ(kLitColour, m_Device.ReadPixel(kSize / 2 - 8, y)) << "y " << y;
        EXPECT_EQ(kShadowedColour, m_Device.ReadPixel(kSize / 2 + 8, y)) << "y " << y;
        EXPECT_EQ(kShadowedColour, m_Device.ReadPixel(kSize - 8, y)) << "y " << y;
    }
}

// Fake shadows multiply the picture by twice their colour, and with stencil
// shadows only where the mask left the stencil at lit.
TEST_F(ShadowDrawTest, FakeShadowsDarkenOnlyWhereTheStencilSaysLit)
{
    IDirect3DDevice8* d3d = m_Device.Get();
    // Lit on the left half, shadowed on the right.
    ComRef<IDirect3DTexture8> texture = MakeMask([](UINT x, UINT) { return x < kSize / 2 ? 0xFFFFFFu : 0u; });
    ASSERT_TRUE(texture);
    const struct
    {
        bool withStencil;
        uint32_t left, right;
    } cases[] = {{true, 0x404040, 0x808080}, {false, 0x404040, 0x404040}};
    for (const auto& c : cases)
    {
        d3d->BeginScene();
        d3d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_STENCIL, 0xFF808080, 1.0f, 0);
        DrawShadowMaskToStencil(d3d, texture);
        RenderStateManager& cache = RenderStateManager::Instance();
        cache.PushStates();
        SetFakeShadowStates(c.withStencil);
        DrawScreenQuad(0xFF404040); // 2 x 0.25 x 0.5 = 0.25
        cache.PopStates();
        d3d->EndScene();
        for (UINT y : {4u, kSize / 2, kSize - 4})
        {
            const uint32_t left = m_Device.ReadPixel(kSize / 4, y), right = m_Device.ReadPixel(3 * kSize / 4, y);
            for (const auto& [seen, wanted] : {std::pair{left, c.left}, std::pair{right, c.right}})
                for (int shift : {0, 8, 16})
                    EXPECT_NEAR(int(wanted >> shift & 255), int(seen >> shift & 255), 2)
                        << "stencil " << c.withStencil << " y " << y << " saw " << Hex(seen) << " wanted "
                        << Hex(wanted);
        }
    }
}
} // namespace
