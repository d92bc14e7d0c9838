#include "d3dx8math.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{

constexpr float kEps = 1e-5f;
const float kHalfPi = D3DX_PI / 2;

void ExpectMatrixNear(const D3DXMATRIX& expected, const D3DXMATRIX& actual, const std::string& what)
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_NEAR(expected.m[r][c], actual.m[r][c], kEps) << what << " at row " << r << ", column " << c;
}

void ExpectVecNear(const D3DXVECTOR3& expected, const D3DXVECTOR3& actual, const std::string& what)
{
    EXPECT_NEAR(expected.x, actual.x, kEps) << what;
    EXPECT_NEAR(expected.y, actual.y, kEps) << what;
    EXPECT_NEAR(expected.z, actual.z, kEps) << what;
}

D3DXMATRIX Ident()
{
    D3DXMATRIX m;
    return *D3DXMatrixIdentity(&m);
}

const D3DXMATRIX kA(1, 2, 3, 4, 0, 1, 5, 2, 3, 0, 1, 1, 2, 1, 0, 1);
const D3DXMATRIX kB(2, 0, 1, 0, 1, 3, 0, 1, 0, 1, 4, 2, 1, 0, 0, 1);

struct MatrixCase
{
    const char* name;
    D3DXMATRIX (*make)();
    D3DXMATRIX expected;
};

const MatrixCase kMatrixCases[] = {
    {"general product", [] { D3DXMATRIX r; return *D3DXMatrixMultiply(&r, &kA, &kB); },
     D3DXMATRIX(8, 9, 13, 12, 3, 8, 20, 13, 7, 1, 7, 3, 6, 3, 2, 2)},
    {"operator product", [] { return kA * kB; },
     D3DXMATRIX(8, 9, 13, 12, 3, 8, 20, 13, 7, 1, 7, 3, 6, 3, 2, 2)},
    {"translate then scale: the scale acts on the translation",
     [] {
         D3DXMATRIX t, s;
         D3DXMatrixTranslation(&t, 1, 2, 3);
         D3DXMatrixScaling(&s, 2, 3, 4);
         return t * s;
     },
     D3DXMATRIX(2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 4, 0, 2, 6, 12, 1)},
    {"inverse", [] { D3DXMATRIX r; D3DXMatrixInverse(&r, nullptr, &kA); return r; },
     D3DXMATRIX(-4 / 31.f, 1 / 31.f, 7 / 31.f, 7 / 31.f, -9 / 31.f, 10 / 31.f, -23 / 31.f, 39 / 31.f,
                -5 / 31.f, 9 / 31.f, 1 / 31.f, 1 / 31.f, 17 / 31.f, -12 / 31.f, 9 / 31.f, -22 / 31.f)},
    {"transpose", [] { D3DXMATRIX r; return *D3DXMatrixTranspose(&r, &kA); },
     D3DXMATRIX(1, 0, 3, 2, 2, 1, 0, 1, 3, 5, 1, 0, 4, 2, 1, 1)},
    {"perspective fov LH", [] { D3DXMATRIX r; return *D3DXMatrixPerspectiveFovLH(&r, kHalfPi, 2.0f, 1.0f, 101.0f); },
     D3DXMATRIX(0.5f, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1.01f, 1, 0, 0, -1.01f, 0)},
    {"look-at LH from +x towards the origin",
     [] {
         D3DXMATRIX r;
         const D3DXVECTOR3 eye(5, 0, 0), at(0, 0, 0), up(0, 1, 0);
         return *D3DXMatrixLookAtLH(&r, &eye, &at, &up);
     },
     D3DXMATRIX(0, 0, -1, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 5, 1)},
    {"look-at LH along +z", [] {
         D3DXMATRIX r;
         const D3DXVECTOR3 eye(1, 2, -5), at(1, 2, 0), up(0, 3, 0);
         return *D3DXMatrixLookAtLH(&r, &eye, &at, &up);
     },
     D3DXMATRIX(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, -1, -2, 5, 1)},
    {"rotation X", [] { D3DXMATRIX r; return *D3DXMatrixRotationX(&r, kHalfPi); },
     D3DXMATRIX(1, 0, 0, 0, 0, 0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1)},
    {"rotation Y", [] { D3DXMATRIX r; return *D3DXMatrixRotationY(&r, kHalfPi); },
     D3DXMATRIX(0, 0, -1, 0, 0, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1)},
    {"rotation Z", [] { D3DXMATRIX r; return *D3DXMatrixRotationZ(&r, kHalfPi); },
     D3DXMATRIX(0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1)},
    {"rotation about an unnormalised z axis equals rotation Z",
     [] {
         D3DXMATRIX r;
         const D3DXVECTOR3 axis(0, 0, 2);
         return *D3DXMatrixRotationAxis(&r, &axis, 0.3f);
     },
     D3DXMATRIX(std::cos(0.3f), std::sin(0.3f), 0, 0, -std::sin(0.3f), std::cos(0.3f), 0, 0, 0, 0, 1, 0, 0, 0, 0, 1)},
    {"rotation about (1,1,1) by 120 degrees cycles x to y to z",
     [] {
         D3DXMATRIX r;
         const D3DXVECTOR3 axis(1, 1, 1);
         return *D3DXMatrixRotationAxis(&r, &axis, 2 * D3DX_PI / 3);
     },
     D3DXMATRIX(0, 1, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0, 1)},
    {"yaw pitch roll: roll, then pitch, then yaw",
     [] { D3DXMATRIX r; return *D3DXMatrixRotationYawPitchRoll(&r, kHalfPi, kHalfPi, 0); },
     // x stays x under the pitch, then yaw turns it to -z; y pitches to z,
     // then yaws to x.
     D3DXMATRIX(0, 0, -1, 0, 1, 0, 0, 0, 0, -1, 0, 0, 0, 0, 0, 1)},
    {"quaternion to matrix",
     [] {
         D3DXMATRIX r;
         D3DXQUATERNION q;
         const D3DXVECTOR3 axis(1, 0, 0);
         D3DXQuaternionRotationAxis(&q, &axis, kHalfPi);
         return *D3DXMatrixRotationQuaternion(&r, &q);
     },
     D3DXMATRIX(1, 0, 0, 0, 0, 0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1)},
    {"orthographic LH", [] { D3DXMATRIX r; return *D3DXMatrixOrthoLH(&r, 4, 2, 1, 3); },
     D3DXMATRIX(0.5f, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0.5f, 0, 0, 0, -0.5f, 1)},
};

TEST(D3DXMath, MatrixTable)
{
    for (const MatrixCase& c : kMatrixCases)
        ExpectMatrixNear(c.expected, c.make(), c.name);
}

TEST(D3DXMath, InverseReportsDeterminantAndRoundTrips)
{
    D3DXMATRIX inv;
    float det = 0;
    ASSERT_EQ(&inv, D3DXMatrixInverse(&inv, &det, &kA));
    EXPECT_NEAR(-31.0f, det, kEps);
    ExpectMatrixNear(Ident(), kA * inv, "A x inverse(A)");

    // In place, on a rigid transform.
    D3DXMATRIX m, t;
    D3DXMatrixRotationYawPitchRoll(&m, 0.4f, -1.1f, 2.0f);
    m *= *D3DXMatrixTranslation(&t, 10, -20, 30);
    const D3DXMATRIX original = m;
    ASSERT_NE(nullptr, D3DXMatrixInverse(&m, nullptr, &m));
    ExpectMatrixNear(Ident(), original * m, "in-place inverse");
}

TEST(D3DXMath, SingularInverseFailsAndLeavesOutputAlone)
{
    // The third row is the sum of the first two.
    const D3DXMATRIX singular(1, 2, 3, 4, 5, 6, 7, 8, 6, 8, 10, 12, 0, 0, 0, 1);
    D3DXMATRIX out = kB;
    float det = 99;
    EXPECT_EQ(nullptr, D3DXMatrixInverse(&out, &det, &singular));
    EXPECT_EQ(0.0f, det);
    EXPECT_TRUE(out == kB);
    D3DXMATRIX zero(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
    EXPECT_EQ(nullptr, D3DXMatrixInverse(&out, nullptr, &zero));
}

TEST(D3DXMath, MultiplyMayWriteIntoAnInput)
{
    D3DXMATRIX a = kA, b = kB;
    D3DXMatrixMultiply(&a, &a, &kB);
    D3DXMatrixMultiply(&b, &kA, &b);
    ExpectMatrixNear(kA * kB, a, "out aliases the left input");
    ExpectMatrixNear(kA * kB, b, "out aliases the right input");
}

struct TransformCase
{
    const char* name;
    D3DXVECTOR3 in;
    D3DXVECTOR3 coord;  // TransformCoord through the test matrix
    D3DXVECTOR3 normal; // TransformNormal through the test matrix
};

TEST(D3DXMath, VectorTransforms)
{
    // Move by (0, 0, 10), then project with near 1 and far 101.
    D3DXMATRIX move, proj;
    D3DXMatrixTranslation(&move, 0, 0, 10);
    D3DXMatrixPerspectiveFovLH(&proj, kHalfPi, 1.0f, 1.0f, 101.0f);
    const D3DXMATRIX m = move * proj;
    const TransformCase cases[] = {
        {"near plane maps to depth 0", {0, 0, -9}, {0, 0, 0}, {0, 0, -9 * 1.01f}},
        {"far plane maps to depth 1", {0, 0, 91}, {0, 0, 1}, {0, 0, 91 * 1.01f}},
        {"x divided by the depth", {4, -2, 0}, {0.4f, -0.2f, (10 * 1.01f - 1.01f) / 10}, {4, -2, 0}},
    };
    for (const TransformCase& c : cases)
    {
        D3DXVECTOR3 out;
        ExpectVecNear(c.coord, *D3DXVec3TransformCoord(&out, &c.in, &m), std::string(c.name) + " (coord)");
        ExpectVecNear(c.normal, *D3DXVec3TransformNormal(&out, &c.in, &m), std::string(c.name) + " (normal)");
    }

    D3DXVECTOR4 v4(1, 2, 3, 0.5f), out4;
    D3DXVec4Transform(&out4, &v4, &kA);
    EXPECT_NEAR(1 * 1 + 2 * 0 + 3 * 3 + 0.5f * 2, out4.x, kEps);
    EXPECT_NEAR(1 * 4 + 2 * 2 + 3 * 1 + 0.5f * 1, out4.w, kEps);
}

TEST(D3DXMath, ProjectToTheViewportAndBack)
{
    D3DXMATRIX proj, view, world;
    D3DXMatrixPerspectiveFovLH(&proj, kHalfPi, 2.0f, 1.0f, 101.0f);
    D3DXMatrixTranslation(&view, 0, 0, 10);
    D3DXMatrixRotationY(&world, 0.3f);
    const D3DVIEWPORT8 viewport = {100, 50, 200, 100, 0.0f, 1.0f};
    D3DXVECTOR3 screen, back;
    // A point straight ahead lands in the viewport's centre.
    const D3DXVECTOR3 ahead(0, 0, 41);
    ExpectVecNear(D3DXVECTOR3(200, 100, (51 * 1.01f - 1.01f) / 51), *D3DXVec3Project(&screen, &ahead, &viewport, &proj, &view, nullptr), "centre");
    // Top-left corner of the near plane: x = -2, y = 1 at depth 1 (after the move, z = -9).
    const D3DXVECTOR3 corner(-2, 1, -9);
    ExpectVecNear(D3DXVECTOR3(100, 50, 0), *D3DXVec3Project(&screen, &corner, &viewport, &proj, &view, nullptr), "corner");
    const D3DXVECTOR3 p(3, -2, 5);
    D3DXVec3Project(&screen, &p, &viewport, &proj, &view, &world);
    ASSERT_NE(nullptr, D3DXVec3Unproject(&back, &screen, &viewport, &proj, &view, &world));
    EXPECT_NEAR(p.x, back.x, 1e-3f);
    EXPECT_NEAR(p.y, back.y, 1e-3f);
    EXPECT_NEAR(p.z, back.z, 1e-3f);
}

TEST(D3DXMath, LookAtPutsTheTargetStraightAhead)
{
    const D3DXVECTOR3 eye(3, -4, 7), at(-1, 2, 0.5f), up(0, 0, 1);
    D3DXMATRIX view;
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    D3DXVECTOR3 p;
    const D3DXVECTOR3 d = at - eye;
    ExpectVecNear(D3DXVECTOR3(0, 0, D3DXVec3Length(&d)), *D3DXVec3TransformCoord(&p, &at, &view), "target");
    ExpectVecNear(D3DXVECTOR3(0, 0, 0), *D3DXVec3TransformCoord(&p, &eye, &view), "eye");
    // Up stays on the positive y side.
    const D3DXVECTOR3 above = eye + up;
    EXPECT_GT(D3DXVec3TransformCoord(&p, &above, &view)->y, 0.5f);
}

TEST(D3DXMath, Planes)
{
    struct Case
    {
        D3DXVECTOR3 p1, p2, p3;
        D3DXPLANE expected;
    };
    const Case cases[] = {
        {{0, 0, 0}, {0, 1, 0}, {1, 0, 0}, {0, 0, -1, 0}},
        {{0, 0, 2}, {0, 2, 2}, {2, 0, 2}, {0, 0, -1, 2}},
        {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0.57735027f, 0.57735027f, 0.57735027f, -0.57735027f}},
        {{1, 1, 1}, {2, 2, 2}, {3, 3, 3}, {0, 0, 0, 0}}, // degenerate: no NaN
    };
    for (const Case& c : cases)
    {
        D3DXPLANE p;
        D3DXPlaneFromPoints(&p, &c.p1, &c.p2, &c.p3);
        EXPECT_NEAR(c.expected.a, p.a, kEps);
        EXPECT_NEAR(c.expected.b, p.b, kEps);
        EXPECT_NEAR(c.expected.c, p.c, kEps);
        EXPECT_NEAR(c.expected.d, p.d, kEps);
    }

    D3DXPLANE n(0, 3, 4, 10);
    D3DXPlaneNormalize(&n, &n);
    EXPECT_NEAR(0.6f, n.b, kEps);
    EXPECT_NEAR(0.8f, n.c, kEps);
    EXPECT_NEAR(2.0f, n.d, kEps);
    const D3DXVECTOR3 pt(0, 0, 0);
    EXPECT_NEAR(2.0f, D3DXPlaneDotCoord(&n, &pt), kEps);

    D3DXVECTOR3 hit;
    const D3DXPLANE floor(0, 1, 0, -1);
    const D3DXVECTOR3 a(0, 3, 0), b(2, -1, 0), c(5, 3, 0);
    ExpectVecNear(D3DXVECTOR3(1, 1, 0), *D3DXPlaneIntersectLine(&hit, &floor, &a, &b), "line through the plane");
    EXPECT_EQ(nullptr, D3DXPlaneIntersectLine(&hit, &floor, &a, &c));
}

TEST(D3DXMath, VectorHelpers)
{
    D3DXVECTOR3 v;
    const D3DXVECTOR3 x(1, 0, 0), y(0, 1, 0), zero(0, 0, 0), lengthy(3, 0, 4);
    ExpectVecNear(D3DXVECTOR3(0, 0, 1), *D3DXVec3Cross(&v, &x, &y), "x cross y");
    ExpectVecNear(D3DXVECTOR3(0.6f, 0, 0.8f), *D3DXVec3Normalize(&v, &lengthy), "normalise");
    ExpectVecNear(zero, *D3DXVec3Normalize(&v, &zero), "zero normalises to zero");
    EXPECT_FLOAT_EQ(3.0f, D3DXVec3Dot(&lengthy, &x));

    // Catmull-Rom passes through the inner points and bends towards the outer.
    const D3DXVECTOR3 p0(0, 0, 0), p1(1, 0, 0), p2(2, 1, 0), p3(3, 0, 0);
    ExpectVecNear(p1, *D3DXVec3CatmullRom(&v, &p0, &p1, &p2, &p3, 0.0f), "s = 0");
    ExpectVecNear(p2, *D3DXVec3CatmullRom(&v, &p0, &p1, &p2, &p3, 1.0f), "s = 1");
    ExpectVecNear(D3DXVECTOR3(1.5f, 0.5625f, 0), *D3DXVec3CatmullRom(&v, &p0, &p1, &p2, &p3, 0.5f), "s = 0.5");
}

// Every finite non-zero vector, however long or short, normalises to unit
// length in the direction it had; zero stays zero.
TEST(D3DXMath, NormalisingKeepsUnitLengthFromTinyToHugeVectors)
{
    const float shape[4] = {3, -4, 12, 84}; // lengths 5, 13 and 85 over 2, 3 and 4 components
    for (float scale : {1e-30f, 1e-20f, 1e-10f, 1.0f, 1e10f, 1e20f, 1e22f, 1e30f})
    {
        const float a = shape[0] * scale, b = shape[1] * scale, c = shape[2] * scale, d = shape[3] * scale;
        D3DXVECTOR2 v2(a, b);
        D3DXVec2Normalize(&v2, &v2);
        EXPECT_NEAR(v2.x, 0.6f, 1e-6f) << scale;
        EXPECT_NEAR(v2.y, -0.8f, 1e-6f) << scale;
        D3DXVECTOR3 v3(a, b, c);
        D3DXVec3Normalize(&v3, &v3);
        ExpectVecNear(D3DXVECTOR3(3 / 13.0f, -4 / 13.0f, 12 / 13.0f), v3, "vec3");
        const D3DXVECTOR4 unit4(3 / 85.0f, -4 / 85.0f, 12 / 85.0f, 84 / 85.0f);
        D3DXVECTOR4 v4(a, b, c, d);
        D3DXVec4Normalize(&v4, &v4);
        D3DXQUATERNION q(a, b, c, d);
        D3DXQuaternionNormalize(&q, &q);
        for (int i = 0; i < 4; ++i)
        {
            EXPECT_NEAR(v4[i], unit4[i], 1e-6f) << scale << " vec4 " << i;
            EXPECT_NEAR(q[i], unit4[i], 1e-6f) << scale << " quaternion " << i;
        }
        // A plane's distance scales with its normal.
        D3DXPLANE p(a, b, c, -2 * a);
        D3DXPlaneNormalize(&p, &p);
        EXPECT_NEAR(p.a, 3 / 13.0f, 1e-6f) << scale;
        EXPECT_NEAR(p.c, 12 / 13.0f, 1e-6f) << scale;
        EXPECT_NEAR(p.d, -6 / 13.0f, 1e-6f) << scale;
    }
    D3DXVECTOR4 zero(0, 0, 0, 0);
    D3DXVec4Normalize(&zero, &zero);
    EXPECT_EQ(zero, D3DXVECTOR4(0, 0, 0, 0));
    D3DXPLANE flat(0, 0, 0, 5);
    D3DXPlaneNormalize(&flat, &flat);
    EXPECT_EQ(flat.d, 0.0f);
}

TEST(D3DXMath, QuaternionsAgreeWithMatrices)
{
    D3DXQUATERNION qa, qb, qab, back;
    const D3DXVECTOR3 axisA(1, 2, 3), axisB(-2, 0.5f, 1);
    D3DXQuaternionRotationAxis(&qa, &axisA, 0.7f);
    D3DXQuaternionRotationAxis(&qb, &axisB, -1.9f);
    D3DXQuaternionMultiply(&qab, &qa, &qb);
    D3DXMATRIX ma, mb, mab;
    D3DXMatrixRotationAxis(&ma, &axisA, 0.7f);
    D3DXMatrixRotationAxis(&mb, &axisB, -1.9f);
    ExpectMatrixNear(ma * mb, *D3DXMatrixRotationQuaternion(&mab, &qab), "product of rotations");

    // Matrix back to quaternion (up to sign).
    D3DXQuaternionRotationMatrix(&back, &mab);
    EXPECT_NEAR(1.0f, std::fabs(D3DXQuaternionDot(&back, &qab)), kEps);

    D3DXQUATERNION ypr;
    D3DXMATRIX mypr;
    D3DXQuaternionRotationYawPitchRoll(&ypr, 0.3f, -0.8f, 1.7f);
    D3DXMatrixRotationQuaternion(&mab, &ypr);
    ExpectMatrixNear(*D3DXMatrixRotationYawPitchRoll(&mypr, 0.3f, -0.8f, 1.7f), mab, "yaw pitch roll");

    D3DXQUATERNION id, half;
    D3DXQuaternionIdentity(&id);
    D3DXQuaternionSlerp(&half, &id, &qa, 0.5f);
    D3DXMATRIX mhalf;
    D3DXMatrixRotationAxis(&mhalf, &axisA, 0.35f);
    ExpectMatrixNear(mhalf, *D3DXMatrixRotationQuaternion(&mab, &half), "slerp halfway");
}

TEST(D3DXMath, TransformationScalesRotatesAboutCentreThenTranslates)
{
    const D3DXVECTOR3 scaling(2, 3, 1), centre(0.5f, 0.5f, 0), move(1, 0, 0);
    const D3DXQUATERNION quarterTurnZ(0, 0, std::sin(D3DX_PI / 4), std::cos(D3DX_PI / 4));
    D3DXMATRIX m;
    D3DXMatrixTransformation(&m, nullptr, nullptr, &scaling, &centre, &quarterTurnZ, &move);
    D3DXVECTOR3 out;
    const D3DXVECTOR3 o(0, 0, 0), x(1, 0, 0), y(0, 1, 0);
    ExpectVecNear(D3DXVECTOR3(2, 0, 0), *D3DXVec3TransformCoord(&out, &o, &m), "origin");
    ExpectVecNear(D3DXVECTOR3(2, 2, 0), *D3DXVec3TransformCoord(&out, &x, &m), "unit x");
    ExpectVecNear(D3DXVECTOR3(-1, 0, 0), *D3DXVec3TransformCoord(&out, &y, &m), "unit y");
}

TEST(D3DXMath, ColourConversions)
{
    const D3DXCOLOR c(0x80FF4000u);
    EXPECT_NEAR(1.0f, c.r, kEps);
    EXPECT_NEAR(64 / 255.0f, c.g, kEps);
    EXPECT_NEAR(0.0f, c.b, kEps);
    EXPECT_NEAR(128 / 255.0f, c.a, kEps);
    EXPECT_EQ(0x80FF4000u, (DWORD)c);
    // Out-of-range channels clamp.
    EXPECT_EQ(0xFF00FF00u, (DWORD)D3DXCOLOR(-1.0f, 2.0f, 0.0f, 1.5f));
}

} // namespace
