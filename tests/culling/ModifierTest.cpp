#include "ObjectModifiers.h"

#include "Object.h"

#include <gtest/gtest.h>

#include <cstring>

namespace
{
const float kPi = 3.14159265f;

void ExpectNear(const D3DXVECTOR3& expected, const D3DXVECTOR3& actual, const std::string& what)
{
    EXPECT_NEAR(expected.x, actual.x, 1e-4f) << what;
    EXPECT_NEAR(expected.y, actual.y, 1e-4f) << what;
    EXPECT_NEAR(expected.z, actual.z, 1e-4f) << what;
}

D3DXVECTOR3 Origin(const D3DXMATRIX& m)
{
    return D3DXVECTOR3(m._41, m._42, m._43);
}

D3DXVECTOR3 XAxis(const D3DXMATRIX& m)
{
    return D3DXVECTOR3(m._11, m._12, m._13);
}

class ModifierTest : public ::testing::Test
{
protected:
    void SetUp() override { UseDebugTimer(); } // 0.01 s a frame
};

TEST_F(ModifierTest, RotationTurnsAboutTheAxesOfItsMode)
{
    // A quarter turn about Z in one frame, for an object at (10, 0, 0)
    // whose own X axis is turned to Y.
    const struct
    {
        int mode;
        float speed;
        D3DXVECTOR3 origin, xAxis;
    } cases[] = {
        {0, 50 * kPi, {10, 0, 0}, {-1, 0, 0}}, // own axes: stays in place
        {1, 50 * kPi, {0, 10, 0}, {-1, 0, 0}}, // world axes through the origin
        {2, 50 * kPi, {0, 10, 0}, {-1, 0, 0}}, // parent axes (no parent)
        {1, 0, {10, 0, 0}, {0, 1, 0}},         // no speed: unchanged
        {5, 50 * kPi, {10, 0, 0}, {0, 1, 0}},  // unknown mode: unchanged
    };
    for (const auto& c : cases)
    {
        Object node("fan");
        D3DXMATRIX turn, move, world;
        D3DXMatrixRotationZ(&turn, kPi / 2);
        D3DXMatrixTranslation(&move, 10, 0, 0);
        D3DXMatrixMultiply(&world, &turn, &move);
        node.SetWorldMatrix(world);
        node.SetLocalMatrix(world);
        CRotationModifier modifier;
        modifier.m_Mode = c.mode;
        modifier.m_Speed = c.speed;
        modifier.Apply(&node);
        const std::string what = "mode " + std::to_string(c.mode);
        ExpectNear(c.origin, Origin(node.GetWorldMatrix()), what);
        ExpectNear(c.xAxis, XAxis(node.GetWorldMatrix()), what);
    }
}

TEST_F(ModifierTest, RotationMakesAStaticObjectDynamic)
{
    Object parent("hub"), child("blade");
    parent.AttachChild(&child);
    parent.SetStatic(true);
    child.SetStatic(true);
    CRotationModifier modifier;
    modifier.m_Speed = 1;
    modifier.Apply(&parent);
    EXPECT_FALSE(parent.IsStatic());
    EXPECT_FALSE(child.IsStatic());
}

TEST_F(ModifierTest, LodRangeHidesFromTheSumOfItsDistances)
{
    CLODRange range;
    EXPECT_TRUE(range.IsVisibleAt(29999.0f));
    EXPECT_FALSE(range.IsVisibleAt(30000.0f));
    range.SetDistances(100, 0); // a fade of 0 keeps the old one
    EXPECT_EQ(10000.0f, range.GetFadeDistance());
    EXPECT_TRUE(range.IsVisibleAt(10099.0f));
    EXPECT_FALSE(range.IsVisibleAt(10100.0f));
}

TEST(BlendRecord, KeepsNamedBonesWithNormalisedWeights)
{
    const struct
    {
        float w[3];
        uint8_t bones[4];
        std::vector<int> expectBones;
        std::vector<float> expectWeights;
    } cases[] = {
        {{0.5f, 0.5f, 0}, {3, 255, 255, 255}, {3}, {1}},
        {{0.25f, 0.25f, 0.25f}, {1, 2, 3, 4}, {1, 2, 3, 4}, {0.25f, 0.25f, 0.25f, 0.25f}},
        {{0, 0, 0}, {255, 255, 255, 5}, {5}, {1}},
        {{0.2f, 0.2f, 0.6f}, {7, 255, 8, 9}, {7, 8, 9}, {0.25f, 0.75f, 0}},
        {{0.5f, -0.5f, 0}, {1, 2, 255, 255}, {}, {}}, // zero sum: bind pose
        {{0.1f, 0.2f, 0.3f}, {255, 255, 255, 255}, {}, {}},
    };
    for (const auto& c : cases)
    {
        uint8_t record[16];
        std::memcpy(record, c.w, 12);
        std::memcpy(record + 12, c.bones, 4);
        SkinVertex v;
        ReadBlendRecord(record, &v);
        EXPECT_EQ(c.expectBones, v.bones);
        ASSERT_EQ(c.expectWeights.size(), v.weights.size());
        for (size_t i = 0; i < v.weights.size(); ++i)
            EXPECT_NEAR(c.expectWeights[i], v.weights[i], 1e-6f);
    }
}

// Bones registered at identity, then posed.
class SkeletonTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (int i = 0; i < 3; ++i)
            ASSERT_TRUE(m_Skeleton.RegisterBone(i + 1, &m_Bones[i], "bone"));
    }
    SkinVertex Vertex(std::vector<int> bones, std::vector<float> weights)
    {
        SkinVertex v;
        v.position = D3DXVECTOR3(1, 0, 0);
        v.normal = D3DXVECTOR3(1, 0, 0);
        v.tangent = D3DXVECTOR3(0, 1, 0);
        v.binormal = D3DXVECTOR3(0, 0, 1);
        v.bones = bones;
        v.weights = weights;
        return v;
    }

    Object m_Bones[3];
    CSkeleton m_Skeleton;
};

TEST_F(SkeletonTest, VerticesFollowTheirBonesByWeight)
{
    D3DXMATRIX turn, lift;
    D3DXMatrixRotationZ(&turn, kPi / 2);
    D3DXMatrixTranslation(&lift, 0, 0, 2);
    m_Bones[0].SetWorldMatrix(turn); // bone 1 turns a quarter about Z
    m_Bones[1].SetWorldMatrix(lift); // bone 2 rises by 2; bone 3 stays
    m_Skeleton.UpdateMatrices();
    const struct
    {
        const char* what;
        std::vector<int> bones;
        std::vector<float> weights;
        D3DXVECTOR3 position, normal;
    } cases[] = {
        {"turned bone", {1}, {1}, {0, 1, 0}, {0, 1, 0}},
        {"half lifted", {2, 3}, {0.5f, 0.5f}, {1, 0, 1}, {1, 0, 0}},
        {"missing bone renormalised", {2, 77}, {0.5f, 0.5f}, {1, 0, 2}, {1, 0, 0}},
        {"no bone present", {77}, {1}, {1, 0, 0}, {1, 0, 0}},
        {"no weights", {}, {}, {1, 0, 0}, {1, 0, 0}},
    };
    for (const auto& c : cases)
    {
        SkinVertex out;
        m_Skeleton.Skin(Vertex(c.bones, c.weights), true, &out);
        ExpectNear(c.position, out.position, c.what);
        ExpectNear(c.normal, out.normal, c.what);
    }
    SkinVertex out;
    m_Skeleton.Skin(Vertex({1}, {1}), true, &out);
    ExpectNear(D3DXVECTOR3(-1, 0, 0), out.tangent, "tangent turns");
    m_Skeleton.Skin(Vertex({1}, {1}), false, &out);
    ExpectNear(D3DXVECTOR3(0, 1, 0), out.position, "position only");
    ExpectNear(D3DXVECTOR3(1, 0, 0), out.normal, "normal kept without normal skinning");
}

TEST_F(SkeletonTest, RefusesTakenSlotsAndIndicesOutsideTheTable)
{
    Object other;
    EXPECT_FALSE(m_Skeleton.RegisterBone(2, &other, "again"));
    EXPECT_EQ(&m_Bones[1], m_Skeleton.GetBone(2));
    EXPECT_FALSE(m_Skeleton.RegisterBone(255, &other, "too far"));
    EXPECT_FALSE(m_Skeleton.RegisterBone(70000, &other, "far too far"));
    EXPECT_EQ(nullptr, m_Skeleton.GetBone(255));
}
} // namespace
