// Mesh adjacency and vertex-cache ordering.
#include "MeshOps.h"

#include <algorithm>
#include <cstdint>
#include <cmath>
#include <numeric>
#include <unordered_map>

namespace d3dx
{
namespace
{

// One point for every group of vertices within epsilon of each other: the
// lowest vertex of the group. Vertices are swept in x order so that only
// neighbours in x are compared.
std::vector<DWORD> PointRepresentatives(const std::vector<D3DXVECTOR3>& positions, float epsilon)
{
    const size_t n = positions.size();
    std::vector<DWORD> order(n), rep(n);
    std::iota(order.begin(), order.end(), 0);
    std::iota(rep.begin(), rep.end(), 0);
    std::sort(order.begin(), order.end(), [&](DWORD a, DWORD b) {
        return positions[a].x < positions[b].x || (positions[a].x == positions[b].x && a < b);
    });
    for (size_t i = 0; i < n; ++i)
    {
        const D3DXVECTOR3& p = positions[order[i]];
        for (size_t j = i + 1; j < n && positions[order[j]].x - p.x <= epsilon; ++j)
        {
            const D3DXVECTOR3& q = positions[order[j]];
            if (std::fabs(q.y - p.y) <= epsilon && std::fabs(q.z - p.z) <= epsilon)
            {
                DWORD& a = rep[order[i]];
                DWORD& b = rep[order[j]];
                a = b = std::min(a, b);
            }
        }
    }
    // Follow chains so that every vertex names the group's final point.
    for (size_t i = 0; i < n; ++i)
        while (rep[rep[i]] != rep[i])
            rep[i] = rep[rep[i]];
    return rep;
}

} // namespace

std::vector<DWORD> GenerateAdjacency(const std::vector<D3DXVECTOR3>& positions, const std::vector<DWORD>& indices,
                                     float epsilon)
{
    const size_t faces = indices.size() / 3;
    std::vector<DWORD> adjacency(faces * 3, kNoNeighbour);
    const std::vector<DWORD> rep = PointRepresentatives(positions, std::max(0.0f, epsilon));
    auto point = [&](size_t f, size_t corner) {
        const DWORD v = indices[3 * f + corner];
        return v < rep.size() ? rep[v] : v;
    };
    // Edges by their two points in the order the face runs them.
    std::unordered_multimap<uint64_t, DWORD> edges; // value: 3 x face + edge
    auto key = [](DWORD a, DWORD b) { return uint64_t(a) << 32 | b; };
    for (size_t f = 0; f < faces; ++f)
        for (size_t e = 0; e < 3; ++e)
        {
            const DWORD a = point(f, e), b = point(f, (e + 1) % 3);
            if (a != b)
                edges.emplace(key(a, b), DWORD(3 * f + e));
        }
    // Opposite runs first (the usual case of two faces with the same
    // winding), then runs the same way (faces flipped against each other).
    for (bool opposite : {true, false})
        for (size_t f = 0; f < faces; ++f)
            for (size_t e = 0; e < 3; ++e)
            {
                if (adjacency[3 * f + e] != kNoNeighbour)
                    continue;
                const DWORD a = point(f, e), b = point(f, (e + 1) % 3);
                if (a == b)
                    continue;
                auto range = opposite ? edges.equal_range(key(b, a)) : edges.equal_range(key(a, b));
                for (auto it = range.first; it != range.second; ++it)
                {
                    const DWORD other = it->second;
                    if (other / 3 != f && adjacency[other] == kNoNeighbour)
                    {
                        adjacency[3 * f + e] = other / 3;
                        adjacency[other] = DWORD(f);
                        break;
                    }
                }
            }
    return adjacency;
}

//---------------------------------------------------------------------------
// Vertex-cache ordering: faces are scored by how recently their vertices
// were used (an LRU model of the cache) and by how few faces their vertices
// have left, and the best face is emitted next.

namespace
{

constexpr int kCacheSize = 32;

// The two parts of a vertex's score, worked out once: the ordering asks
// for them for every vertex a drawn face touches.
struct ScoreTables
{
    static constexpr int kValences = 256;
    float cache[kCacheSize];
    float valence[kValences];

    static float Valence(int facesLeft) { return 2.0f / std::sqrt(float(facesLeft)); }

    ScoreTables()
    {
        for (int p = 0; p < kCacheSize; ++p)
            // The face just drawn: no gain in drawing its neighbour through it at once.
            cache[p] = p < 3 ? 0.75f : std::pow(1.0f - float(p - 3) / float(kCacheSize - 3), 1.5f);
        for (int f = 1; f < kValences; ++f)
            valence[f] = Valence(f);
        valence[0] = 0.0f;
    }
};

float VertexScore(int cachePosition, int facesLeft)
{
    static const ScoreTables tables;
    if (facesLeft == 0)
        return -1.0f;
    const float score = cachePosition >= 0 && cachePosition < kCacheSize ? tables.cache[cachePosition] : 0.0f;
    return score + (facesLeft < ScoreTables::kValences ? tables.valence[facesLeft] : ScoreTables::Valence(facesLeft));
}

std::vector<DWORD> OrderGroup(const std::vector<DWORD>& indices, const std::vector<DWORD>& groupFaces,
                              size_t vertexCount)
{
    const size_t n = groupFaces.size();
    // The distinct vertices of a face (a degenerate face has fewer).
    auto corners = [&](size_t i, DWORD out[3]) {
        const DWORD* f = &indices[3 * groupFaces[i]];
        int count = 0;
        for (int c = 0; c < 3; ++c)
            if (std::find(out, out + count, f[c]) == out + count)
                out[count++] = f[c];
        return count;
    };
    // Faces of each vertex (within the group), as offsets into one array.
    std::vector<DWORD> start(vertexCount + 1, 0), facesLeft(vertexCount, 0);
    DWORD vs[3];
    for (size_t i = 0; i < n; ++i)
        for (int c = 0, k = corners(i, vs); c < k; ++c)
            ++start[vs[c] + 1];
    std::partial_sum(start.begin(), start.end(), start.begin());
    std::vector<DWORD> vertexFaces(start.back());
    for (size_t i = 0; i < n; ++i)
        for (int c = 0, k = corners(i, vs); c < k; ++c)
            vertexFaces[start[vs[c]] + facesLeft[vs[c]]++] = DWORD(i);

    std::vector<int> cachePos(vertexCount, -1);
    std::vector<float> vertexScore(vertexCount, 0.0f), faceScore(n, 0.0f);
    std::vector<bool> done(n, false);
    for (size_t v = 0; v < vertexCount; ++v)
        vertexScore[v] = VertexScore(-1, int(facesLeft[v]));
    auto scoreFace = [&](size_t i) {
        const DWORD f = groupFaces[i];
        return vertexScore[indices[3 * f]] + vertexScore[indices[3 * f + 1]] + vertexScore[indices[3 * f + 2]];
    };
    for (size_t i = 0; i < n; ++i)
        faceScore[i] = scoreFace(i);

    std::vector<DWORD> order;
    order.reserve(n);
    std::vector<DWORD> cache; // most recent first
    size_t scanFrom = 0;
    long best = -1;
    for (size_t i = 0; i < n; ++i)
        if (best < 0 || faceScore[i] > faceScore[size_t(best)])
            best = long(i);

    while (best >= 0)
    {
        const size_t b = size_t(best);
        done[b] = true;
        order.push_back(groupFaces[b]);
        // The face's vertices move to the front of the cache.
        std::vector<DWORD> next;
        for (int c = 0, k = corners(b, vs); c < k; ++c)
        {
            const DWORD v = vs[c];
            next.push_back(v);
            // One face fewer for this vertex.
            DWORD* first = &vertexFaces[start[v]];
            DWORD* last = first + facesLeft[v];
            std::iter_swap(std::find(first, last, DWORD(b)), last - 1);
            --facesLeft[v];
        }
        for (DWORD v : cache)
            if (std::find(next.begin(), next.end(), v) == next.end())
                next.push_back(v);
        // Vertices pushed out of the cache lose their place.
        for (size_t i = kCacheSize; i < next.size(); ++i)
            cachePos[next[i]] = -1;
        next.resize(std::min(next.size(), size_t(kCacheSize)));
        for (size_t i = 0; i < next.size(); ++i)
            cachePos[next[i]] = int(i);
        std::vector<DWORD> touched = next;
        touched.insert(touched.end(), cache.begin(), cache.end());
        cache.swap(next);

        // Rescore the touched vertices and their remaining faces; the best
        // of those is next.
        for (DWORD v : touched)
            vertexScore[v] = VertexScore(cachePos[v], int(facesLeft[v]));
        best = -1;
        for (DWORD v : touched)
            for (DWORD k = 0; k < facesLeft[v]; ++k)
            {
                const DWORD i = vertexFaces[start[v] + k];
                faceScore[i] = scoreFace(i);
                if (best < 0 || faceScore[i] > faceScore[size_t(best)])
                    best = long(i);
            }
        if (best < 0)
        {
            // Nothing left around the cache: take the next face not drawn.
            while (scanFrom < n && done[scanFrom])
                ++scanFrom;
            if (scanFrom < n)
                best = long(scanFrom);
        }
    }
    return order;
}

} // namespace

std::vector<DWORD> VertexCacheFaceOrder(const std::vector<DWORD>& indices, const std::vector<DWORD>& attributes,
                                        size_t vertexCount)
{
    const size_t faces = indices.size() / 3;
    std::vector<DWORD> byAttribute(faces);
    std::iota(byAttribute.begin(), byAttribute.end(), 0);
    for (DWORD v : indices)
        if (v >= vertexCount)
            return byAttribute; // not a valid mesh: keep the order
    auto attributeOf = [&](DWORD f) { return f < attributes.size() ? attributes[f] : 0; };
    std::stable_sort(byAttribute.begin(), byAttribute.end(),
                     [&](DWORD a, DWORD b) { return attributeOf(a) < attributeOf(b); });
    std::vector<DWORD> order;
    order.reserve(faces);
    for (size_t i = 0; i < faces;)
    {
        size_t j = i;
        while (j < faces && attributeOf(byAttribute[j]) == attributeOf(byAttribute[i]))
            ++j;
        const std::vector<DWORD> group(byAttribute.begin() + i, byAttribute.begin() + j);
        const std::vector<DWORD> ordered = OrderGroup(indices, group, vertexCount);
        order.insert(order.end(), ordered.begin(), ordered.end());
        i = j;
    }
    return order;
}

std::vector<DWORD> VertexOrderOfFirstUse(const std::vector<DWORD>& indices, size_t vertexCount)
{
    std::vector<DWORD> order;
    std::vector<bool> used(vertexCount, false);
    for (DWORD v : indices)
        if (v < vertexCount && !used[v])
        {
            used[v] = true;
            order.push_back(v);
        }
    for (size_t v = 0; v < vertexCount; ++v)
        if (!used[v])
            order.push_back(DWORD(v));
    return order;
}

size_t CountCacheMisses(const std::vector<DWORD>& indices, size_t cacheSize)
{
    std::vector<DWORD> fifo;
    size_t misses = 0, next = 0;
    for (DWORD v : indices)
    {
        if (std::find(fifo.begin(), fifo.end(), v) != fifo.end())
            continue;
        ++misses;
        if (fifo.size() < cacheSize)
            fifo.push_back(v);
        else
        {
            fifo[next] = v;
            next = (next + 1) % cacheSize;
        }
    }
    return misses;
}

} // namespace d3dx
