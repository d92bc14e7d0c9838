// The D3DX entry points: buffers, error text, files.
#include "d3dx8shader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

using ::testing::HasSubstr;

namespace
{
std::string Text(ID3DXBuffer* buffer)
{
    const char* p = static_cast<const char*>(buffer->GetBufferPointer());
    EXPECT_EQ(p[buffer->GetBufferSize() - 1], '\0');
    return std::string(p);
}

TEST(AsmApi, CodeComesBackAsTokensInABuffer)
{
    const char text[] = "ps.1.1\nmov r0, v0\n";
    LPD3DXBUFFER code = nullptr, errors = reinterpret_cast<LPD3DXBUFFER>(1), constants = nullptr;
    ASSERT_EQ(D3DXAssembleShader(text, sizeof(text) - 1, 0, &constants, &code, &errors), S_OK);
    ASSERT_NE(code, nullptr);
    EXPECT_EQ(errors, nullptr);
    EXPECT_EQ(constants, nullptr);  // pixel shader
    ASSERT_EQ(code->GetBufferSize(), 5 * sizeof(DWORD));
    const DWORD* tokens = static_cast<const DWORD*>(code->GetBufferPointer());
    EXPECT_EQ(tokens[0], 0xFFFF0101u);
    EXPECT_EQ(tokens[4], 0x0000FFFFu);
    EXPECT_EQ(code->Release(), 0u);
}

TEST(AsmApi, FailureGivesLineNumberedErrorTextAndNoCode)
{
    const char text[] = "vs.1.1\nmov r0, v0\nmovv r0, v0\n";
    LPD3DXBUFFER code = nullptr, errors = nullptr;
    EXPECT_TRUE(FAILED(D3DXAssembleShader(text, sizeof(text) - 1, 0, nullptr, &code, &errors)));
    EXPECT_EQ(code, nullptr);
    ASSERT_NE(errors, nullptr);
    EXPECT_EQ(Text(errors), "(3): error: unknown instruction \"movv\"\n");
    errors->Release();
    // Without an error buffer it just fails.
    EXPECT_TRUE(FAILED(D3DXAssembleShader(text, sizeof(text) - 1, 0, nullptr, &code, nullptr)));
    EXPECT_TRUE(FAILED(D3DXAssembleShader(nullptr, 0, 0, nullptr, &code, nullptr)));
}

TEST(AsmApi, VertexDefsAlsoComeBackAsConstantTokens)
{
    const char text[] = "vs.1.1\ndef c2, 0.5, 0, 0, 1\nmov oPos, c2\n";
    LPD3DXBUFFER code = nullptr, constants = nullptr;
    ASSERT_EQ(D3DXAssembleShader(text, sizeof(text) - 1, 0, &constants, &code, nullptr), S_OK);
    ASSERT_NE(constants, nullptr);
    ASSERT_EQ(constants->GetBufferSize(), 5 * sizeof(DWORD));
    const DWORD* tokens = static_cast<const DWORD*>(constants->GetBufferPointer());
    float half;
    memcpy(&half, &tokens[1], sizeof(half));
    EXPECT_EQ(tokens[0], 0x82000002u);
    EXPECT_EQ(half, 0.5f);
    constants->Release();
    code->Release();
}

TEST(AsmApi, FromFileNamesTheFileInItsErrors)
{
    std::string path = ::testing::TempDir() + "asm_api_test.psh";
    FILE* f = fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    fputs("ps.1.4\r\ntexld r0, t0\r\nmov r0, r0, r0\r\n", f);
    fclose(f);
    LPD3DXBUFFER code = nullptr, errors = nullptr;
    EXPECT_TRUE(FAILED(D3DXAssembleShaderFromFileA(path.c_str(), 0, nullptr, &code, &errors)));
    ASSERT_NE(errors, nullptr);
    EXPECT_EQ(Text(errors), path + "(3): error: too many operands for \"mov\": expected 2, found 3\n");
    errors->Release();

    f = fopen(path.c_str(), "wb");
    fputs("ps.1.4\ntexld r0, t0\n", f);
    fclose(f);
    ASSERT_EQ(D3DXAssembleShaderFromFileA(path.c_str(), 0, nullptr, &code, &errors), S_OK);
    EXPECT_EQ(code->GetBufferSize(), 5 * sizeof(DWORD));
    code->Release();
    remove(path.c_str());

    EXPECT_TRUE(FAILED(D3DXAssembleShaderFromFileA(path.c_str(), 0, nullptr, &code, &errors)));
    EXPECT_EQ(code, nullptr);
    ASSERT_NE(errors, nullptr);
    EXPECT_THAT(Text(errors), HasSubstr("cannot open file"));
    errors->Release();
}

TEST(AsmApi, BufferCountsReferencesAndAnswersItsInterfaces)
{
    LPD3DXBUFFER buffer = nullptr;
    ASSERT_EQ(D3DXCreateBuffer(16, &buffer), S_OK);
    EXPECT_EQ(buffer->GetBufferSize(), 16u);
    EXPECT_EQ(static_cast<const BYTE*>(buffer->GetBufferPointer())[15], 0);
    void* same = nullptr;
    ASSERT_EQ(buffer->QueryInterface(IID_ID3DXBuffer, &same), S_OK);
    EXPECT_EQ(same, buffer);
    const IID other = {1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
    EXPECT_EQ(buffer->QueryInterface(other, &same), E_NOINTERFACE);
    EXPECT_EQ(same, nullptr);
    EXPECT_EQ(buffer->Release(), 1u);
    EXPECT_EQ(buffer->Release(), 0u);
    EXPECT_EQ(D3DXCreateBuffer(4, nullptr), E_INVALIDARG);
}
}  // namespace
