#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "EffectXmlLoader.h"
#include "LogCapture.h"
#include "MemoryStorage.h"
#include "FindCases.h"
#include "MetaEffectLibrary.h"
#include "RecordingEffectDevice.h"

using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace
{
// A library over a storage of the test's own, so that the script functions
// are registered as in the program.
struct MetaFixture : ::testing::Test
{
    MemoryStorage storage;
    MetaEffectLibrary library{&storage};

    std::string Expand(const std::string& text, const LuaVariableMap& variables = LuaVariableMap(),
                       LuaNameSet* unbound = nullptr)
    {
        CLuaMetaText meta;
        meta.SetEnvironment(&library.GetEnvironment());
        meta.SetSourceText(text);
        meta.Parse();
        const LuaNameSet& names = meta.Update(variables);
        if (unbound)
            *unbound = names;
        return meta.GetOutputText();
    }
};
} // namespace

TEST(LuaMetaText, SplitsPlainPartsAndBlocksInOrder)
{
    Effect plain;
    EXPECT_FALSE(plain.LoadMeta("<Effect><LUA>print(1)</LUA></Effect>"));
    CLuaMetaText meta;
    meta.SetSourceText("a<lua>x\ny</lua><lua>z</lua>b");
    meta.Parse();
    ASSERT_EQ(2u, meta.GetBlockCount());
    ASSERT_EQ(2u, meta.GetPlainPartCount());
    EXPECT_EQ("x\ny", meta.GetBlockCode(0));
    EXPECT_EQ("b", meta.GetPlainPart(1));
    meta.SetSourceText("");
    meta.Parse();
    EXPECT_EQ(0u, meta.GetPlainPartCount());
}

TEST_F(MetaFixture, OutputReplacesBlocksWithCrLfLines)
{
    EXPECT_EQ("<A>ab</A>12.5<B>x\r\ny\r\nz</B>",
              Expand("<A><lua>print('a') print('b')</lua></A><lua>print(12.5)</lua>"
                     "<B><lua>print('x\\ny\\r\\nz')</lua></B>"));
    // Globals of one block reach the later ones.
    EXPECT_EQ("7", Expand("<lua>g = 7</lua><lua>print(g)</lua>"));
    // Exactly the base, table, math, string and os libraries.
    EXPECT_EQ("true", Expand("<lua>print(tostring(io == nil and package == nil and debug == nil and "
                             "table ~= nil and math ~= nil and string ~= nil and os ~= nil))</lua>"));
}

TEST_F(MetaFixture, BadArgumentsFailTheBlockAndKeepWhatItPrinted)
{
    struct
    {
        const char* code;
        const char* output;
    } cases[] = {
        {"print('kept') print(nil)", "kept"},
        {"print({})", ""},
        {"PrintToLog({})", ""},
        {"require('(')", ""},
        {"require({})", ""},
        {"this is no Lua", ""},
    };
    for (const auto& c : cases)
    {
        LogCapture log;
        EXPECT_EQ(std::string("<") + c.output + ">", Expand(std::string("<<lua>") + c.code + "</lua>>"));
        EXPECT_THAT(log.Text(), HasSubstr(std::string("Error CLuaMetaText::Update in block '") + c.code + "' = 1 \n"));
    }
    LogCapture log;
    Expand("<lua>print(nil)</lua>");
    EXPECT_THAT(log.Text(), HasSubstr("incorrect argument"));
}

// A hostile effect file's script cannot hang the program, take its memory,
// end it or reach files and programs; the block fails and later ones run.
TEST_F(MetaFixture, ScriptsStayInsideTheirLimits)
{
    struct
    {
        const char* code;
        const char* error;
    } cases[] = {
        {"while true do end", "instructions"},
        {"local function f() return f() end f()", "instructions"},
        {"local s = 'x' while true do s = s .. s end", "not enough memory"},
        {"local t = {} for i = 1, 1e9 do t[i] = {i} end", "not enough memory"},
        {"os.exit(3)", "attempt to call"},
        {"os.execute('true')", "attempt to call"},
        {"os.remove('x')", "attempt to call"},
        {"dofile()", "attempt to call"},
        {"loadfile('x')", "attempt to call"},
    };
    for (const auto& c : cases)
    {
        LogCapture log;
        EXPECT_EQ("<>after", Expand(std::string("<<lua>") + c.code + "</lua>><lua>print('after')</lua>")) << c.code;
        EXPECT_THAT(log.Text(), HasSubstr(c.error)) << c.code;
    }
    // What the shipped libraries use is still there.
    EXPECT_EQ("true", Expand("<lua>print(tostring(os.setlocale ~= nil and os.clock ~= nil))</lua>"));
}

TEST_F(MetaFixture, UnboundNamesReadZeroUntilBound)
{
    const std::string text = "<lua>print(Variable.DiffuseTexCoordIndex, Variable[{}], Variable['Spec'])</lua>";
    LuaNameSet unbound;
    EXPECT_EQ("000", Expand(text, {}, &unbound));
    EXPECT_THAT(unbound, ElementsAre("DiffuseTexCoordIndex", "Spec"));
    const int32_t two = 2;
    EXPECT_EQ("200", Expand(text, {{"DiffuseTexCoordIndex", &two}, {"Spec", nullptr}}, &unbound));
    EXPECT_TRUE(unbound.empty());
}

TEST_F(MetaFixture, RequireRunsEachLibraryOncePerUpdate)
{
    storage.files["COUNTER.LUA"] = "runs = (runs or 0) + 1 function Twice(x) return x .. x end";
    storage.files["LOGGER.LUA"] = "PrintToLog('loaded')";
    const std::string text = "<lua>require('Counter') require('Counter', 'Missing') print(runs)</lua>"
                             "<lua>print(Twice('ab'))</lua>";
    EXPECT_EQ("1abab", Expand(text));
    EXPECT_EQ("1abab", Expand(text));
    LogCapture log;
    g_MetaEffectFileName = "META.XML";
    Expand("<lua>require('Logger')</lua>");
    EXPECT_EQ("META.XML(0) - loaded \n", log.Text());
}

TEST_F(MetaFixture, MetaEffectReadsNameAndConditionAndCompiles)
{
    Effect effect;
    effect.GetMetaText().SetEnvironment(&library.GetEnvironment());
    LogCapture log;
    ASSERT_TRUE(effect.LoadMeta("<Effect><Name>First</Name><Name>Second</Name>"
                                "<Condition><Texture>Diffuse</Texture></Condition>"
                                "<Condition><Texture>Bump</Texture></Condition>"
                                "<Technique><Name>T<lua>print(Variable.Index)</lua></Name><Pass/></Technique>"
                                "</Effect>"));
    EXPECT_EQ("Error: second Condition block in meta effect \n", log.Text());
    EXPECT_EQ("First", effect.GetName());
    EXPECT_TRUE(effect.MatchesCondition({"Diffuse"}));
    EXPECT_EQ(0, effect.GetTechniqueCount());

    RecordingEffectDevice device;
    SetEffectDevice(&device);
    const int32_t three = 3;
    LuaVariableMap variables;
    effect.ExpandAndCompileMeta(variables, {{"Index", &three}});
    SetEffectDevice(nullptr);
    EXPECT_TRUE(effect.IsMetaCompiled());
    ASSERT_EQ(1, effect.GetTechniqueCount());
    EXPECT_EQ("T3", effect.GetTechnique(0)->GetName());
    EXPECT_EQ(2u, effect.GetCondition().size()); // the compile reads the whole text
}

TEST_F(MetaFixture, CompileLoopStopsAfterItsRoundsAndCompileLogsMessages)
{
    Effect effect;
    effect.GetMetaText().SetEnvironment(&library.GetEnvironment());
    ASSERT_TRUE(effect.LoadMeta("<Effect><Name>Endless</Name>"
                                "<lua>local i = 0 while Variable['v' .. i] == 1 do i = i + 1 end</lua>"
                                "<Technique><Pass><RenderState State='Fog' Value='1'/></Pass></Technique>"
                                "</Effect>"));
    std::vector<int32_t> ones(64, 1);
    LuaVariableMap values;
    for (size_t i = 0; i < ones.size(); ++i)
        values["v" + std::to_string(i)] = &ones[i];
    LuaVariableMap variables;
    LogCapture log;
    effect.ExpandAndCompileMeta(variables, values);
    EXPECT_EQ(size_t(kMaxMetaUpdateRounds), variables.size());
    EXPECT_THAT(log.Text(), HasSubstr("Error: meta effect Endless still reads unbound names after 16 updates\n"));
    EXPECT_THAT(log.Text(), HasSubstr("Messages on load meta effect Endless:\nError: Find: Fog; expected: "));
}

TEST_F(MetaFixture, LibraryFindsByWholeNamePatternAndKinds)
{
    RecordingEffectDevice device;
    SetEffectDevice(&device);
    auto plain = [](const char* name, const char* kinds) {
        std::string text = std::string("<Effect><Name>") + name + "</Name><Condition>";
        for (const char* k = kinds; *k;)
        {
            const char* end = strchr(k, ',');
            text += "<Texture>" + std::string(k, end ? end : k + strlen(k)) + "</Texture>";
            k = end ? end + 1 : k + strlen(k);
        }
        return text + "</Condition><Technique><Pass/></Technique></Effect>";
    };
    storage.files["DIFFUSE.XML"] = plain("BasicDiffuse", "Diffuse");
    storage.files["DIFFUSEBUMP.XML"] = "<Effect><Name>BasicDiffuseBumpOmni</Name><Condition><Texture>Diffuse"
                                       "</Texture><Texture>Bump</Texture></Condition><lua>print('')</lua></Effect>";
    storage.files["DIFFUSEBUMPSTENCIL.XML"] = plain("DiffuseBumpStencil", "Diffuse,Bump");
    storage.files["DIFFUSESPECBUMP.XML"] = plain("BasicDiffuseSpecBump", "Diffuse,Bump");
    storage.files["BROKEN.XML"] = "<Effect><Name>Broken</Name><Technique></Effect>";
    storage.files["NOTES.TXT"] = plain("Notes", "");
    LogCapture log;
    EXPECT_EQ(nullptr, library.GetDefault());
    ExpectFinds(library, {
        {"Basic.*", {"Diffuse"}, "BasicDiffuse"},
        {"Basic.*", {"Bump", "Diffuse"}, "BasicDiffuseBumpOmni"},
        {"Diffuse.*", {"Diffuse", "Bump"}, "DiffuseBumpStencil"},
        {"basic.*", {"Diffuse"}, nullptr},
        {"Basic", {"Diffuse"}, nullptr},
        {"Notes", {}, nullptr},
        {"(", {"Diffuse"}, nullptr},
    });
    SetEffectDevice(nullptr);
    ASSERT_NE(nullptr, library.GetDefault());
    EXPECT_EQ("DIFFUSE.XML", library.GetDefault()->GetFileName());
    EXPECT_EQ(4u, library.GetEffectCount());
    EXPECT_THAT(log.Text(), HasSubstr("Messages on load effect file BROKEN.XML:\nError: XML syntax at row 1"));
}
