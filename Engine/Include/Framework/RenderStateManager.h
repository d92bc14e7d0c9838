#pragma once
// The process-wide cache of Direct3D 8 device state. Everything that draws
// sets render states, texture-stage states, transforms and lights through it:
// redundant sets never reach the device, and PushStates/PopStates bracket
// temporary changes so that the device is left as it was found. It also
// wraps resource creation to keep a running total of video memory.
#include <d3d8.h>

#include "d3dx8.h"

class RenderStateManager
{
public:
    enum
    {
        kRenderStates = 180,
        kStages = 8,
        kStageTypes = 29,
        kStageStates = kStages * kStageTypes,
        kLevels = 11, // the base level and up to 10 nested pushes
        kTransformSlots = 15,
        kLights = 8,
    };

    static RenderStateManager& Instance();

    void SetDevice(IDirect3DDevice8* pDevice);
    IDirect3DDevice8* GetDevice() const { return m_pDevice; }
    // Grows by one with every device set: what was made for an earlier
    // device (shaders, textures) is known by an older count.
    DWORD GetDeviceGeneration() const { return m_DeviceGeneration; }

    void SetRenderState(D3DRENDERSTATETYPE state, DWORD value);
    DWORD GetRenderState(D3DRENDERSTATETYPE state) const;
    void SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value);
    DWORD GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type) const;
    void PushStates();
    void PopStates();

    HRESULT SetTransform(const D3DMATRIX* pMatrix, D3DTRANSFORMSTATETYPE type);
    const D3DMATRIX* GetTransform(D3DTRANSFORMSTATETYPE type) const;
    void SetDepthBias(float bias);
    float GetDepthBias() const { return m_DepthBias; }

    HRESULT SetLight(DWORD index, const D3DLIGHT8* pLight);
    HRESULT GetLight(DWORD index, D3DLIGHT8* pLight) const;
    HRESULT LightEnable(DWORD index, BOOL enable);
    bool IsLightEnabled(DWORD index) const;
    int GetEnabledLightCount() const { return m_EnabledLightCount; }

    HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool, IDirect3DVertexBuffer8** ppOut);
    HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool, IDirect3DIndexBuffer8** ppOut);
    HRESULT CreateTextureFromMemory(const void* pData, UINT size, UINT width, UINT height, UINT mipLevels,
                                    D3DFORMAT format, D3DPOOL pool, DWORD filter, DWORD mipFilter,
                                    D3DXIMAGE_INFO* pInfo, IDirect3DTexture8** ppOut);
    HRESULT CreateRenderTargetTexture(UINT width, UINT height, D3DFORMAT format, IDirect3DTexture8** ppOut);
    HRESULT CreateRenderTargetTextureDirect(UINT width, UINT height, D3DFORMAT format, IDirect3DTexture8** ppOut);
    HRESULT CreateLogoTexture(D3DXIMAGE_INFO* pInfo);
    HRESULT CreateLogoTextureFromResource(D3DXIMAGE_INFO* pInfo);
    void AddTextureMemory(IDirect3DTexture8* pTexture);
    DWORD GetVideoMemoryTotal() const { return m_VideoMemory; }

    RenderStateManager();
    RenderStateManager(const RenderStateManager&) = delete;
    RenderStateManager& operator=(const RenderStateManager&) = delete;

private:
    struct StageUndo
    {
        DWORD stage, type, previous;
    };
    struct StateUndo
    {
        DWORD state, previous;
    };
    struct LightRecord
    {
        int enabled;
        D3DLIGHT8 light;
    };

    static int TransformSlot(D3DTRANSFORMSTATETYPE type);
    bool CheckState(DWORD state) const;
    bool CheckStage(DWORD stage, DWORD type) const;
    bool CheckLight(DWORD index) const;

    IDirect3DDevice8* m_pDevice = nullptr;
    DWORD m_DeviceGeneration = 0;

    DWORD m_StageValues[kStageStates];
    unsigned char m_StageChanged[kLevels][kStageStates];
    StageUndo m_StageUndo[kLevels][kStageStates + 1];
    int m_StageUndoCount[kLevels];

    DWORD m_StateValues[kRenderStates];
    unsigned char m_StateChanged[kLevels][kRenderStates];
    StateUndo m_StateUndo[kLevels][kRenderStates + 1];
    int m_StateUndoCount[kLevels];

    int m_Level = 0; // the current level of both kinds of state

    D3DMATRIX m_Transforms[kTransformSlots];
    float m_DepthBias = 0.0f;
    DWORD m_VideoMemory = 0;
    LightRecord m_Lights[kLights];
    int m_EnabledLightCount = 0;

    mutable bool m_bReportedBadIndex = false;
    bool m_bReportedBadLevel = false;
};

// The byte size of all mip levels of a texture; 0 for null.
DWORD GetTextureMemorySize(IDirect3DTexture8* pTexture);

// The loading screen's logo, made by the two logo operations above.
extern IDirect3DTexture8* g_pLogoTexture;
