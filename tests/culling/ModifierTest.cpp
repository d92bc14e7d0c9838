#include "ObjectModifiers.h"

#include "Object.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
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

TEST(RestVertices, WeighByDistanceFromThePivot)
{
    const std::vector<D3DXVECTOR3> positions = {{0, 0, 0}, {3, 4, 0}, {0, 0, 10}};
    const struct
    {
        int power;
        float weights[3];
    } cases[] = {{1, {0, 0.5f, 1}}, {2, {0, 0.25f, 1}}};
    for (const auto& c : cases)
    {
        const std::vector<RestVertex> rest = MakeRestVertices(positions, c.power);
        ASSERT_EQ(3u, rest.size());
        for (int i = 0; i < 3; ++i)
            EXPECT_FLOAT_EQ(c.weights[i], rest[i].weight) << "power " << c.power << ", vertex " << i;
        EXPECT_FLOAT_EQ(5, rest[1].distance);
    }
    // Everything on the pivot: no motion, not a division by zero.
    for (const RestVertex& r : MakeRestVertices({{0, 0, 0}, {0, 0, 0}}, 1))
        EXPECT_EQ(0.0f, r.weight);
}

TEST(VertexWave, FadesWithDistanceAndStopsBeyondTheEnd)
{
    CVertexWave wave;
    EXPECT_EQ(1.0f, wave.GetFade(1e6f)); // no distance fade
    wave.m_bDistanceFade = true;
    wave.m_FadeStart = 100;
    wave.m_FadeEnd = 200;
    const struct
    {
        float distance, fade;
    } cases[] = {{0, 1}, {99, 1}, {150, 0.5f}, {175, 0.25f}};
    for (const auto& c : cases)
        EXPECT_FLOAT_EQ(c.fade, wave.GetFade(c.distance)) << c.distance;
    EXPECT_LT(wave.GetFade(200), 0.0f);
    EXPECT_LT(wave.GetFade(5000), 0.0f);
    wave.m_FadeEnd = 100; // no band between start and end
    EXPECT_EQ(1.0f, wave.GetFade(99));
    EXPECT_LT(wave.GetFade(100), 0.0f);
}

TEST(VertexWave, EachAxisFollowsTheNoiseOfTheOtherTwo)
{
    CVertexWave wave;
    wave.m_Frequency = 0.37f;
    wave.m_TimeScale = 0.8f;
    wave.m_Amplitude = D3DXVECTOR3(0.5f, 2, 0);
    // Pairs that share y and z, or x and z.
    wave.SetUp({{{1, 2, 3}, {4, 2, 3}, {1, 5, 3}, {0, 0, 0}}});
    const std::vector<RestVertex>& rest = wave.GetRest()[0];
    std::vector<D3DXVECTOR3> at0, at1;
    wave.Wave(rest, 0.3f, 1, &at0);
    wave.Wave(rest, 1.7f, 1, &at1);
    ASSERT_EQ(4u, at0.size());
    bool moved = false;
    for (size_t i = 0; i < 4; ++i)
    {
        const D3DXVECTOR3 d = at0[i] - rest[i].position;
        EXPECT_LE(std::fabs(d.x), 0.5f * 1.05f);
        EXPECT_LE(std::fabs(d.y), 2.0f * 1.05f);
        EXPECT_EQ(rest[i].position.z, at0[i].z) << "no amplitude along z";
        moved = moved || std::fabs(at1[i].x - at0[i].x) > 1e-3f;
    }
    EXPECT_TRUE(moved) << "the field drifts with time";
    EXPECT_NE(at0[0].x, rest[0].position.x);
    EXPECT_NEAR(at0[0].x - 1, at0[1].x - 4, 1e-6f) << "x moves by y and z only";
    EXPECT_NEAR(at0[0].y - 2, at0[2].y - 5, 1e-6f) << "y moves by x and z only";

    std::vector<D3DXVECTOR3> faded;
    wave.Wave(rest, 0.3f, 0.5f, &faded);
    EXPECT_NEAR(0.5f * (at0[0].y - 2), faded[0].y - 2, 1e-6f);
    wave.Wave(rest, 0.3f, 0, &faded);
    EXPECT_EQ(rest[2].position, faded[2]);

    // With weights the pivot stays and the farthest vertex moves fully.
    wave.m_bUseWeights = true;
    std::vector<D3DXVECTOR3> weighted;
    wave.Wave(rest, 0.3f, 1, &weighted);
    EXPECT_EQ(rest[3].position, weighted[3]);
    const size_t farthest = 2; // (1, 5, 3)
    EXPECT_FLOAT_EQ(1, rest[farthest].weight);
    EXPECT_NEAR(at0[farthest].y, weighted[farthest].y, 1e-6f);
    EXPECT_NEAR(rest[0].weight * (at0[0].y - 2), weighted[0].y - 2, 1e-6f);
}

TEST(VertexJitter, SwingsBetweenTargetsOnEitherSide)
{
    CVertexJitter jitter;
    jitter.m_Random = [] { return 1.0f; };
    jitter.m_AxisEnabled[2] = false;
    jitter.m_MinAmplitude[0] = 1;
    jitter.m_MaxAmplitude[0] = 2;
    jitter.m_MinSpeed[0] = 0.001f;
    jitter.m_MaxSpeed[0] = 0.01f; // units per millisecond
    jitter.m_MaxAmplitude[1] = 1;
    jitter.m_MaxSpeed[1] = 1;
    // Weights 1, 0.5 and 0 (the pivot).
    jitter.SetUp({{{4, 0, 0}, {0, 2, 0}, {0, 0, 0}}}, 1000);
    const struct
    {
        uint32_t ms;
        float x, target; // the far vertex's x offset and target after the step
    } steps[] = {
        {1000, 0, -2},    // at its first target (rest): away to the far side
        {1100, -1, -2},   // 100 ms at 0.01
        {1250, -2, 2},    // passed the target: held there, and back the other way
        {1300, -1.5f, 2},
        {1200, -1.5f, 2}, // a clock set back moves nothing
        {1400, 0.5f, 2},  // counted again from the 1200 it was set back to
    };
    for (const auto& s : steps)
    {
        jitter.Step(s.ms);
        EXPECT_NEAR(s.x, jitter.GetAxis(0, 0, 0).offset, 1e-5f) << s.ms;
        EXPECT_FLOAT_EQ(s.target, jitter.GetAxis(0, 0, 0).target) << s.ms;
    }
    // The nearer vertex swings half as wide and half as fast.
    EXPECT_FLOAT_EQ(1, std::fabs(jitter.GetAxis(0, 1, 0).target));
    EXPECT_FLOAT_EQ(0.005f, jitter.GetAxis(0, 1, 0).speed);
    std::vector<D3DXVECTOR3> positions;
    jitter.GetPositions(0, &positions);
    ASSERT_EQ(3u, positions.size());
    EXPECT_EQ(D3DXVECTOR3(0, 0, 0), positions[2]) << "the pivot never moves";
    EXPECT_NEAR(4 + 0.5f, positions[0].x, 1e-5f);
    EXPECT_EQ(0.0f, positions[0].z) << "a disabled axis stays";
    EXPECT_EQ(0.0f, jitter.GetAxis(0, 0, 2).target);
}

TEST(VertexJitter, StaysWithinItsAmplitudes)
{
    CVertexJitter jitter;
    std::srand(7);
    for (int axis = 0; axis < 3; ++axis)
    {
        jitter.m_MinAmplitude[axis] = 0.5f;
        jitter.m_MaxAmplitude[axis] = 1.5f;
        jitter.m_MinSpeed[axis] = 0.002f;
        jitter.m_MaxSpeed[axis] = 0.02f;
    }
    jitter.SetUp({{{1, 1, 1}, {-2, 0, 1}, {0.5f, 0, 0}}}, 0);
    int flips = 0;
    float lastTarget = 0;
    for (uint32_t ms = 0; ms <= 20000; ms += 17)
    {
        jitter.Step(ms);
        for (size_t v = 0; v < 3; ++v)
            for (int axis = 0; axis < 3; ++axis)
            {
                const float reach = 1.5f * jitter.GetRest()[0][v].weight + 1e-5f;
                ASSERT_LE(std::fabs(jitter.GetAxis(0, v, axis).offset), reach) << ms;
                ASSERT_LE(std::fabs(jitter.GetAxis(0, v, axis).target), reach) << ms;
            }
        const float target = jitter.GetAxis(0, 1, 0).target;
        if (target * lastTarget < 0)
            ++flips;
        lastTarget = target;
    }
    EXPECT_GT(flips, 10); // it keeps swinging
}
} // namespace
