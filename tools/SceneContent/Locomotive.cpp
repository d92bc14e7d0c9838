// The locomotive archive: engine, tender, lumber car and two plain cars,
// the dummies the train is moved by, the driver and the train's cameras.
// The train is laid out along +X from "Dummy_loco00" (its front), standing
// on the rail tops at z = 0. Each car's dummy is placed on the track with
// its whole rest matrix: the dummy's own offset along the train turns with
// the car and lands behind its track point. Whatever hangs below a car's
// dummy is therefore given from the dummy's track point, less the dummy's
// rest translation, so that the car stands on its rails.
#include <cmath>
#include <cstdio>
#include <cstring>

#include "SceneContent.h"
#include "Textures.h"

using namespace FileStorage;

namespace SceneContent
{
namespace
{

struct Vertex111C
{
    float pos[3], weights[3];
    uint8_t bones[4];
    float normal[3], uv[2];
};
static_assert(sizeof(Vertex111C) == 48, "skinned vertex layout");

class CLocomotive
{
public:
    explicit CLocomotive(ArchiveTool::CArchiveWriter& writer) : m_Scene(writer) {}
    std::vector<std::string> Build();

private:
    std::string Mat(const std::string& texture, float specular = 0.3f, float power = 12, bool bump = false);
    // A mesh part below `parent`, given from the parent's track point (see
    // Carried) with its pivot at `pivot`.
    void Part(const std::string& name, const std::string& parent, CMeshBuilder mesh, const std::string& material,
              const Vec3& pivot = V3(0, 0, 0))
    {
        const Vec3 shift = Carried(parent);
        mesh.Translate(shift);
        m_Scene.Object(name, parent, pivot + shift, mesh, material, false);
    }
    // What a child of `parent` adds to its offset from the parent's track
    // point: minus the parent's rest translation along the train (a car's
    // dummy), or minus its whole rest translation (a rod joint, placed by
    // its point between two other joints).
    Vec3 Carried(const std::string& parent) const
    {
        auto rest = m_Rest.find(parent);
        if (rest == m_Rest.end())
            return V3(0, 0, 0);
        if (parent == "Dummy_loco05_07")
        {
            // The lumber load is placed between where its car's two body
            // dummies landed, each of them its own rest translation behind
            // its track point: that share of theirs is taken off as well.
            const Vec3 front = m_Rest.at("Dummy_loco05_01"), rear = m_Rest.at("Dummy_loco05_04");
            const float f = At(parent).x - At("Dummy_loco05_01").x, g = At("Dummy_loco05_04").x - At(parent).x;
            const Vec3 between = (front * g + rear * f) * (1.0f / (f + g));
            return V3(-rest->second.x - between.x, -rest->second.y - between.y, 0);
        }
        return parent.compare(0, 13, "Dummy_locobar") == 0 ? V3(0, 0, 0) - rest->second
                                                           : V3(-rest->second.x, -rest->second.y, 0);
    }
    void Dummies();
    void DriveRods();
    void Engine();
    void Cars();
    void Driver();
    void Cameras(std::vector<std::string>& tuning);
    void Wheel(const std::string& name, const std::string& parent, const Vec3& at, float radius, const std::string& material);
    // A wheel whose local translation is given as it stands in the file.
    void WheelAt(const std::string& name, const std::string& parent, const Vec3& local, float radius,
                 const std::string& material, bool crankPins);
    void Shadow(const std::string& name, const std::string& parent, float length, float width, float centreX);

    // A dummy of the train at `x` along it (its distance from the origin).
    void TrainDummy(const std::string& name, float x, float y = 0, float z = 0)
    {
        const Vec3 rest = V3(m_OriginX + x, y, z);
        m_Scene.Dummy(name, kSceneRootName, rest);
        m_At[name] = V3(x, y, z);
        m_Rest[name] = rest;
    }
    // A rod joint. The joints between two others (`between`) are placed at
    // their rest matrix times the rod's turn and point, so their rods hang
    // from them less the rest translation; the others land on their point.
    void RodJoint(const std::string& name, const Vec3& rest, bool between)
    {
        m_Scene.Dummy(name, kSceneRootName, rest);
        if (between)
            m_Rest[name] = rest;
    }
    Vec3 At(const std::string& name) const { return m_At.at(name); }

    CSceneBuilder m_Scene;
    std::map<std::string, Vec3> m_At;   // along the train, from the front
    std::map<std::string, Vec3> m_Rest; // the rest translation in the file
    float m_OriginX = 0;                // "Dummy_loco00" in the file
    // The driving wheels' guide "Dummy_loco01_05": its rest matrix and the
    // drivers' local translations below it.
    float m_GuideRest[16] = {};
    Vec3 m_GuideAt;
    float m_GuideTilt = 0;
};

// The drive rods turn a crank frame (the driving wheel's local matrix turned
// by each side's phase about the axle) and carry it into the first guide's
// frame, "Dummy_loco01_05". The crank pins stay on the wheel when:
//  - the driving wheel's own translation (below a helper dummy at the
//    wheel's centre) is (-K, 0, K), and
//  - the wheel's centre in the guide's frame plus the guide's rest
//    translation is (K, 0, 0), K being the pins' distance from the middle
//    of the engine (each side's crank joint rests at (0, 0, -+K)).
// The guide's frame is tilted about the axle's direction by the small angle
// that turns (K, 0, 0) onto the wheel's centre about a pivot far away (the
// guide's rest translation).
const float kCrankSide = 95;   // the crank pins' distance from the middle
const float kCrank = 40;       // the crank's radius
const float kDriverRadius = 75;
const float kDriverAt = 600;   // along the train
const float kGuideAt = 1000;   // "Dummy_loco01_05", the locomotive's rear sample
const float kCrossheadAt = 270; // the crosshead's middle position along the train
// The guide's rest translation along the train, and with it the origin's
// (a thousand before it): chosen so that the lumber car's dummies rest near
// the middle of the file, since its load is placed between where they land.
const float kGuideRestX = -1450;

std::string CLocomotive::Mat(const std::string& texture, float specular, float power, bool bump)
{
    m_Scene.Bitmap(texture, [&] { return PaintTexture(texture); });
    const std::string name = "Loco_mat_" + texture + (bump ? "_bump" : "");
    if (bump)
    {
        // A gently hammered surface for the polished parts.
        m_Scene.Bitmap("Loco_bump", [] {
            CImage img(128, 128, 3);
            for (int y = 0; y < 128; ++y)
                for (int x = 0; x < 128; ++x)
                {
                    const float e = 1.0f / 128;
                    const float h = Fbm(x * e * 8, y * e * 8, 401, 3, 8);
                    const float hx = Fbm((x + 1) * e * 8, y * e * 8, 401, 3, 8) - h;
                    const float hy = Fbm(x * e * 8, (y + 1) * e * 8, 401, 3, 8) - h;
                    const Vec3 n = Normalize(V3(-hx * 6, -hy * 6, 1));
                    img.Set(x, y, Rgb{n.x * 0.5f + 0.5f, n.y * 0.5f + 0.5f, n.z * 0.5f + 0.5f});
                }
            return img;
        });
    }
    MaterialSpec spec;
    spec.diffuse = texture;
    spec.specular = specular;
    spec.power = power;
    m_Scene.Material(name, spec);
    if (bump)
    {
        // Add the bump map by hand (the generic spec has no slot for it).
        MaterialRecord m;
        m.colors.diffuse = {1, 1, 1, 1};
        m.colors.ambient = {0.6f, 0.6f, 0.6f, 1};
        m.colors.specular = {specular, specular, specular, 1};
        m.colors.power = power;
        MapRecord d;
        d.kind = MAP_DIFFUSE;
        d.textures = {{texture, 256, 256}};
        MapRecord b;
        b.kind = MAP_BUMP;
        b.textures = {{"Loco_bump", 128, 128}};
        m.maps = {d, b};
        const std::string bumped = name + "_n";
        m_Scene.Writer().AddMaterial(bumped, m);
        return bumped;
    }
    return name;
}

void CLocomotive::Dummies()
{
    // The guide of the driving wheels first: its place fixes the origin's.
    {
        const Vec3 k = V3(kCrankSide, 0, 0), u = V3(kDriverAt - kGuideAt, 0, kDriverRadius);
        const Vec3 mid = (k + u) * 0.5f, chord = u - k;
        const Vec3 across = Normalize(V3(chord.z, 0, -chord.x));
        const Vec3 pivot = mid + across * ((kGuideRestX - mid.x) / across.x);
        const Vec3 a = k - pivot, b = u - pivot;
        // RotationY(t) takes (x, z) to (x cos t + z sin t, -x sin t + z cos t).
        m_GuideTilt = std::atan2(a.x * b.z - a.z * b.x, a.x * b.x + a.z * b.z) * -1;
        const float c = std::cos(m_GuideTilt), s = std::sin(m_GuideTilt);
        const float rest[16] = {c, 0, -s, 0, 0, 1, 0, 0, s, 0, c, 0, pivot.x, pivot.y, pivot.z, 1};
        std::copy(rest, rest + 16, m_GuideRest);
        m_GuideAt = pivot;
        m_OriginX = pivot.x - kGuideAt;
    }
    TrainDummy("Dummy_loco00", 0);
    // Locomotive: body, front wheel samples, rear body, rear samples, tail.
    const float loco[7] = {450, 150, 750, 900, kGuideAt, 1150, 900};
    for (int i = 0; i < 7; ++i)
        if (i == 4)
        {
            m_Scene.DummyMatrix("Dummy_loco01_05", kSceneRootName, m_GuideRest);
            m_At["Dummy_loco01_05"] = V3(kGuideAt, 0, 0);
            m_Rest["Dummy_loco01_05"] = m_GuideAt;
        }
        else
            TrainDummy(Fmt("Dummy_loco01_%02i", i + 1), loco[i]);
    const float tender[6] = {1550, 1350, 1750, 1400, 1700, 1550};
    for (int i = 0; i < 6; ++i)
        TrainDummy(Fmt("Dummy_loco03_%02i", i + 1), tender[i]);
    const float lumber[9] = {2150, 2000, 2300, 2750, 2600, 2900, 2450, 2150, 2750};
    for (int i = 0; i < 9; ++i)
        TrainDummy(Fmt("Dummy_loco05_%02i", i + 1), lumber[i]);
    for (int car = 0; car < 2; ++car)
    {
        const float base = car ? 4400.0f : 3500.0f;
        const float at[4] = {base, base - 250, base + 250, base};
        for (int i = 0; i < 4; ++i)
            TrainDummy(Fmt("Dummy_loco%02i_%02i", car ? 9 : 7, i + 1), at[i]);
    }
    // Couplings: the middle, then the two ends.
    const float couplings[5] = {1200, 1870, 3030, 2450, 3960};
    for (int c = 0; c < 5; ++c)
    {
        const int n = 2 + 2 * c;
        TrainDummy(Fmt("Dummy_loco%02i_01", n), couplings[c], 0, 60);
        TrainDummy(Fmt("Dummy_loco%02i_02", n), couplings[c] - 30, 0, 60);
        TrainDummy(Fmt("Dummy_loco%02i_03", n), couplings[c] + 30, 0, 60);
    }
    const float cams[5] = {300, 1000, 2000, 3000, 4400};
    for (int i = 0; i < 5; ++i)
        TrainDummy(Fmt("Dummy_loco_camera%02i", i + 1), cams[i], 0, 200);

    // Riding with the engine: sounds, smoke and steam, the light and the
    // shadow camera.
    const std::string body = "Dummy_loco01_01";
    const Vec3 sounds[7] = {V3(-300, 0, 300), V3(-50, 0, 340), V3(-300, 0, 20), V3(0, 0, 20),
                            V3(200, 0, 150),  V3(1100, 0, 20), V3(2000, 0, 20)};
    for (int i = 0; i < 7; ++i)
        m_Scene.Dummy(Fmt("Dummy_sound_loco%02i", i + 1), body, sounds[i] + Carried(body));
    const Vec3 smoke[4] = {V3(-300, 0, 410), V3(-60, 0, 350), V3(-250, -140, 80), V3(-250, 140, 80)};
    for (int i = 0; i < 4; ++i)
        m_Scene.Dummy(Fmt("Dummy_smoke%02i", i + 1), body, smoke[i] + Carried(body));
    LightRecord omni;
    float m[16];
    TranslationMatrix(m, V3(-500, 0, 250) + Carried(body));
    omni.node = ArchiveTool::MakeNode(body, m);
    omni.light.type = 1;
    omni.light.diffuse = {1, 0.9f, 0.7f, 1};
    omni.light.range = 3000;
    omni.light.attenuation0 = 1;
    m_Scene.Writer().AddLight("Omni01", omni);
    CameraRecord shadowCam;
    // The projected shadow's camera keeps its offset from the lumber car's
    // "Dummy_loco05_08" as the file has them: laid out with the train.
    CameraMatrix(m, V3(1500 + m_OriginX, -3000, 6000), V3(1500 + m_OriginX, 0, 0));
    shadowCam.node = ArchiveTool::MakeNode(kSceneRootName, m);
    ArchiveTool::PerspectiveFovLH(shadowCam.projection, 0.6f, 1.0f, 1000, 20000);
    m_Scene.Writer().AddCamera("Camera_shadow01", shadowCam);
}

void CLocomotive::Wheel(const std::string& name, const std::string& parent, const Vec3& at, float radius,
                        const std::string& material)
{
    // A wheel pair turning about its local Z, the axle across the track.
    CMeshBuilder w;
    for (int side = -1; side <= 1; side += 2)
        w.AddCylinder(V3(0, 0, side * 76.0f - 6), radius, radius, 12, 16, radius * 2);
    w.AddCylinder(V3(0, 0, -76), 8, 8, 152, 6, 50, false);
    GeomObjectRecord rec;
    const Vec3 rel = at - At(parent) + Carried(parent);
    const float mat[16] = {1, 0, 0, 0, 0, 0, -1, 0, 0, 1, 0, 0, rel.x, rel.y, rel.z + radius, 1};
    rec.node = ArchiveTool::MakeNode(parent, mat);
    rec.frames.resize(1);
    rec.frames[0].meshes = w.Build(0x112, material);
    m_Scene.ObjectRecord(name, rec);
}

void CLocomotive::WheelAt(const std::string& name, const std::string& parent, const Vec3& local, float radius,
                          const std::string& material, bool crankPins)
{
    CMeshBuilder w;
    for (int side = -1; side <= 1; side += 2)
        w.AddCylinder(V3(0, 0, side * 76.0f - 6), radius, radius, 12, 16, radius * 2);
    w.AddCylinder(V3(0, 0, -76), 8, 8, 152, 6, 50, false);
    if (crankPins)
    {
        // Where the rods' crank frames put the pins: each side's crank turned
        // by its phase (a quarter on the first side, a half on the second).
        w.AddCylinder(V3(0, kCrank, -kCrankSide - 6), 7, 7, 24, 8, 20);
        w.AddCylinder(V3(-kCrank, 0, kCrankSide - 18), 7, 7, 24, 8, 20);
    }
    GeomObjectRecord rec;
    const float mat[16] = {1, 0, 0, 0, 0, 0, -1, 0, 0, 1, 0, 0, local.x, local.y, local.z, 1};
    rec.node = ArchiveTool::MakeNode(parent, mat);
    rec.frames.resize(1);
    rec.frames[0].meshes = w.Build(0x112, material);
    m_Scene.ObjectRecord(name, rec);
}

void CLocomotive::DriveRods()
{
    const std::string guide = "Dummy_loco01_05", slideGuide = "Dummy_loco01_04";
    const std::string red = Mat("Paint_red", 0.2f, 8), black = Mat("Paint_black", 0.2f, 8);
    const std::string brass = Mat("Brass", 0.8f, 30);
    // The coupled drivers hang in the guide's tilted frame: local =
    // (offset from the guide's track point - guide's rest) x the tilt undone.
    const float c = std::cos(m_GuideTilt), s = std::sin(m_GuideTilt);
    auto inGuide = [&](const Vec3& fromTrackPoint) {
        const Vec3 d = fromTrackPoint - m_GuideAt;
        return V3(d.x * c - d.z * s, d.y, d.x * s + d.z * c);
    };
    const Vec3 driven = V3(-kCrankSide, 0, kCrankSide); // the driving wheel's own translation
    for (int i = 0; i < 3; ++i)
    {
        const float x = kDriverAt + (i - 1) * 170.0f;
        const Vec3 centre = inGuide(V3(x - kGuideAt, 0, kDriverRadius));
        const std::string name = Fmt("Loco_wheel_rs_sn%02i", i + 3);
        if (i == 1)
        {
            m_Scene.Dummy("Dummy_loco_axle04", guide, centre - driven);
            WheelAt(name, "Dummy_loco_axle04", driven, kDriverRadius, red, true);
        }
        else
            WheelAt(name, guide, centre, kDriverRadius, red, true);
    }
    // Each side: joint 03 is the crank pin and 01 a point beside it on the
    // same crank (joint 02 between them); joint 05 is the crosshead sliding
    // along the second guide, 04 the main rod between 03 and 05; 06 gives the
    // crank's radius; 08 is the valve rod, moved by the crosshead link
    // whose length is 07's distance from the link.
    const float guideAt = At(slideGuide).x;
    for (int side = 0; side < 2; ++side)
    {
        const float lat = side ? kCrankSide : -kCrankSide, inward = side ? -10.0f : 10.0f;
        const std::string prefix = Fmt("Dummy_locobar%02i_", side + 1);
        const Vec3 j3 = V3(0, 0, lat), j1 = V3(0, 0, lat + inward);
        // Joints sliding along the second guide land at twice their rest
        // translation from the guide's track point.
        const Vec3 j5 = V3(kCrossheadAt - guideAt, lat, kDriverRadius) * 0.5f;
        const Vec3 j4 = V3((j3.x + j5.x) * 0.5f, (j3.y + j5.y) * 0.5f, 0);
        const Vec3 link = V3(kCrossheadAt + 90 - guideAt, lat * 1.1f, 160);
        const Vec3 j8 = V3(kCrossheadAt - 60 - guideAt, lat, 150) * 0.5f;
        RodJoint(prefix + "01", j1, false);
        RodJoint(prefix + "02", V3(5, 0, (j1.z + j3.z) * 0.5f), true);
        RodJoint(prefix + "03", j3, false);
        RodJoint(prefix + "04", j4, true);
        RodJoint(prefix + "05", j5, false);
        RodJoint(prefix + "06", V3(-kCrank, 0, lat), false);
        RodJoint(prefix + "07", link + m_Rest.at(slideGuide) + Carried(slideGuide) + V3(100, 0, 0), false);
        RodJoint(prefix + "08", j8, false);

        CMeshBuilder mainRod, slide, valve, cylinder, kaban;
        mainRod.AddBox(V3(0, 0, -6), 350, 10, 12, 50);
        Part(Fmt("Loco_rod%02i_01", side + 1), prefix + "04", mainRod, black);
        slide.AddBox(V3(0, 0, -14), 44, 22, 28, 50);
        Part(Fmt("Loco_rod%02i_02", side + 1), prefix + "05", slide, brass);
        valve.AddBox(V3(0, 0, -4), 120, 8, 8, 50);
        Part(Fmt("Loco_rod%02i_03", side + 1), prefix + "08", valve, black);
        // The rocking link of the valve gear above the crosshead.
        kaban.AddBox(link, 24, 16, 60, 50);
        Part(Fmt("Loco_kaban_rs_sn%02i", 2 - side), slideGuide, kaban, brass, link + V3(0, 0, 30));
        // The cylinder and its slide bar in front of the crosshead.
        cylinder.AddTube(V3(60 - guideAt, lat, kDriverRadius), V3(kCrossheadAt - 40 - guideAt, lat, kDriverRadius), 34,
                         12, 100);
        cylinder.AddBox(V3(kCrossheadAt + 20 - guideAt, lat, kDriverRadius + 16), 180, 8, 6, 50);
        Part(Fmt("Loco_cilinder_rs_sn%02i", side + 1), slideGuide, cylinder, black);
    }
}

void CLocomotive::Shadow(const std::string& name, const std::string& parent, float length, float width, float centreX)
{
    CMeshBuilder q;
    const float x = centreX - At(parent).x;
    q.AddQuad(V3(x - length / 2, -width / 2, 2), V3(x + length / 2, -width / 2, 2), V3(x + length / 2, width / 2, 2),
              V3(x - length / 2, width / 2, 2));
    m_Scene.Bitmap("Shadow_blob", [] { return PaintTexture("Shadow_blob"); });
    MaterialSpec s;
    s.diffuse = "Shadow_blob";
    s.specular = 0;
    m_Scene.Material("Loco_mat_shadow", s);
    Part(name, parent, q, "Loco_mat_shadow");
}

void CLocomotive::Engine()
{
    const std::string body = "Dummy_loco01_01", rear = "Dummy_loco01_04";
    const float bx = At(body).x;
    const std::string paint = Mat("Loco_paint", 0.4f, 20), black = Mat("Paint_black", 0.2f, 8);
    const std::string brass = Mat("Brass", 0.8f, 30), shiny = Mat("Loco_paint", 0.6f, 24, true);
    auto X = [&](float worldX) { return worldX - bx; };
    {
        CMeshBuilder boiler;
        boiler.AddTube(V3(X(60), 0, 230), V3(X(820), 0, 230), 72, 16, 200);
        Part("Loco_boiler_rscs_sn01", body, boiler, shiny);
        CMeshBuilder pan; // the smokebox ring and its door
        pan.AddTube(V3(X(20), 0, 230), V3(X(60), 0, 230), 78, 16, 100);
        pan.AddBox(V3(X(22), 0, 160), 6, 130, 140, 100);
        Part("Loco_pan_rscs_sn01", body, pan, shiny);
        CMeshBuilder cylinders; // the cylinders' front covers
        for (int side = -1; side <= 1; side += 2)
            cylinders.AddTube(V3(X(50), side * 95.0f, 75), V3(X(70), side * 95.0f, 75), 38, 12, 100);
        Part("Loco_cilinder_rscs_sn01", body, cylinders, shiny);
    }
    CMeshBuilder chimney, dome, frame, buffer;
    chimney.AddCylinder(V3(X(150), 0, 280), 26, 42, 130, 12, 100);
    Part("Loco_chimney01", body, chimney, black);
    dome.AddCylinder(V3(X(480), 0, 290), 32, 24, 60, 12, 100);
    dome.AddCylinder(V3(X(640), 0, 295), 14, 10, 50, 8, 50);
    Part("Loco_dome01", body, dome, brass);
    frame.AddBox(V3(X(600), 0, 40), 1160, 150, 70, 200);
    frame.AddBox(V3(X(10), 0, 60), 20, 260, 50, 100);
    for (int side = -1; side <= 1; side += 2)
        frame.AddBox(V3(X(300), side * 125.0f, 150), 560, 30, 10, 100);
    Part("Loco_frame_rs01", body, frame, black);
    buffer.AddBox(V3(X(-20), 0, 70), 40, 200, 30, 100);
    buffer.AddCylinder(V3(X(-60), 0, 20), 5, 90, 70, 4, 100, false); // the cowcatcher
    Part("Loco_buffer01", body, buffer, Mat("Paint_red", 0.2f, 8));

    // Wheels: two leading and one trailing here; the three coupled drivers
    // with the rods.
    const float wx[3] = {120, 260, 1000};
    const float wr[3] = {42, 42, 48};
    const int wn[3] = {1, 2, 6};
    for (int i = 0; i < 3; ++i)
        Wheel(Fmt("Loco_wheel_rs_sn%02i", wn[i]), body, V3(wx[i], 0, 0), wr[i], Mat("Paint_red", 0.2f, 8));
    DriveRods();

    // The cab and the firebox at the rear.
    const float rx = At(rear).x;
    CMeshBuilder cab, cabRoof;
    cab.AddBox(V3(1050 - rx, -110, 100), 260, 20, 220, 200);
    cab.AddBox(V3(1050 - rx, 110, 100), 260, 20, 220, 200);
    cab.AddBox(V3(930 - rx, 0, 100), 20, 240, 220, 200);
    cab.AddBox(V3(1040 - rx, 0, 80), 280, 240, 20, 200);
    Part("Loco_cab_rs01", rear, cab, paint);
    cabRoof.AddGableRoof(V3(1050 - rx, 0, 320), 300, 250, 30, 20, 200, kPi / 2);
    Part("Loco_cab_roof01", rear, cabRoof, black);
    // Nameplates on the cab sides.
    m_Scene.Bitmap("Inscription", [] { return PaintTexture("Inscription"); });
    MaterialSpec plate;
    plate.diffuseAlpha = "Inscription";
    plate.specular = 0.5f;
    m_Scene.Material("Loco_mat_inscription", plate);
    CMeshBuilder names;
    names.AddQuad(V3(1000 - rx, -121, 150), V3(1100 - rx, -121, 150), V3(1100 - rx, -121, 190), V3(1000 - rx, -121, 190));
    names.AddQuad(V3(1100 - rx, 121, 150), V3(1000 - rx, 121, 150), V3(1000 - rx, 121, 190), V3(1100 - rx, 121, 190));
    Part("A_inscription01", rear, names, "Loco_mat_inscription");

    // The whistle rope: three frames of a pull.
    GeomObjectRecord rope;
    float m[16];
    TranslationMatrix(m, V3(960 - rx, 60, 300) + Carried(rear));
    rope.node = ArchiveTool::MakeNode(rear, m);
    for (int f = 0; f < 3; ++f)
    {
        CMeshBuilder r;
        const float pull = f == 1 ? 25.0f : 0.0f;
        r.AddTube(V3(0, 0, 0), V3(pull * 0.3f, 0, -70 - pull), 1.5f, 4, 20);
        FrameRecord fr;
        fr.timeMs = uint32_t(f * 167);
        fr.meshes = r.Build(0x112, brass);
        rope.frames.push_back(fr);
    }
    m_Scene.ObjectRecord("Loco_rope01", rope);

    Shadow("Shadow01", body, 1300, 280, 620);
    // The box the stencil shadow is cast with.
    CMeshBuilder caster;
    caster.AddBox(V3(X(600), 0, 40), 1100, 240, 280, 500);
    GeomObjectRecord box;
    TranslationMatrix(m, Carried(body));
    box.node = ArchiveTool::MakeNode(body, m);
    box.frames.resize(1);
    box.frames[0].meshes = caster.Build(0x112, black);
    m_Scene.ObjectRecord("Caster_box01", box);
}

void CLocomotive::Cars()
{
    const std::string black = Mat("Paint_black", 0.2f, 8), planks = Mat("Planks", 0.05f, 4);
    const std::string green = Mat("Paint_green", 0.2f, 8), red = Mat("Paint_red", 0.2f, 8), rust = Mat("Rust_metal", 0.1f, 4);
    // Tender: a tank of water with coal on top.
    {
        const std::string p = "Dummy_loco03_01";
        const float x = At(p).x;
        CMeshBuilder tank, coal, chassis;
        tank.AddBox(V3(0, 0, 90), 560, 250, 180, 200);
        chassis.AddBox(V3(0, 0, 50), 600, 160, 40, 200);
        coal.AddBox(V3(-80, 0, 270), 360, 210, 30, 100);
        Part("Loco_tender_rs01", p, tank, green);
        Part("Loco_tender_chassis01", p, chassis, black);
        m_Scene.Bitmap("Ballast", [] { return PaintTexture("Ballast"); });
        MaterialSpec coalSpec;
        coalSpec.diffuse = "Ballast";
        coalSpec.r = coalSpec.g = coalSpec.b = 0.25f;
        m_Scene.Material("Loco_mat_coal", coalSpec);
        Part("Loco_tender_coal01", p, coal, "Loco_mat_coal");
        const float wx[4] = {1350, 1450, 1650, 1750};
        for (int i = 0; i < 4; ++i)
            Wheel(Fmt("Loco_wheel_t%02i", i + 1), p, V3(wx[i], 0, 0), 42, black);
        // The tender's lettering.
        CMeshBuilder letters;
        letters.AddQuad(V3(-200, -126, 100), V3(200, -126, 100), V3(200, -126, 160), V3(-200, -126, 160));
        letters.AddQuad(V3(200, 126, 100), V3(-200, 126, 100), V3(-200, 126, 160), V3(200, 126, 160));
        Part("L_inscription01", p, letters, "Loco_mat_inscription");
        Shadow("Shadow02", p, 650, 280, x);
    }
    // The lumber car: two bogie groups under a flat bed, logs on top.
    {
        const std::string front = "Dummy_loco05_01", load = "Dummy_loco05_07";
        const float fx = At(front).x;
        CMeshBuilder bed;
        bed.AddBox(V3(2400 - fx, 0, 80), 1000, 240, 25, 200);
        for (int i = 0; i < 6; ++i)
            for (int side = -1; side <= 1; side += 2)
                bed.AddBox(V3(1950 - fx + i * 180, side * 115.0f, 105), 12, 12, 140, 100);
        Part("Loco_lumber01", front, bed, rust);
        CMeshBuilder logs;
        for (int i = 0; i < 7; ++i)
        {
            const float y = (i % 4) * 55.0f - 80 + (i >= 4 ? 27.0f : 0.0f);
            const float z = i >= 4 ? 175.0f : 130.0f;
            logs.AddTube(V3(-470, y, z), V3(470, y, z), 26, 8, 200);
        }
        m_Scene.Bitmap("Bark", [] { return PaintTexture("Bark"); });
        Part("Loco_lumber_load01", load, logs, Mat("Bark", 0.02f, 4));
        // Each bogie's wheels with its own group.
        const float wx[4] = {2000, 2300, 2600, 2900};
        for (int i = 0; i < 4; ++i)
            Wheel(Fmt("Loco_wheel_l%02i", i + 1), i < 2 ? front : "Dummy_loco05_04", V3(wx[i], 0, 0), 42, black);
        Shadow("Shadow03", front, 1050, 280, 2400);
    }
    // Two boxcars.
    for (int car = 0; car < 2; ++car)
    {
        const std::string p = Fmt("Dummy_loco%02i_01", car ? 9 : 7);
        CMeshBuilder walls, roof;
        walls.AddBox(V3(0, 0, 70), 800, 260, 250, 250);
        roof.AddGableRoof(V3(0, 0, 320), 800, 260, 30, 15, 200);
        Part(Fmt("Loco_car%02i", car + 1), p, walls, car ? red : planks);
        Part(Fmt("Loco_car_roof%02i", car + 1), p, roof, black);
        const float x = At(p).x;
        const float wx[4] = {x - 300, x - 200, x + 200, x + 300};
        for (int i = 0; i < 4; ++i)
            Wheel(Fmt("Loco_wheel_c%i%i", car + 1, i + 1), p, V3(wx[i], 0, 0), 42, black);
        Shadow(Fmt("Shadow%02i", 4 + car), p, 850, 280, x);
    }
}

void CLocomotive::Driver()
{
    // The skeleton stands in the cab; its keys run at 30 frames a second.
    const std::string cab = "Dummy_loco01_04";
    const Vec3 base = V3(1010, 40, 100) - At(cab) + Carried(cab); // the driver's feet, in the cab's frame
    struct Bone
    {
        const char* name;
        const char* parent;
        Vec3 offset; // from the parent
    };
    const Bone bones[7] = {{"Bip01", nullptr, V3(0, 0, 95)},
                           {"Bip01 Spine", "Bip01", V3(0, 0, 15)},
                           {"Bip01 Head", "Bip01 Spine", V3(0, 0, 55)},
                           {"Bip01 L UpperArm", "Bip01 Spine", V3(0, 22, 45)},
                           {"Bip01 L Forearm", "Bip01 L UpperArm", V3(0, 0, -30)},
                           {"Bip01 R UpperArm", "Bip01 Spine", V3(0, -22, 45)},
                           {"Bip01 R Forearm", "Bip01 R UpperArm", V3(0, 0, -30)}};
    const int frames = 600, step = 5;
    auto pose = [](int bone, int frame, float* m) {
        // Idle sway, looking around (head), and the whistle pull with the
        // right arm about frames 430 to 470 (the cord is pulled at 445).
        float yaw = 0, pitch = 0;
        const float t = frame / 30.0f;
        if (bone == 0)
            yaw = 0.05f * std::sin(t * 0.8f);
        if (bone == 2)
        {
            if (frame >= 100 && frame < 300)
                yaw = 0.9f * std::sin((frame - 100) / 200.0f * 2 * kPi);
            pitch = 0.05f * std::sin(t * 1.3f);
        }
        if (bone == 5)
        {
            const float up = frame < 430 ? 0 : frame < 445 ? (frame - 430) / 15.0f : frame < 455 ? 1 : frame < 470 ? (470 - frame) / 15.0f : 0;
            pitch = -2.6f * up;
        }
        if (bone == 6)
            pitch = frame >= 430 && frame < 470 ? -0.4f : -0.2f;
        const float cy = std::cos(yaw), sy = std::sin(yaw), cp = std::cos(pitch), sp = std::sin(pitch);
        // Yaw about Z, then pitch about Y.
        const float r[16] = {cy * cp, sy * cp, -sp, 0, -sy, cy, 0, 0, cy * sp, sy * sp, cp, 0, 0, 0, 0, 1};
        std::memcpy(m, r, sizeof(r));
    };
    std::map<std::string, Vec3> rest;
    for (int b = 0; b < 7; ++b)
    {
        const Vec3 local = b == 0 ? base + bones[b].offset : bones[b].offset;
        rest[bones[b].name] = (bones[b].parent ? rest[bones[b].parent] : V3(0, 0, 0)) + local;
        GeomObjectRecord rec;
        rec.node.parentName = bones[b].parent ? bones[b].parent : cab;
        rec.node.animationStartMs = 0;
        rec.node.animationEndMs = uint32_t(frames * 1000 / 30);
        for (int f = 0; f <= frames; f += step)
        {
            NodeKey k;
            k.timeMs = uint32_t(f * 1000 / 30);
            pose(b, f, k.matrix);
            k.matrix[12] = local.x;
            k.matrix[13] = local.y;
            k.matrix[14] = local.z;
            rec.node.keys.push_back(k);
        }
        m_Scene.ObjectRecord(bones[b].name, rec);
    }

    // The skinned figure rides in the cab beside its bones, so that it binds
    // where they stand whenever the skinning first runs: each box of the
    // body follows one bone, given in the cab's frame.
    std::vector<Vertex111C> verts;
    std::vector<uint16_t> idx;
    auto limb = [&](uint8_t bone, const Vec3& centre, float sx, float sy, float sz) {
        CMeshBuilder b;
        b.AddBox(centre, sx, sy, sz, 100);
        const uint16_t first = uint16_t(verts.size());
        for (const Vertex& v : b.Vertices())
        {
            Vertex111C s = {};
            s.pos[0] = v.p.x;
            s.pos[1] = v.p.y;
            s.pos[2] = v.p.z;
            s.weights[0] = 1;
            s.bones[0] = bone;
            s.bones[1] = s.bones[2] = s.bones[3] = 255;
            s.normal[0] = v.n.x;
            s.normal[1] = v.n.y;
            s.normal[2] = v.n.z;
            s.uv[0] = v.u;
            s.uv[1] = v.v;
            verts.push_back(s);
        }
        for (uint32_t i : b.Indices())
            idx.push_back(uint16_t(first + i));
    };
    auto world = [&](const char* bone) { return rest[bone]; };
    limb(0, world("Bip01") - V3(0, 0, 95), 40, 50, 95);                    // legs
    limb(1, world("Bip01 Spine"), 45, 55, 60);                             // body
    limb(2, world("Bip01 Head"), 26, 24, 30);                              // head
    limb(3, world("Bip01 L UpperArm") - V3(0, 0, 30), 14, 14, 30);
    limb(4, world("Bip01 L Forearm") - V3(0, 0, 30), 12, 12, 30);
    limb(5, world("Bip01 R UpperArm") - V3(0, 0, 30), 14, 14, 30);
    limb(6, world("Bip01 R Forearm") - V3(0, 0, 30), 12, 12, 30);
    const std::string cloth = Mat("Paint_green", 0.05f, 4);
    MeshRecord mesh = ArchiveTool::MakeMesh(0x111C, verts.data(), uint16_t(verts.size()), idx, cloth);
    for (int b = 0; b < 7; ++b)
        mesh.bones.push_back({bones[b].name, uint16_t(b)});
    GeomObjectRecord chief;
    float m[16];
    TranslationMatrix(m, V3(0, 0, 0));
    chief.node = ArchiveTool::MakeNode(cab, m);
    chief.frames.resize(1);
    chief.frames[0].meshes.push_back(mesh);
    m_Scene.ObjectRecord("Loco_chief01", chief);
}

void CLocomotive::Cameras(std::vector<std::string>& tuning)
{
    // Views riding with the train: from the side ("S") and from further
    // off ("D"), in three groups along it.
    int index = 0;
    for (int group = 1; group <= 3; ++group)
        for (int k = 0; k < 4; ++k)
        {
            const bool side = k % 2 == 1;
            const std::string parent = Fmt("Dummy_loco_camera%02i", group == 1 ? 1 : group == 2 ? 2 : 4);
            const float sign = k < 2 ? 1.0f : -1.0f;
            const Vec3 eye = side ? V3(-250, sign * 450, 180) : V3(-1400, sign * 900, 500);
            const Vec3 target = side ? V3(300, 0, 150) : V3(600, 0, 150);
            const std::string name = Fmt(side ? "Camera_T_S_%02i_%02i" : "Camera_T_D_%02i_%02i", group, ++index);
            CameraRecord cam;
            float m0[16], m1[16];
            const Vec3 shift = Carried(parent);
            CameraMatrix(m0, eye + shift, target + shift);
            CameraMatrix(m1, eye + shift + V3(200, 0, 30), target + shift + V3(200, 0, 0));
            cam.node = ArchiveTool::MakeNode(parent, m0);
            cam.node.animationEndMs = 8000;
            NodeKey end;
            end.timeMs = 8000;
            std::copy(m1, m1 + 16, end.matrix);
            cam.node.keys.push_back(end);
            ArchiveTool::PerspectiveFovLH(cam.projection, 0.8f, 4.0f / 3.0f, 500, 1200000);
            m_Scene.Writer().AddCamera(name, cam);
            AddCameraArea(tuning, name, 0, -1, 10.0f + group, 0); // the whole loop, both ways
        }
}

std::vector<std::string> CLocomotive::Build()
{
    std::vector<std::string> tuning;
    Dummies();
    Engine();
    Cars();
    Driver();
    Cameras(tuning);
    return tuning;
}
} // namespace

std::vector<std::string> BuildLocomotive(ArchiveTool::CArchiveWriter& writer) { return CLocomotive(writer).Build(); }
} // namespace SceneContent
