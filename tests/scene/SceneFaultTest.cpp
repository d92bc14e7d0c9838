// Records a loader must survive, and the texture-size hook.
#include <gtest/gtest.h>

#include <memory>

#include "GeomObject.h"
#include "Light.h"
#include "MeshMaterial.h"
#include "SceneTestSupport.h"

namespace
{
bool Logged(const std::string& log, const std::string& text) { return log.find(text) != std::string::npos; }

class Halving : public Map::CTextureSizeModifier
{
public:
    void ModifySize(const std::string&, uint32_t* width, uint32_t* height) override
    {
        *width >>= 1;
        *height >>= 1;
    }
};
} // namespace

TEST(SceneFaults, FaultyRecordsAreLoggedAndDroppedAndNothingLeaks)
{
    SceneDeviceFixture fixture(64);
    IDirect3DDevice8* d3d = fixture.m_Device.Get();
    ASSERT_NE(nullptr, d3d);
    struct Progress : Scene::CLoadingProgressHandler
    {
        int calls = 0, done = 0, total = 0;
        void OnLoadingProgress(int d, int t) override
        {
            ++calls;
            done = d;
            total = t;
        }
    } progress;
    Scene* scene = new Scene(d3d);
    ASSERT_TRUE(scene->Load(102, "", &progress));
    const std::string log = fixture.NewLog();
    EXPECT_EQ(Scene::CountEntries("", 102), progress.calls);
    EXPECT_EQ(progress.calls, progress.done);
    EXPECT_EQ(progress.calls, progress.total);
    EXPECT_EQ(0, Scene::CountEntries("no such file.SSS", 999));

    // One object a name: the light entry "Twin" sorts after the geometry.
    EXPECT_TRUE(Logged(log, "object name \"Twin\" is used twice")) << log;
    ASSERT_NE(nullptr, scene->FindLight("Twin"));
    EXPECT_EQ(nullptr, scene->FindGeomObject("Twin"));
    EXPECT_EQ(10u, scene->GetLights().size());

    // Meshes whose counts lie are rejected, their object keeps the rest.
    GeomObject* broken = scene->FindGeomObject("Broken");
    ASSERT_NE(nullptr, broken);
    EXPECT_EQ(1u, broken->GetMeshCount());
    EXPECT_TRUE(Logged(log, "mesh 0 of object \"Broken\" is rejected: index 4 past 4 vertices")) << log;
    EXPECT_TRUE(Logged(log, "mesh 1 of object \"Broken\" is rejected: 5 indices are not whole triangles")) << log;

    // Morphs that can't play are dropped; the meshes of frame 0 stay.
    for (const char* name : {"Wobbly", "Frozen"})
    {
        GeomObject* object = scene->FindGeomObject(name);
        ASSERT_NE(nullptr, object) << name;
        EXPECT_TRUE(object->GetMorphFrames().empty()) << name;
        EXPECT_TRUE(Logged(log, std::string("the morph of object \"") + name + "\" is dropped")) << log;
        object->PlayMorphAnimation(0, 1000, 1);
        EXPECT_FALSE(object->IsMorphPlaying()) << name;
    }
    EXPECT_EQ(2u, scene->FindGeomObject("Wobbly")->GetMeshCount());

    // A texture without picture, a material without record, no material.
    EXPECT_TRUE(Logged(log, "texture \"NoSuchPicture\" has no picture in the archive")) << log;
    ASSERT_NE(nullptr, scene->FindMaterial("Ghost"));
    EXPECT_FALSE(scene->FindMaterial("Ghost")->GetEffectState().IsPresent(MAPKIND_DIFFUSE));
    EXPECT_TRUE(Logged(log, "material \"Nowhere\" is not in the archive")) << log;
    const MeshMaterial* stray = scene->FindGeomObject("Stray")->GetMesh(0)->GetMaterial();
    ASSERT_NE(nullptr, stray);
    EXPECT_TRUE(stray->IsTwoSided());
    EXPECT_EQ(nullptr, scene->FindGeomObject("Bare")->GetMesh(0)->GetMaterial());

    // A map kind no slot takes is stepped over; the next map is read.
    const MaterialEffectState& odd = scene->FindMaterial("Odd")->GetEffectState();
    EXPECT_EQ(1u << MAPKIND_DIFFUSE, odd.GetKindMask());
    EXPECT_EQ("BasicDiffuse", odd.GetEffect().GetName());

    // A skinned mesh loses its weights from the vertices and keeps its bones.
    const Mesh* skinned = scene->FindGeomObject("Skinned")->GetMesh(0);
    EXPECT_EQ(0x112u, skinned->GetFVF());
    EXPECT_EQ(32u, skinned->GetStride());
    EXPECT_EQ(2u, skinned->GetBones().size());
    EXPECT_FALSE(skinned->UsesOwnBuffers());
    // Its vertices copied into a buffer of another format keep position and uv.
    IDirect3DVertexBuffer8* copy = nullptr;
    ASSERT_EQ(S_OK, d3d->CreateVertexBuffer(3 * 20, 0, D3DFVF_XYZ | D3DFVF_TEX1, D3DPOOL_MANAGED, &copy));
    skinned->CopyVertices(copy);
    BYTE* bytes = nullptr;
    ASSERT_EQ(S_OK, copy->Lock(0, 0, &bytes, D3DLOCK_READONLY));
    const float* second = reinterpret_cast<const float*>(bytes + 20);
    EXPECT_EQ(1.0f, second[0]);
    EXPECT_EQ(0.0f, second[1]);
    EXPECT_EQ(1.0f, second[3]); // u
    copy->Unlock();
    copy->Release();

    // Ten enabled lights: eight reach the device.
    DrawFrame(d3d, *scene);
    EXPECT_EQ(8, RenderStateManager::Instance().GetEnabledLightCount());
    int dark = 0;
    for (Light* light : scene->GetLights())
        dark += light->GetSlot() == -1 ? 1 : 0;
    EXPECT_EQ(2, dark);
    EXPECT_TRUE(Logged(fixture.NewLog(), "more than 8 enabled lights"));

    // The bumped material draws its base pass, then its two passes for each
    // of the eight lights; its map bindings cover the technique's passes.
    const MaterialEffectState& omni = scene->FindMaterial("Omni")->GetEffectState();
    EXPECT_TRUE(omni.IsOmniPass());
    EXPECT_EQ(1 + 2 * 8, omni.GetPassCount());
    EXPECT_EQ(2u, omni.GetMapBindingPassCount());
    EXPECT_EQ(1, omni.GetTechniquePass(4)); // the second pass for the second light
    // Its second pass made the normalisation cube map.
    ASSERT_NE(nullptr, g_NormalizationCubeMap);
    D3DLOCKED_RECT rect;
    ASSERT_EQ(S_OK, g_NormalizationCubeMap->LockRect(D3DCUBEMAP_FACE_POSITIVE_X, 0, &rect, nullptr, D3DLOCK_READONLY));
    const uint32_t centre = static_cast<const uint32_t*>(rect.pBits)[128 * rect.Pitch / 4 + 128];
    g_NormalizationCubeMap->UnlockRect(D3DCUBEMAP_FACE_POSITIVE_X, 0);
    EXPECT_EQ(0xFF8080u, centre & 0xFFFFFFu);

    // Environment maps: five pictures make no cube; six make one from the
    // first on; seven from the second on.
    auto cubeFaceX = [&](const char* material) -> int64_t {
        IDirect3DBaseTexture8* t = scene->FindMaterial(material)->GetEffectState().GetMap(MAPKIND_ENVIRONMENT)->GetTexture();
        if (!t || t->GetType() != D3DRTYPE_CUBETEXTURE)
            return -1;
        D3DLOCKED_RECT r;
        auto* cube = static_cast<IDirect3DCubeTexture8*>(t);
        if (FAILED(cube->LockRect(D3DCUBEMAP_FACE_POSITIVE_X, 0, &r, nullptr, D3DLOCK_READONLY)))
            return -2;
        const uint32_t texel = *static_cast<const uint32_t*>(r.pBits) & 0xFFFFFF;
        cube->UnlockRect(D3DCUBEMAP_FACE_POSITIVE_X, 0);
        return texel;
    };
    EXPECT_EQ(-1, cubeFaceX("Sky5"));
    EXPECT_EQ(0xFF0000, cubeFaceX("Sky6"));
    EXPECT_EQ(0x00FF00, cubeFaceX("Sky7"));

    // Lookups by whole-name patterns, case and all.
    int lamps = 0;
    scene->ForEachObjectMatching("Lamp[1-3]", [](Object*, void* n) { ++*static_cast<int*>(n); }, &lamps);
    EXPECT_EQ(3, lamps);
    scene->AddSmoothNormalPattern("Sky.*");
    EXPECT_TRUE(scene->MatchesSmoothNormalPattern("Sky5"));
    EXPECT_FALSE(scene->MatchesSmoothNormalPattern("sky5"));
    EXPECT_FALSE(scene->MatchesSmoothNormalPattern("BigSky"));

    // A removed object is neither found nor drawn, and stays the scene's.
    const size_t opaque = scene->GetOpaqueList().size();
    Object* removed = scene->FindObject("Odd");
    scene->RemoveObject(removed);
    EXPECT_EQ(nullptr, scene->FindObject("Odd"));
    EXPECT_EQ(opaque - 1, scene->GetOpaqueList().size());
    scene->RegisterObject(removed);
    EXPECT_EQ(opaque, scene->GetOpaqueList().size());

    // Clones have maps of their own and choose the same effect.
    std::unique_ptr<MeshMaterial> clone(MeshMaterial::Clone(*scene->FindMaterial("Omni"), "Omni2"));
    EXPECT_EQ("Omni2", clone->GetName());
    EXPECT_NE(clone->GetEffectState().GetMap(MAPKIND_DIFFUSE), omni.GetMap(MAPKIND_DIFFUSE));
    EXPECT_EQ(omni.GetMap(MAPKIND_DIFFUSE)->GetTexture(), clone->GetEffectState().GetMap(MAPKIND_DIFFUSE)->GetTexture());
    EXPECT_EQ("BasicOmni", clone->GetEffectState().GetEffect().GetName());
    clone.reset();

    delete scene;
    EXPECT_EQ(fixture.m_StartRefs, fixture.RefsAfterRelease());
}

// A removed object, and one whose name a later load takes over, leave the
// index but stay the scene's: their meshes' buffers go with the scene.
TEST(SceneFaults, RemovedAndReplacedObjectsAreFreedWithTheScene)
{
    SceneDeviceFixture fixture(64);
    ASSERT_NE(nullptr, fixture.m_Device.Get());
    auto scene = std::make_unique<Scene>(fixture.m_Device.Get());
    ASSERT_TRUE(scene->Load(102, "", nullptr));
    GeomObject* removed = scene->FindGeomObject("Odd");
    ASSERT_NE(nullptr, removed);
    ASSERT_LT(0u, removed->GetMeshCount());
    scene->RemoveObject(removed);
    Object* replaced = scene->FindObject("Lamp1");
    ASSERT_NE(nullptr, replaced);
    ASSERT_TRUE(scene->Load(102, "", nullptr));
    EXPECT_NE(replaced, scene->FindObject("Lamp1"));
    EXPECT_NE(nullptr, scene->FindGeomObject("Odd"));
    scene.reset();
    EXPECT_EQ(fixture.m_StartRefs, fixture.RefsAfterRelease());
}

TEST(SceneFaults, TextureSizeModifierShrinksTexturesBeforeTheyAreMade)
{
    SceneDeviceFixture fixture(64);
    IDirect3DDevice8* d3d = fixture.m_Device.Get();
    ASSERT_NE(nullptr, d3d);
    Halving halving;
    Map::SetTextureSizeModifier(&halving);
    Scene* scene = new Scene(d3d);
    const bool loaded = scene->Load(101, "", nullptr);
    Map::SetTextureSizeModifier(nullptr);
    ASSERT_TRUE(loaded);
    MeshMaterial* ground = scene->FindMaterial("Ground");
    ASSERT_NE(nullptr, ground);
    EXPECT_EQ("BasicDiffuseLight", ground->GetEffectState().GetEffect().GetName());
    ASSERT_NE(nullptr, ground);
    auto* texture = static_cast<IDirect3DTexture8*>(ground->GetEffectState().GetMap(MAPKIND_DIFFUSE)->GetTexture());
    ASSERT_NE(nullptr, texture);
    D3DSURFACE_DESC desc;
    ASSERT_EQ(S_OK, texture->GetLevelDesc(0, &desc));
    EXPECT_EQ(8u, desc.Width);
    EXPECT_EQ(8u, desc.Height);
    // Maps of one name and type share the scene's one texture.
    MeshMaterial* glass = scene->FindMaterial("GlassBlue");
    EXPECT_EQ(glass->GetEffectState().GetMap(MAPKIND_ALPHA)->GetTexture(),
              scene->FindMaterial("GlassRed")->GetEffectState().GetMap(MAPKIND_ALPHA)->GetTexture());
    delete scene;
    EXPECT_EQ(fixture.m_StartRefs, fixture.RefsAfterRelease());
}

TEST(SceneFaults, WithLightMapsOffTheGroundDrawsWithItsDiffuseMapAlone)
{
    SceneDeviceFixture fixture(64);
    ASSERT_NE(nullptr, fixture.m_Device.Get());
    g_LightMapsEnabled = false;
    Scene* scene = new Scene(fixture.m_Device.Get());
    const bool loaded = scene->Load(101, "", nullptr);
    g_LightMapsEnabled = true;
    ASSERT_TRUE(loaded);
    const MaterialEffectState& ground = scene->FindMaterial("Ground")->GetEffectState();
    EXPECT_EQ(1u << MAPKIND_DIFFUSE, ground.GetKindMask());
    EXPECT_EQ("BasicDiffuse", ground.GetEffect().GetName());
    delete scene;
    EXPECT_EQ(fixture.m_StartRefs, fixture.RefsAfterRelease());
}

TEST(SceneFaults, TextureFormatChecksKeepNoReferenceOnTheDirect3DObject)
{
    SceneDeviceFixture fixture(16);
    IDirect3DDevice8* device = fixture.m_Device.Get();
    ASSERT_NE(nullptr, device);
    IDirect3D8* d3d = nullptr;
    ASSERT_EQ(S_OK, device->GetDirect3D(&d3d));
    const ULONG before = d3d->Release();
    // A refresh forgets the Direct3D object it looked at; it holds no
    // reference to give back.
    for (bool refresh : {true, false, true, true})
        EXPECT_TRUE(CheckTextureFormat(device, D3DFMT_A8R8G8B8, refresh)) << refresh;
    d3d->AddRef();
    EXPECT_EQ(before, d3d->Release());
    EXPECT_EQ(fixture.m_StartRefs, fixture.RefsAfterRelease());
}
