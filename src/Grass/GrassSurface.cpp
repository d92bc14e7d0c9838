#include "GrassSurface.h"

#include <cmath>
#include <cstring>

#include "Log.h"

void HeightGrid::Init(float originX, float originY, float sizeX, float sizeY, int nodeColumns, int nodeRows)
{
    m_Nodes.clear();
    m_OriginX = originX;
    m_OriginY = originY;
    m_SizeX = sizeX;
    m_SizeY = sizeY;
    m_Rows = nodeRows - 1;
    m_Columns = nodeColumns - 1;
    m_CellHeight = m_Rows > 0 ? sizeY / m_Rows : 0;
    m_CellWidth = m_Columns > 0 ? sizeX / m_Columns : 0;
    m_Lowest = 3.4028235e38f;
    m_Highest = -3.4028235e38f;
    if (m_Rows > 0 && m_Columns > 0)
    {
        m_Nodes.resize(size_t(nodeRows));
        for (auto& row : m_Nodes)
            row.resize(size_t(nodeColumns));
    }
}

void HeightGrid::SetNode(int row, int column, float height)
{
    if (row < 0 || column < 0 || size_t(row) >= m_Nodes.size() || size_t(column) >= m_Nodes[size_t(row)].size())
        return;
    m_Nodes[size_t(row)][size_t(column)].reset(
        new Node{m_OriginX + column * m_CellWidth, m_OriginY + row * m_CellHeight, height});
    m_Lowest = std::min(m_Lowest, height);
    m_Highest = std::max(m_Highest, height);
}

const HeightGrid::Node* HeightGrid::GetNode(int row, int column) const
{
    if (row < 0 || column < 0 || size_t(row) >= m_Nodes.size() || size_t(column) >= m_Nodes[size_t(row)].size())
        return nullptr;
    return m_Nodes[size_t(row)][size_t(column)].get();
}

bool GrassSurface::Generate(const SurfaceSource* surface, int rows, int columns)
{
    if (!surface)
    {
        g_Log.Printf("Error while generating surface. Object to generate surface does not exist.\n");
        return false;
    }
    rows = std::max(1, std::min(rows, kMaxGrassGridCells));
    columns = std::max(1, std::min(columns, kMaxGrassGridCells));
    const D3DXVECTOR3& lo = surface->boxMin;
    const D3DXVECTOR3& hi = surface->boxMax;
    m_Grid.Init(lo.x, lo.y, hi.x - lo.x, hi.y - lo.y, columns + 1, rows + 1);
    const D3DXVECTOR3 down(0, 0, -1);
    for (int i = 0; i <= rows; ++i)
        for (int j = 0; j <= columns; ++j)
        {
            const D3DXVECTOR3 origin(lo.x + j * m_Grid.GetCellWidth(), lo.y + i * m_Grid.GetCellHeight(), hi.z + 1);
            D3DXVECTOR3 hit;
            if (surface->intersectRay && surface->intersectRay(origin, down, &hit))
                m_Grid.SetNode(i, j, hit.z);
        }
    m_bGenerated = true;
    return true;
}

namespace
{
const size_t kHeaderSize = 32;
const size_t kRecordSize = 20;

float ReadFloat(const uint8_t* p)
{
    float v;
    memcpy(&v, p, sizeof(v));
    return v;
}

int32_t ReadInt(const uint8_t* p)
{
    int32_t v;
    memcpy(&v, p, sizeof(v));
    return v;
}
} // namespace

bool GrassSurface::LoadFromBytes(const uint8_t* data, size_t size)
{
    if (!data || size < kHeaderSize)
        return false;
    const float sizeX = ReadFloat(data), sizeY = ReadFloat(data + 4);
    const float originX = ReadFloat(data + 16), originY = ReadFloat(data + 20);
    const int32_t columns = ReadInt(data + 24), rows = ReadInt(data + 28);
    // The header is checked against itself and the file: a grid of
    // reasonable size over a finite area, and no more records than nodes.
    const bool finite = std::isfinite(sizeX) && std::isfinite(sizeY) && std::isfinite(originX) &&
                        std::isfinite(originY);
    if (!finite || sizeX <= 0 || sizeY <= 0 || columns < 1 || rows < 1 || columns > kMaxGrassGridCells ||
        rows > kMaxGrassGridCells)
    {
        g_Log.Printf("Grass grid file refused: %i x %i cells over %g x %g\n", int(rows), int(columns), sizeX, sizeY);
        return false;
    }
    const size_t records = (size - kHeaderSize) / kRecordSize;
    if (records > size_t(rows + 1) * size_t(columns + 1))
    {
        g_Log.Printf("Grass grid file refused: %u records for %i x %i nodes\n", unsigned(records), int(rows + 1),
                     int(columns + 1));
        return false;
    }
    m_Grid.Init(originX, originY, sizeX, sizeY, columns + 1, rows + 1);
    for (size_t r = 0; r < records; ++r)
    {
        const uint8_t* record = data + kHeaderSize + r * kRecordSize;
        const float z = ReadFloat(record + 16);
        if (std::isfinite(z))
            m_Grid.SetNode(ReadInt(record), ReadInt(record + 4), z);
    }
    m_bGenerated = true;
    return true;
}

bool GrassSurface::GetSurfacePoint(float x, float y, D3DXVECTOR3& point) const
{
    if (!m_bGenerated)
        return true;
    const float cw = m_Grid.GetCellWidth(), ch = m_Grid.GetCellHeight();
    if (!(cw > 0) || !(ch > 0))
        return false;
    const float fi = (y - m_Grid.GetOriginY()) / ch, fj = (x - m_Grid.GetOriginX()) / cw;
    if (!(std::fabs(fi) < 1e9f) || !(std::fabs(fj) < 1e9f))
        return false;
    const int i = int(fi), j = int(fj);
    const HeightGrid::Node* a = m_Grid.GetNode(i, j);
    const HeightGrid::Node* b = m_Grid.GetNode(i, j + 1);
    const HeightGrid::Node* c = m_Grid.GetNode(i + 1, j + 1);
    const HeightGrid::Node* d = m_Grid.GetNode(i + 1, j);
    if (!a || !b || !c || !d)
        return false;
    const HeightGrid::Node* base;
    D3DXVECTOR3 e1, e2;
    if ((cw / ch) * std::fabs(a->y - y) > std::fabs(a->x - x))
    {
        base = d;
        e1 = D3DXVECTOR3(a->x - d->x, a->y - d->y, a->z - d->z);
        e2 = D3DXVECTOR3(c->x - d->x, c->y - d->y, c->z - d->z);
    }
    else
    {
        base = b;
        e1 = D3DXVECTOR3(a->x - b->x, a->y - b->y, a->z - b->z);
        e2 = D3DXVECTOR3(c->x - b->x, c->y - b->y, c->z - b->z);
    }
    D3DXVECTOR3 n;
    D3DXVec3Cross(&n, &e1, &e2);
    D3DXVec3Normalize(&n, &n);
    if (n.z == 0)
        return false;
    point = D3DXVECTOR3(x, y, base->z - (n.x * (x - base->x) + n.y * (y - base->y)) / n.z);
    return true;
}
