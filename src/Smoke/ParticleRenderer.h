#pragma once
// Draws the live particles of one smoke system as alpha-blended, textured,
// turning squares that face the camera: one vertex buffer filled each
// frame, one index buffer written once, a small vertex shader that builds
// the square in view space. Windows only.
#include <d3d8.h>

#include <list>
#include <memory>

#include "ComRef.h"
#include "Particles.h"

class RenderStateManager;

class CSmokeParticleRenderer
{
public:
    CSmokeParticleRenderer();
    ~CSmokeParticleRenderer();
    CSmokeParticleRenderer(const CSmokeParticleRenderer&) = delete;
    CSmokeParticleRenderer& operator=(const CSmokeParticleRenderer&) = delete;

    // Draws the particles in list order with the cached view and projection.
    void Render(const std::list<std::unique_ptr<SmokeParticle>>& particles);
    // The smoke texture, held by the scene.
    void SetTexture(IDirect3DTexture8* texture) { m_pTexture = texture; }
    bool HasFailed() const { return m_bFailed; }
    bool HasShader() const { return m_dwShader != 0; }

private:
    bool Prepare(const std::list<std::unique_ptr<SmokeParticle>>& particles);
    bool CreateBuffers();
    bool FillIndexBuffer();
    bool CreateVertexShader();
    bool FillVertexBuffer(const std::list<std::unique_ptr<SmokeParticle>>& particles);

    ComRef<IDirect3DVertexBuffer8> m_pVertexBuffer;
    ComRef<IDirect3DIndexBuffer8> m_pIndexBuffer;
    IDirect3DDevice8* m_pDevice = nullptr;
    RenderStateManager* m_pStates = nullptr;
    DWORD m_dwShader = 0;
    IDirect3DTexture8* m_pTexture = nullptr;
    size_t m_DrawCount = 0;
    // Where this frame's vertices start in the buffer, and where the next
    // frame's go.
    size_t m_FirstVertex = 0;
    size_t m_NextVertex = 0;
    bool m_bFailed = false;
};
