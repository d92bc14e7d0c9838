#include "EffectDraw.h"

#include "ControlEffect.h"
#include "EffectDevice.h"
#include "RenderStateManager.h"

namespace
{
struct RectangleVertex
{
    float x, y, z, rhw;
    D3DCOLOR colour;
    float u, v;
};
const DWORD kRectangleFVF = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

// One texture, full alpha, the first coordinate set, no texture transform.
class RectangleSource : public IDiffuseSource
{
public:
    uint8_t GetAlpha() const override { return 255; }
    IDirect3DBaseTexture8* GetTexture() override { return m_pTexture; }
    uint32_t GetTexCoordIndex() const override { return 0; }
    void UpdateTextureMatrix(IDirect3DDevice8*, uint32_t) override {}
    void SetTexture(IDirect3DBaseTexture8* texture) { m_pTexture = texture; }

private:
    IDirect3DBaseTexture8* m_pTexture = nullptr;
};

struct RectangleObjects
{
    RectangleSource source;
    CDiffuseEffect effect{&source};
};
} // namespace

void DrawRectangle(const RECT& rect, IDirect3DDevice8* pDevice, IDirect3DBaseTexture8* pTexture, DWORD destBlend,
                   D3DCOLOR colour)
{
    static RectangleObjects s_Rectangle;
    s_Rectangle.source.SetTexture(pTexture);

    RenderStateManager& cache = RenderStateManager::Instance();
    cache.PushStates();
    cache.SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_CLAMP);
    cache.SetTextureStageState(0, D3DTSS_ADDRESSV, D3DTADDRESS_CLAMP);
    cache.SetRenderState(D3DRS_ZWRITEENABLE, 0);
    cache.SetRenderState(D3DRS_ZENABLE, 0);
    cache.SetRenderState(D3DRS_ZBIAS, 0);
    cache.SetRenderState(D3DRS_FOGENABLE, 0);
    cache.SetRenderState(D3DRS_ALPHATESTENABLE, 0);
    cache.SetRenderState(D3DRS_ALPHABLENDENABLE, 0);
    cache.SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    cache.SetRenderState(D3DRS_DESTBLEND, destBlend);
    if (IEffectDevice* device = GetEffectDevice())
        s_Rectangle.effect.Apply(*device, 0);

    const float l = float(rect.left) - 0.5f, t = float(rect.top) - 0.5f;
    const float r = float(rect.right) - 0.5f, b = float(rect.bottom) - 0.5f;
    const RectangleVertex vertices[6] = {
        {l, t, 0, 1, colour, 0, 0}, {r, t, 0, 1, colour, 1, 0}, {r, b, 0, 1, colour, 1, 1},
        {l, t, 0, 1, colour, 0, 0}, {r, b, 0, 1, colour, 1, 1}, {l, b, 0, 1, colour, 0, 1},
    };
    pDevice->SetVertexShader(kRectangleFVF);
    pDevice->SetPixelShader(0);
    pDevice->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, vertices, sizeof(RectangleVertex));
    cache.PopStates();
}

void DrawRectangle(D3DCOLOR colour, IDirect3DDevice8* pDevice, IDirect3DBaseTexture8* pTexture, const RECT& rect)
{
    DrawRectangle(rect, pDevice, pTexture, D3DBLEND_INVSRCALPHA, colour);
}
