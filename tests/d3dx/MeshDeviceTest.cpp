// D3DX meshes in device buffers (under Wine).
#include "d3dx8.h"
#include "DeviceFixture.h"
#include "MeshOps.h"

#include <algorithm>
#include <array>
#include <random>
#include <vector>

namespace
{

class D3DXMeshDevice : public D3DXDevice
{
};

struct Vertex
{
    float x, y, z, nx, ny, nz;
};
constexpr DWORD kFvf = D3DFVF_XYZ | D3DFVF_NORMAL;

// A w x h grid of quads in shuffled face order.
void ShuffledGrid(DWORD w, DWORD h, std::vector<Vertex>* vertices, std::vector<WORD>* indices)
{
    for (DWORD y = 0; y <= h; ++y)
        for (DWORD x = 0; x <= w; ++x)
            vertices->push_back({float(x), float(y), 0, 0, 0, -1});
    std::vector<std::array<WORD, 3>> faces;
    for (DWORD y = 0; y < h; ++y)
        for (DWORD x = 0; x < w; ++x)
        {
            const WORD v = WORD(y * (w + 1) + x);
            faces.push_back({v, WORD(v + w + 1), WORD(v + 1)});
            faces.push_back({WORD(v + 1), WORD(v + w + 1), WORD(v + w + 2)});
        }
    std::mt19937 random(11);
    std::shuffle(faces.begin(), faces.end(), random);
    for (const auto& f : faces)
        indices->insert(indices->end(), f.begin(), f.end());
}

// Each face as its three corner positions, starting at the smallest corner
// (winding kept).
using Corners = std::array<float, 9>;
std::vector<Corners> FacePositions(ID3DXMesh* mesh)
{
    BYTE* vb = nullptr;
    BYTE* ib = nullptr;
    std::vector<Corners> faces;
    if (FAILED(mesh->LockVertexBuffer(D3DLOCK_READONLY, &vb)))
        return faces;
    if (SUCCEEDED(mesh->LockIndexBuffer(D3DLOCK_READONLY, &ib)))
    {
        const Vertex* v = reinterpret_cast<const Vertex*>(vb);
        const WORD* i = reinterpret_cast<const WORD*>(ib);
        for (DWORD f = 0; f < mesh->GetNumFaces(); ++f)
        {
            std::array<std::array<float, 3>, 3> c;
            for (int k = 0; k < 3; ++k)
                c[k] = {v[i[3 * f + k]].x, v[i[3 * f + k]].y, v[i[3 * f + k]].z};
            std::rotate(c.begin(), std::min_element(c.begin(), c.end()), c.end());
            Corners out;
            for (int k = 0; k < 9; ++k)
                out[k] = c[k / 3][k % 3];
            faces.push_back(out);
        }
        mesh->UnlockIndexBuffer();
    }
    mesh->UnlockVertexBuffer();
    return faces;
}

std::vector<DWORD> Indices(ID3DXMesh* mesh)
{
    BYTE* ib = nullptr;
    std::vector<DWORD> out;
    if (SUCCEEDED(mesh->LockIndexBuffer(D3DLOCK_READONLY, &ib)))
    {
        const WORD* i = reinterpret_cast<const WORD*>(ib);
        out.assign(i, i + 3 * mesh->GetNumFaces());
        mesh->UnlockIndexBuffer();
    }
    return out;
}

TEST_F(D3DXMeshDevice, OptimiseInPlaceKeepsTrianglesAndCutsCacheMisses)
{
    std::vector<Vertex> vertices;
    std::vector<WORD> indices;
    ShuffledGrid(24, 16, &vertices, &indices);
    const DWORD faces = DWORD(indices.size() / 3);

    // As the engine makes its meshes: a declaration from the format, a
    // managed mesh, the data copied in.
    DWORD declaration[MAX_FVF_DECL_SIZE];
    ASSERT_EQ(S_OK, D3DXDeclaratorFromFVF(kFvf, declaration));
    ID3DXMesh* mesh = nullptr;
    ASSERT_EQ(S_OK, D3DXCreateMesh(faces, DWORD(vertices.size()), D3DXMESH_MANAGED, declaration, s_device, &mesh));
    EXPECT_EQ(kFvf, mesh->GetFVF());
    EXPECT_EQ(DWORD(vertices.size()), mesh->GetNumVertices());
    BYTE* data = nullptr;
    ASSERT_EQ(S_OK, mesh->LockVertexBuffer(0, &data));
    memcpy(data, vertices.data(), vertices.size() * sizeof(Vertex));
    mesh->UnlockVertexBuffer();
    ASSERT_EQ(S_OK, mesh->LockIndexBuffer(0, &data));
    memcpy(data, indices.data(), indices.size() * sizeof(WORD));
    mesh->UnlockIndexBuffer();

    std::vector<Corners> before = FacePositions(mesh);
    const size_t missesBefore = d3dx::CountCacheMisses(Indices(mesh), 16);
    std::vector<DWORD> adjacency(3 * faces), adjacencyOut(3 * faces), remap(faces);
    ASSERT_EQ(S_OK, mesh->GenerateAdjacency(0.001f, adjacency.data()));
    // Inside the grid every edge has a neighbour: only the border is open.
    EXPECT_EQ(size_t(2 * (24 + 16)), size_t(std::count(adjacency.begin(), adjacency.end(), d3dx::kNoNeighbour)));

    std::vector<Vertex> oldVertices(vertices.size());
    ASSERT_EQ(S_OK, mesh->LockVertexBuffer(D3DLOCK_READONLY, &data));
    memcpy(oldVertices.data(), data, vertices.size() * sizeof(Vertex));
    mesh->UnlockVertexBuffer();
    ID3DXBuffer* vertexRemap = nullptr;
    ASSERT_EQ(S_OK, mesh->OptimizeInplace(D3DXMESHOPT_VERTEXCACHE, adjacency.data(), adjacencyOut.data(),
                                          remap.data(), &vertexRemap));
    // The vertex remap names the old vertex of each new one.
    ASSERT_NE(nullptr, vertexRemap);
    ASSERT_EQ(vertices.size() * sizeof(DWORD), vertexRemap->GetBufferSize());
    const DWORD* oldOf = static_cast<const DWORD*>(vertexRemap->GetBufferPointer());
    ASSERT_EQ(S_OK, mesh->LockVertexBuffer(D3DLOCK_READONLY, &data));
    for (size_t v = 0; v < vertices.size(); ++v)
        EXPECT_EQ(0, memcmp(&oldVertices[oldOf[v]], data + v * sizeof(Vertex), sizeof(Vertex))) << "vertex " << v;
    mesh->UnlockVertexBuffer();
    vertexRemap->Release();
    std::vector<Corners> after = FacePositions(mesh);
    for (DWORD f = 0; f < faces; ++f)
        ASSERT_EQ(before[remap[f]], after[f]) << "new face " << f << " is not old face " << remap[f];
    const size_t missesAfter = d3dx::CountCacheMisses(Indices(mesh), 16);
    EXPECT_LT(missesAfter * 4, missesBefore * 3) << missesBefore << " misses before, " << missesAfter << " after";

    std::vector<DWORD> regenerated(3 * faces);
    ASSERT_EQ(S_OK, mesh->GenerateAdjacency(0.001f, regenerated.data()));
    EXPECT_EQ(regenerated, adjacencyOut);

    std::sort(before.begin(), before.end());
    std::sort(after.begin(), after.end());
    EXPECT_EQ(before, after);

    ASSERT_EQ(S_OK, s_device->BeginScene());
    EXPECT_EQ(S_OK, mesh->DrawSubset(0));
    s_device->EndScene();
    mesh->Release();
}

TEST_F(D3DXMeshDevice, RefusesWhatItCannotHold)
{
    ID3DXMesh* mesh = reinterpret_cast<ID3DXMesh*>(1);
    EXPECT_EQ(D3DERR_INVALIDCALL, D3DXCreateMeshFVF(10, 70000, D3DXMESH_MANAGED, kFvf, s_device, &mesh));
    EXPECT_EQ(nullptr, mesh);
    EXPECT_EQ(D3DERR_INVALIDCALL, D3DXCreateMeshFVF(0, 3, D3DXMESH_MANAGED, kFvf, s_device, &mesh));
    const DWORD bad[] = {D3DVSD_STREAM(0), D3DVSD_SKIP(3), D3DVSD_END()};
    EXPECT_EQ(D3DERR_INVALIDCALL, D3DXCreateMesh(1, 3, D3DXMESH_MANAGED, bad, s_device, &mesh));

    ASSERT_EQ(S_OK, D3DXCreateMeshFVF(1, 3, D3DXMESH_MANAGED | D3DXMESH_32BIT, kFvf, s_device, &mesh));
    BYTE* data = nullptr;
    ASSERT_EQ(S_OK, mesh->LockIndexBuffer(0, &data));
    const DWORD outOfRange[3] = {0, 1, 7};
    memcpy(data, outOfRange, sizeof outOfRange);
    mesh->UnlockIndexBuffer();
    EXPECT_EQ(D3DXERR_INVALIDMESH, mesh->OptimizeInplace(D3DXMESHOPT_VERTEXCACHE, nullptr, nullptr, nullptr, nullptr));
    mesh->Release();
}

} // namespace
