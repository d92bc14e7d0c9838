// The generated scenes drawn under Wine: the landscape with the train set on
// its rails, seen through landscape, tracking and train cameras. Each view
// is kept as a picture beside the test program for a look by eye.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <memory>
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

// One frame read back under a single lock, row after row as 0x00RRGGBB.
struct Picture
{
    std::vector<uint32_t> pixels;
    uint32_t At(int x, int y) const { return pixels[size_t(y) * kWidth + size_t(x)]; }
    size_t Distinct() const { return std::set<uint32_t>(pixels.begin(), pixels.end()).size(); }
    double Share(bool (*test)(uint32_t)) const
    {
        size_t n = 0;
        for (uint32_t p : pixels)
            n += test(p) ? 1 : 0;
        return double(n) / pixels.size();
    }
    void Save(const std::string& file) const
    {
        const std::vector<uint8_t> bmp = MakeBitmap24(kWidth, kHeight, [&](uint32_t x, uint32_t y) {
            return At(int(x), int(y));
        });
        if (FILE* f = std::fopen(file.c_str(), "wb"))
        {
            std::fwrite(bmp.data(), 1, bmp.size(), f);
            std::fclose(f);
        }
    }
};

// The scenes drawn in order through the camera.
Picture Draw(const TestDevice& device, std::initializer_list<Scene*> scenes, Camera* camera)
{
    IDirect3DDevice8* d = device.Get();
    camera->SetAspect(float(kWidth) / kHeight);
    d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFFFF00FF, 1.0f, 0);
    d->BeginScene();
    RenderStateManager::Instance().PushStates();
    for (Scene* scene : scenes)
    {
        scene->SetActiveCamera(camera);
        scene->Render();
    }
    RenderStateManager::Instance().PopStates();
    d->EndScene();
    Picture pic;
    pic.pixels = device.ReadPicture();
    EXPECT_EQ(pic.pixels.size(), size_t(kWidth) * kHeight);
    pic.pixels.resize(size_t(kWidth) * kHeight, 0xFFFFFFFF);
    return pic;
}

// Where a world point lands in the picture through the camera last applied;
// false when it lies behind the camera.
bool Project(const Camera& camera, const D3DXVECTOR3& world, float* x, float* y)
{
    D3DXMATRIX viewProjection;
    D3DXMatrixMultiply(&viewProjection, &camera.GetView(), &camera.GetProjection());
    D3DXVECTOR4 clip;
    D3DXVec3Transform(&clip, &world, &viewProjection);
    if (clip.w <= 1e-3f)
        return false;
    *x = (clip.x / clip.w * 0.5f + 0.5f) * kWidth;
    *y = (0.5f - clip.y / clip.w * 0.5f) * kHeight;
    return true;
}

struct Bounds
{
    float left = 1e30f, top = 1e30f, right = -1e30f, bottom = -1e30f;
    bool Contains(int x, int y, float margin) const
    {
        return x >= left - margin && x <= right + margin && y >= top - margin && y <= bottom + margin;
    }
};

// The picture rectangle that holds every drawn object of the scene (the
// projections of their boxes' corners); false when a box reaches behind
// the camera.
bool ProjectedBounds(Scene& scene, const Camera& camera, Bounds* bounds)
{
    struct Walk
    {
        const Camera* camera;
        Bounds* bounds;
        bool inFront;
    } walk{&camera, bounds, true};
    scene.ForEachObjectMatching(".*", [](Object* o, void* arg) {
        Walk& w = *static_cast<Walk*>(arg);
        if (o->GetTypeId() != OBJECT_TYPE_GEOM)
            return;
        const GeomObject* g = static_cast<const GeomObject*>(o);
        const D3DXVECTOR3 lo = g->GetBoundingBoxMin(), hi = g->GetBoundingBoxMax();
        if (lo.x > hi.x)
            return; // nothing to draw
        for (int corner = 0; corner < 8; ++corner)
        {
            const D3DXVECTOR3 p(corner & 1 ? hi.x : lo.x, corner & 2 ? hi.y : lo.y, corner & 4 ? hi.z : lo.z);
            float x, y;
            if (!Project(*w.camera, p, &x, &y))
            {
                w.inFront = false;
                continue;
            }
            w.bounds->left = std::min(w.bounds->left, x);
            w.bounds->right = std::max(w.bounds->right, x);
            w.bounds->top = std::min(w.bounds->top, y);
            w.bounds->bottom = std::max(w.bounds->bottom, y);
        }
    }, &walk);
    return walk.inFront;
}

bool IsCleared(uint32_t p) { return p == 0xFF00FF; }
bool Differs(uint32_t a, uint32_t b)
{
    for (int shift = 0; shift < 24; shift += 8)
        if (std::abs(int((a >> shift) & 255) - int((b >> shift) & 255)) > 16)
            return true;
    return false;
}
bool IsSkyBlue(uint32_t p)
{
    const int r = (p >> 16) & 255, g = (p >> 8) & 255, b = p & 255;
    return b > 120 && b > r + 20 && b >= g;
}

// The share of sky-blue pixels well above the horizon (at least a tenth of
// the picture's height), and how many pixels were looked at; the world's up
// is +Z.
double SkyShareAboveHorizon(const Picture& pic, const Camera& camera, size_t* counted)
{
    const D3DXMATRIX& w = camera.GetWorldMatrix();
    const D3DXVECTOR3 eye(w._41, w._42, w._43);
    D3DXMATRIX inverseView;
    D3DXMatrixInverse(&inverseView, nullptr, &camera.GetView());
    // The view's forward (+z) and right (+x) axes, laid flat.
    D3DXVECTOR3 forward(inverseView._31, inverseView._32, 0), right(inverseView._11, inverseView._12, 0);
    D3DXVec3Normalize(&forward, &forward);
    D3DXVec3Normalize(&right, &right);
    float x0, y0, x1, y1;
    const float distance = 1e5f;
    if (!Project(camera, eye + forward * distance, &x0, &y0) ||
        !Project(camera, eye + (forward + right) * distance, &x1, &y1) || std::fabs(x1 - x0) < 1.0f)
    {
        *counted = 0;
        return 0;
    }
    const float slope = (y1 - y0) / (x1 - x0);
    size_t sky = 0, n = 0;
    for (int y = 0; y < int(kHeight); y += 2)
        for (int x = 0; x < int(kWidth); x += 2)
            if (y < y0 + slope * (x - x0) - kHeight / 10.0f)
            {
                ++n;
                sky += IsSkyBlue(pic.At(x, y)) ? 1 : 0;
            }
    *counted = n;
    return n ? double(sky) / n : 0.0;
}
} // namespace

TEST(ContentDraw, CamerasShowTheLitLandscapeSkyAndTrain)
{
    TestDevice device(kWidth, kHeight);
    ASSERT_NE(nullptr, device.Get());
    RenderStateManager::Instance().SetDevice(device.Get());
    SetCameraTransformSink(ApplyCameraTransformsToDevice);
    const size_t logStart = g_Log.GetText().size();

    // How long loading takes is the benchmark's to measure; it is printed.
    // Owned here so that they, and then the mesh pools, let go of their
    // device objects before the device goes.
    auto landOwner = std::make_unique<Scene>(device.Get()), trainOwner = std::make_unique<Scene>(device.Get()),
         clockOwner = std::make_unique<Scene>(device.Get());
    Scene &land = *landOwner, &train = *trainOwner, &clock = *clockOwner;
    const DWORD loadStart = GetTickCount();
    ASSERT_TRUE(land.Load(101, "", nullptr));
    ASSERT_TRUE(train.Load(102, "", nullptr));
    ASSERT_TRUE(clock.Load(110, "", nullptr));
    std::printf("The three scenes loaded in %lu ms\n", static_cast<unsigned long>(GetTickCount() - loadStart));
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
        // The landscape alone, then with the train: the pixels that differ
        // clearly are the train's. (The landscape itself may shift by a few
        // levels with what was drawn before it.)
        const Picture without = Draw(device, {&land}, camera);
        const Picture pic = Draw(device, {&land, &train}, camera);
        pic.Save(file);
        // Everything is covered (the sky box at least), with varied texture.
        EXPECT_LT(pic.Share(IsCleared), 0.001) << file;
        EXPECT_GT(pic.Distinct(), 2000u) << file;

        size_t counted = 0;
        const double sky = SkyShareAboveHorizon(pic, *camera, &counted);
        std::printf("%s: sky %.2f of %zu pixels above the horizon\n", v.camera, sky, counted);
        EXPECT_GT(counted, 1000u) << file << ": the horizon is in the picture";
        EXPECT_GT(sky, 0.5) << file << ": sky above the horizon";

        Bounds bounds;
        const bool inFront = ProjectedBounds(train, *camera, &bounds);
        size_t changed = 0, outside = 0;
        for (int y = 0; y < int(kHeight); ++y)
            for (int x = 0; x < int(kWidth); ++x)
                if (Differs(pic.At(x, y), without.At(x, y)))
                {
                    ++changed;
                    outside += inFront && !bounds.Contains(x, y, 2.0f) ? 1 : 0;
                }
        std::printf("%s: the train covers %zu pixels, %zu outside its bounds [%.0f %.0f %.0f %.0f]%s\n", v.camera,
                    changed, outside, bounds.left, bounds.top, bounds.right, bounds.bottom,
                    inFront ? "" : " (around the camera)");
        EXPECT_GT(changed, size_t(kWidth * kHeight / 200)) << file << ": the train shows";
        EXPECT_EQ(outside, 0u) << file << ": the train is drawn where it stands";
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
        const Picture pic = Draw(device, {&land, &train}, &camera);
        pic.Save(std::string(o.name) + ".bmp");
        EXPECT_GT(pic.Distinct(), 2000u) << o.name;
    }
    // The clock on its own, its hands set to 3:30:45: each hand's dark
    // pixels lie along its own direction, and the dial is light where no
    // hand points.
    {
        Camera* camera = clock.FindCamera("Camera01");
        ASSERT_NE(nullptr, camera);
        camera->SetAspect(float(kWidth) / kHeight);
        clock.SetActiveCamera(camera);
        // A hand points to twelve (+Z) at rest; the dial faces +Y, so the
        // hands turn about Y, clockwise as seen from the camera.
        const struct
        {
            const char* name;
            float turns, length;
        } hands[] = {{"Arrow_hour", 3.5f / 12, 55}, {"Arrow_min", 30.75f / 60, 82}, {"Arrow_sec", 45.0f / 60, 90}};
        for (const auto& h : hands)
            for (const char* suffix : {"01", "02"})
            {
                Object* hand = clock.FindObject(std::string(h.name) + suffix);
                ASSERT_NE(nullptr, hand) << h.name << suffix;
                D3DXMATRIX turn, placed;
                D3DXMatrixRotationY(&turn, -2 * D3DX_PI * h.turns);
                D3DXMatrixMultiply(&placed, &turn, &hand->GetLocalMatrix());
                hand->SetLocalMatrix(placed);
            }
        clock.GetRoot()->UpdateHierarchy();
        DrawFrame(device.Get(), clock);
        Picture pic;
        pic.pixels = device.ReadPicture();
        ASSERT_EQ(pic.pixels.size(), size_t(kWidth) * kHeight);
        pic.Save("Clock.bmp");
        auto blue = [&](float turns, float radius) {
            const D3DXVECTOR3 p(-radius * std::sin(2 * D3DX_PI * turns), 6, radius * std::cos(2 * D3DX_PI * turns));
            float x, y;
            EXPECT_TRUE(Project(*camera, p, &x, &y));
            // The darkest blue within a pixel of the point.
            uint32_t darkest = 255;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    darkest = std::min(darkest, pic.At(int(x) + dx, int(y) + dy) & 0xFF);
            return darkest;
        };
        for (const auto& h : hands)
            for (float along : {0.4f, 0.7f})
                EXPECT_LT(blue(h.turns, h.length * along), 0x60u) << h.name << " at " << along;
        for (float turns : {0.0f, 1.5f / 12, 5.0f / 12, 7.5f / 12, 10.5f / 12})
            EXPECT_GT(blue(turns, 60), 0xA0u) << "no hand at " << turns * 12 << " o'clock";
    }
    const std::string drawLog = g_Log.GetText().substr(logStart);
    EXPECT_EQ(std::string::npos, drawLog.find("Error")) << drawLog.substr(0, 2000);
    landOwner.reset();
    trainOwner.reset();
    clockOwner.reset();
    MeshPools::ReleaseAll();
    RenderStateManager::Instance().SetDevice(nullptr);
}
