#pragma once
// Inside the D3DX layer: the platform-free work of the mesh helpers on plain
// arrays of positions and indices.
#include "d3dx8math.h"

#include <vector>

namespace d3dx
{

constexpr DWORD kNoNeighbour = 0xFFFFFFFF;

// Three entries per face: the face across edge (v0, v1), (v1, v2) and
// (v2, v0), or kNoNeighbour. Vertices whose positions differ by at most
// epsilon in every coordinate are one point. Each edge pairs with at most
// one other face, preferring one that runs it the other way.
std::vector<DWORD> GenerateAdjacency(const std::vector<D3DXVECTOR3>& positions, const std::vector<DWORD>& indices,
                                     float epsilon);

// Face order for a post-transform vertex cache (faces grouped by attribute
// first, in attribute order): the old face of each new face.
std::vector<DWORD> VertexCacheFaceOrder(const std::vector<DWORD>& indices, const std::vector<DWORD>& attributes,
                                        size_t vertexCount);

// The old vertex of each new vertex, in the order the faces first use them;
// unused vertices keep their relative order at the end.
std::vector<DWORD> VertexOrderOfFirstUse(const std::vector<DWORD>& indices, size_t vertexCount);

// Misses of a first-in first-out vertex cache of that size over the faces.
size_t CountCacheMisses(const std::vector<DWORD>& indices, size_t cacheSize);

} // namespace d3dx
