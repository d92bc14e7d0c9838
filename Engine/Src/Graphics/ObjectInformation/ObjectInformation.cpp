#include "ObjectInformation.h"

#include <algorithm>
#include <map>

#include "Camera.h"
#include "Log.h"

namespace
{
bool g_ManagerAlive = false;
} // namespace

CObjectInformation::CObjectInformation()
{
    ObjectInformationManager::Instance().Register(this);
}

CObjectInformation::~CObjectInformation()
{
    if (ObjectInformationManager::Exists())
        ObjectInformationManager::Instance().Unregister(this);
}

ObjectInformationManager& ObjectInformationManager::Instance()
{
    static ObjectInformationManager s_Manager;
    return s_Manager;
}

bool ObjectInformationManager::Exists()
{
    return g_ManagerAlive;
}

ObjectInformationManager::ObjectInformationManager()
{
    D3DXMatrixIdentity(&m_View);
    D3DXMatrixIdentity(&m_Projection);
    g_ManagerAlive = true;
}

ObjectInformationManager::~ObjectInformationManager()
{
    g_ManagerAlive = false;
}

void ObjectInformationManager::Register(CObjectInformation* view)
{
    m_Views.push_back(view);
    view->m_Pickable = 1;
}

void ObjectInformationManager::Unregister(CObjectInformation* view)
{
    const auto it = std::find(m_Views.begin(), m_Views.end(), view);
    if (it == m_Views.end())
        return;
    const uint32_t index = uint32_t(it - m_Views.begin());
    m_Views.erase(it);
    if (m_Selected == kNone)
        return;
    if (index == m_Selected)
        m_Selected = kNone;
    else if (index < m_Selected)
        --m_Selected;
}

void ObjectInformationManager::SetCamera(Camera* camera)
{
    m_pCamera = camera;
    if (!camera)
        return;
    m_View = camera->GetView();
    m_Projection = camera->GetProjection();
}

CObjectInformation* ObjectInformationManager::GetSelected() const
{
    return m_Selected < m_Views.size() ? m_Views[m_Selected] : nullptr;
}

void ObjectInformationManager::Pick(int flag, int x, int y)
{
    if (flag != 0)
        return;
    if (x != m_LastX && y != m_LastY)
    {
        if (CObjectInformation* selected = GetSelected())
            selected->SetSelectedViews(false);
        m_Selected = kNone;
    }
    std::map<float, uint32_t> hits; // nearest first; a later view wins a tie
    for (uint32_t i = 0; i < m_Views.size(); ++i)
    {
        float distance = 0;
        if (m_Views[i]->m_Pickable && m_Views[i]->HitTest(x, y, &distance))
            hits[distance] = i;
    }
    if (hits.empty())
        return;
    auto next = hits.begin();
    for (auto it = hits.begin(); it != hits.end(); ++it)
        if (it->second == m_Selected)
        {
            next = std::next(it);
            if (next == hits.end())
                next = hits.begin();
            break;
        }
    if (CObjectInformation* previous = GetSelected())
        previous->SetSelectedViews(false);
    m_Selected = next->second;
    m_Views[m_Selected]->SetSelectedViews(true);
    m_LastX = x;
    m_LastY = y;
}

std::vector<std::string> ObjectInformationManager::BuildLines() const
{
    std::vector<std::string> lines;
    const CObjectInformation* view = GetSelected();
    if (!view)
        return lines;
    const D3DXVECTOR3 p = view->GetInfoPosition();
    lines.push_back(FormatString("Object: %s", view->GetInfoName().c_str()));
    lines.push_back(FormatString("Position: %f, %f, %f", p.x, p.y, p.z));
    if (m_pCamera)
    {
        const D3DXVECTOR3 d = p - m_pCamera->GetPosition();
        lines.push_back(FormatString("Distance from camera: %f", D3DXVec3Length(&d)));
    }
    view->AppendInformation(&lines);
    return lines;
}

void PickRay(int x, int y, int w, int h, const D3DXMATRIX& view, const D3DXMATRIX& projection, D3DXVECTOR3* origin,
             D3DXVECTOR3* direction)
{
    D3DXMATRIX both, inverse;
    D3DXMatrixMultiply(&both, &view, &projection);
    D3DXMatrixInverse(&inverse, nullptr, &both);
    const float nx = (2.0f * (float(x) + 0.5f) / float(w)) - 1.0f;
    const float ny = 1.0f - (2.0f * (float(y) + 0.5f) / float(h));
    const D3DXVECTOR3 nearPoint(nx, ny, 0), farPoint(nx, ny, 1);
    D3DXVECTOR3 a, b;
    D3DXVec3TransformCoord(&a, &nearPoint, &inverse);
    D3DXVec3TransformCoord(&b, &farPoint, &inverse);
    *origin = a;
    const D3DXVECTOR3 d = b - a;
    D3DXVec3Normalize(direction, &d);
}
