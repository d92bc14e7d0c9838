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
    float m[16];
    SetIdentity(m);
    m[12] = x;
    m[13] = y;
    m[14] = z;
    return MakeNode(kSceneRootName, m);
}

GeomObjectRecord Static(const NodeRecord& node, const MeshRecord& mesh)
{
    GeomObjectRecord r;
    r.node = node;
    r.frames.resize(1);
    r.frames[0].meshes.push_back(mesh);
    return r;
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
// Light map: bright above the middle, dim below (light maps are drawn
// doubled, so 0x80 is full light).
uint32_t LightBands(uint32_t, uint32_t y, uint32_t, uint32_t h) { return y < h / 2 ? 0x909090 : 0x404040; }
// Fence: cut away on the left half, yellow on the right.
uint32_t FenceMask(uint32_t x, uint32_t, uint32_t w, uint32_t) { return x < w / 2 ? 0x000000 : 0xFFFF00; }
// Gate mask: kept above the middle, cut below.
uint32_t GateMask(uint32_t, uint32_t y, uint32_t, uint32_t h) { return y < h / 2 ? 0xFFFFFF : 0x000000; }
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
    w.AddBitmap("GateMask", MakeBitmap(16, 16, GateMask));

    w.AddMaterial("Ground", Material({OneTexture(MAP_DIFFUSE, "GroundColor"), OneTexture(MAP_LIGHT, "GroundLight")}));
    w.AddMaterial("Fence", Material({OneTexture(MAP_DIFFUSE_ALPHA, "FenceMask", kMapFlagCutAlpha)}, 128));
    w.AddMaterial("GlassBlue", Material({OneTexture(MAP_DIFFUSE, "BlueColor"), OneTexture(MAP_ALPHA, "HalfGray")}));
    w.AddMaterial("GlassRed", Material({OneTexture(MAP_DIFFUSE, "RedColor"), OneTexture(MAP_ALPHA, "HalfGray")}));
    // A diffuse map that takes the following alpha map into itself.
    w.AddMaterial("Gate", Material({OneTexture(MAP_DIFFUSE, "BlueColor", kMapFlagMergeAlpha),
                                    OneTexture(MAP_ALPHA, "GateMask", kMapFlagCutAlpha)},
                                   128));
    w.AddMaterial("Leaf", Material({OneTexture(MAP_DIFFUSE, "GreenColor")}));

    // The ground fills the view behind everything.
    w.AddGeomObject("Ground", Static(NodeAt(0, 0, 0), Grid(-10, -10, 10, 10, -2, 20, "Ground")));
    w.AddGeomObject("Fence", Static(NodeAt(0, 0, 0), Quad(-4, -4, -1, -2, 0, "Fence")));
    // Listed near first, so that only sorting draws the far pane first.
    w.AddGeomObject("A_GlassNear", Static(NodeAt(3.5f, 2.5f, 0.5f), Quad(-1.5f, -1.5f, 1.5f, 1.5f, 0, "GlassBlue")));
    w.AddGeomObject("B_GlassFar", Static(NodeAt(2.5f, 2.5f, -0.5f), Quad(-1.5f, -1.5f, 1.5f, 1.5f, 0, "GlassRed")));
    w.AddGeomObject("Gate", Static(NodeAt(0, 0, 0), Quad(0.5f, -4, 3.5f, -2, 0, "Gate")));
    w.AddGeomObject("Marker", Static(NodeAt(5.2f, -3, 0), Quad(-0.5f, -0.5f, 0.5f, 0.5f, 0, kDefaultMaterialName)));

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
    light.excludedObjects = {"Marker"}; // unlit, and without the Env ambient: black
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
namespace
{
// A mesh record written as is, whatever its counts say; the archive
// writer refuses such records.
void PutRawMesh(Bytes& b, const MeshRecord& m)
{
    auto put = [&](const void* p, size_t n) {
        const uint8_t* q = static_cast<const uint8_t*>(p);
        b.insert(b.end(), q, q + n);
    };
    const uint32_t vertexBytes = uint32_t(m.vertices.size()), indexBytes = uint32_t(m.indices.size() * 2);
    const uint16_t indexCount = uint16_t(m.indices.size()), nameLength = uint16_t(m.materialName.size());
    put(&m.fvf, 4);
    put(&m.vertexCount, 2);
    put(&vertexBytes, 4);
    put(m.vertices.data(), vertexBytes);
    put(&indexCount, 2);
    put(&indexBytes, 4);
    put(m.indices.data(), indexBytes);
    put(&nameLength, 2);
    put(m.materialName.data(), nameLength);
}

Bytes RawGeomObject(const NodeRecord& node, const std::vector<FrameRecord>& frames)
{
    GeomObjectRecord dummy;
    dummy.node = node;
    Bytes b = EncodeRecord(dummy); // the node and no frames
    b.resize(b.size() - 2);
    auto put = [&](const void* p, size_t n) {
        const uint8_t* q = static_cast<const uint8_t*>(p);
        b.insert(b.end(), q, q + n);
    };
    const uint16_t frameCount = uint16_t(frames.size());
    put(&frameCount, 2);
    for (const FrameRecord& f : frames)
    {
        const uint16_t count = uint16_t(f.meshes.size());
        put(&f.timeMs, 4);
        put(&count, 2);
        for (const MeshRecord& m : f.meshes)
            PutRawMesh(b, m);
    }
    return b;
}
} // namespace

CArchiveWriter BuildFaults()
{
    CArchiveWriter w;
    w.AddBitmap("GreenColor", MakeBitmap(16, 16, Green));
    w.AddMaterial("Leaf", Material({OneTexture(MAP_DIFFUSE, "GreenColor")}));
    w.AddMaterial("Ghost", Material({OneTexture(MAP_DIFFUSE, "NoSuchPicture")}));
    // A map of a kind no slot takes, before one that a slot does.
    w.AddMaterial("Odd", Material({OneTexture(9, "GreenColor"), OneTexture(MAP_DIFFUSE, "GreenColor")}));
    w.AddGeomObject("Odd", Static(NodeAt(0, 0, 0), Quad(0, 0, 1, 1, 0, "Odd")));
    // Not a fault: a bumped material that draws once per light.
    w.AddBitmap("HalfGray", MakeBitmap(16, 16, HalfGray));
    w.AddMaterial("Omni", Material({OneTexture(MAP_DIFFUSE, "GreenColor"), OneTexture(MAP_BUMP, "HalfGray")}));
    w.AddGeomObject("Omni", Static(NodeAt(0, 0, 0), Quad(0, 0, 1, 1, 0, "Omni")));

    // Environment maps of five, six and seven pictures: the last two make
    // cube textures, from the first six or from the second to the seventh.
    const uint32_t faceColours[7] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0x00FFFF, 0xFF00FF, 0xFFFFFF};
    for (int i = 0; i < 7; ++i)
        w.AddBitmap("Face" + std::to_string(i), MakeBitmap24(16, 16, [&](uint32_t, uint32_t) { return faceColours[i]; }));
    for (int n = 5; n <= 7; ++n)
    {
        MapRecord sky;
        sky.kind = MAP_ENVIRONMENT;
        for (int i = 0; i < n; ++i)
            sky.textures.push_back({"Face" + std::to_string(i), 16, 16});
        const std::string name = "Sky" + std::to_string(n);
        w.AddMaterial(name, Material({sky}));
        w.AddGeomObject(name, Static(NodeAt(0, 0, 0), Quad(0, 0, 1, 1, 0, name)));
    }

    // "Twin" names a geometry object and a light.
    w.AddGeomObject("Twin", Static(NodeAt(0, 0, 0), Quad(0, 0, 1, 1, 0, "Leaf")));
    LightRecord lamp;
    lamp.node = NodeAt(0, 0, 5);
    lamp.light.diffuse = {1, 1, 1, 1};
    lamp.light.range = 50;
    lamp.light.attenuation0 = 1;
    w.AddLight("Twin", lamp);
    for (int i = 1; i <= 9; ++i)
        w.AddLight("Lamp" + std::to_string(i), lamp);

    // Of three meshes only the last is sound.
    std::vector<MeshRecord> meshes = {Quad(0, 0, 1, 1, 0, "Leaf"), Quad(0, 0, 1, 1, 0, "Leaf"),
                                      Quad(0, 0, 1, 1, 0, "Leaf")};
    meshes[0].indices = {0, 1, 4};
    meshes[1].indices.pop_back();
    FrameRecord brokenFrame;
    brokenFrame.meshes = meshes;
    w.AddEntry("Broken", kTypeGeomObject, RawGeomObject(NodeAt(0, 0, 0), {brokenFrame}));

    // A later frame with fewer meshes than frame 0, and frames at one time.
    GeomObjectRecord wobbly;
    wobbly.node = NodeAt(0, 0, 0);
    wobbly.frames.resize(2);
    wobbly.frames[0].meshes = {Quad(0, 0, 1, 1, 0, "Leaf"), Quad(1, 1, 2, 2, 0, "Leaf")};
    wobbly.frames[1].timeMs = 100;
    wobbly.frames[1].meshes = {Quad(0, 0, 1, 1, 1, "Leaf")};
    w.AddEntry("Wobbly", kTypeGeomObject, RawGeomObject(wobbly.node, wobbly.frames));
    GeomObjectRecord frozen;
    frozen.node = NodeAt(0, 0, 0);
    frozen.frames.resize(2);
    frozen.frames[0].timeMs = frozen.frames[1].timeMs = 500;
    frozen.frames[0].meshes = {Quad(0, 0, 1, 1, 0, "Leaf")};
    frozen.frames[1].meshes = {Quad(0, 0, 1, 1, 1, "Leaf")};
    w.AddEntry("Frozen", kTypeGeomObject, RawGeomObject(frozen.node, frozen.frames));

    w.AddGeomObject("Haunted", Static(NodeAt(0, 0, 0), Quad(0, 0, 1, 1, 0, "Ghost")));
    w.AddGeomObject("Stray", Static(NodeAt(0, 0, 0), Quad(0, 0, 1, 1, 0, "Nowhere")));
    w.AddGeomObject("Bare", Static(NodeAt(0, 0, 0), Quad(0, 0, 1, 1, 0, "")));

    // Two bones' weights behind each position.
    struct SkinVertex
    {
        float pos[3], weights[3];
        uint8_t bones[4];
        float normal[3], uv[2];
    };
    const SkinVertex skin[3] = {{{0, 0, 0}, {1, 0, 0}, {0, 1, 0, 0}, {0, 0, 1}, {0, 0}},
                                {{1, 0, 0}, {0.5f, 0.5f, 0}, {0, 1, 0, 0}, {0, 0, 1}, {1, 0}},
                                {{0, 1, 0}, {0, 1, 0}, {0, 1, 0, 0}, {0, 0, 1}, {0, 1}}};
    GeomObjectRecord skinned = Static(NodeAt(0, 0, 0), MakeMesh(0x111C, skin, 3, {0, 1, 2}, "Leaf"));
    skinned.frames[0].meshes[0].bones = {{"Bip01", 0}, {"Bip01 Spine", 1}};
    w.AddGeomObject("Skinned", skinned);
    return w;
}
} // namespace TestScene
