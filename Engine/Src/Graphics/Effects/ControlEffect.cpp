#include "ControlEffect.h"

#include <cctype>
#include <cstring>
#include <sstream>

#include "DiffuseEffectText.h"
#include "EffectDevice.h"
#include "Log.h"

namespace
{
const uint32_t kAnyState = 0xFFFFFFFFu;
const uint32_t kMaxStage = 7;

struct Named
{
    const char* name;
    uint32_t value;
};

const Named kRenderStates[] = {
    {"ZENABLE", 7},        {"ZWRITEENABLE", 14},   {"ALPHATESTENABLE", 15}, {"SRCBLEND", 19},
    {"DESTBLEND", 20},     {"CULLMODE", 22},       {"ZFUNC", 23},           {"ALPHAFUNC", 25},
    {"ALPHABLENDENABLE", 27}, {"SPECULARENABLE", 29}, {"ZVISIBLE", 30},     {"ZBIAS", 47},
    {"RANGEFOGENABLE", 48}, {"TEXTUREFACTOR", 60}, {"WRAP0", 128},          {"WRAP1", 129},
    {"WRAP2", 130},        {"CLIPPING", 136},      {"LIGHTING", 137},       {"AMBIENT", 139},
    {"BLENDOP", 171},
};

const Named kStageStates[] = {
    {"COLOROP", 1},    {"COLORARG0", 26}, {"COLORARG1", 2},  {"COLORARG2", 3},
    {"ALPHAOP", 4},    {"ALPHAARG1", 5},  {"ALPHAARG2", 6},  {"TEXCOORDINDEX", 11},
    {"ADDRESSU", 13},  {"ADDRESSV", 14},  {"ADDRESSW", 25},  {"MAGFILTER", 16},
    {"MINFILTER", 17}, {"MIPFILTER", 18}, {"TEXTURETRANSFORMFLAGS", 24},
};

struct ValueEntry
{
    std::string name;
    uint32_t state;
    uint32_t value;
};

std::vector<ValueEntry> BuildValues()
{
    std::vector<ValueEntry> v;
    for (uint32_t s : {14u, 15u, 16u, 26u, 27u, 29u, 30u, 136u, 137u})
    {
        v.push_back({"TRUE", s, 1});
        v.push_back({"FALSE", s, 0});
    }
    v.push_back({"TRUE", 7, 1});
    v.push_back({"FALSE", 7, 0});
    v.push_back({"USEW", 7, 2});
    static const char* const blends[] = {"ZERO",     "ONE",         "SRCCOLOR",     "INVSRCCOLOR", "SRCALPHA",
                                         "INVSRCALPHA", "DESTALPHA", "INVDESTALPHA", "DESTCOLOR",  "INVDESTCOLOR",
                                         "SRCALPHASAT", "BOTHSRCALPHA", "BOTHINVSRCALPHA"};
    for (uint32_t s : {19u, 20u})
        for (uint32_t i = 0; i < 13; ++i)
            v.push_back({blends[i], s, i + 1});
    v.push_back({"NONE", 22, 1});
    v.push_back({"CW", 22, 2});
    v.push_back({"CCW", 22, 3});
    for (const Named& n : std::initializer_list<Named>{{"DISABLE", 0}, {"COUNT1", 1}, {"COUNT2", 2}, {"COUNT3", 3},
                                                       {"COUNT4", 4}, {"PROJECTED", 256}, {"COUNT3PROJECTED", 259}})
        v.push_back({n.name, 24, n.value});
    static const char* const ops[] = {"DISABLE",
                                      "SELECTARG1",
                                      "SELECTARG2",
                                      "MODULATE",
                                      "MODULATE2X",
                                      "MODULATE4X",
                                      "ADD",
                                      "ADDSIGNED",
                                      "ADDSIGNED2X",
                                      "SUBTRACT",
                                      "ADDSMOOTH",
                                      "BLENDDIFFUSEALPHA",
                                      "BLENDTEXTUREALPHA",
                                      "BLENDFACTORALPHA",
                                      "BLENDTEXTUREALPHAPM",
                                      "BLENDCURRENTALPHA",
                                      "PREMODULATE",
                                      "MODULATEALPHA_ADDCOLOR",
                                      "MODULATECOLOR_ADDALPHA",
                                      "MODULATEINVALPHA_ADDCOLOR",
                                      "MODULATEINVCOLOR_ADDALPHA"};
    for (uint32_t i = 0; i < 21; ++i)
        v.push_back({ops[i], kAnyState, i + 1});
    for (const Named& n : std::initializer_list<Named>{{"DOTPRODUCT3", 24}, {"MULTIPLYADD", 25}, {"LERP", 26},
                                                       {"CURRENT", 1}, {"DIFFUSE", 0}, {"SELECTMASK", 15},
                                                       {"SPECULAR", 4}, {"TEMP", 5}, {"TEXTURE", 2}, {"TFACTOR", 3},
                                                       {"TEXTURECOMPLEMENT", 18}})
        v.push_back({n.name, kAnyState, n.value});
    for (const Named& n : std::initializer_list<Named>{{"PASSTHRU", 0}, {"CAMERASPACENORMAL", 0x10000},
                                                       {"CAMERASPACEPOSITION", 0x20000},
                                                       {"CAMERASPACEREFLECTIONVECTOR", 0x30000}})
        v.push_back({n.name, 11, n.value});
    for (const Named& n :
         std::initializer_list<Named>{{"WRAP", 1}, {"MIRROR", 2}, {"CLAMP", 3}, {"BORDER", 4}})
        v.push_back({n.name, kAnyState, n.value});
    return v;
}

const std::vector<ValueEntry>& Values()
{
    static const std::vector<ValueEntry> values = BuildValues();
    return values;
}

std::string Upper(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return s;
}

template <size_t N>
bool Lookup(const Named (&table)[N], const std::string& upper, uint32_t& value)
{
    for (const Named& n : table)
        if (upper == n.name)
        {
            value = n.value;
            return true;
        }
    return false;
}

uint32_t LeadingNumber(const std::string& token)
{
    uint32_t n = 0;
    for (char c : token)
    {
        if (!isdigit(static_cast<unsigned char>(c)))
            break;
        n = n * 10 + static_cast<uint32_t>(c - '0');
    }
    return n;
}

uint32_t LiteralValue(const std::string& token, uint32_t state)
{
    const std::string upper = Upper(token);
    for (const ValueEntry& e : Values())
        if (e.name == upper && (e.state == kAnyState || e.state == state))
            return e.value;
    return LeadingNumber(token);
}

class Tokenizer
{
public:
    explicit Tokenizer(std::istream& in) : m_In(in) {}

    std::string Next()
    {
        for (;;)
        {
            int c = m_In.get();
            while (c != EOF && isspace(c))
                c = m_In.get();
            if (c == EOF)
                return std::string();
            if (isalnum(c) || c == '_')
            {
                std::string token(1, static_cast<char>(c));
                while (m_In.peek() != EOF && (isalnum(m_In.peek()) || m_In.peek() == '_'))
                    token += static_cast<char>(m_In.get());
                return token;
            }
            if (c == '/' && m_In.peek() == '/')
            {
                std::string rest;
                std::getline(m_In, rest);
                continue;
            }
            return std::string(1, static_cast<char>(c));
        }
    }

private:
    std::istream& m_In;
};

template <typename T>
int AppendEntry(std::vector<T>& list, const T& entry)
{
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i] == entry)
            return static_cast<int>(i);
    list.push_back(entry);
    return static_cast<int>(list.size() - 1);
}

class BodyReader
{
public:
    BodyReader(Tokenizer& tokens, ControlTechnique& technique) : m_Tokens(tokens), m_Technique(technique) {}

    std::string Read()
    {
        m_Technique.name = m_Tokens.Next();
        if (m_Tokens.Next() != "{")
            return "\"{\" not found";
        int depth = 1;
        while (depth > 0)
        {
            const std::string token = m_Tokens.Next();
            if (token.empty())
                return "end of text inside technique";
            const std::string upper = Upper(token);
            uint32_t state = 0;
            std::string error;
            if (token == "{")
                ++depth;
            else if (token == "}")
                --depth;
            else if (upper == "PASS")
                m_Technique.passes.emplace_back();
            else if (Lookup(kRenderStates, upper, state))
                error = RenderStatement(state);
            else if (Lookup(kStageStates, upper, state))
                error = StageStatement(state, false);
            else if (upper == "TEXTURE")
                error = StageStatement(0, true);
            if (!error.empty())
                return error;
        }
        m_Technique.complete = true;
        return std::string();
    }

private:
    bool Expect(const char* what, std::string& error)
    {
        if (m_Tokens.Next() == what)
            return true;
        error = std::string("\"") + what + "\" not found";
        return false;
    }

    // A value: "<" name ">" for a variable, else a literal token.
    std::string Value(std::string& literal, std::string& variable)
    {
        const std::string token = m_Tokens.Next();
        if (token != "<")
        {
            literal = token;
            return std::string();
        }
        variable = m_Tokens.Next();
        if (m_Tokens.Next() != ">")
            return "\">\" not found";
        return std::string();
    }

    ControlPass* CurrentPass(std::string& error)
    {
        if (m_Technique.passes.empty())
        {
            error = "state outside a pass";
            return nullptr;
        }
        return &m_Technique.passes.back();
    }

    std::string RenderStatement(uint32_t state)
    {
        std::string error, literal, variable;
        ControlPass* pass = CurrentPass(error);
        if (!pass || !Expect("=", error))
            return error;
        error = Value(literal, variable);
        if (!error.empty() || !Expect(";", error))
            return error;
        const uint32_t value = variable.empty() ? LiteralValue(literal, state) : 0;
        const int entry = AppendEntry(pass->renderStates, ControlPass::RenderState{state, value});
        if (!variable.empty())
            m_Technique.variables.push_back(std::make_unique<CVariableRenderState>(variable, PassIndex(), entry, state));
        return std::string();
    }

    std::string StageStatement(uint32_t state, bool texture)
    {
        std::string error, literal, variable;
        ControlPass* pass = CurrentPass(error);
        if (!pass || !Expect("[", error))
            return error;
        const uint32_t stage = LeadingNumber(m_Tokens.Next());
        if (!Expect("]", error) || !Expect("=", error))
            return error;
        if (stage > kMaxStage)
            return "stage number above 7";
        error = Value(literal, variable);
        if (!error.empty() || !Expect(";", error))
            return error;
        if (texture)
        {
            const int entry = AppendEntry(pass->textures, ControlPass::Texture{stage, nullptr});
            if (!variable.empty())
                m_Technique.variables.push_back(std::make_unique<CVariableTexture>(variable, PassIndex(), entry, stage));
            return std::string();
        }
        const uint32_t value = variable.empty() ? LiteralValue(literal, state) : 0;
        const int entry = AppendEntry(pass->stageStates, ControlPass::StageState{stage, state, value});
        if (!variable.empty())
            m_Technique.variables.push_back(
                std::make_unique<CVariableTextureStageState>(variable, PassIndex(), entry, state, stage));
        return std::string();
    }

    int PassIndex() const { return static_cast<int>(m_Technique.passes.size()) - 1; }

    Tokenizer& m_Tokens;
    ControlTechnique& m_Technique;
};
} // namespace

ControlTechnique& ControlTechnique::operator=(const ControlTechnique& other)
{
    if (this == &other)
        return *this;
    passes = other.passes;
    name = other.name;
    complete = other.complete;
    variables.clear();
    for (const auto& v : other.variables)
        variables.push_back(v->Clone());
    return *this;
}

size_t ControlTechnique::FindVariable(const std::string& variableName) const
{
    for (size_t i = 0; i < variables.size(); ++i)
        if (variables[i]->m_Name == variableName)
            return i;
    return variables.size();
}

void ControlTechnique::SetTexture(size_t variable, IDirect3DBaseTexture8* texture)
{
    if (variable >= variables.size())
        return;
    const CVariable& v = *variables[variable];
    if (v.GetKind() == CVariable::kTexture)
        passes[v.m_PassIndex].textures[v.m_EntryIndex].texture = texture;
}

void ControlTechnique::SetValue(size_t variable, uint32_t value)
{
    if (variable >= variables.size())
        return;
    CVariable& v = *variables[variable];
    ControlPass& pass = passes[v.m_PassIndex];
    if (v.GetKind() == CVariable::kTextureStageState)
    {
        static_cast<CVariableTextureStageState&>(v).m_Value = value;
        pass.stageStates[v.m_EntryIndex].value = value;
    }
    else if (v.GetKind() == CVariable::kRenderState)
        pass.renderStates[v.m_EntryIndex].value = value;
}

std::string ControlTechniqueParser(std::istream& in, std::vector<ControlTechnique>& techniques)
{
    Tokenizer tokens(in);
    std::string result;
    for (std::string token = tokens.Next(); !token.empty(); token = tokens.Next())
    {
        if (Upper(token) != "TECH")
            continue;
        techniques.emplace_back();
        BodyReader body(tokens, techniques.back());
        result += body.Read();
        if (!result.empty())
            result += "\n";
    }
    return result;
}

void ApplyControlPass(const ControlPass& pass, IEffectDevice& device)
{
    for (const auto& rs : pass.renderStates)
        device.SetRenderState(rs.state, rs.value);
    for (const auto& ss : pass.stageStates)
        device.SetTextureStageState(ss.stage, ss.state, ss.value);
    for (const auto& t : pass.textures)
        device.SetTexture(t.stage, t.texture);
}

bool ValidateControlTechnique(const ControlTechnique& technique, IEffectDevice& device)
{
    for (const ControlPass& pass : technique.passes)
    {
        if (pass.textures.size() > device.GetMaxSimultaneousTextures())
        {
            g_Log.Printf("Validation technique failed\n");
            return false;
        }
        ApplyControlPass(pass, device);
        const HRESULT hr = device.ValidateDevice();
        if (FAILED(hr))
        {
            std::string text = device.GetErrorText(hr);
            if (text.size() > 199)
                text.resize(199);
            g_Log.Printf("ValidateDevice on tech %s failed(Error: %s)\n", technique.name.c_str(), text.c_str());
            return false;
        }
    }
    return true;
}

ControlTechnique ChooseControlTechnique(const std::vector<ControlTechnique>& techniques, IEffectDevice& device,
                                        const std::set<std::string>& excluded)
{
    for (const ControlTechnique& t : techniques)
        if (excluded.count(t.name) == 0 && ValidateControlTechnique(t, device))
            return t;
    return ControlTechnique();
}

// ------------------------------------------------------------ diffuse effect

namespace
{
struct DiffuseClass
{
    bool chosen = false;
    ControlTechnique technique;
    size_t atf = 0, diff = 0, dtcc = 0;
    uint32_t diffStage = 0;
};

DiffuseClass& Diffuse()
{
    static DiffuseClass state;
    return state;
}
} // namespace

const char* CDiffuseEffect::GetText() { return kDiffuseEffectText; }

CDiffuseEffect::CDiffuseEffect(IDiffuseSource* source, IEffectDevice* device) : m_pSource(source)
{
    DiffuseClass& c = Diffuse();
    if (c.chosen)
        return;
    c.chosen = true;
    std::istringstream text(GetText());
    std::vector<ControlTechnique> techniques;
    ControlTechniqueParser(text, techniques);
    IEffectDevice* target = device ? device : GetEffectDevice();
    if (target)
        c.technique = ChooseControlTechnique(techniques, *target, m_Excluded);
    if (!c.technique.complete)
    {
        g_Log.Printf("DiffuseEffect: no techniques were validated!\n");
        return;
    }
    c.diff = c.technique.FindVariable("Diff");
    if (c.diff == c.technique.variables.size())
        g_Log.Printf("DiffuseEffect: Can't find \"Diffuse\" variable\n");
    else
        c.diffStage = static_cast<CVariableTexture&>(*c.technique.variables[c.diff]).m_Stage;
    c.atf = c.technique.FindVariable("ATF");
    c.dtcc = c.technique.FindVariable("DTCC");
}

const ControlTechnique& CDiffuseEffect::GetClassTechnique() { return Diffuse().technique; }

void CDiffuseEffect::ResetClass() { Diffuse() = DiffuseClass(); }

int CDiffuseEffect::GetPassCount() { return static_cast<int>(Diffuse().technique.passes.size()); }

void CDiffuseEffect::Apply(IEffectDevice& device, int pass)
{
    DiffuseClass& c = Diffuse();
    if (!c.technique.complete || pass < 0 || pass >= GetPassCount())
        return;
    c.technique.SetValue(c.atf, static_cast<uint32_t>(m_pSource->GetAlpha()) << 24);
    c.technique.SetTexture(c.diff, m_pSource->GetTexture());
    c.technique.SetValue(c.dtcc, m_pSource->GetTexCoordIndex());
    ApplyControlPass(c.technique.passes[pass], device);
    m_pSource->UpdateTextureMatrix(nullptr, c.diffStage);
}
