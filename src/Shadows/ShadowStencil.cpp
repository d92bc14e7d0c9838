#include "ShadowStencil.h"

#include "ComRef.h"
#include "RenderStateManager.h"

void DrawShadowMaskToStencil(IDirect3DDevice8* device, IDirect3DTexture8* mask)
{
    UINT width = 0, height = 0;
    {
        ComRef<IDirect3DSurface8> target;
        D3DSURFACE_DESC desc;
        if (FAILED(device->GetRenderTarget(target.Put())) || FAILED(target->GetDesc(&desc)))
            return;
        width = desc.Width;
        height = desc.Height;
    }
    RenderStateManager& cache = RenderStateManager::Instance();
    cache.PushStates();
    cache.SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    cache.SetRenderState(D3DRS_ZENABLE, FALSE);
    cache.SetRenderState(D3DRS_ZBIAS, 0);
    cache.SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    cache.SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ZERO);
    cache.SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    cache.SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    // The reference is a byte: bright mask texels pass, black ones do not.
    cache.SetRenderState(D3DRS_ALPHAREF, 0x11);
    cache.SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
    cache.SetRenderState(D3DRS_STENCILENABLE, TRUE);
    cache.SetRenderState(D3DRS_STENCILFUNC, D3DCMP_ALWAYS);
    cache.SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_INCR);
    cache.SetRenderState(D3DRS_STENCILFAIL, D3DSTENCILOP_KEEP);
    cache.SetRenderState(D3DRS_STENCILZFAIL, D3DSTENCILOP_KEEP);
    cache.SetRenderState(D3DRS_STENCILMASK, 0xFFFFFFFF);
    cache.SetRenderState(D3DRS_STENCILWRITEMASK, 0xFFFFFFFF);
    cache.SetRenderState(D3DRS_LIGHTING, FALSE);
    cache.SetRenderState(D3DRS_FOGENABLE, FALSE);
    cache.SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    for (DWORD s = 0; s < 8; ++s)
    {
        cache.SetTextureStageState(s, D3DTSS_COLOROP, D3DTOP_DISABLE);
        cache.SetTextureStageState(s, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
        device->SetTexture(s, nullptr);
    }
    device->SetTexture(0, mask);
    cache.SetRenderState(D3DRS_TEXTUREFACTOR, 0xFF808080);
    // Alpha: 4 x the squared distance of (mask + 0.5) from grey, 0 for a
    // black texel and 1 for a white one.
    cache.SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TFACTOR);
    cache.SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_TEXTURE);
    cache.SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TFACTOR);
    cache.SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_TEXTURE);
    cache.SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_ADD);
    cache.SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_ADD);
    for (D3DTEXTURESTAGESTATETYPE arg : {D3DTSS_COLORARG1, D3DTSS_COLORARG2, D3DTSS_ALPHAARG1, D3DTSS_ALPHAARG2})
        cache.SetTextureStageState(1, arg, D3DTA_CURRENT);
    cache.SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DOTPRODUCT3);
    cache.SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DOTPRODUCT3);
    device->Clear(0, nullptr, D3DCLEAR_STENCIL, 0, 1.0f, kStencilShadowed);
    cache.SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_CLAMP);
    cache.SetTextureStageState(0, D3DTSS_ADDRESSV, D3DTADDRESS_CLAMP);
    // The quad's own coordinates, untransformed: a material drawn before may
    // have left a tiling matrix or another coordinate set on the stage.
    cache.SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
    cache.SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
    device->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
    device->SetPixelShader(0);
    struct QuadVertex
    {
        float x, y, z, rhw;
        D3DCOLOR diffuse;
        float u, v;
    };
    const float w = float(width), h = float(height);
    auto corner = [w, h](float x, float y) { return QuadVertex{x, y, 0, 1, 0, x / w + 0.5f / w, y / h + 0.5f / h}; };
    const QuadVertex quad[6] = {corner(0, 0), corner(w, 0), corner(w, h), corner(0, 0), corner(w, h), corner(0, h)};
    device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, quad, sizeof(QuadVertex));
    device->SetTexture(0, nullptr);
    cache.PopStates();
}

void SetFakeShadowStates(bool withStencilShadows)
{
    RenderStateManager& cache = RenderStateManager::Instance();
    cache.SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    cache.SetRenderState(D3DRS_SRCBLEND, D3DBLEND_DESTCOLOR);
    cache.SetRenderState(D3DRS_DESTBLEND, D3DBLEND_SRCCOLOR);
    cache.SetRenderState(D3DRS_LIGHTING, FALSE);
    cache.SetRenderState(D3DRS_STENCILENABLE, withStencilShadows ? TRUE : FALSE);
    cache.SetRenderState(D3DRS_STENCILFUNC, D3DCMP_EQUAL);
    cache.SetRenderState(D3DRS_STENCILREF, kStencilLit);
    cache.SetRenderState(D3DRS_STENCILMASK, 0xFFFFFFFF);
    cache.SetRenderState(D3DRS_STENCILWRITEMASK, 0xFFFFFFFF);
    cache.SetRenderState(D3DRS_STENCILZFAIL, D3DSTENCILOP_KEEP);
    cache.SetRenderState(D3DRS_STENCILFAIL, D3DSTENCILOP_KEEP);
    cache.SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_KEEP);
}
