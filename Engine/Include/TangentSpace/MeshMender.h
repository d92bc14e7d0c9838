#pragma once
// Tangent-frame generator for indexed triangle lists. Every triangle gets a
// tangent and binormal from its texture mapping; at each vertex position the
// triangles meeting there are gathered into edge-connected smoothing groups
// whose vectors are close enough, each group gets the normalised sum of its
// triangles' vectors, and a vertex shared by several groups is split into
// one copy per group. A last pass makes tangent and binormal orthogonal to
// the vertex normal. Platform-free.
#include <cstdint>
#include <map>
#include <vector>

#include "d3dx8math.h"

struct MeshMenderVertex
{
    D3DXVECTOR3 pos = D3DXVECTOR3(0, 0, 0);
    D3DXVECTOR3 normal = D3DXVECTOR3(0, 0, 1); // read, never changed
    float s = 0, t = 0;                         // texture coordinates the frame follows
    D3DXVECTOR3 tangent = D3DXVECTOR3(0, 0, 0);
    D3DXVECTOR3 binormal = D3DXVECTOR3(0, 0, 0);
};

struct MeshMenderTriangle
{
    uint32_t indices[3] = {0, 0, 0};
    D3DXVECTOR3 normal = D3DXVECTOR3(0, 0, 0); // only normal smoothing reads it
    D3DXVECTOR3 tangent = D3DXVECTOR3(0, 0, 0);
    D3DXVECTOR3 binormal = D3DXVECTOR3(0, 0, 0);
    bool handled = false;
    int32_t group = -1;
    uint32_t id = 0;
};

// Byte offsets of the normal and of texture-coordinate set `set` within a
// vertex of the Direct3D vertex format `fvf`. False when the format has no
// plain position, no normal, or no set `set` of at least two floats: the
// generator cannot take its frame from such vertices.
bool MenderSourceOffsets(uint32_t fvf, uint32_t set, uint32_t* normalOffset, uint32_t* texOffset);

// Whether a mend's result can replace a mesh drawn with 16-bit indices: at
// least one and at most 65535 vertices, each mapped to one of the
// `inputCount` input vertices, whole triangles naming only those vertices.
bool MendFitsIndex16(const std::vector<uint32_t>& mapping, const std::vector<uint32_t>& indices,
                     uint32_t inputCount);

class MeshMender
{
public:
    // Decides whether two triangles may share one smoothed vector: the
    // cosine of the angle between their (normalised) vectors is at least
    // the threshold, or both vectors are exactly zero.
    class CanSmoothChecker
    {
    public:
        virtual ~CanSmoothChecker() = default;
        virtual bool Check(const MeshMenderTriangle& a, const MeshMenderTriangle& b, float threshold) const;

    protected:
        virtual const D3DXVECTOR3& Vector(const MeshMenderTriangle& t) const = 0;
    };
    // The checkers of the three kinds of vector: each compares the two
    // triangles' normals, tangents or binormals.
    class CanSmoothNormalsChecker : public CanSmoothChecker
    {
    protected:
        const D3DXVECTOR3& Vector(const MeshMenderTriangle& t) const override { return t.normal; }
    };
    class CanSmoothTangentsChecker : public CanSmoothChecker
    {
    protected:
        const D3DXVECTOR3& Vector(const MeshMenderTriangle& t) const override { return t.tangent; }
    };
    class CanSmoothBinormalsChecker : public CanSmoothChecker
    {
    protected:
        const D3DXVECTOR3& Vector(const MeshMenderTriangle& t) const override { return t.binormal; }
    };

    // Rewrites `indices` in place (same length and order), grows `vertices`
    // by the copies it splits off and fills `mapping` with the input vertex
    // each output vertex came from. The thresholds are cosines. False, with
    // nothing changed, when the index list is not whole triangles or names a
    // vertex that does not exist.
    bool Run(std::vector<MeshMenderVertex>& vertices, std::vector<uint32_t>& indices,
             std::vector<uint32_t>& mapping, float normalThreshold = 0.3f, float tangentThreshold = 0.0f,
             float binormalThreshold = 0.0f, float areaWeight = 0.0f);

    // Smooths the triangles' normals the same way; the system does not run
    // it, and it needs the triangles' normals filled first.
    void SmoothNormals(std::vector<MeshMenderVertex>& vertices, std::vector<uint32_t>& mapping);

    // Texture wrap repair: where an edge's two s (or t) values both lie in
    // [0, 1] and differ by more than 0.5, the smaller corner gets a copy of
    // its vertex with the value plus 1, so the edge no longer runs the long
    // way across the texture. Copies are appended and `mapping` extended as
    // in splitting. The system does not run it.
    void FixTextureWrap(std::vector<MeshMenderVertex>& vertices, std::vector<uint32_t>& indices,
                        std::vector<uint32_t>& mapping);

    // Compares edges by vertex index instead of by position. Every Run
    // resets it.
    void SetAdjacencyByIndex(bool on) { m_bAdjacencyByIndex = on; }

private:
    enum Kind
    {
        KIND_NORMAL,
        KIND_TANGENT,
        KIND_BINORMAL
    };
    struct PositionLess
    {
        bool operator()(const D3DXVECTOR3& a, const D3DXVECTOR3& b) const;
    };
    typedef std::map<D3DXVECTOR3, std::vector<uint32_t>, PositionLess> PositionMap;

    void BuildTriangles(const std::vector<MeshMenderVertex>& vertices, const std::vector<uint32_t>& indices,
                        std::vector<uint32_t>& mapping);
    void Smooth(Kind kind, std::vector<MeshMenderVertex>& vertices, std::vector<uint32_t>& mapping);
    void SmoothAt(Kind kind, const D3DXVECTOR3& position, const std::vector<uint32_t>& triangles,
                  std::vector<MeshMenderVertex>& vertices, std::vector<uint32_t>& mapping);
    void GrowGroup(uint32_t start, Kind kind, const std::vector<uint32_t>& triangles,
                   std::vector<std::vector<uint32_t>>& groups);
    bool SharesEdge(const MeshMenderTriangle& a, const MeshMenderTriangle& b,
                    const std::vector<MeshMenderVertex>& vertices) const;
    static void Orthogonalize(MeshMenderVertex& v);

    float m_NormalThreshold = 0.3f;
    float m_TangentThreshold = 0.0f;
    float m_BinormalThreshold = 0.0f;
    float m_AreaWeight = 0.0f;
    bool m_bAdjacencyByIndex = false;
    std::vector<MeshMenderTriangle> m_Triangles;
    PositionMap m_PositionMap;
    uint32_t m_InputVertexCount = 0;
    const std::vector<MeshMenderVertex>* m_pVertices = nullptr; // during a run
};
