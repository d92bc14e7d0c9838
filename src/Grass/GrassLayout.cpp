#include "GrassLayout.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "MathUtils.h"
#include "PixelFormat.h"

namespace
{
// Truncated toward zero, kept within int (NaN gives 0).
int TruncatedInt(float value)
{
    if (!(value == value))
        return 0;
    if (value >= 2147483520.0f)
        return 2147483647;
    if (value <= -2147483520.0f)
        return -2147483647;
    return int(value);
}

// rand() over 0..32767 as the scene's generator gives it, whatever the C
// library's own range.
float Random01()
{
    return float(rand() % 32768) / 32767.0f;
}
} // namespace

GrassGenerationValues MakeGrassGenerationValues(const float raw[8])
{
    GrassGenerationValues v;
    v.widthCells = TruncatedInt(raw[0]);
    v.heightCells = TruncatedInt(raw[1]);
    v.grassPerCell = TruncatedInt(raw[2]);
    v.widthSubAreas = std::max(1, TruncatedInt(raw[3]));
    v.heightSubAreas = std::max(1, TruncatedInt(raw[4]));
    v.minHeight = std::min(255, std::max(0, TruncatedInt(raw[5])));
    const float total = raw[6] / 100.0f, delta = raw[7] / 100.0f;
    v.totalScale = total > 0 ? total : 0;
    v.maxScaleDelta = delta > 0 ? std::min(delta, 1.0f) : 0;
    return v;
}

GrassCapacity ChooseGrassCapacity(uint64_t wanted, uint32_t sampleVertexCount, uint32_t trianglesPerInstance,
                                  uint32_t maxVertexIndex, uint32_t maxPrimitiveCount)
{
    GrassCapacity c;
    if (sampleVertexCount == 0 || trianglesPerInstance == 0)
        return c;
    uint64_t n = wanted;
    const uint64_t limit16 = std::min<uint32_t>(maxVertexIndex, 65535) / sampleVertexCount;
    if (n > limit16)
    {
        if (maxVertexIndex > 65535)
            c.indexSize = 4;
        else
            n = limit16;
    }
    if (c.indexSize == 4)
        n = std::min<uint64_t>(n, maxVertexIndex / sampleVertexCount);
    if (uint64_t(maxPrimitiveCount) < uint64_t(trianglesPerInstance) * n)
        n = maxPrimitiveCount / trianglesPerInstance;
    c.count = uint32_t(n);
    return c;
}

float GrassDensityMap::Value(float u, float v) const
{
    if (!bits || width <= 0 || height <= 0)
        return 1.0f;
    const int column = std::min(int(float(width) * u), width - 1);
    const int row = std::min(int(float(height) * v), height - 1);
    float colour[4] = {0, 0, 0, 0};
    ReadPixelToCommon(format, unsigned(std::max(column, 0)), bits + size_t(std::max(row, 0)) * size_t(pitch), colour);
    return colour[0];
}

void MakeGrassBox(float x0, float y0, float z0, float x1, float y1, float z1, float halfWidth, float height,
                  D3DXVECTOR3 corners[8])
{
    x0 -= halfWidth;
    y0 -= halfWidth;
    x1 += halfWidth;
    y1 += halfWidth;
    z1 += height;
    for (int k = 0; k < 8; ++k)
        corners[k] = D3DXVECTOR3(k & 1 ? x1 : x0, k & 2 ? y1 : y0, k & 4 ? z1 : z0);
}

bool IsGrassBoxInFrustum(const D3DXVECTOR3 corners[8], const D3DXPLANE planes[6])
{
    for (int p = 0; p < 6; ++p)
    {
        const D3DXPLANE& pl = planes[p];
        bool any = false;
        for (int k = 0; k < 8 && !any; ++k)
            any = pl.a * corners[k].x + pl.b * corners[k].y + pl.c * corners[k].z + pl.d > 0;
        if (!any)
            return false;
    }
    return true;
}

void GrassArea::AddInstance(float scale, const D3DXVECTOR3& p)
{
    instances.push_back({p.x, p.y, p.z, scale});
    ++instanceCount;
    lowestZ = std::min(lowestZ, p.z);
    highestZ = std::max(highestZ, p.z);
}

void GrassArea::UpdateDistance(const D3DXVECTOR3& camera)
{
    const D3DXVECTOR3 centre((x0 + x1) * 0.5f, (y0 + y1) * 0.5f, (lowestZ + highestZ) * 0.5f);
    const D3DXVECTOR3 d = centre - camera;
    cameraDistance = D3DXVec3Length(&d);
}

void GrassLayout::SetSample(const std::vector<uint8_t>& vertices, uint32_t stride, uint32_t vertexCount,
                            const std::vector<uint16_t>& indices, float width, float height)
{
    m_Stride = stride;
    // Never more vertices than the bytes hold.
    m_VertexCount = stride ? std::min<uint32_t>(vertexCount, uint32_t(vertices.size() / stride)) : 0;
    m_Vertices.assign(vertices.begin(), vertices.begin() + ptrdiff_t(size_t(m_VertexCount) * stride));
    m_Indices.clear();
    // Whole triangles whose indices name existing vertices.
    for (size_t t = 0; t + 3 <= indices.size(); t += 3)
        if (indices[t] < m_VertexCount && indices[t + 1] < m_VertexCount && indices[t + 2] < m_VertexCount)
            m_Indices.insert(m_Indices.end(), indices.begin() + ptrdiff_t(t), indices.begin() + ptrdiff_t(t + 3));
    m_Width = width;
    m_Height = height;
}

void GrassLayout::MakeAreas(const HeightGrid& grid, int widthSubAreas, int heightSubAreas)
{
    m_Areas.clear();
    widthSubAreas = std::max(1, widthSubAreas);
    heightSubAreas = std::max(1, heightSubAreas);
    const float w = grid.GetSizeX() / float(widthSubAreas), h = grid.GetSizeY() / float(heightSubAreas);
    for (int a = 0; a < widthSubAreas; ++a)
        for (int b = 0; b < heightSubAreas; ++b)
        {
            GrassArea area;
            area.x0 = grid.GetOriginX() + float(a) * w;
            area.x1 = grid.GetOriginX() + float(a + 1) * w;
            area.y0 = grid.GetOriginY() + float(b) * h;
            area.y1 = grid.GetOriginY() + float(b + 1) * h;
            m_Areas.push_back(area);
        }
}

GrassArea* GrassLayout::FindArea(float x, float y)
{
    for (GrassArea& area : m_Areas)
        if (area.x0 <= x && x <= area.x1 && area.y0 <= y && y <= area.y1)
            return &area;
    return nullptr;
}

bool GrassLayout::SampleDensity(const HeightGrid& grid, const GrassDensityMap& map, int minHeight,
                                const D3DXVECTOR3& p, float* h)
{
    auto fold = [](float t) {
        if (t < 0)
            t = -t;
        if (t > 1)
            t = 2 - t;
        return std::min(1.0f, std::max(0.0f, t));
    };
    const float u = fold((p.x - grid.GetOriginX()) / grid.GetSizeX());
    const float v = fold(1 - (p.y - grid.GetOriginY()) / grid.GetSizeY());
    *h = map.Value(u, v);
    return *h != 0 && *h >= float(minHeight) / 255.0f;
}

uint32_t GrassLayout::Place(const GrassSurface& surface, const GrassDensityMap& map, uint32_t wanted,
                            const GrassGenerationValues& values)
{
    const HeightGrid& grid = surface.GetGrid();
    uint32_t placed = 0;
    const uint64_t attempts = uint64_t(wanted) * 10;
    for (uint64_t attempt = 0; attempt < attempts && placed < wanted; ++attempt)
    {
        const float x = Random01() * grid.GetSizeX() + grid.GetOriginX();
        const float y = Random01() * grid.GetSizeY() + grid.GetOriginY();
        D3DXVECTOR3 p(x, y, 0);
        if (!surface.GetSurfacePoint(x, y, p))
            continue;
        float h = 0;
        if (!SampleDensity(grid, map, values.minHeight, p, &h))
            continue;
        GrassArea* area = FindArea(p.x, p.y);
        if (!area)
            continue;
        const float t = Random01();
        area->AddInstance((h - values.maxScaleDelta * t * h) * values.totalScale, p);
        ++placed;
    }
    return placed;
}

void GrassLayout::RemoveEmptyAreas()
{
    m_Areas.erase(std::remove_if(m_Areas.begin(), m_Areas.end(),
                                 [](const GrassArea& area) { return area.instanceCount == 0; }),
                  m_Areas.end());
    for (GrassArea& area : m_Areas)
        MakeGrassBox(area.x0, area.y0, area.lowestZ, area.x1, area.y1, area.highestZ, m_Width * 0.5f, m_Height,
                     area.corners);
}

uint32_t GrassLayout::WriteInstances(const D3DXVECTOR3& objectPosition, uint32_t indexSize,
                                     std::vector<uint8_t>& vertices, std::vector<uint8_t>& indices) const
{
    size_t total = 0;
    for (const GrassArea& area : m_Areas)
        total += area.instances.size();
    vertices.assign(total * m_VertexCount * kGrassStride, 0);
    indices.assign(total * m_Indices.size() * indexSize, 0);
    uint32_t k = 0;
    for (const GrassArea& area : m_Areas)
        for (const GrassInstance& instance : area.instances)
        {
            const D3DXVECTOR3 offset(instance.x - objectPosition.x, instance.y - objectPosition.y,
                                     instance.z - objectPosition.z);
            const float angle = Random01() * 6.2831855f - 3.1415927f;
            D3DXMATRIX turn, scale;
            D3DXMatrixRotationYawPitchRoll(&turn, 0, 0, angle);
            D3DXMatrixScaling(&scale, instance.scale, instance.scale, instance.scale);
            uint8_t* out = vertices.data() + size_t(k) * m_VertexCount * kGrassStride;
            for (uint32_t i = 0; i < m_VertexCount; ++i, out += kGrassStride)
            {
                memcpy(out, m_Vertices.data() + size_t(i) * m_Stride, std::min<uint32_t>(m_Stride, 32));
                float f[9];
                memcpy(f, out, 32);
                f[8] = instance.scale;
                D3DXVECTOR3 position(f[0], f[1], f[2]), normal(f[3], f[4], f[5]);
                D3DXVec3TransformCoord(&position, &position, &scale);
                D3DXVec3TransformCoord(&position, &position, &turn);
                D3DXVec3TransformNormal(&normal, &normal, &turn);
                position += offset;
                f[0] = position.x;
                f[1] = position.y;
                f[2] = position.z;
                f[3] = normal.x;
                f[4] = normal.y;
                f[5] = normal.z;
                memcpy(out, f, sizeof(f));
            }
            const size_t first = size_t(k) * m_Indices.size();
            const uint32_t base = k * m_VertexCount;
            for (size_t i = 0; i < m_Indices.size(); ++i)
            {
                const uint32_t index = base + m_Indices[i];
                if (indexSize == 4)
                    memcpy(indices.data() + (first + i) * 4, &index, 4);
                else
                {
                    const uint16_t small = uint16_t(index);
                    memcpy(indices.data() + (first + i) * 2, &small, 2);
                }
            }
            ++k;
        }
    return k;
}

void GrassLayout::FreeInstances()
{
    for (GrassArea& area : m_Areas)
        std::vector<GrassInstance>().swap(area.instances);
    std::vector<uint8_t>().swap(m_Vertices);
}

void GrassLayout::UpdateDistances(const D3DXVECTOR3& camera)
{
    for (GrassArea& area : m_Areas)
        area.UpdateDistance(camera);
}

std::vector<GrassDrawRange> GrassLayout::DrawRanges(float maxDistance, const D3DXPLANE* planes) const
{
    std::vector<GrassDrawRange> ranges;
    uint32_t first = 0;
    const uint32_t indexCount = GetSampleIndexCount(), triangles = GetTrianglesPerInstance();
    for (const GrassArea& area : m_Areas)
    {
        if (area.cameraDistance < maxDistance && (!planes || IsGrassBoxInFrustum(area.corners, planes)))
            ranges.push_back({indexCount * first, triangles * area.instanceCount});
        first += area.instanceCount;
    }
    return ranges;
}

float LeavesWindScale(float time, float changeFrequency, float minScale, float maxScale)
{
    const float t = time * changeFrequency;
    const float n = float(PerlinNoise3(t, t, t));
    return minScale + (maxScale - minScale) * n;
}
