#include "Wagon.h"

#include <algorithm>
#include <cmath>

#include "Log.h"
#include "Object.h"

namespace
{
const float kPi = 3.14159265f;

D3DXMATRIX Translation(float x, float y, float z)
{
    D3DXMATRIX m;
    D3DXMatrixTranslation(&m, x, y, z);
    return m;
}

D3DXMATRIX Identity()
{
    D3DXMATRIX m;
    D3DXMatrixIdentity(&m);
    return m;
}

Vec3 TranslationOf(const D3DXMATRIX& m)
{
    return Vec3{m._41, m._42, m._43};
}

D3DXVECTOR3 Direction(const Vec3& front, const Vec3& rear)
{
    D3DXVECTOR3 dir(front.x - rear.x, front.y - rear.y, front.z - rear.z);
    D3DXVec3Normalize(&dir, &dir);
    return dir;
}

// The heading matrix of a direction: RotationZ(-pi/2) x inverse(Y(dir)).
D3DXMATRIX HeadingOf(const D3DXVECTOR3& dir, float turn)
{
    const D3DXMATRIX y(dir.y, dir.x, 0, 0, -dir.x, dir.y, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1);
    D3DXMATRIX inverse;
    if (!D3DXMatrixInverse(&inverse, nullptr, &y))
        inverse = Identity(); // two samples at one point: no heading to take
    D3DXMATRIX rotation;
    D3DXMatrixRotationZ(&rotation, turn);
    return rotation * inverse;
}

D3DXMATRIX Pitch(const D3DXVECTOR3& dir)
{
    D3DXMATRIX pitch;
    D3DXMatrixRotationY(&pitch, std::acos(std::max(-1.0f, std::min(1.0f, -dir.z))) - kPi / 2);
    return pitch;
}

// (f x b + g x a) / (f + g): the point between a and b by weights.
Vec3 Weighted(float f, const Vec3& b, float g, const Vec3& a)
{
    const float sum = f + g;
    if (sum == 0)
        return a;
    return Vec3{(f * b.x + g * a.x) / sum, (f * b.y + g * a.y) / sum, (f * b.z + g * a.z) / sum};
}
} // namespace

void PlaceObject(Object* object, const D3DXMATRIX& local)
{
    if (!object)
        return;
    object->SetLocalMatrix(local);
    if (object->IsStatic())
        object->MakeDynamic();
}

D3DXMATRIX HeadingMatrix(const Vec3& front, const Vec3& rear)
{
    return HeadingOf(Direction(front, rear), -kPi / 2);
}

D3DXMATRIX PitchedHeadingMatrix(const Vec3& front, const Vec3& rear)
{
    return Pitch(Direction(front, rear)) * HeadingMatrix(front, rear);
}

// ---------------------------------------------------------------- sway

void SwayOscillator::SetAxis(const D3DXVECTOR3& newAxis)
{
    D3DXVec3Normalize(&axis, &newAxis);
}

void SwayOscillator::SetAmplitude(float newAmplitude)
{
    const float a = std::fabs(newAmplitude);
    if (amplitude == 0)
        value = -a + RandomUnit() * 2 * a;
    amplitude = a;
}

void SwayOscillator::SetRate(float newRate)
{
    if (newRate != rate && newRate != -rate)
        rate = newRate;
}

void SwayOscillator::Step(float dt)
{
    value += dt * rate;
    if (std::fabs(value) > std::fabs(amplitude))
    {
        value = value < 0 ? -std::fabs(amplitude) : std::fabs(amplitude);
        rate = -rate;
    }
}

void WagonPart::Bind(Object* dummy, const Object* origin)
{
    object = dummy;
    rest = dummy ? dummy->GetLocalMatrix() : Identity();
    sway = Identity();
    if (dummy && origin)
    {
        const D3DXMATRIX& o = origin->GetLocalMatrix();
        const float dx = rest._41 - o._41, dy = rest._42 - o._42;
        distance = std::sqrt(dx * dx + dy * dy);
    }
}

// ---------------------------------------------------------------- wagons

void Wagon::Init(const ObjectFinder& scene, int type, const std::string& prefix, const Object* origin)
{
    m_Type = type;
    m_Parts.clear();
    int count = 0;
    switch (type)
    {
    case LOCOMOTIVE: count = 7; break;
    case SIMPLE: count = 4; break;
    case TENDER: count = 6; break;
    case LUMBER: count = 9; break;
    default: break;
    }
    for (int n = 1; n <= count; ++n)
    {
        char suffix[16];
        snprintf(suffix, sizeof(suffix), "%02i", n);
        const std::string name = prefix + suffix;
        Object* dummy = scene ? scene(name) : nullptr;
        if (!dummy)
            g_Log.Printf("Error while initializing wagon, no dummy with name %s\n", name.c_str());
        // A missing dummy keeps its slot: the later parts keep their indexes.
        m_Parts.emplace_back();
        m_Parts.back().Bind(dummy, origin);
    }
}

bool Wagon::Has(std::initializer_list<size_t> parts) const
{
    for (size_t k : parts)
        if (k >= m_Parts.size() || !m_Parts[k].object)
            return false;
    return true;
}

WagonPart* Wagon::GetPart(size_t index)
{
    return index < m_Parts.size() ? &m_Parts[index] : nullptr;
}

void Wagon::UpdateSway(float dt, float speed)
{
    for (WagonPart& part : m_Parts)
    {
        part.swayScale = std::min(std::fabs(speed) / 10000.0f, 1.0f);
        UpdatePartSway(part, dt);
    }
}

void Wagon::UpdatePartSway(WagonPart& part, float dt)
{
    part.sway = Identity();
    for (SwayOscillator& o : part.translations)
    {
        o.Step(dt);
        const float s = o.value * part.swayScale;
        part.sway = Translation(o.axis.x * s, o.axis.y * s, o.axis.z * s) * part.sway;
    }
    for (SwayOscillator& o : part.rotations)
    {
        o.Step(dt);
        D3DXMATRIX r;
        D3DXMatrixRotationAxis(&r, &o.axis, o.value * part.swayScale);
        part.sway = r * part.sway;
    }
}

void Wagon::AddSway(bool rotation, const D3DXVECTOR3& axis, float amplitude, float rate)
{
    SwayOscillator o;
    o.SetAxis(axis);
    o.SetAmplitude(amplitude);
    o.SetRate(rate);
    for (size_t k : BodyParts())
        if (Has({k}))
        {
            (rotation ? m_Parts[k].rotations : m_Parts[k].translations).push_back(o);
            m_Parts[k].hasSway = true;
        }
}

void Wagon::SetSway(bool rotation, const D3DXVECTOR3& axis, float amplitude, float rate)
{
    for (size_t k : BodyParts())
    {
        if (k >= m_Parts.size())
            continue;
        std::vector<SwayOscillator>& list = rotation ? m_Parts[k].rotations : m_Parts[k].translations;
        if (list.empty())
            continue;
        list[0].SetAxis(axis);
        list[0].SetAmplitude(amplitude);
        list[0].SetRate(rate);
    }
}

void Wagon::AddRotationSway(const D3DXVECTOR3& axis, float amplitude, float rate)
{
    AddSway(true, axis, amplitude, rate);
}

void Wagon::AddTranslationSway(const D3DXVECTOR3& axis, float amplitude, float rate)
{
    AddSway(false, axis, amplitude, rate);
}

void Wagon::SetRotationSway(const D3DXVECTOR3& axis, float amplitude, float rate)
{
    SetSway(true, axis, amplitude, rate);
}

void Wagon::SetTranslationSway(const D3DXVECTOR3& axis, float amplitude, float rate)
{
    SetSway(false, axis, amplitude, rate);
}

float Wagon::SampleDistance(size_t k, int direction, float position) const
{
    return direction == 2 ? position + m_Parts[k].distance : position - m_Parts[k].distance;
}

Vec3 Wagon::Sample(const TrackSampler& sample, size_t k, int direction, float position) const
{
    return sample(SampleDistance(k, direction, position));
}

Vec3 Wagon::Between(size_t body, size_t front, const Vec3& a, size_t rear, const Vec3& b) const
{
    const float d0 = m_Parts[body].distance;
    Vec3 p = Weighted(d0 - m_Parts[front].distance, b, m_Parts[rear].distance - d0, a);
    p.z = 0;
    return p;
}

void Wagon::Place(size_t k, const D3DXMATRIX& heading, const Vec3& point, bool withSway)
{
    if (k >= m_Parts.size())
        return;
    const WagonPart& part = m_Parts[k];
    D3DXMATRIX m = part.rest * heading * Translation(point.x, point.y, 0);
    if (withSway)
        m = part.sway * m;
    PlaceObject(part.object, m);
}

Wagon::FrontGroup Wagon::PlaceFrontGroup(const TrackSampler& sample, int direction, float position)
{
    FrontGroup g;
    g.s1 = Sample(sample, 1, direction, position);
    g.s2 = Sample(sample, 2, direction, position);
    g.w1 = HeadingMatrix(g.s1, g.s2);
    g.b0 = Between(0, 1, g.s1, 2, g.s2);
    if (Has({0}))
        Place(0, g.w1, g.b0, true);
    Place(1, g.w1, g.s1, false);
    Place(2, g.w1, g.s2, false);
    return g;
}

void CSimpleWagon::PlaceOnTrack(const TrackSampler& sample, int direction, float position, float dt, float speed)
{
    UpdateSway(dt, speed);
    if (!Has({1, 2}))
        return; // no samples to stand on
    const FrontGroup front = PlaceFrontGroup(sample, direction, position);
    if (Has({0, 3}))
        Place(3, front.w1, front.b0, false);
}

void CTenderWagon::PlaceOnTrack(const TrackSampler& sample, int direction, float position, float dt, float speed)
{
    UpdateSway(dt, speed);
    if (!Has({1, 2}))
        return;
    const FrontGroup front = PlaceFrontGroup(sample, direction, position);
    for (size_t k = 3; k <= 4; ++k)
        if (Has({k}))
            Place(k, front.w1, Sample(sample, k, direction, position), false);
    if (Has({0, 5}))
        Place(5, front.w1, front.b0, false);
}

void CLocomotive::PlaceOnTrack(const TrackSampler& sample, int direction, float position, float dt, float speed)
{
    UpdateSway(dt, speed);
    if (!Has({1, 2}))
        return;
    const FrontGroup front = PlaceFrontGroup(sample, direction, position);
    // The rear group hangs between the body point and the rear sample.
    if (!Has({0, 4}))
        return;
    const Vec3 s4 = Sample(sample, 4, direction, position);
    const D3DXMATRIX w2 = HeadingMatrix(front.b0, s4);
    Place(4, w2, s4, false);
    if (Has({5}))
        Place(5, w2, Sample(sample, 5, direction, position), false);
    if (!Has({3}))
        return;
    const Vec3 b3 = Between(3, 0, front.b0, 4, s4);
    Place(3, w2, b3, true);
    if (Has({6}))
        Place(6, w2, b3, false);
}

void CLumberWagon::PlaceOnTrack(const TrackSampler& sample, int direction, float position, float dt, float speed)
{
    UpdateSway(dt, speed);
    FrontGroup front;
    const bool frontPlaced = Has({1, 2});
    if (frontPlaced)
        front = PlaceFrontGroup(sample, direction, position);
    const bool rearPlaced = Has({4, 5});
    Vec3 b3{0, 0, 0};
    D3DXMATRIX w2;
    if (rearPlaced)
    {
        const Vec3 s4 = Sample(sample, 4, direction, position), s5 = Sample(sample, 5, direction, position);
        w2 = HeadingMatrix(s4, s5);
        b3 = Between(3, 4, s4, 5, s5);
        Place(3, w2, b3, true);
        Place(4, w2, s4, false);
        Place(5, w2, s5, false);
    }
    if (frontPlaced && Has({0, 7}))
        Place(7, front.w1, front.b0, false);
    if (rearPlaced && Has({3, 8}))
        Place(8, w2, b3, false);
    // The load lies on both bogie groups and tilts with their heights.
    if (!frontPlaced || !rearPlaced || !Has({0, 3, 6}))
        return;
    const Vec3 p0 = TranslationOf(m_Parts[0].object->GetLocalMatrix());
    const Vec3 p3 = TranslationOf(m_Parts[3].object->GetLocalMatrix());
    const float d6 = m_Parts[6].distance;
    Vec3 load = Weighted(d6 - m_Parts[0].distance, p3, m_Parts[3].distance - d6, p0);
    load.z -= m_Parts[0].rest._43;
    PlaceObject(m_Parts[6].object,
                m_Parts[6].rest * PitchedHeadingMatrix(p0, p3) * Translation(load.x, load.y, load.z));
}

void COneDummyWagon::Init(const ObjectFinder& scene, int, const std::string& name, const Object* origin)
{
    m_Type = ONE_DUMMY;
    m_Parts.clear();
    Object* dummy = scene ? scene(name) : nullptr;
    if (!dummy)
    {
        g_Log.Printf("Error while initializing wagon, no dummy with name %s\n", name.c_str());
        return;
    }
    m_Parts.emplace_back();
    m_Parts.back().Bind(dummy, origin);
}

void COneDummyWagon::PlaceOnTrack(const TrackSampler& sample, int direction, float position, float, float)
{
    if (m_Parts.empty())
        return;
    const float d = m_Parts[0].distance;
    const float base = direction == 2 ? position + d : position - d;
    const float ahead = direction == 2 ? -2000.0f : 2000.0f;
    const Vec3 a = sample(base + ahead), b = sample(base - ahead);
    const Vec3 middle{(a.x + b.x) * 0.5f, (a.y + b.y) * 0.5f, 0};
    Place(0, HeadingMatrix(a, b), middle, false);
}

// ---------------------------------------------------------------- couplings

void WagonCoupling::Init(const ObjectFinder& scene, const std::string& prefix, const std::string& rearAttachment,
                         const std::string& frontAttachment, const Object* origin)
{
    const std::string names[5] = {prefix + "01", prefix + "02", prefix + "03", rearAttachment, frontAttachment};
    m_bComplete = true;
    for (int i = 0; i < 5; ++i)
        if (!scene || !scene(names[i]))
        {
            g_Log.Printf("Error while initializing coupling, no dummy with name %s\n", names[i].c_str());
            m_bComplete = false;
        }
    for (int i = 0; i < 3; ++i)
        m_Parts[i].Bind(scene ? scene(names[i]) : nullptr, origin);
    // The attachments carry the offset from their dummy to the coupling's end.
    const std::string attachments[2] = {rearAttachment, frontAttachment};
    for (int i = 0; i < 2; ++i)
    {
        WagonPart& part = m_Parts[3 + i];
        part.Bind(scene ? scene(attachments[i]) : nullptr, origin);
        const D3DXMATRIX& end = m_Parts[1 + i].rest;
        part.rest = Translation(end._41 - part.rest._41, end._42 - part.rest._42, end._43 - part.rest._43);
    }
}

void WagonCoupling::Update()
{
    if (!m_bComplete)
        return; // logged at set-up; a missing dummy is never written
    const D3DXMATRIX ma = m_Parts[3].rest * m_Parts[3].object->GetLocalMatrix();
    const D3DXMATRIX mb = m_Parts[4].rest * m_Parts[4].object->GetLocalMatrix();
    const Vec3 a = TranslationOf(ma), b = TranslationOf(mb);
    const float d0 = m_Parts[0].distance;
    Vec3 point = Weighted(d0 - m_Parts[1].distance, b, m_Parts[2].distance - d0, a);
    point.z -= m_Parts[1].rest._43;
    PlaceObject(m_Parts[0].object,
                PitchedHeadingMatrix(a, b) * m_Parts[0].rest * Translation(point.x, point.y, point.z));
    // The ends follow the attachments, in the middle dummy's rest frame.
    PlaceObject(m_Parts[1].object, m_Parts[0].rest * ma);
    PlaceObject(m_Parts[2].object, m_Parts[0].rest * mb);
}

// ---------------------------------------------------------------- drive rods

namespace
{
float SafeAcos(float x)
{
    return std::acos(std::max(-1.0f, std::min(1.0f, x)));
}

float Horizontal(const D3DXMATRIX& a, const D3DXMATRIX& b)
{
    const float dx = a._41 - b._41, dy = a._42 - b._42;
    return std::sqrt(dx * dx + dy * dy);
}

D3DXMATRIX Offset(const D3DXMATRIX& from, const D3DXMATRIX& to)
{
    return Translation(from._41 - to._41, from._42 - to._42, from._43 - to._43);
}

// A rod between two joints: its point by the link lengths and its pitched
// heading, turned a quarter either way.
// The point is (wa x a + wb x b) / (wa + wb).
D3DXMATRIX RodMatrix(const D3DXMATRIX& rest, const Vec3& a, float wa, const Vec3& b, float wb, const Vec3& from,
                     const Vec3& to, float quarter)
{
    const Vec3 point = Weighted(wb, b, wa, a);
    const D3DXVECTOR3 dir = Direction(from, to);
    return rest * Pitch(dir) * HeadingOf(dir, quarter) * Translation(point.x, point.y, point.z);
}
} // namespace

void DriveRodSet::Init(const ObjectFinder& scene, const std::string& prefix, const std::string& crosshead,
                       const std::string& wheel, const std::string& firstGuide, const std::string& secondGuide,
                       float phase)
{
    auto find = [&](const std::string& name) -> Object* {
        Object* object = scene ? scene(name) : nullptr;
        if (!object)
            g_Log.Printf("Error while initializing drive rods, no object with name %s\n", name.c_str());
        return object;
    };
    // Only geometry objects count as wheel and crosshead.
    auto findGeom = [&](const std::string& name) -> Object* {
        Object* object = find(name);
        if (object && object->GetTypeId() != OBJECT_TYPE_GEOM)
        {
            g_Log.Printf("Error while initializing drive rods, %s is no geometry object\n", name.c_str());
            return nullptr;
        }
        return object;
    };
    const char* numbers[JOINTS] = {"01", "02", "03", "04", "05", "08"};
    for (int j = 0; j < JOINTS; ++j)
    {
        m_Joints[j].object = find(prefix + numbers[j]);
        m_Joints[j].rest = m_Joints[j].object ? m_Joints[j].object->GetLocalMatrix() : Identity();
        m_Joints[j].offset = Identity();
    }
    m_pCrosshead = findGeom(crosshead);
    m_CrossheadRest = m_pCrosshead ? m_pCrosshead->GetLocalMatrix() : Identity();
    m_pWheel = findGeom(wheel);
    m_pFirstGuide = find(firstGuide);
    m_pSecondGuide = find(secondGuide);
    m_Phase = phase;

    Object* j06 = find(prefix + "06");
    Object* j07 = find(prefix + "07");
    const D3DXMATRIX identity = Identity();
    const D3DXMATRIX& g1 = m_pFirstGuide ? m_pFirstGuide->GetLocalMatrix() : identity;
    const D3DXMATRIX& g2 = m_pSecondGuide ? m_pSecondGuide->GetLocalMatrix() : identity;
    m_Joints[J01].offset = Offset(m_Joints[J01].rest, g1);
    m_Joints[J03].offset = Offset(m_Joints[J03].rest, g1);
    m_Joints[J05].offset = Offset(m_Joints[J05].rest, g2);
    if (m_Joints[J08].object && m_pSecondGuide)
        m_Joints[J08].offset = Offset(m_Joints[J08].object->GetWorldMatrix(), m_pSecondGuide->GetWorldMatrix());
    m_CrankRadius = j06 ? Horizontal(m_Joints[J01].rest, j06->GetLocalMatrix()) : 0;
    m_L12 = Horizontal(m_Joints[J01].rest, m_Joints[J02].rest);
    m_L23 = Horizontal(m_Joints[J02].rest, m_Joints[J03].rest);
    m_L34 = Horizontal(m_Joints[J03].rest, m_Joints[J04].rest);
    m_L45 = Horizontal(m_Joints[J04].rest, m_Joints[J05].rest);
    if (j07 && m_pCrosshead)
    {
        const D3DXMATRIX& a = j07->GetWorldMatrix();
        const D3DXMATRIX& b = m_pCrosshead->GetWorldMatrix();
        const float dx = a._41 - b._41, dy = a._42 - b._42, dz = a._43 - b._43;
        m_L7c = std::sqrt(dx * dx + dy * dy + dz * dz);
    }
}

void DriveRodSet::Update()
{
    // Without the wheel or the guides nothing drives the rods (logged at set-up).
    if (!m_pWheel || !m_pFirstGuide || !m_pSecondGuide)
        return;
    D3DXMATRIX turn;
    D3DXMatrixRotationY(&turn, m_Phase);
    const D3DXMATRIX crank = m_pWheel->GetLocalMatrix() * turn;
    const float c = crank._11;
    const D3DXMATRIX& g1 = m_pFirstGuide->GetLocalMatrix();
    const D3DXMATRIX& g2 = m_pSecondGuide->GetLocalMatrix();
    const D3DXMATRIX pin = Translation(m_CrankRadius, 0, 0);

    for (int j : {J01, J03})
        if (m_Joints[j].object)
            PlaceObject(m_Joints[j].object, m_Joints[j].rest * pin * crank * m_Joints[j].offset * g1);
    if (m_Joints[J05].object)
        PlaceObject(m_Joints[J05].object,
                    m_Joints[J05].rest * m_Joints[J05].offset * Translation(c * m_CrankRadius, 0, 0) * g2);
    const bool has01 = m_Joints[J01].object != nullptr, has03 = m_Joints[J03].object != nullptr,
               has05 = m_Joints[J05].object != nullptr;
    const Vec3 p01 = has01 ? TranslationOf(m_Joints[J01].object->GetLocalMatrix()) : Vec3{0, 0, 0};
    const Vec3 p03 = has03 ? TranslationOf(m_Joints[J03].object->GetLocalMatrix()) : Vec3{0, 0, 0};
    const Vec3 p05 = has05 ? TranslationOf(m_Joints[J05].object->GetLocalMatrix()) : Vec3{0, 0, 0};
    if (m_Joints[J02].object && has01 && has03)
        PlaceObject(m_Joints[J02].object,
                    RodMatrix(m_Joints[J02].rest, p01, m_L23, p03, m_L12, p01, p03, kPi / 2));
    if (m_Joints[J04].object && has03 && has05)
        PlaceObject(m_Joints[J04].object,
                    RodMatrix(m_Joints[J04].rest, p03, m_L45, p05, m_L34, p05, p03, -kPi / 2));
    if (m_pCrosshead)
    {
        D3DXMATRIX swing;
        D3DXMatrixRotationY(&swing, 0.2f * (SafeAcos(c) - kPi / 2));
        PlaceObject(m_pCrosshead, swing * m_CrossheadRest);
    }
    if (m_Joints[J08].object)
        PlaceObject(m_Joints[J08].object, m_Joints[J08].rest * m_Joints[J08].offset *
                                              Translation(-0.2f * m_L7c * c, 0, 0) * g2);
}
