#include "ComRef.h"
#include "EffectDevice.h"
#include "d3dx8shader.h"

bool AssembleEffectShader(const std::string& code, std::vector<uint32_t>& tokens, std::string& error)
{
    ComRef<ID3DXBuffer> compiled, errors;
    const HRESULT hr = D3DXAssembleShader(code.data(), static_cast<UINT>(code.size()), 0, nullptr, compiled.Put(),
                                          errors.Put());
    if (errors)
    {
        error.assign(static_cast<const char*>(errors->GetBufferPointer()), errors->GetBufferSize());
        while (!error.empty() && (error.back() == 0 || error.back() == '\n'))
            error.pop_back();
    }
    if (FAILED(hr) || !compiled)
    {
        if (error.empty())
            error = "assembler failed";
        return false;
    }
    const uint32_t* p = static_cast<const uint32_t*>(compiled->GetBufferPointer());
    tokens.assign(p, p + compiled->GetBufferSize() / sizeof(uint32_t));
    return true;
}
