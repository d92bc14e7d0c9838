#include "ObjectInformation.h"

#include "Camera.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>

namespace
{
// A view hit at a fixed distance wherever the click's x lies in its range.
class FakeView : public CObjectInformation
{
public:
    FakeView(const std::string& name, int x0, int x1, float distance)
        : m_Name(name), m_X0(x0), m_X1(x1), m_Distance(distance)
    {
    }
    std::string GetInfoName() const override { return m_Name; }
    uint32_t GetInfoVertexCount() const override { return 4; }
    uint32_t GetInfoTriangleCount() const override { return 2; }
    D3DXVECTOR3 GetInfoPosition() const override { return D3DXVECTOR3(3, 4, 0); }
    bool HitTest(int x, int, float* distance) override
    {
        *distance = m_Distance;
        return x >= m_X0 && x <= m_X1;
    }
    void SetSelectedViews(bool on) override { selected = on; }
    void AppendInformation(std::vector<std::string>* lines) const override { lines->push_back("Mesh 0: [faces: 2]"); }

    bool selected = false;

private:
    std::string m_Name;
    int m_X0, m_X1;
    float m_Distance;
};

class ObjectInformationTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_Near.reset(new FakeView("Near", 0, 100, 5));
        m_Far.reset(new FakeView("Far", 50, 150, 9));
    }
    void TearDown() override
    {
        m_Near.reset();
        m_Far.reset();
        m_Manager.SetCamera(nullptr);
    }
    std::string Selected() const
    {
        const CObjectInformation* s = m_Manager.GetSelected();
        return s ? s->GetInfoName() : "none";
    }

    ObjectInformationManager& m_Manager = ObjectInformationManager::Instance();
    std::unique_ptr<FakeView> m_Near, m_Far;
};

TEST_F(ObjectInformationTest, ClicksStepFromNearToFarAndClearElsewhere)
{
    const struct
    {
        int x, y;
        const char* selected;
    } clicks[] = {
        {60, 10, "Near"}, {60, 10, "Far"}, {60, 10, "Near"}, // the same place steps through
        {70, 10, "Far"},                                    // only x moved: stepping goes on
        {20, 30, "Near"},                                   // a new place: the nearest there
        {300, 40, "none"},                                  // a new place with no hit clears
        {300, 40, "none"},
        {120, 40, "Far"},                                   // a new place with one hit
    };
    for (const auto& c : clicks)
    {
        m_Manager.Pick(0, c.x, c.y);
        EXPECT_EQ(c.selected, Selected()) << c.x << "," << c.y;
        EXPECT_EQ(Selected() == "Near", m_Near->selected);
        EXPECT_EQ(Selected() == "Far", m_Far->selected);
    }
    m_Manager.Pick(1, 60, 10); // a non-zero flag does nothing
    EXPECT_EQ("Far", Selected());
}

TEST_F(ObjectInformationTest, UnregisteringKeepsTheSelectionRight)
{
    m_Manager.Pick(0, 60, 11);
    m_Manager.Pick(0, 60, 11);
    ASSERT_EQ("Far", Selected());
    m_Near.reset(); // an earlier entry goes: the selection still names Far
    EXPECT_EQ("Far", Selected());
    m_Far.reset(); // the selected entry goes: nothing is selected
    EXPECT_EQ("none", Selected());
    EXPECT_TRUE(m_Manager.BuildLines().empty());
}

TEST_F(ObjectInformationTest, LinesNameTheSelection)
{
    Camera camera("Cam");
    m_Manager.SetCamera(&camera); // at the origin
    m_Manager.Pick(0, 10, 12);
    const std::vector<std::string> lines = m_Manager.BuildLines();
    const std::vector<std::string> expected = {"Object: Near", "Position: 3.000000, 4.000000, 0.000000",
                                               "Distance from camera: 5.000000", "Mesh 0: [faces: 2]"};
    EXPECT_EQ(expected, lines);
}

TEST(PickRay, ThroughTheViewCentreAlongTheLook)
{
    D3DXMATRIX view, projection;
    const D3DXVECTOR3 eye(0, 0, -10), at(0, 0, 0), up(0, 1, 0);
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    D3DXMatrixPerspectiveFovLH(&projection, 1.0471976f, 1.0f, 1.0f, 100.0f);
    D3DXVECTOR3 origin, direction;
    PickRay(63, 63, 127, 127, view, projection, &origin, &direction);
    EXPECT_NEAR(0.0f, origin.x, 1e-4f);
    EXPECT_NEAR(-9.0f, origin.z, 1e-3f);
    EXPECT_NEAR(1.0f, direction.z, 1e-5f);
    PickRay(0, 63, 127, 127, view, projection, &origin, &direction);
    EXPECT_LT(direction.x, -0.4f); // the left edge looks left
}
} // namespace
