#pragma once
// Position-smoothed normals: every vertex whose position falls into the same
// quarter-unit cell gets the normalised sum of the face normals of the
// triangles touching that cell. Vertices are raw bytes of `stride` with the
// position in bytes 0-11 and the normal in bytes 12-23. Platform-free.
#include <array>
#include <cstdint>
#include <vector>

#include "d3dx8math.h"

// The cell of a position: each coordinate times 4, truncated toward zero.
std::array<int, 3> NormalCell(const D3DXVECTOR3& position);

// A copy of the first `count` vertices with smoothed normals. Triangles that
// name a vertex beyond `count` are ignored.
std::vector<uint8_t> SmoothNormalsByCell(const std::vector<uint8_t>& vertices, uint32_t stride, uint32_t count,
                                         const std::vector<uint16_t>& indices);
