#pragma once
// Our D3DX 8 mesh helpers: vertex-format sizes and declarations (platform-
// free) and, in the Windows build, an indexed triangle mesh in device
// buffers with adjacency and vertex-cache optimisation.
#include "D3D8Types.h"
#include "d3dx8err.h"

#define MAX_FVF_DECL_SIZE 20

// Bytes of one vertex of the flexible vertex format.
UINT WINAPI D3DXGetFVFVertexSize(DWORD fvf);
// The vertex shader declaration (stream 0, one register per element, the
// end token) of a flexible vertex format. D3DERR_INVALIDCALL for formats
// with bits we do not know.
HRESULT WINAPI D3DXDeclaratorFromFVF(DWORD fvf, DWORD declaration[MAX_FVF_DECL_SIZE]);
// The flexible vertex format a declaration stands for, when it is one that
// D3DXDeclaratorFromFVF makes; D3DERR_INVALIDCALL otherwise.
HRESULT WINAPI D3DXFVFFromDeclarator(const DWORD* declaration, DWORD* fvf);

// Mesh options: index size and where the buffers live.
enum _D3DXMESH
{
    D3DXMESH_32BIT = 0x001,
    D3DXMESH_DONOTCLIP = 0x002,
    D3DXMESH_POINTS = 0x004,
    D3DXMESH_RTPATCHES = 0x008,
    D3DXMESH_NPATCHES = 0x4000,
    D3DXMESH_VB_SYSTEMMEM = 0x010,
    D3DXMESH_VB_MANAGED = 0x020,
    D3DXMESH_VB_WRITEONLY = 0x040,
    D3DXMESH_VB_DYNAMIC = 0x080,
    D3DXMESH_VB_SOFTWAREPROCESSING = 0x8000,
    D3DXMESH_IB_SYSTEMMEM = 0x100,
    D3DXMESH_IB_MANAGED = 0x200,
    D3DXMESH_IB_WRITEONLY = 0x400,
    D3DXMESH_IB_DYNAMIC = 0x800,
    D3DXMESH_IB_SOFTWAREPROCESSING = 0x10000,
    D3DXMESH_VB_SHARE = 0x1000,
    D3DXMESH_USEHWONLY = 0x2000,
    D3DXMESH_SYSTEMMEM = 0x110,
    D3DXMESH_MANAGED = 0x220,
    D3DXMESH_WRITEONLY = 0x440,
    D3DXMESH_DYNAMIC = 0x880,
    D3DXMESH_SOFTWAREPROCESSING = 0x18000,
};

// Optimisation flags; vertex-cache ordering includes attribute sorting.
enum _D3DXMESHOPT
{
    D3DXMESHOPT_COMPACT = 0x01000000,
    D3DXMESHOPT_ATTRSORT = 0x02000000,
    D3DXMESHOPT_VERTEXCACHE = 0x04000000,
    D3DXMESHOPT_STRIPREORDER = 0x08000000,
    D3DXMESHOPT_IGNOREVERTS = 0x10000000,
};

#ifdef _WIN32

#include "d3dx8core.h"

// An indexed triangle list in a vertex and an index buffer of the device,
// with one attribute (subset id) per face.
struct ID3DXMesh : public IUnknown
{
    // Draws the faces whose attribute is attribId.
    virtual HRESULT STDMETHODCALLTYPE DrawSubset(DWORD attribId) = 0;
    virtual DWORD STDMETHODCALLTYPE GetNumFaces() = 0;
    virtual DWORD STDMETHODCALLTYPE GetNumVertices() = 0;
    virtual DWORD STDMETHODCALLTYPE GetFVF() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDeclaration(DWORD declaration[MAX_FVF_DECL_SIZE]) = 0;
    virtual DWORD STDMETHODCALLTYPE GetOptions() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDevice(LPDIRECT3DDEVICE8* device) = 0;
    // Each adds a reference for the caller.
    virtual HRESULT STDMETHODCALLTYPE GetVertexBuffer(LPDIRECT3DVERTEXBUFFER8* vertexBuffer) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetIndexBuffer(LPDIRECT3DINDEXBUFFER8* indexBuffer) = 0;
    virtual HRESULT STDMETHODCALLTYPE LockVertexBuffer(DWORD flags, BYTE** data) = 0;
    virtual HRESULT STDMETHODCALLTYPE UnlockVertexBuffer() = 0;
    virtual HRESULT STDMETHODCALLTYPE LockIndexBuffer(DWORD flags, BYTE** data) = 0;
    virtual HRESULT STDMETHODCALLTYPE UnlockIndexBuffer() = 0;
    virtual HRESULT STDMETHODCALLTYPE LockAttributeBuffer(DWORD flags, DWORD** data) = 0;
    virtual HRESULT STDMETHODCALLTYPE UnlockAttributeBuffer() = 0;
    // Three entries per face: the face across each edge (vertex 0-1, 1-2,
    // 2-0), or 0xFFFFFFFF. Vertices whose positions differ by at most
    // epsilon in each coordinate count as one.
    virtual HRESULT STDMETHODCALLTYPE GenerateAdjacency(FLOAT epsilon, DWORD* adjacency) = 0;
    // Reorders faces (and the vertices in order of first use) in place.
    // adjacencyIn may be null; adjacencyOut gets the adjacency of the new
    // order, faceRemap the old face of each new face, vertexRemap a new
    // buffer with the old vertex of each new vertex.
    virtual HRESULT STDMETHODCALLTYPE OptimizeInplace(DWORD flags, const DWORD* adjacencyIn, DWORD* adjacencyOut,
                                                      DWORD* faceRemap, LPD3DXBUFFER* vertexRemap) = 0;
};
typedef ID3DXMesh* LPD3DXMESH;

HRESULT WINAPI D3DXCreateMesh(DWORD numFaces, DWORD numVertices, DWORD options, const DWORD* declaration,
                              LPDIRECT3DDEVICE8 device, LPD3DXMESH* mesh);
HRESULT WINAPI D3DXCreateMeshFVF(DWORD numFaces, DWORD numVertices, DWORD options, DWORD fvf,
                                 LPDIRECT3DDEVICE8 device, LPD3DXMESH* mesh);

#endif
