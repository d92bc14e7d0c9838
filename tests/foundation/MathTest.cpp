#include "MathUtils.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "LogCapture.h"

namespace
{
float Length(const Vec3& v)
{
    return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
}
} // namespace

TEST(BezierPath, StraightSegment)
{
    BezierPath path;
    path.AddPoint({0, 0, 0});
    path.AddPoint({10, 0, 0});
    EXPECT_EQ(path.GetLength(), 10.0f);
    EXPECT_EQ(path.GetKeyPointCount(), 2);
    EXPECT_EQ(path.GetKeyPoint(1).distance, 10.0f);

    struct Case
    {
        float d;
        float x;
    };
    for (const Case& c : {Case{0, 0}, Case{2.5f, 2.5f}, Case{5, 5}, Case{9.99f, 9.99f}})
    {
        Vec3 p{-1, -1, -1};
        ASSERT_TRUE(path.GetAtDistance(c.d, p)) << c.d;
        EXPECT_NEAR(p.x, c.x, 0.02f) << c.d;
        EXPECT_NEAR(p.y, 0.0f, 1e-5f);
        EXPECT_NEAR(path.GetTangent().x, 1.0f, 1e-4f) << c.d;
        EXPECT_NEAR(Length(path.GetTangent()), 1.0f, 1e-5f);
    }
}

TEST(BezierPath, PassesThroughKeyPointsAndRefusesOutside)
{
    BezierPath path;
    const Vec3 points[] = {{0, 0, 0}, {10, 0, 0}, {10, 0, 10}, {0, 5, 10}};
    for (const Vec3& p : points)
        path.AddPoint(p);
    EXPECT_EQ(path.GetKeyPointCount(), 4);
    EXPECT_NEAR(path.GetLength(), 20.0f + std::sqrt(125.0f), 1e-4f);
    for (int i = 0; i + 1 < path.GetKeyPointCount(); ++i)
    {
        Vec3 p;
        ASSERT_TRUE(path.GetAtDistance(path.GetKeyPoint(i).distance, p));
        EXPECT_NEAR(p.x, points[i].x, 1e-4f) << i;
        EXPECT_NEAR(p.y, points[i].y, 1e-4f) << i;
        EXPECT_NEAR(p.z, points[i].z, 1e-4f) << i;
    }
    // Between key points the curve is smooth: no jumps along a fine walk.
    Vec3 previous;
    ASSERT_TRUE(path.GetAtDistance(0, previous));
    for (float d = 0.1f; d < path.GetLength(); d += 0.1f)
    {
        Vec3 p;
        ASSERT_TRUE(path.GetAtDistance(d, p)) << d;
        const Vec3 step{p.x - previous.x, p.y - previous.y, p.z - previous.z};
        EXPECT_LT(Length(step), 0.3f) << d;
        previous = p;
    }

    const Vec3 tangentBefore = path.GetTangent();
    for (float d : {-0.5f, path.GetLength(), path.GetLength() + 1.0f})
    {
        Vec3 p{7, 7, 7};
        EXPECT_FALSE(path.GetAtDistance(d, p)) << d;
        EXPECT_EQ(p.x, 7.0f);
        EXPECT_EQ(path.GetTangent().x, tangentBefore.x);
    }
}

TEST(BezierPath, TooFewPoints)
{
    BezierPath path;
    Vec3 p;
    EXPECT_FALSE(path.GetAtDistance(0, p));
    EXPECT_EQ(path.GetLength(), 0.0f);
    EXPECT_EQ(path.GetKeyPointCount(), 0);
    path.AddPoint({1, 2, 3});
    EXPECT_EQ(path.GetKeyPointCount(), 1);
    for (float d : {-1.0f, 0.0f, 1.0f})
        EXPECT_FALSE(path.GetAtDistance(d, p));
    path.AddPoint({1, 2, 3}); // a second point at the same place adds no length
    EXPECT_FALSE(path.GetAtDistance(0, p));
    path.Clear();
    EXPECT_EQ(path.GetKeyPointCount(), 0);
}

TEST(PerlinNoise, LatticeZerosAndRange)
{
    for (int x = -3; x <= 3; ++x)
        for (int y = -3; y <= 300; y += 101)
            EXPECT_EQ(PerlinNoise3(x, y, x * 7), 0.0) << x << " " << y;
    double low = 0, high = 0;
    for (int i = 0; i < 20000; ++i)
    {
        const double n = PerlinNoise3(i * 0.0731, i * 0.0127 - 40, i * 0.113);
        low = std::min(low, n);
        high = std::max(high, n);
    }
    EXPECT_GE(low, -1.05);
    EXPECT_LE(high, 1.05);
    EXPECT_LT(low, -0.4); // not flat
    EXPECT_GT(high, 0.4);
    // Continuous: a tiny step changes the value a little.
    EXPECT_NEAR(PerlinNoise3(1.5, 2.25, 3.75), PerlinNoise3(1.5001, 2.25, 3.75), 1e-3);
    // The lattice repeats every 256 units.
    EXPECT_NEAR(PerlinNoise3(1.3, 2.6, 3.1), PerlinNoise3(257.3, 2.6, 3.1), 1e-9);
}

TEST(SqrtTable, AccuracyOverASweep)
{
    EXPECT_EQ(SqrtTable::Sqrt(0.0f), 0.0f);
    EXPECT_EQ(SqrtTable::Sqrt(4.0f), 2.0f);
    EXPECT_EQ(SqrtTable::Sqrt(0.25f), 0.5f);
    EXPECT_NEAR(SqrtTable::Sqrt(2.0f), 1.41421f, 1e-5f);
    double worst = 0;
    for (float x = 1e-6f; x < 1e7f; x *= 1.0013f)
    {
        const double exact = std::sqrt(double(x));
        worst = std::max(worst, std::fabs(SqrtTable::Sqrt(x) - exact) / exact);
    }
    EXPECT_LT(worst, 2e-5); // the top 15 mantissa bits of the input
}

TEST(Vec3Distance, Euclidean)
{
    EXPECT_EQ(Vec3Distance({1, 2, 3}, {4, 6, 3}), 5.0f);
    EXPECT_EQ(Vec3Distance({-1, -1, -1}, {-1, -1, -1}), 0.0f);
}
