// The culling test scene drawn on a real device: tangent-space relief, the
// culling tree and the occluders in the number of draws, a skinned strip
// bending with its bone, a turning fan, and the free camera's states file.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "Bitmap24.h"
#include "Camera.h"
#include "ControlledCamera.h"
#include "GeomObject.h"
#include "Light.h"
#include "Log.h"
#include "Mesh.h"
#include "MeshMaterial.h"
#include "ObjectInformation.h"
#include "ObjectModifiers.h"
#include "OcclusionManager.h"
#include "Octree.h"
#include "RenderStateManager.h"
#include "Scene.h"
#include "TestDevice.h"

namespace
{
const UINT kSize = 128;
const float kCentreX = 40.0f;

struct Rgb
{
    int r, g, b;
};

std::string Show(const Rgb& c) { return std::to_string(c.r) + "," + std::to_string(c.g) + "," + std::to_string(c.b); }

bool IsGreen(const Rgb& c) { return c.g > 100 && c.g > 2 * c.r && c.g > 2 * c.b; }
bool IsMagenta(const Rgb& c) { return c.r > 100 && c.b > 100 && c.g * 2 < c.r; }
bool IsCyan(const Rgb& c) { return c.g > 100 && c.b > 100 && c.r * 2 < c.g; }
int Brightness(const Rgb& c) { return c.r + c.g + c.b; }

ULONG DeviceRefs(IDirect3DDevice8* device)
{
    device->AddRef();
    return device->Release();
}

class CullingDrawTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        UseDebugTimer();
        ASSERT_NE(nullptr, m_Device.Get());
        RenderStateManager::Instance().SetDevice(m_Device.Get());
        SetCameraTransformSink(ApplyCameraTransformsToDevice);
        m_StartRefs = DeviceRefs(m_Device.Get());
        m_LogStart = g_Log.GetText().size();
        m_pScene.reset(new Scene(m_Device.Get()));
        ASSERT_TRUE(m_pScene->Load(101, "", nullptr));
        ASSERT_NE(nullptr, m_pScene->GetActiveCamera());
        // Loading complains only about the quad that cannot have tangents.
        const std::string loadLog = NewLog();
        const std::string expected = "Error: mesh 0 of object FlatBump has no normals or texture coordinates";
        EXPECT_NE(std::string::npos, loadLog.find(expected)) << loadLog;
        EXPECT_EQ(loadLog.find("Error"), loadLog.rfind("Error")) << loadLog;
        m_LogStart = g_Log.GetText().size();
    }
    void TearDown() override
    {
        m_pScene.reset();
        MeshPools::ReleaseAll();
        IDirect3DDevice8* d3d = m_Device.Get();
        for (DWORD stage = 0; stage < 8; ++stage)
            d3d->SetTexture(stage, nullptr);
        d3d->SetStreamSource(0, nullptr, 0);
        d3d->SetStreamSource(1, nullptr, 0);
        d3d->SetIndices(nullptr, 0);
        d3d->SetVertexShader(D3DFVF_XYZ);
        d3d->SetPixelShader(0);
        EXPECT_EQ(m_StartRefs, DeviceRefs(d3d));
        RenderStateManager::Instance().SetDevice(nullptr);
    }

    // Draws one frame; returns the number of mesh draws it made.
    uint32_t Draw(const char* picture = nullptr)
    {
        GetGlobalTimer()->Update();
        IDirect3DDevice8* d3d = m_Device.Get();
        const uint32_t before = g_MeshDrawCalls;
        d3d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
        d3d->BeginScene();
        RenderStateManager::Instance().PushStates();
        m_pScene->Render();
        RenderStateManager::Instance().PopStates();
        d3d->EndScene();
        if (picture)
            Save(picture);
        return g_MeshDrawCalls - before;
    }

    // The pixel of world point (x, y, 0) seen from the scene's camera.
    Rgb At(float x, float y) const
    {
        const float half = 10.0f * std::tan(0.5235988f);
        const UINT px = UINT(std::lround(kSize / 2 + (x - kCentreX) / half * kSize / 2));
        const UINT py = UINT(std::lround(kSize / 2 - y / half * kSize / 2));
        const uint32_t c = m_Device.ReadPixel(px, py);
        return {int(c >> 16) & 255, int(c >> 8) & 255, int(c) & 255};
    }

    void Save(const char* path) const
    {
        const std::vector<uint8_t> bytes =
            MakeBitmap24(kSize, kSize, [&](uint32_t x, uint32_t y) { return m_Device.ReadPixel(x, y); });
        if (FILE* f = std::fopen(path, "wb"))
        {
            std::fwrite(bytes.data(), 1, bytes.size(), f);
            std::fclose(f);
        }
    }

    void PlaceLocal(Object* object, const D3DXMATRIX& local)
    {
        object->SetLocalMatrix(local);
        object->SetWorldMatrix(local);
    }

    std::string NewLog() const { return g_Log.GetText().substr(m_LogStart); }

    TestDevice m_Device{kSize, kSize};
    std::unique_ptr<Scene> m_pScene;
    ULONG m_StartRefs = 0;
    size_t m_LogStart = 0;
};

TEST_F(CullingDrawTest, BumpMappedPanelShowsItsReliefFromEitherSide)
{
    Object* light = m_pScene->FindObject("Omni01");
    ASSERT_NE(nullptr, light);
    GeomObject* panel = m_pScene->FindGeomObject("BumpPanel");
    ASSERT_NE(nullptr, panel);
    Mesh* mesh = panel->GetMesh(0);
    ASSERT_NE(nullptr, mesh->GetTangentStream(false)) << NewLog();
    EXPECT_EQ(mesh->GetVertexCount() * 6, mesh->GetTangentData(false).size());
    EXPECT_EQ(mesh->GetVertexCount(), mesh->GetMendMapping().size());

    // Ridges one unit wide: facing -x on [35, 36], +x on [36, 37], ...
    D3DXMATRIX at;
    D3DXMatrixTranslation(&at, 30, 3, 2);
    PlaceLocal(light, at);
    Draw("culling_bump_left.bmp");
    const Rgb leftLitWest = At(35.5f, 3), leftLitEast = At(36.5f, 3);
    D3DXMatrixTranslation(&at, 44, 3, 2);
    PlaceLocal(light, at);
    Draw("culling_bump_right.bmp");
    const Rgb rightLitWest = At(37.5f, 3), rightLitEast = At(38.5f, 3);

    EXPECT_GT(Brightness(leftLitWest), Brightness(leftLitEast) + 120)
        << Show(leftLitWest) << " vs " << Show(leftLitEast);
    EXPECT_GT(Brightness(rightLitEast), Brightness(rightLitWest) + 120)
        << Show(rightLitEast) << " vs " << Show(rightLitWest);

    // Without a tangent stream the tangent pass is not drawn at all.
    const Mesh* flat = m_pScene->FindGeomObject("FlatBump")->GetMesh(0);
    EXPECT_TRUE(flat->HasTangentFailed());
    EXPECT_EQ(nullptr, flat->GetTangentStream(false));
    EXPECT_EQ(0, Brightness(At(44.2f, 4.5f))) << Show(At(44.2f, 4.5f));
    EXPECT_EQ(std::string::npos, NewLog().find("Error")) << NewLog();
}

TEST_F(CullingDrawTest, LookingAwayAndOccludersCutTheDraws)
{
    m_pScene->AddExcludedStaticObject("NoSuchObject");
    EXPECT_NE(std::string::npos,
              NewLog().find("Error at function COctreeManager::AddExcludedStaticObject no object with name NoSuchObject"));
    m_pScene->AddExcludedStaticObject("Marker0");
    m_pScene->BuildOctree();
    COctreeManager* tree = m_pScene->GetOctreeManager();
    EXPECT_FALSE(tree->GetEntries().empty());
    for (const std::unique_ptr<OctreeEntry>& e : tree->GetEntries())
        EXPECT_NE("Marker0", e->object->GetName()) << "excluded";
    // Skinned strip and its bones stay out of the tree.
    for (const std::unique_ptr<OctreeEntry>& e : tree->GetEntries())
    {
        EXPECT_NE("SkinStrip", e->object->GetName());
        EXPECT_NE("BoneBase", e->object->GetName());
        EXPECT_NE("BoneTip", e->object->GetName());
    }

    const uint32_t facing = Draw("culling_facing.bmp");
    GeomObject* marker = m_pScene->FindGeomObject("Marker5");
    ASSERT_NE(nullptr, marker);
    EXPECT_TRUE(marker->IsCulled()); // far along +x, outside the view
    EXPECT_FALSE(m_pScene->FindGeomObject("BumpPanel")->IsCulled());

    // Occluded: the box under the occluder is not drawn.
    EXPECT_FALSE(IsCyan(At(38, -3))) << Show(At(38, -3));
    COcclusionManager* occlusion = m_pScene->GetOcclusionManager();
    EXPECT_EQ(1u, occlusion->GetActiveFrustumCount());
    m_pScene->DisableOcclusion();
    EXPECT_FALSE(occlusion->IsEnabled());
    const uint32_t unoccluded = Draw("culling_unoccluded.bmp");
    EXPECT_TRUE(IsCyan(At(38, -3))) << Show(At(38, -3));
    EXPECT_EQ(facing + 1, unoccluded);
    m_pScene->EnableOcclusion();
    EXPECT_EQ(facing, Draw());
    EXPECT_FALSE(IsCyan(At(38, -3))) << Show(At(38, -3));

    // Turned to look up, away from the plane: the tree culls the statics.
    Camera* camera = m_pScene->GetActiveCamera();
    D3DXMATRIX turn, move, local;
    D3DXMatrixRotationX(&turn, 3.14159265f);
    D3DXMatrixTranslation(&move, kCentreX, 0, 10);
    D3DXMatrixMultiply(&local, &turn, &move);
    PlaceLocal(camera, local);
    const uint32_t away = Draw("culling_away.bmp");
    EXPECT_LT(away + 3, facing) << "facing " << facing << ", away " << away;
    EXPECT_TRUE(m_pScene->FindGeomObject("BumpPanel")->IsCulled());
}

TEST_F(CullingDrawTest, SkinnedStripBendsWithItsBone)
{
    GeomObject* strip = m_pScene->FindGeomObject("SkinStrip");
    Object* tip = m_pScene->FindObject("BoneTip");
    ASSERT_TRUE(strip && tip);
    SkeletalAnimationModifier skinning(m_pScene.get());
    strip->AddModifier(&skinning);
    Draw();
    Draw("culling_skin_rest.bmp");
    EXPECT_FALSE(m_pScene->FindGeomObject("BoneTip")->IsVisible()); // bones are hidden
    EXPECT_TRUE(IsGreen(At(44.5f, 1.5f))) << Show(At(44.5f, 1.5f));
    EXPECT_FALSE(IsGreen(At(43.5f, 3.2f))) << Show(At(43.5f, 3.2f));

    // A quarter turn of the tip bone about its joint at (43, 1.5).
    D3DXMATRIX turn, move, local;
    D3DXMatrixRotationZ(&turn, 1.5707964f);
    D3DXMatrixTranslation(&move, 2, 0, 0);
    D3DXMatrixMultiply(&local, &turn, &move);
    tip->SetLocalMatrix(local);
    Draw();
    Draw("culling_skin_bent.bmp");
    EXPECT_FALSE(IsGreen(At(44.5f, 1.5f))) << Show(At(44.5f, 1.5f));
    EXPECT_TRUE(IsGreen(At(43.0f, 3.2f))) << Show(At(43.0f, 3.2f));
    EXPECT_TRUE(IsGreen(At(42.0f, 1.5f))) << "the base half stays";
    ASSERT_EQ(1u, skinning.GetMeshLists().size());
    EXPECT_EQ(strip->GetMesh(0)->GetVertexCount(), skinning.GetMeshLists()[0].size());
    EXPECT_EQ(std::string::npos, NewLog().find("Error")) << NewLog();
}

TEST_F(CullingDrawTest, FanTurnsAboutItsOwnAxis)
{
    GeomObject* fan = m_pScene->FindGeomObject("winddrive_fan");
    ASSERT_NE(nullptr, fan);
    Draw("culling_fan_rest.bmp");
    EXPECT_TRUE(IsMagenta(At(43.7f, -3.5f))) << Show(At(43.7f, -3.5f));
    EXPECT_FALSE(IsMagenta(At(42.5f, -4.7f))) << Show(At(42.5f, -4.7f));
    CRotationModifier turning;
    turning.m_Mode = 0;
    turning.m_Speed = 1.5707964f / 0.01f; // a quarter turn a frame
    fan->AddModifier(&turning);
    Draw("culling_fan_turned.bmp");
    EXPECT_FALSE(IsMagenta(At(43.7f, -3.5f))) << Show(At(43.7f, -3.5f));
    EXPECT_TRUE(IsMagenta(At(42.5f, -4.7f))) << Show(At(42.5f, -4.7f));
}

TEST_F(CullingDrawTest, FreeCameraTakesOverWhereTheSceneCameraStood)
{
    std::remove(CControlledCamera::kStatesFile);
    Camera* archived = m_pScene->GetActiveCamera();
    Draw();
    ASSERT_TRUE(IsMagenta(At(43.7f, -3.5f))) << Show(At(43.7f, -3.5f));
    m_pScene->UseControlledCamera();
    CControlledCamera* free = CControlledCamera::GetInstance(nullptr);
    free->SetSaveStates(false);
    EXPECT_EQ(static_cast<Camera*>(free), m_pScene->GetActiveCamera());
    EXPECT_NE(archived, m_pScene->GetActiveCamera());
    Draw("culling_free_camera.bmp");
    EXPECT_EQ(static_cast<Camera*>(free), g_CurrentCamera);
    // The same view: the fan where the archive's camera saw it.
    EXPECT_TRUE(IsMagenta(At(43.7f, -3.5f))) << Show(At(43.7f, -3.5f));
    EXPECT_FALSE(IsMagenta(At(42.5f, -4.7f))) << Show(At(42.5f, -4.7f));
    m_pScene->SetActiveCamera(archived);
    CControlledCamera::DestroyInstance();
    EXPECT_EQ(nullptr, g_CurrentCamera) << "nothing may draw with the camera that is gone";
    std::remove(CControlledCamera::kStatesFile);
}

// The fan's drawn offset along y at local x (-1.5 to 0) from the offsets of
// its end vertices (x -1.5) and its middle ones (x 0), which share them with
// their partners across the bar.
float FanOffsetAt(float x, const std::vector<RestVertex>& rest, const std::vector<D3DXVECTOR3>& moved)
{
    float end = 0, middle = 0;
    for (size_t i = 0; i < rest.size(); ++i)
    {
        if (rest[i].position.x < -1.4f)
            end = moved[i].y - rest[i].position.y;
        else if (std::fabs(rest[i].position.x) < 0.1f)
            middle = moved[i].y - rest[i].position.y;
    }
    const float t = x / -1.5f;
    return t * end + (1 - t) * middle;
}

TEST_F(CullingDrawTest, JitterSwingsTheFansEndsFurthest)
{
    GeomObject* fan = m_pScene->FindGeomObject("winddrive_fan"); // a bar from x 41 to 44 at y -3.5
    ASSERT_NE(nullptr, fan);
    VertexJitterModifier jitter;
    jitter.m_Random = [] { return 1.0f; };
    jitter.m_AxisEnabled[0] = jitter.m_AxisEnabled[2] = false;
    jitter.m_MinAmplitude[1] = jitter.m_MaxAmplitude[1] = 1.5f;
    jitter.m_MinSpeed[1] = jitter.m_MaxSpeed[1] = 10; // arrives every frame
    fan->AddModifier(&jitter);
    Draw();                           // at rest, heading down
    Draw("culling_jitter_down.bmp");  // down at its target
    ASSERT_EQ(1u, jitter.GetRest().size());
    for (size_t v = 0; v < jitter.GetRest()[0].size(); ++v)
        if (jitter.GetRest()[0][v].weight > 0.99f)
        {
            EXPECT_FLOAT_EQ(-1.5f, jitter.GetAxis(0, v, 1).offset) << v;
            EXPECT_FLOAT_EQ(1.5f, jitter.GetAxis(0, v, 1).target) << v;
        }
    // Local x -1.2: 0.8 of the end's swing of 1.5 and 0.2 of the middle's.
    const float swing = 0.8f * 1.5f + 0.2f * 1.5f * (0.25f / std::sqrt(1.5f * 1.5f + 0.25f * 0.25f));
    EXPECT_TRUE(IsMagenta(At(41.3f, -3.5f - swing))) << Show(At(41.3f, -3.5f - swing));
    EXPECT_FALSE(IsMagenta(At(41.3f, -3.5f))) << Show(At(41.3f, -3.5f));
    EXPECT_TRUE(IsMagenta(At(42.5f, -3.75f))) << "the middle hardly moves";
    Draw("culling_jitter_up.bmp");
    EXPECT_TRUE(IsMagenta(At(41.3f, -3.5f + swing))) << Show(At(41.3f, -3.5f + swing));
    EXPECT_FALSE(IsMagenta(At(41.3f, -3.5f - swing))) << Show(At(41.3f, -3.5f - swing));
}

TEST_F(CullingDrawTest, WaveMovesTheFanWhereItsNoiseSays)
{
    GeomObject* fan = m_pScene->FindGeomObject("winddrive_fan");
    ASSERT_NE(nullptr, fan);
    VertexWaveModifier wave;
    wave.m_Frequency = 0.37f;
    fan->AddModifier(&wave);
    Draw(); // at rest: no amplitude yet
    ASSERT_EQ(1u, wave.GetRest().size());
    const std::vector<RestVertex>& rest = wave.GetRest()[0];
    ASSERT_EQ(6u, rest.size());
    // A time offset at which the next frame swings the bar's end visibly.
    wave.m_Amplitude = D3DXVECTOR3(0, 4, 0);
    const float next = GetGlobalTimer()->GetTime() + 0.01f;
    std::vector<D3DXVECTOR3> moved;
    float offset = 0;
    for (int i = 0; i < 200 && std::fabs(offset) < 0.8f; ++i)
    {
        wave.m_TimeOffset = 0.13f * float(i);
        wave.Wave(rest, next, 1, &moved);
        offset = FanOffsetAt(-1.2f, rest, moved);
    }
    ASSERT_GT(std::fabs(offset), 0.8f) << "no time with a swing big enough to see";
    Draw("culling_wave.bmp");
    ASSERT_NEAR(next, GetGlobalTimer()->GetTime(), 1e-4f);
    EXPECT_TRUE(IsMagenta(At(41.3f, -3.5f + offset))) << Show(At(41.3f, -3.5f + offset));
    EXPECT_FALSE(IsMagenta(At(41.3f, -3.5f))) << Show(At(41.3f, -3.5f));

    // Faded out beyond the fade end (the camera is 10 away): left as it was.
    wave.m_bDistanceFade = true;
    wave.m_FadeStart = 2;
    wave.m_FadeEnd = 5;
    Draw();
    EXPECT_TRUE(IsMagenta(At(41.3f, -3.5f + offset))) << Show(At(41.3f, -3.5f + offset));
}

TEST_F(CullingDrawTest, DistanceSwitchFollowsTheCamera)
{
    Draw();
    GeomObject* box = m_pScene->FindGeomObject("HiddenBox"); // node at the origin, camera at (40, 0, 10)
    CLODModifier lod;
    lod.Set(m_pScene.get(), 20, 10);
    lod.Apply(box);
    EXPECT_FALSE(box->IsVisible());
    lod.Set(m_pScene.get(), 40, 0);
    lod.Apply(box);
    EXPECT_TRUE(box->IsVisible());
}

TEST_F(CullingDrawTest, CtrlClickNamesTheObjectAndItsMeshes)
{
    Draw();
    ObjectInformationManager& overlay = ObjectInformationManager::Instance();
    overlay.SetCamera(m_pScene->GetActiveCamera());
    // The client pixel of world (37, 3, 0), on the bump-mapped panel.
    const float half = 10.0f * std::tan(0.5235988f);
    const int px = int(std::lround(kSize / 2 + (37 - kCentreX) / half * kSize / 2));
    const int py = int(std::lround(kSize / 2 - 3 / half * kSize / 2));
    overlay.Pick(0, px, py);
    GeomObject* panel = m_pScene->FindGeomObject("BumpPanel");
    ASSERT_EQ(static_cast<CObjectInformation*>(panel), overlay.GetSelected());
    EXPECT_EQ(0x3Fu, panel->GetInformationFlags() & 0x3F);
    const Mesh* mesh = panel->GetMesh(0);
    const std::vector<std::string> lines = overlay.BuildLines();
    ASSERT_EQ(5u, lines.size());
    EXPECT_EQ("Object: BumpPanel", lines[0]);
    EXPECT_EQ(0u, lines[1].find("Position: "));
    EXPECT_EQ(0u, lines[2].find("Distance from camera: "));
    EXPECT_EQ("Parent: SceneRoot", lines[3]); // top-level objects hang below the scene's root
    EXPECT_EQ("Mesh 0: [faces: " + std::to_string(mesh->GetIndexCount() / 3) +
                  "   vertices: " + std::to_string(mesh->GetVertexCount()) + "   material: Bumpy   effect: BasicBump]",
              lines[4]);
    overlay.Render();

    // A click where nothing is takes the selection and its views away.
    overlay.Pick(0, 2, 2);
    EXPECT_EQ(nullptr, overlay.GetSelected());
    EXPECT_EQ(0u, panel->GetInformationFlags() & 0x3F);
    overlay.SetCamera(nullptr);
}

TEST_F(CullingDrawTest, SmoothNormalMeshWritesItsTangentCache)
{
    const char* const files[] = {"BumpPanel0.mends", "BumpPanel0.tbns"};
    for (const char* f : files)
        std::remove(f);
    g_TangentCacheEnabled = true;
    std::unique_ptr<Scene> smooth(new Scene(m_Device.Get()));
    smooth->AddSmoothNormalPattern("Bump.*");
    ASSERT_TRUE(smooth->Load(101, "", nullptr));
    g_TangentCacheEnabled = false;
    const Mesh* mesh = smooth->FindGeomObject("BumpPanel")->GetMesh(0);
    EXPECT_TRUE(mesh->IsSmoothNormals());
    EXPECT_TRUE(mesh->IsSmoothedInBuffer());
    ASSERT_NE(nullptr, mesh->GetTangentStream(true));
    EXPECT_FALSE(m_pScene->FindGeomObject("BumpPanel")->GetMesh(0)->IsSmoothNormals());

    const size_t n = mesh->GetMendMapping().size(), m = mesh->GetIndexCount();
    EXPECT_EQ(mesh->GetVertexCount(), n);
    const long expected[] = {long(8 + 4 * n + 4 * m), long(24 * n)};
    for (int i = 0; i < 2; ++i)
    {
        FILE* f = std::fopen(files[i], "rb");
        ASSERT_NE(nullptr, f) << files[i];
        std::fseek(f, 0, SEEK_END);
        EXPECT_EQ(expected[i], std::ftell(f)) << files[i];
        std::fclose(f);
        std::remove(files[i]);
    }
    smooth.reset();
}

TEST_F(CullingDrawTest, TangentCacheIsReadBackByTheNextLoad)
{
    const char* const files[] = {"BumpPanel0.mend", "BumpPanel0.tbn"};
    for (const char* f : files)
        std::remove(f);
    // The scene loaded again in place of the fixture's, and its relief lit
    // from the west: the brightness of a west and an east facing ridge.
    auto reload = [this]() {
        m_pScene.reset();
        m_pScene.reset(new Scene(m_Device.Get()));
        EXPECT_TRUE(m_pScene->Load(101, "", nullptr));
        return m_pScene->FindGeomObject("BumpPanel")->GetMesh(0);
    };
    auto relief = [this](const char* picture) {
        D3DXMATRIX at;
        D3DXMatrixTranslation(&at, 30, 3, 2);
        PlaceLocal(m_pScene->FindObject("Omni01"), at);
        Draw(picture);
        return std::make_pair(Brightness(At(35.5f, 3)), Brightness(At(36.5f, 3)));
    };

    g_TangentCacheEnabled = true;
    const Mesh* mended = reload();
    const std::vector<uint32_t> mapping = mended->GetMendMapping();
    const std::vector<float> frames = mended->GetTangentData(false);
    const std::pair<int, int> written = relief("culling_cache_written.bmp");
    for (const char* f : files)
    {
        FILE* file = std::fopen(f, "rb");
        EXPECT_NE(nullptr, file) << f;
        if (file)
            std::fclose(file);
    }

    // Read back: the same mend, the same frames, the same picture.
    const Mesh* cached = reload();
    EXPECT_EQ(mapping, cached->GetMendMapping());
    EXPECT_EQ(frames, cached->GetTangentData(false));
    EXPECT_EQ(mapping.size(), cached->GetVertexCount());
    ASSERT_NE(nullptr, cached->GetTangentStream(false));
    const std::pair<int, int> read = relief("culling_cache_read.bmp");
    EXPECT_NEAR(written.first, read.first, 3);
    EXPECT_NEAR(written.second, read.second, 3);

    // The frames come from the file: turned round there, they are drawn
    // turned round.
    std::vector<float> reversed(frames.size());
    for (size_t i = 0; i < frames.size(); ++i)
        reversed[i] = -frames[i];
    FILE* tbn = std::fopen(files[1], "wb");
    ASSERT_NE(nullptr, tbn);
    std::fwrite(reversed.data(), 4, reversed.size(), tbn);
    std::fclose(tbn);
    const Mesh* turned = reload();
    EXPECT_EQ(reversed, turned->GetTangentData(false));
    EXPECT_NE(nullptr, turned->GetTangentStream(false));

    // A mend file that does not fit the mesh is not used: mended afresh.
    FILE* mend = std::fopen(files[0], "wb");
    ASSERT_NE(nullptr, mend);
    const uint32_t bad[] = {1, 9999, 3, 0, 0, 0};
    std::fwrite(bad, 4, 6, mend);
    std::fclose(mend);
    const Mesh* fresh = reload();
    g_TangentCacheEnabled = false;
    EXPECT_EQ(mapping, fresh->GetMendMapping());
    EXPECT_NE(nullptr, fresh->GetTangentStream(false));
    for (const char* f : files)
        std::remove(f);
}

TEST(ControlledCameraFile, StatesSurviveTheProcessInstance)
{
    std::remove(CControlledCamera::kStatesFile);
    Camera reference("Cam");
    D3DXMATRIX world;
    D3DXMatrixTranslation(&world, 10, 20, 30);
    reference.SetLocalMatrix(world);
    reference.SetWorldMatrix(world);
    CControlledCamera* first = CControlledCamera::GetInstance(&reference);
    ASSERT_NE(nullptr, first);
    EXPECT_EQ(first, CControlledCamera::GetInstance(nullptr));
    const D3DXVECTOR3 start = first->GetFlightPosition();
    EXPECT_NEAR(30.0f, start.y, 1e-3f);
    ControlledCameraInput store;
    store.ctrl = true;
    store.digits[1] = true;
    first->Step(store);
    CControlledCamera::DestroyInstance(); // writes the file

    FILE* f = std::fopen(CControlledCamera::kStatesFile, "rb");
    ASSERT_NE(nullptr, f);
    std::fseek(f, 0, SEEK_END);
    EXPECT_EQ(640, std::ftell(f));
    std::fclose(f);

    // Started again without a reference, state 1 places it.
    CControlledCamera* second = CControlledCamera::GetInstance(nullptr);
    EXPECT_TRUE(second->GetState(1).valid);
    EXPECT_NEAR(start.x, second->GetFlightPosition().x, 1e-3f);
    EXPECT_NEAR(start.y, second->GetFlightPosition().y, 1e-3f);
    EXPECT_NEAR(start.z, second->GetFlightPosition().z, 1e-3f);
    // A timer step with no key held leaves it where it is; the mouse comes
    // through DirectInput.
    EXPECT_NE(nullptr, GetDirectInput());
    second->OnTimer();
    EXPECT_NEAR(start.x, second->GetFlightPosition().x, 1e-3f);
    EXPECT_NEAR(start.z, second->GetFlightPosition().z, 1e-3f);
    second->SetSaveStates(false);
    CControlledCamera::DestroyInstance();
    std::remove(CControlledCamera::kStatesFile);
}
} // namespace
