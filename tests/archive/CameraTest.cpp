// Cameras: the projection read back from a stored matrix, the view, and the
// view frustum.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>

#include "ArchiveWriter.h"
#include "Camera.h"
#include "FileStorage.h"

using namespace FileStorage;

namespace
{
std::unique_ptr<Camera> LoadCamera(const float* projection16)
{
    CameraRecord r;
    r.node.keys.resize(1);
    ArchiveTool::SetIdentity(r.node.keys[0].matrix);
    memcpy(r.projection, projection16, sizeof r.projection);
    CMemoryStream s(ArchiveTool::EncodeRecord(r));
    std::unique_ptr<Camera> c(new Camera);
    c->LoadFromStream("Camera01", s);
    return c;
}

D3DXMATRIX Translation(float x, float y, float z)
{
    D3DXMATRIX m;
    D3DXMatrixTranslation(&m, x, y, z);
    return m;
}
} // namespace

TEST(Camera, StoredProjectionGivesItsFourValuesBack)
{
    const struct
    {
        float fov, aspect, zNear, zFar;
    } cases[] = {{0.72f, 4.0f / 3.0f, 0.01f, 998.7f}, {1.5707964f, 1, 10, 10000}, {1.2f, 16.0f / 9.0f, 0.5f, 50}};
    for (const auto& c : cases)
    {
        float p[16];
        ArchiveTool::PerspectiveFovLH(p, c.fov, c.aspect, c.zNear, c.zFar);
        const std::unique_ptr<Camera> loaded = LoadCamera(p);
        Camera& cam = *loaded;
        EXPECT_NEAR(cam.GetFov(), c.fov, 1e-5);
        EXPECT_NEAR(cam.GetAspect(), c.aspect, 1e-5);
        EXPECT_NEAR(cam.GetNear(), c.zNear, c.zNear * 0.02) << "near from a far/near ratio of " << c.zFar / c.zNear;
        EXPECT_NEAR(cam.GetFar(), c.zFar, c.zFar * 1e-4);
        const float* q = cam.GetProjection();
        for (int i : {0, 5, 11})
            EXPECT_NEAR(q[i], p[i], std::fabs(p[i]) * 1e-5) << i;
    }
}

TEST(Camera, ProjectionThatIsNoPerspectiveKeepsTheDefaults)
{
    float p[16] = {};
    p[0] = p[5] = p[10] = p[15] = 1; // _33 = 1: the far plane would be infinite
    const std::unique_ptr<Camera> loaded = LoadCamera(p);
    Camera& cam = *loaded;
    EXPECT_FLOAT_EQ(cam.GetFov(), 1.5707964f);
    EXPECT_FLOAT_EQ(cam.GetNear(), 10);
    EXPECT_FLOAT_EQ(cam.GetFar(), 10000);
    EXPECT_FLOAT_EQ(cam.GetAspect(), 4.0f / 3.0f);
}

TEST(Camera, ViewAtTheOriginFlipsZ)
{
    Camera cam("c");
    cam.UpdateView();
    D3DXMATRIX flip;
    D3DXMatrixScaling(&flip, 1, 1, -1);
    EXPECT_EQ(cam.GetView(), flip);
    const D3DXVECTOR3 up = cam.GetUpVector();
    EXPECT_EQ(up, D3DXVECTOR3(0, 1, 0));
}

TEST(Camera, PositionSwapsYAndZOnRequest)
{
    Camera cam("c");
    cam.SetWorldMatrix(Translation(1, 2, 3));
    EXPECT_EQ(cam.GetPosition(), D3DXVECTOR3(1, 2, 3));
    cam.SetSwapYZ(true);
    EXPECT_EQ(cam.GetPosition(), D3DXVECTOR3(1, 3, 2));
    cam.SetPosition(4, 5, 6);
    EXPECT_EQ(cam.GetLocalMatrix(), Translation(4, 6, 5));
}

TEST(Frustum, PointsInsideAndOutside)
{
    D3DXMATRIX projection;
    D3DXMatrixPerspectiveFovLH(&projection, 1.5707964f, 1, 1, 100);
    const Frustum f = ExtractFrustumPlanes(projection); // identity view
    const struct
    {
        D3DXVECTOR3 point;
        int outside; // the plane it lies behind, or -1
    } cases[] = {
        {{0, 0, 50}, -1},           {{0, 0, 150}, FRUSTUM_FAR},  {{0, 0, 0.5f}, FRUSTUM_NEAR},
        {{60, 0, 50}, FRUSTUM_RIGHT}, {{-60, 0, 50}, FRUSTUM_LEFT}, {{0, 60, 50}, FRUSTUM_TOP},
        {{0, -60, 50}, FRUSTUM_BOTTOM},
    };
    for (const auto& c : cases)
    {
        for (int p = 0; p < FRUSTUM_PLANE_COUNT; ++p)
            EXPECT_EQ(PlaneSide(f.planes[p], c.point) < 0, p == c.outside)
                << "plane " << p << " point " << c.point.x << "," << c.point.y << "," << c.point.z;
        EXPECT_EQ(IsInsideFrustum(f, c.point), c.outside < 0);
    }
    EXPECT_EQ(PlaneSide(D3DXPLANE(0, 0, 1, -5), D3DXVECTOR3(1, 1, 5)), 0);
    const D3DXPLANE n = NormalizePlane(D3DXPLANE(0, 3, 4, 10));
    EXPECT_FLOAT_EQ(n.b, 0.6f);
    EXPECT_FLOAT_EQ(n.d, 2);
}

namespace
{
int g_SinkCalls = 0;
void CountingSink(const D3DXMATRIX&, const D3DXMATRIX&)
{
    ++g_SinkCalls;
}
} // namespace

TEST(Frustum, ApplyPublishesTheCameraFrustum)
{
    // A camera 10 units up the Z axis looks down along world -Z.
    Camera cam("c");
    cam.SetNear(1);
    cam.SetFar(100);
    cam.SetWorldMatrix(Translation(0, 0, 10));
    SetCameraTransformSink(CountingSink);
    cam.Apply(nullptr);
    SetCameraTransformSink(nullptr);
    EXPECT_EQ(g_SinkCalls, 1);
    const Frustum& f = GetCurrentFrustum();
    EXPECT_TRUE(IsInsideFrustum(f, D3DXVECTOR3(0, 0, 0)));
    EXPECT_TRUE(IsInsideFrustum(f, D3DXVECTOR3(3, -3, -50)));
    EXPECT_FALSE(IsInsideFrustum(f, D3DXVECTOR3(0, 0, 20))) << "behind the camera";
    EXPECT_FALSE(IsInsideFrustum(f, D3DXVECTOR3(0, 0, -100))) << "past the far plane";
    const D3DXVECTOR3 look = cam.GetLookDirection();
    EXPECT_FLOAT_EQ(look.z, -1);
}
