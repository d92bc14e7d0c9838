// A mesh's tangent space: the tangent generator over its own vertices, the
// mended vertex and index buffers, the tangent stream (stream 1, 24 bytes a
// vertex) and the tangent caches.
#include <cmath>
#include <cstdio>
#include <cstring>

#include "D3DUtils.h"
#include "GeomObject.h"
#include "Log.h"
#include "Mesh.h"
#include "MeshMaterial.h"
#include "MeshMender.h"
#include "MeshNormals.h"
#include "RenderStateManager.h"
#include "Storage.h"
#include "TangentCache.h"

bool g_TangentCacheEnabled = false;

namespace
{
const char* const kTangentSource = "..\\src\\Graphics\\Mesh";
const uint32_t kTangentStride = 24;

std::string CacheName(const GeomObject* owner, uint32_t meshIndex, const char* extension)
{
    char name[1024];
    std::snprintf(name, sizeof(name), "%s%u.%s", owner ? owner->GetName().c_str() : "", meshIndex, extension);
    return name;
}

void LogFailure(unsigned line, HRESULT hr)
{
    g_Log.Printf("Error in %s, line %u\n", kTangentSource, line);
    if (FAILED(hr))
        g_Log.Printf("%s\n", GetErrorString(hr).c_str());
}
} // namespace

void Mesh::BuildSmoothNormals()
{
    m_SmoothedVertices = SmoothNormalsByCell(m_Vertices, m_Stride, m_VertexCount, m_Indices);
}

HRESULT Mesh::SelectNormals(bool smoothed)
{
    if (m_bSmoothedInBuffer == smoothed)
        return S_OK;
    if (m_bSmoothNormals && m_SmoothedVertices.empty())
        BuildSmoothNormals();
    const std::vector<uint8_t>& source = smoothed && !m_SmoothedVertices.empty() ? m_SmoothedVertices : m_Vertices;
    BYTE* p = nullptr;
    if (!LockAllVertices(source, &p))
        return E_FAIL;
    VertexBuffer()->Unlock();
    m_pBlendedA = m_pBlendedB = nullptr; // a morph is written again over these
    m_bSmoothedInBuffer = smoothed;
    return S_OK;
}

bool Mesh::PassNeedsTangents(int pass) const
{
    if (!m_pMaterial)
        return false;
    const MaterialEffectState& state = m_pMaterial->GetEffectState();
    const EffectTechnique* technique = state.GetTechnique();
    return technique && technique->PassUsesTangent(state.GetTechniquePass(pass));
}

void Mesh::PrepareTangentSpace()
{
    if (!m_pMaterial)
        return;
    bool needed = false;
    for (int p = 0; p < m_pMaterial->GetPassCount() && !needed; ++p)
        needed = PassNeedsTangents(p);
    const bool smoothed = m_bSmoothNormals;
    if (!needed || m_TangentStream[smoothed ? 1 : 0])
        return;
    if (g_TangentCacheEnabled && LoadTangentCache(smoothed))
    {
        if (!m_bTangentFailed)
            BuildTangentSpace(smoothed, true);
        return;
    }
    if (m_bTangentFailed)
        return;
    BuildTangentSpace(smoothed, false);
    if (g_TangentCacheEnabled)
        SaveTangentCache(smoothed);
}

ComRef<IDirect3DVertexBuffer8> Mesh::CreateTangentStream(const std::vector<float>& frames)
{
    const DWORD usage = D3DUSAGE_WRITEONLY | (m_BlendWeights.empty() ? 0 : D3DUSAGE_DYNAMIC);
    ComRef<IDirect3DVertexBuffer8> stream;
    const UINT bytes = UINT(frames.size() * sizeof(float));
    HRESULT hr = RenderStateManager::Instance().CreateVertexBuffer(bytes, usage, 0, D3DPOOL_DEFAULT, stream.Put());
    if (FAILED(hr))
    {
        LogFailure(520, hr);
        return {};
    }
    BYTE* p = nullptr;
    hr = stream->Lock(0, bytes, &p, 0);
    if (FAILED(hr))
    {
        LogFailure(530, hr);
        return {};
    }
    std::memcpy(p, frames.data(), bytes);
    stream->Unlock();
    return stream;
}

bool Mesh::FillMenderVertices(bool smoothed, std::vector<MeshMenderVertex>* vertices) const
{
    const std::vector<uint8_t>& source = smoothed && !m_SmoothedVertices.empty() ? m_SmoothedVertices : m_Vertices;
    // The generator reads a normal and the bump map's coordinates: a format
    // without them cannot be mended.
    uint32_t set = 0;
    if (m_pMaterial)
        if (const Map* bump = m_pMaterial->GetEffectState().GetMap(MAPKIND_BUMP))
            set = bump->GetTexCoordIndex() != 0 ? 1 : 0;
    uint32_t normalOffset = 0, texOffset = 0;
    if (!MenderSourceOffsets(m_FVF, set, &normalOffset, &texOffset) || texOffset + 8 > m_Stride ||
        source.size() < size_t(m_VertexCount) * m_Stride)
        return false;
    vertices->assign(m_VertexCount, MeshMenderVertex());
    for (uint32_t i = 0; i < m_VertexCount; ++i)
    {
        const uint8_t* v = &source[size_t(i) * m_Stride];
        MeshMenderVertex& out = (*vertices)[i];
        std::memcpy(&out.pos, v, 12);
        std::memcpy(&out.normal, v + normalOffset, 12);
        if (D3DXVec3Length(&out.normal) <= 1.1920929e-7f)
            out.normal = D3DXVECTOR3(0, 0, 1);
        std::memcpy(&out.s, v + texOffset, 4);
        std::memcpy(&out.t, v + texOffset + 4, 4);
    }
    return true;
}

std::vector<uint8_t> Mesh::RemapVertices(const std::vector<uint8_t>& source) const
{
    std::vector<uint8_t> remapped(m_Mapping.size() * m_Stride);
    for (size_t i = 0; i < m_Mapping.size(); ++i)
        std::memcpy(&remapped[i * m_Stride], &source[size_t(m_Mapping[i]) * m_Stride], m_Stride);
    return remapped;
}

ComRef<IDirect3DVertexBuffer8> Mesh::CreateMendedVertexBuffer(const std::vector<uint8_t>& vertices)
{
    const DWORD usage = D3DUSAGE_WRITEONLY | (m_BlendWeights.empty() ? 0 : D3DUSAGE_DYNAMIC);
    ComRef<IDirect3DVertexBuffer8> vb;
    HRESULT hr =
        RenderStateManager::Instance().CreateVertexBuffer(UINT(vertices.size()), usage, m_FVF, D3DPOOL_DEFAULT, vb.Put());
    BYTE* p = nullptr;
    if (SUCCEEDED(hr))
        hr = vb->Lock(0, UINT(vertices.size()), &p, 0);
    if (FAILED(hr))
    {
        LogFailure(440, hr);
        return {};
    }
    std::memcpy(p, vertices.data(), vertices.size());
    vb->Unlock();
    return vb;
}

ComRef<IDirect3DIndexBuffer8> Mesh::CreateMendedIndexBuffer()
{
    ComRef<IDirect3DIndexBuffer8> ib;
    const UINT bytes = UINT(m_MendedIndices.size() * 2);
    BYTE* p = nullptr;
    HRESULT hr =
        RenderStateManager::Instance().CreateIndexBuffer(bytes, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_DEFAULT, ib.Put());
    if (SUCCEEDED(hr))
        hr = ib->Lock(0, bytes, &p, 0);
    if (FAILED(hr))
    {
        LogFailure(470, hr);
        return {};
    }
    uint16_t* indices = reinterpret_cast<uint16_t*>(p);
    for (size_t i = 0; i < m_MendedIndices.size(); ++i)
        indices[i] = uint16_t(m_MendedIndices[i]);
    ib->Unlock();
    return ib;
}

bool Mesh::BuildTangentSpace(bool smoothed, bool fromCache)
{
    if (smoothed && m_SmoothedVertices.empty())
        BuildSmoothNormals();
    const int slot = smoothed ? 1 : 0;

    std::vector<MeshMenderVertex> vertices;
    if (!FillMenderVertices(smoothed, &vertices))
    {
        g_Log.Printf("Error: mesh %u of object %s has no normals or texture coordinates for tangents\n", m_MeshIndex,
                     m_pOwner ? m_pOwner->GetName().c_str() : "");
        m_bTangentFailed = true;
        return false;
    }

    if (!fromCache)
    {
        m_MendedIndices.assign(m_Indices.begin(), m_Indices.end());
        m_Mapping.clear();
        MeshMender mender;
        if (!mender.Run(vertices, m_MendedIndices, m_Mapping, 0, 0, 0, 1))
        {
            m_bTangentFailed = true;
            return false;
        }
    }
    // 16-bit indices reach 65535 vertices at most; a larger mend (or a cache
    // that does not fit this mesh) would wrap them, so the mesh stays as it
    // was.
    const size_t count = m_Mapping.size();
    if (!MendFitsIndex16(m_Mapping, m_MendedIndices, m_VertexCount))
    {
        g_Log.Printf("Error: mesh %u of object %s cannot be mended into %u vertices\n", m_MeshIndex,
                     m_pOwner ? m_pOwner->GetName().c_str() : "", unsigned(count));
        m_Mapping.clear();
        m_MendedIndices.clear();
        m_bTangentFailed = true;
        return false;
    }

    // Remapped processor copies first; the device buffers are made from them.
    std::vector<uint8_t> remapped = RemapVertices(m_Vertices), remappedSmooth;
    if (!m_SmoothedVertices.empty())
        remappedSmooth = RemapVertices(m_SmoothedVertices);
    const std::vector<uint8_t>& upload = smoothed && !remappedSmooth.empty() ? remappedSmooth : remapped;

    std::vector<float> frames;
    if (fromCache)
        frames = m_TangentData[slot];
    else
    {
        frames.resize(count * 6);
        for (size_t i = 0; i < count; ++i)
        {
            std::memcpy(&frames[i * 6], &vertices[i].tangent, 12);
            std::memcpy(&frames[i * 6 + 3], &vertices[i].binormal, 12);
        }
    }

    ComRef<IDirect3DVertexBuffer8> vb = CreateMendedVertexBuffer(upload);
    ComRef<IDirect3DIndexBuffer8> ib = vb ? CreateMendedIndexBuffer() : ComRef<IDirect3DIndexBuffer8>();
    if (!ib)
    {
        m_bTangentFailed = true;
        return false;
    }
    ComRef<IDirect3DVertexBuffer8> stream = CreateTangentStream(frames);
    if (!stream)
    {
        ReleaseTangentStreams();
        m_bTangentFailed = true;
        return false;
    }

    // Everything is made: the mesh switches to the mended buffers and
    // releases the ones it owned.
    ReleaseBuffers();
    m_OwnVertexBuffer = std::move(vb);
    m_OwnIndexBuffer = std::move(ib);
    m_bOwnsVertexBuffer = m_bOwnsIndexBuffer = true;
    if (!m_BlendWeights.empty())
    {
        std::vector<uint8_t> weights(count * 16);
        for (size_t i = 0; i < count; ++i)
            std::memcpy(&weights[i * 16], &m_BlendWeights[size_t(m_Mapping[i]) * 16], 16);
        m_BlendWeights.swap(weights);
    }
    m_VertexCount = uint16_t(count);
    m_TriangleCount = uint32_t(m_MendedIndices.size() / 3);
    m_StartVertex = m_StartIndex = 0;
    m_Vertices.swap(remapped);
    m_SmoothedVertices.swap(remappedSmooth);
    m_Indices.assign(m_MendedIndices.begin(), m_MendedIndices.end());
    // The other normal set's frames no longer match the new vertex order.
    ReleaseTangentStreams();
    m_TangentStream[slot] = std::move(stream);
    m_TangentData[slot].swap(frames);
    m_bSmoothedInBuffer = &upload == &remappedSmooth;
    m_bCacheValid = false;
    return true;
}

void Mesh::ReleaseTangentStreams()
{
    for (int i = 0; i < 2; ++i)
    {
        m_TangentStream[i].Reset();
        m_TangentData[i].clear();
    }
}

namespace
{
// The whole of a cache file: from the working folder, where caches are
// written, else from the main storage; false when neither has it.
bool ReadCacheFile(const std::string& name, std::vector<uint8_t>& bytes)
{
    if (FILE* f = std::fopen(name.c_str(), "rb"))
    {
        bytes.clear();
        uint8_t chunk[4096];
        size_t n;
        while ((n = std::fread(chunk, 1, sizeof(chunk), f)) > 0)
            bytes.insert(bytes.end(), chunk, chunk + n);
        std::fclose(f);
        return true;
    }
    return Storage::ReadMainStorageFile(name, bytes);
}
} // namespace

bool Mesh::ReadMendFile(const std::string& name)
{
    std::vector<uint8_t> bytes;
    return ReadCacheFile(name, bytes) && ReadTangentMend(bytes.data(), bytes.size(), m_Mapping, m_MendedIndices);
}

bool Mesh::WriteMendFile(const std::string& name) const
{
    FILE* f = std::fopen(name.c_str(), "wb");
    if (!f)
        return false;
    const std::vector<uint8_t> bytes = WriteTangentMend(m_Mapping, m_MendedIndices);
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && written;
}

bool Mesh::LoadTangentCache(bool smoothed)
{
    std::vector<uint8_t> tbn;
    if (!ReadMendFile(CacheName(m_pOwner, m_MeshIndex, smoothed ? "mends" : "mend")))
        return false;
    if (!ReadCacheFile(CacheName(m_pOwner, m_MeshIndex, smoothed ? "tbns" : "tbn"), tbn))
        return false;
    // A cache left by another mesh of the same name does not fit this one:
    // it is mended afresh instead.
    if (!MendFitsIndex16(m_Mapping, m_MendedIndices, m_VertexCount) ||
        !ReadTangentFrames(tbn.data(), tbn.size(), m_Mapping.size(), m_TangentData[smoothed ? 1 : 0]))
    {
        m_Mapping.clear();
        m_MendedIndices.clear();
        m_TangentData[smoothed ? 1 : 0].clear();
        return false;
    }
    return true;
}

void Mesh::SaveTangentCache(bool smoothed)
{
    const std::vector<float>& frames = m_TangentData[smoothed ? 1 : 0];
    if (m_Mapping.empty() || m_MendedIndices.empty() || !m_TangentStream[smoothed ? 1 : 0])
        return;
    WriteMendFile(CacheName(m_pOwner, m_MeshIndex, smoothed ? "mends" : "mend"));
    if (FILE* f = std::fopen(CacheName(m_pOwner, m_MeshIndex, smoothed ? "tbns" : "tbn").c_str(), "wb"))
    {
        std::fwrite(frames.data(), 4, frames.size(), f);
        std::fclose(f);
    }
}

bool Mesh::WriteVertices(const std::vector<uint8_t>& vertices, const std::vector<float>* tangents)
{
    BYTE* p = nullptr;
    if (!LockAllVertices(vertices, &p))
        return false;
    VertexBuffer()->Unlock();
    m_pBlendedA = m_pBlendedB = nullptr;
    IDirect3DVertexBuffer8* stream = m_TangentStream[m_bSmoothedInBuffer ? 1 : 0].Get();
    if (tangents && stream && tangents->size() >= size_t(m_VertexCount) * 6 &&
        SUCCEEDED(LockForRewrite(stream, 0, UINT(m_VertexCount) * kTangentStride, &p)))
    {
        std::memcpy(p, tangents->data(), size_t(m_VertexCount) * kTangentStride);
        stream->Unlock();
    }
    return true;
}
