#include "d3dx8err.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace
{

std::string TextOf(HRESULT hr)
{
    char buffer[256];
    EXPECT_EQ(S_OK, D3DXGetErrorStringA(hr, buffer, sizeof buffer));
    return buffer;
}

TEST(D3DXErrorString, NamesTheCode)
{
    const struct
    {
        HRESULT code;
        const char* name;
    } cases[] = {
        {D3DERR_INVALIDCALL, "D3DERR_INVALIDCALL"},
        {D3DERR_DEVICELOST, "D3DERR_DEVICELOST"},
        {D3DERR_OUTOFVIDEOMEMORY, "D3DERR_OUTOFVIDEOMEMORY"},
        {D3DERR_NOTAVAILABLE, "D3DERR_NOTAVAILABLE"},
        {D3DXERR_INVALIDDATA, "D3DXERR_INVALIDDATA"},
        {D3DXERR_INVALIDMESH, "D3DXERR_INVALIDMESH"},
        {E_OUTOFMEMORY, "E_OUTOFMEMORY"},
        {S_OK, "S_OK"},
    };
    for (const auto& c : cases)
    {
        const std::string text = TextOf(c.code);
        EXPECT_EQ(0u, text.find(std::string(c.name) + ": ")) << text;
        EXPECT_GT(text.size(), strlen(c.name) + 4) << "no meaning after the name: " << text;
    }
    EXPECT_EQ((HRESULT)0x88760B59, D3DXERR_INVALIDDATA);
}

TEST(D3DXErrorString, UnknownCodeShowsItsNumber)
{
    EXPECT_EQ("Unknown error 0x8BADF00D", TextOf((HRESULT)0x8BADF00D));
}

TEST(D3DXErrorString, CutsToTheBufferAndRefusesNone)
{
    char small[8];
    memset(small, 'x', sizeof small);
    ASSERT_EQ(S_OK, D3DXGetErrorStringA(D3DERR_INVALIDCALL, small, 6));
    EXPECT_STREQ("D3DER", small);
    EXPECT_EQ('x', small[6]) << "wrote past the given length";

    char one[1] = {'x'};
    EXPECT_EQ(S_OK, D3DXGetErrorStringA(E_FAIL, one, 1));
    EXPECT_EQ('\0', one[0]);
    EXPECT_EQ(E_INVALIDARG, D3DXGetErrorStringA(E_FAIL, nullptr, 10));
    EXPECT_EQ(E_INVALIDARG, D3DXGetErrorStringA(E_FAIL, small, 0));
}

} // namespace
