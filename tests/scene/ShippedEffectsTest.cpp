// The test scene drawn through the shipped effect library, as the
// screensaver will draw its scenes.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
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

TEST(ShippedEffects, MetaEffectReadsTheMapsCoordinateSetsAndCanBeDumped)
{
    SceneDeviceFixture fixture(64);
    ASSERT_NE(nullptr, fixture.m_Device.Get());
    Scene* scene = new Scene(fixture.m_Device.Get());
    ASSERT_TRUE(scene->Load(101, "", nullptr));
    const char* const dump = "CompiledMetaEffects\\BasicDiffuseBumpOmni.xml";
    std::remove(dump);

    // The leaf's material with a bump map added takes the shipped meta
    // effect, whose shaders read the diffuse and bump coordinate sets.
    g_CompiledMetaEffectsDump = true;
    std::unique_ptr<MeshMaterial> bumped(MeshMaterial::Clone(*scene->FindMaterial("Leaf"), "BumpedLeaf"));
    MaterialEffectState& state = bumped->GetEffectState();
    state.SetPresent(MAPKIND_BUMP, true);
    bumped->CompileMetaEffect();
    g_CompiledMetaEffectsDump = false;
    ASSERT_EQ("BasicDiffuseBumpOmni", state.GetEffect().GetName());
    ASSERT_TRUE(state.GetEffect().IsMeta());
    EXPECT_EQ(2u, state.m_TexCoordIndices.size());
    EXPECT_EQ(1u, state.m_TexCoordIndices.count(MAPKIND_DIFFUSE));
    EXPECT_EQ(1u, state.m_TexCoordIndices.count(MAPKIND_BUMP));
    EXPECT_EQ(MAPKIND_BUMP, state.ResolveTexCoordVariable("BumpTexCoordIndex"));
    EXPECT_EQ(-1, state.ResolveTexCoordVariable("LightTexCoordIndex")) << "no light map";

    // The expanded text, written as it is.
    std::ifstream file(dump, std::ios::binary);
    ASSERT_TRUE(file.good()) << dump;
    std::stringstream written;
    written << file.rdbuf();
    const std::string& expanded = state.GetEffect().GetMetaText().GetOutputText();
    EXPECT_NE(std::string::npos, expanded.find("vs.1.1"));
    EXPECT_EQ(expanded, written.str());
    file.close();
    std::remove(dump);
    bumped.reset();
    delete scene;
}
