#pragma once
// Softens a texture by averaging it with copies of itself shifted by small
// normally distributed offsets: each pass draws a screen-filling quad into an
// off-screen target with several texture stages sampling the source, summed
// with additive blending; passes render back and forth between two targets.
#include <d3d8.h>

#include <utility>
#include <vector>

#include "RenderMath.h"

// The process-wide offset table, refilled with 10000 pairs by every blur made.
extern std::vector<std::pair<float, float>> g_BlurOffsets;

class CRandomBlur
{
public:
    // size 0: the source's level-0 size; otherwise |size| x |size|.
    CRandomBlur(IDirect3DDevice8* pDevice, IDirect3DTexture8* pSource, int size);
    ~CRandomBlur();
    CRandomBlur(const CRandomBlur&) = delete;
    CRandomBlur& operator=(const CRandomBlur&) = delete;

    void SetStrength(int level);
    // The blurred texture: the source itself when the blur is off, null when
    // the blur is not ready or a pass failed. Leaves the device's render
    // target, depth surface and viewport as it found them.
    IDirect3DTexture8* Blur();
    void Invalidate() { m_bPrepared = false; }
    // With reuse on, a prepared blur hands back its last result undrawn.
    void SetReuse(bool reuse) { m_bReuse = reuse; }
    static DWORD GetTextureFVF(int count);

    bool IsReady() const { return m_bReady; }
    int GetPasses() const { return m_Strength.passes; }
    int GetTaps() const { return m_Strength.taps; }
    float GetSpread() const { return m_Strength.spread; }
    int GetMaxTaps() const { return m_MaxTaps; }
    IDirect3DTexture8* GetTarget(int i) const { return m_pTargets[i & 1]; }

private:
    bool SaveDeviceState();
    void RestoreDeviceState();
    void ReleaseSavedState();
    HRESULT DrawPass(int pass, IDirect3DTexture8* pSource, IDirect3DTexture8* pTarget);
    void DrawGroup(IDirect3DTexture8* pSource, int firstTap, int count, int pass, float weight,
                   const std::pair<float, float>& mean);
    void DrawSingle(IDirect3DTexture8* pSource, int tap, int pass, float weight, const std::pair<float, float>& mean);
    void TapCoordinates(int pass, int tap, const std::pair<float, float>& mean, float cu, float cv, float* out) const;

    RECT m_Rect = {};
    bool m_bReady = false;
    BlurStrength m_Strength;
    IDirect3DDevice8* m_pDevice = nullptr;
    IDirect3DTexture8* m_pSource = nullptr;
    IDirect3DTexture8* m_pTargets[2] = {};
    IDirect3DSurface8* m_pSavedDepth = nullptr;
    IDirect3DSurface8* m_pSavedTarget = nullptr;
    D3DVIEWPORT8 m_SavedViewport = {};
    D3DVIEWPORT8 m_TargetViewport = {};
    bool m_bReuse = false;
    bool m_bPrepared = false;
    int m_Level = 0;
    int m_MaxTaps = 1;
    UINT m_SourceWidth = 0, m_SourceHeight = 0;
    std::vector<float> m_Vertices;
    UINT m_Stride = 0;
};
