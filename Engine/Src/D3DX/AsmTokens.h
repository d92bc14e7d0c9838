#pragma once
// Direct3D 8 shader token layout, in our own names so that the assembler
// builds natively too. The Windows build checks every value against the
// platform's own definitions.
#include "WinTypes.h"

namespace AsmTok
{
// Version tokens: high word 0xFFFE (vertex) or 0xFFFF (pixel), major.minor below.
constexpr DWORD VertexVersion(DWORD major, DWORD minor) { return 0xFFFE0000u | (major << 8) | minor; }
constexpr DWORD PixelVersion(DWORD major, DWORD minor) { return 0xFFFF0000u | (major << 8) | minor; }
constexpr DWORD End = 0x0000FFFFu;

// Instruction token.
constexpr DWORD OpcodeMask = 0x0000FFFFu;
constexpr DWORD CoIssue = 0x40000000u;
constexpr DWORD CommentSizeShift = 16;
constexpr DWORD CommentSizeMask = 0x7FFF0000u;
constexpr DWORD Comment(DWORD dwords) { return ((dwords << CommentSizeShift) & CommentSizeMask) | 0xFFFEu; }

enum Opcode : DWORD
{
    OpNop = 0, OpMov = 1, OpAdd = 2, OpSub = 3, OpMad = 4, OpMul = 5, OpRcp = 6, OpRsq = 7,
    OpDp3 = 8, OpDp4 = 9, OpMin = 10, OpMax = 11, OpSlt = 12, OpSge = 13, OpExp = 14, OpLog = 15,
    OpLit = 16, OpDst = 17, OpLrp = 18, OpFrc = 19, OpM4x4 = 20, OpM4x3 = 21, OpM3x4 = 22,
    OpM3x3 = 23, OpM3x2 = 24,
    OpTexCoord = 64, OpTexKill = 65, OpTex = 66, OpTexBem = 67, OpTexBemL = 68, OpTexReg2AR = 69,
    OpTexReg2GB = 70, OpTexM3x2Pad = 71, OpTexM3x2Tex = 72, OpTexM3x3Pad = 73, OpTexM3x3Tex = 74,
    OpTexM3x3Diff = 75, OpTexM3x3Spec = 76, OpTexM3x3VSpec = 77, OpExpP = 78, OpLogP = 79,
    OpCnd = 80, OpDef = 81, OpTexReg2RGB = 82, OpTexDp3Tex = 83, OpTexM3x2Depth = 84,
    OpTexDp3 = 85, OpTexM3x3 = 86, OpTexDepth = 87, OpCmp = 88, OpBem = 89,
    OpPhase = 0xFFFD, OpComment = 0xFFFE, OpEnd = 0xFFFF,
};

// Parameter tokens (bit 31 always set).
constexpr DWORD ParamBit = 0x80000000u;
constexpr DWORD RegNumMask = 0x00001FFFu;
constexpr DWORD RegTypeShift = 28;
constexpr DWORD RegTypeMask = 0x70000000u;
constexpr DWORD AddrModeRelative = 1u << 13;

enum RegType : DWORD
{
    RegTemp = 0, RegInput = 1, RegConst = 2, RegAddr = 3, RegTexture = 3,
    RegRastOut = 4, RegAttrOut = 5, RegTexCrdOut = 6,
};
enum RastOut : DWORD { RastPosition = 0, RastFog = 1, RastPointSize = 2 };

// Destination parameter.
constexpr DWORD WriteMaskShift = 16;
constexpr DWORD WriteMaskAll = 0x000F0000u;
constexpr DWORD DstModShift = 20;
constexpr DWORD DstModSaturate = 1u << DstModShift;
constexpr DWORD DstShiftShift = 24;
constexpr DWORD DstShiftMask = 0x0F000000u;

// Source parameter.
constexpr DWORD SwizzleShift = 16;
constexpr DWORD NoSwizzle = 0xE4u << SwizzleShift;  // x, y, z, w
constexpr DWORD SrcModShift = 24;
enum SrcMod : DWORD
{
    ModNone = 0, ModNeg = 1, ModBias = 2, ModBiasNeg = 3, ModSign = 4, ModSignNeg = 5,
    ModComp = 6, ModX2 = 7, ModX2Neg = 8, ModDz = 9, ModDw = 10,
};

// Vertex declaration token that loads constants: D3DVSD_CONST(address, count).
constexpr DWORD DeclConst(DWORD address, DWORD count) { return (4u << 29) | (count << 25) | address; }
}  // namespace AsmTok

#ifdef _WIN32
#include <d3d8types.h>
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wenum-compare"
static_assert(AsmTok::VertexVersion(1, 1) == D3DVS_VERSION(1, 1), "vertex version token");
static_assert(AsmTok::PixelVersion(1, 4) == D3DPS_VERSION(1, 4), "pixel version token");
static_assert(AsmTok::End == D3DVS_END() && AsmTok::End == D3DPS_END(), "end token");
static_assert(AsmTok::CoIssue == D3DSI_COISSUE, "co-issue bit");
static_assert(AsmTok::OpcodeMask == D3DSI_OPCODE_MASK, "opcode mask");
static_assert(AsmTok::CommentSizeShift == D3DSI_COMMENTSIZE_SHIFT, "comment size shift");
static_assert(AsmTok::CommentSizeMask == D3DSI_COMMENTSIZE_MASK, "comment size mask");
static_assert(AsmTok::Comment(3) == D3DSHADER_COMMENT(3), "comment token");
static_assert(AsmTok::OpNop == D3DSIO_NOP && AsmTok::OpMov == D3DSIO_MOV && AsmTok::OpAdd == D3DSIO_ADD &&
                  AsmTok::OpSub == D3DSIO_SUB && AsmTok::OpMad == D3DSIO_MAD && AsmTok::OpMul == D3DSIO_MUL &&
                  AsmTok::OpRcp == D3DSIO_RCP && AsmTok::OpRsq == D3DSIO_RSQ && AsmTok::OpDp3 == D3DSIO_DP3 &&
                  AsmTok::OpDp4 == D3DSIO_DP4 && AsmTok::OpMin == D3DSIO_MIN && AsmTok::OpMax == D3DSIO_MAX &&
                  AsmTok::OpSlt == D3DSIO_SLT && AsmTok::OpSge == D3DSIO_SGE && AsmTok::OpExp == D3DSIO_EXP &&
                  AsmTok::OpLog == D3DSIO_LOG && AsmTok::OpLit == D3DSIO_LIT && AsmTok::OpDst == D3DSIO_DST &&
                  AsmTok::OpLrp == D3DSIO_LRP && AsmTok::OpFrc == D3DSIO_FRC && AsmTok::OpM4x4 == D3DSIO_M4x4 &&
                  AsmTok::OpM4x3 == D3DSIO_M4x3 && AsmTok::OpM3x4 == D3DSIO_M3x4 && AsmTok::OpM3x3 == D3DSIO_M3x3 &&
                  AsmTok::OpM3x2 == D3DSIO_M3x2,
              "arithmetic opcodes");
static_assert(AsmTok::OpTexCoord == D3DSIO_TEXCOORD && AsmTok::OpTexKill == D3DSIO_TEXKILL &&
                  AsmTok::OpTex == D3DSIO_TEX && AsmTok::OpTexBem == D3DSIO_TEXBEM &&
                  AsmTok::OpTexBemL == D3DSIO_TEXBEML && AsmTok::OpTexReg2AR == D3DSIO_TEXREG2AR &&
                  AsmTok::OpTexReg2GB == D3DSIO_TEXREG2GB && AsmTok::OpTexM3x2Pad == D3DSIO_TEXM3x2PAD &&
                  AsmTok::OpTexM3x2Tex == D3DSIO_TEXM3x2TEX && AsmTok::OpTexM3x3Pad == D3DSIO_TEXM3x3PAD &&
                  AsmTok::OpTexM3x3Tex == D3DSIO_TEXM3x3TEX && AsmTok::OpTexM3x3Diff == D3DSIO_TEXM3x3DIFF &&
                  AsmTok::OpTexM3x3Spec == D3DSIO_TEXM3x3SPEC && AsmTok::OpTexM3x3VSpec == D3DSIO_TEXM3x3VSPEC &&
                  AsmTok::OpExpP == D3DSIO_EXPP && AsmTok::OpLogP == D3DSIO_LOGP && AsmTok::OpCnd == D3DSIO_CND &&
                  AsmTok::OpDef == D3DSIO_DEF && AsmTok::OpTexReg2RGB == D3DSIO_TEXREG2RGB &&
                  AsmTok::OpTexDp3Tex == D3DSIO_TEXDP3TEX && AsmTok::OpTexM3x2Depth == D3DSIO_TEXM3x2DEPTH &&
                  AsmTok::OpTexDp3 == D3DSIO_TEXDP3 && AsmTok::OpTexM3x3 == D3DSIO_TEXM3x3 &&
                  AsmTok::OpTexDepth == D3DSIO_TEXDEPTH && AsmTok::OpCmp == D3DSIO_CMP && AsmTok::OpBem == D3DSIO_BEM &&
                  AsmTok::OpPhase == D3DSIO_PHASE && AsmTok::OpComment == D3DSIO_COMMENT &&
                  AsmTok::OpEnd == D3DSIO_END,
              "texture and special opcodes");
static_assert(AsmTok::RegTypeShift == D3DSP_REGTYPE_SHIFT && AsmTok::RegTypeMask == D3DSP_REGTYPE_MASK,
              "register type field");
static_assert((AsmTok::RegTemp << AsmTok::RegTypeShift) == D3DSPR_TEMP &&
                  (AsmTok::RegInput << AsmTok::RegTypeShift) == D3DSPR_INPUT &&
                  (AsmTok::RegConst << AsmTok::RegTypeShift) == D3DSPR_CONST &&
                  (AsmTok::RegAddr << AsmTok::RegTypeShift) == D3DSPR_ADDR &&
                  (AsmTok::RegTexture << AsmTok::RegTypeShift) == D3DSPR_TEXTURE &&
                  (AsmTok::RegRastOut << AsmTok::RegTypeShift) == D3DSPR_RASTOUT &&
                  (AsmTok::RegAttrOut << AsmTok::RegTypeShift) == D3DSPR_ATTROUT &&
                  (AsmTok::RegTexCrdOut << AsmTok::RegTypeShift) == D3DSPR_TEXCRDOUT,
              "register types");
static_assert(AsmTok::RastPosition == D3DSRO_POSITION && AsmTok::RastFog == D3DSRO_FOG &&
                  AsmTok::RastPointSize == D3DSRO_POINT_SIZE,
              "rasteriser outputs");
static_assert(AsmTok::AddrModeRelative == D3DVS_ADDRMODE_RELATIVE, "relative addressing");
static_assert(AsmTok::WriteMaskAll == D3DSP_WRITEMASK_ALL && (1u << AsmTok::WriteMaskShift) == D3DSP_WRITEMASK_0,
              "write mask");
static_assert(AsmTok::DstModShift == D3DSP_DSTMOD_SHIFT && AsmTok::DstModSaturate == D3DSPDM_SATURATE,
              "destination modifier");
static_assert(AsmTok::DstShiftShift == D3DSP_DSTSHIFT_SHIFT && AsmTok::DstShiftMask == D3DSP_DSTSHIFT_MASK,
              "destination shift");
static_assert(AsmTok::SwizzleShift == D3DVS_SWIZZLE_SHIFT && AsmTok::NoSwizzle == D3DVS_NOSWIZZLE &&
                  AsmTok::NoSwizzle == D3DSP_NOSWIZZLE,
              "swizzle");
static_assert(AsmTok::SrcModShift == D3DSP_SRCMOD_SHIFT, "source modifier field");
static_assert((AsmTok::ModNeg << AsmTok::SrcModShift) == D3DSPSM_NEG &&
                  (AsmTok::ModBias << AsmTok::SrcModShift) == D3DSPSM_BIAS &&
                  (AsmTok::ModBiasNeg << AsmTok::SrcModShift) == D3DSPSM_BIASNEG &&
                  (AsmTok::ModSign << AsmTok::SrcModShift) == D3DSPSM_SIGN &&
                  (AsmTok::ModSignNeg << AsmTok::SrcModShift) == D3DSPSM_SIGNNEG &&
                  (AsmTok::ModComp << AsmTok::SrcModShift) == D3DSPSM_COMP &&
                  (AsmTok::ModX2 << AsmTok::SrcModShift) == D3DSPSM_X2 &&
                  (AsmTok::ModX2Neg << AsmTok::SrcModShift) == D3DSPSM_X2NEG &&
                  (AsmTok::ModDz << AsmTok::SrcModShift) == D3DSPSM_DZ &&
                  (AsmTok::ModDw << AsmTok::SrcModShift) == D3DSPSM_DW,
              "source modifiers");
static_assert(AsmTok::DeclConst(5, 1) == D3DVSD_CONST(5, 1), "constant declaration token");
#pragma GCC diagnostic pop
#endif
