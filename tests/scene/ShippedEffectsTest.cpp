// The test scene drawn through the shipped effect library, as the
// screensaver will draw its scenes.
#include <gtest/gtest.h>

#include <vector>

#include "GeomObject.h"
#include "MeshMaterial.h"
#include "SceneTestSupport.h"

TEST(ShippedEffects, TestSceneLoadsAndDrawsWithoutAMessage)
{
    SceneDeviceFixture fixture(128);
    IDirect3DDevice8* d3d = fixture.m_Device.Get();
    ASSERT_NE(nullptr, d3d);
    Scene* scene = new Scene(d3d);
    ASSERT_TRUE(scene->Load(101, "", nullptr));
    for (const char* name : {"Ground", "Fence", "Gate", "GlassBlue", "Leaf"})
    {
        const MeshMaterial* material = scene->FindMaterial(name);
        ASSERT_NE(nullptr, material) << name;
        EXPECT_TRUE(material->GetEffectState().IsFound()) << name;
        EXPECT_NE(nullptr, material->GetEffectState().GetTechnique()) << name;
    }
    GeomObject* flag = scene->FindGeomObject("Flag");
    flag->PlayMorphAnimation(0, 1000, 1);
    flag->GetMorphTimer().SetTime(0);
    DrawFrame(d3d, *scene);
    SavePicture(fixture.m_Device, 128, "scene_shipped_effects.bmp");
    const std::string log = fixture.NewLog();
    EXPECT_EQ(std::string::npos, log.find("Error")) << log;
    EXPECT_EQ(std::string::npos, log.find("Can't")) << log;
    EXPECT_EQ(std::string::npos, log.find("Messages on")) << log;

    // The ground shows its orange picture, brighter where its light map is;
    // the flag shows its green one.
    auto channels = [&](UINT x, UINT y) {
        const uint32_t c = fixture.m_Device.ReadPixel(x, y);
        return std::vector<int>{int(c >> 16) & 255, int(c >> 8) & 255, int(c) & 255};
    };
    const std::vector<int> upper = channels(64, 55), lower = channels(64, 73), leaf = channels(31, 42);
    EXPECT_TRUE(upper[0] >= upper[1] && upper[1] > upper[2]) << upper[0] << "," << upper[1] << "," << upper[2];
    EXPECT_TRUE(lower[0] > lower[1] && lower[1] > lower[2]) << lower[0] << "," << lower[1] << "," << lower[2];
    EXPECT_LT(lower[0] + lower[1] + lower[2], upper[0] + upper[1] + upper[2]);
    EXPECT_TRUE(leaf[1] > 2 * leaf[0] && leaf[1] > 60) << leaf[0] << "," << leaf[1];

    delete scene;
    EXPECT_EQ(fixture.m_StartRefs, fixture.RefsAfterRelease());
}
