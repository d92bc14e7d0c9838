#pragma once
// The silhouette of one mesh for a light direction, in the mesh's object
// space: coincident vertices welded, edge and face adjacency built once,
// closed loops of the edges where exactly one adjacent face faces away from
// the light. The loops are re-derived only when the light has turned far
// enough.
#include <cstdint>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "d3dx8math.h"

struct TShadowVolumeParams
{
    D3DXVECTOR3 lightDisplacement{0, 0, 0};
    float minAngle = 4.14f;
    bool reinit = false;
    int minSilhouetteLength = 0;
};

class CSilhouetteBuilder
{
public:
    typedef std::pair<int, int> EdgeKey; // smaller vertex, larger vertex
    typedef std::vector<int> Loop;       // closed from the last back to the first

    CSilhouetteBuilder(const std::vector<D3DXVECTOR3>& positions, const std::vector<uint16_t>& indices);

    void Update(const TShadowVolumeParams& params);
    void Rebuild();

    const std::vector<Loop>& GetLoops() const { return m_Loops; }
    const std::map<EdgeKey, float>& GetEdgeAngles() const { return m_EdgeAngles; }
    const std::vector<D3DXVECTOR3>& GetPositions() const { return m_Positions; }
    int GetRepresentative(int vertex) const { return m_Representative[size_t(vertex)]; }
    bool IsValid() const { return m_bValid; }
    const D3DXVECTOR3& GetDirection() const { return m_Direction; }
    // Full rebuilds so far, and re-derivations of either kind.
    int GetRebuildCount() const { return m_RebuildCount; }
    int GetDerivationCount() const { return m_DerivationCount; }
    // For the current direction.
    bool IsSilhouetteEdge(const EdgeKey& key) const;

private:
    struct Face
    {
        int a = -1, b = -1, c = -1;
        bool IsSet() const { return a >= 0; }
        bool operator<(const Face& o) const { return a != o.a ? a < o.a : b != o.b ? b < o.b : c < o.c; }
    };
    struct EdgeFaces
    {
        Face slot1, slot2;
    };

    typedef std::vector<int> Piece; // an open run of oriented silhouette edges

    void Weld();
    void BuildEdges();
    void ComputeFaceNormals();
    void ComputeEdgeAngles();
    bool IsMarked(const Face& face) const;
    // The edge in the winding of its marked face.
    std::pair<int, int> Oriented(const EdgeKey& key, const EdgeFaces& faces) const;
    // Whether (u, v) is a silhouette edge taken in its oriented direction.
    bool IsOrientedSilhouette(int u, int v) const;
    void MarkVisited(int u, int v) { m_Visited.insert(u < v ? EdgeKey(u, v) : EdgeKey(v, u)); }
    bool IsVisited(int u, int v) const { return m_Visited.count(u < v ? EdgeKey(u, v) : EdgeKey(v, u)) != 0; }
    void MarkLoopsVisited();
    void MarkLoopVisited(const Loop& loop);
    void UpdateIncrementally(const TShadowVolumeParams& params);
    // Repairs one loop from its surviving runs; false when it cannot.
    bool CheckLoop(const Loop& loop, std::vector<Loop>& repaired);
    // Grows the pending piece at index forward; more pieces start where the
    // silhouette branches.
    void GrowPiece(size_t index);
    // Joins the pending pieces into closed loops; false when one is left open.
    bool ChainPieces(std::vector<Loop>& loops);
    void FindNewLoops(float minAngle);

    const std::vector<D3DXVECTOR3>& m_Positions;
    std::vector<int> m_Representative;
    std::vector<Face> m_Triangles;
    std::map<EdgeKey, EdgeFaces> m_Edges;
    std::map<Face, D3DXVECTOR3> m_FaceNormals;
    std::map<int, std::set<int>> m_Neighbours;
    std::map<EdgeKey, float> m_EdgeAngles;
    std::vector<Loop> m_Loops;
    std::set<EdgeKey> m_Visited;
    std::vector<Piece> m_Pending;
    bool m_bValid = false;
    int m_RebuildCount = 0, m_DerivationCount = 0;
    D3DXVECTOR3 m_Direction{0, 0, 0};
};
