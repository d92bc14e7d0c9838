#include "SampleArchive.h"

#include <cstring>

using namespace FileStorage;

namespace ArchiveTool
{
namespace
{
NodeRecord NodeAt(const std::string& parent, float x, float y, float z)
{
    return MakeNodeAt(parent, x, y, z);
}

struct Vertex112
{
    float pos[3], normal[3], uv[2];
};
struct Vertex212
{
    float pos[3], normal[3], uv0[2], uv1[2];
};
struct Vertex111C
{
    float pos[3], weights[3];
    uint8_t bones[4];
    float normal[3], uv[2];
};
static_assert(sizeof(Vertex112) == 32 && sizeof(Vertex212) == 40 && sizeof(Vertex111C) == 48,
              "sample vertices match their formats");

const std::vector<uint16_t> kQuad = {0, 1, 2, 0, 2, 3};

MeshRecord Quad(float size, float z)
{
    const Vertex112 v[4] = {{{0, 0, z}, {0, 0, 1}, {0, 0}},
                            {{size, 0, z}, {0, 0, 1}, {1, 0}},
                            {{size, size, z}, {0, 0, 1}, {1, 1}},
                            {{0, size, z}, {0, 0, 1}, {0, 1}}};
    return MakeMesh(0x112, v, 4, kQuad, "Stone");
}

MeshRecord FlagFrame(float wave)
{
    const Vertex212 v[4] = {{{0, 0, 0}, {0, 1, 0}, {0, 0}, {0, 0}},
                            {{1, wave, 0}, {0, 1, 0}, {1, 0}, {1, 0}},
                            {{1, wave, 1}, {0, 1, 0}, {1, 1}, {1, 1}},
                            {{0, 0, 1}, {0, 1, 0}, {0, 1}, {0, 1}}};
    return MakeMesh(0x212, v, 4, kQuad, "Glass");
}
} // namespace

Bytes MakeTinyBitmap(uint8_t red, uint8_t green, uint8_t blue)
{
    Bytes b(70, 0);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b[at + i] = uint8_t(v >> (8 * i));
    };
    b[0] = 'B';
    b[1] = 'M';
    put32(2, 70);  // file size
    put32(10, 54); // pixel data offset
    put32(14, 40); // info header size
    put32(18, 2);  // width
    put32(22, 2);  // height
    b[26] = 1;     // planes
    b[28] = 24;    // bits per pixel
    put32(34, 16); // image size: two rows of 6 bytes padded to 8
    for (int row = 0; row < 2; ++row)
        for (int x = 0; x < 2; ++x)
        {
            const size_t at = 54 + row * 8 + x * 3;
            b[at] = blue;
            b[at + 1] = green;
            b[at + 2] = red;
        }
    return b;
}

SampleArchive MakeSampleArchive()
{
    SampleArchive s;

    GeomObjectRecord box;
    box.node = NodeAt(kSceneRootName, 1, 2, 3);
    box.frames.resize(1);
    box.frames[0].meshes.push_back(Quad(2, 0));
    box.frames[0].meshes.push_back(Quad(1, 1));
    box.frames[0].meshes.back().materialName = kDefaultMaterialName;
    s.geomObjects.emplace_back("Box", box);

    // A dummy that moves from its parent's origin to (10, 0, 0) over a second.
    GeomObjectRecord dummy;
    dummy.node = NodeAt("Box", 0, 0, 0);
    dummy.node.animationStartMs = 0;
    dummy.node.animationEndMs = 1000;
    dummy.node.keys.push_back(dummy.node.keys[0]);
    dummy.node.keys[1].timeMs = 1000;
    dummy.node.keys[1].matrix[12] = 10;
    s.geomObjects.emplace_back("Dummy", dummy);

    GeomObjectRecord flag;
    flag.node = NodeAt("Dummy", 0, 0, 5);
    for (int i = 0; i < 3; ++i)
    {
        FrameRecord f;
        f.timeMs = 14833 + i * 33;
        f.meshes.push_back(FlagFrame(0.25f * i));
        flag.frames.push_back(f);
    }
    s.geomObjects.emplace_back("Flag", flag);

    GeomObjectRecord crew;
    crew.node = NodeAt(kSceneRootName, 0, 0, 0);
    crew.frames.resize(1);
    const Vertex111C sv[3] = {{{0, 0, 0}, {1, 0, 0}, {0, 1, 0, 0}, {0, 0, 1}, {0, 0}},
                              {{1, 0, 0}, {0.5f, 0.5f, 0}, {0, 1, 0, 0}, {0, 0, 1}, {1, 0}},
                              {{0, 1, 0}, {0, 1, 0}, {1, 0, 0, 0}, {0, 0, 1}, {0, 1}}};
    MeshRecord skin = MakeMesh(0x111C, sv, 3, {0, 1, 2}, "");
    skin.bones = {{"Dummy", 0}, {"Box", 1}};
    crew.frames[0].meshes.push_back(skin);
    s.geomObjects.emplace_back("Crew", crew);

    MaterialRecord stone;
    stone.colors.diffuse = {0.8f, 0.7f, 0.6f, 1};
    stone.colors.ambient = {0.2f, 0.2f, 0.2f, 1};
    stone.colors.power = 12;
    stone.alphaRef = 128;
    MapRecord diffuse;
    diffuse.kind = MAP_DIFFUSE;
    diffuse.flags = kMapFlagMergeAlpha;
    diffuse.textures = {{"StoneTex", 256, 256}};
    MapRecord light;
    light.kind = MAP_LIGHT;
    light.flags = MapAddressFlags(3, 3);
    light.texCoordIndex = 1;
    light.textures = {{"StoneTex", 64, 64}};
    stone.maps = {diffuse, light};
    s.materials.emplace_back("Stone", stone);

    MaterialRecord glass;
    glass.colors.diffuse = {0.5f, 0.6f, 0.9f, 0.5f};
    glass.twoSided = 1;
    MapRecord alphaMap;
    alphaMap.kind = MAP_DIFFUSE_ALPHA;
    alphaMap.flags = kMapFlagCutAlpha;
    alphaMap.textures = {{"GlassTex", 32, 32}};
    glass.maps = {alphaMap};
    s.materials.emplace_back("Glass", glass);

    s.bitmaps.emplace_back("StoneTex", MakeTinyBitmap(200, 180, 150));
    s.bitmaps.emplace_back("GlassTex", MakeTinyBitmap(40, 80, 220));

    LightRecord lamp;
    lamp.node = NodeAt(kSceneRootName, 0, 0, 50);
    lamp.light.type = 1;
    lamp.light.diffuse = {1, 0.9f, 0.8f, 1};
    lamp.light.position[2] = 50;
    lamp.light.range = 500;
    lamp.light.attenuation0 = 1;
    lamp.excludedObjects = {"Flag"};
    s.lights.emplace_back("Lamp", lamp);

    CameraRecord camera;
    camera.node = NodeAt(kSceneRootName, 0, -20, 5);
    PerspectiveFovLH(camera.projection, 0.72f, 4.0f / 3.0f, 0.01f, 998.7f);
    s.cameras.emplace_back("Camera01", camera);

    EnvironmentRecord env;
    env.red = 0x20;
    env.green = 0x30;
    env.blue = 0x40;
    s.environments.emplace_back("Environment", env);
    return s;
}

void SampleArchive::AddTo(CArchiveWriter& w) const
{
    for (const auto& e : geomObjects)
        w.AddGeomObject(e.first, e.second);
    for (const auto& e : materials)
        w.AddMaterial(e.first, e.second);
    for (const auto& e : bitmaps)
        w.AddBitmap(e.first, e.second);
    for (const auto& e : lights)
        w.AddLight(e.first, e.second);
    for (const auto& e : cameras)
        w.AddCamera(e.first, e.second);
    for (const auto& e : environments)
        w.AddEnvironment(e.first, e.second);
}
} // namespace ArchiveTool
