#include <gtest/gtest.h>

#include <cstring>

#include "SceneArchiveFormat.h"
#include "TexMap.h"

TEST(MapFlags, AddressModesFromTheFlagsWord)
{
    struct
    {
        uint16_t flags;
        uint32_t u, v;
    } cases[] = {{0x00, 1, 1}, {0x24, 2, 3}, {0x3C, 4, 4}, {0x03, 1, 1}};
    for (auto& c : cases)
    {
        EXPECT_EQ(c.u, FileStorage::MapAddressU(c.flags)) << c.flags;
        EXPECT_EQ(c.v, FileStorage::MapAddressV(c.flags)) << c.flags;
    }
}

TEST(FlipBook, FrameOfTheClock)
{
    EXPECT_EQ(3u, FlipBookFrame(3.9f, 2, 4)); // 7 mod 4
    EXPECT_EQ(0u, FlipBookFrame(3.9f, 0, 4)); // no flip-book
    EXPECT_EQ(0u, FlipBookFrame(3.9f, 2, 0)); // no texture
    // A negative clock (a frame offset) wraps through the low 32 bits.
    EXPECT_EQ(uint32_t(-3) % 5u, FlipBookFrame(-1.5f, 2, 5));
}

TEST(TextureMatrix, AnimationScrollsRotatesAndScales)
{
    const float scroll[7] = {0, 0, 0, 0.1f, 0, 1, 1};
    float state[7];
    D3DXMATRIX m = TextureAnimationMatrix(scroll, 5.0f, state);
    EXPECT_NEAR(0.5f, m._31, 1e-6f); // the offset moves to the third row
    EXPECT_NEAR(0.0f, m._32, 1e-6f);
    EXPECT_NEAR(0.5f, state[3], 1e-6f);

    // A quarter turn about (0.5, 0.5) maps texture coordinate (1, 0.5) to (0.5, 1).
    const float turn[7] = {D3DX_PI / 2, 0.5f, 0.5f, 0, 0, 1, 1};
    m = TextureAnimationMatrix(turn, 1.0f, state);
    const float u = 1 * m._11 + 0.5f * m._21 + m._31, v = 1 * m._12 + 0.5f * m._22 + m._32;
    EXPECT_NEAR(0.5f, u, 1e-5f);
    EXPECT_NEAR(1.0f, v, 1e-5f);

    const float scale[7] = {0, 0, 0, 0, 0, 2, 3};
    m = TextureAnimationMatrix(scale, 0.0f, state);
    EXPECT_FLOAT_EQ(2, m._11);
    EXPECT_FLOAT_EQ(3, m._22);
}

TEST(TextureMatrix, MapsKeepIdentityUntilAnimatedAndWithoutTextures)
{
    DiffuseMap map;
    EXPECT_EQ(0u, map.GetTransformFlags());
    const float scroll[7] = {0, 0, 0, 0.1f, 0, 1, 1};
    map.SetTextureAnimation(scroll);
    map.GetMatrixClock().SetTime(5.0f);
    map.UpdateTextureMatrix(nullptr, 0);
    EXPECT_EQ(0.0f, map.GetTextureMatrix()->_31); // no texture: nothing changes
    EXPECT_EQ(0u, map.GetTransformFlags());
    map.SetTexture(reinterpret_cast<IDirect3DBaseTexture8*>(&map));
    map.UpdateTextureMatrix(nullptr, 0);
    EXPECT_NEAR(0.5f, map.GetTextureMatrix()->_31, 1e-3f);
    EXPECT_EQ(2u, map.GetTransformFlags());
}

TEST(TextureMatrix, EnvironmentWithoutCubeUsesTheSphereMap)
{
    EnvironmentMap map;
    map.UpdateTextureMatrix(nullptr, 0);
    const D3DXMATRIX sphere = SphereMapMatrix();
    EXPECT_EQ(0, std::memcmp(&sphere, map.GetTextureMatrix(), sizeof(D3DXMATRIX)));
    EXPECT_EQ(0x10000u, map.GetTexCoordIndex());
    EXPECT_EQ(2u, map.GetTransformFlags());
    // Under an identity view the cube matrix turns +y into -z... and flips z.
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    const D3DXMATRIX cube = CubeMapMatrix(identity);
    D3DXVECTOR3 up(0, 1, 0), out;
    D3DXVec3TransformNormal(&out, &up, &cube);
    EXPECT_NEAR(0, out.x, 1e-6f);
    EXPECT_NEAR(0, out.y, 1e-6f);
    EXPECT_NEAR(1, std::fabs(out.z), 1e-6f);
}

TEST(AlphaFromColor, GrayBecomesAlphaPerFormat)
{
    // A8R8G8B8: black clear, white opaque, the colour bits kept.
    uint32_t argb[2] = {0xFF000000u, 0x00FFFFFFu};
    ASSERT_TRUE(AlphaFromColorRow(21, reinterpret_cast<uint8_t*>(argb), 2, false));
    EXPECT_EQ(0x00000000u, argb[0]);
    EXPECT_EQ(0xFFFFFFFFu, argb[1]);
    // A4R4G4B4: the 4-bit equivalents.
    uint16_t a4[2] = {0x0000, 0x0FFF};
    ASSERT_TRUE(AlphaFromColorRow(26, reinterpret_cast<uint8_t*>(a4), 2, false));
    EXPECT_EQ(0x0000, a4[0]);
    EXPECT_EQ(0xFFFF, a4[1]);
    // Cut-off: gray 4 is clear, 5 is opaque.
    uint32_t cut[2] = {0x00040404u, 0x00050505u};
    ASSERT_TRUE(AlphaFromColorRow(21, reinterpret_cast<uint8_t*>(cut), 2, true));
    EXPECT_EQ(0x00040404u, cut[0]);
    EXPECT_EQ(0xFF050505u, cut[1]);
    // Formats without alpha keep their pixels; unknown formats are refused.
    uint16_t rgb565 = 0xFFFF;
    EXPECT_TRUE(AlphaFromColorRow(23, reinterpret_cast<uint8_t*>(&rgb565), 1, false));
    EXPECT_EQ(0xFFFF, rgb565);
    EXPECT_FALSE(AlphaFromColorRow(50, reinterpret_cast<uint8_t*>(&rgb565), 1, false));
}
