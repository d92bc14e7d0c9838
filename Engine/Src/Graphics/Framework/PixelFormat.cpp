// Surface and texture copies with format conversion through the common
// colour form.
#include "PixelFormat.h"
#include "ComRef.h"

#include <algorithm>

bool CopySurfaceConvert(unsigned mask, IDirect3DSurface8* destination, IDirect3DSurface8* source)
{
    D3DSURFACE_DESC dd, sd;
    if (!destination || !source || FAILED(destination->GetDesc(&dd)) || FAILED(source->GetDesc(&sd)))
        return false;
    const UINT width = std::min(dd.Width, sd.Width), height = std::min(dd.Height, sd.Height);
    D3DLOCKED_RECT dl, sl;
    bool copied = false; // a surface that can't be locked is not copied: a failure
    if (SUCCEEDED(destination->LockRect(&dl, nullptr, 0)))
    {
        if (SUCCEEDED(source->LockRect(&sl, nullptr, 0)))
        {
            copied = true;
            for (UINT y = 0; y < height; ++y)
            {
                const BYTE* srcRow = static_cast<const BYTE*>(sl.pBits) + size_t(y) * sl.Pitch;
                BYTE* dstRow = static_cast<BYTE*>(dl.pBits) + size_t(y) * dl.Pitch;
                for (UINT x = 0; x < width; ++x)
                {
                    float colour[4] = {0, 0, 0, 0};
                    ReadPixelToCommon(sd.Format, x, srcRow, colour);
                    WritePixelFromCommon(colour, mask, dd.Format, dstRow, x);
                }
            }
            source->UnlockRect();
        }
        destination->UnlockRect();
    }
    return copied && dd.Width == sd.Width && dd.Height == sd.Height;
}

bool CopyTextureLevels(IDirect3DTexture8* source, IDirect3DTexture8* destination)
{
    if (!source || !destination)
        return false;
    const DWORD sl = source->GetLevelCount(), dl = destination->GetLevelCount();
    bool all = sl == dl;
    for (DWORD i = 0; i < std::min(sl, dl); ++i)
    {
        ComRef<IDirect3DSurface8> s, d;
        if (SUCCEEDED(source->GetSurfaceLevel(i, s.Put())) && SUCCEEDED(destination->GetSurfaceLevel(i, d.Put())))
            all = CopySurfaceConvert(kChannelRed | kChannelGreen | kChannelBlue, d, s) && all;
        else
            all = false;
    }
    return all;
}
