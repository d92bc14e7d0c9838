// The shipped effect files: every plain effect reads with no message and
// every meta effect expands and compiles with no message for the
// coordinate sets and specular powers that materials give it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <dirent.h>

#include <fstream>
#include <sstream>

#include "AssemblingEffectDevice.h"
#include "LogCapture.h"
#include "MemoryStorage.h"
#include "FindCases.h"
#include "MetaEffectLibrary.h"

namespace
{
struct ContentFixture : ::testing::Test
{
    MemoryStorage storage;
    AssemblingEffectDevice device;

    void SetUp() override
    {
        DIR* dir = opendir(TARNHOLM_EFFECTS_DIR);
        ASSERT_NE(nullptr, dir);
        while (dirent* entry = readdir(dir))
        {
            const std::string name = entry->d_name;
            if (name.size() < 5 || (name.substr(name.size() - 4) != ".XML" && name.substr(name.size() - 4) != ".LUA"))
                continue;
            std::ifstream in(std::string(TARNHOLM_EFFECTS_DIR) + "/" + name, std::ios::binary);
            std::stringstream text;
            text << in.rdbuf();
            storage.files[name] = text.str();
        }
        closedir(dir);
        SetEffectDevice(&device);
    }
    void TearDown() override { SetEffectDevice(nullptr); }
};
} // namespace

TEST_F(ContentFixture, EveryEffectLoadsAndEveryMetaEffectCompiles)
{
    MetaEffectLibrary library(&storage);
    LogCapture log;
    ASSERT_NE(nullptr, library.Find("BasicDiffuse", {"Diffuse"}));
    EXPECT_EQ("", log.Text());
    EXPECT_EQ(40u, library.GetEffectCount());
    int metas = 0;
    for (size_t i = 0; i < library.GetEffectCount(); ++i)
    {
        Effect& shipped = *library.GetEffect(i);
        if (!shipped.IsMeta())
        {
            EXPECT_GT(shipped.GetTechniqueCount(), 0) << shipped.GetName();
            continue;
        }
        ++metas;
        for (int32_t coords = 0; coords < 2; ++coords)
            for (int32_t power = 3; power <= 8; ++power)
            {
                Effect copy = shipped;
                const int32_t lightCoords = 1 - coords;
                LuaVariableMap values = {{"DiffuseTexCoordIndex", &coords},
                                         {"BumpTexCoordIndex", &coords},
                                         {"LightTexCoordIndex", &lightCoords},
                                         {"SpecularPow", &power}};
                LuaVariableMap variables;
                copy.ExpandAndCompileMeta(variables, values);
                ASSERT_EQ("", log.Text()) << copy.GetName() << " coords " << coords << " power " << power << "\n"
                                          << copy.GetMetaText().GetOutputText();
                EXPECT_GE(copy.GetTechniqueCount(), 2) << copy.GetName();
                EXPECT_TRUE(copy.GetTechnique(0)->PassUsesTangent(0)) << copy.GetName();
            }
    }
    EXPECT_EQ(7, metas);
}

TEST_F(ContentFixture, FindChoosesByPatternAndKindsInLoadOrder)
{
    MetaEffectLibrary library(&storage);
    ExpectFinds(library, {
        {"Basic.*", {"Diffuse"}, "BasicDiffuse"},
        {"Basic.*", {"Diffuse", "Bump"}, "BasicDiffuseBumpOmni"},
        {".*", {"Diffuse", "Bump"}, "BasicDiffuseBumpOmni"},
        {"Diffuse.*", {"Bump", "Diffuse"}, "DiffuseBumpStencil"},
        {".*Shadow.*", {"Light", "Diffuse"}, "DiffuseLightStencilShadow"},
        {"Basic.*", {"Environment", "Bump"}, nullptr},
        {".*", {"Environment", "Bump"}, "EnvironmentBump"},
        {"Shadow.*", {"Diffuse", "Light", "Projection"}, "ShadowDiffuseLight"},
        {"Basic.*", {"Diffuse", "Light", "Projection"}, "BasicDiffuseLightProjection"},
        {"basic.*", {"Diffuse"}, nullptr},
    });
}
