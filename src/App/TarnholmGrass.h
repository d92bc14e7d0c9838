#pragma once
// The meadows: every marked ground surface of the landscape gets a patch of
// grass, thousands of turned and scaled copies of one clump baked into one
// static buffer pair and drawn by rectangular areas, swaying in a vertex
// shader. Also the swaying branches of the firs and trees.
#include <d3d8.h>

#include <memory>
#include <string>
#include <vector>

#include "ComRef.h"
#include "GrassLayout.h"
#include "Timer.h"
#include "d3dx8math.h"

namespace TuningControl
{
class CManager;
}
class GeomObject;
class MeshMaterial;
class Scene;
class GrassField;

// Six words: colour, mode, 0, density, start, end.
struct GrassFogRecord
{
    D3DCOLOR colour = 0xFF000000;
    int mode = 0;
    DWORD zero = 0;
    float density = 0, start = 0, end = 0;
};

// The wave set of the wind shader: distort x, y, z, direction x, y, speed,
// lighting wave scale, lighting scale bias.
struct WaveConstants
{
    D3DXVECTOR4 v[8] = {};
};

// The distance fog ("Fog.Color*", "Fog.LinearStart", ...) or the volume fog
// ("Fog.VolColor*", "Fog.VolLinearStart", ...) from the tuning values.
GrassFogRecord ReadFogRecord(TuningControl::CManager& tuning, bool volume);
// Each of the eight wave vectors, prefix + "WaveDistortX.X" and so on.
void ReadWaveConstants(TuningControl::CManager& tuning, const std::string& prefix, WaveConstants& waves);

// Assembles a vs.1.1 text of the main storage and creates it with the
// declaration; 0 on failure, logged with the given messages.
DWORD CreateStorageVertexShader(IDirect3DDevice8* device, const std::string& name, const DWORD* declaration,
                                const char* missing, const char* badAssembly, const char* noShader);

class GrassSettings
{
public:
    GrassSettings() = default;
    GrassSettings(GeomObject* sample, GeomObject* surface, const GrassGenerationValues& values,
                  const std::string& heightMapName);

    bool Validate();
    bool LoadHeightMap();
    bool LockHeightMap();
    void UnlockHeightMap();
    // The locked map for reading (empty, reading 1 everywhere, when not locked).
    GrassDensityMap DensityMap() const;
    void ReleaseHeightMap();

    GeomObject* sample = nullptr;
    GeomObject* surfaceObject = nullptr;
    GrassGenerationValues values;
    std::string heightMapName;

private:
    ComRef<IDirect3DTexture8> m_HeightMap;
    ComRef<IDirect3DSurface8> m_LockedLevel;
    D3DLOCKED_RECT m_Locked = {};
    D3DSURFACE_DESC m_LockedDesc = {};
    bool m_bLocked = false;
};

class GrassPatch
{
public:
    GrassPatch(GrassField* field, Scene* scene, const D3DCAPS8* caps, const GrassSettings& settings);
    ~GrassPatch();

    bool Prepare();
    bool PlaceInstances();
    bool CreateBuffers();
    void FreeBuildData();

    void UpdateCamera(const D3DXVECTOR3& camera);
    void Render();
    bool IsInFrustum() const;

    float GetCameraDistance() const { return m_CameraDistance; }
    bool IsReady() const { return m_bReady; }
    void SetReady() { m_bReady = true; }
    int GetDrawnAreas() const { return m_DrawnAreas; }
    const GrassLayout& GetLayout() const { return m_Layout; }
    uint32_t GetIndexSize() const { return m_IndexSize; }

    WaveConstants m_Waves;
    bool m_bFrustumCulling = false;
    bool m_bDoublePass = false;
    bool m_bSoftGrass = false;
    bool m_bProjectedShadows = false;
    float m_MaxDrawDistance = 3.4028235e38f;
    IDirect3DTexture8* m_pShadowTexture = nullptr; // not owned
    D3DXMATRIX m_ShadowMatrix;

private:
    void ComputeBounds();
    void RenderPlain();
    void RenderShadowed();
    void RenderFixedFunction();
    void DrawAreas();
    void SetShaderConstants(bool shadowMatrix);
    void BeginPass();
    void SetStageFromMap(DWORD stage, int kind, bool mirror);

    GrassField* m_pField;
    Scene* m_pScene;
    const D3DCAPS8* m_pCaps;
    IDirect3DDevice8* m_pDevice;
    GrassSettings m_Settings;
    std::unique_ptr<GrassSurface> m_pSurface;
    GrassLayout m_Layout;
    std::vector<uint8_t> m_VertexArray, m_IndexArray;
    ComRef<IDirect3DVertexBuffer8> m_VertexBuffer;
    ComRef<IDirect3DIndexBuffer8> m_IndexBuffer;
    uint32_t m_IndexSize = 2;
    uint32_t m_Placed = 0;
    MeshMaterial* m_pGrassMaterial = nullptr;
    MeshMaterial* m_pSurfaceMaterial = nullptr;
    bool m_bReady = false;
    D3DXVECTOR3 m_Corners[8] = {};

    GrassFogRecord m_Fog, m_VolumeFog;
    CLocalTimer m_Timer;
    float m_Time = 0;
    D3DXVECTOR3 m_Camera = D3DXVECTOR3(0, 0, 0), m_ObjectPosition = D3DXVECTOR3(0, 0, 0);
    float m_CameraDistance = 0;
    bool m_bVisible = true;
    int m_DrawnAreas = 0;
};

class GrassField
{
public:
    GrassField(Scene* scene, const D3DCAPS8* caps);
    ~GrassField();

    DWORD LoadShader(const char* name);
    GrassPatch* AddSurface(const GrassSettings& settings);
    void Render(const D3DXVECTOR3& camera);

    size_t GetPatchCount() const { return m_Patches.size(); }
    GrassPatch* GetPatch(size_t i) const { return i < m_Patches.size() ? m_Patches[i].get() : nullptr; }
    DWORD GetGrassShader() const { return m_GrassShader; }
    DWORD GetShadowGrassShader() const { return m_ShadowGrassShader; }
    // Logs, once, that a patch was drawn through the shadow grass shader.
    void NoteShadowedPass();

    GrassFogRecord m_Fog, m_VolumeFog;

private:
    Scene* m_pScene;
    const D3DCAPS8* m_pCaps;
    std::vector<std::unique_ptr<GrassPatch>> m_Patches;
    DWORD m_GrassShader = 0, m_ShadowGrassShader = 0;
    bool m_bShadowedPassNoted = false;
};

class AnimatedLeavesSet;

class AnimatedLeaves
{
public:
    explicit AnimatedLeaves(AnimatedLeavesSet* set);
    bool Init(GeomObject* object, Scene* scene, DWORD shader);
    void UpdateWind();
    void SetShaderConstants();
    void Render();

    const std::string& GetName() const { return m_Name; }
    float GetWindScale() const { return m_WindScale; }
    CLocalTimer& GetTimer() { return m_Timer; }

    WaveConstants m_Waves;
    float m_WaveFrequency = 1;
    float m_WindMaxScale = 1, m_WindMinScale = 1;
    float m_WindChangeFrequency = 0;

private:
    AnimatedLeavesSet* m_pSet;
    IDirect3DDevice8* m_pDevice;
    bool m_bInitialised = false;
    DWORD m_Shader = 0;
    CLocalTimer m_Timer;
    Scene* m_pScene = nullptr;
    GeomObject* m_pObject = nullptr;
    std::string m_Name;
    float m_WindScale = 1;
    D3DXVECTOR4 m_ScaledDistortion[3] = {};
};

class AnimatedLeavesSet
{
public:
    explicit AnimatedLeavesSet(Scene* scene);
    ~AnimatedLeavesSet();

    bool LoadShader();
    AnimatedLeaves* Add(const std::string& name);
    AnimatedLeaves* Find(const std::string& name) const;
    void Render();

    DWORD GetShader() const { return m_Shader; }
    size_t GetCount() const { return m_Leaves.size(); }

    GrassFogRecord m_Fog;

private:
    Scene* m_pScene;
    std::vector<std::unique_ptr<AnimatedLeaves>> m_Leaves;
    DWORD m_Shader = 0;
};
