// Shader text from the program's own RT_RCDATA resources.
#include "d3dx8shader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

using ::testing::HasSubstr;

namespace
{
std::string Text(ID3DXBuffer* buffer) { return static_cast<const char*>(buffer->GetBufferPointer()); }

TEST(AsmResource, AssemblesTheNamedResource)
{
    LPD3DXBUFFER code = nullptr, errors = nullptr;
    ASSERT_EQ(D3DXAssembleShaderFromResourceA(nullptr, "Good.psh", 0, nullptr, &code, &errors), S_OK);
    EXPECT_EQ(errors, nullptr);
    ASSERT_EQ(code->GetBufferSize(), 7 * sizeof(DWORD));  // version, tex t0, mov r0 t0, end
    EXPECT_EQ(static_cast<const DWORD*>(code->GetBufferPointer())[0], 0xFFFF0101u);
    code->Release();
}

TEST(AsmResource, ErrorsNameTheResourceAndLine)
{
    LPD3DXBUFFER code = nullptr, errors = nullptr;
    EXPECT_TRUE(FAILED(D3DXAssembleShaderFromResourceA(nullptr, "Bad.psh", 0, nullptr, &code, &errors)));
    EXPECT_EQ(code, nullptr);
    ASSERT_NE(errors, nullptr);
    EXPECT_EQ(Text(errors), "Bad.psh(3): error: too many operands for \"mov\": expected 2, found 3\n");
    errors->Release();

    EXPECT_TRUE(FAILED(D3DXAssembleShaderFromResourceA(nullptr, "Missing.psh", 0, nullptr, &code, &errors)));
    ASSERT_NE(errors, nullptr);
    EXPECT_THAT(Text(errors), HasSubstr("Missing.psh: error: resource not found"));
    errors->Release();
}
}  // namespace
