#pragma once
// The culling tree of a scene's static geometry: boxes split at their centre
// (eight ways for an octree, four for a quadtree, which keeps the full Z
// range), each node holding the entries whose boxes lie wholly inside it.
// Walked against the camera frustum once a frame; an entry ends culled only
// when a node that wholly contains it lies wholly outside the frustum. The
// tree itself is platform-free; the manager, which reads geometry objects,
// builds in the Windows tree.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "MeshServices.h"
#include "ObjectMask.h"
#include "d3dx8math.h"

class GeomObject;
class Object;
struct Frustum;

enum OctreeType
{
    OCTREE_OCTREE = 1,
    OCTREE_QUADTREE = 2,
};

struct OctreeEntry
{
    GeomObject* object = nullptr;
    D3DXVECTOR3 max = D3DXVECTOR3(0, 0, 0);
    D3DXVECTOR3 min = D3DXVECTOR3(0, 0, 0);
    bool culled = false; // the tree's verdict of the last walk
};

class OctreeNode
{
public:
    OctreeNode() = default;
    ~OctreeNode();
    OctreeNode(const OctreeNode&) = delete;
    OctreeNode& operator=(const OctreeNode&) = delete;

    // The root (no parent) takes every entry and the box around them all; a
    // child takes the parent's entries that lie wholly inside its box.
    // Builds `levels` levels of children below this node.
    void Build(const std::vector<OctreeEntry*>& entries, int type, OctreeNode* parent, int levels);
    // Sets the visible and fully-inside flags from the six planes (a point
    // is in front when a x + b y + c z + d > 0).
    void TestFrustum(const Frustum& frustum);
    // Marks the entries of decided nodes; straddling nodes recurse.
    void Cull(const Frustum& frustum);
    // Removes the first entry equal to `entry` here and in every child.
    void RemoveEntry(const OctreeEntry* entry);

    void SetBox(const D3DXVECTOR3& min, const D3DXVECTOR3& max)
    {
        m_Min = min;
        m_Max = max;
    }
    const std::vector<std::unique_ptr<OctreeNode>>& GetChildren() const { return m_Children; }
    const std::vector<OctreeEntry*>& GetEntries() const { return m_Entries; }
    const D3DXVECTOR3& GetMin() const { return m_Min; }
    const D3DXVECTOR3& GetMax() const { return m_Max; }
    bool IsVisible() const { return m_bVisible; }
    bool IsFullyInside() const { return m_bFullyInside; }

private:
    void Clear();

    std::vector<std::unique_ptr<OctreeNode>> m_Children;
    std::vector<OctreeEntry*> m_Entries; // the manager's
    D3DXVECTOR3 m_Corners[8];
    D3DXVECTOR3 m_Max = D3DXVECTOR3(0, 0, 0);
    D3DXVECTOR3 m_Min = D3DXVECTOR3(0, 0, 0);
    bool m_bVisible = true;
    bool m_bFullyInside = false;
};

// One per scene. Windows tree.
class COctreeManager : public IStaticObjectIndex
{
public:
    // Over a scene's objects by name and its root node.
    COctreeManager(const ObjectNameMap* objects, Object* root);
    ~COctreeManager();
    COctreeManager(const COctreeManager&) = delete;
    COctreeManager& operator=(const COctreeManager&) = delete;

    void AddExcludedStaticObject(const std::string& name);
    // Enters the static geometry objects, then takes out again bone objects
    // and everything below a top-level node that was not entered.
    void CollectStaticObjects();
    void UpdateBounds(OctreeEntry* entry);
    // Collection, bounds and tree in one step (clears an earlier tree).
    void Build(int type = OCTREE_QUADTREE, int levels = 3);
    // Bounds and tree over the entries already collected.
    void BuildTree(int type = OCTREE_QUADTREE, int levels = 3);
    // Once a frame, with the frustum of the camera applied last.
    void Cull(const Frustum& frustum);
    void RemoveStaticObject(GeomObject* object) override;

    void Enable(bool on) { m_bEnabled = on; }
    bool IsEnabled() const { return m_bEnabled; }
    const std::vector<std::unique_ptr<OctreeEntry>>& GetEntries() const { return m_Entries; }
    const OctreeNode* GetRoot() const { return m_pRoot.get(); }

private:
    void ClearEntries();

    GeomObject* FindGeomObject(const std::string& name) const;

    const ObjectNameMap* m_pObjects;
    Object* m_pSceneRoot;
    std::vector<std::unique_ptr<OctreeEntry>> m_Entries;
    std::vector<GeomObject*> m_Excluded;
    std::unique_ptr<OctreeNode> m_pRoot;
    bool m_bEnabled = true;
};
