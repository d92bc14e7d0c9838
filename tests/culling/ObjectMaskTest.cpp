#include "ObjectMask.h"

#include "Camera.h"
#include "Object.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace
{
class FakeGeom : public Object
{
public:
    using Object::Object;
    int GetTypeId() const override { return OBJECT_TYPE_GEOM; }
};

class ObjectMaskTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Add(new FakeGeom("Loco"));
        Add(new FakeGeom("LocoWheel"));
        Add(new FakeGeom("loco"));
        Add(new Object("Group_sn_1"));
        Add(new Camera("CamLoco"));
        Add(new FakeGeom("winddrive_fan"));
        m_Map["Empty"] = nullptr; // a name without an object is skipped
    }
    void Add(Object* o)
    {
        m_Owned.emplace_back(o);
        m_Map[o->GetName()] = o;
    }
    enum Walk
    {
        ALL,
        GEOM,
        CAMERA
    };
    std::vector<std::string> Names(const std::string& pattern, Walk walk)
    {
        const ObjectMask mask(&m_Map, pattern);
        std::vector<std::string> names;
        ObjectMaskIterator it = walk == ALL ? mask.Begin() : walk == GEOM ? mask.BeginGeom() : mask.BeginCamera();
        for (; !it.AtEnd(); ObjectMask::Next(it))
            names.push_back(it.GetName());
        return names;
    }

    std::vector<std::unique_ptr<Object>> m_Owned;
    ObjectNameMap m_Map;
};

TEST_F(ObjectMaskTest, WalksMatchesInNameOrderByKind)
{
    typedef std::vector<std::string> Names_;
    const struct
    {
        const char* pattern;
        Walk walk;
        Names_ expected;
    } cases[] = {
        {".*", ALL, {"CamLoco", "Group_sn_1", "Loco", "LocoWheel", "loco", "winddrive_fan"}},
        {".*", GEOM, {"Loco", "LocoWheel", "loco", "winddrive_fan"}},
        {".*", CAMERA, {"CamLoco"}},
        {"Loco", ALL, {"Loco"}},          // whole name only, case-sensitive
        {"Loco.*", ALL, {"Loco", "LocoWheel"}},
        {".*_sn.*", ALL, {"Group_sn_1"}},
        {".*_sn.*", GEOM, {}},
        {"Loco.*", CAMERA, {}},
        {"Empty", ALL, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.expected, Names(c.pattern, c.walk)) << c.pattern << " walk " << c.walk;
}

TEST_F(ObjectMaskTest, StepsStayAtTheEnd)
{
    const ObjectMask mask(&m_Map, "winddrive_fan");
    ObjectMaskIterator it = mask.Begin();
    ASSERT_FALSE(it.AtEnd());
    EXPECT_EQ(m_Map["winddrive_fan"], it.GetObject());
    ObjectMask::Next(it);
    EXPECT_TRUE(it.AtEnd());
    ObjectMask::Next(it);
    EXPECT_TRUE(it.AtEnd());
}

TEST_F(ObjectMaskTest, InvalidExpressionThrows)
{
    EXPECT_THROW(ObjectMask(&m_Map, "Loco(["), boost::regex_error);
}
} // namespace
