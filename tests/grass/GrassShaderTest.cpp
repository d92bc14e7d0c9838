// The wind shaders of the grass and the branches: they assemble, read only
// the inputs their declarations give and the constants the program sets,
// and keep to one constant and one input register per instruction.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "d3dx8shader.h"

namespace
{
struct Reads
{
    std::set<int> inputs, constants;
    int worstConstants = 0, worstInputs = 0;
};

Reads Assemble(const std::string& name)
{
    Reads reads;
    const std::string path = std::string(TARNHOLM_CONTENT_SRC) + "/shaders/" + name;
    LPD3DXBUFFER code = nullptr, errors = nullptr;
    const HRESULT hr = D3DXAssembleShaderFromFileA(path.c_str(), 0, nullptr, &code, &errors);
    EXPECT_EQ(hr, S_OK) << name << ": "
                        << (errors ? static_cast<const char*>(errors->GetBufferPointer()) : "no error text");
    if (errors)
        errors->Release();
    if (!code)
        return reads;
    const DWORD* t = static_cast<const DWORD*>(code->GetBufferPointer());
    const size_t n = code->GetBufferSize() / sizeof(DWORD);
    EXPECT_EQ(t[0], 0xFFFE0101u) << name;
    for (size_t i = 1; i < n && t[i] != 0x0000FFFF;)
    {
        if ((t[i] & 0xFFFF) == 0xFFFE) // a comment
        {
            i += 1 + ((t[i] >> 16) & 0x7FFF);
            continue;
        }
        // The opcode, then its parameters: the destination and the sources.
        size_t p = i + 1;
        std::set<int> constants, inputs;
        for (bool first = true; p < n && (t[p] & 0x80000000u); ++p, first = false)
        {
            const int type = int((t[p] >> 28) & 7), number = int(t[p] & 0x7FF);
            if (first)
                continue;
            if (type == 1)
                inputs.insert(number);
            if (type == 2)
                constants.insert(number);
        }
        reads.inputs.insert(inputs.begin(), inputs.end());
        reads.constants.insert(constants.begin(), constants.end());
        reads.worstConstants = std::max(reads.worstConstants, int(constants.size()));
        reads.worstInputs = std::max(reads.worstInputs, int(inputs.size()));
        i = p;
    }
    code->Release();
    return reads;
}

std::set<int> Range(std::set<int> s, int from, int to)
{
    for (int r = from; r <= to; ++r)
        s.insert(r);
    return s;
}

TEST(GrassShaders, ReadWhatTheProgramGives)
{
    // Constants the program sets: the grass c0-c36 (c27-c30 the shadow
    // matrix in the shadowed pass), the branches c0-c25 without c2, c3, c9.
    const std::set<int> grassSet = Range(Range({0, 1, 8}, 4, 7), 10, 36);
    const std::set<int> leavesSet = Range(Range({0, 1, 8}, 4, 7), 10, 25);
    const struct
    {
        const char* name;
        std::set<int> inputs;
        std::set<int> constants;
    } shaders[] = {
        {"Grass.vsh", {0, 7}, grassSet},
        {"GrassProjShadows.vsh", {0, 7}, grassSet},
        {"Leaves.vsh", {0, 7, 8}, leavesSet},
    };
    for (const auto& s : shaders)
    {
        const Reads reads = Assemble(s.name);
        for (int v : reads.inputs)
            EXPECT_TRUE(v == 3 || s.inputs.count(v)) << s.name << " reads v" << v;
        EXPECT_TRUE(reads.inputs.count(0)) << s.name;
        for (int c : reads.constants)
            EXPECT_TRUE(s.constants.count(c)) << s.name << " reads c" << c;
        EXPECT_LE(reads.worstConstants, 1) << s.name;
        EXPECT_LE(reads.worstInputs, 1) << s.name;
    }
    // Only the shadowed pass reads the shadow matrix.
    EXPECT_FALSE(Assemble("Grass.vsh").constants.count(27));
    EXPECT_TRUE(Assemble("GrassProjShadows.vsh").constants.count(27));
}
} // namespace
