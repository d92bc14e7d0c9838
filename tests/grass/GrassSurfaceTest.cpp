// The grass ground grid: lookups on a sloped plane, holes, the edges, and
// grid files good and bad.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "../foundation/LogCapture.h"
#include "GrassSurface.h"

namespace
{
float Plane(float x, float y)
{
    return 2 * x + 3 * y + 1;
}

// A 4 x 2-cell surface over [0, 40] x [0, 20] on the plane, with a hole at
// node (row 2, column 4) where the ray misses.
SurfaceSource SlopedSurface()
{
    SurfaceSource s;
    s.boxMin = D3DXVECTOR3(0, 0, 0);
    s.boxMax = D3DXVECTOR3(40, 20, 200);
    s.intersectRay = [](const D3DXVECTOR3& o, const D3DXVECTOR3& d, D3DXVECTOR3* hit) {
        EXPECT_EQ(d, D3DXVECTOR3(0, 0, -1));
        EXPECT_EQ(o.z, 201);
        if (o.x == 40 && o.y == 20)
            return false;
        *hit = D3DXVECTOR3(o.x, o.y, Plane(o.x, o.y));
        return true;
    };
    return s;
}

struct LookupCase
{
    const char* name;
    float x, y;
    bool found;
};

TEST(GrassSurface, LookupsOnASlopedPlane)
{
    GrassSurface surface;
    const SurfaceSource source = SlopedSurface();
    ASSERT_TRUE(surface.Generate(&source, 2, 4));
    EXPECT_EQ(surface.GetGrid().GetCellWidth(), 10);
    EXPECT_EQ(surface.GetGrid().GetCellHeight(), 10);
    EXPECT_EQ(surface.GetLowestHeight(), 1);
    const LookupCase cases[] = {
        {"InsideACell", 13, 4, true},         {"OnTheDiagonal", 15, 15, true},
        {"OnANode", 20, 10, true},            {"BelowByLessThanACell", 5, -3, true},
        {"LeftByLessThanACell", -4, 5, true}, {"BelowByACell", 5, -10.5f, false},
        {"OnTheFarEdge", 40, 5, false},       {"CellTouchingTheHole", 35, 15, false},
    };
    for (const LookupCase& c : cases)
    {
        D3DXVECTOR3 p(-1, -1, -1);
        EXPECT_EQ(surface.GetSurfacePoint(c.x, c.y, p), c.found) << c.name;
        if (c.found)
        {
            EXPECT_NEAR(p.z, Plane(c.x, c.y), 1e-3) << c.name;
        }
    }
}

TEST(GrassSurface, DiagonalTakesTheTriangleThroughB)
{
    // A cell whose corner C alone is raised: the two triangles differ, and
    // a point on the diagonal A-C belongs to A, B, C.
    GrassSurface surface;
    SurfaceSource s;
    s.boxMin = D3DXVECTOR3(0, 0, 0);
    s.boxMax = D3DXVECTOR3(10, 10, 50);
    s.intersectRay = [](const D3DXVECTOR3& o, const D3DXVECTOR3&, D3DXVECTOR3* hit) {
        *hit = D3DXVECTOR3(o.x, o.y, o.x == 10 && o.y == 10 ? 10.0f : 0.0f);
        return true;
    };
    ASSERT_TRUE(surface.Generate(&s, 1, 1));
    D3DXVECTOR3 p;
    ASSERT_TRUE(surface.GetSurfacePoint(5, 5, p));
    EXPECT_NEAR(p.z, 5, 1e-4); // on the plane of A, B, C
    ASSERT_TRUE(surface.GetSurfacePoint(2, 8, p));
    EXPECT_NEAR(p.z, 2, 1e-4); // triangle A, C, D: z = x
    ASSERT_TRUE(surface.GetSurfacePoint(8, 2, p));
    EXPECT_NEAR(p.z, 2, 1e-4); // triangle A, B, C: z = y
}

TEST(GrassSurface, NeverGeneratedKeepsTheCallersPoint)
{
    GrassSurface surface;
    D3DXVECTOR3 p(1, 2, 3);
    EXPECT_TRUE(surface.GetSurfacePoint(100, 100, p));
    EXPECT_EQ(p, D3DXVECTOR3(1, 2, 3));
    EXPECT_EQ(surface.GetHighestHeight(), 0);
}

TEST(GrassSurface, NoSurfaceIsLogged)
{
    LogCapture log;
    GrassSurface surface;
    EXPECT_FALSE(surface.Generate(nullptr, 4, 4));
    EXPECT_EQ(log.Text(), "Error while generating surface. Object to generate surface does not exist.\n");
}

std::vector<uint8_t> GridFile(float sizeX, float sizeY, int32_t columns, int32_t rows,
                              const std::vector<std::vector<float>>& nodes)
{
    std::vector<uint8_t> bytes(32);
    const float header[6] = {sizeX, sizeY, 999, 999, 100, 200}; // the cell sizes are recomputed
    memcpy(bytes.data(), header, sizeof(header));
    memcpy(bytes.data() + 24, &columns, 4);
    memcpy(bytes.data() + 28, &rows, 4);
    for (const auto& n : nodes)
    {
        const int32_t rc[2] = {int32_t(n[0]), int32_t(n[1])};
        const float xyz[3] = {-5, -5, n[2]}; // x and y are recomputed
        bytes.insert(bytes.end(), reinterpret_cast<const uint8_t*>(rc), reinterpret_cast<const uint8_t*>(rc) + 8);
        bytes.insert(bytes.end(), reinterpret_cast<const uint8_t*>(xyz), reinterpret_cast<const uint8_t*>(xyz) + 12);
    }
    return bytes;
}

TEST(GrassSurface, GridFileReadsItsNodes)
{
    const auto bytes = GridFile(20, 10, 2, 1, {{0, 0, 1}, {0, 1, 1}, {0, 2, 1}, {1, 0, 3}, {1, 1, 3}, {7, 7, 50}});
    GrassSurface surface;
    ASSERT_TRUE(surface.LoadFromBytes(bytes.data(), bytes.size()));
    EXPECT_EQ(surface.GetGrid().GetCellWidth(), 10);
    ASSERT_NE(surface.GetNode(1, 1), nullptr);
    EXPECT_EQ(surface.GetNode(1, 1)->x, 110);
    EXPECT_EQ(surface.GetNode(1, 1)->y, 210);
    EXPECT_EQ(surface.GetNode(1, 2), nullptr);
    EXPECT_EQ(surface.GetNode(7, 7), nullptr); // outside: ignored
    EXPECT_EQ(surface.GetHighestHeight(), 3);
    D3DXVECTOR3 p;
    ASSERT_TRUE(surface.GetSurfacePoint(105, 205, p));
    EXPECT_NEAR(p.z, 2, 1e-4);
}

TEST(GrassSurface, GridFilesTable)
{
    struct Case
    {
        const char* name;
        std::vector<uint8_t> bytes;
        bool accepted;
    } cases[] = {
        {"HeaderOnly", GridFile(20, 10, 2, 1, {}), true},
        {"HeaderAndAPartRecord", [] { auto b = GridFile(20, 10, 2, 1, {}); b.resize(51); return b; }(), true},
        {"ShorterThanTheHeader", std::vector<uint8_t>(31), false},
        {"NoColumns", GridFile(20, 10, 0, 1, {}), false},
        {"NegativeRows", GridFile(20, 10, 2, -3, {}), false},
        {"HugeGrid", GridFile(20, 10, 1 << 30, 1 << 30, {}), false},
        {"InfiniteSize", GridFile(INFINITY, 10, 2, 1, {}), false},
        {"NaNSize", GridFile(NAN, 10, 2, 1, {}), false},
        {"MoreRecordsThanNodes", GridFile(10, 10, 1, 1, {{0, 0, 1}, {0, 1, 1}, {1, 0, 1}, {1, 1, 1}, {1, 1, 2}}), false},
    };
    for (const Case& c : cases)
    {
        GrassSurface surface;
        EXPECT_EQ(surface.LoadFromBytes(c.bytes.data(), c.bytes.size()), c.accepted) << c.name;
        EXPECT_EQ(surface.IsGenerated(), c.accepted) << c.name;
        if (c.accepted)
        {
            EXPECT_EQ(surface.GetNode(0, 0), nullptr) << c.name;
        }
    }
}
} // namespace
