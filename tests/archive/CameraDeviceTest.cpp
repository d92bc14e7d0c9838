// Under Wine: an applied camera's view and projection land in the
// device-state cache, and its frustum becomes the current one.
#include <gtest/gtest.h>

#include "Camera.h"
#include "RenderStateManager.h"

TEST(CameraDevice, ApplyRecordsViewAndProjectionInTheCache)
{
    Camera cam("c");
    cam.SetFov(0.72f);
    cam.SetNear(0.5f);
    cam.SetFar(500);
    D3DXMATRIX world;
    D3DXMatrixTranslation(&world, 3, -20, 5);
    cam.SetWorldMatrix(world);
    cam.Apply(nullptr);

    const RenderStateManager& cache = RenderStateManager::Instance();
    EXPECT_EQ(D3DXMATRIX(*cache.GetTransform(D3DTS_VIEW)), cam.GetView());
    EXPECT_EQ(D3DXMATRIX(*cache.GetTransform(D3DTS_PROJECTION)), cam.GetProjection());
    EXPECT_FLOAT_EQ(cam.GetView()._42, 20) << "the view undoes the camera's position";
    EXPECT_TRUE(IsInsideFrustum(GetCurrentFrustum(), D3DXVECTOR3(3, -20, -10)));
    EXPECT_FALSE(IsInsideFrustum(GetCurrentFrustum(), D3DXVECTOR3(3, -20, 10)));
}
