#include "ArchiveWriter.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <stdexcept>

using namespace FileStorage;

namespace ArchiveTool
{
namespace
{
[[noreturn]] void Bad(const std::string& what)
{
    throw std::invalid_argument("archive writer: " + what);
}

uint16_t Count16(size_t n, const char* what)
{
    if (n > 0xFFFF)
        Bad(std::string(what) + ": " + std::to_string(n) + " does not fit 16 bits");
    return uint16_t(n);
}

uint32_t Count32(size_t n, const char* what)
{
    if (n > 0xFFFFFFFFu)
        Bad(std::string(what) + ": " + std::to_string(n) + " does not fit 32 bits");
    return uint32_t(n);
}

struct Out
{
    Bytes& b;

    void U8(uint8_t v) { b.push_back(v); }
    void U16(uint16_t v)
    {
        U8(uint8_t(v));
        U8(uint8_t(v >> 8));
    }
    void U32(uint32_t v)
    {
        U16(uint16_t(v));
        U16(uint16_t(v >> 16));
    }
    void U64(uint64_t v)
    {
        U32(uint32_t(v));
        U32(uint32_t(v >> 32));
    }
    void F(float f)
    {
        uint32_t v;
        memcpy(&v, &f, sizeof v);
        U32(v);
    }
    void Floats(const float* f, int n)
    {
        for (int i = 0; i < n; ++i)
            F(f[i]);
    }
    void Color(const Color4& c)
    {
        const float f[4] = {c.r, c.g, c.b, c.a};
        Floats(f, 4);
    }
    void Raw(const void* p, size_t n)
    {
        const uint8_t* q = static_cast<const uint8_t*>(p);
        b.insert(b.end(), q, q + n);
    }
    void Str(const std::string& s)
    {
        U16(Count16(s.size(), "string length"));
        Raw(s.data(), s.size());
    }
    void Names(const std::vector<std::string>& names)
    {
        U16(Count16(names.size(), "name count"));
        for (const auto& n : names)
            Str(n);
    }
};

void PutNode(Out& o, const NodeRecord& n)
{
    o.Str(n.parentName);
    o.U32(n.animationStartMs);
    o.U32(n.animationEndMs);
    o.U16(Count16(n.keys.size(), "key count"));
    for (const auto& k : n.keys)
    {
        o.U32(k.timeMs);
        o.Floats(k.matrix, 16);
    }
}

void PutMesh(Out& o, const MeshRecord& m)
{
    const uint64_t expected = uint64_t(m.vertexCount) * FvfVertexStride(m.fvf);
    if (m.vertices.size() != expected)
        Bad(std::to_string(m.vertices.size()) + " vertex bytes for " + std::to_string(m.vertexCount) +
            " vertices of format " + std::to_string(m.fvf));
    if ((m.fvf & kFvfBoneBits) && m.vertexCount == 0)
        Bad("a skinned mesh without vertices");
    if (!MeshHasBones(m.fvf, m.vertexCount) && !m.bones.empty())
        Bad("bones on a mesh format without them");
    for (uint16_t i : m.indices)
        if (i >= m.vertexCount)
            Bad("index " + std::to_string(i) + " past " + std::to_string(m.vertexCount) + " vertices");
    o.U32(m.fvf);
    o.U16(m.vertexCount);
    o.U32(Count32(m.vertices.size(), "vertex bytes"));
    o.Raw(m.vertices.data(), m.vertices.size());
    o.U16(Count16(m.indices.size(), "index count"));
    o.U32(Count32(m.indices.size() * 2, "index bytes"));
    for (uint16_t i : m.indices)
        o.U16(i);
    o.Str(m.materialName);
    if (MeshHasBones(m.fvf, m.vertexCount))
    {
        o.U16(Count16(m.bones.size(), "bone count"));
        for (const auto& bone : m.bones)
        {
            o.Str(bone.objectName);
            o.U16(bone.index);
        }
    }
}
} // namespace

Bytes EncodeRecord(const GeomObjectRecord& r)
{
    Bytes b;
    Out o{b};
    PutNode(o, r.node);
    o.U16(Count16(r.frames.size(), "frame count"));
    for (const auto& f : r.frames)
    {
        if (f.meshes.size() != r.frames[0].meshes.size())
            Bad("frames with different mesh counts");
        o.U32(f.timeMs);
        o.U16(Count16(f.meshes.size(), "mesh count"));
        for (const auto& m : f.meshes)
            PutMesh(o, m);
    }
    return b;
}

Bytes EncodeRecord(const MaterialRecord& r)
{
    Bytes b;
    Out o{b};
    const Color4* colors[] = {&r.colors.diffuse, &r.colors.ambient, &r.colors.specular, &r.colors.emissive};
    for (const Color4* c : colors)
        o.Color(*c);
    o.F(r.colors.power);
    o.U16(r.alphaRef);
    o.U16(r.twoSided);
    o.U16(Count16(r.maps.size(), "map count"));
    for (const auto& m : r.maps)
    {
        o.U16(m.kind);
        o.U16(m.flags);
        o.U16(m.texCoordIndex);
        o.U16(Count16(m.textures.size(), "texture count"));
        for (const auto& t : m.textures)
        {
            o.Str(t.bitmapName);
            o.U32(t.width);
            o.U32(t.height);
        }
    }
    return b;
}

Bytes EncodeRecord(const LightRecord& r)
{
    Bytes b;
    Out o{b};
    PutNode(o, r.node);
    const LightData& l = r.light;
    o.U32(l.type);
    o.Color(l.diffuse);
    o.Color(l.specular);
    o.Color(l.ambient);
    o.Floats(l.position, 3);
    o.Floats(l.direction, 3);
    const float tail[] = {l.range, l.falloff, l.attenuation0, l.attenuation1, l.attenuation2, l.theta, l.phi};
    o.Floats(tail, 7);
    o.Names(r.excludedObjects);
    return b;
}

Bytes EncodeRecord(const CameraRecord& r)
{
    Bytes b;
    Out o{b};
    PutNode(o, r.node);
    o.Floats(r.projection, 16);
    return b;
}

Bytes EncodeRecord(const EnvironmentRecord& r)
{
    Bytes b;
    Out o{b};
    o.U8(r.red);
    o.U8(r.green);
    o.U8(r.blue);
    o.U8(r.reserved);
    o.Names(r.excludedObjects);
    return b;
}

void CArchiveWriter::AddEntry(const std::string& name, const std::string& type, Bytes record)
{
    Count16(name.size(), "entry name length");
    Count16(type.size(), "entry type length");
    Count32(record.size(), "record size");
    if (!m_Entries.emplace(std::make_pair(name, type), std::move(record)).second)
        Bad("entry \"" + name + "\" (" + type + ") added twice");
}

void CArchiveWriter::AddGeomObject(const std::string& name, const GeomObjectRecord& r)
{
    AddEntry(name, kTypeGeomObject, EncodeRecord(r));
}

void CArchiveWriter::AddMaterial(const std::string& name, const MaterialRecord& r)
{
    AddEntry(name, kTypeMaterial, EncodeRecord(r));
}

void CArchiveWriter::AddBitmap(const std::string& name, const Bytes& imageFile)
{
    AddEntry(name, kTypeBitmap, imageFile);
}

void CArchiveWriter::AddLight(const std::string& name, const LightRecord& r)
{
    AddEntry(name, kTypeLight, EncodeRecord(r));
}

void CArchiveWriter::AddCamera(const std::string& name, const CameraRecord& r)
{
    AddEntry(name, kTypeCamera, EncodeRecord(r));
}

void CArchiveWriter::AddEnvironment(const std::string& name, const EnvironmentRecord& r)
{
    AddEntry(name, kTypeEnvironment, EncodeRecord(r));
}

Bytes CArchiveWriter::Build(bool withHead, uint32_t version) const
{
    // The directory's size does not depend on the offsets, so lay it out
    // once to learn where the first block starts.
    Bytes directory;
    Out d{directory};
    d.U16(Count16(m_Entries.size(), "entry count"));
    for (const auto& e : m_Entries)
    {
        d.Str(e.first.first);
        d.Str(e.first.second);
        d.U64(0);
    }
    const uint64_t head = withHead ? kArchiveHeadSize : 0;
    uint64_t offset = head + 4 + directory.size();
    size_t at = 2;
    for (const auto& e : m_Entries)
    {
        at += 4 + e.first.first.size() + e.first.second.size();
        for (int i = 0; i < 8; ++i)
            directory[at + i] = uint8_t(offset >> (8 * i));
        at += 8;
        offset += 4 + e.second.size();
    }

    Bytes archive;
    Out o{archive};
    if (withHead)
    {
        o.U32(0);
        o.U32(version);
    }
    o.U32(Count32(directory.size(), "directory size"));
    o.Raw(directory.data(), directory.size());
    for (const auto& e : m_Entries)
    {
        o.U32(uint32_t(e.second.size()));
        o.Raw(e.second.data(), e.second.size());
    }
    return archive;
}

bool CArchiveWriter::WriteFile(const std::string& path, bool withHead, uint32_t version) const
{
    const Bytes bytes = Build(withHead, version);
    FILE* f = fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return fclose(f) == 0 && ok;
}

void SetIdentity(float* m)
{
    for (int i = 0; i < 16; ++i)
        m[i] = (i % 5 == 0) ? 1.0f : 0.0f;
}

NodeRecord MakeNode(const std::string& parent, const float* local16)
{
    NodeRecord n;
    n.parentName = parent;
    n.keys.resize(1);
    memcpy(n.keys[0].matrix, local16, sizeof n.keys[0].matrix);
    return n;
}

NodeRecord MakeNodeAt(const std::string& parent, float x, float y, float z)
{
    float m[16];
    SetIdentity(m);
    m[12] = x;
    m[13] = y;
    m[14] = z;
    return MakeNode(parent, m);
}

GeomObjectRecord MakeStaticObject(const NodeRecord& node, const MeshRecord& mesh)
{
    GeomObjectRecord r;
    r.node = node;
    r.frames.resize(1);
    r.frames[0].meshes.push_back(mesh);
    return r;
}

MeshRecord MakeMesh(uint32_t fvf, const void* vertices, uint16_t vertexCount, const std::vector<uint16_t>& indices,
                    const std::string& material)
{
    MeshRecord m;
    m.fvf = fvf;
    m.vertexCount = vertexCount;
    const uint8_t* p = static_cast<const uint8_t*>(vertices);
    m.vertices.assign(p, p + size_t(vertexCount) * FvfVertexStride(fvf));
    m.indices = indices;
    m.materialName = material;
    return m;
}

void PerspectiveFovLH(float* m, float fovY, float aspect, float zNear, float zFar)
{
    const float yScale = 1.0f / std::tan(fovY / 2);
    for (int i = 0; i < 16; ++i)
        m[i] = 0;
    m[0] = yScale / aspect;
    m[5] = yScale;
    m[10] = zFar / (zFar - zNear);
    m[11] = 1;
    m[14] = -zNear * zFar / (zFar - zNear);
}
} // namespace ArchiveTool
