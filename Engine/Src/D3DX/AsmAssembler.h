#pragma once
// The platform-free core of the shader assembler: text in, tokens and error
// text out. The D3DX entry points wrap it into buffers.
#include <cstddef>
#include <string>
#include <vector>

#include "WinTypes.h"

namespace D3DXAsm
{
struct SOutput
{
    std::vector<DWORD> Code;       // version token ... end token
    std::vector<DWORD> Constants;  // vertex shader def constants as declaration tokens
    std::string Errors;            // one "name(line): error: ..." line per problem
};

// Assembles the text; false when it has errors (Code is then empty).
// SourceName prefixes each error line (may be empty).
bool Assemble(const char* pText, size_t Length, DWORD Flags, const std::string& SourceName, SOutput& Out);

enum EShaderKind : unsigned
{
    KindVertex = 1,
    KindPixel = 2,
};

// Instruction flags.
enum : unsigned
{
    InstrTexture = 1,  // a pixel shader texture-addressing instruction
    InstrDef = 2,      // def: register and four numbers
    InstrPhase = 4,    // ps.1.4 phase marker
    InstrMacro = 8,    // vertex matrix macro (m4x4 ...)
};

struct SInstrInfo
{
    const char* Name;
    DWORD Opcode;
    WORD VsMin, VsMax;  // version range as 0x0101 for 1.1; 0 when not in vertex shaders
    WORD PsMin, PsMax;  // the same for pixel shaders
    int Dsts;
    int Srcs;
    unsigned Flags;
};

// Looks an instruction name up (case-insensitive); null when unknown.
const SInstrInfo* FindInstruction(const std::string& LowerName);
}  // namespace D3DXAsm

#include "d3dx8core.h"

namespace D3DXAsm
{
// Assembles and hands the results out as D3DX buffers (each pointer may be null).
HRESULT AssembleToBuffers(const char* pText, size_t Length, DWORD Flags, const std::string& SourceName,
                          LPD3DXBUFFER* ppConstants, LPD3DXBUFFER* ppCode, LPD3DXBUFFER* ppErrors);

// Clears the out pointers and, when asked, puts Message (one line) into *ppErrors.
HRESULT FailWithMessage(const std::string& Message, LPD3DXBUFFER* ppConstants, LPD3DXBUFFER* ppCode,
                        LPD3DXBUFFER* ppErrors);
}  // namespace D3DXAsm
