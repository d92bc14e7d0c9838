#include "Light.h"

#include <algorithm>
#include <cstring>

#include "FileStorage.h"
#include "Log.h"
#include "RenderStateManager.h"

Light::Light(const std::string& name) : Object(name) {}

void Light::UpdateWorldMatrix(const D3DXMATRIX& parentWorld)
{
    if (!m_bEnabled)
        return;
    Object::UpdateWorldMatrix(parentWorld);
    m_Light.Position.x = m_World._41;
    m_Light.Position.y = m_World._42;
    m_Light.Position.z = m_World._43;
}

void Light::LoadFromStream(const std::string& name, FileStorage::CMemoryStream& stream)
{
    Object::LoadFromStream(name, stream);
    static_assert(sizeof(D3DLIGHT8) == 104, "a light record is 104 bytes");
    stream.ReadBytes(&m_Light, sizeof(m_Light));
    const uint16_t count = stream.ReadU16();
    m_ExcludedNames.clear();
    for (uint16_t i = 0; i < count; ++i)
        m_ExcludedNames.push_back(stream.ReadString());
    m_bEnabled = false;
    m_Slot = 0;
    m_pDevice = nullptr;
}

void Light::SwitchOnDevice(bool on)
{
    if (!m_bEnabled || m_Slot < 0 || m_Slot >= CLightTable::kSlots)
        return;
    RenderStateManager& cache = RenderStateManager::Instance();
    if (cache.IsLightEnabled(DWORD(m_Slot)) != on)
        cache.LightEnable(DWORD(m_Slot), on ? TRUE : FALSE);
}

void CLightTable::Remove(Light* light)
{
    m_Lights.erase(std::remove(m_Lights.begin(), m_Lights.end(), light), m_Lights.end());
}

void CLightTable::NumberLights()
{
    int j = 0;
    for (Light* light : m_Lights)
    {
        if (light->IsEnabled() && j < kSlots)
            light->SetSlot(j++);
        else
            light->SetSlot(-1);
    }
}

void CLightTable::Update()
{
    RenderStateManager& cache = RenderStateManager::Instance();
    for (DWORD i = 0; i < DWORD(kSlots); ++i)
        if (cache.IsLightEnabled(i))
            cache.LightEnable(i, FALSE);
    int j = 0;
    for (Light* light : m_Lights)
    {
        if (!light->IsEnabled())
            continue;
        if (j >= kSlots)
        {
            // The device has eight slots; further lights stay dark.
            light->SetSlot(-1);
            if (!m_bReportedOverflow)
                g_Log.Printf("Warning: more than %d enabled lights; \"%s\" and later ones are not lit\n", kSlots,
                             light->GetName().c_str());
            m_bReportedOverflow = true;
            continue;
        }
        const D3DXMATRIX& world = light->GetWorldMatrix();
        light->GetLight().Position.x = world._41;
        light->GetLight().Position.y = world._42;
        light->GetLight().Position.z = world._43;
        light->SetSlot(j);
        cache.SetLight(DWORD(j), &light->GetLight());
        if (!cache.IsLightEnabled(DWORD(j)))
            cache.LightEnable(DWORD(j), TRUE);
        ++j;
    }
}
