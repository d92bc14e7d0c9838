#pragma once
// Small numeric tools: the track path (a Catmull-Rom spline through key
// points, evaluated by distance along it), improved Perlin noise, a
// table-driven square root and the distance of two points.
#include <cstdint>
#include <cstdlib>
#include <vector>

struct IDirect3DDevice8;

struct Vec3
{
    float x, y, z;
};

float Vec3Distance(const Vec3& a, const Vec3& b);

class BezierPath
{
public:
    struct KeyPoint
    {
        float distance; // along the chord polyline from the first point
        Vec3 point;
    };

    BezierPath();

    void AddPoint(const Vec3& p);
    // The point `distance` along the path; false (nothing changed) below 0,
    // at or past the end, or with fewer than two points.
    bool GetAtDistance(float distance, Vec3& position);
    float GetLength() const;
    int GetKeyPointCount() const;
    const KeyPoint& GetKeyPoint(int index) const;
    const Vec3& GetTangent() const { return m_LastTangent; }
    const Vec3& GetSegmentTangent() const { return m_SegmentTangent; }
    void Clear();
    // A debugging aid: one line from a to b in position-only vertices.
    static void DrawLine(IDirect3DDevice8* device, const Vec3& a, const Vec3& b);

private:
    Vec3 Curve(float s) const;
    void SetUpSegment(const Vec3& a, const Vec3& b, const Vec3& c, const Vec3& d);
    Vec3 EvaluateSegment(float u);

    int m_N;
    Vec3 m_Control[4];
    float m_SegmentLength;
    std::vector<float> m_Table;
    Vec3 m_SegmentTangent;
    std::vector<KeyPoint> m_Points; // with a copy of the first and last point at the ends
    Vec3 m_LastTangent;
};

// Improved Perlin noise; about [-1, 1], 0 at integer coordinates.
double PerlinNoise3(double x, double y, double z);

class SqrtTable
{
public:
    // Square root of a non-negative float from the top 15 bits of its
    // mantissa: one subtraction, one shift and one table read.
    static float Sqrt(float x);
};

// The program's one way of drawing random numbers: rand() scaled to 0..1
// (rand() / 32767 on Windows, whose RAND_MAX that is; the host's larger
// RAND_MAX keeps the same range natively), and into [low, high].
inline float RandomUnit()
{
    return float(std::rand()) / float(RAND_MAX);
}
inline float RandomRange(float low, float high)
{
    return low + RandomUnit() * (high - low);
}
