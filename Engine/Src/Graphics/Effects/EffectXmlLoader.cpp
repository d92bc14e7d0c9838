#include "EffectXmlLoader.h"

#include <tinyxml.h>

#include <cstdarg>
#include <cstdio>
#include <strings.h>

#include "EffectDevice.h"
#include "EffectStateNames.h"
#include "Log.h"

namespace
{
bool Is(const TiXmlElement* element, const char* name) { return strcasecmp(element->Value(), name) == 0; }

std::string TextOf(const TiXmlElement* element)
{
    const TiXmlNode* first = element->FirstChild();
    if (first && first->ToText())
        return first->Value();
    return std::string();
}

std::string Attribute(const TiXmlElement* element, const char* name)
{
    const char* value = element->Attribute(name);
    return value ? value : std::string();
}

bool IsVariableValue(const std::string& value) { return value.size() >= 9 && strncasecmp(value.c_str(), "Variable:", 9) == 0; }

// Reads "%i" as the files write it; -1 counts as missing.
bool ReadIndex(const char* text, int32_t& value)
{
    return text && ReadEffectInteger(text, value) && value != -1;
}

// "(%f, %f, %f, %f)" where a blank matches any run of blanks, also none.
bool ReadVector(const std::string& text, float v[4])
{
    return sscanf(text.c_str(), " (%f , %f , %f , %f )", &v[0], &v[1], &v[2], &v[3]) == 4;
}

template <typename F>
void ForEachChild(TiXmlElement* parent, F f)
{
    for (TiXmlElement* child = parent->FirstChildElement(); child; child = child->NextSiblingElement())
        f(child);
}
} // namespace

EffectXmlLoader::EffectXmlLoader(IEffectDevice* device) : m_pDevice(device) {}

IEffectDevice* EffectXmlLoader::Device() const { return m_pDevice ? m_pDevice : GetEffectDevice(); }

void EffectXmlLoader::Message(const char* format, ...)
{
    char buffer[4096];
    va_list args;
    va_start(args, format);
    vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    m_Messages.push_back(buffer);
}

namespace
{
// Effect files are plain ASCII, so they are read byte by byte: TinyXML's
// UTF-8 path reads a whole multi-byte sequence even when the text ends
// inside it.
void ParseDocument(TiXmlDocument& document, const std::string& text)
{
    document.Parse(text.c_str(), nullptr, TIXML_ENCODING_LEGACY);
}
} // namespace

bool EffectXmlLoader::Parse(const std::string& text, Effect* effect)
{
    m_Messages.clear();
    m_pEffect = effect;
    TiXmlDocument document;
    ParseDocument(document, text);
    if (document.Error())
    {
        // A broken file would otherwise lose whatever follows the error.
        Message("Error: XML syntax at row %i, column %i: %s\n", document.ErrorRow(), document.ErrorCol(),
                document.ErrorDesc());
        return false;
    }
    bool found = false;
    for (TiXmlElement* element = document.FirstChildElement(); element; element = element->NextSiblingElement())
    {
        if (!Is(element, "Effect"))
            continue;
        found = true;
        ReadEffect(element);
    }
    return found;
}

bool EffectXmlLoader::ParseNameBlock(const std::string& text, Effect* effect)
{
    m_Messages.clear();
    TiXmlDocument document;
    ParseDocument(document, text);
    for (TiXmlElement* element = document.FirstChildElement(); element; element = element->NextSiblingElement())
        if (Is(element, "Name"))
            effect->SetName(TextOf(element));
    return true;
}

bool EffectXmlLoader::ParseConditionBlock(const std::string& text, Effect* effect)
{
    m_Messages.clear();
    m_pEffect = effect;
    TiXmlDocument document;
    ParseDocument(document, text);
    for (TiXmlElement* element = document.FirstChildElement(); element; element = element->NextSiblingElement())
        if (Is(element, "Condition"))
            ReadCondition(element);
    return true;
}

void EffectXmlLoader::ReadEffect(TiXmlElement* element)
{
    ForEachChild(element, [this](TiXmlElement* child) {
        if (Is(child, "Name"))
            m_pEffect->SetName(TextOf(child));
        else if (Is(child, "Condition"))
            ReadCondition(child);
        else if (Is(child, "Technique"))
            ReadTechnique(child);
    });
}

void EffectXmlLoader::ReadCondition(TiXmlElement* element)
{
    ForEachChild(element, [this](TiXmlElement* child) {
        if (!Is(child, "Texture"))
            return;
        const std::string kind = TextOf(child);
        if (!kind.empty())
            m_pEffect->AddCondition(kind, Attribute(child, "Type"));
    });
}

void EffectXmlLoader::ReadTechnique(TiXmlElement* element)
{
    m_Technique.Clear();
    m_Technique.SetEffectName(m_pEffect->GetName());
    m_PassIndex = 0;
    try
    {
        for (TiXmlElement* child = element->FirstChildElement(); child; child = child->NextSiblingElement())
        {
            if (Is(child, "Name"))
                m_Technique.SetName(TextOf(child));
            else if (Is(child, "Pass"))
                ReadPass(child);
            else if (Is(child, "Disabled"))
                return;
        }
    }
    catch (const ErrorShaderLoading&)
    {
        return;
    }
    m_pEffect->AddTechnique(m_Technique);
}

void EffectXmlLoader::ReadPass(TiXmlElement* element)
{
    m_Pass.Reset();
    int32_t stage = 0;
    for (TiXmlElement* child = element->FirstChildElement(); child; child = child->NextSiblingElement())
    {
        if (Is(child, "Stage"))
        {
            if (stage >= kMaxStages)
                Message("Error: more than %i Stage elements in a pass\n", static_cast<int>(kMaxStages));
            else
                ReadStage(child, stage);
            ++stage;
        }
        else if (Is(child, "RenderState"))
            ReadRenderState(child);
        else if (Is(child, "Transform"))
            ReadTransform(child);
        else if (Is(child, "VertexShaderConstant"))
            ReadShaderConstant(child, false);
        else if (Is(child, "PixelShaderConstant"))
            ReadShaderConstant(child, true);
        else if (Is(child, "VertexShader"))
            ReadShader(child, false);
        else if (Is(child, "PixelShader"))
            ReadShader(child, true);
        else if (Is(child, "Disabled"))
            return;
    }
    m_Technique.AddPass(m_Pass);
    ++m_PassIndex;
}

void EffectXmlLoader::ReadStage(TiXmlElement* element, int32_t stage)
{
    for (TiXmlElement* child = element->FirstChildElement(); child; child = child->NextSiblingElement())
    {
        if (Is(child, "TextureStageState"))
            ReadTextureStageState(child, stage);
        else if (Is(child, "Texture"))
            ReadTexture(child, stage);
        else if (Is(child, "Disabled"))
            return;
    }
}

EffectVariablePtr EffectXmlLoader::ValueVariable(const std::string& value)
{
    return m_Technique.GetVariableForPass(value.substr(9), m_PassIndex);
}

void EffectXmlLoader::ReadRenderState(TiXmlElement* element)
{
    const std::string stateText = Attribute(element, "State");
    const std::string value = Attribute(element, "Value");
    std::string expected;
    const uint32_t state = FindRenderState(stateText, expected);
    if (!expected.empty())
    {
        Message("Error: Find: %s; expected: %s.", stateText.c_str(), expected.c_str());
        return;
    }
    if (IsVariableValue(value))
    {
        m_Pass.AddRenderState(state, 0, ValueVariable(value));
        return;
    }
    const uint32_t literal = FindRenderStateValue(value, state, expected);
    if (!expected.empty())
    {
        Message("Error: Find: %s; expected: %s.", value.c_str(), expected.c_str());
        return;
    }
    m_Pass.AddRenderState(state, literal, EffectVariablePtr());
}

void EffectXmlLoader::ReadTextureStageState(TiXmlElement* element, int32_t stage)
{
    const std::string stateText = Attribute(element, "State");
    const std::string value = Attribute(element, "Value");
    std::string expected;
    const uint32_t state = FindTextureStageState(stateText, expected);
    if (!expected.empty())
    {
        Message("Error: Find: %s; expected: %s.", stateText.c_str(), expected.c_str());
        return;
    }
    if (IsVariableValue(value))
    {
        m_Pass.AddTextureStageState(stage, state, 0, ValueVariable(value));
        return;
    }
    const uint32_t literal = FindTextureStageStateValue(value, state, expected);
    if (!expected.empty())
    {
        Message("Error: Find: %s; expected: %s.", value.c_str(), expected.c_str());
        return;
    }
    m_Pass.AddTextureStageState(stage, state, literal, EffectVariablePtr());
}

void EffectXmlLoader::ReadTexture(TiXmlElement* element, int32_t stage)
{
    const std::string value = Attribute(element, "Value");
    if (!IsVariableValue(value))
    {
        Message("Warning: Texture value is not a variable(\"%s\").", value.c_str());
        return;
    }
    m_Pass.AddTexture(stage, ValueVariable(value));
}

void EffectXmlLoader::ReadTransform(TiXmlElement* element)
{
    const std::string stateText = Attribute(element, "State");
    const std::string value = Attribute(element, "Value");
    std::string expected;
    const uint32_t transform = FindTransform(stateText, expected);
    if (!expected.empty())
    {
        Message("Error: Find %s; Expected: %s\n", stateText.c_str(), expected.c_str());
        return;
    }
    if (!IsVariableValue(value))
    {
        Message("Transformation value must be variable\n");
        return;
    }
    m_Pass.AddTransform(transform, ValueVariable(value));
}

void EffectXmlLoader::ReadShaderConstant(TiXmlElement* element, bool pixel)
{
    const char* kind = pixel ? "PixelShaderConstant" : "VertexShaderConstant";
    const char* regText = element->Attribute("Register");
    int32_t reg = 0;
    if (!ReadIndex(regText, reg))
    {
        Message("Error in %s->Register: Find %s; Expected Integer\n", kind, regText ? regText : "");
        return;
    }
    const std::string typeText = Attribute(element, "Type");
    std::string expected;
    const int32_t type = static_cast<int32_t>(ParseConstantType(typeText, expected));
    if (!expected.empty())
    {
        Message("Error in %s->Type: Find %s; Expected %s\n", kind, typeText.c_str(), expected.c_str());
        return;
    }
    const std::string value = Attribute(element, "Value");
    if (IsVariableValue(value))
    {
        if (pixel)
            m_Pass.AddPixelShaderConstant(reg, type, ValueVariable(value));
        else
            m_Pass.AddVertexShaderConstant(reg, type, ValueVariable(value));
        return;
    }
    float v[4];
    if (!ReadVector(value, v))
    {
        Message("Error in %s->Value: Find %s; Expected variable or vector\n", kind, value.c_str());
        return;
    }
    if (type != 0)
    {
        // A literal holds four floats; as a matrix it would send the identity.
        Message("Error in %s->Value: Find %s; a literal value needs Type Float4\n", kind, value.c_str());
        return;
    }
    EffectVariable temporary("", std::string());
    temporary.SetFloat4(v);
    if (pixel)
        m_Pass.AddPixelShaderConstantValue(reg, type, temporary);
    else
        m_Pass.AddVertexShaderConstantValue(reg, type, temporary);
}

void EffectXmlLoader::ReadShader(TiXmlElement* element, bool pixel)
{
    m_MatchName.clear();
    m_MatchEqual = 0;
    m_MatchDefault = -1;
    m_ShaderName = Attribute(element, "Name");
    for (TiXmlElement* child = element->FirstChildElement(); child; child = child->NextSiblingElement())
    {
        if (!pixel && Is(child, "Declaration"))
            ReadDeclaration(child);
        else if (Is(child, "Code"))
            CreateShader(child, pixel);
        else if (Is(child, "Match"))
            ReadMatch(child);
    }
    const char* link = element->Attribute("Link");
    if (!link)
        return;
    if (pixel)
    {
        auto it = m_NamedPixelShaders.find(link);
        if (it == m_NamedPixelShaders.end())
        {
            Message("Can't find link to pixel shader %s\n", link);
            return;
        }
        AddVariant(true, it->second);
    }
    else
    {
        auto it = m_NamedVertexShaders.find(link);
        if (it == m_NamedVertexShaders.end())
        {
            Message("Can't find link to vertex shader %s\n", link);
            return;
        }
        AddVariant(false, it->second.handle);
        m_Pass.SetSemantics(it->second.semantics);
    }
}

void EffectXmlLoader::ReadDeclaration(TiXmlElement* element)
{
    m_StreamIndex = 0;
    m_Declaration.clear();
    m_DeclaredSemantics.clear();
    ForEachChild(element, [this](TiXmlElement* stream) {
        if (!Is(stream, "Stream"))
            return;
        m_Declaration.push_back(0x20000000u | static_cast<uint32_t>(m_StreamIndex));
        ForEachChild(stream, [this](TiXmlElement* reg) {
            if (Is(reg, "Register"))
                ReadRegister(reg);
        });
        ++m_StreamIndex;
    });
    m_Declaration.push_back(0xFFFFFFFFu);
}

void EffectXmlLoader::ReadRegister(TiXmlElement* element)
{
    const char* numberText = element->Attribute("Number");
    int32_t number = 0;
    if (!ReadIndex(numberText, number))
    {
        Message("Error in Declaration->Stream->Register->Number: Find %s; Expected Integer\n",
                numberText ? numberText : "");
        return;
    }
    const std::string typeText = Attribute(element, "Type");
    std::string expected;
    const uint32_t type = FindDeclarationType(typeText, expected);
    if (!expected.empty())
        Message("Error in Declaration->Stream->Register->Type: Find %s; Expected one of: %s\n", typeText.c_str(),
                expected.c_str());
    else
        m_Declaration.push_back(0x40000000u | (type << 16) | (static_cast<uint32_t>(number) & 0xFFFFu));
    if (const char* semantics = element->Attribute("Semantics"))
        m_DeclaredSemantics.push_back(semantics);
}

void EffectXmlLoader::ReadMatch(TiXmlElement* element)
{
    const std::string value = Attribute(element, "Value");
    if (!IsVariableValue(value))
    {
        Message("Expected variable in 'Value' attribute\n");
        return;
    }
    m_MatchName = value.substr(9);
    unsigned equal = 0;
    const char* equalText = element->Attribute("Equal");
    if (!equalText || sscanf(equalText, "%u", &equal) != 1)
    {
        Message("Expected integer in 'Equal' attribute\n");
        return;
    }
    m_MatchEqual = equal;
    unsigned def = 0;
    const char* defaultText = element->Attribute("Default");
    if (defaultText && sscanf(defaultText, "%u", &def) == 1)
        m_MatchDefault = static_cast<int32_t>(def);
    else
        m_MatchDefault = -1;
}

void EffectXmlLoader::AddVariant(bool pixel, uint32_t handle)
{
    EffectVariablePtr match;
    uint32_t equal = 0;
    if (!m_MatchName.empty())
    {
        match = m_Technique.GetVariableForPass(m_MatchName, m_PassIndex);
        if (m_MatchDefault >= 0)
            match->SetInt(m_MatchDefault);
        equal = m_MatchEqual;
    }
    if (pixel)
        m_Pass.AddPixelShader(equal, handle, match);
    else
        m_Pass.AddVertexShader(equal, handle, match);
}

void EffectXmlLoader::CreateShader(TiXmlElement* codeElement, bool pixel)
{
    const TiXmlNode* first = codeElement->FirstChild();
    if (!first || !first->ToText())
        return;
    const std::string code = first->Value();
    IEffectDevice* device = Device();
    std::vector<uint32_t> tokens;
    std::string error;
    if (!device || !device->AssembleShader(code, tokens, error))
    {
        if (!device)
            error = "no device";
        Message(pixel ? "Error in pixel shader: %s\n" : "Error in vertex shader: %s\n", error.c_str());
        return;
    }
    uint32_t handle = 0;
    const HRESULT hr = pixel ? device->CreatePixelShader(tokens, &handle)
                             : device->CreateVertexShader(m_Declaration, tokens, &handle);
    if (FAILED(hr))
    {
        Message(pixel ? "Effect %s: Failed to create pixel shader: %s\n"
                      : "Effect %s: Failed to create vertex shader: %s\n",
                m_pEffect->GetName().c_str(), device->GetErrorText(hr).c_str());
        if (pixel)
            throw ErrorPixelShaderLoading();
        throw ErrorVertexShaderLoading();
    }
    AddVariant(pixel, handle);
    if (pixel)
    {
        if (!m_ShaderName.empty())
            m_NamedPixelShaders[m_ShaderName] = handle;
        return;
    }
    m_Pass.SetSemantics(m_DeclaredSemantics);
    if (!m_ShaderName.empty())
        m_NamedVertexShaders[m_ShaderName] = {handle, m_DeclaredSemantics};
}
