// Token streams of the assembler against hand-encoded expectations, and its
// error messages.
#include "AsmAssembler.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

using ::testing::ElementsAreArray;
using ::testing::HasSubstr;

namespace
{
std::vector<DWORD> Tokens(const std::string& text, DWORD flags = 0)
{
    D3DXAsm::SOutput out;
    EXPECT_TRUE(D3DXAsm::Assemble(text.data(), text.size(), flags, "", out)) << out.Errors;
    return out.Code;
}

std::string Errors(const std::string& text, DWORD flags = 0)
{
    D3DXAsm::SOutput out;
    EXPECT_FALSE(D3DXAsm::Assemble(text.data(), text.size(), flags, "", out)) << text;
    EXPECT_TRUE(out.Code.empty());
    return out.Errors;
}

DWORD Bits(float f)
{
    DWORD d;
    memcpy(&d, &f, sizeof(d));
    return d;
}

TEST(AsmTokens, TransformAndColourVertexShader)
{
    EXPECT_THAT(Tokens("vs.1.1\n"
                       "m4x4 oPos, v0, c0   ; transform\n"
                       "mov oD0, c4         // colour\n"),
                ElementsAreArray<DWORD>({0xFFFE0101,
                                         0x00000014, 0xC00F0000, 0x90E40000, 0xA0E40000,
                                         0x00000001, 0xD00F0000, 0xA0E40004,
                                         0x0000FFFF}));
}

TEST(AsmTokens, OpcodesAndRegistersIgnoreCaseAndLineEnds)
{
    EXPECT_EQ(Tokens("vs.1.1\nm4x4 oPos, v0, c0\nmov oD0, c4\n"),
              Tokens("  VS.1.1\r\n\r\n\tM4X4 OPOS , V0,C0\r\n   Mov oD0, C4 ; x\r\n"));
    EXPECT_EQ(Tokens("vs.1.1\nmov r0, v0\n"), Tokens("vs_1_1\nmov r0, v0"));
}

TEST(AsmTokens, MasksSwizzlesAndRelativeAddressing)
{
    EXPECT_THAT(Tokens("vs.1.1\n"
                       "mov a0.x, v1.x\n"
                       "mov r1.yw, -c[a0.x + 10].zyxw\n"
                       "mov oT0.xy, v2\n"
                       "mov oFog.x, r1.w\n"
                       "mov oPts.x, c[3 + a0.x].y\n"
                       "dp3 r11.xyz, r1.xy, c[7]\n"),
                ElementsAreArray<DWORD>({0xFFFE0101,
                                         0x00000001, 0xB0010000, 0x90000001,
                                         0x00000001, 0x800A0001, 0xA1C6200A,
                                         0x00000001, 0xE0030000, 0x90E40002,
                                         0x00000001, 0xC0010001, 0x80FF0001,
                                         0x00000001, 0xC0010002, 0xA0552003,
                                         0x00000008, 0x8007000B, 0x80540001, 0xA0E40007,
                                         0x0000FFFF}));
}

TEST(AsmTokens, PixelShaderWithDefTextureAndCoIssue)
{
    EXPECT_THAT(Tokens("ps.1.1\n"
                       "def c0, 1.0, 0.5, -2, 0\n"
                       "tex t0\n"
                       "mul_x2 r0.rgb, t0, v0_bx2\n"
                       "+mov_sat r0.a, 1 - c0.b\n"),
                ElementsAreArray<DWORD>({0xFFFF0101,
                                         0x00000051, 0xA00F0000, Bits(1.0f), Bits(0.5f), Bits(-2.0f), 0,
                                         0x00000042, 0xB00F0000,
                                         0x00000005, 0x81070000, 0xB0E40000, 0x94E40000,
                                         0x40000001, 0x80180000, 0xA6AA0000,
                                         0x0000FFFF}));
}

TEST(AsmTokens, TwoPhasePixelShader)
{
    EXPECT_THAT(Tokens("ps.1.4\n"
                       "texcrd r0.rgb, t0.xyz\n"
                       "add r0.r, r0, c0\n"
                       "phase\n"
                       "texld r1, r0\n"
                       "texld r2, t1_dw.xyw\n"
                       "mov r0, r1\n"),
                ElementsAreArray<DWORD>({0xFFFF0104,
                                         0x00000040, 0x80070000, 0xB0A40000,
                                         0x00000002, 0x80010000, 0x80E40000, 0xA0E40000,
                                         0x0000FFFD,
                                         0x00000042, 0x800F0001, 0x80E40000,
                                         0x00000042, 0x800F0002, 0xBAF40001,
                                         0x00000001, 0x800F0000, 0x80E40001,
                                         0x0000FFFF}));
}

TEST(AsmTokens, TextureAddressingOfOlderPixelShaders)
{
    EXPECT_THAT(Tokens("ps.1.3\n"
                       "tex t0\n"
                       "texm3x3pad t1, t0\n"
                       "texm3x3pad t2, t0\n"
                       "texm3x3spec t3, t0, c0\n"
                       "mov r0, t3\n"),
                ElementsAreArray<DWORD>({0xFFFF0103,
                                         0x00000042, 0xB00F0000,
                                         0x00000049, 0xB00F0001, 0xB0E40000,
                                         0x00000049, 0xB00F0002, 0xB0E40000,
                                         0x0000004C, 0xB00F0003, 0xB0E40000, 0xA0E40000,
                                         0x00000001, 0x800F0000, 0xB0E40003,
                                         0x0000FFFF}));
    EXPECT_THAT(Tokens("ps.1.0\ntexcoord t1\ntexkill t0\n"),
                ElementsAreArray<DWORD>({0xFFFF0100, 0x00000040, 0xB00F0001, 0x00000041, 0xB00F0000, 0x0000FFFF}));
}

// _bx2 on the t register that a texture-addressing instruction reads: on
// texm* instructions from ps.1.1, on every one of them in ps.1.2 and ps.1.3.
TEST(AsmTokens, SignedScaleOnTextureAddressingSources)
{
    const struct
    {
        const char* Version;
        const char* Instruction;
        DWORD Opcode;
    } cases[] = {
        {"ps.1.1", "texm3x2pad t1, t0_bx2", 0x47},   {"ps.1.1", "texm3x2tex t1, t0_bx2", 0x48},
        {"ps.1.1", "texm3x3pad t1, t0_bx2", 0x49},   {"ps.1.1", "texm3x3tex t1, t0_bx2", 0x4A},
        {"ps.1.1", "texm3x3spec t1, t0_bx2, c0", 0x4C}, {"ps.1.1", "texm3x3vspec t1, t0_bx2", 0x4D},
        {"ps.1.2", "texbem t1, t0_bx2", 0x43},       {"ps.1.2", "texbeml t1, t0_bx2", 0x44},
        {"ps.1.2", "texreg2ar t1, t0_bx2", 0x45},    {"ps.1.2", "texreg2gb t1, t0_bx2", 0x46},
        {"ps.1.2", "texreg2rgb t1, t0_bx2", 0x52},   {"ps.1.2", "texdp3 t1, t0_bx2", 0x55},
        {"ps.1.2", "texdp3tex t1, t0_bx2", 0x53},    {"ps.1.2", "texm3x3pad t1, t0_bx2", 0x49},
        {"ps.1.3", "texbem t1, t0_bx2", 0x43},       {"ps.1.3", "texm3x2depth t1, t0_bx2", 0x54},
        {"ps.1.3", "texm3x3 t1, t0_bx2", 0x56},
    };
    for (const auto& c : cases)
    {
        const std::vector<DWORD> code = Tokens(std::string(c.Version) + "\ntex t0\n" + c.Instruction + "\n");
        ASSERT_GE(code.size(), 7u) << c.Version << " " << c.Instruction;
        EXPECT_EQ(code[3], c.Opcode) << c.Version << " " << c.Instruction;
        EXPECT_EQ(code[4], 0xB00F0001u) << c.Version << " " << c.Instruction;
        EXPECT_EQ(code[5], 0xB4E40000u) << c.Version << " " << c.Instruction;
    }
}

struct SSourceCase
{
    const char* Version;
    const char* Source;
    DWORD Token;
};

TEST(AsmTokens, SourceModifiers)
{
    const SSourceCase cases[] = {
        {"vs.1.1", "-r1", 0x81E40001},
        {"ps.1.1", "r1_bias", 0x82E40001},
        {"ps.1.1", "-r1_bias", 0x83E40001},
        {"ps.1.1", "v1_bx2", 0x94E40001},
        {"ps.1.1", "-v1_bx2.a", 0x95FF0001},
        {"ps.1.1", "1-r1", 0x86E40001},
        {"ps.1.4", "r1_x2.g", 0x87550001},
        {"ps.1.4", "-r1_x2", 0x88E40001},
        {"ps.1.4", "c7.r", 0xA0000007},
    };
    for (const SSourceCase& c : cases)
    {
        std::vector<DWORD> code = Tokens(std::string(c.Version) + "\nmov r1, c0\nmov r0, " + c.Source + "\n");
        ASSERT_EQ(code.size(), 8u) << c.Source;
        EXPECT_EQ(code[6], c.Token) << c.Version << " " << c.Source;
    }
}

struct SModifierCase
{
    const char* Version;
    const char* Opcode;
    DWORD Dst;
};

TEST(AsmTokens, InstructionModifiers)
{
    const SModifierCase cases[] = {
        {"ps.1.1", "mov_x4", 0x820F0000}, {"ps.1.1", "mov_d2", 0x8F0F0000},
        {"ps.1.1", "mov_sat", 0x801F0000}, {"ps.1.1", "MOV_X2_SAT", 0x811F0000},
        {"ps.1.4", "mov_x8", 0x830F0000}, {"ps.1.4", "mov_d4", 0x8E0F0000},
        {"ps.1.4", "mov_d8_sat", 0x8D1F0000},
    };
    for (const SModifierCase& c : cases)
    {
        std::vector<DWORD> code = Tokens(std::string(c.Version) + "\nmov r1, c0\n" + c.Opcode + " r0, r1\n");
        ASSERT_EQ(code.size(), 8u) << c.Opcode;
        EXPECT_EQ(code[5], c.Dst) << c.Version << " " << c.Opcode;
    }
}

TEST(AsmTokens, StatementsNeedNotEndTheirLines)
{
    EXPECT_EQ(Tokens("vs.1.1 m4x4 oPos, v0, c0 mov oD0, -c[ a0.x + 4 ] nop mov r0, - v1"),
              Tokens("vs.1.1\nm4x4 oPos, v0, c0\nmov oD0, -c[a0.x + 4]\nnop\nmov r0, -v1\n"));
    EXPECT_EQ(Tokens("ps.1.4 def c0, 1, -1, 1e-3, .5 texcrd r0.rgb, t0 phase texld r1, r0 mul r0.rgb, r1, c0 +mov r0.a, r1"),
              Tokens("ps.1.4\ndef c0, 1, -1, 1e-3, .5\ntexcrd r0.rgb, t0\nphase\ntexld r1, r0\n"
                     "mul r0.rgb, r1, c0\n+mov r0.a, r1\n"));
}

TEST(AsmTokens, CommentsAnywhere)
{
    EXPECT_EQ(Tokens("/* header\n   over lines */ ps.1.1 // version\n"
                     "; nothing\n"
                     "mov /* inline */ r0, v0 ; done\n"),
              Tokens("ps.1.1\nmov r0, v0\n"));
}

TEST(AsmTokens, DebugFlagTagsInstructionsWithTheirLine)
{
    EXPECT_THAT(Tokens("vs.1.1\n\nmov r0, v0\n", 1),
                ElementsAreArray<DWORD>({0xFFFE0101, 0x0002FFFE, 0x454E494C, 3, 0x00000001, 0x800F0000,
                                         0x90E40000, 0x0000FFFF}));
}

TEST(AsmTokens, VertexDefsBecomeDeclarationConstants)
{
    D3DXAsm::SOutput out;
    std::string text = "vs.1.1\ndef c5, 1, 2, 3, 4\nmov oPos, c5\n";
    ASSERT_TRUE(D3DXAsm::Assemble(text.data(), text.size(), 0, "", out)) << out.Errors;
    EXPECT_THAT(out.Constants,
                ElementsAreArray<DWORD>({0x82000005, Bits(1.0f), Bits(2.0f), Bits(3.0f), Bits(4.0f)}));
}

struct SErrorCase
{
    const char* Text;
    const char* Message;  // expected within the error text, line number included
};

TEST(AsmErrors, LineNumberedMessages)
{
    const SErrorCase cases[] = {
        {"vs.1.1\nmov r0, v0\nfoo r0, r1\n", "(3): error: unknown instruction \"foo\""},
        {"ps.1.1\n\nmov r2, v0\n", "(3): error: invalid register \"r2\" in ps.1.1"},
        {"vs.1.1\nmov r12, v0\n", "(2): error: invalid register \"r12\""},
        {"vs.1.1\nmov r0, v16\n", "(2): error: invalid register \"v16\""},
        {"ps.1.1\nmov r0, t4\n", "(2): error: invalid register \"t4\""},
        {"vs.1.1\nmov r0, t0\n", "(2): error: invalid register \"t0\""},
        {"vs.1.1\nmov oD2, r0\n", "(2): error: invalid register \"oD2\""},
        {"vs.2.0\nmov r0, v0\n", "(1): error: unsupported shader version \"vs.2.0\""},
        {"ps.1.5\nmov r0, v0\n", "(1): error: unsupported shader version"},
        {"\n\nmov r0, v0\n", "(3): error: shader version expected"},
        {"; only a comment\n", "(1): error: shader version expected"},
        {"ps.1.1\nmov r0, v0\nps.1.1\n", "(3): error: the shader version may be given only once"},
        {"ps.1.1\nadd r0, v0, v1, v0\n", "(2): error: too many operands for \"add\": expected 3, found 4"},
        {"ps.1.1\nmov r0\n", "(2): error: too few operands for \"mov\": expected 2, found 1"},
        {"ps.1.1\nmov r0, , v0\n", "(2): error: missing operand for \"mov\""},
        {"ps.1.1\nmov r0 v0\n", "(2): error: too few operands for \"mov\": expected 2, found 1"},
        {"ps.1.1\nmov\n", "(2): error: too few operands for \"mov\": expected 2, found 0"},
        {"ps.1.1 mov r0, v0 foo r1\n", "(1): error: unknown instruction \"foo\""},
        {"ps.1.1\nmov r0,\n", "(2): error: missing operand"},
        {"ps.1.1\ntexld r0, t0\n", "(2): error: \"texld\" is not available in ps.1.1"},
        {"ps.1.4\ntex t0\n", "(2): error: \"tex\" is not available in ps.1.4"},
        {"vs.1.1\ntex t0\n", "(2): error: \"tex\" is not a vertex shader instruction"},
        {"ps.1.1\nm4x4 r0, v0, c0\n", "(2): error: \"m4x4\" is not a pixel shader instruction"},
        {"vs.1.0\nmov r0, c[a0.x + 1]\n", "(2): error: relative addressing needs vs.1.1"},
        {"vs.1.0\nmov a0.x, r0\n", "(2): error: invalid register \"a0.x\""},
        {"vs.1.1\nmov r0, c[a0.y + 1]\n", "(2): error: bad constant index"},
        {"vs.1.1\nmov r0, c[256]\n", "(2): error: invalid register"},
        {"vs.1.1\nadd r0, c0, c1\n", "(2): error: only one constant register"},
        {"vs.1.1\nadd r0, v0, v1\n", "(2): error: only one input register"},
        {"vs.1.1\nmov v0, r0\n", "(2): error: \"v0\" cannot be the destination of \"mov\""},
        {"vs.1.1\nadd a0.x, r0, r0\n", "(2): error: \"a0.x\" cannot be the destination"},
        {"vs.1.1\nmov r0, oPos\n", "(2): error: \"oPos\" cannot be a source"},
        {"vs.1.1\nmov r0, v0_bx2\n", "(2): error: \"v0_bx2\" cannot be a source of \"mov\""},
        {"vs.1.1\nmov_sat r0, v0\n", "(2): error: \"mov\" takes no instruction modifiers"},
        {"vs.1.1\nmov r0.yx, v0\n", "(2): error: write mask components out of order"},
        {"vs.1.1\nmov r0.xq, v0\n", "(2): error: unexpected \"q\" in destination"},
        {"vs.1.1\nmov r0, v0.xyzwx\n", "(2): error: bad swizzle"},
        {"ps.1.1\nmov r0, -t0_x2\n", "(2): error: \"-t0_x2\" cannot be a source"},
        {"ps.1.1\nmov r0, r1_foo\n", "(2): error: unknown source modifier \"_foo\""},
        {"ps.1.1\nmov r0, 1-r1_bias\n", "(2): error: \"1-\" cannot be combined"},
        {"ps.1.1\nmov_x8 r0, v0\n", "(2): error: instruction modifier \"_x8\" needs ps.1.4"},
        {"ps.1.1\nmov_sat_sat r0, v0\n", "(2): error: unknown or repeated instruction modifier \"_sat\""},
        {"ps.1.1\nmov r0.rg, v0\n", "(2): error: write mask of \"r0.rg\" must be .rgba, .rgb or .a"},
        {"ps.1.1\nmov r0, v0.g\n", "(2): error: \"v0.g\" cannot be a source"},
        {"ps.1.1\nmov r0, v0\ntex t0\n", "(3): error: texture instruction \"tex\" after an arithmetic"},
        {"ps.1.1\ntex r0\n", "(2): error: \"r0\" cannot be the destination of \"tex\""},
        {"ps.1.1\ntexbem t1, r0\n", "(2): error: \"r0\" cannot be a source of \"texbem\""},
        {"ps.1.1\ntex t0\ntexbem t1, t0_bx2\n", "(3): error: \"t0_bx2\" cannot be a source of \"texbem\" (_bx2"},
        {"ps.1.0\ntex t0\ntexreg2ar t1, t0_bx2\n", "(3): error: \"t0_bx2\" cannot be a source of \"texreg2ar\""},
        {"ps.1.2\ntex t0\ntexbem t1, t0_bias\n", "(3): error: \"t0_bias\" cannot be a source of \"texbem\""},
        {"ps.1.3\ntex t0\ntexbem t1, -t0_bx2\n", "(3): error: \"-t0_bx2\" cannot be a source of \"texbem\""},
        {"ps.1.1\ntex t0\ntexm3x3pad t1, 1-t0\n", "(3): error: \"1-t0\" cannot be a source of \"texm3x3pad\""},
        {"ps.1.1\ntex t0\ntexm3x3spec t1, t0, c0_bx2\n", "(3): error: \"c0_bx2\" cannot be a source"},
        {"ps.1.1\nmov r0, v0\ndef c0, 1, 2, 3, 4\n", "(3): error: \"def\" must come before the first instruction"},
        {"ps.1.1\ndef c0, 1, 2, 3, 4\ntex t0\n\ndef c1, 0, 0, 0, 0\n",
         "(5): error: \"def\" must come before the first instruction"},
        {"ps.1.4\ndef c0, 1, 2, 3, 4\ntexld r0, t0\nphase\ndef c1, 0, 0, 0, 0\n",
         "(5): error: \"def\" must come before the first instruction"},
        {"ps.1.1\n+mov r0, v0\n", "(2): error: a co-issued instruction must follow"},
 {"ps.1.1\nmov r0, v0\n+mov r1.a, v0\n", "(3): error: co-issued instructions must write .rgb and .a"},
        {"ps.1.4\nmul r0.rgb, c1, c2\n+add r0.rgb, c1, c2\n", "(3): error: co-issued instructions must write"},
        {"ps.1.1\ntex t0\ntex t1\ntex t2\ntex t3\ntexkill t0\n", "(6): error: more than 4 texture instructions"},
        {"ps.1.1\nmov r0,v0\nmov r0,v0\nmov r0,v0\nmov r0,v0\nmov r0,v0\nmov r0,v0\nmov r0,v0\nmov r0.rgb,v0\n"
         "+mov r0.a,v0\nmov r0,v0\n",
         "(11): error: more than 8 arithmetic instructions"},
        {"ps.1.4\ntexld r0,t0\ntexld r1,t1\ntexld r2,t2\ntexld r3,t3\ntexld r4,t4\ntexld r5,t5\ntexkill t0\n",
         "(8): error: more than 6 texture instructions in one phase"},
        {"ps.1.1\ntex t0\n+tex t1\n", "(3): error: \"tex\" cannot be co-issued"},
        {"vs.1.1\nmov r0, v0\n+mov r1, v0\n", "(3): error: \"mov\" cannot be co-issued"},
        {"ps.1.4\ntexld r0, r1\n", "(2): error: \"r1\" cannot be a source of \"texld\""},
        {"ps.1.4\ntexld r0, t0.yx\n", "(2): error: \"t0.yx\" cannot be a source of \"texld\""},
        {"ps.1.4\nmov r0, t0\n", "(2): error: \"t0\" cannot be a source of \"mov\""},
        {"ps.1.4\nmov t0, r0\n", "(2): error: \"t0\" cannot be the destination of \"mov\""},
        {"ps.1.4\nphase\nphase\n", "(3): error: \"phase\" may appear only once"},
        {"ps.1.1\nmov r0, t0_dz\n", "(2): error: \"t0_dz\" cannot be a source"},
        {"vs.1.1\nrcp r0, v0\n", "(2): error: \"v0\" cannot be a source of \"rcp\" (name one component"},
        {"vs.1.1\nexpp r0, v0.xy\n", "(2): error: \"v0.xy\" cannot be a source of \"expp\""},
        {"vs.1.1\nmov r0.x, v0\nadd r0, r0, r1\n", "(3): error: r1 is read before anything is written to it"},
        {"ps.1.1\ncnd r0, r0.a, c0, c1\n", "(2): error: r0 is read before anything"},
        {"ps.1.1\nmov r1, c0\ncnd r0, r1.a, c0, c1\n", "(3): error: the condition of \"cnd\" must be r0.a in ps.1.1"},
        {"ps.1.1\ndef c0, 1, 2, x, 4\n", "(2): error: \"def\" value \"x\" is not a number"},
        {"ps.1.1\ndef r0, 1, 2, 3, 4\n", "(2): error: \"def\" needs a constant register"},
        {"ps.1.1\ndef c8, 1, 2, 3, 4\n", "(2): error: invalid register \"c8\""},
        {"ps.1.1\ndef c0, 1, 2, 3\n", "(2): error: too few operands for \"def\""},
        {"vs.1.1\ndef c200, 1, 2, 3, 4\n", "(2): error: \"def\" of c200"},
        {"vs.1.1\nmov r0, c[a0.x + 1\n", "(2): error: missing \"]\""},
        {"ps.1.1\nmov r0, v99999999\n", "(2): error: invalid register"},
    };
    for (const SErrorCase& c : cases)
        EXPECT_THAT(Errors(c.Text), HasSubstr(c.Message)) << c.Text;
}

TEST(AsmErrors, EveryBadLineIsReportedAndNamedByItsSource)
{
    std::string text = "vs.1.1\nfoo\nmov r0, v0\nbar r1\n";
    D3DXAsm::SOutput out;
    ASSERT_FALSE(D3DXAsm::Assemble(text.data(), text.size(), 0, "Shader.vsh", out));
    EXPECT_EQ(out.Errors, "Shader.vsh(2): error: unknown instruction \"foo\"\n"
                          "Shader.vsh(4): error: unknown instruction \"bar\"\n");
}

TEST(AsmErrors, ErrorFloodIsCut)
{
    std::string text = "ps.1.1\n";
    for (int i = 0; i < 1000; ++i)
        text += "bad\n";
    std::string errors = Errors(text);
    EXPECT_LT(std::count(errors.begin(), errors.end(), '\n'), 40);
    EXPECT_THAT(errors, HasSubstr("too many errors"));
}

TEST(AsmErrors, SkipValidationKeepsOnlyTheSyntaxChecks)
{
    const char* usageRules[] = {"vs.1.1\nadd r0, c0, c1\n", "ps.1.1\nmov r0.rg, v0\n",
                                "ps.1.1\nmov r0, v0\ntex t0\n", "ps.1.1\nmov r0, r1\n"};
    for (const char* text : usageRules)
        EXPECT_FALSE(Tokens(text, 2).empty()) << text;
    EXPECT_THAT(Errors("ps.1.1\nmov r5, v0\n", 2), HasSubstr("invalid register"));
}

TEST(AsmErrors, TextEndsAtTheFirstNul)
{
    std::string text("ps.1.1\nmov r0, v0\n\0garbage", 26);
    EXPECT_EQ(Tokens(text), Tokens("ps.1.1\nmov r0, v0\n"));
}
}  // namespace
