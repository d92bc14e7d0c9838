#include "MeshMender.h"

#include <cmath>
#include <set>

namespace
{
const float kTinyLength = 1.1920929e-7f;

float Length(const D3DXVECTOR3& v)
{
    return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
}

// Normalised, or unchanged when too short to normalise.
D3DXVECTOR3 NormalizedOrSame(const D3DXVECTOR3& v)
{
    const float length = Length(v);
    return length > kTinyLength ? v * (1.0f / length) : v;
}

float Dot(const D3DXVECTOR3& a, const D3DXVECTOR3& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

D3DXVECTOR3 Cross(const D3DXVECTOR3& a, const D3DXVECTOR3& b)
{
    return D3DXVECTOR3(a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x);
}

bool IsZero(const D3DXVECTOR3& v)
{
    return v.x == 0 && v.y == 0 && v.z == 0;
}

D3DXVECTOR3& VertexVector(MeshMenderVertex& v, int kind)
{
    return kind == 0 ? v.normal : kind == 1 ? v.tangent : v.binormal;
}

const D3DXVECTOR3& TriangleVector(const MeshMenderTriangle& t, int kind)
{
    return kind == 0 ? t.normal : kind == 1 ? t.tangent : t.binormal;
}
} // namespace

bool MenderSourceOffsets(uint32_t fvf, uint32_t set, uint32_t* normalOffset, uint32_t* texOffset)
{
    const uint32_t kPositionMask = 0x00E, kXYZ = 0x002, kNormal = 0x010, kPSize = 0x020, kDiffuse = 0x040,
                   kSpecular = 0x080;
    if ((fvf & kPositionMask) != kXYZ || !(fvf & kNormal))
        return false;
    uint32_t offset = 24;
    for (uint32_t bit : {kPSize, kDiffuse, kSpecular})
        if (fvf & bit)
            offset += 4;
    const uint32_t sets = (fvf >> 8) & 0xF;
    if (set >= sets || set >= 8)
        return false;
    static const uint32_t kFloats[4] = {2, 3, 4, 1};
    for (uint32_t i = 0; i < set; ++i)
        offset += 4 * kFloats[(fvf >> (16 + 2 * i)) & 3];
    *normalOffset = 12;
    *texOffset = offset;
    return kFloats[(fvf >> (16 + 2 * set)) & 3] >= 2;
}

bool MendFitsIndex16(const std::vector<uint32_t>& mapping, const std::vector<uint32_t>& indices, uint32_t inputCount)
{
    if (mapping.empty() || mapping.size() > 0xFFFF || indices.size() % 3 != 0)
        return false;
    for (uint32_t m : mapping)
        if (m >= inputCount)
            return false;
    for (uint32_t i : indices)
        if (i >= mapping.size())
            return false;
    return true;
}

bool MeshMender::CanSmoothChecker::Check(const MeshMenderTriangle& a, const MeshMenderTriangle& b,
                                         float threshold) const
{
    const D3DXVECTOR3 va = NormalizedOrSame(Vector(a));
    const D3DXVECTOR3 vb = NormalizedOrSame(Vector(b));
    if (Dot(va, vb) >= threshold)
        return true;
    return IsZero(va) && IsZero(vb);
}

bool MeshMender::PositionLess::operator()(const D3DXVECTOR3& a, const D3DXVECTOR3& b) const
{
    if (a.x != b.x)
        return a.x < b.x;
    if (a.y != b.y)
        return a.y < b.y;
    return a.z < b.z;
}

bool MeshMender::Run(std::vector<MeshMenderVertex>& vertices, std::vector<uint32_t>& indices,
                     std::vector<uint32_t>& mapping, float normalThreshold, float tangentThreshold,
                     float binormalThreshold, float areaWeight)
{
    // An index list that is not whole triangles, or that names a vertex the
    // list lacks, would be read out of bounds: refuse it untouched.
    if (indices.size() % 3 != 0)
        return false;
    for (uint32_t index : indices)
        if (index >= vertices.size())
            return false;

    m_NormalThreshold = normalThreshold;
    m_TangentThreshold = tangentThreshold;
    m_BinormalThreshold = binormalThreshold;
    m_AreaWeight = areaWeight;
    m_bAdjacencyByIndex = false;
    m_pVertices = &vertices;

    BuildTriangles(vertices, indices, mapping);
    Smooth(KIND_TANGENT, vertices, mapping);

    for (size_t t = 0; t < m_Triangles.size(); ++t)
        for (int k = 0; k < 3; ++k)
            indices[t * 3 + k] = m_Triangles[t].indices[k];

    for (MeshMenderVertex& v : vertices)
        Orthogonalize(v);
    m_pVertices = nullptr;
    return true;
}

void MeshMender::SmoothNormals(std::vector<MeshMenderVertex>& vertices, std::vector<uint32_t>& mapping)
{
    m_pVertices = &vertices;
    Smooth(KIND_NORMAL, vertices, mapping);
    m_pVertices = nullptr;
}

void MeshMender::FixTextureWrap(std::vector<MeshMenderVertex>& vertices, std::vector<uint32_t>& indices,
                                std::vector<uint32_t>& mapping)
{
    // Without an earlier run every vertex stands for itself.
    for (uint32_t i = uint32_t(mapping.size()); i < vertices.size(); ++i)
        mapping.push_back(i);
    const size_t count = indices.size() / 3;
    for (size_t tri = 0; tri < count; ++tri)
    {
        uint32_t* corner = &indices[tri * 3];
        bool copied[3] = {false, false, false};
        for (float MeshMenderVertex::*coordinate : {&MeshMenderVertex::s, &MeshMenderVertex::t})
            for (int edge = 0; edge < 3; ++edge)
            {
                const int a = edge, b = (edge + 1) % 3;
                if (corner[a] >= vertices.size() || corner[b] >= vertices.size())
                    continue;
                const float va = vertices[corner[a]].*coordinate, vb = vertices[corner[b]].*coordinate;
                if (va < 0 || va > 1 || vb < 0 || vb > 1 || std::fabs(va - vb) <= 0.5f)
                    continue;
                const int low = va < vb ? a : b;
                if (!copied[low])
                {
                    const uint32_t v = corner[low];
                    MeshMenderVertex copy = vertices[v];
                    vertices.push_back(copy);
                    mapping.push_back(mapping[v]);
                    corner[low] = uint32_t(vertices.size() - 1);
                    copied[low] = true;
                }
                vertices[corner[low]].*coordinate += 1.0f;
            }
    }
}

void MeshMender::BuildTriangles(const std::vector<MeshMenderVertex>& vertices, const std::vector<uint32_t>& indices,
                                std::vector<uint32_t>& mapping)
{
    m_Triangles.clear();
    m_PositionMap.clear();
    const uint32_t n = uint32_t(vertices.size());
    for (uint32_t i = 0; i < n; ++i)
        mapping.push_back(i);
    m_InputVertexCount = n;

    const size_t count = indices.size() / 3;
    m_Triangles.resize(count);
    for (size_t i = 0; i < count; ++i)
    {
        MeshMenderTriangle& tri = m_Triangles[i];
        tri.id = uint32_t(i);
        for (int k = 0; k < 3; ++k)
            tri.indices[k] = indices[i * 3 + k];
        const MeshMenderVertex& c0 = vertices[tri.indices[0]];
        const MeshMenderVertex& c1 = vertices[tri.indices[1]];
        const MeshMenderVertex& c2 = vertices[tri.indices[2]];
        const D3DXVECTOR3 e1 = c1.pos - c0.pos;
        const D3DXVECTOR3 e2 = c2.pos - c0.pos;
        const float ds1 = c1.s - c0.s, dt1 = c1.t - c0.t;
        const float ds2 = c2.s - c0.s, dt2 = c2.t - c0.t;
        const float r = ds1 * dt2 - ds2 * dt1;
        const float f = std::fabs(r) > 0.0001f ? 1.0f / r : 1.0f;
        tri.tangent = (dt2 * e1 - dt1 * e2) * f;
        tri.binormal = (ds1 * e2 - ds2 * e1) * f;
    }
    for (const MeshMenderTriangle& tri : m_Triangles)
        for (int k = 0; k < 3; ++k)
            m_PositionMap[vertices[tri.indices[k]].pos].push_back(tri.id);
}

void MeshMender::Smooth(Kind kind, std::vector<MeshMenderVertex>& vertices, std::vector<uint32_t>& mapping)
{
    // Tangents and binormals are smoothed position by position, the
    // binormal pass seeing the splits the tangent pass made.
    for (const auto& entry : m_PositionMap)
    {
        if (kind == KIND_NORMAL)
            SmoothAt(KIND_NORMAL, entry.first, entry.second, vertices, mapping);
        else
        {
            SmoothAt(KIND_TANGENT, entry.first, entry.second, vertices, mapping);
            SmoothAt(KIND_BINORMAL, entry.first, entry.second, vertices, mapping);
        }
    }
}

bool MeshMender::SharesEdge(const MeshMenderTriangle& a, const MeshMenderTriangle& b,
                            const std::vector<MeshMenderVertex>& vertices) const
{
    for (int i = 0; i < 3; ++i)
    {
        const uint32_t a0 = a.indices[i], a1 = a.indices[(i + 1) % 3];
        for (int j = 0; j < 3; ++j)
        {
            const uint32_t b0 = b.indices[j], b1 = b.indices[(j + 1) % 3];
            if (m_bAdjacencyByIndex)
            {
                if ((a0 == b0 && a1 == b1) || (a0 == b1 && a1 == b0))
                    return true;
                continue;
            }
            const D3DXVECTOR3 &pa0 = vertices[a0].pos, &pa1 = vertices[a1].pos;
            const D3DXVECTOR3 &pb0 = vertices[b0].pos, &pb1 = vertices[b1].pos;
            if ((pa0 == pb0 && pa1 == pb1) || (pa0 == pb1 && pa1 == pb0))
                return true;
        }
    }
    return false;
}

void MeshMender::GrowGroup(uint32_t start, Kind kind, const std::vector<uint32_t>& triangles,
                           std::vector<std::vector<uint32_t>>& groups)
{
    static const CanSmoothNormalsChecker s_Normals;
    static const CanSmoothTangentsChecker s_Tangents;
    static const CanSmoothBinormalsChecker s_Binormals;
    const CanSmoothChecker& checker =
        kind == KIND_NORMAL ? static_cast<const CanSmoothChecker&>(s_Normals)
                            : kind == KIND_TANGENT ? static_cast<const CanSmoothChecker&>(s_Tangents) : s_Binormals;
    const float threshold =
        kind == KIND_NORMAL ? m_NormalThreshold : kind == KIND_TANGENT ? m_TangentThreshold : m_BinormalThreshold;

    // Growing from the first neighbour runs to its end before the walk
    // goes on with the second; the pending second neighbours wait on an
    // explicit stack so that a crowded position cannot exhaust the stack.
    std::vector<int64_t> pending;
    int64_t current = start;
    for (;;)
    {
        while (current >= 0 && !m_Triangles[size_t(current)].handled)
        {
            MeshMenderTriangle& t = m_Triangles[size_t(current)];
            int64_t neighbours[2] = {-1, -1};
            int found = 0;
            for (uint32_t id : triangles)
            {
                if (id == t.id || !SharesEdge(t, m_Triangles[id], *m_pVertices))
                    continue;
                if (found < 2)
                    neighbours[found] = id;
                ++found;
            }
            for (int64_t n : neighbours)
            {
                if (n < 0)
                    continue;
                const MeshMenderTriangle& other = m_Triangles[size_t(n)];
                if (other.group >= 0 && checker.Check(t, other, threshold))
                {
                    groups[size_t(other.group)].push_back(t.id);
                    t.group = other.group;
                }
            }
            if (t.group < 0)
            {
                groups.push_back(std::vector<uint32_t>(1, t.id));
                t.group = int32_t(groups.size() - 1);
            }
            t.handled = true;
            pending.push_back(neighbours[1]);
            current = neighbours[0];
        }
        if (pending.empty())
            break;
        current = pending.back();
        pending.pop_back();
    }
}

void MeshMender::SmoothAt(Kind kind, const D3DXVECTOR3& position, const std::vector<uint32_t>& triangles,
                          std::vector<MeshMenderVertex>& vertices, std::vector<uint32_t>& mapping)
{
    for (uint32_t id : triangles)
    {
        m_Triangles[id].handled = false;
        m_Triangles[id].group = -1;
    }
    std::vector<std::vector<uint32_t>> groups;
    for (uint32_t id : triangles)
        if (!m_Triangles[id].handled)
            GrowGroup(id, kind, triangles, groups);

    std::set<uint32_t> taken; // vertices given a vector here by an earlier group
    for (const std::vector<uint32_t>& group : groups)
    {
        D3DXVECTOR3 sum(0, 0, 0);
        for (uint32_t id : group)
            sum += TriangleVector(m_Triangles[id], kind);
        const D3DXVECTOR3 vector = NormalizedOrSame(sum);

        std::set<uint32_t> mine;
        for (uint32_t id : group)
        {
            for (int k = 0; k < 3; ++k)
            {
                const uint32_t v = m_Triangles[id].indices[k];
                if (!(vertices[v].pos == position))
                    continue;
                if (taken.count(v) == 0)
                {
                    VertexVector(vertices[v], kind) = vector;
                    mine.insert(v);
                    continue;
                }
                // An earlier group owns this vertex: this group gets a copy.
                MeshMenderVertex copy = vertices[v];
                VertexVector(copy, kind) = vector;
                const uint32_t m = uint32_t(vertices.size());
                vertices.push_back(copy);
                mapping.push_back(v < m_InputVertexCount ? v : mapping[v]);
                for (uint32_t other : group)
                    for (uint32_t& corner : m_Triangles[other].indices)
                        if (corner == v)
                            corner = m;
                mine.insert(m);
            }
        }
        taken.insert(mine.begin(), mine.end());
    }
}

void MeshMender::Orthogonalize(MeshMenderVertex& v)
{
    const D3DXVECTOR3& n = v.normal;
    const D3DXVECTOR3 t1 = v.tangent - n * Dot(n, v.tangent);
    const D3DXVECTOR3 b1 = v.binormal - n * Dot(n, v.binormal) - t1 * Dot(t1, v.binormal);
    if (Length(t1) > kTinyLength)
        v.tangent = t1 * (1.0f / Length(t1));
    if (Length(b1) > kTinyLength)
        v.binormal = b1 * (1.0f / Length(b1));

    const float lt = Length(v.tangent);
    const float lb = Length(v.binormal);
    if (lt <= 0.001f || lb <= 0.001f)
    {
        if (lt > 0.5f)
            v.binormal = Cross(n, v.tangent);
        else if (lb > 0.5f)
            v.tangent = Cross(v.binormal, n);
        else
        {
            const D3DXVECTOR3 up = n.y > n.x ? D3DXVECTOR3(1, 0, 0) : D3DXVECTOR3(0, 1, 0);
            v.tangent = Cross(n, up);
            v.binormal = Cross(n, v.tangent);
        }
    }
    else if (Dot(v.tangent, v.binormal) > 0.999f)
        v.binormal = Cross(n, v.tangent);
}
