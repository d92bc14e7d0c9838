// Cameras, their view and projection, and the view frustum.
#include "Camera.h"

#include <cmath>

#include "FileStorage.h"
#include "Log.h"

Frustum g_CurrentFrustum = {};

namespace
{
#ifdef _WIN32
CameraTransformSink g_pTransformSink = ApplyCameraTransformsToDevice;
#else
CameraTransformSink g_pTransformSink = nullptr;
#endif

D3DXPLANE Column(const D3DXMATRIX& m, int c)
{
    return D3DXPLANE(m.m[0][c], m.m[1][c], m.m[2][c], m.m[3][c]);
}

D3DXPLANE Add(const D3DXPLANE& a, const D3DXPLANE& b)
{
    return D3DXPLANE(a.a + b.a, a.b + b.b, a.c + b.c, a.d + b.d);
}

D3DXPLANE Sub(const D3DXPLANE& a, const D3DXPLANE& b)
{
    return D3DXPLANE(a.a - b.a, a.b - b.b, a.c - b.c, a.d - b.d);
}

D3DXVECTOR3 SwapYZ(const D3DXVECTOR3& v, bool swap)
{
    return swap ? D3DXVECTOR3(v.x, v.z, v.y) : v;
}
} // namespace

Frustum ExtractFrustumPlanes(const D3DXMATRIX& m)
{
    const D3DXPLANE c1 = Column(m, 0), c2 = Column(m, 1), c3 = Column(m, 2), c4 = Column(m, 3);
    Frustum f;
    f.planes[FRUSTUM_LEFT] = Add(c4, c1);
    f.planes[FRUSTUM_RIGHT] = Sub(c4, c1);
    f.planes[FRUSTUM_TOP] = Sub(c4, c2);
    f.planes[FRUSTUM_BOTTOM] = Add(c4, c2);
    f.planes[FRUSTUM_NEAR] = c3;
    f.planes[FRUSTUM_FAR] = Sub(c4, c3);
    return f;
}

D3DXPLANE NormalizePlane(const D3DXPLANE& p)
{
    const float length = std::sqrt(p.a * p.a + p.b * p.b + p.c * p.c);
    if (length == 0)
        return p;
    return D3DXPLANE(p.a / length, p.b / length, p.c / length, p.d / length);
}

int PlaneSide(const D3DXPLANE& p, const D3DXVECTOR3& v)
{
    const float side = p.a * v.x + p.b * v.y + p.c * v.z + p.d;
    return side < 0 ? -1 : (side > 0 ? 1 : 0);
}

bool IsInsideFrustum(const Frustum& frustum, const D3DXVECTOR3& point)
{
    for (const D3DXPLANE& p : frustum.planes)
        if (PlaneSide(p, point) < 0)
            return false;
    return true;
}

const Frustum& GetCurrentFrustum()
{
    return g_CurrentFrustum;
}

void SetCameraTransformSink(CameraTransformSink sink)
{
    g_pTransformSink = sink;
}

Camera::Camera(const std::string& name)
    : Object(name), m_Fov(1.5707964f), m_Near(10.0f), m_Far(10000.0f), m_Aspect(4.0f / 3.0f)
{
    m_Planes = Frustum{};
    D3DXMatrixScaling(&m_MirrorScale, 1, -1, 1);
    D3DXMatrixScaling(&m_MirrorReflection, 1, 1, -1); // the reflection in z = 0
    D3DXMatrixIdentity(&m_View);
    m_Up = D3DXVECTOR3(0, 1, 0);
    RebuildProjection();
}

void Camera::LoadFromStream(const std::string& name, FileStorage::CMemoryStream& stream)
{
    Object::LoadFromStream(name, stream);
    D3DXMATRIX P;
    stream.ReadMatrix(P);
    m_pTarget = nullptr;
    m_bLockHeight = m_bHeightCaptured = m_bMirror = m_bSwapYZ = false;

    const float aspect = P._22 / P._11;
    const float zFar = P._43 / (1 - P._33);
    const float zNear = zFar * (1 - 1 / P._33);
    const float fov = 2 * std::atan(1 / P._22);
    // A projection that is no perspective (P._33 = 1, P._22 = 0, ...) gives
    // infinite or reversed planes; the camera keeps its defaults then.
    if (std::isfinite(aspect) && aspect > 0 && std::isfinite(zNear) && std::isfinite(zFar) && zNear > 0 &&
        zFar > zNear && fov > 0 && fov < 3.14159f)
    {
        m_Aspect = aspect;
        m_Far = zFar;
        m_Near = zNear;
        m_Fov = fov;
    }
    else
        g_Log.Printf("Camera \"%s\": the stored projection is not a usable perspective; defaults kept\n",
                     name.c_str());
    RebuildProjection();
}

void Camera::RebuildProjection()
{
    const float cot = 1.0f / std::tan(m_Fov / 2);
    m_Projection = D3DXMATRIX(cot / m_Aspect, 0, 0, 0, 0, cot, 0, 0, 0, 0, m_Far / (m_Far - m_Near), 1, 0, 0,
                              -m_Near * m_Far / (m_Far - m_Near), 0);
}

void Camera::SetFov(float radians)
{
    m_Fov = radians;
    RebuildProjection();
}

void Camera::SetAspect(float aspect)
{
    m_Aspect = aspect;
    RebuildProjection();
}

void Camera::SetNear(float zNear)
{
    m_Near = zNear;
    RebuildProjection();
}

void Camera::SetFar(float zFar)
{
    m_Far = zFar;
    RebuildProjection();
}

void Camera::UpdateView()
{
    if (m_bLockHeight)
    {
        if (!m_bHeightCaptured)
        {
            m_bHeightCaptured = true;
            m_LockedHeight = m_World._43;
        }
        else
            m_World._43 = m_LockedHeight;
    }
    // The camera looks along its local -Z.
    D3DXMATRIX M = m_World;
    M._31 = -M._31;
    M._32 = -M._32;
    M._33 = -M._33;
    M._34 = -M._34;
    D3DXMATRIX view;
    if (D3DXMatrixInverse(&view, nullptr, &M))
        m_View = view;

    if (m_pTarget)
    {
        const D3DXMATRIX& t = m_pTarget->GetWorldMatrix();
        const D3DXVECTOR3 eye(m_World._42, m_World._41, m_World._43);
        const D3DXVECTOR3 at(t._42, t._41, t._43);
        const D3DXVECTOR3 up(0, 0, 1);
        D3DXMatrixLookAtLH(&m_View, &eye, &at, &up);
        for (int c = 0; c < 3; ++c)
            std::swap(m_View.m[0][c], m_View.m[1][c]);
    }
    if (m_bMirror)
        m_View = m_MirrorReflection * m_View * m_MirrorScale;

    const D3DXVECTOR3 up(m_View._12, m_View._22, m_View._32);
    D3DXVec3Normalize(&m_Up, &up);
}

void Camera::Apply(IDirect3DDevice8*)
{
    UpdateView();
    if (g_pTransformSink)
        g_pTransformSink(m_View, m_Projection);
    m_Planes = ExtractFrustumPlanes(m_View * m_Projection);
    g_CurrentFrustum = m_Planes;
}

D3DXVECTOR3 Camera::GetPosition() const
{
    return SwapYZ(D3DXVECTOR3(m_World._41, m_World._42, m_World._43), m_bSwapYZ);
}

void Camera::SetPosition(float x, float y, float z)
{
    const D3DXVECTOR3 p = SwapYZ(D3DXVECTOR3(x, y, z), m_bSwapYZ);
    m_Local._41 = p.x;
    m_Local._42 = p.y;
    m_Local._43 = p.z;
    UpdateHierarchy();
}

D3DXVECTOR3 Camera::GetUpVector()
{
    UpdateView();
    return SwapYZ(m_Up, m_bSwapYZ);
}

D3DXVECTOR3 Camera::GetLookDirection()
{
    UpdateView();
    return SwapYZ(D3DXVECTOR3(m_View._13, m_View._23, m_View._33), m_bSwapYZ);
}

const Frustum& Camera::GetFrustumPlanes()
{
    m_Planes = ExtractFrustumPlanes(m_View * m_Projection);
    return m_Planes;
}
