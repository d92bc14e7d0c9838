#include "MeshNormals.h"

#include <gtest/gtest.h>

#include <cstring>

namespace
{
TEST(NormalCell, QuarterUnitsTruncatedTowardZero)
{
    const struct
    {
        float a, b;
        bool same;
    } cases[] = {{0.1f, 0.2f, true}, {0.24f, 0.26f, false}, {-0.2f, 0.2f, true}, {1.0f, 1.2f, true},
                 {-0.24f, -0.26f, false}};
    for (const auto& c : cases)
        EXPECT_EQ(c.same, NormalCell(D3DXVECTOR3(c.a, 0, 0)) == NormalCell(D3DXVECTOR3(c.b, 0, 0)))
            << c.a << " " << c.b;
}

struct V
{
    float pos[3], normal[3], uv[2];
};

D3DXVECTOR3 NormalOf(const std::vector<uint8_t>& bytes, int i)
{
    D3DXVECTOR3 n;
    std::memcpy(&n, &bytes[size_t(i) * sizeof(V) + 12], 12);
    return n;
}

TEST(SmoothNormalsByCell, SharesTheAverageWithinACell)
{
    // A roof: two triangles meeting along the ridge x = 0 with separate
    // ridge vertices, one facing up-left and one up-right; the eaves lie in
    // cells of their own.
    const V v[] = {
        {{0, 0, 1}, {9, 9, 9}, {}},   {{0, 2, 1}, {9, 9, 9}, {}},   {{-1, 0, 0}, {9, 9, 9}, {}}, // left
        {{0.1f, 0, 1}, {9, 9, 9}, {}}, {{0.1f, 2, 1}, {9, 9, 9}, {}}, {{1.1f, 0, 0}, {9, 9, 9}, {}}, // right
    };
    std::vector<uint8_t> bytes(sizeof(v));
    std::memcpy(bytes.data(), v, sizeof(v));
    const std::vector<uint16_t> indices = {0, 2, 1, 3, 4, 5, 7, 8, 9}; // the last names missing vertices
    const std::vector<uint8_t> out = SmoothNormalsByCell(bytes, sizeof(V), 6, indices);
    ASSERT_EQ(bytes.size(), out.size());
    const float s = 0.70710678f;
    const struct
    {
        int vertex;
        D3DXVECTOR3 normal;
    } expected[] = {{0, {0, 0, 1}}, {3, {0, 0, 1}}, {1, {0, 0, 1}}, {4, {0, 0, 1}}, {2, {-s, 0, s}}, {5, {s, 0, s}}};
    for (const auto& e : expected)
    {
        const D3DXVECTOR3 n = NormalOf(out, e.vertex);
        EXPECT_NEAR(e.normal.x, n.x, 1e-5f) << e.vertex;
        EXPECT_NEAR(e.normal.y, n.y, 1e-5f) << e.vertex;
        EXPECT_NEAR(e.normal.z, n.z, 1e-5f) << e.vertex;
    }
}
} // namespace
