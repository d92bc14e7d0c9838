#pragma once
// An effect device that accepts everything and draws nothing; the first
// byte of the input decides whether shaders assemble and create.
#include "EffectDevice.h"

class NullEffectDevice : public IEffectDevice
{
public:
    bool refuse = false;
    void SetRenderState(uint32_t, uint32_t) override {}
    void SetTextureStageState(uint32_t, uint32_t, uint32_t) override {}
    void SetTransform(uint32_t, const D3DMATRIX&) override {}
    void SetTexture(uint32_t, IDirect3DBaseTexture8*) override {}
    void SetVertexShaderConstant(uint32_t, const float*, uint32_t) override {}
    void SetPixelShaderConstant(uint32_t, const float*, uint32_t) override {}
    void SetVertexShader(uint32_t) override {}
    void SetPixelShader(uint32_t) override {}
    bool AssembleShader(const std::string& code, std::vector<uint32_t>& tokens, std::string& error) override
    {
        if (code.size() % 3 == 0)
        {
            error = "odd";
            return false;
        }
        tokens.assign(1, static_cast<uint32_t>(code.size()));
        return true;
    }
    HRESULT CreateVertexShader(const std::vector<uint32_t>&, const std::vector<uint32_t>&, uint32_t* h) override
    {
        *h = 1;
        return refuse ? E_FAIL : S_OK;
    }
    HRESULT CreatePixelShader(const std::vector<uint32_t>&, uint32_t* h) override
    {
        *h = 2;
        return refuse ? E_FAIL : S_OK;
    }
    std::string GetErrorText(HRESULT) override { return "refused"; }
    uint32_t GetMaxSimultaneousTextures() override { return refuse ? 1 : 8; }
    HRESULT ValidateDevice() override { return refuse ? E_FAIL : S_OK; }
};
