#pragma once
// Words of the effect files turned into Direct3D 8 numbers: render states,
// texture-stage states, transforms, declaration types and their values.
// Every look-up returns the number; on a miss it returns 0 and appends what
// would have been accepted to `expected`, which the caller reports.
#include <cstdint>
#include <map>
#include <string>

typedef std::map<std::string, uint32_t> StateNameTable;

uint32_t FindStateValue(const StateNameTable& table, const std::string& name, std::string& expected);
uint32_t FindRenderState(const std::string& name, std::string& expected);
uint32_t FindTextureStageState(const std::string& name, std::string& expected);
uint32_t FindTransform(const std::string& name, std::string& expected);
uint32_t FindDeclarationType(const std::string& name, std::string& expected);

// A literal value for the given state, by that state's value rule.
uint32_t FindRenderStateValue(const std::string& value, uint32_t renderState, std::string& expected);
uint32_t FindTextureStageStateValue(const std::string& value, uint32_t stageState, std::string& expected);

// "Float4" 0, "Matrix" 1.
uint32_t ParseConstantType(const std::string& type, std::string& expected);

// Reads "%i" (and "0x%x" after it) as the effect files write numbers.
bool ReadEffectInteger(const std::string& text, int32_t& value);
