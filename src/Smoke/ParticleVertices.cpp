#include "ParticleVertices.h"

#include <cmath>

namespace
{
const float kHalfPi = 1.5707964f;
const float kCornerUV[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
} // namespace

uint8_t ParticleColourByte(float value)
{
    const float scaled = value * 255.0f;
    if (!(scaled > 0))
        return 0;
    if (scaled >= 255.0f)
        return 255;
    return uint8_t(scaled);
}

uint32_t ParticleColour(float opacity, float grey)
{
    const uint32_t g = ParticleColourByte(grey);
    return uint32_t(ParticleColourByte(opacity)) << 24 | g << 16 | g << 8 | g;
}

size_t PackParticleVertices(const std::list<std::unique_ptr<SmokeParticle>>& particles,
                            std::vector<ParticleVertex>& vertices)
{
    size_t n = particles.size();
    if (n > kParticleRendererCapacity)
        n = kParticleRendererCapacity;
    if (vertices.size() < 4 * n)
        vertices.resize(4 * n + 2 * n); // room to grow by half again
    ParticleVertex* out = vertices.data();
    size_t written = 0;
    for (auto it = particles.begin(); written < n; ++it, ++written)
    {
        const SmokeParticle& p = **it;
        const uint32_t colour = ParticleColour(p.m_Opacity, p.m_Grey);
        float a = p.m_Angle;
        for (int k = 0; k < 4; ++k, ++out, a += kHalfPi)
        {
            out->x = p.m_Position.x;
            out->y = p.m_Position.y;
            out->z = p.m_Position.z;
            out->colour = colour;
            out->dx = p.m_Size * std::cos(a);
            out->dy = p.m_Size * std::sin(a);
            out->u = kCornerUV[k][0];
            out->v = kCornerUV[k][1];
        }
    }
    return n;
}

void FillParticleIndices(uint16_t* indices, size_t quads)
{
    static const uint16_t kPattern[6] = {0, 1, 3, 1, 2, 3};
    for (size_t q = 0; q < quads; ++q)
        for (int i = 0; i < 6; ++i)
            *indices++ = uint16_t(4 * q + kPattern[i]);
}
