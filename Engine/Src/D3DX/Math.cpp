// D3DX maths: the out-of-line functions of d3dx8math.h.
#include "d3dx8math.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <initializer_list>

namespace
{

// The row vector (x, y, z, w) times m.
D3DXVECTOR4 RowTimes(FLOAT x, FLOAT y, FLOAT z, FLOAT w, const D3DXMATRIX* m)
{
    return D3DXVECTOR4(x * m->_11 + y * m->_21 + z * m->_31 + w * m->_41,
                       x * m->_12 + y * m->_22 + z * m->_32 + w * m->_42,
                       x * m->_13 + y * m->_23 + z * m->_33 + w * m->_43,
                       x * m->_14 + y * m->_24 + z * m->_34 + w * m->_44);
}

// out = v / |v| over `count` floats, with the length taken over the first
// `lengthCount` of them (a plane's normal scales its distance too); zero for
// a zero v. When the squared length leaves a float's normal range (very
// long or very short vectors), v is first divided by its largest component.
void NormalizeFloats(FLOAT* out, const FLOAT* v, int count, int lengthCount)
{
    FLOAT in[4], squared = 0.0f;
    for (int i = 0; i < count; ++i)
        in[i] = v[i];
    for (int i = 0; i < lengthCount; ++i)
        squared += in[i] * in[i];
    if (!(squared >= FLT_MIN && squared <= FLT_MAX))
    {
        FLOAT largest = 0.0f;
        for (int i = 0; i < lengthCount; ++i)
            largest = std::max(largest, std::fabs(in[i]));
        if (!(largest > 0.0f))
        {
            for (int i = 0; i < count; ++i)
                out[i] = 0.0f;
            return;
        }
        squared = 0.0f;
        for (int i = 0; i < count; ++i)
        {
            in[i] /= largest;
            if (i < lengthCount)
                squared += in[i] * in[i];
        }
    }
    const FLOAT inverse = 1.0f / std::sqrt(squared);
    for (int i = 0; i < count; ++i)
        out[i] = in[i] * inverse;
}

D3DXMATRIX Identity()
{
    D3DXMATRIX m;
    D3DXMatrixIdentity(&m);
    return m;
}

// Cofactor expansion of a 4x4 matrix in double precision; fills the
// adjugate (transposed cofactors) when asked.
double Determinant4(const D3DXMATRIX& src, double adj[4][4])
{
    double a[4][4];
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            a[r][c] = src.m[r][c];

    // 2x2 minors of the lower two rows and the upper two rows.
    const double s0 = a[0][0] * a[1][1] - a[1][0] * a[0][1];
    const double s1 = a[0][0] * a[1][2] - a[1][0] * a[0][2];
    const double s2 = a[0][0] * a[1][3] - a[1][0] * a[0][3];
    const double s3 = a[0][1] * a[1][2] - a[1][1] * a[0][2];
    const double s4 = a[0][1] * a[1][3] - a[1][1] * a[0][3];
    const double s5 = a[0][2] * a[1][3] - a[1][2] * a[0][3];
    const double c5 = a[2][2] * a[3][3] - a[3][2] * a[2][3];
    const double c4 = a[2][1] * a[3][3] - a[3][1] * a[2][3];
    const double c3 = a[2][1] * a[3][2] - a[3][1] * a[2][2];
    const double c2 = a[2][0] * a[3][3] - a[3][0] * a[2][3];
    const double c1 = a[2][0] * a[3][2] - a[3][0] * a[2][2];
    const double c0 = a[2][0] * a[3][1] - a[3][0] * a[2][1];

    const double det = s0 * c5 - s1 * c4 + s2 * c3 + s3 * c2 - s4 * c1 + s5 * c0;
    if (adj)
    {
        adj[0][0] = a[1][1] * c5 - a[1][2] * c4 + a[1][3] * c3;
        adj[0][1] = -a[0][1] * c5 + a[0][2] * c4 - a[0][3] * c3;
        adj[0][2] = a[3][1] * s5 - a[3][2] * s4 + a[3][3] * s3;
        adj[0][3] = -a[2][1] * s5 + a[2][2] * s4 - a[2][3] * s3;
        adj[1][0] = -a[1][0] * c5 + a[1][2] * c2 - a[1][3] * c1;
        adj[1][1] = a[0][0] * c5 - a[0][2] * c2 + a[0][3] * c1;
        adj[1][2] = -a[3][0] * s5 + a[3][2] * s2 - a[3][3] * s1;
        adj[1][3] = a[2][0] * s5 - a[2][2] * s2 + a[2][3] * s1;
        adj[2][0] = a[1][0] * c4 - a[1][1] * c2 + a[1][3] * c0;
        adj[2][1] = -a[0][0] * c4 + a[0][1] * c2 - a[0][3] * c0;
        adj[2][2] = a[3][0] * s4 - a[3][1] * s2 + a[3][3] * s0;
        adj[2][3] = -a[2][0] * s4 + a[2][1] * s2 - a[2][3] * s0;
        adj[3][0] = -a[1][0] * c3 + a[1][1] * c1 - a[1][2] * c0;
        adj[3][1] = a[0][0] * c3 - a[0][1] * c1 + a[0][2] * c0;
        adj[3][2] = -a[3][0] * s3 + a[3][1] * s1 - a[3][2] * s0;
        adj[3][3] = a[2][0] * s3 - a[2][1] * s1 + a[2][2] * s0;
    }
    return det;
}

D3DXMATRIX* LookAt(D3DXMATRIX* out, const D3DXVECTOR3& eye, const D3DXVECTOR3& forward, const D3DXVECTOR3* up)
{
    D3DXVECTOR3 zaxis, xaxis, yaxis;
    D3DXVec3Normalize(&zaxis, &forward);
    D3DXVec3Cross(&xaxis, up, &zaxis);
    D3DXVec3Normalize(&xaxis, &xaxis);
    D3DXVec3Cross(&yaxis, &zaxis, &xaxis);
    *out = D3DXMATRIX(xaxis.x, yaxis.x, zaxis.x, 0.0f,
                      xaxis.y, yaxis.y, zaxis.y, 0.0f,
                      xaxis.z, yaxis.z, zaxis.z, 0.0f,
                      -D3DXVec3Dot(&xaxis, &eye), -D3DXVec3Dot(&yaxis, &eye), -D3DXVec3Dot(&zaxis, &eye), 1.0f);
    return out;
}

} // namespace

//---------------------------------------------------------------------------
// Matrix operators

D3DXMATRIX& D3DXMATRIX::operator*=(const D3DXMATRIX& mat)
{
    D3DXMatrixMultiply(this, this, &mat);
    return *this;
}

D3DXMATRIX& D3DXMATRIX::operator+=(const D3DXMATRIX& mat)
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            m[r][c] += mat.m[r][c];
    return *this;
}

D3DXMATRIX& D3DXMATRIX::operator-=(const D3DXMATRIX& mat)
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            m[r][c] -= mat.m[r][c];
    return *this;
}

D3DXMATRIX& D3DXMATRIX::operator*=(FLOAT f)
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            m[r][c] *= f;
    return *this;
}

bool D3DXMATRIX::operator==(const D3DXMATRIX& mat) const
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            if (m[r][c] != mat.m[r][c])
                return false;
    return true;
}

D3DXQUATERNION& D3DXQUATERNION::operator*=(const D3DXQUATERNION& q)
{
    D3DXQuaternionMultiply(this, this, &q);
    return *this;
}

//---------------------------------------------------------------------------
// Vectors

D3DXVECTOR2* D3DXVec2Normalize(D3DXVECTOR2* out, const D3DXVECTOR2* v)
{
    NormalizeFloats(*out, *v, 2, 2);
    return out;
}

D3DXVECTOR3* D3DXVec3Normalize(D3DXVECTOR3* out, const D3DXVECTOR3* v)
{
    NormalizeFloats(*out, *v, 3, 3);
    return out;
}

D3DXVECTOR4* D3DXVec4Normalize(D3DXVECTOR4* out, const D3DXVECTOR4* v)
{
    NormalizeFloats(*out, *v, 4, 4);
    return out;
}

D3DXVECTOR3* D3DXVec3CatmullRom(D3DXVECTOR3* out, const D3DXVECTOR3* v0, const D3DXVECTOR3* v1,
                                const D3DXVECTOR3* v2, const D3DXVECTOR3* v3, FLOAT s)
{
    const FLOAT s2 = s * s, s3 = s2 * s;
    const D3DXVECTOR3 p0 = *v0, p1 = *v1, p2 = *v2, p3 = *v3;
    *out = 0.5f * (2.0f * p1 + (p2 - p0) * s + (2.0f * p0 - 5.0f * p1 + 4.0f * p2 - p3) * s2 +
                   (3.0f * p1 - p0 - 3.0f * p2 + p3) * s3);
    return out;
}

D3DXVECTOR3* D3DXVec3Hermite(D3DXVECTOR3* out, const D3DXVECTOR3* v1, const D3DXVECTOR3* t1,
                             const D3DXVECTOR3* v2, const D3DXVECTOR3* t2, FLOAT s)
{
    const FLOAT s2 = s * s, s3 = s2 * s;
    const FLOAT h1 = 2.0f * s3 - 3.0f * s2 + 1.0f;
    const FLOAT h2 = s3 - 2.0f * s2 + s;
    const FLOAT h3 = -2.0f * s3 + 3.0f * s2;
    const FLOAT h4 = s3 - s2;
    *out = h1 * *v1 + h2 * *t1 + h3 * *v2 + h4 * *t2;
    return out;
}

D3DXVECTOR4* D3DXVec3Transform(D3DXVECTOR4* out, const D3DXVECTOR3* v, const D3DXMATRIX* m)
{
    *out = RowTimes(v->x, v->y, v->z, 1.0f, m);
    return out;
}

D3DXVECTOR3* D3DXVec3TransformCoord(D3DXVECTOR3* out, const D3DXVECTOR3* v, const D3DXMATRIX* m)
{
    const D3DXVECTOR4 r = RowTimes(v->x, v->y, v->z, 1.0f, m);
    const FLOAT inv = r.w != 0.0f ? 1.0f / r.w : 1.0f;
    *out = D3DXVECTOR3(r.x * inv, r.y * inv, r.z * inv);
    return out;
}

D3DXVECTOR3* D3DXVec3TransformNormal(D3DXVECTOR3* out, const D3DXVECTOR3* v, const D3DXMATRIX* m)
{
    const D3DXVECTOR4 r = RowTimes(v->x, v->y, v->z, 0.0f, m);
    *out = D3DXVECTOR3(r.x, r.y, r.z);
    return out;
}

D3DXVECTOR2* D3DXVec2TransformCoord(D3DXVECTOR2* out, const D3DXVECTOR2* v, const D3DXMATRIX* m)
{
    const D3DXVECTOR4 r = RowTimes(v->x, v->y, 0.0f, 1.0f, m);
    const FLOAT inv = r.w != 0.0f ? 1.0f / r.w : 1.0f;
    *out = D3DXVECTOR2(r.x * inv, r.y * inv);
    return out;
}

namespace
{

D3DXMATRIX WorldViewProjection(const D3DXMATRIX* projection, const D3DXMATRIX* view, const D3DXMATRIX* world)
{
    D3DXMATRIX m = Identity();
    for (const D3DXMATRIX* part : {world, view, projection})
        if (part)
            m *= *part;
    return m;
}

} // namespace

D3DXVECTOR3* D3DXVec3Project(D3DXVECTOR3* out, const D3DXVECTOR3* v, const D3DVIEWPORT8* viewport,
                             const D3DXMATRIX* projection, const D3DXMATRIX* view, const D3DXMATRIX* world)
{
    const D3DXMATRIX m = WorldViewProjection(projection, view, world);
    D3DXVECTOR3 p;
    D3DXVec3TransformCoord(&p, v, &m);
    *out = D3DXVECTOR3(viewport->X + (1.0f + p.x) * 0.5f * viewport->Width,
                       viewport->Y + (1.0f - p.y) * 0.5f * viewport->Height,
                       viewport->MinZ + p.z * (viewport->MaxZ - viewport->MinZ));
    return out;
}

D3DXVECTOR3* D3DXVec3Unproject(D3DXVECTOR3* out, const D3DXVECTOR3* v, const D3DVIEWPORT8* viewport,
                               const D3DXMATRIX* projection, const D3DXMATRIX* view, const D3DXMATRIX* world)
{
    D3DXMATRIX m = WorldViewProjection(projection, view, world);
    if (!D3DXMatrixInverse(&m, nullptr, &m))
        return nullptr;
    const float depth = viewport->MaxZ - viewport->MinZ;
    const D3DXVECTOR3 p(2.0f * (v->x - viewport->X) / viewport->Width - 1.0f,
                        1.0f - 2.0f * (v->y - viewport->Y) / viewport->Height,
                        depth != 0.0f ? (v->z - viewport->MinZ) / depth : 0.0f);
    return D3DXVec3TransformCoord(out, &p, &m);
}

D3DXVECTOR4* D3DXVec4Transform(D3DXVECTOR4* out, const D3DXVECTOR4* v, const D3DXMATRIX* m)
{
    *out = RowTimes(v->x, v->y, v->z, v->w, m);
    return out;
}

//---------------------------------------------------------------------------
// Matrices

D3DXMATRIX* D3DXMatrixIdentity(D3DXMATRIX* out)
{
    *out = D3DXMATRIX(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
    return out;
}

BOOL D3DXMatrixIsIdentity(const D3DXMATRIX* m)
{
    return *m == Identity() ? TRUE : FALSE;
}

FLOAT D3DXMatrixDeterminant(const D3DXMATRIX* m)
{
    return (FLOAT)Determinant4(*m, nullptr);
}

D3DXMATRIX* D3DXMatrixMultiply(D3DXMATRIX* out, const D3DXMATRIX* a, const D3DXMATRIX* b)
{
    D3DXMATRIX r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            r.m[i][j] = a->m[i][0] * b->m[0][j] + a->m[i][1] * b->m[1][j] + a->m[i][2] * b->m[2][j] +
                        a->m[i][3] * b->m[3][j];
    *out = r;
    return out;
}

D3DXMATRIX* D3DXMatrixTranspose(D3DXMATRIX* out, const D3DXMATRIX* m)
{
    D3DXMATRIX r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            r.m[i][j] = m->m[j][i];
    *out = r;
    return out;
}

D3DXMATRIX* D3DXMatrixInverse(D3DXMATRIX* out, FLOAT* determinant, const D3DXMATRIX* m)
{
    double adj[4][4];
    const double det = Determinant4(*m, adj);
    if (determinant)
        *determinant = (FLOAT)det;
    if (det == 0.0 || !std::isfinite(det))
        return nullptr;
    const double inv = 1.0 / det;
    D3DXMATRIX r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            r.m[i][j] = (FLOAT)(adj[i][j] * inv);
    *out = r;
    return out;
}

D3DXMATRIX* D3DXMatrixScaling(D3DXMATRIX* out, FLOAT sx, FLOAT sy, FLOAT sz)
{
    *out = D3DXMATRIX(sx, 0, 0, 0, 0, sy, 0, 0, 0, 0, sz, 0, 0, 0, 0, 1);
    return out;
}

D3DXMATRIX* D3DXMatrixTranslation(D3DXMATRIX* out, FLOAT x, FLOAT y, FLOAT z)
{
    *out = D3DXMATRIX(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1);
    return out;
}

D3DXMATRIX* D3DXMatrixRotationX(D3DXMATRIX* out, FLOAT angle)
{
    const FLOAT c = std::cos(angle), s = std::sin(angle);
    *out = D3DXMATRIX(1, 0, 0, 0, 0, c, s, 0, 0, -s, c, 0, 0, 0, 0, 1);
    return out;
}

D3DXMATRIX* D3DXMatrixRotationY(D3DXMATRIX* out, FLOAT angle)
{
    const FLOAT c = std::cos(angle), s = std::sin(angle);
    *out = D3DXMATRIX(c, 0, -s, 0, 0, 1, 0, 0, s, 0, c, 0, 0, 0, 0, 1);
    return out;
}

D3DXMATRIX* D3DXMatrixRotationZ(D3DXMATRIX* out, FLOAT angle)
{
    const FLOAT c = std::cos(angle), s = std::sin(angle);
    *out = D3DXMATRIX(c, s, 0, 0, -s, c, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
    return out;
}

D3DXMATRIX* D3DXMatrixRotationAxis(D3DXMATRIX* out, const D3DXVECTOR3* axis, FLOAT angle)
{
    D3DXVECTOR3 v;
    D3DXVec3Normalize(&v, axis);
    const FLOAT c = std::cos(angle), s = std::sin(angle), t = 1.0f - c;
    *out = D3DXMATRIX(t * v.x * v.x + c, t * v.x * v.y + s * v.z, t * v.x * v.z - s * v.y, 0,
                      t * v.x * v.y - s * v.z, t * v.y * v.y + c, t * v.y * v.z + s * v.x, 0,
                      t * v.x * v.z + s * v.y, t * v.y * v.z - s * v.x, t * v.z * v.z + c, 0,
                      0, 0, 0, 1);
    return out;
}

D3DXMATRIX* D3DXMatrixRotationQuaternion(D3DXMATRIX* out, const D3DXQUATERNION* q)
{
    const FLOAT x = q->x, y = q->y, z = q->z, w = q->w;
    *out = D3DXMATRIX(1 - 2 * (y * y + z * z), 2 * (x * y + z * w), 2 * (x * z - y * w), 0,
                      2 * (x * y - z * w), 1 - 2 * (x * x + z * z), 2 * (y * z + x * w), 0,
                      2 * (x * z + y * w), 2 * (y * z - x * w), 1 - 2 * (x * x + y * y), 0,
                      0, 0, 0, 1);
    return out;
}

D3DXMATRIX* D3DXMatrixRotationYawPitchRoll(D3DXMATRIX* out, FLOAT yaw, FLOAT pitch, FLOAT roll)
{
    D3DXMATRIX r, p, y;
    D3DXMatrixRotationZ(&r, roll);
    D3DXMatrixRotationX(&p, pitch);
    D3DXMatrixRotationY(&y, yaw);
    *out = r * p * y;
    return out;
}

D3DXMATRIX* D3DXMatrixTransformation(D3DXMATRIX* out, const D3DXVECTOR3* scalingCenter,
                                     const D3DXQUATERNION* scalingRotation, const D3DXVECTOR3* scaling,
                                     const D3DXVECTOR3* rotationCenter, const D3DXQUATERNION* rotation,
                                     const D3DXVECTOR3* translation)
{
    const D3DXVECTOR3 zero(0.0f, 0.0f, 0.0f);
    const D3DXVECTOR3 sc = scalingCenter ? *scalingCenter : zero;
    const D3DXVECTOR3 rc = rotationCenter ? *rotationCenter : zero;
    D3DXMATRIX r = Identity(), t;

    // Move the scaling centre to the origin, turn into the scaling frame,
    // scale, and undo both.
    D3DXMatrixTranslation(&t, -sc.x, -sc.y, -sc.z);
    r *= t;
    if (scalingRotation)
    {
        D3DXQUATERNION inv;
        D3DXMATRIX m;
        D3DXQuaternionConjugate(&inv, scalingRotation);
        r *= *D3DXMatrixRotationQuaternion(&m, &inv);
    }
    if (scaling)
        r *= *D3DXMatrixScaling(&t, scaling->x, scaling->y, scaling->z);
    if (scalingRotation)
    {
        D3DXMATRIX m;
        r *= *D3DXMatrixRotationQuaternion(&m, scalingRotation);
    }
    r *= *D3DXMatrixTranslation(&t, sc.x - rc.x, sc.y - rc.y, sc.z - rc.z);

    // Rotate about the rotation centre.
    if (rotation)
    {
        D3DXMATRIX m;
        r *= *D3DXMatrixRotationQuaternion(&m, rotation);
    }
    r *= *D3DXMatrixTranslation(&t, rc.x, rc.y, rc.z);

    if (translation)
        r *= *D3DXMatrixTranslation(&t, translation->x, translation->y, translation->z);
    *out = r;
    return out;
}

D3DXMATRIX* D3DXMatrixAffineTransformation(D3DXMATRIX* out, FLOAT scaling, const D3DXVECTOR3* rotationCenter,
                                           const D3DXQUATERNION* rotation, const D3DXVECTOR3* translation)
{
    const D3DXVECTOR3 s(scaling, scaling, scaling);
    return D3DXMatrixTransformation(out, nullptr, nullptr, &s, rotationCenter, rotation, translation);
}

D3DXMATRIX* D3DXMatrixLookAtLH(D3DXMATRIX* out, const D3DXVECTOR3* eye, const D3DXVECTOR3* at, const D3DXVECTOR3* up)
{
    return LookAt(out, *eye, *at - *eye, up);
}

D3DXMATRIX* D3DXMatrixLookAtRH(D3DXMATRIX* out, const D3DXVECTOR3* eye, const D3DXVECTOR3* at, const D3DXVECTOR3* up)
{
    return LookAt(out, *eye, *eye - *at, up);
}

D3DXMATRIX* D3DXMatrixPerspectiveFovLH(D3DXMATRIX* out, FLOAT fovy, FLOAT aspect, FLOAT zn, FLOAT zf)
{
    const FLOAT ys = 1.0f / std::tan(fovy * 0.5f), xs = ys / aspect, q = zf / (zf - zn);
    *out = D3DXMATRIX(xs, 0, 0, 0, 0, ys, 0, 0, 0, 0, q, 1, 0, 0, -zn * q, 0);
    return out;
}

D3DXMATRIX* D3DXMatrixPerspectiveFovRH(D3DXMATRIX* out, FLOAT fovy, FLOAT aspect, FLOAT zn, FLOAT zf)
{
    const FLOAT ys = 1.0f / std::tan(fovy * 0.5f), xs = ys / aspect, q = zf / (zn - zf);
    *out = D3DXMATRIX(xs, 0, 0, 0, 0, ys, 0, 0, 0, 0, q, -1, 0, 0, zn * q, 0);
    return out;
}

D3DXMATRIX* D3DXMatrixPerspectiveLH(D3DXMATRIX* out, FLOAT w, FLOAT h, FLOAT zn, FLOAT zf)
{
    const FLOAT q = zf / (zf - zn);
    *out = D3DXMATRIX(2 * zn / w, 0, 0, 0, 0, 2 * zn / h, 0, 0, 0, 0, q, 1, 0, 0, -zn * q, 0);
    return out;
}

D3DXMATRIX* D3DXMatrixPerspectiveOffCenterLH(D3DXMATRIX* out, FLOAT l, FLOAT r, FLOAT b, FLOAT t, FLOAT zn, FLOAT zf)
{
    const FLOAT q = zf / (zf - zn);
    *out = D3DXMATRIX(2 * zn / (r - l), 0, 0, 0,
                      0, 2 * zn / (t - b), 0, 0,
                      (l + r) / (l - r), (t + b) / (b - t), q, 1,
                      0, 0, -zn * q, 0);
    return out;
}

D3DXMATRIX* D3DXMatrixOrthoLH(D3DXMATRIX* out, FLOAT w, FLOAT h, FLOAT zn, FLOAT zf)
{
    *out = D3DXMATRIX(2 / w, 0, 0, 0, 0, 2 / h, 0, 0, 0, 0, 1 / (zf - zn), 0, 0, 0, zn / (zn - zf), 1);
    return out;
}

D3DXMATRIX* D3DXMatrixOrthoOffCenterLH(D3DXMATRIX* out, FLOAT l, FLOAT r, FLOAT b, FLOAT t, FLOAT zn, FLOAT zf)
{
    *out = D3DXMATRIX(2 / (r - l), 0, 0, 0,
                      0, 2 / (t - b), 0, 0,
                      0, 0, 1 / (zf - zn), 0,
                      (l + r) / (l - r), (t + b) / (b - t), zn / (zn - zf), 1);
    return out;
}

//---------------------------------------------------------------------------
// Planes

D3DXPLANE* D3DXPlaneNormalize(D3DXPLANE* out, const D3DXPLANE* p)
{
    NormalizeFloats(&out->a, &p->a, 4, 3);
    return out;
}

D3DXPLANE* D3DXPlaneFromPointNormal(D3DXPLANE* out, const D3DXVECTOR3* point, const D3DXVECTOR3* normal)
{
    *out = D3DXPLANE(normal->x, normal->y, normal->z, -D3DXVec3Dot(point, normal));
    return out;
}

D3DXPLANE* D3DXPlaneFromPoints(D3DXPLANE* out, const D3DXVECTOR3* p1, const D3DXVECTOR3* p2, const D3DXVECTOR3* p3)
{
    const D3DXVECTOR3 e1 = *p2 - *p1, e2 = *p3 - *p1;
    D3DXVECTOR3 n;
    D3DXVec3Cross(&n, &e1, &e2);
    D3DXVec3Normalize(&n, &n);
    return D3DXPlaneFromPointNormal(out, p1, &n);
}

D3DXVECTOR3* D3DXPlaneIntersectLine(D3DXVECTOR3* out, const D3DXPLANE* p, const D3DXVECTOR3* v1, const D3DXVECTOR3* v2)
{
    const D3DXVECTOR3 dir = *v2 - *v1;
    const FLOAT denom = D3DXPlaneDotNormal(p, &dir);
    if (denom == 0.0f)
        return nullptr;
    const FLOAT t = -D3DXPlaneDotCoord(p, v1) / denom;
    *out = *v1 + dir * t;
    return out;
}

D3DXPLANE* D3DXPlaneTransform(D3DXPLANE* out, const D3DXPLANE* p, const D3DXMATRIX* m)
{
    const D3DXVECTOR4 r = RowTimes(p->a, p->b, p->c, p->d, m);
    *out = D3DXPLANE(r.x, r.y, r.z, r.w);
    return out;
}

//---------------------------------------------------------------------------
// Quaternions

D3DXQUATERNION* D3DXQuaternionNormalize(D3DXQUATERNION* out, const D3DXQUATERNION* q)
{
    NormalizeFloats(*out, *q, 4, 4);
    return out;
}

D3DXQUATERNION* D3DXQuaternionMultiply(D3DXQUATERNION* out, const D3DXQUATERNION* a, const D3DXQUATERNION* b)
{
    // Rotation a then b: the Hamilton product b a.
    const D3DXQUATERNION p = *b, q = *a;
    *out = D3DXQUATERNION(p.w * q.x + q.w * p.x + p.y * q.z - p.z * q.y,
                          p.w * q.y + q.w * p.y + p.z * q.x - p.x * q.z,
                          p.w * q.z + q.w * p.z + p.x * q.y - p.y * q.x,
                          p.w * q.w - p.x * q.x - p.y * q.y - p.z * q.z);
    return out;
}

D3DXQUATERNION* D3DXQuaternionRotationAxis(D3DXQUATERNION* out, const D3DXVECTOR3* axis, FLOAT angle)
{
    D3DXVECTOR3 v;
    D3DXVec3Normalize(&v, axis);
    const FLOAT s = std::sin(angle * 0.5f);
    *out = D3DXQUATERNION(v.x * s, v.y * s, v.z * s, std::cos(angle * 0.5f));
    return out;
}

D3DXQUATERNION* D3DXQuaternionRotationMatrix(D3DXQUATERNION* out, const D3DXMATRIX* m)
{
    const FLOAT trace = m->_11 + m->_22 + m->_33;
    D3DXQUATERNION q;
    if (trace > 0.0f)
    {
        const FLOAT s = std::sqrt(trace + 1.0f) * 2.0f;
        q = D3DXQUATERNION((m->_23 - m->_32) / s, (m->_31 - m->_13) / s, (m->_12 - m->_21) / s, 0.25f * s);
    }
    else if (m->_11 >= m->_22 && m->_11 >= m->_33)
    {
        const FLOAT s = std::sqrt(1.0f + m->_11 - m->_22 - m->_33) * 2.0f;
        q = D3DXQUATERNION(0.25f * s, (m->_12 + m->_21) / s, (m->_13 + m->_31) / s, (m->_23 - m->_32) / s);
    }
    else if (m->_22 >= m->_33)
    {
        const FLOAT s = std::sqrt(1.0f + m->_22 - m->_11 - m->_33) * 2.0f;
        q = D3DXQUATERNION((m->_12 + m->_21) / s, 0.25f * s, (m->_23 + m->_32) / s, (m->_31 - m->_13) / s);
    }
    else
    {
        const FLOAT s = std::sqrt(1.0f + m->_33 - m->_11 - m->_22) * 2.0f;
        q = D3DXQUATERNION((m->_13 + m->_31) / s, (m->_23 + m->_32) / s, 0.25f * s, (m->_12 - m->_21) / s);
    }
    *out = q;
    return out;
}

D3DXQUATERNION* D3DXQuaternionRotationYawPitchRoll(D3DXQUATERNION* out, FLOAT yaw, FLOAT pitch, FLOAT roll)
{
    const D3DXVECTOR3 ax(1, 0, 0), ay(0, 1, 0), az(0, 0, 1);
    D3DXQUATERNION r, p, y;
    D3DXQuaternionRotationAxis(&r, &az, roll);
    D3DXQuaternionRotationAxis(&p, &ax, pitch);
    D3DXQuaternionRotationAxis(&y, &ay, yaw);
    *out = r * p * y;
    return out;
}

D3DXQUATERNION* D3DXQuaternionSlerp(D3DXQUATERNION* out, const D3DXQUATERNION* a, const D3DXQUATERNION* b, FLOAT t)
{
    D3DXQUATERNION to = *b;
    FLOAT cosom = D3DXQuaternionDot(a, b);
    if (cosom < 0.0f)
    {
        cosom = -cosom;
        to = -to;
    }
    FLOAT k0 = 1.0f - t, k1 = t;
    if (cosom < 0.9999f)
    {
        const FLOAT omega = std::acos(cosom), sinom = std::sin(omega);
        k0 = std::sin((1.0f - t) * omega) / sinom;
        k1 = std::sin(t * omega) / sinom;
    }
    *out = *a * k0 + to * k1;
    return out;
}
