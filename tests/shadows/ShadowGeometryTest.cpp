// Shadow volumes from silhouette loops, the room they need, and the matrix
// that projects the shadow texture.
#include <gtest/gtest.h>

#include <cmath>

#include "ShadowGeometry.h"

namespace
{
TEST(ShadowVolume, CountsAndFirstTriangleOfEachLoop)
{
    const std::vector<D3DXVECTOR3> p{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {5, 5, 5}, {6, 5, 5}, {6, 6, 5}};
    const std::vector<std::vector<int>> loops{{0, 1, 2, 3}, {4, 5, 6}};
    const D3DXVECTOR3 d(0, 0, -10);
    std::vector<D3DXVECTOR3> v;
    std::vector<uint32_t> i;
    AppendShadowVolume(loops, p, d, v, i);
    ASSERT_EQ(v.size(), 2u * (4 + 3));
    ASSERT_EQ(i.size(), 6u * (4 + 3));
    // The first loop: its positions, then the extruded ones.
    EXPECT_EQ(v[1], p[1]);
    EXPECT_EQ(v[4 + 1], p[1] + d);
    // First triangle of a loop starting at t: (t + 1, t, t + n).
    EXPECT_EQ(std::vector<uint32_t>(i.begin(), i.begin() + 6), (std::vector<uint32_t>{1, 0, 4, 5, 1, 4}));
    EXPECT_EQ(std::vector<uint32_t>(i.begin() + 24, i.begin() + 27), (std::vector<uint32_t>{9, 8, 11}));
    // The last edge of a loop closes back to its first vertex.
    EXPECT_EQ(std::vector<uint32_t>(i.begin() + 18, i.begin() + 24), (std::vector<uint32_t>{0, 3, 7, 4, 0, 7}));
    for (uint32_t index : i)
        EXPECT_LT(index, v.size());
}

TEST(ShadowVolume, CapacityGuard)
{
    // Buffers hold 2 vertices per mesh vertex and 8 indices per mesh index.
    const struct
    {
        size_t vertices, indices, vertexRoom, indexRoom;
        bool fits;
    } cases[] = {{16, 48, 16, 48, true}, {17, 48, 16, 48, false}, {16, 49, 16, 48, false}, {0, 0, 0, 0, true}};
    for (const auto& c : cases)
        EXPECT_EQ(ShadowVolumeFits(c.vertices, c.indices, c.vertexRoom, c.indexRoom), c.fits)
            << c.vertices << " " << c.indices;
}

TEST(ShadowProjection, PointOnShadowAxisMapsToTextureCentre)
{
    // The shadow camera at height 100 looking straight down; the main camera
    // elsewhere, turned.
    D3DXMATRIX shadowView, shadowProjection, mainView;
    const D3DXVECTOR3 eye(30, 40, 100), at(30, 40, 0), north(0, 1, 0);
    D3DXMatrixLookAtLH(&shadowView, &eye, &at, &north);
    D3DXMatrixPerspectiveFovLH(&shadowProjection, 0.8f, 1.0f, 1.0f, 1000.0f);
    const D3DXVECTOR3 mainEye(-200, 50, 60), mainAt(0, 0, 0), up(0, 0, 1);
    D3DXMatrixLookAtLH(&mainView, &mainEye, &mainAt, &up);
    const D3DXMATRIX m = ShadowProjectionMatrix(mainView, shadowView, shadowProjection);
    const D3DXVECTOR3 corners[] = {{30, 40, 0}, {30, 40, 55}, {40, 40, 0}};
    D3DXVECTOR4 uv[3];
    for (int k = 0; k < 3; ++k)
    {
        D3DXVECTOR3 inCamera;
        D3DXVec3TransformCoord(&inCamera, &corners[k], &mainView);
        D3DXVec3Transform(&uv[k], &inCamera, &m);
    }
    for (int k = 0; k < 2; ++k) // on the axis: the centre, at any height
    {
        EXPECT_NEAR(uv[k].x / uv[k].w, 0.5f, 1e-4f);
        EXPECT_NEAR(uv[k].y / uv[k].w, 0.5f, 1e-4f);
    }
    // Off the axis across the texture: u moves, v stays.
    EXPECT_GT(std::fabs(uv[2].x / uv[2].w - 0.5f), 0.01f);
    EXPECT_NEAR(uv[2].y / uv[2].w, 0.5f, 1e-4f);
}

TEST(ShadowColour, ChannelBytes)
{
    EXPECT_EQ(ShadowColourByte(0.1f), 26);
    EXPECT_EQ(ShadowColourByte(0.134f), 34);
    EXPECT_EQ(ShadowColourByte(0.155f), 40);
    EXPECT_EQ(ShadowColourByte(1.5f), 255);
    EXPECT_EQ(ShadowColourByte(-0.2f), 0);
    EXPECT_EQ(ShadowColourByte(1 - 0.5f * 0.27f), 221);
}
} // namespace
