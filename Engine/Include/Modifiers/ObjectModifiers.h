#pragma once
// The kinds of object modifier: a turning object, a distance switch, the
// skinning of a mesh to bone objects, and two that move a mesh's vertices
// about their rest places (a drifting noise wave and a jitter). The rotation and the skinning maths
// are platform-free; what reads geometry objects builds in the Windows tree.
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ObjectModifier.h"
#include "Timer.h"
#include "d3dx8math.h"

class Scene;
class GeomObject;

// Turns its object a little every frame: mode 0 about the object's own axes,
// 1 about the world axes through the origin, 2 about the parent's axes.
class CRotationModifier : public ObjectModifier
{
public:
    enum Axis
    {
        AXIS_X,
        AXIS_Y,
        AXIS_Z
    };
    void Apply(Object* object) override;

    float m_Speed = 0;   // radians per second
    float m_Angle = 0;   // radians
    int m_Axis = AXIS_Z;
    int m_Mode = 1;

private:
    CLocalTimer m_Timer;
};

// Visible while the camera is nearer than the no-fade plus the fade distance.
class CLODRange
{
public:
    // A fade distance of 0 keeps the old one.
    void SetDistances(float noFade, float fade);
    bool IsVisibleAt(float distance) const { return distance < m_NoFadeDistance + m_FadeDistance; }
    float GetNoFadeDistance() const { return m_NoFadeDistance; }
    float GetFadeDistance() const { return m_FadeDistance; }

private:
    float m_NoFadeDistance = 20000.0f;
    float m_FadeDistance = 10000.0f;
};

// Windows tree: shows or hides a geometry object by its distance from the
// scene's active camera.
class CLODModifier : public ObjectModifier, public CLODRange
{
public:
    void Apply(Object* object) override;
    void Set(Scene* scene, float noFade, float fade)
    {
        m_pScene = scene;
        SetDistances(noFade, fade);
    }

private:
    Scene* m_pScene = nullptr;
};

// One vertex of a skinned mesh in its bind pose (world space).
struct SkinVertex
{
    D3DXVECTOR3 position = D3DXVECTOR3(0, 0, 0);
    D3DXVECTOR3 normal = D3DXVECTOR3(0, 0, 0);
    std::vector<float> weights; // empty: the vertex keeps its bind pose
    std::vector<int> bones;
    D3DXVECTOR3 tangent = D3DXVECTOR3(0, 0, 0);
    D3DXVECTOR3 binormal = D3DXVECTOR3(0, 0, 0);
};

// Fills weights and bones from a 16-byte blend record: three weights (the
// fourth is 1 minus their sum) and four bone bytes, 255 marking no bone. The
// kept weights are divided by their sum; with a zero sum none are kept.
void ReadBlendRecord(const uint8_t* record, SkinVertex* vertex);

// The bone objects by bone index with their bind and skin matrices.
class CSkeleton
{
public:
    static const int kMaxBones = 255;

    CSkeleton();
    void Clear();
    // Registers a bone at its current pose. Logs and refuses an index
    // outside the table and a slot already taken (the first stays).
    bool RegisterBone(uint32_t index, Object* bone, const std::string& name);
    // Skin matrix = inverse bind x the bone's world matrix; normal matrix =
    // its inverse transposed.
    void UpdateMatrices();
    // The weighted blend of the vertex over its registered bones, the
    // weights renormalised over those present; the bind pose when none is.
    void Skin(const SkinVertex& in, bool skinNormals, SkinVertex* out) const;
    Object* GetBone(uint32_t index) const { return index < kMaxBones ? m_Bones[index] : nullptr; }

private:
    Object* m_Bones[kMaxBones];
    D3DXMATRIX m_InverseBind[kMaxBones];
    D3DXMATRIX m_Skin[kMaxBones];
    D3DXMATRIX m_Normal[kMaxBones];
};

// Windows tree: skins the meshes of its geometry object to the bone objects
// named in the first mesh's bone list, on the processor.
class SkeletalAnimationModifier : public ObjectModifier
{
public:
    explicit SkeletalAnimationModifier(Scene* scene) : m_pScene(scene) {}
    void Apply(Object* object) override;
    std::string GetName() const override { return "SkeletalAnimationModifier"; }
    void SetEnabled(bool on) { m_bEnabled = on; }
    // One list per mesh of the object, empty for a mesh that is not skinned.
    const std::vector<std::vector<SkinVertex>>& GetMeshLists() const { return m_Meshes; }
    bool SkinsNormals() const { return m_bSkinNormals; }

private:
    void SetUp(GeomObject* object);

    std::vector<std::vector<SkinVertex>> m_Meshes;
    bool m_bSetUp = false;
    CSkeleton m_Skeleton;
    Scene* m_pScene;
    bool m_bEnabled = true;
    bool m_bSkinNormals = true;
    CLocalTimer m_Timer;
};

// A mesh vertex at rest, for the vertex modifiers: its local position, its
// distance from the object's pivot and the share of the motion it takes.
struct RestVertex
{
    D3DXVECTOR3 position = D3DXVECTOR3(0, 0, 0);
    float distance = 0;
    float weight = 0;
};

// Weight = (distance / the largest distance) to the given power; every
// weight is 0 when all the vertices sit on the pivot.
std::vector<RestVertex> MakeRestVertices(const std::vector<D3DXVECTOR3>& positions, int power);

// A noise field that drifts with time, moving vertices about their rest
// places.
class CVertexWave
{
public:
    // Takes the meshes' rest positions (local space).
    void SetUp(const std::vector<std::vector<D3DXVECTOR3>>& meshes);
    // 1 without the distance fade; with it 1 nearer than the fade start,
    // falling to 0 towards the fade end, and below 0 from the end on, where
    // the vertices are left as they are.
    float GetFade(float distance) const;
    // The rest vertices moved for time t (seconds), scaled by the fade.
    void Wave(const std::vector<RestVertex>& rest, float time, float fade, std::vector<D3DXVECTOR3>* out) const;
    const std::vector<std::vector<RestVertex>>& GetRest() const { return m_Rest; }

    float m_Frequency = 1;  // noise cycles per unit of length
    float m_TimeScale = 1;  // noise units per second
    float m_TimeOffset = 0;
    D3DXVECTOR3 m_Amplitude = D3DXVECTOR3(0, 0, 0);
    bool m_bUseWeights = false; // vertices near the pivot move less
    bool m_bDistanceFade = false;
    float m_FadeStart = 0, m_FadeEnd = 0;

protected:
    std::vector<std::vector<RestVertex>> m_Rest;
    bool m_bSetUp = false;
};

// Windows tree: waves every vertex of its geometry object, once per global
// time value, faded by the object's distance from the current camera.
class VertexWaveModifier : public ObjectModifier, public CVertexWave
{
public:
    void Apply(Object* object) override;

private:
    bool m_bUpdated = false;
    float m_LastTime = 0;
};

// One axis of a jittering vertex: where it is off its rest place, where it
// is heading, and how fast (units per millisecond).
struct JitterAxis
{
    float offset = 0;
    float target = 0;
    uint32_t lastMs = 0;
    float speed = 1;
};

// Moves vertices back and forth along the enabled axes, between targets
// on either side of their rest places chosen at random within the
// amplitudes; vertices far from the pivot swing wider and faster.
class CVertexJitter
{
public:
    CVertexJitter();
    // Takes the meshes' rest positions; every axis starts at rest with
    // target 0 and speed 1, last moved at `nowMs`.
    void SetUp(const std::vector<std::vector<D3DXVECTOR3>>& meshes, uint32_t nowMs);
    // Moves every enabled axis of every vertex on to `nowMs`.
    void Step(uint32_t nowMs);
    // Rest place plus offset of every vertex of one mesh.
    void GetPositions(size_t mesh, std::vector<D3DXVECTOR3>* out) const;
    const JitterAxis& GetAxis(size_t mesh, size_t vertex, int axis) const { return m_State[mesh][vertex][axis]; }
    const std::vector<std::vector<RestVertex>>& GetRest() const { return m_Rest; }

    bool m_AxisEnabled[3] = {true, true, true};
    float m_MinAmplitude[3] = {0, 0, 0}, m_MaxAmplitude[3] = {0, 0, 0};
    float m_MinSpeed[3] = {0, 0, 0}, m_MaxSpeed[3] = {0, 0, 0}; // units per millisecond
    // A number from 0 to 1; the C library's rand() scaled by default.
    std::function<float()> m_Random;

protected:
    void StepAxis(JitterAxis& a, int axis, float weight, uint32_t nowMs);

    std::vector<std::vector<RestVertex>> m_Rest;
    std::vector<std::vector<std::array<JitterAxis, 3>>> m_State;
    bool m_bSetUp = false;
};

// Windows tree: jitters the vertices of its geometry object on a clock in
// milliseconds that all of them share.
class VertexJitterModifier : public ObjectModifier, public CVertexJitter
{
public:
    void Apply(Object* object) override;
};
