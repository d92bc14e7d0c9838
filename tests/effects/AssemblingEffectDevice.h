#pragma once
// A recording effect device whose shaders go through our real assembler.
#include "RecordingEffectDevice.h"

class AssemblingEffectDevice : public RecordingEffectDevice
{
public:
    bool AssembleShader(const std::string& code, std::vector<uint32_t>& tokens, std::string& error) override
    {
        return AssembleEffectShader(code, tokens, error);
    }
};
