#include "Font.h"

#include "D3DUtils.h"
#include "Log.h"
#include "RenderStateManager.h"
#include "d3dx8.h"

#include <climits>
#include <cstring>

namespace
{
const DWORD kTextFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;
const UINT kTextStride = 28;
const DWORD kRectFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE;
const UINT kRectStride = 20;
const LONG kUnset = LONG(0x80000000);

struct TextVertex
{
    float x, y, z, rhw;
    D3DCOLOR colour;
    float u, v;
};
struct RectVertex
{
    float x, y, z, rhw;
    D3DCOLOR colour;
};

int Kerning(const Font::Glyph& g, char next)
{
    auto it = g.kerning.find(static_cast<signed char>(next));
    return it == g.kerning.end() ? 0 : it->second;
}

} // namespace

D3DCOLOR PackColour(float r, float g, float b, float a)
{
    auto channel = [](float c) -> DWORD {
        if (c >= 1.0f)
            return 255;
        if (c <= 0.0f)
            return 0;
        return DWORD(c * 255.0f + 0.5f);
    };
    return channel(a) << 24 | channel(r) << 16 | channel(g) << 8 | channel(b);
}

Font::Font() = default;

Font::~Font()
{
    m_pTexture.Reset();
}

bool Font::LoadFromMemory(const void* pData, size_t size)
{
    FontFormat::File file;
    if (!FontFormat::Parse(pData, size, file))
        return false;

    m_LineHeight = file.header.lineHeight;
    m_Glyphs.assign(256, Glyph());
    const float tw = float(file.header.textureWidth), th = float(file.header.textureHeight);
    for (const FontFormat::GlyphRecord& r : file.glyphs)
    {
        Glyph& g = m_Glyphs[r.code];
        const float u = (r.x + 0.5f) / tw, v = (r.y + 0.5f) / th;
        g.du = r.width / tw;
        g.dv = r.height / th;
        g.corners = {{u, v}, {u + g.du, v}, {u + g.du, v + g.dv}, {u, v + g.dv}};
        g.width = float(r.width);
        g.height = float(r.height);
        g.xOffset = float(r.xOffset);
        g.yOffset = float(r.yOffset);
        g.advance = float(r.advance);
        g.present = true;
    }
    m_Kerning = file.kerning;
    for (const FontFormat::KerningRecord& k : m_Kerning)
        m_Glyphs[k.first].kerning[static_cast<signed char>(k.second & 0xFF)] = k.amount;

    m_pTexture.Reset();
    RenderStateManager& rsm = RenderStateManager::Instance();
    if (!rsm.GetDevice())
        return false;
    const HRESULT hr = D3DXCreateTextureFromFileInMemoryEx(
        rsm.GetDevice(), file.image, UINT(file.imageSize), D3DX_DEFAULT, D3DX_DEFAULT, 1, 0, D3DFMT_UNKNOWN,
        D3DPOOL_DEFAULT, D3DX_FILTER_TRIANGLE | D3DX_FILTER_DITHER, D3DX_FILTER_BOX, 0, nullptr, nullptr, m_pTexture.Put());
    if (FAILED(hr))
        return false;
    rsm.AddTextureMemory(m_pTexture.Get());
    return true;
}

bool Font::LoadFromResource(const char* name)
{
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC res = FindResourceA(module, name, MAKEINTRESOURCEA(10) /* RT_RCDATA */);
    if (!res)
        return false;
    HGLOBAL mem = LoadResource(module, res);
    const void* data = mem ? LockResource(mem) : nullptr;
    const bool ok = data && LoadFromMemory(data, SizeofResource(module, res));
    if (mem)
        FreeResource(mem);
    return ok;
}

bool Font::LoadFromFile(FILE* pFile)
{
    if (!pFile)
        return false;
    bool ok = false;
    if (fseek(pFile, 0, SEEK_END) == 0)
    {
        const long size = ftell(pFile);
        if (size > 0 && fseek(pFile, 0, SEEK_SET) == 0)
        {
            std::vector<unsigned char> buffer(static_cast<size_t>(size));
            if (fread(buffer.data(), 1, buffer.size(), pFile) == buffer.size())
                ok = LoadFromMemory(buffer.data(), buffer.size());
        }
    }
    fclose(pFile);
    return ok;
}

int GetTextWidth(const std::string& text, const TextBatch& batch, float scale)
{
    const Font* font = batch.GetFont();
    if (!font || text.empty())
        return 0;
    float width = 0;
    for (size_t i = 0; i < text.size(); ++i)
    {
        const Font::Glyph& g = font->GetGlyph(static_cast<unsigned char>(text[i]));
        if (!g.present)
            continue;
        const int kerning = i + 1 < text.size() ? Kerning(g, text[i + 1]) : 0;
        width += (g.advance + kerning) * scale;
    }
    return int(width);
}

TextBatch::TextBatch()
{
    m_ClipA = {kUnset, 0, 0, 0};
    m_ClipB = {kUnset, 0, 0, 0};
}

TextBatch::~TextBatch()
{
    m_pVB.Reset();
    m_pIB.Reset();
}

int TextBatch::AddText(const std::string& text, const float position[2], const float colour[4], float scale)
{
    m_Items.push_back({text, position[0], position[1], colour[0], colour[1], colour[2], colour[3], scale});
    m_QueuedGlyphs += unsigned(text.size());
    return GetTextWidth(text, *this, scale);
}

int TextBatch::AddTextAligned(const float position[2], const std::string& text, const float alignment[2],
                              const float colour[4], float scale)
{
    const int width = GetTextWidth(text, *this, scale);
    const float lineHeight = m_pFont ? float(m_pFont->GetLineHeight()) : 0.0f;
    const float at[2] = {position[0] - width * alignment[0], position[1] - scale * lineHeight * alignment[1]};
    return AddText(text, at, colour, scale);
}

void TextBatch::Clear()
{
    m_Items.clear();
    m_bBuilt = false;
    m_QueuedGlyphs = 0;
}

void TextBatch::SetClipRects(const RECT* pA, const RECT* pB)
{
    m_ClipA = pA ? *pA : RECT{kUnset, 0, 0, 0};
    m_ClipB = pB ? *pB : RECT{kUnset, 0, 0, 0};
}

void TextBatch::Reserve(unsigned glyphs)
{
    RenderStateManager& rsm = RenderStateManager::Instance();
    m_pDevice = rsm.GetDevice();
    if (!m_pDevice || glyphs == 0)
        return;
    m_pVB.Reset();
    m_pIB.Reset();
    m_CapacityGlyphs = m_CapacityVertices = m_CapacityIndices = 0;
    if (FAILED(rsm.CreateVertexBuffer(glyphs * 4 * kTextStride, D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, kTextFvf,
                                      D3DPOOL_DEFAULT, m_pVB.Put())) ||
        FAILED(rsm.CreateIndexBuffer(glyphs * 6 * sizeof(WORD), D3DUSAGE_WRITEONLY, D3DFMT_INDEX16,
                                     D3DPOOL_DEFAULT, m_pIB.Put())))
    {
        m_pVB.Reset();
        m_pIB.Reset();
        return;
    }
    BYTE* p = nullptr;
    if (FAILED(m_pIB->Lock(0, 0, &p, 0)))
    {
        m_pVB.Reset();
        m_pIB.Reset();
        return;
    }
    WORD* idx = reinterpret_cast<WORD*>(p);
    for (unsigned q = 0; q < glyphs; ++q)
    {
        const WORD b = WORD(4 * q);
        const WORD quad[6] = {b, WORD(b + 1), WORD(b + 2), WORD(b + 2), WORD(b + 3), b};
        memcpy(idx + 6 * q, quad, sizeof(quad));
    }
    m_pIB->Unlock();
    m_CapacityGlyphs = glyphs;
    m_CapacityVertices = glyphs * 4;
    m_CapacityIndices = glyphs * 6;
}

bool TextBatch::QuadVisible(const float xs[4], const float ys[4]) const
{
    if (m_ClipA.left == kUnset)
        return true;
    auto outcode = [](const RECT& r, float x, float y) {
        int code = x < r.left ? 8 : (x > r.right ? 4 : 0);
        code += y < r.top ? 2 : (y > r.bottom ? 1 : 0);
        return code;
    };
    int codes[4];
    for (int i = 0; i < 4; ++i)
        codes[i] = outcode(m_ClipA, xs[i], ys[i]);
    if (codes[0] == codes[1] && codes[1] == codes[2] && codes[2] == codes[3])
        return codes[0] == 0;
    if (m_ClipB.left == kUnset)
        return false;
    for (int i = 0; i < 4; ++i)
        if (outcode(m_ClipB, xs[i], ys[i]) != 0)
            return false;
    return true;
}

void TextBatch::Build()
{
    m_DrawnQuads = 0;
    BYTE* p = nullptr;
    if (!m_pFont || FAILED(m_pVB->Lock(0, m_QueuedGlyphs * 4 * kTextStride, &p, D3DLOCK_DISCARD)))
        return;
    TextVertex* v = reinterpret_cast<TextVertex*>(p);
    unsigned quads = 0;
    for (const Item& item : m_Items)
    {
        const D3DCOLOR colour = PackColour(item.r, item.g, item.b, item.a);
        float pen = 0;
        const Font::Glyph* previous = nullptr;
        for (char c : item.text)
        {
            const Font::Glyph& g = m_pFont->GetGlyph(static_cast<unsigned char>(c));
            if (!g.present)
                continue;
            const int kerning = previous ? Kerning(*previous, c) : 0;
            const float X = item.x + (g.xOffset + pen + kerning) * item.scale;
            const float Y = item.y + g.yOffset * item.scale;
            const float W = g.width * item.scale, H = g.height * item.scale;
            const float xs[4] = {X, X + W, X + W, X};
            const float ys[4] = {Y, Y, Y + H, Y + H};
            if (QuadVisible(xs, ys))
            {
                for (int i = 0; i < 4; ++i)
                    v[4 * quads + i] = {xs[i], ys[i], 0.0f, 1.0f, colour, g.corners[i].first, g.corners[i].second};
                ++quads;
            }
            pen += g.advance + kerning;
            previous = &g;
        }
    }
    m_pVB->Unlock();
    m_DrawnQuads = quads;
}

void TextBatch::Render()
{
    if (m_QueuedGlyphs == 0)
        return;
    if (m_pVB && m_pDevice != RenderStateManager::Instance().GetDevice())
    {
        // The buffers belong to a device that is gone: make new ones.
        m_pVB.Reset();
        m_pIB.Reset();
        m_bBuilt = false;
    }
    if (!m_bBuilt)
    {
        if (!m_pVB || m_QueuedGlyphs > m_CapacityGlyphs)
            Reserve(m_QueuedGlyphs + 1000);
        if (!m_pVB)
            return; // no device or no buffers: try again at the next build
        Build();
        m_bBuilt = true;
    }
    if (!m_pFont || m_DrawnQuads == 0)
        return;

    RenderStateManager& rsm = RenderStateManager::Instance();
    rsm.PushStates();
    rsm.SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    rsm.SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_TEXTURE);
    rsm.SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    rsm.SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    rsm.SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    rsm.SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    rsm.SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
    rsm.SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, 0);
    for (DWORD s = 1; s <= 2; ++s)
    {
        rsm.SetTextureStageState(s, D3DTSS_COLOROP, D3DTOP_DISABLE);
        rsm.SetTextureStageState(s, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    }
    rsm.SetRenderState(D3DRS_LIGHTING, 0);
    rsm.SetRenderState(D3DRS_ALPHABLENDENABLE, 1);
    rsm.SetRenderState(D3DRS_ALPHATESTENABLE, 1);
    rsm.SetRenderState(D3DRS_FOGENABLE, 0);
    rsm.SetRenderState(D3DRS_COLORVERTEX, 1);
    rsm.SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    rsm.SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);

    m_pDevice->SetTexture(0, m_pFont->GetTexture());
    m_pDevice->SetTexture(1, nullptr);
    m_pDevice->SetTexture(2, nullptr);
    m_pDevice->SetStreamSource(0, m_pVB.Get(), kTextStride);
    m_pDevice->SetIndices(m_pIB.Get(), 0);
    m_pDevice->SetVertexShader(kTextFvf);
    m_pDevice->SetPixelShader(0);
    m_pDevice->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, m_DrawnQuads * 4, 0, m_DrawnQuads * 2);
    rsm.PopStates();
}

void DrawRect(int left, int top, int right, int bottom, float r, float g, float b, float a)
{
    RenderStateManager& rsm = RenderStateManager::Instance();
    IDirect3DDevice8* device = rsm.GetDevice();
    if (!device)
        return;

    // Shared by every call; they live until the process ends.
    static ComRef<IDirect3DVertexBuffer8>& s_pVB = *new ComRef<IDirect3DVertexBuffer8>;
    static ComRef<IDirect3DIndexBuffer8>& s_pIB = *new ComRef<IDirect3DIndexBuffer8>;
    static bool s_bTriedVB = false, s_bTriedIB = false;
    static IDirect3DDevice8* s_pDevice = nullptr;
    if (device != s_pDevice)
    {
        s_pVB.Reset();
        s_pIB.Reset();
        s_bTriedVB = s_bTriedIB = false;
        s_pDevice = device;
    }
    if (!s_bTriedVB)
    {
        s_bTriedVB = true;
        const HRESULT hr = rsm.CreateVertexBuffer(4 * kRectStride, D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, kRectFvf,
                                                  D3DPOOL_DEFAULT, s_pVB.Put());
        if (FAILED(hr))
        {
            s_pVB.Reset();
            g_Log.Printf("Font[DrawRect]: Failed to create vertex buffer: %s\n", GetErrorString(hr).c_str());
        }
    }
    if (!s_pVB)
        return;
    BYTE* p = nullptr;
    if (FAILED(s_pVB->Lock(0, 0, &p, D3DLOCK_DISCARD)))
        return;
    const D3DCOLOR colour = PackColour(r, g, b, a);
    const RectVertex v[4] = {{float(left), float(top), 0, 1, colour},
                             {float(right), float(top), 0, 1, colour},
                             {float(left), float(bottom), 0, 1, colour},
                             {float(right), float(bottom), 0, 1, colour}};
    memcpy(p, v, sizeof(v));
    s_pVB->Unlock();
    if (!s_bTriedIB)
    {
        s_bTriedIB = true;
        const HRESULT hr = rsm.CreateIndexBuffer(6 * sizeof(WORD), D3DUSAGE_WRITEONLY, D3DFMT_INDEX16,
                                                 D3DPOOL_DEFAULT, s_pIB.Put());
        BYTE* ip = nullptr;
        if (FAILED(hr))
        {
            s_pIB.Reset();
            g_Log.Printf("Font[DrawRect]: Failed to create index buffer: %s\n", GetErrorString(hr).c_str());
        }
        else if (SUCCEEDED(s_pIB->Lock(0, 0, &ip, 0)))
        {
            const WORD idx[6] = {0, 1, 2, 1, 3, 2};
            memcpy(ip, idx, sizeof(idx));
            s_pIB->Unlock();
        }
    }
    if (!s_pIB)
        return;

    rsm.PushStates();
    device->SetStreamSource(0, s_pVB.Get(), kRectStride);
    device->SetIndices(s_pIB.Get(), 0);
    device->SetVertexShader(kRectFvf);
    for (DWORD s = 0; s <= 2; ++s)
        device->SetTexture(s, nullptr);
    SetScreenQuadStates(D3DTA_DIFFUSE, TRUE);
    device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 0, 2);
    rsm.PopStates();
}
