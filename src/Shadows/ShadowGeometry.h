#pragma once
// The platform-free arithmetic of the train's shadows: shadow volumes
// extruded from silhouette loops, the room they need, and the matrix that
// projects the shadow texture onto its receivers.
#include <cstdint>
#include <vector>

#include "d3dx8math.h"

// Appends the volume of every loop: the loop's positions, then the same
// positions moved by the displacement, and two triangles per loop edge
// (next, cur, curX) and (nextX, next, curX).
void AppendShadowVolume(const std::vector<std::vector<int>>& loops, const std::vector<D3DXVECTOR3>& positions,
                        const D3DXVECTOR3& displacement, std::vector<D3DXVECTOR3>& vertices,
                        std::vector<uint32_t>& indices);

// Whether a volume fits the buffers made for it; checked before they are
// locked, so an oversized volume never writes past their ends.
bool ShadowVolumeFits(size_t vertexCount, size_t indexCount, size_t vertexCapacity, size_t indexCapacity);

// Camera space of the main view to the shadow texture's projective
// coordinates: inverse(main view) x shadow view x shadow projection x bias,
// the bias taking clip space to texture space (v pointing down).
D3DXMATRIX ShadowProjectionMatrix(const D3DXMATRIX& mainView, const D3DXMATRIX& shadowView,
                                  const D3DXMATRIX& shadowProjection);

// A tuning colour channel as a byte: 255 at 1 or more, 0 at 0 or less.
uint8_t ShadowColourByte(float value);
