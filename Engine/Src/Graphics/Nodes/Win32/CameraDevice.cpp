// An applied camera's transforms reach the device through the device-state
// cache, which records both (the projection may take the cache's depth bias).
#include "Camera.h"
#include "RenderStateManager.h"

void ApplyCameraTransformsToDevice(const D3DXMATRIX& view, const D3DXMATRIX& projection)
{
    RenderStateManager& cache = RenderStateManager::Instance();
    cache.SetTransform(&view, D3DTS_VIEW);
    cache.SetTransform(&projection, D3DTS_PROJECTION);
}
