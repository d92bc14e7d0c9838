#pragma once
// An effect device that writes every call as one line of text, and creates
// shaders with handles counting from 1 unless told to refuse or fail.
#include <cstdio>
#include <string>
#include <vector>

#include "EffectDevice.h"

class RecordingEffectDevice : public IEffectDevice
{
public:
    std::vector<std::string> calls;
    bool refuseShaders = false;          // CreateXShader fails
    std::string assemblerError;          // non-empty: AssembleShader fails
    std::vector<std::vector<uint32_t>> declarations;
    uint32_t nextHandle = 1;
    uint32_t maxTextures = 8;
    HRESULT validateResult = S_OK;

    void SetRenderState(uint32_t state, uint32_t value) override { Add("RS %u=%u", state, value); }
    void SetTextureStageState(uint32_t stage, uint32_t type, uint32_t value) override
    {
        Add("TSS %u.%u=%u", stage, type, value);
    }
    void SetTransform(uint32_t type, const D3DMATRIX& m) override { Add("TRANSFORM %u %g", type, m._11); }
    void SetTexture(uint32_t stage, IDirect3DBaseTexture8* texture) override
    {
        Add("TEX %u=%p", stage, static_cast<void*>(texture));
    }
    void SetVertexShaderConstant(uint32_t reg, const float* v, uint32_t count) override
    {
        Add("VSC %u x%u %g", reg, count, v[0]);
    }
    void SetPixelShaderConstant(uint32_t reg, const float* v, uint32_t count) override
    {
        Add("PSC %u x%u %g", reg, count, v[0]);
    }
    void SetVertexShader(uint32_t handle) override { Add("VS %u", handle); }
    void SetPixelShader(uint32_t handle) override { Add("PS %u", handle); }
    bool AssembleShader(const std::string& code, std::vector<uint32_t>& tokens, std::string& error) override
    {
        if (!assemblerError.empty())
        {
            error = assemblerError;
            return false;
        }
        tokens.assign(code.begin(), code.end());
        return true;
    }
    HRESULT CreateVertexShader(const std::vector<uint32_t>& declaration, const std::vector<uint32_t>&,
                               uint32_t* handle) override
    {
        declarations.push_back(declaration);
        return Create(handle);
    }
    HRESULT CreatePixelShader(const std::vector<uint32_t>&, uint32_t* handle) override { return Create(handle); }
    std::string GetErrorText(HRESULT) override { return "refused"; }
    uint32_t GetMaxSimultaneousTextures() override { return maxTextures; }
    HRESULT ValidateDevice() override
    {
        Add("VALIDATE");
        return validateResult;
    }

private:
    HRESULT Create(uint32_t* handle)
    {
        if (refuseShaders)
            return E_FAIL;
        *handle = nextHandle++;
        return S_OK;
    }
    template <typename... A>
    void Add(const char* format, A... args)
    {
        char buffer[128];
        snprintf(buffer, sizeof buffer, format, args...);
        calls.push_back(buffer);
    }
};
