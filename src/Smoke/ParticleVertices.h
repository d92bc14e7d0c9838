#pragma once
// What the smoke renderer sends to the device, made without it: every
// particle becomes four vertices that carry its centre and each corner's
// turn in view space, and two triangles over them. The vertex shader adds
// the turn after the view transform, so the square faces the camera.
#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <vector>

#include "Particles.h"

struct ParticleVertex
{
    float x, y, z;      // the particle's centre
    uint32_t colour;    // opacity in alpha, the grey level in red, green, blue
    float dx, dy;       // this corner's displacement in view space
    float u, v;         // this corner's texture coordinate
};
static_assert(sizeof(ParticleVertex) == 32, "the shader's stream has a stride of 32");

// The most particles one renderer draws: its vertex buffer holds 4 vertices
// for each.
const size_t kParticleRendererCapacity = kMaxSmokeParticles;
const size_t kParticleVertexCount = 4 * kParticleRendererCapacity;
// 16-bit indices reach 65536 vertices: the index buffer covers that many
// quads, and more particles are drawn in further batches from a later base
// vertex.
const size_t kParticleQuadsPerBatch = 65536 / 4;
const size_t kParticleIndexCount = 6 * kParticleQuadsPerBatch;

// A 0-to-1 value as a byte, truncated; out-of-range values (and NaN) clamp.
uint8_t ParticleColourByte(float value);
// Alpha from the opacity, red, green and blue from the grey level.
uint32_t ParticleColour(float opacity, float grey);

// Writes the four vertices of every particle, in list order, into
// `vertices` (grown when too small, never shrunk) and returns how many
// particles were written: at most kParticleRendererCapacity.
size_t PackParticleVertices(const std::list<std::unique_ptr<SmokeParticle>>& particles,
                            std::vector<ParticleVertex>& vertices);

// Quad q uses the vertices 4q to 4q+3 as the triangles (0, 1, 3) and
// (1, 2, 3); writes 6 x quads indices (quads at most kParticleQuadsPerBatch).
void FillParticleIndices(uint16_t* indices, size_t quads);
