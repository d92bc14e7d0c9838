// libFuzzer target for the grass grid file: the input is read as a grid
// file and, when accepted, the ground is looked up over and around it.
#include <cstddef>
#include <cstdint>

#include "GrassSurface.h"
#include "Log.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The log keeps its whole text; one input's text is all we want.
    g_Log.ClearText();
    GrassSurface surface;
    if (!surface.LoadFromBytes(data, size))
        return 0;
    const HeightGrid& grid = surface.GetGrid();
    for (int i = -1; i <= 8; ++i)
        for (int j = -1; j <= 8; ++j)
        {
            D3DXVECTOR3 p(0, 0, 0);
            surface.GetSurfacePoint(grid.GetOriginX() + grid.GetSizeX() * j / 7.0f,
                                    grid.GetOriginY() + grid.GetSizeY() * i / 7.0f, p);
        }
    return 0;
}
