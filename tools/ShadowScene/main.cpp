// Writes the shadow test scene archive: shadow_scene <output path>.
// A box from (-1, -1, 1) to (1, 1, 2) stands above the plane z = 0 (from -6
// to 6 in x and y), seen from (0, 0, 10) looking down -z with a 60 degree
// view, as the shadow draw test expects.
#include <cstdio>
#include <vector>

#include "TestScene.h"

using namespace FileStorage;
using namespace ArchiveTool;

namespace
{
struct Vertex
{
    float pos[3], normal[3], uv[2];
};
constexpr uint32_t kFvf = 0x112; // position, normal, one set of two coordinates

struct Vec
{
    float x, y, z;
};
Vec Sub(Vec a, Vec b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec Cross(Vec a, Vec b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
float Dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// Appends the quad of corners c[0..3] (in order round its edge) facing
// `out`: each triangle (p, q, r) is wound so that (r - p) x (q - p), the
// face normal of the silhouettes, points along `out`.
void AddQuad(std::vector<Vertex>& v, std::vector<uint16_t>& indices, const Vec (&c)[4], Vec out)
{
    const uint16_t base = uint16_t(v.size());
    const float uv[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    for (int k = 0; k < 4; ++k)
        v.push_back({{c[k].x, c[k].y, c[k].z}, {out.x, out.y, out.z}, {uv[k][0], uv[k][1]}});
    const int triangles[2][3] = {{0, 1, 2}, {0, 2, 3}};
    for (const auto& t : triangles)
    {
        const Vec n = Cross(Sub(c[t[2]], c[t[0]]), Sub(c[t[1]], c[t[0]]));
        const bool along = Dot(n, out) > 0;
        indices.insert(indices.end(), {uint16_t(base + t[0]), uint16_t(base + (along ? t[1] : t[2])),
                                       uint16_t(base + (along ? t[2] : t[1]))});
    }
}

MeshRecord Box(Vec lo, Vec hi, const std::string& material)
{
    std::vector<Vertex> v;
    std::vector<uint16_t> indices;
    const float x0 = lo.x, y0 = lo.y, z0 = lo.z, x1 = hi.x, y1 = hi.y, z1 = hi.z;
    AddQuad(v, indices, {{x0, y0, z1}, {x1, y0, z1}, {x1, y1, z1}, {x0, y1, z1}}, {0, 0, 1});
    AddQuad(v, indices, {{x0, y0, z0}, {x1, y0, z0}, {x1, y1, z0}, {x0, y1, z0}}, {0, 0, -1});
    AddQuad(v, indices, {{x0, y0, z0}, {x1, y0, z0}, {x1, y0, z1}, {x0, y0, z1}}, {0, -1, 0});
    AddQuad(v, indices, {{x0, y1, z0}, {x1, y1, z0}, {x1, y1, z1}, {x0, y1, z1}}, {0, 1, 0});
    AddQuad(v, indices, {{x0, y0, z0}, {x0, y1, z0}, {x0, y1, z1}, {x0, y0, z1}}, {-1, 0, 0});
    AddQuad(v, indices, {{x1, y0, z0}, {x1, y1, z0}, {x1, y1, z1}, {x1, y0, z1}}, {1, 0, 0});
    return MakeMesh(kFvf, v.data(), uint16_t(v.size()), indices, material);
}

MeshRecord Plane(float half, const std::string& material)
{
    std::vector<Vertex> v;
    std::vector<uint16_t> indices;
    AddQuad(v, indices, {{-half, -half, 0}, {half, -half, 0}, {half, half, 0}, {-half, half, 0}}, {0, 0, 1});
    return MakeMesh(kFvf, v.data(), uint16_t(v.size()), indices, material);
}

uint32_t Grey(uint32_t, uint32_t, uint32_t, uint32_t) { return 0xC0C0C0; }

CArchiveWriter Build()
{
    CArchiveWriter w;
    w.AddBitmap("Grey", TestScene::MakeBitmap(16, 16, Grey));
    MaterialRecord grey;
    grey.colors.diffuse = {1, 1, 1, 1};
    grey.colors.ambient = {1, 1, 1, 1};
    MapRecord diffuse;
    diffuse.kind = MAP_DIFFUSE;
    diffuse.textures.push_back({"Grey", 16, 16});
    grey.maps.push_back(diffuse);
    w.AddMaterial("Grey", grey);
    w.AddGeomObject("Plane", MakeStaticObject(MakeNodeAt(kSceneRootName, 0, 0, 0), Plane(6, "Grey")));
    w.AddGeomObject("Box", MakeStaticObject(MakeNodeAt(kSceneRootName, 0, 0, 0), Box({-1, -1, 1}, {1, 1, 2}, "Grey")));

    LightRecord light;
    light.node = MakeNodeAt(kSceneRootName, -20, 0, 20);
    light.light.type = 1;
    light.light.diffuse = {1, 1, 1, 1};
    light.light.range = 1000;
    light.light.attenuation0 = 1;
    w.AddLight("Omni01", light);

    CameraRecord camera;
    camera.node = MakeNodeAt(kSceneRootName, 0, 0, 10);
    PerspectiveFovLH(camera.projection, 1.0471976f, 1.0f, 1.0f, 1000.0f);
    w.AddCamera("Camera01", camera);

    EnvironmentRecord env;
    env.red = env.green = env.blue = 60;
    w.AddEnvironment("Env", env);
    return w;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: shadow_scene <output.SSS>\n");
        return 2;
    }
    if (!Build().WriteFile(argv[1]))
    {
        std::fprintf(stderr, "shadow_scene: can't write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
