#pragma once
// The scene's occluder list. Until occluder-based culling exists it keeps
// the occluders it is given and offers no occlusion frusta, so nothing is
// found occluded.
#include <vector>

class GeomObject;
class Camera;

class COcclusionManager
{
public:
    void AddOccluder(GeomObject* object) { m_Occluders.push_back(object); }
    void Update(Camera*) {}
    size_t GetActiveFrustumCount() const { return 0; }
    const std::vector<GeomObject*>& GetOccluders() const { return m_Occluders; }

private:
    std::vector<GeomObject*> m_Occluders;
};
