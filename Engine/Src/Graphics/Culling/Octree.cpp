#include "Octree.h"

#include <algorithm>

#include "Camera.h"

OctreeNode::~OctreeNode() = default;

void OctreeNode::Clear()
{
    m_Children.clear();
    m_Entries.clear();
}

void OctreeNode::Build(const std::vector<OctreeEntry*>& entries, int type, OctreeNode* parent, int levels)
{
    Clear();
    if (!parent)
    {
        m_Entries = entries;
        m_Max = D3DXVECTOR3(-3.4028235e38f, -3.4028235e38f, -3.4028235e38f);
        m_Min = D3DXVECTOR3(3.4028235e38f, 3.4028235e38f, 3.4028235e38f);
        for (const OctreeEntry* e : entries)
        {
            m_Max = D3DXVECTOR3(std::max(m_Max.x, e->max.x), std::max(m_Max.y, e->max.y), std::max(m_Max.z, e->max.z));
            m_Min = D3DXVECTOR3(std::min(m_Min.x, e->min.x), std::min(m_Min.y, e->min.y), std::min(m_Min.z, e->min.z));
        }
    }
    else
    {
        for (OctreeEntry* e : entries)
            if (e->max.x <= m_Max.x && e->max.y <= m_Max.y && e->max.z <= m_Max.z && e->min.x >= m_Min.x &&
                e->min.y >= m_Min.y && e->min.z >= m_Min.z)
                m_Entries.push_back(e);
    }
    for (int i = 0; i < 8; ++i)
        m_Corners[i] = D3DXVECTOR3(i & 1 ? m_Max.x : m_Min.x, i & 2 ? m_Max.y : m_Min.y, i & 4 ? m_Max.z : m_Min.z);

    if (levels <= 0 || (type != OCTREE_OCTREE && type != OCTREE_QUADTREE))
        return;
    const int count = type == OCTREE_OCTREE ? 8 : 4;
    const D3DXVECTOR3 centre = (m_Min + m_Max) * 0.5f;
    for (int i = 0; i < count; ++i)
    {
        // Index bits: 1 upper X half, 2 lower Y half, 4 lower Z half.
        D3DXVECTOR3 lo = m_Min, hi = m_Max;
        (i & 1 ? lo.x : hi.x) = centre.x;
        (i & 2 ? hi.y : lo.y) = centre.y;
        if (type == OCTREE_OCTREE)
            (i & 4 ? hi.z : lo.z) = centre.z;
        m_Children.push_back(std::make_unique<OctreeNode>());
        OctreeNode* child = m_Children.back().get();
        child->SetBox(lo, hi);
        child->Build(m_Entries, type, this, levels - 1);
    }
}

void OctreeNode::TestFrustum(const Frustum& frustum)
{
    m_bVisible = true;
    m_bFullyInside = false;
    int inFront = 0;
    for (const D3DXPLANE& plane : frustum.planes)
    {
        int here = 0;
        for (const D3DXVECTOR3& corner : m_Corners)
            if (D3DXPlaneDotCoord(&plane, &corner) > 0)
                ++here;
        if (here == 0)
        {
            m_bVisible = false;
            return;
        }
        inFront += here;
    }
    m_bFullyInside = inFront == 8 * FRUSTUM_PLANE_COUNT;
}

void OctreeNode::Cull(const Frustum& frustum)
{
    if (m_Entries.empty())
        return;
    TestFrustum(frustum);
    if (m_bFullyInside || !m_bVisible)
    {
        for (OctreeEntry* e : m_Entries)
            e->culled = !m_bVisible;
        return;
    }
    for (const std::unique_ptr<OctreeNode>& child : m_Children)
        child->Cull(frustum);
}

void OctreeNode::RemoveEntry(const OctreeEntry* entry)
{
    const auto it = std::find(m_Entries.begin(), m_Entries.end(), entry);
    if (it != m_Entries.end())
        m_Entries.erase(it);
    for (const std::unique_ptr<OctreeNode>& child : m_Children)
        child->RemoveEntry(entry);
}
