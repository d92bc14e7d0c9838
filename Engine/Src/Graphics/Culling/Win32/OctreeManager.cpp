#include "Octree.h"

#include <algorithm>

#include "Camera.h"
#include "GeomObject.h"
#include "Log.h"
#include "Mesh.h"
#include "ObjectMask.h"

COctreeManager::COctreeManager(const ObjectNameMap* objects, Object* root)
    : m_pObjects(objects), m_pSceneRoot(root), m_pRoot(std::make_unique<OctreeNode>())
{
}

GeomObject* COctreeManager::FindGeomObject(const std::string& name) const
{
    const auto it = m_pObjects->find(name);
    Object* object = it == m_pObjects->end() ? nullptr : it->second;
    return object && object->GetTypeId() == OBJECT_TYPE_GEOM ? static_cast<GeomObject*>(object) : nullptr;
}

COctreeManager::~COctreeManager() = default;

void COctreeManager::ClearEntries()
{
    // The tree's nodes point at the entries: they go together.
    m_pRoot = std::make_unique<OctreeNode>();
    m_Entries.clear();
}

void COctreeManager::AddExcludedStaticObject(const std::string& name)
{
    GeomObject* object = FindGeomObject(name);
    if (!object)
    {
        g_Log.Printf("Error at function COctreeManager::AddExcludedStaticObject no object with name %s\n",
                     name.c_str());
        return;
    }
    m_Excluded.push_back(object);
}

void COctreeManager::CollectStaticObjects()
{
    std::vector<GeomObject*> bones;
    const ObjectMask all(m_pObjects, ".*");
    for (ObjectMaskIterator it = all.BeginGeom(); !it.AtEnd(); ObjectMask::NextGeom(it))
    {
        GeomObject* geom = static_cast<GeomObject*>(it.GetObject());
        geom->SetOctreeManager(this);
        if (geom->GetMeshCount() == 0 || geom->IsBillboard())
            continue;
        bool skinned = false;
        for (size_t m = 0; m < geom->GetMeshCount(); ++m)
        {
            for (const FileStorage::BoneRef& bone : geom->GetMesh(m)->GetBones())
            {
                skinned = true;
                GeomObject* boneObject = FindGeomObject(bone.objectName);
                if (boneObject && std::find(bones.begin(), bones.end(), boneObject) == bones.end())
                    bones.push_back(boneObject);
            }
        }
        if (skinned || std::find(m_Excluded.begin(), m_Excluded.end(), geom) != m_Excluded.end())
            continue;
        geom->SetStatic(true);
        m_Entries.push_back(std::make_unique<OctreeEntry>());
        m_Entries.back()->object = geom;
    }
    // Whatever moves, and everything below a top-level node that was not
    // entered, leaves the tree again.
    for (GeomObject* bone : bones)
        bone->MakeDynamic();
    for (Object* top : m_pSceneRoot->GetChildren())
        if (!top->IsStatic())
            top->MakeDynamic();
}

void COctreeManager::UpdateBounds(OctreeEntry* entry)
{
    GeomObject* geom = entry->object;
    if (geom->GetMeshCount() == 0)
    {
        g_Log.Printf("Error while updating bounding points for static object %s, object doesn't contain meshes.\n",
                     geom->GetName().c_str());
        entry->max = entry->min = D3DXVECTOR3(0, 0, 0);
        return;
    }
    entry->max = geom->GetBoundingBoxMax();
    entry->min = geom->GetBoundingBoxMin();
}

void COctreeManager::Build(int type, int levels)
{
    for (const std::unique_ptr<OctreeEntry>& e : m_Entries)
        e->object->SetCulled(false);
    ClearEntries();
    CollectStaticObjects();
    BuildTree(type, levels);
}

void COctreeManager::BuildTree(int type, int levels)
{
    std::vector<OctreeEntry*> entries;
    entries.reserve(m_Entries.size());
    for (const std::unique_ptr<OctreeEntry>& e : m_Entries)
    {
        UpdateBounds(e.get());
        entries.push_back(e.get());
    }
    m_pRoot->Build(entries, type, nullptr, levels);
}

void COctreeManager::Cull(const Frustum& frustum)
{
    if (m_Entries.empty() || !m_bEnabled)
        return;
    for (const std::unique_ptr<OctreeEntry>& e : m_Entries)
        e->culled = false;
    m_pRoot->Cull(frustum);
    for (const std::unique_ptr<OctreeEntry>& e : m_Entries)
        e->object->SetCulled(e->culled);
}

void COctreeManager::RemoveStaticObject(GeomObject* object)
{
    const auto it = std::find_if(m_Entries.begin(), m_Entries.end(),
                                 [object](const std::unique_ptr<OctreeEntry>& e) { return e->object == object; });
    if (it == m_Entries.end())
        return;
    m_pRoot->RemoveEntry(it->get()); // the nodes hold it without owning it
    m_Entries.erase(it);
    object->SetCulled(false);
}
