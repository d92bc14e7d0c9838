#pragma once
// How a patch of grass is laid out: the generation values of one surface,
// how many copies of the sample the device can take, the rectangular areas
// the copies are scattered into (where the density map allows), the baked
// vertex and index arrays, and which areas a frame draws. Platform-free; the
// device buffers and the drawing live with the scene application.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "D3D8Types.h"
#include "GrassSurface.h"
#include "d3dx8math.h"

// The generation values of one surface, from the raw tuning values.
struct GrassGenerationValues
{
    int widthCells = 0, heightCells = 0, grassPerCell = 0;
    int widthSubAreas = 1, heightSubAreas = 1;
    int minHeight = 0;
    float totalScale = 0, maxScaleDelta = 0;
};

// The raw values in the order WidthCells, HeightCells, GrassPerCell,
// WidthSubAreas, HeightSubAreas, MinHeight, TotalScale, MaxScaleDelta:
// integers truncated (and kept within int), sub-areas at least 1, the min
// height within 0..255, the scales divided by 100, the total scale at least 0
// and the scale delta within 0..1.
GrassGenerationValues MakeGrassGenerationValues(const float raw[8]);

const char* const kGrassGenerationKeys[8] = {"WidthCells",     "HeightCells", "GrassPerCell", "WidthSubAreas",
                                             "HeightSubAreas", "MinHeight",   "TotalScale",   "MaxScaleDelta"};

// How many copies fit the device, and the index size that holds them.
struct GrassCapacity
{
    uint32_t count = 0;
    uint32_t indexSize = 2;
};

// 16-bit indices while they suffice; 32-bit when more are wanted and the
// device indexes beyond 65535; then the primitive limit. A sample without
// vertices or triangles gives no copies.
GrassCapacity ChooseGrassCapacity(uint64_t wanted, uint32_t sampleVertexCount, uint32_t trianglesPerInstance,
                                  uint32_t maxVertexIndex, uint32_t maxPrimitiveCount);

// A locked density map (level 0 of the height map texture), or none: then
// every value is 1.
struct GrassDensityMap
{
    const uint8_t* bits = nullptr;
    int pitch = 0, width = 0, height = 0;
    D3DFORMAT format = D3DFMT_A8R8G8B8;

    // The red channel (0..1) of the texel at (u, v), both within 0..1.
    float Value(float u, float v) const;
};

struct GrassInstance
{
    float x, y, z, scale;
};

// The eight corners of the box x0..x1, y0..y1, z0..z1 widened by `halfWidth`
// on each horizontal side and raised by `height` at the top.
void MakeGrassBox(float x0, float y0, float z0, float x1, float y1, float z1, float halfWidth, float height,
                  D3DXVECTOR3 corners[8]);
// True unless all corners lie on the outer side of one plane.
bool IsGrassBoxInFrustum(const D3DXVECTOR3 corners[8], const D3DXPLANE planes[6]);

struct GrassArea
{
    float x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    float lowestZ = 3.4028235e38f, highestZ = -3.4028235e38f;
    uint32_t instanceCount = 0;
    std::vector<GrassInstance> instances;
    D3DXVECTOR3 corners[8] = {};
    bool visible = true;
    float cameraDistance = 0;

    void AddInstance(float scale, const D3DXVECTOR3& p);
    // Distance from the centre of the rectangle and height range.
    void UpdateDistance(const D3DXVECTOR3& camera);
};

// One drawing call: indices from `startIndex`, `primitives` triangles.
struct GrassDrawRange
{
    uint32_t startIndex;
    uint32_t primitives;
};

class GrassLayout
{
public:
    // The sample: its vertices (position, normal, u, v: 32 bytes each), its
    // 16-bit indices, and its extent (the larger horizontal side and the
    // height) that widens the boxes.
    void SetSample(const std::vector<uint8_t>& vertices, uint32_t stride, uint32_t vertexCount,
                   const std::vector<uint16_t>& indices, float width, float height);

    // Areas over the grid's rectangle, ordered by column a, then row b.
    void MakeAreas(const HeightGrid& grid, int widthSubAreas, int heightSubAreas);
    // The first area holding the point (borders belong to the earlier one).
    GrassArea* FindArea(float x, float y);
    // The density under a ground point: folded into the map, true when not 0
    // and at least minHeight / 255.
    static bool SampleDensity(const HeightGrid& grid, const GrassDensityMap& map, int minHeight, const D3DXVECTOR3& p,
                              float* h);
    // Scatters up to `wanted` copies in at most 10 x wanted attempts (two
    // rand() draws per attempt, one per accepted copy); returns the count.
    uint32_t Place(const GrassSurface& surface, const GrassDensityMap& map, uint32_t wanted,
                   const GrassGenerationValues& values);
    // Drops areas without copies and boxes the others.
    void RemoveEmptyAreas();
    // Bakes every copy in area order (one rand() draw each for its turn):
    // 36-byte vertices (the sample's 32 and the copy's scale) moved by
    // -objectPosition, and indices of `indexSize` bytes. Returns the count.
    uint32_t WriteInstances(const D3DXVECTOR3& objectPosition, uint32_t indexSize, std::vector<uint8_t>& vertices,
                            std::vector<uint8_t>& indices) const;
    // Frees the per-copy records; the areas keep their counts.
    void FreeInstances();

    // The areas a frame draws: nearer than maxDistance (strictly) and, with
    // planes, inside the frustum; the copies of skipped areas still count.
    std::vector<GrassDrawRange> DrawRanges(float maxDistance, const D3DXPLANE* planes) const;
    void UpdateDistances(const D3DXVECTOR3& camera);

    std::vector<GrassArea>& Areas() { return m_Areas; }
    const std::vector<GrassArea>& Areas() const { return m_Areas; }
    uint32_t GetSampleVertexCount() const { return m_VertexCount; }
    uint32_t GetSampleIndexCount() const { return uint32_t(m_Indices.size()); }
    uint32_t GetTrianglesPerInstance() const { return uint32_t(m_Indices.size() / 3); }
    float GetSampleWidth() const { return m_Width; }
    float GetSampleHeight() const { return m_Height; }

    static const uint32_t kGrassStride = 36;

private:
    std::vector<GrassArea> m_Areas;
    std::vector<uint8_t> m_Vertices;
    std::vector<uint16_t> m_Indices;
    uint32_t m_Stride = 32, m_VertexCount = 0;
    float m_Width = 0, m_Height = 0;
};

// The wind factor of swaying branches at a time: min + (max - min) x the
// noise at (t, t, t), t = time x change frequency.
float LeavesWindScale(float time, float changeFrequency, float minScale, float maxScale);
