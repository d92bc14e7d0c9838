#include "MathUtils.h"

#include <d3d8.h>

void BezierPath::DrawLine(IDirect3DDevice8* device, const Vec3& a, const Vec3& b)
{
    if (!device)
        return;
    const Vec3 line[2] = {a, b};
    device->SetVertexShader(D3DFVF_XYZ);
    device->DrawPrimitiveUP(D3DPT_LINELIST, 1, line, sizeof(Vec3));
}
