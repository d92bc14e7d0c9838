// The landscape archive: ground, track, settlements, trees, sky and the
// cameras that watch the train.
#include <cmath>
#include <cstdio>

#include "SceneContent.h"
#include "Textures.h"

using namespace FileStorage;

namespace SceneContent
{
namespace
{
// Half the width of the ballast bed at its top and at its foot, from the
// track's centre line.
constexpr float kBallastTop = 180;
constexpr float kBallastFoot = 330;

class CLandscape
{
public:
    CLandscape(const CWorld& world, ArchiveTool::CArchiveWriter& writer) : m_World(world), m_Scene(writer), m_Rng(77) {}

    LandscapeOutput Build();

private:
    // Pictures and materials.
    void Texture(const std::string& name) { m_Scene.Bitmap(name, [&] { return PaintTexture(name); }); }
    std::string LitMaterial(const std::string& texture, float specular = 0.05f);
    CImage BakeGround(float x0, float y0, float x1, float y1, int size, bool tint) const;
    CImage BakeObjectLight() const;

    // A ground grid over a rectangle; `keep` decides per cell.
    CMeshBuilder GroundGrid(float x0, float y0, float x1, float y1, int cellsX, int cellsY, float texUnit, float lift,
                            const std::function<bool(float, float)>& keep) const;
    void Ground();
    void Horizon();
    void Track();
    void Buildings();
    void Vegetation();
    void Grass(LandscapeOutput& out);
    void Cameras(LandscapeOutput& out);
    void Markers();

    // A building part standing on the ground at `at`, lit by the object light map.
    void Building(const std::string& name, CMeshBuilder mesh, const std::string& texture);
    CMeshBuilder House(const Vec3& at, float sx, float sy, float wallHeight, float rotZ, CMeshBuilder* roof) const;
    Vec3 OnGround(float x, float y, float lift = 0) const { return V3(x, y, m_World.Height(x, y) + lift); }

    const CWorld& m_World;
    CSceneBuilder m_Scene;
    CRandom m_Rng;
};

std::string CLandscape::LitMaterial(const std::string& texture, float specular)
{
    Texture(texture);
    const std::string name = "Mat_" + texture;
    MaterialSpec spec;
    spec.diffuse = texture;
    spec.lightMap = "LM_Objects";
    spec.specular = specular;
    m_Scene.Material(name, spec);
    return name;
}

CImage CLandscape::BakeGround(float x0, float y0, float x1, float y1, int size, bool tint) const
{
    CImage img(size, size, 3);
    for (int j = 0; j < size; ++j)
        for (int i = 0; i < size; ++i)
        {
            const float x = x0 + (x1 - x0) * (i + 0.5f) / size;
            const float y = y1 - (y1 - y0) * (j + 0.5f) / size; // v grows southwards
            const float z = m_World.Height(x, y);
            const Vec3 n = m_World.Normal(x, y);
            // Hollows get less sky.
            const float around = (m_World.Height(x + 1500, y) + m_World.Height(x - 1500, y) +
                                  m_World.Height(x, y + 1500) + m_World.Height(x, y - 1500)) * 0.25f;
            const float occlusion = Clamp01(1 - std::max(0.0f, around - z) / 1500) * 0.3f + 0.7f;
            Rgb c = Scale(m_World.Light(n, m_World.SunVisibility(x, y, z)), occlusion * 0.82f);
            if (tint)
            {
                // Dry and lush patches of the meadow, worn ground by the track.
                const float dry = SmoothStep(0.5f, 0.75f, Fbm(x / 12000, y / 12000, 601, 4));
                c = Mix(c, Rgb{c.r * 1.15f, c.g * 1.0f, c.b * 0.7f}, dry);
                const float gap = m_World.TrackGap(x, y);
                c = Mix(Rgb{c.r * 1.1f, c.g * 0.95f, c.b * 0.85f}, c, SmoothStep(700, 2500, gap));
            }
            img.Set(i, j, c);
        }
    return img;
}

CImage CLandscape::BakeObjectLight() const
{
    const int w = 128, h = 32;
    CImage img(w, h, 3);
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i)
        {
            const float u = (i + 0.5f) / w, v = (j + 0.5f) / h;
            Vec3 n;
            if (u > 0.875f)
                n = V3(0, 0, 1);
            else
            {
                const float a = Clamp01((u - 0.02f) / 0.835f) * 2 * kPi;
                n = V3(std::cos(a), std::sin(a), 0.15f);
            }
            const float heightFraction = 1 - Clamp01((v - 0.04f) / 0.92f);
            const float occlusion = 0.6f + 0.4f * std::sqrt(heightFraction);
            img.Set(i, j, Scale(m_World.Light(Normalize(n), 1), occlusion * 0.8f));
        }
    return img;
}

CMeshBuilder CLandscape::GroundGrid(float x0, float y0, float x1, float y1, int cx, int cy, float texUnit, float lift,
                                    const std::function<bool(float, float)>& keep) const
{
    std::vector<Vertex> verts;
    std::vector<uint32_t> idx;
    for (int j = 0; j <= cy; ++j)
        for (int i = 0; i <= cx; ++i)
        {
            Vertex v;
            const float x = x0 + (x1 - x0) * i / cx, y = y0 + (y1 - y0) * j / cy;
            v.p = V3(x, y, m_World.Height(x, y) + lift);
            v.n = m_World.Normal(x, y);
            v.u = x / texUnit;
            v.v = -y / texUnit;
            v.u2 = float(i) / cx;
            v.v2 = 1 - float(j) / cy;
            verts.push_back(v);
        }
    for (int j = 0; j < cy; ++j)
        for (int i = 0; i < cx; ++i)
        {
            const float mx = x0 + (x1 - x0) * (i + 0.5f) / cx, my = y0 + (y1 - y0) * (j + 0.5f) / cy;
            if (!keep(mx, my))
                continue;
            const uint32_t a = j * (cx + 1) + i, b = a + 1, c = a + cx + 1, d = c + 1;
            // Clockwise seen from above (Direct3D's front faces).
            const uint32_t q[6] = {a, c, b, b, c, d};
            idx.insert(idx.end(), q, q + 6);
        }
    CMeshBuilder mesh;
    mesh.AddIndexed(verts, idx);
    return mesh;
}

void CLandscape::Ground()
{
    Texture("Grass");
    Texture("Sand");
    Texture("Dirt");
    const float e = CWorld::kExtent;
    const int tiles = 6;
    const float side = 2 * e / tiles;
    for (int t = 0; t < tiles * tiles; ++t)
    {
        const int m = t % 18;
        const std::string name = Fmt(t < 18 ? "Land0%i%i" : "Lan_d0%i%i", m % 2 + 1, m / 2 + 1);
        const float x0 = -e + side * (t % tiles), y0 = -e + side * (t / tiles);
        const std::string lm = "LM_" + name;
        m_Scene.Bitmap(lm, [&] { return BakeGround(x0, y0, x0 + side, y0 + side, 128, true); });
        MaterialSpec spec;
        spec.diffuse = "Grass";
        spec.lightMap = lm;
        spec.specular = 0;
        m_Scene.Material("Mat_" + name, spec);
        m_Scene.Object(name, kSceneRootName, V3(x0, y0, 0),
                       GroundGrid(x0, y0, x0 + side, y0 + side, 40, 40, 2500, 0, [](float, float) { return true; }),
                       "Mat_" + name);
    }
    // The outer meadow ring, and the desert beyond it in eleven pieces.
    const float o = CWorld::kOuterExtent;
    m_Scene.Bitmap("LM_Land01", [&] { return BakeGround(-o, -o, o, o, 256, true); });
    MaterialSpec outer;
    outer.diffuse = "Grass";
    outer.lightMap = "LM_Land01";
    outer.specular = 0;
    m_Scene.Material("Mat_Land01", outer);
    m_Scene.Object("Land01", kSceneRootName, V3(0, 0, 0),
                   GroundGrid(-o, -o, o, o, 100, 100, 4000, 0,
                              [e](float x, float y) { return std::fabs(x) > e || std::fabs(y) > e; }),
                   "Mat_Land01");
    const float d = 486000; // a whole number of the meadow's cells
    m_Scene.Bitmap("LM_Desert", [&] { return BakeGround(-d, -d, d, d, 128, false); });
    MaterialSpec desert;
    desert.diffuse = "Sand";
    desert.lightMap = "LM_Desert";
    desert.specular = 0;
    m_Scene.Material("Mat_Desert", desert);
    for (int k = 0; k < 11; ++k)
    {
        const float a0 = 2 * kPi * k / 11 - kPi, a1 = 2 * kPi * (k + 1) / 11 - kPi;
        m_Scene.Object(Fmt("Desert%02i", k + 1), kSceneRootName, V3(0, 0, 0),
                       GroundGrid(-d, -d, d, d, 162, 162, 6000, 0,
                                  [=](float x, float y) {
                                      const float a = std::atan2(y, x);
                                      const float r = std::sqrt(x * x + y * y);
                                      return (std::fabs(x) > o || std::fabs(y) > o) && r < CWorld::kHorizon &&
                                             a >= a0 && a < a1;
                                  }),
                       "Mat_Desert");
    }
    // The town square.
    const Vec3 town = m_World.Town();
    MaterialSpec square;
    square.diffuse = "Dirt";
    square.lightMap = "LM_Land02";
    m_Scene.Bitmap("LM_Land02",
                   [&] { return BakeGround(town.x - 7000, town.y - 7000, town.x + 7000, town.y + 7000, 64, false); });
    m_Scene.Material("Mat_Land02", square);
    m_Scene.Object("Land02", kSceneRootName, town,
                   GroundGrid(town.x - 7000, town.y - 7000, town.x + 7000, town.y + 7000, 8, 8, 1500, 8,
                              [](float, float) { return true; }),
                   "Mat_Land02");
}

void CLandscape::Horizon()
{
    // The sky box, seen from inside.
    CMeshBuilder faces[6];
    const float s = 500000;
    const Vec3 c[8] = {V3(-s, -s, -s), V3(s, -s, -s), V3(-s, s, -s), V3(s, s, -s),
                       V3(-s, -s, s),  V3(s, -s, s),  V3(-s, s, s),  V3(s, s, s)};
    // front (+Y), back (-Y), left (-X), right (+X), up, down; corners
    // counter-clockwise as seen from the centre, starting bottom left.
    faces[0].AddQuad(c[2], c[3], c[7], c[6]);
    faces[1].AddQuad(c[1], c[0], c[4], c[5]);
    faces[2].AddQuad(c[0], c[2], c[6], c[4]);
    faces[3].AddQuad(c[3], c[1], c[5], c[7]);
    faces[4].AddQuad(c[6], c[7], c[5], c[4]);
    faces[5].AddQuad(c[0], c[1], c[3], c[2]);
    GeomObjectRecord sky;
    float m[16];
    TranslationMatrix(m, V3(0, 0, 0));
    sky.node = ArchiveTool::MakeNode(kSceneRootName, m);
    sky.frames.resize(1);
    for (int f = 0; f < 6; ++f)
    {
        const std::string tex = Fmt("Sky_face%i", f);
        m_Scene.Bitmap(tex, [f] { return PaintSkyFace(f, 512); });
        MaterialSpec spec;
        spec.diffuse = tex;
        spec.specular = 0;
        spec.emissive = 1; // the sky shines by itself
        m_Scene.Material("Mat_" + tex, spec);
        for (auto& rec : faces[f].Build(0x112, "Mat_" + tex))
            sky.frames[0].meshes.push_back(rec);
    }
    m_Scene.ObjectRecord("Sky01", sky);

    // The painted mountains all round, in three strips.
    for (int k = 0; k < 3; ++k)
    {
        const std::string name = Fmt("Panorama%02i", k + 2);
        m_Scene.Bitmap(name, [k] { return PaintPanorama(k); });
        m_Scene.Bitmap(name + "_a", [k] { return PaintPanorama(k).AlphaAsGrey(); });
        MaterialSpec spec;
        spec.diffuse = name;
        spec.alphaMask = name + "_a";
        spec.specular = 0;
        m_Scene.Material("Mat_" + name, spec);
        CMeshBuilder strip;
        const int segs = 24;
        const float r = CWorld::kHorizon, z0 = -1500, z1 = 90000;
        for (int i = 0; i < segs; ++i)
        {
            const float a0 = 2 * kPi * (k + float(i) / segs) / 3, a1 = 2 * kPi * (k + float(i + 1) / segs) / 3;
            const Vec3 p0 = V3(r * std::cos(a0), r * std::sin(a0), z0), p1 = V3(r * std::cos(a1), r * std::sin(a1), z0);
            // Seen from inside: counter-clockwise means going clockwise round the ring.
            Vertex v[4];
            v[0].p = p1;
            v[1].p = p0;
            v[2].p = V3(p0.x, p0.y, z1);
            v[3].p = V3(p1.x, p1.y, z1);
            v[0].u = v[3].u = float(i + 1) / segs;
            v[1].u = v[2].u = float(i) / segs;
            v[0].v = v[1].v = 1;
            v[2].v = v[3].v = 0;
            for (Vertex& x : v)
                x.n = Normalize(V3(-x.p.x, -x.p.y, 0));
            strip.AddTriangle(v[0], v[1], v[2]);
            strip.AddTriangle(v[0], v[2], v[3]);
        }
        m_Scene.Object(name, kSceneRootName, V3(0, 0, 0), strip, "Mat_" + name, false);
    }

    // Far mountains and rocks.
    Texture("Rock");
    MaterialSpec rock;
    rock.diffuse = "Rock";
    rock.lightMap = "LM_Objects";
    m_Scene.Material("Mat_Rock", rock);
    auto mountain = [&](const std::string& name, const Vec3& at, float radius, float height, uint32_t seed) {
        CMeshBuilder mesh;
        const int rings = 10, sides = 24;
        std::vector<Vertex> verts;
        std::vector<uint32_t> idx;
        for (int r = 0; r <= rings; ++r)
            for (int s = 0; s <= sides; ++s)
            {
                const float a = 2 * kPi * s / sides, t = float(r) / rings;
                const float wobble = 0.75f + 0.5f * Fbm(std::cos(a) * 2 + 5, std::sin(a) * 2 + t * 3, seed, 4);
                // A rounded, uneven massif rather than a cone.
                const float rad = radius * std::cos(t * kPi / 2) * wobble;
                const float rise = std::pow(std::sin(t * kPi / 2), 1.6f) * (0.75f + 0.5f * wobble);
                Vertex v;
                v.p = at + V3(std::cos(a) * rad, std::sin(a) * rad, height * rise - 800);
                v.u = float(s) / sides * 8;
                v.v = t * 4;
                verts.push_back(v);
            }
        for (int r = 0; r < rings; ++r)
            for (int s = 0; s < sides; ++s)
            {
                const uint32_t a = r * (sides + 1) + s, b = a + 1, c = a + sides + 1, d = c + 1;
                const uint32_t q[6] = {a, c, b, b, c, d};
                idx.insert(idx.end(), q, q + 6);
            }
        // Normals from the faces around each vertex.
        for (size_t i = 0; i + 2 < idx.size(); i += 3)
        {
            Vertex &a = verts[idx[i]], &b = verts[idx[i + 1]], &c = verts[idx[i + 2]];
            const Vec3 n = Cross(c.p - a.p, b.p - a.p);
            a.n = a.n + n;
            b.n = b.n + n;
            c.n = c.n + n;
        }
        for (Vertex& v : verts)
            v.n = Normalize(v.n);
        mesh.AddIndexed(verts, idx);
        mesh.MapObjectLight(at.z, height);
        m_Scene.Object(name, kSceneRootName, at, mesh, "Mat_Rock");
    };
    for (int k = 0; k < 5; ++k)
    {
        const float a = 0.4f + k * 1.27f;
        const float r = 395000;
        mountain(Fmt("Rock_hi%02i", k + 1), V3(r * std::cos(a), r * std::sin(a), 0), 45000, 42000 + 9000 * k % 3, 700 + k);
    }
    const float rockAt[3] = {0.25f, 0.47f, 0.78f};
    for (int k = 0; k < 3; ++k)
    {
        const Vec3 p = m_World.Place(m_World.TrackLength() * rockAt[k], 9000 + 3000 * k);
        mountain(Fmt("Rock%02i", k + 1), p, 3500 + 1000 * k, 2600 + 800 * k, 720 + k);
    }
    const float ab = 3.9f;
    mountain("Rock_back01", V3(240000 * std::cos(ab), 240000 * std::sin(ab), 0), 22000, 16000, 730);
}

void CLandscape::Track()
{
    const auto& track = m_World.Track();
    const size_t n = track.size();
    Texture("Steel");
    Texture("Sleepers");
    Texture("Ballast");
    const std::string steel = LitMaterial("Steel", 0.6f), sleepers = LitMaterial("Sleepers"), ballast = LitMaterial("Ballast");
    const float gauge = 76; // half the gauge
    const int perChunk = 24;
    const int chunks = int((n + perChunk - 1) / perChunk);
    CMeshBuilder bed[2];
    for (int c = 0; c < chunks; ++c)
    {
        CMeshBuilder rails, ties;
        for (size_t i = c * perChunk; i < std::min(n, size_t(c + 1) * perChunk); ++i)
        {
            const TrackPoint a = track[i], b = track[(i + 1) % n];
            const Vec3 sa = V3(a.tangent.y, -a.tangent.x, 0), sb = V3(b.tangent.y, -b.tangent.x, 0);
            for (int side = -1; side <= 1; side += 2)
            {
                const Vec3 oa = a.p + sa * (gauge * side), ob = b.p + sb * (gauge * side);
                // Head and web of the rail as a box run.
                const Vec3 down = V3(0, 0, -15);
                rails.AddQuad(oa - sa * 4, oa + sa * 4, ob + sb * 4, ob - sb * 4, 1, 20); // head, at z = 0
                rails.AddQuad(oa + sa * 4 + down, ob + sb * 4 + down, ob + sb * 4, oa + sa * 4, 20, 1);
                rails.AddQuad(ob - sb * 4 + down, oa - sa * 4 + down, oa - sa * 4, ob - sb * 4, 20, 1);
            }
            // Sleepers every 70 cm.
            const float len = Length(b.p - a.p);
            for (float d = 35; d < len; d += 70)
            {
                const Vec3 p = a.p + (b.p - a.p) * (d / len);
                ties.AddBox(p + V3(0, 0, -32), 24, 250, 17, 120, std::atan2(a.tangent.y, a.tangent.x));
            }
            // The ballast bed: a raised trapezoid.
            const float top = -30, foot = CWorld::kBedHeight - 60;
            CMeshBuilder& half = bed[i < n / 2 ? 0 : 1];
            const float ua = a.distance / 400, ub = (i + 1 == n ? m_World.TrackLength() : b.distance) / 400;
            auto strip = [&](float wa, float za, float wb, float zb, float u0, float u1) {
                Vertex v[4];
                v[0].p = a.p + sa * wa + V3(0, 0, za);
                v[1].p = b.p + sb * wa + V3(0, 0, za);
                v[2].p = b.p + sb * wb + V3(0, 0, zb);
                v[3].p = a.p + sa * wb + V3(0, 0, zb);
                const Vec3 nrm = Normalize(Cross(v[1].p - v[0].p, v[3].p - v[0].p));
                v[0].u = v[3].u = ua;
                v[1].u = v[2].u = ub;
                v[0].v = v[1].v = u0;
                v[2].v = v[3].v = u1;
                for (Vertex& x : v)
                    x.n = nrm;
                half.AddTriangle(v[0], v[1], v[2]);
                half.AddTriangle(v[0], v[2], v[3]);
            };
            strip(kBallastTop, top, -kBallastTop, top, 0, 1);
            strip(kBallastFoot, foot, kBallastTop, top, -0.4f, 0);
            strip(-kBallastTop, top, -kBallastFoot, foot, 1, 1.4f);
        }
        rails.MapObjectLight(-15, 15);
        ties.MapObjectLight(-32, 17);
        m_Scene.Object(Fmt("Rails%02i", c + 1), kSceneRootName, track[c * perChunk].p, rails, steel);
        m_Scene.Object(Fmt("Rail_ties%02i", c + 1), kSceneRootName, track[c * perChunk].p, ties, sleepers);
    }
    for (int h = 0; h < 2; ++h)
    {
        bed[h].MapObjectLight(CWorld::kBedHeight - 60, 90);
        m_Scene.Object(Fmt("Railbase02_%02i", h + 1), kSceneRootName, track[h * n / 2].p, bed[h], ballast);
    }
    // The track as dummies in order along the loop.
    for (size_t i = 0; i < n; ++i)
        m_Scene.Dummy(Fmt("Railbase%03i", int(i + 1)), kSceneRootName, track[i].p);
}

CMeshBuilder CLandscape::House(const Vec3& at, float sx, float sy, float wallHeight, float rotZ, CMeshBuilder* roof) const
{
    CMeshBuilder walls;
    walls.AddBox(at + V3(0, 0, -200), sx, sy, wallHeight + 200, 600, rotZ);
    walls.MapObjectLight(at.z - 200, wallHeight + 200);
    if (roof)
    {
        roof->AddGableRoof(at + V3(0, 0, wallHeight), sx, sy, sy * 0.45f, 60, 400, rotZ);
        roof->MapObjectLight(at.z, wallHeight + sy * 0.45f);
    }
    return walls;
}

void CLandscape::Building(const std::string& name, CMeshBuilder mesh, const std::string& texture)
{
    Vec3 lo, hi;
    mesh.BoundingBox(lo, hi);
    m_Scene.Object(name, kSceneRootName, V3((lo.x + hi.x) / 2, (lo.y + hi.y) / 2, lo.z), mesh, LitMaterial(texture));
}

void CLandscape::Buildings()
{
    const float L = m_World.TrackLength();
    const Vec3 town = m_World.Town();
    const TrackPoint townTrack = m_World.TrackAt(L * 0.55f);
    const float along = std::atan2(townTrack.tangent.y, townTrack.tangent.x);
    const Vec3 inward = V3(-townTrack.tangent.y, townTrack.tangent.x, 0);

    // The station by the track, its platform and the town behind it.
    {
        const Vec3 at = OnGround(townTrack.p.x + inward.x * 1100, townTrack.p.y + inward.y * 1100);
        CMeshBuilder roof;
        Building("City_vokzal01", House(at, 2400, 900, 700, along, &roof), "Wall_windows");
        Building("City_vokzal_roof01", roof, "Roof_tiles");
        CMeshBuilder platform;
        platform.AddBox(townTrack.p + inward * 420 + V3(0, 0, -120), 4000, 300, 120, 300, along);
        platform.MapObjectLight(-120, 120);
        Building("City_platform01", platform, "Stone_wall");
    }
    for (int k = 0; k < 8; ++k)
    {
        const float a = k * 0.8f;
        const Vec3 at = OnGround(town.x + std::cos(a) * (2500 + 700 * (k % 3)), town.y + std::sin(a) * (2500 + 700 * (k % 3)));
        CMeshBuilder roof;
        Building(Fmt("City_house%02i", k + 1), House(at, 800 + 150 * (k % 3), 700, 500 + 120 * (k % 2), a, &roof),
                 k % 2 ? "Bricks" : "Wall_windows");
        Building(Fmt("City_house_roof%02i", k + 1), roof, "Roof_tiles");
    }
    auto props = [&](const std::string& name, const Vec3& at, float sx, float sy, float sz, const std::string& tex, int count) {
        CMeshBuilder m;
        for (int i = 0; i < count; ++i)
            m.AddBox(at + V3(float(i % 3) * sx * 1.2f, float(i / 3) * sy * 1.2f, -10), sx, sy, sz, 150);
        m.MapObjectLight(at.z - 10, sz);
        Building(name, m, tex);
    };
    const Vec3 plat = townTrack.p + inward * 420;
    props("City_Bags01", OnGround(plat.x + 300, plat.y + 300, 0) + V3(0, 0, 0), 80, 50, 40, "Planks", 6);
    props("City_barrels01", OnGround(plat.x - 900, plat.y + 250), 60, 60, 90, "Rust_metal", 5);
    props("City_tatchka01", OnGround(plat.x - 400, plat.y + 600), 200, 120, 80, "Planks", 1);
    props("City_strelka01", m_World.Place(L * 0.53f, 400), 30, 30, 120, "Paint_red", 1);
    {
        CMeshBuilder road = GroundGrid(town.x - 600, town.y - 6000, town.x + 600, town.y + 6000, 2, 16, 1200, 12,
                                       [](float, float) { return true; });
        road.MapObjectLight(-100, 100);
        m_Scene.Object("City_road02", kSceneRootName, town, road, LitMaterial("Road"));
    }

    // The tunnel through the hill: a vaulted tube with stone portals.
    {
        const float half = m_World.TunnelHalfLength();
        CMeshBuilder tube;
        const int steps = 24;
        for (int i = 0; i < steps; ++i)
        {
            const TrackPoint a = m_World.TrackAt(m_World.TunnelDistance() - half + 2 * half * i / steps);
            const TrackPoint b = m_World.TrackAt(m_World.TunnelDistance() - half + 2 * half * (i + 1) / steps);
            const Vec3 sa = V3(a.tangent.y, -a.tangent.x, 0), sb = V3(b.tangent.y, -b.tangent.x, 0);
            const int arch = 10;
            for (int k = 0; k < arch; ++k)
            {
                auto ring = [](const Vec3& p, const Vec3& s, float t) {
                    const float ang = kPi * t;
                    return p + s * (-380 * std::cos(ang)) + V3(0, 0, -100 + 650 * std::sin(ang) + (t > 0 && t < 1 ? 0 : 0));
                };
                const float t0 = float(k) / arch, t1 = float(k + 1) / arch;
                Vertex v[4];
                v[0].p = ring(a.p, sa, t0);
                v[1].p = ring(a.p, sa, t1);
                v[2].p = ring(b.p, sb, t1);
                v[3].p = ring(b.p, sb, t0);
                const Vec3 nrm = Normalize(Cross(v[3].p - v[0].p, v[1].p - v[0].p));
                for (int q = 0; q < 4; ++q)
                {
                    v[q].n = nrm;
                    v[q].u = (q == 0 || q == 3 ? t0 : t1) * 4;
                    v[q].v = (q < 2 ? i : i + 1) * 0.8f;
                }
                // Facing the inside.
                tube.AddTriangle(v[0], v[2], v[1]);
                tube.AddTriangle(v[0], v[3], v[2]);
            }
        }
        for (int end = -1; end <= 1; end += 2)
        {
            const TrackPoint p = m_World.TrackAt(m_World.TunnelDistance() + end * half);
            const Vec3 s = V3(p.tangent.y, -p.tangent.x, 0);
            for (int side = -1; side <= 1; side += 2)
                tube.AddBox(p.p + s * (side * 900.0f) + V3(0, 0, -150), 1000, 260, 1100, 300,
                            std::atan2(s.y, s.x));
            tube.AddBox(p.p + V3(0, 0, 560), 2800, 260, 500, 300, std::atan2(s.y, s.x) + 0);
        }
        tube.MapObjectLight(-150, 1200);
        Building("City_tunnel01", tube, "Stone_wall");
        // The hill hides what lies behind it.
        GeomObjectRecord occ;
        const TrackPoint mid = m_World.TrackAt(m_World.TunnelDistance());
        const Vec3 s = V3(mid.tangent.y, -mid.tangent.x, 0);
        const float m[16] = {s.x, s.y, 0, 0, 0, 0, 1, 0, -mid.tangent.x, -mid.tangent.y, 0, 0, mid.p.x, mid.p.y, 800, 1};
        occ.node = ArchiveTool::MakeNode(kSceneRootName, m);
        occ.frames.resize(1);
        CMeshBuilder quad;
        quad.AddQuad(V3(-9000, -100, 0), V3(9000, -100, 0), V3(9000, 2800, 0), V3(-9000, 2800, 0));
        // Never drawn, but given a plain material so effect choice finds one.
        MaterialSpec plain;
        plain.diffuse = "Rock";
        m_Scene.Material("Mat_Occluder", plain);
        occ.frames[0].meshes = quad.Build(0x112, "Mat_Occluder");
        m_Scene.ObjectRecord("Occluder01", occ);
    }

    // The bridge over the river: deck, girders and piers.
    {
        CMeshBuilder bridge;
        const float half = 6500;
        for (int i = 0; i < 13; ++i)
        {
            const TrackPoint a = m_World.TrackAt(m_World.BridgeDistance() - half + 2 * half * i / 13);
            const float rot = std::atan2(a.tangent.y, a.tangent.x);
            bridge.AddBox(a.p + V3(0, 0, -200), 2 * half / 13 + 20, 520, 170, 400, rot);
            for (int side = -1; side <= 1; side += 2)
                bridge.AddBox(a.p + V3(a.tangent.y * side * 250, -a.tangent.x * side * 250, -30), 2 * half / 13, 20, 110, 200, rot);
            if (i % 3 == 0)
            {
                const float ground = m_World.Height(a.p.x, a.p.y);
                if (ground < -400)
                    bridge.AddBox(V3(a.p.x, a.p.y, ground - 200), 260, 420, -200 - ground + 200, 300, rot);
            }
        }
        bridge.MapObjectLight(-1800, 1800);
        Building("City_bridge01", bridge, "Rust_metal");
        // The river in its valley.
        CMeshBuilder water;
        const Vec3 r = m_World.RiverDir(), rp = m_World.RiverPoint();
        const Vec3 across = V3(-r.y, r.x, 0);
        water.AddQuad(rp - r * 52000 - across * 3500 + V3(0, 0, -1350), rp + r * 52000 - across * 3500 + V3(0, 0, -1350),
                      rp + r * 52000 + across * 3500 + V3(0, 0, -1350), rp - r * 52000 + across * 3500 + V3(0, 0, -1350),
                      20, 2);
        water.MapPlanarLight();
        Texture("Water");
        MaterialSpec ws;
        ws.diffuse = "Water";
        ws.lightMap = "LM_Objects";
        ws.specular = 0.5f;
        m_Scene.Material("Mat_Water", ws);
        m_Scene.Object("River01", kSceneRootName, rp, water, "Mat_Water");
        // The watermill downstream.
        const Vec3 mill = OnGround(rp.x + r.x * 22000 + across.x * 3200, rp.y + r.y * 22000 + across.y * 3200);
        CMeshBuilder roof;
        Building("Watermill_house01", House(mill, 900, 700, 600, std::atan2(r.y, r.x), &roof), "Planks");
        Building("Watermill_roof01", roof, "Roof_tiles");
        CMeshBuilder wheel;
        const Vec3 wc = mill - across * 600 + V3(0, 0, 100);
        for (int k = 0; k < 12; ++k)
        {
            const float a = 2 * kPi * k / 12;
            const Vec3 rim = wc + r * (std::cos(a) * 350) + V3(0, 0, std::sin(a) * 350);
            wheel.AddTube(wc, rim, 15, 4, 100);
            wheel.AddBox(rim, 60, 160, 25, 100, std::atan2(across.y, across.x));
        }
        wheel.MapObjectLight(wc.z - 400, 800);
        Building("Watermill_wheel01", wheel, "Planks");
        CMeshBuilder foot;
        const Vec3 fb = rp + r * 30000;
        foot.AddBox(V3(fb.x, fb.y, -1250), 7000, 250, 40, 200, std::atan2(across.y, across.x));
        foot.MapObjectLight(-1250, 40);
        Building("Watermill_bridge01", foot, "Planks");
    }

    // The factory: halls, a chimney, a fence and a footbridge over the track.
    {
        const TrackPoint f = m_World.TrackAt(L * 0.7f);
        const float rot = std::atan2(f.tangent.y, f.tangent.x);
        const Vec3 out = V3(f.tangent.y, -f.tangent.x, 0);
        for (int k = 0; k < 3; ++k)
        {
            const Vec3 at = OnGround(f.p.x + out.x * (2600 + 1800 * k) + f.tangent.x * 1500 * k,
                                     f.p.y + out.y * (2600 + 1800 * k) + f.tangent.y * 1500 * k);
            CMeshBuilder roof;
            Building(Fmt("Factory_building%02i", k + 1), House(at, 2200, 1300, 900, rot, &roof), "Bricks");
            Building(Fmt("Factory_roof%02i", k + 1), roof, "Rust_metal");
        }
        CMeshBuilder chimney;
        const Vec3 cp = OnGround(f.p.x + out.x * 6000, f.p.y + out.y * 6000);
        chimney.AddCylinder(cp + V3(0, 0, -100), 260, 160, 4200, 16, 400);
        chimney.MapObjectLight(cp.z - 100, 4300);
        Building("Factory_chimney01", chimney, "Bricks");
        CMeshBuilder fence;
        for (int i = -8; i <= 8; ++i)
        {
            const Vec3 p = OnGround(f.p.x + out.x * 1500 + f.tangent.x * i * 400, f.p.y + out.y * 1500 + f.tangent.y * i * 400);
            fence.AddBox(p + V3(0, 0, -20), 400, 12, 220, 200, rot);
        }
        fence.MapObjectLight(f.p.z - 100, 300);
        Building("Factory_zabor01", fence, "Planks");
        CMeshBuilder span;
        const TrackPoint g = m_World.TrackAt(L * 0.72f);
        const float srot = std::atan2(-g.tangent.x, g.tangent.y);
        span.AddBox(g.p + V3(0, 0, 700), 2400, 260, 60, 200, srot);
        for (int side = -1; side <= 1; side += 2)
            span.AddBox(g.p + V3(g.tangent.y * side * 1100, -g.tangent.x * side * 1100, -100), 100, 100, 800, 200, srot);
        span.MapObjectLight(-100, 860);
        Building("Factory_bridge01", span, "Rust_metal");
        props("Factory_strelka01", m_World.Place(L * 0.69f, 420), 30, 30, 120, "Paint_red", 1);
    }

    // The farm, the windmill with its turning fan.
    {
        const Vec3 farm = m_World.Place(L * 0.42f, 9000);
        CMeshBuilder roof, roof2;
        Building("Farm_house01", House(farm, 1000, 800, 550, 0.3f, &roof), "Wall_windows");
        Building("Farm_house_roof01", roof, "Roof_tiles");
        Building("Farm_barn01", House(farm + V3(2200, 600, 0), 1600, 1000, 700, 0.3f, &roof2), "Planks");
        Building("Farm_barn_roof01", roof2, "Planks");
        CMeshBuilder fence;
        for (int i = 0; i < 24; ++i)
        {
            const float a = 2 * kPi * i / 24;
            const Vec3 p = OnGround(farm.x + std::cos(a) * 4200, farm.y + std::sin(a) * 4200);
            fence.AddBox(p + V3(0, 0, -20), 1100, 10, 130, 200, a + kPi / 2);
        }
        fence.MapObjectLight(farm.z - 200, 400);
        Building("Farm_fence01", fence, "Planks");

        const Vec3 mill = m_World.Place(L * 0.47f, 7000);
        CMeshBuilder tower, cap;
        tower.AddCylinder(mill + V3(0, 0, -100), 420, 300, 1300, 8, 400);
        tower.MapObjectLight(mill.z - 100, 1300);
        Building("Mill_tower01", tower, "Planks");
        cap.AddCylinder(mill + V3(0, 0, 1200), 360, 40, 420, 8, 300);
        cap.MapObjectLight(mill.z + 1200, 420);
        Building("Mill_cap01", cap, "Roof_tiles");
        // The fan turns about its local Z, which points out of the tower.
        CMeshBuilder fan;
        for (int b = 0; b < 4; ++b)
        {
            const float a = kPi / 2 * b;
            const Vec3 dir = V3(std::cos(a), std::sin(a), 0), side = V3(-std::sin(a), std::cos(a), 0);
            fan.AddQuad(dir * 80 - side * 70, dir * 900 - side * 110, dir * 900 + side * 110, dir * 80 + side * 70, 1, 3);
            fan.AddQuad(dir * 80 + side * 70, dir * 900 + side * 110, dir * 900 - side * 110, dir * 80 - side * 70, 1, 3);
        }
        fan.AddCylinder(V3(0, 0, -40), 70, 70, 80, 8, 100);
        for (Vertex& v : fan.Vertices())
        {
            v.u2 = 0.5f;
            v.v2 = 0.3f;
        }
        GeomObjectRecord rec;
        const Vec3 hub = mill + V3(0, -480, 1350);
        const float m[16] = {1, 0, 0, 0, 0, 0, 1, 0, 0, -1, 0, 0, hub.x, hub.y, hub.z, 1};
        rec.node = ArchiveTool::MakeNode(kSceneRootName, m);
        rec.frames.resize(1);
        rec.frames[0].meshes = fan.Build(0x212, LitMaterial("Planks"));
        m_Scene.ObjectRecord("Mill_winddrive_fan01", rec);
    }

    // The ore workings: a shed, a hut, a tub, timber frames, scrap.
    {
        const TrackPoint o = m_World.TrackAt(L * 0.86f);
        const Vec3 out = V3(o.tangent.y, -o.tangent.x, 0);
        const float rot = std::atan2(o.tangent.y, o.tangent.x);
        auto at = [&](float a, float s) { return OnGround(o.p.x + out.x * s + o.tangent.x * a, o.p.y + out.y * s + o.tangent.y * a); };
        CMeshBuilder roof;
        Building("Ore_building04", House(at(0, 2600), 1800, 1200, 800, rot, &roof), "Planks");
        Building("Ore_building_roof04", roof, "Rust_metal");
        Building("Ore_budka01", House(at(-2500, 1400), 300, 300, 260, rot, nullptr), "Planks");
        CMeshBuilder tub;
        tub.AddCylinder(at(1800, 900) + V3(0, 0, -20), 200, 240, 180, 12, 200);
        tub.MapObjectLight(o.p.z - 100, 300);
        Building("Ore_tub01", tub, "Rust_metal");
        CMeshBuilder frame;
        const Vec3 fp = at(2800, 2200);
        for (int i = 0; i < 4; ++i)
            frame.AddBox(fp + V3((i % 2) * 500.0f - 250, (i / 2) * 500.0f - 250, -50), 40, 40, 1400, 200, rot);
        frame.AddBox(fp + V3(0, 0, 1300), 600, 600, 60, 200, rot);
        frame.MapObjectLight(fp.z - 50, 1400);
        Building("Ore_woodstruct02", frame, "Planks");
        props("Ore_rustgarbage01", at(-1200, 3300), 120, 90, 60, "Rust_metal", 7);
        props("Ore_woodgarbage01", at(-400, 3600), 200, 30, 30, "Planks", 8);
        CMeshBuilder heap;
        heap.AddCylinder(at(-3500, 3500) + V3(0, 0, -60), 1500, 100, 900, 14, 500, false);
        heap.MapObjectLight(o.p.z - 60, 900);
        Building("Ore_heap01", heap, "Rock");
    }

    // Red stone piles along the line.
    const float stones[4][2] = {{0.12f, 900}, {0.33f, -1100}, {0.61f, 1000}, {0.8f, -900}};
    const int stoneIds[4] = {3, 6, 7, 8};
    Texture("Rock");
    for (int k = 0; k < 4; ++k)
    {
        CMeshBuilder pile;
        const Vec3 p = m_World.Place(L * stones[k][0], stones[k][1]);
        for (int i = 0; i < 5; ++i)
            pile.AddCylinder(p + V3(m_Rng.Range(-200, 200), m_Rng.Range(-200, 200), -40), m_Rng.Range(60, 130), 20,
                             m_Rng.Range(60, 140), 6, 150);
        for (Vertex& v : pile.Vertices())
            v.u *= 1.0f;
        pile.MapObjectLight(p.z - 40, 140);
        MaterialSpec red;
        red.diffuse = "Rock";
        red.lightMap = "LM_Objects";
        red.r = 0.9f;
        red.g = 0.6f;
        red.b = 0.5f;
        m_Scene.Material("Mat_Red_stones", red);
        m_Scene.Object(Fmt("Red_stones%02i", stoneIds[k]), kSceneRootName, p, pile, "Mat_Red_stones");
    }

    // Dirt roads from the town out across the land.
    for (int r = 0; r < 2; ++r)
    {
        CMeshBuilder road;
        Vec3 p = town;
        float heading = r ? 2.4f : -0.6f;
        for (int i = 0; i < 30; ++i)
        {
            const float nextHeading = heading + 0.25f * (Fbm(i * 0.3f, float(r), 640, 2) - 0.5f);
            const Vec3 a = p, b = p + V3(std::cos(nextHeading), std::sin(nextHeading), 0) * 3000;
            const Vec3 sa = V3(-std::sin(heading), std::cos(heading), 0) * 300;
            const Vec3 sb = V3(-std::sin(nextHeading), std::cos(nextHeading), 0) * 300;
            Vertex v[4];
            v[0].p = OnGround(a.x - sa.x, a.y - sa.y, 15);
            v[1].p = OnGround(a.x + sa.x, a.y + sa.y, 15);
            v[2].p = OnGround(b.x + sb.x, b.y + sb.y, 15);
            v[3].p = OnGround(b.x - sb.x, b.y - sb.y, 15);
            v[0].u = v[3].u = 0;
            v[1].u = v[2].u = 1;
            v[0].v = v[1].v = i * 5.0f;
            v[2].v = v[3].v = (i + 1) * 5.0f;
            for (Vertex& x : v)
                x.n = m_World.Normal(x.p.x, x.p.y);
            road.AddTriangle(v[0], v[1], v[2]);
            road.AddTriangle(v[0], v[2], v[3]);
            p = b;
            heading = nextHeading;
        }
        for (Vertex& v : road.Vertices())
        {
            v.u2 = 0.94f;
            v.v2 = 0.9f;
        }
        m_Scene.Object(Fmt("Dirt_road%02i", r + 1), kSceneRootName, town, road, LitMaterial("Road"));
    }

    // Painted planes: worn ground under the station and the ore shed.
    Texture("Shadow_blob");
    MaterialSpec decal;
    decal.diffuse = "Shadow_blob";
    decal.lightMap = "LM_Objects";
    m_Scene.Material("Mat_Paint_plane", decal);
    const Vec3 decals[2] = {townTrack.p + inward * 1100, m_World.Place(L * 0.86f, 2600)};
    for (int k = 0; k < 2; ++k)
    {
        CMeshBuilder q = GroundGrid(decals[k].x - 1600, decals[k].y - 1200, decals[k].x + 1600, decals[k].y + 1200, 4, 4,
                                    1, 6, [](float, float) { return true; });
        for (Vertex& v : q.Vertices())
        {
            v.u = v.u2;
            v.v = v.v2;
            v.u2 = 0.94f;
            v.v2 = 0.9f;
        }
        m_Scene.Object(Fmt("Paint_plane%02i", k + 1), kSceneRootName, decals[k], q, "Mat_Paint_plane");
    }
}

void CLandscape::Vegetation()
{
    Texture("Bark");
    Texture("Fir_card");
    Texture("Fir_card_a");
    Texture("Leaf_card");
    Texture("Leaf_card_a");
    Texture("Bush_card");
    Texture("Bush_card_a");
    auto cardMaterial = [&](const std::string& name, const std::string& card) {
        MaterialSpec s;
        s.diffuse = card;
        s.alphaMask = card + "_a";
        s.lightMap = "LM_Objects";
        s.twoSided = true;
        s.specular = 0;
        m_Scene.Material(name, s);
    };
    cardMaterial("Mat_Fir", "Fir_card");
    cardMaterial("Mat_Leaves", "Leaf_card");
    cardMaterial("Mat_Bush", "Bush_card");
    const std::string bark = LitMaterial("Bark");

    // Is the ground here free for a tree: off the track, the roads and the town.
    auto free = [&](float x, float y) {
        const float gap = m_World.TrackGap(x, y);
        const Vec3 t = m_World.Town();
        return gap > 1800 && Length(V3(x - t.x, y - t.y, 0)) > 9000 && m_World.Height(x, y) > -600;
    };
    // Crossed cards, v = 0 at the tip and 1 at the base (the sway weight).
    auto crossed = [](CMeshBuilder& m, const Vec3& base, float width, float height, float turn) {
        for (int k = 0; k < 2; ++k)
        {
            const float a = turn + kPi / 2 * k;
            const Vec3 s = V3(std::cos(a), std::sin(a), 0) * (width / 2);
            m.AddQuad(base - s, base + s, base + s + V3(0, 0, height), base - s + V3(0, 0, height));
        }
    };

    // Nine fir stands and two groves of broad-leaved trees.
    for (int g = 0; g < 11; ++g)
    {
        const bool fir = g < 9;
        const float d = m_World.TrackLength() * (0.05f + 0.087f * g);
        const Vec3 centre = m_World.Place(d, (g % 2 ? -1.0f : 1.0f) * (6000 + 1500 * (g % 3)));
        CMeshBuilder crowns, trunks;
        int planted = 0;
        for (int attempt = 0; attempt < 400 && planted < (fir ? 60 : 30); ++attempt)
        {
            const float x = centre.x + m_Rng.Range(-5000, 5000), y = centre.y + m_Rng.Range(-5000, 5000);
            if (!free(x, y))
                continue;
            ++planted;
            const float h = m_Rng.Range(900, 1700) * (fir ? 1.0f : 0.8f);
            const Vec3 base = OnGround(x, y, -20);
            trunks.AddCylinder(base, h * 0.025f, h * 0.012f, h * (fir ? 0.9f : 0.55f), 6, 200, false);
            if (fir)
            {
                crossed(crowns, base + V3(0, 0, h * 0.12f), h * 0.55f, h * 0.9f, m_Rng.Range(0, kPi));
            }
            else
            {
                for (int c = 0; c < 3; ++c)
                    crossed(crowns, base + V3(m_Rng.Range(-120, 120), m_Rng.Range(-120, 120), h * (0.35f + 0.15f * c)),
                            h * (0.8f - 0.15f * c), h * 0.55f, m_Rng.Range(0, kPi));
            }
        }
        crowns.MapObjectLight(centre.z, 1700);
        trunks.MapObjectLight(centre.z, 1700);
        const std::string crownName = fir ? Fmt("Fir_branch01_%02i", g + 1) : Fmt("Tree_branch%02i", g - 8);
        const std::string trunkName = fir ? Fmt("Fir_stvol01_%02i", g + 1) : Fmt("Tree_stvol%02i", g - 8);
        m_Scene.Object(crownName, kSceneRootName, centre, crowns, fir ? "Mat_Fir" : "Mat_Leaves");
        m_Scene.Object(trunkName, kSceneRootName, centre, trunks, bark);
    }

    // Forest belts towards the edge of the land.
    const int belts[3] = {1, 4, 9};
    for (int b = 0; b < 3; ++b)
    {
        CMeshBuilder belt;
        const float a0 = 0.3f + b * 2.1f;
        for (int i = 0; i < 260; ++i)
        {
            const float a = a0 + m_Rng.Range(0, 1.2f), r = m_Rng.Range(185000, 280000);
            const Vec3 base = OnGround(r * std::cos(a), r * std::sin(a), -100);
            crossed(belt, base, m_Rng.Range(1500, 2500), m_Rng.Range(2500, 3800), m_Rng.Range(0, kPi));
        }
        belt.MapObjectLight(0, 4000);
        m_Scene.Object(Fmt("Les%02i", belts[b]), kSceneRootName, V3(0, 0, 0), belt, "Mat_Fir");
    }

    // Old broad-leaved trees by the farm.
    {
        CMeshBuilder crowns, trunks;
        const Vec3 farm = m_World.Place(m_World.TrackLength() * 0.42f, 9000);
        for (int i = 0; i < 5; ++i)
        {
            const Vec3 base = OnGround(farm.x - 3000 + 1300 * i, farm.y - 3200 + 400 * (i % 2), -20);
            trunks.AddCylinder(base, 70, 35, 1200, 8, 200, false);
            for (int c = 0; c < 4; ++c)
                crossed(crowns, base + V3(0, 0, 600 + 250 * c), 1700 - 250 * c, 900, 0.7f * c);
        }
        crowns.MapObjectLight(farm.z, 2000);
        trunks.MapObjectLight(farm.z, 2000);
        m_Scene.Object("Old_trees01", kSceneRootName, farm, crowns, "Mat_Leaves");
        m_Scene.Object("Old_trees_stvol01", kSceneRootName, farm, trunks, bark);
    }

    // Billboard bushes and tufts along the line: a card facing local +Y.
    for (int i = 0; i < 24; ++i)
    {
        const bool bush = i % 2 == 0;
        const Vec3 p = m_World.Place(m_World.TrackLength() * (0.5f + 0.012f * i), (i % 4 < 2 ? 1 : -1) * m_Rng.Range(700, 1500));
        const float w = bush ? 260.0f : 120.0f, h = bush ? 200.0f : 80.0f;
        CMeshBuilder card;
        card.AddQuad(V3(w / 2, 0, -10), V3(-w / 2, 0, -10), V3(-w / 2, 0, h), V3(w / 2, 0, h));
        for (Vertex& v : card.Vertices())
        {
            v.u2 = 0.5f;
            v.v2 = 0.3f;
        }
        m_Scene.Object(Fmt(bush ? "bb_Bush%02i" : "bb_Grass%02i", i / 2 + 1), kSceneRootName, p, [&] {
            CMeshBuilder local = card;
            local.Translate(p);
            return local;
        }(), "Mat_Bush");
    }
}

void CLandscape::Grass(LandscapeOutput& out)
{
    // One clump of blades: crossed cards, roots at v = 1, at about the size
    // it grows to (the copies' scale also weighs the wind in the shader). The blades' colour
    // and their mask are merged into the one map the grass draws with.
    Texture("Grass_blades");
    Texture("Grass_blades_a");
    MaterialSpec blade;
    blade.diffuse = "Grass_blades";
    blade.alphaMask = "Grass_blades_a";
    blade.cutMask = true;
    blade.twoSided = true;
    blade.specular = 0;
    m_Scene.Material("Mat_Grass_blades", blade);
    CMeshBuilder clump;
    for (int k = 0; k < 3; ++k)
    {
        const float a = kPi / 3 * k;
        const Vec3 s = V3(std::cos(a), std::sin(a), 0) * 24.0f;
        clump.AddQuad(V3(0, 0, 0) - s, s, s + V3(0, 0, 32.0f), V3(0, 0, 32.0f) - s);
    }
    for (Vertex& v : clump.Vertices())
        v.n = V3(0, 0, 1);
    m_Scene.Object("Grass_Sample01", kSceneRootName, V3(0, 0, 0), clump, "Mat_Grass_blades", false);

    // Meadow patches along the line, each with its density map. A patch
    // reaches over the track, so that the verges on both sides grow grass
    // up to the foot of the ballast, where the train's shadow falls. Their
    // places along the line are fractions of its length.
    const float along[9] = {0.13f, 0.22f, 0.35f, 0.46f, 0.57f, 0.68f, 0.79f, 0.90f, 1.01f};
    for (int n = 1; n <= 9; ++n)
    {
        const float d = m_World.TrackLength() * along[n - 1];
        const Vec3 c = m_World.Place(d, (n % 2 ? 1.0f : -1.0f) * 900);
        const float hw = 2400 + 300 * (n % 3), hh = 2000 + 400 * (n % 2);
        const float x0 = c.x - hw, y0 = c.y - hh, x1 = c.x + hw, y1 = c.y + hh;
        const std::string name = Fmt("Grass_Surface%02i", n);
        CMeshBuilder patch = GroundGrid(x0, y0, x1, y1, 12, 10, 2500, 4, [](float, float) { return true; });
        patch.MapPlanarLight();
        m_Scene.Bitmap("LM_" + name, [&] { return BakeGround(x0, y0, x1, y1, 64, true); });
        MaterialSpec spec;
        spec.diffuse = "Grass";
        spec.lightMap = "LM_" + name;
        spec.specular = 0;
        m_Scene.Material("Mat_" + name, spec);
        m_Scene.Object(name, kSceneRootName, V3(x0, y0, 0), patch, "Mat_" + name);
        // Density in red: a band of grass along each verge from the foot of
        // the ballast, clumps of it further out, none on the track bed.
        const int size = 128;
        CImage density(size, size, 3);
        for (int j = 0; j < size; ++j)
            for (int i = 0; i < size; ++i)
            {
                const float x = x0 + (x1 - x0) * (i + 0.5f) / size, y = y1 - (y1 - y0) * (j + 0.5f) / size;
                const float gap = m_World.TrackGap(x, y);
                const float verge = 0.85f * SmoothStep(1500, 900, gap);
                const float clumps = SmoothStep(0.35f, 0.7f, Fbm(x / 1500, y / 1500, 650 + n, 3));
                // Thinning out unevenly towards the patch's edges.
                const float edge = std::min(std::min(x - x0, x1 - x), std::min(y - y0, y1 - y));
                const float fade = SmoothStep(0, 900, edge - 500 * (Fbm(x / 700, y / 700, 670 + n, 2) - 0.5f));
                const float v = std::max(verge, clumps) * fade * SmoothStep(kBallastFoot - 40, kBallastFoot, gap);
                density.Set(i, j, Rgb{v, v * 0.5f, 0});
            }
        out.files.push_back({name + ".jpg", EncodeJpeg(density, 92)});
    }
}

void CLandscape::Markers()
{
    const Vec3 sun = V3(0, 0, 60000);
    m_Scene.Dummy("Dummy_light01", kSceneRootName, sun + m_World.ToSun() * 10000);
    m_Scene.Dummy("Dummy_light02", kSceneRootName, sun);
    const float L = m_World.TrackLength();
    const struct
    {
        float at;
        int speed, seconds;
    } marks[8] = {{0.02f, 2300, 7}, {0.2f, 2700, 12}, {0.33f, 3000, 15}, {0.45f, 2700, 11},
                  {0.53f, 2500, 10}, {0.6f, 2300, 9}, {0.72f, 3000, 17}, {0.9f, 2300, 9}};
    for (int i = 0; i < 8; ++i)
    {
        char name[64];
        std::snprintf(name, sizeof(name), "Dummy_speed%02i_%i_%i", i + 1, marks[i].speed, marks[i].seconds);
        m_Scene.Dummy(name, kSceneRootName, m_World.TrackAt(L * marks[i].at).p);
    }
    for (int k = 0; k < 3; ++k)
        m_Scene.Dummy(Fmt("Dummy_shadow12000_%02i", k + 1), kSceneRootName,
                      m_World.TrackAt(m_World.TunnelDistance() + (k - 1) * 8000.0f).p + V3(0, 0, 200));

    LightRecord lamp;
    float m[16];
    const Vec3 at = m_World.Town() + V3(0, 0, 800);
    TranslationMatrix(m, at);
    lamp.node = ArchiveTool::MakeNode(kSceneRootName, m);
    lamp.light.type = 1;
    lamp.light.diffuse = {1.0f, 0.85f, 0.6f, 1};
    lamp.light.position[0] = at.x;
    lamp.light.position[1] = at.y;
    lamp.light.position[2] = at.z;
    lamp.light.range = 6000;
    lamp.light.attenuation0 = 1;
    lamp.light.attenuation1 = 0.0005f;
    m_Scene.Writer().AddLight("Omni_town01", lamp);
    EnvironmentRecord env;
    env.red = 0x50;
    env.green = 0x58;
    env.blue = 0x60;
    env.excludedObjects = {"Sky01"};
    m_Scene.Writer().AddEnvironment("Env", env);
}

void CLandscape::Cameras(LandscapeOutput& out)
{
    const float L = m_World.TrackLength();
    auto camera = [&](const std::string& name, const Vec3& eye0, const Vec3& eye1, const Vec3& target0, const Vec3& target1) {
        CameraRecord cam;
        float m0[16], m1[16];
        CameraMatrix(m0, eye0, target0);
        CameraMatrix(m1, eye1, target1);
        cam.node = ArchiveTool::MakeNode(kSceneRootName, m0);
        cam.node.animationStartMs = 0;
        cam.node.animationEndMs = 10000;
        NodeKey end;
        end.timeMs = 10000;
        std::copy(m1, m1 + 16, end.matrix);
        cam.node.keys.push_back(end);
        ArchiveTool::PerspectiveFovLH(cam.projection, 0.75f, 4.0f / 3.0f, 500, 1200000);
        m_Scene.Writer().AddCamera(name, cam);
    };
    // Placed cameras: beside the line, watching the train come and go.
    const int placed = 16;
    for (int i = 0; i < placed; ++i)
    {
        const float d = L * (i + 0.3f) / placed;
        const float side = (i % 2 ? -1.0f : 1.0f) * (1800 + 600 * (i % 3));
        Vec3 eye = m_World.Place(d, side);
        eye.z = std::max(eye.z, 0.0f) + 250 + 150 * (i % 3);
        const Vec3 look = m_World.TrackAt(d - 4000).p + V3(0, 0, 200);
        const Vec3 look1 = m_World.TrackAt(d - 2500).p + V3(0, 0, 150);
        const std::string name = Fmt("Camera_L_D_%02i_%02i", i / 4 + 1, i + 1);
        camera(name, eye, eye + V3(0, 0, 80), look, look1);
        AddCameraArea(out.tuning, name, std::max(d - 12000, 0.0f), std::min(d + 2500, L), 12, 1);
    }
    // Tracking cameras all round the loop, a little way off the line.
    const int tracking = 32;
    for (int i = 0; i < tracking; ++i)
    {
        const float d = L * (i + 0.6f) / tracking;
        const float side = (i % 2 ? 1.0f : -1.0f) * (3500 + 1500 * (i % 4));
        Vec3 eye = m_World.Place(d, side);
        eye.z = std::max(eye.z, 0.0f) + 400 + 300 * (i % 3);
        // Facing back along the line, towards the oncoming train (direction 1).
        const Vec3 look = m_World.TrackAt(d - 6000).p;
        camera(Fmt("Camera_L_T_%02i_%02i", i / 8 + 1, i + 1), eye, eye + V3(0, 0, 60), look, look);
    }
}

LandscapeOutput CLandscape::Build()
{
    LandscapeOutput out;
    m_Scene.Bitmap("LM_Objects", [&] { return BakeObjectLight(); });
    Ground();
    Horizon();
    Track();
    Buildings();
    Vegetation();
    Grass(out);
    Markers();
    Cameras(out);
    return out;
}
} // namespace

std::string TuningLine(const std::string& name, float value)
{
    char buf[256];
    std::snprintf(buf, sizeof(buf), "%s %f", name.c_str(), value);
    return buf;
}

void AddCameraArea(std::vector<std::string>& lines, const std::string& camera, float start, float end, float period,
                   int direction)
{
    const std::string k = "RandomCameraController.Cameras." + camera;
    lines.push_back(TuningLine(k + ".Enabled", 1));
    lines.push_back(TuningLine(k + ".NumEnabledAreas", 1));
    const std::string a = k + ".EnabledAreas.Area00";
    lines.push_back(TuningLine(a + ".StartPosition", start));
    lines.push_back(TuningLine(a + ".EndPosition", end));
    lines.push_back(TuningLine(a + ".Period", period));
    lines.push_back(TuningLine(a + ".Direction", float(direction)));
}

LandscapeOutput BuildLandscape(const CWorld& world, ArchiveTool::CArchiveWriter& writer)
{
    return CLandscape(world, writer).Build();
}
} // namespace SceneContent
