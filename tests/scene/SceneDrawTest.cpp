// The test scene loaded from the program's resources and drawn on a real
// device: pixels read back at known places, and the device's reference
// count back where it started once the scene and the pools are gone.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <vector>

#include "Camera.h"
#include "DebugDraw.h"
#include "GeomObject.h"
#include "Light.h"
#include "Log.h"
#include "Mesh.h"
#include "MeshMaterial.h"
#include "RenderStateManager.h"
#include "Scene.h"
#include "SceneTestSupport.h"
#include "TestDevice.h"

namespace
{
const UINT kSize = 128;

struct Rgb
{
    int r, g, b;
};

Rgb Split(uint32_t c) { return {int(c >> 16) & 255, int(c >> 8) & 255, int(c) & 255}; }

// The back-buffer pixel of world point (x, y, z) seen from the test camera
// at (0, 0, 10) looking down -z with a 60 degree view.
Rgb At(const TestDevice& device, float x, float y, float z)
{
    const float half = (10.0f - z) * std::tan(0.5235988f);
    const UINT px = UINT(std::lround(kSize / 2 + x / half * kSize / 2));
    const UINT py = UINT(std::lround(kSize / 2 - y / half * kSize / 2));
    return Split(device.ReadPixel(px, py));
}

std::string Show(const Rgb& c) { return std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b); }

bool IsGreen(const Rgb& c) { return c.g > 100 && c.g > 2 * c.r && c.g > 2 * c.b; }
} // namespace

TEST(SceneDraw, TestSceneLoadsDrawsAndLeavesNoDeviceObjects)
{
    SceneDeviceFixture fixture(kSize);
    const TestDevice& device = fixture.m_Device;
    ASSERT_NE(nullptr, device.Get());
    IDirect3DDevice8* d3d = device.Get();
    const size_t logStart = fixture.m_LogStart;

    Scene* scene = new Scene(d3d);
    ASSERT_TRUE(scene->Load(101, "", nullptr));
    EXPECT_EQ(std::string::npos, g_Log.GetText().find("Error", logStart)) << g_Log.GetText().substr(logStart);
    ASSERT_NE(nullptr, scene->GetActiveCamera());
    EXPECT_EQ("Camera01", scene->GetActiveCamera()->GetName());
    ASSERT_NE(nullptr, scene->FindLight("Omni01"));
    EXPECT_EQ(0xFF282828u, scene->GetAmbientColor());
    EXPECT_EQ(4u, scene->GetTransparentList().size()); // two panes, the fence and the gate
    GeomObject* flag = scene->FindGeomObject("Flag");
    ASSERT_NE(nullptr, flag);
    ASSERT_EQ(2u, flag->GetMorphFrames().size());
    EXPECT_FALSE(flag->GetMesh(0)->UsesOwnBuffers()); // a morph draws from the pools
    EXPECT_TRUE(scene->FindGeomObject("Ground")->GetMesh(0)->UsesOwnBuffers());
    // The marker's "__none__" material: white, two-sided, one pass, its own.
    const MeshMaterial* none = scene->FindGeomObject("Marker")->GetMesh(0)->GetMaterial();
    ASSERT_NE(nullptr, none);
    EXPECT_EQ("__none__", none->GetName());
    EXPECT_TRUE(none->IsTwoSided());
    EXPECT_EQ(1, none->GetPassCount());
    EXPECT_EQ(nullptr, scene->FindMaterial("__none__"));

    int halfway = 0;
    flag->AddMorphTimedCallback(0.5f, [&](int, Object*, float) { ++halfway; });
    flag->PlayMorphAnimation(0, 1000, 1);
    flag->GetMorphTimer().SetTime(0);
    DrawFrame(d3d, *scene);
    SavePicture(device, kSize, "scene_draw.bmp");

    // The camera and the light come from the archive.
    D3DLIGHT8 light;
    EXPECT_TRUE(RenderStateManager::Instance().IsLightEnabled(0));
    ASSERT_EQ(S_OK, RenderStateManager::Instance().GetLight(0, &light));
    EXPECT_FLOAT_EQ(-3.0f, light.Position.x);
    EXPECT_FLOAT_EQ(3.0f, light.Position.z);

    // Ground: orange texture, lit more near the light, dimmer under the
    // light map's lower band.
    const Rgb upper = At(device, 0, 1, -2), lower = At(device, 0, -1, -2);
    EXPECT_TRUE(upper.r > upper.g && upper.g > upper.b && upper.b * 2 < upper.r) << Show(upper);
    EXPECT_LT(lower.r * 10, upper.r * 6) << Show(lower) << " under " << Show(upper);
    const Rgb nearLight = At(device, -3.5f, -1, -2), farLight = At(device, 3.5f, -1, -2);
    EXPECT_LT(farLight.r * 10, nearLight.r * 9) << Show(farLight) << " vs " << Show(nearLight);

    // The marker is neither lit by the light that excludes it nor given the
    // ambient colour: black; the light is on again after it.
    const Rgb marker = At(device, 5.2f, -3, 0);
    EXPECT_TRUE(marker.r < 8 && marker.g < 8 && marker.b < 8) << Show(marker);

    // Fence: its cut half shows the ground, its other half is yellow.
    const Rgb fenceKept = At(device, -1.75f, -3, 0), fenceCut = At(device, -3.25f, -3, 0);
    EXPECT_TRUE(fenceKept.g * 10 > fenceKept.r * 8 && fenceKept.b * 3 < fenceKept.r) << Show(fenceKept);
    EXPECT_TRUE(fenceCut.g * 10 < fenceCut.r * 8 && fenceCut.r > 10) << Show(fenceCut);

    // Gate: blue from its diffuse map where its own alpha map keeps it.
    const Rgb gateKept = At(device, 2, -2.5f, 0), gateCut = At(device, 2, -3.5f, 0);
    EXPECT_TRUE(gateKept.b > 100 && gateKept.b > 2 * gateKept.r) << Show(gateKept);
    EXPECT_TRUE(gateCut.r > gateCut.b) << Show(gateCut);

    // Glass: the far red pane over the ground, and the near blue pane over
    // both, which only a far-to-near order gives.
    const Rgb farOnly = At(device, 1.5f, 2.5f, -0.5f), both = At(device, 3, 2.5f, 0.5f);
    EXPECT_TRUE(farOnly.r > 2 * farOnly.b && farOnly.g * 4 > farOnly.r) << Show(farOnly);
    EXPECT_TRUE(both.b * 10 > both.r * 8) << Show(both);

    // Morph: the flag in its low pose at 0 s, in its high pose after the end.
    EXPECT_TRUE(IsGreen(At(device, -3, 2, 0))) << Show(At(device, -3, 2, 0));
    EXPECT_FALSE(IsGreen(At(device, -3, 4.25f, 0)));
    flag->GetMorphTimer().SetTime(2.0f);
    DrawFrame(d3d, *scene);
    SavePicture(device, kSize, "scene_draw_morphed.bmp");
    EXPECT_FALSE(IsGreen(At(device, -3, 2, 0)));
    EXPECT_TRUE(IsGreen(At(device, -3, 4.25f, 0))) << Show(At(device, -3, 4.25f, 0));
    EXPECT_EQ(1, halfway); // passed on the way to the end
    flag->PlayMorphAnimation(0, 1000, 1);
    flag->GetMorphTimer().SetTime(0);
    DrawFrame(d3d, *scene);
    EXPECT_TRUE(IsGreen(At(device, -3, 2, 0)));
    EXPECT_EQ(1, halfway);

    // Bounds, the line test and the frustum test of the ground.
    GeomObject* ground = scene->FindGeomObject("Ground");
    const D3DXVECTOR3 low = ground->GetBoundingBoxMin(), high = ground->GetBoundingBoxMax();
    EXPECT_EQ(D3DXVECTOR3(-10, -10, -2), low);
    EXPECT_EQ(D3DXVECTOR3(10, 10, -2), high);
    D3DXVECTOR3 hit;
    ASSERT_TRUE(ground->IntersectRay(&hit, D3DXVECTOR3(1, 2, 10), D3DXVECTOR3(0, 0, -1)));
    EXPECT_NEAR(-2.0f, hit.z, 1e-5f);
    EXPECT_NEAR(2.0f, hit.y, 1e-5f);
    EXPECT_FALSE(ground->IntersectRay(&hit, D3DXVECTOR3(0, 0, 10), D3DXVECTOR3(1, 0, 0)));
    D3DXMATRIX world;
    D3DXMatrixTranslation(&world, 0, 0, 50); // behind the camera
    d3d->SetTransform(D3DTS_WORLD, &world);
    EXPECT_FALSE(ground->GetMesh(0)->IsInFrustum(d3d));
    D3DXMatrixIdentity(&world);
    d3d->SetTransform(D3DTS_WORLD, &world);
    EXPECT_TRUE(ground->GetMesh(0)->IsInFrustum(d3d));

    // The "Env" colour reaches every object but the one it names.
    EXPECT_TRUE(ground->HasAmbientOverride());
    EXPECT_EQ(0xFF282828u, ground->GetAmbient());
    EXPECT_FALSE(scene->FindGeomObject("Marker")->HasAmbientOverride());

    // The ground's debug view: a white wireframe over it (a grid line runs
    // down the middle of the picture).
    ground->SetInformationFlags(GeomObject::kInfoMeshDebug | GeomObject::kInfoAxes);
    DrawFrame(d3d, *scene);
    ground->ClearInformationFlags(0x3F);
    bool white = false;
    for (float x : {-0.05f, 0.0f, 0.05f})
    {
        const Rgb c = At(device, x, -1, -2);
        white = white || (c.r > 200 && c.g > 200 && c.b > 200);
    }
    EXPECT_TRUE(white);
    DebugDraw::Instance().BeginFrame();

    const std::string log = g_Log.GetText().substr(logStart);
    EXPECT_EQ(std::string::npos, log.find("Error")) << log;
    EXPECT_EQ(std::string::npos, log.find("Can't")) << log;

    delete scene;
    EXPECT_EQ(fixture.m_StartRefs, fixture.RefsAfterRelease());
}
