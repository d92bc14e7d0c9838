// The surface copy that combines a diffuse map with its alpha map.
#include <gtest/gtest.h>

#include "PixelFormat.h"
#include "TestDevice.h"

TEST(PixelCopy, ASurfaceThatCantBeLockedIsAFailedCopy)
{
    TestDevice device(32, 32);
    IDirect3DDevice8* d3d = device.Get();
    ASSERT_NE(nullptr, d3d);
    IDirect3DSurface8 *image = nullptr, *target = nullptr, *other = nullptr;
    ASSERT_EQ(S_OK, d3d->CreateImageSurface(16, 16, D3DFMT_A8R8G8B8, &image));
    ASSERT_EQ(S_OK, d3d->CreateImageSurface(16, 16, D3DFMT_A8R8G8B8, &other));
    ASSERT_EQ(S_OK, d3d->CreateRenderTarget(16, 16, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, FALSE, &target));
    EXPECT_TRUE(CopySurfaceConvert(kChannelRed, other, image));
    D3DLOCKED_RECT rect;
    ASSERT_TRUE(FAILED(target->LockRect(&rect, nullptr, 0))) << "a render target made not lockable";
    EXPECT_FALSE(CopySurfaceConvert(kChannelRed, target, image));
    EXPECT_FALSE(CopySurfaceConvert(kChannelRed, image, target));
    image->Release();
    other->Release();
    target->Release();
}
