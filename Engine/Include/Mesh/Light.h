#pragma once
// Lights of a scene and the table that gives the enabled ones the device's
// eight light slots each frame. Windows tree.
#include <d3d8.h>

#include <string>
#include <vector>

#include "Object.h"

class Light : public Object
{
public:
    explicit Light(const std::string& name = std::string());

    int GetTypeId() const override { return OBJECT_TYPE_LIGHT; }
    // A disabled light keeps the matrix it had; an enabled one follows its
    // node, and its position is the world translation.
    void UpdateWorldMatrix(const D3DXMATRIX& parentWorld) override;

    // The node part, the D3DLIGHT8 and the excluded object names.
    void LoadFromStream(const std::string& name, FileStorage::CMemoryStream& stream);

    void Enable() { m_bEnabled = true; }
    void Disable() { m_bEnabled = false; }
    bool IsEnabled() const { return m_bEnabled; }
    void SetDevice(IDirect3DDevice8* device) { m_pDevice = device; }
    int GetSlot() const { return m_Slot; }
    void SetSlot(int slot) { m_Slot = slot; }
    D3DLIGHT8& GetLight() { return m_Light; }
    const std::vector<std::string>& GetExcludedNames() const { return m_ExcludedNames; }
    // Switches the light's device slot on or off through the state cache.
    void SwitchOnDevice(bool on);

private:
    D3DLIGHT8 m_Light = {};
    bool m_bEnabled = false;
    int m_Slot = -1;
    IDirect3DDevice8* m_pDevice = nullptr;
    std::vector<std::string> m_ExcludedNames;
};

class CLightTable
{
public:
    static constexpr int kSlots = 8;

    void Add(Light* light) { m_Lights.push_back(light); }
    void Remove(Light* light);
    // Slots in list order for the enabled lights; -1 for the others and for
    // enabled lights past the eighth.
    void NumberLights();
    // Switches every slot off, then sends each enabled light to its slot and
    // switches it on; only the first eight enabled lights reach the device.
    void Update();
    const std::vector<Light*>& GetLights() const { return m_Lights; }

private:
    std::vector<Light*> m_Lights;
    bool m_bReportedOverflow = false;
};
