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

// The files, in resource-name order, with the effect each holds: the order
// decides which effect a look-up finds.
TEST_F(ContentFixture, FilesNamesAndConditionsInLoadOrder)
{
    struct Row
    {
        const char* file;
        const char* name;
        std::vector<std::string> condition;
        bool meta;
    };
    const Row rows[] = {
        {"ALPHAPROJECTION.XML", "BasicAlphaProjection", {"Alpha", "Projection"}, false},
        {"BUMPENVIRONMENT.XML", "EnvironmentBump", {"Bump", "Environment"}, false},
        {"DIFFUSE.XML", "BasicDiffuse", {"Diffuse"}, false},
        {"DIFFUSEALPHA.XML", "BasicDiffuseAlpha", {"Diffuse", "Alpha"}, false},
        {"DIFFUSEALPHALIGHT.XML", "BasicDiffuseAlphaLight", {"Diffuse", "Light", "Alpha"}, false},
        {"DIFFUSEALPHALIGHTSTENCILSHADOW.XML", "DiffuseAlphaLightStencilShadow", {"Diffuse", "Light", "Alpha"}, false},
        {"DIFFUSEBUMP.XML", "BasicDiffuseBumpOmni", {"Diffuse", "Bump"}, true},
        {"DIFFUSEBUMPLIGHT.XML", "BasicDiffuseBumpLightmapOmni", {"Diffuse", "Bump", "Light"}, true},
        {"DIFFUSEBUMPPROJECTION.XML", "BasicDiffuseBumpProjection", {"Diffuse", "Bump", "Projection"}, false},
        {"DIFFUSEBUMPSPECULAR.XML", "BasicDiffuseBumpSpecularOmni", {"Diffuse", "Bump", "EnvironmentAlpha"}, false},
        {"DIFFUSEBUMPSTENCIL.XML", "DiffuseBumpStencil", {"Diffuse", "Bump"}, false},
        {"DIFFUSEBUMPSTENCILLIGHTDIRECT.XML", "DiffuseBumpStencilLight", {"Diffuse", "Bump", "Light"}, false},
        {"DIFFUSEBUMPSTENCILLIGHTDIRECTENVIRONMENTSPECULAR.XML", "DiffuseBumpStencilLightEnvironmentSpecular", {"Diffuse", "Bump", "Light", "Environment", "EnvironmentAlpha", "Specular"}, false},
        {"DIFFUSEBUMPSTENCILSHADOW.XML", "DiffuseBumpStencilShadow", {"Diffuse", "Bump"}, false},
        {"DIFFUSEBUMPSTENCILSHADOWLIGHTDIRECT.XML", "DiffuseBumpStencilShadowLight", {"Diffuse", "Bump", "Light"}, false},
        {"DIFFUSEBUMPSTENCILSHADOWLIGHTDIRECTENVIRONMENTSPECULAR.XML", "DiffuseBumpStencilShadowLightEnvironmentSpecular", {"Diffuse", "Bump", "Light", "Environment", "EnvironmentAlpha", "Specular"}, false},
        {"DIFFUSEENVIRONMENT.XML", "BasicDiffuseEnvironment", {"Diffuse", "Environment"}, false},
        {"DIFFUSEENVIRONMENTALPHA.XML", "BasicDiffuseEnvironmentAlpha", {"Diffuse", "Environment", "EnvironmentAlpha"}, false},
        {"DIFFUSEENVIRONMENTBUMP.XML", "BasicDiffuseEnvironmentBump", {"Bump", "Environment", "Diffuse"}, true},
        {"DIFFUSEENVIRONMENTBUMPFRENSEL.XML", "BasicDiffuseEnvironmentBumpFrensel", {"Bump", "Environment", "Diffuse"}, true},
        {"DIFFUSEENVIRONMENTSPECULAR.XML", "DiffuseEnvironmentSpecular", {"Diffuse", "Environment", "Specular"}, false},
        {"DIFFUSEENVIRONMENTSPECULARBUMP.XML", "BasicDiffuseEnvironmentSpecularBump", {"Bump", "Environment", "Specular", "Diffuse"}, true},
        {"DIFFUSEENVIRONMENTSPECULARBUMPALPHA.XML", "BasicDiffuseEnvironmentSpecularBumpAlpha", {"Bump", "Environment", "EnvironmentAlpha", "Specular", "Diffuse"}, false},
        {"DIFFUSEENVIRONMENTSPECULARBUMPALPHAMOD.XML", "BasicDiffuseEnvironmentSpecularBumpAlphaMod", {"Bump", "Environment", "EnvironmentAlpha", "Specular", "Diffuse"}, false},
        {"DIFFUSELIGHT.XML", "BasicDiffuseLight", {"Diffuse", "Light"}, false},
        {"DIFFUSELIGHTENVIRONMENT.XML", "BasicDiffuseLightEnvironment", {"Diffuse", "Light", "Environment"}, false},
        {"DIFFUSELIGHTENVIRONMENTALPHA.XML", "BasicDiffuseLightEnvironmentAlpha", {"Diffuse", "Environment", "EnvironmentAlpha", "Light"}, false},
        {"DIFFUSELIGHTENVIRONMENTBUMPFRENSEL.XML", "BasicDiffuseLightEnvironmentBumpFrensel", {"Bump", "Environment", "Diffuse", "Light"}, true},
        {"DIFFUSELIGHTPROJECTION.XML", "BasicDiffuseLightProjection", {"Diffuse", "Light", "Projection"}, false},
        {"DIFFUSELIGHTSPECULARENVIRONMENTBUMPFRENSEL.XML", "BasicDiffuseLightSpecularEnvironmentBumpFrensel", {"Bump", "Environment", "Diffuse", "Light", "Specular"}, true},
        {"DIFFUSELIGHTSTENCILSHADOW.XML", "DiffuseLightStencilShadow", {"Diffuse", "Light"}, false},
        {"DIFFUSEPROJECTION.XML", "BasicDiffuseProjection", {"Diffuse", "Projection"}, false},
        {"DIFFUSEPROJECTIONENVIRONMENTALPHA.XML", "BasicDiffuseProjectionEnvironmentAlpha", {"Diffuse", "Environment", "EnvironmentAlpha", "Projection"}, false},
        {"DIFFUSEREFRACTIONBUMP.XML", "BasicDiffuseRefractionBump", {"Bump", "Projection", "Diffuse", "Environment"}, false},
        {"DIFFUSESPECBUMP.XML", "BasicDiffuseSpecBump", {"Diffuse", "Bump", "Specular"}, false},
        {"DIFFUSESTENCILSHADOW.XML", "DiffuseStencilShadow", {"Diffuse"}, false},
        {"ENVIRONMENT.XML", "BasicEnvironment", {"Environment"}, false},
        {"PROJECTION.XML", "BasicProjection", {"Projection"}, false},
        {"SHADOWDIFFUSEALPHALIGHT.XML", "ShadowDiffuseAlphaLight", {"Diffuse", "Light", "Projection", "Alpha"}, false},
        {"SHADOWDIFFUSELIGHT.XML", "ShadowDiffuseLight", {"Diffuse", "Light", "Projection"}, false},
    };
    MetaEffectLibrary library(&storage);
    library.Find("", {});
    ASSERT_EQ(sizeof rows / sizeof rows[0], library.GetEffectCount());
    for (size_t i = 0; i < library.GetEffectCount(); ++i)
    {
        const Effect& e = *library.GetEffect(i);
        EXPECT_EQ(rows[i].file, e.GetFileName());
        EXPECT_EQ(rows[i].name, e.GetName());
        EXPECT_EQ(rows[i].meta, e.IsMeta()) << e.GetName();
        std::vector<std::string> kinds;
        for (const auto& c : e.GetCondition())
            kinds.push_back(c.kind);
        EXPECT_EQ(rows[i].condition, kinds) << e.GetName();
    }
}

// The resource script names every effect and library file of the folder.
TEST_F(ContentFixture, ResourceScriptListsEveryFile)
{
    std::ifstream in(std::string(TARNHOLM_EFFECTS_DIR) + "/Effects.rc");
    std::string line;
    std::vector<std::string> listed;
    while (std::getline(in, line))
    {
        char name[128], file[128];
        if (sscanf(line.c_str(), "%127s RCDATA \"%127[^\"]\"", name, file) == 2)
        {
            EXPECT_STREQ(name, file);
            listed.push_back(name);
        }
    }
    std::vector<std::string> files;
    for (const auto& f : storage.files)
        files.push_back(f.first);
    EXPECT_EQ(files, listed);
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
