// The generated scenes drawn under Wine: the landscape with the train set on
// its rails, seen through landscape, tracking and train cameras. Each view
// is kept as a picture beside the test program for a look by eye.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "Bitmap24.h"
#include "Camera.h"
#include "GeomObject.h"
#include "Log.h"
#include "RenderStateManager.h"
#include "Scene.h"
#include "SceneTestSupport.h"
#include "TestDevice.h"

namespace
{
const UINT kWidth = 512, kHeight = 384;

struct Track
{
    std::vector<D3DXVECTOR3> points;
};

Track ReadTrack(const Scene& scene)
{
    Track t;
    char name[32];
    for (int i = 1;; ++i)
    {
        std::snprintf(name, sizeof(name), "Railbase%03i", i);
        const Object* o = scene.FindObject(name);
        if (!o)
            break;
        const D3DXMATRIX& m = o->GetWorldMatrix();
        t.points.push_back(D3DXVECTOR3(m._41, m._42, m._43));
    }
    return t;
}

size_t NearestPoint(const Track& t, const D3DXMATRIX& m)
{
    size_t best = 0;
    float bestD = 1e30f;
    for (size_t i = 0; i < t.points.size(); ++i)
    {
        const float dx = t.points[i].x - m._41, dy = t.points[i].y - m._42;
        if (dx * dx + dy * dy < bestD)
        {
            bestD = dx * dx + dy * dy;
            best = i;
        }
    }
    return best;
}

// Stands the train with its front at rail point i, heading along the loop:
// every top-level object of the train keeps its pose relative to the model.
void PlaceTrain(Scene& train, const Track& t, size_t i)
{
    static std::vector<std::pair<Object*, D3DXMATRIX>> rest;
    if (rest.empty())
        for (Object* o : train.GetRoot()->GetChildren())
            rest.emplace_back(o, o->GetLocalMatrix());
    const size_t n = t.points.size();
    const D3DXVECTOR3 p = t.points[i % n];
    D3DXVECTOR3 dir = t.points[(i + 1) % n] - t.points[(i + n - 1) % n];
    D3DXVec3Normalize(&dir, &dir);
    // The model runs rearwards along +X, stands on z = 0, up is +Z.
    D3DXMATRIX m(-dir.x, -dir.y, 0, 0, dir.y, -dir.x, 0, 0, 0, 0, 1, 0, p.x, p.y, p.z, 1);
    for (const auto& r : rest)
    {
        D3DXMATRIX placed;
        D3DXMatrixMultiply(&placed, &r.second, &m);
        r.first->SetLocalMatrix(placed);
    }
    train.GetRoot()->UpdateHierarchy();
}

struct Picture
{
    std::vector<uint32_t> pixels;
    size_t Distinct() const { return std::set<uint32_t>(pixels.begin(), pixels.end()).size(); }
    double Share(bool (*test)(uint32_t)) const
    {
        size_t n = 0;
        for (uint32_t p : pixels)
            n += test(p) ? 1 : 0;
        return double(n) / pixels.size();
    }
};

void SavePicture(const TestDevice& device, const std::string& file)
{
    const std::vector<uint8_t> bmp =
        MakeBitmap24(kWidth, kHeight, [&](uint32_t x, uint32_t y) { return device.ReadPixel(x, y) & 0xFFFFFF; });
    if (FILE* f = std::fopen(file.c_str(), "wb"))
    {
        std::fwrite(bmp.data(), 1, bmp.size(), f);
        std::fclose(f);
    }
}

Picture Draw(const TestDevice& device, Scene& land, Scene& train, Camera* camera, const std::string& file)
{
    IDirect3DDevice8* d = device.Get();
    camera->SetAspect(float(kWidth) / kHeight);
    land.SetActiveCamera(camera);
    train.SetActiveCamera(camera);
    d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFFFF00FF, 1.0f, 0);
    d->BeginScene();
    RenderStateManager::Instance().PushStates();
    land.Render();
    train.Render();
    RenderStateManager::Instance().PopStates();
    d->EndScene();
    Picture pic;
    for (UINT y = 0; y < kHeight; ++y)
        for (UINT x = 0; x < kWidth; ++x)
            pic.pixels.push_back(device.ReadPixel(x, y) & 0xFFFFFF);
    SavePicture(device, file);
    return pic;
}

bool IsCleared(uint32_t p) { return p == 0xFF00FF; }
bool IsSkyBlue(uint32_t p)
{
    const int r = (p >> 16) & 255, g = (p >> 8) & 255, b = p & 255;
    return b > 120 && b > r + 20 && b >= g;
}
} // namespace

TEST(ContentDraw, CamerasShowTheLitLandscapeSkyAndTrain)
{
    TestDevice device(kWidth, kHeight);
    ASSERT_NE(nullptr, device.Get());
    RenderStateManager::Instance().SetDevice(device.Get());
    SetCameraTransformSink(ApplyCameraTransformsToDevice);
    const size_t logStart = g_Log.GetText().size();

    Scene land(device.Get()), train(device.Get()), clock(device.Get());
    const DWORD loadStart = GetTickCount();
    ASSERT_TRUE(land.Load(101, "", nullptr));
    ASSERT_TRUE(train.Load(102, "", nullptr));
    ASSERT_TRUE(clock.Load(110, "", nullptr));
    const DWORD loadMs = GetTickCount() - loadStart;
    std::printf("The three scenes loaded in %lu ms\n", static_cast<unsigned long>(loadMs));
    EXPECT_LT(loadMs, 5000u);
    land.GetRoot()->UpdateHierarchy();
    const std::string log = g_Log.GetText().substr(logStart);
    EXPECT_EQ(std::string::npos, log.find("Error")) << log;
    EXPECT_EQ(std::string::npos, log.find("FAILED")) << log;

    const Track track = ReadTrack(land);
    ASSERT_GT(track.points.size(), 100u);
    struct View
    {
        const char* camera;
        bool fromTrain;
        int trainOffset; // rail points from the camera's nearest one
    };
    const View views[] = {{"Camera_L_D_01_01", false, -1}, {"Camera_L_D_02_06", false, -1},
                          {"Camera_L_D_03_11", false, -1}, {"Camera_L_D_04_15", false, -1},
                          {"Camera_L_T_01_02", false, -2}, {"Camera_L_T_02_11", false, -2},
                          {"Camera_L_T_03_20", false, -2}, {"Camera_T_D_01_01", true, 0},
                          {"Camera_T_S_02_06", true, 0},   {"Camera_T_D_03_11", true, 0}};
    int index = 0;
    for (const View& v : views)
    {
        Camera* camera = v.fromTrain ? train.FindCamera(v.camera) : land.FindCamera(v.camera);
        ASSERT_NE(nullptr, camera) << v.camera;
        const size_t n = track.points.size();
        const size_t at = v.fromTrain ? 40 + 80 * index : NearestPoint(track, camera->GetWorldMatrix());
        PlaceTrain(train, track, (at + n + v.trainOffset) % n);
        camera->UpdateHierarchy();
        const std::string file = std::string(v.camera) + ".bmp";
        const Picture pic = Draw(device, land, train, camera, file);
        // Everything is covered (the sky box at least), with varied texture.
        EXPECT_LT(pic.Share(IsCleared), 0.001) << file;
        EXPECT_GT(pic.Distinct(), 2000u) << file;
        EXPECT_GT(pic.Share(IsSkyBlue), 0.02) << file << ": the sky shows";
        ++index;
    }
    // Overviews from above the settlements, for a look at the buildings.
    const struct
    {
        const char* name;
        const char* object;
        float back, side, height;
    } overviews[] = {{"Overview_station", "City_vokzal01", 6000, 2500, 2500},
                     {"Overview_factory", "Factory_building02", 7000, -3000, 3000},
                     {"Overview_mill", "Mill_tower01", 5000, 3000, 2000},
                     {"Overview_ore", "Ore_building04", 6000, 2000, 2500},
                     {"Overview_tunnel", "Dummy_shadow12000_01", 14000, -3000, 8000},
                     {"Overview_watermill", "Watermill_house01", 5000, 3000, 2000}};
    for (const auto& o : overviews)
    {
        const Object* target = land.FindObject(o.object);
        ASSERT_NE(nullptr, target) << o.object;
        const D3DXMATRIX& t = target->GetWorldMatrix();
        const D3DXVECTOR3 at(t._41, t._42, t._43 + 300);
        const D3DXVECTOR3 eye(at.x - o.back * 0.7f + o.side * 0.7f, at.y - o.back * 0.7f - o.side * 0.7f, at.z + o.height);
        D3DXVECTOR3 f = at - eye, up(0, 0, 1), r, u;
        D3DXVec3Normalize(&f, &f);
        D3DXVec3Cross(&r, &f, &up);
        D3DXVec3Normalize(&r, &r);
        D3DXVec3Cross(&u, &r, &f);
        Camera camera(o.name);
        camera.SetFov(0.8f);
        camera.SetNear(100);
        camera.SetFar(1200000);
        const D3DXMATRIX pose(r.x, r.y, r.z, 0, u.x, u.y, u.z, 0, -f.x, -f.y, -f.z, 0, eye.x, eye.y, eye.z, 1);
        camera.SetLocalMatrix(pose);
        camera.SetWorldMatrix(pose);
        PlaceTrain(train, track, NearestPoint(track, t));
        const Picture pic = Draw(device, land, train, &camera, std::string(o.name) + ".bmp");
        EXPECT_GT(pic.Distinct(), 2000u) << o.name;
    }
    // The clock on its own: the dial with the hands in the middle of the picture.
    {
        Camera* camera = clock.FindCamera("Camera01");
        ASSERT_NE(nullptr, camera);
        camera->SetAspect(float(kWidth) / kHeight);
        clock.SetActiveCamera(camera);
        DrawFrame(device.Get(), clock);
        SavePicture(device, "Clock.bmp");
        // The hands, dark, start at the centre; the dial around them is light.
        const uint32_t centre = device.ReadPixel(kWidth / 2, kHeight / 2) & 0xFFFFFF;
        const uint32_t dial = device.ReadPixel(kWidth / 2 + 60, kHeight / 2 + 60) & 0xFFFFFF;
        EXPECT_LT(centre & 0xFF, 0x60u) << std::hex << centre;
        EXPECT_GT(dial & 0xFF, 0xA0u) << std::hex << dial;
    }
    const std::string drawLog = g_Log.GetText().substr(logStart);
    EXPECT_EQ(std::string::npos, drawLog.find("Error")) << drawLog.substr(0, 2000);
    RenderStateManager::Instance().SetDevice(nullptr);
}
