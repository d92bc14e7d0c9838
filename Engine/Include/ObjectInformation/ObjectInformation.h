#pragma once
// The object-information overlay: Ctrl+click on the running program selects
// the geometry object under the pointer (repeated clicks at the same place
// step from near to far), switches its debug views on and lists its name,
// position, distance, parent and meshes at the top of the screen. Every
// geometry object registers its information view with the one manager.
// Selection and the text are platform-free; queuing the text for drawing is
// in the Windows tree.
#include <cstdint>
#include <string>
#include <vector>

#include "d3dx8math.h"

class Camera;

class CObjectInformation
{
public:
    CObjectInformation();
    virtual ~CObjectInformation();

    virtual std::string GetInfoName() const = 0;
    virtual uint32_t GetInfoVertexCount() const = 0;
    virtual uint32_t GetInfoTriangleCount() const = 0;
    virtual D3DXVECTOR3 GetInfoPosition() const = 0;
    // True when the ray from the eye through the screen point hits the
    // object; `distance` from the eye to the hit.
    virtual bool HitTest(int x, int y, float* distance) = 0;
    // Switches the selected object's debug views on or off.
    virtual void SetSelectedViews(bool) {}
    // The parent and per-mesh lines of the overlay.
    virtual void AppendInformation(std::vector<std::string>*) const {}

    int m_Pickable = 1;
};

class ObjectInformationManager
{
public:
    static const uint32_t kNone = 0xFFFFFFFFu;

    static ObjectInformationManager& Instance();
    // False once the manager is gone at the end of the process.
    static bool Exists();

    void Register(CObjectInformation* view);
    // Removes the first entry equal to the view; the selection follows the
    // entries it pointed at and is cleared when it was this view.
    void Unregister(CObjectInformation* view);
    void SetCamera(Camera* camera);
    // Ctrl+click at client (x, y); a non-zero flag does nothing.
    void Pick(int flag, int x, int y);
    // The text lines of the selection (empty without one).
    std::vector<std::string> BuildLines() const;
    // Windows tree: queues the lines through the debug drawing, white, at
    // x 600 from y 20 in steps of 10.
    void Render();

    CObjectInformation* GetSelected() const;
    uint32_t GetSelectedIndex() const { return m_Selected; }
    Camera* GetCamera() const { return m_pCamera; }
    const D3DXMATRIX& GetView() const { return m_View; }
    const D3DXMATRIX& GetProjection() const { return m_Projection; }
    const std::vector<CObjectInformation*>& GetViews() const { return m_Views; }

    ObjectInformationManager();
    ~ObjectInformationManager();

private:
    Camera* m_pCamera = nullptr;
    std::vector<CObjectInformation*> m_Views;
    uint32_t m_Selected = kNone;
    D3DXMATRIX m_View;
    D3DXMATRIX m_Projection;
    int m_LastX = -1, m_LastY = -1;
};

// The world ray through client point (x, y) of a viewport of w x h pixels
// for a view and a projection.
void PickRay(int x, int y, int w, int h, const D3DXMATRIX& view, const D3DXMATRIX& projection, D3DXVECTOR3* origin,
             D3DXVECTOR3* direction);
