// Decoding whole archive records into their plain form.
#include "FileStorage.h"

#include "Log.h"

namespace FileStorage
{
namespace
{
void Reject(const std::string& what)
{
    throw ErrorReadFromStream(what);
}

// A count of items that each take at least `minBytes` must fit in the rest
// of the record, so a corrupt count cannot reserve memory for nothing.
void CheckCount(const CMemoryStream& s, uint32_t count, uint32_t minBytes)
{
    if (uint64_t(count) * minBytes > s.GetRemaining())
        Reject("a count of " + std::to_string(count) + " passes the end of the record");
}

std::vector<std::string> ReadNames(CMemoryStream& s)
{
    const uint16_t count = s.ReadU16();
    CheckCount(s, count, 2);
    std::vector<std::string> names(count);
    for (auto& n : names)
        n = s.ReadString();
    return names;
}

void ReadColor(CMemoryStream& s, Color4& c)
{
    c.r = s.ReadFloat();
    c.g = s.ReadFloat();
    c.b = s.ReadFloat();
    c.a = s.ReadFloat();
}

void ReadFloats(CMemoryStream& s, float* dest, int n)
{
    for (int i = 0; i < n; ++i)
        dest[i] = s.ReadFloat();
}

void ReadMap(CMemoryStream& s, MapRecord& m)
{
    m.kind = s.ReadU16();
    m.flags = s.ReadU16();
    m.texCoordIndex = s.ReadU16();
    const uint16_t count = s.ReadU16();
    CheckCount(s, count, 10);
    m.textures.resize(count);
    for (auto& t : m.textures)
    {
        t.bitmapName = s.ReadString();
        t.width = s.ReadU32();
        t.height = s.ReadU32();
    }
}

template <class Record, class Body> bool ReadWhole(CMemoryStream& s, Record& out, const char* what, Body body)
{
    try
    {
        body(s, out);
        return true;
    }
    catch (const ErrorRead& e)
    {
        g_Log.Printf("Scene archive: bad %s record: %s\n", what, e.what());
    }
    catch (const std::bad_alloc&)
    {
        g_Log.Printf("Scene archive: bad %s record: out of memory\n", what);
    }
    return false;
}
} // namespace

void ReadNode(CMemoryStream& s, NodeRecord& out)
{
    out.parentName = s.ReadString();
    out.animationStartMs = s.ReadU32();
    out.animationEndMs = s.ReadU32();
    const uint16_t count = s.ReadU16();
    CheckCount(s, count, 68);
    out.keys.resize(count);
    for (auto& k : out.keys)
    {
        k.timeMs = s.ReadU32();
        s.ReadMatrix(k.matrix);
    }
}

void ReadMesh(CMemoryStream& s, MeshRecord& out)
{
    out.fvf = s.ReadU32();
    out.vertexCount = s.ReadU16();
    const uint32_t vertexBytes = s.ReadU32();
    if (uint64_t(out.vertexCount) * FvfVertexStride(out.fvf) != vertexBytes)
        Reject(std::to_string(vertexBytes) + " vertex bytes for " + std::to_string(out.vertexCount) +
               " vertices of format " + std::to_string(out.fvf));
    s.ReadArray(out.vertices, vertexBytes);
    const uint16_t indexCount = s.ReadU16();
    const uint32_t indexBytes = s.ReadU32();
    if (uint64_t(indexCount) * 2 != indexBytes)
        Reject(std::to_string(indexBytes) + " index bytes for " + std::to_string(indexCount) + " indices");
    CheckCount(s, indexCount, 2);
    out.indices.resize(indexCount);
    for (auto& i : out.indices)
    {
        i = s.ReadU16();
        if (i >= out.vertexCount)
            Reject("index " + std::to_string(i) + " past " + std::to_string(out.vertexCount) + " vertices");
    }
    out.materialName = s.ReadString();
    out.bones.clear();
    if (MeshHasBones(out.fvf, out.vertexCount))
    {
        const uint16_t count = s.ReadU16();
        CheckCount(s, count, 4);
        out.bones.resize(count);
        for (auto& b : out.bones)
        {
            b.objectName = s.ReadString();
            b.index = s.ReadU16();
        }
    }
}

bool ReadRecord(CMemoryStream& s, NodeRecord& out)
{
    return ReadWhole(s, out, "node", ReadNode);
}

bool ReadRecord(CMemoryStream& s, GeomObjectRecord& out)
{
    return ReadWhole(s, out, "geometry", [](CMemoryStream& s, GeomObjectRecord& o) {
        ReadNode(s, o.node);
        const uint16_t frames = s.ReadU16();
        CheckCount(s, frames, 6);
        o.frames.resize(frames);
        for (auto& f : o.frames)
        {
            f.timeMs = s.ReadU32();
            const uint16_t meshes = s.ReadU16();
            CheckCount(s, meshes, 18);
            f.meshes.resize(meshes);
            for (auto& m : f.meshes)
                ReadMesh(s, m);
        }
    });
}

bool ReadRecord(CMemoryStream& s, MaterialRecord& out)
{
    return ReadWhole(s, out, "material", [](CMemoryStream& s, MaterialRecord& o) {
        ReadColor(s, o.colors.diffuse);
        ReadColor(s, o.colors.ambient);
        ReadColor(s, o.colors.specular);
        ReadColor(s, o.colors.emissive);
        o.colors.power = s.ReadFloat();
        o.alphaRef = s.ReadU16();
        o.twoSided = s.ReadU16();
        const uint16_t count = s.ReadU16();
        CheckCount(s, count, 10);
        o.maps.resize(count);
        for (auto& m : o.maps)
            ReadMap(s, m);
    });
}

bool ReadRecord(CMemoryStream& s, LightRecord& out)
{
    return ReadWhole(s, out, "light", [](CMemoryStream& s, LightRecord& o) {
        ReadNode(s, o.node);
        LightData& l = o.light;
        l.type = s.ReadU32();
        ReadColor(s, l.diffuse);
        ReadColor(s, l.specular);
        ReadColor(s, l.ambient);
        ReadFloats(s, l.position, 3);
        ReadFloats(s, l.direction, 3);
        float* tail[] = {&l.range, &l.falloff, &l.attenuation0, &l.attenuation1, &l.attenuation2, &l.theta, &l.phi};
        for (float* f : tail)
            *f = s.ReadFloat();
        o.excludedObjects = ReadNames(s);
    });
}

bool ReadRecord(CMemoryStream& s, CameraRecord& out)
{
    return ReadWhole(s, out, "camera", [](CMemoryStream& s, CameraRecord& o) {
        ReadNode(s, o.node);
        s.ReadMatrix(o.projection);
    });
}

bool ReadRecord(CMemoryStream& s, EnvironmentRecord& out)
{
    return ReadWhole(s, out, "environment", [](CMemoryStream& s, EnvironmentRecord& o) {
        o.red = s.ReadU8();
        o.green = s.ReadU8();
        o.blue = s.ReadU8();
        o.reserved = s.ReadU8();
        o.excludedObjects = ReadNames(s);
    });
}
} // namespace FileStorage
