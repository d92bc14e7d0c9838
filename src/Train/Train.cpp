#include "Train.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "Log.h"
#include "Object.h"

float GetDarkeningFactor(const std::vector<DarkeningZone>& zones, const Vec3& point)
{
    float factor = 1;
    for (const DarkeningZone& zone : zones)
    {
        const float dx = point.x - zone.x, dy = point.y - zone.y, dz = point.z - zone.z;
        const float dist = std::sqrt(dx * dx + dy * dy + dz * dz);
        float value;
        if (zone.innerRadius > dist)
            value = 0;
        else if (zone.outerRadius <= dist)
            value = 1;
        else
            value = (dist - zone.innerRadius) / (zone.outerRadius - zone.innerRadius);
        factor = std::min(factor, value);
    }
    return factor;
}

Train::Train() : m_Timer(1)
{
    D3DXMatrixIdentity(&m_OriginMatrix);
}

Train::~Train() = default;

bool Train::BindOrigin(Object* origin)
{
    m_pOrigin = origin;
    if (!origin)
    {
        g_Log.Printf("Error while initializing train, no dummy with name %s\n", "Dummy_loco00");
        m_bEnabled = false;
        return false;
    }
    m_OriginMatrix = origin->GetLocalMatrix();
    m_OriginMatrix._41 = m_OriginMatrix._42 = 0;
    m_bEnabled = true;
    return true;
}

void Train::Init(const ObjectFinder& mainScene, const std::vector<Object*>& mainObjects, const ObjectFinder& locoScene)
{
    m_bEnabled = m_pOrigin != nullptr;
    m_Speed.Reset();
    m_Timer.SetTime(0);
    m_Position = 0;
    m_MovedDistance = 0;
    ReadRails(mainScene);
    ReadSpeedMarks(mainObjects);
    ReadLocoCameras(locoScene);
}

void Train::ReadRails(const ObjectFinder& mainScene)
{
    m_Track.Clear();
    Object* first = mainScene ? mainScene("Railbase001") : nullptr;
    for (int n = 1;; ++n)
    {
        char name[32];
        snprintf(name, sizeof(name), "Railbase%03i", n);
        Object* rail = mainScene ? mainScene(name) : nullptr;
        if (!rail)
            break;
        const D3DXMATRIX& m = rail->GetLocalMatrix();
        m_Track.AddPoint(Vec3{m._41, m._42, m._43});
    }
    if (first)
    {
        // The first rail again closes the loop.
        const D3DXMATRIX& m = first->GetLocalMatrix();
        m_Track.AddPoint(Vec3{m._41, m._42, m._43});
    }
    else
        g_Log.Printf("Error while initializing train, no rail dummy %s\n", "Railbase001");
}

void Train::ReadSpeedMarks(const std::vector<Object*>& mainObjects)
{
    for (Object* object : mainObjects)
    {
        const std::string& name = object->GetName();
        if (name.size() <= 10 || name.find("Dummy_speed") == std::string::npos)
            continue;
        int number = 0;
        float speed = 0, seconds = 0;
        if (sscanf(name.c_str(), "Dummy_speed%d_%f_%f", &number, &speed, &seconds) != 3)
            continue;
        m_Speed.AddMark(FindTrackDistance(object->GetLocalMatrix()), speed, seconds);
    }
}

void Train::ReadLocoCameras(const ObjectFinder& locoScene)
{
    for (int n = 1;; ++n)
    {
        char name[32];
        snprintf(name, sizeof(name), "Dummy_loco_camera%02i", n);
        if (!locoScene || !locoScene(name))
            break;
        auto wagon = std::make_unique<COneDummyWagon>();
        wagon->Init(locoScene, Wagon::ONE_DUMMY, name, m_pOrigin);
        m_Wagons.push_back(std::move(wagon));
    }
}

void Train::AddCoupling(const ObjectFinder& locoScene, const std::string& prefix, const std::string& rearAttachment,
                        const std::string& frontAttachment)
{
    auto coupling = std::make_unique<WagonCoupling>();
    coupling->Init(locoScene, prefix, rearAttachment, frontAttachment, m_pOrigin);
    m_Couplings.push_back(std::move(coupling));
}

void Train::AddDriveRods(const ObjectFinder& locoScene, const std::string& prefix, const std::string& crosshead,
                         const std::string& wheel, const std::string& firstGuide, const std::string& secondGuide,
                         float phase)
{
    auto rods = std::make_unique<DriveRodSet>();
    rods->Init(locoScene, prefix, crosshead, wheel, firstGuide, secondGuide, phase);
    m_DriveRods.push_back(std::move(rods));
}

float Train::GetTrackLength() const
{
    const int count = m_Track.GetKeyPointCount();
    return count > 0 ? m_Track.GetKeyPoint(count - 1).distance : 0.0f;
}

bool Train::Update(float dt)
{
    Move(dt);
    PlaceWagons(dt);
    TurnWheels();
    for (auto& rods : m_DriveRods)
        rods->Update();
    return true;
}

bool Train::Move(float dt)
{
    if (!m_bEnabled)
        return false;
    m_Speed.Update(m_Position);
    m_MovedDistance = m_Speed.GetSpeed() * dt;
    m_Position += m_MovedDistance;
    Vec3 p;
    WrapAndSample(m_Position, p);
    m_LastOriginSample = m_Track.GetTangent();
    D3DXMATRIX t;
    D3DXMatrixTranslation(&t, p.x, p.y, p.z);
    PlaceObject(m_pOrigin, m_OriginMatrix * t);
    return true;
}

void Train::WrapAndSample(float& distance, Vec3& point)
{
    const float length = GetTrackLength();
    if (length > 0 && std::isfinite(distance))
    {
        // A remainder, so that a step longer than the track wraps too; the
        // end of the track is its start.
        distance = std::fmod(distance, length);
        if (distance < 0)
            distance += length;
        if (distance >= length)
            distance = 0;
    }
    else if (!std::isfinite(distance))
        distance = 0;
    if (m_Track.GetAtDistance(distance, point))
        m_LastGoodSample = point;
    else
        point = m_LastGoodSample;
}

Vec3 Train::SampleAt(float distance)
{
    Vec3 p;
    WrapAndSample(distance, p);
    return p;
}

void Train::PlaceWagons(float dt)
{
    const TrackSampler sample = [this](float distance) { return SampleAt(distance); };
    for (auto& wagon : m_Wagons)
        wagon->PlaceOnTrack(sample, m_Speed.GetDirection(), m_Position, dt, m_Speed.GetSpeed());
    for (auto& coupling : m_Couplings)
        coupling->Update();
}

void Train::TurnWheels()
{
    for (const WheelBinding& wheel : m_Wheels)
    {
        if (!wheel.object || wheel.radius <= 0)
            continue;
        const float angle = (GetDirection() == 2 ? -m_MovedDistance : m_MovedDistance) / wheel.radius;
        D3DXMATRIX r;
        D3DXMatrixRotationZ(&r, angle);
        PlaceObject(wheel.object, r * wheel.object->GetLocalMatrix());
    }
}

void Train::SetDirection(int direction)
{
    if (direction == m_Speed.GetDirection())
        return;
    // One update starts the ramp of the section the train is in; the train
    // then reverses at once at the speed that ramp asks for.
    Update(0.1f);
    const float target = m_Speed.GetTarget();
    m_Speed.Reset();
    m_Speed.SetDirection(direction);
    m_Speed.SetSpeed(-target);
}

void Train::SetPosition(float distance)
{
    const float length = GetTrackLength();
    if (distance < 0)
        distance = 0;
    if (distance > length)
        distance = length;
    m_Position = distance;
    m_Speed.SetSpeed(0);
}

void Train::PlaceAtRandom()
{
    if (!m_StartPositions.empty())
        SetPosition(m_StartPositions[rand() % m_StartPositions.size()]);
    else
        SetPosition(RandomUnit() * GetTrackLength());
}

float Train::FindTrackDistance(const D3DXMATRIX& matrix) const
{
    const int count = m_Track.GetKeyPointCount();
    float best = -1, bestDistance = 0;
    for (int i = 1; i + 1 < count; ++i)
    {
        const BezierPath::KeyPoint& k = m_Track.GetKeyPoint(i);
        const float dx = k.point.x - matrix._41, dy = k.point.y - matrix._42, dz = k.point.z - matrix._43;
        const float d = dx * dx + dy * dy + dz * dz;
        if (best < 0 || d < best)
        {
            best = d;
            bestDistance = k.distance;
        }
    }
    return bestDistance;
}
