// Flexible vertex formats: vertex sizes and vertex shader declarations.
#include "d3dx8mesh.h"

#include <vector>

namespace
{

constexpr DWORD kKnownBits = D3DFVF_POSITION_MASK | D3DFVF_NORMAL | D3DFVF_PSIZE | D3DFVF_DIFFUSE |
                             D3DFVF_SPECULAR | D3DFVF_TEXCOUNT_MASK | D3DFVF_LASTBETA_UBYTE4 | 0xffff0000u;

// Floats of texture coordinate set i.
UINT TexCoordFloats(DWORD fvf, UINT i)
{
    switch ((fvf >> (16 + 2 * i)) & 3)
    {
    case D3DFVF_TEXTUREFORMAT1: return 1;
    case D3DFVF_TEXTUREFORMAT3: return 3;
    case D3DFVF_TEXTUREFORMAT4: return 4;
    default: return 2;
    }
}

UINT TexCount(DWORD fvf) { return (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT; }

// Blend values after an XYZBn position (0 for other positions).
UINT Betas(DWORD fvf)
{
    const DWORD pos = fvf & D3DFVF_POSITION_MASK;
    return pos >= D3DFVF_XYZB1 ? (pos - D3DFVF_XYZRHW) / 2 : 0;
}

// The declaration tokens after the stream token, in element order.
bool Elements(DWORD fvf, std::vector<DWORD>* tokens)
{
    if ((fvf & ~kKnownBits) || TexCount(fvf) > 8)
        return false;
    const DWORD pos = fvf & D3DFVF_POSITION_MASK;
    if (pos == 0 && (fvf & D3DFVF_LASTBETA_UBYTE4))
        return false;
    if (pos == D3DFVF_XYZRHW)
        tokens->push_back(D3DVSD_REG(D3DVSDE_POSITION, D3DVSDT_FLOAT4));
    else if (pos != 0)
        tokens->push_back(D3DVSD_REG(D3DVSDE_POSITION, D3DVSDT_FLOAT3));
    UINT weights = Betas(fvf);
    const bool indices = weights > 0 && (fvf & D3DFVF_LASTBETA_UBYTE4);
    if (indices)
        --weights;
    if (weights > 4)
        return false;
    if (weights)
        tokens->push_back(D3DVSD_REG(D3DVSDE_BLENDWEIGHT, D3DVSDT_FLOAT1 + weights - 1));
    if (indices)
        tokens->push_back(D3DVSD_REG(D3DVSDE_BLENDINDICES, D3DVSDT_UBYTE4));
    if (fvf & D3DFVF_NORMAL)
        tokens->push_back(D3DVSD_REG(D3DVSDE_NORMAL, D3DVSDT_FLOAT3));
    if (fvf & D3DFVF_PSIZE)
        tokens->push_back(D3DVSD_REG(D3DVSDE_PSIZE, D3DVSDT_FLOAT1));
    if (fvf & D3DFVF_DIFFUSE)
        tokens->push_back(D3DVSD_REG(D3DVSDE_DIFFUSE, D3DVSDT_D3DCOLOR));
    if (fvf & D3DFVF_SPECULAR)
        tokens->push_back(D3DVSD_REG(D3DVSDE_SPECULAR, D3DVSDT_D3DCOLOR));
    for (UINT i = 0; i < TexCount(fvf); ++i)
        tokens->push_back(D3DVSD_REG(D3DVSDE_TEXCOORD0 + i, D3DVSDT_FLOAT1 + TexCoordFloats(fvf, i) - 1));
    return true;
}

} // namespace

UINT WINAPI D3DXGetFVFVertexSize(DWORD fvf)
{
    UINT size = 0;
    const DWORD pos = fvf & D3DFVF_POSITION_MASK;
    if (pos == D3DFVF_XYZRHW)
        size += 16;
    else if (pos != 0)
        size += 12 + 4 * Betas(fvf);
    if (fvf & D3DFVF_NORMAL)
        size += 12;
    if (fvf & D3DFVF_PSIZE)
        size += 4;
    if (fvf & D3DFVF_DIFFUSE)
        size += 4;
    if (fvf & D3DFVF_SPECULAR)
        size += 4;
    for (UINT i = 0; i < TexCount(fvf) && i < 8; ++i)
        size += 4 * TexCoordFloats(fvf, i);
    return size;
}

HRESULT WINAPI D3DXDeclaratorFromFVF(DWORD fvf, DWORD declaration[MAX_FVF_DECL_SIZE])
{
    std::vector<DWORD> tokens;
    if (!declaration || !Elements(fvf, &tokens))
        return D3DERR_INVALIDCALL;
    UINT n = 0;
    declaration[n++] = D3DVSD_STREAM(0);
    for (DWORD t : tokens)
        declaration[n++] = t;
    declaration[n] = D3DVSD_END();
    return S_OK;
}

HRESULT WINAPI D3DXFVFFromDeclarator(const DWORD* declaration, DWORD* fvf)
{
    if (!declaration || !fvf || declaration[0] != D3DVSD_STREAM(0))
        return D3DERR_INVALIDCALL;
    // Collect the registers and types, then find the format whose own
    // declaration is exactly this one.
    std::vector<DWORD> given;
    for (UINT i = 1; declaration[i] != D3DVSD_END(); ++i)
    {
        if (i >= MAX_FVF_DECL_SIZE - 1)
            return D3DERR_INVALIDCALL;
        given.push_back(declaration[i]);
    }
    DWORD result = 0;
    auto regType = [&](DWORD reg) -> int {
        for (DWORD t : given)
            if ((t & 0xffff) == reg && (t >> D3DVSD_TOKENTYPESHIFT) == D3DVSD_TOKEN_STREAMDATA && !(t & 0x10000000))
                return int((t >> D3DVSD_DATATYPESHIFT) & 0xf);
        return -1;
    };
    const int position = regType(D3DVSDE_POSITION), weights = regType(D3DVSDE_BLENDWEIGHT);
    const bool indices = regType(D3DVSDE_BLENDINDICES) >= 0;
    if (position == D3DVSDT_FLOAT4)
        result |= D3DFVF_XYZRHW;
    else if (position == D3DVSDT_FLOAT3)
    {
        const int betas = (weights >= 0 ? weights + 1 : 0) + (indices ? 1 : 0);
        result |= betas ? D3DFVF_XYZRHW + 2 * betas : D3DFVF_XYZ;
        if (indices)
            result |= D3DFVF_LASTBETA_UBYTE4;
    }
    if (regType(D3DVSDE_NORMAL) >= 0)
        result |= D3DFVF_NORMAL;
    if (regType(D3DVSDE_PSIZE) >= 0)
        result |= D3DFVF_PSIZE;
    if (regType(D3DVSDE_DIFFUSE) >= 0)
        result |= D3DFVF_DIFFUSE;
    if (regType(D3DVSDE_SPECULAR) >= 0)
        result |= D3DFVF_SPECULAR;
    UINT texCount = 0;
    while (texCount < 8 && regType(D3DVSDE_TEXCOORD0 + texCount) >= 0)
    {
        static const DWORD kFormats[4] = {D3DFVF_TEXTUREFORMAT1, D3DFVF_TEXTUREFORMAT2, D3DFVF_TEXTUREFORMAT3,
                                          D3DFVF_TEXTUREFORMAT4};
        const int type = regType(D3DVSDE_TEXCOORD0 + texCount);
        if (type > D3DVSDT_FLOAT4)
            return D3DERR_INVALIDCALL;
        result |= kFormats[type] << (16 + 2 * texCount);
        ++texCount;
    }
    result |= texCount << D3DFVF_TEXCOUNT_SHIFT;

    std::vector<DWORD> expected;
    if (!Elements(result, &expected) || expected != given)
        return D3DERR_INVALIDCALL;
    *fvf = result;
    return S_OK;
}
