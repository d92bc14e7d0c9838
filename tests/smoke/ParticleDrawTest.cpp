// The smoke renderer on a real device: frame after frame its squares stand
// where this frame's particles are, also when the vertex buffer fills up and
// starts again at the front.
#include <gtest/gtest.h>

#include <d3dx8.h>

#include "ParticleRenderer.h"
#include "ParticleVertices.h"
#include "RenderStateManager.h"
#include "TestDevice.h"

namespace
{
const UINT kSize = 64;

std::unique_ptr<SmokeParticle> Particle(float x, float y, float z, float size)
{
    std::unique_ptr<SmokeParticle> p(new SmokeParticle);
    p->m_Position = D3DXVECTOR3(x, y, z);
    p->m_Size = size;
    p->m_Opacity = 1;
    p->m_Grey = 1;
    return p;
}

bool White(uint32_t pixel) { return (pixel & 0xFF) > 200 && ((pixel >> 8) & 0xFF) > 200 && (pixel >> 16) > 200; }
bool Black(uint32_t pixel) { return (pixel & 0xFF) < 40 && ((pixel >> 8) & 0xFF) < 40 && (pixel >> 16) < 40; }
} // namespace

TEST(ParticleDraw, EachFrameDrawsItsOwnParticlesAlsoAfterTheBufferWrapsAround)
{
    TestDevice device(kSize, kSize);
    IDirect3DDevice8* d = device.Get();
    ASSERT_NE(nullptr, d);
    RenderStateManager& rs = RenderStateManager::Instance();
    rs.SetDevice(d);
    {
        ComRef<IDirect3DTexture8> white;
        ASSERT_TRUE(SUCCEEDED(d->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, white.Put())));
        D3DLOCKED_RECT lr;
        ASSERT_TRUE(SUCCEEDED(white->LockRect(0, &lr, nullptr, 0)));
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x)
                reinterpret_cast<DWORD*>(static_cast<BYTE*>(lr.pBits) + y * lr.Pitch)[x] = 0xFFFFFFFF;
        white->UnlockRect(0);

        D3DXMATRIX view, projection;
        D3DXMatrixIdentity(&view);
        D3DXMatrixOrthoLH(&projection, 2, 2, 0, 10);
        rs.SetTransform(&view, D3DTS_VIEW);
        rs.SetTransform(&projection, D3DTS_PROJECTION);

        CSmokeParticleRenderer renderer;
        renderer.SetTexture(white);
        // A third of the buffer each frame, so it starts again at the front
        // every third frame; the rest lie behind the camera.
        const size_t count = kParticleRendererCapacity / 3 + 1;
        for (int frame = 0; frame < 8; ++frame)
        {
            const float side = frame % 2 ? 0.5f : -0.5f;
            std::list<std::unique_ptr<SmokeParticle>> particles;
            for (size_t i = 0; i + 1 < count; ++i)
                particles.push_back(Particle(0, 0, -5, 0.1f));
            particles.push_back(Particle(side, 0, 1, 0.3f));

            d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1, 0);
            ASSERT_TRUE(SUCCEEDED(d->BeginScene()));
            renderer.Render(particles);
            d->EndScene();
            ASSERT_FALSE(renderer.HasFailed());
            const UINT here = side < 0 ? kSize / 4 : 3 * kSize / 4, there = kSize - here;
            EXPECT_TRUE(White(device.ReadPixel(here, kSize / 2))) << "frame " << frame << ": "
                                                                 << std::hex << device.ReadPixel(here, kSize / 2);
            EXPECT_TRUE(Black(device.ReadPixel(there, kSize / 2))) << "frame " << frame << ": "
                                                                  << std::hex << device.ReadPixel(there, kSize / 2);
        }
    }
    rs.SetDevice(nullptr);
}
