#include "MeshOps.h"
#include "d3dx8mesh.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>

using namespace d3dx;

namespace
{

TEST(D3DXFvf, VertexSizesAndDeclarations)
{
    const struct
    {
        DWORD fvf;
        UINT size;
        std::vector<DWORD> declaration; // without the stream and end tokens
    } cases[] = {
        {D3DFVF_XYZ, 12, {D3DVSD_REG(D3DVSDE_POSITION, D3DVSDT_FLOAT3)}},
        {D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1, 32,
         {D3DVSD_REG(D3DVSDE_POSITION, D3DVSDT_FLOAT3), D3DVSD_REG(D3DVSDE_NORMAL, D3DVSDT_FLOAT3),
          D3DVSD_REG(D3DVSDE_TEXCOORD0, D3DVSDT_FLOAT2)}},
        {D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1, 28,
         {D3DVSD_REG(D3DVSDE_POSITION, D3DVSDT_FLOAT4), D3DVSD_REG(D3DVSDE_DIFFUSE, D3DVSDT_D3DCOLOR),
          D3DVSD_REG(D3DVSDE_TEXCOORD0, D3DVSDT_FLOAT2)}},
        {D3DFVF_XYZB2 | D3DFVF_NORMAL, 32,
         {D3DVSD_REG(D3DVSDE_POSITION, D3DVSDT_FLOAT3), D3DVSD_REG(D3DVSDE_BLENDWEIGHT, D3DVSDT_FLOAT2),
          D3DVSD_REG(D3DVSDE_NORMAL, D3DVSDT_FLOAT3)}},
        {D3DFVF_XYZB3 | D3DFVF_LASTBETA_UBYTE4, 24,
         {D3DVSD_REG(D3DVSDE_POSITION, D3DVSDT_FLOAT3), D3DVSD_REG(D3DVSDE_BLENDWEIGHT, D3DVSDT_FLOAT2),
          D3DVSD_REG(D3DVSDE_BLENDINDICES, D3DVSDT_UBYTE4)}},
        {D3DFVF_XYZ | D3DFVF_PSIZE | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX2 | D3DFVF_TEXCOORDSIZE3(1), 44,
         {D3DVSD_REG(D3DVSDE_POSITION, D3DVSDT_FLOAT3), D3DVSD_REG(D3DVSDE_PSIZE, D3DVSDT_FLOAT1),
          D3DVSD_REG(D3DVSDE_DIFFUSE, D3DVSDT_D3DCOLOR), D3DVSD_REG(D3DVSDE_SPECULAR, D3DVSDT_D3DCOLOR),
          D3DVSD_REG(D3DVSDE_TEXCOORD0, D3DVSDT_FLOAT2), D3DVSD_REG(D3DVSDE_TEXCOORD0 + 1, D3DVSDT_FLOAT3)}},
        {D3DFVF_XYZ | D3DFVF_TEX3 | D3DFVF_TEXCOORDSIZE1(0) | D3DFVF_TEXCOORDSIZE4(2), 12 + 4 + 8 + 16,
         {D3DVSD_REG(D3DVSDE_POSITION, D3DVSDT_FLOAT3), D3DVSD_REG(D3DVSDE_TEXCOORD0, D3DVSDT_FLOAT1),
          D3DVSD_REG(D3DVSDE_TEXCOORD0 + 1, D3DVSDT_FLOAT2), D3DVSD_REG(D3DVSDE_TEXCOORD0 + 2, D3DVSDT_FLOAT4)}},
    };
    for (const auto& c : cases)
    {
        EXPECT_EQ(c.size, D3DXGetFVFVertexSize(c.fvf)) << std::hex << c.fvf;
        DWORD decl[MAX_FVF_DECL_SIZE];
        ASSERT_EQ(S_OK, D3DXDeclaratorFromFVF(c.fvf, decl)) << std::hex << c.fvf;
        std::vector<DWORD> expected = {D3DVSD_STREAM(0)};
        expected.insert(expected.end(), c.declaration.begin(), c.declaration.end());
        expected.push_back(D3DVSD_END());
        EXPECT_EQ(expected, std::vector<DWORD>(decl, decl + expected.size())) << std::hex << c.fvf;
        DWORD back = 0;
        ASSERT_EQ(S_OK, D3DXFVFFromDeclarator(decl, &back));
        EXPECT_EQ(c.fvf, back);
    }
    DWORD decl[MAX_FVF_DECL_SIZE];
    EXPECT_EQ(D3DERR_INVALIDCALL, D3DXDeclaratorFromFVF(D3DFVF_RESERVED0 | D3DFVF_XYZ, decl));
    const DWORD skip[] = {D3DVSD_STREAM(0), D3DVSD_REG(D3DVSDE_POSITION, D3DVSDT_FLOAT3), D3DVSD_SKIP(2), D3DVSD_END()};
    DWORD fvf;
    EXPECT_EQ(D3DERR_INVALIDCALL, D3DXFVFFromDeclarator(skip, &fvf));
}

// A tetrahedron; with split, every face has its own three vertices, those
// of face f moved by (f + 1) x jitter, so that copies of a corner lie 1 to 3
// jitters apart.
void Tetrahedron(bool split, float jitter, std::vector<D3DXVECTOR3>* positions, std::vector<DWORD>* indices)
{
    const D3DXVECTOR3 corners[4] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    const DWORD faces[12] = {0, 1, 2, 0, 3, 1, 1, 3, 2, 2, 3, 0};
    positions->clear();
    indices->clear();
    if (!split)
    {
        positions->assign(corners, corners + 4);
        indices->assign(faces, faces + 12);
        return;
    }
    for (int i = 0; i < 12; ++i)
    {
        const float d = jitter * float(i / 3 + 1);
        positions->push_back(corners[faces[i]] + D3DXVECTOR3(d, -d, d));
        indices->push_back(DWORD(i));
    }
}

TEST(D3DXMeshOps, TetrahedronAdjacency)
{
    const std::vector<DWORD> expected = {1, 2, 3, 3, 2, 0, 1, 3, 0, 2, 1, 0};
    const std::vector<DWORD> open(12, kNoNeighbour);
    const struct
    {
        bool split;
        float jitter, epsilon;
        const std::vector<DWORD>& result;
    } cases[] = {
        {false, 0, 0, expected},
        {true, 0, 0, expected},           // equal positions are one point
        {true, 3e-4f, 1e-3f, expected},   // within epsilon
        {true, 3e-4f, 1e-4f, open},       // beyond it
    };
    for (const auto& c : cases)
    {
        std::vector<D3DXVECTOR3> positions;
        std::vector<DWORD> indices;
        Tetrahedron(c.split, c.jitter, &positions, &indices);
        EXPECT_EQ(c.result, GenerateAdjacency(positions, indices, c.epsilon))
            << "split " << c.split << ", epsilon " << c.epsilon;
    }
}

TEST(D3DXMeshOps, ClosedCubeWithSplitVerticesIsFullyConnected)
{
    // Six faces of four vertices each, two triangles per face, outward.
    std::vector<D3DXVECTOR3> positions;
    std::vector<DWORD> indices;
    for (int axis = 0; axis < 3; ++axis)
        for (int side = 0; side < 2; ++side)
        {
            const DWORD base = DWORD(positions.size());
            for (int k = 0; k < 4; ++k)
            {
                float p[3];
                p[axis] = float(side);
                p[(axis + 1) % 3] = float(k == 1 || k == 2);
                p[(axis + 2) % 3] = float(k >= 2);
                positions.emplace_back(p[0], p[1], p[2]);
            }
            const DWORD quad[2][6] = {{0, 1, 2, 0, 2, 3}, {0, 2, 1, 0, 3, 2}};
            for (DWORD i : quad[side])
                indices.push_back(base + i);
        }
    const std::vector<DWORD> adj = GenerateAdjacency(positions, indices, 0.001f);
    for (size_t f = 0; f < 12; ++f)
        for (size_t e = 0; e < 3; ++e)
        {
            const DWORD g = adj[3 * f + e];
            ASSERT_LT(g, 12u) << "face " << f << " edge " << e << " open";
            EXPECT_NE(g, f);
            // g lists f back, across an edge with the same two corners.
            const auto back = std::find(adj.begin() + 3 * g, adj.begin() + 3 * g + 3, DWORD(f));
            ASSERT_NE(adj.begin() + 3 * g + 3, back);
            const size_t ge = size_t(back - (adj.begin() + 3 * g));
            EXPECT_EQ(positions[indices[3 * f + e]], positions[indices[3 * g + (ge + 1) % 3]]);
            EXPECT_EQ(positions[indices[3 * f + (e + 1) % 3]], positions[indices[3 * g + ge]]);
        }
}

std::vector<DWORD> Grid(DWORD w, DWORD h)
{
    std::vector<DWORD> indices;
    for (DWORD y = 0; y < h; ++y)
        for (DWORD x = 0; x < w; ++x)
        {
            const DWORD v = y * (w + 1) + x;
            for (DWORD i : {v, v + w + 1, v + 1, v + 1, v + w + 1, v + w + 2})
                indices.push_back(i);
        }
    return indices;
}

std::vector<std::array<DWORD, 3>> Triangles(const std::vector<DWORD>& indices)
{
    std::vector<std::array<DWORD, 3>> t;
    for (size_t i = 0; i < indices.size(); i += 3)
        t.push_back({indices[i], indices[i + 1], indices[i + 2]});
    std::sort(t.begin(), t.end());
    return t;
}

TEST(D3DXMeshOps, VertexCacheOrderKeepsTrianglesAndCutsMisses)
{
    const DWORD w = 40, h = 30, vertices = (w + 1) * (h + 1), faces = 2 * w * h;
    std::vector<DWORD> rowMajor = Grid(w, h), shuffled;
    std::vector<DWORD> order(faces);
    for (DWORD i = 0; i < faces; ++i)
        order[i] = i;
    std::mt19937 random(7);
    std::shuffle(order.begin(), order.end(), random);
    for (DWORD f : order)
        shuffled.insert(shuffled.end(), rowMajor.begin() + 3 * f, rowMajor.begin() + 3 * f + 3);

    for (const std::vector<DWORD>* input : {&rowMajor, &shuffled})
    {
        const std::vector<DWORD> faceOrder = VertexCacheFaceOrder(*input, {}, vertices);
        ASSERT_EQ(faces, faceOrder.size());
        std::vector<DWORD> output;
        for (DWORD f : faceOrder)
            output.insert(output.end(), input->begin() + 3 * f, input->begin() + 3 * f + 3);
        EXPECT_EQ(Triangles(*input), Triangles(output));
        const size_t before = CountCacheMisses(*input, 16), after = CountCacheMisses(output, 16);
        EXPECT_LT(after, before);
        // A grid can get close to one miss per two triangles.
        EXPECT_LT(double(after) / faces, 0.75) << "misses before " << before << ", after " << after;
    }
}

TEST(D3DXMeshOps, AttributeGroupsStayTogetherInOrder)
{
    const std::vector<DWORD> indices = Grid(4, 4);
    std::vector<DWORD> attributes(32);
    for (DWORD f = 0; f < 32; ++f)
        attributes[f] = (f * 7) % 3;
    const std::vector<DWORD> order = VertexCacheFaceOrder(indices, attributes, 25);
    ASSERT_EQ(32u, order.size());
    for (size_t i = 1; i < order.size(); ++i)
        EXPECT_LE(attributes[order[i - 1]], attributes[order[i]]);
}

TEST(D3DXMeshOps, DegenerateFacesAndBadIndicesAreSurvived)
{
    const std::vector<DWORD> degenerate = {0, 0, 1, 1, 2, 3, 2, 2, 2};
    EXPECT_EQ(3u, VertexCacheFaceOrder(degenerate, {}, 4).size());
    const std::vector<DWORD> bad = {0, 1, 9};
    EXPECT_EQ(std::vector<DWORD>{0}, VertexCacheFaceOrder(bad, {}, 3));
    EXPECT_EQ((std::vector<DWORD>{3, 1, 0, 2}), VertexOrderOfFirstUse({3, 1, 0}, 4));
}

} // namespace
