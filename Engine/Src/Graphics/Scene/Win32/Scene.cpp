#include "Scene.h"

#include <algorithm>
#include <boost/regex.hpp>

#include "Camera.h"
#include "ControlledCamera.h"
#include "FileStorage.h"
#include "GeomObject.h"
#include "Light.h"
#include "Log.h"
#include "Mesh.h"
#include "MeshMaterial.h"
#include "OcclusionManager.h"
#include "Octree.h"
#include "RenderStateManager.h"

namespace
{
// A scene file in the working folder replaces the built-in one; a file that
// is there but cannot be read is named in the log and the built-in one is
// used instead. No file there is the usual case and says nothing.
bool OpenArchive(FileStorage::CArchive& archive, const std::string& path, uint16_t resourceId)
{
    if (!path.empty() && GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES)
    {
        if (archive.OpenFile(path))
            return true;
        g_Log.Printf("Scene file \"%s\" can't be read; the built-in scene {ResID: %u} is used instead\n", path.c_str(),
                     unsigned(resourceId));
    }
    return archive.OpenResource(resourceId);
}

bool MatchesWhole(const std::string& pattern, const std::string& name)
{
    try
    {
        return boost::regex_match(name, boost::regex(pattern, boost::regex::perl));
    }
    catch (const std::exception&)
    {
        g_Log.Printf("Error: \"%s\" is not a regular expression\n", pattern.c_str());
        return false;
    }
}
} // namespace

Scene::Scene(IDirect3DDevice8* device)
    : m_pRoot(std::make_unique<GeomObject>("SceneRoot")), m_pDevice(device),
      m_pLightTable(std::make_unique<CLightTable>()), m_pOcclusion(std::make_unique<COcclusionManager>()),
      m_pOctree(std::make_unique<COctreeManager>(&m_Objects, m_pRoot.get()))
{
}

Scene::~Scene()
{
    for (const std::unique_ptr<Object>& object : m_Owned)
        if (object.get() == g_CurrentCamera)
            g_CurrentCamera = nullptr;
}

int Scene::CountEntries(const std::string& path, uint16_t resourceId)
{
    FileStorage::CArchive archive;
    if (!OpenArchive(archive, path, resourceId))
    {
        g_Log.Printf("Error: Can't load scene file from \"%s\" and from resource {ResID: %u}", path.c_str(),
                     unsigned(resourceId));
        return 0;
    }
    return int(archive.GetEntryList().size());
}

bool Scene::Load(uint16_t resourceId, const std::string& path, CLoadingProgressHandler* handler)
{
    FileStorage::CArchive archive;
    if (!OpenArchive(archive, path, resourceId))
    {
        g_Log.Printf("Error: Can't load scene file from \"%s\" and from resource {ResID: %u}\n", path.c_str(),
                     unsigned(resourceId));
        return false;
    }
    m_Path = path;
    const std::vector<FileStorage::CArchive::Key> entries = archive.GetEntryList();
    const int n = int(entries.size());
    std::map<std::string, std::unique_ptr<Object>> loaded;
    bool haveEnv = false;
    FileStorage::EnvironmentRecord env;

    auto keep = [&](const std::string& name, std::unique_ptr<Object> object) {
        std::unique_ptr<Object>& slot = loaded[name];
        if (slot)
        {
            // One object a name: the later entry wins, the earlier is freed.
            g_Log.Printf("Error: object name \"%s\" is used twice in the archive; the later one is kept\n",
                         name.c_str());
            if (m_pActiveCamera == slot.get())
                m_pActiveCamera = nullptr;
        }
        slot = std::move(object);
    };

    for (int i = 0; i < n; ++i)
    {
        const std::string& name = entries[size_t(i)].first;
        const std::string& type = entries[size_t(i)].second;
        auto hook = m_LoadHooks.find(name);
        if (hook != m_LoadHooks.end() && hook->second)
            hook->second(true);
        FileStorage::CMemoryStream* stream = nullptr;
        try
        {
            if (type == FileStorage::kTypeGeomObject || type == FileStorage::kTypeCamera ||
                type == FileStorage::kTypeLight || type == FileStorage::kTypeEnvironment)
                stream = archive.Find(name, type);
            if (stream)
                stream->SetPosition(0);
            if (stream && type == FileStorage::kTypeGeomObject)
            {
                auto object = std::make_unique<GeomObject>(name);
                object->LoadFromStream(name, *stream, this, &archive);
                keep(name, std::move(object));
            }
            else if (stream && type == FileStorage::kTypeCamera)
            {
                auto camera = std::make_unique<Camera>(name);
                camera->LoadFromStream(name, *stream);
                Camera* raw = camera.get();
                keep(name, std::move(camera));
                if (!m_pActiveCamera)
                    m_pActiveCamera = raw;
            }
            else if (stream && type == FileStorage::kTypeLight)
            {
                auto light = std::make_unique<Light>(name);
                light->LoadFromStream(name, *stream);
                keep(name, std::move(light));
            }
            else if (stream && type == FileStorage::kTypeEnvironment)
            {
                FileStorage::EnvironmentRecord record;
                if (FileStorage::ReadRecord(*stream, record))
                {
                    env = record;
                    haveEnv = true;
                }
            }
        }
        catch (const FileStorage::ErrorRead& e)
        {
            g_Log.Printf("Error: entry \"%s\" (%s) of \"%s\" can't be read: %s\n", name.c_str(), type.c_str(),
                         path.c_str(), e.what());
        }
        if (handler)
            handler->OnLoadingProgress(i + 1, n);
        if (hook != m_LoadHooks.end() && hook->second)
            hook->second(false);
    }

    // The scene owns them from here on; `local` finds them by name.
    std::map<std::string, Object*> local;
    for (auto& entry : loaded)
    {
        local[entry.first] = entry.second.get();
        m_Owned.push_back(std::move(entry.second));
    }
    for (auto& entry : local)
    {
        Object* object = entry.second;
        auto parent = local.find(object->GetParentName());
        if (parent != local.end() && parent->second != object)
            parent->second->AttachChild(object);
        // A name already registered by an earlier archive is replaced in the
        // map; the earlier object stays the scene's.
        RegisterObject(object);
        if (object->GetTypeId() == OBJECT_TYPE_GEOM)
        {
            GeomObject* geom = static_cast<GeomObject*>(object);
            for (size_t m = 0; m < geom->GetMeshCount(); ++m)
                geom->GetMesh(m)->SetOcclusionManager(m_pOcclusion.get());
            if (object->GetName().find("Occluder") != std::string::npos)
            {
                m_pOcclusion->AddOccluder(geom);
                geom->SetVisible(false);
                geom->DisableOcclusionTest();
            }
        }
    }
    for (auto& entry : local)
    {
        if (entry.second->GetTypeId() != OBJECT_TYPE_LIGHT)
            continue;
        Light* light = static_cast<Light*>(entry.second);
        for (const std::string& excluded : light->GetExcludedNames())
        {
            auto target = local.find(excluded);
            if (target != local.end() && target->second->GetTypeId() == OBJECT_TYPE_GEOM)
                static_cast<GeomObject*>(target->second)->AddExcludedLight(light);
        }
    }
    if (haveEnv)
    {
        m_Ambient = env.AmbientColor();
        for (auto& entry : local)
            if (entry.second->GetTypeId() == OBJECT_TYPE_GEOM &&
                std::find(env.excludedObjects.begin(), env.excludedObjects.end(), entry.first) ==
                    env.excludedObjects.end())
                static_cast<GeomObject*>(entry.second)->SetAmbient(m_Ambient);
    }
    m_pRoot->UpdateHierarchy();
    return true;
}

void Scene::RegisterObject(Object* object)
{
    if (!object)
        return;
    auto existing = m_Objects.find(object->GetName());
    if (existing != m_Objects.end() && existing->second != object)
    {
        // One object a name: the earlier one stops being drawn and found.
        g_Log.Printf("Error: object \"%s\" is registered twice; the later one is kept\n", object->GetName().c_str());
        RemoveObject(existing->second);
    }
    m_Objects[object->GetName()] = object;
    const std::string& name = object->GetName();
    if (name.compare(0, 3, "bb_") == 0)
        object->SetBillboard(true);
    if (name.compare(0, 4, "bb2_") == 0)
    {
        object->SetBillboard(true);
        object->ClearCylindricalBillboard();
    }
    if (!object->GetParent())
        m_pRoot->AttachChild(object);
    if (object->GetTypeId() == OBJECT_TYPE_GEOM)
    {
        GeomObject* geom = static_cast<GeomObject*>(object);
        for (uint32_t i = 0; i < geom->GetMeshCount(); ++i)
        {
            const RenderEntry entry = {0.0f, geom, i};
            (geom->GetMesh(i)->IsTransparent() ? m_Transparent : m_Opaque).push_back(entry);
        }
    }
    else if (object->GetTypeId() == OBJECT_TYPE_LIGHT)
    {
        Light* light = static_cast<Light*>(object);
        light->SetDevice(m_pDevice);
        light->Enable();
        m_pLightTable->Add(light);
        m_pLightTable->NumberLights();
        m_Lights.push_back(light);
    }
}

void Scene::RemoveObject(Object* object)
{
    for (auto it = m_Objects.begin(); it != m_Objects.end();)
        it = it->second == object ? m_Objects.erase(it) : std::next(it);
    auto drop = [object](std::vector<RenderEntry>& list) {
        list.erase(std::remove_if(list.begin(), list.end(),
                                  [object](const RenderEntry& e) { return e.object == object; }),
                   list.end());
    };
    drop(m_Opaque);
    drop(m_Transparent);
}

Object* Scene::FindObject(const std::string& name) const
{
    auto it = m_Objects.find(name);
    return it == m_Objects.end() ? nullptr : it->second;
}

GeomObject* Scene::FindGeomObject(const std::string& name) const
{
    Object* o = FindObject(name);
    return o && o->GetTypeId() == OBJECT_TYPE_GEOM ? static_cast<GeomObject*>(o) : nullptr;
}

Light* Scene::FindLight(const std::string& name) const
{
    Object* o = FindObject(name);
    return o && o->GetTypeId() == OBJECT_TYPE_LIGHT ? static_cast<Light*>(o) : nullptr;
}

Camera* Scene::FindCamera(const std::string& name) const
{
    Object* o = FindObject(name);
    return o && o->GetTypeId() == OBJECT_TYPE_CAMERA ? static_cast<Camera*>(o) : nullptr;
}

MeshMaterial* Scene::FindMaterial(const std::string& name) const
{
    auto it = m_Materials.find(name);
    return it == m_Materials.end() ? nullptr : it->second.get();
}

void Scene::SetMaterial(const std::string& name, std::unique_ptr<MeshMaterial> material)
{
    m_Materials[name] = std::move(material);
}

IDirect3DBaseTexture8* Scene::GetCachedTexture(const std::string& name, int32_t type)
{
    auto it = m_Textures.find(std::make_pair(name, type));
    return it == m_Textures.end() ? nullptr : it->second.Get();
}

void Scene::SetCachedTexture(const std::string& name, int32_t type, IDirect3DBaseTexture8* texture)
{
    ComRef<IDirect3DBaseTexture8>& slot = m_Textures[std::make_pair(name, type)];
    if (slot.Get() != texture)
        slot.Reset(texture);
}

void Scene::ForEachObjectMatching(const std::string& pattern, void (*visitor)(Object*, void*), void* argument)
{
    for (auto& entry : m_Objects)
        if (MatchesWhole(pattern, entry.first))
            visitor(entry.second, argument);
}

void Scene::AddExcludedStaticObject(const std::string& name)
{
    m_pOctree->AddExcludedStaticObject(name);
}

void Scene::EnableOcclusion() { m_pOcclusion->Enable(); }

void Scene::DisableOcclusion() { m_pOcclusion->Disable(); }

void Scene::UseControlledCamera() { m_pActiveCamera = CControlledCamera::GetInstance(m_pActiveCamera); }

void Scene::BuildOctree()
{
    m_pOctree->CollectStaticObjects();
    m_pOctree->BuildTree(OCTREE_QUADTREE, 3);
}

bool Scene::MatchesSmoothNormalPattern(const std::string& name) const
{
    for (const std::string& pattern : m_SmoothNormalPatterns)
        if (MatchesWhole(pattern, name))
            return true;
    return false;
}

void Scene::Render(bool opaqueOnly)
{
    g_CurrentCamera = m_pActiveCamera;
    m_pRoot->UpdateHierarchy();
    D3DXVECTOR3 eye(0, 0, 0);
    if (m_pActiveCamera)
    {
        m_pActiveCamera->Apply(m_pDevice);
        const D3DXMATRIX& world = m_pActiveCamera->GetWorldMatrix();
        eye = D3DXVECTOR3(world._41, world._42, world._43);
    }
    if (m_pActiveCamera)
        m_pOctree->Cull(GetCurrentFrustum());
    m_pLightTable->Update();
    m_pOcclusion->Update(m_pActiveCamera);
    RenderStateManager& cache = RenderStateManager::Instance();
    cache.SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    for (const RenderEntry& entry : m_Opaque)
        entry.object->Render(m_pDevice, entry.meshIndex, -1);
    if (opaqueOnly)
        return;
    cache.SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    cache.SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    cache.SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    for (RenderEntry& entry : m_Transparent)
        entry.key = entry.object->DistanceToWorld(eye.x, eye.y, eye.z);
    std::sort(m_Transparent.begin(), m_Transparent.end(),
              [](const RenderEntry& a, const RenderEntry& b) { return a.key > b.key; });
    for (const RenderEntry& entry : m_Transparent)
        entry.object->Render(m_pDevice, entry.meshIndex, -1);
}

void Scene::PreloadTextures()
{
    for (auto& entry : m_Textures)
        if (entry.second)
            entry.second->PreLoad();
}

void Scene::PreloadBuffers()
{
    for (const auto& entry : m_Objects)
    {
        if (!entry.second || entry.second->GetTypeId() != OBJECT_TYPE_GEOM)
            continue;
        const GeomObject* object = static_cast<const GeomObject*>(entry.second);
        for (size_t i = 0; i < object->GetMeshCount(); ++i)
            object->GetMesh(i)->PreloadBuffers();
    }
}
