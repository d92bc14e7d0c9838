#include "OcclusionManager.h"

#include "GeomObject.h"
#include "Mesh.h"

void COcclusionManager::AddOccluder(GeomObject* object)
{
    if (!object || object->GetMeshCount() == 0)
        return;
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    const Mesh* mesh = object->GetMesh(0);
    AddOccluderQuad(object, object, mesh->GetBoundingBoxMin(identity), mesh->GetBoundingBoxMax(identity));
}
