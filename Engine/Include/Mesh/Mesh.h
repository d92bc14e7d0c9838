#pragma once
// A mesh: the drawable triangles of one mesh record of a geometry object,
// its material and the buffers it draws from (its own optimised buffers, or
// a per-mesh dynamic vertex buffer with the shared index buffer), morph
// blending and the geometric tests culling and picking use. Windows tree.
#include <d3d8.h>

#include <cfloat>
#include <memory>
#include <string>
#include <vector>

#include "ComRef.h"
#include "MeshData.h"
#include "MeshServices.h"
#include "d3dx8math.h"

struct MeshMenderVertex;

namespace FileStorage
{
class CArchive;
class CMemoryStream;
} // namespace FileStorage
class GeomObject;
class MeshMaterial;

// Of the points where a ray meets something, the one nearest its origin.
struct NearestHit
{
    explicit NearestHit(const D3DXVECTOR3& rayOrigin) : origin(rayOrigin) {}
    void Offer(const D3DXVECTOR3& hit)
    {
        const D3DXVECTOR3 d = hit - origin;
        const float distance = D3DXVec3Length(&d);
        if (distance < nearest)
        {
            nearest = distance;
            point = hit;
            found = true;
        }
    }

    D3DXVECTOR3 origin;
    D3DXVECTOR3 point = D3DXVECTOR3(0, 0, 0);
    float nearest = FLT_MAX;
    bool found = false;
};

// One morph frame: position and normal of every vertex.
class SoftwareMesh
{
public:
    // Reads a mesh record, keeping 24 bytes of each vertex. False for an
    // inconsistent record (logged by the caller).
    bool LoadFromStream(FileStorage::CMemoryStream& stream, std::string* problem);
    const MorphFrameData& GetData() const { return m_Data; }

private:
    MorphFrameData m_Data;
};

class Mesh
{
public:
    // Reads a mesh record. Null (logged) when the record is inconsistent;
    // the stream then stands after the record.
    static std::unique_ptr<Mesh> LoadFromStream(GeomObject* owner, IMeshLoadContext* scene, FileStorage::CArchive* archive,
                                FileStorage::CMemoryStream& stream, uint32_t meshIndex, bool singleFrame);
    ~Mesh();

    void Render(int pass);
    // Flat white wireframe, and each vertex's normal as a red world line
    // (tangent space, once built, adds its tangents and binormals).
    void RenderDebug();
    void BlendMorphFrames(const SoftwareMesh* a, const SoftwareMesh* b, float t);
    D3DXVECTOR3 GetBoundingBoxMin(const D3DXMATRIX& m) const;
    D3DXVECTOR3 GetBoundingBoxMax(const D3DXMATRIX& m) const;
    bool IsInFrustum(IDirect3DDevice8* device);
    bool IsOccluded(IDirect3DDevice8* device);
    bool IntersectRay(const D3DXMATRIX& world, const D3DXVECTOR3& origin, const D3DXVECTOR3& direction,
                      D3DXVECTOR3* out) const;
    void SetMaterial(MeshMaterial* material);
    // Copies the vertices into another buffer in that buffer's format:
    // position always, normal, colour and up to three uv pairs where both
    // formats have them. A buffer that can't be locked gets nothing.
    void CopyVertices(IDirect3DVertexBuffer8* buffer) const;

    MeshMaterial* GetMaterial() const { return m_pMaterial; }
    bool IsTransparent() const { return m_bTransparent; }
    uint32_t GetFVF() const { return m_FVF; }
    uint32_t GetStride() const { return m_Stride; }
    uint32_t GetVertexCount() const { return m_VertexCount; }
    uint32_t GetIndexCount() const { return uint32_t(m_Indices.size()); }
    uint32_t GetTriangleCount() const { return m_TriangleCount; }
    const std::vector<uint8_t>& GetVertexData() const { return m_Vertices; }
    const std::vector<uint16_t>& GetIndices() const { return m_Indices; }
    bool UsesOwnBuffers() const { return m_bOwnsVertexBuffer; }
    uint32_t GetStartIndex() const { return m_StartIndex; }
    bool GetCullingFlag() const { return m_bCulling; }
    void SetCullingFlag(bool on) { m_bCulling = on; }
    void SetApplyMaterial(bool on) { m_bApplyMaterial = on; }
    void ClearSetFVF() { m_bSetFVF = false; }
    void SetOcclusionManager(const IOcclusionTest* manager) { m_pOcclusion = manager; }
    const D3DXVECTOR3* GetCorners() const { return m_Corners; }
    const std::vector<FileStorage::BoneRef>& GetBones() const { return m_Bones; }
    IDirect3DVertexBuffer8* GetVertexBuffer() const { return VertexBuffer(); }
    // Has the device make its copies of the buffers drawn from now.
    void PreloadBuffers() const
    {
        if (IDirect3DVertexBuffer8* vb = VertexBuffer())
            vb->PreLoad();
        if (IDirect3DIndexBuffer8* ib = IndexBuffer())
            ib->PreLoad();
        for (const ComRef<IDirect3DVertexBuffer8>& stream : m_TangentStream)
            if (stream)
                stream->PreLoad();
    }
    const std::vector<uint8_t>& GetBlendWeights() const { return m_BlendWeights; }
    uint32_t GetMeshIndex() const { return m_MeshIndex; }

    // Position-smoothed normals for objects matching the scene's
    // smooth-normal patterns; SelectNormals puts the requested set into the
    // vertex buffer (0 when it is there already).
    void BuildSmoothNormals();
    HRESULT SelectNormals(bool smoothed);
    bool IsSmoothedInBuffer() const { return m_bSmoothedInBuffer; }

    // Tangent space through the tangent generator, built at most once per
    // normal set when a pass of the material declares tangents. The device
    // buffers are write-only: the processor-side copies below are what
    // skinning and picking read.
    void PrepareTangentSpace();
    bool BuildTangentSpace(bool smoothed, bool fromCache);
    bool LoadTangentCache(bool smoothed);
    void SaveTangentCache(bool smoothed);
    bool PassNeedsTangents(int pass) const;
    IDirect3DVertexBuffer8* GetTangentStream(bool smoothed) const { return m_TangentStream[smoothed ? 1 : 0].Get(); }
    // Tangent x, y, z then binormal x, y, z for every vertex.
    const std::vector<float>& GetTangentData(bool smoothed) const { return m_TangentData[smoothed ? 1 : 0]; }
    bool HasTangentFailed() const { return m_bTangentFailed; }
    const std::vector<uint32_t>& GetMendMapping() const { return m_Mapping; }
    bool IsSmoothNormals() const { return m_bSmoothNormals; }
    // Skinning: uploads whole vertices (the layout of GetVertexData) and,
    // when given, the tangent frames of the current normal set.
    bool WriteVertices(const std::vector<uint8_t>& vertices, const std::vector<float>* tangents);

private:
    Mesh() = default;
    bool ReadData(IMeshLoadContext* scene, FileStorage::CArchive* archive, MeshRecordData& record, bool singleFrame);
    HRESULT CreateOptimizedBuffers();
    // The device to draw on, or null when the mesh has no buffers to draw from.
    IDirect3DDevice8* DrawingDevice() const;
    void ReleaseBuffers();
    void ReleaseTangentStreams();
    ComRef<IDirect3DVertexBuffer8> CreateTangentStream(const std::vector<float>& frames);
    // The steps of a tangent build. The generator's input from the chosen
    // normal set; false when the format has no normal or no coordinates
    // for the bump map.
    bool FillMenderVertices(bool smoothed, std::vector<MeshMenderVertex>* vertices) const;
    // Whole vertices of `source` in the mended order: new vertex i is old
    // vertex mapping[i].
    std::vector<uint8_t> RemapVertices(const std::vector<uint8_t>& source) const;
    ComRef<IDirect3DVertexBuffer8> CreateMendedVertexBuffer(const std::vector<uint8_t>& vertices);
    ComRef<IDirect3DIndexBuffer8> CreateMendedIndexBuffer();
    // The mend file: the mapping and the mended triangles, read from the
    // working folder (where they are written) or the main storage.
    bool ReadMendFile(const std::string& name);
    bool WriteMendFile(const std::string& name) const;
    // The buffers drawn from: the mesh's own, or its cells in the pools.
    IDirect3DVertexBuffer8* VertexBuffer() const
    {
        return m_bOwnsVertexBuffer ? m_OwnVertexBuffer.Get()
                                   : (m_ppPoolVertexBuffer ? m_ppPoolVertexBuffer->Get() : nullptr);
    }
    // Locks this mesh's vertices in its buffer and copies `source` (whole
    // vertices) in; the caller unlocks. False when nothing was locked.
    bool LockAllVertices(const std::vector<uint8_t>& source, BYTE** p);
    // Locks `bytes` of `buffer` from `offset` for writing them all.
    static HRESULT LockForRewrite(IDirect3DVertexBuffer8* buffer, UINT offset, UINT bytes, BYTE** p);
    IDirect3DIndexBuffer8* IndexBuffer() const
    {
        return m_bOwnsIndexBuffer ? m_OwnIndexBuffer.Get() : (m_ppPoolIndexBuffer ? *m_ppPoolIndexBuffer : nullptr);
    }

    float m_Value[4] = {1, 1, 1, 1};
    std::vector<uint8_t> m_Vertices;
    uint16_t m_VertexCount = 0;
    std::vector<uint16_t> m_Indices;
    uint32_t m_TriangleCount = 0;
    MeshMaterial* m_pMaterial = nullptr;
    std::unique_ptr<MeshMaterial> m_pOwnMaterial; // the "__none__" default
    uint32_t m_FVF = 0;
    std::vector<uint8_t> m_BlendWeights;
    uint32_t m_StartVertex = 0;
    uint32_t m_StartIndex = 0;
    bool m_bTransparent = false;
    bool m_bOwnsVertexBuffer = true;
    ComRef<IDirect3DVertexBuffer8> m_OwnVertexBuffer;
    const ComRef<IDirect3DVertexBuffer8>* m_ppPoolVertexBuffer = nullptr;
    uint32_t m_Stride = 0;
    bool m_bOwnsIndexBuffer = true;
    ComRef<IDirect3DIndexBuffer8> m_OwnIndexBuffer;
    IDirect3DIndexBuffer8** m_ppPoolIndexBuffer = nullptr;
    uint32_t m_CullOverride = 0;
    // The two frames and the weight last written by BlendMorphFrames.
    const SoftwareMesh* m_pBlendedA = nullptr;
    const SoftwareMesh* m_pBlendedB = nullptr;
    float m_BlendedWeight = -1;
    D3DXVECTOR3 m_BoxMin, m_BoxMax;
    D3DXVECTOR3 m_Corners[8];
    D3DXPLANE m_CachedPlanes[6];
    D3DXMATRIX m_CachedWorld;
    bool m_bCacheValid = false;
    bool m_bVisible = true;
    bool m_bCulling = true;
    bool m_bSetFVF = true;
    bool m_bApplyMaterial = true;
    std::vector<FileStorage::BoneRef> m_Bones;
    GeomObject* m_pOwner = nullptr;
    uint32_t m_MeshIndex = 0;
    const IOcclusionTest* m_pOcclusion = nullptr;
    bool m_bOccluded = false;

    bool m_bSmoothNormals = false;
    std::vector<uint8_t> m_SmoothedVertices;
    bool m_bSmoothedInBuffer = false;
    ComRef<IDirect3DVertexBuffer8> m_TangentStream[2];
    std::vector<float> m_TangentData[2];
    bool m_bTangentFailed = false;
    std::vector<uint32_t> m_Mapping;
    std::vector<uint32_t> m_MendedIndices;
};

// Indexed draws made by meshes since the program started (a statistic for
// tests and the on-screen information).
extern uint32_t g_MeshDrawCalls;

// Tangent caches ("%s%u.mend", "%s%u.tbn" and their smoothed forms): read
// through the main storage and written to the working folder while set.
extern bool g_TangentCacheEnabled;

// The process-wide buffer pools of pooled meshes.
namespace MeshPools
{
// Per-mesh dynamic vertex buffer filled with the data; null slot on failure.
const ComRef<IDirect3DVertexBuffer8>* CreateMeshVertexBuffer(uint32_t length, const void* data, uint32_t fvf);
// Appends to the shared index buffer; null slot on failure.
IDirect3DIndexBuffer8** AppendSharedIndices(uint32_t bytes, const void* data, uint32_t* startIndex);
// Releases both pools and the cube textures made for materials (at exit).
void ReleaseAll();
uint32_t GetSharedIndexBytesUsed();
} // namespace MeshPools
