#include "EffectStateNames.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <vector>

namespace
{
struct NameValue
{
    const char* name;
    uint32_t value;
};

StateNameTable MakeTable(std::initializer_list<NameValue> entries)
{
    StateNameTable table;
    for (const NameValue& e : entries)
        table[e.name] = e.value;
    return table;
}

std::string Upper(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return text;
}

void AppendNames(const StateNameTable& table, std::string& expected)
{
    bool first = true;
    for (const auto& entry : table)
    {
        if (!first)
            expected += ", ";
        expected += entry.first;
        first = false;
    }
}

enum ValueRule
{
    kNumber,
    kBool,
    kFloat,
    kNameList,
    kTexCoordIndex,
};

struct StateRule
{
    ValueRule rule;
    const StateNameTable* names;
};

// Value tables shared between states.
const StateNameTable& ZEnableValues()
{
    static const StateNameTable t = MakeTable({{"FALSE", 0}, {"TRUE", 1}, {"USEW", 2}});
    return t;
}
const StateNameTable& FillModeValues()
{
    static const StateNameTable t = MakeTable({{"POINT", 1}, {"WIREFRAME", 2}, {"SOLID", 3}});
    return t;
}
const StateNameTable& ShadeModeValues()
{
    static const StateNameTable t = MakeTable({{"FLAT", 1}, {"GOURAUD", 2}, {"PHONG", 3}});
    return t;
}
const StateNameTable& BlendValues()
{
    static const StateNameTable t = MakeTable({{"ZERO", 1}, {"ONE", 2}, {"SRCCOLOR", 3}, {"INVSRCCOLOR", 4},
                                               {"SRCALPHA", 5}, {"INVSRCALPHA", 6}, {"DESTALPHA", 7},
                                               {"INVDESTALPHA", 8}, {"DESTCOLOR", 9}, {"INVDESTCOLOR", 10},
                                               {"SRCALPHASAT", 11}, {"BOTHSRCALPHA", 12}, {"BOTHINVSRCALPHA", 13}});
    return t;
}
const StateNameTable& CullValues()
{
    static const StateNameTable t = MakeTable({{"NONE", 1}, {"CW", 2}, {"CCW", 3}});
    return t;
}
const StateNameTable& CompareValues()
{
    static const StateNameTable t = MakeTable({{"NEVER", 1}, {"LESS", 2}, {"EQUAL", 3}, {"LESSEQUAL", 4},
                                               {"GREATER", 5}, {"NOTEQUAL", 6}, {"GREATEREQUAL", 7}, {"ALWAYS", 8}});
    return t;
}
const StateNameTable& FogModeValues()
{
    static const StateNameTable t = MakeTable({{"NONE", 0}, {"EXP", 1}, {"EXP2", 2}, {"LINEAR", 3}});
    return t;
}
const StateNameTable& StencilOpValues()
{
    static const StateNameTable t = MakeTable({{"KEEP", 1}, {"ZERO", 2}, {"REPLACE", 3}, {"INCRSAT", 4},
                                               {"DECRSAT", 5}, {"INVERT", 6}, {"INCR", 7}, {"DECR", 8}});
    return t;
}
const StateNameTable& MaterialSourceValues()
{
    static const StateNameTable t = MakeTable({{"MATERIAL", 0}, {"COLOR1", 1}, {"COLOR2", 2}});
    return t;
}
const StateNameTable& VertexBlendValues()
{
    static const StateNameTable t = MakeTable(
        {{"DISABLE", 0}, {"1WEIGHTS", 1}, {"2WEIGHTS", 2}, {"3WEIGHTS", 3}, {"TWEENING", 255}, {"0WEIGHTS", 256}});
    return t;
}
const StateNameTable& PatchEdgeValues()
{
    static const StateNameTable t = MakeTable({{"DISCRETE", 0}, {"CONTINUOUS", 1}});
    return t;
}
const StateNameTable& DebugMonitorValues()
{
    static const StateNameTable t = MakeTable({{"ENABLE", 0}, {"DISABLE", 1}});
    return t;
}
const StateNameTable& BlendOpValues()
{
    static const StateNameTable t =
        MakeTable({{"ADD", 1}, {"SUBTRACT", 2}, {"REVSUBTRACT", 3}, {"MIN", 4}, {"MAX", 5}});
    return t;
}
const StateNameTable& TextureOpValues()
{
    static const StateNameTable t = MakeTable(
        {{"DISABLE", 1},           {"SELECTARG1", 2},          {"SELECTARG2", 3},
         {"MODULATE", 4},          {"MODULATE2X", 5},          {"MODULATE4X", 6},
         {"ADD", 7},               {"ADDSIGNED", 8},           {"ADDSIGNED2X", 9},
         {"SUBTRACT", 10},         {"ADDSMOOTH", 11},          {"BLENDDIFFUSEALPHA", 12},
         {"BLENDTEXTUREALPHA", 13}, {"BLENDFACTORALPHA", 14},  {"BLENDTEXTUREALPHAPM", 15},
         {"BLENDCURRENTALPHA", 16}, {"PREMODULATE", 17},       {"MODULATEALPHAADDCOLOR", 18},
         {"MODULATECOLORADDALPHA", 19}, {"MODULATEINVALPHAADDCOLOR", 20}, {"MODULATEINVCOLORADDALPHA", 21},
         {"BUMPENVMAP", 22},       {"BUMPENVMAPLUMINANCE", 23}, {"DOTPRODUCT3", 24},
         {"MULTIPLYADD", 25},      {"LERP", 26}});
    return t;
}
const StateNameTable& TextureArgValues()
{
    static const StateNameTable t = MakeTable({{"DIFFUSE", 0}, {"CURRENT", 1}, {"TEXTURE", 2}, {"TFACTOR", 3},
                                               {"SPECULAR", 4}, {"TEMP", 5}, {"SELECTMASK", 15}});
    return t;
}
const StateNameTable& TexCoordGenValues()
{
    static const StateNameTable t = MakeTable({{"CAMERASPACENORMAL", 0x10000},
                                               {"CAMERASPACEPOSITION", 0x20000},
                                               {"CAMERASPACEREFLECTIONVECTOR", 0x30000}});
    return t;
}
const StateNameTable& AddressValues()
{
    static const StateNameTable t =
        MakeTable({{"WRAP", 1}, {"MIRROR", 2}, {"CLAMP", 3}, {"BORDER", 4}, {"MIRRORONCE", 5}});
    return t;
}
const StateNameTable& FilterValues()
{
    static const StateNameTable t = MakeTable({{"NONE", 0}, {"POINT", 1}, {"LINEAR", 2}, {"ANISOTROPIC", 3},
                                               {"FLATCUBIC", 4}, {"GAUSSIANCUBIC", 5}});
    return t;
}
const StateNameTable& TransformFlagValues()
{
    static const StateNameTable t = MakeTable({{"DISABLE", 0}, {"COUNT1", 1}, {"COUNT2", 2}, {"COUNT3", 3},
                                               {"COUNT4", 4}, {"PROJECTED", 256}, {"COUNT1|PROJECTED", 257},
                                               {"COUNT2|PROJECTED", 258}, {"COUNT3|PROJECTED", 259},
                                               {"COUNT4|PROJECTED", 260}});
    return t;
}

struct StateEntry
{
    const char* name;
    uint32_t value;
    StateRule rule;
};

const std::map<uint32_t, StateRule>& RenderStateRules();
const std::map<uint32_t, StateRule>& StageStateRules();

// The render states with the value rule of each.
const std::vector<StateEntry>& RenderStateEntries()
{
    static const std::vector<StateEntry> entries = {
        {"ZENABLE", 7, {kNameList, &ZEnableValues()}},
        {"FILLMODE", 8, {kNameList, &FillModeValues()}},
        {"SHADEMODE", 9, {kNameList, &ShadeModeValues()}},
        {"LINEPATTERN", 10, {kNumber, nullptr}},
        {"ZWRITEENABLE", 14, {kBool, nullptr}},
        {"ALPHATESTENABLE", 15, {kBool, nullptr}},
        {"LASTPIXEL", 16, {kBool, nullptr}},
        {"SRCBLEND", 19, {kNameList, &BlendValues()}},
        {"DESTBLEND", 20, {kNameList, &BlendValues()}},
        {"CULLMODE", 22, {kNameList, &CullValues()}},
        {"ZFUNC", 23, {kNameList, &CompareValues()}},
        {"ALPHAREF", 24, {kNumber, nullptr}},
        {"ALPHAFUNC", 25, {kNameList, &CompareValues()}},
        {"DITHERENABLE", 26, {kBool, nullptr}},
        {"ALPHABLENDENABLE", 27, {kBool, nullptr}},
        {"FOGENABLE", 28, {kBool, nullptr}},
        {"SPECULARENABLE", 29, {kBool, nullptr}},
        {"ZVISIBLE", 30, {kBool, nullptr}},
        {"FOGCOLOR", 34, {kNumber, nullptr}},
        {"FOGTABLEMODE", 35, {kNameList, &FogModeValues()}},
        {"FOGSTART", 36, {kFloat, nullptr}},
        {"FOGEND", 37, {kFloat, nullptr}},
        {"FOGDENSITY", 38, {kFloat, nullptr}},
        {"EDGEANTIALIAS", 40, {kBool, nullptr}},
        {"ZBIAS", 47, {kNumber, nullptr}},
        {"RANGEFOGENABLE", 48, {kBool, nullptr}},
        {"STENCILENABLE", 52, {kBool, nullptr}},
        {"STENCILFAIL", 53, {kNameList, &StencilOpValues()}},
        {"STENCILZFAIL", 54, {kNameList, &StencilOpValues()}},
        {"STENCILPASS", 55, {kNameList, &StencilOpValues()}},
        {"STENCILFUNC", 56, {kNameList, &CompareValues()}},
        {"STENCILREF", 57, {kNumber, nullptr}},
        {"STENCILMASK", 58, {kNumber, nullptr}},
        {"STENCILWRITEMASK", 59, {kNumber, nullptr}},
        {"TEXTUREFACTOR", 60, {kNumber, nullptr}},
        {"WRAP0", 128, {kNumber, nullptr}},
        {"WRAP1", 129, {kNumber, nullptr}},
        {"WRAP2", 130, {kNumber, nullptr}},
        {"WRAP3", 131, {kNumber, nullptr}},
        {"WRAP4", 132, {kNumber, nullptr}},
        {"WRAP5", 133, {kNumber, nullptr}},
        {"WRAP6", 134, {kNumber, nullptr}},
        {"WRAP7", 135, {kNumber, nullptr}},
        {"CLIPPING", 136, {kBool, nullptr}},
        {"LIGHTING", 137, {kBool, nullptr}},
        {"AMBIENT", 139, {kNumber, nullptr}},
        {"FOGVERTEXMODE", 140, {kNameList, &FogModeValues()}},
        {"COLORVERTEX", 141, {kBool, nullptr}},
        {"LOCALVIEWER", 142, {kBool, nullptr}},
        {"NORMALIZENORMALS", 143, {kBool, nullptr}},
        {"DIFFUSEMATERIALSOURCE", 145, {kNameList, &MaterialSourceValues()}},
        {"SPECULARMATERIALSOURCE", 146, {kNameList, &MaterialSourceValues()}},
        {"AMBIENTMATERIALSOURCE", 147, {kNameList, &MaterialSourceValues()}},
        {"EMISSIVEMATERIALSOURCE", 148, {kNameList, &MaterialSourceValues()}},
        {"VERTEXBLEND", 151, {kNameList, &VertexBlendValues()}},
        {"CLIPPLANEENABLE", 152, {kNumber, nullptr}},
        {"SOFTWAREVERTEXPROCESSING", 153, {kBool, nullptr}},
        {"POINTSIZE", 154, {kFloat, nullptr}},
        {"POINTSIZEMIN", 155, {kFloat, nullptr}},
        {"POINTSPRITEENABLE", 156, {kBool, nullptr}},
        {"POINTSCALEENABLE", 157, {kBool, nullptr}},
        {"POINTSCALEA", 158, {kFloat, nullptr}},
        {"POINTSCALEB", 159, {kFloat, nullptr}},
        {"POINTSCALEC", 160, {kFloat, nullptr}},
        {"MULTISAMPLEANTIALIAS", 161, {kBool, nullptr}},
        {"MULTISAMPLEMASK", 162, {kNumber, nullptr}},
        {"PATCHEDGESTYLE", 163, {kNameList, &PatchEdgeValues()}},
        {"PATCHSEGMENTS", 164, {kFloat, nullptr}},
        {"DEBUGMONITORTOKEN", 165, {kNameList, &DebugMonitorValues()}},
        {"POINTSIZEMAX", 166, {kFloat, nullptr}},
        {"INDEXEDVERTEXBLENDENABLE", 167, {kBool, nullptr}},
        {"COLORWRITEENABLE", 168, {kNumber, nullptr}},
        {"TWEENFACTOR", 170, {kFloat, nullptr}},
        {"BLENDOP", 171, {kNameList, &BlendOpValues()}},
    };
    return entries;
}

const std::vector<StateEntry>& StageStateEntries()
{
    static const std::vector<StateEntry> entries = {
        {"COLOROP", 1, {kNameList, &TextureOpValues()}},
        {"COLORARG1", 2, {kNameList, &TextureArgValues()}},
        {"COLORARG2", 3, {kNameList, &TextureArgValues()}},
        {"ALPHAOP", 4, {kNameList, &TextureOpValues()}},
        {"ALPHAARG1", 5, {kNameList, &TextureArgValues()}},
        {"ALPHAARG2", 6, {kNameList, &TextureArgValues()}},
        {"BUMPENVMAT00", 7, {kFloat, nullptr}},
        {"BUMPENVMAT01", 8, {kFloat, nullptr}},
        {"BUMPENVMAT10", 9, {kFloat, nullptr}},
        {"BUMPENVMAT11", 10, {kFloat, nullptr}},
        {"TEXCOORDINDEX", 11, {kTexCoordIndex, &TexCoordGenValues()}},
        {"ADDRESSU", 13, {kNameList, &AddressValues()}},
        {"ADDRESSV", 14, {kNameList, &AddressValues()}},
        {"BORDERCOLOR", 15, {kNumber, nullptr}},
        {"MAGFILTER", 16, {kNameList, &FilterValues()}},
        {"MINFILTER", 17, {kNameList, &FilterValues()}},
        {"MIPFILTER", 18, {kNameList, &FilterValues()}},
        {"MIPMAPLODBIAS", 19, {kFloat, nullptr}},
        {"MAXMIPLEVEL", 20, {kNumber, nullptr}},
        {"MAXANISOTROPY", 21, {kNumber, nullptr}},
        {"BUMPENVLSCALE", 22, {kFloat, nullptr}},
        {"BUMPENVLOFFSET", 23, {kFloat, nullptr}},
        {"TEXTURETRANSFORMFLAGS", 24, {kNameList, &TransformFlagValues()}},
        {"ADDRESSW", 25, {kNameList, &AddressValues()}},
        {"COLORARG0", 26, {kNameList, &TextureArgValues()}},
        {"ALPHAARG0", 27, {kNameList, &TextureArgValues()}},
        {"RESULTARG", 28, {kNameList, &TextureArgValues()}},
    };
    return entries;
}

StateNameTable NamesOf(const std::vector<StateEntry>& entries)
{
    StateNameTable table;
    for (const StateEntry& e : entries)
        table[e.name] = e.value;
    return table;
}

std::map<uint32_t, StateRule> RulesOf(const std::vector<StateEntry>& entries)
{
    std::map<uint32_t, StateRule> rules;
    for (const StateEntry& e : entries)
        rules[e.value] = e.rule;
    return rules;
}

const std::map<uint32_t, StateRule>& RenderStateRules()
{
    static const std::map<uint32_t, StateRule> rules = RulesOf(RenderStateEntries());
    return rules;
}

const std::map<uint32_t, StateRule>& StageStateRules()
{
    static const std::map<uint32_t, StateRule> rules = RulesOf(StageStateEntries());
    return rules;
}

bool ReadNumber(const std::string& text, uint32_t& value)
{
    int32_t number = 0;
    if (!ReadEffectInteger(text, number))
        return false;
    value = static_cast<uint32_t>(number);
    return true;
}

uint32_t ApplyRule(const StateRule& rule, const std::string& text, std::string& expected)
{
    uint32_t value = 0;
    switch (rule.rule)
    {
    case kNumber:
        if (ReadNumber(text, value))
            return value;
        expected = "dec or hex number";
        return 0;
    case kBool:
    {
        const std::string upper = Upper(text);
        if (upper == "TRUE")
            return 1;
        if (upper != "FALSE")
            expected = "TRUE or FALSE";
        return 0;
    }
    case kFloat:
    {
        float f = 0;
        if (sscanf(text.c_str(), "%f", &f) != 1)
        {
            expected = "float number";
            return 0;
        }
        memcpy(&value, &f, sizeof value);
        return value;
    }
    case kNameList:
        return FindStateValue(*rule.names, text, expected);
    case kTexCoordIndex:
    {
        if (ReadNumber(text, value))
            return value;
        std::string names;
        value = FindStateValue(*rule.names, text, names);
        if (!names.empty())
            expected = "Dec or Hex number or " + names;
        return value;
    }
    }
    return 0;
}

uint32_t FindValueFor(const std::map<uint32_t, StateRule>& rules, const std::string& text, uint32_t state,
                      std::string& expected)
{
    auto it = rules.find(state);
    if (it == rules.end())
    {
        // Not a state of the table: only a number makes sense for it.
        return ApplyRule(StateRule{kNumber, nullptr}, text, expected);
    }
    return ApplyRule(it->second, text, expected);
}
} // namespace

bool ReadEffectInteger(const std::string& text, int32_t& value)
{
    // "%i" takes decimal, 0x hexadecimal and leading-0 octal; values past
    // the signed range come in as their 32-bit pattern.
    long long wide = 0;
    char* end = nullptr;
    const char* start = text.c_str();
    while (isspace(static_cast<unsigned char>(*start)))
        ++start;
    if (*start == 0)
        return false;
    wide = strtoll(start, &end, 0);
    if (end == start)
    {
        unsigned hex = 0;
        if (sscanf(text.c_str(), "0x%x", &hex) != 1)
            return false;
        value = static_cast<int32_t>(hex);
        return true;
    }
    value = static_cast<int32_t>(static_cast<uint32_t>(static_cast<unsigned long long>(wide)));
    return true;
}

uint32_t FindStateValue(const StateNameTable& table, const std::string& name, std::string& expected)
{
    auto it = table.find(Upper(name));
    if (it != table.end())
        return it->second;
    AppendNames(table, expected);
    return 0;
}

uint32_t FindRenderState(const std::string& name, std::string& expected)
{
    static const StateNameTable table = NamesOf(RenderStateEntries());
    return FindStateValue(table, name, expected);
}

uint32_t FindTextureStageState(const std::string& name, std::string& expected)
{
    static const StateNameTable table = NamesOf(StageStateEntries());
    return FindStateValue(table, name, expected);
}

uint32_t FindTransform(const std::string& name, std::string& expected)
{
    static const StateNameTable table = MakeTable({{"VIEW", 2}, {"PROJECTION", 3}, {"TEXTURE0", 16},
                                                   {"TEXTURE1", 17}, {"TEXTURE2", 18}, {"TEXTURE3", 19},
                                                   {"TEXTURE4", 20}, {"TEXTURE5", 21}, {"TEXTURE6", 22},
                                                   {"TEXTURE7", 23}});
    return FindStateValue(table, name, expected);
}

uint32_t FindDeclarationType(const std::string& name, std::string& expected)
{
    static const StateNameTable table = MakeTable({{"FLOAT1", 0}, {"FLOAT2", 1}, {"FLOAT3", 2}, {"FLOAT4", 3},
                                                   {"COLOR", 4}, {"UBYTE4", 5}, {"SHORT2", 6}, {"SHORT4", 7}});
    return FindStateValue(table, name, expected);
}

uint32_t FindRenderStateValue(const std::string& value, uint32_t renderState, std::string& expected)
{
    return FindValueFor(RenderStateRules(), value, renderState, expected);
}

uint32_t FindTextureStageStateValue(const std::string& value, uint32_t stageState, std::string& expected)
{
    return FindValueFor(StageStateRules(), value, stageState, expected);
}

uint32_t ParseConstantType(const std::string& type, std::string& expected)
{
    const std::string upper = Upper(type);
    if (upper == "FLOAT4")
        return 0;
    if (upper == "MATRIX")
        return 1;
    expected = "\"Matrix\" or \"Float4\"";
    return 0;
}
