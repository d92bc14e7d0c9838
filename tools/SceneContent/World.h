#pragma once
// The landscape's shape: the closed track (level, at the height of the rail
// tops, z = 0), the ground around it and the places of the settlements.
#include <string>
#include <vector>

#include "Geometry.h"

namespace SceneContent
{
// The seed of the shipped content.
constexpr uint32_t kContentSeed = 20070709;

struct TrackPoint
{
    Vec3 p;       // on the track centre line, z = 0
    Vec3 tangent; // towards growing distance
    float distance = 0;
};

class CWorld
{
public:
    explicit CWorld(uint32_t seed);

    // The track centre line sampled every `spacing` centimetres of arc.
    const std::vector<TrackPoint>& Track() const { return m_Track; }
    float TrackLength() const { return m_Length; }
    // The point at a track distance (wrapped into the loop).
    TrackPoint TrackAt(float distance) const;
    // Track distance of the track point nearest to p (horizontal).
    float NearestTrackDistance(const Vec3& p, float* horizontalDistance = nullptr) const;
    // Horizontal distance from the track, approximately (fast).
    float TrackGap(float x, float y) const;
    // Smallest radius of curvature along the loop.
    float MinCurveRadius() const;

    float Height(float x, float y) const;
    Vec3 Normal(float x, float y) const;
    // 0 in the sun's shadow of the ground, 1 in the open.
    float SunVisibility(float x, float y, float z) const;
    // The lit colour of the ground or an object face: sun-facing shading
    // with ambient, multiplied by visibility.
    Rgb Light(const Vec3& normal, float visibility) const;

    Vec3 ToSun() const { return m_ToSun; }

    // Landmarks.
    float TunnelDistance() const { return m_TunnelD; } // track distance of the tunnel's middle
    float TunnelHalfLength() const { return 11500; }
    float BridgeDistance() const { return m_BridgeD; }
    Vec3 Town() const { return m_Town; }
    Vec3 RiverPoint() const { return m_RiverPoint; }
    Vec3 RiverDir() const { return m_RiverDir; }
    Vec3 Place(float trackDistance, float side) const; // a point beside the track (side > 0: outside the loop)

    static constexpr float kBedHeight = -60;
    static constexpr float kExtent = 180000;   // half side of the tiled ground
    static constexpr float kOuterExtent = 300000;
    static constexpr float kHorizon = 465000;  // radius of the painted panorama

private:
    float TrackRadius(float theta) const;
    float RawHeight(float x, float y) const;

    uint32_t m_Seed;
    std::vector<TrackPoint> m_Track;
    float m_Length = 0;
    Vec3 m_ToSun;
    float m_TunnelD = 0, m_BridgeD = 0;
    Vec3 m_TunnelPoint, m_Town, m_RiverPoint, m_RiverDir;
    // Height samples of the inner ground, for lighting and placing.
    std::vector<float> m_Grid;
    int m_GridSize = 0;
    float m_GridStep = 0;
};
} // namespace SceneContent
