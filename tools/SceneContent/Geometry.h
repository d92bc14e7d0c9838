#pragma once
// Geometry for the generated scenes: a mesh builder in centimetres (Z up),
// and a scene builder that adds objects, materials and their pictures to an
// archive once each.
#include <cmath>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "ArchiveWriter.h"
#include "Image.h"

namespace SceneContent
{
// A name from a printf pattern with up to two numbers.
std::string Fmt(const char* format, int a, int b = 0);

struct Vec3
{
    float x = 0, y = 0, z = 0;
};
inline Vec3 V3(float x, float y, float z) { return Vec3{x, y, z}; }
inline Vec3 operator+(const Vec3& a, const Vec3& b) { return V3(a.x + b.x, a.y + b.y, a.z + b.z); }
inline Vec3 operator-(const Vec3& a, const Vec3& b) { return V3(a.x - b.x, a.y - b.y, a.z - b.z); }
inline Vec3 operator*(const Vec3& a, float s) { return V3(a.x * s, a.y * s, a.z * s); }
inline float Dot(const Vec3& a, const Vec3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 Cross(const Vec3& a, const Vec3& b)
{
    return V3(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
}
inline float Length(const Vec3& a) { return std::sqrt(Dot(a, a)); }
inline Vec3 Normalize(const Vec3& a)
{
    const float l = Length(a);
    return l > 0 ? a * (1.0f / l) : V3(0, 0, 1);
}

struct Vertex
{
    Vec3 p, n;
    float u = 0, v = 0, u2 = 0, v2 = 0;
};

// Second texture coordinates of objects that share the object light map:
// u from the normal's direction (azimuth, or the roof column for upward
// faces), v from the height inside the object (1 at its foot).
void ObjectLightUV(const Vec3& normal, float heightFraction, float& u, float& v);

class CMeshBuilder
{
public:
    // Triangles are given counter-clockwise seen from their front (the
    // builder flips them for Direct3D's clockwise front faces).
    void AddTriangle(const Vertex& a, const Vertex& b, const Vertex& c);
    // A quad p0..p3 counter-clockwise from its front, uv over (0,0)-(us,vs)
    // with v = 0 at the p3/p2 edge (its top).
    void AddQuad(const Vec3& p0, const Vec3& p1, const Vec3& p2, const Vec3& p3, float us = 1, float vs = 1);
    // An axis box from its base centre; texture scale in world units.
    void AddBox(const Vec3& baseCentre, float sx, float sy, float sz, float texUnit, float rotZ = 0);
    // A cylinder along Z (or a cone when r0 != r1).
    void AddCylinder(const Vec3& base, float r0, float r1, float height, int sides, float texUnit, bool caps = true);
    // A cylinder along an arbitrary axis.
    void AddTube(const Vec3& a, const Vec3& b, float radius, int sides, float texUnit);
    // A gable roof over a box footprint.
    void AddGableRoof(const Vec3& eavesCentre, float sx, float sy, float rise, float overhang, float texUnit, float rotZ = 0);

    // Fills the second texture coordinates from the object light map rules,
    // heights measured from `footZ` over `height`.
    void MapObjectLight(float footZ, float height);
    // Second texture coordinates as a top-down planar map of the box.
    void MapPlanarLight();
    void Translate(const Vec3& d);

    bool Empty() const { return m_Vertices.empty(); }
    const std::vector<Vertex>& Vertices() const { return m_Vertices; }
    std::vector<Vertex>& Vertices() { return m_Vertices; }
    const std::vector<uint32_t>& Indices() const { return m_Indices; }
    void Append(const CMeshBuilder& other);
    void AddIndexed(const std::vector<Vertex>& vertices, const std::vector<uint32_t>& indices);
    void BoundingBox(Vec3& lo, Vec3& hi) const;

    // Records of format 0x112 (one texture set) or 0x212 (two), split so
    // each has at most 65535 vertices.
    std::vector<FileStorage::MeshRecord> Build(uint32_t fvf, const std::string& material) const;

private:
    std::vector<Vertex> m_Vertices;
    std::vector<uint32_t> m_Indices;
};

struct MaterialSpec
{
    std::string diffuse;      // bitmap name
    std::string lightMap;     // bitmap name; empty: none
    std::string alphaMask;    // a separate mask merged with the diffuse map
    bool cutMask = false;     // the mask is cut off: any coverage is opaque, at every mip level
    std::string diffuseAlpha; // a combined map whose alpha comes from its brightness
    float r = 1, g = 1, b = 1;
    float specular = 0.1f, power = 8;
    float emissive = 0; // self-lit share: 1 shows the map as painted under any light
    bool twoSided = false;
};

class CSceneBuilder
{
public:
    explicit CSceneBuilder(ArchiveTool::CArchiveWriter& writer) : m_Writer(writer) {}

    // A picture made once per name; `paint` runs only on first use.
    void Bitmap(const std::string& name, const std::function<CImage()>& paint);
    void Material(const std::string& name, const MaterialSpec& spec);
    void Dummy(const std::string& name, const std::string& parent, const Vec3& at);
    void DummyMatrix(const std::string& name, const std::string& parent, const float* m16);
    // A static mesh object at `pivot` (vertices are given in world space and
    // moved to the pivot's frame).
    void Object(const std::string& name, const std::string& parent, const Vec3& pivot, CMeshBuilder mesh,
                const std::string& material, bool twoSets = true);
    void ObjectRecord(const std::string& name, const FileStorage::GeomObjectRecord& record);

    bool HasBitmap(const std::string& name) const { return m_Bitmaps.count(name) != 0; }
    const std::set<std::string>& ObjectNames() const { return m_Objects; }
    ArchiveTool::CArchiveWriter& Writer() { return m_Writer; }

private:
    ArchiveTool::CArchiveWriter& m_Writer;
    std::map<std::string, std::pair<int, int>> m_Bitmaps;
    std::set<std::string> m_Materials;
    std::set<std::string> m_Objects;
};

void TranslationMatrix(float* m16, const Vec3& t);
// Rows: right, up, back (the camera looks along its local -Z), position.
void CameraMatrix(float* m16, const Vec3& eye, const Vec3& target);
} // namespace SceneContent
