#include "World.h"

#include <cmath>

namespace SceneContent
{
namespace
{
}

CWorld::CWorld(uint32_t seed) : m_Seed(seed)
{
    m_ToSun = Normalize(V3(0.55f, -0.45f, 0.62f));
    // Sample the polar loop densely, then resample it evenly by arc length.
    const int dense = 20000;
    std::vector<Vec3> pts(dense + 1);
    std::vector<float> acc(dense + 1, 0);
    for (int i = 0; i <= dense; ++i)
    {
        const float t = 2 * kPi * i / dense;
        const float r = TrackRadius(t);
        pts[i] = V3(r * std::cos(t), r * std::sin(t), 0);
        if (i)
            acc[i] = acc[i - 1] + Length(pts[i] - pts[i - 1]);
    }
    m_Length = acc[dense];
    const int count = int(m_Length / 2200);
    size_t j = 0;
    for (int k = 0; k < count; ++k)
    {
        const float d = m_Length * k / count;
        while (j + 1 < acc.size() && acc[j + 1] < d)
            ++j;
        const float f = (d - acc[j]) / std::max(acc[j + 1] - acc[j], 1e-3f);
        TrackPoint tp;
        tp.p = pts[j] + (pts[j + 1] - pts[j]) * f;
        tp.tangent = Normalize(pts[j + 1] - pts[j]);
        tp.distance = d;
        m_Track.push_back(tp);
    }

    m_TunnelD = m_Length * 0.14f;
    m_TunnelPoint = TrackAt(m_TunnelD).p;
    m_BridgeD = m_Length * 0.31f;
    const TrackPoint b = TrackAt(m_BridgeD);
    m_RiverPoint = b.p;
    m_RiverDir = Normalize(V3(-b.tangent.y, b.tangent.x, 0) + b.tangent * 0.3f);
    const TrackPoint t = TrackAt(m_Length * 0.55f);
    m_Town = t.p + Normalize(V3(-t.tangent.y, t.tangent.x, 0)) * 6500; // inside the loop

    // Height grid over the tiled ground (and a margin).
    m_GridStep = 750;
    m_GridSize = int(2 * (kExtent + 6000) / m_GridStep) + 1;
    m_Grid.resize(size_t(m_GridSize) * m_GridSize);
    for (int y = 0; y < m_GridSize; ++y)
        for (int x = 0; x < m_GridSize; ++x)
            m_Grid[size_t(y) * m_GridSize + x] =
                RawHeight(-kExtent - 6000 + x * m_GridStep, -kExtent - 6000 + y * m_GridStep);
}

float CWorld::TrackRadius(float t) const
{
    return 100000 + 17000 * std::sin(2 * t + 0.6f) + 7000 * std::sin(3 * t + 1.9f);
}

TrackPoint CWorld::TrackAt(float d) const
{
    d = std::fmod(d, m_Length);
    if (d < 0)
        d += m_Length;
    const float step = m_Length / m_Track.size();
    const size_t i = size_t(d / step) % m_Track.size();
    const size_t k = (i + 1) % m_Track.size();
    const float f = (d - m_Track[i].distance) / step;
    TrackPoint tp;
    tp.p = m_Track[i].p + (m_Track[k].p - m_Track[i].p) * f;
    tp.tangent = Normalize(m_Track[i].tangent + (m_Track[k].tangent - m_Track[i].tangent) * f);
    tp.distance = d;
    return tp;
}

float CWorld::NearestTrackDistance(const Vec3& p, float* horizontalDistance) const
{
    float best = 1e30f, bestD = 0;
    for (const TrackPoint& t : m_Track)
    {
        const float dx = t.p.x - p.x, dy = t.p.y - p.y;
        const float d2 = dx * dx + dy * dy;
        if (d2 < best)
        {
            best = d2;
            bestD = t.distance;
        }
    }
    if (horizontalDistance)
        *horizontalDistance = std::sqrt(best);
    return bestD;
}

float CWorld::TrackGap(float x, float y) const
{
    return std::fabs(std::sqrt(x * x + y * y) - TrackRadius(std::atan2(y, x)));
}

float CWorld::MinCurveRadius() const
{
    float minR = 1e30f;
    const size_t n = m_Track.size();
    for (size_t i = 0; i < n; ++i)
    {
        const Vec3 a = m_Track[(i + n - 1) % n].p, b = m_Track[i].p, c = m_Track[(i + 1) % n].p;
        const float area2 = std::fabs(Cross(b - a, c - a).z);
        if (area2 > 1e-3f)
            minR = std::min(minR, Length(b - a) * Length(c - b) * Length(c - a) / (2 * area2));
    }
    return minR;
}

Vec3 CWorld::Place(float trackDistance, float side) const
{
    const TrackPoint t = TrackAt(trackDistance);
    // The loop runs counter-clockwise, so the right of the tangent is outside.
    const Vec3 outside = V3(t.tangent.y, -t.tangent.x, 0);
    Vec3 p = t.p + outside * side;
    p.z = Height(p.x, p.y);
    return p;
}

float CWorld::RawHeight(float x, float y) const
{
    const float rho = std::sqrt(x * x + y * y);
    const float theta = std::atan2(y, x);
    float h = 5200 * (Fbm(x / 70000 + 3, y / 70000 + 3, m_Seed + 501, 5) - 0.42f) +
              900 * (Fbm(x / 9000, y / 9000, m_Seed + 502, 3) - 0.5f);
    // Hills grow towards the edge of the land, the desert beyond.
    h += 6000 * SmoothStep(150000, 300000, rho) * Fbm(x / 40000, y / 40000, m_Seed + 503, 4);
    // The tunnel's hill.
    const float dt = Length(V3(x - m_TunnelPoint.x, y - m_TunnelPoint.y, 0));
    h += 6500 * SmoothStep(26000, 9000, dt);
    // Level the ground along the track (a raised, smooth bed), but not
    // over the tunnel.
    const float trackGap = std::fabs(rho - TrackRadius(theta));
    float w = SmoothStep(900, 7000, trackGap);
    w = std::max(w, SmoothStep(13000, 10500, dt));
    h = kBedHeight - 40 + (h - (kBedHeight - 40)) * w;
    // The town is flat.
    const float dTown = Length(V3(x - m_Town.x, y - m_Town.y, 0));
    h = h + (kBedHeight - 40 - h) * SmoothStep(16000, 9000, dTown);
    // The river's valley, crossed by the bridge.
    const Vec3 rel = V3(x - m_RiverPoint.x, y - m_RiverPoint.y, 0);
    const float along = Dot(rel, m_RiverDir);
    const float across = std::fabs(rel.x * m_RiverDir.y - rel.y * m_RiverDir.x);
    const float carve = SmoothStep(60000, 40000, std::fabs(along)) * SmoothStep(7000, 1200, across);
    if (carve > 0)
        h = h + (std::min(h, -1700.0f) - h) * carve;
    return h;
}

float CWorld::Height(float x, float y) const
{
    const float gx = (x + kExtent + 6000) / m_GridStep, gy = (y + kExtent + 6000) / m_GridStep;
    if (gx < 0 || gy < 0 || gx >= m_GridSize - 1 || gy >= m_GridSize - 1)
        return RawHeight(x, y);
    const int ix = int(gx), iy = int(gy);
    const float fx = gx - ix, fy = gy - iy;
    const float* r0 = &m_Grid[size_t(iy) * m_GridSize + ix];
    const float* r1 = r0 + m_GridSize;
    return (r0[0] * (1 - fx) + r0[1] * fx) * (1 - fy) + (r1[0] * (1 - fx) + r1[1] * fx) * fy;
}

Vec3 CWorld::Normal(float x, float y) const
{
    const float e = 400;
    const float dx = Height(x + e, y) - Height(x - e, y), dy = Height(x, y + e) - Height(x, y - e);
    return Normalize(V3(-dx, -dy, 2 * e));
}

float CWorld::SunVisibility(float x, float y, float z) const
{
    // March towards the sun over the ground; soften near grazing hits.
    float vis = 1;
    const Vec3 s = m_ToSun;
    const float horiz = std::sqrt(s.x * s.x + s.y * s.y);
    for (int i = 1; i <= 14; ++i)
    {
        const float d = 1200.0f * i * i * 0.35f + 600.0f * i;
        const float px = x + s.x / horiz * d, py = y + s.y / horiz * d;
        const float rayZ = z + 30 + s.z / horiz * d;
        const float g = Height(px, py);
        if (g > rayZ)
            vis = std::min(vis, Clamp01(1 - (g - rayZ) / 600));
    }
    return vis;
}

Rgb CWorld::Light(const Vec3& n, float visibility) const
{
    const float sun = std::max(0.0f, Dot(n, m_ToSun)) * visibility;
    const float sky = 0.5f + 0.5f * n.z;
    const Rgb ambient = Scale(MakeRgb(0.50f, 0.56f, 0.68f), 0.45f + 0.2f * sky);
    const Rgb direct = Scale(MakeRgb(1.0f, 0.92f, 0.78f), sun * 0.9f);
    return Rgb{ambient.r + direct.r, ambient.g + direct.g, ambient.b + direct.b};
}
} // namespace SceneContent
