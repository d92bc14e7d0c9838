// The instruction set of vs.1.0/1.1 and ps.1.0 to ps.1.4.
#include "AsmAssembler.h"
#include "AsmTokens.h"

#include <cstring>

namespace D3DXAsm
{
namespace
{
using namespace AsmTok;
constexpr WORD V10 = 0x0100, V11 = 0x0101, V12 = 0x0102, V13 = 0x0103, V14 = 0x0104;

const SInstrInfo s_Instructions[] = {
    // name          opcode          vertex      pixel       dst src flags
    {"nop", OpNop, V10, V11, V10, V14, 0, 0, 0},
    {"mov", OpMov, V10, V11, V10, V14, 1, 1, 0},
    {"add", OpAdd, V10, V11, V10, V14, 1, 2, 0},
    {"sub", OpSub, V10, V11, V10, V14, 1, 2, 0},
    {"mad", OpMad, V10, V11, V10, V14, 1, 3, 0},
    {"mul", OpMul, V10, V11, V10, V14, 1, 2, 0},
    {"rcp", OpRcp, V10, V11, 0, 0, 1, 1, 0},
    {"rsq", OpRsq, V10, V11, 0, 0, 1, 1, 0},
    {"dp3", OpDp3, V10, V11, V10, V14, 1, 2, 0},
    {"dp4", OpDp4, V10, V11, V12, V14, 1, 2, 0},
    {"min", OpMin, V10, V11, 0, 0, 1, 2, 0},
    {"max", OpMax, V10, V11, 0, 0, 1, 2, 0},
    {"slt", OpSlt, V10, V11, 0, 0, 1, 2, 0},
    {"sge", OpSge, V10, V11, 0, 0, 1, 2, 0},
    {"exp", OpExp, V10, V11, 0, 0, 1, 1, 0},
    {"log", OpLog, V10, V11, 0, 0, 1, 1, 0},
    {"lit", OpLit, V10, V11, 0, 0, 1, 1, 0},
    {"dst", OpDst, V10, V11, 0, 0, 1, 2, 0},
    {"lrp", OpLrp, 0, 0, V10, V14, 1, 3, 0},
    {"frc", OpFrc, V10, V11, 0, 0, 1, 1, 0},
    {"m4x4", OpM4x4, V10, V11, 0, 0, 1, 2, InstrMacro},
    {"m4x3", OpM4x3, V10, V11, 0, 0, 1, 2, InstrMacro},
    {"m3x4", OpM3x4, V10, V11, 0, 0, 1, 2, InstrMacro},
    {"m3x3", OpM3x3, V10, V11, 0, 0, 1, 2, InstrMacro},
    {"m3x2", OpM3x2, V10, V11, 0, 0, 1, 2, InstrMacro},
    {"expp", OpExpP, V10, V11, 0, 0, 1, 1, 0},
    {"logp", OpLogP, V10, V11, 0, 0, 1, 1, 0},
    {"cnd", OpCnd, 0, 0, V10, V14, 1, 3, 0},
    {"cmp", OpCmp, 0, 0, V12, V14, 1, 3, 0},
    {"bem", OpBem, 0, 0, V14, V14, 1, 2, 0},
    {"def", OpDef, V10, V11, V10, V14, 1, 0, InstrDef},
    {"phase", OpPhase, 0, 0, V14, V14, 0, 0, InstrPhase},
    // texture addressing, ps.1.0 to ps.1.3
    {"tex", OpTex, 0, 0, V10, V13, 1, 0, InstrTexture},
    {"texcoord", OpTexCoord, 0, 0, V10, V13, 1, 0, InstrTexture},
    {"texkill", OpTexKill, 0, 0, V10, V14, 1, 0, InstrTexture},
    {"texbem", OpTexBem, 0, 0, V10, V13, 1, 1, InstrTexture},
    {"texbeml", OpTexBemL, 0, 0, V10, V13, 1, 1, InstrTexture},
    {"texreg2ar", OpTexReg2AR, 0, 0, V10, V13, 1, 1, InstrTexture},
    {"texreg2gb", OpTexReg2GB, 0, 0, V10, V13, 1, 1, InstrTexture},
    {"texreg2rgb", OpTexReg2RGB, 0, 0, V12, V13, 1, 1, InstrTexture},
    {"texm3x2pad", OpTexM3x2Pad, 0, 0, V10, V13, 1, 1, InstrTexture},
    {"texm3x2tex", OpTexM3x2Tex, 0, 0, V10, V13, 1, 1, InstrTexture},
    {"texm3x2depth", OpTexM3x2Depth, 0, 0, V13, V13, 1, 1, InstrTexture},
    {"texm3x3pad", OpTexM3x3Pad, 0, 0, V10, V13, 1, 1, InstrTexture},
    {"texm3x3tex", OpTexM3x3Tex, 0, 0, V10, V13, 1, 1, InstrTexture},
    {"texm3x3diff", OpTexM3x3Diff, 0, 0, V10, V13, 1, 1, InstrTexture},
    {"texm3x3spec", OpTexM3x3Spec, 0, 0, V10, V13, 1, 2, InstrTexture},
    {"texm3x3vspec", OpTexM3x3VSpec, 0, 0, V10, V13, 1, 1, InstrTexture},
    {"texm3x3", OpTexM3x3, 0, 0, V12, V13, 1, 1, InstrTexture},
    {"texdp3", OpTexDp3, 0, 0, V12, V13, 1, 1, InstrTexture},
    {"texdp3tex", OpTexDp3Tex, 0, 0, V12, V13, 1, 1, InstrTexture},
    // texture addressing, ps.1.4
    {"texld", OpTex, 0, 0, V14, V14, 1, 1, InstrTexture},
    {"texcrd", OpTexCoord, 0, 0, V14, V14, 1, 1, InstrTexture},
    {"texdepth", OpTexDepth, 0, 0, V14, V14, 1, 0, InstrTexture},
};
}  // namespace

const SInstrInfo* FindInstruction(const std::string& LowerName)
{
    for (const SInstrInfo& info : s_Instructions)
        if (LowerName == info.Name)
            return &info;
    return nullptr;
}
}  // namespace D3DXAsm
