#include "MeshNormals.h"

#include <cstring>
#include <map>

std::array<int, 3> NormalCell(const D3DXVECTOR3& p)
{
    return {int(4 * p.x), int(4 * p.y), int(4 * p.z)};
}

std::vector<uint8_t> SmoothNormalsByCell(const std::vector<uint8_t>& vertices, uint32_t stride, uint32_t count,
                                         const std::vector<uint16_t>& indices)
{
    if (stride < 24 || vertices.size() < size_t(count) * stride)
        return vertices;
    std::vector<uint8_t> out(vertices.begin(), vertices.begin() + size_t(count) * stride);
    auto position = [&](uint32_t i) {
        D3DXVECTOR3 p;
        std::memcpy(&p, &out[size_t(i) * stride], 12);
        return p;
    };
    typedef std::array<int, 3> Cell;
    std::map<Cell, std::vector<uint32_t>> members;
    for (uint32_t i = 0; i < count; ++i)
        members[NormalCell(position(i))].push_back(i);

    std::map<Cell, D3DXVECTOR3> sums;
    for (size_t t = 0; t + 2 < indices.size(); t += 3)
    {
        const uint32_t a = indices[t], b = indices[t + 1], c = indices[t + 2];
        if (a >= count || b >= count || c >= count)
            continue;
        const D3DXVECTOR3 p0 = position(a), p1 = position(b), p2 = position(c);
        const D3DXVECTOR3 e1 = p2 - p0, e2 = p1 - p0;
        D3DXVECTOR3 n;
        D3DXVec3Cross(&n, &e1, &e2);
        D3DXVec3Normalize(&n, &n);
        for (uint32_t v : {a, b, c})
        {
            auto it = sums.find(NormalCell(position(v)));
            if (it == sums.end())
                sums[NormalCell(position(v))] = n;
            else
                it->second += n;
        }
    }
    for (const auto& entry : sums)
    {
        D3DXVECTOR3 s;
        D3DXVec3Normalize(&s, &entry.second);
        for (uint32_t v : members[entry.first])
            std::memcpy(&out[size_t(v) * stride + 12], &s, 12);
    }
    return out;
}
