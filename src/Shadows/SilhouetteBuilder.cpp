#include "SilhouetteBuilder.h"

#include <cmath>
#include <list>
#include <tuple>

#include "Log.h"

namespace
{
const float kPi = 3.14159265f;

D3DXVECTOR3 Cross(const D3DXVECTOR3& a, const D3DXVECTOR3& b)
{
    D3DXVECTOR3 r;
    D3DXVec3Cross(&r, &a, &b);
    return r;
}

D3DXVECTOR3 Normalized(const D3DXVECTOR3& v)
{
    D3DXVECTOR3 r;
    D3DXVec3Normalize(&r, &v);
    return r;
}

float Dot(const D3DXVECTOR3& a, const D3DXVECTOR3& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

CSilhouetteBuilder::EdgeKey Key(int u, int v)
{
    return u < v ? CSilhouetteBuilder::EdgeKey(u, v) : CSilhouetteBuilder::EdgeKey(v, u);
}
} // namespace

CSilhouetteBuilder::CSilhouetteBuilder(const std::vector<D3DXVECTOR3>& positions, const std::vector<uint16_t>& indices)
    : m_Positions(positions)
{
    Weld();
    for (size_t i = 0; i + 2 < indices.size(); i += 3)
    {
        if (indices[i] >= positions.size() || indices[i + 1] >= positions.size() || indices[i + 2] >= positions.size())
            continue; // an index past the positions names no vertex
        Face f{m_Representative[indices[i]], m_Representative[indices[i + 1]], m_Representative[indices[i + 2]]};
        if (f.a == f.b || f.b == f.c || f.a == f.c)
            continue;
        m_Triangles.push_back(f);
    }
    BuildEdges();
    ComputeFaceNormals();
    ComputeEdgeAngles();
}

void CSilhouetteBuilder::Weld()
{
    // Vertices are welded on a grid of 0.2 units, the first of a cell
    // standing for the others.
    std::map<std::tuple<int, int, int>, int> first;
    m_Representative.resize(m_Positions.size());
    for (size_t i = 0; i < m_Positions.size(); ++i)
    {
        const D3DXVECTOR3& p = m_Positions[i];
        auto cell = [](float v) {
            const float s = v * 5.0f;
            return std::fabs(s) < 2e9f ? int(s) : 0;
        };
        const auto key = std::make_tuple(cell(p.x), cell(p.y), cell(p.z));
        auto found = first.emplace(key, int(i));
        m_Representative[i] = found.first->second;
    }
}

void CSilhouetteBuilder::BuildEdges()
{
    for (const Face& f : m_Triangles)
    {
        const int corners[3][2] = {{f.a, f.b}, {f.b, f.c}, {f.c, f.a}};
        for (const auto& c : corners)
        {
            EdgeFaces& e = m_Edges[Key(c[0], c[1])];
            if (!e.slot1.IsSet())
                e.slot1 = f;
            else
                e.slot2 = f; // a third face on one edge replaces the second
            m_Neighbours[c[0]].insert(c[1]);
            m_Neighbours[c[1]].insert(c[0]);
        }
        m_FaceNormals[f] = D3DXVECTOR3(0, 0, 0);
    }
}

void CSilhouetteBuilder::ComputeFaceNormals()
{
    for (auto& entry : m_FaceNormals)
    {
        const Face& f = entry.first;
        const D3DXVECTOR3& pa = m_Positions[size_t(f.a)];
        entry.second = Normalized(Cross(m_Positions[size_t(f.c)] - pa, m_Positions[size_t(f.b)] - pa));
    }
}

void CSilhouetteBuilder::ComputeEdgeAngles()
{
    for (const auto& entry : m_Edges)
    {
        const EdgeKey& key = entry.first;
        const EdgeFaces& faces = entry.second;
        if (!faces.slot2.IsSet())
        {
            m_EdgeAngles[key] = 2 * kPi; // a border edge
            continue;
        }
        auto farCorner = [&key](const Face& f) {
            for (int v : {f.a, f.b, f.c})
                if (v != key.first && v != key.second)
                    return v;
            return f.a;
        };
        const D3DXVECTOR3& nA = m_FaceNormals.at(faces.slot1);
        const D3DXVECTOR3& nB = m_FaceNormals.at(faces.slot2);
        const D3DXVECTOR3 p1 = m_Positions[size_t(farCorner(faces.slot1))];
        const D3DXVECTOR3 p2 = m_Positions[size_t(farCorner(faces.slot2))];
        if (Dot(nA, Normalized(p2 - p1)) > 1.1920929e-7f)
            m_EdgeAngles[key] = kPi + std::acos(std::max(-1.0f, std::min(1.0f, Dot(nA, nB))));
    }
}

bool CSilhouetteBuilder::IsMarked(const Face& face) const
{
    if (!face.IsSet())
        return false;
    return Dot(m_FaceNormals.at(face), m_Direction) < 0;
}

bool CSilhouetteBuilder::IsSilhouetteEdge(const EdgeKey& key) const
{
    auto found = m_Edges.find(key);
    if (found == m_Edges.end())
        return false;
    return IsMarked(found->second.slot1) != IsMarked(found->second.slot2);
}

std::pair<int, int> CSilhouetteBuilder::Oriented(const EdgeKey& key, const EdgeFaces& faces) const
{
    const Face& deciding = IsMarked(faces.slot1) ? faces.slot1 : faces.slot2;
    const int u = key.first, v = key.second;
    const bool forward = (deciding.a == u && deciding.b == v) || (deciding.b == u && deciding.c == v) ||
                         (deciding.c == u && deciding.a == v);
    return forward ? std::make_pair(u, v) : std::make_pair(v, u);
}

void CSilhouetteBuilder::Update(const TShadowVolumeParams& params)
{
    const D3DXVECTOR3 d = Normalized(params.lightDisplacement);
    if (Dot(d, m_Direction) > 0.99f)
        return;
    m_Direction = d;
    // The loops are re-derived from all edges whenever the light has turned.
    Rebuild();
    if (params.minSilhouetteLength > 0)
        for (Loop& loop : m_Loops)
            if (int(loop.size()) < params.minSilhouetteLength)
                loop.clear();
}

void CSilhouetteBuilder::Rebuild()
{
    m_Loops.clear();
    std::list<std::pair<int, int>> edges;
    for (const auto& entry : m_Edges)
        if (IsMarked(entry.second.slot1) != IsMarked(entry.second.slot2))
            edges.push_back(Oriented(entry.first, entry.second));
    while (!edges.empty())
    {
        Loop loop{edges.front().first, edges.front().second};
        edges.pop_front();
        bool closed = false;
        while (!closed)
        {
            auto next = edges.begin();
            while (next != edges.end() && next->first != loop.back())
                ++next;
            if (next == edges.end())
                break;
            if (next->second == loop.front())
                closed = true;
            else
                loop.push_back(next->second);
            edges.erase(next);
        }
        if (closed)
            m_Loops.push_back(loop);
        else
            g_Log.Printf("Error in %s, line %u\n", ".\\src\\StencilShadow", 2385u);
    }
    m_bValid = true;
}
