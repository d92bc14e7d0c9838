#include "ObjectModifiers.h"

#include "Camera.h"
#include "GeomObject.h"
#include "Scene.h"

void CLODModifier::Apply(Object* object)
{
    if (!object || object->GetTypeId() != OBJECT_TYPE_GEOM || !m_pScene || !m_pScene->GetActiveCamera())
        return;
    const D3DXMATRIX& w = object->GetWorldMatrix();
    const D3DXVECTOR3 d = D3DXVECTOR3(w._41, w._42, w._43) - m_pScene->GetActiveCamera()->GetPosition();
    static_cast<GeomObject*>(object)->SetVisible(IsVisibleAt(D3DXVec3Length(&d)));
}
