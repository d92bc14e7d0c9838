// D3DX meshes: an indexed triangle list in device buffers, with one
// attribute per face, adjacency and in-place reordering for the vertex cache.
#include "d3dx8core.h"
#include "d3dx8mesh.h"
#include "MeshOps.h"
#include "ComRef.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace
{

DWORD BufferUsage(DWORD options, DWORD writeOnly, DWORD dynamic, DWORD software)
{
    DWORD usage = 0;
    if (options & writeOnly)
        usage |= D3DUSAGE_WRITEONLY;
    if (options & dynamic)
        usage |= D3DUSAGE_DYNAMIC;
    if (options & software)
        usage |= D3DUSAGE_SOFTWAREPROCESSING;
    if (options & D3DXMESH_DONOTCLIP)
        usage |= D3DUSAGE_DONOTCLIP;
    if (options & D3DXMESH_POINTS)
        usage |= D3DUSAGE_POINTS;
    if (options & D3DXMESH_RTPATCHES)
        usage |= D3DUSAGE_RTPATCHES;
    if (options & D3DXMESH_NPATCHES)
        usage |= D3DUSAGE_NPATCHES;
    return usage;
}

D3DPOOL BufferPool(DWORD options, DWORD managed, DWORD systemMemory)
{
    return options & managed ? D3DPOOL_MANAGED : options & systemMemory ? D3DPOOL_SYSTEMMEM : D3DPOOL_DEFAULT;
}

class CD3DXMesh : public ID3DXMesh
{
public:
    CD3DXMesh(IDirect3DDevice8* device, DWORD faces, DWORD vertices, DWORD options, DWORD fvf)
        : m_device(ComRef<IDirect3DDevice8>::Share(device)), m_faces(faces), m_vertices(vertices),
          m_options(options), m_fvf(fvf), m_stride(D3DXGetFVFVertexSize(fvf)), m_attributes(faces, 0)
    {
    }

    HRESULT Init()
    {
        const bool wide = (m_options & D3DXMESH_32BIT) != 0;
        HRESULT hr = m_device->CreateVertexBuffer(
            m_vertices * m_stride,
            BufferUsage(m_options, D3DXMESH_VB_WRITEONLY, D3DXMESH_VB_DYNAMIC, D3DXMESH_VB_SOFTWAREPROCESSING),
            m_fvf, BufferPool(m_options, D3DXMESH_VB_MANAGED, D3DXMESH_VB_SYSTEMMEM), m_vb.Put());
        if (FAILED(hr))
            return hr;
        return m_device->CreateIndexBuffer(
            m_faces * 3 * (wide ? 4 : 2),
            BufferUsage(m_options, D3DXMESH_IB_WRITEONLY, D3DXMESH_IB_DYNAMIC, D3DXMESH_IB_SOFTWAREPROCESSING),
            wide ? D3DFMT_INDEX32 : D3DFMT_INDEX16, BufferPool(m_options, D3DXMESH_IB_MANAGED, D3DXMESH_IB_SYSTEMMEM),
            m_ib.Put());
    }

    virtual ~CD3DXMesh() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override
    {
        if (!object)
            return E_POINTER;
        if (riid == IID_IUnknown)
        {
            *object = static_cast<IUnknown*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ULONG(InterlockedIncrement(&m_refs)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        const LONG refs = InterlockedDecrement(&m_refs);
        if (refs == 0)
            delete this;
        return ULONG(refs);
    }

    HRESULT STDMETHODCALLTYPE DrawSubset(DWORD attribId) override
    {
        HRESULT hr = m_device->SetStreamSource(0, m_vb, m_stride);
        if (SUCCEEDED(hr))
            hr = m_device->SetIndices(m_ib, 0);
        if (SUCCEEDED(hr))
            hr = m_device->SetVertexShader(m_fvf);
        // One draw per run of faces with the attribute.
        for (DWORD f = 0; SUCCEEDED(hr) && f < m_faces;)
        {
            if (m_attributes[f] != attribId)
            {
                ++f;
                continue;
            }
            DWORD end = f;
            while (end < m_faces && m_attributes[end] == attribId)
                ++end;
            hr = m_device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, m_vertices, 3 * f, end - f);
            f = end;
        }
        return hr;
    }

    DWORD STDMETHODCALLTYPE GetNumFaces() override { return m_faces; }
    DWORD STDMETHODCALLTYPE GetNumVertices() override { return m_vertices; }
    DWORD STDMETHODCALLTYPE GetFVF() override { return m_fvf; }
    HRESULT STDMETHODCALLTYPE GetDeclaration(DWORD declaration[MAX_FVF_DECL_SIZE]) override
    {
        return D3DXDeclaratorFromFVF(m_fvf, declaration);
    }
    DWORD STDMETHODCALLTYPE GetOptions() override { return m_options; }
    HRESULT STDMETHODCALLTYPE GetDevice(LPDIRECT3DDEVICE8* device) override
    {
        if (!device)
            return D3DERR_INVALIDCALL;
        m_device->AddRef();
        *device = m_device;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetVertexBuffer(LPDIRECT3DVERTEXBUFFER8* vertexBuffer) override
    {
        if (!vertexBuffer)
            return D3DERR_INVALIDCALL;
        m_vb->AddRef();
        *vertexBuffer = m_vb;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetIndexBuffer(LPDIRECT3DINDEXBUFFER8* indexBuffer) override
    {
        if (!indexBuffer)
            return D3DERR_INVALIDCALL;
        m_ib->AddRef();
        *indexBuffer = m_ib;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE LockVertexBuffer(DWORD flags, BYTE** data) override
    {
        return data ? m_vb->Lock(0, 0, data, flags) : D3DERR_INVALIDCALL;
    }
    HRESULT STDMETHODCALLTYPE UnlockVertexBuffer() override { return m_vb->Unlock(); }
    HRESULT STDMETHODCALLTYPE LockIndexBuffer(DWORD flags, BYTE** data) override
    {
        return data ? m_ib->Lock(0, 0, data, flags) : D3DERR_INVALIDCALL;
    }
    HRESULT STDMETHODCALLTYPE UnlockIndexBuffer() override { return m_ib->Unlock(); }
    HRESULT STDMETHODCALLTYPE LockAttributeBuffer(DWORD, DWORD** data) override
    {
        if (!data)
            return D3DERR_INVALIDCALL;
        *data = m_attributes.data();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE UnlockAttributeBuffer() override { return S_OK; }

    HRESULT STDMETHODCALLTYPE GenerateAdjacency(FLOAT epsilon, DWORD* adjacency) override
    {
        if (!adjacency)
            return D3DERR_INVALIDCALL;
        std::vector<D3DXVECTOR3> positions;
        std::vector<DWORD> indices;
        HRESULT hr = ReadPositions(&positions);
        if (SUCCEEDED(hr))
            hr = ReadIndices(&indices);
        if (FAILED(hr))
            return hr;
        const std::vector<DWORD> adj = d3dx::GenerateAdjacency(positions, indices, epsilon);
        std::copy(adj.begin(), adj.end(), adjacency);
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE OptimizeInplace(DWORD flags, const DWORD* adjacencyIn, DWORD* adjacencyOut,
                                              DWORD* faceRemap, LPD3DXBUFFER* vertexRemap) override
    {
        std::vector<DWORD> indices;
        std::vector<BYTE> vertices;
        HRESULT hr = ReadIndices(&indices);
        if (SUCCEEDED(hr))
            hr = ReadVertices(&vertices);
        if (FAILED(hr))
            return hr;
        for (DWORD v : indices)
            if (v >= m_vertices)
                return D3DXERR_INVALIDMESH;
        const std::vector<DWORD> adjacency =
            adjacencyIn ? std::vector<DWORD>(adjacencyIn, adjacencyIn + 3 * m_faces) : std::vector<DWORD>();

        // New face order.
        std::vector<DWORD> order(m_faces);
        for (DWORD f = 0; f < m_faces; ++f)
            order[f] = f;
        if (flags & (D3DXMESHOPT_VERTEXCACHE | D3DXMESHOPT_STRIPREORDER))
            order = d3dx::VertexCacheFaceOrder(indices, m_attributes, m_vertices);
        else if (flags & D3DXMESHOPT_ATTRSORT)
            std::stable_sort(order.begin(), order.end(),
                             [this](DWORD a, DWORD b) { return m_attributes[a] < m_attributes[b]; });
        std::vector<DWORD> newIndices, newAttributes, newFaceOf(m_faces);
        for (DWORD nf = 0; nf < m_faces; ++nf)
        {
            const DWORD f = order[nf];
            newFaceOf[f] = nf;
            newIndices.insert(newIndices.end(), indices.begin() + 3 * f, indices.begin() + 3 * f + 3);
            newAttributes.push_back(m_attributes[f]);
        }

        // New vertex order: as the faces first use them.
        std::vector<DWORD> vertexOrder(m_vertices);
        for (DWORD v = 0; v < m_vertices; ++v)
            vertexOrder[v] = v;
        if (!(flags & D3DXMESHOPT_IGNOREVERTS) && (flags & (D3DXMESHOPT_VERTEXCACHE | D3DXMESHOPT_STRIPREORDER)))
            vertexOrder = d3dx::VertexOrderOfFirstUse(newIndices, m_vertices);
        std::vector<DWORD> newVertexOf(m_vertices);
        std::vector<BYTE> newVertices(vertices.size());
        for (DWORD nv = 0; nv < m_vertices; ++nv)
        {
            newVertexOf[vertexOrder[nv]] = nv;
            memcpy(&newVertices[size_t(nv) * m_stride], &vertices[size_t(vertexOrder[nv]) * m_stride], m_stride);
        }
        for (DWORD& v : newIndices)
            v = newVertexOf[v];

        if (vertexRemap)
        {
            *vertexRemap = nullptr;
            hr = D3DXCreateBuffer(m_vertices * sizeof(DWORD), vertexRemap);
            if (FAILED(hr))
                return hr;
            memcpy((*vertexRemap)->GetBufferPointer(), vertexOrder.data(), m_vertices * sizeof(DWORD));
        }
        hr = WriteVertices(newVertices);
        if (SUCCEEDED(hr))
            hr = WriteIndices(newIndices);
        if (FAILED(hr))
            return hr;
        m_attributes = newAttributes;

        if (faceRemap)
            std::copy(order.begin(), order.end(), faceRemap);
        if (adjacencyOut)
        {
            if (adjacency.empty())
                return GenerateAdjacency(0.0f, adjacencyOut);
            for (DWORD nf = 0; nf < m_faces; ++nf)
                for (DWORD e = 0; e < 3; ++e)
                {
                    const DWORD old = adjacency[3 * order[nf] + e];
                    adjacencyOut[3 * nf + e] = old < m_faces ? newFaceOf[old] : d3dx::kNoNeighbour;
                }
        }
        return S_OK;
    }

private:
    bool Wide() const { return (m_options & D3DXMESH_32BIT) != 0; }

    HRESULT ReadVertices(std::vector<BYTE>* out)
    {
        BYTE* data = nullptr;
        const HRESULT hr = m_vb->Lock(0, 0, &data, D3DLOCK_READONLY);
        if (FAILED(hr))
            return hr;
        out->assign(data, data + size_t(m_vertices) * m_stride);
        m_vb->Unlock();
        return S_OK;
    }

    HRESULT WriteVertices(const std::vector<BYTE>& in)
    {
        BYTE* data = nullptr;
        const HRESULT hr = m_vb->Lock(0, 0, &data, 0);
        if (FAILED(hr))
            return hr;
        memcpy(data, in.data(), in.size());
        return m_vb->Unlock();
    }

    HRESULT ReadPositions(std::vector<D3DXVECTOR3>* out)
    {
        if ((m_fvf & D3DFVF_POSITION_MASK) == 0)
            return D3DERR_INVALIDCALL;
        std::vector<BYTE> vertices;
        const HRESULT hr = ReadVertices(&vertices);
        if (FAILED(hr))
            return hr;
        out->resize(m_vertices);
        for (DWORD v = 0; v < m_vertices; ++v)
            memcpy(&(*out)[v], &vertices[size_t(v) * m_stride], sizeof(D3DXVECTOR3));
        return S_OK;
    }

    HRESULT ReadIndices(std::vector<DWORD>* out)
    {
        BYTE* data = nullptr;
        const HRESULT hr = m_ib->Lock(0, 0, &data, D3DLOCK_READONLY);
        if (FAILED(hr))
            return hr;
        out->resize(size_t(m_faces) * 3);
        for (size_t i = 0; i < out->size(); ++i)
        {
            if (Wide())
                memcpy(&(*out)[i], data + 4 * i, 4);
            else
            {
                WORD w;
                memcpy(&w, data + 2 * i, 2);
                (*out)[i] = w;
            }
        }
        m_ib->Unlock();
        return S_OK;
    }

    HRESULT WriteIndices(const std::vector<DWORD>& in)
    {
        BYTE* data = nullptr;
        const HRESULT hr = m_ib->Lock(0, 0, &data, 0);
        if (FAILED(hr))
            return hr;
        for (size_t i = 0; i < in.size(); ++i)
        {
            if (Wide())
                memcpy(data + 4 * i, &in[i], 4);
            else
            {
                const WORD w = WORD(in[i]);
                memcpy(data + 2 * i, &w, 2);
            }
        }
        return m_ib->Unlock();
    }

    LONG m_refs = 1;
    ComRef<IDirect3DDevice8> m_device;
    ComRef<IDirect3DVertexBuffer8> m_vb;
    ComRef<IDirect3DIndexBuffer8> m_ib;
    DWORD m_faces, m_vertices, m_options, m_fvf, m_stride;
    std::vector<DWORD> m_attributes;
};

} // namespace

HRESULT WINAPI D3DXCreateMeshFVF(DWORD numFaces, DWORD numVertices, DWORD options, DWORD fvf,
                                 LPDIRECT3DDEVICE8 device, LPD3DXMESH* mesh)
{
    if (mesh)
        *mesh = nullptr;
    DWORD declaration[MAX_FVF_DECL_SIZE];
    if (!device || !mesh || numFaces == 0 || numVertices == 0 || FAILED(D3DXDeclaratorFromFVF(fvf, declaration)))
        return D3DERR_INVALIDCALL;
    // 16-bit indices reach 65535 vertices; buffers stay well below 2 GB.
    const uint64_t stride = D3DXGetFVFVertexSize(fvf);
    if ((!(options & D3DXMESH_32BIT) && numVertices > 0xffff) || stride == 0 ||
        uint64_t(numVertices) * stride > 0x40000000 || uint64_t(numFaces) * 12 > 0x40000000)
        return D3DERR_INVALIDCALL;
    // The mesh counts its own references: the holder gives the first one back
    // when the buffers cannot be made.
    ComRef<CD3DXMesh> created(new CD3DXMesh(device, numFaces, numVertices, options, fvf));
    const HRESULT hr = created->Init();
    if (FAILED(hr))
        return hr;
    *mesh = created.Detach();
    return S_OK;
}

HRESULT WINAPI D3DXCreateMesh(DWORD numFaces, DWORD numVertices, DWORD options, const DWORD* declaration,
                              LPDIRECT3DDEVICE8 device, LPD3DXMESH* mesh)
{
    if (mesh)
        *mesh = nullptr;
    DWORD fvf = 0;
    if (!declaration || FAILED(D3DXFVFFromDeclarator(declaration, &fvf)))
        return D3DERR_INVALIDCALL;
    return D3DXCreateMeshFVF(numFaces, numVertices, options, fvf, device, mesh);
}
