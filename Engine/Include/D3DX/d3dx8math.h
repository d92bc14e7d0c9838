#pragma once
// Our D3DX 8 maths: vectors, matrices, planes, quaternions and colours in the
// Direct3D convention (row vectors, left-handed; a point p is transformed as
// p x M, so in A x B the matrix A acts first). Platform-free.
#include "D3D8Types.h"

#include <cmath>

#define D3DX_PI ((FLOAT)3.141592654f)
#define D3DX_1BYPI ((FLOAT)0.318309886f)
#define D3DXToRadian(degree) ((degree) * (D3DX_PI / 180.0f))
#define D3DXToDegree(radian) ((radian) * (180.0f / D3DX_PI))

struct D3DXMATRIX;

//---------------------------------------------------------------------------
// Two-component vector
struct D3DXVECTOR2
{
    FLOAT x, y;

    D3DXVECTOR2() = default;
    D3DXVECTOR2(FLOAT fx, FLOAT fy) : x(fx), y(fy) {}
    explicit D3DXVECTOR2(const FLOAT* p) : x(p[0]), y(p[1]) {}

    operator FLOAT*() { return &x; }
    operator const FLOAT*() const { return &x; }

    D3DXVECTOR2& operator+=(const D3DXVECTOR2& v) { x += v.x; y += v.y; return *this; }
    D3DXVECTOR2& operator-=(const D3DXVECTOR2& v) { x -= v.x; y -= v.y; return *this; }
    D3DXVECTOR2& operator*=(FLOAT f) { x *= f; y *= f; return *this; }
    D3DXVECTOR2& operator/=(FLOAT f) { return *this *= 1.0f / f; }

    D3DXVECTOR2 operator+() const { return *this; }
    D3DXVECTOR2 operator-() const { return D3DXVECTOR2(-x, -y); }
    D3DXVECTOR2 operator+(const D3DXVECTOR2& v) const { return D3DXVECTOR2(x + v.x, y + v.y); }
    D3DXVECTOR2 operator-(const D3DXVECTOR2& v) const { return D3DXVECTOR2(x - v.x, y - v.y); }
    D3DXVECTOR2 operator*(FLOAT f) const { return D3DXVECTOR2(x * f, y * f); }
    D3DXVECTOR2 operator/(FLOAT f) const { return *this * (1.0f / f); }
    friend D3DXVECTOR2 operator*(FLOAT f, const D3DXVECTOR2& v) { return v * f; }

    bool operator==(const D3DXVECTOR2& v) const { return x == v.x && y == v.y; }
    bool operator!=(const D3DXVECTOR2& v) const { return !(*this == v); }
};

//---------------------------------------------------------------------------
// Three-component vector; interchangeable with D3DVECTOR
struct D3DXVECTOR3 : public D3DVECTOR
{
    D3DXVECTOR3() = default;
    D3DXVECTOR3(FLOAT fx, FLOAT fy, FLOAT fz) { x = fx; y = fy; z = fz; }
    D3DXVECTOR3(const D3DVECTOR& v) { x = v.x; y = v.y; z = v.z; }
    explicit D3DXVECTOR3(const FLOAT* p) { x = p[0]; y = p[1]; z = p[2]; }

    operator FLOAT*() { return &x; }
    operator const FLOAT*() const { return &x; }

    D3DXVECTOR3& operator+=(const D3DXVECTOR3& v) { x += v.x; y += v.y; z += v.z; return *this; }
    D3DXVECTOR3& operator-=(const D3DXVECTOR3& v) { x -= v.x; y -= v.y; z -= v.z; return *this; }
    D3DXVECTOR3& operator*=(FLOAT f) { x *= f; y *= f; z *= f; return *this; }
    D3DXVECTOR3& operator/=(FLOAT f) { return *this *= 1.0f / f; }

    D3DXVECTOR3 operator+() const { return *this; }
    D3DXVECTOR3 operator-() const { return D3DXVECTOR3(-x, -y, -z); }
    D3DXVECTOR3 operator+(const D3DXVECTOR3& v) const { return D3DXVECTOR3(x + v.x, y + v.y, z + v.z); }
    D3DXVECTOR3 operator-(const D3DXVECTOR3& v) const { return D3DXVECTOR3(x - v.x, y - v.y, z - v.z); }
    D3DXVECTOR3 operator*(FLOAT f) const { return D3DXVECTOR3(x * f, y * f, z * f); }
    D3DXVECTOR3 operator/(FLOAT f) const { return *this * (1.0f / f); }
    friend D3DXVECTOR3 operator*(FLOAT f, const D3DXVECTOR3& v) { return v * f; }

    bool operator==(const D3DXVECTOR3& v) const { return x == v.x && y == v.y && z == v.z; }
    bool operator!=(const D3DXVECTOR3& v) const { return !(*this == v); }
};

//---------------------------------------------------------------------------
// Four-component vector
struct D3DXVECTOR4
{
    FLOAT x, y, z, w;

    D3DXVECTOR4() = default;
    D3DXVECTOR4(FLOAT fx, FLOAT fy, FLOAT fz, FLOAT fw) : x(fx), y(fy), z(fz), w(fw) {}
    D3DXVECTOR4(const D3DVECTOR& v, FLOAT fw) : x(v.x), y(v.y), z(v.z), w(fw) {}
    explicit D3DXVECTOR4(const FLOAT* p) : x(p[0]), y(p[1]), z(p[2]), w(p[3]) {}

    operator FLOAT*() { return &x; }
    operator const FLOAT*() const { return &x; }

    D3DXVECTOR4& operator+=(const D3DXVECTOR4& v) { x += v.x; y += v.y; z += v.z; w += v.w; return *this; }
    D3DXVECTOR4& operator-=(const D3DXVECTOR4& v) { x -= v.x; y -= v.y; z -= v.z; w -= v.w; return *this; }
    D3DXVECTOR4& operator*=(FLOAT f) { x *= f; y *= f; z *= f; w *= f; return *this; }
    D3DXVECTOR4& operator/=(FLOAT f) { return *this *= 1.0f / f; }

    D3DXVECTOR4 operator+() const { return *this; }
    D3DXVECTOR4 operator-() const { return D3DXVECTOR4(-x, -y, -z, -w); }
    D3DXVECTOR4 operator+(const D3DXVECTOR4& v) const { return D3DXVECTOR4(x + v.x, y + v.y, z + v.z, w + v.w); }
    D3DXVECTOR4 operator-(const D3DXVECTOR4& v) const { return D3DXVECTOR4(x - v.x, y - v.y, z - v.z, w - v.w); }
    D3DXVECTOR4 operator*(FLOAT f) const { return D3DXVECTOR4(x * f, y * f, z * f, w * f); }
    D3DXVECTOR4 operator/(FLOAT f) const { return *this * (1.0f / f); }
    friend D3DXVECTOR4 operator*(FLOAT f, const D3DXVECTOR4& v) { return v * f; }

    bool operator==(const D3DXVECTOR4& v) const { return x == v.x && y == v.y && z == v.z && w == v.w; }
    bool operator!=(const D3DXVECTOR4& v) const { return !(*this == v); }
};

//---------------------------------------------------------------------------
// 4x4 matrix; interchangeable with D3DMATRIX
struct D3DXMATRIX : public D3DMATRIX
{
    D3DXMATRIX() = default;
    D3DXMATRIX(const D3DMATRIX& mat) : D3DMATRIX(mat) {}
    explicit D3DXMATRIX(const FLOAT* p)
    {
        for (int i = 0; i < 16; ++i)
            m[i / 4][i % 4] = p[i];
    }
    D3DXMATRIX(FLOAT f11, FLOAT f12, FLOAT f13, FLOAT f14,
               FLOAT f21, FLOAT f22, FLOAT f23, FLOAT f24,
               FLOAT f31, FLOAT f32, FLOAT f33, FLOAT f34,
               FLOAT f41, FLOAT f42, FLOAT f43, FLOAT f44)
    {
        _11 = f11; _12 = f12; _13 = f13; _14 = f14;
        _21 = f21; _22 = f22; _23 = f23; _24 = f24;
        _31 = f31; _32 = f32; _33 = f33; _34 = f34;
        _41 = f41; _42 = f42; _43 = f43; _44 = f44;
    }

    FLOAT& operator()(UINT row, UINT col) { return m[row][col]; }
    FLOAT operator()(UINT row, UINT col) const { return m[row][col]; }

    operator FLOAT*() { return &_11; }
    operator const FLOAT*() const { return &_11; }

    D3DXMATRIX& operator*=(const D3DXMATRIX& mat);
    D3DXMATRIX& operator+=(const D3DXMATRIX& mat);
    D3DXMATRIX& operator-=(const D3DXMATRIX& mat);
    D3DXMATRIX& operator*=(FLOAT f);
    D3DXMATRIX& operator/=(FLOAT f) { return *this *= 1.0f / f; }

    D3DXMATRIX operator+() const { return *this; }
    D3DXMATRIX operator-() const { D3DXMATRIX r(*this); return r *= -1.0f; }

    D3DXMATRIX operator*(const D3DXMATRIX& mat) const { D3DXMATRIX r(*this); return r *= mat; }
    D3DXMATRIX operator+(const D3DXMATRIX& mat) const { D3DXMATRIX r(*this); return r += mat; }
    D3DXMATRIX operator-(const D3DXMATRIX& mat) const { D3DXMATRIX r(*this); return r -= mat; }
    D3DXMATRIX operator*(FLOAT f) const { D3DXMATRIX r(*this); return r *= f; }
    D3DXMATRIX operator/(FLOAT f) const { D3DXMATRIX r(*this); return r /= f; }
    friend D3DXMATRIX operator*(FLOAT f, const D3DXMATRIX& mat) { return mat * f; }

    bool operator==(const D3DXMATRIX& mat) const;
    bool operator!=(const D3DXMATRIX& mat) const { return !(*this == mat); }
};

//---------------------------------------------------------------------------
// Quaternion (x, y, z) vector part, w scalar part
struct D3DXQUATERNION
{
    FLOAT x, y, z, w;

    D3DXQUATERNION() = default;
    D3DXQUATERNION(FLOAT fx, FLOAT fy, FLOAT fz, FLOAT fw) : x(fx), y(fy), z(fz), w(fw) {}
    explicit D3DXQUATERNION(const FLOAT* p) : x(p[0]), y(p[1]), z(p[2]), w(p[3]) {}

    operator FLOAT*() { return &x; }
    operator const FLOAT*() const { return &x; }

    D3DXQUATERNION& operator+=(const D3DXQUATERNION& q) { x += q.x; y += q.y; z += q.z; w += q.w; return *this; }
    D3DXQUATERNION& operator-=(const D3DXQUATERNION& q) { x -= q.x; y -= q.y; z -= q.z; w -= q.w; return *this; }
    D3DXQUATERNION& operator*=(const D3DXQUATERNION& q);
    D3DXQUATERNION& operator*=(FLOAT f) { x *= f; y *= f; z *= f; w *= f; return *this; }
    D3DXQUATERNION& operator/=(FLOAT f) { return *this *= 1.0f / f; }

    D3DXQUATERNION operator+() const { return *this; }
    D3DXQUATERNION operator-() const { return D3DXQUATERNION(-x, -y, -z, -w); }
    D3DXQUATERNION operator+(const D3DXQUATERNION& q) const { return D3DXQUATERNION(x + q.x, y + q.y, z + q.z, w + q.w); }
    D3DXQUATERNION operator-(const D3DXQUATERNION& q) const { return D3DXQUATERNION(x - q.x, y - q.y, z - q.z, w - q.w); }
    D3DXQUATERNION operator*(const D3DXQUATERNION& q) const { D3DXQUATERNION r(*this); return r *= q; }
    D3DXQUATERNION operator*(FLOAT f) const { return D3DXQUATERNION(x * f, y * f, z * f, w * f); }
    D3DXQUATERNION operator/(FLOAT f) const { return *this * (1.0f / f); }
    friend D3DXQUATERNION operator*(FLOAT f, const D3DXQUATERNION& q) { return q * f; }

    bool operator==(const D3DXQUATERNION& q) const { return x == q.x && y == q.y && z == q.z && w == q.w; }
    bool operator!=(const D3DXQUATERNION& q) const { return !(*this == q); }
};

//---------------------------------------------------------------------------
// Plane a x + b y + c z + d = 0
struct D3DXPLANE
{
    FLOAT a, b, c, d;

    D3DXPLANE() = default;
    D3DXPLANE(FLOAT fa, FLOAT fb, FLOAT fc, FLOAT fd) : a(fa), b(fb), c(fc), d(fd) {}
    explicit D3DXPLANE(const FLOAT* p) : a(p[0]), b(p[1]), c(p[2]), d(p[3]) {}

    operator FLOAT*() { return &a; }
    operator const FLOAT*() const { return &a; }

    D3DXPLANE operator+() const { return *this; }
    D3DXPLANE operator-() const { return D3DXPLANE(-a, -b, -c, -d); }

    bool operator==(const D3DXPLANE& p) const { return a == p.a && b == p.b && c == p.c && d == p.d; }
    bool operator!=(const D3DXPLANE& p) const { return !(*this == p); }
};

//---------------------------------------------------------------------------
// Floating-point colour; converts to and from D3DCOLOR (A8R8G8B8) and D3DCOLORVALUE
struct D3DXCOLOR
{
    FLOAT r, g, b, a;

    D3DXCOLOR() = default;
    D3DXCOLOR(DWORD argb)
        : r(((argb >> 16) & 0xff) / 255.0f), g(((argb >> 8) & 0xff) / 255.0f),
          b((argb & 0xff) / 255.0f), a(((argb >> 24) & 0xff) / 255.0f) {}
    explicit D3DXCOLOR(const FLOAT* p) : r(p[0]), g(p[1]), b(p[2]), a(p[3]) {}
    D3DXCOLOR(const D3DCOLORVALUE& c) : r(c.r), g(c.g), b(c.b), a(c.a) {}
    D3DXCOLOR(FLOAT fr, FLOAT fg, FLOAT fb, FLOAT fa) : r(fr), g(fg), b(fb), a(fa) {}

    // Each channel clamped to [0, 1] and rounded to 8 bits.
    operator DWORD() const
    {
        return ((DWORD)Channel(a) << 24) | ((DWORD)Channel(r) << 16) | ((DWORD)Channel(g) << 8) | (DWORD)Channel(b);
    }
    operator FLOAT*() { return &r; }
    operator const FLOAT*() const { return &r; }
    operator D3DCOLORVALUE*() { return reinterpret_cast<D3DCOLORVALUE*>(&r); }
    operator const D3DCOLORVALUE*() const { return reinterpret_cast<const D3DCOLORVALUE*>(&r); }
    operator D3DCOLORVALUE&() { return *reinterpret_cast<D3DCOLORVALUE*>(&r); }
    operator const D3DCOLORVALUE&() const { return *reinterpret_cast<const D3DCOLORVALUE*>(&r); }

    D3DXCOLOR& operator+=(const D3DXCOLOR& c) { r += c.r; g += c.g; b += c.b; a += c.a; return *this; }
    D3DXCOLOR& operator-=(const D3DXCOLOR& c) { r -= c.r; g -= c.g; b -= c.b; a -= c.a; return *this; }
    D3DXCOLOR& operator*=(FLOAT f) { r *= f; g *= f; b *= f; a *= f; return *this; }
    D3DXCOLOR& operator/=(FLOAT f) { return *this *= 1.0f / f; }

    D3DXCOLOR operator+() const { return *this; }
    D3DXCOLOR operator-() const { return D3DXCOLOR(-r, -g, -b, -a); }
    D3DXCOLOR operator+(const D3DXCOLOR& c) const { return D3DXCOLOR(r + c.r, g + c.g, b + c.b, a + c.a); }
    D3DXCOLOR operator-(const D3DXCOLOR& c) const { return D3DXCOLOR(r - c.r, g - c.g, b - c.b, a - c.a); }
    D3DXCOLOR operator*(FLOAT f) const { return D3DXCOLOR(r * f, g * f, b * f, a * f); }
    D3DXCOLOR operator/(FLOAT f) const { return *this * (1.0f / f); }
    friend D3DXCOLOR operator*(FLOAT f, const D3DXCOLOR& c) { return c * f; }

    bool operator==(const D3DXCOLOR& c) const { return r == c.r && g == c.g && b == c.b && a == c.a; }
    bool operator!=(const D3DXCOLOR& c) const { return !(*this == c); }

private:
    static unsigned Channel(FLOAT f)
    {
        if (!(f > 0.0f))
            return 0;
        if (f >= 1.0f)
            return 255;
        return (unsigned)(f * 255.0f + 0.5f);
    }
};

//---------------------------------------------------------------------------
// Small vector functions. Each returns its output pointer.

inline FLOAT D3DXVec2Length(const D3DXVECTOR2* v) { return std::sqrt(v->x * v->x + v->y * v->y); }
inline FLOAT D3DXVec2LengthSq(const D3DXVECTOR2* v) { return v->x * v->x + v->y * v->y; }
inline FLOAT D3DXVec2Dot(const D3DXVECTOR2* a, const D3DXVECTOR2* b) { return a->x * b->x + a->y * b->y; }
// z of the 3D cross product of (a, 0) and (b, 0)
inline FLOAT D3DXVec2CCW(const D3DXVECTOR2* a, const D3DXVECTOR2* b) { return a->x * b->y - a->y * b->x; }
inline D3DXVECTOR2* D3DXVec2Add(D3DXVECTOR2* out, const D3DXVECTOR2* a, const D3DXVECTOR2* b)
{
    out->x = a->x + b->x; out->y = a->y + b->y; return out;
}
inline D3DXVECTOR2* D3DXVec2Subtract(D3DXVECTOR2* out, const D3DXVECTOR2* a, const D3DXVECTOR2* b)
{
    out->x = a->x - b->x; out->y = a->y - b->y; return out;
}
inline D3DXVECTOR2* D3DXVec2Scale(D3DXVECTOR2* out, const D3DXVECTOR2* v, FLOAT s)
{
    out->x = v->x * s; out->y = v->y * s; return out;
}
inline D3DXVECTOR2* D3DXVec2Lerp(D3DXVECTOR2* out, const D3DXVECTOR2* a, const D3DXVECTOR2* b, FLOAT s)
{
    out->x = a->x + s * (b->x - a->x); out->y = a->y + s * (b->y - a->y); return out;
}
D3DXVECTOR2* D3DXVec2Normalize(D3DXVECTOR2* out, const D3DXVECTOR2* v);

inline FLOAT D3DXVec3Length(const D3DXVECTOR3* v) { return std::sqrt(v->x * v->x + v->y * v->y + v->z * v->z); }
inline FLOAT D3DXVec3LengthSq(const D3DXVECTOR3* v) { return v->x * v->x + v->y * v->y + v->z * v->z; }
inline FLOAT D3DXVec3Dot(const D3DXVECTOR3* a, const D3DXVECTOR3* b) { return a->x * b->x + a->y * b->y + a->z * b->z; }
inline D3DXVECTOR3* D3DXVec3Cross(D3DXVECTOR3* out, const D3DXVECTOR3* a, const D3DXVECTOR3* b)
{
    // Through a temporary so that out may alias a or b.
    D3DXVECTOR3 r(a->y * b->z - a->z * b->y, a->z * b->x - a->x * b->z, a->x * b->y - a->y * b->x);
    *out = r;
    return out;
}
inline D3DXVECTOR3* D3DXVec3Add(D3DXVECTOR3* out, const D3DXVECTOR3* a, const D3DXVECTOR3* b)
{
    out->x = a->x + b->x; out->y = a->y + b->y; out->z = a->z + b->z; return out;
}
inline D3DXVECTOR3* D3DXVec3Subtract(D3DXVECTOR3* out, const D3DXVECTOR3* a, const D3DXVECTOR3* b)
{
    out->x = a->x - b->x; out->y = a->y - b->y; out->z = a->z - b->z; return out;
}
inline D3DXVECTOR3* D3DXVec3Minimize(D3DXVECTOR3* out, const D3DXVECTOR3* a, const D3DXVECTOR3* b)
{
    out->x = a->x < b->x ? a->x : b->x; out->y = a->y < b->y ? a->y : b->y; out->z = a->z < b->z ? a->z : b->z;
    return out;
}
inline D3DXVECTOR3* D3DXVec3Maximize(D3DXVECTOR3* out, const D3DXVECTOR3* a, const D3DXVECTOR3* b)
{
    out->x = a->x > b->x ? a->x : b->x; out->y = a->y > b->y ? a->y : b->y; out->z = a->z > b->z ? a->z : b->z;
    return out;
}
inline D3DXVECTOR3* D3DXVec3Scale(D3DXVECTOR3* out, const D3DXVECTOR3* v, FLOAT s)
{
    out->x = v->x * s; out->y = v->y * s; out->z = v->z * s; return out;
}
inline D3DXVECTOR3* D3DXVec3Lerp(D3DXVECTOR3* out, const D3DXVECTOR3* a, const D3DXVECTOR3* b, FLOAT s)
{
    out->x = a->x + s * (b->x - a->x); out->y = a->y + s * (b->y - a->y); out->z = a->z + s * (b->z - a->z);
    return out;
}
// A zero vector normalises to zero.
D3DXVECTOR3* D3DXVec3Normalize(D3DXVECTOR3* out, const D3DXVECTOR3* v);
// Catmull-Rom spline through v1 (s = 0) and v2 (s = 1), shaped by v0 and v3.
D3DXVECTOR3* D3DXVec3CatmullRom(D3DXVECTOR3* out, const D3DXVECTOR3* v0, const D3DXVECTOR3* v1,
                                const D3DXVECTOR3* v2, const D3DXVECTOR3* v3, FLOAT s);
D3DXVECTOR3* D3DXVec3Hermite(D3DXVECTOR3* out, const D3DXVECTOR3* v1, const D3DXVECTOR3* t1,
                             const D3DXVECTOR3* v2, const D3DXVECTOR3* t2, FLOAT s);
// (x, y, z, 1) x M, w kept.
D3DXVECTOR4* D3DXVec3Transform(D3DXVECTOR4* out, const D3DXVECTOR3* v, const D3DXMATRIX* m);
// (x, y, z, 1) x M, divided by the resulting w.
D3DXVECTOR3* D3DXVec3TransformCoord(D3DXVECTOR3* out, const D3DXVECTOR3* v, const D3DXMATRIX* m);
// (x, y, z, 0) x M: directions, ignoring translation.
D3DXVECTOR3* D3DXVec3TransformNormal(D3DXVECTOR3* out, const D3DXVECTOR3* v, const D3DXMATRIX* m);
// Object space to viewport pixels (x, y) and depth (z) through world, view
// and projection, and back; a null matrix counts as identity.
D3DXVECTOR3* D3DXVec3Project(D3DXVECTOR3* out, const D3DXVECTOR3* v, const D3DVIEWPORT8* viewport,
                             const D3DXMATRIX* projection, const D3DXMATRIX* view, const D3DXMATRIX* world);
D3DXVECTOR3* D3DXVec3Unproject(D3DXVECTOR3* out, const D3DXVECTOR3* v, const D3DVIEWPORT8* viewport,
                               const D3DXMATRIX* projection, const D3DXMATRIX* view, const D3DXMATRIX* world);
D3DXVECTOR2* D3DXVec2TransformCoord(D3DXVECTOR2* out, const D3DXVECTOR2* v, const D3DXMATRIX* m);

inline FLOAT D3DXVec4Length(const D3DXVECTOR4* v) { return std::sqrt(v->x * v->x + v->y * v->y + v->z * v->z + v->w * v->w); }
inline FLOAT D3DXVec4LengthSq(const D3DXVECTOR4* v) { return v->x * v->x + v->y * v->y + v->z * v->z + v->w * v->w; }
inline FLOAT D3DXVec4Dot(const D3DXVECTOR4* a, const D3DXVECTOR4* b)
{
    return a->x * b->x + a->y * b->y + a->z * b->z + a->w * b->w;
}
inline D3DXVECTOR4* D3DXVec4Add(D3DXVECTOR4* out, const D3DXVECTOR4* a, const D3DXVECTOR4* b)
{
    out->x = a->x + b->x; out->y = a->y + b->y; out->z = a->z + b->z; out->w = a->w + b->w; return out;
}
inline D3DXVECTOR4* D3DXVec4Subtract(D3DXVECTOR4* out, const D3DXVECTOR4* a, const D3DXVECTOR4* b)
{
    out->x = a->x - b->x; out->y = a->y - b->y; out->z = a->z - b->z; out->w = a->w - b->w; return out;
}
inline D3DXVECTOR4* D3DXVec4Scale(D3DXVECTOR4* out, const D3DXVECTOR4* v, FLOAT s)
{
    out->x = v->x * s; out->y = v->y * s; out->z = v->z * s; out->w = v->w * s; return out;
}
inline D3DXVECTOR4* D3DXVec4Lerp(D3DXVECTOR4* out, const D3DXVECTOR4* a, const D3DXVECTOR4* b, FLOAT s)
{
    out->x = a->x + s * (b->x - a->x); out->y = a->y + s * (b->y - a->y);
    out->z = a->z + s * (b->z - a->z); out->w = a->w + s * (b->w - a->w);
    return out;
}
D3DXVECTOR4* D3DXVec4Normalize(D3DXVECTOR4* out, const D3DXVECTOR4* v);
D3DXVECTOR4* D3DXVec4Transform(D3DXVECTOR4* out, const D3DXVECTOR4* v, const D3DXMATRIX* m);

//---------------------------------------------------------------------------
// Matrices. Output may alias an input everywhere.

D3DXMATRIX* D3DXMatrixIdentity(D3DXMATRIX* out);
BOOL D3DXMatrixIsIdentity(const D3DXMATRIX* m);
FLOAT D3DXMatrixDeterminant(const D3DXMATRIX* m);
// out = a x b (a acts first on row vectors).
D3DXMATRIX* D3DXMatrixMultiply(D3DXMATRIX* out, const D3DXMATRIX* a, const D3DXMATRIX* b);
D3DXMATRIX* D3DXMatrixTranspose(D3DXMATRIX* out, const D3DXMATRIX* m);
// Null (and out untouched) when m is singular; the determinant goes to
// *determinant when that is given, in either case.
D3DXMATRIX* D3DXMatrixInverse(D3DXMATRIX* out, FLOAT* determinant, const D3DXMATRIX* m);
D3DXMATRIX* D3DXMatrixScaling(D3DXMATRIX* out, FLOAT sx, FLOAT sy, FLOAT sz);
D3DXMATRIX* D3DXMatrixTranslation(D3DXMATRIX* out, FLOAT x, FLOAT y, FLOAT z);
// Rotations by an angle in radians, clockwise looking along the axis towards
// the origin (the left-handed convention).
D3DXMATRIX* D3DXMatrixRotationX(D3DXMATRIX* out, FLOAT angle);
D3DXMATRIX* D3DXMatrixRotationY(D3DXMATRIX* out, FLOAT angle);
D3DXMATRIX* D3DXMatrixRotationZ(D3DXMATRIX* out, FLOAT angle);
D3DXMATRIX* D3DXMatrixRotationAxis(D3DXMATRIX* out, const D3DXVECTOR3* axis, FLOAT angle);
D3DXMATRIX* D3DXMatrixRotationQuaternion(D3DXMATRIX* out, const D3DXQUATERNION* q);
// Roll about z first, then pitch about x, then yaw about y.
D3DXMATRIX* D3DXMatrixRotationYawPitchRoll(D3DXMATRIX* out, FLOAT yaw, FLOAT pitch, FLOAT roll);
// Scaling about scalingCenter in the frame rotated by scalingRotation, then
// rotation about rotationCenter, then translation. Any pointer may be null.
D3DXMATRIX* D3DXMatrixTransformation(D3DXMATRIX* out, const D3DXVECTOR3* scalingCenter,
                                     const D3DXQUATERNION* scalingRotation, const D3DXVECTOR3* scaling,
                                     const D3DXVECTOR3* rotationCenter, const D3DXQUATERNION* rotation,
                                     const D3DXVECTOR3* translation);
// Uniform scaling, then rotation about rotationCenter, then translation.
D3DXMATRIX* D3DXMatrixAffineTransformation(D3DXMATRIX* out, FLOAT scaling, const D3DXVECTOR3* rotationCenter,
                                           const D3DXQUATERNION* rotation, const D3DXVECTOR3* translation);
D3DXMATRIX* D3DXMatrixLookAtLH(D3DXMATRIX* out, const D3DXVECTOR3* eye, const D3DXVECTOR3* at, const D3DXVECTOR3* up);
D3DXMATRIX* D3DXMatrixLookAtRH(D3DXMATRIX* out, const D3DXVECTOR3* eye, const D3DXVECTOR3* at, const D3DXVECTOR3* up);
// fovy: vertical field of view in radians; aspect: width / height. Depth
// maps zn..zf to 0..1.
D3DXMATRIX* D3DXMatrixPerspectiveFovLH(D3DXMATRIX* out, FLOAT fovy, FLOAT aspect, FLOAT zn, FLOAT zf);
D3DXMATRIX* D3DXMatrixPerspectiveFovRH(D3DXMATRIX* out, FLOAT fovy, FLOAT aspect, FLOAT zn, FLOAT zf);
D3DXMATRIX* D3DXMatrixPerspectiveLH(D3DXMATRIX* out, FLOAT w, FLOAT h, FLOAT zn, FLOAT zf);
D3DXMATRIX* D3DXMatrixPerspectiveOffCenterLH(D3DXMATRIX* out, FLOAT l, FLOAT r, FLOAT b, FLOAT t, FLOAT zn, FLOAT zf);
D3DXMATRIX* D3DXMatrixOrthoLH(D3DXMATRIX* out, FLOAT w, FLOAT h, FLOAT zn, FLOAT zf);
D3DXMATRIX* D3DXMatrixOrthoOffCenterLH(D3DXMATRIX* out, FLOAT l, FLOAT r, FLOAT b, FLOAT t, FLOAT zn, FLOAT zf);

//---------------------------------------------------------------------------
// Planes

inline FLOAT D3DXPlaneDot(const D3DXPLANE* p, const D3DXVECTOR4* v)
{
    return p->a * v->x + p->b * v->y + p->c * v->z + p->d * v->w;
}
// Signed distance of a point from a normalised plane.
inline FLOAT D3DXPlaneDotCoord(const D3DXPLANE* p, const D3DXVECTOR3* v)
{
    return p->a * v->x + p->b * v->y + p->c * v->z + p->d;
}
inline FLOAT D3DXPlaneDotNormal(const D3DXPLANE* p, const D3DXVECTOR3* v)
{
    return p->a * v->x + p->b * v->y + p->c * v->z;
}
// Scales the plane so that its normal has unit length; a plane with a zero
// normal becomes all zeros.
D3DXPLANE* D3DXPlaneNormalize(D3DXPLANE* out, const D3DXPLANE* p);
// Plane through the three points, normal (p2 - p1) x (p3 - p1) normalised.
D3DXPLANE* D3DXPlaneFromPoints(D3DXPLANE* out, const D3DXVECTOR3* p1, const D3DXVECTOR3* p2, const D3DXVECTOR3* p3);
D3DXPLANE* D3DXPlaneFromPointNormal(D3DXPLANE* out, const D3DXVECTOR3* point, const D3DXVECTOR3* normal);
// Where the line through v1 and v2 meets the plane; null when parallel.
D3DXVECTOR3* D3DXPlaneIntersectLine(D3DXVECTOR3* out, const D3DXPLANE* p, const D3DXVECTOR3* v1, const D3DXVECTOR3* v2);
// The plane as a row vector times m; m must be the inverse transpose of the
// transformation of points.
D3DXPLANE* D3DXPlaneTransform(D3DXPLANE* out, const D3DXPLANE* p, const D3DXMATRIX* m);

//---------------------------------------------------------------------------
// Quaternions

inline D3DXQUATERNION* D3DXQuaternionIdentity(D3DXQUATERNION* out)
{
    out->x = out->y = out->z = 0.0f; out->w = 1.0f; return out;
}
inline FLOAT D3DXQuaternionDot(const D3DXQUATERNION* a, const D3DXQUATERNION* b)
{
    return a->x * b->x + a->y * b->y + a->z * b->z + a->w * b->w;
}
inline FLOAT D3DXQuaternionLength(const D3DXQUATERNION* q) { return std::sqrt(D3DXQuaternionDot(q, q)); }
inline D3DXQUATERNION* D3DXQuaternionConjugate(D3DXQUATERNION* out, const D3DXQUATERNION* q)
{
    out->x = -q->x; out->y = -q->y; out->z = -q->z; out->w = q->w; return out;
}
D3DXQUATERNION* D3DXQuaternionNormalize(D3DXQUATERNION* out, const D3DXQUATERNION* q);
// out = a x b: the rotation a followed by b, as with matrices.
D3DXQUATERNION* D3DXQuaternionMultiply(D3DXQUATERNION* out, const D3DXQUATERNION* a, const D3DXQUATERNION* b);
D3DXQUATERNION* D3DXQuaternionRotationAxis(D3DXQUATERNION* out, const D3DXVECTOR3* axis, FLOAT angle);
D3DXQUATERNION* D3DXQuaternionRotationMatrix(D3DXQUATERNION* out, const D3DXMATRIX* m);
D3DXQUATERNION* D3DXQuaternionRotationYawPitchRoll(D3DXQUATERNION* out, FLOAT yaw, FLOAT pitch, FLOAT roll);
// Spherical interpolation along the shorter arc.
D3DXQUATERNION* D3DXQuaternionSlerp(D3DXQUATERNION* out, const D3DXQUATERNION* a, const D3DXQUATERNION* b, FLOAT t);

//---------------------------------------------------------------------------
// Colours

inline D3DXCOLOR* D3DXColorLerp(D3DXCOLOR* out, const D3DXCOLOR* a, const D3DXCOLOR* b, FLOAT s)
{
    out->r = a->r + s * (b->r - a->r); out->g = a->g + s * (b->g - a->g);
    out->b = a->b + s * (b->b - a->b); out->a = a->a + s * (b->a - a->a);
    return out;
}
inline D3DXCOLOR* D3DXColorModulate(D3DXCOLOR* out, const D3DXCOLOR* a, const D3DXCOLOR* b)
{
    out->r = a->r * b->r; out->g = a->g * b->g; out->b = a->b * b->b; out->a = a->a * b->a; return out;
}
inline D3DXCOLOR* D3DXColorScale(D3DXCOLOR* out, const D3DXCOLOR* c, FLOAT s)
{
    out->r = c->r * s; out->g = c->g * s; out->b = c->b * s; out->a = c->a * s; return out;
}
