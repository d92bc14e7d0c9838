// Reads the generated scene archives back through the engine's reader and
// checks every name, pattern and resource the train scene binds.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "FileStorage.h"
#include "SceneContent.h"
#include "Textures.h"
#include "TuningControl.h"

using namespace FileStorage;

namespace
{
const std::string kDir = TARNHOLM_CONTENT_DIR;

enum Kind
{
    DUMMY,
    MESH,
    MORPH,
    SKINNED,
    CAMERA,
    LIGHT,
    ENVIRONMENT,
    ABSENT
};

const char* KindName(Kind k)
{
    static const char* names[] = {"dummy", "mesh", "morph", "skinned", "camera", "light", "environment", "absent"};
    return names[k];
}

// One archive, decoded whole.
struct Content
{
    std::map<std::string, GeomObjectRecord> objects;
    std::map<std::string, MaterialRecord> materials;
    std::map<std::string, std::vector<uint8_t>> bitmaps;
    std::map<std::string, CameraRecord> cameras;
    std::map<std::string, LightRecord> lights;
    std::map<std::string, EnvironmentRecord> environments;
    std::vector<std::string> errors;

    Kind KindOf(const std::string& name) const
    {
        const auto o = objects.find(name);
        if (o != objects.end())
        {
            const auto& frames = o->second.frames;
            if (frames.empty())
                return DUMMY;
            if (frames.size() > 1)
                return MORPH;
            for (const MeshRecord& m : frames[0].meshes)
                if (!m.bones.empty())
                    return SKINNED;
            return MESH;
        }
        if (cameras.count(name))
            return CAMERA;
        if (lights.count(name))
            return LIGHT;
        if (environments.count(name))
            return ENVIRONMENT;
        return ABSENT;
    }
    std::vector<std::string> Matching(const std::string& pattern) const
    {
        std::vector<std::string> out;
        const std::regex re(pattern);
        for (const auto& e : objects)
            if (std::regex_match(e.first, re))
                out.push_back(e.first);
        for (const auto& e : cameras)
            if (std::regex_match(e.first, re))
                out.push_back(e.first);
        return out;
    }
    const float* Translation(const std::string& name) const { return &objects.at(name).node.keys.at(0).matrix[12]; }
};

Content Load(const std::string& file)
{
    Content c;
    CArchive archive;
    if (!archive.OpenFile(kDir + "/" + file))
    {
        c.errors.push_back("cannot open " + file);
        return c;
    }
    for (const auto& key : archive.GetEntryList())
    {
        CMemoryStream* s = archive.Find(key.first, key.second);
        bool ok = s != nullptr;
        if (ok && key.second == kTypeGeomObject)
            ok = ReadRecord(*s, c.objects[key.first]);
        else if (ok && key.second == kTypeMaterial)
            ok = ReadRecord(*s, c.materials[key.first]);
        else if (ok && key.second == kTypeCamera)
            ok = ReadRecord(*s, c.cameras[key.first]);
        else if (ok && key.second == kTypeLight)
            ok = ReadRecord(*s, c.lights[key.first]);
        else if (ok && key.second == kTypeEnvironment)
            ok = ReadRecord(*s, c.environments[key.first]);
        else if (ok && key.second == kTypeBitmap)
            c.bitmaps[key.first].assign(s->GetData(), s->GetData() + s->GetSize());
        if (!ok)
            c.errors.push_back("unreadable " + key.second + " entry " + key.first);
    }
    return c;
}

const Content& Landscape()
{
    static const Content c = Load("Tarnholm.SSS");
    return c;
}
const Content& Train()
{
    static const Content c = Load("Locomotive.SSS");
    return c;
}
const Content& Clock()
{
    static const Content c = Load("Clock.SSS");
    return c;
}

uint32_t FirstFvf(const Content& c, const std::string& name)
{
    const auto& frames = c.objects.at(name).frames;
    return frames.empty() || frames[0].meshes.empty() ? 0 : frames[0].meshes[0].fvf;
}

bool HasMap(const Content& c, const std::string& object, uint16_t kind)
{
    for (const MeshRecord& m : c.objects.at(object).frames.at(0).meshes)
    {
        const auto mat = c.materials.find(m.materialName);
        if (mat == c.materials.end())
            return false;
        bool found = false;
        for (const MapRecord& map : mat->second.maps)
            found = found || map.kind == kind;
        if (!found)
            return false;
    }
    return true;
}

// Names counted from 1 by a pattern until the first missing one.
int CountRun(const Content& c, const char* pattern)
{
    int n = 0;
    char name[64];
    for (;;)
    {
        std::snprintf(name, sizeof(name), pattern, n + 1);
        if (c.KindOf(name) == ABSENT)
            return n;
        ++n;
    }
}

std::string Named(const char* pattern, int a, int b = 0)
{
    char name[64];
    std::snprintf(name, sizeof(name), pattern, a, b);
    return name;
}

std::string ReadText(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

struct Required
{
    const Content& (*archive)();
    std::string name;
    Kind kind;
};

TEST(SceneContent, EveryEntryReadsBack)
{
    for (const Content* c : {&Landscape(), &Train(), &Clock()})
    {
        EXPECT_THAT(c->errors, testing::IsEmpty());
        EXPECT_FALSE(c->objects.empty());
    }
}

TEST(SceneContent, NamedObjectsHaveTheirKinds)
{
    std::vector<Required> required = {
        {Landscape, "Dummy_light01", DUMMY},      {Landscape, "Dummy_light02", DUMMY},
        {Landscape, "Sky01", MESH},               {Landscape, "Railbase02_01", MESH},
        {Landscape, "Railbase02_02", MESH},       {Landscape, "Land01", MESH},
        {Landscape, "Land02", MESH},              {Landscape, "Rock_back01", MESH},
        {Landscape, "Les01", MESH},               {Landscape, "Les04", MESH},
        {Landscape, "Les09", MESH},               {Landscape, "Dirt_road01", MESH},
        {Landscape, "Dirt_road02", MESH},         {Landscape, "Grass_Sample01", MESH},
        {Landscape, "Tree_branch01", MESH},       {Landscape, "Tree_branch02", MESH},
        {Landscape, "Env", ENVIRONMENT},          {Clock, "Camera01", CAMERA},
        {Train, "Dummy_loco00", DUMMY},           {Train, "Loco_chief01", SKINNED},
        {Train, "Loco_rope01", MORPH},            {Train, "Bip01", DUMMY},
        {Train, "Loco_kaban_rs_sn01", MESH},      {Train, "Loco_kaban_rs_sn02", MESH},
        {Train, "Loco_wheel_rs_sn04", MESH},      {Train, "Loco_boiler_rscs_sn01", MESH},
        {Train, "Loco_pan_rscs_sn01", MESH},      {Train, "Loco_cilinder_rscs_sn01", MESH},
        {Train, "Caster_box01", MESH},            {Train, "Omni01", LIGHT},
        {Train, "Camera_shadow01", CAMERA},
    };
    // Ground, horizon and far objects the octree and depth-bias lists name.
    for (const char* n : {"Desert%02i"})
        for (int i = 1; i <= 11; ++i)
            required.push_back({Landscape, (Named(n, i)), MESH});
    for (int i = 1; i <= 5; ++i)
        required.push_back({Landscape, (Named("Rock_hi%02i", i)), MESH});
    for (int i = 1; i <= 3; ++i)
        required.push_back({Landscape, (Named("Rock%02i", i)), MESH});
    for (int i = 2; i <= 4; ++i)
        required.push_back({Landscape, (Named("Panorama%02i", i)), MESH});
    for (int i = 1; i <= 9; ++i)
        required.push_back({Landscape, (Named("Fir_branch01_%02i", i)), MESH});
    // The projected shadow's receivers.
    for (const char* n : {"City_tunnel01", "City_bridge01", "Red_stones07", "City_Bags01", "City_tatchka01",
                          "City_vokzal01", "City_barrels01", "Red_stones06", "Watermill_bridge01", "Factory_bridge01",
                          "Factory_building03", "Factory_zabor01", "Red_stones08", "Factory_strelka01", "City_strelka01",
                          "Ore_rustgarbage01", "Ore_woodgarbage01", "Ore_budka01", "Ore_woodstruct02", "Ore_tub01",
                          "Ore_building04", "Red_stones03", "City_road02"})
        required.push_back({Landscape, n, MESH});
    // The train's dummies: cars, couplings, rods, cameras, sounds, smoke.
    const struct
    {
        const char* pattern;
        int count;
    } runs[] = {{"Dummy_loco01_%02i", 7},      {"Dummy_loco03_%02i", 6},     {"Dummy_loco05_%02i", 9},
                {"Dummy_loco07_%02i", 4},      {"Dummy_loco09_%02i", 4},     {"Dummy_loco02_%02i", 3},
                {"Dummy_loco04_%02i", 3},      {"Dummy_loco06_%02i", 3},     {"Dummy_loco08_%02i", 3},
                {"Dummy_loco10_%02i", 3},      {"Dummy_locobar01_%02i", 8},  {"Dummy_locobar02_%02i", 8},
                {"Dummy_loco_camera%02i", 5},  {"Dummy_sound_loco%02i", 7},  {"Dummy_smoke%02i", 4}};
    for (const auto& r : runs)
        for (int i = 1; i <= r.count; ++i)
            required.push_back({Train, (Named(r.pattern, i)), DUMMY});
    for (const char* hand : {"Arrow_hour01", "Arrow_min01", "Arrow_sec01", "Arrow_hour02", "Arrow_min02", "Arrow_sec02"})
        required.push_back({Clock, hand, MESH});

    for (const Required& r : required)
        EXPECT_STREQ(KindName(r.archive().KindOf(r.name)), KindName(r.kind)) << r.name;
}

TEST(SceneContent, TrackIsAnOrderedClosedLoop)
{
    const Content& c = Landscape();
    const int n = CountRun(c, "Railbase%03i");
    ASSERT_GE(n, 100);
    EXPECT_EQ(c.Matching("Railbase[0-9]+").size(), size_t(n)) << "a gap in the rail numbers";
    std::vector<float> steps;
    float length = 0;
    for (int i = 0; i < n; ++i)
    {
        const float* a = c.Translation(Named("Railbase%03i", i + 1));
        const float* b = c.Translation(Named("Railbase%03i", (i + 1) % n + 1));
        const float step = std::hypot(b[0] - a[0], b[1] - a[1]);
        EXPECT_NEAR(a[2], 0, 1) << "the track is level at the rail tops";
        steps.push_back(step);
        length += step;
    }
    // Even spacing, including the closing step back to the first point.
    for (float s : steps)
        EXPECT_NEAR(s, length / n, length / n * 0.05f);
    // A lap at the shipped speeds takes minutes.
    EXPECT_GT(length / 3000, 120);
}

TEST(SceneContent, SpeedMarksAndDarkeningZonesParse)
{
    const Content& c = Landscape();
    int marks = 0;
    for (const auto& name : c.Matching("Dummy_speed.*"))
    {
        int number = 0;
        float speed = 0, seconds = 0;
        ASSERT_EQ(std::sscanf(name.c_str(), "Dummy_speed%d_%f_%f", &number, &speed, &seconds), 3) << name;
        EXPECT_GE(speed, 2000) << name;
        EXPECT_GT(seconds, 0) << name;
        ++marks;
    }
    EXPECT_GE(marks, 2);
    const auto zones = c.Matching("Dummy_shadow[0-9]+_[0-9]+");
    EXPECT_GE(zones.size(), 1u);
    for (const auto& z : zones)
        EXPECT_EQ(c.KindOf(z), DUMMY);
}

TEST(SceneContent, GroundTilesRunWithoutGaps)
{
    const Content& c = Landscape();
    for (const char* pattern : {"Land0%i%i", "Lan_d0%i%i"})
    {
        int k = 1;
        while (c.KindOf(Named(pattern, 1, k)) == MESH)
        {
            EXPECT_EQ(c.KindOf(Named(pattern, 2, k)), MESH) << Named(pattern, 2, k);
            ++k;
        }
        EXPECT_GT(k, 1) << pattern;
        // Every tile of the pattern is inside the run the scene walks.
        const std::string re = std::string(pattern).substr(0, std::string(pattern).find('%')) + "[0-9][0-9]";
        EXPECT_EQ(c.Matching(re).size(), size_t(2 * (k - 1))) << pattern;
    }
}

TEST(SceneContent, NameGroupsAndPatternsArePresent)
{
    const Content& l = Landscape();
    for (const char* part : {"bb_Grass", "bb_Bush", "Fir_branch", "Tree_branch", "Fir_stvol", "Tree_stvol", "City_",
                             "Factory_", "Farm_", "Mill_", "Ore_", "Watermill_", "Red_stones", "Railbase",
                             "winddrive_fan", "Rails", "Rail_", "Old_trees", "Paint_plane", "Occluder"})
        EXPECT_FALSE(l.Matching(".*" + std::string(part) + ".*").empty()) << part;
    EXPECT_EQ(l.lights.size(), 1u);
    const struct
    {
        const Content& (*archive)();
        const char* pattern;
    } cameras[] = {{Landscape, "Camera_L_D_[0-9]+.*"}, {Landscape, "Camera_L_T_[0-9]+.*"},
                   {Train, "Camera_T_D_[0-9]+.*"},     {Train, "Camera_T_S_[0-9]+.*"}};
    for (const auto& cam : cameras)
    {
        const auto names = cam.archive().Matching(cam.pattern);
        EXPECT_GE(names.size(), 2u) << cam.pattern;
        for (const auto& n : names)
            EXPECT_EQ(cam.archive().KindOf(n), CAMERA) << n;
    }
}

TEST(SceneContent, VertexFormatsAndMapsAreWhatTheEffectsNeed)
{
    const Content& l = Landscape();
    // Leaves: two coordinate sets (sway, light map).
    for (const auto& n : l.Matching("Fir_branch01_0[1-9]|Tree_branch0[12]"))
        EXPECT_EQ(FirstFvf(l, n), 0x212u) << n;
    // The grass clump: one mesh, position-normal-uv, the blades' colour and
    // their cut-off mask (merged into one diffuse-alpha map when loaded),
    // roots at v = 1.
    const GeomObjectRecord& sample = l.objects.at("Grass_Sample01");
    ASSERT_EQ(sample.frames.at(0).meshes.size(), 1u);
    const MeshRecord& clump = sample.frames[0].meshes[0];
    EXPECT_EQ(clump.fvf, 0x112u);
    uint16_t grassMaps[2] = {0, 0};
    for (const MapRecord& map : l.materials.at(clump.materialName).maps)
        for (int k = 0; k < 2; ++k)
            if (map.kind == (k ? MAP_ALPHA : MAP_DIFFUSE))
                grassMaps[k] = uint16_t(map.flags | 0x8000);
    EXPECT_EQ(grassMaps[0], 0x8000 | kMapFlagMergeAlpha);
    EXPECT_EQ(grassMaps[1], 0x8000 | kMapFlagCutAlpha);
    for (uint16_t i = 0; i < clump.vertexCount; ++i)
    {
        float v[8];
        std::memcpy(v, clump.vertices.data() + i * 32, 32);
        if (v[2] < 1e-3f)
        {
            EXPECT_FLOAT_EQ(v[7], 1.0f) << "root vertex " << i;
        }
    }
    // The train's driver is skinned on its bone objects.
    const Content& t = Train();
    const MeshRecord& skin = t.objects.at("Loco_chief01").frames.at(0).meshes.at(0);
    EXPECT_EQ(skin.fvf, 0x111Cu);
    for (const BoneRef& b : skin.bones)
        EXPECT_NE(t.KindOf(b.objectName), ABSENT) << b.objectName;
    // It hangs where its skeleton does, so that it binds and rides with it.
    EXPECT_EQ(t.objects.at("Loco_chief01").node.parentName, t.objects.at("Bip01").node.parentName);
    // Ground, receivers and buildings carry light maps on the second set.
    for (const auto& n : l.Matching("Land.*|City_.*|Factory_.*|Ore_.*|Red_stones.*|Rail.*"))
    {
        if (l.KindOf(n) == MESH)
        {
            EXPECT_EQ(FirstFvf(l, n), 0x212u) << n;
            EXPECT_TRUE(HasMap(l, n, MAP_LIGHT)) << n;
        }
    }
    EXPECT_TRUE(HasMap(t, "Loco_boiler_rscs_sn01", MAP_BUMP));
}

// The blades' colour is grass-green everywhere, between the blades too: the
// smaller mip levels average the two, and the mask keeps them opaque.
TEST(SceneContent, GrassBladesAreGreenBetweenTheBlades)
{
    using namespace SceneContent;
    const CImage colour = PaintTexture("Grass_blades"), mask = PaintTexture("Grass_blades_a");
    ASSERT_EQ(colour.Width(), mask.Width());
    ASSERT_EQ(colour.Height(), mask.Height());
    int blades = 0, gaps = 0, dark = 0;
    for (int y = 0; y < colour.Height(); ++y)
        for (int x = 0; x < colour.Width(); ++x)
        {
            const Rgb c = colour.Get(x, y);
            (mask.Get(x, y).r > 0.5f ? blades : gaps) += 1;
            dark += !(c.g > c.r && c.g > c.b && c.g > 0.2f);
        }
    EXPECT_GT(blades, colour.Width() * colour.Height() / 20);
    EXPECT_GT(gaps, colour.Width() * colour.Height() / 2);
    EXPECT_EQ(dark, 0);
}

TEST(SceneContent, GrassSurfacesArePlanarMappedAndHaveDensityMaps)
{
    const Content& l = Landscape();
    const int n = CountRun(l, "Grass_Surface%02i");
    EXPECT_GE(n, 9);
    for (int i = 1; i <= n; ++i)
    {
        const std::string name = Named("Grass_Surface%02i", i);
        const GeomObjectRecord& o = l.objects.at(name);
        const float* m = o.node.keys.at(0).matrix;
        for (int k : {0, 5, 10, 15})
            EXPECT_FLOAT_EQ(m[k], 1) << name << " is a pure translation";
        for (int k : {1, 2, 3, 4, 6, 7, 8, 9, 11})
            EXPECT_FLOAT_EQ(m[k], 0) << name;
        ASSERT_EQ(o.frames.at(0).meshes.size(), 1u);
        EXPECT_TRUE(HasMap(l, name, MAP_LIGHT)) << name;
        // Light map coordinates are the top-down map of the mesh's box.
        const MeshRecord& mesh = o.frames[0].meshes[0];
        float lo[2] = {1e30f, 1e30f}, hi[2] = {-1e30f, -1e30f};
        std::vector<std::array<float, 10>> verts(mesh.vertexCount);
        for (size_t v = 0; v < verts.size(); ++v)
        {
            std::memcpy(verts[v].data(), mesh.vertices.data() + v * 40, 40);
            for (int a = 0; a < 2; ++a)
            {
                lo[a] = std::min(lo[a], verts[v][a]);
                hi[a] = std::max(hi[a], verts[v][a]);
            }
        }
        for (const auto& v : verts)
        {
            EXPECT_NEAR(v[8], (v[0] - lo[0]) / (hi[0] - lo[0]), 1e-3f) << name;
            EXPECT_NEAR(v[9], (hi[1] - v[1]) / (hi[1] - lo[1]), 1e-3f) << name;
        }
        std::ifstream density(kDir + "/" + name + ".jpg", std::ios::binary);
        EXPECT_TRUE(density.good()) << name << ".jpg";
    }
}

TEST(SceneContent, MaterialsAndPicturesResolve)
{
    for (const Content* c : {&Landscape(), &Train(), &Clock()})
    {
        for (const auto& o : c->objects)
            for (const auto& f : o.second.frames)
                for (const MeshRecord& m : f.meshes)
                    EXPECT_TRUE(m.materialName == kDefaultMaterialName || c->materials.count(m.materialName))
                        << o.first << " uses " << m.materialName;
        for (const auto& mat : c->materials)
            for (const MapRecord& map : mat.second.maps)
                for (const MapTexture& tex : map.textures)
                {
                    ASSERT_TRUE(c->bitmaps.count(tex.bitmapName)) << mat.first << " needs " << tex.bitmapName;
                    const auto& jpeg = c->bitmaps.at(tex.bitmapName);
                    EXPECT_TRUE(jpeg.size() > 2 && jpeg[0] == 0xFF && jpeg[1] == 0xD8) << tex.bitmapName;
                    EXPECT_EQ(tex.width & (tex.width - 1), 0u) << tex.bitmapName << " is a power of two";
                    EXPECT_EQ(tex.height & (tex.height - 1), 0u) << tex.bitmapName;
                }
    }
}

TEST(SceneContent, OnlyDrawnPrefixesInTheTrain)
{
    const std::regex drawn("Loco.*|L_inscription.*|A_inscription.*|Shadow.*|Caster_box01");
    for (const auto& o : Train().objects)
    {
        if (!o.second.frames.empty())
        {
            EXPECT_TRUE(std::regex_match(o.first, drawn)) << o.first;
        }
    }
}

TEST(SceneContent, CrewScriptLabelsAndFramesExist)
{
    const std::string script = ReadText(kDir + "/Animation.txt");
    ASSERT_FALSE(script.empty());
    EXPECT_THAT(script, testing::HasSubstr("[Bip01]"));
    std::set<std::string> defined;
    const std::regex label("(^|\\s)([A-Za-z0-9_]+:)");
    for (std::sregex_iterator i(script.begin(), script.end(), label), e; i != e; ++i)
        defined.insert((*i)[2]);
    const std::regex go("goto\\s*([A-Za-z0-9_]+:)", std::regex::icase);
    int gotos = 0;
    for (std::sregex_iterator i(script.begin(), script.end(), go), e; i != e; ++i, ++gotos)
        EXPECT_TRUE(defined.count((*i)[1])) << "undefined label " << (*i)[1];
    EXPECT_GT(gotos, 0);
    // Every frame the script plays is inside the skeleton's keys.
    const NodeRecord& bip = Train().objects.at("Bip01").node;
    const std::regex anim("animation\\s*(-?[0-9]+)\\s*,\\s*(-?[0-9]+)", std::regex::icase);
    bool whistle = false;
    for (std::sregex_iterator i(script.begin(), script.end(), anim), e; i != e; ++i)
    {
        const int first = std::stoi((*i)[1]), last = std::stoi((*i)[2]);
        EXPECT_LE(first, last);
        EXPECT_LE(last * 1000 / 30, int(bip.keys.back().timeMs));
        whistle = whistle || (first <= 445 && last >= 445);
    }
    EXPECT_TRUE(whistle) << "the whistle frame 445 is played";
}

TEST(SceneContent, ImagesAndTuningAreWritten)
{
    for (const char* f : {"Environment.dds", "Specular.dds", "Smoke.tga", "OldMovieScratches.jpg", "OldMovieLine.jpg",
                          "OldMovieScreen.jpg", "logo.jpg"})
    {
        const std::string bytes = ReadText(kDir + "/" + f);
        EXPECT_GT(bytes.size(), 100u) << f;
    }
    EXPECT_EQ(ReadText(kDir + "/Environment.dds").substr(0, 4), "DDS ");
    // Every placed landscape camera and train camera has an enabled area.
    const std::string values = ReadText(kDir + "/values.txt");
    for (const Content* c : {&Landscape(), &Train()})
    {
        for (const auto& cam : c->cameras)
        {
            if (std::regex_match(cam.first, std::regex("Camera_(L_D|T_[DS])_.*")))
            {
                EXPECT_THAT(values, testing::HasSubstr("RandomCameraController.Cameras." + cam.first +
                                                       ".EnabledAreas.Area00.StartPosition"));
            }
        }
    }
    // The hand-written values come first, unchanged.
    const std::string source = ReadText(std::string(TARNHOLM_CONTENT_SRC) + "/values.txt");
    EXPECT_EQ(values.compare(0, source.size(), source), 0);
    // The program reads the built-in file only up to its first bad line:
    // every line must read, the last generated one included.
    TuningControl::CManager tuning;
    ASSERT_TRUE(tuning.LoadFromFile(kDir + "/values.txt", 2));
    EXPECT_EQ(tuning.GetBadLineCount(), 0);
    EXPECT_TRUE(tuning.Exists("Clock.Width"));
    const std::string last = values.substr(values.find_last_of('\n', values.size() - 2) + 1);
    EXPECT_TRUE(tuning.Exists(last.substr(0, last.find(' ')))) << last;
}

TEST(SceneContent, GenerationIsDeterministicAndSmall)
{
    // The same seed gives the same bytes as the files the build wrote.
    ArchiveTool::CArchiveWriter land, loco, clock;
    SceneContent::BuildLandscape(SceneContent::CWorld(SceneContent::kContentSeed), land);
    SceneContent::BuildLocomotive(loco);
    SceneContent::BuildClock(clock);
    const struct
    {
        const ArchiveTool::CArchiveWriter* writer;
        const char* file;
    } archives[] = {{&land, "Tarnholm.SSS"}, {&loco, "Locomotive.SSS"}, {&clock, "Clock.SSS"}};
    for (const auto& a : archives)
    {
        const auto bytes = a.writer->Build();
        EXPECT_TRUE(std::string(bytes.begin(), bytes.end()) == ReadText(kDir + "/" + a.file)) << a.file;
    }

    size_t total = 0;
    const auto start = std::chrono::steady_clock::now();
    for (const char* f : {"Tarnholm.SSS", "Locomotive.SSS", "Clock.SSS"})
    {
        total += ReadText(kDir + "/" + f).size();
        Load(f);
    }
    EXPECT_LT(total, 60u << 20);
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 5.0);
}
} // namespace
