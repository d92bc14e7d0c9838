#pragma once
// Field-by-field equality of archive records, for round-trip tests.
#include <cstring>
#include <tuple>

#include "SceneArchiveFormat.h"

namespace FileStorage
{
inline bool SameFloats(const float* a, const float* b, int n)
{
    return memcmp(a, b, n * sizeof(float)) == 0;
}
inline bool operator==(const NodeKey& a, const NodeKey& b)
{
    return a.timeMs == b.timeMs && SameFloats(a.matrix, b.matrix, 16);
}
inline bool operator==(const NodeRecord& a, const NodeRecord& b)
{
    return std::tie(a.parentName, a.animationStartMs, a.animationEndMs, a.keys) ==
           std::tie(b.parentName, b.animationStartMs, b.animationEndMs, b.keys);
}
inline bool operator==(const BoneRef& a, const BoneRef& b)
{
    return a.objectName == b.objectName && a.index == b.index;
}
inline bool operator==(const MeshRecord& a, const MeshRecord& b)
{
    return std::tie(a.fvf, a.vertexCount, a.vertices, a.indices, a.materialName, a.bones) ==
           std::tie(b.fvf, b.vertexCount, b.vertices, b.indices, b.materialName, b.bones);
}
inline bool operator==(const FrameRecord& a, const FrameRecord& b)
{
    return a.timeMs == b.timeMs && a.meshes == b.meshes;
}
inline bool operator==(const GeomObjectRecord& a, const GeomObjectRecord& b)
{
    return a.node == b.node && a.frames == b.frames;
}
inline bool operator==(const MapTexture& a, const MapTexture& b)
{
    return std::tie(a.bitmapName, a.width, a.height) == std::tie(b.bitmapName, b.width, b.height);
}
inline bool operator==(const MapRecord& a, const MapRecord& b)
{
    return std::tie(a.kind, a.flags, a.texCoordIndex, a.textures) ==
           std::tie(b.kind, b.flags, b.texCoordIndex, b.textures);
}
inline bool operator==(const MaterialRecord& a, const MaterialRecord& b)
{
    return memcmp(&a.colors, &b.colors, sizeof a.colors) == 0 &&
           std::tie(a.alphaRef, a.twoSided, a.maps) == std::tie(b.alphaRef, b.twoSided, b.maps);
}
inline bool operator==(const LightRecord& a, const LightRecord& b)
{
    return a.node == b.node && memcmp(&a.light, &b.light, sizeof a.light) == 0 &&
           a.excludedObjects == b.excludedObjects;
}
inline bool operator==(const CameraRecord& a, const CameraRecord& b)
{
    return a.node == b.node && SameFloats(a.projection, b.projection, 16);
}
inline bool operator==(const EnvironmentRecord& a, const EnvironmentRecord& b)
{
    return std::tie(a.red, a.green, a.blue, a.reserved, a.excludedObjects) ==
           std::tie(b.red, b.green, b.blue, b.reserved, b.excludedObjects);
}
} // namespace FileStorage
