#include "TexMap.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

uint32_t g_MipLevelsA = 1, g_MipLevelsB = 1, g_MipLevelsC = 1;

namespace
{
Map::CTextureSizeModifier* s_pSizeModifier = nullptr;

struct PixelLayout
{
    uint32_t bits;
    uint32_t alphaMask, alphaShift;
    uint32_t masks[3], shifts[3];
};

bool LayoutOf(uint32_t format, PixelLayout* l)
{
    switch (format)
    {
    case 21:
    case 22: *l = {32, 0xff000000u, 24, {0xff0000, 0xff00, 0xff}, {16, 8, 0}}; return true;
    case 23: *l = {16, 0, 0, {0xf800, 0x7e0, 0x1f}, {11, 5, 0}}; return true;
    case 24: *l = {16, 0, 0, {0x7c00, 0x3e0, 0x1f}, {10, 5, 0}}; return true;
    case 26: *l = {16, 0xf000, 12, {0xf00, 0xf0, 0xf}, {8, 4, 0}}; return true;
    case 28: *l = {8, 0xff, 0, {0, 0, 0}, {0, 0, 0}}; return true;
    case 29: *l = {16, 0xff00, 8, {0xe0, 0x1c, 0x3}, {5, 2, 0}}; return true;
    default: return false;
    }
}
} // namespace

void Map::SetTextureSizeModifier(CTextureSizeModifier* modifier) { s_pSizeModifier = modifier; }
Map::CTextureSizeModifier* Map::GetTextureSizeModifier() { return s_pSizeModifier; }

Map::Map() : m_Name(), m_FlipBookClock(1, 0), m_MatrixClock(1, 0)
{
    D3DXMatrixIdentity(&m_TextureMatrix);
    // Kept for effects that may read them; drawn in this order.
    static const int order[6] = {4, 7, 5, 8, 6, 9};
    for (int i : order)
    {
        const float value = float(std::rand()) / 32767.0f * 1000.0f;
        static_assert(sizeof(float) == sizeof(uint32_t), "offset words hold floats");
        std::memcpy(&m_RandomOffsets[i], &value, 4);
    }
}

void Map::UpdateTextureMatrix(IDirect3DDevice8*, uint32_t)
{
    if (m_Textures.empty() || !m_bTextureAnimation)
        return;
    m_TextureMatrix = TextureAnimationMatrix(m_Animation, m_MatrixClock.GetTime(), m_AnimationState);
}

uint32_t Map::GetFrameIndex()
{
    return FlipBookFrame(m_FlipBookClock.GetTime(), m_FrameRate, m_Textures.size());
}

void Map::SetFrameRate(int framesPerSecond)
{
    m_FlipBookClock.SetTime(0);
    m_FrameRate = framesPerSecond;
}

void Map::SetFrameOffset(float seconds) { m_FlipBookClock.SetTime(-seconds); }

void Map::SetTextureAnimation(const float p[7])
{
    std::copy(p, p + 7, m_Animation);
    m_bTextureAnimation = true;
    m_MatrixClock.SetTime(0);
    const float reset[7] = {0, 0, 0, 0, 0, 1, 1};
    std::copy(reset, reset + 7, m_AnimationState);
    D3DXMatrixIdentity(&m_TextureMatrix);
}

void Map::GetTextureAnimation(float p[7]) const { std::copy(m_Animation, m_Animation + 7, p); }

void Map::SetRandomOffsets(const uint32_t words[11])
{
    std::copy(words, words + 11, m_RandomOffsets);
    m_bRandomOffsets = true;
}

void Map::AddTexture(IDirect3DBaseTexture8* texture)
{
    m_Textures.push_back(texture);
    m_TextureNames.emplace_back();
}

void Map::SetTexture(IDirect3DBaseTexture8* texture)
{
    m_Textures.clear();
    m_TextureNames.clear();
    AddTexture(texture);
}

uint32_t Map::GetTransformFlags() const { return !m_Textures.empty() && m_bTextureAnimation ? 2 : 0; }

IDirect3DBaseTexture8* Map::GetTexture()
{
    const uint32_t i = GetFrameIndex();
    return i < m_Textures.size() ? m_Textures[i] : nullptr;
}

void DiffuseMap::SetTexture(IDirect3DBaseTexture8* texture)
{
    m_Textures.clear();
    m_TextureNames.clear();
    if (texture)
        AddTexture(texture);
}

uint32_t FlipBookFrame(float t, int framesPerSecond, size_t count)
{
    if (framesPerSecond == 0 || count == 0)
        return 0;
    const double product = double(t) * double(uint32_t(framesPerSecond));
    const int64_t whole = std::isfinite(product) && std::fabs(product) < 9.0e18 ? int64_t(product) : 0;
    return uint32_t(uint64_t(whole) & 0xFFFFFFFFu) % uint32_t(count);
}

D3DXMATRIX TextureAnimationMatrix(const float p[7], float t, float state[7])
{
    const float angle = p[0] * t;
    const float values[7] = {angle, p[1], p[2], p[3] * t, p[4] * t, p[5], p[6]};
    std::copy(values, values + 7, state);
    const D3DXVECTOR3 scaling(p[5], p[6], 0);
    const D3DXVECTOR3 centre(p[1], p[2], 0);
    const D3DXQUATERNION rotation(0, 0, std::sin(angle / 2), std::cos(angle / 2));
    const D3DXVECTOR3 translation(values[3], values[4], 0);
    D3DXMATRIX m;
    D3DXMatrixTransformation(&m, nullptr, nullptr, &scaling, &centre, &rotation, &translation);
    m._31 = m._41;
    m._32 = m._42;
    return m;
}

D3DXMATRIX SphereMapMatrix()
{
    return D3DXMATRIX(0.5f, 0, 0, 0, 0, -0.5f, 0, 0, 0, 0, 1, 0, 0.5f, 0.5f, 0, 1);
}

D3DXMATRIX CubeMapMatrix(const D3DXMATRIX& view)
{
    D3DXMATRIX rotationOnly = view;
    rotationOnly._41 = rotationOnly._42 = rotationOnly._43 = 0;
    D3DXMATRIX inverse;
    if (!D3DXMatrixInverse(&inverse, nullptr, &rotationOnly))
        D3DXMatrixIdentity(&inverse);
    static const D3DXMATRIX rs = [] {
        D3DXMATRIX r, s;
        D3DXMatrixRotationX(&r, -D3DX_PI / 2);
        D3DXMatrixScaling(&s, 1, 1, -1);
        return r * s;
    }();
    return inverse * rs;
}

bool AlphaFromColorRow(uint32_t format, uint8_t* row, uint32_t width, bool cutOff)
{
    PixelLayout l;
    if (!LayoutOf(format, &l))
        return false;
    if (l.bits == 8)
        return true;
    const uint32_t alphaMax = l.alphaMask >> l.alphaShift;
    for (uint32_t x = 0; x < width; ++x)
    {
        uint32_t pixel = 0;
        std::memcpy(&pixel, row + x * (l.bits / 8), l.bits / 8);
        uint32_t sum = 0;
        for (int c = 0; c < 3; ++c)
            sum += (pixel & l.masks[c]) >> l.shifts[c];
        const uint32_t gray = sum / 3;
        const uint32_t alpha = cutOff ? (gray < 5 ? 0 : alphaMax) : gray;
        pixel = (pixel & ~l.alphaMask) | ((alpha << l.alphaShift) & l.alphaMask);
        std::memcpy(row + x * (l.bits / 8), &pixel, l.bits / 8);
    }
    return true;
}
