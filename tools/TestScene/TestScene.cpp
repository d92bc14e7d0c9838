#include "TestScene.h"

#include "Bitmap24.h"

using namespace FileStorage;
using namespace ArchiveTool;

namespace TestScene
{
namespace
{
struct Vertex
{
    float pos[3], normal[3], uv[2];
};
constexpr uint32_t kFvf = 0x112; // position, normal, one set of two texture coordinates
const std::vector<uint16_t> kQuadIndices = {0, 1, 2, 0, 2, 3};

// A quad facing +z (the camera) from (x0, y0) to (x1, y1) at depth z; u runs
// along x and v down y, as pictures are stored.
MeshRecord Quad(float x0, float y0, float x1, float y1, float z, const std::string& material)
{
    const Vertex v[4] = {{{x0, y1, z}, {0, 0, 1}, {0, 0}},
                         {{x1, y1, z}, {0, 0, 1}, {1, 0}},
                         {{x1, y0, z}, {0, 0, 1}, {1, 1}},
                         {{x0, y0, z}, {0, 0, 1}, {0, 1}}};
    return MakeMesh(kFvf, v, 4, kQuadIndices, material);
}

// The same facing +z, cut into n x n cells so that per-vertex lighting
// shows across it.
MeshRecord Grid(float x0, float y0, float x1, float y1, float z, int n, const std::string& material)
{
    std::vector<Vertex> v;
    std::vector<uint16_t> indices;
    for (int j = 0; j <= n; ++j)
        for (int i = 0; i <= n; ++i)
        {
            const float u = float(i) / float(n), t = float(j) / float(n);
            v.push_back({{x0 + (x1 - x0) * u, y1 - (y1 - y0) * t, z}, {0, 0, 1}, {u, t}});
        }
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i)
        {
            const uint16_t a = uint16_t(j * (n + 1) + i), b = uint16_t(a + 1), c = uint16_t(a + n + 2),
                           d = uint16_t(a + n + 1);
            indices.insert(indices.end(), {a, b, c, a, c, d});
        }
    return MakeMesh(kFvf, v.data(), uint16_t(v.size()), indices, material);
}

NodeRecord NodeAt(float x, float y, float z)
{
    return MakeNodeAt(kSceneRootName, x, y, z);
}

GeomObjectRecord Static(const NodeRecord& node, const MeshRecord& mesh)
{
    return MakeStaticObject(node, mesh);
}

MapRecord OneTexture(uint16_t kind, const std::string& bitmap, uint16_t flags = 0)
{
    MapRecord m;
    m.kind = kind;
    m.flags = flags;
    m.textures.push_back({bitmap, 16, 16});
    return m;
}

MaterialRecord Material(std::vector<MapRecord> maps, uint16_t alphaRef = 0)
{
    MaterialRecord r;
    r.colors.diffuse = {1, 1, 1, 1};
    r.colors.ambient = {1, 1, 1, 1};
    r.alphaRef = alphaRef;
    r.twoSided = 1;
    r.maps = std::move(maps);
    return r;
}

uint32_t Orange(uint32_t, uint32_t, uint32_t, uint32_t) { return 0xF0A03C; }
uint32_t Blue(uint32_t, uint32_t, uint32_t, uint32_t) { return 0x2850FF; }
uint32_t Red(uint32_t, uint32_t, uint32_t, uint32_t) { return 0xFF2828; }
uint32_t Green(uint32_t, uint32_t, uint32_t, uint32_t) { return 0x28DC28; }
uint32_t HalfGray(uint32_t, uint32_t, uint32_t, uint32_t) { return 0x808080; }
// Light map: bright above the middle, dim below.
uint32_t LightBands(uint32_t, uint32_t y, uint32_t, uint32_t h) { return y < h / 2 ? 0xFFFFFF : 0x606060; }
// Fence: cut away on the left half, yellow on the right.
uint32_t FenceMask(uint32_t x, uint32_t, uint32_t w, uint32_t) { return x < w / 2 ? 0x000000 : 0xFFFF00; }
} // namespace

Bytes MakeBitmap(uint32_t w, uint32_t h, uint32_t (*colour)(uint32_t, uint32_t, uint32_t, uint32_t))
{
    return MakeBitmap24(w, h, [&](uint32_t x, uint32_t y) { return colour(x, y, w, h); });
}

CArchiveWriter Build()
{
    CArchiveWriter w;
    w.AddBitmap("GroundColor", MakeBitmap(16, 16, Orange));
    w.AddBitmap("GroundLight", MakeBitmap(16, 16, LightBands));
    w.AddBitmap("FenceMask", MakeBitmap(16, 16, FenceMask));
    w.AddBitmap("BlueColor", MakeBitmap(16, 16, Blue));
    w.AddBitmap("RedColor", MakeBitmap(16, 16, Red));
    w.AddBitmap("GreenColor", MakeBitmap(16, 16, Green));
    w.AddBitmap("HalfGray", MakeBitmap(16, 16, HalfGray));

    w.AddMaterial("Ground", Material({OneTexture(MAP_DIFFUSE, "GroundColor"), OneTexture(MAP_LIGHT, "GroundLight")}));
    w.AddMaterial("Fence", Material({OneTexture(MAP_DIFFUSE_ALPHA, "FenceMask", kMapFlagCutAlpha)}, 128));
    w.AddMaterial("GlassBlue", Material({OneTexture(MAP_DIFFUSE, "BlueColor"), OneTexture(MAP_ALPHA, "HalfGray")}));
    w.AddMaterial("GlassRed", Material({OneTexture(MAP_DIFFUSE, "RedColor"), OneTexture(MAP_ALPHA, "HalfGray")}));
    w.AddMaterial("Leaf", Material({OneTexture(MAP_DIFFUSE, "GreenColor")}));

    // The ground fills the view behind everything.
    w.AddGeomObject("Ground", Static(NodeAt(0, 0, 0), Grid(-10, -10, 10, 10, -2, 20, "Ground")));
    w.AddGeomObject("Fence", Static(NodeAt(0, 0, 0), Quad(-4, -4, -1, -2, 0, "Fence")));
    // Listed near first, so that only sorting draws the far pane first.
    w.AddGeomObject("A_GlassNear", Static(NodeAt(3.5f, 2.5f, 0.5f), Quad(-1.5f, -1.5f, 1.5f, 1.5f, 0, "GlassBlue")));
    w.AddGeomObject("B_GlassFar", Static(NodeAt(2.5f, 2.5f, -0.5f), Quad(-1.5f, -1.5f, 1.5f, 1.5f, 0, "GlassRed")));
    w.AddGeomObject("Marker", Static(NodeAt(4, -3, 0), Quad(-0.5f, -0.5f, 0.5f, 0.5f, 0, kDefaultMaterialName)));

    // The flag moves from its low pose at 0 ms to its high pose at 1000 ms.
    GeomObjectRecord flag;
    flag.node = NodeAt(0, 0, 0);
    FrameRecord low, high;
    low.timeMs = 0;
    low.meshes.push_back(Quad(-4, 1, -2, 3, 0, "Leaf"));
    high.timeMs = 1000;
    high.meshes.push_back(Quad(-4, 3.5f, -2, 5, 0, "Leaf"));
    flag.frames = {low, high};
    w.AddGeomObject("Flag", flag);

    LightRecord light;
    light.node = NodeAt(-3, 0, 3);
    light.light.type = 1;
    light.light.diffuse = {1, 1, 1, 1};
    light.light.range = 100;
    light.light.attenuation0 = 0.2f;
    light.light.attenuation1 = 0.1f;
    w.AddLight("Omni01", light);

    CameraRecord camera;
    camera.node = NodeAt(0, 0, kCameraZ);
    PerspectiveFovLH(camera.projection, kFovY, 1.0f, 1.0f, 100.0f);
    w.AddCamera("Camera01", camera);

    EnvironmentRecord env;
    env.red = env.green = env.blue = 40;
    env.excludedObjects = {"Marker"};
    w.AddEnvironment("Env", env);
    return w;
}
} // namespace TestScene
