#include "OcclusionManager.h"

#include "Camera.h"
#include "Object.h"

namespace
{
D3DXPLANE PlaneOf(const D3DXVECTOR3& a, const D3DXVECTOR3& b, const D3DXVECTOR3& c)
{
    D3DXPLANE p;
    D3DXPlaneFromPoints(&p, &a, &b, &c);
    return p;
}
} // namespace

void COcclusionManager::AddOccluderQuad(GeomObject* object, const Object* node, const D3DXVECTOR3& m,
                                        const D3DXVECTOR3& M)
{
    OcclusionQuad q;
    q.p[0] = D3DXVECTOR3(m.x, m.y, m.z);
    q.p[1] = D3DXVECTOR3(m.x, M.y, M.z);
    q.p[2] = D3DXVECTOR3(M.x, M.y, M.z);
    q.p[3] = D3DXVECTOR3(M.x, m.y, M.z);
    q.object = object;
    q.node = node;
    for (D3DXPLANE& plane : q.planes)
        plane = D3DXPLANE(0, 0, 0, 0);
    m_Occluders.push_back(q);
    m_bEnabled = true;
}

void COcclusionManager::Disable()
{
    m_bEnabled = false;
    m_Active.clear();
}

void COcclusionManager::Update(Camera* camera)
{
    if (!m_bEnabled || !camera)
    {
        m_Active.clear();
        return;
    }
    m_pCamera = camera;
    Update(camera->GetPosition(), GetCurrentFrustum());
}

void COcclusionManager::Update(const D3DXVECTOR3& eye, const Frustum& frustum)
{
    m_Active.clear();
    if (!m_bEnabled)
        return;
    m_pFrustum = &frustum;
    m_Eye = eye;
    for (const OcclusionQuad& occluder : m_Occluders)
    {
        D3DXVECTOR3 w[4];
        D3DXMATRIX world;
        D3DXMatrixIdentity(&world);
        if (occluder.node)
            world = occluder.node->GetWorldMatrix();
        for (int i = 0; i < 4; ++i)
            D3DXVec3TransformCoord(&w[i], &occluder.p[i], &world);

        // Outside the view: every corner on or behind one of the planes.
        bool seen = true;
        for (const D3DXPLANE& plane : frustum.planes)
        {
            bool anyInFront = false;
            for (const D3DXVECTOR3& corner : w)
                anyInFront = anyInFront || D3DXPlaneDotCoord(&plane, &corner) > 0;
            if (!anyInFront)
            {
                seen = false;
                break;
            }
        }
        if (!seen)
            continue;

        OcclusionQuad active = occluder;
        for (int i = 0; i < 4; ++i)
            active.p[i] = w[i];
        const D3DXPLANE quad = PlaneOf(w[0], w[3], w[1]);
        // Winding chosen so that the volume behind the quad, seen from the
        // eye, is where all five distances are 0 or less.
        if (D3DXPlaneDotCoord(&quad, &eye) > 0)
        {
            active.planes[0] = quad;
            active.planes[1] = PlaneOf(eye, w[1], w[0]);
            active.planes[2] = PlaneOf(eye, w[3], w[2]);
            active.planes[3] = PlaneOf(eye, w[2], w[1]);
            active.planes[4] = PlaneOf(eye, w[0], w[3]);
        }
        else
        {
            active.planes[0] = PlaneOf(w[0], w[1], w[3]);
            active.planes[1] = PlaneOf(eye, w[2], w[3]);
            active.planes[2] = PlaneOf(eye, w[0], w[1]);
            active.planes[3] = PlaneOf(eye, w[1], w[2]);
            active.planes[4] = PlaneOf(eye, w[3], w[0]);
        }
        m_Active.push_back(active);
    }
}

bool COcclusionManager::IsBoxOccluded(const D3DXVECTOR3 corners[8]) const
{
    if (!m_bEnabled)
        return false;
    for (const OcclusionQuad& f : m_Active)
    {
        bool inside = true;
        for (int c = 0; c < 8 && inside; ++c)
            for (const D3DXPLANE& plane : f.planes)
                if (D3DXPlaneDotCoord(&plane, &corners[c]) > 0)
                {
                    inside = false;
                    break;
                }
        if (inside)
            return true;
    }
    return false;
}
