#include "CullingScene.h"

#include <cmath>

#include "TestScene.h"

using namespace FileStorage;
using namespace ArchiveTool;

namespace CullingScene
{
namespace
{
struct Vertex
{
    float pos[3], normal[3], uv[2];
};
struct SkinnedVertex
{
    float pos[3], weights[3];
    uint8_t bones[4];
    float normal[3], uv[2];
};
constexpr uint32_t kFvf = 0x112;         // position, normal, one set of two coordinates
constexpr uint32_t kSkinnedFvf = 0x111C; // position, three weights and four bone bytes, normal, one set

// A rectangle facing +z from (x0, y0) to (x1, y1) at depth z, cut into n x 1
// cells along x; u runs along x, v down y.
MeshRecord Strip(float x0, float y0, float x1, float y1, float z, int n, const std::string& material)
{
    std::vector<Vertex> v;
    std::vector<uint16_t> indices;
    for (int i = 0; i <= n; ++i)
    {
        const float u = float(i) / float(n), x = x0 + (x1 - x0) * u;
        v.push_back({{x, y1, z}, {0, 0, 1}, {u, 0}});
        v.push_back({{x, y0, z}, {0, 0, 1}, {u, 1}});
    }
    for (int i = 0; i < n; ++i)
    {
        const uint16_t a = uint16_t(2 * i);
        indices.insert(indices.end(), {a, uint16_t(a + 2), uint16_t(a + 1), uint16_t(a + 1), uint16_t(a + 2),
                                       uint16_t(a + 3)});
    }
    return MakeMesh(kFvf, v.data(), uint16_t(v.size()), indices, material);
}

// A quad facing +z without normals, which tangent frames cannot be made for.
MeshRecord QuadWithoutNormals(float x0, float y0, float x1, float y1, const std::string& material)
{
    struct Plain
    {
        float pos[3], uv[2];
    };
    const Plain v[4] = {{{x0, y1, 0}, {0, 0}}, {{x1, y1, 0}, {1, 0}}, {{x1, y0, 0}, {1, 1}}, {{x0, y0, 0}, {0, 1}}};
    return MakeMesh(0x102, v, 4, {0, 1, 2, 0, 2, 3}, material);
}

NodeRecord NodeAt(float x, float y, float z, const std::string& parent = kSceneRootName)
{
    return MakeNodeAt(parent, x, y, z);
}

MapRecord OneTexture(uint16_t kind, const std::string& bitmap)
{
    MapRecord m;
    m.kind = kind;
    m.textures.push_back({bitmap, 16, 16});
    return m;
}

MaterialRecord Material(std::vector<MapRecord> maps)
{
    MaterialRecord r;
    r.colors.diffuse = {1, 1, 1, 1};
    r.colors.ambient = {1, 1, 1, 1};
    r.twoSided = 1;
    r.maps = std::move(maps);
    return r;
}

uint32_t Gray(uint32_t, uint32_t, uint32_t, uint32_t) { return 0xC0C0C0; }
uint32_t Green(uint32_t, uint32_t, uint32_t, uint32_t) { return 0x28DC28; }
uint32_t Magenta(uint32_t, uint32_t, uint32_t, uint32_t) { return 0xDC28DC; }
uint32_t Cyan(uint32_t, uint32_t, uint32_t, uint32_t) { return 0x28DCDC; }
// Normal map of ridges across u: the left half of each texel pair faces -u,
// the right half +u (both tilted 45 degrees), encoded as 0.5 + n / 2.
uint32_t Ridges(uint32_t x, uint32_t, uint32_t, uint32_t)
{
    return x % 8 < 4 ? 0x2580DA : 0xDA80DA;
}

// A strip from x 41 to 45 at y 1 to 2, its left half bound to "BoneBase"
// (index 0) and its right half to "BoneTip" (index 1).
MeshRecord SkinnedStrip()
{
    std::vector<SkinnedVertex> v;
    std::vector<uint16_t> indices;
    const int n = 8;
    for (int i = 0; i <= n; ++i)
    {
        const float u = float(i) / float(n), x = 41 + 4 * u;
        const uint8_t bone = x < 43.01f ? 0 : 1;
        for (float y : {2.0f, 1.0f})
            v.push_back({{x, y, 0}, {1, 0, 0}, {bone, 255, 255, 255}, {0, 0, 1}, {u, y < 1.5f ? 1.0f : 0.0f}});
    }
    for (int i = 0; i < n; ++i)
    {
        const uint16_t a = uint16_t(2 * i);
        indices.insert(indices.end(), {a, uint16_t(a + 2), uint16_t(a + 1), uint16_t(a + 1), uint16_t(a + 2),
                                       uint16_t(a + 3)});
    }
    MeshRecord mesh = MakeMesh(kSkinnedFvf, v.data(), uint16_t(v.size()), indices, "Skin");
    mesh.bones = {{"BoneBase", 0}, {"BoneTip", 1}};
    return mesh;
}
} // namespace

CArchiveWriter Build()
{
    CArchiveWriter w;
    w.AddBitmap("PanelGray", TestScene::MakeBitmap(16, 16, Gray));
    w.AddBitmap("PanelRidges", TestScene::MakeBitmap(16, 16, Ridges));
    w.AddBitmap("SkinGreen", TestScene::MakeBitmap(16, 16, Green));
    w.AddBitmap("FanMagenta", TestScene::MakeBitmap(16, 16, Magenta));
    w.AddBitmap("MarkCyan", TestScene::MakeBitmap(16, 16, Cyan));

    MaterialRecord bumpy = Material({OneTexture(MAP_DIFFUSE, "PanelGray"), OneTexture(MAP_BUMP, "PanelRidges")});
    w.AddMaterial("Bumpy", bumpy);
    w.AddMaterial("Skin", Material({OneTexture(MAP_DIFFUSE, "SkinGreen")}));
    w.AddMaterial("Fan", Material({OneTexture(MAP_DIFFUSE, "FanMagenta")}));
    w.AddMaterial("Mark", Material({OneTexture(MAP_DIFFUSE, "MarkCyan")}));

    // Bump-mapped panel in world coordinates (its node at the origin).
    w.AddGeomObject("BumpPanel", MakeStaticObject(NodeAt(0, 0, 0), Strip(35, 1, 39, 5, 0, 8, "Bumpy")));

    // The same material on vertices without normals: no tangent frames.
    w.AddGeomObject("FlatBump", MakeStaticObject(NodeAt(0, 0, 0), QuadWithoutNormals(43.5f, 4, 45, 5, "Bumpy")));

    // The skinned strip and its two bones (small quads the skinning hides).
    GeomObjectRecord skin;
    skin.node = NodeAt(0, 0, 0);
    skin.frames.resize(1);
    skin.frames[0].meshes.push_back(SkinnedStrip());
    w.AddGeomObject("SkinStrip", skin);
    w.AddGeomObject("BoneBase", MakeStaticObject(NodeAt(41, 1.5f, 0), Strip(-0.1f, -0.1f, 0.1f, 0.1f, 0, 1, "Skin")));
    w.AddGeomObject("BoneTip", MakeStaticObject(NodeAt(2, 0, 0, "BoneBase"), Strip(-0.1f, -0.1f, 0.1f, 0.1f, 0, 1, "Skin")));

    // The fan: a bar about its own centre.
    w.AddGeomObject("winddrive_fan", MakeStaticObject(NodeAt(42.5f, -3.5f, 0), Strip(-1.5f, -0.25f, 1.5f, 0.25f, 0, 2, "Fan")));

    // An occluder above a box that lies wholly in its shadow from the eye.
    w.AddGeomObject("WallOccluder", MakeStaticObject(NodeAt(38, -3, 3), Strip(-2, -2, 2, 2, 0, 1, "Mark")));
    w.AddGeomObject("HiddenBox", MakeStaticObject(NodeAt(0, 0, 0), Strip(37, -4, 39, -2, 0, 2, "Mark")));

    // Markers in a row along +x, beyond the view, for the culling tree.
    for (int i = 0; i < 6; ++i)
        w.AddGeomObject("Marker" + std::to_string(i),
                        MakeStaticObject(NodeAt(60.0f + 10.0f * float(i), 4.3f, 0), Strip(-0.2f, -0.2f, 0.2f, 0.2f, 0, 1, "Mark")));

    LightRecord light;
    light.node = NodeAt(kCentreX, 0, 20);
    light.light.type = 1;
    light.light.diffuse = {1, 1, 1, 1};
    light.light.range = 1000;
    light.light.attenuation0 = 1;
    w.AddLight("Omni01", light);

    CameraRecord camera;
    camera.node = NodeAt(kCentreX, 0, kCameraZ);
    PerspectiveFovLH(camera.projection, 1.0471976f, 1.0f, 1.0f, 1000.0f);
    w.AddCamera("Camera01", camera);

    EnvironmentRecord env;
    env.red = env.green = env.blue = 60;
    w.AddEnvironment("Env", env);
    return w;
}
} // namespace CullingScene
