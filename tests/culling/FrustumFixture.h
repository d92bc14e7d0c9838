#pragma once
// The frustum of a camera at `eye` looking at `at` (60 degrees, square).
#include <cmath>

#include "Camera.h"

inline Frustum Look(const D3DXVECTOR3& eye, const D3DXVECTOR3& at, float farPlane = 1000.0f)
{
    D3DXMATRIX view, projection, both;
    const D3DXVECTOR3 up = std::fabs(at.z - eye.z) > std::fabs(at.x - eye.x) ? D3DXVECTOR3(0, 1, 0)
                                                                              : D3DXVECTOR3(0, 0, 1);
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    D3DXMatrixPerspectiveFovLH(&projection, 1.0471976f, 1.0f, 1.0f, farPlane);
    D3DXMatrixMultiply(&both, &view, &projection);
    return ExtractFrustumPlanes(both);
}
