#pragma once
// The scene archive layout, shared by the engine's reader and the content
// writer under tools/. Everything is little-endian; a string is a u16 byte
// length and that many bytes; a matrix is 16 floats, row-major.
//
//   [u32 0, u32 version]         optional head
//   u32 N, N bytes of directory  u16 count, then {string name, string type, u64 offset}
//   entry blocks                 u32 M, M bytes of record
#include <cstdint>
#include <string>
#include <vector>

namespace FileStorage
{
// Version of an archive written without the head.
constexpr uint32_t kDefaultArchiveVersion = 20070709;
// Size of the optional head (a zero word, then the version).
constexpr uint32_t kArchiveHeadSize = 8;

// Entry types; exact and case-sensitive.
constexpr const char* kTypeGeomObject = "GO";
constexpr const char* kTypeMaterial = "M";
constexpr const char* kTypeBitmap = "BMP";
constexpr const char* kTypeLight = "L";
constexpr const char* kTypeCamera = "C";
constexpr const char* kTypeEnvironment = "Env";

// Parent name of a top-level node.
constexpr const char* kSceneRootName = "Scene Root";
// Material name that selects the default material.
constexpr const char* kDefaultMaterialName = "__none__";

// Flexible-vertex-format bits the archives use.
constexpr uint32_t kFvfPositionMask = 0x00E;
constexpr uint32_t kFvfXYZ = 0x002;
constexpr uint32_t kFvfXYZRHW = 0x004;
constexpr uint32_t kFvfXYZB4 = 0x00C;
constexpr uint32_t kFvfNormal = 0x010;
constexpr uint32_t kFvfPSize = 0x020;
constexpr uint32_t kFvfDiffuse = 0x040;
constexpr uint32_t kFvfSpecular = 0x080;
constexpr uint32_t kFvfTexCountShift = 8;
constexpr uint32_t kFvfLastBetaUByte4 = 0x1000;
// A mesh record carries a bone table when its format has any of these bits.
constexpr uint32_t kFvfBoneBits = 0x100C;

// Bytes of one vertex of the format; 0 for a format without a position.
inline uint32_t FvfVertexStride(uint32_t fvf)
{
    static const uint32_t positionSize[8] = {0, 12, 16, 16, 20, 24, 28, 32};
    uint32_t size = positionSize[(fvf & kFvfPositionMask) >> 1];
    if (size == 0)
        return 0;
    if (fvf & kFvfNormal)
        size += 12;
    if (fvf & kFvfPSize)
        size += 4;
    if (fvf & kFvfDiffuse)
        size += 4;
    if (fvf & kFvfSpecular)
        size += 4;
    const uint32_t sets = (fvf >> kFvfTexCountShift) & 0xF;
    for (uint32_t i = 0; i < sets && i < 8; ++i)
    {
        static const uint32_t setSize[4] = {8, 12, 16, 4}; // 2, 3, 4 or 1 floats
        size += setSize[(fvf >> (16 + 2 * i)) & 3];
    }
    return size;
}

// Whether a mesh record of this format and vertex count has a bone table.
// Our writer never writes a skinned mesh without vertices, so the record
// layout does not depend on which of the two tests a reader applies.
inline bool MeshHasBones(uint32_t fvf, uint32_t vertexCount)
{
    return (fvf & kFvfBoneBits) != 0 && vertexCount > 0;
}

// Offsets inside a vertex, for formats with a plain position.
struct VertexLayout
{
    bool hasNormal;
    uint32_t normalOffset;
    bool hasDiffuse;
    uint32_t diffuseOffset;
    uint32_t texSetCount;
    uint32_t firstTexOffset;
};

inline VertexLayout DecodeVertexLayout(uint32_t fvf)
{
    VertexLayout l;
    l.hasNormal = (fvf & kFvfNormal) != 0;
    l.normalOffset = 12;
    l.hasDiffuse = (fvf & kFvfDiffuse) != 0;
    l.diffuseOffset = l.hasNormal ? 24 : 12;
    l.texSetCount = (fvf >> kFvfTexCountShift) & 0xF;
    l.firstTexOffset = l.hasNormal ? 24 : 12;
    if (l.texSetCount > 0)
    {
        if (fvf & kFvfDiffuse)
            l.firstTexOffset += 4;
        if (fvf & kFvfSpecular)
            l.firstTexOffset += 4;
    }
    return l;
}

// Map record flags.
constexpr uint16_t kMapFlagCutAlpha = 0x1;   // diffuse-with-alpha map: the mask's alpha is cut off
constexpr uint16_t kMapFlagMergeAlpha = 0x2; // diffuse map: the material's alpha map is merged in

// Texture address mode (1 wrap, 2 mirror, 3 clamp, 4 border, as Direct3D
// numbers them) stored in a map's flags.
inline uint32_t MapAddressU(uint16_t flags) { return ((flags >> 2) & 3u) + 1; }
inline uint32_t MapAddressV(uint16_t flags) { return ((flags >> 4) & 3u) + 1; }
inline uint16_t MapAddressFlags(uint32_t modeU, uint32_t modeV)
{
    return uint16_t((((modeU - 1) & 3u) << 2) | (((modeV - 1) & 3u) << 4));
}

// Map kinds of a material record.
enum MapKind : uint16_t
{
    MAP_DIFFUSE = 1,
    MAP_BUMP = 2,
    MAP_ENVIRONMENT = 3,
    MAP_ALPHA = 4,
    MAP_LIGHT = 5,
    MAP_DIFFUSE_ALPHA = 6,
    MAP_ENVIRONMENT_ALPHA = 7,
};

// ---- Records, as plain data. The engine's loaders may read the streams
// directly; these are what the writer encodes and the record readers decode.

struct NodeKey
{
    uint32_t timeMs = 0;
    float matrix[16] = {};
};

// The node part that begins every "GO", "L" and "C" record.
struct NodeRecord
{
    std::string parentName = kSceneRootName;
    uint32_t animationStartMs = 0;
    uint32_t animationEndMs = 0;
    std::vector<NodeKey> keys;
};

struct BoneRef
{
    std::string objectName;
    uint16_t index = 0;
};

struct MeshRecord
{
    uint32_t fvf = 0;
    uint16_t vertexCount = 0;
    std::vector<uint8_t> vertices; // vertexCount x FvfVertexStride(fvf) bytes
    std::vector<uint16_t> indices; // a triangle list
    std::string materialName;
    std::vector<BoneRef> bones;    // only when MeshHasBones(fvf, vertexCount)
};

struct FrameRecord
{
    uint32_t timeMs = 0;
    std::vector<MeshRecord> meshes;
};

// No frames: a dummy; one frame: static geometry; more: morph frames.
struct GeomObjectRecord
{
    NodeRecord node;
    std::vector<FrameRecord> frames;
};

struct Color4
{
    float r = 0, g = 0, b = 0, a = 0;
};

// Same layout as D3DMATERIAL8 (68 bytes).
struct MaterialColors
{
    Color4 diffuse, ambient, specular, emissive;
    float power = 0;
};
static_assert(sizeof(MaterialColors) == 68, "material block is 68 bytes");

struct MapTexture
{
    std::string bitmapName; // a "BMP" entry
    uint32_t width = 0;
    uint32_t height = 0;
};

struct MapRecord
{
    uint16_t kind = MAP_DIFFUSE;
    uint16_t flags = 0;
    uint16_t texCoordIndex = 0;
    std::vector<MapTexture> textures;
};

struct MaterialRecord
{
    MaterialColors colors;
    uint16_t alphaRef = 0;
    uint16_t twoSided = 0;
    std::vector<MapRecord> maps;
};

// Same layout as D3DLIGHT8 (104 bytes).
struct LightData
{
    uint32_t type = 1; // 1 point, 2 spot, 3 directional
    Color4 diffuse, specular, ambient;
    float position[3] = {};
    float direction[3] = {};
    float range = 0, falloff = 0;
    float attenuation0 = 0, attenuation1 = 0, attenuation2 = 0;
    float theta = 0, phi = 0;
};
static_assert(sizeof(LightData) == 104, "light block is 104 bytes");

struct LightRecord
{
    NodeRecord node;
    LightData light;
    std::vector<std::string> excludedObjects;
};

struct CameraRecord
{
    NodeRecord node;
    float projection[16] = {};
};

struct EnvironmentRecord
{
    uint8_t red = 0, green = 0, blue = 0, reserved = 0;
    std::vector<std::string> excludedObjects; // objects without the ambient colour

    uint32_t AmbientColor() const { return 0xFF000000u | uint32_t(red) << 16 | uint32_t(green) << 8 | blue; }
};
} // namespace FileStorage
