#pragma once
// The ground under the grass: a regular grid of heights sampled once over a
// surface mesh (or read from a grid file), asked for the ground point under
// any horizontal position. Z is up.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "d3dx8math.h"

class HeightGrid
{
public:
    struct Node
    {
        float x, y, z;
    };

    // node columns x node rows slots; rows = node rows - 1 cells along Y,
    // columns = node columns - 1 along X.
    void Init(float originX, float originY, float sizeX, float sizeY, int nodeColumns, int nodeRows);
    // Ignored outside the slots.
    void SetNode(int row, int column, float height);
    const Node* GetNode(int row, int column) const;

    float GetSizeX() const { return m_SizeX; }
    float GetSizeY() const { return m_SizeY; }
    float GetCellWidth() const { return m_CellWidth; }
    float GetCellHeight() const { return m_CellHeight; }
    float GetOriginX() const { return m_OriginX; }
    float GetOriginY() const { return m_OriginY; }
    int GetRows() const { return m_Rows; }
    int GetColumns() const { return m_Columns; }
    float GetLowestHeight() const { return m_Lowest; }
    float GetHighestHeight() const { return m_Highest; }

private:
    std::vector<std::vector<std::unique_ptr<Node>>> m_Nodes;
    float m_SizeX = 0, m_SizeY = 0;
    float m_CellHeight = 0, m_CellWidth = 0;
    float m_OriginX = 0, m_OriginY = 0;
    int m_Rows = 0, m_Columns = 0;
    float m_Lowest = 3.4028235e38f;
    float m_Highest = -3.4028235e38f;
};

// What a grid is generated from: the surface's world bounding box and the
// nearest hit of a ray against it.
struct SurfaceSource
{
    D3DXVECTOR3 boxMin, boxMax;
    std::function<bool(const D3DXVECTOR3& origin, const D3DXVECTOR3& direction, D3DXVECTOR3* hit)> intersectRay;
};

class GrassSurface
{
public:
    // Casts (rows + 1) x (columns + 1) vertical rays; false for no surface.
    bool Generate(const SurfaceSource* surface, int rows, int columns);
    // A grid file: a 32-byte header, then 20-byte node records. A file whose
    // header disagrees with its size or holds no usable grid is refused.
    bool LoadFromBytes(const uint8_t* data, size_t size);
    // The ground point under (x, y); true and `point` untouched while nothing
    // is generated; false over holes and outside the grid.
    bool GetSurfacePoint(float x, float y, D3DXVECTOR3& point) const;
    const HeightGrid::Node* GetNode(int row, int column) const { return m_Grid.GetNode(row, column); }

    bool IsGenerated() const { return m_bGenerated; }
    const HeightGrid& GetGrid() const { return m_Grid; }
    float GetFarX() const { return m_Grid.GetOriginX() + m_Grid.GetSizeX(); }
    float GetFarY() const { return m_Grid.GetOriginY() + m_Grid.GetSizeY(); }
    float GetLowestHeight() const { return m_bGenerated ? m_Grid.GetLowestHeight() : 0; }
    float GetHighestHeight() const { return m_bGenerated ? m_Grid.GetHighestHeight() : 0; }

private:
    bool m_bGenerated = false;
    HeightGrid m_Grid;
};

// The most cells a grid may have along one side.
const int kMaxGrassGridCells = 1024;
