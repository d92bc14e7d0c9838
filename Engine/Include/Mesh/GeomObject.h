#pragma once
// A scene node with geometry: meshes, an optional morph animation, render-
// state overrides, lights that must not light it and an ambient override.
// Windows tree.
#include <d3d8.h>

#include <string>
#include <vector>

#include "MeshServices.h"
#include "Object.h"
#include "ObjectInformation.h"

namespace FileStorage
{
class CArchive;
class CMemoryStream;
} // namespace FileStorage
class Mesh;
class SoftwareMesh;
class Light;

class GeomObject : public Object, public CObjectInformation
{
public:
    struct MorphFrame
    {
        float time;
        std::vector<SoftwareMesh*> meshes;
    };
    struct StateOverride
    {
        bool set = false;
        DWORD value = 0;
    };

    // Information flags: what the debug overlay draws of a picked object.
    enum
    {
        kInfoAxes = 0x01,
        kInfoLabel = 0x08,
        kInfoLabelOnEdge = 0x10,
        kInfoMeshDebug = 0x20,
    };

    explicit GeomObject(const std::string& name = std::string());
    ~GeomObject() override;

    int GetTypeId() const override { return OBJECT_TYPE_GEOM; }
    bool IsRenderable() const override { return true; }
    bool IsTransparent() const override;
    void UpdateAnimation() override { UpdateMorph(); }
    bool IsVisible() const override { return m_bVisible; }

    // Reads a "GO" record. Meshes with inconsistent records are dropped and
    // logged; a morph whose frames do not match frame 0 is dropped.
    void LoadFromStream(const std::string& name, FileStorage::CMemoryStream& stream, IMeshLoadContext* scene,
                        FileStorage::CArchive* archive);
    void Render(IDirect3DDevice8* device, uint32_t meshIndex, int pass);
    void UpdateMorph();

    void PlayMorphAnimation(uint32_t startMs, uint32_t endMs, float speed);
    bool IsMorphPlaying() const { return m_bMorphPlaying; }
    uint32_t GetMorphStartMs() const;
    uint32_t GetMorphEndMs() const;
    D3DXVECTOR3 GetBoundingBoxMin() const;
    D3DXVECTOR3 GetBoundingBoxMax() const;
    bool IntersectRay(D3DXVECTOR3* out, const D3DXVECTOR3& origin, const D3DXVECTOR3& direction) const;
    void SetVisibleRecursive(bool visible);

    void SetVisible(bool visible) { m_bVisible = visible; }
    void SetAmbient(D3DCOLOR colour)
    {
        m_Ambient = colour;
        m_bAmbientOverride = true;
    }
    bool HasAmbientOverride() const { return m_bAmbientOverride; }
    D3DCOLOR GetAmbient() const { return m_Ambient; }
    void SetSrcBlendDestColor() { m_SrcBlend = {true, D3DBLEND_DESTCOLOR}; }
    void SetDestBlendSrcColor() { m_DestBlend = {true, D3DBLEND_SRCCOLOR}; }
    void SetZWrite(DWORD on) { m_ZWrite = on; }
    void SetAlphaTestOverride(DWORD on) { m_AlphaTest = {true, on}; }
    void AddExcludedLight(Light* light)
    {
        m_ExcludedLights.push_back(light);
        m_bHasExcludedLights = true;
    }
    const std::vector<Light*>& GetExcludedLights() const { return m_ExcludedLights; }
    void AddMesh(Mesh* mesh);
    void AddMorphFrameTime(float seconds) { m_MorphTimes.push_back(seconds); }
    void AddMorphTimedCallback(float seconds, TimedCallbackFn callback, int32_t argument = 0)
    {
        m_MorphCallbacks.push_back({seconds, callback, argument});
    }
    bool GetOcclusionTest() const { return m_bOcclusionTest; }
    void DisableOcclusionTest() { m_bOcclusionTest = false; }
    void SetInformationFlags(uint32_t bits) { m_InformationFlags |= bits; }
    void ClearInformationFlags(uint32_t bits) { m_InformationFlags &= ~bits; }
    size_t GetMeshCount() const { return m_Meshes.size(); }
    Mesh* GetMesh(size_t i) const { return m_Meshes[i]; }
    const std::vector<MorphFrame>& GetMorphFrames() const { return m_MorphFrames; }
    void SetCulled(bool culled) { m_bCulled = culled; }
    bool IsCulled() const { return m_bCulled; }
    uint32_t GetInformationFlags() const { return m_InformationFlags; }
    // The culling tree this object was offered to; taking the object out of
    // the static set also takes it out of that tree.
    void SetOctreeManager(IStaticObjectIndex* manager) { m_pOctree = manager; }
    IStaticObjectIndex* GetOctreeManager() const { return m_pOctree; }
    void MakeDynamic() override;

    // The object-information overlay's view of this object.
    std::string GetInfoName() const override { return GetName(); }
    uint32_t GetInfoVertexCount() const override;
    uint32_t GetInfoTriangleCount() const override;
    D3DXVECTOR3 GetInfoPosition() const override { return D3DXVECTOR3(m_World._41, m_World._42, m_World._43); }
    bool HitTest(int x, int y, float* distance) override;
    void SetSelectedViews(bool on) override { on ? SetInformationFlags(0x3F) : ClearInformationFlags(0x3F); }
    void AppendInformation(std::vector<std::string>* lines) const override;
    CLocalTimer& GetMorphTimer() { return m_MorphTimer; }

private:
    void DropMorph(const char* why);
    void DrawInformation(Mesh* mesh, uint32_t meshIndex);

    std::vector<Mesh*> m_Meshes;
    std::vector<Light*> m_ExcludedLights;
    bool m_bHasExcludedLights = false;
    float m_MorphDuration = 0;
    float m_MorphRangeStart = 0;
    int32_t m_MorphLoopCount = -1;
    bool m_bMorphPlaying = false;
    bool m_bMorphRestAtStart = false;
    CLocalTimer m_MorphTimer;
    std::vector<float> m_MorphTimes;
    std::vector<MorphFrame> m_MorphFrames;
    bool m_bVisible = true;
    D3DCOLOR m_Ambient = 0;
    bool m_bAmbientOverride = false;
    DWORD m_ZWrite = 1;
    StateOverride m_SrcBlend, m_DestBlend, m_FogColor, m_AlphaTest;
    bool m_bFogOverride = false;
    bool m_bFogEnable = true;
    float m_LastMorphTime = 0;
    std::vector<TimedCallback> m_MorphCallbacks;
    uint32_t m_InformationFlags = 0;
    bool m_bOcclusionTest = true;
    bool m_bCullable = true;
    bool m_bCulled = false;
    IStaticObjectIndex* m_pOctree = nullptr;
};
