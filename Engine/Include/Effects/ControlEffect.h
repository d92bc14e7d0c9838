#pragma once
// Fixed-function effects written in a small technique language:
//   tech t0 { pass p0 { ColorOp[0]=Modulate; Texture[0]=<Diff>; } }
// A class parses its text once, keeps the first technique that the device
// validates, and fills the <variables> from its texture maps at draw time.
#include <cstdint>
#include <istream>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "D3D8Types.h"

#ifndef _WIN32
struct IDirect3DBaseTexture8;
struct IDirect3DDevice8;
#endif

class IEffectDevice;

struct ControlPass
{
    struct RenderState
    {
        uint32_t state, value;
        bool operator==(const RenderState& o) const { return state == o.state && value == o.value; }
    };
    struct StageState
    {
        uint32_t stage, state, value;
        bool operator==(const StageState& o) const
        {
            return stage == o.stage && state == o.state && value == o.value;
        }
    };
    struct Texture
    {
        uint32_t stage;
        IDirect3DBaseTexture8* texture;
        bool operator==(const Texture& o) const { return stage == o.stage && texture == o.texture; }
    };
    std::vector<RenderState> renderStates;
    std::vector<StageState> stageStates;
    std::vector<Texture> textures;
};

class CVariable
{
public:
    enum
    {
        kTexture = 0,
        kTextureStageState = 1,
        kRenderState = 2,
    };
    CVariable(const std::string& name, int pass, int entry) : m_Name(name), m_PassIndex(pass), m_EntryIndex(entry) {}
    virtual ~CVariable() = default;
    virtual int GetKind() const = 0;
    virtual std::unique_ptr<CVariable> Clone() const = 0;

    std::string m_Name;
    int m_PassIndex;
    int m_EntryIndex;
};

class CVariableTexture : public CVariable
{
public:
    CVariableTexture(const std::string& name, int pass, int entry, uint32_t stage)
        : CVariable(name, pass, entry), m_Stage(stage)
    {
    }
    int GetKind() const override { return kTexture; }
    std::unique_ptr<CVariable> Clone() const override { return std::make_unique<CVariableTexture>(*this); }
    uint32_t m_Stage;
};

class CVariableTextureStageState : public CVariable
{
public:
    CVariableTextureStageState(const std::string& name, int pass, int entry, uint32_t state, uint32_t stage)
        : CVariable(name, pass, entry), m_State(state), m_Stage(stage)
    {
    }
    int GetKind() const override { return kTextureStageState; }
    std::unique_ptr<CVariable> Clone() const override { return std::make_unique<CVariableTextureStageState>(*this); }
    uint32_t m_State;
    uint32_t m_Stage;
    uint32_t m_Value = 0;
};

class CVariableRenderState : public CVariable
{
public:
    CVariableRenderState(const std::string& name, int pass, int entry, uint32_t state)
        : CVariable(name, pass, entry), m_State(state)
    {
    }
    int GetKind() const override { return kRenderState; }
    std::unique_ptr<CVariable> Clone() const override { return std::make_unique<CVariableRenderState>(*this); }
    uint32_t m_State;
};

struct ControlTechnique
{
    ControlTechnique() = default;
    ControlTechnique(const ControlTechnique& other) { *this = other; }
    ControlTechnique& operator=(const ControlTechnique& other);

    // Index at or past the variable count: nothing.
    void SetTexture(size_t variable, IDirect3DBaseTexture8* texture);
    void SetValue(size_t variable, uint32_t value);
    // The position of the variable of that exact name, or the variable count.
    size_t FindVariable(const std::string& name) const;

    std::vector<ControlPass> passes;
    std::vector<std::unique_ptr<CVariable>> variables;
    std::string name;
    bool complete = false;
};

// Reads every technique of the text; returns the error texts ("" when all
// parsed).
std::string ControlTechniqueParser(std::istream& in, std::vector<ControlTechnique>& techniques);

bool ValidateControlTechnique(const ControlTechnique& technique, IEffectDevice& device);
ControlTechnique ChooseControlTechnique(const std::vector<ControlTechnique>& techniques, IEffectDevice& device,
                                        const std::set<std::string>& excluded = std::set<std::string>());
void ApplyControlPass(const ControlPass& pass, IEffectDevice& device);

class CControlEffect
{
public:
    virtual void Apply(IEffectDevice& device, int pass) = 0;
    virtual int GetPassCount() = 0;
    virtual ~CControlEffect() = default;

protected:
    std::set<std::string> m_Excluded;
};

// What the diffuse effect draws with: a texture, its alpha, its coordinate
// set and its texture transform. The texture maps provide it.
class IDiffuseSource
{
public:
    virtual uint8_t GetAlpha() const = 0;
    virtual IDirect3DBaseTexture8* GetTexture() = 0;
    virtual uint32_t GetTexCoordIndex() const = 0;
    virtual void UpdateTextureMatrix(IDirect3DDevice8* device, uint32_t stage) = 0;

protected:
    ~IDiffuseSource() = default;
};

class CDiffuseEffect : public CControlEffect
{
public:
    // The first construction parses the text and chooses the technique on
    // `device` (or on the effects' device when null).
    explicit CDiffuseEffect(IDiffuseSource* source, IEffectDevice* device = nullptr);
    void Apply(IEffectDevice& device, int pass) override;
    int GetPassCount() override;

    static const char* GetText();
    static const ControlTechnique& GetClassTechnique();
    // Forgets the class's choice so that the next construction chooses again.
    static void ResetClass();

private:
    IDiffuseSource* m_pSource;
};
