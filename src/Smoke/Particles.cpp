#include "Particles.h"

#include <algorithm>
#include <cmath>

#include "MathUtils.h"
#include "Object.h"
#include "TuningControl.h"

namespace
{
const float kTwoPi = 6.2831855f;

struct OptionField
{
    const char* key;
    float TParticleOptions::*field;
};

#define OPTION_FIELD(name) {"." #name, &TParticleOptions::name}
const OptionField kOptionFields[] = {
    OPTION_FIELD(ParticleLifeTimeFrom),          OPTION_FIELD(ParticleLifeTimeTo),
    OPTION_FIELD(ParticleStartTransparenceTime), OPTION_FIELD(ParticleEndTransparenceTime),
    OPTION_FIELD(ParticleMaxTransparence),       OPTION_FIELD(AirDragCoefficient),
    OPTION_FIELD(ParticleAppearTimeFrom),        OPTION_FIELD(ParticleAppearTimeTo),
    OPTION_FIELD(ParticleStartSizeFrom),         OPTION_FIELD(ParticleStartSizeTo),
    OPTION_FIELD(ParticleSizeSpeedFrom),         OPTION_FIELD(ParticleSizeSpeedTo),
    OPTION_FIELD(ParticleStartAngleFrom),        OPTION_FIELD(ParticleStartAngleTo),
    OPTION_FIELD(ParticleAngleSpeedFrom),        OPTION_FIELD(ParticleAngleSpeedTo),
    OPTION_FIELD(ParticleMoveSpeedFrom),         OPTION_FIELD(ParticleMoveSpeedTo),
    OPTION_FIELD(ParticleNoiseMoveStrength_x),   OPTION_FIELD(ParticleNoiseMoveStrength_y),
    OPTION_FIELD(ParticleNoiseMoveStrength_z),   OPTION_FIELD(ParticleNoiseMoveFrequency),
    OPTION_FIELD(ParticleNoiseMoveScale),        OPTION_FIELD(ParticleWindDirectionX),
    OPTION_FIELD(ParticleWindDirectionY),        OPTION_FIELD(ParticleWindDirectionZ),
    OPTION_FIELD(ParticleWindSpeed),             OPTION_FIELD(ParticleAcceleration),
    OPTION_FIELD(ParticleColorLow),              OPTION_FIELD(ParticleColorHi),
};
#undef OPTION_FIELD
static_assert(sizeof(kOptionFields) / sizeof(kOptionFields[0]) == 30, "every option is bound");

float Length(const D3DXVECTOR3& v)
{
    return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
}

// The unit vector of v; zero for a zero vector.
D3DXVECTOR3 Unit(const D3DXVECTOR3& v)
{
    const float length = Length(v);
    return length > 0 ? v * (1.0f / length) : D3DXVECTOR3(0, 0, 0);
}
} // namespace

void TParticleOptions::RegisterTuning(TuningControl::CManager& tuning, const std::string& prefix)
{
    for (const OptionField& f : kOptionFields)
    {
        float* target = &(this->*f.field);
        tuning.RegisterCallback(prefix + f.key, [target](float value) { *target = value; });
    }
}

// ---------------------------------------------------------------- particle

void SmokeParticle::Init(const TParticleOptions* options, const ParticleStart& start)
{
    m_pOptions = options;
    m_Position = start.position;
    m_Velocity = start.velocity;
    m_Size = start.startSize;
    m_SizeSpeed = start.sizeSpeed;
    m_Angle = start.startAngle;
    m_AngleSpeed = start.angleSpeed;
    m_Grey = start.grey;
    m_Age = 0;
    m_bDead = false;
    m_Opacity = 0;
    m_FadeIn = options->ParticleStartTransparenceTime;
    m_FadeOut = options->ParticleEndTransparenceTime;
    m_LifeTime = RandomRange(options->ParticleLifeTimeFrom, options->ParticleLifeTimeTo);
    m_NoisePhase = D3DXVECTOR3(0, 0, 0);
    m_NoiseHoldTime = 0.7f + RandomUnit() * 0.6f;
    m_WindSpeed = 0;
    ComputeNoiseForce();
}

void SmokeParticle::ComputeNoiseForce()
{
    const TParticleOptions& o = *m_pOptions;
    const float s = o.ParticleNoiseMoveScale, t = o.ParticleNoiseMoveFrequency * m_Age;
    const D3DXVECTOR3& p = m_Position;
    m_NoiseForce.x = float(PerlinNoise3(s * p.y, s * p.z, t + m_NoisePhase.x)) * o.ParticleNoiseMoveStrength_x;
    m_NoiseForce.y = float(PerlinNoise3(s * p.x, s * p.z, t + m_NoisePhase.y)) * o.ParticleNoiseMoveStrength_y;
    m_NoiseForce.z = float(PerlinNoise3(s * p.y, s * p.x, t + m_NoisePhase.z)) * o.ParticleNoiseMoveStrength_z;
}

void SmokeParticle::Update(float dt)
{
    const TParticleOptions& o = *m_pOptions;
    m_Age += dt;
    if (m_Age > m_LifeTime)
        m_bDead = true;

    float f = 1;
    if (m_Age < m_FadeIn)
        f = m_Age / m_FadeIn;
    else if (m_Age > m_LifeTime - m_FadeOut)
        f = m_FadeOut > 0 ? (m_LifeTime - m_Age) / m_FadeOut : 0;
    m_Opacity = o.ParticleMaxTransparence * f;

    m_Angle += dt * m_AngleSpeed;
    const float g = m_LifeTime > 0 ? 1 - m_Age / m_LifeTime : 0;
    m_Size += dt * m_SizeSpeed * g * g * g;

    if (m_Age > m_NoiseHoldTime)
        ComputeNoiseForce();

    const float v = Length(m_Velocity);
    const float drag = 0.5f * 1.4f * o.AirDragCoefficient * v * v;
    const float meanSpeed = (o.ParticleMoveSpeedFrom + o.ParticleMoveSpeedTo) * 0.5f;
    const float k = meanSpeed != 0 ? v / meanSpeed : 0;
    m_Velocity += dt * k * m_NoiseForce;
    const D3DXVECTOR3 u = Unit(m_Velocity);
    m_Position += dt * m_Velocity;
    m_Velocity -= dt * drag * u;
    m_Velocity.z -= dt * 2.0f;

    // The wind takes hold at the particle's acceleration; a calmer wind at once.
    m_WindSpeed = std::min(o.ParticleWindSpeed, m_WindSpeed + dt * o.ParticleAcceleration);
    const D3DXVECTOR3 wind = Unit(D3DXVECTOR3(o.ParticleWindDirectionX, o.ParticleWindDirectionY, o.ParticleWindDirectionZ));
    m_Position += dt * m_WindSpeed * wind;
}

// ---------------------------------------------------------------- emitter

float CObjectParticleEmitter::NextInterval() const
{
    const float interval = RandomRange(m_pOptions->ParticleAppearTimeFrom, m_pOptions->ParticleAppearTimeTo);
    // An interval of 0 or less (or NaN) would never let the count end.
    return interval > kMinAppearInterval ? interval : kMinAppearInterval;
}

int CObjectParticleEmitter::CountNewParticles(float dt)
{
    if (m_bDisabled || !m_pOptions)
        return 0;
    m_EmitTimeOffset = 0;
    if (!(m_PendingInterval >= kMinAppearInterval))
        m_PendingInterval = kMinAppearInterval;
    const float total = m_Accumulator + dt;
    if (!(m_PendingInterval < total))
    {
        m_Accumulator = total;
        return 0;
    }
    int count = 0;
    float accumulator = m_Accumulator;
    while (accumulator < total && count < kMaxNewParticlesPerFrame)
    {
        accumulator += m_PendingInterval;
        ++count;
        m_PendingInterval = NextInterval();
    }
    m_Accumulator = 0;
    return count;
}

D3DXVECTOR3 CObjectParticleEmitter::GetObjectPosition() const
{
    if (!m_pObject)
        return m_LastPosition;
    const D3DXMATRIX& w = m_pObject->GetWorldMatrix();
    return D3DXVECTOR3(w._41, w._42, w._43);
}

void CObjectParticleEmitter::TrackMovement()
{
    const D3DXVECTOR3 position = GetObjectPosition();
    if (position == m_LastPosition)
    {
        m_bMoved = false;
        return;
    }
    m_bMoved = true;
    const D3DXVECTOR3 back = m_LastPosition - position;
    m_MovementDistance = Length(back);
    m_MovementDirection = Unit(back);
}

ParticleStart CObjectParticleEmitter::MakeParticleStart(float dt)
{
    const TParticleOptions& o = *m_pOptions;
    ParticleStart start;
    start.emitTimeOffset = m_EmitTimeOffset;
    const float theta = RandomUnit() * kTwoPi;
    if (m_bMoved && dt > 0)
        start.position = GetObjectPosition() + (m_EmitTimeOffset / dt) * m_MovementDistance * m_MovementDirection;
    else
        start.position = m_LastPosition;
    m_EmitTimeOffset += RandomRange(o.ParticleAppearTimeFrom, o.ParticleAppearTimeTo);
    start.startSize = RandomRange(o.ParticleStartSizeFrom, o.ParticleStartSizeTo);
    start.sizeSpeed = RandomRange(o.ParticleSizeSpeedFrom, o.ParticleSizeSpeedTo);
    const float r1 = RandomUnit(), r2 = RandomUnit();
    const float s = RandomRange(o.ParticleMoveSpeedFrom, o.ParticleMoveSpeedTo);
    const float c = std::cos(theta);
    start.velocity = s * D3DXVECTOR3(m_Direction.x + r1 * m_DispersionRadius * c,
                                     m_Direction.y + r2 * m_DispersionRadius * c, m_Direction.z);
    start.startAngle = RandomRange(o.ParticleStartAngleFrom, o.ParticleStartAngleTo);
    start.angleSpeed = RandomRange(o.ParticleAngleSpeedFrom, o.ParticleAngleSpeedTo);
    start.grey = o.ParticleColorLow + (o.ParticleColorHi - o.ParticleColorLow) *
                                          float(PerlinNoise3(start.velocity.x * 0.3f, start.velocity.y * 0.3f,
                                                             m_NoiseTimer.GetTime()));
    return start;
}

void CObjectParticleEmitter::SetDisabled(bool disabled)
{
    if (m_bDisabled && !disabled)
        m_Accumulator = 0;
    m_bDisabled = disabled;
}

// ---------------------------------------------------------------- system

CSmokeParticleSystem::CSmokeParticleSystem()
{
    m_Emitter.m_pOptions = &m_Options;
}

void CSmokeParticleSystem::RegisterTuning(TuningControl::CManager& tuning, const std::string& prefix)
{
    m_Options.RegisterTuning(tuning, prefix);
    float* radius = &m_Emitter.m_DispersionRadius;
    tuning.RegisterCallback(prefix + ".EmitterDispersionRadius", [radius](float value) { *radius = value; });
}

void CSmokeParticleSystem::Update(float dt)
{
    m_Emitter.TrackMovement();
    for (auto it = m_Particles.begin(); it != m_Particles.end();)
    {
        (*it)->Update(dt);
        if ((*it)->m_bDead)
            it = m_Particles.erase(it);
        else
            ++it;
    }
    const int count = m_Emitter.CountNewParticles(dt);
    for (int i = 0; i < count; ++i)
    {
        const ParticleStart start = m_Emitter.MakeParticleStart(dt);
        if (m_Particles.size() >= kMaxSmokeParticles)
            continue; // the renderer's buffers hold no more
        auto particle = std::make_unique<SmokeParticle>();
        particle->Init(m_Emitter.m_pOptions, start);
        particle->Update(start.emitTimeOffset);
        if (!particle->m_bDead)
            m_Particles.push_back(std::move(particle));
    }
    m_Emitter.m_LastPosition = m_Emitter.GetObjectPosition();
}
