// What the smoke renderer sends to the device: the four corners of every
// particle, their colour bytes, the index pattern, the capacity, and the
// shipped vertex shader's assembly.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>

#include "ParticleVertices.h"
#include "d3dx8shader.h"

namespace
{
std::unique_ptr<SmokeParticle> MakeParticle(float x, float size, float angle, float opacity, float grey)
{
    auto p = std::make_unique<SmokeParticle>();
    p->m_Position = D3DXVECTOR3(x, 2, 3);
    p->m_Size = size;
    p->m_Angle = angle;
    p->m_Opacity = opacity;
    p->m_Grey = grey;
    return p;
}

TEST(ParticleVertices, FourCornersTurnAroundTheCentre)
{
    std::list<std::unique_ptr<SmokeParticle>> particles;
    particles.push_back(MakeParticle(1, 2, 0, 1, 0.5f));
    particles.push_back(MakeParticle(7, 0, 0.3f, 0.2f, 1)); // size 0: a degenerate square
    std::vector<ParticleVertex> v;
    ASSERT_EQ(PackParticleVertices(particles, v), 2u);
    ASSERT_GE(v.size(), 8u);
    const float corners[4][4] = {{2, 0, 0, 0}, {0, 2, 1, 0}, {-2, 0, 1, 1}, {0, -2, 0, 1}};
    for (int k = 0; k < 4; ++k)
    {
        SCOPED_TRACE(k);
        EXPECT_EQ(v[k].x, 1);
        EXPECT_EQ(v[k].y, 2);
        EXPECT_EQ(v[k].z, 3);
        EXPECT_EQ(v[k].colour, 0xFF7F7F7Fu); // opacity 1, grey 0.5 truncated
        EXPECT_NEAR(v[k].dx, corners[k][0], 1e-5);
        EXPECT_NEAR(v[k].dy, corners[k][1], 1e-5);
        EXPECT_EQ(v[k].u, corners[k][2]);
        EXPECT_EQ(v[k].v, corners[k][3]);
        // The second particle follows in list order.
        EXPECT_EQ(v[4 + k].x, 7);
        EXPECT_EQ(v[4 + k].dx, 0);
        EXPECT_EQ(v[4 + k].dy, 0);
        EXPECT_EQ(v[4 + k].colour, 0x33FFFFFFu);
    }
}

TEST(ParticleVertices, ColourBytesClamp)
{
    const struct
    {
        float value;
        uint8_t byte;
    } cases[] = {{0, 0}, {0.5f, 127}, {1, 255}, {1.7f, 255}, {-0.3f, 0}, {NAN, 0}, {INFINITY, 255}};
    for (const auto& c : cases)
        EXPECT_EQ(ParticleColourByte(c.value), c.byte) << c.value;
    // A grey level above 1 is white, not its low 8 bits.
    EXPECT_EQ(ParticleColour(2.0f, 1.5f), 0xFFFFFFFFu);
}

TEST(ParticleVertices, NoMoreThanTheBuffersHold)
{
    std::list<std::unique_ptr<SmokeParticle>> particles;
    for (size_t i = 0; i < kParticleRendererCapacity + 5; ++i)
        particles.push_back(MakeParticle(float(i), 1, 0, 1, 1));
    std::vector<ParticleVertex> v;
    EXPECT_EQ(PackParticleVertices(particles, v), kParticleRendererCapacity);
    EXPECT_EQ(v[4 * kParticleRendererCapacity - 1].x, float(kParticleRendererCapacity - 1));
    EXPECT_LE(v.size() * sizeof(ParticleVertex), size_t(1.5 * kParticleVertexCount * sizeof(ParticleVertex)));
}

TEST(ParticleIndices, TwoTrianglesPerQuadWithinSixteenBits)
{
    std::vector<uint16_t> indices(kParticleIndexCount + 1, 0xABCD);
    FillParticleIndices(indices.data(), kParticleQuadsPerBatch);
    const uint16_t first[12] = {0, 1, 3, 1, 2, 3, 4, 5, 7, 5, 6, 7};
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(indices[i], first[i]) << i;
    const size_t last = 6 * (kParticleQuadsPerBatch - 1);
    EXPECT_EQ(indices[last], 65532);
    EXPECT_EQ(indices[last + 5], 65535); // the last vertex a 16-bit index reaches
    EXPECT_EQ(indices[kParticleIndexCount], 0xABCD); // nothing written beyond
    // The whole capacity fits in two batches of that many quads.
    EXPECT_GE(2 * kParticleQuadsPerBatch, kParticleRendererCapacity);
}

TEST(ParticleShader, ShippedShaderAssembles)
{
    std::ifstream in(TARNHOLM_PARTICLE_SHADER);
    std::stringstream text;
    text << in.rdbuf();
    ASSERT_FALSE(text.str().empty());
    LPD3DXBUFFER code = nullptr, errors = nullptr;
    ASSERT_EQ(D3DXAssembleShader(text.str().data(), UINT(text.str().size()), 0, nullptr, &code, &errors), S_OK)
        << (errors ? static_cast<const char*>(errors->GetBufferPointer()) : "");
    const DWORD* tokens = static_cast<const DWORD*>(code->GetBufferPointer());
    EXPECT_EQ(tokens[0], 0xFFFE0101u); // vs.1.1
    code->Release();
}
} // namespace
