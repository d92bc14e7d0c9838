#pragma once
// The old-film look on the finished picture: a sepia multiply, flashing
// scratches, drifting lines and a grain texture over everything, and the
// display's gamma tinted while it is on.
#include <d3d8.h>

#include "ComRef.h"
#include "OldMovieLayers.h"
#include "Timer.h"

class OldMoviePostEffect : public OldMovieLayers
{
public:
    OldMoviePostEffect() : m_Timer(1) {}

    // The three pictures from the main storage; each that loads turns its
    // layer on.
    void LoadTextures(IDirect3DDevice8* device);
    // Gives its textures back (before the device goes).
    void ReleaseTextures()
    {
        m_pLineTexture.Reset();
        m_pScratchesTexture.Reset();
        m_pScreenTexture.Reset();
    }
    // The last pass of a frame. Off: gives the display its ramp back.
    void Render(IDirect3DDevice8* device);
    // The display's ramp as it was before the tint, when tinted (also when
    // the program closes).
    void RestoreGamma(IDirect3DDevice8* device);

    bool IsTintApplied() const { return m_Gamma.IsTinted(); }
    bool HasLineLayer() const { return m_bLineLayer; }
    bool HasScratchLayer() const { return m_bScratchLayer; }
    bool HasScreenLayer() const { return m_bScreenLayer; }

private:
    void ApplyGammaTint(IDirect3DDevice8* device);
    void DrawTint(IDirect3DDevice8* device);
    void DrawScratches(IDirect3DDevice8* device);
    void DrawLines(IDirect3DDevice8* device);
    void DrawScreen(IDirect3DDevice8* device);
    // Textured quads, six vertices each, added onto the picture.
    void DrawTextured(IDirect3DDevice8* device, IDirect3DTexture8* texture, const OldMovieVertex* vertices,
                      size_t quads);

    ComRef<IDirect3DTexture8> m_pLineTexture;
    ComRef<IDirect3DTexture8> m_pScratchesTexture;
    ComRef<IDirect3DTexture8> m_pScreenTexture;
    bool m_bLineLayer = false;
    bool m_bScratchLayer = false;
    bool m_bScreenLayer = false;
    CLocalTimer m_Timer;
    GammaKeeper m_Gamma;
};
