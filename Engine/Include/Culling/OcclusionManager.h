#pragma once
// Occluder-based occlusion culling. Flat quads marked in the content (objects
// named with "Occluder") become, each frame, the pyramid behind the quad as
// seen from the eye; a box wholly inside one such pyramid is hidden. The
// frusta are platform-free; taking the quad from a geometry object's first
// mesh builds in the Windows tree.
#include <vector>

#include "MeshServices.h"
#include "d3dx8math.h"

class Camera;
class GeomObject;
class Object;
struct Frustum;

struct OcclusionQuad
{
    // Local corners in the occluder list, world corners in the active list.
    D3DXVECTOR3 p[4];
    GeomObject* object = nullptr;
    const Object* node = nullptr; // the same object as a scene node
    // Zero in the occluder list; in the active list plane 0 is the quad's
    // own plane and planes 1 to 4 pass through the eye and one edge each.
    D3DXPLANE planes[5];
};

class COcclusionManager : public IOcclusionTest
{
public:
    // Windows tree: the quad from the first mesh's local box.
    void AddOccluder(GeomObject* object);
    // The quad (m.x, m.y, m.z), (m.x, M.y, M.z), (M.x, M.y, M.z), (M.x, m.y,
    // M.z) of a flat local box, placed each frame by the node's world matrix.
    void AddOccluderQuad(GeomObject* object, const Object* node, const D3DXVECTOR3& min, const D3DXVECTOR3& max);

    // Rebuilds the active frusta with the camera's eye and the frustum of
    // the camera applied last.
    void Update(Camera* camera);
    void Update(const D3DXVECTOR3& eye, const Frustum& frustum);

    // True when every corner lies on or behind all five planes of one
    // active frustum. Never while disabled.
    bool IsBoxOccluded(const D3DXVECTOR3 corners[8]) const override;

    // Turning it off forgets the frusta, so nothing stays hidden behind an
    // occluder of an earlier frame.
    void Enable() { m_bEnabled = true; }
    void Disable();
    void SetEnabled(bool on) { on ? Enable() : Disable(); }
    bool IsEnabled() const { return m_bEnabled; }
    Camera* GetCamera() const { return m_pCamera; }
    const std::vector<OcclusionQuad>& GetOccluders() const { return m_Occluders; }
    const std::vector<OcclusionQuad>& GetActiveFrusta() const { return m_Active; }
    size_t GetActiveFrustumCount() const { return m_Active.size(); }

private:
    std::vector<OcclusionQuad> m_Occluders;
    std::vector<OcclusionQuad> m_Active;
    bool m_bEnabled = false;
    const Frustum* m_pFrustum = nullptr;
    D3DXVECTOR3 m_Eye = D3DXVECTOR3(0, 0, 0);
    Camera* m_pCamera = nullptr;
};
