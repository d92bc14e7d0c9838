#pragma once
// Reads XML effect text into an Effect. Problems become messages and reading
// goes on; shaders are assembled and created on the effects' device while
// reading, and a shader that the device refuses drops its technique.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "Effect.h"

class TiXmlElement;
class IEffectDevice;

struct ErrorShaderLoading
{
};
struct ErrorVertexShaderLoading : ErrorShaderLoading
{
};
struct ErrorPixelShaderLoading : ErrorShaderLoading
{
};

class EffectXmlLoader
{
public:
    // Shaders go to `device`, or to GetEffectDevice() when null.
    explicit EffectXmlLoader(IEffectDevice* device = nullptr);

    // True when the text holds a top-level <Effect> and is well-formed XML.
    bool Parse(const std::string& text, Effect* effect);
    bool ParseNameBlock(const std::string& text, Effect* effect);
    bool ParseConditionBlock(const std::string& text, Effect* effect);

    const std::vector<std::string>& GetMessages() const { return m_Messages; }

    enum
    {
        kMaxStages = 8
    };

private:
    struct NamedVertexShader
    {
        uint32_t handle;
        std::vector<std::string> semantics;
    };

    void Message(const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;
    IEffectDevice* Device() const;

    void ReadEffect(TiXmlElement* element);
    void ReadCondition(TiXmlElement* element);
    void ReadTechnique(TiXmlElement* element);
    void ReadPass(TiXmlElement* element);
    void ReadStage(TiXmlElement* element, int32_t stage);
    void ReadRenderState(TiXmlElement* element);
    void ReadTextureStageState(TiXmlElement* element, int32_t stage);
    void ReadTexture(TiXmlElement* element, int32_t stage);
    void ReadTransform(TiXmlElement* element);
    void ReadShaderConstant(TiXmlElement* element, bool pixel);
    void ReadShader(TiXmlElement* element, bool pixel);
    void ReadDeclaration(TiXmlElement* element);
    void ReadRegister(TiXmlElement* element);
    void ReadMatch(TiXmlElement* element);
    void CreateShader(TiXmlElement* code, bool pixel);
    void AddVariant(bool pixel, uint32_t handle);
    // A "Variable:" value gives the variable of the pass under construction.
    EffectVariablePtr ValueVariable(const std::string& value);

    IEffectDevice* m_pDevice;
    std::vector<std::string> m_Messages;
    Effect* m_pEffect = nullptr;
    EffectTechnique m_Technique;
    EffectPass m_Pass;
    int32_t m_PassIndex = 0;
    int32_t m_StreamIndex = 0;
    std::vector<uint32_t> m_Declaration;
    std::vector<std::string> m_DeclaredSemantics;
    std::map<std::string, NamedVertexShader> m_NamedVertexShaders;
    std::map<std::string, uint32_t> m_NamedPixelShaders;
    std::string m_ShaderName;
    std::string m_MatchName;
    uint32_t m_MatchEqual = 0;
    int32_t m_MatchDefault = -1;
};
