#pragma once
// A scene node with a perspective projection. The content is Z-up with
// cameras looking along their local -Z axis; the view matrix turns that
// into Direct3D's left-handed view space. Applying a camera publishes the
// six planes of its view frustum for culling.
#include "Object.h"

struct IDirect3DDevice8;

enum FrustumPlane
{
    FRUSTUM_LEFT,
    FRUSTUM_RIGHT,
    FRUSTUM_TOP,
    FRUSTUM_BOTTOM,
    FRUSTUM_NEAR,
    FRUSTUM_FAR,
    FRUSTUM_PLANE_COUNT
};

// Six planes, not normalised; a point is inside a plane when
// a x + b y + c z + d >= 0.
struct Frustum
{
    D3DXPLANE planes[FRUSTUM_PLANE_COUNT];
};

// Planes of a view x projection matrix, in the order of FrustumPlane.
Frustum ExtractFrustumPlanes(const D3DXMATRIX& m);
D3DXPLANE NormalizePlane(const D3DXPLANE& plane);
// -1, 0 or 1 as the point lies below, on or above the plane.
int PlaneSide(const D3DXPLANE& plane, const D3DXVECTOR3& point);
// True when the point is inside all six planes.
bool IsInsideFrustum(const Frustum& frustum, const D3DXVECTOR3& point);

// The planes of the camera applied last.
extern Frustum g_CurrentFrustum;
const Frustum& GetCurrentFrustum();

// How an applied camera reaches the device. In the Windows build it is
// ApplyCameraTransformsToDevice: the view and the projection go through the
// device-state cache. Tests may replace it; null: the camera only publishes
// its frustum.
typedef void (*CameraTransformSink)(const D3DXMATRIX& view, const D3DXMATRIX& projection);
void SetCameraTransformSink(CameraTransformSink sink);
#ifdef _WIN32
void ApplyCameraTransformsToDevice(const D3DXMATRIX& view, const D3DXMATRIX& projection);
#endif

class Camera : public Object
{
public:
    explicit Camera(const std::string& name = std::string());

    int GetTypeId() const override { return OBJECT_TYPE_CAMERA; }

    // View, then transforms to the device, then the current frustum.
    virtual void Apply(IDirect3DDevice8* device);
    // World translation, (x, z, y) with swap Y and Z.
    virtual D3DXVECTOR3 GetPosition() const;
    virtual void SetPosition(float x, float y, float z);
    virtual void UpdateView();

    // The node part, then the projection of a "C" record, from which field
    // of view, aspect, near and far are derived. A truncated record throws
    // FileStorage::ErrorRead.
    void LoadFromStream(const std::string& name, FileStorage::CMemoryStream& stream);

    void SetFov(float radians);
    void SetAspect(float aspect);
    void SetNear(float zNear);
    void SetFar(float zFar);
    void SetTarget(Object* target) { m_pTarget = target; }
    void SetSwapYZ(bool swap) { m_bSwapYZ = swap; }
    void SetLockHeight(bool lock) { m_bLockHeight = lock; }
    void SetMirror(bool mirror) { m_bMirror = mirror; }

    float GetFov() const { return m_Fov; }
    float GetNear() const { return m_Near; }
    float GetFar() const { return m_Far; }
    float GetAspect() const { return m_Aspect; }
    const D3DXMATRIX& GetProjection() const { return m_Projection; }
    const D3DXMATRIX& GetView() const { return m_View; }
    const Frustum& GetPlanes() const { return m_Planes; }

    D3DXVECTOR3 GetUpVector();
    D3DXVECTOR3 GetLookDirection();
    // Planes of view x projection, without touching the device.
    const Frustum& GetFrustumPlanes();

protected:
    void RebuildProjection();

    Object* m_pTarget = nullptr;
    float m_LockedHeight = 0;
    bool m_bLockHeight = false;
    bool m_bHeightCaptured = false;
    Frustum m_Planes;
    bool m_bMirror = false;
    D3DXMATRIX m_MirrorScale;
    D3DXMATRIX m_MirrorReflection;
    D3DXMATRIX m_Projection;
    D3DXMATRIX m_View;
    D3DXVECTOR3 m_Up;
    float m_Fov;
    float m_Near;
    float m_Far;
    float m_Aspect;
    bool m_bSwapYZ = false;
};
