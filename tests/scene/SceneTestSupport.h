#pragma once
// What the scene tests share: a device with the state cache on it, a frame
// drawn, and the device's reference count before and after.
#include <cstdio>
#include <string>
#include <vector>

#include "Bitmap24.h"

#include "Camera.h"
#include "Log.h"
#include "Mesh.h"
#include "RenderStateManager.h"
#include "Scene.h"
#include "TestDevice.h"

// The back buffer as a 24-bit BMP, to look at.
inline void SavePicture(const TestDevice& device, UINT size, const char* path)
{
    const std::vector<uint8_t> bytes =
        MakeBitmap24(size, size, [&](uint32_t x, uint32_t y) { return device.ReadPixel(x, y); });
    if (FILE* f = std::fopen(path, "wb"))
    {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
}

inline ULONG DeviceRefs(IDirect3DDevice8* device)
{
    device->AddRef();
    return device->Release();
}

inline void DrawFrame(IDirect3DDevice8* device, Scene& scene)
{
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    device->BeginScene();
    RenderStateManager::Instance().PushStates();
    scene.Render();
    RenderStateManager::Instance().PopStates();
    device->EndScene();
}

// Sets the scene code up on a test device and, at the end, checks that the
// scene and the pools left no device object behind.
class SceneDeviceFixture
{
public:
    explicit SceneDeviceFixture(UINT size) : m_Device(size, size)
    {
        if (!m_Device.Get())
            return;
        RenderStateManager::Instance().SetDevice(m_Device.Get());
        SetCameraTransformSink(ApplyCameraTransformsToDevice);
        m_StartRefs = DeviceRefs(m_Device.Get());
        m_LogStart = g_Log.GetText().size();
    }
    // The log written since the fixture was made.
    std::string NewLog() const { return g_Log.GetText().substr(m_LogStart); }
    // Releases the pools and what the device still has bound; the device's
    // reference count then.
    ULONG RefsAfterRelease()
    {
        IDirect3DDevice8* d = m_Device.Get();
        MeshPools::ReleaseAll();
        for (DWORD stage = 0; stage < 8; ++stage)
            d->SetTexture(stage, nullptr);
        d->SetStreamSource(0, nullptr, 0);
        d->SetStreamSource(1, nullptr, 0);
        d->SetIndices(nullptr, 0);
        return DeviceRefs(d);
    }
    ~SceneDeviceFixture() { RenderStateManager::Instance().SetDevice(nullptr); }

    TestDevice m_Device;
    ULONG m_StartRefs = 0;
    size_t m_LogStart = 0;
};
