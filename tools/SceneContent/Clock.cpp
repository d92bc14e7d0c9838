// The clock archive: a dial seen by "Camera01" along -Y, and the hands with
// their shadows, each pointing to twelve (+Z) at rest.
#include <cmath>

#include "SceneContent.h"
#include "Textures.h"

using namespace FileStorage;

namespace SceneContent
{
namespace
{

// A triangle whose front faces `towards`.
void Facing(CMeshBuilder& m, Vertex a, Vertex b, Vertex c, const Vec3& towards)
{
    a.n = b.n = c.n = towards;
    if (Dot(Cross(b.p - a.p, c.p - a.p), towards) < 0)
        std::swap(b, c);
    m.AddTriangle(a, b, c);
}

Vertex At(float x, float y, float z, float u, float v)
{
    Vertex r;
    r.p = V3(x, y, z);
    r.u = u;
    r.v = v;
    return r;
}
} // namespace

void BuildClock(ArchiveTool::CArchiveWriter& writer)
{
    CSceneBuilder scene(writer);
    const Vec3 front = V3(0, 1, 0);
    for (const char* tex : {"Clock_dial", "Clock_hand", "Clock_shadow"})
    {
        scene.Bitmap(tex, [tex] { return PaintTexture(tex); });
        MaterialSpec s;
        s.diffuse = tex;
        s.specular = 0;
        // The clock has no light of its own: it shows as painted.
        s.emissive = 1;
        scene.Material(std::string("Mat_") + tex, s);
    }
    // The dial: seen from +Y, screen right is -X, so u runs along -X.
    CMeshBuilder dial;
    const float radius = 100;
    const int sides = 48;
    for (int i = 0; i < sides; ++i)
    {
        const float a0 = 2 * kPi * i / sides, a1 = 2 * kPi * (i + 1) / sides;
        auto rim = [&](float a) {
            const float x = radius * std::cos(a), z = radius * std::sin(a);
            return At(x, 0, z, 0.5f - 0.5f * x / radius, 0.5f - 0.5f * z / radius);
        };
        Facing(dial, At(0, 0, 0, 0.5f, 0.5f), rim(a0), rim(a1), front);
    }
    scene.Object("Clock_dial01", kSceneRootName, V3(0, 0, 0), dial, "Mat_Clock_dial", false);

    struct Hand
    {
        const char* name;
        float length, width, y;
    };
    const Hand hands[3] = {{"Arrow_hour", 55, 7, 3}, {"Arrow_min", 82, 4.5f, 4}, {"Arrow_sec", 90, 1.5f, 5}};
    for (const Hand& h : hands)
        for (int shadow = 0; shadow < 2; ++shadow)
        {
            // The shadow lies on the dial, a little down and to the right.
            const float y = shadow ? 1.0f : h.y;
            CMeshBuilder m;
            const float tail = h.length * 0.2f, w = h.width / 2;
            Facing(m, At(-w, y, -tail, 0, 1), At(w, y, -tail, 1, 1), At(w * 0.6f, y, h.length, 1, 0), front);
            Facing(m, At(-w, y, -tail, 0, 1), At(w * 0.6f, y, h.length, 1, 0), At(-w * 0.6f, y, h.length, 0, 0), front);
            GeomObjectRecord rec;
            float mat[16];
            TranslationMatrix(mat, shadow ? V3(-3, 0, -4) : V3(0, 0, 0));
            rec.node = ArchiveTool::MakeNode(kSceneRootName, mat);
            rec.frames.resize(1);
            rec.frames[0].meshes = m.Build(0x112, shadow ? "Mat_Clock_shadow" : "Mat_Clock_hand");
            scene.ObjectRecord(std::string(h.name) + (shadow ? "02" : "01"), rec);
        }

    CameraRecord cam;
    float m[16];
    CameraMatrix(m, V3(0, 320, 0), V3(0, 0, 0));
    cam.node = ArchiveTool::MakeNode(kSceneRootName, m);
    ArchiveTool::PerspectiveFovLH(cam.projection, 2 * std::atan(108.0f / 320), 1.0f, 10, 1000);
    writer.AddCamera("Camera01", cam);
}
} // namespace SceneContent
