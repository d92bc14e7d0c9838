// Smoke particles: how many start in a frame, where they start, how they
// fade, move and die; tuning binds every option.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "Object.h"
#include "Particles.h"
#include "TuningControl.h"

namespace
{
CObjectParticleEmitter MakeEmitter(TParticleOptions& options, float from, float to)
{
    options.ParticleAppearTimeFrom = from;
    options.ParticleAppearTimeTo = to;
    CObjectParticleEmitter emitter;
    emitter.m_pOptions = &options;
    emitter.m_PendingInterval = from;
    return emitter;
}

TEST(Emitter, ShortFramesAccumulateLongOnesStartWhatFits)
{
    TParticleOptions options;
    CObjectParticleEmitter emitter = MakeEmitter(options, 0.01f, 0.01f);
    EXPECT_EQ(emitter.CountNewParticles(0.004f), 0);
    EXPECT_EQ(emitter.CountNewParticles(0.004f), 0);
    EXPECT_NEAR(emitter.m_Accumulator, 0.008f, 1e-6);
    EXPECT_EQ(emitter.CountNewParticles(0.004f), 1); // 0.012 holds one interval
    EXPECT_EQ(emitter.m_Accumulator, 0);             // the remainder is dropped
    EXPECT_EQ(emitter.CountNewParticles(0.095f), 10);
    emitter.SetDisabled(true);
    EXPECT_EQ(emitter.CountNewParticles(1.0f), 0);
}

TEST(Emitter, IntervalsOfZeroOrLessStillEnd)
{
    const float bad[][2] = {{0, 0}, {-1, -0.5f}, {NAN, NAN}};
    for (const auto& b : bad)
    {
        TParticleOptions options;
        CObjectParticleEmitter emitter = MakeEmitter(options, b[0], b[1]);
        const int count = emitter.CountNewParticles(10.0f);
        EXPECT_GT(count, 0);
        EXPECT_LE(count, kMaxNewParticlesPerFrame);
    }
}

TEST(Emitter, StandingEmitterStartsAtTheObjectAMovingOneAlongItsPath)
{
    TParticleOptions options;
    CObjectParticleEmitter emitter = MakeEmitter(options, 0.01f, 0.01f);
    Object chimney("Dummy_smoke");
    D3DXMATRIX m;
    D3DXMatrixTranslation(&m, 10, 20, 30);
    chimney.SetWorldMatrix(m);
    emitter.m_pObject = &chimney;
    emitter.m_LastPosition = D3DXVECTOR3(10, 20, 30);
    emitter.TrackMovement();
    EXPECT_FALSE(emitter.m_bMoved);
    EXPECT_EQ(emitter.MakeParticleStart(0.1f).position, D3DXVECTOR3(10, 20, 30));

    D3DXMatrixTranslation(&m, 20, 20, 30); // moved 10 along +x in the frame
    chimney.SetWorldMatrix(m);
    emitter.TrackMovement();
    ASSERT_TRUE(emitter.m_bMoved);
    emitter.m_EmitTimeOffset = 0;
    EXPECT_FLOAT_EQ(emitter.MakeParticleStart(0.1f).position.x, 20); // the newest at the object
    EXPECT_FLOAT_EQ(emitter.MakeParticleStart(0.1f).position.x, 19); // 0.01 s earlier: 1 back
    EXPECT_FLOAT_EQ(emitter.MakeParticleStart(0.1f).position.x, 18);
}

TEST(Emitter, NegativeSpeedsReverseTheStart)
{
    TParticleOptions options;
    options.ParticleMoveSpeedFrom = -190;
    options.ParticleMoveSpeedTo = -160;
    CObjectParticleEmitter emitter = MakeEmitter(options, 0.01f, 0.01f);
    emitter.m_Direction = D3DXVECTOR3(1, 0, 0);
    const ParticleStart start = emitter.MakeParticleStart(0.1f);
    EXPECT_LE(start.velocity.x, -160);
    EXPECT_GE(start.velocity.x, -190);
}

ParticleStart RestingStart()
{
    ParticleStart start{};
    start.startSize = 1;
    return start;
}

TEST(Particle, FadesInAndOutAndDies)
{
    TParticleOptions options;
    options.ParticleLifeTimeFrom = options.ParticleLifeTimeTo = 2;
    options.ParticleMaxTransparence = 0.8f;
    SmokeParticle p;
    p.Init(&options, RestingStart());
    p.Update(0.25f);
    EXPECT_NEAR(p.m_Opacity, 0.4f, 1e-5); // half-way through the fade-in
    p.Update(0.75f);
    EXPECT_NEAR(p.m_Opacity, 0.8f, 1e-5);
    p.Update(0.75f);
    EXPECT_NEAR(p.m_Opacity, 0.4f, 1e-5); // 0.25 s before the end of 0.5 s fade-out
    EXPECT_FALSE(p.m_bDead);
    p.Update(0.3f);
    EXPECT_TRUE(p.m_bDead);
}

TEST(Particle, FadeOutWinsWhenTheFadesOverlap)
{
    TParticleOptions options;
    options.ParticleLifeTimeFrom = options.ParticleLifeTimeTo = 1;
    options.ParticleStartTransparenceTime = 0.8f;
    options.ParticleEndTransparenceTime = 0.8f;
    SmokeParticle p;
    p.Init(&options, RestingStart());
    p.Update(0.1f);
    EXPECT_NEAR(p.m_Opacity, 0.125f, 1e-5); // fade-in while age < fade-in
    p.Update(0.8f);
    EXPECT_NEAR(p.m_Opacity, 0.1f / 0.8f, 1e-5); // age 0.9: the fade-out rule
}

TEST(Particle, RestingParticleSinksWithoutNaN)
{
    TParticleOptions options;
    options.ParticleMoveSpeedFrom = options.ParticleMoveSpeedTo = 0; // mean speed 0
    options.ParticleNoiseMoveStrength_z = 5;
    SmokeParticle p;
    p.Init(&options, RestingStart());
    for (int i = 0; i < 10; ++i)
        p.Update(0.1f);
    EXPECT_TRUE(std::isfinite(p.m_Position.x) && std::isfinite(p.m_Position.z));
    EXPECT_LT(p.m_Velocity.z, 0); // 2 units/s² downwards
}

TEST(Particle, WindTakesHoldAtItsAcceleration)
{
    TParticleOptions options;
    options.ParticleLifeTimeFrom = options.ParticleLifeTimeTo = 100;
    options.ParticleWindDirectionX = 2;
    options.ParticleWindSpeed = 10;
    options.ParticleAcceleration = 4;
    SmokeParticle p;
    p.Init(&options, RestingStart());
    p.Update(1);
    EXPECT_FLOAT_EQ(p.m_WindSpeed, 4);
    EXPECT_FLOAT_EQ(p.m_Position.x, 4);
    p.Update(5);
    EXPECT_FLOAT_EQ(p.m_WindSpeed, 10);
    options.ParticleWindSpeed = 1; // a calmer wind at once
    p.Update(0.1f);
    EXPECT_FLOAT_EQ(p.m_WindSpeed, 1);
}

TEST(System, PreAdvancedPastItsLifeIsNeverKept)
{
    CSmokeParticleSystem system;
    TParticleOptions& o = system.GetOptions();
    o.ParticleLifeTimeFrom = o.ParticleLifeTimeTo = 0.05f;
    o.ParticleAppearTimeFrom = o.ParticleAppearTimeTo = 0.02f;
    Object source;
    system.GetEmitter().m_pObject = &source;
    system.Update(1.0f); // 50 intervals; the early ones are older than their life
    const size_t kept = system.GetParticles().size();
    EXPECT_GT(kept, 0u);
    EXPECT_LE(kept, 3u);
    for (const auto& p : system.GetParticles())
        EXPECT_LE(p->m_Age, 0.05f);
}

TEST(System, NeverKeepsMoreThanTheRendererHolds)
{
    CSmokeParticleSystem system;
    TParticleOptions& o = system.GetOptions();
    o.ParticleLifeTimeFrom = o.ParticleLifeTimeTo = 1000;
    o.ParticleAppearTimeFrom = o.ParticleAppearTimeTo = 0; // as many as the frame allows
    Object source;
    system.GetEmitter().m_pObject = &source;
    for (int frame = 0; frame < 12; ++frame)
    {
        system.Update(1.0f); // a long frame: the most per frame start
        EXPECT_LE(system.GetParticles().size(), kMaxSmokeParticles);
    }
    EXPECT_EQ(system.GetParticles().size(), kMaxSmokeParticles);
}

TEST(System, TuningBindsEveryOption)
{
    TuningControl::CManager tuning;
    std::string text;
    const char* keys[] = {"ParticleLifeTimeFrom", "ParticleColorHi", "ParticleWindSpeed", "EmitterDispersionRadius"};
    for (const char* key : keys)
        text += std::string("Smoke.Chimney.") + key + " 7\r\n";
    ASSERT_TRUE(tuning.LoadFromText(text.data(), text.size()));
    CSmokeParticleSystem system;
    system.RegisterTuning(tuning, "Smoke.Chimney");
    EXPECT_EQ(system.GetOptions().ParticleLifeTimeFrom, 7);
    EXPECT_EQ(system.GetOptions().ParticleColorHi, 7);
    EXPECT_EQ(system.GetOptions().ParticleWindSpeed, 7);
    EXPECT_EQ(system.GetEmitter().m_DispersionRadius, 7);
}
} // namespace
