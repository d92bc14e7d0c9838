#include "MathUtils.h"

#include <cmath>
#include <cstring>

#include "Log.h"
#include "d3dx8math.h"

float Vec3Distance(const Vec3& a, const Vec3& b)
{
    const float dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

// ---------------------------------------------------------------- track path

namespace
{
D3DXVECTOR3 ToD3DX(const Vec3& v)
{
    return D3DXVECTOR3(v.x, v.y, v.z);
}

Vec3 Normalised(const Vec3& v)
{
    const float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    if (length <= 0.0f)
        return Vec3{0.0f, 0.0f, 0.0f};
    return Vec3{v.x / length, v.y / length, v.z / length};
}
} // namespace

BezierPath::BezierPath()
    : m_N(10), m_Control(), m_SegmentLength(0.0f), m_Table(size_t(m_N) + 1, 0.0f), m_SegmentTangent(),
      m_LastTangent()
{
}

void BezierPath::AddPoint(const Vec3& p)
{
    if (m_Points.empty())
        m_Points.push_back(KeyPoint{0.0f, p});
    else
        m_Points.pop_back();
    const KeyPoint& last = m_Points.back();
    m_Points.push_back(KeyPoint{last.distance + Vec3Distance(p, last.point), p});
    m_Points.push_back(m_Points.back());
}

float BezierPath::GetLength() const
{
    return m_Points.empty() ? 0.0f : m_Points.back().distance;
}

int BezierPath::GetKeyPointCount() const
{
    return m_Points.empty() ? 0 : int(m_Points.size()) - 2;
}

const BezierPath::KeyPoint& BezierPath::GetKeyPoint(int index) const
{
    return m_Points[size_t(index) + 1];
}

void BezierPath::Clear()
{
    m_Points.clear();
}

Vec3 BezierPath::Curve(float s) const
{
    const D3DXVECTOR3 a = ToD3DX(m_Control[0]), b = ToD3DX(m_Control[1]), c = ToD3DX(m_Control[2]),
                      d = ToD3DX(m_Control[3]);
    D3DXVECTOR3 out;
    D3DXVec3CatmullRom(&out, &a, &b, &c, &d, s);
    return Vec3{out.x, out.y, out.z};
}

void BezierPath::SetUpSegment(const Vec3& a, const Vec3& b, const Vec3& c, const Vec3& d)
{
    m_Control[0] = a;
    m_Control[1] = b;
    m_Control[2] = c;
    m_Control[3] = d;

    m_SegmentLength = 0.0f;
    Vec3 previous = b;
    for (float s = 0.1f; s < 1.000001f; s += 0.05f)
    {
        const Vec3 p = Curve(s);
        m_SegmentLength += Vec3Distance(previous, p);
        previous = p;
    }

    float sum = 0.0f;
    previous = b;
    for (int i = 0; i <= m_N; ++i)
    {
        const Vec3 p = Curve(float(i) / float(m_N));
        sum += Vec3Distance(previous, p);
        previous = p;
        m_Table[size_t(i)] = m_SegmentLength > 0.0f ? sum / m_SegmentLength : float(i) / float(m_N);
    }
    m_Table[size_t(m_N)] = 1.0f;
}

Vec3 BezierPath::EvaluateSegment(float u)
{
    for (int i = 1; i <= m_N; ++i)
    {
        if (u > m_Table[size_t(i)])
            continue;
        const float low = m_Table[size_t(i) - 1], span = m_Table[size_t(i)] - low;
        const float fraction = span > 0.0f ? (u - low) / span : 0.0f;
        const float s = (fraction + float(i - 1)) / float(m_N);
        const Vec3 p = Curve(s), q = Curve(s - 0.01f);
        m_SegmentTangent = Normalised(Vec3{p.x - q.x, p.y - q.y, p.z - q.z});
        return p;
    }
    g_Log.Printf("Error! %f\n", double(u));
    return m_Control[2];
}

bool BezierPath::GetAtDistance(float distance, Vec3& position)
{
    if (GetKeyPointCount() < 2)
        return false;
    for (size_t i = 2; i + 1 < m_Points.size(); ++i)
    {
        const KeyPoint& b = m_Points[i - 1];
        const KeyPoint& c = m_Points[i];
        if (!(b.distance <= distance && distance < c.distance))
            continue;
        SetUpSegment(m_Points[i - 2].point, b.point, c.point, m_Points[i + 1].point);
        position = EvaluateSegment((distance - b.distance) / (c.distance - b.distance));
        m_LastTangent = m_SegmentTangent;
        return true;
    }
    return false;
}

// ---------------------------------------------------------------- noise

namespace
{
const int kPermutation[256] = {
    151, 160, 137, 91,  90,  15,  131, 13,  201, 95,  96,  53,  194, 233, 7,   225, 140, 36,  103, 30,  69,  142,
    8,   99,  37,  240, 21,  10,  23,  190, 6,   148, 247, 120, 234, 75,  0,   26,  197, 62,  94,  252, 219, 203,
    117, 35,  11,  32,  57,  177, 33,  88,  237, 149, 56,  87,  174, 20,  125, 136, 171, 168, 68,  175, 74,  165,
    71,  134, 139, 48,  27,  166, 77,  146, 158, 231, 83,  111, 229, 122, 60,  211, 133, 230, 220, 105, 92,  41,
    55,  46,  245, 40,  244, 102, 143, 54,  65,  25,  63,  161, 1,   216, 80,  73,  209, 76,  132, 187, 208, 89,
    18,  169, 200, 196, 135, 130, 116, 188, 159, 86,  164, 100, 109, 198, 173, 186, 3,   64,  52,  217, 226, 250,
    124, 123, 5,   202, 38,  147, 118, 126, 255, 82,  85,  212, 207, 206, 59,  227, 47,  16,  58,  17,  182, 189,
    28,  42,  223, 183, 170, 213, 119, 248, 152, 2,   44,  154, 163, 70,  221, 153, 101, 155, 167, 43,  172, 9,
    129, 22,  39,  253, 19,  98,  108, 110, 79,  113, 224, 232, 178, 185, 112, 104, 218, 246, 97,  228, 251, 34,
    242, 193, 238, 210, 144, 12,  191, 179, 162, 241, 81,  51,  145, 235, 249, 14,  239, 107, 49,  192, 214, 31,
    181, 199, 106, 157, 184, 84,  204, 176, 115, 121, 50,  45,  127, 4,   150, 254, 138, 236, 205, 93,  222, 114,
    67,  29,  24,  72,  243, 141, 128, 195, 78,  66,  215, 61,  156, 180};

int g_Perm[512];
bool g_PermFilled = false;

double Fade(double t)
{
    return t * t * t * (t * (t * 6 - 15) + 10);
}

double Lerp(double t, double a, double b)
{
    return a + t * (b - a);
}

double Grad(int hash, double x, double y, double z)
{
    const int h = hash & 15;
    const double u = h < 8 ? x : y;
    const double v = h < 4 ? y : (h == 12 || h == 14 ? x : z);
    return ((h & 1) ? -u : u) + ((h & 2) ? -v : v);
}
} // namespace

double PerlinNoise3(double x, double y, double z)
{
    if (!g_PermFilled)
    {
        for (int i = 0; i < 256; ++i)
            g_Perm[i] = g_Perm[i + 256] = kPermutation[i];
        g_PermFilled = true;
    }
    const double fx = std::floor(x), fy = std::floor(y), fz = std::floor(z);
    const int X = int(std::fmod(fx, 256.0) + 256.0) & 255;
    const int Y = int(std::fmod(fy, 256.0) + 256.0) & 255;
    const int Z = int(std::fmod(fz, 256.0) + 256.0) & 255;
    x -= fx;
    y -= fy;
    z -= fz;
    const double u = Fade(x), v = Fade(y), w = Fade(z);
    const int* p = g_Perm;
    const int A = p[X] + Y, AA = p[A] + Z, AB = p[A + 1] + Z;
    const int B = p[X + 1] + Y, BA = p[B] + Z, BB = p[B + 1] + Z;
    return Lerp(w,
                Lerp(v, Lerp(u, Grad(p[AA], x, y, z), Grad(p[BA], x - 1, y, z)),
                     Lerp(u, Grad(p[AB], x, y - 1, z), Grad(p[BB], x - 1, y - 1, z))),
                Lerp(v, Lerp(u, Grad(p[AA + 1], x, y, z - 1), Grad(p[BA + 1], x - 1, y, z - 1)),
                     Lerp(u, Grad(p[AB + 1], x, y - 1, z - 1), Grad(p[BB + 1], x - 1, y - 1, z - 1))));
}

// ---------------------------------------------------------------- square root

namespace
{
uint32_t FloatBits(float f)
{
    uint32_t b;
    memcpy(&b, &f, sizeof b);
    return b;
}

float BitsFloat(uint32_t b)
{
    float f;
    memcpy(&f, &b, sizeof f);
    return f;
}

// Entries 0..32767 serve even exponents ([2, 4) and its scalings), entries
// 32768..65535 odd ones ([1, 2) and its scalings).
struct CSqrtEntries
{
    CSqrtEntries()
    {
        for (uint32_t i = 0; i < 32768; ++i)
        {
            m_Entries[i + 32768] = FloatBits(std::sqrt(BitsFloat(0x3F800000u + i * 256u))) & 0x7FFFFFu;
            m_Entries[i] = FloatBits(std::sqrt(BitsFloat(0x40000000u + i * 256u))) & 0x7FFFFFu;
        }
    }
    uint32_t m_Entries[65536];
};

const CSqrtEntries g_SqrtEntries;
} // namespace

float SqrtTable::Sqrt(float x)
{
    const uint32_t b = FloatBits(x);
    if (b == 0)
        return 0.0f;
    const uint32_t exponent = (((b - 0x3F800000u) >> 1) + 0x3F800000u) & 0x7F800000u;
    return BitsFloat(exponent | g_SqrtEntries.m_Entries[(b >> 8) & 0xFFFFu]);
}
