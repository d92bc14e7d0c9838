#include "Mesh.h"

#include <cfloat>
#include <cstring>
#include <list>
#include <memory>

#include "Camera.h"
#include "D3DUtils.h"
#include "DebugDraw.h"
#include "FileStorage.h"
#include "GeomObject.h"
#include "Log.h"
#include "MeshMaterial.h"
#include "RenderStateManager.h"
#include "d3dx8mesh.h"

namespace
{
const char* const kMeshSource = "..\\src\\Graphics\\Mesh";

// Per-mesh dynamic vertex buffers; their cells stay put as the list grows.
// Never destroyed: at the process's end Direct3D may already be gone.
std::list<ComRef<IDirect3DVertexBuffer8>>& s_VertexBuffers = *new std::list<ComRef<IDirect3DVertexBuffer8>>;

class CDeviceIndexStore : public CIndexBufferPool::IStore
{
public:
    void* Create(uint32_t bytes) override
    {
        IDirect3DIndexBuffer8* buffer = nullptr;
        const HRESULT hr = RenderStateManager::Instance().CreateIndexBuffer(bytes, 0, D3DFMT_INDEX16,
                                                                            D3DPOOL_MANAGED, &buffer);
        if (FAILED(hr))
        {
            g_Log.Printf("Error: can't create the shared index buffer of %u bytes: %s\n", bytes,
                         GetErrorString(hr).c_str());
            return nullptr;
        }
        return buffer;
    }
    uint8_t* Lock(void* buffer, uint32_t offset, uint32_t bytes) override
    {
        BYTE* data = nullptr;
        if (FAILED(static_cast<IDirect3DIndexBuffer8*>(buffer)->Lock(offset, bytes, &data, 0)))
            return nullptr;
        return data;
    }
    void Unlock(void* buffer) override { static_cast<IDirect3DIndexBuffer8*>(buffer)->Unlock(); }
    // The pool keeps its buffer as an untyped handle and gives it back here.
    void Release(void* buffer) override { static_cast<IDirect3DIndexBuffer8*>(buffer)->Release(); }
};

CDeviceIndexStore s_IndexStore;
CIndexBufferPool s_SharedIndexBuffer(&s_IndexStore);

D3DXVECTOR3 Position(const std::vector<uint8_t>& vertices, uint32_t stride, uint32_t i)
{
    D3DXVECTOR3 p;
    std::memcpy(&p, &vertices[size_t(i) * stride], sizeof(p));
    return p;
}

bool IntersectLineTriangle(const D3DXVECTOR3& origin, const D3DXVECTOR3& dir, const D3DXVECTOR3& v0,
                           const D3DXVECTOR3& v1, const D3DXVECTOR3& v2, D3DXVECTOR3* hit)
{
    const D3DXVECTOR3 e1 = v1 - v0, e2 = v2 - v0;
    D3DXVECTOR3 p;
    D3DXVec3Cross(&p, &dir, &e2);
    const float det = D3DXVec3Dot(&e1, &p);
    if (std::fabs(det) < 1.1920929e-7f)
        return false;
    const float inv = 1.0f / det;
    const D3DXVECTOR3 s = origin - v0;
    const float u = D3DXVec3Dot(&s, &p) * inv;
    if (u < 0 || u > 1)
        return false;
    D3DXVECTOR3 q;
    D3DXVec3Cross(&q, &s, &e1);
    const float v = D3DXVec3Dot(&dir, &q) * inv;
    if (v < 0 || u + v > 1)
        return false;
    const float t = D3DXVec3Dot(&e2, &q) * inv;
    *hit = origin + dir * t;
    return true;
}
} // namespace

namespace MeshPools
{
const ComRef<IDirect3DVertexBuffer8>* CreateMeshVertexBuffer(uint32_t length, const void* data, uint32_t fvf)
{
    ComRef<IDirect3DVertexBuffer8> buffer;
    const HRESULT hr = RenderStateManager::Instance().CreateVertexBuffer(length, D3DUSAGE_DYNAMIC, fvf,
                                                                         D3DPOOL_DEFAULT, buffer.Put());
    if (FAILED(hr))
    {
        g_Log.Printf("%s    ", GetErrorString(hr).c_str());
        g_Log.Printf("Error in %s, line %u\n", kMeshSource, 117u);
        return nullptr;
    }
    BYTE* p = nullptr;
    if (SUCCEEDED(buffer->Lock(0, length, &p, 0)))
    {
        std::memcpy(p, data, length);
        buffer->Unlock();
    }
    s_VertexBuffers.push_back(std::move(buffer));
    return &s_VertexBuffers.back();
}

IDirect3DIndexBuffer8** AppendSharedIndices(uint32_t bytes, const void* data, uint32_t* startIndex)
{
    *startIndex = 0;
    if (!s_SharedIndexBuffer.Append(data, bytes, startIndex))
        return nullptr;
    return reinterpret_cast<IDirect3DIndexBuffer8**>(const_cast<void**>(s_SharedIndexBuffer.GetSlot()));
}

void ReleaseAll()
{
    s_VertexBuffers.clear();
    s_SharedIndexBuffer.ReleaseAll();
    ReleaseNormalizationCubeMap();
    ReleaseEnvironmentCubeCache();
}

uint32_t GetSharedIndexBytesUsed() { return s_SharedIndexBuffer.GetUsed(); }
} // namespace MeshPools

bool SoftwareMesh::LoadFromStream(FileStorage::CMemoryStream& stream, std::string* problem)
{
    MeshRecordData record;
    if (!ReadMeshRecord(stream, record, problem))
        return false;
    m_Data.vertexCount = record.vertexCount;
    m_Data.positionsNormals.assign(size_t(record.vertexCount) * 6, 0.0f);
    const uint32_t keep = std::min<uint32_t>(24, record.stride);
    for (uint32_t v = 0; v < record.vertexCount; ++v)
        std::memcpy(&m_Data.positionsNormals[size_t(v) * 6], &record.vertices[size_t(v) * record.stride], keep);
    return true;
}

std::unique_ptr<Mesh> Mesh::LoadFromStream(GeomObject* owner, IMeshLoadContext* scene, FileStorage::CArchive* archive,
                           FileStorage::CMemoryStream& stream, uint32_t meshIndex, bool singleFrame)
{
    MeshRecordData record;
    std::string problem;
    const bool valid = ReadMeshRecord(stream, record, &problem);
    const std::string ownerName = owner ? owner->GetName() : std::string();
    if (!valid)
    {
        g_Log.Printf("Error: mesh %u of object \"%s\" is rejected: %s\n", meshIndex, ownerName.c_str(),
                     problem.c_str());
        return nullptr;
    }
    std::unique_ptr<Mesh> mesh(new Mesh);
    mesh->m_pOwner = owner;
    mesh->m_MeshIndex = meshIndex;
    mesh->m_bSmoothNormals = scene && owner && scene->MatchesSmoothNormalPattern(owner->GetName());
    if (!mesh->ReadData(scene, archive, record, singleFrame))
        return nullptr;
    if (mesh->m_bSmoothNormals)
        mesh->SelectNormals(true);
    mesh->m_BoxMin = mesh->GetBoundingBoxMin(D3DXMATRIX(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1));
    mesh->m_BoxMax = mesh->GetBoundingBoxMax(D3DXMATRIX(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1));
    const D3DXVECTOR3& a = mesh->m_BoxMin;
    const D3DXVECTOR3& b = mesh->m_BoxMax;
    const D3DXVECTOR3 corners[8] = {{a.x, a.y, a.z}, {b.x, b.y, b.z}, {a.x, a.y, b.z}, {a.x, b.y, b.z},
                                    {b.x, a.y, b.z}, {b.x, a.y, a.z}, {b.x, b.y, a.z}, {a.x, b.y, a.z}};
    std::copy(corners, corners + 8, mesh->m_Corners);
    return mesh;
}

bool Mesh::ReadData(IMeshLoadContext* scene, FileStorage::CArchive* archive, MeshRecordData& record, bool singleFrame)
{
    SplitBlendWeights(record);
    m_FVF = record.fvf;
    m_Stride = record.stride;
    m_VertexCount = record.vertexCount;
    m_Vertices.swap(record.vertices);
    m_BlendWeights.swap(record.blendWeights);
    m_Indices.swap(record.indices);
    m_TriangleCount = uint32_t(m_Indices.size() / 3);

    if (!(m_BlendWeights.empty() && singleFrame && SUCCEEDED(CreateOptimizedBuffers())))
    {
        m_bOwnsVertexBuffer = false;
        m_bOwnsIndexBuffer = false;
        m_StartVertex = 0;
        if (!m_Vertices.empty())
            m_ppPoolVertexBuffer = MeshPools::CreateMeshVertexBuffer(uint32_t(m_Vertices.size()), m_Vertices.data(), m_FVF);
        if (!m_Indices.empty())
            m_ppPoolIndexBuffer = MeshPools::AppendSharedIndices(uint32_t(m_Indices.size() * 2), m_Indices.data(),
                                                              &m_StartIndex);
    }

    const std::string& name = record.materialName;
    MeshMaterial* material = nullptr;
    if (name == FileStorage::kDefaultMaterialName)
    {
        m_pOwnMaterial = std::make_unique<MeshMaterial>();
        m_pOwnMaterial->SetName(name);
        material = m_pOwnMaterial.get();
    }
    else if (!name.empty() && scene)
    {
        material = scene->FindMaterial(name);
        if (!material)
        {
            auto loaded = std::make_unique<MeshMaterial>();
            material = loaded.get();
            FileStorage::CMemoryStream* stream = archive ? archive->Find(name, FileStorage::kTypeMaterial) : nullptr;
            if (stream)
            {
                stream->SetPosition(0);
                try
                {
                    material->LoadFromStream(name, *stream, archive, scene);
                }
                catch (const FileStorage::ErrorRead& e)
                {
                    g_Log.Printf("Error: material \"%s\" is truncated (%s); it keeps what was read\n", name.c_str(),
                                 e.what());
                }
            }
            else
            {
                g_Log.Printf("Error: material \"%s\" is not in the archive; the default material is used\n",
                             name.c_str());
                material->SetName(name);
            }
            scene->SetMaterial(name, std::move(loaded));
        }
    }
    SetMaterial(material);
    m_Bones.swap(record.bones);
    return true;
}

HRESULT Mesh::CreateOptimizedBuffers()
{
    IDirect3DDevice8* device = RenderStateManager::Instance().GetDevice();
    if (m_Vertices.empty() || m_Indices.empty() || !device)
        return E_FAIL;
    DWORD declaration[MAX_FVF_DECL_SIZE];
    HRESULT hr = D3DXDeclaratorFromFVF(m_FVF, declaration);
    ComRef<ID3DXMesh> mesh;
    if (SUCCEEDED(hr))
        hr = D3DXCreateMesh(m_TriangleCount, m_VertexCount, D3DXMESH_MANAGED, declaration, device, mesh.Put());
    if (FAILED(hr))
    {
        g_Log.Printf("Failed to create D3DXMESH: %s\n", GetErrorString(hr).c_str());
        return hr;
    }
    const uint32_t vertexSize = D3DXGetFVFVertexSize(mesh->GetFVF());
    BYTE* p = nullptr;
    if (SUCCEEDED(mesh->LockVertexBuffer(0, &p)))
    {
        std::memcpy(p, m_Vertices.data(), std::min<size_t>(size_t(m_VertexCount) * vertexSize, m_Vertices.size()));
        mesh->UnlockVertexBuffer();
    }
    if (SUCCEEDED(mesh->LockIndexBuffer(0, &p)))
    {
        std::memcpy(p, m_Indices.data(), m_Indices.size() * 2);
        mesh->UnlockIndexBuffer();
    }
    std::vector<DWORD> adjacency(size_t(m_TriangleCount) * 3);
    hr = mesh->GenerateAdjacency(0.001f, adjacency.data());
    if (FAILED(hr))
        g_Log.Printf("Failed to GenerateAdjacency: %s\n", GetErrorString(hr).c_str());
    hr = mesh->OptimizeInplace(D3DXMESHOPT_VERTEXCACHE, adjacency.data(), nullptr, nullptr, nullptr);
    if (FAILED(hr))
        g_Log.Printf("Failed to optimize: %s\n", GetErrorString(hr).c_str());

    mesh->GetVertexBuffer(m_OwnVertexBuffer.Put());
    mesh->GetIndexBuffer(m_OwnIndexBuffer.Put());
    m_StartVertex = 0;
    m_StartIndex = 0;
    m_Stride = vertexSize;
    m_VertexCount = uint16_t(mesh->GetNumVertices());
    m_TriangleCount = mesh->GetNumFaces();
    m_Vertices.resize(size_t(m_VertexCount) * m_Stride);
    m_Indices.resize(size_t(m_TriangleCount) * 3);
    if (SUCCEEDED(mesh->LockVertexBuffer(D3DLOCK_READONLY, &p)))
    {
        std::memcpy(m_Vertices.data(), p, m_Vertices.size());
        mesh->UnlockVertexBuffer();
    }
    if (SUCCEEDED(mesh->LockIndexBuffer(D3DLOCK_READONLY, &p)))
    {
        std::memcpy(m_Indices.data(), p, m_Indices.size() * 2);
        mesh->UnlockIndexBuffer();
    }
    return S_OK;
}

void Mesh::ReleaseBuffers()
{
    m_OwnVertexBuffer.Reset();
    m_OwnIndexBuffer.Reset();
    m_ppPoolVertexBuffer = nullptr;
    m_ppPoolIndexBuffer = nullptr;
}

Mesh::~Mesh()
{
    ReleaseBuffers();
    ReleaseTangentStreams();
}

void Mesh::SetMaterial(MeshMaterial* material)
{
    m_pMaterial = material;
    if (!material)
        return;
    m_bTransparent = material->HasAlpha();
    m_CullOverride = material->IsTwoSided() ? D3DCULL_NONE : 0;
    PrepareTangentSpace();
}

uint32_t g_MeshDrawCalls = 0;

void Mesh::Render(int pass)
{
    const bool applyMaterial = m_pMaterial && m_bApplyMaterial;
    const int count = applyMaterial ? m_pMaterial->GetPassCount() : 1;
    if (pass >= count)
        return;
    IDirect3DDevice8* device = DrawingDevice();
    if (!device)
        return;
    RenderStateManager& cache = RenderStateManager::Instance();
    const int first = pass < 0 ? 0 : pass;
    const int last = pass < 0 ? count : pass + 1;
    for (int p = first; p < last; ++p)
    {
        cache.PushStates();
        device->SetStreamSource(1, nullptr, 0);
        if (m_bSetFVF)
            device->SetVertexShader(m_FVF);
        if (applyMaterial)
            m_pMaterial->ApplyPass(device, p);
        if (m_CullOverride && cache.GetRenderState(D3DRS_CULLMODE) != m_CullOverride)
            cache.SetRenderState(D3DRS_CULLMODE, m_CullOverride);
        // A smooth-normal mesh draws its smoothed normals only with the
        // per-light technique.
        if (m_bSmoothNormals && applyMaterial)
        {
            const EffectTechnique* technique = m_pMaterial->GetEffectState().GetTechnique();
            SelectNormals(technique && technique->GetName() == "OmniPass");
        }
        if (applyMaterial && PassNeedsTangents(p))
        {
            const bool smoothed = m_bSmoothedInBuffer;
            if (!m_TangentStream[smoothed] && !m_bTangentFailed)
                BuildTangentSpace(smoothed, false);
            // Without tangents the pass would read an empty stream: skip it.
            if (!m_TangentStream[smoothed])
            {
                cache.PopStates();
                continue;
            }
            device->SetStreamSource(1, m_TangentStream[smoothed].Get(), 24);
        }
        device->SetIndices(IndexBuffer(), m_StartVertex);
        device->SetStreamSource(0, VertexBuffer(), m_Stride);
        device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, m_VertexCount, m_StartIndex, m_TriangleCount);
        ++g_MeshDrawCalls;
        cache.PopStates();
    }
}

void Mesh::BlendMorphFrames(const SoftwareMesh* a, const SoftwareMesh* b, float t)
{
    if (!a || !b || !VertexBuffer() || m_VertexCount == 0)
        return;
    // A morph at rest would write the same vertices every frame.
    if (a == m_pBlendedA && b == m_pBlendedB && t == m_BlendedWeight)
        return;
    // The frames hold positions and normals only; the rest of each vertex
    // comes from the mesh's own copy.
    BYTE* p = nullptr;
    if (!LockAllVertices(m_Vertices, &p))
        return;
    ::BlendMorphFrames(a->GetData(), b->GetData(), t, p, m_Stride, m_VertexCount);
    VertexBuffer()->Unlock();
    m_pBlendedA = a;
    m_pBlendedB = b;
    m_BlendedWeight = t;
}

HRESULT Mesh::LockForRewrite(IDirect3DVertexBuffer8* buffer, UINT offset, UINT bytes, BYTE** p)
{
    // A dynamic buffer rewritten whole is locked discarding, which does not
    // wait for the draws of the last frame to finish with it; a shared or
    // static one is locked in place.
    D3DVERTEXBUFFER_DESC desc;
    if (!buffer || FAILED(buffer->GetDesc(&desc)))
        return E_FAIL;
    const bool whole = offset == 0 && desc.Size == bytes && (desc.Usage & D3DUSAGE_DYNAMIC);
    *p = nullptr;
    const HRESULT hr = buffer->Lock(offset, bytes, p, whole ? D3DLOCK_DISCARD : 0);
    return SUCCEEDED(hr) && !*p ? E_FAIL : hr;
}

bool Mesh::LockAllVertices(const std::vector<uint8_t>& source, BYTE** p)
{
    const UINT bytes = UINT(m_VertexCount) * m_Stride;
    if (source.size() < bytes || FAILED(LockForRewrite(VertexBuffer(), m_StartVertex * m_Stride, bytes, p)))
        return false;
    std::memcpy(*p, source.data(), bytes);
    return true;
}

D3DXVECTOR3 Mesh::GetBoundingBoxMin(const D3DXMATRIX& m) const
{
    D3DXVECTOR3 r(FLT_MAX, FLT_MAX, FLT_MAX);
    for (uint32_t i = 0; i < m_VertexCount; ++i)
    {
        const D3DXVECTOR3 p = Position(m_Vertices, m_Stride, i);
        D3DXVECTOR3 w;
        D3DXVec3TransformCoord(&w, &p, &m);
        D3DXVec3Minimize(&r, &r, &w);
    }
    return r;
}

D3DXVECTOR3 Mesh::GetBoundingBoxMax(const D3DXMATRIX& m) const
{
    D3DXVECTOR3 r(-FLT_MAX, -FLT_MAX, -FLT_MAX);
    for (uint32_t i = 0; i < m_VertexCount; ++i)
    {
        const D3DXVECTOR3 p = Position(m_Vertices, m_Stride, i);
        D3DXVECTOR3 w;
        D3DXVec3TransformCoord(&w, &p, &m);
        D3DXVec3Maximize(&r, &r, &w);
    }
    return r;
}

bool Mesh::IsInFrustum(IDirect3DDevice8* device)
{
    D3DXMATRIX world;
    if (!device || FAILED(device->GetTransform(D3DTS_WORLD, &world)))
        return true;
    const Frustum& frustum = GetCurrentFrustum();
    if (m_bCacheValid && std::memcmp(&world, &m_CachedWorld, sizeof(world)) == 0 &&
        std::memcmp(frustum.planes, m_CachedPlanes, sizeof(m_CachedPlanes)) == 0)
        return m_bVisible;
    m_bCacheValid = true;
    m_CachedWorld = world;
    std::memcpy(m_CachedPlanes, frustum.planes, sizeof(m_CachedPlanes));
    D3DXVECTOR3 corners[8];
    for (int i = 0; i < 8; ++i)
        D3DXVec3TransformCoord(&corners[i], &m_Corners[i], &world);
    m_bVisible = true;
    for (const D3DXPLANE& plane : frustum.planes)
    {
        bool allOutside = true;
        for (const D3DXVECTOR3& c : corners)
            if (plane.a * c.x + plane.b * c.y + plane.c * c.z + plane.d > 0)
            {
                allOutside = false;
                break;
            }
        if (allOutside)
        {
            m_bVisible = false;
            break;
        }
    }
    return m_bVisible;
}

bool Mesh::IsOccluded(IDirect3DDevice8* device)
{
    m_bOccluded = false;
    D3DXMATRIX world;
    if (!m_pOcclusion || !device || FAILED(device->GetTransform(D3DTS_WORLD, &world)))
        return false;
    D3DXVECTOR3 corners[8];
    for (int i = 0; i < 8; ++i)
        D3DXVec3TransformCoord(&corners[i], &m_Corners[i], &world);
    m_bOccluded = m_pOcclusion->IsBoxOccluded(corners);
    return m_bOccluded;
}

bool Mesh::IntersectRay(const D3DXMATRIX& world, const D3DXVECTOR3& origin, const D3DXVECTOR3& direction,
                        D3DXVECTOR3* out) const
{
    NearestHit nearest(origin);
    for (uint32_t t = 0; t + 2 < m_Indices.size(); t += 3)
    {
        D3DXVECTOR3 v[3];
        for (int k = 0; k < 3; ++k)
        {
            const D3DXVECTOR3 p = Position(m_Vertices, m_Stride, m_Indices[t + k]);
            D3DXVec3TransformCoord(&v[k], &p, &world);
        }
        D3DXVECTOR3 hit;
        if (IntersectLineTriangle(origin, direction, v[0], v[1], v[2], &hit))
            nearest.Offer(hit);
    }
    if (nearest.found)
        *out = nearest.point;
    return nearest.found;
}

void Mesh::CopyVertices(IDirect3DVertexBuffer8* buffer) const
{
    D3DVERTEXBUFFER_DESC desc;
    BYTE* p = nullptr;
    if (!buffer || FAILED(buffer->GetDesc(&desc)) || FAILED(buffer->Lock(0, 0, &p, 0)))
        return;
    const uint32_t stride = D3DXGetFVFVertexSize(desc.FVF);
    const uint32_t count = stride ? std::min<uint32_t>(m_VertexCount, desc.Size / stride) : 0;
    if (stride == m_Stride)
        std::memcpy(p, m_Vertices.data(), size_t(count) * stride);
    else
    {
        std::memset(p, 0, desc.Size);
        const FileStorage::VertexLayout from = FileStorage::DecodeVertexLayout(m_FVF);
        const FileStorage::VertexLayout to = FileStorage::DecodeVertexLayout(desc.FVF);
        const uint32_t pairs = std::min(3u, std::min(from.texSetCount, to.texSetCount));
        for (uint32_t v = 0; v < count; ++v)
        {
            const uint8_t* src = &m_Vertices[size_t(v) * m_Stride];
            uint8_t* dst = p + size_t(v) * stride;
            std::memcpy(dst, src, 12);
            if (from.hasNormal && to.hasNormal)
                std::memcpy(dst + to.normalOffset, src + from.normalOffset, 12);
            if (from.hasDiffuse && to.hasDiffuse)
                std::memcpy(dst + to.diffuseOffset, src + from.diffuseOffset, 4);
            if (pairs)
                std::memcpy(dst + to.firstTexOffset, src + from.firstTexOffset, size_t(pairs) * 8);
        }
    }
    buffer->Unlock();
}

IDirect3DDevice8* Mesh::DrawingDevice() const
{
    // A mesh whose buffers could not be made is not drawn.
    if (!VertexBuffer() || !IndexBuffer())
        return nullptr;
    return RenderStateManager::Instance().GetDevice();
}

void Mesh::RenderDebug()
{
    IDirect3DDevice8* device = DrawingDevice();
    if (!device)
        return;
    RenderStateManager& cache = RenderStateManager::Instance();
    cache.PushStates();
    device->SetIndices(IndexBuffer(), m_StartVertex);
    device->SetStreamSource(0, VertexBuffer(), m_Stride);
    device->SetVertexShader(m_FVF);
    device->SetPixelShader(0);
    cache.SetRenderState(D3DRS_FILLMODE, D3DFILL_WIREFRAME);
    cache.SetRenderState(D3DRS_SHADEMODE, D3DSHADE_FLAT);
    cache.SetRenderState(D3DRS_TEXTUREFACTOR, 0xFFFFFFFF);
    cache.SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    cache.SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TFACTOR);
    cache.SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    cache.SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TFACTOR);
    cache.SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    cache.SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, m_VertexCount, m_StartIndex, m_TriangleCount);
    cache.PopStates();

    if (!m_pOwner || !(m_FVF & D3DFVF_NORMAL))
        return;
    const D3DXMATRIX& world = m_pOwner->GetWorldMatrix();
    D3DXMATRIX inverse, normalMatrix;
    if (!D3DXMatrixInverse(&inverse, nullptr, &world))
        return;
    D3DXMatrixTranspose(&normalMatrix, &inverse);
    BYTE* p = nullptr;
    if (FAILED(VertexBuffer()->Lock(m_StartVertex * m_Stride, uint32_t(m_VertexCount) * m_Stride, &p,
                                         D3DLOCK_READONLY)))
        return;
    static const float red[4] = {1, 0, 0, 1};
    for (uint32_t v = 0; v < m_VertexCount; ++v)
    {
        D3DXVECTOR3 position, normal, from, direction;
        std::memcpy(&position, p + size_t(v) * m_Stride, 12);
        std::memcpy(&normal, p + size_t(v) * m_Stride + 12, 12);
        D3DXVec3TransformCoord(&from, &position, &world);
        D3DXVec3TransformNormal(&direction, &normal, &normalMatrix);
        const D3DXVECTOR3 to = from + direction * 2.0f;
        DebugDraw::Instance().AddLine(from, to, red);
    }
    VertexBuffer()->Unlock();
}
