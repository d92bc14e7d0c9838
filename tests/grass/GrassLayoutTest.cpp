// Laying out a grass patch: the generation values, the device caps, the
// scatter over density maps, the areas, the baked arrays, the draw ranges,
// and the wind of swaying branches.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "GrassLayout.h"

namespace
{
// A flat 100 x 100 ground at z = 5 over (0, 0), 10 x 10 cells.
struct FlatGround
{
    GrassSurface surface;
    FlatGround()
    {
        SurfaceSource s;
        s.boxMin = D3DXVECTOR3(0, 0, 0);
        s.boxMax = D3DXVECTOR3(100, 100, 10);
        s.intersectRay = [](const D3DXVECTOR3& o, const D3DXVECTOR3&, D3DXVECTOR3* hit) {
            *hit = D3DXVECTOR3(o.x, o.y, 5);
            return true;
        };
        surface.Generate(&s, 10, 10);
    }
};

// A 4 x 4 A8R8G8B8 map whose red channel is `red(column, row)`.
struct DensityMap
{
    std::vector<uint8_t> texels = std::vector<uint8_t>(4 * 4 * 4, 0);
    GrassDensityMap map;
    template <class F>
    explicit DensityMap(F red)
    {
        for (int row = 0; row < 4; ++row)
            for (int column = 0; column < 4; ++column)
                texels[size_t(row * 16 + column * 4 + 2)] = uint8_t(red(column, row));
        map.bits = texels.data();
        map.pitch = 16;
        map.width = map.height = 4;
    }
};

// One triangle: a blade 1 wide and 2 high, root at v = 1.
GrassLayout OneBladeLayout()
{
    const float v[3][8] = {{0, 0, 0, 0, 0, 1, 0, 1}, {1, 0, 0, 0, 0, 1, 1, 1}, {0, 0, 2, 0, 0, 1, 0, 0}};
    std::vector<uint8_t> bytes(sizeof(v));
    memcpy(bytes.data(), v, sizeof(v));
    GrassLayout layout;
    layout.SetSample(bytes, 32, 3, {0, 1, 2}, 1, 2);
    return layout;
}

GrassGenerationValues Values(int minHeight, float totalScale, float maxScaleDelta)
{
    const float raw[8] = {10, 10, 1, 2, 2, float(minHeight), totalScale * 100, maxScaleDelta * 100};
    return MakeGrassGenerationValues(raw);
}

uint32_t TotalInstances(const GrassLayout& layout)
{
    uint32_t n = 0;
    for (const GrassArea& area : layout.Areas())
        n += area.instanceCount;
    return n;
}

TEST(GrassLayout, GenerationValuesAreClamped)
{
    const float raw[8] = {40.9f, -3, 6, 0, -2, 300, -150, 250};
    const GrassGenerationValues v = MakeGrassGenerationValues(raw);
    EXPECT_EQ(v.widthCells, 40);
    EXPECT_EQ(v.heightCells, -3); // refused later by the validation
    EXPECT_EQ(v.widthSubAreas, 1);
    EXPECT_EQ(v.heightSubAreas, 1);
    EXPECT_EQ(v.minHeight, 255);
    EXPECT_EQ(v.totalScale, 0);
    EXPECT_EQ(v.maxScaleDelta, 1);
    const float wild[8] = {1e30f, NAN, -1e30f, 7, 7, -5, 150, 30};
    const GrassGenerationValues w = MakeGrassGenerationValues(wild);
    EXPECT_EQ(w.widthCells, 2147483647);
    EXPECT_EQ(w.heightCells, 0);
    EXPECT_LT(w.grassPerCell, 0);
    EXPECT_EQ(w.minHeight, 0);
    EXPECT_FLOAT_EQ(w.totalScale, 1.5f);
    EXPECT_FLOAT_EQ(w.maxScaleDelta, 0.3f);
}

TEST(GrassLayout, CapacityByIndexRangeAndPrimitiveLimit)
{
    struct Case
    {
        const char* name;
        uint64_t wanted;
        uint32_t vertices, triangles, maxIndex, maxPrimitives;
        uint32_t count, indexSize;
    } cases[] = {
        {"FitsIn16Bits", 1000, 12, 6, 65535, 1000000, 1000, 2},
        {"CutTo16BitQuotient", 10000, 12, 6, 65535, 1000000, 5461, 2},
        {"SmallIndexRange", 10000, 12, 6, 1000, 1000000, 83, 2},
        {"SwitchesTo32Bits", 10000, 12, 6, 0xFFFFFF, 1000000, 10000, 4},
        {"CutTo32BitQuotient", 10000000, 12, 6, 0xFFFFFF, 0xFFFFFFFF, 0xFFFFFF / 12, 4},
        {"PrimitiveLimit", 10000, 12, 6, 0xFFFFFF, 6000, 1000, 4},
        {"SampleWithoutVertices", 10000, 0, 6, 0xFFFFFF, 6000, 0, 2},
        {"SampleWithoutTriangles", 10000, 12, 0, 0xFFFFFF, 6000, 0, 2},
    };
    for (const Case& c : cases)
    {
        const GrassCapacity cap = ChooseGrassCapacity(c.wanted, c.vertices, c.triangles, c.maxIndex, c.maxPrimitives);
        EXPECT_EQ(cap.count, c.count) << c.name;
        EXPECT_EQ(cap.indexSize, c.indexSize) << c.name;
    }
}

TEST(GrassLayout, AreasAndTheirBorders)
{
    FlatGround ground;
    GrassLayout layout = OneBladeLayout();
    layout.MakeAreas(ground.surface.GetGrid(), 2, 4);
    ASSERT_EQ(layout.Areas().size(), 8u);
    // Ordered by column, then row.
    EXPECT_EQ(layout.Areas()[1].x0, 0);
    EXPECT_EQ(layout.Areas()[1].y0, 25);
    EXPECT_EQ(layout.Areas()[4].x0, 50);
    EXPECT_EQ(layout.FindArea(10, 30), &layout.Areas()[1]);
    EXPECT_EQ(layout.FindArea(50, 25), &layout.Areas()[0]); // a border: the earlier area
    EXPECT_EQ(layout.FindArea(100.5f, 10), nullptr);
}

TEST(GrassLayout, DensityMapsDecideWhereGrassGrows)
{
    FlatGround ground;
    struct Case
    {
        const char* name;
        DensityMap map;
        int minHeight;
        bool grows;
    } cases[] = {
        {"AllBlack", DensityMap([](int, int) { return 0; }), 0, false},
        {"AllWhite", DensityMap([](int, int) { return 255; }), 0, true},
        {"AtTheMinHeight", DensityMap([](int, int) { return 128; }), 128, true},
        {"BelowTheMinHeight", DensityMap([](int, int) { return 128; }), 129, false},
    };
    for (Case& c : cases)
    {
        GrassLayout layout = OneBladeLayout();
        layout.MakeAreas(ground.surface.GetGrid(), 2, 2);
        srand(7);
        const uint32_t placed = layout.Place(ground.surface, c.map.map, 200, Values(c.minHeight, 1, 0));
        EXPECT_EQ(placed, c.grows ? 200u : 0u) << c.name;
        EXPECT_EQ(TotalInstances(layout), placed) << c.name;
    }
}

TEST(GrassLayout, HalfBlackMapGrowsOnTheBrightHalfOnly)
{
    FlatGround ground;
    // Columns 2 and 3 bright (x from 50), rows 0 and 1 bright (the map's top
    // row is the far y edge: y from 50).
    DensityMap map([](int column, int row) { return column >= 2 && row <= 1 ? 200 : 0; });
    GrassLayout layout = OneBladeLayout();
    layout.MakeAreas(ground.surface.GetGrid(), 2, 2);
    srand(3);
    ASSERT_EQ(layout.Place(ground.surface, map.map, 100, Values(0, 2, 0)), 100u);
    for (const GrassArea& area : layout.Areas())
        for (const GrassInstance& g : area.instances)
        {
            EXPECT_GE(g.x, 50);
            EXPECT_GE(g.y, 50);
            EXPECT_EQ(g.z, 5);
            EXPECT_FLOAT_EQ(g.scale, 200 / 255.0f * 2);
        }
    layout.RemoveEmptyAreas();
    ASSERT_EQ(layout.Areas().size(), 1u);
    EXPECT_EQ(layout.Areas()[0].x0, 50);
    EXPECT_EQ(layout.Areas()[0].y0, 50);
    // The box: widened by half the sample's width, raised by its height.
    EXPECT_EQ(layout.Areas()[0].corners[0], D3DXVECTOR3(49.5f, 49.5f, 5));
    EXPECT_EQ(layout.Areas()[0].corners[7], D3DXVECTOR3(100.5f, 100.5f, 7));
}

TEST(GrassLayout, PlacementStopsAfterTenAttemptsPerCopy)
{
    FlatGround ground;
    // One bright texel of sixteen: far fewer than wanted fit in 10 x N tries.
    DensityMap map([](int column, int row) { return column == 0 && row == 0 ? 255 : 0; });
    GrassLayout layout = OneBladeLayout();
    layout.MakeAreas(ground.surface.GetGrid(), 1, 1);
    srand(11);
    const uint32_t placed = layout.Place(ground.surface, map.map, 1000, Values(0, 1, 0));
    EXPECT_GT(placed, 300u);
    EXPECT_LT(placed, 1000u);
}

std::vector<uint8_t> Bake(uint32_t seed, uint32_t indexSize, std::vector<uint8_t>* indices)
{
    FlatGround ground;
    DensityMap map([](int, int) { return 255; });
    GrassLayout layout = OneBladeLayout();
    layout.MakeAreas(ground.surface.GetGrid(), 3, 3);
    srand(seed);
    layout.Place(ground.surface, map.map, 50, Values(0, 1, 0.5f));
    layout.RemoveEmptyAreas();
    std::vector<uint8_t> vertices;
    layout.WriteInstances(D3DXVECTOR3(10, 20, 1), indexSize, vertices, *indices);
    return vertices;
}

TEST(GrassLayout, SameSeedSameGrass)
{
    std::vector<uint8_t> i1, i2, i3;
    EXPECT_EQ(Bake(5, 2, &i1), Bake(5, 2, &i2));
    EXPECT_NE(Bake(5, 2, &i1), Bake(6, 2, &i3));
}

TEST(GrassLayout, BakedCopiesStandOnTheGroundWithTheirOwnIndices)
{
    for (uint32_t indexSize : {2u, 4u})
    {
        std::vector<uint8_t> indices;
        const std::vector<uint8_t> vertices = Bake(9, indexSize, &indices);
        ASSERT_EQ(vertices.size(), 50u * 3 * 36);
        ASSERT_EQ(indices.size(), 50u * 3 * indexSize);
        for (uint32_t k = 0; k < 50; ++k)
        {
            float root[9], tip[9];
            memcpy(root, vertices.data() + (k * 3) * 36, 36);
            memcpy(tip, vertices.data() + (k * 3 + 2) * 36, 36);
            // The root sits on the ground (z 5) less the object's z (1); the
            // tip stands 2 x scale above it; the scale rides in the third
            // texture coordinate.
            EXPECT_FLOAT_EQ(root[2], 4);
            EXPECT_NEAR(tip[2] - root[2], 2 * root[8], 1e-4);
            EXPECT_GE(root[8], 0.5f);
            EXPECT_LE(root[8], 1.0f);
            EXPECT_NEAR(tip[5], 1, 1e-5); // the normal turns about Z only
            for (uint32_t i = 0; i < 3; ++i)
            {
                uint32_t index = 0;
                memcpy(&index, indices.data() + (k * 3 + i) * indexSize, indexSize);
                EXPECT_EQ(index, k * 3 + i);
            }
        }
    }
}

TEST(GrassLayout, DrawRangesSkipCulledAndFarAreas)
{
    FlatGround ground;
    DensityMap map([](int, int) { return 255; });
    GrassLayout layout = OneBladeLayout();
    layout.MakeAreas(ground.surface.GetGrid(), 2, 1);
    srand(1);
    layout.Place(ground.surface, map.map, 40, Values(0, 1, 0));
    layout.RemoveEmptyAreas();
    ASSERT_EQ(layout.Areas().size(), 2u);
    const uint32_t first = layout.Areas()[0].instanceCount, second = layout.Areas()[1].instanceCount;
    layout.UpdateDistances(D3DXVECTOR3(25, 50, 5)); // the first area's centre
    EXPECT_NEAR(layout.Areas()[0].cameraDistance, 0, 1e-4);
    EXPECT_NEAR(layout.Areas()[1].cameraDistance, 50, 1e-4);

    // Both drawn: each from its own first copy.
    auto all = layout.DrawRanges(1000, nullptr);
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].startIndex, 0u);
    EXPECT_EQ(all[0].primitives, first);
    EXPECT_EQ(all[1].startIndex, 3 * first);
    EXPECT_EQ(all[1].primitives, second);
    // Exactly at the max distance: not drawn.
    EXPECT_EQ(layout.DrawRanges(50, nullptr).size(), 1u);
    // A frustum that keeps x < 40 only: the second area is culled, the first
    // keeps its start.
    D3DXPLANE planes[6] = {{-1, 0, 0, 40}, {0, 0, 0, 1}, {0, 0, 0, 1}, {0, 0, 0, 1}, {0, 0, 0, 1}, {0, 0, 0, 1}};
    auto culled = layout.DrawRanges(1000, planes);
    ASSERT_EQ(culled.size(), 1u);
    EXPECT_EQ(culled[0].startIndex, 0u);
    // Keeping x > 60 only: the first is culled, the second still starts
    // after the first's copies.
    planes[0] = D3DXPLANE(1, 0, 0, -60);
    culled = layout.DrawRanges(1000, planes);
    ASSERT_EQ(culled.size(), 1u);
    EXPECT_EQ(culled[0].startIndex, 3 * first);
}

TEST(GrassLayout, SampleKeepsOnlyTrianglesOfItsVertices)
{
    std::vector<uint8_t> bytes(3 * 32, 0);
    GrassLayout layout;
    layout.SetSample(bytes, 32, 5, {0, 1, 2, 0, 2, 4, 1}, 1, 1); // 5 claimed, 3 held
    EXPECT_EQ(layout.GetSampleVertexCount(), 3u);
    EXPECT_EQ(layout.GetSampleIndexCount(), 3u);
}

TEST(GrassLayout, WindScaleFollowsTheNoise)
{
    // The noise is 0 at the origin: the factor rests at the min scale.
    EXPECT_FLOAT_EQ(LeavesWindScale(123, 0, 0.6f, 1), 0.6f);
    EXPECT_FLOAT_EQ(LeavesWindScale(0, 0.2f, 0.6f, 1), 0.6f);
    // Elsewhere it moves with the noise, and a reversed range moves it the
    // other way.
    const float up = LeavesWindScale(2.3f, 0.2f, 0.6f, 1), down = LeavesWindScale(2.3f, 0.2f, 1, 0.6f);
    EXPECT_NE(up, 0.6f);
    EXPECT_NEAR(up - 0.6f, 1 - down, 1e-5);
    float lo = 10, hi = -10;
    for (int i = 0; i < 200; ++i)
    {
        const float w = LeavesWindScale(i * 0.37f, 0.2f, 0.6f, 1);
        lo = std::min(lo, w);
        hi = std::max(hi, w);
    }
    EXPECT_LT(lo, hi);
    EXPECT_GT(lo, 0.6f - 0.45f);
    EXPECT_LT(hi, 1 + 0.05f);
}
} // namespace
