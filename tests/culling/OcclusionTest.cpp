#include "OcclusionManager.h"

#include "FrustumFixture.h"
#include "Object.h"

#include <gtest/gtest.h>

namespace
{
struct BoxCorners
{
    D3DXVECTOR3 c[8];
};

BoxCorners Box(const D3DXVECTOR3& centre, float half)
{
    BoxCorners b;
    for (int i = 0; i < 8; ++i)
        b.c[i] = centre + D3DXVECTOR3(i & 1 ? half : -half, i & 2 ? half : -half, i & 4 ? half : -half);
    return b;
}

// A 20 x 20 occluder quad in the local X-Y plane, placed by its node at
// (0, 0, 100).
class OcclusionTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        D3DXMATRIX world;
        D3DXMatrixTranslation(&world, 0, 0, 100);
        m_Node.SetWorldMatrix(world);
        m_Manager.AddOccluderQuad(nullptr, &m_Node, D3DXVECTOR3(-10, -10, 0), D3DXVECTOR3(10, 10, 0));
    }
    bool Hidden(const D3DXVECTOR3& eye, const D3DXVECTOR3& boxCentre, float half = 2)
    {
        m_Frustum = Look(eye, D3DXVECTOR3(0, 0, 100));
        m_Manager.Update(eye, m_Frustum);
        return m_Manager.IsBoxOccluded(Box(boxCentre, half).c);
    }

    Object m_Node{"WallOccluder"};
    COcclusionManager m_Manager;
    Frustum m_Frustum;
};

TEST_F(OcclusionTest, HidesBoxesWhollyBehindTheQuadFromEitherSide)
{
    ASSERT_TRUE(m_Manager.IsEnabled());
    const struct
    {
        const char* what;
        D3DXVECTOR3 eye, box;
        float half;
        bool hidden;
    } cases[] = {
        {"behind, from above", {0, 0, 150}, {0, 0, 80}, 2, true},
        {"behind, from below", {0, 0, 50}, {0, 0, 120}, 2, true},
        {"between eye and quad", {0, 0, 150}, {0, 0, 120}, 2, false},
        {"seen past the edge", {0, 0, 150}, {15, 0, 80}, 2, false},
        {"partly past the edge", {0, 0, 150}, {14, 0, 80}, 2, false},
        {"far behind but wider than the shadow", {0, 0, 150}, {0, 0, 20}, 40, false},
        {"oblique eye, box in the shadow", {30, 0, 130}, {-12, 0, 90}, 1, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.hidden, Hidden(c.eye, c.box, c.half)) << c.what;
}

TEST_F(OcclusionTest, OccluderOutsideTheViewMakesNoFrustum)
{
    const D3DXVECTOR3 eye(0, 0, 150);
    m_Frustum = Look(eye, D3DXVECTOR3(0, 0, 300)); // looking away
    m_Manager.Update(eye, m_Frustum);
    EXPECT_EQ(0u, m_Manager.GetActiveFrustumCount());
    EXPECT_FALSE(m_Manager.IsBoxOccluded(Box({0, 0, 80}, 2).c));
}

TEST_F(OcclusionTest, NothingIsHiddenWhileSwitchedOff)
{
    ASSERT_TRUE(Hidden({0, 0, 150}, {0, 0, 80}));
    m_Manager.Disable();
    EXPECT_FALSE(m_Manager.IsBoxOccluded(Box({0, 0, 80}, 2).c));
    m_Manager.Update(D3DXVECTOR3(0, 0, 150), m_Frustum);
    EXPECT_EQ(0u, m_Manager.GetActiveFrustumCount());
    m_Manager.Enable();
    EXPECT_TRUE(Hidden({0, 0, 150}, {0, 0, 80}));
}

TEST(Occlusion, WithoutOccludersStaysOff)
{
    COcclusionManager manager;
    EXPECT_FALSE(manager.IsEnabled());
}
} // namespace
