#include "Geometry.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <stdexcept>

using namespace FileStorage;

namespace SceneContent
{
namespace
{

Vec3 RotZ(const Vec3& p, float a)
{
    const float c = std::cos(a), s = std::sin(a);
    return V3(p.x * c - p.y * s, p.x * s + p.y * c, p.z);
}

struct Vertex112
{
    float pos[3], normal[3], uv[2];
};
struct Vertex212
{
    float pos[3], normal[3], uv0[2], uv1[2];
};
} // namespace

std::string Fmt(const char* format, int a, int b)
{
    char buf[64];
    std::snprintf(buf, sizeof(buf), format, a, b);
    return buf;
}

void ObjectLightUV(const Vec3& normal, float heightFraction, float& u, float& v)
{
    // Columns 0..0.875 hold the azimuth of side faces, the last eighth the
    // roofs; rows run from the top (v = 0) to the foot (v = 1).
    if (normal.z > 0.7f)
        u = 0.9375f;
    else
    {
        float a = std::atan2(normal.y, normal.x) / (2 * kPi);
        if (a < 0)
            a += 1;
        u = 0.02f + a * 0.835f;
    }
    v = 0.04f + Clamp01(1 - heightFraction) * 0.92f;
}

void CMeshBuilder::AddTriangle(const Vertex& a, const Vertex& b, const Vertex& c)
{
    const uint32_t base = uint32_t(m_Vertices.size());
    m_Vertices.push_back(a);
    m_Vertices.push_back(b);
    m_Vertices.push_back(c);
    m_Indices.push_back(base);
    m_Indices.push_back(base + 2);
    m_Indices.push_back(base + 1);
}

void CMeshBuilder::AddQuad(const Vec3& p0, const Vec3& p1, const Vec3& p2, const Vec3& p3, float us, float vs)
{
    const Vec3 n = Normalize(Cross(p1 - p0, p3 - p0));
    const uint32_t base = uint32_t(m_Vertices.size());
    const Vec3 ps[4] = {p0, p1, p2, p3};
    const float uv[4][2] = {{0, vs}, {us, vs}, {us, 0}, {0, 0}};
    for (int i = 0; i < 4; ++i)
    {
        Vertex v;
        v.p = ps[i];
        v.n = n;
        v.u = uv[i][0];
        v.v = uv[i][1];
        m_Vertices.push_back(v);
    }
    const uint32_t idx[6] = {0, 2, 1, 0, 3, 2};
    for (uint32_t i : idx)
        m_Indices.push_back(base + i);
}

void CMeshBuilder::AddBox(const Vec3& c, float sx, float sy, float sz, float texUnit, float rotZ)
{
    const float hx = sx / 2, hy = sy / 2;
    Vec3 p[8];
    for (int i = 0; i < 8; ++i)
    {
        const Vec3 local = V3((i & 1) ? hx : -hx, (i & 2) ? hy : -hy, (i & 4) ? sz : 0);
        p[i] = c + RotZ(local, rotZ);
    }
    const float ux = sx / texUnit, uy = sy / texUnit, uz = sz / texUnit;
    AddQuad(p[0], p[1], p[5], p[4], ux, uz); // -Y
    AddQuad(p[1], p[3], p[7], p[5], uy, uz); // +X
    AddQuad(p[3], p[2], p[6], p[7], ux, uz); // +Y
    AddQuad(p[2], p[0], p[4], p[6], uy, uz); // -X
    AddQuad(p[4], p[5], p[7], p[6], ux, uy); // top
    AddQuad(p[2], p[3], p[1], p[0], ux, uy); // bottom
}

void CMeshBuilder::AddCylinder(const Vec3& base, float r0, float r1, float height, int sides, float texUnit, bool caps)
{
    const float circumference = 2 * kPi * std::max(r0, r1);
    const uint32_t first = uint32_t(m_Vertices.size());
    const float slope = (r0 - r1) / height;
    for (int i = 0; i <= sides; ++i)
    {
        const float a = 2 * kPi * i / sides;
        const Vec3 dir = V3(std::cos(a), std::sin(a), 0);
        const Vec3 n = Normalize(V3(dir.x, dir.y, slope));
        for (int k = 0; k < 2; ++k)
        {
            Vertex v;
            const float r = k ? r1 : r0;
            v.p = base + V3(dir.x * r, dir.y * r, k ? height : 0);
            v.n = n;
            v.u = circumference / texUnit * i / sides;
            v.v = k ? 0 : height / texUnit;
            m_Vertices.push_back(v);
        }
    }
    for (int i = 0; i < sides; ++i)
    {
        const uint32_t a = first + 2 * i, b = a + 2;
        // bottom a, top a+1; counter-clockwise from outside: a, b, b+1, a+1
        const uint32_t q[6] = {a, b + 1, b, a, a + 1, b + 1};
        for (uint32_t x : q)
            m_Indices.push_back(x);
    }
    if (!caps)
        return;
    for (int k = 0; k < 2; ++k)
    {
        const float r = k ? r1 : r0;
        if (r <= 0)
            continue;
        const Vec3 n = V3(0, 0, k ? 1.0f : -1.0f);
        const Vec3 centre = base + V3(0, 0, k ? height : 0);
        for (int i = 0; i < sides; ++i)
        {
            const float a0 = 2 * kPi * i / sides, a1 = 2 * kPi * (i + 1) / sides;
            Vertex c, e0, e1;
            c.p = centre;
            e0.p = centre + V3(std::cos(a0) * r, std::sin(a0) * r, 0);
            e1.p = centre + V3(std::cos(a1) * r, std::sin(a1) * r, 0);
            c.n = e0.n = e1.n = n;
            c.u = c.v = 0.5f;
            e0.u = 0.5f + 0.5f * std::cos(a0);
            e0.v = 0.5f + 0.5f * std::sin(a0);
            e1.u = 0.5f + 0.5f * std::cos(a1);
            e1.v = 0.5f + 0.5f * std::sin(a1);
            if (k)
                AddTriangle(c, e0, e1);
            else
                AddTriangle(c, e1, e0);
        }
    }
}

void CMeshBuilder::AddTube(const Vec3& a, const Vec3& b, float radius, int sides, float texUnit)
{
    const Vec3 axis = Normalize(b - a);
    const Vec3 helper = std::fabs(axis.z) < 0.9f ? V3(0, 0, 1) : V3(1, 0, 0);
    const Vec3 s = Normalize(Cross(axis, helper));
    const Vec3 t = Cross(axis, s);
    const float len = Length(b - a);
    for (int i = 0; i < sides; ++i)
    {
        const float a0 = 2 * kPi * i / sides, a1 = 2 * kPi * (i + 1) / sides;
        const Vec3 d0 = s * std::cos(a0) + t * std::sin(a0);
        const Vec3 d1 = s * std::cos(a1) + t * std::sin(a1);
        Vertex v[4];
        v[0].p = a + d0 * radius;
        v[1].p = a + d1 * radius;
        v[2].p = b + d1 * radius;
        v[3].p = b + d0 * radius;
        v[0].n = v[3].n = d0;
        v[1].n = v[2].n = d1;
        v[0].u = v[3].u = float(i) / sides;
        v[1].u = v[2].u = float(i + 1) / sides;
        v[0].v = v[1].v = len / texUnit;
        v[2].v = v[3].v = 0;
        AddTriangle(v[0], v[1], v[2]);
        AddTriangle(v[0], v[2], v[3]);
    }
}

void CMeshBuilder::AddGableRoof(const Vec3& c, float sx, float sy, float rise, float overhang, float texUnit, float rotZ)
{
    const float hx = sx / 2 + overhang, hy = sy / 2 + overhang;
    auto P = [&](float x, float y, float z) { return c + RotZ(V3(x, y, z), rotZ); };
    const float slope = std::sqrt(hy * hy + rise * rise);
    AddQuad(P(-hx, -hy, 0), P(hx, -hy, 0), P(hx, 0, rise), P(-hx, 0, rise), 2 * hx / texUnit, slope / texUnit);
    AddQuad(P(hx, hy, 0), P(-hx, hy, 0), P(-hx, 0, rise), P(hx, 0, rise), 2 * hx / texUnit, slope / texUnit);
    // gable ends
    Vertex a, b, t;
    for (int side = 0; side < 2; ++side)
    {
        const float x = side ? sx / 2 : -sx / 2;
        a.p = P(x, side ? -sy / 2 : sy / 2, 0);
        b.p = P(x, side ? sy / 2 : -sy / 2, 0);
        t.p = P(x, 0, rise);
        a.n = b.n = t.n = RotZ(V3(side ? 1.0f : -1.0f, 0, 0), rotZ);
        a.u = 0;
        b.u = sy / texUnit;
        t.u = sy / texUnit / 2;
        a.v = b.v = rise / texUnit;
        t.v = 0;
        AddTriangle(a, b, t);
    }
}

void CMeshBuilder::MapObjectLight(float footZ, float height)
{
    for (Vertex& v : m_Vertices)
        ObjectLightUV(v.n, height > 0 ? (v.p.z - footZ) / height : 0, v.u2, v.v2);
}

void CMeshBuilder::MapPlanarLight()
{
    Vec3 lo, hi;
    BoundingBox(lo, hi);
    const float w = std::max(hi.x - lo.x, 1.0f), h = std::max(hi.y - lo.y, 1.0f);
    for (Vertex& v : m_Vertices)
    {
        v.u2 = (v.p.x - lo.x) / w;
        v.v2 = (hi.y - v.p.y) / h;
    }
}

void CMeshBuilder::Translate(const Vec3& d)
{
    for (Vertex& v : m_Vertices)
        v.p = v.p + d;
}

void CMeshBuilder::Append(const CMeshBuilder& other) { AddIndexed(other.m_Vertices, other.m_Indices); }

void CMeshBuilder::AddIndexed(const std::vector<Vertex>& vertices, const std::vector<uint32_t>& indices)
{
    const uint32_t base = uint32_t(m_Vertices.size());
    m_Vertices.insert(m_Vertices.end(), vertices.begin(), vertices.end());
    for (uint32_t i : indices)
        m_Indices.push_back(base + i);
}

void CMeshBuilder::BoundingBox(Vec3& lo, Vec3& hi) const
{
    lo = V3(1e30f, 1e30f, 1e30f);
    hi = V3(-1e30f, -1e30f, -1e30f);
    for (const Vertex& v : m_Vertices)
    {
        lo = V3(std::min(lo.x, v.p.x), std::min(lo.y, v.p.y), std::min(lo.z, v.p.z));
        hi = V3(std::max(hi.x, v.p.x), std::max(hi.y, v.p.y), std::max(hi.z, v.p.z));
    }
}

std::vector<MeshRecord> CMeshBuilder::Build(uint32_t fvf, const std::string& material) const
{
    std::vector<MeshRecord> out;
    const bool two = ((fvf >> 8) & 0xF) == 2;
    size_t tri = 0;
    while (tri * 3 < m_Indices.size())
    {
        // Gather whole triangles until the chunk would pass 65535 vertices.
        std::map<uint32_t, uint16_t> remap;
        std::vector<uint16_t> indices;
        std::vector<uint32_t> order;
        for (; tri * 3 < m_Indices.size(); ++tri)
        {
            int fresh = 0;
            for (int k = 0; k < 3; ++k)
                fresh += remap.count(m_Indices[tri * 3 + k]) ? 0 : 1;
            if (order.size() + fresh > 65535)
                break;
            for (int k = 0; k < 3; ++k)
            {
                const uint32_t i = m_Indices[tri * 3 + k];
                auto it = remap.find(i);
                if (it == remap.end())
                {
                    it = remap.emplace(i, uint16_t(order.size())).first;
                    order.push_back(i);
                }
                indices.push_back(it->second);
            }
        }
        std::vector<uint8_t> bytes;
        if (two)
        {
            std::vector<Vertex212> vs(order.size());
            for (size_t k = 0; k < order.size(); ++k)
            {
                const Vertex& s = m_Vertices[order[k]];
                vs[k] = Vertex212{{s.p.x, s.p.y, s.p.z}, {s.n.x, s.n.y, s.n.z}, {s.u, s.v}, {s.u2, s.v2}};
            }
            out.push_back(ArchiveTool::MakeMesh(fvf, vs.data(), uint16_t(vs.size()), indices, material));
        }
        else
        {
            std::vector<Vertex112> vs(order.size());
            for (size_t k = 0; k < order.size(); ++k)
            {
                const Vertex& s = m_Vertices[order[k]];
                vs[k] = Vertex112{{s.p.x, s.p.y, s.p.z}, {s.n.x, s.n.y, s.n.z}, {s.u, s.v}};
            }
            out.push_back(ArchiveTool::MakeMesh(fvf, vs.data(), uint16_t(vs.size()), indices, material));
        }
    }
    return out;
}

void TranslationMatrix(float* m, const Vec3& t)
{
    ArchiveTool::SetIdentity(m);
    m[12] = t.x;
    m[13] = t.y;
    m[14] = t.z;
}

void CameraMatrix(float* m, const Vec3& eye, const Vec3& target)
{
    const Vec3 f = Normalize(target - eye);
    const Vec3 r = Normalize(Cross(f, V3(0, 0, 1)));
    const Vec3 u = Cross(r, f);
    const float rows[16] = {r.x, r.y, r.z, 0, u.x, u.y, u.z, 0, -f.x, -f.y, -f.z, 0, eye.x, eye.y, eye.z, 1};
    std::memcpy(m, rows, sizeof(rows));
}

void CSceneBuilder::Bitmap(const std::string& name, const std::function<CImage()>& paint)
{
    if (m_Bitmaps.count(name))
        return;
    const CImage image = paint();
    m_Bitmaps[name] = {image.Width(), image.Height()};
    m_Writer.AddBitmap(name, EncodeJpeg(image));
}

void CSceneBuilder::Material(const std::string& name, const MaterialSpec& spec)
{
    if (!m_Materials.insert(name).second)
        return;
    MaterialRecord m;
    m.colors.diffuse = {spec.r, spec.g, spec.b, 1};
    m.colors.ambient = {spec.r * 0.6f, spec.g * 0.6f, spec.b * 0.6f, 1};
    m.colors.specular = {spec.specular, spec.specular, spec.specular, 1};
    m.colors.power = spec.power;
    m.colors.emissive = {spec.emissive, spec.emissive, spec.emissive, 1};
    m.twoSided = spec.twoSided ? 1 : 0;
    auto map = [&](uint16_t kind, const std::string& bitmap, uint16_t flags, uint16_t set) {
        const auto it = m_Bitmaps.find(bitmap);
        if (it == m_Bitmaps.end())
            throw std::invalid_argument("material " + name + " names unknown bitmap " + bitmap);
        MapRecord r;
        r.kind = kind;
        r.flags = flags;
        r.texCoordIndex = set;
        r.textures = {{bitmap, uint32_t(it->second.first), uint32_t(it->second.second)}};
        m.maps.push_back(r);
    };
    if (!spec.diffuseAlpha.empty())
    {
        m.alphaRef = 128;
        map(MAP_DIFFUSE_ALPHA, spec.diffuseAlpha, kMapFlagCutAlpha, 0);
    }
    if (!spec.diffuse.empty())
        map(MAP_DIFFUSE, spec.diffuse, spec.alphaMask.empty() ? 0 : kMapFlagMergeAlpha, 0);
    if (!spec.alphaMask.empty())
    {
        m.alphaRef = 128;
        map(MAP_ALPHA, spec.alphaMask, spec.cutMask ? kMapFlagCutAlpha : 0, 0);
    }
    if (!spec.lightMap.empty())
        map(MAP_LIGHT, spec.lightMap, MapAddressFlags(3, 3), 1);
    m_Writer.AddMaterial(name, m);
}

void CSceneBuilder::Dummy(const std::string& name, const std::string& parent, const Vec3& at)
{
    float m[16];
    TranslationMatrix(m, at);
    DummyMatrix(name, parent, m);
}

void CSceneBuilder::DummyMatrix(const std::string& name, const std::string& parent, const float* m16)
{
    GeomObjectRecord r;
    r.node = ArchiveTool::MakeNode(parent, m16);
    ObjectRecord(name, r);
}

void CSceneBuilder::Object(const std::string& name, const std::string& parent, const Vec3& pivot, CMeshBuilder mesh,
                           const std::string& material, bool twoSets)
{
    mesh.Translate(V3(-pivot.x, -pivot.y, -pivot.z));
    GeomObjectRecord r;
    float m[16];
    TranslationMatrix(m, pivot);
    r.node = ArchiveTool::MakeNode(parent, m);
    r.frames.resize(1);
    r.frames[0].meshes = mesh.Build(twoSets ? 0x212 : 0x112, material);
    ObjectRecord(name, r);
}

void CSceneBuilder::ObjectRecord(const std::string& name, const GeomObjectRecord& record)
{
    m_Writer.AddGeomObject(name, record);
    m_Objects.insert(name);
}
} // namespace SceneContent
