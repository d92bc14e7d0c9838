#include "MeshMender.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
MeshMenderVertex V(float x, float y, float s, float t)
{
    MeshMenderVertex v;
    v.pos = D3DXVECTOR3(x, y, 0);
    v.normal = D3DXVECTOR3(0, 0, 1);
    v.s = s;
    v.t = t;
    return v;
}

float Dot(const D3DXVECTOR3& a, const D3DXVECTOR3& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

D3DXVECTOR3 Unit(float x, float y)
{
    const float l = std::sqrt(x * x + y * y);
    return D3DXVECTOR3(x / l, y / l, 0);
}

void ExpectNear(const D3DXVECTOR3& expected, const D3DXVECTOR3& actual, const char* what)
{
    EXPECT_NEAR(expected.x, actual.x, 1e-4f) << what;
    EXPECT_NEAR(expected.y, actual.y, 1e-4f) << what;
    EXPECT_NEAR(expected.z, actual.z, 1e-4f) << what;
}

struct MendResult
{
    std::vector<MeshMenderVertex> vertices;
    std::vector<uint32_t> indices;
    std::vector<uint32_t> mapping;
};

MendResult Mend(const std::vector<MeshMenderVertex>& vertices, const std::vector<uint32_t>& indices)
{
    MendResult r{vertices, indices, {}};
    MeshMender mender;
    EXPECT_TRUE(mender.Run(r.vertices, r.indices, r.mapping, 0, 0, 0, 1));
    return r;
}

// Whatever the mend split, every output vertex is its input vertex apart
// from the frame, and every triangle still names the same input corners.
void ExpectFaithful(const std::vector<MeshMenderVertex>& in, const std::vector<uint32_t>& inIndices,
                    const MendResult& out)
{
    ASSERT_EQ(out.vertices.size(), out.mapping.size());
    ASSERT_EQ(inIndices.size(), out.indices.size());
    for (size_t i = 0; i < out.vertices.size(); ++i)
    {
        ASSERT_LT(out.mapping[i], in.size());
        if (i < in.size())
        {
            EXPECT_EQ(i, out.mapping[i]);
        }
        const MeshMenderVertex& a = out.vertices[i];
        const MeshMenderVertex& b = in[out.mapping[i]];
        EXPECT_TRUE(a.pos == b.pos && a.normal == b.normal && a.s == b.s && a.t == b.t) << "vertex " << i;
    }
    for (size_t i = 0; i < inIndices.size(); ++i)
        EXPECT_EQ(inIndices[i], out.mapping[out.indices[i]]) << "corner " << i;
}

TEST(MeshMender, UnitSquareKeepsItsVerticesAndGetsTheTextureAxes)
{
    const std::vector<MeshMenderVertex> in = {V(0, 0, 0, 0), V(1, 0, 1, 0), V(1, 1, 1, 1), V(0, 1, 0, 1)};
    const std::vector<uint32_t> indices = {0, 1, 2, 0, 2, 3};
    const MendResult out = Mend(in, indices);
    ExpectFaithful(in, indices, out);
    ASSERT_EQ(4u, out.vertices.size());
    EXPECT_EQ(indices, out.indices);
    for (const MeshMenderVertex& v : out.vertices)
    {
        ExpectNear(D3DXVECTOR3(1, 0, 0), v.tangent, "tangent");
        ExpectNear(D3DXVECTOR3(0, 1, 0), v.binormal, "binormal");
    }
}

// Two triangles over a shared edge through the same two vertex indices.
// Triangle A has the frame T = (1, 0), B = (0, 1); triangle B turns one of
// the two vectors by the case's angle. The shared edge runs along the vector
// that both keep, so the shared corners' coordinates suit both triangles.
struct SplitCase
{
    const char* name;
    bool turnTangent; // else the binormal turns
    float degrees;
    size_t added; // copies split off the two shared vertices
};

void PrintTo(const SplitCase& c, std::ostream* os)
{
    *os << c.name;
}

class MeshMenderSplit : public ::testing::TestWithParam<SplitCase>
{
};

TEST_P(MeshMenderSplit, SplitsSharedVerticesOnlyWhereFramesDisagree)
{
    const SplitCase& c = GetParam();
    const float a = c.degrees * 3.14159265f / 180.0f;
    const D3DXVECTOR3 turned(std::cos(a), std::sin(a), 0);
    const D3DXVECTOR3 ta(1, 0, 0), ba(0, 1, 0);
    const D3DXVECTOR3 tb = c.turnTangent ? turned : ta;
    const D3DXVECTOR3 bb = c.turnTangent ? ba : D3DXVECTOR3(-turned.y, turned.x, 0);
    auto at = [](const D3DXVECTOR3& t, const D3DXVECTOR3& b, float s, float u) {
        const D3DXVECTOR3 p = t * s + b * u;
        return V(p.x, p.y, s, u);
    };
    // Shared corners: uv (0, 0) and one unit along the kept vector.
    const float s1 = c.turnTangent ? 0.0f : 1.0f, t1 = c.turnTangent ? 1.0f : 0.0f;
    const float s2 = c.turnTangent ? 1.0f : 0.5f, t2 = c.turnTangent ? 0.5f : 1.0f;
    const std::vector<MeshMenderVertex> in = {at(ta, ba, 0, 0), at(ta, ba, s1, t1), at(ta, ba, s2, t2),
                                              at(tb, bb, s2, t2)};
    const std::vector<uint32_t> indices = {0, 1, 2, 1, 0, 3};
    const MendResult out = Mend(in, indices);
    ExpectFaithful(in, indices, out);
    ASSERT_EQ(in.size() + c.added, out.vertices.size());
    for (size_t i = in.size(); i < out.vertices.size(); ++i)
        EXPECT_LT(out.mapping[i], 2u) << "only the shared vertices split";
    if (!c.turnTangent)
        return;
    D3DXVECTOR3 mean = ta + tb;
    mean = Unit(mean.x, mean.y);
    for (int tri = 0; tri < 2; ++tri)
        for (int k = 0; k < 3; ++k)
        {
            const MeshMenderVertex& v = out.vertices[out.indices[tri * 3 + k]];
            const bool shared = out.mapping[out.indices[tri * 3 + k]] < 2;
            const D3DXVECTOR3 own = tri == 0 ? ta : tb;
            ExpectNear(shared && c.added == 0 ? mean : own, v.tangent, c.name);
        }
}

INSTANTIATE_TEST_SUITE_P(Cases, MeshMenderSplit,
                         ::testing::Values(SplitCase{"Tangents120", true, 120, 2},
                                           SplitCase{"Tangents80", true, 80, 0},
                                           SplitCase{"MirroredSeam", true, 180, 2},
                                           SplitCase{"Binormals120", false, 120, 2},
                                           SplitCase{"Binormals80", false, 80, 0}),
                         [](const ::testing::TestParamInfo<SplitCase>& i) { return std::string(i.param.name); });

TEST(MeshMender, EachCheckerComparesItsOwnKindOfVector)
{
    // Same normals (one of them long), opposite tangents, binormals at 60
    // degrees.
    MeshMenderTriangle a, b;
    a.normal = D3DXVECTOR3(5, 0, 0);
    b.normal = D3DXVECTOR3(1, 0.1f, 0);
    a.tangent = D3DXVECTOR3(0, 1, 0);
    b.tangent = D3DXVECTOR3(0, -2, 0);
    a.binormal = D3DXVECTOR3(0, 0, 1);
    b.binormal = D3DXVECTOR3(0, 0.8660254f, 0.5f);
    const MeshMender::CanSmoothNormalsChecker normals;
    const MeshMender::CanSmoothTangentsChecker tangents;
    const MeshMender::CanSmoothBinormalsChecker binormals;
    const struct
    {
        const MeshMender::CanSmoothChecker* checker;
        const char* what;
        float threshold;
        bool smooth;
    } cases[] = {
        {&normals, "normals, compared as unit vectors", 0.99f, true},
        {&tangents, "opposite tangents", 0, false},
        {&tangents, "opposite tangents, any angle allowed", -1, true},
        {&binormals, "binormals 60 degrees apart", 0.49f, true},
        {&binormals, "binormals 60 degrees apart, closer asked", 0.51f, false},
    };
    for (const auto& c : cases)
    {
        EXPECT_EQ(c.smooth, c.checker->Check(a, b, c.threshold)) << c.what;
        EXPECT_EQ(c.smooth, c.checker->Check(b, a, c.threshold)) << c.what << ", the other way round";
    }
    // Two zero vectors may always be smoothed together, one alone never.
    MeshMenderTriangle z1, z2;
    EXPECT_TRUE(tangents.Check(z1, z2, 0.9f));
    EXPECT_FALSE(tangents.Check(z1, a, 0.9f));
}

TEST(MeshMender, HardEdgeByPositionSmoothsBothVerticesAlike)
{
    // The same two triangles as above at 60 degrees, but the shared edge is
    // made of separate vertices at equal positions.
    const float a = 60 * 3.14159265f / 180.0f;
    const std::vector<MeshMenderVertex> in = {V(0, 0, 0, 0), V(0, 1, 0, 1), V(1, 0.5f, 1, 0.5f),
                                              V(0, 0, 0, 0), V(0, 1, 0, 1),
                                              V(std::cos(a), std::sin(a) + 0.5f, 1, 0.5f)};
    const std::vector<uint32_t> indices = {0, 1, 2, 4, 3, 5};
    const MendResult out = Mend(in, indices);
    ExpectFaithful(in, indices, out);
    ASSERT_EQ(in.size(), out.vertices.size());
    const D3DXVECTOR3 mean = Unit(1 + std::cos(a), std::sin(a));
    for (uint32_t v : {0u, 1u, 3u, 4u})
        ExpectNear(mean, out.vertices[v].tangent, "shared position");
}

TEST(MeshMender, DegenerateMappingAndUnusedVerticesGetAFrameFromTheNormal)
{
    std::vector<MeshMenderVertex> in = {V(0, 0, 0.5f, 0.5f), V(1, 0, 0.5f, 0.5f), V(0, 1, 0.5f, 0.5f),
                                        V(5, 5, 0, 0)};
    in[3].tangent = D3DXVECTOR3(2, 0, 3); // unused: only orthogonalised
    in[3].binormal = D3DXVECTOR3(0, 4, 0);
    const MendResult out = Mend(in, {0, 1, 2});
    for (int i = 0; i < 3; ++i)
    {
        const MeshMenderVertex& v = out.vertices[i];
        EXPECT_NEAR(1.0f, std::sqrt(Dot(v.tangent, v.tangent)), 1e-5f);
        EXPECT_NEAR(1.0f, std::sqrt(Dot(v.binormal, v.binormal)), 1e-5f);
        EXPECT_NEAR(0.0f, Dot(v.tangent, v.normal), 1e-5f);
        EXPECT_NEAR(0.0f, Dot(v.binormal, v.normal), 1e-5f);
        EXPECT_NEAR(0.0f, Dot(v.tangent, v.binormal), 1e-5f);
    }
    ExpectNear(D3DXVECTOR3(1, 0, 0), out.vertices[3].tangent, "unused tangent");
    ExpectNear(D3DXVECTOR3(0, 1, 0), out.vertices[3].binormal, "unused binormal");
}

TEST(MeshMender, RunsAreRepeatable)
{
    // A strip whose texture is mirrored halfway along, so that splits happen.
    std::vector<MeshMenderVertex> in;
    std::vector<uint32_t> indices;
    for (int i = 0; i < 6; ++i)
    {
        const float x = float(i), s = i < 3 ? x : 6 - x;
        in.push_back(V(x, 0, s, 0));
        in.push_back(V(x, 1, s, 1));
    }
    for (uint32_t i = 0; i + 1 < 6; ++i)
        indices.insert(indices.end(), {2 * i, 2 * i + 2, 2 * i + 1, 2 * i + 1, 2 * i + 2, 2 * i + 3});
    const MendResult a = Mend(in, indices);
    const MendResult b = Mend(in, indices);
    ExpectFaithful(in, indices, a);
    EXPECT_GT(a.vertices.size(), in.size());
    EXPECT_EQ(a.indices, b.indices);
    EXPECT_EQ(a.mapping, b.mapping);
    ASSERT_EQ(a.vertices.size(), b.vertices.size());
    for (size_t i = 0; i < a.vertices.size(); ++i)
        EXPECT_TRUE(a.vertices[i].tangent == b.vertices[i].tangent &&
                    a.vertices[i].binormal == b.vertices[i].binormal);
}

TEST(MeshMender, RefusesIndicesOutsideTheVertexList)
{
    for (const std::vector<uint32_t>& indices : {std::vector<uint32_t>{0, 1, 3}, std::vector<uint32_t>{0, 1}})
    {
        std::vector<MeshMenderVertex> vertices = {V(0, 0, 0, 0), V(1, 0, 1, 0), V(0, 1, 0, 1)};
        std::vector<uint32_t> work = indices, mapping;
        MeshMender mender;
        EXPECT_FALSE(mender.Run(vertices, work, mapping));
        EXPECT_EQ(3u, vertices.size());
        EXPECT_EQ(indices, work);
        EXPECT_TRUE(mapping.empty());
    }
}
} // namespace

namespace
{
TEST(MenderSourceOffsets, RequiresANormalAndTheCoordinateSet)
{
    const struct
    {
        const char* what;
        uint32_t fvf, set;
        bool ok;
        uint32_t texOffset;
    } cases[] = {
        {"position, normal, one set", 0x112, 0, true, 24},
        {"second set asked, only one", 0x112, 1, false, 0},
        {"two sets, the second", 0x212, 1, true, 32},
        {"diffuse colour before the sets", 0x152, 0, true, 28},
        {"first set of three floats", 0x10212, 1, true, 36},
        {"set of one float", 0x30112, 0, false, 0},
        {"no normal", 0x102, 0, false, 0},
        {"pre-transformed position", 0x114, 0, false, 0},
        {"no sets", 0x012, 0, false, 0},
    };
    for (const auto& c : cases)
    {
        uint32_t normal = 0, tex = 0;
        EXPECT_EQ(c.ok, MenderSourceOffsets(c.fvf, c.set, &normal, &tex)) << c.what;
        if (c.ok)
        {
            EXPECT_EQ(12u, normal) << c.what;
            EXPECT_EQ(c.texOffset, tex) << c.what;
        }
    }
}

TEST(MendFitsIndex16, RefusesWhatSixteenBitIndicesCannotName)
{
    std::vector<uint32_t> identity(65535);
    for (uint32_t i = 0; i < identity.size(); ++i)
        identity[i] = i % 10;
    std::vector<uint32_t> tooMany = identity;
    tooMany.push_back(0);
    const std::vector<uint32_t> triangle = {0, 1, 65534};
    EXPECT_TRUE(MendFitsIndex16(identity, triangle, 10));
    EXPECT_FALSE(MendFitsIndex16(tooMany, triangle, 10)) << "65536 vertices would wrap";
    EXPECT_FALSE(MendFitsIndex16({}, {}, 10));
    EXPECT_FALSE(MendFitsIndex16({0, 1, 2}, {0, 1, 3}, 10)) << "index past the mapping";
    EXPECT_FALSE(MendFitsIndex16({0, 1, 12}, {0, 1, 2}, 10)) << "mapping past the input";
    EXPECT_FALSE(MendFitsIndex16({0, 1, 2}, {0, 1}, 10)) << "not whole triangles";
}
} // namespace

TEST(MeshMender, TextureWrapRepairCopiesTheLowCornerOfALongEdge)
{
    struct Case
    {
        const char* what;
        float s[3], t[3];
        size_t vertexCount;                  // after the repair
        float expectS[3], expectT[3];        // of the triangle's corners after it
    };
    const Case cases[] = {
        {"no edge wraps", {0.1f, 0.3f, 0.5f}, {0.5f, 0.5f, 0.5f}, 3, {0.1f, 0.3f, 0.5f}, {0.5f, 0.5f, 0.5f}},
        {"one edge in s", {0.1f, 0.9f, 0.5f}, {0.5f, 0.5f, 0.5f}, 4, {1.1f, 0.9f, 0.5f}, {0.5f, 0.5f, 0.5f}},
        {"a copied corner only gains another 1", {0.1f, 0.9f, 0.95f}, {0.1f, 0.1f, 0.9f}, 5,
         {1.1f, 0.9f, 0.95f}, {1.1f, 1.1f, 0.9f}},
        {"values outside [0, 1] are left", {-0.2f, 0.9f, 0.5f}, {0.5f, 0.5f, 1.4f}, 3,
         {-0.2f, 0.9f, 0.5f}, {0.5f, 0.5f, 1.4f}},
    };
    for (const Case& c : cases)
    {
        std::vector<MeshMenderVertex> vertices;
        for (int i = 0; i < 3; ++i)
            vertices.push_back(V(float(i), float(i * i), c.s[i], c.t[i]));
        std::vector<uint32_t> indices = {0, 1, 2}, mapping;
        MeshMender().FixTextureWrap(vertices, indices, mapping);
        ASSERT_EQ(vertices.size(), c.vertexCount) << c.what;
        ASSERT_EQ(mapping.size(), c.vertexCount) << c.what;
        for (int i = 0; i < 3; ++i)
        {
            const MeshMenderVertex& v = vertices[indices[i]];
            EXPECT_NEAR(v.s, c.expectS[i], 1e-6f) << c.what << ", corner " << i;
            EXPECT_NEAR(v.t, c.expectT[i], 1e-6f) << c.what << ", corner " << i;
            EXPECT_EQ(mapping[indices[i]], uint32_t(i)) << c.what << ": a copy maps to its original";
            EXPECT_EQ(v.pos, vertices[i].pos) << c.what;
        }
    }
}
