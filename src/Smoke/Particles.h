#pragma once
// Smoke and steam particles: the options of one kind of smoke (bound to
// tuning values), the emitter that sits on a scene object, the particle's
// motion law and the system that ties them to a clock. The renderer draws
// the system's particles in the order of their creation.
#include <list>
#include <memory>
#include <string>

#include "Timer.h"
#include "d3dx8math.h"

class Object;
namespace TuningControl
{
class CManager;
}

struct TParticleOptions
{
    float ParticleLifeTimeFrom = 2.0f;
    float ParticleLifeTimeTo = 2.0f;
    float ParticleStartTransparenceTime = 0.5f;
    float ParticleEndTransparenceTime = 0.5f;
    float ParticleMaxTransparence = 1.0f;
    float AirDragCoefficient = 0.3f;
    float ParticleAppearTimeFrom = 0.01f;
    float ParticleAppearTimeTo = 0.02f;
    float ParticleStartSizeFrom = 0.5f;
    float ParticleStartSizeTo = 1.0f;
    float ParticleSizeSpeedFrom = 0;
    float ParticleSizeSpeedTo = 0.5f;
    float ParticleStartAngleFrom = 0;
    float ParticleStartAngleTo = 6.2831855f;
    float ParticleAngleSpeedFrom = -2.0f;
    float ParticleAngleSpeedTo = 2.0f;
    float ParticleMoveSpeedFrom = 2.0f;
    float ParticleMoveSpeedTo = 5.0f;
    float ParticleNoiseMoveStrength_x = 0;
    float ParticleNoiseMoveStrength_y = 0;
    float ParticleNoiseMoveStrength_z = 0;
    float ParticleNoiseMoveFrequency = 0;
    float ParticleNoiseMoveScale = 0;
    float ParticleWindDirectionX = 0;
    float ParticleWindDirectionY = 0;
    float ParticleWindDirectionZ = 0;
    float ParticleWindSpeed = 0;
    float ParticleAcceleration = 0;
    float ParticleColorLow = 0;
    float ParticleColorHi = 1.0f;

    // Binds every field to prefix + "." + its name.
    void RegisterTuning(TuningControl::CManager& tuning, const std::string& prefix);
};

struct ParticleStart
{
    D3DXVECTOR3 velocity;
    D3DXVECTOR3 position;
    float startSize;
    float sizeSpeed;
    float startAngle;
    float angleSpeed;
    float grey;
    float emitTimeOffset;
};

class SmokeParticle
{
public:
    void Init(const TParticleOptions* options, const ParticleStart& start);
    void Update(float dt);

    bool m_bDead = false;
    D3DXVECTOR3 m_Position{0, 0, 0};
    float m_Size = 0;
    D3DXVECTOR3 m_Velocity{0, 0, 0};
    float m_Age = 0;
    float m_Opacity = 0;
    float m_FadeIn = 0;
    float m_FadeOut = 0;
    float m_LifeTime = 0;
    float m_Angle = 0;
    float m_AngleSpeed = 0;
    float m_SizeSpeed = 0;
    float m_Grey = 0;
    const TParticleOptions* m_pOptions = nullptr;
    D3DXVECTOR3 m_NoisePhase{0, 0, 0};
    float m_NoiseHoldTime = 0;
    D3DXVECTOR3 m_NoiseForce{0, 0, 0};
    float m_WindSpeed = 0;

private:
    void ComputeNoiseForce();
};

class CObjectParticleEmitter
{
public:
    // New particles to start in a frame of dt seconds.
    int CountNewParticles(float dt);
    void TrackMovement();
    ParticleStart MakeParticleStart(float dt);
    // Disabling stops new particles; enabling again restarts the count.
    void SetDisabled(bool disabled);
    D3DXVECTOR3 GetObjectPosition() const;

    D3DXVECTOR3 m_Direction{0, 0, 1};
    float m_PendingInterval = 0;
    CLocalTimer m_Timer;
    Object* m_pObject = nullptr;
    CLocalTimer m_NoiseTimer;
    const TParticleOptions* m_pOptions = nullptr;
    float m_DispersionRadius = 0;
    float m_Accumulator = 0;
    float m_EmitTimeOffset = 0;
    D3DXVECTOR3 m_LastPosition{0, 0, 0};
    bool m_bDisabled = false;
    bool m_bMoved = false;
    D3DXVECTOR3 m_MovementDirection{0, 0, 0};
    float m_MovementDistance = 0;

private:
    float NextInterval() const;
};

class CSmokeParticleSystem
{
public:
    CSmokeParticleSystem();

    void RegisterTuning(TuningControl::CManager& tuning, const std::string& prefix);
    void Update(float dt);

    const std::list<std::unique_ptr<SmokeParticle>>& GetParticles() const { return m_Particles; }
    CObjectParticleEmitter& GetEmitter() { return m_Emitter; }
    TParticleOptions& GetOptions() { return m_Options; }
    CLocalTimer& GetTimer() { return m_Timer; }

private:
    std::list<std::unique_ptr<SmokeParticle>> m_Particles;
    CObjectParticleEmitter m_Emitter;
    CLocalTimer m_Timer;
    TParticleOptions m_Options;
};

// The most particles a system keeps alive and the most that start in one
// frame, whatever the tuning values ask for.
const size_t kMaxSmokeParticles = 20000;
const int kMaxNewParticlesPerFrame = 2000;
// The shortest interval between two new particles.
const float kMinAppearInterval = 1e-4f;
