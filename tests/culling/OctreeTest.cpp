#include "Octree.h"

#include "FrustumFixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace
{
std::unique_ptr<OctreeEntry> Box(float x, float y, float half)
{
    auto e = std::make_unique<OctreeEntry>();
    e->min = D3DXVECTOR3(x - half, y - half, 0);
    e->max = D3DXVECTOR3(x + half, y + half, 10);
    return e;
}

int CountLeaves(const OctreeNode& node)
{
    if (node.GetChildren().empty())
        return 1;
    int n = 0;
    for (const std::unique_ptr<OctreeNode>& child : node.GetChildren())
        n += CountLeaves(*child);
    return n;
}

// Four small objects near the corners of a 100 x 100 field and one that
// straddles its centre.
class OctreeTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (auto xy : {std::make_pair(5.f, 5.f), std::make_pair(95.f, 5.f), std::make_pair(5.f, 95.f),
                        std::make_pair(95.f, 95.f), std::make_pair(50.f, 50.f)})
            m_Owned.push_back(Box(xy.first, xy.second, 5));
        for (auto& e : m_Owned)
            m_Entries.push_back(e.get());
        m_Root.Build(m_Entries, OCTREE_QUADTREE, nullptr, 3);
    }
    std::string Culled(const Frustum& f)
    {
        for (OctreeEntry* e : m_Entries)
            e->culled = false;
        m_Root.Cull(f);
        std::string s;
        for (OctreeEntry* e : m_Entries)
            s += e->culled ? 'x' : '.';
        return s;
    }

    std::vector<std::unique_ptr<OctreeEntry>> m_Owned;
    std::vector<OctreeEntry*> m_Entries;
    OctreeNode m_Root;
};

TEST_F(OctreeTest, QuadtreeHasSixtyFourLeavesAndKeepsStraddlersHigh)
{
    EXPECT_EQ(64, CountLeaves(m_Root));
    EXPECT_EQ(D3DXVECTOR3(0, 0, 0), m_Root.GetMin());
    EXPECT_EQ(D3DXVECTOR3(100, 100, 10), m_Root.GetMax());
    // The centre object stays at the root; the corner objects sink.
    for (const std::unique_ptr<OctreeNode>& child : m_Root.GetChildren())
    {
        EXPECT_EQ(1u, child->GetEntries().size());
        EXPECT_EQ(0.0f, child->GetMin().z);
        EXPECT_EQ(10.0f, child->GetMax().z);
    }
    // Child 1 is the upper X half, child 2 the lower Y half.
    EXPECT_EQ(m_Entries[1], m_Root.GetChildren()[3]->GetEntries()[0]); // (95, 5)
    EXPECT_EQ(m_Entries[2], m_Root.GetChildren()[0]->GetEntries()[0]); // (5, 95)
}

TEST_F(OctreeTest, CullsAgainstCameraPoses)
{
    // Entry order: (5,5) (95,5) (5,95) (95,95) centre.
    const struct
    {
        const char* what;
        D3DXVECTOR3 eye, at;
        const char* culled;
    } poses[] = {
        {"above, looking down", {50, 50, 300}, {50, 50, 0}, "....."},
        {"inside, looking at the low corner", {30, 30, 5}, {-100, -100, 5}, ".xxx."},
        {"inside, looking along +X", {2, 50, 5}, {200, 50, 5}, "x.x.."},
        {"outside, looking away", {300, 50, 5}, {600, 50, 5}, "xxxxx"},
        {"outside, looking back", {300, 50, 5}, {0, 50, 5}, "....."},
    };
    for (const auto& p : poses)
        EXPECT_EQ(p.culled, Culled(Look(p.eye, p.at))) << p.what;
}

TEST_F(OctreeTest, RemovedEntriesAreNoLongerMarked)
{
    OctreeEntry* removed = m_Entries[3];
    m_Root.RemoveEntry(removed);
    removed->culled = false;
    Culled(Look({30, 30, 5}, {-100, -100, 5}));
    EXPECT_FALSE(removed->culled);
}

TEST(Octree, OctreeSplitsZAndNumbersChildrenByHalves)
{
    OctreeEntry e;
    e.min = D3DXVECTOR3(0, 0, 0);
    e.max = D3DXVECTOR3(8, 8, 8);
    OctreeNode root;
    root.Build({&e}, OCTREE_OCTREE, nullptr, 1);
    ASSERT_EQ(8u, root.GetChildren().size());
    EXPECT_EQ(D3DXVECTOR3(4, 4, 4), root.GetChildren()[1]->GetMin()); // high X, high Y, high Z
    EXPECT_EQ(D3DXVECTOR3(0, 0, 0), root.GetChildren()[6]->GetMin()); // low X, low Y, low Z
    EXPECT_EQ(D3DXVECTOR3(8, 4, 8), root.GetChildren()[3]->GetMax()); // high X, low Y, high Z
}
} // namespace
