// The maps whose texture matrix follows the current camera.
#include "Camera.h"
#include "TexMap.h"

Camera* ProjectionMap::s_pProjector = nullptr;

void EnvironmentMap::UpdateTextureMatrix(IDirect3DDevice8* device, uint32_t stage)
{
    Map::UpdateTextureMatrix(device, stage);
    if (!m_pCube)
        m_TextureMatrix = SphereMapMatrix();
    else if (g_CurrentCamera)
        m_TextureMatrix = CubeMapMatrix(g_CurrentCamera->GetView());
}

IDirect3DBaseTexture8* EnvironmentMap::GetTexture()
{
    if (IDirect3DCubeTexture8* cube = m_pCube)
        return reinterpret_cast<IDirect3DBaseTexture8*>(cube);
    return m_Textures.empty() ? nullptr : m_Textures[0];
}

void ProjectionMap::UpdateTextureMatrix(IDirect3DDevice8* device, uint32_t stage)
{
    Map::UpdateTextureMatrix(device, stage);
    if (!s_pProjector || !g_CurrentCamera)
        return;
    g_CurrentCamera->UpdateView();
    s_pProjector->UpdateView();
    D3DXMATRIX inverseView;
    if (!D3DXMatrixInverse(&inverseView, nullptr, &g_CurrentCamera->GetView()))
        return;
    const D3DXMATRIX b(0.5f / m_ExtentWidth, 0, 0, 0, 0, -0.5f / m_ExtentHeight, 0, 0, 0, 0, 1, 0,
                       m_TextureMatrix._31 + 0.5f, m_TextureMatrix._32 + 0.5f, 0, 1);
    m_TextureMatrix = inverseView * s_pProjector->GetView() * b;
}
