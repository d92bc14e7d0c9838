#include <windows.h>

#include "Effect.h"
#include "GeomObject.h"
#include "Log.h"
#include "Mesh.h"
#include "MeshMaterial.h"
#include "ObjectInformation.h"
#include "RenderStateManager.h"

uint32_t GeomObject::GetInfoVertexCount() const
{
    uint32_t n = 0;
    for (const Mesh* mesh : m_Meshes)
        n += mesh->GetVertexCount();
    return n;
}

uint32_t GeomObject::GetInfoTriangleCount() const
{
    uint32_t n = 0;
    for (const Mesh* mesh : m_Meshes)
        n += mesh->GetTriangleCount();
    return n;
}

bool GeomObject::HitTest(int x, int y, float* distance)
{
    IDirect3DDevice8* device = RenderStateManager::Instance().GetDevice();
    D3DVIEWPORT8 viewport = {};
    if (!device || FAILED(device->GetViewport(&viewport)) || viewport.Width == 0 || viewport.Height == 0)
        return false;
    const ObjectInformationManager& manager = ObjectInformationManager::Instance();
    D3DXVECTOR3 origin, direction, hit;
    PickRay(x - int(viewport.X), y - int(viewport.Y), int(viewport.Width), int(viewport.Height), manager.GetView(),
            manager.GetProjection(), &origin, &direction);
    if (!IntersectRay(&hit, origin, direction))
        return false;
    D3DXMATRIX inverseView;
    D3DXMatrixInverse(&inverseView, nullptr, &manager.GetView());
    const D3DXVECTOR3 eye(inverseView._41, inverseView._42, inverseView._43);
    const D3DXVECTOR3 d = hit - eye;
    *distance = D3DXVec3Length(&d);
    return true;
}

void GeomObject::AppendInformation(std::vector<std::string>* lines) const
{
    if (m_pParent)
        lines->push_back(FormatString("Parent: %s", m_pParent->GetName().c_str()));
    for (size_t i = 0; i < m_Meshes.size(); ++i)
    {
        const Mesh* mesh = m_Meshes[i];
        std::string line = FormatString("Mesh %u: [faces: %u   vertices: %u", unsigned(i), mesh->GetIndexCount() / 3,
                                        mesh->GetVertexCount());
        if (const MeshMaterial* material = mesh->GetMaterial())
            line += FormatString("   material: %s   effect: %s", material->GetName().c_str(),
                                 material->GetEffectState().GetEffect().GetName().c_str());
        lines->push_back(line + "]");
    }
}
