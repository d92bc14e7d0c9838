#pragma once
// A small scene for the culling, tangent-space and modifier tests, seen from
// (kCentreX, 0, 10) looking down -z with a 60 degree view onto the plane
// z = 0: a bump-mapped panel, the same material on a quad without normals, a skinned strip with two bone objects, a fan
// bar, an occluder quad with a box hidden behind it, and a row of markers
// along +x beyond the view for the culling tree.
#include "ArchiveWriter.h"

namespace CullingScene
{
constexpr float kCentreX = 40.0f;
constexpr float kCameraZ = 10.0f;

ArchiveTool::CArchiveWriter Build();
} // namespace CullingScene
