#include "SilhouetteBuilder.h"

#include <cmath>
#include <algorithm>
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
    ++m_DerivationCount;
    if (m_bValid && !params.reinit)
        UpdateIncrementally(params);
    if (!m_bValid || params.reinit)
    {
        Rebuild();
        MarkLoopsVisited();
    }
    if (params.minSilhouetteLength > 0)
        for (Loop& loop : m_Loops)
            if (int(loop.size()) < params.minSilhouetteLength)
                loop.clear();
}

bool CSilhouetteBuilder::IsOrientedSilhouette(int u, int v) const
{
    auto found = m_Edges.find(Key(u, v));
    if (found == m_Edges.end() || IsMarked(found->second.slot1) == IsMarked(found->second.slot2))
        return false;
    return Oriented(found->first, found->second) == std::make_pair(u, v);
}

void CSilhouetteBuilder::MarkLoopsVisited()
{
    for (const Loop& loop : m_Loops)
        MarkLoopVisited(loop);
}

void CSilhouetteBuilder::MarkLoopVisited(const Loop& loop)
{
    for (size_t k = 0; k < loop.size(); ++k)
        MarkVisited(loop[k], loop[(k + 1) % loop.size()]);
}

void CSilhouetteBuilder::UpdateIncrementally(const TShadowVolumeParams& params)
{
    m_Visited.clear();
    m_Pending.clear();
    std::vector<Loop> loops;
    for (const Loop& loop : m_Loops)
        if (!loop.empty() && !CheckLoop(loop, loops))
        {
            m_bValid = false;
            return;
        }
    m_Loops.swap(loops);
    // New silhouettes start only at border edges and sharp bends.
    FindNewLoops(params.minAngle);
}

bool CSilhouetteBuilder::CheckLoop(const Loop& loop, std::vector<Loop>& repaired)
{
    const size_t n = loop.size();
    std::vector<int> state(n); // 0 gone, 1 still oriented, -1 now reversed
    size_t kept = 0, forward = 0;
    for (size_t k = 0; k < n; ++k)
    {
        const int u = loop[k], v = loop[(k + 1) % n];
        state[k] = IsOrientedSilhouette(u, v) ? 1 : IsOrientedSilhouette(v, u) ? -1 : 0;
        kept += state[k] != 0;
        forward += state[k] == 1;
    }
    if (kept == 0)
        return false;
    if (forward == n)
    {
        MarkLoopVisited(loop);
        repaired.push_back(loop);
        return true;
    }
    // Runs of surviving edges with one orientation become pieces; a run
    // that wraps past the end starts at the first position after a change.
    size_t start = 0;
    while (start < n && state[start] == state[(start + n - 1) % n])
        ++start;
    m_Pending.clear();
    for (size_t step = 0; step < n;)
    {
        const size_t k = (start + step) % n;
        if (state[k] == 0)
        {
            ++step;
            continue;
        }
        Piece piece{loop[k]};
        size_t length = 0;
        while (step + length < n && state[(start + step + length) % n] == state[k])
        {
            piece.push_back(loop[(start + step + length + 1) % n]);
            ++length;
        }
        step += length;
        if (state[k] < 0)
            std::reverse(piece.begin(), piece.end());
        for (size_t i = 0; i + 1 < piece.size(); ++i)
            MarkVisited(piece[i], piece[i + 1]);
        m_Pending.push_back(piece);
    }
    for (size_t i = 0; i < m_Pending.size(); ++i)
        GrowPiece(i);
    return ChainPieces(repaired);
}

void CSilhouetteBuilder::GrowPiece(size_t index)
{
    for (int steps = 0; steps < 1025; ++steps)
    {
        const int v = m_Pending[index].back();
        if (m_Pending[index].size() > 1 && v == m_Pending[index].front())
            return; // closed
        int meeting = 0;
        std::vector<int> candidates;
        auto around = m_Neighbours.find(v);
        if (around != m_Neighbours.end())
            for (int u : around->second)
            {
                if (!IsSilhouetteEdge(Key(v, u)))
                    continue;
                ++meeting;
                if (!IsVisited(v, u) && IsOrientedSilhouette(v, u))
                    candidates.push_back(u);
            }
        if (candidates.empty())
            return;
        if (meeting <= 2)
        {
            MarkVisited(v, candidates[0]);
            m_Pending[index].push_back(candidates[0]);
            continue;
        }
        // The silhouette branches here: a piece for every way on.
        for (int u : candidates)
        {
            MarkVisited(v, u);
            m_Pending.push_back(Piece{v, u});
        }
        return;
    }
    g_Log.Printf("Error in %s, line %u\n", ".\\src\\StencilShadow", 2098u);
}

bool CSilhouetteBuilder::ChainPieces(std::vector<Loop>& loops)
{
    bool all = true;
    while (!m_Pending.empty())
    {
        Loop loop = m_Pending.front();
        m_Pending.erase(m_Pending.begin());
        while (loop.size() < 2 || loop.front() != loop.back())
        {
            auto next = m_Pending.begin();
            while (next != m_Pending.end() && next->front() != loop.back())
                ++next;
            if (next == m_Pending.end())
                break;
            loop.insert(loop.end(), next->begin() + 1, next->end());
            m_Pending.erase(next);
        }
        if (loop.size() < 2 || loop.front() != loop.back())
        {
            g_Log.Printf("Error in %s, line %u\n", ".\\src\\StencilShadow", 1931u);
            all = false;
            continue;
        }
        loop.pop_back();
        MarkLoopVisited(loop);
        loops.push_back(loop);
    }
    return all;
}

void CSilhouetteBuilder::FindNewLoops(float minAngle)
{
    m_Pending.clear();
    for (const auto& entry : m_EdgeAngles)
    {
        const EdgeKey& key = entry.first;
        if (entry.second <= minAngle || m_Visited.count(key) || !IsSilhouetteEdge(key))
            continue;
        const std::pair<int, int> e = Oriented(key, m_Edges.at(key));
        MarkVisited(e.first, e.second);
        m_Pending.push_back(Piece{e.first, e.second});
        for (size_t i = m_Pending.size() - 1; i < m_Pending.size(); ++i)
            GrowPiece(i);
    }
    ChainPieces(m_Loops);
}

void CSilhouetteBuilder::Rebuild()
{
    ++m_RebuildCount;
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
