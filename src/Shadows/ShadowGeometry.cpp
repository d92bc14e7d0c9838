#include "ShadowGeometry.h"

void AppendShadowVolume(const std::vector<std::vector<int>>& loops, const std::vector<D3DXVECTOR3>& positions,
                        const D3DXVECTOR3& displacement, std::vector<D3DXVECTOR3>& vertices,
                        std::vector<uint32_t>& indices)
{
    for (const std::vector<int>& loop : loops)
    {
        const uint32_t n = uint32_t(loop.size());
        const uint32_t t = uint32_t(vertices.size());
        for (int v : loop)
            vertices.push_back(positions[size_t(v)]);
        for (int v : loop)
            vertices.push_back(positions[size_t(v)] + displacement);
        for (uint32_t k = 0; k < n; ++k)
        {
            const uint32_t cur = t + k, next = t + (k + 1) % n;
            const uint32_t curX = cur + n, nextX = next + n;
            for (uint32_t i : {next, cur, curX, nextX, next, curX})
                indices.push_back(i);
        }
    }
}

bool ShadowVolumeFits(size_t vertexCount, size_t indexCount, size_t vertexCapacity, size_t indexCapacity)
{
    return vertexCount <= vertexCapacity && indexCount <= indexCapacity;
}

D3DXMATRIX ShadowProjectionMatrix(const D3DXMATRIX& mainView, const D3DXMATRIX& shadowView,
                                  const D3DXMATRIX& shadowProjection)
{
    D3DXMATRIX inverse;
    if (!D3DXMatrixInverse(&inverse, nullptr, &mainView))
        D3DXMatrixIdentity(&inverse);
    const D3DXMATRIX bias(0.5f, 0, 0, 0, 0, -0.5f, 0, 0, 0, 0, 1, 0, 0.5f, 0.5f, 0, 1);
    return inverse * shadowView * shadowProjection * bias;
}

uint8_t ShadowColourByte(float value)
{
    if (value >= 1.0f)
        return 255;
    if (value <= 0.0f)
        return 0;
    return uint8_t(value * 255.0f + 0.5f);
}
