// Silhouettes: welding, loops of a closed box and an open sheet, and when
// the loops are re-derived.
#include <gtest/gtest.h>

#include <random>
#include <set>

#include "SilhouetteBuilder.h"

namespace
{
// A box with its own four corners per face (24 vertices) that welding
// joins into eight.
void Box(std::vector<D3DXVECTOR3>& positions, std::vector<uint16_t>& indices, D3DXVECTOR3 at = {0, 0, 0},
         D3DXVECTOR3 half = {10, 10, 10})
{
    const D3DXVECTOR3 lo = at - half, hi = at + half;
    const D3DXVECTOR3 c[8] = {{lo.x, lo.y, lo.z}, {hi.x, lo.y, lo.z}, {hi.x, hi.y, lo.z}, {lo.x, hi.y, lo.z},
                              {lo.x, lo.y, hi.z}, {hi.x, lo.y, hi.z}, {hi.x, hi.y, hi.z}, {lo.x, hi.y, hi.z}};
    const int faces[6][4] = {{0, 1, 2, 3}, {4, 7, 6, 5}, {0, 4, 5, 1}, {1, 5, 6, 2}, {2, 6, 7, 3}, {3, 7, 4, 0}};
    for (const auto& f : faces)
    {
        const uint16_t base = uint16_t(positions.size());
        for (int k = 0; k < 4; ++k)
            positions.push_back(c[f[k]]);
        for (int t : {0, 1, 2, 0, 2, 3})
            indices.push_back(uint16_t(base + t));
    }
}

TShadowVolumeParams Light(float x, float y, float z)
{
    TShadowVolumeParams p;
    p.lightDisplacement = D3DXVECTOR3(x, y, z);
    return p;
}

void ExpectClosedSilhouetteLoops(const CSilhouetteBuilder& b)
{
    for (const auto& loop : b.GetLoops())
        for (size_t k = 0; k < loop.size(); ++k)
        {
            const int u = loop[k], v = loop[(k + 1) % loop.size()];
            EXPECT_TRUE(b.IsSilhouetteEdge({std::min(u, v), std::max(u, v)})) << u << "-" << v;
        }
}

TEST(Silhouette, BoxLitObliquelyHasOneHexagon)
{
    std::vector<D3DXVECTOR3> positions;
    std::vector<uint16_t> indices;
    Box(positions, indices);
    CSilhouetteBuilder b(positions, indices);
    b.Update(Light(1, 0.3f, 0.2f));
    ASSERT_EQ(b.GetLoops().size(), 1u);
    EXPECT_EQ(b.GetLoops()[0].size(), 6u);
    ExpectClosedSilhouetteLoops(b);
    // A closed box has no border edges.
    for (const auto& angle : b.GetEdgeAngles())
        EXPECT_LT(angle.second, 6.28f);
}

TEST(Silhouette, WeldingGrid)
{
    const std::vector<D3DXVECTOR3> positions{{0.0f, 0, 0},  {0.1f, 0, 0},  {0.19f, 0, 0},
                                             {0.21f, 0, 0}, {-0.1f, 0, 0}, {0.1f, 0, 0}};
    CSilhouetteBuilder b(positions, {});
    EXPECT_EQ(b.GetRepresentative(1), 0);
    EXPECT_EQ(b.GetRepresentative(2), 0);
    EXPECT_EQ(b.GetRepresentative(3), 3); // 0.21 is in the next cell
    EXPECT_EQ(b.GetRepresentative(4), 0); // -0.1 truncates to cell 0 too
    EXPECT_EQ(b.GetRepresentative(5), 0);
}

TEST(Silhouette, OpenSheetHasBorderEdgesAndOneLoop)
{
    const std::vector<D3DXVECTOR3> positions{{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 10, 0}};
    const std::vector<uint16_t> indices{0, 1, 2, 0, 2, 3};
    CSilhouetteBuilder b(positions, indices);
    int borders = 0;
    for (const auto& angle : b.GetEdgeAngles())
        borders += angle.second > 6.28f;
    EXPECT_EQ(borders, 4);
    // Lit from the side its faces turn away from.
    b.Update(Light(0, 0, 1));
    if (b.GetLoops().empty())
        b.Update(Light(0, 0, -1));
    ASSERT_EQ(b.GetLoops().size(), 1u);
    EXPECT_EQ(b.GetLoops()[0].size(), 4u);
    ExpectClosedSilhouetteLoops(b);
}

TEST(Silhouette, SmallTurnsKeepTheLoopsEvenWithReinit)
{
    std::vector<D3DXVECTOR3> positions;
    std::vector<uint16_t> indices;
    Box(positions, indices);
    CSilhouetteBuilder b(positions, indices);
    b.Update(Light(1, 0.3f, 0.2f));
    const auto before = b.GetLoops();
    TShadowVolumeParams turned = Light(1, 0.2f, 0.3f); // cosine above 0.99
    turned.reinit = true;
    b.Update(turned);
    EXPECT_EQ(b.GetLoops(), before);
    b.Update(Light(-1, 0.3f, -0.2f)); // turned far: a new loop
    ASSERT_EQ(b.GetLoops().size(), 1u);
    EXPECT_NE(b.GetLoops(), before);
    ExpectClosedSilhouetteLoops(b);
}

TEST(Silhouette, NoTrianglesNoLoops)
{
    const std::vector<D3DXVECTOR3> positions{{0, 0, 0}, {0.05f, 0, 0}, {10, 0, 0}};
    CSilhouetteBuilder b(positions, {0, 1, 2, 0, 1}); // degenerate after welding, then a part triangle
    b.Update(Light(1, 1, 1));
    EXPECT_TRUE(b.GetLoops().empty());
    EXPECT_TRUE(b.GetEdgeAngles().empty());
}

TEST(Silhouette, MinimumLengthEmptiesShortLoops)
{
    std::vector<D3DXVECTOR3> positions;
    std::vector<uint16_t> indices;
    Box(positions, indices);
    CSilhouetteBuilder b(positions, indices);
    TShadowVolumeParams p = Light(1, 0.3f, 0.2f);
    p.minSilhouetteLength = 7;
    b.Update(p);
    ASSERT_EQ(b.GetLoops().size(), 1u);
    EXPECT_TRUE(b.GetLoops()[0].empty());
}
// The directed edges that the loops are made of.
std::set<std::pair<int, int>> LoopEdges(const CSilhouetteBuilder& b)
{
    std::set<std::pair<int, int>> edges;
    for (const auto& loop : b.GetLoops())
        for (size_t k = 0; k < loop.size(); ++k)
            edges.insert({loop[k], loop[(k + 1) % loop.size()]});
    return edges;
}

TEST(Silhouette, IncrementalUpdateMatchesFullRebuild)
{
    // Sharp-edged casters (two boxes apart and an open sheet): every
    // silhouette edge lies where a new loop may start, so the repaired loops
    // must cover exactly what a fresh rebuild finds.
    std::vector<D3DXVECTOR3> positions;
    std::vector<uint16_t> indices;
    Box(positions, indices);
    Box(positions, indices, {60, 5, 0}, {8, 20, 6});
    const uint16_t base = uint16_t(positions.size());
    for (const D3DXVECTOR3& p : {D3DXVECTOR3(-50, -50, -40), D3DXVECTOR3(-20, -50, -40), D3DXVECTOR3(-20, -20, -40),
                                 D3DXVECTOR3(-50, -20, -40)})
        positions.push_back(p);
    for (int t : {0, 1, 2, 0, 2, 3})
        indices.push_back(uint16_t(base + t));

    CSilhouetteBuilder moving(positions, indices);
    std::mt19937 random(7);
    std::normal_distribution<float> turn(0.0f, 0.25f);
    D3DXVECTOR3 light(1, 0.3f, -0.6f);
    for (int step = 0; step < 300; ++step)
    {
        light += D3DXVECTOR3(turn(random), turn(random), turn(random));
        D3DXVec3Normalize(&light, &light);
        TShadowVolumeParams p = Light(light.x, light.y, light.z);
        moving.Update(p);
        // A fresh builder rebuilds from all edges for the direction that
        // the moving one keeps.
        const D3DXVECTOR3 kept = moving.GetDirection();
        CSilhouetteBuilder fresh(positions, indices);
        fresh.Update(Light(kept.x, kept.y, kept.z));
        ASSERT_TRUE(moving.IsValid());
        ExpectClosedSilhouetteLoops(moving);
        ASSERT_EQ(LoopEdges(moving), LoopEdges(fresh)) << "step " << step;
    }
    // Most re-derivations were repairs, not rebuilds.
    EXPECT_GT(moving.GetDerivationCount(), 100);
    EXPECT_LT(moving.GetRebuildCount() * 4, moving.GetDerivationCount());
}
} // namespace
