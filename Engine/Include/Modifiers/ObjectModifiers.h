#pragma once
// The kinds of object modifier: a turning object, a distance switch and the
// skinning of a mesh to bone objects. The rotation and the skinning maths
// are platform-free; what reads geometry objects builds in the Windows tree.
#include <cstdint>
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
