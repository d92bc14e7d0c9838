#pragma once
// Stencil shadow volumes of the train: one caster per shadow-casting object,
// one volume per mesh, extruded every frame from the mesh's silhouette along
// the light, counted in the stencil buffer and turned into a mask where the
// shadowed pixels of the receivers are black.
#include <d3d8.h>

#include <memory>
#include <vector>

#include "ComRef.h"
#include "SilhouetteBuilder.h"

class GeomObject;
class Mesh;

struct TShadowMaskParams
{
    bool depthPrepass = true;
    bool displayCCW = false;
    bool displayCW = false;
};

struct TSilhouetteDrawParams
{
    float color[4] = {1, 0, 0, 1};
    float activeColor[4] = {1, 0, 1, 1};
    int activeNum = 0;
    int activeEdgeNum = 0;
    bool zEnable = true;
};

class CShadowVolume
{
public:
    explicit CShadowVolume(Mesh* mesh);
    HRESULT Build(const TShadowVolumeParams& params);
    HRESULT Render(IDirect3DDevice8* device);
    bool IsValid() const { return m_bValid; }
    const CSilhouetteBuilder& GetSilhouette() const { return *m_pSilhouette; }
    size_t GetVolumeVertexCount() const { return m_Vertices.size(); }
    size_t GetVolumeIndexCount() const { return m_Indices.size(); }

private:
    bool ReadPositions(IDirect3DDevice8* device);
    bool IsInFrustum(IDirect3DDevice8* device) const;

    Mesh* m_pMesh;
    std::vector<D3DXVECTOR3> m_Positions;
    std::vector<uint16_t> m_MeshIndices;
    std::unique_ptr<CSilhouetteBuilder> m_pSilhouette;
    std::vector<D3DXVECTOR3> m_Vertices;
    std::vector<uint32_t> m_Indices;
    ComRef<IDirect3DVertexBuffer8> m_pVertexBuffer;
    ComRef<IDirect3DIndexBuffer8> m_pIndexBuffer;
    size_t m_VertexCapacity = 0, m_IndexCapacity = 0;
    D3DXVECTOR3 m_Displacement{0, 0, 0};
    bool m_bValid = true;
};

class CShadowCaster
{
public:
    explicit CShadowCaster(GeomObject* object);
    HRESULT Update(const TShadowVolumeParams& params);
    HRESULT RenderVolumes(IDirect3DDevice8* device);
    GeomObject* GetObject() const { return m_pObject; }
    const std::vector<std::unique_ptr<CShadowVolume>>& GetVolumes() const { return m_Volumes; }

private:
    GeomObject* m_pObject;
    std::vector<std::unique_ptr<CShadowVolume>> m_Volumes;
};

class CStencilShadow
{
public:
    CStencilShadow(const std::vector<GeomObject*>& receivers, const std::vector<GeomObject*>& casters);
    bool IsValid();
    HRESULT Update(const TShadowVolumeParams& params);
    HRESULT RenderMask(IDirect3DDevice8* device, const TShadowMaskParams& params);
    HRESULT DrawSilhouettes(IDirect3DDevice8* device, const TSilhouetteDrawParams& params);
    HRESULT DrawBorders(IDirect3DDevice8* device, float minAngle, bool zTest);
    const std::vector<std::unique_ptr<CShadowCaster>>& GetCasters() const { return m_Casters; }

private:
    void DrawReceivers(IDirect3DDevice8* device);
    void SetLineStates(bool zEnable);

    std::vector<std::unique_ptr<CShadowCaster>> m_Casters;
    std::vector<GeomObject*> m_Receivers;
    bool m_bValid = true;
};

// The stencil-shadow module's failure line.
void LogStencilShadowError(unsigned line);
